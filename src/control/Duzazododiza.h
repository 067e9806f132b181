#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "control/BaseControl.h"
#include "platform/Automation.h"
#include "platform/Component.h"
#include "platform/Event.h"
#include "platform/Window.h"
#include "platform/WindowedObject.h"

// The editor control as a component with a window of its own. Creating its window
// applies the defaults, makes the main view, starts the render thread and posts the
// start of the post-create thread, which fills the empty scene. Closing stops the
// render thread; destroying the window cancels and joins every thread of the control
// and frees the scene, the OpenGL objects and the views.
class CDuzazododiza : public BaseControl, public platform::IWindowedObject {
public:
    static constexpr platform::Guid kClassId = {
        0x3C8A1F52, 0x6D0E, 0x4B7A, {0x9E, 0x21, 0x5F, 0x4B, 0x2C, 0x7D, 0x8A, 0x10}};
    static constexpr const char* kProgId = "Roomwright.Duzazododiza.1";

    // Private messages of the control's window.
    static constexpr uint32_t kMsgAfterCreate = platform::WM_USER + 1;
    static constexpr uint32_t kMsgHostMessage = platform::WM_USER + 2;
    static constexpr uint32_t kMsgToggleMap = platform::WM_USER + 3;
    static constexpr uint32_t kMsgLowResources = platform::WM_USER + 4;
    static constexpr uint32_t kMsgOpenBufferedFile = platform::WM_USER + 5;
    // Posted by the render thread when OpenGL failed: the window is destroyed on its own
    // thread.
    static constexpr uint32_t kMsgDestroyControlWindow = platform::WM_USER + 6;

    // Timers of the control's window.
    static constexpr uintptr_t kAutoSaveTimer = 15;
    static constexpr uintptr_t kFrameRateTimer = 21;
    static constexpr uint32_t kFrameRatePeriodMs = 500;
    // Longest wait for OpenGL to start, and for a running plan load to stop.
    static constexpr int64_t kInitWaitMs = 10000;
    static constexpr int64_t kPlanLoadWaitMs = 30000;

    CDuzazododiza();
    ~CDuzazododiza() override;

    // A class factory whose instances come from `make` (the control itself by default);
    // it refuses a second control in the process.
    static platform::RefPtr<platform::IClassFactory> MakeFactory(
        std::function<CDuzazododiza*()> make = {});

    // IUnknown
    platform::HRESULT QueryInterface(const platform::Guid& iid, void** out) override;
    uint32_t AddRef() override;
    uint32_t Release() override;

    // IWindowedObject
    platform::HRESULT CreateObjectWindow(platform::WindowHandle parent, int width, int height,
                                         platform::WindowHandle* out) override;
    platform::HRESULT GetObjectWindow(platform::WindowHandle* out) override;
    platform::HRESULT OnFrameWindowActivate(bool active) override;

    // BaseControl
    void ShowMainProgress(bool show, intptr_t owner) override;
    void SetStatusText(const char* text) override;
    void SetProgressDetail(double size, intptr_t owner) override;
    void PostHostMessage(uint32_t command) override;
    void QueryUserStatus() override;
    void SignalPlanLoadDone() override;

    // Opens a plan file of the host: S_OK when a load started, S_FALSE otherwise (an
    // empty name, a control not running yet, a file that does not open, a cancel).
    platform::HRESULT LoadLocalPlan(const char* fullFilename);

    // Server exchanges: the bill of materials of the scene (S_OK in every case), a
    // request to the content domain, and the upload of the previous run's trace log,
    // whose copy is deleted afterwards in any case.
    platform::HRESULT PostPlanXML();
    void PostToServer(const char* query, const std::string& body);
    void UploadPreviousTrace(bool upload);

    // The window procedure of the control's window.
    platform::LResult WindowProc(platform::WindowHandle window, uint32_t message,
                                 platform::WParam wParam, platform::LParam lParam);

    platform::WindowHandle ControlWindow() const { return controlWindow; }

    int webPlanFlag = 0;
    // Made by OnDestroy when it must wait for a running plan load; the load signals it.
    std::unique_ptr<platform::Event> planLoadDoneEvent;
    uint8_t hasFocus = 0;
    const void* moduleInstance = nullptr;

