#include "slabs/OnSlabObject.h"

#include <GL/gl.h>
#include <strings.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <new>

#include "control/BaseControl.h"
#include "control/LengthFormat.h"
#include "control/RenderLockScope.h"
#include "foundation/KeyDataList.h"
#include "foundation/Trace.h"
#include "foundation/ViewState.h"
#include "model/Part.h"
#include "model/SceneView.h"
#include "platform/Input.h"
#include "render/Window.h"
#include "slabs/BaseSlab.h"

namespace {

constexpr double kMinAxisLength = 0.001;
constexpr double kMinPad = 2.0;
constexpr double kCloneGap = 3.0;
constexpr double kFootprintSpacing = 0.5;
constexpr double kRadiansToDegrees = 57.29577951308;
constexpr double kDegreesToRadians = 0.017453292519943295;
constexpr double kQuarterTurn = 1.5707963267948966;
constexpr int kBlueprintMode = 1;
constexpr int kElevationMode = 2;
constexpr GLuint kPrismStencilBit = 0x10;

double ClampedAcos(double c) {
    return std::acos(std::clamp(c, -1.0, 1.0));
}

Vector Minus(const Vector& a, const Vector& b) {
    return Vector(a.x - b.x, a.y - b.y, a.z - b.z);
}

bool IsFinite(const Vector& v) {
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

int ViewMode() {
    BaseControl* control = theControl();
    SceneView* view = control ? control->GetCurrentView() : nullptr;
    return view ? view->GetRenderState().GetInteger(0) : 0;
}

}  // namespace

RenderableObject* MakeOnSlabObject() {
    return new (std::nothrow) OnSlabObject;
}

OnSlabObject::~OnSlabObject() = default;

Vector OnSlabObject::FaceNormal() const {
    if (!parent) return Vector(0.0, 0.0, 1.0);
    Vector n = parent->GetOutline().normal;
    n.w = 1.0;
    return n;
}

double OnSlabObject::ParentThickness() const {
    return parent ? parent->GetThickness() : 0.0;
}

void OnSlabObject::SetSurface(const Part* surface) {
    if (parent && surface == parent->GetSurface(BaseSlab::kOutsideSurface)) {
        normal = Vector(0.0, 0.0, -1.0);
        side = BaseSlab::kOutsideSurface;
    } else {
        normal = Vector(0.0, 0.0, 1.0);
        side = BaseSlab::kInsideSurface;
    }
    UpdatePlacement();
}

void OnSlabObject::SetPerpToGround(int mode) {
    perpToGround = (mode == kPerpDown || mode == kPerpUp) ? mode : kPerpNone;
    UpdatePlacement();
}

void OnSlabObject::SetParent(BaseSlab* slab) {
    parent = slab;
    UpdatePlacement();
}

void OnSlabObject::SetRotation(double degrees) {
    if (!std::isfinite(degrees)) return;
    RotatableSlabObject::SetRotation(degrees);
    UpdatePlacement();
}

void OnSlabObject::AddRotation(double degrees) {
    if (!std::isfinite(degrees)) return;
    RotatableSlabObject::AddRotation(degrees);
    UpdatePlacement();
}

// ---- Placement ------------------------------------------------------------------------

void OnSlabObject::UpdatePlacement() {
    if (parent) {
        const double t = ParentThickness();
        const double pad =
            std::max(kMinPad, (t - (box.max.z - box.min.z) * scale.z + 4.0) / 2.0);
        selectionBox.min = Vector(box.min.x * scale.x, box.min.y * scale.y, box.min.z * scale.z - pad);
        selectionBox.max = Vector(box.max.x * scale.x, box.max.y * scale.y, box.max.z * scale.z + pad);
        worldCenter = ComputeCenterOnParent();
        BuildSupportPrism();
    }
    Refresh();
    MarkDirty();
}

void OnSlabObject::Refresh() {
    if (!parent) return;
    const Vector p = FaceNormal();
    const double t = ParentThickness();
    BoundingBox own = box;
    const Vector* corners = own.ComputeCorners();
    Vector a;
    a.Cross(normal, p);
    if (a.Length() < kMinAxisLength)
        a = Vector(0.0, 1.0, 0.0);
    else
        a.Normalize();
    const double g = -ClampedAcos(normal.Dot(p));
    Vector o;
    if (perpToGround == kPerpNone) {
        o = Vector(-box.min.x, -box.min.y, t / 2.0 - box.min.z);
    } else {
        const double k = side == BaseSlab::kOutsideSurface ? 1.0 : -1.0;
        o = Vector(normal.x * t / 2.0 * k, normal.y * t / 2.0 * k, normal.z * t / 2.0 * k);
        o.y += (box.min.y + box.max.y) / 2.0;
    }
    const Vector middle((box.min.x + box.max.x) / 2.0 * scale.x, (box.min.y + box.max.y) / 2.0 * scale.y,
                        (box.min.z + box.max.z) / 2.0 * scale.z);
    for (int i = 0; i < 8; ++i) {
        Vector c = corners[i];
        c.ScaleComponents(scale.x, scale.y, scale.z);
        if (perpToGround == kPerpNone) {
            c.Subtract(middle);
            c.RotateAboutAxisIndex(rotation * kDegreesToRadians, 2);
            c.Add(middle);
            c.Add(o);
            c.RotateAboutAxis(g, a);
        } else {
            c.Subtract(o);
            c.RotateAboutAxisIndex(perpToGround == kPerpDown ? kQuarterTurn : -kQuarterTurn, 0);
        }
        c.Add(startPoint);
        c.w = 1.0;
        worldCorners[i] = c;
    }
}

void OnSlabObject::BuildSupportPrism() {
    if (perpToGround == kPerpNone || !parent) return;
    double e = std::trunc(scale.z);
    if (perpToGround == kPerpDown) e = -e;
    const double h = std::sqrt(std::pow((box.max.x - box.min.x) * scale.x, 2.0) +
                               std::pow((box.max.y - box.min.y) * scale.y, 2.0)) /
                     2.0;
    const double offsets[4][2] = {{-h, -h}, {-h, h}, {h, -h}, {h, h}};
    for (int i = 0; i < 4; ++i) {
        Vector& first = supportPrism[2 * i];
        Vector& second = supportPrism[2 * i + 1];
        first = Vector(startPoint.x + offsets[i][0], startPoint.y, startPoint.z + offsets[i][1]);
        second = Vector(first.x, startPoint.y + e * box.min.z, first.z);
    }
    Vector n = FaceNormal();
    double k = -n.Dot(startPoint);
    if (side == BaseSlab::kOutsideSurface) {
        n.Negate();
        n.w = 1.0;
        k = -k;
    }
    // A vertical face (n.y = 0) has no height over a ground point: the prism keeps its
    // straight sides.
    if (n.y == 1.0 || std::fabs(n.y) < 1e-9) return;
    auto planeY = [&](const Vector& v) { return -(n.x * v.x + n.z * v.z + k) / n.y; };
    for (int i = 0; i < 4; ++i) {
        Vector& first = supportPrism[2 * i];
        Vector& second = supportPrism[2 * i + 1];
        second.y = planeY(second);
        const double y = planeY(first);
        if (perpToGround == kPerpDown ? first.y < y : first.y > y) first.y = y;
    }
}

bool OnSlabObject::IsOnParentSurface() {
    if (!parent) {
        placementValid = 1;
        return true;
    }
    if (!outlineTaken) {
        outlineTaken = true;
        centerPoint = box.min.Midpoint(box.max);
    }
    bool inside = true;
    for (int i = 0; i < 8 && inside; ++i)
        inside = IsFinite(worldCorners[i]) && parent->ContainsPoint(worldCorners[i], side);
    placementValid = inside ? 1 : 0;
    return inside;
}

bool OnSlabObject::IsPositionValid() {
    placementValid = IsOnParentSurface() ? 1 : 0;
    return placementValid != 0;
}

void OnSlabObject::Translate(const Vector& delta) {
    startPoint.Add(delta);
    startPoint.w = 1.0;
    UpdatePlacement();
}

void OnSlabObject::MoveBy(const Vector& delta) {
    if (IsParentLocked() || !IsFinite(delta)) return;
    startPoint.Add(delta);
    startPoint.w = 1.0;
    UpdatePlacement();
    placementValid = IsPositionValid() ? 1 : 0;
    FlagOverlappingLights();
}

void OnSlabObject::PlaceAtPoint(const Vector& point, bool snap) {
    if (IsParentLocked() || !IsFinite(point)) return;
    Vector p = point;
    if (snap && parent && !parent->HasType(TypeBit::kCounter)) parent->GetGrid().SnapToGrid(p);
    startPoint = p;
    startPoint.w = 1.0;
    UpdatePlacement();
    placementValid = IsPositionValid() ? 1 : 0;
}

bool OnSlabObject::FacePointUnder(int x, int y, Vector& out) const {
    if (!parent) return false;
    const Outline& outline = parent->GetOutline();
    if (outline.GetCount() < 1) return false;
    return CursorOnPlaneOf(x, y, outline.GetPoints()[0].position, outline.normal, out);
}

void OnSlabObject::DragToScreenPoint(int x, int y) {
    if (IsParentLocked()) return;
    Vector p;
    if (!FacePointUnder(x, y, p)) return;
    PlaceAtPoint(p, false);
}

void OnSlabObject::OnCtrlDrag(double dx, double dy) {
    if (!platform::IsKeyDown(platform::VK_CONTROL)) return;
    SlabChildModel::OnCtrlDrag(dx, dy);
    UpdatePlacement();
}

void OnSlabObject::DragPoint(int x, int y, int, int, int, const Vector& grabOffset, bool constrain,
                             int axisMode) {
    if (IsParentLocked() || !parent) return;
    Vector p;
    if (!FacePointUnder(x, y, p)) {
        // Seen edge-on: the plane through the pivot facing the viewer.
        BaseControl* control = theControl();
        Window* window = control ? control->activeWindow : nullptr;
        if (!window) return;
        Vector toward = window->UnprojectViewCenter();
        if (!CursorOnPlaneOf(x, y, worldCenter, toward, p)) return;
    }
    if (grabOffset.x == kNoGrab && grabOffset.y == kNoGrab && grabOffset.z == kNoGrab) return;
    Vector delta = Minus(Minus(p, grabOffset), startPoint);
    const Vector n = FaceNormal();
    if (constrain && axisMode != 0) {
        Vector u = parent->GetUVector();
        if (axisMode == 2) u.Cross(u, n);
        u.Normalize();
        const double along = u.Dot(delta);
        delta = Vector(u.x * along, u.y * along, u.z * along);
    }
    const bool wall = parent->HasType(TypeBit::kWall);
    if (wall && ViewMode() == kBlueprintMode) delta.y = 0.0;
    MoveBy(delta);
    BaseControl* control = theControl();
    if (constrain && control && control->globalState.GetBoolean(3)) SnapToNeighbours(kNeighbourSnap);
    if (IsPositionValid()) {
        if (wall && control && control->activeWindow) {
            const double bottom = parent->GetBoundingBox().min.y;
            const double height = worldCorners[0].y;
            const std::string text = FormatLength(height - bottom, false, 6) + " (" +
                                     FormatLength(height, false, 6) + " above ground)";
            control->activeWindow->statusBar1.SetText(text.c_str(), false);
        }
    } else {
        Vector back = delta;
        back.Negate();
        MoveBy(back);
    }
    UpdatePlacement();
}

// ---- Snapping -------------------------------------------------------------------------

int OnSlabObject::ComputeFootprint(Vector out[4]) const {
    if (!parent) return 0;
    const Outline& outline = parent->GetOutline();
    if (outline.GetCount() < 1) return 0;
    const Vector& onPlane = outline.GetPoints()[0].position;
    const Vector n = FaceNormal();
    int taken = 0;
    for (int i = 0; i < 8 && taken < 4; ++i) {
        Vector through = worldCorners[i];
        through.Add(n);
        Vector projected;
        if (!projected.IntersectLinePlane(worldCorners[i], through, onPlane, n)) continue;
        bool apart = true;
        for (int j = 0; j < taken && apart; ++j)
            apart = projected.Distance(out[j]) >= kFootprintSpacing;
        if (apart) out[taken++] = projected;
    }
    return taken;
}

bool OnSlabObject::FindSnapOffset(double distance, Vector& offset) {
    if (!parent) return false;
    const Outline& outline = parent->GetOutline();
    if (outline.GetCount() < 1) return false;
    const Vector& onPlane = outline.GetPoints()[0].position;
    const Vector n = FaceNormal();
    auto project = [&](const Vector& v, Vector& out) {
        Vector through = v;
        through.Add(n);
        return out.IntersectLinePlane(v, through, onPlane, n);
    };
    const double r = box.min.Distance(box.max);
    Vector mine[4];
    const int myCount = ComputeFootprint(mine);
    Vector myCentre;
    if (!myCount || !project(worldCenter, myCentre)) return false;
    double best = distance;
    bool found = false;
    LinkedList& list = parent->GetOnSlabList();
    for (LinkedListObject* node = list.GetHead(); node; node = node->GetNext()) {
        auto* other = dynamic_cast<OnSlabObject*>(node);
        if (!other || other == this || other->side != side) continue;
        Vector theirCentre;
        if (!project(other->worldCenter, theirCentre)) continue;
        const BoundingBox& theirBox = other->GetBoundingBox();
        if (myCentre.Distance(theirCentre) - r - theirBox.min.Distance(theirBox.max) > distance)
            continue;
        Vector theirs[4];
        const int theirCount = other->ComputeFootprint(theirs);
        for (int i = 0; i < myCount; ++i) {
            for (int j = 0; j < theirCount; ++j) {
                const double d = mine[i].Distance(theirs[j]);
                if (d < best) {
                    best = d;
                    offset = Minus(theirs[j], mine[i]);
                    found = true;
                }
            }
        }
    }
    return found;
}

bool OnSlabObject::SnapToNeighbours(double distance) {
    Vector offset;
    if (!FindSnapOffset(distance, offset)) return false;
    MoveBy(offset);
    if (!IsPositionValid()) {
        offset.Negate();
        MoveBy(offset);
        return false;
    }
    return true;
}

// ---- Sizes ----------------------------------------------------------------------------

int OnSlabObject::SetDimensions(double x, double y, double z) {
    const double kept[3] = {GetSizeX(), GetSizeY(), GetSizeZ()};
    const Vector keptScale = scale;
    const int result = BaseModel::SetDimensions(x, y, z);
    if (result != 0) return result;
    UpdatePlacement();
    if (!IsPositionValid()) {
        if (BaseModel::SetDimensions(kept[0], kept[1], kept[2]) != 0) scale = keptScale;
        UpdatePlacement();
        IsPositionValid();
        return -1;
    }
    return result;
}

bool OnSlabObject::SetScale(double factor) {
    if (!std::isfinite(factor) || factor <= 0.0) {
        TraceWrite("Scale refused: the factor is not a positive number");
        return false;
    }
    const Vector kept = scale;
    BaseModel::SetScale(factor);
    UpdatePlacement();
    if (!IsPositionValid()) {
        // Back to the scale it had (exactly, not through 1 / factor).
        BaseModel::SetScaleVector(kept);
        UpdatePlacement();
        IsPositionValid();
        return false;
    }
    return true;
}

void OnSlabObject::DragSizeGrip(const Vector& start, Vector& previous, const Vector& current,
                                int& axisChoice, bool vertical) {
    const Vector kept = scale;
    DragResize(start, previous, current, axisChoice, vertical);
    UpdatePlacement();
    if (!IsPositionValid()) {
        BaseModel::SetScaleVector(kept);
        UpdatePlacement();
        IsPositionValid();
    }
}

// ---- Menu, copies ---------------------------------------------------------------------

bool OnSlabObject::ProcessPropertyMenu(uint32_t id) {
    const bool handled = SlabChildModel::ProcessPropertyMenu(id);
    // After Delete the object is on its way to the render thread.
    if (id != kDeleteCommand) UpdatePlacement();
    return handled;
}

RenderableObject* OnSlabObject::Clone() {
    return Clone(false, false);
}

OnSlabObject* OnSlabObject::Clone(bool offset, bool attach) {
    BaseControl* control = theControl();
    RenderLockScope lock(control);
    auto* copy = new OnSlabObject;
    copy->side = side;
    copy->perpToGround = perpToGround;
    // The copy reads this object's keys, and its own parts from the same geometry file.
    RestoreInto(*copy, true, true);
    if (attach && parent) parent->AttachChild(copy);
    copy->SetParent(parent);
    if (!offset || !parent) return copy;

    Vector w = parent->GetUVector();
    w.Cross(w, FaceNormal());
    w.Normalize();
    w.RotateAboutAxis(-copy->rotation * kDegreesToRadians, FaceNormal());
    w.Scale(copy->box.max.x - copy->box.min.x + kCloneGap);
    MoveBy(w);
    if (IsPositionValid()) return copy;
    Vector back = w;
    back.Scale(-2.0);
    MoveBy(back);
    if (IsPositionValid()) return copy;
    MoveBy(w);
    IsPositionValid();
    if (copy->GetOwner()) parent->RemoveChild(copy, true);
    if (copy->IsLoaded() || !copy->GetURL()[0])
        delete copy;
    else
        copy->ReleaseModel();
    return nullptr;
}

// ---- Key data -------------------------------------------------------------------------

void OnSlabObject::WriteKeyData() {
    SlabChildModel::WriteKeyData();
    KeyDataList& keys = *element->GetChildren();
    char text[64];
    std::snprintf(text, sizeof text, "%3.6f", static_cast<double>(side));
    keys.AddString("side", text);
    keys.AddString("onslab", "yes");
    keys.AddString("perpToGround",
                   perpToGround == kPerpUp ? "up" : perpToGround == kPerpDown ? "down" : "none");
}

bool OnSlabObject::ReadKeyData(KeyDataList& keys) {
    // A child read from a plan or a copy fetches its geometry once: the loader reads the
    // keys through this same call.
    const char* address = keys.GetString("URL");
    if (!readingGeometry && !GetURL()[0] && address && address[0]) {
        readingGeometry = true;
        BaseControl* control = theControl();
        LoadDecompressedFile(keys, !control || !control->IsRunning());
        readingGeometry = false;
    }
    const bool result = SlabChildModel::ReadKeyData(keys);
    double value = 0.0;
    if (ReadFiniteDouble(keys, "side", value)) {
        if (value >= INT_MIN && value <= INT_MAX)
            side = static_cast<int>(value);
        else
            TraceWrite("On-slab object: side out of range");
    }
    if (const char* mode = keys.GetString("perpToGround")) {
        if (strcasecmp(mode, "up") == 0)
            perpToGround = kPerpUp;
        else if (strcasecmp(mode, "down") == 0)
            perpToGround = kPerpDown;
        else
            perpToGround = kPerpNone;
    }
    UpdatePlacement();
    return result;
}

void OnSlabObject::WriteObjectInformation(std::string& buffer) {
    buffer += "<onslab>";
    WriteModelXml(buffer, startPoint.y);
    buffer += "</onslab>";
}

// ---- Drawing --------------------------------------------------------------------------

void OnSlabObject::UpdateHighlight() {
    BaseControl* control = theControl();
    float colour[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    if (ViewMode() != kElevationMode && control) {
        const int scheme = std::clamp(control->blueprintColorScheme, 0, 5);
        const float* chosen = control->blueprintColors[scheme * 8 + (selected ? 7 : 6)];
        std::copy(chosen, chosen + 4, colour);
    }
    for (LinkedListObject* node = children.GetHead(); node; node = node->GetNext())
        if (auto* part = dynamic_cast<Part*>(node); part && part->material)
            part->material->SetSpecularColor(colour[0], colour[1], colour[2]);
}

void OnSlabObject::DrawSupportPrism() {
    Vector n = FaceNormal();
    if (side == BaseSlab::kOutsideSurface) n.Negate();
    const double half = ParentThickness() / 2.0;
    glTranslated(-n.x * half, -n.y * half, -n.z * half);
    GLint winding = GL_CCW;
    if (perpToGround == kPerpDown) {
        glGetIntegerv(GL_FRONT_FACE, &winding);
        glFrontFace(winding == GL_CCW ? GL_CW : GL_CCW);
    }
    glColor3ub(255, 255, 255);
    const int order[5] = {0, 1, 3, 2, 0};
    glBegin(GL_QUAD_STRIP);
    for (int i : order) {
        const Vector& second = supportPrism[2 * i + 1];
        const Vector& first = supportPrism[2 * i];
        glVertex3d(second.x, second.y, second.z);
        glVertex3d(first.x, first.y, first.z);
    }
    glEnd();
    glBegin(GL_QUADS);
    for (int i : {2, 3, 1, 0}) {
        const Vector& second = supportPrism[2 * i + 1];
        glVertex3d(second.x, second.y, second.z);
    }
    glEnd();
    glTranslated(n.x * half, n.y * half, n.z * half);
    if (perpToGround == kPerpDown) glFrontFace(winding);
}

void OnSlabObject::BeginPrismMask() {
    glPushAttrib(GL_STENCIL_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_COLOR_BUFFER_BIT);
    glEnable(GL_STENCIL_TEST);
    glStencilMask(kPrismStencilBit);
    glStencilFunc(GL_ALWAYS, kPrismStencilBit, kPrismStencilBit);
    glStencilOp(GL_REPLACE, GL_REPLACE, GL_REPLACE);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_NEVER);
    glDepthMask(GL_FALSE);
    DrawSupportPrism();
    glPopAttrib();
    glPushAttrib(GL_STENCIL_BUFFER_BIT);
    glEnable(GL_STENCIL_TEST);
    GLint reference = 0;
    glGetIntegerv(GL_STENCIL_REF, &reference);
    glStencilFunc(GL_EQUAL, reference & 0x1F, 0x1F);
    glStencilOp(GL_KEEP, GL_KEEP, GL_KEEP);
}

void OnSlabObject::EndPrismMask() {
    glPopAttrib();
    glPushAttrib(GL_STENCIL_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_COLOR_BUFFER_BIT);
    glEnable(GL_STENCIL_TEST);
    glStencilMask(kPrismStencilBit);
    glStencilFunc(GL_ALWAYS, 0, kPrismStencilBit);
    glStencilOp(GL_REPLACE, GL_REPLACE, GL_REPLACE);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_NEVER);
    glDepthMask(GL_FALSE);
    DrawSupportPrism();
    glPopAttrib();
}

