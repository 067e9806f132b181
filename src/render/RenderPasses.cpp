// Render passes of a view window: one frame of the scene with its environment, the
// grouped opaque objects, the depth-sorted transparent ones, the ground grid and the
// accessories of the main window; the smoothed frame through the accumulation buffer.

#include <GL/gl.h>
#include <GL/glu.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include "building/Terrain.h"
#include "slabs/BaseSlab.h"
#include "control/BaseControl.h"
#include "interaction/Compass.h"
#include "control/LengthFormat.h"
#include "control/RenderLoop.h"
#include "foundation/Trace.h"
#include "interaction/ChalkLine.h"
#include "interaction/TapeMeasure.h"
#include "interaction/TraceImageModel.h"
#include "model/MoveableObject.h"
#include "model/RenderableObject.h"
#include "model/ShadowLight.h"
#include "platform/GLContext.h"
#include "render/LightSource.h"
#include "render/OpenGL.h"
#include "render/Sky.h"
#include "render/TextureList.h"
#include "render/Window.h"

namespace {

constexpr uint64_t kDrawnBarsBit = 0x8000000;
constexpr double kPickSquareHalf = 60.0;
constexpr double kFogColourScale = 0.00392157;
constexpr double kFogDensityScale = 0.00001;
constexpr double kImperialGridSpacing = 12.0;
constexpr double kMetricGridSpacing = 39.37008;
constexpr double kGridLift = 0.25;
constexpr double kBlueprintGridLift = 5.0;
constexpr double kOrbitTargetRadius = 10.0;
constexpr double kOrbitTargetCentreRadius = 2.0;
constexpr double kOrbitTargetStep = 0.6283185307179586;
constexpr int kWalkMode = 31;
constexpr int kWalkCrosshairHalf = 15;
constexpr int kShadingWithStencil = 200;
constexpr double kPerspectiveNear = 1.0;
constexpr double kAntialiasFar = 6000.0;
constexpr double kOrthoDepth = 3000.0;
constexpr double kOrthoJitterDivisor = 225.0;
constexpr double kJitter[Window::kAntialiasPasses][2] = {
    {-0.334818, 0.435331}, {0.286438, -0.393495},  {0.459462, 0.141540}, {-0.414498, -0.192829},
    {-0.183790, 0.082102}, {-0.079263, -0.317383}, {0.102254, 0.299133}, {0.164216, -0.054399},
};

// Writes the step to the trace log when OpenGL reports an error.
void Step(const char* text) {
    theTrace().CheckGLErrors(text);
}

int TextureCount(const BaseControl& control) {
    const TextureList* textures = control.GetTextureList();
    if (!textures) return 0;
    textures->Lock();
    const int count = static_cast<int>(textures->GetCount());
    textures->Unlock();
    return count;
}

RenderableObject* AsRenderable(LinkedListObject* node) {
    return dynamic_cast<RenderableObject*>(node);
}

// Sets a view flag for a scope; it is cleared on every way out.
class ScopedViewFlag {
public:
    ScopedViewFlag(RenderState& state, int index) : state_(state), index_(index) {
        state_.SetBoolean(index_, true);
    }
    ~ScopedViewFlag() { state_.SetBoolean(index_, false); }
    ScopedViewFlag(const ScopedViewFlag&) = delete;
    ScopedViewFlag& operator=(const ScopedViewFlag&) = delete;

private:
    RenderState& state_;
    int index_;
};

// Walks the scene under its lock.
template <typename Visit>
void ForEachInScene(const LinkedList& scene, Visit visit) {
    scene.Lock();
    for (LinkedListObject* node = scene.GetHead(); node; node = node->GetNext())
        if (RenderableObject* object = AsRenderable(node)) visit(*object);
    scene.Unlock();
}

void MergeByDepth(Window::DepthEntry* list, int n, std::vector<Window::DepthEntry>& scratch) {
    if (n < 2) return;
    const int half = n / 2;
    MergeByDepth(list, half, scratch);
    MergeByDepth(list + half, n - half, scratch);
    scratch.assign(list, list + n);
    int left = 0;
    int right = half;
    for (int out = 0; out < n; ++out) {
        const bool takeLeft =
            right >= n || (left < half && scratch[left].key <= scratch[right].key);
        list[out] = scratch[takeLeft ? left++ : right++];
    }
}

void TriangleFan(double radius) {
    glBegin(GL_TRIANGLE_FAN);
    glVertex3d(0.0, 0.0, 0.0);
    for (int i = 10; i >= 1; --i)
        glVertex3d(radius * std::cos(i * kOrbitTargetStep), 0.0,
                   radius * std::sin(i * kOrbitTargetStep));
    glVertex3d(radius, 0.0, 0.0);
    glEnd();
}

}  // namespace

