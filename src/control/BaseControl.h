#pragma once

#include <GL/glu.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "control/dialogs/DialogOwner.h"
#include "control/bars/MainProgressBar.h"
#include "control/SceneState.h"
#include "control/bars/StatusBar.h"
#include "control/UndoList.h"
#include "foundation/BaseMoldingState.h"
#include "foundation/ColumnState.h"
#include "foundation/CoveringState.h"
#include "foundation/FenceState.h"
#include "foundation/GlobalState.h"
#include "foundation/LightState.h"
#include "foundation/LinkedList.h"
#include "foundation/SlabState.h"
#include "geometry/Outline.h"
#include "geometry/Vector.h"
#include "interaction/TapeMeasure.h"
#include "platform/Component.h"
#include "platform/Event.h"
#include "platform/MessageBox.h"
#include "platform/RecursiveLock.h"
#include "platform/Window.h"
#include "render/CameraIndicatorIcon.h"

class BaseModel;
class BaseTransaction;
class DownloadCallback;
class Compass;
class KeyDataList;
class KeyDataSublist;
class Light;
class Model;
class RenderableObject;
class SceneView;
class SerializableObject;
class Bitmap;
class EnvironmentObject;
class Material;
class StateObject;
class Terrain;
class TextureList;
class TopLevelObject;
class Window;

namespace platform {
class GLContext;
class GLDrawable;
class Menu;
}  // namespace platform

// The one object of the editor that everything else reaches. It owns the scene, the
// default-settings states, the scene-state stack, the undo and redo lists, the bars of
// the control, its GLU objects, the render thread and the render lock.
//
// One control serves one process: the first one made publishes itself as the
// process's control (theControl()); a second one is refused by the control's factory
// (CreateProcessControl).
//
// The render lock is the outermost lock of the program. Every change of the scene or of
// OpenGL state, from any thread, and every render pass are bracketed by LockRender and
// UnlockRender; it is re-entrant. When a thread gives up its last hold, its OpenGL
// context is detached, so the next holder makes its own context current. Before a modal
// box, a dialog or a wait for another thread, a thread gives up all its holds
// (ReleaseRenderLockFully) and takes them back after (ReacquireRenderLock).
class BaseControl : public DialogOwner {
public:
    static constexpr int kScratchPoints = 255;
    static constexpr int kSceneStates = 10;
    static constexpr size_t kPathSize = 260;
    static constexpr int kFenceStyles = 5;
    static constexpr int kBlueprintColors = 48;
    // Size of the buffer that LoadResourceString fills.
    static constexpr size_t kResourceTextSize = 1024;

    BaseControl();
    ~BaseControl() override;

    // The process's control, or null.
    friend BaseControl* theControl();

    // For the control's class factory: makes the process's control with `make` and hands
    // it out in `*out`. E_FAIL, leaving `*out` null, when the process already has a
    // control (one made at the same time by another thread is destroyed again).
    static platform::HRESULT CreateProcessControl(const std::function<BaseControl*()>& make,
                                                  BaseControl** out);

    // Implemented by the control window.
    virtual void ShowMainProgress(bool show, intptr_t owner) = 0;
    // Asks whether the locked object should be unlocked ("Object locked", Yes/No); Yes
    // clears its lock and answers true. The render lock is given up while it asks.
    virtual bool AskUnlockObject(TopLevelObject* object);
    virtual void SetStatusText(const char* text) = 0;
    virtual void SetProgressDetail(double size, intptr_t owner) = 0;
    virtual void PostHostMessage(uint32_t command) = 0;
    virtual void QueryUserStatus() = 0;

    // Render lock.
    bool LockRender();
    bool UnlockRender();
    // Gives up every hold of the calling thread; answers how many (0 when it held none).
    int ReleaseRenderLockFully();
    // Takes `count` holds back (nothing for 0 or less).
    void ReacquireRenderLock(int count);
    platform::RecursiveLock& RenderLock() { return renderLock; }

    // Starts the render thread running `loop`; false when it already runs.
    bool StartRenderThread(std::function<void()> loop);
    // Asks the render loop to end (under the render lock), then waits for the thread
    // with every hold of the caller given up, and takes the holds back.
    bool StopRenderThread();
    // Read by the render loop under the render lock.
    bool IsQuitRequested() const { return quitRequest.load(); }

