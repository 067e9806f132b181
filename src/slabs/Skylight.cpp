#include "slabs/Skylight.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <new>

#include "control/BaseControl.h"
#include "control/RenderLockScope.h"
#include "foundation/KeyDataList.h"
#include "foundation/Trace.h"
#include "interaction/MouseHandler.h"
#include "platform/Menu.h"
#include "platform/MessageBox.h"
#include "render/Window.h"
#include "slabs/BaseSlab.h"
#include "slabs/ShaftHole.h"
#include "slabs/ShaftHoleCreator.h"
#include "slabs/ShaftSide.h"

namespace {

constexpr double kRectangleTolerance = 0.01;
constexpr double kDegreesPerRadian = 57.29577951308;
constexpr double kPi = 3.14159265358979323846;
// The degree sign of the menus' code page.
constexpr char kDegreeSign = static_cast<char>(186);

void AddNumber(KeyDataList& keys, const char* key, double value) {
    char text[64];
    std::snprintf(text, sizeof text, "%3.6f", value);
    keys.AddString(key, text);
}

bool ReadObjectId(const KeyDataList& keys, const char* key, TransactionId& id) {
    double value = 0.0;
    if (!ReadFiniteDouble(keys, key, value)) return false;
    if (value < 0.0 || value >= static_cast<double>(kNoTransactionId)) return false;
    id = static_cast<TransactionId>(value);
    return true;
}

// Shows string resource `id` in an information box with `caption`.
void Inform(uint32_t id, const char* caption) {
    BaseControl* control = theControl();
    if (!control) return;
    platform::MessageBoxRequest box;
    box.text = control->LoadResourceString(id);
    box.caption = caption;
    box.icon = platform::MessageIcon::Information;
    control->ShowMessageBox(box);
}

}  // namespace

RenderableObject* MakeSkylight() {
    return new (std::nothrow) Skylight;
}

Skylight::Skylight() = default;

Skylight::~Skylight() {
    DeleteShaft();
}

// ---- Shaft ------------------------------------------------------------------------

UndoableObject* Skylight::GetLinkedObject() const {
    return shaft;
}

void Skylight::SetLinkedObject(UndoableObject* object) {
    if (!object) {
        // The tie is cut from the bottom slab: the hole goes there, the sides here.
        if (ShaftHole* hole = shaft) ForgetShaftHole(hole);
        return;
    }
    if (auto* hole = dynamic_cast<ShaftHole*>(object)) AttachShaft(hole);
}

void Skylight::SetShaft(ShaftHole* hole) {
    if (hole && hole == shaft) return;
    // One shaft at a time: an earlier one goes with its hole and sides.
    if (shaft || !sides.empty()) {
        const int keptType = shaftType;
        DeleteShaft();
        shaftType = keptType;
    }
    shaft = hole;
    if (hole) {
        hole->SetSkylight(this);
        CreateSides();
        opening.SetExcludedEdges(edgeIndexList);
    } else {
        DeleteShaft();
        opening.SetExcludedEdges({});
    }
    opening.RebuildGeometry();
}

void Skylight::AttachShaft(ShaftHole* hole) {
    if (hole && hole->GetSkylight() && hole->GetSkylight() != this) {
        TraceWrite("Shaft hole belongs to another skylight: not attached");
        return;
    }
    if (shaft && shaft != hole) {
        shaft->SetSkylight(nullptr);
        for (ShaftSide* side : sides) side->SetShaftHole(nullptr, false);
    }
    shaft = hole;
    if (hole) hole->SetSkylight(this);
    if (pendingSideList && sides.empty() && opening.GetOutline().GetCount() > 0) {
        std::unique_ptr<KeyDataList> pending = std::move(pendingSideList);
        LoadSides(*pending);
        return;  // LoadSides attaches the hole again, with the sides.
    }
    for (ShaftSide* side : sides) side->SetShaftHole(hole, true);
    if (hole && !sides.empty()) opening.SetExcludedEdges(edgeIndexList);
    UpdateSides();
}

void Skylight::UpdateSides() {
    if (!shaft) return;
    for (ShaftSide* side : sides) side->Rebuild();
}

