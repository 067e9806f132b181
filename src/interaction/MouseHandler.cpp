#include "interaction/MouseHandler.h"

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "control/BaseControl.h"
#include "control/RenderLockScope.h"
#include "control/scripting/IDuzazododiza.h"
#include "foundation/Trace.h"
#include "foundation/UndoableObject.h"
#include "model/Part.h"
#include "model/SelectableObject.h"
#include "model/StateObject.h"
#include "model/TopLevelObject.h"
#include "platform/Automation.h"
#include "platform/Menu.h"
#include "platform/Window.h"
#include "render/Window.h"

namespace {

MouseInput sharedInput;
// Handlers alive now, and made so far (for the trace tags).
int liveHandlers = 0;
int madeHandlers = 0;

// Type bits of the base's picks and menus.
constexpr uint64_t kAnimatedOwnerTypes = 0x80009;  // slabs, catalogue models, groups
constexpr uint64_t kModelOrGroup = 0x80008;
constexpr uint64_t kPartTypes = 0x14000;  // parts and part groups
constexpr uint64_t kHoleOrModel = 0x404;
constexpr uint64_t kMenuEditLow = 0xA1480009;
constexpr uint64_t kMenuEditHigh = 0x30;
constexpr uint64_t kNoDefaultsLow = 0x80080000;
constexpr uint64_t kNoDefaultsHigh = 0x200;
constexpr uint64_t kInSlabHigh = 0x10;

constexpr double kMenuClickDistanceSquared = 200.0;
constexpr int kMenuClickMoves = 10;
constexpr int kRightOrbitStart = 60;
constexpr int kRightZoomStart = 30;
constexpr double kZoomKeyStep = 7.0;

constexpr unsigned kDigitOne = '1';
constexpr unsigned kDigitNine = '9';
constexpr unsigned kKeyE = 'E';
constexpr unsigned kKeyK = 'K';
constexpr unsigned kKeyQ = 'Q';

bool IsArrowKey(unsigned key) {
    return key >= static_cast<unsigned>(platform::VK_LEFT) &&
           key <= static_cast<unsigned>(platform::VK_DOWN);
}

uint32_t ArrowBit(unsigned key) {
    switch (static_cast<int>(key)) {
        case platform::VK_LEFT:
            return 1;
        case platform::VK_RIGHT:
            return 2;
        case platform::VK_UP:
            return 4;
        case platform::VK_DOWN:
            return 8;
        default:
            return 0;
    }
}

uint32_t LowWord(uint64_t mask) {
    return static_cast<uint32_t>(mask & 0xFFFFFFFFull);
}

uint32_t HighWord(uint64_t mask) {
    return static_cast<uint32_t>(mask >> 32);
}

uint64_t TypeOf(const PickableObject* object) {
    return object ? object->GetTypeMask() : 0;
}

// The animated part named `name`, when it still lives.
BasePart* AnimatedPart(uint32_t name) {
    auto* part = dynamic_cast<BasePart*>(PickableObject::FromPickName(name));
    return part && part->GetAnimation() ? part : nullptr;
}

// The pick names of the window's last pick, outermost first.
std::vector<uint32_t> PickedNames(const Window& window, int count) {
    std::vector<uint32_t> names;
    const int held = static_cast<int>(window.selectionBuffer[0]);
    for (int i = 0; i < count && i < held && 3 + i < Window::kSelectionBufferSize; ++i)
        names.push_back(window.selectionBuffer[3 + i]);
    return names;
}

void SetViewTimer(Window& window, unsigned id, uint32_t periodMs) {
    if (window.windowHandle != platform::kNoWindow)
        platform::SetTimer(window.windowHandle, id, periodMs);
}

void KillViewTimer(Window* window, unsigned id) {
    if (window && window->windowHandle != platform::kNoWindow)
        platform::KillTimer(window->windowHandle, id);
}

}  // namespace

// ---- Points and shared state ------------------------------------------------------

