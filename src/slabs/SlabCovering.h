#pragma once

#include <GL/gl.h>

#include <cstdint>
#include <string>

#include "control/dialogs/DialogOwner.h"
#include "foundation/CoveringState.h"
#include "model/ObjectTypes.h"
#include "model/Part.h"
#include "model/StateObject.h"
#include "render/Material.h"
#include "slabs/EditableSlabChild.h"

// A patch of material laid on one face of a slab (a rug, a tiled area, a painted panel),
// floating a fixed distance off the slab's middle plane and drawn with polygon offset so
// that it does not fight the face in the depth buffer. Its material settings are kept in
// a covering state of its own, which can become the default of new coverings.
class SlabCovering : public EditableSlabChild, public StateObject, public DialogOwner {
public:
    static constexpr uint32_t kMakeOvalCommand = 2051;

    // `fromPlan` clear: a new covering, with the control's covering defaults applied.
    explicit SlabCovering(bool fromPlan = true);
    ~SlabCovering() override;

    uint64_t GetTypeMask() const override { return TypeMask::kSlabCovering; }
    uint64_t GetStateTypeMask() const override { return TypeMask::kSlabCovering; }

    void BuildPropertyMenu(platform::Menu& menu) override;
    bool ProcessPropertyMenu(uint32_t id) override;
    void ShowPropertyDialog() override;
    // A copy on the same face; with `offset` beside this one, or discarded (the slab is
    // answered) when it fits on neither side.
    RenderableObject* Clone() override;
    RenderableObject* Clone(bool offset);
    void Render() override;
    void Translate(const Vector& offset) override;
    void MoveBy(const Vector& offset) override;
    bool IsPositionValid() override;
    bool IsOnParentSurface() override;
    // The point's two coordinates in the covering's plane.
    Vector GetSurfaceCoordinate(const Vector& point) const;

    void WriteKeyData() override;
    bool ReadKeyData(KeyDataList& keys) override;
    void WriteObjectInformation(std::string& buffer) override;

    void ComputeNormal() override;
    void DrawOutlineHandles() override;

    // ---- settings ----
    void ApplyState() override;
    BaseParameterState* GetState() override { return &settings; }
    int OnDialogNotify(Dialog* dialog, int code) override;
    void InitDialog(Dialog* dialog) override;
    void StoreToState();
    void MakeDefault();
    void ApplyStateFrom(const BaseParameterState& state);

    // The covering on a face: the corners moved off the middle plane by `offsetValue`
    // along `faceNormal`, in the order that runs with it. False for a locked slab or
    // corners without area.
    bool Define(const Vector* points, int count, const Vector& faceNormal, double offsetValue,
                BaseSlab* slab);
    // The slab's thickness changed: the covering keeps to its side, `size` off the
    // middle plane.
    void SetOffset(double size) override;
    void MakeOval();

    double GetOffset() const { return offset; }
    Material& GetMaterial() { return material; }
    Part& GetSurface() { return surface; }
    bool IsFlipped() const { return flipped; }

private:
    // The name the state keeps for the material: its catalogue path or texture.
    std::string MaterialName() const;
    // A material name: a catalogue path (".3c_") is loaded, anything else is a texture.
    void TakeMaterialName(const std::string& name);
    void FreeLists();

    CoveringState settings;
    Material material;
    Part surface{this};
    double offset = 0.0;
    bool flipped = false;
    uint8_t listsDirty = 1;
};
