#include <GL/gl.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "model/BaseModel.h"
#include "model/ModelGeometry.h"
#include "model/Part.h"
#include "platform/Clock.h"
#include "render/Material.h"
#include "support/GeometryFile.h"
#include "support/GlTestContext.h"
#include "support/SceneFixtures.h"
#include "support/TempFolder.h"

// Display lists of parts, animation matrices and part drawing on OSMesa.
namespace {

struct Feedback {
    int triangles = 0;
    int lines = 0;
    std::vector<float> values;  // every vertex of the triangles, GL_3D_COLOR_TEXTURE
};

// Runs `list` through feedback mode: what primitives it draws.
Feedback Collect(GLuint list) {
    std::vector<GLfloat> buffer(1 << 16);
    glFeedbackBuffer(static_cast<GLsizei>(buffer.size()), GL_3D_COLOR_TEXTURE, buffer.data());
    glRenderMode(GL_FEEDBACK);
    glCallList(list);
    const int n = glRenderMode(GL_RENDER);
    Feedback out;
    constexpr int kVertex = 3 + 4 + 4;
    for (int i = 0; i < n;) {
        const auto token = static_cast<GLint>(buffer[i++]);
        if (token == GL_POLYGON_TOKEN) {
            const int count = static_cast<int>(buffer[i++]);
            ++out.triangles;
            out.values.insert(out.values.end(), buffer.begin() + i,
                              buffer.begin() + i + count * kVertex);
            i += count * kVertex;
        } else if (token == GL_LINE_TOKEN || token == GL_LINE_RESET_TOKEN) {
            ++out.lines;
            i += 2 * kVertex;
        } else {
            ADD_FAILURE() << "unexpected feedback token " << token;
            break;
        }
    }
    return out;
}

class ModelGeometryGlTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(gl.IsValid()) << gl.Error();
        control.view->viewId = 0;  // the main view
        GeometryReader::SetContextActivator([this] { gl.MakeCurrent(); });
        // Window coordinates equal object coordinates + 16 on a 32-pixel buffer.
        glViewport(0, 0, 32, 32);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glOrtho(-16, 16, -16, 16, -100, 100);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
    }
    void TearDown() override { GeometryReader::SetContextActivator(nullptr); }

    std::unique_ptr<BaseModel> Load(const GeometryFile& g) {
        auto model = std::make_unique<BaseModel>();
        model->LoadMaterials(nullptr, 0, nullptr, nullptr, nullptr);
        const std::string path = folder.Path() + "m.geo";
        g.Save(path);
        EXPECT_TRUE(model->StartDownload("http://h/m.3c_", path.c_str(), true));
        // Giving the render lock up detached the context.
        gl.MakeCurrent();
        return model;
    }

    GlTestContext gl{32, 32};
    TempFolder folder;
    SceneTestControl control;
};

TEST_F(ModelGeometryGlTest, FaceAndEdgeListsFollowTheFaces) {
    // Four vertices of a square in the file's x-y plane; edge flags 0, 7 and 1; a face
    // naming a vertex that does not exist draws nothing.
    GeometryFile g;
    g.Vertices({0, 0, 0}, {4, 4, 1}, {0, 0, 0}, {{32767, 0, 0}, {32767, 32767, 0}, {0, 32767, 0}});
    g.Faces({{0, 1, 2, 0, 0}, {0, 2, 3, 7, 0}, {0, 1, 3, 1, 0}, {0, 1, 9, 7, 0}}).PartEnd().End();
    for (uint8_t radeon : {0, 1}) {
        SCOPED_TRACE(radeon ? "vertex arrays" : "immediate mode");
        control.radeonRenderer = radeon;
        auto model = Load(g);
        auto* part = static_cast<Part*>(model->GetParts().GetHead());
        ASSERT_NE(part, nullptr);
        ASSERT_NE(part->faceList, Part::kNoList);
        ASSERT_TRUE(glIsList(part->faceList));
        EXPECT_EQ(Collect(part->faceList).triangles, 3);
        EXPECT_EQ(Collect(part->edgeList).lines, 4);
        EXPECT_EQ(part->textured, 0);
        EXPECT_EQ(model->triangleCount, 4u);
        const GLuint list = part->faceList;
        model.reset();
        gl.MakeCurrent();
        EXPECT_FALSE(glIsList(list));  // the lists go with the part
    }
    control.radeonRenderer = 0;
}

TEST_F(ModelGeometryGlTest, TextureCoordinatesComeThroughTheirIndices) {
    // Steps of +127 move a coordinate by its range.
    GeometryFile g;
    g.Triangle(0.0, 0)
        .TexCoords({0.25, 0.5}, {1.0, 2.0}, {0.0, 0.0}, {{127, 0}, {0, -127}})
        .TexIndices({{1, 2, 0}})
        .PartEnd()
        .End();
    for (uint8_t radeon : {0, 1}) {
        SCOPED_TRACE(radeon ? "vertex arrays" : "immediate mode");
        control.radeonRenderer = radeon;
        auto model = Load(g);
        auto* part = static_cast<Part*>(model->GetParts().GetHead());
        EXPECT_EQ(part->textured, 1);
        const Feedback fb = Collect(part->faceList);
        ASSERT_EQ(fb.triangles, 1);
        ASSERT_EQ(fb.values.size(), 33u);
        // Corner a: coordinate 1 = (1.25, 0.5); corner b: coordinate 2 = (0.25, -1.5);
        // corner c: coordinate 0. Positions: (0,0,0), (1,0,0), (0,0,-1) in Y-up space.
        EXPECT_FLOAT_EQ(fb.values[7], 1.25f);
        EXPECT_FLOAT_EQ(fb.values[8], 0.5f);
        EXPECT_FLOAT_EQ(fb.values[11 + 7], 0.25f);
        EXPECT_FLOAT_EQ(fb.values[11 + 8], -1.5f);
        EXPECT_FLOAT_EQ(fb.values[22 + 7], 0.25f);
        EXPECT_FLOAT_EQ(fb.values[11 + 0], 17.0f);  // x of corner b in the window
    }
    control.radeonRenderer = 0;
}