MousePoint MousePoint::Unpack(intptr_t packed) {
    const auto bits = static_cast<uintptr_t>(packed);
    return MousePoint{static_cast<int16_t>(bits & 0xFFFF), static_cast<int16_t>((bits >> 16) & 0xFFFF)};
}

intptr_t MousePoint::Pack() const {
    const uintptr_t low = static_cast<uint16_t>(static_cast<int16_t>(x));
    const uintptr_t high = static_cast<uint16_t>(static_cast<int16_t>(y));
    return static_cast<intptr_t>(low | (high << 16));
}

MouseInput& MouseHandler::Input() {
    return sharedInput;
}

void MouseHandler::ClearModifierFlags() {
    MouseInput& in = sharedInput;
    in.shift = in.ctrl = in.alt = in.space = in.eKey = in.qKey = 0;
}

void MouseHandler::ClearButtonFlags() {
    sharedInput.left = sharedInput.right = sharedInput.middle = 0;
}

void MouseHandler::ReadModifierKeys() {
    sharedInput.shift = platform::IsKeyDown(platform::VK_SHIFT) ? 1 : 0;
    sharedInput.ctrl = platform::IsKeyDown(platform::VK_CONTROL) ? 1 : 0;
    sharedInput.alt = platform::IsKeyDown(platform::VK_MENU) ? 1 : 0;
}

MouseHandler::MouseHandler() {
    // The first handler of a control starts with nothing held.
    if (liveHandlers++ == 0) sharedInput = MouseInput{};
    std::snprintf(tag_, sizeof tag_, "%d*___", madeHandlers++ % 64);
    anchorPoint.Set(0.0, 0.0, 0.0, 1.0);
    orbitPivot.Set(0.0, 0.0, 0.0, 1.0);
}

MouseHandler::~MouseHandler() {
    --liveHandlers;
}

Window* MouseHandler::ActiveWindow() {
    BaseControl* control = theControl();
    return control ? control->activeWindow : nullptr;
}

void MouseHandler::ShowCursor() {
    if (sharedInput.busy)
        platform::SetCursor(platform::kWaitCursor);
    else
        platform::SetCursor(currentCursor.shape == platform::CursorShape::None ? platform::kArrowCursor
                                                                               : currentCursor);
}

void MouseHandler::UseCursor(platform::Cursor cursor) {
    currentCursor = cursor;
    ShowCursor();
}

void MouseHandler::SetBusyCursor(bool busy) {
    // Loading threads and the render pass set it too: all under the render lock.
    RenderLockScope hold;
    sharedInput.busy = busy ? 1 : 0;
    ShowCursor();
}

void MouseHandler::TraceEvent(char event) const {
    const MouseInput& in = sharedInput;
    theTrace().WriteFormat("%s%c_%c%c%c%c%c%c", tag_, event, in.left ? 'L' : '-',
                           in.right ? 'R' : '-', in.middle ? 'M' : '-', in.shift ? 'S' : '-',
                           in.ctrl ? 'C' : '-', in.alt ? 'A' : '-');
}

void MouseHandler::RecordMotion(const MousePoint& point) {
    for (int i = 0; i < 4; ++i) {
        historyX[i] = historyX[i + 1];
        historyY[i] = historyY[i + 1];
    }
    historyX[4] = point.x;
    historyY[4] = point.y;
}

void MouseHandler::UpdateAnchor(Window& window, bool lightTest) {
    const int cx = static_cast<int>(window.width / 2);
    const int cy = static_cast<int>(window.height / 2);
    if (lightTest && TypeOf(window.GetPickedObject(0)) & TypeBit::kLight) {
        const Vector ground = window.ScreenToHeightPlane(cx, cy, 0.0);
        if (!Window::IsNoIntersection(ground)) anchorPoint = ground;
        return;
    }
    Vector under;
    window.GetUnderCursor(cx, cy, under);
    under.w = 1.0;
    anchorPoint = under;
}

