#include "model/Part.h"

#include <GL/glext.h>
#include <strings.h>

#include <cmath>
#include <cstdio>
#include <cstring>

#include "control/BaseControl.h"
#include "foundation/KeyDataList.h"
#include "foundation/Trace.h"
#include "foundation/UndoableObject.h"
#include "interaction/MouseHandler.h"
#include "model/BaseModel.h"
#include "model/SceneView.h"
#include "platform/Clock.h"
#include "platform/Menu.h"
#include "render/Bitmap.h"
#include "render/Material.h"
#include "render/OpenGL.h"
#include "render/Window.h"

namespace {

constexpr double kRadiansToDegrees = 57.29577951308232;
constexpr int kMoveMaterialMode = 19;
constexpr int kScaleMaterialMode = 20;
// The degree sign of the menus.
constexpr const char* kDegree = "\xC2\xB0";

// View state of the window being drawn (booleans of its render state); false without one.
bool DrawnViewBoolean(int i) {
    BaseControl* control = theControl();
    SceneView* view = control ? control->GetCurrentView() : nullptr;
    return view && view->GetRenderState().GetBoolean(i);
}

int ViewMode(SceneView* view) {
    return view ? view->GetRenderState().GetInteger(0) : Window::kPerspectiveView;
}

bool IsOrthographicMode(int mode) {
    return mode == Window::kBlueprintView || mode == Window::kElevationView;
}

bool ActiveViewIsOrthographic() {
    BaseControl* control = theControl();
    return IsOrthographicMode(ViewMode(control ? control->GetActiveView() : nullptr));
}

bool GlobalBoolean(int i) {
    BaseControl* control = theControl();
    return control && control->globalState.GetBoolean(i);
}

// Opens the undo step of an undoable owner.
void BeginOwnerUndoStep(RenderableObject* owner) {
    if (auto* undoable = dynamic_cast<UndoableObject*>(owner)) undoable->BeginUndoStep();
}

}  // namespace

// ---- PartAnimation --------------------------------------------------------------------

double PartAnimation::PhaseOf(int64_t ticks) {
    const int64_t frequency = platform::QueryFrequency();
    if (frequency <= 0) return 0.0;
    return static_cast<double>(ticks) *
           (1.0 / (kHalfCycleSeconds * static_cast<double>(frequency)));
}

void PartAnimation::Advance() {
    const int64_t now = platform::QueryCounter();
    double phase = PhaseOf(now - startTime);
    if (phase > 1.0) {
        phase = 0.0;
        if (forwardOnly) {
            state = kOpening;
            startTime = now;
        } else if (state == kClosing) {
            if (continuous) {
                state = kOpening;
                startTime = now;
            } else {
                state = kClosed;
            }
        } else if (state == kOpening) {
            if (continuous) {
                state = kClosing;
                startTime = now;
            } else {
                state = kHeldOpen;
                phase = 1.0;
            }
        }
    }
    if (state == kClosing) phase = 1.0 - phase;
    t = phase;
}

bool PartAnimation::Apply() {
    BaseControl* control = theControl();
    SceneView* drawn = control ? control->GetCurrentView() : nullptr;
    bool moved = false;
    if (ViewMode(drawn) == Window::kBlueprintView) {
        t = showOpen ? 0.5 : 0.0;
    } else if ((state == kOpening || state == kClosing) && !GlobalBoolean(17) &&
               !GlobalBoolean(15) && (!drawn || drawn->GetViewId() == 0) &&
               !(control && control->antialiasedFrameRequest)) {
        moved = true;
        Advance();
    }

    glPushMatrix();
    if (kind & kSlide) {
        Vector d = translation;
        d.Scale(t);
        glTranslated(d.x, d.z, -d.y);
    }
    if (kind & kTurn) {
        const double px = transform[12], py = transform[13], pz = transform[14];
        glTranslated(px, pz, -py);
        glRotated(t * angle, -axis.x, -axis.z, axis.y);
        glTranslated(-px, -pz, py);
    }
    return moved;
}

