#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "slabs/SlabChildModel.h"
#include "slabs/SlabHole.h"

// A catalogue door or window (or any model marked as one) set into a slab: a wall, a
// floor or ceiling, a counter or a roof plane. It owns the opening it cuts; the opening is
// never edited by hand but rebuilt from the model's footprint, scale, turn and facing on
// every change, and it stands for the object everywhere else: its box, its flags, its
// picking. Openings of neighbours that touch can be joined, so that no reveal is drawn
// between them, and a door standing on the bottom of a wall has no reveal under its sill.
class InSlabObject : public SlabChildModel {
public:
    static constexpr int kUnknown = 0;
    static constexpr int kWindow = 1;
    static constexpr int kDoor = 2;
    static constexpr int kMaxJoins = 9;
    static constexpr uint32_t kFaceOtherSide = 404;
    // How near a neighbour's corner must come to join it.
    static constexpr double kNeighbourSnap = 6.0;

    InSlabObject();
    // Breaks every join first.
    ~InSlabObject() override;

    uint64_t GetTypeMask() const override { return TypeMask::kInSlabObject; }
    uint64_t GetStateTypeMask() const override { return TypeMask::kInSlabObject; }

    void BuildPropertyMenu(platform::Menu& menu) override;
    // 404 turns the model to face the other side; after 404 or 1202 the opening is rebuilt.
    bool ProcessPropertyMenu(uint32_t id) override;
    // A copy of this object's own class; see Clone (bool, bool).
    RenderableObject* Clone() override;
    // Under the render lock: with `attach` the parent takes the copy. With `offset` this
    // object moves one model width (plus 3) across the face, to the other side when that
    // place is not valid; when neither is, it goes back, the copy is taken out and freed
    // and the parent slab is answered in its place.
    RenderableObject* Clone(bool offset, bool attach);
    // A new, empty object of this object's own class, for copies.
    virtual InSlabObject* NewOfSameKind() const { return new InSlabObject; }
    RenderableObject* CloneChild(bool offset, bool attach) override { return Clone(offset, attach); }
    void Render() override;

    // The object's box, flags, visibility and centre are its opening's.
    const BoundingBox& GetBoundingBox() const override { return opening.GetBoundingBox(); }
    void AndFlags(uint32_t mask) override { opening.AndFlags(mask); }
    uint32_t GetFlags() const override { return opening.GetFlags(); }
    bool IsVisibleInCurrentWindow() const override { return opening.IsVisibleInCurrentWindow(); }
    void SetFlags(uint32_t word) override { opening.SetFlags(word); }
    void UpdateWindowVisibility() override { opening.UpdateWindowVisibility(); }
    bool IsInWindowView(SceneView& view) override { return opening.IsInWindowView(view); }
    void SaveFlags() override { opening.SaveFlags(); }
    void RestoreFlags() override { opening.RestoreFlags(); }

    void MarkDirty() override;
    void Translate(const Vector& delta) override;
    void MoveBy(const Vector& delta) override;
    bool IsPositionValid() override;
    bool IsOnParentSurface() override;
    void SetParent(BaseSlab* slab) override;
    void SetRotation(double degrees) override;
    void AddRotation(double degrees) override;

    void WriteKeyData() override;
    bool ReadKeyData(KeyDataList& keys) override;
    void WriteObjectInformation(std::string& buffer) override;

    // -1 and the sizes kept when the new ones push the opening off its face.
    int SetDimensions(double x, double y, double z) override;
    // False, the scale kept, for a factor that is not a positive number or that pushes
    // the opening off its face.
    bool SetScale(double factor) override;
    void Refresh() override {}
    int OnDownloadComplete() override;

    void PlaceAtPoint(const Vector& point, bool snap) override;
    void DragToScreenPoint(int x, int y) override;
    bool SnapToNeighbours(double distance) override;
    void OnCtrlDrag(double dx, double dy) override;
    void UpdateHighlight() override;
    void DragPoint(int x, int y, int previousX, int previousY, int hits, const Vector& grabOffset,
                   bool constrain, int axisMode) override;

