#include "building/BaseMolding.h"

#include <GL/glu.h>
#include <strings.h>

#include <cmath>
#include <cstdio>
#include <vector>

#include "control/BaseControl.h"
#include "control/LengthFormat.h"
#include "control/RenderLockScope.h"
#include "control/dialogs/MoldingPropertyDialog.h"
#include "foundation/KeyDataList.h"
#include "geometry/Matrix.h"
#include "geometry/ViewProjection.h"
#include "foundation/Trace.h"
#include "model/SceneView.h"
#include "platform/Menu.h"
#include "render/Window.h"
#include "slabs/ParametricShape.h"

namespace {

constexpr const char* kDefaultTexture = "Textures/finished_wood/white_oak_blonde_im.3c_";
constexpr double kParallel = 0.98;
constexpr double kHandleRadius = 2.0;
constexpr uint32_t kPropertiesCommand = 102;

Vector Sub(const Vector& a, const Vector& b) {
    return Vector(a.x - b.x, a.y - b.y, a.z - b.z);
}
Vector AddScaled(const Vector& a, const Vector& b, double s) {
    return Vector(a.x + b.x * s, a.y + b.y * s, a.z + b.z * s);
}
Vector Scaled(const Vector& a, double s) {
    return Vector(a.x * s, a.y * s, a.z * s);
}
double Dot3(const Vector& a, const Vector& b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}
Vector Cross3(const Vector& a, const Vector& b) {
    return Vector(a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x);
}
Vector Unit(const Vector& v) {
    const double l = std::sqrt(Dot3(v, v));
    if (!(l > 0.0)) return Vector(0.0, 0.0, 0.0);
    return Scaled(v, 1.0 / l);
}

BaseMoldingState* MoldingDefaults() {
    BaseControl* control = theControl();
    return control ? &control->baseMoldingState : nullptr;
}

// Where the line b0-b1 meets the line through a0 and a1, both in the plane of normal n;
// none for parallel lines. Collinear lines meet between their nearest ends.
std::optional<Vector> InPlaneIntersection(const Vector& a0, const Vector& a1, const Vector& b0,
                                          const Vector& b1, const Vector& n) {
    const Vector u = Unit(Sub(a1, a0));
    const Vector v = Unit(Cross3(u, n));
    if (Dot3(u, u) == 0.0 || Dot3(v, v) == 0.0) return std::nullopt;
    const double c = Dot3(Sub(b0, a0), v);
    const double e = Dot3(Sub(b1, a0), v);
    const bool zeroC = std::fabs(c) < 1e-9;
    const bool zeroE = std::fabs(e) < 1e-9;
    if (zeroC && zeroE) {
        const Vector* as[2] = {&a0, &a1};
        const Vector* bs[2] = {&b0, &b1};
        double best = -1.0;
        Vector point;
        for (const Vector* a : as)
            for (const Vector* b : bs) {
                const double d = a->Distance(*b);
                if (best < 0.0 || d < best) {
                    best = d;
                    point = a->Midpoint(*b);
                }
            }
        return point;
    }
    if (std::fabs(c - e) < 1e-12) return std::nullopt;
    const Vector p = AddScaled(b0, Sub(b1, b0), c / (c - e));
    if (!std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(p.z)) return std::nullopt;
    return p;
}

// The molding being tessellated and the points the tessellator made up.
struct CapTessellation {
    const BaseMolding* molding = nullptr;
    std::vector<std::unique_ptr<double[]>> extra;
};

void CapBegin(GLenum type) {
    glBegin(type);
}
void CapEnd() {
    glEnd();
}
void CapVertex(void* vertex, void* data) {
    const double* v = static_cast<const double*>(vertex);
    const auto* tess = static_cast<CapTessellation*>(data);
    const Vector p(v[0], v[1], v[2]);
    const Vector t = tess->molding->GetTextureCoordinate(p);
    glTexCoord2d(t.x, t.y);
    glVertex3dv(v);
}
void CapCombine(GLdouble coords[3], void*[4], GLfloat[4], void** out, void* data) {
    auto* tess = static_cast<CapTessellation*>(data);
    auto point = std::make_unique<double[]>(6);
    for (int i = 0; i < 3; ++i) point[i] = coords[i];
    // Profile coordinates of a made-up point are not known; the texture falls back.
    point[3] = point[4] = point[5] = 0.0;
    *out = point.get();
    tess->extra.push_back(std::move(point));
}

}  // namespace

// ---- life ---------------------------------------------------------------------------

BaseMolding::BaseMolding(bool skipDefaultTexture) {
    parentPlane.w = 0.0;
    lengthLabel = "Length";
    widthLabel = "Depth";
    heightLabel = "Height";
    if (BaseMoldingState* defaults = MoldingDefaults()) state.CopyFrom(*defaults);
    surface.material = &material;
    surface.SetOwner(this);
    if (!skipDefaultTexture) {
        if (BaseControl* control = theControl()) {
            char address[BaseControl::kPathSize];
            if (control->AttachPathToDomain(kDefaultTexture, address, sizeof address))
                material.LoadFromURL(address);
        }
    }
}