void PartAnimation::Start() {
    if (state == kOpening || state == kClosing) return;
    startTime = platform::QueryCounter();
    state = state == kHeldOpen ? kClosing : kOpening;
}

void PartAnimation::StartLoop(uint32_t id) {
    startTime = platform::QueryCounter();
    if (id == PartCommand::kAnimateContinuous) {
        continuous = 1;
        state = state == kHeldOpen ? kClosing : kOpening;
    } else if (id == PartCommand::kAnimateForwardOnly) {
        state = kOpening;
        forwardOnly = 1;
    }
}

// ---- BasePart -------------------------------------------------------------------------

BasePart::BasePart() = default;

BasePart::~BasePart() = default;

BaseModel* BasePart::GetModel() const {
    return dynamic_cast<BaseModel*>(owner);
}

void BasePart::SetAnimation(std::unique_ptr<PartAnimation> newAnimation) {
    animation = std::move(newAnimation);
}

void BasePart::BuildPropertyMenu(platform::Menu& menu) {
    if (!animation || ActiveViewIsOrthographic()) return;
    platform::Menu& popup = menu.AppendSubmenu("Animate");
    popup.AppendItem(PartCommand::kAnimateOnce, "Animate Once");
    popup.AppendSeparator();
    popup.AppendItem(PartCommand::kAnimateContinuous, "Continuous Animation",
                     animation->continuous != 0);
    popup.AppendItem(PartCommand::kAnimateForwardOnly, "Continuous Animation Forward Only",
                     animation->forwardOnly != 0);
}

bool BasePart::ProcessPropertyMenu(uint32_t id) {
    if (!animation) return false;
    switch (id) {
        case PartCommand::kAnimateOnce:
            animation->Start();
            return true;
        case PartCommand::kAnimateContinuous:
            if (animation->continuous) {
                animation->continuous = 0;
            } else {
                animation->forwardOnly = 0;
                animation->StartLoop(id);
            }
            return true;
        case PartCommand::kAnimateForwardOnly:
            if (animation->forwardOnly) {
                animation->forwardOnly = 0;
            } else {
                animation->continuous = 0;
                animation->StartLoop(id);
            }
            return true;
        default:
            return false;
    }
}

bool BasePart::HasSubObject(const char*) const {
    return false;
}

void BasePart::ReplaceSubObject(const char*, BaseModel*) {}

void BasePart::SetOwner(RenderableObject*) {}

Material* BasePart::FindSubObjectMaterials(const char*) {
    return nullptr;
}

void BasePart::WriteSubObjectEntry(KeyDataList&) {}

void BasePart::SetShowOpen(bool flag) {
    if (animation) animation->showOpen = flag ? 1 : 0;
}

bool BasePart::AnimateStep() {
    if (!animation) return false;
    const uint32_t before = animation->state;
    const bool moved = animation->Apply();
    const uint32_t after = animation->state;
    if (moved && after != before && owner && !GlobalBoolean(13) &&
        (after == PartAnimation::kHeldOpen || after == PartAnimation::kClosed))
        owner->FlagOverlappingLights();
    return moved;
}

// ---- Part -----------------------------------------------------------------------------

Part::Part(RenderableObject* object) {
    owner = object;
}

Part::~Part() {
    animation.reset();
    // Display lists need the context they were made in; without any, there is nothing
    // to free either.
    if (!platform::GLContext::IsAnyCurrent()) return;
    for (GLuint list : {faceList, alternateList, edgeList})
        if (list != kNoList && list != 0) glDeleteLists(list, 1);
}

void Part::SetOwner(RenderableObject* object) {
    owner = object;
}

