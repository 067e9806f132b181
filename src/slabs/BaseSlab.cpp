#include "slabs/BaseSlab.h"

#include <strings.h>

#include <cmath>
#include <cstring>
#include <new>
#include <string>

#include "control/BaseControl.h"
#include "control/RenderLockScope.h"
#include "foundation/BaseParameterState.h"
#include "foundation/KeyDataList.h"
#include "foundation/Trace.h"
#include "interaction/MouseHandler.h"
#include "model/SceneView.h"
#include "platform/GLContext.h"
#include "render/Bitmap.h"
#include "render/Window.h"
#include "slabs/Dormer.h"
#include "slabs/InSlabObject.h"
#include "slabs/OnSlabObject.h"
#include "slabs/SlabChild.h"
#include "slabs/SlabCovering.h"
#include "slabs/SlabHole.h"
#include "slabs/ShaftHole.h"
#include "slabs/Skylight.h"
#include "slabs/SlabMolding.h"

namespace {

constexpr const char* kRemovedIdKey = "removedTransactionId";
constexpr const char* kIdKey = "transactionObjectId";
constexpr const char* kInformationKey = "ObjectInformation";
constexpr double kCoveringGap = 0.25;

// The kinds of child a "childList" entry may hold, in the order they are tested.
enum class ChildKind {
    kOnSlab,
    kInSlab,
    kAsymmetric,
    kSkylight,
    kCovering,
    kDormer,
    kShaftHole,
    kHole,
    kMolding,
    kNone
};

struct ChildKindName {
    ChildKind kind;
    const char* keyword;
};

constexpr ChildKindName kChildKinds[] = {
    {ChildKind::kOnSlab, "onslab"},         {ChildKind::kInSlab, "inslab"},
    {ChildKind::kAsymmetric, "asymmetric"}, {ChildKind::kSkylight, "skylight"},
    {ChildKind::kCovering, "covering"},     {ChildKind::kDormer, "dormer"},
    {ChildKind::kShaftHole, "ShaftHole"},   {ChildKind::kHole, "hole"},
    {ChildKind::kMolding, "slabMolding"},
};

// The kind named by the first keyword of the table whose value is "yes" in any case.
ChildKindName FindChildKind(const KeyDataList& entry) {
    for (const ChildKindName& k : kChildKinds) {
        const char* value = entry.GetString(k.keyword);
        if (value && strcasecmp(value, "yes") == 0) return k;
    }
    return {ChildKind::kNone, ""};
}

// A new, empty child of the kind. Each kind of child is made here once its class is part
// of the editor; until then an entry of that kind cannot be read back.
RenderableObject* MakeChild(ChildKind kind) {
    switch (kind) {
        case ChildKind::kHole:
            return new (std::nothrow) SlabHole(false);
        case ChildKind::kCovering:
            return new (std::nothrow) SlabCovering(true);
        case ChildKind::kMolding:
            // The plan's "paramSurface" brings the material.
            return new SlabMolding(true);
        case ChildKind::kOnSlab:
            return MakeOnSlabObject();
        case ChildKind::kInSlab:
            return MakeInSlabObject();
        case ChildKind::kAsymmetric:
            return MakeAsymmetricSlabObject();
        case ChildKind::kSkylight:
            return MakeSkylight();
        case ChildKind::kShaftHole:
            return new (std::nothrow) ShaftHole;
        case ChildKind::kDormer:
            return MakeDormer();
        default:
            return nullptr;
    }
}

// A transaction id read from key data: a whole number in the id range.
bool ReadTransactionId(const KeyDataList& keys, const char* key, TransactionId& id) {
    double value = 0.0;
    if (!keys.GetDouble(key, value)) return false;
    if (!std::isfinite(value) || value < 0.0 || value >= static_cast<double>(kNoTransactionId)) {
        theTrace().WriteFormat("Slab: %s %g is not an object id", key, value);
        return false;
    }
    id = static_cast<TransactionId>(value);
    return true;
}

SlabChild* AsChild(LinkedListObject* node) {
    return dynamic_cast<SlabChild*>(node);
}

RenderableObject* AsRenderable(LinkedListObject* node) {
    return dynamic_cast<RenderableObject*>(node);
}

// The first object of the list with that transaction id.
RenderableObject* FindInList(const LinkedList& list, TransactionId id) {
    RenderableObject* found = nullptr;
    list.Lock();
    for (LinkedListObject* node = list.GetHead(); node && !found; node = node->GetNext()) {
        auto* object = dynamic_cast<UndoableObject*>(node);
        if (object && object->GetObjectId() == id) found = object;
    }
    list.Unlock();
    return found;
}

bool Contains(const std::string& text, const char* part) {
    return text.find(part) != std::string::npos;
}

}  // namespace

