#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "control/bars/HelpWindow.h"
#include "control/bars/MenuBar.h"
#include "control/bars/StatusBar.h"
#include "control/bars/ToggleIndicatorBar.h"
#include "control/bars/Toolbar.h"
#include "foundation/LinkedList.h"
#include "foundation/ViewState.h"
#include "geometry/Vector.h"
#include "model/SceneView.h"
#include "platform/Messages.h"
#include "platform/Window.h"

class DragDropHandler;
class FloorState;
class GlobalState;
class LightSource;
class MouseHandler;
class PickableObject;
class RenderableObject;
class SceneState;
class SavedViewWindow;
class ShadowLight;
class TraceImageModel;
class WallState;
class ViewTransaction;

namespace platform {
class GLContext;
class GLDrawable;
class Menu;
}  // namespace platform

// One OpenGL view of the scene: the control's main view or a secondary one. It owns its
// camera and display settings, the drawn bars of the view, one handler per mouse mode,
// the picking buffers, the stored camera of each view mode and the view undo and redo
// stacks. The scene belongs to the control; a window only draws it.
//
// A rendering context is current on one thread at a time, so every user of a window's
// context holds the control's render lock first.
class Window : public LinkedListObject, public SceneView {
public:
    static constexpr int kModeCount = 32;
    static constexpr uint32_t kViewStackLimit = 256;
    static constexpr int kPickPolygonSize = 255;
    static constexpr int kSelectionBufferSize = 128;
    static constexpr int kStoredCameras = 5;
    static constexpr int kIndicatorBarWidth = 40;
    static constexpr int kBarHeight = 21;
    static constexpr int kTopBarHeight = 28;
    // Timers of the window handle that die with the window.
    static constexpr uintptr_t kSingleClickTimer = 2;
    static constexpr uintptr_t kResizeTimer = 13;
    static constexpr uintptr_t kTimedPromptTimer = 20;

    // Makes the handler of mode `mode` (0..31); null when it could not be made.
    using ModeFactory = std::function<MouseHandler*(int mode)>;

    // A window with the mouse modes of the editor.
    Window();
    // A window whose modes come from `makeMode`, called for 0..31 in order.
    explicit Window(const ModeFactory& makeMode);
    ~Window() override;

    // Makes the window's rendering context current on the calling thread. With a label
    // the attempt is traced step by step.
    virtual void Activate(const char* label = nullptr);
    // Passes a key-down to the current mode; answers 0.
    virtual platform::LResult ForwardKeyDown(uint32_t message, platform::WParam key,
                                             platform::LParam flags, bool& handled);
    // New client rectangle: size, aspect, bar layout; enables scene rendering.
    virtual void OnSize(const platform::Rect& client);

    // Detaches whatever context is current on the calling thread.
    void ReleaseCurrentContext();

    // ---- The drawn bars' share of the mouse ----
    // Offered every mouse message before the current mode gets it; true when the bars
    // took it (the mode then does not see it). Moves, hovers and leaves reach the menu
    // bar, the toolbar, the indicator bar and the help bar and go on to the mode. On the
    // main window a press on a menu title opens its menu; a press on a toolbar button
    // waits for the single-click timer (so that a double click sends the button's
    // other command instead), and its release is taken too. A map window offers the
    // press to its navigator first.
    bool OnBarMouse(uint32_t message, platform::LParam lParam);
    // The single-click timer of a toolbar press: the button's command goes out. True
    // when the timer was the toolbar's.
    bool OnBarTimer(uintptr_t id);
    // Window point (x, y), y from the top, in screen pixels.
    void ClientToScreen(int& x, int& y) const;
    // The top-level window that embeds this view (saved-view and map windows), or null.
    SavedViewWindow* frame = nullptr;

    // ---- View context menu (ViewMenu.cpp) ----
    // Appends the view's entries to `menu`: view modes, navigation modes, field of view,
    // what to hide, show all, the start view, the fit, snapping, multiple select and the
    // trace file.
    void BuildViewMenu(platform::Menu& menu);
    // Carries out a command of that menu; other ids do nothing. True when it was one.
    bool OnViewCommand(uint32_t id);

