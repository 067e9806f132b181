#pragma once

#include <string>

namespace platform {

// The folder programs are installed under (no trailing '/'): $KIVORA_PROGRAM_FILES when
// set, else $XDG_DATA_HOME, else $HOME/.local/share. Empty when none of them is set.
std::string GetProgramFilesFolder();

}  // namespace platform
