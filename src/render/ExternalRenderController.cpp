#include "render/ExternalRenderController.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>

#include "control/BaseControl.h"
#include "control/SavedViewWindow.h"
#include "control/dialogs/Dialog.h"
#include "foundation/Trace.h"
#include "interaction/MouseHandler.h"
#include "model/ObjectTypes.h"
#include "model/RenderableObject.h"
#include "platform/FileDialog.h"
#include "platform/Files.h"
#include "platform/GLContext.h"
#include "platform/ImageEncoder.h"
#include "render/TextPrintObject.h"
#include "render/Window.h"

namespace {

constexpr double kDegreesPerRadian = 57.29577951308;
constexpr uint64_t kGridType = 0x100000;
constexpr uint32_t kUnavailableMessage = 277;
constexpr uint32_t kFailureMessage = 278;
constexpr uint32_t kNotSavedMessage = 295;
constexpr uint8_t kCaptureContext = 8;
constexpr uint8_t kSmoothingContext = 7;
constexpr const char* kDefaultFace = "Arial";

// The print options: which views, how large, where on the page, and the grid; the
// printer is chosen first (and again with "Printer").
class PrintOptionsDialog : public Dialog {
public:
    explicit PrintOptionsDialog(ExternalRenderController& job)
        : Dialog(nullptr, ExternalRenderController::kPrintDialog), job_(job) {}

    int OnInitDialog() override {
        if (!platform::ShowPrintDialog(job_.printer)) return 1;
        job_.printerChosen = true;
        using C = ExternalRenderController;
        CheckItem(C::kAllFloors, false);
        CheckItem(C::kCurrentView, true);
        CheckItem(C::kFullWidth, true);
        CheckItem(C::kThumbnail, false);
        CheckItem(C::kAlignLeft, true);
        CheckItem(C::kAlignCentre, false);
        CheckItem(C::kAlignRight, false);
        CheckItem(C::kHideGridBox, job_.hideGrid);
        return 0;
    }

    int OnCommand(uint32_t message, uintptr_t wParam, intptr_t) override {
        if (message != platform::WM_COMMAND) return 0;
        using C = ExternalRenderController;
        const int id = static_cast<int>(platform::LowWord(wParam));
        if (id >= C::kAllFloors && id <= C::kCurrentFloor) job_.viewChoice = id;
        if (id >= C::kFullWidth && id <= C::kHalfWidth) job_.imageSizeChoice = id;
        if (id >= C::kAlignLeft && id <= C::kAlignRight) job_.alignmentChoice = id;
        if (id == C::kHideGridBox) job_.hideGrid = IsItemChecked(C::kHideGridBox);
        // Another printer; a cancel keeps the one chosen.
        if (id == C::kPrinterButton) {
            platform::PrinterSettings other = job_.printer;
            if (platform::ShowPrintDialog(other)) job_.printer = other;
        }
        return 0;
    }

private:
    ExternalRenderController& job_;
};

// Restores a window's view flags and camera, and the work-grid level, on every way out.
class SavedViewState {
public:
    SavedViewState(Window& window, BaseControl& control)
        : window_(window), control_(control), floorLevel_(control.floorState.GetDouble(4)) {
        flags_.CopyFrom(window.viewFlags);
        camera_.CopyFrom(window.camera);
    }
    ~SavedViewState() {
        window_.viewFlags.CopyFrom(flags_);
        window_.camera.CopyFrom(camera_);
        control_.floorState.SetDouble(4, floorLevel_);
    }
    SavedViewState(const SavedViewState&) = delete;
    SavedViewState& operator=(const SavedViewState&) = delete;

private:
    Window& window_;
    BaseControl& control_;
    double floorLevel_;
    RenderState flags_;
    ViewState camera_;
};

// Whether some scene object other than a light stands on the current floor level.
bool FloorHasObjects(BaseControl& control) {
    bool found = false;
    control.scene.Lock();
    for (LinkedListObject* node = control.scene.GetHead(); node && !found; node = node->GetNext()) {
        const auto* object = dynamic_cast<const RenderableObject*>(node);
        found = object && !object->HasType(TypeBit::kLight) && object->IsInVisibleHeightRange();
    }
    control.scene.Unlock();
    return found;
}

void SetOtherWindowsShown(const BaseControl& control, bool shown) {
    LinkedList* windows = control.GetWindowList();
    if (!windows) return;
    windows->Lock();
    for (LinkedListObject* node = windows->GetHead(); node; node = node->GetNext()) {
        const auto* view = dynamic_cast<const Window*>(node);
        if (view && view != control.mainWindow && view->frame)
            platform::ShowWindow(view->frame->handle,
                                 shown ? platform::ShowState::Normal : platform::ShowState::Hidden);
    }
    windows->Unlock();
}

}  // namespace

