#include "pagepane/WebBrowserSite.h"

#include <utility>

using platform::HRESULT;

// --- Event sink -----------------------------------------------------------------------

HRESULT WebBrowserEventSink::QueryInterface(const platform::Guid& iid, void** out) {
    if (!out) return platform::E_POINTER;
    if (iid == platform::IUnknown::kIid || iid == platform::IDispatch::kIid) {
        AddRef();
        *out = static_cast<platform::IDispatch*>(this);
        return platform::S_OK;
    }
    *out = nullptr;
    return platform::E_NOINTERFACE;
}

uint32_t WebBrowserEventSink::Release() {
    const uint32_t left = refs_.Decrement();
    if (left == 0) delete this;
    return left;
}

HRESULT WebBrowserEventSink::GetTypeInfoCount(uint32_t*) {
    return platform::E_NOTIMPL;
}

HRESULT WebBrowserEventSink::GetTypeInfo(uint32_t, platform::IUnknown**) {
    return platform::E_NOTIMPL;
}

HRESULT WebBrowserEventSink::GetIDsOfNames(const char16_t* const*, uint32_t, platform::DISPID*) {
    return platform::DISP_E_UNKNOWNNAME;
}

HRESULT WebBrowserEventSink::Invoke(platform::DISPID member, uint16_t, platform::DISPPARAMS* params,
                                    platform::VARIANT*) {
    if (!site_) return platform::S_OK;
    // The site may be shut down and released by what the event sets off (a close
    // destroys the window that holds it): keep it for the call.
    platform::RefPtr<WebBrowserSite> site = platform::RefPtr<WebBrowserSite>::Adopt(site_);
    site_->AddRef();
    switch (member) {
        case platform::DISPID_TITLECHANGE:
            // The title is the only argument; anything else is not a title.
            if (params && params->args && params->argCount >= 1) {
                const platform::VARIANT& title = params->args[params->argCount - 1];
                if (title.type == platform::VariantType::Bstr) site->OnTitleChange(title.bstrValue);
            }
            break;
        case platform::DISPID_WINDOWCLOSING:
            site->OnWindowClosing();
            break;
        default:
            break;
    }
    return platform::S_OK;
}

// --- Site -----------------------------------------------------------------------------

WebBrowserSite::~WebBrowserSite() {
    if (sink_) sink_->Detach();
}

HRESULT WebBrowserSite::QueryInterface(const platform::Guid& iid, void** out) {
    if (!out) return platform::E_POINTER;
    if (iid == platform::IUnknown::kIid || iid == platform::IWebViewSite::kIid) {
        AddRef();
        *out = static_cast<platform::IWebViewSite*>(this);
        return platform::S_OK;
    }
    *out = nullptr;
    return platform::E_NOINTERFACE;
}

uint32_t WebBrowserSite::Release() {
    const uint32_t left = refs_.Decrement();
    if (left == 0) delete this;
    return left;
}

HRESULT WebBrowserSite::Create(const char* url, platform::WindowHandle host) {
    host_ = host;
    platform::RefPtr<platform::IWebView> browser;
    if (platform::Failed(
            platform::CreateWebView(reinterpret_cast<platform::IWebView**>(browser.OutParam()))) ||
        !browser)
        return platform::E_FAIL;
    browser_ = browser;
    browser_->SetClientSite(this);
    browser_->Activate(host_, platform::GetClientRect(host_));

    sink_ = platform::RefPtr<WebBrowserEventSink>::Adopt(new WebBrowserEventSink(this));
    if (platform::Failed(browser_->Advise(sink_.Get(), &cookie_))) cookie_ = 0;
    return Navigate(platform::BstrFromUtf8(url ? url : ""));
}

void WebBrowserSite::Destroy() {
    if (browser_) {
        browser_->Close();
        browser_->SetClientSite(nullptr);
        if (cookie_ != 0) browser_->Unadvise(cookie_);
        browser_->Deactivate();
    }
    cookie_ = 0;
    if (sink_) {
        sink_->Detach();
        sink_.Reset();
    }
    browser_.Reset();
    external_.Reset();
}

HRESULT WebBrowserSite::Navigate(platform::BSTR url) {
    platform::ScopedBstr owned(url);
    if (!browser_) return platform::S_OK;
    return browser_->Navigate(owned.Get());
}

void WebBrowserSite::SetRect(const platform::Rect& rect) {
    rect_ = rect;
    if (browser_) browser_->SetObjectRects(rect, rect);
    platform::SetClientSize(host_, rect.right, rect.bottom);
}

void WebBrowserSite::SetExternal(platform::IDispatch* external) {
    if (!external) return;
    external->AddRef();
    external_ = platform::RefPtr<platform::IDispatch>::Adopt(external);
}

HRESULT WebBrowserSite::TranslateAccelerator(const platform::Message* message) {
    if (!browser_) return platform::E_FAIL;
    browser_->TranslateAccelerator(message);
    return platform::S_OK;
}

void WebBrowserSite::OnTitleChange(const char16_t* title) {
    const platform::WindowHandle parent = platform::GetParent(host_);
    if (parent != platform::kNoWindow)
        platform::SetWindowText(parent, CaptionFromTitle(title, kMaxCaptionLength));
}

void WebBrowserSite::OnWindowClosing() {
    const platform::WindowHandle parent = platform::GetParent(host_);
    if (parent != platform::kNoWindow) platform::SendMessage(parent, platform::WM_CLOSE);
}

HRESULT WebBrowserSite::GetWindow(platform::WindowHandle* out) {
    if (!out) return platform::E_POINTER;
    if (!platform::IsWindow(host_)) {
        *out = platform::kNoWindow;
        return platform::S_FALSE;
    }
    *out = host_;
    return platform::S_OK;
}

HRESULT WebBrowserSite::GetExternal(platform::IDispatch** out) {
    if (!out) return platform::E_POINTER;
    *out = external_.Get();
    if (*out) (*out)->AddRef();
    return platform::S_OK;
}

HRESULT WebBrowserSite::GetHostInfo(uint32_t* flags) {
    if (!flags) return platform::E_POINTER;
    *flags = platform::kWebHostNoScrollBars;
    return platform::S_OK;
}

std::string CaptionFromTitle(const char16_t* title, size_t maxCharacters) {
    const std::string text = platform::Utf8FromBstr(title);
    size_t characters = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        // Each character starts with a byte that is not a continuation byte.
        if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80 && characters++ == maxCharacters)
            return text.substr(0, i);
    }
    return text;
}
