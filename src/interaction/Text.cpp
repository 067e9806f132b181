#include "interaction/Text.h"

#include <GL/gl.h>
#include <GL/glu.h>
#include <strings.h>

#include <cmath>
#include <cstdio>
#include <vector>

#include "control/BaseControl.h"
#include "control/dialogs/TextPropertyDialog.h"
#include "foundation/KeyDataList.h"
#include "foundation/Trace.h"
#include "foundation/ViewState.h"
#include "interaction/TextEditor.h"
#include "platform/GLContext.h"
#include "platform/Menu.h"
#include "render/LightSource.h"
#include "render/OpenGL.h"
#include "render/TextPrintObject.h"
#include "render/Window.h"

namespace {

constexpr double kDegreesPerRadian = 57.29577951308;
constexpr uint32_t kReplacement = 0xFFFD;
constexpr uint32_t kLockedText = 246;

LinkedList& Fonts() {
    static LinkedList fonts;
    return fonts;
}

// The code points of UTF-8 text; a byte that starts no valid sequence stands for U+FFFD.
std::vector<uint32_t> CodePoints(const std::string& text) {
    std::vector<uint32_t> codes;
    const auto* s = reinterpret_cast<const unsigned char*>(text.data());
    const size_t n = text.size();
    for (size_t i = 0; i < n;) {
        const unsigned char c = s[i];
        int extra = 0;
        uint32_t code = c;
        if (c < 0x80) {
            extra = 0;
        } else if ((c & 0xE0) == 0xC0) {
            extra = 1;
            code = c & 0x1F;
        } else if ((c & 0xF0) == 0xE0) {
            extra = 2;
            code = c & 0x0F;
        } else if ((c & 0xF8) == 0xF0) {
            extra = 3;
            code = c & 0x07;
        } else {
            codes.push_back(kReplacement);
            ++i;
            continue;
        }
        bool valid = i + extra < n;
        for (int k = 1; valid && k <= extra; ++k) {
            if ((s[i + k] & 0xC0) != 0x80)
                valid = false;
            else
                code = (code << 6) | (s[i + k] & 0x3F);
        }
        if (!valid || code > 0x10FFFF) {
            codes.push_back(kReplacement);
            ++i;
            continue;
        }
        codes.push_back(code);
        i += static_cast<size_t>(extra) + 1;
    }
    return codes;
}

// `text` cut to at most `limit` bytes, ending at a whole character.
std::string CutUtf8(const char* text, size_t limit) {
    std::string out = text ? text : "";
    if (out.size() <= limit) return out;
    size_t end = limit;
    while (end > 0 && (static_cast<unsigned char>(out[end]) & 0xC0) == 0x80) --end;
    out.resize(end);
    return out;
}

Window* DrawnWindow() {
    BaseControl* control = theControl();
    return control ? control->currentWindow : nullptr;
}

bool GlobalFlag(int i) {
    BaseControl* control = theControl();
    return control && control->globalState.GetBoolean(i);
}

}  // namespace

// ---- Fonts ------------------------------------------------------------------------------

TextFont::TextFont(const std::string& face, int points) : face(face), points(points) {}

TextFont::~TextFont() {
    if (!platform::GLContext::IsAnyCurrent()) return;
    if (listBase) glDeleteLists(listBase, 128);
    for (const auto& [code, extra] : extras)
        if (extra.list) glDeleteLists(extra.list, 1);
    theTrace().Write("Font deletion");
}

bool TextFont::Build() {
    if (listBase) return true;
    return BuildOutlineFont(face.c_str(), points, &listBase, metrics) && listBase != 0;
}

bool TextFont::Measure(uint32_t code, platform::GlyphMetrics& out) const {
    if (code < 128) {
        out = metrics[code];
        return true;
    }
    auto found = extras.find(code);
    if (found == extras.end()) return false;
    out = found->second.metrics;
    return true;
}

