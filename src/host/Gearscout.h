#pragma once

#include "host/BaseWindow.h"
#include "host/ComObjectWrapper.h"
#include "probe/IPreContrl.h"

// The capability probe, hosted in a hidden 1 x 1 window while it measures the machine;
// its findings go to the server once it is ready.
class Gearscout : public WindowedCOMObject {
public:
    // How long Main waits for the probe to be ready, and how often it asks.
    static constexpr int kReadyWaitMs = 60000;
    static constexpr int kReadyPollMs = 100;

    // Creates the window and the probe in it, and passes the domain.
    Gearscout();
    ~Gearscout() override;

    // Waits for the probe, sends its findings and marks the probe as done. The last
    // readiness answer; E_ABORT when the findings were not accepted (or the person chose
    // to close after the probe's warning); E_FAIL when the probe never became ready.
    platform::HRESULT Main() override;
    bool SetInterfacesDomain() override;
    platform::HRESULT QueryControlInterface() override;

    // Whether the probe ran on this machine ("oglSettings\" "done" = 1.0).
    static bool IsProbeDone();
    static bool MarkProbeDone();

private:
    platform::RefPtr<IPreContrl> probe_;
};

// Sends the probe's findings from the registry to the server; true when they were sent
// and accepted (HandleProbeReply).
bool WritePCSettingsToDB();

// What the server answered to the findings: "FAILED" refuses them; "SUCCESS" or an
// answer without "DR=1" (old driver) and "GDI=1" (no accelerated driver) accepts them;
// otherwise the person is told and chooses between closing (false) and going on (true).
bool HandleProbeReply(const char* reply);

// Tells the person what the probe found wrong.
class ProbeResultDialog : public BaseWindow {
public:
    // True when the person chose "Try It Anyway".
    bool Run(bool noAcceleratedDriver);

    int OnInitDialog() override;
    int OnOK() override;
    int OnCancel() override;

private:
    bool noAcceleratedDriver_ = false;
};
