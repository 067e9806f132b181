#include "building/Fence.h"

#include <GL/gl.h>
#include <strings.h>

#include <cmath>
#include <cstdio>

#include "control/BaseControl.h"
#include "control/RenderLockScope.h"
#include "foundation/KeyDataList.h"
#include "foundation/Trace.h"
#include "geometry/ViewProjection.h"
#include "model/BaseModel.h"
#include "model/Model.h"
#include "model/SceneView.h"
#include "platform/Menu.h"
#include "render/Window.h"

namespace {

constexpr double kRadiansToDegrees = 57.29577951308;
// Pieces of one segment drawn at most; a longer segment shows its first ones.
constexpr int kMaxPiecesPerSegment = 10000;

bool IsFinite(const Vector& v) {
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

// Which of the control's two tables of shared style models holds `model`.
bool IsSharedModel(const BaseModel* model, int table) {
    BaseControl* control = theControl();
    if (!control || !model) return false;
    for (BaseModel* shared : control->fenceModels[table])
        if (shared == model) return true;
    return false;
}

void DropModel(BaseModel* model) {
    if (model) model->ReleaseModel();
}

}  // namespace

Fence::Fence() {
    outline.SetNormal(Vector(0, 1, 0));
    BaseControl* control = theControl();
    if (!control) return;
    const int style = control->fenceState.GetInteger(0);
    if (style < 0 || style >= BaseControl::kFenceStyles) return;
    if (control->fenceModels[0][style]) SetPostModel(control->fenceModels[0][style]);
    if (control->fenceModels[1][style]) SetBetweenPostModel(control->fenceModels[1][style]);
}

Fence::~Fence() {
    if (HasOpenStep()) CancelUndoStep();
    DropModel(postModel);
    DropModel(betweenPostModel);
}

// ---- Models ---------------------------------------------------------------------------

void Fence::SetModel(BaseModel*& slot, BaseModel* model, int table) {
    RenderLockScope lock;
    if (model && IsSharedModel(model, table)) {
        if (!slot) slot = new Model;
        model->WriteKeyData();
        std::unique_ptr<KeyDataSublist> element(model->TakeWrittenElement());
        if (element) {
            KeyDataList& keys = *element->GetChildren();
            slot->ReadKeyData(keys);
            KeyDataList* information = keys.TakeSublist("ObjectInformation");
            if (information != KeyDataList::SharedEmpty()) delete information;
        }
        if (model->GetURL()[0])
            slot->StartDownload(model->GetURL(), model->GetDecompressedFile(), false);
    } else if (model != slot) {
        DropModel(slot);
        slot = model;
    }
    Changed();
}

void Fence::SetPostModel(BaseModel* model) {
    SetModel(postModel, model, 0);
}

void Fence::SetBetweenPostModel(BaseModel* model) {
    SetModel(betweenPostModel, model, 1);
}

void Fence::Changed() {
    ComputeBounds();
    FlagOverlappingLights();
}

void Fence::ComputeBounds() {
    const int count = outline.GetPrimaryCount();
    if (count < 1) return;
    const OutlinePoint* n = outline.GetPrimaryPoints();
    box.min = box.max = n[0].position;
    for (int i = 1; i < count; ++i) ExtendMinMax(box.min, box.max, n[i].position);
    const double base = n[0].position.y;
    for (BaseModel* model : {postModel, betweenPostModel}) {
        if (!model) continue;
        const BoundingBox& b = model->GetBoundingBox();
        if (b.IsEmpty()) continue;
        ExtendMinMax(box.min, box.max, Vector(b.max.x, b.max.y + base, b.max.z));
    }
}

double Fence::GetHandleHeight() const {
    if (!postModel) return 0.0;
    const BoundingBox& b = postModel->GetBoundingBox();
    return b.IsEmpty() ? 0.0 : b.max.y * 0.5;
}

int Fence::SegmentCount() const {
    const int n = outline.GetPrimaryCount();
    if (n < 2) return 0;
    return closed && n > 2 ? n : n - 1;
}

void Fence::RailPieces(double length, double piece, int& whole, double& cut) {
    whole = 0;
    cut = 0.0;
    // A rail without length never reaches the end of a segment: it draws nothing.
    if (!(piece > 0.0) || !std::isfinite(piece) || !(length > 0.0) || !std::isfinite(length))
        return;
    const double pieces = std::floor(length / piece);
    whole = pieces > kMaxPiecesPerSegment ? kMaxPiecesPerSegment : static_cast<int>(pieces);
    cut = whole < kMaxPiecesPerSegment ? length - whole * piece : 0.0;
    if (cut < 1e-9) cut = 0.0;
}

// ---- Editing ----------------------------------------------------------------------------

OutlinePoint* Fence::InsertPostAt(Vector p) {
    if (IsLocked() || !IsFinite(p)) return nullptr;
    if (outline.GetPrimaryCount() > 0) p.y = outline.GetPrimaryPoints()[0].position.y;
    OutlinePoint* node = outline.InsertPointOnNearestEdge(p, false);
    if (!node) return nullptr;
    const int index = outline.IndexOfPrimary(node);
    const int count = outline.GetPrimaryCount();
    if (count >= 3 && index >= 0) {
        const Vector a = outline.GetPrimaryPoints()[(index + count - 1) % count].position;
        const Vector b = outline.GetPrimaryPoints()[(index + 1) % count].position;
        Vector& n = outline.GetPrimaryPoints()[index].position;
        const double length2 = (b.x - a.x) * (b.x - a.x) + (b.y - a.y) * (b.y - a.y) +
                               (b.z - a.z) * (b.z - a.z);
        if (length2 > 0.0) {
            const double t = ((b.x - a.x) * (n.x - a.x) + (b.z - a.z) * (n.z - a.z)) / length2;
            const Vector q(a.x + t * (b.x - a.x), a.y + t * (b.y - a.y), a.z + t * (b.z - a.z));
            if (n.Distance(q) < kLineSnap) n = q;
        }
        outline.Refresh();
    }
    Changed();
    return &outline.GetPrimaryPoints()[index];
}

bool Fence::GroundUnder(int x, int y, Vector& out) {
    BaseControl* control = theControl();
    auto* main = control ? dynamic_cast<Window*>(control->GetMainView()) : nullptr;
    if (!main) return false;
    Vector p;
    main->GetUnderCursor(x, y, p);
    if (p.w < 1.0 && IsFinite(p)) {
        out = Vector(p.x, p.y, p.z);
        return true;
    }
    // Nothing drawn under the pixel: the floor being worked on.
    p = main->ScreenToHeightPlane(x, y, control->GetCurrentFloorElevation());
    if (Window::IsNoIntersection(p) || !IsFinite(p)) return false;
    out = p;
    return true;
}

OutlinePoint* Fence::InsertPost(const ViewProjection& view, int x, int y) {
    if (IsLocked()) return nullptr;
    (void)view;
    Vector p;
    if (!GroundUnder(x, y, p)) return nullptr;
    return InsertPostAt(p);
}

bool Fence::DeletePost(OutlinePoint* node) {
    if (IsLocked() || !outline.DeletePoint(node)) return false;
    Changed();
    return true;
}

void Fence::CloseCircuit() {
    if (outline.GetPrimaryCount() <= 3) return;
    outline.DeletePoint(&outline.GetPrimaryPoints()[outline.GetPrimaryCount() - 1]);
    closed = 1;
    Changed();
}

void Fence::MoveWhole(const ViewProjection& view, int x1, int y1, int x2, int y2) {
    if (IsLocked()) return;
    const Vector a = outline.ScreenToPlane(view, x1, y1);
    const Vector b = outline.ScreenToPlane(view, x2, y2);
    if (!IsFinite(a) || !IsFinite(b) || a.x == Outline::kNoIntersection ||
        b.x == Outline::kNoIntersection)
        return;
    outline.Translate(a.x - b.x, 0.0, a.z - b.z);
    Changed();
}

OutlinePoint* Fence::DragEdge(const ViewProjection& view, int x1, int y1, int x2, int y2,
                              OutlinePoint* node) {
    if (IsLocked()) return node;
    const int count = outline.GetPrimaryCount();
    const int index = outline.IndexOfPrimary(node);
    if (index < 0 || count < 2) return node;
    if (count == 2) {
        MoveWhole(view, x1, y1, x2, y2);
        return &outline.GetPrimaryPoints()[index];
    }
    OutlinePoint* n = outline.GetPrimaryPoints();
    const bool first = index == 0;
    const bool last = index == count - 2;
    if (closed || (!first && !last)) {
        OutlinePoint* moved = outline.DragEdge(view, x1, y1, x2, y2, node,
                                               outline.GetNextPoint(node, true), false);
        Changed();
        return moved ? moved : &outline.GetPrimaryPoints()[index];
    }
    // The first or last edge of an open fence slides along its neighbour.
    Vector u = first ? n[1].position : n[count - 2].position;
    u.Subtract(first ? n[2].position : n[count - 3].position);
    u.y = 0.0;
    u.Normalize();
    const Vector a = outline.ScreenToPlane(view, x1, y1);
    const Vector b = outline.ScreenToPlane(view, x2, y2);
    if (!IsFinite(a) || !IsFinite(b) || a.x == Outline::kNoIntersection ||
        b.x == Outline::kNoIntersection || !IsFinite(u))
        return node;
    const Vector m(a.x - b.x, 0.0, a.z - b.z);
    const double along = m.Dot(u);
    const Vector s(u.x * along, 0.0, u.z * along);
    n[index].position.Add(s);
    n[index + 1].position.Add(s);
    outline.Refresh();
    if (!outline.IsSimple()) {
        n = outline.GetPrimaryPoints();
        n[index].position.Subtract(s);
        n[index + 1].position.Subtract(s);
        outline.Refresh();
    } else {
        Changed();
    }
    return &outline.GetPrimaryPoints()[index];
}

void Fence::Translate(const Vector& offset) {
    outline.Translate(offset.x, offset.y, offset.z);
    Changed();
}

void Fence::MoveBy(const Vector& offset) {
    Translate(offset);
}

void Fence::BeginMoveRecord() {
    if (outline.GetPrimaryCount() == 0) return;
    moveRecord = outline.GetPrimaryPoints()[0].position;
    moveRecording = true;
}

void Fence::EndMoveRecord() {
    if (!moveRecording || outline.GetPrimaryCount() == 0) return;
    Vector now = outline.GetPrimaryPoints()[0].position;
    now.Subtract(moveRecord);
    moveRecord = now;
    offsetBase = now;
    moveRecording = false;
}

// ---- Menu, copies -------------------------------------------------------------------

void Fence::BuildPropertyMenu(platform::Menu& menu) {
    AppendMenuItems(menu);
}

bool Fence::ProcessPropertyMenu(uint32_t id) {
    if (UndoableObject::ProcessPropertyMenu(id)) return true;
    if (id == 104) {
        BaseControl* control = theControl();
        if (!control) return true;
        RenderLockScope lock(control);
        control->ReleaseHandles();
        if (RemoveFromList(control->scene)) {
            EndUndoStep();
            control->RebuildDisplayData();
            // The render thread destroys it on its turn.
            control->deletedObjects.Append(this);
        }
        return true;
    }
    return TopLevelObject::OnCommand(id);
}

RenderableObject* Fence::Clone() {
    RenderLockScope lock;
    return DuplicateInto(new Fence, 0.0, false);
}

Fence* Fence::DuplicateInto(Fence* dup, double offset, bool addToScene) {
    if (!PRECONDITION(dup != nullptr, "Null duplicate ptr passed in")) return nullptr;
    RenderLockScope lock;
    RestoreInto(*dup, true, false);
    const int count = outline.GetPrimaryCount();
    if (offset != 0.0 && count >= 2) {
        const OutlinePoint* n = outline.GetPrimaryPoints();
        if (count > 2) {
            double low = n[0].position.x, high = low;
            for (int i = 1; i < count; ++i) {
                low = std::fmin(low, n[i].position.x);
                high = std::fmax(high, n[i].position.x);
            }
            offset += high - low;
        }
        Vector d = n[0].position;
        d.Subtract(n[count - 1].position);
        d.Normalize();
        Vector across;
        across.Cross(d, outline.normal);
        across.Scale(offset);
        if (IsFinite(across)) dup->MoveBy(across);
    }
    BaseControl* control = theControl();
    if (addToScene && control) control->scene.Append(dup);
    return dup;
}

// ---- Keys -----------------------------------------------------------------------------

void Fence::WriteKeyData() {
    delete element;
    element = new KeyDataSublist(ElementName());
    KeyDataList& keys = *element->GetChildren();
    outline.Save(keys, "fenceOutline");
    keys.AddDouble("isClosedCircuit", closed ? 1.0 : 0.0);
    keys.AddDouble("transactionObjectId", GetObjectId());
    KeyDataList* parts = keys.AddSublist("fencePartsList");
    auto addModel = [parts](BaseModel* model, bool between) {
        if (!model) return;
        model->WriteKeyData();
        KeyDataSublist* written = model->TakeWrittenElement();
        if (!written) return;
        if (between) written->GetChildren()->AddString("betweenPost", "yes");
        parts->Add(written);
    };
    addModel(betweenPostModel, true);
    addModel(postModel, false);
    keys.AddDouble("Locked", IsLocked() ? 1.0 : 0.0);
}

void Fence::LoadParts(KeyDataList& list) {
    BaseControl* control = theControl();
    const bool now = !control || !control->IsRunning();
    for (BaseKeyDataElement* m = list.GetFirstMember(); m; m = m->GetNextMember()) {
        if (m->IsElement()) continue;
        KeyDataList& keys = *static_cast<KeyDataSublist*>(m)->GetChildren();
        if (keys.IsEmpty() || !keys.GetString("URL")) continue;
        auto* model = new Model;
        model->LoadDecompressedFile(keys, now);
        const char* between = keys.GetString("betweenPost");
        if (between && strcasecmp(between, "yes") == 0)
            SetBetweenPostModel(model);
        else
            SetPostModel(model);
    }
}

bool Fence::ReadKeyData(KeyDataList& keys) {
    if (keys.GetSublist("fenceOutline") != KeyDataList::SharedEmpty())
        outline.Load(keys, "fenceOutline");
    bool flag = closed != 0;
    if (keys.GetBool("isClosedCircuit", flag)) closed = flag ? 1 : 0;
    KeyDataList* parts = keys.GetSublist("fencePartsList");
    if (parts && !parts->IsEmpty()) LoadParts(*parts);
    bool lockedFlag = IsLocked();
    if (keys.GetBool("locked", lockedFlag)) SetLocked(lockedFlag);
    double id = 0.0;
    if (keys.GetDouble("transactionObjectId", id) && std::isfinite(id) && id >= 0.0 &&
        id <= static_cast<double>(UINT32_MAX))
        SetObjectId(static_cast<TransactionId>(id));
    LoadInformation(keys);
    Changed();
    return true;
}

void Fence::WriteObjectInformation(std::string& buffer) {
    char head[128];
    std::snprintf(head, sizeof head, "<fence postCount=\"%i\" length=\"%f\">",
                  outline.GetPrimaryCount(), outline.GetPerimeter(false));
    buffer += head;
    buffer += "<post>";
    if (postModel) postModel->WriteObjectInformation(buffer);
    buffer += "</post><betweenPost>";
    if (betweenPostModel) betweenPostModel->WriteObjectInformation(buffer);
    buffer += "</betweenPost></fence>";
}

// ---- Drawing ---------------------------------------------------------------------------

bool Fence::IsShownInCurrentView() {
    if (!IsVisible()) {
        drawn = 0;
        shownInView = 0;
        return false;
    }
    return RenderableObject::IsShownInCurrentView();
}

void Fence::RenderPost(int i) {
    if (!PRECONDITION(postModel != nullptr, "Fence::RP post NULL")) return;
    if (i < 0 || i >= outline.GetPrimaryCount()) return;
    OutlinePoint& node = outline.GetPrimaryPoints()[i];
    glPushName(node.GetPickName());
    glPushMatrix();
    glTranslated(node.position.x, node.position.y, node.position.z);
    postModel->Render();
    glPopMatrix();
    glPopName();
}

void Fence::DrawClipBox(double length) {
    const BoundingBox& b = betweenPostModel->GetBoundingBox();
    const double x0 = b.min.x, x1 = b.min.x + length;
    glBegin(GL_QUAD_STRIP);
    glVertex3d(x0, b.min.y, b.min.z);
    glVertex3d(x1, b.min.y, b.min.z);
    glVertex3d(x0, b.max.y, b.min.z);
    glVertex3d(x1, b.max.y, b.min.z);
    glVertex3d(x0, b.max.y, b.max.z);
    glVertex3d(x1, b.max.y, b.max.z);
    glVertex3d(x0, b.min.y, b.max.z);
    glVertex3d(x1, b.min.y, b.max.z);
    glVertex3d(x0, b.min.y, b.min.z);
    glVertex3d(x1, b.min.y, b.min.z);
    glEnd();
    glBegin(GL_QUADS);
    glVertex3d(x0, b.min.y, b.min.z);
    glVertex3d(x0, b.max.y, b.min.z);
    glVertex3d(x0, b.max.y, b.max.z);
    glVertex3d(x0, b.min.y, b.max.z);
    glEnd();
}

void Fence::RenderRails() {
    if (!betweenPostModel) return;
    const BoundingBox& b = betweenPostModel->GetBoundingBox();
    if (b.IsEmpty()) return;
    const double piece = b.max.x - b.min.x;
    BaseControl* control = theControl();
    auto* window = control ? dynamic_cast<Window*>(control->GetCurrentView()) : nullptr;
    const bool picking = window && window->viewFlags.GetBoolean(3);
    GLint function = GL_ALWAYS, reference = 0, valueMask = 0;
    glGetIntegerv(GL_STENCIL_FUNC, &function);
    glGetIntegerv(GL_STENCIL_REF, &reference);
    glGetIntegerv(GL_STENCIL_VALUE_MASK, &valueMask);
    if (window && (window->frameCounters[0] < 1 || window->frameCounters[0] != window->layerCounter)) {
        function = GL_EQUAL;
        reference = window->layerCounter;
        valueMask = 3;
    }
    const GLint clipReference = reference | 0x10;
    const int count = outline.GetPrimaryCount();
    OutlinePoint* n = outline.GetPrimaryPoints();
    for (int s = 0; s < SegmentCount(); ++s) {
        const Vector& a = n[s].position;
        const Vector& e = n[(s + 1) % count].position;
        double angle = std::atan2(e.z - a.z, e.x - a.x) * kRadiansToDegrees;
        if (std::fabs(e.z - a.z) < 0.001) angle = e.x > a.x ? 0.0 : 180.0;
        glPushMatrix();
        glTranslated(a.x, a.y, a.z);
        glRotated(-angle, 0.0, 1.0, 0.0);
        glPushName(n[s].edge->GetPickName());
        glPushName(n[s].GetPickName());
        int whole = 0;
        double cut = 0.0;
        RailPieces(a.Distance(e), piece, whole, cut);
        for (int i = 0; i < whole; ++i) {
            betweenPostModel->Render();
            glTranslated(piece, 0.0, 0.0);
        }
        if (cut > 0.0) {
            if (picking) {
                glTranslated(-(piece - cut), 0.0, 0.0);
                betweenPostModel->Render();
            } else {
                glPushAttrib(GL_COLOR_BUFFER_BIT | GL_STENCIL_BUFFER_BIT | GL_DEPTH_BUFFER_BIT |
                             GL_ENABLE_BIT);
                glDisable(GL_ALPHA_TEST);
                glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_FALSE);
                glStencilMask(0x10);
                glEnable(GL_STENCIL_TEST);
                glDepthMask(GL_FALSE);
                glStencilFunc(function, clipReference, valueMask);
                glStencilOp(GL_KEEP, GL_KEEP, GL_REPLACE);
                DrawClipBox(cut);
                glPopAttrib();
                glPushAttrib(GL_STENCIL_BUFFER_BIT | GL_ENABLE_BIT);
                glEnable(GL_STENCIL_TEST);
                glStencilFunc(GL_EQUAL, clipReference, 0x10);
                betweenPostModel->Render();
                glPopAttrib();
                glPushAttrib(GL_COLOR_BUFFER_BIT | GL_STENCIL_BUFFER_BIT | GL_DEPTH_BUFFER_BIT |
                             GL_ENABLE_BIT);
                glEnable(GL_STENCIL_TEST);
                glStencilFunc(GL_ALWAYS, 0, 0x10);
                glStencilMask(0x10);
                glStencilOp(GL_ZERO, GL_ZERO, GL_ZERO);
                glDisable(GL_ALPHA_TEST);
                glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_FALSE);
                glDepthFunc(GL_ALWAYS);
                glDepthMask(GL_FALSE);
                DrawClipBox(cut);
                glPopAttrib();
            }
        }
        glPopName();
        glPopName();
        glPopMatrix();
    }
}

