#include "render/OpenGL.h"

#include <GL/glu.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "foundation/Trace.h"

GLEntryPoints theGLEntryPoints;
OpenGL theOpenGL;

void (*TexCoord2d)(GLdouble s, GLdouble t) = glTexCoord2d;
void (*TexCoord2dv)(const GLdouble* v) = glTexCoord2dv;

namespace {

void GLTrace(const char* text) {
    TraceWrite(text);
}

template <typename Pointer>
void Fetch(Pointer& slot, GLProcResolver resolve, const char* name) {
    slot = reinterpret_cast<Pointer>(resolve(name));
}

std::string Upper(const char* text) {
    std::string s(text);
    for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

bool ContainsName(const char* text, const char* name) {
    if (!text || !name) return false;
    return Upper(text).find(Upper(name)) != std::string::npos;
}

const char* CurrentGLExtensions() {
    if (!platform::GLContext::IsAnyCurrent()) return nullptr;
    return reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS));
}

void MultiTexCoord2d(GLdouble s, GLdouble t) {
    theGLEntryPoints.MultiTexCoord2dARB(GL_TEXTURE0_ARB, s, t);
}
void MultiTexCoord2dv(const GLdouble* v) {
    theGLEntryPoints.MultiTexCoord2dvARB(GL_TEXTURE0_ARB, v);
}

// Per vertex: the unit vector to the light in tangent space, turned by the given angle,
// packed into the primary colour for DOT3 combining; texture coordinate 0 through the
// texture matrix; coordinates 1 and 2 from the eye-linear planes of units 1 and 2.
const char kLightingProgramARB[] =
    "!!ARBvp1.0\n"
    "OPTION ARB_position_invariant;\n"
    "PARAM lightPosition = program.env[0];\n"
    "PARAM lightAngle = program.env[1];\n"
    "PARAM tangent = program.env[2];\n"
    "PARAM biNormal = program.env[3];\n"
    "PARAM inNormal = program.env[4];\n"
    "PARAM inCosSinAngle = program.local[0];\n"
    "PARAM modelView[4] = { state.matrix.modelview };\n"
    "PARAM texture0[4] = { state.matrix.texture[0] };\n"
    "PARAM eye1S = state.texgen[1].eye.s;\n"
    "PARAM eye1T = state.texgen[1].eye.t;\n"
    "PARAM eye1R = state.texgen[1].eye.r;\n"
    "PARAM eye1Q = state.texgen[1].eye.q;\n"
    "PARAM eye2S = state.texgen[2].eye.s;\n"
    "PARAM eye2T = state.texgen[2].eye.t;\n"
    "PARAM eye2R = state.texgen[2].eye.r;\n"
    "PARAM eye2Q = state.texgen[2].eye.q;\n"
    "PARAM half = { 0.5, 0.5, 0.5, 0.0 };\n"
    "TEMP toLight, local, turned, eyePosition;\n"
    "SUB toLight, lightPosition, vertex.position;\n"
    "DP3 toLight.w, toLight, toLight;\n"
    "RSQ toLight.w, toLight.w;\n"
    "MUL toLight.xyz, toLight, toLight.w;\n"
    "DP3 local.x, toLight, tangent;\n"
    "DP3 local.y, toLight, -biNormal;\n"
    "DP3 local.z, toLight, inNormal;\n"
    "MUL turned.x, local.x, inCosSinAngle.x;\n"
    "MAD turned.x, -local.y, inCosSinAngle.y, turned.x;\n"
    "MUL turned.y, local.x, inCosSinAngle.y;\n"
    "MAD turned.y, local.y, inCosSinAngle.x, turned.y;\n"
    "MOV turned.z, local.z;\n"
    "MAD result.color.primary.xyz, turned, half, half;\n"
    "MOV result.color.primary.w, vertex.color.w;\n"
    "DP4 result.texcoord[0].x, texture0[0], vertex.texcoord[0];\n"
    "DP4 result.texcoord[0].y, texture0[1], vertex.texcoord[0];\n"
    "DP4 result.texcoord[0].z, texture0[2], vertex.texcoord[0];\n"
    "DP4 result.texcoord[0].w, texture0[3], vertex.texcoord[0];\n"
    "DP4 eyePosition.x, modelView[0], vertex.position;\n"
    "DP4 eyePosition.y, modelView[1], vertex.position;\n"
    "DP4 eyePosition.z, modelView[2], vertex.position;\n"
    "DP4 eyePosition.w, modelView[3], vertex.position;\n"
    "DP4 result.texcoord[1].x, eye1S, eyePosition;\n"
    "DP4 result.texcoord[1].y, eye1T, eyePosition;\n"
    "DP4 result.texcoord[1].z, eye1R, eyePosition;\n"
    "DP4 result.texcoord[1].w, eye1Q, eyePosition;\n"
    "DP4 result.texcoord[2].x, eye2S, eyePosition;\n"
    "DP4 result.texcoord[2].y, eye2T, eyePosition;\n"
    "DP4 result.texcoord[2].z, eye2R, eyePosition;\n"
    "DP4 result.texcoord[2].w, eye2Q, eyePosition;\n"
    "END\n";

