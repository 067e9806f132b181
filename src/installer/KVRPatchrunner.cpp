#include "installer/KVRPatchrunner.h"

#include "installer/InstallerLog.h"

KVRPatchrunner::KVRPatchrunner() : InstallerObject("CompID : Updater v.1,0,0,18", "IU") {
    InstallerLog("Kivora Patchrunner");
    AddComponent(std::make_unique<Component>("libInstaller.so", "/Installer.dl_",
                                             "InstallerVersion", programFolder_));
}

platform::RefPtr<platform::IClassFactory> KVRPatchrunner::MakeFactory() {
    return platform::MakeClassFactory([](const platform::Guid& iid, void** out) {
        auto* updater = new KVRPatchrunner;
        const platform::HRESULT hr = updater->QueryInterface(iid, out);
        updater->Release();
        return hr;
    });
}

platform::HRESULT KVRPatchrunner::InstallAllComponents() {
    InstallerLog("IU::Inst");
    if (!InstallAll()) InstallerLog("InstallAllComponents failed");
    InstallerLog("IU::eInst");
    return platform::S_OK;
}

platform::HRESULT KVRPatchrunner::UpdateAllComponents() {
    InstallerLog("IU::Upd");
    if (!UpdateAll()) InstallerLog("Failed to update all components");
    InstallerLog("eIU::Upd");
    CloseTrace();
    return platform::S_OK;
}

platform::HRESULT KVRPatchrunner::SetDomain(platform::BSTR newDomain) {
    InstallerLog("IU::SD");
    if (!BaseInstaller::SetDomain(newDomain)) InstallerLog("Failed to set domain");
    InstallerLog("IU::eSD");
    return platform::S_OK;
}

platform::HRESULT KVRPatchrunner::QuietlyUninstallAllComponents() {
    InstallerLog("IU::QUninst");
    if (!UninstallAll(false)) InstallerLog("Quiet uninstall failed");
    InstallerLog("IU::eQUninst");
    return platform::S_OK;
}

platform::HRESULT KVRPatchrunner::UninstallAllComponents() {
    if (!UserConfirmsUninstall()) return platform::S_FALSE;

    InstallerLog("IU::Uninst");
    platform::RefPtr<IKVRInstaller> installer;
    platform::CreateInstance(kKVRInstallerClassId, &installer);
    if (installer) {
        InstallerLog("About to access installer");
        installer->QuietlyUninstallAllComponents();
        installer.Reset();
    }
    if (!UninstallAll(true)) InstallerLog("Failed to uninstall all components");
    InstallerLog("IU::eUninst");
    return platform::S_OK;
}
