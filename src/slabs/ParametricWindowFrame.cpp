#include "slabs/ParametricWindowFrame.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include "control/BaseControl.h"
#include "foundation/KeyDataList.h"
#include "foundation/Trace.h"
#include "platform/GLContext.h"
#include "platform/Menu.h"
#include "slabs/BaseSlab.h"
#include "slabs/SlabHole.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

Vector Between(const Vector& from, const Vector& to) {
    return Vector(to.x - from.x, to.y - from.y, to.z - from.z);
}

Vector Unit(Vector v) {
    v.Normalize();
    return v;
}

Vector Plus(const Vector& a, const Vector& b) {
    return Vector(a.x + b.x, a.y + b.y, a.z + b.z);
}

Vector Scaled(const Vector& v, double s) {
    return Vector(v.x * s, v.y * s, v.z * s);
}

void Vertex(const Vector& p) {
    glVertex3d(p.x, p.y, p.z);
}

}  // namespace

ParametricWindowFrame::ParametricWindowFrame(SlabHole* hole)
    : ParametricInSlabObject(hole, kWindowFrame) {
    framePart.material = &frameMaterial;
    crossbarPart.material = &crossbarMaterial;
    frameMaterial.SetColor(1.0, 1.0, 1.0, 1.0);
    crossbarMaterial.SetColor(1.0, 1.0, 1.0, 1.0);
    LoadCatalogueMaterial(frameMaterial, kMaterialPath);
    LoadCatalogueMaterial(crossbarMaterial, kMaterialPath);
}

ParametricWindowFrame::~ParametricWindowFrame() {
    FreeLists();
}

void ParametricWindowFrame::FreeLists() {
    if (!platform::GLContext::IsAnyCurrent()) return;
    for (GLuint* list : {&framePart.faceList, &crossbarPart.faceList}) {
        if (*list != Part::kNoList) glDeleteLists(*list, 1);
        *list = Part::kNoList;
    }
}

Vector ParametricWindowFrame::InnerCorner(int i) const {
    const Outline& outline = parentHole->GetOutline();
    const int m = outline.GetCount();
    const OutlinePoint* nodes = outline.GetPoints();
    const Vector n = parentHole->GetWorkingNormal();
    const Vector& p = nodes[i].position;
    const Vector e = Unit(Between(p, nodes[(i + 1) % m].position));
    const Vector f = Unit(Between(p, nodes[(i + m - 1) % m].position));
    Vector x = Unit(Plus(e, f));
    if (x.Length() == 0.0) {
        // A straight node: the border runs square to the edge, on the outline's inside.
        x.Cross(n, e);
        x.Normalize();
        if (!outline.ContainsPoint(Plus(p, Scaled(x, frameHeight * 0.5)))) x = Scaled(x, -1.0);
        return Plus(p, Scaled(x, frameHeight));
    }
    Vector turn;
    turn.Cross(f, e);
    if (turn.Dot(n) < 0.0) x = Scaled(x, -1.0);
    const double a = std::acos(std::clamp(e.Dot(x), -1.0, 1.0));
    const double s = std::sin(a);
    const double factor = s == 0.0 ? frameHeight : frameHeight / s;
    return Plus(p, Scaled(x, factor));
}

bool ParametricWindowFrame::DrawsBar(int bar) const {
    if (!parentHole || (!showHorizBar && !showVertBar)) return false;
    const Outline& outline = parentHole->GetOutline();
    if (outline.GetCount() != 4 || !outline.IsRectangle()) return false;
    const OutlinePoint* nodes = outline.GetPoints();
    auto mid = [&](int k) { return nodes[k].position.Midpoint(nodes[(k + 1) % 4].position); };
    const Vector t = Unit(Between(mid(bar), mid(bar + 2)));
    Vector u = parentHole->GetParent() ? parentHole->GetParent()->GetUVector() : Vector(1, 0, 0);
    u.Normalize();
    const double g = std::acos(std::clamp(t.Dot(u), -1.0, 1.0));
    const bool verticalBand = g <= kPi / 4.0 || g > 3.0 * kPi / 4.0;
    return verticalBand ? showVertBar : showHorizBar;
}

