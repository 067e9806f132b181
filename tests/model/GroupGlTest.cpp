#include <GL/gl.h>
#include <gtest/gtest.h>

#include <string>

#include "model/Group.h"
#include "model/Model.h"
#include "support/GlTestContext.h"
#include "support/SceneFixtures.h"

namespace {

double ModelViewTranslationX() {
    double m[16] = {};
    glGetDoublev(GL_MODELVIEW_MATRIX, m);
    return m[12];
}

Model* MakeModel(double x) {
    auto* model = new Model;
    BoundingBox box;
    box.min.Set(0, 0, 0, 1);
    box.max.Set(10, 10, 10, 1);
    model->SetBoundingBox(box);
    model->SetPosition(Vector(x, 0, 0));
    return model;
}

class GroupGlTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(gl.IsValid()) << gl.Error();
        // A storey band that holds the group.
        control.floorState.SetDouble(4, 1.0);
        control.wallState.SetDouble(5, 100.0);
        for (double x : {0.0, 30.0}) {
            Model* model = MakeModel(x);
            control.scene.Append(model);
            model->SetSelected(true);
        }
        group = new Group;
        ASSERT_TRUE(Group::CreateGroup(group));
        // Grouping took and gave up the render lock, which leaves no context current.
        ASSERT_TRUE(gl.MakeCurrent());
    }

    std::string Status() const { return control.statusBar.caption; }

    GlTestContext gl{32, 32};
    SceneTestControl control;
    Group* group = nullptr;
};

TEST_F(GroupGlTest, SelectedGroupShowsItsStatusAndLeavesTheMatrixAsItFoundIt) {
    struct Case {
        bool locked;
        const char* status;
    };
    for (const Case& c : {Case{false, "Grouped object.  Choose Ungroup from the Edit menu"},
                          Case{true, "LOCKED (right click to unlock)"}}) {
        control.statusBar.caption[0] = 0;
        group->SetLocked(c.locked);
        group->RotateAboutAxis(1, 30.0);
        const double before = ModelViewTranslationX();
        group->Render();
        EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
        EXPECT_EQ(ModelViewTranslationX(), before);
        EXPECT_NE(Status().find(c.status), std::string::npos) << Status();
    }
}

TEST_F(GroupGlTest, HiddenModelsOrBandsHideTheGroup) {
    group->SetSelected(true);
    control.view->GetRenderState().SetInt64(0, TypeBit::kCatalogueModel);
    group->Render();
    EXPECT_TRUE(Status().empty()) << Status();
    control.view->GetRenderState().SetInt64(0, 0);
    control.floorState.SetDouble(4, 200.0);
    group->Render();
    EXPECT_TRUE(Status().empty()) << Status();
    control.floorState.SetDouble(4, 1.0);
    group->SetVisible(false);
    group->Render();
    EXPECT_TRUE(Status().empty()) << Status();
    group->SetVisible(true);
    group->Render();
    EXPECT_FALSE(Status().empty());
}

}  // namespace
