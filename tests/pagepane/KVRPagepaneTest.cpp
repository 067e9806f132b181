#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "pagepane/KVRPagepane.h"
#include "platform/Input.h"
#include "platform/WebView.h"
#include "platform/Window.h"
#include "support/ComponentLibrary.h"

using namespace platform;

namespace {

// A scripting object of the holder: records the calls page script makes on it.
class RecordingExternal final : public IDispatch {
public:
    static inline int alive = 0;
    RecordingExternal() { ++alive; }

    HRESULT QueryInterface(const Guid& iid, void** out) override {
        if (!out) return E_POINTER;
        if (iid == IUnknown::kIid || iid == IDispatch::kIid) {
            AddRef();
            *out = static_cast<IDispatch*>(this);
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
    HRESULT GetTypeInfoCount(uint32_t* count) override {
        *count = 0;
        return S_OK;
    }
    HRESULT GetTypeInfo(uint32_t, IUnknown**) override { return E_NOTIMPL; }
    HRESULT GetIDsOfNames(const char16_t* const* names, uint32_t count, DISPID* ids) override {
        static const DispatchName table[] = {{"SetDomain", 7}};
        return LookUpDispatchNames(table, 1, names, count, ids);
    }
    HRESULT Invoke(DISPID member, uint16_t, DISPPARAMS* params, VARIANT*) override {
        std::string call = std::to_string(member);
        for (uint32_t i = params->argCount; i-- > 0;)
            call += " " + Utf8FromBstr(params->args[i].bstrValue);
        calls.push_back(call);
        return S_OK;
    }

    std::vector<std::string> calls;

private:
    ~RecordingExternal() { --alive; }
    RefCount refs_;
};

// A frame window holding a web pane of 300 x 200; the browsers made meanwhile are the
// stand-ins kept in `views` (or none when `refuse` is set).
class PagepaneTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetWebViewMakerForTesting([this](IWebView** out) -> HRESULT {
            if (refuse) return E_FAIL;
            auto* view = new StandInWebView;
            view->AddRef();
            views.push_back(RefPtr<StandInWebView>::Adopt(view));
            *out = view;
            return S_OK;
        });
        WindowCreateInfo info;
        info.caption = "Frame";
        frame = CreateWindow(info);
        auto factory = KVRPagepane::MakeFactory();
        ASSERT_EQ(
            factory->CreateInstance(IKVRPagepane::kIid, reinterpret_cast<void**>(pane.OutParam())),
            S_OK);
        pane->QueryInterface(IWindowedObject::kIid, reinterpret_cast<void**>(windowed.OutParam()));
    }
    void TearDown() override {
        DestroyWindow(frame);
        windowed.Reset();
        pane.Reset();
        SetWebViewMakerForTesting({});
        EXPECT_EQ(KVRPagepane::LiveObjects(), 0);
    }

    WindowHandle MakeWindow() {
        WindowHandle w = kNoWindow;
        EXPECT_EQ(windowed->CreateObjectWindow(frame, 300, 200, &w), S_OK);
        return w;
    }
    StandInWebView& View() { return *views.at(0).Get(); }
    KVRPagepane& Pane() { return *static_cast<KVRPagepane*>(pane.Get()); }

