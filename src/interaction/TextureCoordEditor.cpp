#include "interaction/TextureCoordEditor.h"

#include <cmath>

#include "control/BaseControl.h"
#include "control/RenderLockScope.h"
#include "foundation/Trace.h"
#include "foundation/UndoableObject.h"
#include "geometry/Outline.h"
#include "interaction/PressHandOver.h"
#include "model/TopLevelObject.h"
#include "render/Material.h"
#include "render/Window.h"
#include "slabs/BaseSlab.h"

namespace {

// Global-state booleans.
constexpr int kPlanChanged = 0;
constexpr int kSurfaceTextureDrag = 18;
constexpr int kTerrainPart = 27;

// The fractional part of x, keeping its sign: the offset stays within (-1, 1).
double Wrap(double x) {
    return x >= 0.0 ? x - std::floor(x) : x - std::ceil(x);
}

template <class T>
T* ByName(uint32_t name) {
    return dynamic_cast<T*>(PickableObject::FromPickName(name));
}

}  // namespace

Part* TextureCoordEditor::GetEditedPart() const {
    return ByName<Part>(editedPart_);
}

bool TextureCoordEditor::IsSurfacePart(const Part& part) const {
    const RenderableObject* owner = part.GetOwnerObject();
    return owner && owner->HasType(SurfaceKinds());
}

void TextureCoordEditor::SetPart(Part* part) {
    editedPart_ = part ? part->GetPickName() : 0;
    const RenderableObject* owner = part ? part->GetOwnerObject() : nullptr;
    if (BaseControl* control = theControl())
        control->globalState.SetBoolean(kTerrainPart, owner && owner->HasType(TypeBit::kTerrain));
}

void TextureCoordEditor::Activate() {
    defaultCursor = platform::kSizeAllCursor;
    UseCursor(defaultCursor);
}

void TextureCoordEditor::Deactivate() {
    EndDrag();
    if (BaseControl* control = theControl()) control->globalState.SetBoolean(kTerrainPart, false);
    defaultCursor = platform::kArrowCursor;
}

void TextureCoordEditor::ReleaseTarget() {
    editedPart_ = 0;
    pickedPart_ = 0;
    pickedEdge_ = 0;
    stepObject_ = 0;
}

bool TextureCoordEditor::SurfacePoint(Part& part, int x, int y, Vector& out) {
    Window* window = ActiveWindow();
    auto* slab = dynamic_cast<BaseSlab*>(part.GetOwnerObject());
    if (!window || !slab) return false;
    Vector scene;
    window->GetUnderCursor(x, y, scene);
    const Outline& outline = slab->GetOutline();
    const int count = outline.GetPrimaryCount();
    if (count == 0) return false;
    const OutlinePoint* nodes = outline.GetPrimaryPoints();
    const Vector& n = outline.normal;
    if (&part == slab->GetSurface(BaseSlab::kInsideSurface) ||
        &part == slab->GetSurface(BaseSlab::kOutsideSurface)) {
        Vector v;
        v.Cross(slab->GetUVector(), n);
        v.Normalize();
        if (&part == slab->GetSurface(BaseSlab::kOutsideSurface)) v.Negate();
        Vector p = scene;
        p.Subtract(nodes[0].position);
        out = Vector(p.Dot(v), p.Dot(slab->GetUVector()), 0);
        return true;
    }
    const auto* edge = ByName<OutlineEdge>(pickedEdge_);
    for (int i = 0; edge && i < count; ++i) {
        if (nodes[i].edge != edge) continue;
        Vector d = nodes[(i + 1) % count].position;
        d.Subtract(nodes[i].position);
        d.Normalize();
        Vector p = scene;
        p.Subtract(nodes[i].position);
        out = Vector(-p.Dot(n), p.Dot(d), 0);
        return true;
    }
    return false;
}

