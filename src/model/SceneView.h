#pragma once

#include "geometry/Vector.h"

class MouseHandler;
class RenderState;
class UndoableObject;

// What scene objects ask of a view window: the window being drawn (the control's current
// view), the one receiving input (active) or the main one. The view windows implement it;
// until one exists the control answers no view and objects take the view-less defaults.
class SceneView {
public:
    virtual ~SceneView() = default;

    // The view's number; bit (id & 31) of an object's view flags belongs to it.
    virtual int GetViewId() const = 0;
    // The view's own render settings: int64 0 its hidden-type mask, integer 0 its mode.
    virtual RenderState& GetRenderState() = 0;
    // The pick-polygon test of a shape given by `count` world points: true when the shape
    // lies outside the view's pick polygon (none of its points inside, and with `boxTest`
    // their spread not reaching round the polygon), or when none of its points lies on
    // the negative side of the polygon's plane. False while no pick polygon is installed.
    virtual bool HitTestPolygon(const Vector* points, int count, bool boxTest) = 0;
    // The view's section plane (x, y, z normal, w offset).
    virtual Vector GetSectionPlane() const = 0;
    // The stencil pass of the frame being drawn.
    virtual int GetPassCount() const = 0;
    // The view's trace image, which lives outside the scene list; null when none.
    virtual UndoableObject* GetTraceImage() const = 0;
    // Destroys the trace image and forgets it.
    virtual void DeleteTraceImage() = 0;
    // The view's current mouse mode; null when none.
    virtual MouseHandler* GetCurrentMode() const = 0;
};