// The same computation with tracked matrices in registers 0 (modelview-projection),
// 4 (modelview) and 16 (texture), texgen planes in 8-11 and 12-15, (0.5, 0.5, 0.5, 0) in
// 20, tangent, binormal and normal in 21-23, the light position in 24 and the cosine and
// sine of the turn in 25.
const char kLightingProgramNV[] =
    "!!VP1.1\n"
    "OPTION NV_position_invariant;\n"
    "ADD R0, c[24], -v[OPOS];\n"
    "DP3 R0.w, R0, R0;\n"
    "RSQ R0.w, R0.w;\n"
    "MUL R0.xyz, R0, R0.w;\n"
    "DP3 R1.x, R0, c[21];\n"
    "DP3 R1.y, R0, -c[22];\n"
    "DP3 R1.z, R0, c[23];\n"
    "MUL R2.x, R1.x, c[25].x;\n"
    "MAD R2.x, -R1.y, c[25].y, R2.x;\n"
    "MUL R2.y, R1.x, c[25].y;\n"
    "MAD R2.y, R1.y, c[25].x, R2.y;\n"
    "MOV R2.z, R1.z;\n"
    "MAD o[COL0].xyz, R2, c[20], c[20];\n"
    "MOV o[COL0].w, v[COL0].w;\n"
    "DP4 o[TEX0].x, c[16], v[TEX0];\n"
    "DP4 o[TEX0].y, c[17], v[TEX0];\n"
    "DP4 o[TEX0].z, c[18], v[TEX0];\n"
    "DP4 o[TEX0].w, c[19], v[TEX0];\n"
    "DP4 R3.x, c[4], v[OPOS];\n"
    "DP4 R3.y, c[5], v[OPOS];\n"
    "DP4 R3.z, c[6], v[OPOS];\n"
    "DP4 R3.w, c[7], v[OPOS];\n"
    "DP4 o[TEX1].x, c[8], R3;\n"
    "DP4 o[TEX1].y, c[9], R3;\n"
    "DP4 o[TEX1].z, c[10], R3;\n"
    "DP4 o[TEX1].w, c[11], R3;\n"
    "DP4 o[TEX2].x, c[12], R3;\n"
    "DP4 o[TEX2].y, c[13], R3;\n"
    "DP4 o[TEX2].z, c[14], R3;\n"
    "DP4 o[TEX2].w, c[15], R3;\n"
    "END\n";

}  // namespace

// ---- pixel formats --------------------------------------------------------------------

OpenGL::OpenGL() = default;

OpenGL::~OpenGL() = default;

bool OpenGL::SetPixelFormat(platform::GLDrawable* drawable,
                            platform::PixelFormatDescription* description) {
    if (!PRECONDITION(drawable != nullptr && description != nullptr, "No drawable")) return false;
    platform::PixelFormatRequest request;
    request.drawToWindow = true;
    request.doubleBuffer = true;
    request.colorBits = 24;
    request.accumBits = 24;
    request.depthBits = 24;
    request.stencilBits = 8;
    const int index = platform::ChoosePixelFormat(request);
    if (index == 0 || !drawable->SetPixelFormat(index) ||
        !platform::DescribePixelFormat(index, description)) {
        GLTrace("No pixel format");
        return false;
    }
    if (description->needsPalette) {
        GLTrace("Got Palette");
        return false;
    }
    pixelFormat = index;
    stencilBits = description->stencilBits;
    depthBits = description->depthBits;
    hardwareAccelerated = description->generic ? 0 : 1;
    theTrace().WriteFormat("Bits: Stncl: %i, Dpth: %i, Clr: %i", stencilBits, depthBits,
                           description->colorBits);
    return true;
}

bool OpenGL::SetMultisamplePixelFormat(platform::GLDrawable* drawable) {
    if (!PRECONDITION(drawable != nullptr, "No drawable")) return false;
    platform::PixelFormatRequest request;
    request.drawToWindow = true;
    request.doubleBuffer = true;
    request.sampleBuffers = 1;
    request.samples = 4;
    request.colorBits = 24;
    request.alphaBits = 8;
    request.depthBits = 24;
    request.stencilBits = 8;
    const int index = platform::ChoosePixelFormat(request);
    platform::PixelFormatDescription d;
    if (index == 0 || !platform::DescribePixelFormat(index, &d) ||
        !drawable->SetPixelFormat(index)) {
        GLTrace("No multisample pixel format");
        return false;
    }
    pixelFormat = index;
    hardwareAccelerated = d.accelerated ? 1 : 0;
    depthBits = d.depthBits;
    stencilBits = d.stencilBits;
    return true;
}

