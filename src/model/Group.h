#pragma once

#include <cstdint>
#include <string>

#include "foundation/LinkedList.h"
#include "foundation/UndoableObject.h"
#include "model/ObjectTypes.h"
#include "model/PlacedObject.h"

class KeyDataList;

// Command ids of a group's own menu.
namespace GroupCommand {
constexpr uint32_t kDelete = 104;
constexpr uint32_t kUngroup = 700;
}  // namespace GroupCommand

// Catalogue models and other groups bound into one top-level object that moves, rotates,
// hides, locks, copies and saves as a unit. Members keep their positions and rotations
// relative to the group; the group's box holds them all, relative to its position, and
// its rotation turns them about the box's mid-height. The group owns its members.
class Group : public PlacedObject<UndoableObject> {
public:
    // Groups nested deeper than this are broken up.
    static constexpr int kMaxDepth = 24;

    Group();
    // Deletes the members.
    ~Group() override;

    uint64_t GetTypeMask() const override { return TypeMask::kGroupObject; }

    // Takes a top-level model or group out of the scene into the members, growing the box
    // over its turned corners (in group space).
    void AddMember(RenderableObject* node);

    // Under the render lock: the selected models and groups of the scene (never lights)
    // become the group's members and the group stands in the scene, centred on their box.
    // A selection of one, or a nest too deep, is dissolved again at once. Deletes the group
    // and answers false when it does not stand in the scene afterwards.
    static bool CreateGroup(Group* group);
    // Under the render lock: the members go back to the scene at their world places,
    // selected, each recorded as new; the group leaves the scene for the deleted objects,
    // which the render thread frees (the group may be running its own menu command).
    static void Ungroup(Group* group);
    // A group of one member is dissolved (the answer is what remains of the member); a nest
    // too deep is broken up (the answer is null); else the group stays and is the answer.
    static SerializableObject* Simplify(Group* group);

    // Non-group members, counting the members of nested groups.
    int CountObjects() const;
    // 1 + the deepest member group's depth.
    int Depth() const;
    // Whether a member model, or a member of a nested group, has a blueprint icon.
    bool HasBlueprintIcon() const;

    void BuildPropertyMenu(platform::Menu& menu) override;
    // "Ungroup" (700) dissolves the group and is handled: nothing else may run the id on
    // a group that has left the scene.
    bool ProcessPropertyMenu(uint32_t id) override;

    RenderableObject* Clone() override;
    // Under the render lock: a copy through the key data, with members of their own. With
    // `offset` it stands one box width further along x; with `addToScene` it is appended
    // to the scene.
    Group* Clone(bool offset, bool addToScene);

    void Render() override;

    // A "Group" element: its own keys, "GroupObjects" with each member's element, the
    // snapping keys.
    void WriteKeyData() override;
    // Members found by their transaction id read their element again; others are made.
    bool ReadKeyData(KeyDataList& keys) override;
    // "<group>", each member's XML, "</group>".
    void WriteObjectInformation(std::string& buffer) override;
    // The source must be a group with as many members; each pair copies its information.
    void CopyObjectInformation(const SerializableObject& other) override;

    LinkedList& GetMembers() { return members; }
    const LinkedList& GetMembers() const { return members; }
    bool HasClearPart() const { return hasClearPart != 0; }

private:
    void DrawHandles(double size);

    LinkedList members;
    uint8_t hasClearPart = 0;
};
