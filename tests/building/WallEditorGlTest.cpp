#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "building/Wall.h"
#include "building/WallEditor.h"
#include "control/Defaults.h"
#include "control/Duzazododiza.h"
#include "control/PlanFiles.h"
#include "foundation/Cabinet.h"
#include "foundation/KeyDataList.h"
#include "foundation/Transaction.h"
#include "platform/GLContext.h"
#include "platform/Input.h"
#include "platform/Messages.h"
#include "slabs/Floor.h"
#include "platform/Window.h"
#include "render/Window.h"
#include "support/TempFolder.h"
#include "support/TestControl.h"
#include "support/WallFixtures.h"

namespace {

constexpr int kWidth = 128;
constexpr int kHeight = 96;

// Every value of the walls of a saved plan as "path=value", object ids aside.
void Flatten(const KeyDataList& list, const std::string& path, std::vector<std::string>& out) {
    for (const BaseKeyDataElement* m = list.GetFirstMember(); m; m = m->GetNextMember()) {
        const std::string name = path + "/" + m->Name();
        if (!m->IsElement())
            Flatten(*static_cast<const KeyDataSublist*>(m)->GetChildren(), name, out);
        else if (m->Name() != "transactionObjectId")
            out.push_back(name + "=" + static_cast<const KeyDataElement*>(m)->Value());
    }
}

std::vector<std::string> WallStream(const std::string& planFile) {
    TempFolder unpacked;
    char member[kCabinetPathSize];
    std::vector<std::string> out;
    if (!DecompressCabinet(planFile.c_str(), unpacked.Path().c_str(), member)) return out;
    FILE* file = std::fopen(member, "rb");
    if (!file) return out;
    KeyDataList plan;
    const bool whole = ReadPlanStream(file, plan);
    std::fclose(file);
    if (!whole) return out;
    for (const BaseKeyDataElement* m = plan.GetFirstMember(); m; m = m->GetNextMember())
        if (!m->IsElement() && m->Name() == "Wall")
            Flatten(*static_cast<const KeyDataSublist*>(m)->GetChildren(), "/Wall", out);
    return out;
}

// Same paths, same values; numbers within the plan's six decimals.
void ExpectSameValues(const std::vector<std::string>& actual, const std::vector<std::string>& expected) {
    ASSERT_EQ(actual.size(), expected.size());
    for (size_t i = 0; i < actual.size(); ++i) {
        const size_t a = actual[i].find('='), e = expected[i].find('=');
        ASSERT_EQ(actual[i].substr(0, a), expected[i].substr(0, e));
        const std::string x = actual[i].substr(a + 1), y = expected[i].substr(e + 1);
        char* endX = nullptr;
        char* endY = nullptr;
        const double nx = std::strtod(x.c_str(), &endX), ny = std::strtod(y.c_str(), &endY);
        if (*endX == 0 && *endY == 0 && !x.empty())
            EXPECT_NEAR(nx, ny, 2e-6) << actual[i].substr(0, a);
        else
            EXPECT_EQ(x, y) << actual[i].substr(0, a);
    }
}

// A running control whose main view (128 x 96, OpenGL) shows the plan from above in the
// blueprint view, two units a pixel, with the editor's own mouse modes. Messages go
// through the control's window procedure. The current floor lies at 1.0, so walls are
// drawn standing on the ground.
class WallEditorGlTest : public ::testing::Test {
protected:
    WallEditorGlTest() : control(new CDuzazododiza) {
        control->contentDomain[0] = 0;
        SetFactoryDefaults(*control);
        control->initialised = 1;
        control->sceneRenderingEnabled = 1;
        control->waitScreenLevel = 0.0;
        control->globalState.SetBoolean(1, true);  // the drawn bars stay hidden
        control->globalState.SetBoolean(5, true);  // "Add floor when walls linked"
        control->floorState.SetDouble(4, 1.0);

        platform::PixelFormatRequest request;
        request.depthBits = 24;
        request.stencilBits = 8;
        const int format = platform::ChoosePixelFormat(request);
        drawable = platform::GLDrawable::CreateForWindow(kWidth, kHeight);
        if (format > 0 && drawable->SetPixelFormat(format)) context = platform::GLContext::Create(format);
        view.renderingContext = context.get();
        view.deviceContext = drawable.get();
        viewHandle = platform::CreateWindow(platform::WindowCreateInfo{});
        view.windowHandle = viewHandle;
        view.OnSize({0, 0, kWidth, kHeight});
        view.viewFlags.SetInteger(0, Window::kBlueprintView);
        view.camera.SetVector(0, Vector(0, 0, 0));
        view.camera.SetVector(1, Vector(90, 0, 0));
        view.camera.SetVector(2, Vector(128, 96, 0));
        control->mainWindow = control->activeWindow = &view;
        DrawFrame();
    }
    ~WallEditorGlTest() override {
        for (int key : {platform::VK_LBUTTON, platform::VK_SHIFT, platform::VK_CONTROL, platform::VK_MENU})
            platform::SetKeyState(key, false);
        MouseHandler::ClearModifierFlags();
        MouseHandler::ClearButtonFlags();
        control->scene.DeleteAll();
        control->deletedObjects.DeleteAll();
        control->mainWindow = control->activeWindow = control->currentWindow = nullptr;
        platform::GLContext::DetachCurrent();
        view.windowHandle = platform::kNoWindow;
        platform::DestroyWindow(viewHandle);
        control->Release();
    }

