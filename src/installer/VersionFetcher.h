#pragma once

#include <cstddef>
#include <cstdio>
#include <string>

#include "installer/Download.h"

class Component;

// Fetches the server's version list ("versionInfo.txt") into the program folder and
// gives each component the version its record names. The list holds records of the form
//   dim DuzazododizaVersion = "1,0,0,27"
// separated by blanks or line breaks; tokens before each "dim" are skipped.
class VersionFetcher : public Download {
public:
    static constexpr size_t kBufferSize = 8192;

    VersionFetcher(Component** components, int count, const std::string& programFolder);

    // Downloads and reads the list. True when every component got a version.
    bool FetchAndRead();
    // Reads an already fetched list at `path`; the number of records that matched a
    // component, or -1 when the file does not open.
    int ReadVersionFile(const char* path);

    // What reading one token gives.
    enum class TokenResult { Token, Empty, End };
    // Reads one token of at most size - 1 bytes into `out` (always terminated): blanks
    // before it are skipped; a token in double quotes runs to the closing quote, blanks
    // included; a tab, line feed or carriage return ends any token. A longer token is
    // read past and counts as empty. End at the end of the file or at the byte 0xFF.
    static TokenResult ReadToken(FILE* file, char* out, size_t size);

private:
    bool ReadRecord(FILE* file, char* name, char* value);

    Component** components_;
    int count_;
};