BaseMolding::~BaseMolding() {
    DropShape();
    for (int which : {kBegin, kEnd}) {
        BaseMolding* other = GetLinked(which);
        if (!other) continue;
        if (other->linkedBegin == this) other->linkedBegin = nullptr;
        if (other->linkedEnd == this) other->linkedEnd = nullptr;
        other->MarkDirty();
    }
    linkedBegin = linkedEnd = nullptr;
    if (geometryList != Part::kNoList) glDeleteLists(geometryList, 1);
    if (edgeLines != Part::kNoList) glDeleteLists(edgeLines, 1);
    surface.faceList = Part::kNoList;
    surface.edgeList = Part::kNoList;
}

void BaseMolding::DropShape() {
    shape.reset();
}

// ---- profile ------------------------------------------------------------------------

void BaseMolding::SetShape(std::unique_ptr<ParametricShape> newShape) {
    shape = std::move(newShape);
    MarkDirty();
}

void BaseMolding::SetShapeType(int type) {
    if (busy) return;
    // A profile's loading thread hands its outline over under the render lock.
    RenderLockScope hold;
    if (type < 1 || type > 8) {
        theTrace().WriteFormat("Molding: no profile of kind %d", type);
        return;
    }
    if (shape && shape->GetType() == type) return;
    std::unique_ptr<ParametricShape> made = ParametricShape::Make(type, shape.get());
    if (!made) return;
    if (type == ParametricShape::kIrregular)
        static_cast<ParametricIrregularShape*>(made.get())->SetKeepRadii(true);
    SetShape(std::move(made));
    state.SetInteger(0, type);
    busy = 1;
    if (linkedBegin) linkedBegin->SetShapeType(type);
    if (linkedEnd) linkedEnd->SetShapeType(type);
    busy = 0;
}

void BaseMolding::SetProfileFromURL(const char* url) {
    if (busy || !url || !*url) return;
    RenderLockScope hold;
    SetShapeType(ParametricShape::kIrregular);
    auto* irregular = dynamic_cast<ParametricIrregularShape*>(shape.get());
    if (!irregular) return;
    irregular->SetOwner(this);
    irregular->LoadShapeAsync(url);
    state.SetString(0, url);
    RebuildLinked();
}

void BaseMolding::RebuildLinked() {
    if (busy) return;
    RenderLockScope hold;
    busy = 1;
    auto* mine = dynamic_cast<ParametricIrregularShape*>(shape.get());
    for (BaseMolding* other : {linkedBegin, linkedEnd}) {
        if (!other || other->busy) continue;
        auto* theirs = dynamic_cast<ParametricIrregularShape*>(other->shape.get());
        if (mine && theirs) theirs->SetOutline(*mine);
        other->RebuildLinked();
    }
    busy = 0;
    MarkDirty();
}

void BaseMolding::ApplyState() {
    if (!shape) return;
    SetProfileParameter(state.GetDouble(0), 0);
    SetProfileParameter(state.GetDouble(1), 1);
    const int type = state.GetInteger(0);
    if (type == ParametricShape::kIrregular) {
        const std::string url = state.GetString(0);
        SetProfileFromURL(url.c_str());
    } else {
        SetShapeType(type);
    }
    MarkDirty();
}

// ---- sizes --------------------------------------------------------------------------

double BaseMolding::GetSizeZ() const {
    return GetBegin().Distance(GetEnd());
}

double BaseMolding::GetSizeX() const {
    if (!shape) return 0.0;
    return shape->IsWidthCentered() ? 2.0 * shape->GetRadius1() : shape->GetRadius1();
}

double BaseMolding::GetSizeY() const {
    if (!shape) return 0.0;
    return shape->IsDepthCentered() ? 2.0 * shape->GetRadius0() : shape->GetRadius0();
}

int BaseMolding::SetSizeZ(double length) {
    if (!(std::fabs(length) >= 0.01)) return -1;
    if (linkedBegin && linkedEnd) return -2;
    const Vector d = Direction();
    if (linkedBegin) {
        end.position = AddScaled(GetBegin(), d, length);
    } else if (linkedEnd) {
        begin.position = AddScaled(GetEnd(), d, -length);
    } else {
        const Vector middle = GetBegin().Midpoint(GetEnd());
        begin.position = AddScaled(middle, d, -length * 0.5);
        end.position = AddScaled(middle, d, length * 0.5);
    }
    LinkNeighbours();
    MarkDirty();
    return 0;
}

int BaseMolding::SetSizeX(double width) {
    if (!(width >= 0.01)) return -1;
    if (!shape) return -2;
    if (shape->IsWidthCentered()) width *= 0.5;
    SetProfileParameter(width, 1);
    LinkNeighbours();
    MarkDirty();
    return 0;
}