void Skylight::CreateSides() {
    BaseControl* control = theControl();
    RenderLockScope lock(control);
    DeleteSides();
    if (!shaft) return;
    KeyDataList material;
    shaft->GetSideMaterial().WriteKeyData(material);
    const int n = opening.GetOutline().GetCount();
    for (int i = 0; i < n; ++i) {
        auto* side = new (std::nothrow) ShaftSide(shaft, this, i);
        if (!side) break;
        sides.push_back(side);
        if (control) control->scene.Append(side);
        if (material.IsEmpty()) continue;
        for (int id : {BaseSlab::kInsideSurface, BaseSlab::kOutsideSurface, BaseSlab::kEdgeSurface})
            if (Part* surface = side->GetSurface(id)) surface->Load(material);
    }
    shaft->MarkDirty();
}

void Skylight::DeleteSides() {
    std::vector<ShaftSide*> going;
    going.swap(sides);
    for (ShaftSide* side : going) {
        side->SetChildrenSelected(false);
        side->ReleaseSkylight();
        if (LinkedList* owner = side->GetOwner()) owner->Remove(side);
        delete side;
    }
}

void Skylight::DeleteShaft() {
    BaseControl* control = theControl();
    ShaftHole* hole = shaft;
    shaft = nullptr;
    if (hole) {
        hole->SetSkylight(nullptr);
        BaseSlab* bottom = hole->GetParent();
        if (!bottom || !bottom->RemoveChild(hole, true))
            if (LinkedList* owner = hole->GetOwner()) owner->Remove(hole);
        delete hole;
    }
    if (!sides.empty()) {
        RenderLockScope lock(control);
        DeleteSides();
        if (control) {
            const bool kept = control->globalState.GetBoolean(18);
            control->globalState.SetBoolean(18, false);
            control->RebuildDisplayData();
            control->globalState.SetBoolean(18, kept);
        }
    }
    shaftType = 0;
    if (!opening.GetExcludedEdges().empty()) {
        opening.SetExcludedEdges({});
        opening.RebuildGeometry();
    }
}

void Skylight::ForgetShaftHole(ShaftHole* hole) {
    if (!hole || hole != shaft) return;
    shaft = nullptr;
    hole->SetSkylight(nullptr);
    // Sides without their hole have nothing to stand on.
    DeleteSides();
    shaftType = 0;
    opening.SetExcludedEdges({});
}

void Skylight::ForgetSide(ShaftSide* side) {
    sides.erase(std::remove(sides.begin(), sides.end(), side), sides.end());
}

void Skylight::LoadSides(KeyDataList& list) {
    if (list.IsEmpty()) return;
    const int n = opening.GetOutline().GetCount();
    if (sides.empty()) {
        for (int i = 0; i < n; ++i) {
            auto* side = new (std::nothrow) ShaftSide(this, i);
            if (!side) break;
            sides.push_back(side);
        }
    }
    if (!edgeIndexList.empty()) opening.SetExcludedEdges(edgeIndexList);
    for (size_t i = 0; i < sides.size(); ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "ShaftSide%zu", i);
        KeyDataList* entry = list.GetSublist(name);
        if (!entry || entry->IsEmpty()) continue;
        KeyDataList* keys = entry->GetSublist("ShaftSide");
        if (keys && !keys->IsEmpty()) sides[i]->ReadKeyData(*keys);
    }
    ShaftHole* hole = shaft;
    shaft = nullptr;
    AttachShaft(hole);
}

void Skylight::RebuildOpening() {
    opening.RebuildGeometry();
    opening.MarkDirty();
}

// ---- Shape ------------------------------------------------------------------------

void Skylight::UpdateShape() {
    const Outline& outline = opening.GetOutline();
    const int n = outline.GetCount();
    edgeIndexList.clear();
    for (int i = 0; i < n; ++i) edgeIndexList.push_back(i);
    isRectangular = false;
    if (n != 4) return;
    Vector e[4];
    for (int i = 0; i < 4; ++i) {
        e[i] = outline.GetPoints()[(i + 1) % 4].position;
        e[i].Subtract(outline.GetPoints()[i].position);
    }
    isRectangular = std::fabs(e[0].Dot(e[1])) < kRectangleTolerance &&
                    std::fabs(e[0].Dot(e[3])) < kRectangleTolerance &&
                    std::fabs(e[2].Dot(e[1])) < kRectangleTolerance &&
                    std::fabs(e[2].Dot(e[3])) < kRectangleTolerance;
}

void Skylight::UpdateTilt() {
    if (!parent) {
        tiltAngle = 0.0;
        return;
    }
    const double ny = std::clamp(parent->GetOutline().normal.y, -1.0, 1.0);
    const double pitch = 90.0 - std::fabs(std::asin(ny) * kDegreesPerRadian);
    tiltAngle = pitch <= minAngle ? minAngle - pitch : 0.0;
}

