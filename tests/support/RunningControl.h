#pragma once

#include <vector>

#include "control/Duzazododiza.h"
#include "interaction/MouseHandler.h"
#include "render/Window.h"
#include "support/TempFolder.h"
#include "support/TestControl.h"

// A mouse mode that keeps the keys it is given and can be put in the middle of an
// operation.
class RecordingMode : public MouseHandler {
public:
    void OnKeyDown(unsigned key) override { keyDowns.push_back(key); }
    void OnKeyUp(unsigned key) override { keyUps.push_back(key); }
    void SetEditLock(bool locked) override { editLock = locked; }
    void SetBusy(bool busy) { SetOperationInProgress(busy); }

    std::vector<unsigned> keyDowns;
    std::vector<unsigned> keyUps;
    bool editLock = true;
};

// The control as it runs after start-up (initialised, drawing, no wait screen), with one
// view window of recording modes as its main and active window, but without a window
// of its own or OpenGL.
class RunningControl {
public:
    RunningControl() : control(new CDuzazododiza), window([](int) { return new RecordingMode; }) {
        control->initialised = 1;
        control->sceneRenderingEnabled = 1;
        control->waitScreenLevel = 0.0;
        control->mainWindow = control->activeWindow = &window;
        window.SetMouseMode(0);
    }
    ~RunningControl() {
        control->mainWindow = control->activeWindow = nullptr;
        control->Release();
    }
    RunningControl(const RunningControl&) = delete;
    RunningControl& operator=(const RunningControl&) = delete;

    int Mode() const { return window.GetCurrentModeNumber(); }
    RecordingMode& CurrentMode() const {
        return *static_cast<RecordingMode*>(window.GetCurrentMode());
    }
    void Busy() { control->waitScreenLevel = 1.0; }

    ScopedRegistry registry;
    ScopedProgramFolder folder;
    CDuzazododiza* control;
    Window window;
};
