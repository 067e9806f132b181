#pragma once

#include "foundation/Common.h"
#include "foundation/IKVRInstaller.h"
#include "installer/InstallerObject.h"

// The installer: installs, updates and uninstalls the product's files, makes the menu
// entries and the uninstall entry, and fetches the update script the host and the
// editor run ("Update.bat" in the program folder).
class KVRInstaller final : public InstallerObject<IKVRInstaller> {
public:
    KVRInstaller();

    static platform::RefPtr<platform::IClassFactory> MakeFactory();

    platform::HRESULT InstallAllComponents() override;
    platform::HRESULT UninstallAllComponents() override;
    platform::HRESULT UpdateAllComponents() override;
    platform::HRESULT SetDomain(platform::BSTR newDomain) override;
    platform::HRESULT QuietlyUninstallAllComponents() override;

    // The name of the host program in the program folder.
    static constexpr const char* kProgramName = "Kivora";

    // After an install or update: the menu entries (once), the uninstall entry and the
    // update script.
    void FinalStep();
    // Removes the menu entries and the desktop entry.
    void DestroyShortcuts();

private:
    bool CreateShortcuts();
    bool WriteUninstallEntry();
};