void Skylight::BuildOpening() {
    InSlabObject::BuildOpening();
    UpdateShape();
    UpdateTilt();
    if (shaft && !sides.empty()) opening.SetExcludedEdges(edgeIndexList);
    if (pendingSideList && opening.GetOutline().GetCount() > 0 && sides.empty()) {
        std::unique_ptr<KeyDataList> pending = std::move(pendingSideList);
        LoadSides(*pending);
    }
}

int Skylight::OnDownloadComplete() {
    const int result = AsymmetricSlabObject::OnDownloadComplete();
    if (parent) {
        RenderLockScope lock(theControl());
        UpdateShape();
        if (pendingSideList && opening.GetOutline().GetCount() > 0) {
            std::unique_ptr<KeyDataList> pending = std::move(pendingSideList);
            LoadSides(*pending);
        }
        UpdateSides();
    }
    return result;
}

// ---- Moves ------------------------------------------------------------------------

void Skylight::Translate(const Vector& delta) {
    InSlabObject::Translate(delta);
    for (ShaftSide* side : sides) side->BaseSlab::Translate(delta);
    UpdateSides();
}

void Skylight::MoveWithoutDelegation(const Vector& delta) {
    InSlabObject::MoveBy(delta);
    UpdateSides();
}

void Skylight::MoveBy(const Vector& delta) {
    if (!sides.empty() && shaft) {
        sides.front()->MoveSlabBy(delta.x, delta.y, delta.z, true);
        return;
    }
    MoveWithoutDelegation(delta);
}

void Skylight::SetRotation(double degrees) {
    InSlabObject::SetRotation(degrees);
    if (shaft) shaft->ProjectSkylightOutline();
    UpdateSides();
}

void Skylight::AddRotation(double degrees) {
    InSlabObject::AddRotation(degrees);
    if (shaft) shaft->ProjectSkylightOutline();
    UpdateSides();
}

// ---- Copies -----------------------------------------------------------------------

RenderableObject* Skylight::Clone() {
    return CloneChild(false, false);
}

RenderableObject* Skylight::CloneChild(bool offset, bool attach) {
    RenderableObject* made = InSlabObject::Clone(offset, attach);
    // The copy has a window of its own but no shaft: the hole stays this one's.
    if (auto* copy = dynamic_cast<Skylight*>(made); copy && !copy->shaft) copy->shaftType = 0;
    return made;
}

// ---- Menu -------------------------------------------------------------------------

void Skylight::AppendFlareItems(platform::Menu& menu) {
    char text[64];
    menu.AppendItem(kNoFlare, "No Flare");
    std::snprintf(text, sizeof text, "Set Flare Angle To 15%c", kDegreeSign);
    menu.AppendItem(kFlare15, text);
    std::snprintf(text, sizeof text, "Set Flare Angle To 30%c", kDegreeSign);
    menu.AppendItem(kFlare30, text);
}

void Skylight::BuildPropertyMenu(platform::Menu& menu) {
    if (!shaft) {
        platform::Menu& create = menu.AppendSubmenu("Create Shaft");
        create.AppendItem(kPerpendicularToRoof, "Perpendicular To Roof");
        create.AppendItem(kVertical, "Perpendicular To Ceiling (Floors Only)");
        create.AppendItem(kFlared, "Flared", false, !isRectangular);
    } else {
        menu.AppendItem(kDeleteShaft, "Delete Shaft");
        if (isRectangular) AppendFlareItems(menu.AppendSubmenu("Set Flare Angle"));
    }
    menu.AppendSeparator();
    InSlabObject::BuildPropertyMenu(menu);
}

bool Skylight::ProcessPropertyMenu(uint32_t id) {
    BaseControl* control = theControl();
    if (id >= kPerpendicularToRoof && id <= kFlared) {
        // A second shaft would leave the first one's hole and sides without an owner.
        if (shaft) {
            TraceWrite("Existing shaft detected: create shaft refused");
            return true;
        }
        Window* window = control ? control->activeWindow : nullptr;
        auto* mode = window ? dynamic_cast<ShaftHoleCreator*>(window->GetMode(kShaftMode)) : nullptr;
        if (!mode) {
            TraceWrite("No shaft-creation mode in the active window");
            return true;
        }
        mode->SetSkylight(this, static_cast<int>(id));
        if (MouseHandler* current = window->GetCurrentMode())
            current->SwitchMouseMode(kShaftMode);
        else
            window->SetMouseMode(kShaftMode);
        return true;
    }
    if (id == kDeleteShaft) {
        DeleteShaftCommand();
        return true;
    }
    if (id >= kNoFlare && id <= kFlare30) {
        ChangeFlare(id);
        return true;
    }
    return InSlabObject::ProcessPropertyMenu(id);
}