int BaseMolding::SetSizeY(double height) {
    if (!(height >= 0.01)) return -1;
    if (!shape) return -2;
    if (shape->IsDepthCentered()) height *= 0.5;
    SetProfileParameter(height, 0);
    LinkNeighbours();
    MarkDirty();
    return 0;
}

void BaseMolding::SetProfileParameter(double value, int index) {
    if (!busy && value > 0.0 && std::isfinite(value)) {
        RenderLockScope hold;
        busy = 1;
        if (shape && (index == 0 || index == 1)) shape->SetParameter(index, value);
        if (linkedBegin) linkedBegin->SetProfileParameter(value, index);
        if (linkedEnd) linkedEnd->SetProfileParameter(value, index);
        busy = 0;
    }
    if (!busy) MarkDirty();
}

void BaseMolding::ScaleProfile(double f0, double f1) {
    if (!shape) return;
    if (f0 > 0.0) SetProfileParameter(shape->GetRadius0() * f0, 0);
    if (f1 > 0.0) SetProfileParameter(shape->GetRadius1() * f1, 1);
}

bool BaseMolding::GetSizeText(PickableObject* handle) {
    if (handle == &begin || handle == &end) {
        ShowLengthInStatusBar("Length : ", GetSizeZ(), kNoSecondLength);
        return true;
    }
    if (!shape) return false;
    if (handle == &widthHandles[0] || handle == &widthHandles[1]) {
        ShowLengthInStatusBar("Width : ", shape->GetRadius1(), kNoSecondLength);
        return true;
    }
    if (handle == &heightHandles[0] || handle == &heightHandles[1]) {
        const double depth =
            shape->IsDepthCentered() ? 2.0 * shape->GetRadius0() : shape->GetRadius0();
        ShowLengthInStatusBar("Depth : ", depth, kNoSecondLength);
        return true;
    }
    return false;
}

// ---- side, colour, material ---------------------------------------------------------

void BaseMolding::SetInvert(bool value) {
    if ((invert != 0) == value) return;
    invert = value ? 1 : 0;
    if (linkedBegin) linkedBegin->SetInvert(value);
    if (linkedEnd) linkedEnd->SetInvert(value);
    MarkDirty();
}

void BaseMolding::SetColor(double r, double g, double b, double a) {
    if (busy) return;
    busy = 1;
    surface.SetColor(r, g, b, a);
    MarkDirty();
    if (linkedBegin) linkedBegin->SetColor(r, g, b, a);
    if (linkedEnd) linkedEnd->SetColor(r, g, b, a);
    busy = 0;
}

void BaseMolding::ApplyMaterialLinked(KeyDataList& keys) {
    if (busy) return;
    busy = 1;
    surface.ApplyMaterialKeys(keys, false);
    MarkDirty();
    if (linkedBegin) linkedBegin->ApplyMaterialLinked(keys);
    if (linkedEnd) linkedEnd->ApplyMaterialLinked(keys);
    busy = 0;
}

// ---- geometry -----------------------------------------------------------------------

Vector BaseMolding::Direction() const {
    const Vector diff = Sub(GetEnd(), GetBegin());
    const double length = std::sqrt(Dot3(diff, diff));
    if (!(length >= 0.001)) return Vector(1.0, 0.0, 0.0);
    return Scaled(diff, 1.0 / length);
}

void BaseMolding::SetEndPoint(int which, const Vector& p) {
    Vector q = p;
    q.w = 1.0;
    (which == kBegin ? begin : end).position = q;
    MarkDirty();
}

void BaseMolding::SetParentPlane(const Vector& plane, const Vector& point) {
    parentPlane = plane;
    pointInParentPlane = point;
    pointInParentPlane.w = 1.0;
    MarkDirty();
}

Vector BaseMolding::ScreenToParentPlane(int x, int y) const {
    BaseControl* control = theControl();
    Window* window = control ? control->activeWindow : nullptr;
    Vector result = GetBegin();
    if (!window) return result;
    ViewProjection view;
    for (int i = 0; i < 4; ++i) view.viewport[i] = window->viewportCache[i];
    view.modelView = Matrix(window->modelViewCache.get());
    view.projection = Matrix(window->projectionCache.get());
    const double wy = view.viewport[3] - y;
    Vector nearPoint;
    Vector farPoint;
    if (!view.Unproject(x, wy, 0.0, nearPoint) || !view.Unproject(x, wy, 1.0, farPoint))
        return result;
    const Vector ray = Unit(Sub(farPoint, nearPoint));
    const Vector n(parentPlane.x, parentPlane.y, parentPlane.z);
    const double along = Dot3(n, ray);
    if (std::fabs(along) < 0.05) {
        // Seen almost edge-on: the point of the plane nearest the ray across the view.
        const Vector toPlane = Sub(nearPoint, pointInParentPlane);
        return AddScaled(nearPoint, n, -Dot3(toPlane, n));
    }
    const double t = -(Dot3(n, nearPoint) + parentPlane.w) / along;
    return AddScaled(nearPoint, ray, t);
}

