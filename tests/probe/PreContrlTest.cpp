#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <cstring>
#include <string>

#include "foundation/Registry.h"
#include "platform/Automation.h"
#include "platform/ComponentRegistration.h"
#include "platform/RegistryStore.h"
#include "probe/PreContrl.h"
#include "support/TempFolder.h"

using platform::RegistryRoot;
using platform::VARIANT;
using platform::VariantType;

namespace {

// Holds a probe that never made a window.
class ProbeTest : public ::testing::Test {
protected:
    ProbeTest() : probe_(platform::RefPtr<PreContrl>::Adopt(new PreContrl)) {}
    PreContrl& Probe() { return *probe_.Get(); }

    ScopedRegistry registry_;
    platform::RefPtr<PreContrl> probe_;
};

TEST_F(ProbeTest, BackgroundColourText) {
    struct Case {
        const char* text;
        double red, green, blue;
    };
    const Case cases[] = {
        {"#FF8000", 1.0, 128 / 255.0, 0.0},
        {"#ff8000", 1.0, 128 / 255.0, 0.0},
        // A character that is no hexadecimal digit counts as its code minus '0'.
        {"#G00000", ('G' - '0') * 16 / 255.0, 0.0, 0.0},
        {"#0a0B0c and more", 10 / 255.0, 11 / 255.0, 12 / 255.0},
    };
    for (const Case& c : cases) {
        platform::ScopedBstr text(c.text);
        EXPECT_EQ(Probe().SetBgColor(text.Get()), platform::S_OK);
        double r = -1, g = -1, b = -1;
        Probe().GetBackground(&r, &g, &b);
        EXPECT_NEAR(r, c.red, 1e-9) << c.text;
        EXPECT_NEAR(g, c.green, 1e-9) << c.text;
        EXPECT_NEAR(b, c.blue, 1e-9) << c.text;
    }

    // Texts without '#', or too short to hold three channels, change nothing.
    Probe().SetBackground("#102030");
    for (const char* text : {"FF8000", "", "#FF80", "#"}) {
        platform::ScopedBstr bstr(text);
        Probe().SetBgColor(bstr.Get());
        double r = 0, g = 0, b = 0;
        Probe().GetBackground(&r, &g, &b);
        EXPECT_NEAR(r, 16 / 255.0, 1e-9) << text;
        EXPECT_NEAR(b, 48 / 255.0, 1e-9) << text;
    }
    Probe().SetBgColor(nullptr);
    double r = 0, g = 0, b = 0;
    Probe().GetBackground(&r, &g, &b);
    EXPECT_NEAR(g, 32 / 255.0, 1e-9);
}

TEST_F(ProbeTest, ServerReplies) {
    struct Case {
        const char* reply;
        bool accepted;
        PreContrl::ServerSettings expected;
    };
    const Case cases[] = {
        {"T1 0 5 2 4 1 3 1024 2048 640 480", true, {{1, 0, 1}, {2, 4, 1, 3, 1024, 2048, 640, 480}}},
        // Numbers start after the first character, on blanks or line breaks.
        {" 0 1 0\r\n-1 -2 7 8 256 512 800 600\r\n",
         true,
         {{0, 1, 0}, {-1, -2, 7, 8, 256, 512, 800, 600}}},
        // Missing numbers are 0, numbers out of range are cut to 32 bits.
        {"x1 1", true, {{1, 1, 0}, {}}},
        {"x0 0 0 99999999999", true, {{0, 0, 0}, {INT32_MAX}}},
        {"x", true, {}},
        // Declined, or nothing at all.
        {"OF 1 1 1 1 1 1 1 1 1 1", false, {}},
        {"", false, {}},
    };
    for (const Case& c : cases) {
        PreContrl::ServerSettings got;
        got.flags[0] = got.values[7] = 55;
        EXPECT_EQ(PreContrl::ParseDefaultSettings(c.reply, &got), c.accepted) << c.reply;
        EXPECT_EQ(0, std::memcmp(got.flags, c.expected.flags, sizeof got.flags)) << c.reply;
        EXPECT_EQ(0, std::memcmp(got.values, c.expected.values, sizeof got.values)) << c.reply;
    }
}

TEST_F(ProbeTest, ExtensionFlagsByIndex) {
    Probe().openGL.extensions[3] = 1;
    Probe().openGL.extensions[14] = 1;
    struct Case {
        VARIANT index;
        bool supported;
    };
    VARIANT v;
    std::vector<Case> cases;
    auto add = [&](auto set, auto value, bool supported) {
        platform::InitVariant(&v);
        set(&v, value);
        cases.push_back({v, supported});
    };
    add(platform::SetVariantInt16, int16_t{3}, true);
    add(platform::SetVariantInt32, 14, true);
    add(platform::SetVariantInt32, 2, false);
    add(platform::SetVariantDouble, 3.0, true);
    add(platform::SetVariantUtf8, "14", true);
    // Outside the table, or no number: not supported, nothing read beyond the table.
    add(platform::SetVariantInt32, 15, false);
    add(platform::SetVariantInt32, -1, false);
    add(platform::SetVariantInt64, int64_t{1} << 40, false);
    add(platform::SetVariantDouble, 1e300, false);
    add(platform::SetVariantUtf8, "3x", false);
    for (Case& c : cases) {
        VARIANT answer;
        platform::InitVariant(&answer);
        EXPECT_EQ(Probe().get_IsExtensionSupported(c.index, &answer), platform::S_OK);
        EXPECT_EQ(answer.type, VariantType::Bool);
        EXPECT_EQ(answer.boolValue, c.supported) << &c - cases.data();
        platform::ClearVariant(&c.index);
    }
}

TEST_F(ProbeTest, GettersAnswerTheirKinds) {
    Probe().openGL.stencilBits = 8;
    Probe().openGL.depthBits = 24;
    Probe().maxViewportWidth = 16384;
    Probe().maxViewportHeight = 100000;  // beyond 16 bits: cut to the largest
    std::strcpy(Probe().renderer, "Card (X, 1)");
    std::strcpy(Probe().vendor, "Maker");

    const struct {
        const char* version;
        double number;
    } versions[] = {{"2.0.1", 2.0}, {"4.5 (Compatibility Profile) Mesa 22.3.6", 4.5}, {"", 0.0}};
    for (const auto& c : versions) {
        std::strcpy(Probe().version, c.version);
        VARIANT number;
        platform::InitVariant(&number);
        Probe().get_Version(&number);
        EXPECT_EQ(number.type, VariantType::Double);
        EXPECT_DOUBLE_EQ(number.doubleValue, c.number) << c.version;
    }

    VARIANT v;
    platform::InitVariant(&v);
    Probe().get_StencilBits(&v);
    EXPECT_EQ(v.type, VariantType::Int16);
    EXPECT_EQ(v.shortValue, 8);
    Probe().get_DepthBits(&v);
    EXPECT_EQ(v.shortValue, 24);
    Probe().get_MaximumWidth(&v);
    EXPECT_EQ(v.shortValue, 16384);
    Probe().get_MaximumHeight(&v);
    EXPECT_EQ(v.shortValue, INT16_MAX);
    Probe().get_Accelerated(&v);
    EXPECT_EQ(v.type, VariantType::Bool);
    EXPECT_FALSE(v.boolValue);
    Probe().get_MemorySize(&v);
    EXPECT_EQ(v.type, VariantType::Int32);
    EXPECT_GT(v.intValue, 0);

    platform::ScopedBstr text;
    Probe().get_RendererOrCard(text.OutParam());
    EXPECT_EQ(text.Utf8(), "Card (X, 1)");
    Probe().get_Vendor(text.OutParam());
    EXPECT_EQ(text.Utf8(), "Maker");

    int32_t ready = -1;
    Probe().get_isReadyForQuery(&ready);
    EXPECT_EQ(ready, 0) << "nothing drawn without a window";
}

// A host that set a locale with a decimal comma still reads the version with its point.
TEST_F(ProbeTest, VersionIsReadWithAPointWhateverTheHostsLocale) {
    TempFolder locales;
    const std::string make = "localedef -i de_DE -f UTF-8 " + locales.Path() +
                             "de_DE.UTF-8 >/dev/null 2>&1";
    if (std::system(make.c_str()) != 0) GTEST_SKIP() << "no German locale can be made here";
    ScopedEnv path("LOCPATH", locales.Path());
    ASSERT_NE(std::setlocale(LC_NUMERIC, "de_DE.UTF-8"), nullptr);
    ASSERT_STREQ(std::localeconv()->decimal_point, ",");
    for (const char* version : {"4.5 (Compatibility Profile) Mesa 22.3.6", "4,5"}) {
        std::strcpy(Probe().version, version);
        VARIANT number;
        platform::InitVariant(&number);
        Probe().get_Version(&number);
        EXPECT_DOUBLE_EQ(number.doubleValue, version[1] == '.' ? 4.5 : 4.0) << version;
    }
    std::setlocale(LC_NUMERIC, "C");
}

TEST_F(ProbeTest, DomainIsKeptAsGivenUpToItsBuffer) {
    EXPECT_EQ(Probe().Domain(), PreContrl::kDefaultDomain);
    platform::ScopedBstr domain("content.example:8080");
    Probe().SetDomain(domain.Get());
    EXPECT_EQ(Probe().Domain(), "content.example:8080");
    const std::string longer(400, 'a');
    Probe().SetDomainText(longer.c_str());
    EXPECT_EQ(Probe().Domain(), longer.substr(0, PreContrl::kDomainSize - 1));

    Probe().LoadProperties([](const char* name, std::string* value) {
        if (std::strcmp(name, "domain") == 0) *value = "saved.example";
        if (std::strcmp(name, "bgColor") == 0) *value = "#000000";
        return true;
    });
    EXPECT_EQ(Probe().Domain(), "saved.example");
    double r = 1, g = 1, b = 1;
    Probe().GetBackground(&r, &g, &b);
    EXPECT_EQ(r + g + b, 0.0);
    // Absent properties change nothing.
    Probe().LoadProperties([](const char*, std::string*) { return false; });
    EXPECT_EQ(Probe().Domain(), "saved.example");
}

TEST_F(ProbeTest, ClearKivoraRegistryRemovesTheWholeProductKey) {
    RegistrySetDouble("oglSettings\\", "depthBits", 24.0);
    RegistrySetString("", "UID", "42");
    EXPECT_EQ(Probe().ClearKivoraRegistry(), platform::S_OK);
    auto store = platform::RegistryStore::ForCurrentUser();
    EXPECT_FALSE(store->KeyExists(RegistryRoot::CurrentUser, "Software\\Kivora"));
    double value = 1.0;
    EXPECT_FALSE(RegistryGetDouble("oglSettings\\", "depthBits", &value));
}

TEST(ProbeComponentTest, RegistrationAndClassObject) {
    ScopedRegistry registry;
    auto store = platform::RegistryStore::ForCurrentUser();
    const std::string key = "CLSID\\" + platform::FormatGuid(PreContrl::kClassId);
    static int anchor;
    ASSERT_EQ(RegisterPreContrl(&anchor), platform::S_OK);
    const auto library = store->GetString(RegistryRoot::Classes, key + "\\InprocServer32", "");
    ASSERT_TRUE(library.has_value());
    EXPECT_FALSE(library->empty());
    EXPECT_EQ(store->GetString(RegistryRoot::Classes, key + "\\ProgID", ""), PreContrl::kProgId);
    EXPECT_TRUE(store->KeyExists(RegistryRoot::Classes, key + "\\Implemented Categories\\" +
                                                            platform::kCategorySafeForScripting));
    EXPECT_TRUE(store->KeyExists(
        RegistryRoot::Classes,
        key + "\\Implemented Categories\\" + platform::kCategorySafeForInitialising));
    ASSERT_EQ(UnregisterPreContrl(), platform::S_OK);
    EXPECT_FALSE(store->KeyExists(RegistryRoot::Classes, key));
    EXPECT_FALSE(store->KeyExists(RegistryRoot::Classes, PreContrl::kProgId));

    void* factory = nullptr;
    const platform::Guid other = {1, 2, 3, {4, 5, 6, 7, 8, 9, 10, 11}};
    EXPECT_EQ(GetPreContrlClassObject(&other, &platform::IClassFactory::kIid, &factory),
              platform::CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(factory, nullptr);
    ASSERT_EQ(
        GetPreContrlClassObject(&PreContrl::kClassId, &platform::IClassFactory::kIid, &factory),
        platform::S_OK);
    auto classFactory = platform::RefPtr<platform::IClassFactory>::Adopt(
        static_cast<platform::IClassFactory*>(factory));
    const int before = PreContrl::LiveObjects();
    void* made = nullptr;
    ASSERT_EQ(classFactory->CreateInstance(IPreContrl::kIid, &made), platform::S_OK);
    auto probe = platform::RefPtr<IPreContrl>::Adopt(static_cast<IPreContrl*>(made));
    EXPECT_EQ(PreContrl::LiveObjects(), before + 1);
    platform::RefPtr<platform::IWindowedObject> windowed;
    EXPECT_EQ(probe->QueryInterface(platform::IWindowedObject::kIid, windowed.OutParam()),
              platform::S_OK);
    windowed.Reset();
    probe.Reset();
    EXPECT_EQ(PreContrl::LiveObjects(), before);
}

}  // namespace
