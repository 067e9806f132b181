#include <GL/gl.h>
#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "platform/GLContext.h"
#include "render/OffScreenWindow.h"
#include "support/TraceLogTail.h"

using platform::GLContext;
using platform::GLDrawable;

namespace {

using Size = std::pair<int, int>;

// Refuses every size wider than `largest`; an accepted one gets a small real buffer
// whose size differs from the request, as a renderer may round it.
class RefusingAllocator : public OffScreenAllocator {
public:
    RefusingAllocator(int largest, int maxWidth, int maxHeight)
        : largest_(largest), maxWidth_(maxWidth), maxHeight_(maxHeight) {}

    bool QueryMaximum(int, int& maxWidth, int& maxHeight, int& maxPixels) override {
        maxWidth = maxWidth_;
        maxHeight = maxHeight_;
        maxPixels = maxWidth_ * maxHeight_;
        return true;
    }
    std::unique_ptr<GLDrawable> CreateBuffer(int format, int width, int height) override {
        attempts.emplace_back(width, height);
        if (width > largest_) return nullptr;
        return GLDrawable::CreateOffScreen(format, 16, 8);
    }
    std::unique_ptr<GLContext> CreateContext(int format, GLContext* shareWith) override {
        if (refuseContext) return nullptr;
        return OffScreenAllocator::CreateContext(format, shareWith);
    }

    std::vector<Size> attempts;
    bool refuseContext = false;

private:
    int largest_, maxWidth_, maxHeight_;
};

TEST(OffScreenWindowGlTest, RefusedSizesStepDownByATenthUntilOneIsHad) {
    RefusingAllocator allocator(1000, 4096, 4096);
    TraceLogTail trace;
    OffScreenWindow buffer(2048, 2048, nullptr, allocator);
    const std::vector<Size> expected = {{2048, 2048}, {1844, 1844}, {1660, 1660}, {1494, 1494},
                                        {1345, 1345}, {1211, 1211}, {1090, 1090}, {981, 981}};
    EXPECT_EQ(allocator.attempts, expected);
    EXPECT_TRUE(trace.Contains("Step down: (should not be neccessary)"));
    // The size is the one the buffer really has.
    ASSERT_TRUE(buffer.HasBuffer());
    EXPECT_EQ(buffer.width, 16u);
    EXPECT_EQ(buffer.height, 8u);
    EXPECT_TRUE(trace.Contains("Actual Width: 16 Height: 8 "));
}

TEST(OffScreenWindowGlTest, RequestsStartFromTheRenderersLimits) {
    struct Case {
        uint32_t w, h;
        Size first;
    };
    for (const Case& c :
         {Case{0, 0, {300, 200}}, Case{5000, 100, {300, 100}}, Case{64, 9999, {64, 200}}}) {
        RefusingAllocator allocator(10000, 300, 200);
        OffScreenWindow buffer(c.w, c.h, nullptr, allocator);
        ASSERT_EQ(allocator.attempts.size(), 1u);
        EXPECT_EQ(allocator.attempts[0], c.first) << c.w << "x" << c.h;
    }
}

TEST(OffScreenWindowGlTest, ABufferThatCannotBeHadLeavesNothingBehind) {
    RefusingAllocator allocator(0, 4096, 4096);
    OffScreenWindow buffer(12, 9, nullptr, allocator);
    // Sides below 10 shrink by 1 each time, until one reaches 0.
    const std::vector<Size> expected = {{12, 9}, {11, 8}, {10, 7}, {9, 6}, {8, 5},
                                        {7, 4},  {6, 3},  {5, 2},  {4, 1}};
    EXPECT_EQ(allocator.attempts, expected);

    RefusingAllocator noContext(1000, 4096, 4096);
    noContext.refuseContext = true;
    OffScreenWindow withoutContext(64, 64, nullptr, noContext);

    for (OffScreenWindow* b : {&buffer, &withoutContext}) {
        EXPECT_FALSE(b->HasBuffer());
        EXPECT_EQ(b->renderingContext, nullptr);
        EXPECT_EQ(b->deviceContext, nullptr);
        EXPECT_EQ(b->width, 0u);
        EXPECT_EQ(b->height, 0u);
        EXPECT_FALSE(b->MakeCurrent());
    }
}

TEST(OffScreenWindowGlTest, RealBufferDrawsTheViewsDisplayLists) {
    platform::PixelFormatRequest request;
    request.depthBits = 24;
    request.stencilBits = 8;
    request.accumBits = 64;
    const int format = platform::ChoosePixelFormat(request);
    ASSERT_GT(format, 0);
    auto view = GLDrawable::CreateForWindow(8, 8);
    ASSERT_TRUE(view->SetPixelFormat(format));
    auto viewContext = GLContext::Create(format);
    ASSERT_TRUE(viewContext && viewContext->MakeCurrent(*view));
    const GLuint list = glGenLists(1);
    glNewList(list, GL_COMPILE);
    glColor3ub(255, 0, 0);
    glRectf(-1, -1, 1, 1);
    glEndList();
    GLContext::DetachCurrent();

    OffScreenWindow buffer(32, 24);  // no control: shares nothing
    EXPECT_TRUE(buffer.HasBuffer());
    OffScreenAllocator allocator;
    OffScreenWindow shared(32, 24, viewContext.get(), allocator);
    ASSERT_TRUE(shared.HasBuffer());
    EXPECT_EQ(shared.width, 32u);
    EXPECT_EQ(shared.height, 24u);

    ASSERT_TRUE(shared.MakeCurrent());
    GLint depthBits = 0, stencilBits = 0;
    glGetIntegerv(GL_DEPTH_BITS, &depthBits);
    glGetIntegerv(GL_STENCIL_BITS, &stencilBits);
    EXPECT_GE(depthBits, 24);
    EXPECT_GE(stencilBits, 8);
    ASSERT_TRUE(glIsList(list));
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glCallList(list);
    GLContext::DetachCurrent();
    const std::vector<uint8_t> pixels = shared.deviceContext->RenderedPixels();
    const size_t centre = (12 * 32 + 16) * 4;
    ASSERT_GT(pixels.size(), centre + 3);
    EXPECT_EQ(pixels[centre], 255);
    EXPECT_EQ(pixels[centre + 1], 0);

    // The process pointer forgets a buffer that goes.
    {
        OffScreenWindow published(8, 8, viewContext.get(), allocator);
        SetOffScreenWindow(&published);
    }
    EXPECT_EQ(theOffScreenWindow(), nullptr);
}

}  // namespace
