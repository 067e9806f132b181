#include "building/Stairs.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <strings.h>

#include "control/BaseControl.h"
#include "control/LengthFormat.h"
#include "control/RenderLockScope.h"
#include "control/dialogs/StairsPropertyDialog.h"
#include "foundation/KeyDataList.h"
#include "foundation/Trace.h"
#include "geometry/ViewProjection.h"
#include "model/SceneView.h"
#include "platform/Menu.h"

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr const char* kStepMaterial = "textures/cement/concrete_16_im.3c_";
constexpr const char* kStringerMaterial = "textures/metal/blechmetal.3c_";

void WriteFlag(KeyDataList& keys, const char* key, bool flag) {
    keys.AddDouble(key, flag ? 1.0 : 0.0);
}

// A finite number read from the keys into `out`; false (out unchanged) otherwise.
bool ReadNumber(const KeyDataList& keys, const char* key, double& out) {
    double value = 0.0;
    if (!keys.GetDouble(key, value)) return false;
    if (!std::isfinite(value)) {
        theTrace().WriteFormat("Stairs: %s is not a number; kept", key);
        return false;
    }
    out = value;
    return true;
}

bool IsFinite(const Vector& v) {
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

}  // namespace

// ---- Construction -------------------------------------------------------------------

void Stairs::InitDefaults() {
    squareProfile.Clear();
    for (const Vector& p : {Vector(1, 0, 1), Vector(1, 0, 0), Vector(-1, 0, 0), Vector(-1, 0, 1)})
        squareProfile.InsertPoint(p, squareProfile.GetPrimaryCount(), false);
    roundedProfile.Clear();
    roundedProfile.InsertPoint(Vector(1, 0, 1), 0, false);
    for (int i = 0; i <= 12; ++i) {
        const double a = i * 15.0 * kPi / 180.0;
        roundedProfile.InsertPoint(Vector(std::cos(a), 0, 0.5 - std::sin(a)),
                                   roundedProfile.GetPrimaryCount(), false);
    }
    roundedProfile.InsertPoint(Vector(-1, 0, 1), roundedProfile.GetPrimaryCount(), false);
    slope = 0.5;
    width = 36.0;
    params = StepParameters{};
    params.stepHeight = 6.0;
    params.stepDepth = 12.0;
    params.stepThickness = 1.0;
    params.stepOverhang = 0.0;
    params.showRiser = true;
    params.profile = &squareProfile;
    params.direction = Vector(1.0, 0.0, 0.0);
    params.surface = &surfacePart;
    params.edge = &edgePart;
    params.riser = &riserPart;
    params.owner = this;
    outlineList = Part::kNoList;
    stepCount = 0;
    textureU = Vector(1, 0, 0);
    textureV = Vector(0, 1, 0);
    stringerFaces = false;
    showStringers = false;
    arrowShown = false;
    Part* parts[4] = {&surfacePart, &edgePart, &riserPart, &stringerPart};
    for (int i = 0; i < 4; ++i) {
        parts[i]->material = &materials[i];
        parts[i]->SetOwner(this);
    }
    outlinePart.SetOwner(this);
}

Stairs::Stairs()
    : surfacePart(this, 1), edgePart(this, 2), riserPart(this, 3) {
    InitDefaults();
}

Stairs::Stairs(const Vector& point)
    : surfacePart(this, 1), edgePart(this, 2), riserPart(this, 3) {
    InitDefaults();
    Vector p = point;
    p.w = 1.0;
    for (int i = 0; i < 4; ++i) outline.InsertPoint(p, i, false);
    outline.SetNormal(Vector(0, 1, 0));
    start = end = p;
    box.min = box.max = p;
    creationDone = false;
    BaseControl* control = theControl();
    if (control && control->GetContentDomain()[0]) {
        char address[BaseControl::kPathSize];
        for (int i = 0; i < 3; ++i)
            materials[i].LoadFromURL(control->AttachPathToDomain(kStepMaterial, address,
                                                                 sizeof address));
        materials[3].LoadFromURL(
            control->AttachPathToDomain(kStringerMaterial, address, sizeof address));
    }
    stringerThickness = 2.0;
    showLeftStringer = showRightStringer = true;
    showMiddleStringer = showQuarterStringer = show3QuarterStringer = false;
    preserveStepDepth = false;
}

