#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "control/Duzazododiza.h"
#include "interaction/BaseCommandHandler.h"
#include "interaction/ColorCommand.h"
#include "interaction/DragDropHandler.h"
#include "interaction/KivoraDropCommand.h"
#include "platform/DragDrop.h"
#include "platform/Input.h"
#include "platform/Window.h"
#include "render/Window.h"
#include "support/RunningControl.h"

namespace {

using Kind = DropRequest::Kind;

std::string Html(const std::string& fragment, const std::string& page = "http://h/dir/page.aspx") {
    return platform::HtmlFormatText(fragment, page);
}

TEST(DropDataTest, HtmlImagesNameWhatIsDropped) {
    struct Case {
        const char* fragment;
        const char* paintPrefix;
        Kind kind;
        const char* text;
    } cases[] = {
        // The directory page's item: a quoted catalogue address.
        {"<img src=\"/t/chair.png\" alt=\"http://h/catalogue/chair.3c_\" width=\"48\">", "",
         Kind::kCatalogue, "http://h/catalogue/chair.3c_"},
        {"<IMG ALT=\"Http://H/Plans/House.KVP\" SRC=\"/x.png\">", "", Kind::kPlan,
         "http://h/plans/house.kvp"},
        {"<img alt=Color;255;0;0;HTTP://h/paint.3C_ src=a.png>", "", Kind::kPaint,
         "color;255;0;0;http://h/paint.3c_"},
        {"<img alt=COLOR;10;20;30 src=a.png>", "", Kind::kColor, "color;10;20;30"},
        {"<img alt=color;10;20;30 src=a.png>", "http://h/m.3c_", Kind::kPaint,
         "http://h/m.3c_;color;10;20;30"},
    };
    for (const Case& c : cases) {
        DropRequest request;
        ASSERT_TRUE(ReadHtmlDrop(Html(c.fragment), c.paintPrefix, request)) << c.fragment;
        EXPECT_EQ(request.kind, c.kind) << c.fragment;
        EXPECT_EQ(request.text, c.text) << c.fragment;
        EXPECT_FALSE(request.urlDrop);
    }
}

TEST(DropDataTest, HtmlPicturesComeWithTheirPageOrAreRefused) {
    DropRequest request;
    ASSERT_TRUE(ReadHtmlDrop(Html("<img src=\"/pics/plan.jpg\" alt=\"\">"), "", request));
    EXPECT_EQ(request.kind, Kind::kBitmap);
    EXPECT_EQ(request.image, "/pics/plan.jpg");
    EXPECT_EQ(request.pageURL, "http://h/dir/page.aspx");

    // A picture without the page it came from, an image with neither alt text nor
    // source, and HTML without an image are refused.
    EXPECT_FALSE(ReadHtmlDrop("<img src=\"/pics/plan.jpg\">", "", request));
    EXPECT_FALSE(ReadHtmlDrop(Html("<img width=3>"), "", request));
    EXPECT_FALSE(ReadHtmlDrop(Html("<p>text</p>"), "", request));
    EXPECT_FALSE(ReadHtmlDrop("SourceURL:", "", request));
    EXPECT_FALSE(ReadHtmlDrop("<img alt", "", request));
    EXPECT_EQ(request.kind, Kind::kNone);
}

TEST(DropDataTest, TextAndFilesNameWhatIsDropped) {
    DropRequest request;
    ASSERT_TRUE(
        ReadTextDrop("http://h/p.aspx?name=Chair&kvr=http://h/c/chair.3c_&userID=7", request));
    EXPECT_EQ(request.kind, Kind::kCatalogue);
    EXPECT_EQ(request.text, "http://h/c/chair.3c_");
    EXPECT_TRUE(request.urlDrop);
    ASSERT_TRUE(ReadTextDrop("http://h/p.aspx?http://h/c/Lamp.3C_?x", request));
    EXPECT_EQ(request.text, "http://h/c/Lamp.3C_");
    EXPECT_FALSE(ReadTextDrop("http://h/p.aspx?name=chair", request));
    EXPECT_FALSE(ReadTextDrop("no question", request));

    ASSERT_TRUE(ReadFileDrop(platform::FileDropData({"/a/one.KVP", "/a/two.png"}), request));
    EXPECT_EQ(request.kind, Kind::kBitmap);
    EXPECT_EQ(request.image, "/a/two.png");
    ASSERT_TRUE(ReadFileDrop(platform::FileDropData({"/a/two.png", "/a/House.KVP"}), request));
    EXPECT_EQ(request.kind, Kind::kLocalPlan);
    EXPECT_EQ(request.text, "/a/House.KVP");
    EXPECT_FALSE(ReadFileDrop(platform::FileDropData({}), request));
}

TEST(DropDataTest, TheFirstFormatTheDataHasDecides) {
    auto data = platform::RefPtr<platform::DataObject>::Adopt(new platform::DataObject);
    data->SetText("http://h/p?http://h/c.3c_?");
    data->SetFiles({"/a/b.png"});
    DropRequest request;
    ASSERT_EQ(ReadDropData(data.Get(), "", request), platform::S_OK);
    EXPECT_EQ(request.kind, Kind::kCatalogue);
    // HTML comes first, even when it names nothing.
    data->SetHtml("<img width=3>", "http://h/");
    EXPECT_NE(ReadDropData(data.Get(), "", request), platform::S_OK);

    auto files = platform::RefPtr<platform::DataObject>::Adopt(new platform::DataObject);
    files->SetFiles({"/a/b.png"});
    ASSERT_EQ(ReadDropData(files.Get(), "", request), platform::S_OK);
    EXPECT_EQ(request.kind, Kind::kBitmap);
    auto empty = platform::RefPtr<platform::DataObject>::Adopt(new platform::DataObject);
    EXPECT_EQ(ReadDropData(empty.Get(), "", request), platform::DV_E_FORMATETC);
    // A format that came with no bytes at all names nothing.
    auto blank = platform::RefPtr<platform::DataObject>::Adopt(new platform::DataObject);
    blank->Set(platform::CF_TEXT, {});
    EXPECT_EQ(ReadDropData(blank.Get(), "", request), platform::E_FAIL);
}

// The view window's drop target, headless: what it accepts and what it builds.
class DropTargetTest : public ::testing::Test {
protected:
    DropTargetTest() {
        handle = platform::CreateWindow(platform::WindowCreateInfo{});
        running.window.windowHandle = handle;
    }
    ~DropTargetTest() override {
        platform::SetKeyState(platform::VK_LBUTTON, false);
        running.window.windowHandle = platform::kNoWindow;
        platform::DestroyWindow(handle);
    }
    uint32_t Play(platform::IDataObject* data, bool drop = true) {
        return platform::PlayDrag(handle, data, {{5, 5}, {6, 6}}, drop);
    }