    // Runs `work` on a thread the control owns. The flag it gets is raised when the
    // control wants it to stop; the control joins it before it goes.
    bool StartWorker(std::function<void(const std::atomic<bool>& cancel)> work);
    // Raises every worker's cancel flag and waits for them, with the caller's holds on
    // the render lock given up meanwhile.
    void CancelAndJoinWorkers();

    // Undo history.
    void BeginUndoGroup();
    void PushTransaction(BaseTransaction* transaction);
    void EndUndoGroup();
    // Step one group back or forward under the render lock; true.
    bool Undo();
    bool Redo();
    UndoList& GetUndoList() { return undoList; }

    // Uninstalls every component through the installer component.
    void Uninstall();

    // String resources: a copy of the text (empty when there is none), or the text cut
    // into `buffer` of `size` characters (answers the characters copied).
    std::string LoadResourceString(uint32_t id) const;
    size_t LoadResourceStringTo(uint32_t id, char* buffer, size_t size) const;
    // A topmost information box with the resource text and `caption`.
    platform::MessageAnswer ShowResourceMessage(uint32_t id, const char* caption);
    // The resource text with the caption "Message" and an OK button.
    platform::MessageAnswer ShowResourceMessageModal(uint32_t id);
    // Every message box of the control goes through here: the calling thread's holds on
    // the render lock are given up while the box is open and taken back after.
    platform::MessageAnswer ShowMessageBox(const platform::MessageBoxRequest& request);

    // Allows (or stops) drawing of the scene by the render loop, which reads the switch
    // between its passes. The switch is atomic rather than under the render lock: the
    // lock's last release detaches the calling thread's OpenGL context, and a window
    // resized while its context is current must keep it.
    void SetRenderEnabled(bool enabled) { sceneRenderingEnabled = enabled ? 1 : 0; }

    // Running: initialised, rendering enabled and the wait screen gone.
    bool IsRunning() const;

    // The view windows as scene objects see them: the one being drawn, the one that
    // receives input and the main one; null while there is no such window.
    virtual SceneView* GetCurrentView() const;
    virtual SceneView* GetActiveView() const;
    virtual SceneView* GetMainView() const;

    // Selects or deselects every scene object.
    void SelectAll(bool selected);
    // Every scene object decides again whether the current view shows it.
    bool RebuildDisplayData();
    // After a change of units or preferences: dimensions rebuild their labels and walls
    // refresh their dimension labels.
    void RefreshTypedObjects();
    // Prepend an entry for a hidden object to the hidden queue; remove the first entry
    // of the object (false when it has none).
    void QueueHiddenObject(TopLevelObject* object);
    bool RemoveHiddenObject(TopLevelObject* object);
    // Moves every scene object by the offset under the render lock, rebuilds the display
    // data and raises the ground-floor offset (FloorState double 9) by the offset's y.
    void MoveAllObjects(const Vector& offset);
    // Makes a scene object from a plan element (or an undo record) by its kind and puts it
    // in the scene, or reads the element into the state or the object it names; answers
    // it, or null for a kind the editor cannot make.
    SerializableObject* LoadPlanObjects(const KeyDataSublist& element);
    // Tracks a pop-up menu with every hold of the calling thread on the render lock
    // given up meanwhile; answers the chosen id (0 when dismissed).
    uint32_t TrackPopupMenu(const platform::Menu& menu, int screenX = 0, int screenY = 0);

    const char* GetContentDomain() const { return contentDomain; }
    GLUtesselator* GetTessellator() const { return tessellator; }
    GLUquadric* GetQuadric() const { return quadric; }
    LinkedList* GetWindowList() const { return windowList; }
    TextureList* GetTextureList() const { return textureList; }

    // Downloads and content addresses.
    //
    // Fetches `url` into the download cache, reporting to `callback` (may be null); when
    // that fails, tries once more after a second, unless the callback was cancelled
    // meanwhile. The cache file's path goes into `cacheFile` (`size` characters, always
    // terminated). True when the file is in the cache.
    static bool DownloadToCacheWithRetry(const char* url, char* cacheFile, size_t size,
                                         DownloadCallback* callback);
    // The content domain followed by `path` in `buffer` (`size` characters), with one
    // leading '/' or '\' of the path dropped when the domain ends in '/'; an empty path
    // gives an empty text. Answers `buffer`; it is left empty, with a trace, when the path
    // or the domain is missing or the address does not fit.
    char* AttachPathToDomain(const char* path, char* buffer, size_t size) const;
    // Raises the wait screen: a load runs and the screen is fully opaque.
    void BeginBusyDisplay();

