// The cut-away of walls that stand between the eye and the scene in perspective views.

#include <GL/glu.h>

#include "control/BaseControl.h"
#include "foundation/ViewState.h"
#include "render/Window.h"
#include "slabs/BaseSlab.h"

void Window::CutAwayBlockingWalls() {
    BaseControl* control = theControl();
    if (!control || GetViewMode() == kBlueprintView || IsPicking()) return;
    const Vector offset = camera.GetVector(0);
    const Vector eye(-offset.x, -offset.y, -offset.z);
    const Vector axis = UnprojectViewCenter();
    const Vector a(axis.x + eye.x, axis.y + eye.y, axis.z + eye.z);
    const uint64_t seeThrough = static_cast<uint64_t>(viewFlags.GetInt64(1));
    std::vector<BaseSlab*> flagged;
    LinkedListIterator it(control->scene);
    it.LockList();
    for (LinkedListObject* node = it.First(); node; node = it.Next()) {
        auto* slab = dynamic_cast<BaseSlab*>(node);
        if (!slab) continue;
        slab->SetCutAway(false);
        if (slab->IsVisibleInCurrentWindow() || !slab->WasShownInView() || !slab->IsVisible() ||
            (slab->GetTypeMask() & seeThrough))
            continue;
        bool opaque = true;
        for (int id : {BaseSlab::kInsideSurface, BaseSlab::kOutsideSurface}) {
            const Part* part = slab->GetSurface(id);
            const Material* m = part ? part->material : nullptr;
            if (m && m->alpha < 1.0 && !m->transparent) opaque = false;
        }
        if (!opaque) continue;
        const Vector* corners = slab->GetCorners();
        bool inFront = corners != nullptr;
        for (int i = 0; inFront && i < 8; ++i) {
            double x = 0, y = 0, z = 0;
            if (!gluProject(corners[i].x, corners[i].y, corners[i].z, modelViewCache.get(),
                            projectionCache.get(), viewportCache.get(), &x, &y, &z) ||
                !(z > 0.0 && z < 1.0))
                inFront = false;
        }
        if (!inFront) continue;
        const Outline& outline = slab->GetOutline();
        if (outline.GetPrimaryCount() == 0) continue;
        const Vector& n = outline.normal;
        const Vector& q = outline.GetPrimaryPoints()[0].position;
        const Vector line(a.x - eye.x, a.y - eye.y, a.z - eye.z);
        const double along = n.Dot(line);
        if (along == 0.0) continue;
        const double t = (n.Dot(q) - n.Dot(eye)) / along;
        const Vector p(eye.x + line.x * t, eye.y + line.y * t, eye.z + line.z * t);
        if (slab->GetThickness() <= p.Distance(eye)) {
            slab->SetCutAway(true);
            slab->SetCutAwayPoint(p);
            slab->CullChildren(true);
            flagged.push_back(slab);
        }
    }
    for (BaseSlab* slab : flagged)
        if (slab->IsCutAway()) slab->CullChildren(false);
    it.UnlockList();
}
