#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "geometry/Vector.h"
#include "platform/DragDrop.h"
#include "platform/MessageBox.h"

class BaseControl;
class KeyDataList;
class PickableObject;
class Window;

// One drop in the making: what a drag into a view builds once it knows what is dragged.
// The drop target calls Begin when the drag enters, DragOver while it moves and then
// Cancel or Drop; the target owns the command and deletes it after Cancel or Drop, so a
// command never deletes itself. Key state, screen point and effect are those of the
// drop target's calls.
class BaseCommandHandler {
public:
    static constexpr size_t kTextSize = 260;

    // Takes ownership of `keys` (the catalogue item's key list; null for drops that come
    // from a page's HTML or from files).
    explicit BaseCommandHandler(KeyDataList* keys = nullptr);
    virtual ~BaseCommandHandler();
    BaseCommandHandler(const BaseCommandHandler&) = delete;
    BaseCommandHandler& operator=(const BaseCommandHandler&) = delete;

    virtual void Begin(uint32_t keyState, platform::ScreenPoint point, uint32_t* effect) = 0;
    virtual void DragOver(uint32_t keyState, platform::ScreenPoint point, uint32_t* effect) = 0;
    virtual void Cancel() = 0;
    virtual void Drop(uint32_t keyState, platform::ScreenPoint point, uint32_t* effect);

    // The prompt text of string `stringId` for `window`. Prompts reach no display: the
    // text is only handed back.
    static std::string ShowPrompt(uint32_t stringId, Window* window);
    // The prompt the command showed last.
    const std::string& LastPrompt() const { return lastPrompt_; }

    KeyDataList* GetKeys() const { return keys_.get(); }

    // The control's question about changing a locked object (string 262 or 263, "Object
    // locked", Yes/No/Cancel).
    static platform::MessageAnswer AskLockedObject(BaseControl& control, uint32_t stringId);
    // A screen point as a client point of `window`.
    static void ScreenToClient(const Window& window, platform::ScreenPoint point, int& x, int& y);

protected:
    void Prompt(uint32_t stringId, Window* window) { lastPrompt_ = ShowPrompt(stringId, window); }

    // The control's active view window, or null.
    static Window* ActiveMouseWindow();
    // Picks at the screen point in the active view window (the caller holds the render
    // lock): the objects of the nearest hit, the top-level object first and the innermost
    // part last. Empty when nothing was hit.
    static std::vector<PickableObject*> PickAt(platform::ScreenPoint point);

    std::unique_ptr<KeyDataList> keys_;

private:
    std::string lastPrompt_;
};

// The second base of the commands that stand a 3D object at the mouse: a screen point
// becomes a scene point through a depth image of the view, captured once per drag (the
// scene under the dragged object is not read again).
class BaseModelCommand {
public:
    // Windows with more pixels than this keep every third row of the depth image only.
    static constexpr uint64_t kStripThreshold = 800000;

    BaseModelCommand() = default;
    virtual ~BaseModelCommand();
    BaseModelCommand(const BaseModelCommand&) = delete;
    BaseModelCommand& operator=(const BaseModelCommand&) = delete;

    // Client pixel (x, y) of the active view window, y from the top, to the scene point
    // drawn there. False, nothing written, for a pixel outside the window or the image,
    // where nothing is drawn (depth 1.0), or without a view to read.
    bool ReadDepthAt(int x, int y, double& X, double& Y, double& Z);
    // The scene point at which a dropped object is to stand for the screen point: on
    // what is drawn there, or on the current floor (or on a surface within the storey
    // above it) where the view shows nothing usable.
    Vector GetDropPoint(platform::ScreenPoint point);
    void FreeDepthImage();
    bool HasDepthImage() const { return depthImage_ != nullptr; }
    bool IsStripImage() const { return strip_; }

protected:
    // Renders the view once for depth and reads its depth buffer (render lock held).
    bool CaptureDepthImage(Window& window);

    std::unique_ptr<float[]> depthImage_;
    uint32_t imageWidth_ = 0;
    uint32_t imageHeight_ = 0;
    uint32_t imageRows_ = 0;
    bool strip_ = false;
};
