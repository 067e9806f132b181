#include "control/Duzazododiza.h"

#include <GL/gl.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <new>
#include <optional>
#include <string>
#include <thread>

#include "building/Terrain.h"
#include "control/Defaults.h"
#include "control/RenderLockScope.h"
#include "control/SavedViewWindow.h"
#include "control/WebPopup.h"
#include "foundation/Registry.h"
#include "foundation/Trace.h"
#include "interaction/Compass.h"
#include "interaction/MouseHandler.h"
#include "interaction/DragDropHandler.h"
#include "interaction/TraceImageModel.h"
#include "platform/ComponentRegistration.h"
#include "platform/Files.h"
#include "platform/GLContext.h"
#include "platform/MessageBox.h"
#include "platform/RegistryStore.h"
#include "render/OpenGL.h"
#include "render/Window.h"

namespace {

constexpr uint32_t kMultiMonitorMessage = 275;
constexpr uintptr_t kQuietTimer = 17;
constexpr int kLinkedExteriorWallMode = 3;
constexpr int kToolbarWidth = 296;
constexpr int kToolbarHeight = 24;
constexpr const char* kSessionOpen = "Session open";
constexpr const char* kRecoveryQuestion =
    "Kivora did not shut down properly when it was last run.  Load the automatically saved "
    "file?";
constexpr const char* kSettingsResetText =
    "Kivora's settings could not be read and were reset to their defaults.  The damaged "
    "settings file was kept as %s.";
// The longest wait for the web pop-ups to close with the control.
constexpr int64_t kWebPopupWaitMs = 10000;
// A cancel of the post-create thread is noticed within this time while it waits.
constexpr int64_t kWaitSliceMs = 50;

}  // namespace

CDuzazododiza::CDuzazododiza() {
    webPlanFlag = 0;
    planLoadDoneEvent.reset();
}

CDuzazododiza::~CDuzazododiza() {
    // A host that released the control without destroying its window.
    if (platform::IsWindow(controlWindow)) platform::DestroyWindow(controlWindow);
    // The threads of the control and of its objects' downloads call members of the
    // control: they end, and the objects go, while the control is still whole.
    CancelAndJoinWorkers();
    StopRenderThread();
    undoList.Clear();
    deletedObjects.DeleteAll();
    scene.DeleteAll();
}

platform::RefPtr<platform::IClassFactory> CDuzazododiza::MakeFactory(
    std::function<CDuzazododiza*()> make) {
    if (!make) make = [] { return new (std::nothrow) CDuzazododiza; };
    return platform::MakeClassFactory(
        [make](const platform::Guid& iid, void** out) -> platform::HRESULT {
            BaseControl* made = nullptr;
            const platform::HRESULT hr = BaseControl::CreateProcessControl(make, &made);
            if (platform::Failed(hr)) return hr;
            auto* control = static_cast<CDuzazododiza*>(made);
            const platform::HRESULT asked = control->QueryInterface(iid, out);
            control->Release();
            return asked;
        });
}

platform::HRESULT CDuzazododiza::QueryInterface(const platform::Guid& iid, void** out) {
    if (!out) return platform::E_POINTER;
    if (iid == platform::IUnknown::kIid || iid == platform::IWindowedObject::kIid) {
        AddRef();
        *out = static_cast<platform::IWindowedObject*>(this);
        return platform::S_OK;
    }
    if (iid == platform::IDispatch::kIid || iid == IDuzazododiza::kIid) {
        AddRef();
        *out = static_cast<IDuzazododiza*>(this);
        return platform::S_OK;
    }
    if (iid == platform::IPersistPropertyBag::kIid) {
        AddRef();
        *out = static_cast<platform::IPersistPropertyBag*>(this);
        return platform::S_OK;
    }
    *out = nullptr;
    return platform::E_NOINTERFACE;
}

uint32_t CDuzazododiza::AddRef() {
    return refs.Increment();
}

uint32_t CDuzazododiza::Release() {
    const uint32_t left = refs.Decrement();
    if (left == 0) delete this;
    return left;
}

platform::HRESULT CDuzazododiza::CreateObjectWindow(platform::WindowHandle parent, int width,
                                                    int height, platform::WindowHandle* out) {
    return platform::CreateObjectWindowWith(
        [this](platform::WindowHandle w, uint32_t m, platform::WParam wp, platform::LParam lp) {
            return WindowProc(w, m, wp, lp);
        },
        "Duzazododiza", controlWindow, parent, width, height, out);
}

