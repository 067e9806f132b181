// Shadow depth maps of spot lights and the light pass that adds each light's
// contribution inside its frustum.

#include "render/ShadowMap.h"

#include <GL/gl.h>
#include <GL/glext.h>
#include <GL/glu.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "control/BaseControl.h"
#include "foundation/Trace.h"
#include "platform/GLContext.h"
#include "render/Bitmap.h"
#include "render/LightSource.h"
#include "render/OffScreenWindow.h"
#include "render/OpenGL.h"
#include "render/Window.h"

namespace {

constexpr int kHardwareShadows = 200;
constexpr int kVertexPrograms = 100;
constexpr int kMultitexture = 50;
constexpr double kProbeFar = 5000.0;
constexpr double kTextureFar = 1000.0;
constexpr double kDepthScale = 65535.0;
constexpr double kFitFactor = 0.99;
constexpr double kSmallestNear = 2.0;
constexpr double kFallbackNear = 100.0;
constexpr double kIdleNear = 140.0;
constexpr double kIdleFar = 1000.0;
constexpr GLuint kStencilLit = 8;

// The probe's samples, shared by every light (depth maps are made one at a time under the
// render lock).
uint16_t probeSamples[LightSource::kProbeSide * LightSource::kProbeSide];

void Row(const Matrix& m, int r, double out[4]) {
    for (int c = 0; c < 4; ++c) out[c] = m.m[4 * c + r];
}

void ActiveUnit(int unit) {
    if (theGLEntryPoints.ActiveTextureARB) theGLEntryPoints.ActiveTextureARB(GL_TEXTURE0 + unit);
}

void BlendEquation(GLenum mode) {
    if (theGLEntryPoints.BlendEquation) theGLEntryPoints.BlendEquation(mode);
}

void PolygonOffsetFrom(const GlobalState& global, int factorSlot) {
    glPolygonOffset(static_cast<GLfloat>(global.GetDouble(factorSlot)),
                    static_cast<GLfloat>(global.GetDouble(factorSlot + 1)));
}

void TexGenOff() {
    glDisable(GL_TEXTURE_GEN_S);
    glDisable(GL_TEXTURE_GEN_T);
    glDisable(GL_TEXTURE_GEN_R);
    glDisable(GL_TEXTURE_GEN_Q);
}

// The dot-product lighting of bump maps on the current unit.
void Dot3Unit() {
    glEnable(GL_TEXTURE_2D);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_COMBINE_ARB);
    glTexEnvi(GL_TEXTURE_ENV, GL_COMBINE_RGB_ARB, GL_DOT3_RGB_ARB);
    glTexEnvi(GL_TEXTURE_ENV, GL_SOURCE0_RGB_ARB, GL_PRIMARY_COLOR_ARB);
    glTexEnvi(GL_TEXTURE_ENV, GL_OPERAND0_RGB_ARB, GL_SRC_COLOR);
    glTexEnvi(GL_TEXTURE_ENV, GL_SOURCE1_RGB_ARB, GL_TEXTURE);
    glTexEnvi(GL_TEXTURE_ENV, GL_OPERAND1_RGB_ARB, GL_SRC_COLOR);
}

void ModulatePrevious() {
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_COMBINE_ARB);
    glTexEnvi(GL_TEXTURE_ENV, GL_COMBINE_RGB_ARB, GL_MODULATE);
    glTexEnvi(GL_TEXTURE_ENV, GL_SOURCE0_RGB_ARB, GL_PREVIOUS_ARB);
    glTexEnvi(GL_TEXTURE_ENV, GL_SOURCE1_RGB_ARB, GL_TEXTURE);
}

void ClampWraps() {
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP);
}

bool UseProgram(const GlobalState& global) {
    return !global.GetBoolean(26);
}

// Whether the eye lies inside the light's frustum.
bool EyeInsideFrustum(const LightSource& light, const Vector& eye) {
    Vector p(eye.x, eye.y, eye.z);
    p.w = 1.0;
    light.lightModelView.TransformVector4(p, p);
    light.shadowProjection.TransformVector4(p, p);
    if (p.w == 0.0) return false;
    for (double v : {p.x / p.w, p.y / p.w, p.z / p.w})
        if (v < -1.0 || v > 1.0) return false;
    return true;
}

