#pragma once

#include <string>
#include <vector>

namespace platform {

// Opens `path` the way a user's double click would, in the background and with no
// window: a script (a name ending in ".bat" or ".sh", in any letter case, or any file
// that is not executable) runs with /bin/sh, an executable file runs itself. Standard
// input and output go to /dev/null, the process is detached from the caller (nobody
// waits for it) and `arguments` follow the path.
//
// False, starting nothing, when the file does not exist, is not a regular file or
// could not be started.
bool StartHidden(const char* path, const std::vector<std::string>& arguments = {});

}  // namespace platform
