#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "building/Terrain.h"
#include "control/BaseControl.h"
#include "foundation/Trace.h"
#include "foundation/ViewState.h"
#include "slabs/BaseSlab.h"
#include "render/Window.h"

namespace {

constexpr double kRadiansToDegrees = 57.29577951308232;
// The stencil keeps the pass in its low bits and the layer bits from bit 5 up.
constexpr GLuint kPassMask = 7;
constexpr GLuint kMarkMask = 199;
constexpr double kFarDepth = 0.999999;
// Faces that look at the view closer to edge-on than this show no reflection.
constexpr double kFacingLimit = 0.1;
constexpr double kFaceShift = 0.25;

std::vector<RenderableObject*> SceneObjects(BaseControl& control) {
    std::vector<RenderableObject*> objects;
    LinkedListIterator it(control.scene);
    it.LockList();
    for (LinkedListObject* node = it.First(); !it.IsDone(); node = it.Next())
        if (auto* object = dynamic_cast<RenderableObject*>(node)) objects.push_back(object);
    it.UnlockList();
    return objects;
}

}  // namespace

bool BaseSlab::IsMirrorSurface(int face) const {
    if (face < 0 || face > 1) return false;
    const Material& material = surfaceMaterials[face];
    return material.transparent != 0 && material.opacity < 1.0;
}

void BaseSlab::DrawFacePolygon(int face, double shift) {
    const Vector* points = face == 0 ? facePointsA.get() : facePointsB.get();
    if (!points || facePointCount < 3) return;
    const Vector& n = outline.normal;
    glBegin(GL_POLYGON);
    glNormal3d(face == 0 ? -n.x : n.x, face == 0 ? -n.y : n.y, face == 0 ? -n.z : n.z);
    for (int i = 0; i < facePointCount; ++i)
        glVertex3d(points[i].x + n.x * shift, points[i].y + n.y * shift,
                   points[i].z + n.z * shift);
    glEnd();
}

void BaseSlab::ApplyMirrorTransform(int face) {
    if (face < 0 || face > 1 || outline.GetPrimaryCount() == 0) return;
    GLuint& list = mirrorLists[face];
    if (list != Part::kNoList && !cutOutRebuild) {
        glCallList(list);
        return;
    }
    if (list == Part::kNoList) list = glGenLists(1);
    const Vector origin = outline.GetPrimaryPoints()[0].position;
    const Vector& n = outline.normal;
    // The face is turned level, mirrored through its plane and turned back. A face that
    // is level already (its normal straight up or down) turns about no axis: x serves,
    // with the angle of 0 or 180 degrees it has.
    const double angle =
        -std::acos(std::clamp(-n.y, -1.0, 1.0)) * kRadiansToDegrees;
    double ax = n.z, az = -n.x;
    if (std::hypot(ax, az) < 1e-9) ax = 1.0, az = 0.0;
    const double half = thickness * 0.5 * (face == 0 ? -1.0 : 1.0);
    glNewList(list, GL_COMPILE_AND_EXECUTE);
    glTranslated(origin.x, origin.y, origin.z);
    glRotated(angle, ax, 0.0, az);
    glTranslated(0.0, half, 0.0);
    glScaled(1.0, -1.0, 1.0);
    glTranslated(0.0, -half, 0.0);
    glRotated(-angle, ax, 0.0, az);
    glTranslated(-origin.x, -origin.y, -origin.z);
    glEndList();
}

