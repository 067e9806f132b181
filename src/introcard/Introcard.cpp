// The exports of the splash library.
#include "introcard/KVRSplash.h"
#include "platform/ComponentRegistration.h"

namespace {

platform::ComponentClassInfo ClassInfo() {
    platform::ComponentClassInfo info;
    info.clsid = kClsidKVRSplash;
    info.name = "KVRSplash Class";
    info.progId = kProgIdKVRSplash;
    return info;
}

}  // namespace

extern "C" platform::HRESULT DllRegisterServer() {
    return platform::RegisterComponentClass(
        ClassInfo(), platform::ModulePathOf(reinterpret_cast<void*>(&DllRegisterServer)));
}

extern "C" platform::HRESULT DllUnregisterServer() {
    return platform::UnregisterComponentClass(ClassInfo());
}

extern "C" platform::HRESULT DllGetClassObject(const platform::Guid* clsid,
                                               const platform::Guid* iid, void** out) {
    return platform::GetComponentClassObject(kClsidKVRSplash, KVRSplash::MakeFactory().Get(), clsid,
                                             iid, out);
}

extern "C" platform::HRESULT DllCanUnloadNow() {
    return KVRSplash::LiveObjects() == 0 ? platform::S_OK : platform::S_FALSE;
}
