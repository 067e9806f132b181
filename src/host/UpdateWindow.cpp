#include "host/UpdateWindow.h"

UpdateWindow::~UpdateWindow() {
    UpdateWindow::Close();
}

int UpdateWindow::Start() {
    std::lock_guard<std::mutex> guard(threadMutex_);
    if (!thread_.joinable()) thread_ = std::thread([this] { CreateModal(templateId_); });
    return 0;
}

void UpdateWindow::Close() {
    BaseWindow::Close();
    std::lock_guard<std::mutex> guard(threadMutex_);
    if (thread_.joinable()) thread_.join();
}
