#pragma once

#include "host/ComObjectWrapper.h"
#include "pagepane/IKVRPagepane.h"

// The web pane with the content server's directory in the main window's right part.
class WebPane : public WindowedCOMObject {
public:
    // Longest address of the directory page.
    static constexpr size_t kAddressSize = 512;

    WebPane();
    ~WebPane() override;

    // The child window of `parent`; its creation creates the pane and opens the directory.
    platform::HRESULT Create(platform::WindowHandle parent, int x, int y, int width, int height);
    // Offers a key message to the page; E_FAIL without a pane.
    platform::HRESULT RunAccel(platform::Message& message);
    // The object page script reaches as window.external.
    platform::HRESULT SetExternal(platform::IDispatch* external);

    int OnInitDialog() override;
    // A page that closes itself asks the main window to close (which asks the editor
    // first); the pane stays.
    int OnClose() override;
    platform::HRESULT QueryControlInterface() override;

    IKVRPagepane* Pane() const { return pane_.Get(); }

private:
    platform::RefPtr<IKVRPagepane> pane_;
};
