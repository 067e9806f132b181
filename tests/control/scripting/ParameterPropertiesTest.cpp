#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "control/Duzazododiza.h"
#include "render/Window.h"
#include "support/TempFolder.h"
#include "support/TestControl.h"

namespace {

using platform::BSTR;
using platform::ScopedBstr;

constexpr int32_t kView = 0;
constexpr int32_t kMenuTarget = 5;
constexpr int32_t kGlobal = 6;

class ParameterPropertiesTest : public ::testing::Test {
protected:
    void SetUp() override {
        control = new CDuzazododiza;
        control->activeWindow = &window;
    }
    void TearDown() override {
        control->activeWindow = nullptr;
        control->Release();
    }

    ScopedRegistry registry;
    ScopedProgramFolder folder;
    Window window{[](int) { return nullptr; }};
    CDuzazododiza* control = nullptr;
};

// A type that names no state leaves every out-value as the caller had it and changes
// nothing on a put, whichever typed property is used.
TEST_F(ParameterPropertiesTest, TypeWithoutStateLeavesOutValuesAndStates) {
    for (int32_t type : {-1, 11, 99, kMenuTarget}) {
        SCOPED_TRACE(type);
        int16_t flag = 7;
        double number = 3.5;
        BSTR text = reinterpret_cast<BSTR>(0x1);
        EXPECT_EQ(control->get_booleanParameter(type, 0, &flag), platform::S_OK);
        EXPECT_EQ(control->get_doubleParameter(type, 0, &number), platform::S_OK);
        EXPECT_EQ(control->get_integerParameter(type, 0, &number), platform::S_OK);
        EXPECT_EQ(control->get_vectorParameter(type, 0, 0, &number), platform::S_OK);
        EXPECT_EQ(control->get_stringParameter(type, 0, &text), platform::S_OK);
        EXPECT_EQ(control->get_int64Parameter(type, 0, &text), platform::S_OK);
        EXPECT_EQ(flag, 7);
        EXPECT_EQ(number, 3.5);
        EXPECT_EQ(text, reinterpret_cast<BSTR>(0x1));
        EXPECT_EQ(control->put_booleanParameter(type, 0, 1), platform::S_OK);
        EXPECT_EQ(control->ToggleBooleanParameter(type, 0), platform::S_OK);
    }
    // The view's state needs an active window.
    control->activeWindow = nullptr;
    double number = 3.5;
    control->get_integerParameter(kView, 0, &number);
    EXPECT_EQ(number, 3.5);
    EXPECT_EQ(control->GetParameterState(kGlobal), &control->globalState);
}

// Numbers from the page become integers only when they are finite and fit; a refused
// one keeps the slot. The cases run in order on GlobalState integer 7.
TEST_F(ParameterPropertiesTest, IntegerPutTruncatesAndRefusesWhatDoesNotFit) {
    struct Case {
        double put;
        double expected;
    };
    const Case cases[] = {
        {2.9, 2},   {std::nan(""), 2}, {1e20, 2}, {-std::numeric_limits<double>::infinity(), 2},
        {40.0, 40}, {-3.0, 40},  // the slot itself takes only positive values
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.put);
        control->put_integerParameter(kGlobal, 7, c.put);
        double value = 0;
        control->get_integerParameter(kGlobal, 7, &value);
        EXPECT_EQ(value, c.expected);
    }
}

// Unsigned 64-bit texts: empty gives 0, the largest value is all ones, anything else
// that is not a decimal number that fits is refused.
TEST_F(ParameterPropertiesTest, Int64TextsFromThePage) {
    struct Case {
        const char* put;  // null: a null text
        const char* expected;
    };
    const Case cases[] = {
        {"18446744073709551615", "18446744073709551615"},
        {"18446744073709551616", "18446744073709551615"},
        {"-1", "18446744073709551615"},
        {"12abc", "18446744073709551615"},
        {"", "0"},
        {"4194304", "4194304"},
        {nullptr, "0"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.put ? c.put : "(null)");
        ScopedBstr text(c.put ? platform::BstrFromUtf8(c.put) : nullptr);
        control->put_int64Parameter(kView, 1, text.Get());
        ScopedBstr out;
        control->get_int64Parameter(kView, 1, out.OutParam());
        EXPECT_EQ(out.Utf8(), c.expected);
    }
    EXPECT_EQ(window.viewFlags.GetInt64(1), 0u);
}

