#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "control/dialogs/LengthDialog.h"
#include "geometry/Vector.h"

// The material of a surface: texture scale in percent (x, y), reflectivity in percent and
// the material's address, with the scale's proportions optionally kept.
class SlabCoveringPropertyDialog : public LengthDialog {
public:
    static constexpr uint32_t kTemplate = 598;
    static constexpr uint32_t kScaleX = 251;
    static constexpr uint32_t kScaleY = 252;
    static constexpr uint32_t kScaleYLabel = 256;
    static constexpr uint32_t kReflectivity = 250;
    static constexpr uint32_t kConstrain = 254;
    static constexpr uint32_t kChain = 249;
    static constexpr uint32_t kMaterial = 255;

    explicit SlabCoveringPropertyDialog(DialogOwner* owner, uint32_t templateId = kTemplate)
        : LengthDialog(owner, templateId) {}

    int OnInitDialog() override;
    int OnCommand(uint32_t message, uintptr_t wParam, intptr_t lParam) override;
    int ValidateFields() override;
    int NotifyOwner() override;

    void SetScale(const Vector& xy);
    void SetReflectivity(double percent);
    void SetMaterialName(const std::string& name);
    void SetConstrainProportions(bool constrain);

    Vector scale;
    double reflectivity = 0.0;
    std::string materialName;
    bool constrainProportions = false;
    double aspect = 1.0;

private:
    void PaintChain();
};

// Walls, floors, ceilings and roofs: height and thickness, a label and name to add to the
// object's data (code 10) and the material fields.
class BaseSlabPropertyDialog : public SlabCoveringPropertyDialog {
public:
    static constexpr uint32_t kTemplate = 609;
    static constexpr uint32_t kLabel = 281;
    static constexpr uint32_t kName = 282;
    static constexpr uint32_t kAddData = 3;
    static constexpr uint32_t kData = 290;
    static constexpr int kNotifyAddData = 10;

    explicit BaseSlabPropertyDialog(DialogOwner* owner, uint32_t templateId = kTemplate);

    int OnInitDialog() override;
    int OnCommand(uint32_t message, uintptr_t wParam, intptr_t lParam) override;
    int ValidateFields() override;
    int NotifyOwner() override;

    void SetHeight(double inches);
    void SetThickness(double inches);
    void SetHeightLabel(const std::string& text);
    // The data box: one line per pair, key and value separated by a tab.
    void SetDataPairs(const std::vector<std::pair<std::string, std::string>>& pairs);
    void SetDataText(const std::string& text);

    double height = 0.0;
    double thickness = 0.0;
    std::string label;
    std::string name;
    std::string dataText;

protected:
    LengthField heightField;
    LengthField thicknessField;
};

// Counter tops: the slab fields (height above ground) and the backsplash height.
class CounterPropertyDialog : public BaseSlabPropertyDialog {
public:
    static constexpr uint32_t kTemplate = 610;

    explicit CounterPropertyDialog(DialogOwner* owner);

    int OnInitDialog() override;
    int ValidateFields() override;
    int NotifyOwner() override;

    void SetBacksplashHeight(double inches);
    void SetBacksplashLabel(const std::string& text);

    double backsplashHeight = 0.0;

private:
    LengthField backsplashField;
};
