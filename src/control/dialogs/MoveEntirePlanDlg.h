#pragma once

#include <cstdint>
#include <functional>

#include "control/dialogs/LengthDialog.h"

// A direction pad that moves the whole plan by the nudge amount at every press: up and
// down the screen, left and right, and up and down in height. The moves happen at once;
// OK only closes (the caller keeps the moves in one undo group).
class MoveEntirePlanDlg : public LengthDialog {
public:
    static constexpr uint32_t kTemplate = 694;
    static constexpr uint32_t kPad = 415;
    static constexpr uint32_t kNudge = 312;
    static constexpr double kDefaultNudge = 12.0;

    // Moves the plan by whole inches, relative to the view (deltaX, deltaY, deltaZ).
    using PlanMover = std::function<void(int deltaX, int deltaY, int deltaZ)>;

    explicit MoveEntirePlanDlg(PlanMover mover);

    int OnCommand(uint32_t message, uintptr_t wParam, intptr_t lParam) override;

    // The arrow held down: 1 to 6, 0 for none.
    int GetPressed() const { return pressed; }

private:
    void Press(int x, int y);
    void PaintPad();

    PlanMover mover;
    int pressed = 0;
};
