#pragma once

#include <cstdint>

#include "foundation/LinkedList.h"
#include "model/PickableObject.h"

namespace platform {
class Menu;
}

// Command ids of the object menus that the mix-ins handle themselves.
namespace MenuCommand {
constexpr uint32_t kHide = 100;
constexpr uint32_t kLock = 101;
constexpr uint32_t kSelectObject = 105;
constexpr uint32_t kRotate90Clockwise = 200;
constexpr uint32_t kRotate90CounterClockwise = 201;
constexpr uint32_t kResetRotation = 202;
constexpr uint32_t kRotateFrontToBack = 203;
constexpr uint32_t kRotateOnFloor = 204;
constexpr uint32_t kRotateLeftToRight = 205;
constexpr uint32_t kSetDimensions = 2100;
}  // namespace MenuCommand

// An object that can be selected and that has a right-click menu. It lives in a list
// (the scene, a slab's children ...), which owns it.
class SelectableObject : public LinkedListObject, public PickableObject {
public:
    SelectableObject() = default;
    // Lists take their nodes out before they destroy them; an object destroyed while
    // still in a list is reported (the node base still unlinks it through its list).
    ~SelectableObject() override;

    // Appends the object's items to the menu. The base appends nothing.
    virtual void BuildPropertyMenu(platform::Menu& menu);
    // Runs a command of the object's menu; true when it was the object's. The base runs
    // "Select Object" (105): the whole selection is cleared and this object selected.
    virtual bool ProcessPropertyMenu(uint32_t id);
    // Takes the object out of the list; true when it was in it.
    virtual bool RemoveFromList(LinkedList& list);
    virtual bool IsSelected() const;
    // Stores and answers the flag.
    virtual bool SetSelected(bool flag);
    virtual void ShowPropertyDialog();

    // Empties the one pop-up menu that objects build into and hands it out. Used on
    // the thread that runs the menus.
    static platform::Menu& CreateContextMenu();

protected:
    uint8_t selected = 0;
};
