#include "slabs/EditableSlabChild.h"

#include <cmath>
#include <string>

#include "control/BaseControl.h"
#include "control/LengthFormat.h"
#include "foundation/KeyDataList.h"
#include "foundation/Trace.h"
#include "geometry/ViewProjection.h"
#include "interaction/MouseHandler.h"
#include "render/Window.h"
#include "slabs/BaseSlab.h"
#include "slabs/SlabHole.h"

namespace {


Vector Between(const Vector& from, const Vector& to) {
    return Vector(to.x - from.x, to.y - from.y, to.z - from.z);
}

Vector Scaled(const Vector& v, double s) {
    return Vector(v.x * s, v.y * s, v.z * s);
}

}  // namespace

ViewProjection ViewOf(const Window& window) {
    ViewProjection view;
    for (int i = 0; i < 4; ++i) view.viewport[i] = window.viewportCache[i];
    view.modelView = Matrix(window.modelViewCache.get());
    view.projection = Matrix(window.projectionCache.get());
    return view;
}

EditableSlabChild::EditableSlabChild() = default;

EditableSlabChild::~EditableSlabChild() = default;

bool EditableSlabChild::ParentLocked() const {
    return parent && parent->IsLocked();
}

bool EditableSlabChild::HasArea(const Vector* points, int count) {
    if (!points || count < kMinimumCorners) return false;
    Vector n;
    n.PolygonNormal(points, count);
    if (n.Length() == 0.0) return false;
    // Twice the area: the cross products summed about the first corner.
    Vector sum(0.0, 0.0, 0.0);
    for (int i = 1; i + 1 < count; ++i) {
        Vector c;
        c.Cross(Between(points[0], points[i]), Between(points[0], points[i + 1]));
        sum.Add(c);
    }
    return std::isfinite(sum.Length()) && sum.Length() > 1e-6;
}

bool EditableSlabChild::ProcessPropertyMenu(uint32_t id) {
    if (id != MouseHandler::kDeleteCommand) return UndoableObject::ProcessPropertyMenu(id);
    BaseControl* control = theControl();
    if (control) control->ReleaseHandles();
    BaseSlab* slab = parent;
    if (!slab) return true;
    const bool removed = slab->RemoveChild(this, false);
    // The step that the menu opened ends either way; a refusal leaves no record.
    slab->EndUndoStep();
    if (!removed) {
        TraceWrite("Slab child not deleted: its slab is locked");
        return true;
    }
    parent = nullptr;
    // Never destroyed from its own handler: the render thread frees it.
    if (control)
        control->deletedObjects.Append(this);
    else
        delete this;
    return true;
}

void EditableSlabChild::MarkDirty() {
    UndoableObject::MarkDirty();
    needsGeometry = 1;
}

void EditableSlabChild::Translate(const Vector& offset) {
    outline.Translate(offset.x, offset.y, offset.z);
    MarkDirty();
}

void EditableSlabChild::MoveBy(const Vector& offset) {
    if (ParentLocked()) return;
    Translate(offset);
}

void EditableSlabChild::MoveOnParent(const Vector& offset) {
    MoveBy(offset);
}

void EditableSlabChild::TurnWithParent(const Vector& axis, double angle, const Vector& centre) {
    OutlinePoint* nodes = outline.GetPrimaryPoints();
    for (int i = 0; i < outline.GetPrimaryCount(); ++i) {
        Vector p = Between(centre, nodes[i].position);
        p.RotateAboutAxis(angle, axis);
        p.Add(centre);
        nodes[i].position.Set(p);
    }
    normal.RotateAboutAxis(angle, axis);
    outline.Refresh();
    ComputeNormal();
    UpdateBounds();
    MarkDirty();
}

void EditableSlabChild::BeginUndoStep() {
    if (parent)
        parent->BeginUndoStep();
    else
        UndoableObject::BeginUndoStep();
}

void EditableSlabChild::EndUndoStep() {
    if (parent)
        parent->EndUndoStep();
    else
        UndoableObject::EndUndoStep();
}

void EditableSlabChild::WriteChildKeys(KeyDataList& keys) {
    normal.WriteChild(keys, "normal");
    outline.Save(keys, "outline");
    keys.AddDouble("objectId", GetID());
    keys.AddDouble("transactionObjectId", GetObjectId());
}

bool EditableSlabChild::ReadKeyData(KeyDataList& keys) {
    selected = 0;
    normal.ReadChild(keys, "normal");
    outline.Load(keys, "outline");
    double id = 0.0;
    if (keys.GetDouble("transactionObjectId", id)) {
        if (std::isfinite(id) && id >= 0.0 && id < static_cast<double>(kNoTransactionId))
            SetObjectId(static_cast<TransactionId>(id));
        else
            theTrace().WriteFormat("Slab child: %g is not an object id", id);
    }
    return true;
}

