#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "model/BaseModel.h"
#include "model/ModelGeometry.h"
#include "model/Part.h"
#include "render/Material.h"
#include "support/GeometryFile.h"
#include "support/TempFolder.h"
#include "support/TraceLogTail.h"

// The reader without an OpenGL context: the part tree, decoded positions (through part
// centres), materials, animations and the bounds on what the file says. Display lists
// are tested on OSMesa in ModelGeometryGlTest.
namespace {

std::vector<BasePart*> PartsOf(LinkedList& list) {
    std::vector<BasePart*> parts;
    for (LinkedListObject* n = list.GetHead(); n; n = n->GetNext())
        parts.push_back(dynamic_cast<BasePart*>(n));
    return parts;
}

class ModelGeometryTest : public ::testing::Test {
protected:
    // Reads `file` into a model with `materials` grey materials.
    BaseModel& Read(const GeometryFile& file, int materials = 2, const char* name = "m.geo") {
        model.LoadMaterials(nullptr, 0, nullptr, nullptr, nullptr);
        if (materials > 1) {
            KeyDataList list;
            for (int i = 0; i < materials; ++i)
                list.AddSublist("Material")->AddDouble("Reflectivity", 1.0);
            delete[] model.ReleaseMaterials();
            model.LoadMaterials(&list, materials, nullptr, nullptr, nullptr);
        }
        const std::string path = folder.Path() + name;
        file.Save(path);
        parsed = model.ParseGeometryFile(path.c_str());
        return model;
    }

