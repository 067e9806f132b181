#include "model/Model.h"

#include <GL/gl.h>
#include <strings.h>

#include <algorithm>
#include <cmath>

#include "control/BaseControl.h"
#include "control/RenderLockScope.h"
#include "foundation/KeyDataList.h"
#include "foundation/Trace.h"
#include "foundation/ViewState.h"
#include "model/SceneView.h"
#include "platform/Menu.h"
#include "render/Window.h"

namespace {

constexpr int kBlueprintMode = 1;
constexpr double kHandleSize = 5.0;
constexpr double kRotateHandleGap = 5.0;
constexpr double kTopHandleGap = 10.0;
constexpr int kConeSegments = 8;

bool HasEntries(const KeyDataList* list) {
    return list && !list->IsEmpty();
}

// What "Fit Plan To View" reads of the scene's models: the corners of their world box.
class ModelFitPoints : public FitPointReader {
public:
    uint64_t TypeMask(const LinkedListObject& object) const override {
        auto* pickable = dynamic_cast<const PickableObject*>(&object);
        return pickable ? pickable->GetTypeMask() : 0;
    }
    void OutlinePoints(const LinkedListObject&, std::vector<Vector>&) const override {}
    void WallFitPoints(const LinkedListObject&, Vector out[2]) const override {
        out[0] = out[1] = Vector();
    }
    void BoxCorners(const LinkedListObject& object, Vector out[8]) const override {
        if (auto* model = dynamic_cast<const Model*>(&object)) {
            std::copy(model->GetWorldCorners(), model->GetWorldCorners() + 8, out);
            return;
        }
        BoundingBox box;
        if (auto* renderable = dynamic_cast<const RenderableObject*>(&object))
            box = renderable->GetBoundingBox();
        std::copy(box.ComputeCorners(), box.ComputeCorners() + 8, out);
    }
};

const ModelFitPoints modelFitPoints;
// Registered when the program starts.
const bool modelFitPointsRegistered = [] {
    SetFitPointReader(&modelFitPoints);
    return true;
}();

}  // namespace

const FitPointReader& ModelFitPointReader() {
    return modelFitPoints;
}

Model::Model() = default;

Model::~Model() {
    // A load still reading into this model ends before the model goes.
    CancelDownload();
    delete lockCodes;
    lockCodes = nullptr;
    TraceWrite("~M");
}

bool Model::IsShownInCurrentView() {
    if (!visible) {
        shownInView = 0;
        return false;
    }
    return BaseModel::IsShownInCurrentView();
}

void Model::WriteKeyData() {
    BaseModel::WriteKeyData();
    KeyDataList& keys = *element->GetChildren();
    WritePlacement(keys);
    WriteSnapMode(keys);
    if (HasEntries(lockCodes)) {
        KeyDataList* copy = keys.AddSublist("lockCodes");
        copy->AppendCopiesOf(*lockCodes);
    }
}

bool Model::ReadKeyData(KeyDataList& keys) {
    BaseModel::ReadKeyData(keys);
    ReadPlacement(keys);
    // A model keeps the codes it has; the keys' codes only go to a model without.
    if (!HasEntries(lockCodes)) {
        KeyDataList* taken = keys.TakeSublist("lockCodes");
        if (taken != KeyDataList::SharedEmpty()) {
            delete lockCodes;
            lockCodes = taken;
        }
    }
    TraceWrite("admfl");
    FlagOverlappingLights();
    return true;
}

bool Model::HasLockCodes() const {
    return HasEntries(lockCodes);
}

bool Model::AcceptsLockCodes(const KeyDataList& keys) const {
    if (keys.IsEmpty()) return false;
    if (!HasEntries(lockCodes)) return true;
    const KeyDataList* offered = keys.GetSublist("lockCodes");
    for (auto* mine = lockCodes->GetFirstMember(); mine; mine = mine->GetNextMember()) {
        if (!mine->IsElement()) continue;
        const char* value = static_cast<const KeyDataElement*>(mine)->GetValue();
        for (auto* theirs = offered->GetFirstMember(); theirs; theirs = theirs->GetNextMember())
            if (theirs->IsElement() &&
                strcasecmp(static_cast<const KeyDataElement*>(theirs)->GetValue(), value) == 0)
                return true;
    }
    return false;
}

RenderableObject* Model::Clone() {
    return Clone(false, false);
}

Model* Model::Clone(bool offset, bool addToScene) {
    BaseControl* control = theControl();
    RenderLockScope lock;
    Model* copy = NewOfSameKind();
    RestoreInto(*copy, true, true);
    // The copy reads its own parts from the same geometry file.
    if (decompressedFile[0]) copy->StartDownload(url, decompressedFile, true);
    if (offset) {
        Vector moved = position;
        moved.x += box.max.x - box.min.x;
        copy->SetPosition(moved);
    }
    if (addToScene && control) {
        if (copy->HasType(TypeBit::kLight))
            control->PlaceLightInScene(copy);
        else
            control->scene.Append(copy);
    }
    return copy;
}

