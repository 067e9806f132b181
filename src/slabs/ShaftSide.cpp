#include "slabs/ShaftSide.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

#include "control/BaseControl.h"
#include "foundation/KeyDataList.h"
#include "foundation/Trace.h"
#include "interaction/MouseHandler.h"
#include "platform/Menu.h"
#include "render/Window.h"
#include "slabs/ShaftHole.h"
#include "slabs/Skylight.h"

namespace {

// How far a moved centre may lie from where the move should have put it.
constexpr double kCentreTolerance = 1e-6;
// Below this a direction counts as running along a plane.
constexpr double kParallel = 1e-9;
// What each corner is pulled in beyond the slab's face.
constexpr double kCornerGap = 0.01;

Vector Difference(const Vector& to, const Vector& from) {
    Vector d = to;
    d.Subtract(from);
    d.w = 1.0;
    return d;
}

// Point `i` of the outline, taken modulo its count (the origin for an empty outline).
Vector NodeAt(const Outline& outline, int i) {
    const int n = outline.GetCount();
    if (n <= 0) return Vector();
    return outline.GetPoints()[((i % n) + n) % n].position;
}

}  // namespace

ShaftSide::ShaftSide(ShaftHole* hole, Skylight* owner, int i) {
    PRECONDITION(hole != nullptr && owner != nullptr, "ShaftSide doesn't have good parent/bottom");
    state = &sideState;
    SetSkylight(owner);
    SetShaftHole(hole, false);
    index = std::max(i, 0);
    const int n = opening ? opening->GetOutline().GetCount() : 0;
    nextIndex = n > 0 ? (index + 1) % n : 0;
    thickness = kSideThickness;
    slabKind = 1502;
    Rebuild();
    ResetSurfaces();
}

ShaftSide::ShaftSide(Skylight* owner, int i) {
    PRECONDITION(owner != nullptr, "ShaftSide doesn't have good parent");
    state = &sideState;
    SetSkylight(owner);
    index = std::max(i, 0);
    const int n = opening ? opening->GetOutline().GetCount() : 0;
    nextIndex = n > 0 ? (index + 1) % n : 0;
    thickness = kSideThickness;
    slabKind = 1502;
    ResetSurfaces();
}

ShaftSide::~ShaftSide() {
    if (Skylight* owner = skylight) {
        skylight = nullptr;
        owner->ForgetSide(this);
    }
}

void ShaftSide::ResetSurfaces() {
    for (int id : {kInsideSurface, kOutsideSurface, kEdgeSurface}) {
        Part* surface = GetSurface(id);
        if (!surface || !surface->material) continue;
        surface->material->SetTextureURL("", false);
        surface->SetColor(1.0, 1.0, 1.0, 1.0);
    }
}

void ShaftSide::SetShaftHole(ShaftHole* hole, bool add) {
    if (add && hole && !shaftHole && !GetOwner()) {
        if (BaseControl* control = theControl()) control->scene.Append(this);
    }
    shaftHole = hole;
}

void ShaftSide::SetSkylight(Skylight* owner) {
    skylight = owner;
    opening = owner ? &owner->Opening() : nullptr;
}

// ---- Geometry ---------------------------------------------------------------------

Vector ShaftSide::PlaceCorner(const Vector corners[4], int k) const {
    static constexpr int kOpposite[4] = {3, 2, 1, 0};
    Vector d = Difference(corners[k], corners[kOpposite[k]]);
    if (d.Length() == 0.0) return corners[k];
    d.Normalize();
    double distance = 0.0;
    if (k < 2) {
        BaseSlab* bottom = shaftHole ? shaftHole->GetParent() : nullptr;
        if (bottom) {
            const Vector& n = bottom->GetOutline().normal;
            const double along = d.Dot(n);
            if (std::fabs(along) > kParallel) distance = bottom->GetThickness() * 0.5 / along;
            const Vector apart = Difference(NodeAt(shaftHole->GetOutline(), 0),
                                            NodeAt(opening->GetOutline(), 0));
            if (apart.Dot(n) > 0.0) distance = -distance;
        }
    } else {
        BaseSlab* roof = skylight ? skylight->GetParent() : nullptr;
        if (roof) {
            const Vector& n = roof->GetOutline().normal;
            double half = roof->GetThickness() * 0.5;
            if (roof->HasType(TypeBit::kRoof)) half *= std::fabs(n.y);
            const double along = d.Dot(n);
            if (std::fabs(along) > kParallel) distance = half / along;
        }
    }
    Vector moved = d;
    moved.Scale(-(distance + kCornerGap));
    Vector corner = corners[k];
    corner.Add(moved);
    corner.w = 1.0;
    return corner;
}

