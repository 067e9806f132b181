#pragma once

#include <GL/gl.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "foundation/BaseMoldingState.h"
#include "geometry/Outline.h"
#include "geometry/Vector.h"
#include "model/ObjectTypes.h"
#include "model/Part.h"
#include "model/SizeableObject.h"
#include "model/StateObject.h"
#include "render/Material.h"

class LinkedList;
class ParametricShape;
class ParametricIrregularShape;

// Command ids of the molding menu.
namespace MoldingCommand {
constexpr uint32_t kInvert = 1700;
constexpr uint32_t kRectangle = 1701;
constexpr uint32_t kTriangleFlatSide = 1702;
constexpr uint32_t kHalfOval = 1703;
constexpr uint32_t kOval = 1704;
constexpr uint32_t kSquareTube = 1705;
constexpr uint32_t kTriangleFlatBottom = 1706;
constexpr uint32_t kRoundedRectangle = 1707;
}  // namespace MoldingCommand

// A straight molding: a profile swept from a begin point to an end point, lying against
// its parent plane. Moldings link end to end: two linked moldings share the corner point,
// their ends are mitred on the bisecting plane, and a change of profile, size, colour,
// material or side made on one travels along the whole chain (each molding visited once,
// through its busy flag, so loops end).
//
// Neighbours are plain pointers cleared on both sides by Unlink and by the destructor.
class BaseMolding : public SizeableObject, public StateObject {
public:
    // End codes.
    static constexpr int kBegin = 1;
    static constexpr int kEnd = 2;

    // Loads the default wood into the surface material unless `skipDefaultTexture`.
    explicit BaseMolding(bool skipDefaultTexture = false);
    // Stops the profile's loading, unlinks both neighbours (marking them dirty) and frees
    // the display lists.
    ~BaseMolding() override;

    uint64_t GetTypeMask() const override { return TypeMask::kMolding; }
    uint64_t GetStateTypeMask() const override { return TypeMask::kMolding; }
    BaseParameterState* GetState() override { return &state; }
    // The profile kind and sizes of the molding defaults.
    void ApplyState() override;

    // ---- menu ----
    void BuildPropertyMenu(platform::Menu& menu) override;
    bool ProcessPropertyMenu(uint32_t id) override;

    // ---- drawing ----
    void Render() override;
    // The texture coordinate of a point of the sweep (side faces from the profile, caps
    // from the profile's own coordinates).
    Vector GetTextureCoordinate(const Vector& point) const;

    // ---- moves ----
    void Translate(const Vector& offset) override;
    void ApplyOffset() override;
    void RemoveOffset() override;

    // ---- keys ----
    void WriteKeyData() override;
    bool ReadKeyData(KeyDataList& keys) override;
    void WriteObjectInformation(std::string& buffer) override;

    // ---- sizes ----
    // Length; -1 below 0.01, -2 with both ends linked.
    int SetSizeZ(double value) override;
    // Width (radius1); -1 below 0.01, -2 without a shape.
    int SetSizeX(double value) override;
    // Height (radius0); -1 below 0.01, -2 without a shape.
    int SetSizeY(double value) override;
    double GetSizeZ() const override;
    double GetSizeX() const override;
    double GetSizeY() const override;
    // "Length : ", "Width : " or "Depth : " for the handle; false for other objects.
    virtual bool GetSizeText(PickableObject* handle);
    // Sets a profile size along the chain; values not above 0 change nothing.
    virtual void SetProfileParameter(double value, int index);
    // Re-makes the links saved as ids against the moldings of `list`.
    virtual void RelinkAll(LinkedList& list);
    // Scales the profile's two sizes by the factors (positive factors only).
    void ScaleProfile(double f0, double f1);

    // ---- dialog ----
    // The profile dialog inside an undo step (Properties, 102).
    void ShowPropertyDialog() override;
    int OnDialogNotify(Dialog* dialog, int code) override;
    void InitDialog(Dialog* dialog) override;

    // ---- profile ----
    // Installs a shape of that code built from the current one, along the chain; codes
    // outside 1..8 are refused.
    void SetShapeType(int type);
    // Takes over the shape; the old one goes.
    void SetShape(std::unique_ptr<ParametricShape> newShape);
    // The profile becomes the irregular profile read from that file.
    void SetProfileFromURL(const char* url);
    // Hands this molding's irregular outline to the linked moldings, along the chain.
    void RebuildLinked();
    ParametricShape* GetShape() const { return shape.get(); }
    bool IsStandAlone() const { return standAlone != 0; }
    void SetStandAlone(bool flag) { standAlone = flag ? 1 : 0; }