    void DrawFrame() {
        if (!context) return;
        control->LockRender();
        view.Activate();
        view.SetupProjection(0, 0);
        view.InitGLState();
        view.SetupModelView();
        view.CacheMatrices();
        control->UnlockRender();
    }
    void Mouse(uint32_t message, int px, int py) {
        control->WindowProc(platform::kNoWindow, message, 0, platform::MakeLParam(px, py));
    }
    // The pointer comes to the first point, presses, moves through the others and
    // releases at the last.
    void Stroke(const std::vector<std::pair<int, int>>& points) {
        Mouse(platform::WM_MOUSEMOVE, points.front().first, points.front().second);
        platform::SetKeyState(platform::VK_LBUTTON, true);
        Mouse(platform::WM_LBUTTONDOWN, points.front().first, points.front().second);
        for (size_t i = 1; i < points.size(); ++i)
            Mouse(platform::WM_MOUSEMOVE, points[i].first, points[i].second);
        platform::SetKeyState(platform::VK_LBUTTON, false);
        Mouse(platform::WM_LBUTTONUP, points.back().first, points.back().second);
    }
    // The ground point under a pixel.
    Vector Ground(int px, int py) const { return view.ScreenToHeightPlane(px, py, 0.0); }

    std::vector<Wall*> Walls() const {
        std::vector<Wall*> walls;
        for (LinkedListObject* node = control->scene.GetHead(); node; node = node->GetNext())
            if (auto* wall = dynamic_cast<Wall*>(node)) walls.push_back(wall);
        return walls;
    }
    int Floors() const {
        int floors = 0;
        for (LinkedListObject* node = control->scene.GetHead(); node; node = node->GetNext())
            if (dynamic_cast<Floor*>(node)) ++floors;
        return floors;
    }
    int UndoGroups() const {
        int groups = 0;
        for (auto* node = control->GetUndoList().UndoEntries().GetHead(); node; node = node->GetNext())
            if (auto* marker = dynamic_cast<TransactionMarker*>(node); marker && marker->IsStart()) ++groups;
        return groups;
    }
    int RedoEntries() const { return static_cast<int>(control->GetUndoList().RedoEntries().GetCount()); }
    WallEditor* Editor() const { return dynamic_cast<WallEditor*>(view.GetCurrentMode()); }

