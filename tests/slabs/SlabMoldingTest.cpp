#include "slabs/SlabMolding.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "building/Wall.h"
#include "control/PlanFiles.h"
#include "foundation/Cabinet.h"
#include "foundation/KeyDataList.h"
#include "interaction/MouseHandler.h"
#include "slabs/ParametricShape.h"
#include "support/DialogPlayer.h"
#include "support/WallFixtures.h"

namespace {

// Every value of the tree as "path=value", ids aside.
void Flatten(const KeyDataList& list, const std::string& path, std::vector<std::string>& out) {
    for (const BaseKeyDataElement* m = list.GetFirstMember(); m; m = m->GetNextMember()) {
        const std::string name = path + "/" + m->Name();
        if (!m->IsElement()) {
            Flatten(*static_cast<const KeyDataSublist*>(m)->GetChildren(), name, out);
        } else if (m->Name() != "transactionObjectId" && m->Name() != "objectId" && m->Name() != "id" &&
                   m->Name() != "linkedBeginId" && m->Name() != "linkedEndId") {
            out.push_back(name + "=" + static_cast<const KeyDataElement*>(m)->Value());
        }
    }
}

void ExpectSameValues(const std::vector<std::string>& actual,
                      const std::vector<std::string>& expected) {
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

std::vector<std::string> PlanStream(const std::string& planFile) {
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

std::string Save(BaseControl& control, const std::string& path) {
    char buffer[BaseControl::kPathSize];
    std::snprintf(buffer, sizeof buffer, "%s", path.c_str());
    EXPECT_TRUE(control.WriteSceneGraphFile(buffer, sizeof buffer, false));
    return buffer;
}

std::vector<SlabMolding*> Moldings(BaseSlab* slab) {
    std::vector<SlabMolding*> out;
    for (LinkedListObject* n = slab->GetMoldingList().GetHead(); n; n = n->GetNext())
        if (auto* m = dynamic_cast<SlabMolding*>(n)) out.push_back(m);
    return out;
}

std::string Keys(UndoableObject* object) {
    object->WriteKeyData();
    std::unique_ptr<KeyDataSublist> element(object->TakeWrittenElement());
    std::string text;
    element->GetChildren()->WriteXML(text);
    return text;
}

// A wall along x with moldings on its inside face; the face's plane is z = 5 (the wall is
// 10 thick and its outline lies at z = 0).
class SlabMoldingTest : public ::testing::Test {
protected:
    SlabMoldingTest() { wall = s.Add(Vector(0, 0, 0), Vector(200, 0, 0), 100.0, 10.0); }

    SlabMolding* Add(const Vector& from, const Vector& to, int type = ParametricShape::kRect) {
        auto* m = new SlabMolding(true);
        m->SetShapeType(type);
        m->AttachToSlab(wall, wall->GetSurface(BaseSlab::kInsideSurface), nullptr);
        m->SetEndPoint(BaseMolding::kBegin, from);
        m->SetEndPoint(BaseMolding::kEnd, to);
        return m;
    }

    TempFolder folder;
    WallScene s;
    Wall* wall = nullptr;
};

TEST_F(SlabMoldingTest, LinksJoinEndsAtTheirCornerAndRefuseWhatCannotLink) {
    SlabMolding* a = Add(Vector(10, 10, 5), Vector(48, 10, 5));
    SlabMolding* b = Add(Vector(50, 12, 5), Vector(50, 60, 5));
    SlabMolding* c = Add(Vector(10, 20, 5), Vector(60, 21, 5));
    EXPECT_EQ(wall->GetMoldingList().GetCount(), 3u);
    // Near-parallel directions never link.
    EXPECT_FALSE(a->CanLinkTo(*c));
    EXPECT_FALSE(a->LinkTo(c, BaseMolding::kEnd, BaseMolding::kBegin));
    ASSERT_TRUE(a->CanLinkTo(*b));
    ASSERT_TRUE(a->LinkTo(b, BaseMolding::kEnd, BaseMolding::kBegin));
    // Both ends meet at the corner of the two lines.
    EXPECT_NEAR(a->GetEnd().x, 50.0, 1e-9);
    EXPECT_NEAR(a->GetEnd().y, 10.0, 1e-9);
    EXPECT_NEAR(b->GetBegin().y, 10.0, 1e-9);
    EXPECT_EQ(a->GetLinked(BaseMolding::kEnd), b);
    EXPECT_EQ(b->GetLinked(BaseMolding::kBegin), a);
    // A linked end takes no second neighbour.
    SlabMolding* d = Add(Vector(52, 40, 5), Vector(90, 40, 5));
    EXPECT_FALSE(d->LinkTo(a, BaseMolding::kBegin, BaseMolding::kEnd));
    EXPECT_EQ(a->GetLinked(BaseMolding::kEnd), b);
    // Sizes: linked at one end the length grows from it; linked at both it is refused.
    EXPECT_EQ(b->SetSizeZ(0.001), -1);
    EXPECT_EQ(b->SetSizeZ(30.0), 0);
    EXPECT_NEAR(b->GetBegin().y, 10.0, 1e-9);
    EXPECT_NEAR(b->GetEnd().y, 40.0, 1e-9);
    ASSERT_TRUE(d->LinkTo(b, BaseMolding::kBegin, BaseMolding::kEnd));
    EXPECT_EQ(b->SetSizeZ(10.0), -2);
    // A freed molding leaves no pointer to itself behind.
    wall->RemoveChild(b, true);
    delete b;
    EXPECT_EQ(a->GetLinked(BaseMolding::kEnd), nullptr);
    EXPECT_EQ(d->GetLinked(BaseMolding::kBegin), nullptr);
}

TEST_F(SlabMoldingTest, ChangesTravelAlongAClosedLoopOnce) {
    SlabMolding* m[4] = {Add(Vector(10, 10, 5), Vector(60, 10, 5)),
                         Add(Vector(60, 10, 5), Vector(60, 60, 5)),
                         Add(Vector(60, 60, 5), Vector(10, 60, 5)),
                         Add(Vector(10, 60, 5), Vector(10, 10, 5))};
    for (int i = 0; i < 4; ++i)
        ASSERT_TRUE(m[i]->LinkTo(m[(i + 1) % 4], BaseMolding::kEnd, BaseMolding::kBegin)) << i;
    EXPECT_TRUE(m[0]->ProcessPropertyMenu(MoldingCommand::kOval));
    for (SlabMolding* x : m) EXPECT_EQ(x->GetShape()->GetType(), ParametricShape::kTube);
    EXPECT_EQ(m[2]->SetSizeY(8.0), 0);
    for (SlabMolding* x : m) EXPECT_DOUBLE_EQ(x->GetShape()->GetRadius0(), 4.0);
    m[1]->SetInvert(true);
    for (SlabMolding* x : m) EXPECT_TRUE(x->IsInverted());
    // Closed ends are mitred: the plane at a corner bisects the two directions.
    const auto plane = m[0]->MiterPlane(BaseMolding::kEnd);
    ASSERT_TRUE(plane.has_value());
    EXPECT_NEAR(std::fabs(plane->x), std::sqrt(0.5), 1e-9);
    EXPECT_NEAR(std::fabs(plane->y), std::sqrt(0.5), 1e-9);
}

TEST_F(SlabMoldingTest, SavedMoldingsComeBackFromTheLoaderLinked) {
    SlabMolding* a = Add(Vector(10, 10, 5), Vector(50, 10, 5), ParametricShape::kRoundRect);
    SlabMolding* b = Add(Vector(50, 10, 5), Vector(50, 60, 5), ParametricShape::kRoundRect);
    ASSERT_TRUE(a->LinkTo(b, BaseMolding::kEnd, BaseMolding::kBegin));
    Add(Vector(100, 30, 5), Vector(150, 30, 5), ParametricShape::kTriangle)->SetInvert(true);
    const std::string first = Save(s.control, folder.Path() + "Trim.kvp");
    const std::vector<std::string> saved = PlanStream(first);
    ASSERT_FALSE(saved.empty());

    WallScene fresh;
    fresh.control.LoadPlanFile(first.c_str(), false);
    auto* loadedWall = dynamic_cast<Wall*>(fresh.control.scene.GetHead());
    ASSERT_NE(loadedWall, nullptr);
    const std::vector<SlabMolding*> loaded = Moldings(loadedWall);
    ASSERT_EQ(loaded.size(), 3u);
    EXPECT_EQ(loaded[0]->GetLinked(BaseMolding::kEnd), loaded[1]);
    EXPECT_EQ(loaded[1]->GetLinked(BaseMolding::kBegin), loaded[0]);
    EXPECT_EQ(loaded[0]->GetShape()->GetType(), ParametricShape::kRoundRect);
    EXPECT_EQ(loaded[2]->GetParent(), loadedWall);
    EXPECT_EQ(loaded[2]->GetParentSurface(), BaseSlab::kInsideSurface);
    EXPECT_TRUE(loaded[2]->IsInverted());
    ExpectSameValues(PlanStream(Save(fresh.control, folder.Path() + "Again.kvp")), saved);
}

TEST_F(SlabMoldingTest, UndoAndRedoOfMoldingEditsRestoreTheWallsKeys) {
    SlabMolding* a = Add(Vector(10, 10, 5), Vector(50, 10, 5));
    SlabMolding* b = Add(Vector(50, 10, 5), Vector(50, 60, 5));
    ASSERT_TRUE(a->LinkTo(b, BaseMolding::kEnd, BaseMolding::kBegin));
    const std::string before = Keys(wall);
    s.control.BeginUndoGroup();
    EXPECT_TRUE(a->ProcessPropertyMenu(MoldingCommand::kTriangleFlatBottom));
    s.control.EndUndoGroup();
    const std::string after = Keys(wall);
    ASSERT_NE(after, before);
    s.control.Undo();
    EXPECT_EQ(Keys(wall), before);
    s.control.Redo();
    EXPECT_EQ(Keys(wall), after);
    const std::vector<SlabMolding*> now = Moldings(wall);
    ASSERT_EQ(now.size(), 2u);
    EXPECT_EQ(now[0]->GetLinked(BaseMolding::kEnd), now[1]);
    EXPECT_EQ(now[1]->GetShape()->GetType(), ParametricShape::kTriangularTube);
}

TEST_F(SlabMoldingTest, PropertiesSetTheProfileOfTheChainInOneUndoStep) {
    SlabMolding* a = Add(Vector(10, 10, 5), Vector(50, 10, 5));
    SlabMolding* b = Add(Vector(50, 10, 5), Vector(50, 60, 5));
    ASSERT_TRUE(a->LinkTo(b, BaseMolding::kEnd, BaseMolding::kBegin));
    const std::string before = Keys(wall);
    Dialog::SetModalRunner([](Dialog& d) {
        platform::DialogBox& box = *d.Window();
        box.Click(261);  // the full oval
        box.SetText(265, "10");     // across: a diameter for the oval
        box.SetText(266, "6");      // out of the face: a diameter
        box.PressEnter();
        return 0;
    });
    s.control.BeginUndoGroup();
    EXPECT_TRUE(b->ProcessPropertyMenu(102));
    s.control.EndUndoGroup();
    Dialog::SetModalRunner(nullptr);
    for (SlabMolding* m : {a, b}) {
        EXPECT_EQ(m->GetShape()->GetType(), ParametricShape::kTube);
        EXPECT_DOUBLE_EQ(m->GetShape()->GetRadius1(), 5.0);
        EXPECT_DOUBLE_EQ(m->GetShape()->GetRadius0(), 3.0);
    }
    s.control.Undo();
    EXPECT_EQ(Keys(wall), before);
}

TEST_F(SlabMoldingTest, ReattachFollowsTheFaceAndCtrlDragSlidesAlongTheWall) {
    SlabMolding* m = Add(Vector(10, 10, 0), Vector(50, 10, 0));
    // Onto the face, 5 from the wall's middle.
    m->Reattach();
    const double face = m->GetBegin().z;
    EXPECT_NEAR(std::fabs(face), 5.0, 1e-9);
    wall->SetThickness(20.0);
    EXPECT_TRUE(m->ProcessPropertyMenu(SlabMolding::kReattach));
    EXPECT_NEAR(m->GetBegin().z, face * 2.0, 1e-9);
    EXPECT_NEAR(m->GetEnd().z, face * 2.0, 1e-9);
    // Ctrl held: along the wall by the distance, up by the height.
    MouseHandler::Input().ctrl = 1;
    m->OnCtrlDrag(7.0, 3.0);
    MouseHandler::Input().ctrl = 0;
    EXPECT_NEAR(m->GetBegin().x, 17.0, 1e-9);
    EXPECT_NEAR(m->GetBegin().y, 13.0, 1e-9);
    // Without Ctrl, or on a locked wall, nothing moves.
    m->OnCtrlDrag(7.0, 3.0);
    wall->SetLocked(true);
    MouseHandler::Input().ctrl = 1;
    m->OnCtrlDrag(7.0, 3.0);
    MouseHandler::Input().ctrl = 0;
    EXPECT_NEAR(m->GetBegin().x, 17.0, 1e-9);
}

TEST_F(SlabMoldingTest, DeleteTakesTheMoldingOutUnlessTheWallIsLocked) {
    SlabMolding* a = Add(Vector(10, 10, 5), Vector(50, 10, 5));
    wall->SetLocked(true);
    EXPECT_TRUE(a->ProcessPropertyMenu(104));
    ASSERT_EQ(wall->GetMoldingList().GetCount(), 1u);
    EXPECT_EQ(Moldings(wall)[0], a);
    wall->SetLocked(false);
    EXPECT_TRUE(a->ProcessPropertyMenu(104));
    EXPECT_EQ(wall->GetMoldingList().GetCount(), 0u);
    // The render thread frees it, not its own handler.
    EXPECT_TRUE(s.control.deletedObjects.Contains(a));
}

TEST_F(SlabMoldingTest, SnappingGivesWholeUnitsIn15DegreeSteps) {
    SlabMolding* a = Add(Vector(0, 10, 5), Vector(10, 10, 5));
    // The reference is the wall's u vector (its face lies in the molding's plane).
    const Vector u = wall->GetUVector();
    auto endAt = [&](double degrees, double length) {
        const double r = degrees * 3.14159265358979323846 / 180.0;
        const Vector w(-u.y, u.x, 0.0);
        return Vector(u.x * std::cos(r) * length + w.x * std::sin(r) * length,
                      10 + u.y * std::cos(r) * length + w.y * std::sin(r) * length, 5);
    };
    struct Case {
        double degrees, snapped;
    } cases[] = {{7.0, 0.0}, {8.0, 15.0}, {44.0, 45.0}};
    for (const Case& c : cases) {
        a->MovePathPointTo(BaseMolding::kEnd, endAt(c.degrees, 20.3), true);
        const Vector d(a->GetEnd().x - a->GetBegin().x, a->GetEnd().y - a->GetBegin().y, 0);
        EXPECT_NEAR(std::sqrt(d.x * d.x + d.y * d.y), 20.0, 1e-9) << c.degrees;
        const double cosine = (d.x * u.x + d.y * u.y) / 20.0;
        EXPECT_NEAR(std::acos(std::min(1.0, cosine)) * 180.0 / 3.14159265358979323846, c.snapped,
                    1e-6)
            << c.degrees;
    }
}

}  // namespace