// ---- Corner editing ---------------------------------------------------------------

OutlinePoint* EditableSlabChild::InsertPoint(const ViewProjection& view, int x, int y) {
    if (ParentLocked()) return nullptr;
    MarkDirty();
    OutlinePoint* inserted = outline.InsertScreenPoint(view, x, y, false);
    if (!inserted) return nullptr;
    const int index = outline.IndexOfPrimary(inserted);
    const int count = outline.GetPrimaryCount();
    if (index < 0 || count < 3) return nullptr;
    OutlinePoint* nodes = outline.GetPrimaryPoints();
    const Vector& a = nodes[(index + count - 1) % count].position;
    const Vector& b = nodes[(index + 1) % count].position;
    Vector& p = nodes[index].position;
    const Vector ab = Between(a, b);
    const double lengthSquared = ab.Dot(ab);
    if (lengthSquared > 0.0) {
        const double t = ab.Dot(Between(a, p)) / lengthSquared;
        Vector foot = a;
        foot.Add(Scaled(ab, t));
        if (p.Distance(foot) < kInsertSnapDistance) p.Set(foot);
    }
    outline.Refresh();
    if (IsPositionValid()) {
        UpdateBounds();
        return &outline.GetPrimaryPoints()[index];
    }
    outline.DeletePoint(&outline.GetPrimaryPoints()[index]);
    outline.Refresh();
    UpdateBounds();
    return nullptr;
}

bool EditableSlabChild::RemovePoint(OutlinePoint* node) {
    if (ParentLocked()) return false;
    const int index = outline.IndexOfPrimary(node);
    if (index < 0) return false;
    if (outline.GetPrimaryCount() <= kMinimumCorners) return false;
    MarkDirty();
    const OutlinePoint kept = *node;
    if (!outline.DeletePoint(node)) return false;
    outline.Refresh();
    if (IsPositionValid()) {
        UpdateBounds();
        return true;
    }
    OutlinePoint* back = outline.InsertPoint(kept.position, index, kept.constrainFollowing);
    if (back) {
        *back->edge = *kept.edge;
        back->SetSelected(kept.IsSelected());
    }
    outline.Refresh();
    UpdateBounds();
    return false;
}

void EditableSlabChild::MovePoint(const ViewProjection& view, int x, int y, OutlinePoint* node,
                                  bool snap) {
    if (ParentLocked()) return;
    const int index = outline.IndexOfPrimary(node);
    if (index < 0) return;
    MarkDirty();
    const Vector kept = node->position;
    outline.MovePoint(view, x, y, node);
    OutlinePoint& moved = outline.GetPrimaryPoints()[index];
    if (snap && parent && !parent->HasType(TypeBit::kCounter)) parent->GetGrid().SnapToGrid(moved.position);
    outline.Refresh();
    if (!IsPositionValid()) {
        outline.GetPrimaryPoints()[index].position.Set(kept);
        outline.Refresh();
    }
    UpdateBounds();
}

OutlinePoint* EditableSlabChild::DragEdge(const ViewProjection& view, int x, int y, int px,
                                          int py, OutlinePoint* a, OutlinePoint* b) {
    OutlinePoint* result = outline.DragEdge(view, x, y, px, py, a, b, false);
    if (outline.GetPrimaryCount() == 4 && outline.IsRectangle()) {
        const OutlinePoint* nodes = outline.GetPrimaryPoints();
        ShowLengthInStatusBar("", nodes[0].position.Distance(nodes[1].position),
                              nodes[0].position.Distance(nodes[3].position));
    }
    return result;
}

void EditableSlabChild::UpdateBounds() {
    const int count = outline.GetPrimaryCount();
    if (count <= 0) return;
    const OutlinePoint* nodes = outline.GetPrimaryPoints();
    box.min = box.max = nodes[0].position;
    for (int i = 1; i < count; ++i) {
        const Vector& p = nodes[i].position;
        box.min.x = std::fmin(box.min.x, p.x);
        box.min.y = std::fmin(box.min.y, p.y);
        box.min.z = std::fmin(box.min.z, p.z);
        box.max.x = std::fmax(box.max.x, p.x);
        box.max.y = std::fmax(box.max.y, p.y);
        box.max.z = std::fmax(box.max.z, p.z);
    }
}

void EditableSlabChild::ShowMeasurements() {
    BaseControl* control = theControl();
    if (!control) return;
    if (ParentLocked()) {
        control->ShowObjectStatus(control->LoadResourceString(246).c_str());
        return;
    }
    std::string text = control->LoadResourceString(247);
    text += FormatLength(area, true, 6);
    text += "   ";
    text += control->LoadResourceString(248);
    text += std::to_string(outline.GetPrimaryCount());
    control->ShowObjectStatus(text.c_str());
}