Stairs::~Stairs() {
    if (HasOpenStep()) CancelUndoStep();
    while (LinkedListObject* step = steps.PopHead()) delete step;
    if (outlineList != Part::kNoList) glDeleteLists(outlineList, 1);
    if (topRiserList != Part::kNoList) glDeleteLists(topRiserList, 1);
}

// ---- Parameters ---------------------------------------------------------------------

bool Stairs::ShowsStringerAt(int position) const {
    switch (position) {
        case 0: return showLeftStringer;
        case 1: return showQuarterStringer;
        case 2: return showMiddleStringer;
        case 3: return show3QuarterStringer;
        case 4: return showRightStringer;
        default: return false;
    }
}

void Stairs::SetStringerAt(int position, bool flag) {
    bool* flags[5] = {&showLeftStringer, &showQuarterStringer, &showMiddleStringer,
                      &show3QuarterStringer, &showRightStringer};
    if (position >= 0 && position < 5) *flags[position] = flag;
}

int Stairs::StringerCount() const {
    int n = 0;
    for (int i = 0; i < 5; ++i) n += ShowsStringerAt(i) ? 1 : 0;
    return n;
}

void Stairs::SetRounded(bool flag) {
    params.profile = flag ? &roundedProfile : &squareProfile;
}

bool Stairs::SetStepDepth(double depth) {
    if (!std::isfinite(depth) || depth < kMinStepDepth) {
        theTrace().WriteFormat("Stairs: step depth %g refused", depth);
        return false;
    }
    if (depth != params.stepDepth) params.stepDepth = depth;
    return true;
}

// ---- Steps --------------------------------------------------------------------------

void Stairs::ComputeEndPoints() {
    const int count = outline.GetPrimaryCount();
    if (count == 0) return;
    const OutlinePoint* nodes = outline.GetPrimaryPoints();
    const Vector& d = params.direction;
    int low = 0, high = 0;
    double lowP = nodes[0].position.Dot(d), highP = lowP;
    for (int i = 1; i < count; ++i) {
        const double p = nodes[i].position.Dot(d);
        if (p < lowP) {
            lowP = p;
            low = i;
        }
        if (p > highP) {
            highP = p;
            high = i;
        }
    }
    start = nodes[low].position;
    Vector top = nodes[high].position;
    top.Subtract(start);
    const double along = top.Dot(d);
    end = start;
    end.Offset(d.x * along, d.y * along, d.z * along);
    start.w = end.w = 1.0;
}

void Stairs::UpdateBounds() {
    const int count = outline.GetPrimaryCount();
    if (count == 0) return;
    const OutlinePoint* nodes = outline.GetPrimaryPoints();
    const Vector& c0 = nodes[0].position;
    box.min = box.max = Vector(c0.x, c0.y + stepCount * params.stepHeight +
                                          params.stepThickness * 0.5,
                               c0.z);
    for (int i = 0; i < count; ++i) ExtendMinMax(box.min, box.max, nodes[i].position);
}

