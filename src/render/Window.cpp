#include "render/Window.h"

#include <GL/gl.h>

#include <atomic>
#include <cstdio>
#include <new>

#include "building/WallEditor.h"
#include "building/MoldingEditor.h"
#include "building/TerrainEditor.h"
#include "control/BaseControl.h"
#include "control/SavedViewWindow.h"
#include "foundation/Trace.h"
#include "interaction/BaseEditor.h"
#include "interaction/DimensionEditor.h"
#include "interaction/ModelEditor.h"
#include "interaction/ModelRotater.h"
#include "interaction/DragDropHandler.h"
#include "interaction/EyeDropperMode.h"
#include "interaction/MouseHandler.h"
#include "interaction/CameraModes.h"
#include "interaction/ColumnEditor.h"
#include "interaction/FenceEditor.h"
#include "interaction/RubberBandMode.h"
#include "interaction/StairEditor.h"
#include "interaction/TapeMeasureEditor.h"
#include "interaction/TextEditor.h"
#include "interaction/TextureCoordEditor.h"
#include "interaction/TraceImageAutoSizeMode.h"
#include "interaction/TraceImageModel.h"
#include "platform/GLContext.h"
#include "platform/Input.h"
#include "render/OffScreenWindow.h"
#include "render/ViewTransaction.h"
#include "building/RoofEditor.h"
#include "building/RoofGroupEditor.h"
#include "slabs/DormerCreator.h"
#include "slabs/CounterEditor.h"
#include "slabs/EditableSlabChildCreator.h"
#include "slabs/FloorEditor.h"

namespace {

// Modes in the order of the mode numbers that menus, toolbar and keys use.
constexpr const char* kModeNames[Window::kModeCount] = {
    "ModelEditor",         "FloorEditor",
    "RoofEditor",          "WallEditor",
    "SlabCoveringCreator", "SlabHoleCreator",
    "ModelRotater",        "RubberBandMode",
    "DimensionEditor",     "TextEditor",
    "CounterEditor",       "ZoomMode",
    "BeamInMode",          "WalkMode",
    "LookAroundMode",      "PanMode",
    "RotateAroundMode",    "ElevationMode",
    "StairEditor",         "TextureCoordEditor",
    "TextureCoordScaler",  "RoofGroupEditor",
    "DormerCreator",       "FenceEditor",
    "TapeMeasureEditor",   "EyeDropperMode",
    "ColumnEditor",        "MoldingEditor",
    "TerrainEditor",       "TraceImageAutoSizeMode",
    "ShaftHoleCreator",    "ArrowKeyWalkMode",
};

constexpr int kTerrainEditorMode = 28;

// Modes that edit objects of the scene.
constexpr bool kEditorModes[Window::kModeCount] = {
    true,  true,  true, true,  false, false, true,  false,  // 0-7
    true,  true,  true, false, false, false, false, false,  // 8-15
    false, false, true, false, false, true,  false, true,   // 16-23
    true,  false, true, true,  true,  false, false, false,  // 24-31
};

// Error numbers that an activation failure is traced with.
constexpr unsigned long kErrorInvalidHandle = 6;
constexpr unsigned long kErrorBusy = 170;
constexpr unsigned long kErrorInvalidPixelFormat = 2000;

constexpr int kLargeOffScreenSide = 2048;
constexpr uint32_t kLargeWindowWidth = 1601;
constexpr uint32_t kLargeWindowHeight = 1201;
constexpr uint32_t kLowMemoryMessage = 261;
constexpr uint32_t kSingleClickPeriodMs = 250;
constexpr int kToolbarMinimumX = 310;
constexpr int kStatusBar2Offset = 200;
constexpr int kStatusBar2Width = 180;
constexpr int kIndicatorBarX = 250;

std::atomic<bool> activationErrorNoted{false};

unsigned HandleBits(const void* handle) {
    return static_cast<unsigned>(reinterpret_cast<uintptr_t>(handle));
}

// Holds the control's render lock for a scope; nothing without a control.
class RenderLockHold {
public:
    RenderLockHold() : control_(theControl()) {
        if (control_) control_->LockRender();
    }
    ~RenderLockHold() {
        if (control_) control_->UnlockRender();
    }
    RenderLockHold(const RenderLockHold&) = delete;
    RenderLockHold& operator=(const RenderLockHold&) = delete;

private:
    BaseControl* control_;
};

}  // namespace

