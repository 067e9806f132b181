#include "slabs/ParametricShape.h"

#include <strings.h>

#include <cmath>
#include <cstring>

#include "building/BaseMolding.h"
#include "control/BaseControl.h"
#include "control/RenderLockScope.h"
#include "foundation/BaseMoldingState.h"
#include "foundation/KeyDataList.h"
#include "foundation/Trace.h"
#include "model/Model.h"
#include "platform/Thread.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

Vector YZ(double y, double z) {
    return Vector(0.0, y, z);
}

Vector UnitYZ(double y, double z) {
    Vector v(0.0, y, z);
    v.Normalize();
    return v;
}

BaseMoldingState* MoldingDefaults() {
    BaseControl* control = theControl();
    return control ? &control->baseMoldingState : nullptr;
}

// The count of points of the curved kinds: fewer for small sizes.
int CurveCount(double sum, int a, int b, int c, int d) {
    if (sum < 4.0) return a;
    if (sum < 16.0) return b;
    if (sum < 32.0) return c;
    return d;
}

}  // namespace

// ---- ParametricShape ----------------------------------------------------------------

ParametricShape::ParametricShape(int type, int capacity, const ParametricShape* previous)
    : shapeType(type) {
    Reserve(capacity);
    if (previous) {
        radius0 = previous->radius0;
        radius1 = previous->radius1;
    } else if (BaseMoldingState* defaults = MoldingDefaults()) {
        const double r0 = defaults->GetDouble(0);
        const double r1 = defaults->GetDouble(1);
        if (r0 > 0.0 && std::isfinite(r0)) radius0 = r0;
        if (r1 > 0.0 && std::isfinite(r1)) radius1 = r1;
    }
}

ParametricShape::~ParametricShape() = default;

void ParametricShape::Reserve(int capacity) {
    points.assign(static_cast<size_t>(capacity), Vector());
    normals.assign(static_cast<size_t>(capacity), Vector());
}

void ParametricShape::Scale(double factor) {
    SetParameter(0, factor * radius0);
    SetParameter(1, factor * radius1);
}

void ParametricShape::SetParameter(int i, double value) {
    if (!(value > 0.0) || !std::isfinite(value)) return;
    if (i == 0)
        radius0 = value;
    else if (i == 1)
        radius1 = value;
    else
        return;
    Regenerate();
    if (BaseMoldingState* defaults = MoldingDefaults()) defaults->SetDouble(i, value);
}

Vector ParametricShape::GetTextureCoord(const Vector& p, int k) const {
    if (count <= 0) return Vector(0.0, 0.0, 0.0);
    if (k < 0) k = 0;
    if (k >= count) k = count - 1;
    double along = 0.0;
    for (int i = 0; i < k; ++i) {
        const double dy = points[i + 1].y - points[i].y;
        const double dz = points[i + 1].z - points[i].z;
        along += std::sqrt(dy * dy + dz * dz);
    }
    const double dy = p.y - points[k].y;
    const double dz = p.z - points[k].z;
    return Vector(std::sqrt(dy * dy + dz * dz) + along, -p.x, 0.0);
}

void ParametricShape::Save(KeyDataList& list) {
    shapeList = list.AddSublist("shapeList");
    if (!shapeList) return;
    shapeList->AddDouble("shapeType", shapeType);
    shapeList->AddDouble("radius0", radius0);
    shapeList->AddDouble("radius1", radius1);
}

void ParametricShape::Load(const KeyDataList& list) {
    double value = 0.0;
    if (ReadFiniteDouble(list, "radius0", value) && value > 0.0) radius0 = value;
    if (ReadFiniteDouble(list, "radius1", value) && value > 0.0) radius1 = value;
    Regenerate();
}

double ParametricShape::ComputeArea() const {
    double twice = 0.0;
    for (int i = 0; i < count; ++i) {
        const Vector& a = points[i];
        const Vector& b = points[(i + 1) % count];
        twice += a.y * b.z - b.y * a.z;
    }
    return std::fabs(twice) * 0.5;
}

std::unique_ptr<ParametricShape> ParametricShape::Make(int code, const ParametricShape* previous) {
    switch (code) {
        case kRect:
            return std::make_unique<ParametricRect>(previous);
        case kOval:
            return std::make_unique<ParametricOval>(previous);
        case kTriangle:
            return std::make_unique<ParametricTriangle>(previous);
        case kTube:
            return std::make_unique<ParametricTube>(previous);
        case kSquareTube:
            return std::make_unique<ParametricSquareTube>(previous);
        case kTriangularTube:
            return std::make_unique<ParametricTriangularTube>(previous);
        case kIrregular:
            return std::make_unique<ParametricIrregularShape>(previous);
        case kRoundRect:
            return std::make_unique<ParametricRoundRect>(previous);
        default:
            return nullptr;
    }
}

