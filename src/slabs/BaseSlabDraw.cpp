// Drawing of a slab: its three surfaces compiled into display lists, the faces with the
// openings of its children tessellated in, the selection handles, and the culling of the
// slab and of other objects against the view.

#include <GL/gl.h>
#include <GL/glu.h>

#include <cmath>
#include <vector>

#include "control/BaseControl.h"
#include "foundation/Trace.h"
#include "foundation/ViewState.h"
#include "model/SceneView.h"
#include "render/LightSource.h"
#include "render/TessCallbacks.h"
#include "render/Window.h"
#include "slabs/BaseSlab.h"
#include "slabs/SlabChild.h"

namespace {

// The tessellator asks the polygon's owner, a slab or another drawn object, for its type
// and for texture coordinates.
uint64_t TessTypeMask(void* object) {
    auto* pickable = static_cast<PickableObject*>(object);
    return pickable ? pickable->GetTypeMask() : 0;
}

Vector TessTextureCoordinate(void* object, const Vector& point) {
    auto* slab = dynamic_cast<BaseSlab*>(static_cast<PickableObject*>(object));
    return slab ? slab->GetTextureCoordinate(point, nullptr) : Vector(0, 0, 0);
}

void UseSlabQueries() {
    static bool set = false;
    if (set) return;
    TessObjectQueries queries;
    queries.typeMask = TessTypeMask;
    queries.textureCoordinate = TessTextureCoordinate;
    SetTessObjectQueries(queries);
    set = true;
}

RenderableObject* AsRenderable(LinkedListObject* node) {
    return dynamic_cast<RenderableObject*>(node);
}

Window* DrawnWindow() {
    BaseControl* control = theControl();
    return control ? control->currentWindow : nullptr;
}

Vector Difference(const Vector& a, const Vector& b) {
    return Vector(a.x - b.x, a.y - b.y, a.z - b.z);
}

uint32_t ViewBitOf(const SceneView& view) {
    return 1u << (static_cast<unsigned>(view.GetViewId()) & 31u);
}

// One contour of points into the tessellator; the records live until the polygon ends.
void AddContour(GLUtesselator* tess, std::vector<TessVertexRecord>& records, const Vector* points,
                int count, bool reversed, const Vector& normal) {
    const size_t first = records.size();
    for (int k = 0; k < count; ++k) {
        const Vector& p = points[reversed ? count - 1 - k : k];
        records.push_back({p.x, p.y, p.z, normal});
    }
    gluTessBeginContour(tess);
    for (size_t k = first; k < records.size(); ++k) gluTessVertex(tess, &records[k].x, &records[k]);
    gluTessEndContour(tess);
}

}  // namespace

// ---- Texture coordinates -------------------------------------------------------------

Vector BaseSlab::GetTextureCoordinate(const Vector& point, const OutlineEdge* edge) {
    const int count = outline.GetPrimaryCount();
    if (count == 0) return Vector(0, 0, 0);
    const OutlinePoint* nodes = outline.GetPrimaryPoints();
    const Vector& n = outline.normal;
    if (currentSurface == &insideSurface || currentSurface == &outsideSurface) {
        Vector v;
        v.Cross(uVector, n);
        v.Normalize();
        if (currentSurface == &outsideSurface) v.Negate();
        const Vector p = Difference(point, nodes[0].position);
        return Vector(p.Dot(v), p.Dot(uVector), 0);
    }
    const OutlineEdge* wanted = edge ? edge : currentEdge;
    for (int i = 0; wanted && i < count; ++i) {
        if (nodes[i].edge != wanted) continue;
        const Vector& e = nodes[i].position;
        Vector d = Difference(nodes[(i + 1) % count].position, e);
        d.Normalize();
        const Vector p = Difference(point, e);
        return Vector(-p.Dot(n), p.Dot(d), 0);
    }
    return Vector(0, 0, 0);
}

// ---- Surfaces ---------------------------------------------------------------------------