BaseSlab::BaseSlab() {
    insideSurface.material = &surfaceMaterials[0];
    outsideSurface.material = &surfaceMaterials[1];
    edgeSurface.material = &surfaceMaterials[2];
}

BaseSlab::~BaseSlab() {
    facePointsA.reset();
    facePointsB.reset();
    facePointCount = 0;
    holeList.DeleteAll();
    coveringList.DeleteAll();
    onSlabList.DeleteAll();
    inSlabList.DeleteAll();
    moldingList.DeleteAll();
    if (platform::GLContext::IsAnyCurrent()) {
        for (GLuint list : mirrorLists)
            if (list != Part::kNoList) glDeleteLists(list, 1);
    }
}

// ---- Children ---------------------------------------------------------------------

LinkedList* BaseSlab::ChildList(int index) {
    switch (index) {
        case 0:
            return &holeList;
        case 1:
            return &coveringList;
        case 2:
            return &moldingList;
        case 3:
            return &inSlabList;
        case 4:
            return &onSlabList;
        default:
            return nullptr;
    }
}

LinkedList* BaseSlab::ListForChild(uint64_t mask) {
    if (mask & TypeBit::kInSlab) return &inSlabList;
    if (mask & TypeBit::kOnSlab) return &onSlabList;
    if (mask & TypeBit::kCovering) return &coveringList;
    if (mask & TypeBit::kHole) return &holeList;
    if (mask & TypeBit::kMolding) return &moldingList;
    return nullptr;
}

RenderableObject* BaseSlab::FirstChild() {
    iteratorList = 0;
    iteratorNode = nullptr;
    return NextChild();
}

RenderableObject* BaseSlab::NextChild() {
    while (LinkedList* list = ChildList(iteratorList)) {
        iteratorNode = iteratorNode ? iteratorNode->GetNext() : list->GetHead();
        if (iteratorNode) {
            if (RenderableObject* child = AsRenderable(iteratorNode)) return child;
            continue;
        }
        ++iteratorList;
    }
    iteratorNode = nullptr;
    return nullptr;
}

RenderableObject* BaseSlab::FirstSelectedChild() const {
    auto* self = const_cast<BaseSlab*>(this);
    for (int i = 0; LinkedList* list = self->ChildList(i); ++i) {
        for (LinkedListObject* node = list->GetHead(); node; node = node->GetNext()) {
            RenderableObject* child = AsRenderable(node);
            if (child && child->IsSelected()) return child;
        }
    }
    return nullptr;
}

int BaseSlab::CountChildren() const {
    int count = 0;
    for (const LinkedList* list :
         {&holeList, &coveringList, &moldingList, &inSlabList, &onSlabList})
        count += static_cast<int>(list->GetCount());
    return count;
}

void BaseSlab::SetChildrenSelected(bool flag) {
    for (int i = 0; LinkedList* list = ChildList(i); ++i)
        for (LinkedListObject* node = list->GetHead(); node; node = node->GetNext())
            if (RenderableObject* child = AsRenderable(node)) child->SetSelected(flag);
}

void BaseSlab::AttachChild(RenderableObject* child, bool force) {
    if (!PRECONDITION(child != nullptr, "No child to attach")) return;
    if (IsLocked() && !force) return;
    LinkedList& list = child->HasType(TypeBit::kInSlab) ? inSlabList : onSlabList;
    list.Append(child);
    ComputeBounds();
    MarkDirty();
    if (child->IsGeometryLoaded()) geometryLoaded = 1;
}

void BaseSlab::AddMolding(RenderableObject* molding) {
    if (!PRECONDITION(molding != nullptr, "No molding to add")) return;
    moldingList.Append(molding);
}

bool BaseSlab::RemoveChild(RenderableObject* child, bool force) {
    if (!force && IsLocked()) return false;
    if (!child) return false;
    if (BaseControl* control = theControl()) {
        SceneView* view = control->GetActiveView();
        if (MouseHandler* mode = view ? view->GetCurrentMode() : nullptr) mode->ReleaseTarget();
    }
    LinkedList* list = ListForChild(child->GetTypeMask());
    bool removed = list && list->Remove(child);
    // A child filed in another list than its kind's still leaves.
    for (int i = 0; !removed && ChildList(i); ++i) removed = ChildList(i)->Remove(child);
    if (!removed) return false;
    ComputeBounds();
    MarkDirty();
    return true;
}

