#include "installer/KVRInstaller.h"

#include <unistd.h>

#include <cstdio>

#include "foundation/Registry.h"
#include "installer/InstallerLog.h"
#include "platform/Component.h"
#include "platform/Files.h"
#include "platform/RegistryStore.h"
#include "platform/UserFolders.h"

namespace {

// The menu entries the installer makes, by name.
constexpr const char* kProgramEntry = "Kivora";
constexpr const char* kUninstallEntry = "Uninstall Kivora";

struct TableEntry {
    const char* file;
    const char* source;
    const char* record;
};

constexpr TableEntry kLibraries[] = {
    {"libRoomwright.so", "/Roomwright.dl_", "DuzazododizaVersion"},
    {"libGearscout.so", "/Gearscout.dl_", "GearscoutVersion"},
    {"libPatchrunner.so", "/Patchrunner.dl_", "UpdaterVersion"},
    {"libPagepane.so", "/Pagepane.dl_", "PagepaneVersion"},
    {"libIntrocard.so", "/Introcard.dl_", "SplashScreenVersion"},
};

std::string MenuFolder() {
    const std::string applications = platform::ApplicationsFolder();
    return applications.empty() ? std::string() : applications + "/Kivora";
}

}  // namespace

KVRInstaller::KVRInstaller() : InstallerObject("CompID : Installer v.1,0,0,22", "KVRI") {
    InstallerLog("Kivora Installer");
    for (const TableEntry& entry : kLibraries)
        AddComponent(
            std::make_unique<Component>(entry.file, entry.source, entry.record, programFolder_));
    AddComponent(std::make_unique<ExecutableComponent>(kProgramName, "/Kivora.ex_", "HostVersion",
                                                       programFolder_));
}

platform::RefPtr<platform::IClassFactory> KVRInstaller::MakeFactory() {
    return platform::MakeClassFactory([](const platform::Guid& iid, void** out) {
        auto* installer = new KVRInstaller;
        const platform::HRESULT hr = installer->QueryInterface(iid, out);
        installer->Release();
        return hr;
    });
}

platform::HRESULT KVRInstaller::InstallAllComponents() {
    InstallerLog("KVRI::Inst");
    InstallAll();
    FinalStep();
    InstallerLog("KVRI::eInst");
    return platform::S_OK;
}

platform::HRESULT KVRInstaller::UpdateAllComponents() {
    InstallerLog("KVRI::Upd");
    UpdateAll();
    FinalStep();
    InstallerLog("KVRI::eUpd");
    return platform::S_OK;
}

platform::HRESULT KVRInstaller::SetDomain(platform::BSTR newDomain) {
    InstallerLog("KVRI::SD");
    BaseInstaller::SetDomain(newDomain);
    InstallerLog("KVRI::eSD");
    return platform::S_OK;
}

platform::HRESULT KVRInstaller::QuietlyUninstallAllComponents() {
    InstallerLog("KVRI::QUninst");
    if (!UninstallAll(false)) InstallerLog("Quiet uninstall failed");
    InstallerLog("KVRI::eQUninst");
    return platform::S_OK;
}

platform::HRESULT KVRInstaller::UninstallAllComponents() {
    if (!UserConfirmsUninstall()) return platform::S_FALSE;

    InstallerLog("KVRI::Uninst");
    platform::RefPtr<IKVRPatchrunner> updater;
    platform::CreateInstance(kKVRPatchrunnerClassId, &updater);
    if (!updater) {
        InstallerLog("Failed to create Patchrunner object");
    } else {
        InstallerLog("About to access updater");
        updater->QuietlyUninstallAllComponents();
        updater.Reset();
    }
    InstallerLog("pre BI::UAC");
    UninstallAll(true);
    if (!programFolder_.empty()) platform::DeleteFile((programFolder_ + "/Update.bat").c_str());
    RemoveProgramFolders();
    InstallerLog("pre DestroyShortcuts");
    DestroyShortcuts();
    InstallerLog("KVRI::eUninst");
    return platform::S_OK;
}

bool KVRInstaller::CreateShortcuts() {
    const std::string folder = MenuFolder();
    if (folder.empty() || !FilePath::CreateFolders(folder.c_str())) return false;
    const std::string program = programFolder_ + "/" + kProgramName;
    const bool exe = WriteDesktopEntry(folder, kProgramEntry, program, "");
    if (!exe) InstallerLog("Failed to setup exe shortcut.");
    const bool uninstall = WriteDesktopEntry(folder, kUninstallEntry, program, "-u");
    if (!uninstall) InstallerLog("Failed to setup uninstall shortcut");
    return exe && uninstall;
}

bool KVRInstaller::WriteUninstallEntry() {
    auto store = platform::RegistryStore::ForCurrentUser();
    using platform::RegistryRoot;
    using platform::RegistryType;
    if (!store || !store->CreateKey(RegistryRoot::LocalMachine, kUninstallKey)) {
        InstallerLog("Failed to create uninstall key");
        return false;
    }
    // Both texts are stored with their terminating zero.
    static const char kDisplayName[] = "Kivora";
    if (!store->SetValue(RegistryRoot::LocalMachine, kUninstallKey, "DisplayName",
                         RegistryType::String, kDisplayName, sizeof kDisplayName)) {
        InstallerLog("Failed to set display name");
        return false;
    }
    const std::string command = "\"" + programFolder_ + "/" + kProgramName + "\" -u";
    if (!store->SetValue(RegistryRoot::LocalMachine, kUninstallKey, "UninstallString",
                         RegistryType::String, command.c_str(), command.size() + 1)) {
        InstallerLog("Failed to write uninstall string");
        return false;
    }
    return true;
}

void KVRInstaller::FinalStep() {
    InstallerLog("KVRI::Final");
    double done = 0.0;
    RegistryGetDouble("", "ScutsDone", &done);
    if (done == 0.0 && CreateShortcuts()) RegistrySetDouble("", "ScutsDone", 1.0);
    WriteUninstallEntry();
    Download script("Update.txt");
    script.PointSourceAt(Domain().c_str());
    script.Destination().SetFolder(programFolder_.c_str());
    script.Destination().SetName("Update.bat");
    script.Fetch();
    InstallerLog("KVRI::eFinal");
}

void KVRInstaller::DestroyShortcuts() {
    const std::string folder = MenuFolder();
    if (folder.empty()) {
        InstallerLog("Destroy failed to get common programs folder");
    } else {
        // Only the entries made here go; the folder goes with them when nothing else of
        // the user's is in it.
        for (const char* name : {kProgramEntry, kUninstallEntry})
            platform::DeleteFile((folder + "/" + name + ".desktop").c_str());
        rmdir(folder.c_str());
    }
    const std::string desktop = platform::DesktopFolder();
    if (desktop.empty())
        InstallerLog("Destroy failed to get common desktop folder");
    else
        platform::DeleteFile((desktop + "/Kivora.desktop").c_str());
}