// ---- extension probe ------------------------------------------------------------------

void OpenGL::ProbeExtensions(const char* glExtensions, const char* windowSystemExtensions,
                             int textureUnits, GLProcResolver resolve) {
    std::fill(std::begin(extensions), std::end(extensions), 0);
    nvVertexProgram = 0;
    GLEntryPoints& e = theGLEntryPoints;
    const auto windowSystemGetter = e.GetExtensionsString;
    e = GLEntryPoints{};
    e.GetExtensionsString = windowSystemGetter;
    auto gl = [&](const char* name) { return ContainsName(glExtensions, name); };
    auto ws = [&](const char* name) { return ContainsName(windowSystemExtensions, name); };
    const bool threeUnits = textureUnits >= 3;

    if (gl("GL_ARB_TEXTURE_BORDER_CLAMP")) extensions[kExtBorderClamp] = 1;
    if (gl("GL_EXT_TEXTURE_ENV_COMBINE")) extensions[kExtEnvCombine] = 1;
    if (gl("GL_EXT_TEXTURE_ENV_DOT3")) extensions[kExtEnvDot3] = 1;
    if (gl("GL_ARB_IMAGING")) {
        extensions[kExtImaging] = 1;
        Fetch(e.BlendEquation, resolve, "glBlendEquation");
        Fetch(e.BlendColor, resolve, "glBlendColor");
    }
    GLTrace("LN_707");
    if (gl("GL_EXT_BLEND_MINMAX")) {
        extensions[kExtBlendMinMax] = 1;
        Fetch(e.BlendEquation, resolve, "glBlendEquationEXT");
    }
    if (gl("GL_EXT_BGRA")) extensions[kExtBGRA] = 1;
    if (threeUnits && gl("GL_ARB_VERTEX_PROGRAM")) {
        extensions[kExtVertexProgram] = 1;
        Fetch(e.ProgramStringARB, resolve, "glProgramStringARB");
        Fetch(e.GenProgramsARB, resolve, "glGenProgramsARB");
        Fetch(e.BindProgramARB, resolve, "glBindProgramARB");
        Fetch(e.DeleteProgramsARB, resolve, "glDeleteProgramsARB");
        Fetch(e.ProgramEnvParameter4dvARB, resolve, "glProgramEnvParameter4dvARB");
        Fetch(e.ProgramLocalParameter4dvARB, resolve, "glProgramLocalParameter4dvARB");
    }
    GLTrace("LN_750");
    if (gl("GL_EXT_COMPILED_VERTEX_ARRAY")) {
        extensions[kExtCompiledVertexArray] = 1;
        Fetch(e.LockArraysEXT, resolve, "glLockArraysEXT");
        Fetch(e.UnlockArraysEXT, resolve, "glUnlockArraysEXT");
    }
    if (gl("GL_ARB_MULTITEXTURE")) {
        extensions[kExtMultitexture] = 1;
        Fetch(e.MultiTexCoord2iARB, resolve, "glMultiTexCoord2iARB");
        Fetch(e.MultiTexCoord2fvARB, resolve, "glMultiTexCoord2fvARB");
        Fetch(e.MultiTexCoord2dvARB, resolve, "glMultiTexCoord2dvARB");
        Fetch(e.MultiTexCoord2dARB, resolve, "glMultiTexCoord2dARB");
        Fetch(e.MultiTexCoord3fARB, resolve, "glMultiTexCoord3fARB");
        Fetch(e.MultiTexCoord3fvARB, resolve, "glMultiTexCoord3fvARB");
        Fetch(e.ActiveTextureARB, resolve, "glActiveTextureARB");
    }
    GLTrace("LN_796");
    if (gl("nv_register_combiners")) {
        extensions[kExtRegisterCombiners] = 1;
        Fetch(e.CombinerParameterfvNV, resolve, "glCombinerParameterfvNV");
        Fetch(e.CombinerParameterivNV, resolve, "glCombinerParameterivNV");
        Fetch(e.CombinerParameterfNV, resolve, "glCombinerParameterfNV");
        Fetch(e.CombinerParameteriNV, resolve, "glCombinerParameteriNV");
        Fetch(e.CombinerInputNV, resolve, "glCombinerInputNV");
        Fetch(e.CombinerOutputNV, resolve, "glCombinerOutputNV");
        Fetch(e.FinalCombinerInputNV, resolve, "glFinalCombinerInputNV");
        Fetch(e.GetCombinerInputParameterfvNV, resolve, "glGetCombinerInputParameterfvNV");
        Fetch(e.GetCombinerInputParameterivNV, resolve, "glGetCombinerInputParameterivNV");
        Fetch(e.GetCombinerOutputParameterfvNV, resolve, "glGetCombinerOutputParameterfvNV");
        Fetch(e.GetCombinerOutputParameterivNV, resolve, "glGetCombinerOutputParameterivNV");
        Fetch(e.GetFinalCombinerInputParameterfvNV, resolve,
              "glGetFinalCombinerInputParameterfvNV");
        Fetch(e.GetFinalCombinerInputParameterivNV, resolve,
              "glGetFinalCombinerInputParameterivNV");
    }
    if (gl("GL_NV_texture_rectangle")) extensions[kExtTextureRectangle] = 1;
    if (gl("GL_ARB_texture_compression")) extensions[kExtTextureCompression] = 1;
    // Off-screen buffers are a service of the platform's GL layer: nothing to fetch.
    if (threeUnits && ws("wgl_arb_pbuffer")) extensions[kExtPixelBuffer] = 1;
    if (gl("GL_ARB_DEPTH_TEXTURE") && gl("GL_ARB_shadow")) extensions[kExtDepthTextureShadow] = 1;
    GLTrace("LN_895");
    if (!extensions[kExtVertexProgram] && threeUnits && gl("GL_NV_VERTEX_PROGRAM")) {
        extensions[kExtVertexProgram] = 1;
        nvVertexProgram = 1;
        Fetch(e.BindProgramNV, resolve, "glBindProgramNV");
        Fetch(e.GenProgramsNV, resolve, "glGenProgramsNV");
        Fetch(e.LoadProgramNV, resolve, "glLoadProgramNV");
        Fetch(e.DeleteProgramsNV, resolve, "glDeleteProgramsNV");
        Fetch(e.TrackMatrixNV, resolve, "glTrackMatrixNV");
        Fetch(e.ProgramParameter4fvNV, resolve, "glProgramParameter4fvNV");
        Fetch(e.ProgramParameter4dvNV, resolve, "glProgramParameter4dvNV");
    }
    GLTrace("eBIE");
}