    // 2D overlay drawing in window pixels, (0, 0) the lower left. Begin saves the matrices
    // and every attribute; End restores them. Nesting is refused with a trace.
    bool Begin2DRender();
    bool End2DRender();
    void Setup2DProjection();
    // Replaces the trace image by the image at `url` and shows it.
    void SetTraceImage(const char* url);

    // --- the view as scene objects see it ---
    // Objects keep one visibility bit per reflection layer; the layer being drawn names it.
    int GetViewId() const override { return layerCounter; }
    RenderState& GetRenderState() override { return viewFlags; }
    // Installs `count` world points (at most 255) as the pick polygon, projected with the
    // cached matrices; null points clear it.
    void SetPickPolygon(const Vector* points, int count);
    bool HitTestPolygon(const Vector* points, int count, bool boxTest) override;
    // The plane of the pick polygon.
    Vector GetSectionPlane() const override { return pickPlane; }
    int GetPassCount() const override { return frameCounters[0]; }
    UndoableObject* GetTraceImage() const override;
    void DeleteTraceImage() override;

    // Swaps the front face between clockwise and counter-clockwise (mirrored drawing).
    void ToggleFrontFace();

    // Passes a mouse message's packed position to the current mode; answers 0.
    platform::LResult ForwardToCurrentMode(uint32_t message, platform::WParam wParam,
                                           platform::LParam lParam, bool& handled);
    // Under the render lock: the current mode leaves, mode `mode` becomes current and
    // enters. Refused (false, nothing changed) for a number outside 0..31 or a mode that
    // could not be made.
    bool SetMouseMode(int mode);
    MouseHandler* GetMode(int mode) const;
    MouseHandler* GetCurrentMode() const override { return currentMode; }
    int GetCurrentModeNumber() const { return currentModeNumber; }

    // View undo. A change is bracketed by Begin and End; a second Begin while one is
    // pending keeps the first snapshot. All of them do nothing while view undo is off.
    void BeginViewTransaction();
    void EndViewTransaction();
    // Onto the undo stack; empties the redo stack.
    void PushViewTransaction(ViewTransaction* transaction);
    // Takes the newest record of `from` (the undo or the redo stack), applies its
    // before (undo) or after (redo) snapshot under the render lock and moves it to
    // `to`. False when off, when `from` is empty or not one of the two stacks.
    bool popAndProcessViewStack(SizableLinkedList* from, SizableLinkedList* to);
    bool UndoViewChange() { return popAndProcessViewStack(&viewUndoStack, &viewRedoStack); }
    bool RedoViewChange() { return popAndProcessViewStack(&viewRedoStack, &viewUndoStack); }
    // Camera, display settings and field of view from a snapshot.
    void ApplyViewSnapshot(const SceneState& snapshot);
    // A snapshot of the camera (double 0 the field of view) and the display settings.
    std::unique_ptr<SceneState> TakeViewSnapshot() const;

    // ---- Camera and projection (Camera.cpp) ----
    // View modes (render-state integer 0).
    static constexpr int kPerspectiveView = 0;
    static constexpr int kBlueprintView = 1;
    static constexpr int kElevationView = 2;
    static constexpr int kIdentityView = 3;
    static constexpr int kOverheadView = 4;
    // Below this many pixels of height the perspective fit has no room for its margin.
    static constexpr double kFitMarginPixels = 56.0;

    // The view mode; a stored value outside 0..4 counts as the identity view (3).
    int GetViewMode() const;
    // Blueprint and elevation.
    bool IsOrthographicView() const;
    bool IsElevationView() const;

    // Projection of the view mode over the whole window; while picking (render-state
    // boolean 3) narrowed to 0.1 x 0.1 pixel around (x, y), y counted from the top.
    void SetupProjection(double x, double y);
    // Model-view from the camera: pitch, then yaw, then the offset.
    void SetupModelView();
    // Per-frame OpenGL state and the cleared colour and depth buffers.
    virtual void InitGLState();
    // Copies the live viewport and matrices into the caches (not while picking). Every
    // screen/world conversion below reads the caches only.
    void CacheMatrices();

