#pragma once

#include "building/Wall.h"
#include "model/ObjectTypes.h"

class Dormer;
class Roof;

// One of the three walls of a dormer: a wall standing on a roof plane, built and moved
// by its dormer and linked to the dormer's other walls. Its lock, its undo steps and its
// delete command belong to the dormer's roof (and from a grouped roof to the group); the
// dormer writes it in its own element. The dormer is not owned; it is null once the
// dormer is gone.
class DormerWall : public Wall {
public:
    // The wall made by its dormer: nodes begin bottom, end bottom, end top, begin top.
    DormerWall(const Vector points[4], Dormer* owner);
    // For a dormer reading its walls; the keys come next.
    explicit DormerWall(Dormer* owner = nullptr);
    // The dormer forgets it.
    ~DormerWall() override;

    uint64_t GetTypeMask() const override { return TypeMask::kDormerWall; }
    uint64_t GetStateTypeMask() const override { return TypeMask::kDormerWall; }
    int GetKindCode() const override { return KindCode::kWall; }

    // "Lock" goes to the roof (and its group), "Delete" to the dormer.
    bool ProcessPropertyMenu(uint32_t id) override;
    // The roof's lock; false without a dormer.
    bool IsLocked() const override;
    // A wall of a dormer never leaves a list on its own (false).
    bool RemoveFromList(LinkedList& list) override;
    // Takes the wall out of the scene; false when it was not in it.
    bool RemoveFromScene();
    void BeginUndoStep() override;
    void EndUndoStep() override;
    void CancelUndoStep() override;
    // Nothing: the dormer writes its walls with Write.
    void WriteKeyData() override;
    // The wall's own element ("Wall").
    void Write();
    // Hidden while the roof is, while it is dragged, and while its dormer is edited as
    // an outline.
    bool IsShownInCurrentView() override;
    // Slides along the wall's normal only; a slide that leaves this wall or a linked
    // neighbour invalid is taken back.
    void MoveSlabBy(double dx, double dy, double dz, bool constrained) override;
    void CullAgainstSlab(bool slabsOnly) override;

    // Moves the whole wall with its dormer; the joints follow.
    void MoveBy(const Vector& offset) override;
    // Raises the foot by dy while the top stays; the horizontal part slides the wall.
    void Raise(double dx, double dy, double dz);

    Dormer* GetDormer() const { return dormer; }
    void SetDormer(Dormer* owner) { dormer = owner; }
    // The roof the dormer is cut into; null without one.
    Roof* GetRoof() const;

private:
    // The joints take the end nodes' positions.
    void FollowJoints();

    Dormer* dormer = nullptr;
};
