#pragma once

#include <GL/gl.h>

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>

#include "model/ObjectTypes.h"
#include "model/Part.h"
#include "render/Material.h"
#include "slabs/ParametricInSlabObject.h"

class Model;
struct ViewProjection;

// A door leaf that exactly fills its hole: a flat panel `doorThickness` thick with a
// front, a back and an edge surface, a knob, and a swing about a hinge on one side of the
// hole.
//
// The knob model comes from the content server on a thread of the door's own. The
// control keeps one shared knob model, made once under a guard; each door's knob is read
// from it. The door joins its thread before it goes.
class ParametricDoor : public ParametricInSlabObject {
public:
    static constexpr uint32_t kReverseCommand = 2002;
    static constexpr uint32_t kFaceOtherSideCommand = 2003;
    static constexpr const char* kMaterialPath = "textures/finished_wood/cherry_blonde_im.3c_";
    static constexpr const char* kKnobPath = "3d/pp/knobs/knob02.3c_";
    // The knob sits this far inside the edge opposite the first edge, and this high above
    // the bottom of a tall door in a wall.
    static constexpr double kKnobInset = 3.0;
    static constexpr double kKnobHeight = 40.0;

    explicit ParametricDoor(SlabHole* hole);
    ~ParametricDoor() override;

    uint64_t GetTypeMask() const override { return TypeMask::kParametricInSlabObject; }
    bool ProcessPropertyMenu(uint32_t id) override;
    void Render() override;
    void BuildDisplayLists() override;
    bool ReadKeyData(KeyDataList& keys) override;
    void AppendMenuEntries(platform::Menu& menu) override;
    // Places the knob.
    void RefreshFromHole() override;
    void WriteXml(std::string& buffer, Material& reveal, double revealArea) override;
    void WriteKeysInto(KeyDataList& keys) override;

    // Drags the knob in the hole's plane (a perspective view, the door closed); a knob
    // taken outside the hole springs back. Answers whether it moved.
    bool MoveKnob(const ViewProjection& view, int x, int y, int px, int py);
    // The hole's normal turned from `before` to `after`: the knob turns with it.
    void TurnWithNormal(const Vector& before, const Vector& after);
    // Mirrors the leaf through the hole's middle so that it opens to the other side.
    void FaceOtherSide();
    // FaceOtherSide, then the hole's node order reversed.
    void ReverseDirection();
    // The hinge edge's direction and pivot, from the hole and the knob.
    void ComputeHinge(Vector& direction, Vector& pivot) const;
    // Texture coordinates of a vertex of the leaf part being built.
    Vector GetSurfaceCoordinate(const Vector& p) const;

    const Vector& GetKnobOffset() const { return knobOffset; }
    void SetKnobOffset(const Vector& offset) { knobOffset = offset; }
    double GetThickness() const { return doorThickness; }
    PartAnimation& GetAnimation() { return animation; }
    Model* GetKnobModel() const { return knobModel; }

private:
    void LoadKnob();
    void FreeLists();
    void DrawLeafPart(int part);

    Material frontMaterial;
    Material backMaterial;
    Material edgeMaterial;
    Part frontPart{this};
    Part backPart{this};
    Part edgePart{this};
    Part knobPart{this};
    GLuint knobList = Part::kNoList;
    Model* knobModel = nullptr;
    double doorThickness = 1.5;
    int buildEdge = -1;
    int buildPart = -1;
    Vector knobOffset{0.0, 0.0, 0.0};
    PartAnimation animation;
    std::atomic<bool> cancelKnob{false};
    std::thread knobThread;
};