Vector EyePosition(Window& window) {
    Matrix view(window.modelViewCache ? window.modelViewCache.get() : Matrix().m);
    Matrix inverse;
    if (!view.Invert(inverse)) return Vector();
    return Vector(inverse.m[12], inverse.m[13], inverse.m[14]);
}

}  // namespace

// ---- Pure parts ----

void ClampDepthMapSize(int& width, int& height, uint32_t bufferWidth, uint32_t bufferHeight) {
    width = std::clamp<int64_t>(width, 0, bufferWidth);
    height = std::clamp<int64_t>(height, 0, bufferHeight);
}

Matrix PerspectiveMatrix(double fovY, double aspect, double zNear, double zFar) {
    Matrix m;
    const double half = fovY / 2.0 * M_PI / 180.0;
    const double depth = zFar - zNear;
    const double sine = std::sin(half);
    if (depth == 0.0 || sine == 0.0 || aspect == 0.0) return m;
    const double cotangent = std::cos(half) / sine;
    std::fill(m.m, m.m + 16, 0.0);
    m.m[0] = cotangent / aspect;
    m.m[5] = cotangent;
    m.m[10] = -(zFar + zNear) / depth;
    m.m[11] = -1.0;
    m.m[14] = -2.0 * zNear * zFar / depth;
    return m;
}

Matrix ShadowBiasMatrix() {
    const double values[16] = {0.5, 0, 0, 0, 0, 0.5, 0, 0, 0, 0, 0.5, 0, 0.5, 0.5, 0.5, 1.0};
    return Matrix(values);
}

Matrix IdentityTextureBiasMatrix() {
    // Rows (0, 0, 0.5, 0.5), (0, 0, 128, 128), (0, 0, 0, 0), (0, 0, 0, 1), column-major.
    const double values[16] = {0, 0, 0, 0, 0, 0, 0, 0, 0.5, 128, 0, 0, 0.5, 128, 0, 1};
    return Matrix(values);
}

DepthRange FitDepthRange(const uint16_t* samples, int side, const Vector& lightPosition,
                         const double modelView[16], const double projection[16]) {
    DepthRange range{kFallbackNear, kIdleFar};
    if (!samples || side <= 0) return range;
    const int count = side * side;
    int nearest = 0;
    int farthest = 0;
    for (int i = 1; i < count; ++i) {
        if (samples[i] < samples[nearest]) nearest = i;
        if (samples[i] > samples[farthest]) farthest = i;
    }
    const GLint viewport[4] = {0, 0, side, side};
    auto axialDistance = [&](int index) {
        const double depth = samples[index] / kDepthScale;
        Vector p, c;
        gluUnProject(index % side, index / side, depth, modelView, projection, viewport, &p.x, &p.y,
                     &p.z);
        gluUnProject(side / 2, side / 2, depth, modelView, projection, viewport, &c.x, &c.y, &c.z);
        p.Subtract(lightPosition);
        c.Subtract(lightPosition);
        const double axis = c.Length();
        // Straight along the axis when the centre sample sits on the light.
        return axis > 0.0 ? p.Dot(c) / axis : p.Length();
    };
    range.nearPlane = kFitFactor * axialDistance(nearest);
    range.farPlane = kFitFactor * axialDistance(farthest);
    if (range.nearPlane < kSmallestNear) range.nearPlane = kFallbackNear;
    return range;
}

// ---- Light matrices ----

void LightSource::ComputeLightMatrices() {
    const double angle = state.GetDouble(0);
    projectedTextureProjection = PerspectiveMatrix(2.0 * angle, 1.0, 1.0, kTextureFar);
    projectedTextureProjection.Invert(inverseProjectedTextureProjection);
    shadowProjection = PerspectiveMatrix(2.0 * angle, 1.0, nearPlane, farPlane);
    shadowProjection.Invert(inverseShadowProjection);

    Matrix tilt;
    tilt.SetRotation(0, -90.0);
    Matrix orientation;
    rotation.Multiply(orientation, tilt);
    Matrix inverse;
    if (!orientation.Invert(inverse)) inverse.SetIdentity();
    Matrix back;
    back.SetTranslation(Vector(-position.x, -position.y, -position.z));
    inverse.Multiply(lightModelView, back);
    lightModelView.Invert(inverseLightModelView);
}

