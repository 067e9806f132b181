#include "platform/ProgramFiles.h"

#include <cstdlib>

namespace platform {

std::string GetProgramFilesFolder() {
    std::string folder;
    if (const char* own = std::getenv("KIVORA_PROGRAM_FILES"); own && *own) {
        folder = own;
    } else if (const char* data = std::getenv("XDG_DATA_HOME"); data && *data == '/') {
        folder = data;
    } else if (const char* home = std::getenv("HOME"); home && *home == '/') {
        folder = std::string(home) + "/.local/share";
    }
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    return folder;
}

}  // namespace platform
