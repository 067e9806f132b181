// Scene-wide operations of the control: the scene-state stack, selection and deletion,
// visibility by type, display data, lights, markers and small scene queries.

#include <GL/gl.h>
#include <GL/glu.h>

#include <atomic>
#include <cmath>

#include "control/BaseControl.h"
#include "control/RenderLockScope.h"
#include "control/SceneObjectKinds.h"
#include "foundation/Trace.h"
#include "foundation/UndoableObject.h"
#include "interaction/MouseHandler.h"
#include "interaction/TraceImageModel.h"
#include "model/SceneView.h"
#include "model/TopLevelObject.h"
#include "platform/GLContext.h"
#include "render/EditorObjectKinds.h"
#include "render/Window.h"

namespace {

std::atomic<const SceneObjectKinds*> sceneObjectKinds{nullptr};

constexpr uint32_t kViewStoredMessage = 273;
constexpr uint32_t kNoViewStoredMessage = 274;
constexpr double kSmallMarkerScale = 0.3333;

uint32_t LowWord(uint64_t mask) {
    return static_cast<uint32_t>(mask & 0xFFFFFFFFu);
}
uint32_t HighWord(uint64_t mask) {
    return static_cast<uint32_t>(mask >> 32);
}

bool HasType(const LinkedListObject* node, uint64_t mask) {
    const auto* pickable = dynamic_cast<const PickableObject*>(node);
    return pickable && pickable->HasType(mask);
}

double OnValue(const RenderableObject& light) {
    const SceneObjectKinds* kinds = GetSceneObjectKinds();
    return kinds ? kinds->LightOnValue(light) : 1.0;
}

// Calls `visit` for every scene object of the list, under the list's lock.
template <class Visit>
void ForEachRenderable(const LinkedList& list, Visit visit) {
    LinkedListIterator it(list);
    it.LockList();
    for (LinkedListObject* node = it.First(); !it.IsDone(); node = it.Next()) {
        if (auto* object = dynamic_cast<RenderableObject*>(node)) visit(*object);
    }
    it.UnlockList();
}

// Every view window of the list.
template <class Visit>
void ForEachWindow(const LinkedList* list, Visit visit) {
    if (!list) return;
    LinkedListIterator it(list);
    it.LockList();
    for (LinkedListObject* node = it.First(); !it.IsDone(); node = it.Next()) {
        if (auto* window = dynamic_cast<Window*>(node)) visit(*window);
    }
    it.UnlockList();
}

}  // namespace

void SetSceneObjectKinds(const SceneObjectKinds* kinds) {
    sceneObjectKinds.store(kinds);
}

const SceneObjectKinds* GetSceneObjectKinds() {
    const SceneObjectKinds* set = sceneObjectKinds.load();
    return set ? set : &TheEditorObjectKinds();
}

// ---- Scene-state stack ----

void BaseControl::SaveSceneStateAs(int index) {
    if (!PRECONDITION(index >= 0 && index < kSceneStates, "index is out of range for scene Stack"))
        return;
    SceneState& entry = sceneStates[index];
    if (entry.initialised) {
        platform::MessageBoxRequest box;
        box.text = LoadResourceString(kViewStoredMessage);
        box.caption = "Overwrite Existing";
        box.buttons = platform::MessageButtons::OkCancel;
        box.icon = platform::MessageIcon::Information;
        box.systemModal = true;
        if (ShowMessageBox(box) == platform::MessageAnswer::Cancel) return;
    }
    if (!PRECONDITION(mainWindow != nullptr, "No main window to store the view of")) return;
    LockRender();
    entry.renderState.CopyFrom(mainWindow->viewFlags);
    entry.viewState.CopyFrom(mainWindow->camera);
    entry.viewState.SetDouble(0, mainWindow->fieldOfView);
    entry.initialised = 1;
    UnlockRender();
}

