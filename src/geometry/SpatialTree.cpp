#include "geometry/SpatialTree.h"

#include <GL/gl.h>

#include <algorithm>
#include <limits>

#include "building/Terrain.h"
#include "building/TerrainNode.h"
#include "control/BaseControl.h"
#include "foundation/Trace.h"
#include "model/SceneView.h"
#include "platform/GLContext.h"

namespace {

constexpr double kThird = 0.3333333333333333;
constexpr double kCullMargin = 0.2;

uint32_t ViewBit(int viewId) {
    return 1u << (static_cast<unsigned>(viewId) & 31u);
}

bool Holds(const BoundingBox& cell, double x, double z, bool strict) {
    if (strict) return cell.min.x < x && x < cell.max.x && cell.min.z < z && z < cell.max.z;
    return cell.min.x < x && x <= cell.max.x && cell.min.z < z && z <= cell.max.z;
}

// The cell's four corners at height y, counter-clockwise seen from above.
void CellCorners(const BoundingBox& cell, double y, Vector out[4]) {
    out[0].Set(cell.min.x, y, cell.min.z, 1.0);
    out[1].Set(cell.min.x, y, cell.max.z, 1.0);
    out[2].Set(cell.max.x, y, cell.max.z, 1.0);
    out[3].Set(cell.max.x, y, cell.min.z, 1.0);
}

}  // namespace

NineTree::NineTree(int level, NineTree* parentCell, double minX, double maxX, double minZ,
                   double maxZ, Terrain* owner)
    : parent(parentCell), terrain(owner) {
    SetRect(minX, maxX, minZ, maxZ);
    if (level >= kLeafLevel) return;
    const double xs[4] = {minX, minX + (maxX - minX) * kThird, maxX - (maxX - minX) * kThird, maxX};
    const double zs[4] = {minZ, minZ + (maxZ - minZ) * kThird, maxZ - (maxZ - minZ) * kThird, maxZ};
    for (int iz = 0; iz < 3; ++iz)
        for (int ix = 0; ix < 3; ++ix)
            children[iz * 3 + ix] =
                new NineTree(level + 1, this, xs[ix], xs[ix + 1], zs[iz], zs[iz + 1], owner);
}

NineTree::~NineTree() {
    for (NineTree*& child : children) {
        delete child;
        child = nullptr;
    }
    // The nodes belong to the terrain: they leave the list without being destroyed.
    while (nodes.PopHead()) {
    }
    if (platform::GLContext::IsAnyCurrent()) {
        if (displayList != -1) glDeleteLists(static_cast<GLuint>(displayList), 1);
        if (groundList != -1) glDeleteLists(static_cast<GLuint>(groundList), 1);
    }
}

void NineTree::SetRect(double minX, double maxX, double minZ, double maxZ) {
    box.min.Set(minX, 0.0, minZ, 1.0);
    box.max.Set(maxX, 0.0, maxZ, 1.0);
    const double dx = maxX - minX;
    const double dz = maxZ - minZ;
    const double lowX = minX - kCullMargin * dx;
    const double highX = minX + (1.0 + kCullMargin) * dx;
    const double lowZ = minZ - kCullMargin * dz;
    const double highZ = minZ + (1.0 + kCullMargin) * dz;
    const double corners[4][2] = {{lowX, lowZ}, {lowX, highZ}, {highX, highZ}, {highX, lowZ}};
    for (int i = 0; i < 8; ++i) cullCorners[i].Set(corners[i / 2][0], 0.0, corners[i / 2][1], 1.0);
}

NineTree* NineTree::ChildHolding(double x, double z, bool strict) const {
    for (NineTree* child : children)
        if (child && Holds(child->box, x, z, strict)) return child;
    return nullptr;
}

NineTree* NineTree::AddNode(TerrainNode* node) {
    if (!PRECONDITION(node != nullptr, "No terrain node to place")) return this;
    NineTree* cell = this;
    while (!cell->IsLeaf()) {
        NineTree* child = cell->ChildHolding(node->position.x, node->position.z, false);
        if (!child) return cell;
        cell = child;
    }
    cell->nodes.Append(node);
    return cell;
}

NineTree* NineTree::LeafHolding(const TerrainNode& node) {
    NineTree* cell = this;
    while (!cell->IsLeaf()) {
        cell = cell->ChildHolding(node.position.x, node.position.z, false);
        if (!cell) return nullptr;
    }
    return cell;
}

void NineTree::UpdateHeightAt(TerrainNode* node) {
    if (!node) return;
    if (NineTree* leaf = LeafHolding(*node)) leaf->ComputeHeightBounds();
}

void NineTree::ComputeHeightBounds() {
    double low = std::numeric_limits<double>::max();
    double high = std::numeric_limits<double>::lowest();
    if (IsLeaf()) {
        for (LinkedListObject* n = nodes.GetHead(); n; n = n->GetNext()) {
            const double y = static_cast<TerrainNode*>(n)->position.y;
            low = std::min(low, y);
            high = std::max(high, y);
        }
    } else {
        for (const NineTree* child : children) {
            low = std::min(low, child->box.min.y);
            high = std::max(high, child->box.max.y);
        }
    }
    if (low <= high) {
        box.min.y = low;
        box.max.y = high;
    }
    for (int i = 0; i < 8; ++i) cullCorners[i].y = i % 2 == 0 ? box.min.y : box.max.y;
    dirty = 1;
    if (parent) parent->ComputeHeightBounds();
}

