#pragma once

#include <cstdint>
#include <string>

#include "control/dialogs/DialogOwner.h"
#include "foundation/LinkedList.h"
#include "foundation/StairState.h"
#include "foundation/UndoableObject.h"
#include "geometry/Outline.h"
#include "geometry/Vector.h"
#include "model/ObjectTypes.h"
#include "model/Part.h"
#include "model/StateObject.h"
#include "model/TopLevelObject.h"
#include "render/Material.h"

class Stairs;
class Step;
struct ViewProjection;

// The part of a stair that stands for one kind of face of every step (the tread
// surfaces, the tread edges or the risers): a material, colour or texture change made on
// it reaches the matching part of each step.
class StairPart : public Part {
public:
    StairPart(Stairs* owner, int index);

    bool ProcessPropertyMenu(uint32_t id) override;
    void Load(KeyDataList& keys);
    void SetColor(double r, double g, double b, double a);
    void SetMaterialVector(const Vector& v);
    // Copies this part's material into the matching part of every step.
    void PassMaterialToSteps();

    int GetIndex() const { return index; }

private:
    Stairs* stairs;
    // 1 surfaces, 2 edges, 3 risers.
    int index;
};

// What every step of a stair reads of it.
struct StepParameters {
    double stepHeight = 6.0;
    double stepDepth = 12.0;
    double stepThickness = 1.0;
    double stepOverhang = 0.0;
    bool showRiser = true;
    const Outline* profile = nullptr;
    Vector direction{1.0, 0.0, 0.0};
    StairPart* surface = nullptr;
    StairPart* riser = nullptr;
    StairPart* edge = nullptr;
    Stairs* owner = nullptr;
};

// One tread of a stair: its plan shape with the overhang, the block under it without the
// overhang, and its three faces.
class Step : public RenderableObject {
public:
    // The longest tread profile a step takes.
    static constexpr int kMaxProfileNodes = 128;

    explicit Step(const StepParameters* params);
    ~Step() override;

    uint64_t GetTypeMask() const override { return TypeMask::kStep; }
    void Render() override;
    void Translate(const Vector& offset) override;

    // Lays out step i (1 or more) of a stair whose run starts at `start`. A tread line
    // that meets fewer than two sides of the outline leaves the step without a tread.
    void Build(const Outline& stairOutline, const Vector& start, int i);
    // Texture coordinates (u, v, 0, 1) of a point of the face being drawn.
    Vector TextureCoordinate(const Vector& p, const OutlineEdge* side) const;

    Part* PartAt(int i);
    bool HasTread() const { return treadOutline.GetPrimaryCount() >= 3; }
    const Outline& GetTreadOutline() const { return treadOutline; }
    const Outline& GetRiserOutline() const { return riserOutline; }
    Outline& GetTreadOutline() { return treadOutline; }

    Part surface;
    Part edge;
    Part riser;

private:
    friend class Stairs;
    void DrawSurface();
    void DrawEdges();
    void DrawRisers();

    Outline treadOutline;
    Outline riserOutline;
    const StepParameters* params;
    Vector position{0.0, 0.0, 0.0};
    const OutlineEdge* currentEdge = nullptr;
    // The face kind being drawn: 1 surface, 2 edges, 3 risers.
    int drawing = 0;
    bool dirty = true;
};

