#pragma once

#include <string>

#include "installer/CompressableFile.h"
#include "installer/Download.h"
#include "installer/RegisterableFile.h"

// One product file: downloaded as a cabinet from the server into the program folder,
// extracted there and registered. `recordName` names its line in the server's version
// list.
class Component : public Download, public RegisterableFile, public CompressableFile {
public:
    // `finalName` is the installed file's name, `sourcePath` the cabinet's path on the
    // server; both land in `programFolder`.
    Component(const char* finalName, const char* sourcePath, const char* recordName,
              const std::string& programFolder);

    const std::string& RecordName() const { return recordName_; }

    bool Decompress() override;

    // Download, extract, register; each step only after the one before succeeded.
    bool Install();
    // True when the installed file states no version or an older one than the server's.
    // A server version of 0.0.0.0 never asks for an update.
    bool NeedsUpdate();
    // Unregisters, drops the cached download and deletes the cabinet and the file.
    // Always true; each failure is traced.
    bool Uninstall();

private:
    std::string recordName_;
};

// The host program: nothing to register, and its version is the one the program
// wrote at its last start ("ExeVS").
class ExecutableComponent : public Component {
public:
    using Component::Component;

    bool Register() override { return true; }
    bool Unregister() override { return true; }
    bool GetVersion(FileVersion* version) override;
    // Also makes the program executable.
    bool Decompress() override;
};
