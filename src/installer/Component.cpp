#include "installer/Component.h"

#include <sys/stat.h>

#include "foundation/Registry.h"
#include "foundation/Trace.h"
#include "installer/InstallerLog.h"

Component::Component(const char* finalName, const char* sourcePath, const char* recordName,
                     const std::string& programFolder)
    : Download(sourcePath), recordName_(recordName) {
    FilePath source;
    source.SetName(sourcePath);
    Destination().SetFolder(programFolder.c_str());
    Destination().SetName(source.Name().c_str());
    Compressed() = Destination();
    Decompressed().SetFolder(Compressed().Folder().c_str());
    Decompressed().SetName(finalName);
    File() = Decompressed();
}

bool Component::Decompress() {
    const bool done = CompressableFile::Decompress();
    File() = Decompressed();
    return done;
}

bool Component::Install() {
    InstallerLog("Installing...");
    InstallerLog("%s", SourceName().c_str());
    if (!Fetch()) {
        InstallerLog("Failed to download file");
        return false;
    }
    InstallerLog("Decompressing...");
    if (!Decompress()) {
        InstallerLog("Failed to decompress file");
        return false;
    }
    InstallerLog("Registering...");
    if (!Register()) {
        InstallerLog("Failed to register file");
        return false;
    }
    InstallerLog("Installation complete.");
    return true;
}

bool Component::NeedsUpdate() {
    FileVersion local;
    if (!GetVersion(&local)) return true;
    return !serverVersion.IsZero() && local < serverVersion;
}

bool Component::Uninstall() {
    InstallerLog("Uninstalling...");
    InstallerLog("%s", File().Name().c_str());
    if (!Unregister()) InstallerLog("Failed to unregister");
    if (!Source().DeleteUrlCacheEntry()) InstallerLog("Failed to delete cached file");
    if (!Compressed().Delete()) InstallerLog("Failed to delete compressed file");
    if (!Decompressed().Delete()) InstallerLog("Failed to delete decompressed file");
    return true;
}

bool ExecutableComponent::GetVersion(FileVersion* version) {
    if (!PRECONDITION(version != nullptr, "Null outVersion passed")) return false;
    char text[260] = "";
    if (!RegistryGetString("", "ExeVS", text, sizeof text) || !text[0]) return false;
    return version->Parse(text);
}

bool ExecutableComponent::Decompress() {
    if (!Component::Decompress()) return false;
    struct stat info {};
    const char* path = Decompressed().FullName().c_str();
    if (stat(path, &info) == 0) chmod(path, info.st_mode | S_IXUSR);
    return true;
}
