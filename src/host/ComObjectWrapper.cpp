#include "host/ComObjectWrapper.h"

#include <cstring>

#include "foundation/Common.h"
#include "foundation/Trace.h"
#include "host/HostRegistry.h"
#include "platform/Automation.h"

std::string ComponentDomain() {
    std::string domain = GetServerAddress();
    if (domain.empty()) return domain;
    if (domain.find("http") == std::string::npos) domain = "http://" + domain;
    if (domain.back() != '/' && domain.back() != '\\') domain += '/';
    return domain;
}

// --- WindowedCOMObject ------------------------------------------------------------------

WindowedCOMObject::~WindowedCOMObject() {
    ReleaseObject();
}

void WindowedCOMObject::ReleaseObject() {
    const platform::WindowHandle own = ObjectWindow();
    if (platform::IsWindow(own)) platform::DestroyWindow(own);
    windowed_.Reset();
    object_.Reset();
}

platform::WindowHandle WindowedCOMObject::ObjectWindow() const {
    platform::WindowHandle own = platform::kNoWindow;
    if (windowed_) windowed_->GetObjectWindow(&own);
    return own;
}

platform::HRESULT WindowedCOMObject::InitializeWindowAndObject(const char* classId) {
    TraceWrite("InitializeWindow&Obj");
    if (!PRECONDITION(hostWindow_ == platform::kNoWindow, "AXWindow already created") ||
        !PRECONDITION(!object_, "Interface pointer already initialized") ||
        !PRECONDITION(platform::IsWindow(window_), "Invalid hWnd for creating AXWindow"))
        return platform::E_FAIL;
    hostWindow_ = window_;
    TraceWrite("About to create the AX control");
    if (!PRECONDITION(classId && std::strlen(classId) == 38, "Invalid classID string passed in"))
        return platform::E_INVALIDARG;
    platform::Guid clsid;
    platform::RefPtr<platform::IUnknown> object;
    platform::HRESULT hr = platform::ParseGuid(classId, &clsid)
                               ? platform::CreateInstance(clsid, &object)
                               : platform::E_INVALIDARG;
    platform::RefPtr<platform::IWindowedObject> windowed;
    platform::WindowHandle own = platform::kNoWindow;
    if (platform::Succeeded(hr))
        hr = object->QueryInterface(platform::IWindowedObject::kIid, windowed.OutParam());
    if (platform::Succeeded(hr)) {
        const platform::Size size = platform::GetClientSize(hostWindow_);
        hr = windowed->CreateObjectWindow(hostWindow_, size.width, size.height, &own);
    }
    if (!POSTCONDITION(platform::Succeeded(hr), "Creation of iObject failed")) return hr;
    object_ = object;
    windowed_ = windowed;
    hr = QueryControlInterface();
    if (!POSTCONDITION(platform::Succeeded(hr), "Failed to get pointer from iObject")) return hr;
    if (!POSTCONDITION(SetInterfacesDomain(), "Failed to set the interface's domain"))
        return platform::E_FAIL;
    TraceWrite("InitializeObject complete");
    return platform::S_OK;
}

int WindowedCOMObject::OnSize(platform::WParam type, int width, int height) {
    const platform::WindowHandle own = ObjectWindow();
    if (platform::IsWindow(own)) platform::MoveWindow(own, 0, 0, width, height);
    return 0;
}

// --- Installer and Updater --------------------------------------------------------------

namespace {

// Creates the component and keeps its IUnknown and its interface; the texts are the
// wrapper's log lines.
template <class Interface>
bool CreateComponent(const platform::Guid& classId, platform::RefPtr<platform::IUnknown>* object,
                     platform::RefPtr<Interface>* typed, const char* createFailed,
                     const char* queryLine, const char* unknownFailed) {
    platform::RefPtr<Interface> made;
    const platform::HRESULT hr = platform::CreateInstance(classId, &made);
    if (!POSTCONDITION(platform::Succeeded(hr) && made, createFailed)) return false;
    TraceWrite(queryLine);
    platform::RefPtr<platform::IUnknown> unknown;
    if (!POSTCONDITION(
            platform::Succeeded(made->QueryInterface(platform::IUnknown::kIid, unknown.OutParam())),
            unknownFailed))
        return false;
    *object = unknown;
    *typed = made;
    TraceWrite("iObject value set");
    return true;
}

// Passes the domain to a component's SetDomain; the texts are the wrapper's log lines.
template <class Interface>
bool PassDomain(Interface* component, const char* startLine, const char* passLine) {
    TraceWrite(startLine);
    const std::string domain = ComponentDomain();
    TraceWrite(domain.c_str());
    TraceWrite(passLine);
    bool passed = false;
    if (component) {
        platform::ScopedBstr text(domain.c_str());
        passed = platform::Succeeded(component->SetDomain(text.Get()));
    }
    TraceWrite("End SetInterfacesDomain");
    return passed;
}

}  // namespace

