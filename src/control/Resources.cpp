#include "control/Resources.h"

#include <iterator>

#include "render/Bitmap.h"

// The toolbar picture, compiled in from control/bars/Toolbar.png.
extern const unsigned char kToolbarBitmap[];
extern const size_t kToolbarBitmapSize;

namespace {

const platform::StringResource kStrings[] = {
    {202, "File"},
    {203, "Edit"},
    {204, "View"},
    {205, "Build"},
    {206, "Help"},
    {208, "NULL"},
    // Toolbar buttons 1 to 29.
    {213, "Selection"},
    {214, "Selection"},
    {215, "Floor"},
    {216, "Floor"},
    {217, "Floor"},
    {218, "Exterior Wall"},
    {219, "Exterior Wall"},
    {220, "NULL"},
    {221, "NULL"},
    {222, "Orbit"},
    {223, "Orbit"},
    {224, "Orbit"},
    {225, "Orbit"},
    {226, "Zoom"},
    {227, "Zoom"},
    {228, "Zoom"},
    {229, "Pan"},
    {230, "Pan"},
    {231, "Walk: Arrow keys move. Mouse steers."},
    {232, "Walk: Arrow keys move. Mouse steers."},
    {233, "NULL"},
    {234, "NULL"},
    {235, "3D"},
    {236, "3D"},
    {237, "3D"},
    {238, "3D"},
    {239, "Blueprint"},
    {240, "Blueprint"},
    {241, "Blueprint"},
    {243,
     "Change this fence by dragging and dropping styles from Index->Building Materials->Fences"},
    {244, "Object is locked.  Do you want to unlock it?"},
    {245, "Showing smoothed frame..."},
    {246, "LOCKED (right click to unlock)"},
    {247, "Area "},
    {248, "Corners "},
    {249, "Altitude "},
    {250, "Thickness "},
    {251, "Length "},
    {252, "Height "},
    {253, "Smoothing..."},
    {254, "Smoothing off"},
    {257,
     "Change this column by dragging and dropping styles from Index->Building Materials->Posts "
     "& Columns"},
    {258,
     "Change molding shape by:\n1. Right clicking it and choosing \"Change Shape\"\n2. Dragging "
     "molding shapes onto it from Directory->Building Materials->Molding category\n"},
    {259, "Vendor limits material changes on this object"},
    {260, "There is currently no image to resize"},
    {261,
     "Resizing beyond the window to this size may result in extremely slow frame rates.  To "
     "restore original frame rate, resize window to a smaller size."},
    {262, "This object is locked.  Do you still want to apply the texure changes?"},
    {263,
     "One or more of these objects are locked.  Do you want to apply texture changes to the "
     "locked objects?"},
    {264, "Click on desired surface to complete shaft drawing"},
    {265, "You must choose either a wall or a floor (ceiling)."},
    {266,
     "You must click on a surface other than the one that the skylight is embedded in."},
    {267, "The skylight must be higher than the chosen surface."},
    {268, "You've selected a wall, the shaft cannot be drawn perpendicular to a wall."},
    {269, "The shaft doesn't fit on the selected slab"},
    {270, "The selected surface is locked.  Please, unlock it and try again."},
    {275,
     "More than one monitor was found.  The editor may not draw or respond properly while "
     "several monitors are in use."},
    {276, "Couldn't duplicate one or more selected objects"},
    {277,
     "The selected printer is currently unavailable.  Please check that the printer is on and "
     "connected and try again."},
    {278,
     "There was an unknown error while attempting to communicate with the printer.  Please "
     "check the printer status and try again."},
    {279, "Floor objects cannot be added in elevation view."},
    {280, "Position object on ground, table or any other surface before releasing mouse button."},
    {281, "Drag over any existing wall, floor, or countertop to add this object."},
    {282,
     "Drag over any existing wall to insert.  Hold shift to insert into a floor or countertop."},
    {283, "Drag over any existing wall, floor or countertop to add this object."},
    {286, "Drop on any surface to change the material."},
    {287,
     "Drop on any surface to change the material or drop on a spotlight to create a projection."},
    {288, "Drop on any surface to change its color."},
    {291, "The door must be closed in order to reposition the doorknob"},
    {292, "You must be in 3D mode to move the doorknob"},
    {293, "Save file before loading new scene?"},
    {294, "A plan merge cannot be undone.  Are you sure you want to merge this plan?"},
    {295, "File could not be saved."},
    {296, "Depth "},
    {297, "Width "},
    {298, "Success.  Walls will now draw to scale."},
    {299, "Scaling failed.  Please try again."},
    {300, "Use arrow keys and mouse to move around.  Click mouse to exit."},
    {301, "Invalid Position"},
    {302, "Grouped object.  Choose Ungroup from the Edit menu to separate."},
    {303, "Draw materials on walls, floors, countertops and roofs."},
    {304, "Cut holes by clicking and dragging on walls, floors, countertops and roofs."},
    {305,
     "Click on at least three red handles one at a time to create roof segments. Double-click "
     "to edit."},
    {306, "*All values are in inches unless otherwise indicated."},
    {307, "*All values are in centimeters unless otherwise indicated."},
    {308,
     "We've noticed you're new to Kivora.\nWould you like to see some simple tips to make "
     "editing more responsive?"},
    {310,
     " Are you sure you want to delete this light? Press \"L\" or choose \"Turn Off Lights and "
     "Shadows\" from the Lights and Shadows menu to turn off lights without deleting them."},
    {311,
     "To apply materials to a small part of a wall, floor, roof or countertop,\nchoose \"Draw Material\" from the build menu."},
    {312, "Enter length of a reference wall. Press OK. Draw line along length of wall."},
};

constexpr platform::StringTable kTable(kStrings, std::size(kStrings));

const BitmapResource kBitmaps[] = {
    {676, kToolbarBitmap, kToolbarBitmapSize},
};

}  // namespace

const platform::StringTable& ControlStrings() {
    return kTable;
}

const BitmapResource* ControlBitmaps(size_t& count) {
    count = std::size(kBitmaps);
    return kBitmaps;
}
