#include "host/HostResources.h"

#include "platform/DialogBox.h"
#include "platform/StringResources.h"

using platform::ControlKind;

namespace {

constexpr platform::StringResource kStrings[] = {
    {1, "The password entered is invalid"},
    {2, "The E-Mail address entered is invalid"},
    {3, "Log-in failed (unknown error)"},
    {5, "Invalid Password"},
    {6, "Invalid E-Mail"},
    {7, "Error"},
    {9,
     "The driver of your video card is older than Kivora needs.  Install the newest driver "
     "from the maker of your video card or from your system's updates, then start Kivora "
     "again.  The help pages on the Kivora web site list drivers known to work, and our "
     "support team can help when the trouble stays."},
    {10,
     "No accelerated OpenGL driver was found for your video card, so Kivora could only draw "
     "slowly in software.  Install the driver for your video card (your system's driver "
     "manager can do it), then start Kivora again.  The help pages on the Kivora web site "
     "explain how, and our support team can help when the trouble stays."},
    {11, "Video Card Not Configured:"},
    {12, "Old Video Card Or Driver:"},
    {13,
     "An internet connection was not detected on this computer.  You must be connected to the "
     "internet for Kivora to function properly.\nCheck that your firewall software is not "
     "blocking Kivora from Internet access."},
    {14, "No Internet Connection Available"},
};

constexpr platform::StringTable kTable(kStrings, sizeof kStrings / sizeof kStrings[0]);

// Labels carry ids of their own above the controls' ids.
constexpr uint32_t kLabel = 2000;

}  // namespace

const char* HostString(uint32_t id) {
    const char* text = kTable.Find(id);
    return text ? text : "";
}

bool LoadHostDialog(uint32_t id, platform::DialogBox& box) {
    switch (id) {
        case kSignInDialog:
            box.SetCaption("Kivora Login");
            box.Add(ControlKind::Static, kLabel + 1, "Email Address:");
            box.Add(ControlKind::Edit, kIdEmail);
            box.Add(ControlKind::Static, kLabel + 2, "Password:");
            box.Add(ControlKind::Edit, kIdPassword);
            box.Add(ControlKind::Button, kIdOk, "Login");
            box.Add(ControlKind::Button, kIdAdvanced, "Advanced");
            box.Add(ControlKind::CheckBox, kIdAutoSignIn, "Don't show this dialog again");
            return true;
        case kSignInWaitDialog:
            box.SetCaption("Please Wait..");
            box.Add(ControlKind::Static, kLabel + 1, "Please wait while Kivora signs in.");
            return true;
        case kUpdateDialog:
            box.SetCaption("Updating");
            box.Add(ControlKind::Static, kLabel + 1, "Please Wait while Kivora is updating.");
            return true;
        case kProbeResultDialog:
            box.SetCaption("Incompatibilities Found");
            box.Add(ControlKind::Static, kLabel + 1,
                    "We're sorry, but we've encountered the following trouble while installing "
                    "Kivora on your machine.  Please correct the problems below and try again.");
            box.Add(ControlKind::Picture, kLabel + 2).bitmap = kProbeBitmap;
            box.Add(ControlKind::Static, kIdProbeTrouble);
            box.Add(ControlKind::Static, kIdProbeAdvice,
                    "*It is strongly recommended that you close Kivora and update your system "
                    "before continuing or Kivora may not function correctly.");
            box.Add(ControlKind::Button, kIdOk, "Close Kivora");
            box.Add(ControlKind::Button, kIdCancel, "Try It Anyway");
            return true;
        case kProxyDialog:
            box.SetCaption("Advanced Settings");
            box.Add(ControlKind::CheckBox, kIdUseProxy,
                    "Use proxy server to connect to Kivora.  (Not necessary if your system is "
                    "configured to use a proxy.)");
            box.Add(ControlKind::Static, kIdProxyAddressLabel, "Address :");
            box.Add(ControlKind::Edit, kIdProxyAddress);
            box.Add(ControlKind::Static, kIdProxyPortLabel, "Port :");
            box.Add(ControlKind::Edit, kIdProxyPort);
            box.Add(ControlKind::Button, kIdOk, "OK");
            box.Add(ControlKind::Button, kIdCancel, "Cancel");
            return true;
        default:
            return false;
    }
}