void BaseSlab::RenderSurface() {
    if (currentSurface == &edgeSurface) {
        RenderEdgeSurface();
        return;
    }
    Part* part = currentSurface;
    if (!part || !facePointsA || !facePointsB) return;
    const int count = facePointCount;
    if (rebuildPending) {
        BaseControl* control = theControl();
        GLUtesselator* tess = control ? control->GetTessellator() : nullptr;
        const bool inside = part == &insideSurface;
        Vector normal = outline.normal;
        if (!inside) normal.Negate();
        if (part->faceList == Part::kNoList) part->faceList = glGenLists(1);
        if (part->edgeList == Part::kNoList) part->edgeList = glGenLists(1);
        const Vector* points = inside ? facePointsA.get() : facePointsB.get();
        glNewList(part->faceList, GL_COMPILE);
        glNormal3d(normal.x, normal.y, normal.z);
        if (tess && count >= 3) {
            UseSlabQueries();
            std::vector<TessVertexRecord> records;
            records.reserve(static_cast<size_t>(count));
            gluTessNormal(tess, normal.x, normal.y, normal.z);
            gluTessBeginPolygon(tess, static_cast<PickableObject*>(this));
            AddContour(tess, records, points, count, !inside, normal);
            gluTessEndPolygon(tess);
        }
        glEndList();
        glNewList(part->edgeList, GL_COMPILE);
        glBegin(GL_LINE_LOOP);
        for (int k = 0; k < count; ++k) {
            const Vector& p = points[inside ? k : count - 1 - k];
            glVertex3d(p.x, p.y, p.z);
        }
        glEnd();
        glEndList();
        theTrace().Write("Lists created");
    }
    part->Render(false);
}

void BaseSlab::RenderEdgeSurface() {
    if (!facePointsA || !facePointsB) return;
    const int count = std::min(facePointCount, outline.GetPrimaryCount());
    OutlinePoint* nodes = outline.GetPrimaryPoints();
    if (rebuildPending) {
        BaseControl* control = theControl();
        GLUtesselator* tess = control ? control->GetTessellator() : nullptr;
        if (edgeSurface.faceList == Part::kNoList) edgeSurface.faceList = glGenLists(1);
        if (edgeSurface.edgeList == Part::kNoList) edgeSurface.edgeList = glGenLists(1);
        UseSlabQueries();
        glNewList(edgeSurface.faceList, GL_COMPILE);
        // The quads are named by their edge, between the slab and the surface part.
        glPopName();
        for (int i = 0; i < count; ++i) {
            const int next = (i + 1) % count;
            glPushName(nodes[i].edge->GetPickName());
            currentEdge = nodes[i].edge;
            glPushName(edgeSurface.GetPickName());
            const Vector quad[4] = {facePointsA[i], facePointsB[i], facePointsB[next],
                                    facePointsA[next]};
            Vector normal;
            normal.PlaneNormalFromPoints(quad);
            glNormal3d(normal.x, normal.y, normal.z);
            if (tess) {
                std::vector<TessVertexRecord> records;
                records.reserve(4);
                gluTessNormal(tess, normal.x, normal.y, normal.z);
                gluTessBeginPolygon(tess, static_cast<PickableObject*>(this));
                AddContour(tess, records, quad, 4, false, normal);
                gluTessEndPolygon(tess);
            }
            glPopName();
            glPopName();
        }
        glPushName(edgeSurface.GetPickName());
        glEndList();
        currentEdge = nullptr;
        glNewList(edgeSurface.edgeList, GL_COMPILE);
        glBegin(GL_LINES);
        for (int i = 0; i < count; ++i) {
            glVertex3d(facePointsA[i].x, facePointsA[i].y, facePointsA[i].z);
            glVertex3d(facePointsB[i].x, facePointsB[i].y, facePointsB[i].z);
        }
        glEnd();
        glEndList();
    }
    edgeSurface.Render(false);
}

void BaseSlab::RenderHoleReveals() {
    for (LinkedListObject* node = inSlabList.GetHead(); node; node = node->GetNext())
        if (auto* child = dynamic_cast<SlabChild*>(node)) child->RenderReveal(true);
    for (LinkedListObject* node = holeList.GetHead(); node; node = node->GetNext())
        if (auto* child = dynamic_cast<SlabChild*>(node)) child->RenderReveal(false);
}

