#pragma once

#include <string>

// The host's settings beside the shared registry values (foundation/Registry.h).

// The stored form of the signed-in user's name and password: every byte c becomes
// (c - 10) shifted left by one, in 8 bits, and back as ((b >> 1) & 0x7F) + 10. Codes 11
// to 137 come back unchanged; a code 10 becomes 0 and ends the stored text.
std::string EncodeStoredText(const std::string& text);
std::string DecodeStoredText(const std::string& stored);

// The program's file in the program folder; empty when the folder is unknown.
std::string ProgramPath();

// The MIME type of plan files.
inline constexpr const char* kPlanMimeType = "application/x-kivora-plan";

// Makes plan files (extension `extension`, with its dot) open with `programPath`: the
// file type in the classes root, and for the desktop a MIME type for the extension with
// a menu entry that opens such files (where the installer writes its menu entries).
bool RegisterPlanFileType(const char* extension, const char* programPath);
