#include "interaction/Grid.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "control/BaseControl.h"
#include "control/RenderLockScope.h"
#include "foundation/KeyDataList.h"
#include "foundation/Trace.h"
#include "geometry/BoundingBox.h"
#include "geometry/Outline.h"
#include "geometry/ViewProjection.h"
#include "platform/Menu.h"
#include "render/Window.h"

namespace {

constexpr double kDegreesToRadians = 0.017453292519943295;
constexpr double kQuarterTurn = 45.0;
constexpr double kMinLineStep = 5.0;
constexpr double kMinHandleSize = 5.0;
// "º": the character that the menu shows after the angle.
constexpr const char* kDegreeMark = "\xC2\xBA";

// The view as the outline's screen conversions take it, from the window's caches.
ViewProjection ProjectionOf(const Window& window) {
    ViewProjection view;
    for (int i = 0; i < 4; ++i) view.viewport[i] = window.viewportCache[i];
    view.modelView = Matrix(window.modelViewCache.get());
    view.projection = Matrix(window.projectionCache.get());
    return view;
}

bool IsFinite(const Vector& v) {
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

}  // namespace

Grid::Grid(GridOwner* ownerSlab) : owner(ownerSlab) {}

Grid::~Grid() {
    if (displayList >= 0) glDeleteLists(static_cast<GLuint>(displayList), 1);
}

int Grid::GetKindCode() const {
    return owner ? owner->GetGridKindCode() : KindCode::kNone;
}

// ---- Lattice -----------------------------------------------------------------------

double Grid::MinSpacing() {
    const BaseControl* control = theControl();
    return control && control->globalState.GetBoolean(7) ? kMinSizeMetric : kMinSizeInches;
}

double Grid::GetSpacing() const {
    const double floor = MinSpacing();
    return std::isfinite(size) && size > floor ? size : floor;
}

int Grid::GetLineStep() const {
    const double spacing = GetSpacing();
    const double step =
        spacing >= kMinLineStep ? spacing : std::ceil(kMinLineStep / spacing) * spacing;
    return static_cast<int>(step);
}

void Grid::PlaneTurn(Vector& axis, double& tilt) const {
    Vector normal(0.0, 0.0, -1.0);
    if (owner) normal = owner->GetGridOutline().normal;
    normal.Normalize();
    // The turn about z x N that carries the normal onto -z.
    axis = Vector(-normal.y, normal.x, 0.0);
    if (axis.Length() < 1e-12) {
        // The plane is the x-y plane already; seen from behind it is turned over.
        axis = Vector(1.0, 0.0, 0.0);
    } else {
        axis.Normalize();
    }
    tilt = std::acos(std::clamp(-normal.z, -1.0, 1.0));
}

Vector Grid::ToGrid(Vector point) const {
    Vector axis;
    double tilt = 0.0;
    PlaneTurn(axis, tilt);
    point.Subtract(position);
    if (tilt != 0.0) point.RotateAboutAxis(-tilt, axis);
    if (angle != 0.0) point.RotateAboutAxisIndex(angle * kDegreesToRadians, 2);
    return point;
}

Vector Grid::ToScene(Vector point) const {
    Vector axis;
    double tilt = 0.0;
    PlaneTurn(axis, tilt);
    if (angle != 0.0) point.RotateAboutAxisIndex(-angle * kDegreesToRadians, 2);
    if (tilt != 0.0) point.RotateAboutAxis(tilt, axis);
    point.Add(position);
    return point;
}

void Grid::SnapToGrid(Vector& point) const {
    if (!IsFinite(point)) return;
    const double spacing = GetSpacing();
    Vector local = ToGrid(point);
    local.x = std::floor((local.x + spacing / 2.0) / spacing) * spacing;
    local.y = std::floor((local.y + spacing / 2.0) / spacing) * spacing;
    const double w = point.w;
    point = ToScene(local);
    point.w = w;
}

// ---- Origin ------------------------------------------------------------------------

void Grid::DragGridOrigin(int x1, int y1, int x2, int y2) {
    BaseControl* control = theControl();
    Window* window = control ? control->activeWindow : nullptr;
    if (!PRECONDITION(owner != nullptr && window != nullptr, "Grid drag without a slab or view"))
        return;
    const Outline& outline = owner->GetGridOutline();
    const ViewProjection view = ProjectionOf(*window);
    const Vector p1 = outline.ScreenToPlane(view, x1, y1);
    const Vector p2 = outline.ScreenToPlane(view, x2, y2);
    // A ray that misses the plane moves nothing.
    const auto missed = [](const Vector& p) {
        return !IsFinite(p) || (p.x == Outline::kNoIntersection && p.y == Outline::kNoIntersection &&
                                p.z == Outline::kNoIntersection);
    };
    if (missed(p1) || missed(p2)) return;
    Vector d = p1;
    d.Subtract(p2);
    position.Add(d);

    const BoundingBox& box = owner->GetGridBounds();
    const Vector centre = box.min.Midpoint(box.max);
    if (position.Distance(centre) >= box.min.Distance(box.max) / 2.0)
        position.Subtract(d);
    else if (position.y < 0.0)
        position.y = 0.0;
    position.w = 1.0;
    rebuild = 1;
}

// ---- Menu --------------------------------------------------------------------------

void Grid::BuildPropertyMenu(platform::Menu& menu) {
    char text[64];
    std::snprintf(text, sizeof text, "Rotate Grid By 45%s", kDegreeMark);
    menu.AppendItem(kRotateCommand, text);
    std::snprintf(text, sizeof text, "Change Grid Size To %i inches", static_cast<int>(size) + 1);
    menu.AppendItem(kCoarserCommand, text);
    std::snprintf(text, sizeof text, "Change Grid Size To %i inches", static_cast<int>(size) - 1);
    menu.AppendItem(kFinerCommand, text);
}

bool Grid::ProcessPropertyMenu(uint32_t id) {
    if (SelectableObject::ProcessPropertyMenu(id)) return true;
    switch (id) {
        case kRotateCommand:
            angle += kQuarterTurn;
            while (angle > kQuarterTurn) angle -= 2.0 * kQuarterTurn;
            break;
        case kCoarserCommand:
            size = GetSpacing() + 1.0;
            break;
        case kFinerCommand:
            // Never finer than the finest spacing, which snapping divides by.
            size = std::max(GetSpacing() - 1.0, MinSpacing());
            break;
        default:
            return false;
    }
    rebuild = 1;
    return true;
}

// ---- Key data ----------------------------------------------------------------------

void Grid::Write(KeyDataList& list, const char* name) const {
    KeyDataList* keys = list.AddSublist(name ? name : "Grid");
    if (!keys) return;
    keys->AddDouble("gridSize", size);
    keys->AddDouble("Locked", locked ? 1.0 : 0.0);
    position.WriteChild(*keys, "position");
    keys->AddDouble("angle", angle);
}

void Grid::Read(const KeyDataList& keys) {
    Vector place = position;
    place.ReadChild(keys, "position");
    if (IsFinite(place)) {
        position = place;
        position.w = 1.0;
    }
    double value = 0.0;
    if (keys.GetDouble("Locked", value)) SetLocked(value != 0.0);
    if (keys.GetDouble("angle", value)) {
        if (std::isfinite(value))
            angle = value;
        else
            TraceWrite("Grid angle that is not a number ignored");
    }
    if (keys.GetDouble("gridSize", value)) {
        if (std::isfinite(value) && value > 0.0)
            size = value;
        else
            TraceWrite("Grid size that is not a positive number ignored");
    }
    rebuild = 1;
}

// ---- Drawing -----------------------------------------------------------------------

void Grid::DrawLines() const {
    const BoundingBox& box = owner->GetGridBounds();
    const Vector centre = ToGrid(box.min.Midpoint(box.max));
    const double r = box.min.Distance(box.max) / 2.0;
    const double s = GetLineStep();
    // The slab's plane in grid coordinates.
    const double z = centre.z;
    if (!(r > 0.0) || !(s > 0.0) || !std::isfinite(r)) return;

    // The lattice lines that cross the circle, each cut to its chord.
    auto chord = [r](double offset) {
        const double squared = r * r - offset * offset;
        return squared > 0.0 ? std::sqrt(squared) : 0.0;
    };
    glBegin(GL_LINES);
    for (double x = std::ceil((centre.x - r) / s) * s; x < centre.x + r; x += s) {
        const double h = chord(x - centre.x);
        glVertex3d(x, centre.y - h, z);
        glVertex3d(x, centre.y + h, z);
    }
    for (double y = std::ceil((centre.y - r) / s) * s; y < centre.y + r; y += s) {
        const double h = chord(y - centre.y);
        glVertex3d(centre.x - h, y, z);
        glVertex3d(centre.x + h, y, z);
    }
    glEnd();
}

void Grid::Draw() {
    BaseControl* control = theControl();
    if (!owner || !shown || !control) return;
    if (control->globalState.GetBoolean(15) || control->globalState.GetBoolean(17)) return;
    Window* window = control->currentWindow;
    const bool picking = window && window->viewFlags.GetBoolean(3);

    if (!picking) {
        if (rebuild) {
            if (displayList < 0) displayList = static_cast<int32_t>(glGenLists(1));
            if (displayList > 0) {
                glNewList(static_cast<GLuint>(displayList), GL_COMPILE);
                glPushMatrix();
                glPushAttrib(GL_ENABLE_BIT | GL_CURRENT_BIT | GL_COLOR_BUFFER_BIT);
                double frame[16] = {};
                const Vector origin = ToScene(Vector(0.0, 0.0, 0.0));
                const Vector axes[3] = {Vector(1, 0, 0), Vector(0, 1, 0), Vector(0, 0, 1)};
                for (int c = 0; c < 3; ++c) {
                    Vector column = ToScene(axes[c]);
                    column.Subtract(origin);
                    frame[4 * c] = column.x;
                    frame[4 * c + 1] = column.y;
                    frame[4 * c + 2] = column.z;
                }
                frame[12] = origin.x;
                frame[13] = origin.y;
                frame[14] = origin.z;
                frame[15] = 1.0;
                glMultMatrixd(frame);
                glEnable(GL_BLEND);
                glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
                glDisable(GL_TEXTURE_2D);
                glDisable(GL_LIGHTING);
                const bool perspective = window && window->GetViewMode() == Window::kPerspectiveView;
                const float shade = perspective ? 0.0f : 1.0f;
                glColor4f(shade, shade, shade, 50.0f / 255.0f);
                DrawLines();
                glPopAttrib();
                glPopMatrix();
                glEndList();
            }
            rebuild = 0;
        } else if (displayList > 0) {
            glCallList(static_cast<GLuint>(displayList));
        }
    }

    glPushMatrix();
    glPushAttrib(GL_CURRENT_BIT);
    glTranslated(position.x, position.y, position.z);
    glColor4d(0.0, 1.0, 0.0, 0.5);
    glPushName(GetPickName());
    control->DrawSelectionSphere(
        static_cast<int>(std::max(kMinHandleSize, owner->GetGridHandleSize())));
    glPopName();
    glPopAttrib();
    glPopMatrix();
}
