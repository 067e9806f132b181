// The host's command line and the record a later start hands over.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "host/CommandLine.h"
#include "host/HostResources.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // As a hand-over record, whatever its bytes.
    PlanNameInHandOver(kHandOverCommandLine, data, size);

    // As a command line: tokens read into a small buffer, then written back as
    // arguments, which must read back the same.
    const std::string line(reinterpret_cast<const char*>(data), size);
    const char* text = line.c_str();
    const size_t length = std::char_traits<char>::length(text);
    const size_t bufferSize = size > 0 ? data[0] % 24 + 1 : 1;
    std::vector<char> token(bufferSize);
    std::vector<std::string> tokens;
    for (size_t at = 0; at < length;) {
        bool cut = false;
        const size_t used = GetNextToken(text + at, token.data(), token.size(), &cut);
        if (used == 0 || used == kNoMoreTokens) break;
        at += used;
        if (token[0] && !cut) tokens.push_back(token.data());
    }
    const std::string joined = JoinArguments(tokens);
    std::vector<std::string> again;
    std::vector<char> whole(joined.size() + 1);
    for (size_t at = 0; at < joined.size();) {
        const size_t used = GetNextToken(joined.c_str() + at, whole.data(), whole.size());
        if (used == 0 || used == kNoMoreTokens) break;
        at += used;
        if (whole[0]) again.push_back(whole.data());
    }
    // No token holds a quote together with a blank, so every one reads back the same.
    if (again != tokens) std::abort();
    PlanNameInCommandLine(text);
    return 0;
}