void Stairs::UpdateSteps() {
    BaseControl* control = theControl();
    {
        RenderLockScope lock(control);
        ComputeEndPoints();
        const double length = end.Distance(start);
        const double run = std::isfinite(length) ? length : 0.0;
        height = run * slope;
        double quotient = params.stepDepth > 0.0 ? run / params.stepDepth + 1e-8 : 1.0;
        if (!std::isfinite(quotient)) quotient = 1.0;
        int n = quotient >= kMaxSteps ? kMaxSteps : static_cast<int>(std::floor(quotient));
        if (n < 2) n = 1;
        stepCount = n;
        if (!preserveStepDepth) params.stepDepth = run / n;
        params.stepHeight = height / n;

        LinkedListObject* node = steps.GetHead();
        for (int i = 0; i < n; ++i) {
            Step* step = static_cast<Step*>(node);
            if (node) {
                node = node->GetNext();
            } else {
                step = new Step(&params);
                steps.Append(step);
            }
            if (i >= 1) step->Build(outline, start, i);
        }
        while (node) {
            LinkedListObject* next = node->GetNext();
            steps.Remove(node);
            delete node;
            node = next;
        }
        UpdateBounds();
    }
    FlagOverlappingLights();
    MarkDirty();
}

void Stairs::HideArrow() {
    arrowShown = false;
    BaseControl* control = theControl();
    if (control && control->arrowModels[0]) control->arrowModels[0]->SetFlags(0xFFFFFFFFu);
}

void Stairs::Rebuild() {
    UpdateSteps();
    HideArrow();
    creationDone = true;
}

void Stairs::MarkDirty() {
    RenderableObject::MarkDirty();
    stepArea = riserArea = 0.0;
    for (LinkedListObject* node = steps.GetHead(); node; node = node->GetNext()) {
        auto* step = static_cast<Step*>(node);
        step->MarkDirty();
        step->dirty = true;
        if (!step->HasTread()) continue;
        stepArea += step->treadOutline.GetArea();
        riserArea += step->riserOutline.GetPerimeter(true) *
                     (params.stepHeight - params.stepThickness * 0.5);
    }
}

void Stairs::ChangeHeightBy(double delta) {
    if (IsLocked() || !std::isfinite(delta)) return;
    const double length = end.Distance(start);
    // A stair without a run or without steps has no slope to change.
    if (!(length > 0.0) || stepCount < 1) return;
    const double slopeChange = delta / length;
    const double heightChange = delta / stepCount;
    slope -= slopeChange;
    params.stepHeight -= heightChange;
    if (params.stepHeight >= kLowestStepHeight && params.stepHeight <= kHighestStepHeight) {
        UpdateSteps();
        ShowMeasurements(&heightHandle);
        return;
    }
    const double d = params.stepHeight < kLowestStepHeight ? length / (stepCount - 1.5)
                                                           : length / (stepCount + 1.5);
    const bool refused = preserveStepDepth || !std::isfinite(d) || d < kMinStepDepth ||
                         (d < kShallowestDepth && delta < 0.0) ||
                         (d > kDeepestDepth && delta > 0.0);
    if (refused) {
        slope += slopeChange;
        params.stepHeight += heightChange;
        return;
    }
    params.stepDepth = d;
    UpdateSteps();
    ShowMeasurements(&heightHandle);
}

void Stairs::ShowMeasurements(PickableObject* handle) {
    if (!handle || !handle->HasType(TypeBit::kOutlineNode | TypeBit::kOutlineEdge)) return;
    BaseControl* control = theControl();
    if (!control || !control->activeWindow) return;
    if (handle == &heightHandle) {
        ShowLengthInStatusBar("Height : ", box.max.y - box.min.y, kNoSecondLength);
        return;
    }
    if (handle == &control->liftHandle) {
        ShowLengthInStatusBar("Altitude : ", box.min.y, kNoSecondLength);
        return;
    }
    if (!handle->HasType(TypeBit::kOutlineEdge) || outline.GetPrimaryCount() != 4) return;
    const OutlinePoint* n = outline.GetPrimaryPoints();
    auto diff = [](const Vector& a, const Vector& b) {
        Vector d = a;
        d.Subtract(b);
        return d;
    };
    const Vector& c0 = n[0].position;
    const Vector& c1 = n[1].position;
    const Vector& c2 = n[2].position;
    const Vector& c3 = n[3].position;
    if (std::fabs(diff(c0, c1).Dot(diff(c2, c1))) < 0.0001 &&
        std::fabs(diff(c0, c3).Dot(diff(c2, c3))) < 0.0001)
        ShowLengthInStatusBar("", c0.Distance(c3), c0.Distance(c1));
}

