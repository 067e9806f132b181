// The web view on the display: WebKitGTK inside the host window's client area. Page
// script reaches the holder's external object as window.external (each call answers a
// promise of the member's result), the page's events go to the advised sinks, and the
// page's global functions can be called through the layer's page-script service.

#include <webkit2/webkit2.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "../Display.h"
#include "GtkInternal.h"
#include "platform/GLContext.h"
#include "platform/PageScript.h"
#include "platform/WebView.h"

namespace platform::display {
namespace {

constexpr char kHandler[] = "kivoraExternal";

// window.external: any member is a function that hands its name and arguments over.
constexpr char kExternalScript[] = R"JS(
(function () {
  const handler = window.webkit && window.webkit.messageHandlers &&
                  window.webkit.messageHandlers.kivoraExternal;
  if (!handler) return;
  const external = new Proxy({}, {
    get: function (target, name) {
      if (typeof name !== 'string' || name === 'then') return undefined;
      return function () {
        return handler.postMessage({name: name, args: Array.prototype.slice.call(arguments)});
      };
    }
  });
  try {
    Object.defineProperty(window, 'external', {value: external, configurable: true});
  } catch (e) {
    window.external = external;
  }
})();
)JS";

void ToVariant(JSCValue* value, VARIANT* out) {
    InitVariant(out);
    if (!value || jsc_value_is_undefined(value) || jsc_value_is_null(value)) return;
    if (jsc_value_is_boolean(value)) {
        SetVariantBool(out, jsc_value_to_boolean(value));
    } else if (jsc_value_is_number(value)) {
        const double number = jsc_value_to_double(value);
        if (std::isfinite(number) && number == std::floor(number) && number >= -2147483648.0 &&
            number <= 2147483647.0)
            SetVariantInt32(out, static_cast<int32_t>(number));
        else
            SetVariantDouble(out, number);
    } else {
        gchar* text = jsc_value_to_string(value);
        SetVariantUtf8(out, text ? text : "");
        g_free(text);
    }
}

JSCValue* FromVariant(JSCContext* context, const VARIANT& v) {
    switch (v.type) {
        case VariantType::Bool:
            return jsc_value_new_boolean(context, v.boolValue);
        case VariantType::Int16:
            return jsc_value_new_number(context, v.shortValue);
        case VariantType::Int32:
            return jsc_value_new_number(context, v.intValue);
        case VariantType::Int64:
            return jsc_value_new_number(context, static_cast<double>(v.int64Value));
        case VariantType::Double:
            return jsc_value_new_number(context, v.doubleValue);
        case VariantType::Bstr:
            return jsc_value_new_string(context, Utf8FromBstr(v.bstrValue).c_str());
        default:
            return jsc_value_new_undefined(context);
    }
}

bool IsScriptName(const std::string& name) {
    if (name.empty() || name.size() > 200 || std::isdigit(static_cast<unsigned char>(name[0])))
        return false;
    return std::all_of(name.begin(), name.end(), [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '$';
    });
}

class GtkWebView;

// The page shown in the view, as the page-script service reaches it.
class ViewPageScript final : public PageScript {
public:
    explicit ViewPageScript(WebKitWebView* view) : view_(view) {
        g_object_add_weak_pointer(G_OBJECT(view_), reinterpret_cast<gpointer*>(&view_));
    }
    ~ViewPageScript() override {
        if (view_) g_object_remove_weak_pointer(G_OBJECT(view_), reinterpret_cast<gpointer*>(&view_));
    }
    bool CallFunction(const std::string& name) override;

private:
    WebKitWebView* view_;
};

bool ViewPageScript::CallFunction(const std::string& name) {
    if (!IsScriptName(name)) return false;
    bool called = false;
    RunOnUiAndWait([&] {
        if (!view_) return;
        struct Wait {
            ModalLoop loop;
            bool done = false;
            bool called = false;
        };
        auto wait = std::make_shared<Wait>();
        const std::string script = "(typeof " + name + " === 'function') ? (" + name +
                                   "(), true) : false";
        auto* keep = new std::shared_ptr<Wait>(wait);
        webkit_web_view_evaluate_javascript(
            view_, script.c_str(), -1, nullptr, nullptr, nullptr,
            [](GObject* object, GAsyncResult* result, gpointer p) {
                std::unique_ptr<std::shared_ptr<Wait>> w(static_cast<std::shared_ptr<Wait>*>(p));
                JSCValue* value = webkit_web_view_evaluate_javascript_finish(
                    WEBKIT_WEB_VIEW(object), result, nullptr);
                (*w)->called = value && jsc_value_is_boolean(value) && jsc_value_to_boolean(value);
                if (value) g_object_unref(value);
                (*w)->done = true;
                (*w)->loop.End(0);
            },
            keep);
        // The answer comes from the page's process: wait for it in a modal loop, so that
        // the UI thread's work goes on meanwhile.
        const guint timeout = g_timeout_add(
            5000,
            [](gpointer p) -> gboolean {
                static_cast<Wait*>(p)->loop.End(-1);
                return G_SOURCE_REMOVE;
            },
            wait.get());
        if (!wait->done) wait->loop.Run();
        if (!wait->done) {
            // Gave up: the callback still owns its reference and finds the loop ended.
        } else {
            g_source_remove(timeout);
        }
        if (!wait->done) return;
        called = wait->called;
    });
    return called;
}

class GtkWebView final : public IWebView {
public:
    GtkWebView() = default;

