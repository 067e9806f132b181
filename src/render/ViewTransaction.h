#pragma once

#include <memory>

#include "control/SceneState.h"
#include "foundation/LinkedList.h"

// One undoable camera change of a view window: the window's camera and display settings
// before the change and after it. The window's view undo and redo stacks own them.
class ViewTransaction : public LinkedListObject {
public:
    explicit ViewTransaction(std::unique_ptr<SceneState> beforeChange)
        : before(std::move(beforeChange)) {}
    ~ViewTransaction() override = default;

    // Taken when the change began.
    std::unique_ptr<SceneState> before;
    // Taken when it ended; null until then.
    std::unique_ptr<SceneState> after;
};
