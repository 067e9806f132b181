#include "foundation/Transaction.h"

#include <initializer_list>
#include <string_view>

#include "control/BaseControl.h"
#include "foundation/Trace.h"
#include "foundation/UndoableObject.h"
#include "geometry/Vector.h"
#include "interaction/MouseHandler.h"
#include "model/SceneView.h"

bool IsGroupMarker(const LinkedListObject* record) {
    const auto* transaction = dynamic_cast<const BaseTransaction*>(record);
    return transaction && transaction->GetTransactionType() == kTransactionMarkerType;
}

bool IsGroupStart(const LinkedListObject* record) {
    const auto* marker = dynamic_cast<const TransactionMarker*>(record);
    return marker && marker->IsStart();
}

namespace {

const char kIdKey[] = "transactionObjectId";
const char kRemovedIdKey[] = "removedTransactionId";

bool SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

bool NameIn(std::string_view name, std::initializer_list<const char*> names) {
    for (const char* n : names)
        if (SameName(name, n)) return true;
    return false;
}

// Children whose sublists are paired by id rather than by name.
bool PairedById(std::string_view name) {
    return NameIn(name, {"Model", "material", "group", "covering", "SlabHole", "slabMolding"});
}

const KeyDataSublist* AsSublist(const BaseKeyDataElement* member) {
    return member && !member->IsElement() ? static_cast<const KeyDataSublist*>(member) : nullptr;
}

// Every "transactionObjectId" anywhere in the list becomes a "removedTransactionId" in `out`.
void AddRemovedIds(const KeyDataList& list, KeyDataList& out) {
    for (const BaseKeyDataElement* m = list.GetFirstMember(); m; m = m->GetNextMember()) {
        if (const KeyDataSublist* sub = AsSublist(m)) {
            AddRemovedIds(*sub->GetChildren(), out);
        } else if (SameName(m->Name(), kIdKey)) {
            out.AddString(kRemovedIdKey, static_cast<const KeyDataElement*>(m)->Value());
        }
    }
}

// Which occurrence of its name, counting sublists only, the sublist is in its list.
int Occurrence(const KeyDataList& list, const KeyDataSublist& sublist) {
    int n = 0;
    for (const BaseKeyDataElement* m = list.GetFirstMember(); m && m != &sublist;
         m = m->GetNextMember()) {
        if (AsSublist(m) && SameName(m->Name(), sublist.Name())) ++n;
    }
    return n;
}

// The sublist of `list` that stands for `sublist` of the other side: by name and id for the
// children paired by id (when the sublist has an id), otherwise the sublist of that name
// at the same occurrence.
const KeyDataSublist* Counterpart(const KeyDataList& list, const KeyDataList& sublistOwner,
                                  const KeyDataSublist& sublist) {
    const KeyDataList& children = *sublist.GetChildren();
    const bool byId = PairedById(sublist.Name()) && children.FindElement(kIdKey);
    const double id = children.GetNumber(kIdKey);
    int wanted = byId ? 0 : Occurrence(sublistOwner, sublist);
    for (const BaseKeyDataElement* m = list.GetFirstMember(); m; m = m->GetNextMember()) {
        const KeyDataSublist* candidate = AsSublist(m);
        if (!candidate || !SameName(m->Name(), sublist.Name())) continue;
        if (byId) {
            const KeyDataList& theirs = *candidate->GetChildren();
            if (theirs.FindElement(kIdKey) && theirs.GetNumber(kIdKey) == id) return candidate;
        } else if (wanted-- == 0) {
            return candidate;
        }
    }
    return nullptr;
}

// Completes a partial record of a child: the child's kind marker with its id, or only the
// id for the children that undo finds by id.
void AddKindMarker(KeyDataList& record, const KeyDataSublist& before, const KeyDataList* idSource) {
    static const char* const kKinds[] = {
        "covering",  "dormer",      "onslab",      "inslab", "asymmetric", "skylight", "hole",
        "shaftHole", "slabMolding", "betweenPost", "header", "footer",     "subroof"};
    const KeyDataList& children = *before.GetChildren();
    const char* id = idSource ? idSource->GetString(kIdKey) : nullptr;
    // A record that already holds a key (a whole child copied) does not get it twice.
    auto add = [&record](const char* key, const char* value) {
        if (!record.FindByName(key)) record.AddString(key, value);
    };
    for (const char* kind : kKinds) {
        if (children.FindElement(kind)) {
            add(kind, "yes");
            if (id) add(kIdKey, id);
            return;
        }
    }
    if (id && NameIn(before.Name(), {"model", "group", "material", "subroof0", "subroof1",
                                     "subroof2", "subroof3"}))
        add(kIdKey, id);
}

void AddPartialRecord(KeyDataList& side, const KeyDataSublist& before, KeyDataList* record,
                      const KeyDataList* idSource) {
    if (record->IsEmpty()) {
        delete record;
        return;
    }
    // A material reads keys it is not given as their defaults (shininess, opacity):
    // its record carries every value of its side, so that reading it back changes
    // nothing but what the edit changed.
    if (idSource && SameName(before.Name(), "Material")) {
        for (const BaseKeyDataElement* m = idSource->GetFirstMember(); m; m = m->GetNextMember())
            if (m->IsElement() && !record->FindByName(m->Name())) m->CloneInto(*record);
    }
    AddKindMarker(*record, before, idSource);
    side.Add(new KeyDataSublist(before.Name(), record));
}

}  // namespace

