#include <gtest/gtest.h>

#include <vector>

#include "foundation/ViewState.h"
#include "model/SceneView.h"
#include "support/WallFixtures.h"

namespace {

// A view whose pick-polygon test answers from a script, one answer per call, and keeps
// the shapes it was asked about.
class ScriptedView : public SceneView {
public:
    int GetViewId() const override { return 0; }
    RenderState& GetRenderState() override { return state; }
    bool HitTestPolygon(const Vector* points, int count, bool) override {
        asked.emplace_back(points, points + count);
        const bool answer = next < answers.size() ? answers[next] : true;
        ++next;
        return answer;
    }
    Vector GetSectionPlane() const override { return Vector(); }
    int GetPassCount() const override { return 0; }
    UndoableObject* GetTraceImage() const override { return nullptr; }
    void DeleteTraceImage() override {}
    MouseHandler* GetCurrentMode() const override { return nullptr; }

    RenderState state;
    std::vector<bool> answers;
    size_t next = 0;
    std::vector<std::vector<Vector>> asked;
};

// A slab is culled unless its outline lies in the view; one thicker than 10.0 also needs
// a face in it.
TEST(BaseSlabCullTest, ThickSlabsNeedAFaceInTheView) {
    WallScene s;
    struct Case {
        const char* what;
        double thickness;
        std::vector<bool> answers;  // outline, face A, face B
        bool culled;
        size_t tests;
    };
    const Case cases[] = {
        {"outline in view", 12.0, {false}, false, 1},
        {"thin, outline out", 8.0, {true}, true, 1},
        {"thin at the limit", 10.0, {true}, true, 1},
        {"thick, outline out, face A in", 12.0, {true, false}, false, 2},
        {"thick, everything out", 12.0, {true, true, true}, true, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Wall* wall = s.Add(Vector(0, 0, 0), Vector(100, 0, 0), 80.0, c.thickness);
        ScriptedView view;
        view.answers = c.answers;
        EXPECT_EQ(wall->IsInWindowView(view), c.culled);
        EXPECT_EQ(view.asked.size(), c.tests);
        EXPECT_EQ(view.asked[0].size(), static_cast<size_t>(wall->GetOutline().GetPrimaryCount()));
        s.control.scene.DeleteAll();
    }
}

// The texture coordinates of the faces run along the slab's texture direction from its
// first node; the outside face's run the other way across.
TEST(BaseSlabCullTest, FaceTextureCoordinates) {
    WallScene s;
    Wall* wall = s.Add(Vector(0, 0, 0), Vector(100, 0, 0), 80.0, 10.0);
    const Vector first = wall->GetOutline().GetPrimaryPoints()[0].position;
    const Vector point(first.x + 30.0, first.y + 20.0, first.z);
    // Outside drawing there is no current surface: the edge answer for no edge.
    const Vector none = wall->GetTextureCoordinate(point, nullptr);
    EXPECT_EQ(none.x, 0.0);
    EXPECT_EQ(none.y, 0.0);
    OutlineEdge* edge = wall->GetOutline().GetPrimaryPoints()[0].edge;
    const Vector along = wall->GetTextureCoordinate(point, edge);
    EXPECT_NEAR(along.y, 30.0, 1e-9) << "distance along the bottom edge";
}

}  // namespace