    Vector scratchPoints[kScratchPoints];
    Vector scratchPoints2[kScratchPoints];
    GlobalState globalState;
    FloorState floorState;
    WallState wallState;
    RoofState roofState;
    CounterState counterState;
    FenceState fenceState;
    CoveringState coveringState;
    ColumnState columnState;
    FogState fogState;
    BaseMoldingState baseMoldingState;
    Vector pendingOffset;
    // Scene objects taken out of the scene, destroyed by the render thread.
    LinkedList deletedObjects;
    SceneState sceneStates[kSceneStates];
    CameraIndicatorIcon cameraIcon;
    UndoList undoList;
    // Hidden objects, newest first.
    LinkedList hiddenQueue;
    // The top-level objects of the scene; the list owns them.
    LinkedList scene;
    LinkedList secondObjectList;
    StatusBar statusBar;
    TapeMeasure tapeMeasure;
    MainProgressBar progressBar;
    LinkedList extraList;
    // View windows, the main window first; the list owns them.
    LinkedList* windowList = nullptr;
    Window* mainWindow = nullptr;
    Window* activeWindow = nullptr;
    Window* currentWindow = nullptr;
    char contentDomain[kPathSize] = {};
    char planName[kPathSize] = {};
    char bufferedFileName[kPathSize] = {};
    // Read by the render thread while the UI and load threads set them.
    std::atomic<uint8_t> loadKind{0};
    std::atomic<uint8_t> loading{0};
    std::atomic<uint8_t> initialised{0};
    std::atomic<uint8_t> sceneRenderingEnabled{1};
    std::atomic<double> waitScreenLevel{1.0};
    uint8_t lowFrameRateWarningEnabled = 1;
    double frameRate = 0.0;
    int64_t counterFrequency = 1;
    int64_t passStart = 0;
    int64_t passEnd = 0;
    // Who made an OpenGL context current last; cleared by UnlockRender.
    uint8_t currentContextCode = 0;
    // While set, LockRender traces the current contexts and detaches them first. Set by
    // the closing control while threads of its objects may still take the lock.
    std::atomic<uint8_t> glTraceRequest{0};
    int markerDisplayList = -1;
    Terrain* terrain = nullptr;
    // The sky dome (kind 2001); owned.
    EnvironmentObject* sky = nullptr;
    // The default normal map of materials without a bump map, and the default material;
    // owned, made when the control starts.
    Bitmap* normalMap = nullptr;
    Material* defaultMaterial = nullptr;
    BaseModel* fenceModels[2][kFenceStyles] = {};
    RenderableObject* arrowModels[2] = {};
    Model* doorKnobModel = nullptr;
    Compass* compass = nullptr;
    RenderableObject* activeLight = nullptr;
    // Who holds the progress bar; read by the render thread.
    std::atomic<intptr_t> progressOwner{0};
    int mapRect[4] = {};
    uint8_t arrowDisplay = 0;
    float blueprintColors[kBlueprintColors][4] = {};
    int blueprintColorScheme = 0;
    // The object whose default-settings state is being edited; null when none.
    StateObject* currentStateObject = nullptr;
    // The object that the section-plane test leaves out; null when none.
    RenderableObject* excludedObject = nullptr;

    // --- Render thread start-up ---------------------------------------------------
    // The render thread's loop (RenderLoop.cpp): OpenGL start-up on the main window,
    // the "Init" signal, then passes until the quit request. False when OpenGL failed
    // to start.
    bool RenderLoop();
    // OpenGL on the main window: its buffer, pixel format and context; the context is
    // left detached. False when no context could be made current.
    bool InitOpenGL();
    std::thread::id RenderThreadId() const { return renderThread.get_id(); }
    // Signalled once OpenGL runs. Held (initPending) until a waiter has seen it.
    platform::Event initEvent{platform::Event::Kind::AutoReset, false, "Init"};
    std::atomic<bool> initPending{false};
    // The main window's buffer and rendering context, made by the render thread.
    std::unique_ptr<platform::GLDrawable> mainDrawable;
    std::unique_ptr<platform::GLContext> mainContext;

