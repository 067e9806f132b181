#include "control/dialogs/Preferences.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <iterator>

#include "control/BaseControl.h"
#include "control/Defaults.h"
#include "control/dialogs/DialogTemplates.h"
#include "control/Resources.h"
#include "foundation/Registry.h"

using platform::DialogBox;
using platform::HighWord;
using platform::LowWord;
using Kind = Preferences::Kind;
using Setting = Preferences::Setting;

namespace {

constexpr const char* kTipFolder = "webKeys\\";
constexpr const char* kTipValue = "TipStartup";
constexpr uint32_t kUnitsUs = 311;
constexpr uint32_t kUnitsMetric = 314;
constexpr uint32_t kTextSettings = 308;
constexpr uint32_t kLogo = 376;
constexpr int kMetricSwitch = 7;
constexpr int kGridSpacing = 12;
constexpr double kDefaultGridSpacing = 12.0;
// Depth offsets whose change asks every object to rebuild its display data.
constexpr int kDepthOffsetFactor = 4;
constexpr int kDepthOffsetUnits = 5;

struct PageEntry {
    const char* title;
    uint32_t pageTemplate;
};
constexpr PageEntry kPages[] = {
    {"General", 613},        {"Auto Save", 614}, {"Measurements", 615}, {"Speed", 616},
    {"Blueprint Mode", 618}, {"Walls", 617},     {"Floors", 619},       {"Roofs", 620},
    {"Countertops", 621},    {"Advanced", 622},  {"About", 623},
};

constexpr Setting kSettings[] = {
    {Preferences::kGeneral, 302, Kind::Check, 'G', 3, false, 0, 0, 0, nullptr},
    {Preferences::kGeneral, 303, Kind::Check, 'G', 1, false, 0, 0, 0, nullptr},
    {Preferences::kGeneral, 304, Kind::Tips, 'G', 0, false, 0, 0, 0, nullptr},
    {Preferences::kGeneral, 306, Kind::Check, 'G', 19, false, 0, 0, 0, nullptr},
    {Preferences::kGeneral, 578, Kind::Check, 'G', 21, false, 0, 0, 0, nullptr},
    {Preferences::kAutoSave, 310, Kind::Check, 'G', 20, false, 0, 0, 0, nullptr},
    {Preferences::kAutoSave, 309, Kind::Minutes, 'G', 7, true, 1, 120, 0, nullptr},
    {Preferences::kMeasurements, kUnitsMetric, Kind::Units, 'G', kMetricSwitch, false, 0, 0, 0,
     nullptr},
    {Preferences::kMeasurements, 312, Kind::Length, 'G', 3, true, 0, 3000, 316, "Nudge Amount "},
    {Preferences::kMeasurements, 313, Kind::Length, 'G', kGridSpacing, true, 0, 600, 317,
     "Grid Spacing"},
    {Preferences::kMeasurements, 315, Kind::Check, 'G', 25, false, 0, 0, 0, nullptr},
    {Preferences::kSpeed, 320, Kind::Check, 'G', 22, false, 0, 0, 0, nullptr},
    {Preferences::kSpeed, 321, Kind::Check, 'G', 13, false, 0, 0, 0, nullptr},
    {Preferences::kBlueprint, 318, Kind::Check, 'G', 2, false, 0, 0, 0, nullptr},
    {Preferences::kBlueprint, 466, Kind::Check, 'G', 4, false, 0, 0, 0, nullptr},
    {Preferences::kBlueprint, 327, Kind::Length, 'G', 0, true, 0, 3000, 324, "Window Height"},
    {Preferences::kBlueprint, 326, Kind::Length, 'G', 1, true, 0, 3000, 325,
     "On-wall Object Height (for example, cabinets)"},
    {Preferences::kWalls, 270, Kind::Length, 'W', 5, true, 0.01, 3000, 295,
     "Default Wall Height (also determines floor height spacing measured from base floor "
     "when pressing number key)"},
    {Preferences::kWalls, 329, Kind::Length, 'W', 9, true, 0.01, 1200, 331,
     "Exterior Wall Thickness"},
    {Preferences::kWalls, 328, Kind::Length, 'W', 10, true, 0.01, 1200, 330,
     "Interior Wall Thickness "},
    {Preferences::kFloors, 285, Kind::Length, 'F', 0, true, 0.01, 1200, 296, "Thickness"},
    {Preferences::kFloors, 319, Kind::Check, 'G', 5, false, 0, 0, 0, nullptr},
    {Preferences::kRoofs, 247, Kind::Length, 'R', 0, true, 0.01, 3000, 332, "Thickness"},
    {Preferences::kCountertops, 247, Kind::Length, 'C', 0, true, 0.01, 3000, 332, "Thickness"},
    {Preferences::kAdvanced, 322, Kind::Number, 'G', 7, false, 0, 0, 0, nullptr},
    {Preferences::kAdvanced, 323, Kind::Number, 'G', 6, false, 0, 0, 0, nullptr},
    {Preferences::kAdvanced, 324, Kind::Number, 'G', kDepthOffsetUnits, false, 0, 0, 0, nullptr},
    {Preferences::kAdvanced, 325, Kind::Number, 'G', kDepthOffsetFactor, false, 0, 0, 0, nullptr},
    {Preferences::kAdvanced, 326, Kind::DepthMap, 'G', 8, true, 0, 2048, 0, nullptr},
    {Preferences::kAdvanced, 327, Kind::DepthMap, 'G', 9, true, 0, 2048, 0, nullptr},
    {Preferences::kAdvanced, 328, Kind::Number, 'G', 11, true, 1, 180, 0, nullptr},
};
constexpr size_t kSettingCount = std::size(kSettings);

Preferences* activePreferences = nullptr;

bool IsBoolean(Kind kind) {
    return kind == Kind::Check || kind == Kind::Units;
}
bool IsInteger(Kind kind) {
    return kind == Kind::Minutes || kind == Kind::DepthMap;
}

// A depth-map size: within 0..max, then the nearest power of two on a log scale.
double DepthMapSize(double value, double max) {
    const double v = std::isfinite(value) ? std::clamp(value, 0.0, max) : 0.0;
    if (v < 1.0) return 0.0;
    return std::pow(2.0, std::floor(std::log2(v) + 0.5));
}

std::string Format(const char* format, double value) {
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

std::string FormatInteger(int value) {
    char text[32];
    std::snprintf(text, sizeof text, "(%d)", value);
    return text;
}

}  // namespace

Preferences::Preferences(BaseControl& control)
    : LengthDialog(&control, kTemplate),
      control(control),
      values(kSettingCount, 0.0),
      previousActive(activePreferences) {
    for (const Setting& setting : kSettings)
        fields.push_back(LengthField::Single(setting.control, setting.captionId,
                                             setting.caption ? setting.caption : ""));
    activePreferences = this;
}

Preferences::~Preferences() {
    if (activePreferences == this) activePreferences = previousActive;
}

Preferences* Preferences::Active() {
    return activePreferences;
}

BaseParameterState& Preferences::StateOf(const Setting& setting) const {
    switch (setting.state) {
        case 'W':
            return control.wallState;
        case 'F':
            return control.floorState;
        case 'R':
            return control.roofState;
        case 'C':
            return control.counterState;
        default:
            return control.globalState;
    }
}

void Preferences::LoadValues() {
    for (size_t i = 0; i < kSettingCount; ++i) {
        const Setting& setting = kSettings[i];
        BaseParameterState& state = StateOf(setting);
        if (setting.kind == Kind::Tips) {
            double stored = 1.0;
            if (!RegistryGetDouble(kTipFolder, kTipValue, &stored)) stored = 1.0;
            values[i] = stored == 0.0 ? 1.0 : 0.0;
        } else if (IsBoolean(setting.kind)) {
            values[i] = state.GetBoolean(setting.slot) ? 1.0 : 0.0;
        } else if (IsInteger(setting.kind)) {
            values[i] = state.GetInteger(setting.slot);
        } else {
            values[i] = state.GetDouble(setting.slot);
        }
    }
}

void Preferences::StoreValues() {
    bool depthOffsetChanged = false;
    for (size_t i = 0; i < kSettingCount; ++i) {
        const Setting& setting = kSettings[i];
        BaseParameterState& state = StateOf(setting);
        if (setting.kind == Kind::Tips) {
            RegistrySetDouble(kTipFolder, kTipValue, values[i] != 0.0 ? 0.0 : 1.0);
        } else if (IsBoolean(setting.kind)) {
            state.SetBoolean(setting.slot, values[i] != 0.0);
        } else if (IsInteger(setting.kind)) {
            if (auto number = IntegerFromNumber(values[i])) state.SetInteger(setting.slot, *number);
        } else {
            if (setting.state == 'G' &&
                (setting.slot == kDepthOffsetFactor || setting.slot == kDepthOffsetUnits) &&
                state.GetDouble(setting.slot) != values[i])
                depthOffsetChanged = true;
            if (std::isfinite(values[i])) state.SetDouble(setting.slot, values[i]);
        }
    }
    control.RefreshTypedObjects();
    if (depthOffsetChanged) control.RebuildDisplayData();
}

void Preferences::AddPage(const char* title, uint32_t pageTemplate) {
    if (pageCount >= kMaxPages) return;
    if (window) window->AddItem(kTabs, title);
    pageTemplates[pageCount++] = pageTemplate;
}

void Preferences::ShowUnitsNote() {
    SetItemText(kUnitsNote, ControlStrings().Load(IsMetric() ? 307 : 306));
}

int Preferences::OnInitDialog() {
    pageCount = 0;
    LoadValues();
    for (const PageEntry& entry : kPages) AddPage(entry.title, entry.pageTemplate);
    if (pageIndex < 0 || pageIndex >= pageCount) pageIndex = 0;
    if (window) window->Select(kTabs, pageIndex);
    ShowPage();
    ShowUnitsNote();
    return 0;
}

void Preferences::ShowPage() {
    if (!window || pageCount == 0) return;
    const int selected = window->GetSelection(kTabs);
    if (selected >= 0 && selected < pageCount) pageIndex = selected;
    retiredPage = std::move(page);
    page = std::make_unique<DialogBox>();
    DialogBox* box = page.get();
    LoadDialogTemplate(pageTemplates[pageIndex], *box);
    box->SetProcedure([this, box](uint32_t message, platform::WParam wParam,
                                  platform::LParam lParam) -> platform::LResult {
        if (box != page.get()) return 0;
        return PageProcedure(message, wParam, lParam);
    });
    box->Send(platform::WM_INITDIALOG);
}

platform::LResult Preferences::PageProcedure(uint32_t message, platform::WParam wParam,
                                             platform::LParam lParam) {
    const uint32_t id = LowWord(wParam);
    const unsigned notification = HighWord(wParam);
    if (message == platform::WM_COMMAND) {
        if (notification == platform::EN_KILLFOCUS) {
            ValidateFields();
            return 0;
        }
        if (notification == platform::EN_SETFOCUS) {
            if (platform::DialogControl* field = page->Find(id)) field->textSelected = true;
            return 0;
        }
        if (notification == platform::BN_CLICKED && (id == kUnitsUs || id == kUnitsMetric)) {
            // A change of units is applied at once, and every length shown again in it.
            for (size_t i = 0; i < kSettingCount; ++i)
                if (kSettings[i].kind == Kind::Units) values[i] = id == kUnitsMetric ? 1.0 : 0.0;
            StoreValues();
            LoadValues();
            ShowPage();
            ShowUnitsNote();
            return 0;
        }
        if (notification == platform::BN_CLICKED && id == kTextSettings) {
            // The default text font is chosen here once the text tools are in place.
            return 0;
        }
    }
    PushWindow(page.get());
    if (message == platform::WM_INITDIALOG) {
        FillPage();
    } else if (message == platform::WM_COMMAND) {
        CopyControl(id, notification);
    } else if (message == platform::WM_PAINT && pageIndex == kAbout) {
        const platform::Rect logo = GetItemRect(kLogo);
        PaintBitmap(logo.left, logo.top, 673, 675);
    }
    PopWindow();
    return 0;
}

void Preferences::FillPage() {
    for (size_t i = 0; i < kSettingCount; ++i) {
        const Setting& setting = kSettings[i];
        if (setting.page != pageIndex) continue;
        switch (setting.kind) {
            case Kind::Check:
            case Kind::Tips:
                CheckItem(setting.control, values[i] != 0.0);
                break;
            case Kind::Units:
                CheckItem(kUnitsUs, values[i] == 0.0);
                CheckItem(kUnitsMetric, values[i] != 0.0);
                break;
            case Kind::Length:
                // The grid spacing is stored as -1 until the user sets one.
                if (setting.state == 'G' && setting.slot == kGridSpacing && values[i] == -1.0)
                    values[i] = kDefaultGridSpacing;
                fields[i].SetCaption(*this, setting.caption);
                fields[i].Show(*this, values[i]);
                break;
            default:
                SetItemNumber(setting.control, values[i]);
                break;
        }
    }
    if (pageIndex == kAdvanced) {
        const GlobalState& g = control.globalState;
        SetItemText(378, FormatInteger(g.GetInteger(5)));
        SetItemText(379, FormatInteger(g.GetInteger(6)));
        SetItemText(380, Format("(%1.0f)", g.GetDouble(18)));
        SetItemText(381, Format("(%1.0f)", g.GetDouble(20)));
        SetItemText(382, Format("(%1.0f)", g.GetDouble(19)));
        SetItemText(383, Format("(%1.0f)", g.GetDouble(17)));
    }
}

void Preferences::CopyControl(uint32_t id, unsigned notification) {
    for (size_t i = 0; i < kSettingCount; ++i) {
        const Setting& setting = kSettings[i];
        if (setting.page != pageIndex || setting.control != id) continue;
        if (notification == platform::BN_CLICKED &&
            (setting.kind == Kind::Check || setting.kind == Kind::Tips)) {
            values[i] = IsItemChecked(id) ? 1.0 : 0.0;
        } else if (notification == platform::EN_CHANGE) {
            if (setting.kind == Kind::Length)
                values[i] = fields[i].Read(*this);
            else if (IsInteger(setting.kind))
                values[i] = std::trunc(GetItemNumber(id));
            else if (setting.kind == Kind::Number)
                values[i] = GetItemNumber(id);
        }
        return;
    }
}

void Preferences::ClampSetting(size_t i) {
    const Setting& setting = kSettings[i];
    if (!setting.limited) return;
    switch (setting.kind) {
        case Kind::Length:
            fields[i].Validate(*this, setting.min, setting.max);
            values[i] = fields[i].Read(*this);
            break;
        case Kind::Minutes:
            ClampField(setting.control, setting.min, setting.max);
            values[i] = std::trunc(GetItemNumber(setting.control));
            break;
        case Kind::DepthMap:
            values[i] = DepthMapSize(GetItemNumber(setting.control), setting.max);
            SetItemNumber(setting.control, values[i]);
            break;
        case Kind::Number:
            ClampField(setting.control, setting.min, setting.max);
            values[i] = GetItemNumber(setting.control);
            break;
        default:
            break;
    }
}

int Preferences::ValidateFields() {
    if (!page) return 0;
    PushWindow(page.get());
    for (size_t i = 0; i < kSettingCount; ++i)
        if (kSettings[i].page == pageIndex) ClampSetting(i);
    PopWindow();
    return 0;
}

int Preferences::OnCommand(uint32_t message, uintptr_t wParam, intptr_t lParam) {
    if (message == platform::WM_NOTIFY && lParam != 0) {
        const auto* header = reinterpret_cast<const platform::NotifyHeader*>(lParam);
        if (header->id == kTabs && header->code == platform::TCN_SELCHANGE) ShowPage();
        return 0;
    }
    if (message == platform::WM_COMMAND && LowWord(wParam) == kRestoreDefaults &&
        HighWord(wParam) == platform::BN_CLICKED) {
        ResetToDefaults(control);
        LoadValues();
        ShowPage();
        ShowUnitsNote();
    }
    return 0;
}

int Preferences::NotifyOwner() {
    StoreValues();
    ShowPage();
    return Dialog::NotifyOwner();
}
