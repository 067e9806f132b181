#include "control/dialogs/DialogTemplates.h"

#include <initializer_list>
#include <string>

#include "platform/DialogBox.h"

using platform::ControlKind;
using platform::DialogBox;
using platform::Rect;

namespace {

// Fills one template: every control is placed by its id; only pictures whose areas are
// hit-tested or painted carry a rectangle.
struct Builder {
    DialogBox& box;

    void Caption(const char* text) { box.SetCaption(text); }
    void Static(uint32_t id, const char* text = "") { box.Add(ControlKind::Static, id, text); }
    void Statics(std::initializer_list<uint32_t> ids) {
        for (uint32_t id : ids) Static(id);
    }
    void Picture(uint32_t id, int left, int top, int width, int height) {
        box.Add(ControlKind::Picture, id, {}, Rect{left, top, left + width, top + height});
    }
    void Group(uint32_t id, const char* text) { box.Add(ControlKind::Group, id, text); }
    void Button(uint32_t id, const char* text) { box.Add(ControlKind::Button, id, text); }
    void Check(uint32_t id, const char* text) { box.Add(ControlKind::CheckBox, id, text); }
    void Radio(uint32_t id, const char* text, int group) {
        box.Add(ControlKind::RadioButton, id, text).group = group;
    }
    void Edit(uint32_t id) { box.Add(ControlKind::Edit, id); }
    void Edits(std::initializer_list<uint32_t> ids) {
        for (uint32_t id : ids) Edit(id);
    }
    void Slider(uint32_t id) { box.Add(ControlKind::Slider, id); }
    void DropList(uint32_t id, bool sorted) { box.Add(ControlKind::DropList, id).sorted = sorted; }
    void Tabs(uint32_t id) { box.Add(ControlKind::Tabs, id); }
    void OkCancel() {
        Button(1, "OK");
        Button(2, "Cancel");
    }
    void OkCancelApply() {
        OkCancel();
        Button(235, "Apply");
    }
};

void LengthEntry(Builder& b) {
    b.Caption("Kivora");
    b.Static(211);
    b.Edits({212, 213, 214});
    b.Static(218, "ft.");
    b.Static(216, "in.");
    b.Static(219, "cm");
}

void LenWidHgt(Builder& b) {
    LengthEntry(b);
    b.Static(226, "Length");
    b.Static(227, "Width");
    b.Edits({229, 231, 234});
    b.Static(230, "ft.");
    b.Static(232, "in.");
    b.Static(236, "cm");
    b.Static(228, "Height");
    b.Edits({221, 222, 225});
    b.Static(223, "ft.");
    b.Static(224, "in.");
    b.Static(233, "cm");
    b.OkCancelApply();
}

void Preferences(Builder& b) {
    b.Caption("Kivora Preferences");
    b.Tabs(300);
    b.Button(236, "Restore Defaults");
    b.OkCancelApply();
    b.Static(377);
}

void MaterialFields(Builder& b) {
    b.Edits({251, 252});
    b.Static(256, "Y%");
    b.Edit(250);
    b.Static(0xFFFF, "&Reflectivity% (0/none - 100/mirror)");
    b.Check(254, "&Constrain Proportions");
    b.Picture(249, 120, 20, 23, 33);
    b.Edit(255);
    b.OkCancelApply();
}

void SlabFields(Builder& b) {
    MaterialFields(b);
    b.Edit(270);
    b.Static(295, "Height");
    b.Edit(285);
    b.Static(296, "Thickness");
    b.Group(299, "Slab Properties");
    b.Group(334, "Wall Label");
    b.Group(333, "Material Properties");
    b.Edits({281, 282});
    b.Button(3, "Add Data");
    b.Edit(290);
}

void ColourControls(Builder& b, uint32_t swatch, int left, std::initializer_list<uint32_t> sliders,
                    std::initializer_list<uint32_t> edits) {
    b.Picture(swatch, left, 10, 40, 40);
    for (uint32_t id : sliders) b.Slider(id);
    b.Edits(edits);
}

}  // namespace

