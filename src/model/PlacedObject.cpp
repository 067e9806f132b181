#include "model/PlacedObject.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <iterator>
#include <type_traits>

#include "control/BaseControl.h"
#include "control/RenderLockScope.h"
#include "foundation/KeyDataList.h"
#include "foundation/Trace.h"
#include "foundation/UndoableObject.h"
#include "foundation/ViewState.h"
#include "model/BaseModel.h"
#include "model/SceneView.h"

namespace {

constexpr int kBlueprintMode = 1;
constexpr double kMarkerLift = 5.0;

}  // namespace

template <class Base>
PlacedObject<Base>::PlacedObject() {
    AttachRenderable();
    Refresh();
}

template <class Base>
bool PlacedObject<Base>::ViewBoolean(SceneView* view, int i) {
    return view && view->GetRenderState().GetBoolean(i);
}

template <class Base>
int PlacedObject<Base>::ViewMode(SceneView* view) {
    return view ? view->GetRenderState().GetInteger(0) : 0;
}

template <class Base>
void PlacedObject<Base>::Refresh() {
    BoundingBox& box = this->box;
    if (box.IsEmpty()) {
        std::fill(std::begin(worldCorners), std::end(worldCorners), this->position);
        return;
    }
    Vector scale(1.0, 1.0, 1.0);
    if constexpr (std::is_base_of_v<BaseModel, Base>) scale = this->scale;
    const Vector* corners = box.ComputeCorners();
    const double h = (box.max.y - box.min.y) * 0.5;
    for (int i = 0; i < 8; ++i) {
        Vector c = corners[i];
        c.y -= h;
        c.w = 1.0;
        rotation.TransformVector4(c, c);
        c.y += h;
        c.ScaleComponents(scale.x, scale.y, scale.z);
        c.Add(this->position);
        c.w = 1.0;
        worldCorners[i] = c;
    }
}

template <class Base>
bool PlacedObject<Base>::IsInVisibleHeightRange() const {
    return group || this->InCurrentStorey(this->box.min.y + this->position.y,
                                          this->box.max.y + this->position.y);
}

namespace {

// Models re-test the lights that reach them only once their geometry is there.
template <class Base>
bool RetestsLights(const Base& object) {
    if constexpr (std::is_base_of_v<BaseModel, Base>)
        return object.IsLoaded();
    else
        return true;
}

}  // namespace

template <class Base>
void PlacedObject<Base>::SetPosition(const Vector& newPosition) {
    MoveableObject::SetPosition(newPosition);
    Refresh();
    if (RetestsLights<Base>(*this)) this->FlagOverlappingLights();
}

template <class Base>
void PlacedObject<Base>::OffsetPosition(const Vector& offset) {
    MoveableObject::OffsetPosition(offset);
    Refresh();
    if (RetestsLights<Base>(*this)) this->FlagOverlappingLights();
}

template <class Base>
void PlacedObject<Base>::Translate(const Vector& offset) {
    MoveableObject::OffsetPosition(offset);
    Refresh();
}

template <class Base>
void PlacedObject<Base>::RotateAboutAxis(int axis, double degrees) {
    RotatableObject::RotateAboutAxis(axis, degrees);
    TraceWrite("sr");
    Refresh();
    TraceWrite("sr2");
    RenderLockScope lock;
    if (RetestsLights<Base>(*this)) this->FlagOverlappingLights();
}

template <class Base>
void PlacedObject<Base>::DrawSelectionMarker(double size) {
    BaseControl* control = theControl();
    if (!control || ViewMode(control->GetActiveView()) == kBlueprintMode) return;
    double top = this->box.max.y;
    if constexpr (std::is_base_of_v<BaseModel, Base>) top *= this->scale.y;
    glPushAttrib(GL_ENABLE_BIT | GL_CURRENT_BIT);
    glDisable(GL_ALPHA_TEST);
    glPushMatrix();
    glTranslated((this->box.min.x + this->box.max.x) / 2.0, top + kMarkerLift,
                 (this->box.min.z + this->box.max.z) / 2.0);
    glPushName(GetMarkerName());
    glColor4d(1.0, 0.0, 1.0, 0.5);
    control->DrawSelectionSphere(std::trunc(size));
    glPopName();
    glPopMatrix();
    glPopAttrib();
}

template <class Base>
void PlacedObject<Base>::DrawCornerMarkers(double size, uint32_t pickName) {
    BaseControl* control = theControl();
    if (!control) return;
    glPushName(pickName);
    const Vector* corners = this->box.ComputeCorners();
    for (int i = 0; i < 8; ++i) {
        glPushMatrix();
        glTranslated(corners[i].x, corners[i].y, corners[i].z);
        control->DrawMarker(size);
        glPopMatrix();
    }
    glPopName();
}

template <class Base>
void PlacedObject<Base>::WritePlacement(KeyDataList& keys) const {
    this->position.WriteChild(keys, "Position");
    rotation.WriteKeyData(keys, "RotationMatrix");
    keys.AddDouble("Locked", locked ? 1 : 0);
}

template <class Base>
void PlacedObject<Base>::ReadPlacement(KeyDataList& keys) {
    ReadSnapMode(keys);
    double number = 0.0;
    if (keys.GetDouble("Locked", number)) locked = number != 0.0 ? 1 : 0;
    this->position.ReadChild(keys, "Position");
    this->position.w = 1.0;
    if (KeyDataList* matrix = keys.GetSublist("RotationMatrix"); matrix && !matrix->IsEmpty())
        rotation.ReadKeyData(*matrix);
    Refresh();
}

template <class Base>
void PlacedObject<Base>::DeleteFromScene() {
    BaseControl* control = theControl();
    if (!control) return;
    control->ReleaseHandles();
    if (!this->RemoveFromList(control->scene)) return;
    this->EndUndoStep();
    control->RebuildDisplayData();
    if constexpr (std::is_base_of_v<BaseModel, Base>) {
        this->ReleaseModelWhenIdle();
    } else {
        RenderLockScope hold(*control);
        control->deletedObjects.Append(this);
    }
}

template class PlacedObject<BaseModel>;
template class PlacedObject<UndoableObject>;