ExternalRenderController::ExternalRenderController() {
    if (BaseControl* control = theControl()) mainWindow = control->mainWindow;
}

ExternalRenderController::~ExternalRenderController() = default;

std::string ExternalRenderController::PrintImagePath() {
    return platform::TemporaryFolder() + kPrintImageName;
}

platform::Rect ExternalRenderController::PlaceImage(int pageWidth, int width, int height,
                                                    int sizeChoice, int alignment) {
    int w = pageWidth;
    if (sizeChoice == kThumbnail) w = pageWidth / 8;
    if (sizeChoice == kHalfWidth) w = pageWidth / 2;
    const int h = width > 0 ? static_cast<int>(static_cast<double>(height) / width * w) : 0;
    int x = 0;
    if (alignment == kAlignCentre) x = (pageWidth - w) / 2;
    if (alignment == kAlignRight) x = pageWidth - w;
    return platform::Rect{x, 0, x + w, h};
}

bool ExternalRenderController::PageEscapement(double dx, double dy, bool flipped, int& escapement) {
    if (!std::isfinite(dx) || !std::isfinite(dy)) return false;
    // Rounded, not cut: a label along an axis keeps the axis' direction exactly.
    int tenths = static_cast<int>(std::lround(std::atan2(dy, dx) * kDegreesPerRadian * 10.0));
    if (flipped) tenths = 3600 - tenths;
    if (!PRECONDITION(tenths >= 0, "escapement is neg")) return false;
    tenths %= 3600;
    // Text is never set upside down.
    if (tenths > 900 && tenths < 2700) tenths -= 1800;
    escapement = tenths;
    return true;
}

bool ExternalRenderController::RunPrintDialog() {
    printerChosen = false;
    imageSizeChoice = kFullWidth;
    viewChoice = kCurrentView;
    alignmentChoice = kAlignLeft;
    PrintOptionsDialog dialog(*this);
    return dialog.Show() == Dialog::kOk && printerChosen;
}

bool ExternalRenderController::Print() {
    BaseControl* control = theControl();
    if (!control || !mainWindow) return false;
    // The render loop reads the switch under the render lock.
    auto setRendering = [control](bool on) {
        control->LockRender();
        control->SetRenderEnabled(on);
        control->UnlockRender();
    };
    setRendering(false);
    if (!RunPrintDialog()) {
        setRendering(true);
        return false;
    }
    document = platform::PrintDocument{};
    document.name = control->planName[0] ? control->planName : "Untitled";

    control->LockRender();
    switch (viewChoice) {
        case kAllFloors:
            PrintFloors();
            break;
        case kCurrentFloor: {
            SavedViewState saved(*mainWindow, *control);
            mainWindow->SetViewMode(Window::kBlueprintView);
            mainWindow->ZoomToExtents();
            PrintOnePage();
            break;
        }
        default:
            PrintOnePage();
            break;
    }
    control->UnlockRender();

    uint32_t error = 0;
    const bool printed =
        !document.pages.empty() && platform::PrintDocumentOn(printer, document, &error);
    if (!printed) {
        theTrace().WriteFormat("Print failed: %u", error);
        if (error == platform::kPrinterUnavailable)
            control->ShowResourceMessage(kUnavailableMessage, "Printer Unavailable");
        else
            control->ShowResourceMessage(kFailureMessage, "Printer Failure");
    }
    setRendering(true);
    return printed;
}

void ExternalRenderController::PrintFloors() {
    BaseControl* control = theControl();
    SavedViewState saved(*mainWindow, *control);
    mainWindow->SetViewMode(Window::kBlueprintView);
    mainWindow->ZoomToExtents();
    const double storey = control->wallState.GetDouble(5);
    const double ground = control->floorState.GetDouble(9);
    for (int floor = 0; floor <= kHighestFloor; ++floor) {
        control->floorState.SetDouble(4, storey * floor + ground + 1.0);
        if (floor == 0 || FloorHasObjects(*control)) PrintOnePage();
    }
}

