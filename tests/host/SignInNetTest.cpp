#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <string>

#include "foundation/Common.h"
#include "foundation/Registry.h"
#include "host/HostFixture.h"
#include "host/HostRegistry.h"
#include "host/HostResources.h"
#include "host/SignInDialog.h"
#include "host/StandAloneApp.h"
#include "support/LocalHttpServer.h"

namespace {

// A server whose sign-in answers are set by the test; it keeps what it was asked.
class SignInNetTest : public HostWorld {
protected:
    void SetUp() override {
        server_.Server().Get("/kvrQueryEntrance.aspx",
                             [this](const httplib::Request& request, httplib::Response& response) {
                                 std::lock_guard<std::mutex> guard(mutex_);
                                 users_.push_back(request.get_param_value("uname"));
                                 passwords_.push_back(request.get_param_value("upw"));
                                 response.status = status_;
                                 response.set_content(reply_, "text/plain");
                             });
        server_.Server().Post("/kvrQueryEntrance.aspx",
                              [this](const httplib::Request& request, httplib::Response& response) {
                                  std::lock_guard<std::mutex> guard(mutex_);
                                  posts_.push_back(request.target);
                                  response.set_content("OK", "text/plain");
                              });
        ASSERT_TRUE(server_.Start());
        SetServerAddress(server_.Address().c_str());
    }

    void Answer(const std::string& reply, int status = 200) {
        std::lock_guard<std::mutex> guard(mutex_);
        reply_ = reply;
        status_ = status;
    }
    std::vector<std::string> Users() {
        std::lock_guard<std::mutex> guard(mutex_);
        return users_;
    }
    std::vector<std::string> Posts() {
        std::lock_guard<std::mutex> guard(mutex_);
        return posts_;
    }
    void StoreCredentials(const std::string& user, const std::string& password, double automatic) {
        RegistrySetString("", "username", EncodeStoredText(user).c_str());
        RegistrySetString("", "password", EncodeStoredText(password).c_str());
        RegistrySetDouble("", "doAutoLogin", automatic);
    }
    // The person types a user and a password into the sign-in dialog and presses Login.
    void TypeIn(const std::string& user, const std::string& password, bool keep) {
        play = [=](BaseWindow& dialog, uint32_t id) {
            if (id != kSignInDialog) return;
            platform::DialogBox* box = dialog.Dialog();
            box->Type(kIdEmail, user);
            box->Type(kIdPassword, password);
            if (keep) box->Click(kIdAutoSignIn);
            box->Click(kIdOk);
        };
    }

    LocalHttpServer server_;
    std::mutex mutex_;
    std::string reply_ = "1001";
    int status_ = 200;
    std::vector<std::string> users_;
    std::vector<std::string> passwords_;
    std::vector<std::string> posts_;
};

TEST_F(SignInNetTest, TheServersAnswerDecidesTheResult) {
    struct Case {
        std::string reply;
        int status;
        int result;
    };
    const Case cases[] = {
        {"1001", 200, 1},
        {"1001\r\n", 200, 1},
        {"Invalid Password", 200, kSignInWrongPassword},
        {"iNVALID pASSWORD", 200, kSignInWrongPassword},
        {"Invalid Username", 200, kSignInUnknownAddress},
        {"<html>error</html>", 200, kSignInFailed},
        {"1001", 500, kSignInFailed},
        {"", 200, kSignInFailed},
        {"two words", 200, kSignInFailed},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reply + " " + std::to_string(c.status));
        RegistrySetString("", "UID", "0");
        Answer(c.reply, c.status);
        EXPECT_EQ(LoginRequest("a@b.c", "pw"), c.result);
        EXPECT_EQ(GetUserID(), c.result == 1 ? "1001" : "0");
    }
}

TEST_F(SignInNetTest, NameAndPasswordReachTheServerWhole) {
    const std::string user = "a+b@c.d";
    const std::string password = "p&w=1 %x";
    EXPECT_EQ(LoginRequest(user, password), 1);
    ASSERT_EQ(Users().size(), 1u);
    EXPECT_EQ(Users()[0], user);
    std::lock_guard<std::mutex> guard(mutex_);
    EXPECT_EQ(passwords_[0], password);
}

