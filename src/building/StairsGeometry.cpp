// Stair geometry: the steps, the top riser, the stringers, the flat outline with its
// handles, texture coordinates and the support walls.

#include <GL/gl.h>

#include <algorithm>
#include <cmath>

#include "building/Stairs.h"
#include "building/Wall.h"
#include "control/BaseControl.h"
#include "control/RenderLockScope.h"
#include "foundation/KeyDataList.h"
#include "foundation/Trace.h"
#include "model/SceneView.h"

namespace {

Vector Sub(const Vector& a, const Vector& b) {
    return Vector(a.x - b.x, a.y - b.y, a.z - b.z);
}

Vector AddScaled(const Vector& a, const Vector& b, double s) {
    return Vector(a.x + b.x * s, a.y + b.y * s, a.z + b.z * s);
}

Vector Mid(const Vector& a, const Vector& b) {
    return Vector((a.x + b.x) * 0.5, (a.y + b.y) * 0.5, (a.z + b.z) * 0.5);
}

Vector Unit(Vector v) {
    const double length = v.Length();
    if (length > 0.0 && std::isfinite(length)) v.Scale(1.0 / length);
    v.w = 1.0;
    return v;
}

// sqrt of a squared length less a square, never of a negative number.
double ClampedRoot(double squared, double less) {
    const double value = squared - less * less;
    return value > 0.0 ? std::sqrt(value) : 0.0;
}

void EmitVertex(const Vector& p, const Vector& uv) {
    glTexCoord2d(uv.x, uv.y);
    glVertex3d(p.x, p.y, p.z);
}

// Where the line through `through` along `perp` crosses the side a-b; false when it runs
// parallel or meets the side's line outside the side.
bool CrossSide(const Vector& a, const Vector& b, const Vector& through, const Vector& perp,
               bool limited, Vector& out) {
    const Vector e = Sub(b, a);
    const double denom = e.z * perp.x - e.x * perp.z;
    if (std::fabs(denom) < 0.0001) return false;
    const double t = ((a.x - through.x) * perp.z - (a.z - through.z) * perp.x) / denom;
    if (limited && (t < 0.0 || t > 1.0)) return false;
    out = AddScaled(a, e, t);
    out.y = through.y;
    return true;
}

void CompileOrCall(Part& part, bool dirty, const std::function<void()>& draw) {
    if (dirty || part.faceList == Part::kNoList) {
        if (part.faceList == Part::kNoList) part.faceList = glGenLists(1);
        glNewList(part.faceList, GL_COMPILE);
        draw();
        glEndList();
    }
    part.Render(false);
}

}  // namespace

// ---- StairPart ------------------------------------------------------------------------

StairPart::StairPart(Stairs* owner, int index) : Part(owner), stairs(owner), index(index) {}

void StairPart::PassMaterialToSteps() {
    if (!stairs || !material) return;
    for (LinkedListObject* node = stairs->GetSteps().GetHead(); node; node = node->GetNext()) {
        Part* part = static_cast<Step*>(node)->PartAt(index);
        // Steps made over the stair's materials share them already.
        if (!part || !part->material || part->material == material) continue;
        KeyDataList copy;
        material->WriteKeyData(copy);
        part->material->ReadKeyData(*copy.GetSublist("Material"), false);
    }
}

void StairPart::Load(KeyDataList& keys) {
    Part::Load(keys);
    PassMaterialToSteps();
}

void StairPart::SetColor(double r, double g, double b, double a) {
    Part::SetColor(r, g, b, a);
    PassMaterialToSteps();
}

void StairPart::SetMaterialVector(const Vector& v) {
    Part::SetMaterialVector(v);
    PassMaterialToSteps();
}

bool StairPart::ProcessPropertyMenu(uint32_t id) {
    const bool handled = Part::ProcessPropertyMenu(id);
    if (id >= PartCommand::kRotateMaterial45Clockwise && id <= PartCommand::kRotateMaterial180)
        PassMaterialToSteps();
    return handled;
}

// ---- Step -----------------------------------------------------------------------------

Step::Step(const StepParameters* parameters) : params(parameters) {
    Part* parts[3] = {&surface, &edge, &riser};
    StairPart* shared[3] = {params ? params->surface : nullptr, params ? params->edge : nullptr,
                            params ? params->riser : nullptr};
    for (int i = 0; i < 3; ++i) {
        parts[i]->SetOwner(this);
        parts[i]->material = shared[i] ? shared[i]->material : nullptr;
    }
}