void ParametricWindowFrame::BuildFrame() {
    const Outline& outline = parentHole->GetOutline();
    const int m = outline.GetCount();
    if (m < 3) return;
    const OutlinePoint* nodes = outline.GetPoints();
    const Vector n = parentHole->GetWorkingNormal();
    const Vector d = Scaled(n, frameWidth * 0.5);
    const Vector back = Scaled(d, -1.0);
    Vector u = parentHole->GetParent() ? parentHole->GetParent()->GetUVector() : Vector(1, 0, 0);
    u.Normalize();
    Vector v;
    v.Cross(u, n);
    v.Normalize();
    std::vector<Vector> inner(m);
    for (int i = 0; i < m; ++i) inner[i] = InnerCorner(i);
    for (int i = 0; i < m; ++i) {
        const int j = (i + 1) % m;
        const Vector& pi = nodes[i].position;
        const Vector& pj = nodes[j].position;
        auto faceVertex = [&](const Vector& p, const Vector& shift, bool flip) {
            const Vector rel = Between(pi, p);
            glTexCoord2d(flip ? -v.Dot(rel) : v.Dot(rel), u.Dot(rel));
            Vertex(Plus(p, shift));
        };
        glBegin(GL_QUADS);
        glNormal3d(n.x, n.y, n.z);
        faceVertex(pi, d, false);
        faceVertex(pj, d, false);
        faceVertex(inner[j], d, false);
        faceVertex(inner[i], d, false);
        Vector side;
        side.Cross(Between(pi, pj), n);
        side.Normalize();
        glNormal3d(side.x, side.y, side.z);
        const double length = inner[i].Distance(inner[j]);
        glTexCoord2d(0.0, 0.0);
        Vertex(Plus(inner[i], d));
        glTexCoord2d(length, 0.0);
        Vertex(Plus(inner[j], d));
        glTexCoord2d(length, frameWidth);
        Vertex(Plus(inner[j], back));
        glTexCoord2d(0.0, frameWidth);
        Vertex(Plus(inner[i], back));
        glNormal3d(-n.x, -n.y, -n.z);
        faceVertex(inner[i], back, true);
        faceVertex(inner[j], back, true);
        faceVertex(pj, back, true);
        faceVertex(pi, back, true);
        glEnd();
    }
}

void ParametricWindowFrame::BuildCrossbars() {
    const Outline& outline = parentHole->GetOutline();
    if (outline.GetCount() != 4 || !outline.IsRectangle()) return;
    const OutlinePoint* nodes = outline.GetPoints();
    const Vector n = parentHole->GetWorkingNormal();
    auto mid = [&](int k) { return nodes[k].position.Midpoint(nodes[(k + 1) % 4].position); };
    for (int bar = 0; bar < 2; ++bar) {
        if (!DrawsBar(bar)) continue;
        const Vector start = mid(bar), end = mid(bar + 2);
        const Vector t = Unit(Between(start, end));
        const double length = start.Distance(end);
        Vector w = Scaled(n, crossbarWidth * 0.5);
        glBegin(GL_QUADS);
        for (int k = 0; k < 9; ++k) {
            Vector next = w;
            next.RotateAboutAxis(kPi / 4.0, t);
            const Vector normal = Unit(next);
            glNormal3d(normal.x, normal.y, normal.z);
            glTexCoord2d(0.0, k);
            Vertex(Plus(start, w));
            glTexCoord2d(length, k);
            Vertex(Plus(end, w));
            glTexCoord2d(length, k + 1);
            Vertex(Plus(end, next));
            glTexCoord2d(0.0, k + 1);
            Vertex(Plus(start, next));
            w = next;
        }
        glEnd();
    }
}

