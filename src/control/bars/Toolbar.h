#pragma once

#include <cstdint>

#include "control/bars/StatusBar.h"

class Window;

// The drawn bitmap toolbar of a view, placed at the window's top edge.
class Toolbar : public StatusBar {
public:
    explicit Toolbar(Window* owner) : StatusBar(owner) {}

    uint8_t pinned = 0;
};