Step::~Step() = default;

Part* Step::PartAt(int i) {
    switch (i) {
        case 1: return &surface;
        case 2: return &edge;
        case 3: return &riser;
        default: return nullptr;
    }
}

void Step::Translate(const Vector& offset) {
    treadOutline.Translate(offset.x, offset.y, offset.z);
    riserOutline.Translate(offset.x, offset.y, offset.z);
    dirty = true;
}

void Step::Build(const Outline& stairOutline, const Vector& start, int i) {
    if (!params || !params->profile || i < 1) return;
    const Vector& d = params->direction;
    const Vector perp(-d.z, 0.0, d.x);
    const double depth = params->stepDepth;
    const Vector front(start.x + i * depth * d.x, start.y + i * params->stepHeight,
                       start.z + i * depth * d.z);
    const Vector back(front.x + depth * d.x, front.y, front.z + depth * d.z);

    const int count = stairOutline.GetPrimaryCount();
    const OutlinePoint* corners = stairOutline.GetPrimaryPoints();
    Vector hits[2][2];
    int found = 0;
    for (int k = 0; k < count && found < 2; ++k) {
        const Vector& a = corners[(k + count - 1) % count].position;
        const Vector& b = corners[k].position;
        Vector nearPoint, farPoint;
        if (!CrossSide(a, b, front, perp, true, nearPoint)) continue;
        if (!CrossSide(a, b, back, perp, false, farPoint)) continue;
        hits[found][0] = nearPoint;
        hits[found][1] = farPoint;
        ++found;
    }
    treadOutline.Clear();
    riserOutline.Clear();
    dirty = true;
    // A tread line that does not cross the outline twice makes no tread.
    if (found < 2) return;
    const Vector& B = hits[0][0];
    const Vector& C = hits[0][1];
    const Vector& E = hits[1][0];
    const Vector& F = hits[1][1];
    const double w = std::max(ClampedRoot(Sub(C, E).Dot(Sub(C, E)), depth),
                              ClampedRoot(Sub(F, B).Dot(Sub(F, B)), depth));
    const Vector frontMid = Mid(B, E);
    const double k = Sub(Mid(C, F), frontMid).Dot(perp) * 0.5;
    const Vector M = AddScaled(frontMid, perp, k);

    const Outline& profile = *params->profile;
    const int nodes = std::min(profile.GetPrimaryCount(), kMaxProfileNodes);
    const double overhang = params->stepOverhang;
    for (int n = 0; n < nodes; ++n) {
        const Vector& p = profile.GetPrimaryPoints()[n].position;
        const double across = -p.x * w / 2.0;
        Vector tread(M.x - overhang * d.x + across * perp.x + p.z * (depth + overhang) * d.x,
                     front.y,
                     M.z - overhang * d.z + across * perp.z + p.z * (depth + overhang) * d.z);
        Vector block(M.x + across * perp.x + p.z * depth * d.x, front.y,
                     M.z + across * perp.z + p.z * depth * d.z);
        treadOutline.InsertPoint(tread, n, false);
        riserOutline.InsertPoint(block, n, false);
    }
    treadOutline.SetNormal(Vector(0.0, 1.0, 0.0));
    riserOutline.SetNormal(treadOutline.normal);
    MarkDirty();
}

Vector Step::TextureCoordinate(const Vector& p, const OutlineEdge* side) const {
    const int count = treadOutline.GetPrimaryCount();
    if (!params || count == 0) return Vector(0, 0, 0);
    const OutlinePoint* nodes = treadOutline.GetPrimaryPoints();
    const Vector& d = params->direction;
    const Vector perp(-d.z, 0.0, d.x);
    if (drawing == 2) {
        const OutlineEdge* edgeObject = side ? side : currentEdge;
        for (int k = 0; edgeObject && k < count; ++k) {
            if (nodes[k].edge != edgeObject) continue;
            const Vector e = Unit(Sub(nodes[(k + count - 1) % count].position, nodes[k].position));
            const Vector q = Sub(p, nodes[k].position);
            return Vector(q.y, q.Dot(e), 0.0);
        }
        return Vector(0, 0, 0);
    }
    const Vector q(p.x - nodes[0].position.x, 0.0, p.z - nodes[0].position.z);
    Vector uv(q.Dot(perp), q.Dot(d), 0.0);
    if (drawing == 3) uv = Vector(uv.x + uv.y, p.y, 0.0);
    return uv;
}