bool BaseControl::GoToSceneState(int index) {
    if (!PRECONDITION(index >= 0 && index < kSceneStates,
                      "index is out of range for go to scene stack"))
        return false;
    const SceneState& entry = sceneStates[index];
    if (!entry.initialised) {
        ShowResourceMessage(kNoViewStoredMessage, "No Data Saved");
        return false;
    }
    if (!PRECONDITION(mainWindow != nullptr, "No main window to show the view in")) return false;
    LockRender();
    mainWindow->ApplyViewSnapshot(entry);
    UnlockRender();
    return true;
}

// ---- Selection and deletion ----

void BaseControl::DeleteSelectedObjects() {
    theTrace().Write("DSO");
    BeginUndoGroup();
    LockRender();
    scene.Lock();
    for (bool again = true; again;) {
        again = false;
        LinkedListIterator it(scene);
        for (LinkedListObject* node = it.First(); !it.IsDone(); node = it.Next()) {
            auto* object = dynamic_cast<RenderableObject*>(node);
            if (!object) continue;
            object->SetFlags(0);
            if (!object->IsSelected()) continue;
            auto* undoable = dynamic_cast<UndoableObject*>(object);
            if (undoable) undoable->BeginUndoStep();
            const bool removed = object->RemoveFromList(scene);
            if (undoable) undoable->EndUndoStep();
            object->SetSelected(false);
            if (removed) deletedObjects.Append(object);
            again = true;  // the walk starts over after every removal
            break;
        }
    }
    scene.Unlock();
    theTrace().Write("~tim");
    if (activeWindow && activeWindow->traceImage && activeWindow->traceImage->IsSelected()) {
        // Taken from the window before its step ends, so the step records a deletion.
        TraceImageModel* image = activeWindow->traceImage;
        image->BeginUndoStep();
        activeWindow->traceImage = nullptr;
        image->EndUndoStep();
        image->SetSelected(false);
        delete image;
    }
    ReleaseHandles();
    globalState.SetBoolean(18, false);
    RebuildDisplayData();
    UnlockRender();
    EndUndoGroup();
    theTrace().Write("DSOe");
}

void BaseControl::ReleaseHandles() {
    theTrace().Write("Releasing handles");
    ForEachWindow(windowList, [](Window& window) {
        if (MouseHandler* mode = window.GetCurrentMode()) mode->ReleaseTarget();
    });
    theTrace().Write("Done releasing mouseHandler handles");
}

// ---- Visibility by type ----

void BaseControl::SetVisibilityByTypeMask(uint64_t typeMask, bool visible, bool showBusy) {
    SceneView* view = GetActiveView();
    MouseHandler* mode = view ? view->GetCurrentMode() : nullptr;
    if (showBusy && mode) mode->SetBusyCursor(true);

    LinkedListIterator it(scene);
    it.LockList();
    for (LinkedListObject* node = it.First(); !it.IsDone(); node = it.Next()) {
        auto* object = dynamic_cast<TopLevelObject*>(node);
        if (object && HasType(node, typeMask)) object->SetVisible(visible);
    }
    it.UnlockList();

    if (typeMask == TypeMask::kAllTypes) {
        ForEachWindow(windowList, [visible](Window& window) {
            if (auto* image = dynamic_cast<TopLevelObject*>(window.traceImage))
                image->SetVisible(visible);
        });
        if (visible) {
            hiddenQueue.DeleteAll();
            const SceneObjectKinds* kinds = GetSceneObjectKinds();
            ForEachRenderable(scene, [kinds](RenderableObject& object) {
                if (object.HasType(TypeBit::kStairs)) {
                    if (kinds) kinds->RebuildStairs(object);
                } else if (object.HasType(TypeBit::kRoofGroup)) {
                    if (kinds) kinds->UpdateRoofGroupPeak(object);
                    object.FlagOverlappingLights();
                }
            });
        }
    }

    if (view) {
        RenderState& state = view->GetRenderState();
        const uint64_t hidden = state.GetInt64(0);
        state.SetInt64(0, visible ? hidden & ~typeMask : hidden | typeMask);
    }
    if (visible) {
        while (RemoveHiddenTypes(typeMask)) {
        }
        RemoveFromSecondTypeMask(typeMask);
    } else {
        QueueHiddenTypes(typeMask);
    }

    if (showBusy) {
        RebuildDisplayData();
        if (mode) mode->SetBusyCursor(false);
    }
}

