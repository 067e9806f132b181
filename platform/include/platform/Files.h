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

// Makes a new folder readable by the user only, named `prefix` and a unique suffix, in
// `parent` (with or without its trailing '/'). Its path with a trailing '/', or empty
// when it cannot be made.
std::string MakeUniqueFolder(const std::string& parent, const char* prefix);
// Makes `path` and every missing folder above it, readable by the user only; true when
// the folder exists afterwards.
bool MakeFolders(const std::string& path);
// Removes a folder with everything in it (symbolic links are removed, never followed);
// true when nothing is left of it.
bool RemoveFolderTree(const std::string& path);

}  // namespace platform