bool Window::IsPicking() const {
    return viewFlags.GetBoolean(3) || viewFlags.GetBoolean(10);
}

// ---- Pure parts ----

void Window::SortByDepth(DepthEntry* list, int n) {
    if (!list || n < 2) return;
    std::vector<DepthEntry> scratch;
    scratch.reserve(static_cast<size_t>(n));
    MergeByDepth(list, n, scratch);
}

std::vector<RenderableObject*> Window::GroupedDrawOrder(const LinkedList& scene, uint64_t deferred,
                                                        bool picking) {
    std::vector<RenderableObject*> order;
    uint64_t present = 0;
    ForEachInScene(scene, [&](RenderableObject& object) {
        const uint64_t mask = object.GetTypeMask();
        present |= mask;
        if ((mask & kObjectGroups[0]) && !(mask & deferred)) order.push_back(&object);
    });
    for (int g = 1; g < 7; ++g) {
        const uint64_t group = kObjectGroups[g];
        if (!(group & present) || (group & deferred)) continue;
        ForEachInScene(scene, [&](RenderableObject& object) {
            if (object.GetTypeMask() & group) order.push_back(&object);
        });
    }
    // The deferred types come last. Each object is drawn once: of the first group only
    // the deferred objects, of the others the groups left out above.
    if (deferred == 0 || picking) return order;
    for (int g = 0; g < 7; ++g) {
        const uint64_t group = kObjectGroups[g];
        if (!(group & deferred)) continue;
        ForEachInScene(scene, [&](RenderableObject& object) {
            const uint64_t mask = object.GetTypeMask();
            if ((mask & group) && (g != 0 || (mask & deferred))) order.push_back(&object);
        });
    }
    return order;
}

std::vector<Window::DepthEntry> Window::CollectTransparentObjects(const LinkedList& scene,
                                                                  const Vector& axis,
                                                                  size_t limit) {
    std::vector<DepthEntry> list;
    ForEachInScene(scene, [&](RenderableObject& object) {
        if (list.size() >= limit) return;
        if (!object.HasTransparentPart() || !object.WasShownInView() ||
            object.IsVisibleInCurrentWindow())
            return;
        Vector reference;
        const auto* moveable = dynamic_cast<const MoveableObject*>(&object);
        if (moveable && !object.HasType(TypeBit::kSlab)) {
            reference = moveable->GetPosition();
        } else {
            const BoundingBox& box = object.GetBoundingBox();
            reference = Vector((box.min.x + box.max.x) / 2.0, (box.min.y + box.max.y) / 2.0,
                               (box.min.z + box.max.z) / 2.0);
        }
        list.push_back(
            {&object, axis.x * reference.x + axis.y * reference.y + axis.z * reference.z});
    });
    return list;
}

double Window::WorkGridSpacing(const GlobalState& global) {
    const double spacing = global.GetDouble(12);
    // Zero, negative and undefined spacings would loop for ever or draw nothing useful.
    if (!(spacing > 0.0)) return global.GetBoolean(7) ? kMetricGridSpacing : kImperialGridSpacing;
    return std::max(spacing, kMinGridSpacing);
}