// ---- The slab ----------------------------------------------------------------------------

void BaseSlab::Render() {
    if (mirrorPass || !shownInView || !facePointsA || !facePointsB) return;
    BaseControl* control = theControl();
    Window* window = DrawnWindow();
    if (!control || !window) return;
    RenderState& s = window->viewFlags;

    glPushAttrib(GL_DEPTH_BUFFER_BIT);
    const bool seeThrough = (GetTypeMask() & static_cast<uint64_t>(s.GetInt64(1))) != 0 ||
                            (surfaceMaterials[0].alpha == 0.5 && surfaceMaterials[1].alpha == 0.5 &&
                             surfaceMaterials[2].alpha == 0.5);
    if (seeThrough) {
        if (s.GetBoolean(3)) {
            glPopAttrib();
            return;
        }
        glDepthMask(GL_FALSE);
    }
    glLoadName(GetPickName());
    auto drawList = [](LinkedList& list, bool onlyShown) {
        for (LinkedListObject* node = list.GetHead(); node; node = node->GetNext()) {
            RenderableObject* child = AsRenderable(node);
            if (child && (!onlyShown || child->WasShownInView())) child->Render();
        }
    };
    if (s.GetBoolean(9)) {
        // Models only.
        drawList(onSlabList, false);
        drawList(inSlabList, true);
        glPopAttrib();
        return;
    }
    SetStencilForSelection();
    drawList(onSlabList, false);
    drawList(moldingList, false);
    if (IsVisibleInCurrentWindow()) {
        glPopAttrib();
        return;
    }
    if (control->globalState.GetBoolean(17) && window->currentLight)
        window->currentLight->BeginTexCoordGen();

    if (s.GetBoolean(3) || s.GetBoolean(10)) {
        RenderCutOut();
        if (gridShown) grid.Draw();
        if (ShowsSelection()) RenderSelection();
        glPopAttrib();
    } else {
        if (seeThrough)
            for (Material& material : surfaceMaterials) material.transparent = 1;
        glPushAttrib(GL_CURRENT_BIT | GL_STENCIL_BUFFER_BIT);
        if (window->GetPassCount() == window->layerCounter) {
            drawList(inSlabList, false);
            drawList(holeList, false);
        }
        glPushAttrib(GL_ENABLE_BIT);
        s.SetBoolean(8, false);
        drawList(coveringList, false);
        for (Part* part : {&insideSurface, &outsideSurface, &edgeSurface}) {
            currentSurface = part;
            RenderSurface();
        }
        currentSurface = nullptr;
        rebuildPending = 0;
        RenderHoleReveals();
        glPopAttrib();
        glPopAttrib();
        if (gridShown) grid.Draw();
        if (ShowsSelection() && !control->globalState.GetBoolean(15)) {
            RenderSelection();
            if (selected) ShowMeasurements();
        }
        glPopAttrib();
    }
    if (rebuild) {
        rebuild = 0;
        rebuildPending = 1;
        cutOutRebuild = 1;
    }
}

