#pragma once

#include <cstdint>

class PickableObject;
class Vector;

// The base of every mouse mode and object editor of a view window. A window owns one
// handler per mode and passes its mouse, key and timer messages to the current one.
//
// Mouse operations take the message's packed window point (low 16 bits x, high 16
// bits y, both signed); key operations the virtual-key code; `OnTimer` the timer id.
// The base does nothing with any of them: the modes give them their behaviour.
class MouseHandler {
public:
    MouseHandler() = default;
    MouseHandler(const MouseHandler&) = delete;
    MouseHandler& operator=(const MouseHandler&) = delete;

    virtual void OnMouseMove(intptr_t packedPoint);
    virtual void OnLButtonDown(intptr_t packedPoint);
    virtual void OnLButtonUp(intptr_t packedPoint);
    virtual void OnLButtonDblClk(intptr_t packedPoint);
    virtual void OnSingleClick(intptr_t packedPoint);
    virtual void OnRButtonDown(intptr_t packedPoint);
    virtual void OnRButtonUp(intptr_t packedPoint);
    virtual void OnMButtonDown(intptr_t packedPoint);
    virtual void OnMButtonUp(intptr_t packedPoint);
    virtual void OnKeyDown(unsigned virtualKey);
    virtual void OnKeyUp(unsigned virtualKey);
    // The mode becomes the window's current one.
    virtual void Activate();
    // The mode stops being the window's current one.
    virtual void Deactivate();
    virtual void OnMouseHover(intptr_t packedPoint);
    virtual void OnMouseLeave(intptr_t packedPoint);
    virtual void OnTimer(unsigned timerId);
    virtual ~MouseHandler();
    // Drawing (true) or editing (false) state of an editor; `SwitchMouseMode` clears it.
    virtual void SetEditLock(bool locked);
    // The mode forgets the object it edits (called before that object is destroyed).
    virtual void ReleaseTarget();
    // Whether this mode edits the picked object (null when nothing was picked).
    virtual bool HandlesObject(PickableObject* object);
    // One step of arrow-key camera motion.
    virtual void ArrowKeyStep();
    // The window moved the camera for the mode (zoom to extents); the mode takes over the
    // new camera.
    virtual void CommitCameraMove();
    // The plan point under window pixel (x, y) for stepping into the view; false when
    // the mode finds none (the base never does).
    virtual bool PickTarget(Vector& point, int x, int y);
    // True shows the wait cursor; false the mode's own cursor (the base shows nothing).
    virtual void SetBusyCursor(bool busy);

    // Makes mode `mode` (0..31) current in the control's active window: the old mode
    // leaves, the new one enters and has its edit lock cleared. A number outside the
    // table, or a mode the window lacks, changes nothing.
    void SwitchMouseMode(int mode);

    // Set while the mode is in the middle of an operation that Esc should not cut.
    bool IsOperationInProgress() const { return operationInProgress_; }
    // Set while the mode drags something (an object, the camera) with a button held.
    bool IsDragging() const { return dragging_; }

protected:
    void SetOperationInProgress(bool busy) { operationInProgress_ = busy; }
    void SetDragging(bool dragging) { dragging_ = dragging; }

private:
    bool operationInProgress_ = false;
    bool dragging_ = false;
};
