#include "interaction/Dimension.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>

#include "control/BaseControl.h"
#include "control/LengthFormat.h"
#include "foundation/KeyDataList.h"
#include "foundation/Trace.h"
#include "foundation/ViewState.h"
#include "interaction/Text.h"
#include "model/SceneView.h"
#include "platform/GLContext.h"
#include "platform/Menu.h"
#include "render/Window.h"

namespace {

void WritePoint(KeyDataList& keys, const char* name, const OutlinePoint& point) {
    KeyDataList* list = keys.AddSublist(name);
    point.position.WriteChild(*list, "v");
    list->AddDouble("constrainFollowing", point.constrainFollowing ? 1.0 : 0.0);
}

void ReadPoint(const KeyDataList& keys, const char* name, OutlinePoint& point) {
    const KeyDataList* list = keys.GetSublist(name);
    if (list->IsEmpty()) return;
    point.position.ReadChild(*list, "v");
    list->GetBool("constrainFollowing", point.constrainFollowing);
}

}  // namespace

Dimension::Dimension(bool isUserDefined)
    : userDefined(isUserDefined ? 1 : 0), label(std::make_unique<Text>(false)) {
    offsetHandle.position = Vector(20.0, 0.0, 0.0);
    label->SetHeight(8.0);
    label->SetFontAndColour("Arial", 8.0, 0.0, 0.0, 0.0);
    label->SetDimensionLabel(true);
    BaseControl* control = theControl();
    SceneView* view = control ? control->GetActiveView() : nullptr;
    creationViewMode = view ? view->GetRenderState().GetInteger(0) : 0;
    if (userDefined && creationViewMode == 1 && control)
        blueprintEffectiveHeight = control->floorState.GetDouble(4);
}

Dimension::~Dimension() {
    if (displayList != 0xFFFFFFFFu && platform::GLContext::IsAnyCurrent())
        glDeleteLists(displayList, 1);
}

void Dimension::Translate(const Vector& offset) {
    startPoint.position.Add(offset);
    endPoint.position.Add(offset);
    blueprintEffectiveHeight += offset.y;
    MarkDirty();
}

void Dimension::SetEndPoints(const Vector& start, const Vector& end) {
    if (start.Equals(startPoint.position) && end.Equals(endPoint.position)) return;
    startPoint.position.Set(start);
    endPoint.position.Set(end);
    direction = Vector(end.x - start.x, end.y - start.y, end.z - start.z);
    direction.Normalize();
    MarkDirty();
}

void Dimension::SetOffsetDirection(const Vector& v) {
    if (v.Length() < 0.01) return;
    Vector& offset = offsetHandle.position;
    const double length = offset.Length();
    const bool against = offset.Dot(v) < 0.0;
    Vector turned = v;
    turned.Normalize();
    turned.Scale(against ? -length : length);
    offset.Set(turned);
    MarkDirty();
}

void Dimension::SetOffsetLength(double length) {
    Vector& offset = offsetHandle.position;
    if (offset.Length() == 0.0) return;
    offset.Normalize();
    offset.Scale(length);
    MarkDirty();
}

void Dimension::SetLabelColor(double r, double g, double b) {
    if (label) label->SetFontAndColour(label->GetFaceName().c_str(), label->GetHeight(), r, g, b);
    labelColor[0] = r;
    labelColor[1] = g;
    labelColor[2] = b;
    labelColor[3] = 1.0;
}

void Dimension::Write(KeyDataList& keys) const {
    keys.AddDouble("visibleRenderType", creationViewMode);
    keys.AddDouble("Locked", IsLocked() ? 1.0 : 0.0);
    direction.WriteChild(keys, "direction");
    WritePoint(keys, "startPoint", startPoint);
    WritePoint(keys, "endPoint", endPoint);
    WritePoint(keys, "offset", offsetHandle);
    keys.AddDouble("userDefined", userDefined ? 1.0 : 0.0);
    keys.AddDouble("blueprintEffectiveHeight", blueprintEffectiveHeight);
    if (label) {
        label->WriteKeyData();
        if (KeyDataSublist* written = label->TakeWrittenElement()) {
            KeyDataList* text = keys.AddSublist("Text");
            text->AppendCopiesOf(*written->GetChildren());
            delete written;
        }
    }
    keys.AddDouble("transactionObjectId", GetObjectId());
    if (!userDefined) keys.AddDouble("visible", IsVisible() ? 1.0 : 0.0);
}

void Dimension::WriteKeyData() {
    delete element;
    element = new KeyDataSublist("Dimension");
    Write(*element->GetChildren());
}