    // ---- Commands, host messages and keys ----
    // (CommandDispatch.cpp, HostMessages.cpp, KeyboardShortcuts.cpp)

    // Carries out command `id`: 1 when handled (every id while the control is not
    // running is swallowed this way), 0 for an id the control does not know, which
    // PostHostMessage then hands to the page.
    uint32_t HandleCommand(uint32_t id);
    // Toolbar button `n` (1..29; other numbers do nothing).
    void HandleToolbarButton(int n);
    // Makes mouse mode `n` (0..31) current in the active window.
    void SetMouseMode(int n);
    // Visibility by object type in the active window: `how` 1 adds the types to the
    // second type mask, 2 removes them, 5 toggles them, 4 toggles their hidden state,
    // any other value shows them (not 0) or hides them (0). The mask 0xFFFFFFFF stands
    // for every type.
    void ApplyTypeVisibility(uint64_t mask, int how);
    // The active window's view mode (0 perspective, 1 blueprint, 2 elevation, 4 overhead).
    void SetActiveViewMode(int mode);
    // Camera preset `n` on the active window as one view change.
    void GoToCameraPreset(int n);

    // Host messages. The pending code (-1 none) is what the page reads next through the
    // KVRMessage property; the page is asked to read once per code that finds none
    // pending.
    platform::LResult OnKVRMessage(uint32_t code);
    platform::HRESULT get_KVRMessage(double* value);
    platform::HRESULT put_KVRMessage(double value);
    int32_t PendingHostMessage() const { return pendingHostMessage.load(); }
    // Runs the global script function `name` of the page that hosts the control.
    void CallHostScript(const char* name);
    // The 8-bit text as a new BSTR; `length` -1 takes it up to its terminating zero.
    static platform::BSTR AnsiToBSTR(const char* text, int length);
    // The frame rate stays low: offers the optimisation hints.
    void OnLowResources();

    // Keys. ProcessKey gets every key-down before it is dispatched (1: consumed);
    // OnKeyUp handles the control window's key-ups; ProcessKeyPress is the page's way in.
    int ProcessKey(const platform::Message& message);
    platform::LResult OnKeyUp(uint32_t message, platform::WParam key, platform::LParam flags);
    platform::HRESULT ProcessKeyPress(int keyId, bool controlDown);
    // Selection mode in the active window with its edit lock cleared (Esc, walk end).
    void SwitchToSelectionMode();
    // Written on the window's thread, read and cleared on the page's.
    std::atomic<int32_t> pendingHostMessage{-1};
    // Takes `window` as the control's window without the start-up of a real one, so that
    // host messages can be followed to a page without OpenGL.
    void AttachWindowForTesting(platform::WindowHandle window) { controlWindow = window; }
    // ---- end of commands, host messages and keys ----

protected:
    // Opens a plan file given before the control was initialised.
    virtual bool OpenLocalPlan(const char* name);

private:
    platform::LResult OnCreate(const platform::WindowCreateInfo* info);
    void OnClose();
    void OnDestroy();
    void OnSize(int width, int height);
    void OnAfterCreate();
    void OnTimer(uintptr_t id);
    void OnOpenBufferedFile();
    // Passes a mouse message to the active window's current mode while scene rendering
    // is enabled.
    void ForwardMouse(uint32_t message, platform::LParam lParam);

    void RunRenderLoop();
    static void PostCreateThreadProc(const std::atomic<bool>& cancel);
    void PostCreate(const std::atomic<bool>& cancel);
    // Waits for "Init" while it is held; false on the time-out or a cancel.
    bool WaitForInit(const std::atomic<bool>& cancel);

    platform::RefCount refs;
    platform::WindowHandle controlWindow = platform::kNoWindow;
    platform::Rect clientRect;
};

// Registration of the control: its class, name and library in the registry store's
// classes root, with the safe-for-scripting and safe-for-initialising categories.
extern "C" platform::HRESULT DllRegisterServer();
extern "C" platform::HRESULT DllUnregisterServer();
// The control's class factory for `clsid`, asked for `iid`.
extern "C" platform::HRESULT DllGetClassObject(const platform::Guid* clsid,
                                               const platform::Guid* iid, void** out);