void ComputeKeyDataDifference(const KeyDataList& before, const KeyDataList& after,
                              KeyDataList& undo, KeyDataList& redo) {
    if (before.IsEmpty() && after.IsEmpty()) return;
    if (before.IsEmpty()) {
        redo.AppendCopiesOf(after);
        AddRemovedIds(after, undo);
        return;
    }
    if (after.IsEmpty()) {
        undo.AppendCopiesOf(before);
        AddRemovedIds(before, redo);
        return;
    }
    for (const BaseKeyDataElement* m = before.GetFirstMember(); m; m = m->GetNextMember()) {
        if (const KeyDataSublist* sub = AsSublist(m)) {
            const KeyDataSublist* other = Counterpart(after, before, *sub);
            auto* u = new KeyDataList;
            auto* r = new KeyDataList;
            ComputeKeyDataDifference(*sub->GetChildren(),
                                     other ? *other->GetChildren() : *KeyDataList::SharedEmpty(),
                                     *u, *r);
            AddPartialRecord(undo, *sub, u, sub->GetChildren());
            AddPartialRecord(redo, *sub, r, other ? other->GetChildren() : nullptr);
            continue;
        }
        const auto* element = static_cast<const KeyDataElement*>(m);
        const KeyDataElement* now = after.FindElement(element->Name());
        if (!now) {
            element->CloneInto(undo);
        } else if (now->Value() != element->Value()) {
            // Compared exactly: a change of letter case is an edit too.
            element->CloneInto(undo);
            now->CloneInto(redo);
        }
    }
    for (const BaseKeyDataElement* a = after.GetFirstMember(); a; a = a->GetNextMember()) {
        const KeyDataSublist* sub = AsSublist(a);
        const bool present = sub ? Counterpart(before, after, *sub) != nullptr
                                 : before.FindByName(a->Name()) != nullptr;
        if (present) continue;
        a->CloneInto(redo);
        if (sub) AddRemovedIds(*sub->GetChildren(), undo);
    }
}

ObjectTransaction::~ObjectTransaction() {
    delete beforeElement;
}

void ObjectTransaction::Finish() {
    BaseControl* control = theControl();
    if (targetId == kNoTransactionId || !control) {
        delete this;
        return;
    }
    if (UndoableObject* object = FindObjectByTransactionId(control->scene, targetId)) {
        object->WriteKeyData();
        KeyDataSublist* afterElement = object->TakeWrittenElement();
        if (afterElement) {
            if (beforeElement) {
                ComputeKeyDataDifference(*beforeElement->GetChildren(),
                                         *afterElement->GetChildren(), undoData, redoData);
            } else {
                afterElement->CloneInto(redoData);
            }
        }
        delete afterElement;
    } else if (beforeElement) {
        deleted = 1;
        beforeElement->CloneInto(undoData);
    }
    delete beforeElement;
    beforeElement = nullptr;
    if (undoData.IsEmpty() && redoData.IsEmpty()) {
        delete this;
        return;
    }
    control->PushTransaction(this);
}

void ObjectTransaction::Apply(bool undo) {
    BaseControl* control = theControl();
    if (targetId == kNoTransactionId || !control) return;
    control->LockRender();
    if (UndoableObject* object = FindObjectByTransactionId(control->scene, targetId)) {
        object->SetSelected(true);
        if (undo && !created) {
            object->ReadKeyData(undoData);
        } else if (!undo && !deleted) {
            object->ReadKeyData(redoData);
        } else {
            RemoveObject(*control, *object);
        }
    } else if ((undo && deleted) || (!undo && created)) {
        const KeyDataList& elements = undo ? undoData : redoData;
        for (const BaseKeyDataElement* m = elements.GetFirstMember(); m; m = m->GetNextMember()) {
            if (m->IsElement()) continue;
            SerializableObject* made =
                control->LoadPlanObjects(*static_cast<const KeyDataSublist*>(m));
            if (auto* selectable = dynamic_cast<SelectableObject*>(made))
                selectable->SetSelected(true);
        }
    }
    control->UnlockRender();
}

void ObjectTransaction::RemoveObject(BaseControl& control, UndoableObject& object) {
    SceneView* mainView = control.GetMainView();
    if (mainView) {
        if (MouseHandler* mode = mainView->GetCurrentMode()) mode->ReleaseTarget();
    }
    if (object.RemoveFromList(control.scene)) {
        // The render thread destroys it on its turn.
        control.deletedObjects.Append(&object);
        control.RebuildDisplayData();
    } else if (mainView && mainView->GetTraceImage() == &object) {
        mainView->DeleteTraceImage();
    }
}

void SpecialTransaction::Record(const Vector& offset) {
    offset.WriteChild(data, "movePlanOffset");
    if (BaseControl* control = theControl())
        control->PushTransaction(this);
    else
        delete this;
}

void SpecialTransaction::Record(double delta) {
    data.AddDouble("changeFloorLevelDelta", delta);
    if (BaseControl* control = theControl())
        control->PushTransaction(this);
    else
        delete this;
}

void SpecialTransaction::Apply(bool undo) {
    BaseControl* control = theControl();
    if (!control) return;
    if (kind == kMovePlanOffset) {
        Vector offset;
        offset.ReadChild(data, "movePlanOffset");
        if (undo) offset.Negate();
        control->MoveAllObjects(offset);
    } else if (kind == kChangeFloorLevelDelta) {
        const double delta = data.GetNumber("changeFloorLevelDelta");
        const double level = control->floorState.GetDouble(4);
        if (!control->floorState.SetDouble(4, undo ? level - delta : level + delta))
            TraceWrite("Floor level change not undone: the level would not be valid");
    }
}
