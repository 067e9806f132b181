#include "foundation/Cabinet.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "foundation/Trace.h"
#include "platform/CabinetArchive.h"

namespace {

// A folder is closed once it holds this many bytes; the next file starts a new one.
constexpr uint64_t kFolderThreshold = 900000;
constexpr uint16_t kCabinetSetId = 12345;
constexpr uint16_t kKeptAttributes = platform::kCabinetReadOnly | platform::kCabinetHidden |
                                     platform::kCabinetSystem | platform::kCabinetArchive;
// Longest destination folder accepted.
constexpr size_t kMaxFolderLength = 255;
// Most bytes one cabinet may extract to.
constexpr uint64_t kMaxExtractedBytes = 256ull << 20;

std::string NameOf(const std::string& path) {
    const size_t cut = path.find_last_of("/\\");
    return cut == std::string::npos ? path : path.substr(cut + 1);
}

void TraceCabinetFailure(const char* what, const char* path, const std::string& why) {
    TraceWrite((std::string(what) + path + " : " + why).c_str());
}

}  // namespace

void StripFolder(const char* path, char* out, size_t outSize) {
    if (!PRECONDITION(path && out && outSize > 0, "StripFolder needs a path and a buffer")) return;
    const std::string name = NameOf(path);
    const size_t n = std::min(name.size(), outSize - 1);
    std::memcpy(out, name.data(), n);
    out[n] = '\0';
}

bool CreateCabinet(int count, const char* const* files, const char* cabinetPath) {
    if (!PRECONDITION(count > 0 && files && cabinetPath && *cabinetPath,
                      "CreateCabinet needs files and a cabinet path"))
        return false;
    std::vector<std::vector<platform::CabinetSource>> folders(1);
    uint64_t folderBytes = 0;
    for (int i = 0; i < count; ++i) {
        const char* path = files[i];
        if (!PRECONDITION(path != nullptr, "CreateCabinet file entry is NULL")) return false;
        if (std::strcmp(path, "+") == 0) {
            if (!folders.back().empty()) folders.emplace_back();
            folderBytes = 0;
            continue;
        }
        platform::FileStamp stamp;
        if (!platform::ReadFileStamp(path, &stamp)) {
            TraceCabinetFailure("Cannot read file for cabinet ", path, "missing or unreadable");
            return false;
        }
        platform::CabinetSource source;
        source.path = path;
        source.name = NameOf(path);
        source.time = stamp.time;
        source.attributes = stamp.attributes & kKeptAttributes;
        if (!platform::IsPlainMemberName(source.name)) {
            TraceCabinetFailure("No member name for ", path, "the path names a folder");
            return false;
        }
        if (folderBytes >= kFolderThreshold) {
            folders.emplace_back();
            folderBytes = 0;
        }
        folders.back().push_back(std::move(source));
        folderBytes += stamp.size;
    }
    std::string error;
    if (!platform::WriteCabinet(cabinetPath, folders, kCabinetSetId, &error)) {
        TraceCabinetFailure("Cabinet not written ", cabinetPath, error);
        return false;
    }
    return true;
}

bool DecompressCabinet(const char* cabinetPath, const char* folder, char* outPath, size_t outSize) {
    if (!PRECONDITION(cabinetPath && *cabinetPath && folder && outPath && outSize > 0,
                      "DecompressCabinet needs a cabinet, a folder and a buffer"))
        return false;
    std::string base = folder;
    if (base.size() > kMaxFolderLength) {
        TraceCabinetFailure("Extraction folder too long for ", cabinetPath, base);
        return false;
    }
    if (!base.empty() && base.back() != '/') base += '/';

    // The path handed back must fit the caller's buffer before anything is written.
    std::vector<platform::CabinetEntry> entries;
    std::string error;
    if (!platform::ListCabinet(cabinetPath, &entries, &error)) {
        TraceCabinetFailure("Cannot read cabinet ", cabinetPath, error);
        return false;
    }
    if (!entries.empty() && base.size() + entries.back().name.size() >= outSize) {
        TraceCabinetFailure("Extracted path too long for ", cabinetPath, entries.back().name);
        return false;
    }

    platform::CabinetExtractOptions options;
    options.maxTotalBytes = kMaxExtractedBytes;
    options.attributeMask = kKeptAttributes;
    std::vector<std::string> written;
    if (!platform::ExtractCabinet(cabinetPath, base, options, &written, &error)) {
        TraceCabinetFailure("Cannot extract cabinet ", cabinetPath, error);
        return false;
    }
    // The cabinet may have changed since it was listed: the copy is checked again.
    if (written.empty() || written.back().size() >= outSize) return false;
    const std::string& last = written.back();
    std::memcpy(outPath, last.c_str(), last.size() + 1);
    return true;
}
