#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "control/HelpWindow.h"
#include "control/MenuBar.h"
#include "control/StatusBar.h"
#include "control/ToggleIndicatorBar.h"
#include "control/Toolbar.h"
#include "foundation/LinkedList.h"
#include "foundation/ViewState.h"
#include "geometry/Vector.h"
#include "model/SceneView.h"
#include "platform/Messages.h"
#include "platform/Window.h"

class MouseHandler;
class SceneState;
class TraceImageModel;
class ViewTransaction;

namespace platform {
class GLContext;
class GLDrawable;
}  // namespace platform

// One OpenGL view of the scene: the control's main view or a secondary one. It owns its
// camera and display settings, the drawn bars of the view, one handler per mouse mode,
// the picking buffers, the stored camera of each view mode and the view undo and redo
// stacks. The scene belongs to the control; a window only draws it.
//
// A rendering context is current on one thread at a time, so every user of a window's
// context holds the control's render lock first.
class Window : public LinkedListObject, public SceneView {
public:
    static constexpr int kModeCount = 32;
    static constexpr uint32_t kViewStackLimit = 256;
    static constexpr int kPickPolygonSize = 255;
    static constexpr int kSelectionBufferSize = 128;
    static constexpr int kStoredCameras = 5;
    static constexpr int kIndicatorBarWidth = 40;
    static constexpr int kBarHeight = 21;
    static constexpr int kTopBarHeight = 28;
    // Timers of the window handle that die with the window.
    static constexpr uintptr_t kSingleClickTimer = 2;
    static constexpr uintptr_t kResizeTimer = 13;
    static constexpr uintptr_t kTimedPromptTimer = 20;

    // Makes the handler of mode `mode` (0..31); null when it could not be made.
    using ModeFactory = std::function<MouseHandler*(int mode)>;

    // A window with the mouse modes of the editor.
    Window();
    // A window whose modes come from `makeMode`, called for 0..31 in order.
    explicit Window(const ModeFactory& makeMode);
    ~Window() override;

    // Makes the window's rendering context current on the calling thread. With a label
    // the attempt is traced step by step.
    virtual void Activate(const char* label = nullptr);
    // Passes a key-down to the current mode; answers 0.
    virtual platform::LResult ForwardKeyDown(uint32_t message, platform::WParam key,
                                             platform::LParam flags, bool& handled);
    // New client rectangle: size, aspect, bar layout; enables scene rendering.
    virtual void OnSize(const platform::Rect& client);

    // Detaches whatever context is current on the calling thread.
    void ReleaseCurrentContext();

    // 2D overlay drawing in window pixels, (0, 0) the lower left. Begin saves the matrices
    // and every attribute; End restores them. Nesting is refused with a trace.
    bool Begin2DRender();
    bool End2DRender();
    void Setup2DProjection();
    // Replaces the trace image by the image at `url` and shows it.
    void SetTraceImage(const char* url);

    // --- the view as scene objects see it ---
    // Objects keep one visibility bit per reflection layer; the layer being drawn names it.
    int GetViewId() const override { return layerCounter; }
    RenderState& GetRenderState() override { return viewFlags; }
    // Installs `count` world points (at most 255) as the pick polygon, projected with the
    // cached matrices; null points clear it.
    void SetPickPolygon(const Vector* points, int count);
    bool HitTestPolygon(const Vector* points, int count, bool boxTest) override;
    // The plane of the pick polygon.
    Vector GetSectionPlane() const override { return pickPlane; }
    int GetPassCount() const override { return frameCounters[0]; }
    UndoableObject* GetTraceImage() const override;
    void DeleteTraceImage() override;

    // Swaps the front face between clockwise and counter-clockwise (mirrored drawing).
    void ToggleFrontFace();

