#include "host/CommandLine.h"

#include <strings.h>

#include <cstring>

#include "foundation/Trace.h"
#include "host/HostResources.h"

size_t GetNextToken(const char* text, char* out, size_t size, bool* overflowed) {
    if (overflowed) *overflowed = false;
    if (!PRECONDITION(out != nullptr && size != 0, "Null buffer supplied")) return kNoMoreTokens;
    out[0] = '\0';
    if (!text || !*text) return kNoMoreTokens;

    size_t at = 0;
    while (text[at] == ' ') ++at;
    const bool quoted = text[at] == '"' || text[at] == '\'';
    if (quoted) ++at;
    auto stops = [quoted](char c) { return quoted ? (c == '"' || c == '\'') : c == ' '; };

    size_t copied = 0;
    bool cut = false;
    while (text[at] && !stops(text[at])) {
        if (copied + 1 < size)
            out[copied++] = text[at];
        else
            cut = true;
        ++at;
    }
    out[copied] = '\0';
    if (quoted && text[at]) ++at;  // the closing quote belongs to this token
    if (cut) {
        POSTCONDITION(false, "outBuffer was overflowed");
        if (overflowed) *overflowed = true;
    }
    return at;
}

std::string JoinArguments(const std::vector<std::string>& arguments) {
    std::string line;
    for (const std::string& argument : arguments) {
        // Unquoted, a token ends only at a blank; quoted, at either quote character.
        const bool needsQuotes = argument.empty() || argument.find(' ') != std::string::npos ||
                                 argument[0] == '"' || argument[0] == '\'';
        if (needsQuotes && argument.find_first_of("\"'") != std::string::npos) {
            TraceWrite("An argument that cannot be written as one token is left out");
            continue;
        }
        if (!line.empty()) line += ' ';
        line += needsQuotes ? "\"" + argument + "\"" : argument;
    }
    return line;
}

std::string PlanNameInCommandLine(const char* line) {
    std::string name;
    if (!line) return name;
    const size_t length = std::strlen(line);
    size_t at = 0;
    char token[kTokenSize];
    while (at < length) {
        bool tooLong = false;
        const size_t used = GetNextToken(line + at, token, sizeof token, &tooLong);
        if (used == 0 || used == kNoMoreTokens) break;
        at += used;
        if (tooLong) continue;
        if (strcasecmp(token, "-d") == 0) {
            if (at < length) {
                const size_t value = GetNextToken(line + at, token, sizeof token);
                if (value == kNoMoreTokens) break;
                at += value;
            }
        } else if (strcasecmp(token, "-u") != 0 && strcasecmp(token, "-i") != 0 && token[0]) {
            name = token;
        }
    }
    return name;
}

std::string PlanNameInHandOver(uintptr_t kind, const void* bytes, size_t size) {
    const auto* text = static_cast<const char*>(bytes);
    if (!PRECONDITION(kind == kHandOverCommandLine && text && size > 0 && text[size - 1] == '\0' &&
                          std::strlen(text) == size - 1,
                      "Invalid copy data"))
        return {};
    return PlanNameInCommandLine(text);
}

namespace {

std::string& Buffered() {
    static std::string name;
    return name;
}

}  // namespace

bool SetBufferedFileName(const std::string& name) {
    if (!PRECONDITION(name.size() < kFileNameSize, "File name too long")) return false;
    Buffered() = name;
    return true;
}

const std::string& BufferedFileName() {
    return Buffered();
}

void ClearBufferedFileName() {
    Buffered().clear();
}