void LightSource::SetupLightMatrices(bool keep) {
    ComputeLightMatrices();
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadMatrixd(shadowProjection.m);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadMatrixd(lightModelView.m);
    if (!keep) {
        glPopMatrix();
        glMatrixMode(GL_PROJECTION);
        glPopMatrix();
        glMatrixMode(GL_MODELVIEW);
    }
}

void LightSource::SetupShadowTexGen(int which) {
    const BaseControl* control = theControl();
    Matrix partial, t;
    ShadowBiasMatrix().Multiply(partial, which ? projectedTextureProjection : shadowProjection);
    partial.Multiply(t, lightModelView);
    double rows[4][4];
    for (int r = 0; r < 4; ++r) Row(t, r, rows[r]);
    const GLenum coords[4] = {GL_S, GL_T, GL_R, GL_Q};
    for (int r : {0, 1, 3}) {
        glTexGeni(coords[r], GL_TEXTURE_GEN_MODE, GL_EYE_LINEAR);
        glTexGendv(coords[r], GL_EYE_PLANE, rows[r]);
    }
    glEnable(GL_TEXTURE_GEN_S);
    glEnable(GL_TEXTURE_GEN_T);
    glEnable(GL_TEXTURE_GEN_Q);
    if (theOpenGL.nvVertexProgram && theGLEntryPoints.ProgramParameter4dvNV) {
        theGLEntryPoints.ProgramParameter4dvNV(GL_VERTEX_PROGRAM_NV, 8, rows[0]);
        theGLEntryPoints.ProgramParameter4dvNV(GL_VERTEX_PROGRAM_NV, 9, rows[1]);
        theGLEntryPoints.ProgramParameter4dvNV(GL_VERTEX_PROGRAM_NV, 11, rows[3]);
    }
    const int level = control ? control->shadingLevel : 0;
    if (level == kHardwareShadows) {
        glTexGeni(GL_R, GL_TEXTURE_GEN_MODE, GL_EYE_LINEAR);
        glTexGendv(GL_R, GL_EYE_PLANE, rows[2]);
        glEnable(GL_TEXTURE_GEN_R);
        if (theOpenGL.nvVertexProgram && theGLEntryPoints.ProgramParameter4dvNV)
            theGLEntryPoints.ProgramParameter4dvNV(GL_VERTEX_PROGRAM_NV, 10, rows[2]);
    } else if (control && control->globalState.GetBoolean(8)) {
        glTexGendv(GL_T, GL_EYE_PLANE, rows[1]);
        glEnable(GL_TEXTURE_GEN_S);
        glEnable(GL_TEXTURE_GEN_T);
        glDisable(GL_TEXTURE_GEN_R);
    }
}

void LightSource::SetupIdentityTexGen() {
    Matrix partial, t;
    IdentityTextureBiasMatrix().Multiply(partial, shadowProjection);
    partial.Multiply(t, lightModelView);
    double s[4], q[4];
    Row(t, 0, s);
    Row(t, 3, q);
    const GLfloat sPlane[4] = {float(s[0]), float(s[1]), float(s[2]), float(s[3])};
    const GLfloat qPlane[4] = {float(q[0]), float(q[1]), float(q[2]), float(q[3])};
    glTexGeni(GL_S, GL_TEXTURE_GEN_MODE, GL_EYE_LINEAR);
    glTexGenfv(GL_S, GL_EYE_PLANE, sPlane);
    glTexGeni(GL_Q, GL_TEXTURE_GEN_MODE, GL_EYE_LINEAR);
    glTexGenfv(GL_Q, GL_EYE_PLANE, qPlane);
    glEnable(GL_TEXTURE_GEN_S);
    glEnable(GL_TEXTURE_GEN_Q);
    glDisable(GL_TEXTURE_GEN_T);
    glDisable(GL_TEXTURE_GEN_R);
}

// ---- Depth map ----