TEST_F(SignInNetTest, StoredCredentialsSignInWithoutTheDialogWhenAskedTo) {
    StoreCredentials("a@b.c", "secret", 1.0);
    SignInDialog dialog;
    EXPECT_EQ(dialog.Run(), 1);
    EXPECT_EQ(Shown(kSignInDialog), 0);
    EXPECT_EQ(Users(), std::vector<std::string>{"a@b.c"});

    // Without "doAutoLogin" the dialog shows, filled with them.
    StoreCredentials("a@b.c", "secret", 0.0);
    std::string shownUser;
    play = [&](BaseWindow& d, uint32_t id) {
        if (id != kSignInDialog) return;
        shownUser = d.Dialog()->GetText(kIdEmail);
        d.Dialog()->Click(kIdOk);
    };
    EXPECT_EQ(dialog.Run(), 1);
    EXPECT_EQ(Shown(kSignInDialog), 1);
    EXPECT_EQ(shownUser, "a@b.c");
}

TEST_F(SignInNetTest, ASignInThroughTheDialogStoresWhatWasTyped) {
    TypeIn("new@b.c", "pass word", true);
    SignInDialog dialog;
    EXPECT_EQ(dialog.Run(), 1);
    char stored[260] = "";
    RegistryGetString("", "username", stored, sizeof stored);
    EXPECT_EQ(DecodeStoredText(stored), "new@b.c");
    RegistryGetString("", "password", stored, sizeof stored);
    EXPECT_EQ(DecodeStoredText(stored), "pass word");
    double automatic = 0.0;
    RegistryGetDouble("", "doAutoLogin", &automatic);
    EXPECT_EQ(automatic, 1.0);

    // A failed sign-in stores nothing.
    RegistrySetString("", "username", "x");
    Answer("Invalid Password");
    EXPECT_EQ(dialog.Run(), kSignInWrongPassword);
    RegistryGetString("", "username", stored, sizeof stored);
    EXPECT_STREQ(stored, "x");
}

TEST_F(SignInNetTest, AWrongPasswordAsksAgainAndAFailureEndsTheProgramWithItsLogSent) {
    OpenTraceLog(kHostTraceName);
    StandAloneApp app;
    SetServerAddress(server_.Address().c_str());
    int round = 0;
    play = [&](BaseWindow& d, uint32_t id) {
        if (id != kSignInDialog) return;
        Answer(++round == 1 ? "Invalid Password" : "1001");
        d.Dialog()->Type(kIdEmail, "a@b.c");
        d.Dialog()->Type(kIdPassword, round == 1 ? "wrong" : "right");
        d.Dialog()->Click(kIdOk);
    };
    EXPECT_EQ(app.Login(), 0);
    EXPECT_EQ(round, 2);
    EXPECT_EQ(Boxes(), std::vector<std::string>{"Invalid Password"});

    Answer("<html>broken</html>");
    play = [&](BaseWindow& d, uint32_t id) {
        if (id == kSignInDialog) d.Dialog()->Click(kIdOk);
    };
    EXPECT_EQ(app.Login(), 1);
    EXPECT_EQ(Boxes().back(), "Error");
    ASSERT_EQ(Posts().size(), 1u);
    EXPECT_NE(Posts()[0].find("errPost=1"), std::string::npos);
    EXPECT_NE(Posts()[0].find("filename=kvrStandalone_trace.txt"), std::string::npos);

    // Closing the dialog, or pressing Escape in it, ends the program too.
    play = nullptr;
    EXPECT_EQ(app.Login(), 1);
    play = [](BaseWindow& d, uint32_t id) {
        if (id == kSignInDialog) d.Dialog()->PressEscape();
    };
    EXPECT_EQ(app.Login(), 1);
    EXPECT_EQ(Posts().size(), 1u);
}

TEST_F(SignInNetTest, WithoutAServerTheProxySettingsAreOfferedUntilThePersonGoesOn) {
    StandAloneApp app;
    server_.Stop();
    SetServerAddress(server_.Address().c_str());
    answers = {platform::MessageAnswer::Ok, platform::MessageAnswer::Cancel};
    RefusingPort proxyPort;
    play = [&](BaseWindow& d, uint32_t id) {
        if (id != kProxyDialog) return;
        d.Dialog()->Click(kIdUseProxy);
        d.Dialog()->Type(kIdProxyAddress, "127.0.0.1");
        d.Dialog()->Type(kIdProxyPort, std::to_string(proxyPort.Port()));
        d.Dialog()->Click(kIdOk);
    };
    EXPECT_TRUE(app.CheckInternetConnection());
    EXPECT_EQ(Boxes(), (std::vector<std::string>{"No Internet Connection Available",
                                                 "No Internet Connection Available"}));
    EXPECT_EQ(Shown(kProxyDialog), 1);
    char proxy[260] = "";
    RegistryGetString("", "ProxyAddress", proxy, sizeof proxy);
    EXPECT_EQ(std::string(proxy), proxyPort.Address());
}

}  // namespace
