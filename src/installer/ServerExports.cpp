// The exports of the installer's and the updater's libraries: each library is built from
// this file with KIVORA_UPDATER_LIBRARY set (the updater) or not (the installer).

#include "foundation/FileVersionMark.h"
#include "installer/ServerRegistration.h"

#ifdef KIVORA_UPDATER_LIBRARY
#include "installer/KVRPatchrunner.h"
using ServedClass = KVRPatchrunner;
#define SERVED_CLASS_ID kKVRPatchrunnerClassId
#define SERVED_DESCRIPTION "KVRPatchrunner Class"
KIVORA_FILE_VERSION_MARK("1,0,0,18")
#else
#include "installer/KVRInstaller.h"
using ServedClass = KVRInstaller;
#define SERVED_CLASS_ID kKVRInstallerClassId
#define SERVED_DESCRIPTION "KVRInstaller Class"
KIVORA_FILE_VERSION_MARK("1,0,0,22")
#endif

extern "C" platform::HRESULT DllRegisterServer() {
    const std::string library = LibraryOfAddress(reinterpret_cast<const void*>(&DllRegisterServer));
    return RegisterServerClass(SERVED_CLASS_ID, SERVED_DESCRIPTION, library) ? platform::S_OK
                                                                             : platform::E_FAIL;
}

extern "C" platform::HRESULT DllUnregisterServer() {
    return UnregisterServerClass(SERVED_CLASS_ID) ? platform::S_OK : platform::E_FAIL;
}

extern "C" platform::HRESULT DllGetClassObject(const platform::Guid* clsid,
                                               const platform::Guid* iid, void** out) {
    if (!out) return platform::E_POINTER;
    *out = nullptr;
    if (!clsid || !iid) return platform::E_INVALIDARG;
    if (!(*clsid == SERVED_CLASS_ID)) return platform::CLASS_E_CLASSNOTAVAILABLE;
    return ServedClass::MakeFactory()->QueryInterface(*iid, out);
}
