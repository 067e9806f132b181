#include "interaction/LightSourceCommand.h"

#include <cstdio>
#include <string>

#include "control/BaseControl.h"
#include "control/RenderLockScope.h"
#include "foundation/KeyDataList.h"
#include "foundation/Trace.h"
#include "render/LightSource.h"
#include "render/Window.h"

LightSourceCommand::LightSourceCommand(KeyDataList* keys, const char* domain)
    : BaseCommandHandler(keys) {
    std::snprintf(domain_, sizeof domain_, "%s", domain ? domain : "");
}

LightSourceCommand::~LightSourceCommand() {
    if (light_) Cancel();
}

void LightSourceCommand::Begin(uint32_t, platform::ScreenPoint point, uint32_t*) {
    BaseControl* control = theControl();
    if (!PRECONDITION(control != nullptr, "No control for the light drop")) return;
    if (!keys_ || light_) return;
    control->SetRenderEnabled(true);
    auto* light = new LightSource;
    light->BeginTransaction(true);

    KeyDataList& keys = *keys_;
    if (keys.FindByName("TextureURLwithoutDomain") || keys.FindByName("BumpMapURLwithoutDomain") ||
        keys.FindByName("MaterialURLwithoutDomain") || keys.FindByName("URLwithoutDomain"))
        keys.AddString("Domain", domain_);
    const char* relative = keys.GetString("URLwithoutDomain");
    if (relative && *relative && !keys.FindByName("URL"))
        keys.AddString("URL", std::string("http://") + domain_ + "/" + relative);
    {
        RenderLockScope hold(control);
        control->scene.Prepend(light);
        light_ = light;
    }
    // The light's geometry is read here, before the first move.
    if (keys.GetString("URL"))
        light->LoadDecompressedFile(keys, true);
    else
        light->ReadKeyData(keys);
    keys_.reset();
    Follow(point);
}

void LightSourceCommand::Follow(platform::ScreenPoint point) {
    BaseControl* control = theControl();
    Window* window = ActiveMouseWindow();
    if (!control || !window || !light_) return;
    int x = 0;
    int y = 0;
    ScreenToClient(*window, point, x, y);
    // The view's matrices are the render pass's: read them under its lock.
    RenderLockScope hold(control);
    Vector at = window->ScreenToHeightPlane(x, y, kHeight);
    if (Window::IsNoIntersection(at)) return;
    at.w = 1.0;
    light_->SetPosition(at);
}

void LightSourceCommand::DragOver(uint32_t, platform::ScreenPoint point, uint32_t* effect) {
    BaseControl* control = theControl();
    if (!light_ || !control) {
        if (effect) *effect = platform::DROPEFFECT_NONE;
        return;
    }
    control->globalState.SetBoolean(18, true);
    Follow(point);
}

void LightSourceCommand::Drop(uint32_t, platform::ScreenPoint, uint32_t*) {
    BaseControl* control = theControl();
    if (!control) return;
    control->globalState.SetBoolean(18, false);
    LightSource* light = light_;
    light_ = nullptr;
    if (!light) return;
    RenderLockScope hold(control);
    // The render thread makes the shadow map with its own context.
    light->FlagForRebuild();
    light->EndUndoStep();
}

void LightSourceCommand::Cancel() {
    keys_.reset();
    BaseControl* control = theControl();
    LightSource* light = light_;
    light_ = nullptr;
    if (!control) {
        delete light;
        return;
    }
    control->globalState.SetBoolean(18, false);
    if (!light) return;
    light->CancelUndoStep();
    RenderLockScope hold(control);
    control->scene.Remove(light);
    control->RebuildDisplayData();
    light->WaitForDownload();
    delete light;
}
