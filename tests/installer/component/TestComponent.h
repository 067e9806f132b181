#pragma once

#include "platform/Component.h"

// A small component library the installer tests pack, serve, install and register:
// its registration names it as the server of kTestComponentClassId, whose instances
// answer ITestAnswer. It states the version "2,0,0,5" in its file.
inline constexpr platform::Guid kTestComponentClassId = {
    0x7A3F0C11, 0x2B44, 0x4C5D, {0x8E, 0x90, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66}};

class ITestAnswer : public platform::IUnknown {
public:
    static constexpr platform::Guid kIid = {
        0x7A3F0C12, 0x2B44, 0x4C5D, {0x8E, 0x90, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66}};
    virtual int32_t Answer() = 0;
};
