#include "host/Gearscout.h"

#include <strings.h>

#include <chrono>
#include <cmath>
#include <cstring>
#include <memory>
#include <string>
#include <thread>

#include "foundation/Common.h"
#include "foundation/HttpRequest.h"
#include "foundation/Registry.h"
#include "foundation/Trace.h"
#include "host/HostResources.h"
#include "platform/Automation.h"

namespace {

constexpr const char* kSettingsFolder = "oglSettings\\";
constexpr size_t kTextSize = 260;
constexpr size_t kReplySize = 2048;

// A number of the probe's folder as an integer (truncated); false when it is missing or
// is not a finite number within the range of an int.
bool ReadInteger(const char* name, long long* value) {
    double number = 0.0;
    if (!RegistryGetDouble(kSettingsFolder, name, &number) || !std::isfinite(number) ||
        number < -2147483648.0 || number > 2147483647.0)
        return false;
    *value = static_cast<long long>(number);
    return true;
}

std::string Trimmed(const char* text) {
    std::string s = text ? text : "";
    const size_t begin = s.find_first_not_of(" \t\r\n");
    if (begin == std::string::npos) return {};
    const size_t end = s.find_last_not_of(" \t\r\n");
    return s.substr(begin, end - begin + 1);
}

}  // namespace

// --- Gearscout -------------------------------------------------------------------------

Gearscout::Gearscout() : WindowedCOMObject(platform::Guid{}, IPreContrl::kIid) {
    TraceWrite("Gearscout::InitializeObj");
    if (!PRECONDITION(!object_, "Interface pointer already initialized")) return;
    if (!POSTCONDITION(platform::Succeeded(CreateTopWindow("", 1, 1)),
                       "Failed to create host dialog window"))
        return;
    platform::ShowWindow(window_, platform::ShowState::Hidden);
    TraceWrite("Calling InitializeWindowAndObject");
    POSTCONDITION(platform::Succeeded(InitializeWindowAndObject(kProbeClassId)),
                  "Failed to initialize iGearscout object");
    TraceWrite("Gearscout constructor complete");
}

Gearscout::~Gearscout() {
    TraceWrite("~Gearscout");
    probe_.Reset();
}

platform::HRESULT Gearscout::QueryControlInterface() {
    if (!object_) return platform::E_POINTER;
    return object_->QueryInterface(IPreContrl::kIid, probe_.OutParam());
}

bool Gearscout::SetInterfacesDomain() {
    TraceWrite("PC::SetInterfacesDomain");
    TraceWrite("About to format domain");
    std::string domain = GetServerAddress();
    if (domain.find("http") != std::string::npos)
        domain = domain.substr(std::min<size_t>(7, domain.size()));
    if (domain.size() >= kTextSize) domain.resize(kTextSize - 1);
    TraceWrite(domain.c_str());
    TraceWrite("About to set interface's domain");
    platform::ScopedBstr text(domain.c_str());
    const bool set = probe_ && platform::Succeeded(probe_->SetDomain(text.Get()));
    POSTCONDITION(set, "Failed setting iGearscout's domain");
    TraceWrite("SetDomain complete");
    return set;
}

platform::HRESULT Gearscout::Main() {
    TraceWrite("Gearscout::Main");
    if (!PRECONDITION(static_cast<bool>(probe_), "iGearscout not a valid pointer"))
        return platform::S_FALSE;
    TraceWrite("About to begin waiting for gearscout");
    platform::HRESULT hr = platform::S_OK;
    int32_t ready = 0;
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(kReadyWaitMs);
    for (;;) {
        ready = 0;
        hr = probe_->get_isReadyForQuery(&ready);
        POSTCONDITION(platform::Succeeded(hr), "Gearscout failed testing readiness");
        if (ready != 0) break;
        if (std::chrono::steady_clock::now() >= deadline) {
            TraceWrite("Gearscout did not become ready in time");
            return platform::E_FAIL;
        }
        // The probe's window belongs to this thread: its messages are served meanwhile.
        platform::PumpUntilIdle();
        std::this_thread::sleep_for(std::chrono::milliseconds(kReadyPollMs));
    }
    TraceWrite("About to write settings to the database");
    if (!WritePCSettingsToDB()) {
        TraceWrite("Gearscout failed to write settings to database");
        hr = platform::E_ABORT;
    } else {
        TraceWrite("About to mark registry as 'done'");
        POSTCONDITION(MarkProbeDone(), "Gearscout failed to write 'done' to registry");
    }
    TraceWrite("End of PC::Main");
    return hr;
}

