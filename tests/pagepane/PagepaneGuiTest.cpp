// The web pane on the X display: a real page from a local server reaches the holder's
// external object, gets its answers, and its functions can be called from outside.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "pagepane/KVRPagepane.h"
#include "platform/PageScript.h"
#include "platform/Window.h"
#include "support/LocalHttpServer.h"
#include "support/XDisplayDriver.h"

using namespace platform;

namespace {

constexpr char kPage[] = R"(<html><head><title>Start</title><script>
function checkKVRMessage() { window.external.Seen("checked"); }
window.addEventListener("load", function () {
  window.external.Hello("from page", 7).then(function (answer) {
    document.title = "answer " + answer;
  });
});
</script></head><body><h1>Kivora page</h1></body></html>)";

// The holder's scripting object: records the calls and answers Hello with 42.
class RecordingExternal final : public IDispatch {
public:
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
        static const DispatchName table[] = {{"Hello", 1}, {"Seen", 2}};
        return LookUpDispatchNames(table, 2, names, count, ids);
    }
    HRESULT Invoke(DISPID member, uint16_t, DISPPARAMS* params, VARIANT* result) override {
        std::string call = std::to_string(member);
        for (uint32_t i = params->argCount; i-- > 0;) {
            const VARIANT& a = params->args[i];
            call += " " + (a.type == VariantType::Bstr    ? Utf8FromBstr(a.bstrValue)
                           : a.type == VariantType::Int32 ? std::to_string(a.intValue)
                                                          : std::string("?"));
        }
        calls.push_back(call);
        if (member == 1 && result) SetVariantInt32(result, 42);
        return S_OK;
    }
    bool Has(const std::string& call) const {
        for (const std::string& c : calls)
            if (c == call) return true;
        return false;
    }

    std::vector<std::string> calls;

private:
    ~RecordingExternal() = default;
    RefCount refs_;
};

TEST(PagepaneGuiTest, PageReachesTheExternalObjectAndItsFunctionsAreCalled) {
    if (!xdriver::HaveDisplay()) GTEST_SKIP() << "no X display";
    LocalHttpServer server;
    server.Server().Get("/page.html", [](const httplib::Request&, httplib::Response& res) {
        res.set_content(kPage, "text/html");
    });
    ASSERT_TRUE(server.Start());

    WindowCreateInfo info;
    info.caption = "Frame";
    info.width = 320;
    info.height = 220;
    info.show = ShowState::Normal;
    const WindowHandle frame = CreateWindow(info);
    RefPtr<IKVRPagepane> pane;
    ASSERT_EQ(KVRPagepane::MakeFactory()->CreateInstance(IKVRPagepane::kIid,
                                                         reinterpret_cast<void**>(pane.OutParam())),
              S_OK);
    RefPtr<IWindowedObject> windowed;
    pane->QueryInterface(IWindowedObject::kIid, reinterpret_cast<void**>(windowed.OutParam()));
    WindowHandle paneWindow = kNoWindow;
    ASSERT_EQ(windowed->CreateObjectWindow(frame, 300, 200, &paneWindow), S_OK);
    auto* external = new RecordingExternal;
    ASSERT_EQ(pane->put_External(external), S_OK);

    ScopedBstr url(("http://" + server.Address() + "/page.html").c_str());
    BSTR address = url.Get();
    ASSERT_EQ(pane->GoToWebpage(&address), S_OK);

    // The page's call arrives with its arguments, and its answer goes back to the page,
    // whose new title becomes the frame's caption. The first page starts the browser's
    // own processes, which under the race checker on a busy machine can take long.
    ASSERT_TRUE(xdriver::PumpUntil([&] { return external->Has("1 from page 7"); }, 90000))
        << "calls: " << external->calls.size();
    EXPECT_TRUE(xdriver::PumpUntil([&] { return GetWindowText(frame) == "answer 42"; }, 10000))
        << GetWindowText(frame);

    EXPECT_EQ(CallPageFunction(paneWindow, "checkKVRMessage"), PageScriptCall::Called);
    EXPECT_TRUE(xdriver::PumpUntil([&] { return external->Has("2 checked"); }, 10000));
    EXPECT_EQ(CallPageFunction(paneWindow, "noSuchFunction"), PageScriptCall::NoFunction);
    EXPECT_EQ(CallPageFunction(paneWindow, "alert(1);x"), PageScriptCall::NoFunction);

    // The page shows: its heading is dark text on the white page.
    const unsigned long xid = xdriver::FindWindow("answer 42");
    ASSERT_NE(xid, 0u);
    xdriver::PumpFor(300);
    const xdriver::Image shot = xdriver::Screenshot(xid);
    ASSERT_GT(shot.width, 100);
    int dark = 0, white = 0;
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 200; ++x) {
            const uint8_t* p = shot.At(x, y);
            dark += p[0] < 60 && p[1] < 60 && p[2] < 60;
            white += p[0] == 255 && p[1] == 255 && p[2] == 255;
        }
    EXPECT_GT(dark, 100);
    EXPECT_GT(white, 2000);
    DestroyWindow(frame);
    windowed.Reset();
    pane.Reset();
    external->Release();
}

}  // namespace
