#pragma once

#include <memory>
#include <vector>

#include "building/Terrain.h"
#include "building/TerrainNode.h"

// A terrain that counts what the spatial tree asks it to draw, with a grid of nodes the
// test places.
class TestTerrain : public Terrain {
public:
    void Render() override {}
    void Translate(const Vector&) override {}
    void WriteKeyData() override {}
    bool ReadKeyData(KeyDataList&) override { return true; }
    void UpdateCell(TerrainNode& node) override { cells.push_back(node.index); }
    void DrawFlatQuad(const Vector[4]) override { ++flatQuads; }

    // A node at (x, height, z) with the next index.
    TerrainNode* MakeNode(double x, double height, double z) {
        auto node = std::make_unique<TerrainNode>();
        node->position.Set(x, height, z, 1.0);
        node->index = static_cast<uint32_t>(grid.size());
        grid.push_back(std::move(node));
        return grid.back().get();
    }

    std::vector<std::unique_ptr<TerrainNode>> grid;
    std::vector<uint32_t> cells;
    int flatQuads = 0;
};
