#pragma once

#include <atomic>
#include <cstdint>

#include "geometry/Vector.h"
#include "platform/Input.h"

class PickableObject;
class Window;

// A point of the window, unpacked from a mouse message (low 16 bits x, high 16 bits y,
// both signed).
struct MousePoint {
    int x = 0;
    int y = 0;

    static MousePoint Unpack(intptr_t packed);
    intptr_t Pack() const;
    friend constexpr bool operator==(const MousePoint&, const MousePoint&) = default;
};

// The input state that every handler of the control shares: which buttons and keys are
// held, where the last press went down, the pick of the last press and the part a
// single click opens or closes. One copy serves all windows of the control; it starts
// afresh whenever the first handler is made after all handlers went.
struct MouseInput {
    uint8_t left = 0;
    uint8_t right = 0;
    uint8_t middle = 0;
    uint8_t shift = 0;
    uint8_t ctrl = 0;
    uint8_t alt = 0;
    uint8_t space = 0;
    uint8_t eKey = 0;
    uint8_t qKey = 0;
    MousePoint press;
    MousePoint current;
    MousePoint previous;
    // Names in the window's last pick.
    int pickCount = 0;
    // The pick name of the part whose animation a single click starts; 0 for none. Kept
    // by name, so a part that went (deleted, undone, replaced) is never reached.
    uint32_t rememberedPart = 0;
    // While set, handlers show the wait cursor.
    uint8_t busy = 0;
    // Arrow keys held for camera motion: 1 left, 2 right, 4 up, 8 down; and whether
    // their view change is open. Shared, so that a switch to the walk mode keeps them.
    uint32_t arrowMotion = 0;
    uint8_t keyMotionOpen = 0;
    // Set while an editor hands a press to the editor of the pressed object, so that a
    // press is handed over at most once.
    uint8_t handingOver = 0;
    // Set by a double click until its button goes up: that release is no single click.
    uint8_t doubleClick = 0;
};

// The base of every mouse mode and object editor of a view window. A window owns one
// handler per mode and passes its mouse, key and timer messages to the current one.
//
// Mouse operations take the message's packed window point; key operations the
// virtual-key code; `OnTimer` the timer id. The base keeps the button and key state,
// moves the camera with the drags and keys that work in every mode, opens the object
// menus of a right click, starts the animation of a clicked part, and serves the
// control's resize, auto-save and periodic timers. Handlers run on the control's window
// thread and work on the control's active view window.
class MouseHandler {
public:
    // Timers of the view windows.
    static constexpr unsigned kSingleClickTimer = 2;
    static constexpr unsigned kResizeTimer = 13;
    static constexpr unsigned kAutoSaveTimer = 15;
    static constexpr unsigned kKeyMotionTimer = 17;
    static constexpr unsigned kKeyWalkTimer = 18;
    static constexpr unsigned kZoomKeyTimer = 19;
    static constexpr unsigned kTimedMessageTimer = 20;
    static constexpr unsigned kFieldOfViewTimer = 21;
    static constexpr uint32_t kSingleClickMs = 250;
    static constexpr uint32_t kResizeMs = 20;
    static constexpr uint32_t kKeyMotionEndMs = 1000;
    static constexpr uint32_t kFieldOfViewMs = 500;

    // Pixels the pointer must leave the press point by (on either axis) before a move is
    // a drag.
    static constexpr int kDragThreshold = 10;

    // Cursors by resource id.
    static constexpr int kZoomCursor = 461;
    static constexpr int kVerticalCursor = 467;
    static constexpr int kWalkCursor = 469;
    static constexpr int kPanCursor = 472;
    static constexpr int kOrbitCursor = 473;
    static constexpr int kLookCursor = 474;
    static constexpr int kVerticalMoveCursor = 519;

    // Modes the base switches to.
    static constexpr int kSelectionMode = 0;
    static constexpr int kOrbitMode = 16;
    static constexpr int kArrowKeyWalkMode = 31;

    // Object menu entries the base adds.
    static constexpr uint32_t kPropertiesCommand = 102;
    static constexpr uint32_t kMakeDefaultCommand = 103;
    static constexpr uint32_t kDeleteCommand = 104;
    static constexpr uint32_t kSelectObjectCommand = 105;
    static constexpr uint32_t kUngroupCommand = 700;

    MouseHandler();
    MouseHandler(const MouseHandler&) = delete;
    MouseHandler& operator=(const MouseHandler&) = delete;