void Model::UpdateTitle() {
    if (!locked) {
        BaseModel::UpdateTitle();
        return;
    }
    if (BaseControl* control = theControl())
        control->ShowObjectStatus(control->LoadResourceString(246).c_str());
}

void Model::WriteObjectInformation(std::string& buffer) {
    WriteModelXml(buffer, position.y);
}

void Model::Render() {
    BaseControl* control = theControl();
    SceneView* view = control ? control->GetCurrentView() : nullptr;
    if (!shownInView || !visible) return;
    if (view && (viewFlags & (1u << (static_cast<unsigned>(view->GetViewId()) & 31u)))) return;
    const bool handlesOff = control && control->globalState.GetBoolean(15);

    if (!group) {
        SetStencilForSelection();
        glLoadName(GetPickName());
    }
    glPushMatrix();
    glTranslated(position.x, position.y, position.z);
    double size = kHandleSize;
    if (selected && !handlesOff && !ViewBoolean(view, 13)) {
        const double markerScale = control && control->currentWindow
                                       ? control->currentWindow->GetMarkerScale(GetBoxCenterWorld())
                                       : 1.0;
        size = std::max(1.0, 0.02 * markerScale * box.min.Distance(box.max));
        // A model whose geometry has not arrived has no box yet.
        if (!std::isfinite(size)) size = kHandleSize;
        DrawSelectionMarker(size);
    }
    const Vector m = box.min.Midpoint(box.max);
    glTranslated(0.0, m.y, 0.0);
    glMultMatrixd(rotation.m);
    glTranslated(m.x, -m.y, m.z);
    BaseModel::Render();
    if (selected && !handlesOff && !ViewBoolean(view, 13) && !ViewBoolean(view, 10)) {
        DrawResizeHandles(static_cast<int>(size));
        UpdateTitle();
    }
    glPopMatrix();
}

void Model::DrawResizeHandles(int size) {
    BaseControl* control = theControl();
    if (!control) return;
    SceneView* view = control->GetCurrentView();
    // Small handles are only drawn for picking (no drag of the control runs here).
    if (control->globalState.GetBoolean(18) && !ViewBoolean(view, 3)) return;
    glPushAttrib(GL_CURRENT_BIT | GL_COLOR_BUFFER_BIT | GL_ENABLE_BIT);
    glDisable(GL_ALPHA_TEST);
    glPushMatrix();
    glScaled(scale.x, scale.y, scale.z);
    glTranslated(0.0, -box.min.y, 0.0);
    glColor4d(1.0, 0.0, 0.0, 0.5);
    DrawCornerMarkers(size, GetResizeHandleName());
    DrawRotateHandles(std::max(size * 0.5, 1.0));
    glPopMatrix();
    glPopAttrib();
}

void Model::DrawRotateHandles(double size) {
    BaseControl* control = theControl();
    if (!control) return;
    glColor4d(0.0, 1.0, 0.0, 0.5);
    const Vector m = box.min.Midpoint(box.max);
    auto cone = [&](int axis, double x, double y, double z, double angle, double ax, double az) {
        glPushMatrix();
        glTranslated(x, y, z);
        if (angle != 0.0) glRotated(angle, ax, 0.0, az);
        glPushName(GetRotateHandleName(axis));
        control->DrawCone(kConeSegments, size);
        glPopName();
        glPopMatrix();
    };
    cone(0, (box.max.x - box.min.x) * 0.5 + kRotateHandleGap, m.y, m.z, -90.0, 0.0, 1.0);
    if (ViewMode(control->GetCurrentView()) != kBlueprintMode)
        cone(1, m.x, box.max.y - box.min.y + kTopHandleGap, m.z, 0.0, 0.0, 0.0);
    cone(2, m.x, m.y, (box.max.z - box.min.z) * 0.5 + kRotateHandleGap, 90.0, 1.0, 0.0);
}

void Model::BuildPropertyMenu(platform::Menu& menu) {
    BaseControl* control = theControl();
    AppendMenuItems(menu);
    menu.AppendItem(ModelMenuCommand::kSnapTo, "Snap To",
                    control && control->globalState.GetBoolean(3));
    menu.AppendSeparator();
    BaseModel::BuildPropertyMenu(menu);
    BuildRotateMenu(menu);
    menu.AppendSeparator();
    SizeableObject::BuildPropertyMenu(menu);
    menu.AppendSeparator();
}

bool Model::ProcessPropertyMenu(uint32_t id) {
    if (OnCommand(id)) return true;
    if (BaseModel::ProcessPropertyMenu(id)) return true;
    if (RotatableObject::OnRotateCommand(id)) {
        Refresh();
        return true;
    }
    BaseControl* control = theControl();
    if (id == ModelMenuCommand::kDelete) {
        DeleteFromScene();
        return true;
    }
    if (id == ModelMenuCommand::kSnapTo) {
        if (control) control->globalState.SetBoolean(3, !control->globalState.GetBoolean(3));
        return false;
    }
    return false;
}
