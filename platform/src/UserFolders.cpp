#include "platform/UserFolders.h"

#include <cstdlib>

namespace platform {

namespace {

std::string Variable(const char* name) {
    const char* value = std::getenv(name);
    return value && *value ? value : "";
}

std::string WithoutTrailingSlash(std::string path) {
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    return path;
}

}  // namespace

std::string ApplicationsFolder() {
    const std::string data = Variable("XDG_DATA_HOME");
    if (!data.empty()) return WithoutTrailingSlash(data) + "/applications";
    const std::string home = Variable("HOME");
    if (!home.empty()) return WithoutTrailingSlash(home) + "/.local/share/applications";
    return {};
}

std::string DesktopFolder() {
    const std::string desktop = Variable("XDG_DESKTOP_DIR");
    if (!desktop.empty()) return WithoutTrailingSlash(desktop);
    const std::string home = Variable("HOME");
    if (!home.empty()) return WithoutTrailingSlash(home) + "/Desktop";
    return {};
}

}  // namespace platform
