#pragma once

#include <string>
#include <vector>

#include "geometry/Vector.h"

class BaseControl;
class KeyDataList;
class Wall;

// Footprint kinds of the wizard's starting house.
enum class WizardShape { kNone, kSquare, kL, kLMirrored, kU };

// Roof styles the wizard offers: 0 none, 1 gable, 2 hipped.
enum class WizardRoofStyle { kNone = 0, kGable = 1, kHipped = 2 };

// What the builder works out from the wizard's answers: corners, heights, floors and
// the roof, before anything is made.
struct WizardPlan {
    WizardShape shape = WizardShape::kNone;
    // The shape's type text as answered.
    std::string shapeType;
    int numStories = 1;
    double wallHeight = 0.0;
    // Corners of the ring of exterior walls in the ground plane (x, 0, z), the
    // footprint's bounding rectangle centred on the origin. Wall i runs from corner i
    // to corner i+1, the last one back to the first.
    std::vector<Vector> corners;
    // Height of every wall at both ends: numStories x wallHeight.
    double totalWallHeight = 0.0;
    // Elevations of the floors: the ground floor at 0, then one per further storey
    // (and the top-level floor when asked for). Made only when linked walls add floors.
    std::vector<double> floorElevations;

    WizardRoofStyle roofStyle = WizardRoofStyle::kNone;
    // Number of roof elements of the layout (0 when no roof is made).
    int roofCount = 0;
    double roofBaseHeight = 0.0;
    double roofRise = 0.0;
    // Walls (indexes into the ring) that carry a gable peak.
    std::vector<int> gablePeakWalls;
    // Hip inset of a hipped square roof on its two sides: min(3 x rise, 0.45 x side).
    double hipInsetX = 0.0;
    double hipInsetZ = 0.0;

    // Length of wall i (the distance between its two corners); 0 for a bad index.
    double WallLength(int i) const;
};

// Turns the wizard's answers ("planXML" read by the wizard reader) into a starting
// house: a ring of linked exterior walls in the chosen footprint, a floor per storey
// and a gable or hipped roof. The interior-texture answer also becomes the exterior
// material of the walls made now: the builder keeps the control's exterior default
// and puts it back when it goes.
class WizardPlanBuilder {
public:
    // Sides and heights beyond this many inches are taken as this much.
    static constexpr double kMaxLength = 120000.0;
    static constexpr int kMaxStories = 100;

    explicit WizardPlanBuilder(BaseControl& control);
    virtual ~WizardPlanBuilder();
    WizardPlanBuilder(const WizardPlanBuilder&) = delete;
    WizardPlanBuilder& operator=(const WizardPlanBuilder&) = delete;

    // Sets the textures and wall defaults, works the plan out and makes it. Answers
    // the plan worked out (with no corners when the shape is not known).
    WizardPlan Build(const KeyDataList& tree);

    // Works the plan out from the answers with the control's current defaults, making
    // nothing and changing no default.
    WizardPlan Plan(const KeyDataList& tree) const;

    double GetHalfWallThickness() const { return halfWallThickness; }

protected:
    // The walls made, one per corner.
    std::vector<Wall*> walls;
    double halfWallThickness = 0.0;
    std::string savedExteriorMaterial;

private:
    void ApplyTextures(const KeyDataList& planXML);
    // False when nothing could be made.
    bool Make(const WizardPlan& plan);

    BaseControl& control_;
};
