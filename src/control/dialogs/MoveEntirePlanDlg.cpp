#include "control/dialogs/MoveEntirePlanDlg.h"

#include <cmath>
#include <iterator>

#include "foundation/BaseParameterState.h"

namespace {

// The pad's arrows, relative to its top-left: forward, right, back, left, up, down.
constexpr platform::Rect kArrows[] = {
    {81, 9, 116, 60},  {132, 107, 184, 131}, {82, 143, 117, 191},
    {26, 80, 69, 100}, {34, 112, 81, 139},   {121, 76, 156, 96},
};
// The pad's picture for each pressed state (0 none, then the arrows in order).
constexpr uint32_t kPadBitmaps[] = {693, 695, 700, 697, 699, 698, 696};

}  // namespace

MoveEntirePlanDlg::MoveEntirePlanDlg(PlanMover mover)
    : LengthDialog(nullptr, kTemplate), mover(std::move(mover)) {
    lengthField = LengthField::Single(kNudge);
    value = kDefaultNudge;
}

int MoveEntirePlanDlg::OnCommand(uint32_t message, uintptr_t, intptr_t lParam) {
    const int x = platform::XFromLParam(lParam);
    const int y = platform::YFromLParam(lParam);
    switch (message) {
        case platform::WM_LBUTTONDOWN:
        case platform::WM_LBUTTONDBLCLK:
            Press(x, y);
            InvalidateItemArea(kPad);
            break;
        case platform::WM_LBUTTONUP:
            pressed = 0;
            InvalidateItemArea(kPad);
            break;
        case platform::WM_PAINT:
            PaintPad();
            break;
        default:
            break;
    }
    return 0;
}

void MoveEntirePlanDlg::Press(int x, int y) {
    const int hit = HitTestRects(kPad, static_cast<int>(std::size(kArrows)), kArrows, x, y);
    pressed = hit + 1;
    if (hit < 0) return;
    const auto amount = IntegerFromNumber(std::trunc(lengthField.Read(*this)));
    if (!amount || !mover) return;
    const int a = *amount;
    switch (pressed) {
        case 1:
            mover(0, a, 0);
            break;
        case 2:
            mover(a, 0, 0);
            break;
        case 3:
            mover(0, -a, 0);
            break;
        case 4:
            mover(-a, 0, 0);
            break;
        case 5:
            mover(0, 0, a);
            break;
        default:
            mover(0, 0, -a);
            break;
    }
}

void MoveEntirePlanDlg::PaintPad() {
    const platform::Rect pad = GetItemRect(kPad);
    PaintBitmap(pad.left, pad.top, kPadBitmaps[pressed], 0);
}
