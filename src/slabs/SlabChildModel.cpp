#include "slabs/SlabChildModel.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "control/BaseControl.h"
#include "control/RenderLockScope.h"
#include "foundation/KeyDataList.h"
#include "foundation/Trace.h"
#include "model/SceneView.h"
#include "platform/GLContext.h"
#include "platform/Menu.h"
#include "platform/Input.h"
#include "render/Window.h"
#include "slabs/BaseSlab.h"

namespace {

constexpr double kMinAxisLength = 0.001;
constexpr int kBlueprintMode = 1;

double ClampedAcos(double c) {
    return std::acos(std::clamp(c, -1.0, 1.0));
}

bool IsFinite(const Vector& v) {
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

}  // namespace

RotatableSlabObject::~RotatableSlabObject() = default;

// ---- Rotation handle ----------------------------------------------------------------

void SlabChildRotationHandle::SetAngle(double degrees) {
    if (!owner || !std::isfinite(degrees)) return;
    owner->AddRotation(degrees);
    owner->FlagOverlappingLights();
}

void SlabChildRotationHandle::GetAxisVector(Vector& out) const {
    out = Vector(0.0, 1.0, 0.0);
    if (!owner) return;
    if (owner->HasType(TypeBit::kOnSlab) && owner->StandsUpright()) return;
    BaseSlab* parent = owner->GetParent();
    if (!parent) return;
    out = parent->GetOutline().normal;
    out.w = 1.0;
    if (owner->GetNormal().z < 0.0) {
        out.Negate();
        out.w = 1.0;
    }
}

bool SlabChildRotationHandle::ProjectCursor(Vector& out, int x, int y) {
    if (!owner) return false;
    Vector axis;
    GetAxisVector(axis);
    const Vector centre = owner->GetWorldCenter();
    Vector hit;
    if (!SlabChildModel::CursorOnPlaneOf(x, y, centre, axis, hit)) return false;
    out = Vector(hit.x - centre.x, hit.y - centre.y, hit.z - centre.z);
    return true;
}

// ---- Model ----------------------------------------------------------------------------

SlabChildModel::SlabChildModel() = default;

SlabChildModel::~SlabChildModel() {
    if (displayList != -1 && platform::GLContext::IsAnyCurrent())
        glDeleteLists(static_cast<GLuint>(displayList), 1);
    displayList = -1;
}

bool SlabChildModel::CursorOnPlane(int x, int y, const Vector& point, const Vector& normalVector,
                                   Vector& out) {
    return CursorOnPlaneOf(x, y, point, normalVector, out);
}

bool SlabChildModel::CursorOnPlaneOf(int x, int y, const Vector& point, const Vector& normalVector,
                                     Vector& out) {
    BaseControl* control = theControl();
    Window* window = control ? control->activeWindow : nullptr;
    if (!window) return false;
    const Vector hit = window->ScreenToPlane(x, y, point, normalVector);
    if (Window::IsNoIntersection(hit) || !IsFinite(hit)) return false;
    out = hit;
    return true;
}

bool SlabChildModel::InBlueprintView() {
    BaseControl* control = theControl();
    SceneView* view = control ? control->GetCurrentView() : nullptr;
    return view && view->GetRenderState().GetInteger(0) == kBlueprintMode;
}

bool SlabChildModel::IsParentLocked() const {
    return parent && parent->IsLocked();
}

Vector SlabChildModel::ComputeCenterOnParent() const {
    Vector c = centerPoint;
    if (parent) {
        const Vector n = parent->GetOutline().normal;
        Vector a(-n.y, n.x, 0.0);
        const double length = a.Length();
        a.Normalize();
        if (length >= kMinAxisLength) c.RotateAboutAxis(-ClampedAcos(n.z), a);
    }
    c.Add(startPoint);
    c.w = 1.0;
    return c;
}

Vector SlabChildModel::GetGrabPoint(int x, int y) {
    Vector result(kNoGrab, kNoGrab, kNoGrab);
    if (!parent) return result;
    BaseControl* control = theControl();
    Window* window = control ? control->activeWindow : nullptr;
    if (!window) return result;
    if (parent->HasType(TypeBit::kWall) && InBlueprintView()) {
        const Vector hit = window->ScreenToHeightPlane(x, y, 0.0);
        if (Window::IsNoIntersection(hit)) return result;
        const Vector v(hit.x - startPoint.x, 0.0, hit.z - startPoint.z);
        Vector d = WallDirection();
        const double along = d.Dot(v);
        return Vector(d.x * along, 0.0, d.z * along);
    }
    const Outline& outline = parent->GetOutline();
    if (outline.GetCount() < 1) return result;
    Vector hit;
    if (!CursorOnPlane(x, y, outline.GetPoints()[0].position, outline.normal, hit)) return result;
    return Vector(hit.x - startPoint.x, hit.y - startPoint.y, hit.z - startPoint.z);
}

Vector SlabChildModel::WallDirection() const {
    Vector d;
    if (!parent) return d;
    const Outline& outline = parent->GetOutline();
    const Vector& u = parent->GetUVector();
    d = Vector(u.x, 0.0, u.z);
    if (d.Length() < kMinAxisLength && outline.GetCount() >= 2) {
        const Vector& a = outline.GetPoints()[0].position;
        const Vector& b = outline.GetPoints()[1].position;
        d = Vector(b.x - a.x, 0.0, b.z - a.z);
    }
    d.Normalize();
    return d;
}

void SlabChildModel::OnCtrlDrag(double dx, double dy) {
    if (!parent || !parent->HasType(TypeBit::kWall) || parent->IsLocked()) return;
    if (!platform::IsKeyDown(platform::VK_CONTROL)) return;
    Vector s = WallDirection();
    s.Scale(dx);
    s.y = dy;
    startPoint.Add(s);
    if (!IsPositionValid()) startPoint.Subtract(s);
}

bool SlabChildModel::IsInVisibleHeightRange() const {
    if (!parent || !parent->HasType(TypeBit::kWall)) return true;
    BaseControl* control = theControl();
    if (!control) return true;
    const double low = control->floorState.GetDouble(4) - 1.0;
    const double high = low + control->wallState.GetDouble(5);
    const double half = (box.max.y - box.min.y) / 2.0;
    return high > worldCenter.y - half && worldCenter.y + half > low;
}

bool SlabChildModel::SetSelected(bool flag) {
    const uint8_t before = selected;
    selected = flag ? 1 : 0;
    if (selected != before) UpdateHighlight();
    return flag;
}

void SlabChildModel::BeginUndoStep() {
    if (parent) parent->BeginUndoStep();
}

void SlabChildModel::EndUndoStep() {
    if (parent) parent->EndUndoStep();
}

void SlabChildModel::CancelUndoStep() {
    if (parent) parent->CancelUndoStep();
}

void SlabChildModel::BuildPropertyMenu(platform::Menu& menu) {
    BaseModel::BuildPropertyMenu(menu);
    // The degree sign, in UTF-8.
    const std::string degrees = "\xC2\xBA";
    platform::Menu& rotate = menu.AppendSubmenu("Rotate Object");
    rotate.AppendItem(kRotateClockwise, "Rotate Clockwise 45" + degrees);
    rotate.AppendItem(kRotateCounterClockwise, "Rotate Counter Clockwise 45" + degrees);
    rotate.AppendItem(kResetRotation, "Reset Rotation");
    menu.AppendSeparator();
    SizeableObject::BuildPropertyMenu(menu);
    menu.AppendSeparator();
}

bool SlabChildModel::ProcessPropertyMenu(uint32_t id) {
    if (BaseModel::ProcessPropertyMenu(id)) return true;
    switch (id) {
        case kDeleteCommand: {
            BaseControl* control = theControl();
            if (control) control->ReleaseHandles();
            BaseSlab* slab = parent;
            if (slab && slab->RemoveChild(this, false)) {
                slab->EndUndoStep();
                // Freed by the render thread: this handler still runs on the object.
                RenderLockScope lock(control);
                // A model without an address has no load to wait for.
                if (!IsLoaded() && !GetURL()[0] && control)
                    control->deletedObjects.Append(this);
                else
                    ReleaseModelWhenIdle();
            } else if (slab) {
                // A locked parent keeps its child; the step begun for the removal goes.
                slab->CancelUndoStep();
                TraceWrite("Delete refused: the parent slab is locked");
            }
            return true;
        }
        case kRotateClockwise:
            AddRotation(-45.0);
            return false;
        case kRotateCounterClockwise:
            AddRotation(45.0);
            return false;
        case kResetRotation:
            SetRotation(0.0);
            return false;
        default:
            return false;
    }
}

void SlabChildModel::WriteKeyData() {
    BaseModel::WriteKeyData();
    KeyDataList& keys = *element->GetChildren();
    centerPoint.WriteChild(keys, "centerPoint");
    normal.WriteChild(keys, "normal");
    startPoint.WriteChild(keys, "startPoint");
    char text[64];
    std::snprintf(text, sizeof text, "%3.6f", rotation);
    keys.AddString("rotation", text);
    // Always 1, whatever the flag: a child that is written has landed.
    std::snprintf(text, sizeof text, "%3.6f", 1.0);
    keys.AddString("dropComplete", text);
}

bool SlabChildModel::ReadKeyData(KeyDataList& keys) {
    BaseModel::ReadKeyData(keys);
    centerPoint.ReadChild(keys, "centerPoint");
    normal.ReadChild(keys, "normal");
    Vector start = startPoint;
    start.ReadChild(keys, "startPoint");
    if (start.x != startPoint.x || start.y != startPoint.y || start.z != startPoint.z)
        PlaceAtPoint(start, false);
    double value = 0.0;
    if (ReadFiniteDouble(keys, "rotation", value)) rotation = value;
    const bool hasDrop = ReadFiniteDouble(keys, "dropComplete", value);
    if (hasDrop) dropComplete = value != 0.0 ? 1 : 0;
    return hasDrop;
}

void SlabChildModel::RenderOnParent(double handleScale) {
    BaseControl* control = theControl();
    if (selected) UpdateTitle();
    if (!placementValid) {
        selectionBox.Draw();
        return;
    }
    glPushName(GetPickName());
    BaseModel::Render();
    if (parent && parent->HasType(TypeBit::kWall) && InBlueprintView()) {
        glPopName();
        return;
    }
    if (selected && !(control && control->globalState.GetBoolean(15))) {
        glPushAttrib(GL_CURRENT_BIT | GL_ENABLE_BIT | GL_COLOR_BUFFER_BIT);
        glDisable(GL_LIGHTING);
        glDisable(GL_TEXTURE_2D);
        glDisable(GL_ALPHA_TEST);
        glColor4d(1.0, 0.0, 0.0, 0.5);
        selectionBox.Draw();
        glPushName(rotationHandle.GetPickName());
        const Vector* corners = selectionBox.ComputeCorners();
        for (int i = 0; i < 8; ++i) {
            glPushMatrix();
            glTranslated(corners[i].x, corners[i].y, corners[i].z);
            if (control) control->DrawMarker(handleScale);
            glPopMatrix();
        }
        glPopAttrib();
        glPopName();
    }
    glPopName();
}
