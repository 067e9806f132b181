#pragma once

#include <cstdint>
#include <string>

#include "foundation/UndoableObject.h"
#include "geometry/Outline.h"
#include "model/ObjectTypes.h"
#include "model/TopLevelObject.h"

class BaseModel;
struct ViewProjection;

// A run of posts standing on the nodes of a level outline, open or closed: a post model
// at every node and a rail model repeated along every segment, the last piece of a
// segment cut off where the segment ends.
class Fence : public UndoableObject, public TopLevelObject {
public:
    // A node dropped this close to the straight line through its neighbours lands on it.
    static constexpr double kLineSnap = 25.0;
    static constexpr double kHandleRadius = 5.0;

    // With the control's default style (its shared models of that style).
    Fence();
    ~Fence() override;

    uint64_t GetTypeMask() const override { return TypeMask::kFence; }
    int GetKindCode() const override { return KindCode::kFence; }
    bool IsLocked() const override { return TopLevelObject::IsLocked(); }

    // ---- scene ----
    void BuildPropertyMenu(platform::Menu& menu) override;
    bool ProcessPropertyMenu(uint32_t id) override;
    RenderableObject* Clone() override;
    void Render() override;
    bool IsShownInCurrentView() override;
    void Translate(const Vector& offset) override;
    void MoveBy(const Vector& offset) override;
    void ApplyOffset() override { BeginMoveRecord(); }
    void RemoveOffset() override { EndMoveRecord(); }

    // ---- the element "Fence" and the bill of materials ----
    void WriteKeyData() override;
    bool ReadKeyData(KeyDataList& keys) override;
    void WriteObjectInformation(std::string& buffer) override;

    // ---- the fence's own steps ----
    virtual void RenderPost(int i);
    virtual void RenderRails();
    virtual void LoadParts(KeyDataList& list);
    virtual void ComputeBounds();
    virtual double GetHandleHeight() const;
    virtual Fence* DuplicateInto(Fence* dup, double offset, bool addToScene);
    virtual void DrawHandles();
    void BeginMoveRecord();
    void EndMoveRecord();

    // ---- editing (window points; (x1, y1) the current, (x2, y2) the previous) ----
    // A shared style model is copied, any other adopted (null drops the model).
    void SetPostModel(BaseModel* model);
    void SetBetweenPostModel(BaseModel* model);
    // The new node, or null when locked or nothing lies under the point.
    OutlinePoint* InsertPost(const ViewProjection& view, int x, int y);
    // The new node at a scene point (its height becomes the first node's).
    OutlinePoint* InsertPostAt(Vector p);
    bool DeletePost(OutlinePoint* node);
    OutlinePoint* DragEdge(const ViewProjection& view, int x1, int y1, int x2, int y2,
                           OutlinePoint* node);
    void MoveWhole(const ViewProjection& view, int x1, int y1, int x2, int y2);
    void CloseCircuit();
    void Changed();

    // The scene point under main-view pixel (x, y): what is drawn there, else the point
    // on the current floor's level. False when neither is found.
    static bool GroundUnder(int x, int y, Vector& out);

    // Segments: n - 1 open, n closed (with more than two nodes).
    int SegmentCount() const;
    Outline& GetOutline() { return outline; }
    const Outline& GetOutline() const { return outline; }
    bool IsClosed() const { return closed != 0; }
    BaseModel* GetPostModel() const { return postModel; }
    BaseModel* GetBetweenPostModel() const { return betweenPostModel; }
    // The pieces of a segment `length` long for rails `piece` long: whole pieces and the
    // length of the cut last one (0 for none); no pieces for a piece without length.
    static void RailPieces(double length, double piece, int& whole, double& cut);

protected:
    // The name of the plan element the writer opens.
    virtual const char* ElementName() const { return "Fence"; }
    // Draws the rail model's box from its start to `length` as the clip volume.
    void DrawClipBox(double length);
    void SetModel(BaseModel*& slot, BaseModel* model, int table);

    Outline outline;
    uint8_t closed = 0;
    BaseModel* postModel = nullptr;
    BaseModel* betweenPostModel = nullptr;
    Vector moveRecord;
    bool moveRecording = false;
};