void Step::DrawSurface() {
    const int count = treadOutline.GetPrimaryCount();
    const OutlinePoint* n = treadOutline.GetPrimaryPoints();
    const double half = params->stepThickness * 0.5;
    drawing = 1;
    if (params->surface) glPushName(params->surface->GetPickName());
    glNormal3d(0.0, 1.0, 0.0);
    glBegin(GL_POLYGON);
    for (int i = 0; i < count; ++i) {
        Vector p = n[i].position;
        p.y += half;
        EmitVertex(p, TextureCoordinate(p, nullptr));
    }
    glEnd();
    glNormal3d(0.0, -1.0, 0.0);
    glBegin(GL_POLYGON);
    for (int i = count - 1; i >= 0; --i) {
        Vector p = n[i].position;
        p.y -= half;
        EmitVertex(p, TextureCoordinate(p, nullptr));
    }
    glEnd();
    if (params->surface) glPopName();
}

void Step::DrawEdges() {
    const int count = treadOutline.GetPrimaryCount();
    const OutlinePoint* n = treadOutline.GetPrimaryPoints();
    const double half = params->stepThickness * 0.5;
    drawing = 2;
    for (int k = 0; k < count; ++k) {
        const Vector& a = n[(k + count - 1) % count].position;
        const Vector& b = n[k].position;
        const Vector e = Sub(b, a);
        const Vector normal = Unit(Vector(-e.z, 0.0, e.x));
        currentEdge = n[k].edge;
        glPushName(n[k].edge ? const_cast<OutlineEdge*>(n[k].edge)->GetPickName() : 0);
        if (params->edge) glPushName(params->edge->GetPickName());
        glNormal3d(normal.x, normal.y, normal.z);
        glBegin(GL_QUADS);
        const Vector quad[4] = {Vector(a.x, a.y - half, a.z), Vector(b.x, b.y - half, b.z),
                                Vector(b.x, b.y + half, b.z), Vector(a.x, a.y + half, a.z)};
        for (const Vector& p : quad) EmitVertex(p, TextureCoordinate(p, currentEdge));
        glEnd();
        if (params->edge) glPopName();
        glPopName();
    }
    currentEdge = nullptr;
}

void Step::DrawRisers() {
    const int count = riserOutline.GetPrimaryCount();
    const OutlinePoint* n = riserOutline.GetPrimaryPoints();
    const double top = -params->stepThickness * 0.5;
    const double bottom = -params->stepHeight;
    drawing = 3;
    if (params->riser) glPushName(params->riser->GetPickName());
    for (int k = 0; k < count; ++k) {
        const Vector& a = n[(k + count - 1) % count].position;
        const Vector& b = n[k].position;
        const Vector e = Sub(b, a);
        const Vector normal = Unit(Vector(-e.z, 0.0, e.x));
        glNormal3d(normal.x, normal.y, normal.z);
        glBegin(GL_QUADS);
        const Vector quad[4] = {Vector(a.x, a.y + bottom, a.z), Vector(b.x, b.y + bottom, b.z),
                                Vector(b.x, b.y + top, b.z), Vector(a.x, a.y + top, a.z)};
        for (const Vector& p : quad) EmitVertex(p, TextureCoordinate(p, nullptr));
        glEnd();
    }
    if (params->riser) glPopName();
}

void Step::Render() {
    if (!params || !HasTread()) return;
    glPushMatrix();
    glTranslated(position.x, position.y, position.z);
    glColor4d(1.0, 1.0, 1.0, 1.0);
    CompileOrCall(surface, dirty, [this] { DrawSurface(); });
    CompileOrCall(edge, dirty, [this] { DrawEdges(); });
    if (params->showRiser) {
        glPushAttrib(GL_ENABLE_BIT);
        glDisable(GL_CULL_FACE);
        CompileOrCall(riser, dirty, [this] { DrawRisers(); });
        glPopAttrib();
    }
    drawing = 0;
    dirty = false;
    rebuild = 0;
    glPopMatrix();
}