    // Passes a mouse message's packed position to the current mode; answers 0.
    platform::LResult ForwardToCurrentMode(uint32_t message, platform::WParam wParam,
                                           platform::LParam lParam, bool& handled);
    // Under the render lock: the current mode leaves, mode `mode` becomes current and
    // enters. Refused (false, nothing changed) for a number outside 0..31 or a mode that
    // could not be made.
    bool SetMouseMode(int mode);
    MouseHandler* GetMode(int mode) const;
    MouseHandler* GetCurrentMode() const override { return currentMode; }
    int GetCurrentModeNumber() const { return currentModeNumber; }

    // View undo. A change is bracketed by Begin and End; a second Begin while one is
    // pending keeps the first snapshot. All of them do nothing while view undo is off.
    void BeginViewTransaction();
    void EndViewTransaction();
    // Onto the undo stack; empties the redo stack.
    void PushViewTransaction(ViewTransaction* transaction);
    // Takes the newest record of `from` (the undo or the redo stack), applies its
    // before (undo) or after (redo) snapshot under the render lock and moves it to
    // `to`. False when off, when `from` is empty or not one of the two stacks.
    bool popAndProcessViewStack(SizableLinkedList* from, SizableLinkedList* to);
    bool UndoViewChange() { return popAndProcessViewStack(&viewUndoStack, &viewRedoStack); }
    bool RedoViewChange() { return popAndProcessViewStack(&viewRedoStack, &viewUndoStack); }
    // Camera, display settings and field of view from a snapshot.
    void ApplyViewSnapshot(const SceneState& snapshot);
    // A snapshot of the camera (double 0 the field of view) and the display settings.
    std::unique_ptr<SceneState> TakeViewSnapshot() const;

    // Rubber-band rectangle drawn as a dotted loop.
    Vector marqueeCorners[4];
    uint8_t marqueeShown = 0;
    // Set by whoever makes the window's OpenGL context; not owned.
    platform::GLContext* renderingContext = nullptr;
    platform::GLDrawable* deviceContext = nullptr;
    // Receives the window's timers.
    platform::WindowHandle windowHandle = platform::kNoWindow;
    // Degrees.
    double fieldOfView = 50.0;
    // Width / height of the last usable size.
    double aspect = 1.0;
    uint32_t width = 0;
    uint32_t height = 0;
    ViewState camera;
    RenderState viewFlags;
    // Owned, except by the main window, whose trace image goes with the scene.
    TraceImageModel* traceImage = nullptr;
    uint8_t cameraIconFlag = 0;
    uint8_t antialiasRequest = 0;
    int32_t antialiasPass = 0;
    int32_t depth2D = 0;
    MouseHandler* currentMode = nullptr;
    const Vector* pickPolygonSource = nullptr;
    // Normal of the pick polygon's plane in x, y, z and its offset in w.
    Vector pickPlane;
    Vector pickPolygon[kPickPolygonSize];
    int32_t pickPolygonCount = 0;
    StatusBar statusBar1;
    StatusBar statusBar2;
    HelpWindow helpWindow;
    Toolbar* toolbar = nullptr;
    MenuBar menuBar;
    ToggleIndicatorBar indicatorBar;
    // Cleared by the object passes; the first is the stencil pass being drawn.
    int32_t frameCounters[2] = {};
    ViewState storedCameras[kStoredCameras];
    uint32_t selectionBuffer[kSelectionBufferSize] = {};
    MouseHandler* modes[kModeCount] = {};
    int32_t currentModeNumber = 0;
    // Reflection depth while picking.
    int32_t layerCounter = 0;
    std::unique_ptr<int32_t[]> viewportCache;
    std::unique_ptr<double[]> modelViewCache;
    std::unique_ptr<double[]> projectionCache;
    SizableLinkedList viewUndoStack{kViewStackLimit};
    SizableLinkedList viewRedoStack{kViewStackLimit};
    ViewTransaction* pendingViewTransaction = nullptr;
    uint8_t viewUndoEnabled = 1;
};

// The editor's handler for mouse mode `mode`, or null.
MouseHandler* MakeMouseMode(int mode);
