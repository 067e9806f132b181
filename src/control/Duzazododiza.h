#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "control/BaseControl.h"
#include "control/scripting/IDuzazododiza.h"
#include "platform/Automation.h"
#include "platform/Component.h"
#include "platform/Event.h"
#include "platform/PropertyBag.h"
#include "platform/Window.h"
#include "platform/WindowedObject.h"

class SavedViewWindow;

// The editor control as a component with a window of its own. Creating its window
// applies the defaults, makes the main view, starts the render thread and posts the
// start of the post-create thread, which fills the empty scene. Closing stops the
// render thread; destroying the window cancels and joins every thread of the control
// and frees the scene, the OpenGL objects and the views.
class CDuzazododiza : public BaseControl,
                      public platform::IWindowedObject,
                      public IDuzazododiza,
                      public platform::IPersistPropertyBag {
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
    // Runs a call on the window's thread for another thread (lParam: std::function<void()>*,
    // sent, so the caller waits for it).
    static constexpr uint32_t kMsgCallOnWindowThread = platform::WM_USER + 8;

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

    // Server exchanges besides the bill of materials (PostPlanXML, S_OK in every case): a
    // request to the content domain, and the upload of the previous run's trace log,
    // whose copy is deleted afterwards in any case.
    void PostToServer(const char* query, const std::string& body);
    void UploadPreviousTrace(bool upload);
    // When this process found the settings store damaged and started a fresh one, the
    // user is told once that the settings were reset and where the old file was kept.
    void TellOfSettingsReset();

    // The window procedure of the control's window.
    platform::LResult WindowProc(platform::WindowHandle window, uint32_t message,
                                 platform::WParam wParam, platform::LParam lParam);

    platform::WindowHandle ControlWindow() const { return controlWindow; }

    // ---- Scripting interface (ScriptingInterface.cpp, ParameterProperties.cpp,
    // EditingMembers.cpp) ----
    using BSTR = platform::BSTR;
    using VARIANT = platform::VARIANT;
    using HRESULT = platform::HRESULT;

    // IDispatch: the members by name and dispatch id.
    HRESULT GetTypeInfoCount(uint32_t* count) override;
    HRESULT GetTypeInfo(uint32_t index, platform::IUnknown** info) override;
    HRESULT GetIDsOfNames(const char16_t* const* names, uint32_t count,
                          platform::DISPID* ids) override;
    HRESULT Invoke(platform::DISPID member, uint16_t flags, platform::DISPPARAMS* params,
                   VARIANT* result) override;

    // IPersistPropertyBag: the hosting page's parameters "MaxDepthMapWidth",
    // "MaxDepthMapHeight", "Domain" and "userID"; an absent one changes nothing.
    HRESULT Load(platform::IPropertyBag* bag) override;

    // IDuzazododiza
    HRESULT ChangeMode(const VARIANT& mode) override;
    HRESULT Debug(const VARIANT& text) override;
    HRESULT ChangeView(const VARIANT& renderType) override;
    HRESULT SavePlanAs() override;
    HRESULT SavePlan() override;
    HRESULT LoadPlan() override;
    HRESULT CreateGroup() override;
    HRESULT Ungroup() override;
    HRESULT SelectAll() override;
    using BaseControl::SelectAll;
    HRESULT SetVisibleOnAll(const VARIANT& objectType, const VARIANT& visible) override;
    HRESULT get_doubleParameter(int32_t type, int32_t index, double* value) override;
    HRESULT put_doubleParameter(int32_t type, int32_t index, double value) override;
    HRESULT get_integerParameter(int32_t type, int32_t index, double* value) override;
    HRESULT put_integerParameter(int32_t type, int32_t index, double value) override;
    HRESULT get_stringParameter(int32_t type, int32_t index, BSTR* value) override;
    HRESULT put_stringParameter(int32_t type, int32_t index, BSTR value) override;
    HRESULT get_booleanParameter(int32_t type, int32_t index, int16_t* value) override;
    HRESULT put_booleanParameter(int32_t type, int32_t index, int16_t value) override;
    HRESULT Print() override;
    HRESULT GoToView(const VARIANT& viewType) override;
    HRESULT SetDefault(int32_t defaultType, const VARIANT& defaultValue) override;
    HRESULT SetToolbarDimensions(int32_t width, int32_t height) override;
    HRESULT ToggleBooleanParameter(int32_t type, int32_t index) override;
    HRESULT OpenRecentFile(int32_t recentFileIndex) override;
    HRESULT SetFloorLevel(int32_t level) override;
    HRESULT LoadFloorplanTraceImage() override;
    HRESULT ResetRegistryPreferences() override;
    HRESULT RefreshShadows() override;
    HRESULT OpenNewPlan() override;
    HRESULT get_URLToOpen(BSTR* url) override;
    HRESULT GetNewDefaultTextFont() override;
    HRESULT ShowAntialiasedFrame() override;
    HRESULT InsertLight() override;
    HRESULT get_vectorParameter(int32_t type, int32_t index, int32_t element,
                                double* value) override;
    HRESULT put_vectorParameter(int32_t type, int32_t index, int32_t element,
                                double value) override;
    HRESULT OpenNewViewWindow() override;
    HRESULT SetCameraAngle(double angle) override;
    HRESULT get_registryValue(BSTR keyName, int32_t* value) override;
    HRESULT put_registryValue(BSTR keyName, int32_t value) override;
    HRESULT MoveLightOverhead() override;
    HRESULT get_int64Parameter(int32_t type, int32_t index, BSTR* value) override;
    HRESULT put_int64Parameter(int32_t type, int32_t index, BSTR value) override;
    HRESULT get_SystemMetric(const VARIANT& index, VARIANT* value) override;
    HRESULT UpdateLastRightClickedObject() override;
    HRESULT PostPlanXML() override;
    HRESULT MoveEntireFloorPlan(int32_t deltaX, int32_t deltaY, int32_t deltaZ) override;
    HRESULT FitPlanInWindow() override;
    HRESULT AddDataToRightClickedObjectInformation(BSTR key, BSTR data) override;
    HRESULT get_RightClickedObjectData(BSTR* data) override;
    HRESULT Duplicate() override;
    HRESULT Cut() override;
    HRESULT Copy() override;
    HRESULT Paste() override;
    HRESULT Uninstall() override;
    HRESULT ShowLastHiddenObject() override;
    HRESULT Undo() override;
    HRESULT Redo() override;
    HRESULT ToggleMap() override;
    HRESULT UpdatePreferences() override;
    HRESULT pkgst(double pkg, int32_t uid) override;
    HRESULT AddSun() override;
    HRESULT OpenXMLTemplate(BSTR fileAddress) override;
    HRESULT LoadWebPlan(BSTR fileAddress) override;
    HRESULT DeleteSelectedItems() override;
    HRESULT SaveSceneStateAs(int32_t index) override;
    HRESULT GoToSceneState(int32_t index) override;
    HRESULT UndoViewChange() override;
    HRESULT RedoViewChange() override;
    HRESULT ExportSceneImage() override;
    HRESULT MergePlan() override;
    HRESULT Clone() override;
    HRESULT SetAllDimensionFonts() override;
    HRESULT get_isReadyToClose(int32_t* ready) override;
    HRESULT SetDomain(BSTR newDomain) override;
    // Opens a plan file of the host: S_OK when a load started, S_FALSE otherwise (an
    // empty or over-long name, a control not running yet, a file that does not open, a
    // cancel).
    HRESULT LoadLocalPlan(BSTR fullFilename) override;

    // Answers of PromptSaveChanges besides 0 (nothing asked).
    static constexpr int kAnswerYes = 6;
    static constexpr int kAnswerNo = 7;
    static constexpr int kAnswerCancel = 2;
    // The in-value of isReadyToClose that asks for a Cancel button.
    static constexpr int32_t kCloseWithCancel = 0x0F0F0F0F;

    // Asks whether to save a modified plan (Yes saves); answers the button, or 0 when
    // the plan is not modified.
    int PromptSaveChanges(bool allowCancel);
    // The uppermost parent's title: "Kivora -- " and the plan name.
    void UpdateWindowTitle();
    // The last ancestor of the control window; kNoWindow when it has no parent.
    platform::WindowHandle GetTopLevelParent() const;
    // Posts WM_CLOSE to the uppermost parent.
    void CloseHostWindow();
    int IncrementHoldCount();
    int DecrementHoldCount();
    // The left button: focus, rendering enabled, the press to the current mode.
    void OnLButtonDown(platform::LParam lParam);
    // The state a page addresses by number (0..10); null for any other number, and for
    // 0 without an active window or 5 without a menu target.
    BaseParameterState* GetParameterState(int32_t propertyType);
    // Unsigned decimal text into `value`: null or empty gives 0; false, `value` left
    // alone, for text that is not a decimal number that fits.
    static bool ParseUInt64(const char16_t* text, uint64_t* value);

    int32_t holdCount = 0;
    // An address the page fetches with URLToOpen; emptied when read.
    char urlToOpen[kPathSize] = {};
    uint8_t newPlanFlag = 0;
    // ---- end of scripting interface ----

    // ---- Web pages (WebPages.cpp) ----
    // A web pop-up of `width` x `height` on `address`; one on the content domain's `path`.
    void OpenWebPopup(const char* address, int width, int height, bool topmost);
    void OpenDomainPopup(const std::string& path, int width, int height);
    // The next of the 45 tips in a topmost pop-up; the number shown is read from the
    // registry ("webKeys", "curTip") and not written back.
    void ShowNextTip();
    std::string NextTipAddress();
    // The account page with the signed-in user's name and password.
    std::string AccountPageAddress();
    // The web page of the object last asked about (GlobalState string 3).
    std::string ObjectPageAddress();
    // ---- end of web pages ----

    // ---- Saved-view and map windows (SavedViews.cpp) ----
    // A new saved view ("View %i", 400 x 400 at the screen's origin, topmost) with the
    // active view's mode and camera; null when no window could be made.
    SavedViewWindow* OpenSavedViewWindow();
    // Closes every saved-view and map window; the window list keeps only the main view.
    void CloseSavedViewWindows();
    Window* CreateMapWindow(const platform::Rect& screenRect, const char* imageUrl) override;
    void DestroyMapWindow(Window* window) override;
    // ---- end of saved-view and map windows ----

    int webPlanFlag = 0;
    // Made by OnDestroy when it must wait for a running plan load; the load signals it.
    std::unique_ptr<platform::Event> planLoadDoneEvent;
    uint8_t hasFocus = 0;
    // Orders the hand-over of the progress bar between loading threads.
    std::mutex progressMutex;
    // A web plan is being fetched or loaded; one at a time.
    std::atomic<bool> webPlanLoading{false};
    // What Cut and Copy took: ClipboardObject entries, copies of the objects; Paste
    // keeps them, so it can repeat.
    LinkedList clipboard;
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
    // Opens a plan named by the page (an address, or a path on the content domain): when
    // the render loop has drawn since the last load and no web plan loads, fetches it
    // into the URL cache and loads it on a worker, merged when it is one group.
    void OpenBufferedFile(const char* name);
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
};

// Registration of the control: its class, name and library in the registry store's
// classes root, with the safe-for-scripting and safe-for-initialising categories.
extern "C" platform::HRESULT DllRegisterServer();
extern "C" platform::HRESULT DllUnregisterServer();
// The control's class factory for `clsid`, asked for `iid`.
extern "C" platform::HRESULT DllGetClassObject(const platform::Guid* clsid,
                                               const platform::Guid* iid, void** out);
