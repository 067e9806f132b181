#include "platform/ComponentRegistration.h"

#include <dlfcn.h>

#include "platform/RegistryStore.h"

namespace platform {

namespace {

std::string CategoryKey(const Guid& clsid, const char* category) {
    return ComponentClassKey(clsid) + "\\Implemented Categories\\" + category;
}

}  // namespace

std::string ComponentClassKey(const Guid& clsid) {
    return "CLSID\\" + FormatGuid(clsid);
}

std::string ModulePathOf(const void* address) {
    Dl_info info{};
    if (address && dladdr(address, &info) && info.dli_fname) return info.dli_fname;
    return {};
}

HRESULT RegisterComponentClass(const ComponentClassInfo& info, const std::string& modulePath) {
    auto store = RegistryStore::ForCurrentUser();
    if (!store || !store->IsOpen()) return E_FAIL;
    const std::string classKey = ComponentClassKey(info.clsid);
    const std::string server = classKey + "\\InprocServer32";
    bool registered = !modulePath.empty() &&
                      store->SetString(RegistryRoot::Classes, classKey, "", info.name) &&
                      store->SetString(RegistryRoot::Classes, server, "", modulePath) &&
                      store->SetString(RegistryRoot::Classes, server, "ThreadingModel",
                                       info.threadingModel ? info.threadingModel : "Apartment");
    if (registered && info.progId) {
        registered =
            store->SetString(RegistryRoot::Classes, classKey + "\\ProgID", "", info.progId) &&
            store->SetString(RegistryRoot::Classes, std::string(info.progId) + "\\CLSID", "",
                             FormatGuid(info.clsid));
    }
    for (size_t i = 0; i < info.categoryCount; ++i)
        store->CreateKey(RegistryRoot::Classes, CategoryKey(info.clsid, info.categories[i]));
    return registered ? S_OK : E_FAIL;
}

HRESULT UnregisterComponentClass(const ComponentClassInfo& info) {
    auto store = RegistryStore::ForCurrentUser();
    if (!store || !store->IsOpen()) return E_FAIL;
    for (size_t i = 0; i < info.categoryCount; ++i)
        store->DeleteKey(RegistryRoot::Classes, CategoryKey(info.clsid, info.categories[i]));
    bool removed = store->DeleteKey(RegistryRoot::Classes, ComponentClassKey(info.clsid));
    if (info.progId) removed = store->DeleteKey(RegistryRoot::Classes, info.progId) && removed;
    return removed ? S_OK : E_FAIL;
}

HRESULT GetComponentClassObject(const Guid& servedClsid, IClassFactory* factory, const Guid* clsid,
                                const Guid* iid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (!clsid || !iid) return E_INVALIDARG;
    if (!(*clsid == servedClsid)) return CLASS_E_CLASSNOTAVAILABLE;
    if (!factory) return E_OUTOFMEMORY;
    return factory->QueryInterface(*iid, out);
}

}  // namespace platform
