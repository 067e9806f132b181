#pragma once

#include <compare>
#include <cstdint>
#include <string>

// A version of four numbers, each kept in 8 bits (a larger number wraps), compared
// in order a, b, c, d.
struct FileVersion {
    uint8_t a = 0;
    uint8_t b = 0;
    uint8_t c = 0;
    uint8_t d = 0;

    // Reads "a,b,c,d": the text must be longer than 6 characters and give four pieces
    // when split at ',' (empty pieces do not count); in each piece characters before the
    // first digit are skipped and the digits that follow make the number. False, with a
    // trace and the version unchanged, otherwise.
    bool Parse(const char* text);

    bool IsZero() const { return a == 0 && b == 0 && c == 0 && d == 0; }
    std::string ToString() const;

    friend auto operator<=>(const FileVersion&, const FileVersion&) = default;
};

// The version a library or program states in its file (see foundation/FileVersionMark.h).
// False when the file does not read or states none.
bool ReadFileVersionMark(const char* path, FileVersion* version);
