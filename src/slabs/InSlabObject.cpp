#include "slabs/InSlabObject.h"

#include <GL/gl.h>
#include <strings.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <new>

#include "control/BaseControl.h"
#include "control/LengthFormat.h"
#include "control/RenderLockScope.h"
#include "foundation/KeyDataList.h"
#include "foundation/Trace.h"
#include "foundation/ViewState.h"
#include "model/SceneView.h"
#include "platform/Input.h"
#include "platform/Menu.h"
#include "render/Window.h"
#include "slabs/BaseSlab.h"

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kDegreesToRadians = kPi / 180.0;
constexpr double kRadiansToDegrees = 57.29577951308;
constexpr double kMinPad = 2.0;
constexpr double kCloneGap = 3.0;
constexpr double kSharedNode = 0.001;
constexpr int kBlueprintMode = 1;
constexpr int kElevationMode = 2;

double ClampedAcos(double c) {
    return std::acos(std::clamp(c, -1.0, 1.0));
}

bool IsFinite(const Vector& v) {
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

Vector Minus(const Vector& a, const Vector& b) {
    return Vector(a.x - b.x, a.y - b.y, a.z - b.z);
}

int ViewMode() {
    BaseControl* control = theControl();
    SceneView* view = control ? control->GetCurrentView() : nullptr;
    return view ? view->GetRenderState().GetInteger(0) : 0;
}

}  // namespace

RenderableObject* MakeInSlabObject() {
    return new (std::nothrow) InSlabObject;
}

RenderableObject* MakeAsymmetricSlabObject() {
    return new (std::nothrow) AsymmetricSlabObject;
}

InSlabObject::InSlabObject() {
    dropComplete = 0;
}

InSlabObject::~InSlabObject() {
    // The neighbours forget this object; its own edges go with it.
    for (InSlabObject*& other : joined) {
        InSlabObject* neighbour = other;
        other = nullptr;
        if (neighbour) neighbour->Unjoin(this);
    }
}

Vector InSlabObject::FaceNormal() const {
    if (!parent) return Vector(0.0, 0.0, 1.0);
    Vector n = parent->GetOutline().normal;
    n.w = 1.0;
    return n;
}

double InSlabObject::ParentThickness() const {
    return parent ? parent->GetThickness() : 0.0;
}

bool InSlabObject::ParentIsWall() const {
    return parent && parent->HasType(TypeBit::kWall);
}

std::vector<Vector> InSlabObject::Footprint() const {
    if (!footprint.empty()) return footprint;
    if (!GetOutlinePoints().empty()) return GetOutlinePoints();
    if (box.max.x - box.min.x <= 0.0 || box.max.y - box.min.y <= 0.0) return {};
    return {Vector(box.min.x, box.min.y, 0.0), Vector(box.max.x, box.min.y, 0.0),
            Vector(box.max.x, box.max.y, 0.0), Vector(box.min.x, box.max.y, 0.0)};
}

void InSlabObject::SetFootprint(std::vector<Vector> points) {
    footprint = std::move(points);
    if (parent) RefreshPlacement();
}

void InSlabObject::SetInverted(bool flag) {
    invertDirection = flag ? 1 : 0;
    RefreshPlacement();
}

// ---- The opening ----------------------------------------------------------------------