Installer::Installer() : ComObjectWrapper(kKVRInstallerClassId, IKVRInstaller::kIid) {
    Initialize();
}

Installer::~Installer() {
    TraceWrite("~Installer");
}

bool Installer::Initialize() {
    if (!PRECONDITION(!object_, "This object is already initialized")) return false;
    TraceWrite("About to create the iInstaller object");
    if (!CreateComponent(classId_, &object_, &installer_, "Creating Installer object failed",
                         "About to QI iInstaller", "Getting Installer's IUnknown failed"))
        return false;
    return SetInterfacesDomain();
}

bool Installer::SetInterfacesDomain() {
    return PassDomain(installer_.Get(), "Installer::SetInterfacesDomain",
                      "About to pass the domain to the iInstaller");
}

platform::HRESULT Installer::DoUpdate() {
    TraceWrite("About to update all components");
    const platform::HRESULT hr = installer_->UpdateAllComponents();
    POSTCONDITION(platform::Succeeded(hr), "Update components failed");
    TraceWrite("DoUpdate complete");
    return hr;
}

platform::HRESULT Installer::DoUninstall() {
    if (!PRECONDITION(static_cast<bool>(installer_), "iInstaller is NULL")) return platform::E_FAIL;
    TraceWrite("About to do the uninstall");
    const platform::HRESULT hr = installer_->UninstallAllComponents();
    POSTCONDITION(platform::Succeeded(hr), "Uninstall components failed");
    TraceWrite("DoUninstall complete");
    return hr;
}

platform::HRESULT Installer::Main() {
    TraceWrite("Beginning Installer::Main");
    if (!PRECONDITION(static_cast<bool>(installer_), "iInstaller is NULL"))
        return platform::S_FALSE;
    const platform::HRESULT hr = DoUpdate();
    TraceWrite("Update completed");
    POSTCONDITION(platform::Succeeded(hr), "Update failed");
    const bool registered = RegisterPlanFileType(".kvp", ProgramPath().c_str());
    if (POSTCONDITION(registered, "Failed to register the duzazododiza extension"))
        TraceWrite("Duzazododiza extension registration complete");
    return platform::Succeeded(hr) && registered ? platform::S_OK : platform::S_FALSE;
}

Updater::Updater() : ComObjectWrapper(kKVRPatchrunnerClassId, IKVRPatchrunner::kIid) {
    Initialize();
}

Updater::~Updater() {
    TraceWrite("~Updater");
}

bool Updater::Initialize() {
    if (!PRECONDITION(!object_, "This object already initialized")) return false;
    TraceWrite("About to create the iUpdater object");
    if (!CreateComponent(classId_, &object_, &updater_, "Creating Updater object failed",
                         "About to QU iUpdater", "Getting Updater's IUnknown failed"))
        return false;
    return SetInterfacesDomain();
}

bool Updater::SetInterfacesDomain() {
    return PassDomain(updater_.Get(), "Updater::SetInterfacesDomain",
                      "About to pass the domain to iUpdater");
}

platform::HRESULT Updater::DoUpdate() {
    TraceWrite("About to update all components");
    const platform::HRESULT hr = updater_->UpdateAllComponents();
    POSTCONDITION(platform::Succeeded(hr), "Update components failed");
    TraceWrite("DoUpdate complete");
    return hr;
}

platform::HRESULT Updater::Main() {
    TraceWrite("Beginning Updater::Main");
    if (!PRECONDITION(static_cast<bool>(updater_), "iUpdater is NULL")) return platform::E_FAIL;
    const platform::HRESULT hr = DoUpdate();
    TraceWrite("Update complete");
    POSTCONDITION(platform::Succeeded(hr), "Update failed");
    return hr;
}

// --- Splash ----------------------------------------------------------------------------

Splash::Splash() : ComObjectWrapper(kClsidKVRSplash, IKVRSplash::kIid) {
    Initialize();
}

Splash::~Splash() {
    if (splash_) splash_->CloseWindowNOW();
}

bool Splash::Initialize() {
    platform::RefPtr<IKVRSplash> made;
    if (platform::Failed(platform::CreateInstance(classId_, &made)) || !made) return false;
    splash_ = made;
    made->QueryInterface(platform::IUnknown::kIid, object_.OutParam());
    return true;
}

platform::HRESULT Splash::Main() {
    if (!splash_) return platform::E_FAIL;
    platform::HRESULT hr = splash_->CreateSplash();
    if (platform::Succeeded(hr)) hr = splash_->SetTimer(kShowMilliseconds);
    return hr;
}

platform::HRESULT Splash::CloseSplash() {
    return splash_ ? splash_->CloseWindow() : platform::E_FAIL;
}
