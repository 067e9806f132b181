// Menus, message boxes, file dialogs and dialog boxes shown with GTK. Each runs modally
// in the layer's own modal loop on the UI thread, so that posted and sent messages and
// timers go on meanwhile; a call from another thread is handed to the UI thread and
// waits for the answer.

#include <algorithm>
#include <functional>
#include <future>
#include <memory>
#include <string>
#include <vector>

#include "../Display.h"
#include "GtkInternal.h"
#include "platform/DialogBox.h"
#include "platform/FileDialog.h"
#include "platform/Menu.h"
#include "platform/MessageBox.h"
#include "platform/Window.h"

namespace platform::display {
namespace {

// Runs `body` on the UI thread and answers its result, waiting for it from elsewhere.
template <class T>
T OnUi(const std::function<T()>& body) {
    if (OnUiThread()) return body();
    T result{};
    RunOnUiAndWait([&] { result = body(); });
    return result;
}

// Ends `loop` once the current event is fully handled (a menu reports its item after
// it was dismissed).
void EndSoon(ModalLoop* loop, int code) {
    struct End {
        ModalLoop* loop;
        int code;
    };
    g_idle_add_full(
        G_PRIORITY_DEFAULT_IDLE,
        [](gpointer p) -> gboolean {
            auto* end = static_cast<End*>(p);
            end->loop->End(end->code);
            return G_SOURCE_REMOVE;
        },
        new End{loop, code}, [](gpointer p) { delete static_cast<End*>(p); });
}

std::string Mnemonic(const std::string& text) {
    // The system marks access keys with '&' ("&&" for the sign itself); GTK with '_'.
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '&') {
            if (i + 1 < text.size() && text[i + 1] == '&') {
                out += '&';
                ++i;
            } else {
                out += '_';
            }
        } else if (text[i] == '_') {
            out += "__";
        } else {
            out += text[i];
        }
    }
    // A tab separates the accelerator's text, which the menu shows on its own.
    const size_t tab = out.find('\t');
    return tab == std::string::npos ? out : out.substr(0, tab);
}

// ---- menus ------------------------------------------------------------------------

struct MenuRun {
    uint32_t chosen = 0;
    ModalLoop loop;
};

GtkWidget* BuildMenu(const Menu& menu, MenuRun* run) {
    GtkWidget* shell = gtk_menu_new();
    for (size_t i = 0; i < menu.GetItemCount(); ++i) {
        const MenuItem& item = menu.GetItem(i);
        GtkWidget* widget;
        if (item.separator) {
            widget = gtk_separator_menu_item_new();
        } else if (item.submenu) {
            widget = gtk_menu_item_new_with_mnemonic(Mnemonic(item.text).c_str());
            gtk_menu_item_set_submenu(GTK_MENU_ITEM(widget), BuildMenu(*item.submenu, run));
        } else {
            if (item.checked) {
                widget = gtk_check_menu_item_new_with_mnemonic(Mnemonic(item.text).c_str());
                gtk_check_menu_item_set_active(GTK_CHECK_MENU_ITEM(widget), TRUE);
            } else {
                widget = gtk_menu_item_new_with_mnemonic(Mnemonic(item.text).c_str());
            }
            gtk_widget_set_sensitive(widget, !item.greyed);
            g_object_set_data(G_OBJECT(widget), "kivora-id", GUINT_TO_POINTER(item.id));
            g_signal_connect(widget, "activate", G_CALLBACK(+[](GtkMenuItem* self, gpointer p) {
                                 static_cast<MenuRun*>(p)->chosen = GPOINTER_TO_UINT(
                                     g_object_get_data(G_OBJECT(self), "kivora-id"));
                             }),
                             run);
        }
        gtk_menu_shell_append(GTK_MENU_SHELL(shell), widget);
    }
    gtk_widget_show_all(shell);
    return shell;
}

// ---- message boxes ----------------------------------------------------------------

