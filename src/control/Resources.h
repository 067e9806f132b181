#pragma once

#include "platform/StringResources.h"

// The editor control's string resources.
const platform::StringTable& ControlStrings();
