#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "control/Duzazododiza.h"
#include "foundation/Trace.h"
#include "interaction/MouseHandler.h"
#include "platform/MessageBox.h"
#include "platform/PageScript.h"
#include "render/Window.h"

namespace {

constexpr const char* kCheckMessageFunction = "checkKVRMessage";
constexpr uint32_t kLowResourcesText = 308;
constexpr uint32_t kOptimisationHintsCommand = 25349;

}  // namespace

void CDuzazododiza::PostHostMessage(uint32_t command) {
    if (HandleCommand(command) != 0) return;
    // The page may take its time: a caller on another thread never waits for it.
    platform::SendNotifyMessage(controlWindow, kMsgHostMessage, command, 0);
}

platform::LResult CDuzazododiza::OnKVRMessage(uint32_t code) {
    char line[64];
    std::snprintf(line, sizeof line, "Begin OnKVRMessage  %u", code);
    theTrace().Write(line);
    // A code that finds another pending replaces it; the page, asked already, reads the
    // newest one.
    const int32_t previous = pendingHostMessage.exchange(static_cast<int32_t>(code));
    if (previous == -1) CallHostScript(kCheckMessageFunction);
    line[0] = line[2] = line[3] = ' ';
    theTrace().Write(line);
    return 0;
}

platform::HRESULT CDuzazododiza::get_KVRMessage(double* value) {
    const int32_t code = pendingHostMessage.exchange(-1);
    if (value) *value = static_cast<double>(code);
    return platform::S_OK;
}

platform::HRESULT CDuzazododiza::put_KVRMessage(double value) {
    // The page's number is checked before it becomes a code: what does not fit counts
    // as nothing pending.
    int32_t code = -1;
    if (std::isfinite(value) && value > -2147483649.0 && value < 2147483648.0)
        code = static_cast<int32_t>(value);
    else
        theTrace().Write("KVRMessage value out of range");
    pendingHostMessage.store(code);
    return platform::S_OK;
}

void CDuzazododiza::CallHostScript(const char* name) {
    if (!name) return;
    // The control's parent is the document window of the page that holds it.
    const platform::WindowHandle parent = platform::GetParent(controlWindow);
    if (parent == platform::kNoWindow) return;
    // A page without the function, or without a script, is not called; the code stays
    // pending until the page reads it.
    platform::CallPageFunction(parent, name);
}

platform::BSTR CDuzazododiza::AnsiToBSTR(const char* text, int length) {
    if (!text) return nullptr;
    if (length < 0) return platform::BstrFromUtf8(text);
    const size_t available = strnlen(text, static_cast<size_t>(length));
    return platform::BstrFromUtf8(std::string(text, available));
}

void CDuzazododiza::OnLowResources() {
    theTrace().Write("Begin OnLowResources");
    platform::MessageBoxRequest box;
    box.text = LoadResourceString(kLowResourcesText);
    box.caption = "3D Editing Hints";
    box.buttons = platform::MessageButtons::YesNo;
    if (ShowMessageBox(box) == platform::MessageAnswer::Yes)
        PostHostMessage(kOptimisationHintsCommand);
    if (!activeWindow) {
        theTrace().Write("No active Window for low resource");
    } else if (!activeWindow->GetCurrentMode()) {
        theTrace().Write("No mouse handler for low resource");
    } else {
        // The mode forgets its remembered button presses here once the modes keep them.
    }
    theTrace().Write("End OnLowResources");
}