MessageAnswer AnswerOf(gint response) {
    switch (response) {
        case GTK_RESPONSE_OK:
            return MessageAnswer::Ok;
        case GTK_RESPONSE_YES:
            return MessageAnswer::Yes;
        case GTK_RESPONSE_NO:
            return MessageAnswer::No;
        default:
            return MessageAnswer::Cancel;
    }
}

// Runs a GTK dialog in the layer's modal loop; answers its response.
gint RunGtkDialog(GtkWidget* dialog) {
    struct Run {
        ModalLoop loop;
        gint response = GTK_RESPONSE_NONE;
    } run;
    gulong handler = g_signal_connect(dialog, "response",
                                      G_CALLBACK(+[](GtkDialog*, gint response, gpointer p) {
                                          auto* r = static_cast<Run*>(p);
                                          r->response = response;
                                          r->loop.End(0);
                                      }),
                                      &run);
    gtk_window_set_modal(GTK_WINDOW(dialog), TRUE);
    gtk_widget_show_all(dialog);
    gtk_window_present(GTK_WINDOW(dialog));
    run.loop.Run();
    g_signal_handler_disconnect(dialog, handler);
    return run.response;
}

// ---- dialog boxes -----------------------------------------------------------------

struct BoxRun {
    DialogBox* box = nullptr;
    ModalLoop loop;
    GtkWidget* window = nullptr;
    std::vector<std::pair<uint32_t, GtkWidget*>> widgets;
    std::vector<std::vector<GtkWidget*>> tabButtons;  // per Tabs control, in `widgets` order
    int quiet = 0;  // set while the widgets are brought up to date with the box
    bool ended = false;
};

void Sync(BoxRun& run);

void AfterAction(BoxRun& run) {
    if (run.box->IsEnded()) {
        if (!run.ended) {
            run.ended = true;
            run.loop.End(run.box->GetEndCode());
        }
        return;
    }
    Sync(run);
}

uint32_t IdOf(GtkWidget* widget) {
    return GPOINTER_TO_UINT(g_object_get_data(G_OBJECT(widget), "kivora-id"));
}

BoxRun* RunOf(GtkWidget* widget) {
    return static_cast<BoxRun*>(g_object_get_data(G_OBJECT(widget), "kivora-run"));
}

void OnClicked(GtkButton* button, gpointer) {
    BoxRun* run = RunOf(GTK_WIDGET(button));
    if (!run || run->quiet) return;
    run->box->Click(IdOf(GTK_WIDGET(button)));
    AfterAction(*run);
}

void OnToggled(GtkToggleButton* button, gpointer) {
    BoxRun* run = RunOf(GTK_WIDGET(button));
    if (!run || run->quiet) return;
    const uint32_t id = IdOf(GTK_WIDGET(button));
    const DialogControl* control = run->box->Find(id);
    // A radio button is only ever clicked on; it does not clear itself.
    if (control && control->kind == ControlKind::RadioButton && !gtk_toggle_button_get_active(button)) {
        Sync(*run);
        return;
    }
    run->box->Click(id);
    AfterAction(*run);
}

void OnEdited(GtkEditable* editable, gpointer) {
    BoxRun* run = RunOf(GTK_WIDGET(editable));
    if (!run || run->quiet) return;
    gchar* text = gtk_editable_get_chars(editable, 0, -1);
    run->box->Type(IdOf(GTK_WIDGET(editable)), text ? text : "");
    g_free(text);
    AfterAction(*run);
}

gboolean OnFocusIn(GtkWidget* widget, GdkEvent*, gpointer) {
    BoxRun* run = RunOf(widget);
    if (run && !run->quiet && run->box->GetFocus() != IdOf(widget)) {
        run->box->Focus(IdOf(widget));
        AfterAction(*run);
    }
    return FALSE;
}

void OnChosen(GtkComboBox* combo, gpointer) {
    BoxRun* run = RunOf(GTK_WIDGET(combo));
    if (!run || run->quiet) return;
    run->box->Choose(IdOf(GTK_WIDGET(combo)), gtk_combo_box_get_active(combo));
    AfterAction(*run);
}

