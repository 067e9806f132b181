#pragma once

#include <string>

#include "foundation/IKVRInstaller.h"
#include "host/BaseWindow.h"
#include "introcard/IKVRSplash.h"
#include "platform/Component.h"
#include "platform/WindowedObject.h"

// The host's handle on one component: created by class identifier through the component
// registry (the library the registry store names for the class), told the content
// server's address, and released with the wrapper.
class ComObjectWrapper {
public:
    ComObjectWrapper(const platform::Guid& classId, const platform::Guid& interfaceId)
        : classId_(classId), interfaceId_(interfaceId) {}
    virtual ~ComObjectWrapper() = default;
    ComObjectWrapper(const ComObjectWrapper&) = delete;
    ComObjectWrapper& operator=(const ComObjectWrapper&) = delete;

    virtual bool Initialize() { return false; }
    virtual platform::HRESULT Main() { return platform::E_NOTIMPL; }
    virtual bool SetInterfacesDomain() { return true; }

    bool HasObject() const { return static_cast<bool>(object_); }

protected:
    platform::Guid classId_;
    platform::Guid interfaceId_;
    platform::RefPtr<platform::IUnknown> object_;
};

// The stored server address as the components take it: "http://" in front unless it
// names a scheme already, and a trailing '/'. Empty when no address is stored.
std::string ComponentDomain();

// A component that lives in a window of the host: the host window is a client window of
// the framework, the component's own window a child of it that follows its size.
class WindowedCOMObject : public BaseWindow, public ComObjectWrapper {
public:
    WindowedCOMObject(const platform::Guid& classId, const platform::Guid& interfaceId)
        : ComObjectWrapper(classId, interfaceId) {}
    // Destroys the component's window before the component is released.
    ~WindowedCOMObject() override;

    // Creates the component (its class identifier as 38 characters of text) with its
    // window in this object's window, asks it for its interface and passes the domain.
    platform::HRESULT InitializeWindowAndObject(const char* classId);
    // Asks the component for the wrapper's interface.
    virtual platform::HRESULT QueryControlInterface() = 0;

    int OnSize(platform::WParam type, int width, int height) override;

    // The component's own window (kNoWindow when none).
    platform::WindowHandle ObjectWindow() const;

protected:
    void ReleaseObject();

    platform::WindowHandle hostWindow_ = platform::kNoWindow;
    platform::RefPtr<platform::IWindowedObject> windowed_;
};

// The installer: brings every component up to date and registers the plan file type.
class Installer : public ComObjectWrapper {
public:
    Installer();
    ~Installer() override;
    bool Initialize() override;
    platform::HRESULT Main() override;
    bool SetInterfacesDomain() override;
    platform::HRESULT DoUpdate();
    platform::HRESULT DoUninstall();

private:
    platform::RefPtr<IKVRInstaller> installer_;
};

// The updater: brings the installer itself up to date.
class Updater : public ComObjectWrapper {
public:
    Updater();
    ~Updater() override;
    bool Initialize() override;
    platform::HRESULT Main() override;
    bool SetInterfacesDomain() override;
    platform::HRESULT DoUpdate();

private:
    platform::RefPtr<IKVRPatchrunner> updater_;
};

// The splash screen: shown for at least 3000 ms while the main window comes up.
class Splash : public ComObjectWrapper {
public:
    static constexpr int32_t kShowMilliseconds = 3000;

    Splash();
    // Closes the splash at once.
    ~Splash() override;
    bool Initialize() override;
    // Shows the splash and asks for its time. E_FAIL without a splash object.
    platform::HRESULT Main() override;
    // Lets the splash close once its time is over.
    platform::HRESULT CloseSplash();

private:
    platform::RefPtr<IKVRSplash> splash_;
};