    // ---- Render loop ----
    // Asks for the smoothed image of the active window; it is drawn while scene
    // rendering is disabled.
    void ShowAntialiasedFrame();
    // 200, 100, 50 or 0 by the extensions found at start-up.
    int shadingLevel = 0;
    uint8_t radeonRenderer = 0;
    // Set by the plan-load thread when a load ends; the render thread then ends the busy
    // state and clears it.
    std::atomic<bool> loadFinished{false};
    // Set by the first pass after a finished load (and while no load has run yet); read by
    // the user-interface thread.
    std::atomic<bool> passAfterLoad{true};
    uint8_t antialiasedFrameRequest = 0;
    // Set while a window draws one pass of its smoothed frame.
    uint8_t antialiasInProgress = 0;
    // The control window's client rectangle as its last resize gave it; the resize
    // timer hands it to the view.
    platform::Rect clientRect;
    // 1.0 while a slab editor draws a preview of what it builds, else 0.0.
    double drawingPreview = 0.0;
    // Where a slab editor draws next (its drawing point), shown while drawingPreview is set.
    Vector drawingPoint;
    // The grip of a selected object that moves it up and down: a pick of it as the
    // second name of a press asks for a vertical move.
    OutlinePoint liftHandle;
    // Status bar 1 of the main view counts objects, materials and selected polygons.
    uint8_t showStatistics = 0;
    // Set while a view is captured for a printed page; text labels then go into
    // textPrintItems (TextPrintObject) instead of the picture.
    uint8_t printing = 0;
    LinkedList textPrintItems;
    // The orbit target marker: where the camera orbits, drawn while the display value
    // is not 0.
    Vector orbitTarget;
    double orbitTargetDisplay = 0.0;
    // First display list of the dialog font (characters 0..127); 0 when none.
    unsigned dialogFontList = 0;

    // ---- Scene-wide operations, scene-state stack and control services ----
    // (SceneOps.cpp, ControlServices.cpp)

    // Scene-state stack. Stores the main window's camera and display settings as entry
    // `index` (0..9); an entry already used is only overwritten when the user agrees.
    void SaveSceneStateAs(int index);
    // Gives the main window the camera and display settings of entry `index`; an empty
    // entry is reported to the user and changes nothing (false).
    bool GoToSceneState(int index);

    // Takes every selected scene object (and a selected trace image of the active window)
    // out of the scene as one undo group; the render thread destroys them.
    void DeleteSelectedObjects();
    // The mouse mode of every view window lets go of the object it edits.
    void ReleaseHandles();
    // Shows or hides the scene objects whose type meets `typeMask` in the active window.
    // Showing every type (TypeMask::kAllTypes) also empties the hidden queue. With
    // `showBusy` the busy cursor is up meanwhile and the display data are rebuilt.
    void SetVisibilityByTypeMask(uint64_t typeMask, bool visible, bool showBusy);
    // Shows the types when the active window hides them, else hides them.
    void ToggleVisibilityByTypeMask(uint64_t typeMask);
    // The active window's second type mask (render-state int64 1).
    void AddToSecondTypeMask(uint64_t typeMask);
    void RemoveFromSecondTypeMask(uint64_t typeMask);
    void ToggleSecondTypeMask(uint64_t typeMask);
    // Hidden queue: an entry for hidden types, newest first; the first matching entry
    // removed (false when none).
    void QueueHiddenTypes(uint64_t typeMask);
    bool RemoveHiddenTypes(uint64_t typeMask);
    // Undoes the newest hiding: shows its object or its types and drops the entry.
    void ApplyPendingVisibility();
    // Makes `light` the active light when it is on (on value 1.0) and not locked; null
    // clears the active light. False when refused.
    bool SetActiveLight(RenderableObject* light);
    // ---- Default content (DefaultContent.cpp) ----
    static constexpr char kDefaultSky[] = "plansys/defaultSky/cumulus.3c_";
    // A new sky dome from the description at `address` (a domain path or a whole
    // address) replaces the sky, the old one deleted under the render lock.
    void ReplaceSky(const char* address);
    // With a context current: the default normal map, made once and shared.
    void CreateNormalMap();
    // The default material "textures/finished_wood/cherry_blonde_im.3c_", loaded now.
    void LoadDefaultMaterial();
    // A sun from the content server when the scene has none (nothing when it gives none).
    void RestoreSun();
    // The sun when the scene has none, then the default spot light, made the active light.
    void AddDefaultLights();
    // Whether the scene holds the sun (its directional light).
    bool HasSun() const;
    // Frees the default content (the caller makes a context current for the textures).
    void FreeDefaultContent();