// ---- Mode switching ----------------------------------------------------------------

void MouseHandler::SwitchMouseMode(int mode) {
    BaseControl* control = theControl();
    Window* window = control ? control->activeWindow : nullptr;
    if (!PRECONDITION(window != nullptr, "No active window to switch the mouse mode in")) return;
    // The same way in as the page's: the control's own mode change.
    if (auto* scripting = dynamic_cast<IDuzazododiza*>(control)) {
        platform::VARIANT number;
        platform::SetVariantInt32(&number, mode);
        scripting->ChangeMode(number);
    } else {
        window->SetMouseMode(mode);
    }
    Window* active = control->activeWindow;
    if (active && active->GetCurrentModeNumber() == mode && active->GetCurrentMode())
        active->GetCurrentMode()->SetEditLock(false);
}

// ---- Left button -------------------------------------------------------------------

void MouseHandler::OnLButtonDown(intptr_t packedPoint) {
    TraceEvent('o');
    ReadModifierKeys();
    BaseControl* control = theControl();
    if (control) control->drawingPreview = 0.0;
    Window* window = ActiveWindow();
    if (!PRECONDITION(window != nullptr, "No available activeWindow in LBD")) return;

    window->viewFlags.SetBoolean(11, false);
    ShowCursor();
    const MousePoint point = MousePoint::Unpack(packedPoint);
    sharedInput.press = sharedInput.current = sharedInput.previous = point;
    sharedInput.doubleClick = 0;
    moveCount = 0;
    sharedInput.pickCount = 0;

    {
        RenderLockScope lock(control);
        sharedInput.pickCount = window->ProcessSelectionBuffer(point.x, point.y);
        sharedInput.left = 1;
        UpdateAnchor(*window, sharedInput.pickCount > 0);
        ComputeDragSpeeds();
    }
    if (window->windowHandle != platform::kNoWindow) platform::SetCapture(window->windowHandle);
    TraceEvent('A');
}

void MouseHandler::OnLButtonUp(intptr_t packedPoint) {
    Window* window = ActiveWindow();
    if (!PRECONDITION(window != nullptr, "activeWindow is NULL")) return;
    TraceEvent('C');
    BaseControl* control = theControl();
    cameraMoved = 0;
    window->helpWindow.SetShown(false);
    const MousePoint point = MousePoint::Unpack(packedPoint);

    if (sharedInput.left) {
        window->EndViewTransaction();
        SetOrbitPivot(false);
        if (moveCount > 0) {
            sharedInput.previous = sharedInput.current;
            sharedInput.current = point;
        }
        sharedInput.left = 0;
        if (!sharedInput.right) {
            if (control) control->globalState.SetBoolean(18, false);
            platform::ReleaseCapture();
        }
    }
    if (!sharedInput.left && !sharedInput.right && !sharedInput.middle) SetDragging(false);

    // The release that ends a double click is not a click of its own.
    const bool afterDoubleClick = sharedInput.doubleClick != 0;
    sharedInput.doubleClick = 0;
    if (moveCount == 0 && !afterDoubleClick) {
        SetViewTimer(*window, kSingleClickTimer, kSingleClickMs);
        if (!sharedInput.right && !sharedInput.shift) {
            RenderLockScope lock(control);
            const int count = window->ProcessSelectionBuffer(point.x, point.y);
            sharedInput.pickCount = count;
            sharedInput.rememberedPart = 0;
            if (count > 1 && TypeOf(window->GetPickedObject(0)) & kAnimatedOwnerTypes) {
                const std::vector<uint32_t> names = PickedNames(*window, count);
                for (int i = static_cast<int>(names.size()) - 2; i >= 1; --i) {
                    if (!(TypeOf(PickableObject::FromPickName(names[i])) & kPartTypes)) continue;
                    if (AnimatedPart(names[i])) sharedInput.rememberedPart = names[i];
                    break;
                }
            }
        }
    }

    if (sharedInput.busy)
        platform::SetCursor(platform::kWaitCursor);
    else if (defaultCursor.shape != platform::CursorShape::None)
        platform::SetCursor(defaultCursor);
    theTrace().Write("LBUe");
}

