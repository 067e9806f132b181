#include "TempFolder.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

TempFolder::TempFolder() {
    std::error_code ec;
    std::string pattern =
        (std::filesystem::temp_directory_path(ec) / "kivora-test-XXXXXX").string();
    if (mkdtemp(pattern.data())) path_ = pattern + "/";
}

TempFolder::~TempFolder() {
    if (path_.empty()) return;
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

ScopedEnv::ScopedEnv(const char* name, const std::string& value) : name_(name) {
    if (const char* old = std::getenv(name)) {
        hadOld_ = true;
        old_ = old;
    }
    setenv(name, value.c_str(), 1);
}

ScopedEnv::~ScopedEnv() {
    if (hadOld_)
        setenv(name_.c_str(), old_.c_str(), 1);
    else
        unsetenv(name_.c_str());
}