bool Dimension::ReadKeyData(KeyDataList& keys) {
    int mode = 0;
    if (keys.GetInt("visibleRenderType", mode)) creationViewMode = mode;
    bool flag = false;
    if (keys.GetBool("Locked", flag)) SetLocked(flag);
    direction.ReadChild(keys, "direction");
    ReadPoint(keys, "startPoint", startPoint);
    ReadPoint(keys, "endPoint", endPoint);
    ReadPoint(keys, "offset", offsetHandle);
    if (keys.GetBool("userDefined", flag)) userDefined = flag ? 1 : 0;
    ReadFiniteDouble(keys, "blueprintEffectiveHeight", blueprintEffectiveHeight);
    double id = 0.0;
    if (keys.GetDouble("transactionObjectId", id)) {
        if (std::isfinite(id) && id >= 0.0 && id < static_cast<double>(kNoTransactionId))
            SetObjectId(static_cast<TransactionId>(id));
        else
            TraceWrite("Dimension: transaction id out of range");
    }
    if (!userDefined && keys.GetBool("visible", flag)) SetVisible(flag);
    const KeyDataList* text = keys.GetSublist("Text");
    if (label && !text->IsEmpty()) label->ReadKeyData(*const_cast<KeyDataList*>(text));
    MarkDirty();
    return true;
}

// ---- Drawing ---------------------------------------------------------------------------

namespace {

constexpr double kEndMark = 5.0;
constexpr double kTick = 10.0;
constexpr double kArrow = 2.0;
constexpr double kSphere = 5.0;
constexpr double kDegrees = 57.29577951308;
constexpr double kPi = 3.14159265358979323846;

Window* DrawnWindow() {
    BaseControl* control = theControl();
    return control ? control->currentWindow : nullptr;
}

Vector Sum(const Vector& a, const Vector& b, double k = 1.0) {
    return Vector(a.x + b.x * k, a.y + b.y * k, a.z + b.z * k);
}

void Line(const Vector& a, const Vector& b) {
    glVertex3d(a.x, a.y, a.z);
    glVertex3d(b.x, b.y, b.z);
}

// The unit view direction of the active window (towards the viewer).
Vector ViewDirection() {
    BaseControl* control = theControl();
    Window* window = control ? control->activeWindow : nullptr;
    return window ? window->UnprojectViewCenter() : Vector(0, 0, 1);
}

}  // namespace

void Dimension::Compile(bool execute) {
    glNewList(displayList, execute ? GL_COMPILE_AND_EXECUTE : GL_COMPILE);
    glColor3d(0.0, 0.0, 0.0);
    const Vector& start = startPoint.position;
    const Vector& end = endPoint.position;
    const Vector& offset = offsetHandle.position;
    Vector e = offset;
    e.Normalize();
    e.Scale(kEndMark);
    Vector t;
    t.Cross(e, direction);
    t.Normalize();
    t.Scale(kTick);
    auto name = [&](PickableObject& handle) {
        glLoadName(userDefined ? handle.GetPickName() : GetPickName());
    };
    name(startPoint);
    glBegin(GL_LINES);
    Line(start, Sum(Sum(start, offset), e));
    glEnd();
    name(endPoint);
    glBegin(GL_LINES);
    Line(end, Sum(Sum(end, offset), e));
    glEnd();
    glPushMatrix();
    glTranslated(offset.x, offset.y, offset.z);
    name(offsetHandle);
    glBegin(GL_LINES);
    Line(Sum(start, t, -1.0), Sum(start, t));
    Line(Sum(end, t, -1.0), Sum(end, t));
    glEnd();
    BaseControl* control = theControl();
    Window* active = control ? control->activeWindow : nullptr;
    if (userDefined && !IsSelected() && active && active->viewFlags.GetBoolean(3)) {
        // Broad ends, so that the dimension is easy to pick.
        Vector halfE = e, halfT = t;
        halfE.Scale(0.5);
        halfT.Scale(0.5);
        glPushAttrib(GL_POLYGON_BIT);
        glDisable(GL_CULL_FACE);
        for (const Vector* p : {&start, &end}) {
            glBegin(GL_QUADS);
            const Vector q[4] = {Sum(*p, halfE, -1.0), Sum(*p, halfT, -1.0), Sum(*p, halfE),
                                 Sum(*p, halfT)};
            for (const Vector& v : q) glVertex3d(v.x, v.y, v.z);
            glEnd();
        }
        glPopAttrib();
    }
    Vector n = offset;
    n.Normalize();
    Vector m;
    m.Cross(n, direction);
    m.Normalize();
    glBegin(GL_LINES);
    Line(start, end);
    for (const Vector& across : {n, m}) {
        const Vector a(across.x + direction.x, across.y + direction.y, across.z + direction.z);
        const Vector b(direction.x - across.x, direction.y - across.y, direction.z - across.z);
        Line(start, Sum(start, a, kArrow));
        Line(start, Sum(start, b, kArrow));
        Line(end, Sum(end, a, -kArrow));
        Line(end, Sum(end, b, -kArrow));
    }
    glEnd();
    glPopMatrix();
    glEndList();
}