    TempFolder folder;
    BaseModel model;
    bool parsed = false;
};

TEST_F(ModelGeometryTest, VerticesDecodeRelativeToTheFirstInYUpSpace) {
    // Steps of +32767, -32767 and 0 give first + range, first - range and first.
    GeometryFile g;
    g.Vertices({10, 20, 30}, {4, 6, 8}, {100, -3, 0.5}, {{32767, 0, -32767}, {-32767, 32767, 0}})
        .PartEnd()
        .Vertices({1, 1, 1}, {2, 2, 2}, {0, 0, 0}, {{16384, 16384, 16384}})
        .PartEnd()
        .End();
    Read(g);
    ASSERT_TRUE(parsed);
    auto parts = PartsOf(model.GetParts());
    ASSERT_EQ(parts.size(), 2u);
    // x over 6..14, y over 20..26, z over 22..30; (x, y, z) -> (x, z, -y).
    const Vector c = static_cast<Part*>(parts[0])->centre;
    EXPECT_NEAR(c.x, 10.0, 1e-9);
    EXPECT_NEAR(c.y, 26.0, 1e-9);
    EXPECT_NEAR(c.z, -23.0, 1e-9);
    const double half = 1.0 + 16384.0 / 32767.0;
    const Vector d = static_cast<Part*>(parts[1])->centre;
    EXPECT_NEAR(d.x, half, 1e-9);
    EXPECT_NEAR(d.y, half, 1e-9);
    EXPECT_NEAR(d.z, -half, 1e-9);
}

TEST_F(ModelGeometryTest, EndTokenAloneGivesNothing) {
    GeometryFile g;
    g.End();
    model.triangleCount = 9;
    Read(g);
    EXPECT_TRUE(parsed);
    EXPECT_TRUE(model.GetParts().IsEmpty());
    EXPECT_EQ(model.triangleCount, 0u);
}

TEST_F(ModelGeometryTest, OnlyGeometryNamesAreRead) {
    GeometryFile g;
    g.Triangle().PartEnd().End();
    {
        TraceLogTail trace;
        Read(g, 1, "m.cab");
        EXPECT_FALSE(parsed);
        EXPECT_TRUE(trace.Contains("Attempting to parse non-geometry file."));
    }
    EXPECT_TRUE(model.GetParts().IsEmpty());
    // ".geo" anywhere in the name will do.
    Read(g, 1, "chair.geo.bak");
    EXPECT_TRUE(parsed);
    EXPECT_EQ(model.GetParts().GetCount(), 1u);
    EXPECT_FALSE(model.ParseGeometryFile((folder.Path() + "missing.geo").c_str()));
}

TEST_F(ModelGeometryTest, MaterialReferencesCarryAndRestartInNestedLevels) {
    GeometryFile g;
    g.MaterialRef(1).Triangle().PartEnd().Triangle().PartEnd();
    g.GroupBegin().Triangle().PartEnd().LevelEnd();
    // Out of range: reported and material 0; so is a negative one.
    g.MaterialRef(7).Triangle().PartEnd().MaterialRef(-2).Triangle().PartEnd().End();
    TraceLogTail trace;
    Read(g);
    auto parts = PartsOf(model.GetParts());
    ASSERT_EQ(parts.size(), 5u);
    EXPECT_EQ(static_cast<Part*>(parts[0])->material, &model.materials[1]);
    EXPECT_EQ(static_cast<Part*>(parts[1])->material, &model.materials[1]);
    auto* group = dynamic_cast<PartGroup*>(parts[2]);
    ASSERT_NE(group, nullptr);
    EXPECT_EQ(static_cast<Part*>(group->GetMembers().GetHead())->material, &model.materials[0]);
    EXPECT_EQ(static_cast<Part*>(parts[3])->material, &model.materials[0]);
    EXPECT_EQ(static_cast<Part*>(parts[4])->material, &model.materials[0]);
    EXPECT_TRUE(trace.Contains("MaterialRef too high"));
    EXPECT_EQ(model.triangleCount, 5u);
}

TEST_F(ModelGeometryTest, AnimationGoesToTheGroupBeforeGeometryAndToTheNextPartAfter) {
    GeometryFile g;
    g.GroupBegin()
        .Animation(2, {1, 2, 3}, {0, 0, 1}, M_PI / 2, {0, 0, 0})
        .Triangle()
        .Animation(1, {0, 0, 0}, {0, 0, 1}, 0.0, {5, 0, 0})
        .PartEnd()
        .Triangle()
        .PartEnd()
        .LevelEnd()
        .Animation(1, {0, 0, 0}, {0, 0, 1}, 0.0, {1, 0, 0})
        .Triangle()
        .PartEnd()
        .End();
    Read(g);
    auto parts = PartsOf(model.GetParts());
    ASSERT_EQ(parts.size(), 2u);
    auto* group = dynamic_cast<PartGroup*>(parts[0]);
    ASSERT_NE(group, nullptr);
    ASSERT_NE(group->GetAnimation(), nullptr);
    EXPECT_EQ(group->GetAnimation()->kind, 2);
    EXPECT_NEAR(group->GetAnimation()->angle, 90.0, 1e-9);
    EXPECT_EQ(group->GetAnimation()->transform[12], 1.0);
    EXPECT_EQ(group->GetAnimation()->transform[14], 3.0);
    auto members = PartsOf(group->GetMembers());
    ASSERT_EQ(members.size(), 2u);
    ASSERT_NE(members[0]->GetAnimation(), nullptr);
    EXPECT_EQ(members[0]->GetAnimation()->translation.x, 5.0);
    EXPECT_EQ(members[1]->GetAnimation(), nullptr);
    // At the top level there is no group: the animation waits for the next part.
    ASSERT_NE(parts[1]->GetAnimation(), nullptr);
    EXPECT_EQ(parts[1]->GetAnimation()->kind, 1);
}

TEST_F(ModelGeometryTest, SubObjectPartsFlagsOutlineAndIgnoredTokens) {
    std::array<double, 16> m{};
    for (int i = 0; i < 16; ++i) m[i] = i + 1;
    GeometryFile g;
    g.Token(7).OutlinePoints({{1, 2, 3}}).OutlinePoints({{4, 5, 6}, {7, 8, 9}}, 18);
    g.SubObject("Seat").SubObjectTransform(m).Token(15).Triangle().PartEnd();
    g.GroupBegin().SubObjectTransform(m).Token(16).Triangle().PartEnd().LevelEnd();
    g.LevelEnd();
    // Outside a sub-object part the transform is read and dropped.
    g.SubObjectTransform(m).Triangle().PartEnd().End();
    TraceLogTail trace;
    Read(g);
    EXPECT_FALSE(trace.Contains("Invalid token reported."));

    ASSERT_EQ(model.GetOutlinePoints().size(), 2u);
    EXPECT_EQ(model.GetOutlinePoints()[1].z, 9.0);  // unchanged axes
    auto parts = PartsOf(model.GetParts());
    ASSERT_EQ(parts.size(), 2u);
    auto* seat = dynamic_cast<SubObjectPart*>(parts[0]);
    ASSERT_NE(seat, nullptr);
    EXPECT_STREQ(seat->GetName(), "Seat");
    // A nested group passes the transform on to the enclosing sub-object part: the
    // second one wins. Rows (x, y, z, w) become (x, z, -y, w).
    EXPECT_EQ(std::vector<double>(seat->transform, seat->transform + 4),
              (std::vector<double>{1, 3, -2, 4}));
    EXPECT_EQ(seat->transform[13], 15.0);
    auto members = PartsOf(seat->GetMembers());
    ASSERT_EQ(members.size(), 2u);
    EXPECT_EQ(static_cast<Part*>(members[0])->faceViewer, 1);
    auto* inner = dynamic_cast<PartGroup*>(members[1]);
    ASSERT_NE(inner, nullptr);
    EXPECT_EQ(static_cast<Part*>(inner->GetMembers().GetHead())->faceViewerUpright, 1);
    EXPECT_EQ(static_cast<Part*>(inner->GetMembers().GetHead())->faceViewer, 0);
    EXPECT_TRUE(model.HasSubObject("SEAT"));
    EXPECT_FALSE(model.HasSubObject("Arm"));
}

TEST_F(ModelGeometryTest, UnknownTokensAreReportedAndSkipped) {
    GeometryFile g;
    g.Token(5).Token(0x100).Triangle().PartEnd().End();
    TraceLogTail trace;
    Read(g);
    EXPECT_TRUE(trace.Contains("Invalid token reported."));
    EXPECT_EQ(model.GetParts().GetCount(), 1u);
}

TEST_F(ModelGeometryTest, AFileCutShortKeepsTheCompletedParts) {
    // Cut inside the second vertex token.
    GeometryFile cut;
    cut.Triangle().PartEnd().Vertices({0, 0, 0}, {1, 1, 1}, {0, 0, 0}, {{1, 1, 1}});
    cut.bytes.erase(cut.bytes.end() - 3, cut.bytes.end());
    Read(cut);
    EXPECT_EQ(model.GetParts().GetCount(), 1u);
}

TEST_F(ModelGeometryTest, CountsBeyondTheFileStopTheReading) {
    // Each count claims far more records than follow; nothing is allocated for them and
    // reading ends with the parts built so far.
    for (uint16_t token : {1, 2, 3, 4, 9}) {
        SCOPED_TRACE(token);
        model.GetParts().DeleteAll();
        GeometryFile g;
        g.Triangle().PartEnd().Token(token).U32(0xFFFFFFF0u).Triangle().PartEnd().End();
        TraceLogTail trace;
        Read(g);
        EXPECT_EQ(model.GetParts().GetCount(), 1u);
        EXPECT_TRUE(trace.Contains("does not fit the file"));
    }
}

TEST_F(ModelGeometryTest, FacesOutsideTheirListsAndDeepNestingStayBounded) {
    // A face beyond the vertices and texture indices beyond the coordinates build a part
    // with no texture trouble; nesting past the limit ends the reading.
    GeometryFile g;
    g.Triangle().Faces({{0, 1, 2, 7, 1}, {0, 1, 99, 7, 1}}).TexIndices({{0, 5, 1000}});
    g.PartEnd();
    for (int i = 0; i < GeometryReader::kMaxDepth + 5; ++i) g.GroupBegin();
    g.Triangle().PartEnd();
    TraceLogTail trace;
    Read(g);
    auto parts = PartsOf(model.GetParts());
    ASSERT_GE(parts.size(), 2u);
    EXPECT_EQ(static_cast<Part*>(parts[0])->textured, 1);
    EXPECT_EQ(model.triangleCount, 2u);
    EXPECT_TRUE(trace.Contains("Geometry nesting too deep"));
}

TEST_F(ModelGeometryTest, TransparentAndClearMaterialsMarkTheModel) {
    GeometryFile g;
    g.Triangle().PartEnd().MaterialRef(1).Triangle().PartEnd().End();
    model.LoadMaterials(nullptr, 0, nullptr, nullptr, nullptr);
    KeyDataList list;
    list.AddSublist("Material");
    list.AddSublist("Material");
    delete[] model.ReleaseMaterials();
    model.LoadMaterials(&list, 2, nullptr, nullptr, nullptr);
    model.materials[1].alpha = 0.5;
    const std::string path = folder.Path() + "t.geo";
    g.Save(path);
    model.ParseGeometryFile(path.c_str());
    EXPECT_EQ(model.hasTransparentParts, 1);
    EXPECT_EQ(model.hasClearPart, 0);
    // No texture indices: the parts are not textured.
    EXPECT_EQ(static_cast<Part*>(model.GetParts().GetHead())->textured, 0);
}

// Vertex normals: one table of small meshes.
TEST(SmoothNormalsTest, GroupsShareCornerNormals) {
    // Two triangles of the plane y = 0 and one standing up along the shared edge.
    const std::vector<Vector> v = {{0, 0, 0}, {1, 0, 0}, {0, 0, 1}, {1, 0, 1}, {0, 1, 0}};
    struct Case {
        const char* what;
        std::vector<GeometryFace> faces;
        uint32_t face, vertex;
        Vector expected;
    };
    const double r = std::sqrt(0.5);
    const std::vector<Case> cases = {
        {"flat face", {{0, 2, 1, 0, 0}}, 0, 0, {0, 1, 0}},
        {"coplanar faces of one group equal one face",
         {{0, 2, 1, 0, 3}, {1, 2, 3, 0, 3}},
         0,
         1,
         {0, 1, 0}},
        {"faces at right angles average", {{0, 2, 1, 0, 3}, {0, 1, 4, 0, 3}}, 0, 0, {0, r, r}},
        {"another group does not take part", {{0, 2, 1, 0, 3}, {0, 1, 4, 0, 4}}, 0, 0, {0, 1, 0}},
        {"group 0 never smooths", {{0, 2, 1, 0, 0}, {0, 1, 4, 0, 0}}, 0, 0, {0, 1, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SmoothNormals normals(v, c.faces);
        const Vector n = normals.Normal(c.face, c.vertex);
        EXPECT_NEAR(n.x, c.expected.x, 1e-9);
        EXPECT_NEAR(n.y, c.expected.y, 1e-9);
        EXPECT_NEAR(n.z, c.expected.z, 1e-9);
    }
}

}  // namespace
