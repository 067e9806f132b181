#include "slabs/ShaftHole.h"

#include <cmath>
#include <cstdio>
#include <new>

#include "control/BaseControl.h"
#include "foundation/KeyDataList.h"
#include "foundation/Trace.h"
#include "geometry/ViewProjection.h"
#include "interaction/MouseHandler.h"
#include "render/Window.h"
#include "slabs/BaseSlab.h"
#include "slabs/Skylight.h"

namespace {

// Below this a direction counts as running along a plane.
constexpr double kParallel = 1e-9;

// The top-level object of the scene with that object id.
UndoableObject* FindTopLevel(TransactionId id) {
    BaseControl* control = theControl();
    if (!control) return nullptr;
    return FindObjectByTransactionId(control->scene, id);
}

bool ReadId(const KeyDataList& keys, const char* key, TransactionId& id) {
    double value = 0.0;
    if (!ReadFiniteDouble(keys, key, value)) return false;
    if (value < 0.0 || value >= static_cast<double>(kNoTransactionId)) return false;
    id = static_cast<TransactionId>(value);
    return true;
}

void AddId(KeyDataList& keys, const char* key, TransactionId id) {
    char text[64];
    std::snprintf(text, sizeof text, "%3.6f", static_cast<double>(id));
    keys.AddString(key, text);
}

}  // namespace

ShaftHole::ShaftHole() : SlabHole(false) {}

ShaftHole::~ShaftHole() {
    if (Skylight* owner = skylight) {
        skylight = nullptr;
        owner->ForgetShaftHole(this);
    }
}

ShaftHole* ShaftHole::CreateIn(BaseSlab& slab, const Vector* points, int count) {
    if (slab.IsLocked()) return nullptr;
    auto* hole = new (std::nothrow) ShaftHole;
    if (!hole) return nullptr;
    if (!hole->Define(points, count, slab.GetOutline().normal, slab.GetThickness() * 0.5,
                      &slab)) {
        delete hole;
        return nullptr;
    }
    slab.GetHoleList().Append(hole);
    slab.MarkDirty();
    return hole;
}

UndoableObject* ShaftHole::GetLinkedObject() const {
    return skylight;
}

void ShaftHole::SetLinkedObject(UndoableObject* object) {
    if (object) {
        if (auto* owner = dynamic_cast<Skylight*>(object)) skylight = owner;
        return;
    }
    // The tie is cut from the skylight's slab: the skylight keeps no hole either.
    if (Skylight* owner = skylight) {
        skylight = nullptr;
        owner->ForgetShaftHole(this);
    }
}

// ---- Moves ------------------------------------------------------------------------

void ShaftHole::MoveBy(const Vector& offset) {
    if (skylight)
        skylight->MoveBy(offset);
    else
        SlabHole::MoveBy(offset);
}

void ShaftHole::Translate(const Vector& offset) {
    SlabHole::Translate(offset);
    if (skylight) skylight->UpdateSides();
}

bool ShaftHole::IsPositionValid() {
    if (skylight && GetBoundingBox().max.y + kClearance >= skylight->GetBoundingBox().min.y)
        return false;
    return SlabHole::IsPositionValid();
}

OutlinePoint* ShaftHole::InsertPoint(const ViewProjection&, int, int) {
    return nullptr;
}

bool ShaftHole::RemovePoint(OutlinePoint*) {
    return false;
}

void ShaftHole::MovePoint(const ViewProjection&, int, int, OutlinePoint*, bool) {}

OutlinePoint* ShaftHole::DragEdge(const ViewProjection&, int, int, int, int, OutlinePoint* a,
                                  OutlinePoint*) {
    return a;
}

void ShaftHole::DragPointIn(Window& window, int x, int y, int px, int py, int, const Vector&,
                            bool, int) {
    if (ParentLocked() || outline.GetPrimaryCount() == 0) return;
    const ViewProjection view = ViewOf(window);
    const Vector first = outline.GetPrimaryPoints()[0].position;
    Vector now, before;
    if (!outline.ScreenToPlaneAt(view, x, y, first, now) ||
        !outline.ScreenToPlaneAt(view, px, py, first, before))
        return;
    Vector step = now;
    step.Subtract(before);
    step.w = 1.0;
    if (step.Length() == 0.0) return;
    MoveBy(step);
}

void ShaftHole::DrawOutlineHandles() {
    BaseControl* control = theControl();
    Window* window = control ? control->currentWindow : nullptr;
    if (!parent || !parent->HasType(TypeBit::kWall) || !window ||
        window->GetRenderState().GetInteger(0) != 1)
        return;
    SlabHole::DrawOutlineHandles();
}

bool ShaftHole::ProcessPropertyMenu(uint32_t id) {
    if (id == MouseHandler::kDeleteCommand && skylight)
        return skylight->ProcessPropertyMenu(Skylight::kDeleteShaft);
    return SlabHole::ProcessPropertyMenu(id);
}

// ---- Geometry ---------------------------------------------------------------------

void ShaftHole::RebuildGeometry() {
    SlabHole::RebuildGeometry();
    if (!skylight) return;
    const Outline& top = skylight->Opening().GetOutline();
    const int n = outline.GetCount();
    const int m = top.GetCount();
    // The polygons follow the shaft's slant only where every node has its partner.
    if (n > 0 && n == m && static_cast<int>(front.size()) == n &&
        static_cast<int>(back.size()) == n) {
        const bool same = top.normal.Dot(outline.normal) >= 0.0;
        const OutlinePoint* nodes = outline.GetPoints();
        const OutlinePoint* sky = top.GetPoints();
        for (int i = 0; i < n; ++i) {
            Vector d = nodes[i].position;
            d.Subtract(sky[same ? i : n - 1 - i].position);
            d.w = 1.0;
            if (d.Length() == 0.0) continue;
            d.Normalize();
            const double along = d.Dot(outline.normal);
            // A shaft running along the hole's plane keeps the straight polygons.
            if (std::fabs(along) < kParallel) continue;
            d.Scale(depth / along);
            d.w = 1.0;
            front[i] = nodes[i].position;
            front[i].Add(d);
            front[i].w = 1.0;
            back[i] = nodes[i].position;
            back[i].Subtract(d);
            back[i].w = 1.0;
        }
        geometryDirty = frontContourDirty = backContourDirty = 1;
    }
    skylight->UpdateSides();
}

