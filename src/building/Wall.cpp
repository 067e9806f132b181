#include "building/Wall.h"

#include <atomic>
#include <cmath>
#include <cstdio>
#include <unordered_set>
#include <vector>

#include "control/BaseControl.h"
#include "control/LengthFormat.h"
#include "foundation/KeyDataList.h"
#include "foundation/Trace.h"
#include "foundation/ViewState.h"
#include "model/SceneView.h"

namespace {

// The number the next wall made from a point is named with.
std::atomic<int> nextWallNumber{1};

constexpr double kUnsetBevel = -1.0;

void Unset(Vector& bevel) {
    bevel = Vector(0.0, kUnsetBevel, 0.0);
}

void WriteFlag(KeyDataList& keys, const char* key, bool flag) {
    keys.AddDouble(key, flag ? 1.0 : 0.0);
}

}  // namespace

// ---- Construction -------------------------------------------------------------------

void Wall::InitialiseFields() {
    slabKind = 1500;
    linkedBegin = linkedEnd = nullptr;
    beginPoint = endPoint = nullptr;
    chainHead = this;
    drawingHeight = 0.0;
    Unset(insideBeginBevel);
    Unset(insideEndBevel);
    Unset(outsideBeginBevel);
    Unset(outsideEndBevel);
    state = &wallState;
    BaseControl* control = theControl();
    savedState = control ? &control->wallState : nullptr;
    dimensionsDirty = true;
    shortSideDimension = false;
    menuLabel = "Set Wall Dimensions...";
}

Wall::Wall() {
    InitialiseFields();
    wallEndIndex = 0;
    length = 0.0;
}

Wall::Wall(const Vector& base) {
    InitialiseFields();
    BaseControl* control = theControl();
    linkable = control ? control->wallState.GetBoolean(8) : true;
    thickness = 10.0;
    verticalPosition = 0.0;
    const double h = control ? control->wallState.GetDouble(5) : 108.0;
    Vector p = base;
    p.w = 1.0;
    outline.InsertPointOnNearestEdge(p, true);
    outline.InsertPointOnNearestEdge(p, false);
    p.y += h;
    outline.InsertPointOnNearestEdge(p, true);
    outline.InsertPointOnNearestEdge(p, false);
    ReallocatePointArrays();
    wallEndIndex = 1;
    RecomputeBounds();
    uVector = Vector(0.0, 1.0, 0.0);
    length = 0.0;
    for (Material& material : surfaceMaterials) {
        material.SetBumpMapURL(nullptr);
        material.SetColor(1.0, 1.0, 1.0, 1.0);
    }
    if (control) CopyStateFrom(control->wallState);
    for (Material& material : surfaceMaterials) material.SetSpecularColor(0.0f, 0.0f, 0.5f);
    horizDimension.SetOffsetLength(kDimensionOffset);
    verticalDimension.SetOffsetLength(kDimensionOffset);
    childDim.SetOffsetLength(kChildDimensionOffset);
    for (Dimension* d : {&horizDimension, &verticalDimension, &childDim})
        d->SetLabelColor(0.3137, 0.3137, 0.5);
    placed = false;
    char name[32];
    std::snprintf(name, sizeof name, "Wall%i", nextWallNumber.fetch_add(1));
    SetInformationValue("name", name);
    SetInformationValue("category", "someCategory");
}

Wall::~Wall() {
    if (HasOpenStep()) CancelUndoStep();
    Unlink(linkedBegin, true);
    Unlink(linkedEnd, true);
}

// ---- Shape --------------------------------------------------------------------------

bool Wall::HasWallShape() const {
    const int count = outline.GetPrimaryCount();
    return count >= 4 && wallEndIndex >= 1 && wallEndIndex <= count - 3;
}

double Wall::BeginHeight() const {
    if (!HasWallShape()) return 0.0;
    const OutlinePoint* nodes = outline.GetPrimaryPoints();
    return nodes[outline.GetPrimaryCount() - 1].position.y - nodes[0].position.y;
}

double Wall::EndHeight() const {
    if (!HasWallShape()) return 0.0;
    const OutlinePoint* nodes = outline.GetPrimaryPoints();
    return nodes[wallEndIndex + 1].position.y - nodes[wallEndIndex].position.y;
}

bool Wall::IsOnNormalSide(const Vector& point) const {
    if (outline.GetPrimaryCount() == 0) return false;
    Vector d = point;
    d.Subtract(outline.GetPrimaryPoints()[0].position);
    return outline.normal.Dot(d) > 0.0;
}