    // Under the render lock: puts the light at the head of the scene, after the lights
    // already there, so that lights keep their order.
    void PlaceLightInScene(RenderableObject* light);
    // The first light of the scene that SetActiveLight takes (made active), or null.
    RenderableObject* FindActiveLight();
    // Whether a light of the scene is switched off or dimmed.
    bool HasSwitchedLight();
    // Selection markers, with the main window's context current for the cube's list.
    void BuildMarkerCube();
    void DrawMarker(double size);
    void DrawSelectionSphere(double radius);
    void DrawCone(int segments, double radius);
    // The blueprint colour scheme (0..5) of the control and of the slabs' children.
    void SetBlueprintColorScheme(int scheme);
    // Number of items of the scene as a user counts them: lights, dimensions and
    // moldings left out, slab children and group members counted in.
    int CountItems();
    // Shows the resource message once: only while GlobalState boolean `booleanSlot` is
    // set, which it then clears. True when shown.
    bool ShowOnceMessage(uint32_t stringId, const char* caption, int booleanSlot);
    // The main window's prompt bar shows `text` for `milliseconds`.
    void ShowTimedMessage(uint32_t milliseconds, const char* text);
    // Even-odd test of (x, z) against the polygon of points (x in .x, z in .y).
    static bool PointInPolygon(double x, double z, const Vector* points, int count);
    // The view window with that handle becomes the active one; no other change.
    void SetActiveWindowByHandle(platform::WindowHandle handle);

    // Floors: FloorState double 4 is the current floor level, double 9 the base
    // elevation, WallState double 5 the storey height.
    // Stores the level as one undo step and shows the scene of that floor.
    void SetCurrentFloor(double level);
    // The level of the floor above (`up`) or below `elevation`, stopping at a slab top
    // that lies between; never below 1.0.
    double ElevationToFloor(double elevation, bool up);
    // The elevation at which the current floor stands.
    double GetCurrentFloorElevation() const;

    // Map window. The window itself is made and destroyed by the control window; the
    // control keeps its place between openings.
    Window* FindMapWindow() const;
    void ToggleMapWindow();
    void OpenMapWindow();
    // The map's left and top from a move of the map window.
    void SetMapOffset(int x0, int y0, int x, int y);
    // Where the map window goes on the screen (left, top, right, bottom), kept on the
    // screen; the first placement stands beside the main window, later ones follow the
    // main window's moves.
    platform::Rect PlaceMapWindow();
    // The main window's client area on the screen, and the screen's size. Headless the
    // client area starts at the origin and the screen is 1024 x 768.
    virtual platform::Rect GetMainWindowScreenRect() const;
    virtual platform::Size GetScreenSize() const;
    // Makes and destroys the floating map window (title "     Map Window", camera
    // image at `imageUrl`); null when there is no window to make.
    virtual Window* CreateMapWindow(const platform::Rect& screenRect, const char* imageUrl);
    virtual void DestroyMapWindow(Window* window);

    // Drag and drop from web pages: the browser's Internet zone must allow it.
    static bool IsDragDropAllowed();
    static bool AllowDragDrop();

    // Text and file-name utilities.
    static char ToLowerChar(char c);
    static void LowerCaseInPlace(char* text);
    // Lower-cases `a` in place, then compares it with `b`.
    static int CompareNoCase(char* a, const char* b);
    // The file name of `path` without folder, extension and a trailing "[n]" (the
    // browser cache's copy number), cut to `size`; answers `buffer`.
    static char* FileTitle(const char* path, char* buffer, size_t size);

    // Registry values under the product key.
    static bool RegistryWriteDouble(const char* folder, const char* name, double value);
    static bool RegistryReadDouble(const char* folder, const char* name, double* value);
    static bool RegistryWriteString(const char* folder, const char* name, const char* text);
    static bool RegistryReadString(const char* folder, const char* name, char* buffer, size_t size);
    static bool RegistryRemoveKey(const char* folder);
    // Three doubles name + "0", "1", "2"; reading fails at the first missing one and
    // leaves `out` as it was.
    static bool RegistryReadVector(const char* folder, const char* name, Vector& out);
    static bool RegistryWriteVector(const char* folder, const char* name, const Vector& v);

    // Draws the direction arrow when the arrow display is on.
    void DrawDirectionArrow();

    // The main window's place when the map window was last placed, and whether it was.
    platform::Rect mapAnchor;
    uint8_t mapPlaced = 0;
    Window* mapWindow = nullptr;
    // ---- end of scene-wide operations and control services ----

    // ---- Commands and keys ----
    // Set by the text editor while a text object is typed: letter shortcuts and Enter
    // are left to the text then.
    uint8_t textEntryActive = 0;
    // Flipped by F9.
    uint8_t f9Flag = 0;
    // ---- end of commands and keys ----

