#pragma once

#include <cstdint>
#include <string>

#include "platform/Automation.h"
#include "platform/WebView.h"
#include "platform/Window.h"

class WebBrowserSite;

// Receives the browser's events for its site. Once detached (the site shut down) it
// ignores every event.
class WebBrowserEventSink final : public platform::IDispatch {
public:
    explicit WebBrowserEventSink(WebBrowserSite* site) : site_(site) {}

    void Detach() { site_ = nullptr; }

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

private:
    ~WebBrowserEventSink() = default;

    platform::RefCount refs_;
    WebBrowserSite* site_;
};

// Holds the browser in the control's window: creates and activates it, passes it
// navigations, sizes and keys, answers it for the window and the external object, and
// turns its title and close events into the caption and the close of the window's
// parent.
class WebBrowserSite final : public platform::IWebViewSite {
public:
    // Longest window caption taken from a page title, in characters.
    static constexpr size_t kMaxCaptionLength = 259;

    WebBrowserSite() = default;

    // Makes the browser, shows it in `host`, connects the event sink and navigates to
    // `url`. E_FAIL (and an empty control) when the browser cannot be made.
    platform::HRESULT Create(const char* url, platform::WindowHandle host);
    // Disconnects and releases the browser.
    void Destroy();
    // Navigates to `url` and frees it; the browser's result (S_OK without a browser).
    platform::HRESULT Navigate(platform::BSTR url);
    // Moves the browser to `rect` and sizes the host window to (right, bottom).
    void SetRect(const platform::Rect& rect);
    // Keeps `external` (with a reference); null keeps the one held.
    void SetExternal(platform::IDispatch* external);
    // E_FAIL without a browser, else S_OK whatever the browser did with the key.
    platform::HRESULT TranslateAccelerator(const platform::Message* message);
    // The browser's events.
    void OnTitleChange(const char16_t* title);
    void OnWindowClosing();

    platform::IWebView* Browser() const { return browser_.Get(); }
    const platform::Rect& Position() const { return rect_; }

    // IUnknown
    platform::HRESULT QueryInterface(const platform::Guid& iid, void** out) override;
    uint32_t AddRef() override { return refs_.Increment(); }
    uint32_t Release() override;

    // IWebViewSite
    platform::HRESULT GetWindow(platform::WindowHandle* out) override;
    platform::HRESULT GetExternal(platform::IDispatch** out) override;
    platform::HRESULT GetHostInfo(uint32_t* flags) override;

private:
    ~WebBrowserSite();

    platform::RefCount refs_;
    platform::RefPtr<platform::IWebView> browser_;
    platform::RefPtr<platform::IDispatch> external_;
    platform::WindowHandle host_ = platform::kNoWindow;
    platform::Rect rect_;
    platform::RefPtr<WebBrowserEventSink> sink_;
    uint32_t cookie_ = 0;
};

// The title as caption text: UTF-8 of at most `maxCharacters` whole characters.
std::string CaptionFromTitle(const char16_t* title, size_t maxCharacters);
