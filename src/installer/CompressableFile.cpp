#include "installer/CompressableFile.h"

#include <atomic>
#include <filesystem>

#include "foundation/Cabinet.h"
#include "foundation/Common.h"
#include "foundation/Trace.h"
#include "installer/InstallerLog.h"
#include "platform/Files.h"

namespace {

// Set while one staged extraction runs in the process: a failing staged extraction
// does not start another.
std::atomic<bool> g_staging{false};

}  // namespace

std::string StagingFolder(const std::string& programFolder) {
    std::string folder = programFolder;
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    return folder + "Install";
}

bool CompressableFile::Decompress() {
    if (!PRECONDITION(!compressed_.FullName().empty(), "Invalid compressedFilename")) return false;
    char extracted[kCabinetPathSize] = "";
    if (DecompressCabinet(compressed_.FullName().c_str(), compressed_.Folder().c_str(), extracted,
                          sizeof extracted))
        return POSTCONDITION(decompressed_.SetFullPath(extracted),
                             "decompressedFilename failed to set");
    if (!g_staging.exchange(true)) {
        StageAndReplace();
        g_staging.store(false);
    }
    return false;
}

void CompressableFile::StageAndReplace() {
    const std::string staging = StagingFolder(GetProgramFolder());
    if (staging == "Install" || !FilePath::CreateFolders(staging.c_str())) return;
    const std::string copy = staging + "/" + compressed_.Name();
    std::error_code error;
    std::filesystem::copy_file(compressed_.FullName(), copy,
                               std::filesystem::copy_options::overwrite_existing, error);
    if (error) {
        InstallerLog("Cannot stage %s", compressed_.FullName().c_str());
        return;
    }
    char extracted[kCabinetPathSize] = "";
    if (DecompressCabinet(copy.c_str(), staging.c_str(), extracted, sizeof extracted) &&
        !platform::RenameFile(extracted, decompressed_.FullName().c_str()))
        InstallerLog("Cannot move %s into place", extracted);
}
