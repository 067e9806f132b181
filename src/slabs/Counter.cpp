#include "slabs/Counter.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include "control/BaseControl.h"
#include "control/dialogs/SlabCoveringPropertyDialog.h"
#include "foundation/Trace.h"
#include "geometry/Matrix.h"
#include "geometry/ViewProjection.h"
#include "interaction/BaseEditor.h"
#include "interaction/MouseHandler.h"
#include "platform/Menu.h"
#include "render/Window.h"

namespace {

constexpr int kCounterMode = 10;
constexpr double kHalfSqrtTwo = 0.7071;
constexpr double kPi = 3.14159265358979323846;

Vector Offset(const Vector& p, const Vector& e, double k) {
    return Vector(p.x + e.x * k, p.y + e.y * k, p.z + e.z * k);
}

Vector Raised(const Vector& p, double h) {
    return Vector(p.x, p.y + h, p.z);
}

// Rotates a plan direction about the vertical axis.
Vector TurnAboutY(const Vector& v, double angle) {
    const double c = std::cos(angle), s = std::sin(angle);
    return Vector(v.x * c + v.z * s, 0.0, -v.x * s + v.z * c);
}

void SetCaption(char (&field)[64], const char* text) {
    std::snprintf(field, sizeof field, "%s", text ? text : "");
}

}  // namespace

// ---- Construction -------------------------------------------------------------------

void Counter::InitialiseCounter(const char* rounded, const char* backsplash) {
    slabKind = kSlabKind;
    state = &counterState;
    BaseControl* control = theControl();
    savedState = control ? &control->counterState : nullptr;
    spare = -1;
    SetCaption(roundedCaption, rounded);
    SetCaption(backsplashCaption, backsplash);
    roundedBuild = false;
}

Counter::Counter() {
    InitialiseCounter("Rounded Edge", "Show Backsplash");
}

Counter::Counter(const Vector& point) : Floor(point, false) {
    InitialiseCounter("Round Edge", "Backsplash");
    thickness = kDrawnThickness;
    RecomputeBounds();
    for (Material& material : surfaceMaterials) {
        material.SetBumpMapURL(nullptr);
        material.SetColor(1.0, 1.0, 1.0, 1.0);
    }
    if (BaseControl* control = theControl()) CopyStateFrom(control->counterState);
    if (outline.GetPrimaryCount() > 0)
        Floor::MoveSlabBy(0.0, point.y - outline.GetPrimaryPoints()[0].position.y - thickness / 2.0,
                          0.0, true);
    roundedBuild = false;
    menuLabel = "Set Counter Dimensions...";
}

Counter::~Counter() = default;

Floor* Counter::NewOfSameKind() const {
    // A copy is a counter with this one's backsplash height and defaults.
    auto* copy = new Counter;
    copy->counterState.CopyFrom(counterState);
    return copy;
}

int Counter::ProfileSegments(double t) {
    if (!std::isfinite(t)) return 1;
    return std::max(1,
                    static_cast<int>(std::floor(std::min(t + 3.0, double(kMaxProfileSegments)))));
}

double Counter::GetLowerFace() const {
    if (outline.GetPrimaryCount() == 0) return 0.0;
    return outline.GetPrimaryPoints()[0].position.y - thickness / 2.0;
}

// ---- State --------------------------------------------------------------------------

void Counter::StoreSurfacesToState() {
    BaseSlab::StoreSurfacesToState();
    counterState.SetDouble(4, GetLowerFace());
}

void Counter::ApplyState() {
    const double lower = counterState.GetDouble(4);
    if (outline.GetPrimaryCount() > 0 && std::isfinite(lower))
        MoveSlabBy(0.0, lower - GetLowerFace(), 0.0, true);
    BaseSlab::ApplyState();
    RecomputeBounds();
}

// ---- Menu and dialog ----------------------------------------------------------------