std::string Window::FloorLabel(const GlobalState& global, const FloorState& floor,
                               const WallState& wall, double frameRate, bool& warning) {
    const double gridHeight = floor.GetDouble(4);
    const double ground = floor.GetDouble(9);
    const double storey = wall.GetDouble(5);
    // A storey height of zero has no levels: every grid height counts as the ground.
    const double level = storey != 0.0 ? (gridHeight - ground - 1.0) / storey + 1.0 : 1.0;
    char text[256];
    if (level == 1.0) {
        if (ground > 0.0)
            std::snprintf(text, sizeof text, "Ground Floor (%s)",
                          FormatLength(global, ground, false, 6).c_str());
        else
            std::snprintf(text, sizeof text, "Ground Floor ");
    } else if (std::isfinite(level) && level == std::floor(level)) {
        std::snprintf(text, sizeof text, "Grid Level %i (%s)", static_cast<int>(level),
                      FormatLength(global, gridHeight, false, 6).c_str());
    } else {
        std::snprintf(text, sizeof text, "Grid Level %1.2f (%s)", level,
                      FormatLength(global, gridHeight, false, 6).c_str());
    }
    std::string label = text;
    if (global.GetBoolean(33)) {
        std::snprintf(text, sizeof text, "   FPS: %6.2f", frameRate);
        label += text;
    }
    warning = level != 1.0;
    return label;
}

std::vector<ShadowLight*> Window::LightsToSwitchOn(const LinkedList& scene,
                                                   const GlobalState& global) {
    std::vector<ShadowLight*> lights;
    const bool lightsOff = global.GetBoolean(12);
    const bool shadows = global.GetBoolean(10);
    scene.Lock();
    for (LinkedListObject* node = scene.GetHead(); node; node = node->GetNext()) {
        auto* pickable = dynamic_cast<PickableObject*>(node);
        auto* light = dynamic_cast<ShadowLight*>(node);
        if (!pickable || !light || !pickable->HasType(TypeBit::kLight)) continue;
        const bool casting = light->GetShadowValue() == 1.0;
        if (lightsOff) {
            // Only one plain light stays on.
            if (!casting) {
                lights.push_back(light);
                break;
            }
        } else if (!casting || !shadows) {
            lights.push_back(light);
        }
    }
    scene.Unlock();
    return lights;
}

// ---- The frame ----

