// Drops from other programs onto a window of the layer: a drag through the X server
// reaches the window's drop target with the formats the targets read.

#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <string>
#include <vector>

#include "platform/DragDrop.h"
#include "platform/Input.h"
#include "platform/Window.h"
#include "support/XDisplayDriver.h"

using namespace platform;

namespace {

// A drop target that keeps what it was told.
class RecordingTarget final : public IDropTarget {
public:
    HRESULT QueryInterface(const Guid& iid, void** out) override {
        if (iid == IUnknown::kIid || iid == IDropTarget::kIid) {
            *out = static_cast<IDropTarget*>(this);
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    uint32_t AddRef() override { return 1; }
    uint32_t Release() override { return 1; }
    HRESULT DragEnter(IDataObject* data, uint32_t keys, ScreenPoint, uint32_t* effect) override {
        entered = true;
        buttonHeld = IsKeyDown(VK_LBUTTON) && (keys & MK_LBUTTON);
        std::vector<uint8_t> bytes;
        if (data->GetData(CF_HDROP, &bytes) == S_OK) files = DroppedFiles(bytes);
        if (data->GetData(RegisterClipboardFormat("HTML Format"), &bytes) == S_OK)
            html.assign(bytes.begin(), bytes.end());
        if (data->GetData(CF_TEXT, &bytes) == S_OK) text.assign(bytes.begin(), bytes.end());
        *effect = DROPEFFECT_COPY;
        return S_OK;
    }
    HRESULT DragOver(uint32_t, ScreenPoint, uint32_t* effect) override {
        *effect = DROPEFFECT_COPY;
        return S_OK;
    }
    HRESULT DragLeave() override {
        left = true;
        return S_OK;
    }
    HRESULT Drop(IDataObject*, uint32_t, ScreenPoint point, uint32_t* effect) override {
        dropped = true;
        at = point;
        *effect = DROPEFFECT_COPY;
        return S_OK;
    }
    bool entered = false, left = false, dropped = false, buttonHeld = false;
    ScreenPoint at;
    std::vector<std::string> files;
    std::string html, text;
};

struct Offer {
    const char* type;
    std::string data;
};

// A window of another program's kind: a GTK label that can be dragged and offers `offers`.
GtkWidget* MakeSource(const std::vector<Offer>* offers) {
    GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_title(GTK_WINDOW(window), "Drag source");
    gtk_window_set_default_size(GTK_WINDOW(window), 120, 80);
    gtk_window_move(GTK_WINDOW(window), 400, 40);
    GtkWidget* box = gtk_event_box_new();
    gtk_container_add(GTK_CONTAINER(box), gtk_label_new("drag me"));
    gtk_container_add(GTK_CONTAINER(window), box);
    std::vector<GtkTargetEntry> targets;
    for (size_t i = 0; i < offers->size(); ++i)
        targets.push_back({const_cast<gchar*>((*offers)[i].type), 0, guint(i)});
    gtk_drag_source_set(box, GDK_BUTTON1_MASK, targets.data(), gint(targets.size()),
                        GDK_ACTION_COPY);
    g_signal_connect(box, "drag-data-get",
                     G_CALLBACK(+[](GtkWidget*, GdkDragContext*, GtkSelectionData* selection,
                                    guint info, guint, gpointer p) {
                         const auto& o = (*static_cast<const std::vector<Offer>*>(p))[info];
                         gtk_selection_data_set(selection,
                                                gtk_selection_data_get_target(selection), 8,
                                                reinterpret_cast<const guchar*>(o.data.data()),
                                                gint(o.data.size()));
                     }),
                     const_cast<std::vector<Offer>*>(offers));
    gtk_widget_show_all(window);
    return window;
}

TEST(DragDropGuiTest, DropsFromOtherProgramsReachTheTargetInTheirFormats) {
    if (!xdriver::HaveDisplay()) GTEST_SKIP() << "no X display";
    struct Case {
        std::vector<Offer> offers;
        std::vector<std::string> files;
        std::string htmlPart;
        std::string text;
    };
    const std::vector<Case> cases = {
        // The file manager: files, with their names as text too (the files win).
        {{{"text/uri-list", "file:///plans/my%20house.kvp\r\n"},
          {"text/plain", "file:///plans/my%20house.kvp"}},
         {"/plans/my house.kvp"}, "", ""},
        // A page: an image with its alt text, and a link as text.
        {{{"text/html", "<img alt=\"color;abc\" src=\"x.png\">"},
          {"text/plain", "http://server/p?x3c_y?"}},
         {}, "<img alt=\"color;abc\" src=\"x.png\">", "http://server/p?x3c_y?"},
    };
    for (const Case& c : cases) {
        WindowCreateInfo info;
        info.caption = "Drop here";
        info.x = 40;
        info.y = 40;
        info.width = 200;
        info.height = 150;
        info.show = ShowState::Normal;
        const WindowHandle window = CreateWindow(info);
        RecordingTarget target;
        ASSERT_EQ(RegisterDragDrop(window, &target), S_OK);
        GtkWidget* source = MakeSource(&c.offers);
        const unsigned long to = xdriver::FindWindow("Drop here");
        const unsigned long from = xdriver::FindWindow("Drag source");
        ASSERT_NE(to, 0u);
        ASSERT_NE(from, 0u);
        xdriver::PumpFor(200);
        xdriver::MoveTo(from, 60, 40);
        xdriver::Run("xdotool mousedown 1");
        for (int step = 1; step <= 8; ++step) {
            xdriver::MoveTo(from, 60 - step * 5, 40 + step * 2);
            xdriver::PumpFor(30);
        }
        for (int step = 0; step <= 6; ++step) {
            xdriver::MoveTo(to, 150 - step * 10, 100);
            xdriver::PumpFor(40);
        }
        xdriver::Run("xdotool mouseup 1");
        EXPECT_TRUE(xdriver::PumpUntil([&] { return target.dropped; }, 5000));
        EXPECT_TRUE(target.entered);
        EXPECT_TRUE(target.buttonHeld);
        EXPECT_FALSE(target.left);
        EXPECT_EQ(target.at.x, 40 + 90);
        EXPECT_EQ(target.at.y, 40 + 100);
        EXPECT_EQ(target.files, c.files);
        if (c.htmlPart.empty()) {
            EXPECT_TRUE(target.html.empty());
        } else {
            EXPECT_NE(target.html.find("Version:0.9"), std::string::npos) << target.html;
            EXPECT_NE(target.html.find(c.htmlPart), std::string::npos) << target.html;
        }
        EXPECT_EQ(target.text.c_str(), c.text);
        EXPECT_FALSE(IsKeyDown(VK_LBUTTON));
        gtk_widget_destroy(source);
        DestroyWindow(window);
        xdriver::PumpFor(100);
    }
}

}  // namespace
