#pragma once

#include <string>

// A fresh folder under the system's temporary folder, removed with everything in it
// when the object goes. `Path()` ends with '/'.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const std::string& Path() const { return path_; }

private:
    std::string path_;
};

// Sets an environment variable for a scope and restores the old value after.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const std::string& value);
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    std::string name_;
    std::string old_;
    bool hadOld_ = false;
};

// A private registry store for one test: points the current user's store at a
// temporary folder of its own.
class ScopedRegistry {
public:
    ScopedRegistry() : env_("KIVORA_REGISTRY_DIR", folder_.Path()) {}
    const std::string& Folder() const { return folder_.Path(); }

private:
    TempFolder folder_;
    ScopedEnv env_;
};
