#pragma once

#include <cstdint>

namespace platform {

// Message parameters and results: pointer-sized, as the callers pack handles and
// pointers into them.
using WParam = uintptr_t;
using LParam = intptr_t;
using LResult = intptr_t;

// A window is named by an id that the window table checks on every use; a handle of a
// destroyed window is never reused and every call on it is harmless.
enum class WindowHandle : uint32_t {};
inline constexpr WindowHandle kNoWindow{};

inline constexpr WParam ToWParam(WindowHandle w) {
    return static_cast<WParam>(w);
}
inline constexpr WindowHandle WindowFromParam(uintptr_t v) {
    return static_cast<WindowHandle>(static_cast<uint32_t>(v));
}

// One queued message as the loop hands it out. `time` is the layer's clock in
// milliseconds when the message was posted or generated.
struct Message {
    WindowHandle window = kNoWindow;
    uint32_t message = 0;
    WParam wParam = 0;
    LParam lParam = 0;
    int64_t time = 0;
};

// Message numbers (the values the callers were written against).
inline constexpr uint32_t WM_NULL = 0x0000;
inline constexpr uint32_t WM_CREATE = 0x0001;  // lParam: const WindowCreateInfo*; -1 refuses
inline constexpr uint32_t WM_DESTROY = 0x0002;
inline constexpr uint32_t WM_MOVE = 0x0003;
inline constexpr uint32_t WM_SIZE = 0x0005;       // wParam: SIZE_*; lParam: width, height
inline constexpr uint32_t WM_ACTIVATE = 0x0006;   // wParam: WA_*; lParam: the other window
inline constexpr uint32_t WM_SETFOCUS = 0x0007;   // wParam: window that lost the focus
inline constexpr uint32_t WM_KILLFOCUS = 0x0008;  // wParam: window that gets the focus
inline constexpr uint32_t WM_ENABLE = 0x000A;
inline constexpr uint32_t WM_SETTEXT = 0x000C;
inline constexpr uint32_t WM_GETTEXT = 0x000D;
inline constexpr uint32_t WM_PAINT = 0x000F;
inline constexpr uint32_t WM_CLOSE = 0x0010;
inline constexpr uint32_t WM_QUERYENDSESSION = 0x0011;
inline constexpr uint32_t WM_QUIT = 0x0012;  // wParam: exit code
inline constexpr uint32_t WM_ERASEBKGND = 0x0014;
inline constexpr uint32_t WM_SHOWWINDOW = 0x0018;  // wParam: 1 shown, 0 hidden
inline constexpr uint32_t WM_SETCURSOR = 0x0020;
inline constexpr uint32_t WM_MOUSEACTIVATE = 0x0021;
inline constexpr uint32_t WM_DRAWITEM = 0x002B;
inline constexpr uint32_t WM_COPYDATA = 0x004A;
inline constexpr uint32_t WM_NOTIFY = 0x004E;
inline constexpr uint32_t WM_NCCREATE = 0x0081;
inline constexpr uint32_t WM_NCDESTROY = 0x0082;  // the last message a window receives
inline constexpr uint32_t WM_NCCALCSIZE = 0x0083;
inline constexpr uint32_t WM_NCACTIVATE = 0x0086;
inline constexpr uint32_t WM_KEYDOWN = 0x0100;  // wParam: virtual key
inline constexpr uint32_t WM_KEYUP = 0x0101;
inline constexpr uint32_t WM_CHAR = 0x0102;  // wParam: character
inline constexpr uint32_t WM_SYSKEYDOWN = 0x0104;
inline constexpr uint32_t WM_SYSKEYUP = 0x0105;
inline constexpr uint32_t WM_SYSCHAR = 0x0106;
inline constexpr uint32_t WM_INITDIALOG = 0x0110;
inline constexpr uint32_t WM_COMMAND = 0x0111;
inline constexpr uint32_t WM_SYSCOMMAND = 0x0112;
inline constexpr uint32_t WM_TIMER = 0x0113;  // wParam: timer id
inline constexpr uint32_t WM_HSCROLL = 0x0114;
inline constexpr uint32_t WM_VSCROLL = 0x0115;
inline constexpr uint32_t WM_MOUSEMOVE = 0x0200;  // wParam: MK_*; lParam: x, y
inline constexpr uint32_t WM_LBUTTONDOWN = 0x0201;
inline constexpr uint32_t WM_LBUTTONUP = 0x0202;
inline constexpr uint32_t WM_LBUTTONDBLCLK = 0x0203;
inline constexpr uint32_t WM_RBUTTONDOWN = 0x0204;
inline constexpr uint32_t WM_RBUTTONUP = 0x0205;
inline constexpr uint32_t WM_RBUTTONDBLCLK = 0x0206;
inline constexpr uint32_t WM_MBUTTONDOWN = 0x0207;
inline constexpr uint32_t WM_MBUTTONUP = 0x0208;
inline constexpr uint32_t WM_MBUTTONDBLCLK = 0x0209;
inline constexpr uint32_t WM_MOUSEWHEEL = 0x020A;
inline constexpr uint32_t WM_PARENTNOTIFY = 0x0210;
inline constexpr uint32_t WM_CAPTURECHANGED = 0x0215;
inline constexpr uint32_t WM_MOUSEHOVER = 0x02A1;
inline constexpr uint32_t WM_MOUSELEAVE = 0x02A3;
inline constexpr uint32_t WM_USER = 0x0400;  // private messages of a window class
inline constexpr uint32_t WM_APP = 0x8000;   // private messages of a program

// WM_SIZE kinds.
inline constexpr WParam SIZE_RESTORED = 0;
inline constexpr WParam SIZE_MINIMIZED = 1;
inline constexpr WParam SIZE_MAXIMIZED = 2;

// WM_ACTIVATE states and the WM_MOUSEACTIVATE answer.
inline constexpr WParam WA_INACTIVE = 0;
inline constexpr WParam WA_ACTIVE = 1;
inline constexpr LResult MA_ACTIVATE = 1;

// Two 16-bit halves in one parameter (sizes, cursor positions).
inline constexpr LParam MakeLParam(int low, int high) {
    return static_cast<LParam>((static_cast<uint32_t>(high & 0xFFFF) << 16) |
                               static_cast<uint32_t>(low & 0xFFFF));
}
inline constexpr unsigned LowWord(uintptr_t v) {
    return static_cast<unsigned>(v & 0xFFFF);
}
inline constexpr unsigned HighWord(uintptr_t v) {
    return static_cast<unsigned>((v >> 16) & 0xFFFF);
}
// Signed halves: cursor positions left of or above a window are negative.
inline constexpr int XFromLParam(LParam v) {
    return static_cast<int16_t>(LowWord(static_cast<uintptr_t>(v)));
}
inline constexpr int YFromLParam(LParam v) {
    return static_cast<int16_t>(HighWord(static_cast<uintptr_t>(v)));
}

}  // namespace platform
