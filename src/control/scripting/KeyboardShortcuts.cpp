#include "control/scripting/KeyboardShortcuts.h"

#include "control/Duzazododiza.h"
#include "interaction/MouseHandler.h"
#include "platform/Input.h"
#include "render/Window.h"

namespace {

// Favourite views 1 to 9.
constexpr uint32_t kFavouriteViews[9] = {308, 309, 310, 324, 325, 326, 327, 328, 329};
// What Shift + 1..9 types on a US keyboard, for hosts that send characters.
constexpr unsigned kShiftedDigits[9] = {'!', '@', '#', '$', '%', '^', '&', '*', '('};

}  // namespace

uint32_t KeyboardShortcuts::CtrlCommand(unsigned key, bool shift) {
    switch (key) {
        case 'N':
            return 100;
        case 'P':
            return 142;
        case 'S':
            return 130;
        case 'D':
            return 220;
        case 'F':
            return 363;
        case 'G':
            return 230;
        case 'H':
            return 500;
        case 'I':
            return 404;
        case 'L':
            return 229;
        case 'M':
            return 232;
        case 'U':
            return 231;
        case 'W':
            return 402;
        case 'Y':
            return 201;
        case 'Z':
            return 200;
        case kComma:
            return 202;
        case kPeriod:
            return 203;
        default:
            break;
    }
    for (int i = 0; i < 9; ++i) {
        if ((shift && key == static_cast<unsigned>('1' + i)) || key == kShiftedDigits[i])
            return kFavouriteViews[i];
    }
    return 0;
}

uint32_t KeyboardShortcuts::PlainCommand(unsigned key, uint32_t ctrlCommand, bool typingText,
                                         int activeMode) {
    switch (key) {
        case platform::VK_TAB:
            return 362;
        case platform::VK_RETURN:
            return typingText ? ctrlCommand : kFavouriteViews[0];
        case platform::VK_PRIOR:
            return activeMode == kWalkMode ? ctrlCommand : 461;
        case platform::VK_NEXT:
            return activeMode == kWalkMode ? ctrlCommand : 462;
        default:
            return ctrlCommand;
    }
}

bool KeyboardShortcuts::EscEndsMode(int mode, bool operationInProgress) {
    switch (mode) {
        case 4:
        case 5:
        case 7:
        case 12:
        case 19:
        case 20:
        case 22:
        case 25:
        case 28:
        case 29:
        case 30:
            return true;
        case 1:
        case 2:
        case 3:
        case 8:
        case 9:
        case 10:
        case 18:
        case 21:
        case 23:
        case 26:
        case 27:
            return operationInProgress;
        default:
            return false;
    }
}

KeyboardShortcuts::KeyUp KeyboardShortcuts::KeyUpShortcut(unsigned key) {
    switch (key) {
        case 'A':
            return {Action::Command, 332};
        case 'B':
            return {Action::Mode, 12};
        case 'C':
            return {Action::Mode, 25};
        case 'D':
            return {Action::ToggleHidden, 0x800000};
        case 'F':
            return {Action::LightOverhead, 0};
        case 'G':
            return {Action::ToggleGlobal, 11};
        case 'I':
            return {Action::Wall, 1};
        case 'J':
            return {Action::ToggleGlobal, 23};
        case 'K':
            return {Action::Mode, 31};
        case 'L':
            return {Action::ToggleGlobal, 12};
        case 'M':
            return {Action::ToggleGlobal, 9};
        case 'N':
            return {Action::Command, 331};
        case 'O':
            return {Action::Mode, 16};
        case 'P':
            return {Action::Mode, 15};
        case 'R':
            return {Action::ToggleHidden, 0x100};
        case 'S':
            return {Action::Command, 371};
        case 'T':
            return {Action::Mode, 24};
        case 'U':
            return {Action::TerrainMode, 28};
        case 'V':
            return {Action::SavedViewWindow, 0};
        case 'W':
            return {Action::Wall, 0};
        case 'X':
            return {Action::Command, 323};
        case '8':
            return {Action::ToggleGlobal, 22};
        case kComma:
            return {Action::NarrowView, 0};
        case kPeriod:
            return {Action::WidenView, 0};
        default:
            return {};
    }
}

double KeyboardShortcuts::StepFieldOfView(double degrees, bool wider) {
    const double tens = degrees / 10.0;
    if (wider) return tens < 8.0 ? degrees + 10.0 : degrees;
    return tens > 2.0 ? degrees - 10.0 : degrees;
}