bool Part::PassAccepts() const {
    if (alwaysDraw) return true;
    const double alpha = material ? material->alpha : 1.0;
    const bool alphaMap = material && material->hasAlphaMap;
    if (DrawnViewBoolean(9)) return alpha != 1.0 && !alphaMap;
    if (DrawnViewBoolean(13)) {
        if (!alphaMap) return false;
        return !GlobalBoolean(15) || !material || !std::strstr(material->GetTextureURL(), "screen");
    }
    return !alphaMap && (alpha == 1.0 || (material && material->transparent));
}

bool Part::FaceViewer() {
    if (!faceViewer && !faceViewerUpright) return false;
    glPushMatrix();
    glTranslated(centre.x, centre.y, centre.z);
    BaseControl* control = theControl();
    Window* window = control ? control->currentWindow : nullptr;
    const Vector view = window ? window->UnprojectViewCenter() : Vector(0.0, 0.0, -1.0);
    Vector d = view;
    d.y = 0.0;
    d.Normalize();
    if (DrawnViewBoolean(3)) std::swap(d.x, d.z);
    // Clamped: a unit vector's component can round past 1.
    auto degrees = [](double c) {
        return std::acos(std::fmax(-1.0, std::fmin(1.0, c))) * kRadiansToDegrees;
    };
    if (d.x > 0.01)
        glRotated(degrees(d.z), 0.0, 1.0, 0.0);
    else if (d.x < -0.01)
        glRotated(degrees(d.z), 0.0, -1.0, 0.0);
    else if (d.z < 0.0)
        glRotated(180.0, 0.0, -1.0, 0.0);
    if (faceViewer) {
        Vector e = view;
        e.x = 0.0;
        e.Normalize();
        if (e.y > 0.01)
            glRotated(degrees(e.z), -1.0, 0.0, 0.0);
        else if (e.y < -0.01)
            glRotated(degrees(e.z), 1.0, 0.0, 0.0);
    }
    glTranslated(-centre.x, -centre.y, -centre.z);
    return true;
}

void Part::ApplyMaterial() {
    BaseControl* control = theControl();
    auto textureMatrix = [&] {
        glMatrixMode(GL_TEXTURE);
        glPushMatrix();
        const double gx = material->granularity.x != 0.0 ? material->granularity.x : 1.0;
        const double gy = material->granularity.y != 0.0 ? material->granularity.y : 1.0;
        double sx = 1.0 / gx;
        double sy = 1.0 / gy;
        BaseModel* model = GetModel();
        const Bitmap* texture = material->GetTexture();
        if (!DrawnViewBoolean(10) && model && model->simulatePowerOfTwo && texture &&
            texture->texCoordScaleS != -1.0 && texture->texCoordScaleT != -1.0) {
            sx = (texture->texCoordScaleS - 1.001) + 1.0 / gx;
            sy = (texture->texCoordScaleT - 1.0) + 1.0 / gy;
        }
        glScaled(sx, sy, 1.0);
        glRotated(material->textureRotation, 0.0, 0.0, 1.0);
        glTranslated(material->textureOffset.x, material->textureOffset.y, 0.0);
        glMatrixMode(GL_MODELVIEW);
    };

    if (GlobalBoolean(17) && !DrawnViewBoolean(8)) {
        if (HasGLExtension(kExtMultitexture) && theGLEntryPoints.ActiveTextureARB)
            theGLEntryPoints.ActiveTextureARB(GL_TEXTURE0_ARB);
        if (HasGLExtension(kExtVertexProgram) && !theOpenGL.nvVertexProgram &&
            theGLEntryPoints.ProgramLocalParameter4dvARB) {
            const double r = material->textureRotation / kRadiansToDegrees;
            const double parameter[4] = {std::cos(r), -std::sin(r), 0.0, 0.0};
            theGLEntryPoints.ProgramLocalParameter4dvARB(GL_VERTEX_PROGRAM_ARB, 0, parameter);
        }
        material->ApplyBumpMap(false);
        textureMatrix();
        return;
    }
    MaterialView view;
    SceneView* drawn = control ? control->GetCurrentView() : nullptr;
    view.orthographic = IsOrthographicMode(ViewMode(drawn));
    view.transparencyPass = DrawnViewBoolean(9);
    material->Apply(textured != 0, faceViewer || faceViewerUpright, view);
    if (textured) textureMatrix();
}