void OnSlid(GtkRange* range, gpointer) {
    BoxRun* run = RunOf(GTK_WIDGET(range));
    if (!run || run->quiet) return;
    run->box->Slide(IdOf(GTK_WIDGET(range)), static_cast<int>(gtk_range_get_value(range)));
    AfterAction(*run);
}

void OnTab(GtkToggleButton* button, gpointer) {
    BoxRun* run = RunOf(GTK_WIDGET(button));
    if (!run || run->quiet || !gtk_toggle_button_get_active(button)) return;
    run->box->ChooseTab(IdOf(GTK_WIDGET(button)),
                        GPOINTER_TO_INT(g_object_get_data(G_OBJECT(button), "kivora-tab")));
    AfterAction(*run);
}

gboolean OnBoxKey(GtkWidget*, GdkEventKey* event, gpointer p) {
    auto* run = static_cast<BoxRun*>(p);
    if (event->keyval == GDK_KEY_Escape) {
        run->box->PressEscape();
        AfterAction(*run);
        return TRUE;
    }
    if (event->keyval == GDK_KEY_Return || event->keyval == GDK_KEY_KP_Enter) {
        GtkWidget* focus = gtk_window_get_focus(GTK_WINDOW(run->window));
        if (focus && GTK_IS_BUTTON(focus)) return FALSE;  // the button itself
        run->box->PressEnter();
        AfterAction(*run);
        return TRUE;
    }
    return FALSE;
}

gboolean OnBoxDelete(GtkWidget*, GdkEvent*, gpointer p) {
    auto* run = static_cast<BoxRun*>(p);
    run->box->PressEscape();
    AfterAction(*run);
    if (!run->ended) {
        // A box that refuses to be cancelled stays.
        return TRUE;
    }
    return TRUE;
}

GtkWidget* Tag(BoxRun& run, GtkWidget* widget, uint32_t id) {
    g_object_set_data(G_OBJECT(widget), "kivora-id", GUINT_TO_POINTER(id));
    g_object_set_data(G_OBJECT(widget), "kivora-run", &run);
    run.widgets.emplace_back(id, widget);
    return widget;
}

bool IsField(ControlKind kind) {
    return kind == ControlKind::Edit || kind == ControlKind::DropList ||
           kind == ControlKind::Slider;
}

bool IsDialogButton(const DialogControl& c) {
    return c.kind == ControlKind::Button && (c.id == 1 || c.id == 2 || c.id == 235);
}

