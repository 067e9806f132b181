#include "slabs/SlabHole.h"

#include <GL/glu.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <new>

#include "building/Wall.h"
#include "control/BaseControl.h"
#include "control/RenderLockScope.h"
#include "foundation/KeyDataList.h"
#include "foundation/Trace.h"
#include "geometry/ViewProjection.h"
#include "interaction/MouseHandler.h"
#include "model/SceneView.h"
#include "platform/GLContext.h"
#include "platform/Menu.h"
#include "render/TessCallbacks.h"
#include "render/Window.h"
#include "slabs/BaseSlab.h"
#include "slabs/ParametricDoor.h"
#include "slabs/ParametricWindowFrame.h"

namespace {

constexpr uint32_t kMakeOvalCommand = 2051;
constexpr uint32_t kHideCommand = 1955;
constexpr uint32_t kShowWindowCommand = 1956;
constexpr uint32_t kShowDoorCommand = 1957;
constexpr uint32_t kFirstEdgeCommand = 900;
constexpr uint32_t kLastEdgeCommand = 906;
constexpr int kNormalStencilMask = 0xCB;
constexpr int kFaceStencilMask = 0xCF;
constexpr int kOpeningBit = 4;
constexpr double kHandleSize = 5.0;
constexpr double kMarkerSize = 7.0;

Vector Between(const Vector& from, const Vector& to) {
    return Vector(to.x - from.x, to.y - from.y, to.z - from.z);
}

Vector Scaled(const Vector& v, double s) {
    return Vector(v.x * s, v.y * s, v.z * s);
}

Vector Plus(const Vector& a, const Vector& b) {
    return Vector(a.x + b.x, a.y + b.y, a.z + b.z);
}

SceneView* DrawnView() {
    BaseControl* control = theControl();
    return control ? control->GetCurrentView() : nullptr;
}

int ViewModeOf(SceneView* view) {
    return view ? view->GetRenderState().GetInteger(0) : 0;
}

bool GlobalFlag(int i) {
    BaseControl* control = theControl();
    return control && control->globalState.GetBoolean(i);
}

bool LightPass() {
    return GlobalFlag(8);
}

void DrawMarkerAt(const Vector& at, double size) {
    BaseControl* control = theControl();
    if (!control) return;
    glPushMatrix();
    glTranslated(at.x, at.y, at.z);
    control->DrawMarker(size);
    glPopMatrix();
}

}  // namespace

SlabHole::SlabHole(bool embeddedHole) : embedded(embeddedHole) {
    sideSurface.material = &sideMaterial;
    sideMaterial.SetColor(0.6, 0.6, 0.6, 1.0);
    sideMaterial.SetSpecularColor(1.0f, 1.0f, 1.0f);
}

SlabHole::~SlabHole() {
    active = nullptr;
    windowCandidate.reset();
    doorCandidate.reset();
    FreeLists();
}

void SlabHole::FreeLists() {
    if (!platform::GLContext::IsAnyCurrent()) return;
    for (GLuint* list : {&frontList, &backList, &frontContourList, &backContourList,
                         &sideSurface.faceList, &sideSurface.edgeList}) {
        if (*list != Part::kNoList) glDeleteLists(*list, 1);
        *list = Part::kNoList;
    }
}

// ---- Geometry -----------------------------------------------------------------------