bool LoadDialogTemplate(uint32_t id, DialogBox& box) {
    Builder b{box};
    switch (id) {
        case 562:  // one length
            LengthEntry(b);
            b.OkCancel();
            return true;
        case 566:  // length, width and height
            LenWidHgt(b);
            return true;
        case 561:  // print options
            b.Caption("Print");
            b.Button(1, "Print");
            b.Button(2, "Cancel");
            b.Button(3, "Printer...");
            b.Radio(202, "All Floors (blueprint)", 1);
            b.Radio(203, "Current View", 1);
            b.Radio(204, "Current Floor (blueprint)", 1);
            b.Radio(206, "Full Width", 2);
            b.Radio(207, "Thumbnail", 2);
            b.Radio(208, "Half Width", 2);
            b.Radio(210, "Left", 3);
            b.Radio(211, "Centered", 3);
            b.Radio(212, "Right", 3);
            b.Check(236, "Hide Grid");
            return true;
        case 611:
            Preferences(b);
            return true;
        case 613:  // General
            b.Check(302, "Enable Snap To");
            b.Check(303, "Auto-hide Menu");
            b.Check(304, "Show Tips and Ideas at Startup");
            b.Check(306, "Always Get Objects and Materials Online");
            b.Check(578, "Disable Orbit Crosshairs");
            b.Button(308, "Default Text Settings...");
            return true;
        case 614:  // Auto Save
            b.Check(310, "Enable Auto Save");
            b.Edit(309);
            return true;
        case 615:  // Measurements
            b.Radio(311, "US", 1);
            b.Radio(314, "Metric", 1);
            b.Edit(312);
            b.Static(316);
            b.Edit(313);
            b.Static(317);
            b.Check(315, "Show Fractions with US Measurements");
            return true;
        case 616:  // Speed
            b.Check(320, "Turn off shadows and reflections below 4 frames per second");
            b.Check(321, "Update shadows as lights move");
            return true;
        case 617:  // Walls
            b.Edit(270);
            b.Static(295);
            b.Edit(329);
            b.Static(331);
            b.Edit(328);
            b.Static(330);
            return true;
        case 618:  // Blueprint Mode
            b.Check(318, "Show Spotlights");
            b.Check(466, "Show Dimensions");
            b.Edit(327);
            b.Static(324);
            b.Edit(326);
            b.Static(325);
            return true;
        case 619:  // Floors
            b.Edit(285);
            b.Static(296);
            b.Check(319, "Add floor when walls linked");
            return true;
        case 620:  // Roofs
        case 621:  // Countertops
            b.Edit(247);
            b.Static(332);
            return true;
        case 622:  // Advanced
            b.Edits({322, 323, 324, 325, 326, 327, 328});
            b.Statics({378, 379, 380, 381, 382, 383});
            return true;
        case 623:  // About
            b.Picture(376, 10, 10, 175, 65);
            b.Static(0xFFFF, "Version 1.1.0");
            return true;
        case 580:  // New plan
            b.Caption("Kivora New Project");
            b.Button(243, "");
            b.Button(245, "");
            b.Button(244, "");
            b.Radio(238, "", 1);
            b.Radio(239, "", 1);
            b.Radio(240, "", 1);
            b.Button(2, "Cancel");
            return true;
        case 694:  // Move entire plan
            b.Caption("Kivora Move Entire Plan");
            b.Button(1, "OK");
            b.Picture(415, 10, 10, 200, 200);
            b.Edit(312);
            return true;
        case 608:  // Text entry
            b.Caption("Kivora Text");
            b.Group(0xFFFF, "Text");
            b.Edit(277);
            b.Button(236, "Properties");
            b.OkCancelApply();
            return true;
        case 664:  // Light
            b.Caption("Kivora Light Properties");
            b.Group(416, "Size");
            b.Group(417, "Focus");
            b.Group(418, "Shadow Quality");
            b.Edits({364, 365, 366, 367, 368});
            b.DropList(369, true);
            b.Picture(371, 10, 10, 337, 93);
            b.Picture(373, 10, 110, 337, 49);
            b.Picture(374, 10, 170, 337, 48);
            b.Picture(375, 10, 230, 337, 118);
            b.OkCancelApply();
            return true;
        case 678:  // Sky
            b.Caption("Kivora Sky Properties");
            ColourControls(b, 382, 10, {385, 383, 384}, {364, 365, 366});
            ColourControls(b, 387, 60, {386, 388, 389}, {367, 368, 369});
            b.Edit(370);
            b.Radio(257, "Counter Clockwise", 1);
            b.Radio(259, "Clockwise", 1);
            b.Button(5, "Restore Default Colors");
            b.OkCancelApply();
            return true;
        case 692: {  // Fog
            b.Caption("Kivora Fog Properties");
            b.Check(351, "Enable Fog");
            b.Group(413, "Type");
            b.Radio(257, "Fog", 1);
            b.Radio(258, "Haze", 1);
            b.Radio(259, "Distant Fog", 1);
            b.Group(411, "Density");
            b.Group(412, "Brightness");
            int x = 10;
            for (uint32_t radio : {260, 261, 262, 263, 264, 266}) b.Radio(radio, "", 2);
            for (uint32_t picture = 404; picture <= 409; ++picture, x += 40)
                b.Picture(picture, x, 100, 36, 36);
            x = 10;
            for (uint32_t radio : {272, 271, 270, 269, 268, 267}) b.Radio(radio, "", 3);
            for (uint32_t picture : {403, 402, 401, 400, 399, 398}) {
                b.Picture(picture, x, 160, 36, 36);
                x += 40;
            }
            b.Group(414, "Color");
            ColourControls(b, 397, 10, {394, 395, 396}, {391, 392, 393});
            b.OkCancelApply();
            return true;
        }
        case 598:  // Material
            b.Caption("Kivora Material Properties");
            MaterialFields(b);
            return true;
        case 609:  // Wall, floor, ceiling, roof
            b.Caption("Kivora Wall Properties");
            SlabFields(b);
            return true;
        case 610:  // Counter
            b.Caption("Kivora Counter Properties");
            SlabFields(b);
            b.box.SetText(295, "&Height Above Ground");
            b.Edit(271);
            b.Static(297, "Backsplash Height");
            return true;
        case 607:  // Column
            b.Caption("Kivora Column Properties");
            b.Check(266, "Column &Capital Visible");
            b.Check(267, "Column &Base Beam Visible");
            b.Check(268, "&Support Beam Visible");
            b.Edits({270, 271, 272});
            b.Static(273, "Height Above Ground");
            b.Static(274, "Width");
            b.Static(275, "Overhang");
            b.OkCancelApply();
            return true;
        case 606:  // Molding
            b.Caption("Kivora Molding Properties");
            b.Radio(257, "Re&ctangle", 1);
            b.Radio(259, "Half Oval", 1);
            b.Radio(260, "Triangle (flat side)", 1);
            b.Radio(261, "Oval (log)", 1);
            b.Radio(262, "Sq&uare Tube", 1);
            b.Radio(263, "Triangle (flat bottom)", 1);
            b.Radio(267, "Other", 1);
            b.Radio(264, "Rounded Rectangle", 1);
            b.Edits({265, 266});
            b.Static(297, "Horizontal Radius");
            b.Static(298, "Vertical Radius");
            b.OkCancelApply();
            return true;
        case 624:  // Stairs
            b.Caption("Kivora Stair Properties");
            b.Edits({270, 340, 272, 285, 286});
            b.Static(346, "Staircase Height");
            b.Static(347, "Staircase Height in centimeters");
            b.Static(356, "Support Thickness");
            b.Static(357, "Support Thickness in centimeters");
            b.Radio(336, "Square", 1);
            b.Radio(337, "Round", 1);
            b.Check(344, "Show Risers");
            b.Check(345, "");
            b.Check(359, "Show Supports");
            for (uint32_t check = 351; check <= 355; ++check) b.Check(check, "");
            b.Picture(338, 10, 10, 200, 149);
            b.Picture(349, 220, 10, 10, 10);
            for (uint32_t picture : {350, 358, 360, 361, 362, 363, 364, 365, 366, 367})
                b.Picture(picture, 0, 0, 0, 0);
            b.Static(348);
            b.OkCancelApply();
            return true;
        case 701:  // An object left where it may not stay
            b.Caption("Invalid Move");
            b.Static(0xFFFF, "Object out of bounds or intersecting another.");
            b.Button(1, "Delete");
            b.Button(2, "Undo");
            return true;
        case 596:  // Text properties
            b.Caption("Kivora Text Properties");
            b.Edit(247);
            b.Static(332, "Text thickness");
            b.Button(248, "Font Settings");
            b.Button(249, "Edit Text");
            b.OkCancelApply();
            return true;
        default:
            return false;
    }
}
