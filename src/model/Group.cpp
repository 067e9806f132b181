#include "model/Group.h"

#include <GL/gl.h>
#include <GL/glu.h>
#include <strings.h>

#include <algorithm>
#include <cmath>
#include <iterator>
#include <vector>

#include "control/BaseControl.h"
#include "control/RenderLockScope.h"
#include "foundation/KeyDataList.h"
#include "foundation/Trace.h"
#include "model/Model.h"
#include "model/SceneView.h"
#include "platform/Menu.h"
#include "render/Window.h"

namespace {

constexpr int kBlueprintMode = 1;
constexpr double kHandleSize = 5.0;
constexpr int kNoSnapYet = 2;

// A member's rotation: models and groups each keep their own.
void SetMemberRotation(LinkedListObject* node, const Matrix& m) {
    if (auto* model = dynamic_cast<Model*>(node))
        model->SetRotationMatrix(m);
    else if (auto* group = dynamic_cast<Group*>(node))
        group->SetRotationMatrix(m);
}

// Whether `key` of the list is "true" (a non-zero number).
bool ReadFlag(const KeyDataList& keys, const char* key, uint8_t& flag) {
    double number = 0.0;
    if (!keys.GetDouble(key, number)) return false;
    flag = number != 0.0 ? 1 : 0;
    return true;
}

}  // namespace

Group::Group() = default;

Group::~Group() {
    members.DeleteAll();
}

// ---- Members ----------------------------------------------------------------------

void Group::AddMember(RenderableObject* node) {
    if (!PRECONDITION(node != nullptr, "No object to add to the group")) return;
    BaseControl* control = theControl();
    if (control) control->globalState.SetBoolean(0, true);
    activeHandle = &handles[1];

    auto* undoable = dynamic_cast<UndoableObject*>(node);
    if (undoable) undoable->BeginUndoStep();
    if (LinkedList* owner = node->GetOwner()) owner->Remove(node);
    members.Append(node);
    if (undoable) undoable->EndUndoStep();

    if (auto* model = dynamic_cast<BaseModel*>(node); model && model->hasClearPart)
        hasClearPart = 1;
    if (auto* group = dynamic_cast<Group*>(node); group && group->hasClearPart) hasClearPart = 1;

    BoundingBox nodeBox = node->GetBoundingBox();
    const double hm = (nodeBox.min.y + nodeBox.max.y) * 0.5;
    Matrix turn;
    if (auto* rotatable = dynamic_cast<RotatableObject*>(node)) turn = rotatable->GetRotation();
    Matrix up, down, m;
    up.SetTranslation(Vector(0, hm, 0));
    down.SetTranslation(Vector(0, -hm, 0));
    up.Multiply(m, turn);
    m.Multiply(m, down);
    Vector place;
    if (auto* moveable = dynamic_cast<MoveableObject*>(node)) place = moveable->GetPosition();
    Vector points[8];
    const Vector* corners = nodeBox.ComputeCorners();
    for (int i = 0; i < 8; ++i) {
        Vector c = corners[i];
        c.w = 1.0;
        m.TransformVector4(c, c);
        c.Add(place);
        c.w = 1.0;
        points[i] = c;
    }
    box.ExtendByPoints(points, 8);
    if (auto* groupable = dynamic_cast<GroupableObject*>(node)) groupable->SetGroup(this);
}

bool Group::CreateGroup(Group* group) {
    if (!PRECONDITION(group != nullptr, "No group to fill")) return false;
    BaseControl* control = theControl();
    if (!PRECONDITION(control != nullptr, "No scene to group")) {
        delete group;
        return false;
    }
    int count = 0;
    {
        RenderLockScope hold(*control);
        LinkedList& scene = control->scene;
        scene.Lock();
        int32_t merged = kNoSnapYet;
        LinkedListObject* next = nullptr;
        for (LinkedListObject* node = scene.GetHead(); node; node = next) {
            next = node->GetNext();
            auto* object = dynamic_cast<RenderableObject*>(node);
            if (!object) continue;
            object->SetFlags(0);
            const uint64_t mask = object->GetTypeMask();
            if (!(mask & (TypeBit::kCatalogueModel | TypeBit::kGroup)) || !object->IsSelected() ||
                (mask & TypeBit::kLight) || object == group)
                continue;
            object->SetSelected(false);
            group->AddMember(object);
            if (auto* snappable = dynamic_cast<SnappableObject*>(object)) {
                const int32_t m = snappable->GetSnapMode();
                if (merged == kNoSnapYet) {
                    if (m != kNoSnapYet) merged = m;
                } else if (merged == kSnapFloorObjects && m == kSnapNone) {
                    merged = kSnapNone;
                }
            }
            ++count;
        }
        group->snapMode = merged;
        if (count == 0) {
            scene.Unlock();
            delete group;
            return false;
        }
        Vector center = group->box.min.Midpoint(group->box.max);
        center.w = 1.0;
        group->MoveableObject::SetPosition(center);
        group->box.Translate(-center.x, -center.y, -center.z);
        Vector back = center;
        back.Negate();
        for (LinkedListObject* node = group->members.GetHead(); node; node = node->GetNext()) {
            if (auto* moveable = dynamic_cast<MoveableObject*>(node)) {
                Vector moved = moveable->GetPosition();
                moved.Add(back);
                moveable->SetPosition(moved);
            }
        }
        scene.Append(group);
        if (control->activeWindow) control->activeWindow->SetMouseMode(0);
        group->SetSelected(true);
        group->Refresh();
        scene.Unlock();
    }
    if (count == 1 || group->Depth() > kMaxDepth) {
        Ungroup(group);
        return false;
    }
    return true;
}