TempWindow::TempWindow(const void* /*parent*/, const char* /*title*/, int /*x*/, int /*y*/,
                       int width, int height) {
    GLTrace("TW::OC");
    window = platform::GLDrawable::CreateForWindow(width, height);
    GLTrace("TW::OCa");
    if (!openGL.SetPixelFormat(window.get(), &pixelFormatDescriptor)) return;
    GLTrace("TW::OCb");
    renderingContext = platform::GLContext::Create(openGL.pixelFormat);
    if (renderingContext) renderingContext->MakeCurrent(*window);
    GLTrace("TW::OCc");
}

TempWindow::~TempWindow() {
    if (renderingContext && platform::GLContext::Current() == renderingContext.get())
        platform::GLContext::DetachCurrent();
    renderingContext.reset();
    window.reset();
}

void InitGLExtensions(const void* parent, OpenGL& gl) {
    if (!parent) GLTrace("NULL Parent parameter");
    GLTrace("IE begin");
    GLTrace("IE a");
    gl.tempWindow = new TempWindow(parent, "Temp Window", 0, 0, 400, 400);
    GLTrace("IE b");
    const bool haveContext = platform::GLContext::Current() != nullptr;
    GLTrace(haveContext ? "Context available after create" : "No context available after create");

    GLTrace("BIE <a");
    GLTrace(haveContext ? "Context available BIE" : "No context BIE");
    GLTrace("BIE a");
    theGLEntryPoints.GetExtensionsString = platform::WindowSystemExtensions;
    GLTrace("GL ExtensionString: ");
    const char* glExtensions = CurrentGLExtensions();
    if (!glExtensions) GLTrace("No GL Extensions supported");
    const char* wsExtensions = theGLEntryPoints.GetExtensionsString();
    GLTrace(wsExtensions ? "wgl ExtensionString: " : "No wgl extension string supported");
    GLint units = 0;
    if (haveContext) glGetIntegerv(GL_MAX_TEXTURE_UNITS_ARB, &units);
    gl.ProbeExtensions(glExtensions, wsExtensions, units, platform::GetGLProcAddress);

    delete gl.tempWindow;
    gl.tempWindow = nullptr;
}

bool HasGLExtension(int index) {
    if (index < 0 || index >= kExtensionCount) return false;
    return theOpenGL.extensions[index] != 0;
}

