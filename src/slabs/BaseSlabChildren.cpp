// The slab's factories of the children drawn on its faces.
#include <new>

#include "control/BaseControl.h"
#include "foundation/Trace.h"
#include "slabs/BaseSlab.h"
#include "slabs/SlabCovering.h"
#include "slabs/SlabHole.h"

namespace {

constexpr double kCoveringLift = 0.15;

}  // namespace

SlabHole* BaseSlab::CreateHole(const Vector* points, int count) {
    if (IsLocked()) return nullptr;
    BaseControl* control = theControl();
    int kind = 0;
    if (control && control->globalState.GetBoolean(31))
        kind = SlabHole::kWindowFrame;
    else if (control && control->globalState.GetBoolean(32))
        kind = SlabHole::kDoorLeaf;
    auto* hole = new (std::nothrow) SlabHole(false);
    if (!hole) return nullptr;
    if (!hole->Define(points, count, outline.normal, thickness * 0.5, this)) {
        delete hole;
        return nullptr;
    }
    holeList.Append(hole);
    SetSelected(false);
    hole->SetSelected(true);
    if (kind != 0) hole->ShowDoorOrWindow(kind == SlabHole::kWindowFrame);
    MarkDirty();
    return hole;
}

SlabCovering* BaseSlab::CreateCovering(const Vector* points, int count, Part* surface,
                                       bool fromPlan) {
    if (IsLocked()) return nullptr;
    auto* covering = new (std::nothrow) SlabCovering(fromPlan);
    if (!covering) return nullptr;
    Vector faceNormal = outline.normal;
    if (surface == &outsideSurface) faceNormal.Negate();
    faceNormal.w = 1.0;
    if (!covering->Define(points, count, faceNormal, -(thickness * 0.5) - kCoveringLift, this)) {
        delete covering;
        return nullptr;
    }
    coveringList.Append(covering);
    SetSelected(false);
    covering->SetSelected(true);
    MarkDirty();
    return covering;
}
