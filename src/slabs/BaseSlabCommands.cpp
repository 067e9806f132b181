// What a slab does for the user around it: the pop-up commands, the property dialog and
// the slab's piece of the bill of materials.

#include <cmath>
#include <cstdio>
#include <string>

#include "control/BaseControl.h"
#include "control/dialogs/MoldingPropertyDialog.h"
#include "control/dialogs/SlabCoveringPropertyDialog.h"
#include "foundation/KeyDataList.h"
#include "foundation/Trace.h"
#include "interaction/MouseHandler.h"
#include "platform/Menu.h"
#include "render/Window.h"
#include "slabs/BaseSlab.h"

namespace {

constexpr uint32_t kProperties = 102;
constexpr uint32_t kMakeDefault = 103;
constexpr uint32_t kDelete = 104;
constexpr uint32_t kToggleGrid = 601;
constexpr int kNotifyAddData = 10;

bool Contains(const std::string& text, const char* part) {
    return text.find(part) != std::string::npos;
}

const char* SurfaceWord(int surface) {
    switch (surface) {
        case BaseSlab::kInsideSurface:
            return "Inside";
        case BaseSlab::kOutsideSurface:
            return "Outside";
        case BaseSlab::kEdgeSurface:
            return "Edge";
        default:
            return nullptr;
    }
}

}  // namespace

int BaseSlab::PickedSurface() const {
    BaseControl* control = theControl();
    return control ? control->globalState.GetInteger(4) : 0;
}

void BaseSlab::BuildPropertyMenu(platform::Menu& menu) {
    BaseControl* control = theControl();
    Window* window = control ? control->activeWindow : nullptr;
    PickableObject* picked = window ? window->GetPickedObject(1) : nullptr;
    int surface = 0;
    if (picked == &insideSurface)
        surface = kInsideSurface;
    else if (picked == &outsideSurface)
        surface = kOutsideSurface;
    else if (picked && picked->HasType(TypeBit::kOutlineEdge | TypeBit::kHole))
        surface = kEdgeSurface;
    if (control) control->globalState.SetInteger(4, surface);
    (void)menu;
}

bool BaseSlab::ProcessPropertyMenu(uint32_t id) {
    if (OnCommand(id)) return true;
    BaseControl* control = theControl();
    StateObject* target = control ? control->currentStateObject : nullptr;
    auto* targetObject = dynamic_cast<PickableObject*>(target);
    if (target == static_cast<StateObject*>(this) && SizeableObject::ProcessPropertyMenu(id))
        return true;
    switch (id) {
        case kProperties:
            if (targetObject && targetObject->HasType(TypeBit::kCovering)) {
                BeginUndoStep();
                SlabCoveringPropertyDialog dialog(dynamic_cast<DialogOwner*>(target));
                dialog.Show();
                EndUndoStep();
            } else if (targetObject && targetObject->HasType(TypeBit::kMolding)) {
                BeginUndoStep();
                MoldingPropertyDialog dialog(dynamic_cast<DialogOwner*>(target));
                dialog.Show();
                EndUndoStep();
            } else if (targetObject && targetObject != this &&
                       targetObject->HasType(TypeBit::kModel)) {
                if (auto* model = dynamic_cast<SelectableObject*>(targetObject))
                    model->ProcessPropertyMenu(kProperties);
            } else {
                BeginUndoStep();
                ShowPropertyDialog();
                EndUndoStep();
            }
            return true;
        case kMakeDefault:
            if (targetObject && targetObject != this && targetObject->HasType(TypeBit::kCovering)) {
                if (auto* covering = dynamic_cast<StateObject*>(targetObject)) {
                    (void)covering;
                    theTrace().Write("Covering defaults are kept by the covering");
                }
            } else {
                CommitState();
            }
            RecomputeBounds();
            return true;
        case kDelete: {
            if (!control) return true;
            control->LockRender();
            control->ReleaseHandles();
            if (RemoveFromList(control->scene)) {
                // The step begun for the command closes on the slab, which the render
                // thread then destroys; never deleted here, in its own handler.
                EndUndoStep();
                control->RebuildDisplayData();
                theTrace().Write("dBS");
                control->deletedObjects.Append(this);
                theTrace().Write("edbs");
            }
            control->UnlockRender();
            return true;
        }
        case kToggleGrid:
            gridShown = gridShown ? 0 : 1;
            RecomputeBounds();
            return true;
        default:
            if (id >= 900 && id <= 906) {
                RecomputeBounds();
                return true;
            }
            return SelectableObject::ProcessPropertyMenu(id);
    }
}

void BaseSlab::ShowPropertyDialog() {
    BaseSlabPropertyDialog dialog(this);
    dialog.Show();
}