void ShaftSide::Rebuild() {
    if (!shaftHole || !opening) return;
    const Outline& bottom = shaftHole->GetOutline();
    const Outline& top = opening->GetOutline();
    const int n = top.GetCount();
    if (n < 3 || bottom.GetCount() < 3) return;
    // Outlines of different counts pair their nodes modulo each count.
    const bool reversed = top.normal.Dot(bottom.normal) < 0.0;
    const int topI = reversed ? n - index - 1 : index;
    const int topNext = reversed ? n - nextIndex - 1 : nextIndex;
    Vector corners[4] = {NodeAt(bottom, index), NodeAt(bottom, nextIndex), NodeAt(top, topNext),
                         NodeAt(top, topI)};
    Vector placed[4];
    for (int k = 0; k < 4; ++k) placed[k] = PlaceCorner(corners, k);
    outline.Clear();
    for (int k = 0; k < 4; ++k) outline.InsertPoint(placed[k], k, false);
    outline.Refresh();
    outline.ComputeNormal();
    uVector = Difference(placed[1], placed[0]);
    if (uVector.Length() > 0.0) uVector.Normalize();
    RecomputeBounds();
}

void ShaftSide::RecomputeBounds() {
    const int count = outline.GetPrimaryCount();
    if (count < 3) return;
    if (!facePointsA || !facePointsB || facePointCount != count) ReallocatePointArrays();
    if (!facePointsA || !facePointsB) return;
    const OutlinePoint* nodes = outline.GetPrimaryPoints();
    Vector sideNormal = outline.normal;
    sideNormal.w = 1.0;
    for (int k = 0; k < count; ++k) {
        // The offset that puts both of the corner's edges half the thickness away: the
        // corner's polygon (hole for 0 and 1, opening for 2 and 3) gives the neighbours.
        Vector offset = sideNormal;
        offset.Scale(thickness * 0.5);
        const Outline* ring = nullptr;
        int at = 0;
        if (shaftHole && opening && k < 4) {
            const int n = opening->GetOutline().GetCount();
            const bool reversed = opening->GetOutline().normal.Dot(shaftHole->GetOutline().normal) < 0.0;
            if (k < 2) {
                ring = &shaftHole->GetOutline();
                at = k == 0 ? index : nextIndex;
            } else {
                ring = &opening->GetOutline();
                const int i = k == 3 ? index : nextIndex;
                at = reversed ? n - i - 1 : i;
            }
        }
        if (ring && ring->GetCount() >= 3) {
            Vector in = Difference(NodeAt(*ring, at), NodeAt(*ring, at - 1));
            Vector out = Difference(NodeAt(*ring, at + 1), NodeAt(*ring, at));
            if (in.Length() > 0.0 && out.Length() > 0.0) {
                in.Normalize();
                out.Normalize();
                Vector n1, n2;
                n1.Cross(in, ring->normal);
                n2.Cross(out, ring->normal);
                if (n1.Length() > 0.0 && n2.Length() > 0.0) {
                    n1.Normalize();
                    n2.Normalize();
                    const double join = 1.0 + n1.Dot(n2);
                    if (join > 1e-6) {
                        Vector mitre = n1;
                        mitre.Add(n2);
                        mitre.Scale(thickness * 0.5 / join);
                        mitre.w = 1.0;
                        // Face A lies on the side of the shaft's inside.
                        if (mitre.Dot(sideNormal) < 0.0) mitre.Scale(-1.0);
                        offset = mitre;
                    }
                }
            }
        }
        facePointsA[k] = nodes[k].position;
        facePointsA[k].Subtract(offset);
        facePointsA[k].w = 1.0;
        facePointsB[k] = nodes[k].position;
        facePointsB[k].Add(offset);
        facePointsB[k].w = 1.0;
    }
    ComputeBounds();
    area = GetArea();
    BuildCullPolygons();
    MarkDirty();
}

