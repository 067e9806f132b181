#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "model/ObjectTypes.h"
#include "slabs/InSlabObject.h"

class KeyDataList;
class ShaftHole;
class ShaftSide;
namespace platform {
class Menu;
}

// A catalogue window set into a roof, with an optional light shaft down to a ceiling,
// floor or wall below. The shaft is a hole in the bottom slab (owned by that slab) and
// one side wall per edge of the skylight's opening (owned by the skylight, and top-level
// objects of the scene besides). A skylight in a roof flatter than its minimum angle is
// tilted up to it.
class Skylight : public AsymmetricSlabObject {
public:
    // Menu commands.
    static constexpr uint32_t kPerpendicularToRoof = 1900;
    static constexpr uint32_t kVertical = 1901;
    static constexpr uint32_t kFlared = 1902;
    static constexpr uint32_t kDeleteShaft = 1903;
    static constexpr uint32_t kNoFlare = 1904;
    static constexpr uint32_t kFlare15 = 1905;
    static constexpr uint32_t kFlare30 = 1906;
    // The mouse mode that asks for the shaft's bottom.
    static constexpr int kShaftMode = 30;
    static constexpr uint32_t kShaftDoesNotFit = 269;

    Skylight();
    // Deletes the shaft.
    ~Skylight() override;

    uint64_t GetTypeMask() const override { return TypeMask::kSkylight; }
    uint64_t GetStateTypeMask() const override { return TypeMask::kSkylight; }

    // "Create Shaft" without a shaft, "Delete Shaft" and "Set Flare Angle" with one, then
    // the in-slab entries.
    void BuildPropertyMenu(platform::Menu& menu) override;
    bool ProcessPropertyMenu(uint32_t id) override;
    // The flare commands, for this menu and the sides'.
    static void AppendFlareItems(platform::Menu& menu);

    RenderableObject* Clone() override;
    RenderableObject* CloneChild(bool offset, bool attach) override;
    InSlabObject* NewOfSameKind() const override { return new Skylight; }
    void Translate(const Vector& delta) override;
    // With sides, the move goes through the first side (which moves the hole too).
    void MoveBy(const Vector& delta) override;
    void SetRotation(double degrees) override;
    void AddRotation(double degrees) override;
    // Sizes stay those of the catalogue model.
    bool SetScale(double) override { return false; }
    void BuildOpening() override;
    int OnDownloadComplete() override;

    void WriteKeyData() override;
    bool ReadKeyData(KeyDataList& keys) override;
    void WriteObjectInformation(std::string& buffer) override;

    UndoableObject* GetLinkedObject() const override;
    void SetLinkedObject(UndoableObject* object) override;

    // The shaft-creation mode's hole: sides are made for it. Null deletes the shaft. A
    // skylight that has a shaft already loses it first.
    void SetShaft(ShaftHole* hole);
    // The hole read from a plan or made for a copy: pending sides are read, and every
    // side takes the hole.
    void AttachShaft(ShaftHole* hole);
    // Takes the hole out of its slab and deletes it and the sides; shaft type 0.
    void DeleteShaft();
    // Every side rebuilds from the opening and the hole.
    void UpdateSides();
    // The move of the skylight and its sides, without going through a side.
    void MoveWithoutDelegation(const Vector& delta);
    // The opening rebuilds (after a change of the shaft's flare).
    void RebuildOpening();
    // The hole or a side is going: the skylight drops what refers to it.
    void ForgetShaftHole(ShaftHole* hole);
    void ForgetSide(ShaftSide* side);
    // Reads the "SideList" into the sides, made when missing.
    void LoadSides(KeyDataList& list);

    ShaftHole* GetShaft() const { return shaft; }
    const std::vector<ShaftSide*>& GetSides() const { return sides; }
    int GetShaftType() const { return shaftType; }
    void SetShaftType(int type) { shaftType = type; }
    bool IsRectangular() const { return isRectangular; }
    double GetTiltAngle() const { return tiltAngle; }
    double GetMinAngle() const { return minAngle; }
    void SetMinAngle(double degrees) { minAngle = degrees; UpdateTilt(); }

private:
    void CreateSides();
    // The sides leave the scene and are deleted.
    void DeleteSides();
    // The rectangle test and edge list from the opening's outline.
    void UpdateShape();
    // The tilt towards the minimum angle for the roof's pitch.
    void UpdateTilt();
    void ChangeFlare(uint32_t id);
    void DeleteShaftCommand();

    ShaftHole* shaft = nullptr;
    std::vector<ShaftSide*> sides;
    std::unique_ptr<KeyDataList> pendingSideList;
    double minAngle = 0.0;
    double maxAngle = 0.0;
    bool isRectangular = false;
    int shaftType = 0;
    std::vector<int> edgeIndexList;
    double tiltAngle = 0.0;
};

// A new, empty skylight for the slab's loader.
RenderableObject* MakeSkylight();
