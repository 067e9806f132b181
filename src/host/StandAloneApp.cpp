#include "host/StandAloneApp.h"

#include <strings.h>

#include <cstring>

#include "foundation/Common.h"
#include "foundation/HttpRequest.h"
#include "foundation/Registry.h"
#include "foundation/Trace.h"
#include "host/ComObjectWrapper.h"
#include "host/CommandLine.h"
#include "host/Gearscout.h"
#include "host/HostResources.h"
#include "host/HostTrace.h"
#include "host/SignInDialog.h"
#include "host/UpdateWindow.h"
#include "platform/MessageBox.h"
#include "platform/Process.h"

namespace {

constexpr size_t kCheckReplySize = 2048;
// Rounds of the connection check, so that a person who keeps asking to retry (or an
// answer given without a person) cannot hold the start for ever.
constexpr int kMaxConnectionRounds = 10;

// Gets, routes and dispatches the thread's messages until WM_QUIT.
void RunMessageLoop(MainWindow* main) {
    platform::Message message;
    while (platform::GetMessage(message)) {
        if (main &&
            (message.message == platform::WM_KEYDOWN || message.message == platform::WM_KEYUP)) {
            KivoraClient* editor = main->Editor();
            WebPane* pane = main->Pane();
            if (message.message == platform::WM_KEYDOWN && editor &&
                IsWindowWithin(message.window, editor->Window()))
                editor->TranslateAccelerator(message.wParam, message.lParam);
            else if (pane && IsWindowWithin(message.window, pane->Window()))
                pane->RunAccel(message);
        }
        platform::TranslateMessage(message);
        platform::DispatchMessage(message);
    }
}

// Serves the thread's messages until WM_QUIT.
void PumpUntilQuit() {
    platform::Message message;
    while (platform::GetMessage(message)) {
        platform::TranslateMessage(message);
        platform::DispatchMessage(message);
    }
}

platform::MessageAnswer Ask(uint32_t text, uint32_t caption, platform::MessageButtons buttons,
                            platform::MessageIcon icon) {
    platform::MessageBoxRequest box;
    box.text = HostString(text);
    box.caption = HostString(caption);
    box.buttons = buttons;
    box.icon = icon;
    return platform::ShowMessageBox(box);
}

}  // namespace

// --- StandAloneApp ---------------------------------------------------------------------

StandAloneApp::StandAloneApp() {
    TraceAssert(RegistrySetString("", "ExeVS", kHostVersion), "Postcondition", __FILE__, __LINE__,
                "Setting the executable's version number failed");
    ClearBufferedFileName();
    SetServerAddress(kDefaultServerDomain);
}

StandAloneApp::~StandAloneApp() {
    updateWindow_.reset();
    splash_.reset();
    mainWindow_.reset();
}

bool StandAloneApp::ParseCommandLine(const char* line) {
    TraceWrite("Beginning CommandLine processing");
    bool result = true;
    bool installNow = false;
    const size_t length = line ? std::strlen(line) : 0;
    if (length > 0) {
        TraceWrite("Command line arguments exist :");
        TraceWrite(line);
    }
    size_t at = 0;
    char token[kTokenSize];
    while (at < length) {
        bool tooLong = false;
        const size_t used = GetNextToken(line + at, token, sizeof token, &tooLong);
        if (used == 0 || used == kNoMoreTokens) break;
        at += used;
        if (tooLong) {
            TraceWrite("A token of the command line is too long and is left out");
            continue;
        }
        if (strcasecmp(token, "-d") == 0) {
            TraceWrite("\"-d\" switch found");
            if (at < length) {
                char domain[kTokenSize];
                const size_t value = GetNextToken(line + at, domain, sizeof domain, &tooLong);
                if (value != kNoMoreTokens) at += value;
                if (domain[0] && !tooLong) {
                    TraceWrite("Setting domain");
                    SetServerAddress(domain);
                }
            }
            TraceWrite("\"-d\" switch processed");
        } else if (strcasecmp(token, "-u") == 0) {
            TraceWrite("\"-u\" switch found");
            POSTCONDITION(Uninstall(), "Uninstall failed");
            result = false;
            TraceWrite("\"-u\" switch processed");
        } else if (strcasecmp(token, "-i") == 0) {
            TraceWrite("\"-i\" switch found");
            installNow = true;
            TraceWrite("\"-i\" switch processed");
        } else if (token[0]) {
            TraceWrite("Possible filename found");
            if (SetBufferedFileName(token)) {
                TraceWrite("Filename read");
                TraceWrite(token);
            }
        }
    }
    TraceWrite("Command line processed");
    if (!installNow) return result;
    TraceWrite("Beginning installation");
    POSTCONDITION(UpdateAndInstall(), "Final installation failed");
    TraceWrite("Installation done");
    return false;
}

bool StandAloneApp::CheckInternetConnection() {
    for (int round = 0; round < kMaxConnectionRounds; ++round) {
        TraceWrite("About to check internet connection");
        const std::string server = "http://" + GetServerAddress();
        TraceWrite("Calling DoHttpRequest");
        char reply[kCheckReplySize];
        const bool answered = DoHttpRequest(server.c_str(), "/", reply, sizeof reply, nullptr, 0);
        TraceWrite("DoHttpRequest done");
        if (answered) return true;
        TraceWrite("No connection was available");
        if (Ask(13, 14, platform::MessageButtons::OkCancel, platform::MessageIcon::Warning) !=
            platform::MessageAnswer::Ok)
            return true;
        ProxyDialog proxy;
    }
    TraceWrite("Going on without a connection");
    return true;
}

