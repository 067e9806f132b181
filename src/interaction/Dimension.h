#pragma once

#include <GL/gl.h>

#include <cstdint>
#include <memory>

#include "foundation/UndoableObject.h"
#include "geometry/Outline.h"
#include "geometry/Vector.h"
#include "model/ObjectTypes.h"
#include "model/TopLevelObject.h"

class KeyDataList;
class Text;

// A measured distance: two end points, the measuring direction and an offset that pushes
// the dimension line away from the measured points. Walls own three automatic
// dimensions; the user draws free ones, which stand in the scene list.
class Dimension : public UndoableObject, public TopLevelObject {
public:
    explicit Dimension(bool userDefined);
    // Deletes the display list (with a context current) and the label.
    ~Dimension() override;

    uint64_t GetTypeMask() const override { return TypeMask::kDimensionObject; }
    int GetKindCode() const override { return KindCode::kDimension; }
    bool IsLocked() const override { return TopLevelObject::IsLocked(); }

    void Render() override;
    // The selection spheres alone, for picking.
    void DrawPickable();
    // Only a user-defined, unlocked dimension leaves a list.
    bool RemoveFromList(LinkedList& list) override;
    void BuildPropertyMenu(platform::Menu& menu) override;
    bool ProcessPropertyMenu(uint32_t id) override;
    // The handles: 0 the start point, 1 the end point, 2 the offset handle; 3 the label
    // handle, which moves the whole dimension; null for other indexes.
    OutlinePoint* GetHandle(int index);
    // Moves the dimension line across the measuring line until it passes the point.
    void MoveOffsetTo(const Vector& point);
    // Moves the handle to the point: along the measuring line in whole units with
    // `snap`; while `creating`, in 45-degree steps and whole lengths.
    void DragHandle(const Vector& point, OutlinePoint* handle, bool snap, bool creating);
    // The label takes the dimension font.
    void UpdateLabel();
    Text* GetLabel() const { return label.get(); }
    // The view mode of the last drawing; -1 before the first.
    int GetViewMode() const { return viewMode; }
    int GetCreationViewMode() const { return creationViewMode; }
    double GetBlueprintEffectiveHeight() const { return blueprintEffectiveHeight; }
    // Moves both end points; the storey height of a blueprint dimension follows.
    void Translate(const Vector& offset) override;

    // Stores both points (and the direction between them) when either differs.
    void SetEndPoints(const Vector& start, const Vector& end);
    // Turns the offset towards `v`, keeping its length; nothing for a `v` shorter than 0.01.
    void SetOffsetDirection(const Vector& v);
    // The offset keeps its direction and takes the length.
    void SetOffsetLength(double length);
    void SetLabelColor(double r, double g, double b);

    // The dimension's keys into `keys`.
    void Write(KeyDataList& keys) const;
    // A "Dimension" element.
    void WriteKeyData() override;
    // The keys present in `keys`; missing keys leave their fields.
    bool ReadKeyData(KeyDataList& keys) override;

    const Vector& GetStart() const { return startPoint.position; }
    const Vector& GetEnd() const { return endPoint.position; }
    const Vector& GetOffsetVector() const { return offsetHandle.position; }
    const Vector& GetDirection() const { return direction; }
    const double* GetLabelColor() const { return labelColor; }
    bool IsUserDefined() const { return userDefined != 0; }

private:
    // The dimension line, arrows and ticks; compiled while `dirty`.
    void Compile(bool execute);

    int32_t viewMode = -1;
    double cameraValue = -9076.0;
    OutlinePoint offsetHandle;
    OutlinePoint startPoint;
    OutlinePoint endPoint;
    OutlinePoint labelHandle;
    Vector direction;
    uint8_t userDefined;
    GLuint displayList = 0xFFFFFFFFu;
    int32_t creationViewMode = 0;
    double blueprintEffectiveHeight = 0.0;
    double labelColor[4] = {0.0, 0.0, 0.0, 1.0};
    std::unique_ptr<Text> label;
};
