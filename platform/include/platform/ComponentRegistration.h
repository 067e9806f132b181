#pragma once

#include <string>

#include "platform/Component.h"

namespace platform {

// What registering an in-process component writes to the registry store's classes root:
// its class with a description, the library that serves it and its threading model, the
// ProgID both ways, and the component categories it implements.
struct ServerRegistration {
    Guid classId;
    const char* description = "";
    const char* progId = "";
    // Any address inside the library (or program) that holds the component.
    const void* moduleAddress = nullptr;
    const char* threadingModel = "Apartment";
    // Registered in the categories of components safe for scripting and safe for
    // initialisation from persisted data.
    bool safeCategories = false;
};

// The categories of components safe for scripting and safe for initialisation.
inline constexpr const char* kCategorySafeForScripting = "{7DD95801-9882-11CF-9FA9-00AA006C42C4}";
inline constexpr const char* kCategorySafeForInitialising =
    "{7DD95802-9882-11CF-9FA9-00AA006C42C4}";

// The file of the loaded library (or program) holding `address`; empty when unknown.
std::string ModuleFileOf(const void* address);

// Writes the registration. The categories are added whatever became of the class and do
// not count for the result. E_FAIL when the store is not open, the library's file is
// unknown, or a value could not be written.
HRESULT RegisterServer(const ServerRegistration& server);
// Removes the categories, the class key and the ProgID key. E_FAIL when the store is not
// open or the class or ProgID key could not be removed.
HRESULT UnregisterServer(const ServerRegistration& server);

// The common body of a library's class-object export: checks the arguments, refuses
// classes other than `servedClassId` with CLASS_E_CLASSNOTAVAILABLE and asks `factory`
// for `iid`.
HRESULT GetComponentClassObject(const Guid& servedClassId, IClassFactory* factory,
                                const Guid* classId, const Guid* iid, void** out);

}  // namespace platform

// The four exports of a library that serves one component class CLASS (which offers
// static MakeFactory() and LiveObjects()), registered under CLASS_ID and PROG_ID.
#define KIVORA_SINGLE_CLASS_EXPORTS(CLASS, CLASS_ID, PROG_ID, DESCRIPTION)                    \
    extern "C" platform::HRESULT DllRegisterServer();                                       \
    namespace {                                                                              \
    platform::ServerRegistration KivoraServedClass() {                                       \
        platform::ServerRegistration server;                                                 \
        server.classId = (CLASS_ID);                                                          \
        server.description = (DESCRIPTION);                                                  \
        server.progId = (PROG_ID);                                                            \
        server.moduleAddress = reinterpret_cast<const void*>(&DllRegisterServer);           \
        return server;                                                                       \
    }                                                                                        \
    }                                                                                        \
    extern "C" platform::HRESULT DllRegisterServer() {                                      \
        return platform::RegisterServer(KivoraServedClass());                               \
    }                                                                                        \
    extern "C" platform::HRESULT DllUnregisterServer() {                                    \
        return platform::UnregisterServer(KivoraServedClass());                              \
    }                                                                                        \
    extern "C" platform::HRESULT DllGetClassObject(const platform::Guid* clsid,             \
                                                   const platform::Guid* iid, void** out) { \
        return platform::GetComponentClassObject((CLASS_ID), CLASS::MakeFactory().Get(),      \
                                                 clsid, iid, out);                           \
    }                                                                                        \
    extern "C" platform::HRESULT DllCanUnloadNow() {                                        \
        return CLASS::LiveObjects() == 0 ? platform::S_OK : platform::S_FALSE;               \
    }
