#include "control/SceneState.h"

#include <cstdio>
#include <utility>

#include "foundation/KeyDataList.h"
#include "foundation/Trace.h"

void SceneState::WriteKeyData() {
    if (!PRECONDITION(number >= 0 && number < kStackSize, "Invalid view stack ID number")) return;
    char name[32];
    std::snprintf(name, sizeof name, "SceneState%i", static_cast<int>(number));
    auto* built = new KeyDataSublist(name);
    KeyDataList& children = *built->GetChildren();
    children.AddDouble("initialized", initialised ? 1.0 : 0.0);
    renderState.WriteKeyData();
    viewState.WriteKeyData();
    for (BaseParameterState* state : {static_cast<BaseParameterState*>(&renderState),
                                      static_cast<BaseParameterState*>(&viewState)}) {
        if (KeyDataSublist* stateElement = state->TakeElement()) children.Add(stateElement);
    }
    delete std::exchange(element, built);
}

void SceneState::ReadKeyData(KeyDataList& list) {
    for (BaseParameterState* state : {static_cast<BaseParameterState*>(&renderState),
                                      static_cast<BaseParameterState*>(&viewState)}) {
        if (list.FindByName(state->GetElementName()))
            state->ReadKeyData(*list.GetSublist(state->GetElementName()));
    }
    bool flag = false;
    if (list.GetBool("initialized", flag)) initialised = flag ? 1 : 0;
}

KeyDataSublist* SceneState::TakeElement() {
    return std::exchange(element, nullptr);
}