void OnSlabObject::Render() {
    BaseControl* control = theControl();
    SceneView* view = control ? control->GetCurrentView() : nullptr;
    if (!parent) return;
    if (view && (viewFlags & (1u << (static_cast<unsigned>(view->GetViewId()) & 31u)))) return;
    RenderState* state = view ? &view->GetRenderState() : nullptr;
    if (!dropComplete && state && state->GetBoolean(3)) return;
    const int mode = ViewMode();
    const bool allStoreys = control && control->globalState.GetBoolean(6);
    if ((mode == kBlueprintMode || !allStoreys) && !IsInVisibleHeightRange()) return;
    if (state && (static_cast<uint64_t>(state->GetInt64(0)) & TypeBit::kOnSlab)) return;

    glPushMatrix();
    glPushAttrib(GL_TRANSFORM_BIT);
    const bool upright = perpToGround != kPerpNone;
    if (upright) BeginPrismMask();
    if (rebuild || displayList == -1) {
        if (displayList == -1) displayList = static_cast<GLint>(glGenLists(1));
        if (displayList > 0) {
            const double t = ParentThickness();
            glNewList(static_cast<GLuint>(displayList), GL_COMPILE);
            glTranslated(startPoint.x, startPoint.y, startPoint.z);
            if (upright) {
                glRotated(perpToGround == kPerpDown ? 90.0 : -90.0, 1.0, 0.0, 0.0);
                const double k = side == BaseSlab::kOutsideSurface ? 1.0 : -1.0;
                glTranslated(-normal.x * t / 2.0 * k,
                             -normal.y * t / 2.0 * k - (box.min.y + box.max.y) / 2.0,
                             -normal.z * t / 2.0 * k);
            } else {
                const Vector p = FaceNormal();
                Vector a;
                a.Cross(normal, p);
                if (a.Length() < kMinAxisLength)
                    a = Vector(0.0, 1.0, 0.0);
                else
                    a.Normalize();
                glRotated(ClampedAcos(normal.Dot(p)) * kRadiansToDegrees, a.x, a.y, a.z);
                glTranslated(-box.min.x, -box.min.y, t / 2.0 - box.min.z);
            }
            glTranslated(centerPoint.x, centerPoint.y, centerPoint.z);
            glRotated(rotation, 0.0, 0.0, 1.0);
            glTranslated(-centerPoint.x, -centerPoint.y, -centerPoint.z);
            glNormal3d(normal.x, normal.y, normal.z);
            glEndList();
        }
        rebuild = 0;
    }
    if (displayList > 0) glCallList(static_cast<GLuint>(displayList));
    const double handleScale =
        control && control->currentWindow ? control->currentWindow->GetMarkerScale(startPoint) : 1.0;
    RenderOnParent(handleScale);
    glPopMatrix();
    if (upright) EndPrismMask();
    glPopAttrib();
}
