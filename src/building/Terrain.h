#pragma once

#include <cstdint>
#include <memory>

#include "building/TerrainNode.h"
#include "foundation/UndoableObject.h"
#include "model/ObjectTypes.h"
#include "model/Part.h"
#include "model/TopLevelObject.h"
#include "render/Material.h"

class NineTree;

// The ground: a fixed grid of 50 x 50 height nodes over a square of about 6,600 inches,
// drawn as a smoothly shaded, textured mesh with translucent water layers at sea level
// (height 0). One terrain per control, owned by the control, never in the scene list.
//
// Node i stands in row i / 50 and column i % 50; its x and z never change. Heights
// change only through the terrain's commands, the terrain editor and its keys; every
// change ends with StoreNodePositions. A tree of cells (NineTree) over the ground square
// keeps height bounds, culls per view and draws flat regions as single quads.
class Terrain : public UndoableObject, public TopLevelObject {
public:
    static constexpr int kNodesPerRow = 50;
    static constexpr int kNodeCount = kNodesPerRow * kNodesPerRow;
    // The ground square of the tree.
    static constexpr double kGroundHalfSide = 3200.0;
    // Neighbours follow a raised node to within this height of it.
    static constexpr double kSlopeLimit = 30.0;
    static constexpr uint32_t kToggleWireframe = 123456;
    static constexpr uint32_t kResetTerrain = 123457;
    static constexpr uint32_t kFlattenSelected = 123458;
    static constexpr uint32_t kSlopeSelected = 123459;
    static constexpr const char* kGrassTexture = "textures/defaults/Patchy_Grass_im.3c_";
    static constexpr const char* kWaterTexture = "plansys/water.3c_";

    // The grid at height 0, the tree over it, the ground and water materials.
    Terrain();
    // Fetches the grass and the water textures at once from the content domain.
    void LoadMaterials();
    ~Terrain() override;

    uint64_t GetTypeMask() const override { return TypeMask::kTerrain; }
    int GetKindCode() const override { return KindCode::kTerrain; }
    bool IsLocked() const override { return locked != 0; }

    // ---- menu ----
    void BuildPropertyMenu(platform::Menu& menu) override;
    bool ProcessPropertyMenu(uint32_t id) override;

    // ---- drawing ----
    void Render() override;
    // The tree root's box: the ground square with the lowest and highest height.
    const BoundingBox& GetBoundingBox() const override;
    void AndFlags(uint32_t mask) override;
    void UpdateWindowVisibility() override;
    // Drawn only in the perspective and overhead views.
    bool IsShownInCurrentView() override;
    // The terrain never moves.
    void Translate(const Vector&) override {}
    void MoveBy(const Vector&) override {}
    // Texture coordinates of a point of the triangle being drawn.
    void GetTexCoord(const Vector& point, double out[2]) const;

    // ---- the element "Terrain" ----
    void WriteKeyData() override;
    bool ReadKeyData(KeyDataList& keys) override;

    // Every height 0 (and selection cleared); with `restoreSurface` also the grass.
    void Reset(bool restoreSurface);
    void StoreNodePositions();
    // The ground height under the horizontal position; outside the grid the height of
    // the nearest edge node's region.
    virtual double GetHeightAt(double x, double z) const;

    // Draws the two triangles of the cell whose corner is the node.
    virtual void UpdateCell(TerrainNode& node);
    // Draws the horizontal quad through the four corners, facing up.
    virtual void DrawFlatQuad(const Vector corners[4]);

    // ---- edits (the terrain editor and the menu) ----
    void SetAllNodesSelected(bool flag);
    void SelectNodesInBand(const Vector& corner1, const Vector& corner2, bool clearOutside);
    // Raises the node with its neighbours kept within the slope limit, or without a node
    // every selected node.
    void DragNodeOrSelection(TerrainNode* node, double amount);
    void MoveSelectedNodes(double amount);
    // Raises node i by `amount`; neighbours follow to within the slope limit. A height
    // that is not a number, or an index outside the grid, changes nothing.
    void RaiseNode(int i, double amount);
    void Flatten();
    void Slope();
    // "12' below sea level" and the like in the help bar.
    void ShowHeight(double height);
    void FlagLightsForUpdate();

    TerrainNode& GetNode(int i) { return nodes[i]; }
    const TerrainNode& GetNode(int i) const { return nodes[i]; }
    // Node i, or null outside the grid.
    TerrainNode* FindNode(int i) { return i >= 0 && i < kNodeCount ? &nodes[i] : nullptr; }
    int SelectedCount() const;
    bool ShowsNodes() const { return showNodes != 0; }
    void SetShowNodes(bool flag) { showNodes = flag ? 1 : 0; }
    bool IsWireframe() const { return wireframe != 0; }
    Material& GetGroundMaterial() { return groundMaterial; }
    NineTree* GetTree() const { return tree.get(); }
    // The grid coordinate of column (or row) k, 0..49.
    static double GridCoordinate(int k);

private:
    Vector ComputeNodeNormal(int v) const;
    void DrawTriangle(int a, int b, int c);
    void DrawNodeHandles(bool picking);
    void DrawWater();
    void DrawWireframe();
    // The node's leaf has new height bounds.
    void UpdateRegion(TerrainNode& node);
    // The ground material's colour and grass texture.
    void RestoreSurface(bool now);

    Vector textureDirection;
    TerrainNode nodes[kNodeCount];
    Material groundMaterial;
    Material waterMaterial;
    Part surface{this};
    Part water{this};
    uint8_t showNodes = 0;
    uint8_t wireframe = 0;
    std::unique_ptr<NineTree> tree;
    // The water's animation: the clock at the last pass and the texture's angle.
    uint32_t lastTick = 0;
    bool tickStarted = false;
};