    bool refuse = false;
    std::vector<RefPtr<StandInWebView>> views;
    WindowHandle frame = kNoWindow;
    RefPtr<IKVRPagepane> pane;
    RefPtr<IWindowedObject> windowed;
};

TEST_F(PagepaneTest, NewPaneShowsTheBlankPageUntilToldWhereToGo) {
    const WindowHandle w = MakeWindow();
    ASSERT_EQ(views.size(), 1u);
    EXPECT_EQ(View().Navigations(), std::vector<std::string>{"about:blank"});
    EXPECT_EQ(View().Host(), w);
    EXPECT_TRUE(View().IsActive());
    EXPECT_EQ(View().SinkCount(), 1u);
    uint32_t flags = 0;
    ASSERT_TRUE(View().Site());
    View().Site()->GetHostInfo(&flags);
    EXPECT_EQ(flags, kWebHostNoScrollBars);

    // The caller keeps (and frees) its own text.
    ScopedBstr url("http://content.example/directory/directory.aspx");
    BSTR text = url.Get();
    EXPECT_EQ(pane->GoToWebpage(&text), S_OK);
    EXPECT_EQ(View().Address(), "http://content.example/directory/directory.aspx");
    EXPECT_EQ(url.Utf8(), "http://content.example/directory/directory.aspx");

    // The navigation's own result comes back.
    ScopedBstr empty("");
    BSTR none = empty.Get();
    EXPECT_EQ(pane->GoToWebpage(&none), E_INVALIDARG);
    EXPECT_EQ(pane->GoToWebpage(nullptr), E_POINTER);
    EXPECT_EQ(View().Navigations().size(), 2u);
}

TEST_F(PagepaneTest, MembersDoNothingBeforeTheWindowExists) {
    auto* external = new RecordingExternal;
    ScopedBstr url("http://content.example/");
    BSTR text = url.Get();
    Message key{kNoWindow, WM_KEYDOWN, 'A', 0, 0};
    EXPECT_EQ(pane->GoToWebpage(&text), S_OK);
    EXPECT_EQ(pane->put_External(external), S_OK);
    EXPECT_EQ(pane->RunAccel(&key), S_OK);
    EXPECT_TRUE(views.empty());

    MakeWindow();
    EXPECT_EQ(View().Navigations(), std::vector<std::string>{"about:blank"});
    EXPECT_EQ(View().PlayExternalCall("SetDomain", {}), E_FAIL);  // the early object was not kept
    external->Release();
    EXPECT_EQ(RecordingExternal::alive, 0);
}

TEST_F(PagepaneTest, PageScriptReachesTheExternalObjectUntilThePaneGoes) {
    const WindowHandle w = MakeWindow();
    EXPECT_EQ(View().PlayExternalCall("SetDomain", {}), E_FAIL);  // none yet

    auto* external = new RecordingExternal;
    EXPECT_EQ(pane->put_External(external), S_OK);
    EXPECT_EQ(pane->put_External(nullptr), S_OK);  // keeps the one given
    external->Release();                           // the pane holds its own reference
    ASSERT_EQ(RecordingExternal::alive, 1);

    std::vector<VARIANT> args(2);
    SetVariantUtf8(&args[0], "http://a.example/");
    SetVariantUtf8(&args[1], "x");
    EXPECT_EQ(View().PlayExternalCall("setdomain", std::move(args)), S_OK);
    EXPECT_EQ(external->calls, std::vector<std::string>{"7 http://a.example/ x"});
    EXPECT_EQ(View().PlayExternalCall("Nothing", {}), DISP_E_UNKNOWNNAME);

    DestroyWindow(w);
    EXPECT_EQ(RecordingExternal::alive, 0);
    EXPECT_EQ(View().PlayExternalCall("SetDomain", {}), E_FAIL);
}

TEST_F(PagepaneTest, TitleBecomesTheFrameCaptionAndCloseClosesTheFrame) {
    const WindowHandle w = MakeWindow();
    View().PlayTitleChange("Room Wizard");
    EXPECT_EQ(GetWindowText(frame), "Room Wizard");

    // A long title is cut to whole characters.
    std::string title(258, 'a');
    title += "\xC3\xA9\xC3\xA9\xC3\xA9";  // three two-byte characters
    View().PlayTitleChange(title);
    EXPECT_EQ(GetWindowText(frame), std::string(258, 'a') + "\xC3\xA9");

    // window.close() closes the frame, which takes the pane's window and browser with it
    // while the browser is still telling of the close.
    View().PlayWindowClosing();
    EXPECT_FALSE(IsWindow(frame));
    EXPECT_FALSE(IsWindow(w));
    EXPECT_EQ(Pane().Site(), nullptr);
    EXPECT_TRUE(View().IsClosed());
    EXPECT_FALSE(View().IsActive());
    EXPECT_EQ(View().SinkCount(), 0u);
    EXPECT_FALSE(View().Site());

    // Later events find nobody.
    View().PlayTitleChange("Late");
    ScopedBstr url("http://content.example/");
    BSTR text = url.Get();
    EXPECT_EQ(pane->GoToWebpage(&text), S_OK);
    EXPECT_EQ(View().Navigations().size(), 1u);
}

TEST_F(PagepaneTest, BrowserFollowsTheWindowSizeAndGetsTheKeys) {
    const WindowHandle w = MakeWindow();
    EXPECT_EQ(View().Position().right, 300);
    EXPECT_EQ(View().Position().bottom, 200);
    SetClientSize(w, 410, 250);
    EXPECT_EQ(View().Position().right, 410);
    EXPECT_EQ(View().Clip().bottom, 250);
    EXPECT_EQ(GetClientSize(w).width, 410);

    Message key{w, WM_KEYDOWN, VK_TAB, 0, 0};
    EXPECT_EQ(pane->RunAccel(&key), S_OK);  // the browser did not use it: still S_OK
    ASSERT_EQ(View().OfferedKeys().size(), 1u);
    EXPECT_EQ(View().OfferedKeys()[0].wParam, static_cast<WParam>(VK_TAB));
    EXPECT_EQ(pane->RunAccel(nullptr), S_OK);
}

TEST_F(PagepaneTest, PaneWithoutABrowserStaysEmpty) {
    refuse = true;
    const WindowHandle w = MakeWindow();
    ASSERT_TRUE(IsWindow(w));
    ASSERT_NE(Pane().Site(), nullptr);
    EXPECT_EQ(Pane().Site()->Browser(), nullptr);
    ScopedBstr url("http://content.example/");
    BSTR text = url.Get();
    EXPECT_EQ(pane->GoToWebpage(&text), S_OK);
    Message key{w, WM_KEYDOWN, 'A', 0, 0};
    EXPECT_EQ(Pane().Site()->TranslateAccelerator(&key), E_FAIL);
    EXPECT_EQ(pane->RunAccel(&key), S_OK);
    SetClientSize(w, 50, 60);
    DestroyWindow(w);
    EXPECT_EQ(Pane().Site(), nullptr);
}

// Events whose arguments are not what they claim are ignored.
TEST_F(PagepaneTest, EventsWithOddArgumentsAreIgnored) {
    MakeWindow();
    RefPtr<IWebViewSite> site = View().Site();
    ASSERT_TRUE(site);
    auto* sink = new WebBrowserEventSink(static_cast<WebBrowserSite*>(site.Get()));
    VARIANT number;
    SetVariantInt32(&number, 5);
    DISPPARAMS wrongType{&number, nullptr, 1, 0};
    DISPPARAMS noArgs;
    DISPPARAMS missing{nullptr, nullptr, 1, 0};
    for (DISPPARAMS* p : {&wrongType, &noArgs, &missing, static_cast<DISPPARAMS*>(nullptr)})
        EXPECT_EQ(sink->Invoke(DISPID_TITLECHANGE, DISPATCH_METHOD, p, nullptr), S_OK);
    EXPECT_EQ(GetWindowText(frame), "Frame");

    VARIANT title;
    SetVariantUtf8(&title, "Detached");
    DISPPARAMS one{&title, nullptr, 1, 0};
    sink->Detach();
    EXPECT_EQ(sink->Invoke(DISPID_TITLECHANGE, DISPATCH_METHOD, &one, nullptr), S_OK);
    EXPECT_EQ(GetWindowText(frame), "Frame");
    ClearVariant(&title);
    sink->Release();
}

TEST_F(PagepaneTest, ScriptDrivesThePaneByName) {
    MakeWindow();
    const char16_t* names[] = {u"gotowebpage"};
    DISPID id = 0;
    ASSERT_EQ(pane->GetIDsOfNames(names, 1, &id), S_OK);
    EXPECT_EQ(id, IKVRPagepane::kDispidGoToWebpage);

    VARIANT arg;
    SetVariantUtf8(&arg, "http://content.example/help.htm");
    DISPPARAMS call{&arg, nullptr, 1, 0};
    EXPECT_EQ(pane->Invoke(id, DISPATCH_METHOD, &call, nullptr), S_OK);
    EXPECT_EQ(View().Address(), "http://content.example/help.htm");
    ClearVariant(&arg);

    auto* external = new RecordingExternal;
    arg.type = VariantType::Unknown;
    arg.unknownValue = external;  // the variant holds the creation reference
    const DISPID put = DISPID_PROPERTYPUT;
    DISPPARAMS set{&arg, &put, 1, 1};
    EXPECT_EQ(pane->Invoke(IKVRPagepane::kDispidExternal, DISPATCH_PROPERTYPUT, &set, nullptr),
              S_OK);
    ClearVariant(&arg);
    EXPECT_EQ(View().PlayExternalCall("SetDomain", {}), S_OK);

    DISPPARAMS none;
    EXPECT_EQ(pane->Invoke(IKVRPagepane::kDispidGoToWebpage, DISPATCH_METHOD, &none, nullptr),
              DISP_E_BADPARAMCOUNT);
    EXPECT_EQ(pane->Invoke(IKVRPagepane::kDispidRunAccel, DISPATCH_METHOD, &none, nullptr),
              DISP_E_TYPEMISMATCH);
    EXPECT_EQ(pane->Invoke(99, DISPATCH_METHOD, &none, nullptr), DISP_E_MEMBERNOTFOUND);
}

}  // namespace

TEST(PagepaneLibraryTest, RegistersAndServesTheWebPane) {
    CheckComponentLibrary(PAGEPANE_LIBRARY, kClsidKVRPagepane, kProgIdKVRPagepane);
}
