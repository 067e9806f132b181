#include "TestComponent.h"

#include "foundation/FileVersionMark.h"
#include "installer/ServerRegistration.h"

KIVORA_FILE_VERSION_MARK("2,0,0,5")

namespace {

class TestAnswer final : public ITestAnswer {
public:
    platform::HRESULT QueryInterface(const platform::Guid& iid, void** out) override {
        if (!out) return platform::E_POINTER;
        *out = nullptr;
        if (!(iid == platform::IUnknown::kIid || iid == ITestAnswer::kIid))
            return platform::E_NOINTERFACE;
        AddRef();
        *out = static_cast<ITestAnswer*>(this);
        return platform::S_OK;
    }
    uint32_t AddRef() override { return refs_.Increment(); }
    uint32_t Release() override {
        const uint32_t left = refs_.Decrement();
        if (left == 0) delete this;
        return left;
    }
    int32_t Answer() override { return 42; }

private:
    platform::RefCount refs_;
};

}  // namespace

extern "C" platform::HRESULT DllRegisterServer() {
    const std::string self = LibraryOfAddress(reinterpret_cast<const void*>(&DllRegisterServer));
    return RegisterServerClass(kTestComponentClassId, "Test component", self) ? platform::S_OK
                                                                              : platform::E_FAIL;
}

extern "C" platform::HRESULT DllUnregisterServer() {
    return UnregisterServerClass(kTestComponentClassId) ? platform::S_OK : platform::E_FAIL;
}

extern "C" platform::HRESULT DllGetClassObject(const platform::Guid* clsid,
                                               const platform::Guid* iid, void** out) {
    if (!out || !clsid || !iid) return platform::E_POINTER;
    *out = nullptr;
    if (!(*clsid == kTestComponentClassId)) return platform::CLASS_E_CLASSNOTAVAILABLE;
    auto factory = platform::MakeClassFactory([](const platform::Guid& wanted, void** made) {
        auto* object = new TestAnswer;
        const platform::HRESULT hr = object->QueryInterface(wanted, made);
        object->Release();
        return hr;
    });
    return factory->QueryInterface(*iid, out);
}
