#include "interaction/ChalkLine.h"
#include "interaction/TapeMeasure.h"

#include <GL/gl.h>

#include <cmath>

#include "control/BaseControl.h"
#include "control/LengthFormat.h"
#include "render/Window.h"

namespace {

bool SamePoint(const Vector& a, const Vector& b) {
    return a.x == b.x && a.y == b.y && a.z == b.z;
}

Vector Plus(const Vector& a, const Vector& b, double s) {
    return Vector(a.x + b.x * s, a.y + b.y * s, a.z + b.z * s);
}

}  // namespace

void TapeMeasure::SetStart(const Vector& point) {
    start = end = Vector(point.x, point.y, point.z);
}

void TapeMeasure::SetEnd(const Vector& point) {
    end = Vector(point.x, point.y, point.z);
    direction = end;
    direction.Subtract(start);
    direction.Normalize();
    side.Cross(direction, up);
    side.Normalize();
    side.w = 1.0;
}

void TapeMeasure::Reset() {
    window = nullptr;
    start = end = Vector(0.0, 0.0, 0.0);
    BaseControl* control = theControl();
    if (control && control->activeWindow) control->activeWindow->helpWindow.SetShown(false);
}

void TapeMeasure::DropChalkLine() {
    BaseControl* control = theControl();
    if (!control || !window || window != control->activeWindow || SamePoint(start, end)) return;
    control->extraList.Append(new ChalkLine(start, end, up));
}

int TapeMeasure::TickCount(double length) {
    if (!(length > 0.0) || !std::isfinite(length)) return 0;
    const double n = std::floor(length * 0.5);
    return n >= kMaxTicks ? kMaxTicks : static_cast<int>(n);
}

void TapeMeasure::Render() {
    BaseControl* control = theControl();
    if (!control || !window || window != control->currentWindow || SamePoint(start, end) ||
        control->globalState.GetBoolean(15))
        return;
    glPushAttrib(GL_ENABLE_BIT | GL_DEPTH_BUFFER_BIT | GL_POLYGON_BIT | GL_CURRENT_BIT);
    glDepthMask(GL_FALSE);
    glEnable(GL_POLYGON_OFFSET_FILL);
    if (control->globalState.GetBoolean(12))
        glPolygonOffset(-1.0f, 1.0f);
    else
        glPolygonOffset(static_cast<float>(control->globalState.GetDouble(6)),
                        static_cast<float>(control->globalState.GetDouble(7) - 2.0));
    glDisable(GL_CULL_FACE);
    glDisable(GL_LIGHTING);
    glDisable(GL_STENCIL_TEST);
    glDisable(GL_TEXTURE_2D);
    const Vector corners[4] = {Plus(start, side, -1.0), Plus(start, side, 1.0),
                               Plus(end, side, 1.0), Plus(end, side, -1.0)};
    glColor3ub(255, 255, 0);
    glBegin(GL_QUADS);
    for (const Vector& c : corners) glVertex3d(c.x, c.y, c.z);
    glEnd();
    const Vector lift(up.x * 0.025, up.y * 0.025, up.z * 0.025);
    glPushMatrix();
    glTranslated(lift.x, lift.y, lift.z);
    glColor3ub(0, 0, 0);
    glBegin(GL_LINE_LOOP);
    for (const Vector& c : corners) glVertex3d(c.x, c.y, c.z);
    glEnd();
    const double length = start.Distance(end);
    const int ticks = TickCount(length);
    glBegin(GL_LINES);
    for (int i = 1; i <= ticks; ++i) {
        const Vector a = Plus(corners[0], direction, 2.0 * i);
        const Vector b = Plus(start, direction, 2.0 * i);
        glVertex3d(a.x, a.y, a.z);
        glVertex3d(b.x, b.y, b.z);
    }
    glEnd();
    glPopMatrix();
    glPopAttrib();
    if (control->activeWindow) ShowLengthInStatusBar("", length, kNoSecondLength);
}
