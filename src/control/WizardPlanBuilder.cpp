#include "control/WizardPlanBuilder.h"

#include <strings.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "control/BaseControl.h"
#include "foundation/KeyDataList.h"
#include "foundation/Trace.h"

namespace {

// The text of an answer: the element "value" of the sublist `key`, or "".
const char* AnswerText(const KeyDataList& list, const char* key) {
    const char* text = list.GetSublist(key)->GetString("value");
    return text ? text : "";
}

// An answer as a length: `fallback` when it is missing or not a finite number, and
// never more than the builder's largest length.
double AnswerNumber(const KeyDataList& list, const char* key, double fallback) {
    double value = 0.0;
    if (!list.GetSublist(key)->GetDouble("value", value) || !std::isfinite(value)) return fallback;
    return std::clamp(value, -WizardPlanBuilder::kMaxLength, WizardPlanBuilder::kMaxLength);
}

}  // namespace

double WizardPlan::WallLength(int i) const {
    const int n = static_cast<int>(corners.size());
    if (i < 0 || i >= n) return 0.0;
    return corners[i].Distance(corners[(i + 1) % n]);
}

WizardPlanBuilder::WizardPlanBuilder(BaseControl& control)
    : halfWallThickness(control.wallState.GetDouble(9) / 2.0),
      savedExteriorMaterial(control.wallState.GetString(9)),
      control_(control) {}

WizardPlanBuilder::~WizardPlanBuilder() {
    control_.wallState.SetString(9, savedExteriorMaterial.c_str());
}

void WizardPlanBuilder::ApplyTextures(const KeyDataList& planXML) {
    char address[BaseControl::kPathSize];
    const char* floorTexture = AnswerText(planXML, "floorTex");
    if (floorTexture[0] && control_.AttachPathToDomain(floorTexture, address, sizeof address)[0]) {
        for (int i = 0; i <= 2; ++i) control_.floorState.SetString(i, address);
    }
    const char* wallTexture = AnswerText(planXML, "wallIntTex");
    if (wallTexture[0] && control_.AttachPathToDomain(wallTexture, address, sizeof address)[0]) {
        for (int i = 6; i <= 9; ++i) control_.wallState.SetString(i, address);
    } else {
        control_.wallState.SetString(9, control_.wallState.GetString(6).c_str());
    }
}