void Dimension::Render() {
    BaseControl* control = theControl();
    Window* window = DrawnWindow();
    if (!control || !window) return;
    const int mode = window->viewFlags.GetInteger(0);
    viewMode = mode;
    if (!IsVisible() || (userDefined && mode != creationViewMode) ||
        (static_cast<uint64_t>(window->viewFlags.GetInt64(0)) & TypeBit::kDimension) ||
        control->globalState.GetBoolean(15))
        return;
    if (userDefined && creationViewMode == Window::kBlueprintView) {
        const double h = control->floorState.GetDouble(4) - 1.0;
        if (blueprintEffectiveHeight < h ||
            blueprintEffectiveHeight > h + control->floorState.GetDouble(5))
            return;
    }
    glPushMatrix();
    const double camera = window->camera.GetVector(1).y;
    if (!rebuild && camera == cameraValue && displayList != 0xFFFFFFFFu) {
        glCallList(displayList);
    } else {
        cameraValue = camera;
        if (label)
            label->SetText(FormatLength(control->globalState,
                                        startPoint.position.Distance(endPoint.position), false, 6)
                               .c_str());
        if (displayList == 0xFFFFFFFFu) displayList = glGenLists(1);
        if (displayList != 0 && displayList != 0xFFFFFFFFu) Compile(true);
        rebuild = 0;
    }
    // The label, at the middle of the dimension line.
    const Vector& offset = offsetHandle.position;
    if (!userDefined) glLoadName(GetPickName());
    glPushName(userDefined ? labelHandle.GetPickName() : offsetHandle.GetPickName());
    glPushMatrix();
    glTranslated(offset.x, offset.y, offset.z);
    const Vector middle = startPoint.position.Midpoint(endPoint.position);
    glTranslated(middle.x, middle.y, middle.z);
    if (label && (mode == Window::kBlueprintView || mode == Window::kElevationView)) {
        const double yaw = camera;
        const double flat = std::sqrt(direction.x * direction.x + direction.z * direction.z);
        if (std::fabs(direction.y) >= 0.9) {
            glRotated(-yaw, 0.0, 1.0, 0.0);
            glRotated(std::atan2(direction.y, flat) * kDegrees, 0.0, 0.0, 1.0);
        } else {
            if (direction.y != 0.0 && flat > 0.0) {
                const Vector h(direction.x / flat, 0.0, direction.z / flat);
                const double rise = std::asin(std::clamp(direction.y, -1.0, 1.0));
                glRotated(-rise * kDegrees, -h.z, 0.0, h.x);
            }
            const double a = std::atan2(direction.z, direction.x);
            int y = static_cast<int>(yaw) % 360;
            if (y > 180) y -= 360;
            if (y <= -180) y += 360;
            const double yRadians = y / kDegrees;
            double d = a - yRadians;
            while (d > kPi) d -= 2.0 * kPi;
            while (d <= -kPi) d += 2.0 * kPi;
            if (d > kPi / 2.0) d -= kPi;
            if (d <= -kPi / 2.0) d += kPi;
            glRotated(-(yRadians + d) * kDegrees, 0.0, 1.0, 0.0);
        }
        glTranslated(-label->GetWidth() / 2.0, 0.0, 0.0);
    }
    if (label) label->Render();
    glPopMatrix();
    glPopName();
    if (IsSelected()) DrawPickable();
    glPopMatrix();
}

void Dimension::DrawPickable() {
    BaseControl* control = theControl();
    if (!control) return;
    glPushMatrix();
    if (!userDefined) glPushName(GetPickName());
    const Vector& offset = offsetHandle.position;
    glTranslated(offset.x, offset.y, offset.z);
    glPushAttrib(GL_ENABLE_BIT | GL_CURRENT_BIT | GL_COLOR_BUFFER_BIT);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glColor4d(0.0, 0.0, 1.0, 0.5);
    auto sphere = [&](const Vector& at, PickableObject& handle) {
        glPushName(handle.GetPickName());
        glPushMatrix();
        glTranslated(at.x, at.y, at.z);
        control->DrawSelectionSphere(kSphere);
        glPopMatrix();
        glPopName();
    };
    sphere(startPoint.position.Midpoint(endPoint.position), offsetHandle);
    if (userDefined) {
        sphere(startPoint.position, startPoint);
        sphere(endPoint.position, endPoint);
    }
    glPopAttrib();
    if (!userDefined) glPopName();
    glPopMatrix();
}

