#pragma once

#include <cstdint>
#include <memory>

namespace platform {
class Menu;
}

// The control's menu resources: the pop-up menus of the drawn menu bar's titles, File
// (202), Edit (203), View (204), Build (205) and Help (206). Null for any other id.
std::unique_ptr<platform::Menu> LoadControlMenu(uint32_t id);

// The title whose menu holds the recent files, and the text of that sub-menu.
inline constexpr uint32_t kFileMenu = 202;
inline constexpr const char* kRecentFilesText = "Recent Files";