bool SlabHole::Define(const Vector* points, int count, const Vector& faceNormal,
                      double holeDepth, BaseSlab* slab) {
    if (!points || count < kMinimumCorners || count > Outline::kMaxStoredNodes ||
        !HasArea(points, count)) {
        TraceWrite("Hole not defined: its outline has no area");
        return false;
    }
    parent = slab;
    if (slab && !sideMaterial.GetMaterialURL()[0] && !sideMaterial.GetTextureURL()[0]) {
        if (Part* edge = slab->GetSurface(BaseSlab::kEdgeSurface); edge && edge->material) {
            KeyDataList scratch;
            edge->material->WriteKeyData(scratch);
            sideMaterial.ReadKeyData(*scratch.GetSublist("Material"), false);
        }
    }
    normal = faceNormal;
    depth = holeDepth;
    const Vector oldNormal = workingNormal;
    Vector pointsNormal;
    pointsNormal.PolygonNormal(points, count);
    const bool reversed = pointsNormal.Dot(faceNormal) > 0.0;
    outline.Clear();
    for (int i = 0; i < count; ++i)
        outline.InsertPoint(points[reversed ? count - 1 - i : i], i, false);
    ComputeNormal();
    outline.Refresh();
    if (auto* door = dynamic_cast<ParametricDoor*>(doorCandidate.get()))
        door->TurnWithNormal(oldNormal, workingNormal);
    // An edge list that no longer fits the outline is dropped.
    if (!excludedEdges.empty() && excludedEdges.back() >= count) excludedEdges.clear();
    RebuildGeometry();
    return true;
}

void SlabHole::ComputeNormal() {
    outline.normalFixed = false;
    outline.ComputeNormal();
    outline.normal.Negate();
    outline.normal.w = 1.0;
    workingNormal = outline.normal;
}

void SlabHole::TurnWithParent(const Vector& axis, double angle, const Vector& centre) {
    EditableSlabChild::TurnWithParent(axis, angle, centre);
    RebuildGeometry();
}

void SlabHole::RebuildGeometry() {
    const int count = outline.GetPrimaryCount();
    if (count == 0) return;
    if (count < 5) ComputeNormal();
    outline.UseAlternatePoints();
    if (outline.normal.x == 0.0 && outline.normal.y == 0.0 && outline.normal.z == 0.0) {
        outline.normal = parent ? parent->GetOutline().normal : Vector(0.0, 0.0, 1.0);
    }
    workingNormal = outline.normal;
    const int n = outline.GetCount();
    const OutlinePoint* nodes = outline.GetPoints();
    const Vector offset = Scaled(workingNormal, depth);
    std::vector<Vector> newFront, newBack;
    newFront.reserve(n);
    newBack.reserve(n);
    for (int i = 0; i < n; ++i) {
        newFront.push_back(Plus(nodes[i].position, offset));
        newBack.push_back(Between(offset, nodes[i].position));
    }
    front.swap(newFront);
    back.swap(newBack);
    // Bounds over both polygons.
    if (!front.empty()) {
        box.min = box.max = front[0];
        for (const std::vector<Vector>* ring : {&front, &back})
            for (const Vector& p : *ring) {
                box.min.x = std::fmin(box.min.x, p.x);
                box.min.y = std::fmin(box.min.y, p.y);
                box.min.z = std::fmin(box.min.z, p.z);
                box.max.x = std::fmax(box.max.x, p.x);
                box.max.y = std::fmax(box.max.y, p.y);
                box.max.z = std::fmax(box.max.z, p.z);
            }
    }
    area = outline.GetArea();
    if (active) active->MarkDirty();
    MarkDirty();
}

void SlabHole::SetDepth(double value) {
    if (!std::isfinite(value)) return;
    depth = value;
    RebuildGeometry();
}

void SlabHole::MarkDirty() {
    EditableSlabChild::MarkDirty();
    geometryDirty = frontContourDirty = backContourDirty = 1;
    if (parent) parent->MarkDirty();
}

void SlabHole::Translate(const Vector& offset) {
    EditableSlabChild::Translate(offset);
    RebuildGeometry();
}

void SlabHole::MoveBy(const Vector& offset) {
    if (ParentLocked()) return;
    EditableSlabChild::MoveBy(offset);
    RebuildGeometry();
}

void SlabHole::MovePoint(const ViewProjection& view, int x, int y, OutlinePoint* node,
                         bool snap) {
    if (ParentLocked()) return;
    EditableSlabChild::MovePoint(view, x, y, node, snap);
    RebuildGeometry();
}

void SlabHole::SetExcludedEdges(const std::vector<int>& edges) {
    const int count = outline.GetCount();
    excludedEdges.clear();
    for (int e : edges)
        if (e >= 0 && e < count && (excludedEdges.empty() || e > excludedEdges.back()))
            excludedEdges.push_back(e);
    geometryDirty = 1;
}

