#include "slabs/ParametricInSlabObject.h"

#include <cmath>

#include "control/BaseControl.h"
#include "foundation/KeyDataList.h"
#include "foundation/Trace.h"
#include "platform/Menu.h"
#include "render/Material.h"
#include "slabs/SlabHole.h"

ParametricInSlabObject::ParametricInSlabObject(SlabHole* hole, int objectKind)
    : parentHole(hole), kind(objectKind) {}

ParametricInSlabObject::~ParametricInSlabObject() = default;

const BoundingBox& ParametricInSlabObject::GetBoundingBox() const {
    return parentHole ? parentHole->GetBoundingBox() : box;
}

void ParametricInSlabObject::AndFlags(uint32_t mask) {
    if (parentHole) parentHole->AndFlags(mask);
}

uint32_t ParametricInSlabObject::GetFlags() const {
    return parentHole ? parentHole->GetFlags() : 0;
}

bool ParametricInSlabObject::IsVisibleInCurrentWindow() const {
    return parentHole && parentHole->IsVisibleInCurrentWindow();
}

void ParametricInSlabObject::SetFlags(uint32_t word) {
    if (parentHole) parentHole->SetFlags(word);
}

void ParametricInSlabObject::UpdateWindowVisibility() {
    if (parentHole) parentHole->UpdateWindowVisibility();
}

bool ParametricInSlabObject::IsInWindowView(SceneView& view) {
    return parentHole && parentHole->IsInWindowView(view);
}

void ParametricInSlabObject::SaveFlags() {
    if (parentHole) parentHole->SaveFlags();
}

void ParametricInSlabObject::RestoreFlags() {
    if (parentHole) parentHole->RestoreFlags();
}

void ParametricInSlabObject::WriteKeyData() {
    delete element;
    element = new KeyDataSublist("paramInSlab");
    WriteKeysInto(*element->GetChildren());
}

bool ParametricInSlabObject::ReadKeyData(KeyDataList&) {
    return true;
}

void ParametricInSlabObject::AppendMenuEntries(platform::Menu&) {}

void ParametricInSlabObject::RefreshFromHole() {}

void ParametricInSlabObject::WriteHidden(KeyDataList& element) const {
    element.AddDouble("hidden", hidden ? 1.0 : 0.0);
}

void ParametricInSlabObject::ReadHidden(const KeyDataList& element) {
    bool flag = false;
    if (element.GetBool("hidden", flag)) hidden = flag ? 1 : 0;
}

void ParametricInSlabObject::LoadPartMaterial(KeyDataList& keys, const char* name,
                                              Material& material) {
    KeyDataList* part = keys.GetSublist(name);
    if (!part || part->IsEmpty()) return;
    material.ReadKeyData(*part->GetSublist("Material"), false);
}

void ParametricInSlabObject::WriteMaterialXml(std::string& buffer, Material& material,
                                              const char* name, double area) {
    material.WriteXML(buffer, name, false, std::isfinite(area) ? area : 0.0);
}

void ParametricInSlabObject::LoadCatalogueMaterial(Material& material, const char* path) {
    BaseControl* control = theControl();
    if (!control || !control->GetContentDomain()[0]) return;
    char address[BaseControl::kPathSize] = {};
    control->AttachPathToDomain(path, address, sizeof address);
    if (address[0]) material.LoadFromURL(address);
}