// Templates give controls by id in reading order; they are laid out in rows: a label
// with the fields that follow it and their short unit labels on one row, the box's own
// buttons (OK, Cancel, Apply) in the bottom row.
GtkWidget* Build(BoxRun& run) {
    DialogBox& box = *run.box;
    GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_title(GTK_WINDOW(window), box.GetCaption().c_str());
    gtk_window_set_resizable(GTK_WINDOW(window), FALSE);
    gtk_window_set_type_hint(GTK_WINDOW(window), GDK_WINDOW_TYPE_HINT_DIALOG);
    GtkWidget* outer = gtk_box_new(GTK_ORIENTATION_VERTICAL, 6);
    gtk_container_set_border_width(GTK_CONTAINER(outer), 10);
    gtk_container_add(GTK_CONTAINER(window), outer);
    GtkWidget* buttons = gtk_button_box_new(GTK_ORIENTATION_HORIZONTAL);
    gtk_button_box_set_layout(GTK_BUTTON_BOX(buttons), GTK_BUTTONBOX_END);
    gtk_box_set_spacing(GTK_BOX(buttons), 6);

    GtkWidget* row = nullptr;
    bool rowHasField = false;
    for (const DialogControl& c : box.Controls()) {
        GtkWidget* widget = nullptr;
        const bool field = IsField(c.kind);
        const bool unit = c.kind == ControlKind::Static && c.text.size() <= 4 && !c.text.empty();
        if (!row || (!field && rowHasField && !unit) || c.kind == ControlKind::Tabs ||
            c.kind == ControlKind::Group) {
            row = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 6);
            gtk_box_pack_start(GTK_BOX(outer), row, FALSE, FALSE, 0);
            rowHasField = false;
        }
        switch (c.kind) {
            case ControlKind::Static:
                widget = gtk_label_new(c.text.c_str());
                gtk_label_set_xalign(GTK_LABEL(widget), 0.0f);
                break;
            case ControlKind::Picture:
                widget = gtk_drawing_area_new();
                gtk_widget_set_size_request(widget, std::max(1, c.rect.right - c.rect.left),
                                            std::max(1, c.rect.bottom - c.rect.top));
                break;
            case ControlKind::Group:
            {
                widget = gtk_label_new(nullptr);
                gchar* escaped = g_markup_escape_text(c.text.c_str(), -1);
                gtk_label_set_markup(GTK_LABEL(widget),
                                     (std::string("<b>") + escaped + "</b>").c_str());
                g_free(escaped);
            }
                gtk_label_set_xalign(GTK_LABEL(widget), 0.0f);
                break;
            case ControlKind::Button:
                widget = gtk_button_new_with_mnemonic(Mnemonic(c.text).c_str());
                g_signal_connect(widget, "clicked", G_CALLBACK(OnClicked), nullptr);
                break;
            case ControlKind::CheckBox:
                widget = gtk_check_button_new_with_mnemonic(Mnemonic(c.text).c_str());
                g_signal_connect(widget, "toggled", G_CALLBACK(OnToggled), nullptr);
                break;
            case ControlKind::RadioButton:
                widget = gtk_radio_button_new_with_mnemonic(nullptr, Mnemonic(c.text).c_str());
                g_signal_connect(widget, "toggled", G_CALLBACK(OnToggled), nullptr);
                break;
            case ControlKind::Edit:
                widget = gtk_entry_new();
                gtk_entry_set_width_chars(GTK_ENTRY(widget), 8);
                g_signal_connect(widget, "changed", G_CALLBACK(OnEdited), nullptr);
                g_signal_connect(widget, "focus-in-event", G_CALLBACK(OnFocusIn), nullptr);
                break;
            case ControlKind::DropList:
                widget = gtk_combo_box_text_new();
                g_signal_connect(widget, "changed", G_CALLBACK(OnChosen), nullptr);
                break;
            case ControlKind::Slider:
                widget = gtk_scale_new_with_range(GTK_ORIENTATION_HORIZONTAL, 0, 100, 1);
                gtk_widget_set_size_request(widget, 120, -1);
                gtk_scale_set_draw_value(GTK_SCALE(widget), FALSE);
                g_signal_connect(widget, "value-changed", G_CALLBACK(OnSlid), nullptr);
                break;
            case ControlKind::Tabs:
                widget = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 0);
                run.tabButtons.emplace_back();
                break;
        }
        Tag(run, widget, c.id);
        if (IsDialogButton(c)) {
            gtk_container_add(GTK_CONTAINER(buttons), widget);
        } else {
            gtk_box_pack_start(GTK_BOX(row), widget, field, field, 0);
        }
        rowHasField = rowHasField || field;
    }
    gtk_box_pack_end(GTK_BOX(outer), buttons, FALSE, FALSE, 0);
    g_signal_connect(window, "key-press-event", G_CALLBACK(OnBoxKey), &run);
    g_signal_connect(window, "delete-event", G_CALLBACK(OnBoxDelete), &run);
    return window;
}

