#include "building/Roof.h"

#include <strings.h>

#include <atomic>
#include <cmath>
#include <cstdio>
#include <string>

#include "building/RoofGroup.h"
#include "building/Wall.h"
#include "control/BaseControl.h"
#include "control/LengthFormat.h"
#include "control/RenderLockScope.h"
#include "foundation/KeyDataList.h"
#include "foundation/Trace.h"
#include "foundation/ViewState.h"
#include "interaction/BaseEditor.h"
#include "slabs/Dormer.h"
#include "model/SceneView.h"
#include "platform/Menu.h"
#include "render/Window.h"

namespace {

// The number the next roof plane made with defaults is named with.
std::atomic<int> nextRoofNumber{1};

// Reach of the snapping of a dragged node to wall corners in the plane.
constexpr double kWallNodeReach = 25.0;

void ShowStatus(const std::string& text, bool warning) {
    BaseControl* control = theControl();
    if (!control || !control->activeWindow) return;
    StatusBar& bar = control->activeWindow->statusBar1;
    bar.SetShown(true);
    bar.SetText(text.c_str(), warning);
}

}  // namespace

void ReleaseEditorsOf(const SelectableObject* object) {
    BaseControl* control = theControl();
    if (!control || !object) return;
    for (SceneView* view : {control->GetMainView(), control->GetActiveView()}) {
        auto* editor = view ? dynamic_cast<BaseEditor*>(view->GetCurrentMode()) : nullptr;
        if (editor && editor->GetEditedObject() == object) editor->ReleaseTarget();
    }
}

// ---- Construction -------------------------------------------------------------------

Roof::Roof(bool loading) {
    slabKind = 1502;
    thickness = 6.0;
    projectedThickness = 6.0;
    verticalPosition = 0.0;
    state = &roofState;
    BaseControl* control = theControl();
    menuLabel = "Set Roof Dimensions...";
    if (loading) return;
    for (Material& material : surfaceMaterials) {
        material.SetBumpMapURL(nullptr);
        material.SetColor(1.0, 1.0, 1.0, 1.0);
    }
    if (control) {
        CopyStateFrom(control->roofState);
        savedState = &control->roofState;
    }
    char name[32];
    std::snprintf(name, sizeof name, "Roof%i", nextRoofNumber.fetch_add(1));
    SetInformationValue("name", name);
    SetInformationValue("category", "someCategory");
}

Roof::~Roof() {
    ReleaseEditorsOf(this);
    if (group) group->DetachRoof(this);
    group = nullptr;
}

// ---- Menu and scene -----------------------------------------------------------------

void Roof::BuildPropertyMenu(platform::Menu& menu) {
    BaseSlab::BuildPropertyMenu(menu);
    AppendMenuItems(menu);
    if (group) menu.AppendItem(kResetRoofEdges, "Reset Roof Edges");
    menu.AppendSeparator();
    BaseControl* control = theControl();
    if (control && control->currentStateObject == static_cast<StateObject*>(this)) {
        SizeableObject::BuildPropertyMenu(menu);
        menu.AppendSeparator();
    }
}

bool Roof::ProcessPropertyMenu(uint32_t id) {
    if (group && (id == MenuCommand::kLock || id == static_cast<uint32_t>(kResetRoofEdges)))
        return group->ProcessPropertyMenu(id);
    return BaseSlab::ProcessPropertyMenu(id);
}

bool Roof::RemoveFromList(LinkedList& list) {
    removed = 1;
    if (group && group->IsSelected() && group->IsWireframe() && !group->IsLocked()) {
        RoofGroup* owner = group;
        owner->DetachRoof(this);
        owner->SetSelected(true);
        // The group leaves with its last drawn plane; it goes to the deleted list.
        BaseControl* control = theControl();
        if (control && owner->RemoveFromList(control->scene)) control->deletedObjects.Append(owner);
    }
    const bool gone = BaseSlab::RemoveFromList(list);
    removed = gone ? 1 : 0;
    if (gone) DropDormerWalls();
    return gone;
}

void Roof::DropDormerWalls() {
    for (LinkedListObject* node = holeList.GetHead(); node; node = node->GetNext())
        if (auto* dormer = dynamic_cast<Dormer*>(node)) dormer->DropWalls();
}

bool Roof::SetSelected(bool flag) {
    if (group) group->SetSelected(flag);
    return BaseSlab::SetSelected(flag);
}