bool Wall::IsPositionValid() {
    if (!HasWallShape()) return false;
    if (!BaseSlab::IsPositionValid()) return false;
    if (!HasType(TypeBit::kDormerWall) && BeginHeight() < kMinimumHeight) return false;
    if (EndHeight() < kMinimumHeight) return false;
    const OutlinePoint* nodes = outline.GetPrimaryPoints();
    const Vector& p0 = nodes[0].position;
    const Vector& p1 = nodes[wallEndIndex].position;
    auto range = [](double a, double b, double& low, double& high) {
        if (std::fabs(a - b) < 0.01) {
            low = a - 1.0;
            high = a + 1.0;
        } else {
            low = std::fmin(a, b);
            high = std::fmax(a, b);
        }
    };
    double xLow, xHigh, zLow, zHigh;
    range(p0.x, p1.x, xLow, xHigh);
    range(p0.z, p1.z, zLow, zHigh);
    for (int i = 0; i < outline.GetPrimaryCount(); ++i) {
        const Vector& p = nodes[i].position;
        if (!(p.y >= 0.0) || p.x < xLow || p.x > xHigh || p.z < zLow || p.z > zHigh) return false;
    }
    return true;
}

// ---- Scene --------------------------------------------------------------------------

bool Wall::RemoveFromList(LinkedList& list) {
    if (!BaseSlab::RemoveFromList(list)) return false;
    Unlink(linkedBegin, true);
    Unlink(linkedEnd, true);
    return true;
}

bool Wall::SetSelected(bool flag) {
    BaseSlab::SetSelected(flag);
    if (!flag) placed = true;
    return flag;
}

void Wall::MarkDirty() {
    BaseSlab::MarkDirty();
    dimensionsDirty = true;
}

bool Wall::IsShownInCurrentView() {
    bool shown = false;
    BaseControl* control = theControl();
    SceneView* view = control ? control->GetCurrentView() : nullptr;
    if (!facePointsA || !facePointsB || !IsVisible()) {
        shown = false;
    } else if (!placed && HasWallShape() &&
               outline.GetPrimaryPoints()[0].position.Distance(
                   outline.GetPrimaryPoints()[wallEndIndex].position) < kShortestDrawn) {
        // A wall just started is not drawn yet.
        shown = false;
    } else if (view && (view->GetRenderState().GetInt64(0) & GetTypeMask())) {
        shown = false;
    } else if ((view && view->GetRenderState().GetInteger(0) == 1) ||
               (control && control->globalState.GetBoolean(6))) {
        shown = true;
    } else {
        shown = IsInVisibleHeightRange();
    }
    drawn = shown ? 1 : 0;
    shownInView = drawn;
    return shown;
}

void Wall::BeginUndoStep() {
    UndoableObject::BeginUndoStep();
    Wall* neighbours[2] = {linkedBegin, linkedEnd};
    for (int i = 0; i < 2; ++i) {
        undoNeighbours[i] = kNoTransactionId;
        if (!neighbours[i]) continue;
        neighbours[i]->UndoableObject::BeginUndoStep();
        undoNeighbours[i] = neighbours[i]->GetObjectId();
    }
}

void Wall::EndUndoStep() {
    UndoableObject::EndUndoStep();
    // The neighbours the step began with, also when a link broke meanwhile.
    BaseControl* control = theControl();
    for (TransactionId& id : undoNeighbours) {
        if (id == kNoTransactionId) continue;
        UndoableObject* neighbour =
            control ? FindObjectByTransactionId(control->scene, id) : nullptr;
        if (neighbour && neighbour != this && neighbour->HasOpenStep())
            neighbour->UndoableObject::EndUndoStep();
        id = kNoTransactionId;
    }
}

void Wall::CancelUndoStep() {
    UndoableObject::CancelUndoStep();
    BaseControl* control = theControl();
    for (TransactionId& id : undoNeighbours) {
        if (id == kNoTransactionId) continue;
        UndoableObject* neighbour =
            control ? FindObjectByTransactionId(control->scene, id) : nullptr;
        if (neighbour && neighbour != this) neighbour->UndoableObject::CancelUndoStep();
        id = kNoTransactionId;
    }
}

// ---- Key data -----------------------------------------------------------------------

