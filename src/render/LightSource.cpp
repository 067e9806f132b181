#include "render/LightSource.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <algorithm>
#include <cmath>

#include "control/BaseControl.h"
#include "control/dialogs/LightPropertyDialog.h"
#include "foundation/KeyDataList.h"
#include "foundation/ServerCommandFile.h"
#include "foundation/Trace.h"
#include "platform/GLContext.h"
#include "platform/Menu.h"
#include "platform/MessageBox.h"
#include "render/Bitmap.h"
#include "render/Window.h"

namespace {

constexpr uint64_t kLightHidingViewBits = 0x8400000;
// OpenGL guarantees this many lights.
constexpr uint32_t kMaxGLLights = 8;
constexpr double kDirectionalGrey = 0.3;
constexpr double kDefaultColour = 0.8;
constexpr float kLightsOffGrey = 0.7f;
constexpr double kMarkerLift = 15.0;
const Vector kLightBoxMax(18.46, 14.37, 18.46);
const Vector kLightBoxMin(-18.46, -8.5, -18.46);

BaseControl* Control() {
    return theControl();
}

// Whether another light of the scene is a positional one.
bool HasOtherPositionalLight(const LinkedList& scene, const LightSource* self) {
    bool found = false;
    scene.Lock();
    for (LinkedListObject* node = scene.GetHead(); node && !found; node = node->GetNext()) {
        auto* light = dynamic_cast<LightSource*>(node);
        if (light && light != self && light->IsPositional()) found = true;
    }
    scene.Unlock();
    return found;
}

bool AskYesNo(const char* text, const char* caption, bool systemModal) {
    platform::MessageBoxRequest box;
    box.text = text;
    box.caption = caption;
    box.buttons = platform::MessageButtons::YesNo;
    box.icon = platform::MessageIcon::Question;
    box.systemModal = systemModal;
    BaseControl* control = Control();
    const platform::MessageAnswer answer =
        control ? control->ShowMessageBox(box) : platform::ShowMessageBox(box);
    return answer == platform::MessageAnswer::Yes;
}

}  // namespace

LightSource::LightSource() : state(Control() ? &Control()->globalState : nullptr) {
    rotationHandle.owner = this;
    state.SetDouble(1, kDefaultColour);
    state.SetDouble(2, kDefaultColour);
    state.SetDouble(3, kDefaultColour);
}

LightSource::~LightSource() {
    // A download still reading into the light ends before any of it goes.
    CancelDownload();
    delete bitmap;
    bitmap = nullptr;
    if (depthTexture && platform::GLContext::IsAnyCurrent()) glDeleteTextures(1, &depthTexture);
    depthTexture = 0;
    if (BaseControl* control = Control(); control && control->activeLight == this)
        control->activeLight = nullptr;
}

void LightSource::SetColour(double red, double green, double blue) {
    state.SetDouble(1, red);
    state.SetDouble(2, green);
    state.SetDouble(3, blue);
}

// ---- Menu ----

void LightSource::BuildPropertyMenu(platform::Menu& menu) {
    Model::BuildPropertyMenu(menu);
    menu.AppendItem(LightCommand::kToggleShadows,
                    state.GetBoolean(0) ? "Hide Shadows" : "Show Shadows");
    menu.AppendSeparator();
    menu.AppendItem(LightCommand::kToggleLightBoxes, "Hide Light Boxes\tCtrl+F");
    const BaseControl* control = Control();
    menu.AppendItem(LightCommand::kLightsOff, "Turn Off Lights and Shadows\tL",
                    control && control->globalState.GetBoolean(12));
    menu.AppendSeparator();
}