void BaseMolding::Translate(const Vector& offset) {
    begin.position = AddScaled(begin.position, offset, 1.0);
    end.position = AddScaled(end.position, offset, 1.0);
    MarkDirty();
}

void BaseMolding::ApplyOffset() {
    offsetBase = GetBegin();
    offsetApplied = 1;
}

void BaseMolding::RemoveOffset() {
    if (!offsetApplied) return;
    offsetBase = Sub(offsetBase, GetBegin());
    offsetApplied = 0;
}

// ---- links --------------------------------------------------------------------------

bool BaseMolding::CanLinkTo(const BaseMolding& other) const {
    BaseMoldingState* defaults = MoldingDefaults();
    if (!defaults || !defaults->GetBoolean(0)) return false;
    if (&other == this) return false;
    if (shape && other.shape) {
        if (shape->GetType() != other.shape->GetType()) return false;
        if (shape->GetType() == ParametricShape::kIrregular) {
            auto* a = static_cast<const ParametricIrregularShape*>(shape.get());
            auto* b = static_cast<const ParametricIrregularShape*>(other.shape.get());
            if (strcasecmp(a->GetUrl(), b->GetUrl()) != 0) return false;
        } else if (shape->GetRadius0() != other.shape->GetRadius0() ||
                   shape->GetRadius1() != other.shape->GetRadius1()) {
            return false;
        }
    }
    if (std::fabs(Dot3(Direction(), other.Direction())) > kParallel) return false;
    const Vector n1(parentPlane.x, parentPlane.y, parentPlane.z);
    const Vector n2(other.parentPlane.x, other.parentPlane.y, other.parentPlane.z);
    if (std::fabs(Dot3(n1, n2)) > kParallel) {
        const double a = std::fabs(Dot3(pointInParentPlane, n1));
        const double b = std::fabs(Dot3(other.pointInParentPlane, n1));
        if (std::fabs(a - b) > 0.2) return false;
    }
    return true;
}

bool BaseMolding::LinkTo(BaseMolding* other, int own, int otherEnd) {
    if (!other || other == this) return false;
    if ((own != kBegin && own != kEnd) || (otherEnd != kBegin && otherEnd != kEnd)) return false;
    // An end holds one neighbour: a second link would leave the first one pointing here.
    if (GetLinked(own) || other->GetLinked(otherEnd)) return false;
    const Vector d1 = Direction();
    const Vector d2 = other->Direction();
    if (std::fabs(Dot3(d1, d2)) > kParallel) return false;
    const Vector n1(parentPlane.x, parentPlane.y, parentPlane.z);
    const Vector n2(other->parentPlane.x, other->parentPlane.y, other->parentPlane.z);
    const double d1Offset = parentPlane.w;
    const double d2Offset = other->parentPlane.w;
    if (std::fabs(Dot3(n1, n2) - 1.0) >= 0.001) {
        const bool parallelPlanes = std::fabs(Dot3(n1, n2)) > 1.0 - 0.001;
        if (!parallelPlanes) {
            // Where this molding's line meets the other's plane.
            const Vector diff = Sub(GetEnd(), GetBegin());
            const double across = Dot3(n2, diff);
            if (std::fabs(across) < 1e-12) return false;
            const double t = Dot3(n2, Sub(other->GetBegin(), GetBegin())) / across;
            const Vector p1 = AddScaled(GetBegin(), diff, t);
            const Vector along = Cross3(d1, n1);
            const auto corner = InPlaneIntersection(p1, AddScaled(p1, along, 1.0),
                                                    other->GetBegin(), other->GetEnd(), n2);
            if (!corner) return false;
            LinkAt(other, own, otherEnd, *corner);
            return true;
        }
        // Opposite normals: the same plane when the offsets cancel.
        if (!(d2Offset + d1Offset < 0.001)) return false;
    } else if (!(d2Offset - d1Offset < 0.001)) {
        return false;
    }
    const auto corner =
        InPlaneIntersection(GetBegin(), GetEnd(), other->GetBegin(), other->GetEnd(), n1);
    if (!corner) return false;
    LinkAt(other, own, otherEnd, *corner);
    return true;
}

void BaseMolding::LinkAt(BaseMolding* other, int own, int otherEnd, const Vector& corner) {
    if ((own == otherEnd) != ((invert != 0) != (other->invert != 0))) SetInvert(!invert);
    Vector p = corner;
    p.w = 1.0;
    (own == kBegin ? begin : end).position = p;
    LinkNeighbours();
    SetLink(own, other);
    other->SetLink(otherEnd, this);
    (otherEnd == kBegin ? other->begin : other->end).position = p;
    other->LinkNeighbours();
    MarkDirty();
    other->MarkDirty();
}