void Wall::WriteKeyData() {
    delete element;
    element = new KeyDataSublist("Wall");
    KeyDataList& keys = *element->GetChildren();
    WriteSlabKeys(keys);
    keys.AddDouble("wallEndIndex", wallEndIndex);
    keys.AddDouble("id", GetID());
    WriteFlag(keys, "linkable", linkable);
    WriteFlag(keys, "shortSideDimension", shortSideDimension);
    insideBeginBevel.WriteChild(keys, "insideBeginBevel");
    insideEndBevel.WriteChild(keys, "insideEndBevel");
    outsideBeginBevel.WriteChild(keys, "outsideBeginBevel");
    outsideEndBevel.WriteChild(keys, "outsideEndBevel");
    // A free end is written as linked to no wall (0), so that undoing a link frees it.
    auto writeLink = [&](const Wall* other, const char* idKey, const char* sideKey) {
        keys.AddDouble(idKey, other ? other->GetID() : 0.0);
        keys.AddDouble(sideKey, other ? (other->linkedBegin == this ? 1.0 : 2.0) : 0.0);
    };
    writeLink(linkedBegin, "linkedBeginId", "linkedBeginSide");
    writeLink(linkedEnd, "linkedEndId", "linkedEndSide");
    horizDimension.Write(*keys.AddSublist("horizDimension"));
    verticalDimension.Write(*keys.AddSublist("verticalDimension"));
    childDim.Write(*keys.AddSublist("childDim"));
}

void Wall::ReadLink(KeyDataList& keys, int end, const char* idKey, const char* sideKey) {
    double id = 0.0;
    if (!keys.GetDouble(idKey, id)) return;
    if (!std::isfinite(id) || id < 0.0 || id > static_cast<double>(UINT32_MAX)) {
        theTrace().WriteFormat("Wall: %s is not a wall id; end left as it was", idKey);
        return;
    }
    const uint32_t wanted = static_cast<uint32_t>(id);
    Wall*& current = end == 1 ? linkedBegin : linkedEnd;
    // The keys name the end's link as it should be: another link (or none) breaks this one.
    if (current && current->GetID() != wanted) Unlink(current, true);
    if (wanted == 0 || current || !linkable) return;
    BaseControl* control = theControl();
    LinkedListObject* found = control ? control->scene.FindByID(wanted) : nullptr;
    auto* other = dynamic_cast<Wall*>(found);
    if (!other || other == this) {
        theTrace().WriteFormat("Wall: linked wall %u not found; end left free", wanted);
        return;
    }
    int side = 0;
    keys.GetInt(sideKey, side);
    if (!LinkWith(other, end, side))
        theTrace().WriteFormat("Wall: link with wall %u refused; end left free", wanted);
}

bool Wall::ReadKeyData(KeyDataList& keys) {
    BaseSlab::ReadKeyData(keys);
    const int count = outline.GetPrimaryCount();
    double value = 0.0;
    if (keys.GetDouble("wallEndIndex", value)) {
        if (std::isfinite(value) && value >= 1.0 && value <= count - 3) {
            wallEndIndex = static_cast<int32_t>(value);
        } else {
            theTrace().WriteFormat("Wall: end index %g does not fit %d nodes", value, count);
            if (count >= 4 && (wallEndIndex < 1 || wallEndIndex > count - 3))
                wallEndIndex = count / 2 - 1;
        }
    }
    if (keys.GetDouble("id", value)) {
        BaseControl* control = theControl();
        LinkedListObject* holder =
            control && value >= 0.0 && value <= static_cast<double>(UINT32_MAX)
                ? control->scene.FindByID(static_cast<uint32_t>(value))
                : nullptr;
        if (!std::isfinite(value) || value < 1.0 || value > static_cast<double>(UINT32_MAX))
            theTrace().WriteFormat("Wall: id %g is not a list id", value);
        else if (holder && holder != this)
            theTrace().WriteFormat("Wall: id %u is taken; the wall keeps its own", holder->GetID());
        else
            SetID(static_cast<uint32_t>(value));
    }
    keys.GetBool("linkable", linkable);
    keys.GetBool("shortSideDimension", shortSideDimension);
    ReadLink(keys, 1, "linkedBeginId", "linkedBeginSide");
    if (linkedBegin && beginPoint && HasWallShape()) {
        beginPoint->position.Set(outline.GetPrimaryPoints()[0].position);
        beginPoint->height = BeginHeight();
    }
    ReadLink(keys, 2, "linkedEndId", "linkedEndSide");
    if (linkedEnd && endPoint && HasWallShape()) {
        endPoint->position.Set(outline.GetPrimaryPoints()[wallEndIndex].position);
        endPoint->height = EndHeight();
    }
    insideBeginBevel.ReadChild(keys, "insideBeginBevel");
    insideEndBevel.ReadChild(keys, "insideEndBevel");
    outsideBeginBevel.ReadChild(keys, "outsideBeginBevel");
    outsideEndBevel.ReadChild(keys, "outsideEndBevel");
    horizDimension.ReadKeyData(*keys.GetSublist("horizDimension"));
    verticalDimension.ReadKeyData(*keys.GetSublist("verticalDimension"));
    childDim.ReadKeyData(*keys.GetSublist("childDim"));
    placed = true;
    RecomputeBounds();
    // The mitres of the neighbours follow this wall's direction.
    for (Wall* neighbour : {linkedBegin, linkedEnd})
        if (neighbour) neighbour->RecomputeBounds();
    return true;
}