bool LightSource::ProcessPropertyMenu(uint32_t id) {
    if (Model::ProcessPropertyMenu(id)) return true;
    BaseControl* control = Control();
    switch (id) {
        case LightCommand::kProperties:
            ShowPropertyDialog();
            break;
        case LightCommand::kRecreateDepthMap:
            CreateDepthMap();
            break;
        case LightCommand::kToggleShadows:
            state.SetBoolean(0, !state.GetBoolean(0));
            break;
        case LightCommand::kToggleLightBoxes:
            if (control) control->ToggleVisibilityByTypeMask(TypeBit::kLight);
            break;
        case LightCommand::kLightsOff:
            if (control) control->globalState.SetBoolean(12, !control->globalState.GetBoolean(12));
            break;
        default:
            break;
    }
    return false;
}

// ---- Plans ----

bool LightSource::ReadKeyData(KeyDataList& keys) {
    Model::ReadKeyData(keys);
    box.max = kLightBoxMax;
    box.min = kLightBoxMin;
    Model::Refresh();

    const KeyDataList* colour = keys.GetSublist("Color");
    const char* colourKeys[3] = {"Red", "Green", "Blue"};
    for (int i = 0; i < 3; ++i) {
        double value = 0.0;
        if (colour->GetDouble(colourKeys[i], value)) state.SetDouble(1 + i, value);
    }

    KeyDataList* positionalList = keys.GetSublist("Positional");
    KeyDataList* directionalList = keys.GetSublist("Directional");
    if (positionalList != KeyDataList::SharedEmpty()) {
        KeyDataList& positional = *positionalList;
        double number = 0.0;
        if (positional.GetDouble("SpotAngle", number)) state.SetDouble(0, number);
        if (positional.GetDouble("SpotIntensity", number))
            spotIntensity = static_cast<float>(number);
        position4[0] = static_cast<float>(position.x);
        position4[1] = static_cast<float>(position.y);
        position4[2] = static_cast<float>(position.z);
        position4[3] = 1.0f;
        int value = 0;
        if (positional.GetInt("DepthMapWidth", value)) state.SetInteger(2, value);
        if (positional.GetInt("DepthMapHeight", value)) state.SetInteger(3, value);
        if (positional.GetInt("LightBitmapFalloff", value)) state.SetInteger(1, value);
        if (KeyDataList* matrix = positional.GetSublist("RotationMatrix"); matrix->GetHead())
            rotation.ReadKeyData(*matrix);
        Vector down(0.0, -1.0, 0.0);
        rotation.RotateVector(down, down);
        spotDirection[0] = static_cast<float>(down.x);
        spotDirection[1] = static_cast<float>(down.y);
        spotDirection[2] = static_cast<float>(down.z);
        if (!bitmap) bitmap = new Bitmap();
        if (const char* projected = positional.GetString("ProjectedTexture")) {
            bitmap->clearBorder = 1;
            if (bitmap->LoadNow(projected, false)) {
                hasProjectedTexture = 1;
            } else {
                delete bitmap;
                bitmap = nullptr;
                hasProjectedTexture = 0;
            }
            PrepareRender();
            theTrace().Write("eif ILS");
            return true;
        }
        if (positional.GetInt("BitmapSize", value)) state.SetInteger(0, value);
        GenerateFalloff();
    } else if (directionalList != KeyDataList::SharedEmpty()) {
        position4[3] = 0.0f;
        directionVector.ReadChild(*directionalList, "Direction");
        position4[0] = static_cast<float>(directionVector.x);
        position4[1] = static_cast<float>(directionVector.y);
        position4[2] = static_cast<float>(directionVector.z);
        SetColour(kDirectionalGrey, kDirectionalGrey, kDirectionalGrey);
    }
    PrepareRender();
    theTrace().Write("eif ILS");
    return true;
}

