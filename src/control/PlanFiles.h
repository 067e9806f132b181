#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

class KeyDataList;

namespace platform {
class Menu;
}

// Helpers of the plan files: the stream reader, the element counts a dropped plan is
// judged by, and the recent-files list.

// The member of a plan cabinet is the plan's stream; it ends with this byte.
constexpr int kPlanStreamEnd = 0x03;
constexpr int kRecentFileCount = 9;
constexpr uint32_t kFirstRecentFileCommand = 111;
constexpr const char* kRecentFilesKey = "Recent files\\";
constexpr const char* kAutoRecoveryName = "restore.kvp";

// Reads a plan stream into `out`. True only for a whole stream: every member read and
// the closing byte found at the top level. A stream cut short or damaged answers false
// (what was read whole stays in `out`, for the caller to throw away).
bool ReadPlanStream(FILE* file, KeyDataList& out);

// What a dropped plan holds at its top level: the elements that count (lights, states,
// the sky and the terrain do not), and whether a "Group" is among them.
struct PlanContents {
    int counted = 0;
    bool hasGroup = false;
};
PlanContents CountPlanContents(const KeyDataList& plan);

// The extension of `path` after its last '.' (empty without one).
std::string PlanExtension(const char* path);

// Puts `path` first in the list: an equal entry (any case) leaves its place first, and
// only a path holding ".kvp" (any case) shorter than 260 characters is added. The list
// keeps kRecentFileCount entries, empty ones at its end.
void UpdateRecentFiles(std::vector<std::string>& entries, const char* path);
std::vector<std::string> ReadRecentFiles();
void WriteRecentFiles(const std::vector<std::string>& entries);
// The titles of the non-empty entries as commands 111 onwards.
void BuildRecentFilesMenu(const std::vector<std::string>& entries, platform::Menu& menu);
