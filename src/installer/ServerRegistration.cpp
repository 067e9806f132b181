#include "installer/ServerRegistration.h"

#include <dlfcn.h>

#include <climits>
#include <cstdlib>

#include "platform/RegistryStore.h"

namespace {

std::string ClassKey(const platform::Guid& clsid) {
    return "CLSID\\" + platform::FormatGuid(clsid);
}

}  // namespace

bool RegisterServerClass(const platform::Guid& clsid, const char* description,
                         const std::string& library) {
    using platform::RegistryRoot;
    if (library.empty() || library[0] != '/') return false;
    auto store = platform::RegistryStore::ForCurrentUser();
    if (!store || !store->IsOpen()) return false;
    const std::string key = ClassKey(clsid);
    return store->SetString(RegistryRoot::Classes, key, "", description ? description : "") &&
           store->SetString(RegistryRoot::Classes, key + "\\InprocServer32", "", library) &&
           store->SetString(RegistryRoot::Classes, key + "\\InprocServer32", "ThreadingModel",
                            "Apartment");
}

bool UnregisterServerClass(const platform::Guid& clsid) {
    auto store = platform::RegistryStore::ForCurrentUser();
    if (!store || !store->IsOpen()) return false;
    return store->DeleteKey(platform::RegistryRoot::Classes, ClassKey(clsid));
}

std::string LibraryOfAddress(const void* address) {
    Dl_info info{};
    if (!dladdr(address, &info) || !info.dli_fname) return {};
    char resolved[PATH_MAX];
    if (!realpath(info.dli_fname, resolved)) return info.dli_fname;
    return resolved;
}