void InSlabObject::BuildOpening() {
    if (!parent) return;
    const std::vector<Vector> points = Footprint();
    if (points.size() < 3) return;
    const Vector n = FaceNormal();
    const Vector u = parent->GetUVector();
    const Vector m = normal;
    Vector axis(n.y, -(n.x * m.z), 0.0);
    const double length = axis.Length();
    if (length > 0.0) axis.Normalize();
    double tilt = ClampedAcos(m.Dot(n));
    Vector v(1.0, 0.0, 0.0);
    if (length > 0.001) v.RotateAboutAxis(tilt, axis);
    double s = ClampedAcos(v.Dot(u)) - kPi / 2.0;
    if (std::fabs(s) < 0.00001) s = 0.0;
    if (v.z * u.x - v.x * u.z < 0.0) s = -s;
    if (v.z * n.x - v.x * n.z > 0.0) s += kPi;
    alignment = s;
    if (std::fabs(tilt - kPi) < 0.0001) tilt = 0.0;
    const bool flip = (invertDirection != 0) != (reverseDirection != 0);
    std::vector<Vector> corners;
    corners.reserve(points.size());
    for (Vector p : points) {
        p.ScaleComponents(scale.x, scale.y, scale.z);
        p = Minus(p, centerPoint);
        if (flip) p.x = -p.x;
        p.RotateAboutAxisIndex(rotation * kDegreesToRadians - s, 2);
        p.Add(centerPoint);
        if (length > 0.001) p.RotateAboutAxis(tilt, axis);
        p.Add(startPoint);
        p.w = 1.0;
        corners.push_back(p);
    }
    if (!opening.Define(corners.data(), static_cast<int>(corners.size()), n,
                        ParentThickness() * 0.5, parent))
        return;
    MarkDoorSillEdges();
    opening.SetExcludedEdges(suppressedEdges);
}

void InSlabObject::MarkDoorSillEdges() {
    if (!IsDoorInWall()) return;
    const double bottom = opening.GetBoundingBox().min.y;
    if (std::fabs(bottom - parent->GetBoundingBox().min.y) > 1.0) return;
    const Outline& outline = opening.GetOutline();
    const int count = outline.GetCount();
    const OutlinePoint* nodes = outline.GetPoints();
    suppressedEdges.clear();
    for (int i = 0; i < count; ++i) {
        // The opening's box is taken over both faces; the outline lies on the middle plane
        // of a vertical wall, so its lowest y is the box's.
        if (nodes[i].position.y == bottom && nodes[(i + 1) % count].position.y == bottom)
            suppressedEdges.push_back(i);
    }
    opening.SetExcludedEdges(suppressedEdges);
}

void InSlabObject::RefreshPlacement() {
    BuildOpening();
    MarkDirty();
    if (!parent) return;
    const double pad =
        std::max(kMinPad, (ParentThickness() - (box.max.z - box.min.z) * scale.z + 4.0) * 0.5);
    selectionBox.min = Vector(box.min.x * scale.x, box.min.y * scale.y, box.min.z * scale.z - pad);
    selectionBox.max = Vector(box.max.x * scale.x, box.max.y * scale.y, box.max.z * scale.z + pad);
    worldCenter = ComputeCenterOnParent();
    // The parent's box reaches over its children's openings.
    if (parent->GetInSlabList().Contains(this)) parent->ComputeBounds();
}

void InSlabObject::MarkDirty() {
    rebuild = 1;
    opening.MarkDirty();
}

// ---- Validity and moves ---------------------------------------------------------------

bool InSlabObject::IsOnParentSurface() {
    const bool on = opening.IsOnParentSurface();
    placementValid = on ? 1 : 0;
    return on;
}

bool InSlabObject::IsPositionValid() {
    bool valid = IsOnParentSurface();
    if (valid && parent && opening.GetOutline().GetCount() > 0) valid = !opening.OverlapsSibling();
    placementValid = valid ? 1 : 0;
    return valid;
}

void InSlabObject::Translate(const Vector& delta) {
    if (!IsFinite(delta)) return;
    startPoint.Add(delta);
    startPoint.w = 1.0;
    RefreshPlacement();
}

void InSlabObject::MoveBy(const Vector& delta) {
    if (IsParentLocked() || !IsFinite(delta)) return;
    Vector d = delta;
    if (IsDoorInWall()) d.y = 0.0;
    startPoint.Add(d);
    startPoint.w = 1.0;
    RemoveAllJoins();
    RefreshPlacement();
    placementValid = (Footprint().empty() || IsPositionValid()) ? 1 : 0;
    FlagOverlappingLights();
}

void InSlabObject::SetParent(BaseSlab* slab) {
    parent = slab;
    if (!Footprint().empty()) RefreshPlacement();
}

void InSlabObject::SetRotation(double degrees) {
    if (IsParentLocked() || !std::isfinite(degrees)) return;
    RotatableSlabObject::SetRotation(degrees);
    RefreshPlacement();
}

