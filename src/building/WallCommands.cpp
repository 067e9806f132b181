// What a wall does for the user around it: its menu entries, its copy, the readouts of
// its sizes, which children fit on it, its dialog and its bill of materials.

#include <cmath>
#include <cstdio>
#include <string>

#include "building/Wall.h"
#include "control/BaseControl.h"
#include "control/LengthFormat.h"
#include "control/dialogs/SlabCoveringPropertyDialog.h"
#include "foundation/Trace.h"
#include "platform/Menu.h"
#include "render/Window.h"

namespace {

constexpr uint32_t kDisableLinking = 603;
constexpr uint32_t kHideDimension = 1000;
constexpr uint32_t kMeasureOtherSide = 607;
constexpr uint32_t kHideGrid = 601;
constexpr uint32_t kLockedText = 246;
constexpr uint32_t kAreaText = 247;
constexpr uint32_t kCornersText = 248;
constexpr uint32_t kThicknessText = 250;
constexpr uint32_t kLengthText = 251;
constexpr uint32_t kHeightText = 252;

}  // namespace

void Wall::BuildPropertyMenu(platform::Menu& menu) {
    BaseSlab::BuildPropertyMenu(menu);
    AppendMenuItems(menu);
    BaseControl* control = theControl();
    menu.AppendItem(kDisableLinking, "Disable Linking", !linkable);
    menu.AppendSeparator();
    menu.AppendItem(kHideDimension, "Hide Dimension (Blueprint Only)", !horizDimension.IsVisible());
    if (control && ShouldDrawDimensions(control->activeWindow) && horizDimension.IsVisible())
        menu.AppendItem(kMeasureOtherSide, "Measure Other Side");
    menu.AppendItem(kHideGrid, "Hide Wall Grid", !gridShown, !IsSelected());
    menu.AppendSeparator();
    if (control && control->currentStateObject == static_cast<StateObject*>(this)) {
        SizeableObject::BuildPropertyMenu(menu);
        menu.AppendSeparator();
    }
}

bool Wall::ProcessPropertyMenu(uint32_t id) {
    switch (id) {
        case kDisableLinking:
            linkable = !linkable;
            if (!linkable) {
                Unlink(linkedBegin, true);
                Unlink(linkedEnd, true);
            }
            return true;
        case kMeasureOtherSide:
            BeginUndoStepChain(false);
            shortSideDimension = !shortSideDimension;
            EndUndoStepChain(false);
            dimensionsDirty = true;
            BaseSlab::ProcessPropertyMenu(id);
            return true;
        case kHideDimension: {
            const bool shown = !horizDimension.IsVisible();
            for (Dimension* d : {&horizDimension, &verticalDimension, &childDim})
                d->SetVisible(shown);
            return true;
        }
        default:
            return BaseSlab::ProcessPropertyMenu(id);
    }
}

void Wall::BeginUndoStepChain(bool includeNeighbours) {
    UndoableObject::BeginUndoStep();
    if (!includeNeighbours) return;
    for (Wall* neighbour : {linkedBegin, linkedEnd})
        if (neighbour) neighbour->UndoableObject::BeginUndoStep();
}

void Wall::EndUndoStepChain(bool includeNeighbours) {
    UndoableObject::EndUndoStep();
    if (!includeNeighbours) return;
    for (Wall* neighbour : {linkedBegin, linkedEnd})
        if (neighbour && neighbour->HasOpenStep()) neighbour->UndoableObject::EndUndoStep();
}

RenderableObject* Wall::Clone() {
    return Clone(true, true);
}

