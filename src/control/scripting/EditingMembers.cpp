#include <cmath>
#include <string>

#include "control/Duzazododiza.h"
#include "control/RenderLockScope.h"
#include "control/scripting/ScriptArguments.h"
#include "foundation/KeyDataList.h"
#include "foundation/SerializableObject.h"
#include "foundation/Trace.h"
#include "foundation/Transaction.h"
#include "foundation/UndoableObject.h"
#include "model/Group.h"
#include "model/ObjectTypes.h"
#include "model/StateObject.h"
#include "render/Window.h"

using platform::HRESULT;
using platform::S_OK;

namespace {

constexpr int32_t kFloorUp = 101;
constexpr int32_t kFloorDown = 102;
constexpr double kHighestFloor = 1100.0;
constexpr size_t kInformationTextSize = 512;

// The type mask a page passes: decimal text, or a whole number; empty gives 0.
bool TypeMaskFromVariant(const platform::VARIANT& v, uint64_t& mask) {
    using platform::VariantType;
    switch (v.type) {
        case VariantType::Empty:
        case VariantType::Null:
            mask = 0;
            return true;
        case VariantType::Bstr:
            return CDuzazododiza::ParseUInt64(v.bstrValue, &mask);
        case VariantType::Int16:
        case VariantType::Int32:
        case VariantType::Int64: {
            const int64_t value = v.type == VariantType::Int16   ? v.shortValue
                                  : v.type == VariantType::Int32 ? v.intValue
                                                                 : v.int64Value;
            if (value < 0) return false;
            mask = static_cast<uint64_t>(value);
            return true;
        }
        default:
            return false;
    }
}

std::string InformationText(const char16_t* text) {
    std::string utf8 = platform::Utf8FromBstr(text);
    if (utf8.size() >= kInformationTextSize) {
        size_t cut = kInformationTextSize - 1;
        while (cut > 0 && (static_cast<unsigned char>(utf8[cut]) & 0xC0) == 0x80) --cut;
        utf8.resize(cut);
    }
    return utf8;
}

}  // namespace

HRESULT CDuzazododiza::CreateGroup() {
    auto* group = new Group;
    group->BeginTransaction(true);
    BeginUndoGroup();
    // A group that does not stand in the scene afterwards is already gone.
    if (Group::CreateGroup(group)) group->EndUndoStep();
    EndUndoGroup();
    return S_OK;
}

HRESULT CDuzazododiza::Ungroup() {
    BeginUndoGroup();
    {
        RenderLockScope hold(*this);
        RenderableObject* first = nullptr;
        scene.Lock();
        for (LinkedListObject* node = scene.GetHead(); node && !first; node = node->GetNext()) {
            auto* object = dynamic_cast<RenderableObject*>(node);
            if (object && object->IsSelected() && (object->GetTypeMask() & TypeBit::kGroup))
                first = object;
        }
        scene.Unlock();
        if (auto* group = dynamic_cast<Group*>(first)) Group::Ungroup(group);
    }
    EndUndoGroup();
    return S_OK;
}

HRESULT CDuzazododiza::SelectAll() {
    BaseControl::SelectAll(true);
    return S_OK;
}

HRESULT CDuzazododiza::SetVisibleOnAll(const VARIANT& objectType, const VARIANT& visible) {
    uint64_t mask = 0;
    int32_t how = 0;
    if (!TypeMaskFromVariant(objectType, mask) || !ScriptArguments::ToInt32(visible, how) ||
        how < INT16_MIN || how > INT16_MAX) {
        theTrace().Write("SetVisibleOnAll: type or mode refused");
        return S_OK;
    }
    ApplyTypeVisibility(mask, how);
    return S_OK;
}

HRESULT CDuzazododiza::InsertLight() {
    // A spotlight ("3d/compressedfileformat/defaultspotlight.3c_") is placed above the
    // eye by the light sources.
    return S_OK;
}

HRESULT CDuzazododiza::MoveLightOverhead() {
    // The active light is moved in front of the eye by the light sources.
    return S_OK;
}

HRESULT CDuzazododiza::AddSun() {
    // The sun ("plansys/gsun/sun.3c_") is added by the light sources.
    return S_OK;
}

HRESULT CDuzazododiza::UpdateLastRightClickedObject() {
    StateObject* target = currentStateObject;
    if (!target) return S_OK;
    auto* undoable = dynamic_cast<UndoableObject*>(target);
    if (undoable) undoable->BeginUndoStep();
    {
        RenderLockScope hold(*this);
        target->ApplyState();
    }
    if (undoable) {
        BeginUndoGroup();
        undoable->EndUndoStep();
        EndUndoGroup();
    }
    return S_OK;
}