void MouseHandler::OnSingleClick(intptr_t) {
    if (sharedInput.right || sharedInput.rememberedPart == 0) return;
    BaseControl* control = theControl();
    RenderLockScope lock(control);
    // A part that went since the click is found no more.
    BasePart* part = AnimatedPart(sharedInput.rememberedPart);
    if (!part) {
        sharedInput.rememberedPart = 0;
        return;
    }
    part->GetAnimation()->Start();
    if (control) control->SelectAll(false);
}

void MouseHandler::OnLButtonDblClk(intptr_t packedPoint) {
    Window* window = ActiveWindow();
    if (!PRECONDITION(window != nullptr, "No active window for a double click")) return;
    KillViewTimer(window, kSingleClickTimer);
    sharedInput.doubleClick = 1;
    BaseControl* control = theControl();
    RenderLockScope lock(control);
    const MousePoint point = MousePoint::Unpack(packedPoint);
    sharedInput.previous = sharedInput.current;
    sharedInput.current = point;
    const int count = window->ProcessSelectionBuffer(point.x, point.y);
    sharedInput.pickCount = count;
    if (count < 2) {
        SwitchMouseMode(kSelectionMode);
        return;
    }
    PickableObject* first = window->GetPickedObject(0);
    const uint64_t mask = TypeOf(first);
    if (!(mask & TypeBit::kTerrain) && !HandlesObject(first)) {
        auto* top = dynamic_cast<TopLevelObject*>(first);
        if (!POSTCONDITION(top != nullptr, "tlo is null")) return;
        if (control) control->SelectAll(false);
        SwitchMouseMode(top->GetKindCode());
        if (auto* selectable = dynamic_cast<SelectableObject*>(first)) selectable->SetSelected(true);
        return;
    }
    if (!(mask & kAnimatedOwnerTypes)) return;
    PickableObject* holder = nullptr;
    if (mask & kModelOrGroup)
        holder = window->GetPickedObject(1);
    else if (TypeOf(window->GetPickedObject(1)) & kHoleOrModel)
        holder = window->GetPickedObject(2);
    auto* part = dynamic_cast<BasePart*>(holder);
    if (!(TypeOf(holder) & kPartTypes) || !part || !part->GetAnimation()) return;
    if (auto* selectable = dynamic_cast<SelectableObject*>(first)) {
        const bool wasSelected = selectable->IsSelected();
        if (control) control->SelectAll(false);
        selectable->SetSelected(!wasSelected);
    }
}

// ---- Right button ------------------------------------------------------------------

void MouseHandler::OnRButtonDown(intptr_t packedPoint) {
    ReadModifierKeys();
    Window* window = ActiveWindow();
    if (!PRECONDITION(window != nullptr, "No available activeWindow in RBD")) return;
    window->viewFlags.SetBoolean(11, false);
    ShowCursor();
    const MousePoint point = MousePoint::Unpack(packedPoint);
    sharedInput.press = sharedInput.current = sharedInput.previous = point;
    sharedInput.right = 1;
    moveCount = 0;
    if (window->windowHandle != platform::kNoWindow) platform::SetCapture(window->windowHandle);
    {
        RenderLockScope lock;
        sharedInput.pickCount = window->ProcessSelectionBuffer(static_cast<int>(window->width / 2),
                                                               static_cast<int>(window->height / 2));
        UpdateAnchor(*window, sharedInput.pickCount > 1);
        ComputeDragSpeeds();
    }
    rightDragKind = 0;
    savedCursor = currentCursor;
}