void LightSource::CreateDepthMap() {
    BaseControl* control = theControl();
    if (!control || !IsPositional() || control->shadingLevel == 0) return;
    GlobalState& global = control->globalState;
    OffScreenWindow* buffer = theOffScreenWindow();
    bool haveBuffer = buffer && buffer->HasBuffer();
    if (global.GetBoolean(18) && !(global.GetBoolean(13) && haveBuffer)) return;

    control->LockRender();
    const bool wasVisible = IsVisible();
    SetVisible(false);
    Window* window = control->activeWindow ? control->activeWindow : control->mainWindow;
    if (window) window->ApplyLayerMask();
    global.SetBoolean(15, true);

    int width = state.GetInteger(2);
    int height = state.GetInteger(3);
    if (haveBuffer && buffer->MakeCurrent()) {
        const bool shared = control->mainWindow &&
                            control->mainWindow->renderingContext == buffer->renderingContext;
        control->currentContextCode = shared ? 5 : 6;
        ClampDepthMapSize(width, height, buffer->width, buffer->height);
        state.SetInteger(2, width);
        state.SetInteger(3, height);
        if (depthTexture &&
            (uint32_t(width) != depthMapWidthUsed || uint32_t(height) != depthMapHeightUsed)) {
            // A map of another size is made anew; the old name goes.
            glDeleteTextures(1, &depthTexture);
            depthTexture = 0;
            depthBuffer.clear();
        }
    } else {
        haveBuffer = false;
        control->currentContextCode = 4;
    }
    depthMapWidthUsed = uint32_t(width);
    depthMapHeightUsed = uint32_t(height);

    // Nothing to draw into without a context.
    if (platform::GLContext::IsAnyCurrent() && width > 0 && height > 0) {
        theTrace().Write("After making context current in create depth map");
        glPushAttrib(GL_ALL_ATTRIB_BITS);
        glEnable(GL_DEPTH_TEST);
        glEnable(GL_CULL_FACE);
        glFrontFace(GL_CW);
        glShadeModel(GL_FLAT);

        if (!global.GetBoolean(18)) {
            glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
            nearPlane = 1.0;
            farPlane = kProbeFar;
            SetupLightMatrices(true);
            projectedTextureProjection = shadowProjection;
            PolygonOffsetFrom(global, 4);
            glViewport(0, 0, kProbeSide, kProbeSide);
            glDisable(GL_CULL_FACE);
            glEnable(GL_POLYGON_OFFSET_FILL);
            theTrace().Write("Before test depth map render");
            if (window) window->RenderAllObjects();
            theTrace().Write("After test depth map render");
            theTrace().Write("After ground for shadow");
            glFinish();
            glMatrixMode(GL_MODELVIEW);
            glPopMatrix();
            glMatrixMode(GL_PROJECTION);
            glPopMatrix();
            glMatrixMode(GL_MODELVIEW);
            glDisable(GL_POLYGON_OFFSET_FILL);
            glEnable(GL_CULL_FACE);

            theTrace().Write("Before sizing read pixels");
            std::fill(std::begin(probeSamples), std::end(probeSamples), uint16_t(0xFFFF));
            glPixelStorei(GL_PACK_ALIGNMENT, 1);
            glReadPixels(0, 0, kProbeSide, kProbeSide, GL_DEPTH_COMPONENT, GL_UNSIGNED_SHORT,
                         probeSamples);
            theTrace().Write("After sizing read pixels");
            const DepthRange range = FitDepthRange(probeSamples, kProbeSide, position,
                                                   lightModelView.m, shadowProjection.m);
            nearPlane = range.nearPlane;
            farPlane = range.farPlane;
            if (!control->IsRunning()) {
                nearPlane = kIdleNear;
                farPlane = kIdleFar;
            }
            if (nearPlane < kSmallestNear) nearPlane = kFallbackNear;
        } else {
            nearPlane = kFallbackNear;
        }

        theTrace().Write("Before pbuffer clear");
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        SetupLightMatrices(true);
        PolygonOffsetFrom(global, 4);
        glDepthFunc(GL_LEQUAL);
        glViewport(0, 0, width, height);
        glDisable(GL_CULL_FACE);
        glEnable(GL_POLYGON_OFFSET_FILL);

        // The objects the light reaches become its receivers.
        receiverCount = 0;
        if (window) {
            Vector corners[4];
            DepthMapCorners(0.0, corners);
            const bool cached =
                window->modelViewCache && window->projectionCache && window->viewportCache;
            double savedModelView[16], savedProjection[16];
            int savedViewport[4];
            const Vector* savedSource = window->pickPolygonSource;
            const int savedCount = window->pickPolygonCount;
            if (cached) {
                std::copy_n(window->modelViewCache.get(), 16, savedModelView);
                std::copy_n(window->projectionCache.get(), 16, savedProjection);
                std::copy_n(window->viewportCache.get(), 4, savedViewport);
                std::copy_n(lightModelView.m, 16, window->modelViewCache.get());
                std::copy_n(shadowProjection.m, 16, window->projectionCache.get());
                const int viewport[4] = {0, 0, width, height};
                std::copy_n(viewport, 4, window->viewportCache.get());
                window->SetPickPolygon(corners, 4);
            }
            window->ApplyLayerMask();
            std::vector<RenderableObject*> objects;
            control->scene.Lock();
            for (LinkedListObject* node = control->scene.GetHead(); node; node = node->GetNext())
                if (auto* object = dynamic_cast<RenderableObject*>(node)) objects.push_back(object);
            control->scene.Unlock();
            for (RenderableObject* object : objects) object->UpdateWindowVisibility();
            if (cached) {
                std::copy_n(savedModelView, 16, window->modelViewCache.get());
                std::copy_n(savedProjection, 16, window->projectionCache.get());
                std::copy_n(savedViewport, 4, window->viewportCache.get());
                window->SetPickPolygon(savedSource, savedCount);
            }
            for (RenderableObject* object : objects) {
                if (receiverCount >= kMaxReceivers) break;
                if (object->GetFlags() == 0) receivers[receiverCount++] = object;
            }
        }

        if (haveBuffer) {
            if (window) window->RenderAllObjects();
            glFinish();
        }
        glMatrixMode(GL_MODELVIEW);
        glPopMatrix();
        glMatrixMode(GL_PROJECTION);
        glPopMatrix();
        glMatrixMode(GL_MODELVIEW);
        glDisable(GL_POLYGON_OFFSET_FILL);
        glEnable(GL_CULL_FACE);

        if (haveBuffer) {
            theTrace().Write("Right before depth map create");
            const bool created = depthTexture == 0;
            if (created) glGenTextures(1, &depthTexture);
            glBindTexture(GL_TEXTURE_2D, depthTexture);
            const size_t pixels = size_t(width) * size_t(height);
            if (control->shadingLevel == kHardwareShadows) {
                if (created)
                    glCopyTexImage2D(GL_TEXTURE_2D, 0, GL_DEPTH_COMPONENT24_ARB, 0, 0, width,
                                     height, 0);
                else
                    glCopyTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, 0, 0, width, height);
            } else {
                depthBuffer.resize(pixels * 2);
                glPixelStorei(GL_PACK_ALIGNMENT, 1);
                glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
                const bool combiners = HasGLExtension(kExtRegisterCombiners);
                const GLenum readType = combiners ? GL_UNSIGNED_SHORT : GL_UNSIGNED_BYTE;
                const GLenum format = combiners ? GL_LUMINANCE_ALPHA : GL_LUMINANCE;
                const GLint internal = combiners ? GL_LUMINANCE8_ALPHA8 : GL_INTENSITY8;
                glReadPixels(0, 0, width, height, GL_DEPTH_COMPONENT, readType, depthBuffer.data());
                if (created)
                    glTexImage2D(GL_TEXTURE_2D, 0, internal, width, height, 0, format,
                                 GL_UNSIGNED_BYTE, depthBuffer.data());
                else
                    glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, width, height, format, GL_UNSIGNED_BYTE,
                                    depthBuffer.data());
            }
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
            if (HasGLExtension(kExtBorderClamp)) {
                const GLfloat border[4] = {0.0f, 0.0f, 0.0f, 0.0f};
                glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_BORDER_ARB);
                glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_BORDER_ARB);
                glTexParameterfv(GL_TEXTURE_2D, GL_TEXTURE_BORDER_COLOR, border);
            }
            theTrace().Write("Right after depth map create");
        }
        glPopAttrib();
    }
    ComputeLightMatrices();
    UpdateBounds();
    depthMapStale = 0;

    SetVisible(wasVisible);
    if (haveBuffer && window) window->Activate();
    global.SetBoolean(15, false);
    control->UnlockRender();
}

