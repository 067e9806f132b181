#include "interaction/TraceImageModel.h"

#include <GL/gl.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "control/BaseControl.h"
#include "control/RenderLockScope.h"
#include "foundation/KeyDataList.h"
#include "foundation/LinkedList.h"
#include "foundation/Trace.h"
#include "interaction/MouseHandler.h"
#include "model/Part.h"
#include "platform/Menu.h"
#include "render/Bitmap.h"
#include "render/Material.h"
#include "render/Window.h"

namespace {

constexpr int kHiddenTraceImages = 17;  // global boolean
constexpr int kPolygonOffsetFactor = 6;  // global doubles
constexpr int kPolygonOffsetUnits = 7;
constexpr int kUndersideView = 3;  // render-state boolean
constexpr double kStartHeight = 2.0;
constexpr double kMarkerSize = 4.0;

constexpr char kFileScheme[] = "file://";

// The local file a picture address names: a "file://" address or a name without a
// scheme; empty for an address that is fetched.
std::string LocalPicturePath(const char* url) {
    if (std::strncmp(url, kFileScheme, sizeof kFileScheme - 1) == 0)
        return url + sizeof kFileScheme - 1;
    if (std::strstr(url, "://")) return {};
    char resolved[PATH_MAX];
    return realpath(url, resolved) ? resolved : url;
}

// Every view window of the control, the main and active ones included, each once.
template <class F>
void ForEachView(BaseControl& control, F&& f) {
    std::vector<Window*> views;
    auto add = [&](Window* window) {
        if (window && std::find(views.begin(), views.end(), window) == views.end())
            views.push_back(window);
    };
    add(control.mainWindow);
    add(control.activeWindow);
    if (LinkedList* list = control.GetWindowList()) {
        LinkedListIterator it(*list);
        it.LockList();
        for (LinkedListObject* node = it.First(); !it.IsDone(); node = it.Next())
            add(dynamic_cast<Window*>(node));
        it.UnlockList();
    }
    for (Window* window : views) f(*window);
}

}  // namespace

TraceImageModel::TraceImageModel(const char* url) {
    StoreURL(url);
    LoadMaterials(nullptr, 0, nullptr, nullptr, nullptr);
    Material& material = materials[0];
    material.SetColor(1.0, 1.0, 1.0, 0.5);
    // The half alpha of the colour makes the picture see-through.
    material.modulateTexture = 1;
    hasTransparentParts = 1;
    imagePart = new Part(this);
    imagePart->material = &material;
    children.Append(imagePart);
    LoadPicture();
    position = Vector(0.0, kStartHeight, 0.0);
    RotateAboutAxis(1, 180.0);
}

TraceImageModel::~TraceImageModel() {
    // A picture still loading ends before the image goes.
    CancelDownload();
}

Material& TraceImageModel::GetImageMaterial() {
    return materials[0];
}

bool TraceImageModel::StoreURL(const char* url) {
    if (!url) url = "";
    const size_t length = std::strlen(url);
    if (length >= kURLSize) {
        theTrace().WriteFormat("Trace image address of %zu characters refused", length);
        return false;
    }
    std::memcpy(imageURL, url, length + 1);
    return true;
}

void TraceImageModel::LoadPicture() {
    imageWidth = imageHeight = textureSide = 0;
    if (HasNoImage() || !theControl()) return;
    Material& material = materials[0];
    const std::string local = LocalPicturePath(imageURL);
    const std::string address = local.empty() ? imageURL : kFileScheme + local;
    if (address.size() >= Material::kURLSize) {
        TraceWrite("Trace image picture address too long");
        return;
    }
    // A local picture is read where it lies; any other is fetched.
    if (local.empty())
        material.SetTextureURL(address.c_str(), true);
    else
        material.SetTextureFromCache(address.c_str(), local.c_str(), nullptr, nullptr);
    const Bitmap* picture = material.GetTexture();
    if (!picture) return;
    // The sizes come from the file: a picture that does not fit its texture is not used.
    const uint32_t w = picture->cols, h = picture->rows, side = picture->textureSize;
    if (w == 0 || h == 0 || side == 0 || w > side || h > side || w > uint32_t(kMaxSide) ||
        h > uint32_t(kMaxSide) || side > uint32_t(kMaxSide)) {
        theTrace().WriteFormat("Trace image picture unusable: %u x %u in %u", w, h, side);
        return;
    }
    imageWidth = static_cast<int32_t>(w);
    imageHeight = static_cast<int32_t>(h);
    textureSide = static_cast<int32_t>(side);
    BoundingBox extent;
    extent.min.Set(0.0, 0.0, 0.0, 1.0);
    extent.max.Set(imageWidth, 0.0, imageHeight, 1.0);
    SetBoundingBox(extent);
}