// ---- Sizes --------------------------------------------------------------------------

void Wall::Rebuild() {
    UpdateLinkedPoints();
}

int Wall::SetSizeZ(double value) {
    if (!std::isfinite(value) || std::fabs(value) < 0.01 || value < 0.0) return -1;
    if (linkedBegin && linkedEnd) return -2;
    if (!HasWallShape()) return -3;
    Vector d = GetDirection();
    d.Normalize();
    if (d.Length() == 0.0) return -3;
    OutlinePoint* nodes = outline.GetPrimaryPoints();
    const int last = outline.GetPrimaryCount() - 1;
    const bool moveEnd = !linkedEnd;
    const int bottom = moveEnd ? wallEndIndex : 0;
    const int top = moveEnd ? wallEndIndex + 1 : last;
    const Vector savedBottom = nodes[bottom].position;
    const Vector savedTop = nodes[top].position;
    auto shift = [&](const Vector& by) {
        nodes = outline.GetPrimaryPoints();
        nodes[bottom].position.Add(by);
        nodes[top].position.Add(by);
        outline.Refresh();
        Rebuild();
    };
    const double sign = moveEnd ? 1.0 : -1.0;
    const Vector& from = moveEnd ? nodes[0].position : nodes[wallEndIndex].position;
    Vector target(from.x + sign * d.x * value, nodes[bottom].position.y,
                  from.z + sign * d.z * value);
    shift(Vector(target.x - nodes[bottom].position.x, 0.0, target.z - nodes[bottom].position.z));
    // A joint at the other end can make the wall longer than asked.
    if ((moveEnd ? linkedBegin : linkedEnd) && value < GetSizeZ()) {
        const double extra = value - GetSizeZ();
        shift(Vector(sign * d.x * extra, 0.0, sign * d.z * extra));
    }
    if (ChainIsValid()) return 0;
    nodes = outline.GetPrimaryPoints();
    nodes[bottom].position = savedBottom;
    nodes[top].position = savedTop;
    outline.Refresh();
    Rebuild();
    return -3;
}

int Wall::SetSizeY(double value) {
    if (!std::isfinite(value) || value < 0.01) return -1;
    if (!HasWallShape()) return -3;
    const double change = value - GetSizeY();
    auto raise = [&](double by) {
        OutlinePoint* nodes = outline.GetPrimaryPoints();
        for (int i = wallEndIndex + 1; i < outline.GetPrimaryCount(); ++i)
            nodes[i].position.y += by;
        outline.Refresh();
        Rebuild();
    };
    raise(change);
    if (ChainIsValid()) return 0;
    raise(-change);
    return -3;
}

int Wall::SetSizeX(double value) {
    if (!std::isfinite(value) || value < 0.01) return -1;
    const double old = thickness;
    SetThickness(value);
    Rebuild();
    if (IsPositionValid()) return 0;
    SetThickness(old);
    Rebuild();
    return -3;
}

void Wall::SetThickness(double value) {
    if (!std::isfinite(value)) {
        TraceWrite("Wall thickness refused: not a number");
        return;
    }
    BaseSlab::SetThickness(value);
    // The whole chain takes it, wall by wall outwards from this one.
    std::vector<Wall*> pending = {linkedBegin, linkedEnd};
    std::unordered_set<const Wall*> seen = {this};
    while (!pending.empty()) {
        Wall* wall = pending.back();
        pending.pop_back();
        if (!wall || !seen.insert(wall).second || wall->thickness == value) continue;
        // Inside an undoable edit of this wall, every wall the chain changes is recorded.
        const bool record = HasOpenStep() && !wall->HasOpenStep();
        if (record) wall->UndoableObject::BeginUndoStep();
        wall->BaseSlab::SetThickness(value);
        wall->RecomputeBounds();
        if (record) wall->UndoableObject::EndUndoStep();
        pending.push_back(wall->linkedBegin);
        pending.push_back(wall->linkedEnd);
    }
}