platform::HRESULT CDuzazododiza::GetObjectWindow(platform::WindowHandle* out) {
    return platform::GetObjectWindowOf(controlWindow, out);
}

platform::HRESULT CDuzazododiza::OnFrameWindowActivate(bool active) {
    if (active && platform::IsWindow(controlWindow)) platform::SetFocus(controlWindow);
    return platform::S_OK;
}

void CDuzazododiza::ShowMainProgress(bool show, intptr_t owner) {
    if (owner == 0) return;
    std::lock_guard<std::mutex> guard(progressMutex);
    if (show) {
        // The bar belongs to the first caller until that caller hides it.
        if (progressOwner != 0) return;
        progressOwner = owner;
        progressBar.SetShown(true);
        return;
    }
    if (owner != progressOwner) return;
    progressOwner = 0;
    progressBar.SetShown(false);
    globalState.SetInteger(10, 0);
    globalState.StoreFactoryDouble(16, 0.0);
}

void CDuzazododiza::SetStatusText(const char* text) {
    globalState.SetString(2, text ? text : "");
    progressBar.SetCaption(text);
}

void CDuzazododiza::SetProgressDetail(double size, intptr_t owner) {
    std::lock_guard<std::mutex> guard(progressMutex);
    if (owner == progressOwner && owner != 0) progressBar.SetDetail(size);
}

platform::LResult CDuzazododiza::WindowProc(platform::WindowHandle window, uint32_t message,
                                            platform::WParam wParam, platform::LParam lParam) {
    using namespace platform;
    switch (message) {
        case WM_CREATE:
            controlWindow = window;
            return OnCreate(reinterpret_cast<const WindowCreateInfo*>(lParam));
        case WM_CLOSE:
            OnClose();
            return 0;
        case WM_DESTROY:
            OnDestroy();
            return 0;
        case WM_NCDESTROY:
            controlWindow = kNoWindow;
            return 0;
        case WM_SIZE:
            OnSize(static_cast<int>(LowWord(static_cast<uintptr_t>(lParam))),
                   static_cast<int>(HighWord(static_cast<uintptr_t>(lParam))));
            return 0;
        case kMsgAfterCreate:
            OnAfterCreate();
            return 0;
        case kMsgHostMessage:
            return OnKVRMessage(static_cast<uint32_t>(wParam));
        case kMsgLowResources:
            OnLowResources();
            return 0;
        case kMsgToggleMap:
            theTrace().Write("Begin OnLaunchMap");
            ToggleMapWindow();
            theTrace().Write("End OnLaunchMap");
            return 0;
        case kMsgOpenBufferedFile:
            OnOpenBufferedFile();
            return 0;
        case kMsgDestroyControlWindow:
            DestroyWindow(window);
            return 0;
        case kMsgCallOnWindowThread:
            if (lParam) (*reinterpret_cast<std::function<void()>*>(lParam))();
            return 0;
        case WM_KEYDOWN:
        case WM_SYSKEYDOWN:
            if (activeWindow) {
                bool handled = false;
                return activeWindow->ForwardKeyDown(message, wParam, lParam, handled);
            }
            return 0;
        case WM_KEYUP:
            return OnKeyUp(message, wParam, lParam);
        case WM_SYSKEYUP:
            if (activeWindow && activeWindow->GetCurrentMode())
                activeWindow->GetCurrentMode()->OnKeyUp(static_cast<unsigned>(wParam));
            return 0;
        case WM_RBUTTONDOWN:
        case WM_MBUTTONDOWN:
            SetFocus(window);
            {
                RenderLockScope hold(*this);
                sceneRenderingEnabled = 1;
            }
            ForwardMouse(message, lParam);
            return 0;
        case WM_LBUTTONDOWN:
            OnLButtonDown(lParam);
            return 0;
        case WM_MOUSEMOVE:
        case WM_LBUTTONUP:
        case WM_LBUTTONDBLCLK:
        case WM_RBUTTONUP:
        case WM_MBUTTONUP:
        case WM_MOUSEHOVER:
        case WM_MOUSELEAVE:
            ForwardMouse(message, lParam);
            return 0;
        case WM_MOUSEACTIVATE:
            theTrace().Write("Begin OnMouseActivate");
            {
                RenderLockScope hold(*this);
                if (sceneRenderingEnabled) activeWindow = mainWindow;
            }
            theTrace().Write("End OnMouseActivate");
            return MA_ACTIVATE;
        case WM_SETFOCUS:
            theTrace().Write("OnSetFocus");
            hasFocus = 1;
            {
                RenderLockScope hold(*this);
                activeWindow = mainWindow;
            }
            return 0;
        case WM_KILLFOCUS:
            hasFocus = 0;
            return 0;
        case WM_ERASEBKGND:
            return 0;
        case WM_TIMER:
            OnTimer(wParam);
            return 0;
        default:
            return DefaultWindowProc(window, message, wParam, lParam);
    }
}