bool TextFont::Glyph(uint32_t code, GLuint& list, platform::GlyphMetrics& out) {
    if (code < 128) {
        list = listBase + code;
        out = metrics[code];
        return listBase != 0;
    }
    auto found = extras.find(code);
    if (found == extras.end()) {
        // Other characters come from the same face, one list each.
        Extra extra{0, {}};
        if (platform::GLContext::IsAnyCurrent()) {
            if (!source) {
                const int pixels = platform::LogicalPixelsY() * points / 72;
                source = platform::Font::Create(face, pixels, 400, false);
            }
            if (source) {
                extra.list = glGenLists(1);
                if (extra.list && !source->UseOutlines(static_cast<int>(code), 1, extra.list, 0.0f,
                                                       0.2f, &extra.metrics)) {
                    glDeleteLists(extra.list, 1);
                    extra.list = 0;
                }
            }
        }
        if (!extra.list) return false;
        found = extras.emplace(code, extra).first;
    }
    list = found->second.list;
    out = found->second.metrics;
    return true;
}

TextFont* TextFont::Find(const std::string& face) {
    for (LinkedListObject* node = Fonts().GetHead(); node; node = node->GetNext()) {
        auto* font = static_cast<TextFont*>(node);
        if (strcasecmp(font->face.c_str(), face.c_str()) == 0) return font;
    }
    return nullptr;
}

void TextFont::Add(TextFont* font) {
    if (font) Fonts().Append(font);
}

void TextFont::DeleteAll() {
    Fonts().DeleteAll();
}

// ---- Text ---------------------------------------------------------------------------------

std::string Text::defaultFace = "Arial";
double Text::defaultHeight = 12.0;
double Text::defaultColour[3] = {0.0, 0.0, 0.0};

Text::Text(bool isUserDefined) : userDefined(isUserDefined ? 1 : 0) {
    height = defaultHeight;
    faceName = defaultFace;
    material.SetRGB(defaultColour[0], defaultColour[1], defaultColour[2]);
    material.alpha = 1.0;
    textSurface.material = &material;
    BaseControl* control = theControl();
    Window* active = control ? control->activeWindow : nullptr;
    visibleIn3D = userDefined && !(active && active->IsOrthographicView()) ? 1 : 0;
    ApplyState();
}

Text::~Text() {
    TextEditor::ForgetText(this);
    if (ownList && platform::GLContext::IsAnyCurrent()) glDeleteLists(ownList, 1);
}

void Text::ApplyState() {
    SetText(textState.GetString(0).c_str());
    depth = textState.GetInteger(0);
}

void Text::EnsureFont() {
    if (font || faceName.empty() || !platform::GLContext::IsAnyCurrent()) return;
    if (TextFont* shared = TextFont::Find(faceName)) {
        font = shared;
    } else {
        auto* made = new TextFont(faceName, static_cast<int>(height));
        if (made->Build()) {
            TextFont::Add(made);
            font = made;
        } else {
            delete made;
            theTrace().WriteFormat("Text: no font for face %s", faceName.c_str());
        }
    }
    Measure();
}

void Text::SetFont(const char* face) {
    if (!face || !face[0]) return;
    faceName = CutUtf8(face, kMaxFaceName);
    font = TextFont::Find(faceName);
    if (!font) {
        BaseControl* control = theControl();
        if (control) control->LockRender();
        Window* window = control ? control->activeWindow : nullptr;
        if (window && window->renderingContext) window->Activate();
        EnsureFont();
        if (control) control->UnlockRender();
    }
    Measure();
    compiledText.clear();
    MarkDirty();
}

void Text::SetText(const char* newText) {
    text = CutUtf8(newText, kMaxText);
    Measure();
    MarkDirty();
}