void SlabHole::SetRevealColor(double r, double g, double b, double a) {
    sideSurface.SetColor(r, g, b, a);
}

double SlabHole::GetRevealArea() const {
    return outline.GetEdgeLengthSum() * (parent ? parent->GetThickness() : 0.0);
}

double SlabHole::GetHeightAboveFloor() const {
    if (!parent) return 0.0;
    double base = parent->GetBoundingBox().min.y;
    const double bottom = box.min.y;
    const double cx = (box.min.x + box.max.x) * 0.5, cz = (box.min.z + box.max.z) * 0.5;
    BaseControl* control = theControl();
    if (!control) return bottom - base;
    for (LinkedListObject* node = control->scene.GetHead(); node; node = node->GetNext()) {
        auto* object = dynamic_cast<RenderableObject*>(node);
        if (!object || !object->HasType(TypeBit::kFloor)) continue;
        const BoundingBox& b = object->GetBoundingBox();
        if (b.max.y >= base && b.max.y < bottom && cx >= b.min.x && cx <= b.max.x &&
            cz >= b.min.z && cz <= b.max.z)
            base = b.max.y;
    }
    return bottom - base;
}

// ---- Validity ---------------------------------------------------------------------

bool SlabHole::IsOnParentSurface() {
    if (!parent || outline.GetPrimaryCount() == 0) return true;
    if (parent->GetOutline().Relate(outline, false) != Outline::kContains) return false;
    if (!parent->AcceptsChild(this)) return false;
    if (auto* wall = dynamic_cast<Wall*>(parent)) return wall->TestAgainstBevels(this);
    return true;
}

bool SlabHole::OverlapsHole(SlabHole& other) {
    const BoundingBox& a = GetBoundingBox();
    const BoundingBox& b = other.GetBoundingBox();
    const double reach = (a.min.Distance(a.max) + b.min.Distance(b.max)) * 0.5;
    if (a.min.Midpoint(a.max).Distance(b.min.Midpoint(b.max)) > reach) return false;
    return outline.Relate(other.outline, false) != Outline::kDisjoint;
}

bool SlabHole::OverlapsSibling() {
    if (!parent) return false;
    for (LinkedListObject* node = parent->GetHoleList().GetHead(); node; node = node->GetNext()) {
        auto* other = dynamic_cast<SlabHole*>(node);
        if (other && other != this && OverlapsHole(*other)) return true;
    }
    for (LinkedListObject* node = parent->GetInSlabList().GetHead(); node;
         node = node->GetNext()) {
        auto* child = dynamic_cast<SlabChild*>(node);
        SlabHole* opening = child ? child->GetOpening() : nullptr;
        if (opening && opening != this && OverlapsHole(*opening)) return true;
    }
    return false;
}

bool SlabHole::IsPositionValid() {
    outline.Refresh();
    if (!outline.IsSimple()) return false;
    if (!IsOnParentSurface()) return false;
    return !OverlapsSibling();
}

// ---- Edits ------------------------------------------------------------------------

void SlabHole::DragPointIn(Window& window, int x, int y, int px, int py, int pickDepth,
                           const Vector& grabOffset, bool constrain, int axis) {
    if (ParentLocked()) return;
    PickableObject* picked = window.GetPickedObject(pickDepth);
    auto* door = dynamic_cast<ParametricDoor*>(active);
    if (door && picked && picked->HasType(TypeBit::kCatalogueModel) &&
        !window.IsOrthographicView()) {
        door->MoveKnob(ViewOf(window), x, y, px, py);
        return;
    }
    EditableSlabChild::DragPointIn(window, x, y, px, py, pickDepth, grabOffset, constrain, axis);
    RebuildGeometry();
}

void SlabHole::MakeOval() {
    if (!parent) return;
    KeyDataList scratch;
    outline.Save(scratch, "temp");
    outline.MakeOval(parent->GetUVector(), false);
    RebuildGeometry();
    if (!IsPositionValid()) {
        outline.Load(scratch, "temp");
        outline.Refresh();
        RebuildGeometry();
    }
}

