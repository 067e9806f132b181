#include "control/bars/MenuBar.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "control/BaseControl.h"
#include "control/Resources.h"
#include "control/bars/MenuResources.h"
#include "control/bars/Toolbar.h"
#include "foundation/Trace.h"
#include "platform/Menu.h"
#include "platform/Window.h"
#include "render/LightSource.h"
#include "render/Window.h"

namespace {

constexpr int kTitleStart = 10;
constexpr int kTitlePadding = 4;
constexpr int kPixelsPerCharacter = 5;

bool SceneHasSun(const BaseControl& control) {
    bool found = false;
    control.scene.Lock();
    for (LinkedListObject* node = control.scene.GetHead(); node && !found; node = node->GetNext())
        if (const auto* light = dynamic_cast<const LightSource*>(node))
            found = !light->IsPositional();
    control.scene.Unlock();
    return found;
}

// Fills the recent-files sub-menu of `menu` from the control's list.
void RefreshRecentFiles(const platform::Menu& menu, const platform::Menu* recent) {
    for (size_t i = 0; i < menu.GetItemCount(); ++i) {
        const platform::MenuItem& item = menu.GetItem(i);
        if (!item.submenu || item.text != kRecentFilesText) continue;
        platform::Menu& files = *item.submenu;
        files.Clear();
        for (size_t k = 0; recent && k < recent->GetItemCount(); ++k) {
            const platform::MenuItem& file = recent->GetItem(k);
            if (file.IsCommand()) files.AppendItem(file.id, file.text);
        }
    }
}

}  // namespace

void KeepOnScreen(int& x, int& y) {
    const platform::Rect area = platform::GetWorkArea();
    x = std::clamp(x, area.left, std::max(area.left, area.right - 1));
    y = std::clamp(y, area.top, std::max(area.top, area.bottom - 1));
}

MenuBar::MenuBar(Window* ownerWindow) : owner(ownerWindow) {
    for (StatusBar& cell : cells) cell.owner = ownerWindow;
    // The titles end at the first "NULL" text (or at a missing one).
    for (int i = 0; i < kMaxTitles; ++i) {
        char text[kTitleTextSize];
        if (ControlStrings().LoadTo(kFirstTitleString + i, text, sizeof text) == 0) break;
        if (std::strcmp(text, "NULL") == 0) break;
        StatusBar& cell = cells[titleCount];
        cell.SetText(text, false);
        cell.shown = 1;
        cell.drawCaption = 1;
        cell.raisedBorder = 0;
        // A title shows an edge only while the cursor is over it.
        cell.flat = 1;
        menus[titleCount] = LoadControlMenu(static_cast<uint32_t>(kFirstTitleString + i));
        ++titleCount;
    }
    StatusBar& bar = cells[titleCount];
    bar.SetText("", false);
    bar.shown = 1;
    bar.flat = 1;
}

MenuBar::~MenuBar() = default;

void MenuBar::Layout(int left, int bottom, int barWidth, int barHeight) {
    int titleLeft = left + kTitleStart;
    for (int i = 0; i < titleCount; ++i) {
        const int titleWidth =
            static_cast<int>(std::strlen(cells[i].caption) + kTitlePadding) * kPixelsPerCharacter;
        cells[i].SetRect(titleLeft, bottom, titleWidth, barHeight);
        titleLeft += titleWidth;
    }
    Background().SetRect(left, bottom, barWidth, barHeight);
    // With auto-hide on, the bar shows once the pointer enters its strip.
    if (owner && !BarsAlwaysShown(*owner)) {
        shown = 0;
        autoHidden = 1;
    }
}

platform::Menu* MenuBar::TitleMenu(int index) const {
    return index >= 0 && index < titleCount ? menus[index].get() : nullptr;
}

void MenuBar::Draw() {
    if (!shown) return;
    for (int i = titleCount; i >= 0; --i) cells[i].Draw();
}

int MenuBar::TitleAt(int cursorX, int cursorY) const {
    // A hidden bar is not drawn and takes no clicks.
    if (!owner || !shown) return -1;
    const int fromBottom = RowFromBottom(*owner, cursorY);
    for (int i = 0; i < titleCount; ++i)
        if (cells[i].Contains(cursorX, fromBottom)) return i;
    return -1;
}

void MenuBar::OnMouseMove(int cursorX, int cursorY) {
    if (!owner) return;
    const StatusBar& bar = cells[titleCount];
    const int fromBottom = RowFromBottom(*owner, cursorY);
    const bool inStrip = bar.laidOut && fromBottom >= bar.y && fromBottom < bar.y + bar.height;
    if (BarsAlwaysShown(*owner)) {
        shown = 1;
        autoHidden = 0;
    } else {
        shown = inStrip ? 1 : 0;
        autoHidden = inStrip ? 0 : 1;
    }
    selected = shown ? TitleAt(cursorX, cursorY) : -1;
    for (int i = 0; i < titleCount; ++i) cells[i].highlight = i == selected ? 1 : 0;
}

