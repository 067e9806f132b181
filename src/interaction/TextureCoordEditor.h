#pragma once

#include <cstdint>

#include "geometry/Vector.h"
#include "interaction/MouseHandler.h"
#include "model/Part.h"

class OutlineEdge;
class UndoableObject;

// Drags the texture of one part: the part's pop-up menu ("Move Material") hands the part
// over with SetPart; a left drag on that part moves its texture offset with the pointer,
// as one undo step of the object the part belongs to. A press on any other object hands
// the press to that object's own mode.
//
// On a part of an ordinary object the texture point under the pointer is read from the
// drawn texture coordinates, and the offset wraps into (-1, 1). On a surface of a slab
// the pointer's scene point is mapped through the slab's own texture mapping of the
// picked edge, and the offset follows without wrapping.
//
// Parts and objects are held by pick name, so one that goes meanwhile is never reached.
class TextureCoordEditor : public MouseHandler, public PartTextureEditor {
public:
    // Owners whose parts are surfaces for the offset drag: slabs, holes, coverings, steps.
    static constexpr uint64_t kSurfaceKinds = 0x40000C01ull;

    void SetPart(Part* part) override;
    void Activate() override;
    void Deactivate() override;
    void ReleaseTarget() override;
    void OnLButtonDown(intptr_t packedPoint) override;
    void OnMouseMove(intptr_t packedPoint) override;
    void OnLButtonUp(intptr_t packedPoint) override;

    // The part the menu handed over (null once it went).
    Part* GetEditedPart() const;
    // Whether a drag holds its undo group open.
    bool IsDragOpen() const { return groupOpen_; }

protected:
    // The mask that makes a part's owner a surface kind for this mode.
    virtual uint64_t SurfaceKinds() const { return kSurfaceKinds; }
    bool IsSurfacePart(const Part& part) const;
    // The part under the press, when it is the edited one; the drag's state is set up.
    // Answers false when the press went to another object's mode.
    bool BeginDrag(intptr_t packedPoint);
    // Whether a pointer move continues a drag (left only, no camera keys, past the press).
    bool IsDragMove() const;
    // Ends the drag's undo step (when its object is still there) and closes its group.
    void EndDrag();

    uint32_t editedPart_ = 0;
    uint32_t pickedPart_ = 0;
    uint32_t pickedEdge_ = 0;
    uint32_t stepObject_ = 0;
    bool groupOpen_ = false;
    Vector previousPoint_;
    Vector currentPoint_;
    Vector startPoint_;
    Vector startOffset_;

private:
    // The texture point of window point (x, y) on the surface part's slab along the
    // picked edge; false where there is none.
    bool SurfacePoint(Part& part, int x, int y, Vector& out);
};

// Drags the texture scale of the part the menu handed over ("Scale Material"): each
// pointer step to the right multiplies both repeat factors by 1.01, each step to the left
// by 0.99. Alt keeps the x factor, Shift the y factor.
class TextureCoordScaler : public TextureCoordEditor {
public:
    static constexpr int kCursor = 554;
    static constexpr uint64_t kScalerSurfaceKinds = 0x8040000801ull;
    static constexpr double kGrow = 1.01;
    static constexpr double kShrink = 0.99;

    void Activate() override;
    void OnMouseMove(intptr_t packedPoint) override;

protected:
    uint64_t SurfaceKinds() const override { return kScalerSurfaceKinds; }
};