void Window::RenderScene(int x, int y) {
    if (width == 0 || height == 0) return;
    BaseControl* control = theControl();
    if (!PRECONDITION(control != nullptr, "No control to render")) return;
    Step("Start of RenderScene...");
    depth2D = 0;

    const bool ortho = IsOrthographicView();
    const bool picking = IsPicking();
    const GlobalState& global = control->globalState;
    CacheMatrices();

    if (!ortho && !picking && !global.GetBoolean(17)) {
        glEnable(GL_LIGHTING);
        EnableLights(false);
    } else {
        glDisable(GL_LIGHTING);
    }
    glClearStencil(0);
    glStencilMask(0xFF);
    glClear(GL_STENCIL_BUFFER_BIT);
    frameCounters[0] = 0;

    UpdateViewVisibility(picking, x, y);
    CutAwayBlockingWalls();

    if (!ortho && !picking) {
        EnableLights(true);
        const FogState& fog = control->fogState;
        if (fog.GetBoolean(0)) {
            glEnable(GL_FOG);
            const GLfloat colour[4] = {static_cast<GLfloat>(fog.GetInteger(1) * kFogColourScale),
                                       static_cast<GLfloat>(fog.GetInteger(2) * kFogColourScale),
                                       static_cast<GLfloat>(fog.GetInteger(3) * kFogColourScale),
                                       1.0f};
            glFogfv(GL_FOG_COLOR, colour);
            glFogi(GL_FOG_MODE, fog.GetInteger(0));
            glFogf(GL_FOG_START, static_cast<GLfloat>(fog.GetDouble(1)));
            glFogf(GL_FOG_END, static_cast<GLfloat>(fog.GetDouble(2)));
            glFogf(GL_FOG_DENSITY, static_cast<GLfloat>(fog.GetDouble(0) * kFogDensityScale));
        } else {
            glDisable(GL_FOG);
        }
    } else {
        glDisable(GL_FOG);
    }

    Step("Before primary render...");
    RenderEnvironment(true);
    Step("After ambient pass");
    SetPickPolygon(nullptr, 0);

    if (!picking) {
        if (marqueeShown) {
            glPushAttrib(GL_ENABLE_BIT);
            glDisable(GL_TEXTURE_2D);
            glDisable(GL_DEPTH_TEST);
            glColor3ub(255, 255, 255);
            glEnable(GL_LINE_STIPPLE);
            glLineStipple(1, 0x3333);
            glBegin(GL_LINE_LOOP);
            for (const Vector& corner : marqueeCorners) glVertex3d(corner.x, corner.y, corner.z);
            glEnd();
            glPopAttrib();
        }
        if (!ortho && global.GetBoolean(10) && !global.GetBoolean(12) &&
            control->shadingLevel != 0) {
            glPushAttrib(GL_FOG_BIT);
            glDisable(GL_FOG);
            RenderShadowedLights();
            glPopAttrib();
        }
    }

    Step("Before transparency...");
    {
        ScopedViewFlag transparency(viewFlags, 9);
        RenderEnvironment(false);
        if (traceImage) traceImage->Render();
    }
    glDisable(GL_LIGHTING);

    Step("Before accessory render...");
    if (!picking && control->mainWindow == this) {
        RenderOrbitCrosshairs();
        control->tapeMeasure.Render();
        RenderChalkLines();

        if (!ortho && control->orbitTargetDisplay != 0.0) {
            const Vector& target = control->orbitTarget;
            glPushAttrib(GL_ENABLE_BIT | GL_DEPTH_BUFFER_BIT);
            glDepthMask(GL_FALSE);
            glDisable(GL_TEXTURE_2D);
            glDisable(GL_LIGHTING);
            glEnable(GL_BLEND);
            glTranslated(target.x, target.y, target.z);
            glColor4f(0.25f, 1.0f, 0.25f, 0.5f);
            TriangleFan(kOrbitTargetRadius);
            glColor4f(0.0f, 0.0f, 0.0f, 0.5f);
            TriangleFan(kOrbitTargetCentreRadius);
            glTranslated(-target.x, -target.y, -target.z);
            glPopAttrib();
            Step("target rendered");
        }

        if (!(viewFlags.GetInt64(0) & kDrawnBarsBit) && global.GetBoolean(23)) {
            if (control->showStatistics) {
                char text[128];
                std::snprintf(text, sizeof text, "Objs : %i  Mats : %i  Selected polys : %i",
                              control->CountItems(), TextureCount(*control),
                              CountSelectedPolygons());
                statusBar1.SetText(text, false);
            }
            statusBar1.Draw();
            if (!control->antialiasInProgress) {
                bool warning = false;
                const std::string label = FloorLabel(
                    global, control->floorState, control->wallState, control->frameRate, warning);
                statusBar2.SetText(label.c_str(), warning);
            }
            statusBar2.Draw();
            if (control->compass && global.GetBoolean(24)) control->compass->UpdatePosition(*this);
            Step("Antialiased render");
        }
        menuBar.Draw();
        indicatorBar.Draw();
        if (toolbar) toolbar->Draw();
        helpWindow.Draw();
        control->progressBar.Draw();
        RenderWalkCrosshair();
        Step("Status bars rendered");
    } else {
        // The camera marker draws here once it has a shape.
        Step("CII Rendered");
    }
    Step("End of RenderScene...");
}

void Window::RenderEnvironment(bool opaque) {
    const BaseControl* control = theControl();
    if (!control) return;
    glLoadName(0);
    glEnable(GL_TEXTURE_2D);
    Step("Before render environment");
    if (!IsOrthographicView() && !control->globalState.GetBoolean(17) && !IsPicking()) RenderSky();
    Step("Before render reflective");
    RenderReflections();
    Step("After render reflective");
    if (opaque)
        RenderObjectsByType();
    else
        RenderAllObjects();
    glDisable(GL_LIGHTING);
    RenderGroundGrid();
    RenderBlueprintOverlays();
    CacheMatrices();
}

