#pragma once

#include <cstdint>

#include "control/dialogs/LengthDialog.h"

// A staircase: its height, step depth, overhang and thickness, rounded or square step
// fronts, risers, and the supports (stringers) under it with their thickness. A picture
// shows which part the field being edited measures.
class StairsPropertyDialog : public LengthDialog {
public:
    static constexpr uint32_t kTemplate = 624;
    static constexpr uint32_t kStairHeight = 270;
    static constexpr uint32_t kStepDepth = 340;
    static constexpr uint32_t kOverhang = 272;
    static constexpr uint32_t kThickness = 285;
    static constexpr uint32_t kSupportThickness = 286;
    static constexpr uint32_t kSquare = 336;
    static constexpr uint32_t kRound = 337;
    static constexpr uint32_t kShowRisers = 344;
    static constexpr uint32_t kLock = 345;
    static constexpr uint32_t kShowSupports = 359;
    static constexpr uint32_t kFirstSupport = 351;  // left, quarter, middle, three-quarter, right
    static constexpr uint32_t kStepHeight = 348;
    static constexpr uint32_t kPicture = 338;
    static constexpr uint32_t kLockPicture = 349;

    explicit StairsPropertyDialog(DialogOwner* owner);

    int OnInitDialog() override;
    int OnCommand(uint32_t message, uintptr_t wParam, intptr_t lParam) override;
    int ValidateFields() override;
    int NotifyOwner() override;

    void SetStepDepth(double inches);
    void SetStepOverhang(double inches);
    void SetStepThickness(double inches);
    void SetStairHeight(double inches);
    void SetStringerThickness(double inches);
    void SetRounded(bool flag);
    void SetShowRiser(bool flag);
    void SetPreserveStepDepth(bool flag);
    void SetShowStringers(bool flag);
    void SetShowLeftStringer(bool flag) { SetSupport(0, flag); }
    void SetShowQuarterStringer(bool flag) { SetSupport(1, flag); }
    void SetShowMiddleStringer(bool flag) { SetSupport(2, flag); }
    void SetShow3QuarterStringer(bool flag) { SetSupport(3, flag); }
    void SetShowRightStringer(bool flag) { SetSupport(4, flag); }
    // The height of one step, shown in inches or centimetres.
    void ShowStepHeight(double inches);

    float stepDepth = 0.0f;
    float stepOverhang = 0.0f;
    float stepThickness = 0.0f;
    float stairHeight = 0.0f;
    float supportThickness = 0.0f;
    float stepHeight = 0.0f;
    bool rounded = false;
    bool showRisers = false;
    bool preserveStepDepth = false;
    bool showSupports = false;
    bool supports[5] = {};

private:
    void SetSupport(int index, bool flag);
    void ShowSupportPicture(int index);
    void PaintPictures();

    LengthField heightField;
    LengthField depthField;
    LengthField supportField;
    bool hoverRisers = false;
};