void InSlabObject::AddRotation(double degrees) {
    if (IsParentLocked() || !std::isfinite(degrees)) return;
    RotatableSlabObject::AddRotation(degrees);
    RefreshPlacement();
    FlagOverlappingLights();
}

void InSlabObject::PlaceAtPoint(const Vector& point, bool snap) {
    if (!IsFinite(point)) return;
    if (Footprint().empty() || IsParentLocked()) {
        // Until the model has come the point is only kept.
        startPoint = point;
        startPoint.w = 1.0;
        return;
    }
    Vector p = point;
    if (snap && parent && !parent->HasType(TypeBit::kCounter)) parent->GetGrid().SnapToGrid(p);
    startPoint = p;
    startPoint.w = 1.0;
    RefreshPlacement();
    placementValid = IsPositionValid() ? 1 : 0;
}

double InSlabObject::FindDoorSillHeight(double y) const {
    if (!IsDoorInWall()) return -1.0;
    const BoundingBox& wallBox = parent->GetBoundingBox();
    const BoundingBox& own = opening.GetBoundingBox();
    const double height = own.max.y - own.min.y;
    std::vector<double> candidates{wallBox.min.y + 1.0};
    BaseControl* control = theControl();
    if (control) {
        for (LinkedListObject* node = control->scene.GetHead(); node; node = node->GetNext()) {
            auto* object = dynamic_cast<RenderableObject*>(node);
            if (object && object->HasType(TypeBit::kFloor))
                candidates.push_back(object->GetBoundingBox().max.y);
        }
        candidates.push_back(control->floorState.GetDouble(4));
    }
    double best = candidates[0];
    for (size_t i = 1; i < candidates.size(); ++i) {
        const double h = candidates[i];
        if (std::fabs(h - y) < std::fabs(best - y) && h + height < wallBox.max.y) best = h;
    }
    return best - 0.1;
}

void InSlabObject::DragToScreenPoint(int x, int y) {
    if (!parent || IsParentLocked()) return;
    const Outline& outline = parent->GetOutline();
    if (outline.GetCount() < 1) return;
    Vector p;
    if (!CursorOnPlaneOf(x, y, outline.GetPoints()[0].position, outline.normal, p)) return;
    if (IsDoorInWall()) p.y = FindDoorSillHeight(p.y);
    opening.Translate(Minus(p, startPoint));
    startPoint = p;
    startPoint.w = 1.0;
    placementValid = (Footprint().empty() || IsPositionValid()) ? 1 : 0;
    RefreshPlacement();
}

double InSlabObject::GetHeightAboveFloor() const {
    return opening.GetHeightAboveFloor();
}

void InSlabObject::DragPoint(int x, int y, int, int, int, const Vector& grabOffset, bool constrain,
                             int axisMode) {
    if (IsParentLocked() || !parent) return;
    if (grabOffset.x == kNoGrab && grabOffset.y == kNoGrab && grabOffset.z == kNoGrab) return;
    Vector g;
    if (!CursorOnPlaneOf(x, y, worldCenter, FaceNormal(), g)) {
        // Seen edge-on: the plane through the pivot facing the viewer.
        BaseControl* control = theControl();
        Window* window = control ? control->activeWindow : nullptr;
        if (!window || !CursorOnPlaneOf(x, y, worldCenter, window->UnprojectViewCenter(), g))
            return;
    }
    Vector d = Minus(Minus(g, grabOffset), startPoint);
    const bool wall = ParentIsWall();
    if (constrain && axisMode != 0) {
        Vector w = parent->GetUVector();
        if (axisMode == 2) w.Cross(w, FaceNormal());
        w.Normalize();
        const double along = w.Dot(d);
        d = Vector(w.x * along, w.y * along, w.z * along);
        if (wall && d.y != 0.0) {
            const double b = parent->GetBoundingBox().min.y;
            d.y = std::floor(d.y + b) - b;
        }
    }
    if (wall && ViewMode() == kBlueprintMode) d.y = 0.0;
    MoveBy(d);
    BaseControl* control = theControl();
    if (control && control->globalState.GetBoolean(3) && constrain) SnapToNeighbours(kNeighbourSnap);
    Window* window = control ? control->activeWindow : nullptr;
    if (!IsPositionValid()) {
        if (window) window->statusBar1.SetText("Invalid Position", false);
    } else if (wall && window) {
        const std::string text = FormatLength(GetHeightAboveFloor(), false, 6) + " (" +
                                 FormatLength(opening.GetBoundingBox().min.y, false, 6) +
                                 " above ground)";
        window->statusBar1.SetText(text.c_str(), false);
    }
}