void LightSource::WriteKeyData() {
    Model::WriteKeyData();
    KeyDataList* keys = element->ReleaseChildren();
    delete element;
    element = new KeyDataSublist("LightSource", keys);

    KeyDataList* colour = keys->AddSublist("Color");
    colour->AddDouble("Red", state.GetDouble(1));
    colour->AddDouble("Green", state.GetDouble(2));
    colour->AddDouble("Blue", state.GetDouble(3));
    if (IsPositional()) {
        KeyDataList* positional = keys->AddSublist("Positional");
        positional->AddDouble("SpotAngle", state.GetDouble(0));
        positional->AddDouble("SpotIntensity", spotIntensity);
        positional->AddDouble("DepthMapWidth", state.GetInteger(2));
        positional->AddDouble("DepthMapHeight", state.GetInteger(3));
        positional->AddDouble("LightBitmapFalloff", state.GetInteger(1));
        if (hasProjectedTexture && bitmap)
            positional->AddString("ProjectedTexture", bitmap->GetURL());
        rotation.WriteKeyData(*positional, "RotationMatrix");
    } else {
        KeyDataList* directional = keys->AddSublist("Directional");
        directionVector.WriteChild(*directional, "Direction");
    }
}

// ---- Drawing ----

void LightSource::GenerateFalloff() {
    if (!bitmap) return;
    const float colour[3] = {static_cast<float>(state.GetDouble(1)),
                             static_cast<float>(state.GetDouble(2)),
                             static_cast<float>(state.GetDouble(3))};
    bitmap->CreateFalloffTexture(state.GetInteger(0), state.GetInteger(1), colour);
}

void LightSource::PrepareRender() {
    CreateDepthMap();
    // A projected picture stays: the falloff only stands in for a light without one.
    if (bitmap && !hasProjectedTexture) GenerateFalloff();
}

void LightSource::Render() {
    if (!IsVisible()) return;
    BaseControl* control = Control();
    if (!control) return;
    const GlobalState& global = control->globalState;
    Window* active = control->activeWindow ? control->activeWindow : control->mainWindow;
    if (active && (active->viewFlags.GetInt64(0) & kLightHidingViewBits)) return;
    if (active && active->IsOrthographicView() && !global.GetBoolean(2)) return;
    if (control->currentWindow && control->currentWindow != control->mainWindow) return;
    if (global.GetBoolean(15) || global.GetBoolean(16)) return;

    const uint32_t savedFlags = viewFlags;
    if (IsPositional()) viewFlags = 0;
    glPushMatrix();
    glTranslated(position.x, position.y, position.z);
    glMultMatrixd(rotation.m);
    BaseModel::Render();
    if (IsSelected() && !global.GetBoolean(15)) {
        DrawSelectionMarker(5.0);
        DrawHandles(5.0);
    }
    glPopMatrix();
    viewFlags = savedFlags;

    if (IsPositional() && IsSelected()) {
        const Vector* c = frustumCorners;
        glPushAttrib(GL_ENABLE_BIT);
        glEnable(GL_BLEND);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        glDisable(GL_LIGHTING);
        glDisable(GL_ALPHA_TEST);
        glColor3d(state.GetDouble(1), state.GetDouble(2), state.GetDouble(3));
        // Near rectangle, far rectangle, then the three edges the strip leaves out.
        const int strip[10] = {0, 1, 3, 2, 0, 4, 5, 7, 6, 4};
        glBegin(GL_LINE_STRIP);
        for (int i : strip) glVertex3d(c[i].x, c[i].y, c[i].z);
        glEnd();
        glBegin(GL_LINES);
        for (int i : {1, 3, 2}) {
            glVertex3d(c[i].x, c[i].y, c[i].z);
            glVertex3d(c[i + 4].x, c[i + 4].y, c[i + 4].z);
        }
        glEnd();
        glPopAttrib();
    }
}

void LightSource::DrawSelectionMarker(double size) {
    glPushMatrix();
    glTranslated(0.0, kMarkerLift, 0.0);
    Model::DrawSelectionMarker(size);
    glPopMatrix();
}