void BaseSlab::InitDialog(Dialog* dialog) {
    auto* slabDialog = dynamic_cast<BaseSlabPropertyDialog*>(dialog);
    if (!slabDialog) return;
    slabDialog->SetTitle(PropertyDialogTitle());
    const int surface = PickedSurface();
    const char* word = SurfaceWord(surface);
    const std::string kind = PropertyDialogKind();
    if (word) {
        slabDialog->SetItemText(299, kind + " Properties - " + word);
        slabDialog->SetItemText(333, std::string("Material Properties - ") + word);
        slabDialog->SetItemText(334, kind + " Label - " + word);
    }
    slabDialog->SetThickness(thickness);
    slabDialog->SetHeight(box.max.y - box.min.y);
    if (Part* part = GetSurface(surface); part && part->material) {
        const Material& material = *part->material;
        slabDialog->scale = Vector(material.granularity.x, material.granularity.y, 0.0);
        slabDialog->reflectivity = 100.0 - 100.0 * material.opacity;
        const char* catalogue = material.GetMaterialURL();
        slabDialog->materialName = catalogue && catalogue[0] ? catalogue : material.GetTextureURL();
    }
    std::vector<std::pair<std::string, std::string>> pairs;
    if (const KeyDataList* info = GetInformation()) {
        for (BaseKeyDataElement* m = info->GetFirstMember(); m; m = m->GetNextMember())
            if (m->IsElement())
                pairs.emplace_back(m->GetName(), static_cast<KeyDataElement*>(m)->Value());
    }
    slabDialog->SetDataPairs(pairs);
}

int BaseSlab::OnDialogNotify(Dialog* dialog, int code) {
    auto* slabDialog = dynamic_cast<BaseSlabPropertyDialog*>(dialog);
    if (!slabDialog) return SizeableObject::OnDialogNotify(dialog, code);
    if (code == 1) {
        SetThickness(slabDialog->thickness);
        Part* part = GetSurface(PickedSurface());
        if (part && part->material) {
            Material& material = *part->material;
            const std::string& name = slabDialog->materialName;
            if (Contains(name, ".3c_")) {
                material.LoadFromURL(name.c_str());
            } else {
                if (!name.empty()) material.SetTextureURL(name.c_str(), true);
                material.opacity = 1.0 - slabDialog->reflectivity * 0.01;
                material.transparent = material.opacity < 1.0 ? 1 : 0;
                material.granularity.x = slabDialog->scale.x;
                material.granularity.y = slabDialog->scale.y;
            }
            material.modulateTexture = 1;
        }
        MarkDirty();
    } else if (code == kNotifyAddData) {
        if (!slabDialog->label.empty()) {
            SetInformationValue(slabDialog->label.c_str(), slabDialog->name.c_str());
            InitDialog(dialog);
        }
    }
    return 0;
}

// ---- Bill of materials ------------------------------------------------------------------

void BaseSlab::WriteChildListXml(LinkedList& list, const char* name, std::string& buffer,
                                 uint64_t filter) {
    const bool named = name && name[0];
    if (named) buffer += std::string("<") + name + ">";
    for (LinkedListObject* node = list.GetHead(); node; node = node->GetNext()) {
        auto* child = dynamic_cast<UndoableObject*>(node);
        if (!child) continue;
        if (filter && child->HasType(filter)) continue;
        child->WriteObjectInformation(buffer);
    }
    if (named) buffer += std::string("</") + name + ">";
}

void BaseSlab::WriteSlabXml(std::string& buffer) {
    BaseControl* control = theControl();
    char text[160];
    std::snprintf(text, sizeof text, " area=\"%3.2f\" thickness=\"%3.4f\" height=\"%3.4f\">",
                  GetArea(), thickness, box.min.y);
    buffer += text;
    const double area = GetArea();
    insideSurface.material->WriteXML(buffer, "insidesurface", true, area);
    outsideSurface.material->WriteXML(buffer, "outsidesurface", true, area);
    edgeSurface.material->WriteXML(buffer, "edgesurface", true,
                                   outline.GetPerimeter(true) * thickness);
    (void)control;
    WriteObjectInformationXml(buffer, GetInformation());
    WriteChildListXml(holeList, "holeList", buffer, TypeBit::kShaftHole);
    WriteChildListXml(onSlabList, "onSlabList", buffer, 0);
    WriteChildListXml(moldingList, "moldingList", buffer, 0);
    WriteChildListXml(inSlabList, "inSlabList", buffer, 0);
    WriteChildListXml(coveringList, "coveringList", buffer, 0);
    buffer += "<nodeList>";
    const OutlinePoint* nodes = outline.GetPrimaryPoints();
    for (int i = 0; i < outline.GetPrimaryCount(); ++i) {
        const Vector& p = nodes[i].position;
        std::snprintf(text, sizeof text, "<node coord=\"%3.4f,%3.4f,%3.4f\"/>", p.x, p.y, p.z);
        buffer += text;
    }
    buffer += "</nodeList>";
}

void BaseSlab::WriteObjectInformation(std::string& buffer) {
    WriteSlabXml(buffer);
}
