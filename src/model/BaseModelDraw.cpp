#include <GL/gl.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <new>
#include <string>

#include "control/BaseControl.h"
#include "control/LengthFormat.h"
#include "foundation/KeyDataList.h"
#include "foundation/SerializableObject.h"
#include "foundation/Trace.h"
#include "foundation/ViewState.h"
#include "model/BaseModel.h"
#include "model/Part.h"
#include "render/BlueprintIcon.h"
#include "model/SceneView.h"
#include "platform/Clock.h"
#include "platform/Menu.h"
#include "render/Material.h"
#include "render/Window.h"

namespace {

constexpr int kBlueprintMode = 1;
constexpr double kSkyTurnPerTick = 2e-8;
constexpr double kDragThresholdSquared = 100.0;
constexpr double kMaxDragStep = 10.0;
constexpr double kScalePerPixel = 0.01;

// The sky's angle, kept from frame to frame (degrees).
std::atomic<double> skyAngle{0.0};

bool NearOne(double v) {
    return v >= 0.999 && v <= 1.001;
}

Vector Direction(const Vector& from, const Vector& to) {
    Vector d = to;
    d.Subtract(from);
    d.w = 1.0;
    d.Normalize();
    return d;
}

double Length(Vector v) {
    v.w = 1.0;
    return v.Length();
}

Vector Sum(const Vector& a, const Vector& b, double sign) {
    return Vector(a.x + sign * b.x, a.y + sign * b.y, a.z + sign * b.z);
}

SceneView* DrawnView(BaseControl& control) {
    SceneView* view = control.GetCurrentView();
    return view ? view : control.GetActiveView();
}

template <typename F>
void ForEachTopPart(LinkedList& parts, F&& f) {
    LinkedListIterator it(parts);
    it.LockList();
    for (LinkedListObject* node = it.First(); !it.IsDone(); node = it.Next())
        if (auto* part = dynamic_cast<BasePart*>(node)) f(*part);
    it.UnlockList();
}

}  // namespace

void BaseModel::DrawBlueprintIcon() {
    if (!blueprintIcon) blueprintIcon = new (std::nothrow) BlueprintIcon(blueprintIconURL, this);
    if (blueprintIcon) blueprintIcon->Draw();
}

void BaseModel::Render() {
    animating = 0;
    BaseControl* control = theControl();
    SceneView* view = control ? DrawnView(*control) : nullptr;
    RenderState* state = view ? &view->GetRenderState() : nullptr;
    const bool transparentPass = state && state->GetBoolean(9);
    const int mode = state ? state->GetInteger(0) : 0;
    const bool iconsHidden = state && (state->GetInt64(0) & TypeBit::kBlueprintIcon);
    const bool hasIcon = blueprintIconURL[0] != 0;

    // In the blueprint view a model with an icon shows the icon only, in its own pass.
    if (state && !state->GetBoolean(12) && mode == kBlueprintMode && hasIcon && !iconsHidden &&
        !transparentPass)
        return;
    if (!hasTransparentParts && transparentPass) return;
    if (!transparentPass && view &&
        (viewFlags & (1u << (static_cast<unsigned>(view->GetViewId()) & 31u))))
        return;

    const bool wasDrawing = state && state->GetBoolean(8);
    if (state) state->SetBoolean(8, true);
    glPushAttrib(GL_ENABLE_BIT);
    if (noBackFaceCulling) glDisable(GL_CULL_FACE);
    glPushMatrix();

    const bool isSky = control && control->sky &&
                       static_cast<const void*>(control->sky) == dynamic_cast<const void*>(this);
    if (isSky) {
        if (!control->antialiasInProgress)
            skyAngle = control->globalState.GetDouble(14) *
                       static_cast<double>(platform::QueryCounter()) * kSkyTurnPerTick;
        const double angle = skyAngle.load();
        glRotated(angle, 0.0, 1.0, 0.0);
        ForEachTopPart(children, [](BasePart& part) { part.Render(false); });
        glRotated(-angle, 0.0, 1.0, 0.0);
    } else {
        GLint face = GL_CCW;
        if (reverseDirection) {
            const double mid = (box.min.x + box.max.x) * 0.5;
            glTranslated(mid, 0.0, 0.0);
            glGetIntegerv(GL_FRONT_FACE, &face);
            glFrontFace(face == GL_CW ? GL_CCW : GL_CW);
            glScaled(-1.0, 1.0, 1.0);
            glTranslated(-mid, 0.0, 0.0);
        }
        if (hasIcon && mode == kBlueprintMode && !iconsHidden) DrawBlueprintIcon();
        glScaled(scale.x, scale.y, scale.z);
        ForEachTopPart(children, [&](BasePart& part) {
            if (part.Render(false)) animating = 1;
        });
        if (reverseDirection) glFrontFace(face);
    }

    glPopMatrix();
    glPopAttrib();
    if (state) state->SetBoolean(8, wasDrawing);
    theTrace().WriteStep("After part list traversal");
    if (animating && control && !control->globalState.GetBoolean(15) &&
        !control->globalState.GetBoolean(16) && !control->globalState.GetBoolean(17)) {
        if (control->globalState.GetBoolean(13)) FlagOverlappingLights();
        animating = 0;
    }
}

std::string BaseModel::TitleText() const {
    BaseControl* control = theControl();
    auto text = [control](uint32_t id) { return control ? control->LoadResourceString(id) : ""; };
    std::string title = text(296) + FormatLength(GetSizeZ(), false, 6) + "   " + text(252) +
                        FormatLength(GetSizeY(), false, 6) + "   " + text(297) +
                        FormatLength(GetSizeX(), false, 6);
    if (information) {
        const char* name = information->GetString("title");
        if (name && *name) title += std::string("  - ") + name;
    }
    return title;
}