void LightSource::DrawHandles(double radius) {
    BaseControl* control = Control();
    if (!control) return;
    Window* active = control->activeWindow ? control->activeWindow : control->mainWindow;
    if (control->globalState.GetBoolean(18) && !(active && active->viewFlags.GetBoolean(3))) return;
    const Vector& lo = box.min;
    const Vector& hi = box.max;
    const double zc = (3.0 * lo.z + hi.z) / 4.0;
    const double yMid = (lo.y + hi.y) / 2.0;
    const double xMid = (lo.x + hi.x) / 2.0;
    const Vector green[2] = {Vector((3.0 * hi.x - lo.x) / 2.0, yMid, zc),
                             Vector((3.0 * lo.x - hi.x) / 2.0, yMid, zc)};
    const Vector red[2] = {Vector(xMid, (3.0 * hi.y - lo.y) / 2.0, zc),
                           Vector(xMid, 10.0 * lo.y, zc)};
    const Vector redEnd(xMid, 20.0 * lo.y, zc);

    glPushAttrib(GL_ENABLE_BIT | GL_CURRENT_BIT | GL_LINE_BIT | GL_COLOR_BUFFER_BIT);
    glDisable(GL_ALPHA_TEST);
    auto sphere = [&](const Vector& at) {
        glPushMatrix();
        glTranslated(at.x, at.y, at.z);
        control->DrawSelectionSphere(radius);
        glPopMatrix();
    };
    glPushName(rotationHandle.GetPickName());
    glColor4d(0.0, 1.0, 0.0, 0.5);
    for (const Vector& at : green) sphere(at);
    glPopName();
    glPushName(GetHandle(1).GetPickName());
    glColor4d(1.0, 0.0, 0.0, 0.5);
    for (const Vector& at : red) sphere(at);
    glPopName();
    glLineWidth(2.0f);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glBegin(GL_LINES);
    glColor4d(0.0, 1.0, 0.0, 0.5);
    glVertex3d(green[0].x, green[0].y, green[0].z);
    glVertex3d(green[1].x, green[1].y, green[1].z);
    glColor4d(1.0, 0.0, 0.0, 0.5);
    glVertex3d(red[0].x, red[0].y, red[0].z);
    glVertex3d(redEnd.x, redEnd.y, redEnd.z);
    glEnd();
    glPopAttrib();
}

void LightSource::SetupGLLight(uint32_t& nextLight) {
    if (nextLight < GL_LIGHT0) nextLight = GL_LIGHT0;
    // Past the lights OpenGL has, the light stays off for the frame.
    if (nextLight >= GL_LIGHT0 + kMaxGLLights) {
        glLight = 0;
        return;
    }
    const GLenum light = nextLight;
    const float red = static_cast<float>(state.GetDouble(1));
    const float green = static_cast<float>(state.GetDouble(2));
    const float blue = static_cast<float>(state.GetDouble(3));
    GLfloat diffuse[4] = {red, green, blue, 1.0f};
    const BaseControl* control = Control();
    if (control && control->globalState.GetBoolean(12) && IsPositional())
        diffuse[0] = diffuse[1] = diffuse[2] = kLightsOffGrey;
    glLightfv(light, GL_DIFFUSE, diffuse);
    glEnable(light);
    if (IsPositional()) {
        const GLfloat ambient[4] = {0.0f, 0.0f, 0.0f, 1.0f};
        const double angle = state.GetDouble(0);
        glLightfv(light, GL_AMBIENT, ambient);
        glLightfv(light, GL_SPOT_DIRECTION, spotDirection);
        glLightf(light, GL_SPOT_CUTOFF, static_cast<GLfloat>(angle));
        glLightf(light, GL_SPOT_EXPONENT, 10.0f);
        const GLfloat where[4] = {position4[0], position4[1], position4[2], 1.0f};
        glLightfv(light, GL_POSITION, where);
        glLightf(light, GL_CONSTANT_ATTENUATION, 1.0f);
        glLightf(light, GL_LINEAR_ATTENUATION, 0.0f);
        glLightf(light, GL_QUADRATIC_ATTENUATION, angle == 180.0 ? 0.0f : 0.000009f);
    } else {
        const GLfloat where[4] = {position4[0], position4[1], position4[2], 0.0f};
        const GLfloat ambient[4] = {red, green, blue, 1.0f};
        const GLfloat direction[3] = {0.0f, 0.0f, -1.0f};
        glLightfv(light, GL_POSITION, where);
        glLightfv(light, GL_AMBIENT, ambient);
        glLightfv(light, GL_SPOT_DIRECTION, direction);
        glLightf(light, GL_SPOT_CUTOFF, 180.0f);
        glLightf(light, GL_SPOT_EXPONENT, 0.0f);
    }
    glLight = light;
    ++nextLight;
}