void Part::DrawList(GLuint list) {
    if (!PRECONDITION(list != kNoList && static_cast<int32_t>(list) >= 0, "Invalid call list ID"))
        return;
    theTrace().WriteStep("Before call");
    glCallList(list);
    theTrace().WriteStep("After call");
}

bool Part::Render(bool alternate) {
    theTrace().CheckGLErrors("Render part begin");
    const GLuint list = alternate ? alternateList : faceList;
    if (!PassAccepts()) return false;

    const bool faced = FaceViewer();
    const bool animated = animation != nullptr;
    AnimateStep();

    glPushAttrib(GL_ENABLE_BIT | GL_TEXTURE_BIT);
    const bool withMaterial = material && !GlobalBoolean(8);
    const bool withTextureMatrix =
        withMaterial && (textured || (GlobalBoolean(17) && !DrawnViewBoolean(8)));
    if (withMaterial) ApplyMaterial();

    glPushName(GetPickName());
    BaseControl* control = theControl();
    SceneView* drawn = control ? control->GetCurrentView() : nullptr;
    if (IsOrthographicMode(ViewMode(drawn)) && !DrawnViewBoolean(9) && !GlobalBoolean(15)) {
        glColor3i(0, 0, 0);
        if (edgeList != kNoList) glCallList(edgeList);
        glEnable(GL_POLYGON_OFFSET_FILL);
        glPolygonOffset(1.0f, 1.0f);
        if (material) {
            MaterialView view;
            view.orthographic = true;
            material->Apply(textured != 0, faceViewer || faceViewerUpright, view);
        }
        if (list != kNoList) glCallList(list);
    } else {
        DrawList(list);
    }
    glPopName();

    if (withTextureMatrix) {
        glMatrixMode(GL_TEXTURE);
        glPopMatrix();
        glMatrixMode(GL_MODELVIEW);
    }
    glPopAttrib();
    if (animated) glPopMatrix();
    theTrace().CheckGLErrors("Render part end");
    if (faced) glPopMatrix();
    return false;
}

void Part::BuildPropertyMenu(platform::Menu& menu) {
    BasePart::BuildPropertyMenu(menu);
    if (!material || ActiveViewIsOrthographic()) return;
    BaseModel* model = GetModel();
    const bool locked = model && model->HasLockCodes();
    menu.AppendItem(PartCommand::kMoveMaterial, "Move Material", false, locked);
    menu.AppendItem(PartCommand::kScaleMaterial, "Scale Material", false, locked);
    platform::Menu& rotate = menu.AppendSubmenu("Rotate Material");
    rotate.AppendItem(PartCommand::kRotateMaterial45Clockwise, std::string("45") + kDegree + " CW",
                      false, locked);
    rotate.AppendItem(PartCommand::kRotateMaterial45CounterClockwise,
                      std::string("45") + kDegree + " CCW", false, locked);
    rotate.AppendItem(PartCommand::kRotateMaterial90Clockwise, std::string("90") + kDegree + " CW",
                      false, locked);
    rotate.AppendItem(PartCommand::kRotateMaterial90CounterClockwise,
                      std::string("90") + kDegree + " CCW", false, locked);
    rotate.AppendItem(PartCommand::kRotateMaterial180, std::string("180") + kDegree, false, locked);
    menu.AppendItem(PartCommand::kHideMaterial, "Hide Material", material->showTexture == 0);
    menu.AppendItem(PartCommand::kHideColor, "Hide Color", material->showColor == 0);
    if (owner && owner->HasType(TypeBit::kSlab | TypeBit::kCovering))
        menu.AppendItem(PartCommand::kToggleReflections, "Turn Off Reflections\tM",
                        !GlobalBoolean(9));
    menu.AppendSeparator();
}

