#include "control/BaseControl.h"

#include <GL/gl.h>
#include <GL/osmesa.h>

#include <cstdio>
#include <cstring>

#include "control/Resources.h"
#include "foundation/Common.h"
#include "foundation/DownloadCallback.h"
#include "foundation/IKVRInstaller.h"
#include "foundation/Trace.h"
#include "foundation/Transaction.h"
#include "foundation/UndoableObject.h"
#include "interaction/Compass.h"
#include "model/SceneView.h"
#include "model/TopLevelObject.h"
#include "platform/Clock.h"
#include "platform/GLContext.h"
#include "platform/Menu.h"
#include "platform/Process.h"
#include "render/Bitmap.h"
#include "render/TextureList.h"
#include "render/Window.h"

namespace {

std::atomic<BaseControl*> currentControl{nullptr};

const char kDefaultContentDomain[] = "http://content.kivora.example";
// "Object is locked.  Do you want to unlock it?"
constexpr uint32_t kUnlockQuestion = 244;

const uint8_t kBlueprintSchemes[6][8][3] = {
    {{148, 131, 77},
     {27, 58, 191},
     {255, 241, 182},
     {252, 225, 189},
     {199, 216, 255},
     {255, 212, 153},
     {255, 255, 128},
     {255, 171, 255}},
    {{0, 25, 162},
     {255, 180, 73},
     {223, 237, 255},
     {169, 214, 255},
     {255, 255, 186},
     {135, 135, 255},
     {222, 172, 127},
     {237, 223, 130}},
    {{155, 54, 74},
     {243, 243, 108},
     {255, 221, 227},
     {252, 208, 205},
     {240, 166, 186},
     {239, 184, 179},
     {255, 255, 255},
     {233, 131, 129}},
    {{91, 158, 155},
     {255, 239, 149},
     {210, 231, 255},
     {255, 226, 226},
     {244, 242, 224},
     {153, 153, 211},
     {255, 255, 255},
     {255, 251, 151}},
    {{65, 65, 65},
     {215, 215, 215},
     {255, 255, 255},
     {202, 202, 202},
     {232, 232, 232},
     {170, 170, 170},
     {255, 255, 127},
     {230, 230, 230}},
    {{40, 40, 40},
     {150, 150, 150},
     {220, 220, 220},
     {185, 185, 185},
     {210, 210, 210},
     {255, 255, 255},
     {255, 172, 127},
     {255, 255, 255}},
};

// Detaches the calling thread's OpenGL context; nothing when none is current. A context
// made outside the platform layer is detached as well.
void DetachThreadContext() {
    platform::GLContext::DetachCurrent();
    if (OSMesaGetCurrentContext()) OSMesaMakeCurrent(nullptr, nullptr, 0, 0, 0);
}

// Tessellated polygons are drawn straight away.
void GLAPIENTRY TessBegin(GLenum type, void*) {
    glBegin(type);
}
void GLAPIENTRY TessVertex(void* vertex, void*) {
    glVertex3dv(static_cast<GLdouble*>(vertex));
}
void GLAPIENTRY TessEnd(void*) {
    glEnd();
}

}  // namespace

BaseControl* theControl() {
    return currentControl.load();
}