void ParametricWindowFrame::BuildDisplayLists() {
    if (!PRECONDITION(parentHole != nullptr, "Parent hole is null")) return;
    for (Part* part : {&framePart, &crossbarPart}) {
        if (part->faceList == Part::kNoList) part->faceList = glGenLists(1);
        if (part->faceList == 0) {
            part->faceList = Part::kNoList;
            return;
        }
    }
    glNewList(framePart.faceList, GL_COMPILE);
    BuildFrame();
    glEndList();
    glNewList(crossbarPart.faceList, GL_COMPILE);
    BuildCrossbars();
    glEndList();
    rebuild = 0;
}

void ParametricWindowFrame::Render() {
    if (hidden || !parentHole) return;
    if (rebuild || framePart.faceList == Part::kNoList) BuildDisplayLists();
    framePart.Render(false);
    crossbarPart.Render(false);
}

void ParametricWindowFrame::AppendMenuEntries(platform::Menu& menu) {
    if (!parentHole || !parentHole->GetOutline().IsRectangle()) return;
    platform::Menu& bars = menu.AppendSubmenu("Crossbars");
    bars.AppendItem(kVerticalBarCommand,
                    showVertBar ? "Hide Vertical Crossbar" : "Show Vertical Crossbar");
    bars.AppendItem(kHorizontalBarCommand,
                    showHorizBar ? "Hide Horizontal Crossbar" : "Show Horizontal Crossbar");
}

bool ParametricWindowFrame::ProcessPropertyMenu(uint32_t id) {
    if (id != kVerticalBarCommand && id != kHorizontalBarCommand) return false;
    BaseSlab* slab = parentHole ? parentHole->GetParent() : nullptr;
    BaseControl* control = theControl();
    if (slab) slab->BeginUndoStep();
    if (id == kVerticalBarCommand)
        showVertBar = !showVertBar;
    else
        showHorizBar = !showHorizBar;
    MarkDirty();
    if (control) control->BeginUndoGroup();
    if (slab) slab->EndUndoStep();
    if (control) control->EndUndoGroup();
    return true;
}

void ParametricWindowFrame::WriteKeysInto(KeyDataList& keys) {
    KeyDataList& own = *keys.AddSublist("ParametricWindow");
    own.AddDouble("crossbarWidth", crossbarWidth);
    own.AddDouble("frameHeight", frameHeight);
    own.AddDouble("frameWidth", frameWidth);
    own.AddDouble("showHorizBar", showHorizBar ? 1.0 : 0.0);
    own.AddDouble("showVertBar", showVertBar ? 1.0 : 0.0);
    crossbarPart.SaveMaterial(own, "crossbarPart");
    framePart.SaveMaterial(own, "framePart");
    WriteHidden(own);
}

bool ParametricWindowFrame::ReadKeyData(KeyDataList& keys) {
    KeyDataList* own = keys.GetSublist("ParametricWindow");
    if (!own || own->IsEmpty()) return false;
    auto readPositive = [&](const char* key, double& value) {
        double read = 0.0;
        if (ReadFiniteDouble(*own, key, read) && read > 0.0) value = read;
    };
    readPositive("crossbarWidth", crossbarWidth);
    readPositive("frameHeight", frameHeight);
    readPositive("frameWidth", frameWidth);
    double flag = 0.0;
    if (ReadFiniteDouble(*own, "showHorizBar", flag)) showHorizBar = flag != 0.0;
    if (ReadFiniteDouble(*own, "showVertBar", flag)) showVertBar = flag != 0.0;
    LoadPartMaterial(*own, "crossbarPart", crossbarMaterial);
    LoadPartMaterial(*own, "framePart", frameMaterial);
    ReadHidden(*own);
    MarkDirty();
    return true;
}

void ParametricWindowFrame::WriteXml(std::string& buffer, Material& reveal, double revealArea) {
    if (!parentHole) return;
    const Outline& outline = parentHole->GetOutline();
    char text[64];
    std::snprintf(text, sizeof text, "<customwindow area=\"%3.4f\">", outline.GetArea());
    buffer += text;
    WriteMaterialXml(buffer, frameMaterial, "frameMaterial",
                     outline.GetEdgeLengthSum() * (2.0 * frameHeight + frameWidth));
    WriteMaterialXml(buffer, reveal, "edgeMaterial", revealArea);
    buffer += "</customwindow>";
}
