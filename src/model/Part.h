#pragma once

#include <GL/gl.h>

#include <cstddef>
#include <cstdint>
#include <memory>

#include "foundation/LinkedList.h"
#include "geometry/Vector.h"
#include "model/SelectableObject.h"

class BaseModel;
class KeyDataList;
class RenderableObject;
class Material;
class Part;

namespace platform {
class Menu;
}

// Command ids of the part menus.
namespace PartCommand {
constexpr uint32_t kToggleReflections = 106;
constexpr uint32_t kAnimateOnce = 300;
constexpr uint32_t kAnimateContinuous = 301;
constexpr uint32_t kAnimateForwardOnly = 302;
constexpr uint32_t kRotateMaterial45Clockwise = 500;
constexpr uint32_t kRotateMaterial45CounterClockwise = 501;
constexpr uint32_t kRotateMaterial90Clockwise = 502;
constexpr uint32_t kRotateMaterial90CounterClockwise = 503;
constexpr uint32_t kRotateMaterial180 = 504;
constexpr uint32_t kHideColor = 505;
constexpr uint32_t kHideMaterial = 506;
constexpr uint32_t kMoveMaterial = 507;
constexpr uint32_t kScaleMaterial = 508;
}  // namespace PartCommand

// The mouse modes that move and scale a part's texture take the part through this.
class PartTextureEditor {
public:
    virtual ~PartTextureEditor() = default;
    virtual void SetPart(Part* part) = 0;
};

// How a part opens and closes: a slide along a translation and/or a turn about an axis
// through a pivot. One opening or one closing lasts 3.5 seconds.
class PartAnimation {
public:
    enum State : uint32_t { kOpening = 2, kClosing = 3, kHeldOpen = 4, kClosed = 5 };
    static constexpr uint8_t kSlide = 1;
    static constexpr uint8_t kTurn = 2;

    // Seconds of one opening or one closing.
    static constexpr double kHalfCycleSeconds = 3.5;
    // The phase that `ticks` of the performance counter make (1.0 is one half cycle).
    static double PhaseOf(int64_t ticks);

    // Pushes the matrix and applies the current phase; true when the part moved (an
    // opening or closing is under way in the view that shows it).
    bool Apply();
    // "Animate Once": opens a closed part, closes an open one; nothing while it moves.
    void Start();
    // The continuous (301) or forward-only (302) loop.
    void StartLoop(uint32_t id);

    uint8_t kind = 0;
    // Column order, elements 12..14 the pivot.
    double transform[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    Vector axis;
    // Degrees.
    double angle = 0.0;
    Vector translation{0.0, 0.0, 0.0};
    int64_t startTime = 0;
    uint32_t state = kClosed;
    double t = 0.0;
    uint8_t continuous = 0;
    uint8_t forwardOnly = 0;
    uint8_t showOpen = 0;

private:
    // The phase step while an opening or closing runs.
    void Advance();
};

// A node of a model's part tree: a mesh, a group of parts that move together, or a named
// sub-object group. The part tree belongs to its model.
class BasePart : public SelectableObject {
public:
    BasePart();
    ~BasePart() override;

    // Animation items when the part has an animation and the active view is not
    // orthographic.
    void BuildPropertyMenu(platform::Menu& menu) override;
    // The animation commands 300-302.
    bool ProcessPropertyMenu(uint32_t id) override;
    // Draws the part; true when an animation moved it.
    virtual bool Render(bool alternate) = 0;
    virtual bool HasSubObject(const char* name) const;
    // Replaces the parts of the sub-object parts called `name` by those of `subObject`
    // (a model read from another file); null drops their materials.
    virtual void ReplaceSubObject(const char* name, BaseModel* subObject);
    // The object that holds the part: a model (for parts of sub-objects the owning
    // model) or another drawn object with parts.
    virtual void SetOwner(RenderableObject* object);
    // The materials that a replacement brought to a sub-object part called `name`.
    virtual Material* FindSubObjectMaterials(const char* name);
    // Adds the sub-object parts' entries to the model's "SubObjectList".
    virtual void WriteSubObjectEntry(KeyDataList& list);
    // Half open in the blueprint view.
    virtual void SetShowOpen(bool flag);

    // Applies the animation (pushing the matrix) and re-tests lights when a movement
    // ended; true when it moved. Nothing without an animation.
    bool AnimateStep();

