#pragma once

#include <cstdint>

#include "foundation/LinkedList.h"
#include "geometry/BoundingBox.h"
#include "geometry/Vector.h"

class SceneView;
class Terrain;
class TerrainNode;

// The terrain's ground rectangle (x-z plane) cut into a fixed tree of 3 x 3 cells, two
// levels deep: the root, 9 middle cells and 81 leaves. Each grid node of the terrain is
// registered with the leaf whose cell holds it. The tree keeps the height range of every
// cell in the y of its box, culls whole cells per view, draws the terrain cell by cell
// from display lists (a perfectly flat terrain as one quad), draws the ground under
// sunken cells and finds the grid node nearest to a point.
//
// Cells hold x in (min.x, max.x] and z in (min.z, max.z] when nodes are placed; a node
// outside the root's rectangle is not placed.
class NineTree {
public:
    static constexpr int kLeafLevel = 2;
    static constexpr int kChildren = 9;
    // Cells whose lowest point lies below this get a ground quad at this height.
    static constexpr double kGroundLevel = -5.0;

    // A cell of `level` (the root is level 0) over [minX, maxX] x [minZ, maxZ]; cells
    // below the leaf level make their nine children.
    NineTree(int level, NineTree* parent, double minX, double maxX, double minZ, double maxZ,
             Terrain* terrain);
    // Destroys the children and the cell's display lists; the nodes stay the terrain's.
    virtual ~NineTree();
    NineTree(const NineTree&) = delete;
    NineTree& operator=(const NineTree&) = delete;

    // The cell's rectangle; its culling box is the rectangle widened by a fifth of its
    // size on every side.
    void SetRect(double minX, double maxX, double minZ, double maxZ);
    // Places the node in the leaf that holds it; answers that leaf, or the cell where no
    // child held it (the node then is not placed).
    NineTree* AddNode(TerrainNode* node);
    // The height range of the node's leaf and the cells above it, after the node moved.
    void UpdateHeightAt(TerrainNode* node);
    // This cell's height range from its nodes or children, then its parents'; its
    // display list must be rebuilt.
    void ComputeHeightBounds();
    // Every height range again and every display list to be rebuilt.
    void InvalidateAll();

    // Culls the cell in `view` when the view's polygon test finds its culling box
    // outside; a culled cell passes its culling to its children, a kept one tests them.
    // The root is never culled.
    void UpdateVisibility(SceneView& view);
    // Whether the cell is culled in the view being drawn (never without one).
    bool IsCulledInActiveView() const;
    void AndVisibilityMask(uint32_t mask);

    // Draws the cells not culled, rebuilding display lists that must be.
    void Render();
    // The quad at the ground level under each cell that is not culled and reaches below it.
    void RenderGround();
    // A vertex per node of the cells not culled, blue for a selected node, else red;
    // the caller begins and ends the point batch.
    void RenderNodePoints();
    // The index of the node nearest to the point horizontally in the leaf that holds the
    // point strictly inside its cell; -1 when no leaf does (or the leaf has no nodes).
    int64_t NearestNodeId(const Vector& point) const;

    bool IsLeaf() const { return children[0] == nullptr; }
    bool IsFlat() const { return box.min.y == box.max.y; }

    BoundingBox box;
    Vector cullCorners[8];
    NineTree* children[kChildren] = {};
    // The grid nodes of a leaf's cell; not owned.
    LinkedList nodes;
    uint32_t cullMask = 0;
    NineTree* parent = nullptr;
    int displayList = -1;
    int groundList = -1;
    Terrain* terrain = nullptr;
    uint8_t dirty = 1;

private:
    // The first child holding (x, z): within (min, max] when `strict` is false, within
    // (min, max) when it is set.
    NineTree* ChildHolding(double x, double z, bool strict) const;
    // The leaf below this cell holding the node's position, or null.
    NineTree* LeafHolding(const TerrainNode& node);
    void RebuildLists();
};
