#include "foundation/FileVersionMark.h"
#include "probe/PreContrl.h"

// The probe's library: registration and the class object of the probe.

// The installer compares this with the server's version before it fetches the probe.
KIVORA_FILE_VERSION_MARK("1,0,0,9")

extern "C" platform::HRESULT DllRegisterServer() {
    return RegisterPreContrl(reinterpret_cast<const void*>(&DllRegisterServer));
}

extern "C" platform::HRESULT DllUnregisterServer() {
    return UnregisterPreContrl();
}

extern "C" platform::HRESULT DllGetClassObject(const platform::Guid* clsid,
                                               const platform::Guid* iid, void** out) {
    return GetPreContrlClassObject(clsid, iid, out);
}

// The library may be unloaded once no probe lives in the process.
extern "C" platform::HRESULT DllCanUnloadNow() {
    return PreContrl::LiveObjects() == 0 ? platform::S_OK : platform::S_FALSE;
}
