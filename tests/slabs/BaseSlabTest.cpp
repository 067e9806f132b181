#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>

#include "foundation/KeyDataList.h"
#include "geometry/ViewProjection.h"
#include "slabs/BaseSlab.h"
#include "slabs/SlabChild.h"
#include "support/OutlineShapes.h"
#include "support/WallFixtures.h"

namespace {

// A flat slab whose faces lie half its thickness either side of its outline.
class TestSlab : public BaseSlab {
public:
    explicit TestSlab(std::initializer_list<Vector> corners) {
        BuildOutline(outline, corners);
        thickness = 2.0;
        AllocateOutlineArrays();
    }
    int GetKindCode() const override { return KindCode::kFloor; }
    void RecomputeBounds() override {
        const Vector n = outline.normal;
        const double h = thickness * 0.5;
        for (int i = 0; i < facePointCount && i < outline.GetPrimaryCount(); ++i) {
            const Vector& p = outline.GetPrimaryPoints()[i].position;
            facePointsA[i] = Vector(p.x + h * n.x, p.y + h * n.y, p.z + h * n.z);
            facePointsB[i] = Vector(p.x - h * n.x, p.y - h * n.y, p.z - h * n.z);
        }
        ComputeBounds();
    }
    void WriteKeyData() override {
        delete element;
        element = new KeyDataSublist("TestSlab");
        WriteSlabKeys(*element->GetChildren());
    }
};

// A child of a given kind with a settable box; its element carries its kind keyword, its
// id and one value.
class TestChild : public UndoableObject, public SlabChild {
public:
    TestChild(uint64_t mask, const char* keyword) : mask(mask), keyword(keyword) {
        box.min = Vector(0, 0, 0);
        box.max = Vector(1, 1, 1);
    }
    uint64_t GetTypeMask() const override { return mask; }
    void Render() override {}
    void Translate(const Vector& offset) override { box.Translate(offset.x, offset.y, offset.z); }
    void WriteKeyData() override {
        delete element;
        element = new KeyDataSublist("child");
        KeyDataList& keys = *element->GetChildren();
        keys.AddString(keyword.c_str(), "yes");
        keys.AddDouble("transactionObjectId", GetObjectId());
        keys.AddDouble("value", value);
    }
    bool ReadKeyData(KeyDataList& keys) override {
        keys.GetDouble("value", value);
        return true;
    }
    bool IsOnParentSurface() override { return onSurface; }
    void SetDepth(double d) override { depth = d; }
    void SetOffset(double o) override { offset = o; }

    uint64_t mask;
    std::string keyword;
    double value = 0.0;
    double depth = 0.0;
    double offset = 0.0;
    bool onSurface = true;
};

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

class BaseSlabTest : public ::testing::Test, public WallScene {
protected:
    BaseSlabTest()
        : slab({Vector(10, 0, 10), Vector(60, 0, 10), Vector(60, 0, 40), Vector(10, 0, 40)}) {}

    TestChild* Child(LinkedList& list, uint64_t mask, const char* keyword) {
        auto* child = new TestChild(mask, keyword);
        child->SetParent(&slab);
        list.Append(child);
        return child;
    }
    Vector& Node(int i) { return slab.GetOutline().GetPrimaryPoints()[i].position; }

