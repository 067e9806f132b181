#include "building/Column.h"

#include <GL/gl.h>
#include <strings.h>

#include <cmath>
#include <cstdio>

#include "building/BaseMolding.h"
#include "control/BaseControl.h"
#include "control/LengthFormat.h"
#include "control/RenderLockScope.h"
#include "control/dialogs/ColumnPropertyDialog.h"
#include "foundation/KeyDataList.h"
#include "foundation/Trace.h"
#include "model/BaseModel.h"
#include "model/Model.h"
#include "platform/Menu.h"
#include "render/Window.h"

namespace {

constexpr const char* kBeamTexture = "Textures/Wood/autumnCherryMat.3c_";
constexpr int kSquareTube = 5;
constexpr double kPostSize = 6.0;
constexpr uint32_t kPropertiesCommand = 102;

bool IsYes(const char* value) {
    return value && strcasecmp(value, "yes") == 0;
}

bool ReadPositive(KeyDataList& keys, const char* key, double& out, bool allowZero) {
    double value = 0.0;
    if (!keys.GetDouble(key, value)) return false;
    if (!std::isfinite(value) || value < 0.0 || (!allowZero && value == 0.0)) {
        theTrace().WriteFormat("Column: %s %g refused", key, value);
        return false;
    }
    out = value;
    return true;
}

}  // namespace

Column::Column(bool skipDefaultTexture) {
    BaseControl* control = theControl();
    height = control ? control->wallState.GetDouble(5) : 96.0;
    if (!(height > 0.0) || !std::isfinite(height)) height = 96.0;
    postMolding = std::make_unique<BaseMolding>(true);
    postMolding->SetShapeType(kSquareTube);
    postMolding->SetProfileParameter(kPostSize, 0);
    postMolding->SetProfileParameter(kPostSize, 1);
    postMolding->SetEndPoint(BaseMolding::kBegin, Vector(0, 0, 0));
    postMolding->SetEndPoint(BaseMolding::kEnd, Vector(0, height, 0));
    beamPart.material = &beamMaterial;
    beamPart.SetOwner(this);
    if (!skipDefaultTexture && control) {
        char address[BaseControl::kPathSize];
        if (control->AttachPathToDomain(kBeamTexture, address, sizeof address))
            beamMaterial.LoadFromURL(address);
    }
    // Columns bring no fence models of their own; a dropped style may add rails.
    SetPostModel(nullptr);
    SetBetweenPostModel(nullptr);
    if (control) state.CopyFrom(control->columnState);
    ApplyState();
}

Column::~Column() {
    if (HasOpenStep()) CancelUndoStep();
    if (capModel) capModel->ReleaseModel();
    if (baseModel) baseModel->ReleaseModel();
    if (beamPart.faceList != Part::kNoList) glDeleteLists(beamPart.faceList, 1);
    beamPart.faceList = Part::kNoList;
}

void Column::ApplyState() {
    hideBeam = state.GetBoolean(0) ? 0 : 1;
    hideBase = state.GetBoolean(1) ? 0 : 1;
    hideCapital = state.GetBoolean(2) ? 0 : 1;
    beamWidth = state.GetDouble(0);
    beamHeight = state.GetDouble(1);
    beamOverhang = state.GetDouble(2);
}

// ---- height ---------------------------------------------------------------------------

void Column::SetHeight(double h) {
    if (!(h > 0.0) || !std::isfinite(h)) return;
    height = h;
    box.max.y = box.min.y + h;
    postMolding->SetEndPoint(BaseMolding::kEnd, Vector(0, h, 0));
    MarkDirty();
}

void Column::DragHeight(double amount) {
    SetHeight(height + amount);
    BaseControl* control = theControl();
    auto* window = control ? dynamic_cast<Window*>(control->GetMainView()) : nullptr;
    if (!window) return;
    std::string text = FormatLength(height, false, 6);
    if (!hideBeam)
        text += " (" + FormatLength(height + beamHeight, false, 6) + " to top of beam)";
    window->helpWindow.SetShown(true);
    window->helpWindow.SetText(text.c_str(), false);
}

double Column::GetTopHeight() const {
    const double base =
        outline.GetPrimaryCount() > 0 ? outline.GetPrimaryPoints()[0].position.y : 0.0;
    return base + height + (hideBeam ? 0.0 : beamHeight);
}

// ---- models ---------------------------------------------------------------------------

void Column::ReplaceModel(BaseModel*& slot, BaseModel* model) {
    {
        RenderLockScope lock;
        if (slot != model) {
            if (slot) slot->ReleaseModel();
            slot = model;
        }
    }
    Changed();
}