Wall* Wall::Clone(bool offset, bool addToScene) {
    if (FirstSelectedChild()) {
        BaseSlab::Clone();
        return nullptr;
    }
    BaseControl* control = theControl();
    if (control) control->LockRender();
    auto* copy = new Wall;
    RestoreInto(*copy, true, true);
    copy->placed = true;
    if (offset) {
        const double d = thickness * 3.0;
        const Vector& n = outline.normal;
        copy->MoveSlabBy(n.x * d, n.y * d, n.z * d, true);
    }
    if (addToScene && control) {
        control->scene.Append(copy);
        // The copy is in the scene before the links move to it; a copy left outside the
        // scene keeps none, and the walls stay linked to the original.
        Wall* const neighbours[2] = {linkedBegin, linkedEnd};
        LinkedWallPoint* const joints[2] = {beginPoint, endPoint};
        for (int k = 0; k < 2; ++k) {
            Wall* neighbour = neighbours[k];
            if (!neighbour) continue;
            if (neighbour->linkedBegin == this) neighbour->linkedBegin = copy;
            if (neighbour->linkedEnd == this) neighbour->linkedEnd = copy;
            copy->SetEndLink(k + 1, neighbour, joints[k]);
        }
        SetEndLink(1, nullptr, nullptr);
        SetEndLink(2, nullptr, nullptr);
        Wall* head = chainHead == this ? nullptr : chainHead;
        chainHead = this;
        if (head) {
            copy->SetChainHead(head, copy->linkedBegin);
            copy->chainHead = head;
            if (copy->linkedEnd) copy->linkedEnd->SetChainHead(head, copy);
            head->PropagateChain(nullptr);
        } else if (copy->linkedBegin || copy->linkedEnd) {
            Wall* found = copy->FindChainHead(copy->linkedEnd, copy->linkedEnd);
            if (!found) found = copy;
            copy->chainHead = found;
            if (copy->linkedBegin) copy->linkedBegin->SetChainHead(found, copy);
            if (copy->linkedEnd) copy->linkedEnd->SetChainHead(found, copy);
            found->PropagateChain(nullptr);
        }
        RecomputeBounds();
    }
    if (control) control->UnlockRender();
    return copy;
}

bool Wall::AcceptsChild(RenderableObject* child) {
    if (!linkedBegin && !linkedEnd) return true;
    auto* slabChild = dynamic_cast<BaseSlab*>(child);
    const Outline* childOutline = slabChild ? &slabChild->GetOutline() : nullptr;
    if (!childOutline || !HasWallShape() || !facePointsA || !facePointsB) return true;
    const OutlinePoint* nodes = outline.GetPrimaryPoints();
    const Vector& p0 = nodes[0].position;
    const Vector& p1 = nodes[wallEndIndex].position;
    auto span = [&](double Vector::*axis, double& low, double& high) {
        const double a = p0.*axis;
        const double b = p1.*axis;
        if (std::fabs(b - a) < 0.5) {
            low = a - 1.0;
            high = a + 1.0;
            return;
        }
        const bool rising = b > a;
        const double beginA = facePointsA[0].*axis, beginB = facePointsB[0].*axis;
        const double endA = facePointsA[wallEndIndex].*axis, endB = facePointsB[wallEndIndex].*axis;
        if (rising) {
            low = std::fmax(beginA, beginB);
            high = std::fmin(endA, endB);
        } else {
            low = std::fmax(endA, endB);
            high = std::fmin(beginA, beginB);
        }
    };
    double xLow, xHigh, zLow, zHigh;
    span(&Vector::x, xLow, xHigh);
    span(&Vector::z, zLow, zHigh);
    const OutlinePoint* points = childOutline->GetPrimaryPoints();
    for (int i = 0; i < childOutline->GetPrimaryCount(); ++i) {
        const Vector& p = points[i].position;
        if (p.x < xLow || p.x > xHigh || p.z < zLow || p.z > zHigh) return false;
    }
    return true;
}

bool Wall::ContainsPoint(const Vector& point, int surface) {
    if (surface == -1 || (!linkedBegin && !linkedEnd) || !HasWallShape())
        return BaseSlab::ContainsPoint(point, surface);
    OutlinePoint* nodes = outline.GetPrimaryPoints();
    const int last = outline.GetPrimaryCount() - 1;
    const int corners[4] = {0, wallEndIndex, wallEndIndex + 1, last};
    Vector saved[4];
    for (int i = 0; i < 4; ++i) saved[i] = nodes[corners[i]].position;
    Vector w = GetDirection();
    w.Normalize();
    for (int end = 1; end <= 2; ++end) {
        Wall* neighbour = end == 1 ? linkedBegin : linkedEnd;
        if (!neighbour) continue;
        Vector d = w;
        d.Scale(JoinInset(neighbour));
        const Vector n = neighbour->GetDirection();
        double sign = surface == kOutsideSurface ? -1.0 : 1.0;
        if (n.x * w.z - n.z * w.x < 0.0) sign = -sign;
        if (neighbour->linkedEnd == this) sign = -sign;
        const int a = end == 1 ? 0 : 1;
        const int b = end == 1 ? 3 : 2;
        for (int k : {a, b})
            nodes[corners[k]].position.Offset(-d.x * sign, -d.y * sign, -d.z * sign);
    }
    outline.Refresh();
    const bool inside = BaseSlab::ContainsPoint(point, surface);
    nodes = outline.GetPrimaryPoints();
    for (int i = 0; i < 4; ++i) nodes[corners[i]].position = saved[i];
    outline.Refresh();
    return inside;
}