void Group::Ungroup(Group* group) {
    if (!PRECONDITION(group != nullptr, "No group to dissolve")) return;
    BaseControl* control = theControl();
    if (!PRECONDITION(control != nullptr, "No scene to dissolve the group into")) return;
    RenderLockScope hold(*control);
    control->globalState.SetBoolean(0, true);
    group->BeginUndoStep();
    group->members.Lock();
    while (LinkedListObject* node = group->members.GetHead()) {
        if (auto* moveable = dynamic_cast<MoveableObject*>(node)) {
            Vector place;
            group->rotation.RotateVector(place, moveable->GetPosition());
            place.Add(group->position);
            place.w = 1.0;
            moveable->SetPosition(place);
        }
        if (auto* rotatable = dynamic_cast<RotatableObject*>(node)) {
            Matrix turned;
            group->rotation.Multiply(turned, rotatable->GetRotation());
            SetMemberRotation(node, turned);
        }
        if (auto* groupable = dynamic_cast<GroupableObject*>(node)) groupable->SetGroup(nullptr);
        if (auto* selectable = dynamic_cast<SelectableObject*>(node)) selectable->SetSelected(true);
        group->members.Remove(node);
        control->scene.Append(node);
        if (auto* undoable = dynamic_cast<UndoableObject*>(node)) {
            undoable->BeginTransaction(true);
            undoable->EndUndoStep();
        }
    }
    group->members.Unlock();
    control->scene.Remove(group);
    group->EndUndoStep();
    control->deletedObjects.Append(group);
}

SerializableObject* Group::Simplify(Group* group) {
    if (!PRECONDITION(group != nullptr, "No group to simplify")) return nullptr;
    if (group->members.GetCount() == 1) {
        LinkedListObject* only = group->members.GetHead();
        Ungroup(group);
        if (auto* inner = dynamic_cast<Group*>(only)) return Simplify(inner);
        return dynamic_cast<SerializableObject*>(only);
    }
    if (group->Depth() > kMaxDepth) {
        std::vector<LinkedListObject*> remembered;
        for (LinkedListObject* node = group->members.GetHead(); node; node = node->GetNext())
            remembered.push_back(node);
        Ungroup(group);
        for (LinkedListObject* node : remembered)
            if (auto* inner = dynamic_cast<Group*>(node)) Simplify(inner);
        return nullptr;
    }
    return group;
}

int Group::CountObjects() const {
    int count = 0;
    members.Lock();
    for (LinkedListObject* node = members.GetHead(); node; node = node->GetNext()) {
        if (auto* inner = dynamic_cast<const Group*>(node))
            count += inner->CountObjects();
        else
            ++count;
    }
    members.Unlock();
    return count;
}

int Group::Depth() const {
    int deepest = 0;
    members.Lock();
    for (LinkedListObject* node = members.GetHead(); node; node = node->GetNext())
        if (auto* inner = dynamic_cast<const Group*>(node))
            deepest = std::max(deepest, inner->Depth());
    members.Unlock();
    return 1 + deepest;
}

bool Group::HasBlueprintIcon() const {
    bool found = false;
    members.Lock();
    for (LinkedListObject* node = members.GetHead(); node && !found; node = node->GetNext()) {
        if (auto* inner = dynamic_cast<const Group*>(node)) {
            found = inner->HasBlueprintIcon();
        } else if (auto* model = dynamic_cast<const Model*>(node)) {
            found = model->GetBlueprintIconURL()[0] != 0;
        } else {
            POSTCONDITION(false, "Subobject is not model or group");
        }
    }
    members.Unlock();
    return found;
}

// ---- Key data ---------------------------------------------------------------------