void MouseHandler::OnRButtonUp(intptr_t packedPoint) {
    Window* window = ActiveWindow();
    if (!PRECONDITION(window != nullptr, "No available activeWindow in RBU")) return;
    BaseControl* control = theControl();
    cameraMoved = 0;
    orbiting = 0;
    const MousePoint point = MousePoint::Unpack(packedPoint);
    if (sharedInput.right) {
        window->EndViewTransaction();
        if (!sharedInput.left && control) control->globalState.SetBoolean(18, false);
        SetOrbitPivot(false);
        sharedInput.previous = sharedInput.current;
        sharedInput.current = point;
        sharedInput.right = 0;
        if (!sharedInput.left && !sharedInput.middle) platform::ReleaseCapture();
    }
    if (!sharedInput.left && !sharedInput.right && !sharedInput.middle) SetDragging(false);
    UseCursor(defaultCursor);

    // A menu opens for a click only, not at the end of a drag.
    const double dx = point.x - sharedInput.press.x;
    const double dy = point.y - sharedInput.press.y;
    if (moveCount >= kMenuClickMoves || dx * dx + dy * dy >= kMenuClickDistanceSquared) return;
    {
        RenderLockScope lock(control);
        sharedInput.pickCount = window->ProcessSelectionBuffer(point.x, point.y);
    }
    if (sharedInput.pickCount <= 0) {
        // Empty space: the view menu of the main window, which comes with the view's
        // commands.
        return;
    }
    RunObjectMenu(*window);
    TraceEvent('D');
}

void MouseHandler::RunObjectMenu(Window& window) {
    BaseControl* control = theControl();
    if (!control) return;
    // The picks are kept by name: the menu gives up the render lock, and a command may
    // delete what it was chosen for.
    const std::vector<uint32_t> names = PickedNames(window, sharedInput.pickCount);
    if (names.empty()) return;
    auto object = [&](size_t i) { return PickableObject::FromPickName(names[i]); };

    platform::Menu& menu = SelectableObject::CreateContextMenu();
    uint32_t command = 0;
    {
        RenderLockScope lock(control);
        StateObject* stateTarget = nullptr;
        for (size_t i = 0; i < names.size(); ++i)
            if (auto* state = dynamic_cast<StateObject*>(object(i))) stateTarget = state;
        control->currentStateObject = stateTarget;
        for (size_t i = 0; i < names.size(); ++i) {
            PickableObject* picked = object(i);
            if (auto* selectable = dynamic_cast<SelectableObject*>(picked))
                selectable->BuildPropertyMenu(menu);
            if (TypeOf(picked) & TypeBit::kLight) break;
        }
        const uint64_t first = TypeOf(object(0));
        if ((LowWord(first) & kMenuEditLow) || (HighWord(first) & kMenuEditHigh)) {
            menu.AppendItem(kSelectObjectCommand, "Select Object");
            menu.AppendItem(kDeleteCommand, "Delete");
            menu.AppendSeparator();
        }
        const bool noDefaults =
            (LowWord(first) & kNoDefaultsLow) ||
            ((HighWord(first) & kNoDefaultsHigh) && !(HighWord(first) & kInSlabHigh));
        if (!noDefaults) {
            const uint64_t targetMask = TypeOf(dynamic_cast<PickableObject*>(stateTarget));
            if ((first & TypeBit::kSlab) && !(targetMask & TypeBit::kCovering))
                menu.AppendItem(kMakeDefaultCommand, "Make Default");
            menu.AppendItem(kPropertiesCommand, "Properties");
        }
        // Shown with the render lock given up, so that the views go on drawing.
        command = control->TrackPopupMenu(menu);
    }
    theTrace().WriteFormat("TPMo:%i", static_cast<int>(command));

    RenderLockScope lock(control);
    const bool undoable = dynamic_cast<UndoableObject*>(object(0)) != nullptr;
    bool consuming = false;
    if (undoable) {
        control->BeginUndoGroup();
        auto* first = dynamic_cast<UndoableObject*>(object(0));
        if (command == kDeleteCommand ||
            (command == kUngroupCommand && (TypeOf(first) & TypeBit::kGroup))) {
            first->BeginUndoStep();
            consuming = true;
        } else if (command >= 900 && command <= 950) {
            first->BeginUndoStep();
        }
    }
    for (size_t i = names.size(); i-- > 0;) {
        auto* selectable = dynamic_cast<SelectableObject*>(object(i));
        if (selectable && selectable->ProcessPropertyMenu(command) && consuming) break;
    }
    if (undoable) {
        // A consuming command may have taken the object away; its step is its own.
        if (!consuming)
            if (auto* first = dynamic_cast<UndoableObject*>(object(0))) first->EndUndoStep();
        control->EndUndoGroup();
    }
}

