// The control's web pages: pop-up windows of its own (wizards, help, tips, the
// materials list, the account page) and pages in the user's browser.

#include <cmath>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>

#include "control/Duzazododiza.h"
#include "control/WebPopup.h"
#include "foundation/Common.h"
#include "foundation/Registry.h"
#include "foundation/Trace.h"

namespace {

constexpr const char* kTipFolder = "webKeys";
constexpr int kTipCount = 45;
constexpr int kTipWidth = 539;
constexpr int kTipHeight = 522;
constexpr size_t kCredentialSize = 260;

}  // namespace

void CDuzazododiza::OpenWebPopup(const char* address, int width, int height, bool topmost) {
    auto* popup = new (std::nothrow) WebPopup(nullptr);
    if (!popup) return;
    popup->SetURL(address);
    popup->SetSize(width, height);
    popup->SetTopmost(topmost);
    popup->Show();
}

void CDuzazododiza::OpenDomainPopup(const std::string& path, int width, int height) {
    char address[kPathSize];
    AttachPathToDomain(path.c_str(), address, sizeof address);
    if (address[0]) OpenWebPopup(address, width, height, false);
}

std::string CDuzazododiza::NextTipAddress() {
    double stored = 0.0;
    RegistryReadDouble(kTipFolder, "curTip", &stored);
    // A stored number that is no tip's starts the tips over.
    int tip = std::isfinite(stored) && stored >= 0.0 && stored < kTipCount
                  ? static_cast<int>(stored) + 1
                  : 1;
    if (tip >= kTipCount) tip = 1;
    char address[512];
    std::snprintf(address, sizeof address, "%s%s%i%s%i%s%i\n", contentDomain, "pages/Tips/Tips_",
                  tip, ".aspx?curnum=", tip, "&totalnum=", kTipCount);
    return address;
}

void CDuzazododiza::ShowNextTip() {
    OpenWebPopup(NextTipAddress().c_str(), kTipWidth, kTipHeight, true);
}

std::string CDuzazododiza::AccountPageAddress() {
    char user[kCredentialSize] = {};
    char password[kCredentialSize] = {};
    RegistryReadString("", "username", user, sizeof user);
    RegistryReadString("", "password", password, sizeof password);
    std::string name = user;
    std::string word = password;
    if (user[0] && password[0]) {
        name = ScrambleCredential(user);
        word = ScrambleCredential(password);
    }
    char entrance[kPathSize];
    AttachPathToDomain("kvrQueryEntrance.aspx", entrance, sizeof entrance);
    return std::string(entrance) + "?getPage=1&pageName=account&uName=" + name + "&upw=" + word;
}

std::string CDuzazododiza::ObjectPageAddress() {
    const std::string object = globalState.GetString(3);
    char address[kPathSize];
    if (object.empty()) {
        AttachPathToDomain("Duzazododiza/genericObjectPages/UnknownObjectPage.htm", address,
                           sizeof address);
        return address;
    }
    if (object.compare(0, 5, "name=") == 0) {
        AttachPathToDomain("Duzazododiza/genericObjectPages/genericObjectPage.aspx?", address,
                           sizeof address);
        return std::string(address) + object;
    }
    return object;
}
