#include "interaction/Dimension.h"

#include <cmath>

#include "control/BaseControl.h"
#include "foundation/KeyDataList.h"
#include "foundation/Trace.h"
#include "foundation/ViewState.h"
#include "model/SceneView.h"

namespace {

void WritePoint(KeyDataList& keys, const char* name, const OutlinePoint& point) {
    KeyDataList* list = keys.AddSublist(name);
    point.position.WriteChild(*list, "v");
    list->AddDouble("constrainFollowing", point.constrainFollowing ? 1.0 : 0.0);
}

void ReadPoint(const KeyDataList& keys, const char* name, OutlinePoint& point) {
    const KeyDataList* list = keys.GetSublist(name);
    if (list->IsEmpty()) return;
    point.position.ReadChild(*list, "v");
    list->GetBool("constrainFollowing", point.constrainFollowing);
}

}  // namespace

Dimension::Dimension(bool isUserDefined) : userDefined(isUserDefined ? 1 : 0) {
    offsetHandle.position = Vector(20.0, 0.0, 0.0);
    BaseControl* control = theControl();
    SceneView* view = control ? control->GetActiveView() : nullptr;
    creationViewMode = view ? view->GetRenderState().GetInteger(0) : 0;
    if (userDefined && creationViewMode == 1 && control)
        blueprintEffectiveHeight = control->floorState.GetDouble(4);
}

void Dimension::Render() {
    // Drawn by the dimension drawing; the dimension itself keeps only what it measures.
}

void Dimension::Translate(const Vector& offset) {
    startPoint.position.Add(offset);
    endPoint.position.Add(offset);
    blueprintEffectiveHeight += offset.y;
    MarkDirty();
}

void Dimension::SetEndPoints(const Vector& start, const Vector& end) {
    if (start.Equals(startPoint.position) && end.Equals(endPoint.position)) return;
    startPoint.position.Set(start);
    endPoint.position.Set(end);
    direction = Vector(end.x - start.x, end.y - start.y, end.z - start.z);
    direction.Normalize();
    MarkDirty();
}

void Dimension::SetOffsetDirection(const Vector& v) {
    if (v.Length() < 0.01) return;
    Vector& offset = offsetHandle.position;
    const double length = offset.Length();
    const bool against = offset.Dot(v) < 0.0;
    Vector turned = v;
    turned.Normalize();
    turned.Scale(against ? -length : length);
    offset.Set(turned);
    MarkDirty();
}

void Dimension::SetOffsetLength(double length) {
    Vector& offset = offsetHandle.position;
    if (offset.Length() == 0.0) return;
    offset.Normalize();
    offset.Scale(length);
    MarkDirty();
}

void Dimension::SetLabelColor(double r, double g, double b) {
    labelColor[0] = r;
    labelColor[1] = g;
    labelColor[2] = b;
    labelColor[3] = 1.0;
}

void Dimension::Write(KeyDataList& keys) const {
    keys.AddDouble("visibleRenderType", creationViewMode);
    keys.AddDouble("Locked", IsLocked() ? 1.0 : 0.0);
    direction.WriteChild(keys, "direction");
    WritePoint(keys, "startPoint", startPoint);
    WritePoint(keys, "endPoint", endPoint);
    WritePoint(keys, "offset", offsetHandle);
    keys.AddDouble("userDefined", userDefined ? 1.0 : 0.0);
    keys.AddDouble("blueprintEffectiveHeight", blueprintEffectiveHeight);
    keys.AddDouble("transactionObjectId", GetObjectId());
    if (!userDefined) keys.AddDouble("visible", IsVisible() ? 1.0 : 0.0);
}

void Dimension::WriteKeyData() {
    delete element;
    element = new KeyDataSublist("Dimension");
    Write(*element->GetChildren());
}

bool Dimension::ReadKeyData(KeyDataList& keys) {
    int mode = 0;
    if (keys.GetInt("visibleRenderType", mode)) creationViewMode = mode;
    bool flag = false;
    if (keys.GetBool("Locked", flag)) SetLocked(flag);
    direction.ReadChild(keys, "direction");
    ReadPoint(keys, "startPoint", startPoint);
    ReadPoint(keys, "endPoint", endPoint);
    ReadPoint(keys, "offset", offsetHandle);
    if (keys.GetBool("userDefined", flag)) userDefined = flag ? 1 : 0;
    ReadFiniteDouble(keys, "blueprintEffectiveHeight", blueprintEffectiveHeight);
    double id = 0.0;
    if (keys.GetDouble("transactionObjectId", id)) {
        if (std::isfinite(id) && id >= 0.0 && id < static_cast<double>(kNoTransactionId))
            SetObjectId(static_cast<TransactionId>(id));
        else
            TraceWrite("Dimension: transaction id out of range");
    }
    if (!userDefined && keys.GetBool("visible", flag)) SetVisible(flag);
    MarkDirty();
    return true;
}