MouseHandler* MakeMouseMode(int mode) {
    if (mode < 0 || mode >= Window::kModeCount) return nullptr;
    if (mode == KindCode::kStairs) return new (std::nothrow) StairEditor;
    if (mode == KindCode::kFence) return new (std::nothrow) FenceEditor;
    if (mode == KindCode::kColumn) return new (std::nothrow) ColumnEditor;
    switch (mode) {
        case 7: return new (std::nothrow) RubberBandMode;
        case 11: return new (std::nothrow) ZoomMode;
        case 12: return new (std::nothrow) BeamInMode;
        case 13: return new (std::nothrow) WalkMode;
        case 14: return new (std::nothrow) LookAroundMode;
        case 15: return new (std::nothrow) PanMode;
        case 16: return new (std::nothrow) RotateAroundMode;
        case 17: return new (std::nothrow) ElevationMode;
        case 24: return new (std::nothrow) TapeMeasureEditor;
        default: break;
    }
    if (mode == 8) return new (std::nothrow) DimensionEditor;
    if (mode == 9) return new (std::nothrow) TextEditor;
    if (MouseHandler* creator = MakeSlabChildCreator(mode)) return creator;
    if (mode == 3) return new (std::nothrow) WallEditor;
    if (mode == DormerCreator::kMode) return new (std::nothrow) DormerCreator;
    if (mode == RoofEditor::kMode) return new (std::nothrow) RoofEditor;
    if (mode == RoofGroupEditor::kMode) return new (std::nothrow) RoofGroupEditor;
    if (mode == FloorEditor::kMode) return new (std::nothrow) FloorEditor;
    if (mode == CounterEditor::kMode) return new (std::nothrow) CounterEditor;
    if (mode == 27) return new (std::nothrow) MoldingEditor;
    switch (mode) {
        case 0:
            return new (std::nothrow) ModelEditor;
        case 6:
            return new (std::nothrow) ModelRotater;
        default:
            break;
    }
    if (mode == kTerrainEditorMode) return new (std::nothrow) TerrainEditor;
    if (mode == 25) return new (std::nothrow) EyeDropperMode;
    if (mode == 19) return new (std::nothrow) TextureCoordEditor;
    if (mode == 20) return new (std::nothrow) TextureCoordScaler;
    if (mode == 29) return new (std::nothrow) TraceImageAutoSizeMode;
    // Modes whose class is not there yet are served by the shared base of their kind:
    // the editors of objects by the base editor, the other modes by the base handler.
    if (kEditorModes[mode]) {
        theTrace().WriteFormat("Mode %d (%s) uses the base editor", mode, kModeNames[mode]);
        return new (std::nothrow) BaseEditor;
    }
    theTrace().WriteFormat("Mode %d (%s) uses the base mouse handler", mode, kModeNames[mode]);
    return new (std::nothrow) MouseHandler;
}

Window::Window() : Window(ModeFactory(MakeMouseMode)) {}

Window::Window(const ModeFactory& makeMode)
    : statusBar1(this),
      statusBar2(this),
      helpWindow(this),
      menuBar(this),
      indicatorBar(this),
      viewportCache(new int32_t[4]()),
      modelViewCache(new double[16]()),
      projectionCache(new double[16]()) {
    statusBar2.anchoredRight = 1;
    dropTarget = std::make_unique<DragDropHandler>(this);
    toolbar = new Toolbar(this);
    indicatorBar.AddIndicator("L", true);
    indicatorBar.AddIndicator("M", false);

    for (int n = 0; n < kModeCount; ++n) modes[n] = makeMode ? makeMode(n) : nullptr;
    currentModeNumber = 0;
    currentMode = modes[0];
    if (currentMode)
        currentMode->Activate();
    else
        TraceWrite("The default mouse mode could not be made");
}

