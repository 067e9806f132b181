#pragma once

#include <cmath>

#include "geometry/Vector.h"
#include "render/Window.h"

// The camera transform of a view worked out without OpenGL, for tests that check the
// window's camera against plain geometry.
namespace camera_math {

constexpr double kRadians = M_PI / 180.0;

// `p` in the camera's frame: offset first, then yaw about y, then pitch about x.
inline Vector EyeSpace(const Window& window, Vector p) {
    const Vector rotation = window.camera.GetVector(1);
    p.Add(window.camera.GetVector(0));
    p.RotateAboutAxisIndex(rotation.y * kRadians, 1);
    p.RotateAboutAxisIndex(rotation.x * kRadians, 0);
    return p;
}

// Column-major model-view matrix of the camera.
inline void ModelView(const Window& window, double m[16]) {
    const Vector origin = EyeSpace(window, Vector(0, 0, 0));
    const Vector axes[3] = {Vector(1, 0, 0), Vector(0, 1, 0), Vector(0, 0, 1)};
    for (int c = 0; c < 3; ++c) {
        Vector column = EyeSpace(window, axes[c]);
        column.Subtract(origin);
        m[4 * c] = column.x;
        m[4 * c + 1] = column.y;
        m[4 * c + 2] = column.z;
        m[4 * c + 3] = 0.0;
    }
    m[12] = origin.x;
    m[13] = origin.y;
    m[14] = origin.z;
    m[15] = 1.0;
}

// Column-major projection of the view mode (perspective, blueprint or elevation).
inline void Projection(const Window& window, double m[16]) {
    for (int i = 0; i < 16; ++i) m[i] = 0.0;
    const Vector zoom = window.camera.GetVector(2);
    auto ortho = [m](double l, double r, double b, double t, double n, double f) {
        m[0] = 2.0 / (r - l);
        m[5] = 2.0 / (t - b);
        m[10] = -2.0 / (f - n);
        m[12] = -(r + l) / (r - l);
        m[13] = -(t + b) / (t - b);
        m[14] = -(f + n) / (f - n);
        m[15] = 1.0;
    };
    switch (window.GetViewMode()) {
        case Window::kBlueprintView:
            ortho(-zoom.x, zoom.x, -zoom.y, zoom.y, -3000.0, 3000.0);
            break;
        case Window::kElevationView:
            ortho(-zoom.x, zoom.x, 0.0, 2.0 * zoom.y, -3000.0, 3000.0);
            break;
        default: {
            const double f = 1.0 / std::tan(window.fieldOfView * kRadians / 2.0);
            const double n = 1.0, far = 6500.0;
            m[0] = f / window.aspect;
            m[5] = f;
            m[10] = (far + n) / (n - far);
            m[11] = -1.0;
            m[14] = 2.0 * far * n / (n - far);
            break;
        }
    }
}

// Fills the window's caches as a frame drawn with its camera would.
inline void CacheFromCamera(Window& window) {
    window.viewportCache[0] = 0;
    window.viewportCache[1] = 0;
    window.viewportCache[2] = static_cast<int32_t>(window.width);
    window.viewportCache[3] = static_cast<int32_t>(window.height);
    ModelView(window, window.modelViewCache.get());
    Projection(window, window.projectionCache.get());
}

}  // namespace camera_math
