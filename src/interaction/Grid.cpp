#include "interaction/Grid.h"

#include <algorithm>
#include <cmath>

#include "foundation/KeyDataList.h"
#include "slabs/BaseSlab.h"

namespace {

constexpr double kRadiansPerDegree = 0.017453292519943295;

}  // namespace

Grid::Grid(BaseSlab* owner) : owner(owner) {}

int Grid::GetKindCode() const {
    return owner ? owner->GetKindCode() : KindCode::kNone;
}

void Grid::SnapToGrid(Vector& point) const {
    const double step = (std::isfinite(size) && size > 0.0) ? size : 1.0;
    Vector n = owner ? owner->GetOutline().normal : Vector(0.0, 0.0, 1.0);
    // The turn that lays the slab's plane into the x-y plane.
    Vector axis(n.x, -n.y, 0.0);
    axis.Normalize();
    const double tilt = std::acos(std::clamp(-n.z, -1.0, 1.0));
    const bool tilted = axis.Length() > 0.0 && tilt != 0.0;
    Vector p = point;
    p.Subtract(position);
    if (tilted) p.RotateAboutAxis(-tilt, axis);
    if (angle != 0.0) p.RotateAboutAxisIndex(angle * kRadiansPerDegree, 2);
    p.x = std::floor((p.x + step / 2.0) / step) * step;
    p.y = std::floor((p.y + step / 2.0) / step) * step;
    if (angle != 0.0) p.RotateAboutAxisIndex(-angle * kRadiansPerDegree, 2);
    if (tilted) p.RotateAboutAxis(tilt, axis);
    p.Add(position);
    if (std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z)) point.Set(p);
}

void Grid::Write(KeyDataList& list, const char* name) const {
    KeyDataList* grid = list.AddSublist(name);
    grid->AddDouble("gridSize", size);
    grid->AddDouble("Locked", IsLocked() ? 1.0 : 0.0);
    position.WriteChild(*grid, "position");
    grid->AddDouble("angle", angle);
}

void Grid::Read(const KeyDataList& list) {
    position.ReadChild(list, "position");
    bool flag = false;
    if (list.GetBool("Locked", flag)) SetLocked(flag);
    ReadFiniteDouble(list, "angle", angle);
    ReadFiniteDouble(list, "gridSize", size);
    changed = 1;
}
