// The content every plan starts with: the sky, the sun and the default spot light, the
// default material and the default normal map.

#include <cstring>

#include "control/BaseControl.h"
#include "control/RenderLockScope.h"
#include "foundation/Trace.h"
#include "render/Bitmap.h"
#include "render/LightSource.h"
#include "render/Material.h"
#include "render/Sky.h"

namespace {

constexpr char kDefaultMaterial[] = "textures/finished_wood/cherry_blonde_im.3c_";
const Vector kDefaultSpotPlace(430.0, 430.0, 0.0);
constexpr double kDefaultSpotTilt = 45.0;
constexpr double kDefaultSpotTurn = 89.99999999999635;

bool IsWholeAddress(const char* address) {
    return std::strncmp(address, "http://", 7) == 0 || std::strncmp(address, "https://", 8) == 0;
}

}  // namespace

void BaseControl::ReplaceSky(const char* address) {
    if (!PRECONDITION(address && *address, "No sky to load")) return;
    char full[kPathSize];
    const char* source = IsWholeAddress(address) ? address : AttachPathToDomain(address, full, sizeof full);
    auto* made = new EnvironmentObject(EnvironmentObject::kSkyDome);
    made->LoadDescription(source);
    EnvironmentObject* old = nullptr;
    {
        RenderLockScope hold(*this);
        old = sky;
        sky = made;
        delete old;
    }
}

void BaseControl::CreateNormalMap() {
    RenderLockScope hold(*this);
    if (!normalMap) {
        normalMap = new Bitmap();
        normalMap->CreateDefaultNormalMap();
        SetDefaultNormalMap(normalMap);
    }
    theTrace().Write("Normal map complete");
}

void BaseControl::LoadDefaultMaterial() {
    char address[kPathSize];
    AttachPathToDomain(kDefaultMaterial, address, sizeof address);
    auto* material = new Material;
    if (!material->LoadFromURLNow(address)) theTrace().WriteFormat("No material from %s", address);
    RenderLockScope hold(*this);
    delete defaultMaterial;
    defaultMaterial = material;
}

bool BaseControl::HasSun() const {
    bool found = false;
    scene.Lock();
    for (LinkedListObject* node = scene.GetHead(); node && !found; node = node->GetNext()) {
        auto* light = dynamic_cast<const LightSource*>(node);
        found = light && !light->IsPositional();
    }
    scene.Unlock();
    return found;
}

void BaseControl::RestoreSun() {
    if (HasSun()) return;
    if (LightSource* sun = LightSource::LoadFromDomain(LightContent::kSun)) PlaceLightInScene(sun);
}

void BaseControl::AddDefaultLights() {
    RestoreSun();
    LightSource* spot = LightSource::LoadFromDomain(LightContent::kDefaultSpotlight);
    if (!spot) return;
    theTrace().Write("spot loaded");
    RenderLockScope hold(*this);
    spot->state.SetDouble(0, globalState.GetDouble(11));
    spot->SetPosition(kDefaultSpotPlace);
    spot->RotateAboutAxis(0, kDefaultSpotTilt);
    spot->RotateAboutAxis(1, kDefaultSpotTurn);
    theTrace().Write("Bpsl");
    scene.Prepend(spot);
    theTrace().Write("Apsl");
    SetActiveLight(spot);
}

void BaseControl::FreeDefaultContent() {
    RenderLockScope hold(*this);
    if (normalMap && DefaultNormalMap() == normalMap) SetDefaultNormalMap(nullptr);
    delete normalMap;
    normalMap = nullptr;
    delete defaultMaterial;
    defaultMaterial = nullptr;
    delete sky;
    sky = nullptr;
    delete doorKnobModel;
    doorKnobModel = nullptr;
}
