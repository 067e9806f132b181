#pragma once

#include <memory>
#include <string>
#include <vector>

#include "foundation/Common.h"
#include "installer/Component.h"

class Trace;

// What the installer and the updater share: the component table, the content domain
// and the log. The log is "Kivora_Trace.txt" in the temporary folder, opened with the
// object and closed when it goes; when the process already writes that log (the editor
// creating the installer), the installer writes into it instead of opening it twice.
class BaseInstaller {
public:
    // `header` heads the log ("CompID : Installer v.1,0,0,22").
    explicit BaseInstaller(const char* header);
    virtual ~BaseInstaller();
    BaseInstaller(const BaseInstaller&) = delete;
    BaseInstaller& operator=(const BaseInstaller&) = delete;

    // Keeps the domain ("http://host/"), points every component's source at it and reads
    // the server's version list; true when every component got a version. A null text is
    // refused, an over-long one (more than 259 characters) refused with a trace.
    bool SetDomain(const char16_t* domain);
    const std::string& Domain() const { return domain_; }

    // Installs every component in table order; true when all succeeded.
    bool InstallAll();
    // Installs every component that needs it; always true.
    bool UpdateAll();
    // Uninstalls every component and removes what the product left behind: the version
    // list, the staging and program folders when empty, the product's settings and the
    // uninstall entry. With `notice` the user is told when it is done. True when the
    // version list could be deleted.
    bool UninstallAll(bool notice);

    // Asks the user whether to uninstall; false when the answer is No.
    static bool UserConfirmsUninstall();

    int ComponentCount() const { return static_cast<int>(components_.size()); }
    Component* GetComponent(int i) { return components_[static_cast<size_t>(i)].get(); }

    // Ends the object's own log early; later lines go nowhere.
    void CloseTrace();

    // The key of the uninstall entry, under the local-machine root.
    static constexpr const char* kUninstallKey =
        "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Kivora";

protected:
    void AddComponent(std::unique_ptr<Component> component);
    // Removes the staging folder and the program folder with its parent when they are empty.
    void RemoveProgramFolders();

    std::string programFolder_;

private:
    void OpenTrace(const char* header);

    std::vector<std::unique_ptr<Component>> components_;
    std::string domain_;
    std::unique_ptr<Trace> trace_;
    Trace* previousTrace_ = nullptr;
};

// The page of the content server that takes log uploads.
inline constexpr const char* kQueryPage = "kvrQueryEntrance.aspx";