// ---- Light pass ----

void LightSource::DrawLightVolume(bool flip) {
    glPushAttrib(GL_ENABLE_BIT);
    glPushMatrix();
    glMultMatrixd(inverseLightModelView.m);
    if (flip) glRotated(180.0, 1.0, 0.0, 0.0);
    glMultMatrixd(inverseShadowProjection.m);
    glDisable(GL_LIGHTING);
    glColor3d(1.0, 1.0, 1.0);
    static const int faces[6][4] = {{0, 1, 3, 2}, {4, 6, 7, 5}, {0, 4, 5, 1},
                                    {2, 3, 7, 6}, {0, 2, 6, 4}, {1, 5, 7, 3}};
    glBegin(GL_QUADS);
    for (const auto& face : faces)
        for (int corner : face)
            glVertex3d(corner & 4 ? 1.0 : -1.0, corner & 2 ? 1.0 : -1.0, corner & 1 ? 1.0 : -1.0);
    glEnd();
    glPopMatrix();
    glPopAttrib();
}

void LightSource::RenderProjLight(Window& window) {
    BaseControl* control = theControl();
    if (!control) return;
    GlobalState& global = control->globalState;
    const int level = control->shadingLevel;

    glClearStencil(0);
    glClear(GL_STENCIL_BUFFER_BIT);
    uint32_t next = glLight ? glLight : GL_LIGHT0;
    SetupGLLight(next);

    if (HasGLExtension(kExtVertexProgram) && theGLEntryPoints.ProgramEnvParameter4dvARB) {
        const double lightAt[4] = {position.x, position.y, position.z, 1.0};
        const double second[4] = {spotDirection[0], spotDirection[1], spotDirection[2], 0.0};
        theGLEntryPoints.ProgramEnvParameter4dvARB(GL_VERTEX_PROGRAM_ARB, 0, lightAt);
        theGLEntryPoints.ProgramEnvParameter4dvARB(GL_VERTEX_PROGRAM_ARB, 1, second);
    }

    const Vector eye = EyePosition(window);
    const bool inside = EyeInsideFrustum(*this, eye);

    // The lit volume in stencil bit 8.
    glPushAttrib(GL_STENCIL_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_ENABLE_BIT | GL_COLOR_BUFFER_BIT |
                 GL_POLYGON_BIT);
    glEnable(GL_STENCIL_TEST);
    glDepthMask(GL_FALSE);
    glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_FALSE);
    glStencilMask(kStencilLit);
    glEnable(GL_CULL_FACE);
    glStencilOp(GL_KEEP, GL_REPLACE, GL_KEEP);
    glStencilFunc(GL_ALWAYS, kStencilLit, 0xFF);
    glCullFace(GL_FRONT);
    DrawLightVolume(true);
    if (!inside) {
        glStencilOp(GL_KEEP, GL_INVERT, GL_KEEP);
        glStencilFunc(GL_EQUAL, kStencilLit, 0xFF);
        glCullFace(GL_BACK);
        DrawLightVolume(true);
    }
    glCullFace(GL_BACK);
    glDepthFunc(GL_LEQUAL);
    glDepthMask(GL_TRUE);

    // Only the receivers draw in the pass.
    std::vector<RenderableObject*> objects;
    control->scene.Lock();
    for (LinkedListObject* node = control->scene.GetHead(); node; node = node->GetNext())
        if (auto* object = dynamic_cast<RenderableObject*>(node)) objects.push_back(object);
    control->scene.Unlock();
    for (RenderableObject* object : objects) object->SetFlags(0xFFFFFFFFu);
    for (uint32_t i = 0; i < receiverCount; ++i) receivers[i]->SetFlags(0);

    const bool combiners = HasGLExtension(kExtRegisterCombiners);
    const bool combining = HasGLExtension(kExtEnvCombine);
    OffScreenWindow* buffer = theOffScreenWindow();
    if (level != kHardwareShadows && (combiners || combining) && buffer && buffer->HasBuffer() &&
        state.GetBoolean(0) && depthTexture) {
        glStencilMask(1);
        glStencilOp(GL_KEEP, GL_KEEP, GL_INVERT);
        glStencilFunc(GL_EQUAL, 0, 0xFF);
        glPushAttrib(GL_TEXTURE_BIT);
        ReleaseLightingProgram();
        glEnable(GL_STENCIL_TEST);
        glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_FALSE);
        glEnable(GL_ALPHA_TEST);
        global.SetBoolean(8, true);

        ActiveUnit(1);
        const GLenum identityTarget = combiners ? GL_TEXTURE_2D : GL_TEXTURE_1D;
        glEnable(identityTarget);
        glBindTexture(identityTarget, theOpenGL.identityTexture);
        glAlphaFunc(GL_GREATER, combiners ? 0.0f : 0.495f);
        SetupIdentityTexGen();
        ActiveUnit(0);
        glEnable(GL_TEXTURE_2D);
        glBindTexture(GL_TEXTURE_2D, depthTexture);
        SetupLightMatrices(false);
        SetupShadowTexGen(0);
        PolygonOffsetFrom(global, 6);
        glEnable(GL_POLYGON_OFFSET_FILL);
        glDepthFunc(GL_LEQUAL);
        if (combiners) {
            SetupRegisterCombiners(1);
            window.RenderAllObjects();
            SetupRegisterCombiners(2);
            window.RenderAllObjects();
        } else {
            SetupDot3Combine();
            window.RenderAllObjects();
        }
        glDisable(GL_ALPHA_TEST);
        glDepthFunc(GL_LEQUAL);
        if (combiners) glDisable(GL_REGISTER_COMBINERS_NV);
        global.SetBoolean(8, false);
        glPopAttrib();

        glCullFace(EyeInsideFrustum(*this, eye) ? GL_FRONT : GL_BACK);
        glDepthMask(GL_FALSE);
        glDepthFunc(GL_ALWAYS);
        glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_FALSE);
        glStencilMask(kStencilLit);
        glStencilOp(GL_INVERT, GL_KEEP, GL_KEEP);
        glStencilFunc(GL_EQUAL, 1, 1);
        DrawLightVolume(false);
        glStencilMask(1);
        glStencilOp(GL_ZERO, GL_ZERO, GL_ZERO);
        glStencilFunc(GL_EQUAL, 1, 0xFF);
        DrawLightVolume(false);
        glDepthFunc(GL_LEQUAL);
        glDepthMask(GL_TRUE);
        glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
        glCullFace(GL_BACK);
    }

    if (UseProgram(global)) BindLightingProgram();
    global.SetBoolean(17, true);
    glStencilOp(GL_KEEP, GL_KEEP, GL_KEEP);
    glStencilFunc(GL_NOTEQUAL, kStencilLit, 0xFF);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    theTrace().WriteStep("Before actual render light pass");
    PolygonOffsetFrom(global, 6);
    window.RenderObjectsByType();
    theTrace().WriteStep("After actual render light pass");

    glPopAttrib();
    glStencilMask(0xFF);
    glDisable(GL_BLEND);
    ResetTextureState();
    theTrace().WriteStep("After disable tex coord generation");
    ActiveUnit(0);
    glEnable(GL_TEXTURE_2D);
    DisableGLLight();
    global.SetBoolean(17, false);
    theTrace().WriteStep("End of RenderProjLight");
    glClear(GL_STENCIL_BUFFER_BIT);
}

