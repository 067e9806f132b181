#pragma once

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "host/BaseWindow.h"
#include "host/CommandLine.h"
#include "host/HostTrace.h"
#include "platform/Component.h"
#include "platform/Files.h"
#include "platform/MessageBox.h"
#include "support/TempFolder.h"

// A private world for the host: registry store, program files, data, desktop, URL
// cache, temporary and runtime folders of its own; message boxes answered from a queue
// (then OK) and recorded; dialogs played by `play` (by default closed) and recorded.
class HostWorld : public ::testing::Test {
protected:
    HostWorld()
        : programFiles_("KIVORA_PROGRAM_FILES", root_.Path() + "programs"),
          data_("XDG_DATA_HOME", root_.Path() + "data"),
          desktop_("XDG_DESKTOP_DIR", root_.Path() + "desktop"),
          cache_("KIVORA_URL_CACHE", root_.Path() + "cache/"),
          temp_("TMPDIR", root_.Path() + "tmp/"),
          runtime_("KIVORA_RUNTIME_DIR", root_.Path() + "run/") {
        platform::MakeFolders(root_.Path() + "tmp");
        platform::SetMessageBoxResponder([this](const platform::MessageBoxRequest& box) {
            std::lock_guard<std::mutex> guard(mutex_);
            boxes.push_back(box.caption);
            if (answers.empty()) return platform::MessageAnswer::Ok;
            const platform::MessageAnswer answer = answers.front();
            answers.pop_front();
            return answer;
        });
        BaseWindow::SetDialogRunner([this](BaseWindow& dialog, uint32_t id) {
            {
                std::lock_guard<std::mutex> guard(mutex_);
                dialogs.push_back(id);
            }
            if (play) play(dialog, id);
        });
        ClearBufferedFileName();
    }
    ~HostWorld() override {
        CloseTraceLog();
        BaseWindow::SetDialogRunner(nullptr);
        platform::SetMessageBoxResponder(nullptr);
        ClearBufferedFileName();
    }

    std::string Root() const { return root_.Path(); }
    std::string ProgramFolder() const { return root_.Path() + "programs/Kivora/Duzazododiza"; }
    std::string TempPath(const std::string& name) const { return root_.Path() + "tmp/" + name; }

    std::vector<std::string> Boxes() {
        std::lock_guard<std::mutex> guard(mutex_);
        return boxes;
    }
    std::vector<uint32_t> Dialogs() {
        std::lock_guard<std::mutex> guard(mutex_);
        return dialogs;
    }
    // How often the dialog `id` ran.
    int Shown(uint32_t id) {
        int n = 0;
        for (uint32_t d : Dialogs()) n += d == id;
        return n;
    }

    // Plays the person's part on every dialog that runs (wait dialogs included, on their
    // own threads).
    std::function<void(BaseWindow& dialog, uint32_t id)> play;
    std::deque<platform::MessageAnswer> answers;

private:
    TempFolder root_;
    ScopedRegistry registry_;
    ScopedEnv programFiles_;
    ScopedEnv data_;
    ScopedEnv desktop_;
    ScopedEnv cache_;
    ScopedEnv temp_;
    ScopedEnv runtime_;
    std::mutex mutex_;
    std::vector<std::string> boxes;
    std::vector<uint32_t> dialogs;
};

inline std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Registers a built component library in the current registry store, as its installer
// would (the library's own DllRegisterServer).
inline bool RegisterLibrary(const char* path) {
    void* library = dlopen(path, RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
    if (!library) return false;
    using Entry = platform::HRESULT (*)();
    auto entry = reinterpret_cast<Entry>(dlsym(library, "DllRegisterServer"));
    const bool done = entry && platform::Succeeded(entry());
    dlclose(library);
    return done;
}
