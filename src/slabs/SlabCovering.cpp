#include "slabs/SlabCovering.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <new>

#include "control/BaseControl.h"
#include "control/RenderLockScope.h"
#include "control/dialogs/SlabCoveringPropertyDialog.h"
#include "foundation/KeyDataList.h"
#include "foundation/Trace.h"
#include "interaction/MouseHandler.h"
#include "model/SceneView.h"
#include "platform/GLContext.h"
#include "platform/Menu.h"
#include "render/TessCallbacks.h"
#include "slabs/BaseSlab.h"

#include <GL/glu.h>

namespace {

constexpr uint32_t kFirstEdgeCommand = 900;
constexpr uint32_t kLastEdgeCommand = 906;
constexpr double kHandleSize = 5.0;

Vector Between(const Vector& from, const Vector& to) {
    return Vector(to.x - from.x, to.y - from.y, to.z - from.z);
}

Vector Scaled(const Vector& v, double s) {
    return Vector(v.x * s, v.y * s, v.z * s);
}

bool IsCatalogueName(const std::string& name) {
    return name.find(".3c_") != std::string::npos;
}

double Clamp01(double value) {
    if (!std::isfinite(value)) return 1.0;
    return std::clamp(value, 0.0, 1.0);
}

}  // namespace

SlabCovering::SlabCovering(bool fromPlan) {
    surface.material = &material;
    material.SetSpecularColor(0.8f, 0.8f, 0.8f);
    if (!fromPlan) {
        if (BaseControl* control = theControl()) ApplyStateFrom(control->coveringState);
    }
}

SlabCovering::~SlabCovering() {
    FreeLists();
}

void SlabCovering::FreeLists() {
    if (!platform::GLContext::IsAnyCurrent()) return;
    for (GLuint* list : {&surface.faceList, &surface.edgeList}) {
        if (*list != Part::kNoList) glDeleteLists(*list, 1);
        *list = Part::kNoList;
    }
}

// ---- Placement ----------------------------------------------------------------------

bool SlabCovering::Define(const Vector* points, int count, const Vector& faceNormal,
                          double offsetValue, BaseSlab* slab) {
    if (slab && slab->IsLocked()) return false;
    if (!HasArea(points, count) || count > Outline::kMaxStoredNodes ||
        !std::isfinite(offsetValue)) {
        TraceWrite("Covering not defined: fewer than three corners or no area");
        return false;
    }
    outline.Clear();
    parent = slab;
    normal = faceNormal;
    offset = offsetValue;
    Vector pointsNormal;
    pointsNormal.PolygonNormal(points, count);
    const bool reversed = pointsNormal.Dot(faceNormal) <= 0.0;
    for (int i = 0; i < count; ++i) {
        Vector p = points[reversed ? count - 1 - i : i];
        p.Subtract(Scaled(faceNormal, offsetValue));
        outline.InsertPoint(p, i, false);
    }
    if (pointsNormal.Length() == 0.0) outline.SetNormal(faceNormal);
    outline.Refresh();
    UpdateBounds();
    MarkDirty();
    return true;
}

void SlabCovering::SetOffset(double size) {
    // Refused whole on a locked slab: the offset and the place never disagree.
    if (!std::isfinite(size) || ParentLocked()) return;
    const Vector n = normal;
    if (offset < 0.0) {
        Translate(Scaled(n, size + offset));
        offset = -size;
    } else {
        Translate(Scaled(n, size - offset));
        offset = size;
    }
}

void SlabCovering::ComputeNormal() {
    outline.normalFixed = false;
    outline.ComputeNormal();
    if (normal.Dot(outline.normal) < 0.0) {
        outline.normal.Negate();
        outline.normal.w = 1.0;
        flipped = true;
    } else {
        flipped = false;
    }
    normal = outline.normal;
}

bool SlabCovering::IsOnParentSurface() {
    if (!parent || outline.GetPrimaryCount() == 0) return true;
    const bool inside = normal.Dot(parent->GetOutline().normal) > 0.0;
    const int face = inside ? BaseSlab::kInsideSurface : BaseSlab::kOutsideSurface;
    const int n = outline.GetPrimaryCount();
    const OutlinePoint* nodes = outline.GetPrimaryPoints();
    for (int i = 0; i < n; ++i)
        if (!parent->ContainsPoint(nodes[i].position, face)) return false;
    return parent->GetOutline().Relate(outline, false) == Outline::kContains;
}

bool SlabCovering::IsPositionValid() {
    outline.Refresh();
    return IsOnParentSurface() && outline.IsSimple();
}