// ---- Scene --------------------------------------------------------------------------

bool Stairs::RemoveFromList(LinkedList& list) {
    if (IsLocked()) return false;
    return UndoableObject::RemoveFromList(list);
}

bool Stairs::SetSelected(bool flag) {
    if (!flag) {
        HideArrow();
        if (selected && !creationDone) Rebuild();
    }
    selected = flag ? 1 : 0;
    return flag;
}

void Stairs::Translate(const Vector& offset) {
    box.min.Add(offset);
    box.max.Add(offset);
    box.min.w = box.max.w = 1.0;
    start.Add(offset);
    end.Add(offset);
    start.w = end.w = 1.0;
    outline.Translate(offset.x, offset.y, offset.z);
    for (LinkedListObject* node = steps.GetHead(); node; node = node->GetNext())
        static_cast<Step*>(node)->Translate(offset);
    MarkDirty();
}

bool Stairs::IsPositionValid() {
    return outline.IsSimple();
}

bool Stairs::Offset(double dx, double dy, double dz) {
    if (!std::isfinite(dx) || !std::isfinite(dy) || !std::isfinite(dz)) return false;
    if (dy < 0.0 && box.min.y + dy < 0.0) return false;
    Translate(Vector(dx, dy, dz));
    FlagOverlappingLights();
    return true;
}

RenderableObject* Stairs::Clone() {
    RenderLockScope lock;
    auto* copy = new Stairs;
    RestoreInto(*copy, true, false);
    return copy;
}

bool Stairs::GetWalkingSlope(Vector& origin, Vector& run, double& rise) const {
    if (!creationDone || stepCount < 1) return false;
    origin = start;
    run = params.direction;
    rise = slope;
    return true;
}

// ---- Keys ---------------------------------------------------------------------------

void Stairs::WriteKeyData() {
    delete element;
    element = new KeyDataSublist("Stairs");
    KeyDataList& keys = *element->GetChildren();
    keys.AddString("rounded", IsRounded() ? "yes" : "no");
    outline.Save(keys, "outline");
    keys.AddDouble("transactionObjectId", GetObjectId());
    keys.AddDouble("slope", slope);
    params.direction.WriteChild(keys, "StairDirection");
    keys.AddDouble("height", height);
    keys.AddDouble("stepDepth", params.stepDepth);
    keys.AddDouble("stepHeight", params.stepHeight);
    WriteFlag(keys, "showRiser", params.showRiser);
    keys.AddDouble("stepThickness", params.stepThickness);
    keys.AddDouble("stepOverhang", params.stepOverhang);
    keys.AddDouble("stringerThickness", stringerThickness);
    WriteFlag(keys, "showStringers", showStringers);
    WriteFlag(keys, "showLeftStringer", showLeftStringer);
    WriteFlag(keys, "showRightStringer", showRightStringer);
    WriteFlag(keys, "showMiddleStringer", showMiddleStringer);
    WriteFlag(keys, "showQuarterStringer", showQuarterStringer);
    WriteFlag(keys, "show3QuarterStringer", show3QuarterStringer);
    WriteFlag(keys, "preserveStepDepth", preserveStepDepth);
    surfacePart.SaveMaterial(keys, "stepSurface");
    edgePart.SaveMaterial(keys, "stepEdge");
    riserPart.SaveMaterial(keys, "stepRiser");
    stringerPart.SaveMaterial(keys, "stringer");
    WriteFlag(keys, "creationDone", creationDone);
}

