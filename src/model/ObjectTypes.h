#pragma once

#include <cstdint>

// Object-type masks. Every scene class answers one constant from GetTypeMask: its own
// bit ORed with the bits of the classes whose behaviour it shares. Code tests a mask
// with AND against one or more bits (hidden-type masks of views, visibility commands,
// picking filters). Bits 9, 13, 17, 27 and 44 are not used.
namespace TypeBit {
constexpr uint64_t kSlab = 0x1;
constexpr uint64_t kSlabChild = 0x2;
constexpr uint64_t kModel = 0x4;
constexpr uint64_t kCatalogueModel = 0x8;
constexpr uint64_t kInSlab = 0x10;
constexpr uint64_t kOnSlab = 0x20;
constexpr uint64_t kWall = 0x40;
constexpr uint64_t kFloor = 0x80;
constexpr uint64_t kRoof = 0x100;
constexpr uint64_t kHole = 0x400;
constexpr uint64_t kCovering = 0x800;
constexpr uint64_t kOutlineNode = 0x1000;
constexpr uint64_t kModelPart = 0x4000;
constexpr uint64_t kOutlineEdge = 0x8000;
constexpr uint64_t kPartGroup = 0x10000;
constexpr uint64_t kSlabChildModel = 0x40000;
constexpr uint64_t kGroup = 0x80000;
constexpr uint64_t kGrid = 0x100000;
constexpr uint64_t kRotationHandle = 0x200000;
constexpr uint64_t kLight = 0x400000;
constexpr uint64_t kDimension = 0x800000;
constexpr uint64_t kText = 0x1000000;
constexpr uint64_t kAsymmetric = 0x2000000;
constexpr uint64_t kCounter = 0x4000000;
constexpr uint64_t kTraceImage = 0x10000000;
constexpr uint64_t kStairs = 0x20000000;
constexpr uint64_t kStep = 0x40000000;
constexpr uint64_t kFence = 0x80000000;
constexpr uint64_t kSkylight = 0x100000000;
constexpr uint64_t kDormer = 0x200000000;
constexpr uint64_t kDormerWall = 0x400000000;
constexpr uint64_t kRoofGroup = 0x800000000;
constexpr uint64_t kColumn = 0x1000000000;
constexpr uint64_t kMolding = 0x2000000000;
constexpr uint64_t kTerrainNode = 0x4000000000;
constexpr uint64_t kTerrain = 0x8000000000;
constexpr uint64_t kCameraIcon = 0x10000000000;
constexpr uint64_t kShaftSide = 0x20000000000;
constexpr uint64_t kShaftHole = 0x40000000000;
constexpr uint64_t kParametricOpening = 0x80000000000;
constexpr uint64_t kBlueprintIcon = 0x200000000000;
}  // namespace TypeBit

// The mask of each scene class.
namespace TypeMask {
constexpr uint64_t kBaseSlab = TypeBit::kSlab;
constexpr uint64_t kEditableSlabChild = TypeBit::kSlabChild;
constexpr uint64_t kBaseModel = TypeBit::kModel;
constexpr uint64_t kEnvironmentObject = TypeBit::kModel;
constexpr uint64_t kModelObject = TypeBit::kModel | TypeBit::kCatalogueModel;  // Model, SubObject
constexpr uint64_t kSlabChildModel = TypeBit::kModel | TypeBit::kSlabChildModel;
constexpr uint64_t kInSlabObject = TypeBit::kModel | TypeBit::kInSlab | TypeBit::kSlabChildModel;
constexpr uint64_t kOnSlabObject = TypeBit::kModel | TypeBit::kOnSlab | TypeBit::kSlabChildModel;
constexpr uint64_t kWall = TypeBit::kSlab | TypeBit::kWall;
constexpr uint64_t kFloor = TypeBit::kSlab | TypeBit::kFloor;
constexpr uint64_t kRoof = TypeBit::kSlab | TypeBit::kRoof;
constexpr uint64_t kSlabHole = TypeBit::kSlabChild | TypeBit::kHole;
constexpr uint64_t kSlabCovering = TypeBit::kSlabChild | TypeBit::kCovering;
constexpr uint64_t kOutlinePoint = TypeBit::kOutlineNode;  // also LinkedWallPoint
constexpr uint64_t kPart = TypeBit::kModelPart;            // also StairPart
constexpr uint64_t kOutlineEdgeObject = TypeBit::kOutlineEdge;
constexpr uint64_t kPartGroupObject = TypeBit::kPartGroup;  // also SubObjectPart
constexpr uint64_t kGroupObject = TypeBit::kGroup;
constexpr uint64_t kGridObject = TypeBit::kGrid;
constexpr uint64_t kRotationHandleObject = TypeBit::kRotationHandle;
constexpr uint64_t kLightSource = TypeBit::kModel | TypeBit::kCatalogueModel | TypeBit::kLight;
constexpr uint64_t kDimensionObject = TypeBit::kDimension;
constexpr uint64_t kTextObject = TypeBit::kText;
constexpr uint64_t kAsymmetricSlabObject = kInSlabObject | TypeBit::kAsymmetric;
constexpr uint64_t kCounter = TypeBit::kSlab | TypeBit::kCounter;  // not the floor bit
constexpr uint64_t kTraceImageModel =
    TypeBit::kModel | TypeBit::kCatalogueModel | TypeBit::kTraceImage;
constexpr uint64_t kStairs = TypeBit::kStairs;
constexpr uint64_t kStep = TypeBit::kStep;
constexpr uint64_t kFence = TypeBit::kFence;
constexpr uint64_t kSkylight = kAsymmetricSlabObject | TypeBit::kSkylight;
constexpr uint64_t kDormer = kSlabHole | TypeBit::kDormer;
constexpr uint64_t kDormerWall = kWall | TypeBit::kDormerWall;
constexpr uint64_t kRoofGroup = TypeBit::kRoofGroup;
constexpr uint64_t kColumn = TypeBit::kFence | TypeBit::kColumn;
constexpr uint64_t kMolding = TypeBit::kMolding;  // BaseMolding, SlabMolding
constexpr uint64_t kTerrainNode = TypeBit::kTerrainNode;
constexpr uint64_t kTerrain = TypeBit::kTerrain;
constexpr uint64_t kCameraIndicatorIcon = TypeBit::kCameraIcon;
constexpr uint64_t kShaftSide = TypeBit::kSlab | TypeBit::kShaftSide;
constexpr uint64_t kShaftHole = kSlabHole | TypeBit::kShaftHole;
constexpr uint64_t kParametricInSlabObject =
    TypeBit::kParametricOpening;  // and doors, window frames
constexpr uint64_t kBlueprintIconObject = TypeBit::kBlueprintIcon;

// Every type: what showing all types again passes (low word 0xFFFFFFFF, high word
// 0x0FFFFFFF).
constexpr uint64_t kAllTypes = 0x0FFFFFFFFFFFFFFFull;
}  // namespace TypeMask

// The number that a top-level object answers from GetKindCode: the mouse mode that
// edits it. Models, sub-objects, trace images, lights, groups and the camera icon
// answer 0; a grid answers its owner's.
namespace KindCode {
constexpr int kNone = 0;
constexpr int kFloor = 1;
constexpr int kRoof = 2;
constexpr int kShaftSide = 2;
constexpr int kWall = 3;  // also dormer walls
constexpr int kDimension = 8;
constexpr int kText = 9;
constexpr int kCounter = 10;
constexpr int kStairs = 18;
constexpr int kRoofGroup = 21;
constexpr int kFence = 23;
constexpr int kColumn = 26;
constexpr int kTerrain = 28;
}  // namespace KindCode