void Column::SetCapModel(BaseModel* model) {
    ReplaceModel(capModel, model);
}

void Column::SetBaseModel(BaseModel* model) {
    ReplaceModel(baseModel, model);
}

void Column::SetPostProfileFromURL(const char* url) {
    RenderLockScope lock;
    postMolding->SetProfileFromURL(url);
}

void Column::ComputeBounds() {
    Fence::ComputeBounds();
    if (outline.GetPrimaryCount() < 1) return;
    ExtendMinMax(box.min, box.max,
                 Vector(box.max.x, box.min.y + height + (hideBeam ? 0.0 : beamHeight), box.max.z));
}

// ---- menu -----------------------------------------------------------------------------

void Column::BuildPropertyMenu(platform::Menu& menu) {
    Fence::BuildPropertyMenu(menu);
    menu.AppendItem(kHideBeam, "Hide Beam", hideBeam != 0, false);
    menu.AppendItem(kHideCapital, "Hide Capital (Top)", hideCapital != 0,
                    !capModel && !hideCapital);
    menu.AppendItem(kHideBase, "Hide Base (Bottom)", hideBase != 0, !baseModel && !hideBase);
    menu.AppendItem(kHideRails, "Hide Rails", hideRails != 0,
                    !betweenPostModel && !hideRails);
    menu.AppendSeparator();
}

bool Column::ProcessPropertyMenu(uint32_t id) {
    switch (id) {
        case kHideBeam: hideBeam = !hideBeam; break;
        case kHideRails: hideRails = !hideRails; break;
        case kHideBase: hideBase = !hideBase; break;
        case kHideCapital: hideCapital = !hideCapital; break;
        case kPropertiesCommand: ShowPropertyDialog(); break;
        default: return Fence::ProcessPropertyMenu(id);
    }
    Changed();
    return true;
}

void Column::ShowPropertyDialog() {
    BeginUndoStep();
    {
        ColumnPropertyDialog dialog(this);
        dialog.SetSupportBeamVisible(!hideBeam);
        dialog.SetBaseBeamVisible(!hideBase);
        dialog.SetCapitalVisible(!hideCapital);
        dialog.SetBeamHeight(beamHeight);
        dialog.SetBeamWidth(beamWidth);
        dialog.SetBeamOverhang(beamOverhang);
        dialog.Show();
    }
    EndUndoStep();
}

int Column::OnDialogNotify(Dialog* dialog, int code) {
    auto* column = dynamic_cast<ColumnPropertyDialog*>(dialog);
    if (!column) return 0;
    hideBeam = column->supportBeamVisible ? 0 : 1;
    hideBase = column->baseBeamVisible ? 0 : 1;
    hideCapital = column->capitalVisible ? 0 : 1;
    if (column->beamHeight > 0.0 && std::isfinite(column->beamHeight))
        beamHeight = column->beamHeight;
    if (column->beamWidth > 0.0 && std::isfinite(column->beamWidth)) beamWidth = column->beamWidth;
    if (column->beamOverhang >= 0.0 && std::isfinite(column->beamOverhang))
        beamOverhang = column->beamOverhang;
    (void)code;
    Changed();
    return 0;
}

// ---- copies ---------------------------------------------------------------------------

RenderableObject* Column::Clone() {
    RenderLockScope lock;
    return DuplicateInto(new Column(false), 0.0, false);
}

// ---- keys -----------------------------------------------------------------------------

void Column::WriteKeyData() {
    Fence::WriteKeyData();
    KeyDataList& keys = *element->GetChildren();
    keys.AddDouble("hideBase", hideBase ? 1.0 : 0.0);
    keys.AddDouble("hideBeam", hideBeam ? 1.0 : 0.0);
    keys.AddDouble("hideCapital", hideCapital ? 1.0 : 0.0);
    keys.AddDouble("hideFence", hideRails ? 1.0 : 0.0);
    keys.AddDouble("columnHeight", height);
    keys.AddDouble("beamHeight", beamHeight);
    keys.AddDouble("beamWidth", beamWidth);
    keys.AddDouble("beamOverhang", beamOverhang);
    beamPart.SaveMaterial(keys, "beamPart");
    KeyDataList* parts = keys.GetSublist("fencePartsList");
    if (!parts || parts == KeyDataList::SharedEmpty()) parts = keys.AddSublist("fencePartsList");
    auto add = [parts](auto* part, const char* key) {
        if (!part) return;
        part->WriteKeyData();
        KeyDataSublist* written = part->TakeWrittenElement();
        if (!written) return;
        written->GetChildren()->AddString(key, "yes");
        parts->Add(written);
    };
    add(capModel, "header");
    add(baseModel, "footer");
    add(postMolding.get(), "postMolding");
}