    RenderableObject* GetOwnerObject() const { return owner; }
    // The owner when it is a model.
    BaseModel* GetModel() const;
    PartAnimation* GetAnimation() const { return animation.get(); }
    void SetAnimation(std::unique_ptr<PartAnimation> newAnimation);

protected:
    RenderableObject* owner = nullptr;
    std::unique_ptr<PartAnimation> animation;
};

// One mesh with one material, compiled into display lists.
class Part : public BasePart {
public:
    static constexpr GLuint kNoList = 0xFFFFFFFFu;

    explicit Part(RenderableObject* object = nullptr);
    // Deletes the display lists (with the owner's context current).
    ~Part() override;

    uint64_t GetTypeMask() const override { return TypeMask::kPart; }
    // Material items when the part has a material and the active view is not
    // orthographic.
    void BuildPropertyMenu(platform::Menu& menu) override;
    bool ProcessPropertyMenu(uint32_t id) override;
    // Draws the face list (alternate: the alternate list) when the pass takes the part's
    // material; answers false.
    bool Render(bool alternate) override;
    void SetOwner(RenderableObject* object) override;

    // Reads the "Material" element of `keys` into the material.
    void Load(KeyDataList& keys);
    void SetColor(double r, double g, double b, double a);
    // x, y of `v` become the texture offset.
    void SetMaterialVector(const Vector& v);
    // Adds a sublist `name` to keys holding the material's element.
    void SaveMaterial(KeyDataList& keys, const char* name);
    // Reads a material element into the material, keeping its id.
    void ApplyMaterialKeys(KeyDataList& keys, bool resetGranularity);

    // Whether the pass being drawn takes the part's material.
    bool PassAccepts() const;

    GLuint faceList = kNoList;
    GLuint alternateList = kNoList;
    GLuint edgeList = kNoList;
    uint8_t textured = 1;
    // Into the owner's material array; not owned.
    Material* material = nullptr;
    uint8_t faceViewer = 0;
    uint8_t faceViewerUpright = 0;
    Vector centre;
    uint8_t alwaysDraw = 0;

private:
    // Turns the part towards the eye (its own matrix pushed); false when it does not.
    bool FaceViewer();
    void ApplyMaterial();
    void DrawList(GLuint list);
};

// Parts that move together; may carry an animation of its own.
class PartGroup : public BasePart {
public:
    explicit PartGroup(RenderableObject* object = nullptr);
    ~PartGroup() override;

    uint64_t GetTypeMask() const override { return TypeMask::kPartGroupObject; }
    bool Render(bool alternate) override;
    bool HasSubObject(const char* name) const override;
    void ReplaceSubObject(const char* name, BaseModel* subObject) override;
    void SetOwner(RenderableObject* object) override;
    Material* FindSubObjectMaterials(const char* name) override;
    void WriteSubObjectEntry(KeyDataList& list) override;
    void SetShowOpen(bool flag) override;

    LinkedList& GetMembers() { return members; }

protected:
    // Draws the members under the list's lock; true when any moved.
    bool RenderMembers(bool alternate);

    LinkedList members;
};

// A named sub-object of the model (a seat, a handle) that another file's parts can
// replace.
class SubObjectPart : public PartGroup {
public:
    static constexpr size_t kNameSize = 128;
    static constexpr size_t kURLSize = 260;

    SubObjectPart(const char* name, RenderableObject* object);
    ~SubObjectPart() override;

    // With the transform applied when built.
    bool Render(bool alternate) override;
    bool HasSubObject(const char* name) const override;
    void ReplaceSubObject(const char* name, BaseModel* subObject) override;
    Material* FindSubObjectMaterials(const char* name) override;
    void WriteSubObjectEntry(KeyDataList& list) override;

    const char* GetName() const { return name; }
    bool NameMatches(const char* other) const;
    // Takes a material array (new[]) of `count` materials; the owning model frees it.
    void SetSubObjectMaterials(Material* array, uint32_t count);
    Material* GetSubObjectMaterials() const { return subObjectMaterials; }
    uint32_t GetSubObjectMaterialCount() const { return subObjectMaterialCount; }
    const char* GetSubObjectURL() const { return subObjectURL; }

    // Column order, as glMultMatrixd takes it.
    double transform[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    uint8_t built = 0;

private:
    char name[kNameSize] = {};
    char subObjectURL[kURLSize] = {};
    Material* subObjectMaterials = nullptr;
    uint32_t subObjectMaterialCount = 0;
};