// ---- Stairs: drawing ----------------------------------------------------------------

Vector Stairs::TextureCoordinates(const Vector& point) const {
    const Vector q = Sub(point, start);
    const Vector& d = params.direction;
    Vector axis(-d.z, 0.0, d.x);
    Vector t = textureU;
    t.RotateAboutAxis(M_PI / 2.0, axis);
    if (!stringerFaces) return Vector(q.Dot(t), q.Dot(textureU), 0.0);
    Vector n;
    n.Cross(textureU, t);
    n = Unit(n);
    const double s = q.Dot(n);
    return Vector(s, Sub(q, Vector(n.x * s, n.y * s, n.z * s)).Length(), 0.0);
}

void Stairs::DrawTopRiser() {
    Step* last = static_cast<Step*>(steps.GetTail());
    if (!last || !last->HasTread()) return;
    const Outline& tread = last->GetTreadOutline();
    const Vector a = tread.GetPrimaryPoints()[0].position;
    const Vector b = tread.GetPrimaryPoints()[tread.GetPrimaryCount() - 1].position;
    const double h = params.stepHeight;
    const double lift = -params.stepThickness * 0.5;
    CompileOrCall(riserPart, rebuild != 0 || topRiserList == Part::kNoList, [&] {
        last->drawing = 3;
        glPushName(riserPart.GetPickName());
        glNormal3d(-params.direction.x, 0.0, -params.direction.z);
        glBegin(GL_QUADS);
        const Vector quad[4] = {Vector(a.x, a.y + lift, a.z), Vector(b.x, b.y + lift, b.z),
                                Vector(b.x, b.y + lift + h, b.z), Vector(a.x, a.y + lift + h, a.z)};
        for (const Vector& p : quad) EmitVertex(p, last->TextureCoordinate(p, nullptr));
        glEnd();
        glPopName();
        last->drawing = 0;
    });
    topRiserList = riserPart.faceList;
}

void Stairs::DrawStringerSides(const Vector section[4], const Vector& perp) {
    const double half = stringerThickness * 0.5;
    stringerFaces = true;
    for (int i = 0; i < 4; ++i) {
        const Vector& a = section[i];
        const Vector& b = section[(i + 1) % 4];
        const Vector quad[4] = {AddScaled(a, perp, -half), AddScaled(b, perp, -half),
                                AddScaled(b, perp, half), AddScaled(a, perp, half)};
        Vector normal;
        normal.Cross(Sub(quad[1], quad[0]), Sub(quad[3], quad[0]));
        normal = Unit(normal);
        glNormal3d(normal.x, normal.y, normal.z);
        glBegin(GL_QUADS);
        for (const Vector& p : quad) EmitVertex(p, TextureCoordinates(p));
        glEnd();
    }
    stringerFaces = false;
}

void Stairs::DrawStringerBeam(const Vector section[4]) {
    const Vector& d = params.direction;
    const Vector perp(-d.z, 0.0, d.x);
    const double half = stringerThickness * 0.5;
    textureU = Unit(Sub(section[2], section[1]));
    glNormal3d(-perp.x, 0.0, -perp.z);
    glBegin(GL_POLYGON);
    for (int i = 3; i >= 0; --i) {
        const Vector p = AddScaled(section[i], perp, -half);
        EmitVertex(p, TextureCoordinates(p));
    }
    glEnd();
    glNormal3d(perp.x, 0.0, perp.z);
    glBegin(GL_POLYGON);
    for (int i = 0; i < 4; ++i) {
        const Vector p = AddScaled(section[i], perp, half);
        EmitVertex(p, TextureCoordinates(p));
    }
    glEnd();
    DrawStringerSides(section, perp);
}

void Stairs::DrawStringerSegment(const Vector left[4], const Vector right[4]) {
    Vector middle[4], quarter[4], threeQuarter[4];
    for (int i = 0; i < 4; ++i) {
        middle[i] = Mid(left[i], right[i]);
        quarter[i] = Mid(left[i], middle[i]);
        threeQuarter[i] = Mid(middle[i], right[i]);
    }
    if (showLeftStringer) DrawStringerBeam(left);
    if (showRightStringer) DrawStringerBeam(right);
    if (showMiddleStringer) DrawStringerBeam(middle);
    if (showQuarterStringer) DrawStringerBeam(quarter);
    if (show3QuarterStringer) DrawStringerBeam(threeQuarter);
}

