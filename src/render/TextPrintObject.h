#pragma once

#include <string>

#include "foundation/LinkedList.h"
#include "geometry/Vector.h"

// One text label for the printed page: a text object hands it to the control while a
// view is captured for printing, instead of drawing it, and the page prints it as
// printer text. Its baseline runs from `start` to `end` in view coordinates.
class TextPrintObject : public LinkedListObject {
public:
    std::string faceName;
    // The text's size in view units.
    int height = 0;
    std::string text;
    // No background box: the page shows through.
    bool opaque = false;
    // A label the program made (not typed by the user).
    bool notUserDefined = false;
    Vector start;
    Vector end;
    // Red, green and blue, 0..1.
    Vector colour;
};
