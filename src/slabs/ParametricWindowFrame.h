#pragma once

#include <GL/gl.h>

#include <cstdint>
#include <string>

#include "model/ObjectTypes.h"
#include "model/Part.h"
#include "render/Material.h"
#include "slabs/ParametricInSlabObject.h"

// A window frame that runs around the inside of its hole, mitred at every corner of the
// hole's outline, with a horizontal and a vertical crossbar in a rectangular hole.
class ParametricWindowFrame : public ParametricInSlabObject {
public:
    static constexpr uint32_t kVerticalBarCommand = 2000;
    static constexpr uint32_t kHorizontalBarCommand = 2001;
    static constexpr const char* kMaterialPath = "textures/plastics/whiteplasticmat.3c_";

    explicit ParametricWindowFrame(SlabHole* hole);
    ~ParametricWindowFrame() override;

    uint64_t GetTypeMask() const override { return TypeMask::kParametricInSlabObject; }
    bool ProcessPropertyMenu(uint32_t id) override;
    void Render() override;
    void BuildDisplayLists() override;
    bool ReadKeyData(KeyDataList& keys) override;
    void AppendMenuEntries(platform::Menu& menu) override;
    void WriteXml(std::string& buffer, Material& reveal, double revealArea) override;
    void WriteKeysInto(KeyDataList& keys) override;

    // The inner corner of the frame at node `i` of the hole's current outline.
    Vector InnerCorner(int i) const;
    // Which of the two crossbars (0: midpoints of edges 0 and 2, 1: of edges 1 and 3)
    // are drawn.
    bool DrawsBar(int bar) const;

    bool showHorizBar = true;
    bool showVertBar = true;
    double frameWidth = 2.0;
    double frameHeight = 2.0;
    double crossbarWidth = 1.0;

private:
    void BuildFrame();
    void BuildCrossbars();
    void FreeLists();

    Material frameMaterial;
    Material crossbarMaterial;
    Part framePart{this};
    Part crossbarPart{this};
};
