#include "host/UpdateWindow.h"

#include <thread>

void UpdateWindow::ShowWhile(const std::function<void()>& work) {
    std::thread worker([&] {
        if (work) work();
        Close();
    });
    CreateModal(templateId_);
    worker.join();
}
