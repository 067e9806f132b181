#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "control/dialogs/LightPropertyDialog.h"
#include "foundation/KeyDataList.h"
#include "platform/MessageBox.h"
#include "render/Bitmap.h"
#include "render/LightSource.h"
#include "render/ShadowMap.h"
#include "support/TestControl.h"

namespace {

class LightSourceTest : public ::testing::Test {
protected:
    void TearDown() override {
        platform::SetMessageBoxResponder(nullptr);
        while (LinkedListObject* node = control.scene.PopHead()) delete node;
    }

    // A plan's "LightSource" keys with one kind sublist.
    static void PlanKeys(KeyDataList& keys, const char* kind) {
        KeyDataList* colour = keys.AddSublist("Color");
        colour->AddDouble("Red", 1.0);
        colour->AddDouble("Green", 0.5);
        colour->AddDouble("Blue", 0.25);
        keys.AddSublist(kind);
    }

    LightSource* AddLight(bool positional) {
        auto* light = new LightSource();
        light->position4[3] = positional ? 1.0f : 0.0f;
        control.scene.Append(light);
        return light;
    }

    TestControl control;
};

TEST_F(LightSourceTest, PlanLightsTakeTheirKindFromTheSublist) {
    control.globalState.SetDouble(11, 33.0);
    {
        // No "SpotAngle": the global default angle stays.
        KeyDataList keys;
        PlanKeys(keys, "Positional");
        KeyDataList* positional = keys.GetSublist("Positional");
        positional->AddDouble("DepthMapWidth", 512);
        positional->AddDouble("DepthMapHeight", 256);
        LightSource light;
        light.ReadKeyData(keys);
        EXPECT_TRUE(light.IsPositional());
        EXPECT_EQ(light.GetShadowValue(), 1.0);
        EXPECT_DOUBLE_EQ(light.state.GetDouble(0), 33.0);
        EXPECT_DOUBLE_EQ(light.state.GetDouble(1), 1.0);
        EXPECT_DOUBLE_EQ(light.state.GetDouble(3), 0.25);
        EXPECT_EQ(light.state.GetInteger(2), 512);
        EXPECT_EQ(light.state.GetInteger(3), 256);
        EXPECT_NE(light.bitmap, nullptr);
        EXPECT_EQ(light.GetBoundingBox().max.y, 14.37);
    }
    {
        // A directional light is grey whatever its colour says; its direction is its
        // position.
        KeyDataList keys;
        PlanKeys(keys, "Directional");
        Vector(0.0, 2.0, -3.0).WriteChild(*keys.GetSublist("Directional"), "Direction");
        LightSource light;
        light.ReadKeyData(keys);
        EXPECT_FALSE(light.IsPositional());
        for (int i = 1; i <= 3; ++i) EXPECT_DOUBLE_EQ(light.state.GetDouble(i), 0.3);
        EXPECT_FLOAT_EQ(light.position4[1], 2.0f);
        EXPECT_FLOAT_EQ(light.position4[2], -3.0f);
        EXPECT_EQ(light.bitmap, nullptr);
    }
}

TEST_F(LightSourceTest, WrittenLightReadsBackTheSame) {
    KeyDataList keys;
    PlanKeys(keys, "Positional");
    KeyDataList* positional = keys.GetSublist("Positional");
    positional->AddDouble("SpotAngle", 40.0);
    positional->AddDouble("SpotIntensity", 0.5);
    positional->AddDouble("LightBitmapFalloff", 20);
    positional->AddDouble("BitmapSize", 128);
    LightSource light;
    light.ReadKeyData(keys);
    light.SetPosition(Vector(10.0, 90.0, -20.0));
    light.RotateAboutAxis(1, 90.0);

    light.WriteKeyData();
    KeyDataSublist* element = light.TakeWrittenElement();
    ASSERT_NE(element, nullptr);
    EXPECT_STREQ(element->GetName(), "LightSource");
    KeyDataList& written = *element->GetChildren();
    // The bitmap size is read but never written.
    EXPECT_EQ(written.GetSublist("Positional")->FindByName("BitmapSize"), nullptr);
    EXPECT_EQ(written.GetSublist("Directional"), KeyDataList::SharedEmpty());

    LightSource copy;
    copy.ReadKeyData(written);
    EXPECT_TRUE(copy.IsPositional());
    EXPECT_DOUBLE_EQ(copy.state.GetDouble(0), 40.0);
    EXPECT_FLOAT_EQ(copy.spotIntensity, 0.5f);
    EXPECT_EQ(copy.state.GetInteger(1), 20);
    EXPECT_DOUBLE_EQ(copy.state.GetDouble(2), 0.5);
    EXPECT_FLOAT_EQ(copy.position4[1], 90.0f);
    for (int i = 0; i < 16; ++i)
        EXPECT_NEAR(copy.GetRotation().m[i], light.GetRotation().m[i], 1e-6);
    delete element;
}

TEST_F(LightSourceTest, DialogSizeChangesOnlyTheDepthMapWidth) {
    LightSource light;
    light.position4[3] = 1.0f;
    light.state.SetInteger(3, 300);
    LightPropertyDialog dialog(&light);
    dialog.size = 50;
    dialog.focus = 16;
    dialog.red = 1.0f;
    dialog.green = 0.0f;
    dialog.blue = 0.5f;
    dialog.shadowSize = 1024;
    light.OnDialogNotify(&dialog, 1);
    EXPECT_DOUBLE_EQ(light.state.GetDouble(0), 50.0);
    EXPECT_EQ(light.state.GetInteger(1), 16);
    EXPECT_DOUBLE_EQ(light.state.GetDouble(3), 0.5);
    EXPECT_EQ(light.state.GetInteger(2), 1024);
    EXPECT_EQ(light.state.GetInteger(3), 300);
}

TEST_F(LightSourceTest, DeletingTheMainOrTheLastSpotLightAsksFirst) {
    std::vector<std::string> captions;
    platform::MessageAnswer answer = platform::MessageAnswer::No;
    platform::SetMessageBoxResponder([&](const platform::MessageBoxRequest& box) {
        captions.push_back(box.caption);
        if (box.caption == "Delete Last Light?")
            EXPECT_NE(box.text.find("\"Turn Off Lights and Shadows\""), std::string::npos);
        return answer;
    });
    LightSource* sun = AddLight(false);
    LightSource* spot = AddLight(true);

    EXPECT_FALSE(sun->RemoveFromList(control.scene));
    EXPECT_FALSE(spot->RemoveFromList(control.scene));
    EXPECT_EQ(captions, (std::vector<std::string>{"Delete Ambient?", "Delete Last Light?"}));
    EXPECT_EQ(control.scene.GetCount(), 2);

    // With a second spot light nobody is asked.
    LightSource* other = AddLight(true);
    captions.clear();
    EXPECT_TRUE(spot->RemoveFromList(control.scene));
    delete spot;
    EXPECT_TRUE(captions.empty());

    answer = platform::MessageAnswer::Yes;
    EXPECT_TRUE(other->RemoveFromList(control.scene));
    delete other;
    EXPECT_EQ(captions, (std::vector<std::string>{"Delete Last Light?"}));
}

TEST_F(LightSourceTest, MenuTogglesShadowsAndTheLightsOffSwitch) {
    LightSource light;
    const bool shadows = light.state.GetBoolean(0);
    EXPECT_FALSE(light.ProcessPropertyMenu(LightCommand::kToggleShadows));
    EXPECT_NE(light.state.GetBoolean(0), shadows);
    const bool off = control.globalState.GetBoolean(12);
    light.ProcessPropertyMenu(LightCommand::kLightsOff);
    EXPECT_NE(control.globalState.GetBoolean(12), off);
}

TEST_F(LightSourceTest, TurningAndMovingKeepTheOpenGLLightWithTheBox) {
    // A directional light turned about the vertical axis turns its direction.
    LightSource sun;
    sun.directionVector = Vector(1.0, -1.0, 0.0);
    sun.RotateAboutAxis(1, 90.0);
    EXPECT_NEAR(sun.position4[0], 0.0f, 1e-6);
    EXPECT_NEAR(sun.position4[1], -1.0f, 1e-6);
    EXPECT_NEAR(std::fabs(sun.position4[2]), 1.0f, 1e-6);
    // Moving the whole plan leaves the direction alone.
    sun.Translate(Vector(100.0, 0.0, 0.0));
    EXPECT_NEAR(sun.position4[0], 0.0f, 1e-6);

    // A spot light's light goes where its box goes.
    LightSource spot;
    spot.position4[3] = 1.0f;
    spot.SetPosition(Vector(5.0, 80.0, 5.0));
    spot.Translate(Vector(10.0, 0.0, -5.0));
    EXPECT_FLOAT_EQ(spot.position4[0], 15.0f);
    EXPECT_FLOAT_EQ(spot.position4[2], 0.0f);
    EXPECT_DOUBLE_EQ(spot.GetPosition().x, 15.0);
}

TEST_F(LightSourceTest, ProjectedTextureThatDoesNotLoadKeepsTheOldBitmap) {
    LightSource light;
    light.position4[3] = 1.0f;
    light.bitmap = new Bitmap();
    Bitmap* old = light.bitmap;
    light.SetProjectedTexture("/no/such/picture.png");
    EXPECT_EQ(light.bitmap, old);
    EXPECT_FALSE(light.hasProjectedTexture);
}

TEST_F(LightSourceTest, SpotFrustumBoundsTheLitVolume) {
    LightSource spot;
    spot.position4[3] = 1.0f;
    spot.state.SetInteger(2, 256);
    spot.state.SetInteger(3, 256);
    spot.state.SetDouble(0, 30.0);
    spot.SetPosition(Vector(0.0, 100.0, 0.0));
    spot.ComputeLightMatrices();
    spot.UpdateBounds();
    // Pointing down: the near corners lie just below the light, the far ones far below.
    for (int i = 0; i < 4; ++i) EXPECT_NEAR(spot.frustumCorners[i].y, 100.0 - spot.nearPlane, 1e-6);
    for (int i = 4; i < 8; ++i) EXPECT_NEAR(spot.frustumCorners[i].y, 100.0 - spot.farPlane, 1e-3);
}

TEST(ShadowMathTest, DepthMapSizeIsClampedToTheBuffer) {
    int width = 2048, height = 2048;
    ClampDepthMapSize(width, height, 1024, 1024);
    EXPECT_EQ(width, 1024);
    EXPECT_EQ(height, 1024);
    width = -5;
    height = 100;
    ClampDepthMapSize(width, height, 1024, 1024);
    EXPECT_EQ(width, 0);
    EXPECT_EQ(height, 100);
}

TEST(ShadowMathTest, DepthRangeComesFromTheNearestAndFarthestSample) {
    // Light at the origin looking down -z (identity modelview).
    const Matrix projection = PerspectiveMatrix(60.0, 1.0, 1.0, 5000.0);
    const Matrix identity;
    const int side = 4;
    // Every sample equal and very near: near and far come from the same sample, and a
    // near plane under 2 becomes 100.
    std::vector<uint16_t> samples(side * side, 0);
    DepthRange range = FitDepthRange(samples.data(), side, Vector(), identity.m, projection.m);
    EXPECT_DOUBLE_EQ(range.nearPlane, 100.0);
    EXPECT_NEAR(range.farPlane, 0.99, 1e-3);

    // The centre sample at distance 500 along the axis, another at 2000.
    auto depthAt = [&](double distance) {
        const double ndc = (5001.0 / 4999.0) - 2.0 * 5000.0 / (4999.0 * distance);
        return static_cast<uint16_t>(std::lround((ndc * 0.5 + 0.5) * 65535.0));
    };
    std::fill(samples.begin(), samples.end(), depthAt(1000.0));
    samples[side * side / 2 + side / 2] = depthAt(500.0);
    samples[0] = depthAt(2000.0);
    range = FitDepthRange(samples.data(), side, Vector(), identity.m, projection.m);
    EXPECT_NEAR(range.nearPlane, 0.99 * 500.0, 2.0);
    // 16-bit depth is coarse that far out: steps of about 60 units.
    EXPECT_NEAR(range.farPlane, 0.99 * 2000.0, 70.0);
}

TEST(ShadowMathTest, IdentityBiasGivesTheDepthSeenFromTheLight) {
    const Matrix bias = IdentityTextureBiasMatrix();
    for (double z : {-1.0, 0.0, 0.5, 1.0}) {
        Vector clip(0.3, -0.2, z * 2.0);
        clip.w = 2.0;
        Vector out;
        bias.TransformVector4(out, clip);
        EXPECT_NEAR(out.x / out.w, 0.5 * z + 0.5, 1e-12);
    }
}

}  // namespace