void Stairs::BuildStringers() {
    if (!showStringers) return;
    CompileOrCall(stringerPart, rebuild != 0, [this] {
        const Vector& d = params.direction;
        const Vector perp(-d.z, 0.0, d.x);
        const double h = params.stepHeight, t = params.stepThickness, st = stringerThickness;
        bool first = true;
        glPushName(stringerPart.GetPickName());
        for (LinkedListObject* node = steps.GetHead(); node && node->GetNext();
             node = node->GetNext()) {
            auto* current = static_cast<Step*>(node);
            auto* next = static_cast<Step*>(node->GetNext());
            if (!current->HasTread() || !next->HasTread()) continue;
            auto section = [&](const Vector& here, const Vector& there, double side, Vector out[4]) {
                const Vector o(0.25 * d.x + side * (st / 2.0) * perp.x, 0.0,
                               0.25 * d.z + side * (st / 2.0) * perp.z);
                out[0] = Vector(here.x + o.x, here.y + h - t / 2.0, here.z + o.z);
                out[1] = Vector(out[0].x, out[0].y - 2.0 * h, out[0].z);
                out[3] = Vector(there.x + o.x, out[0].y, there.z + o.z);
                out[2] = Vector(out[3].x, out[3].y - h, out[3].z);
            };
            const Outline& a = current->GetTreadOutline();
            const Outline& b = next->GetTreadOutline();
            Vector left[4], right[4];
            section(a.GetPrimaryPoints()[0].position, b.GetPrimaryPoints()[0].position, 1.0, left);
            section(a.GetPrimaryPoints()[a.GetPrimaryCount() - 1].position,
                    b.GetPrimaryPoints()[b.GetPrimaryCount() - 1].position, -1.0, right);
            DrawStringerSegment(left, right);
            if (first) {
                first = false;
                auto bottom = [&](Vector s[4]) {
                    const Vector oldB = s[1];
                    const double top = s[2].y;
                    const Vector ahead = AddScaled(oldB, d, -params.stepDepth);
                    s[0] = Vector(ahead.x, top, ahead.z);
                    s[1] = ahead;
                    s[2] = oldB;
                    s[3] = Vector(oldB.x, top, oldB.z);
                };
                bottom(left);
                bottom(right);
                DrawStringerSegment(left, right);
            }
        }
        glPopName();
    });
}

void Stairs::DrawOutline() {
    BaseControl* control = theControl();
    if (control && (control->globalState.GetBoolean(15) || control->globalState.GetBoolean(17)))
        return;
    const int count = outline.GetPrimaryCount();
    if (count < 3) return;
    const OutlinePoint* n = outline.GetPrimaryPoints();
    glPushAttrib(GL_ENABLE_BIT | GL_CURRENT_BIT);
    glDisable(GL_ALPHA_TEST);
    glDisable(GL_TEXTURE_2D);
    glColor3d(0.7, 0.7, 0.7);
    if (rebuild || outlineList == Part::kNoList) {
        if (outlineList == Part::kNoList) outlineList = glGenLists(1);
        glNewList(outlineList, GL_COMPILE);
        glPushName(outlinePart.GetPickName());
        glNormal3d(0.0, 1.0, 0.0);
        glBegin(GL_POLYGON);
        for (int i = 0; i < count; ++i) glVertex3d(n[i].position.x, n[i].position.y, n[i].position.z);
        glEnd();
        glPopName();
        glEndList();
    }
    glPushMatrix();
    glTranslated(0.0, 0.25, 0.0);
    glCallList(outlineList);
    glPopMatrix();

    if (selected && control) {
        glDisable(GL_LIGHTING);
        const double h = box.max.y - box.min.y;
        glColor3d(0.0, 0.0, 0.0);
        glBegin(GL_LINES);
        for (int i = 0; i < count; ++i) {
            const Vector& a = n[i].position;
            const Vector& b = n[(i + 1) % count].position;
            glVertex3d(a.x, a.y, a.z);
            glVertex3d(a.x, a.y + h, a.z);
            glVertex3d(a.x, a.y + h, a.z);
            glVertex3d(b.x, b.y + h, b.z);
        }
        glEnd();
        auto sphere = [&](const Vector& at, double r, double g, double b, uint32_t name1,
                          uint32_t name2) {
            glColor4d(r, g, b, 0.5);
            glPushName(name1);
            if (name2) glPushName(name2);
            glPushMatrix();
            glTranslated(at.x, at.y, at.z);
            control->DrawSelectionSphere(kHandleRadius);
            glPopMatrix();
            if (name2) glPopName();
            glPopName();
        };
        OutlinePoint* nodes = outline.GetPrimaryPoints();
        for (int i = 0; i < count; ++i) {
            sphere(nodes[i].position, 1.0, 0.0, 0.0, nodes[i].GetPickName(), 0);
            sphere(Mid(nodes[i].position, nodes[(i + 1) % count].position), 0.0, 1.0, 0.0,
                   nodes[i].edge->GetPickName(), nodes[i].GetPickName());
        }
        SceneView* view = control->GetCurrentView();
        if (!view || view->GetRenderState().GetInteger(0) != 1) {
            const Vector bottom((box.min.x + box.max.x) / 2.0, box.min.y,
                                (box.min.z + box.max.z) / 2.0);
            const uint32_t lift = control->liftHandle.GetPickName();
            sphere(bottom, 1.0, 1.0, 0.0, lift, 0);
            sphere(Vector(bottom.x, box.max.y, bottom.z), 1.0, 1.0, 0.0, lift, 0);
        }
        if (creationDone)
            sphere(Vector(end.x, n[0].position.y + stepCount * params.stepHeight, end.z), 1.0,
                   1.0, 0.0, heightHandle.GetPickName(), 0);
    }
    glPopAttrib();
}

