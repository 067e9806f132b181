#include <gtest/gtest.h>

#include "platform/ComponentRegistration.h"
#include "platform/RegistryStore.h"
#include "support/TempFolder.h"

using namespace platform;

namespace {

constexpr Guid kClass = {0x0A1B2C3D, 0x1111, 0x2222, {3, 4, 5, 6, 7, 8, 9, 10}};

}  // namespace

TEST(ComponentRegistrationTest, WritesAndRemovesTheClassEntries) {
    ScopedRegistry registry;
    const char* const categories[] = {"{00000000-0000-0000-0000-0000000000AA}"};
    ComponentClassInfo info;
    info.clsid = kClass;
    info.name = "Thing Class";
    info.progId = "Lib.Thing.1";
    info.categories = categories;
    info.categoryCount = 1;

    EXPECT_EQ(RegisterComponentClass(info, ""), E_FAIL);
    ASSERT_EQ(RegisterComponentClass(info, "/opt/lib/libThing.so"), S_OK);
    auto store = RegistryStore::ForCurrentUser();
    const std::string key = ComponentClassKey(kClass);
    EXPECT_EQ(key, "CLSID\\{0A1B2C3D-1111-2222-0304-05060708090A}");
    EXPECT_EQ(store->GetString(RegistryRoot::Classes, key, ""), "Thing Class");
    EXPECT_EQ(store->GetString(RegistryRoot::Classes, key + "\\InprocServer32", ""),
              "/opt/lib/libThing.so");
    EXPECT_EQ(store->GetString(RegistryRoot::Classes, key + "\\InprocServer32", "ThreadingModel"),
              "Apartment");
    EXPECT_EQ(store->GetString(RegistryRoot::Classes, "Lib.Thing.1\\CLSID", ""),
              FormatGuid(kClass));
    EXPECT_TRUE(store->KeyExists(RegistryRoot::Classes,
                                 key + "\\Implemented Categories\\" + categories[0]));

    ASSERT_EQ(UnregisterComponentClass(info), S_OK);
    EXPECT_FALSE(store->KeyExists(RegistryRoot::Classes, key));
    EXPECT_FALSE(store->KeyExists(RegistryRoot::Classes, "Lib.Thing.1"));
}

TEST(ComponentRegistrationTest, ClassObjectOnlyForTheServedClass) {
    auto factory = MakeClassFactory([](const Guid&, void**) { return E_FAIL; });
    const Guid other = {1, 2, 3, {4, 5, 6, 7, 8, 9, 10, 11}};
    void* out = reinterpret_cast<void*>(1);
    EXPECT_EQ(GetComponentClassObject(kClass, factory.Get(), &other, &IClassFactory::kIid, &out),
              CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(GetComponentClassObject(kClass, factory.Get(), nullptr, &IClassFactory::kIid, &out),
              E_INVALIDARG);
    EXPECT_EQ(
        GetComponentClassObject(kClass, factory.Get(), &kClass, &IClassFactory::kIid, nullptr),
        E_POINTER);
    ASSERT_EQ(GetComponentClassObject(kClass, factory.Get(), &kClass, &IClassFactory::kIid, &out),
              S_OK);
    static_cast<IClassFactory*>(out)->Release();
    EXPECT_FALSE(ModulePathOf(reinterpret_cast<const void*>(&ModulePathOf)).empty());
}
