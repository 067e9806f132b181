#include "interaction/TextEditor.h"

#include <GL/glu.h>

#include <cmath>

#include "control/BaseControl.h"
#include "control/LengthFormat.h"
#include "control/RenderLockScope.h"
#include "control/dialogs/TextInputDialog.h"
#include "foundation/Trace.h"
#include "foundation/ViewState.h"
#include "interaction/Text.h"
#include "render/Window.h"

namespace {

Text* currentText = nullptr;
constexpr uint64_t kRotationHandleBit = 0x200000;
constexpr int kRotaterMode = 6;
constexpr double kFarSurface = 1000.0;
constexpr double kBeforeEye = 120.0;
constexpr double kBeforeSurface = 24.0;

// The dialog's owner takes the text on OK and Apply, and "Properties".
class TextInputOwner : public DialogOwner {
public:
    explicit TextInputOwner(Text* text) : text(text) {}
    int OnDialogNotify(Dialog* dialog, int code) override {
        auto* input = dynamic_cast<TextInputDialog*>(dialog);
        if (!input || !text) return 0;
        if (code == Dialog::kNotifyApply) {
            if (input->GetText().empty()) {
                emptied = true;
            } else {
                text->SetText(input->GetText().c_str());
                text->FlagOverlappingLights();
            }
        } else if (code == TextInputDialog::kNotifyProperties) {
            text->ShowPropertyDialog();
        }
        return 0;
    }
    Text* text;
    bool emptied = false;
};

// The window point unprojected at depth 0.5 with the window's cached matrices.
Vector Unproject(Window& window, int x, int y) {
    double out[3] = {0, 0, 0};
    gluUnProject(x, window.viewportCache[3] - y, 0.5, window.modelViewCache.get(),
                 window.projectionCache.get(), window.viewportCache.get(), &out[0], &out[1],
                 &out[2]);
    return Vector(out[0], out[1], out[2]);
}

}  // namespace

bool RunTextInput(Text* text) {
    return RunTextInput(text, false);
}

bool RunTextInput(Text* text, bool created) {
    BaseControl* control = theControl();
    if (!text || !control) return false;
    text->SetSelected(true);
    // A text just made keeps its creation step open until the dialog is done.
    if (!created) text->BeginUndoStep();
    TextInputOwner owner(text);
    TextInputDialog dialog(&owner);
    dialog.SetText(text->GetText());
    dialog.Show();
    if (owner.emptied) {
        RenderLockScope lock(*control);
        control->ReleaseHandles();
        TextEditor::ForgetText(text);
        if (text->RemoveFromList(control->scene)) {
            // A text that was just made leaves no undo entry at all.
            if (created)
                text->CancelUndoStep();
            else
                text->EndUndoStep();
            control->deletedObjects.Append(text);
        } else {
            text->EndUndoStep();
        }
        return true;
    }
    text->EndUndoStep();
    return true;
}

TextEditor::~TextEditor() = default;

Text* TextEditor::GetCurrentText() {
    return currentText;
}

void TextEditor::ForgetText(const Text* text) {
    if (currentText == text) currentText = nullptr;
}

void TextEditor::Activate() {
    BaseEditor::Activate();
    currentText = nullptr;
    placing = 1;
    Window* window = ActiveWindow();
    if (!window || window->IsOrthographicView()) return;
    const MouseInput& in = Input();
    if (in.pickCount > 1 && dynamic_cast<Text*>(window->GetPickedObject(0))) return;
    PlaceNewText(-1, -1);
}

void TextEditor::Deactivate() {
    dragging = 0;
    BaseEditor::Deactivate();
}

void TextEditor::SetEditLock(bool locked) {
    placing = locked ? 1 : 0;
    BaseEditor::SetEditLock(locked);
}

void TextEditor::ReleaseTarget() {
    currentText = nullptr;
    dragging = 0;
    BaseEditor::ReleaseTarget();
}

bool TextEditor::HandlesObject(PickableObject* object) {
    return !object || object->HasType(TypeBit::kText);
}

