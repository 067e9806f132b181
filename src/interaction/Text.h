#pragma once

#include <GL/gl.h>

#include <cstdint>
#include <map>
#include <string>

#include "control/dialogs/DialogOwner.h"
#include "foundation/LinkedList.h"
#include "foundation/TextState.h"
#include "foundation/UndoableObject.h"
#include "model/MoveableObject.h"
#include "model/ObjectTypes.h"
#include "model/Part.h"
#include "model/RotatableObject.h"
#include "model/StateObject.h"
#include "model/TopLevelObject.h"
#include "platform/GLFont.h"
#include "render/Material.h"

// An outline font shared by every text of one face: display lists of the characters
// 0..127 made at once, and of any other character the first time a text shows it, each
// with its glyph measures. Fonts live in one process-wide list until the control ends.
class TextFont : public LinkedListObject {
public:
    TextFont(const std::string& face, int points);
    // Deletes the lists (with a context current).
    ~TextFont() override;
    // Builds the lists of 0..127 in the current context; false when the face gave none.
    bool Build();
    // The list and measures of a character; built on first use for characters above 127
    // (with a context current, outside a list being compiled). False when it has none.
    bool Glyph(uint32_t code, GLuint& list, platform::GlyphMetrics& metrics);
    // Measures only; no lists are made. False for a character not built yet.
    bool Measure(uint32_t code, platform::GlyphMetrics& metrics) const;
    const std::string& GetFace() const { return face; }
    GLuint GetListBase() const { return listBase; }

    // The font of that face (any letter case) in the list, or null.
    static TextFont* Find(const std::string& face);
    // Adds a built font to the list, which owns it.
    static void Add(TextFont* font);
    // Deletes every font (with a context current).
    static void DeleteAll();

private:
    std::string face;
    int points;
    GLuint listBase = 0;
    platform::GlyphMetrics metrics[128] = {};
    std::unique_ptr<platform::Font> source;
    struct Extra {
        GLuint list;
        platform::GlyphMetrics metrics;
    };
    std::map<uint32_t, Extra> extras;
};

// A line of text drawn with an outline font: a plain label of the plan views that turns
// with the view, or a text the user placed, with a position and rotation of its own,
// which may show in 3D views too. The text is UTF-8.
class Text : public UndoableObject,
             public TopLevelObject,
             public RotatableObject,
             public MoveableObject,
             public StateObject,
             public DialogOwner {
public:
    // Most bytes of text kept.
    static constexpr size_t kMaxText = 510;
    static constexpr size_t kMaxFaceName = 63;
    static constexpr uint32_t kChangeFont = 1400;
    static constexpr uint32_t kVisibleIn3D = 1401;
    static constexpr uint32_t kEditText = 1402;

    explicit Text(bool userDefined);
    ~Text() override;

    uint64_t GetTypeMask() const override { return TypeMask::kTextObject; }
    int GetKindCode() const override { return KindCode::kText; }
    uint64_t GetStateTypeMask() const override { return TypeMask::kTextObject; }
    bool IsLocked() const override { return TopLevelObject::IsLocked(); }
    BaseParameterState* GetState() override { return &textState; }
    // The text from string 0 of the state, the depth from its integer 0.
    void ApplyState() override;

    void Render() override;
    void Translate(const Vector& offset) override;
    void MoveBy(const Vector& offset) override;
    // Refused while locked.
    void OffsetPosition(const Vector& offset) override;
    void SetPosition(const Vector& newPosition) override;
    void RotateAboutAxis(int axis, double degrees) override;
    Vector OffsetReference() const override { return position; }

    // Only an unlocked user-defined text leaves a list.
    bool RemoveFromList(LinkedList& list) override;
    void BuildPropertyMenu(platform::Menu& menu) override;
    bool ProcessPropertyMenu(uint32_t id) override;
    void ShowPropertyDialog() override;
    int OnDialogNotify(Dialog* dialog, int code) override;

    void WriteKeyData() override;
    bool ReadKeyData(KeyDataList& keys) override;

    // The face's shared font, made (under the render lock, in the current view's
    // context) when no text has it yet. Without a context the face is kept and the font
    // is made at the first drawing.
    void SetFont(const char* face);
    // Copies (at most kMaxText bytes, cut at a whole character) and measures again.
    void SetText(const char* text);
    void SetFontAndColour(const char* face, double height, double r, double g, double b);
    void ResetToDefaults();
    // The font dialog; a locked text keeps its font.
    void ChangeFont();

    const std::string& GetText() const { return text; }
    const std::string& GetFaceName() const { return faceName; }
    double GetHeight() const { return height; }
    void SetHeight(double value) { height = value; }
    double GetDepth() const { return depth; }
    double GetWidth() const { return width; }
    double GetLineHeight() const { return lineHeight; }
    bool IsUserDefined() const { return userDefined != 0; }
    bool IsVisibleIn3D() const { return visibleIn3D != 0; }
    void SetVisibleIn3D(bool flag) { visibleIn3D = flag ? 1 : 0; }
    void SetCaretShown(bool flag) { caretShown = flag ? 1 : 0; }
    void SetHighlighted(bool flag) { highlighted = flag ? 1 : 0; }
    void SetDimensionLabel(bool flag) { dimensionLabel = flag ? 1 : 0; }
    Material& GetMaterial() { return material; }
    // The width and line height from the font's measures.
    void Measure();

    // Defaults of new texts: face, height and colour.
    static std::string defaultFace;
    static double defaultHeight;
    static double defaultColour[3];

private:
    void RenderCharacters(bool plan);
    void RenderFrame(bool plan);
    void RenderRotationHandle();
    // Makes the font when a context is current and it is still missing.
    void EnsureFont();

    std::string text;
    double height = 12.0;
    double depth = 1.0;
    std::string faceName = "Arial";
    TextFont* font = nullptr;
    double width = 0.0;
    double lineHeight = 0.0;
    uint8_t userDefined = 0;
    uint8_t visibleIn3D = 0;
    uint8_t caretShown = 0;
    uint8_t highlighted = 0;
    uint8_t dimensionLabel = 0;
    uint8_t frameColour[3] = {192, 192, 192};
    TextState textState;
    Material material;
    Part textSurface{this};
    GLuint ownList = 0;
    // The characters the own list holds.
    std::string compiledText;
};