void BaseSlab::RenderMirror() {
    BaseControl* control = theControl();
    auto* window = control ? dynamic_cast<Window*>(control->GetCurrentView()) : nullptr;
    if (!window || mirrorPass || !facePointsA || !facePointsB || !shownInView) return;
    if (window->IsOrthographicView()) return;
    if (window->viewFlags.GetInt64(1) & GetTypeMask()) return;
    if (!IsVisibleInCurrentWindow()) return;
    if (!IsMirrorSurface(0) && !IsMirrorSurface(1)) return;

    glPushAttrib(GL_ENABLE_BIT | GL_STENCIL_BUFFER_BIT | GL_CURRENT_BIT | GL_COLOR_BUFFER_BIT |
                 GL_DEPTH_BUFFER_BIT | GL_POLYGON_BIT);
    mirrorPass = 1;
    const int pass = ++window->layerCounter;
    const uint32_t bit = 1u << (pass & 31);
    const Vector* savedPolygon = window->pickPolygonSource;
    const int savedCount = window->pickPolygonCount;
    const Vector view = window->UnprojectViewCenter();
    glEnable(GL_STENCIL_TEST);
    const Vector& n = outline.normal;
    for (int face = 0; face < 2; ++face) {
        const Vector faceNormal = face == 0 ? Vector(-n.x, -n.y, -n.z) : n;
        const Material& material = surfaceMaterials[face];
        if (faceNormal.Dot(view) >= kFacingLimit || material.alpha != 1.0) continue;
        const bool mirror = IsMirrorSurface(face);
        if (!mirror) continue;
        // The face marks its region of the stencil.
        glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_FALSE);
        glStencilFunc(GL_EQUAL, pass - 1, kMarkMask);
        glStencilOp(GL_KEEP, GL_KEEP, GL_INCR);
        window->ApplyLayerMask();
        DrawFacePolygon(face, 0.0);
        // The mirrored scene inside the region.
        glStencilFunc(GL_EQUAL, pass, kPassMask);
        glStencilOp(GL_KEEP, GL_KEEP, GL_KEEP);
        glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
        glPushMatrix();
        window->ToggleFrontFace();
        ApplyMirrorTransform(face);
        window->CacheMatrices();
        for (RenderableObject* object : SceneObjects(*control))
            if (object != this && object->IsShownInCurrentView()) object->UpdateWindowVisibility();
        DrawMirroredScene(*window, pass, bit);
        window->ToggleFrontFace();
        glPopMatrix();
        window->CacheMatrices();
        // The face itself goes into the depth buffer, then its region is given back.
        glEnable(GL_POLYGON_OFFSET_FILL);
        glPolygonOffset(1.0f, 1.0f);
        glStencilFunc(GL_EQUAL, pass, static_cast<GLuint>(pass));
        glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_FALSE);
        DrawFacePolygon(face, 0.0);
        glDisable(GL_POLYGON_OFFSET_FILL);
        glDepthFunc(GL_NEVER);
        glDepthMask(GL_FALSE);
        glStencilMask((bit * 32u) | 3u);
        glStencilFunc(GL_LESS, pass - 1, 3);
        glStencilOp(GL_KEEP, GL_REPLACE, GL_REPLACE);
        const double shift = mirror ? 0.0 : (face == 0 ? kFaceShift : -kFaceShift);
        DrawFacePolygon(face, shift);
        glDepthFunc(GL_LEQUAL);
        glDepthMask(GL_TRUE);
        glStencilMask(~0u);
        glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    }
    --window->layerCounter;
    window->SetPickPolygon(savedPolygon, savedCount);
    mirrorPass = 0;
    glPopAttrib();
}

void BaseSlab::DrawMirroredScene(Window& window, int pass, uint32_t bit) {
    BaseControl* control = theControl();
    if (!control) return;
    glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_FALSE);
    glDepthMask(GL_FALSE);
    glStencilMask(bit * 32u);
    glStencilFunc(GL_EQUAL, static_cast<GLint>((bit * 32u) | static_cast<uint32_t>(pass)),
                  static_cast<GLuint>(pass));
    glStencilOp(GL_KEEP, GL_KEEP, GL_REPLACE);
    const std::vector<RenderableObject*> objects = SceneObjects(*control);
    for (RenderableObject* object : objects) {
        if (object == this || !object->IsShownInCurrentView() ||
            !object->IsVisibleInCurrentWindow() || !object->IsInVisibleHeightRange())
            continue;
        object->SetFlags(object->GetFlags() | bit);
        object->Render();
    }
    if (control->terrain && control->terrain->IsShownInCurrentView()) {
        control->terrain->SetFlags(control->terrain->GetFlags() | bit);
        control->terrain->Render();
    }
    // The marked region's depth goes to the far plane, so the mirrored scene draws there.
    glStencilMask(~0u);
    glStencilFunc(GL_EQUAL, pass, kPassMask);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glDepthMask(GL_TRUE);
    glPushAttrib(GL_ENABLE_BIT | GL_DEPTH_BUFFER_BIT | GL_TRANSFORM_BIT);
    glDepthFunc(GL_ALWAYS);
    glDisable(GL_CULL_FACE);
    glDisable(GL_LIGHTING);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_FALSE);
    const double z = kFarDepth * 2.0 - 1.0;
    glBegin(GL_QUADS);
    glVertex3d(-1.0, -1.0, z);
    glVertex3d(1.0, -1.0, z);
    glVertex3d(1.0, 1.0, z);
    glVertex3d(-1.0, 1.0, z);
    glEnd();
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glPopMatrix();
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopAttrib();
    const int drawn = window.frameCounters[0];
    window.frameCounters[0] = pass;
    window.RenderEnvironment(true);
    if (!window.IsOrthographicView()) {
        window.viewFlags.SetBoolean(9, true);
        window.RenderEnvironment(false);
    }
    window.viewFlags.SetBoolean(9, false);
    window.frameCounters[0] = drawn;
    for (RenderableObject* object : objects) object->SetFlags(object->GetFlags() & ~bit);
    if (control->terrain) control->terrain->SetFlags(control->terrain->GetFlags() & ~bit);
}
