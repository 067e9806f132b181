#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/DragDrop.h"
#include "platform/Input.h"
#include "platform/Window.h"

using namespace platform;

namespace {

class CountingTarget final : public IDropTarget {
public:
    HRESULT QueryInterface(const Guid&, void** out) override {
        *out = nullptr;
        return E_NOINTERFACE;
    }
    uint32_t AddRef() override { return ++refs; }
    uint32_t Release() override { return --refs; }
    HRESULT DragEnter(IDataObject*, uint32_t keys, ScreenPoint, uint32_t* effect) override {
        log += IsKeyDown(VK_LBUTTON) && (keys & MK_LBUTTON) ? "E" : "e";
        *effect = accept ? DROPEFFECT_LINK : DROPEFFECT_NONE;
        return S_OK;
    }
    HRESULT DragOver(uint32_t, ScreenPoint p, uint32_t* effect) override {
        log += "O" + std::to_string(p.x);
        *effect = accept ? DROPEFFECT_LINK : DROPEFFECT_NONE;
        return S_OK;
    }
    HRESULT DragLeave() override {
        log += "L";
        return S_OK;
    }
    HRESULT Drop(IDataObject*, uint32_t, ScreenPoint p, uint32_t* effect) override {
        log += "D" + std::to_string(p.x);
        *effect = DROPEFFECT_LINK;
        return S_OK;
    }
    uint32_t refs = 0;
    bool accept = true;
    std::string log;
};

TEST(DragDropTest, TargetsAreRegisteredOncePerWindowAndGoWithIt) {
    CountingTarget target;
    WindowCreateInfo info;
    const WindowHandle window = CreateWindow(info);
    EXPECT_EQ(RegisterDragDrop(kNoWindow, &target), DRAGDROP_E_INVALIDHWND);
    EXPECT_EQ(RegisterDragDrop(window, nullptr), E_INVALIDARG);
    EXPECT_EQ(RevokeDragDrop(window), DRAGDROP_E_NOTREGISTERED);
    ASSERT_EQ(RegisterDragDrop(window, &target), S_OK);
    EXPECT_EQ(RegisterDragDrop(window, &target), DRAGDROP_E_ALREADYREGISTERED);
    EXPECT_EQ(target.refs, 1u);
    EXPECT_EQ(RevokeDragDrop(window), S_OK);
    EXPECT_EQ(target.refs, 0u);
    ASSERT_EQ(RegisterDragDrop(window, &target), S_OK);
    DestroyWindow(window);
    EXPECT_FALSE(GetDropTarget(window));
    // The next registration anywhere lets go of the dead window's target.
    const WindowHandle other = CreateWindow(info);
    ASSERT_EQ(RegisterDragDrop(other, &target), S_OK);
    EXPECT_EQ(target.refs, 1u);
    EXPECT_EQ(RevokeDragDrop(other), S_OK);
    DestroyWindow(other);
}

TEST(DragDropTest, PlayedDragEntersMovesAndDropsOrLeavesWhenRefused) {
    CountingTarget target;
    WindowCreateInfo info;
    const WindowHandle window = CreateWindow(info);
    ASSERT_EQ(RegisterDragDrop(window, &target), S_OK);
    auto data = RefPtr<DataObject>::Adopt(new DataObject);
    data->SetText("x");
    EXPECT_EQ(PlayDrag(window, data.Get(), {{1, 1}, {2, 2}, {3, 3}}), DROPEFFECT_LINK);
    EXPECT_EQ(target.log, "EO2O3D3");
    EXPECT_FALSE(IsKeyDown(VK_LBUTTON));
    target.log.clear();
    target.accept = false;
    EXPECT_EQ(PlayDrag(window, data.Get(), {{5, 5}}), DROPEFFECT_NONE);
    EXPECT_EQ(target.log, "EL");
    RevokeDragDrop(window);
    DestroyWindow(window);
}

TEST(DragDropTest, FormatsRoundTrip) {
    const std::vector<std::string> paths = {"/a/b.kvp", "/c/d e.png"};
    EXPECT_EQ(DroppedFiles(FileDropData(paths)), paths);
    EXPECT_TRUE(DroppedFiles(FileDropData({})).empty());
    EXPECT_EQ(RegisterClipboardFormat("HTML Format"), RegisterClipboardFormat("html format"));
    EXPECT_GE(RegisterClipboardFormat("HTML Format"), 0xC000u);

    // The offsets of the header point at the fragment and the ends of the HTML.
    const std::string html = "<img alt=\"3c_chair\" src=\"c.png\">";
    const std::string text = HtmlFormatText(html, "http://server/page");
    auto offset = [&](const std::string& key) {
        const size_t at = text.find(key + ":");
        return at == std::string::npos ? std::string::npos
                                       : std::stoul(text.substr(at + key.size() + 1, 10));
    };
    EXPECT_EQ(text.substr(offset("StartFragment"), offset("EndFragment") - offset("StartFragment")),
              html);
    EXPECT_EQ(text.compare(offset("StartHTML"), 6, "<html>"), 0);
    EXPECT_EQ(offset("EndHTML"), text.size());
    EXPECT_NE(text.find("SourceURL:http://server/page\r\n"), std::string::npos);
}

}  // namespace
