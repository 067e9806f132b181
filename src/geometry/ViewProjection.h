#pragma once

#include "geometry/Matrix.h"
#include "geometry/Vector.h"

// The viewport and matrices of the view a mouse event happened in, as the view window
// hands them to code that maps screen points into the scene.
struct ViewProjection {
    // x, y, width, height in pixels.
    int viewport[4] = {0, 0, 0, 0};
    Matrix modelView;
    Matrix projection;

    // The scene point under window coordinates (origin at the bottom left) at depth winZ
    // (0 near, 1 far). False, with out untouched, when the matrices do not invert, the
    // viewport is empty or the point lies at infinity.
    bool Unproject(double winX, double winY, double winZ, Vector& out) const;
};
