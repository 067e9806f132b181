#include "slabs/Dormer.h"

#include <GL/gl.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <new>

#include "building/DormerWall.h"
#include "building/Roof.h"
#include "control/BaseControl.h"
#include "foundation/KeyDataList.h"
#include "foundation/Trace.h"
#include "geometry/ViewProjection.h"
#include "interaction/MouseHandler.h"
#include "slabs/BaseSlab.h"

namespace {

constexpr const char* kRemovedIdKey = "removedTransactionId";
// The handles of the outline edges on the face and on the opposite face.
constexpr double kEdgeHandleScale = 6.0;
constexpr double kBackHandleScale = 5.0;

Vector Minus(const Vector& a, const Vector& b) {
    return Vector(a.x - b.x, a.y - b.y, a.z - b.z);
}

Vector Unit(Vector v) {
    v.Normalize();
    return v;
}

Vector Times(const Vector& v, double s) {
    return Vector(v.x * s, v.y * s, v.z * s);
}

bool IsFinite(const Vector& v) {
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

}  // namespace

SlabHole* MakeDormer() {
    return new (std::nothrow) Dormer;
}

Dormer::Dormer() : SlabHole(false) {}

Dormer::~Dormer() {
    BaseControl* control = theControl();
    for (DormerWall*& wall : walls) {
        if (!wall) continue;
        DormerWall* gone = wall;
        wall = nullptr;
        gone->SetDormer(nullptr);
        gone->RemoveFromScene();
        if (gone->GetOwner()) gone->GetOwner()->Remove(gone);
        (void)control;
        delete gone;
    }
}

Roof* Dormer::GetRoof() const {
    return dynamic_cast<Roof*>(parent);
}

Vector Dormer::CornerPosition(int i) const {
    const int index = corners[i];
    if (index < 0 || index >= outline.GetPrimaryCount()) return Vector();
    return outline.GetPrimaryPoints()[index].position;
}

// ---- Selection, menu and lists ------------------------------------------------------

bool Dormer::IsSelected() const {
    for (const DormerWall* wall : walls)
        if (wall && wall->IsSelected()) return true;
    return selected != 0;
}

bool Dormer::SetSelected(bool flag) {
    if (!flag && selected) ToggleOption();
    selected = flag ? 1 : 0;
    return flag;
}

bool Dormer::ProcessPropertyMenu(uint32_t id) {
    if (id != MouseHandler::kDeleteCommand) return SlabHole::ProcessPropertyMenu(id);
    BaseControl* control = theControl();
    if (control) control->ReleaseHandles();
    BaseSlab* slab = parent;
    if (!slab) return true;
    const bool removed = RemoveFromList(slab->GetHoleList());
    // The step the command opened on the roof ends either way.
    slab->EndUndoStep();
    if (!removed) {
        TraceWrite("Dormer not deleted: its roof is locked or one of its walls was");
        return true;
    }
    parent = nullptr;
    // Never destroyed from its own handler: the render thread frees it.
    if (control)
        control->deletedObjects.Append(this);
    else
        delete this;
    return true;
}

bool Dormer::RemoveFromList(LinkedList& list) {
    (void)list;
    if (!parent) return false;
    bool stop = false;
    for (int i = 0; i < kWalls; ++i) {
        DormerWall* wall = walls[i];
        if (!wall) continue;
        if (wall->IsLocked()) return false;
        if (wall->IsSelected()) {
            // The selected wall goes alone; the dormer stays.
            DestroyWall(i);
            stop = true;
        }
    }
    if (stop) return false;
    if (ParentLocked()) return false;
    for (int i = 0; i < kWalls; ++i) DestroyWall(i);
    return parent->RemoveChild(this, false);
}

RenderableObject* Dormer::Clone() {
    TraceWrite("A dormer is not copied");
    return nullptr;
}

// ---- Walls --------------------------------------------------------------------------

void Dormer::DestroyWall(int i) {
    if (i < 0 || i >= kWalls || !walls[i]) return;
    DormerWall* wall = walls[i];
    walls[i] = nullptr;
    wall->SetDormer(nullptr);
    wall->SetSelected(false);
    wall->RemoveFromScene();
    if (wall->GetOwner()) wall->GetOwner()->Remove(wall);
    ReleaseEditorsOf(wall);
    if (BaseControl* control = theControl())
        control->deletedObjects.Append(wall);
    else
        delete wall;
}

void Dormer::DropWalls() {
    for (int i = 0; i < kWalls; ++i) DestroyWall(i);
}

void Dormer::ForgetWall(DormerWall* wall) {
    for (DormerWall*& slot : walls)
        if (slot == wall) slot = nullptr;
}

bool Dormer::RemoveWallById(TransactionId id) {
    for (int i = 0; i < kWalls; ++i) {
        if (!walls[i] || walls[i]->GetObjectId() != id) continue;
        DestroyWall(i);
        if (!walls[0] && !walls[1] && !walls[2]) {
            // Back to a dormer whose walls were never built.
            outlineMode = 1;
            wallsBuilt = 0;
        }
        return true;
    }
    return false;
}

void Dormer::ToggleOption() {
    outlineMode = outlineMode ? 0 : 1;
    if (!wallsBuilt && !outlineMode) BuildWalls();
    MarkDirty();
}

void Dormer::FindCornerIndices() {
    const int count = outline.GetPrimaryCount();
    const OutlinePoint* nodes = outline.GetPrimaryPoints();
    for (int32_t& c : corners) c = -1;
    if (count < 3) return;
    int a = 0;
    for (int i = 1; i < count; ++i)
        if (nodes[i].position.y < nodes[a].position.y) a = i;
    int b = -1;
    for (int i = 0; i < count && b < 0; ++i)
        if (i != a && std::fabs(nodes[i].position.y - nodes[a].position.y) < kLevelTolerance) b = i;
    if (b < 0) return;
    corners[1] = a;
    corners[3] = b;
    if (b == (a + 1) % count) {
        corners[0] = (a + count - 1) % count;
        corners[2] = (b + 1) % count;
    } else {
        corners[0] = (a + 1) % count;
        corners[2] = (b + count - 1) % count;
    }
}

void Dormer::BuildWalls() {
    if (corners[0] == -1) FindCornerIndices();
    if (corners[0] == -1 || corners[0] == corners[2]) {
        TraceWrite("Dormer: no two low corners at one height, no walls");
        wallsBuilt = 1;
        return;
    }
    BaseControl* control = theControl();
    bool linked = true, interior = false;
    double exterior = 0.0;
    if (control) {
        WallState& state = control->wallState;
        linked = state.GetBoolean(8);
        interior = state.GetBoolean(9);
        exterior = state.GetDouble(9);
        state.SetBoolean(8, true);
        state.SetBoolean(9, false);
        state.SetDouble(9, state.GetDouble(10));
    }
    for (int i = 0; i < kWalls; ++i) BuildWall(i);
    if (walls[0] && walls[1] && walls[2]) {
        if (!walls[1]->LinkWith(walls[0], 1, 2)) TraceWrite("Dormer: front wall not linked");
        if (!walls[1]->LinkWith(walls[2], 2, 2)) TraceWrite("Dormer: front wall not linked");
    }
    if (control) {
        WallState& state = control->wallState;
        state.SetBoolean(8, linked);
        state.SetBoolean(9, interior);
        state.SetDouble(9, exterior);
    }
    wallsBuilt = 1;
}

void Dormer::BuildWall(int i) {
    if (i < 0 || i >= kWalls || walls[i] || corners[0] < 0) return;
    BaseControl* control = theControl();
    const Vector u0 = CornerPosition(0), a = CornerPosition(1), u2 = CornerPosition(2),
                 b = CornerPosition(3);
    const double h = (control ? control->wallState.GetDouble(9) : 4.0) * 0.5;
    Vector points[4];
    Vector o;
    switch (i) {
        case 0:
            points[0] = Vector(u0.x, u0.y - kFootDepth, u0.z);
            points[1] = a;
            points[2] = Vector(a.x, u0.y, a.z);
            points[3] = u0;
            o = Times(Unit(Minus(a, b)), h);
            break;
        case 1:
            points[0] = a;
            points[1] = b;
            points[2] = Vector(b.x, u2.y, b.z);
            points[3] = Vector(a.x, u0.y, a.z);
            o = Times(Unit(Minus(a, u0)), h);
            break;
        default:
            points[0] = Vector(u2.x, u2.y - kFootDepth, u2.z);
            points[1] = b;
            points[2] = Vector(b.x, u2.y, b.z);
            points[3] = u2;
            o = Times(Unit(Minus(b, a)), h);
            break;
    }
    const Vector& n = outline.normal;
    Vector r = Times(n, (parent ? parent->BaseSlab::GetThickness() : 0.0) * 0.5);
    if (r.y < 0.0) r.Negate();
    o.Add(r);
    for (Vector& p : points) {
        p.Add(o);
        p.w = 1.0;
    }
    if (i == 1 && std::fabs(n.y) > 1e-9 && outline.GetPrimaryCount() > 0) {
        const double d = -n.Dot(outline.GetPrimaryPoints()[0].position);
        for (int k = 0; k < 2; ++k)
            points[k].y = o.y - (n.x * points[k].x + n.z * points[k].z + d) / n.y;
    }
    for (const Vector& p : points)
        if (!IsFinite(p)) {
            TraceWrite("Dormer: a wall's corners are not numbers, no wall");
            return;
        }
    auto* wall = new (std::nothrow) DormerWall(points, this);
    if (!wall) return;
    wall->SetSelected(false);
    walls[i] = wall;
    if (control) control->scene.Append(wall);
}

// ---- Moves --------------------------------------------------------------------------

void Dormer::TranslateWithAttached(const Vector& offset) {
    Translate(offset);
    for (DormerWall* wall : walls)
        if (wall) wall->MoveBy(offset);
}

void Dormer::MoveBy(const Vector& offset) {
    if (ParentLocked()) return;
    SlabHole::MoveBy(offset);
    if (IsPositionValid()) {
        for (DormerWall* wall : walls)
            if (wall) wall->MoveBy(offset);
        return;
    }
    SlabHole::MoveBy(Times(offset, -1.0));
}

void Dormer::DragOnRoof(const ViewProjection& view, int x1, int y1, int x2, int y2, bool flag,
                        int mode) {
    Roof* roof = GetRoof();
    if (!flag || !roof || roof->IsLocked() || outline.GetPrimaryCount() == 0) return;
    const Vector first = outline.GetPrimaryPoints()[0].position;
    Vector p1, p2;
    if (!outline.ScreenToPlaneAt(view, x1, y1, first, p1) ||
        !outline.ScreenToPlaneAt(view, x2, y2, first, p2))
        return;
    Vector d = Minus(p1, p2);
    if (mode == 1 || mode == 2) {
        Vector axis = Unit(roof->GetUVector());
        if (mode == 2) {
            Vector across;
            across.Cross(roof->GetUVector(), roof->GetOutline().normal);
            axis = Unit(across);
        }
        d = Times(axis, d.Dot(axis));
    }
    if (!IsFinite(d)) return;
    MoveBy(d);
}

OutlinePoint* Dormer::DragEdge(const ViewProjection& view, int x, int y, int px, int py,
                               OutlinePoint* a, OutlinePoint* b) {
    if (ParentLocked()) return a;
    const int index = outline.IndexOfPrimary(a);
    const int count = outline.GetPrimaryCount();
    if (index < 0 || count < 3) return a;
    const int next = (index + 1) % count;
    const Vector old = a->position;
    OutlinePoint* result = SlabHole::DragEdge(view, x, y, px, py, a, b);
    // The walls follow only an edge the hole keeps.
    if (outline.GetPrimaryCount() != count || !IsPositionValid()) return result;
    const Vector delta = Minus(outline.GetPrimaryPoints()[index].position, old);
    FindCornerIndices();
    auto touches = [&](int corner) {
        return corners[corner] >= 0 && (corners[corner] == index || corners[corner] == next);
    };
    if (!touches(0) && !touches(2)) {
        if (walls[1]) walls[1]->Raise(delta.x, delta.y, delta.z);
    } else if (touches(2) && !touches(0)) {
        if (walls[2]) walls[2]->MoveSlabBy(delta.x, delta.y, delta.z, true);
    } else if (touches(0) && touches(1)) {
        if (walls[0]) walls[0]->MoveSlabBy(delta.x, delta.y, delta.z, true);
    } else {
        for (DormerWall* wall : walls)
            if (wall) wall->MoveBy(delta);
        if (walls[1]) walls[1]->Raise(-delta.x, -delta.y, -delta.z);
    }
    return result;
}

// ---- Key data -----------------------------------------------------------------------

void Dormer::WriteKeyData() {
    SlabHole::WriteKeyData();
    if (!element) return;
    KeyDataList& keys = *element->GetChildren();
    keys.AddString("dormer", "yes");
    char name[16];
    for (int i = 0; i < kWalls; ++i) {
        if (!walls[i]) continue;
        std::snprintf(name, sizeof name, "wall%i", i);
        KeyDataList* slot = keys.AddSublist(name);
        walls[i]->Write();
        if (KeyDataSublist* written = walls[i]->TakeWrittenElement()) slot->Add(written);
    }
}

bool Dormer::ReadKeyData(KeyDataList& keys) {
    SlabHole::ReadKeyData(keys);
    BaseControl* control = theControl();
    char name[16];
    for (int i = 0; i < kWalls; ++i) {
        std::snprintf(name, sizeof name, "wall%i", i);
        KeyDataList* slot = keys.GetSublist(name);
        if (slot->IsEmpty()) continue;
        bool removed = false;
        for (BaseKeyDataElement* m = slot->GetFirstMember(); m && walls[i];
             m = m->GetNextMember()) {
            if (!m->IsElement() || strcasecmp(m->GetName(), kRemovedIdKey) != 0) continue;
            const double id = ParseKeyDataNumber(static_cast<const KeyDataElement*>(m)->Value());
            if (std::isfinite(id) && id >= 0.0 && id < static_cast<double>(kNoTransactionId) &&
                static_cast<TransactionId>(id) == walls[i]->GetObjectId())
                removed = true;
        }
        if (removed) {
            DestroyWall(i);
            continue;
        }
        KeyDataList* wallKeys = slot->GetSublist("Wall");
        if (wallKeys->IsEmpty()) continue;
        if (walls[i]) {
            walls[i]->ReadKeyData(*wallKeys);
            continue;
        }
        auto* wall = new (std::nothrow) DormerWall(this);
        if (!wall) continue;
        wall->ReadKeyData(*wallKeys);
        if (!wall->HasWallShape()) {
            TraceWrite("Dormer: a wall element without the outline of a wall was skipped");
            wall->SetDormer(nullptr);
            delete wall;
            continue;
        }
        walls[i] = wall;
        if (control) control->scene.Append(wall);
    }
    FindCornerIndices();
    if (walls[0]) {
        outlineMode = 0;
        wallsBuilt = 1;
    }
    return true;
}

void Dormer::WriteObjectInformation(std::string& buffer) {
    buffer += "<dormer>";
    SlabHole::WriteObjectInformation(buffer);
    for (DormerWall* wall : walls)
        if (wall) wall->WriteObjectInformation(buffer);
    buffer += "</dormer>";
}

// ---- Drawing ------------------------------------------------------------------------

void Dormer::RenderFaceMarkers() {
    if (outlineMode) SlabHole::RenderFaceMarkers();
}

void Dormer::DrawWallPreview() {
    if (corners[1] == -1) FindCornerIndices();
    if (!outlineMode || corners[1] < 0 || corners[3] < 0 || corners[0] < 0) return;
    const Vector u0 = CornerPosition(0), a = CornerPosition(1), u2 = CornerPosition(2),
                 b = CornerPosition(3);
    const Vector a2(a.x, u0.y, a.z), b2(b.x, u2.y, b.z);
    glPushAttrib(GL_CURRENT_BIT | GL_ENABLE_BIT);
    glDisable(GL_LIGHTING);
    glDisable(GL_TEXTURE_2D);
    glColor4d(0.0, 0.0, 0.0, 1.0);
    const Vector lines[10] = {a2, b2, a2, a, b2, b, a2, u0, b2, u2};
    glBegin(GL_LINES);
    for (const Vector& p : lines) glVertex3d(p.x, p.y, p.z);
    glEnd();
    glPopAttrib();
}

void Dormer::DrawOutlineHandles() {
    Roof* roof = GetRoof();
    BaseControl* control = theControl();
    if (!roof || roof->IsLocked() || !control) return;
    glPushAttrib(GL_COLOR_BUFFER_BIT | GL_CURRENT_BIT | GL_ENABLE_BIT);
    glDisable(GL_ALPHA_TEST);
    DrawWallPreview();
    const int n = outline.GetPrimaryCount();
    OutlinePoint* nodes = outline.GetPrimaryPoints();
    const std::vector<Vector>& face = GetFrontPolygon();
    const Vector back = Times(outline.normal, -roof->BaseSlab::GetThickness());
    for (int i = 0; i < n && static_cast<int>(face.size()) >= n; ++i) {
        const Vector mid = face[i].Midpoint(face[(i + 1) % n]);
        glPushName(nodes[i].edge->GetPickName());
        glPushName(nodes[i].GetPickName());
        glColor4d(0.0, 0.0, 1.0, 0.5);
        glPushMatrix();
        glTranslated(mid.x, mid.y, mid.z);
        glScaled(kEdgeHandleScale / 5.0, kEdgeHandleScale / 5.0, kEdgeHandleScale / 5.0);
        control->DrawMarker(5.0);
        glPopMatrix();
        glPushMatrix();
        glTranslated(mid.x + back.x, mid.y + back.y, mid.z + back.z);
        glScaled(kBackHandleScale / 5.0, kBackHandleScale / 5.0, kBackHandleScale / 5.0);
        control->DrawMarker(5.0);
        glPopMatrix();
        glPopName();
        glPopName();
    }
    glPopAttrib();
}