void Text::Measure() {
    width = 0.0;
    lineHeight = 0.0;
    if (!font) return;
    platform::GlyphMetrics m;
    double advance = 0.0;
    for (uint32_t code : CodePoints(text)) {
        // A character not built yet is measured by its own glyph once drawn; until then
        // it counts as wide as a blank.
        if (font->Measure(code, m) || font->Measure(' ', m)) advance += m.cellIncX;
    }
    width = height * advance;
    platform::GlyphMetrics g, f, e;
    font->Measure('g', g);
    font->Measure('f', f);
    font->Measure('e', e);
    lineHeight = height * (g.blackBoxY + f.blackBoxY - e.blackBoxY);
}

void Text::SetFontAndColour(const char* face, double newHeight, double r, double g, double b) {
    if (std::isfinite(newHeight) && newHeight > 0.0) height = newHeight;
    SetFont(face);
    material.SetRGB(r, g, b);
    material.alpha = 1.0;
}

void Text::ResetToDefaults() {
    SetFontAndColour(defaultFace.c_str(), defaultHeight, defaultColour[0], defaultColour[1],
                     defaultColour[2]);
}

void Text::ChangeFont() {
    if (IsLocked()) return;
    // The system offers no font chooser here: the text keeps its font.
    theTrace().Write("Text: no font dialog; the font stays");
}

// ---- Moving ----------------------------------------------------------------------------

void Text::Translate(const Vector& offset) {
    position.Add(offset);
    position.w = 1.0;
}

void Text::MoveBy(const Vector& offset) {
    OffsetPosition(offset);
}

void Text::OffsetPosition(const Vector& offset) {
    if (IsLocked()) return;
    MoveableObject::OffsetPosition(offset);
    FlagOverlappingLights();
}

void Text::SetPosition(const Vector& newPosition) {
    MoveableObject::SetPosition(newPosition);
    FlagOverlappingLights();
}

void Text::RotateAboutAxis(int axis, double degrees) {
    if (IsLocked()) return;
    RotatableObject::RotateAboutAxis(axis, degrees);
}

// ---- Menu and dialogs -------------------------------------------------------------------

bool Text::RemoveFromList(LinkedList& list) {
    if (!userDefined || IsLocked()) return false;
    return SelectableObject::RemoveFromList(list);
}

void Text::BuildPropertyMenu(platform::Menu& menu) {
    if (userDefined) {
        AppendMenuItems(menu);
        menu.AppendItem(kEditText, "Edit Text");
    }
    menu.AppendItem(kChangeFont, "Change Font");
    if (userDefined) {
        menu.AppendItem(kVisibleIn3D, "Visible In 3D", visibleIn3D != 0);
        if (visibleIn3D) BuildRotateMenu(menu);
    }
    menu.AppendSeparator();
}

bool Text::ProcessPropertyMenu(uint32_t id) {
    if (OnRotateCommand(id)) return true;
    if (SelectableObject::ProcessPropertyMenu(id)) return true;
    BaseControl* control = theControl();
    switch (id) {
        case 102:
            BeginUndoStep();
            ShowPropertyDialog();
            EndUndoStep();
            return true;
        case 104:
            if (!control) return true;
            control->LockRender();
            control->ReleaseHandles();
            if (RemoveFromList(control->scene)) {
                EndUndoStep();
                // The render thread destroys it; the step just recorded holds its keys.
                control->deletedObjects.Append(this);
            }
            control->UnlockRender();
            return true;
        case kChangeFont:
            ChangeFont();
            return true;
        case kVisibleIn3D:
            visibleIn3D = visibleIn3D ? 0 : 1;
            return true;
        case kEditText:
            return RunTextInput(this);
        default:
            return OnCommand(id);
    }
}

void Text::ShowPropertyDialog() {
    TextPropertyDialog dialog(this);
    dialog.SetThickness(depth * 0.2);
    dialog.SetNoTextEditing(!userDefined);
    dialog.Show();
}

int Text::OnDialogNotify(Dialog* dialog, int code) {
    switch (code) {
        case 1:
            if (auto* properties = dynamic_cast<TextPropertyDialog*>(dialog)) {
                depth = properties->thickness * 5.0;
                compiledText.clear();
                MarkDirty();
            }
            break;
        case 10:
            ChangeFont();
            RunTextInput(this);
            break;
        case 11:
            RunTextInput(this);
            break;
        default:
            break;
    }
    return 0;
}