void Column::LoadParts(KeyDataList& list) {
    BaseControl* control = theControl();
    const bool now = !control || !control->IsRunning();
    for (BaseKeyDataElement* m = list.GetFirstMember(); m; m = m->GetNextMember()) {
        if (m->IsElement()) continue;
        auto* sub = static_cast<KeyDataSublist*>(m);
        KeyDataList& keys = *sub->GetChildren();
        if (keys.IsEmpty()) continue;
        const bool molding = strcasecmp(sub->GetName(), "BaseMolding") == 0;
        if (molding || IsYes(keys.GetString("postMolding"))) {
            postMolding->ReadKeyData(keys);
            continue;
        }
        if (!keys.GetString("URL")) continue;
        auto* model = new Model;
        model->LoadDecompressedFile(keys, now);
        if (IsYes(keys.GetString("betweenPost")))
            SetBetweenPostModel(model);
        else if (IsYes(keys.GetString("header")))
            SetCapModel(model);
        else if (IsYes(keys.GetString("footer")))
            SetBaseModel(model);
        else
            SetPostModel(model);
    }
}

bool Column::ReadKeyData(KeyDataList& keys) {
    Fence::ReadKeyData(keys);
    bool flag = false;
    if (keys.GetBool("hideBase", flag)) hideBase = flag ? 1 : 0;
    if (keys.GetBool("hideBeam", flag)) hideBeam = flag ? 1 : 0;
    if (keys.GetBool("hideCapital", flag)) hideCapital = flag ? 1 : 0;
    if (keys.GetBool("hideFence", flag)) hideRails = flag ? 1 : 0;
    if (KeyDataList* part = keys.GetSublist("beamPart"); part && !part->IsEmpty())
        beamPart.Load(*part);
    double value = 0.0;
    if (ReadPositive(keys, "columnHeight", value, false)) SetHeight(value);
    ReadPositive(keys, "beamHeight", beamHeight, false);
    ReadPositive(keys, "beamWidth", beamWidth, false);
    ReadPositive(keys, "beamOverhang", beamOverhang, true);
    Changed();
    return true;
}

void Column::WriteObjectInformation(std::string& buffer) {
    char head[160];
    std::snprintf(head, sizeof head, "<column postCount=\"%i\" length=\"%f\" height=\"%f\">",
                  outline.GetPrimaryCount(), outline.GetPerimeter(false), height);
    buffer += head;
    buffer += "<post>";
    postMolding->WriteObjectInformation(buffer);
    buffer += "</post><betweenPost>";
    if (betweenPostModel) betweenPostModel->WriteObjectInformation(buffer);
    buffer += "</betweenPost><capital>";
    if (capModel) capModel->WriteObjectInformation(buffer);
    buffer += "</capital><base>";
    if (baseModel) baseModel->WriteObjectInformation(buffer);
    buffer += "</base></column>";
}

// ---- drawing --------------------------------------------------------------------------

void Column::RenderPost(int i) {
    if (i < 0 || i >= outline.GetPrimaryCount()) return;
    OutlinePoint& node = outline.GetPrimaryPoints()[i];
    glPushName(node.GetPickName());
    glPushMatrix();
    glTranslated(node.position.x, node.position.y, node.position.z);
    postMolding->Render();
    if (capModel) {
        glPushName(capModel->GetPickName());
        glPushName(node.GetPickName());
        if (!hideCapital) {
            glPushMatrix();
            glTranslated(0.0, height, 0.0);
            glRotated(180.0, 0.0, 0.0, 1.0);
            capModel->Render();
            glPopMatrix();
        }
        glPopName();
        glPopName();
    }
    if (baseModel) {
        glPushName(baseModel->GetPickName());
        glPushName(node.GetPickName());
        if (!hideBase) baseModel->Render();
        glPopName();
        glPopName();
    }
    glPopMatrix();
    glPopName();
}

void Column::RenderRails() {
    if (!hideRails) Fence::RenderRails();
}

Vector Column::GetTexCoord(const Vector& p) const {
    const int count = outline.GetPrimaryCount();
    if (count < 2) return Vector(0, 0, 0);
    const int s = beamSegment % count;
    Vector along = outline.GetPrimaryPoints()[(s + 1) % count].position;
    along.Subtract(outline.GetPrimaryPoints()[s].position);
    along.Normalize();
    const Vector side(along.z, 0.0, -along.x);
    return Vector(p.Dot(side) + p.y, p.Dot(along), 0.0);
}

