#pragma once

#include <dirent.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>

#include "foundation/Trace.h"

// What the process's trace log received since the object was made (failed checks
// included, as they reach the log too).
//
// The log is read through this process's own open file, not by its name: test programs
// running at the same time share the temporary folder, and each of them moves the log
// it finds there aside when it starts its own.
class TraceLogTail {
public:
    TraceLogTail() {
        theTrace().Write("TraceLogTail");
        path_ = OpenLogPath();
        start_ = theTrace().Length();
    }

    std::string Text() const {
        std::ifstream in(path_, std::ios::binary);
        if (!in) return {};
        in.seekg(start_);
        std::ostringstream out;
        out << in.rdbuf();
        // The open log's room past its last line holds NULs.
        std::string text = out.str();
        text.resize(std::min(text.size(), text.find('\0')));
        return text;
    }
    bool Contains(const std::string& text) const { return Text().find(text) != std::string::npos; }

private:
    // "/proc/self/fd/N" of the log this process writes to; its path when none is found.
    static std::string OpenLogPath() {
        std::string found = theTrace().TracePath();
        DIR* dir = opendir("/proc/self/fd");
        if (!dir) return found;
        while (dirent* entry = readdir(dir)) {
            const std::string fd = std::string("/proc/self/fd/") + entry->d_name;
            char target[4096];
            const ssize_t n = readlink(fd.c_str(), target, sizeof target - 1);
            if (n <= 0) continue;
            target[n] = '\0';
            // The log's name, or the name it was moved aside to.
            if (std::string(target).find("Kivora_Trace") != std::string::npos) {
                found = fd;
                break;
            }
        }
        closedir(dir);
        return found;
    }

    std::string path_;
    std::streamoff start_ = 0;
};