// A straight parametric stair: a four-corner outline on a floor, a direction of ascent
// and a slope, divided into steps of a chosen depth.
class Stairs : public UndoableObject,
               public TopLevelObject,
               public StateObject,
               public DialogOwner {
public:
    // Commands of the stair's menu.
    static constexpr uint32_t kBuildSupportWalls = 1500;
    static constexpr uint32_t kHideRisers = 1501;
    static constexpr uint32_t kRoundFronts = 1502;
    static constexpr uint32_t kHideSupportBeams = 1503;
    static constexpr uint32_t kToggleArrow = 1504;
    // A step shallower than this is refused; no stair has more steps than kMaxSteps.
    static constexpr double kMinStepDepth = 0.5;
    static constexpr int kMaxSteps = 1000;
    // Step heights a height change keeps without a new step depth, and the depths it may
    // then choose.
    static constexpr double kLowestStepHeight = 4.0;
    static constexpr double kHighestStepHeight = 10.0;
    static constexpr double kShallowestDepth = 8.0;
    static constexpr double kDeepestDepth = 15.0;
    static constexpr double kHandleRadius = 5.0;

    // For the loader and copies: the defaults only; the keys come next.
    Stairs();
    // A stair being drawn from `point`: four corners there, the default materials.
    explicit Stairs(const Vector& point);
    ~Stairs() override;

    uint64_t GetTypeMask() const override { return TypeMask::kStairs; }
    uint64_t GetStateTypeMask() const override { return TypeMask::kStairs; }
    int GetKindCode() const override { return KindCode::kStairs; }
    bool IsLocked() const override { return TopLevelObject::IsLocked(); }

    // ---- scene ----
    void BuildPropertyMenu(platform::Menu& menu) override;
    bool ProcessPropertyMenu(uint32_t id) override;
    bool RemoveFromList(LinkedList& list) override;
    bool SetSelected(bool flag) override;
    void ShowPropertyDialog() override;
    RenderableObject* Clone() override;
    void Render() override;
    void MarkDirty() override;
    bool IsShownInCurrentView() override;
    void Translate(const Vector& offset) override;
    bool IsPositionValid() override;
    bool GetWalkingSlope(Vector& origin, Vector& run, double& rise) const;

    // ---- the element "Stairs" and the bill of materials ----
    void WriteKeyData() override;
    bool ReadKeyData(KeyDataList& keys) override;
    void WriteObjectInformation(std::string& buffer) override;

    // ---- defaults and the dialog ----
    void ApplyState() override;
    BaseParameterState* GetState() override { return &state; }
    int OnDialogNotify(Dialog* dialog, int code) override;

    // ---- steps ----
    void UpdateSteps();
    // UpdateSteps, the arrow hidden, the stair complete.
    void Rebuild();
    void ComputeEndPoints();
    void UpdateBounds();
    // False (nothing changed) for a depth that is not a number or below kMinStepDepth.
    bool SetStepDepth(double depth);
    // The new height is the old one less `delta`.
    void ChangeHeightBy(double delta);
    void ShowMeasurements(PickableObject* handle);
    void BuildSupportWalls();

    // ---- shape editing ----
    void DragCorner(const ViewProjection& view, int x, int y, OutlinePoint* corner, bool creating,
                    bool snap);
    void DragSide(const ViewProjection& view, int x, int y, int x0, int y0, OutlinePoint* corner);
    OutlinePoint* InsertCorner(const ViewProjection& view, int x, int y);
    bool DeleteCorner(OutlinePoint* corner);
    void RotateDirection(double angle);
    void RotateAbout(double angle, const Vector& centre);
    // Refused (false) when it would take the bottom below height 0.
    bool Offset(double dx, double dy, double dz);

    // ---- parts ----
    int PartIndexOf(const Part* part) const;
    StairPart* StairPartAt(int i);
    void SetMaterialAll(KeyDataList& element, const Vector* point);
    void SetPartColor(double r, double g, double b, double a);
    // Texture coordinates of the stair's own polygons (stringers, the top riser).
    Vector TextureCoordinates(const Vector& point) const;

    // ---- handles ----
    void DrawOutline();
    void DrawStartHandle();

    // ---- state ----
    Outline& GetOutline() { return outline; }
    const Outline& GetOutline() const { return outline; }
    LinkedList& GetSteps() { return steps; }
    int GetStepCount() const { return stepCount; }
    double GetHeight() const { return height; }
    double GetSlope() const { return slope; }
    double GetStepDepth() const { return params.stepDepth; }
    double GetStepHeight() const { return params.stepHeight; }
    double GetStepThickness() const { return params.stepThickness; }
    double GetStepOverhang() const { return params.stepOverhang; }
    double GetStringerThickness() const { return stringerThickness; }
    double GetStepArea() const { return stepArea; }
    double GetRiserArea() const { return riserArea; }
    const Vector& GetDirection() const { return params.direction; }
    const Vector& GetStart() const { return start; }
    const Vector& GetEnd() const { return end; }
    bool IsCreationDone() const { return creationDone; }
    bool IsRounded() const { return params.profile == &roundedProfile; }
    bool ShowsRiser() const { return params.showRiser; }
    bool ShowsStringers() const { return showStringers; }
    bool PreservesStepDepth() const { return preserveStepDepth; }
    bool IsArrowShown() const { return arrowShown; }
    // Left, quarter, middle, three-quarter, right.
    bool ShowsStringerAt(int position) const;
    void SetStringerAt(int position, bool flag);
    void SetShowStringers(bool flag) { showStringers = flag; }
    void SetPreserveStepDepth(bool flag) { preserveStepDepth = flag; }
    void SetRounded(bool flag);
    void SetWidth(double value) { width = value; }
    OutlinePoint& GetStartHandle() { return startHandle; }
    OutlinePoint& GetHeightHandle() { return heightHandle; }
    Part& GetOutlinePart() { return outlinePart; }
    Part& GetStringerPart() { return stringerPart; }
    Material& GetMaterial(int i) { return materials[i]; }
    // Number of the five stringer positions that carry a stringer.
    int StringerCount() const;

private:
    void InitDefaults();
    void HideArrow();
    // The stringer beams (rebuilt while dirty).
    void BuildStringers();
    void DrawStringerSegment(const Vector left[4], const Vector right[4]);
    void DrawStringerBeam(const Vector section[4]);
    void DrawStringerSides(const Vector section[4], const Vector& perp);
    void DrawTopRiser();

    StairState state;
    bool creationDone = false;
    bool arrowShown = false;
    Outline outline;
    Outline squareProfile;
    Outline roundedProfile;
    LinkedList steps;
    Part outlinePart;
    Part stringerPart;
    StairPart surfacePart;
    StairPart edgePart;
    StairPart riserPart;
    Material materials[4];
    double height = 0.0;
    double slope = 0.5;
    double stringerThickness = 2.0;
    double width = 36.0;
    StepParameters params;
    Vector start;
    Vector end;
    GLuint outlineList = Part::kNoList;
    GLuint topRiserList = Part::kNoList;
    int stepCount = 0;
    Vector textureU{1.0, 0.0, 0.0};
    Vector textureV{0.0, 1.0, 0.0};
    bool stringerFaces = false;
    bool showStringers = false;
    bool showLeftStringer = false;
    bool showRightStringer = false;
    bool showMiddleStringer = false;
    bool showQuarterStringer = false;
    bool show3QuarterStringer = false;
    bool preserveStepDepth = false;
    double stepArea = 0.0;
    double riserArea = 0.0;
    OutlinePoint startHandle;
    OutlinePoint heightHandle;
};