Vector EditableSlabChild::GetGrabPoint(int x, int y) {
    BaseControl* control = theControl();
    Window* window = control ? control->activeWindow : nullptr;
    if (!window) return Vector(0.0, 0.0, 0.0);
    return GetGrabPointIn(ViewOf(*window), x, y);
}

void EditableSlabChild::DragPoint(int x, int y, int px, int py, int pickDepth,
                                  const Vector& grabOffset, bool constrain, int axis) {
    BaseControl* control = theControl();
    Window* window = control ? control->activeWindow : nullptr;
    if (window) DragPointIn(*window, x, y, px, py, pickDepth, grabOffset, constrain, axis);
}

Vector EditableSlabChild::GetGrabPointIn(const ViewProjection& view, int x, int y) {
    if (outline.GetPrimaryCount() == 0) return Vector(0.0, 0.0, 0.0);
    const Vector first = outline.GetPrimaryPoints()[0].position;
    Vector on;
    if (!outline.ScreenToPlaneAt(view, x, y, first, on)) return Vector(0.0, 0.0, 0.0);
    return Between(first, on);
}

void EditableSlabChild::DragPointIn(Window& window, int x, int y, int px, int py,
                                    int pickDepth, const Vector& grabOffset, bool constrain,
                                    int axis) {
    if (ParentLocked() || !parent || pickDepth <= 0) return;
    if (outline.GetPrimaryCount() < kMinimumCorners) return;
    MarkDirty();
    const ViewProjection view = ViewOf(window);
    PickableObject* picked = window.GetPickedObject(pickDepth);
    PickableObject* above = window.GetPickedObject(pickDepth - 1);
    const bool blueprintWall =
        parent->HasType(TypeBit::kWall) && window.GetRenderState().GetInteger(0) == 1;
    if (picked && picked->HasType(TypeBit::kModelPart)) {
        const Vector first = outline.GetPrimaryPoints()[0].position;
        Vector on;
        if (outline.ScreenToPlaneAt(view, x, y, first, on)) {
            Vector d = Between(first, on);
            d.Subtract(grabOffset);
            Vector u = parent->GetUVector();
            u.Normalize();
            Vector v;
            v.Cross(u, parent->GetOutline().normal);
            v.Normalize();
            auto tryMove = [&](const Vector& direction) {
                Vector step = Scaled(direction, d.Dot(direction));
                if (blueprintWall) step.y = 0.0;
                if (step.Length() == 0.0) return;
                MoveBy(step);
                if (!IsPositionValid()) MoveBy(Scaled(step, -1.0));
            };
            if (!(constrain && axis == 2)) tryMove(u);
            if (!(constrain && axis == 1)) tryMove(v);
        }
    } else if (above && above->HasType(TypeBit::kOutlineEdge)) {
        auto* node = dynamic_cast<OutlinePoint*>(picked);
        const int index = outline.IndexOfPrimary(node);
        if (index >= 0) {
            // The outline before the drag: an edge the kind refuses goes back to it.
            KeyDataList snapshot;
            outline.Save(snapshot, "outline");
            const int count = outline.GetPrimaryCount();
            OutlinePoint* nodes = outline.GetPrimaryPoints();
            OutlinePoint* begin =
                DragEdge(view, x, y, px, py, &nodes[index], &nodes[(index + 1) % count]);
            int beginIndex = outline.IndexOfPrimary(begin);
            if (!IsPositionValid()) {
                outline.Load(snapshot, "outline");
                outline.Refresh();
                beginIndex = index;
            }
            if (beginIndex < 0 || beginIndex >= outline.GetPrimaryCount()) beginIndex = index;
            OutlinePoint& now = outline.GetPrimaryPoints()[beginIndex];
            // The next move drags the same edge, even where nodes were replaced.
            if (pickDepth + 3 < Window::kSelectionBufferSize &&
                static_cast<uint32_t>(pickDepth) < window.selectionBuffer[0]) {
                window.selectionBuffer[3 + pickDepth] = now.GetPickName();
                window.selectionBuffer[3 + pickDepth - 1] = now.edge->GetPickName();
            }
        }
    } else if (picked && picked->HasType(TypeBit::kOutlineNode)) {
        MovePoint(view, x, y, dynamic_cast<OutlinePoint*>(picked), constrain);
    }
    UpdateBounds();
    if (parent->HasType(TypeBit::kWall)) {
        if (auto* hole = dynamic_cast<SlabHole*>(this)) {
            std::string text = FormatLength(hole->GetHeightAboveFloor(), false, 6);
            text += " (";
            text += FormatLength(box.min.y, false, 6);
            text += " above ground)";
            window.statusBar1.SetText(text.c_str(), false);
        }
    }
}