bool Roof::IsLocked() const {
    return group ? group->IsLocked() : BaseSlab::IsLocked();
}

RenderableObject* Roof::Clone() {
    return Clone(false, false);
}

RenderableObject* Roof::Clone(bool offset, bool addToScene) {
    if (FirstSelectedChild()) {
        RenderableObject* copy = BaseSlab::Clone();
        if (copy == this) return nullptr;
        if (copy) return this;
    }
    if (group) return nullptr;
    RenderLockScope hold;
    auto* copy = new Roof(false);
    RestoreInto(*copy, true, true);
    BaseControl* control = theControl();
    if (addToScene && control) control->scene.Append(copy);
    if (offset) copy->MoveSlabBy(2.0 * thickness, 0.0, 2.0 * thickness, true);
    return copy;
}

bool Roof::IsShownInCurrentView() {
    BaseControl* control = theControl();
    SceneView* view = control ? control->GetCurrentView() : nullptr;
    if ((view && view->GetRenderState().GetInteger(0) == 1) ||
        (group && group->IsSelected() && group->IsWireframe())) {
        shownInView = 0;
        return false;
    }
    return BaseSlab::IsShownInCurrentView();
}

void Roof::Render() {
    if (!shownInView) return;
    BaseControl* control = theControl();
    const bool dragging = control && control->globalState.GetBoolean(18);
    if (selected && dragging && facePointsA && facePointsB) {
        // While dragged, the solid is shown as its outline only.
        glPushAttrib(GL_ENABLE_BIT | GL_CURRENT_BIT);
        glDisable(GL_LIGHTING);
        glDisable(GL_TEXTURE_2D);
        glColor4d(0.0, 0.0, 0.0, 1.0);
        for (const Vector* face : {facePointsA.get(), facePointsB.get()}) {
            glBegin(GL_LINE_LOOP);
            for (int i = 0; i < facePointCount; ++i) glVertex3d(face[i].x, face[i].y, face[i].z);
            glEnd();
        }
        glBegin(GL_LINES);
        for (int i = 0; i < facePointCount; ++i) {
            glVertex3d(facePointsA[i].x, facePointsA[i].y, facePointsA[i].z);
            glVertex3d(facePointsB[i].x, facePointsB[i].y, facePointsB[i].z);
        }
        glEnd();
        glPopAttrib();
        return;
    }
    BaseSlab::Render();
}

// ---- Undo ---------------------------------------------------------------------------

void Roof::BeginUndoStep() {
    if (group)
        group->BeginUndoStep();
    else
        BaseSlab::BeginUndoStep();
}

void Roof::EndUndoStep() {
    if (group)
        group->EndUndoStep();
    else
        BaseSlab::EndUndoStep();
}

void Roof::CancelUndoStep() {
    if (group)
        group->CancelUndoStep();
    else
        BaseSlab::CancelUndoStep();
}

// ---- Key data -----------------------------------------------------------------------

void Roof::WriteRoofElement() {
    delete element;
    element = new KeyDataSublist("Roof");
    KeyDataList& keys = *element->GetChildren();
    if (group) keys.AddString("subroof", "yes");
    WriteSlabKeys(keys);
}

void Roof::WriteKeyData() {
    delete element;
    element = nullptr;
    if (group) return;
    WriteRoofElement();
}

bool Roof::AttachObjectInformation(FILE* stream) {
    if (group) {
        delete element;
        element = nullptr;
        return false;
    }
    return BaseSlab::AttachObjectInformation(stream);
}

void Roof::HandOverDormerWallRemovals(KeyDataList& keys) {
    KeyDataList* children = keys.GetSublist("childList");
    for (BaseKeyDataElement* m = children->GetFirstMember(); m; m = m->GetNextMember()) {
        if (m->IsElement()) continue;
        KeyDataList& entry = *static_cast<KeyDataSublist*>(m)->GetChildren();
        const char* marker = entry.GetString("dormer");
        double id = 0.0;
        if (!marker || strcasecmp(marker, "yes") != 0 ||
            !entry.GetDouble("transactionObjectId", id) || !std::isfinite(id) || id < 0.0 ||
            id >= static_cast<double>(kNoTransactionId))
            continue;
        Dormer* dormer = nullptr;
        for (LinkedListObject* node = holeList.GetHead(); node && !dormer; node = node->GetNext()) {
            auto* candidate = dynamic_cast<Dormer*>(node);
            if (candidate && candidate->GetObjectId() == static_cast<TransactionId>(id))
                dormer = candidate;
        }
        if (!dormer) continue;
        for (BaseKeyDataElement* r = entry.GetFirstMember(); r;) {
            BaseKeyDataElement* next = r->GetNextMember();
            if (r->IsElement() && strcasecmp(r->GetName(), "removedTransactionId") == 0) {
                const double gone =
                    ParseKeyDataNumber(static_cast<const KeyDataElement*>(r)->Value());
                if (std::isfinite(gone) && gone >= 0.0 &&
                    gone < static_cast<double>(kNoTransactionId) &&
                    dormer->RemoveWallById(static_cast<TransactionId>(gone)))
                    entry.DeleteNode(r);
            }
            r = next;
        }
    }
}