// Brings every widget up to date with the box's model.
void Sync(BoxRun& run) {
    ++run.quiet;
    size_t tabIndex = 0;
    for (auto& [id, widget] : run.widgets) {
        const DialogControl* c = run.box->Find(id);
        if (!c) continue;
        gtk_widget_set_sensitive(widget, c->enabled);
        gtk_widget_set_visible(widget, c->visible);
        switch (c->kind) {
            case ControlKind::Static:
                if (c->text != gtk_label_get_text(GTK_LABEL(widget)))
                    gtk_label_set_text(GTK_LABEL(widget), c->text.c_str());
                break;
            case ControlKind::CheckBox:
            case ControlKind::RadioButton:
                gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(widget), c->checked);
                break;
            case ControlKind::Edit:
                if (c->text != gtk_entry_get_text(GTK_ENTRY(widget))) {
                    gtk_entry_set_text(GTK_ENTRY(widget), c->text.c_str());
                    if (c->textSelected) gtk_editable_select_region(GTK_EDITABLE(widget), 0, -1);
                }
                break;
            case ControlKind::DropList: {
                auto* combo = GTK_COMBO_BOX_TEXT(widget);
                GtkTreeModel* model = gtk_combo_box_get_model(GTK_COMBO_BOX(combo));
                const int shown = gtk_tree_model_iter_n_children(model, nullptr);
                if (shown != static_cast<int>(c->items.size())) {
                    gtk_combo_box_text_remove_all(combo);
                    for (const std::string& item : c->items)
                        gtk_combo_box_text_append_text(combo, item.c_str());
                }
                if (gtk_combo_box_get_active(GTK_COMBO_BOX(combo)) != c->selection)
                    gtk_combo_box_set_active(GTK_COMBO_BOX(combo), c->selection);
                break;
            }
            case ControlKind::Slider:
                gtk_range_set_range(GTK_RANGE(widget), c->rangeMin,
                                    std::max(c->rangeMin + 1, c->rangeMax));
                gtk_range_set_value(GTK_RANGE(widget), c->position);
                break;
            case ControlKind::Tabs: {
                if (tabIndex >= run.tabButtons.size()) break;
                auto& tabs = run.tabButtons[tabIndex++];
                if (tabs.size() != c->items.size()) {
                    for (GtkWidget* t : tabs) gtk_widget_destroy(t);
                    tabs.clear();
                    GSList* group = nullptr;
                    for (size_t i = 0; i < c->items.size(); ++i) {
                        GtkWidget* tab = gtk_radio_button_new_with_label(group, c->items[i].c_str());
                        group = gtk_radio_button_get_group(GTK_RADIO_BUTTON(tab));
                        gtk_toggle_button_set_mode(GTK_TOGGLE_BUTTON(tab), FALSE);
                        g_object_set_data(G_OBJECT(tab), "kivora-id", GUINT_TO_POINTER(id));
                        g_object_set_data(G_OBJECT(tab), "kivora-run", &run);
                        g_object_set_data(G_OBJECT(tab), "kivora-tab", GINT_TO_POINTER(int(i)));
                        g_signal_connect(tab, "toggled", G_CALLBACK(OnTab), nullptr);
                        gtk_box_pack_start(GTK_BOX(widget), tab, FALSE, FALSE, 0);
                        gtk_widget_show(tab);
                        tabs.push_back(tab);
                    }
                }
                if (c->selection >= 0 && c->selection < static_cast<int>(tabs.size()))
                    gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(tabs[size_t(c->selection)]),
                                                 TRUE);
                break;
            }
            default:
                break;
        }
    }
    --run.quiet;
}

}  // namespace