// ---- Menu and selection -----------------------------------------------------------

void ShaftSide::BuildPropertyMenu(platform::Menu& menu) {
    if (skylight && skylight->IsRectangular()) {
        platform::Menu& flare = menu.AppendSubmenu("Set Flare Angle");
        Skylight::AppendFlareItems(flare);
    }
    BaseSlab::BuildPropertyMenu(menu);
}

bool ShaftSide::ProcessPropertyMenu(uint32_t id) {
    if (skylight && id == MouseHandler::kDeleteCommand)
        return skylight->ProcessPropertyMenu(Skylight::kDeleteShaft);
    if (skylight && id >= Skylight::kNoFlare && id <= Skylight::kFlare30)
        return skylight->ProcessPropertyMenu(id);
    return BaseSlab::ProcessPropertyMenu(id);
}

bool ShaftSide::IsSelected() const {
    if (shaftHole && shaftHole->IsSelected()) return true;
    return FirstSelectedChild() != nullptr;
}

bool ShaftSide::SetSelected(bool flag) {
    if (flag && shaftHole) return shaftHole->SetSelected(true);
    return BaseSlab::SetSelected(flag && !shaftHole);
}

bool ShaftSide::RemoveFromList(LinkedList&) {
    TraceWrite("A shaft side goes only with its shaft");
    return false;
}

// ---- Undo -------------------------------------------------------------------------

void ShaftSide::BeginUndoStep() {
    if (BaseSlab* bottom = shaftHole ? shaftHole->GetParent() : nullptr) bottom->BeginUndoStep();
    if (BaseSlab* roof = skylight ? skylight->GetParent() : nullptr) roof->BeginUndoStep();
}

void ShaftSide::EndUndoStep() {
    if (BaseSlab* bottom = shaftHole ? shaftHole->GetParent() : nullptr) bottom->EndUndoStep();
    if (BaseSlab* roof = skylight ? skylight->GetParent() : nullptr) roof->EndUndoStep();
}

void ShaftSide::CancelUndoStep() {
    if (BaseSlab* bottom = shaftHole ? shaftHole->GetParent() : nullptr) bottom->CancelUndoStep();
    if (BaseSlab* roof = skylight ? skylight->GetParent() : nullptr) roof->CancelUndoStep();
}

// ---- Moves ------------------------------------------------------------------------

void ShaftSide::MoveSlabBy(double dx, double dy, double dz, bool) {
    if (!skylight || !std::isfinite(dx) || !std::isfinite(dy) || !std::isfinite(dz)) return;
    BaseSlab* roof = skylight->GetParent();
    Vector move(dx, dy, dz);
    if (roof) {
        Vector n = roof->GetOutline().normal;
        const double along = move.Dot(n);
        if (along != 0.0) {
            n.Scale(along);
            move.Subtract(n);
            move.w = 1.0;
        }
    }
    const Vector before = skylight->GetWorldCenter();
    skylight->MoveWithoutDelegation(move);
    Vector expected = before;
    expected.Add(move);
    // The skylight refuses a move off its roof: the hole stays with it.
    if (skylight->GetWorldCenter().Distance(expected) > kCentreTolerance) return;
    ShaftHole* hole = shaftHole;
    BaseSlab* bottom = hole ? hole->GetParent() : nullptr;
    if (!hole || !bottom) return;
    Vector onBottom = move;
    Vector n = bottom->GetOutline().normal;
    n.Scale(onBottom.Dot(bottom->GetOutline().normal));
    onBottom.Subtract(n);
    onBottom.w = 1.0;
    hole->MoveHoleOnly(onBottom);
    if (!hole->IsPositionValid()) {
        Vector back = onBottom;
        back.Scale(-1.0);
        hole->MoveHoleOnly(back);
        Vector undo = move;
        undo.Scale(-1.0);
        skylight->MoveWithoutDelegation(undo);
    }
    skylight->UpdateSides();
}