bool IsExtensionSupported(const char* name, ExtensionSource source, const char* text) {
    switch (source) {
        case ExtensionSource::GL:
            return ContainsName(CurrentGLExtensions(), name);
        case ExtensionSource::WindowSystem:
            if (!theGLEntryPoints.GetExtensionsString) return false;
            return ContainsName(theGLEntryPoints.GetExtensionsString(), name);
        case ExtensionSource::Text:
            return ContainsName(text, name);
    }
    return false;
}

int ComputeShadingLevel(const OpenGL& gl) {
    const bool multitexture = gl.extensions[kExtMultitexture] != 0;
    const bool vertexProgram = gl.extensions[kExtVertexProgram] != 0;
    const bool shadow = gl.extensions[kExtDepthTextureShadow] != 0;
    if (multitexture && shadow && vertexProgram) return 200;
    if (multitexture && vertexProgram) return 100;
    if (multitexture) return 50;
    return 0;
}

void SelectTexCoordFunctions(bool multitexture) {
    if (multitexture && theGLEntryPoints.MultiTexCoord2dARB &&
        theGLEntryPoints.MultiTexCoord2dvARB) {
        TexCoord2d = MultiTexCoord2d;
        TexCoord2dv = MultiTexCoord2dv;
    } else {
        TexCoord2d = glTexCoord2d;
        TexCoord2dv = glTexCoord2dv;
    }
}

// ---- vertex program -------------------------------------------------------------------

void LoadVertexPrograms() {
    OpenGL& gl = theOpenGL;
    const GLEntryPoints& e = theGLEntryPoints;
    if (!gl.extensions[kExtVertexProgram]) return;
    if (gl.nvVertexProgram) {
        if (!e.GenProgramsNV || !e.LoadProgramNV || !e.TrackMatrixNV || !e.ProgramParameter4fvNV)
            return;
        e.GenProgramsNV(1, &gl.vertexProgram);
        e.LoadProgramNV(GL_VERTEX_PROGRAM_NV, gl.vertexProgram,
                        static_cast<GLsizei>(std::strlen(kLightingProgramNV)),
                        reinterpret_cast<const GLubyte*>(kLightingProgramNV));
        e.TrackMatrixNV(GL_VERTEX_PROGRAM_NV, 0, GL_MODELVIEW_PROJECTION_NV, GL_IDENTITY_NV);
        e.TrackMatrixNV(GL_VERTEX_PROGRAM_NV, 4, GL_MODELVIEW, GL_IDENTITY_NV);
        e.TrackMatrixNV(GL_VERTEX_PROGRAM_NV, 16, GL_TEXTURE, GL_IDENTITY_NV);
        const GLfloat half[4] = {0.5f, 0.5f, 0.5f, 0.0f};
        e.ProgramParameter4fvNV(GL_VERTEX_PROGRAM_NV, 20, half);
        const GLfloat noTurn[4] = {1.0f, 0.0f, 0.0f, 0.0f};
        e.ProgramParameter4fvNV(GL_VERTEX_PROGRAM_NV, 25, noTurn);
        return;
    }
    if (!e.GenProgramsARB || !e.BindProgramARB || !e.ProgramStringARB) return;
    e.GenProgramsARB(1, &gl.vertexProgram);
    e.BindProgramARB(GL_VERTEX_PROGRAM_ARB, gl.vertexProgram);
    e.ProgramStringARB(GL_VERTEX_PROGRAM_ARB, GL_PROGRAM_FORMAT_ASCII_ARB,
                       static_cast<GLsizei>(std::strlen(kLightingProgramARB)), kLightingProgramARB);
    GLint errorPosition = -1;
    glGetIntegerv(GL_PROGRAM_ERROR_POSITION_ARB, &errorPosition);
    if (errorPosition != -1) {
        const char* message =
            reinterpret_cast<const char*>(glGetString(GL_PROGRAM_ERROR_STRING_ARB));
        theTrace().WriteFormat("Vertex program error at %i: %s", errorPosition,
                               message ? message : "");
    }
}

void BindLightingProgram() {
    const OpenGL& gl = theOpenGL;
    const GLEntryPoints& e = theGLEntryPoints;
    if (!gl.extensions[kExtVertexProgram]) return;
    if (gl.nvVertexProgram) {
        if (!e.BindProgramNV) return;
        e.BindProgramNV(GL_VERTEX_PROGRAM_NV, gl.vertexProgram);
        glEnable(GL_VERTEX_PROGRAM_NV);
    } else {
        if (!e.BindProgramARB) return;
        glEnable(GL_VERTEX_PROGRAM_ARB);
        e.BindProgramARB(GL_VERTEX_PROGRAM_ARB, gl.vertexProgram);
    }
}

