#include "host/KivoraClient.h"

#include "foundation/Trace.h"
#include "host/CommandLine.h"
#include "host/HostResources.h"
#include "platform/Automation.h"

namespace {

// The in-value of isReadyToClose that gives the save question a Cancel button.
constexpr int32_t kAskWithCancel = 0x0F0F0F0F;

}  // namespace

KivoraClient::KivoraClient() : WindowedCOMObject(platform::Guid{}, IDuzazododiza::kIid) {
    platform::ParseGuid(kEditorClassId, &classId_);
}

KivoraClient::~KivoraClient() {
    editor_.Reset();
    ReleaseObject();
}

platform::HRESULT KivoraClient::Create(platform::WindowHandle parent, int x, int y, int width,
                                       int height) {
    return CreateClientWindow(parent, x, y, width, height);
}

int KivoraClient::OnInitDialog() {
    CreateControl();
    POSTCONDITION(SetDomain(), "Failed to set the duzazododiza's domain");
    return 1;
}

platform::HRESULT KivoraClient::CreateControl() {
    const platform::HRESULT hr = InitializeWindowAndObject(kEditorClassId);
    if (platform::Succeeded(hr)) OpenBufferedFile();
    return hr;
}

platform::HRESULT KivoraClient::QueryControlInterface() {
    if (!object_) return platform::E_POINTER;
    return object_->QueryInterface(IDuzazododiza::kIid, editor_.OutParam());
}

bool KivoraClient::SetDomain() {
    const std::string domain = ComponentDomain();
    if (domain.empty() || !editor_) return false;
    platform::ScopedBstr text(domain.c_str());
    return platform::Succeeded(editor_->SetDomain(text.Get()));
}

bool KivoraClient::OpenBufferedFile() {
    const std::string& name = BufferedFileName();
    if (name.empty() || !editor_) return false;
    platform::ScopedBstr text(name.c_str());
    const platform::HRESULT hr = editor_->LoadLocalPlan(text.Get());
    return platform::Succeeded(hr) && hr != platform::S_FALSE;
}

bool KivoraClient::TranslateAccelerator(platform::WParam, platform::LParam) {
    // The editor keeps no accelerator table of its own: every key reaches its window
    // through the message loop.
    return false;
}

int KivoraClient::OnKeyDown(platform::WParam wParam, platform::LParam lParam) {
    TranslateAccelerator(wParam, lParam);
    return 1;
}

bool KivoraClient::IsReadyToClose() {
    if (!editor_) return true;
    int32_t ready = kAskWithCancel;
    if (platform::Failed(editor_->get_isReadyToClose(&ready))) return true;
    return ready != 0;
}
