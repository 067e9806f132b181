#include "platform/WebView.h"

#include "Display.h"

#include <algorithm>
#include <utility>

namespace platform {

namespace {

std::mutex makerMutex;
WebViewMaker& Maker() {
    static WebViewMaker* maker = new WebViewMaker;
    return *maker;
}

HRESULT MakeStandIn(IWebView** out) {
    *out = new StandInWebView;  // the creation reference goes to the caller
    return S_OK;
}

}  // namespace

HRESULT CreateWebView(IWebView** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    WebViewMaker maker;
    {
        std::lock_guard<std::mutex> guard(makerMutex);
        maker = Maker();
    }
    const HRESULT made = maker               ? maker(out)
                         : display::Active() ? display::MakeWebView(out)
                                             : MakeStandIn(out);
    if (Failed(made) && *out) {
        (*out)->Release();
        *out = nullptr;
    }
    if (Succeeded(made) && !*out) return E_FAIL;
    return made;
}

void SetWebViewMakerForTesting(WebViewMaker maker) {
    std::lock_guard<std::mutex> guard(makerMutex);
    Maker() = std::move(maker);
}

HRESULT StandInWebView::QueryInterface(const Guid& iid, void** out) {
    if (!out) return E_POINTER;
    if (iid == IUnknown::kIid || iid == IWebView::kIid) {
        AddRef();
        *out = static_cast<IWebView*>(this);
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

uint32_t StandInWebView::Release() {
    const uint32_t left = refs_.Decrement();
    if (left == 0) delete this;
    return left;
}

HRESULT StandInWebView::SetClientSite(IWebViewSite* site) {
    RefPtr<IWebViewSite> held;
    if (site) site->AddRef();
    held = RefPtr<IWebViewSite>::Adopt(site);
    {
        std::lock_guard<std::mutex> guard(mutex_);
        std::swap(site_, held);
    }
    return S_OK;  // the old site is released here, outside the lock
}

HRESULT StandInWebView::Activate(WindowHandle host, const Rect& position) {
    if (!IsWindow(host)) return E_INVALIDARG;
    std::lock_guard<std::mutex> guard(mutex_);
    host_ = host;
    position_ = clip_ = position;
    active_ = true;
    return S_OK;
}

HRESULT StandInWebView::SetObjectRects(const Rect& position, const Rect& clip) {
    std::lock_guard<std::mutex> guard(mutex_);
    position_ = position;
    clip_ = clip;
    return S_OK;
}

HRESULT StandInWebView::Advise(IDispatch* sink, uint32_t* cookie) {
    if (!sink || !cookie) return E_POINTER;
    sink->AddRef();
    std::lock_guard<std::mutex> guard(mutex_);
    *cookie = ++lastCookie_;
    sinks_.push_back({*cookie, RefPtr<IDispatch>::Adopt(sink)});
    return S_OK;
}

HRESULT StandInWebView::Unadvise(uint32_t cookie) {
    RefPtr<IDispatch> gone;
    std::lock_guard<std::mutex> guard(mutex_);
    auto it = std::find_if(sinks_.begin(), sinks_.end(),
                           [&](const Sink& s) { return s.cookie == cookie; });
    if (it == sinks_.end()) return E_INVALIDARG;
    gone = std::move(it->sink);
    sinks_.erase(it);
    return S_OK;
}

HRESULT StandInWebView::Navigate(const char16_t* url) {
    if (BstrLength(url) == 0) return E_INVALIDARG;
    const std::string address = Utf8FromBstr(url);
    {
        std::lock_guard<std::mutex> guard(mutex_);
        navigations_.push_back(address);
        address_ = address;
        closed_ = false;
    }
    std::vector<VARIANT> args(1);
    SetVariantUtf8(&args[0], address.c_str());
    Fire(DISPID_NAVIGATECOMPLETE2, std::move(args));
    return S_OK;
}

HRESULT StandInWebView::GetLocationURL(BSTR* out) {
    if (!out) return E_POINTER;
    std::lock_guard<std::mutex> guard(mutex_);
    *out = BstrFromUtf8(address_);
    return S_OK;
}

HRESULT StandInWebView::TranslateAccelerator(const Message* message) {
    if (!message) return E_POINTER;
    std::lock_guard<std::mutex> guard(mutex_);
    keys_.push_back(*message);
    return S_FALSE;
}

HRESULT StandInWebView::Close() {
    std::lock_guard<std::mutex> guard(mutex_);
    closed_ = true;
    return S_OK;
}

HRESULT StandInWebView::Deactivate() {
    std::lock_guard<std::mutex> guard(mutex_);
    active_ = false;
    host_ = kNoWindow;
    return S_OK;
}

std::vector<std::string> StandInWebView::Navigations() const {
    std::lock_guard<std::mutex> guard(mutex_);
    return navigations_;
}

std::string StandInWebView::Address() const {
    std::lock_guard<std::mutex> guard(mutex_);
    return address_;
}

RefPtr<IWebViewSite> StandInWebView::Site() const {
    std::lock_guard<std::mutex> guard(mutex_);
    return site_;
}

WindowHandle StandInWebView::Host() const {
    std::lock_guard<std::mutex> guard(mutex_);
    return host_;
}

bool StandInWebView::IsActive() const {
    std::lock_guard<std::mutex> guard(mutex_);
    return active_;
}

bool StandInWebView::IsClosed() const {
    std::lock_guard<std::mutex> guard(mutex_);
    return closed_;
}

Rect StandInWebView::Position() const {
    std::lock_guard<std::mutex> guard(mutex_);
    return position_;
}

Rect StandInWebView::Clip() const {
    std::lock_guard<std::mutex> guard(mutex_);
    return clip_;
}

size_t StandInWebView::SinkCount() const {
    std::lock_guard<std::mutex> guard(mutex_);
    return sinks_.size();
}

std::vector<Message> StandInWebView::OfferedKeys() const {
    std::lock_guard<std::mutex> guard(mutex_);
    return keys_;
}

void StandInWebView::PlayTitleChange(const std::string& title) {
    std::vector<VARIANT> args(1);
    SetVariantUtf8(&args[0], title.c_str());
    Fire(DISPID_TITLECHANGE, std::move(args));
}

void StandInWebView::PlayWindowClosing() {
    std::vector<VARIANT> args(2);
    SetVariantBool(&args[0], false);  // cancel
    SetVariantBool(&args[1], false);  // not a child window
    Fire(DISPID_WINDOWCLOSING, std::move(args));
}

HRESULT StandInWebView::PlayExternalCall(const std::string& member, std::vector<VARIANT> args,
                                         VARIANT* result) {
    RefPtr<IWebViewSite> site = Site();
    RefPtr<IDispatch> external;
    if (site) site->GetExternal(reinterpret_cast<IDispatch**>(external.OutParam()));
    HRESULT hr = E_FAIL;
    if (external) {
        ScopedBstr name(member.c_str());
        const char16_t* names[] = {name.Get()};
        DISPID id = DISPID_UNKNOWN;
        hr = external->GetIDsOfNames(names, 1, &id);
        if (Succeeded(hr)) {
            std::reverse(args.begin(), args.end());
            DISPPARAMS params;
            params.args = args.data();
            params.argCount = static_cast<uint32_t>(args.size());
            hr = external->Invoke(id, DISPATCH_METHOD, &params, result);
        }
    }
    for (VARIANT& v : args) ClearVariant(&v);
    return hr;
}

void StandInWebView::Fire(DISPID event, std::vector<VARIANT> args) {
    // The view stays alive through the calls, whatever a sink does to its holder.
    RefPtr<IWebView> self = RefPtr<IWebView>::Adopt(this);
    AddRef();
    std::vector<RefPtr<IDispatch>> sinks;
    {
        std::lock_guard<std::mutex> guard(mutex_);
        for (const Sink& s : sinks_) sinks.push_back(s.sink);
    }
    for (auto& sink : sinks) {
        DISPPARAMS params;
        params.args = args.data();
        params.argCount = static_cast<uint32_t>(args.size());
        sink->Invoke(event, DISPATCH_METHOD, &params, nullptr);
    }
    for (VARIANT& v : args) ClearVariant(&v);
}

}  // namespace platform
