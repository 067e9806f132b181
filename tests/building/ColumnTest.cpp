#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "building/BaseMolding.h"
#include "building/Column.h"
#include "slabs/ParametricShape.h"
#include "foundation/KeyDataList.h"
#include "support/PlanStreams.h"
#include "support/WallFixtures.h"

namespace {

using namespace plan_streams;

Column* AddColumn(WallScene& s, const std::vector<Vector>& posts) {
    auto* column = new Column(true);
    for (const Vector& p : posts)
        column->GetOutline().InsertPoint(p, column->GetOutline().GetPrimaryCount(), false);
    column->Changed();
    s.control.scene.Append(column);
    return column;
}

// The post molding's "objectId" is the process's id of the molding: like the transaction
// ids, it is left out of comparisons.
std::vector<std::string> WithoutObjectIds(std::vector<std::string> lines) {
    std::erase_if(lines, [](const std::string& line) {
        return line.find("/BaseMolding/objectId=") != std::string::npos;
    });
    return lines;
}

std::string KeysWithoutObjectIds(Column& column) {
    return std::regex_replace(Keys(column), std::regex(R"( objectId="[^"]*")"), "");
}

std::vector<Column*> Columns(WallScene& s) {
    std::vector<Column*> out;
    for (LinkedListObject* node = s.control.scene.GetHead(); node; node = node->GetNext())
        if (auto* column = dynamic_cast<Column*>(node)) out.push_back(column);
    return out;
}

class ColumnTest : public ::testing::Test {
protected:
    TempFolder folder;
};

TEST_F(ColumnTest, SavedColumnsComeBackFromTheLoader) {
    std::string file;
    std::vector<std::string> saved;
    {
        WallScene first;
        AddColumn(first, {Vector(0, 0, 0)});
        Column* run = AddColumn(first, {Vector(100, 10, 0), Vector(200, 10, 0), Vector(200, 10, 80)});
        run->SetHeight(72.5);
        run->ProcessPropertyMenu(Column::kHideBeam);
        run->ProcessPropertyMenu(Column::kHideRails);
        run->SetLocked(true);
        file = Save(first.control, folder.Path() + "Columns.kvp");
        saved = PlanStream(file, "Column");
        // A column is written as a column, never as a fence.
        EXPECT_TRUE(PlanStream(file, "Fence").empty());
    }
    ASSERT_FALSE(saved.empty());
    WallScene s;
    s.control.LoadPlanFile(file.c_str(), false);
    std::vector<Column*> read = Columns(s);
    ASSERT_EQ(read.size(), 2u);
    EXPECT_EQ(read[0]->GetOutline().GetPrimaryCount(), 1);
    EXPECT_EQ(read[1]->GetOutline().GetPrimaryCount(), 3);
    EXPECT_DOUBLE_EQ(read[1]->GetHeight(), 72.5);
    EXPECT_TRUE(read[1]->IsBeamHidden());
    EXPECT_TRUE(read[1]->AreRailsHidden());
    EXPECT_TRUE(read[1]->IsLocked());
    EXPECT_DOUBLE_EQ(read[1]->GetTopHeight(), 82.5);
    ExpectSameValues(
        WithoutObjectIds(PlanStream(Save(s.control, folder.Path() + "Again.kvp"), "Column")),
        WithoutObjectIds(saved));
}

TEST_F(ColumnTest, RefusedValuesKeepTheDefaultsAndAMoldingElementIsThePost) {
    WallScene s;
    auto* source = new Column(true);
    source->GetOutline().InsertPoint(Vector(0, 0, 0), 0, false);
    source->WriteKeyData();
    std::unique_ptr<KeyDataSublist> element(source->TakeWrittenElement());
    delete source;
    ASSERT_NE(element, nullptr);
    KeyDataList& keys = *element->GetChildren();
    // Lookups take the first match: these come before the written values.
    keys.Prepend(new KeyDataElement("columnHeight", "-4"));
    keys.Prepend(new KeyDataElement("beamWidth", "0"));
    keys.Prepend(new KeyDataElement("beamOverhang", "-1"));
    // A parts element named "BaseMolding" without a "postMolding" key is the post.
    BaseMolding molding(true);
    molding.SetShapeType(5);
    molding.SetProfileParameter(9.0, 0);
    molding.WriteKeyData();
    auto* parts = new KeyDataSublist("fencePartsList");
    parts->GetChildren()->Add(molding.TakeWrittenElement());
    keys.Prepend(parts);

    Column column(true);
    const double height = column.GetHeight();
    const double width = column.GetBeamWidth();
    const double overhang = column.GetBeamOverhang();
    ASSERT_GT(height, 0.0);
    column.ReadKeyData(keys);
    EXPECT_EQ(column.GetHeight(), height);
    EXPECT_EQ(column.GetBeamWidth(), width);
    EXPECT_EQ(column.GetBeamOverhang(), overhang);
    ASSERT_NE(column.GetPostMolding()->GetShape(), nullptr);
    EXPECT_DOUBLE_EQ(column.GetPostMolding()->GetShape()->GetRadius0(), 9.0);
    // Heights not above 0 change nothing.
    column.SetHeight(0.0);
    column.SetHeight(-3.0);
    column.DragHeight(-height);
    EXPECT_EQ(column.GetHeight(), height);
    // A drag raises the columns and the post with them.
    column.DragHeight(20.0);
    EXPECT_EQ(column.GetHeight(), height + 20.0);
    EXPECT_NEAR(column.GetPostMolding()->GetEnd().y, height + 20.0, 1e-9);
}

TEST_F(ColumnTest, UndoAndRedoOfColumnEditsRestoreTheExactKeys) {
    struct Edit {
        const char* what;
        void (*run)(Column&);
    };
    const Edit edits[] = {
        {"height", [](Column& c) { c.SetHeight(40.0); }},
        {"drag height", [](Column& c) { c.DragHeight(-20.0); }},
        {"hide beam", [](Column& c) { c.ProcessPropertyMenu(Column::kHideBeam); }},
        {"hide capital", [](Column& c) { c.ProcessPropertyMenu(Column::kHideCapital); }},
        {"insert", [](Column& c) { c.InsertPostAt(Vector(50, 0, 40)); }},
        {"move", [](Column& c) { c.MoveBy(Vector(5, 0, -3)); }},
    };
    for (const Edit& edit : edits) {
        SCOPED_TRACE(edit.what);
        WallScene scene;
        Column* column = AddColumn(scene, {Vector(0, 0, 0), Vector(100, 0, 0)});
        const std::string before = Keys(*column);
        column->BeginUndoStep();
        edit.run(*column);
        column->EndUndoStep();
        const std::string after = Keys(*column);
        ASSERT_NE(after, before);
        ASSERT_TRUE(scene.control.Undo());
        EXPECT_EQ(Keys(*column), before);
        ASSERT_TRUE(scene.control.Redo());
        EXPECT_EQ(Keys(*column), after);
    }
    // Delete from the menu; undo brings a column back through the loader.
    WallScene scene;
    Column* column = AddColumn(scene, {Vector(0, 0, 0)});
    column->SetHeight(50.0);
    const std::string before = KeysWithoutObjectIds(*column);
    column->BeginUndoStep();
    EXPECT_TRUE(column->ProcessPropertyMenu(104));
    EXPECT_EQ(scene.control.scene.GetHead(), nullptr);
    ASSERT_TRUE(scene.control.Undo());
    auto* back = dynamic_cast<Column*>(scene.control.scene.GetHead());
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(KeysWithoutObjectIds(*back), before);
    scene.control.deletedObjects.DeleteAll();
}

}  // namespace