void ReleaseLightingProgram() {
    const OpenGL& gl = theOpenGL;
    const GLEntryPoints& e = theGLEntryPoints;
    if (!gl.extensions[kExtVertexProgram]) return;
    if (gl.nvVertexProgram) {
        if (e.BindProgramNV) e.BindProgramNV(GL_VERTEX_PROGRAM_NV, gl.vertexProgram);
    } else {
        if (e.BindProgramARB) e.BindProgramARB(GL_VERTEX_PROGRAM_ARB, gl.vertexProgram);
    }
    glDisable(GL_VERTEX_PROGRAM_ARB);
}

// ---- texture combining ----------------------------------------------------------------

void SetupDot3Combine() {
    const GLEntryPoints& e = theGLEntryPoints;
    if (!theOpenGL.extensions[kExtMultitexture] || !e.ActiveTextureARB) return;
    e.ActiveTextureARB(GL_TEXTURE0_ARB);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_COMBINE_ARB);
    glTexEnvi(GL_TEXTURE_ENV, GL_COMBINE_RGB_ARB, GL_REPLACE);
    glTexEnvi(GL_TEXTURE_ENV, GL_SOURCE0_RGB_ARB, GL_PRIMARY_COLOR_ARB);
    glTexEnvi(GL_TEXTURE_ENV, GL_OPERAND0_RGB_ARB, GL_SRC_COLOR);
    glTexEnvi(GL_TEXTURE_ENV, GL_COMBINE_ALPHA_ARB, GL_REPLACE);
    glTexEnvi(GL_TEXTURE_ENV, GL_SOURCE0_ALPHA_ARB, GL_TEXTURE);
    glTexEnvi(GL_TEXTURE_ENV, GL_OPERAND0_ALPHA_ARB, GL_SRC_ALPHA);
    e.ActiveTextureARB(GL_TEXTURE1_ARB);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_COMBINE_ARB);
    glTexEnvi(GL_TEXTURE_ENV, GL_COMBINE_RGB_ARB, GL_REPLACE);
    glTexEnvi(GL_TEXTURE_ENV, GL_SOURCE0_RGB_ARB, GL_PREVIOUS_ARB);
    glTexEnvi(GL_TEXTURE_ENV, GL_OPERAND0_RGB_ARB, GL_SRC_COLOR);
    glTexEnvi(GL_TEXTURE_ENV, GL_COMBINE_ALPHA_ARB, GL_ADD_SIGNED_ARB);
    glTexEnvi(GL_TEXTURE_ENV, GL_SOURCE0_ALPHA_ARB, GL_PREVIOUS_ARB);
    glTexEnvi(GL_TEXTURE_ENV, GL_OPERAND0_ALPHA_ARB, GL_SRC_ALPHA);
    glTexEnvi(GL_TEXTURE_ENV, GL_SOURCE1_ALPHA_ARB, GL_TEXTURE);
    glTexEnvi(GL_TEXTURE_ENV, GL_OPERAND1_ALPHA_ARB, GL_ONE_MINUS_SRC_ALPHA);
}

