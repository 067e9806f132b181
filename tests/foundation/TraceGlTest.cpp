#include <GL/gl.h>
#include <GL/osmesa.h>
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "foundation/Trace.h"
#include "support/TempFolder.h"

namespace {

std::vector<std::string> LogLines(const std::string& path) {
    std::ifstream in(path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// Text of a log line between the time and the seconds.
std::string Text(const std::string& line) {
    const size_t start = line.find(' ', 1) + 1;
    const size_t end = line.rfind(' ', line.rfind(' ') - 1);
    return line.substr(start, end - start);
}

class TraceGlTest : public ::testing::Test {
protected:
    TraceGlTest() : context(OSMesaCreateContextExt(OSMESA_RGBA, 16, 0, 0, nullptr)) {}
    ~TraceGlTest() override {
        OSMesaMakeCurrent(nullptr, nullptr, GL_UNSIGNED_BYTE, 0, 0);
        if (context) OSMesaDestroyContext(context);
    }
    bool MakeCurrent() {
        return context && OSMesaMakeCurrent(context, pixels, GL_UNSIGNED_BYTE, 4, 4);
    }
    std::vector<std::string> Logged() {
        trace.SetKeepForUpload(true);
        trace.Close();
        auto lines = LogLines(folder.Path() + "Kivora_Trace.txt");
        std::vector<std::string> texts;
        for (size_t i = 1; i + 2 < lines.size(); ++i) texts.push_back(Text(lines[i]));
        return texts;  // without the header and the two closing lines
    }

    TempFolder folder;
    Trace trace{folder.Path().c_str(), "h"};
    OSMesaContext context;
    unsigned char pixels[4 * 4 * 4] = {};
};

}  // namespace

TEST_F(TraceGlTest, WithoutACurrentContextNothingIsCheckedOrWritten) {
    EXPECT_FALSE(trace.CheckGLErrors("no context"));
    trace.DumpGLStacks();
    EXPECT_TRUE(Logged().empty());
}

TEST_F(TraceGlTest, PendingErrorsAreWrittenAndCleared) {
    ASSERT_TRUE(MakeCurrent());
    EXPECT_TRUE(trace.CheckGLErrors("clean"));
    glEnable(0x7FFF);  // not a capability
    EXPECT_FALSE(trace.CheckGLErrors("after enable"));
    EXPECT_TRUE(trace.CheckGLErrors("again"));
    const auto texts = Logged();
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0], "after enable : (0) invalid enumerant <1280>");
}

TEST_F(TraceGlTest, StackOverflowWritesTheEightStackLines) {
    ASSERT_TRUE(MakeCurrent());
    GLint depth = 0;
    glGetIntegerv(GL_MAX_MODELVIEW_STACK_DEPTH, &depth);
    glMatrixMode(GL_MODELVIEW);
    for (GLint i = 0; i < depth; ++i) glPushMatrix();  // one more than fits
    EXPECT_FALSE(trace.CheckGLErrors("push"));
    const auto texts = Logged();
    ASSERT_EQ(texts.size(), 9u);
    EXPECT_EQ(texts[0], "push : (0) stack overflow <1283>");
    const std::string d = std::to_string(depth);
    EXPECT_EQ(texts[1], "Projection stack size: 1");
    EXPECT_EQ(texts[3], "Model view stack size: " + d);
    EXPECT_EQ(texts[4], "Max model view stack size: " + d);
    EXPECT_EQ(texts[8].rfind("Max name stack size: ", 0), 0u);
}
