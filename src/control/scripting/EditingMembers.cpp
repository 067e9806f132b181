#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "building/Wall.h"
#include "control/Duzazododiza.h"
#include "control/RenderLockScope.h"
#include "control/scripting/ScriptArguments.h"
#include "foundation/KeyDataList.h"
#include "foundation/SerializableObject.h"
#include "foundation/Trace.h"
#include "foundation/Transaction.h"
#include "foundation/UndoableObject.h"
#include "interaction/ClipboardObject.h"
#include "interaction/Dimension.h"
#include "interaction/TraceImageModel.h"
#include "model/Group.h"
#include "model/Model.h"
#include "model/ObjectTypes.h"
#include "model/StateObject.h"
#include "render/LightSource.h"
#include "render/Window.h"

using platform::HRESULT;
using platform::S_OK;

namespace {

constexpr int32_t kFloorUp = 101;
constexpr int32_t kFloorDown = 102;
constexpr double kHighestFloor = 1100.0;
constexpr size_t kInformationTextSize = 512;

constexpr double kNewLightAboveEye = 36.0;
constexpr double kOverheadAhead = 24.0;
constexpr double kOverheadAbove = 6.0;
constexpr uint32_t kDuplicationFailed = 276;
constexpr int kShowTypes = 3;

// The eye: the negated camera offset of the window.
Vector EyePoint(const Window& window) {
    Vector eye = window.camera.GetVector(0);
    eye.Negate();
    eye.w = 1.0;
    return eye;
}

// Turns the light to shine the way the window's camera looks.
void AimAlongCamera(LightSource& light, const Window& window) {
    const Vector turn = window.camera.GetVector(1);
    light.SetRotationMatrix(Matrix());
    light.RotateAboutAxis(0, 90.0 - turn.x);
    light.RotateAboutAxis(1, -turn.y);
}

// Whether a light of the scene stands exactly at the point.
bool LightStandsAt(const LinkedList& scene, const Vector& point) {
    bool found = false;
    scene.Lock();
    for (LinkedListObject* node = scene.GetHead(); node && !found; node = node->GetNext()) {
        auto* light = dynamic_cast<const LightSource*>(node);
        if (!light) continue;
        const Vector& at = light->GetPosition();
        found = at.x == point.x && at.y == point.y && at.z == point.z;
    }
    scene.Unlock();
    return found;
}

// A copy of the object placed beside it in the scene: models (lights among them) and
// groups stand one box width further along x; other objects make none yet.
RenderableObject* PlacedCopy(RenderableObject& object) {
    if (auto* model = dynamic_cast<Model*>(&object)) return model->Clone(true, true);
    if (auto* group = dynamic_cast<Group*>(&object)) return group->Clone(true, true);
    if (auto* wall = dynamic_cast<Wall*>(&object)) return wall->Clone(true, true);
    return nullptr;
}

// Empties the clipboard and fills it with copies of the selected top-level objects; the
// objects it copied.
std::vector<RenderableObject*> CopySelectionToClipboard(BaseControl& control,
                                                        LinkedList& clipboard) {
    std::vector<RenderableObject*> copied;
    clipboard.DeleteAll();
    LinkedListIterator it(control.scene);
    it.LockList();
    for (LinkedListObject* node = it.First(); node; node = it.Next()) {
        auto* object = dynamic_cast<UndoableObject*>(node);
        if (!object || !object->IsSelected()) continue;
        if (ClipboardObject* entry = ClipboardObject::CopyOf(*object)) {
            clipboard.Append(entry);
            copied.push_back(object);
        }
    }
    it.UnlockList();
    return copied;
}

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
    Window* window = activeWindow;
    if (!window) return S_OK;
    Vector place = EyePoint(*window);
    place.y += kNewLightAboveEye;
    // A second insertion without a move of the camera makes no second light there.
    if (LightStandsAt(scene, place)) return S_OK;
    LightSource* light = LightSource::LoadFromDomain(LightContent::kDefaultSpotlight);
    if (!light) return S_OK;
    {
        RenderLockScope hold(*this);
        AimAlongCamera(*light, *window);
        light->SetPosition(place);
        PlaceLightInScene(light);
        SetActiveLight(light);
    }
    BeginUndoGroup();
    light->BeginTransaction(true);
    light->EndUndoStep();
    EndUndoGroup();
    globalState.SetBoolean(12, false);
    return S_OK;
}

HRESULT CDuzazododiza::MoveLightOverhead() {
    Window* window = activeWindow;
    if (!window) return S_OK;
    if (!activeLight) FindActiveLight();
    auto* light = dynamic_cast<LightSource*>(activeLight);
    if (!light) return S_OK;
    {
        RenderLockScope hold(*this);
        light->BeginUndoStep();
        Vector ahead = window->UnprojectViewCenter();
        ahead.Scale(kOverheadAhead);
        Vector target = EyePoint(*window);
        target.Add(ahead);
        target.y += kOverheadAbove;
        target.w = 1.0;
        AimAlongCamera(*light, *window);
        light->SetPosition(target);
    }
    ApplyTypeVisibility(TypeBit::kLight, kShowTypes);
    globalState.SetBoolean(12, false);
    BeginUndoGroup();
    light->EndUndoStep();
    EndUndoGroup();
    return S_OK;
}

