// The exports of the splash library.
#include "introcard/KVRSplash.h"
#include "platform/ComponentRegistration.h"

extern "C" platform::HRESULT DllRegisterServer();

namespace {

platform::ServerRegistration Registration() {
    platform::ServerRegistration server;
    server.classId = kClsidKVRSplash;
    server.description = "KVRSplash Class";
    server.progId = kProgIdKVRSplash;
    server.moduleAddress = reinterpret_cast<const void*>(&DllRegisterServer);
    return server;
}

}  // namespace

extern "C" platform::HRESULT DllRegisterServer() {
    return platform::RegisterServer(Registration());
}

extern "C" platform::HRESULT DllUnregisterServer() {
    return platform::UnregisterServer(Registration());
}

extern "C" platform::HRESULT DllGetClassObject(const platform::Guid* clsid,
                                               const platform::Guid* iid, void** out) {
    return platform::GetComponentClassObject(kClsidKVRSplash, KVRSplash::MakeFactory().Get(), clsid,
                                             iid, out);
}

extern "C" platform::HRESULT DllCanUnloadNow() {
    return KVRSplash::LiveObjects() == 0 ? platform::S_OK : platform::S_FALSE;
}
