#include <GL/glu.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "render/OpenGL.h"

namespace {

// Stand-in entry points: every name resolves to an address of its own; the NV ones
// that the combiner and NV program paths call record what they were asked.
std::map<std::string, int> fakeAddresses;
std::vector<std::string> calls;

void* FakeResolve(const char* name) {
    static char cells[256];
    auto [it, added] = fakeAddresses.emplace(name, static_cast<int>(fakeAddresses.size()));
    return &cells[it->second % 256];
}

void RecordParameteri(GLenum, GLint value) {
    calls.push_back("CombinerParameteri " + std::to_string(value));
}
void RecordInput(GLenum stage, GLenum portion, GLenum, GLenum, GLenum, GLenum) {
    calls.push_back("CombinerInput " + std::to_string(stage - GL_COMBINER0_NV) +
                    (portion == GL_ALPHA ? " alpha" : " rgb"));
}
void RecordOutput(GLenum stage, GLenum portion, GLenum, GLenum, GLenum sum, GLenum, GLenum bias,
                  GLboolean, GLboolean, GLboolean) {
    calls.push_back("CombinerOutput " + std::to_string(stage - GL_COMBINER0_NV) +
                    (portion == GL_ALPHA ? " alpha" : " rgb") +
                    (sum == GL_SPARE0_NV ? " spare0" : " discard") +
                    (bias == GL_BIAS_BY_NEGATIVE_ONE_HALF_NV ? " bias" : ""));
}
void RecordFinal(GLenum variable, GLenum, GLenum, GLenum) {
    calls.push_back("FinalInput " +
                    std::string(1, static_cast<char>('A' + variable - GL_VARIABLE_A_NV)));
}
void RecordGenNV(GLsizei, GLuint* ids) {
    calls.push_back("GenProgramsNV");
    ids[0] = 7;
}
void RecordLoadNV(GLenum, GLuint id, GLsizei length, const GLubyte* text) {
    calls.push_back("LoadProgramNV " + std::to_string(id) + " " +
                    std::string(reinterpret_cast<const char*>(text), 7) +
                    (static_cast<size_t>(length) == std::strlen(reinterpret_cast<const char*>(text))
                         ? ""
                         : " bad length"));
}
void RecordTrack(GLenum, GLuint address, GLenum, GLenum transform) {
    calls.push_back("TrackMatrixNV " + std::to_string(address) +
                    (transform == GL_IDENTITY_NV ? " identity" : ""));
}
void RecordParameter4fv(GLenum, GLuint index, const GLfloat* v) {
    char text[96];
    std::snprintf(text, sizeof text, "ProgramParameter4fvNV %u %g %g %g %g", index, v[0], v[1],
                  v[2], v[3]);
    calls.push_back(text);
}

void* RecordingResolve(const char* name) {
    const std::map<std::string, void*> recorders = {
        {"glCombinerParameteriNV", reinterpret_cast<void*>(RecordParameteri)},
        {"glCombinerInputNV", reinterpret_cast<void*>(RecordInput)},
        {"glCombinerOutputNV", reinterpret_cast<void*>(RecordOutput)},
        {"glFinalCombinerInputNV", reinterpret_cast<void*>(RecordFinal)},
        {"glGenProgramsNV", reinterpret_cast<void*>(RecordGenNV)},
        {"glLoadProgramNV", reinterpret_cast<void*>(RecordLoadNV)},
        {"glTrackMatrixNV", reinterpret_cast<void*>(RecordTrack)},
        {"glProgramParameter4fvNV", reinterpret_cast<void*>(RecordParameter4fv)},
    };
    auto it = recorders.find(name);
    return it != recorders.end() ? it->second : nullptr;
}

std::set<int> FlagsOf(const OpenGL& gl) {
    std::set<int> flags;
    for (int i = 0; i < kExtensionCount; ++i)
        if (gl.extensions[i]) flags.insert(i);
    return flags;
}

class ExtensionProbe : public ::testing::Test {
protected:
    void TearDown() override {
        theOpenGL = OpenGL{};
        theGLEntryPoints = GLEntryPoints{};
        calls.clear();
    }
};

}  // namespace