bool Stairs::ReadKeyData(KeyDataList& keys) {
    if (const char* rounded = keys.GetString("rounded"))
        SetRounded(strcasecmp(rounded, "yes") == 0);
    if (keys.GetSublist("outline") != KeyDataList::SharedEmpty()) {
        outline.Load(keys, "outline");
        if (outline.GetPrimaryCount() > 0 && outline.GetPrimaryCount() < 3) {
            theTrace().Write("Stairs: an outline of fewer than three corners was dropped");
            outline.Clear();
        }
    }
    ReadNumber(keys, "slope", slope);
    if (keys.GetSublist("StairDirection") != KeyDataList::SharedEmpty()) {
        Vector d = params.direction;
        d.ReadChild(keys, "StairDirection");
        d.y = 0.0;
        const double length = std::sqrt(d.x * d.x + d.z * d.z);
        if (IsFinite(d) && length > 1e-9) {
            params.direction = Vector(d.x / length, 0.0, d.z / length);
        } else {
            theTrace().Write("Stairs: a direction without length was not taken");
        }
    }
    ReadNumber(keys, "height", height);
    double depth = params.stepDepth;
    if (ReadNumber(keys, "stepDepth", depth)) SetStepDepth(depth);
    ReadNumber(keys, "stepHeight", params.stepHeight);
    ReadNumber(keys, "stepThickness", params.stepThickness);
    keys.GetBool("showRiser", params.showRiser);
    ReadNumber(keys, "stepOverhang", params.stepOverhang);
    ReadNumber(keys, "stringerThickness", stringerThickness);
    keys.GetBool("showStringers", showStringers);
    keys.GetBool("showLeftStringer", showLeftStringer);
    keys.GetBool("showRightStringer", showRightStringer);
    keys.GetBool("showMiddleStringer", showMiddleStringer);
    keys.GetBool("showQuarterStringer", showQuarterStringer);
    keys.GetBool("show3QuarterStringer", show3QuarterStringer);
    surfacePart.Load(*keys.GetSublist("stepSurface"));
    edgePart.Load(*keys.GetSublist("stepEdge"));
    riserPart.Load(*keys.GetSublist("stepRiser"));
    stringerPart.Load(*keys.GetSublist("stringer"));
    keys.GetBool("preserveStepDepth", preserveStepDepth);
    bool done = creationDone;
    keys.GetBool("creationDone", done);
    Rebuild();
    if (!done) creationDone = false;
    double id = 0.0;
    if (keys.GetDouble("transactionObjectId", id) && std::isfinite(id) && id >= 0.0 &&
        id <= static_cast<double>(UINT32_MAX))
        SetObjectId(static_cast<TransactionId>(id));
    LoadInformation(keys);
    return true;
}

void Stairs::WriteObjectInformation(std::string& buffer) {
    char head[512];
    std::snprintf(head, sizeof head,
                  "<stairs stepCount=\"%i\" stepArea=\"%f\" riserArea=\"%f\" stringerCount=\"%i\" "
                  "stepHeight=\"%f\" stepDepth=\"%f\">",
                  stepCount, stepArea, riserArea, StringerCount(), params.stepHeight,
                  params.stepDepth);
    buffer += head;
    materials[0].WriteXML(buffer, "stepMaterial", false, stepArea);
    materials[2].WriteXML(buffer, "riserMaterial", false, riserArea);
    materials[3].WriteXML(buffer, "stringerMaterial", false, 0.0);
    WriteObjectInformationXml(buffer, information);
    buffer += "</stairs>";
}

// ---- Menu, dialog and defaults ------------------------------------------------------

void Stairs::BuildPropertyMenu(platform::Menu& menu) {
    AppendMenuItems(menu);
    menu.AppendItem(kRoundFronts, "Round Fronts", IsRounded());
    menu.AppendItem(kBuildSupportWalls, "Build Support Walls");
    menu.AppendSeparator();
    menu.AppendItem(kHideRisers, "Hide Risers", !params.showRiser);
    menu.AppendItem(kHideSupportBeams, "Hide Support Beams", !showStringers);
    menu.AppendSeparator();
}