void LightSource::BeginTexCoordGen() {
    const BaseControl* control = theControl();
    if (!control) return;
    const GlobalState& global = control->globalState;
    const int level = control->shadingLevel;
    const bool shadows = state.GetBoolean(0) && depthTexture;
    theTrace().WriteStep("Beginning of texture coord gen");
    glDisable(GL_ALPHA_TEST);
    glEnable(GL_BLEND);
    BlendEquation(GL_FUNC_ADD);
    glBlendFunc(GL_DST_COLOR, GL_ONE);
    const GLuint light = bitmap ? bitmap->GetTextureId() : 0;
    auto lightTexture = [&](int unit) {
        ActiveUnit(unit);
        glEnable(GL_TEXTURE_2D);
        glBindTexture(GL_TEXTURE_2D, light);
        ModulatePrevious();
        ClampWraps();
        SetupLightMatrices(false);
        SetupShadowTexGen(1);
    };
    if (level >= kVertexPrograms) {
        PolygonOffsetFrom(global, 6);
        glDepthFunc(GL_LEQUAL);
        glEnable(GL_POLYGON_OFFSET_FILL);
        if (UseProgram(global))
            BindLightingProgram();
        else
            ReleaseLightingProgram();
        if (level == kHardwareShadows && shadows) glDisable(GL_LIGHTING);
        ActiveUnit(0);
        Dot3Unit();
        int unit = 1;
        if (level == kHardwareShadows && shadows) {
            ActiveUnit(1);
            glEnable(GL_TEXTURE_2D);
            glBindTexture(GL_TEXTURE_2D, depthTexture);
            SetupShadowTexGen(0);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_COMPARE_MODE_ARB,
                            GL_COMPARE_R_TO_TEXTURE_ARB);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_COMPARE_FUNC_ARB, GL_LEQUAL);
            glTexParameteri(GL_TEXTURE_2D, GL_DEPTH_TEXTURE_MODE_ARB, GL_LUMINANCE);
            ModulatePrevious();
            unit = 2;
        }
        lightTexture(unit);
    } else {
        glDepthFunc(GL_LEQUAL);
        PolygonOffsetFrom(global, 6);
        glEnable(GL_POLYGON_OFFSET_FILL);
        theTrace().WriteStep("Begin non-shadow case");
        if (level == kMultitexture) {
            if (UseProgram(global)) BindLightingProgram();
            ActiveUnit(1);
        }
        glEnable(GL_TEXTURE_2D);
        glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_DECAL);
        glBindTexture(GL_TEXTURE_2D, light);
        SetupLightMatrices(false);
        SetupShadowTexGen(1);
        ClampWraps();
        if (level == kMultitexture) {
            ActiveUnit(0);
            glDisable(GL_TEXTURE_2D);
        }
    }
    ActiveUnit(0);
    theTrace().WriteStep("End of texture coord gen");
}