TEST_F(ExtensionProbe, FlagsFollowTheStringsAndTextureUnits) {
    struct Case {
        const char* what;
        const char* gl;
        const char* ws;
        int units;
        std::set<int> flags;
        int nv;
        int shadingLevel;
    };
    const Case cases[] = {
        {"nothing", "", "", 4, {}, 0, 0},
        {"no strings at all", nullptr, nullptr, 4, {}, 0, 0},
        {"multitexture only", "GL_ARB_multitexture", "", 2, {0}, 0, 50},
        {"vertex program needs 3 units",
         "GL_ARB_multitexture GL_ARB_vertex_program",
         "",
         2,
         {0},
         0,
         50},
        {"vertex program with 4 units",
         "GL_ARB_multitexture GL_ARB_vertex_program",
         "",
         4,
         {0, 10},
         0,
         100},
        {"shadow compare",
         "GL_ARB_multitexture GL_ARB_vertex_program GL_ARB_depth_texture GL_ARB_shadow",
         "",
         4,
         {0, 5, 10},
         0,
         200},
        {"depth texture without shadow", "GL_ARB_depth_texture", "", 4, {}, 0, 0},
        {"ARB wins over NV", "GL_ARB_vertex_program GL_NV_vertex_program", "", 4, {10}, 0, 0},
        {"NV vertex program", "GL_ARB_multitexture GL_NV_vertex_program", "", 4, {0, 10}, 1, 100},
        {"NV vertex program needs 3 units too", "GL_NV_vertex_program", "", 2, {}, 0, 0},
        {"register combiners, any case",
         "GL_NV_REGISTER_COMBINERS gl_nv_texture_rectangle",
         "",
         1,
         {1, 2},
         0,
         0},
        {"substring of a longer name", "GL_ARB_texture_compression_rgtc", "", 1, {3}, 0, 0},
        {"pbuffer from the window-system string", "", "WGL_ARB_pbuffer", 4, {4}, 0, 0},
        {"pbuffer needs 3 units", "", "WGL_ARB_pbuffer", 2, {}, 0, 0},
        {"pbuffer is not a GL extension", "WGL_ARB_pbuffer", "", 4, {}, 0, 0},
        {"the rest",
         "GL_EXT_texture_env_combine GL_EXT_texture_env_dot3 GL_ARB_imaging "
         "GL_EXT_blend_minmax GL_EXT_compiled_vertex_array "
         "GL_ARB_texture_border_clamp GL_EXT_bgra",
         "",
         1,
         {7, 8, 9, 11, 12, 13, 14},
         0,
         0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        OpenGL gl;
        gl.extensions[6] = 1;  // cleared by every probe
        gl.ProbeExtensions(c.gl, c.ws, c.units, FakeResolve);
        EXPECT_EQ(FlagsOf(gl), c.flags);
        EXPECT_EQ(gl.nvVertexProgram, c.nv);
        EXPECT_EQ(ComputeShadingLevel(gl), c.shadingLevel);
    }
}

TEST_F(ExtensionProbe, MesaStringsGiveTheFullShadingLevel) {
    // The relevant names as the software renderer lists them, among many others.
    const char* mesa =
        "GL_ARB_multisample GL_EXT_abgr GL_EXT_bgra GL_EXT_blend_color GL_EXT_blend_minmax "
        "GL_EXT_blend_subtract GL_EXT_compiled_vertex_array GL_ARB_multitexture "
        "GL_ARB_texture_border_clamp GL_ARB_texture_compression GL_EXT_texture_env_combine "
        "GL_EXT_texture_env_dot3 GL_NV_texture_rectangle GL_ARB_depth_texture GL_ARB_shadow "
        "GL_ARB_texture_env_combine GL_ARB_texture_env_dot3 GL_ARB_fragment_program "
        "GL_ARB_vertex_program GL_ARB_vertex_shader GL_NV_texture_barrier";
    theOpenGL.ProbeExtensions(
        mesa, "WGL_ARB_extensions_string WGL_ARB_pixel_format WGL_ARB_pbuffer", 8, FakeResolve);
    EXPECT_EQ(FlagsOf(theOpenGL), (std::set<int>{0, 2, 3, 4, 5, 8, 9, 10, 11, 12, 13, 14}));
    EXPECT_EQ(theOpenGL.nvVertexProgram, 0);
    EXPECT_EQ(ComputeShadingLevel(), 200);
    EXPECT_TRUE(HasGLExtension(kExtMultitexture));
    EXPECT_FALSE(HasGLExtension(kExtRegisterCombiners));
    EXPECT_FALSE(HasGLExtension(-1));
    EXPECT_FALSE(HasGLExtension(kExtensionCount));
}

TEST_F(ExtensionProbe, EntryPointsOnlyForFoundExtensions) {
    OpenGL gl;
    gl.ProbeExtensions("GL_ARB_imaging", "", 4, FakeResolve);
    EXPECT_EQ(reinterpret_cast<void*>(theGLEntryPoints.BlendEquation),
              FakeResolve("glBlendEquation"));
    EXPECT_EQ(theGLEntryPoints.MultiTexCoord2dARB, nullptr);

    gl.ProbeExtensions("GL_ARB_imaging GL_EXT_blend_minmax", "", 4, FakeResolve);
    EXPECT_EQ(reinterpret_cast<void*>(theGLEntryPoints.BlendEquation),
              FakeResolve("glBlendEquationEXT"))
        << "blend min/max replaces the imaging entry point";
    EXPECT_NE(theGLEntryPoints.BlendColor, nullptr);

    gl.ProbeExtensions("", "", 4, FakeResolve);
    EXPECT_EQ(theGLEntryPoints.BlendEquation, nullptr) << "a new probe starts from nothing";
}

TEST_F(ExtensionProbe, ExtensionTestIsACaseInsensitiveSubstringTest) {
    EXPECT_TRUE(IsExtensionSupported("nv_register_combiners", ExtensionSource::Text,
                                     "GL_NV_register_combiners2"));
    EXPECT_TRUE(IsExtensionSupported("wgl_arb_pbuffer", ExtensionSource::Text, "WGL_ARB_pbuffer"));
    EXPECT_FALSE(IsExtensionSupported("GL_ARB_shadow", ExtensionSource::Text, "GL_ARB_shado"));
    EXPECT_FALSE(IsExtensionSupported("GL_ARB_shadow", ExtensionSource::Text, nullptr));
    EXPECT_FALSE(IsExtensionSupported("WGL_ARB_pbuffer", ExtensionSource::WindowSystem))
        << "no window-system string before the probe";
    EXPECT_FALSE(IsExtensionSupported("GL_ARB_multitexture", ExtensionSource::GL))
        << "no GL string without a current context";
}

TEST_F(ExtensionProbe, RegisterCombinersRunOnlyWithTheirFlag) {
    theOpenGL.ProbeExtensions("GL_ARB_multitexture", "", 4, RecordingResolve);
    SetupRegisterCombiners(1);
    EXPECT_TRUE(calls.empty());

    theOpenGL.ProbeExtensions("GL_NV_register_combiners", "", 4, RecordingResolve);
    SetupRegisterCombiners(1);
    const std::vector<std::string> mode1 = {"CombinerParameteri 1",
                                            "CombinerOutput 0 rgb discard",
                                            "CombinerInput 0 alpha",
                                            "CombinerInput 0 alpha",
                                            "CombinerInput 0 alpha",
                                            "CombinerInput 0 alpha",
                                            "CombinerOutput 0 alpha spare0",
                                            "FinalInput A",
                                            "FinalInput B",
                                            "FinalInput C",
                                            "FinalInput D",
                                            "FinalInput G"};
    EXPECT_EQ(calls, mode1);

    calls.clear();
    SetupRegisterCombiners(2);
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(calls.front(), "CombinerParameteri 2");
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "CombinerOutput 0 alpha spare0 bias"), 1);
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "CombinerInput 1 alpha"), 4);
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "CombinerInput 0 rgb"), 4);

    calls.clear();
    SetupRegisterCombiners(3);
    EXPECT_TRUE(calls.empty()) << "unknown mode";
}