void Window::RenderSky() {
    const BaseControl* control = theControl();
    if (!control) return;
    glPushAttrib(GL_ENABLE_BIT);
    glDisable(GL_LIGHTING);
    if (control->sky) {
        glPushMatrix();
        Step("Before dome render");
        if (!IsPicking() && control->globalState.GetBoolean(14)) {
            control->sky->Render();
            DrawGradientSky(*control);
        }
        Step("After dome render");
        glPopMatrix();
    }
    glEnable(GL_LIGHTING);
    glPopAttrib();
}

namespace {

// The slabs of the scene, in scene order.
std::vector<RenderableObject*> SlabsOf(const LinkedList& scene) {
    std::vector<RenderableObject*> slabs;
    LinkedListIterator it(scene);
    it.LockList();
    for (LinkedListObject* node = it.First(); !it.IsDone(); node = it.Next()) {
        auto* object = dynamic_cast<RenderableObject*>(node);
        if (object && object->HasType(TypeBit::kSlab)) slabs.push_back(object);
    }
    it.UnlockList();
    return slabs;
}

}  // namespace

void Window::RenderReflections() {
    const BaseControl* control = theControl();
    if (!control) return;
    const GlobalState& global = control->globalState;
    if (!global.GetBoolean(9) || global.GetBoolean(8) || IsPicking() || viewFlags.GetBoolean(9) ||
        layerCounter >= 2 || IsOrthographicView())
        return;
    for (RenderableObject* object : SlabsOf(control->scene)) {
        if (auto* slab = dynamic_cast<BaseSlab*>(object)) slab->RenderMirror();
    }
}

void Window::RenderObjectsByType() {
    BaseControl* control = theControl();
    if (!control) return;
    if (control->terrain) control->terrain->Render();
    frameCounters[0] = frameCounters[1] = 0;
    glPushMatrix();
    for (RenderableObject* object :
         GroupedDrawOrder(control->scene, viewFlags.GetInt64(1), IsPicking()))
        object->Render();
    RenderTransparentObjects();
    glPopMatrix();
}

void Window::RenderAllObjects() {
    BaseControl* control = theControl();
    if (!control) return;
    if (control->terrain) control->terrain->Render();
    frameCounters[0] = frameCounters[1] = 0;
    glPushMatrix();
    std::vector<RenderableObject*> objects;
    ForEachInScene(control->scene, [&](RenderableObject& object) { objects.push_back(&object); });
    for (RenderableObject* object : objects) object->Render();
    RenderTransparentObjects();
    glPopMatrix();
}

