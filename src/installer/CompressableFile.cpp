#include "installer/CompressableFile.h"

#include <sys/stat.h>

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

CompressableFile::Unpacked CompressableFile::Unpack(const std::string& cabinet,
                                                    const std::string& beside) {
    // Every member goes into a folder of its own first: a cabinet that holds other files
    // than the one expected writes nothing where the program's files are.
    const std::string folder = platform::MakeUniqueFolder(beside, ".unpack-");
    if (folder.empty()) return Unpacked::kFailed;
    char extracted[kCabinetPathSize] = "";
    Unpacked result = Unpacked::kFailed;
    if (DecompressCabinet(cabinet.c_str(), folder.c_str(), extracted, sizeof extracted)) {
        // The file this cabinet stands for, or, without a name to expect, its last member.
        const std::string& wanted = decompressed_.Name();
        const std::string member = wanted.empty() ? std::string(extracted) : folder + wanted;
        struct stat info {};
        if (stat(member.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
            InstallerLog("Cabinet %s does not hold %s: nothing installed", cabinet.c_str(),
                         wanted.c_str());
            result = Unpacked::kRefused;
        } else {
            FilePath placed = decompressed_;
            if (wanted.empty()) {
                FilePath last;
                last.SetFullPath(member.c_str());
                placed.SetFolder(compressed_.Folder().c_str());
                placed.SetName(last.Name().c_str());
            }
            if (!platform::RenameFile(member.c_str(), placed.FullName().c_str())) {
                InstallerLog("Cannot move %s into place", member.c_str());
            } else if (POSTCONDITION(decompressed_.SetFullPath(placed.FullName().c_str()),
                                     "decompressedFilename failed to set")) {
                result = Unpacked::kPlaced;
            }
        }
    }
    platform::RemoveFolderTree(folder);
    return result;
}

bool CompressableFile::Decompress() {
    if (!PRECONDITION(!compressed_.FullName().empty(), "Invalid compressedFilename")) return false;
    const Unpacked unpacked = Unpack(compressed_.FullName(), compressed_.Folder());
    if (unpacked != Unpacked::kFailed) return unpacked == Unpacked::kPlaced;
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
    Unpack(copy, staging);
}
