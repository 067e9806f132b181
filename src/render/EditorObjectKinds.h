#pragma once

#include "control/SceneObjectKinds.h"

// The editor's answers for the kinds of scene object it has: lights are always fully on
// and make or flag their depth maps; groups count their models, nested groups' included.
// Stairs rebuild their steps; roof groups, walls and slabs answer nothing until those
// elements join the editor.
class EditorObjectKinds : public SceneObjectKinds {
public:
    double LightOnValue(const RenderableObject& light) const override;
    void CreateDepthMap(RenderableObject& light) const override;
    void SetDepthMapPending(RenderableObject& light, bool pending) const override;
    void RebuildStairs(RenderableObject& stairs) const override;
    void UpdateRoofGroupPeak(RenderableObject&) const override {}
    void RefreshDimensions(RenderableObject& wall) const override;
    void PassBlueprintScheme(RenderableObject&, int) const override {}
    int CountChildren(const RenderableObject& object) const override;
};

// The one instance, which the scene-wide operations use unless another is set.
const EditorObjectKinds& TheEditorObjectKinds();