uint32_t TrackMenu(const Menu& menu, int screenX, int screenY) {
    AdoptUiThread();
    return OnUi<uint32_t>([&]() -> uint32_t {
        MenuRun run;
        GtkWidget* shell = BuildMenu(menu, &run);
        g_signal_connect(shell, "deactivate", G_CALLBACK(+[](GtkMenuShell*, gpointer p) {
                             EndSoon(&static_cast<MenuRun*>(p)->loop, 0);
                         }),
                         &run);
        GdkWindow* root = gdk_get_default_root_window();
        const GdkRectangle at{screenX, screenY, 1, 1};
        // The menu grabs the pointer and keys for the event that opened it: a press of
        // the pointer when the caller is not handling one.
        GdkEvent* trigger = gtk_get_current_event();
        if (!trigger) {
            trigger = gdk_event_new(GDK_BUTTON_PRESS);
            trigger->button.window = GDK_WINDOW(g_object_ref(root));
            trigger->button.time = GDK_CURRENT_TIME;
            trigger->button.button = 3;
            GdkSeat* seat = gdk_display_get_default_seat(gdk_display_get_default());
            if (seat) gdk_event_set_device(trigger, gdk_seat_get_pointer(seat));
        }
        gtk_menu_popup_at_rect(GTK_MENU(shell), root, &at, GDK_GRAVITY_NORTH_WEST,
                               GDK_GRAVITY_NORTH_WEST, trigger);
        if (!gtk_widget_get_visible(shell)) {
            gdk_event_free(trigger);
            gtk_widget_destroy(shell);
            return 0;
        }
        // Without an event of GTK's own the menu may not hold the pointer and keys:
        // it takes them here, so that keys and clicks elsewhere reach it.
        GdkSeat* seat = gdk_display_get_default_seat(gdk_display_get_default());
        GdkWindow* popup = gtk_widget_get_window(gtk_widget_get_toplevel(shell));
        if (seat && popup)
            gdk_seat_grab(seat, popup, GDK_SEAT_CAPABILITY_ALL, TRUE, nullptr, trigger, nullptr,
                          nullptr);
        gdk_event_free(trigger);
        run.loop.Run();
        if (seat) gdk_seat_ungrab(seat);
        gtk_widget_destroy(shell);
        return run.chosen;
    });
}

MessageAnswer ShowMessage(const MessageBoxRequest& request) {
    AdoptUiThread();
    return OnUi<MessageAnswer>([&] {
        GtkMessageType type = GTK_MESSAGE_OTHER;
        switch (request.icon) {
            case MessageIcon::Information:
                type = GTK_MESSAGE_INFO;
                break;
            case MessageIcon::Question:
                type = GTK_MESSAGE_QUESTION;
                break;
            case MessageIcon::Warning:
                type = GTK_MESSAGE_WARNING;
                break;
            case MessageIcon::Error:
                type = GTK_MESSAGE_ERROR;
                break;
            case MessageIcon::None:
                break;
        }
        GtkWidget* dialog = gtk_message_dialog_new(nullptr, GTK_DIALOG_MODAL, type,
                                                   GTK_BUTTONS_NONE, "%s", request.text.c_str());
        gtk_window_set_title(GTK_WINDOW(dialog), request.caption.c_str());
        if (request.systemModal) gtk_window_set_keep_above(GTK_WINDOW(dialog), TRUE);
        gint first = GTK_RESPONSE_OK;
        switch (request.buttons) {
            case MessageButtons::Ok:
                gtk_dialog_add_button(GTK_DIALOG(dialog), "_OK", GTK_RESPONSE_OK);
                break;
            case MessageButtons::OkCancel:
                gtk_dialog_add_buttons(GTK_DIALOG(dialog), "_OK", GTK_RESPONSE_OK, "_Cancel",
                                       GTK_RESPONSE_CANCEL, nullptr);
                break;
            case MessageButtons::YesNo:
                gtk_dialog_add_buttons(GTK_DIALOG(dialog), "_Yes", GTK_RESPONSE_YES, "_No",
                                       GTK_RESPONSE_NO, nullptr);
                first = GTK_RESPONSE_YES;
                break;
            case MessageButtons::YesNoCancel:
                gtk_dialog_add_buttons(GTK_DIALOG(dialog), "_Yes", GTK_RESPONSE_YES, "_No",
                                       GTK_RESPONSE_NO, "_Cancel", GTK_RESPONSE_CANCEL, nullptr);
                first = GTK_RESPONSE_YES;
                break;
        }
        // The first button is the default, as the callers expect of Enter.
        gtk_dialog_set_default_response(GTK_DIALOG(dialog), first);
        const gint response = RunGtkDialog(dialog);
        gtk_widget_destroy(dialog);
        return AnswerOf(response);
    });
}

