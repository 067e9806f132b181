#pragma once

#include <cstdint>

#include "geometry/Vector.h"
#include "interaction/MouseHandler.h"

class TapeMeasure;

// Mode 24: a press starts the control's tape on a working plane (the floor plane, the
// view plane of an elevation, or the plane of a picked slab; with Ctrl an upright plane
// facing the viewer), a drag stretches it, in 45-degree steps from a reference direction
// unless Shift is held.
class TapeMeasureEditor : public MouseHandler {
public:
    static constexpr int kCursor = 520;

    TapeMeasureEditor();

    void OnMouseMove(intptr_t packedPoint) override;
    void OnLButtonDown(intptr_t packedPoint) override;
    void Activate() override;
    void Deactivate() override;

    // The snapped end for a pointer end: the distance kept, the direction turned onto the
    // nearest multiple of 45 degrees from `reference` about `normal`.
    static Vector SnapEnd(const Vector& start, const Vector& end, const Vector& reference,
                          const Vector& normal);

    const Vector& GetPlaneNormal() const { return planeNormal; }
    const Vector& GetReference() const { return reference; }

private:
    TapeMeasure* tape;
    Vector planeNormal{0.0, 1.0, 0.0};
    Vector reference{1.0, 0.0, 0.0};
};
