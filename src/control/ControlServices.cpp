// Smaller services of the control: floors, the map window's place, the browser's
// drag-and-drop setting, text and registry utilities.

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "control/BaseControl.h"
#include "foundation/Registry.h"
#include "foundation/Trace.h"
#include "foundation/Transaction.h"
#include "model/RenderableObject.h"
#include "model/SceneView.h"
#include "platform/RegistryStore.h"
#include "render/Window.h"

namespace {

constexpr char kInternetZoneKey[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\Zones\\3";
constexpr char kDragDropAction[] = "1802";
constexpr char kMapImagePath[] = "plansys/cameraMapWin.jpg";
constexpr int kMapGap = 5;
constexpr int kMapMinimumSize = 175;
constexpr platform::Size kHeadlessScreen{1024, 768};

}  // namespace

// ---- Floors ----

void BaseControl::SetCurrentFloor(double level) {
    const double current = floorState.GetDouble(4);
    if (!floorState.SetDouble(4, level)) {
        TraceWrite("Floor level refused");
        return;
    }
    BeginUndoGroup();
    (new SpecialTransaction(SpecialTransaction::kChangeFloorLevelDelta))->Record(level - current);
    EndUndoGroup();
    if (!globalState.GetBoolean(6)) {
        LockRender();
        RebuildDisplayData();
        UnlockRender();
    }
}

double BaseControl::ElevationToFloor(double elevation, bool up) {
    const double base = floorState.GetDouble(9);
    const double storey = wallState.GetDouble(5);
    if (!PRECONDITION(storey > 0.0, "No storey height")) return std::max(elevation, 1.0);
    const double f = (elevation - base) / storey;
    double floor;
    if (f == std::floor(f))
        floor = up ? f + 1.0 : f - 1.0;
    else
        floor = up ? std::ceil(f) : std::floor(f);
    double candidate = floor * storey + base + 1.0;

    // A slab standing between stops the step there.
    const double from = elevation + 1.0;
    LinkedListIterator it(scene);
    it.LockList();
    for (LinkedListObject* node = it.First(); !it.IsDone(); node = it.Next()) {
        auto* slab = dynamic_cast<RenderableObject*>(node);
        if (!slab || !slab->HasType(TypeBit::kFloor)) continue;
        const double top = slab->GetBoundingBox().max.y;
        if (up ? (top > from && top < candidate) : (top < from && top > candidate)) candidate = top;
    }
    it.UnlockList();
    return std::max(candidate, 1.0);
}

double BaseControl::GetCurrentFloorElevation() const {
    // A floor's level stands 1.0 above the elevation of its floor.
    return floorState.GetDouble(4) - 1.0;
}

// ---- Map window ----

Window* BaseControl::FindMapWindow() const {
    return mapWindow && windowList && windowList->Contains(mapWindow) ? mapWindow : nullptr;
}

void BaseControl::ToggleMapWindow() {
    if (Window* window = FindMapWindow()) {
        LockRender();
        DestroyMapWindow(window);
        mapWindow = nullptr;
        UnlockRender();
        return;
    }
    OpenMapWindow();
}

platform::Rect BaseControl::PlaceMapWindow() {
    const platform::Rect main = GetMainWindowScreenRect();
    platform::Rect map;
    if (!mapPlaced) {
        const int width = main.right - main.left;
        const int height = main.bottom - main.top;
        map.left = width + kMapGap;
        map.bottom = height;
        map.right = map.left + std::max(width / 4, kMapMinimumSize);
        map.top = std::min(height * 3 / 4, map.bottom - kMapMinimumSize);
        map.left += main.left;
        map.right += main.left;
        map.top += main.top;
        map.bottom += main.top;
        mapPlaced = 1;
    } else {
        // The map follows the main window.
        const int dx = main.left - mapAnchor.left;
        const int dy = main.top - mapAnchor.top;
        map = {mapRect[0] + dx, mapRect[1] + dy, mapRect[2] + dx, mapRect[3] + dy};
    }
    mapAnchor = main;

    const platform::Size screen = GetScreenSize();
    auto shift = [&map](int dx, int dy) {
        map.left += dx;
        map.right += dx;
        map.top += dy;
        map.bottom += dy;
    };
    if (map.left < 0) shift(-map.left, 0);
    if (map.right > screen.width) shift(screen.width - map.right, 0);
    if (map.top < 0) shift(0, -map.top);
    mapRect[0] = map.left;
    mapRect[1] = map.top;
    mapRect[2] = map.right;
    mapRect[3] = map.bottom;
    return map;
}

void BaseControl::OpenMapWindow() {
    const platform::Rect rect = PlaceMapWindow();
    char imageUrl[kPathSize];
    AttachPathToDomain(kMapImagePath, imageUrl, sizeof imageUrl);
    LockRender();
    if (windowList) windowList->Lock();
    mapWindow = CreateMapWindow(rect, imageUrl);
    if (windowList) windowList->Unlock();
    UnlockRender();
}

void BaseControl::SetMapOffset(int x0, int y0, int x, int y) {
    mapRect[0] = mapRect[2] - x + x0;
    mapRect[1] = mapRect[3] - y + y0;
}

platform::Rect BaseControl::GetMainWindowScreenRect() const {
    if (!mainWindow) return {};
    return {0, 0, static_cast<int>(mainWindow->width), static_cast<int>(mainWindow->height)};
}

platform::Size BaseControl::GetScreenSize() const {
    return kHeadlessScreen;
}

Window* BaseControl::CreateMapWindow(const platform::Rect&, const char*) {
    TraceWrite("No map window can be made without a display");
    return nullptr;
}

void BaseControl::DestroyMapWindow(Window* window) {
    if (windowList && window) windowList->DeleteNode(window);
}

// ---- Drag and drop from web pages ----

bool BaseControl::IsDragDropAllowed() {
    const auto store = platform::RegistryStore::ForCurrentUser();
    if (!store || !store->IsOpen()) return false;
    const auto value =
        store->GetNumber32(platform::RegistryRoot::CurrentUser, kInternetZoneKey, kDragDropAction);
    return value && *value == 0;
}

bool BaseControl::AllowDragDrop() {
    const auto store = platform::RegistryStore::ForCurrentUser();
    return store && store->IsOpen() &&
           store->SetNumber32(platform::RegistryRoot::CurrentUser, kInternetZoneKey,
                              kDragDropAction, 0);
}

// ---- Text utilities ----

char BaseControl::ToLowerChar(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

void BaseControl::LowerCaseInPlace(char* text) {
    if (!text) return;
    for (; *text; ++text) *text = ToLowerChar(*text);
}

int BaseControl::CompareNoCase(char* a, const char* b) {
    if (!a || !b) return a == b ? 0 : (a ? 1 : -1);
    LowerCaseInPlace(a);
    return std::strcmp(a, b);
}

char* BaseControl::FileTitle(const char* path, char* buffer, size_t size) {
    if (!buffer || size == 0) return buffer;
    buffer[0] = 0;
    if (!path) return buffer;
    const char* name = path;
    for (const char* p = path; *p; ++p)
        if (*p == '\\' || *p == '/') name = p + 1;
    std::string title(name);
    const size_t dot = title.rfind('.');
    if (dot != std::string::npos) title.erase(dot);
    const size_t bracket = title.rfind('[');
    if (!title.empty() && title.back() == ']' && bracket != std::string::npos) title.erase(bracket);
    std::snprintf(buffer, size, "%s", title.c_str());
    return buffer;
}

// ---- Registry values under the product key ----

bool BaseControl::RegistryWriteDouble(const char* folder, const char* name, double value) {
    return RegistrySetDouble(folder ? folder : "", name, value);
}

bool BaseControl::RegistryReadDouble(const char* folder, const char* name, double* value) {
    return RegistryGetDouble(folder ? folder : "", name, value);
}

bool BaseControl::RegistryWriteString(const char* folder, const char* name, const char* text) {
    return RegistrySetString(folder ? folder : "", name, text);
}

bool BaseControl::RegistryReadString(const char* folder, const char* name, char* buffer,
                                     size_t size) {
    return RegistryGetString(folder ? folder : "", name, buffer, size);
}

bool BaseControl::RegistryRemoveKey(const char* folder) {
    return RegistryDeleteKey(folder ? folder : "");
}

bool BaseControl::RegistryReadVector(const char* folder, const char* name, Vector& out) {
    if (!PRECONDITION(name != nullptr, "RegistryReadVector without a name")) return false;
    double xyz[3];
    for (int i = 0; i < 3; ++i) {
        const std::string key = std::string(name) + static_cast<char>('0' + i);
        if (!RegistryReadDouble(folder, key.c_str(), &xyz[i])) return false;
    }
    out.Set(xyz[0], xyz[1], xyz[2], 1.0);
    return true;
}

bool BaseControl::RegistryWriteVector(const char* folder, const char* name, const Vector& v) {
    if (!PRECONDITION(name != nullptr, "RegistryWriteVector without a name")) return false;
    const double xyz[3] = {v.x, v.y, v.z};
    bool ok = true;
    for (int i = 0; i < 3; ++i) {
        const std::string key = std::string(name) + static_cast<char>('0' + i);
        ok = RegistryWriteDouble(folder, key.c_str(), xyz[i]) && ok;
    }
    return ok;
}

// ---- Loading and drawing helpers ----

void BaseControl::DrawDirectionArrow() {
    RenderableObject* arrow = arrowModels[0];
    if (!arrowDisplay || !arrow) return;
    arrow->SetSelected(false);
    SceneView* view = GetCurrentView();
    if (!view) {
        arrow->Render();
        return;
    }
    RenderState& state = view->GetRenderState();
    const int32_t mode = state.GetInteger(0);
    state.SetInteger(0, Window::kOverheadView);
    arrow->Render();
    state.SetInteger(0, mode);
}
