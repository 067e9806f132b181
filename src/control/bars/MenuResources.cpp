#include "control/bars/MenuResources.h"

#include <iterator>
#include <vector>

#include "platform/Menu.h"

namespace {

// One line of a menu template: a command (id and text), a separator (id 0, no text),
// the start of a sub-menu (kSub with its text) or its end (kEnd).
struct Line {
    uint32_t id;
    const char* text;
};

constexpr uint32_t kSub = 0xFFFFFFFF;
constexpr uint32_t kEnd = 0xFFFFFFFE;
constexpr Line kSeparator = {0, nullptr};

const Line kFile[] = {
    {100, "New..."},
    {101, "Building Wizard..."},
    {102, "Room Wizard..."},
    {103, "Open..."},
    {104, "Merge External File With This Plan..."},
    kSeparator,
    {130, "Save\tCtrl+S"},
    {131, "Save As..."},
    kSeparator,
    {142, "Print..."},
    {143, "Export Photo File..."},
    {147, "Import Trace File..."},
    {470, "List of Materials..."},
    kSeparator,
    {kSub, kRecentFilesText},
    {kEnd, nullptr},
    kSeparator,
    {190, "Exit"},
};

const Line kEdit[] = {
    {200, "Undo"},
    {201, "Redo"},
    {202, "Undo View Change"},
    {203, "Redo View Change"},
    kSeparator,
    {204, "Cut"},
    {205, "Copy"},
    {206, "Paste"},
    {220, "Duplicate\tCtrl+D"},
    kSeparator,
    {230, "Group"},
    {231, "Ungroup"},
    {232, "Multiple Select\tCtrl+M"},
    {235, "Copy Color and Material\tC"},
    kSeparator,
    {233, "Snap To"},
    {234, "Enable Gravity\tG"},
    {237, "Change All Dimensions To..."},
    {290, "Move Entire Plan..."},
    {250, "Edit Terrain\tU"},
    kSeparator,
    {240, "Preferences..."},
};

// Sub-menus 12 and 17 both carry the light boxes and the compass.
const Line kView[] = {
    {301, "3D Perspective"},
    {302, "Blueprint"},
    {303, "Overhead"},
    {304, "Elevation"},
    kSeparator,
    {313, "Orbit\tO"},
    {314, "Zoom"},
    {315, "Pan\tP"},
    {317, "Walk\tK"},
    {318, "Step Into View\tB"},
    {kSub, "Field of View"},
    {390, "20\xC2\xB0 - Tunnel Vision"},
    {391, "30\xC2\xB0"},
    {392, "40\xC2\xB0"},
    {393, "50\xC2\xB0 - Normal"},
    {394, "60\xC2\xB0"},
    {395, "70\xC2\xB0"},
    {396, "80\xC2\xB0 - Wide Angle"},
    {kEnd, nullptr},
    kSeparator,
    {kSub, "Show/Hide"},
    {353, "Floors (all)"},
    {352, "Floors (except current)"},
    {351, "Roofs\tR"},
    {354, "Walls"},
    {356, "Fences and Posts"},
    kSeparator,
    {357, "Free Objects"},
    {358, "Cabinets and Other Connected Objects"},
    {359, "Doors and Windows"},
    {349, "Molding"},
    {228, "Sky"},
    kSeparator,
    {363, "Light Boxes\tCtrl+F"},
    {360, "Compass"},
    {362, "Menus and Controls\tTab"},
    {361, "Grid"},
    {368, "Dimensions\tD"},
    {705, "Frame Rate (FPS)\tF8"},
    {706, "Orbit Crosshairs"},
    {kEnd, nullptr},
    {332, "Show All\tA"},
    {331, "Show Last Hidden\tN"},
    kSeparator,
    {kSub, "Favorite Views"},
    {kSub, "Add To Favorites As"},
    {305, "View 1"},
    {306, "View 2"},
    {307, "View 3"},
    {372, "View 4"},
    {373, "View 5"},
    {374, "View 6"},
    {376, "View 7"},
    {377, "View 8"},
    {378, "View 9"},
    {kEnd, nullptr},
    kSeparator,
    {308, "View 1"},
    {309, "View 2"},
    {310, "View 3"},
    {324, "View 4"},
    {325, "View 5"},
    {326, "View 6"},
    {327, "View 7"},
    {328, "View 8"},
    {329, "View 9"},
    {kEnd, nullptr},
    {kSub, "Display"},
    {363, "Light Boxes\tCtrl+F"},
    {360, "Compass"},
    {335, "Rotate Counterclockwise 22.5\xC2\xB0"},
    {336, "Rotate Clockwise 22.5\xC2\xB0"},
    kSeparator,
    {371, "Smooth Edges (Antialias)\tS"},
    {375, "Sky Properties"},
    {355, "Fog Properties"},
    {379, "Full CPU Throttle"},
    {kSub, "Blueprint Colors"},
    {700, "Earth"},
    {701, "Blues"},
    {702, "Wine"},
    {703, "Seaside"},
    {704, "Greyscale"},
    {32812, "Black && White"},
    {kEnd, nullptr},
    {kEnd, nullptr},
    {kSub, "Lights and Shadows"},
    {226, "Turn Off Lights and Shadows\tL"},
    {224, "Turn Off Reflections\tM"},
    {386, "Put Active Light Here\tF"},
    {707, "Active Light Properties..."},
    {333, "Refresh"},
    {kEnd, nullptr},
    kSeparator,
    {321, "Reset to Start View"},
    {345, "View From Above"},
    {323, "Fit Plan To View\tX"},
};

const Line kBuild[] = {
    {kSub, "Walls"},
    {401, "Exterior\tW"},
    {402, "Exterior Unlinked\tCtrl+W"},
    {403, "Interior\tI"},
    {404, "Interior Unlinked\tCtrl+I"},
    {kEnd, nullptr},
    {411, "Draw Floor"},
    {433, "Draw Countertop"},
    {kSub, "Roofs"},
    {422, "Draw Roof"},
    {421, "Construct Roof (custom)"},
    {423, "Draw Dormer"},
    {kEnd, nullptr},
    {441, "Draw Stairs"},
    {kSub, "Fences"},
    {434, "Guardrail"},
    {435, "Picket"},
    {436, "Privacy"},
    {437, "Ranch"},
    {438, "Wrought Iron"},
    {kEnd, nullptr},
    {444, "Draw Posts and Columns"},
    {kSub, "Molding"},
    {471, "Rectangle"},
    {472, "Half Oval"},
    {473, "Oval (log)"},
    {474, "Rounded Rectangle"},
    {475, "Use Last Molding Shape"},
    {kEnd, nullptr},
    kSeparator,
    {480, "Draw Material"},
    {32813, "Draw Mirror (turns on reflections)"},
    {481, "Cut Hole"},
    {482, "Draw Window (custom)"},
    {492, "Draw Door (custom)"},
    kSeparator,
    {451, "Insert Custom Dimension"},
    {452, "Insert Text"},
    {453, "Tape Measure\tT"},
    {709, "Draw Plumb Line at Tape\tCtrl+K"},
    {32811, "Erase All Plumb Lines"},
    kSeparator,
    {424, "Insert New Light and Make Active"},
    {400, "Restore Deleted Sun"},
    kSeparator,
    {kSub, "Work Grid"},
    {461, "Move Work Grid Up\tPage Up"},
    {462, "Move Work Grid Down\tPage Dn"},
    kSeparator,
    {483, "First Floor\t1"},
    {484, "Second Floor\t2"},
    {485, "Third Floor\t3"},
    {486, "Fourth Floor\t4"},
    {487, "Fifth Floor\t5"},
    {488, "Sixth Floor\t6"},
    {489, "Seventh Floor\t7"},
    {490, "Eighth Floor\t8"},
    {491, "Ninth Floor\t9"},
    {32814, "Other..."},
    {kEnd, nullptr},
};

const Line kHelp[] = {
    {500, "Online Manual...\tCtrl+H"},
    {501, "Tips and Ideas..."},
    {502, "Member Information Page..."},
    {590, "My Account..."},
    kSeparator,
    {560, "About Kivora..."},
    {561, "Uninstall Kivora"},
};

template <size_t N>
std::unique_ptr<platform::Menu> Build(const Line (&lines)[N]) {
    auto menu = std::make_unique<platform::Menu>();
    std::vector<platform::Menu*> open{menu.get()};
    for (const Line& line : lines) {
        platform::Menu& into = *open.back();
        if (line.id == kSub)
            open.push_back(&into.AppendSubmenu(line.text));
        else if (line.id == kEnd)
            open.pop_back();
        else if (line.id == 0)
            into.AppendSeparator();
        else
            into.AppendItem(line.id, line.text);
    }
    return menu;
}

}  // namespace

std::unique_ptr<platform::Menu> LoadControlMenu(uint32_t id) {
    switch (id) {
        case 202:
            return Build(kFile);
        case 203:
            return Build(kEdit);
        case 204:
            return Build(kView);
        case 205:
            return Build(kBuild);
        case 206:
            return Build(kHelp);
        default:
            return nullptr;
    }
}