TEST_F(ParameterPropertiesTest, VectorElementsOutsideZeroToThreeAreRefused) {
    control->globalState.SetVector(0, Vector(1, 2, 3));
    control->put_vectorParameter(kGlobal, 0, 2, 9.0);
    const Vector v = control->globalState.GetVector(0);
    EXPECT_EQ(v.x, 1);
    EXPECT_EQ(v.y, 2);
    EXPECT_EQ(v.z, 9);
    EXPECT_EQ(v.w, 1);

    for (int32_t element : {-1, 4, 1 << 30}) {
        SCOPED_TRACE(element);
        control->put_vectorParameter(kGlobal, 0, element, 5.0);
        double out = -7.0;
        control->get_vectorParameter(kGlobal, 0, element, &out);
        EXPECT_EQ(out, -7.0);
    }
    control->put_vectorParameter(kGlobal, 0, 0, std::nan(""));
    double out = 0;
    control->get_vectorParameter(kGlobal, 0, 0, &out);
    EXPECT_EQ(out, 1.0);
    control->get_vectorParameter(kGlobal, 0, 3, &out);
    EXPECT_EQ(out, 1.0);
}

TEST_F(ParameterPropertiesTest, StringsBooleansAndDoublesRoundTrip) {
    ScopedBstr address("plans/é.kvp");
    control->put_stringParameter(kGlobal, 3, address.Get());
    ScopedBstr out;
    control->get_stringParameter(kGlobal, 3, out.OutParam());
    EXPECT_EQ(out.Utf8(), "plans/é.kvp");
    control->put_stringParameter(kGlobal, 3, nullptr);
    EXPECT_EQ(control->globalState.GetString(3), "");

    // Over-long text is cut to the slot's length.
    const std::string longText(600, 'a');
    ScopedBstr longBstr(longText.c_str());
    control->put_stringParameter(kGlobal, 3, longBstr.Get());
    EXPECT_EQ(control->globalState.GetString(3).size(), 511u);

    control->put_booleanParameter(kGlobal, 24, 0);
    control->ToggleBooleanParameter(kGlobal, 24);
    int16_t flag = 0;
    control->get_booleanParameter(kGlobal, 24, &flag);
    EXPECT_EQ(flag, 1);

    control->put_doubleParameter(kGlobal, 15, 45.0);
    control->put_doubleParameter(kGlobal, 15, std::numeric_limits<double>::infinity());
    double angle = 0;
    control->get_doubleParameter(kGlobal, 15, &angle);
    EXPECT_EQ(angle, 45.0);
}

TEST_F(ParameterPropertiesTest, RegistryValuesUnderWebKeys) {
    ScopedBstr name("shownTips");
    int32_t value = 5;
    control->get_registryValue(name.Get(), &value);
    EXPECT_EQ(value, 0);
    control->put_registryValue(name.Get(), -12);
    control->get_registryValue(name.Get(), &value);
    EXPECT_EQ(value, -12);
    double stored = 0;
    EXPECT_TRUE(BaseControl::RegistryReadDouble("webKeys", "shownTips", &stored));
    EXPECT_EQ(stored, -12.0);

    // A stored number that is no 32-bit integer reads as 0.
    BaseControl::RegistryWriteDouble("webKeys", "huge", 1e12);
    ScopedBstr huge("huge");
    control->get_registryValue(huge.Get(), &value);
    EXPECT_EQ(value, 0);
}

TEST_F(ParameterPropertiesTest, ToolbarDimensionsPlaceEveryToolbar) {
    window.width = 800;
    window.height = 600;
    ASSERT_NE(window.toolbar, nullptr);
    Toolbar& toolbar = *window.toolbar;
    control->windowList->Append(&window);
    control->SetToolbarDimensions(296, 24);
    EXPECT_EQ(control->globalState.GetInteger(2), 296);
    EXPECT_EQ(control->globalState.GetInteger(3), 24);
    EXPECT_EQ(toolbar.x, 800 - 296 - 10);
    EXPECT_EQ(toolbar.width, 296);
    EXPECT_EQ(toolbar.height, 24);
    // A narrow window keeps the toolbar 210 pixels from the left.
    window.width = 300;
    control->SetToolbarDimensions(296, 24);
    EXPECT_EQ(toolbar.x, 210);
    // Negative sizes from the page change nothing.
    control->SetToolbarDimensions(-5, 24);
    EXPECT_EQ(control->globalState.GetInteger(2), 296);
    control->windowList->Remove(&window);
}

}  // namespace