bool Stairs::ProcessPropertyMenu(uint32_t id) {
    if (UndoableObject::ProcessPropertyMenu(id)) return true;
    BaseControl* control = theControl();
    switch (id) {
        case 102:
            BeginUndoStep();
            ShowPropertyDialog();
            EndUndoStep();
            return true;
        case 104: {
            if (control) control->ReleaseHandles();
            if (!control || !RemoveFromList(control->scene)) return true;
            EndUndoStep();
            control->RebuildDisplayData();
            // The render thread destroys it on its turn.
            control->deletedObjects.Append(this);
            return true;
        }
        case kBuildSupportWalls:
            BeginUndoStep();
            BuildSupportWalls();
            EndUndoStep();
            return true;
        case kHideRisers:
            BeginUndoStep();
            params.showRiser = !params.showRiser;
            EndUndoStep();
            MarkDirty();
            return true;
        case kRoundFronts:
            BeginUndoStep();
            SetRounded(!IsRounded());
            UpdateSteps();
            EndUndoStep();
            return true;
        case kHideSupportBeams:
            BeginUndoStep();
            showStringers = !showStringers;
            EndUndoStep();
            MarkDirty();
            return true;
        case kToggleArrow: {
            arrowShown = selected ? !arrowShown : false;
            if (control && control->arrowModels[0])
                control->arrowModels[0]->SetFlags(arrowShown ? 0u : 0xFFFFFFFFu);
            return true;
        }
        default:
            return TopLevelObject::OnCommand(id);
    }
}

void Stairs::ShowPropertyDialog() {
    StairsPropertyDialog dialog(this);
    dialog.SetStairHeight(box.max.y - box.min.y);
    dialog.SetStepDepth(params.stepDepth);
    dialog.SetStepOverhang(params.stepOverhang);
    dialog.SetStepThickness(params.stepThickness);
    dialog.SetPreserveStepDepth(preserveStepDepth);
    dialog.SetRounded(IsRounded());
    dialog.SetShowRiser(params.showRiser);
    dialog.ShowStepHeight(params.stepHeight);
    dialog.SetShowStringers(showStringers);
    dialog.SetShowLeftStringer(showLeftStringer);
    dialog.SetShowQuarterStringer(showQuarterStringer);
    dialog.SetShowMiddleStringer(showMiddleStringer);
    dialog.SetShow3QuarterStringer(show3QuarterStringer);
    dialog.SetShowRightStringer(showRightStringer);
    dialog.SetStringerThickness(stringerThickness);
    dialog.Show();
}

int Stairs::OnDialogNotify(Dialog* dialog, int code) {
    auto* values = dynamic_cast<StairsPropertyDialog*>(dialog);
    if (!values || code != 1) return 0;
    if (std::isfinite(values->stepOverhang) && values->stepOverhang >= 0.0f)
        params.stepOverhang = values->stepOverhang;
    if (std::isfinite(values->stepThickness) && values->stepThickness >= 0.0f)
        params.stepThickness = values->stepThickness;
    preserveStepDepth = values->preserveStepDepth;
    params.showRiser = values->showRisers;
    showStringers = values->showSupports;
    showLeftStringer = values->supports[0];
    showQuarterStringer = values->supports[1];
    showMiddleStringer = values->supports[2];
    show3QuarterStringer = values->supports[3];
    showRightStringer = values->supports[4];
    if (std::isfinite(values->supportThickness) && values->supportThickness > 0.0f)
        stringerThickness = values->supportThickness;
    ChangeHeightBy(box.max.y - box.min.y - values->stairHeight);
    if (std::isfinite(values->stepHeight) && values->stepHeight > 0.0f)
        params.stepHeight = values->stepHeight;
    SetStepDepth(values->stepDepth);
    SetRounded(values->rounded);
    UpdateSteps();
    return 0;
}