    // Stored cameras, one per view mode. Modes outside 0..4 are refused.
    void SaveCameraPreset(int mode);
    void RestoreCameraPreset(int mode);
    // Switches the view mode, keeping the camera of the old mode and taking the stored
    // camera of the new one, as one view change. False, nothing changed, for a mode the
    // view flags do not take.
    bool SetViewMode(int mode);
    // The start cameras of the view modes; the camera becomes the current mode's.
    void InitCameraPresets();
    // Under the render lock: preset `n` (0 front, 1 back, 2 and 3 the sides, 4 from
    // above, 5 the start view or the whole plan), then stored for the current mode.
    void ApplyCameraPreset(int n);

    void MoveCamera(const Vector& v);
    void TurnCamera(double degrees);
    void TiltCamera(double degrees);
    void StrafeCamera(double d);
    void MoveCameraForward(double d);
    void MoveCameraAlongView(double d);
    // Orthographic views: the half sizes grow by d (d / aspect); refused (false) when
    // either would be 10.0 or less. Perspective: the eye moves d along the view.
    bool ZoomBy(double d);

    // "Fit Plan To View": the camera shows every wall, floor, roof and model. False,
    // the camera unchanged, when the scene has nothing to fit.
    bool ZoomToExtents();
    // Points of the scene objects that the fit takes, in scene order.
    std::vector<Vector> CollectFitPoints() const;
    bool FitOrthographic(const std::vector<Vector>& points);
    // False, the camera unchanged, without points or while the window is 56 pixels high
    // or less.
    bool FitPerspective(const std::vector<Vector>& points);

    // "Step Into View" on the main window: the eye 56.0 above the plan point under
    // (x, y), or at the current floor's eye height when x or y is -1; perspective,
    // looking slightly down.
    void StepIntoViewAt(int x, int y);
    // When `height` is at or above the eye, lowers it to the highest wall-height step
    // (from the ground elevation) below the eye; true when it did.
    bool ClampHeightBelowEye(double& height) const;
    // The ray under window point (x, y), y from the top, meeting the plane y = h, or
    // the plane through `point` with `normal`. No meeting point: every component is
    // DBL_MAX (test with IsNoIntersection).
    Vector ScreenToHeightPlane(double x, double y, double h) const;
    Vector ScreenToPlane(double x, double y, const Vector& point, const Vector& normal) const;
    static bool IsNoIntersection(const Vector& v);
    // Unit direction of the view axis through the viewport centre.
    Vector UnprojectViewCenter() const;
    // Size factor of editor markers at `point`: 0.5 near the eye up to 5.0 far away.
    double GetMarkerScale(const Vector& point) const;
    // Shows every object type again and resets the view's display options.
    void ResetViewOptions();
    // ---- end of camera and projection ----

    // ---- Picking (Picking.cpp) ----
    // The window's pick of window point (x, y), y counted from the top: the scene is
    // drawn in selection mode around the point and the nearest hit record is kept at the
    // front of the selection buffer. Answers that record's name count; 0 when nothing
    // pickable was hit (also for a window without a buffer, and when the selection
    // buffer overflowed).
    int ProcessSelectionBuffer(int x, int y);
    // Name `i` (0 the outermost) of the record the last pick kept, as the object it
    // names; null past the record's names, or when the name stands for no live object.
    PickableObject* GetPickedObject(int i) const;
    // Chooses among the `hits` records of the selection buffer and moves the chosen one
    // to the front; answers its name count. A slab covering hit in front of something
    // else gives way to it: to any other record, or to a part unless the part belongs to
    // the covering or to the covering's owner. A covering hit alone picks nothing.
    int ChooseHit(int hits);
    // The world point under window point (x, y) (y from the top), with the depth in w;
    // (0, 0, 0) where nothing is drawn or outside the window.
    void GetUnderCursor(int x, int y, Vector& out);
    // Whether `object` meets the polygon of `count` world points (a rubber band, say):
    // with 3 or more points the object runs its window test against them as this
    // window's pick polygon, and the installed pick polygon is put back after. With fewer
    // points the answer comes from the test the object made last.
    bool HitTestWithPolygon(RenderableObject* object, const Vector* points, int count);
    // Clears in every scene object and the terrain the visibility bits of the reflection
    // layers at or above the layer counter.
    void ApplyLayerMask();
    // The texture coordinates (s, t, r; w = 1) under window point (x, y) on `object`,
    // found by drawing the object alone in feedback mode. Where the object has no polygon
    // under the point the answer is (0, 0, 0) with w = 0.
    Vector ProcessTextureClick(int x, int y, RenderableObject* object);
    // ---- end of picking ----

