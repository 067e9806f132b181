#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "building/Wall.h"
#include "foundation/KeyDataList.h"
#include "geometry/ViewProjection.h"
#include "support/WallFixtures.h"

namespace {

// Looking straight down on the plan: pixel (px, py) of a 200 x 200 viewport lies over
// (px / 2, y, (199 - py) / 2).
ViewProjection TopView() {
    ViewProjection view;
    view.viewport[2] = 200;
    view.viewport[3] = 200;
    double m[16] = {};
    m[0] = 0.02;
    m[9] = 0.02;
    m[6] = -0.001;
    m[12] = -1.0;
    m[13] = -1.0;
    m[15] = 1.0;
    view.projection = Matrix(m);
    return view;
}

int PixelX(double x) {
    return static_cast<int>(std::lround(x * 2));
}
int PixelY(double z) {
    return 199 - static_cast<int>(std::lround(z * 2));
}

// The wall's element as text.
std::string Keys(Wall* wall) {
    wall->WriteKeyData();
    std::unique_ptr<KeyDataSublist> element(wall->TakeWrittenElement());
    std::string text;
    element->GetChildren()->WriteXML(text);
    return text;
}

void ExpectAt(const Vector& v, double x, double y, double z, double tolerance = 1e-9) {
    EXPECT_NEAR(v.x, x, tolerance);
    EXPECT_NEAR(v.y, y, tolerance);
    EXPECT_NEAR(v.z, z, tolerance);
}

class WallLinkTest : public ::testing::Test, public WallScene {
protected:
    // Three walls linked end to begin: along x, then along z, then back along x.
    std::vector<Wall*> Chain() {
        Wall* w1 = Add(Vector(0, 0, 0), Vector(100, 0, 0));
        Wall* w2 = Add(Vector(100, 0, 0), Vector(100, 0, 100));
        Wall* w3 = Add(Vector(100, 0, 100), Vector(0, 0, 100));
        EXPECT_TRUE(w1->LinkWith(w2, 2, 1));
        EXPECT_TRUE(w2->LinkWith(w3, 2, 1));
        return {w1, w2, w3};
    }
};

TEST_F(WallLinkTest, RefusedLinksLeaveBothWallsFree) {
    struct Case {
        const char* what;
        Vector otherFrom, otherTo;
        double otherThickness;
        int end, otherEnd;
        bool self, none, unlinkable;
    };
    const Case cases[] = {
        {"no other wall", {100, 0, 0}, {100, 0, 100}, 10.0, 2, 1, false, true, false},
        {"the wall itself", {100, 0, 0}, {100, 0, 100}, 10.0, 2, 1, true, false, false},
        {"end 0", {100, 0, 0}, {100, 0, 100}, 10.0, 0, 1, false, false, false},
        {"other end 3", {100, 0, 0}, {100, 0, 100}, 10.0, 2, 3, false, false, false},
        {"another thickness", {100, 0, 0}, {100, 0, 100}, 10.5, 2, 1, false, false, false},
        {"parallel", {100, 0, 0}, {200, 0, 0}, 10.0, 2, 1, false, false, false},
        {"not linkable", {100, 0, 0}, {100, 0, 100}, 10.0, 2, 1, false, false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        control.scene.DeleteAll();
        Wall* a = Add(Vector(0, 0, 0), Vector(100, 0, 0));
        Wall* b = Add(c.otherFrom, c.otherTo, 100.0, c.otherThickness);
        if (c.unlinkable) b->SetLinkable(false);
        Wall* other = c.none ? nullptr : (c.self ? a : b);
        EXPECT_FALSE(a->LinkWith(other, c.end, c.otherEnd));
        for (Wall* w : {a, b}) {
            EXPECT_EQ(w->GetLinkedBegin(), nullptr);
            EXPECT_EQ(w->GetLinkedEnd(), nullptr);
            EXPECT_EQ(w->GetChainHead(), w);
        }
    }
    // One wall at both ends of another: the second link is refused.
    control.scene.DeleteAll();
    Wall* a = Add(Vector(0, 0, 0), Vector(100, 0, 0));
    Wall* b = Add(Vector(100, 0, 0), Vector(100, 0, 100));
    ASSERT_TRUE(a->LinkWith(b, 2, 1));
    EXPECT_FALSE(a->LinkWith(b, 1, 2));
    EXPECT_EQ(a->GetLinkedBegin(), nullptr);
}

TEST_F(WallLinkTest, LinkedEndsMeetWhereTheBaseLinesCross) {
    Wall* a = Add(Vector(0, 0, 0), Vector(100, 0, 0));
    // Standing 5 higher, 50 high, its line crossing a's at 0.8.
    Wall* b = Add(Vector(80, 5, 30), Vector(80, 5, 130), 50.0);
    ASSERT_TRUE(a->LinkWith(b, 2, 1));
    ExpectAt(Node(a, a->GetWallEndIndex()), 80, 0, 0);
    ExpectAt(Node(a, a->GetWallEndIndex() + 1), 80, 100, 0);
    // b's begin takes a's base and a's end height.
    ExpectAt(Node(b, 0), 80, 0, 0);
    ExpectAt(Node(b, 3), 80, 100, 0);
    ExpectAt(Node(b, b->GetWallEndIndex()), 80, 5, 130);
    ASSERT_NE(a->GetEndPoint(), nullptr);
    EXPECT_EQ(a->GetEndPoint(), b->GetBeginPoint());
    EXPECT_DOUBLE_EQ(a->GetEndPoint()->height, 100.0);
    EXPECT_EQ(a->GetLinkedEnd(), b);
    EXPECT_EQ(b->GetLinkedBegin(), a);
    EXPECT_EQ(a->GetChainHead(), b->GetChainHead());
}

TEST_F(WallLinkTest, LinkThatWouldLeaveAWallInvalidIsTakenBack) {
    // b reaches 30 past a's line; a top node near its begin falls outside b once the begin
    // moves to the crossing.
    Wall* b = Add(Vector(80, 0, -30), Vector(80, 0, 100));
    ASSERT_NE(b->InsertPointAt(Vector(80, 100, -20)), nullptr);
    Wall* a = Add(Vector(0, 0, 0), Vector(80, 0, 0));
    const std::string keysA = Keys(a), keysB = Keys(b);
    EXPECT_FALSE(a->LinkWith(b, 2, 1));
    EXPECT_EQ(a->GetLinkedEnd(), nullptr);
    EXPECT_EQ(b->GetBeginPoint(), nullptr);
    EXPECT_EQ(Keys(a), keysA);
    EXPECT_EQ(Keys(b), keysB);
}

TEST_F(WallLinkTest, UnlinkingSplitsTheChainAndItsHead) {
    std::vector<Wall*> w = Chain();
    EXPECT_EQ(w[0]->GetChainHead(), w[1]->GetChainHead());
    EXPECT_EQ(w[1]->GetChainHead(), w[2]->GetChainHead());
    w[0]->Unlink(w[2], true);  // not linked: nothing
    EXPECT_EQ(w[1]->GetLinkedEnd(), w[2]);
    w[1]->Unlink(w[2], true);
    EXPECT_EQ(w[0]->GetChainHead(), w[1]->GetChainHead());
    EXPECT_EQ(w[2]->GetChainHead(), w[2]);
    EXPECT_EQ(w[1]->GetLinkedEnd(), nullptr);
    EXPECT_EQ(w[2]->GetLinkedBegin(), nullptr);
    EXPECT_EQ(w[2]->GetBeginPoint(), nullptr);
}

TEST_F(WallLinkTest, ClosedLoopKeepsOneHeadAndLosesAWallCleanly) {
    std::vector<Wall*> w = Chain();
    Wall* w4 = Add(Vector(0, 0, 100), Vector(0, 0, 0));
    ASSERT_TRUE(w[2]->LinkWith(w4, 2, 1));
    ASSERT_TRUE(w4->LinkWith(w[0], 2, 1));
    for (Wall* wall : {w[0], w[1], w[2], w4}) {
        EXPECT_EQ(wall->GetChainHead(), w[0]->GetChainHead());
        EXPECT_TRUE(wall->IsPositionValid());
    }
    EXPECT_EQ(w[0]->FindChainHead(w[0], w[0]->GetLinkedEnd()), w[0]);
    // Deleting a wall linked at both ends leaves its neighbours free there.
    w[1]->SetSelected(true);
    control.DeleteSelectedObjects();
    EXPECT_EQ(control.scene.GetCount(), 3u);
    EXPECT_EQ(w[0]->GetLinkedEnd(), nullptr);
    EXPECT_EQ(w[0]->GetEndPoint(), nullptr);
    EXPECT_EQ(w[2]->GetLinkedBegin(), nullptr);
    EXPECT_EQ(w[2]->GetBeginPoint(), nullptr);
    EXPECT_EQ(w[0]->GetChainHead(), w[2]->GetChainHead());
    EXPECT_EQ(w4->GetChainHead(), w[2]->GetChainHead());
}

TEST_F(WallLinkTest, ChainKeepsOneThickness) {
    std::vector<Wall*> w = Chain();
    EXPECT_EQ(w[0]->SetSizeX(6.0), 0);
    for (Wall* wall : w) EXPECT_EQ(wall->GetThickness(), 6.0);
    EXPECT_EQ(w[2]->SetSizeX(0.001), -1);
    EXPECT_EQ(w[1]->GetThickness(), 6.0);
}

TEST_F(WallLinkTest, LinkedWallMovesAcrossItselfInWholeUnits) {
    std::vector<Wall*> w = Chain();
    struct Case {
        Vector offset;
        bool constrained;
        double x;
    };
    double x = 100.0;
    for (const Case& c : {Case{{0.3, 0, 0}, false, 101.0}, Case{{0.05, 0, 0}, false, 101.0},
                          Case{{0, 5, 0}, false, 101.0}, Case{{-0.3, 0, 7}, true, 100.7}}) {
        w[1]->MoveSlabBy(c.offset.x, c.offset.y, c.offset.z, c.constrained);
        x = c.x;
        EXPECT_NEAR(Node(w[1], 0).x, x, 1e-9);
        EXPECT_NEAR(Node(w[1], 0).z, 0.0, 1e-9);
        EXPECT_NEAR(Node(w[1], w[1]->GetWallEndIndex()).z, 100.0, 1e-9);
        // The neighbours stretch to follow.
        EXPECT_NEAR(Node(w[0], w[0]->GetWallEndIndex()).x, x, 1e-9);
        EXPECT_NEAR(Node(w[2], 0).x, x, 1e-9);
        EXPECT_EQ(Node(w[1], 0).y, 0.0);
    }
}

TEST_F(WallLinkTest, DrawnFreeEndTakesWholeLengthsAndFifteenDegreeTurns) {
    Wall* w1 = Add(Vector(0, 0, 0), Vector(50, 0, 0));
    Wall* w2 = Add(Vector(50, 0, 0), Vector(50, 0, 30));
    ASSERT_TRUE(w1->LinkWith(w2, 2, 1));
    EXPECT_DOUBLE_EQ(w2->JoinInset(w1), 5.0);
    // 38.85 from the begin at 121.9 degrees from w1: 39 long (44 with the joint), 120 degrees.
    w2->DragFreeEnd(TopView(), PixelX(70.5), PixelY(33));
    const Vector& end = Node(w2, w2->GetWallEndIndex());
    ExpectAt(end, 50 + 39 * 0.5, 0, 39 * std::sqrt(3.0) / 2.0, 1e-9);
    EXPECT_NEAR(Node(w2, w2->GetWallEndIndex() + 1).x, end.x, 1e-9);
    EXPECT_TRUE(w2->IsPositionValid());
    // A free wall is not drawn this way.
    Wall* free = Add(Vector(0, 0, 60), Vector(40, 0, 60));
    free->DragFreeEnd(TopView(), PixelX(70.5), PixelY(33));
    ExpectAt(Node(free, free->GetWallEndIndex()), 40, 0, 60);
}

TEST_F(WallLinkTest, DraggedEndKeepsWholeLengths) {
    struct Case {
        double cursorX;
        bool notMoved;
        double endX;
    };
    for (const Case& c : {Case{70.0, false, 70.0}, Case{70.0, true, 51.0}, Case{50.2, true, 50.0},
                          Case{0.0, false, 50.0}}) {
        SCOPED_TRACE(c.cursorX);
        control.scene.DeleteAll();
        Wall* wall = Add(Vector(0, 0, 0.5), Vector(50, 0, 0.5));
        OutlinePoint* nodes = wall->GetOutline().GetPrimaryPoints();
        wall->DragEnd(TopView(), PixelX(c.cursorX), PixelY(0.5),
                      nodes[wall->GetWallEndIndex()].edge, c.notMoved, true);
        ExpectAt(Node(wall, wall->GetWallEndIndex()), c.endX, 0, 0.5);
        ExpectAt(Node(wall, 0), 0, 0, 0.5);
    }
}

}  // namespace