HRESULT CDuzazododiza::AddSun() {
    RestoreSun();
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
    bool failed = false;
    {
        RenderLockScope hold(*this);
        LinkedListIterator it(scene);
        it.LockList();
        // Copies join the end of the scene; the walk stops at the last original object.
        LinkedListObject* last = scene.GetTail();
        std::vector<RenderableObject*> copies;
        for (LinkedListObject* node = it.First(); node; node = it.Next()) {
            auto* object = dynamic_cast<RenderableObject*>(node);
            if (object && object->IsSelected()) {
                const KeyDataList* information = nullptr;
                if (auto* serializable = dynamic_cast<SerializableObject*>(object))
                    information = serializable->GetInformation();
                const char* name = information ? information->GetString("name") : nullptr;
                if (name)
                    theTrace().Write(name);
                else
                    theTrace().WriteFormat("type:%llu",
                                           static_cast<unsigned long long>(object->GetTypeMask()));
                BeginUndoGroup();
                RenderableObject* copy = PlacedCopy(*object);
                if (!copy) {
                    failed = true;
                } else if (copy != object) {
                    if (auto* undoable = dynamic_cast<UndoableObject*>(copy)) {
                        undoable->BeginTransaction(true);
                        undoable->EndUndoStep();
                    }
                    object->SetSelected(false);
                    copies.push_back(copy);
                }
                EndUndoGroup();
            }
            if (node == last) break;
        }
        // The copies are the new selection (copied lights stand with the lights, not at the
        // end of the scene).
        for (RenderableObject* copy : copies) copy->SetSelected(true);
        it.UnlockList();
        RebuildDisplayData();
    }
    if (failed) ShowResourceMessage(kDuplicationFailed, "Duplication Failed");
    theTrace().Write("CF::eDup");
    return S_OK;
}

HRESULT CDuzazododiza::Cut() {
    theTrace().Write("CF::Cut");
    RenderLockScope hold(*this);
    const std::vector<RenderableObject*> copied = CopySelectionToClipboard(*this, clipboard);
    // Only what the clipboard holds leaves the scene, as one undo step.
    LinkedListIterator it(scene);
    it.LockList();
    for (LinkedListObject* node = it.First(); node; node = it.Next()) {
        auto* object = dynamic_cast<RenderableObject*>(node);
        if (object && object->IsSelected() &&
            std::find(copied.begin(), copied.end(), object) == copied.end())
            object->SetSelected(false);
    }
    it.UnlockList();
    if (activeWindow && activeWindow->traceImage) activeWindow->traceImage->SetSelected(false);
    if (!copied.empty()) DeleteSelectedObjects();
    RebuildDisplayData();
    return S_OK;
}

HRESULT CDuzazododiza::Copy() {
    theTrace().Write("CF::Copy");
    RenderLockScope hold(*this);
    CopySelectionToClipboard(*this, clipboard);
    return S_OK;
}

HRESULT CDuzazododiza::Paste() {
    theTrace().Write("CF::Paste");
    RenderLockScope hold(*this);
    std::vector<const ClipboardObject*> entries;
    clipboard.Lock();
    for (LinkedListObject* node = clipboard.GetHead(); node; node = node->GetNext())
        if (auto* entry = dynamic_cast<const ClipboardObject*>(node)) entries.push_back(entry);
    clipboard.Unlock();
    if (entries.empty()) return S_OK;
    BeginUndoGroup();
    for (const ClipboardObject* entry : entries) {
        UndoableObject* pasted = entry->MakeObject(*this);
        if (!pasted) continue;
        pasted->BeginTransaction(true);
        pasted->EndUndoStep();
    }
    EndUndoGroup();
    RebuildDisplayData();
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
    // Every dimension label, the walls' and the user's, takes the dimension font.
    RenderLockScope hold(*this);
    LinkedListIterator it(scene);
    it.LockList();
    for (LinkedListObject* node = it.First(); node; node = it.Next()) {
        if (auto* wall = dynamic_cast<Wall*>(node))
            wall->SetDimensionFonts();
        else if (auto* dimension = dynamic_cast<Dimension*>(node))
            dimension->UpdateLabel();
    }
    it.UnlockList();
    return S_OK;
}

HRESULT CDuzazododiza::GetNewDefaultTextFont() {
    theTrace().Write("GetNewDefaultTextFont: text fonts are not available");
    return platform::E_NOTIMPL;
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
