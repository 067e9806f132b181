#pragma once

#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

namespace platform {

// Date and time as a cabinet member stores them: local time in two-second steps,
// date = (year - 1980) << 9 | month << 5 | day, time = hour << 11 | minute << 5 | second / 2.
struct DosDateTime {
    uint16_t date = 0;
    uint16_t time = 0;
};

// Local time of `t` as a DOS date and time (clamped to 1980..2107).
DosDateTime DosDateTimeFromTime(time_t t);
// The moment a DOS date and time names in local time; -1 when the fields are impossible.
time_t TimeFromDosDateTime(DosDateTime stamp);

// Member attribute bits.
enum : uint16_t {
    kCabinetReadOnly = 0x01,
    kCabinetHidden = 0x02,
    kCabinetSystem = 0x04,
    kCabinetArchive = 0x20,
};

// What a cabinet records of a file on disk: its local DOS time, its attributes (read-only
// when the owner may not write it, hidden when its name starts with '.', archive always)
// and its size. False when the path is not a readable regular file.
struct FileStamp {
    DosDateTime time;
    uint16_t attributes = 0;
    uint64_t size = 0;
};
bool ReadFileStamp(const std::string& path, FileStamp* stamp);

// One file to pack.
struct CabinetSource {
    std::string path;  // the file whose bytes are packed
    std::string name;  // its member name
    DosDateTime time;
    uint16_t attributes = 0;
};

// Writes one cabinet at `cabinetPath`: every folder of `folders` in order, each compressed
// with MSZIP (every block a deflate stream of its own, so that blocks are packed on
// several threads), and `setId` in the header. The cabinet replaces the file through a
// FileReplacement (Files.h): synced, with the replaced file's mode or 0666 less the
// umask, through a symbolic link to the file it names; a failure (a missing or changed
// input, a short write, a full disk) leaves the old file as it was. `error` (optional)
// says why it failed.
bool WriteCabinet(const std::string& cabinetPath,
                  const std::vector<std::vector<CabinetSource>>& folders, uint16_t setId,
                  std::string* error = nullptr);

// One member as the cabinet lists it.
struct CabinetEntry {
    std::string name;
    uint32_t size = 0;
    DosDateTime time;
    uint16_t attributes = 0;
    int folder = 0;  // index of the folder holding it
};

// Lists the members of the cabinet at `cabinetPath` in cabinet order. False when the file
// cannot be read or is not a cabinet.
bool ListCabinet(const std::string& cabinetPath, std::vector<CabinetEntry>* entries,
                 std::string* error = nullptr);

// True for a name that stays inside the folder it is extracted into: not empty, not "."
// or "..", without '/' or '\'.
bool IsPlainMemberName(const std::string& name);

struct CabinetExtractOptions {
    // Refuse a cabinet whose members add up to more than this many bytes.
    uint64_t maxTotalBytes = 256ull << 20;
    // Attribute bits applied to the extracted files (only read-only has a meaning here).
    uint16_t attributeMask = kCabinetReadOnly | kCabinetHidden | kCabinetSystem | kCabinetArchive;
};

// Extracts every member of the cabinet at `cabinetPath` into `folder` (which exists), each
// under its member name, with its stored time as the file's modification time and its
// read-only attribute. Folders may be MSZIP-compressed or stored; a block's checksum is
// verified unless it is 0 (none supplied). Members are unpacked straight into hidden files
// beside their targets, so memory stays flat whatever their size, and renamed into place
// once every member is whole. Refuses the whole cabinet, leaving nothing, when it is
// unreadable, has no member, names a member that is not plain, exceeds the size cap or
// fails to unpack. An existing file of a member's name is replaced; a symbolic link there
// is replaced, never followed. `written` receives the paths written, in cabinet order.
bool ExtractCabinet(const std::string& cabinetPath, const std::string& folder,
                    const CabinetExtractOptions& options, std::vector<std::string>* written,
                    std::string* error = nullptr);

}  // namespace platform