    virtual void OnMouseMove(intptr_t packedPoint);
    virtual void OnLButtonDown(intptr_t packedPoint);
    virtual void OnLButtonUp(intptr_t packedPoint);
    virtual void OnLButtonDblClk(intptr_t packedPoint);
    // The click that the single-click timer confirmed (no double click followed).
    virtual void OnSingleClick(intptr_t packedPoint);
    virtual void OnRButtonDown(intptr_t packedPoint);
    virtual void OnRButtonUp(intptr_t packedPoint);
    virtual void OnMButtonDown(intptr_t packedPoint);
    virtual void OnMButtonUp(intptr_t packedPoint);
    virtual void OnKeyDown(unsigned virtualKey);
    virtual void OnKeyUp(unsigned virtualKey);
    // The mode becomes the window's current one (modes set their cursor here).
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
    // Whether this mode edits the picked object.
    virtual bool HandlesObject(PickableObject* object);
    // One step of arrow-key camera motion.
    virtual void ArrowKeyStep();
    // Keeps the camera within its bounds: the blueprint zoom within 10.01..4000, a
    // perspective eye 4.99..3999.99 high, the eye less than 2500 from the origin.
    virtual void CommitCameraMove();
    // The plan point under window pixel (x, y) for stepping into the view; false when
    // the mode finds none (the base never does).
    virtual bool PickTarget(Vector& point, int x, int y);
    // True shows the wait cursor; false the mode's own cursor.
    virtual void SetBusyCursor(bool busy);

    // Makes mode `mode` (0..31) current in the control's active window through the
    // control's own mode change, then clears the new mode's edit lock. A number outside
    // the table, or a mode the window lacks, changes nothing.
    void SwitchMouseMode(int mode);

    // ---- Camera navigation ----
    // One step of a drag, from the previous to the current point.
    void DragZoom();
    void DragVertical();
    void DragLook();
    void DragPan();
    void DragOrbit();
    // Pivot, distance, yaw and pitch of the orbit, from the scene under the press point
    // (or the current point).
    void SetOrbitPivot(bool usePressPoint);
    // Brings the view axis over the scene point under the press point.
    void ZoomTowardCursor();
    bool IsCameraInBounds() const;
    // An arrow key went down (its motion bit is set) or up.
    void StartKeyMotion();
    void StopKeyMotion();
    // The eye's height follows stairs and the ground under it.
    void FollowGround();
    // Move and turn speeds of a drag from the camera and the anchor point.
    void ComputeDragSpeeds();

    // Sets Shift, Ctrl and Alt from the keys' current state.
    void ReadModifierKeys();
    static void ClearModifierFlags();
    static void ClearButtonFlags();
    // The state shared by every handler.
    static MouseInput& Input();

    // Set while the mode is in the middle of an operation that Esc should not cut.
    bool IsOperationInProgress() const { return operationInProgress_; }
    // Set while the mode drags something (an object, the camera) with a button held;
    // read by the render thread.
    bool IsDragging() const { return dragging_.load(); }

    // Fields read by the modes and by tests.
    Vector anchorPoint;
    double anchorDistance = 0.0;
    double moveSpeed = 0.0;
    double turnSpeed = 0.0;
    uint8_t cameraMoved = 0;
    uint8_t orbiting = 0;
    // The pointer's last five positions while a button is held, oldest first.
    int historyX[5] = {};
    int historyY[5] = {};
    // 0 undecided, 1 orbit, 2 zoom; decided once per right press.
    int32_t rightDragKind = 0;
    // Pointer moves since the last press (past the drag threshold).
    int32_t moveCount = 0;
    platform::Cursor currentCursor = platform::kArrowCursor;
    platform::Cursor savedCursor = platform::kArrowCursor;
    platform::Cursor defaultCursor = platform::kArrowCursor;
    Vector orbitPivot;
    double orbitDistance = 0.0;
    double orbitYaw = 0.0;
    double orbitPitch = 0.0;

protected:
    void SetOperationInProgress(bool busy) { operationInProgress_ = busy; }
    void SetDragging(bool dragging) { dragging_.store(dragging); }

    // The control's active view window, or null.
    static Window* ActiveWindow();
    // Shows the wait cursor while busy, else the current cursor (the arrow without one).
    void ShowCursor();
    // Makes `cursor` the current cursor and shows it.
    void UseCursor(platform::Cursor cursor);
    // Appends a trace line: the handler's tag, `event` and the button and key flags.
    void TraceEvent(char event) const;

private:
    // The scene point under the centre of `window` at a press: on the ground for a
    // light, else under the centre pixel. Keeps the former anchor when there is none.
    void UpdateAnchor(Window& window, bool lightTest);
    void RecordMotion(const MousePoint& point);
    // Opens the object menu of the picked objects and runs the chosen command.
    void RunObjectMenu(Window& window);
    void OnResizeTimer();
    void OnAutoSaveTimer();

    char tag_[8] = {};
    bool operationInProgress_ = false;
    std::atomic<bool> dragging_{false};
};
