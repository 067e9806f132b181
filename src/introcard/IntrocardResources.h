#pragma once

#include <cstdint>
#include <functional>

#include "platform/ImageDecoder.h"

// The bitmaps of the splash library.
inline constexpr uint32_t kSplashBitmapId = 202;

// Decodes bitmap `id` into 3-byte RGB pixels; false when there is no such bitmap or it
// does not decode.
bool LoadBitmapResource(uint32_t id, platform::DecodedImage& image);

// Puts another source in place of the library's bitmaps (tests); empty restores them.
using BitmapSource = std::function<bool(uint32_t id, platform::DecodedImage& image)>;
void SetBitmapSourceForTesting(BitmapSource source);