    // ---- side, colour, material along the chain ----
    void SetInvert(bool value);
    bool IsInverted() const { return invert != 0; }
    void SetColor(double r, double g, double b, double a);
    // Reads a material element into the surface, along the chain.
    void ApplyMaterialLinked(KeyDataList& material);

    // ---- links ----
    // Whether the two can link: linking is on, the profiles agree, the directions differ
    // and parallel parent planes lie within 0.2 of each other.
    bool CanLinkTo(const BaseMolding& other) const;
    // Links own end `end` to the other's end `otherEnd` at their corner. Refused when
    // either end is linked already, when the directions are near parallel or when no
    // corner exists.
    bool LinkTo(BaseMolding* other, int end, int otherEnd);
    // The linked neighbours' shared ends take this molding's ends, along the chain.
    void LinkNeighbours();
    // Frees that end (and the neighbour's link back).
    void Unlink(int end);
    BaseMolding* GetLinked(int end) const { return end == kBegin ? linkedBegin : linkedEnd; }
    // The end's neighbour's direction-aware mitre plane (normal in x, y, z; offset in w).
    std::optional<Vector> MiterPlane(int end) const;

    // ---- geometry ----
    const Vector& GetBegin() const { return begin.position; }
    const Vector& GetEnd() const { return end.position; }
    const Vector& GetEndPoint(int which) const { return which == kBegin ? GetBegin() : GetEnd(); }
    void SetEndPoint(int which, const Vector& p);
    // (begin - end) normalised; (1, 0, 0) for a segment shorter than 0.001.
    Vector Direction() const;
    const Vector& GetParentPlane() const { return parentPlane; }
    const Vector& GetPointInParentPlane() const { return pointInParentPlane; }
    void SetParentPlane(const Vector& plane, const Vector& point);
    // The window point's ray onto the parent plane.
    Vector ScreenToParentPlane(int x, int y) const;

    Part& GetSurface() { return surface; }
    Material& GetMaterial() { return material; }
    OutlinePoint& BeginHandle() { return begin; }
    OutlinePoint& EndHandle() { return end; }
    OutlinePoint& WidthHandle(int i) { return widthHandles[i & 1]; }
    OutlinePoint& HeightHandle(int i) { return heightHandles[i & 1]; }
    int32_t GetSavedObjectId() const { return savedObjectId; }
    int32_t GetLinkedId(int which) const { return which == kBegin ? linkedBeginId : linkedEndId; }

protected:
    // The molding's keys into `keys` (the element the class opened).
    void WriteMoldingKeys(KeyDataList& keys);
    // Stops any loading of the profile and frees it. Every destructor of the chain calls it
    // first, so no loader reaches a molding half destroyed.
    void DropShape();
    // Rebuilds both display lists.
    void BuildLists();
    void DrawHandles();
    // Sets the link at one end to `other` without touching the other side.
    void SetLink(int which, BaseMolding* other) {
        (which == kBegin ? linkedBegin : linkedEnd) = other;
    }
    // Moves own end to P, links it to `other` at its end, and back.
    void LinkAt(BaseMolding* other, int own, int otherEnd, const Vector& corner);

    BaseMoldingState state;
    OutlinePoint begin;
    OutlinePoint end;
    OutlinePoint widthHandles[2];
    OutlinePoint heightHandles[2];
    Vector parentPlane{0.0, 0.0, 1.0};
    Vector pointInParentPlane{0.0, 0.0, 0.0};
    int32_t savedObjectId = 0;
    int32_t linkedBeginId = 0;
    int32_t linkedEndId = 0;
    std::unique_ptr<ParametricShape> shape;
    Part surface{this};
    Material material;
    int32_t currentEdge = 0;
    uint8_t capFlag = 0;
    GLuint geometryList = Part::kNoList;
    GLuint edgeLines = Part::kNoList;
    uint8_t invert = 0;
    BaseMolding* linkedBegin = nullptr;
    BaseMolding* linkedEnd = nullptr;
    uint8_t busy = 0;
    uint8_t standAlone = 1;
};
