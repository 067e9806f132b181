#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "platform/MessageBox.h"
#include "support/TempFolder.h"

inline std::string Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}
// Writes the file, making its folders first.
inline void Write(const std::string& path, const std::string& bytes) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
}
inline bool Exists(const std::string& path) {
    return std::filesystem::exists(path);
}

// A private world for an installer: program files, menu and desktop folders, URL cache
// and registry store of its own, and message boxes answered by `answer` and recorded.
class InstallerFixture : public ::testing::Test {
protected:
    InstallerFixture()
        : programFiles_("KIVORA_PROGRAM_FILES", root_.Path() + "programs"),
          data_("XDG_DATA_HOME", root_.Path() + "data"),
          desktop_("XDG_DESKTOP_DIR", root_.Path() + "desktop"),
          cache_("KIVORA_URL_CACHE", root_.Path() + "cache/") {
        platform::SetMessageBoxResponder([this](const platform::MessageBoxRequest& box) {
            boxes.push_back(box.caption);
            return answer;
        });
    }
    ~InstallerFixture() override { platform::SetMessageBoxResponder(nullptr); }

    std::string ProgramFolder() const { return root_.Path() + "programs/Kivora/Duzazododiza"; }
    std::string MenuFolder() const { return root_.Path() + "data/applications/Kivora"; }
    std::string Root() const { return root_.Path(); }

    platform::MessageAnswer answer = platform::MessageAnswer::Yes;
    std::vector<std::string> boxes;

private:
    TempFolder root_;
    ScopedRegistry registry_;
    ScopedEnv programFiles_;
    ScopedEnv data_;
    ScopedEnv desktop_;
    ScopedEnv cache_;
};