void LightSource::DisableGLLight() {
    if (glLight != 0) glDisable(glLight);
}

// ---- Placement ----

void LightSource::UpdateBounds() {
    if (!IsPositional()) return;
    const int w = state.GetInteger(2);
    const int h = state.GetInteger(3);
    const GLint viewport[4] = {0, 0, w, h};
    const double points[8][3] = {
        {0, 0, 0}, {0, double(h), 0}, {double(w), 0, 0}, {double(w), double(h), 0},
        {0, 0, 1}, {0, double(h), 1}, {double(w), 0, 1}, {double(w), double(h), 1}};
    for (int i = 0; i < 8; ++i) {
        double x = 0.0, y = 0.0, z = 0.0;
        if (gluUnProject(points[i][0], points[i][1], points[i][2], lightModelView.m,
                         shadowProjection.m, viewport, &x, &y, &z) == GL_TRUE)
            frustumCorners[i] = Vector(x, y, z);
    }
}

void LightSource::Refresh() {
    Model::Refresh();
    UpdateBounds();
}

Vector* LightSource::GetCorners() {
    if (IsPositional()) return frustumCorners;
    return Model::GetCorners();
}

void LightSource::AfterPlacement() {
    if (IsPositional()) {
        CreateDepthMap();
        if (BaseControl* control = Control()) control->SetActiveLight(this);
    }
    UpdateBounds();
}

void LightSource::SetPosition(const Vector& newPosition) {
    position4[0] = static_cast<float>(newPosition.x);
    position4[1] = static_cast<float>(newPosition.y);
    position4[2] = static_cast<float>(newPosition.z);
    Model::SetPosition(newPosition);
    AfterPlacement();
}

void LightSource::MoveBy(const Vector& offset) {
    position4[0] += static_cast<float>(offset.x);
    position4[1] += static_cast<float>(offset.y);
    position4[2] += static_cast<float>(offset.z);
    Model::OffsetPosition(offset);
    AfterPlacement();
}

void LightSource::RotateAboutAxis(int axis, double degrees) {
    if (axis == 1) {
        Matrix turn;
        turn.SetRotation(1, degrees);
        rotation.Multiply(rotation, turn);
        Model::Refresh();
    } else {
        Model::RotateAboutAxis(axis, degrees);
    }
    if (IsPositional()) {
        Vector down(0.0, -1.0, 0.0);
        rotation.RotateVector(down, down);
        spotDirection[0] = static_cast<float>(down.x);
        spotDirection[1] = static_cast<float>(down.y);
        spotDirection[2] = static_cast<float>(down.z);
    } else {
        Vector direction = directionVector;
        rotation.RotateVector(direction, direction);
        position4[0] = static_cast<float>(direction.x);
        position4[1] = static_cast<float>(direction.y);
        position4[2] = static_cast<float>(direction.z);
    }
    AfterPlacement();
}

void LightSource::Translate(const Vector& offset) {
    MoveableObject::OffsetPosition(offset);
    Model::Refresh();
    // The spot light moves with its box; a directional light's floats are its direction.
    if (IsPositional()) {
        position4[0] += static_cast<float>(offset.x);
        position4[1] += static_cast<float>(offset.y);
        position4[2] += static_cast<float>(offset.z);
    }
    UpdateBounds();
}

