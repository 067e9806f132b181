#include "control/bars/Toolbar.h"

#include <GL/gl.h>

#include <cstring>

#include "control/BaseControl.h"
#include "control/Resources.h"
#include "foundation/Trace.h"
#include "render/Bitmap.h"
#include "render/Window.h"

namespace {

constexpr uint64_t kDrawnBarsType = 0x8000000;
constexpr int kRightMargin = 10;
constexpr size_t kTooltipSize = 128;

}  // namespace

bool BarsAlwaysShown(const Window& window) {
    const BaseControl* control = theControl();
    const bool autoHide = control && control->globalState.GetBoolean(1);
    const bool hidden = (window.viewFlags.GetInt64(0) & kDrawnBarsType) != 0;
    return !autoHide && !hidden;
}

Toolbar::Toolbar(Window* owner) : StatusBar(owner) {}

Toolbar::~Toolbar() = default;

bool Toolbar::LoadBitmap() {
    auto picture = std::make_unique<Bitmap>(0, 0);
    if (!picture->LoadFromResource(kBitmapResource) || !picture->HasPixels()) {
        TraceWrite("The toolbar picture could not be loaded");
        return false;
    }
    BaseControl* control = theControl();
    if (control) control->LockRender();
    bitmap = std::move(picture);
    if (control) control->UnlockRender();
    return true;
}

void Toolbar::Draw() {
    const BaseControl* control = theControl();
    if (!bitmap || !owner || !control || BarsHiddenForOutput()) return;
    const int barWidth = control->globalState.GetInteger(2);
    const int barHeight = control->globalState.GetInteger(3);
    int left = static_cast<int>(owner->width) - barWidth - kRightMargin;
    if (left < kMinimumX) left = kMinimumX;
    SetRect(left, static_cast<int>(owner->height) - barHeight, barWidth, barHeight);
    if (!shown || !laidOut || barWidth <= 0 || barHeight <= 0 || bitmap->cols == 0 ||
        bitmap->rows == 0)
        return;
    if (!owner->Begin2DRender()) return;
    glRasterPos2i(x, y);
    // The picture fills the bar whatever size the page gave it.
    glPixelZoom(static_cast<float>(barWidth) / bitmap->cols,
                static_cast<float>(barHeight) / bitmap->rows);
    bitmap->Bind();
    glPixelZoom(1.0f, 1.0f);
    owner->End2DRender();
}

int Toolbar::HitTestButton(int cursorX, int cursorY) const {
    const BaseControl* control = theControl();
    if (!owner || !control || width <= 0) return 0;
    if (!Contains(cursorX, RowFromBottom(*owner, cursorY))) return 0;
    const int count = control->globalState.GetInteger(0);
    const int button = static_cast<int>(static_cast<int64_t>(cursorX - x) * count / width) + 1;
    if (!PRECONDITION(button >= 1 && button <= count, "Toolbar button beyond the button count"))
        return 0;
    return button;
}

bool Toolbar::Click(int cursorX, int cursorY, uint32_t base) {
    BaseControl* control = theControl();
    if (!control) return false;
    // The render thread lays the bar out as it draws it; the command runs unlocked.
    control->LockRender();
    const int button = HitTestButton(cursorX, cursorY);
    control->UnlockRender();
    if (button == 0) return false;
    control->PostHostMessage(base + static_cast<uint32_t>(button));
    return true;
}

bool Toolbar::ClickButton(int cursorX, int cursorY) {
    return Click(cursorX, cursorY, kClickCommand);
}

bool Toolbar::ClickButtonAlternate(int cursorX, int cursorY) {
    return Click(cursorX, cursorY, kDoubleClickCommand);
}

void Toolbar::OnMouseMove(int cursorX, int cursorY) {
    if (!owner) return;
    HelpWindow& help = owner->helpWindow;
    if (help.shownByToolbar) {
        help.shownByToolbar = 0;
        help.SetText("", false);
        help.SetShown(false);
    }
    if (BarsAlwaysShown(*owner)) {
        SetShown(true);
        return;
    }
    const int fromBottom = RowFromBottom(*owner, cursorY);
    SetShown(laidOut && fromBottom >= y && fromBottom < y + height);
}

void Toolbar::ShowTooltip(int cursorX, int cursorY) {
    if (!owner) return;
    const int button = HitTestButton(cursorX, cursorY);
    if (button == 0) return;
    HelpWindow& help = owner->helpWindow;
    help.SetShown(true);
    help.shownByToolbar = 1;
    char text[kTooltipSize] = {};
    ControlStrings().LoadTo(kFirstTooltipString + static_cast<uint32_t>(button), text, sizeof text);
    help.SetText(std::strcmp(text, "NULL") == 0 ? "" : text, false);
}
