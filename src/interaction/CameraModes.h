#pragma once

#include <cstdint>

#include "geometry/Vector.h"
#include "interaction/MouseHandler.h"

// The navigation modes of a view window: a plain left drag moves the camera. Each drag
// step opens a view change on the active window, which the release ends; none of them
// edits objects.

// Mode 11: a drag zooms (the first step towards the pointer when it moved down).
class ZoomMode : public MouseHandler {
public:
    void OnMouseMove(intptr_t packedPoint) override;
    void Activate() override;
    bool HandlesObject(PickableObject*) override { return false; }
};

// Mode 15: a drag pans.
class PanMode : public MouseHandler {
public:
    void OnMouseMove(intptr_t packedPoint) override;
    void Activate() override;
    bool HandlesObject(PickableObject*) override { return false; }
};

// Mode 16: a drag orbits about the scene point under the press.
class RotateAroundMode : public MouseHandler {
public:
    void OnLButtonDown(intptr_t packedPoint) override;
    void OnMouseMove(intptr_t packedPoint) override;
    void OnLButtonUp(intptr_t packedPoint) override;
    void Activate() override;
    bool HandlesObject(PickableObject*) override { return false; }
};

// Mode 14: a drag turns the view about the eye.
class LookAroundMode : public MouseHandler {
public:
    void OnMouseMove(intptr_t packedPoint) override;
    void Activate() override;
    bool HandlesObject(PickableObject*) override { return false; }
};

// Mode 17: a drag moves the camera up and down.
class ElevationMode : public MouseHandler {
public:
    void OnMouseMove(intptr_t packedPoint) override;
    void Activate() override;
    void Deactivate() override;
    bool HandlesObject(PickableObject*) override { return false; }
};

// Mode 13: a drag walks (pointer up walks forward, sideways turns); the blueprint view
// pans instead. The cursor shows the direction of the walk.
class WalkMode : public MouseHandler {
public:
    static constexpr int kBackCursor = 462;
    static constexpr int kDownLeftCursor = 463;
    static constexpr int kDownRightCursor = 464;
    static constexpr int kUpLeftCursor = 470;
    static constexpr int kUpRightCursor = 471;
    static constexpr int kLeftCursor = 475;
    static constexpr int kRightCursor = 479;

    void OnMouseMove(intptr_t packedPoint) override;
    void Activate() override;
    void Deactivate() override;
    bool HandlesObject(PickableObject*) override { return false; }

    // The cursor for a pointer offset (dx, dy) against the oldest motion point, moving by
    // stepY since the previous point.
    static int DirectionCursor(int dx, int dy, int stepY);
};

// Mode 12: the user places the eye at a point of the plan; the window then looks from
// there in 3D Perspective and goes on in the arrow-key walk (mode 31).
class BeamInMode : public MouseHandler {
public:
    static constexpr int kCursor = 465;
    static constexpr double kEyeHeight = 56.0;
    static constexpr double kAboveTarget = 10.0;

    void OnLButtonDown(intptr_t packedPoint) override;
    void OnMouseMove(intptr_t packedPoint) override;
    void OnLButtonUp(intptr_t packedPoint) override;
    void OnSingleClick(intptr_t packedPoint) override;
    void Activate() override;
    void Deactivate() override;
    bool HandlesObject(PickableObject*) override { return false; }

    // The plan point the eye would go to for window point (x, y): on a picked floor, on
    // the slope of a picked stair, on another picked object, else on the working level;
    // false when the pointer's ray meets none of them.
    bool FindTarget(int x, int y, Vector& out);
    // The eye goes to `eye` looking along `yaw` (degrees) in 3D Perspective, and the
    // window changes to mode 31.
    void PlaceCamera(const Vector& eye, double yaw);

    const Vector& GetTarget() const { return target; }

private:
    uint64_t savedTypeMask = 0;
    Vector target;
};

// The yaw (degrees) of a rotation matrix whose first and third entries are m0 and m2:
// acos of m0 (clamped into its domain), negated when m2 is negative.
double YawFromMatrix(double m0, double m2);
