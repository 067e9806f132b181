#include "model/RenderableObject.h"

#include <GL/gl.h>

#include "control/BaseControl.h"
#include "foundation/ViewState.h"
#include "model/SceneView.h"
#include "model/ShadowLight.h"

namespace {

uint32_t ViewBit(const SceneView& view) {
    return 1u << (static_cast<unsigned>(view.GetViewId()) & 31u);
}

SceneView* CurrentView() {
    BaseControl* control = theControl();
    return control ? control->GetCurrentView() : nullptr;
}

}  // namespace

RenderableObject::~RenderableObject() {
    children.DeleteAll();
    delete attached;
    attached = nullptr;
}

RenderableObject* RenderableObject::Clone() {
    return nullptr;
}

void RenderableObject::PrepareRender() {}

Vector RenderableObject::IntersectSegment(const Vector&, const Vector&) {
    return Vector();
}

bool RenderableObject::IsLocked() const {
    return false;
}

const BoundingBox& RenderableObject::GetBoundingBox() const {
    return box;
}

void RenderableObject::MarkDirty() {
    rebuild = 1;
}

void RenderableObject::AndFlags(uint32_t mask) {
    viewFlags &= mask;
}

uint32_t RenderableObject::GetFlags() const {
    return viewFlags;
}

bool RenderableObject::IsVisibleInCurrentWindow() const {
    const SceneView* view = CurrentView();
    return view && (viewFlags & ViewBit(*view)) != 0;
}

void RenderableObject::SetFlags(uint32_t word) {
    viewFlags = word;
}

void RenderableObject::UpdateWindowVisibility() {
    SceneView* view = CurrentView();
    if (!view) return;
    if (IsInWindowView(*view))
        viewFlags |= ViewBit(*view);
    else
        viewFlags &= ~ViewBit(*view);
}

bool RenderableObject::IsInWindowView(SceneView& view) {
    return view.HitTestPolygon(GetCorners(), 8, true);
}

Vector* RenderableObject::GetCorners() {
    return box.ComputeCorners();
}

bool RenderableObject::InCurrentStorey(double minY, double maxY) {
    BaseControl* control = theControl();
    if (!control) return true;
    const double low = control->floorState.GetDouble(4) - 1.0;
    const double high = low + control->wallState.GetDouble(5);
    return minY < high && maxY > low;
}

bool RenderableObject::IsInVisibleHeightRange() const {
    return InCurrentStorey(box.min.y, box.max.y);
}

bool RenderableObject::IsShownInCurrentView() {
    bool shown = true;
    if (BaseControl* control = theControl()) {
        SceneView* view = control->GetCurrentView();
        const uint64_t hidden = view ? view->GetRenderState().GetInt64(0) : 0;
        const int mode = view ? view->GetRenderState().GetInteger(0) : 0;
        if (hidden & GetTypeMask()) {
            shown = false;
        } else {
            shown = (mode != 1 && control->globalState.GetBoolean(6)) || IsInVisibleHeightRange();
        }
    }
    shownInView = shown ? 1 : 0;
    return shown;
}

void RenderableObject::TranslateWithAttached(const Vector& offset) {
    Translate(offset);
}

void RenderableObject::SaveFlags() {
    savedViewFlags = viewFlags;
}

void RenderableObject::RestoreFlags() {
    viewFlags = savedViewFlags;
}

void RenderableObject::RemoveOffset() {
    if (!offsetApplied) return;
    const Vector now = OffsetReference();
    offsetBase.Set(now.x - offsetBase.x, now.y - offsetBase.y, now.z - offsetBase.z, 1.0);
    offsetApplied = 0;
}

void RenderableObject::ApplyOffset() {
    offsetBase.Set(OffsetReference());
    offsetApplied = 1;
}

void RenderableObject::MoveBy(const Vector&) {}

bool RenderableObject::IsPositionValid() {
    return true;
}

bool RenderableObject::HasTransparentPart() const {
    return false;
}

int RenderableObject::GetPolygonCount() const {
    return 0;
}

bool RenderableObject::StraddlesSectionPlane() {
    BaseControl* control = theControl();
    if (!control || control->excludedObject == this) return false;
    SceneView* view = control->GetCurrentView();
    if (!view || view->GetViewId() <= 0) return false;
    const Vector plane = view->GetSectionPlane();
    const Vector* corners = GetCorners();
    bool below = false;
    bool above = false;
    for (int i = 0; i < 8; ++i) {
        const double d = plane.Dot(corners[i]) + plane.w;
        if (d < -0.1) below = true;
        if (d > 0.1) above = true;
        if (below && above) return true;
    }
    return false;
}

void RenderableObject::SetStencilForSelection() const {
    const SceneView* view = CurrentView();
    if (!view) return;
    const int pass = view->GetPassCount();
    if (pass <= 0 || pass != view->GetViewId()) return;
    const bool selectedForPass = (passMask >> (static_cast<unsigned>(pass) & 31u)) & 1u;
    glStencilFunc(GL_EQUAL, pass, selectedForPass ? 207u : 15u);
}

void RenderableObject::FlagOverlappingLights() {
    BaseControl* control = theControl();
    if (!control) return;
    // The render lock comes before any list's lock.
    control->LockRender();
    LinkedListIterator it(control->scene);
    it.LockList();
    for (LinkedListObject* node = it.First(); !it.IsDone(); node = it.Next()) {
        auto* pickable = dynamic_cast<PickableObject*>(node);
        if (!pickable || !pickable->HasType(TypeBit::kLight)) break;
        auto* light = dynamic_cast<ShadowLight*>(node);
        if (light && light->GetShadowValue() == 1.0 && light->OverlapsObject(*this))
            light->FlagForRebuild();
    }
    it.UnlockList();
    control->UnlockRender();
}

void RenderableObject::SetBoundingBox(const BoundingBox& newBox) {
    box.min = newBox.min;
    box.max = newBox.max;
}