void NineTree::InvalidateAll() {
    for (NineTree* child : children)
        if (child) child->InvalidateAll();
    ComputeHeightBounds();
}

void NineTree::UpdateVisibility(SceneView& view) {
    const uint32_t bit = ViewBit(view.GetViewId());
    if (parent && view.HitTestPolygon(cullCorners, 8, true)) {
        cullMask |= bit;
        for (NineTree* child : children)
            if (child) child->cullMask = cullMask;
        return;
    }
    cullMask &= ~bit;
    for (NineTree* child : children)
        if (child) child->UpdateVisibility(view);
}

bool NineTree::IsCulledInActiveView() const {
    const BaseControl* control = theControl();
    const SceneView* view = control ? control->GetCurrentView() : nullptr;
    return view && (cullMask & ViewBit(view->GetViewId())) != 0;
}

void NineTree::AndVisibilityMask(uint32_t mask) {
    cullMask &= mask;
    for (NineTree* child : children)
        if (child) child->AndVisibilityMask(mask);
}

void NineTree::RebuildLists() {
    const BaseControl* control = theControl();
    const bool running = control && control->IsRunning();
    if (IsLeaf() || (!parent && IsFlat())) {
        if (displayList == -1) displayList = static_cast<int>(glGenLists(1));
        glNewList(static_cast<GLuint>(displayList), GL_COMPILE);
        if (!parent && IsFlat()) {
            Vector corners[4];
            CellCorners(box, box.min.y, corners);
            if (running && terrain) {
                terrain->DrawFlatQuad(corners);
            } else if (!(control && control->globalState.GetBoolean(15))) {
                glBegin(GL_QUADS);
                glNormal3d(0.0, 1.0, 0.0);
                for (const Vector& c : corners) glVertex3d(c.x, c.y, c.z);
                glEnd();
            }
        } else if (terrain) {
            for (LinkedListObject* n = nodes.GetHead(); n; n = n->GetNext())
                terrain->UpdateCell(*static_cast<TerrainNode*>(n));
        }
        glEndList();
    } else {
        // Cells whose heights did not change keep their lists.
        for (NineTree* child : children)
            if (child->dirty || (child->IsLeaf() && child->displayList == -1))
                child->RebuildLists();
    }
    if (running) dirty = 0;
}

void NineTree::Render() {
    if (dirty || (displayList == -1 && IsLeaf())) RebuildLists();
    if (IsCulledInActiveView()) return;
    if ((!IsFlat() || parent) && !IsLeaf()) {
        for (NineTree* child : children) child->Render();
    } else if (displayList != -1) {
        glCallList(static_cast<GLuint>(displayList));
    }
}

void NineTree::RenderGround() {
    if (box.min.y >= kGroundLevel || IsCulledInActiveView()) return;
    if (!IsLeaf()) {
        for (NineTree* child : children) child->RenderGround();
        return;
    }
    if (groundList == -1) {
        groundList = static_cast<int>(glGenLists(1));
        glNewList(static_cast<GLuint>(groundList), GL_COMPILE);
        Vector corners[4];
        CellCorners(box, kGroundLevel, corners);
        glBegin(GL_QUADS);
        glNormal3d(0.0, 1.0, 0.0);
        for (const Vector& c : corners) {
            glTexCoord2d(c.x, c.z);
            glVertex3d(c.x, c.y, c.z);
        }
        glEnd();
        glEndList();
    }
    glCallList(static_cast<GLuint>(groundList));
}

void NineTree::RenderNodePoints() {
    if (IsCulledInActiveView()) return;
    if (!IsLeaf()) {
        for (NineTree* child : children) child->RenderNodePoints();
        return;
    }
    for (LinkedListObject* n = nodes.GetHead(); n; n = n->GetNext()) {
        const auto* node = static_cast<const TerrainNode*>(n);
        if (node->selected)
            glColor4d(0.0, 0.0, 1.0, 0.5);
        else
            glColor4d(1.0, 0.0, 0.0, 0.5);
        glVertex3d(node->position.x, node->position.y, node->position.z);
    }
}

int64_t NineTree::NearestNodeId(const Vector& point) const {
    const NineTree* cell = this;
    while (!cell->IsLeaf()) {
        cell = cell->ChildHolding(point.x, point.z, true);
        if (!cell) return -1;
    }
    const TerrainNode* nearest = nullptr;
    double best = 0.0;
    for (const LinkedListObject* n = cell->nodes.GetHead(); n; n = n->GetNext()) {
        const auto* node = static_cast<const TerrainNode*>(n);
        const double d = node->position.HorizontalDistance(point);
        if (!nearest || d < best) {
            nearest = node;
            best = d;
        }
    }
    return nearest ? static_cast<int64_t>(nearest->index) : -1;
}