bool BaseSlab::RemoveChildById(TransactionId id, bool force) {
    RenderableObject* child = nullptr;
    LinkedList* owner = nullptr;
    for (LinkedList* list : {&coveringList, &holeList, &moldingList, &inSlabList, &onSlabList}) {
        child = FindInList(*list, id);
        if (child) {
            owner = list;
            break;
        }
    }
    if (!child) return false;
    if (child->HasType(TypeBit::kDormer)) {
        // A dormer takes itself out, with what it owns.
        if (!force && IsLocked()) return false;
        if (!child->RemoveFromList(*owner)) return false;
        ComputeBounds();
        MarkDirty();
    } else if (!RemoveChild(child, force)) {
        return false;
    }
    delete child;
    return true;
}

void BaseSlab::TranslateChildren(const Vector& offset) {
    for (RenderableObject* child = FirstChild(); child; child = NextChild())
        child->TranslateWithAttached(offset);
    grid.position.Add(offset);
    grid.rebuild = 1;
}

void BaseSlab::DetachLinkedChildren(bool undoable) {
    for (LinkedList* list : {&inSlabList, &holeList}) {
        const uint64_t kind = list == &inSlabList ? TypeBit::kSkylight : TypeBit::kShaftHole;
        for (LinkedListObject* node = list->GetHead(); node; node = node->GetNext()) {
            SlabChild* child = AsChild(node);
            RenderableObject* object = AsRenderable(node);
            if (!child || !object || !object->HasType(kind)) continue;
            UndoableObject* linked = child->GetLinkedObject();
            auto* linkedChild = dynamic_cast<SlabChild*>(linked);
            BaseSlab* other = linkedChild ? linkedChild->GetParent() : nullptr;
            if (!other || other == this) continue;
            if (undoable) other->BeginUndoStep();
            // Both sides forget the tie before the other object goes.
            child->SetLinkedObject(nullptr);
            linkedChild->SetLinkedObject(nullptr);
            if (other->RemoveChild(linked, true)) delete linked;
            if (undoable) other->EndUndoStep();
        }
    }
}

// ---- Selection and lists ------------------------------------------------------------

bool BaseSlab::RemoveFromList(LinkedList& list) {
    if (IsLocked()) return false;
    if (RenderableObject* child = FirstSelectedChild()) {
        if (child->HasType(TypeBit::kDormer)) {
            if (child->RemoveFromList(holeList)) delete child;
            return false;
        }
        auto* slabChild = dynamic_cast<SlabChild*>(child);
        UndoableObject* linked = slabChild ? slabChild->GetLinkedObject() : nullptr;
        auto* linkedChild = dynamic_cast<SlabChild*>(linked);
        BaseSlab* other = linkedChild ? linkedChild->GetParent() : nullptr;
        if (other && other != this) {
            // The object it belongs with in the other slab goes with it.
            other->BeginUndoStep();
            slabChild->SetLinkedObject(nullptr);
            linkedChild->SetLinkedObject(nullptr);
            if (other->RemoveChild(linked, true)) delete linked;
            other->EndUndoStep();
        }
        if (RemoveChild(child, false)) delete child;
        return false;
    }
    // Dormers leave before the slab, taken out of the list while it is not walked.
    for (LinkedListObject* node = holeList.GetHead(); node;) {
        LinkedListObject* next = node->GetNext();
        RenderableObject* child = AsRenderable(node);
        if (child && child->HasType(TypeBit::kDormer) && child->RemoveFromList(holeList))
            delete child;
        node = next;
    }
    return list.Remove(this);
}

bool BaseSlab::IsSelected() const {
    if (selected) return true;
    auto* self = const_cast<BaseSlab*>(this);
    for (int i = 0; LinkedList* list = self->ChildList(i); ++i)
        for (LinkedListObject* node = list->GetHead(); node; node = node->GetNext())
            if (RenderableObject* child = AsRenderable(node); child && child->IsSelected())
                return true;
    return false;
}

bool BaseSlab::SetSelected(bool flag) {
    selected = flag ? 1 : 0;
    if (!flag) gridShown = 0;
    SetChildrenSelected(false);
    return flag;
}

RenderableObject* BaseSlab::Clone() {
    RenderableObject* child = FirstSelectedChild();
    if (!child) return nullptr;
    if (!POSTCONDITION(child->HasType(TypeBit::kSlabChild | TypeBit::kModel | TypeBit::kMolding),
                       "Invalid child returned"))
        return nullptr;
    BeginUndoStep();
    RenderableObject* copy = child->Clone();
    EndUndoStep();
    return copy;
}