void Stairs::DrawStartHandle() {
    BaseControl* control = theControl();
    if (!control || !selected || IsLocked()) return;
    startHandle.position = Vector(start.x, (box.min.y + box.max.y) / 2.0, start.z);
    glPushAttrib(GL_ENABLE_BIT | GL_CURRENT_BIT);
    glDisable(GL_TEXTURE_2D);
    glColor4d(1.0, 0.0, 0.0, 0.5);
    glPushName(startHandle.GetPickName());
    glPushMatrix();
    glTranslated(startHandle.position.x, startHandle.position.y, startHandle.position.z);
    control->DrawSelectionSphere(kHandleRadius);
    glPopMatrix();
    glPopName();
    glPopAttrib();
}

void Stairs::Render() {
    if (!IsShownInCurrentView()) return;
    if (creationDone && IsVisibleInCurrentWindow()) return;
    BaseControl* control = theControl();
    SceneView* view = control ? control->GetCurrentView() : nullptr;
    SetStencilForSelection();
    if (view) view->GetRenderState().SetBoolean(8, false);
    glLoadName(GetPickName());
    if (creationDone) {
        for (LinkedListObject* node = steps.GetHead(); node; node = node->GetNext())
            static_cast<Step*>(node)->Render();
        if (params.showRiser) DrawTopRiser();
    }
    if (creationDone) BuildStringers();
    if (selected) DrawStartHandle();
    if (selected || !creationDone) DrawOutline();
    rebuild = 0;
}

// ---- Support walls --------------------------------------------------------------------