int Counter::NearestEdge(const Vector& p) const {
    const int n = outline.GetPrimaryCount();
    if (n < 2) return -1;
    const OutlinePoint* nodes = outline.GetPrimaryPoints();
    auto distance = [&](int a, int b) {
        const Vector& s = nodes[a].position;
        const Vector& e = nodes[b].position;
        const double dx = e.x - s.x, dz = e.z - s.z;
        const double length2 = dx * dx + dz * dz;
        const double px = p.x - s.x, pz = p.z - s.z;
        // Coincident corners: the distance to the corner itself.
        if (length2 <= 0.0) return std::sqrt(px * px + pz * pz);
        const double k = (px * dx + pz * dz) / length2;
        const double fx = px - k * dx, fz = pz - k * dz;
        return std::sqrt(fx * fx + fz * fz);
    };
    int best = n - 1;
    double bestDistance = distance(n - 1, 0);
    for (int i = 0; i + 1 < n; ++i) {
        const double d = distance(i, i + 1);
        if (d < bestDistance) {
            bestDistance = d;
            best = i;
        }
    }
    return std::isfinite(bestDistance) ? best : -1;
}

void Counter::BuildPropertyMenu(platform::Menu& menu) {
    BaseSlab::BuildPropertyMenu(menu);
    AppendMenuItems(menu);
    menuEdge = -1;
    BaseControl* control = theControl();
    Window* window = control ? control->mainWindow : nullptr;
    PickableObject* second = window ? window->GetPickedObject(1) : nullptr;
    if (window && !(second && second->HasType(TypeBit::kOutlineEdge))) {
        const MouseInput& in = MouseHandler::Input();
        ViewProjection view;
        for (int i = 0; i < 4; ++i) view.viewport[i] = window->viewportCache[i];
        view.modelView = Matrix(window->modelViewCache.get());
        view.projection = Matrix(window->projectionCache.get());
        const Vector p = outline.ScreenToPlane(view, in.current.x, in.current.y);
        if (p.x != Outline::kNoIntersection && std::isfinite(p.x) && std::isfinite(p.z))
            menuEdge = NearestEdge(p);
        if (menuEdge >= 0) {
            OutlineEdge* edge = outline.GetPrimaryPoints()[menuEdge].edge;
            edge->labels[kBacksplashFlag] = backsplashCaption;
            edge->labels[kRoundedFlag] = roundedCaption;
            edge->BuildPropertyMenu(menu);
        }
    }
    menu.AppendSeparator();
    if (control && control->currentStateObject == static_cast<StateObject*>(this)) {
        SizeableObject::BuildPropertyMenu(menu);
        menu.AppendSeparator();
    }
}

bool Counter::ProcessPropertyMenu(uint32_t id) {
    if (menuEdge >= 0 && menuEdge < outline.GetPrimaryCount())
        outline.GetPrimaryPoints()[menuEdge].edge->ProcessPropertyMenu(id);
    // The floor's level commands do not apply to counters.
    if (id == kSetAsGroundFloor || id == kEditOnThisLevel || id == kMoveVertically) return false;
    const bool handled = BaseSlab::ProcessPropertyMenu(id);
    if (id >= OutlineEdge::kFirstCommand &&
        id < OutlineEdge::kFirstCommand + OutlineEdge::kFlagCount)
        MarkDirty();
    return handled;
}

void Counter::ShowPropertyDialog() {
    CounterPropertyDialog dialog(this);
    dialog.Show();
}

void Counter::InitDialog(Dialog* dialog) {
    BaseSlab::InitDialog(dialog);
    auto* counterDialog = dynamic_cast<CounterPropertyDialog*>(dialog);
    if (!counterDialog) return;
    counterDialog->SetTitle("Kivora Counter Properties");
    const char* word = nullptr;
    switch (PickedSurface()) {
        case kInsideSurface:
            word = "Inside";
            break;
        case kOutsideSurface:
            word = "Outside";
            break;
        case kEdgeSurface:
            word = "Edge";
            break;
        default:
            break;
    }
    if (word) {
        counterDialog->SetItemText(299, std::string("Counter Properties - ") + word);
        counterDialog->SetItemText(333, std::string("Counter Material - ") + word);
        counterDialog->SetItemText(334, std::string("Counter Label - ") + word);
    }
    counterDialog->SetHeight(GetTop());
    counterDialog->SetHeightLabel("Height Above Ground");
    counterDialog->SetBacksplashHeight(counterState.GetDouble(9));
    counterDialog->SetBacksplashLabel("Backsplash Height");
}

int Counter::OnDialogNotify(Dialog* dialog, int code) {
    auto* counterDialog = dynamic_cast<CounterPropertyDialog*>(dialog);
    if (!counterDialog || code != 1) return BaseSlab::OnDialogNotify(dialog, code);
    BaseSlab::OnDialogNotify(dialog, 1);
    if (std::isfinite(counterDialog->height))
        MoveSlabBy(0.0, counterDialog->height - GetTop(), 0.0, true);
    // The state refuses heights of zero or less.
    counterState.SetDouble(9, counterDialog->backsplashHeight);
    RecomputeBounds();
    return 0;
}