    // The opening stands in for the object in the slab's drawing.
    SlabHole* GetOpening() override { return &opening; }
    void RenderOpening() override;
    void RenderReveal(bool embedded) override;
    bool HasOpeningOutline() const override { return opening.GetOutline().GetCount() > 0; }

    // The opening from the footprint, placed on the parent's face.
    virtual void BuildOpening();
    // After every change of place, size, turn or facing: the opening, the placement box
    // and the pivot on the parent.
    void RefreshPlacement();
    // The height a door dropped into a wall at `y` stands at: 0.1 below the nearest of the
    // wall's bottom (plus 1), the scene's floor tops and the storey's floor that leaves it
    // below the wall's top. -1 for anything but a door in a wall.
    double FindDoorSillHeight(double y) const;
    // The opening's bottom above the highest floor under it within its wall.
    double GetHeightAboveFloor() const;

    // The footprint in the model's own frame: the outline its description gives, else
    // its box seen from the front.
    std::vector<Vector> Footprint() const;
    void SetFootprint(std::vector<Vector> points);

    bool Join(InSlabObject* other);
    void Unjoin(InSlabObject* other);
    void RemoveAllJoins();
    int JoinCount() const;
    InSlabObject* GetJoined(int i) const { return i >= 0 && i < kMaxJoins ? joined[i] : nullptr; }

    int GetInSlabType() const { return inslabType; }
    void SetInSlabType(int type) { inslabType = (type == kDoor || type == kWindow) ? type : kUnknown; }
    bool IsInverted() const { return invertDirection != 0; }
    void SetInverted(bool flag);
    double GetAlignmentAngle() const { return alignment; }
    SlabHole& Opening() { return opening; }
    // The edges with no reveal face, ascending.
    const std::vector<int>& GetSuppressedEdges() const { return suppressedEdges; }

protected:
    // Writes the keys of every slab child model (no in-slab keys); for the kinds with a
    // marker of their own.
    void WriteModelKeys() { SlabChildModel::WriteKeyData(); }
    bool ParentIsWall() const;
    bool IsDoorInWall() const { return inslabType == kDoor && ParentIsWall(); }
    void UpdateSharedEdges();
    void MarkDoorSillEdges();
    Vector FaceNormal() const;
    double ParentThickness() const;

    uint8_t invertDirection = 0;
    double alignment = 0.0;
    SlabHole opening{true};
    InSlabObject* joined[kMaxJoins] = {};
    std::vector<int> suppressedEdges;
    int inslabType = kUnknown;
    std::vector<Vector> footprint;
};

// A door or window whose model belongs against one face of its parent rather than in the
// middle of its thickness: a roof window set from outside, a unit under a ceiling.
class AsymmetricSlabObject : public InSlabObject {
public:
    AsymmetricSlabObject() = default;

    uint64_t GetTypeMask() const override { return TypeMask::kAsymmetricSlabObject; }
    uint64_t GetStateTypeMask() const override { return TypeMask::kAsymmetricSlabObject; }

    // Draws the model pushed half the parent's thickness towards its face.
    void RenderOnParent(double handleScale) override;
    void WriteKeyData() override;
    bool ReadKeyData(KeyDataList& keys) override;
    // A copy of this class.
    RenderableObject* Clone() override;
    InSlabObject* NewOfSameKind() const override { return new AsymmetricSlabObject; }

    // When dropped on its parent: faces the viewer on a wall, and the lower face on a
    // slab whose normal points down.
    void UpdatePlacement();
    // The offset along the model's z axis at which it is drawn.
    double FaceOffset() const;

    bool IsAttachedToBottom() const { return attachToBottom != 0; }
    void SetAttachToBottom(bool flag) { attachToBottom = flag ? 1 : 0; }

private:
    uint8_t attachToBottom = 0;
};

// New, empty objects for the slab's loader.
RenderableObject* MakeInSlabObject();
RenderableObject* MakeAsymmetricSlabObject();