    TestSlab slab;
};

TEST_F(BaseSlabTest, SurfacesAreFoundByTheirIdsOnly) {
    EXPECT_NE(slab.GetSurface(1000), nullptr);
    EXPECT_NE(slab.GetSurface(1001), slab.GetSurface(1000));
    EXPECT_NE(slab.GetSurface(1002), nullptr);
    EXPECT_EQ(slab.GetSurface(999), nullptr);
    EXPECT_EQ(slab.GetSurface(1003), nullptr);
    slab.SetSurfacesTranslucent(true);
    EXPECT_EQ(slab.GetSurface(1002)->material->alpha, 0.5);
}

TEST_F(BaseSlabTest, ThicknessSetsHoleDepthsAndCoveringOffsets) {
    TestChild* hole = Child(slab.GetHoleList(), TypeMask::kSlabHole, "hole");
    TestChild* covering = Child(slab.GetCoveringList(), TypeMask::kSlabCovering, "covering");
    TestChild* door = Child(slab.GetInSlabList(), TypeMask::kInSlabObject, "inslab");
    slab.SetThickness(10.0);
    EXPECT_EQ(hole->depth, 5.0);
    EXPECT_EQ(door->depth, 5.0);
    EXPECT_EQ(covering->offset, 5.25);
}

TEST_F(BaseSlabTest, ObjectsInTheSlabGrowItsBoxAlongTheNormal) {
    ASSERT_NEAR(std::fabs(slab.GetOutline().normal.y), 1.0, 1e-12);
    EXPECT_NEAR(slab.GetBoundingBox().max.y, 1.0, 1e-12);
    TestChild* door = Child(slab.GetInSlabList(), TypeMask::kInSlabObject, "inslab");
    slab.ComputeBounds();
    EXPECT_NEAR(slab.GetBoundingBox().min.y, -1.5, 1e-12);
    EXPECT_NEAR(slab.GetBoundingBox().max.y, 1.5, 1e-12);
    door->mask = TypeMask::kAsymmetricSlabObject;
    slab.ComputeBounds();
    EXPECT_NEAR(slab.GetBoundingBox().min.y, -2.0, 1e-12);
    EXPECT_NEAR(slab.GetBoundingBox().max.y, 2.0, 1e-12);
}

TEST_F(BaseSlabTest, ChildListKeysUpdateKnownChildrenAndRemoveRecordedOnes) {
    TestChild* hole = Child(slab.GetHoleList(), TypeMask::kSlabHole, "hole");
    TestChild* flat = Child(slab.GetCoveringList(), TypeMask::kSlabCovering, "covering");
    BoundingBox point;
    point.min = point.max = Vector(3, 3, 3);
    flat->SetBoundingBox(point);
    TestChild* door = Child(slab.GetInSlabList(), TypeMask::kInSlabObject, "inslab");
    hole->value = 1;
    door->value = 2;
    slab.WriteKeyData();
    std::unique_ptr<KeyDataSublist> element(slab.TakeWrittenElement());
    KeyDataList& children = *element->GetChildren()->GetSublist("childList");
    ASSERT_EQ(children.GetCount(), 2u) << "a child with an empty box is not written";

    // Read back: the known children take their values, none is made twice.
    hole->value = door->value = 0;
    KeyDataList* doorKeys = static_cast<KeyDataSublist*>(children.GetTail())->GetChildren();
    doorKeys->DeleteNode(doorKeys->FindElement("inslab"));
    doorKeys->AddString("inslab", "YES");
    slab.ReadKeyData(*element->GetChildren());
    EXPECT_EQ(hole->value, 1);
    EXPECT_EQ(door->value, 2);
    EXPECT_EQ(slab.CountChildren(), 3);
    // A keyword that does not say "yes" leaves the entry unread.
    doorKeys->DeleteNode(doorKeys->FindElement("inslab"));
    doorKeys->AddString("inslab", "no");
    door->value = 0;
    slab.ReadKeyData(*element->GetChildren());
    EXPECT_EQ(door->value, 0);

    // Removal records, as undo writes them, take children out of whichever list; a child
    // of no kind the slab knows is left out.
    KeyDataList records;
    KeyDataList* list = records.AddSublist("childList");
    list->AddDouble("removedTransactionId", hole->GetObjectId());
    list->AddSublist("inslab")->AddDouble("removedTransactionId", door->GetObjectId());
    KeyDataList* unknown = list->AddSublist("child");
    unknown->AddString("gazebo", "yes");
    unknown->AddDouble("transactionObjectId", 424242);
    slab.ReadKeyData(records);
    EXPECT_EQ(slab.CountChildren(), 1);
    EXPECT_EQ(slab.GetCoveringList().GetHead(), flat);
}

TEST_F(BaseSlabTest, LockedSlabKeepsItsChildrenUnlessForced) {
    TestChild* door = Child(slab.GetInSlabList(), TypeMask::kInSlabObject, "inslab");
    slab.SetLocked(true);
    EXPECT_FALSE(slab.RemoveChild(door, false));
    EXPECT_FALSE(slab.RemoveChildById(door->GetObjectId(), false));
    EXPECT_EQ(door->GetOwner(), &slab.GetInSlabList()) << "a kept child is not deleted";
    auto* shelf = new TestChild(TypeMask::kOnSlabObject, "onslab");
    slab.AttachChild(shelf);
    EXPECT_EQ(shelf->GetOwner(), nullptr);
    slab.AttachChild(shelf, true);
    EXPECT_EQ(shelf->GetOwner(), &slab.GetOnSlabList());
    const TransactionId id = door->GetObjectId();
    EXPECT_TRUE(slab.RemoveChildById(id, true));
    EXPECT_FALSE(slab.RemoveChildById(id, true)) << "removed once";
    EXPECT_EQ(slab.CountChildren(), 1);
}

TEST_F(BaseSlabTest, DeletingASlabWithASelectedChildDeletesTheChildOnly) {
    LinkedList list;
    list.Append(&slab);
    TestChild* shelf = Child(slab.GetOnSlabList(), TypeMask::kOnSlabObject, "onslab");
    shelf->SetSelected(true);
    EXPECT_TRUE(slab.IsSelected());
    EXPECT_FALSE(slab.RemoveFromList(list));
    EXPECT_EQ(slab.CountChildren(), 0);
    slab.SetLocked(true);
    EXPECT_FALSE(slab.RemoveFromList(list));
    slab.SetLocked(false);
    EXPECT_TRUE(slab.RemoveFromList(list));
    EXPECT_EQ(slab.GetOwner(), nullptr);
}

TEST_F(BaseSlabTest, PointsNearAnEdgeGoOntoIt) {
    // 20 above the far edge (z = 40) lands on it; 30 above stays.
    OutlinePoint* near = slab.InsertScreenPoint(TopView(), PixelX(35), PixelY(60));
    ASSERT_NE(near, nullptr);
    EXPECT_NEAR(near->position.z, 40.0, 1e-9);
    EXPECT_NEAR(near->position.x, 35.0, 1e-9);
    EXPECT_EQ(slab.GetFacePointCount(), 5);
    OutlinePoint* far = slab.InsertScreenPoint(TopView(), PixelX(35), PixelY(70));
    ASSERT_NE(far, nullptr);
    EXPECT_NEAR(far->position.z, 70.0, 1e-9);
    EXPECT_NEAR(slab.GetBoundingBox().max.z, 70.0, 1e-9);
    slab.SetLocked(true);
    EXPECT_EQ(slab.InsertScreenPoint(TopView(), PixelX(35), PixelY(5)), nullptr);
    EXPECT_EQ(slab.GetOutline().GetPrimaryCount(), 6);
}

TEST_F(BaseSlabTest, ATriangleKeepsItsPoints) {
    TestSlab triangle({Vector(0, 0, 0), Vector(50, 0, 0), Vector(0, 0, 50)});
    EXPECT_FALSE(triangle.DeleteOutlinePoint(&triangle.GetOutline().GetPrimaryPoints()[1]));
    EXPECT_EQ(triangle.GetOutline().GetPrimaryCount(), 3);
    EXPECT_TRUE(slab.DeleteOutlinePoint(&slab.GetOutline().GetPrimaryPoints()[1]));
    EXPECT_EQ(slab.GetFacePointCount(), 3);
}

TEST_F(BaseSlabTest, DraggedRectangleEdgeStaysSquareWithWholeSides) {
    struct Case {
        bool free;
        double z;
    };
    // The far edge (z = 40, from node 2) dragged to z = 45.5: 35.5 from the near edge.
    for (const Case& c : {Case{false, 46.0}, Case{true, 45.5}}) {
        SCOPED_TRACE(c.free);
        TestSlab rectangle(
            {Vector(10, 0, 10), Vector(60, 0, 10), Vector(60, 0, 40), Vector(10, 0, 40)});
        OutlinePoint* edge = &rectangle.GetOutline().GetPrimaryPoints()[2];
        rectangle.DragEdge(TopView(), PixelX(35), PixelY(45.5), PixelX(35), PixelY(40), edge,
                           c.free);
        const OutlinePoint* nodes = rectangle.GetOutline().GetPrimaryPoints();
        EXPECT_NEAR(nodes[2].position.z, c.z, 1e-9);
        EXPECT_NEAR(nodes[3].position.z, c.z, 1e-9);
        EXPECT_NEAR(nodes[2].position.x, 60.0, 1e-9);
        EXPECT_NEAR(nodes[0].position.z, 10.0, 1e-9);
        EXPECT_TRUE(rectangle.GetOutline().IsRectangle());
    }
}

TEST_F(BaseSlabTest, HalfTurnUsesTheUpright) {
    slab.RotateSlab(Vector(45, 0, 25), Vector(25, 0, 25), Vector(35, 0, 25));
    for (int i = 0; i < 4; ++i) {
        EXPECT_TRUE(std::isfinite(Node(i).x) && std::isfinite(Node(i).z));
        EXPECT_NEAR(Node(i).y, 0.0, 1e-9);
    }
    // Turned about the upright through (35, 25): (10, 10) goes to (60, 40).
    EXPECT_NEAR(Node(0).x, 60.0, 1e-9);
    EXPECT_NEAR(Node(0).z, 40.0, 1e-9);
}

TEST_F(BaseSlabTest, MovesCarryChildrenAndGridAndStopAtTheLock) {
    TestChild* shelf = Child(slab.GetOnSlabList(), TypeMask::kOnSlabObject, "onslab");
    slab.MoveSlabBy(5, 0, -2, false);
    EXPECT_EQ(Node(0).x, 15.0);
    EXPECT_EQ(shelf->GetBoundingBox().min.x, 5.0);
    EXPECT_EQ(slab.GetGrid().position.x, 5.0);
    slab.SetLocked(true);
    slab.MoveSlabBy(5, 0, 0, false);
    EXPECT_EQ(Node(0).x, 15.0);
    // A child off the slab makes the slab invalid.
    slab.SetLocked(false);
    EXPECT_TRUE(slab.IsPositionValid());
    shelf->onSurface = false;
    EXPECT_FALSE(slab.IsPositionValid());
}

}  // namespace
