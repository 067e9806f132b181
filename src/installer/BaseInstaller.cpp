#include "installer/BaseInstaller.h"

#include <strings.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "foundation/Common.h"
#include "foundation/HttpRequest.h"
#include "foundation/Registry.h"
#include "foundation/Trace.h"
#include "installer/InstallerLog.h"
#include "installer/VersionFetcher.h"
#include "platform/Automation.h"
#include "platform/Files.h"
#include "platform/MessageBox.h"
#include "platform/RegistryStore.h"

namespace {

constexpr size_t kMaxDomainLength = 259;

// True when the log at `path` exists and was not ended cleanly: opening it anew keeps it
// aside for upload.
bool IsUncleanLog(const char* path) {
    FILE* file = std::fopen(path, "rb");
    if (!file) return false;
    char start[9] = {};
    std::fread(start, 1, 8, file);
    std::fclose(file);
    return strcasecmp(start, "NO_POST") != 0;
}

// Sends the excerpt of the log kept aside at `errorPath` to the content server.
void PostKeptLog(const char* errorPath) {
    const std::string body = TraceLogExcerpt(errorPath);
    if (body.empty()) return;
    const std::string server = GetServerAddress();
    if (server.empty()) {
        InstallerLog("No server to post the earlier log to");
        return;
    }
    const std::string page = std::string(kQueryPage) +
                             "?errPost=1&userID=" + EncodeQueryValue(GetUserID().c_str()) +
                             "&filename=" + EncodeQueryValue(Trace::FileName());
    char reply[1024];
    if (!DoHttpRequest(server.c_str(), page.c_str(), reply, sizeof reply, body.data(), body.size()))
        InstallerLog("Log post failed");
}

}  // namespace

BaseInstaller::BaseInstaller(const char* header) : programFolder_(GetProgramFolder()) {
    OpenTrace(header);
}

BaseInstaller::~BaseInstaller() {
    CloseTrace();
}

void BaseInstaller::OpenTrace(const char* header) {
    previousTrace_ = GetTraceWriteLog();
    const std::string path = platform::TemporaryFolder() + Trace::FileName();
    if (previousTrace_ && previousTrace_->IsOpen() && path == previousTrace_->TracePath()) {
        previousTrace_->Write(header);
        return;
    }
    const bool unclean = IsUncleanLog(path.c_str());
    trace_ = std::make_unique<Trace>(nullptr, header);
    SetTraceWriteLog(trace_.get());
    if (unclean) PostKeptLog(trace_->ErrorPath());
}

void BaseInstaller::CloseTrace() {
    if (!trace_ || !trace_->IsOpen()) return;
    trace_->Close();
    SetTraceWriteLog(previousTrace_);
}

void BaseInstaller::AddComponent(std::unique_ptr<Component> component) {
    components_.push_back(std::move(component));
}

bool BaseInstaller::SetDomain(const char16_t* domain) {
    if (!PRECONDITION(domain != nullptr, "Null string passed")) return false;
    const std::string text = platform::Utf8FromBstr(domain);
    if (!PRECONDITION(text.size() <= kMaxDomainLength, "Domain too long")) return false;
    domain_ = text;
    std::vector<Component*> table;
    for (auto& component : components_) {
        component->PointSourceAt(domain_.c_str());
        table.push_back(component.get());
    }
    VersionFetcher fetcher(table.data(), ComponentCount(), programFolder_);
    fetcher.PointSourceAt(domain_.c_str());
    return fetcher.FetchAndRead();
}

bool BaseInstaller::InstallAll() {
    bool all = true;
    for (auto& component : components_) all = component->Install() && all;
    return all;
}

bool BaseInstaller::UpdateAll() {
    for (auto& component : components_) {
        InstallerLog("Updating...");
        if (component->NeedsUpdate()) component->Install();
    }
    return true;
}

bool BaseInstaller::UserConfirmsUninstall() {
    platform::MessageBoxRequest question;
    question.text =
        "Uninstalling Kivora will remove all preferences and settings.  Are you sure you want "
        "to uninstall?";
    question.caption = "Uninstall Kivora?";
    question.buttons = platform::MessageButtons::YesNo;
    question.icon = platform::MessageIcon::Warning;
    return platform::ShowMessageBox(question) != platform::MessageAnswer::No;
}

void BaseInstaller::RemoveProgramFolders() {
    if (programFolder_.empty()) return;
    rmdir(StagingFolder(programFolder_).c_str());
    rmdir(programFolder_.c_str());
    const size_t slash = programFolder_.rfind('/');
    if (slash != std::string::npos && slash > 0) rmdir(programFolder_.substr(0, slash).c_str());
}

bool BaseInstaller::UninstallAll(bool notice) {
    for (auto& component : components_) component->Uninstall();

    bool listDeleted = true;
    if (!programFolder_.empty()) {
        const std::string list = programFolder_ + "/versionInfo.txt";
        listDeleted = platform::DeleteFile(list.c_str()) || access(list.c_str(), F_OK) != 0;
    }
    RemoveProgramFolders();

    RegistryDeleteKey("");
    if (auto store = platform::RegistryStore::ForCurrentUser())
        store->DeleteKey(platform::RegistryRoot::LocalMachine, kUninstallKey);

    if (notice) {
        platform::MessageBoxRequest box;
        box.text = "Uninstallation will be complete next time you restart your computer.";
        box.caption = "Restart To Complete Uninstall";
        box.icon = platform::MessageIcon::Information;
        platform::ShowMessageBox(box);
    }
    return listDeleted;
}