Window::~Window() {
    theTrace().Write("~w");
    if (windowHandle != platform::kNoWindow) {
        for (uintptr_t id : {kResizeTimer, kSingleClickTimer, uintptr_t{3}, kTimedPromptTimer})
            platform::KillTimer(windowHandle, id);
    }
    theTrace().Write("~w2");
    BaseControl* control = theControl();
    if (!control || control->mainWindow != this) delete traceImage;
    traceImage = nullptr;
    dropTarget.reset();
    theTrace().Write("~w3");
    viewportCache.reset();
    modelViewCache.reset();
    projectionCache.reset();
    theTrace().Write("~Window");
    currentMode = nullptr;
    for (MouseHandler*& mode : modes) {
        delete mode;
        mode = nullptr;
    }
    theTrace().Write("Window destructor completed");
    delete toolbar;
    toolbar = nullptr;
    delete pendingViewTransaction;
    pendingViewTransaction = nullptr;
    // The control must not keep pointing at a window that is gone.
    if (control) {
        if (control->activeWindow == this) control->activeWindow = nullptr;
        if (control->currentWindow == this) control->currentWindow = nullptr;
        if (control->mainWindow == this) control->mainWindow = nullptr;
    }
}

void Window::Activate(const char* label) {
    BaseControl* control = theControl();
    auto attempt = [this]() -> unsigned long {
        if (!renderingContext || !deviceContext) return kErrorInvalidHandle;
        if (renderingContext->MakeCurrent(*deviceContext)) return 0;
        // Refused either for a buffer of another pixel format or because another thread
        // has the context current.
        return deviceContext->PixelFormat() != renderingContext->PixelFormat()
                   ? kErrorInvalidPixelFormat
                   : kErrorBusy;
    };

    if (!label) {
        const unsigned long error = attempt();
        if (error == 0) {
            theTrace().WriteStep("After context activation");
            if (control && control->mainWindow &&
                control->mainWindow->renderingContext == renderingContext)
                control->currentContextCode = 1;
        } else if (error == kErrorBusy) {
            theTrace().Write("The requested resource is in use");
        } else if (!activationErrorNoted.exchange(true)) {
            char note[32];
            std::snprintf(note, sizeof note, "WAF %lu;", error);
            theTrace().AppendNote(note);
        }
        return;
    }

    theTrace().Write(label);
    theTrace().WriteFormat("MCC: %i DC: %x RC: %x ", control ? control->currentContextCode : 0,
                           HandleBits(deviceContext), HandleBits(renderingContext));
    platform::GLContext::DetachCurrent();
    theTrace().WriteFormat("curDC: %x curRC: %x ",
                           HandleBits(platform::GLContext::CurrentDrawable()),
                           HandleBits(platform::GLContext::Current()));
    const unsigned long error = attempt();
    theTrace().Write("After activation");
    if (error == 0)
        theTrace().Write("Activation successful");
    else
        theTrace().WriteFormat("Activation Fail %lu;", error);
}

void Window::ReleaseCurrentContext() {
    if (BaseControl* control = theControl()) control->currentContextCode = 0;
    platform::GLContext::DetachCurrent();
}

void Window::OnSize(const platform::Rect& client) {
    const int w = client.right - client.left;
    const int h = client.bottom - client.top;
    width = w > 0 ? static_cast<uint32_t>(w) : 0;
    height = h > 0 ? static_cast<uint32_t>(h) : 0;
    BaseControl* control = theControl();

    const OffScreenWindow* offScreen = theOffScreenWindow();
    if (offScreen && offScreen->width == kLargeOffScreenSide &&
        offScreen->height == kLargeOffScreenSide && width >= kLargeWindowWidth &&
        height >= kLargeWindowHeight) {
        theTrace().Write("Low memory");
        if (control) control->ShowResourceMessageModal(kLowMemoryMessage);
    }

    // A window without area (minimised, or before its first layout) keeps the aspect
    // it had, so the camera never gets an infinite or undefined zoom.
    if (width >= 1 && height >= 1) aspect = static_cast<double>(width) / height;
    Vector zoom = camera.GetVector(2);
    zoom.y = zoom.x / aspect;
    camera.SetVector(2, zoom);

    const int ww = static_cast<int>(width);
    const int wh = static_cast<int>(height);
    statusBar1.SetRect(0, 0, ww, kBarHeight);
    statusBar2.SetRect(ww - kStatusBar2Offset, 0, kStatusBar2Width, kBarHeight);
    indicatorBar.SetRect(kIndicatorBarX, wh - kTopBarHeight, kIndicatorBarWidth, kTopBarHeight);
    menuBar.Layout(0, wh - kTopBarHeight, ww, kTopBarHeight);
    if (control && toolbar) {
        const int toolbarWidth = control->globalState.GetInteger(2);
        const int toolbarHeight = control->globalState.GetInteger(3);
        int x = ww - toolbarWidth - 10;
        if (x <= kToolbarMinimumX) x = kToolbarMinimumX;
        toolbar->SetRect(x, wh - toolbarHeight, toolbarWidth, toolbarHeight);
    }

    if (control) control->SetRenderEnabled(true);
}

