#pragma once

#include <string>

#include "platform/Component.h"

// Loads a built component library and checks its exports: registration writes the
// class with the library's own file and the program id and is undone by
// unregistration, the class object is served for the class only, and the library may be
// unloaded while no object of it lives. Reports through gtest.
void CheckComponentLibrary(const std::string& path, const platform::Guid& clsid,
                           const char* progId);