void Column::DrawBeamFace(const Vector& normal, const Vector& a, const Vector& b, const Vector& c,
                          const Vector& d) {
    glNormal3d(normal.x, normal.y, normal.z);
    for (const Vector* v : {&a, &b, &c, &d}) {
        const Vector t = GetTexCoord(*v);
        glTexCoord2d(t.x, t.y);
        glVertex3d(v->x, v->y, v->z);
    }
}

void Column::BuildBeam() {
    const int count = outline.GetPrimaryCount();
    if (hideBeam || count < 2) return;
    std::vector<double> from{height, beamWidth, beamHeight, beamOverhang,
                             static_cast<double>(closed)};
    for (int i = 0; i < count; ++i) {
        const Vector& p = outline.GetPrimaryPoints()[i].position;
        from.insert(from.end(), {p.x, p.y, p.z});
    }
    if (beamPart.faceList == Part::kNoList || from != beamBuiltFrom) {
        if (beamPart.faceList == Part::kNoList) beamPart.faceList = glGenLists(1);
        beamBuiltFrom = from;
        glNewList(beamPart.faceList, GL_COMPILE);
        glPushMatrix();
        glTranslated(0.0, height, 0.0);
        const double e = beamWidth * 0.5 + beamOverhang;
        const int segments = closed ? count : count - 1;
        glBegin(GL_QUADS);
        for (int s = 0; s < segments; ++s) {
            beamSegment = s;
            const Vector& a = outline.GetPrimaryPoints()[s].position;
            const Vector& b = outline.GetPrimaryPoints()[(s + 1) % count].position;
            Vector along = b;
            along.Subtract(a);
            along.Normalize();
            if (!std::isfinite(along.x) || !std::isfinite(along.z)) continue;
            const Vector side(along.z * beamWidth * 0.5, 0.0, -along.x * beamWidth * 0.5);
            const Vector s0(a.x - along.x * e, a.y, a.z - along.z * e);
            const Vector s1(b.x + along.x * e, b.y, b.z + along.z * e);
            auto at = [&](const Vector& p, double sign, double y) {
                return Vector(p.x + side.x * sign, p.y + y, p.z + side.z * sign);
            };
            const double h = beamHeight;
            DrawBeamFace(side, at(s0, 1, 0), at(s1, 1, 0), at(s1, 1, h), at(s0, 1, h));
            DrawBeamFace(Vector(-side.x, 0, -side.z), at(s1, -1, 0), at(s0, -1, 0),
                         at(s0, -1, h), at(s1, -1, h));
            DrawBeamFace(Vector(0, 1, 0), at(s0, 1, h), at(s1, 1, h), at(s1, -1, h),
                         at(s0, -1, h));
            DrawBeamFace(Vector(0, -1, 0), at(s0, -1, 0), at(s1, -1, 0), at(s1, 1, 0),
                         at(s0, 1, 0));
            DrawBeamFace(along, at(s1, 1, 0), at(s1, -1, 0), at(s1, -1, h), at(s1, 1, h));
            DrawBeamFace(Vector(-along.x, 0, -along.z), at(s0, -1, 0), at(s0, 1, 0),
                         at(s0, 1, h), at(s0, -1, h));
        }
        glEnd();
        glPopMatrix();
        glEndList();
    }
    beamPart.Render(false);
}

void Column::DrawHandles() {
    Fence::DrawHandles();
    BaseControl* control = theControl();
    if (!control || !(selected || control->globalState.GetBoolean(4))) return;
    const int count = outline.GetPrimaryCount();
    OutlinePoint* n = outline.GetPrimaryPoints();
    glPushAttrib(GL_CURRENT_BIT | GL_ENABLE_BIT);
    glDisable(GL_TEXTURE_2D);
    glColor3ub(0, 255, 0);
    glPushName(heightHandle.GetPickName());
    const double rise = height + (hideBeam ? 0.0 : beamHeight) + kHeightHandleRadius;
    for (int i = 0; i < count; ++i) {
        glPushName(n[i].GetPickName());
        glPushMatrix();
        glTranslated(n[i].position.x, n[i].position.y + rise, n[i].position.z);
        control->DrawSelectionSphere(kHeightHandleRadius);
        glPopMatrix();
        glPopName();
    }
    glPopName();
    glPopAttrib();
}

void Column::Render() {
    Fence::Render();
    if (!drawn) return;
    BuildBeam();
}
