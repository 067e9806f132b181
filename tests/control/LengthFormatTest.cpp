#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "control/LengthFormat.h"
#include "foundation/GlobalState.h"
#include "render/Window.h"
#include "support/TestControl.h"

namespace {

struct FormatCase {
    double value;
    bool metric;
    bool fractions;
    bool area;
    int minFeet;
    const char* text;
};

TEST(LengthFormatTest, FormatsInBothUnitSystems) {
    const double inf = std::numeric_limits<double>::infinity();
    const FormatCase cases[] = {
        // Imperial lengths: feet and inches, inches only below minFeet.
        {30.0, false, false, false, 0, "2'6\""},
        {30.0, false, false, false, 3, "30\""},
        {11.6, false, false, false, 0, "1'0\""},
        {71.0, false, false, false, 6, "71\""},
        {72.0, false, false, false, 6, "6'0\""},
        {0.0, false, false, false, 0, "0\""},
        {-30.0, false, false, false, 0, "-30\""},
        // Fractions of an inch only when they are shown.
        {30.5, false, true, false, 0, "2'6-1/2\""},
        {30.125, false, true, false, 0, "2'6-1/8\""},
        {30.75, false, true, false, 0, "2'6-3/4\""},
        {6.5, false, true, false, 6, "6-1/2\""},
        {30.5, false, false, false, 0, "2'7\""},
        {30.004, false, true, false, 0, "2'6\""},
        {30.05, false, true, false, 0, "2'6\""},
        // Areas.
        {144.0, false, false, true, 0, "1.00 sq ft"},
        {1550.0031, true, false, true, 0, "1.00 sq m"},
        // Metric lengths, rounded once to the centimetre.
        {2.0, true, false, false, 0, "0.05"},
        {100.0, true, false, false, 0, "2.54"},
        {39.37007874, true, false, false, 0, "1.00"},
        // Values no integer holds, and non-finite ones, format without harm.
        {1e300 * 12.0, false, false, false, 0, nullptr},
        {inf, false, true, false, 0, "inf\""},
        {std::nan(""), true, false, false, 0, "nan"},
    };
    for (const FormatCase& c : cases) {
        GlobalState settings;
        settings.SetBoolean(7, c.metric);
        settings.SetBoolean(25, c.fractions);
        const std::string text = FormatLength(settings, c.value, c.area, c.minFeet);
        if (c.text)
            EXPECT_EQ(text, c.text) << c.value;
        else
            EXPECT_GT(text.size(), 300u) << text;
    }
}

TEST(LengthFormatTest, FractionsAndNumbers) {
    const std::pair<double, const char*> fractions[] = {
        {0.0, ""},       {0.1, ""},      {0.125, "-1/8"}, {0.25, "-1/4"}, {0.5, "-1/2"},
        {0.875, "-7/8"}, {0.99, "-7/8"}, {1.5, ""},       {-0.5, ""},
    };
    for (const auto& [fraction, text] : fractions)
        EXPECT_EQ(FormatInchFraction(fraction), text) << fraction;

    const std::pair<double, const char*> numbers[] = {
        {5.0, "5"}, {4.999995, "5"}, {-2.5, "-2.50"}, {76.2, "76.20"}, {-3.0, "-3"}, {0.0, "0"},
    };
    for (const auto& [value, text] : numbers) EXPECT_EQ(FormatNumber(value), text) << value;
}

TEST(LengthFormatTest, ParsesTypedLengths) {
    const std::pair<const char*, double> cases[] = {
        {nullptr, 0.0}, {"", 0.0},        {"30", 30.0},     {"5 1/2", 5.5}, {"-3.25", -3.25},
        {"3/4", 0.75},  {"6-1/2", 6.5},   {"-6-1/2", -6.5}, {"5 /2", 2.5},  {"5 / 2", 2.5},
        {"5 1 2", 5.5}, {"5 1 / 2", 5.5}, {"1/0", 0.0},     {"7 /0", 7.0},  {"12.", 12.0},
        {"  8 ", 8.0},  {"2.5 1/2", 2.5}, {"- 4", -4.0},    {"abc", 0.0},
    };
    for (const auto& [text, value] : cases)
        EXPECT_DOUBLE_EQ(ParseLength(text), value) << (text ? text : "(null)");

    EXPECT_EQ(ParseLength(std::string(300, '9').c_str()), 0.0);
}

// What the editor shows in inches reads back as the same length.
TEST(LengthFormatTest, ShownInchesReadBack) {
    GlobalState settings;
    settings.SetBoolean(25, true);
    for (double value : {0.5, 6.5, 6.125, 11.75, 30.0, 70.375}) {
        std::string text = FormatLength(settings, value, false, 1000);
        text.pop_back();  // the inch mark
        EXPECT_DOUBLE_EQ(ParseLength(text.c_str()), value) << text;
    }
}

TEST(LengthFormatTest, StatusBarShowsOneOrTwoLengths) {
    ScopedProgramFolder folder;
    TestControl control;
    Window window;
    control.activeWindow = &window;
    window.statusBar1.SetShown(false);

    ShowLengthInStatusBar("Length: ", -30.0, kNoSecondLength);
    EXPECT_TRUE(window.statusBar1.shown);
    EXPECT_STREQ(window.statusBar1.caption, "Length: 30\"");

    ShowLengthInStatusBar("Size: ", 80.0, -24.0);
    EXPECT_STREQ(window.statusBar1.caption, "Size: 6'8\" X 24\"");

    control.globalState.SetBoolean(7, true);
    ShowLengthInStatusBar("", 100.0, kNoSecondLength);
    EXPECT_STREQ(window.statusBar1.caption, "2.54");
    control.activeWindow = nullptr;
}

}  // namespace
