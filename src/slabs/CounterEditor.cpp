#include "slabs/CounterEditor.h"

#include <cmath>

#include "control/BaseControl.h"
#include "control/RenderLockScope.h"
#include "foundation/Trace.h"
#include "render/Window.h"
#include "slabs/Counter.h"

namespace {

// Where a counter starts and where the hover point lies, above the surface under the
// pointer.
constexpr double kStartAbove = 1.0;
constexpr double kHoverAbove = 0.25;

}  // namespace

CounterEditor::~CounterEditor() = default;

bool CounterEditor::HandlesObject(PickableObject* object) {
    if (editLock) return false;
    return !object || object->HasType(TypeBit::kCounter);
}

bool CounterEditor::IsTooSmall(const BaseSlab& slab) const {
    const BoundingBox& box = slab.GetBoundingBox();
    return !(box.min.Distance(box.max) >= kSmallestDiagonal);
}

void CounterEditor::TrackDrawingPoint(intptr_t packedPoint) {
    BaseControl* control = theControl();
    Window* window = ActiveWindow();
    if (!control || !window) return;
    const MousePoint point = MousePoint::Unpack(packedPoint);
    Vector hover;
    // Over the background: the hover point lies on the current level.
    if (!PointUnder(*window, point.x, point.y, hover)) {
        hover = window->ScreenToHeightPlane(point.x, point.y, control->floorState.GetDouble(4));
        if (Window::IsNoIntersection(hover)) return;
    }
    hover.y += kHoverAbove;
    hover.w = 1.0;
    drawingPoint = hover;
    drawingValue = 1.0;
    control->drawingPoint = hover;
}

void CounterEditor::StartNewSlab() {
    BaseControl* control = theControl();
    Window* window = ActiveWindow();
    if (!control || !window) return;
    const MouseInput& in = Input();
    RenderLockScope lock(control);
    Vector under;
    double h = control->floorState.GetDouble(4) + kStartAbove;
    // Over the background the counter starts on the current level, never at the far
    // point of the view.
    if (PointUnder(*window, in.press.x, in.press.y, under)) h = under.y + kStartAbove;
    Vector start = window->ScreenToHeightPlane(in.press.x, in.press.y, h);
    if (Window::IsNoIntersection(start) || !std::isfinite(start.x) || !std::isfinite(start.z)) {
        TraceWrite("No counter start: the press meets no level");
        return;
    }
    start.w = 1.0;
    auto* counter = new Counter(start);
    editedSlab = counter;
    control->scene.Append(counter);
    editedObject = counter;
    grabbed = &counter->GetOutline().GetPrimaryPoints()[0];
    newSlab = counter->GetPickName();
}