void CDuzazododiza::ForwardMouse(uint32_t message, platform::LParam lParam) {
    using namespace platform;
    if (!sceneRenderingEnabled || !activeWindow) return;
    if (activeWindow->OnBarMouse(message, lParam)) return;
    if (message == WM_MOUSEMOVE) {
        bool handled = false;
        activeWindow->ForwardToCurrentMode(message, 0, lParam, handled);
        return;
    }
    MouseHandler* mode = activeWindow->GetCurrentMode();
    if (!mode) return;
    switch (message) {
        case WM_LBUTTONDOWN:
            mode->OnLButtonDown(lParam);
            break;
        case WM_LBUTTONUP:
            mode->OnLButtonUp(lParam);
            theTrace().Write("bu");
            break;
        case WM_LBUTTONDBLCLK:
            mode->OnLButtonDblClk(lParam);
            break;
        case WM_RBUTTONDOWN:
            mode->OnRButtonDown(lParam);
            break;
        case WM_RBUTTONUP:
            mode->OnRButtonUp(lParam);
            break;
        case WM_MBUTTONDOWN:
            mode->OnMButtonDown(lParam);
            break;
        case WM_MBUTTONUP:
            mode->OnMButtonUp(lParam);
            break;
        case WM_MOUSEHOVER:
            mode->OnMouseHover(lParam);
            break;
        case WM_MOUSELEAVE:
            mode->OnMouseLeave(lParam);
            break;
        default:
            break;
    }
}

platform::LResult CDuzazododiza::OnCreate(const platform::WindowCreateInfo* info) {
    moduleInstance = info ? info->createParam : nullptr;
    theTrace().Write("OnCreate");
    SetFactoryDefaults(*this);

    auto* main = new (std::nothrow) Window;
    if (!POSTCONDITION(main != nullptr, "The main window could not be made")) return -1;
    {
        RenderLockScope hold(*this);
        mainWindow = activeWindow = currentWindow = main;
        progressBar.owner = main;
        windowList->Append(main);
        main->windowHandle = controlWindow;
        if (!main->dropTarget || !main->dropTarget->Register(controlWindow))
            theTrace().Write("The view takes no drops");
    }

    initEvent.Reset();
    initPending = true;
    StartRenderThread([this] { RunRenderLoop(); });
    if (initEvent.Wait(kInitWaitMs))
        initPending = false;
    else
        theTrace().Write("openGL failed to Initialize on time");

    platform::SetProcessPriority(platform::ProcessPriority::Idle);
    platform::SetThreadPriority(RenderThreadId(), platform::ThreadPriority::Normal);

    if (platform::GetMonitorCount() > 1) {
        ShowResourceMessage(kMultiMonitorMessage, "Multi Monitor Configuration Detected");
        QueryUserStatus();
    }

    platform::PostMessage(controlWindow, kMsgAfterCreate);
    theTrace().Write("eOnCreate");
    return 0;
}

void CDuzazododiza::RunRenderLoop() {
    if (RenderLoop()) return;
    theTrace().Write("Rendering Loop prematurely aborted");
    // The window belongs to the UI thread, which destroys it.
    platform::PostMessage(controlWindow, kMsgDestroyControlWindow);
}

void CDuzazododiza::OnAfterCreate() {
    theTrace().Write("OAC");
    StartWorker(PostCreateThreadProc);
    theTrace().Write("eOAC");
    platform::SetFocus(controlWindow);
}

void CDuzazododiza::PostCreateThreadProc(const std::atomic<bool>& cancel) {
    if (auto* control = dynamic_cast<CDuzazododiza*>(theControl())) control->PostCreate(cancel);
    theTrace().Write("ePostCreationThr");
}

