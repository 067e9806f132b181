#include <gtest/gtest.h>

#include "platform/ComponentRegistration.h"

using namespace platform;

namespace {

constexpr Guid kClass = {0x0A1B2C3D, 0x1111, 0x2222, {3, 4, 5, 6, 7, 8, 9, 10}};

}  // namespace

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
}
