#include <gtest/gtest.h>

#include <cmath>

#include "control/dialogs/LengthDialog.h"
#include "foundation/LinkedList.h"
#include "model/ShadowLight.h"
#include "model/StateObject.h"
#include "platform/Menu.h"
#include "platform/MessageBox.h"
#include "support/SceneFixtures.h"

namespace {

// Every test runs against one control with a fake view; objects are put in its scene
// so that the control's scene-wide operations reach them.
class SceneMixins : public ::testing::Test {
protected:
    void TearDown() override {
        platform::SetMessageBoxResponder(nullptr);
        Dialog::SetModalRunner(nullptr);
        platform::SetMenuChooser(nullptr);
    }

    TestItem* Add(uint64_t mask = TypeMask::kModelObject) {
        auto* item = new TestItem(mask);
        control.scene.Append(item);
        return item;
    }

    size_t QueueEntriesFor(TopLevelObject* object) {
        size_t n = 0;
        LinkedListIterator it(control.hiddenQueue);
        for (auto* node = it.First(); !it.IsDone(); node = it.Next())
            if (static_cast<HiddenQueueObject*>(node)->object == object) ++n;
        return n;
    }

    ScopedProgramFolder programFolder;
    SceneTestControl control;
};

std::string Describe(const platform::Menu& menu) {
    std::string out;
    for (size_t i = 0; i < menu.GetItemCount(); ++i) {
        const platform::MenuItem& item = menu.GetItem(i);
        if (item.separator) {
            out += "|-";
        } else if (item.submenu) {
            out += "|" + item.text + "[" + Describe(*item.submenu) + "]";
        } else {
            out += "|" + std::to_string(item.id) + (item.checked ? "*" : "");
        }
    }
    return out;
}

TEST_F(SceneMixins, MenuHoldsHideLockDimensionsAndRotateInOrder) {
    TestItem* item = Add();
    platform::Menu& menu = SelectableObject::CreateContextMenu();
    item->BuildPropertyMenu(menu);
    EXPECT_EQ(Describe(menu), "|100|101|-|2100|Rotate[|204*|203|205|-|200|201|-|202]");
    EXPECT_EQ(menu.FindItem(2100)->text, "Set Dimensions...");
    EXPECT_EQ(menu.FindItem(200)->text, "Rotate 90\xC2\xB0 CW");

    // Hidden, locked and another handle active: the marks follow.
    item->ProcessPropertyMenu(100);
    item->ProcessPropertyMenu(101);
    item->ProcessPropertyMenu(203);
    platform::Menu& again = SelectableObject::CreateContextMenu();
    item->BuildPropertyMenu(again);
    EXPECT_EQ(Describe(again), "|100*|101*|-|2100|Rotate[|204|203*|205|-|200|201|-|202]");
}

TEST_F(SceneMixins, MenuCommandsAreHandledByTheirMixin) {
    struct Case {
        uint32_t id;
        bool handled;
    };
    const Case cases[] = {{100, true},  {101, true},  {105, true}, {200, true}, {201, true},
                          {202, true},  {203, true},  {204, true}, {205, true}, {2100, true},
                          {102, false}, {206, false}, {0, false}};
    for (const Case& c : cases) {
        TestItem* item = Add();
        EXPECT_EQ(item->ProcessPropertyMenu(c.id), c.handled) << c.id;
    }
}

TEST_F(SceneMixins, SelectObjectLeavesOnlyThatObjectSelected) {
    TestItem* a = Add();
    TestItem* b = Add();
    a->SetSelected(true);
    EXPECT_TRUE(b->ProcessPropertyMenu(MenuCommand::kSelectObject));
    EXPECT_FALSE(a->IsSelected());
    EXPECT_TRUE(b->IsSelected());
}

TEST_F(SceneMixins, RotateCommandsTurnAboutTheVerticalAxis) {
    TestItem* item = Add();
    item->ProcessPropertyMenu(200);
    Vector x(1.0, 0.0, 0.0);
    item->GetRotation().RotateVector(x, x);
    EXPECT_NEAR(std::fabs(x.z), 1.0, 1e-9);

    item->ProcessPropertyMenu(200);
    Vector y(1.0, 0.0, 0.0);
    item->GetRotation().RotateVector(y, y);
    EXPECT_NEAR(y.x, -1.0, 1e-9);  // two quarter turns: a half turn

    item->ProcessPropertyMenu(201);
    item->ProcessPropertyMenu(201);
    for (int i = 0; i < 16; ++i) EXPECT_NEAR(item->GetRotation().m[i], Matrix().m[i], 1e-9);

    item->ProcessPropertyMenu(200);
    item->ProcessPropertyMenu(202);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(item->GetRotation().m[i], Matrix().m[i]);
}

TEST_F(SceneMixins, RotateTakesTheFirstNonZeroAngle) {
    TestItem a;
    a.Rotate(Vector(0.0, 30.0, 45.0));
    TestItem b;
    b.RotateAboutAxis(1, -30.0);
    for (int i = 0; i < 16; ++i) EXPECT_NEAR(a.GetRotation().m[i], b.GetRotation().m[i], 1e-12);
    EXPECT_EQ(a.GetHandle(2).owner, &a);
}

TEST_F(SceneMixins, HidingQueuesOneEntryAndShowingOrDestroyingRemovesIt) {
    TestItem* item = Add();
    item->ProcessPropertyMenu(MenuCommand::kHide);
    EXPECT_FALSE(item->IsVisible());
    EXPECT_EQ(QueueEntriesFor(item), 1u);

    // Hidden again after something else showed it: still one entry.
    item->SetVisible(true);
    item->ProcessPropertyMenu(MenuCommand::kHide);
    EXPECT_EQ(QueueEntriesFor(item), 1u);
    item->ProcessPropertyMenu(MenuCommand::kHide);
    EXPECT_TRUE(item->IsVisible());
    EXPECT_EQ(QueueEntriesFor(item), 0u);

    TestItem* other = Add();
    other->ProcessPropertyMenu(MenuCommand::kHide);
    EXPECT_EQ(control.hiddenQueue.GetCount(), 1u);
    control.scene.DeleteNode(other);
    EXPECT_EQ(control.hiddenQueue.GetCount(), 0u);
}

TEST_F(SceneMixins, LockToggles) {
    TestItem* item = Add();
    EXPECT_FALSE(item->IsLocked());
    item->ProcessPropertyMenu(MenuCommand::kLock);
    EXPECT_TRUE(item->IsLocked());
    item->ProcessPropertyMenu(MenuCommand::kLock);
    EXPECT_FALSE(item->IsLocked());
}

TEST_F(SceneMixins, ShownInViewByHiddenMaskModeAndHeightBand) {
    control.floorState.SetDouble(4, 101.0);  // band from 100 ...
    control.wallState.SetDouble(5, 100.0);   // ... to 200
    struct Case {
        const char* name;
        uint64_t hidden;
        int mode;
        bool allStoreys;
        double minY, maxY;
        bool shown;
    };
    const Case cases[] = {
        {"inside the band", 0, 0, false, 120, 150, true},
        {"type hidden", TypeBit::kModel, 0, true, 120, 150, false},
        {"other type hidden", TypeBit::kWall, 0, false, 120, 150, true},
        {"below the band", 0, 0, false, 0, 100, false},
        {"above the band", 0, 0, false, 200, 250, false},
        {"straddles the low edge", 0, 0, false, 90, 101, true},
        {"every storey shown", 0, 0, true, 0, 50, true},
        {"every storey, blueprint", 0, 1, true, 0, 50, false},
    };
    for (const Case& c : cases) {
        TestItem item;
        item.SetBox(0, c.minY, 0, 10, c.maxY, 10);
        control.view->renderState.SetInt64(0, c.hidden);
        control.view->renderState.SetInteger(0, c.mode);
        control.globalState.SetBoolean(6, c.allStoreys);
        EXPECT_EQ(item.IsShownInCurrentView(), c.shown) << c.name;
        EXPECT_EQ(item.WasShownInView(), c.shown) << c.name;
    }
}

TEST_F(SceneMixins, RebuildDisplayDataReevaluatesEveryObject) {
    TestItem* item = Add();
    item->SetBox(0, 0, 0, 10, 10, 10);
    control.view->renderState.SetInt64(0, TypeBit::kModel);
    EXPECT_TRUE(control.RebuildDisplayData());
    EXPECT_FALSE(item->WasShownInView());
}

TEST_F(SceneMixins, ViewFlagsKeepOneBitPerView) {
    TestItem item;
    control.view->viewId = 33;  // bit 1
    control.view->hitAnswer = true;
    item.UpdateWindowVisibility();
    EXPECT_EQ(item.GetFlags(), 0x2u);
    EXPECT_TRUE(item.IsVisibleInCurrentWindow());

    control.view->viewId = 2;
    control.view->hitAnswer = false;
    item.SetFlags(0xFF);
    item.UpdateWindowVisibility();
    EXPECT_EQ(item.GetFlags(), 0xFBu);
    item.SaveFlags();
    item.AndFlags(0x3);
    EXPECT_EQ(item.GetFlags(), 0x3u);
    item.RestoreFlags();
    EXPECT_EQ(item.GetFlags(), 0xFBu);

    control.withView = false;
    EXPECT_FALSE(item.IsVisibleInCurrentWindow());
}

TEST_F(SceneMixins, OffsetBecomesTheDisplacementSinceApplied) {
    TestItem item;
    item.SetBox(0, 0, 0, 10, 10, 10);
    item.RemoveOffset();  // nothing applied: nothing happens
    EXPECT_TRUE(item.GetOffset().Equals(Vector()));
    item.ApplyOffset();
    item.Translate(Vector(5, -2, 1));
    item.RemoveOffset();
    EXPECT_TRUE(item.GetOffset().Equals(Vector(5, -2, 1)));
    item.RemoveOffset();  // only once
    EXPECT_TRUE(item.GetOffset().Equals(Vector(5, -2, 1)));
}

TEST_F(SceneMixins, SectionPlaneStraddling) {
    TestItem item;
    item.SetBox(0, 0, 0, 10, 10, 10);
    control.view->sectionPlane.Set(0, 1, 0, -5);  // y = 5
    EXPECT_TRUE(item.StraddlesSectionPlane());
    control.view->sectionPlane.Set(0, 1, 0, -20);
    EXPECT_FALSE(item.StraddlesSectionPlane());
    control.view->sectionPlane.Set(0, 1, 0, -5);
    control.excludedObject = &item;
    EXPECT_FALSE(item.StraddlesSectionPlane());
    control.excludedObject = nullptr;
    control.view->viewId = 0;
    EXPECT_FALSE(item.StraddlesSectionPlane());
}

class FakeLight : public TestItem, public ShadowLight {
public:
    FakeLight(double shadow, bool overlaps)
        : TestItem(TypeMask::kLightSource), shadow(shadow), overlaps(overlaps) {}
    double GetShadowValue() const override { return shadow; }
    bool OverlapsObject(const RenderableObject&) const override { return overlaps; }
    void FlagForRebuild() override { flagged = true; }
    double shadow;
    bool overlaps;
    bool flagged = false;
};

TEST_F(SceneMixins, OverlappingShadowLightsAtTheSceneHeadAreFlagged) {
    auto* lit = new FakeLight(1.0, true);
    auto* elsewhere = new FakeLight(1.0, false);
    auto* noShadow = new FakeLight(0.5, true);
    control.scene.Append(lit);
    control.scene.Append(elsewhere);
    control.scene.Append(noShadow);
    TestItem* item = Add();
    auto* afterObjects = new FakeLight(1.0, true);
    control.scene.Append(afterObjects);

    item->FlagOverlappingLights();
    EXPECT_TRUE(lit->flagged);
    EXPECT_FALSE(elsewhere->flagged);
    EXPECT_FALSE(noShadow->flagged);
    EXPECT_FALSE(afterObjects->flagged);
    EXPECT_FALSE(control.RenderLock().IsHeldByCurrentThread());
}

TEST_F(SceneMixins, SetDimensionsSkipsEqualAndOutOfRangeValues) {
    struct Case {
        const char* name;
        double x, y, z;
        int refuse[3];
        int result;
        std::vector<std::string> calls;
    };
    const Case cases[] = {
        {"all equal", 10, 20, 30, {0, 0, 0}, 0, {}},
        {"all new, z x y", 11, 21, 31, {0, 0, 0}, 0, {"setz", "setx", "sety"}},
        {"height 1500 ignored", 10, 1500, 30, {0, 0, 0}, 0, {}},
        {"length 3000 ignored", 10, 20, 3000, {0, 0, 0}, 0, {}},
        {"negative allowed", -5, 20, 30, {0, 0, 0}, 0, {"setx"}},
        {"refused z stops", 11, 21, 31, {0, 0, -2}, -2, {"setz"}},
        {"refused y answered", 11, 21, 31, {0, -3, 0}, -3, {"setz", "setx", "sety"}},
    };
    for (const Case& c : cases) {
        TestItem item;
        std::copy(std::begin(c.refuse), std::end(c.refuse), item.refuse);
        EXPECT_EQ(item.SetDimensions(c.x, c.y, c.z), c.result) << c.name;
        EXPECT_EQ(item.calls, c.calls) << c.name;
    }
}

TEST_F(SceneMixins, DimensionsCommandRunsTheDialogInsideAnUndoStep) {
    TestItem* item = Add();
    item->refuse[1] = -1;  // the height is refused
    double shownLength = 0, shownWidth = 0, shownHeight = 0;
    bool lockHeld = true;
    Dialog::SetModalRunner([&](Dialog& dialog) {
        auto& sizes = dynamic_cast<LenWidHgtDialog&>(dialog);
        shownLength = sizes.GetLength();
        shownWidth = sizes.GetWidth();
        shownHeight = sizes.GetHeight();
        lockHeld = control.RenderLock().IsHeldByCurrentThread();
        sizes.SetValues(40.0, 50.0, 60.0);  // length, width, height
        return sizes.Apply() == 1 ? Dialog::kOk : 0;
    });
    std::vector<platform::MessageBoxRequest> boxes;
    platform::SetMessageBoxResponder([&](const platform::MessageBoxRequest& box) {
        boxes.push_back(box);
        return platform::MessageAnswer::Ok;
    });

    control.LockRender();
    EXPECT_TRUE(item->ProcessPropertyMenu(MenuCommand::kSetDimensions));
    EXPECT_TRUE(control.RenderLock().IsHeldByCurrentThread());
    control.UnlockRender();

    EXPECT_FALSE(lockHeld);
    EXPECT_EQ(shownLength, 30.0);
    EXPECT_EQ(shownWidth, 10.0);
    EXPECT_EQ(shownHeight, 20.0);
    EXPECT_EQ(item->size[2], 40.0);
    EXPECT_EQ(item->size[0], 50.0);
    EXPECT_EQ(item->size[1], 20.0);
    EXPECT_EQ(item->calls.front(), "begin");
    EXPECT_EQ(item->calls.back(), "end");
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Unable to resize to specified dimensions.");
    EXPECT_EQ(boxes[0].caption, "Invalid Dimensions");
    EXPECT_EQ(boxes[0].icon, platform::MessageIcon::Warning);
}

TEST_F(SceneMixins, DismissedDimensionsDialogChangesNothing) {
    TestItem* item = Add();
    EXPECT_TRUE(item->ProcessPropertyMenu(MenuCommand::kSetDimensions));
    EXPECT_EQ(item->calls, (std::vector<std::string>{"begin", "end"}));
}

class TestStateObject : public StateObject {
public:
    void ApplyState() override {}
    BaseParameterState* GetState() override { return nullptr; }
    uint64_t GetStateTypeMask() const override { return 0; }
};

TEST_F(SceneMixins, DestroyedStateObjectIsNoLongerTheCurrentOne) {
    auto* state = new TestStateObject;
    TestStateObject other;
    control.currentStateObject = state;
    delete state;
    EXPECT_EQ(control.currentStateObject, nullptr);
    control.currentStateObject = &other;
    { TestStateObject unrelated; }
    EXPECT_EQ(control.currentStateObject, &other);
    control.currentStateObject = nullptr;
}

TEST_F(SceneMixins, PopupMenusAreTrackedWithoutTheRenderLock) {
    platform::Menu menu;
    menu.AppendItem(7, "Seven");
    bool lockHeld = true;
    platform::SetMenuChooser([&](const platform::Menu&) {
        lockHeld = control.RenderLock().IsHeldByCurrentThread();
        return 7u;
    });
    control.LockRender();
    control.LockRender();
    EXPECT_EQ(control.TrackPopupMenu(menu), 7u);
    EXPECT_FALSE(lockHeld);
    EXPECT_EQ(control.ReleaseRenderLockFully(), 2);
}

}  // namespace
