#include <gtest/gtest.h>

#include "control/Duzazododiza.h"
#include "platform/RegistryStore.h"
#include "render/Window.h"
#include "support/TempFolder.h"
#include "support/TestControl.h"

namespace {

using platform::RegistryRoot;

TEST(DuzazododizaTest, RegistrationWritesTheClassAndBothCategories) {
    ScopedRegistry registry;
    auto store = platform::RegistryStore::ForCurrentUser();
    const std::string key = "CLSID\\" + platform::FormatGuid(CDuzazododiza::kClassId);
    const std::string categories = key + "\\Implemented Categories\\";

    ASSERT_EQ(DllRegisterServer(), platform::S_OK);
    const auto library = store->GetString(RegistryRoot::Classes, key + "\\InprocServer32", "");
    ASSERT_TRUE(library.has_value());
    EXPECT_FALSE(library->empty());
    EXPECT_EQ(store->GetString(RegistryRoot::Classes, key + "\\ProgID", ""),
              "Roomwright.Duzazododiza.1");
    EXPECT_EQ(store->GetString(RegistryRoot::Classes, "Roomwright.Duzazododiza.1\\CLSID", ""),
              platform::FormatGuid(CDuzazododiza::kClassId));
    EXPECT_TRUE(store->KeyExists(RegistryRoot::Classes,
                                 categories + "{7DD95801-9882-11CF-9FA9-00AA006C42C4}"));
    EXPECT_TRUE(store->KeyExists(RegistryRoot::Classes,
                                 categories + "{7DD95802-9882-11CF-9FA9-00AA006C42C4}"));

    ASSERT_EQ(DllUnregisterServer(), platform::S_OK);
    EXPECT_FALSE(store->KeyExists(RegistryRoot::Classes, key));
    EXPECT_FALSE(store->KeyExists(RegistryRoot::Classes, "Roomwright.Duzazododiza.1"));
}

TEST(DuzazododizaTest, ClassObjectOnlyForTheControlsClass) {
    void* factory = nullptr;
    const platform::Guid other = {1, 2, 3, {4, 5, 6, 7, 8, 9, 10, 11}};
    EXPECT_EQ(DllGetClassObject(&other, &platform::IClassFactory::kIid, &factory),
              platform::CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(factory, nullptr);
    ASSERT_EQ(DllGetClassObject(&CDuzazododiza::kClassId, &platform::IClassFactory::kIid, &factory),
              platform::S_OK);
    static_cast<platform::IClassFactory*>(factory)->Release();
}

// A second control in the process is refused by the factory.
TEST(DuzazododizaTest, FactoryRefusesASecondControl) {
    ScopedRegistry registry;
    ScopedProgramFolder folder;
    auto factory = CDuzazododiza::MakeFactory();
    void* first = nullptr;
    void* second = nullptr;
    ASSERT_EQ(factory->CreateInstance(platform::IWindowedObject::kIid, &first), platform::S_OK);
    EXPECT_EQ(factory->CreateInstance(platform::IWindowedObject::kIid, &second), platform::E_FAIL);
    EXPECT_EQ(second, nullptr);
    static_cast<platform::IWindowedObject*>(first)->Release();
    EXPECT_EQ(theControl(), nullptr);
}

// Timers that find no active window, or a window without a mode, reach no handler; with
// a mode they do (the field-of-view timer settles the main view's field of view).
TEST(DuzazododizaTest, TimersReachOnlyTheActiveWindowsMode) {
    ScopedRegistry registry;
    ScopedProgramFolder folder;
    auto* control = new CDuzazododiza;
    Window bare([](int) { return nullptr; });
    bare.fieldOfView = 30.0;
    control->mainWindow = &bare;
    control->WindowProc(platform::kNoWindow, platform::WM_TIMER, 21, 0);
    EXPECT_EQ(bare.settledFieldOfView, 50.0) << "no active window";

    control->activeWindow = &bare;
    control->WindowProc(platform::kNoWindow, platform::WM_TIMER, 21, 0);
    EXPECT_EQ(bare.settledFieldOfView, 50.0) << "a window without a mode";

    Window view;
    view.fieldOfView = 30.0;
    control->mainWindow = control->activeWindow = &view;
    control->WindowProc(platform::kNoWindow, platform::WM_TIMER, 21, 0);
    EXPECT_EQ(view.settledFieldOfView, 30.0);
    control->mainWindow = control->activeWindow = nullptr;
    control->Release();
}

}  // namespace