void Counter::WriteObjectInformation(std::string& buffer) {
    buffer += "<counter ";
    WriteSlabXml(buffer);
    buffer += "</counter>";
}

// ---- Drawing ------------------------------------------------------------------------

bool Counter::IsShownInCurrentView() {
    BaseControl* control = theControl();
    Window* main = control ? control->mainWindow : nullptr;
    if (IsSelected() && main && main->GetCurrentModeNumber() == kCounterMode) {
        auto* editor = dynamic_cast<BaseEditor*>(main->GetCurrentMode());
        if (editor && editor->IsEditLocked()) {
            shownInView = 1;
            return true;
        }
    }
    return Floor::IsShownInCurrentView();
}

void Counter::CullAgainstSlab(bool) {}

Vector Counter::GetTextureCoordinate(const Vector& point, const OutlineEdge* edge) {
    if (!roundedBuild || currentSurface != &edgeSurface || outline.GetPrimaryCount() == 0)
        return BaseSlab::GetTextureCoordinate(point, edge);
    const Vector& first = outline.GetPrimaryPoints()[0].position;
    Vector v(point.x - first.x, 0.0, point.z - first.z);
    const double length = v.Length();
    const double depth = (first.y + thickness / 2.0) - point.y;
    Vector moved = point;
    if (length > 0.0 && std::isfinite(depth)) {
        v.Scale((depth * kHalfSqrtTwo + length) / length);
        moved.Set(first.x + v.x, first.y, first.z + v.z, 1.0);
    }
    return BaseSlab::GetTextureCoordinate(moved, edge);
}

const Vector& Counter::Lower(int i) const {
    return outline.normal.y > 0.0 ? facePointsB[i] : facePointsA[i];
}

const Vector& Counter::Upper(int i) const {
    return outline.normal.y > 0.0 ? facePointsA[i] : facePointsB[i];
}

bool Counter::EdgeDirection(int i, Vector& d) const {
    const int n = outline.GetPrimaryCount();
    const OutlinePoint* nodes = outline.GetPrimaryPoints();
    const Vector& a = nodes[i].position;
    const Vector& b = nodes[(i + 1) % n].position;
    d = Vector(b.x - a.x, 0.0, b.z - a.z);
    const double length = d.Length();
    if (!(length > 1e-9) || !std::isfinite(length)) return false;
    d.Scale(1.0 / length);
    if (outline.normal.y > 0.0) d.Negate();
    return true;
}

bool Counter::EdgeFlag(int i, int flag) const {
    return outline.GetPrimaryPoints()[i].edge->booleanParameter[flag];
}

bool Counter::BacksplashBox(int i, Vector (&c)[8]) const {
    const int n = std::min(facePointCount, outline.GetPrimaryCount());
    if (i < 0 || i >= n || !facePointsA || !facePointsB) return false;
    if (!EdgeFlag(i, kBacksplashFlag) || EdgeFlag(i, kRoundedFlag)) return false;
    Vector d;
    if (!EdgeDirection(i, d)) return false;
    const int j = (i + 1) % n;
    const double t = thickness;
    const double h = counterState.GetDouble(9) + t;
    const Vector e(d.z, 0.0, -d.x);
    Vector atI = Lower(i);
    Vector atJ = Lower(j);
    // The next backsplash covers the corner: this box reaches into it.
    if (EdgeFlag(j, kBacksplashFlag) && !EdgeFlag(j, kRoundedFlag)) atJ = Offset(atJ, d, -t / 2.0);
    c[0] = atI;
    c[1] = atJ;
    c[2] = Offset(atJ, e, t / 2.0);
    c[3] = Offset(atI, e, t / 2.0);
    for (int k = 0; k < 4; ++k) c[4 + k] = Raised(c[k], h);
    return true;
}

void Counter::DrawFace(const Vector* points, int count, const Vector& normal, Part* surface) {
    Part* kept = currentSurface;
    currentSurface = surface;
    glNormal3d(normal.x, normal.y, normal.z);
    glBegin(GL_POLYGON);
    for (int k = 0; k < count; ++k) {
        const Vector st = GetTextureCoordinate(points[k], currentEdge);
        glTexCoord2d(st.x, st.y);
        glVertex3d(points[k].x, points[k].y, points[k].z);
    }
    glEnd();
    currentSurface = kept;
}