void Group::WriteKeyData() {
    delete element;
    element = new KeyDataSublist("Group");
    KeyDataList& keys = *element->GetChildren();
    box.min.WriteChild(keys, "BoundingBoxMin");
    box.max.WriteChild(keys, "BoundingBoxMax");
    WritePlacement(keys);
    KeyDataList* objects = keys.AddSublist("GroupObjects");
    keys.AddDouble("transactionObjectId", GetObjectId());
    keys.AddDouble("hasClearPart", hasClearPart ? 1 : 0);
    members.Lock();
    for (LinkedListObject* node = members.GetHead(); node; node = node->GetNext()) {
        auto* member = dynamic_cast<UndoableObject*>(node);
        if (!member) continue;
        member->WriteKeyData();
        KeyDataSublist* written = member->TakeWrittenElement();
        if (!written) continue;
        if (objects)
            objects->Append(written);
        else
            delete written;
    }
    members.Unlock();
    WriteSnapMode(keys);
}

bool Group::ReadKeyData(KeyDataList& keys) {
    box.max.ReadChild(keys, "BoundingBoxMax");
    box.min.ReadChild(keys, "BoundingBoxMin");
    double number = 0.0;
    if (keys.GetDouble("transactionObjectId", number) && number >= 0.0 && number <= 4294967295.0)
        SetObjectId(static_cast<TransactionId>(number));
    ReadFlag(keys, "hasClearPart", hasClearPart);
    ReadPlacement(keys);

    KeyDataList* objects = keys.GetSublist("GroupObjects");
    if (!objects) return true;
    for (BaseKeyDataElement* m = objects->GetFirstMember(); m; m = m->GetNextMember()) {
        if (m->IsElement()) continue;
        const bool isModel = strcasecmp(m->GetName(), "Model") == 0;
        const bool isGroup = strcasecmp(m->GetName(), "Group") == 0;
        if (!isModel && !isGroup) continue;
        KeyDataList& memberKeys = *static_cast<KeyDataSublist*>(m)->GetChildren();
        UndoableObject* existing = nullptr;
        if (memberKeys.GetDouble("transactionObjectId", number) && number >= 0.0 &&
            number <= 4294967295.0) {
            existing = FindObjectByTransactionId(members, static_cast<TransactionId>(number));
            // The search also answers objects outside the list; only members count here.
            if (existing && !members.Contains(existing)) existing = nullptr;
        }
        if (existing) {
            existing->ReadKeyData(memberKeys);
            continue;
        }
        if (memberKeys.IsEmpty()) continue;
        if (isModel) {
            auto* model = new Model;
            model->LoadDecompressedFile(memberKeys, true);
            model->SetGroup(this);
            members.Append(model);
        } else {
            auto* inner = new Group;
            inner->ReadKeyData(memberKeys);
            inner->SetGroup(this);
            members.Append(inner);
        }
    }
    return true;
}

void Group::WriteObjectInformation(std::string& buffer) {
    buffer += "<group>";
    members.Lock();
    for (LinkedListObject* node = members.GetHead(); node; node = node->GetNext())
        if (auto* member = dynamic_cast<SerializableObject*>(node))
            member->WriteObjectInformation(buffer);
    members.Unlock();
    buffer += "</group>";
}

void Group::CopyObjectInformation(const SerializableObject& other) {
    auto* source = dynamic_cast<const Group*>(&other);
    if (!PRECONDITION(source != nullptr, "Invalid group to copy was supplied")) return;
    if (source == this) return;
    // The group's own information travels with it as well as its members'.
    SerializableObject::CopyObjectInformation(other);
    members.Lock();
    source->members.Lock();
    LinkedListObject* mine = members.GetHead();
    LinkedListObject* theirs = source->members.GetHead();
    for (; mine && theirs; mine = mine->GetNext(), theirs = theirs->GetNext()) {
        auto* to = dynamic_cast<SerializableObject*>(mine);
        auto* from = dynamic_cast<const SerializableObject*>(theirs);
        if (to && from) to->CopyObjectInformation(*from);
    }
    POSTCONDITION(!mine && !theirs, "Destination and source lists weren't of the same length");
    source->members.Unlock();
    members.Unlock();
}

// ---- Copies -----------------------------------------------------------------------

namespace {

// Members of a copy read their ids from the original's key data; each takes a fresh one
// so that undo steps never mistake the copy for the original.
void TakeFreshMemberIds(const Group& original, Group& copy) {
    const LinkedList& originals = original.GetMembers();
    LinkedListObject* theirs = originals.GetHead();
    for (LinkedListObject* mine = copy.GetMembers().GetHead(); mine; mine = mine->GetNext()) {
        if (auto* undoable = dynamic_cast<UndoableObject*>(mine))
            undoable->TakeFreshIdIfTaken(originals);
        auto* innerCopy = dynamic_cast<Group*>(mine);
        auto* innerOriginal = dynamic_cast<const Group*>(theirs);
        if (innerCopy && innerOriginal) TakeFreshMemberIds(*innerOriginal, *innerCopy);
        if (theirs) theirs = theirs->GetNext();
    }
}

}  // namespace