UndoableObject* BaseSlab::DuplicateAndOffset() {
    RenderableObject* selectedChild = FirstSelectedChild();
    if (!selectedChild) return UndoableObject::DuplicateAndOffset();
    auto* child = dynamic_cast<UndoableObject*>(selectedChild);
    if (!child) return nullptr;
    const Vector offset = child->GetOffset();
    if (offset.x == 0.0 && offset.y == 0.0 && offset.z == 0.0) return nullptr;
    BeginUndoStep();
    RenderableObject* copy = child->Clone();
    if (!copy) {
        EndUndoStep();
        return nullptr;
    }
    if (!copy->GetOwner()) {
        // The copy stays where the child was, in the child's list.
        if (LinkedList* list = ListForChild(copy->GetTypeMask())) list->Append(copy);
        if (auto* slabChild = dynamic_cast<SlabChild*>(copy)) slabChild->SetParent(this);
    }
    child->MoveBy(offset);
    if (child->IsPositionValid()) {
        child->SetSelected(true);
        EndUndoStep();
        return dynamic_cast<UndoableObject*>(copy);
    }
    Vector back = offset;
    back.Negate();
    child->MoveBy(back);
    BaseControl* control = theControl();
    if (RemoveChild(copy, false) || !copy->GetOwner()) {
        if (control)
            control->deletedObjects.Append(copy);
        else
            delete copy;
    }
    child->SetSelected(true);
    EndUndoStep();
    return nullptr;
}

// ---- Drawing state ------------------------------------------------------------------

void BaseSlab::MarkDirty() {
    RenderableObject::MarkDirty();
}

void BaseSlab::AndFlags(uint32_t mask) {
    RenderableObject::AndFlags(mask);
    for (RenderableObject* child = FirstChild(); child; child = NextChild()) child->AndFlags(mask);
}

bool BaseSlab::IsShownInCurrentView() {
    if (facePointsA && facePointsB && IsVisible()) return RenderableObject::IsShownInCurrentView();
    shownInView = 0;
    return false;
}

bool BaseSlab::ShowsSelection() const {
    return IsSelected();
}

void BaseSlab::RenderSelection() {
    if (!selected || IsLocked()) return;
    glPushAttrib(GL_CURRENT_BIT | GL_ENABLE_BIT);
    glDisable(GL_FOG);
    RenderMoveHandle();
    for (int i = 0; i < outline.GetPrimaryCount(); ++i) RenderHandles(i);
    glPopAttrib();
}

void BaseSlab::RenderHandles(int i) {
    BaseControl* control = theControl();
    const int count = outline.GetPrimaryCount();
    if (!control || !facePointsA || !facePointsB || i < 0 || i >= count || i >= facePointCount)
        return;
    OutlinePoint& node = outline.GetPrimaryPoints()[i];
    const double radius =
        control->currentWindow ? control->currentWindow->GetMarkerScale(node.position) : 1.0;
    auto sphere = [&](const Vector& at) {
        glPushMatrix();
        glTranslated(at.x, at.y, at.z);
        control->DrawSelectionSphere(radius);
        glPopMatrix();
    };
    const int next = (i + 1) % count;
    glColor4d(1.0, 0.0, 0.0, 0.5);
    glPushName(node.GetPickName());
    sphere(facePointsA[i]);
    sphere(facePointsB[i]);
    glPopName();
    glColor4d(0.0, 0.0, 1.0, 0.5);
    glPushName(node.edge->GetPickName());
    glPushName(node.GetPickName());
    sphere(facePointsA[i].Midpoint(facePointsA[next]));
    sphere(facePointsB[i].Midpoint(facePointsB[next]));
    glPopName();
    glPopName();
}

// ---- Geometry -----------------------------------------------------------------------

void BaseSlab::ReallocatePointArrays() {
    facePointsA.reset();
    facePointsB.reset();
    facePointCount = 0;
    const int count = outline.GetPrimaryCount();
    if (count <= 0) return;
    facePointsA.reset(new (std::nothrow) Vector[count]);
    facePointsB.reset(new (std::nothrow) Vector[count]);
    if (!facePointsA || !facePointsB) {
        TraceWrite("Slab: no memory for the face points");
        facePointsA.reset();
        facePointsB.reset();
        return;
    }
    facePointCount = count;
}

void BaseSlab::AllocateOutlineArrays() {
    outline.Refresh();
    ReallocatePointArrays();
    RecomputeBounds();
}