TEST_F(ExtensionProbe, NVVertexProgramPathLoadsAndTracksMatrices) {
    theOpenGL.ProbeExtensions("GL_NV_vertex_program", "", 4, RecordingResolve);
    ASSERT_EQ(theOpenGL.nvVertexProgram, 1);
    LoadVertexPrograms();
    const std::vector<std::string> expected = {"GenProgramsNV",
                                               "LoadProgramNV 7 !!VP1.1",
                                               "TrackMatrixNV 0 identity",
                                               "TrackMatrixNV 4 identity",
                                               "TrackMatrixNV 16 identity",
                                               "ProgramParameter4fvNV 20 0.5 0.5 0.5 0",
                                               "ProgramParameter4fvNV 25 1 0 0 0"};
    EXPECT_EQ(calls, expected);
    EXPECT_EQ(theOpenGL.vertexProgram, 7u);

    calls.clear();
    theOpenGL.ProbeExtensions("GL_ARB_multitexture", "", 4, RecordingResolve);
    LoadVertexPrograms();
    EXPECT_TRUE(calls.empty()) << "no vertex programs, nothing loaded";
}

TEST(ShadingLevel, FollowsTheThreeFlags) {
    struct Case {
        bool multitexture, shadow, vertexProgram;
        int level;
    } cases[] = {{true, true, true, 200},
                 {true, false, true, 100},
                 {true, true, false, 50},
                 {true, false, false, 50},
                 {false, true, true, 0}};
    for (const Case& c : cases) {
        OpenGL gl;
        gl.extensions[kExtMultitexture] = c.multitexture;
        gl.extensions[kExtDepthTextureShadow] = c.shadow;
        gl.extensions[kExtVertexProgram] = c.vertexProgram;
        EXPECT_EQ(ComputeShadingLevel(gl), c.level);
    }
}