bool Roof::ReadKeyData(KeyDataList& keys) {
    // A record that takes a dormer's walls away is the dormer's, not a removal of the
    // dormer itself: the dormer drops those walls and then reads the rest of its entry.
    HandOverDormerWallRemovals(keys);
    BaseSlab::ReadKeyData(keys);
    LabelEdges();
    RecomputeBounds();
    return true;
}

// ---- Sizes --------------------------------------------------------------------------

int Roof::SetSizeZ(double value) {
    return group ? group->SetLength(value) : 0;
}

int Roof::SetSizeX(double value) {
    return group ? group->SetWidth(value) : 0;
}

int Roof::SetSizeY(double value) {
    return group ? group->SetThickness(value) : 0;
}

double Roof::GetSizeZ() const {
    return group ? group->GetLength() : 0.0;
}

double Roof::GetSizeX() const {
    return group ? group->GetWidth() : 0.0;
}

// ---- Geometry -----------------------------------------------------------------------

void Roof::LabelEdges() {
    OutlinePoint* nodes = outline.GetPrimaryPoints();
    for (int i = 0; i < outline.GetPrimaryCount(); ++i) nodes[i].edge->labels[0] = kEdgeCaption;
}

bool Roof::CutPerpendicular(int i) const {
    const int count = outline.GetPrimaryCount();
    if (i < 0 || i >= count) return false;
    return outline.GetPrimaryPoints()[i].edge->booleanParameter[0];
}

void Roof::RotateNodes(bool left) {
    const int count = outline.GetPrimaryCount();
    if (count < 2) return;
    std::vector<OutlinePoint> nodes(outline.GetPrimaryPoints(), outline.GetPrimaryPoints() + count);
    OutlinePoint* target = outline.GetPrimaryPoints();
    for (int i = 0; i < count; ++i) {
        const int from = left ? (i + 1) % count : (i + count - 1) % count;
        target[i].position = nodes[from].position;
        target[i].constrainFollowing = nodes[from].constrainFollowing;
        for (int k = 0; k < OutlineEdge::kFlagCount; ++k)
            target[i].edge->booleanParameter[k] = nodes[from].edge->booleanParameter[k];
        target[i].edge->edgeR = nodes[from].edge->edgeR;
    }
    outline.Refresh();
}

void Roof::UpdateProjectedThickness() {
    bool anyCut = false;
    for (int i = 0; i < outline.GetPrimaryCount(); ++i) anyCut = anyCut || CutPerpendicular(i);
    projectedThickness = anyCut ? thickness : thickness * std::fabs(outline.normal.y);
}

void Roof::ComputeUVector() {
    const Vector& n = outline.normal;
    if (!PRECONDITION(n.y != 0.0 && outline.GetPrimaryCount() > 2,
                      "Invalid Roof shape for UVector calculation"))
        return;
    if (group) {
        const int index = planeIndex;
        const int from[4] = {0, 2, 0, 1};
        const int to[4] = {1, 3, 3, 2};
        if (index < 0 || index >= RoofGroup::kPlanes) return;
        Vector u = group->Corner(to[index]);
        u.Subtract(group->Corner(from[index]));
        Vector across;
        across.Cross(u, n);
        across.Normalize();
        if (across.Length() > 0.0) uVector = across;
        return;
    }
    if (std::fabs(std::fabs(n.y) - 1.0) < 0.001) {
        uVector = Vector(1.0, 0.0, 0.0);
        return;
    }
    const Vector h(-n.z, 0.0, n.x);
    Vector u;
    u.Cross(h, n);
    u.Normalize();
    if (u.Length() > 0.0) uVector = u;
}

void Roof::AllocateRoofArrays() {
    AllocateOutlineArrays();
    ComputeUVector();
}

