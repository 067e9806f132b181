#include "control/BaseControl.h"
#include "render/Window.h"

void BaseControl::ShowObjectStatus(const char* text) {
    Window* window = currentWindow ? currentWindow : activeWindow;
    if (window)
        window->statusBar1.SetText(text, false);
    else
        statusBar.SetText(text, false);
}