void Stairs::BuildSupportWalls() {
    BaseControl* control = theControl();
    if (!control) return;
    params.showRiser = false;
    showStringers = false;
    RenderLockScope lock(control);
    const int count = outline.GetPrimaryCount();
    const Vector& d = params.direction;
    const Vector perp(-d.z, 0.0, d.x);
    const double wallHeight = control->wallState.GetDouble(5) > 0.0 ? control->wallState.GetDouble(5)
                                                                     : 108.0;
    const double h = params.stepHeight;
    const double t = params.stepThickness;
    Wall* previous = nullptr;
    for (int i = 0; i < count; ++i) {
        const Vector ci = outline.GetPrimaryPoints()[i].position;
        const Vector cj = outline.GetPrimaryPoints()[(i + 1) % count].position;
        auto* wall = new Wall(ci);
        control->scene.Append(wall);
        Outline& wallOutline = wall->GetOutline();
        wallOutline.GetPrimaryPoints()[1].position = cj;
        wallOutline.GetPrimaryPoints()[2].position = Vector(cj.x, cj.y + wallHeight, cj.z);
        wallOutline.Refresh();
        wallOutline.normalFixed = false;
        wallOutline.ComputeNormal();
        auto drop = [&] {
            wall->RemoveFromList(control->scene);
            control->deletedObjects.Append(wall);
            wall = nullptr;
            previous = nullptr;
        };
        if (wall->FindCrossingWall(true) != 0) {
            drop();
            continue;
        }
        const Vector e = Sub(cj, ci);
        OutlinePoint* w = wallOutline.GetPrimaryPoints();
        const double base = w[0].position.y;
        if (std::fabs(e.Dot(d)) < 0.0001) {
            const double k = Sub(w[0].position, start).Dot(d);
            if (std::fabs(k) < 0.0001) {
                drop();
                continue;
            }
            const double top = h > 0.0 ? std::floor((k * slope - h) / h) * h : 0.0;
            w[2].position.y = w[3].position.y = std::max(base + top, base + 1.0);
        } else {
            // The top follows the steps along the run.
            const double along0 = w[0].position.Dot(d);
            const double along1 = w[1].position.Dot(d);
            const bool forward = along0 < along1;
            bool firstStep = true;
            auto crossing = [&](const Vector& corner, double y) {
                Vector p;
                if (!CrossSide(ci, cj, corner, perp, false, p)) p = corner;
                p.y = std::max(y, base + 1.0);
                return p;
            };
            auto insert = [&](const Vector& p) {
                const int at = forward ? 3 : wallOutline.GetPrimaryCount() - 1;
                wallOutline.InsertPoint(p, at, false);
            };
            for (LinkedListObject* node = steps.GetHead(); node && node->GetNext();
                 node = node->GetNext()) {
                auto* current = static_cast<Step*>(node);
                auto* next = static_cast<Step*>(node->GetNext());
                if (!current->HasTread() || !next->HasTread()) continue;
                const Vector corner = current->GetTreadOutline().GetPrimaryPoints()[0].position;
                const Vector nextCorner = next->GetTreadOutline().GetPrimaryPoints()[0].position;
                const double along = corner.Dot(d);
                if ((along0 < along) == (along1 < along)) continue;
                const double top = corner.y + h - t / 2.0;
                const Vector x1 = crossing(corner, top);
                const Vector x2 = crossing(nextCorner, top);
                if (firstStep) {
                    firstStep = false;
                    const double lower = top - (h + t / 2.0);
                    const Vector l1 = crossing(AddScaled(corner, d, -params.stepDepth), lower);
                    const Vector l2 = crossing(AddScaled(nextCorner, d, -params.stepDepth), lower);
                    Vector endPoint = AddScaled(l2, d, -params.stepDepth);
                    endPoint.y = std::max(lower - (h + t / 2.0), base + 1.0);
                    OutlinePoint* nodes = wallOutline.GetPrimaryPoints();
                    const int last = wallOutline.GetPrimaryCount() - 1;
                    const int baseIndex = forward ? 0 : 1;
                    const int topIndex = forward ? last : 2;
                    nodes[baseIndex].position.x = endPoint.x;
                    nodes[baseIndex].position.z = endPoint.z;
                    nodes[topIndex].position = endPoint;
                    insert(l2);
                    insert(l1);
                }
                insert(x2);
                insert(x1);
            }
            OutlinePoint* nodes = wallOutline.GetPrimaryPoints();
            const int n = wallOutline.GetPrimaryCount();
            if (n > 4) {
                nodes[2].position.y = nodes[3].position.y;
                nodes[n - 1].position.y = nodes[n - 2].position.y;
                wallOutline.DeletePoint(&wallOutline.GetPrimaryPoints()[3]);
                if (wallOutline.GetPrimaryCount() > 4)
                    wallOutline.DeletePoint(
                        &wallOutline.GetPrimaryPoints()[wallOutline.GetPrimaryCount() - 2]);
            }
        }
        wallOutline.Refresh();
        wall->AllocateOutlineArrays();
        if (previous) wall->LinkWith(previous, 1, 2);
        wall->RecomputeBounds();
        wall->BeginTransaction(true);
        wall->EndUndoStep();
        previous = wall;
    }
    MarkDirty();
}
