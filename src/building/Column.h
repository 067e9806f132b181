#pragma once

#include <GL/gl.h>

#include <memory>
#include <vector>

#include "building/Fence.h"
#include "control/dialogs/DialogOwner.h"
#include "foundation/ColumnState.h"
#include "model/ObjectTypes.h"
#include "model/Part.h"
#include "model/StateObject.h"
#include "render/Material.h"

class BaseMolding;

// A column: a fence whose posts are columns. Every node carries a post molding of the
// column's height, optionally a capital model on top and a base model at the foot, and a
// rectangular beam runs over the tops of consecutive columns. The fence's rails may still
// run between them.
class Column : public Fence, public StateObject, public DialogOwner {
public:
    static constexpr uint32_t kHideBeam = 1600;
    static constexpr uint32_t kHideRails = 1601;
    static constexpr uint32_t kHideBase = 1602;
    static constexpr uint32_t kHideCapital = 1603;
    static constexpr double kHeightHandleRadius = 5.0;

    // Plan loading skips the default beam texture (the plan brings its material).
    explicit Column(bool skipDefaultTexture = false);
    ~Column() override;

    uint64_t GetTypeMask() const override { return TypeMask::kColumn; }
    int GetKindCode() const override { return KindCode::kColumn; }

    // ---- scene ----
    void BuildPropertyMenu(platform::Menu& menu) override;
    bool ProcessPropertyMenu(uint32_t id) override;
    RenderableObject* Clone() override;
    void Render() override;

    // ---- keys ----
    void WriteKeyData() override;
    bool ReadKeyData(KeyDataList& keys) override;
    void WriteObjectInformation(std::string& buffer) override;

    // ---- the fence's steps ----
    void RenderPost(int i) override;
    void RenderRails() override;
    void LoadParts(KeyDataList& list) override;
    void ComputeBounds() override;
    // The fence handles of a column sit at node height.
    double GetHandleHeight() const override { return 0.0; }
    void DrawHandles() override;

    // ---- defaults and dialog ----
    void ApplyState() override;
    BaseParameterState* GetState() override { return &state; }
    uint64_t GetStateTypeMask() const override { return TypeMask::kColumn; }
    int OnDialogNotify(Dialog* dialog, int code) override;

    // The beam's texture coordinate of a point on the segment being built.
    Vector GetTexCoord(const Vector& p) const;

    void SetCapModel(BaseModel* model);
    void SetBaseModel(BaseModel* model);
    void SetPostProfileFromURL(const char* url);
    // Heights not above 0 (and not finite) are ignored.
    void SetHeight(double h);
    // Raises the columns by `amount` and shows the height on the help bar.
    void DragHeight(double amount);
    // The first node's height + the column height (+ the beam height when shown).
    double GetTopHeight() const;

    double GetHeight() const { return height; }
    double GetBeamWidth() const { return beamWidth; }
    double GetBeamHeight() const { return beamHeight; }
    double GetBeamOverhang() const { return beamOverhang; }
    bool IsBeamHidden() const { return hideBeam != 0; }
    bool IsBaseHidden() const { return hideBase != 0; }
    bool IsCapitalHidden() const { return hideCapital != 0; }
    bool AreRailsHidden() const { return hideRails != 0; }
    BaseModel* GetCapModel() const { return capModel; }
    BaseModel* GetBaseModel() const { return baseModel; }
    BaseMolding* GetPostMolding() const { return postMolding.get(); }
    OutlinePoint& GetHeightHandle() { return heightHandle; }

protected:
    const char* ElementName() const override { return "Column"; }
    void ShowPropertyDialog() override;
    void BuildBeam();
    void DrawBeamFace(const Vector& normal, const Vector& a, const Vector& b, const Vector& c,
                      const Vector& d);
    void ReplaceModel(BaseModel*& slot, BaseModel* model);

    ColumnState state;
    double height = 0.0;
    double beamWidth = 0.0;
    double beamHeight = 0.0;
    double beamOverhang = 0.0;
    BaseModel* capModel = nullptr;
    BaseModel* baseModel = nullptr;
    OutlinePoint heightHandle;
    uint8_t hideRails = 0;
    uint8_t hideBeam = 0;
    uint8_t hideBase = 0;
    uint8_t hideCapital = 0;
    Material beamMaterial;
    Part beamPart{this};
    std::unique_ptr<BaseMolding> postMolding;
    int beamSegment = 0;
    // What the beam list was built from; a difference rebuilds it.
    std::vector<double> beamBuiltFrom;
};