    // ---- Render passes (RenderPasses.cpp) ----
    // The sorted passes take at most this many objects.
    static constexpr int kMaxSortedObjects = 500;
    static constexpr int kAntialiasPasses = 8;
    // Type groups of the opaque pass, in drawing order: models, groups, texts, fences and
    // moldings; floors; counters; stairs; shaft sides; walls; roofs and roof groups.
    static constexpr uint64_t kObjectGroups[7] = {0x2081080008ull,  0x80, 0x4000000,     0x20000000,
                                                  0x20000000000ull, 0x40, 0x800000100ull};
    // The grid spans this far from the origin each way.
    static constexpr double kGridExtent = 2400.0;
    // A finer spacing would draw more than 4801 lines each way.
    static constexpr double kMinGridSpacing = 1.0;

    // An object of a sorted pass with its depth along the view axis.
    struct DepthEntry {
        RenderableObject* object;
        double key;
    };

    // One frame of the view; (x, y) is the pick point while picking, else (0, 0).
    void RenderScene(int x, int y);
    // Sky, reflections, the objects (opaque: grouped by type; else every object for its
    // transparent parts), the ground grid and the blueprint overlays.
    void RenderEnvironment(bool opaque);
    void RenderSky();
    void RenderReflections();
    void RenderObjectsByType();
    void RenderAllObjects();
    // The objects with see-through parts, back to front.
    void RenderTransparentObjects();
    void RenderBlueprintOverlays();
    // Perspective views: walls that stand across the line of sight are cut away for the
    // frame (CutAway.cpp).
    void CutAwayBlockingWalls();
    void RenderGroundGrid();
    // Installs the view's pick polygon (the 120-pixel square around (x, y) when `around`,
    // else the whole viewport) and lets every shown object test itself against it.
    void UpdateViewVisibility(bool around, int x, int y);
    void EnableLights(bool on);
    void RenderShadowedLights();
    void RenderOrbitCrosshairs();
    void RenderChalkLines();
    void RenderWalkCrosshair();
    // Polygons of the selected models.
    int CountSelectedPolygons();
    // One of the eight jittered passes of the smoothed frame.
    void RenderAntialiased();
    // The cleared background alone, shown while the control starts.
    void PresentClearedFrame();
    // While picking or rendering for a texture click.
    bool IsPicking() const;

    // Ascending by key (the farthest first); equal keys keep their order.
    static void SortByDepth(DepthEntry* list, int n);
    // The order of the opaque pass: groups in turn, and the types of the deferred mask
    // after every other (left out while picking). Each object comes once.
    static std::vector<RenderableObject*> GroupedDrawOrder(const LinkedList& scene,
                                                           uint64_t deferred, bool picking);
    // At most `limit` shown objects with a see-through part, keyed along `axis`: slabs by
    // the midpoint of their box, objects with a position by it, others by their box.
    static std::vector<DepthEntry> CollectTransparentObjects(const LinkedList& scene,
                                                             const Vector& axis, size_t limit);
    // The work-grid spacing: the stored one, the unit default (a foot, or a metre in
    // metric) when it is not a positive number, never below kMinGridSpacing.
    static double WorkGridSpacing(const GlobalState& global);
    // The status bar's floor label, with the frame rate when that is switched on;
    // `warning` is set off the ground floor.
    static std::string FloorLabel(const GlobalState& global, const FloorState& floor,
                                  const WallState& wall, double frameRate, bool& warning);
    // The lights that a frame switches on, in scene order.
    static std::vector<ShadowLight*> LightsToSwitchOn(const LinkedList& scene,
                                                      const GlobalState& global);