HRESULT CDuzazododiza::MoveEntireFloorPlan(int32_t deltaX, int32_t deltaY, int32_t deltaZ) {
    if (!activeWindow) return S_OK;
    const Vector view = activeWindow->UnprojectViewCenter();
    const double dx = deltaX, dy = deltaY, dz = deltaZ;
    Vector move;
    if (std::fabs(view.x) <= std::fabs(view.z))
        move = view.z > 0.0 ? Vector(dx, dy, dz) : Vector(-dx, dy, -dz);
    else
        move = view.x > 0.0 ? Vector(dz, dy, -dx) : Vector(-dz, dy, dx);
    MoveAllObjects(move);
    (new SpecialTransaction(SpecialTransaction::kMovePlanOffset))->Record(move);
    return S_OK;
}

HRESULT CDuzazododiza::AddDataToRightClickedObjectInformation(BSTR key, BSTR data) {
    auto* target = dynamic_cast<SerializableObject*>(currentStateObject);
    if (!target || !key || !data) return S_OK;
    const std::string keyText = InformationText(key);
    const std::string dataText = InformationText(data);
    RenderLockScope hold(*this);
    target->SetInformationValue(keyText.c_str(), dataText.c_str());
    return S_OK;
}

HRESULT CDuzazododiza::get_RightClickedObjectData(BSTR* data) {
    auto* target = dynamic_cast<SerializableObject*>(currentStateObject);
    if (!target || !data) return S_OK;
    const KeyDataList* information = target->GetInformation();
    if (!information || information->IsEmpty()) return S_OK;
    std::string text;
    information->Lock();
    for (BaseKeyDataElement* member = information->GetFirstMember(); member;
         member = member->GetNextMember()) {
        if (!member->IsElement()) continue;
        const auto* pair = static_cast<const KeyDataElement*>(member);
        text += pair->Name();
        text += ';';
        text += pair->Value();
        text += ';';
    }
    information->Unlock();
    *data = platform::BstrFromUtf8(text);
    return S_OK;
}

HRESULT CDuzazododiza::Duplicate() {
    theTrace().Write("CF::Dup");
    // Each selected object's placed copy comes from its own copy operation.
    theTrace().Write("CF::eDup");
    return S_OK;
}

HRESULT CDuzazododiza::Cut() {
    // The clipboard holds what is cut, copied and pasted.
    return S_OK;
}

HRESULT CDuzazododiza::Copy() {
    return S_OK;
}

HRESULT CDuzazododiza::Paste() {
    return S_OK;
}

HRESULT CDuzazododiza::DeleteSelectedItems() {
    DeleteSelectedObjects();
    return S_OK;
}

HRESULT CDuzazododiza::Clone() {
    bool cloned = false;
    {
        RenderLockScope hold(*this);
        LinkedListIterator it(scene);
        it.LockList();
        BeginUndoGroup();
        // Copies join the end of the scene; the walk stops at the last original object.
        LinkedListObject* last = scene.GetTail();
        for (LinkedListObject* node = it.First(); node; node = it.Next()) {
            auto* object = dynamic_cast<UndoableObject*>(node);
            if (object && object->IsSelected()) {
                UndoableObject* copy = object->DuplicateAndOffset();
                if (copy && copy != object) cloned = true;
            }
            if (node == last) break;
        }
        EndUndoGroup();
        it.UnlockList();
        if (cloned) RebuildDisplayData();
    }
    if (!cloned) Duplicate();
    return S_OK;
}

HRESULT CDuzazododiza::SetAllDimensionFonts() {
    // The font for new text is chosen in the font dialog of the text objects; walls and
    // dimensions then rebuild their labels.
    return S_OK;
}

HRESULT CDuzazododiza::GetNewDefaultTextFont() {
    // A text object under the menu, or new text, gets its font from the font dialog of
    // the text objects.
    return S_OK;
}

HRESULT CDuzazododiza::ShowLastHiddenObject() {
    ApplyPendingVisibility();
    return S_OK;
}

HRESULT CDuzazododiza::Undo() {
    BaseControl::Undo();
    return S_OK;
}

HRESULT CDuzazododiza::Redo() {
    BaseControl::Redo();
    return S_OK;
}

HRESULT CDuzazododiza::SetFloorLevel(int32_t level) {
    if (level < 0) return S_OK;
    RenderLockScope hold(*this);
    if (level == kFloorUp || level == kFloorDown) {
        double next = ElevationToFloor(floorState.GetDouble(4) - 1.0, level == kFloorUp);
        if (level == kFloorUp) next = std::min(next, kHighestFloor);
        if (next >= 0.0) SetCurrentFloor(next);
        return S_OK;
    }
    SetCurrentFloor(floorState.GetDouble(9) + wallState.GetDouble(5) * (level - 1) + 1.0);
    return S_OK;
}
