#pragma once

#include <memory>
#include <mutex>

#include "introcard/IKVRSplash.h"
#include "introcard/SplashScreen.h"

// The splash object. It keeps the splash it showed last; a splash whose thread has
// ended counts as none and is cleared by the next CreateSplash or by the object's end,
// which closes a splash still showing and waits for its thread.
class KVRSplash final : public IKVRSplash {
public:
    KVRSplash();

    static platform::RefPtr<platform::IClassFactory> MakeFactory();
    // Splash objects alive in the process (the library may be unloaded at 0).
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

    // IKVRSplash
    platform::HRESULT CreateSplash() override;
    platform::HRESULT CloseWindow() override;
    platform::HRESULT CloseWindowNOW() override;
    platform::HRESULT SetTimer(int32_t milliseconds) override;
    platform::HRESULT SetParent(int32_t window) override;

    // The splash showing, or null (for the owner's thread only).
    SplashScreen* Showing();

private:
    ~KVRSplash();

    platform::RefCount refs_;
    std::mutex mutex_;
    std::unique_ptr<SplashScreen> splash_;
};
