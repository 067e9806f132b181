#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "building/Wall.h"
#include "control/PlanFiles.h"
#include "foundation/Cabinet.h"
#include "foundation/KeyDataList.h"
#include "support/TraceLogTail.h"
#include "support/WallFixtures.h"

namespace {

// Every value of the tree as "path=value", ids of objects aside.
void Flatten(const KeyDataList& list, const std::string& path, std::vector<std::string>& out) {
    for (const BaseKeyDataElement* m = list.GetFirstMember(); m; m = m->GetNextMember()) {
        const std::string name = path + "/" + m->Name();
        if (!m->IsElement()) {
            Flatten(*static_cast<const KeyDataSublist*>(m)->GetChildren(), name, out);
        } else if (m->Name() != "transactionObjectId") {
            out.push_back(name + "=" + static_cast<const KeyDataElement*>(m)->Value());
        }
    }
}

// Both lists hold the same paths with the same values; numbers may differ in their last
// written digit (a plan keeps six decimals, and what is computed from values read back
// can round the other way).
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

// The walls of the plan stream inside a saved plan file, flattened.
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

std::string Keys(Wall* wall) {
    wall->WriteKeyData();
    std::unique_ptr<KeyDataSublist> element(wall->TakeWrittenElement());
    std::string text;
    element->GetChildren()->WriteXML(text);
    return text;
}

// The keys of every wall of the scene, by list id.
std::map<uint32_t, std::string> SceneKeys(BaseControl& control) {
    std::map<uint32_t, std::string> keys;
    for (LinkedListObject* node = control.scene.GetHead(); node; node = node->GetNext())
        if (auto* wall = dynamic_cast<Wall*>(node)) keys[wall->GetID()] = Keys(wall);
    return keys;
}

std::vector<Wall*> Walls(BaseControl& control) {
    std::vector<Wall*> walls;
    for (LinkedListObject* node = control.scene.GetHead(); node; node = node->GetNext())
        if (auto* wall = dynamic_cast<Wall*>(node)) walls.push_back(wall);
    return walls;
}

// A square room of four linked walls, a wall running into the room's first wall from
// outside, an unlinkable wall with information and a locked one.
void BuildHouse(WallScene& s) {
    Wall* w[4] = {
        s.Add(Vector(0, 0, 0), Vector(100, 0, 0)), s.Add(Vector(100, 0, 0), Vector(100, 0, 80)),
        s.Add(Vector(100, 0, 80), Vector(0, 0, 80)), s.Add(Vector(0, 0, 80), Vector(0, 0, 0))};
    for (int i = 0; i < 4; ++i) ASSERT_TRUE(w[i]->LinkWith(w[(i + 1) % 4], 2, 1));
    s.Add(Vector(40, 0, -60), Vector(40, 0, -0.2), 90.0);
    Wall* apart = s.Add(Vector(200, 0, 0), Vector(260, 0, 30), 120.0, 4.0);
    apart->SetLinkable(false);
    apart->SetInformationValue("note", "garden wall");
    s.Add(Vector(200, 10, 100), Vector(260, 10, 100))->SetLocked(true);
}

class WallPlanTest : public ::testing::Test {
protected:
    TempFolder folder;
};

TEST_F(WallPlanTest, SavedWallsComeBackFromTheLoaderWithTheirLinks) {
    std::string first;
    std::vector<std::string> saved;
    {
        WallScene s;
        BuildHouse(s);
        first = Save(s.control, folder.Path() + "House.kvp");
        saved = PlanStream(first);
    }
    ASSERT_FALSE(saved.empty());
    WallScene s;
    s.control.LoadPlanFile(first.c_str(), false);
    const std::vector<Wall*> walls = Walls(s.control);
    ASSERT_EQ(walls.size(), 7u);
    // The room is closed again: each wall's end shares one joint with the next's begin.
    for (int i = 0; i < 4; ++i) {
        Wall* next = walls[(i + 1) % 4];
        EXPECT_EQ(walls[i]->GetLinkedEnd(), next);
        EXPECT_EQ(next->GetLinkedBegin(), walls[i]);
        ASSERT_NE(walls[i]->GetEndPoint(), nullptr);
        EXPECT_EQ(walls[i]->GetEndPoint(), next->GetBeginPoint());
        EXPECT_EQ(walls[i]->GetChainHead(), walls[0]->GetChainHead());
    }
    EXPECT_TRUE(walls[6]->IsLocked());
    EXPECT_FALSE(walls[5]->IsLinkable());
    ASSERT_NE(walls[5]->GetInformation(), nullptr);
    EXPECT_STREQ(walls[5]->GetInformation()->GetString("note"), "garden wall");
    // Saved again, the plan is the same, element by element.
    ExpectSameValues(PlanStream(Save(s.control, folder.Path() + "Again.kvp")), saved);
}

TEST_F(WallPlanTest, LinkKeysAreCheckedAgainstTheWallsThatExist) {
    WallScene s;
    // Two walls linked end to begin, and their elements as the writer writes them.
    auto elements = [&s](bool beginsAtTheJoint) {
        s.control.scene.DeleteAll();
        Wall* a = beginsAtTheJoint ? s.Add(Vector(100, 0, 0), Vector(0, 0, 0))
                                   : s.Add(Vector(0, 0, 0), Vector(100, 0, 0));
        Wall* b = s.Add(Vector(100, 0, 0), Vector(100, 0, 100));
        EXPECT_TRUE(a->LinkWith(b, beginsAtTheJoint ? 1 : 2, 1));
        a->WriteKeyData();
        b->WriteKeyData();
        std::pair<std::unique_ptr<KeyDataSublist>, std::unique_ptr<KeyDataSublist>> out(
            a->TakeWrittenElement(), b->TakeWrittenElement());
        s.control.scene.DeleteAll();
        return out;
    };
    struct Case {
        const char* what;
        bool beginsAtTheJoint;
        const char* key;
        const char* value;
        int linkedAt;  // the end of a that b's begin is joined to; 0 for none
        const char* trace;
    };
    const Case cases[] = {
        {"as written, to a's end", false, nullptr, nullptr, 2, nullptr},
        {"as written, to a's begin", true, nullptr, nullptr, 1, nullptr},
        {"not linkable", false, "linkable", "0", 0, nullptr},
        {"a wall the plan does not hold", false, "linkedBeginId", "987654", 0, "not found"},
        {"an id that is no number of a list", false, "linkedBeginId", "-4", 0, "not a wall id"},
        {"side 0", false, "linkedBeginSide", "0", 0, "refused"},
        {"side 7", false, "linkedBeginSide", "7", 0, "refused"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        auto [a, b] = elements(c.beginsAtTheJoint);
        if (c.key) {
            KeyDataList& keys = *b->GetChildren();
            keys.DeleteNode(keys.FindElement(c.key));
            keys.AddString(c.key, c.value);
        }
        TraceLogTail log;
        auto* readA = dynamic_cast<Wall*>(s.control.LoadPlanObjects(*a));
        auto* readB = dynamic_cast<Wall*>(s.control.LoadPlanObjects(*b));
        ASSERT_NE(readA, nullptr);
        ASSERT_NE(readB, nullptr);
        Wall* joined = c.linkedAt == 1 ? readA->GetLinkedBegin() : readA->GetLinkedEnd();
        if (c.linkedAt) {
            EXPECT_EQ(joined, readB);
            EXPECT_EQ(readB->GetLinkedBegin(), readA);
        } else {
            EXPECT_EQ(readB->GetLinkedBegin(), nullptr);
            EXPECT_EQ(readA->GetLinkedBegin(), nullptr);
            EXPECT_EQ(readA->GetLinkedEnd(), nullptr);
        }
        if (c.trace) EXPECT_TRUE(log.Contains(c.trace)) << log.Text();
    }
    // An end index that does not fit the outline is not taken; nor is a list id in use.
    auto [a, b] = elements(false);
    KeyDataList& keys = *a->GetChildren();
    keys.DeleteNode(keys.FindElement("wallEndIndex"));
    keys.AddString("wallEndIndex", "5");
    auto* first = dynamic_cast<Wall*>(s.control.LoadPlanObjects(*a));
    auto* second = dynamic_cast<Wall*>(s.control.LoadPlanObjects(*a));
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(first->GetWallEndIndex(), 1);
    EXPECT_NE(first->GetID(), second->GetID());
    // An element with no wall outline makes no wall.
    KeyDataSublist empty("Wall");
    empty.GetChildren()->AddString("wallEndIndex", "1");
    EXPECT_EQ(s.control.LoadPlanObjects(empty), nullptr);
}

TEST_F(WallPlanTest, UndoAndRedoRestoreTheExactKeys) {
    struct Edit {
        const char* what;
        std::function<void(WallScene&, std::vector<Wall*>&)> run;
    };
    const Edit edits[] = {
        {"moving a linked wall",
         [](WallScene&, std::vector<Wall*>& w) {
             w[1]->BeginUndoStep();
             w[1]->MoveSlabBy(3.0, 0.0, 0.0, false);
             w[1]->EndUndoStep();
         }},
        {"raising a wall",
         [](WallScene&, std::vector<Wall*>& w) {
             w[1]->BeginUndoStep();
             EXPECT_EQ(w[1]->SetSizeY(140.0), 0);
             w[1]->EndUndoStep();
         }},
        {"linking two walls",
         [](WallScene&, std::vector<Wall*>& w) { EXPECT_TRUE(w[2]->LinkWithUndo(w[3], 2, 1)); }},
        {"deleting a linked wall",
         [](WallScene& s, std::vector<Wall*>& w) {
             w[1]->SetSelected(true);
             s.control.DeleteSelectedObjects();
         }},
    };
    for (const Edit& edit : edits) {
        SCOPED_TRACE(edit.what);
        WallScene s;
        std::vector<Wall*> w = {
            s.Add(Vector(0, 0, 0), Vector(100, 0, 0)), s.Add(Vector(100, 0, 0), Vector(100, 0, 80)),
            s.Add(Vector(100, 0, 80), Vector(0, 0, 80)), s.Add(Vector(0, 0, 80), Vector(0, 0, 10))};
        ASSERT_TRUE(w[0]->LinkWith(w[1], 2, 1));
        ASSERT_TRUE(w[1]->LinkWith(w[2], 2, 1));
        const auto before = SceneKeys(s.control);
        s.control.BeginUndoGroup();
        edit.run(s, w);
        s.control.EndUndoGroup();
        const auto after = SceneKeys(s.control);
        ASSERT_NE(after, before);
        s.control.Undo();
        EXPECT_EQ(SceneKeys(s.control), before);
        s.control.Redo();
        EXPECT_EQ(SceneKeys(s.control), after);
        s.control.Undo();
        EXPECT_EQ(SceneKeys(s.control), before);
    }
}

TEST_F(WallPlanTest, MergedWallsKeepTheirOwnLinksAndIds) {
    WallScene s;
    Wall* a = s.Add(Vector(0, 0, 0), Vector(100, 0, 0));
    Wall* b = s.Add(Vector(100, 0, 0), Vector(100, 0, 100));
    ASSERT_TRUE(a->LinkWith(b, 2, 1));
    const std::string plan = Save(s.control, folder.Path() + "Pair.kvp");
    s.control.loadKind = BaseControl::kLoadMerge;
    s.control.LoadPlanFile(plan.c_str(), false);
    const std::vector<Wall*> walls = Walls(s.control);
    ASSERT_EQ(walls.size(), 4u);
    std::set<uint32_t> ids;
    std::set<TransactionId> objectIds;
    for (Wall* wall : walls) {
        ids.insert(wall->GetID());
        objectIds.insert(wall->GetObjectId());
    }
    EXPECT_EQ(ids.size(), 4u);
    EXPECT_EQ(objectIds.size(), 4u);
    Wall* copyA = walls[0] == a || walls[0] == b ? walls[2] : walls[0];
    ASSERT_NE(copyA, a);
    EXPECT_NE(copyA->GetLinkedEnd(), nullptr);
    EXPECT_NE(copyA->GetLinkedEnd(), b);
    EXPECT_EQ(a->GetLinkedEnd(), b);
}

}  // namespace