// ---- The control's key roads ----

int CDuzazododiza::ProcessKey(const platform::Message& message) {
    const auto key = static_cast<unsigned>(message.wParam);
    if (!IsRunning()) {
        // A busy control takes every key; Esc asks a running load to stop.
        if (message.message == platform::WM_KEYDOWN && key == platform::VK_ESCAPE && initialised)
            loadKind = 2;
        return 1;
    }
    if (message.message != platform::WM_KEYDOWN) return 0;

    MouseHandler* mode = activeWindow ? activeWindow->GetCurrentMode() : nullptr;
    const int modeNumber = activeWindow ? activeWindow->GetCurrentModeNumber() : -1;

    uint32_t id = 0;
    if (platform::IsKeyDown(platform::VK_CONTROL))
        id = KeyboardShortcuts::CtrlCommand(key, platform::IsKeyDown(platform::VK_SHIFT));
    id = KeyboardShortcuts::PlainCommand(key, id, textEntryActive != 0, modeNumber);

    switch (key) {
        case KeyboardShortcuts::kF8:
            globalState.SetBoolean(33, !globalState.GetBoolean(33));
            break;
        case KeyboardShortcuts::kF9:
            f9Flag = f9Flag ? 0 : 1;
            break;
        case platform::VK_ESCAPE:
            if (mode && KeyboardShortcuts::EscEndsMode(modeNumber, mode->IsOperationInProgress()))
                SwitchToSelectionMode();
            break;
        default:
            break;
    }

    if (id == 0) return 0;
    if (modeNumber == KeyboardShortcuts::kWalkMode) SwitchToSelectionMode();
    PostHostMessage(id);
    return 1;
}

platform::LResult CDuzazododiza::OnKeyUp(uint32_t, platform::WParam wParam, platform::LParam) {
    if (!IsRunning()) return 0;
    const auto key = static_cast<unsigned>(wParam);
    if (!textEntryActive && !platform::IsKeyDown(platform::VK_CONTROL)) {
        using Action = KeyboardShortcuts::Action;
        const KeyboardShortcuts::KeyUp shortcut = KeyboardShortcuts::KeyUpShortcut(key);
        const int value = static_cast<int>(shortcut.value);
        switch (shortcut.action) {
            case Action::Command:
                PostHostMessage(static_cast<uint32_t>(shortcut.value));
                break;
            case Action::Mode:
                SetMouseMode(value);
                break;
            case Action::ToggleHidden:
                ToggleVisibilityByTypeMask(shortcut.value);
                break;
            case Action::ToggleGlobal:
                globalState.SetBoolean(value, !globalState.GetBoolean(value));
                break;
            case Action::Wall:
                wallState.SetBoolean(8, true);
                wallState.SetBoolean(9, value != 0);
                SetMouseMode(3);
                break;
            case Action::TerrainMode:
                SetMouseMode(activeWindow && activeWindow->GetCurrentModeNumber() == value ? 0
                                                                                           : value);
                break;
            case Action::LightOverhead:
                MoveLightOverhead();
                break;
            case Action::SavedViewWindow:
                OpenSavedViewWindow();
                break;
            case Action::NarrowView:
            case Action::WidenView:
                if (activeWindow) {
                    const double now = activeWindow->fieldOfView;
                    const double next = KeyboardShortcuts::StepFieldOfView(
                        now, shortcut.action == Action::WidenView);
                    if (next != now) SetCameraAngle(next);
                }
                break;
            case Action::None:
                break;
        }
    }
    if (activeWindow && activeWindow->GetCurrentMode())
        activeWindow->GetCurrentMode()->OnKeyUp(key);
    return 0;
}

platform::HRESULT CDuzazododiza::ProcessKeyPress(int keyId, bool controlDown) {
    if (controlDown) {
        platform::Message message;
        message.window = controlWindow;
        message.message = platform::WM_KEYDOWN;
        message.wParam = static_cast<platform::WParam>(keyId + 96);
        if (activeWindow && activeWindow->GetCurrentMode())
            activeWindow->GetCurrentMode()->OnKeyDown(platform::VK_CONTROL);
        ProcessKey(message);
    } else {
        OnKeyUp(platform::WM_KEYUP, static_cast<platform::WParam>(keyId), 0);
    }
    return platform::S_OK;
}
