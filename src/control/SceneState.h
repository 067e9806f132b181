#pragma once

#include <cstdint>

#include "foundation/ViewState.h"

// One saved view: a copy of a window's camera and display settings. The control keeps
// ten of them (the scene-state stack); view undo records hold them as snapshots.
class SceneState {
public:
    SceneState() = default;
    SceneState(const SceneState&) = delete;
    SceneState& operator=(const SceneState&) = delete;

    ViewState viewState;
    RenderState renderState;
    // Set once the entry holds a view.
    uint8_t initialised = 0;
    // Position in the stack (0..9), set when a plan is written.
    int32_t number = 0;
};