void SlabHole::ShowDoorOrWindow(bool window) {
    std::unique_ptr<ParametricInSlabObject>& slot = window ? windowCandidate : doorCandidate;
    if (!slot) {
        if (window)
            slot.reset(new (std::nothrow) ParametricWindowFrame(this));
        else
            slot.reset(new (std::nothrow) ParametricDoor(this));
    }
    if (!slot) return;
    active = slot.get();
    active->SetHidden(false);
    active->MarkDirty();
}

void SlabHole::RefreshDoorOrWindow() {
    if (active) active->RefreshFromHole();
}

// ---- Menu -------------------------------------------------------------------------

void SlabHole::BuildPropertyMenu(platform::Menu& menu) {
    EditableSlabChild::BuildPropertyMenu(menu);
    if (embedded) return;
    SceneView* view = DrawnView();
    BaseControl* control = theControl();
    if (control && !view) view = control->GetActiveView();
    const bool blueprintWall = parent && parent->HasType(TypeBit::kWall) && ViewModeOf(view) == 1;
    if (!blueprintWall) menu.AppendItem(kMakeOvalCommand, "Make Oval");
    if (active && !active->IsHidden()) {
        menu.AppendItem(kHideCommand,
                        active->GetKind() == kDoorLeaf ? "Hide Door" : "Hide Window");
        active->AppendMenuEntries(menu);
    } else {
        menu.AppendItem(kShowWindowCommand, "Show Window");
        menu.AppendItem(kShowDoorCommand, "Show Door");
    }
    menu.AppendSeparator();
}

template <typename Change>
void SlabHole::InSlabStep(Change change) {
    BaseControl* control = theControl();
    if (parent) parent->BeginUndoStep();
    change();
    if (control) control->BeginUndoGroup();
    if (parent) parent->EndUndoStep();
    if (control) control->EndUndoGroup();
}

bool SlabHole::ProcessPropertyMenu(uint32_t id) {
    if (active && !active->IsHidden() && active->ProcessPropertyMenu(id)) return true;
    switch (id) {
        case MouseHandler::kDeleteCommand:
            if (embedded) return false;
            return EditableSlabChild::ProcessPropertyMenu(id);
        case kHideCommand:
            if (!active) return false;
            InSlabStep([&] { active->SetHidden(true); });
            return true;
        case kShowWindowCommand:
        case kShowDoorCommand:
            if (ParentLocked()) return true;
            InSlabStep([&] { ShowDoorOrWindow(id == kShowWindowCommand); });
            return true;
        case kMakeOvalCommand:
            if (embedded) return false;
            if (ParentLocked()) return true;
            InSlabStep([&] {
                MakeOval();
                MarkDirty();
            });
            return true;
        default:
            break;
    }
    const bool handled = EditableSlabChild::ProcessPropertyMenu(id);
    if (id >= kFirstEdgeCommand && id <= kLastEdgeCommand) {
        outline.Refresh();
        RebuildGeometry();
        MarkDirty();
    }
    return handled;
}

// ---- Copies -----------------------------------------------------------------------

RenderableObject* SlabHole::Clone() {
    return Clone(false);
}

RenderableObject* SlabHole::Clone(bool offset) {
    if (!parent) return nullptr;
    RenderLockScope hold(theControl());
    BaseSlab* slab = parent;
    auto* copy = new (std::nothrow) SlabHole(embedded);
    if (!copy) return nullptr;
    std::vector<Vector> points = outline.GetPositions();
    (void)points;
    RestoreInto(*copy, true, false);
    copy->SetParent(slab);
    copy->RebuildGeometry();
    slab->GetHoleList().Append(copy);
    if (!offset) return copy;
    Vector step;
    step.Cross(slab->GetUVector(), slab->GetOutline().normal);
    step.Normalize();
    step = Scaled(step, copy->box.min.Distance(copy->box.max));
    copy->MoveBy(step);
    if (copy->IsPositionValid()) return copy;
    copy->MoveBy(Scaled(step, -2.0));
    if (copy->IsPositionValid()) return copy;
    copy->MoveBy(step);
    slab->GetHoleList().Remove(copy);
    delete copy;
    return slab;
}