void BaseSlab::ComputeBounds() {
    if (facePointsA && facePointsB && facePointCount > 0) {
        box.SetFromPoints(facePointsA.get(), facePointCount);
        box.ExtendByPoints(facePointsB.get(), facePointCount);
    } else {
        box.SetFromOutline(outline);
    }
    if (box.IsEmpty()) return;
    double above = 0.0;
    double below = 0.0;
    for (LinkedListObject* node = inSlabList.GetHead(); node; node = node->GetNext()) {
        RenderableObject* child = AsRenderable(node);
        if (!child) continue;
        const BoundingBox& b = child->GetBoundingBox();
        double height = b.max.z - b.min.z;
        if (!child->HasType(TypeBit::kAsymmetric)) height *= 0.5;
        if (height > above) above = below = height;
    }
    for (LinkedListObject* node = onSlabList.GetHead(); node; node = node->GetNext()) {
        RenderableObject* child = AsRenderable(node);
        SlabChild* slabChild = AsChild(node);
        if (!child) continue;
        const BoundingBox& b = child->GetBoundingBox();
        const double height = b.max.z - b.min.z;
        const bool inside = !slabChild || slabChild->GetSide() == kInsideSurface;
        double& side = inside ? above : below;
        if (height > side) side = height;
    }
    if (above == 0.0 && below == 0.0) return;
    const Vector n = outline.normal;
    const Vector low = box.min;
    const Vector high = box.max;
    Vector grown[4];
    for (int k = 0; k < 2; ++k) {
        const double along = k == 0 ? above : -below;
        grown[2 * k] = low;
        grown[2 * k].Offset(n.x * along, n.y * along, n.z * along);
        grown[2 * k + 1] = high;
        grown[2 * k + 1].Offset(n.x * along, n.y * along, n.z * along);
    }
    box.ExtendByPoints(grown, 4);
}

void BaseSlab::Translate(const Vector& offset) {
    outline.Translate(offset.x, offset.y, offset.z);
    OnOutlineTranslated(offset);
    RecomputeBounds();
    for (RenderableObject* child = FirstChild(); child; child = NextChild())
        child->Translate(offset);
    RecomputeBounds();
    grid.position.Add(offset);
    grid.rebuild = 1;
}

bool BaseSlab::IsPositionValid() {
    if (!outline.IsSimple()) return false;
    for (int i = 0; LinkedList* list = ChildList(i); ++i)
        for (LinkedListObject* node = list->GetHead(); node; node = node->GetNext())
            if (SlabChild* child = AsChild(node); child && !child->IsOnParentSurface())
                return false;
    return true;
}

double BaseSlab::GetArea() const {
    return outline.GetArea();
}

void BaseSlab::SetThickness(double value) {
    thickness = value;
    for (LinkedListObject* node = holeList.GetHead(); node; node = node->GetNext())
        if (SlabChild* child = AsChild(node)) child->SetDepth(value * 0.5);
    for (LinkedListObject* node = inSlabList.GetHead(); node; node = node->GetNext())
        if (SlabChild* child = AsChild(node)) child->SetDepth(value * 0.5);
    for (LinkedListObject* node = coveringList.GetHead(); node; node = node->GetNext())
        if (SlabChild* child = AsChild(node)) child->SetOffset(value * 0.5 + kCoveringGap);
}

bool BaseSlab::ContainsPoint(const Vector& point, int) {
    return outline.ContainsPoint(point);
}

bool BaseSlab::AcceptsChild(RenderableObject*) {
    return true;
}

void BaseSlab::MoveSlabBy(double dx, double dy, double dz, bool) {
    if (IsLocked()) return;
    if (!std::isfinite(dx) || !std::isfinite(dy) || !std::isfinite(dz)) {
        TraceWrite("Slab move refused: the offset is not a number");
        return;
    }
    const Vector offset(dx, dy, dz);
    {
        BaseControl* control = theControl();
        if (control) control->LockRender();
        outline.Translate(dx, dy, dz);
        OnOutlineTranslated(offset);
        RecomputeBounds();
        if (dx != 0.0 || dy != 0.0 || dz != 0.0) DetachLinkedChildren(true);
        TranslateChildren(offset);
        if (control) control->UnlockRender();
    }
    theTrace().Write("eMS");
}

void BaseSlab::UpdateFromPoints(OutlinePoint*) {}

void BaseSlab::ShowMeasurements() {}

void BaseSlab::BeginDragOf(PickableObject*) {}

