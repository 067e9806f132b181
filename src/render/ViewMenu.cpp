// The context menu of a view's empty space and its commands.

#include <cstdint>

#include "control/BaseControl.h"
#include "control/RenderLockScope.h"
#include "control/scripting/IDuzazododiza.h"
#include "interaction/MouseHandler.h"
#include "model/ObjectTypes.h"
#include "platform/Menu.h"
#include "render/Window.h"

namespace {

// What the entries of the "Hide" sub-menu switch: an object type of the window, or a
// GlobalState boolean that is on while the thing shows.
struct HideEntry {
    uint32_t id;
    const char* text;
    uint64_t type;     // 0 for a GlobalState switch
    int globalSwitch;  // the boolean; -1 for a type
    bool checkedWhenSet;
};

constexpr uint32_t kSeparator = 0;

constexpr HideEntry kHideEntries[] = {
    {1308, "Floors (all)", 0x80, -1, true},
    {1309, "Floors (except current)", 0, 6, false},
    {1311, "Roof\tR", 0x100, -1, true},
    {1310, "Walls", 0x40, -1, true},
    {1317, "Fences and Posts", 0x80000000ull, -1, true},
    {kSeparator, nullptr, 0, -1, false},
    {1318, "Free Objects", 0x8, -1, true},
    {1319, "Cabinets and Other Connected Objects", 0x20, -1, true},
    {1320, "Doors and Windows", 0x10, -1, true},
    {1321, "Molding", 0x2000000000ull, -1, true},
    {1322, "Sky", 0, 14, false},
    {kSeparator, nullptr, 0, -1, false},
    {1312, "Light Boxes\tCtrl+F", 0x400000, -1, true},
    {1316, "Compass", 0, 24, false},
    {1313, "Menus and Controls\tTab", 0x8000000, -1, true},
    {1314, "Grid", 0x100000, -1, true},
    {1323, "Dimensions\tD", 0x800000, -1, true},
    {1324, "Frame Rate (FPS)\tF8", 0, 33, false},
    {1325, "Orbit Crosshairs", 0, 21, true},
};

struct ModeEntry {
    uint32_t id;
    const char* text;
    int viewMode;
};

constexpr ModeEntry kModeEntries[] = {
    {1304, "3D Perspective", Window::kPerspectiveView},
    {1305, "Blueprint", Window::kBlueprintView},
    {1306, "Overhead", Window::kOverheadView},
    {1307, "Elevation", Window::kElevationView},
};

constexpr struct {
    uint32_t id;
    const char* text;
} kToolEntries[] = {
    {16, "Orbit\tO"}, {11, "Zoom"}, {15, "Pan\tP"}, {31, "Walk\tW"}, {12, "Step Into View\tB"},
};

constexpr struct {
    uint32_t id;
    const char* text;
} kFieldOfViewEntries[] = {
    {1238, "20\xC2\xB0 - Tunnel Vision"}, {1239, "30\xC2\xB0"}, {1240, "40\xC2\xB0"},
    {1241, "50\xC2\xB0 - Normal"},        {1242, "60\xC2\xB0"}, {1243, "70\xC2\xB0"},
    {1244, "80\xC2\xB0 - Wide Angle"},
};

constexpr uint32_t kFirstFieldOfView = 1238;
constexpr int kTraceImageSizingMode = 29;
constexpr uint32_t kImportTraceFileCommand = 147;

void SwitchMode(Window& window, int mode) {
    if (MouseHandler* current = window.GetCurrentMode()) current->SwitchMouseMode(mode);
}

void ToggleGlobal(GlobalState& global, int slot) {
    global.SetBoolean(slot, !global.GetBoolean(slot));
}

}  // namespace

void Window::BuildViewMenu(platform::Menu& menu) {
    BaseControl* control = theControl();
    const GlobalState* global = control ? &control->globalState : nullptr;
    auto globalOn = [global](int slot) { return global && global->GetBoolean(slot); };

    platform::Menu& modes = menu.AppendSubmenu("Mode");
    for (const ModeEntry& entry : kModeEntries)
        modes.AppendItem(entry.id, entry.text, GetViewMode() == entry.viewMode);

    platform::Menu& adjust = menu.AppendSubmenu("Adjust View");
    for (const auto& entry : kToolEntries) adjust.AppendItem(entry.id, entry.text);
    adjust.AppendSeparator();
    platform::Menu& field = adjust.AppendSubmenu("Field of View (use < or >)");
    for (const auto& entry : kFieldOfViewEntries)
        field.AppendItem(entry.id, entry.text,
                         fieldOfView == 20.0 + 10.0 * (entry.id - kFirstFieldOfView));
    menu.AppendSeparator();

    platform::Menu& hide = menu.AppendSubmenu("Hide");
    const uint64_t hidden = viewFlags.GetInt64(0);
    for (const HideEntry& entry : kHideEntries) {
        if (entry.id == kSeparator) {
            hide.AppendSeparator();
            continue;
        }
        const bool checked = entry.globalSwitch < 0
                                 ? (hidden & entry.type) != 0
                                 : globalOn(entry.globalSwitch) == entry.checkedWhenSet;
        hide.AppendItem(entry.id, entry.text, checked);
    }
    menu.AppendItem(1303, "Show All\tA");
    menu.AppendItem(1302, "Show Last Hidden\tN");
    menu.AppendSeparator();
    menu.AppendItem(1301, "Reset To Start View");
    menu.AppendItem(1315, "Fit Plan To View\tX");
    menu.AppendSeparator();
    menu.AppendItem(208, "Snap To", globalOn(3));
    menu.AppendItem(7, "Multiple Select");
    menu.AppendItem(1326, "Import Trace File...");
}

bool Window::OnViewCommand(uint32_t id) {
    BaseControl* control = theControl();
    if (!control) return false;
    GlobalState& global = control->globalState;

    for (const ModeEntry& entry : kModeEntries)
        if (entry.id == id) {
            SetViewMode(entry.viewMode);
            return true;
        }
    for (const auto& entry : kToolEntries)
        if (entry.id == id) {
            SwitchMode(*this, static_cast<int>(id));
            return true;
        }
    if (id >= kFirstFieldOfView && id < kFirstFieldOfView + 7) {
        const double angle = 20.0 + 10.0 * (id - kFirstFieldOfView);
        if (auto* scripting = dynamic_cast<IDuzazododiza*>(control))
            scripting->SetCameraAngle(angle);
        return true;
    }
    for (const HideEntry& entry : kHideEntries) {
        if (entry.id == kSeparator || entry.id != id) continue;
        if (entry.globalSwitch < 0) {
            control->ToggleVisibilityByTypeMask(entry.type);
        } else {
            ToggleGlobal(global, entry.globalSwitch);
            // Other floors appear or go at once.
            if (entry.globalSwitch == 6) {
                RenderLockScope hold(*control);
                control->RebuildDisplayData();
            }
        }
        return true;
    }
    switch (id) {
        case 1303:
            control->SetVisibilityByTypeMask(TypeMask::kAllTypes, true, true);
            global.SetBoolean(6, true);
            return true;
        case 1302:
            control->ApplyPendingVisibility();
            return true;
        case 1301:
            ApplyCameraPreset(5);
            return true;
        case 1315:
            ZoomToExtents();
            return true;
        case 208:
            ToggleGlobal(global, 3);
            return true;
        case 7:
            SwitchMode(*this, 7);
            return true;
        case 1326:
            control->PostHostMessage(kImportTraceFileCommand);
            return true;
        case 1327:
            SwitchMode(*this, kTraceImageSizingMode);
            return true;
        default:
            return false;
    }
}
