#pragma once

#include <cstddef>

#include "platform/StringResources.h"

// The editor control's string resources.
const platform::StringTable& ControlStrings();

struct BitmapResource;

// The editor control's bitmap resources (the toolbar picture, 676), for
// SetBitmapResources; `count` gets the number of entries.
const BitmapResource* ControlBitmaps(size_t& count);