TEST(ProjectMirrored, MirrorsPointsBehindTheEyeAndGivesEyeDepth) {
    // Eye at the origin looking down -z, 90 degree field of view, 200 x 100 window at (10, 20).
    double modelview[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    double projection[16];
    {
        const double n = 1, f = 100;
        const double p[16] = {
            1, 0, 0, 0, 0, 2, 0, 0, 0, 0, -(f + n) / (f - n), -1, 0, 0, -2 * f * n / (f - n), 0};
        std::memcpy(projection, p, sizeof p);
    }
    const int viewport[4] = {10, 20, 200, 100};
    struct Case {
        double x, y, z;
    } cases[] = {{1, 0.5, -10}, {1, 0.5, 10}, {-3, -1, 4}};
    for (const Case& c : cases) {
        double gx, gy, gz;
        ASSERT_EQ(gluProject(c.x, c.y, c.z, modelview, projection, viewport, &gx, &gy, &gz),
                  GL_TRUE);
        double wx, wy, wz;
        EXPECT_EQ(ProjectMirrored(c.x, c.y, c.z, modelview, projection, viewport, &wx, &wy, &wz),
                  GL_TRUE);
        EXPECT_DOUBLE_EQ(wz, c.z) << "eye-space z";
        if (gz > 1.0) {
            EXPECT_GT(c.z, 0) << "only points behind the eye";
            EXPECT_DOUBLE_EQ(wx, 1.0 - 2.0 * gx + 0.5 * 200 + 1.5 * 10);
            EXPECT_DOUBLE_EQ(wy, 1.0 - 2.0 * gy + 0.5 * 100 + 1.5 * 20);
        } else {
            EXPECT_LT(c.z, 0);
            EXPECT_DOUBLE_EQ(wx, gx);
            EXPECT_DOUBLE_EQ(wy, gy);
        }
    }
}
