// Drawing of a wall in each view mode, and its three dimensions: the length along the top
// of one face, the chain that splits it at the wall's openings, and the height in
// elevation views.

#include <GL/gl.h>

#include <algorithm>
#include <cmath>

#include "building/Wall.h"
#include "control/BaseControl.h"
#include "foundation/Trace.h"
#include "foundation/ViewState.h"
#include "render/Window.h"
#include "slabs/SlabChild.h"

namespace {

constexpr double kElevationGrey = 0.82;

Window* DrawnWindow() {
    BaseControl* control = theControl();
    return control ? control->currentWindow : nullptr;
}

double HorizontalLength(const Vector* face, int end) {
    double length = 0.0;
    for (int i = 0; i < end; ++i) {
        const double dx = face[i + 1].x - face[i].x;
        const double dz = face[i + 1].z - face[i].z;
        length += std::sqrt(dx * dx + dz * dz);
    }
    return length;
}

}  // namespace

bool Wall::ShouldDrawDimensions(const Window* window) const {
    BaseControl* control = theControl();
    if (!window || !control || window->noDimensions) return false;
    if (!IsInVisibleHeightRange() || !control->globalState.GetBoolean(4)) return false;
    const int mode = window->GetViewMode();
    return mode == Window::kBlueprintView || (mode == Window::kElevationView && IsSelected());
}

void Wall::Render() {
    if (!facePointsA || !facePointsB) return;
    BaseControl* control = theControl();
    Window* window = DrawnWindow();
    if (!control || !window) return;
    const int mode = window->GetViewMode();
    if (mode == Window::kBlueprintView) {
        const int scheme =
            std::clamp(control->blueprintColorScheme, 0, BaseControl::kBlueprintColors / 8 - 1);
        int entry = 0;
        if (IsInVisibleHeightRange()) {
            entry = IsSelected() ? 1 : 0;
        } else {
            // Walls above the storey are not drawn; those below are, in the other-level colour.
            if (control->floorState.GetDouble(4) < box.min.y || window->viewFlags.GetBoolean(3))
                return;
            entry = 2;
        }
        const float* c = control->blueprintColors[scheme * 8 + entry];
        SetSurfaceColor(c[0], c[1], c[2], c[3]);
    } else if (mode == Window::kElevationView) {
        SetSurfaceColor(kElevationGrey, kElevationGrey, kElevationGrey, 1.0);
    }
    glLoadName(GetPickName());
    RenderDimensions(window);
    BaseSlab::Render();
    if (mode != Window::kBlueprintView) return;
    glFrontFace(GL_CW);
    for (LinkedList* list : {&holeList, &inSlabList}) {
        for (LinkedListObject* node = list->GetHead(); node; node = node->GetNext()) {
            auto* child = dynamic_cast<RenderableObject*>(node);
            if (!child) continue;
            glPushMatrix();
            glTranslated(0.0, 0.0, box.max.y - child->GetBoundingBox().min.y);
            if (list == &holeList)
                child->Render();
            else if (auto* slabChild = dynamic_cast<SlabChild*>(node))
                slabChild->RenderOpening();
            glPopMatrix();
        }
    }
    glFrontFace(GL_CCW);
}

void Wall::RenderDimensions(Window* window) {
    if (!ShouldDrawDimensions(window) || !HasWallShape() || !facePointsA || !facePointsB) return;
    const int mode = window->GetViewMode();
    const double top = box.max.y;
    if (dimensionsDirty) {
        const double lengthA = HorizontalLength(facePointsA.get(), wallEndIndex);
        const double lengthB = HorizontalLength(facePointsB.get(), wallEndIndex);
        const bool b = lengthB + 0.1 < lengthA;
        const bool o = !shortSideDimension;
        const Vector* face = b == o ? facePointsA.get() : facePointsB.get();
        horizDimension.SetEndPoints(Vector(face[0].x, top, face[0].z),
                                    Vector(face[wallEndIndex].x, top, face[wallEndIndex].z));
    }
    if (dimensionsDirty || horizDimension.GetViewMode() != mode) {
        const Vector across =
            mode == Window::kBlueprintView ? outline.normal : Vector(0.0, 1.0, 0.0);
        horizDimension.SetOffsetDirection(across);
        childDim.SetOffsetDirection(across);
    }
    horizDimension.SetSelected(IsSelected());
    horizDimension.Render();
    RenderChildDimension(mode);
    if (mode == Window::kElevationView) RenderVerticalDimension(window);
    dimensionsDirty = false;
}