void ExternalRenderController::PrintOnePage() {
    BaseControl* control = theControl();
    SetOtherWindowsShown(*control, false);
    ExportSceneImage(true);
    control->printing = 1;
    CaptureView();
    PrintPage();
    control->printing = 0;
    SetOtherWindowsShown(*control, true);
}

bool ExternalRenderController::ExportSceneImage(bool toTemporaryFile) {
    BaseControl* control = theControl();
    if (!control || !mainWindow) return false;
    control->LockRender();
    std::string path = PrintImagePath();
    if (!toTemporaryFile) {
        platform::FileDialogRequest request;
        request.kind = platform::FileDialogKind::Save;
        request.initialPath = "untitled";
        request.filterName = "Bitmap";
        request.filterPattern = "*.bmp";
        request.defaultExtension = "bmp";
        request.flags = platform::kOverwritePrompt | platform::kPathMustExist;
        // The dialog is modal: the render lock is given up while it is open.
        const int held = control->ReleaseRenderLockFully();
        const bool chosen = platform::ShowFileDialog(request, &path);
        control->ReacquireRenderLock(held);
        if (!chosen) {
            control->UnlockRender();
            return false;
        }
    }
    const bool written = CreateImageBitmap() && CaptureView() && WriteBitmapFile(path.c_str());
    control->UnlockRender();
    if (!written && !toTemporaryFile) control->ShowResourceMessageModal(kNotSavedMessage);
    return written;
}

bool ExternalRenderController::CreateImageBitmap() {
    if (!mainWindow || mainWindow->width == 0 || mainWindow->height == 0) return false;
    imageWidth = static_cast<int>(mainWindow->width);
    imageHeight = static_cast<int>(mainWindow->height);
    bits.assign(static_cast<size_t>(imageWidth) * imageHeight * 3, 0);
    return true;
}

bool ExternalRenderController::CaptureView() {
    if (!PRECONDITION(!bits.empty(), "'bits' needs to be initialized before getting here"))
        return false;
    BaseControl* control = theControl();
    Window* main = mainWindow;
    if (!control || !main || !main->renderingContext || !main->deviceContext) return false;
    GlobalState& global = control->globalState;
    global.SetBoolean(29, true);
    const bool compass = global.GetBoolean(24);
    global.SetBoolean(24, false);
    const uint64_t hidden = main->viewFlags.GetInt64(0);
    if (hideGrid) main->viewFlags.SetInt64(0, hidden | kGridType);

    MouseHandler* mode = main->GetCurrentMode();
    if (mode) mode->SetBusyCursor(true);
    control->SelectAll(false);
    main->deviceContext->Resize(imageWidth, imageHeight);
    main->Activate();
    control->currentContextCode = kCaptureContext;
    if (antialias != 1) {
        main->InitGLState();
        main->SetupModelView();
        main->SetupProjection(0, 0);
        glViewport(0, 0, imageWidth, imageHeight);
        main->RenderScene(0, 0);
    } else {
        main->antialiasRequest = 1;
        main->antialiasPass = 0;
        while (main->antialiasRequest) {
            main->RenderAntialiased();
            main->Activate();
            control->currentContextCode = kSmoothingContext;
        }
    }

    // The picture is the view's own buffer, sized to the view above; it is never read past
    // that buffer's size.
    const platform::GLDrawable* buffer = main->deviceContext;
    const bool whole = buffer->Width() >= imageWidth && buffer->Height() >= imageHeight;
    if (whole) {
        glFinish();
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadPixels(0, 0, imageWidth, imageHeight, GL_RGB, GL_UNSIGNED_BYTE, bits.data());
        glPixelStorei(GL_PACK_ALIGNMENT, 4);
    } else {
        TraceWrite("The view's buffer is smaller than its picture");
    }
    main->ReleaseCurrentContext();

    control->printing = control->printing && whole;
    if (mode) mode->SetBusyCursor(false);
    if (hideGrid) main->viewFlags.SetInt64(0, hidden);
    global.SetBoolean(24, compass);
    global.SetBoolean(29, false);
    return whole;
}

