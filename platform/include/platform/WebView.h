#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "platform/Automation.h"
#include "platform/Component.h"
#include "platform/Window.h"

namespace platform {

// A web browser shown inside a window of the program.
//
// The holder gives the view a site (IWebViewSite) that answers for the window, the
// object page script reaches as window.external and how the page is shown, activates
// the view in its window, advises a sink for the page's events and navigates it. The
// view keeps a reference to its site until SetClientSite(null).

// Events of the page, delivered to the advised sinks as dispatch calls with these ids
// (arguments last first, as everywhere).
inline constexpr DISPID DISPID_TITLECHANGE = 113;        // args: the title (Bstr)
inline constexpr DISPID DISPID_NAVIGATECOMPLETE2 = 252;  // args: the address (Bstr)
inline constexpr DISPID DISPID_WINDOWCLOSING = 263;      // args: cancel, is-child (Bool)

// Host flags of IWebViewSite::GetHostInfo.
inline constexpr uint32_t kWebHostNoScrollBars = 0x8;

// The holder's side of a web view.
class IWebViewSite : public IUnknown {
public:
    static constexpr Guid kIid = {
        0x6B1D0000, 0x4C3A, 0x4E52, {0x9A, 0x10, 0x00, 0x00, 0x00, 0x00, 0x00, 0x20}};

    // The window that holds the view; S_FALSE with kNoWindow when it is gone.
    virtual HRESULT GetWindow(WindowHandle* out) = 0;
    // The page's external object with a new reference; null when there is none. S_OK
    // either way.
    virtual HRESULT GetExternal(IDispatch** out) = 0;
    // How the page is shown (kWebHost* flags).
    virtual HRESULT GetHostInfo(uint32_t* flags) = 0;
};

class IWebView : public IUnknown {
public:
    static constexpr Guid kIid = {
        0x6B1D0000, 0x4C3A, 0x4E52, {0x9A, 0x10, 0x00, 0x00, 0x00, 0x00, 0x00, 0x21}};

    // Keeps a reference to `site`, dropping the one held before; null drops it.
    virtual HRESULT SetClientSite(IWebViewSite* site) = 0;
    // Shows the view in `host` at `position` (host client coordinates) and gives it the
    // keyboard. E_INVALIDARG when `host` is not a window.
    virtual HRESULT Activate(WindowHandle host, const Rect& position) = 0;
    // Moves the view within its host and cuts it to `clip`.
    virtual HRESULT SetObjectRects(const Rect& position, const Rect& clip) = 0;
    // Connects a sink for the page's events; `cookie` names the connection.
    virtual HRESULT Advise(IDispatch* sink, uint32_t* cookie) = 0;
    // E_INVALIDARG for a cookie that names no connection.
    virtual HRESULT Unadvise(uint32_t cookie) = 0;
    // Starts loading the address (a BSTR). E_INVALIDARG for an empty address.
    virtual HRESULT Navigate(const char16_t* url) = 0;
    // The address of the page shown, as a new BSTR.
    virtual HRESULT GetLocationURL(BSTR* out) = 0;
    // Offers a keyboard message to the page: S_OK when the page used it, S_FALSE when
    // not.
    virtual HRESULT TranslateAccelerator(const Message* message) = 0;
    // Stops and drops the page without asking to save anything.
    virtual HRESULT Close() = 0;
    // Leaves the host window.
    virtual HRESULT Deactivate() = 0;
};

// A new web view: the display's browser, or headless a StandInWebView. Failures answer
// a failed result with `*out` null.
HRESULT CreateWebView(IWebView** out);

// Replaces how CreateWebView makes views (tests); an empty maker restores the default.
using WebViewMaker = std::function<HRESULT(IWebView** out)>;
void SetWebViewMakerForTesting(WebViewMaker maker);

// The headless web view. It loads nothing: it records what it is asked to do, answers
// every navigation at once with NavigateComplete2, and lets tests play what a page
// would do.
class StandInWebView final : public IWebView {
public:
    StandInWebView() = default;

    // IUnknown
    HRESULT QueryInterface(const Guid& iid, void** out) override;
    uint32_t AddRef() override { return refs_.Increment(); }
    uint32_t Release() override;

    // IWebView
    HRESULT SetClientSite(IWebViewSite* site) override;
    HRESULT Activate(WindowHandle host, const Rect& position) override;
    HRESULT SetObjectRects(const Rect& position, const Rect& clip) override;
    HRESULT Advise(IDispatch* sink, uint32_t* cookie) override;
    HRESULT Unadvise(uint32_t cookie) override;
    HRESULT Navigate(const char16_t* url) override;
    HRESULT GetLocationURL(BSTR* out) override;
    HRESULT TranslateAccelerator(const Message* message) override;
    HRESULT Close() override;
    HRESULT Deactivate() override;

    // What the view was asked.
    std::vector<std::string> Navigations() const;
    std::string Address() const;
    RefPtr<IWebViewSite> Site() const;
    WindowHandle Host() const;
    bool IsActive() const;
    bool IsClosed() const;
    Rect Position() const;
    Rect Clip() const;
    size_t SinkCount() const;
    std::vector<Message> OfferedKeys() const;

    // What a page does: document.title = title; window.close().
    void PlayTitleChange(const std::string& title);
    void PlayWindowClosing();
    // window.external.member(args...), arguments in call order. E_FAIL when the page
    // has no external object, else the object's answer.
    HRESULT PlayExternalCall(const std::string& member, std::vector<VARIANT> args,
                             VARIANT* result = nullptr);

private:
    ~StandInWebView() = default;
    // Calls every advised sink (outside the view's lock).
    void Fire(DISPID event, std::vector<VARIANT> args);

    struct Sink {
        uint32_t cookie;
        RefPtr<IDispatch> sink;
    };

    RefCount refs_;
    mutable std::mutex mutex_;
    RefPtr<IWebViewSite> site_;
    std::vector<Sink> sinks_;
    uint32_t lastCookie_ = 0;
    std::vector<std::string> navigations_;
    std::string address_;
    WindowHandle host_ = kNoWindow;
    bool active_ = false;
    bool closed_ = false;
    Rect position_;
    Rect clip_;
    std::vector<Message> keys_;
};

}  // namespace platform