BaseControl::BaseControl() : windowList(nullptr) {
    glTraceRequest = 0;
    for (int scheme = 0; scheme < 6; ++scheme)
        for (int c = 0; c < 8; ++c) {
            float* rgba = blueprintColors[scheme * 8 + c];
            for (int k = 0; k < 3; ++k) rgba[k] = kBlueprintSchemes[scheme][c][k] / 255.0f;
            rgba[3] = 1.0f;
        }
    blueprintColorScheme = 0;
    std::snprintf(contentDomain, sizeof contentDomain, "%s", kDefaultContentDomain);
    counterFrequency = platform::QueryFrequency();
    textureList = new TextureList;
    sceneRenderingEnabled = 1;
    initialised = 0;

    // Only the first control of the process becomes the process's control.
    BaseControl* none = nullptr;
    published = currentControl.compare_exchange_strong(none, this);
    POSTCONDITION(published, "A control already exists in this process");

    renderLock.SetFullReleaseHook(DetachThreadContext);
    // Bitmaps named by resource number come from the control's own pictures.
    size_t bitmapCount = 0;
    const BitmapResource* bitmaps = ControlBitmaps(bitmapCount);
    SetBitmapResources(bitmaps, bitmapCount);

    windowList = new LinkedList;
    tessellator = gluNewTess();
    if (POSTCONDITION(tessellator != nullptr, "gluNewTess failed")) {
        gluTessProperty(tessellator, GLU_TESS_WINDING_RULE, GLU_TESS_WINDING_ODD);
        gluTessCallback(tessellator, GLU_TESS_BEGIN_DATA, reinterpret_cast<_GLUfuncptr>(TessBegin));
        gluTessCallback(tessellator, GLU_TESS_VERTEX_DATA,
                        reinterpret_cast<_GLUfuncptr>(TessVertex));
        gluTessCallback(tessellator, GLU_TESS_END_DATA, reinterpret_cast<_GLUfuncptr>(TessEnd));
    }
    quadric = gluNewQuadric();
    POSTCONDITION(quadric != nullptr, "gluNewQuadric failed");
    markerDisplayList = -1;

    statusBar.Setup();
    globalState.SetInteger(2, 150);
    globalState.SetInteger(3, 21);
    compass = new Compass;
    waitScreenLevel = 1.0;
    loading = 0;
    bufferedFileName[0] = 0;
    lowFrameRateWarningEnabled = 1;
    theTrace().Write("End BC Constructor");
}

BaseControl::~BaseControl() {
    theTrace().Write("Beginning BC destructor");
    // Nothing is freed while a thread of ours may still use it.
    CancelAndJoinWorkers();
    StopRenderThread();

    undoList.Clear();
    // What the window's destruction did not free already.
    FreeDefaultContent();
    if (quadric) gluDeleteQuadric(quadric);
    quadric = nullptr;
    if (tessellator) gluDeleteTess(tessellator);
    tessellator = nullptr;
    // The main window is the first entry of the window list, which owns every view.
    delete windowList;
    windowList = nullptr;
    mainWindow = activeWindow = currentWindow = nullptr;
    if (markerDisplayList != -1 && OSMesaGetCurrentContext())
        glDeleteLists(static_cast<GLuint>(markerDisplayList), 1);
    markerDisplayList = -1;
    delete compass;
    compass = nullptr;
    delete textureList;
    textureList = nullptr;
    theTrace().Write("End BC Destructor");

    if (published) {
        // The installer may have left an update script for the end of the run.
        const std::string folder = GetProgramFolder();
        if (!folder.empty()) platform::StartHidden((folder + "/Update.bat").c_str());
        currentControl.store(nullptr);
    }
}

platform::HRESULT BaseControl::CreateProcessControl(const std::function<BaseControl*()>& make,
                                                    BaseControl** out) {
    if (!out) return platform::E_POINTER;
    *out = nullptr;
    if (theControl()) {
        TraceWrite("A second control was refused");
        return platform::E_FAIL;
    }
    BaseControl* made = make ? make() : nullptr;
    if (!made) return platform::E_OUTOFMEMORY;
    if (!made->published) {
        // Another thread's control got there first.
        delete made;
        return platform::E_FAIL;
    }
    *out = made;
    return platform::S_OK;
}

bool BaseControl::LockRender() {
    if (glTraceRequest) {
        char line[96];
        std::snprintf(
            line, sizeof line, "SRL curDC: %x curRC: %x ", 0u,
            static_cast<unsigned>(reinterpret_cast<uintptr_t>(OSMesaGetCurrentContext())));
        theTrace().Write(line);
        DetachThreadContext();
    }
    theTrace().MarkFile();
    renderLock.Lock();
    return true;
}

bool BaseControl::UnlockRender() {
    currentContextCode = 0;
    renderLock.Unlock();
    return true;
}

int BaseControl::ReleaseRenderLockFully() {
    if (!renderLock.IsHeldByCurrentThread()) return 0;
    currentContextCode = 0;
    return renderLock.ReleaseFully();
}

void BaseControl::ReacquireRenderLock(int count) {
    if (count <= 0) return;
    theTrace().MarkFile();
    renderLock.Reacquire(count);
}

void BaseControl::JoinUnlocked(std::thread& thread) {
    if (!thread.joinable()) return;
    if (!PRECONDITION(thread.get_id() != std::this_thread::get_id(),
                      "A thread of the control cannot wait for itself")) {
        thread.detach();
        return;
    }
    const int held = ReleaseRenderLockFully();
    thread.join();
    ReacquireRenderLock(held);
}