void BaseMolding::LinkNeighbours() {
    if (busy) return;
    busy = 1;
    if (linkedBegin) {
        BaseMolding* n = linkedBegin;
        (n->linkedBegin == this ? n->begin : n->end).position = begin.position;
        n->LinkNeighbours();
        n->MarkDirty();
    }
    if (linkedEnd) {
        BaseMolding* n = linkedEnd;
        (n->linkedEnd == this ? n->end : n->begin).position = end.position;
        n->LinkNeighbours();
        n->MarkDirty();
    }
    busy = 0;
}

void BaseMolding::Unlink(int which) {
    BaseMolding* other = GetLinked(which);
    SetLink(which, nullptr);
    if (!other) return;
    if (other->linkedBegin == this) other->linkedBegin = nullptr;
    if (other->linkedEnd == this) other->linkedEnd = nullptr;
    other->MarkDirty();
    MarkDirty();
}

void BaseMolding::RelinkAll(LinkedList& list) {
    for (int which : {kBegin, kEnd}) {
        const int32_t id = GetLinkedId(which);
        if (id == -1) {
            Unlink(which);
            continue;
        }
        if (id == 0) continue;
        BaseMolding* current = GetLinked(which);
        if (current && (current->savedObjectId == id || static_cast<int32_t>(current->GetID()) == id))
            continue;
        for (LinkedListObject* node = list.GetHead(); node; node = node->GetNext()) {
            auto* candidate = dynamic_cast<BaseMolding*>(node);
            if (!candidate || candidate == this) continue;
            // Ids from a plan name the saved ids; ids written in this run the list ids.
            if (candidate->savedObjectId != id && static_cast<int32_t>(candidate->GetID()) != id)
                continue;
            if (current) Unlink(which);
            const bool backAtBegin = candidate->linkedBeginId == savedObjectId ||
                                     candidate->linkedBeginId == static_cast<int32_t>(GetID());
            const int theirs = backAtBegin ? kBegin : kEnd;
            if (candidate->GetLinked(theirs)) candidate->Unlink(theirs);
            LinkTo(candidate, which, theirs);
            break;
        }
    }
}

std::optional<Vector> BaseMolding::MiterPlane(int which) const {
    const BaseMolding* other = GetLinked(which);
    if (!other) return std::nullopt;
    Vector a = Direction();
    if (which == kEnd) a = Scaled(a, -1.0);
    Vector b = other->Direction();
    if (other->linkedEnd == this) b = Scaled(b, -1.0);
    if (std::fabs(Dot3(a, b)) > kParallel) return std::nullopt;
    const Vector h = Scaled(AddScaled(a, b, 1.0), 0.5);
    const Vector m = Unit(Cross3(a, b));
    Vector q = Unit(Cross3(m, h));
    q.w = -Dot3(q, GetEndPoint(which));
    return q;
}

// ---- keys ---------------------------------------------------------------------------

void BaseMolding::WriteKeyData() {
    delete element;
    element = new KeyDataSublist("BaseMolding");
    WriteMoldingKeys(*element->GetChildren());
}

void BaseMolding::WriteMoldingKeys(KeyDataList& keys) {
    begin.position.WriteChild(keys, "begin");
    end.position.WriteChild(keys, "end");
    surface.SaveMaterial(keys, "paramSurface");
    parentPlane.WriteChild(keys, "parentPlane");
    pointInParentPlane.WriteChild(keys, "pointInParentPlane");
    keys.AddDouble("invert", invert ? 1.0 : 0.0);
    keys.AddDouble("transactionObjectId", GetObjectId());
    if (shape) shape->Save(keys);
    keys.AddDouble("objectId", GetID());
    keys.AddDouble("linkedBeginId", linkedBegin ? linkedBegin->GetID() : -1.0);
    keys.AddDouble("linkedEndId", linkedEnd ? linkedEnd->GetID() : -1.0);
}

namespace {

// A 32-bit id read from keys; false for a missing or unusable value.
bool ReadId(const KeyDataList& keys, const char* key, int32_t& out) {
    double value = 0.0;
    if (!ReadFiniteDouble(keys, key, value)) return false;
    if (value < -1.0 || value > 2147483647.0 || value != std::floor(value)) {
        theTrace().WriteFormat("Molding: %s %g is not an id", key, value);
        return false;
    }
    out = static_cast<int32_t>(value);
    return true;
}

bool IsFiniteVector(const Vector& v) {
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z) && std::isfinite(v.w);
}

}  // namespace