void Fence::DrawHandles() {
    if (!selected) return;
    BaseControl* control = theControl();
    if (!control) return;
    if (IsLocked()) {
        if (control->activeWindow)
            control->activeWindow->statusBar1.SetText(control->LoadResourceString(246).c_str(),
                                                      false);
        return;
    }
    if (control->globalState.GetBoolean(15)) return;
    const int count = outline.GetPrimaryCount();
    OutlinePoint* n = outline.GetPrimaryPoints();
    glPushAttrib(GL_CURRENT_BIT | GL_ENABLE_BIT);
    glDisable(GL_ALPHA_TEST);
    glDisable(GL_TEXTURE_2D);
    glPushMatrix();
    glTranslated(0.0, GetHandleHeight(), 0.0);
    for (int i = 0; i < count; ++i) {
        glColor4d(1.0, 0.0, 0.0, 0.5);
        glPushName(n[i].GetPickName());
        glPushMatrix();
        glTranslated(n[i].position.x, n[i].position.y, n[i].position.z);
        control->DrawSelectionSphere(kHandleRadius);
        glPopMatrix();
        glPopName();
        if (!closed && i == count - 1) continue;
        const Vector m = n[i].position.Midpoint(n[(i + 1) % count].position);
        glColor4d(0.0, 0.0, 1.0, 0.5);
        glPushName(n[i].edge->GetPickName());
        glPushName(n[i].GetPickName());
        glPushMatrix();
        glTranslated(m.x, m.y, m.z);
        control->DrawSelectionSphere(kHandleRadius);
        glPopMatrix();
        glPopName();
        glPopName();
    }
    glPopMatrix();
    glPopAttrib();
}

void Fence::Render() {
    BaseControl* control = theControl();
    SceneView* view = control ? control->GetCurrentView() : nullptr;
    if (!IsShownInCurrentView()) return;
    if (IsVisibleInCurrentWindow()) return;
    if (view && view->GetRenderState().GetBoolean(9)) return;
    SetStencilForSelection();
    glLoadName(GetPickName());
    RenderRails();
    if (postModel)
        for (int i = 0; i < outline.GetPrimaryCount(); ++i) RenderPost(i);
    DrawHandles();
}
