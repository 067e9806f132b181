#include "render/OffScreenWindow.h"

#include <atomic>

namespace {
std::atomic<OffScreenWindow*> offScreenWindow{nullptr};
}

OffScreenWindow* theOffScreenWindow() {
    return offScreenWindow.load();
}

void SetOffScreenWindow(OffScreenWindow* buffer) {
    offScreenWindow.store(buffer);
}