// ---- Rectangles ---------------------------------------------------------------------

ParametricRect::ParametricRect(const ParametricShape* previous) : ParametricRect(kRect, previous) {}

ParametricRect::ParametricRect(int type, const ParametricShape* previous)
    : ParametricShape(type, 4, previous) {
    count = 4;
    normals[0] = YZ(-1, 0);
    normals[1] = YZ(0, 1);
    normals[2] = YZ(1, 0);
    normals[3] = YZ(0, -1);
    ParametricRect::Regenerate();
    isTube = 0;
}

void ParametricRect::Regenerate() {
    points[0] = YZ(-radius1, 0);
    points[1] = YZ(-radius1, radius0);
    points[2] = YZ(radius1, radius0);
    points[3] = YZ(radius1, 0);
}

Vector ParametricRect::GetTextureCoord(const Vector& p, int) const {
    return Vector(p.y - p.z, p.x, 0.0);
}

ParametricSquareTube::ParametricSquareTube(const ParametricShape* previous)
    : ParametricRect(kSquareTube, previous) {
    ParametricSquareTube::Regenerate();
}

void ParametricSquareTube::Regenerate() {
    points[0] = YZ(-radius1, -radius0);
    points[1] = YZ(-radius1, radius0);
    points[2] = YZ(radius1, radius0);
    points[3] = YZ(radius1, -radius0);
}

// ---- Ellipses -----------------------------------------------------------------------

ParametricOval::ParametricOval(const ParametricShape* previous)
    : ParametricShape(kOval, 16, previous) {
    ParametricOval::Regenerate();
    isTube = 0;
}

void ParametricOval::Regenerate() {
    count = CurveCount(radius0 + radius1, 4, 8, 12, 16);
    const double step = kPi / (count - 1);
    for (int i = 0; i < count; ++i) {
        const double a = kPi / 2 + i * step;
        points[i] = YZ(-radius1 * std::sin(a), -radius0 * std::cos(a));
        normals[i] = YZ(-std::sin(a), -std::cos(a));
    }
    normals[count - 1] = YZ(0, -1);
}

ParametricTube::ParametricTube(const ParametricShape* previous)
    : ParametricShape(kTube, 32, previous) {
    ParametricTube::Regenerate();
}

void ParametricTube::Regenerate() {
    count = CurveCount(radius0 + radius1, 8, 16, 24, 32);
    for (int i = 0; i < count; ++i) {
        const double a = i * 2 * kPi / (count - 1);
        points[i] = YZ(-radius1 * std::sin(a), -radius0 * std::cos(a));
        normals[i] = YZ(-std::sin(a), -std::cos(a));
    }
}

// ---- Triangles ----------------------------------------------------------------------

ParametricTriangle::ParametricTriangle(const ParametricShape* previous)
    : ParametricTriangle(kTriangle, true, previous) {
    isTube = 0;
}

ParametricTriangle::ParametricTriangle(int type, bool right, const ParametricShape* previous)
    : ParametricShape(type, 3, previous), rightTriangle(right ? 1 : 0) {
    count = 3;
    ParametricTriangle::Regenerate();
}

void ParametricTriangle::Regenerate() {
    if (rightTriangle) {
        points[0] = YZ(-radius1, 0);
        points[1] = YZ(radius1, 0);
        points[2] = YZ(-radius1, radius0);
        normals[0] = YZ(0, -1);
        normals[1] = UnitYZ(radius0, radius1);
        normals[2] = YZ(-1, 0);
    } else {
        points[0] = YZ(-radius1, -radius0);
        points[1] = YZ(-radius1, radius0);
        points[2] = YZ(radius1, 0);
        normals[0] = YZ(-1, 0);
        normals[1] = UnitYZ(radius0, radius1);
        normals[2] = UnitYZ(radius0, -radius1);
    }
}

Vector ParametricTriangle::GetTextureCoord(const Vector& p, int k) const {
    if (k < 0 || k >= 3) k = 0;
    Vector d = points[(k + 1) % 3];
    d.Subtract(points[k]);
    d.w = 0.0;
    d.Normalize();
    return Vector(-(p.x * d.x + p.y * d.y + p.z * d.z), p.x, 0.0);
}

void ParametricTriangle::Save(KeyDataList& list) {
    ParametricShape::Save(list);
    if (shapeList) shapeList->AddDouble("rightTriangle", rightTriangle ? 1 : 0);
}

void ParametricTriangle::Load(const KeyDataList& list) {
    ParametricShape::Load(list);
    double value = 0.0;
    // The flag takes effect at the next regeneration.
    if (ReadFiniteDouble(list, "rightTriangle", value)) rightTriangle = value != 0.0 ? 1 : 0;
}