bool BaseControl::StartRenderThread(std::function<void()> loop) {
    if (!PRECONDITION(!renderThread.joinable(), "Render thread already running")) return false;
    quitRequest = false;
    renderThread = std::thread(std::move(loop));
    return true;
}

bool BaseControl::StopRenderThread() {
    LockRender();
    quitRequest = true;
    UnlockRender();
    JoinUnlocked(renderThread);
    return true;
}

bool BaseControl::StartWorker(std::function<void(const std::atomic<bool>& cancel)> work) {
    if (!work) return false;
    std::vector<std::thread> finished;
    {
        std::lock_guard<std::mutex> guard(workersMutex);
        for (auto it = workers.begin(); it != workers.end();) {
            if (it->done->load()) {
                finished.push_back(std::move(it->thread));
                it = workers.erase(it);
            } else {
                ++it;
            }
        }
        Worker w{{},
                 std::make_shared<std::atomic<bool>>(false),
                 std::make_shared<std::atomic<bool>>(false)};
        w.thread = std::thread([work = std::move(work), cancel = w.cancel, done = w.done] {
            work(*cancel);
            done->store(true);
        });
        workers.push_back(std::move(w));
    }
    for (std::thread& t : finished) t.join();  // already at their end
    return true;
}

void BaseControl::CancelAndJoinWorkers() {
    std::vector<Worker> all;
    {
        std::lock_guard<std::mutex> guard(workersMutex);
        all.swap(workers);
    }
    for (Worker& w : all) w.cancel->store(true);
    for (Worker& w : all) JoinUnlocked(w.thread);
}

void BaseControl::BeginUndoGroup() {
    undoList.BeginGroup();
}

void BaseControl::PushTransaction(BaseTransaction* transaction) {
    undoList.Push(transaction);
}

void BaseControl::EndUndoGroup() {
    undoList.EndGroup();
}

bool BaseControl::Undo() {
    SelectAll(false);
    LockRender();
    undoList.StepUndo();
    UnlockRender();
    return true;
}

bool BaseControl::Redo() {
    SelectAll(false);
    LockRender();
    undoList.StepRedo();
    UnlockRender();
    return true;
}

void BaseControl::Uninstall() {
    platform::RefPtr<IKVRInstaller> installer;
    platform::CreateInstance(kKVRInstallerClassId, &installer);
    if (!POSTCONDITION(installer.Get() != nullptr, "IInstall is NULL")) return;
    if (platform::Failed(installer->UninstallAllComponents()))
        TraceWrite("IInstall failed to completely uninstall");
}

std::string BaseControl::LoadResourceString(uint32_t id) const {
    return ControlStrings().Load(id);
}

size_t BaseControl::LoadResourceStringTo(uint32_t id, char* buffer, size_t size) const {
    return ControlStrings().LoadTo(id, buffer, size);
}

platform::MessageAnswer BaseControl::ShowMessageBox(const platform::MessageBoxRequest& request) {
    const int held = ReleaseRenderLockFully();
    const platform::MessageAnswer answer = platform::ShowMessageBox(request);
    ReacquireRenderLock(held);
    return answer;
}

bool BaseControl::AskUnlockObject(TopLevelObject* object) {
    if (!object) return false;
    platform::MessageBoxRequest box;
    box.text = LoadResourceString(kUnlockQuestion);
    box.caption = "Object locked";
    box.buttons = platform::MessageButtons::YesNo;
    box.icon = platform::MessageIcon::Warning;
    box.systemModal = true;
    if (ShowMessageBox(box) != platform::MessageAnswer::Yes) return false;
    object->SetLocked(false);
    return true;
}

platform::MessageAnswer BaseControl::ShowResourceMessage(uint32_t id, const char* caption) {
    platform::MessageBoxRequest box;
    box.text = LoadResourceString(id);
    box.caption = caption ? caption : "";
    box.icon = platform::MessageIcon::Information;
    box.systemModal = true;
    return ShowMessageBox(box);
}

platform::MessageAnswer BaseControl::ShowResourceMessageModal(uint32_t id) {
    platform::MessageBoxRequest box;
    box.text = LoadResourceString(id);
    box.caption = "Message";
    box.buttons = platform::MessageButtons::Ok;
    return ShowMessageBox(box);
}

bool BaseControl::IsRunning() const {
    return initialised && sceneRenderingEnabled && waitScreenLevel <= 0.0;
}

SceneView* BaseControl::GetCurrentView() const {
    return currentWindow;
}