void Roof::RecomputeBounds() {
    const int count = outline.GetPrimaryCount();
    if (!facePointsA || !facePointsB || count < 3) return;
    if (facePointCount != count) ReallocatePointArrays();
    if (!facePointsA || !facePointsB) return;
    LabelEdges();
    const double h = thickness * 0.5;
    const double s = outline.normal.y > 0.0 ? 1.0 : -1.0;
    const Vector& n = outline.normal;
    const OutlinePoint* nodes = outline.GetPrimaryPoints();
    for (int i = 0; i < count; ++i) {
        const int before = (i + count - 1) % count;
        facePointsA[i] = nodes[i].position;
        facePointsB[i] = nodes[i].position;
        if (!CutPerpendicular(i) && !CutPerpendicular(before)) {
            facePointsA[i].Offset(0.0, s * h, 0.0);
            facePointsB[i].Offset(0.0, -s * h, 0.0);
        } else {
            facePointsA[i].Offset(n.x * h, n.y * h, n.z * h);
            facePointsB[i].Offset(-n.x * h, -n.y * h, -n.z * h);
        }
    }
    UpdateProjectedThickness();
    ComputeBounds();
    area = GetArea();
    BuildCullPolygons();
    FlagOverlappingLights();
    MarkDirty();
}

bool Roof::FitToPlane(double a, double b, double c, double d) {
    if (!std::isfinite(a) || !std::isfinite(b) || !std::isfinite(c) || !std::isfinite(d) ||
        std::fabs(b) < 1e-9) {
        TraceWrite("Roof: a plane that is vertical or not a number was not fitted");
        return false;
    }
    OutlinePoint* nodes = outline.GetPrimaryPoints();
    for (int i = 0; i < outline.GetPrimaryCount(); ++i) {
        Vector& p = nodes[i].position;
        p.y = -(a * p.x + c * p.z + d) / b;
    }
    outline.Refresh();
    outline.ComputeNormal();
    ComputeUVector();
    cutOutRebuild = 1;
    RecomputeBounds();
    return true;
}

Dormer* Roof::AddDormer(const Vector points[4]) {
    if (IsLocked() || !points) return nullptr;
    auto* dormer = new Dormer;
    if (!dormer->Define(points, 4, outline.normal, thickness * 0.5, this)) {
        delete dormer;
        return nullptr;
    }
    holeList.Append(dormer);
    dormer->SetParent(this);
    SetChildrenSelected(false);
    SetSelected(false);
    dormer->SetSelected(true);
    MarkDirty();
    return dormer;
}

void Roof::MoveSlabBy(double dx, double dy, double dz, bool constrained) {
    BaseSlab::MoveSlabBy(dx, dy, dz, constrained);
    if (group) group->MoveWithPlane(dx, dy, dz, this);
    theTrace().Write("r::ms");
}

void Roof::ShowMeasurements() {
    BaseControl* control = theControl();
    if (!control) return;
    if (IsLocked()) {
        ShowStatus(control->LoadResourceString(246), true);
        return;
    }
    std::string text = control->LoadResourceString(250);
    text += FormatLength(thickness, false, 6);
    text += "   ";
    text += control->LoadResourceString(247);
    text += FormatLength(area, true, 6);
    text += "   ";
    text += control->LoadResourceString(248);
    text += std::to_string(outline.GetPrimaryCount());
    ShowStatus(text, false);
}

void Roof::BeginDragOf(PickableObject* grabbed) {
    if (!grabbed || !(grabbed->GetTypeMask() & TypeBit::kOutlineEdge) || !outline.IsRectangle())
        return;
    BaseControl* control = theControl();
    if (!control || !control->activeWindow) return;
    const OutlinePoint* nodes = outline.GetPrimaryPoints();
    ShowLengthInStatusBar(nullptr, nodes[0].position.Distance(nodes[1].position),
                          nodes[0].position.Distance(nodes[3].position));
}

// ---- Node rules ---------------------------------------------------------------------

