#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "control/Defaults.h"
#include "foundation/Registry.h"
#include "support/TempFolder.h"
#include "support/TestControl.h"
#include "support/TraceLogTail.h"

namespace {

class DefaultsTest : public ::testing::Test {
protected:
    std::string Domain() const { return control.GetContentDomain(); }

    ScopedRegistry registry;
    ScopedProgramFolder folder;
    TestControl control;
};

TEST_F(DefaultsTest, FirstStartGetsFactoryValues) {
    SetFactoryDefaults(control);
    EXPECT_EQ(control.wallState.GetDouble(5), 108.0);
    EXPECT_EQ(control.roofState.GetDouble(4), -1.0);  // a marker no setter takes
    EXPECT_EQ(control.globalState.GetDouble(12), -1.0);
    EXPECT_EQ(control.floorState.GetDouble(4), 0.0);
    EXPECT_EQ(control.globalState.GetInteger(7), 1);
    EXPECT_FALSE(control.globalState.GetBoolean(7));
    EXPECT_TRUE(control.wallState.GetBoolean(8));
    EXPECT_EQ(control.globalState.GetDouble(4), control.globalState.GetDouble(17));
    EXPECT_EQ(control.fenceState.GetString(9),
              Domain() + "/3d/fences/wrghtiron/ovation/ovation60.3c_");
    EXPECT_EQ(control.globalState.GetString(4),
              Domain() + "/textures/plastics/whiteplasticmat.3c_");
    EXPECT_EQ(control.globalState.GetString(0), "Untitled");
    EXPECT_EQ(theTextDefaults().fontName, "Arial");

    // The warning about a slow machine is kept for a first run only.
    EXPECT_TRUE(control.lowFrameRateWarningEnabled);
    double returnUser = 0.0;
    EXPECT_TRUE(RegistryGetDouble("", "returnUser", &returnUser));
    EXPECT_EQ(returnUser, 1.0);
    SetFactoryDefaults(control);
    EXPECT_FALSE(control.lowFrameRateWarningEnabled);
}

TEST_F(DefaultsTest, StoredValuesComeBackButSkyColoursAndUnsavedStatesDoNot) {
    SetFactoryDefaults(control);
    control.wallState.SetDouble(5, 96.0);
    control.globalState.SetBoolean(7, true);
    control.globalState.SetVector(0, Vector(0.1, 0.2, 0.3));
    control.fenceState.SetString(0, "changed.3c_");
    control.coveringState.SetDouble(0, 0.5);
    theTextDefaults().fontName = "Serif";
    SaveDefaults(control);

    SetFactoryDefaults(control);
    EXPECT_EQ(control.wallState.GetDouble(5), 96.0);
    EXPECT_TRUE(control.globalState.GetBoolean(7));
    EXPECT_EQ(theTextDefaults().fontName, "Serif");
    const Vector top = control.globalState.GetVector(0);
    EXPECT_DOUBLE_EQ(top.x, 0.514);
    EXPECT_DOUBLE_EQ(top.y, 0.776);
    // Fence and covering defaults are never stored, so the factory values return...
    EXPECT_NE(control.fenceState.GetString(0), "changed.3c_");
    EXPECT_EQ(control.coveringState.GetDouble(0), 1.0);
    // ...but a fence value that is in the registry is read.
    control.fenceState.SetString(0, "kept.3c_");
    control.fenceState.SaveToRegistry();
    SetFactoryDefaults(control);
    EXPECT_EQ(control.fenceState.GetString(0), "kept.3c_");
    theTextDefaults() = TextDefaults();
}

TEST_F(DefaultsTest, ResetForgetsStoredValuesAndKeepsTheToolbarSize) {
    SetFactoryDefaults(control);
    control.wallState.SetDouble(5, 96.0);
    SaveDefaults(control);
    ASSERT_TRUE(RegistrySetString("Recent Files\\", "File1", "/plans/a.kvp"));
    control.globalState.SetInteger(2, 296);
    control.globalState.SetInteger(3, 24);
    control.globalState.SetInteger(5, 512);

    ResetToDefaults(control);
    EXPECT_EQ(control.wallState.GetDouble(5), 108.0);
    EXPECT_EQ(control.globalState.GetInteger(2), 296);
    EXPECT_EQ(control.globalState.GetInteger(3), 24);
    EXPECT_EQ(control.globalState.GetInteger(8), 1024);
    EXPECT_EQ(control.globalState.GetDouble(7), control.globalState.GetDouble(20));
    char file[64] = "";
    EXPECT_FALSE(RegistryGetString("Recent Files\\", "File1", file, sizeof file));
    double stored = 0.0;
    EXPECT_FALSE(RegistryGetDouble("defaults\\wall\\", "double 5", &stored));
}

TEST_F(DefaultsTest, ProbeSettings) {
    SetFactoryDefaults(control);
    GlobalState& g = control.globalState;
    const int32_t depth = g.GetInteger(8);
    const double factor = g.GetDouble(17);
    {
        TraceLogTail log;
        EXPECT_FALSE(ReadProbeSettings(control));
        EXPECT_EQ(g.GetInteger(8), depth);
        EXPECT_EQ(g.GetDouble(17), factor);
        const std::string text = log.Text();
        const size_t first = text.find("Reading gearscout settings failed");
        ASSERT_NE(first, std::string::npos);
        EXPECT_EQ(text.find("Reading gearscout settings failed", first + 1), std::string::npos);
    }

    const char folder[] = "oglSettings\\";
    RegistrySetDouble(folder, "dynamicShadow", 0.0);
    RegistrySetDouble(folder, "sglPass", 1.0);
    RegistrySetDouble(folder, "maxDepth", 700.0);  // rounds to 512
    RegistrySetDouble(folder, "maxHeight", 1e12);  // clamped to 4096
    RegistrySetDouble(folder, "depthFactor", 2.0);
    RegistrySetDouble(folder, "depthUnits", 4.0);
    RegistrySetDouble(folder, "offsetFactor", 1.5);
    RegistrySetDouble(folder, "offsetUnits", -2.0);
    EXPECT_TRUE(ReadProbeSettings(control));
    EXPECT_FALSE(g.GetBoolean(13));
    EXPECT_TRUE(g.GetBoolean(10));
    EXPECT_EQ(g.GetInteger(8), 512);
    EXPECT_EQ(g.GetInteger(9), 4096);
    EXPECT_EQ(g.GetDouble(20), -2.0);

    // Sides that are not numbers, or tiny, are not taken as they are.
    RegistrySetDouble(folder, "maxDepth", std::nan(""));
    RegistrySetDouble(folder, "maxHeight", -5.0);
    EXPECT_FALSE(ReadProbeSettings(control));
    EXPECT_EQ(g.GetInteger(8), 512);
    EXPECT_EQ(g.GetInteger(9), 16);
}

}  // namespace
