#pragma once

// One saved view of the scene-state stack.
class SceneState {};
