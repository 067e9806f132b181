#pragma once

#include <cstdint>

#include "control/dialogs/LengthDialog.h"

// A column: which of its parts show, and the support beam's height, width and overhang.
class ColumnPropertyDialog : public LengthDialog {
public:
    static constexpr uint32_t kTemplate = 607;
    static constexpr uint32_t kCapital = 266;
    static constexpr uint32_t kBaseBeam = 267;
    static constexpr uint32_t kSupportBeam = 268;

    explicit ColumnPropertyDialog(DialogOwner* owner);

    int OnInitDialog() override;
    int OnCommand(uint32_t message, uintptr_t wParam, intptr_t lParam) override;
    int ValidateFields() override;
    int NotifyOwner() override;

    void SetCapitalVisible(bool visible);
    void SetBaseBeamVisible(bool visible);
    void SetSupportBeamVisible(bool visible);
    void SetBeamHeight(double inches);
    void SetBeamWidth(double inches);
    void SetBeamOverhang(double inches);

    bool capitalVisible = false;
    bool baseBeamVisible = false;
    bool supportBeamVisible = false;
    double beamHeight = 0.0;
    double beamWidth = 0.0;
    double beamOverhang = 0.0;

private:
    void EnableBeamFields(bool enable);

    LengthField heightField;
    LengthField widthField;
    LengthField overhangField;
};
