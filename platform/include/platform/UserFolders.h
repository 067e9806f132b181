#pragma once

#include <string>

namespace platform {

// Folders of the user's desktop environment, without a trailing '/'; empty when none of
// the variables they derive from is set.

// Where menu entries (".desktop" files) live: $XDG_DATA_HOME/applications, else
// $HOME/.local/share/applications.
std::string ApplicationsFolder();

// The desktop: $XDG_DESKTOP_DIR, else $HOME/Desktop.
std::string DesktopFolder();

}  // namespace platform