bool CDuzazododiza::WaitForInit(const std::atomic<bool>& cancel) {
    if (!initPending) return true;
    for (int64_t waited = 0; waited < kInitWaitMs; waited += kWaitSliceMs) {
        if (cancel) return false;
        if (initEvent.Wait(kWaitSliceMs)) {
            initPending = false;
            return true;
        }
    }
    theTrace().Write("OpenGL not initialized on postcreate");
    return false;
}

void CDuzazododiza::PostCreate(const std::atomic<bool>& cancel) {
    if (!WaitForInit(cancel)) return;

    // The compass image is loaded here with the compass.
    if (mainWindow && mainWindow->toolbar) mainWindow->toolbar->LoadBitmap();
    theTrace().Write("PostCreate");

    if (ComputeShadingLevel() > 0) {
        RenderLockScope hold(*this);
        if (mainWindow) {
            mainWindow->Activate();
            CreateIdentityTexture();
        }
    }
    {
        RenderLockScope hold(*this);
        if (mainWindow) mainWindow->Activate();
        CreateNormalMap();
    }
    // The fence models and the direction arrows are made here as the building elements
    // and the annotation join the editor.
    if (cancel) return;
    if (!terrain) {
        auto* ground = new Terrain;
        ground->LoadMaterials();
        RenderLockScope hold(*this);
        terrain = ground;
    }
    if (cancel) return;
    ReplaceSky(kDefaultSky);
    if (cancel) return;
    LoadDefaultMaterial();
    if (cancel) return;

    double previousSession = 0.0;
    RegistryGetDouble("", kSessionOpen, &previousSession);
    RegistrySetDouble("", kSessionOpen, 1.0);
    TellOfSettingsReset();
    // The log of a run that did not end cleanly goes to the server.
    const bool previousLogLeftOpen = Trace::WasLeftOpen();
    Trace::SetOpenMark(true);
    UploadPreviousTrace(previousLogLeftOpen);

    if (cancel) return;
    AddDefaultLights();

    theTrace().Write("Default model loading started");
    {
        RenderLockScope hold(*this);
        // The title of a new plan; the recent files follow with the plan files.
        globalState.SetBoolean(0, false);
        globalState.SetString(0, "Untitled");
        activeWindow = mainWindow;
    }
    if (mainWindow) mainWindow->SetMouseMode(kLinkedExteriorWallMode);

    // The utility text is made here with the text objects.
    {
        RenderLockScope hold(*this);
        globalState.SetInteger(2, kToolbarWidth);
        globalState.SetInteger(3, kToolbarHeight);
    }
    double tipStartup = 0.0;
    RegistryGetDouble("webKeys", "TipStartup", &tipStartup);
    if (tipStartup == 0.0) ShowNextTip();

    ReadProbeSettings(*this);
    theTrace().Write("Host initialized");
    {
        RenderLockScope hold(*this);
        initialised = 1;
    }

    // The desktop name-space key that was removed at this point lives in no registry of
    // ours, so there is nothing to remove.
    if (cancel) return;

    if (previousSession != 0.0) {
        platform::MessageBoxRequest box;
        box.text = kRecoveryQuestion;
        box.caption = "Warning";
        box.buttons = platform::MessageButtons::YesNo;
        if (ShowMessageBox(box) == platform::MessageAnswer::Yes) {
            theTrace().Write("Restore file");
            const std::string path = platform::TemporaryFolder() + "restore.kvp";
            RenderLockScope hold(*this);
            waitScreenLevel = 1.0;
            theTrace().WriteFormat("Restore from %s", path.c_str());
            ClearScene();
            BeginBusyDisplay();
            StartPlanLoadThread(path.c_str());
        }
    } else if (planName[0] && strcasecmp(planName, "untitled") != 0) {
        OpenLocalPlan(planName);
    }

    // The question about the browser zone's drag and drop comes with the browser zone.

    platform::SetTimer(controlWindow, kAutoSaveTimer,
                       static_cast<uint32_t>(globalState.AutoSaveMinutes()) * 60000u);
    platform::SetTimer(controlWindow, kFrameRateTimer, kFrameRatePeriodMs);
    theTrace().Write("ePostCreate");
}

void CDuzazododiza::TellOfSettingsReset() {
    const std::optional<std::string> moved = platform::TakeRegistryResetNotice();
    if (!moved) return;
    char text[kPathSize + 160];
    std::snprintf(text, sizeof text, kSettingsResetText, moved->c_str());
    platform::MessageBoxRequest box;
    box.text = text;
    box.caption = "Settings Reset";
    box.icon = platform::MessageIcon::Warning;
    ShowMessageBox(box);
}