void BaseControl::ToggleVisibilityByTypeMask(uint64_t typeMask) {
    SceneView* view = GetActiveView();
    const bool hidden = view && (view->GetRenderState().GetInt64(0) & typeMask) != 0;
    SetVisibilityByTypeMask(typeMask, hidden, true);
}

void BaseControl::AddToSecondTypeMask(uint64_t typeMask) {
    if (SceneView* view = GetActiveView())
        view->GetRenderState().SetInt64(1, view->GetRenderState().GetInt64(1) | typeMask);
}

void BaseControl::RemoveFromSecondTypeMask(uint64_t typeMask) {
    if (SceneView* view = GetActiveView())
        view->GetRenderState().SetInt64(1, view->GetRenderState().GetInt64(1) & ~typeMask);
}

void BaseControl::ToggleSecondTypeMask(uint64_t typeMask) {
    if (SceneView* view = GetActiveView())
        view->GetRenderState().SetInt64(1, view->GetRenderState().GetInt64(1) ^ typeMask);
}

void BaseControl::QueueHiddenTypes(uint64_t typeMask) {
    hiddenQueue.Prepend(new HiddenQueueObject(LowWord(typeMask), HighWord(typeMask)));
}

bool BaseControl::RemoveHiddenTypes(uint64_t typeMask) {
    hiddenQueue.Lock();
    LinkedListIterator it(hiddenQueue);
    LinkedListObject* found = nullptr;
    for (LinkedListObject* node = it.First(); !it.IsDone(); node = it.Next()) {
        auto* entry = static_cast<HiddenQueueObject*>(node);
        if (!entry->object && entry->Matches(LowWord(typeMask), HighWord(typeMask))) {
            found = node;
            break;
        }
    }
    const bool removed = found && hiddenQueue.DeleteNode(found);
    hiddenQueue.Unlock();
    return removed;
}

void BaseControl::ApplyPendingVisibility() {
    // The entry leaves the queue first: showing its types edits the queue.
    auto* entry = static_cast<HiddenQueueObject*>(hiddenQueue.PopHead());
    if (!entry) return;
    if (entry->object) {
        entry->object->SetVisible(true);
    } else {
        const uint64_t mask = (static_cast<uint64_t>(entry->second) << 32) | entry->first;
        if (mask != 0) SetVisibilityByTypeMask(mask, true, true);
    }
    delete entry;
}

// ---- Display data and lights ----

bool BaseControl::RebuildDisplayData() {
    LockRender();
    // Depth maps need a context; borrow the main window's when none is current.
    const bool borrowed = !platform::GLContext::IsAnyCurrent() && mainWindow;
    if (borrowed) mainWindow->Activate();
    ForEachRenderable(scene, [](RenderableObject& object) { object.IsShownInCurrentView(); });
    theTrace().Write("RADM");
    const SceneObjectKinds* kinds = GetSceneObjectKinds();
    const bool deferred = globalState.GetBoolean(12);
    ForEachRenderable(scene, [&](RenderableObject& object) {
        if (!object.HasType(TypeBit::kLight) || !kinds) return;
        if (!deferred) {
            kinds->CreateDepthMap(object);
            if (mainWindow) mainWindow->Activate();
        }
        kinds->SetDepthMapPending(object, deferred);
    });
    theTrace().Write("eRADM");
    if (borrowed) mainWindow->ReleaseCurrentContext();
    UnlockRender();
    return true;
}

void BaseControl::RefreshTypedObjects() {
    const SceneObjectKinds* kinds = GetSceneObjectKinds();
    LockRender();
    ForEachRenderable(scene, [kinds](RenderableObject& object) {
        if (object.HasType(TypeBit::kDimension))
            object.MarkDirty();
        else if (object.HasType(TypeBit::kWall) && kinds)
            kinds->RefreshDimensions(object);
    });
    UnlockRender();
}

