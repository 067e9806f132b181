#pragma once

#include <string>

#include "platform/Component.h"

namespace platform {

// What a component library writes into the classes root of the registry store so that
// its class can be created by identifier: the class key with its name, the library
// that serves it and its threading model, the program id both ways, and the
// component categories it implements.
struct ComponentClassInfo {
    Guid clsid;
    const char* name = "";         // default value of the class key
    const char* progId = nullptr;  // none when null
    const char* threadingModel = "Apartment";
    const char* const* categories = nullptr;  // braced identifiers
    size_t categoryCount = 0;
};

// "CLSID\{...}" of the class.
std::string ComponentClassKey(const Guid& clsid);

// The file of the loaded library (or program) that holds `address`; empty when unknown.
std::string ModulePathOf(const void* address);

// Writes the class entries for the library at `modulePath`. The categories are added
// whatever became of the class and do not count. E_FAIL when the store is not open,
// the path is empty or an entry could not be written.
HRESULT RegisterComponentClass(const ComponentClassInfo& info, const std::string& modulePath);
// Removes the categories, the class key and the program id.
HRESULT UnregisterComponentClass(const ComponentClassInfo& info);

// The common body of a library's class-object export: checks the arguments, refuses
// other classes with CLASS_E_CLASSNOTAVAILABLE and asks `factory` for `iid`.
HRESULT GetComponentClassObject(const Guid& servedClsid, IClassFactory* factory, const Guid* clsid,
                                const Guid* iid, void** out);

}  // namespace platform