Text* TextEditor::PlaceNewText(int x, int y) {
    BaseControl* control = theControl();
    Window* window = ActiveWindow();
    if (!control || !window) return nullptr;
    Text* text = nullptr;
    {
        RenderLockScope lock(*control);
        text = new Text(true);
        text->BeginTransaction(true);
        Vector at;
        if (window->IsOrthographicView()) {
            at = Unproject(*window, x, y);
            if (window->GetViewMode() == Window::kBlueprintView)
                at.y = control->globalState.GetDouble(5) + control->globalState.GetDouble(4) + 1.0;
        } else {
            const Vector eye(-window->camera.GetVector(0).x, -window->camera.GetVector(0).y,
                             -window->camera.GetVector(0).z);
            Vector under;
            window->GetUnderCursor(static_cast<int>(window->width / 2),
                                   static_cast<int>(window->height / 2), under);
            const Vector ray = window->UnprojectViewCenter();
            if (under.Distance(eye) >= kFarSurface)
                at = Vector(eye.x - kBeforeEye * ray.x, eye.y - kBeforeEye * ray.y,
                            eye.z - kBeforeEye * ray.z);
            else
                at = Vector(under.x + kBeforeSurface * ray.x, under.y + kBeforeSurface * ray.y,
                            under.z + kBeforeSurface * ray.z);
            if (at.y < 0.0) at.y = 0.0;
            const double yaw = window->camera.GetVector(1).y;
            text->RotateAboutAxis(1, 90.0 * std::floor((45.0 - yaw) / 90.0));
        }
        at.w = 1.0;
        text->SetPosition(at);
        text->SetText("Text");
        control->scene.Append(text);
        control->globalState.SetBoolean(0, true);
        currentText = text;
        placing = 0;
    }
    if (!text->IsLocked()) {
        RunTextInput(text, true);
    } else {
        RenderLockScope lock(*control);
        text->EndUndoStep();
    }
    return text;
}

void TextEditor::OnLButtonDown(intptr_t packedPoint) {
    if (placing) {
        MouseHandler::OnLButtonDown(packedPoint);
        return;
    }
    BaseEditor::OnLButtonDown(packedPoint);
    Window* window = ActiveWindow();
    BaseControl* control = theControl();
    if (!window || !control) return;
    if (auto* text = dynamic_cast<Text*>(GetEditedObject())) currentText = text;
    PickableObject* second = window->GetPickedObject(1);
    if (second && second->HasType(kRotationHandleBit)) {
        SwitchMouseMode(kRotaterMode);
        if (MouseHandler* mode = window->GetCurrentMode(); mode && mode != this)
            mode->OnLButtonDown(packedPoint);
        return;
    }
    if (currentText) {
        RenderLockScope lock(*control);
        currentText->BeginUndoStep();
        dragging = 1;
    }
    control->globalState.SetBoolean(18, true);
}

void TextEditor::OnMouseMove(intptr_t packedPoint) {
    BaseEditor::OnMouseMove(packedPoint);
    Window* window = ActiveWindow();
    BaseControl* control = theControl();
    const MouseInput& in = Input();
    if (!window || !control || !dragging || !currentText || !in.left || moveCount <= 0) return;
    RenderLockScope lock(*control);
    const double h = currentText->GetPosition().y;
    if (window->GetViewMode() == Window::kElevationView || in.ctrl) {
        // Up and down: the vertical move of the pointer in scene units.
        const Vector a = Unproject(*window, in.previous.x, in.previous.y);
        const Vector b = Unproject(*window, in.current.x, in.current.y);
        currentText->OffsetPosition(Vector(0.0, b.y - a.y, 0.0));
        const std::string shown =
            FormatLength(control->globalState, currentText->GetPosition().y, false, 6) +
            " above ground";
        window->statusBar1.SetText(shown.c_str(), false);
        return;
    }
    const Vector a = window->ScreenToHeightPlane(in.previous.x, in.previous.y, h);
    const Vector b = window->ScreenToHeightPlane(in.current.x, in.current.y, h);
    if (Window::IsNoIntersection(a) || Window::IsNoIntersection(b)) return;
    currentText->OffsetPosition(Vector(b.x - a.x, 0.0, b.z - a.z));
}

void TextEditor::OnLButtonUp(intptr_t packedPoint) {
    BaseControl* control = theControl();
    if (dragging && currentText && control) {
        RenderLockScope lock(*control);
        currentText->EndUndoStep();
        if (!control->globalState.GetBoolean(13)) currentText->FlagOverlappingLights();
    }
    dragging = 0;
    BaseEditor::OnLButtonUp(packedPoint);
}

void TextEditor::OnLButtonDblClk(intptr_t packedPoint) {
    Window* window = ActiveWindow();
    BaseControl* control = theControl();
    if (!window || !control) return;
    const MousePoint point = MousePoint::Unpack(packedPoint);
    int hits = 0;
    Text* text = nullptr;
    {
        RenderLockScope lock(*control);
        hits = window->ProcessSelectionBuffer(point.x, point.y);
        text = hits > 1 ? dynamic_cast<Text*>(window->GetPickedObject(0)) : nullptr;
    }
    if (!text) return;
    if (window->windowHandle != platform::kNoWindow)
        platform::KillTimer(window->windowHandle, Window::kSingleClickTimer);
    currentText = text;
    RunTextInput(text);
}

void TextEditor::OnSingleClick(intptr_t packedPoint) {
    Window* window = ActiveWindow();
    const MousePoint point = MousePoint::Unpack(packedPoint);
    if (window && window->toolbar && window->toolbar->ClickButton(point.x, point.y)) return;
    if (placing) {
        PlaceNewText(point.x, point.y);
        return;
    }
    MouseHandler::OnSingleClick(packedPoint);
}