void SetupRegisterCombiners(int mode) {
    const GLEntryPoints& e = theGLEntryPoints;
    if (!theOpenGL.extensions[kExtRegisterCombiners] || !e.CombinerParameteriNV ||
        !e.CombinerInputNV || !e.CombinerOutputNV || !e.FinalCombinerInputNV)
        return;
    if (!PRECONDITION(mode == 1 || mode == 2, "Combiner mode is 1 or 2")) return;
    // "One" is zero inverted.
    auto one = [&](GLenum stage, GLenum portion, GLenum variable) {
        e.CombinerInputNV(stage, portion, variable, GL_ZERO, GL_UNSIGNED_INVERT_NV,
                          portion == GL_ALPHA ? GL_ALPHA : GL_RGB);
    };
    auto zero = [&](GLenum stage, GLenum portion, GLenum variable) {
        e.CombinerInputNV(stage, portion, variable, GL_ZERO, GL_UNSIGNED_IDENTITY_NV,
                          portion == GL_ALPHA ? GL_ALPHA : GL_RGB);
    };
    const GLenum s0 = GL_COMBINER0_NV, s1 = GL_COMBINER1_NV;
    if (mode == 1) {
        e.CombinerParameteriNV(GL_NUM_GENERAL_COMBINERS_NV, 1);
        e.CombinerOutputNV(s0, GL_RGB, GL_DISCARD_NV, GL_DISCARD_NV, GL_DISCARD_NV, GL_NONE,
                           GL_NONE, GL_FALSE, GL_FALSE, GL_FALSE);
        one(s0, GL_ALPHA, GL_VARIABLE_A_NV);
        e.CombinerInputNV(s0, GL_ALPHA, GL_VARIABLE_B_NV, GL_TEXTURE0_ARB, GL_SIGNED_IDENTITY_NV,
                          GL_ALPHA);
        one(s0, GL_ALPHA, GL_VARIABLE_C_NV);
        e.CombinerInputNV(s0, GL_ALPHA, GL_VARIABLE_D_NV, GL_TEXTURE1_ARB, GL_SIGNED_NEGATE_NV,
                          GL_ALPHA);
        e.CombinerOutputNV(s0, GL_ALPHA, GL_DISCARD_NV, GL_DISCARD_NV, GL_SPARE0_NV, GL_NONE,
                           GL_NONE, GL_FALSE, GL_FALSE, GL_FALSE);
    } else {
        e.CombinerParameteriNV(GL_NUM_GENERAL_COMBINERS_NV, 2);
        one(s0, GL_RGB, GL_VARIABLE_A_NV);
        e.CombinerInputNV(s0, GL_RGB, GL_VARIABLE_B_NV, GL_TEXTURE0_ARB, GL_SIGNED_IDENTITY_NV,
                          GL_RGB);
        one(s0, GL_RGB, GL_VARIABLE_C_NV);
        e.CombinerInputNV(s0, GL_RGB, GL_VARIABLE_D_NV, GL_TEXTURE1_ARB, GL_SIGNED_NEGATE_NV,
                          GL_RGB);
        e.CombinerOutputNV(s0, GL_RGB, GL_DISCARD_NV, GL_DISCARD_NV, GL_SPARE0_NV, GL_NONE, GL_NONE,
                           GL_FALSE, GL_FALSE, GL_FALSE);
        one(s0, GL_ALPHA, GL_VARIABLE_A_NV);
        e.CombinerInputNV(s0, GL_ALPHA, GL_VARIABLE_B_NV, GL_TEXTURE1_ARB, GL_UNSIGNED_IDENTITY_NV,
                          GL_ALPHA);
        one(s0, GL_ALPHA, GL_VARIABLE_C_NV);
        e.CombinerInputNV(s0, GL_ALPHA, GL_VARIABLE_D_NV, GL_TEXTURE0_ARB, GL_UNSIGNED_INVERT_NV,
                          GL_ALPHA);
        e.CombinerOutputNV(s0, GL_ALPHA, GL_DISCARD_NV, GL_DISCARD_NV, GL_SPARE0_NV, GL_NONE,
                           GL_BIAS_BY_NEGATIVE_ONE_HALF_NV, GL_FALSE, GL_FALSE, GL_FALSE);
        e.CombinerOutputNV(s1, GL_RGB, GL_DISCARD_NV, GL_DISCARD_NV, GL_DISCARD_NV, GL_NONE,
                           GL_NONE, GL_FALSE, GL_FALSE, GL_FALSE);
        one(s1, GL_ALPHA, GL_VARIABLE_A_NV);
        e.CombinerInputNV(s1, GL_ALPHA, GL_VARIABLE_B_NV, GL_SPARE0_NV, GL_SIGNED_IDENTITY_NV,
                          GL_BLUE);
        zero(s1, GL_ALPHA, GL_VARIABLE_C_NV);
        zero(s1, GL_ALPHA, GL_VARIABLE_D_NV);
        e.CombinerOutputNV(s1, GL_ALPHA, GL_DISCARD_NV, GL_DISCARD_NV, GL_SPARE0_NV, GL_NONE,
                           GL_NONE, GL_FALSE, GL_FALSE, GL_FALSE);
    }
    // The colour is the primary colour; G is the comparison in spare 0 alpha.
    e.FinalCombinerInputNV(GL_VARIABLE_A_NV, GL_ZERO, GL_UNSIGNED_INVERT_NV, GL_RGB);
    e.FinalCombinerInputNV(GL_VARIABLE_B_NV, GL_PRIMARY_COLOR_NV, GL_UNSIGNED_IDENTITY_NV, GL_RGB);
    e.FinalCombinerInputNV(GL_VARIABLE_C_NV, GL_ZERO, GL_UNSIGNED_IDENTITY_NV, GL_RGB);
    e.FinalCombinerInputNV(GL_VARIABLE_D_NV, GL_ZERO, GL_UNSIGNED_IDENTITY_NV, GL_RGB);
    e.FinalCombinerInputNV(GL_VARIABLE_G_NV, GL_SPARE0_NV, GL_UNSIGNED_IDENTITY_NV, GL_ALPHA);
    glEnable(GL_REGISTER_COMBINERS_NV);
}

