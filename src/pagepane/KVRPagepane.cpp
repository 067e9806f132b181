#include "pagepane/KVRPagepane.h"

#include <atomic>
#include <new>

using platform::HRESULT;

namespace {

std::atomic<int> liveObjects{0};

const platform::DispatchName kMembers[] = {
    {"GoToWebpage", IKVRPagepane::kDispidGoToWebpage},
    {"External", IKVRPagepane::kDispidExternal},
    {"RunAccel", IKVRPagepane::kDispidRunAccel},
};

bool IsReflectedNotification(uint32_t message) {
    if (message < KVRPagepane::kReflectedBase) return false;
    switch (message - KVRPagepane::kReflectedBase) {
        case platform::WM_COMMAND:
        case platform::WM_NOTIFY:
        case platform::WM_PARENTNOTIFY:
        case platform::WM_DRAWITEM:
        case 0x002C:  // measure item
        case 0x002D:  // delete item
        case 0x002E:  // virtual key to item
        case 0x002F:  // character to item
        case 0x0039:  // compare item
        case platform::WM_HSCROLL:
        case platform::WM_VSCROLL:
            return true;
        default:
            // The colour messages of child controls (0x0132 to 0x0138).
            return message - KVRPagepane::kReflectedBase >= 0x0132 &&
                   message - KVRPagepane::kReflectedBase <= 0x0138;
    }
}

}  // namespace

KVRPagepane::KVRPagepane() {
    ++liveObjects;
}

KVRPagepane::~KVRPagepane() {
    // A host that released the control without destroying its window.
    if (platform::IsWindow(window_)) platform::DestroyWindow(window_);
    --liveObjects;
}

int KVRPagepane::LiveObjects() {
    return liveObjects.load();
}

platform::RefPtr<platform::IClassFactory> KVRPagepane::MakeFactory() {
    return platform::MakeClassFactory([](const platform::Guid& iid, void** out) -> HRESULT {
        auto* pane = new (std::nothrow) KVRPagepane;
        if (!pane) return platform::E_OUTOFMEMORY;
        const HRESULT asked = pane->QueryInterface(iid, out);
        pane->Release();
        return asked;
    });
}

HRESULT KVRPagepane::QueryInterface(const platform::Guid& iid, void** out) {
    if (!out) return platform::E_POINTER;
    if (iid == platform::IUnknown::kIid || iid == platform::IDispatch::kIid ||
        iid == IKVRPagepane::kIid) {
        *out = static_cast<IKVRPagepane*>(this);
    } else if (iid == platform::IWindowedObject::kIid) {
        *out = static_cast<platform::IWindowedObject*>(this);
    } else {
        *out = nullptr;
        return platform::E_NOINTERFACE;
    }
    AddRef();
    return platform::S_OK;
}

uint32_t KVRPagepane::Release() {
    const uint32_t left = refs_.Decrement();
    if (left == 0) delete this;
    return left;
}

// --- IDispatch ------------------------------------------------------------------------

HRESULT KVRPagepane::GetTypeInfoCount(uint32_t* count) {
    if (!count) return platform::E_POINTER;
    *count = 0;
    return platform::S_OK;
}

HRESULT KVRPagepane::GetTypeInfo(uint32_t, platform::IUnknown** info) {
    if (info) *info = nullptr;
    return platform::E_NOTIMPL;
}

HRESULT KVRPagepane::GetIDsOfNames(const char16_t* const* names, uint32_t count,
                                   platform::DISPID* ids) {
    return platform::LookUpDispatchNames(kMembers, std::size(kMembers), names, count, ids);
}

