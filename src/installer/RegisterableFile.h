#pragma once

#include "installer/FilePath.h"
#include "installer/FileVersion.h"

// A library that registers its classes itself, with the version the server offers.
class RegisterableFile {
public:
    virtual ~RegisterableFile() = default;
    // Loads the library and calls its DllRegisterServer; true when that succeeded.
    virtual bool Register();
    // Loads the library and calls its DllUnregisterServer; true when that succeeded.
    virtual bool Unregister();
    // The version the file states; false when it states none.
    virtual bool GetVersion(FileVersion* version);

    FilePath& File() { return file_; }
    const FilePath& File() const { return file_; }
    // 0.0.0.0 until the server's version list was read.
    FileVersion serverVersion;

private:
    bool CallExport(const char* name);

    FilePath file_;
};
