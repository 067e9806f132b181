#pragma once

#include <GL/gl.h>

#include <cstdint>

#include "foundation/UndoableObject.h"
#include "geometry/Outline.h"
#include "geometry/Vector.h"
#include "model/ObjectTypes.h"
#include "model/TopLevelObject.h"

class KeyDataList;

// A measured distance: two end points, the measuring direction and an offset that pushes
// the dimension line away from the measured points. Walls own three automatic
// dimensions; the user draws free ones, which stand in the scene list.
class Dimension : public UndoableObject, public TopLevelObject {
public:
    explicit Dimension(bool userDefined);

    uint64_t GetTypeMask() const override { return TypeMask::kDimensionObject; }
    int GetKindCode() const override { return KindCode::kDimension; }
    bool IsLocked() const override { return TopLevelObject::IsLocked(); }

    void Render() override;
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
    int32_t viewMode = 0;
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
};