void Wall::OnOutlineTranslated(const Vector& offset) {
    for (Vector* bevel : {&insideBeginBevel, &insideEndBevel, &outsideBeginBevel, &outsideEndBevel})
        if (bevel->y != kUnsetBevel) bevel->Add(offset);
    if (!HasWallShape()) return;
    const OutlinePoint* nodes = outline.GetPrimaryPoints();
    if (linkedBegin && beginPoint) beginPoint->position.Set(nodes[0].position);
    if (linkedEnd && endPoint) endPoint->position.Set(nodes[wallEndIndex].position);
}

void Wall::Translate(const Vector& offset) {
    outline.Translate(offset.x, offset.y, offset.z);
    TranslateChildren(offset);
    OnOutlineTranslated(offset);
    RecomputeBounds();
}

// ---- Defaults -----------------------------------------------------------------------

void Wall::CopyStateFrom(const BaseParameterState& from) {
    wallState.CopyFrom(from);
    BaseControl* control = theControl();
    if (control && &from == &control->wallState) {
        // New walls take the exterior or the interior settings.
        const WallState& defaults = control->wallState;
        static const int kExterior[6] = {9, 10, 11, 15, 16, 17};
        static const int kInterior[6] = {6, 7, 8, 12, 13, 14};
        const bool interior = defaults.GetBoolean(9);
        wallState.SetDouble(0, defaults.GetDouble(interior ? 10 : 9));
        for (int i = 0; i < 6; ++i)
            wallState.SetString(i,
                                defaults.GetString(interior ? kInterior[i] : kExterior[i]).c_str());
        if (interior) {
            Part* surfaces[3] = {&insideSurface, &outsideSurface, &edgeSurface};
            for (int s = 0; s < 3; ++s)
                surfaces[s]->material->SetRGB(defaults.GetInteger(9 + 3 * s) / 255.0,
                                              defaults.GetInteger(10 + 3 * s) / 255.0,
                                              defaults.GetInteger(11 + 3 * s) / 255.0);
        }
    }
    ApplyState();
}

void Wall::ApplyState() {
    if (HasWallShape() && !box.IsEmpty()) {
        const double change = wallState.GetDouble(5) - GetSizeY();
        if (change != 0.0 && std::isfinite(change)) {
            OutlinePoint* nodes = outline.GetPrimaryPoints();
            for (int i = wallEndIndex + 1; i < outline.GetPrimaryCount(); ++i)
                nodes[i].position.y += change;
            outline.Refresh();
        }
    }
    BaseSlab::ApplyState();
    Rebuild();
    ComputeBevels();
    RecomputeBounds();
}

void Wall::StoreSurfacesToState() {
    BaseSlab::StoreSurfacesToState();
    BaseControl* control = theControl();
    const double interiorThickness = control ? control->wallState.GetDouble(10) : 4.0;
    const BaseParameterState* saved = savedState;
    static const int kExterior[6] = {9, 10, 11, 15, 16, 17};
    static const int kInterior[6] = {6, 7, 8, 12, 13, 14};
    if (interiorThickness < thickness) {
        wallState.SetDouble(9, thickness);
        for (int i = 0; i < 6; ++i)
            wallState.SetString(kExterior[i], wallState.GetString(i).c_str());
        if (saved) {
            wallState.SetDouble(10, saved->GetDouble(10));
            for (int i : kInterior) wallState.SetString(i, saved->GetString(i).c_str());
        }
    } else {
        wallState.SetDouble(10, thickness);
        for (int i = 0; i < 9; ++i) wallState.SetInteger(9 + i, wallState.GetInteger(i));
        for (int i = 0; i < 6; ++i)
            wallState.SetString(kInterior[i], wallState.GetString(i).c_str());
        if (saved) {
            wallState.SetDouble(9, saved->GetDouble(9));
            for (int i : kExterior) wallState.SetString(i, saved->GetString(i).c_str());
        }
    }
    wallState.SetDouble(4, box.min.y);
}

void Wall::CommitState() {
    StoreSurfacesToState();
    if (savedState) savedState->CopyFrom(wallState);
}

// ---- Readouts -----------------------------------------------------------------------

void Wall::ShowLength() const {
    BaseControl* control = theControl();
    if (!control || !control->activeWindow) return;
    ShowLengthInStatusBar("Length : ", length, kNoSecondLength);
}
