#pragma once

#include <cstdint>

#include "platform/Automation.h"
#include "platform/Component.h"

// The splash object: shows the start-up picture in a window of its own thread for at
// least a set time. Every member answers S_OK; members other than CreateSplash do
// nothing while no splash is showing.
class IKVRSplash : public platform::IDispatch {
public:
    static constexpr platform::Guid kIid = {
        0xF4621924, 0xE151, 0x4A71, {0xA4, 0xA6, 0xAC, 0x60, 0x6C, 0x7C, 0xA1, 0x85}};

    static constexpr platform::DISPID kDispidCreateSplash = 1;
    static constexpr platform::DISPID kDispidCloseWindow = 2;
    static constexpr platform::DISPID kDispidCloseWindowNOW = 3;
    static constexpr platform::DISPID kDispidSetTimer = 4;
    static constexpr platform::DISPID kDispidSetParent = 5;

    // Shows the splash (minimum time 3000 ms) unless one is showing.
    virtual platform::HRESULT CreateSplash() = 0;
    // Closes the splash now when its minimum time is over, else as soon as it is.
    virtual platform::HRESULT CloseWindow() = 0;
    // Closes the splash now.
    virtual platform::HRESULT CloseWindowNOW() = 0;
    // Makes the minimum time `milliseconds` from now.
    virtual platform::HRESULT SetTimer(int32_t milliseconds) = 0;
    // Puts the splash in the window `window` (a window handle's number); that window
    // comes to the top when the splash ends.
    virtual platform::HRESULT SetParent(int32_t window) = 0;
};

// The class of the splash object.
inline constexpr platform::Guid kClsidKVRSplash = {
    0x246161CE, 0xF831, 0x4116, {0xB5, 0xE7, 0xD6, 0xBE, 0xE0, 0x5E, 0xD6, 0x82}};
inline constexpr const char* kProgIdKVRSplash = "Introcard.KVRSplash.1";
