#pragma once

#include <string>

#include "foundation/SlabState.h"
#include "model/ObjectTypes.h"
#include "slabs/Floor.h"

class CounterPropertyDialog;

// A counter top: a thin horizontal slab drawn like a floor. Its mask carries the slab bit
// and the counter bit but not the floor bit, so floor rules (overlaps, the floor editor,
// the floor nudges) leave it alone. Each outline edge can carry a backsplash (flag 0) or
// a rounded front (flag 1); the counter builds the edge surface from those flags.
class Counter : public Floor {
public:
    static constexpr int kSlabKind = 1503;
    static constexpr double kDrawnThickness = 2.0;
    static constexpr int kBacksplashFlag = 0;
    static constexpr int kRoundedFlag = 1;
    // The most segments a bullnose profile has.
    static constexpr int kMaxProfileSegments = 30;

    // For the loader and for copies: captions "Rounded Edge" and "Show Backsplash", the
    // state's own defaults.
    Counter();
    // A drawn counter whose top lies at the point's height, with the control's counter
    // defaults: captions "Round Edge" and "Backsplash".
    explicit Counter(const Vector& point);
    ~Counter() override;

    uint64_t GetTypeMask() const override { return TypeMask::kCounter; }
    uint64_t GetStateTypeMask() const override { return TypeMask::kCounter; }
    int GetKindCode() const override { return KindCode::kCounter; }

    // ---- menu and dialog ----
    void BuildPropertyMenu(platform::Menu& menu) override;
    bool ProcessPropertyMenu(uint32_t id) override;
    void ShowPropertyDialog() override;
    void InitDialog(Dialog* dialog) override;
    int OnDialogNotify(Dialog* dialog, int code) override;
    void WriteObjectInformation(std::string& buffer) override;

    // ---- drawing ----
    bool IsShownInCurrentView() override;
    void RenderEdgeSurface() override;
    void CullAgainstSlab(bool slabsOnly) override;
    Vector GetTextureCoordinate(const Vector& point, const OutlineEdge* edge) override;

    // ---- state ----
    void StoreSurfacesToState() override;
    void ApplyState() override;
    bool OverlapsFloor() const override { return false; }

    // The edge of the outline nearest to the plan point `p`, measured to the line through
    // each edge; -1 without an outline.
    int NearestEdge(const Vector& p) const;
    // The bottom of the counter (first corner less half the thickness).
    double GetLowerFace() const;
    double GetBacksplashHeight() const { return counterState.GetDouble(9); }
    CounterState& GetCounterState() { return counterState; }
    const char* GetBacksplashCaption() const { return backsplashCaption; }
    const char* GetRoundedCaption() const { return roundedCaption; }
    // Segments of the bullnose profile of a counter `thickness` thick: the whole part of
    // min(thickness + 3, 30), never below 1.
    static int ProfileSegments(double thickness);
    // The index of the outline edge the last pop-up menu offered; -1 for none.
    int GetMenuEdge() const { return menuEdge; }

    // The corners of the backsplash box of edge i (the four bottom corners, then the four
    // top ones) as the edge geometry draws them; false when the edge has none.
    bool BacksplashBox(int i, Vector (&corners)[8]) const;

protected:
    Floor* NewOfSameKind() const override;
    const char* ElementName() const override { return "Counter"; }

private:
    void InitialiseCounter(const char* rounded, const char* backsplash);
    // Geometry of edge i: what the edge surface draws for it.
    void BuildEdge(int i, int m);
    void DrawFace(const Vector* points, int count, const Vector& normal, Part* surface);
    // The lower and upper face points of corner i.
    const Vector& Lower(int i) const;
    const Vector& Upper(int i) const;
    // Direction of edge i in plan (reversed when the outline faces up); false when its
    // corners coincide in plan.
    bool EdgeDirection(int i, Vector& d) const;
    bool EdgeFlag(int i, int flag) const;

    CounterState counterState;
    char backsplashCaption[64] = {};
    char roundedCaption[64] = {};
    int32_t spare = -1;
    int menuEdge = -1;
    // Set while a rounded edge is built: texture coordinates spread outward with depth.
    bool roundedBuild = false;
};