void BaseSlab::RenderCutOut() {
    BaseControl* control = theControl();
    GLUtesselator* tess = control ? control->GetTessellator() : nullptr;
    if (!tess || !facePointsA || !facePointsB) return;
    UseSlabQueries();
    const int count = facePointCount;
    currentSurface = &edgeSurface;
    glPushAttrib(GL_ENABLE_BIT | GL_CURRENT_BIT);
    for (int face = 0; face < 2; ++face) {
        Part& part = face == 0 ? insideSurface : outsideSurface;
        Vector normal = outline.normal;
        if (face == 1) normal.Negate();
        if (cutOutRebuild) {
            if (part.alternateList == Part::kNoList) part.alternateList = glGenLists(1);
            glNewList(part.alternateList, GL_COMPILE);
            glNormal3d(normal.x, normal.y, normal.z);
            gluTessNormal(tess, normal.x, normal.y, normal.z);
            gluTessBeginPolygon(tess, static_cast<PickableObject*>(this));
            // The openings of the children are contours of the face.
            LinkedList* first = face == 0 ? &inSlabList : &holeList;
            LinkedList* second = face == 0 ? &holeList : &inSlabList;
            for (LinkedList* list : {first, second})
                for (LinkedListObject* node = list->GetHead(); node; node = node->GetNext())
                    if (auto* child = dynamic_cast<SlabChild*>(node))
                        child->AddOpeningContour(tess, face == 1);
            currentSurface = &part;
            std::vector<TessVertexRecord> records;
            records.reserve(static_cast<size_t>(count));
            AddContour(tess, records, face == 0 ? facePointsA.get() : facePointsB.get(), count,
                       false, normal);
            gluTessEndPolygon(tess);
            glEndList();
        }
        currentSurface = &part;
        part.Render(true);
    }
    currentSurface = &edgeSurface;
    RenderEdgeSurface();
    for (LinkedList* list : {&inSlabList, &coveringList})
        for (LinkedListObject* node = list->GetHead(); node; node = node->GetNext())
            if (RenderableObject* child = AsRenderable(node)) child->Render();
    currentSurface = nullptr;
    glPopAttrib();
    cutOutRebuild = 0;
    if (!cutOutDrawn) {
        cutOutDrawn = 1;
        MarkDirty();
    }
}

// ---- Selection feedback -----------------------------------------------------------------

void BaseSlab::RenderMoveHandle() {
    BaseControl* control = theControl();
    Window* window = DrawnWindow();
    if (!control || !window || window->viewFlags.GetInteger(0) == 1) return;
    if (outline.GetPrimaryCount() == 0) return;
    const Vector& first = outline.GetPrimaryPoints()[0].position;
    Vector centre = box.min.Midpoint(box.max);
    if (HasType(TypeBit::kFloor)) centre.y = first.y;
    const double radius = window->GetMarkerScale(first);
    const Vector& n = outline.normal;
    const double half = thickness * 0.5;
    glColor4d(1.0, 0.0, 1.0, 0.5);
    glPushName(control->liftHandle.GetPickName());
    for (double side : {half, -half}) {
        glPushMatrix();
        glTranslated(centre.x + n.x * side, centre.y + n.y * side, centre.z + n.z * side);
        control->DrawSelectionSphere(radius);
        glPopMatrix();
    }
    glPopName();
}

// ---- Culling -------------------------------------------------------------------------------

bool BaseSlab::IsInWindowView(SceneView& view) {
    const std::vector<Vector> points = outline.GetPositions();
    const int count = std::min<int>(static_cast<int>(points.size()), kMaxCullPoints);
    if (count == 0) return true;
    if (!view.HitTestPolygon(points.data(), count, true)) return false;
    if (thickness <= 10.0 || !facePointsA || !facePointsB) return true;
    const int faces = std::min(facePointCount, kMaxCullPoints);
    return view.HitTestPolygon(facePointsA.get(), faces, true) &&
           view.HitTestPolygon(facePointsB.get(), faces, true);
}

void BaseSlab::UpdateWindowVisibility() {
    RenderableObject::UpdateWindowVisibility();
    if (IsVisibleInCurrentWindow()) {
        for (LinkedListObject* node = onSlabList.GetHead(); node; node = node->GetNext())
            if (RenderableObject* child = AsRenderable(node)) child->UpdateWindowVisibility();
    } else {
        for (RenderableObject* child = FirstChild(); child; child = NextChild())
            child->UpdateWindowVisibility();
    }
}