RenderableObject* Group::Clone() {
    return Clone(false, false);
}

Group* Group::Clone(bool offset, bool addToScene) {
    BaseControl* control = theControl();
    RenderLockScope lock;
    auto* copy = new Group;
    RestoreInto(*copy, true, false);
    TakeFreshMemberIds(*this, *copy);
    if (offset) copy->MoveBy(Vector(box.max.x - box.min.x, 0, 0));
    if (addToScene && control) control->scene.Append(copy);
    return copy;
}

// ---- Drawing ----------------------------------------------------------------------

void Group::Render() {
    if (!visible) return;
    BaseControl* control = theControl();
    SceneView* view = control ? control->GetCurrentView() : nullptr;
    if (view && (view->GetRenderState().GetInt64(0) & TypeBit::kCatalogueModel)) return;
    if ((ViewMode(view) == kBlueprintMode || !ViewBoolean(view, 6)) && !IsInVisibleHeightRange())
        return;
    if (view && (viewFlags & (1u << (static_cast<unsigned>(view->GetViewId()) & 31u)))) return;

    if (!group) {
        SetStencilForSelection();
        glLoadName(GetPickName());
    }
    const bool handlesOff = control && control->globalState.GetBoolean(15);
    const bool smallHandles = control && control->globalState.GetBoolean(18);

    glPushMatrix();
    glTranslated(position.x, position.y, position.z);
    double size = kHandleSize;
    if (selected && !locked && !handlesOff) {
        if (!smallHandles || ViewBoolean(view, 3)) size = 0.1 * box.min.Distance(box.max);
        Window* window = control ? control->currentWindow : nullptr;
        if (window && !window->IsOrthographicView()) {
            GLdouble model[16], projection[16];
            GLint viewport[4];
            glGetDoublev(GL_MODELVIEW_MATRIX, model);
            glGetDoublev(GL_PROJECTION_MATRIX, projection);
            glGetIntegerv(GL_VIEWPORT, viewport);
            GLdouble wx = 0, wy = 0, wz = 0;
            // The modelview already holds the move to the position.
            if (gluProject(0.0, 0.0, 0.0, model, projection, viewport, &wx, &wy, &wz) == GL_TRUE) {
                const double k = std::max(wz * 44950.0 - 44051.0, 1.0);
                size = (size + std::pow(1.2, std::log(k))) * 0.5;
            }
        }
        DrawSelectionMarker(size);
        if (control) control->ShowObjectStatus(control->LoadResourceString(302).c_str());
    }

    const double hm = (box.max.y + box.min.y) * 0.5;
    glTranslated(0.0, hm, 0.0);
    glMultMatrixd(rotation.m);
    glTranslated(0.0, -hm, 0.0);
    members.Lock();
    for (LinkedListObject* node = members.GetHead(); node; node = node->GetNext())
        if (auto* member = dynamic_cast<RenderableObject*>(node)) member->Render();
    members.Unlock();

    if (selected) {
        if (locked) {
            if (control) control->ShowObjectStatus(control->LoadResourceString(246).c_str());
        } else if (!handlesOff && (!smallHandles || ViewBoolean(view, 3))) {
            DrawHandles(size);
        }
    }
    glPopMatrix();
}

void Group::DrawHandles(double size) {
    BaseControl* control = theControl();
    if (!control) return;
    box.Draw();
    glColor4d(1.0, 0.0, 0.0, 0.5);
    glPushAttrib(GL_ENABLE_BIT);
    glDisable(GL_ALPHA_TEST);
    DrawCornerMarkers(size, activeHandle ? activeHandle->GetPickName() : GetPickName());
    glPopAttrib();
}

// ---- Menus ------------------------------------------------------------------------

void Group::BuildPropertyMenu(platform::Menu& menu) {
    AppendMenuItems(menu);
    menu.AppendItem(GroupCommand::kUngroup, "Ungroup");
    BuildRotateMenu(menu);
}

bool Group::ProcessPropertyMenu(uint32_t id) {
    if (SelectableObject::ProcessPropertyMenu(id)) return true;
    if (OnCommand(id)) return true;
    if (RotatableObject::OnRotateCommand(id)) {
        Refresh();
        return true;
    }
    BaseControl* control = theControl();
    if (id == GroupCommand::kDelete) {
        DeleteFromScene();
        return true;
    }
    if (id == GroupCommand::kUngroup) {
        if (!control) return false;
        control->BeginUndoGroup();
        Ungroup(this);
        control->EndUndoGroup();
        return true;
    }
    return false;
}
