#include <GL/glu.h>
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

#include "render/OpenGL.h"
#include "render/TessCallbacks.h"

using platform::GLContext;
using platform::GLDrawable;

namespace {

// A stand-in for the object that owns a surface.
struct Surface {
    uint64_t mask;
};

uint64_t SurfaceMask(void* object) {
    return static_cast<Surface*>(object)->mask;
}
Vector SurfaceCoordinate(void* /*object*/, const Vector& p) {
    return Vector(p.x / 100, p.y / 50, 0);
}

struct FedVertex {
    float x, y;
    float red;  // lit by a light along +z: the z of the vertex normal
    float s, t;
};
using Triangle = std::vector<FedVertex>;

// Draws into a 100 x 100 window whose pixels are plan units, on the software renderer.
class TessCallbacks : public ::testing::Test {
protected:
    static constexpr int kSize = 100;
    void SetUp() override {
        platform::PixelFormatRequest r;
        const int format = platform::ChoosePixelFormat(r);
        window_ = GLDrawable::CreateForWindow(kSize, kSize);
        ASSERT_TRUE(window_->SetPixelFormat(format));
        context_ = GLContext::Create(format);
        ASSERT_TRUE(context_ && context_->MakeCurrent(*window_));
        glMatrixMode(GL_PROJECTION);
        glOrtho(0, kSize, 0, kSize, -1, 1);
        glMatrixMode(GL_MODELVIEW);
        SetTessObjectQueries({SurfaceMask, SurfaceCoordinate});
    }
    void TearDown() override {
        SetTessObjectQueries({});
        GLContext::DetachCurrent();
        theOpenGL = OpenGL{};
        theGLEntryPoints = GLEntryPoints{};
        SelectTexCoordFunctions(false);
    }

    // Runs `draw` in feedback mode with a light along +z and answers the triangles.
    template <typename Draw>
    std::vector<Triangle> Feed(Draw draw) {
        const GLfloat light[4] = {0, 0, 1, 0}, white[4] = {1, 1, 1, 1}, black[4] = {0, 0, 0, 1};
        glEnable(GL_LIGHTING);
        glEnable(GL_LIGHT0);
        glLightfv(GL_LIGHT0, GL_POSITION, light);
        glLightfv(GL_LIGHT0, GL_DIFFUSE, white);
        glLightfv(GL_LIGHT0, GL_AMBIENT, black);
        glLightfv(GL_LIGHT0, GL_SPECULAR, black);
        glLightModelfv(GL_LIGHT_MODEL_AMBIENT, black);
        glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE, white);
        glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, black);
        glMaterialfv(GL_FRONT_AND_BACK, GL_EMISSION, black);
        std::vector<GLfloat> buffer(4096);
        glFeedbackBuffer(static_cast<GLsizei>(buffer.size()), GL_3D_COLOR_TEXTURE, buffer.data());
        glRenderMode(GL_FEEDBACK);
        draw();
        const int used = glRenderMode(GL_RENDER);
        glDisable(GL_LIGHTING);
        std::vector<Triangle> triangles;
        for (int i = 0; i < used;) {
            const int token = static_cast<int>(buffer[i++]);
            if (token != GL_POLYGON_TOKEN) {
                ADD_FAILURE() << "unexpected feedback token " << token;
                break;
            }
            const int n = static_cast<int>(buffer[i++]);
            Triangle t;
            for (int v = 0; v < n; ++v, i += 11)
                t.push_back(
                    {buffer[i], buffer[i + 1], buffer[i + 3], buffer[i + 7], buffer[i + 8]});
            triangles.push_back(t);
        }
        return triangles;
    }

    std::unique_ptr<GLDrawable> window_;
    std::unique_ptr<GLContext> context_;
};

// Vertex k lies at (10 k, 10 (k % 2) + 10) with a normal whose z is 0.1 (k + 1).
TessVertexRecord Numbered(int k) {
    const double nz = 0.1 * (k + 1);
    return {10.0 * k + 10, 10.0 * (k % 2) + 10, 0, Vector(std::sqrt(1 - nz * nz), 0, nz)};
}

int NumberOf(const FedVertex& v) {
    return static_cast<int>(std::lround((v.x - 10) / 10));
}

std::vector<std::vector<int>> Numbers(const std::vector<Triangle>& triangles) {
    std::vector<std::vector<int>> out;
    for (const Triangle& t : triangles) {
        std::vector<int> corners;
        for (const FedVertex& v : t) corners.push_back(NumberOf(v));
        out.push_back(corners);
    }
    return out;
}

}  // namespace

TEST_F(TessCallbacks, PrimitivesBecomeWholeTriangles) {
    struct Case {
        const char* what;
        GLenum type;
        int count;
        std::vector<std::vector<int>> triangles;
    } cases[] = {
        {"strip keeps its winding", GL_TRIANGLE_STRIP, 5, {{0, 1, 2}, {2, 1, 3}, {2, 3, 4}}},
        {"fan shares its centre", GL_TRIANGLE_FAN, 5, {{0, 1, 2}, {0, 2, 3}, {0, 3, 4}}},
        {"triangles", GL_TRIANGLES, 6, {{0, 1, 2}, {3, 4, 5}}},
        {"a partial triangle draws nothing", GL_TRIANGLES, 2, {}},
    };
    Surface surface{kTessVertexNormalsMask};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<TessVertexRecord> records;
        for (int k = 0; k < c.count; ++k) records.push_back(Numbered(k));
        const auto triangles = Feed([&] {
            TessBegin(c.type, &surface);
            for (TessVertexRecord& r : records) TessVertex(&r, &surface);
        });
        EXPECT_EQ(Numbers(triangles), c.triangles);
        for (const Triangle& t : triangles)
            for (const FedVertex& v : t)
                EXPECT_NEAR(v.red, 0.1 * (NumberOf(v) + 1), 0.01)
                    << "each corner keeps its own normal";
    }
}

