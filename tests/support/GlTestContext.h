#pragma once

#include <GL/osmesa.h>

#include <array>
#include <cstdint>
#include <vector>

// A software OpenGL context for a test: OSMesa, compatibility profile, RGBA with 24
// depth bits, 8 stencil bits and an accumulation buffer, drawing into a small buffer
// of its own. Made current on the constructing thread; released and destroyed with the
// object.
//
//   GlTestContext gl(16, 16);
//   ASSERT_TRUE(gl.IsValid()) << gl.Error();
//   ... draw ...
//   auto pixel = gl.ReadPixel(8, 8);
class GlTestContext {
public:
    explicit GlTestContext(int width = 32, int height = 32);
    ~GlTestContext();
    GlTestContext(const GlTestContext&) = delete;
    GlTestContext& operator=(const GlTestContext&) = delete;

    // True when the context exists and is current.
    bool IsValid() const { return context_ != nullptr && current_; }
    // Why the context could not be made, or empty.
    const char* Error() const { return error_; }
    int Width() const { return width_; }
    int Height() const { return height_; }

    // Makes the context current on the calling thread (again).
    bool MakeCurrent();
    // Detaches the context from the calling thread.
    static void ReleaseCurrent();

    // RGBA of one pixel, (0, 0) the lower left, after finishing the drawing so far;
    // zeros outside the buffer.
    std::array<std::uint8_t, 4> ReadPixel(int x, int y) const;
    // Every pixel, rows from the bottom, RGBA.
    std::vector<std::uint8_t> ReadPixels() const;

private:
    int width_;
    int height_;
    std::vector<std::uint8_t> buffer_;
    OSMesaContext context_ = nullptr;
    bool current_ = false;
    const char* error_ = "";
};