bool Part::ProcessPropertyMenu(uint32_t id) {
    if (BasePart::ProcessPropertyMenu(id)) return true;
    if (!material) return false;
    double turn = 0.0;
    switch (id) {
        case PartCommand::kRotateMaterial45Clockwise:
            turn = 45.0;
            break;
        case PartCommand::kRotateMaterial45CounterClockwise:
            turn = -45.0;
            break;
        case PartCommand::kRotateMaterial90Clockwise:
            turn = 90.0;
            break;
        case PartCommand::kRotateMaterial90CounterClockwise:
            turn = -90.0;
            break;
        case PartCommand::kRotateMaterial180:
            turn = 180.0;
            break;
        case PartCommand::kHideColor:
            BeginOwnerUndoStep(owner);
            material->showColor = material->showColor ? 0 : 1;
            return true;
        case PartCommand::kHideMaterial:
            BeginOwnerUndoStep(owner);
            material->showTexture = material->showTexture ? 0 : 1;
            return true;
        case PartCommand::kMoveMaterial:
        case PartCommand::kScaleMaterial: {
            BaseControl* control = theControl();
            Window* window = control ? control->activeWindow : nullptr;
            if (!window) return true;
            const int mode =
                id == PartCommand::kMoveMaterial ? kMoveMaterialMode : kScaleMaterialMode;
            if (window->SetMouseMode(mode)) {
                window->GetCurrentMode()->SetEditLock(false);
                if (auto* editor = dynamic_cast<PartTextureEditor*>(window->GetCurrentMode()))
                    editor->SetPart(this);
            }
            return true;
        }
        case PartCommand::kToggleReflections:
            if (BaseControl* control = theControl())
                control->globalState.SetBoolean(9, !control->globalState.GetBoolean(9));
            return true;
        default:
            return false;
    }
    BeginOwnerUndoStep(owner);
    material->textureRotation += turn;
    return true;
}

void Part::Load(KeyDataList& keys) {
    if (!material || keys.IsEmpty()) return;
    material->ReadKeyData(*keys.GetSublist("Material"), false);
}

void Part::SetColor(double r, double g, double b, double a) {
    if (!material) return;
    material->SetColor(r, g, b, a);
    material->modulateTexture = 1;
}

void Part::SetMaterialVector(const Vector& v) {
    if (!material) return;
    material->textureOffset.Set(v);
}

void Part::SaveMaterial(KeyDataList& keys, const char* name) {
    if (!material) return;
    KeyDataList* list = keys.AddSublist(name);
    material->WriteKeyData(*list);
}

void Part::ApplyMaterialKeys(KeyDataList& keys, bool resetGranularity) {
    if (!material) return;
    material->idFixed = 1;
    material->ReadKeyData(keys, resetGranularity);
    material->idFixed = 0;
}

// ---- PartGroup ------------------------------------------------------------------------

PartGroup::PartGroup(RenderableObject* object) {
    owner = object;
}

PartGroup::~PartGroup() {
    animation.reset();
    members.DeleteAll();
}

bool PartGroup::RenderMembers(bool alternate) {
    bool moved = false;
    LinkedListIterator it(members);
    it.LockList();
    for (LinkedListObject* node = it.First(); !it.IsDone(); node = it.Next())
        if (auto* part = dynamic_cast<BasePart*>(node)) moved = part->Render(alternate) || moved;
    it.UnlockList();
    return moved;
}

bool PartGroup::Render(bool alternate) {
    const bool animated = animation != nullptr;
    const bool moved = AnimateStep();
    glPushName(GetPickName());
    RenderMembers(alternate);
    glPopName();
    if (animated) glPopMatrix();
    return moved;
}

namespace {

template <typename F>
void ForEachMember(LinkedList& members, F&& f) {
    LinkedListIterator it(members);
    it.LockList();
    for (LinkedListObject* node = it.First(); !it.IsDone(); node = it.Next())
        if (auto* part = dynamic_cast<BasePart*>(node))
            if (f(*part)) break;
    it.UnlockList();
}

}  // namespace