    RunningControl running;
    platform::WindowHandle handle = platform::kNoWindow;
};

TEST_F(DropTargetTest, OnlyTheMainViewTakesDragsAndItRegistersOnce) {
    DragDropHandler& target = *running.window.dropTarget;
    ASSERT_TRUE(target.Register(handle));
    auto colour = platform::RefPtr<platform::DataObject>::Adopt(new platform::DataObject);
    colour->SetHtml("<img alt=color;1;2;3 src=a.png>", "http://h/");

    // A drag without the left button is not taken.
    uint32_t effect = platform::DROPEFFECT_COPY;
    target.DragEnter(colour.Get(), 0, {1, 1}, &effect);
    EXPECT_FALSE(target.IsAccepting());
    EXPECT_EQ(target.GetCommand(), nullptr);
    target.DragLeave();

    // Nor one over a window that is not the main view.
    Window other([](int) { return new RecordingMode; });
    DragDropHandler otherTarget(&other);
    platform::SetKeyState(platform::VK_LBUTTON, true);
    otherTarget.DragEnter(colour.Get(), 0, {1, 1}, &effect);
    EXPECT_FALSE(otherTarget.IsAccepting());

    // The main view builds the colour's command, and drops it at the leave.
    effect = platform::DROPEFFECT_COPY;
    target.DragEnter(colour.Get(), platform::MK_LBUTTON, {1, 1}, &effect);
    EXPECT_TRUE(target.IsAccepting());
    EXPECT_EQ(effect, platform::DROPEFFECT_COPY);
    auto* command = dynamic_cast<ColorCommand*>(target.GetCommand());
    ASSERT_NE(command, nullptr);
    EXPECT_EQ(command->Value(2), "3");
    EXPECT_EQ(command->LastPrompt(), "Drop on any surface to change its color.");
    target.DragLeave();
    EXPECT_EQ(target.GetCommand(), nullptr);

    // A dropped plan file builds the plan's command for its path; behind the wait screen
    // it loads nothing.
    running.Busy();
    auto plan = platform::RefPtr<platform::DataObject>::Adopt(new platform::DataObject);
    plan->SetFiles({"/a/House.kvp"});
    effect = platform::DROPEFFECT_COPY;
    target.DragEnter(plan.Get(), platform::MK_LBUTTON, {1, 1}, &effect);
    EXPECT_TRUE(target.IsAccepting());
    auto* planDrop = dynamic_cast<KivoraDropCommand*>(target.GetCommand());
    ASSERT_NE(planDrop, nullptr);
    EXPECT_TRUE(planDrop->IsLocalFile());
    EXPECT_EQ(planDrop->GetLocalPath(), "/a/House.kvp");
    EXPECT_FALSE(KivoraDropCommand::IsLoadBusy());
    target.DragLeave();
    running.control->waitScreenLevel = 0.0;

    // Data that names nothing refuses the drag.
    auto words = platform::RefPtr<platform::DataObject>::Adopt(new platform::DataObject);
    words->SetText("plain words");
    EXPECT_EQ(Play(words.Get()), platform::DROPEFFECT_NONE);
    EXPECT_FALSE(target.IsAccepting());

    // A dragged link's catalogue address is kept for its download and linked.
    auto link = platform::RefPtr<platform::DataObject>::Adopt(new platform::DataObject);
    link->SetText("x?http://127.0.0.1:1/nothing.3c_?");
    effect = platform::DROPEFFECT_COPY;
    target.DragEnter(link.Get(), platform::MK_LBUTTON, {1, 1}, &effect);
    EXPECT_EQ(target.GetURL(), "http://127.0.0.1:1/nothing.3c_");
    EXPECT_EQ(effect, platform::DROPEFFECT_LINK);
    EXPECT_EQ(target.GetCommand(), nullptr) << "nothing arrived to build a command from";
    target.DragLeave();
}

TEST_F(DropTargetTest, ADropRestoresTheDragSettingsAndMarksThePlanChanged) {
    ASSERT_TRUE(running.window.dropTarget->Register(handle));
    GlobalState& global = running.control->globalState;
    global.SetBoolean(12, false);
    global.SetBoolean(9, true);
    global.SetBoolean(0, false);
    auto colour = platform::RefPtr<platform::DataObject>::Adopt(new platform::DataObject);
    colour->SetHtml("<img alt=color;1;2;3 src=a.png>", "http://h/");
    Play(colour.Get());
    EXPECT_FALSE(global.GetBoolean(12));
    EXPECT_TRUE(global.GetBoolean(9));
    EXPECT_TRUE(global.GetBoolean(0));
    EXPECT_EQ(running.window.dropTarget->GetCommand(), nullptr);

    // A refused drag changes nothing.
    global.SetBoolean(0, false);
    auto nothing = platform::RefPtr<platform::DataObject>::Adopt(new platform::DataObject);
    nothing->SetText("plain words");
    Play(nothing.Get());
    EXPECT_FALSE(global.GetBoolean(0));
}

}  // namespace