void Window::RenderTransparentObjects() {
    BaseControl* control = theControl();
    if (!control) return;
    {
        ScopedViewFlag sorted(viewFlags, 13);
        const double* m = modelViewCache.get();
        const Vector axis(m[2], m[6], m[10]);
        std::vector<DepthEntry> list =
            CollectTransparentObjects(control->scene, axis, kMaxSortedObjects);
        // The sky takes part here once it has see-through layers.
        if (!list.empty() && !viewFlags.GetBoolean(9)) {
            const bool picking = IsPicking();
            const GlobalState& global = control->globalState;
            if (picking || !(global.GetBoolean(15) || global.GetBoolean(17))) {
                SortByDepth(list.data(), static_cast<int>(list.size()));
                glPushAttrib(GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
                if (!picking) glDepthMask(GL_FALSE);
                if (control->shadingLevel != kShadingWithStencil) glStencilMask(0);
                for (const DepthEntry& entry : list) entry.object->Render();
                glPopAttrib();
            }
            glPushAttrib(GL_ENABLE_BIT | GL_COLOR_BUFFER_BIT);
            glEnable(GL_ALPHA_TEST);
            glAlphaFunc(GL_GEQUAL, 0.0f);
            for (const DepthEntry& entry : list) entry.object->Render();
            glPopAttrib();
        }
    }
    CacheMatrices();
}

void Window::RenderBlueprintOverlays() {
    if (GetViewMode() != kBlueprintView || (viewFlags.GetInt64(0) & TypeBit::kBlueprintIcon))
        return;
    {
        ScopedViewFlag icons(viewFlags, 12);
        // Models with a blueprint icon and groups of models draw their icons here, back to
        // front, once the model classes exist.
    }
    CacheMatrices();
}

void Window::RenderGroundGrid() {
    const BaseControl* control = theControl();
    if (!control || IsPicking()) return;
    const uint64_t hidden = viewFlags.GetInt64(0);
    if ((hidden & (TypeBit::kGrid | kDrawnBarsBit)) || viewFlags.GetBoolean(9) || layerCounter > 0)
        return;
    const GlobalState& global = control->globalState;
    const double gridHeight = control->floorState.GetDouble(4);
    const bool blueprint = GetViewMode() == kBlueprintView;

    glPushMatrix();
    glPushAttrib(GL_COLOR_BUFFER_BIT | GL_ENABLE_BIT | GL_DEPTH_BUFFER_BIT | GL_LINE_BIT);
    glDisable(GL_ALPHA_TEST);
    glDepthMask(GL_FALSE);
    if (global.GetBoolean(17))
        glEnable(GL_TEXTURE_2D);
    else
        glDisable(GL_TEXTURE_2D);
    glTranslated(0.0, gridHeight + kGridLift, 0.0);
    if (!blueprint)
        glLineWidth(gridHeight <= 1.5 ? 1.0f : 2.0f);
    else
        glTranslated(0.0, kBlueprintGridLift, 0.0);

    const double e = kGridExtent;
    glBegin(GL_LINES);
    glColor3d(1.0, 0.0, 0.0);
    glVertex3d(-e, 0.0, 0.0);
    glColor3d(1.0, 1.0, 1.0);
    glVertex3d(e, 0.0, 0.0);
    glColor3d(0.0, 1.0, 0.0);
    glVertex3d(0.0, 0.0, -e);
    glColor3d(1.0, 1.0, 1.0);
    glVertex3d(0.0, 0.0, e);
    glEnd();

    glDisable(GL_LIGHTING);
    glDisable(GL_TEXTURE_2D);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    if (IsOrthographicView())
        glColor4ub(0, 0, 0, 50);
    else
        glColor4ub(255, 255, 255, 50);
    const double spacing = WorkGridSpacing(global);
    // Counted, not stepped, so the last line does not depend on rounding.
    const int lines = static_cast<int>(std::floor(2.0 * e / spacing)) + 1;
    glBegin(GL_LINES);
    for (int i = 0; i < lines; ++i) {
        const double v = -e + i * spacing;
        glVertex3d(v, 0.0, -e);
        glVertex3d(v, 0.0, e);
        glVertex3d(-e, 0.0, v);
        glVertex3d(e, 0.0, v);
    }
    glEnd();
    glPopAttrib();
    glPopMatrix();
}

void Window::UpdateViewVisibility(bool around, int x, int y) {
    BaseControl* control = theControl();
    if (!control) return;
    const int* viewport = viewportCache.get();
    double corners[4][2];
    if (around) {
        const double cy = static_cast<double>(height) - y;
        const double h = kPickSquareHalf;
        const double square[4][2] = {
            {x - h, cy - h}, {x - h, cy + h}, {x + h, cy + h}, {x + h, cy - h}};
        std::copy(&square[0][0], &square[0][0] + 8, &corners[0][0]);
    } else {
        const double x0 = viewport[0];
        const double y0 = viewport[1];
        const double w = viewport[2];
        const double h = viewport[3];
        const double whole[4][2] = {{x0, y0}, {x0, h}, {w, h}, {w, y0}};
        std::copy(&whole[0][0], &whole[0][0] + 8, &corners[0][0]);
    }
    for (int i = 0; i < 4; ++i) {
        double wx = 0.0, wy = 0.0, wz = 0.0;
        gluUnProject(corners[i][0], corners[i][1], 0.0, modelViewCache.get(), projectionCache.get(),
                     viewport, &wx, &wy, &wz);
        viewCorners[i] = Vector(wx, wy, wz);
    }
    SetPickPolygon(viewCorners, 4);
    // The layer mask of picking hides its types here once picking has layers.

    std::vector<RenderableObject*> objects;
    ForEachInScene(control->scene, [&](RenderableObject& object) { objects.push_back(&object); });
    if (control->terrain) objects.push_back(control->terrain);
    for (RenderableObject* object : objects)
        if (object->IsShownInCurrentView() && !object->IsSelected())
            object->UpdateWindowVisibility();
}

void Window::EnableLights(bool on) {
    const BaseControl* control = theControl();
    if (!control || IsPicking()) return;
    if (on) {
        nextLight = GL_LIGHT0;
        for (ShadowLight* light : LightsToSwitchOn(control->scene, control->globalState))
            light->SwitchOn(nextLight);
        return;
    }
    control->scene.Lock();
    for (LinkedListObject* node = control->scene.GetHead(); node; node = node->GetNext())
        if (auto* light = dynamic_cast<ShadowLight*>(node)) light->SwitchOff();
    control->scene.Unlock();
}

void Window::RenderShadowedLights() {
    BaseControl* control = theControl();
    if (!control || IsPicking()) return;
    std::vector<RenderableObject*> objects;
    ForEachInScene(control->scene, [&](RenderableObject& object) { objects.push_back(&object); });
    for (RenderableObject* object : objects) object->SaveFlags();
    // Lights lead the scene list.
    std::vector<LightSource*> lights;
    for (RenderableObject* object : objects) {
        if (!object->HasType(TypeBit::kLight)) break;
        auto* light = dynamic_cast<LightSource*>(object);
        if (light && light->HasDepthMap() && light->GetFlags() == 0) lights.push_back(light);
    }
    for (LightSource* light : lights) {
        if (light->IsDepthMapStale() && control->shadingLevel != 0) {
            light->CreateDepthMap();
            light->ClearDepthMapStale();
            Activate();
        }
        EnableLights(true);
        currentLight = light;
        light->RenderProjLight(*this);
        currentLight = nullptr;
        EnableLights(false);
    }
    for (RenderableObject* object : objects) object->RestoreFlags();
}

void Window::RenderOrbitCrosshairs() {
    // The orbiting modes tell their centre once they exist; until then nothing shows it.
}

void Window::RenderChalkLines() {
    BaseControl* control = theControl();
    if (!control || control->extraList.GetHead() == nullptr) return;
    const double* m = modelViewCache.get();
    // Eye-space depth of a point, from the cached model-view matrix.
    auto depth = [m](const Vector& p) { return m[2] * p.x + m[6] * p.y + m[10] * p.z + m[14]; };
    glPushAttrib(GL_LINE_BIT | GL_CURRENT_BIT);
    glLineWidth(2.0f);
    glColor3ub(255, 0, 0);
    for (LinkedListObject* node = control->extraList.GetHead(); node; node = node->GetNext()) {
        auto* line = dynamic_cast<ChalkLine*>(node);
        if (!line) continue;
        const double lift =
            control->globalState.GetBoolean(12)
                ? 0.2
                : std::fmax(0.005 * std::fmax(std::fabs(depth(line->start)),
                                              std::fabs(depth(line->end))),
                            0.5);
        glPushMatrix();
        glTranslated(line->up.x * lift, line->up.y * lift, line->up.z * lift);
        glBegin(GL_LINES);
        glVertex3d(line->start.x, line->start.y, line->start.z);
        glVertex3d(line->end.x, line->end.y, line->end.z);
        glEnd();
        glPopMatrix();
    }
    glPopAttrib();
}

void Window::RenderWalkCrosshair() {
    if (currentModeNumber != kWalkMode) return;
    if (!Begin2DRender()) return;
    glEnable(GL_COLOR_LOGIC_OP);
    glLogicOp(GL_INVERT);
    const int cx = static_cast<int>(width / 2);
    const int cy = static_cast<int>(height / 2);
    glBegin(GL_LINES);
    glVertex2i(cx, cy + kWalkCrosshairHalf);
    glVertex2i(cx, cy - kWalkCrosshairHalf);
    glVertex2i(cx + kWalkCrosshairHalf, cy);
    glVertex2i(cx - kWalkCrosshairHalf, cy);
    glEnd();
    End2DRender();
}

int Window::CountSelectedPolygons() {
    const BaseControl* control = theControl();
    if (!control) return 0;
    int total = 0;
    control->scene.Lock();
    for (LinkedListObject* node = control->scene.GetHead(); node; node = node->GetNext()) {
        const RenderableObject* object = AsRenderable(node);
        if (!object || !object->IsSelected()) continue;
        // A selected slab ends the count; its selected child adds its polygons once slabs
        // know their children.
        if (object->HasType(TypeBit::kSlab)) break;
        if (object->HasType(TypeBit::kModel)) total += object->GetPolygonCount();
    }
    control->scene.Unlock();
    return total;
}

void Window::RenderAntialiased() {
    BaseControl* control = theControl();
    if (!control) return;
    // A pass number from before a new request starts the series again.
    if (antialiasPass < 0 || antialiasPass >= kAntialiasPasses) antialiasPass = 0;
    const int pass = antialiasPass;
    control->antialiasInProgress = 1;
    Activate();
    glPushAttrib(GL_COLOR_BUFFER_BIT);
    glDrawBuffer(GL_BACK);
    glReadBuffer(GL_BACK);
    if (pass == 0) {
        glClearAccum(0.0f, 0.0f, 0.0f, 0.0f);
        glClear(GL_ACCUM_BUFFER_BIT);
    }
    InitGLState();

    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    const Vector zoom = camera.GetVector(2);
    if (IsOrthographicView()) {
        const double a = pass * 0.125;
        const double c = std::cos(a) * zoom.x / kOrthoJitterDivisor;
        const double s = std::sin(a) * zoom.y / kOrthoJitterDivisor;
        const double bottom = IsElevationView() ? 0.0 : -zoom.y;
        const double top = IsElevationView() ? 2.0 * zoom.y : zoom.y;
        glOrtho(-zoom.x + c, zoom.x + c, bottom + s, top + s, -kOrthoDepth, kOrthoDepth);
    } else {
        JitteredPerspective(fieldOfView, aspect, kPerspectiveNear, kAntialiasFar, kJitter[pass][0],
                            kJitter[pass][1], 0.0, 0.0, 1.0);
    }
    glViewport(0, 0, static_cast<GLsizei>(width), static_cast<GLsizei>(height));
    SetupModelView();
    statusBar1.SetText("Showing smoothed frame...", false);
    RenderScene(0, 0);
    glAccum(GL_ACCUM, 0.125f);
    glFinish();
    glDrawBuffer(GL_FRONT);
    glAccum(GL_RETURN, 8.0f / static_cast<float>(pass + 1));
    char text[64];
    std::snprintf(text, sizeof text, "Smoothing...  %i", kAntialiasPasses - pass);
    statusBar1.SetText(text, false);
    glFinish();
    glDrawBuffer(GL_BACK);
    antialiasPass = pass + 1;
    if (antialiasPass >= kAntialiasPasses) {
        antialiasRequest = 0;
        control->antialiasInProgress = 0;
        // The smoothed frame stays until drawing is enabled again.
        control->SetRenderEnabled(false);
        glAccum(GL_RETURN, 1.0f);
        glFinish();
    }
    glPopAttrib();
    ReleaseCurrentContext();
    control->antialiasInProgress = 0;
}

void Window::PresentClearedFrame() {
    BaseControl* control = theControl();
    if (control) control->LockRender();
    Activate();
    SetupProjection(0, 0);
    InitGLState();
    if (deviceContext) deviceContext->SwapBuffers();
    glFinish();
    ReleaseCurrentContext();
    if (control) control->UnlockRender();
}
