#pragma once

#include <cstdint>
#include <string>

#include "foundation/SerializableObject.h"
#include "model/ObjectTypes.h"
#include "model/RenderableObject.h"

class KeyDataList;
class Material;
class SlabHole;
namespace platform {
class Menu;
}

// A door leaf or window frame that fills a hole and takes its shape from the hole's
// outline. Its box, flags and visibility are its hole's. A hidden object stays with its
// hole and is saved, but draws nothing.
class ParametricInSlabObject : public RenderableObject, public SerializableObject {
public:
    static constexpr int kWindowFrame = 1;
    static constexpr int kDoorLeaf = 2;

    ParametricInSlabObject(SlabHole* hole, int kind);
    ~ParametricInSlabObject() override;

    uint64_t GetTypeMask() const override { return TypeMask::kParametricInSlabObject; }

    const BoundingBox& GetBoundingBox() const override;
    void AndFlags(uint32_t mask) override;
    uint32_t GetFlags() const override;
    bool IsVisibleInCurrentWindow() const override;
    void SetFlags(uint32_t word) override;
    void UpdateWindowVisibility() override;
    bool IsInWindowView(SceneView& view) override;
    void SaveFlags() override;
    void RestoreFlags() override;
    // Follows its hole; nothing of its own to move.
    void Translate(const Vector&) override {}
    void WriteKeyData() override;

    virtual void BuildDisplayLists() = 0;
    // Reads the kind's own sublist (nothing without it); the base reads "hidden" there.
    virtual bool ReadKeyData(KeyDataList& keys);
    virtual void AppendMenuEntries(platform::Menu& menu);
    // After the hole made or reshaped it.
    virtual void RefreshFromHole();
    // The kind's bill-of-materials element, given the hole's reveal material and area.
    virtual void WriteXml(std::string& buffer, Material& reveal, double revealArea) = 0;
    // The kind's element ("ParametricWindow", "ParametricDoor") with its keys and
    // "hidden", added to `keys`.
    virtual void WriteKeysInto(KeyDataList& keys) = 0;

    int GetKind() const { return kind; }
    bool IsHidden() const { return hidden != 0; }
    void SetHidden(bool flag) { hidden = flag ? 1 : 0; }
    SlabHole* GetHole() const { return parentHole; }

protected:
    // "hidden" into the kind's element; read back from it.
    void WriteHidden(KeyDataList& element) const;
    void ReadHidden(const KeyDataList& element);
    // Material keys of a part from a sublist, when present.
    static void LoadPartMaterial(KeyDataList& keys, const char* name, Material& material);
    // The material's bill-of-materials element with `area` as the control's material
    // area (reset afterwards).
    static void WriteMaterialXml(std::string& buffer, Material& material, const char* name,
                                 double area);
    // A catalogue material of the content domain, fetched now or in the background.
    static void LoadCatalogueMaterial(Material& material, const char* path);

    SlabHole* parentHole;
    uint8_t hidden = 0;
    int kind;
};