bool TraceImageModel::GetCornerCoordinates(double st[4][2]) const {
    if (imageWidth <= 0 || imageHeight <= 0 || textureSide <= 0) return false;
    const double w = imageWidth, h = imageHeight;
    const double k = std::max(w, h) / textureSide;
    // The picture's rows run along z, bottom row at z = 0, and its columns along -x, so
    // that after the half turn of a new image the plan reads upright from above.
    const double along = w >= h ? k : k * w / h;
    const double across = w >= h ? k * h / w : k;
    const double corners[4][2] = {{along, 0}, {along, across}, {0, across}, {0, 0}};
    std::memcpy(st, corners, sizeof corners);
    return true;
}

bool TraceImageModel::BuildDisplayList() {
    double st[4][2];
    if (!imagePart || !GetCornerCoordinates(st)) return false;
    if (imagePart->faceList != Part::kNoList) return true;
    const double w = imageWidth, h = imageHeight;
    const double corners[4][3] = {{0, 0, 0}, {0, 0, h}, {w, 0, h}, {w, 0, 0}};
    const GLuint list = glGenLists(1);
    if (list == 0) return false;
    glNewList(list, GL_COMPILE);
    glBegin(GL_POLYGON);
    glNormal3d(0.0, 1.0, 0.0);
    for (int i = 0; i < 4; ++i) {
        glTexCoord2d(st[i][0], st[i][1]);
        glVertex3d(corners[i][0], corners[i][1], corners[i][2]);
    }
    glEnd();
    glEndList();
    imagePart->faceList = list;
    return true;
}