WizardPlan WizardPlanBuilder::Plan(const KeyDataList& tree) const {
    WizardPlan plan;
    const KeyDataList& planXML = *tree.GetSublist("planXML");
    const KeyDataList& shape = *planXML.GetSublist("shapeData")->GetSublist("shape");

    const double stories = AnswerNumber(planXML, "numStories", 1.0);
    plan.numStories = std::clamp(static_cast<int>(std::max(stories, 1.0)), 1, kMaxStories);
    const double floorThickness = control_.floorState.GetDouble(0);
    plan.wallHeight = AnswerNumber(planXML, "wallHeight", control_.wallState.GetDouble(5));
    if (plan.wallHeight <= 2.0 * floorThickness) plan.wallHeight = 2.0 * floorThickness;

    const double minimum = 3.0 * control_.wallState.GetDouble(9);
    auto side = [&](const char* key) { return std::max(minimum, AnswerNumber(shape, key, 0.0)); };

    plan.shapeType = shape.GetString("type") ? shape.GetString("type") : "";
    const char* type = plan.shapeType.c_str();
    if (strcasecmp(type, "square") == 0)
        plan.shape = WizardShape::kSquare;
    else if (type[0] == 'L')
        plan.shape = std::strcmp(type, "L") == 0 ? WizardShape::kL : WizardShape::kLMirrored;
    else if (strcasecmp(type, "U") == 0)
        plan.shape = WizardShape::kU;

    double width = 0.0;
    double depth = 0.0;
    auto corner = [&](double x, double z) { plan.corners.emplace_back(x, 0.0, z); };
    switch (plan.shape) {
        case WizardShape::kSquare:
            width = side("width");
            depth = side("height");
            corner(0, 0), corner(width, 0), corner(width, depth), corner(0, depth);
            break;
        case WizardShape::kL:
        case WizardShape::kLMirrored: {
            const double pw = side("partWidth");
            const double ph = side("partHeight");
            width = std::max(pw + minimum, side("totalWidth"));
            depth = std::max(ph + minimum, side("totalHeight"));
            if (plan.shape == WizardShape::kL)
                corner(0, 0), corner(width, 0), corner(width, ph), corner(pw, ph),
                    corner(pw, depth), corner(0, depth);
            else
                corner(0, 0), corner(width, 0), corner(width, depth), corner(pw, depth),
                    corner(pw, ph), corner(0, ph);
            break;
        }
        case WizardShape::kU: {
            const double lw = side("leftWidth");
            const double rw = side("rightWidth");
            const double ph = side("partHeight");
            width = std::max(lw + rw + minimum, side("totalWidth"));
            depth = std::max(ph + minimum, side("totalHeight"));
            corner(0, 0), corner(width, 0), corner(width, depth), corner(width - rw, depth),
                corner(width - rw, depth - ph), corner(lw, depth - ph), corner(lw, depth),
                corner(0, depth);
            break;
        }
        case WizardShape::kNone:
            return plan;
    }
    for (Vector& point : plan.corners) point.Offset(-width / 2.0, 0.0, -depth / 2.0);

    plan.totalWallHeight = plan.numStories * plan.wallHeight;
    // Linked walls only add floors when the control is set to.
    if (control_.globalState.GetBoolean(5)) {
        const bool topLevelFloor = std::strcmp(AnswerText(planXML, "topLevelFloor"), "yes") == 0;
        const int floors = plan.numStories + (topLevelFloor ? 1 : 0);
        for (int k = 0; k < floors; ++k) plan.floorElevations.push_back(k * plan.wallHeight);
    }

    const char* style = AnswerText(planXML, "roofStyle");
    if (strcasecmp(style, "gable") == 0)
        plan.roofStyle = WizardRoofStyle::kGable;
    else if (strcasecmp(style, "hipped") == 0)
        plan.roofStyle = WizardRoofStyle::kHipped;
    // The roof layouts need the type's own spelling: any case of "square", a capital L
    // or U.
    const bool layoutKnown = plan.shape == WizardShape::kSquare || type[0] == 'L' || type[0] == 'U';
    if (plan.roofStyle == WizardRoofStyle::kNone || !layoutKnown) {
        plan.roofStyle = WizardRoofStyle::kNone;
        return plan;
    }
    const int last = static_cast<int>(plan.corners.size()) - 1;
    plan.roofRise = std::min(plan.WallLength(1), plan.WallLength(last)) / 3.0;
    plan.roofBaseHeight = plan.totalWallHeight;
    const bool gable = plan.roofStyle == WizardRoofStyle::kGable;
    switch (plan.shape) {
        case WizardShape::kSquare:
            plan.roofCount = 1;
            if (gable) plan.gablePeakWalls = {1, 3};
            plan.hipInsetX = std::min(3.0 * plan.roofRise, 0.45 * width);
            plan.hipInsetZ = std::min(3.0 * plan.roofRise, 0.45 * depth);
            break;
        case WizardShape::kL:
            plan.roofCount = 2;
            if (gable) plan.gablePeakWalls = {1, 4};
            break;
        case WizardShape::kLMirrored:
            plan.roofCount = 2;
            if (gable) plan.gablePeakWalls = {5, 2};
            break;
        case WizardShape::kU:
            plan.roofCount = 3;
            if (gable) plan.gablePeakWalls = {2, 6};
            break;
        case WizardShape::kNone:
            break;
    }
    return plan;
}

bool WizardPlanBuilder::Make(const WizardPlan& plan) {
    // The ring of exterior walls, corner i to corner i+1 at plan.totalWallHeight on both
    // ends, each linked to the next, the ground floor from the closed ring and the copies
    // at plan.floorElevations, all appended to the scene list, then the roofs of the
    // layout (plan.roofCount at plan.roofBaseHeight with plan.roofRise), the gable peaks
    // on plan.gablePeakWalls and the walls fitted under the roofs: made here once walls,
    // floors and roofs can be built.
    theTrace().WriteFormat("Wizard plan of %zu walls not built: walls cannot be built yet",
                           plan.corners.size());
    return false;
}

WizardPlan WizardPlanBuilder::Build(const KeyDataList& tree) {
    const KeyDataList& planXML = *tree.GetSublist("planXML");
    ApplyTextures(planXML);
    control_.wallState.SetBoolean(9, false);
    control_.wallState.SetBoolean(8, true);
    WizardPlan plan = Plan(tree);
    if (plan.corners.empty()) return plan;
    // The plan counts as changed only by what was made.
    if (Make(plan)) control_.globalState.SetBoolean(0, true);
    return plan;
}