// ---- Key data -------------------------------------------------------------------------

void Text::WriteKeyData() {
    delete element;
    element = new KeyDataSublist("Text");
    KeyDataList& keys = *element->GetChildren();
    keys.AddDouble("Locked", IsLocked() ? 1.0 : 0.0);
    position.WriteChild(keys, "position");
    keys.AddDouble("height", height);
    keys.AddDouble("depth", depth);
    keys.AddString("text", text.c_str());
    keys.AddDouble("userDefined", userDefined ? 1.0 : 0.0);
    position.WriteChild(keys, "Position");
    rotation.WriteKeyData(keys, "RotationMatrix");
    keys.AddDouble("visibleIn3D", visibleIn3D ? 1.0 : 0.0);
    textSurface.SaveMaterial(keys, "textSurface");
    keys.AddDouble("transactionObjectId", GetObjectId());
    keys.AddString("fontFaceName", faceName.c_str());
}

bool Text::ReadKeyData(KeyDataList& keys) {
    for (const BaseKeyDataElement* m = keys.GetFirstMember(); m; m = m->GetNextMember())
        if (!m->IsElement() && m->Name() == "position")
            position.Read(*static_cast<const KeyDataSublist*>(m)->GetChildren());
    double value = 0.0;
    if (ReadFiniteDouble(keys, "height", value) && value > 0.0) height = value;
    ReadFiniteDouble(keys, "depth", depth);
    bool flag = false;
    if (keys.GetBool("Locked", flag)) SetLocked(flag);
    if (keys.GetBool("visibleIn3D", flag)) visibleIn3D = flag ? 1 : 0;
    if (const char* face = keys.GetString("fontFaceName"); face && face[0]) SetFont(face);
    if (keys.GetDouble("transactionObjectId", value)) {
        if (std::isfinite(value) && value >= 0.0 && value < static_cast<double>(kNoTransactionId))
            SetObjectId(static_cast<TransactionId>(value));
        else
            TraceWrite("Text: transaction id out of range");
    }
    if (const char* stored = keys.GetString("text")) SetText(stored);
    Measure();
    if (keys.GetBool("userDefined", flag)) userDefined = flag ? 1 : 0;
    // "Position" differs from "position" only in case, which lookups ignore: it is the
    // sublist of that exact name, and it wins.
    for (const BaseKeyDataElement* m = keys.GetFirstMember(); m; m = m->GetNextMember())
        if (!m->IsElement() && m->Name() == "Position")
            position.Read(*static_cast<const KeyDataSublist*>(m)->GetChildren());
    position.w = 1.0;
    const KeyDataList* matrix = keys.GetSublist("RotationMatrix");
    if (!matrix->IsEmpty()) rotation.ReadKeyData(*matrix);
    const KeyDataList* surface = keys.GetSublist("textSurface");
    if (!surface->IsEmpty()) textSurface.Load(*const_cast<KeyDataList*>(surface));
    compiledText.clear();
    MarkDirty();
    return true;
}

// ---- Drawing --------------------------------------------------------------------------

