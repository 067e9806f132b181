#include "installer/VersionFetcher.h"

#include <strings.h>

#include <memory>

#include "foundation/Trace.h"
#include "installer/Component.h"

VersionFetcher::VersionFetcher(Component** components, int count, const std::string& programFolder)
    : Download("versionInfo.txt"), components_(components), count_(count) {
    Destination().SetFolder(programFolder.c_str());
    Destination().SetName("versionInfo.txt");
}

VersionFetcher::TokenResult VersionFetcher::ReadToken(FILE* file, char* out, size_t size) {
    if (!PRECONDITION(file != nullptr, "Null file supplied") ||
        !PRECONDITION(out != nullptr, "NULL outBuffer supplied") ||
        !PRECONDITION(size > 1 && size <= kBufferSize, "Invalid outBuffer length supplied"))
        return TokenResult::End;
    out[0] = '\0';
    int c = std::fgetc(file);
    while (c == ' ') c = std::fgetc(file);
    if (c == EOF || c == 0xFF) return TokenResult::End;
    const bool quoted = c == '"';
    if (quoted) c = std::fgetc(file);
    size_t length = 0;
    bool tooLong = false;
    bool ended = false;
    for (;; c = std::fgetc(file)) {
        if (c == EOF || c == 0xFF) {
            ended = true;
            break;
        }
        if (c == '\t' || c == '\n' || c == '\r') break;
        if (quoted ? c == '"' : c == ' ') break;
        if (length + 1 < size)
            out[length++] = static_cast<char>(c);
        else
            tooLong = true;
    }
    out[length] = '\0';
    if (tooLong || length == 0) {
        out[0] = '\0';
        // The end of the file after an empty token still ends reading.
        return ended && length == 0 ? TokenResult::End : TokenResult::Empty;
    }
    return TokenResult::Token;
}

bool VersionFetcher::ReadRecord(FILE* file, char* name, char* value) {
    if (!PRECONDITION(name != nullptr, "Invalid buffer given for varName") ||
        !PRECONDITION(value != nullptr, "Invalid buffer given for varValue"))
        return false;
    // Everything before the word "dim" is skipped.
    for (;;) {
        const TokenResult r = ReadToken(file, name, kBufferSize);
        if (r == TokenResult::End) return false;
        if (r == TokenResult::Token && strcasecmp(name, "dim") == 0) break;
    }
    auto equals = std::make_unique<char[]>(kBufferSize);
    return ReadToken(file, name, kBufferSize) == TokenResult::Token &&
           ReadToken(file, equals.get(), kBufferSize) == TokenResult::Token &&
           ReadToken(file, value, kBufferSize) == TokenResult::Token;
}

int VersionFetcher::ReadVersionFile(const char* path) {
    if (!PRECONDITION(count_ > 0, "Invalid number of components supplied") ||
        !PRECONDITION(components_ != nullptr, "Invalid component array supplied"))
        return -1;
    FILE* file = path ? std::fopen(path, "rb") : nullptr;
    if (!file) return -1;
    auto name = std::make_unique<char[]>(kBufferSize);
    auto value = std::make_unique<char[]>(kBufferSize);
    int matched = 0;
    while (ReadRecord(file, name.get(), value.get())) {
        for (int i = 0; i < count_; ++i) {
            Component* component = components_[i];
            if (component && strcasecmp(component->RecordName().c_str(), name.get()) == 0) {
                component->serverVersion.Parse(value.get());
                ++matched;
                break;
            }
        }
    }
    std::fclose(file);
    return matched;
}

bool VersionFetcher::FetchAndRead() {
    if (!POSTCONDITION(Fetch(), "Download failed")) return false;
    const int matched = ReadVersionFile(Destination().FullName().c_str());
    if (matched < 0) return false;
    return POSTCONDITION(matched == count_, "All components' versions not initialized");
}
