#pragma once

#include <cstdint>

#include "foundation/UndoableObject.h"
#include "geometry/Outline.h"
#include "model/ObjectTypes.h"
#include "model/TopLevelObject.h"

class Roof;

// A roof over a rectangular footprint, made of up to four roof planes.
//
// The footprint holds four nodes P0..P3, counter-clockwise seen from above. The ridge
// runs from the left peak L (at the P0/P3 end) to the right peak R (at the P1/P2 end); C
// is their midpoint. Plane 0 is the front slope [P0, L, R, P1], plane 1 the back slope
// [P2, R, L, P3], plane 2 the left hip [P3, L, P0] and plane 3 the right hip [P1, R, P2].
// An end whose peak stands on the end edge's midpoint line is a gable; pulling the peak
// in towards the other makes it a hip, and the group then makes that hip plane.
//
// The planes stand in the scene list themselves; the group points at them and writes
// them in its own element. A plane the user deleted stays gone (its allowRoof is
// cleared).
class RoofGroup : public UndoableObject, public TopLevelObject {
public:
    static constexpr int kPlanes = 4;
    static constexpr uint32_t kResetRoofEdges = 606;
    // Reach of the snapping of the footprint to wall corners and faces.
    static constexpr double kWallSnapReach = 12.0;
    static constexpr double kPitchRatio = 0.6666666666666666;

    // For plans and undo records: planes made, not in wireframe; the keys come next.
    RoofGroup();
    // A group being drawn from `point` (snapped to a wall corner within 12.0, which moves
    // the caller's point): four footprint nodes at the point, in wireframe, no planes.
    explicit RoofGroup(Vector& point);
    // A roof over the rectangle of `corners` (P0..P3, counter-clockwise from above, P0-P1
    // along the ridge) at their height, the ridge `rise` above the footprint. Each end
    // is a gable, or with `hipLeft` / `hipRight` a hip whose peak lies `hipInset` in from
    // the end. The eaves reach out by `eaveOverhang`, the left end (P0/P3) by
    // `leftOverhang` and the right end by `rightOverhang`, each lowered along the slope
    // so the planes still pass over the corners at their height. The planes are made at
    // once; the group is not in the scene yet.
    RoofGroup(const Vector corners[4], double rise, double eaveOverhang, double leftOverhang,
              double rightOverhang, bool hipLeft, bool hipRight, double hipInset);
    // Every plane it still holds forgets it.
    ~RoofGroup() override;

    uint64_t GetTypeMask() const override { return TypeMask::kRoofGroup; }
    int GetKindCode() const override { return KindCode::kRoofGroup; }
    bool IsLocked() const override { return locked != 0; }

    // ---- menu and scene ----
    void BuildPropertyMenu(platform::Menu& menu) override;
    bool ProcessPropertyMenu(uint32_t id) override;
    // Takes the planes out with the group (to the deleted list); false while locked, or
    // when a selection leaves a plane out (unless the group is selected in wireframe).
    bool RemoveFromList(LinkedList& list) override;
    bool SetSelected(bool flag) override;
    void Render() override;
    void MarkDirty() override;
    bool IsShownInCurrentView() override;
    void Translate(const Vector& offset) override;

    // ---- the element "RoofGroup" ----
    void WriteKeyData() override;
    bool ReadKeyData(KeyDataList& keys) override;

    // ---- shape ----
    // Drags the footprint's P2 while drawing, or a peak (L or R) along the ridge, or with
    // `shift` the ridge (C) across.
    void DragHandle(const ViewProjection& view, int x, int y, OutlinePoint* handle, bool drawing,
                    bool shift, int viewMode);
    // Moves the footprint edge that starts at `node` by the cursor movement.
    void DragEdge(const ViewProjection& view, int x, int y, int previousX, int previousY,
                  OutlinePoint* node);
    void UpdatePeakCenter();
    bool CanHaveHipEnd(int end) const;
    void CreatePlane(int i);
    void CreateRoofs();
    void UpdateRoofs();
    void FitPlane(int i);
    void Rotate(double angle);
    void TranslatePeaks(double dx, double dy, double dz, bool update);
    void MoveWithPlane(double dx, double dy, double dz, Roof* moved);
    void DetachRoof(Roof* plane);
    // Removes plane i from the scene and destroys it, keeping allowRoof[i].
    void RemovePlane(int i);
    void ResetRoofEdges();
    void RecomputeBounds();
    bool SnapToWallCorner(Vector& point) const;
    void SnapEdgeToWall(OutlinePoint* node, const ViewProjection& view, int x, int y);
    // Whether a node may be inserted at, or deleted from, that index of a plane.
    bool CanKeepInsertedNode(const Roof* plane, int index) const;
    bool CanDeleteNode(const Roof* plane, int index) const;

    // ---- sizes (a plane's size members forward here); each answers 0 done, -1 refused ----
    double GetLength() const;
    double GetWidth() const;
    double GetThickness() const;
    int SetLength(double value);
    int SetWidth(double value);
    int SetThickness(double value);

    Roof* GetPlane(int i) const { return i >= 0 && i < kPlanes ? planes[i] : nullptr; }
    int CountPlanes() const;
    bool IsPlaneAllowed(int i) const { return i >= 0 && i < kPlanes && allowRoof[i]; }
    const Outline& GetFootprint() const { return initialOutline; }
    OutlinePoint& GetPeakLeft() { return roofPeakLeft; }
    OutlinePoint& GetPeakRight() { return roofPeakRight; }
    OutlinePoint& GetPeakCenter() { return roofPeakCenter; }
    OutlinePoint& GetRotationHandle() { return rotationHandle; }
    bool IsWireframe() const { return wireframeMode != 0; }
    // The outline drawing on or off; the lights over the group update their shadows.
    void ToggleWireframe();
    // The footprint polygon drawn in wireframe: a drag of it moves the whole roof.
    OutlinePoint& GetFootprintTarget() { return footprintTarget; }
    // Footprint node i (0..3), or null.
    OutlinePoint* GetFootprintNode(int i) {
        return i >= 0 && i < initialOutline.GetPrimaryCount()
                   ? &initialOutline.GetPrimaryPoints()[i]
                   : nullptr;
    }
    bool AreRoofsCreated() const { return roofsCreated != 0; }
    double GetPolygonYOffset() const { return polygonYOffset; }
    // The footprint node i (0..3); a copy of the origin for any other index.
    Vector Corner(int i) const;

private:
    void Init();
    // Midpoints of the left (P0, P3) and right (P1, P2) end edges.
    Vector LeftEndMiddle() const;
    Vector RightEndMiddle() const;
    void SetPlaneNode(int plane, int node, const Vector& position);
    void OffsetPlaneNode(int plane, int node, const Vector& delta);
    void MovePlaneWhole(int plane, const Vector& delta);
    // Sets the footprint node i.
    void SetCorner(int i, const Vector& position);
    void ShowSizes() const;

    Roof* planes[kPlanes] = {};
    uint8_t allowRoof[kPlanes] = {1, 1, 1, 1};
    Outline initialOutline;
    OutlinePoint rotationHandle;
    OutlinePoint roofPeakLeft;
    OutlinePoint roofPeakRight;
    OutlinePoint roofPeakCenter;
    OutlinePoint footprintTarget;
    uint8_t roofsCreated = 0;
    uint8_t wireframeMode = 0;
    uint8_t moveGuard = 0;
    double pitchRatio = kPitchRatio;
    uint8_t windingFlag = 0;
    double polygonYOffset = 3.0;
};
