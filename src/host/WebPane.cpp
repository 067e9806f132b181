#include "host/WebPane.h"

#include "foundation/Common.h"
#include "foundation/Trace.h"
#include "host/HostResources.h"
#include "platform/Automation.h"

WebPane::WebPane() : WindowedCOMObject(kClsidKVRPagepane, IKVRPagepane::kIid) {}

WebPane::~WebPane() {
    pane_.Reset();
    ReleaseObject();
}

platform::HRESULT WebPane::Create(platform::WindowHandle parent, int x, int y, int width,
                                  int height) {
    return CreateClientWindow(parent, x, y, width, height);
}

platform::HRESULT WebPane::QueryControlInterface() {
    if (!object_) return platform::E_POINTER;
    return object_->QueryInterface(IKVRPagepane::kIid, pane_.OutParam());
}

int WebPane::OnInitDialog() {
    if (platform::Failed(InitializeWindowAndObject(kPagepaneClassId)) || !pane_) return 1;
    std::string address = "http://" + GetServerAddress() + "/directory/directory.aspx";
    if (!PRECONDITION(address.size() < kAddressSize, "Directory address too long")) return 1;
    platform::ScopedBstr url(address.c_str());
    platform::BSTR text = url.Get();
    pane_->GoToWebpage(&text);
    return 1;
}

int WebPane::OnClose() {
    const platform::WindowHandle main = platform::GetParent(window_);
    if (main != platform::kNoWindow) platform::PostMessage(main, platform::WM_CLOSE);
    return 0;
}

platform::HRESULT WebPane::RunAccel(platform::Message& message) {
    if (!pane_) return platform::E_FAIL;
    return pane_->RunAccel(&message);
}

platform::HRESULT WebPane::SetExternal(platform::IDispatch* external) {
    if (!pane_) return platform::E_FAIL;
    return pane_->put_External(external);
}
