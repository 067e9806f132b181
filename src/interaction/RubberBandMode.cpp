#include "interaction/RubberBandMode.h"

#include <GL/glu.h>

#include <algorithm>
#include <cmath>

#include "control/BaseControl.h"
#include "control/RenderLockScope.h"
#include "model/RenderableObject.h"
#include "model/TopLevelObject.h"
#include "platform/GLContext.h"
#include "platform/Input.h"
#include "render/Window.h"

namespace {

// A window's pick polygon as it stood, put back when the band's test is done, whatever
// way the test ends.
class SavedPickPolygon {
public:
    explicit SavedPickPolygon(Window& window)
        : window_(window),
          source_(window.pickPolygonSource),
          count_(window.pickPolygonCount),
          plane_(window.pickPlane) {
        std::copy(window.pickPolygon, window.pickPolygon + Window::kPickPolygonSize, polygon_);
    }
    ~SavedPickPolygon() {
        window_.pickPolygonSource = source_;
        window_.pickPolygonCount = count_;
        window_.pickPlane = plane_;
        std::copy(polygon_, polygon_ + Window::kPickPolygonSize, window_.pickPolygon);
    }
    SavedPickPolygon(const SavedPickPolygon&) = delete;
    SavedPickPolygon& operator=(const SavedPickPolygon&) = delete;

private:
    Window& window_;
    const Vector* source_;
    int32_t count_;
    Vector plane_;
    Vector polygon_[Window::kPickPolygonSize];
};

}  // namespace

void RubberBandMode::Activate() {
    defaultCursor = platform::LoadCursor(kCursor);
}

void RubberBandMode::Deactivate() {
    defaultCursor = platform::kArrowCursor;
    BaseControl* control = theControl();
    if (control) control->SelectAll(false);
    if (Window* window = ActiveWindow()) window->marqueeShown = 0;
    MouseHandler::Deactivate();
}

void RubberBandMode::OnLButtonDown(intptr_t packedPoint) {
    Window* window = ActiveWindow();
    if (window) window->marqueeShown = 1;
    MouseHandler::OnLButtonDown(packedPoint);
    BaseControl* control = theControl();
    RenderLockScope lock(control);
    const MouseInput& in = Input();
    for (Vector& corner : corners) corner = Vector(in.current.x, in.current.y, 0.0);
    if (window) std::copy(corners, corners + 4, window->marqueeCorners);
    if (!in.shift && control) control->SelectAll(false);
}

void RubberBandMode::OnMouseMove(intptr_t packedPoint) {
    MouseHandler::OnMouseMove(packedPoint);
    const MouseInput& in = Input();
    BaseControl* control = theControl();
    Window* window = ActiveWindow();
    if (!in.left || in.right || !control || !window) return;
    RenderLockScope lock(control);
    corners[2] = Vector(in.current.x, in.current.y, 0.0);
    corners[1] = Vector(corners[2].x, corners[0].y, 0.0);
    corners[3] = Vector(corners[0].x, corners[2].y, 0.0);
    std::copy(corners, corners + 4, window->marqueeCorners);

    // The caches are read from the view's context; without it current, the last frame's
    // stay.
    if (platform::GLContext::IsAnyCurrent()) window->CacheMatrices();
    const int* viewport = window->viewportCache.get();
    Vector points[4];
    for (int i = 0; i < 4; ++i) {
        double x = 0, y = 0, z = 0;
        if (gluUnProject(corners[i].x, viewport[3] - corners[i].y, 0.01,
                         window->modelViewCache.get(), window->projectionCache.get(), viewport, &x,
                         &y, &z) != GL_TRUE ||
            !std::isfinite(x) || !std::isfinite(y) || !std::isfinite(z))
            return;
        points[i] = Vector(x, y, z);
    }
    {
        SavedPickPolygon saved(*window);
        window->SetPickPolygon(points, 4);
        const bool blueprint = window->GetViewMode() == Window::kBlueprintView;
        const bool everyStorey = control->globalState.GetBoolean(6);
        const uint64_t hidden = window->viewFlags.GetInt64(0);
        LinkedListIterator it(control->scene);
        it.LockList();
        for (LinkedListObject* node = it.First(); !it.IsDone(); node = it.Next()) {
            auto* object = dynamic_cast<RenderableObject*>(node);
            if (!object || !object->HasType(kBandTypes) || object->HasType(kNeverTypes)) continue;
            auto* top = dynamic_cast<TopLevelObject*>(node);
            bool inBand = true;
            if (top && !top->IsVisible())
                inBand = false;
            else if (object->GetTypeMask() & hidden)
                inBand = false;
            else if ((blueprint || !everyStorey) && !object->IsInVisibleHeightRange())
                inBand = false;
            else if (object->IsInWindowView(*window))
                inBand = false;
            if (inBand)
                object->SetSelected(true);
            else if (!in.shift)
                object->SetSelected(false);
        }
        it.UnlockList();
        window->ApplyLayerMask();
    }
}

void RubberBandMode::OnLButtonUp(intptr_t packedPoint) {
    const MouseInput& in = Input();
    const MousePoint release = MousePoint::Unpack(packedPoint);
    const bool click = release == in.press;
    MouseHandler::OnLButtonUp(packedPoint);
    BaseControl* control = theControl();
    Window* window = ActiveWindow();
    if (!control || !window) return;
    RenderLockScope lock(control);
    window->marqueeShown = 0;
    if (!click || in.pickCount <= 1) return;
    PickableObject* first = window->GetPickedObject(0);
    if (!first || !first->HasType(kBandTypes) || in.shift) return;
    control->SelectAll(false);
    if (auto* selectable = dynamic_cast<SelectableObject*>(first)) selectable->SetSelected(true);
}
