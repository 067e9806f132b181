#include <gtest/gtest.h>

#include "building/Column.h"
#include "building/DormerWall.h"
#include "building/Roof.h"
#include "building/RoofGroup.h"
#include "building/Stairs.h"
#include "building/Terrain.h"
#include "building/TerrainNode.h"
#include "building/Wall.h"
#include "model/ObjectTypes.h"
#include "slabs/Counter.h"
#include "slabs/Dormer.h"
#include "slabs/ParametricDoor.h"
#include "slabs/ShaftHole.h"
#include "slabs/ShaftSide.h"
#include "slabs/Skylight.h"
#include "slabs/SlabCovering.h"
#include "slabs/SlabMolding.h"

namespace {

using namespace TypeMask;

struct MaskCase {
    const char* name;
    uint64_t mask;
    uint64_t expected;
};

TEST(ObjectTypes, MasksHaveTheirTableValues) {
    const MaskCase cases[] = {
        {"BaseSlab", kBaseSlab, 0x1},
        {"EditableSlabChild", kEditableSlabChild, 0x2},
        {"BaseModel", kBaseModel, 0x4},
        {"Model", kModelObject, 0xC},
        {"InSlabObject", kInSlabObject, 0x40014},
        {"OnSlabObject", kOnSlabObject, 0x40024},
        {"Wall", kWall, 0x41},
        {"Floor", kFloor, 0x81},
        {"Roof", kRoof, 0x101},
        {"SlabHole", kSlabHole, 0x402},
        {"SlabCovering", kSlabCovering, 0x802},
        {"SlabChildModel", kSlabChildModel, 0x40004},
        {"LightSource", kLightSource, 0x40000C},
        {"AsymmetricSlabObject", kAsymmetricSlabObject, 0x2040014},
        {"Counter", kCounter, 0x4000001},
        {"TraceImageModel", kTraceImageModel, 0x1000000C},
        {"Skylight", kSkylight, 0x102040014},
        {"Dormer", kDormer, 0x200000402},
        {"DormerWall", kDormerWall, 0x400000041},
        {"Column", kColumn, 0x1080000000},
        {"ShaftSide", kShaftSide, 0x20000000001},
        {"ShaftHole", kShaftHole, 0x40000000402},
        {"BlueprintIcon", kBlueprintIconObject, 0x200000000000},
    };
    for (const MaskCase& c : cases) EXPECT_EQ(c.mask, c.expected) << c.name;
}

TEST(ObjectTypes, EachMaskCarriesTheBitsOfTheClassesItSharesBehaviourWith) {
    struct Sharing {
        const char* name;
        uint64_t mask;
        uint64_t shared;
    };
    const Sharing cases[] = {
        {"Wall/slab", kWall, kBaseSlab},
        {"Floor/slab", kFloor, kBaseSlab},
        {"Roof/slab", kRoof, kBaseSlab},
        {"Counter/slab", kCounter, kBaseSlab},
        {"ShaftSide/slab", kShaftSide, kBaseSlab},
        {"DormerWall/wall", kDormerWall, kWall},
        {"Model/model", kModelObject, kBaseModel},
        {"LightSource/Model", kLightSource, kModelObject},
        {"TraceImageModel/Model", kTraceImageModel, kModelObject},
        {"SlabChildModel/model", kSlabChildModel, kBaseModel},
        {"InSlabObject/SlabChildModel", kInSlabObject, kSlabChildModel},
        {"OnSlabObject/SlabChildModel", kOnSlabObject, kSlabChildModel},
        {"AsymmetricSlabObject/InSlabObject", kAsymmetricSlabObject, kInSlabObject},
        {"Skylight/AsymmetricSlabObject", kSkylight, kAsymmetricSlabObject},
        {"SlabHole/slab child", kSlabHole, kEditableSlabChild},
        {"SlabCovering/slab child", kSlabCovering, kEditableSlabChild},
        {"Dormer/SlabHole", kDormer, kSlabHole},
        {"ShaftHole/SlabHole", kShaftHole, kSlabHole},
        {"Column/Fence", kColumn, kFence},
    };
    for (const Sharing& c : cases) EXPECT_EQ(c.mask & c.shared, c.shared) << c.name;

    EXPECT_EQ(kFloor & kWall, 0x1u);
    EXPECT_EQ(kCounter & TypeBit::kFloor, 0u);
}

TEST(ObjectTypes, HiddenModelBitHidesModelsButNotWalls) {
    const uint64_t hidden = TypeBit::kModel;
    for (uint64_t mask : {kBaseModel, kModelObject, kLightSource, kSlabChildModel, kInSlabObject})
        EXPECT_NE(mask & hidden, 0u) << std::hex << mask;
    for (uint64_t mask : {kWall, kFloor, kStairs, kFence, kTerrain})
        EXPECT_EQ(mask & hidden, 0u) << std::hex << mask;
}

TEST(ObjectTypes, UnusedBitsBelongToNoClass) {
    const uint64_t all[] = {kBaseSlab,
                            kEditableSlabChild,
                            kModelObject,
                            kInSlabObject,
                            kOnSlabObject,
                            kWall,
                            kFloor,
                            kRoof,
                            kSlabHole,
                            kSlabCovering,
                            kOutlinePoint,
                            kPart,
                            kOutlineEdgeObject,
                            kPartGroupObject,
                            kSlabChildModel,
                            kGroupObject,
                            kGridObject,
                            kRotationHandleObject,
                            kLightSource,
                            kDimensionObject,
                            kTextObject,
                            kAsymmetricSlabObject,
                            kCounter,
                            kTraceImageModel,
                            kStairs,
                            kStep,
                            kFence,
                            kSkylight,
                            kDormer,
                            kDormerWall,
                            kRoofGroup,
                            kColumn,
                            kMolding,
                            kTerrainNode,
                            kTerrain,
                            kCameraIndicatorIcon,
                            kShaftSide,
                            kShaftHole,
                            kParametricInSlabObject,
                            kBlueprintIconObject};
    uint64_t used = 0;
    for (uint64_t mask : all) used |= mask;
    for (int bit : {9, 13, 17, 27, 44}) EXPECT_EQ(used & (uint64_t{1} << bit), 0u) << bit;
    EXPECT_EQ(used & ~kAllTypes, 0u);
}

// Fills in what the declared classes leave to their own behaviour, so that the masks and
// kind codes they answer can be read from real objects.
template <class T>
class Answering : public T {
public:
    using T::T;
    Answering() requires std::is_default_constructible_v<T> = default;
    void Render() {}
    void Translate(const Vector&) {}
    void WriteKeyData() {}
    bool ReadKeyData(KeyDataList&) { return false; }
    void BeginUndoStep() {}
    void EndUndoStep() {}
    void CancelUndoStep() {}
    UndoableObject* DuplicateAndOffset() { return nullptr; }
    void ApplyState() {}
    BaseParameterState* GetState() { return nullptr; }
    uint64_t GetStateTypeMask() const { return 0; }
    void RecomputeBounds() {}
};

template <class T, class... Args>
std::pair<uint64_t, int> Answers(Args... args) {
    Answering<T> object(args...);
    int kind = -1;
    if constexpr (std::is_base_of_v<TopLevelObject, T>) kind = object.GetKindCode();
    return {object.GetTypeMask(), kind};
}

TEST(ObjectTypes, DeclaredClassesAnswerTheirMasksAndKindCodes) {
    using Answer = std::pair<uint64_t, int>;
    EXPECT_EQ(Answers<Wall>(), Answer(0x41, 3));
    EXPECT_EQ(Answers<DormerWall>(), Answer(0x400000041, 3));
    EXPECT_EQ(Answers<Floor>(), Answer(0x81, 1));
    EXPECT_EQ(Answers<Counter>(), Answer(0x4000001, 10));
    EXPECT_EQ(Answers<Roof>(), Answer(0x101, 2));
    Skylight skylight;
    EXPECT_EQ(Answers<ShaftSide>(&skylight, 0), Answer(0x20000000001, 2));
    EXPECT_EQ(Answers<RoofGroup>(), Answer(0x800000000, 21));
    EXPECT_EQ(Answers<Stairs>(), Answer(0x20000000, 18));
    EXPECT_EQ(Answers<Fence>(), Answer(0x80000000, 23));
    EXPECT_EQ(Answers<Column>(), Answer(0x1080000000, 26));
    EXPECT_EQ(Answers<Terrain>(), Answer(0x8000000000, 28));
    EXPECT_EQ(Answers<TerrainNode>(), Answer(0x4000000000, -1));
    EXPECT_EQ(Answers<SlabCovering>(), Answer(0x802, -1));
    EXPECT_EQ(Answers<Dormer>(), Answer(0x200000402, -1));
    EXPECT_EQ(Answers<ShaftHole>(), Answer(0x40000000402, -1));
    EXPECT_EQ(Answers<SlabMolding>(), Answer(0x2000000000, -1));
    EXPECT_EQ(Answers<ParametricDoor>(nullptr), Answer(0x80000000000, -1));
}

TEST(ObjectTypes, SlabsAnswerTheirLockFlagAsRenderables) {
    Answering<Wall> wall;
    const RenderableObject& renderable = wall;
    EXPECT_FALSE(renderable.IsLocked());
    wall.SetLocked(true);
    EXPECT_TRUE(renderable.IsLocked());
}

}  // namespace