void BaseControl::PlaceLightInScene(RenderableObject* light) {
    if (!PRECONDITION(light != nullptr, "No light to place")) return;
    RenderLockScope hold(*this);
    LinkedListObject* lastLight = nullptr;
    scene.Lock();
    for (LinkedListObject* node = scene.GetHead(); node && HasType(node, TypeBit::kLight);
         node = node->GetNext())
        lastLight = node;
    scene.InsertAfter(lastLight, light);
    scene.Unlock();
}

bool BaseControl::SetActiveLight(RenderableObject* light) {
    if (!light) {
        activeLight = nullptr;
        return true;
    }
    if (light->IsLocked() || OnValue(*light) != 1.0) return false;
    activeLight = light;
    return true;
}

RenderableObject* BaseControl::FindActiveLight() {
    RenderableObject* found = nullptr;
    ForEachRenderable(scene, [&](RenderableObject& object) {
        if (!found && object.HasType(TypeBit::kLight) && SetActiveLight(&object)) found = &object;
    });
    return found;
}

bool BaseControl::HasSwitchedLight() {
    bool switched = false;
    ForEachRenderable(scene, [&](RenderableObject& object) {
        if (object.HasType(TypeBit::kLight) && OnValue(object) != 1.0) switched = true;
    });
    return switched;
}

// ---- Markers ----

void BaseControl::BuildMarkerCube() {
    LockRender();
    if (mainWindow) mainWindow->Activate();
    if (!PRECONDITION(platform::GLContext::IsAnyCurrent(), "No context for the marker cube")) {
        UnlockRender();
        return;
    }
    if (markerDisplayList == -1) markerDisplayList = static_cast<int>(glGenLists(1));
    glNewList(static_cast<GLuint>(markerDisplayList), GL_COMPILE);
    glPushAttrib(GL_ENABLE_BIT | GL_COLOR_BUFFER_BIT);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glDisable(GL_LIGHTING);
    glDisable(GL_TEXTURE_2D);
    const double h = 0.5;
    glBegin(GL_QUAD_STRIP);
    for (const auto& c : {std::pair{-h, -h}, {h, -h}, {h, h}, {-h, h}, {-h, -h}}) {
        glVertex3d(c.first, -h, c.second);
        glVertex3d(c.first, h, c.second);
    }
    glEnd();
    glBegin(GL_QUADS);
    for (double y : {h, -h})
        for (const auto& c : {std::pair{-h, -h}, {-h, h}, {h, h}, {h, -h}})
            glVertex3d(c.first, y, y > 0 ? c.second : -c.second);
    glEnd();
    glPopAttrib();
    glEndList();
    UnlockRender();
}

namespace {

// Markers are left out of feedback renders and of views that draw without them.
bool MarkersDrawn(const BaseControl& control) {
    const SceneView* active = control.GetActiveView();
    if (active && const_cast<SceneView*>(active)->GetRenderState().GetBoolean(10)) return false;
    SceneView* current = control.GetCurrentView();
    if (current && current->GetRenderState().GetBoolean(11) &&
        !current->GetRenderState().GetBoolean(3))
        return false;
    return true;
}

bool CurrentViewPicks(const BaseControl& control) {
    SceneView* current = control.GetCurrentView();
    return current && current->GetRenderState().GetBoolean(3);
}

}  // namespace

void BaseControl::DrawMarker(double size) {
    if (!MarkersDrawn(*this) || markerDisplayList == -1) return;
    if (globalState.GetBoolean(18) && !CurrentViewPicks(*this)) size *= kSmallMarkerScale;
    glPushMatrix();
    glScaled(size, size, size);
    glCallList(static_cast<GLuint>(markerDisplayList));
    glPopMatrix();
}

