#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "control/dialogs/Dialog.h"
#include "platform/Automation.h"
#include "platform/Component.h"
#include "platform/Window.h"

class IKVRPagepane;

// A small top-level browser window of the editor (help, wizards, tips, the materials
// list, the account page). Each runs on a thread of its own with its own message loop,
// hosts the web pane component and gives it the editor's own scripting object as the
// page's window.external, so that the page can call the editor back. The page's calls
// reach the editor on the editor's own thread.
//
// The caller configures a pop-up made with new and shows it; from then on the pop-ups'
// list owns it. Its thread ends when its window is destroyed (closed by the user, by the
// page, or by CloseAll); the list joins the thread before the object goes.
class WebPopup : public Dialog {
public:
    static constexpr uint32_t kTemplate = 709;
    static constexpr size_t kAddressSize = 511;
    static constexpr const char* kTitle = "Kivora";

    explicit WebPopup(DialogOwner* owner);
    // Releases the hosted web pane.
    ~WebPopup() override;

    // Keeps at most 510 characters of the address.
    void SetURL(const char* address);
    void SetSize(int width, int height);
    void SetTopmost(bool topmost);
    // Starts the pop-up's thread and answers 0 at once; the list owns the pop-up from now
    // on (also when the thread could not start, when it is deleted at once).
    int Show() override;

    const char* GetURL() const { return address; }
    platform::WindowHandle GetWindow() const { return handle.load(); }
    IKVRPagepane* GetPagepane() const { return pagepane; }

    // The list of open pop-ups (those whose window exists).
    static void RegisterOpen(WebPopup* popup);
    // Removing a pop-up that is not listed does nothing.
    static void UnregisterOpen(WebPopup* popup);
    // Sends WM_CLOSE to every open pop-up's window (each thread takes it in turn).
    static void CloseAll();
    static bool NoneOpen();
    static int OpenCount();
    // A copy of the open pop-ups' windows.
    static std::vector<platform::WindowHandle> OpenWindows();
    // Closes every pop-up (also one whose window is still being made), waits (up to
    // `timeoutMs`) until every pop-up's thread has ended and joins them; answers whether
    // all ended.
    static bool CloseAllAndWait(int64_t timeoutMs);

    char address[kAddressSize] = "about:blank";
    std::string title = kTitle;
    int32_t width = 0;
    int32_t height = 0;
    uint8_t topmost = 0;

private:
    friend class WebPopupList;

    void Run();
    platform::LResult WindowProc(platform::WindowHandle window, uint32_t message,
                                 platform::WParam wParam, platform::LParam lParam);
    void Initialise();

    std::atomic<platform::WindowHandle> handle{platform::kNoWindow};
    IKVRPagepane* pagepane = nullptr;
    // The web pane component's window inside the pop-up.
    platform::WindowHandle paneWindow = platform::kNoWindow;
    // The editor's scripting object as the page sees it (calls are carried to the
    // editor's thread); made on the thread that shows the pop-up.
    platform::RefPtr<platform::IDispatch> external;
    std::atomic<bool> finished{false};
    // Set (under the list's lock) when the pop-up is to close.
    bool closeRequested = false;
};

// Opens `address` in the user's own web browser; nothing happens when there is none.
void OpenInInternetExplorer(const char* address);