void BaseSlab::BuildCullPolygons() {
    reflexTriangles.clear();
    cullHull.clear();
    const Vector n = outline.normal;
    const int count = outline.GetPrimaryCount();
    if (n.Length() < 0.01 || count < 3) return;
    const OutlinePoint* nodes = outline.GetPrimaryPoints();
    const double d = thickness * 0.5 + 0.1;
    int previous = count - 1;
    for (int current = 0; current < count; ++current) {
        const int next = (current + 1) % count;
        const Vector corner[3] = {nodes[previous].position, nodes[current].position,
                                  nodes[next].position};
        Vector turn;
        turn.PlaneNormalFromPoints(corner);
        if (turn.Dot(n) < 0.0) {
            if (static_cast<int>(reflexTriangles.size()) < kMaxReflexTriangles)
                reflexTriangles.push_back({previous, current, next});
            else
                TraceWrite("Slab: too many reflex corners to cull against");
            continue;
        }
        if (static_cast<int>(cullHull.size()) >= kMaxCullPoints) {
            TraceWrite("Slab: cull polygon is full");
            break;
        }
        CullPoint point;
        point.middle = nodes[current].position;
        point.above = point.middle;
        point.above.Offset(n.x * d, n.y * d, n.z * d);
        point.below = point.middle;
        point.below.Offset(-n.x * d, -n.y * d, -n.z * d);
        cullHull.push_back(point);
        previous = current;
    }
}

// ---- Surfaces -----------------------------------------------------------------------

Part* BaseSlab::GetSurface(int id) {
    switch (id) {
        case kInsideSurface:
            return &insideSurface;
        case kOutsideSurface:
            return &outsideSurface;
        case kEdgeSurface:
            return &edgeSurface;
        default:
            return nullptr;
    }
}

void BaseSlab::SetSurfacesTranslucent(bool flag) {
    for (Material& material : surfaceMaterials) material.alpha = flag ? 0.5 : 1.0;
}

void BaseSlab::SetSurfaceColor(double r, double g, double b, double a) {
    for (Material& material : surfaceMaterials) material.SetColor(r, g, b, a);
}

void BaseSlab::SetColor(double r, double g, double b, double a) {
    insideSurface.SetColor(r, g, b, a);
    outsideSurface.SetColor(r, g, b, a);
    edgeSurface.SetColor(r, g, b, a);
    for (LinkedList* list : {&holeList, &inSlabList})
        for (LinkedListObject* node = list->GetHead(); node; node = node->GetNext())
            if (SlabChild* child = AsChild(node)) child->SetRevealColor(r, g, b, a);
}

// ---- Defaults -----------------------------------------------------------------------

void BaseSlab::ApplyState() {
    if (!state) return;
    BaseControl* control = theControl();
    Part* surfaces[3] = {&insideSurface, &outsideSurface, &edgeSurface};
    for (int s = 0; s < 3; ++s) {
        Material* material = surfaces[s]->material;
        const std::string texture = state->GetString(s);
        if (Contains(texture, ".3c_")) {
            // A catalogue material: its description sets everything else.
            char address[BaseControl::kPathSize] = {};
            if (texture.rfind("http", 0) == 0) {
                std::snprintf(address, sizeof address, "%s", texture.c_str());
            } else if (control && control->GetContentDomain()[0]) {
                control->AttachPathToDomain(texture.c_str(), address, sizeof address);
            }
            if (address[0])
                material->LoadFromURL(address);
            else
                theTrace().WriteFormat("Slab material %s not fetched: no content domain",
                                       texture.c_str());
            continue;
        }
        if (!texture.empty()) material->SetTextureURL(texture.c_str(), true);
        if (s < 2) {
            material->opacity = 1.0 - state->GetDouble(1 + s);
            material->transparent = state->GetBoolean(s) ? 1 : 0;
        }
        material->SetRGB(state->GetInteger(3 * s) / 255.0, state->GetInteger(3 * s + 1) / 255.0,
                         state->GetInteger(3 * s + 2) / 255.0);
        const Vector scale = state->GetVector(s);
        material->granularity.x = scale.x;
        material->granularity.y = scale.y;
        const Vector offset = state->GetVector(3 + s);
        material->textureOffset.x = offset.x;
        material->textureOffset.y = offset.y;
        material->textureRotation = state->GetDouble(6 + s);
        const std::string bump = state->GetString(3 + s);
        material->SetBumpMapURL(bump.empty() ? nullptr : bump.c_str());
    }
    for (int s = 0; s < 3; ++s) {
        Material* material = surfaces[s]->material;
        material->modulateTexture = 1;
        material->showColor = state->GetBoolean(2 + s) ? 1 : 0;
        material->showTexture = state->GetBoolean(5 + s) ? 1 : 0;
    }
    SetThickness(state->GetDouble(0));
}

