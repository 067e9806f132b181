#pragma once

// The textures of the control, shared by URL.
class TextureList {};