    ScopedRegistry registry;
    ScopedProgramFolder programFolder;
    TempFolder folder;
    CDuzazododiza* control;
    std::unique_ptr<platform::GLDrawable> drawable;
    std::unique_ptr<platform::GLContext> context;
    platform::WindowHandle viewHandle = platform::kNoWindow;
    Window view;
};

// The corners of the room, in pixels, in drawing order.
const std::pair<int, int> kCorners[4] = {{39, 28}, {89, 28}, {89, 68}, {39, 68}};

TEST_F(WallEditorGlTest, RoomOfFourStrokesClosesIntoALinkedLoop) {
    ASSERT_TRUE(context) << "no OpenGL";
    control->HandleCommand(401);  // Draw Wall > Exterior
    ASSERT_EQ(view.GetCurrentModeNumber(), 3);
    ASSERT_NE(Editor(), nullptr);
    ASSERT_TRUE(Editor()->IsEditLocked());

    for (int i = 0; i < 4; ++i) {
        const auto from = kCorners[i], to = kCorners[(i + 1) % 4];
        const std::pair<int, int> middle{(from.first + to.first) / 2, (from.second + to.second) / 2};
        Stroke({from, middle, to});
        EXPECT_EQ(control->GetUndoList().GroupDepth(), 0);
    }
    std::vector<Wall*> walls = Walls();
    ASSERT_EQ(walls.size(), 4u);
    // Each stroke is one undo group; closing the room gave it a floor.
    EXPECT_EQ(UndoGroups(), 4);
    EXPECT_EQ(Floors(), 1);
    for (int i = 0; i < 4; ++i) {
        Wall* next = walls[(i + 1) % 4];
        SCOPED_TRACE(i);
        EXPECT_EQ(walls[i]->GetLinkedEnd(), next);
        EXPECT_EQ(next->GetLinkedBegin(), walls[i]);
        ASSERT_NE(walls[i]->GetEndPoint(), nullptr);
        EXPECT_EQ(walls[i]->GetEndPoint(), next->GetBeginPoint());
        EXPECT_TRUE(walls[i]->IsInClosedLoop());
        // The corner lies where the stroke began (snapped to whole units), and the two
        // walls' faces meet there: mitred.
        const Vector corner = WallScene::Node(next, 0);
        const Vector pressed = Ground(kCorners[(i + 1) % 4].first, kCorners[(i + 1) % 4].second);
        EXPECT_LT(corner.HorizontalDistance(pressed), 3.0);
        EXPECT_NEAR(corner.y, 0.0, 1e-9);
        const int end = walls[i]->GetWallEndIndex();
        for (const Vector* mine : {walls[i]->GetFacePointsA(), walls[i]->GetFacePointsB()}) {
            double nearest = 1e9;
            for (const Vector* theirs : {next->GetFacePointsA(), next->GetFacePointsB()})
                nearest = std::fmin(nearest, mine[end].HorizontalDistance(theirs[0]));
            EXPECT_LT(nearest, 1e-6);
        }
    }
    // Straight sides in whole units.
    EXPECT_NEAR(WallScene::Node(walls[0], 0).z, WallScene::Node(walls[0], 1).z, 1e-9);
    EXPECT_NEAR(walls[0]->GetLength(), std::round(walls[0]->GetLength()), 1e-6);

    // Saved, opened again and saved once more: the same plan.
    char path[BaseControl::kPathSize];
    std::snprintf(path, sizeof path, "%sRoom.kvp", folder.Path().c_str());
    ASSERT_TRUE(control->WriteSceneGraphFile(path, sizeof path, false));
    const std::string first = path;
    const std::vector<std::string> saved = WallStream(first);
    ASSERT_FALSE(saved.empty());

    // Undo takes the room away stroke by stroke, redo brings it back whole.
    BaseControl& base = *control;
    EXPECT_TRUE(base.Undo());
    EXPECT_EQ(Floors(), 0);
    for (int i = 0; i < 3; ++i) EXPECT_TRUE(base.Undo());
    EXPECT_TRUE(Walls().empty());
    for (int i = 0; i < 4; ++i) EXPECT_TRUE(base.Redo());
    walls = Walls();
    ASSERT_EQ(walls.size(), 4u);
    EXPECT_EQ(Floors(), 1);
    for (Wall* wall : walls) EXPECT_TRUE(wall->IsInClosedLoop());

    control->scene.DeleteAll();
    control->LoadPlanFile(first.c_str(), false);
    walls = Walls();
    ASSERT_EQ(walls.size(), 4u);
    EXPECT_EQ(Floors(), 1);
    for (Wall* wall : walls) EXPECT_TRUE(wall->IsInClosedLoop());
    std::snprintf(path, sizeof path, "%sAgain.kvp", folder.Path().c_str());
    ASSERT_TRUE(control->WriteSceneGraphFile(path, sizeof path, false));
    ExpectSameValues(WallStream(path), saved);
}

TEST_F(WallEditorGlTest, StrokesThatLeaveNoWallLeaveNoUndoStep) {
    ASSERT_TRUE(context) << "no OpenGL";
    // Closer in: a quarter unit a pixel.
    view.camera.SetVector(2, Vector(16, 12, 0));
    DrawFrame();
    control->HandleCommand(402);
    // A click: no wall is started at all.
    Stroke({{60, 40}});
    EXPECT_TRUE(Walls().empty());
    // A free drag (Shift) that ends half a unit from its start: the wall made on the
    // first move is removed at the release, and its creation leaves no step.
    platform::SetKeyState(platform::VK_SHIFT, true);
    Stroke({{60, 40}, {72, 40}, {62, 40}});
    platform::SetKeyState(platform::VK_SHIFT, false);
    EXPECT_TRUE(Walls().empty());
    EXPECT_EQ(UndoGroups(), 0);
    EXPECT_EQ(RedoEntries(), 0);
    EXPECT_EQ(control->deletedObjects.GetCount(), 1u);
    // The editor draws on.
    Stroke({{60, 40}, {90, 40}});
    EXPECT_EQ(Walls().size(), 1u);
    EXPECT_EQ(UndoGroups(), 1);
    EXPECT_EQ(control->GetUndoList().GroupDepth(), 0);
}

TEST_F(WallEditorGlTest, LeftReleaseWithTheRightButtonDownStillClosesTheStroke) {
    ASSERT_TRUE(context) << "no OpenGL";
    control->HandleCommand(401);
    Mouse(platform::WM_MOUSEMOVE, 40, 40);
    platform::SetKeyState(platform::VK_LBUTTON, true);
    Mouse(platform::WM_LBUTTONDOWN, 40, 40);
    Mouse(platform::WM_MOUSEMOVE, 80, 40);
    platform::SetKeyState(platform::VK_RBUTTON, true);
    Mouse(platform::WM_RBUTTONDOWN, 80, 40);
    platform::SetKeyState(platform::VK_LBUTTON, false);
    Mouse(platform::WM_LBUTTONUP, 80, 40);
    platform::SetKeyState(platform::VK_RBUTTON, false);
    Mouse(platform::WM_RBUTTONUP, 80, 40);
    EXPECT_EQ(Walls().size(), 1u);
    EXPECT_EQ(control->GetUndoList().GroupDepth(), 0);
    EXPECT_EQ(UndoGroups(), 1);
    // The next stroke is a group of its own.
    Stroke({{40, 60}, {80, 60}});
    EXPECT_EQ(UndoGroups(), 2);
    EXPECT_EQ(control->GetUndoList().GroupDepth(), 0);
}

TEST_F(WallEditorGlTest, NewWallLinksToAFreeEndWithinReachUnlessShiftOrAlt) {
    ASSERT_TRUE(context) << "no OpenGL";
    struct Case {
        double gap;
        int key;
        bool links;
    };
    const Case cases[] = {
        {24.0, 0, true},
        {25.5, 0, false},
        {24.0, platform::VK_SHIFT, false},
        {24.0, platform::VK_MENU, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.gap) + " key " + std::to_string(c.key));
        control->HandleCommand(401);
        // An existing wall running away from the stroke's start, its begin `gap` away.
        const Vector start = Ground(40, 70);
        Wall* existing = MakeWall(Vector(start.x - c.gap - 60, 0, start.z), Vector(start.x - c.gap, 0, start.z));
        control->scene.Append(existing);
        if (c.key) platform::SetKeyState(c.key, true);
        Stroke({{40, 70}, {40, 50}, {40, 30}});
        if (c.key) platform::SetKeyState(c.key, false);
        std::vector<Wall*> walls = Walls();
        ASSERT_EQ(walls.size(), 2u);
        EXPECT_EQ(walls[1]->GetLinkedBegin() == existing, c.links);
        EXPECT_EQ(existing->GetLinkedEnd() == walls[1], c.links);
        control->scene.DeleteAll();
    }
}

