#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/Messages.h"
#include "platform/Window.h"

namespace platform {

// Dialog boxes as models: a caption and a list of controls, each found by its id, with
// its text, states, entries and position. Code fills and reads them; the user's part
// is played through the action members (Click, Type, Focus ...), which change the
// controls as the display would and hand the resulting notification to the box's
// procedure. Without a display that is all a dialog is; the display implementation
// shows the same model.

// Notification codes in the high word of WM_COMMAND's wParam (the control id is the
// low word).
inline constexpr unsigned BN_CLICKED = 0;
inline constexpr unsigned BN_DOUBLECLICKED = 5;
inline constexpr unsigned EN_SETFOCUS = 0x0100;
inline constexpr unsigned EN_KILLFOCUS = 0x0200;
inline constexpr unsigned EN_CHANGE = 0x0300;
inline constexpr unsigned CBN_SELCHANGE = 1;
// WM_NOTIFY of a tab control whose selection changed; lParam points to a NotifyHeader.
inline constexpr int TCN_SELCHANGE = -551;
// Scroll codes of WM_HSCROLL (low word of wParam; the high word holds the position for
// the two thumb codes); lParam holds the slider's control id.
inline constexpr unsigned SB_THUMBPOSITION = 4;
inline constexpr unsigned SB_THUMBTRACK = 5;
inline constexpr unsigned SB_ENDSCROLL = 8;

inline constexpr WParam MakeWParam(unsigned low, unsigned high) {
    return static_cast<WParam>((high & 0xFFFF) << 16 | (low & 0xFFFF));
}

struct NotifyHeader {
    uint32_t id = 0;
    int code = 0;
};

enum class ControlKind {
    Static,
    Picture,
    Group,
    Button,
    CheckBox,
    RadioButton,
    Edit,
    DropList,
    Slider,
    Tabs
};

struct DialogControl {
    uint32_t id = 0;
    ControlKind kind = ControlKind::Static;
    std::string text;
    Rect rect;  // in the dialog's client coordinates
    bool enabled = true;
    bool visible = true;
    bool checked = false;
    // Radio buttons with the same group number exclude each other (0: a group of one).
    int group = 0;
    // Entries of a drop-down list (kept sorted as text when `sorted`) or tab titles.
    std::vector<std::string> items;
    bool sorted = false;
    int selection = -1;
    // Slider position and range.
    int position = 0;
    int rangeMin = 0;
    int rangeMax = 100;
    // Picture shown on a button (a bitmap resource id, 0 for none).
    uint32_t bitmap = 0;
    // The whole text is selected (an edit that got the focus).
    bool textSelected = false;
};

// What the box drew: a bitmap (with its mask, 0 for none) or a filled rectangle.
struct DialogPaint {
    int x = 0;
    int y = 0;
    uint32_t bitmap = 0;
    uint32_t mask = 0;
    Rect rect;
    uint32_t colour = 0;  // 0x00BBGGRR for a fill
    bool fill = false;
};

class DialogBox {
public:
    using Procedure = std::function<LResult(uint32_t message, WParam wParam, LParam lParam)>;

    DialogBox() = default;
    DialogBox(const DialogBox&) = delete;
    DialogBox& operator=(const DialogBox&) = delete;

    // --- the template -------------------------------------------------------------
    void SetCaption(std::string text) { caption_ = std::move(text); }
    const std::string& GetCaption() const { return caption_; }
    // Adds a control (a second control with the same id replaces nothing: lookups find
    // the first).
    DialogControl& Add(ControlKind kind, uint32_t id, std::string text = {}, Rect rect = {});
    DialogControl* Find(uint32_t id);
    const DialogControl* Find(uint32_t id) const;
    const std::vector<DialogControl>& Controls() const { return controls_; }

    // --- what code does to the controls (no notification) ------------------------------
    bool SetText(uint32_t id, const std::string& text);
    // Empty for a control the box does not have.
    std::string GetText(uint32_t id) const;
    bool Enable(uint32_t id, bool enable);
    bool IsEnabled(uint32_t id) const;
    bool Show(uint32_t id, bool show);
    bool IsVisible(uint32_t id) const;
    // Checking a radio button clears the others of its group.
    bool Check(uint32_t id, bool checked);
    bool IsChecked(uint32_t id) const;
    // Appends an entry (in text order for a sorted list); answers its index or -1.
    int AddItem(uint32_t id, const std::string& text);
    // -1 clears the selection; an index past the entries is refused.
    bool Select(uint32_t id, int index);
    int GetSelection(uint32_t id) const;
    // The selected entry's text; empty when nothing is selected.
    std::string GetSelectedText(uint32_t id) const;
    // Kept within the slider's range.
    bool SetPosition(uint32_t id, int position);
    int GetPosition(uint32_t id) const;
    // Paint records, oldest first.
    void Paint(const DialogPaint& paint) { paints_.push_back(paint); }
    const std::vector<DialogPaint>& Paints() const { return paints_; }
    void ClearPaints() { paints_.clear(); }
    // The control that has the focus (0 for none).
    uint32_t GetFocus() const { return focus_; }

    // --- the procedure and the end of a modal run --------------------------------------
    void SetProcedure(Procedure procedure) { procedure_ = std::move(procedure); }
    LResult Send(uint32_t message, WParam wParam = 0, LParam lParam = 0);
    // Ends the modal run with `code`.
    void End(int code);
    bool IsEnded() const { return ended_; }
    int GetEndCode() const { return endCode_; }

    // --- the user's part -------------------------------------------------------------
    // Moves the focus: an edit losing it reports EN_KILLFOCUS, an edit getting it
    // EN_SETFOCUS. A control that is missing, hidden or disabled cannot take it; 0 takes
    // the focus away from the box (to another window).
    bool Focus(uint32_t id);
    // Clicks a button, check box or radio button (which changes its check as the display
    // would) and reports BN_CLICKED. Refused for missing, hidden or disabled controls.
    bool Click(uint32_t id);
    // Focuses an edit, replaces its text and reports EN_CHANGE.
    bool Type(uint32_t id, const std::string& text);
    // Chooses an entry of a drop-down list and reports CBN_SELCHANGE.
    bool Choose(uint32_t id, int index);
    // Drags a slider's thumb to a position (SB_THUMBTRACK, then SB_THUMBPOSITION).
    bool Slide(uint32_t id, int position);
    // Chooses a tab and reports TCN_SELCHANGE.
    bool ChooseTab(uint32_t id, int index);
    // A mouse message (button down, up, double-click, move) at a client point.
    LResult Mouse(uint32_t message, int x, int y);
    // Enter presses the default button (OK), Escape cancels.
    LResult PressEnter() { return Command(1, BN_CLICKED); }
    LResult PressEscape() { return Command(2, BN_CLICKED); }

private:
    DialogControl* Usable(uint32_t id);
    LResult Command(uint32_t id, unsigned code) {
        return Send(WM_COMMAND, MakeWParam(id, code), 0);
    }

    std::string caption_;
    std::vector<DialogControl> controls_;
    std::vector<DialogPaint> paints_;
    uint32_t focus_ = 0;
    Procedure procedure_;
    bool ended_ = false;
    int endCode_ = 0;
};

// Shows the box modally on the display, driven by its procedure, until it ends; answers
// its end code. Without a display a box cannot be shown: -1, and the box is left as it
// was (its caller answers for the user).
int RunDialogBox(DialogBox& box);

}  // namespace platform