void Stairs::ApplyState() {
    const double overhang = state.GetDouble(2);
    if (std::isfinite(overhang) && overhang >= 0.0) params.stepOverhang = overhang;
    const double thickness = state.GetDouble(3);
    if (std::isfinite(thickness) && thickness >= 0.0) params.stepThickness = thickness;
    const double newWidth = state.GetDouble(4);
    if (std::isfinite(newWidth) && newWidth > 0.0) width = newWidth;
    const double newHeight = state.GetDouble(5);
    if (std::isfinite(newHeight) && newHeight > 0.0)
        ChangeHeightBy(box.max.y - box.min.y - newHeight);
    SetStepDepth(state.GetDouble(1));
    showLeftStringer = state.GetBoolean(0);
    showRightStringer = state.GetBoolean(1);
    showMiddleStringer = state.GetBoolean(2);
    showQuarterStringer = state.GetBoolean(3);
    show3QuarterStringer = state.GetBoolean(4);
    showStringers = state.GetBoolean(5);
    params.showRiser = state.GetBoolean(6);
    preserveStepDepth = state.GetBoolean(7);
    const double beam = state.GetDouble(6);
    if (std::isfinite(beam) && beam > 0.0) stringerThickness = beam;
    SetRounded(state.GetInteger(0) != 0);
    UpdateSteps();
}

// ---- Parts --------------------------------------------------------------------------

int Stairs::PartIndexOf(const Part* part) const {
    if (part == &surfacePart) return 1;
    if (part == &edgePart) return 2;
    if (part == &riserPart) return 3;
    return 0;
}

StairPart* Stairs::StairPartAt(int i) {
    switch (i) {
        case 1: return &surfacePart;
        case 2: return &edgePart;
        case 3: return &riserPart;
        default: return nullptr;
    }
}

void Stairs::SetMaterialAll(KeyDataList& element, const Vector* point) {
    stringerPart.Load(element);
    surfacePart.Load(element);
    edgePart.Load(element);
    riserPart.Load(element);
    // Materials keep no reference point of their own: the texture coordinates of the
    // stair's faces start from its corners.
    (void)point;
}

void Stairs::SetPartColor(double r, double g, double b, double a) {
    stringerPart.SetColor(r, g, b, a);
    surfacePart.SetColor(r, g, b, a);
    edgePart.SetColor(r, g, b, a);
    riserPart.SetColor(r, g, b, a);
}

// ---- Shape editing ------------------------------------------------------------------

void Stairs::DragCorner(const ViewProjection& view, int x, int y, OutlinePoint* corner,
                        bool creating, bool snap) {
    if (IsLocked() || outline.GetPrimaryCount() < 2) return;
    if (creating) {
        OutlinePoint* n = outline.GetPrimaryPoints();
        Vector p;
        if (!outline.ScreenToPlaneThrough(view, x, y, n[0].position, Vector(0, 1, 0), p)) return;
        p.y = n[0].position.y;
        const Vector m = n[0].position.Midpoint(n[1].position);
        Vector d(p.x - m.x, 0.0, p.z - m.z);
        if (snap) {
            const double a = std::atan2(d.z, d.x);
            const double snapped = std::floor((a + kPi / 8.0) * 4.0 / kPi) * kPi / 4.0;
            const double length = std::sqrt(d.x * d.x + d.z * d.z);
            d = Vector(length * std::cos(snapped), 0.0, length * std::sin(snapped));
            p = Vector(m.x + d.x, m.y, m.z + d.z);
        }
        const double length = std::sqrt(d.x * d.x + d.z * d.z);
        if (!(length > 1e-9)) return;
        params.direction = Vector(d.x / length, 0.0, d.z / length);
        const Vector& dir = params.direction;
        const Vector w(-dir.z * width / 2.0, 0.0, dir.x * width / 2.0);
        if (outline.GetPrimaryCount() >= 4) {
            n[0].position = Vector(m.x - w.x, m.y, m.z - w.z);
            n[1].position = Vector(m.x + w.x, m.y, m.z + w.z);
            n[2].position = Vector(p.x + w.x, m.y, p.z + w.z);
            n[3].position = Vector(p.x - w.x, m.y, p.z - w.z);
        }
        outline.normalFixed = false;
        outline.ComputeNormal();
        outline.Refresh();
        ShowMeasurements(n[0].edge);
    } else {
        const int index = outline.IndexOfPrimary(corner);
        if (index < 0) return;
        const Vector before = corner->position;
        outline.MovePoint(view, x, y, corner);
        if (!outline.IsSimple()) {
            outline.GetPrimaryPoints()[index].position = before;
            outline.Refresh();
        }
        creationDone = false;
    }
    ComputeEndPoints();
    UpdateBounds();
    MarkDirty();
}

