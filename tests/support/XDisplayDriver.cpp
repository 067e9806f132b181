#include "support/XDisplayDriver.h"

#include <sys/wait.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>

#include "platform/Window.h"

namespace xdriver {

bool HaveDisplay() {
    const char* display = std::getenv("DISPLAY");
    const char* headless = std::getenv("KIVORA_HEADLESS");
    if (!display || !*display) return false;
    if (headless && *headless && std::strcmp(headless, "0") != 0) return false;
    return Run("command -v xdotool >/dev/null && command -v import >/dev/null && echo yes") ==
           "yes";
}

bool PumpUntil(const std::function<bool()>& done, int timeoutMs) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) return done();
        platform::PumpUntilIdle();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

void PumpFor(int milliseconds) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    PumpUntil([&] { return std::chrono::steady_clock::now() >= end; }, milliseconds + 1000);
}

std::string Run(const std::string& command, int* status) {
    std::string out;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) {
        if (status) *status = -1;
        return out;
    }
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
    const int rc = pclose(pipe);
    if (status) *status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) out.pop_back();
    return out;
}

// Runs an X command while this thread keeps serving its windows: the display answers
// what the command asks only when the UI thread pumps.
static std::string RunPumping(const std::string& command) {
    std::string out;
    std::atomic<bool> finished{false};
    std::thread runner([&] {
        out = Run(command);
        finished = true;
    });
    PumpUntil([&] { return finished.load(); }, 20000);
    runner.join();
    return out;
}

std::string VisibleWindows(const std::string& title) {
    return Run("xdotool search --onlyvisible --name '^" + title + "$' 2>/dev/null");
}

unsigned long FindWindow(const std::string& title, int timeoutMs) {
    unsigned long id = 0;
    PumpUntil(
        [&] {
            const std::string found = VisibleWindows(title);
            id = found.empty() ? 0 : std::strtoul(found.c_str(), nullptr, 10);
            return id != 0;
        },
        timeoutMs);
    return id;
}

void KeysWhenShown(const std::string& title, const std::string& keys, const std::string& before) {
    std::string window;
    for (int i = 0; i < 200 && window.empty(); ++i) {
        std::istringstream found(VisibleWindows(title));
        for (std::string id; window.empty() && std::getline(found, id);) {
            std::istringstream old(before);
            bool seen = false;
            for (std::string o; !seen && std::getline(old, o);) seen = o == id;
            if (!id.empty() && !seen) window = id;
        }
        if (window.empty()) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    if (!window.empty()) Run("xdotool windowfocus --sync " + window);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    Run("xdotool key --delay 60 " + keys);
}

void MoveTo(unsigned long window, int x, int y) {
    RunPumping("xdotool mousemove --sync --window " + std::to_string(window) + " " +
               std::to_string(x) + " " + std::to_string(y));
}

void Click(unsigned long window, int x, int y, int button) {
    MoveTo(window, x, y);
    RunPumping("xdotool click " + std::to_string(button));
}

void Drag(unsigned long window, int x0, int y0, int x1, int y1, int button) {
    MoveTo(window, x0, y0);
    RunPumping("xdotool mousedown " + std::to_string(button));
    PumpFor(50);
    MoveTo(window, (x0 + x1) / 2, (y0 + y1) / 2);
    MoveTo(window, x1, y1);
    PumpFor(50);
    RunPumping("xdotool mouseup " + std::to_string(button));
}

void Keys(unsigned long window, const std::string& keys) {
    RunPumping("xdotool windowfocus --sync " + std::to_string(window));
    PumpFor(50);
    RunPumping("xdotool key --delay 30 " + keys);
}

void Type(unsigned long window, const std::string& text) {
    RunPumping("xdotool windowfocus --sync " + std::to_string(window));
    PumpFor(50);
    RunPumping("xdotool type --delay 30 '" + text + "'");
}

void KeysToFocus(const std::string& keys) {
    RunPumping("xdotool key --delay 30 " + keys);
}

Image Screenshot(unsigned long window, const std::string& pngPath) {
    Image image;
    const std::string ppm = std::string(std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "/tmp") +
                            "/shot-" + std::to_string(window) + ".ppm";
    RunPumping("import -window " + std::to_string(window) + " -depth 8 ppm:" + ppm +
               " 2>/dev/null");
    if (!pngPath.empty()) Run("convert " + ppm + " " + pngPath + " 2>/dev/null");
    std::ifstream in(ppm, std::ios::binary);
    std::string magic;
    int maxValue = 0;
    in >> magic >> image.width >> image.height >> maxValue;
    in.get();
    if (magic != "P6" || image.width <= 0 || image.height <= 0 || maxValue != 255) return {};
    image.rgb.resize(static_cast<size_t>(image.width) * image.height * 3);
    in.read(reinterpret_cast<char*>(image.rgb.data()), static_cast<std::streamsize>(image.rgb.size()));
    return image;
}

double Difference(const Image& a, const Image& b, int tolerance) {
    if (a.width != b.width || a.height != b.height || a.rgb.empty()) return 1.0;
    size_t off = 0;
    for (size_t i = 0; i < a.rgb.size(); i += 3) {
        for (int c = 0; c < 3; ++c) {
            if (std::abs(int(a.rgb[i + c]) - int(b.rgb[i + c])) > tolerance) {
                ++off;
                break;
            }
        }
    }
    return double(off) / double(a.rgb.size() / 3);
}

}  // namespace xdriver
