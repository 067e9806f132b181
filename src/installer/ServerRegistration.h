#pragma once

#include <string>

#include "platform/Component.h"

// What a component library's registration writes to the classes root of the current
// user's registry store: "CLSID\{class id}" with the description as its default value,
// and below it "InprocServer32" naming the library, apartment threaded. The platform
// layer creates a class from that entry when no factory is in the process.
bool RegisterServerClass(const platform::Guid& clsid, const char* description,
                         const std::string& library);
// Removes the class's entry; true when it is gone.
bool UnregisterServerClass(const platform::Guid& clsid);

// The file of the library (or program) that holds `address`; empty when unknown.
std::string LibraryOfAddress(const void* address);
