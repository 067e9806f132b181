#include "slabs/ParametricDoor.h"

#include <GL/glu.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <atomic>
#include <chrono>
#include <thread>
#include <new>
#include <vector>

#include "control/BaseControl.h"
#include "control/RenderLockScope.h"
#include "foundation/KeyDataList.h"
#include "foundation/Trace.h"
#include "geometry/ViewProjection.h"
#include "model/Model.h"
#include "model/SceneView.h"
#include "platform/GLContext.h"
#include "platform/Menu.h"
#include "render/TessCallbacks.h"
#include "render/Window.h"
#include "slabs/BaseSlab.h"
#include "slabs/SlabHole.h"

namespace {

constexpr double kDegrees = 57.29577951308;
constexpr double kSwingDegrees = 90.0;
constexpr int kOvalNodes = 32;

// Set while one thread makes the control's shared knob model.
std::atomic<bool> makingKnob{false};

Vector Between(const Vector& from, const Vector& to) {
    return Vector(to.x - from.x, to.y - from.y, to.z - from.z);
}

Vector Plus(const Vector& a, const Vector& b) {
    return Vector(a.x + b.x, a.y + b.y, a.z + b.z);
}

Vector Scaled(const Vector& v, double s) {
    return Vector(v.x * s, v.y * s, v.z * s);
}

Vector Unit(Vector v) {
    v.Normalize();
    return v;
}

Vector Centre(const BoundingBox& box) {
    return box.min.Midpoint(box.max);
}

// Draws a planar polygon through the control's tessellator.
void TessellatePolygon(const std::vector<Vector>& points, const Vector& n, void* owner) {
    BaseControl* control = theControl();
    GLUtesselator* tess = control ? control->GetTessellator() : nullptr;
    if (!tess || points.size() < 3) return;
    std::vector<TessVertexRecord> records(points.size());
    for (size_t i = 0; i < points.size(); ++i)
        records[i] = {points[i].x, points[i].y, points[i].z, n};
    glNormal3d(n.x, n.y, n.z);
    gluTessNormal(tess, n.x, n.y, n.z);
    gluTessBeginPolygon(tess, owner);
    gluTessBeginContour(tess);
    for (TessVertexRecord& r : records) gluTessVertex(tess, &r.x, &r);
    gluTessEndContour(tess);
    gluTessEndPolygon(tess);
}

}  // namespace

ParametricDoor::ParametricDoor(SlabHole* hole) : ParametricInSlabObject(hole, kDoorLeaf) {
    frontPart.material = &frontMaterial;
    backPart.material = &backMaterial;
    edgePart.material = &edgeMaterial;
    for (Material* m : {&frontMaterial, &backMaterial, &edgeMaterial}) {
        m->SetColor(0.8, 0.6, 0.4, 1.0);
        LoadCatalogueMaterial(*m, kMaterialPath);
    }
    animation.kind = PartAnimation::kTurn;
    animation.angle = kSwingDegrees;
    animation.state = PartAnimation::kClosed;
    knobModel = new (std::nothrow) Model;
    RefreshFromHole();
    // Last: the thread may use the door at once.
    BaseControl* control = theControl();
    if (knobModel && control && control->GetContentDomain()[0]) {
        try {
            knobThread = std::thread([this] { LoadKnob(); });
        } catch (const std::system_error&) {
            TraceWrite("Door knob not loaded: no thread");
        }
    }
}

ParametricDoor::~ParametricDoor() {
    cancelKnob = true;
    if (knobThread.joinable()) {
        // The thread may wait for the render lock: give it up while waiting.
        BaseControl* control = theControl();
        const int holds = control ? control->ReleaseRenderLockFully() : 0;
        knobThread.join();
        if (control) control->ReacquireRenderLock(holds);
    }
    delete knobModel;
    knobModel = nullptr;
    FreeLists();
}

void ParametricDoor::FreeLists() {
    if (!platform::GLContext::IsAnyCurrent()) return;
    for (GLuint* list : {&frontPart.faceList, &frontPart.edgeList, &backPart.faceList,
                         &backPart.edgeList, &edgePart.faceList, &edgePart.edgeList, &knobList}) {
        if (*list != Part::kNoList) glDeleteLists(*list, 1);
        *list = Part::kNoList;
    }
}