void BaseSlab::CopyStateFrom(const BaseParameterState& from) {
    if (!state) return;
    state->CopyFrom(from);
    ApplyState();
}

void BaseSlab::StoreSurfacesToState() {
    if (!state) return;
    const Part* surfaces[3] = {&insideSurface, &outsideSurface, &edgeSurface};
    for (int s = 0; s < 3; ++s) {
        const Material* material = surfaces[s]->material;
        if (s < 2) {
            state->SetBoolean(s, material->transparent != 0);
            state->SetDouble(1 + s, 1.0 - material->opacity);
        }
        state->SetBoolean(2 + s, material->showColor != 0);
        state->SetBoolean(5 + s, material->showTexture != 0);
        state->SetDouble(6 + s, material->textureRotation);
        const char* catalogue = material->GetMaterialURL();
        const char* texture =
            catalogue && catalogue[0]
                ? catalogue
                : (material->GetTexture() ? material->GetTexture()->GetURL() : "");
        state->SetString(s, texture ? texture : "");
        const Bitmap* bumpMap = material->GetBumpMap();
        const char* bump = bumpMap && bumpMap != DefaultNormalMap() ? bumpMap->GetURL() : "";
        state->SetString(3 + s, bump ? bump : "");
        state->SetVector(s, Vector(material->granularity.x, material->granularity.y, 0.0));
        state->SetVector(3 + s, Vector(material->textureOffset.x, material->textureOffset.y, 0.0));
        state->SetInteger(3 * s, static_cast<int32_t>(material->red * 255.0));
        state->SetInteger(3 * s + 1, static_cast<int32_t>(material->green * 255.0));
        state->SetInteger(3 * s + 2, static_cast<int32_t>(material->blue * 255.0));
    }
    state->SetDouble(0, thickness);
    state->SetDouble(5, box.max.y - box.min.y);
}

void BaseSlab::CommitState() {
    StoreSurfacesToState();
    if (state && savedState) savedState->CopyFrom(*state);
}

// ---- Key data -----------------------------------------------------------------------

void BaseSlab::WriteSlabKeys(KeyDataList& keys) {
    keys.AddDouble("Locked", IsLocked() ? 1.0 : 0.0);
    box.min.WriteChild(keys, "BoundingBoxMin");
    box.max.WriteChild(keys, "BoundingBoxMax");
    uVector.WriteChild(keys, "uVector");
    grid.Write(keys, "grid");
    keys.AddDouble("thickness", thickness);
    keys.AddDouble("verticalPosition", verticalPosition);
    outline.Save(keys, "outline");
    edgeSurface.SaveMaterial(keys, "edgeSurface");
    insideSurface.SaveMaterial(keys, "insideSurface");
    outsideSurface.SaveMaterial(keys, "outsideSurface");
    keys.AddDouble(kIdKey, GetObjectId());
    KeyDataList* children = keys.AddSublist("childList");
    for (RenderableObject* child = FirstChild(); child; child = NextChild()) {
        const BoundingBox& b = child->GetBoundingBox();
        if (b.min.Distance(b.max) == 0.0) continue;
        auto* writer = dynamic_cast<UndoableObject*>(child);
        if (!writer) continue;
        writer->WriteKeyData();
        KeyDataSublist* element = writer->TakeWrittenElement();
        if (!element) continue;
        if (const KeyDataList* information = writer->GetInformation();
            information && !information->IsEmpty())
            element->GetChildren()->AddSublist(kInformationKey)->AppendCopiesOf(*information);
        children->Add(element);
    }
}

