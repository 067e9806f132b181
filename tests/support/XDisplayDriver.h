#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// Drives the X display a gui test runs on, as a person would: finds windows by title,
// moves the pointer, clicks, types and takes screenshots through the X server
// (xdotool and ImageMagick's import), and pumps the calling thread's messages while
// the display answers.
namespace xdriver {

// Whether the test runs on a display (and the layer chose it).
bool HaveDisplay();

// Pumps the calling thread's messages until `done` answers true or `timeoutMs` passed;
// answers `done()` at the end.
bool PumpUntil(const std::function<bool()>& done, int timeoutMs = 5000);
void PumpFor(int milliseconds);

// Runs a shell command; answers its standard output (trailing newline removed).
std::string Run(const std::string& command, int* status = nullptr);

// The X id of the first viewable window whose title is `title` (0 when none shows
// within the time).
unsigned long FindWindow(const std::string& title, int timeoutMs = 20000);

// For a thread of the test's own while its UI thread waits in a modal call (nothing is
// pumped here): the ids of the viewable windows titled `title`, one per line, and the
// keys pressed once a window of that title shows that was not among `before` (one
// showing already, such as the last dialog on its way out, is not the one waited for).
// The new window is given the keyboard first; after ten seconds without one the keys go
// to whatever has it.
std::string VisibleWindows(const std::string& title);
void KeysWhenShown(const std::string& title, const std::string& keys,
                   const std::string& before = {});

// Pointer and keys through the X server. Points are relative to the window.
void MoveTo(unsigned long window, int x, int y);
void Click(unsigned long window, int x, int y, int button = 1);
void Drag(unsigned long window, int x0, int y0, int x1, int y1, int button = 1);
// Gives the window the keyboard, then presses the keys (xdotool's key names).
void Keys(unsigned long window, const std::string& keys);
void Type(unsigned long window, const std::string& text);
// Presses keys on whatever has the keyboard (a menu or a dialog that grabbed it).
void KeysToFocus(const std::string& keys);

struct Image {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgb;  // rows from the top
    const uint8_t* At(int x, int y) const { return rgb.data() + (size_t(y) * width + x) * 3; }
};

// The window's pixels as the X server shows them; also written as `pngPath` when given.
Image Screenshot(unsigned long window, const std::string& pngPath = {});
// The share of pixels whose channels differ by more than `tolerance`, in [0, 1];
// 1 when the sizes differ.
double Difference(const Image& a, const Image& b, int tolerance);

}  // namespace xdriver