// ---- Middle button -----------------------------------------------------------------

void MouseHandler::OnMButtonDown(intptr_t packedPoint) {
    ReadModifierKeys();
    Window* window = ActiveWindow();
    if (!PRECONDITION(window != nullptr, "No available activeWindow in MBD")) return;
    window->viewFlags.SetBoolean(11, false);
    ShowCursor();
    const MousePoint point = MousePoint::Unpack(packedPoint);
    sharedInput.press = sharedInput.current = sharedInput.previous = point;
    sharedInput.middle = 1;
    moveCount = 0;
    if (window->windowHandle != platform::kNoWindow) platform::SetCapture(window->windowHandle);
    SetOrbitPivot(false);
    savedCursor = currentCursor;
}

void MouseHandler::OnMButtonUp(intptr_t packedPoint) {
    Window* window = ActiveWindow();
    if (!PRECONDITION(window != nullptr, "No available activeWindow in MBU")) return;
    cameraMoved = 0;
    orbiting = 0;
    const MousePoint point = MousePoint::Unpack(packedPoint);
    if (sharedInput.middle) {
        window->EndViewTransaction();
        sharedInput.previous = sharedInput.current;
        sharedInput.current = point;
        sharedInput.middle = 0;
        if (!sharedInput.left) platform::ReleaseCapture();
        if (!sharedInput.left && !sharedInput.right) SetDragging(false);
        if (point == sharedInput.press) SwitchMouseMode(kOrbitMode);
    }
    UseCursor(defaultCursor);
}

// ---- Pointer -----------------------------------------------------------------------

void MouseHandler::OnMouseMove(intptr_t packedPoint) {
    Window* window = ActiveWindow();
    if (!PRECONDITION(window != nullptr, "Active mouse window is null")) return;
    ++moveCount;
    ShowCursor();
    const MousePoint point = MousePoint::Unpack(packedPoint);
    MouseInput& in = sharedInput;
    const bool anyButton = in.left || in.right || in.middle;
    if (anyButton) {
        in.previous = in.current;
        in.current = point;
        RecordMotion(point);
        if (moveCount == 1 && std::abs(point.x - in.press.x) < kDragThreshold &&
            std::abs(point.y - in.press.y) < kDragThreshold) {
            moveCount = 0;
            return;
        }
    }

    if (in.left) {
        if (in.right) {
            window->BeginViewTransaction();
            DragPan();
            currentCursor = platform::LoadCursor(kPanCursor);
        } else if (in.space) {
            window->BeginViewTransaction();
            DragLook();
            currentCursor = platform::LoadCursor(kLookCursor);
        } else if (in.eKey) {
            window->BeginViewTransaction();
            DragVertical();
            currentCursor = platform::LoadCursor(kVerticalCursor);
        }
    } else if (in.right) {
        if (rightDragKind == 0) {
            RenderLockScope lock;
            window->BeginViewTransaction();
            // The sideways test runs first; a start that is also far enough down zooms.
            if (std::abs(in.current.x - in.press.x) > kRightOrbitStart) {
                rightDragKind = 1;
                SetOrbitPivot(true);
            }
            if (std::abs(in.current.y - in.press.y) > kRightZoomStart) {
                rightDragKind = 2;
                BaseControl* control = theControl();
                if (in.press.y < in.current.y && control && window == control->mainWindow)
                    ZoomTowardCursor();
            }
        }
        if (rightDragKind == 2) {
            DragZoom();
            currentCursor = platform::LoadCursor(kZoomCursor);
        } else if (rightDragKind == 1) {
            orbiting = 1;
            DragOrbit();
        }
    } else if (in.middle) {
        window->BeginViewTransaction();
        currentCursor = platform::LoadCursor(kLookCursor);
        orbiting = 1;
        DragOrbit();
    } else {
        currentCursor = defaultCursor;
    }
    ShowCursor();
}