    // ---- Models ----
    // One more download done while a plan loads: GlobalState integer 11 grows by 1.
    void IncrementLoadProgress();

    // ---- Handles of scene objects (ObjectHandles.cpp) ----
    // The status line of the view being drawn (the control's own bar without a view).
    void ShowObjectStatus(const char* text);
    // ---- end of handles ----

    // ---- Plan files (PlanFiles.cpp) ----
    // Load kinds: an open (or idle), a cancel asked by closing, a cancel asked by the
    // user, a merge.
    static constexpr uint8_t kLoadOpen = 0;
    static constexpr uint8_t kLoadCancelByClose = 1;
    static constexpr uint8_t kLoadCancelByUser = 2;
    static constexpr uint8_t kLoadMerge = 3;
    // The mode a view returns to when a plan is opened.
    static constexpr int kDefaultMouseMode = 3;

    // Writes the scene as a plan to `path` (a buffer of `size` characters): a "kvp" or
    // "kvu" path becomes a cabinet at the "kvp" name, which is left in the buffer; any
    // other path gets the plain stream. The new file replaces the old one only once it
    // is whole. Unless `autoRecovery`, a failure is shown to the user and a success
    // makes the path the plan's name. False when nothing was saved.
    bool WriteSceneGraphFile(char* path, size_t size, bool autoRecovery);
    // Writes "restore.kvp" in the temporary folder while the plan is modified.
    bool WriteAutoRecoveryFile();
    // Clears the modified flag, puts the path first in the recent files and makes its
    // title the plan's title.
    void SetPlanName(const char* path);
    // Takes every object out of the scene and empties the undo lists, the main window's
    // view undo lists and the extra list; the scene states become unused.
    void ClearScene();
    // Elements (in sublists too, but not inside "ObjectInformation") whose key holds
    // "URL", "Url" or "url" and whose value is not empty.
    static int CountDownloads(const KeyDataList& list);
    // Opens the plan at `path` on the calling thread. With `checkMerge` (a dropped or
    // web plan) the plan replaces the scene, merges as one group, or is added, by what
    // it holds. Answers the group a merge made, or null.
    SerializableObject* LoadPlanFile(const char* path, bool checkMerge);
    // Starts the plan-load thread on a copy of `path`; the control joins it before it
    // goes. False when it could not start.
    bool StartPlanLoadThread(const char* path);
    // Empties the scene and starts loading the plan at `path` in its place, the path
    // becoming the plan's name; false when the load could not start.
    bool ReplaceSceneWithPlan(const char* path);
    // Sets the current floor (FloorState double 4) without an undo step.
    void SetFloorLevel(double level);
    // The plan's save, save-as, open and merge commands. The control window's scripting
    // members of the same names are these.
    virtual platform::HRESULT SavePlanAs();
    virtual platform::HRESULT SavePlan();
    virtual platform::HRESULT LoadPlan();
    virtual platform::HRESULT MergePlan();
    // Signalled when a cancelled load has ended; the control window waits for it.
    virtual void SignalPlanLoadDone() {}
    // Starts an empty, unnamed plan (also after the user cancelled a load): the scene
    // and the undo lists emptied, the title "Untitled", nothing modified. The control
    // window resets its windows and states as well.
    virtual platform::HRESULT OpenNewPlan();
    // The titles of the recent files, command ids 111 to 119; the view menus show it
    // under "Recent Files".
    platform::Menu* GetRecentFilesMenu() const { return recentFilesMenu.get(); }
    std::unique_ptr<platform::Menu> recentFilesMenu;
    // While a merge loads: the scene as it was, set aside. Merged objects whose ids it
    // holds take fresh ones before they join.
    LinkedList* mergeSetAside = nullptr;
    // ---- end of plan files ----

private:
    struct Worker {
        std::thread thread;
        std::shared_ptr<std::atomic<bool>> cancel;
        std::shared_ptr<std::atomic<bool>> done;
    };

    // Waits for `thread` with every hold of the caller on the render lock given up.
    void JoinUnlocked(std::thread& thread);

    TextureList* textureList = nullptr;
    GLUtesselator* tessellator = nullptr;
    GLUquadric* quadric = nullptr;
    std::thread renderThread;
    std::atomic<bool> quitRequest{false};
    std::mutex workersMutex;
    std::vector<Worker> workers;
    bool published = false;
    mutable platform::RecursiveLock renderLock;
};

BaseControl* theControl();
