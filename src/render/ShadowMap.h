#pragma once

#include <cstdint>

#include "geometry/Matrix.h"
#include "geometry/Vector.h"

// Depth-map size on an off-screen buffer: each side at most the buffer's; a negative side
// counts as 0.
void ClampDepthMapSize(int& width, int& height, uint32_t bufferWidth, uint32_t bufferHeight);

// The near and far planes fitted to a probe of `side` x `side` 16-bit depth samples: the
// nearest and the farthest sample are unprojected through the matrices (viewport 0, 0,
// side, side) and their distances from the light along the light's axis (the direction
// to the probe's centre at the same depth) taken, each times 0.99. A near plane below 2
// becomes 100.
struct DepthRange {
    double nearPlane;
    double farPlane;
};
DepthRange FitDepthRange(const uint16_t* samples, int side, const Vector& lightPosition,
                         const double modelView[16], const double projection[16]);

// The projection of a symmetric perspective: field of view `fovY` degrees, aspect, near
// and far planes, column-major.
Matrix PerspectiveMatrix(double fovY, double aspect, double zNear, double zFar);

// Maps clip coordinates -1..1 to 0..1 on x, y and z.
Matrix ShadowBiasMatrix();
// Sends a point's light-space depth to the identity texture's S coordinate: after the
// division by Q, S = 0.5 z / w + 0.5.
Matrix IdentityTextureBiasMatrix();
