#include "interaction/ModelCommand.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "control/BaseControl.h"
#include "control/RenderLockScope.h"
#include "foundation/KeyDataList.h"
#include "foundation/Trace.h"
#include "interaction/MouseHandler.h"
#include "model/Model.h"
#include "render/Window.h"

namespace {

constexpr uint32_t kElevationRefusedPrompt = 279;
constexpr uint32_t kPlaceModelPrompt = 280;
constexpr double kSlabSnapDistance = 8.0;
constexpr double kObjectSnapDistance = 6.0;

void CopyText(char* buffer, size_t size, const char* text) {
    std::snprintf(buffer, size, "%s", text ? text : "");
}

}  // namespace

ModelCommand::ModelCommand(KeyDataList* keys, const char* domain) : BaseCommandHandler(keys) {
    CopyText(domain_, sizeof domain_, domain);
    if (keys_) {
        if (const char* name = keys_->GetString("subObjectName")) {
            if (std::strlen(name) < sizeof subObjectName_)
                CopyText(subObjectName_, sizeof subObjectName_, name);
            else
                TraceWrite("Sub-object name too long: the model drops as a model");
        }
    }
}

ModelCommand::~ModelCommand() {
    // A command that ends without Cancel or Drop leaves nothing half placed.
    if (model_ && !dropped_) Cancel();
    RestorePriority();
}

void ModelCommand::RestorePriority() {
    if (!priorityChanged_) return;
    if (BaseControl* control = theControl())
        platform::SetThreadPriority(control->RenderThreadId(), savedPriority_);
    priorityChanged_ = false;
}

void ModelCommand::Begin(uint32_t, platform::ScreenPoint point, uint32_t* effect) {
    TraceWrite("MC::PDEn");
    BaseControl* control = theControl();
    if (!PRECONDITION(control != nullptr, "No control for the model drop")) return;
    savedPriority_ = platform::GetThreadPriority(control->RenderThreadId());
    platform::SetThreadPriority(control->RenderThreadId(), platform::ThreadPriority::Normal);
    priorityChanged_ = true;

    Window* window = ActiveMouseWindow();
    if (!PRECONDITION(window != nullptr, "activeMouseWindow is NULL")) return;
    control->SelectAll(false);

    if (window->IsElevationView() && subObjectName_[0] == '\0') {
        if (effect) *effect = platform::DROPEFFECT_NONE;
        Prompt(kElevationRefusedPrompt, window);
        TraceWrite("PDEn");
        return;
    }
    Prompt(kPlaceModelPrompt, window);
    if (!keys_) return;

    auto* model = new Model;
    model->BeginTransaction(true);
    model->SetSelected(true);

    int x = 0;
    int y = 0;
    ScreenToClient(*window, point, x, y);
    Vector place;
    window->GetUnderCursor(x, y, place);
    // A depth of 1 (or more) is where nothing is drawn.
    if (!(place.w < 1.0)) {
        place = window->ScreenToHeightPlane(x, y, 0.0);
        if (Window::IsNoIntersection(place)) place = Vector(0.0, 0.0, 0.0);
    }
    place.w = 1.0;

    {
        RenderLockScope hold(control);
        model->SetPosition(place);
        const double c = -window->camera.GetVector(1).y;
        const double angle = std::floor((c + 45.0) / 90.0) * 90.0;
        if (angle != 0.0 && std::isfinite(angle)) model->RotateAboutAxis(1, angle);
        control->progressOwner = model->ProgressOwnerId();
        control->scene.Append(model);
        model_ = model;
    }

    KeyDataList& keys = *keys_;
    if (keys.FindByName("TextureURLwithoutDomain") || keys.FindByName("MaterialURLwithoutDomain") ||
        keys.FindByName("BumpMapURLwithoutDomain") || keys.FindByName("URLWithoutDomain"))
        keys.AddString("Domain", domain_);
    if (const char* relative = keys.GetString("URLwithoutDomain"))
        keys.AddString("URL", std::string("http://") + domain_ + "/" + relative);
    model_->LoadDecompressedFile(keys, false);
    keys_.reset();

    if (MouseHandler* mode = window->GetCurrentMode())
        mode->SwitchMouseMode(MouseHandler::kSelectionMode);
    else
        window->SetMouseMode(MouseHandler::kSelectionMode);
    TraceWrite("PDEn");
}

void ModelCommand::Snap(uint32_t keyState) {
    BaseControl* control = theControl();
    Window* window = ActiveMouseWindow();
    if (!control || !window || !model_) return;
    if (!control->globalState.GetBoolean(3) || (keyState & platform::MK_SHIFT) ||
        window->IsElevationView())
        return;
    // Slabs below take no model of their own yet; objects nearby do.
    (void)kSlabSnapDistance;
    model_->SnapToObjects(kObjectSnapDistance);
}

void ModelCommand::DragOver(uint32_t keyState, platform::ScreenPoint point, uint32_t* effect) {
    if (!model_) {
        if (effect) *effect = platform::DROPEFFECT_NONE;
        return;
    }
    BaseControl* control = theControl();
    if (!control) return;
    control->globalState.SetBoolean(18, true);
    RenderLockScope hold(control);
    lastDropPoint_ = GetDropPoint(point);
    hasDropPoint_ = true;
    model_->SetPosition(lastDropPoint_);
    Snap(keyState);
}

void ModelCommand::Cancel() {
    RestorePriority();
    BaseControl* control = theControl();
    if (!control) return;
    control->LockRender();
    control->globalState.SetBoolean(18, false);
    if (Model* model = model_) {
        model_ = nullptr;
        control->scene.Remove(model);
        if (control->progressOwner == model->ProgressOwnerId()) control->progressOwner = 0;
        control->RebuildDisplayData();
        // WaitForDownload gives the render lock up while it waits.
        model->WaitForDownload();
        delete model;
    }
    FreeDepthImage();
    control->UnlockRender();
}

void ModelCommand::Drop(uint32_t keyState, platform::ScreenPoint point, uint32_t*) {
    RestorePriority();
    BaseControl* control = theControl();
    if (!control) return;
    control->globalState.SetBoolean(18, false);
    if (!model_) {
        FreeDepthImage();
        return;
    }
    dropped_ = true;
    RenderLockScope hold(control);
    if (hasDropPoint_) model_->SetPosition(lastDropPoint_);
    Snap(keyState);
    control->SelectAll(false);

    bool attached = false;
    Window* window = ActiveMouseWindow();
    if (subObjectName_[0] != '\0' && window) {
        // The dragged model stays out of its own pick.
        control->scene.Remove(model_);
        std::vector<PickableObject*> hits = PickAt(point);
        control->scene.Append(model_);
        // The top-level hit counts too; the innermost part never does.
        std::vector<PickableObject*> objects;
        if (!hits.empty()) objects.assign(hits.begin(), hits.end() - 1);
        for (auto it = objects.rbegin(); it != objects.rend(); ++it) {
            auto* target = dynamic_cast<BaseModel*>(*it);
            if (!target || target == model_ || !target->HasSubObject(subObjectName_)) continue;
            model_->CancelUndoStep();
            model_->AttachSubObject(subObjectName_, target, &control->scene);
            attached = true;
            break;
        }
    }
    if (!attached) {
        model_->SetSelected(true);
        model_->EndUndoStep();
    }
    model_ = nullptr;
    FreeDepthImage();
}