void Wall::BeginDragOf(PickableObject* grabbed) {
    BaseControl* control = theControl();
    if (!control || !grabbed || !HasWallShape()) return;
    OutlinePoint* nodes = outline.GetPrimaryPoints();
    const int count = outline.GetPrimaryCount();
    auto heightText = [&](double h) {
        const std::string text = FormatLength(control->globalState, h - box.min.y, false, 6) +
                                 " (" + FormatLength(control->globalState, h, false, 6) +
                                 " above ground)";
        control->SetStatusText(text.c_str());
    };
    if (grabbed->HasType(TypeBit::kOutlineEdge)) {
        int index = -1;
        for (int i = 0; i < count; ++i)
            if (nodes[i].edge == grabbed) index = i;
        if (index == 1 || index == count - 1) {
            ShowLengthInStatusBar("Length : ", length, kNoSecondLength);
            return;
        }
        if ((count == wallEndIndex + 3 && index == wallEndIndex + 1) ||
            (wallEndIndex == 1 && index == 0)) {
            const int next = (index + 1) % count;
            heightText((nodes[index].position.y + nodes[next].position.y) * 0.5);
        }
        return;
    }
    if (grabbed->HasType(TypeBit::kOutlineNode)) {
        if (control->activeWindow) control->activeWindow->helpWindow.SetShown(true);
        for (int i = 0; i < count; ++i)
            if (&nodes[i] == grabbed) heightText(nodes[i].position.y);
    }
}

void Wall::ShowMeasurements() {
    BaseControl* control = theControl();
    if (!control) return;
    if (IsLocked()) {
        if (Window* window = control->currentWindow) {
            window->helpWindow.SetText(
                control->LoadResourceString(kLockedText).substr(0, 127).c_str(), false);
            window->helpWindow.SetShown(true);
        }
        return;
    }
    auto part = [&](uint32_t label, const std::string& value) {
        return control->LoadResourceString(label) + value;
    };
    const GlobalState& g = control->globalState;
    char corners[16];
    std::snprintf(corners, sizeof corners, "%d", outline.GetPrimaryCount());
    const std::string text = part(kLengthText, FormatLength(g, length, false, 6)) + "   " +
                             part(kHeightText, FormatLength(g, GetSizeY(), false, 6)) + "   " +
                             part(kThicknessText, FormatLength(g, thickness, false, 6)) + "   " +
                             part(kAreaText, FormatLength(g, GetArea(), true, 6)) + "   " +
                             part(kCornersText, corners);
    control->statusBar.SetText(text.c_str(), false);
}

int Wall::OnDialogNotify(Dialog* dialog, int code) {
    auto* slabDialog = dynamic_cast<BaseSlabPropertyDialog*>(dialog);
    if (!slabDialog || code != 1) return BaseSlab::OnDialogNotify(dialog, code);
    if (HasWallShape() && std::isfinite(slabDialog->height) && slabDialog->height != GetSizeY()) {
        const double change = slabDialog->height - GetSizeY();
        OutlinePoint* nodes = outline.GetPrimaryPoints();
        for (int i = wallEndIndex + 1; i < outline.GetPrimaryCount(); ++i)
            nodes[i].position.y += change;
        outline.Refresh();
    }
    BaseSlab::OnDialogNotify(dialog, 1);
    Rebuild();
    ComputeBevels();
    RecomputeBounds();
    return 0;
}

void Wall::WriteObjectInformation(std::string& buffer) {
    buffer += "<wall ";
    WriteSlabXml(buffer);
    buffer += "</wall>";
}
