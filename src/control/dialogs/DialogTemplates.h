#pragma once

#include <cstdint>

namespace platform {
class DialogBox;
}

// The control's dialog templates: fills `box` with the caption and controls of template
// `id` (a dialog or a page of the preferences). False, leaving the box as it was, for an
// id the control has no template for.
bool LoadDialogTemplate(uint32_t id, platform::DialogBox& box);
