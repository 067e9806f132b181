#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "control/dialogs/LengthDialog.h"

class BaseControl;
class BaseParameterState;

// The tabbed settings dialog. It edits copies of the values of the control's default
// states (global, wall, floor, roof and counter) and of the "TipStartup" registry value,
// and writes them back on OK or Apply, or at once when the units change; Cancel drops
// the copies. One page exists at a time, made from its own template inside the tab
// control.
class Preferences : public LengthDialog {
public:
    static constexpr uint32_t kTemplate = 611;
    static constexpr int kMaxPages = 15;
    static constexpr uint32_t kTabs = 300;
    static constexpr uint32_t kRestoreDefaults = 236;
    static constexpr uint32_t kUnitsNote = 377;
    enum Page {
        kGeneral,
        kAutoSave,
        kMeasurements,
        kSpeed,
        kBlueprint,
        kWalls,
        kFloors,
        kRoofs,
        kCountertops,
        kAdvanced,
        kAbout
    };

    // The control owns the states edited and hears the apply notification.
    explicit Preferences(BaseControl& control);
    ~Preferences() override;

    // The page to open with (before Show) or the page shown.
    void SetPage(int index) { pageIndex = index; }
    int GetPage() const { return pageIndex; }
    // The window of the page shown while the dialog runs; null otherwise.
    platform::DialogBox* PageWindow() const { return page.get(); }
    // The preferences dialog that runs now, or null.
    static Preferences* Active();

    int OnInitDialog() override;
    int OnCommand(uint32_t message, uintptr_t wParam, intptr_t lParam) override;
    int ValidateFields() override;
    int NotifyOwner() override;

    // One edited value: its page and control, how it is shown and kept, its slot and its
    // limits.
    enum class Kind { Check, Units, Tips, Length, Number, Minutes, DepthMap };
    struct Setting {
        int page;
        uint32_t control;
        Kind kind;
        char state;  // 'G'lobal, 'W'all, 'F'loor, 'R'oof, 'C'ounter
        int slot;
        bool limited;
        double min;
        double max;
        uint32_t captionId;
        const char* caption;
    };

private:
    void AddPage(const char* title, uint32_t pageTemplate);
    void ShowPage();
    platform::LResult PageProcedure(uint32_t message, platform::WParam wParam,
                                    platform::LParam lParam);
    void FillPage();
    void CopyControl(uint32_t id, unsigned notification);
    void ClampSetting(size_t index);
    void LoadValues();
    // Writes every copy into its state and the registry and refreshes what shows them.
    void StoreValues();
    void ShowUnitsNote();
    BaseParameterState& StateOf(const Setting& setting) const;

    BaseControl& control;
    int pageCount = 0;
    int pageIndex = 0;
    uint32_t pageTemplates[kMaxPages] = {};
    std::unique_ptr<platform::DialogBox> page;
    // A page replaced while its own procedure ran; kept until the next page change.
    std::unique_ptr<platform::DialogBox> retiredPage;
    std::vector<double> values;
    std::vector<LengthField> fields;
    Preferences* previousActive = nullptr;
};