TEST_F(TessCallbacks, TextureCoordinatesComeFromTheObjectWhenItsTypeAsks) {
    struct Case {
        const char* what;
        uint64_t mask;
        bool fromObject;
    } cases[] = {
        {"wall-like type", 0x800, true},
        {"another textured type", 0x80000000000, true},
        {"a type outside the bits", 0x4, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Surface surface{c.mask};
        const auto triangles = Feed([&] {
            DrawTessTriangle(Vector(10, 10, 0), Vector(60, 10, 0), Vector(10, 40, 0), &surface);
        });
        ASSERT_EQ(triangles.size(), 1u);
        for (const FedVertex& v : triangles[0]) {
            EXPECT_NEAR(v.s, c.fromObject ? v.x / 100 : 0, 1e-5);
            EXPECT_NEAR(v.t, c.fromObject ? v.y / 50 : 0, 1e-5);
        }
    }
}

TEST_F(TessCallbacks, GluTessellatorFillsAPolygonWithAHole) {
    GLUtesselator* tessellator = gluNewTess();
    ASSERT_TRUE(tessellator);
    gluTessCallback(tessellator, GLU_TESS_BEGIN_DATA, reinterpret_cast<_GLUfuncptr>(TessBegin));
    gluTessCallback(tessellator, GLU_TESS_VERTEX_DATA, reinterpret_cast<_GLUfuncptr>(TessVertex));
    gluTessProperty(tessellator, GLU_TESS_WINDING_RULE, GLU_TESS_WINDING_ODD);
    Surface surface{0x800};
    std::vector<TessVertexRecord> outer = {
        {10, 10, 0, {}}, {90, 10, 0, {}}, {90, 90, 0, {}}, {10, 90, 0, {}}};
    std::vector<TessVertexRecord> hole = {
        {40, 40, 0, {}}, {40, 60, 0, {}}, {60, 60, 0, {}}, {60, 40, 0, {}}};
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glColor3f(1, 1, 1);
    gluTessBeginPolygon(tessellator, &surface);
    for (auto* contour : {&outer, &hole}) {
        gluTessBeginContour(tessellator);
        for (TessVertexRecord& r : *contour) gluTessVertex(tessellator, &r.x, &r);
        gluTessEndContour(tessellator);
    }
    gluTessEndPolygon(tessellator);
    gluDeleteTess(tessellator);
    auto red = [](int x, int y) {
        unsigned char rgba[4];
        glReadPixels(x, y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
        return rgba[0];
    };
    EXPECT_EQ(red(50, 50), 0) << "the hole stays open";
    EXPECT_EQ(red(5, 5), 0) << "nothing outside";
    int filled = 0;
    for (int y = 0; y < kSize; ++y)
        for (int x = 0; x < kSize; ++x) filled += red(x, y) == 255;
    EXPECT_EQ(filled, 80 * 80 - 20 * 20);
}

TEST_F(TessCallbacks, TangentSpaceGoesToTheLightingProgram) {
    InitGLExtensions(nullptr);
    ASSERT_TRUE(context_->MakeCurrent(*window_));
    ASSERT_TRUE(HasGLExtension(kExtVertexProgram));
    auto getEnv = reinterpret_cast<PFNGLGETPROGRAMENVPARAMETERDVARBPROC>(
        platform::GetGLProcAddress("glGetProgramEnvParameterdvARB"));
    ASSERT_TRUE(getEnv);
    auto env = [&](GLuint index) {
        std::vector<double> v(4);
        getEnv(GL_VERTEX_PROGRAM_ARB, index, v.data());
        return std::vector<double>{v[0], v[1], v[2]};
    };

    Surface surface{0x800};  // s along x, t along y (see SurfaceCoordinate)
    DrawTessTriangle(Vector(10, 10, 0), Vector(60, 10, 0), Vector(10, 40, 0), &surface);
    EXPECT_EQ(env(2), (std::vector<double>{1, 0, 0})) << "tangent";
    EXPECT_EQ(env(3), (std::vector<double>{0, 1, 0})) << "binormal";
    EXPECT_EQ(env(4), (std::vector<double>{0, 0, 1})) << "normal";

    // A triangle standing in the x-z plane whose corners share one texture coordinate:
    // the tangent and binormal stay, the normal follows the triangle.
    Surface flat{0x4};
    DrawTessTriangle(Vector(10, 10, 0), Vector(60, 10, 0), Vector(10, 10, -5), &flat);
    EXPECT_EQ(env(2), (std::vector<double>{1, 0, 0}));
    EXPECT_EQ(env(3), (std::vector<double>{0, 1, 0}));
    EXPECT_EQ(env(4), (std::vector<double>{0, 1, 0}));
}
