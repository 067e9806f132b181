#include "control/WizardPlanBuilder.h"

#include <strings.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "building/RoofGroup.h"
#include "building/Wall.h"
#include "control/BaseControl.h"
#include "control/RenderLockScope.h"
#include "foundation/KeyDataList.h"
#include "foundation/Trace.h"
#include "slabs/Floor.h"

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

namespace {

// Eaves and free gable ends of the wizard's roofs reach out this far; an end that meets
// another roof does not.
constexpr double kRoofOverhang = 9.0;

// A wall from a to b, `height` high at both ends, on the ground.
Wall* MakeWall(const Vector& a, const Vector& b, double height) {
    auto* wall = new Wall(a);
    Outline& outline = wall->GetOutline();
    OutlinePoint* nodes = outline.GetPrimaryPoints();
    nodes[0].position.Set(a.x, 0.0, a.z, 1.0);
    nodes[1].position.Set(b.x, 0.0, b.z, 1.0);
    nodes[2].position.Set(b.x, height, b.z, 1.0);
    nodes[3].position.Set(a.x, height, a.z, 1.0);
    outline.Refresh();
    outline.ComputeNormal();
    wall->AllocateOutlineArrays();
    return wall;
}

// The floor closed by the ring of linked walls that `wall` belongs to, when linked walls
// add floors; null otherwise.
Floor* FloorFromRing(BaseControl& control, Wall* wall) {
    if (!wall || !control.globalState.GetBoolean(5)) return nullptr;
    const Vector start = wall->GetOutline().GetPrimaryPoints()[0].position;
    auto* floor = new Floor(start, true);
    if (!floor->RebuildFromOutline(wall)) {
        delete floor;
        return nullptr;
    }
    return floor;
}

// A roof over the rectangle [x0, x1] x [z0, z1] at `base`, its ridge along x (or z),
// `rise` above the footprint. The left end is the low x (or z) end.
struct RoofSpec {
    double x0, x1, z0, z1;
    bool alongX;
    double leftOverhang;
    double rightOverhang;
};

RoofGroup* MakeRectangleRoof(const RoofSpec& r, double base, double rise, bool hipped,
                             double hipInset) {
    Vector corners[4];
    if (r.alongX) {
        corners[0] = Vector(r.x0, base, r.z1);
        corners[1] = Vector(r.x1, base, r.z1);
        corners[2] = Vector(r.x1, base, r.z0);
        corners[3] = Vector(r.x0, base, r.z0);
    } else {
        corners[0] = Vector(r.x0, base, r.z0);
        corners[1] = Vector(r.x0, base, r.z1);
        corners[2] = Vector(r.x1, base, r.z1);
        corners[3] = Vector(r.x1, base, r.z0);
    }
    return new RoofGroup(corners, rise, kRoofOverhang, r.leftOverhang, r.rightOverhang, hipped,
                         hipped, hipInset);
}

// A peak in the middle of the wall's top edge (or at `x`, `z` on it), `rise` above it.
bool AddPeak(Wall* wall, double rise, const Vector* at = nullptr) {
    if (!wall) return false;
    Outline& outline = wall->GetOutline();
    if (!PRECONDITION(outline.GetPrimaryCount() == 4,
                      "Non-simple wall attempting to add center point"))
        return false;
    const OutlinePoint* nodes = outline.GetPrimaryPoints();
    Vector peak = nodes[2].position;
    peak.Add(nodes[3].position);
    peak.Scale(0.5);
    if (at) peak.Set(at->x, peak.y, at->z, 1.0);
    peak.y += rise;
    wall->InsertPointAt(peak);
    return POSTCONDITION(outline.GetPrimaryCount() == 5, "Wall peak addition failed");
}

}  // namespace