ParametricTriangularTube::ParametricTriangularTube(const ParametricShape* previous)
    : ParametricTriangle(kTriangularTube, false, previous) {}

// ---- Rounded rectangle --------------------------------------------------------------

ParametricRoundRect::ParametricRoundRect(const ParametricShape* previous)
    : ParametricShape(kRoundRect, 10, previous) {
    count = 10;
    ParametricRoundRect::Regenerate();
    isTube = 0;
}

void ParametricRoundRect::Regenerate() {
    auto c = [](double degrees) { return 0.8 + 0.2 * std::cos(degrees * kPi / 180.0); };
    auto s = [](double degrees) { return 0.8 + 0.2 * std::sin(degrees * kPi / 180.0); };
    const double r0 = radius0;
    const double r1 = radius1;
    points[0] = YZ(-r1, 0);
    points[1] = YZ(-r1, 0.8 * r0);
    points[2] = YZ(-s(60) * r1, c(60) * r0);
    points[3] = YZ(-s(30) * r1, c(30) * r0);
    points[4] = YZ(-0.8 * r1, r0);
    points[5] = YZ(0.8 * r1, r0);
    points[6] = YZ(s(30) * r1, c(30) * r0);
    points[7] = YZ(s(60) * r1, c(60) * r0);
    points[8] = YZ(r1, 0.8 * r0);
    points[9] = YZ(r1, 0);
    for (int i = 0; i < 10; ++i) normals[i] = UnitYZ(points[i].y, points[i].z);
    normals[0] = YZ(-1, 0);
    normals[4] = YZ(0, 1);
    normals[8] = YZ(1, 0);
    normals[9] = YZ(0, -1);
}

// ---- Irregular profile --------------------------------------------------------------

// One loading thread: its cancel flag and the temporary model it fetches with, which the
// shape's destructor cancels.
struct ParametricIrregularShape::Loader {
    std::thread thread;
    std::atomic<bool> cancel{false};
    std::atomic<bool> done{false};
    uint64_t number = 0;
    std::mutex modelMutex;
    BaseModel* model = nullptr;
};

ParametricIrregularShape::ParametricIrregularShape(const ParametricShape* previous)
    : ParametricShape(kIrregular, 4, previous) {
    count = 4;
    points[0] = YZ(-4, -4);
    points[1] = YZ(-4, 4);
    points[2] = YZ(4, 4);
    points[3] = YZ(4, -4);
    normals[0] = YZ(-1, 0);
    normals[1] = YZ(0, 1);
    normals[2] = YZ(1, 0);
    normals[3] = YZ(0, -1);
    isTube = 0;
    ComputeBase();
    ParametricIrregularShape::Regenerate();
    if (BaseMoldingState* defaults = MoldingDefaults()) {
        // The state's text may change under another thread: take a copy first.
        const std::string last = defaults->GetString(0);
        LoadShapeAsync(last.c_str());
    }
}

ParametricIrregularShape::~ParametricIrregularShape() {
    std::vector<std::shared_ptr<Loader>> all;
    {
        std::lock_guard<std::mutex> guard(loadersMutex);
        all.swap(loaders);
    }
    for (auto& loader : all) {
        loader->cancel = true;
        std::lock_guard<std::mutex> guard(loader->modelMutex);
        if (loader->model) loader->model->Cancel();
    }
    BaseControl* control = theControl();
    const int held = control ? control->ReleaseRenderLockFully() : 0;
    for (auto& loader : all)
        if (loader->thread.joinable()) loader->thread.join();
    if (control) control->ReacquireRenderLock(held);
}

void ParametricIrregularShape::WaitForLoads() {
    std::vector<std::shared_ptr<Loader>> all;
    {
        std::lock_guard<std::mutex> guard(loadersMutex);
        all.swap(loaders);
    }
    BaseControl* control = theControl();
    const int held = control ? control->ReleaseRenderLockFully() : 0;
    for (auto& loader : all)
        if (loader->thread.joinable()) loader->thread.join();
    if (control) control->ReacquireRenderLock(held);
}

void ParametricIrregularShape::Save(KeyDataList& list) {
    ParametricShape::Save(list);
    if (shapeList) shapeList->AddString("url", url);
}

void ParametricIrregularShape::Load(const KeyDataList& list) {
    ParametricShape::Load(list);
    keepRadii = 1;
    const char* name = list.GetString("url");
    if (name) LoadShapeAsync(name);
}

void ParametricIrregularShape::Regenerate() {
    BaseMolding* molding = owner.load();
    if (molding && !molding->IsStandAlone()) return;
    if (count <= 0 || baseOutline.size() != static_cast<size_t>(count)) return;
    const double sy = radius0 / extent.y;
    const double sz = radius1 / extent.z;
    for (int i = 0; i < count; ++i) {
        points[i] = baseOutline[i];
        points[i].y *= sy;
        points[i].z *= sz;
    }
}