void Counter::BuildEdge(int i, int m) {
    const int n = std::min(facePointCount, outline.GetPrimaryCount());
    const int j = (i + 1) % n;
    const double t = thickness;
    Vector d;
    const bool hasDirection = EdgeDirection(i, d);
    // Without a thickness there is no bullnose to draw: the edge stays flat.
    const bool rounded = EdgeFlag(i, kRoundedFlag) && t > 0.0;
    Vector box[8];
    if (!hasDirection || (!rounded && !BacksplashBox(i, box))) {
        // A plain edge, or one whose corners coincide in plan: the flat quad.
        const Vector quad[4] = {facePointsA[i], facePointsB[i], facePointsB[j], facePointsA[j]};
        Vector normal;
        normal.PlaneNormalFromPoints(quad);
        if (!std::isfinite(normal.x)) normal = Vector(0, 0, 0);
        DrawFace(quad, 4, normal, &edgeSurface);
        return;
    }
    const Vector e(d.z, 0.0, -d.x);
    if (!rounded) {
        const Vector bottom[4] = {box[0], box[1], box[2], box[3]};
        const Vector top[4] = {box[7], box[6], box[5], box[4]};
        DrawFace(bottom, 4, Vector(0, -1, 0), &outsideSurface);
        DrawFace(top, 4, Vector(0, 1, 0), &insideSurface);
        const Vector outer[4] = {box[3], box[2], box[6], box[7]};
        const Vector inner[4] = {box[1], box[0], box[4], box[5]};
        const Vector endJ[4] = {box[2], box[1], box[5], box[6]};
        const Vector endI[4] = {box[0], box[3], box[7], box[4]};
        DrawFace(outer, 4, e, &edgeSurface);
        DrawFace(inner, 4, Vector(-e.x, 0, -e.z), &edgeSurface);
        DrawFace(endJ, 4, Vector(-d.x, 0, -d.z), &edgeSurface);
        DrawFace(endI, 4, d, &edgeSurface);
        return;
    }
    // A bullnose: a parabola from the top's edge line out by t/2 and down by t.
    roundedBuild = true;
    std::vector<double> px(static_cast<size_t>(m) + 1), py(static_cast<size_t>(m) + 1);
    for (int k = 0; k <= m; ++k) {
        px[k] = k * (t / 2.0) / m;
        py[k] = -4.0 * px[k] * px[k] / t;
    }
    const double slope = 4.0 / m;
    auto profileNormal = [&](int k, const Vector& across) {
        Vector normal(k * slope * across.x, 1.0, k * slope * across.z);
        normal.Normalize();
        return normal;
    };
    auto place = [&](const Vector& corner, const Vector& across, int k) {
        return Raised(Offset(corner, across, px[k]), py[k]);
    };
    const Vector under[4] = {Lower(i), Offset(Lower(i), e, t / 2.0), Offset(Lower(j), e, t / 2.0),
                             Lower(j)};
    DrawFace(under, 4, Vector(0, -1, 0), &outsideSurface);
    Part* kept = currentSurface;
    currentSurface = &insideSurface;
    for (int k = 1; k <= m; ++k) {
        glBegin(GL_QUADS);
        for (const auto& [corner, step] : {std::pair{Upper(i), k - 1}, std::pair{Upper(j), k - 1},
                                           std::pair{Upper(j), k}, std::pair{Upper(i), k}}) {
            const Vector normal = profileNormal(step, e);
            const Vector p = place(corner, e, step);
            const Vector st = GetTextureCoordinate(p, currentEdge);
            glNormal3d(normal.x, normal.y, normal.z);
            glTexCoord2d(st.x, st.y);
            glVertex3d(p.x, p.y, p.z);
        }
        glEnd();
    }
    currentSurface = kept;
    // End caps: the profile closed through the lower corner.
    const double flip = outline.normal.y < 0.0 ? -1.0 : 1.0;
    for (int end = 0; end < 2; ++end) {
        const Vector& upper = end == 0 ? Upper(i) : Upper(j);
        const Vector& lower = end == 0 ? Lower(i) : Lower(j);
        std::vector<Vector> cap;
        cap.reserve(static_cast<size_t>(m) + 2);
        for (int k = 0; k <= m; ++k) cap.push_back(place(upper, e, k));
        cap.push_back(lower);
        const double sign = (end == 0 ? 1.0 : -1.0) * flip;
        DrawFace(cap.data(), static_cast<int>(cap.size()), Vector(d.x * sign, 0, d.z * sign),
                 &edgeSurface);
    }
    // A rounded next edge: the profile swept around corner j.
    Vector next;
    if (EdgeFlag(j, kRoundedFlag) && EdgeDirection(j, next)) {
        const Vector e2(next.z, 0.0, -next.x);
        const double turn = std::acos(std::clamp(e.Dot(e2), -1.0, 1.0));
        // The sweep turns from e toward e2.
        const double sign =
            TurnAboutY(e, turn).Dot(e2) >= TurnAboutY(e, -turn).Dot(e2) ? 1.0 : -1.0;
        const double step = sign * turn / m;
        if (turn > 1e-9 && std::fabs(turn - kPi) > 1e-9) {
            Part* keptSurface = currentSurface;
            currentSurface = &insideSurface;
            for (int s = 0; s < m; ++s) {
                const Vector a = TurnAboutY(e, step * s);
                const Vector b = TurnAboutY(e, step * (s + 1));
                for (int k = 1; k <= m; ++k) {
                    glBegin(GL_QUADS);
                    for (const auto& [across, at] : {std::pair{a, k - 1}, std::pair{b, k - 1},
                                                     std::pair{b, k}, std::pair{a, k}}) {
                        const Vector normal = profileNormal(at, across);
                        const Vector p = place(Upper(j), across, at);
                        const Vector st = GetTextureCoordinate(p, currentEdge);
                        glNormal3d(normal.x, normal.y, normal.z);
                        glTexCoord2d(st.x, st.y);
                        glVertex3d(p.x, p.y, p.z);
                    }
                    glEnd();
                }
                // The underside of the swept piece.
                const Vector floor[3] = {Lower(j), Offset(Lower(j), b, t / 2.0),
                                         Offset(Lower(j), a, t / 2.0)};
                DrawFace(floor, 3, Vector(0, -1, 0), &outsideSurface);
            }
            currentSurface = keptSurface;
        }
    }
    roundedBuild = false;
}

