#include "platform/Input.h"

#include "Display.h"

#include <array>
#include <mutex>
#include <utility>

namespace platform {
namespace {

constexpr uint8_t kDown = 0x80;
constexpr uint8_t kToggled = 0x01;

struct InputState {
    std::mutex mutex;
    std::array<uint8_t, 256> keys{};
    Cursor cursor = kArrowCursor;
};

InputState& State() {
    static InputState* state = new InputState;
    return *state;
}

}  // namespace

int16_t GetKeyState(int virtualKey) {
    if (virtualKey < 0 || virtualKey > 255) return 0;
    auto& state = State();
    std::lock_guard<std::mutex> guard(state.mutex);
    const uint8_t key = state.keys[virtualKey];
    uint16_t value = (key & kDown) ? 0xFF80 : 0;
    if (key & kToggled) value |= 1;
    return static_cast<int16_t>(value);
}

bool IsKeyDown(int virtualKey) {
    return GetKeyState(virtualKey) < 0;
}

void SetKeyState(int virtualKey, bool down) {
    if (virtualKey < 0 || virtualKey > 255) return;
    auto& state = State();
    std::lock_guard<std::mutex> guard(state.mutex);
    uint8_t& key = state.keys[virtualKey];
    if (down && !(key & kDown)) key ^= kToggled;
    key = down ? (key | kDown) : (key & ~kDown);
}

void NoteInputMessage(const Message& message) {
    switch (message.message) {
        case WM_KEYDOWN:
        case WM_SYSKEYDOWN:
            SetKeyState(static_cast<int>(message.wParam & 0xFF), true);
            break;
        case WM_KEYUP:
        case WM_SYSKEYUP:
            SetKeyState(static_cast<int>(message.wParam & 0xFF), false);
            break;
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK:
            SetKeyState(VK_LBUTTON, true);
            break;
        case WM_LBUTTONUP:
            SetKeyState(VK_LBUTTON, false);
            break;
        case WM_RBUTTONDOWN:
        case WM_RBUTTONDBLCLK:
            SetKeyState(VK_RBUTTON, true);
            break;
        case WM_RBUTTONUP:
            SetKeyState(VK_RBUTTON, false);
            break;
        case WM_MBUTTONDOWN:
        case WM_MBUTTONDBLCLK:
            SetKeyState(VK_MBUTTON, true);
            break;
        case WM_MBUTTONUP:
            SetKeyState(VK_MBUTTON, false);
            break;
        default:
            break;
    }
}

Cursor SetCursor(Cursor cursor) {
    auto& state = State();
    Cursor old;
    {
        std::lock_guard<std::mutex> guard(state.mutex);
        old = std::exchange(state.cursor, cursor);
    }
    if (!(old == cursor)) display::CursorChanged(cursor);
    return old;
}

Cursor GetCursor() {
    auto& state = State();
    std::lock_guard<std::mutex> guard(state.mutex);
    return state.cursor;
}

}  // namespace platform