OutlinePoint* Roof::InsertOutlineScreenPoint(const ViewProjection& view, int x, int y) {
    const int before = outline.GetPrimaryCount();
    OutlinePoint* added = BaseSlab::InsertOutlineScreenPoint(view, x, y);
    if (!added) return nullptr;
    int index = outline.IndexOfPrimary(added);
    const int count = outline.GetPrimaryCount();
    if (index < 0) return added;
    {
        const int previous = (index + count - 1) % count;
        const int next = (index + 1) % count;
        const bool keep = count >= 3 && CutPerpendicular(previous) && CutPerpendicular(next);
        added->edge->booleanParameter[0] = keep;
    }
    if (!group || count == before) return added;
    if (!group->CanKeepInsertedNode(this, index)) {
        RemoveNodeAt(index);
        RecomputeBounds();
        return nullptr;
    }
    if (index == 1) {
        RotateNodes(true);
        ReallocatePointArrays();
        RecomputeBounds();
        return &outline.GetPrimaryPoints()[0];
    }
    return &outline.GetPrimaryPoints()[index];
}

OutlinePoint* Roof::InsertPointAt(const Vector& point) {
    const int count = outline.GetPrimaryCount();
    const OutlinePoint* nodes = outline.GetPrimaryPoints();
    if ((count == 1 || count == 2) &&
        (nodes[0].position.Equals(point) || (count == 2 && nodes[1].position.Equals(point))))
        return nullptr;
    return BaseSlab::InsertPointAt(point);
}

OutlinePoint* Roof::DragEdge(const ViewProjection& view, int x, int y, int previousX,
                             int previousY, OutlinePoint* node, bool free) {
    const int index = outline.IndexOfPrimary(node);
    const int count = outline.GetPrimaryCount();
    if (index < 0 || count == 0) return node;
    if (group && outline.GetPrimaryPoints()[(index + 1) % count].constrainFollowing) return node;
    OutlinePoint* answered = BaseSlab::DragEdge(view, x, y, previousX, previousY, node, free);
    BeginDragOf(answered ? answered->edge : nullptr);
    const int after = outline.GetPrimaryCount();
    if (group && answered && after > count &&
        outline.IndexOfPrimary(answered) == after - 1) {
        RotateNodes(true);
        ReallocatePointArrays();
        RecomputeBounds();
        return &outline.GetPrimaryPoints()[after - 2];
    }
    return answered;
}

bool Roof::DeleteOutlinePoint(OutlinePoint* node) {
    const int index = outline.IndexOfPrimary(node);
    if (index < 0) return false;
    if (group && !group->CanDeleteNode(this, index)) return false;
    if (!BaseSlab::DeleteOutlinePoint(node)) return false;
    if (group && index == 0) {
        RotateNodes(false);
        RecomputeBounds();
    }
    return true;
}

void Roof::DragOutlinePoint(const ViewProjection& view, int x, int y, PickableObject* grabbed,
                            bool drawing, bool snap) {
    BaseSlab::DragOutlinePoint(view, x, y, grabbed, drawing, snap);
    if (snap) SnapNodeToWalls(dynamic_cast<OutlinePoint*>(grabbed));
}

void Roof::SnapNodeToWalls(OutlinePoint* node) {
    BaseControl* control = theControl();
    if (!node || !control || outline.IndexOfPrimary(node) < 0) return;
    double best = kWallNodeReach;
    Vector candidate;
    const Vector& n = outline.normal;
    const double level = node->position.Dot(n);
    LinkedListIterator it(control->scene);
    it.LockList();
    for (LinkedListObject* object = it.First(); !it.IsDone(); object = it.Next()) {
        auto* wall = dynamic_cast<Wall*>(object);
        if (!wall || !wall->HasWallShape()) continue;
        const Outline& wallOutline = wall->GetOutline();
        for (int i = wall->GetWallEndIndex(); i < wallOutline.GetPrimaryCount(); ++i) {
            const Vector& corner = wallOutline.GetPrimaryPoints()[i].position;
            if (std::fabs(corner.Dot(n) - level) > 0.01) continue;
            const double d = corner.Distance(node->position);
            if (d < best) {
                best = d;
                candidate = corner;
            }
        }
    }
    it.UnlockList();
    if (best < kWallNodeReach) {
        node->position.Set(candidate);
        outline.Refresh();
        RecomputeBounds();
    }
}

// ---- Defaults -----------------------------------------------------------------------

void Roof::ApplyState() {
    const double height = roofState.GetDouble(4);
    if (height > 0.0 && outline.GetPrimaryCount() >= 3)
        MoveSlabBy(0.0, height - box.min.y, 0.0, true);
    BaseSlab::ApplyState();
    RecomputeBounds();
}

void Roof::StoreSurfacesToState() {
    BaseSlab::StoreSurfacesToState();
    roofState.SetDouble(4, box.min.y);
}
