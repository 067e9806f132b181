#pragma once

class RenderableObject;

// What the control's scene-wide operations ask of particular kinds of scene object
// (lights, stairs, roof groups, walls, slabs, groups), found by their type masks. The
// editor's own answerer serves unless another is set.
class SceneObjectKinds {
public:
    virtual ~SceneObjectKinds() = default;

    // Lights (type bit 0x400000): how far the light is switched on (1.0 fully on); its
    // shadow depth map made now (with a context current), or flagged to be made later.
    virtual double LightOnValue(const RenderableObject& light) const = 0;
    virtual void CreateDepthMap(RenderableObject& light) const = 0;
    virtual void SetDepthMapPending(RenderableObject& light, bool pending) const = 0;
    // Stairs regenerate their geometry.
    virtual void RebuildStairs(RenderableObject& stairs) const = 0;
    // A roof group sets its peak centre again and flips its peak-update switch.
    virtual void UpdateRoofGroupPeak(RenderableObject& roofGroup) const = 0;
    // A wall rebuilds its dimension labels.
    virtual void RefreshDimensions(RenderableObject& wall) const = 0;
    // A slab passes the blueprint colour scheme to the children of its child lists.
    virtual void PassBlueprintScheme(RenderableObject& slab, int scheme) const = 0;
    // The children of a slab's child lists, or the members of a group.
    virtual int CountChildren(const RenderableObject& object) const = 0;
};

// Null gives the editor's own answerer back.
void SetSceneObjectKinds(const SceneObjectKinds* kinds);
// Never null.
const SceneObjectKinds* GetSceneObjectKinds();
