#include "installer/FileVersion.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <string_view>
#include <vector>

#include "foundation/FileVersionMark.h"
#include "foundation/Trace.h"

namespace {

// Longest version text read, from a file or a mark.
constexpr size_t kMaxVersionText = 64;
// Larger files are not searched for a mark.
constexpr long long kMaxMarkedFileSize = 1ll << 30;

// The number that starts at the first digit of the piece, kept in 8 bits.
uint8_t PieceNumber(std::string_view piece) {
    size_t i = 0;
    while (i < piece.size() && !std::isdigit(static_cast<unsigned char>(piece[i]))) ++i;
    unsigned value = 0;
    for (; i < piece.size() && std::isdigit(static_cast<unsigned char>(piece[i])); ++i)
        value = (value * 10 + static_cast<unsigned>(piece[i] - '0')) & 0xFFu;
    return static_cast<uint8_t>(value);
}

}  // namespace

bool FileVersion::Parse(const char* text) {
    if (!PRECONDITION(text && std::strlen(text) > 6, "Invalid version string")) return false;
    if (!PRECONDITION(std::strlen(text) <= kMaxVersionText, "Invalid version string")) return false;
    std::string_view rest(text);
    uint8_t numbers[4];
    int found = 0;
    while (found < 4) {
        const size_t start = rest.find_first_not_of(',');
        if (start == std::string_view::npos) break;
        rest.remove_prefix(start);
        const size_t end = rest.find(',');
        numbers[found++] = PieceNumber(rest.substr(0, end));
        rest.remove_prefix(end == std::string_view::npos ? rest.size() : end);
    }
    if (!PRECONDITION(found == 4, "Invalid sequence in stringPtr")) return false;
    a = numbers[0];
    b = numbers[1];
    c = numbers[2];
    d = numbers[3];
    return true;
}

std::string FileVersion::ToString() const {
    char text[32];
    std::snprintf(text, sizeof text, "%u,%u,%u,%u", a, b, c, d);
    return text;
}

bool ReadFileVersionMark(const char* path, FileVersion* version) {
    if (!PRECONDITION(version != nullptr, "Null outVersion passed") || !path) return false;
    FILE* file = std::fopen(path, "rb");
    if (!file) return false;
    const std::string_view prefix = KIVORA_FILE_VERSION_PREFIX;
    // Read in blocks that overlap by a mark's length, so no mark is cut in two.
    const size_t overlap = prefix.size() + kMaxVersionText;
    std::vector<char> block(1 << 20);
    size_t kept = 0;
    long long total = 0;
    bool found = false;
    while (!found && total < kMaxMarkedFileSize) {
        const size_t n = std::fread(block.data() + kept, 1, block.size() - kept, file);
        total += static_cast<long long>(n);
        const size_t size = kept + n;
        const bool atEnd = n == 0 || std::feof(file);
        const std::string_view data(block.data(), size);
        // Only marks whose version fits in what was read are judged here.
        const size_t limit = atEnd ? size : size - std::min(size, overlap);
        for (size_t at = data.find(prefix); at != std::string_view::npos && at < limit;
             at = data.find(prefix, at + 1)) {
            std::string text;
            for (size_t i = at + prefix.size(); i < size && text.size() < kMaxVersionText; ++i) {
                const char c = data[i];
                if (!std::isdigit(static_cast<unsigned char>(c)) && c != ',') break;
                text += c;
            }
            // The reader's own copy of the prefix is followed by no version.
            FileVersion v;
            if (text.size() > 6 && std::count(text.begin(), text.end(), ',') == 3 &&
                text.front() != ',' && text.back() != ',' && v.Parse(text.c_str())) {
                *version = v;
                found = true;
                break;
            }
        }
        if (atEnd) break;
        kept = std::min(size, overlap);
        std::memmove(block.data(), block.data() + size - kept, kept);
    }
    std::fclose(file);
    return found;
}
