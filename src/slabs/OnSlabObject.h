#pragma once

#include <cstdint>
#include <string>

#include "slabs/SlabChildModel.h"

class Part;

// A catalogue object resting on one of the two large faces of a slab: a picture on a
// wall, a rug on a floor, a lamp under a ceiling, a chimney on a roof. It lies either
// with its own normal turned onto the face normal, or upright to the ground (then a
// support prism joins it to a sloping face), may be turned within the face, snaps to
// the parent's grid and to its neighbours, and refuses every change that would let it
// stick out of its face.
class OnSlabObject : public SlabChildModel {
public:
    // perpToGround: the model's normal onto the face normal, or upright.
    static constexpr int kPerpNone = 0;
    static constexpr int kPerpDown = 1;
    static constexpr int kPerpUp = 2;
    // How near a neighbour's corner must come to snap to it.
    static constexpr double kNeighbourSnap = 6.0;

    OnSlabObject() = default;
    ~OnSlabObject() override;

    uint64_t GetTypeMask() const override { return TypeMask::kOnSlabObject; }
    uint64_t GetStateTypeMask() const override { return TypeMask::kOnSlabObject; }

    // The face the object rests on: the outside surface gives normal (0, 0, -1) and side
    // 1001, any other (0, 0, 1) and 1000.
    void SetSurface(const Part* surface);
    bool IsSide1000() const { return side == 1000; }
    int GetSide() const override { return side; }
    int GetPerpToGround() const { return perpToGround; }
    void SetPerpToGround(int mode);
    bool StandsUpright() const override { return perpToGround != kPerpNone; }

    // Selection box, pivot on the parent, support prism and world corners after any
    // change of place; the display list is compiled again before the next drawing.
    void UpdatePlacement();
    // The eight corners of the box in the world (only with a parent).
    void Refresh() override;

    bool ProcessPropertyMenu(uint32_t id) override;
    // A copy through the key data (its geometry read again); see Clone (bool, bool).
    RenderableObject* Clone() override;
    // Under the render lock: with `attach` the parent takes the copy. With `offset` this
    // object moves one box width (plus 3) across the face, to the other side when that
    // place is not valid; when neither is, it goes back, the copy is taken out and freed
    // and the answer is null.
    OnSlabObject* Clone(bool offset, bool attach);
    RenderableObject* CloneChild(bool offset, bool attach) override { return Clone(offset, attach); }
    void Render() override;
    void Translate(const Vector& delta) override;
    void MoveBy(const Vector& delta) override;
    bool IsPositionValid() override;
    bool IsOnParentSurface() override;

    void WriteKeyData() override;
    bool ReadKeyData(KeyDataList& keys) override;
    void WriteObjectInformation(std::string& buffer) override;

    // -1 and the sizes kept when the new ones push the object off its face.
    int SetDimensions(double x, double y, double z) override;
    // False, the scale kept, for a factor that is not a positive number or that pushes
    // the object off its face.
    bool SetScale(double factor) override;
    // The model's grip resize, taken back when the object then sticks out.
    void DragSizeGrip(const Vector& start, Vector& previous, const Vector& current,
                      int& axisChoice, bool vertical);

    void PlaceAtPoint(const Vector& point, bool snap) override;
    void DragToScreenPoint(int x, int y) override;
    bool SnapToNeighbours(double distance) override;
    void OnCtrlDrag(double dx, double dy) override;
    void UpdateHighlight() override;
    void DragPoint(int x, int y, int previousX, int previousY, int hits, const Vector& grabOffset,
                   bool constrain, int axisMode) override;
    void SetParent(BaseSlab* slab) override;
    void SetRotation(double degrees) override;
    void AddRotation(double degrees) override;

    // The eight world corners projected along the face normal onto the face, corners
    // that fall within 0.5 of one taken already left out; up to four points in `out`,
    // answers how many.
    int ComputeFootprint(Vector out[4]) const;
    // The offset to the nearest corner of a neighbour on the same side within `distance`;
    // false when none lies that near.
    bool FindSnapOffset(double distance, Vector& offset);
    const Vector* GetSupportPrism() const { return supportPrism; }
    const Vector* GetWorldCorners() const { return worldCorners; }

private:
    void BuildSupportPrism();
    void DrawSupportPrism();
    void BeginPrismMask();
    void EndPrismMask();
    // The parent's face normal and thickness; (0, 0, 1) and 0 without a parent.
    Vector FaceNormal() const;
    double ParentThickness() const;
    // The face point under window point (x, y); false when the ray misses.
    bool FacePointUnder(int x, int y, Vector& out) const;

    int side = 1000;
    int perpToGround = kPerpNone;
    Vector supportPrism[8];
    // Set once the validity test has taken the model's box as its outline.
    bool outlineTaken = false;
    // While the geometry of a child read from a plan is fetched.
    bool readingGeometry = false;
};

// A new, empty on-slab object for the slab's loader.
RenderableObject* MakeOnSlabObject();