// ---- Drawing ----------------------------------------------------------------------

void ShaftSide::Render() {
    BaseControl* control = theControl();
    Window* window = control ? control->currentWindow : nullptr;
    BaseSlab* roof = skylight ? skylight->GetParent() : nullptr;
    if (!control || !window || !roof) return;
    RenderState& s = window->viewFlags;
    if (static_cast<uint64_t>(s.GetInt64(0)) & TypeBit::kInSlab) return;
    if (static_cast<uint64_t>(s.GetInt64(1)) & roof->GetTypeMask()) return;
    int seeThrough = 0;
    for (int id : {kInsideSurface, kOutsideSurface, kEdgeSurface}) {
        Part* surface = roof->GetSurface(id);
        if (surface && surface->material && surface->material->alpha == 0.5) ++seeThrough;
    }
    if (seeThrough == 3 || !roof->IsShownInCurrentView()) return;
    BaseSlab::Render();
    const bool chosen = skylight->IsSelected() || (shaftHole && shaftHole->IsSelected());
    if (chosen && !control->globalState.GetBoolean(15)) RenderOutline();
}

void ShaftSide::RenderOutline() {
    if (!facePointsA || !facePointsB || facePointCount <= 0) return;
    glPushAttrib(GL_ENABLE_BIT | GL_LINE_BIT);
    glDisable(GL_ALPHA_TEST);
    glColor4d(1.0, 0.0, 0.0, 0.5);
    glLineWidth(3.0f);
    for (const Vector* face : {facePointsA.get(), facePointsB.get()}) {
        glBegin(GL_LINE_LOOP);
        for (int k = 0; k < facePointCount; ++k) glVertex3d(face[k].x, face[k].y, face[k].z);
        glEnd();
    }
    glPopAttrib();
}

// ---- Key data and bill of materials -----------------------------------------------

void ShaftSide::WriteSideKeys(KeyDataList& into) {
    KeyDataList* keys = into.AddSublist("ShaftSide");
    WriteSlabKeys(*keys);
}

void ShaftSide::WriteSurfaceXml(std::string& buffer, ShaftSide* reference) {
    const double sideArea = GetArea();
    if (!reference) {
        if (insideSurface.material)
            insideSurface.material->WriteXML(buffer, "insidesurface", false, sideArea);
        if (outsideSurface.material)
            outsideSurface.material->WriteXML(buffer, "outsidesurface", false, sideArea);
        return;
    }
    struct Face {
        Part* mine;
        Part* theirs;
        const char* name;
    };
    const Face faces[] = {{&insideSurface, &reference->insideSurface, "inside"},
                          {&outsideSurface, &reference->outsideSurface, "outside"}};
    char text[128];
    for (const Face& f : faces) {
        if (!f.mine->material || !f.theirs->material) continue;
        KeyDataList mine, theirs;
        f.mine->material->WriteKeyData(mine);
        f.theirs->material->WriteKeyData(theirs);
        std::string a, b;
        mine.WriteXML(a);
        theirs.WriteXML(b);
        if (a == b) continue;
        std::snprintf(text, sizeof text, "<covering area=\"%3.2f\" side=\"%s\">", sideArea,
                      f.name);
        buffer += text;
        f.mine->material->WriteXML(buffer, "surfaceMaterial", false, sideArea);
        buffer += "</covering>";
    }
}
