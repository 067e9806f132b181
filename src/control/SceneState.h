#pragma once

#include <cstdint>

#include "foundation/SerializableObject.h"
#include "foundation/ViewState.h"

class KeyDataList;
class KeyDataSublist;

// One saved view: a copy of a window's camera and display settings. The control keeps
// ten of them (the scene-state stack), which travel with the plan; view undo records hold
// them as snapshots.
class SceneState : public SerializableObject {
public:
    static constexpr int kStackSize = 10;

    SceneState() = default;

    // Builds the element "SceneState<number>": the flag "initialized" (1.0 or 0.0), then
    // the render state's and the view state's elements. Nothing, with a trace, while the
    // number lies outside the stack.
    void WriteKeyData() override;
    // Reads the entry back from the children of its element; a missing state leaves that
    // state as it was.
    void ReadKeyData(KeyDataList& list);
    // The element built by the last WriteKeyData, handed to the caller; null when none.
    KeyDataSublist* TakeElement();

    ViewState viewState;
    RenderState renderState;
    // Set once the entry holds a view.
    uint8_t initialised = 0;
    // Position in the stack (0..9), set when a plan is written.
    int32_t number = 0;
};