int MenuBar::OnClick(int cursorX, int cursorY) {
    const int index = TitleAt(cursorX, cursorY);
    if (index < 0) {
        theTrace().Write("nb");
        return 0;
    }
    theTrace().Write("clk");
    BaseControl* control = theControl();
    platform::Menu* menu = menus[index].get();
    if (!control || !menu) return 1;

    control->LockRender();
    UpdateMenuState(index);
    for (int i = 0; i < titleCount; ++i) cells[i].highlight = 0;
    selected = -1;
    // Below the title's left end; tracking gives up the render lock while the menu is
    // open.
    int screenX = cells[index].x;
    int screenY = static_cast<int>(owner->height) - cells[index].y;
    owner->ClientToScreen(screenX, screenY);
    KeepOnScreen(screenX, screenY);
    const uint32_t chosen = control->TrackPopupMenu(*menu, screenX, screenY);
    control->UnlockRender();

    if (chosen != 0) control->PostHostMessage(chosen);
    theTrace().Write("eclk");
    return 1;
}

void MenuBar::UpdateMenuState(int index) {
    platform::Menu* menu = TitleMenu(index);
    if (!menu) return;
    if (index == static_cast<int>(kFileMenu) - kFirstTitleString) {
        const BaseControl* control = theControl();
        RefreshRecentFiles(*menu, control ? control->GetRecentFilesMenu() : nullptr);
    }
    ApplyMenuStates(*menu);
}

void ApplyMenuStates(platform::Menu& menu) {
    BaseControl* control = theControl();
    if (!control) return;
    const GlobalState& g = control->globalState;
    auto check = [&menu](uint32_t id, bool on) { menu.CheckItem(id, on); };
    auto enable = [&menu](uint32_t id, bool on) { menu.EnableItem(id, on); };

    enable(200, !control->undoList.UndoEntries().IsEmpty());
    enable(201, !control->undoList.RedoEntries().IsEmpty());
    const Window* window = control->activeWindow;
    enable(202, window && !window->viewUndoStack.IsEmpty());
    enable(203, window && !window->viewRedoStack.IsEmpty());
    check(233, g.GetBoolean(3));
    check(234, g.GetBoolean(11));

    const uint64_t hidden = window ? window->viewFlags.GetInt64(0) : 0;
    const uint64_t second = window ? window->viewFlags.GetInt64(1) : 0;
    const int viewMode = window ? window->viewFlags.GetInteger(0) : 0;
    check(381, second & 0x40);
    check(382, second & 0x100);
    check(383, second & 0x80);
    check(384, second & (uint64_t{1} << 26));

    // The floor the work grid stands on; a storey height of 0 has only the ground floor.
    const double storey = control->wallState.GetDouble(5);
    const double level = storey != 0.0 ? (control->floorState.GetDouble(4) - 1.0) / storey : 0.0;
    const bool known = std::isfinite(level) && level > -1.0 && level < 9.0;
    const int floor = known ? static_cast<int>(level) : -1;
    for (int f = 0; f <= 8; ++f) check(483 + static_cast<uint32_t>(f), floor == f);
    check(32814, floor < 0 || floor > 8);

    check(301, viewMode <= 0);
    check(302, viewMode == 1);
    check(303, viewMode == 4);
    check(304, viewMode == 2);
    check(224, !g.GetBoolean(9));
    check(225, g.GetBoolean(10));
    check(226, g.GetBoolean(12));

    struct HiddenType {
        uint32_t ids[2];
        uint64_t type;
    };
    static constexpr HiddenType kHiddenTypes[] = {
        {{221, 359}, 0x10},
        {{222, 357}, 0x8},
        {{223, 358}, 0x20},
        {{351, 0}, 0x100},
        {{353, 0}, 0x80},
        {{354, 0}, 0x40},
        {{356, 0}, uint64_t{1} << 31},
        {{349, 0}, uint64_t{1} << 37},
        {{361, 0}, uint64_t{1} << 20},
        {{362, 0}, uint64_t{1} << 27},
        {{363, 0}, uint64_t{1} << 22},
        {{367, 0}, uint64_t{1} << 24},
        {{368, 0}, uint64_t{1} << 23},
    };
    for (const HiddenType& entry : kHiddenTypes)
        for (uint32_t id : entry.ids)
            if (id != 0) check(id, (hidden & entry.type) != 0);

    check(228, !g.GetBoolean(14));
    check(379, !g.GetBoolean(30));
    check(352, !g.GetBoolean(6));
    check(360, !g.GetBoolean(24));
    check(705, !g.GetBoolean(33));
    check(706, g.GetBoolean(21));
    for (int k = 0; k <= 6; ++k)
        check(390 + static_cast<uint32_t>(k), window && window->fieldOfView == 20.0 + 10.0 * k);

    enable(400, !SceneHasSun(*control));
    enable(707, control->activeLight != nullptr);
    enable(345, viewMode > 0 && viewMode != 2);
    enable(451, window && !(hidden & (uint64_t{1} << 23)));
    // The tape measure and the plumb lines keep nothing to act on yet.
    enable(709, false);
    enable(32811, false);
    for (int k = 0; k <= 4; ++k)
        check(700 + static_cast<uint32_t>(k), control->blueprintColorScheme == k);
    check(32812, control->blueprintColorScheme == 5);
}
