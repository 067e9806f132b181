#include "control/MapWindow.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>

#include "control/BaseControl.h"
#include "control/RenderLockScope.h"
#include "foundation/Trace.h"
#include "model/SelectableObject.h"
#include "platform/Menu.h"
#include "render/Bitmap.h"

namespace {

constexpr double kDegreesPerRadian = 57.29577951308;
constexpr double kPresetStep = 100.0;
constexpr double kPresetDistance = 620.0;

}  // namespace

MapWindow::MapWindow(platform::WindowHandle ownerWindow, int format)
    : SavedViewWindow(ownerWindow, format) {
    view.viewFlags.SetInt64(0, kHiddenTypes);
}

MapWindow::~MapWindow() {
    theTrace().Write("Begin Map Window destructor");
    BaseControl* control = theControl();
    if (control) control->LockRender();
    navigator.reset();
    if (control) control->UnlockRender();
    theTrace().Write("End MapWindow destructor");
}

void MapWindow::LoadNavigator(const char* url) {
    if (!url || !url[0]) return;
    auto picture = std::make_unique<Bitmap>(0, 0);
    BaseControl* control = theControl();
    if (control) control->LockRender();
    navigator = std::move(picture);
    if (control) control->UnlockRender();
    // The picture is made under the render lock when it arrives.
    navigator->LoadAsync(url, false);
}

platform::LResult MapWindow::WindowProc(uint32_t message, platform::WParam wParam,
                                        platform::LParam lParam) {
    if (message == platform::WM_SIZE) {
        // The control keeps the map's place for its next opening.
        if (BaseControl* control = theControl(); control && platform::IsWindow(handle)) {
            const platform::Rect place = platform::GetWindowRect(handle);
            control->mapRect[0] = place.left;
            control->mapRect[1] = place.top;
            control->mapRect[2] = place.right;
            control->mapRect[3] = place.bottom;
        }
    }
    return SavedViewWindow::WindowProc(message, wParam, lParam);
}

void MapWindow::OnDoubleClick(int x, int y) {
    BaseControl* control = theControl();
    if (!control) return;
    RenderLockScope hold(*control);
    if (view.ProcessSelectionBuffer(x, y) > 1) view.StepIntoViewAt(x, y);
}

bool MapWindow::NavigatorPlace(int& left, int& bottom) const {
    if (!navigator || !navigator->HasPixels() || view.width == 0 || view.height == 0) return false;
    left = static_cast<int>(view.width) - kNavigatorMargin - static_cast<int>(navigator->cols);
    bottom = kNavigatorMargin;
    return true;
}

void MapWindow::Draw() {
    if (!contextCreated) return;
    // The camera marker follows the main view here once it can draw.
    if (BaseControl* control = theControl()) {
        view.cameraIconFlag = 1;
        CameraIndicatorIcon::FitMapWindow(view, control->cameraIcon.GetEyePosition());
    }
    view.RenderScene(0, 0);
    if (BaseControl* control = theControl()) control->cameraIcon.Render(view);
    int left = 0;
    int bottom = 0;
    // Drawn every frame, so nothing is traced here.
    if (!NavigatorPlace(left, bottom) || !view.Begin2DRender()) return;
    glRasterPos2i(left, bottom);
    navigator->Bind();
    view.End2DRender();
}

int MapWindow::NavigatorButton(double px, double py, double width, double height) {
    if (!(width > 0.0) || !(height > 0.0) || px < 0.0 || px >= width || py < 0.0 || py >= height)
        return 0;
    if (px < 0.2 * width) return py > 0.5 * height ? 1 : 2;
    if (px < 0.75 * width) {
        if (py > 0.667 * height) return 3;
        if (py > 0.333 * height) return 4;
        return 5;
    }
    if (py <= 0.4 * height) return 6;
    if (py <= 0.5 * height) return 7;
    if (py <= 0.65 * height) return 8;
    if (py <= 0.8 * height) return 9;
    return 10;
}

int MapWindow::NavigatorButtonAt(int x, int y) const {
    int left = 0;
    int bottom = 0;
    if (!NavigatorPlace(left, bottom)) return 0;
    return NavigatorButton(x - left, RowFromBottom(view, y) - bottom, navigator->cols,
                           navigator->rows);
}

void MapWindow::MoveEye(Window& main, double degrees) {
    Vector rotation = main.camera.GetVector(1);
    rotation.x += degrees;
    main.camera.SetVector(1, rotation);
}

void MapWindow::RaiseEye(Window& main, double delta) {
    Vector offset = main.camera.GetVector(0);
    offset.y = std::clamp(offset.y + delta, -kHighestEye, -kLowestEye);
    main.camera.SetVector(0, offset);
}

bool MapWindow::OnClick(int x, int y) {
    theTrace().Write("Process MW Click");
    if (!navigator || !navigator->HasPixels()) {
        theTrace().Write("NO FACE");
        return false;
    }
    const int button = NavigatorButtonAt(x, y);
    BaseControl* control = theControl();
    Window* main = control ? control->mainWindow : nullptr;
    if (button == 0 || !main) {
        theTrace().Write("No button");
        return false;
    }

    main->BeginViewTransaction();
    switch (button) {
        case 1:
        case 2: {
            RenderLockScope hold(*control);
            MoveEye(*main, button == 1 ? -kLookStep : kLookStep);
            break;
        }
        case 3:
        case 5: {
            RenderLockScope hold(*control);
            RaiseEye(*main, button == 3 ? -kEyeStep : kEyeStep);
            break;
        }
        case 4: {
            if (!menuOwner) {
                theTrace().Write("No navigator menu");
                break;
            }
            platform::Menu& menu = SelectableObject::CreateContextMenu();
            menuOwner->BuildPropertyMenu(menu);
            int screenX =
                static_cast<int>(view.width) - kNavigatorMargin - static_cast<int>(navigator->cols);
            int screenY = static_cast<int>(view.height) - kNavigatorMargin -
                          static_cast<int>(navigator->rows);
            view.ClientToScreen(screenX, screenY);
            RenderLockScope hold(*control);
            const uint32_t chosen = control->TrackPopupMenu(menu, screenX, screenY);
            if (chosen != 0) menuOwner->ProcessPropertyMenu(chosen);
            break;
        }
        case 6: {
            RenderLockScope hold(*control);
            view.StepIntoViewAt(-1, -1);
            break;
        }
        default: {
            const int preset = button - 6;
            if (!PRECONDITION(preset >= 1 && preset <= 5, "Map height preset out of range")) break;
            RenderLockScope hold(*control);
            Vector offset = main->camera.GetVector(0);
            offset.y = -kPresetStep * preset;
            main->camera.SetVector(0, offset);
            Vector rotation = main->camera.GetVector(1);
            rotation.x = std::atan2(kPresetStep * preset, kPresetDistance) * kDegreesPerRadian;
            main->camera.SetVector(1, rotation);
            break;
        }
    }
    main->EndViewTransaction();
    theTrace().Write("Face clicked");
    return true;
}