void InSlabObject::OnCtrlDrag(double dx, double dy) {
    if (!ParentIsWall() || IsParentLocked() || !std::isfinite(dx) || !std::isfinite(dy)) return;
    if (!platform::IsKeyDown(platform::VK_CONTROL)) return;
    if (dy != 0.0 && inslabType == kDoor) return;
    Vector v = WallDirection();
    v.Scale(dx);
    v.y = dy;
    startPoint.Add(v);
    RefreshPlacement();
    if (!IsPositionValid()) {
        v.Negate();
        startPoint.Add(v);
    }
    startPoint.w = 1.0;
    RefreshPlacement();
}

// ---- Joins ----------------------------------------------------------------------------

int InSlabObject::JoinCount() const {
    int count = 0;
    while (count < kMaxJoins && joined[count]) ++count;
    return count;
}

bool InSlabObject::Join(InSlabObject* other) {
    if (!other || other == this) return false;
    for (int i = 0; i < kMaxJoins; ++i) {
        if (joined[i] == other) return true;
        if (!joined[i]) {
            joined[i] = other;
            UpdateSharedEdges();
            return true;
        }
    }
    return false;
}

void InSlabObject::Unjoin(InSlabObject* other) {
    for (int i = 0; i < kMaxJoins; ++i) {
        if (joined[i] != other) continue;
        for (int j = i; j + 1 < kMaxJoins; ++j) joined[j] = joined[j + 1];
        joined[kMaxJoins - 1] = nullptr;
        break;
    }
    UpdateSharedEdges();
}

void InSlabObject::RemoveAllJoins() {
    bool any = false;
    for (int i = 0; i < kMaxJoins; ++i) {
        if (!joined[i]) continue;
        any = true;
        InSlabObject* other = joined[i];
        joined[i] = nullptr;
        other->Unjoin(this);
    }
    if (any || !suppressedEdges.empty()) UpdateSharedEdges();
}

void InSlabObject::UpdateSharedEdges() {
    const Outline& own = opening.GetOutline();
    const int count = own.GetCount();
    if (count == 0) return;
    suppressedEdges.clear();
    const OutlinePoint* a = own.GetPoints();
    for (int k = 0; k < count; ++k) {
        const Vector& p = a[k].position;
        const Vector& q = a[(k + 1) % count].position;
        bool shared = false;
        for (int i = 0; i < kMaxJoins && joined[i] && !shared; ++i) {
            const Outline& theirs = joined[i]->opening.GetOutline();
            const int m = theirs.GetCount();
            const OutlinePoint* b = theirs.GetPoints();
            for (int j = 0; j < m && !shared; ++j) {
                if (p.Distance(b[j].position) >= kSharedNode) continue;
                shared = q.Distance(b[(j + 1) % m].position) < kSharedNode ||
                         q.Distance(b[(j + m - 1) % m].position) < kSharedNode;
            }
        }
        if (shared) suppressedEdges.push_back(k);
    }
    MarkDoorSillEdges();
    opening.SetExcludedEdges(suppressedEdges);
    MarkDirty();
}