int StandAloneApp::Login() {
    SignInDialog dialog;
    for (;;) {
        const int result = dialog.Run();
        if (result > 0) return 0;
        switch (result) {
            case kSignInClosed:
                return 1;
            case kSignInWrongPassword:
                Ask(1, 5, platform::MessageButtons::Ok, platform::MessageIcon::None);
                break;
            case kSignInUnknownAddress:
                Ask(2, 6, platform::MessageButtons::Ok, platform::MessageIcon::None);
                break;
            case kSignInFailed:
                TraceWrite("Login failed");
                Ask(3, 7, platform::MessageButtons::Ok, platform::MessageIcon::Error);
                PostTraceLog(TraceLogName().c_str());
                return 1;
            default:
                break;
        }
    }
}

bool StandAloneApp::Uninstall() {
    TraceWrite("Beginning uninstall");
    platform::HRESULT hr;
    {
        Installer installer;
        hr = installer.DoUninstall();
        POSTCONDITION(platform::Succeeded(hr), "Uninstall failed");
        TraceWrite("Uninstall complete");
    }
    return platform::Succeeded(hr);
}

int StandAloneApp::Main(const char* commandLine) {
    if (!ParseCommandLine(commandLine)) return 0;
    CheckInternetConnection();
    if (const int login = Login(); login != 0) return login;
    PostPendingTraceLog();
    if (!UpdateAndInstall()) return 1;

    splash_ = std::make_unique<Splash>();
    platform::HRESULT hr = splash_->Main();
    if (!POSTCONDITION(platform::Succeeded(hr), "Failed to execute Main on the splashWin"))
        return hr;

    mainWindow_ = std::make_unique<MainWindow>();
    hr = mainWindow_->Main();
    if (!POSTCONDITION(platform::Succeeded(hr), "Failed to execute Main on the mainWin")) return hr;
    if (instance_ && !instance_->ServeHandOvers(mainWindow_->Window()))
        TraceWrite("A later start cannot hand its plan over");

    POSTCONDITION(platform::Succeeded(splash_->CloseSplash()), "Failed to execute CloseSplash");
    TraceWrite("About to begin duzazododiza message loop");
    CloseTraceLog();

    RunMessageLoop(mainWindow_.get());

    OpenTraceLog(kHostTraceName);
    TraceWrite("Duzazododiza message loop completed");
    if (instance_) instance_->StopServing();
    mainWindow_.reset();
    return 0;
}

// --- The update and install sequence ---------------------------------------------------

namespace {

// The updater, the installer with the plan file type, and the probe on its first run;
// true to go on. Runs on the update window's work thread: the probe's window belongs to
// it, and it serves that window's messages.
bool UpdateComponents() {
    TraceWrite("About to create & launch Updater object");
    bool result;
    {
        Updater updater;
        result = POSTCONDITION(platform::Succeeded(updater.Main()), "Patchrunner failed");
    }
    if (!result) {
        TraceWrite("Updater failed");
        return false;
    }
    TraceWrite("Updater succeeded");
    Installer installer;
    installer.Main();
    TraceWrite("Installer succeeded");
    if (Gearscout::IsProbeDone()) {
        TraceWrite("Don't need to run Gearscout");
        return result;
    }
    TraceWrite("About to begin Gearscout");
    auto probe = std::make_unique<Gearscout>();
    const platform::HRESULT hr = probe->Main();
    if (hr == platform::E_ABORT) {
        TraceWrite("Need to update drivers, etc...");
        result = false;
    } else {
        result = POSTCONDITION(platform::Succeeded(hr), "Gearscout failed");
        TraceWrite("Gearscout started");
    }
    // Its window posts the quit that ends this pump when it goes.
    const bool hadWindow = platform::IsWindow(probe->Window());
    probe.reset();
    if (hadWindow) PumpUntilQuit();
    TraceWrite("Gearscout completed");
    return result;
}

}  // namespace

bool UpdateAndInstall() {
    TraceWrite("Beginning UpdateAndInstall");
    bool result = false;
    {
        UpdateWindow updateWindow;
        updateWindow.ShowWhile([&] { result = UpdateComponents(); });
    }
    TraceWrite("Deallocated updateWin");

    const std::string folder = GetProgramFolder();
    if (!folder.empty()) platform::StartHidden((folder + "/Update.bat").c_str());
    return result;
}

// --- The entry -------------------------------------------------------------------------

int KivoraMain(const std::vector<std::string>& arguments) {
    const std::string commandLine = JoinArguments(arguments);
    platform::SingleInstance instance(kInstanceLockName);
    if (!instance.IsFirst()) {
        platform::HandOverToFirstCopy(kInstanceLockName, kHandOverCommandLine, commandLine.c_str(),
                                      static_cast<uint32_t>(commandLine.size() + 1));
        return 0;
    }
    SetHostTraceFlag(true);
    OpenTraceLog(kHostTraceName);
    TraceWrite("Kivora Standalone Application");
    int result;
    {
        StandAloneApp app;
        app.SetInstance(&instance);
        result = app.Main(commandLine.c_str());
    }
    CloseTraceLog();
    return result;
}