void BaseControl::DrawSelectionSphere(double radius) {
    if (!MarkersDrawn(*this) || !quadric) return;
    if (globalState.GetBoolean(18)) radius *= kSmallMarkerScale;
    glPushAttrib(GL_ENABLE_BIT | GL_COLOR_BUFFER_BIT);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    gluSphere(quadric, radius, 10, 10);
    glPopAttrib();
}

void BaseControl::DrawCone(int segments, double radius) {
    SceneView* active = GetActiveView();
    if (active && active->GetRenderState().GetBoolean(10)) return;
    if (segments < 3) return;
    const double step = 2.0 * M_PI / segments;
    glBegin(GL_TRIANGLE_FAN);
    glVertex3d(0.0, 2.0 * radius, 0.0);
    for (int i = 0; i <= segments; ++i)
        glVertex3d(radius * std::cos(i * step), 0.0, radius * std::sin(i * step));
    glEnd();
    glBegin(GL_POLYGON);
    for (int i = segments; i > 0; --i)
        glVertex3d(radius * std::cos(i * step), 0.0, radius * std::sin(i * step));
    glEnd();
}

// ---- Scheme, counts, messages, small queries ----

void BaseControl::SetBlueprintColorScheme(int scheme) {
    if (!PRECONDITION(scheme >= 0 && scheme < kBlueprintColors / 8, "No such colour scheme"))
        return;
    LockRender();
    blueprintColorScheme = scheme;
    const SceneObjectKinds* kinds = GetSceneObjectKinds();
    if (kinds) {
        ForEachRenderable(scene, [&](RenderableObject& object) {
            if (object.HasType(TypeBit::kSlab)) kinds->PassBlueprintScheme(object, scheme);
        });
    }
    UnlockRender();
}

int BaseControl::CountItems() {
    constexpr uint64_t kNotCounted = TypeBit::kLight | TypeBit::kDimension | TypeBit::kRoofGroup;
    constexpr uint64_t kSlabsWithChildren =
        TypeBit::kWall | TypeBit::kFloor | TypeBit::kRoof | TypeBit::kCounter;
    const SceneObjectKinds* kinds = GetSceneObjectKinds();
    int count = 0;
    ForEachRenderable(scene, [&](RenderableObject& object) {
        if (object.HasType(kNotCounted)) return;
        ++count;
        if (!kinds) return;
        if (object.HasType(kSlabsWithChildren))
            count += kinds->CountChildren(object);
        else if (object.HasType(TypeBit::kGroup))
            count += kinds->CountChildren(object) - 1;
    });
    return count;
}

bool BaseControl::ShowOnceMessage(uint32_t stringId, const char* caption, int booleanSlot) {
    if (!globalState.GetBoolean(booleanSlot)) return false;
    ShowResourceMessage(stringId, caption);
    globalState.SetBoolean(booleanSlot, false);
    return true;
}

void BaseControl::ShowTimedMessage(uint32_t milliseconds, const char* text) {
    if (!PRECONDITION(mainWindow != nullptr, "No main window for the message")) return;
    mainWindow->statusBar1.SetShown(true);
    mainWindow->statusBar1.SetText(text, false);
    if (mainWindow->windowHandle != platform::kNoWindow)
        platform::SetTimer(mainWindow->windowHandle, Window::kTimedPromptTimer, milliseconds);
}

bool BaseControl::PointInPolygon(double x, double z, const Vector* points, int count) {
    if (!points || count <= 0) return false;
    bool inside = false;
    for (int i = 0, j = count - 1; i < count; j = i++) {
        const Vector& a = points[i];
        const Vector& b = points[j];
        if ((a.y > z) != (b.y > z) && x < (b.x - a.x) * (z - a.y) / (b.y - a.y) + a.x)
            inside = !inside;
    }
    return inside;
}

void BaseControl::SetActiveWindowByHandle(platform::WindowHandle handle) {
    if (handle == platform::kNoWindow) return;
    // The render loop reads the active window during its passes.
    RenderLockScope hold(*this);
    ForEachWindow(windowList, [&](Window& window) {
        if (window.windowHandle == handle) activeWindow = &window;
    });
}