SceneView* BaseControl::GetActiveView() const {
    return activeWindow;
}

SceneView* BaseControl::GetMainView() const {
    return mainWindow;
}

void BaseControl::SelectAll(bool selected) {
    LockRender();
    LinkedListIterator it(scene);
    it.LockList();
    for (LinkedListObject* node = it.First(); !it.IsDone(); node = it.Next()) {
        if (auto* object = dynamic_cast<SelectableObject*>(node)) object->SetSelected(selected);
    }
    it.UnlockList();
    if (SceneView* view = GetActiveView()) {
        if (UndoableObject* image = view->GetTraceImage()) image->SetSelected(selected);
    }
    UnlockRender();
}

void BaseControl::QueueHiddenObject(TopLevelObject* object) {
    if (!PRECONDITION(object != nullptr, "No object to queue as hidden")) return;
    hiddenQueue.Prepend(new HiddenQueueObject(object));
}

bool BaseControl::RemoveHiddenObject(TopLevelObject* object) {
    if (!object) return false;
    hiddenQueue.Lock();
    LinkedListIterator it(hiddenQueue);
    LinkedListObject* found = nullptr;
    for (LinkedListObject* node = it.First(); !it.IsDone(); node = it.Next()) {
        auto* entry = static_cast<HiddenQueueObject*>(node);
        if (entry->object == object) {
            found = node;
            break;
        }
    }
    const bool removed = found && hiddenQueue.DeleteNode(found);
    hiddenQueue.Unlock();
    return removed;
}

uint32_t BaseControl::TrackPopupMenu(const platform::Menu& menu, int screenX, int screenY) {
    const int held = ReleaseRenderLockFully();
    const uint32_t chosen = menu.Track(screenX, screenY);
    ReacquireRenderLock(held);
    return chosen;
}

void BaseControl::MoveAllObjects(const Vector& offset) {
    LockRender();
    LinkedListIterator it(scene);
    it.LockList();
    for (LinkedListObject* node = it.First(); !it.IsDone(); node = it.Next()) {
        if (auto* object = dynamic_cast<RenderableObject*>(node)) object->Translate(offset);
    }
    it.UnlockList();
    RebuildDisplayData();
    floorState.SetDouble(9, floorState.GetDouble(9) + offset.y);
    UnlockRender();
}

bool BaseControl::DownloadToCacheWithRetry(const char* url, char* cacheFile, size_t size,
                                           DownloadCallback* callback) {
    if (!PRECONDITION(url && *url && cacheFile && size > 0,
                      "DownloadToCacheWithRetry needs an address and a buffer"))
        return false;
    cacheFile[0] = 0;
    std::string path;
    bool ok = platform::DownloadUrlToCache(url, &path, callback);
    if (!ok && !(callback && callback->IsCancelled())) {
        WaitUnlessCancelled(callback, 1000);
        if (!(callback && callback->IsCancelled()))
            ok = platform::DownloadUrlToCache(url, &path, callback);
    }
    if (!ok) return false;
    if (!POSTCONDITION(path.size() < size, "Cache file name too long")) return false;
    std::memcpy(cacheFile, path.c_str(), path.size() + 1);
    return true;
}

char* BaseControl::AttachPathToDomain(const char* path, char* buffer, size_t size) const {
    if (!buffer || size == 0) return buffer;
    buffer[0] = 0;
    if (!PRECONDITION(path && contentDomain[0], "AttachPathToDomain")) return buffer;
    if (!*path) return buffer;
    const size_t domainLength = std::strlen(contentDomain);
    if (contentDomain[domainLength - 1] == '/' && (*path == '/' || *path == '\\')) ++path;
    const int n = std::snprintf(buffer, size, "%s%s", contentDomain, path);
    if (!POSTCONDITION(n >= 0 && static_cast<size_t>(n) < size, "Content address too long"))
        buffer[0] = 0;
    return buffer;
}

void BaseControl::BeginBusyDisplay() {
    loading = 1;
    waitScreenLevel = 1.0;
}

void BaseControl::ShowAntialiasedFrame() {
    antialiasedFrameRequest = 1;
    if (activeWindow) {
        activeWindow->antialiasRequest = 1;
        activeWindow->antialiasPass = 0;
    }
}

void BaseControl::IncrementLoadProgress() {
    globalState.SetInteger(11, globalState.GetInteger(11) + 1);
}