bool BaseMolding::ReadKeyData(KeyDataList& keys) {
    Vector v;
    auto readPoint = [&](const char* key, Vector& into) {
        if (!keys.GetSublist(key) || keys.GetSublist(key)->IsEmpty()) return;
        v = into;
        v.ReadChild(keys, key);
        if (IsFiniteVector(v)) into = v;
    };
    readPoint("begin", begin.position);
    readPoint("end", end.position);
    if (KeyDataList* material = keys.GetSublist("paramSurface"); material && !material->IsEmpty())
        surface.Load(*material);
    readPoint("parentPlane", parentPlane);
    readPoint("pointInParentPlane", pointInParentPlane);
    double value = 0.0;
    if (ReadFiniteDouble(keys, "invert", value)) invert = value != 0.0 ? 1 : 0;
    if (KeyDataList* list = keys.GetSublist("shapeList"); list && !list->IsEmpty()) {
        RenderLockScope hold;
        double type = 0.0;
        if (ReadFiniteDouble(*list, "shapeType", type) && type >= 1.0 && type <= 8.0) {
            SetShapeType(static_cast<int>(type));
            if (shape) {
                shape->Load(*list);
                if (auto* irregular = dynamic_cast<ParametricIrregularShape*>(shape.get()))
                    irregular->SetOwner(this);
            }
        } else {
            theTrace().Write("Molding: unknown profile kind");
        }
    }
    ReadId(keys, "objectId", savedObjectId);
    ReadId(keys, "linkedBeginId", linkedBeginId);
    ReadId(keys, "linkedEndId", linkedEndId);
    double id = 0.0;
    if (ReadFiniteDouble(keys, "transactionObjectId", id) && id >= 0.0 &&
        id < static_cast<double>(kNoTransactionId))
        SetObjectId(static_cast<TransactionId>(id));
    if (BaseControl* control = theControl()) RelinkAll(control->scene);
    MarkDirty();
    return true;
}

void BaseMolding::WriteObjectInformation(std::string& buffer) {
    char text[128];
    std::snprintf(text, sizeof text, "<molding length=\"%f\" shapeType=\"", GetSizeZ());
    buffer += text;
    static const char* const kNames[] = {"",
                                         "rectangular",
                                         "round",
                                         "triangular",
                                         "tubular",
                                         "sqaureTube",
                                         "triangularTube",
                                         "",
                                         "roundedRectangular"};
    const int type = shape ? shape->GetType() : 0;
    if (type == ParametricShape::kIrregular)
        AppendXmlEscaped(buffer, static_cast<ParametricIrregularShape*>(shape.get())->GetUrl());
    else if (type >= 1 && type <= 8)
        buffer += kNames[type];
    buffer += "\">";
    const double area = shape ? shape->ComputeArea() * GetSizeZ() : 0.0;
    material.WriteXML(buffer, "surfaceMaterial", false, area);
    buffer += "</molding>";
}

// ---- menu ---------------------------------------------------------------------------

void BaseMolding::BuildPropertyMenu(platform::Menu& menu) {
    SizeableObject::BuildPropertyMenu(menu);
    menu.AppendItem(MoldingCommand::kInvert, "Invert Molding");
    platform::Menu& shapes = menu.AppendSubmenu("Change Shape");
    shapes.AppendItem(MoldingCommand::kRectangle, "Rectangle");
    shapes.AppendItem(MoldingCommand::kRoundedRectangle, "Rounded Rectangle");
    shapes.AppendItem(MoldingCommand::kOval, "Oval (log)");
    shapes.AppendItem(MoldingCommand::kHalfOval, "Half Oval");
    shapes.AppendItem(MoldingCommand::kTriangleFlatSide, "Triangle (flat side)");
    shapes.AppendItem(MoldingCommand::kTriangleFlatBottom, "Triangle (flat bottom)");
}

bool BaseMolding::ProcessPropertyMenu(uint32_t id) {
    int type = 0;
    switch (id) {
        case kPropertiesCommand:
            ShowPropertyDialog();
            return true;
        case MoldingCommand::kInvert:
            SetInvert(!invert);
            MarkDirty();
            return true;
        case MoldingCommand::kRectangle:
            type = ParametricShape::kRect;
            break;
        case MoldingCommand::kTriangleFlatSide:
            type = ParametricShape::kTriangle;
            break;
        case MoldingCommand::kHalfOval:
            type = ParametricShape::kOval;
            break;
        case MoldingCommand::kOval:
            type = ParametricShape::kTube;
            break;
        case MoldingCommand::kSquareTube:
            type = ParametricShape::kSquareTube;
            break;
        case MoldingCommand::kTriangleFlatBottom:
            type = ParametricShape::kTriangularTube;
            break;
        case MoldingCommand::kRoundedRectangle:
            type = ParametricShape::kRoundRect;
            break;
        default:
            return SizeableObject::ProcessPropertyMenu(id);
    }
    SetShapeType(type);
    MarkDirty();
    return true;
}

// ---- dialog -------------------------------------------------------------------------