bool LightSource::RemoveFromList(LinkedList& list) {
    if (!IsPositional()) {
        if (!AskYesNo("This is the main light source for the scene (not a spotlight).  Are you "
                      "sure you want to delete it?",
                      "Delete Ambient?", true))
            return false;
    } else if (BaseControl* control = Control();
               control && !HasOtherPositionalLight(control->scene, this)) {
        if (!AskYesNo(control->LoadResourceString(310).c_str(), "Delete Last Light?", false))
            return false;
    }
    return Model::RemoveFromList(list);
}

// ---- Dialog ----

void LightSource::ShowPropertyDialog() {
    BeginUndoStep();
    LightPropertyDialog dialog(this);
    dialog.size = static_cast<int>(state.GetDouble(0));
    dialog.focus = state.GetInteger(1);
    dialog.red = static_cast<float>(state.GetDouble(1));
    dialog.green = static_cast<float>(state.GetDouble(2));
    dialog.blue = static_cast<float>(state.GetDouble(3));
    dialog.shadowSize = state.GetInteger(2);
    if (!IsPositional()) dialog.DisableShadowControls();
    dialog.Show();
    EndUndoStep();
}

int LightSource::OnDialogNotify(Dialog* dialog, int code) {
    auto* lightDialog = dynamic_cast<LightPropertyDialog*>(dialog);
    if (!lightDialog || code != 1) return Model::OnDialogNotify(dialog, code);
    state.SetDouble(0, lightDialog->size);
    state.SetInteger(1, lightDialog->focus);
    SetColour(lightDialog->red, lightDialog->green, lightDialog->blue);
    state.SetInteger(2, lightDialog->shadowSize);
    PrepareRender();
    return 0;
}

// ---- Loading ----

bool LightSource::LoadFromCommandFile(const char* url) {
    ServerCommandFile file;
    file.DownloadNow(url);
    KeyDataList* keys = file.GetKeyData();
    if (!keys) return false;
    KeyDataList* list = keys->GetSublist("LightSource");
    BaseControl* control = Control();
    if (const char* relative = list->GetString("URLWithoutDomain"); relative && control) {
        char address[kPathSize] = {};
        control->AttachPathToDomain(relative, address, sizeof address);
        if (KeyDataElement* old = list->FindElement("URL")) list->DeleteNode(old);
        list->AddString("URL", address);
        if (KeyDataElement* old = list->FindElement("Domain")) list->DeleteNode(old);
        list->AddString("Domain", file.GetHostPart());
    }
    LoadDecompressedFile(*list, false);
    UpdateBounds();
    return true;
}

LightSource* LightSource::LoadFromDomain(const char* path) {
    BaseControl* control = Control();
    if (!PRECONDITION(control != nullptr, "No domain to load a light from")) return nullptr;
    char address[kPathSize];
    control->AttachPathToDomain(path, address, sizeof address);
    auto* light = new LightSource;
    if (light->LoadFromCommandFile(address)) return light;
    theTrace().WriteFormat("No light from %s", address);
    delete light;
    return nullptr;
}

void LightSource::SetProjectedTexture(const char* path) {
    auto* picture = new Bitmap();
    picture->clearBorder = 1;
    if (!picture->LoadNow(path, false)) {
        delete picture;
        return;
    }
    delete bitmap;
    bitmap = picture;
    hasProjectedTexture = 1;
}

// ---- Shadow volume tests ----