// ---- Editing ---------------------------------------------------------------------------

bool Dimension::RemoveFromList(LinkedList& list) {
    if (!userDefined || IsLocked()) return false;
    return SelectableObject::RemoveFromList(list);
}

void Dimension::BuildPropertyMenu(platform::Menu& menu) {
    if (userDefined) AppendMenuItems(menu);
}

bool Dimension::ProcessPropertyMenu(uint32_t id) {
    if (SelectableObject::ProcessPropertyMenu(id)) return true;
    if (id == 1400) {
        MarkDirty();
        return true;
    }
    if (id == 104 && userDefined) {
        BaseControl* control = theControl();
        if (!control) return true;
        control->LockRender();
        control->ReleaseHandles();
        if (RemoveFromList(control->scene)) {
            EndUndoStep();
            control->deletedObjects.Append(this);
        }
        control->UnlockRender();
        return true;
    }
    return userDefined && OnCommand(id);
}

OutlinePoint* Dimension::GetHandle(int index) {
    switch (index) {
        case 0:
            return &startPoint;
        case 1:
            return &endPoint;
        case 2:
            return &offsetHandle;
        case 3:
            return &labelHandle;
        default:
            return nullptr;
    }
}

void Dimension::MoveOffsetTo(const Vector& p) {
    if (IsLocked()) return;
    const Vector m = startPoint.position.Midpoint(endPoint.position);
    Vector n;
    n.Cross(ViewDirection(), direction);
    if (n.Length() == 0.0) return;
    n.Normalize();
    Vector& offset = offsetHandle.position;
    const Vector q(p.x - offset.x - m.x, p.y - offset.y - m.y, p.z - offset.z - m.z);
    const double k = q.Dot(n);
    offset.Offset(n.x * k, n.y * k, n.z * k);
    MarkDirty();
}

void Dimension::DragHandle(const Vector& point, OutlinePoint* handle, bool snap, bool creating) {
    if (IsLocked() || !handle) return;
    if (handle == &offsetHandle) {
        MoveOffsetTo(point);
        return;
    }
    if (handle != &startPoint && handle != &endPoint) return;
    const Vector& start = startPoint.position;
    Vector n;
    n.Cross(offsetHandle.position, direction);
    const bool planeKnown = n.Length() > 0.0;
    if (planeKnown) n.Normalize();
    Vector p = point;
    if (!creating) {
        if (!snap) {
            if (planeKnown) {
                const double s = -n.Dot(start);
                const double k = p.Dot(n) + s;
                p = Vector(p.x - n.x * k, p.y - n.y * k, p.z - n.z * k);
            }
        } else if (direction.Length() > 0.0) {
            const double along = std::floor(
                Vector(p.x - start.x, p.y - start.y, p.z - start.z).Dot(direction) + 0.5);
            p = Sum(start, direction, along);
        }
    } else if (snap) {
        const Vector& fixed = handle == &startPoint ? endPoint.position : startPoint.position;
        Vector w(p.x - fixed.x, p.y - fixed.y, p.z - fixed.z);
        auto round45 = [](double a) {
            return std::floor((a + 0.39269908169872414) * 1.2732395447351628) * 0.7853981633974483;
        };
        if (creationViewMode == Window::kBlueprintView) {
            const double a = round45(std::atan2(w.z, w.x));
            const Vector u(std::cos(a), 0.0, std::sin(a));
            const double k = w.Dot(u);
            w = Vector(u.x * k, 0.0, u.z * k);
        } else if (creationViewMode == Window::kElevationView) {
            const double flat = std::sqrt(w.x * w.x + w.z * w.z);
            const double a = round45(std::atan2(w.y, flat));
            const Vector h = flat > 0.0 ? Vector(w.x / flat, 0.0, w.z / flat) : Vector(1, 0, 0);
            const Vector u(h.x * std::cos(a), std::sin(a), h.z * std::cos(a));
            const double k = w.Dot(u);
            w = Vector(u.x * k, u.y * k, u.z * k);
        }
        const double length = w.Length();
        if (length > 0.0) w.Scale(std::floor(length + 0.5) / length);
        p = Sum(fixed, w);
    }
    p.w = 1.0;
    if (handle == &startPoint)
        SetEndPoints(p, endPoint.position);
    else
        SetEndPoints(startPoint.position, p);
    if (!creating && !snap && planeKnown) {
        Vector across;
        across.Cross(n, direction);
        SetOffsetDirection(across);
    } else if (creating) {
        Vector across;
        across.Cross(ViewDirection(), direction);
        SetOffsetDirection(across);
    }
    MarkDirty();
}

void Dimension::UpdateLabel() {
    if (label) label->SetFont("Arial");
    MarkDirty();
}