TEST_F(WallEditorGlTest, ReleasedEndLinksToTheNearerEndOfAWallWithinReach) {
    ASSERT_TRUE(context) << "no OpenGL";
    // Which end of another wall the drawn end links to, by where that wall's begin and
    // end lie from the drawn end E (0: none).
    struct Case {
        const char* what;
        Vector begin, end;
        int fromPixel;
        int linkedEnd;
    };
    const Case cases[] = {
        {"begin nearer", Vector(0, 0, 10), Vector(0, 0, 40), 20, 1},
        {"end nearer", Vector(0, 0, -40), Vector(0, 0, -10), 20, 2},
        {"both as near", Vector(0, 0, 20), Vector(20, 0, 0), 20, 2},
        {"out of reach", Vector(0, 0, 25.5), Vector(0, 0, 60), 20, 0},
        {"short stroke", Vector(10, 0, 0), Vector(10, 0, 30), 50, 0},
    };
    const double thickness = control->wallState.GetDouble(9);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        control->HandleCommand(401);
        // A stroke along x from the pixel to pixel (60, 48): the end lands on E.
        const Vector e = Ground(60, 48);
        Wall* other = MakeWall(Vector(e.x + c.begin.x, 0, e.z + c.begin.z),
                               Vector(e.x + c.end.x, 0, e.z + c.end.z), 100.0, thickness);
        control->scene.Append(other);
        Stroke({{c.fromPixel, 48}, {(c.fromPixel + 60) / 2, 48}, {60, 48}});
        std::vector<Wall*> walls = Walls();
        ASSERT_EQ(walls.size(), 2u);
        Wall* drawn = walls[1];
        EXPECT_EQ(drawn->GetLinkedEnd() != nullptr, c.linkedEnd != 0);
        EXPECT_EQ(other->GetLinkedBegin() == drawn, c.linkedEnd == 1);
        EXPECT_EQ(other->GetLinkedEnd() == drawn, c.linkedEnd == 2);
        control->scene.DeleteAll();
    }
}

}  // namespace
