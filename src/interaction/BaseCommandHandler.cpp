#include "interaction/BaseCommandHandler.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <new>

#include "control/BaseControl.h"
#include "control/RenderLockScope.h"
#include "foundation/KeyDataList.h"
#include "foundation/Trace.h"
#include "model/PickableObject.h"
#include "platform/GLContext.h"
#include "render/Window.h"

namespace {

// The view flag that keeps the dragged object out of the depth image.
constexpr uint64_t kDepthCaptureFlag = 1ull << 45;

}  // namespace

// ---- BaseCommandHandler ---------------------------------------------------------------

BaseCommandHandler::BaseCommandHandler(KeyDataList* keys) : keys_(keys) {}

BaseCommandHandler::~BaseCommandHandler() = default;

void BaseCommandHandler::Drop(uint32_t, platform::ScreenPoint, uint32_t*) {}

std::string BaseCommandHandler::ShowPrompt(uint32_t stringId, Window*) {
    BaseControl* control = theControl();
    return control ? control->LoadResourceString(stringId) : std::string();
}

Window* BaseCommandHandler::ActiveMouseWindow() {
    BaseControl* control = theControl();
    return control ? control->activeWindow : nullptr;
}

void BaseCommandHandler::ScreenToClient(const Window& window, platform::ScreenPoint point, int& x,
                                        int& y) {
    int originX = 0;
    int originY = 0;
    window.ClientToScreen(originX, originY);
    x = point.x - originX;
    y = point.y - originY;
}

std::vector<PickableObject*> BaseCommandHandler::PickAt(platform::ScreenPoint point) {
    std::vector<PickableObject*> hits;
    Window* window = ActiveMouseWindow();
    if (!window) return hits;
    int x = 0;
    int y = 0;
    ScreenToClient(*window, point, x, y);
    const int count = window->ProcessSelectionBuffer(x, y);
    // Name 0 is the base name the window pushes before drawing.
    for (int i = 1; i < count; ++i) {
        PickableObject* object = window->GetPickedObject(i);
        if (!object) break;
        hits.push_back(object);
    }
    return hits;
}

platform::MessageAnswer BaseCommandHandler::AskLockedObject(BaseControl& control,
                                                            uint32_t stringId) {
    const std::string text = control.LoadResourceString(stringId);
    platform::MessageBoxRequest box;
    box.text = text.c_str();
    box.caption = "Object locked";
    box.buttons = platform::MessageButtons::YesNoCancel;
    box.icon = platform::MessageIcon::Warning;
    box.systemModal = true;
    return control.ShowMessageBox(box);
}

// ---- BaseModelCommand -----------------------------------------------------------------

BaseModelCommand::~BaseModelCommand() = default;

void BaseModelCommand::FreeDepthImage() {
    depthImage_.reset();
    imageWidth_ = imageHeight_ = imageRows_ = 0;
    strip_ = false;
}

bool BaseModelCommand::CaptureDepthImage(Window& window) {
    BaseControl* control = theControl();
    if (!control || !window.deviceContext || window.width == 0 || window.height == 0) return false;
    window.Activate();
    if (!PRECONDITION(platform::GLContext::IsAnyCurrent(), "No context for the depth image"))
        return false;

    const uint32_t width = window.width;
    const uint32_t height = window.height;
    const bool strip = static_cast<uint64_t>(width) * height > kStripThreshold;
    const uint32_t rows = strip ? (height + 2) / 3 : height;
    std::unique_ptr<float[]> image(new (std::nothrow) float[static_cast<size_t>(width) * rows]);
    if (!PRECONDITION(image != nullptr, "No memory for the depth image")) return false;

    RenderState& flags = window.viewFlags;
    const uint64_t savedFlags = flags.GetInt64(0);
    flags.SetInt64(0, savedFlags | flags.GetInt64(1) | kDepthCaptureFlag);
    const bool savedBoolean15 = control->globalState.GetBoolean(15);
    control->globalState.SetBoolean(15, false);
    Window* drawn = control->currentWindow;
    control->currentWindow = &window;
    window.SetupProjection(0, 0);
    window.InitGLState();
    window.SetupModelView();
    window.RenderScene(0, 0);
    control->currentWindow = drawn;
    control->globalState.SetBoolean(15, savedBoolean15);
    flags.SetInt64(0, savedFlags);
    glFinish();
    window.CacheMatrices();

    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    if (strip) {
        for (uint32_t r = 0; r < rows; ++r)
            glReadPixels(0, static_cast<GLint>(r * 3), static_cast<GLsizei>(width), 1,
                         GL_DEPTH_COMPONENT, GL_FLOAT,
                         image.get() + static_cast<size_t>(r) * width);
    } else {
        glReadPixels(0, 0, static_cast<GLsizei>(width), static_cast<GLsizei>(height),
                     GL_DEPTH_COMPONENT, GL_FLOAT, image.get());
    }
    depthImage_ = std::move(image);
    imageWidth_ = width;
    imageHeight_ = height;
    imageRows_ = rows;
    strip_ = strip;
    return true;
}

bool BaseModelCommand::ReadDepthAt(int x, int y, double& X, double& Y, double& Z) {
    BaseControl* control = theControl();
    Window* window = control ? control->activeWindow : nullptr;
    if (!window) return false;
    RenderLockScope hold(control);
    if (!depthImage_ && !CaptureDepthImage(*window)) return false;

    const int32_t* viewport = window->viewportCache.get();
    const int row = viewport[3] - y - 1;
    if (x < 0 || row < 0 || static_cast<uint32_t>(x) >= imageWidth_ ||
        static_cast<uint32_t>(row) >= imageHeight_)
        return false;
    const uint32_t imageRow = strip_ ? static_cast<uint32_t>(row) / 3 : static_cast<uint32_t>(row);
    if (imageRow >= imageRows_) return false;
    const float depth = depthImage_[static_cast<size_t>(imageRow) * imageWidth_ + x];
    if (!(depth < 1.0f)) return false;

    GLint view[4] = {viewport[0], viewport[1], viewport[2], viewport[3]};
    return gluUnProject(x, row, depth, window->modelViewCache.get(), window->projectionCache.get(),
                        view, &X, &Y, &Z) == GL_TRUE;
}

Vector BaseModelCommand::GetDropPoint(platform::ScreenPoint point) {
    BaseControl* control = theControl();
    Window* window = control ? control->activeWindow : nullptr;
    if (!window) return Vector(0.0, 0.0, 0.0);
    int x = 0;
    int y = 0;
    BaseCommandHandler::ScreenToClient(*window, point, x, y);
    double X = 0.0, Y = 0.0, Z = 0.0;
    const bool hit = ReadDepthAt(x, y, X, Y, Z);
    if (hit && window->GetViewMode() != Window::kBlueprintView &&
        Y >= control->floorState.GetDouble(4) - 2.0)
        return Vector(X, Y, Z);

    double h = control->GetCurrentFloorElevation();
    if (hit && Y > h && Y < h + control->wallState.GetDouble(5)) h = Y;
    Vector onPlane = window->ScreenToHeightPlane(x, y, h);
    if (Window::IsNoIntersection(onPlane)) return Vector(X, h, Z);
    onPlane.w = 1.0;
    return onPlane;
}