void TraceImageModel::Render() {
    BaseControl* control = theControl();
    if (!control || imageWidth <= 0 || !visible) return;
    if (control->globalState.GetBoolean(kHiddenTraceImages)) return;
    SceneView* view = control->GetCurrentView();
    if (!view) view = control->GetActiveView();
    if (!view) return;
    RenderState& state = view->GetRenderState();
    const int mode = state.GetInteger(0);
    if (mode == Window::kElevationView) return;
    if (!BuildDisplayList()) return;

    const Vector kept = position;
    const bool underside = state.GetBoolean(kUndersideView);
    if (mode == Window::kBlueprintView || underside)
        position.y = underside ? kLowHeight : kBlueprintHeight;
    state.SetInteger(0, 0);

    glPushAttrib(GL_ENABLE_BIT | GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glPolygonOffset(static_cast<GLfloat>(control->globalState.GetDouble(kPolygonOffsetFactor)),
                    static_cast<GLfloat>(control->globalState.GetDouble(kPolygonOffsetUnits)));
    glEnable(GL_POLYGON_OFFSET_FILL);
    glDepthFunc(GL_LEQUAL);
    glDepthMask(GL_FALSE);
    glDisable(GL_ALPHA_TEST);
    glEnable(GL_TEXTURE_2D);
    glDisable(GL_LIGHTING);
    glLoadName(GetPickName());
    glPushName(imagePart->GetPickName());
    glPushMatrix();
    glTranslated(position.x, position.y, position.z);
    glMultMatrixd(rotation.m);
    // Scaled about the centre, so the picture stays centred on its position.
    glScaled(scale.x, scale.y, scale.z);
    glTranslated(-imageWidth / 2.0, 0.0, -imageHeight / 2.0);
    MaterialView look;
    look.orthographic = false;
    look.transparencyPass = true;
    materials[0].Apply(true, true, look);
    glCallList(imagePart->faceList);
    glPopMatrix();
    glPopName();
    if (selected) {
        glPushMatrix();
        glTranslated(position.x, position.y, position.z);
        DrawSelectionMarker(kMarkerSize);
        glPopMatrix();
    }
    glPopAttrib();

    state.SetInteger(0, mode);
    position = kept;
}

void TraceImageModel::BuildPropertyMenu(platform::Menu& menu) {
    AppendMenuItems(menu);
    menu.AppendSeparator();
    menu.AppendItem(kScaleCommand, "Scale Trace Image...");
    menu.AppendSeparator();
    BaseModel::BuildPropertyMenu(menu);
}

void TraceImageModel::DeleteFromWindows() {
    BaseControl* control = theControl();
    if (!control) return;
    RenderLockScope hold(control);
    control->ReleaseHandles();
    if (!HasOpenStep()) BeginUndoStep();
    bool shown = false;
    ForEachView(*control, [&](Window& window) {
        if (window.traceImage != this) return;
        window.traceImage = nullptr;
        shown = true;
    });
    // With the windows cleared first, the step records the image's removal.
    EndUndoStep();
    SetSelected(false);
    // The menu that ran this still holds the image: it goes with the deleted objects.
    if (shown)
        control->deletedObjects.Append(this);
    else
        TraceWrite("Trace image deleted from no window");
}

bool TraceImageModel::ProcessPropertyMenu(uint32_t id) {
    BaseControl* control = theControl();
    double turn = 0.0, textureTurn = 0.0;
    switch (id) {
        case kScaleCommand: {
            Window* window = control ? control->activeWindow : nullptr;
            if (MouseHandler* mode = window ? window->GetCurrentMode() : nullptr)
                mode->SwitchMouseMode(kScalingMode);
            return true;
        }
        case MouseHandler::kDeleteCommand:
            DeleteFromWindows();
            return true;
        case 500: turn = textureTurn = -45.0; break;
        case 501: turn = textureTurn = 45.0; break;
        case 502: turn = textureTurn = -90.0; break;
        case 503: turn = textureTurn = 90.0; break;
        case 504:
            turn = 180.0;
            textureTurn = -180.0;
            break;
        default:
            if (BaseModel::ProcessPropertyMenu(id)) return true;
            return OnCommand(id);
    }
    RenderLockScope hold(control);
    RotateAboutAxis(1, turn);
    materials[0].textureRotation += textureTurn;
    return true;
}

void TraceImageModel::WriteKeyData() {
    BaseModel::WriteKeyData();
    KeyDataList* keys = element->ReleaseChildren();
    delete element;
    element = new KeyDataSublist("TraceImageModel", keys);
    WritePlacement(*keys);
    keys->AddString("TraceImageURL", imageURL);
}

bool TraceImageModel::ReadKeyData(KeyDataList& keys) {
    if (const char* url = keys.GetString("TraceImageURL")) StoreURL(url);
    // The picture comes from the image's own address, loaded once: the material's
    // texture address is not followed again (each load counts as a finished download).
    KeyDataList copy;
    copy.AppendCopiesOf(keys);
    KeyDataList* list = copy.GetSublist("MaterialList");
    for (auto* m = list->GetFirstMember(); m; m = m->GetNextMember()) {
        if (m->IsElement()) continue;
        KeyDataList& material = *static_cast<KeyDataSublist*>(m)->GetChildren();
        for (const char* key : {"TextureURL", "TextureCachedName"})
            while (BaseKeyDataElement* address = material.FindByName(key))
                material.RemoveNode(address, true);
    }
    BaseModel::ReadKeyData(copy);
    ReadPlacement(copy);
    // The picture decides the extent, whatever the keys said.
    if (imageWidth > 0) {
        BoundingBox extent;
        extent.min.Set(0.0, 0.0, 0.0, 1.0);
        extent.max.Set(imageWidth, 0.0, imageHeight, 1.0);
        SetBoundingBox(extent);
    }
    return true;
}