bool InSlabObject::SnapToNeighbours(double distance) {
    if (!parent || !std::isfinite(distance)) return false;
    const Outline& own = opening.GetOutline();
    const int count = own.GetCount();
    double best = distance;
    InSlabObject* target = nullptr;
    Vector offset;
    for (LinkedListObject* node = parent->GetInSlabList().GetHead(); node; node = node->GetNext()) {
        auto* other = dynamic_cast<InSlabObject*>(node);
        if (!other || other == this) continue;
        bool already = false;
        for (int i = 0; i < kMaxJoins && joined[i]; ++i) already = already || joined[i] == other;
        if (!already && (JoinCount() == kMaxJoins || other->JoinCount() == kMaxJoins)) continue;
        const Outline& theirs = other->opening.GetOutline();
        for (int i = 0; i < count; ++i) {
            for (int j = 0; j < theirs.GetCount(); ++j) {
                const double d = own.GetPoints()[i].position.Distance(theirs.GetPoints()[j].position);
                if (d < best) {
                    best = d;
                    target = other;
                    offset = Minus(theirs.GetPoints()[j].position, own.GetPoints()[i].position);
                }
            }
        }
    }
    if (!target) return false;
    MoveBy(offset);
    if (!IsPositionValid()) {
        offset.Negate();
        MoveBy(offset);
        return false;
    }
    if (JoinCount() == kMaxJoins || target->JoinCount() == kMaxJoins) return false;
    Join(target);
    target->Join(this);
    return true;
}

// ---- Sizes ----------------------------------------------------------------------------

int InSlabObject::SetDimensions(double x, double y, double z) {
    const Vector keptScale = scale;
    const int result = BaseModel::SetDimensions(x, y, z);
    if (result != 0) return result;
    RefreshPlacement();
    int answer = result;
    if (!IsPositionValid()) {
        BaseModel::SetScaleVector(keptScale);
        RefreshPlacement();
        IsPositionValid();
        answer = -1;
    }
    FlagOverlappingLights();
    return answer;
}

bool InSlabObject::SetScale(double factor) {
    if (!std::isfinite(factor) || factor <= 0.0) {
        TraceWrite("Scale refused: the factor is not a positive number");
        return false;
    }
    const Vector kept = scale;
    BaseModel::SetScale(factor);
    RefreshPlacement();
    if (!IsPositionValid()) {
        // Back to the scale it had (exactly, not through 1 / factor).
        BaseModel::SetScaleVector(kept);
        RefreshPlacement();
        IsPositionValid();
        return false;
    }
    return true;
}

int InSlabObject::OnDownloadComplete() {
    BaseModel::OnDownloadComplete();
    {
        RenderLockScope lock(theControl());
        footprint = GetOutlinePoints();
        if (centerPoint.x == 0.0 && centerPoint.y == 0.0 && centerPoint.z == 0.0)
            centerPoint = Vector((box.min.x + box.max.x) * 0.5, (box.min.y + box.max.y) * 0.5, 0.0);
        if (parent) RefreshPlacement();
    }
    return 1;
}

// ---- Menu, copies ---------------------------------------------------------------------

void InSlabObject::BuildPropertyMenu(platform::Menu& menu) {
    menu.AppendItem(kFaceOtherSide, "Face Other Side");
    SlabChildModel::BuildPropertyMenu(menu);
}

bool InSlabObject::ProcessPropertyMenu(uint32_t id) {
    const bool handled = SlabChildModel::ProcessPropertyMenu(id);
    if (id == kDeleteCommand) return handled;
    if (id == kFaceOtherSide) {
        if (IsParentLocked()) return handled;
        invertDirection = invertDirection ? 0 : 1;
        RefreshPlacement();
        return true;
    }
    if (id == BaseModelMenuCommand::kReverseDirection) RefreshPlacement();
    return handled;
}

RenderableObject* InSlabObject::Clone() {
    return Clone(false, false);
}

RenderableObject* InSlabObject::Clone(bool offset, bool attach) {
    BaseControl* control = theControl();
    RenderLockScope lock(control);
    InSlabObject* copy = NewOfSameKind();
    copy->footprint = footprint;
    copy->inslabType = inslabType;
    RestoreInto(*copy, true, true);
    if (attach && parent) parent->AttachChild(copy);
    copy->SetParent(parent);
    if (!offset || !parent) return copy;

    Vector w = parent->GetUVector();
    w.Cross(w, FaceNormal());
    w.Normalize();
    w.Scale((box.max.x - box.min.x) * scale.x + kCloneGap);
    MoveBy(w);
    if (IsPositionValid()) return copy;
    Vector back = w;
    back.Scale(-2.0);
    MoveBy(back);
    if (IsPositionValid()) return copy;
    MoveBy(w);
    if (copy->GetOwner()) parent->RemoveChild(copy, true);
    delete copy;
    IsPositionValid();
    return parent;
}