void ParametricDoor::LoadKnob() {
    BaseControl* control = theControl();
    if (!control || !knobModel) return;
    char address[BaseControl::kPathSize] = {};
    control->AttachPathToDomain(kKnobPath, address, sizeof address);
    if (!address[0]) return;
    if (control->globalState.GetBoolean(19)) {
        if (!cancelKnob) knobModel->LoadDescription(address);
        return;
    }
    // One thread makes the shared model; the others wait for it. No lock is held while
    // it downloads, and the render lock is taken alone (it is the outermost lock).
    Model* shared = nullptr;
    while (!shared) {
        if (cancelKnob) return;
        {
            RenderLockScope hold(control);
            shared = control->doorKnobModel;
        }
        if (shared) break;
        bool idle = false;
        if (makingKnob.compare_exchange_strong(idle, true)) {
            auto* made = new (std::nothrow) Model;
            if (made) made->LoadDescription(address);
            {
                RenderLockScope hold(control);
                if (!control->doorKnobModel)
                    control->doorKnobModel = made;
                else
                    delete made;
            }
            makingKnob = false;
            if (!made) return;
            continue;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    RenderLockScope hold(control);
    // Read again under the lock: the control may have freed it meanwhile.
    shared = control->doorKnobModel;
    if (cancelKnob || !shared) return;
    shared->WriteKeyData();
    KeyDataSublist* element = shared->TakeWrittenElement();
    if (!element) return;
    knobModel->LoadDecompressedFile(*element->GetChildren(), true);
    delete element;
    MarkDirty();
}

// ---- Placement ----------------------------------------------------------------------

void ParametricDoor::RefreshFromHole() {
    if (!PRECONDITION(parentHole != nullptr, "parentHole is null")) return;
    const Outline& outline = parentHole->GetOutline();
    if (outline.GetPrimaryCount() >= 2) {
        const BoundingBox& box = parentHole->GetBoundingBox();
        const Vector c = Centre(box);
        const OutlinePoint* nodes = outline.GetPrimaryPoints();
        const Vector m = nodes[0].position.Midpoint(nodes[1].position);
        const Vector toEdge = Between(c, m);
        const double l = toEdge.Length();
        if (l > 0.0 && std::isfinite(l)) knobOffset = Scaled(toEdge, (kKnobInset - l) / l);
        BaseSlab* slab = parentHole->GetParent();
        const double height = box.max.y - box.min.y;
        if (slab && slab->HasType(TypeBit::kWall) && height > kKnobHeight)
            knobOffset.y = kKnobHeight - height / 2.0;
    }
    MarkDirty();
}

void ParametricDoor::ComputeHinge(Vector& direction, Vector& pivot) const {
    direction = Vector(1.0, 0.0, 0.0);
    pivot = Vector(0.0, 0.0, 0.0);
    if (!parentHole) return;
    const Outline& outline = parentHole->GetOutline();
    const int count = outline.GetPrimaryCount();
    if (count < 3) return;
    std::vector<Vector> ring;
    if (outline.IsRectangle()) {
        ring = outline.GetPositions();
    } else {
        Outline oval;
        oval.CopyFrom(outline);
        Vector u = parentHole->GetParent() ? parentHole->GetParent()->GetUVector()
                                           : Vector(1.0, 0.0, 0.0);
        oval.SetToEllipse(u, kOvalNodes, false);
        ring = oval.GetPositions();
    }
    if (ring.size() < 2) return;
    const Vector k = Plus(Centre(parentHole->GetBoundingBox()), knobOffset);
    double best = -1.0;
    for (size_t i = 0; i < ring.size(); ++i) {
        const Vector& a = ring[i];
        const Vector& b = ring[(i + 1) % ring.size()];
        Vector foot;
        k.ProjectOntoLine(a, b, foot);
        const double distance = k.Distance(foot);
        if (best < 0.0 || distance < best) {
            best = distance;
            direction = Unit(Between(a, b));
        }
    }
    const Vector n = parentHole->GetWorkingNormal();
    Vector across;
    across.Cross(n, direction);
    across = Scaled(Unit(across), -1.0);
    const OutlinePoint* nodes = outline.GetPrimaryPoints();
    double largest = 0.0;
    pivot = nodes[0].position;
    for (int j = 1; j < count; ++j) {
        const double along = Between(nodes[0].position, nodes[j].position).Dot(across);
        if (along > largest) {
            largest = along;
            pivot = nodes[j].position;
        }
    }
}

bool ParametricDoor::MoveKnob(const ViewProjection& view, int x, int y, int px, int py) {
    BaseControl* control = theControl();
    Window* window = control ? control->activeWindow : nullptr;
    BaseSlab* slab = parentHole ? parentHole->GetParent() : nullptr;
    if (!PRECONDITION(parentHole && slab, "Invalid parent or grandparent during knob move"))
        return false;
    const bool orthographic = window && window->IsOrthographicView();
    if (orthographic || animation.t * animation.angle != 0.0) {
        if (window && control)
            window->statusBar1.SetText(control->LoadResourceString(orthographic ? 292 : 291).c_str(),
                                       false);
        return false;
    }
    parentHole->MarkDirty();
    const Vector now = slab->GetOutline().ScreenToPlane(view, x, y);
    const Vector before = slab->GetOutline().ScreenToPlane(view, px, py);
    if (now.x == Outline::kNoIntersection || before.x == Outline::kNoIntersection) return false;
    const Vector kept = knobOffset;
    knobOffset.Add(Between(before, now));
    const Vector knob = Plus(Centre(parentHole->GetBoundingBox()), knobOffset);
    const bool inside = parentHole->GetOutline().ContainsPoint(knob);
    if (!inside) knobOffset = kept;
    MarkDirty();
    return inside;
}

void ParametricDoor::TurnWithNormal(const Vector& before, const Vector& after) {
    Vector axis;
    axis.Cross(before, after);
    if (axis.Length() == 0.0 || before.Length() == 0.0 || after.Length() == 0.0) return;
    axis.Normalize();
    const double angle =
        std::acos(std::clamp(Unit(before).Dot(Unit(after)), -1.0, 1.0));
    // RotateAboutAxis turns by minus its angle: this turns the knob as the normal turned.
    knobOffset.RotateAboutAxis(-angle, axis);
    MarkDirty();
}

void ParametricDoor::FaceOtherSide() {
    if (!parentHole) return;
    BaseSlab* slab = parentHole->GetParent();
    Vector hinge, pivot;
    ComputeHinge(hinge, pivot);
    const Vector n = parentHole->GetWorkingNormal();
    Vector a = slab && slab->HasType(TypeBit::kWall) ? Vector(0.0, 1.0, 0.0)
                                                      : Vector(hinge.x, -hinge.y, -hinge.z);
    Vector q;
    q.Cross(a, n);
    q.Normalize();
    if (q.Length() == 0.0) return;
    auto reflect = [&](const Vector& v) { return Between(Scaled(q, 2.0 * q.Dot(v)), v); };
    const Vector c = Centre(parentHole->GetBoundingBox());
    Outline& outline = parentHole->GetOutline();
    OutlinePoint* nodes = outline.GetPrimaryPoints();
    for (int i = 0; i < outline.GetPrimaryCount(); ++i)
        nodes[i].position.Set(Plus(c, reflect(Between(c, nodes[i].position))));
    knobOffset = reflect(knobOffset);
    outline.Refresh();
    parentHole->ComputeNormal();
    parentHole->RebuildGeometry();
    MarkDirty();
}

void ParametricDoor::ReverseDirection() {
    if (!parentHole) return;
    FaceOtherSide();
    Outline& outline = parentHole->GetOutline();
    OutlinePoint* nodes = outline.GetPrimaryPoints();
    const int m = outline.GetPrimaryCount();
    for (int i = 0; i < m / 2; ++i) {
        const Vector swap = nodes[i].position;
        nodes[i].position.Set(nodes[m - 1 - i].position);
        nodes[m - 1 - i].position.Set(swap);
    }
    outline.Refresh();
    parentHole->ComputeNormal();
    parentHole->RebuildGeometry();
    MarkDirty();
}

// ---- Menu -----------------------------------------------------------------------

void ParametricDoor::AppendMenuEntries(platform::Menu& menu) {
    menu.AppendItem(kReverseCommand, "Reverse Object Direction");
    menu.AppendItem(kFaceOtherSideCommand, "Face Other Side");
}

bool ParametricDoor::ProcessPropertyMenu(uint32_t id) {
    if (SelectableObject::ProcessPropertyMenu(id)) return true;
    if (id != kReverseCommand && id != kFaceOtherSideCommand) return false;
    BaseSlab* slab = parentHole ? parentHole->GetParent() : nullptr;
    if (slab && slab->IsLocked()) return true;
    BaseControl* control = theControl();
    if (slab) slab->BeginUndoStep();
    if (id == kReverseCommand)
        ReverseDirection();
    else
        FaceOtherSide();
    if (control) control->BeginUndoGroup();
    if (slab) slab->EndUndoStep();
    if (control) control->EndUndoGroup();
    return true;
}

// ---- Geometry ---------------------------------------------------------------------

Vector ParametricDoor::GetSurfaceCoordinate(const Vector& p) const {
    if (!parentHole) return Vector(0.0, 0.0, 0.0);
    const Outline& outline = parentHole->GetOutline();
    const int m = outline.GetCount();
    if (m == 0) return Vector(0.0, 0.0, 0.0);
    const OutlinePoint* nodes = outline.GetPoints();
    const Vector n = parentHole->GetWorkingNormal();
    const Vector rel = Between(nodes[0].position, p);
    if (buildPart == 2) {
        if (!PRECONDITION(buildEdge >= 0 && buildEdge < m, "Invalid edge rendering attempt"))
            return Vector(0.0, 0.0, 0.0);
        double along = 0.0;
        for (int i = 0; i < buildEdge; ++i)
            along += nodes[i].position.Distance(nodes[i + 1].position);
        Vector inPlane = Between(nodes[buildEdge].position, p);
        inPlane.Subtract(Scaled(n, inPlane.Dot(n)));
        return Vector(rel.Dot(n), along + inPlane.Length(), 0.0);
    }
    Vector u = parentHole->GetParent() ? parentHole->GetParent()->GetUVector() : Vector(1, 0, 0);
    u.Normalize();
    Vector v;
    v.Cross(u, n);
    v.Normalize();
    const double first = v.Dot(rel);
    return Vector(buildPart == 1 ? -first : first, u.Dot(rel), 0.0);
}

void ParametricDoor::DrawLeafPart(int part) {
    const Outline& outline = parentHole->GetOutline();
    const int m = outline.GetCount();
    const OutlinePoint* nodes = outline.GetPoints();
    const Vector n = parentHole->GetWorkingNormal();
    const Vector d = Scaled(n, doorThickness / 2.0);
    const Vector minusD = Scaled(d, -1.0);
    std::vector<Vector> ring(m);
    Part& target = part == 0 ? frontPart : part == 1 ? backPart : edgePart;
    buildPart = part;
    glNewList(target.faceList, GL_COMPILE);
    if (part < 2) {
        const Vector shift = part == 0 ? d : minusD;
        for (int i = 0; i < m; ++i) ring[i] = Plus(nodes[i].position, shift);
        TessellatePolygon(ring, part == 0 ? n : Scaled(n, -1.0), static_cast<PickableObject*>(this));
    } else {
        glBegin(GL_QUADS);
        for (int k = 0; k < m; ++k) {
            buildEdge = k;
            const Vector& a = nodes[k].position;
            const Vector& b = nodes[(k + 1) % m].position;
            Vector side;
            side.Cross(n, Between(a, b));
            side.Normalize();
            glNormal3d(side.x, side.y, side.z);
            for (const Vector& corner : {Plus(a, d), Plus(b, d), Plus(b, minusD), Plus(a, minusD)}) {
                const Vector t = GetSurfaceCoordinate(corner);
                glTexCoord2d(t.x, t.y);
                glVertex3d(corner.x, corner.y, corner.z);
            }
        }
        glEnd();
    }
    glEndList();
    glNewList(target.edgeList, GL_COMPILE);
    if (part < 2) {
        const Vector shift = part == 0 ? d : minusD;
        glBegin(GL_LINE_LOOP);
        for (int i = 0; i < m; ++i) {
            const Vector p = Plus(nodes[i].position, shift);
            glVertex3d(p.x, p.y, p.z);
        }
        glEnd();
    } else {
        glBegin(GL_LINES);
        for (int i = 0; i < m; ++i) {
            const Vector a = Plus(nodes[i].position, d), b = Plus(nodes[i].position, minusD);
            glVertex3d(a.x, a.y, a.z);
            glVertex3d(b.x, b.y, b.z);
        }
        glEnd();
    }
    glEndList();
}

void ParametricDoor::BuildDisplayLists() {
    if (!PRECONDITION(parentHole != nullptr, "Parent hole is null")) return;
    if (!PRECONDITION(parentHole->GetParent() != nullptr, "Grandparent slab unavailable")) return;
    if (parentHole->GetOutline().GetCount() < 3) return;
    for (Part* part : {&frontPart, &backPart, &edgePart}) {
        for (GLuint* list : {&part->faceList, &part->edgeList}) {
            if (*list == Part::kNoList) *list = glGenLists(1);
            if (*list == 0) {
                *list = Part::kNoList;
                return;
            }
        }
    }
    for (int part = 0; part < 3; ++part) DrawLeafPart(part);
    Vector hinge, pivot;
    ComputeHinge(hinge, pivot);
    animation.transform[12] = pivot.x;
    animation.transform[13] = -pivot.z;
    animation.transform[14] = pivot.y;
    animation.axis = Vector(-hinge.x, hinge.z, -hinge.y);
    buildEdge = buildPart = -1;
    if (knobModel) {
        if (knobList == Part::kNoList) knobList = glGenLists(1);
        if (knobList != 0 && knobList != Part::kNoList) {
            const Vector n = parentHole->GetWorkingNormal();
            const Vector at = Plus(Centre(parentHole->GetBoundingBox()), knobOffset);
            const BoundingBox& knobBox = knobModel->GetBoundingBox();
            glNewList(knobList, GL_COMPILE);
            glTranslated(at.x, at.y, at.z);
            if (std::fabs(n.y) < 0.999) {
                Vector axis(-n.z, 0.0, n.x);
                axis.Normalize();
                glRotated(std::acos(std::clamp(n.y, -1.0, 1.0)) * kDegrees, axis.x, axis.y,
                          axis.z);
            }
            if (!knobBox.IsEmpty()) glTranslated(0.0, -(knobBox.min.y + knobBox.max.y) / 2.0, 0.0);
            glEndList();
        } else {
            knobList = Part::kNoList;
        }
    }
    rebuild = 0;
}

void ParametricDoor::Render() {
    if (hidden || !parentHole) return;
    if (rebuild || frontPart.faceList == Part::kNoList) BuildDisplayLists();
    BaseControl* control = theControl();
    SceneView* view = control ? control->GetCurrentView() : nullptr;
    glPushAttrib(GL_STENCIL_BUFFER_BIT | GL_ENABLE_BIT);
    if (control && control->globalState.GetBoolean(8)) {
        glEnable(GL_STENCIL_TEST);
        glStencilMask(1);
        glStencilFunc(GL_EQUAL, 0, 1);
        glStencilOp(GL_KEEP, GL_KEEP, GL_INVERT);
    } else {
        glStencilFunc(GL_EQUAL, view ? view->GetPassCount() : 0, 0xFB);
    }
    const bool moved = animation.Apply();
    frontPart.Render(false);
    backPart.Render(false);
    edgePart.Render(false);
    if (knobModel && knobList != Part::kNoList) {
        glPushName(knobPart.GetPickName());
        glPushName(parentHole->GetPickName());
        glPushMatrix();
        glCallList(knobList);
        knobModel->Render();
        glPopMatrix();
        glPopName();
        glPopName();
    }
    glPopMatrix();
    glPopAttrib();
    if (moved && control && !control->globalState.GetBoolean(15) &&
        !control->globalState.GetBoolean(16) && !control->globalState.GetBoolean(17) &&
        control->globalState.GetBoolean(13))
        parentHole->FlagOverlappingLights();
}

// ---- Key data -----------------------------------------------------------------------

void ParametricDoor::WriteKeysInto(KeyDataList& keys) {
    KeyDataList& own = *keys.AddSublist("ParametricDoor");
    knobOffset.WriteChild(own, "knobOffset");
    own.AddDouble("doorThickness", doorThickness);
    frontPart.SaveMaterial(own, "frontPart");
    backPart.SaveMaterial(own, "backPart");
    edgePart.SaveMaterial(own, "edgePart");
    WriteHidden(own);
}

bool ParametricDoor::ReadKeyData(KeyDataList& keys) {
    KeyDataList* own = keys.GetSublist("ParametricDoor");
    if (!own || own->IsEmpty()) return false;
    double thickness = 0.0;
    if (ReadFiniteDouble(*own, "doorThickness", thickness) && thickness > 0.0)
        doorThickness = thickness;
    knobOffset.ReadChild(*own, "knobOffset");
    frontPart.Load(*own->GetSublist("frontPart"));
    backPart.Load(*own->GetSublist("backPart"));
    edgePart.Load(*own->GetSublist("edgePart"));
    ReadHidden(*own);
    MarkDirty();
    return true;
}

void ParametricDoor::WriteXml(std::string& buffer, Material& reveal, double revealArea) {
    if (!parentHole) return;
    const Outline& outline = parentHole->GetOutline();
    const double area = outline.GetArea();
    char text[64];
    std::snprintf(text, sizeof text, "<customdoor area=\"%3.4f\">", area);
    buffer += text;
    WriteMaterialXml(buffer, edgeMaterial, "dooredgesurface",
                     outline.GetEdgeLengthSum() * doorThickness);
    WriteMaterialXml(buffer, reveal, "edgeMaterial", revealArea);
    WriteMaterialXml(buffer, frontMaterial, "frontsurface", area);
    WriteMaterialXml(buffer, backMaterial, "backsurface", area);
    buffer += "</customdoor>";
}