// ---- Key data ---------------------------------------------------------------------

void SlabHole::WriteKeyData() {
    delete element;
    element = new KeyDataSublist("SlabHole");
    KeyDataList& keys = *element->GetChildren();
    WriteChildKeys(keys);
    char text[64];
    std::snprintf(text, sizeof text, "%3.6f", depth);
    keys.AddString("depth", text);
    sideSurface.SaveMaterial(keys, "sideSurface");
    keys.AddString("hole", "yes");
    KeyDataList* param = keys.AddSublist("paramInSlab");
    if (active) active->WriteKeysInto(*param);
}

bool SlabHole::ReadKeyData(KeyDataList& keys) {
    EditableSlabChild::ReadKeyData(keys);
    ReadFiniteDouble(keys, "depth", depth);
    sideSurface.Load(*keys.GetSublist("sideSurface"));
    KeyDataList* param = keys.GetSublist("paramInSlab");
    if (param && !param->IsEmpty()) {
        if (active) {
            if (param->FindElement("removedTransactionId")) {
                if (active == windowCandidate.get()) windowCandidate.reset();
                if (active == doorCandidate.get()) doorCandidate.reset();
                active = nullptr;
            } else {
                active->ReadKeyData(*param);
            }
        } else {
            const KeyDataList* window = param->GetSublist("ParametricWindow");
            ShowDoorOrWindow(window && !window->IsEmpty());
            if (active) active->ReadKeyData(*param);
        }
    } else if (active) {
        // A hole saved without its door or window has none.
        active = nullptr;
    }
    if (outline.GetPrimaryCount() > 0) {
        outline.Refresh();
        RebuildGeometry();
    }
    return true;
}

void SlabHole::WriteObjectInformation(std::string& buffer) {
    const double revealArea = GetRevealArea();
    if (active) {
        active->WriteXml(buffer, sideMaterial, revealArea);
        return;
    }
    char text[64];
    std::snprintf(text, sizeof text, "<hole area=\"%3.4f\">", outline.GetArea());
    buffer += text;
    sideMaterial.WriteXML(buffer, "edgeMaterial", false, revealArea);
    buffer += "</hole>";
}

// ---- Drawing ----------------------------------------------------------------------

int SlabHole::StencilReference() {
    SceneView* view = DrawnView();
    return view ? view->GetPassCount() : 0;
}

bool SlabHole::SeeThrough() const {
    SceneView* view = DrawnView();
    if (!view) return false;
    const uint64_t seeThrough = static_cast<uint64_t>(view->GetRenderState().GetInt64(1));
    return (GetTypeMask() & seeThrough) || (parent && (parent->GetTypeMask() & seeThrough));
}

void SlabHole::DrawPolygon(const std::vector<Vector>& points, const Vector& n, bool reversed) {
    BaseControl* control = theControl();
    GLUtesselator* tess = control ? control->GetTessellator() : nullptr;
    if (!tess || points.size() < 3) return;
    std::vector<TessVertexRecord> records(points.size());
    const size_t count = points.size();
    for (size_t i = 0; i < count; ++i) {
        const Vector& p = points[reversed ? count - 1 - i : i];
        records[i] = {p.x, p.y, p.z, n};
    }
    glNormal3d(n.x, n.y, n.z);
    gluTessNormal(tess, n.x, n.y, n.z);
    gluTessBeginPolygon(tess, static_cast<PickableObject*>(this));
    gluTessBeginContour(tess);
    for (TessVertexRecord& r : records) gluTessVertex(tess, &r.x, &r);
    gluTessEndContour(tess);
    gluTessEndPolygon(tess);
}

