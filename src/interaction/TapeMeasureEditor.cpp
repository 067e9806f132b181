#include "interaction/TapeMeasureEditor.h"

#include <GL/glu.h>

#include <algorithm>
#include <cmath>

#include "control/BaseControl.h"
#include "control/RenderLockScope.h"
#include "foundation/Trace.h"
#include "interaction/TapeMeasure.h"
#include "platform/Input.h"
#include "render/Window.h"
#include "slabs/BaseSlab.h"

namespace {

bool Missed(const Vector& p) {
    return Window::IsNoIntersection(p) || !std::isfinite(p.x) || !std::isfinite(p.y) ||
           !std::isfinite(p.z);
}

Vector Cross(const Vector& a, const Vector& b) {
    Vector c;
    c.Cross(a, b);
    return c;
}

}  // namespace

TapeMeasureEditor::TapeMeasureEditor() {
    BaseControl* control = theControl();
    tape = control ? &control->tapeMeasure : nullptr;
}

void TapeMeasureEditor::Activate() {
    defaultCursor = platform::LoadCursor(kCursor);
    UseCursor(defaultCursor);
}

void TapeMeasureEditor::Deactivate() {
    BaseControl* control = theControl();
    if (!tape && control) tape = &control->tapeMeasure;
    if (tape) tape->Reset();
    defaultCursor = platform::kArrowCursor;
    MouseHandler::Deactivate();
}

Vector TapeMeasureEditor::SnapEnd(const Vector& start, const Vector& end, const Vector& reference,
                                  const Vector& normal) {
    Vector d = end;
    d.Subtract(start);
    const double distance = d.Length();
    if (!(distance >= 0.0001) || !std::isfinite(distance)) return end;
    d.Scale(1.0 / distance);
    const double a = std::acos(std::clamp(d.Dot(reference), -1.0, 1.0)) * 57.29577951308;
    const double snapped = std::floor((a + 22.5) / 45.0) * 45.0 / 57.29577951308;
    // The reference turned towards the pointer's side of it, in the plane.
    const Vector across = Cross(normal, reference);
    const double sign = d.Dot(across) < 0.0 ? -1.0 : 1.0;
    const double c = std::cos(snapped), s = std::sin(snapped) * sign;
    return Vector(start.x + distance * (reference.x * c + across.x * s),
                  start.y + distance * (reference.y * c + across.y * s),
                  start.z + distance * (reference.z * c + across.z * s));
}

void TapeMeasureEditor::OnLButtonDown(intptr_t packedPoint) {
    MouseHandler::OnLButtonDown(packedPoint);
    const MouseInput& in = Input();
    BaseControl* control = theControl();
    Window* window = ActiveWindow();
    if (!tape && control) tape = &control->tapeMeasure;
    if (!in.left || in.right || in.space || in.eKey || !control || !window || !tape) return;
    RenderLockScope lock(control);
    const Vector view = window->UnprojectViewCenter();
    const int x = in.current.x, y = in.current.y;
    Vector start;
    Vector u(0, 1, 0), r(1, 0, 0);
    const int mode = window->GetViewMode();
    PickableObject* first = in.pickCount > 1 ? window->GetPickedObject(0) : nullptr;
    auto* slab = dynamic_cast<BaseSlab*>(first);
    if (mode == Window::kBlueprintView) {
        start = window->ScreenToHeightPlane(
            x, y, control->wallState.GetDouble(5) + control->floorState.GetDouble(4) + 1.0);
    } else if (mode == Window::kElevationView) {
        const int* viewport = window->viewportCache.get();
        double wx = 0, wy = 0, wz = 0;
        if (gluUnProject(x, viewport[3] - y - 1, 0.5, window->modelViewCache.get(),
                         window->projectionCache.get(), viewport, &wx, &wy, &wz) != GL_TRUE)
            return;
        start = Vector(wx, wy, wz);
        u = view;
        r = Vector(0, 1, 0);
    } else if (slab && first->HasType(TypeBit::kSlab)) {
        Vector under;
        window->GetUnderCursor(x, y, under);
        u = slab->GetOutline().normal;
        Vector toViewer = view;
        const double off = slab->GetThickness() / 2.0 * (u.Dot(toViewer) < 0.0 ? -1.0 : 1.0);
        start = Vector(under.x + u.x * off, under.y + u.y * off, under.z + u.z * off);
        r = slab->GetUVector();
        if (in.ctrl) {
            r = u;
            if (std::fabs(u.x) < 1e-9 && std::fabs(u.z) < 1e-9) {
                u = Vector(view.x, 0.0, view.z);
                u.Normalize();
            } else {
                u = Vector(u.z, u.y, -u.x);
            }
        }
    } else {
        start = window->ScreenToHeightPlane(x, y, control->floorState.GetDouble(4) + 1.0);
        if (in.ctrl) {
            r = Vector(0, 1, 0);
            u = Vector(view.x, 0.0, view.z);
            u.Normalize();
        }
    }
    if (Missed(start)) return;
    POSTCONDITION(std::fabs(r.Length() - 1.0) < 0.1, "uVector was not returned as a unit vector");
    if (u.Dot(view) < 0.0) u.Negate();
    u.w = r.w = 1.0;
    planeNormal = u;
    reference = r;
    tape->SetStart(start);
    tape->up = u;
    tape->window = window;
}

void TapeMeasureEditor::OnMouseMove(intptr_t packedPoint) {
    MouseHandler::OnMouseMove(packedPoint);
    PRECONDITION(tape != nullptr, "Tape measure is null");
    const MouseInput& in = Input();
    BaseControl* control = theControl();
    Window* window = ActiveWindow();
    if (!tape || !control || !window || !in.left || in.right || in.space || in.eKey) return;
    if (tape->window != window) return;
    RenderLockScope lock(control);
    Vector end = window->ScreenToPlane(in.current.x, in.current.y, tape->start, planeNormal);
    // A ray along the plane meets it nowhere: the tape stays as it was.
    if (Missed(end)) return;
    if (!in.shift) end = SnapEnd(tape->start, end, reference, planeNormal);
    tape->SetEnd(end);
}
