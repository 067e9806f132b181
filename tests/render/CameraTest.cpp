#include <GL/glu.h>
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <vector>

#include "interaction/MouseHandler.h"
#include "render/Window.h"
#include "support/CameraMath.h"
#include "support/TestControl.h"
#include "support/TraceLogTail.h"

using camera_math::EyeSpace;
using camera_math::kRadians;

namespace {

void ExpectNear(const Vector& actual, const Vector& expected, double tolerance = 1e-9) {
    EXPECT_NEAR(actual.x, expected.x, tolerance);
    EXPECT_NEAR(actual.y, expected.y, tolerance);
    EXPECT_NEAR(actual.z, expected.z, tolerance);
}

// A scene object as the fit sees it: its type mask and its points.
struct StubObject : LinkedListObject {
    StubObject(uint64_t mask, std::vector<Vector> points, std::vector<Vector> wallPoints = {})
        : mask(mask), points(std::move(points)), wallPoints(std::move(wallPoints)) {}
    uint64_t mask;
    std::vector<Vector> points;  // outline points, or the eight box corners
    std::vector<Vector> wallPoints;
};

struct StubReader : FitPointReader {
    uint64_t TypeMask(const LinkedListObject& o) const override {
        return static_cast<const StubObject&>(o).mask;
    }
    void OutlinePoints(const LinkedListObject& o, std::vector<Vector>& out) const override {
        const auto& points = static_cast<const StubObject&>(o).points;
        out.insert(out.end(), points.begin(), points.end());
    }
    void WallFitPoints(const LinkedListObject& o, Vector out[2]) const override {
        const auto& points = static_cast<const StubObject&>(o).wallPoints;
        out[0] = points.at(0);
        out[1] = points.at(1);
    }
    void BoxCorners(const LinkedListObject& o, Vector out[8]) const override {
        const auto& points = static_cast<const StubObject&>(o).points;
        for (int i = 0; i < 8; ++i) out[i] = points.at(i);
    }
};

constexpr uint64_t kFloorMask = 0x81;
constexpr uint64_t kWallMask = 0x41;
constexpr uint64_t kModelMask = 0xC;
constexpr uint64_t kLightMask = 0x40000C;

std::vector<Vector> Box(const Vector& low, const Vector& high) {
    std::vector<Vector> corners;
    for (int i = 0; i < 8; ++i)
        corners.emplace_back(i & 1 ? high.x : low.x, i & 2 ? high.y : low.y,
                             i & 4 ? high.z : low.z);
    return corners;
}

std::vector<Vector> Rectangle(double x0, double z0, double x1, double z1, double y = 0.0) {
    return {Vector(x0, y, z0), Vector(x1, y, z0), Vector(x1, y, z1), Vector(x0, y, z1)};
}

// A mode that answers a fixed plan point for stepping into the view.
struct PickingMode : MouseHandler {
    bool PickTarget(Vector& point, int, int) override {
        if (!hit) return false;
        point = target;
        return true;
    }
    bool hit = true;
    Vector target;
};

class CameraTest : public ::testing::Test {
protected:
    CameraTest()
        : window([this](int n) -> MouseHandler* {
              if (n == 12) return picker = new PickingMode;
              return new MouseHandler;
          }) {
        window.OnSize({0, 0, 800, 600});
        control.mainWindow = &window;
        SetFitPointReader(&reader);
    }
    ~CameraTest() override {
        SetFitPointReader(nullptr);
        control.mainWindow = nullptr;
        control.scene.DeleteAll();
    }

    void Add(StubObject* object) { control.scene.Append(object); }
    Vector Offset() const { return window.camera.GetVector(0); }
    Vector Rotation() const { return window.camera.GetVector(1); }
    Vector Zoom() const { return window.camera.GetVector(2); }
    void SetMode(int mode) { ASSERT_TRUE(window.SetViewMode(mode)); }