void SlabHole::Render() {
    if (front.empty() || back.empty() || front.size() != back.size()) return;
    SceneView* view = DrawnView();
    if (ViewModeOf(view) == 1 && !IsInVisibleHeightRange()) return;
    if (IsVisibleInCurrentWindow()) return;
    if (view) view->GetRenderState().SetBoolean(8, false);
    if (active && !active->IsHidden()) active->Render();
    if (SeeThrough()) sideMaterial.halfAlphaOnce = 1;
    const int p = StencilReference();
    const bool lightPass = LightPass();
    glPushAttrib(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_CURRENT_BIT |
                 GL_STENCIL_BUFFER_BIT | GL_ENABLE_BIT);
    if (!lightPass) {
        glStencilFunc(GL_EQUAL, p, kNormalStencilMask);
        RenderReveal();
    } else {
        glEnable(GL_ALPHA_TEST);
        glStencilMask(1);
        glStencilFunc(GL_EQUAL, 0, 1);
        glStencilOp(GL_KEEP, GL_KEEP, GL_INVERT);
        RenderReveal();
        glDisable(GL_ALPHA_TEST);
    }
    if (!embedded) {
        glPushName(GetPickName());
        if (IsSelected()) {
            DrawOutlineHandles();
            ShowMeasurements();
        }
        if (IsSelected() || (parent && parent->IsSelected())) RenderFaceMarkers();
        glPopName();
    }
    // The opening into the stencil: nothing reaches colour or depth.
    glEnable(GL_STENCIL_TEST);
    glDepthFunc(GL_NEVER);
    glStencilMask(kOpeningBit);
    glStencilFunc(GL_EQUAL, p + kOpeningBit, 3);
    glStencilOp(GL_KEEP, GL_REPLACE, GL_REPLACE);
    Vector backNormal = workingNormal;
    backNormal.Negate();
    auto drawList = [&](GLuint& list, const std::vector<Vector>& ring, const Vector& n,
                        bool reversed) {
        if (geometryDirty || list == Part::kNoList) {
            if (list == Part::kNoList) list = glGenLists(1);
            if (list == 0) {
                list = Part::kNoList;
                DrawPolygon(ring, n, reversed);
                return;
            }
            glNewList(list, GL_COMPILE_AND_EXECUTE);
            DrawPolygon(ring, n, reversed);
            glEndList();
        } else {
            glCallList(list);
        }
    };
    drawList(frontList, front, workingNormal, false);
    drawList(backList, back, backNormal, true);
    geometryDirty = 0;
    glPopAttrib();
    if (!lightPass) {
        glStencilMask(15);
        glStencilFunc(GL_EQUAL, p, kFaceStencilMask);
        glStencilOp(GL_KEEP, GL_KEEP, GL_KEEP);
    } else {
        glStencilMask(1);
        glStencilFunc(GL_EQUAL, 0, 5);
        glStencilOp(GL_KEEP, GL_KEEP, GL_INVERT);
    }
}

void SlabHole::ClearStencilBit() {
    const int p = StencilReference();
    glPushAttrib(GL_COLOR_BUFFER_BIT | GL_STENCIL_BUFFER_BIT | GL_DEPTH_BUFFER_BIT |
                 GL_ENABLE_BIT);
    glEnable(GL_STENCIL_TEST);
    glDepthFunc(GL_NEVER);
    glStencilMask(kOpeningBit);
    if (!LightPass()) {
        glStencilFunc(GL_EQUAL, p, 3);
        glStencilOp(GL_KEEP, GL_REPLACE, GL_REPLACE);
    } else {
        glDisable(GL_ALPHA_TEST);
        glStencilFunc(GL_EQUAL, kOpeningBit, kOpeningBit);
        glStencilOp(GL_KEEP, GL_ZERO, GL_ZERO);
    }
    if (frontList != Part::kNoList) glCallList(frontList);
    if (backList != Part::kNoList) glCallList(backList);
    glPopAttrib();
}