bool Gearscout::IsProbeDone() {
    double done = 0.0;
    RegistryGetDouble(kSettingsFolder, "done", &done);
    return done == 1.0;
}

bool Gearscout::MarkProbeDone() {
    return RegistrySetDouble(kSettingsFolder, "done", 1.0);
}

// --- The findings ----------------------------------------------------------------------

bool WritePCSettingsToDB() {
    TraceWrite("WritePCSettingsToDB");
    long long accelerated = 0, shadows = 0, cpu = 0, depth = 0, stencil = 0, desktop = 0,
              maxHeight = 0, maxWidth = 0, memory = 0, speed = 0;
    const bool numbers =
        ReadInteger("accelerated", &accelerated) && ReadInteger("sglPass", &shadows) &&
        ReadInteger("cpuType", &cpu) && ReadInteger("depthBits", &depth) &&
        ReadInteger("stencilBits", &stencil) && ReadInteger("desktopBits", &desktop) &&
        ReadInteger("maxHeight", &maxHeight) && ReadInteger("maxWidth", &maxWidth) &&
        ReadInteger("memorySize", &memory) && ReadInteger("speed", &speed);
    if (!numbers) TraceWrite("Failed reading one or more Gearscout values from the registry");
    char renderer[kTextSize] = "", vendor[kTextSize] = "", version[kTextSize] = "";
    RegistryGetString(kSettingsFolder, "renderer", renderer, sizeof renderer);
    RegistryGetString(kSettingsFolder, "vendor", vendor, sizeof vendor);
    RegistryGetString(kSettingsFolder, "version", version, sizeof version);
    TraceWrite("All values have been read from Registry");
    if (!numbers) return false;

    auto number = [](long long v) { return std::to_string(v); };
    const std::string body =
        "isAcc=" + std::string(accelerated != 0 ? "1" : "0") +
        "&shad=" + std::string(shadows != 0 ? "1" : "0") + "&cpu=" + number(cpu) +
        "&depth=" + number(depth) + "&desk=" + number(desktop) + "&mxHgt=" + number(maxHeight) +
        "&mxWd=" + number(maxWidth) + "&mem=" + number(memory) + "&spd=" + number(speed) +
        "&stncl=" + number(stencil) + "&rnd=" + EncodeQueryValue(renderer) +
        "&vnd=" + EncodeQueryValue(vendor) + "&vrs=" + EncodeQueryValue(version);
    TraceWrite("formPostString successfully written");
    const std::string page = std::string(kQueryEntrancePage) +
                             "?pcSet=1&userId=" + EncodeQueryValue(GetUserID().c_str());
    auto reply = std::make_unique<char[]>(kReplySize);
    const std::string server = GetServerAddress();
    if (!DoHttpRequest(server.c_str(), page.c_str(), reply.get(), kReplySize, body.data(),
                       body.size()))
        return false;
    TraceWrite(reply.get());
    const bool accepted = HandleProbeReply(reply.get());
    POSTCONDITION(accepted, "Posting Gearscout settings to database failed");
    TraceWrite("PC settings have been written to DB");
    return accepted;
}

bool HandleProbeReply(const char* reply) {
    const std::string text = Trimmed(reply);
    if (strcasecmp(text.c_str(), "FAILED") == 0) return false;
    if (strcasecmp(text.c_str(), "SUCCESS") == 0) return true;
    const bool oldDriver = text.find("DR=1") != std::string::npos;
    const bool noAccelerated = text.find("GDI=1") != std::string::npos;
    if (!oldDriver && !noAccelerated) {
        TraceWrite("No gearscout errors detected");
        return true;
    }
    TraceWrite("About to launch the error dialog");
    ProbeResultDialog dialog;
    return dialog.Run(noAccelerated);
}

// --- ProbeResultDialog -----------------------------------------------------------------

bool ProbeResultDialog::Run(bool noAcceleratedDriver) {
    noAcceleratedDriver_ = noAcceleratedDriver;
    return CreateModal(kProbeResultDialog) == kIdCancel;
}

int ProbeResultDialog::OnInitDialog() {
    TraceWrite("PRD::SetDialogContent");
    if (platform::DialogBox* box = Dialog()) {
        box->SetCaption(HostString(noAcceleratedDriver_ ? 11 : 12));
        box->SetText(kIdProbeTrouble, HostString(noAcceleratedDriver_ ? 10 : 9));
    }
    TraceWrite("SetDialogContent complete");
    return 1;
}

int ProbeResultDialog::OnOK() {
    EndDialog(kIdOk);
    return 0;
}

int ProbeResultDialog::OnCancel() {
    EndDialog(kIdCancel);
    return 0;
}
