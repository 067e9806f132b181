#include "render/OffScreenWindow.h"

#include <algorithm>
#include <atomic>

#include "control/BaseControl.h"
#include "foundation/Trace.h"
#include "platform/GLContext.h"
#include "render/Window.h"

namespace {

std::atomic<OffScreenWindow*> offScreenWindow{nullptr};

unsigned HandleBits(const void* handle) {
    return static_cast<unsigned>(reinterpret_cast<uintptr_t>(handle));
}

// One step down: a tenth of the side, at least 1.
int StepDown(int side) {
    return side - std::max(side / 10, 1);
}

}  // namespace

OffScreenWindow* theOffScreenWindow() {
    return offScreenWindow.load();
}

void SetOffScreenWindow(OffScreenWindow* buffer) {
    offScreenWindow.store(buffer);
}

int OffScreenAllocator::ChooseFormat() {
    platform::PixelFormatRequest request;
    request.drawToWindow = false;
    request.drawToOffScreen = true;
    request.doubleBuffer = false;
    request.depthBits = 24;
    request.stencilBits = 8;
    return platform::ChoosePixelFormat(request);
}

bool OffScreenAllocator::QueryMaximum(int format, int& maxWidth, int& maxHeight, int& maxPixels) {
    platform::PixelFormatDescription description;
    if (!platform::DescribePixelFormat(format, &description)) return false;
    maxWidth = description.maxOffScreenWidth;
    maxHeight = description.maxOffScreenHeight;
    maxPixels = description.maxOffScreenPixels;
    return true;
}

std::unique_ptr<platform::GLDrawable> OffScreenAllocator::CreateBuffer(int format, int width,
                                                                       int height) {
    return platform::GLDrawable::CreateOffScreen(format, width, height);
}

std::unique_ptr<platform::GLContext> OffScreenAllocator::CreateContext(
    int format, platform::GLContext* shareWith) {
    return platform::GLContext::Create(format, shareWith);
}

OffScreenWindow::OffScreenWindow() = default;

OffScreenWindow::OffScreenWindow(uint32_t requestedWidth, uint32_t requestedHeight) {
    BaseControl* control = theControl();
    platform::GLContext* mainContext =
        control && control->mainWindow ? control->mainWindow->renderingContext : nullptr;
    OffScreenAllocator allocator;
    Create(requestedWidth, requestedHeight, mainContext, allocator);
}

OffScreenWindow::OffScreenWindow(uint32_t requestedWidth, uint32_t requestedHeight,
                                 platform::GLContext* shareWith, OffScreenAllocator& allocator) {
    Create(requestedWidth, requestedHeight, shareWith, allocator);
}

OffScreenWindow::~OffScreenWindow() {
    // The process must not keep pointing at a buffer that is gone.
    OffScreenWindow* self = this;
    offScreenWindow.compare_exchange_strong(self, nullptr);
    Release();
}

void OffScreenWindow::Create(uint32_t requestedWidth, uint32_t requestedHeight,
                             platform::GLContext* shareWith, OffScreenAllocator& allocator) {
    const int format = allocator.ChooseFormat();
    int maxWidth = 0, maxHeight = 0, maxPixels = 0;
    if (format == 0 || !allocator.QueryMaximum(format, maxWidth, maxHeight, maxPixels)) {
        TraceWrite("No off-screen pixel format");
        return;
    }
    // Requests beyond what the renderer allows are cut to it before any attempt.
    auto side = [](uint32_t requested, int maximum) {
        if (requested == 0) return std::max(maximum, 0);
        return static_cast<int>(std::min<int64_t>(requested, std::max(maximum, 0)));
    };
    int w = side(requestedWidth, maxWidth);
    int h = side(requestedHeight, maxHeight);

    std::unique_ptr<platform::GLDrawable> buffer;
    while (w > 0 && h > 0) {
        buffer = allocator.CreateBuffer(format, w, h);
        if (buffer) break;
        w = StepDown(w);
        h = StepDown(h);
        theTrace().Write("Step down: (should not be neccessary)");
    }
    if (!buffer) {
        TraceWrite("No off-screen buffer could be made");
        return;
    }
    std::unique_ptr<platform::GLContext> context = allocator.CreateContext(format, shareWith);
    if (!context) {
        TraceWrite("No context for the off-screen buffer");
        return;
    }

    pbuffer = std::move(buffer);
    context_ = std::move(context);
    deviceContext = pbuffer.get();
    renderingContext = context_.get();
    width = static_cast<uint32_t>(pbuffer->Width());
    height = static_cast<uint32_t>(pbuffer->Height());
    theTrace().WriteFormat("Actual Width: %i Height: %i ", static_cast<int>(width),
                           static_cast<int>(height));
    theTrace().WriteFormat("DC: %x RC: %x ", HandleBits(deviceContext),
                           HandleBits(renderingContext));
}

bool OffScreenWindow::MakeCurrent() {
    if (!renderingContext || !deviceContext) return false;
    return renderingContext->MakeCurrent(*deviceContext);
}

void OffScreenWindow::Release() {
    if (!pbuffer) return;
    renderingContext = nullptr;
    deviceContext = nullptr;
    context_.reset();
    pbuffer.reset();
}