void SlabCovering::Translate(const Vector& by) {
    EditableSlabChild::Translate(by);
    box.min.Add(by);
    box.max.Add(by);
    listsDirty = 1;
}

void SlabCovering::MoveBy(const Vector& by) {
    if (ParentLocked()) return;
    Translate(by);
}

void SlabCovering::MakeOval() {
    if (!parent) return;
    KeyDataList scratch;
    outline.Save(scratch, "temp");
    ComputeNormal();
    outline.MakeOval(parent->GetUVector(), !flipped);
    outline.Refresh();
    if (!IsPositionValid()) {
        outline.Load(scratch, "temp");
        outline.Refresh();
    }
    UpdateBounds();
    MarkDirty();
    listsDirty = 1;
}

Vector SlabCovering::GetSurfaceCoordinate(const Vector& point) const {
    if (!parent || outline.GetPrimaryCount() == 0) return Vector(0.0, 0.0, 0.0);
    Vector u = parent->GetUVector();
    Vector w;
    w.Cross(u, normal);
    const Vector p = Between(outline.GetPrimaryPoints()[0].position, point);
    return Vector(p.Dot(u), p.Dot(w), 0.0);
}

// ---- Settings ---------------------------------------------------------------------

std::string SlabCovering::MaterialName() const {
    if (material.GetMaterialURL()[0]) return material.GetMaterialURL();
    return material.GetTextureURL();
}

void SlabCovering::TakeMaterialName(const std::string& name) {
    if (IsCatalogueName(name)) {
        BaseControl* control = theControl();
        char address[BaseControl::kPathSize] = {};
        if (name.rfind("http", 0) == 0)
            std::snprintf(address, sizeof address, "%s", name.c_str());
        else if (control && control->GetContentDomain()[0])
            control->AttachPathToDomain(name.c_str(), address, sizeof address);
        if (address[0]) material.LoadFromURL(address);
        return;
    }
    material.SetTextureURL(name.c_str(), false);
}

void SlabCovering::ApplyState() {
    const std::string name = settings.GetString(0);
    if (IsCatalogueName(name)) {
        TakeMaterialName(name);
    } else {
        if (!name.empty()) material.SetTextureURL(name.c_str(), false);
        material.opacity = Clamp01(1.0 - settings.GetDouble(0));
        material.transparent = settings.GetBoolean(0) ? 1 : 0;
        material.SetRGB(std::clamp(settings.GetInteger(0), 0, 255) / 255.0,
                        std::clamp(settings.GetInteger(1), 0, 255) / 255.0,
                        std::clamp(settings.GetInteger(2), 0, 255) / 255.0);
        const Vector size = settings.GetVector(0);
        material.granularity.x = size.x;
        material.granularity.y = size.y;
    }
    listsDirty = 1;
    MarkDirty();
}

void SlabCovering::StoreToState() {
    settings.SetBoolean(0, material.transparent != 0);
    settings.SetString(0, MaterialName().c_str());
    settings.SetDouble(0, 1.0 - Clamp01(material.opacity));
    settings.SetVector(0, Vector(material.granularity.x, material.granularity.y, 0.0));
    settings.SetInteger(0, static_cast<int32_t>(material.red * 255.0));
    settings.SetInteger(1, static_cast<int32_t>(material.green * 255.0));
    settings.SetInteger(2, static_cast<int32_t>(material.blue * 255.0));
}

void SlabCovering::MakeDefault() {
    StoreToState();
    if (BaseControl* control = theControl()) control->coveringState.CopyFrom(settings);
}

void SlabCovering::ApplyStateFrom(const BaseParameterState& state) {
    settings.CopyFrom(state);
    ApplyState();
}

void SlabCovering::InitDialog(Dialog* dialog) {
    auto* d = dynamic_cast<SlabCoveringPropertyDialog*>(dialog);
    if (!d) return;
    d->scale = Vector(material.granularity.x, material.granularity.y, 0.0);
    d->reflectivity = 100.0 - Clamp01(material.opacity) * 100.0;
    d->materialName = MaterialName();
}

int SlabCovering::OnDialogNotify(Dialog* dialog, int code) {
    auto* d = dynamic_cast<SlabCoveringPropertyDialog*>(dialog);
    if (!d || code != 1) return 0;
    if (IsCatalogueName(d->materialName)) {
        TakeMaterialName(d->materialName);
    } else {
        if (!d->materialName.empty()) material.SetTextureURL(d->materialName.c_str(), false);
        const double percent = std::isfinite(d->reflectivity) ? d->reflectivity : 0.0;
        material.opacity = Clamp01(1.0 - percent * 0.01);
        material.transparent = material.opacity < 1.0 ? 1 : 0;
        if (std::isfinite(d->scale.x) && d->scale.x > 0.0) material.granularity.x = d->scale.x;
        if (std::isfinite(d->scale.y) && d->scale.y > 0.0) material.granularity.y = d->scale.y;
    }
    listsDirty = 1;
    MarkDirty();
    return 1;
}