void Stairs::DragSide(const ViewProjection& view, int x, int y, int x0, int y0,
                      OutlinePoint* corner) {
    if (IsLocked()) return;
    const int index = outline.IndexOfPrimary(corner);
    if (index < 0) return;
    OutlinePoint* next = outline.GetNextPoint(corner, true);
    if (!next) return;
    outline.DragEdge(view, x, y, x0, y0, corner, next, true);
    if (!outline.IsSimple()) {
        OutlinePoint* a = &outline.GetPrimaryPoints()[index];
        outline.DragEdge(view, x0, y0, x, y, a, outline.GetNextPoint(a, true), true);
    } else {
        ComputeEndPoints();
        UpdateBounds();
        MarkDirty();
    }
    creationDone = false;
    ShowMeasurements(outline.GetPrimaryPoints()[index].edge);
}

OutlinePoint* Stairs::InsertCorner(const ViewProjection& view, int x, int y) {
    if (IsLocked()) return nullptr;
    OutlinePoint* node = outline.InsertScreenPoint(view, x, y, false);
    if (!node) return nullptr;
    creationDone = false;
    if (outline.IsSimple()) {
        MarkDirty();
        return node;
    }
    outline.DeletePoint(node);
    return nullptr;
}

bool Stairs::DeleteCorner(OutlinePoint* corner) {
    if (IsLocked()) return false;
    // Fewer than three corners enclose nothing.
    if (outline.IndexOfPrimary(corner) < 0 || outline.GetPrimaryCount() <= 3) return false;
    creationDone = false;
    MarkDirty();
    return outline.DeletePoint(corner);
}

void Stairs::RotateDirection(double angle) {
    if (IsLocked() || !std::isfinite(angle)) return;
    params.direction.RotateAboutAxisIndex(angle, 1);
    creationDone = false;
    ComputeEndPoints();
}

void Stairs::RotateAbout(double angle, const Vector& centre) {
    if (IsLocked() || !std::isfinite(angle)) return;
    params.direction.RotateAboutAxisIndex(angle, 1);
    OutlinePoint* n = outline.GetPrimaryPoints();
    for (int i = 0; i < outline.GetPrimaryCount(); ++i) {
        Vector p = n[i].position;
        p.Subtract(centre);
        p.RotateAboutAxisIndex(angle, 1);
        p.Add(centre);
        n[i].position = p;
    }
    outline.Refresh();
    UpdateSteps();
}

// ---- Visibility ---------------------------------------------------------------------

bool Stairs::IsShownInCurrentView() {
    BaseControl* control = theControl();
    SceneView* view = control ? control->GetCurrentView() : nullptr;
    bool shown = true;
    if (!IsVisible()) {
        shown = false;
    } else if (view) {
        RenderState& render = view->GetRenderState();
        if (render.GetBoolean(9) || (render.GetInt64(0) & TypeMask::kStairs)) {
            shown = false;
        } else if (!creationDone && view != control->GetMainView()) {
            shown = false;
        } else if (creationDone && render.GetInteger(0) == 1 &&
                   !control->globalState.GetBoolean(6) && !IsInVisibleHeightRange()) {
            shown = false;
        } else {
            shown = RenderableObject::IsShownInCurrentView();
        }
    }
    drawn = shown ? 1 : 0;
    shownInView = drawn;
    return shown;
}