bool TextureCoordEditor::BeginDrag(intptr_t packedPoint) {
    const MouseInput& in = Input();
    if (!in.left || in.right || in.space || in.eKey) return false;
    Window* window = ActiveWindow();
    BaseControl* control = theControl();
    if (!window || !control) return false;
    RenderLockScope hold(control);
    const int count = in.pickCount;
    if (count < 2) return false;
    auto* picked = dynamic_cast<Part*>(window->GetPickedObject(count - 1));
    pickedPart_ = picked ? picked->GetPickName() : 0;
    if (!picked || picked != GetEditedPart()) {
        // Another object: its own mode takes the press.
        if (auto* object = dynamic_cast<TopLevelObject*>(window->GetPickedObject(0)))
            HandPressToMode(*this, object->GetKindCode(), packedPoint);
        return false;
    }
    PickableObject* first = window->GetPickedObject(0);
    auto* undoable = dynamic_cast<UndoableObject*>(first);
    if (!undoable) return false;
    const MousePoint point = MousePoint::Unpack(packedPoint);
    control->BeginUndoGroup();
    groupOpen_ = true;
    undoable->BeginUndoStep();
    stepObject_ = first->GetPickName();
    startOffset_ = picked->material ? picked->material->textureOffset : Vector(0, 0, 0);
    if (!IsSurfacePart(*picked)) {
        startPoint_ = window->ProcessTextureClick(point.x, point.y, picked->GetOwnerObject());
    } else {
        auto* edge = count >= 3 ? dynamic_cast<OutlineEdge*>(window->GetPickedObject(count - 2))
                                : nullptr;
        pickedEdge_ = edge ? edge->GetPickName() : 0;
        if (!SurfacePoint(*picked, point.x, point.y, startPoint_)) startPoint_ = Vector(0, 0, 0);
        control->globalState.SetBoolean(kSurfaceTextureDrag, true);
    }
    previousPoint_ = currentPoint_ = startPoint_;
    return true;
}

void TextureCoordEditor::OnLButtonDown(intptr_t packedPoint) {
    MouseHandler::OnLButtonDown(packedPoint);
    BeginDrag(packedPoint);
}

bool TextureCoordEditor::IsDragMove() const {
    const MouseInput& in = Input();
    return in.left && !in.right && !in.space && !in.eKey && moveCount >= 1;
}

void TextureCoordEditor::OnMouseMove(intptr_t packedPoint) {
    MouseHandler::OnMouseMove(packedPoint);
    Part* part = GetEditedPart();
    if (!IsDragMove() || !part || !stepObject_ || !part->material) return;
    BaseControl* control = theControl();
    Window* window = ActiveWindow();
    if (!control || !window) return;
    control->globalState.SetBoolean(kPlanChanged, true);
    const MousePoint point = MousePoint::Unpack(packedPoint);
    RenderLockScope hold(control);
    if (IsSurfacePart(*part)) {
        if (!SurfacePoint(*part, point.x, point.y, currentPoint_)) return;
        Vector offset = startOffset_;
        offset.x += startPoint_.x - currentPoint_.x;
        offset.y += startPoint_.y - currentPoint_.y;
        part->SetMaterialVector(offset);
        return;
    }
    const int count = window->ProcessSelectionBuffer(point.x, point.y);
    if (count < 2 || window->GetPickedObject(count - 1) != part) {
        // Off the part the texture stays where it was.
        return;
    }
    const Vector t = window->ProcessTextureClick(point.x, point.y, part->GetOwnerObject());
    if (t.w == 0.0) return;
    Vector offset = part->material->textureOffset;
    offset.x = Wrap(offset.x - (t.x - previousPoint_.x));
    offset.y = Wrap(offset.y - (t.y - previousPoint_.y));
    part->SetMaterialVector(offset);
    previousPoint_ = currentPoint_ = t;
}

void TextureCoordEditor::EndDrag() {
    if (stepObject_)
        if (auto* undoable = ByName<UndoableObject>(stepObject_)) undoable->EndUndoStep();
    stepObject_ = 0;
    if (!groupOpen_) return;
    groupOpen_ = false;
    if (BaseControl* control = theControl()) {
        control->EndUndoGroup();
        control->globalState.SetBoolean(kSurfaceTextureDrag, false);
    }
}

void TextureCoordEditor::OnLButtonUp(intptr_t packedPoint) {
    MouseHandler::OnLButtonUp(packedPoint);
    EndDrag();
}

void TextureCoordScaler::Activate() {
    defaultCursor = platform::LoadCursor(kCursor);
    UseCursor(defaultCursor);
}

void TextureCoordScaler::OnMouseMove(intptr_t packedPoint) {
    MouseHandler::OnMouseMove(packedPoint);
    Part* part = ByName<Part>(pickedPart_);
    if (!IsDragMove() || !part || !stepObject_ || !part->material) return;
    BaseControl* control = theControl();
    if (!control) return;
    control->globalState.SetBoolean(kPlanChanged, true);
    const MouseInput& in = Input();
    RenderLockScope hold(control);
    const double f = in.current.x > in.previous.x   ? kGrow
                     : in.current.x < in.previous.x ? kShrink
                                                    : 1.0;
    Vector& granularity = part->material->granularity;
    granularity.x *= in.alt ? 1.0 : f;
    granularity.y *= in.shift ? 1.0 : f;
}
