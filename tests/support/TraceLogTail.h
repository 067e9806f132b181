#pragma once

#include <fstream>
#include <sstream>
#include <string>

#include "foundation/Trace.h"

// What the process's trace log received since the object was made (failed checks
// included, as they reach the log too).
class TraceLogTail {
public:
    TraceLogTail() : path_(theTrace().TracePath()) {
        std::ifstream in(path_, std::ios::binary | std::ios::ate);
        start_ = in ? static_cast<std::streamoff>(in.tellg()) : 0;
    }

    std::string Text() const {
        std::ifstream in(path_, std::ios::binary);
        if (!in) return {};
        in.seekg(start_);
        std::ostringstream out;
        out << in.rdbuf();
        return out.str();
    }
    bool Contains(const std::string& text) const { return Text().find(text) != std::string::npos; }

private:
    std::string path_;
    std::streamoff start_ = 0;
};
