#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace platform {

class Menu;

// One entry of a menu: a command (id and text, with its check mark and greyed state), a
// separator, or a sub-menu (text and the menu it opens).
struct MenuItem {
    uint32_t id = 0;
    std::string text;
    bool checked = false;
    bool greyed = false;
    bool separator = false;
    std::unique_ptr<Menu> submenu;

    bool IsCommand() const { return !separator && !submenu; }
};

// A pop-up menu as a model: an ordered list of items that code fills and that a chooser
// answers. Without a display, tracking asks the chooser set with SetMenuChooser; the
// default chooser dismisses every menu.
class Menu {
public:
    Menu() = default;
    Menu(const Menu&) = delete;
    Menu& operator=(const Menu&) = delete;

    void AppendItem(uint32_t id, std::string text, bool checked = false, bool greyed = false);
    void AppendSeparator();
    // Appends a sub-menu and answers it for filling.
    Menu& AppendSubmenu(std::string text);
    // Removes every item.
    void Clear();

    size_t GetItemCount() const { return items_.size(); }
    const MenuItem& GetItem(size_t index) const { return items_.at(index); }
    // The first command with that id, in this menu or its sub-menus (depth first), or null.
    const MenuItem* FindItem(uint32_t id) const;
    // Whether the menu or one of its sub-menus holds that id as a command that is not greyed.
    bool CanChoose(uint32_t id) const;
    // Tick or grey every command with that id, in this menu and its sub-menus; false when
    // there is none.
    bool CheckItem(uint32_t id, bool checked);
    bool EnableItem(uint32_t id, bool enabled);

    // Shows the menu at a screen point and answers the id of the command chosen, or 0
    // when the menu was dismissed. An answer that is not a command of the menu that can
    // be chosen (greyed, separator, unknown id) counts as dismissed.
    uint32_t Track(int screenX = 0, int screenY = 0) const;

private:
    std::vector<MenuItem> items_;
};

// Answers a tracked menu with the id of the command chosen (0 to dismiss it).
using MenuChooser = std::function<uint32_t(const Menu& menu)>;

// Sets the chooser for every later Track; null restores the default (dismiss).
void SetMenuChooser(MenuChooser chooser);

}  // namespace platform