void CDuzazododiza::OnClose() {
    theTrace().Write("OnClose");
    loadKind = 1;
    StopRenderThread();
}

void CDuzazododiza::OnSize(int width, int height) {
    theTrace().Write("OnSize");
    clientRect = platform::Rect{0, 0, width, height};
    RenderLockScope hold(*this);
    if (IsRunning()) {
        activeWindow = mainWindow;
        platform::SetTimer(controlWindow, Window::kResizeTimer, 20);
    } else if (mainWindow) {
        mainWindow->OnSize(clientRect);
    }
    theTrace().Write("eSize");
}

void CDuzazododiza::OnOpenBufferedFile() {
    theTrace().Write("Begin OpenBufferedFile");
    char name[kPathSize];
    std::memcpy(name, bufferedFileName, sizeof name);
    name[sizeof name - 1] = 0;
    OpenBufferedFile(name);
    std::snprintf(bufferedFileName, sizeof bufferedFileName, "%s", "Done");
    theTrace().Write("End OpenBufferedFile");
}

void CDuzazododiza::OpenBufferedFile(const char* name) {
    if (!name || !*name || std::strcmp(name, "Done") == 0 || !passAfterLoad) return;
    theTrace().Write("Beginning to open web plan");
    theTrace().Write(name);
    passAfterLoad = 0;
    MouseHandler* mode = activeWindow ? activeWindow->GetCurrentMode() : nullptr;
    if (mode) mode->SetBusyCursor(true);
    if (!IsRunning() || webPlanLoading.exchange(true)) {
        theTrace().Write("Web plan not opened: the editor is busy");
    } else {
        char address[kPathSize];
        const char* source = name;
        if (!std::strstr(name, "http")) source = AttachPathToDomain(name, address, sizeof address);
        char cached[kPathSize] = {};
        if (!DownloadToCacheWithRetry(source, cached, sizeof cached, nullptr)) {
            theTrace().WriteFormat("Web plan not fetched: %s", source);
            webPlanLoading = false;
        } else {
            const std::string path = cached;
            StartWorker([this, path](const std::atomic<bool>&) {
                if (!LoadPlanFile(path.c_str(), true)) UpdateWindowTitle();
                webPlanLoading = false;
            });
        }
    }
    if (mode) mode->SetBusyCursor(false);
    theTrace().Write("After opening web plan");
}

void CDuzazododiza::OnTimer(uintptr_t id) {
    const bool quiet = id == kFrameRateTimer || id == kQuietTimer;
    if (!quiet) theTrace().WriteFormat("FP::OT %d", static_cast<int>(id));
    Window* window = activeWindow;
    if (!PRECONDITION(window != nullptr, "Active mouse window is NULL on timer")) return;
    if (window->OnBarTimer(id)) return;
    MouseHandler* handler = window->GetCurrentMode();
    if (!PRECONDITION(handler != nullptr, "MouseHandler is Null on Timer")) return;
    handler->OnTimer(static_cast<unsigned>(id));
    if (!quiet) {
        theTrace().Write("W:OT");
        theTrace().Write("FP:OT End");
    }
}