void SlabCovering::ShowPropertyDialog() {
    SlabCoveringPropertyDialog dialog(this);
    InitDialog(&dialog);
    BeginUndoStep();
    dialog.Show();
    if (BaseControl* control = theControl()) control->BeginUndoGroup();
    EndUndoStep();
    if (BaseControl* control = theControl()) control->EndUndoGroup();
}

// ---- Menu -------------------------------------------------------------------------

void SlabCovering::BuildPropertyMenu(platform::Menu& menu) {
    EditableSlabChild::BuildPropertyMenu(menu);
    menu.AppendItem(kMakeOvalCommand, "Make Covering Into Oval Shape");
    menu.AppendSeparator();
}

bool SlabCovering::ProcessPropertyMenu(uint32_t id) {
    BaseControl* control = theControl();
    if (id == kMakeOvalCommand) {
        if (ParentLocked()) return true;
        if (parent) parent->BeginUndoStep();
        MakeOval();
        MarkDirty();
        if (control) control->BeginUndoGroup();
        if (parent) parent->EndUndoStep();
        if (control) control->EndUndoGroup();
        return true;
    }
    if (id == MouseHandler::kMakeDefaultCommand) {
        MakeDefault();
        return true;
    }
    if (id >= kFirstEdgeCommand && id <= kLastEdgeCommand) {
        if (parent) parent->BeginUndoStep();
        const bool handled = EditableSlabChild::ProcessPropertyMenu(id);
        outline.Refresh();
        MarkDirty();
        listsDirty = 1;
        return handled;
    }
    return EditableSlabChild::ProcessPropertyMenu(id);
}

// ---- Copies -----------------------------------------------------------------------

RenderableObject* SlabCovering::Clone() {
    return Clone(false);
}

RenderableObject* SlabCovering::Clone(bool withOffset) {
    if (!parent) return nullptr;
    RenderLockScope hold(theControl());
    BaseSlab* slab = parent;
    auto* copy = new (std::nothrow) SlabCovering(true);
    if (!copy) return nullptr;
    RestoreInto(*copy, true, false);
    copy->SetParent(slab);
    copy->UpdateBounds();
    slab->GetCoveringList().Append(copy);
    if (!withOffset) return copy;
    Vector step;
    step.Cross(slab->GetUVector(), slab->GetOutline().normal);
    step.Normalize();
    step = Scaled(step, copy->box.min.Distance(copy->box.max));
    copy->MoveBy(step);
    if (copy->IsPositionValid()) return copy;
    copy->MoveBy(Scaled(step, -2.0));
    if (copy->IsPositionValid()) return copy;
    copy->MoveBy(step);
    slab->GetCoveringList().Remove(copy);
    delete copy;
    return slab;
}

// ---- Key data ---------------------------------------------------------------------

void SlabCovering::WriteKeyData() {
    delete element;
    element = new KeyDataSublist("Covering");
    KeyDataList& keys = *element->GetChildren();
    WriteChildKeys(keys);
    char text[64];
    std::snprintf(text, sizeof text, "%3.6f", offset);
    keys.AddString("offset", text);
    surface.SaveMaterial(keys, "surface");
    keys.AddString("covering", "yes");
}

bool SlabCovering::ReadKeyData(KeyDataList& keys) {
    EditableSlabChild::ReadKeyData(keys);
    ReadFiniteDouble(keys, "offset", offset);
    surface.Load(*keys.GetSublist("surface"));
    material.opacity = Clamp01(material.opacity);
    outline.Refresh();
    UpdateBounds();
    listsDirty = 1;
    MarkDirty();
    return true;
}

void SlabCovering::WriteObjectInformation(std::string& buffer) {
    const bool inside = parent && outline.normal.Dot(parent->GetOutline().normal) > 0.0;
    char text[96];
    std::snprintf(text, sizeof text, "<covering area=\"%3.2f\" side=\"%s\">", outline.GetArea(),
                  inside ? "inside" : "outside");
    buffer += text;
    material.WriteXML(buffer, "surfaceMaterial", false, outline.GetArea());
    buffer += "</covering>";
}

// ---- Drawing ----------------------------------------------------------------------

