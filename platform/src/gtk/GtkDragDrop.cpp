// Drops from other programs (the web view, the file manager) onto a window's client
// area, handed to the drop target registered on the window with the formats the
// targets read: "HTML Format", CF_TEXT and CF_HDROP.

#include <cstring>
#include <string>
#include <unordered_map>
#include <vector>

#include "../Display.h"
#include "GtkInternal.h"
#include "platform/DragDrop.h"
#include "platform/Input.h"

namespace platform::display {
namespace {

enum TargetInfo : guint { kHtml = 1, kUriList = 2, kText = 3 };

// One drag over one window, from its first motion to its drop or leave.
struct Drag {
    GdkDragContext* context = nullptr;
    RefPtr<DataObject> data;
    int waiting = 0;      // data requests not answered yet
    bool entered = false;  // the target heard DragEnter
    bool accepted = false;
    uint32_t effect = DROPEFFECT_NONE;
    ScreenPoint point;
    guint time = 0;
    bool dropRequested = false;
    guint leaveSource = 0;
};

std::unordered_map<WindowHandle, Drag>& Drags() {
    static auto* drags = new std::unordered_map<WindowHandle, Drag>;
    return *drags;
}

uint32_t EffectsOf(GdkDragAction actions) {
    uint32_t effects = 0;
    if (actions & GDK_ACTION_COPY) effects |= DROPEFFECT_COPY;
    if (actions & GDK_ACTION_MOVE) effects |= DROPEFFECT_MOVE;
    if (actions & GDK_ACTION_LINK) effects |= DROPEFFECT_LINK;
    return effects;
}

ScreenPoint ToScreen(GtkWidget* widget, int x, int y) {
    int ox = 0, oy = 0;
    if (GdkWindow* gdk = gtk_widget_get_window(widget)) gdk_window_get_origin(gdk, &ox, &oy);
    return ScreenPoint{ox + x, oy + y};
}

// Text of a drag that may come as UTF-16 (with or without its byte-order mark).
std::string TextOf(const guchar* bytes, gint length) {
    if (!bytes || length <= 0) return {};
    const bool utf16 = (length >= 2 && ((bytes[0] == 0xFF && bytes[1] == 0xFE) ||
                                        (length % 2 == 0 && bytes[1] == 0 && bytes[0] != 0)));
    if (utf16) {
        gsize written = 0;
        gchar* converted = g_convert(reinterpret_cast<const gchar*>(bytes), length, "UTF-8",
                                     "UTF-16LE", nullptr, &written, nullptr);
        std::string text = converted ? std::string(converted, written) : std::string();
        g_free(converted);
        if (text.rfind("\xEF\xBB\xBF", 0) == 0) text.erase(0, 3);
        return text;
    }
    std::string text(reinterpret_cast<const char*>(bytes), static_cast<size_t>(length));
    while (!text.empty() && text.back() == '\0') text.pop_back();
    return text;
}

std::string dragSourceUrl;

void EndDrag(WindowHandle window) {
    auto it = Drags().find(window);
    if (it == Drags().end()) return;
    if (it->second.leaveSource) g_source_remove(it->second.leaveSource);
    Drags().erase(it);
    SetKeyState(VK_LBUTTON, false);
}

void Enter(WindowHandle window, Drag& drag) {
    RefPtr<IDropTarget> target = GetDropTarget(window);
    drag.entered = true;
    if (!target) return;
    // The button is held through the whole drag, as the targets expect to see it.
    SetKeyState(VK_LBUTTON, true);
    uint32_t effect = EffectsOf(gdk_drag_context_get_actions(drag.context));
    target->DragEnter(drag.data.Get(), static_cast<uint32_t>(MK_LBUTTON), drag.point, &effect);
    drag.effect = effect;
    drag.accepted = effect != DROPEFFECT_NONE;
}

void ReportStatus(Drag& drag) {
    const GdkDragAction offered = gdk_drag_context_get_actions(drag.context);
    GdkDragAction action = GdkDragAction(0);
    if (drag.accepted) {
        if ((drag.effect & DROPEFFECT_LINK) && (offered & GDK_ACTION_LINK))
            action = GDK_ACTION_LINK;
        else if ((drag.effect & DROPEFFECT_COPY) && (offered & GDK_ACTION_COPY))
            action = GDK_ACTION_COPY;
        else if ((drag.effect & DROPEFFECT_MOVE) && (offered & GDK_ACTION_MOVE))
            action = GDK_ACTION_MOVE;
        else
            action = gdk_drag_context_get_suggested_action(drag.context);
    }
    gdk_drag_status(drag.context, action, drag.time);
}

void Deliver(GtkWidget* widget, WindowHandle window, Drag& drag) {
    if (!drag.entered) Enter(window, drag);
    if (drag.dropRequested) {
        RefPtr<IDropTarget> target = GetDropTarget(window);
        uint32_t effect = EffectsOf(gdk_drag_context_get_actions(drag.context));
        if (target && drag.accepted)
            target->Drop(drag.data.Get(), static_cast<uint32_t>(MK_LBUTTON), drag.point, &effect);
        else if (target)
            target->DragLeave();
        gtk_drag_finish(drag.context, drag.accepted && effect != DROPEFFECT_NONE, FALSE,
                        drag.time);
        EndDrag(window);
        return;
    }
    ReportStatus(drag);
}

gboolean OnMotion(GtkWidget* widget, GdkDragContext* context, gint x, gint y, guint time,
                  gpointer data) {
    const WindowHandle window = static_cast<WindowHandle>(GPOINTER_TO_UINT(data));
    Drag& drag = Drags()[window];
    if (drag.leaveSource) {
        g_source_remove(drag.leaveSource);
        drag.leaveSource = 0;
    }
    const ScreenPoint point = ToScreen(widget, x, y);
    drag.time = time;
    if (drag.context != context) {
        // A new drag: fetch what it carries before the target hears of it.
        drag = Drag{};
        drag.context = context;
        drag.time = time;
        drag.point = point;
        drag.data = RefPtr<DataObject>::Adopt(new DataObject);
        GList* offered = gdk_drag_context_list_targets(context);
        const char* wanted[] = {"text/html", "text/uri-list", "text/plain;charset=utf-8",
                                "UTF8_STRING", "text/plain"};
        bool haveText = false;
        for (const char* name : wanted) {
            for (GList* l = offered; l; l = l->next) {
                gchar* atom = gdk_atom_name(GDK_POINTER_TO_ATOM(l->data));
                const bool match = std::strcmp(atom, name) == 0;
                g_free(atom);
                if (!match) continue;
                const bool text = std::strncmp(name, "text/plain", 10) == 0 ||
                                  std::strcmp(name, "UTF8_STRING") == 0;
                if (text && haveText) break;
                haveText = haveText || text;
                ++drag.waiting;
                gtk_drag_get_data(widget, context, gdk_atom_intern(name, FALSE), time);
                break;
            }
        }
        if (drag.waiting == 0) {
            Enter(window, drag);
            ReportStatus(drag);
        }
        return TRUE;
    }
    if (drag.waiting > 0) return TRUE;
    drag.point = point;
    RefPtr<IDropTarget> target = GetDropTarget(window);
    if (target && drag.accepted) {
        uint32_t effect = EffectsOf(gdk_drag_context_get_actions(context));
        target->DragOver(static_cast<uint32_t>(MK_LBUTTON), point, &effect);
        drag.effect = effect;
    }
    ReportStatus(drag);
    return TRUE;
}

void OnReceived(GtkWidget* widget, GdkDragContext* context, gint, gint,
                GtkSelectionData* selection, guint, guint time, gpointer data) {
    const WindowHandle window = static_cast<WindowHandle>(GPOINTER_TO_UINT(data));
    auto it = Drags().find(window);
    if (it == Drags().end() || it->second.context != context) return;
    Drag& drag = it->second;
    gchar* typeName = gdk_atom_name(gtk_selection_data_get_target(selection));
    const std::string type = typeName ? typeName : "";
    g_free(typeName);
    const gint length = gtk_selection_data_get_length(selection);
    const guchar* bytes = gtk_selection_data_get_data(selection);
    if (length > 0 && bytes) {
        if (type == "text/html") {
            drag.data->SetHtml(TextOf(bytes, length), dragSourceUrl);
        } else if (type == "text/uri-list") {
            std::vector<std::string> files;
            gchar** uris = gtk_selection_data_get_uris(selection);
            for (gchar** u = uris; u && *u; ++u) {
                gchar* path = g_filename_from_uri(*u, nullptr, nullptr);
                if (path) files.push_back(path);
                g_free(path);
            }
            g_strfreev(uris);
            if (!files.empty()) drag.data->SetFiles(files);
        } else {
            std::string text = TextOf(bytes, length);
            // A file manager's drag names the files as text too: the files decide then.
            if (drag.data->QueryGetData(CF_HDROP) != S_OK && text.rfind("file://", 0) != 0)
                drag.data->SetText(text);
        }
    }
    drag.time = time;
    if (--drag.waiting > 0) return;
    // Files win over a text naming them, whichever came first.
    if (drag.data->QueryGetData(CF_HDROP) == S_OK) {
        std::vector<uint8_t> text;
        if (drag.data->GetData(CF_TEXT, &text) == S_OK) {
            RefPtr<DataObject> files = RefPtr<DataObject>::Adopt(new DataObject);
            std::vector<uint8_t> list;
            drag.data->GetData(CF_HDROP, &list);
            files->Set(CF_HDROP, list);
            std::vector<uint8_t> html;
            const uint32_t htmlFormat = RegisterClipboardFormat("HTML Format");
            if (drag.data->GetData(htmlFormat, &html) == S_OK) files->Set(htmlFormat, html);
            drag.data = files;
        }
    }
    Deliver(widget, window, drag);
}

void OnLeave(GtkWidget*, GdkDragContext* context, guint, gpointer data) {
    const WindowHandle window = static_cast<WindowHandle>(GPOINTER_TO_UINT(data));
    auto it = Drags().find(window);
    if (it == Drags().end() || it->second.context != context) return;
    // GTK reports a leave before every drop: the leave counts only when no drop follows.
    it->second.leaveSource = g_idle_add(
        [](gpointer p) -> gboolean {
            const WindowHandle w = static_cast<WindowHandle>(GPOINTER_TO_UINT(p));
            auto found = Drags().find(w);
            if (found == Drags().end()) return G_SOURCE_REMOVE;
            found->second.leaveSource = 0;
            if (found->second.entered) {
                if (RefPtr<IDropTarget> target = GetDropTarget(w)) target->DragLeave();
            }
            EndDrag(w);
            return G_SOURCE_REMOVE;
        },
        data);
}

gboolean OnDrop(GtkWidget* widget, GdkDragContext* context, gint x, gint y, guint time,
                gpointer data) {
    const WindowHandle window = static_cast<WindowHandle>(GPOINTER_TO_UINT(data));
    auto it = Drags().find(window);
    if (it == Drags().end() || it->second.context != context) {
        gtk_drag_finish(context, FALSE, FALSE, time);
        return TRUE;
    }
    Drag& drag = it->second;
    if (drag.leaveSource) {
        g_source_remove(drag.leaveSource);
        drag.leaveSource = 0;
    }
    drag.point = ToScreen(widget, x, y);
    drag.time = time;
    drag.dropRequested = true;
    if (drag.waiting == 0) Deliver(widget, window, drag);
    return TRUE;
}

}  // namespace

void AttachDropTarget(GtkWidget* area, WindowHandle window) {
    static const GtkTargetEntry targets[] = {
        {const_cast<gchar*>("text/html"), 0, kHtml},
        {const_cast<gchar*>("text/uri-list"), 0, kUriList},
        {const_cast<gchar*>("text/plain;charset=utf-8"), 0, kText},
        {const_cast<gchar*>("UTF8_STRING"), 0, kText},
        {const_cast<gchar*>("text/plain"), 0, kText},
    };
    gtk_drag_dest_set(area, GtkDestDefaults(0), targets, G_N_ELEMENTS(targets),
                      GdkDragAction(GDK_ACTION_COPY | GDK_ACTION_LINK | GDK_ACTION_MOVE));
    gpointer data = GUINT_TO_POINTER(static_cast<uint32_t>(window));
    g_signal_connect(area, "drag-motion", G_CALLBACK(OnMotion), data);
    g_signal_connect(area, "drag-leave", G_CALLBACK(OnLeave), data);
    g_signal_connect(area, "drag-drop", G_CALLBACK(OnDrop), data);
    g_signal_connect(area, "drag-data-received", G_CALLBACK(OnReceived), data);
}

void SetDragSourceUrl(const std::string& url) {
    dragSourceUrl = url;
}

}  // namespace platform::display