void Counter::RenderEdgeSurface() {
    if (!facePointsA || !facePointsB) return;
    const int n = std::min(facePointCount, outline.GetPrimaryCount());
    OutlinePoint* nodes = outline.GetPrimaryPoints();
    for (int i = 0; i < n; ++i) {
        nodes[i].edge->labels[kBacksplashFlag] = backsplashCaption;
        nodes[i].edge->labels[kRoundedFlag] = roundedCaption;
    }
    if (rebuildPending && n >= 3) {
        const int m = ProfileSegments(thickness);
        if (edgeSurface.faceList == Part::kNoList) edgeSurface.faceList = glGenLists(1);
        if (edgeSurface.edgeList == Part::kNoList) edgeSurface.edgeList = glGenLists(1);
        Part* kept = currentSurface;
        currentSurface = &edgeSurface;
        glNewList(edgeSurface.faceList, GL_COMPILE);
        glPopName();
        for (int i = 0; i < n; ++i) {
            currentEdge = nodes[i].edge;
            glPushName(nodes[i].edge->GetPickName());
            glPushName(edgeSurface.GetPickName());
            BuildEdge(i, m);
            glPopName();
            glPopName();
        }
        glPushName(edgeSurface.GetPickName());
        glEndList();
        glNewList(edgeSurface.edgeList, GL_COMPILE);
        glBegin(GL_LINES);
        for (int i = 0; i < n; ++i) {
            Vector box[8];
            if (BacksplashBox(i, box)) {
                static constexpr int kBoxLines[12][2] = {{0, 1}, {1, 2}, {2, 3}, {3, 0},
                                                         {4, 5}, {5, 6}, {6, 7}, {7, 4},
                                                         {0, 4}, {1, 5}, {2, 6}, {3, 7}};
                for (const auto& line : kBoxLines)
                    for (int end : line) glVertex3d(box[end].x, box[end].y, box[end].z);
            }
            glVertex3d(facePointsA[i].x, facePointsA[i].y, facePointsA[i].z);
            glVertex3d(facePointsB[i].x, facePointsB[i].y, facePointsB[i].z);
        }
        glEnd();
        glEndList();
        currentEdge = nullptr;
        currentSurface = kept;
    }
    roundedBuild = false;
    edgeSurface.Render(false);
}