bool ExternalRenderController::WriteBitmapFile(const char* path) {
    std::string why;
    if (!path || !platform::WriteBmpFile(path, imageWidth, imageHeight, bits.data(), &why)) {
        theTrace().WriteFormat("Picture not written: %s", why.c_str());
        return false;
    }
    return true;
}

bool ExternalRenderController::PrintPage() {
    if (!PRECONDITION(printerChosen, "Print context not correctly initialized")) return false;
    if (bits.empty() || imageWidth <= 0 || imageHeight <= 0) return false;
    const platform::Rect place =
        PlaceImage(printer.PageWidth(), imageWidth, imageHeight, imageSizeChoice, alignmentChoice);
    platform::PrintPage page;
    platform::PrintItem picture;
    picture.kind = platform::PrintItem::Kind::Picture;
    picture.left = place.left;
    picture.top = place.top;
    picture.width = place.right - place.left;
    picture.height = place.bottom - place.top;
    picture.pictureWidth = imageWidth;
    picture.pictureHeight = imageHeight;
    const size_t row = static_cast<size_t>(imageWidth) * 3;
    picture.rgb.resize(bits.size());
    for (int y = 0; y < imageHeight; ++y)
        std::copy(bits.begin() + row * (imageHeight - 1 - y),
                  bits.begin() + row * (imageHeight - y), picture.rgb.begin() + row * y);
    page.items.push_back(std::move(picture));

    PrintTextItems(page, place);

    platform::PrintItem frame;
    frame.kind = platform::PrintItem::Kind::Frame;
    frame.left = place.left;
    frame.top = 0;
    frame.width = place.right - place.left + 2;
    frame.height = place.bottom - place.top + 2;
    page.items.push_back(std::move(frame));
    document.pages.push_back(std::move(page));
    return true;
}

void ExternalRenderController::PrintTextItems(platform::PrintPage& page,
                                              const platform::Rect& image) {
    BaseControl* control = theControl();
    if (!control) return;
    LinkedList& items = control->textPrintItems;
    const Vector half = mainWindow ? mainWindow->camera.GetVector(2) : Vector();
    const double width = image.right - image.left;
    const double height = image.bottom - image.top;
    // The page's y axis points down.
    const bool flipped = true;
    items.Lock();
    const bool usable = PRECONDITION(mainWindow != nullptr, "Vector print from 3D view") &&
                        half.x > 0.0 && half.y > 0.0 && std::isfinite(half.x) &&
                        std::isfinite(half.y);
    for (LinkedListObject* node = items.GetHead(); usable && node; node = node->GetNext()) {
        const auto* label = dynamic_cast<const TextPrintObject*>(node);
        if (!label || label->text.empty()) continue;
        auto toPage = [&](const Vector& v, double& x, double& y) {
            x = v.x * width / (2.0 * half.x);
            y = v.y * height / (2.0 * half.y);
            if (flipped) y = -y;
            x += image.left + width / 2.0;
            y += image.top + height / 2.0;
        };
        double x0, y0, x1, y1;
        toPage(label->start, x0, y0);
        toPage(label->end, x1, y1);
        int escapement = 0;
        // The direction in view coordinates (y up), as the baseline runs.
        if (!PageEscapement(label->end.x - label->start.x, label->end.y - label->start.y, flipped,
                            escapement))
            continue;
        const double fontHeight = width * label->height * 0.5 / half.x;
        if (!(fontHeight >= 1.0) || fontHeight > 1e6) continue;

        platform::PrintItem text;
        text.kind = platform::PrintItem::Kind::Text;
        text.left = static_cast<int>(x0);
        text.top = static_cast<int>(y0);
        text.text = label->text;
        text.fontHeight = static_cast<int>(fontHeight);
        text.escapement = escapement;
        text.faceName = label->faceName.empty() ? kDefaultFace : label->faceName;
        text.opaque = label->opaque;
        auto component = [](double c) {
            return static_cast<uint8_t>(std::clamp(c, 0.0, 1.0) * 255.0);
        };
        text.colour[0] = component(label->colour.x);
        text.colour[1] = component(label->colour.y);
        text.colour[2] = component(label->colour.z);
        page.items.push_back(std::move(text));
    }
    items.DeleteAll();
    items.Unlock();
}
