#pragma once

#include "foundation/IKVRInstaller.h"
#include "installer/InstallerObject.h"

// The updater: the installer's machinery for the one file that holds the installer, so
// that the installer can be replaced before it runs.
class KVRPatchrunner final : public InstallerObject<IKVRPatchrunner> {
public:
    KVRPatchrunner();

    static platform::RefPtr<platform::IClassFactory> MakeFactory();

    platform::HRESULT InstallAllComponents() override;
    platform::HRESULT UninstallAllComponents() override;
    // Closes the log afterwards.
    platform::HRESULT UpdateAllComponents() override;
    platform::HRESULT SetDomain(platform::BSTR newDomain) override;
    platform::HRESULT QuietlyUninstallAllComponents() override;
};