void SlabCovering::Render() {
    BaseControl* control = theControl();
    SceneView* view = control ? control->GetCurrentView() : nullptr;
    if (view && view->GetRenderState().GetBoolean(9)) return;
    if (IsVisibleInCurrentWindow()) return;
    if (view && (view->GetRenderState().GetInt64(0) & static_cast<int64_t>(TypeBit::kCovering)))
        return;
    const int count = outline.GetCount();
    if (count < 3) return;
    if (view) {
        const uint64_t seeThrough = static_cast<uint64_t>(view->GetRenderState().GetInt64(1));
        if ((GetTypeMask() & seeThrough) || (parent && (parent->GetTypeMask() & seeThrough)))
            material.halfAlphaOnce = 1;
    }
    glPushAttrib(GL_ENABLE_BIT | GL_CURRENT_BIT);
    glPushName(GetPickName());
    if (listsDirty || needsGeometry || surface.faceList == Part::kNoList) {
        if (surface.faceList == Part::kNoList) surface.faceList = glGenLists(1);
        if (surface.edgeList == Part::kNoList) surface.edgeList = glGenLists(1);
        const OutlinePoint* nodes = outline.GetPoints();
        if (surface.faceList != 0 && surface.faceList != Part::kNoList) {
            GLUtesselator* tess = control ? control->GetTessellator() : nullptr;
            std::vector<TessVertexRecord> records(count);
            glNewList(surface.faceList, GL_COMPILE);
            if (tess) {
                glNormal3d(normal.x, normal.y, normal.z);
                gluTessNormal(tess, normal.x, normal.y, normal.z);
                gluTessBeginPolygon(tess, static_cast<PickableObject*>(this));
                gluTessBeginContour(tess);
                for (int i = 0; i < count; ++i) {
                    const Vector& p = nodes[i].position;
                    records[i] = {p.x, p.y, p.z, normal};
                    gluTessVertex(tess, &records[i].x, &records[i]);
                }
                gluTessEndContour(tess);
                gluTessEndPolygon(tess);
            }
            glEndList();
        }
        if (surface.edgeList != 0 && surface.edgeList != Part::kNoList) {
            glNewList(surface.edgeList, GL_COMPILE);
            glBegin(GL_LINE_LOOP);
            for (int i = 0; i < count; ++i)
                glVertex3d(nodes[i].position.x, nodes[i].position.y, nodes[i].position.z);
            glEnd();
            glEndList();
        }
        listsDirty = 0;
        needsGeometry = 0;
        area = outline.GetArea();
    }
    const bool pickPass = view && view->GetRenderState().GetBoolean(3);
    if (IsSelected() != pickPass && control) {
        glEnable(GL_POLYGON_OFFSET_FILL);
        glPolygonOffset(static_cast<float>(control->globalState.GetDouble(6)),
                        static_cast<float>(control->globalState.GetDouble(7)));
    }
    surface.Render(false);
    glPopAttrib();
    if (IsSelected()) {
        const bool blueprintWall = parent && parent->HasType(TypeBit::kWall) && view &&
                                   view->GetRenderState().GetInteger(0) == 1;
        if (!blueprintWall) {
            DrawOutlineHandles();
            ShowMeasurements();
        }
    }
    glPopName();
}

void SlabCovering::DrawOutlineHandles() {
    BaseControl* control = theControl();
    if (!control) return;
    outline.UsePrimaryPoints();
    const int n = outline.GetPrimaryCount();
    OutlinePoint* nodes = outline.GetPrimaryPoints();
    glPushAttrib(GL_COLOR_BUFFER_BIT | GL_CURRENT_BIT);
    glDisable(GL_ALPHA_TEST);
    for (int i = 0; i < n; ++i) {
        glPushName(nodes[i].GetPickName());
        glColor4d(1.0, 0.1969784, 1.0, 0.5);
        glPushMatrix();
        glTranslated(nodes[i].position.x, nodes[i].position.y, nodes[i].position.z);
        control->DrawMarker(kHandleSize);
        glPopMatrix();
        glPopName();
        glPushName(nodes[i].edge->GetPickName());
        glPushName(nodes[i].GetPickName());
        Vector mid = nodes[i].position.Midpoint(nodes[(i + 1) % n].position);
        if (nodes[i].edge->IsArc()) {
            mid.Add(Scaled(nodes[i].edge->direction, nodes[i].edge->edgeR));
            glColor4d(0.0, 1.0, 1.0, 0.5);
        } else {
            glColor4d(0.0, 0.0, 1.0, 0.5);
        }
        glPushMatrix();
        glTranslated(mid.x, mid.y, mid.z);
        glScaled(1.125, 1.125, 1.125);
        control->DrawMarker(kHandleSize);
        glPopMatrix();
        glPopName();
        glPopName();
    }
    glPopAttrib();
    outline.UseAlternatePoints();
}
