#include "introcard/KVRSplash.h"

#include <atomic>
#include <iterator>
#include <new>

using platform::HRESULT;

namespace {

std::atomic<int> liveObjects{0};

const platform::DispatchName kMembers[] = {
    {"CreateSplash", IKVRSplash::kDispidCreateSplash},
    {"CloseWindow", IKVRSplash::kDispidCloseWindow},
    {"CloseWindowNOW", IKVRSplash::kDispidCloseWindowNOW},
    {"SetTimer", IKVRSplash::kDispidSetTimer},
    {"SetParent", IKVRSplash::kDispidSetParent},
};

}  // namespace

KVRSplash::KVRSplash() {
    ++liveObjects;
}

KVRSplash::~KVRSplash() {
    splash_.reset();  // closes a splash still showing and joins its thread
    --liveObjects;
}

int KVRSplash::LiveObjects() {
    return liveObjects.load();
}

platform::RefPtr<platform::IClassFactory> KVRSplash::MakeFactory() {
    return platform::MakeClassFactory([](const platform::Guid& iid, void** out) -> HRESULT {
        auto* splash = new (std::nothrow) KVRSplash;
        if (!splash) return platform::E_OUTOFMEMORY;
        const HRESULT asked = splash->QueryInterface(iid, out);
        splash->Release();
        return asked;
    });
}

HRESULT KVRSplash::QueryInterface(const platform::Guid& iid, void** out) {
    if (!out) return platform::E_POINTER;
    if (iid == platform::IUnknown::kIid || iid == platform::IDispatch::kIid ||
        iid == IKVRSplash::kIid) {
        AddRef();
        *out = static_cast<IKVRSplash*>(this);
        return platform::S_OK;
    }
    *out = nullptr;
    return platform::E_NOINTERFACE;
}

uint32_t KVRSplash::Release() {
    const uint32_t left = refs_.Decrement();
    if (left == 0) delete this;
    return left;
}

SplashScreen* KVRSplash::Showing() {
    std::lock_guard<std::mutex> guard(mutex_);
    return splash_ && !splash_->IsFinished() ? splash_.get() : nullptr;
}

// --- IDispatch ------------------------------------------------------------------------

HRESULT KVRSplash::GetTypeInfoCount(uint32_t* count) {
    if (!count) return platform::E_POINTER;
    *count = 0;
    return platform::S_OK;
}

HRESULT KVRSplash::GetTypeInfo(uint32_t, platform::IUnknown** info) {
    if (info) *info = nullptr;
    return platform::E_NOTIMPL;
}

HRESULT KVRSplash::GetIDsOfNames(const char16_t* const* names, uint32_t count,
                                 platform::DISPID* ids) {
    return platform::LookUpDispatchNames(kMembers, std::size(kMembers), names, count, ids);
}

HRESULT KVRSplash::Invoke(platform::DISPID member, uint16_t flags, platform::DISPPARAMS* params,
                          platform::VARIANT* result) {
    if (result) platform::InitVariant(result);
    if (!(flags & platform::DISPATCH_METHOD)) return platform::DISP_E_MEMBERNOTFOUND;
    const uint32_t given = params ? params->argCount : 0;
    if (given > 0 && !params->args) return platform::E_INVALIDARG;
    const bool takesNumber = member == kDispidSetTimer || member == kDispidSetParent;
    if (member < kDispidCreateSplash || member > kDispidSetParent)
        return platform::DISP_E_MEMBERNOTFOUND;
    if (given != (takesNumber ? 1u : 0u)) return platform::DISP_E_BADPARAMCOUNT;
    if (takesNumber && params->args[0].type != platform::VariantType::Int32)
        return platform::DISP_E_TYPEMISMATCH;
    switch (member) {
        case kDispidCreateSplash:
            return CreateSplash();
        case kDispidCloseWindow:
            return CloseWindow();
        case kDispidCloseWindowNOW:
            return CloseWindowNOW();
        case kDispidSetTimer:
            return SetTimer(params->args[0].intValue);
        default:
            return SetParent(params->args[0].intValue);
    }
}

// --- IKVRSplash -----------------------------------------------------------------------

HRESULT KVRSplash::CreateSplash() {
    std::unique_ptr<SplashScreen> ended;  // joined after the lock is let go
    {
        std::lock_guard<std::mutex> guard(mutex_);
        if (splash_ && !splash_->IsFinished()) return platform::S_OK;
        ended = std::move(splash_);
        splash_ = std::make_unique<SplashScreen>();
        splash_->Start();
    }
    return platform::S_OK;
}

HRESULT KVRSplash::CloseWindow() {
    std::lock_guard<std::mutex> guard(mutex_);
    if (splash_ && !splash_->IsFinished()) splash_->CloseWhenElapsed();
    return platform::S_OK;
}

HRESULT KVRSplash::CloseWindowNOW() {
    std::lock_guard<std::mutex> guard(mutex_);
    if (splash_ && !splash_->IsFinished()) splash_->CloseNow();
    return platform::S_OK;
}

HRESULT KVRSplash::SetTimer(int32_t milliseconds) {
    std::lock_guard<std::mutex> guard(mutex_);
    if (splash_ && !splash_->IsFinished()) splash_->SetMinimumTime(milliseconds);
    return platform::S_OK;
}

HRESULT KVRSplash::SetParent(int32_t window) {
    std::lock_guard<std::mutex> guard(mutex_);
    if (splash_ && !splash_->IsFinished())
        splash_->SetParentWindow(platform::WindowFromParam(static_cast<uint32_t>(window)));
    return platform::S_OK;
}
