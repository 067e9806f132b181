// The exports of the web pane library.
#include "pagepane/KVRPagepane.h"
#include "platform/ComponentRegistration.h"

namespace {

platform::ComponentClassInfo ClassInfo() {
    platform::ComponentClassInfo info;
    info.clsid = kClsidKVRPagepane;
    info.name = "KVRPagepane Class";
    info.progId = kProgIdKVRPagepane;
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
    return platform::GetComponentClassObject(kClsidKVRPagepane, KVRPagepane::MakeFactory().Get(),
                                             clsid, iid, out);
}

extern "C" platform::HRESULT DllCanUnloadNow() {
    return KVRPagepane::LiveObjects() == 0 ? platform::S_OK : platform::S_FALSE;
}