void BaseSlab::ReadChildEntry(KeyDataList& entry) {
    const ChildKindName kind = FindChildKind(entry);
    if (kind.kind == ChildKind::kNone) return;
    TransactionId id = kNoTransactionId;
    const bool hasId = ReadTransactionId(entry, kIdKey, id);
    LinkedList* list = nullptr;
    switch (kind.kind) {
        case ChildKind::kOnSlab:
            list = &onSlabList;
            break;
        case ChildKind::kInSlab:
        case ChildKind::kAsymmetric:
        case ChildKind::kSkylight:
            list = &inSlabList;
            break;
        case ChildKind::kCovering:
            list = &coveringList;
            break;
        case ChildKind::kDormer:
        case ChildKind::kShaftHole:
        case ChildKind::kHole:
            list = &holeList;
            break;
        case ChildKind::kMolding:
            list = &moldingList;
            break;
        case ChildKind::kNone:
            return;
    }
    if (hasId) {
        if (auto* known = dynamic_cast<UndoableObject*>(FindInList(*list, id))) {
            known->ReadKeyData(entry);
            return;
        }
    }
    RenderableObject* child = MakeChild(kind.kind);
    if (!child) {
        theTrace().WriteFormat("No slab child of kind %s can be made", kind.keyword);
        return;
    }
    auto* reader = dynamic_cast<UndoableObject*>(child);
    auto* slabChild = dynamic_cast<SlabChild*>(child);
    if (slabChild && (kind.kind == ChildKind::kSkylight || kind.kind == ChildKind::kDormer ||
                      kind.kind == ChildKind::kShaftHole || kind.kind == ChildKind::kMolding))
        slabChild->SetParent(this);
    if (reader) reader->ReadKeyData(entry);
    switch (kind.kind) {
        case ChildKind::kOnSlab:
        case ChildKind::kInSlab:
        case ChildKind::kAsymmetric:
        case ChildKind::kSkylight:
            // The lock keeps the user from adding children, not the loader.
            AttachChild(child, true);
            break;
        default:
            list->Append(child);
            break;
    }
    if (!child->GetOwner()) {
        TraceWrite("Slab child not attached: freed");
        delete child;
        return;
    }
    if (slabChild) slabChild->SetParent(this);
}

bool BaseSlab::ReadKeyData(KeyDataList& keys) {
    LoadInformation(keys);
    double value = 0.0;
    if (ReadFiniteDouble(keys, "thickness", value)) SetThickness(value);
    ReadFiniteDouble(keys, "verticalPosition", verticalPosition);
    const KeyDataList* gridKeys = keys.GetSublist("grid");
    if (!gridKeys->IsEmpty()) grid.Read(*gridKeys);
    uVector.ReadChild(keys, "uVector");
    const int countBefore = outline.GetPrimaryCount();
    outline.Load(keys, "outline");
    TransactionId id = kNoTransactionId;
    if (ReadTransactionId(keys, kIdKey, id)) SetObjectId(id);
    const int count = outline.GetPrimaryCount();
    if (count > 0 && (count != countBefore || !facePointsA)) ReallocatePointArrays();
    box.max.ReadChild(keys, "BoundingBoxMax");
    box.min.ReadChild(keys, "BoundingBoxMin");
    edgeSurface.Load(*keys.GetSublist("edgeSurface"));
    insideSurface.Load(*keys.GetSublist("insideSurface"));
    outsideSurface.Load(*keys.GetSublist("outsideSurface"));

    KeyDataList* children = keys.GetSublist("childList");
    for (BaseKeyDataElement* m = children->GetFirstMember(); m; m = m->GetNextMember()) {
        if (m->IsElement()) {
            if (strcasecmp(m->GetName(), kRemovedIdKey) == 0) RemoveRecordedChild(*m);
            continue;
        }
        KeyDataList& entry = *static_cast<KeyDataSublist*>(m)->GetChildren();
        if (entry.FindElement(kRemovedIdKey)) {
            for (BaseKeyDataElement* r = entry.GetFirstMember(); r; r = r->GetNextMember())
                if (r->IsElement() && strcasecmp(r->GetName(), kRemovedIdKey) == 0)
                    RemoveRecordedChild(*r);
            continue;
        }
        ReadChildEntry(entry);
    }
    // Moldings link by id to moldings that may come later in the list.
    for (LinkedListObject* node = moldingList.GetHead(); node; node = node->GetNext())
        if (auto* molding = dynamic_cast<BaseMolding*>(node)) molding->RelinkAll(moldingList);

    currentEdge = nullptr;
    bool flag = false;
    if (keys.GetBool("Locked", flag)) SetLocked(flag);
    RecomputeBounds();
    IsPositionValid();
    SetSurfacesTranslucent(false);
    return true;
}

void BaseSlab::RemoveRecordedChild(const BaseKeyDataElement& record) {
    const double number = ParseKeyDataNumber(static_cast<const KeyDataElement&>(record).Value());
    if (!std::isfinite(number) || number < 0.0 || number >= static_cast<double>(kNoTransactionId)) {
        TraceWrite("Slab: a removed child's id is not an object id");
        return;
    }
    // Undo and redo take children out of a locked slab too.
    RemoveChildById(static_cast<TransactionId>(number), true);
}

Vector BaseSlab::SnapToGrid(const Vector& point) {
    Vector snapped = point;
    grid.SnapToGrid(snapped);
    return snapped;
}