TEST_F(ModelGeometryGlTest, APartDrawsItsMaterialInItsPass) {
    // A square facing the viewer (file z = up becomes y; the file's -y faces +z).
    GeometryFile g;
    g.Vertices({-8, 0, -8}, {16, 1, 16}, {0, 0, 0},
               {{32767, 0, 0}, {32767, 0, 32767}, {0, 0, 32767}});
    g.Faces({{0, 1, 2, 0, 0}, {0, 2, 3, 0, 0}}).PartEnd().End();
    auto model = Load(g);
    model->materials[0].SetColor(1.0, 0.0, 0.0, 1.0);
    model->materials[0].halfAlphaOnce = 0;
    glDisable(GL_LIGHTING);
    glDisable(GL_DEPTH_TEST);
    glClearColor(0, 0, 0, 1);

    auto drawn = [&](bool transparentPass) {
        glClear(GL_COLOR_BUFFER_BIT);
        control.view->GetRenderState().SetBoolean(9, transparentPass);
        model->Render();
        return gl.ReadPixel(16, 16);
    };
    EXPECT_EQ(drawn(false)[0], 255);
    EXPECT_EQ(drawn(true)[0], 0);
    // Half alpha: only the transparent pass draws it (a model takes part in that pass
    // only when it knows it has see-through parts).
    model->materials[0].alpha = 0.5;
    EXPECT_EQ(drawn(true)[0], 0);
    model->hasTransparentParts = 1;
    EXPECT_EQ(drawn(false)[0], 0);
    EXPECT_GT(drawn(true)[0], 0);
    control.view->GetRenderState().SetBoolean(9, false);
}

double ModelViewTranslationX() {
    double m[16];
    glGetDoublev(GL_MODELVIEW_MATRIX, m);
    return m[12];
}

TEST_F(ModelGeometryGlTest, AnimationsOpenCloseAndLoop) {
    platform::ManualCounter clock(1000);
    PartAnimation a;
    a.kind = PartAnimation::kSlide;
    a.translation.Set(2.0, 0.0, 0.0, 1.0);
    // Applies the phase: answers the slide and whether it moved.
    auto step = [&](int64_t ms) {
        clock.AdvanceMilliseconds(ms);
        glLoadIdentity();
        const bool moved = a.Apply();
        const double x = ModelViewTranslationX();
        glPopMatrix();
        return std::make_pair(x, moved);
    };
    EXPECT_EQ(step(0), std::make_pair(0.0, false));
    a.Start();
    EXPECT_EQ(a.state, PartAnimation::kOpening);
    EXPECT_NEAR(step(1750).first, 1.0, 1e-9);
    auto open = step(1751);  // past 3.5 s: held open
    EXPECT_EQ(a.state, PartAnimation::kHeldOpen);
    EXPECT_EQ(open.first, 2.0);
    EXPECT_FALSE(step(5000).second);

    // Continuous: closes, then opens again, every 3.5 seconds.
    a.StartLoop(PartCommand::kAnimateContinuous);
    EXPECT_EQ(a.state, PartAnimation::kClosing);
    EXPECT_NEAR(step(875).first, 1.5, 1e-9);
    step(2626);
    EXPECT_EQ(a.state, PartAnimation::kOpening);
    step(3501);
    EXPECT_EQ(a.state, PartAnimation::kClosing);

    // Forward only: opens from closed each time.
    a.continuous = 0;
    a.state = PartAnimation::kClosed;
    a.StartLoop(PartCommand::kAnimateForwardOnly);
    EXPECT_NEAR(step(3000).first, 2.0 * 3000 / 3500, 1e-6);  // GL keeps floats
    EXPECT_EQ(step(501).first, 0.0);
    EXPECT_EQ(a.state, PartAnimation::kOpening);

    // The blueprint view shows it half open when asked, closed otherwise; nothing moves.
    control.view->GetRenderState().SetInteger(0, 1);
    a.showOpen = 1;
    EXPECT_EQ(step(100), std::make_pair(1.0, false));
    a.showOpen = 0;
    EXPECT_EQ(step(100).first, 0.0);
    control.view->GetRenderState().SetInteger(0, 0);
}

TEST_F(ModelGeometryGlTest, TurnAboutThePivot) {
    PartAnimation a;
    a.kind = PartAnimation::kTurn;
    a.transform[12] = 1.0;  // pivot (1, 0, 0) in file space
    a.axis.Set(0.0, 0.0, 1.0, 1.0);
    a.angle = 90.0;
    a.state = PartAnimation::kHeldOpen;
    a.t = 1.0;
    glLoadIdentity();
    a.Apply();
    // The origin turns a quarter about the vertical axis through (1, 0, 0).
    double m[16];
    glGetDoublev(GL_MODELVIEW_MATRIX, m);
    glPopMatrix();
    EXPECT_NEAR(m[12], 1.0, 1e-9);
    EXPECT_NEAR(m[14], -1.0, 1e-9);
}

}  // namespace
