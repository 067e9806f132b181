#pragma once

#include <cstdint>

namespace platform {
class Menu;
}

// An object of the scene list: it can be hidden and locked from its menu. A hidden
// object has one entry in the control's hidden queue, which shows it again.
class TopLevelObject {
public:
    TopLevelObject() = default;
    // Takes the object's entries out of the hidden queue.
    virtual ~TopLevelObject();
    TopLevelObject(const TopLevelObject&) = delete;
    TopLevelObject& operator=(const TopLevelObject&) = delete;

    virtual bool IsLocked() const;
    // The mouse mode that edits the object (see ObjectTypes.h).
    virtual int GetKindCode() const = 0;

    // Appends "Hide" (100) and "Lock" (101), each checked while set, and a separator.
    void AppendMenuItems(platform::Menu& menu);
    // Runs "Hide" or "Lock"; true when the id was one of them.
    bool OnCommand(uint32_t id);

    bool IsVisible() const { return visible != 0; }
    void SetVisible(bool flag) { visible = flag ? 1 : 0; }
    void SetLocked(bool flag) { locked = flag ? 1 : 0; }

protected:
    uint8_t visible = 1;
    uint8_t locked = 0;
};
