#include "host/MainWindow.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "foundation/Registry.h"
#include "foundation/Trace.h"
#include "host/CommandLine.h"
#include "host/HostResources.h"

namespace {

constexpr const char* kWindowSize = "WindowSize";

}  // namespace

MainWindow::~MainWindow() {
    pane_.reset();
    client_.reset();
    splitter_.reset();
}

bool MainWindow::ReadStoredSize(int* width, int* height) {
    double stored = 0.0;
    if (!RegistryGetDouble("", kWindowSize, &stored) || !std::isfinite(stored) || stored < 1.0 ||
        stored > 4294967295.0 || stored != std::floor(stored))
        return false;
    const auto packed = static_cast<uint32_t>(stored);
    const int w = static_cast<int>(packed & 0xFFFF);
    const int h = static_cast<int>(packed >> 16);
    if (w < kMinStoredSide || h < kMinStoredSide || w > kMaxStoredSide || h > kMaxStoredSide)
        return false;
    *width = w;
    *height = h;
    return true;
}

platform::HRESULT MainWindow::Main() {
    int width = 0;
    int height = 0;
    if (!ReadStoredSize(&width, &height)) {
        const platform::Rect area = platform::GetWorkArea();
        width = static_cast<int>(0.8 * area.right);
        height = static_cast<int>(0.8 * area.bottom);
    }
    const platform::HRESULT hr = CreateTopWindow(kMainWindowTitle, width, height);
    if (platform::Failed(hr)) return hr;
    const platform::Size client = platform::GetClientSize(window_);
    const int w = client.width;
    const int h = client.height;

    client_ = std::make_unique<KivoraClient>();
    client_->Create(window_, 0, 0, std::max(0, w - kPaneWidth - Splitter::kWidth), h);
    pane_ = std::make_unique<WebPane>();
    pane_->Create(window_, std::max(0, w - kPaneWidth), 0, kPaneWidth, h);
    splitter_ = std::make_unique<Splitter>();
    splitter_->CreateClientWindow(window_, std::max(0, w - kPaneWidth - Splitter::kWidth), 0,
                                  Splitter::kWidth, h);
    SetDirectoryCollapsed(false);

    if (IDuzazododiza* editor = client_->Editor()) {
        platform::RefPtr<platform::IDispatch> external;
        if (platform::Succeeded(
                editor->QueryInterface(platform::IDispatch::kIid, external.OutParam())))
            pane_->SetExternal(external.Get());
        return platform::S_OK;
    }
    return platform::E_FAIL;
}

int MainWindow::OnInitDialog() {
    platform::ShowWindow(window_, platform::ShowState::Normal);
    BringToFront();
    return 0;
}

void MainWindow::SetDirectoryCollapsed(bool collapsed) {
    collapsed_ = collapsed;
    if (pane_ && platform::IsWindow(pane_->Window()))
        platform::ShowWindow(pane_->Window(),
                             collapsed ? platform::ShowState::Hidden : platform::ShowState::Normal);
    if (splitter_) splitter_->SetCollapsed(collapsed);
    const platform::Size client = platform::GetClientSize(window_);
    Layout(client.width, client.height);
    RegistrySetDouble("", "DirectoryCollapsed", collapsed ? 1.0 : 0.0);
}

void MainWindow::Layout(int width, int height) {
    const int pane = collapsed_ ? 0 : kPaneWidth;
    if (client_) client_->SetPosition(0, 0, std::max(0, width - pane - Splitter::kWidth), height);
    if (splitter_)
        splitter_->SetPosition(width - pane - Splitter::kWidth, 0, Splitter::kWidth, height);
    if (pane_) pane_->SetPosition(std::max(width, kPaneWidth) - kPaneWidth, 0, kPaneWidth, height);
}

int MainWindow::OnSize(platform::WParam type, int width, int height) {
    if (type == platform::SIZE_MINIMIZED) return 0;
    Layout(width, height);
    if (type != platform::SIZE_MAXIMIZED) {
        const double packed = static_cast<double>((static_cast<uint32_t>(height) << 16) |
                                                  (static_cast<uint32_t>(width) & 0xFFFF));
        RegistrySetDouble("", kWindowSize, packed);
    }
    return 0;
}

int MainWindow::OnSetFocus() {
    if (client_ && platform::IsWindow(client_->Window())) platform::SetFocus(client_->Window());
    return 0;
}

int MainWindow::OnClose() {
    if (client_ && !client_->IsReadyToClose()) return 0;
    platform::DestroyWindow(window_);
    return 0;
}

int MainWindow::OnLButtonDown(platform::WParam, platform::LParam lParam) {
    const platform::Size client = platform::GetClientSize(window_);
    const int pane = collapsed_ ? 0 : kPaneWidth;
    const int x = platform::XFromLParam(lParam);
    if (x >= client.width - pane - Splitter::kWidth && x <= client.width - pane)
        SetDirectoryCollapsed(!collapsed_);
    return 0;
}

int MainWindow::OnCopyData(platform::WParam, const platform::CopyData* data) {
    TraceWrite("OCD");
    if (!PRECONDITION(data != nullptr, "Invalid copy data")) return 0;
    const std::string name = PlanNameInHandOver(data->data, data->bytes, data->size);
    if (!name.empty() && SetBufferedFileName(name) && client_) {
        client_->BringToFront();
        BringToFront();
        client_->OpenBufferedFile();
    }
    TraceWrite("BufferedFileName");
    TraceWrite(BufferedFileName().c_str());
    TraceWrite("EOCD");
    return 1;
}