void CreateIdentityTexture() {
    OpenGL& gl = theOpenGL;
    glGenTextures(1, &gl.identityTexture);
    if (gl.extensions[kExtRegisterCombiners]) {
        std::vector<GLubyte> texels(256 * 256 * 2);
        for (int r = 0; r < 256; ++r)
            for (int c = 0; c < 256; ++c) {
                texels[(r * 256 + c) * 2] = static_cast<GLubyte>(r);
                texels[(r * 256 + c) * 2 + 1] = static_cast<GLubyte>(c);
            }
        glBindTexture(GL_TEXTURE_2D, gl.identityTexture);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_LUMINANCE8_ALPHA8, 256, 256, 0, GL_LUMINANCE_ALPHA,
                     GL_UNSIGNED_BYTE, texels.data());
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
        return;
    }
    GLubyte ramp[256];
    for (int i = 0; i < 256; ++i) ramp[i] = static_cast<GLubyte>(i);
    glBindTexture(GL_TEXTURE_1D, gl.identityTexture);
    GLTrace("After identity texture bind");
    glTexImage1D(GL_TEXTURE_1D, 0, GL_INTENSITY8, 256, 0, GL_LUMINANCE, GL_UNSIGNED_BYTE, ramp);
    GLTrace("After identity texture creation");
    glTexParameteri(GL_TEXTURE_1D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_1D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_1D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    GLTrace("After identity texture tex param");
}

// ---- fonts ----------------------------------------------------------------------------

namespace {

bool BuildFont(const char* faceName, int points, GLuint* listBase,
               platform::GlyphMetrics* glyphMetrics, bool outline) {
    if (!PRECONDITION(listBase != nullptr && faceName != nullptr, "No list base")) return false;
    *listBase = 0;
    const int height = platform::LogicalPixelsY() * points / 72;
    auto font = platform::Font::Create(faceName, height, 400, false);
    if (!font) return false;
    const GLuint base = glGenLists(128);
    if (base == 0) return false;
    const bool built = outline ? font->UseOutlines(0, 128, base, 0.0f, 0.2f, glyphMetrics)
                               : font->UseBitmaps(0, 128, base);
    if (!built) {
        glDeleteLists(base, 128);
        return false;
    }
    *listBase = base;
    return true;
}

}  // namespace

bool BuildBitmapFont(const char* faceName, int points, GLuint* listBase) {
    return BuildFont(faceName, points, listBase, nullptr, false);
}

bool BuildOutlineFont(const char* faceName, int points, GLuint* listBase,
                      platform::GlyphMetrics* glyphMetrics) {
    return BuildFont(faceName, points, listBase, glyphMetrics, true);
}

// ---- projections ----------------------------------------------------------------------

void JitteredFrustum(double left, double right, double bottom, double top, double zNear,
                     double zFar, double pixelDx, double pixelDy, double eyeDx, double eyeDy,
                     double focus) {
    GLint viewport[4] = {0, 0, 0, 0};
    glGetIntegerv(GL_VIEWPORT, viewport);
    // An empty viewport has no pixels to jitter by; a zero focus no plane to keep.
    double dx = 0, dy = 0;
    if (viewport[2] > 0) dx -= pixelDx * (right - left) / viewport[2];
    if (viewport[3] > 0) dy -= pixelDy * (top - bottom) / viewport[3];
    if (focus != 0) {
        dx -= eyeDx * zNear / focus;
        dy -= eyeDy * zNear / focus;
    }
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glFrustum(left + dx, right + dx, bottom + dy, top + dy, zNear, zFar);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glTranslated(-eyeDx, -eyeDy, 0.0);
}

void JitteredPerspective(double fovY, double aspect, double zNear, double zFar, double pixelDx,
                         double pixelDy, double eyeDx, double eyeDy, double focus) {
    const double top = zNear * std::tan(fovY * M_PI / 360.0);
    const double right = top * aspect;
    JitteredFrustum(-right, right, -top, top, zNear, zFar, pixelDx, pixelDy, eyeDx, eyeDy, focus);
}

int ProjectMirrored(double objX, double objY, double objZ, const double modelview[16],
                    const double projection[16], const int viewport[4], double* winX, double* winY,
                    double* winZ) {
    const int result =
        gluProject(objX, objY, objZ, modelview, projection, viewport, winX, winY, winZ);
    // A point on the eye plane cannot be projected: the window position is left alone.
    if (result == GL_TRUE && *winZ > 1.0) {
        *winX = 1.0 - 2.0 * *winX + 0.5 * viewport[2] + 1.5 * viewport[0];
        *winY = 1.0 - 2.0 * *winY + 0.5 * viewport[3] + 1.5 * viewport[1];
    }
    *winZ = modelview[2] * objX + modelview[6] * objY + modelview[10] * objZ + modelview[14];
    return result;
}