    ScopedProgramFolder programFolder;
    TestControl control;
    StubReader reader;
    PickingMode* picker = nullptr;
    Window window;
};

TEST_F(CameraTest, ViewModeSwitchKeepsACameraPerModeAndRederivesTheZoomHeight) {
    window.InitCameraPresets();
    const Vector perspectiveOffset = Offset();
    SetMode(Window::kBlueprintView);
    ExpectNear(Offset(), Vector(0, -400, 0));
    ExpectNear(Rotation(), Vector(90, -90, 0));
    EXPECT_DOUBLE_EQ(Zoom().y, Zoom().x / window.aspect);
    window.MoveCamera(Vector(10, 0, 0));

    SetMode(Window::kPerspectiveView);
    ExpectNear(Offset(), perspectiveOffset);
    SetMode(Window::kBlueprintView);
    ExpectNear(Offset(), Vector(10, -400, 0));
    EXPECT_EQ(window.viewUndoStack.GetCount(), 3u);
}

TEST_F(CameraTest, ViewModeOutsideTheTableIsRefusedAndAStoredOneCountsAsIdentity) {
    for (int mode : {-1, 3, 5, 100}) {
        TraceLogTail trace;
        EXPECT_FALSE(window.SetViewMode(mode)) << mode;
        EXPECT_TRUE(trace.Contains("View mode out of range")) << mode;
    }
    EXPECT_EQ(window.viewUndoStack.GetCount(), 0u);

    // A plan may carry any number; it never indexes past the stored cameras.
    window.viewFlags.BaseParameterState::SetInteger(0, 77);
    EXPECT_EQ(window.GetViewMode(), Window::kIdentityView);
    EXPECT_FALSE(window.IsOrthographicView());
    window.InitCameraPresets();
    window.ApplyCameraPreset(5);
    SetMode(Window::kElevationView);
    EXPECT_EQ(window.viewFlags.GetInteger(0), Window::kElevationView);
}

TEST_F(CameraTest, PresetsByModeKeepThePitchAndAreStoredForTheMode) {
    window.InitCameraPresets();
    ExpectNear(Offset(), Vector(-350, -400, 225));
    ExpectNear(Rotation(), Vector(38, 595, 0));

    struct Case {
        int n;
        Vector offset, rotation;
    };
    const Case cases[] = {{0, Vector(0, -400, -700), Vector(38, 0, 0)},
                          {1, Vector(0, -400, 700), Vector(38, 180, 0)},
                          {2, Vector(700, -400, 0), Vector(38, 90, 0)},
                          {3, Vector(-700, -400, 0), Vector(38, -90, 0)},
                          {4, Vector(-700, -520, 0), Vector(90, -90, 0)},
                          {5, Vector(-350, -400, 225), Vector(38, 595, 0)}};
    for (const Case& c : cases) {
        window.ApplyCameraPreset(c.n);
        ExpectNear(Offset(), c.offset);
        ExpectNear(Rotation(), c.rotation);
        ExpectNear(window.storedCameras[0].GetVector(0), c.offset);
    }
    // The start view ignores the scene.
    Add(new StubObject(kFloorMask, Rectangle(0, 0, 100, 100)));
    window.ApplyCameraPreset(5);
    ExpectNear(Offset(), Vector(-350, -400, 225));
    window.ApplyCameraPreset(9);
    ExpectNear(Offset(), Vector(-350, -400, 225));
}

TEST_F(CameraTest, OrthographicPresetsTurnOnlyAndElevationGoesToBlueprintFromAbove) {
    window.InitCameraPresets();
    SetMode(Window::kElevationView);
    window.ApplyCameraPreset(2);
    ExpectNear(Offset(), Vector(0, 20, 0));
    ExpectNear(Rotation(), Vector(0, 90, 0));

    window.ApplyCameraPreset(4);
    EXPECT_EQ(window.GetViewMode(), Window::kBlueprintView);
    ExpectNear(Offset(), Vector(0, -400, 0));
    ExpectNear(window.storedCameras[Window::kElevationView].GetVector(1), Vector(0, 90, 0));

    // An empty plan: fit nothing and fall back to the mode's start camera.
    window.MoveCamera(Vector(5, 5, 5));
    window.ApplyCameraPreset(5);
    ExpectNear(Offset(), Vector(0, -400, 0));
    ExpectNear(Rotation(), Vector(90, -90, 0));
}

TEST_F(CameraTest, OrthographicZoomIsRefusedAsAWholeAtTenOrLess) {
    SetMode(Window::kElevationView);
    window.camera.SetVector(2, Vector(40, 30, 0));  // aspect 4/3
    window.camera.SetVector(0, Vector(0, 0, 0));
    struct Case {
        double d;
        bool taken;
    };
    // -30 takes x to 10 exactly; -27 keeps x at 13 but takes y to 9.75.
    for (const Case& c : {Case{-30, false}, Case{-27, false}, Case{-26, true}}) {
        const Vector before = Zoom();
        EXPECT_EQ(window.ZoomBy(c.d), c.taken) << c.d;
        if (c.taken) {
            ExpectNear(Zoom(), Vector(before.x + c.d, before.y + c.d * 0.75, 0));
            EXPECT_DOUBLE_EQ(Offset().y, c.d * 0.75);
        } else {
            ExpectNear(Zoom(), before);
            EXPECT_DOUBLE_EQ(Offset().y, 0.0);
        }
    }
}

TEST_F(CameraTest, PerspectiveMovesFollowTheViewDirection) {
    window.camera.SetVector(1, Vector(38, 595, 0));
    const Vector back = [&] {
        Vector v(0, 0, 1);
        v.RotateAboutAxisIndex(-38 * kRadians, 0);
        v.RotateAboutAxisIndex(-595 * kRadians, 1);
        return v;
    }();
    auto eye = [&] {
        Vector e = Offset();
        e.Scale(-1);
        return e;
    };

    Vector start = eye();
    EXPECT_TRUE(window.ZoomBy(25));
    Vector moved = eye();
    moved.Subtract(start);
    ExpectNear(moved, Vector(25 * back.x, 25 * back.y, 25 * back.z));

    // Forward goes along the view on the ground; strafing goes across it.
    start = eye();
    window.MoveCameraForward(10);
    moved = eye();
    moved.Subtract(start);
    const double ground = std::hypot(back.x, back.z);
    ExpectNear(moved, Vector(-10 * back.x / ground, 0, -10 * back.z / ground));
    start = eye();
    window.StrafeCamera(10);
    moved = eye();
    moved.Subtract(start);
    EXPECT_NEAR(moved.x * back.x + moved.z * back.z, 0.0, 1e-9);
    EXPECT_NEAR(moved.Length(), 10.0, 1e-9);
}

TEST_F(CameraTest, FitPointsComeFromWallsFloorsRoofsAndModelsOnly) {
    Add(new StubObject(kWallMask, Rectangle(0, 0, 10, 1), {Vector(1, 2, 3), Vector(4, 5, 6)}));
    Add(new StubObject(kModelMask, Box(Vector(0, 0, 0), Vector(1, 1, 1))));
    Add(new StubObject(kLightMask, Box(Vector(0, 0, 0), Vector(1, 1, 1))));
    Add(new StubObject(0x800000, {Vector(9, 9, 9)}));  // a dimension: not part of the plan
    EXPECT_EQ(window.CollectFitPoints().size(), 12u);
    SetMode(Window::kBlueprintView);
    const std::vector<Vector> points = window.CollectFitPoints();
    ASSERT_EQ(points.size(), 14u);
    ExpectNear(points[4], Vector(1, 2, 3));

    // A fit type that is neither a slab nor a catalogue model is reported and skipped.
    Add(new StubObject(0x100, {Vector(9, 9, 9)}));
    TraceLogTail trace;
    EXPECT_EQ(window.CollectFitPoints().size(), 14u);
    EXPECT_TRUE(trace.Contains("This object type is not supported by ZIZ"));
}

TEST_F(CameraTest, EmptySceneFitsNothingAndLeavesNoViewChange) {
    window.InitCameraPresets();
    Add(new StubObject(kLightMask, Box(Vector(0, 0, 0), Vector(1, 1, 1))));
    const Vector before = Offset();
    EXPECT_FALSE(window.ZoomToExtents());
    ExpectNear(Offset(), before);
    EXPECT_EQ(window.pendingViewTransaction, nullptr);
    EXPECT_EQ(window.viewUndoStack.GetCount(), 0u);
}

TEST_F(CameraTest, BlueprintFitCentresThePlanAndFramesItsLongerSide) {
    window.InitCameraPresets();
    SetMode(Window::kBlueprintView);
    Add(new StubObject(kFloorMask, Rectangle(0, 0, 400, 300)));
    Add(new StubObject(kModelMask, Box(Vector(100, 0, 100), Vector(120, 80, 130))));
    const uint32_t undoBefore = window.viewUndoStack.GetCount();
    ASSERT_TRUE(window.ZoomToExtents());
    EXPECT_EQ(window.viewUndoStack.GetCount(), undoBefore + 1);

    // The plan's 400 runs up the screen (x); scaled by the aspect it is the wider side.
    EXPECT_DOUBLE_EQ(Zoom().x, (400 * window.aspect + 56) / 2);
    EXPECT_DOUBLE_EQ(Zoom().y, Zoom().x / window.aspect);
    const Vector centre = EyeSpace(window, Vector(200, 0, 150));
    EXPECT_NEAR(centre.x, 0.0, 1e-9);
    EXPECT_NEAR(centre.y, 0.0, 1e-9);
    for (const Vector& corner : Rectangle(0, 0, 400, 300)) {
        const Vector q = EyeSpace(window, corner);
        EXPECT_LE(std::fabs(q.x), Zoom().x);
        EXPECT_LE(std::fabs(q.y), Zoom().y);
    }
}

TEST_F(CameraTest, ElevationFitStandsThePlanTwentyAboveTheBottomEdge) {
    window.InitCameraPresets();
    SetMode(Window::kElevationView);
    const auto house = Box(Vector(-50, 10, -20), Vector(250, 130, 40));
    Add(new StubObject(kModelMask, house));
    ASSERT_TRUE(window.ZoomToExtents());
    double lowest = DBL_MAX;
    for (const Vector& corner : house) {
        const Vector q = EyeSpace(window, corner);
        lowest = std::min(lowest, q.y);
        EXPECT_LE(std::fabs(q.x), Zoom().x);
        EXPECT_LE(q.y, 2 * Zoom().y);
    }
    EXPECT_NEAR(lowest, 20.0, 1e-9);
}

TEST_F(CameraTest, PerspectiveFitShowsEveryPointWithSixtyToSpare) {
    const auto house = Box(Vector(-150, 0, -90), Vector(420, 260, 310));
    Add(new StubObject(kModelMask, house));
    Add(new StubObject(kFloorMask, Rectangle(-300, -200, 100, 20, 5)));
    std::vector<Vector> all = house;
    for (const Vector& p : Rectangle(-300, -200, 100, 20, 5)) all.push_back(p);

    struct Case {
        double pitch, yaw;
        uint32_t w, h;
    };
    for (const Case& c : {Case{38, 595, 800, 600}, Case{10, 0, 800, 600}, Case{60, -30, 300, 700},
                          Case{-20, 170, 1200, 400}}) {
        SCOPED_TRACE(testing::Message() << c.pitch << " " << c.yaw << " " << c.w << "x" << c.h);
        window.OnSize({0, 0, static_cast<int>(c.w), static_cast<int>(c.h)});
        window.camera.SetVector(1, Vector(c.pitch, c.yaw, 0));
        ASSERT_TRUE(window.ZoomToExtents());
        ExpectNear(Rotation(), Vector(c.pitch, c.yaw, 0));

        const double vh = (50.0 - 5.0) / 2 * kRadians;
        const double hh = vh * c.w / (c.h - 56.0);
        // Inside the narrowed frustum, and touching it once the eye comes 60 nearer.
        double tightest = 0.0;
        Vector back(0, 0, 1);
        back.RotateAboutAxisIndex(-c.pitch * kRadians, 0);
        back.RotateAboutAxisIndex(-c.yaw * kRadians, 1);
        for (const Vector& p : all) {
            const Vector q = EyeSpace(window, p);
            ASSERT_LT(q.z, 0.0);
            EXPECT_LE(std::fabs(q.x), std::tan(hh) * -q.z + 1e-9);
            EXPECT_LE(std::fabs(q.y), std::tan(vh) * -q.z + 1e-9);
            const double nearer = -q.z - 60.0;
            tightest = std::max({tightest, std::fabs(q.x) / (std::tan(hh) * nearer),
                                 std::fabs(q.y) / (std::tan(vh) * nearer)});
        }
        EXPECT_NEAR(tightest, 1.0, 1e-9);
    }
}

TEST_F(CameraTest, PerspectiveFitNeedsMoreThanFiftySixPixelsOfHeight) {
    Add(new StubObject(kFloorMask, Rectangle(0, 0, 100, 100)));
    for (int h : {0, 56}) {
        window.OnSize({0, 0, 800, h});
        const Vector before = Offset();
        EXPECT_FALSE(window.ZoomToExtents()) << h;
        ExpectNear(Offset(), before);
    }
    window.OnSize({0, 0, 800, 57});
    EXPECT_TRUE(window.ZoomToExtents());
}

TEST_F(CameraTest, ScreenPointsRoundTripThroughTheCachedMatrices) {
    struct Case {
        int mode;
        Vector rotation, offset;
    };
    for (const Case& c :
         {Case{Window::kPerspectiveView, Vector(38, 595, 0), Vector(-350, -400, 225)},
          Case{Window::kBlueprintView, Vector(90, -90, 0), Vector(0, -400, 0)},
          Case{Window::kOverheadView, Vector(70, 20, 0), Vector(30, -350, 10)}}) {
        SCOPED_TRACE(c.mode);
        window.viewFlags.SetInteger(0, c.mode);
        window.camera.SetVector(0, c.offset);
        window.camera.SetVector(1, c.rotation);
        camera_math::CacheFromCamera(window);
        GLint viewport[4] = {0, 0, 800, 600};
        for (const Vector& p : {Vector(0, 0, 0), Vector(120, 35, -80), Vector(-60, 100, 40)}) {
            double wx, wy, wz;
            ASSERT_TRUE(gluProject(p.x, p.y, p.z, window.modelViewCache.get(),
                                   window.projectionCache.get(), viewport, &wx, &wy, &wz));
            const double sx = wx, sy = 600 - wy - 1;
            ExpectNear(window.ScreenToHeightPlane(sx, sy, p.y), p, 1e-6);
            const Vector slope(0.3, 1, -0.2);
            ExpectNear(window.ScreenToPlane(sx, sy, p, slope), p, 1e-6);
        }
    }
}

TEST_F(CameraTest, RaysThatNeverMeetThePlaneAnswerNoIntersection) {
    // Elevation looks level: no ray through the view meets a horizontal plane.
    window.viewFlags.SetInteger(0, Window::kElevationView);
    window.camera.SetVector(2, Vector(200, 150, 0));
    camera_math::CacheFromCamera(window);
    EXPECT_TRUE(Window::IsNoIntersection(window.ScreenToHeightPlane(400, 300, 10)));
    EXPECT_TRUE(
        Window::IsNoIntersection(window.ScreenToPlane(400, 300, Vector(0, 0, 0), Vector(1, 0, 0))));
    EXPECT_FALSE(
        Window::IsNoIntersection(window.ScreenToPlane(400, 300, Vector(0, 0, 0), Vector(0, 0, 1))));
}

TEST_F(CameraTest, ViewCentreAxisPointsBackAtTheViewer) {
    window.camera.SetVector(1, Vector(38, 595, 0));
    camera_math::CacheFromCamera(window);
    Vector back(0, 0, 1);
    back.RotateAboutAxisIndex(-38 * kRadians, 0);
    back.RotateAboutAxisIndex(-595 * kRadians, 1);
    ExpectNear(window.UnprojectViewCenter(), back, 1e-9);
}

TEST_F(CameraTest, MarkerScaleGrowsWithDepthUpToFive) {
    window.camera.SetVector(0, Vector(0, 0, 0));
    window.camera.SetVector(1, Vector(0, 0, 0));
    camera_math::CacheFromCamera(window);
    EXPECT_DOUBLE_EQ(window.GetMarkerScale(Vector(3, 4, -10)), 0.8);
    EXPECT_DOUBLE_EQ(window.GetMarkerScale(Vector(0, 0, 10)), 0.8);
    EXPECT_DOUBLE_EQ(window.GetMarkerScale(Vector(0, 0, -1000)), 5.0);
    // Blueprint measures from the zoom's half width beyond the depth.
    window.viewFlags.SetInteger(0, Window::kBlueprintView);
    window.camera.SetVector(2, Vector(40, 30, 0));
    camera_math::CacheFromCamera(window);
    EXPECT_DOUBLE_EQ(window.GetMarkerScale(Vector(0, 0, -10)), 0.03 * 30 + 0.5);
}

TEST_F(CameraTest, HeightsAtOrAboveTheEyeDropToTheWallStepBelowIt) {
    control.floorState.SetDouble(9, 4.0);  // ground elevation
    control.wallState.SetDouble(5, 40.0);  // wall height
    window.camera.SetVector(0, Vector(0, -100, 0));
    window.camera.SetVector(1, Vector(30, 0, 0));
    camera_math::CacheFromCamera(window);

    double height = 50.0;
    EXPECT_FALSE(window.ClampHeightBelowEye(height));
    EXPECT_EQ(height, 50.0);
    height = 150.0;
    EXPECT_TRUE(window.ClampHeightBelowEye(height));
    EXPECT_NEAR(height, 84.0, 1e-6);

    // A wall height of 0 changes nothing.
    control.wallState.BaseParameterState::SetDouble(5, 0.0);
    height = 150.0;
    EXPECT_FALSE(window.ClampHeightBelowEye(height));
    EXPECT_EQ(height, 150.0);

    // Blueprint never clamps; the check reports and stops.
    control.wallState.SetDouble(5, 40.0);
    window.viewFlags.SetInteger(0, Window::kBlueprintView);
    window.camera.SetVector(2, Vector(40, 30, 0));
    camera_math::CacheFromCamera(window);
    TraceLogTail trace;
    height = 1e6;
    EXPECT_FALSE(window.ClampHeightBelowEye(height));
    EXPECT_EQ(height, 1e6);
    EXPECT_TRUE(trace.Contains("Shouldn't be here in blueprint mode"));
}

TEST_F(CameraTest, StepIntoViewPlacesTheEyeAtStandingHeight) {
    SetMode(Window::kBlueprintView);
    window.camera.SetVector(0, Vector(-10, -400, -20));
    control.floorState.SetDouble(4, 100.0);
    window.StepIntoViewAt(-1, 5);
    EXPECT_EQ(window.GetViewMode(), Window::kPerspectiveView);
    ExpectNear(Offset(), Vector(-10, -166, -20));
    EXPECT_DOUBLE_EQ(Rotation().x, 5.0);

    picker->target = Vector(30, 12, 40);
    window.StepIntoViewAt(200, 100);
    ExpectNear(Offset(), Vector(-30, -68, -40));

    picker->hit = false;
    window.StepIntoViewAt(200, 100);
    ExpectNear(Offset(), Vector(-30, -68, -40));
}

}  // namespace