void MouseHandler::OnMouseHover(intptr_t) {
    // The drawn bars follow the pointer themselves; the help bar is placed by the modes.
}

void MouseHandler::OnMouseLeave(intptr_t) {
    if (Window* window = ActiveWindow()) window->helpWindow.SetShown(false);
}

// ---- Keys --------------------------------------------------------------------------

void MouseHandler::OnKeyDown(unsigned virtualKey) {
    BaseControl* control = theControl();
    Window* window = ActiveWindow();
    MouseInput& in = sharedInput;
    const int key = static_cast<int>(virtualKey);
    if (key == platform::VK_DELETE || key == platform::VK_BACK) {
        if (control) control->DeleteSelectedObjects();
    } else if (key == platform::VK_SHIFT) {
        in.shift = 1;
    } else if (key == platform::VK_CONTROL) {
        in.ctrl = 1;
    } else if (key == platform::VK_MENU) {
        in.alt = 1;
    } else if (key == platform::VK_SPACE) {
        if (!in.space) {
            savedCursor = defaultCursor;
            defaultCursor = platform::LoadCursor(kLookCursor);
        }
        in.space = 1;
    } else if (IsArrowKey(virtualKey)) {
        if (in.ctrl) return;
        in.arrowMotion |= ArrowBit(virtualKey);
        StartKeyMotion();
    } else if (virtualKey >= kDigitOne && virtualKey <= kDigitNine) {
        if (!control) return;
        const double storey = control->wallState.GetDouble(5);
        const double ground = control->floorState.GetDouble(9);
        control->SetCurrentFloor((virtualKey - kDigitOne) * storey + ground + 1.0);
    } else if (virtualKey == kKeyE) {
        if (!in.eKey) {
            savedCursor = defaultCursor;
            defaultCursor = platform::LoadCursor(kVerticalCursor);
        }
        in.eKey = 1;
    } else if (virtualKey == kKeyK) {
        // Ctrl+K: a chalk line along the tape measure.
        if (in.ctrl && control) {
            RenderLockScope lock(control);
            control->tapeMeasure.DropChalkLine();
        }
    } else if (virtualKey == kKeyQ) {
        in.qKey = 1;
    } else if (key == platform::VK_ADD || key == platform::VK_SUBTRACT) {
        if (!window) return;
        RenderLockScope lock(control);
        window->BeginViewTransaction();
        const double amount = key == platform::VK_ADD ? -kZoomKeyStep : kZoomKeyStep;
        if (window->ZoomBy(amount) && !IsCameraInBounds()) window->ZoomBy(-amount);
        CommitCameraMove();
    }
}

void MouseHandler::OnKeyUp(unsigned virtualKey) {
    MouseInput& in = sharedInput;
    const int key = static_cast<int>(virtualKey);
    if (IsArrowKey(virtualKey)) {
        in.arrowMotion &= ~ArrowBit(virtualKey);
        StopKeyMotion();
    } else if (virtualKey == kKeyE || key == platform::VK_SPACE) {
        (virtualKey == kKeyE ? in.eKey : in.space) = 0;
        defaultCursor = savedCursor;
    } else if (virtualKey == kKeyQ) {
        in.qKey = 0;
    } else if (key == platform::VK_SHIFT) {
        in.shift = 0;
    } else if (key == platform::VK_CONTROL) {
        in.ctrl = 0;
    } else if (key == platform::VK_MENU) {
        in.alt = 0;
    } else if (key == platform::VK_ADD || key == platform::VK_SUBTRACT) {
        if (Window* window = ActiveWindow()) SetViewTimer(*window, kZoomKeyTimer, kKeyMotionEndMs);
    }
    UseCursor(defaultCursor);
}