void BaseMolding::ShowPropertyDialog() {
    BeginUndoStep();
    MoldingPropertyDialog dialog(this);
    InitDialog(&dialog);
    dialog.Show();
    EndUndoStep();
}

void BaseMolding::InitDialog(Dialog* dialog) {
    auto* molding = dynamic_cast<MoldingPropertyDialog*>(dialog);
    if (!molding || !shape) return;
    molding->SetProfile(shape->GetType());
    molding->SetVerticalRadius(shape->GetRadius0());
    molding->SetHorizontalRadius(shape->GetRadius1());
}

int BaseMolding::OnDialogNotify(Dialog* dialog, int code) {
    auto* molding = dynamic_cast<MoldingPropertyDialog*>(dialog);
    if (!molding) return SizeableObject::OnDialogNotify(dialog, code);
    if (molding->profile != ParametricShape::kIrregular) SetShapeType(molding->profile);
    SetProfileParameter(molding->verticalRadius, 0);
    SetProfileParameter(molding->horizontalRadius, 1);
    return 0;
}

// ---- drawing ------------------------------------------------------------------------

Vector BaseMolding::GetTextureCoordinate(const Vector& point) const {
    if (!shape || shape->GetCount() <= 0) return Vector(0.0, 0.0, 0.0);
    // The point in the molding's own frame: x along the path, y across, z out of the plane.
    const Vector d = Direction();
    const Vector n(parentPlane.x, parentPlane.y, parentPlane.z);
    const Vector w = Unit(Cross3(n, d));
    const Vector rel = Sub(point, GetBegin());
    Vector local(Dot3(rel, d), Dot3(rel, w), Dot3(rel, n) * (invert ? -1.0 : 1.0));
    if (capFlag) {
        const Vector& first = shape->GetPoints()[0];
        return Vector(local.y - first.y, local.z - first.z, 0.0);
    }
    Vector t = shape->GetTextureCoord(local, currentEdge);
    return t;
}

void BaseMolding::BuildLists() {
    if (geometryList == Part::kNoList) geometryList = glGenLists(1);
    if (edgeLines == Part::kNoList) edgeLines = glGenLists(1);
    surface.faceList = geometryList;
    surface.edgeList = edgeLines;
    const double length = GetSizeZ();
    const int count = shape ? shape->GetCount() : 0;
    if (length == 0.0 || count < 2) {
        glNewList(geometryList, GL_COMPILE);
        glEndList();
        glNewList(edgeLines, GL_COMPILE);
        glEndList();
        return;
    }
    const Vector d = Direction();
    const Vector n(parentPlane.x, parentPlane.y, parentPlane.z);
    const Vector w = Unit(Cross3(n, d));
    const double side = invert ? -1.0 : 1.0;
    const Vector* profile = shape->GetPoints();
    const Vector* normals = shape->GetNormals();
    const auto beginPlane = MiterPlane(kBegin);
    const auto endPlane = MiterPlane(kEnd);
    // The profile point k at one end, slid along the path onto the end's mitre plane.
    auto at = [&](int k, bool atEnd) {
        const Vector off = AddScaled(Scaled(w, profile[k].y), n, profile[k].z * side);
        Vector p = AddScaled(atEnd ? GetEnd() : GetBegin(), off, 1.0);
        const auto& plane = atEnd ? endPlane : beginPlane;
        if (plane) {
            const double along = Dot3(*plane, d);
            if (std::fabs(along) > 1e-9) {
                const double t = -(Dot3(*plane, p) + plane->w) / along;
                p = AddScaled(p, d, t);
            }
        }
        return p;
    };
    std::vector<Vector> beginRing(count), endRing(count);
    for (int k = 0; k < count; ++k) {
        beginRing[k] = at(k, false);
        endRing[k] = at(k, true);
    }
    glNewList(geometryList, GL_COMPILE);
    glBegin(GL_QUADS);
    for (int i = 0; i < count; ++i) {
        const int j = (i + 1) % count;
        currentEdge = i;
        const Vector normal = AddScaled(Scaled(w, normals[i].y), n, normals[i].z * side);
        glNormal3d(normal.x, normal.y, normal.z);
        const Vector quad[4] = {beginRing[i], endRing[i], endRing[j], beginRing[j]};
        for (int c = 0; c < 4; ++c) {
            const Vector& q = quad[invert ? 3 - c : c];
            const Vector t = GetTextureCoordinate(q);
            glTexCoord2d(t.x, t.y);
            glVertex3d(q.x, q.y, q.z);
        }
    }
    glEnd();
    // Caps at the free ends; the profile may be concave.
    GLUtesselator* tess = gluNewTess();
    if (tess) {
        CapTessellation data;
        data.molding = this;
        gluTessCallback(tess, GLU_TESS_BEGIN, reinterpret_cast<_GLUfuncptr>(CapBegin));
        gluTessCallback(tess, GLU_TESS_END, reinterpret_cast<_GLUfuncptr>(CapEnd));
        gluTessCallback(tess, GLU_TESS_VERTEX_DATA,
                        reinterpret_cast<_GLUfuncptr>(CapVertex));
        gluTessCallback(tess, GLU_TESS_COMBINE_DATA,
                        reinterpret_cast<_GLUfuncptr>(CapCombine));
        capFlag = 1;
        for (int which : {kBegin, kEnd}) {
            if (GetLinked(which)) continue;
            const bool atEnd = which == kEnd;
            const std::vector<Vector>& ring = atEnd ? endRing : beginRing;
            const Vector normal = Scaled(d, atEnd ? 1.0 : -1.0);
            std::vector<double> coords(static_cast<size_t>(count) * 3);
            glNormal3d(normal.x, normal.y, normal.z);
            gluTessNormal(tess, normal.x, normal.y, normal.z);
            gluTessBeginPolygon(tess, &data);
            gluTessBeginContour(tess);
            for (int c = 0; c < count; ++c) {
                const int k = atEnd ? count - 1 - c : c;
                double* v = &coords[static_cast<size_t>(c) * 3];
                v[0] = ring[k].x;
                v[1] = ring[k].y;
                v[2] = ring[k].z;
                gluTessVertex(tess, v, v);
            }
            gluTessEndContour(tess);
            gluTessEndPolygon(tess);
        }
        capFlag = 0;
        gluDeleteTess(tess);
    }
    glEndList();
    glNewList(edgeLines, GL_COMPILE);
    glBegin(GL_LINES);
    for (int k = 0; k < count; ++k) {
        const int j = (k + 1) % count;
        glVertex3d(beginRing[k].x, beginRing[k].y, beginRing[k].z);
        glVertex3d(endRing[k].x, endRing[k].y, endRing[k].z);
        glVertex3d(beginRing[k].x, beginRing[k].y, beginRing[k].z);
        glVertex3d(beginRing[j].x, beginRing[j].y, beginRing[j].z);
        glVertex3d(endRing[k].x, endRing[k].y, endRing[k].z);
        glVertex3d(endRing[j].x, endRing[j].y, endRing[j].z);
    }
    glEnd();
    glEndList();
}