void LightSource::EndTexCoordGen() {
    const BaseControl* control = theControl();
    if (!control) return;
    const GlobalState& global = control->globalState;
    const int level = control->shadingLevel;
    const bool shadows = state.GetBoolean(0) && depthTexture;
    if (level == 0) {
        glEnable(GL_TEXTURE_2D);
        glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
        theTrace().WriteStep("End of texture coord gen");
        return;
    }
    const bool hardware = level == kHardwareShadows && shadows;
    glEnable(GL_BLEND);
    if (HasGLExtension(kExtBlendMinMax)) BlendEquation(GL_MAX);
    glDepthFunc(GL_LEQUAL);
    if (hardware) {
        glAlphaFunc(GL_NOTEQUAL, 0.0f);
        glEnable(GL_ALPHA_TEST);
    }
    ReleaseLightingProgram();
    PolygonOffsetFrom(global, 6);
    glEnable(GL_POLYGON_OFFSET_FILL);
    glEnable(GL_LIGHTING);
    ActiveUnit(0);
    glEnable(GL_TEXTURE_2D);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    int projectedUnit = 1;
    if (hardware) {
        ActiveUnit(1);
        glEnable(GL_TEXTURE_2D);
        glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
        glBindTexture(GL_TEXTURE_2D, depthTexture);
        SetupShadowTexGen(0);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_COMPARE_MODE_ARB, GL_COMPARE_R_TO_TEXTURE_ARB);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_COMPARE_FUNC_ARB, GL_LESS);
        glTexParameteri(GL_TEXTURE_2D, GL_DEPTH_TEXTURE_MODE_ARB, GL_ALPHA);
        projectedUnit = 2;
    }
    ActiveUnit(projectedUnit);
    if (hasProjectedTexture && bitmap) {
        glEnable(GL_TEXTURE_2D);
        glBindTexture(GL_TEXTURE_2D, bitmap->GetTextureId());
        ClampWraps();
        SetupLightMatrices(false);
        SetupShadowTexGen(1);
    } else {
        glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
        glDisable(GL_TEXTURE_2D);
    }
    ActiveUnit(0);
    if (!hardware) theTrace().WriteStep("End non-shadow case");
    theTrace().WriteStep("End of texture coord gen");
}

void LightSource::ResetTextureState() {
    const BaseControl* control = theControl();
    const int level = control ? control->shadingLevel : 0;
    glDisable(GL_ALPHA_TEST);
    glDepthFunc(GL_LESS);
    BlendEquation(GL_FUNC_ADD);
    const int units = level == kHardwareShadows ? 3 : (level == 0 ? 1 : 2);
    for (int unit = units - 1; unit >= 0; --unit) {
        if (level != 0) ActiveUnit(unit);
        if (level == kHardwareShadows && unit == 0)
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_COMPARE_MODE_ARB, GL_NONE);
        glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
        TexGenOff();
        glBindTexture(GL_TEXTURE_2D, 0);
        glDisable(GL_TEXTURE_1D);
        glDisable(GL_TEXTURE_2D);
    }
    glDisable(GL_POLYGON_OFFSET_FILL);
}
