#include "platform/ComponentRegistration.h"

#include <dlfcn.h>

#include "platform/RegistryStore.h"

namespace platform {

namespace {

std::string ClassKey(const ServerRegistration& server) {
    return "CLSID\\" + FormatGuid(server.classId);
}

std::string CategoryKey(const ServerRegistration& server, const char* category) {
    return ClassKey(server) + "\\Implemented Categories\\" + category;
}

}  // namespace

std::string ModuleFileOf(const void* address) {
    Dl_info info{};
    if (address && dladdr(address, &info) && info.dli_fname) return info.dli_fname;
    return {};
}

HRESULT RegisterServer(const ServerRegistration& server) {
    auto store = RegistryStore::ForCurrentUser();
    if (!store || !store->IsOpen()) return E_FAIL;
    const std::string classKey = ClassKey(server);
    const std::string module = ModuleFileOf(server.moduleAddress);
    const bool registered =
        !module.empty() &&
        store->SetString(RegistryRoot::Classes, classKey, "", server.description) &&
        store->SetString(RegistryRoot::Classes, classKey + "\\InprocServer32", "", module) &&
        store->SetString(RegistryRoot::Classes, classKey + "\\InprocServer32", "ThreadingModel",
                         server.threadingModel) &&
        store->SetString(RegistryRoot::Classes, classKey + "\\ProgID", "", server.progId) &&
        store->SetString(RegistryRoot::Classes, std::string(server.progId) + "\\CLSID", "",
                         FormatGuid(server.classId));
    if (server.safeCategories) {
        store->CreateKey(RegistryRoot::Classes, CategoryKey(server, kCategorySafeForScripting));
        store->CreateKey(RegistryRoot::Classes, CategoryKey(server, kCategorySafeForInitialising));
    }
    return registered ? S_OK : E_FAIL;
}

HRESULT UnregisterServer(const ServerRegistration& server) {
    auto store = RegistryStore::ForCurrentUser();
    if (!store || !store->IsOpen()) return E_FAIL;
    if (server.safeCategories) {
        store->DeleteKey(RegistryRoot::Classes, CategoryKey(server, kCategorySafeForScripting));
        store->DeleteKey(RegistryRoot::Classes, CategoryKey(server, kCategorySafeForInitialising));
    }
    const bool removed = store->DeleteKey(RegistryRoot::Classes, ClassKey(server)) &&
                         store->DeleteKey(RegistryRoot::Classes, server.progId);
    return removed ? S_OK : E_FAIL;
}

}  // namespace platform