void BaseModel::UpdateTitle() {
    if (!loaded) return;
    if (BaseControl* control = theControl()) control->ShowObjectStatus(TitleText().c_str());
}

void BaseModel::DragResize(const Vector& start, Vector& previous, const Vector& current,
                           int& axisChoice, bool vertical) {
    BaseControl* control = theControl();
    Window* window = control ? control->activeWindow : nullptr;
    if (!window) return;
    DragResize(start, previous, current, axisChoice, vertical,
               [window](double x, double y, const Vector& point, const Vector& normal) {
                   return window->ScreenToPlane(x, y, point, normal);
               });
}

void BaseModel::DragResize(const Vector& start, Vector& previous, const Vector& current,
                           int& axisChoice, bool vertical, const PlaneProjection& project) {
    Vector c[8];
    const Vector* corners = GetCorners();
    std::copy(corners, corners + 8, c);
    const Vector& k = vertical ? c[3] : c[2];
    const Vector a = Direction(k, c[4]);
    const Vector depthEdge = Direction(k, c[0]);
    const Vector widthEdge = Direction(c[5], c[0]);
    // A window point on the drag plane; false when the ray misses it.
    auto onPlane = [&](const Vector& p, Vector& out) {
        out = project(p.x, p.y, c[0], a);
        return !Window::IsNoIntersection(out);
    };
    Vector from, to;
    if (!onPlane(start, from)) return;

    if (axisChoice == 0) {
        const double dx = current.x - start.x;
        const double dy = current.y - start.y;
        if (dx * dx + dy * dy <= kDragThresholdSquared) return;
        if (!onPlane(current, to)) return;
        const Vector d = Direction(from, to);
        const double towardDepth =
            std::min(Length(Sum(d, depthEdge, 1)), Length(Sum(d, depthEdge, -1)));
        const double towardWidth =
            std::min(Length(Sum(d, widthEdge, 1)), Length(Sum(d, widthEdge, -1)));
        axisChoice = towardWidth <= towardDepth ? 1 : 3;
        previous = current;
    }

    if (!onPlane(previous, to)) return;
    const Vector d = Direction(from, to);
    double step = std::min(std::hypot(previous.x - start.x, previous.y - start.y), kMaxDragStep);
    const Vector& edge = axisChoice == 3 ? depthEdge : widthEdge;
    if (Length(Sum(d, edge, -1)) > Length(Sum(d, edge, 1))) step = -step;
    const double factor = 1.0 + kScalePerPixel * step;
    if (axisChoice == 3) {
        if (vertical)
            scale.y *= factor;
        else
            scale.z *= factor;
    } else if (axisChoice == 1) {
        scale.x *= factor;
    }
    Refresh();
    if (!HasType(TypeBit::kLight)) FlagOverlappingLights();
}

bool BaseModel::HasOriginalSize() const {
    return NearOne(scale.x) && NearOne(scale.y) && NearOne(scale.z);
}

void BaseModel::WriteModelXml(std::string& buffer, double height) {
    buffer += "<model url=\"";
    AppendXmlEscaped(buffer, url);
    char number[64];
    std::snprintf(number, sizeof number, "%f", height);
    buffer += "\" height=\"";
    buffer += number;
    buffer += HasOriginalSize() ? "\" resized=\"y\">" : "\" resized=\"n\">";
    WriteObjectInformationXml(buffer, information);
    // The material areas are not measured for models.
    for (uint32_t i = 0; materials && i < materialCount; ++i) {
        if (!materials[i].isExportable) continue;
        char tag[32];
        std::snprintf(tag, sizeof tag, "Material%u", i);
        materials[i].WriteXML(buffer, tag, false, 0.0);
    }
    buffer += "</model>";
}

void BaseModel::BuildPropertyMenu(platform::Menu& menu) {
    using namespace BaseModelMenuCommand;
    menu.AppendItem(kReverseDirection, "Reverse Object Direction");
    menu.AppendItem(kRestoreOriginalSize, "Restore Original Size", false, HasOriginalSize());
    BaseControl* control = theControl();
    SceneView* view = control ? control->GetActiveView() : nullptr;
    if (view && view->GetRenderState().GetInteger(0) == kBlueprintMode)
        menu.AppendItem(kToggleOpenInBlueprint,
                        openInBlueprint ? "Show As Closed" : "Show As Open");
}

bool BaseModel::ProcessPropertyMenu(uint32_t id) {
    using namespace BaseModelMenuCommand;
    BaseControl* control = theControl();
    switch (id) {
        case kObjectWebPage: {
            if (HasType(TypeBit::kLight) || !control) return false;
            std::string page;
            if (information) {
                const char* product = information->GetString("productURL");
                const char* object = information->GetString("objectURL");
                const char* name = information->GetString("name");
                if (product && *product)
                    page = product;
                else if (object && *object)
                    page = object;
                else if (name && *name)
                    page = std::string("name='") + name + "'";
            }
            control->globalState.SetString(3, page.c_str());
            control->PostHostMessage(kShowObjectPage);
            return true;
        }
        case kRestoreOriginalSize:
            BeginUndoStep();
            scale.Set(1.0, 1.0, 1.0, 1.0);
            // The world box follows the scale.
            Refresh();
            FlagOverlappingLights();
            MarkDirty();
            EndUndoStep();
            return true;
        case kToggleOpenInBlueprint:
            BeginUndoStep();
            SetOpenInBlueprint(!openInBlueprint);
            EndUndoStep();
            return true;
        case kReverseDirection:
            reverseDirection = !reverseDirection;
            return false;
        default:
            return SizeableObject::ProcessPropertyMenu(id);
    }
}
