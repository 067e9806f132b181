#pragma once

#include <string>

#include "host/BaseWindow.h"

// Results of a sign-in.
inline constexpr int kSignInClosed = 0;
inline constexpr int kSignInWrongPassword = -1;
inline constexpr int kSignInUnknownAddress = -2;
inline constexpr int kSignInFailed = -3;

// Asks the server for the user's identity: 1 (the identity is stored as "UID"),
// kSignInWrongPassword, kSignInUnknownAddress, or kSignInFailed when the request or its
// reply failed.
int LoginRequest(const std::string& user, const std::string& password);

// The proxy settings ("ProxyEnable", "ProxyAddress"); constructing it runs the dialog.
class ProxyDialog : public BaseWindow {
public:
    ProxyDialog();

    int OnInitDialog() override;
    int OnOK() override;
    int OnCancel() override;
    int OnCommand(platform::WParam wParam) override;

private:
    void EnableFields(bool enable);
};

// The sign-in: with stored credentials and "doAutoLogin" at once, else through the
// dialog.
class SignInDialog : public BaseWindow {
public:
    // Greater than 0 signed in (the credentials are then stored), kSignInClosed when the
    // dialog was closed, or a failure of LoginRequest.
    int Run();
    // LoginRequest on a thread of its own while the wait dialog shows.
    int TrySignIn();

    int OnInitDialog() override;
    int OnOK() override;
    int OnCommand(platform::WParam wParam) override;

private:
    int result_ = 0;
    std::string user_;
    std::string password_;
};