void Wall::RenderChildDimension(int mode) {
    BaseControl* control = theControl();
    const double level = control ? control->floorState.GetDouble(4) - 1.0 : 0.0;
    if (dimensionsDirty || level != childDimensionLevel || childDim.GetViewMode() != mode) {
        childPoints.clear();
        Vector d = GetDirection();
        d.Normalize();
        const Vector origin = horizDimension.GetStart();
        auto add = [&](RenderableObject* child) {
            const BoundingBox& b = child->GetBoundingBox();
            Vector centre;
            double half = 0.0;
            if (child->HasType(TypeBit::kOnSlab)) {
                auto* slabChild = dynamic_cast<SlabChild*>(child);
                half = (b.max.x - b.min.x) * 0.5;
                centre = child->OffsetReference();
                const double sign =
                    slabChild && slabChild->GetSide() != kInsideSurface ? -1.0 : 1.0;
                centre.Offset(d.x * half * sign, 0.0, d.z * half * sign);
            } else {
                auto* slabChild = dynamic_cast<SlabChild*>(child);
                if (slabChild && !slabChild->HasOpeningOutline()) return;
                centre = b.min.Midpoint(b.max);
                const Vector diagonal(b.max.x - b.min.x, b.max.y - b.min.y, b.max.z - b.min.z);
                half = std::fabs(diagonal.Dot(d)) * 0.5;
            }
            const double t = (centre.x - origin.x) * d.x + (centre.z - origin.z) * d.z;
            const Vector p(origin.x + d.x * t, origin.y, origin.z + d.z * t);
            childPoints.push_back({Vector(p.x - d.x * half, p.y, p.z - d.z * half), t - half});
            childPoints.push_back({Vector(p.x + d.x * half, p.y, p.z + d.z * half), t + half});
        };
        if (mode == Window::kElevationView) {
            RenderableObject* child = FirstSelectedChild();
            if (child && child->HasType(TypeBit::kHole | TypeBit::kInSlab | TypeBit::kOnSlab))
                add(child);
        } else {
            for (LinkedList* list : {&inSlabList, &onSlabList, &holeList})
                for (LinkedListObject* node = list->GetHead(); node; node = node->GetNext())
                    if (auto* child = dynamic_cast<RenderableObject*>(node);
                        child && child->IsInVisibleHeightRange())
                        add(child);
        }
        std::stable_sort(
            childPoints.begin(), childPoints.end(),
            [](const ChildPoint& a, const ChildPoint& b) { return a.distance < b.distance; });
        childDimensionLevel = level;
    }
    if (childPoints.empty()) return;
    const double top = box.max.y;
    childDim.SetSelected(false);
    Vector from = horizDimension.GetStart();
    for (size_t i = 0; i <= childPoints.size(); ++i) {
        Vector to = i < childPoints.size() ? childPoints[i].point : horizDimension.GetEnd();
        from.y = to.y = top;
        childDim.SetEndPoints(from, to);
        childDim.Render();
        from = to;
    }
    if (horizDimension.IsSelected() && childDim.IsVisible()) {
        childDim.SetEndPoints(horizDimension.GetStart(), horizDimension.GetEnd());
        childDim.SetSelected(true);
        childDim.DrawPickable();
    }
}

void Wall::RenderVerticalDimension(Window* window) {
    if (!verticalDimension.IsVisible()) return;
    RenderableObject* child = FirstSelectedChild();
    bool withChild = false;
    double childLow = 0.0;
    double childHigh = 0.0;
    if (child && child->HasType(TypeBit::kOnSlab | TypeBit::kHole | TypeBit::kInSlab)) {
        withChild = true;
        childLow = child->GetBoundingBox().min.y;
        childHigh = child->GetBoundingBox().max.y;
    }
    if (dimensionsDirty) {
        Vector back = GetDirection();
        back.Negate();
        verticalDimension.SetOffsetDirection(back);
    }
    verticalDimension.SetSelected(horizDimension.IsSelected());
    const Vector ray = window->UnprojectViewCenter();
    const Vector* face = ray.Dot(outline.normal) < 0.0 ? facePointsB.get() : facePointsA.get();
    const Vector& at = face[0];
    auto segment = [&](double low, double high) {
        verticalDimension.SetEndPoints(Vector(at.x, low, at.z), Vector(at.x, high, at.z));
        verticalDimension.Render();
    };
    if (!withChild) {
        segment(box.min.y, box.max.y);
        return;
    }
    segment(box.min.y, childLow);
    segment(childLow, childHigh);
    segment(childHigh, box.max.y);
}

void Wall::RefreshDimensions() {
    for (Dimension* d : {&horizDimension, &childDim, &verticalDimension}) d->MarkDirty();
}

void Wall::SetDimensionFonts() {
    for (Dimension* d : {&horizDimension, &childDim, &verticalDimension}) d->UpdateLabel();
}