void SlabHole::RenderReveal() {
    const size_t n = front.size();
    if (n < 2 || back.size() != n) return;
    if (SeeThrough()) sideMaterial.halfAlphaOnce = 1;
    glPushName(GetPickName());
    glPushAttrib(GL_ENABLE_BIT);
    const OutlinePoint* nodes = outline.GetPoints();
    const int nodeCount = outline.GetCount();
    if (geometryDirty || sideSurface.faceList == Part::kNoList) {
        if (sideSurface.faceList == Part::kNoList) sideSurface.faceList = glGenLists(1);
        if (sideSurface.edgeList == Part::kNoList) sideSurface.edgeList = glGenLists(1);
        if (sideSurface.faceList != 0 && sideSurface.faceList != Part::kNoList) {
            glNewList(sideSurface.faceList, GL_COMPILE);
            size_t excluded = 0;
            for (size_t i = 0; i < n; ++i) {
                while (excluded < excludedEdges.size() &&
                       static_cast<size_t>(excludedEdges[excluded]) < i)
                    ++excluded;
                if (excluded < excludedEdges.size() &&
                    static_cast<size_t>(excludedEdges[excluded]) == i)
                    continue;
                const size_t j = (i + 1) % n;
                if (static_cast<int>(i) < nodeCount) {
                    currentRevealFace = nodes[i].edge;
                    glLoadName(nodes[i].edge->GetPickName());
                }
                glPushName(sideSurface.GetPickName());
                Vector quadNormal;
                quadNormal.Cross(Between(front[i], back[i]), Between(front[i], front[j]));
                quadNormal.Normalize();
                glNormal3d(quadNormal.x, quadNormal.y, quadNormal.z);
                glBegin(GL_QUADS);
                glVertex3d(front[i].x, front[i].y, front[i].z);
                glVertex3d(back[i].x, back[i].y, back[i].z);
                glVertex3d(back[j].x, back[j].y, back[j].z);
                glVertex3d(front[j].x, front[j].y, front[j].z);
                glEnd();
                glPopName();
            }
            glEndList();
        }
        if (sideSurface.edgeList != 0 && sideSurface.edgeList != Part::kNoList) {
            glNewList(sideSurface.edgeList, GL_COMPILE);
            for (size_t i = 0; i < n; ++i) {
                const size_t j = (i + 1) % n;
                glBegin(GL_LINE_LOOP);
                glVertex3d(front[i].x, front[i].y, front[i].z);
                glVertex3d(back[i].x, back[i].y, back[i].z);
                glVertex3d(back[j].x, back[j].y, back[j].z);
                glVertex3d(front[j].x, front[j].y, front[j].z);
                glEnd();
            }
            glEndList();
        }
    }
    sideSurface.Render(false);
    currentRevealFace = nullptr;
    glPopAttrib();
    glPopName();
}

void SlabHole::AddContourToFace(bool backSide) {
    if (front.empty() || back.size() != front.size()) return;
    SceneView* view = DrawnView();
    const bool blueprint = ViewModeOf(view) == 1;
    if (blueprint && !IsInVisibleHeightRange()) return;
    BaseControl* control = theControl();
    GLUtesselator* tess = control ? control->GetTessellator() : nullptr;
    glPushAttrib(GL_CURRENT_BIT);
    if (!embedded && !(blueprint && parent && parent->HasType(TypeBit::kWall))) {
        glPushName(GetPickName());
        if (IsSelected()) DrawOutlineHandles();
        if (parent && parent->IsSelected()) RenderFaceMarkers();
        if (active && !active->IsHidden()) active->Render();
        glPopName();
    }
    if (parent && parent->GetOutline().normal.Dot(workingNormal) < 0.0) backSide = !backSide;
    if (tess) {
        // The records stay alive until the slab closes its polygon.
        static thread_local std::vector<TessVertexRecord> records;
        const std::vector<Vector>& ring = backSide ? back : front;
        const size_t n = ring.size();
        records.resize(n);
        Vector nn = workingNormal;
        if (backSide) nn.Negate();
        gluTessBeginContour(tess);
        for (size_t i = 0; i < n; ++i) {
            const Vector& p = ring[backSide ? n - 1 - i : i];
            records[i] = {p.x, p.y, p.z, nn};
            gluTessVertex(tess, &records[i].x, &records[i]);
        }
        gluTessEndContour(tess);
    }
    if (!backSide) RenderReveal();
    glPopAttrib();
}

