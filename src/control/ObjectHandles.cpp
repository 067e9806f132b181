#include <GL/gl.h>
#include <GL/glu.h>

#include <cmath>

#include "control/BaseControl.h"
#include "foundation/Trace.h"
#include "foundation/ViewState.h"
#include "interaction/MouseHandler.h"
#include "model/SceneView.h"
#include "render/Window.h"

namespace {

constexpr double kSmallHandleFactor = 0.3333;

bool ViewBoolean(SceneView* view, int i) {
    return view && view->GetRenderState().GetBoolean(i);
}

void DrawUnitCube() {
    static const double s = 0.5;
    glBegin(GL_QUAD_STRIP);
    glVertex3d(-s, -s, -s);
    glVertex3d(-s, s, -s);
    glVertex3d(s, -s, -s);
    glVertex3d(s, s, -s);
    glVertex3d(s, -s, s);
    glVertex3d(s, s, s);
    glVertex3d(-s, -s, s);
    glVertex3d(-s, s, s);
    glVertex3d(-s, -s, -s);
    glVertex3d(-s, s, -s);
    glEnd();
    glBegin(GL_QUADS);
    glVertex3d(-s, s, -s);
    glVertex3d(-s, s, s);
    glVertex3d(s, s, s);
    glVertex3d(s, s, -s);
    glVertex3d(-s, -s, -s);
    glVertex3d(s, -s, -s);
    glVertex3d(s, -s, s);
    glVertex3d(-s, -s, s);
    glEnd();
}

}  // namespace

void BaseControl::DrawMarker(double size) {
    SceneView* current = GetCurrentView();
    const bool picking = ViewBoolean(current, 3);
    if (ViewBoolean(GetActiveView(), 10) || (ViewBoolean(current, 11) && !picking)) return;
    if (globalState.GetBoolean(18) && !picking) size *= kSmallHandleFactor;
    glPushAttrib(GL_ENABLE_BIT);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glDisable(GL_LIGHTING);
    glDisable(GL_TEXTURE_2D);
    glPushMatrix();
    glScaled(size, size, size);
    if (markerDisplayList >= 0)
        glCallList(static_cast<GLuint>(markerDisplayList));
    else
        DrawUnitCube();
    glPopMatrix();
    glPopAttrib();
}

void BaseControl::DrawSelectionSphere(double radius) {
    SceneView* current = GetCurrentView();
    const bool picking = ViewBoolean(current, 3);
    if (ViewBoolean(GetActiveView(), 10) || (ViewBoolean(current, 11) && !picking)) return;
    if (!quadric) return;
    if (globalState.GetBoolean(18)) radius *= kSmallHandleFactor;
    glPushAttrib(GL_ENABLE_BIT);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    gluSphere(quadric, radius, 10, 10);
    glPopAttrib();
}

void BaseControl::DrawCone(int segments, double radius) {
    if (ViewBoolean(GetActiveView(), 10) || segments < 3) return;
    const double step = 2.0 * M_PI / segments;
    glBegin(GL_TRIANGLE_FAN);
    glVertex3d(0.0, 2.0 * radius, 0.0);
    for (int i = 0; i <= segments; ++i)
        glVertex3d(radius * std::cos(i * step), 0.0, radius * std::sin(i * step));
    glEnd();
    glBegin(GL_POLYGON);
    for (int i = segments - 1; i >= 0; --i)
        glVertex3d(radius * std::cos(i * step), 0.0, radius * std::sin(i * step));
    glEnd();
}

void BaseControl::ReleaseHandles() {
    TraceWrite("Releasing handles");
    if (windowList) {
        LinkedListIterator it(*windowList);
        it.LockList();
        for (LinkedListObject* node = it.First(); !it.IsDone(); node = it.Next())
            if (auto* window = dynamic_cast<Window*>(node))
                if (MouseHandler* mode = window->GetCurrentMode()) mode->ReleaseTarget();
        it.UnlockList();
    } else if (SceneView* view = GetActiveView()) {
        if (MouseHandler* mode = view->GetCurrentMode()) mode->ReleaseTarget();
    }
    TraceWrite("Done releasing mouseHandler handles");
}

void BaseControl::ShowObjectStatus(const char* text) {
    Window* window = currentWindow ? currentWindow : activeWindow;
    if (window)
        window->statusBar1.SetText(text, false);
    else
        statusBar.SetText(text, false);
}
