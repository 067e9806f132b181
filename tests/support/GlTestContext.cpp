#include "GlTestContext.h"

#include <GL/gl.h>

#include <algorithm>

GlTestContext::GlTestContext(int width, int height)
    : width_(std::max(width, 1)),
      height_(std::max(height, 1)),
      buffer_(static_cast<std::size_t>(width_) * height_ * 4) {
    const int attributes[] = {OSMESA_FORMAT,
                              OSMESA_RGBA,
                              OSMESA_DEPTH_BITS,
                              24,
                              OSMESA_STENCIL_BITS,
                              8,
                              OSMESA_ACCUM_BITS,
                              16,
                              OSMESA_PROFILE,
                              OSMESA_COMPAT_PROFILE,
                              0};
    context_ = OSMesaCreateContextAttribs(attributes, nullptr);
    if (context_ == nullptr) context_ = OSMesaCreateContextExt(OSMESA_RGBA, 24, 8, 16, nullptr);
    if (context_ == nullptr) {
        error_ = "OSMesa could not create a context";
        return;
    }
    if (!MakeCurrent()) error_ = "OSMesa could not make the context current";
}

GlTestContext::~GlTestContext() {
    if (context_ == nullptr) return;
    if (OSMesaGetCurrentContext() == context_) ReleaseCurrent();
    OSMesaDestroyContext(context_);
}

bool GlTestContext::MakeCurrent() {
    current_ = context_ != nullptr &&
               OSMesaMakeCurrent(context_, buffer_.data(), GL_UNSIGNED_BYTE, width_, height_);
    return current_;
}

void GlTestContext::ReleaseCurrent() {
    OSMesaMakeCurrent(nullptr, nullptr, GL_UNSIGNED_BYTE, 0, 0);
}

std::array<std::uint8_t, 4> GlTestContext::ReadPixel(int x, int y) const {
    std::array<std::uint8_t, 4> pixel{};
    if (x < 0 || y < 0 || x >= width_ || y >= height_ || !IsValid()) return pixel;
    glFinish();
    // OSMesa keeps row 0 at the bottom, as glReadPixels does.
    const std::uint8_t* source = buffer_.data() + (static_cast<std::size_t>(y) * width_ + x) * 4;
    std::copy(source, source + 4, pixel.begin());
    return pixel;
}

std::vector<std::uint8_t> GlTestContext::ReadPixels() const {
    if (IsValid()) glFinish();
    return buffer_;
}
