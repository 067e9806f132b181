#include "installer/RegisterableFile.h"

#include <dlfcn.h>

#include "foundation/Trace.h"
#include "installer/InstallerLog.h"
#include "platform/Component.h"

bool RegisterableFile::CallExport(const char* name) {
    const std::string& path = file_.FullName();
    // Only a path is loaded, never a bare name looked up along the library path.
    if (!PRECONDITION(!path.empty() && path[0] == '/', "Invalid file to register")) return false;
    // The library stays mapped after it is closed: what its registration set up (process-
    // wide objects, exit handlers) must not point into unmapped code afterwards.
    void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
    if (!library) {
        const char* why = dlerror();
        InstallerLog("Cannot load %s: %s", path.c_str(), why ? why : "");
        return false;
    }
    using Entry = platform::HRESULT (*)();
    auto entry = reinterpret_cast<Entry>(dlsym(library, name));
    const bool done = entry && platform::Succeeded(entry());
    if (!entry) InstallerLog("%s has no %s", path.c_str(), name);
    dlclose(library);
    return done;
}

bool RegisterableFile::Register() {
    return CallExport("DllRegisterServer");
}

bool RegisterableFile::Unregister() {
    return CallExport("DllUnregisterServer");
}

bool RegisterableFile::GetVersion(FileVersion* version) {
    if (!PRECONDITION(version != nullptr, "Null outVersion passed")) return false;
    return ReadFileVersionMark(file_.FullName().c_str(), version);
}
