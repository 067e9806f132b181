#pragma once

#include <memory>
#include <string>
#include <vector>

#include "host/MainWindow.h"
#include "platform/SingleInstance.h"

class Splash;
class UpdateWindow;

// The program: one running copy per user, its command line, the connection check, the
// sign-in, the update and install of the components (with the probe on the first run),
// the splash, the main window and the message loop.
class StandAloneApp {
public:
    // Writes the host's version ("ExeVS"), clears the buffered plan name and resets the
    // server address to the default.
    StandAloneApp();
    // Deletes the update window, the splash and the main window, in that order.
    ~StandAloneApp();
    StandAloneApp(const StandAloneApp&) = delete;
    StandAloneApp& operator=(const StandAloneApp&) = delete;

    // The start sequence and the message loop; answers the exit code.
    int Main(const char* commandLine);
    // Reads the switches and the plan name; false ends the program (exit code 0).
    bool ParseCommandLine(const char* commandLine);
    // Checks that the server answers, offering the proxy settings while it does not.
    bool CheckInternetConnection();
    // 0 when the user is signed in, 1 when the program is to end.
    int Login();
    // Runs the installer's uninstall; true when it did not fail.
    bool Uninstall();

    MainWindow* Window() const { return mainWindow_.get(); }

    // The running copy's lock: once the main window exists, a later copy's command line
    // reaches it through the lock, until the message loop ends.
    void SetInstance(platform::SingleInstance* instance) { instance_ = instance; }

private:
    std::unique_ptr<UpdateWindow> updateWindow_;
    std::unique_ptr<Splash> splash_;
    std::unique_ptr<MainWindow> mainWindow_;
    platform::SingleInstance* instance_ = nullptr;
};

// Updater, installer, plan file type, the probe on its first run and "Update.bat"; true
// to go on.
bool UpdateAndInstall();

// The program's entry: `arguments` without the program's name. Answers the exit code.
int KivoraMain(const std::vector<std::string>& arguments);
