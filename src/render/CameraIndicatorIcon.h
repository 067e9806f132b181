#pragma once

#include <GL/gl.h>

#include <cstdint>

#include "geometry/Outline.h"
#include "geometry/Vector.h"
#include "interaction/RotationHandle.h"
#include "model/MoveableObject.h"
#include "model/ObjectTypes.h"
#include "model/SelectableObject.h"
#include "model/TopLevelObject.h"

class Window;

// The indicator of the main 3D view's camera drawn in the map window: a red arrow (its
// rotation handle, dragged to turn the camera) on a disc (its outline point, dragged to
// move it), with a line along the view to where it meets the ground. It holds no place
// of its own: its position is the main view's eye, whose view state keeps the negated
// eye as vector 0 and the yaw (degrees) as y of vector 1.
class CameraIndicatorIcon : public SelectableObject, public TopLevelObject, public MoveableObject {
public:
    static constexpr uint32_t kMoveUp = 1800;
    static constexpr uint32_t kMoveDown = 1801;
    static constexpr uint32_t kLookUp = 1802;
    static constexpr uint32_t kLookDown = 1803;
    static constexpr uint32_t kGroundLevel = 1805;
    // The eye is kept within this distance of the origin.
    static constexpr double kMaxEyeDistance = 2500.0;
    // The map's half-extent never goes below this.
    static constexpr double kMinMapZoom = 750.0;

    CameraIndicatorIcon() = default;
    ~CameraIndicatorIcon() override;

    uint64_t GetTypeMask() const override { return TypeMask::kCameraIndicatorIcon; }
    int GetKindCode() const override { return KindCode::kNone; }

    void BuildPropertyMenu(platform::Menu& menu) override;
    // Every id is the icon's (true); the five commands act on the main view's camera.
    bool ProcessPropertyMenu(uint32_t id) override;

    // The main view's eye goes to the point (its height kept), or moves by the offset in
    // x and z; then it is kept within 2500 of the origin.
    void SetPosition(const Vector& point) override;
    void OffsetPosition(const Vector& offset) override;
    void MoveBy(const Vector& offset) { OffsetPosition(offset); }

    // Turns the main view to look at the point from its eye.
    void LookAt(const Vector& point, const Vector& startVector);
    // The main view's eye (the negated camera offset); the origin without a main view.
    Vector GetEyePosition() const;
    // The map window's zoom (view-state vector 2) so that the eye shows with a margin;
    // nothing for a window without a size.
    static void FitMapWindow(Window& map, const Vector& eye);
    // Draws the indicator in a map window (a window flagged as one); nothing elsewhere.
    void Render(Window& window);

    RotationHandle& GetArrow() { return arrow; }
    OutlinePoint& GetDisc() { return disc; }

private:
    void BuildDisc(double radius);
    // Stores the eye (x, z) within the distance limit back into the main view.
    void StoreEye(Vector eye);

    RotationHandle arrow{1};
    OutlinePoint disc;
    GLint discList = -1;
};