// ---- Key data -------------------------------------------------------------------------

void InSlabObject::WriteKeyData() {
    SlabChildModel::WriteKeyData();
    KeyDataList& keys = *element->GetChildren();
    opening.GetSideSurface().SaveMaterial(keys, "sideSurface");
    keys.AddDouble("invertDirection", invertDirection ? 1 : 0);
    keys.AddString("inslab", "yes");
    if (inslabType == kDoor) keys.AddString("inslabtype", "door");
    if (inslabType == kWindow) keys.AddString("inslabtype", "window");
}

bool InSlabObject::ReadKeyData(KeyDataList& keys) {
    const double keptRotation = rotation;
    const Vector keptScale = scale;
    const bool result = SlabChildModel::ReadKeyData(keys);
    if (rotation != keptRotation || scale.x != keptScale.x || scale.y != keptScale.y ||
        scale.z != keptScale.z)
        BuildOpening();
    if (KeyDataList* side = keys.GetSublist("sideSurface"); side && !side->IsEmpty())
        opening.GetSideSurface().Load(*side);
    if (const char* type = keys.GetString("inslabType")) {
        if (strcasecmp(type, "door") == 0)
            inslabType = kDoor;
        else if (strcasecmp(type, "window") == 0)
            inslabType = kWindow;
        else
            inslabType = kUnknown;
    }
    double value = 0.0;
    if (ReadFiniteDouble(keys, "invertDirection", value)) invertDirection = value != 0.0 ? 1 : 0;
    if (opening.GetOutline().GetCount() > 0) {
        placementValid = IsPositionValid() ? 1 : 0;
        RefreshPlacement();
    }
    MarkDirty();
    return result;
}

void InSlabObject::WriteObjectInformation(std::string& buffer) {
    const char* type = inslabType == kDoor ? "door" : inslabType == kWindow ? "window" : "unknown";
    char head[128];
    std::snprintf(head, sizeof head, "<inslab type=\"%s\" area=\"%f\">", type, opening.GetArea());
    buffer += head;
    WriteModelXml(buffer, startPoint.y);
    buffer += "</inslab>";
}

// ---- Drawing --------------------------------------------------------------------------

