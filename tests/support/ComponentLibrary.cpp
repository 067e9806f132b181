#include "support/ComponentLibrary.h"

#include <dlfcn.h>
#include <gtest/gtest.h>

#include "platform/ComponentRegistration.h"
#include "platform/RegistryStore.h"
#include "support/TempFolder.h"

void CheckComponentLibrary(const std::string& path, const platform::Guid& clsid,
                           const char* progId) {
    using platform::HRESULT;
    using platform::RegistryRoot;
    ScopedRegistry registry;
    void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(library, nullptr) << dlerror();
    auto reg = reinterpret_cast<HRESULT (*)()>(dlsym(library, "DllRegisterServer"));
    auto unreg = reinterpret_cast<HRESULT (*)()>(dlsym(library, "DllUnregisterServer"));
    auto unload = reinterpret_cast<HRESULT (*)()>(dlsym(library, "DllCanUnloadNow"));
    auto classObject =
        reinterpret_cast<HRESULT (*)(const platform::Guid*, const platform::Guid*, void**)>(
            dlsym(library, "DllGetClassObject"));
    ASSERT_TRUE(reg && unreg && unload && classObject);

    ASSERT_EQ(reg(), platform::S_OK);
    auto store = platform::RegistryStore::ForCurrentUser();
    const std::string key = "CLSID\\" + platform::FormatGuid(clsid);
    const auto server = store->GetString(RegistryRoot::Classes, key + "\\InprocServer32", "");
    ASSERT_TRUE(server.has_value());
    EXPECT_NE(server->find(path.substr(path.rfind('/') + 1)), std::string::npos);
    EXPECT_EQ(store->GetString(RegistryRoot::Classes, std::string(progId) + "\\CLSID", ""),
              platform::FormatGuid(clsid));

    const platform::Guid other = {1, 2, 3, {4, 5, 6, 7, 8, 9, 10, 11}};
    void* factory = nullptr;
    EXPECT_EQ(classObject(&other, &platform::IClassFactory::kIid, &factory),
              platform::CLASS_E_CLASSNOTAVAILABLE);
    ASSERT_EQ(classObject(&clsid, &platform::IClassFactory::kIid, &factory), platform::S_OK);
    static_cast<platform::IClassFactory*>(factory)->Release();
    EXPECT_EQ(unload(), platform::S_OK);

    ASSERT_EQ(unreg(), platform::S_OK);
    EXPECT_FALSE(store->KeyExists(RegistryRoot::Classes, key));
    EXPECT_FALSE(store->KeyExists(RegistryRoot::Classes, progId));
    dlclose(library);
}