void BaseMolding::Render() {
    if (!shape) return;
    BaseControl* control = theControl();
    if (control) {
        SceneView* view = control->GetCurrentView();
        if (view && (view->GetRenderState().GetInt64(0) & TypeBit::kMolding)) return;
    }
    SetStencilForSelection();
    glPushName(GetPickName());
    if (rebuild) {
        BuildLists();
        rebuild = 0;
    }
    surface.Render(false);
    if (IsSelected()) DrawHandles();
    glPopName();
}

void BaseMolding::DrawHandles() {
    BaseControl* control = theControl();
    if (!control || control->globalState.GetBoolean(15)) return;
    auto sphere = [&](OutlinePoint& handle, const Vector& at, double r, double g, double b) {
        glPushName(handle.GetPickName());
        glColor4d(r, g, b, 0.5);
        glPushMatrix();
        glTranslated(at.x, at.y, at.z);
        control->DrawSelectionSphere(kHandleRadius);
        glPopMatrix();
        glPopName();
    };
    sphere(begin, GetBegin(), 1, 0, 0);
    sphere(end, GetEnd(), 1, 0, 0);
    if (!shape) return;
    const Vector d = Direction();
    const Vector n(parentPlane.x, parentPlane.y, parentPlane.z);
    const Vector across = Unit(Cross3(n, d));
    const Vector middle = GetBegin().Midpoint(GetEnd());
    const double r0 = shape->GetRadius0();
    const double r1 = shape->GetRadius1();
    sphere(widthHandles[0], AddScaled(middle, across, r1), 0, 0, 1);
    sphere(widthHandles[1], AddScaled(middle, across, -r1), 0, 0, 1);
    const Vector top = AddScaled(middle, n, r0);
    if (shape->GetType() != ParametricShape::kIrregular) sphere(heightHandles[0], top, 0, 1, 0);
    const bool centred = shape->IsDepthCentered();
    const Vector beyond = AddScaled(top, n, r0 + 6.0);
    const Vector lineStart = centred ? AddScaled(middle, n, -r0 - 6.0) : top;
    glColor4d(1, 0, 1, 0.5);
    glBegin(GL_LINES);
    glVertex3d(lineStart.x, lineStart.y, lineStart.z);
    glVertex3d(beyond.x, beyond.y, beyond.z);
    glEnd();
    glPushName(control->liftHandle.GetPickName());
    glColor4d(1, 0, 1, 0.5);
    glPushMatrix();
    glTranslated(beyond.x, beyond.y, beyond.z);
    control->DrawSelectionSphere(kHandleRadius);
    glPopMatrix();
    glPopName();
    if (centred) sphere(heightHandles[1], AddScaled(middle, n, -r0), 0, 1, 0);
}
