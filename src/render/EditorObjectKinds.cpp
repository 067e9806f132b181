#include "render/EditorObjectKinds.h"

#include "building/Stairs.h"
#include "building/Wall.h"
#include "model/Group.h"
#include "render/LightSource.h"

double EditorObjectKinds::LightOnValue(const RenderableObject&) const {
    // Lights have no dimmer: every light is fully on.
    return 1.0;
}

void EditorObjectKinds::CreateDepthMap(RenderableObject& light) const {
    if (auto* source = dynamic_cast<LightSource*>(&light)) source->CreateDepthMap();
}

void EditorObjectKinds::SetDepthMapPending(RenderableObject& light, bool pending) const {
    if (auto* source = dynamic_cast<LightSource*>(&light)) source->depthMapStale = pending ? 1 : 0;
}

void EditorObjectKinds::RefreshDimensions(RenderableObject& wall) const {
    if (auto* w = dynamic_cast<Wall*>(&wall)) w->RefreshDimensions();
}

int EditorObjectKinds::CountChildren(const RenderableObject& object) const {
    if (auto* group = dynamic_cast<const Group*>(&object)) return group->CountObjects();
    return 0;
}

const EditorObjectKinds& TheEditorObjectKinds() {
    static const EditorObjectKinds kinds;
    return kinds;
}

void EditorObjectKinds::RebuildStairs(RenderableObject& object) const {
    if (auto* stairs = dynamic_cast<Stairs*>(&object)) stairs->UpdateSteps();
}
