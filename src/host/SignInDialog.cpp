#include "host/SignInDialog.h"

#include <strings.h>

#include <memory>

#include "foundation/Common.h"
#include "foundation/HttpRequest.h"
#include "foundation/Registry.h"
#include "foundation/Trace.h"
#include "host/HostRegistry.h"
#include "host/HostResources.h"
#include "host/UpdateWindow.h"

namespace {

constexpr size_t kTextSize = 260;
constexpr size_t kPortSize = 64;
constexpr size_t kReplySize = 1024;
// A user identity the server hands out: at most this long.
constexpr size_t kMaxUserIdLength = 63;

std::string ReadString(const char* name) {
    char text[kTextSize] = "";
    RegistryGetString("", name, text, sizeof text);
    return text;
}

std::string Field(platform::DialogBox* box, uint32_t id, size_t size) {
    std::string text = box ? box->GetText(id) : std::string();
    if (text.size() >= size) text.resize(size - 1);
    return text;
}

// An identity is printable text without blanks.
bool IsUserId(const std::string& text) {
    if (text.empty() || text.size() > kMaxUserIdLength) return false;
    for (unsigned char c : text)
        if (c <= ' ' || c == 0x7F) return false;
    return true;
}

}  // namespace

int LoginRequest(const std::string& user, const std::string& password) {
    const std::string page = std::string(kQueryEntrancePage) +
                             "?getID=1&uname=" + EncodeQueryValue(user.c_str()) +
                             "&upw=" + EncodeQueryValue(password.c_str());
    auto reply = std::make_unique<char[]>(kReplySize);
    const std::string server = GetServerAddress();
    const bool answered =
        DoHttpRequest(server.c_str(), page.c_str(), reply.get(), kReplySize, nullptr, 0);
    std::string text = answered ? reply.get() : "";
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    TraceWrite("%%%%%%%%%%%%%%%userID");
    TraceWrite(text.c_str());
    if (!answered) {
        TraceWrite("Failed to get userID");
        return kSignInFailed;
    }
    if (strcasecmp(text.c_str(), "Invalid Password") == 0) return kSignInWrongPassword;
    if (strcasecmp(text.c_str(), "Invalid Username") == 0) return kSignInUnknownAddress;
    if (text.empty() || text[0] == '<') return kSignInFailed;  // an error page
    if (!POSTCONDITION(IsUserId(text), "The server's answer is no user identity"))
        return kSignInFailed;
    if (!POSTCONDITION(SetUserID(text.c_str()), "Failure writing userID to registry"))
        return kSignInFailed;
    return 1;
}

// --- ProxyDialog -----------------------------------------------------------------------

ProxyDialog::ProxyDialog() {
    CreateModal(kProxyDialog);
}

void ProxyDialog::EnableFields(bool enable) {
    platform::DialogBox* box = Dialog();
    if (!box) return;
    for (uint32_t id : {kIdProxyAddress, kIdProxyPort, kIdProxyAddressLabel, kIdProxyPortLabel})
        box->Enable(id, enable);
}

int ProxyDialog::OnInitDialog() {
    platform::DialogBox* box = Dialog();
    if (!box) return 1;
    char stored[kTextSize] = "";
    if (RegistryGetString("", "ProxyAddress", stored, sizeof stored)) {
        const std::string text = stored;
        const size_t colon = text.rfind(':');
        if (colon == std::string::npos) {
            box->SetText(kIdProxyAddress, text);
        } else {
            box->SetText(kIdProxyAddress, text.substr(0, colon));
            box->SetText(kIdProxyPort, text.substr(colon + 1, kPortSize - 1));
        }
    }
    double enabled = 0.0;
    RegistryGetDouble("", "ProxyEnable", &enabled);
    box->Check(kIdUseProxy, enabled != 0.0);
    EnableFields(enabled != 0.0);
    return 1;
}

int ProxyDialog::OnCommand(platform::WParam wParam) {
    if (platform::LowWord(wParam) == kIdUseProxy && Dialog())
        EnableFields(Dialog()->IsChecked(kIdUseProxy));
    return 1;
}

int ProxyDialog::OnOK() {
    platform::DialogBox* box = Dialog();
    RegistrySetDouble("", "ProxyEnable", 0.0);
    if (box && box->IsChecked(kIdUseProxy)) {
        const std::string port = Field(box, kIdProxyPort, kPortSize);
        const std::string address = Field(box, kIdProxyAddress, kTextSize);
        if (!port.empty() && !address.empty()) {
            RegistrySetString("", "ProxyAddress", (address + ":" + port).c_str());
            RegistrySetDouble("", "ProxyEnable", 1.0);
        }
    }
    EndDialog(kIdOk);
    return 0;
}

int ProxyDialog::OnCancel() {
    EndDialog(kIdCancel);
    return 0;
}

// --- SignInDialog ----------------------------------------------------------------------

int SignInDialog::Run() {
    result_ = 0;
    user_.clear();
    password_.clear();
    const std::string storedUser = ReadString("username");
    const std::string storedPassword = ReadString("password");
    if (!storedUser.empty() && !storedPassword.empty()) {
        user_ = DecodeStoredText(storedUser);
        password_ = DecodeStoredText(storedPassword);
        double automatic = 0.0;
        RegistryGetDouble("", "doAutoLogin", &automatic);
        if (automatic == 1.0) {
            result_ = TrySignIn();
            if (result_ > 0) return result_;
            result_ = 0;
        }
    }
    CreateModal(kSignInDialog);
    if (result_ > 0) {
        RegistrySetString("", "username", EncodeStoredText(user_).c_str());
        RegistrySetString("", "password", EncodeStoredText(password_).c_str());
    }
    return result_;
}

int SignInDialog::TrySignIn() {
    UpdateWindow wait(kSignInWaitDialog);
    int result = kSignInFailed;
    wait.ShowWhile([&] { result = LoginRequest(user_, password_); });
    return result;
}

int SignInDialog::OnInitDialog() {
    platform::DialogBox* box = Dialog();
    if (!box) return 1;
    box->Focus(kIdEmail);
    if (!user_.empty()) box->SetText(kIdEmail, user_);
    if (!password_.empty()) box->SetText(kIdPassword, password_);
    return 0;
}

int SignInDialog::OnCommand(platform::WParam wParam) {
    if (platform::LowWord(wParam) == kIdAdvanced) {
        ProxyDialog proxy;
    }
    return 1;
}

int SignInDialog::OnOK() {
    platform::DialogBox* box = Dialog();
    user_ = Field(box, kIdEmail, kTextSize);
    password_ = Field(box, kIdPassword, kTextSize);
    RegistrySetDouble("", "doAutoLogin", box && box->IsChecked(kIdAutoSignIn) ? 1.0 : 0.0);
    result_ = TrySignIn();
    EndDialog(kIdOk);
    return 0;
}