HRESULT KVRPagepane::Invoke(platform::DISPID member, uint16_t flags, platform::DISPPARAMS* params,
                            platform::VARIANT* result) {
    if (result) platform::InitVariant(result);
    const uint32_t given = params ? params->argCount : 0;
    if (given > 0 && !params->args) return platform::E_INVALIDARG;
    switch (member) {
        case kDispidGoToWebpage: {
            if (!(flags & platform::DISPATCH_METHOD)) return platform::DISP_E_MEMBERNOTFOUND;
            if (given != 1) return platform::DISP_E_BADPARAMCOUNT;
            if (params->args[0].type != platform::VariantType::Bstr)
                return platform::DISP_E_TYPEMISMATCH;
            platform::BSTR url = params->args[0].bstrValue;
            return GoToWebpage(&url);
        }
        case kDispidExternal: {
            if (!(flags & platform::DISPATCH_PROPERTYPUT)) return platform::DISP_E_MEMBERNOTFOUND;
            if (given != 1) return platform::DISP_E_BADPARAMCOUNT;
            const platform::VARIANT& value = params->args[0];
            if (value.type == platform::VariantType::Empty ||
                value.type == platform::VariantType::Null)
                return put_External(nullptr);
            if (value.type != platform::VariantType::Unknown) return platform::DISP_E_TYPEMISMATCH;
            platform::RefPtr<platform::IDispatch> external;
            if (value.unknownValue && platform::Failed(value.unknownValue->QueryInterface(
                                          platform::IDispatch::kIid, external.OutParam())))
                return platform::DISP_E_TYPEMISMATCH;
            return put_External(external.Get());
        }
        case kDispidRunAccel:
            // A keyboard message does not travel as a script value.
            return platform::DISP_E_TYPEMISMATCH;
        default:
            return platform::DISP_E_MEMBERNOTFOUND;
    }
}

// --- IKVRPagepane ---------------------------------------------------------------------

HRESULT KVRPagepane::GoToWebpage(platform::BSTR* url) {
    if (!site_) return platform::S_OK;
    if (!url) return platform::E_POINTER;
    return site_->Navigate(platform::AllocBstrLength(*url, platform::BstrLength(*url)));
}

HRESULT KVRPagepane::put_External(platform::IDispatch* external) {
    if (site_) site_->SetExternal(external);
    return platform::S_OK;
}

HRESULT KVRPagepane::RunAccel(platform::Message* message) {
    if (site_) site_->TranslateAccelerator(message);
    return platform::S_OK;
}

// --- IWindowedObject ------------------------------------------------------------------

HRESULT KVRPagepane::CreateObjectWindow(platform::WindowHandle parent, int width, int height,
                                        platform::WindowHandle* out) {
    return platform::CreateObjectWindowWith(
        [this](platform::WindowHandle w, uint32_t m, platform::WParam wp, platform::LParam lp) {
            return WindowProc(w, m, wp, lp);
        },
        nullptr, window_, parent, width, height, out);
}

HRESULT KVRPagepane::GetObjectWindow(platform::WindowHandle* out) {
    return platform::GetObjectWindowOf(window_, out);
}

HRESULT KVRPagepane::OnFrameWindowActivate(bool) {
    return platform::S_OK;
}

platform::LResult KVRPagepane::WindowProc(platform::WindowHandle window, uint32_t message,
                                          platform::WParam wParam, platform::LParam lParam) {
    switch (message) {
        case platform::WM_CREATE:
            window_ = window;
            site_ = platform::RefPtr<WebBrowserSite>::Adopt(new WebBrowserSite);
            site_->Create("about:blank", window);
            return 0;
        case platform::WM_SIZE:
            if (site_) {
                site_->SetRect(platform::Rect{0, 0, static_cast<int>(platform::LowWord(lParam)),
                                              static_cast<int>(platform::HighWord(lParam))});
            }
            return 0;
        case platform::WM_DESTROY:
            if (site_) {
                // Kept until the shutdown is over: the browser may call back into it.
                platform::RefPtr<WebBrowserSite> site = std::move(site_);
                site->Destroy();
            }
            return 0;
        case platform::WM_NCDESTROY:
            window_ = platform::kNoWindow;
            return 0;
        default:
            if (IsReflectedNotification(message))
                return platform::DefaultWindowProc(window, message - kReflectedBase, wParam,
                                                   lParam);
            return platform::DefaultWindowProc(window, message, wParam, lParam);
    }
}