bool LightSource::OverlapsObject(const RenderableObject& object) const {
    if (!IsPositional()) return false;
    Vector lo, hi;
    lo.SetMax();
    hi.SetMin();
    for (const Vector& c : frustumCorners) {
        lo = Vector(std::min(lo.x, c.x), std::min(lo.y, c.y), std::min(lo.z, c.z));
        hi = Vector(std::max(hi.x, c.x), std::max(hi.y, c.y), std::max(hi.z, c.z));
    }
    const Vector* corners = const_cast<RenderableObject&>(object).GetCorners();
    if (!corners) return false;
    Vector olo, ohi;
    olo.SetMax();
    ohi.SetMin();
    for (int i = 0; i < 8; ++i) {
        const Vector& c = corners[i];
        olo = Vector(std::min(olo.x, c.x), std::min(olo.y, c.y), std::min(olo.z, c.z));
        ohi = Vector(std::max(ohi.x, c.x), std::max(ohi.y, c.y), std::max(ohi.z, c.z));
    }
    return lo.x <= ohi.x && hi.x >= olo.x && lo.y <= ohi.y && hi.y >= olo.y && lo.z <= ohi.z &&
           hi.z >= olo.z;
}

void LightSource::DepthMapCorners(double depth, Vector out[4]) const {
    const int w = state.GetInteger(2);
    const int h = state.GetInteger(3);
    const GLint viewport[4] = {0, 0, w, h};
    const double window[4][2] = {{0, 0}, {0, double(h)}, {double(w), double(h)}, {double(w), 0}};
    for (int i = 0; i < 4; ++i) {
        double x = 0.0, y = 0.0, z = 0.0;
        gluUnProject(window[i][0], window[i][1], depth, lightModelView.m, shadowProjection.m,
                     viewport, &x, &y, &z);
        out[i] = Vector(x, y, z);
    }
}

bool LightSource::IsOutsideLightFrustum(RenderableObject& object) {
    BaseControl* control = Control();
    Window* window = control ? control->mainWindow : nullptr;
    if (!window || !window->modelViewCache || !window->projectionCache || !window->viewportCache)
        return false;
    Vector corners[4];
    DepthMapCorners(0.0, corners);
    double savedModelView[16], savedProjection[16];
    int savedViewport[4];
    std::copy_n(window->modelViewCache.get(), 16, savedModelView);
    std::copy_n(window->projectionCache.get(), 16, savedProjection);
    std::copy_n(window->viewportCache.get(), 4, savedViewport);
    const Vector* savedSource = window->pickPolygonSource;
    const int savedCount = window->pickPolygonCount;

    std::copy_n(lightModelView.m, 16, window->modelViewCache.get());
    std::copy_n(shadowProjection.m, 16, window->projectionCache.get());
    const int viewport[4] = {0, 0, state.GetInteger(2), state.GetInteger(3)};
    std::copy_n(viewport, 4, window->viewportCache.get());
    window->SetPickPolygon(corners, 4);
    // The polygon test answers true for a shape outside the polygon.
    const bool outside = object.IsInWindowView(*window);

    std::copy_n(savedModelView, 16, window->modelViewCache.get());
    std::copy_n(savedProjection, 16, window->projectionCache.get());
    std::copy_n(savedViewport, 4, window->viewportCache.get());
    window->SetPickPolygon(savedSource, savedCount);
    return outside;
}

// ---- Rotation handle ----------------------------------------------------------------

void LightRotationHandle::PlaceOnOwner() {
    auto* light = dynamic_cast<LightSource*>(owner);
    if (!light) return;
    const BoundingBox& box = light->GetBoundingBox();
    localCentre = box.min.Midpoint(box.max);
    localCentre.Add(light->GetPosition());
    localAxis = Vector(0.0, 1.0, 0.0);
    worldCentre = localCentre;
    worldAxis = localAxis;
}

bool LightRotationHandle::ProjectCursor(Vector& out, int x, int y) {
    BaseControl* control = theControl();
    Window* window = control ? control->activeWindow : nullptr;
    if (!window) return false;
    const Vector hit = window->ScreenToHeightPlane(x, y, localCentre.y);
    if (Window::IsNoIntersection(hit)) return false;
    out = Vector(hit.x - localCentre.x, hit.y - localCentre.y, hit.z - localCentre.z);
    return true;
}
