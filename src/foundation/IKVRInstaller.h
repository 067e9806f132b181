#pragma once

#include "platform/Automation.h"
#include "platform/Component.h"

// The members of the installer component and the updater: install, update and uninstall
// the product's components from the content server into the program folder. Every member
// answers S_OK whatever became of the work (failures go to the trace log), except
// UninstallAllComponents, which answers S_FALSE when the user declines.
class IKVRInstallerMembers : public platform::IUnknown {
public:
    virtual platform::HRESULT InstallAllComponents() = 0;
    // S_FALSE when the user declines.
    virtual platform::HRESULT UninstallAllComponents() = 0;
    virtual platform::HRESULT UpdateAllComponents() = 0;
    virtual platform::HRESULT get_InstallationIsComplete(int32_t* complete) = 0;
    virtual platform::HRESULT SetDomain(platform::BSTR newDomain) = 0;
    virtual platform::HRESULT QuietlyUninstallAllComponents() = 0;
};

// The installer's interface.
class IKVRInstaller : public IKVRInstallerMembers {
public:
    static constexpr platform::Guid kIid = {
        0x5E0C2A41, 0x7B9D, 0x4F18, {0xA3, 0x62, 0x1D, 0x4B, 0x90, 0xC7, 0x2E, 0x51}};
};

// The updater's interface: the same members, for the one component that carries the
// installer itself.
class IKVRPatchrunner : public IKVRInstallerMembers {
public:
    static constexpr platform::Guid kIid = {
        0x5E0C2A43, 0x7B9D, 0x4F18, {0xA3, 0x62, 0x1D, 0x4B, 0x90, 0xC7, 0x2E, 0x51}};
};

// The class of the installer.
inline constexpr platform::Guid kKVRInstallerClassId = {
    0x5E0C2A40, 0x7B9D, 0x4F18, {0xA3, 0x62, 0x1D, 0x4B, 0x90, 0xC7, 0x2E, 0x51}};
// The class of the updater.
inline constexpr platform::Guid kKVRPatchrunnerClassId = {
    0x5E0C2A42, 0x7B9D, 0x4F18, {0xA3, 0x62, 0x1D, 0x4B, 0x90, 0xC7, 0x2E, 0x51}};
