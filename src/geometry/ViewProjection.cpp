#include "geometry/ViewProjection.h"

#include <cmath>

bool ViewProjection::Unproject(double winX, double winY, double winZ, Vector& out) const {
    if (viewport[2] <= 0 || viewport[3] <= 0) return false;
    Matrix combined;
    projection.Multiply(combined, modelView);
    Matrix inverse;
    if (!combined.Invert(inverse)) return false;
    Vector device;
    device.Set((winX - viewport[0]) / viewport[2] * 2.0 - 1.0,
               (winY - viewport[1]) / viewport[3] * 2.0 - 1.0, winZ * 2.0 - 1.0, 1.0);
    Vector scene;
    inverse.TransformVector4(scene, device);
    if (scene.w == 0.0) return false;
    Vector result(scene.x / scene.w, scene.y / scene.w, scene.z / scene.w);
    if (!std::isfinite(result.x) || !std::isfinite(result.y) || !std::isfinite(result.z))
        return false;
    out = result;
    return true;
}