void Skylight::DeleteShaftCommand() {
    ShaftHole* hole = shaft;
    if (!hole && sides.empty()) return;
    BaseControl* control = theControl();
    BaseSlab* roof = parent;
    // Taken before the hole goes: the step is ended on the slab, not through the hole.
    BaseSlab* bottom = hole ? hole->GetParent() : nullptr;
    if ((roof && roof->IsLocked()) || (bottom && bottom->IsLocked())) {
        TraceWrite("Delete shaft refused: a slab of the shaft is locked");
        // A step the menu opened on either slab ends unrecorded.
        if (roof) roof->CancelUndoStep();
        if (bottom) bottom->CancelUndoStep();
        return;
    }
    RenderLockScope lock(control);
    if (control) control->BeginUndoGroup();
    if (roof) roof->BeginUndoStep();
    if (bottom && bottom != roof) bottom->BeginUndoStep();
    DeleteShaft();
    if (roof) roof->EndUndoStep();
    if (bottom && bottom != roof) bottom->EndUndoStep();
    if (control) {
        control->EndUndoGroup();
        control->RebuildDisplayData();
    }
}

void Skylight::ChangeFlare(uint32_t id) {
    ShaftHole* hole = shaft;
    if (!hole) return;
    BaseSlab* roof = parent;
    BaseSlab* bottom = hole->GetParent();
    if ((roof && roof->IsLocked()) || (bottom && bottom->IsLocked())) {
        TraceWrite("Flare change refused: a slab of the shaft is locked");
        if (roof) roof->CancelUndoStep();
        if (bottom) bottom->CancelUndoStep();
        return;
    }
    BaseControl* control = theControl();
    if (control) control->BeginUndoGroup();
    if (roof) roof->BeginUndoStep();
    if (bottom && bottom != roof) bottom->BeginUndoStep();
    const double old = hole->GetFlareAngle();
    hole->SetFlareAngle(static_cast<double>(id - kNoFlare) * kPi / 12.0);
    if (!hole->IsPositionValid()) {
        hole->SetFlareAngle(old);
        Inform(kShaftDoesNotFit, "Invalid Shaft Bottom");
    }
    if (bottom && bottom != roof) bottom->EndUndoStep();
    if (roof) roof->EndUndoStep();
    if (control) control->EndUndoGroup();
}

// ---- Key data ---------------------------------------------------------------------

void Skylight::WriteKeyData() {
    WriteModelKeys();
    KeyDataList& keys = *element->GetChildren();
    opening.GetSideSurface().SaveMaterial(keys, "sideSurface");
    keys.AddString("skylight", "yes");
    keys.AddDouble("invertDirection", invertDirection ? 1 : 0);
    AddNumber(keys, "id", GetObjectId());
    AddNumber(keys, "parentId", parent ? parent->GetObjectId() : kNoTransactionId);
    AddNumber(keys, "shaftType", shaftType);
    AddNumber(keys, "minAngle", minAngle);
    AddNumber(keys, "maxAngle", maxAngle);
    if (IsAttachedToBottom()) keys.AddString("attachToBottom", "yes");
    if (shaft && !sides.empty()) {
        BaseSlab* bottom = shaft->GetParent();
        AddNumber(keys, "bottomParentId", bottom ? bottom->GetObjectId() : kNoTransactionId);
        AddNumber(keys, "bottomId", shaft->GetObjectId());
        KeyDataList* list = keys.AddSublist("SideList");
        for (size_t i = 0; i < sides.size(); ++i) {
            char name[32];
            std::snprintf(name, sizeof name, "ShaftSide%zu", i);
            sides[i]->WriteSideKeys(*list->AddSublist(name));
        }
    }
}

