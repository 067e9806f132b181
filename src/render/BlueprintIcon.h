#pragma once

#include <cstdint>

#include "model/ObjectTypes.h"
#include "model/PickableObject.h"

class BaseModel;
class Bitmap;

// The flat picture a model shows in the blueprint view in place of its parts: a white
// textured quad over the model's box at its mid-height. The picture is shared through
// the control's texture list.
class BlueprintIcon : public PickableObject {
public:
    // The picture of `url` (shared when the texture list has it, else loaded); an empty
    // address gives an icon without a picture.
    BlueprintIcon(const char* url, BaseModel* owner);
    ~BlueprintIcon() override;

    uint64_t GetTypeMask() const override { return TypeMask::kBlueprintIconObject; }

    // Draws the quad with the owner's scale; a picture still loading (no texture size
    // yet) draws nothing.
    void Draw();

    Bitmap* GetPicture() const { return picture; }
    double GetS() const { return s; }
    double GetT() const { return t; }

private:
    // s and t from the picture's size; false while it has none.
    bool TakeExtents();

    // Owned by the texture list.
    Bitmap* picture = nullptr;
    BaseModel* owner;
    double s = 1.0;
    double t = 1.0;
};