bool WizardPlanBuilder::Make(const WizardPlan& plan) {
    const int count = static_cast<int>(plan.corners.size());
    if (count < 3) return false;
    RenderLockScope hold(control_);
    control_.BeginUndoGroup();
    std::vector<UndoableObject*> made;

    walls.clear();
    for (int i = 0; i < count; ++i)
        walls.push_back(MakeWall(plan.corners[i], plan.corners[(i + 1) % count],
                                 plan.totalWallHeight));
    theTrace().Write("walls");
    for (int i = 0; i < count; ++i)
        if (!walls[i]->LinkWith(walls[(i + 1) % count], 2, 1))
            theTrace().WriteFormat("Wizard wall %d not linked to the next", i);
    theTrace().Write("linked");

    if (Floor* ground = FloorFromRing(control_, walls[0])) {
        control_.scene.Append(ground);
        made.push_back(ground);
        for (size_t k = 1; k < plan.floorElevations.size(); ++k) {
            auto* copy = dynamic_cast<Floor*>(ground->Clone(false, true));
            if (!copy) continue;
            copy->MoveSlabBy(0.0, plan.floorElevations[k] - plan.floorElevations[0], 0.0, true);
            made.push_back(copy);
        }
    }
    for (Wall* wall : walls) {
        control_.scene.Append(wall);
        made.push_back(wall);
    }

    if (plan.roofStyle != WizardRoofStyle::kNone && plan.roofCount > 0) {
        const bool hipped = plan.roofStyle == WizardRoofStyle::kHipped;
        const double base = plan.roofBaseHeight;
        const double rise = plan.roofRise;
        double x0 = 0, x1 = 0, z0 = 0, z1 = 0;
        for (const Vector& c : plan.corners) {
            x0 = std::min(x0, c.x), x1 = std::max(x1, c.x);
            z0 = std::min(z0, c.z), z1 = std::max(z1, c.z);
        }
        auto inset = [&](double side) { return std::min(3.0 * rise, 0.45 * side); };
        const double o = kRoofOverhang;
        std::vector<RoofGroup*> roofs;
        const Vector* c = plan.corners.data();
        switch (plan.shape) {
            case WizardShape::kSquare:
                roofs.push_back(MakeRectangleRoof({x0, x1, z0, z1, true, o, o}, base, rise, hipped,
                                                  inset(x1 - x0)));
                break;
            case WizardShape::kL: {
                // The arm along z over [x0, c3.x]; the arm along x meets it at half its width.
                const double pw = c[3].x, ph = c[2].z;
                const double half = (pw - x0) / 2.0;
                roofs.push_back(MakeRectangleRoof({x0, pw, z0, z1, false, o, o}, base, rise,
                                                  hipped, inset(z1 - z0)));
                roofs.push_back(MakeRectangleRoof({pw - half, x1, z0, ph, true, 0.0, o}, base,
                                                  rise, hipped, inset(x1 - pw)));
                if (!hipped) {
                    const Vector at((x0 + pw) / 2.0, 0.0, z0);
                    AddPeak(walls[0], rise, &at);
                }
                break;
            }
            case WizardShape::kLMirrored: {
                const double pw = c[3].x, ph = c[4].z;
                const double half = (x1 - pw) / 2.0;
                roofs.push_back(MakeRectangleRoof({pw, x1, z0, z1, false, o, o}, base, rise,
                                                  hipped, inset(z1 - z0)));
                roofs.push_back(MakeRectangleRoof({x0, pw + half, z0, ph, true, o, 0.0}, base,
                                                  rise, hipped, inset(pw - x0)));
                if (!hipped) {
                    const Vector at((pw + x1) / 2.0, 0.0, z0);
                    AddPeak(walls[0], rise, &at);
                }
                break;
            }
            case WizardShape::kU: {
                const double lw = c[5].x, rw = c[4].x, inner = c[4].z;
                const double half = (inner - z0) / 2.0;
                roofs.push_back(MakeRectangleRoof({x0, x1, z0, inner, true, o, o}, base, rise,
                                                  hipped, inset(x1 - x0)));
                roofs.push_back(MakeRectangleRoof({x0, lw, inner - half, z1, false, 0.0, o}, base,
                                                  rise, hipped, inset(z1 - inner)));
                roofs.push_back(MakeRectangleRoof({rw, x1, inner - half, z1, false, 0.0, o}, base,
                                                  rise, hipped, inset(z1 - inner)));
                break;
            }
            case WizardShape::kNone:
                break;
        }
        for (RoofGroup* roof : roofs) {
            control_.scene.Append(roof);
            made.push_back(roof);
        }
        for (int index : plan.gablePeakWalls)
            if (index >= 0 && index < count) AddPeak(walls[index], rise);
    }

    // Each object made is recorded as new, so the build is one step to undo.
    for (UndoableObject* object : made) {
        object->BeginTransaction(true);
        object->EndUndoStep();
    }
    control_.EndUndoGroup();
    return !made.empty();
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