bool PartGroup::HasSubObject(const char* name) const {
    bool found = false;
    ForEachMember(const_cast<LinkedList&>(members), [&](BasePart& part) {
        found = part.HasSubObject(name);
        return found;
    });
    return found;
}

void PartGroup::ReplaceSubObject(const char* name, BaseModel* subObject) {
    ForEachMember(members, [&](BasePart& part) {
        part.ReplaceSubObject(name, subObject);
        return false;
    });
}

void PartGroup::SetOwner(RenderableObject* object) {
    ForEachMember(members, [&](BasePart& part) {
        part.SetOwner(object);
        return false;
    });
    owner = object;
}

Material* PartGroup::FindSubObjectMaterials(const char* name) {
    Material* found = nullptr;
    ForEachMember(members, [&](BasePart& part) {
        found = part.FindSubObjectMaterials(name);
        return found != nullptr;
    });
    return found;
}

void PartGroup::WriteSubObjectEntry(KeyDataList& list) {
    ForEachMember(members, [&](BasePart& part) {
        part.WriteSubObjectEntry(list);
        return false;
    });
}

void PartGroup::SetShowOpen(bool flag) {
    BasePart::SetShowOpen(flag);
    ForEachMember(members, [&](BasePart& part) {
        part.SetShowOpen(flag);
        return false;
    });
}

// ---- SubObjectPart --------------------------------------------------------------------

SubObjectPart::SubObjectPart(const char* text, RenderableObject* object) : PartGroup(object) {
    std::snprintf(name, sizeof name, "%s", text ? text : "");
}

SubObjectPart::~SubObjectPart() = default;

bool SubObjectPart::NameMatches(const char* other) const {
    return other && strcasecmp(name, other) == 0;
}

void SubObjectPart::SetSubObjectMaterials(Material* array, uint32_t count) {
    subObjectMaterials = array;
    subObjectMaterialCount = array ? count : 0;
}

bool SubObjectPart::Render(bool alternate) {
    if (!built) return PartGroup::Render(alternate);
    glPushMatrix();
    glMultMatrixd(transform);
    const bool moved = PartGroup::Render(alternate);
    glPopMatrix();
    return moved;
}

bool SubObjectPart::HasSubObject(const char* other) const {
    return NameMatches(other) || PartGroup::HasSubObject(other);
}

void SubObjectPart::ReplaceSubObject(const char* other, BaseModel* subObject) {
    if (!NameMatches(other)) {
        PartGroup::ReplaceSubObject(other, subObject);
        return;
    }
    BaseControl* control = theControl();
    if (control) control->LockRender();
    if (subObject) {
        std::snprintf(subObjectURL, sizeof subObjectURL, "%s", subObject->GetURL());
        members.DeleteAll();
        subObject->CopyPartsInto(*this);
        ForEachMember(members, [&](BasePart& part) {
            part.SetOwner(owner);
            return false;
        });
        built = 1;
    } else {
        SetSubObjectMaterials(nullptr, 0);
    }
    if (control) control->UnlockRender();
}

Material* SubObjectPart::FindSubObjectMaterials(const char* other) {
    if (NameMatches(other)) return subObjectMaterials;
    return PartGroup::FindSubObjectMaterials(other);
}

void SubObjectPart::WriteSubObjectEntry(KeyDataList& list) {
    const KeyDataList* existing = list.GetSublist(name);
    if (existing && !existing->IsEmpty()) return;
    KeyDataList* entry = list.AddSublist(name);
    if (subObjectURL[0] == 0) return;
    entry->AddString("SubObjectURL", subObjectURL);
    KeyDataList* materials = entry->AddSublist("MaterialList");
    for (uint32_t i = 0; i < subObjectMaterialCount; ++i)
        subObjectMaterials[i].WriteKeyData(*materials);
    entry->AddDouble("MaterialCount", subObjectMaterialCount);
}