void Text::Render() {
    BaseControl* control = theControl();
    Window* window = DrawnWindow();
    if (!control || !window) return;
    const bool plan = window->IsOrthographicView();
    EnsureFont();
    glPushMatrix();
    if (control->printing && plan && control->globalState.GetBoolean(29) &&
        (!userDefined || !visibleIn3D)) {
        auto* item = new TextPrintObject;
        item->faceName = faceName;
        item->height = static_cast<int>(height);
        item->text = text;
        item->notUserDefined = !userDefined;
        if (userDefined) {
            glTranslated(position.x, position.y, position.z);
            glMultMatrixd(rotation.m);
        }
        double m[16];
        glGetDoublev(GL_MODELVIEW_MATRIX, m);
        item->start = Vector(m[12], m[13], m[14]);
        item->end = Vector(m[12] + m[0], m[13] + m[1], m[14] + m[2]);
        item->colour = Vector(material.red, material.green, material.blue);
        control->textPrintItems.Append(item);
        glPopMatrix();
        return;
    }
    if (userDefined) {
        if (!plan && !visibleIn3D) {
            glPopMatrix();
            return;
        }
        glLoadName(GetPickName());
        glTranslated(position.x, position.y, position.z);
        glMultMatrixd(rotation.m);
        RenderRotationHandle();
    } else {
        glPushName(GetPickName());
        glDisable(GL_TEXTURE_2D);
    }
    glPushAttrib(GL_ENABLE_BIT | GL_TEXTURE_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT |
                 GL_POLYGON_BIT | GL_CURRENT_BIT | GL_COLOR_BUFFER_BIT);
    glDepthFunc(GL_LEQUAL);
    glFrontFace(GL_CW);
    if (!plan) {
        SetStencilForSelection();
        glEnable(GL_NORMALIZE);
    }
    if (!visibleIn3D && plan) {
        // A plan label turns with the view.
        const Vector v = window->UnprojectViewCenter();
        if (window->GetViewMode() == Window::kBlueprintView) {
            double a = std::atan2(v.z, v.y) * kDegreesPerRadian;
            if (v.y >= 0.0) a = -a;
            glRotated(a, v.y, -v.x, 0.0);
        } else {
            if (std::fabs(1.0 - std::fabs(v.y)) > 0.001)
                glRotated(std::atan2(-v.x, v.z) * kDegreesPerRadian, 0.0, -1.0, 0.0);
            else
                glRotated(90.0, 1.0, 0.0, 0.0);
            double mv[16], pr[16];
            GLint vp[4];
            glGetDoublev(GL_MODELVIEW_MATRIX, mv);
            glGetDoublev(GL_PROJECTION_MATRIX, pr);
            glGetIntegerv(GL_VIEWPORT, vp);
            double x0, y0, z0, x1, y1, z1;
            if (gluUnProject(0, 0, 0.5, mv, pr, vp, &x0, &y0, &z0) &&
                gluUnProject(0, 1, 0.5, mv, pr, vp, &x1, &y1, &z1) && y1 < y0 - 0.01)
                glRotated(180.0, 1.0, 0.0, 0.0);
        }
    }
    if ((highlighted || IsSelected()) && !control->globalState.GetBoolean(15)) RenderFrame(plan);
    if (!plan) {
        glTexGeni(GL_S, GL_TEXTURE_GEN_MODE, GL_OBJECT_LINEAR);
        glTexGeni(GL_T, GL_TEXTURE_GEN_MODE, GL_OBJECT_LINEAR);
        glTexGeni(GL_R, GL_TEXTURE_GEN_MODE, GL_OBJECT_LINEAR);
        if (control->globalState.GetBoolean(17) && window->currentLight)
            window->currentLight->EndTexCoordGen();
    }
    RenderCharacters(plan);
    glDisable(GL_NORMALIZE);
    glPopAttrib();
    if (!userDefined) glPopName();
    glPopMatrix();
}