void CDuzazododiza::OnDestroy() {
    theTrace().Write("DESTROY");
    // Every web pop-up closes and its thread ends before the control goes.
    WebPopup::CloseAllAndWait(kWebPopupWaitMs);

    // The render thread reads these between and during its passes: they change under
    // the lock. A running plan load is asked to stop and given a while to end.
    auto loadRuns = [this] { return loading && !loadFinished; };
    bool waitForLoad = false;
    {
        RenderLockScope hold(*this);
        loadKind = 1;
        sceneRenderingEnabled = 1;
        waitForLoad = initialised && !IsRunning() && loadRuns();
        if (waitForLoad) planLoadDoneEvent = std::make_unique<platform::Event>();
    }
    if (waitForLoad) {
        const int held = ReleaseRenderLockFully();
        // A load that ended without the signal (it was past its cancel check) ends the
        // wait as well.
        for (int64_t waited = 0; waited < kPlanLoadWaitMs; waited += kWaitSliceMs) {
            if (planLoadDoneEvent->Wait(kWaitSliceMs)) break;
            RenderLockScope hold(*this);
            if (!loadRuns()) break;
        }
        ReacquireRenderLock(held);
    }
    // Every thread working for the control (post-create, plan load, downloads) stops
    // before anything it uses goes.
    CancelAndJoinWorkers();

    theTrace().Write("OD : BS");
    if (activeWindow) platform::KillTimer(activeWindow->windowHandle, Window::kSingleClickTimer);
    for (uintptr_t id : {kAutoSaveTimer, Window::kResizeTimer, kFrameRateTimer})
        platform::KillTimer(controlWindow, id);
    // The render thread ends before the OpenGL objects go, also without a close first.
    StopRenderThread();

    glTraceRequest = 1;
    LockRender();
    glTraceRequest = 0;
    theTrace().Write("OD : Suspended");
    sceneRenderingEnabled = 1;
    theTrace().Write("OD : Rendering on");
    if (mainWindow) mainWindow->Activate();
    theTrace().CheckGLErrors("There should be a valid context available here");
    theTrace().Write("OD : Activated");

    deletedObjects.DeleteAll();
    scene.DeleteAll();
    theTrace().Write("OD : List cleared");
    // The fence models, the door knob and the arrows are freed here with their classes.
    delete terrain;
    terrain = nullptr;
    theTrace().Write("OD : Fences cleared");
    delete compass;
    compass = nullptr;
    if (mainWindow) mainWindow->Activate();
    FreeDefaultContent();
    if (mainWindow) mainWindow->Activate();
    theTrace().Write("OD : texList clear");

    theTrace().Write("OD : del VPs");
    if (theOpenGL.vertexProgram != 0) {
        const GLEntryPoints& e = theGLEntryPoints;
        if (theOpenGL.nvVertexProgram && e.DeleteProgramsNV)
            e.DeleteProgramsNV(1, &theOpenGL.vertexProgram);
        else if (e.DeleteProgramsARB)
            e.DeleteProgramsARB(1, &theOpenGL.vertexProgram);
        theOpenGL.vertexProgram = 0;
    }
    theTrace().CheckGLErrors("Program deletion");
    theTrace().Write("OD : VPs del'ed");

    Window* main = mainWindow;
    progressBar.owner = nullptr;
    if (main) {
        delete main->traceImage;
        main->traceImage = nullptr;
        windowList->Remove(main);
    }
    windowList->Lock();
    platform::GLContext::DetachCurrent();
    if (main) {
        main->renderingContext = nullptr;
        main->deviceContext = nullptr;
    }
    mainContext.reset();
    mainDrawable.reset();
    theTrace().Write("OD : Del SVWs");
    // Saved views and the map go with their windows, which take them out of the list.
    while (LinkedListObject* node = windowList->GetHead()) {
        auto* view = dynamic_cast<Window*>(node);
        if (view && view->frame && platform::IsWindow(view->frame->handle))
            platform::DestroyWindow(view->frame->handle);
        else if (view && view->frame)
            windowList->Remove(node);
        else
            windowList->DeleteNode(node);
    }
    mapWindow = nullptr;
    theTrace().Write("OD : SVWs Del'ed");
    windowList->Unlock();
    UnlockRender();
    delete main;

    RegistrySetDouble("", kSessionOpen, 0.0);
    Trace::SetOpenMark(false);
    SaveDefaults(*this);
    StopRenderThread();
}

// --- Registration -------------------------------------------------------------------

namespace {

platform::ServerRegistration ControlRegistration() {
    platform::ServerRegistration server;
    server.classId = CDuzazododiza::kClassId;
    server.description = "Duzazododiza Class";
    server.progId = CDuzazododiza::kProgId;
    server.moduleAddress = reinterpret_cast<const void*>(&DllRegisterServer);
    server.safeCategories = true;
    return server;
}

}  // namespace

extern "C" platform::HRESULT DllRegisterServer() {
    return platform::RegisterServer(ControlRegistration());
}

extern "C" platform::HRESULT DllUnregisterServer() {
    return platform::UnregisterServer(ControlRegistration());
}

extern "C" platform::HRESULT DllGetClassObject(const platform::Guid* clsid,
                                               const platform::Guid* iid, void** out) {
    if (!out) return platform::E_POINTER;
    *out = nullptr;
    if (!clsid || !iid) return platform::E_INVALIDARG;
    if (!(*clsid == CDuzazododiza::kClassId)) return platform::CLASS_E_CLASSNOTAVAILABLE;
    return CDuzazododiza::MakeFactory()->QueryInterface(*iid, out);
}
