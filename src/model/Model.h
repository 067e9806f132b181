#pragma once

#include <cstdint>
#include <string>

#include "model/BaseModel.h"
#include "model/PlacedObject.h"

class FitPointReader;
class KeyDataList;

// Command ids of a placed model's own menu.
namespace ModelMenuCommand {
constexpr uint32_t kDelete = 104;
constexpr uint32_t kSnapTo = 208;
}  // namespace ModelMenuCommand

// A catalogue model standing free in the scene: a top-level object (hide, lock) that can
// be rotated, moved and snapped, and that keeps the eight corners of its box in world
// space (position, rotation about the box's mid-height, and scale), recomputed by
// Refresh. It is what plans' "Model" elements and dropped catalogue items become, and
// what groups hold.
class Model : public PlacedObject<BaseModel> {
public:
    Model();
    ~Model() override;

    uint64_t GetTypeMask() const override { return TypeMask::kModelObject; }
    uint64_t GetStateTypeMask() const override { return TypeMask::kModelObject; }

    void BuildPropertyMenu(platform::Menu& menu) override;
    bool ProcessPropertyMenu(uint32_t id) override;

    // A copy through the key data with its own geometry read again; see Clone (bool, bool).
    RenderableObject* Clone() override;
    // Under the render lock: with `offset` the copy stands one box width further along x;
    // with `addToScene` it is appended to the scene.
    Model* Clone(bool offset, bool addToScene);

    void Render() override;
    // A hidden model is never shown.
    bool IsShownInCurrentView() override;
    void UpdateVisibility() { IsShownInCurrentView(); }

    // BaseModel's keys, then "Position", "RotationMatrix", "Locked", "canBeSnappedTo"
    // and "lockCodes".
    void WriteKeyData() override;
    bool ReadKeyData(KeyDataList& keys) override;
    // "LOCKED (right click to unlock)" for a locked model; else the sizes.
    void UpdateTitle() override;
    void WriteObjectInformation(std::string& buffer) override;

    // Whether a material with these keys may go on the model: always without lock codes
    // of its own; otherwise only when a value of the keys' "lockCodes" matches one of
    // the model's (ignoring case). Never for empty keys.
    bool AcceptsLockCodes(const KeyDataList& keys) const;
    bool HasLockCodes() const override;
    KeyDataList* GetLockCodes() const { return lockCodes; }

    virtual void DrawResizeHandles(int size);
    virtual void DrawRotateHandles(double size);

    // Pick names of the handles: the resize handles and the marker stand for the model,
    // a rotate cone for its rotation handle.
    uint32_t GetResizeHandleName() { return resizeHandleName.Get(); }
    uint32_t GetRotateHandleName(int axis) { return handles[axis].GetPickName(); }

protected:
    // An empty object of this model's own class, which copies read their keys into.
    virtual Model* NewOfSameKind() const { return new Model; }

    // Owned; null until the model has codes.
    KeyDataList* lockCodes = nullptr;

private:
    PickAlias resizeHandleName{this};
};

// The reader that lets the fit of a view see models (the corners of their world box); it
// is registered with the views when the program starts.
const FitPointReader& ModelFitPointReader();