bool ShaftHole::ProjectSkylightOutline() {
    if (!PRECONDITION(skylight != nullptr && parent != nullptr, "Invalid shaft bottom"))
        return false;
    const Outline& top = skylight->Opening().GetOutline();
    const int n = outline.GetPrimaryCount();
    if (n == 0 || n != top.GetCount()) {
        theTrace().WriteFormat("Shaft hole of %d nodes under an opening of %d: not projected",
                               n, top.GetCount());
        return false;
    }
    Vector normal = parent->GetOutline().normal;
    normal.w = 1.0;
    const Vector& onPlane = parent->GetOutline().GetPrimaryPoints()[0].position;
    const Vector plane(normal.x, normal.y, normal.z);
    Vector planeWithOffset = plane;
    planeWithOffset.w = -normal.Dot(onPlane);
    const Vector centre = box.min.Midpoint(box.max);

    BaseSlab* roof = skylight->GetParent();
    Vector slope = roof ? roof->GetUVector() : Vector(1.0, 0.0, 0.0);
    Vector along = normal;
    along.Scale(slope.Dot(normal));
    slope.Subtract(along);
    slope.w = 1.0;
    if (slope.Length() > 0.0) slope.Normalize();

    const bool onWall = parent->HasType(TypeBit::kWall);
    Vector direction = normal;
    if ((skylight->GetShaftType() == Skylight::kPerpendicularToRoof || onWall) && roof)
        direction = roof->GetOutline().normal;
    direction.w = 1.0;

    const bool same = top.normal.Dot(outline.normal) >= 0.0;
    OutlinePoint* nodes = outline.GetPrimaryPoints();
    const OutlinePoint* sky = top.GetPoints();
    const double spread = std::tan(flareAngle);
    for (int i = 0; i < n; ++i) {
        Vector p = sky[same ? i : n - 1 - i].position;
        bool hit = false;
        const double t = p.IntersectPlaneAlongDirection(planeWithOffset, direction, &hit);
        if (!hit) {
            TraceWrite("Shaft direction runs along the bottom slab: hole not projected");
            return false;
        }
        Vector offset = slope;
        offset.Scale(spread * std::fabs(t) * (onWall ? -1.0 : 1.0));
        Vector fromCentre = nodes[i].position;
        fromCentre.Subtract(centre);
        if (fromCentre.Dot(slope) <= 0.0)
            p.Subtract(offset);
        else
            p.Add(offset);
        p.w = 1.0;
        nodes[i].position = p;
    }
    outline.Refresh();
    MarkDirty();
    RebuildGeometry();
    return true;
}

void ShaftHole::SetFlareAngle(double radians) {
    if (!std::isfinite(radians)) return;
    flareAngle = radians;
    ProjectSkylightOutline();
    if (skylight) skylight->RebuildOpening();
}

// ---- Key data ---------------------------------------------------------------------

void ShaftHole::WriteKeyData() {
    SlabHole::WriteKeyData();
    KeyDataList& keys = *element->GetChildren();
    keys.AddString("shaftHole", "yes");
    BaseSlab* roof = skylight ? skylight->GetParent() : nullptr;
    AddId(keys, "parentSkylightParentId", roof ? roof->GetObjectId() : kNoTransactionId);
    AddId(keys, "parentSkylightId", skylight ? skylight->GetObjectId() : kNoTransactionId);
    AddId(keys, "parentId", parent ? parent->GetObjectId() : kNoTransactionId);
    AddId(keys, "id", GetObjectId());
    char text[64];
    std::snprintf(text, sizeof text, "%3.6f", flareAngle);
    keys.AddString("flareAngle", text);
}

bool ShaftHole::ReadKeyData(KeyDataList& keys) {
    const bool result = SlabHole::ReadKeyData(keys);
    TransactionId id = kNoTransactionId;
    if (ReadId(keys, "id", id)) SetObjectId(id);
    // A hole read into its slab keeps that slab; the slab's own id is its own business.
    if (ReadId(keys, "parentId", id) && !parent)
        parent = dynamic_cast<BaseSlab*>(FindTopLevel(id));
    double angle = 0.0;
    if (ReadFiniteDouble(keys, "flareAngle", angle)) flareAngle = angle;
    TransactionId roofId = kNoTransactionId, skylightId = kNoTransactionId;
    if (ReadId(keys, "parentSkylightParentId", roofId) &&
        ReadId(keys, "parentSkylightId", skylightId) && !skylight) {
        Skylight* found = nullptr;
        if (auto* roof = dynamic_cast<BaseSlab*>(FindTopLevel(roofId))) {
            for (LinkedListObject* node = roof->GetInSlabList().GetHead(); node && !found;
                 node = node->GetNext()) {
                auto* candidate = dynamic_cast<Skylight*>(node);
                if (candidate && candidate->GetObjectId() == skylightId) found = candidate;
            }
        }
        // Roofs are read after the other slabs: their skylight finds this hole then.
        if (found)
            found->AttachShaft(this);
        else
            TraceWrite("The parent skylight should exist but doesn't (yet)");
    }
    if (skylight && flareAngle != 0.0) skylight->RebuildOpening();
    return result;
}