void Text::RenderCharacters(bool plan) {
    (void)plan;
    if (!font) return;
    std::string shown = text;
    if (caretShown && !GlobalFlag(15)) shown += "|";
    const std::vector<uint32_t> codes = CodePoints(shown);
    // Every glyph exists before a list is compiled: making one inside would nest lists.
    struct Call {
        GLuint list;
    };
    std::vector<Call> calls;
    calls.reserve(codes.size());
    platform::GlyphMetrics m;
    for (uint32_t code : codes) {
        GLuint list = 0;
        if (font->Glyph(code, list, m) || font->Glyph(' ', list, m)) calls.push_back({list});
    }
    if (calls.size() != codes.size() || shown != text) Measure();
    glColor3d(0.0, 0.0, 0.0);
    const bool blended = material.alpha < 1.0;
    if (blended) {
        glEnable(GL_BLEND);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    }
    if (!GlobalFlag(8)) glColor4d(material.red, material.green, material.blue, material.alpha);
    glScaled(height, height, depth);
    // A pick needs only the label's surface: the glyphs are not drawn into the selection
    // buffer (the software renderer cannot run glyph lists while it selects).
    GLint renderMode = GL_RENDER;
    glGetIntegerv(GL_RENDER_MODE, &renderMode);
    const bool picking = renderMode == GL_SELECT;
    auto draw = [&] {
        if (picking) return;
        for (const Call& call : calls) glCallList(call.list);
    };
    if (userDefined) {
        if (!ownList) ownList = glGenLists(1);
        if (ownList && (compiledText != shown || NeedsRebuild())) {
            glNewList(ownList, GL_COMPILE);
            draw();
            glEndList();
            compiledText = shown;
            rebuild = 0;
        }
        const Vector granularity = material.granularity;
        material.granularity.x = granularity.x / height;
        material.granularity.y = granularity.y / height;
        textSurface.Render(false);
        material.granularity = granularity;
        if (ownList)
            glCallList(ownList);
        else
            draw();
    } else {
        textSurface.Render(false);
        draw();
    }
}

void Text::RenderFrame(bool plan) {
    BaseControl* control = theControl();
    Window* window = DrawnWindow();
    if (!control || !window) return;
    if (IsLocked()) {
        window->statusBar1.SetText(control->LoadResourceString(kLockedText).c_str(), false);
        return;
    }
    double margin = 0.0;
    platform::GlyphMetrics blank;
    if (userDefined && font && font->Measure(' ', blank)) margin = blank.cellIncX * height;
    const double low = -0.3 * lineHeight;
    const double high = 0.9 * lineHeight;
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    if (IsSelected()) {
        const double back = height != 0.0 ? -2.0 * depth / height : 0.0;
        glColor4d(1.0, 0.0, 0.0, 0.5);
        glPushName(control->liftHandle.GetPickName());
        for (double x : {-margin, width + margin})
            for (double y : {low, high})
                for (double z : {back, 0.0}) {
                    glPushMatrix();
                    glTranslated(x, y, z);
                    control->DrawMarker((high - low) / 3.0);
                    glPopMatrix();
                }
        glPopName();
    }
    if (highlighted) {
        if (userDefined && visibleIn3D) glDisable(GL_CULL_FACE);
        if (window->GetViewMode() == Window::kElevationView) {
            glColor4ub(frameColour[0], frameColour[1], frameColour[2], 127);
        } else {
            const Vector c = control->globalState.GetVector(0);
            glColor4d(c.x, c.y, c.z, 0.5);
        }
        glPushName(textSurface.GetPickName());
        const double z = userDefined ? -1.0 : 0.0;
        glBegin(GL_QUADS);
        glVertex3d(-margin, low, z);
        glVertex3d(width + margin, low, z);
        glVertex3d(width + margin, high, z);
        glVertex3d(-margin, high, z);
        glEnd();
        glPopName();
    }
    glDisable(GL_BLEND);
    (void)plan;
}

void Text::RenderRotationHandle() {
    BaseControl* control = theControl();
    Window* window = DrawnWindow();
    if (!control || !window || IsLocked() || GlobalFlag(15) || !IsSelected() ||
        window->GetViewMode() == Window::kBlueprintView)
        return;
    glPushAttrib(GL_ENABLE_BIT | GL_CURRENT_BIT | GL_COLOR_BUFFER_BIT);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glDisable(GL_ALPHA_TEST);
    glColor4d(1.0, 0.0, 1.0, 0.2);
    glPushName(GetHandle(1).GetPickName());
    glPushMatrix();
    glTranslated(width / 2.0, lineHeight + 5.0, 0.0);
    control->DrawSelectionSphere(5.0);
    glPopMatrix();
    glPopName();
    glPopAttrib();
}
