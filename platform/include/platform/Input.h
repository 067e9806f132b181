#pragma once

#include <cstdint>

#include "platform/Messages.h"

namespace platform {

// Keyboard and mouse state kept by the layer.
//
// Which keys and buttons are down follows the key and button messages as the message
// loops take them from their queues (WM_KEYDOWN/UP, WM_SYSKEYDOWN/UP and the button
// messages), so a handler sees the state as of the message it handles.

// Virtual keys (letters and digits are their upper-case ASCII codes).
inline constexpr int VK_LBUTTON = 0x01;
inline constexpr int VK_RBUTTON = 0x02;
inline constexpr int VK_MBUTTON = 0x04;
inline constexpr int VK_BACK = 0x08;
inline constexpr int VK_TAB = 0x09;
inline constexpr int VK_RETURN = 0x0D;
inline constexpr int VK_SHIFT = 0x10;
inline constexpr int VK_CONTROL = 0x11;
inline constexpr int VK_MENU = 0x12;  // Alt
inline constexpr int VK_ESCAPE = 0x1B;
inline constexpr int VK_SPACE = 0x20;
inline constexpr int VK_PRIOR = 0x21;
inline constexpr int VK_NEXT = 0x22;
inline constexpr int VK_END = 0x23;
inline constexpr int VK_HOME = 0x24;
inline constexpr int VK_LEFT = 0x25;
inline constexpr int VK_UP = 0x26;
inline constexpr int VK_RIGHT = 0x27;
inline constexpr int VK_DOWN = 0x28;
inline constexpr int VK_INSERT = 0x2D;
inline constexpr int VK_DELETE = 0x2E;
inline constexpr int VK_ADD = 0x6B;
inline constexpr int VK_SUBTRACT = 0x6D;
inline constexpr int VK_F1 = 0x70;
inline constexpr int VK_OEM_MINUS = 0xBD;

// Key and button flags in the wParam of mouse messages.
inline constexpr WParam MK_LBUTTON = 0x0001;
inline constexpr WParam MK_RBUTTON = 0x0002;
inline constexpr WParam MK_SHIFT = 0x0004;
inline constexpr WParam MK_CONTROL = 0x0008;
inline constexpr WParam MK_MBUTTON = 0x0010;
inline constexpr WParam MK_ALT = 0x0020;

// The state of a key: negative (high bits set) while it is down; bit 0 flips with
// every press (the toggle of lock keys). Keys outside 0..255 read 0.
int16_t GetKeyState(int virtualKey);
bool IsKeyDown(int virtualKey);
// Sets a key's state directly (input sources without messages, tests).
void SetKeyState(int virtualKey, bool down);
// Updates the state from a key or button message; the loops call it for every
// message they take from a queue.
void NoteInputMessage(const Message& message);

// Mouse capture: the window that gets the mouse messages while a button is held.
// SetCapture answers the previous capture window; a handle that is not a window
// changes nothing. The capture ends with ReleaseCapture or when its window dies.
WindowHandle SetCapture(WindowHandle window);
WindowHandle GetCapture();
bool ReleaseCapture();

// Cursor shapes: a cursor of the program's resources by id, or one of the system's.
enum class CursorShape : uint8_t { None, Arrow, Wait, SizeAll, Resource };

struct Cursor {
    CursorShape shape = CursorShape::None;
    int resourceId = 0;  // for CursorShape::Resource
    friend constexpr bool operator==(const Cursor&, const Cursor&) = default;
};

inline constexpr Cursor kArrowCursor{CursorShape::Arrow, 0};
inline constexpr Cursor kWaitCursor{CursorShape::Wait, 0};
inline constexpr Cursor kSizeAllCursor{CursorShape::SizeAll, 0};
inline constexpr Cursor LoadCursor(int resourceId) {
    return Cursor{CursorShape::Resource, resourceId};
}

// The shown cursor (one per process). SetCursor answers the previous one.
Cursor SetCursor(Cursor cursor);
Cursor GetCursor();

}  // namespace platform