    // The next OpenGL light number of the frame.
    uint32_t nextLight = 0;
    // The light whose pass is being drawn; surfaces set up its texture coordinates.
    LightSource* currentLight = nullptr;
    // Corners of the pick polygon of the frame (its source stays with the window).
    Vector viewCorners[4];
    // ---- end of render passes ----

    // Set while the window draws no dimensions.
    uint8_t noDimensions = 0;
    // Rubber-band rectangle drawn as a dotted loop.
    Vector marqueeCorners[4];
    uint8_t marqueeShown = 0;
    // Set by whoever makes the window's OpenGL context; not owned.
    platform::GLContext* renderingContext = nullptr;
    platform::GLDrawable* deviceContext = nullptr;
    // Receives the window's timers.
    platform::WindowHandle windowHandle = platform::kNoWindow;
    // Degrees; the settled copy is refreshed from it by the field-of-view timer every
    // half second.
    double fieldOfView = 50.0;
    double settledFieldOfView = 50.0;
    // Width / height of the last usable size.
    double aspect = 1.0;
    uint32_t width = 0;
    uint32_t height = 0;
    ViewState camera;
    RenderState viewFlags;
    // Owned, except by the main window, whose trace image goes with the scene.
    TraceImageModel* traceImage = nullptr;
    // The window's drop target; registered with the window handle by the control.
    std::unique_ptr<DragDropHandler> dropTarget;
    uint8_t cameraIconFlag = 0;
    uint8_t antialiasRequest = 0;
    int32_t antialiasPass = 0;
    int32_t depth2D = 0;
    MouseHandler* currentMode = nullptr;
    const Vector* pickPolygonSource = nullptr;
    // Normal of the pick polygon's plane in x, y, z and its offset in w.
    Vector pickPlane;
    Vector pickPolygon[kPickPolygonSize];
    int32_t pickPolygonCount = 0;
    StatusBar statusBar1;
    StatusBar statusBar2;
    HelpWindow helpWindow;
    Toolbar* toolbar = nullptr;
    MenuBar menuBar;
    ToggleIndicatorBar indicatorBar;
    // Cleared by the object passes; the first is the stencil pass being drawn.
    int32_t frameCounters[2] = {};
    ViewState storedCameras[kStoredCameras];
    uint32_t selectionBuffer[kSelectionBufferSize] = {};
    MouseHandler* modes[kModeCount] = {};
    int32_t currentModeNumber = 0;
    // Reflection depth while picking.
    int32_t layerCounter = 0;
    std::unique_ptr<int32_t[]> viewportCache;
    std::unique_ptr<double[]> modelViewCache;
    std::unique_ptr<double[]> projectionCache;
    SizableLinkedList viewUndoStack{kViewStackLimit};
    SizableLinkedList viewRedoStack{kViewStackLimit};
    ViewTransaction* pendingViewTransaction = nullptr;
    uint8_t viewUndoEnabled = 1;

private:
    int ToolbarButtonAt(int x, int y) const;

    // A toolbar press waiting for the single-click timer; (x, y) from the top.
    bool toolbarPressPending_ = false;
    // From a toolbar press to its release.
    bool toolbarButtonHeld_ = false;
    int toolbarPressX_ = 0;
    int toolbarPressY_ = 0;
};

// The editor's handler for mouse mode `mode`, or null.
MouseHandler* MakeMouseMode(int mode);

// What the fit of a view reads of a scene object. The object model registers its
// reader; with none registered the scene offers nothing to fit.
class FitPointReader {
public:
    virtual ~FitPointReader() = default;
    virtual uint64_t TypeMask(const LinkedListObject& object) const = 0;
    // Every point of a slab's outline.
    virtual void OutlinePoints(const LinkedListObject& object, std::vector<Vector>& out) const = 0;
    // The two extra points a wall gives in blueprint views.
    virtual void WallFitPoints(const LinkedListObject& object, Vector out[2]) const = 0;
    // The eight corners of a model's bounding box.
    virtual void BoxCorners(const LinkedListObject& object, Vector out[8]) const = 0;
};
void SetFitPointReader(const FitPointReader* reader);