void ParametricIrregularShape::ComputeBase() {
    baseOutline.assign(points.begin(), points.begin() + count);
    if (count <= 0) return;
    double maxY = 0.0;
    double maxZ = 0.0;
    for (const Vector& p : baseOutline) {
        maxY = std::max(maxY, std::fabs(p.y));
        maxZ = std::max(maxZ, std::fabs(p.z));
    }
    extent.y = std::max(0.001, maxY);
    extent.z = std::max(0.001, maxZ);
}

void ParametricIrregularShape::LoadShapeAsync(const char* name) {
    if (!name || !*name || strcasecmp(name, url) == 0) return;
    if (std::strlen(name) >= kUrlSize) {
        theTrace().WriteFormat("Profile file name too long: %.200s", name);
        return;
    }
    std::strncpy(url, name, kUrlSize - 1);
    url[kUrlSize - 1] = '\0';
    auto loader = std::make_shared<Loader>();
    std::lock_guard<std::mutex> guard(loadersMutex);
    // Threads that ended are joined here, so the list stays short.
    for (auto it = loaders.begin(); it != loaders.end();) {
        if ((*it)->done) {
            if ((*it)->thread.joinable()) (*it)->thread.join();
            it = loaders.erase(it);
        } else {
            ++it;
        }
    }
    loader->number = ++newestLoad;
    loaders.push_back(loader);
    // Each thread has its own copy of the name.
    loader->thread = std::thread(&ParametricIrregularShape::LoadThread, this, std::string(name),
                                 loader);
}

void ParametricIrregularShape::LoadThread(std::string name, std::shared_ptr<Loader> loader) {
    platform::SetCurrentThreadPriority(platform::ThreadPriority::Normal);
    std::vector<Vector> loaded;
    {
        auto* model = new Model;
        model->SetCompressed(true);
        {
            std::lock_guard<std::mutex> guard(loader->modelMutex);
            loader->model = model;
        }
        if (!loader->cancel) {
            if (name.find(".3c_") != std::string::npos)
                model->LoadDescription(name.c_str());
            else
                model->DownloadNow(name.c_str());
            // A description may have started the geometry on the model's own thread.
            model->WaitForDownload();
        }
        loaded = model->GetOutlinePoints();
        {
            std::lock_guard<std::mutex> guard(loader->modelMutex);
            loader->model = nullptr;
        }
        RenderLockScope hold;
        delete model;
    }
    if (!loader->cancel) {
        RenderLockScope hold;
        // The shape's destructor sets the flag before it gives the render lock up to wait
        // for this thread: checked under the lock, a live flag means a live shape.
        if (!loader->cancel && loader->number == newestLoad.load())
            TakeLoadedPoints(std::move(loaded));
    }
    loader->done = true;
}

void ParametricIrregularShape::TakeLoadedPoints(std::vector<Vector> loaded) {
    points = std::move(loaded);
    count = static_cast<int32_t>(points.size());
    Vector n;
    n.PolygonNormal(points.data(), count);
    if (std::fabs(n.y) > 0.9) {
        for (Vector& p : points) p.Set(p.y, p.z, p.x, 1.0);
    } else if (std::fabs(n.z) > 0.9) {
        for (Vector& p : points) p.Set(p.z, p.y, p.x, 1.0);
    }
    if (count > 0) bounds.ExtendByPoints(points.data(), count);
    normals.assign(points.size(), Vector());
    n.PolygonNormal(points.data(), count);
    if (n.x > 0.0)
        for (int i = 0; i < count / 2; ++i) std::swap(points[i], points[count - 1 - i]);
    for (int i = 0; i < count; ++i) {
        const Vector& a = points[i];
        const Vector& b = points[(i + 1) % count];
        normals[i] = UnitYZ(a.z - b.z, b.y - a.y);
    }
    if (count > 0) {
        ComputeBase();
    } else {
        baseOutline.clear();
    }
    if (!keepRadii) {
        radius0 = extent.y;
        radius1 = extent.z;
        if (BaseMoldingState* defaults = MoldingDefaults()) {
            defaults->SetDouble(0, radius0);
            defaults->SetDouble(1, radius1);
        }
    }
    keepRadii = 0;
    Regenerate();
    if (BaseMolding* molding = owner.load()) molding->RebuildLinked();
}

void ParametricIrregularShape::SetOutline(const ParametricIrregularShape& source) {
    if (&source == this) return;
    count = source.count;
    points.assign(source.points.begin(), source.points.begin() + source.count);
    normals.assign(source.normals.begin(), source.normals.begin() + source.count);
    radius0 = source.radius0;
    radius1 = source.radius1;
    std::memcpy(url, source.url, sizeof url);
    ComputeBase();
    Regenerate();
}
