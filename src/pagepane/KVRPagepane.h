#pragma once

#include <cstdint>

#include "pagepane/IKVRPagepane.h"
#include "pagepane/WebBrowserSite.h"
#include "platform/Window.h"
#include "platform/WindowedObject.h"

// The web pane control. Its window holds the browser site from creation to
// destruction; the host destroys the window before it releases the control.
class KVRPagepane final : public IKVRPagepane, public platform::IWindowedObject {
public:
    // Control notifications reflected back to the control come as this base plus the
    // original message number.
    static constexpr uint32_t kReflectedBase = platform::WM_USER + 0x1C00;

    KVRPagepane();

    // A class factory making web panes.
    static platform::RefPtr<platform::IClassFactory> MakeFactory();
    // Web panes alive in the process (the library may be unloaded at 0).
    static int LiveObjects();

    // IUnknown
    platform::HRESULT QueryInterface(const platform::Guid& iid, void** out) override;
    uint32_t AddRef() override { return refs_.Increment(); }
    uint32_t Release() override;

    // IDispatch
    platform::HRESULT GetTypeInfoCount(uint32_t* count) override;
    platform::HRESULT GetTypeInfo(uint32_t index, platform::IUnknown** info) override;
    platform::HRESULT GetIDsOfNames(const char16_t* const* names, uint32_t count,
                                    platform::DISPID* ids) override;
    platform::HRESULT Invoke(platform::DISPID member, uint16_t flags, platform::DISPPARAMS* params,
                             platform::VARIANT* result) override;

    // IKVRPagepane
    platform::HRESULT GoToWebpage(platform::BSTR* url) override;
    platform::HRESULT put_External(platform::IDispatch* external) override;
    platform::HRESULT RunAccel(platform::Message* message) override;

    // IWindowedObject
    platform::HRESULT CreateObjectWindow(platform::WindowHandle parent, int width, int height,
                                         platform::WindowHandle* out) override;
    platform::HRESULT GetObjectWindow(platform::WindowHandle* out) override;
    platform::HRESULT OnFrameWindowActivate(bool active) override;

    platform::LResult WindowProc(platform::WindowHandle window, uint32_t message,
                                 platform::WParam wParam, platform::LParam lParam);

    // The browser site while the window exists, else null.
    WebBrowserSite* Site() const { return site_.Get(); }

private:
    ~KVRPagepane();

    platform::RefCount refs_;
    platform::RefPtr<WebBrowserSite> site_;
    platform::WindowHandle window_ = platform::kNoWindow;
};
