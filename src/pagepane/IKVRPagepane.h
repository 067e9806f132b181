#pragma once

#include "platform/Automation.h"
#include "platform/Component.h"
#include "platform/Messages.h"

// The web pane: a control that fills its window with a web browser and hands the
// page a scripting object of its holder as window.external. It works once its window
// exists (platform::IWindowedObject); until then every member does nothing.
class IKVRPagepane : public platform::IDispatch {
public:
    static constexpr platform::Guid kIid = {
        0x01A81D5F, 0xB53E, 0x4F8D, {0xBA, 0x73, 0x41, 0x22, 0x2A, 0xDC, 0x08, 0xF9}};

    // Dispatch ids of the members.
    static constexpr platform::DISPID kDispidGoToWebpage = 1;
    static constexpr platform::DISPID kDispidExternal = 2;
    static constexpr platform::DISPID kDispidRunAccel = 3;

    // Navigates to a copy of *url; the navigation's result.
    virtual platform::HRESULT GoToWebpage(platform::BSTR* url) = 0;
    // The object page script reaches as window.external; null keeps the one set before.
    virtual platform::HRESULT put_External(platform::IDispatch* external) = 0;
    // Offers a keyboard message to the page. S_OK whatever the page did with it.
    virtual platform::HRESULT RunAccel(platform::Message* message) = 0;
};

// The class of the web pane.
inline constexpr platform::Guid kClsidKVRPagepane = {
    0x9C92C0FF, 0xD4DC, 0x4553, {0x81, 0x55, 0x97, 0x13, 0x54, 0xC7, 0xF4, 0xAA}};
inline constexpr const char* kProgIdKVRPagepane = "Pagepane.KVRPagepane.1";