bool Window::Begin2DRender() {
    if (!PRECONDITION(depth2D == 0, "Unbalanced 2D Render")) return false;
    ++depth2D;
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glPushAttrib(0xFFFFF);
    Setup2DProjection();
    return true;
}

void Window::Setup2DProjection() {
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0.0, width, 0.0, height, 3000.0, -3000.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_LIGHTING);
    glDisable(GL_TEXTURE_2D);
}

bool Window::End2DRender() {
    // An end without its begin would pop what others pushed.
    if (!POSTCONDITION(depth2D == 1, "Unbalanced 2D Render")) return false;
    --depth2D;
    glPopAttrib();
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
    return true;
}

void Window::SetTraceImage(const char* url) {
    {
        RenderLockHold hold;
        delete traceImage;
        traceImage = new TraceImageModel(url);
        // The new image is one undoable step.
        BaseControl* control = theControl();
        if (control) control->BeginUndoGroup();
        traceImage->BeginTransaction(true);
        traceImage->EndUndoStep();
        if (control) control->EndUndoGroup();
    }
    viewFlags.SetBoolean(7, true);
}

UndoableObject* Window::GetTraceImage() const {
    return traceImage;
}

void Window::DeleteTraceImage() {
    RenderLockHold hold;
    delete traceImage;
    traceImage = nullptr;
}

void Window::ToggleFrontFace() {
    GLint face = GL_CCW;
    glGetIntegerv(GL_FRONT_FACE, &face);
    glFrontFace(face == GL_CW ? GL_CCW : GL_CW);
}

platform::LResult Window::ForwardKeyDown(uint32_t, platform::WParam key, platform::LParam, bool&) {
    if (currentMode) currentMode->OnKeyDown(static_cast<unsigned>(key));
    return 0;
}

platform::LResult Window::ForwardToCurrentMode(uint32_t, platform::WParam, platform::LParam lParam,
                                               bool&) {
    if (currentMode) currentMode->OnMouseMove(lParam);
    return 0;
}

MouseHandler* Window::GetMode(int mode) const {
    if (mode < 0 || mode >= kModeCount) return nullptr;
    return modes[mode];
}

bool Window::SetMouseMode(int mode) {
    if (!PRECONDITION(mode >= 0 && mode < kModeCount, "Mouse mode out of range")) return false;
    if (!PRECONDITION(modes[mode] != nullptr, "Mouse mode missing")) return false;
    RenderLockHold hold;
    if (currentMode) currentMode->Deactivate();
    currentModeNumber = mode;
    currentMode = modes[mode];
    currentMode->Activate();
    return true;
}

std::unique_ptr<SceneState> Window::TakeViewSnapshot() const {
    auto snapshot = std::make_unique<SceneState>();
    snapshot->renderState.CopyFrom(viewFlags);
    snapshot->viewState.CopyFrom(camera);
    snapshot->viewState.SetDouble(0, fieldOfView);
    snapshot->initialised = 1;
    return snapshot;
}

void Window::ApplyViewSnapshot(const SceneState& snapshot) {
    viewFlags.CopyFrom(snapshot.renderState);
    camera.CopyFrom(snapshot.viewState);
    fieldOfView = snapshot.viewState.GetDouble(0);
}

void Window::BeginViewTransaction() {
    if (!viewUndoEnabled || pendingViewTransaction) return;
    pendingViewTransaction = new ViewTransaction(TakeViewSnapshot());
}

void Window::EndViewTransaction() {
    if (!viewUndoEnabled || !pendingViewTransaction) return;
    pendingViewTransaction->after = TakeViewSnapshot();
    ViewTransaction* ended = pendingViewTransaction;
    pendingViewTransaction = nullptr;
    PushViewTransaction(ended);
}

void Window::PushViewTransaction(ViewTransaction* transaction) {
    if (!PRECONDITION(transaction != nullptr, "No view transaction to push")) return;
    viewUndoStack.Prepend(transaction);
    viewRedoStack.DeleteAll();
}