void InSlabObject::UpdateHighlight() {
    BaseControl* control = theControl();
    float colour[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    if (selected && ViewMode() == kElevationMode && control && control->activeWindow) {
        const int scheme = std::clamp(control->blueprintColorScheme, 0, 5);
        const float* chosen = control->blueprintColors[scheme * 8 + 7];
        std::copy(chosen, chosen + 4, colour);
    }
    for (LinkedListObject* node = children.GetHead(); node; node = node->GetNext())
        if (auto* part = dynamic_cast<Part*>(node); part && part->material)
            part->material->SetSpecularColor(colour[0], colour[1], colour[2]);
}

void InSlabObject::RenderOpening() {
    if (opening.GetOutline().GetCount() == 0) return;
    glPushName(GetPickName());
    opening.Render();
    glPopName();
}

void InSlabObject::RenderReveal(bool) {
    if (opening.GetOutline().GetCount() == 0) return;
    glPushName(GetPickName());
    opening.RenderReveal();
    glPopName();
}

void InSlabObject::Render() {
    BaseControl* control = theControl();
    SceneView* view = control ? control->GetCurrentView() : nullptr;
    if (!parent || IsVisibleInCurrentWindow()) return;
    if (ViewMode() == kBlueprintMode && !IsInVisibleHeightRange()) return;
    if (Footprint().empty()) return;
    RenderState* state = view ? &view->GetRenderState() : nullptr;
    const bool drawModel = (!state || !state->GetBoolean(3) || dropComplete) &&
                           !(state && (static_cast<uint64_t>(state->GetInt64(0)) & TypeBit::kInSlab));
    if (drawModel) {
        glPushAttrib(GL_STENCIL_BUFFER_BIT);
        if (control && control->globalState.GetBoolean(8)) {
            glEnable(GL_STENCIL_TEST);
            glStencilMask(1);
            glStencilFunc(GL_NOTEQUAL, 0, 1);
            glStencilOp(GL_KEEP, GL_KEEP, GL_INVERT);
        } else {
            GLint reference = 0;
            glGetIntegerv(GL_STENCIL_REF, &reference);
            glStencilFunc(GL_NOTEQUAL, reference, 0xFB);
        }
        glPushMatrix();
        if (rebuild || displayList == -1) {
            if (displayList == -1) displayList = static_cast<GLint>(glGenLists(1));
            if (displayList > 0) {
                const Vector n = FaceNormal();
                glNewList(static_cast<GLuint>(displayList), GL_COMPILE);
                glTranslated(startPoint.x, startPoint.y, startPoint.z);
                const Vector a(-n.y, n.x, 0.0);
                if (a.Length() > 0.001) {
                    glRotated(ClampedAcos(n.z) * kRadiansToDegrees, a.x, a.y, a.z);
                } else if (n.z < 0.0) {
                    const double mid = (box.min.x + box.max.x) * 0.5;
                    glTranslated(mid, 0.0, 0.0);
                    glRotated(180.0, 0.0, 1.0, 0.0);
                    glTranslated(-mid, 0.0, 0.0);
                }
                glTranslated(centerPoint.x, centerPoint.y, 0.0);
                glRotated(rotation - alignment * kRadiansToDegrees, 0.0, 0.0, 1.0);
                if (invertDirection) glRotated(180.0, 0.0, 1.0, 0.0);
                glTranslated(-centerPoint.x, -centerPoint.y, 0.0);
                glEndList();
            }
            rebuild = 0;
        }
        if (displayList > 0) glCallList(static_cast<GLuint>(displayList));
        RenderOnParent(3.0);
        glPopMatrix();
        glPopAttrib();
    }
    RenderOpening();
}

// ---- Asymmetric -----------------------------------------------------------------------

double AsymmetricSlabObject::FaceOffset() const {
    double d = ParentThickness() * 0.5;
    if (FaceNormal().y < 0.01) d = -d;
    if ((invertDirection != 0) != (attachToBottom != 0)) d = -d;
    return d;
}

void AsymmetricSlabObject::RenderOnParent(double handleScale) {
    glPushMatrix();
    glTranslated(0.0, 0.0, FaceOffset());
    SlabChildModel::RenderOnParent(handleScale);
    glPopMatrix();
}

void AsymmetricSlabObject::WriteKeyData() {
    WriteModelKeys();
    KeyDataList& keys = *element->GetChildren();
    keys.AddString("asymmetric", "yes");
    keys.AddDouble("invertDirection", invertDirection ? 1 : 0);
    if (attachToBottom) keys.AddString("attachToBottom", "yes");
}

bool AsymmetricSlabObject::ReadKeyData(KeyDataList& keys) {
    const char* bottom = keys.GetString("attachToBottom");
    attachToBottom = bottom && strcasecmp(bottom, "yes") == 0 ? 1 : 0;
    return InSlabObject::ReadKeyData(keys);
}

RenderableObject* AsymmetricSlabObject::Clone() {
    return InSlabObject::Clone(false, false);
}

void AsymmetricSlabObject::UpdatePlacement() {
    if (!parent) return;
    const Vector n = FaceNormal();
    if (ParentIsWall()) {
        BaseControl* control = theControl();
        Window* window = control ? control->activeWindow : nullptr;
        if (!window) return;
        invertDirection = n.Dot(window->UnprojectViewCenter()) < 0.0 ? 1 : 0;
    } else {
        invertDirection = n.y < 0.0 ? 1 : 0;
    }
    RefreshPlacement();
}
