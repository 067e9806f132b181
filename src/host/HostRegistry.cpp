#include "host/HostRegistry.h"

#include <unistd.h>

#include <cstdio>

#include "foundation/Common.h"
#include "foundation/Trace.h"
#include "host/HostResources.h"
#include "platform/Files.h"
#include "platform/Process.h"
#include "platform/RegistryStore.h"
#include "platform/UserFolders.h"

namespace {

constexpr const char* kPlanFileClass = "Duzazododiza file";

// The user's data folder (the applications folder's parent); empty when unknown.
std::string DataFolder() {
    const std::string applications = platform::ApplicationsFolder();
    const size_t slash = applications.rfind('/');
    return slash == std::string::npos ? std::string() : applications.substr(0, slash);
}

bool WriteTextFile(const std::string& path, const std::string& text) {
    const std::string temporary = path + ".new";
    FILE* file = std::fopen(temporary.c_str(), "w");
    if (!file) return false;
    const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    if (std::fclose(file) != 0 || !written ||
        !platform::RenameFile(temporary.c_str(), path.c_str())) {
        platform::DeleteFile(temporary.c_str());
        return false;
    }
    return true;
}

// Runs a desktop database tool on `folder` when the system has it.
void Refresh(const char* tool, const std::string& folder) {
    if (access(tool, X_OK) == 0) platform::StartHidden(tool, {folder});
}

// The MIME type and the menu entry that opens plan files.
bool RegisterWithDesktop(const std::string& extension, const std::string& programPath) {
    const std::string data = DataFolder();
    if (data.empty()) return false;
    const std::string packages = data + "/mime/packages";
    const std::string applications = data + "/applications";
    if (!platform::MakeFolders(packages) || !platform::MakeFolders(applications)) return false;
    const std::string glob = "*" + extension;
    const std::string mime =
        std::string(
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
            "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n"
            "  <mime-type type=\"") +
        kPlanMimeType +
        "\">\n"
        "    <comment>Kivora plan</comment>\n"
        "    <glob pattern=\"" +
        glob + "\"/>\n  </mime-type>\n</mime-info>\n";
    DesktopEntry entry;
    entry.name = "kivora-plan";
    entry.title = "Kivora";
    entry.target = programPath;
    entry.opensFiles = true;
    entry.mimeType = kPlanMimeType;
    entry.hidden = true;
    if (!WriteTextFile(packages + "/kivora-plan.xml", mime) ||
        !WriteDesktopEntry(applications, entry))
        return false;
    Refresh("/usr/bin/update-mime-database", data + "/mime");
    Refresh("/usr/bin/update-desktop-database", applications);
    return true;
}

}  // namespace

std::string EncodeStoredText(const std::string& text) {
    std::string out;
    for (unsigned char c : text) {
        const auto b = static_cast<unsigned char>(static_cast<unsigned char>(c - 10) << 1);
        if (b == 0) break;
        out += static_cast<char>(b);
    }
    return out;
}

std::string DecodeStoredText(const std::string& stored) {
    std::string out;
    for (unsigned char b : stored) {
        const auto c = static_cast<unsigned char>(((b >> 1) & 0x7F) + 10);
        out += static_cast<char>(c);
    }
    return out;
}

std::string ProgramPath() {
    const std::string folder = GetProgramFolder();
    return folder.empty() ? folder : folder + "/" + kProgramFileName;
}

bool RegisterPlanFileType(const char* extension, const char* programPath) {
    if (!PRECONDITION(extension && *extension == '.' && extension[1], "Invalid extension") ||
        !PRECONDITION(programPath && *programPath, "No program to open plans with"))
        return false;
    auto store = platform::RegistryStore::ForCurrentUser();
    using platform::RegistryRoot;
    const std::string shell = std::string(kPlanFileClass) + "\\Shell";
    const std::string command = std::string(programPath) + " %1";
    const bool classes =
        store && store->SetString(RegistryRoot::Classes, extension, "", kPlanFileClass) &&
        store->SetString(RegistryRoot::Classes, shell, "", "Open") &&
        store->SetString(RegistryRoot::Classes, shell + "\\open\\command", "", command);
    const bool desktop = RegisterWithDesktop(extension, programPath);
    if (!desktop) TraceWrite("The desktop does not know plan files yet");
    return classes && desktop;
}