bool Window::popAndProcessViewStack(SizableLinkedList* from, SizableLinkedList* to) {
    if (!viewUndoEnabled) return false;
    if (!PRECONDITION(from && to, "Invalid stacks passed to pop and process")) return false;
    // Checked before anything is taken off, so no record is lost to a wrong list.
    const bool undo = from == &viewUndoStack;
    if (!POSTCONDITION(undo || from == &viewRedoStack,
                       "Invalid stack passed into popAndProcessViewStack"))
        return false;

    auto* transaction = dynamic_cast<ViewTransaction*>(from->GetHead());
    if (!transaction) return false;
    const SceneState* snapshot = undo ? transaction->before.get() : transaction->after.get();
    if (!PRECONDITION(snapshot != nullptr, "View transaction without its snapshot")) return false;
    from->Remove(transaction);
    {
        RenderLockHold hold;
        ApplyViewSnapshot(*snapshot);
    }
    to->Prepend(transaction);
    return true;
}

void Window::ClientToScreen(int& x, int& y) const {
    // A child's place is in its parent's client area, a top-level window's on the screen.
    for (platform::WindowHandle w = windowHandle; platform::IsWindow(w);
         w = platform::GetParent(w)) {
        const platform::Rect place = platform::GetWindowRect(w);
        x += place.left;
        y += place.top;
    }
}

bool Window::OnBarMouse(uint32_t message, platform::LParam lParam) {
    using namespace platform;
    const int px = XFromLParam(lParam);
    const int py = YFromLParam(lParam);
    BaseControl* control = theControl();
    const bool main = control && control->mainWindow == this;
    switch (message) {
        case WM_MOUSEMOVE: {
            // The render thread draws the bars; they change under its lock.
            RenderLockHold hold;
            // A drag in the view passing the top strip does not bring up a hidden menu
            // bar.
            if (!platform::IsKeyDown(platform::VK_LBUTTON) &&
                !platform::IsKeyDown(platform::VK_RBUTTON) &&
                !platform::IsKeyDown(platform::VK_MBUTTON))
                menuBar.OnMouseMove(px, py);
            if (toolbar) toolbar->OnMouseMove(px, py);
            indicatorBar.OnMouseMove(px, py);
            helpWindow.PlaceNearCursor(px, py);
            return false;
        }
        case WM_MOUSEHOVER: {
            RenderLockHold hold;
            indicatorBar.OnMouseMove(px, py);
            if (toolbar) toolbar->ShowTooltip(px, py);
            helpWindow.PlaceNearCursor(px, py);
            return false;
        }
        case WM_MOUSELEAVE: {
            RenderLockHold hold;
            indicatorBar.OnMouseLeave();
            helpWindow.shownByToolbar = 0;
            helpWindow.SetShown(false);
            return false;
        }
        case WM_LBUTTONDOWN:
            if (frame && frame->OnClick(px, py)) return true;
            if (!main) return false;
            if (menuBar.OnClick(px, py)) return true;
            if (toolbar && ToolbarButtonAt(px, py) != 0) {
                toolbarPressPending_ = true;
                toolbarButtonHeld_ = true;
                toolbarPressX_ = px;
                toolbarPressY_ = py;
                platform::SetTimer(windowHandle, kSingleClickTimer, kSingleClickPeriodMs);
                return true;
            }
            return false;
        case WM_LBUTTONUP: {
            // The release of a toolbar press belongs to the toolbar.
            const bool held = toolbarButtonHeld_;
            toolbarButtonHeld_ = false;
            return held;
        }
        case WM_LBUTTONDBLCLK:
            if (!main || !toolbar || ToolbarButtonAt(px, py) == 0) return false;
            platform::KillTimer(windowHandle, kSingleClickTimer);
            toolbarPressPending_ = false;
            toolbarButtonHeld_ = true;
            toolbar->ClickButtonAlternate(px, py);
            return true;
        default:
            return false;
    }
}

bool Window::OnBarTimer(uintptr_t id) {
    if (id != kSingleClickTimer || !toolbarPressPending_) return false;
    platform::KillTimer(windowHandle, kSingleClickTimer);
    toolbarPressPending_ = false;
    if (toolbar) toolbar->ClickButton(toolbarPressX_, toolbarPressY_);
    return true;
}

int Window::ToolbarButtonAt(int x, int y) const {
    if (!toolbar) return 0;
    // The render thread lays the toolbar out as it draws it.
    RenderLockHold hold;
    return toolbar->HitTestButton(x, y);
}
