#pragma once

#include <string>

class BaseControl;

// Text defaults of the process (not a state), stored under "defaults\text\".
struct TextDefaults {
    std::string fontName = "Arial";
    double fontSize = 12.0;
    double red = 0.0;
    double green = 0.0;
    double blue = 0.0;
};
TextDefaults& theTextDefaults();

// The factory values of the control's default-settings states, the stored values over
// them, then the values that are fixed whatever was stored.
void SetFactoryDefaults(BaseControl& control);
// Reads "returnUser" (the low-frame-rate warning stays on only at a first run) and the
// stored states and text defaults; the sky colours are always the fixed ones.
void LoadStoredDefaults(BaseControl& control);
// Stores the global, counter, floor, wall, roof and molding states and the text
// defaults (fence, covering, column and fog defaults are never stored).
void SaveDefaults(BaseControl& control);
// Forgets every stored default and the recent files and applies the factory values,
// keeping the toolbar size (GlobalState integers 2 and 3).
void ResetToDefaults(BaseControl& control);
// Reads the OpenGL settings that the capability probe stored under "oglSettings\". True
// when every value was there and usable; a missing or unusable value leaves its slot.
bool ReadProbeSettings(BaseControl& control);