void SlabHole::RenderFaceMarkers() {
    if (front.empty() || back.empty() || GlobalFlag(15) || !parent) return;
    const Vector offset = Scaled(parent->GetOutline().normal, parent->GetThickness() * 0.5);
    const Vector centre = box.min.Midpoint(box.max);
    glPushName(sideSurface.GetPickName());
    glPushAttrib(GL_CURRENT_BIT);
    glColor4d(1.0, 0.5, 0.0, 0.5);
    DrawMarkerAt(Plus(centre, offset), kMarkerSize);
    DrawMarkerAt(Between(offset, centre), kMarkerSize);
    glPopAttrib();
    glPopName();
}

void SlabHole::DrawOutlineHandles() {
    if (GlobalFlag(15)) return;
    outline.UsePrimaryPoints();
    const int n = outline.GetPrimaryCount();
    OutlinePoint* nodes = outline.GetPrimaryPoints();
    glPushAttrib(GL_COLOR_BUFFER_BIT | GL_CURRENT_BIT);
    glDisable(GL_ALPHA_TEST);
    SceneView* view = DrawnView();
    if (parent && parent->HasType(TypeBit::kWall) && ViewModeOf(view) == 1) {
        const double top = parent->GetBoundingBox().max.y + 10.0;
        for (int i = 0; i < n; ++i) {
            const Vector& a = nodes[i].position;
            const Vector& b = nodes[(i + 1) % n].position;
            if (std::fabs(a.x - b.x) >= 0.001 || std::fabs(a.z - b.z) >= 0.001) continue;
            glPushName(nodes[i].edge->GetPickName());
            glPushName(nodes[i].GetPickName());
            glColor4d(0.0, 0.0, 1.0, 0.5);
            DrawMarkerAt(Vector(a.x, top, a.z), kHandleSize);
            glPopName();
            glPopName();
        }
    } else if (parent) {
        const double half = parent->GetThickness() * 0.5;
        for (double side : {half, -half}) {
            const Vector shift = Scaled(parent->GetOutline().normal, side);
            for (int i = 0; i < n; ++i) {
                glPushName(nodes[i].GetPickName());
                glColor4d(1.0, 1.0, 0.0, 0.5);
                DrawMarkerAt(Plus(nodes[i].position, shift), kHandleSize);
                glPopName();
                glPushName(nodes[i].edge->GetPickName());
                glPushName(nodes[i].GetPickName());
                Vector mid = nodes[i].position.Midpoint(nodes[(i + 1) % n].position);
                if (nodes[i].edge->IsArc()) {
                    mid.Add(Scaled(nodes[i].edge->direction, nodes[i].edge->edgeR));
                    glColor4d(0.0, 1.0, 1.0, 0.5);
                } else {
                    glColor4d(0.0, 0.0, 1.0, 0.5);
                }
                glPushMatrix();
                glTranslated(mid.x + shift.x, mid.y + shift.y, mid.z + shift.z);
                glScaled(1.125, 1.125, 1.125);
                if (BaseControl* control = theControl()) control->DrawMarker(kHandleSize);
                glPopMatrix();
                glPopName();
                glPopName();
            }
        }
    }
    glPopAttrib();
    outline.UseAlternatePoints();
}

Vector SlabHole::GetSurfaceCoordinate(const Vector& point, const OutlineEdge* face) const {
    if (!face) face = currentRevealFace;
    if (!face) return Vector(0.0, 0.0, -1.0);
    const int n = outline.GetPrimaryCount();
    const OutlinePoint* nodes = outline.GetPrimaryPoints();
    for (int i = 0; i < n; ++i) {
        if (nodes[i].edge != face) continue;
        const double along = outline.GetDistanceAlong(point, face);
        const double through = -outline.normal.Dot(Between(nodes[i].position, point));
        return Vector(along, through, 0.0);
    }
    return Vector(0.0, 0.0, -1.0);
}