bool Skylight::ReadKeyData(KeyDataList& keys) {
    const bool result = AsymmetricSlabObject::ReadKeyData(keys);
    double value = 0.0;
    if (ReadFiniteDouble(keys, "minAngle", value)) minAngle = value;
    if (ReadFiniteDouble(keys, "maxAngle", value)) maxAngle = value;
    TransactionId id = kNoTransactionId;
    if (ReadObjectId(keys, "id", id)) SetObjectId(id);
    bool typeRead = false;
    if (ReadFiniteDouble(keys, "shaftType", value)) {
        const int type = static_cast<int>(value);
        if (value == 0.0 || (type >= static_cast<int>(kPerpendicularToRoof) &&
                             type <= static_cast<int>(kFlared) && value == type)) {
            shaftType = type;
            typeRead = true;
        } else {
            theTrace().WriteFormat("Skylight: shaft type %g ignored", value);
        }
    }
    // A record that says "no shaft" (an undone creation, a redone deletion) takes it away.
    if (typeRead && shaftType == 0 && (shaft || !sides.empty())) DeleteShaft();

    // The bottom first, so that the sides are read for a hole that is this skylight's.
    TransactionId bottomId = kNoTransactionId;
    BaseControl* control = theControl();
    if (ReadObjectId(keys, "bottomParentId", id) && ReadObjectId(keys, "bottomId", bottomId) &&
        control) {
        auto* bottom = dynamic_cast<BaseSlab*>(FindObjectByTransactionId(control->scene, id));
        ShaftHole* found = nullptr;
        if (bottom) {
            for (LinkedListObject* node = bottom->GetHoleList().GetHead(); node && !found;
                 node = node->GetNext()) {
                auto* hole = dynamic_cast<ShaftHole*>(node);
                if (hole && hole->GetObjectId() == bottomId) found = hole;
            }
        }
        if (found && (!found->GetSkylight() || found->GetSkylight() == this)) {
            if (found != shaft) {
                if (shaft) ForgetShaftHole(shaft);
                shaft = found;
                found->SetSkylight(this);
            }
        } else if (!found) {
            TraceWrite("Skylight: the shaft's bottom was not found");
        }
    }
    KeyDataList* sideList = keys.GetSublist("SideList");
    // Sides are read only for this skylight's own hole: a copy's keys name the hole of
    // the skylight it was copied from.
    const bool ownsHole = shaft && shaft->GetSkylight() == this;
    if (sideList && !sideList->IsEmpty() && ownsHole) {
        if (opening.GetOutline().GetCount() == 0) {
            pendingSideList = std::make_unique<KeyDataList>();
            pendingSideList->AppendCopiesOf(*sideList);
        } else {
            LoadSides(*sideList);
        }
    }
    if (shaft) shaft->MarkDirty();
    return result;
}

void Skylight::WriteObjectInformation(std::string& buffer) {
    char text[160];
    std::snprintf(text, sizeof text, "<inslab type=\"%s\" area=\"%f\">", "skylight",
                  opening.GetArea());
    buffer += text;
    WriteModelXml(buffer, startPoint.y);
    if (shaft && !sides.empty()) {
        double total = 0.0;
        for (ShaftSide* side : sides) total += side->GetArea();
        std::snprintf(text, sizeof text, "<shaft area=\"%3.2f\" thickness=\"%3.4f\">", total,
                      sides.front()->GetThickness());
        buffer += text;
        sides.front()->WriteSurfaceXml(buffer, nullptr);
        struct ListOf {
            const char* name;
            LinkedList& (BaseSlab::*list)();
            uint64_t filter;
        };
        const ListOf lists[] = {{"holeList", &BaseSlab::GetHoleList, TypeBit::kShaftHole},
                                {"onSlabList", &BaseSlab::GetOnSlabList, 0},
                                {"moldingList", &BaseSlab::GetMoldingList, 0},
                                {"inSlabList", &BaseSlab::GetInSlabList, 0},
                                {"coveringList", &BaseSlab::GetCoveringList, 0}};
        for (const ListOf& l : lists) {
            buffer += "<";
            buffer += l.name;
            buffer += ">";
            for (ShaftSide* side : sides)
                side->WriteChildListXml((side->*l.list)(), "", buffer, l.filter);
            if (std::string(l.name) == "coveringList")
                for (size_t i = 1; i < sides.size(); ++i)
                    sides[i]->WriteSurfaceXml(buffer, sides.front());
            buffer += "</";
            buffer += l.name;
            buffer += ">";
        }
        buffer += "</shaft>";
    }
    buffer += "</inslab>";
}
