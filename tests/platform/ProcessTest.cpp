#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

#include "support/TempFolder.h"
#include "platform/Process.h"

namespace {

std::string ReadWhenPresent(const std::string& path) {
    for (int i = 0; i < 500; ++i) {
        std::ifstream in(path);
        std::stringstream s;
        if (in && (s << in.rdbuf()) && s.str().find('\n') != std::string::npos) return s.str();
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return {};
}

void WriteFile(const std::string& path, const std::string& text) {
    std::ofstream(path) << text;
}

}  // namespace

TEST(ProcessTest, RunsScriptsWithTheShellAndExecutablesDirectly) {
    TempFolder folder;
    const std::string out = folder.Path() + "out.txt";
    const std::string bat = folder.Path() + "Update.BAT";
    WriteFile(bat, "echo \"batch $1\" > '" + out + "'\n");
    ASSERT_TRUE(platform::StartHidden(bat.c_str(), {"one"}));
    EXPECT_EQ(ReadWhenPresent(out), "batch one\n");

    const std::string exe = folder.Path() + "tool";
    const std::string out2 = folder.Path() + "out2.txt";
    WriteFile(exe, "#!/bin/sh\necho direct > '" + out2 + "'\n");
    chmod(exe.c_str(), 0700);
    ASSERT_TRUE(platform::StartHidden(exe.c_str()));
    EXPECT_EQ(ReadWhenPresent(out2), "direct\n");
}

TEST(ProcessTest, RefusesWhatCannotBeStarted) {
    TempFolder folder;
    EXPECT_FALSE(platform::StartHidden(nullptr));
    EXPECT_FALSE(platform::StartHidden((folder.Path() + "missing.bat").c_str()));
    EXPECT_FALSE(platform::StartHidden(folder.Path().c_str()));  // a folder
    // An executable file the system cannot run: the failed start is reported.
    const std::string bad = folder.Path() + "bad";
    WriteFile(bad,
              "\x7f"
              "ELF garbage");
    chmod(bad.c_str(), 0700);
    EXPECT_FALSE(platform::StartHidden(bad.c_str()));
}