void BaseSlab::CullAgainstSlab(bool slabsOnly) {
    BaseControl* control = theControl();
    Window* window = DrawnWindow();
    if (!control || !window || cullHull.empty()) return;
    std::vector<Vector> hull;
    hull.reserve(cullHull.size());
    for (const CullPoint& point : cullHull) hull.push_back(point.middle);
    const Vector* previousSource = window->pickPolygonSource;
    const int previousCount = window->pickPolygonCount;
    window->SetPickPolygon(hull.data(), static_cast<int>(hull.size()));
    LinkedListIterator it(control->scene);
    it.LockList();
    for (LinkedListObject* node = it.First(); node; node = it.Next()) {
        RenderableObject* object = AsRenderable(node);
        if (!object || object == this || object->IsVisibleInCurrentWindow() ||
            !object->WasShownInView())
            continue;
        auto* slab = dynamic_cast<BaseSlab*>(object);
        if (slabsOnly) {
            if (!slab) continue;
            CullObjectAgainstSlab(slab);
            if (slab->IsVisibleInCurrentWindow()) {
                for (LinkedListObject* c = slab->onSlabList.GetHead(); c; c = c->GetNext())
                    if (RenderableObject* child = AsRenderable(c)) CullObjectAgainstSlab(child);
            } else {
                for (RenderableObject* child = slab->FirstChild(); child; child = slab->NextChild())
                    CullObjectAgainstSlab(child);
            }
        } else if (!slab) {
            CullObjectAgainstSlab(object);
        }
    }
    it.UnlockList();
    window->SetPickPolygon(previousSource, previousCount);
}

void BaseSlab::CullObjectAgainstSlab(RenderableObject* object) {
    Window* window = DrawnWindow();
    if (!object || !window) return;
    theTrace().Write("Start of cullObjAgainst slab");
    std::vector<Vector> points;
    if (auto* slab = dynamic_cast<BaseSlab*>(object)) {
        points = slab->outline.GetPositions();
        if (static_cast<int>(points.size()) > kMaxCullPoints) points.resize(kMaxCullPoints);
    } else {
        const Vector* corners = object->GetCorners();
        if (corners) points.assign(corners, corners + 8);
    }
    const uint32_t bit = ViewBitOf(*window);
    bool culled = false;
    for (const Vector& point : points) {
        if (window->HitTestPolygon(&point, 1, false)) {
            culled = true;
        } else {
            culled = false;
            break;
        }
    }
    object->SetFlags(culled ? object->GetFlags() | bit : object->GetFlags() & ~bit);
    if (!culled) return;
    // Seen through an opening of this slab, or past a reflex corner of it, the object stays.
    for (LinkedListObject* node = holeList.GetHead(); node; node = node->GetNext()) {
        auto* hole = dynamic_cast<SlabChild*>(node);
        RenderableObject* drawn = AsRenderable(node);
        if (hole && drawn && !drawn->IsVisibleInCurrentWindow() && hole->SeesThrough(object))
            return;
    }
    for (LinkedListObject* node = inSlabList.GetHead(); node; node = node->GetNext())
        if (auto* child = dynamic_cast<SlabChild*>(node); child && child->SeesThrough(object))
            return;
    const OutlinePoint* nodes = outline.GetPrimaryPoints();
    const int count = outline.GetPrimaryCount();
    for (const ReflexTriangle& t : reflexTriangles) {
        if (t.previous >= count || t.current >= count || t.next >= count) continue;
        const Vector triangle[3] = {nodes[t.previous].position, nodes[t.current].position,
                                    nodes[t.next].position};
        if (!window->HitTestPolygon(triangle, 3, false)) {
            object->SetFlags(object->GetFlags() & ~bit);
            return;
        }
    }
}

void BaseSlab::CullChildren(bool cut) {
    Window* window = DrawnWindow();
    if (!window) return;
    const uint32_t bit = ViewBitOf(*window);
    if (cut) {
        // Only a slab the line of sight really passes through stands in the way.
        if (outline.ContainsPoint(cutAwayPoint))
            SetFlags(GetFlags() | bit);
        else
            cutAway = 0;
        return;
    }
    // Objects standing on the cut wall stay in the frame.
    for (LinkedListObject* node = onSlabList.GetHead(); node; node = node->GetNext())
        if (RenderableObject* child = AsRenderable(node)) child->SetFlags(child->GetFlags() & ~bit);
}