// ---- Modes -------------------------------------------------------------------------

void MouseHandler::Activate() {}

void MouseHandler::Deactivate() {}

void MouseHandler::SetEditLock(bool) {}

void MouseHandler::ReleaseTarget() {}

bool MouseHandler::HandlesObject(PickableObject*) {
    return false;
}

bool MouseHandler::PickTarget(Vector&, int, int) {
    return false;
}

// ---- Timers ------------------------------------------------------------------------

void MouseHandler::OnTimer(unsigned timerId) {
    BaseControl* control = theControl();
    Window* window = ActiveWindow();
    switch (timerId) {
        case kSingleClickTimer:
            theTrace().Write("Single click timer");
            KillViewTimer(window, kSingleClickTimer);
            OnSingleClick(sharedInput.press.Pack());
            break;
        case kResizeTimer:
            OnResizeTimer();
            break;
        case kAutoSaveTimer:
            OnAutoSaveTimer();
            break;
        case kKeyMotionTimer:
            KillViewTimer(window, kKeyMotionTimer);
            if (sharedInput.arrowMotion == 0) {
                sharedInput.keyMotionOpen = 0;
                if (window) window->EndViewTransaction();
            }
            break;
        case kZoomKeyTimer:
            KillViewTimer(window, kZoomKeyTimer);
            if (!platform::IsKeyDown(platform::VK_ADD) && !platform::IsKeyDown(platform::VK_SUBTRACT) &&
                window)
                window->EndViewTransaction();
            break;
        case kTimedMessageTimer:
            if (control && control->mainWindow) {
                KillViewTimer(control->mainWindow, kTimedMessageTimer);
                control->mainWindow->statusBar1.holdCaption = 0;
            }
            break;
        case kFieldOfViewTimer:
            if (control && control->mainWindow) {
                Window& main = *control->mainWindow;
                main.settledFieldOfView = main.fieldOfView;
                SetViewTimer(main, kFieldOfViewTimer, kFieldOfViewMs);
            }
            break;
        default:
            break;
    }
}

void MouseHandler::OnResizeTimer() {
    BaseControl* control = theControl();
    Window* window = ActiveWindow();
    KillViewTimer(window, kResizeTimer);
    if (control && control->mainWindow != window) KillViewTimer(control->mainWindow, kResizeTimer);
    if (!control || !window) return;
    // While the frame is still being dragged the resize waits for the button's release.
    if (platform::IsKeyDown(platform::VK_LBUTTON)) {
        SetViewTimer(*window, kResizeTimer, kResizeMs);
        theTrace().Write("Sizing timer reset");
        return;
    }
    theTrace().Write("Begin resize timer processing");
    {
        RenderLockScope lock(control);
        window->OnSize(control->clientRect);
    }
    theTrace().Write("End resize timer processing");
}

void MouseHandler::OnAutoSaveTimer() {
    BaseControl* control = theControl();
    if (!control) return;
    theTrace().Write("Auto save timer");
    // GlobalState boolean 0: the plan changed since it was saved; 20: auto-save is on.
    if (control->globalState.GetBoolean(0) && control->globalState.GetBoolean(20))
        control->WriteAutoRecoveryFile();
    if (control->mainWindow)
        SetViewTimer(*control->mainWindow, kAutoSaveTimer,
                     static_cast<uint32_t>(control->globalState.AutoSaveMinutes()) * 60000u);
}
