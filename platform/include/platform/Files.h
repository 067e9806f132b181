#pragma once

#include <string>

namespace platform {

// The user's temporary folder with its trailing '/': $TMPDIR when set (tests point
// it at a folder of their own), else "/tmp/".
std::string TemporaryFolder();

// Renames `from` to `to`, replacing a file already at `to`; false when it fails.
bool RenameFile(const char* from, const char* to);
// Deletes the file; false when it fails (a missing file included).
bool DeleteFile(const char* path);

}  // namespace platform