    HRESULT QueryInterface(const Guid& iid, void** out) override {
        if (!out) return E_POINTER;
        if (iid == IUnknown::kIid || iid == IWebView::kIid) {
            AddRef();
            *out = static_cast<IWebView*>(this);
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    uint32_t AddRef() override { return refs_.Increment(); }
    uint32_t Release() override {
        const uint32_t left = refs_.Decrement();
        if (left == 0) delete this;
        return left;
    }

    HRESULT SetClientSite(IWebViewSite* site) override {
        std::lock_guard<std::mutex> hold(mutex_);
        site_ = site ? RefPtr<IWebViewSite>::Adopt((site->AddRef(), site)) : RefPtr<IWebViewSite>();
        return S_OK;
    }

    HRESULT Activate(WindowHandle host, const Rect& position) override {
        if (!IsWindow(host)) return E_INVALIDARG;
        HRESULT hr = S_OK;
        RunOnUiAndWait([&] {
            GtkWidget* area = AreaOf(host);
            if (!area) {
                hr = E_FAIL;
                return;
            }
            if (!view_) Make();
            if (host_ != host || !gtk_widget_get_parent(GTK_WIDGET(view_))) {
                if (GtkWidget* parent = gtk_widget_get_parent(GTK_WIDGET(view_)))
                    gtk_container_remove(GTK_CONTAINER(parent), GTK_WIDGET(view_));
                gtk_fixed_put(GTK_FIXED(area), GTK_WIDGET(view_), position.left, position.top);
            }
            host_ = host;
            Place(position);
            gtk_widget_show(GTK_WIDGET(view_));
            gtk_widget_grab_focus(GTK_WIDGET(view_));
            script_ = std::make_shared<ViewPageScript>(view_);
            SetPageScript(host_, script_);
        });
        return hr;
    }

    HRESULT SetObjectRects(const Rect& position, const Rect&) override {
        RunOnUiAndWait([&] {
            if (view_) Place(position);
        });
        return S_OK;
    }

    HRESULT Advise(IDispatch* sink, uint32_t* cookie) override {
        if (!sink || !cookie) return E_POINTER;
        std::lock_guard<std::mutex> hold(mutex_);
        sink->AddRef();
        sinks_.push_back({++lastCookie_, RefPtr<IDispatch>::Adopt(sink)});
        *cookie = lastCookie_;
        return S_OK;
    }

    HRESULT Unadvise(uint32_t cookie) override {
        RefPtr<IDispatch> gone;
        std::lock_guard<std::mutex> hold(mutex_);
        auto it = std::find_if(sinks_.begin(), sinks_.end(),
                               [&](const Sink& s) { return s.cookie == cookie; });
        if (it == sinks_.end()) return E_INVALIDARG;
        gone = std::move(it->sink);
        sinks_.erase(it);
        return S_OK;
    }

    HRESULT Navigate(const char16_t* url) override {
        if (BstrLength(url) == 0) return E_INVALIDARG;
        const std::string address = Utf8FromBstr(url);
        RunOnUiAndWait([&] {
            if (!view_) Make();
            webkit_web_view_load_uri(view_, address.c_str());
        });
        return S_OK;
    }

    HRESULT GetLocationURL(BSTR* out) override {
        if (!out) return E_POINTER;
        std::string address;
        RunOnUiAndWait([&] {
            const gchar* uri = view_ ? webkit_web_view_get_uri(view_) : nullptr;
            address = uri ? uri : "";
        });
        *out = BstrFromUtf8(address);
        return S_OK;
    }

    HRESULT TranslateAccelerator(const Message*) override {
        // The page has the keyboard through GTK itself: nothing is left to offer it.
        return S_FALSE;
    }

    HRESULT Close() override {
        RunOnUiAndWait([&] {
            if (view_) webkit_web_view_stop_loading(view_);
            Drop();
        });
        return S_OK;
    }

    HRESULT Deactivate() override {
        RunOnUiAndWait([&] { Drop(); });
        return S_OK;
    }

private:
    ~GtkWebView() {
        RunOnUiAndWait([&] { Drop(); });
    }

    struct Sink {
        uint32_t cookie;
        RefPtr<IDispatch> sink;
    };

    void Make() {
        WebKitUserContentManager* content = webkit_user_content_manager_new();
        WebKitUserScript* script = webkit_user_script_new(
            kExternalScript, WEBKIT_USER_CONTENT_INJECT_TOP_FRAME,
            WEBKIT_USER_SCRIPT_INJECT_AT_DOCUMENT_START, nullptr, nullptr);
        webkit_user_content_manager_add_script(content, script);
        webkit_user_script_unref(script);
        webkit_user_content_manager_register_script_message_handler_with_reply(content, kHandler,
                                                                               nullptr);
        g_signal_connect(content, "script-message-with-reply-received::kivoraExternal",
                         G_CALLBACK(OnExternalCall), this);
        view_ = WEBKIT_WEB_VIEW(webkit_web_view_new_with_user_content_manager(content));
        g_object_unref(content);
        // WebKit's accelerated compositing draws nothing on a software OpenGL (a virtual
        // X server): pages are composited on the CPU unless the machine's OpenGL is real.
        PixelFormatDescription format;
        if (!DescribePixelFormat(1, &format) || format.generic) {
            G_GNUC_BEGIN_IGNORE_DEPRECATIONS
            webkit_settings_set_hardware_acceleration_policy(
                webkit_web_view_get_settings(view_), WEBKIT_HARDWARE_ACCELERATION_POLICY_NEVER);
            G_GNUC_END_IGNORE_DEPRECATIONS
        }
        g_object_ref_sink(view_);
        content_ = content;
        g_signal_connect(view_, "notify::title", G_CALLBACK(OnTitle), this);
        g_signal_connect(view_, "load-changed", G_CALLBACK(OnLoad), this);
        g_signal_connect(view_, "close", G_CALLBACK(OnClose), this);
        g_signal_connect(view_, "create", G_CALLBACK(OnCreate), this);
        g_signal_connect(view_, "drag-begin", G_CALLBACK(OnDragBegin), this);
    }

    void Place(const Rect& position) {
        GtkWidget* widget = GTK_WIDGET(view_);
        if (GtkWidget* parent = gtk_widget_get_parent(widget); parent && GTK_IS_FIXED(parent))
            gtk_fixed_move(GTK_FIXED(parent), widget, position.left, position.top);
        gtk_widget_set_size_request(widget, std::max(1, position.right - position.left),
                                    std::max(1, position.bottom - position.top));
    }

    void Drop() {
        if (script_ && host_ != kNoWindow) SetPageScript(host_, nullptr);
        script_.reset();
        if (!view_) return;
        g_signal_handlers_disconnect_by_data(view_, this);
        if (content_) g_signal_handlers_disconnect_by_data(content_, this);
        gtk_widget_destroy(GTK_WIDGET(view_));
        g_object_unref(view_);
        view_ = nullptr;
        content_ = nullptr;
        host_ = kNoWindow;
    }

    void Fire(DISPID event, std::vector<VARIANT> args) {
        RefPtr<IWebView> self = RefPtr<IWebView>::Adopt(this);
        AddRef();
        std::vector<RefPtr<IDispatch>> sinks;
        {
            std::lock_guard<std::mutex> hold(mutex_);
            for (const Sink& s : sinks_) sinks.push_back(s.sink);
        }
        DISPPARAMS params;
        params.args = args.data();
        params.argCount = static_cast<uint32_t>(args.size());
        for (auto& sink : sinks) sink->Invoke(event, DISPATCH_METHOD, &params, nullptr);
        for (VARIANT& v : args) ClearVariant(&v);
    }

    static void OnTitle(WebKitWebView* view, GParamSpec*, gpointer p) {
        const gchar* title = webkit_web_view_get_title(view);
        std::vector<VARIANT> args(1);
        SetVariantUtf8(&args[0], title ? title : "");
        static_cast<GtkWebView*>(p)->Fire(DISPID_TITLECHANGE, std::move(args));
    }

    static void OnLoad(WebKitWebView* view, WebKitLoadEvent event, gpointer p) {
        if (event != WEBKIT_LOAD_FINISHED) return;
        const gchar* uri = webkit_web_view_get_uri(view);
        std::vector<VARIANT> args(1);
        SetVariantUtf8(&args[0], uri ? uri : "");
        static_cast<GtkWebView*>(p)->Fire(DISPID_NAVIGATECOMPLETE2, std::move(args));
    }

    static void OnClose(WebKitWebView*, gpointer p) {
        std::vector<VARIANT> args(2);
        SetVariantBool(&args[0], false);  // cancel
        SetVariantBool(&args[1], false);  // not a child window
        static_cast<GtkWebView*>(p)->Fire(DISPID_WINDOWCLOSING, std::move(args));
    }

    // A page asking for a new window (a link with a target, window.open) gets its page
    // shown here instead.
    static GtkWidget* OnCreate(WebKitWebView* view, WebKitNavigationAction* action, gpointer) {
        WebKitURIRequest* request = webkit_navigation_action_get_request(action);
        if (request) webkit_web_view_load_request(view, request);
        return nullptr;
    }

    static void OnDragBegin(GtkWidget* widget, GdkDragContext*, gpointer) {
        const gchar* uri = webkit_web_view_get_uri(WEBKIT_WEB_VIEW(widget));
        SetDragSourceUrl(uri ? uri : "");
    }

    static gboolean OnExternalCall(WebKitUserContentManager*, JSCValue* message,
                                   WebKitScriptMessageReply* reply, gpointer p) {
        auto* self = static_cast<GtkWebView*>(p);
        JSCContext* context = jsc_value_get_context(message);
        RefPtr<IDispatch> external;
        {
            std::lock_guard<std::mutex> hold(self->mutex_);
            if (self->site_) self->site_->GetExternal(reinterpret_cast<IDispatch**>(external.OutParam()));
        }
        JSCValue* nameValue = jsc_value_is_object(message)
                                  ? jsc_value_object_get_property(message, "name")
                                  : nullptr;
        gchar* name = nameValue && jsc_value_is_string(nameValue) ? jsc_value_to_string(nameValue)
                                                                  : nullptr;
        if (nameValue) g_object_unref(nameValue);
        if (!external || !name || std::strlen(name) > 256) {
            g_free(name);
            webkit_script_message_reply_return_error_message(reply, "no external object");
            return TRUE;
        }
        // Arguments arrive in call order; a dispatch call takes them last first.
        std::vector<VARIANT> args;
        JSCValue* list = jsc_value_object_get_property(message, "args");
        if (list && jsc_value_is_array(list)) {
            JSCValue* lengthValue = jsc_value_object_get_property(list, "length");
            const double length = jsc_value_to_double(lengthValue);
            g_object_unref(lengthValue);
            const int count = length > 0 && length <= 64 ? static_cast<int>(length) : 0;
            args.resize(static_cast<size_t>(count));
            for (int i = 0; i < count; ++i) {
                JSCValue* item = jsc_value_object_get_property_at_index(list, static_cast<guint>(i));
                ToVariant(item, &args[static_cast<size_t>(count - 1 - i)]);
                g_object_unref(item);
            }
        }
        if (list) g_object_unref(list);
        ScopedBstr member(name);
        g_free(name);
        const char16_t* names[] = {member.Get()};
        DISPID id = DISPID_UNKNOWN;
        HRESULT hr = external->GetIDsOfNames(names, 1, &id);
        VARIANT result;
        InitVariant(&result);
        if (Succeeded(hr)) {
            DISPPARAMS params;
            params.args = args.data();
            params.argCount = static_cast<uint32_t>(args.size());
            hr = external->Invoke(id, DISPATCH_METHOD, &params, &result);
        }
        for (VARIANT& v : args) ClearVariant(&v);
        if (Succeeded(hr)) {
            JSCValue* answer = FromVariant(context, result);
            webkit_script_message_reply_return_value(reply, answer);
            g_object_unref(answer);
        } else {
            webkit_script_message_reply_return_error_message(reply, "the member failed");
        }
        ClearVariant(&result);
        return TRUE;
    }

    RefCount refs_;
    std::mutex mutex_;
    RefPtr<IWebViewSite> site_;
    std::vector<Sink> sinks_;
    uint32_t lastCookie_ = 0;
    WebKitWebView* view_ = nullptr;  // UI thread only
    WebKitUserContentManager* content_ = nullptr;
    WindowHandle host_ = kNoWindow;
    std::shared_ptr<ViewPageScript> script_;
};

}  // namespace

HRESULT MakeWebView(IWebView** out) {
    if (!out) return E_POINTER;
    AdoptUiThread();
    *out = new GtkWebView;
    return S_OK;
}

}  // namespace platform::display
