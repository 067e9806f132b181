// The display implementation of the window table: every window of the layer gets a
// GTK widget on the UI thread (a top-level window a GtkWindow holding its client area,
// a child window a client area placed in its parent's), and the person's input on
// those widgets comes back as the layer's messages, posted to the windows' owners.

#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <tuple>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <future>
#include <mutex>
#include <thread>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "../Display.h"
#include "platform/DialogBox.h"
#include "platform/Input.h"
// X11's headers come last: their macros (None, Status) clash with names of ours.
#include "GtkInternal.h"
#include <X11/Xlib.h>
#include <gdk/gdkx.h>
#undef None
#undef CursorShape

namespace platform::display {
namespace {

struct Choice {
    bool active = false;
    std::string name;
};

const Choice& Chosen() {
    static const Choice choice = [] {
        Choice c;
        const char* headless = std::getenv("KIVORA_HEADLESS");
        if (headless && *headless && std::strcmp(headless, "0") != 0) return c;
        const char* name = std::getenv("DISPLAY");
        if (!name || !*name) return c;
        // The GL side talks to the server from the render thread on a connection of
        // its own while GTK uses another: Xlib must be told before its first call.
        XInitThreads();
        Display* probe = XOpenDisplay(name);
        if (!probe) return c;
        XCloseDisplay(probe);
        c.active = true;
        c.name = name;
        return c;
    }();
    return choice;
}

std::mutex uiMutex;
std::atomic<bool> uiStarted{false};
std::atomic<bool> uiBroken{false};
std::thread::id uiThread;

std::atomic<int> screenBits{0};
std::atomic<int> monitors{0};
std::mutex areaMutex;
Rect workArea;

XErrorHandler gtkErrorHandler = nullptr;
std::atomic<Display*> quietConnection{nullptr};
std::atomic<int> quietErrors{0};

int OnXError(Display* display, XErrorEvent* event) {
    // The GL connection meets errors of its own (a view's window that went while a
    // frame was on its way); those are counted, not fatal.
    if (display == quietConnection.load()) {
        ++quietErrors;
        return 0;
    }
    return gtkErrorHandler ? gtkErrorHandler(display, event) : 0;
}

void ReadScreen() {
    GdkDisplay* display = gdk_display_get_default();
    if (!display) return;
    GdkScreen* screen = gdk_display_get_default_screen(display);
    GdkVisual* visual = screen ? gdk_screen_get_system_visual(screen) : nullptr;
    if (visual) screenBits = gdk_visual_get_depth(visual);
    monitors = gdk_display_get_n_monitors(display);
    GdkMonitor* monitor = gdk_display_get_primary_monitor(display);
    if (!monitor && gdk_display_get_n_monitors(display) > 0)
        monitor = gdk_display_get_monitor(display, 0);
    if (monitor) {
        GdkRectangle r;
        gdk_monitor_get_workarea(monitor, &r);
        std::lock_guard<std::mutex> hold(areaMutex);
        workArea = Rect{r.x, r.y, r.x + r.width, r.y + r.height};
    }
}

// ---- the widgets of the windows (UI thread only) ----------------------------------

struct Shown {
    GtkWidget* top = nullptr;   // the GtkWindow of a top-level window
    GtkWidget* area = nullptr;  // the client area: a GtkFixed with a window of its own
    bool painted = false;       // the window drew a picture with DrawPixels
};

std::unordered_map<WindowHandle, Shown>& Table() {
    static auto* table = new std::unordered_map<WindowHandle, Shown>;
    return *table;
}

// Where each client area shows inside its top-level X window, for the GL side, which
// draws into X windows of its own placed there. (GTK 3 does not paint widgets inside
// native child windows reliably, so the areas stay windows of GTK's own.)
std::mutex xidMutex;
std::unordered_map<WindowHandle, NativePlace>& Xids() {
    static auto* xids = new std::unordered_map<WindowHandle, NativePlace>;
    return *xids;
}

// Set while the display tells the window table what the person did, so that the
// table's mirror calls do not echo it back to GTK.
thread_local int echo = 0;
struct FromDisplay {
    FromDisplay() { ++echo; }
    ~FromDisplay() { --echo; }
};

WindowHandle lastPointerWindow = kNoWindow;

gpointer HandleData(WindowHandle window) {
    return GUINT_TO_POINTER(static_cast<uint32_t>(window));
}
WindowHandle HandleOf(gpointer data) {
    return static_cast<WindowHandle>(GPOINTER_TO_UINT(data));
}

WParam MouseFlags(guint state) {
    WParam flags = 0;
    if (state & GDK_BUTTON1_MASK) flags |= MK_LBUTTON;
    if (state & GDK_BUTTON2_MASK) flags |= MK_MBUTTON;
    if (state & GDK_BUTTON3_MASK) flags |= MK_RBUTTON;
    if (state & GDK_SHIFT_MASK) flags |= MK_SHIFT;
    if (state & GDK_CONTROL_MASK) flags |= MK_CONTROL;
    if (state & GDK_MOD1_MASK) flags |= MK_ALT;
    return flags;
}

WParam ButtonFlag(guint button) {
    switch (button) {
        case 1:
            return MK_LBUTTON;
        case 2:
            return MK_MBUTTON;
        case 3:
            return MK_RBUTTON;
        default:
            return 0;
    }
}

// The window that gets a pointer message: the capture window while there is one
// (with the point moved into its client area), else the window under the pointer.
void PostPointer(WindowHandle window, uint32_t message, WParam flags, double rootX,
                 double rootY, double x, double y) {
    WindowHandle target = window;
    const WindowHandle capture = GetCapture();
    if (capture != kNoWindow && capture != window) {
        auto it = Table().find(capture);
        GdkWindow* gdk = it != Table().end() && it->second.area
                             ? gtk_widget_get_window(it->second.area)
                             : nullptr;
        if (gdk) {
            int ox = 0, oy = 0;
            gdk_window_get_origin(gdk, &ox, &oy);
            target = capture;
            x = rootX - ox;
            y = rootY - oy;
        }
    }
    PostMessage(target, message, flags,
                MakeLParam(static_cast<int>(std::floor(x)), static_cast<int>(std::floor(y))));
}

gboolean OnButton(GtkWidget* widget, GdkEventButton* event, gpointer data) {
    const WindowHandle window = HandleOf(data);
    lastPointerWindow = window;
    const bool down = event->type == GDK_BUTTON_PRESS || event->type == GDK_2BUTTON_PRESS;
    if (event->type == GDK_3BUTTON_PRESS) return TRUE;
    if (down && !gtk_widget_has_focus(widget)) gtk_widget_grab_focus(widget);
    uint32_t message = 0;
    const bool twice = event->type == GDK_2BUTTON_PRESS;
    switch (event->button) {
        case 1:
            message = twice ? WM_LBUTTONDBLCLK : down ? WM_LBUTTONDOWN : WM_LBUTTONUP;
            break;
        case 2:
            message = twice ? WM_MBUTTONDBLCLK : down ? WM_MBUTTONDOWN : WM_MBUTTONUP;
            break;
        case 3:
            message = twice ? WM_RBUTTONDBLCLK : down ? WM_RBUTTONDOWN : WM_RBUTTONUP;
            break;
        default:
            return TRUE;
    }
    // The flags tell the buttons held once the message happened.
    WParam flags = MouseFlags(event->state);
    flags = down ? (flags | ButtonFlag(event->button)) : (flags & ~ButtonFlag(event->button));
    PostPointer(window, message, flags, event->x_root, event->y_root, event->x, event->y);
    return TRUE;
}

gboolean OnMotion(GtkWidget*, GdkEventMotion* event, gpointer data) {
    const WindowHandle window = HandleOf(data);
    lastPointerWindow = window;
    PostPointer(window, WM_MOUSEMOVE, MouseFlags(event->state), event->x_root, event->y_root,
                event->x, event->y);
    gdk_event_request_motions(event);
    return TRUE;
}

gboolean OnCrossing(GtkWidget*, GdkEventCrossing* event, gpointer data) {
    if (event->detail == GDK_NOTIFY_INFERIOR) return TRUE;
    const WindowHandle window = HandleOf(data);
    if (event->type == GDK_ENTER_NOTIFY) {
        lastPointerWindow = window;
        PostPointer(window, WM_MOUSEMOVE, MouseFlags(event->state), event->x_root, event->y_root,
                    event->x, event->y);
    } else {
        PostMessage(window, WM_MOUSELEAVE, 0, 0);
    }
    return TRUE;
}

gboolean OnScroll(GtkWidget*, GdkEventScroll* event, gpointer data) {
    int delta = 0;
    switch (event->direction) {
        case GDK_SCROLL_UP:
            delta = 120;
            break;
        case GDK_SCROLL_DOWN:
            delta = -120;
            break;
        case GDK_SCROLL_SMOOTH:
            delta = static_cast<int>(-event->delta_y * 120.0);
            break;
        default:
            return TRUE;
    }
    if (delta == 0) return TRUE;
    // The wheel message carries the point on the screen, as the callers expect.
    PostMessage(HandleOf(data), WM_MOUSEWHEEL,
                MakeWParam(static_cast<unsigned>(MouseFlags(event->state)),
                           static_cast<unsigned>(delta & 0xFFFF)),
                MakeLParam(static_cast<int>(event->x_root), static_cast<int>(event->y_root)));
    return TRUE;
}

gboolean OnKey(GtkWidget*, GdkEventKey* event, gpointer data) {
    const int key = VirtualKeyOf(event);
    if (key == 0) return FALSE;
    const bool down = event->type == GDK_KEY_PRESS;
    const bool alt = (event->state & GDK_MOD1_MASK) != 0 || key == VK_MENU;
    const uint32_t message =
        alt ? (down ? WM_SYSKEYDOWN : WM_SYSKEYUP) : (down ? WM_KEYDOWN : WM_KEYUP);
    // Repeat count 1, the scan code, the context and transition bits.
    uint32_t bits = 1u | ((static_cast<uint32_t>(event->hardware_keycode) & 0xFF) << 16);
    if (alt) bits |= 1u << 29;
    if (!down) bits |= (1u << 30) | (1u << 31);
    else if (IsKeyDown(key)) bits |= 1u << 30;
    PostMessage(HandleOf(data), message, static_cast<WParam>(key), static_cast<LParam>(bits));
    return TRUE;
}

gboolean OnFocus(GtkWidget*, GdkEventFocus* event, gpointer data) {
    const WindowHandle window = HandleOf(data);
    FromDisplay quiet;
    if (event->in) {
        SetFocus(window);
    } else if (GetFocus() == window) {
        SetFocus(kNoWindow);
    }
    return FALSE;
}

void OnActive(GObject* object, GParamSpec*, gpointer data) {
    const WindowHandle window = HandleOf(data);
    FromDisplay quiet;
    if (gtk_window_is_active(GTK_WINDOW(object))) {
        SetActiveWindow(window);
    } else if (GetActiveWindow() == window) {
        SetActiveWindow(kNoWindow);
    }
}

gboolean OnDelete(GtkWidget*, GdkEvent*, gpointer data) {
    // Closing is the window's own decision: WM_CLOSE asks it.
    PostMessage(HandleOf(data), WM_CLOSE, 0, 0);
    return TRUE;
}

void OnAllocate(GtkWidget*, GdkRectangle* allocation, gpointer data) {
    const WindowHandle window = HandleOf(data);
    const Size size = GetClientSize(window);
    if (size.width == allocation->width && size.height == allocation->height) return;
    const int width = allocation->width, height = allocation->height;
    // Told after the allocation, so that the window's handler may size its children.
    g_idle_add_full(
        G_PRIORITY_DEFAULT,
        [](gpointer p) -> gboolean {
            auto* args = static_cast<std::tuple<WindowHandle, int, int>*>(p);
            FromDisplay quiet;
            SetClientSize(std::get<0>(*args), std::get<1>(*args), std::get<2>(*args));
            return G_SOURCE_REMOVE;
        },
        new std::tuple<WindowHandle, int, int>(window, width, height),
        [](gpointer p) { delete static_cast<std::tuple<WindowHandle, int, int>*>(p); });
}

// Notes where the area shows now (after any allocation, map or unmap).
void NotePlace(GtkWidget* area, WindowHandle window) {
    GtkWidget* top = gtk_widget_get_toplevel(area);
    GdkWindow* topWindow = top ? gtk_widget_get_window(top) : nullptr;
    NativePlace place;
    if (topWindow && gtk_widget_get_realized(area) && gtk_widget_is_toplevel(top)) {
        int x = 0, y = 0;
        gtk_widget_translate_coordinates(area, top, 0, 0, &x, &y);
        place.topWindow = gdk_x11_window_get_xid(topWindow);
        place.x = x;
        place.y = y;
        place.width = gtk_widget_get_allocated_width(area);
        place.height = gtk_widget_get_allocated_height(area);
        place.mapped = gtk_widget_get_mapped(area);
    }
    std::lock_guard<std::mutex> hold(xidMutex);
    if (place.topWindow)
        Xids()[window] = place;
    else
        Xids().erase(window);
}

void OnRealize(GtkWidget* widget, gpointer data) {
    NotePlace(widget, HandleOf(data));
}

void OnPlacedAllocation(GtkWidget* widget, GdkRectangle*, gpointer data) {
    NotePlace(widget, HandleOf(data));
}

void OnUnrealize(GtkWidget*, gpointer data) {
    std::lock_guard<std::mutex> hold(xidMutex);
    Xids().erase(HandleOf(data));
}

void OnAreaDestroyed(GtkWidget* widget, gpointer data) {
    const WindowHandle window = HandleOf(data);
    auto it = Table().find(window);
    if (it != Table().end() && it->second.area == widget) Table().erase(it);
    std::lock_guard<std::mutex> hold(xidMutex);
    Xids().erase(window);
}

gboolean OnDraw(GtkWidget* widget, cairo_t* cr, gpointer data) {
    const WindowHandle window = HandleOf(data);
    auto it = Table().find(window);
    if (it == Table().end() || !it->second.painted) return FALSE;
    const Size size = GetClientSize(window);
    const std::vector<uint8_t> rgb = GetWindowPixels(window);
    if (size.width <= 0 || size.height <= 0 ||
        rgb.size() != static_cast<size_t>(size.width) * size.height * 3)
        return FALSE;
    cairo_surface_t* surface =
        cairo_image_surface_create(CAIRO_FORMAT_RGB24, size.width, size.height);
    cairo_surface_flush(surface);
    unsigned char* data_ = cairo_image_surface_get_data(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    for (int y = 0; y < size.height; ++y) {
        auto* row = reinterpret_cast<uint32_t*>(data_ + static_cast<size_t>(y) * stride);
        const uint8_t* from = rgb.data() + static_cast<size_t>(y) * size.width * 3;
        for (int x = 0; x < size.width; ++x, from += 3)
            row[x] = (uint32_t{from[0]} << 16) | (uint32_t{from[1]} << 8) | from[2];
    }
    cairo_surface_mark_dirty(surface);
    cairo_set_source_surface(cr, surface, 0, 0);
    cairo_paint(cr);
    cairo_surface_destroy(surface);
    return FALSE;  // children draw over it
}

GtkWidget* MakeArea(WindowHandle window, int width, int height) {
    GtkWidget* area = gtk_fixed_new();
    gtk_widget_set_has_window(area, TRUE);
    gtk_widget_set_can_focus(area, TRUE);
    gtk_widget_set_app_paintable(area, TRUE);
    gtk_widget_add_events(area, GDK_POINTER_MOTION_MASK | GDK_BUTTON_PRESS_MASK |
                                    GDK_BUTTON_RELEASE_MASK | GDK_KEY_PRESS_MASK |
                                    GDK_KEY_RELEASE_MASK | GDK_FOCUS_CHANGE_MASK |
                                    GDK_ENTER_NOTIFY_MASK | GDK_LEAVE_NOTIFY_MASK |
                                    GDK_SCROLL_MASK | GDK_STRUCTURE_MASK);
    gtk_widget_set_size_request(area, std::max(1, width), std::max(1, height));
    gpointer data = HandleData(window);
    g_signal_connect(area, "button-press-event", G_CALLBACK(OnButton), data);
    g_signal_connect(area, "button-release-event", G_CALLBACK(OnButton), data);
    g_signal_connect(area, "motion-notify-event", G_CALLBACK(OnMotion), data);
    g_signal_connect(area, "enter-notify-event", G_CALLBACK(OnCrossing), data);
    g_signal_connect(area, "leave-notify-event", G_CALLBACK(OnCrossing), data);
    g_signal_connect(area, "scroll-event", G_CALLBACK(OnScroll), data);
    g_signal_connect(area, "key-press-event", G_CALLBACK(OnKey), data);
    g_signal_connect(area, "key-release-event", G_CALLBACK(OnKey), data);
    g_signal_connect(area, "focus-in-event", G_CALLBACK(OnFocus), data);
    g_signal_connect(area, "focus-out-event", G_CALLBACK(OnFocus), data);
    g_signal_connect(area, "draw", G_CALLBACK(OnDraw), data);
    g_signal_connect_after(area, "realize", G_CALLBACK(OnRealize), data);
    g_signal_connect(area, "unrealize", G_CALLBACK(OnUnrealize), data);
    g_signal_connect_after(area, "map", G_CALLBACK(OnRealize), data);
    g_signal_connect_after(area, "unmap", G_CALLBACK(OnRealize), data);
    g_signal_connect_after(area, "size-allocate", G_CALLBACK(OnPlacedAllocation), data);
    g_signal_connect(area, "destroy", G_CALLBACK(OnAreaDestroyed), data);
    AttachDropTarget(area, window);
    return area;
}

GtkWidget* MakeTop(WindowHandle window, const std::string& caption, int x, int y, int width,
                   int height, bool frameless, bool topmost) {
    GtkWidget* top = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_title(GTK_WINDOW(top), caption.c_str());
    gtk_window_set_default_size(GTK_WINDOW(top), std::max(1, width), std::max(1, height));
    gtk_window_move(GTK_WINDOW(top), x, y);
    if (frameless) {
        gtk_window_set_decorated(GTK_WINDOW(top), FALSE);
        gtk_window_set_skip_taskbar_hint(GTK_WINDOW(top), TRUE);
        gtk_window_set_type_hint(GTK_WINDOW(top), GDK_WINDOW_TYPE_HINT_SPLASHSCREEN);
    }
    if (topmost) gtk_window_set_keep_above(GTK_WINDOW(top), TRUE);
    gpointer data = HandleData(window);
    g_signal_connect(top, "delete-event", G_CALLBACK(OnDelete), data);
    g_signal_connect(top, "notify::is-active", G_CALLBACK(OnActive), data);
    return top;
}

void Place(WindowHandle window, Shown& shown, WindowHandle parent, int x, int y,
           const std::string& caption, int width, int height, bool frameless, bool topmost) {
    auto up = parent != kNoWindow ? Table().find(parent) : Table().end();
    if (up != Table().end() && up->second.area) {
        gtk_fixed_put(GTK_FIXED(up->second.area), shown.area, x, y);
    } else {
        shown.top = MakeTop(window, caption, x, y, width, height, frameless, topmost);
        gtk_container_add(GTK_CONTAINER(shown.top), shown.area);
        // The client area follows the window's size; its request only sets the least.
        gtk_widget_set_size_request(shown.area, 1, 1);
        g_signal_connect(shown.area, "size-allocate", G_CALLBACK(OnAllocate),
                         HandleData(window));
    }
}

Shown* Find(WindowHandle window) {
    auto it = Table().find(window);
    return it == Table().end() ? nullptr : &it->second;
}

}  // namespace

// ---- the choice and the UI thread ---------------------------------------------------

bool Active() {
    return Chosen().active && !uiBroken.load();
}

const std::string& DisplayName() {
    return Chosen().name;
}

bool OnUiThread() {
    return uiStarted.load() && uiThread == std::this_thread::get_id();
}

bool AdoptUiThread() {
    if (!Active()) return false;
    // GTK runs on the program's main thread: windows of other threads (a splash's)
    // show once the main thread runs its loop.
    static thread_local const bool isMain = syscall(SYS_gettid) == getpid();
    if (!isMain) return OnUiThread();
    if (uiStarted.load()) return true;
    std::lock_guard<std::mutex> hold(uiMutex);
    if (uiStarted) return uiThread == std::this_thread::get_id();
    gdk_set_allowed_backends("x11");
    if (!gtk_init_check(nullptr, nullptr)) {
        uiBroken = true;
        return false;
    }
    g_main_context_acquire(g_main_context_default());
    // GTK installs its own X error handler: ours goes on top and hands GTK its errors.
    gtkErrorHandler = XSetErrorHandler(OnXError);
    uiThread = std::this_thread::get_id();
    uiStarted = true;
    ReadScreen();
    MarkUiQueue();
    return true;
}

void SetQuietConnection(_XDisplay* display) {
    quietConnection = display;
}

int QuietErrorCount() {
    return quietErrors.load();
}

// Tasks handed to the UI thread. glib's own hand-over of an idle source's data is not
// visible to a race checker (its locks are not pthread ones), so each task goes through
// this queue under a lock of ours; every idle source runs the oldest task.
namespace {
std::mutex uiTasksMutex;
std::deque<std::function<void()>> uiTasks;
}  // namespace

void RunOnUi(std::function<void()> task) {
    if (!task) return;
    if (OnUiThread()) {
        task();
        return;
    }
    if (!Active()) return;
    {
        std::lock_guard<std::mutex> hold(uiTasksMutex);
        uiTasks.push_back(std::move(task));
    }
    GSource* source = g_idle_source_new();
    g_source_set_priority(source, G_PRIORITY_DEFAULT);
    g_source_set_callback(
        source,
        [](gpointer) -> gboolean {
            std::function<void()> next;
            {
                std::lock_guard<std::mutex> hold(uiTasksMutex);
                if (uiTasks.empty()) return G_SOURCE_REMOVE;
                next = std::move(uiTasks.front());
                uiTasks.pop_front();
            }
            next();
            return G_SOURCE_REMOVE;
        },
        nullptr, nullptr);
    g_source_attach(source, g_main_context_default());
    g_source_unref(source);
}

void RunOnUiAndWait(const std::function<void()>& task) {
    if (OnUiThread() || !uiStarted.load()) {
        if (OnUiThread()) task();
        return;
    }
    auto done = std::make_shared<std::promise<void>>();
    auto finished = done->get_future();
    RunOnUi([&task, done] {
        task();
        done->set_value();
    });
    finished.wait();
}

void WaitForEvents(std::unique_lock<std::mutex>& lock, std::optional<int64_t> timeoutMs) {
    lock.unlock();
    GMainContext* context = g_main_context_default();
    if (timeoutMs && *timeoutMs <= 0) {
        for (int i = 0; i < 100 && g_main_context_iteration(context, FALSE); ++i) {
        }
    } else {
        GSource* timer = nullptr;
        if (timeoutMs) {
            timer = g_timeout_source_new(static_cast<guint>(std::min<int64_t>(*timeoutMs, 60000)));
            g_source_set_callback(
                timer, [](gpointer) -> gboolean { return G_SOURCE_REMOVE; }, nullptr, nullptr);
            g_source_attach(timer, context);
        }
        g_main_context_iteration(context, TRUE);
        if (timer) {
            g_source_destroy(timer);
            g_source_unref(timer);
        }
    }
    lock.lock();
}

void Wake() {
    if (uiStarted.load()) g_main_context_wakeup(g_main_context_default());
}

// ---- mirrors of the window table ----------------------------------------------------

void WindowCreated(WindowHandle window, const WindowCreateInfo& info) {
    if (!Active()) return;
    RunOnUi([window, parent = info.parent, caption = info.caption, x = info.x, y = info.y,
             width = info.width, height = info.height, frameless = info.frameless,
             topmost = info.topmost] {
        if (!IsWindow(window) || Find(window)) return;
        Shown shown;
        shown.area = MakeArea(window, width, height);
        Place(window, shown, parent, x, y, caption, width, height, frameless, topmost);
        Table()[window] = shown;
        // A child shows with its parent unless hidden; the record says which.
        if (!shown.top && GetShowState(window) != ShowState::Hidden) gtk_widget_show(shown.area);
        if (shown.top) gtk_widget_show(shown.area);
    });
}

void WindowDestroyed(WindowHandle window) {
    if (!Active()) return;
    RunOnUi([window] {
        Shown* shown = Find(window);
        if (!shown) return;
        GtkWidget* widget = shown->top ? shown->top : shown->area;
        Table().erase(window);
        gtk_widget_destroy(widget);
    });
}

void WindowShown(WindowHandle window, ShowState show) {
    if (!Active()) return;
    RunOnUi([window, show] {
        Shown* shown = Find(window);
        if (!shown) return;
        if (!shown->top) {
            gtk_widget_set_visible(shown->area, show != ShowState::Hidden);
            return;
        }
        GtkWindow* top = GTK_WINDOW(shown->top);
        switch (show) {
            case ShowState::Hidden:
                gtk_widget_hide(shown->top);
                break;
            case ShowState::Normal:
                gtk_window_deiconify(top);
                gtk_window_unmaximize(top);
                gtk_widget_show(shown->top);
                break;
            case ShowState::Minimized:
                gtk_widget_show(shown->top);
                gtk_window_iconify(top);
                break;
            case ShowState::Maximized:
                gtk_widget_show(shown->top);
                gtk_window_maximize(top);
                break;
        }
    });
}

void WindowResized(WindowHandle window, int width, int height) {
    if (!Active() || echo > 0) return;
    RunOnUi([window, width, height] {
        Shown* shown = Find(window);
        if (!shown) return;
        if (shown->top)
            gtk_window_resize(GTK_WINDOW(shown->top), std::max(1, width), std::max(1, height));
        else
            gtk_widget_set_size_request(shown->area, std::max(1, width), std::max(1, height));
    });
}

void WindowTextChanged(WindowHandle window, const std::string& text) {
    if (!Active()) return;
    RunOnUi([window, text] {
        Shown* shown = Find(window);
        if (shown && shown->top) gtk_window_set_title(GTK_WINDOW(shown->top), text.c_str());
    });
}

void WindowReparented(WindowHandle window, WindowHandle parent) {
    if (!Active()) return;
    RunOnUi([window, parent] {
        Shown* shown = Find(window);
        if (!shown) return;
        GtkWidget* area = shown->area;
        g_object_ref(area);
        gtk_container_remove(GTK_CONTAINER(gtk_widget_get_parent(area)), area);
        if (shown->top) {
            gtk_widget_destroy(shown->top);
            shown->top = nullptr;
        }
        const Rect r = GetWindowRect(window);
        const std::string caption = GetWindowText(window);
        Place(window, *shown, parent, r.left, r.top, caption, r.right - r.left, r.bottom - r.top,
              IsWindowFrameless(window), IsWindowTopmost(window));
        if (!shown->top) {
            gtk_widget_set_size_request(area, std::max(1, r.right - r.left),
                                        std::max(1, r.bottom - r.top));
        }
        g_object_unref(area);
        const bool visible = GetShowState(window) != ShowState::Hidden;
        if (shown->top) {
            gtk_widget_show(area);
            gtk_widget_set_visible(shown->top, visible);
        } else {
            gtk_widget_set_visible(area, visible);
        }
    });
}

void WindowPixelsChanged(WindowHandle window) {
    if (!Active()) return;
    RunOnUi([window] {
        Shown* shown = Find(window);
        if (!shown) return;
        shown->painted = true;
        gtk_widget_queue_draw(shown->area);
    });
}

void WindowRaised(WindowHandle window) {
    if (!Active()) return;
    RunOnUi([window] {
        Shown* shown = Find(window);
        if (shown && shown->top && gtk_widget_get_visible(shown->top))
            gtk_window_present(GTK_WINDOW(shown->top));
    });
}

void WindowTopmostChanged(WindowHandle window, bool topmost) {
    if (!Active()) return;
    RunOnUi([window, topmost] {
        Shown* shown = Find(window);
        if (shown && shown->top) gtk_window_set_keep_above(GTK_WINDOW(shown->top), topmost);
    });
}

void FocusChanged(WindowHandle window) {
    if (!Active() || echo > 0 || window == kNoWindow) return;
    RunOnUi([window] {
        Shown* shown = Find(window);
        if (!shown || gtk_widget_has_focus(shown->area)) return;
        FromDisplay quiet;
        gtk_widget_grab_focus(shown->area);
    });
}

void CaptureChanged(WindowHandle) {
    // GTK keeps sending the pointer to the widget a button went down on until it goes
    // up; beyond that the capture window gets the pointer messages (PostPointer).
}

void CursorChanged(Cursor cursor) {
    if (!Active()) return;
    RunOnUi([cursor] {
        WindowHandle target = GetCapture() != kNoWindow ? GetCapture() : lastPointerWindow;
        Shown* shown = Find(target);
        GdkWindow* gdk = shown ? gtk_widget_get_window(shown->area) : nullptr;
        if (!gdk) return;
        const char* name = "default";
        switch (cursor.shape) {
            case CursorShape::None:
                name = "none";
                break;
            case CursorShape::Arrow:
                name = "default";
                break;
            case CursorShape::Wait:
                name = "wait";
                break;
            case CursorShape::SizeAll:
                name = "move";
                break;
            case CursorShape::Resource:
                name = "crosshair";
                break;
        }
        GdkCursor* shape = gdk_cursor_new_from_name(gdk_window_get_display(gdk), name);
        gdk_window_set_cursor(gdk, shape);
        if (shape) g_object_unref(shape);
    });
}

bool NativePlacement(WindowHandle window, NativePlace* place) {
    std::lock_guard<std::mutex> hold(xidMutex);
    auto it = Xids().find(window);
    if (it == Xids().end()) return false;
    if (place) *place = it->second;
    return true;
}

bool WorkArea(Rect* area) {
    if (!uiStarted.load() || !area) return false;
    if (OnUiThread()) ReadScreen();
    std::lock_guard<std::mutex> hold(areaMutex);
    if (workArea.right <= workArea.left || workArea.bottom <= workArea.top) return false;
    *area = workArea;
    return true;
}

bool ScreenColorBits(int* bits) {
    if (!Active() || !bits) return false;
    if (OnUiThread()) ReadScreen();
    if (screenBits.load() <= 0) {
        // Asked before any window: the server's default depth.
        Display* probe = XOpenDisplay(DisplayName().c_str());
        if (!probe) return false;
        screenBits = DefaultDepth(probe, DefaultScreen(probe));
        XCloseDisplay(probe);
    }
    *bits = screenBits.load();
    return true;
}

bool MonitorCount(int* count) {
    if (!uiStarted.load() || !count) return false;
    if (OnUiThread()) ReadScreen();
    if (monitors.load() <= 0) return false;
    *count = monitors.load();
    return true;
}

GtkWidget* AreaOf(WindowHandle window) {
    Shown* shown = Find(window);
    return shown ? shown->area : nullptr;
}

GtkWindow* TopLevelOf(WindowHandle window) {
    for (WindowHandle w = window; w != kNoWindow; w = GetParent(w)) {
        Shown* shown = Find(w);
        if (shown && shown->top) return GTK_WINDOW(shown->top);
    }
    return nullptr;
}

}  // namespace platform::display