bool ChooseFile(const FileDialogRequest& request, std::string* chosen) {
    std::string path;
    AdoptUiThread();
    const bool ok = OnUi<bool>([&] {
        const bool save = request.kind == FileDialogKind::Save;
        GtkWidget* dialog = gtk_file_chooser_dialog_new(
            save ? "Save As" : "Open", nullptr,
            save ? GTK_FILE_CHOOSER_ACTION_SAVE : GTK_FILE_CHOOSER_ACTION_OPEN, "_Cancel",
            GTK_RESPONSE_CANCEL, save ? "_Save" : "_Open", GTK_RESPONSE_ACCEPT, nullptr);
        gtk_dialog_set_default_response(GTK_DIALOG(dialog), GTK_RESPONSE_ACCEPT);
        GtkFileChooser* chooser = GTK_FILE_CHOOSER(dialog);
        gtk_file_chooser_set_local_only(chooser, TRUE);
        if (save)
            gtk_file_chooser_set_do_overwrite_confirmation(
                chooser, (request.flags & kOverwritePrompt) != 0);
        if (!request.filterPattern.empty()) {
            GtkFileFilter* filter = gtk_file_filter_new();
            gtk_file_filter_set_name(filter, request.filterName.empty()
                                                 ? request.filterPattern.c_str()
                                                 : request.filterName.c_str());
            // "*.kvp;*.kvr": several patterns.
            size_t start = 0;
            while (start <= request.filterPattern.size()) {
                size_t end = request.filterPattern.find(';', start);
                if (end == std::string::npos) end = request.filterPattern.size();
                const std::string pattern = request.filterPattern.substr(start, end - start);
                if (!pattern.empty()) gtk_file_filter_add_pattern(filter, pattern.c_str());
                start = end + 1;
            }
            gtk_file_chooser_add_filter(chooser, filter);
        }
        if (!request.initialPath.empty()) {
            const std::string& initial = request.initialPath;
            const size_t slash = initial.find_last_of('/');
            if (slash != std::string::npos)
                gtk_file_chooser_set_current_folder(
                    chooser, slash == 0 ? "/" : initial.substr(0, slash).c_str());
            const std::string name = slash == std::string::npos ? initial : initial.substr(slash + 1);
            if (save && !name.empty()) gtk_file_chooser_set_current_name(chooser, name.c_str());
        }
        const gint response = RunGtkDialog(dialog);
        bool accepted = false;
        if (response == GTK_RESPONSE_ACCEPT) {
            gchar* file = gtk_file_chooser_get_filename(chooser);
            if (file) {
                path = file;
                accepted = !path.empty();
            }
            g_free(file);
        }
        gtk_widget_destroy(dialog);
        if (accepted && !save && (request.flags & kFileMustExist) &&
            !g_file_test(path.c_str(), G_FILE_TEST_EXISTS))
            accepted = false;
        return accepted;
    });
    if (ok && chosen) *chosen = path;
    return ok;
}

int RunDialog(DialogBox& box) {
    AdoptUiThread();
    return OnUi<int>([&]() -> int {
        if (box.IsEnded()) return box.GetEndCode();
        BoxRun run;
        run.box = &box;
        run.window = Build(run);
        gtk_window_set_modal(GTK_WINDOW(run.window), TRUE);
        Sync(run);
        gtk_widget_show_all(run.window);
        Sync(run);  // hidden controls stay hidden after show_all
        gtk_window_present(GTK_WINDOW(run.window));
        // Code may change the controls at any time (timers, other windows) or end the box
        // (a close from another thread): keep up.
        const guint refresh = g_timeout_add(
            100,
            [](gpointer p) -> gboolean {
                auto* r = static_cast<BoxRun*>(p);
                if (!r->ended) AfterAction(*r);
                return G_SOURCE_CONTINUE;
            },
            &run);
        const int code = run.loop.Run();
        g_source_remove(refresh);
        gtk_widget_destroy(run.window);
        return box.IsEnded() ? box.GetEndCode() : code;
    });
}

}  // namespace platform::display
