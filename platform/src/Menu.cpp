#include "platform/Menu.h"

#include "Display.h"

#include <mutex>
#include <utility>

namespace platform {

namespace {

std::mutex chooserMutex;
MenuChooser& CurrentChooser() {
    static MenuChooser chooser;
    return chooser;
}

}  // namespace

void Menu::AppendItem(uint32_t id, std::string text, bool checked, bool greyed) {
    MenuItem item;
    item.id = id;
    item.text = std::move(text);
    item.checked = checked;
    item.greyed = greyed;
    items_.push_back(std::move(item));
}

void Menu::AppendSeparator() {
    MenuItem item;
    item.separator = true;
    items_.push_back(std::move(item));
}

Menu& Menu::AppendSubmenu(std::string text) {
    MenuItem item;
    item.text = std::move(text);
    item.submenu = std::make_unique<Menu>();
    items_.push_back(std::move(item));
    return *items_.back().submenu;
}

void Menu::Clear() {
    items_.clear();
}

const MenuItem* Menu::FindItem(uint32_t id) const {
    for (const MenuItem& item : items_) {
        if (item.IsCommand() && item.id == id) return &item;
        if (item.submenu) {
            if (const MenuItem* found = item.submenu->FindItem(id)) return found;
        }
    }
    return nullptr;
}

bool Menu::CanChoose(uint32_t id) const {
    const MenuItem* item = FindItem(id);
    return item && !item->greyed;
}

bool Menu::CheckItem(uint32_t id, bool checked) {
    bool found = false;
    for (MenuItem& item : items_) {
        if (item.IsCommand() && item.id == id) {
            item.checked = checked;
            found = true;
        }
        if (item.submenu && item.submenu->CheckItem(id, checked)) found = true;
    }
    return found;
}

bool Menu::EnableItem(uint32_t id, bool enabled) {
    bool found = false;
    for (MenuItem& item : items_) {
        if (item.IsCommand() && item.id == id) {
            item.greyed = !enabled;
            found = true;
        }
        if (item.submenu && item.submenu->EnableItem(id, enabled)) found = true;
    }
    return found;
}

uint32_t Menu::Track(int screenX, int screenY) const {
    MenuChooser chooser;
    {
        std::lock_guard<std::mutex> guard(chooserMutex);
        chooser = CurrentChooser();
    }
    uint32_t chosen = 0;
    if (chooser)
        chosen = chooser(*this);
    else if (display::Active())
        chosen = display::TrackMenu(*this, screenX, screenY);
    return chosen != 0 && CanChoose(chosen) ? chosen : 0;
}

void SetMenuChooser(MenuChooser chooser) {
    std::lock_guard<std::mutex> guard(chooserMutex);
    CurrentChooser() = std::move(chooser);
}

}  // namespace platform
