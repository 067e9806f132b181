#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <string>
#include <vector>

#include "interaction/BaseEditor.h"
#include "interaction/MouseHandler.h"
#include "interaction/TraceImageModel.h"
#include "platform/Clock.h"
#include "platform/MessageBox.h"
#include "render/OffScreenWindow.h"
#include "render/Window.h"
#include "support/SceneFixtures.h"
#include "support/TestControl.h"
#include "support/TraceLogTail.h"

namespace {

// A mode that writes every call the window makes on it into a shared log.
class RecordingMode : public MouseHandler {
public:
    RecordingMode(int number, std::vector<std::string>& log) : number_(number), log_(log) {}
    ~RecordingMode() override { Note("delete"); }

    void Activate() override { Note("enter"); }
    void Deactivate() override { Note("leave"); }
    void OnKeyDown(unsigned key) override { Note("key " + std::to_string(key)); }
    void OnMouseMove(intptr_t point) override { Note("move " + std::to_string(point)); }
    void SetEditLock(bool locked) override { Note(locked ? "lock" : "unlock"); }

private:
    void Note(const std::string& what) { log_.push_back(what + " " + std::to_string(number_)); }
    int number_;
    std::vector<std::string>& log_;
};

class WindowTest : public ::testing::Test {
protected:
    // Mode 5 could not be made.
    Window* MakeWindow() {
        return new Window([this](int n) -> MouseHandler* {
            return n == 5 ? nullptr : new RecordingMode(n, log);
        });
    }

    ScopedProgramFolder programFolder;
    TestControl control;
    std::vector<std::string> log;
};

TEST_F(WindowTest, NewWindowEntersModeZeroOnceAndDeletesModesInTableOrder) {
    Window* window = MakeWindow();
    EXPECT_EQ(log, std::vector<std::string>{"enter 0"});
    EXPECT_EQ(window->GetCurrentModeNumber(), 0);
    EXPECT_EQ(window->GetCurrentMode(), window->GetMode(0));
    EXPECT_EQ(window->GetMode(5), nullptr);

    log.clear();
    delete window;
    std::vector<std::string> expected;
    for (int n = 0; n < Window::kModeCount; ++n)
        if (n != 5) expected.push_back("delete " + std::to_string(n));
    EXPECT_EQ(log, expected);
}

TEST_F(WindowTest, SwitchingLeavesTheOldModeThenEntersTheNewOne) {
    std::unique_ptr<Window> window(MakeWindow());
    control.activeWindow = window.get();
    log.clear();

    window->GetCurrentMode()->SwitchMouseMode(29);
    EXPECT_EQ(log, (std::vector<std::string>{"leave 0", "enter 29", "unlock 29"}));
    EXPECT_EQ(window->GetCurrentModeNumber(), 29);
    EXPECT_FALSE(control.RenderLock().IsHeld());

    log.clear();
    window->GetCurrentMode()->SwitchMouseMode(31);
    EXPECT_EQ(log, (std::vector<std::string>{"leave 29", "enter 31", "unlock 31"}));
}

TEST_F(WindowTest, SwitchToAMissingOrOutOfRangeModeChangesNothing) {
    std::unique_ptr<Window> window(MakeWindow());
    control.activeWindow = window.get();
    window->SetMouseMode(3);
    for (int bad : {-1, 32, 5}) {
        SCOPED_TRACE(bad);
        log.clear();
        TraceLogTail trace;
        window->GetCurrentMode()->SwitchMouseMode(bad);
        EXPECT_TRUE(log.empty());
        EXPECT_EQ(window->GetCurrentModeNumber(), 3);
        EXPECT_EQ(window->GetCurrentMode(), window->GetMode(3));
        EXPECT_TRUE(trace.Contains("Precondition Failed"));
    }
    // Without an active window there is nothing to switch.
    control.activeWindow = nullptr;
    log.clear();
    window->GetCurrentMode()->SwitchMouseMode(4);
    EXPECT_TRUE(log.empty());
}

TEST_F(WindowTest, KeysAndMouseMovesReachTheCurrentMode) {
    std::unique_ptr<Window> window(MakeWindow());
    window->SetMouseMode(11);
    log.clear();
    bool handled = true;
    EXPECT_EQ(window->ForwardKeyDown(0x100, 'M', 0, handled), 0);
    EXPECT_EQ(window->ForwardToCurrentMode(0x200, 1, (20 << 16) | 10, handled), 0);
    EXPECT_EQ(log, (std::vector<std::string>{"key 77 11", "move 1310730 11"}));
}

// Every mode has its handler; the modes that edit objects are editors.
TEST_F(WindowTest, EditorWindowFillsEveryModeWithAHandler) {
    Window window;
    // The tape measure mode (24) is a plain mouse mode, not an object editor.
    const std::set<int> editors = {0, 1, 2, 3, 6, 8, 9, 10, 18, 21, 23, 26, 27, 28};
    for (int n = 0; n < Window::kModeCount; ++n) {
        ASSERT_NE(window.GetMode(n), nullptr) << n;
        EXPECT_EQ(dynamic_cast<BaseEditor*>(window.GetMode(n)) != nullptr, editors.count(n) == 1)
            << n;
    }
}

TEST_F(WindowTest, ResizeLaysOutTheBars) {
    struct Case {
        int width, height, toolbarX;
    };
    // The toolbar keeps clear of the status texts: never left of x 310.
    const Case cases[] = {
        {800, 600, 800 - 150 - 10}, {300, 200, 310}, {470, 100, 310}, {471, 100, 311}};
    Window window;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.width);
        control.sceneRenderingEnabled = 0;
        window.OnSize({10, 20, 10 + c.width, 20 + c.height});
        EXPECT_EQ(window.width, static_cast<uint32_t>(c.width));
        EXPECT_EQ(window.height, static_cast<uint32_t>(c.height));
        EXPECT_DOUBLE_EQ(window.aspect, static_cast<double>(c.width) / c.height);
        EXPECT_DOUBLE_EQ(window.camera.GetVector(2).y, 200.0 * c.height / c.width);
        EXPECT_EQ(control.sceneRenderingEnabled, 1);

        auto rect = [](const StatusBar& bar) {
            return std::vector<int>{bar.x, bar.y, bar.width, bar.height};
        };
        EXPECT_EQ(rect(window.statusBar1), (std::vector<int>{0, 0, c.width, 21}));
        EXPECT_EQ(rect(window.statusBar2), (std::vector<int>{c.width - 200, 0, 180, 21}));
        EXPECT_TRUE(window.statusBar2.anchoredRight);
        EXPECT_EQ(rect(window.indicatorBar), (std::vector<int>{250, c.height - 28, 40, 28}));
        EXPECT_EQ(rect(window.menuBar.Background()),
                  (std::vector<int>{0, c.height - 28, c.width, 28}));
        EXPECT_EQ(rect(*window.toolbar), (std::vector<int>{c.toolbarX, c.height - 21, 150, 21}));
    }
    // Menu titles from x 10, each (characters + 4) x 5 wide: "File", "Edit", ...
    ASSERT_EQ(window.menuBar.TitleCount(), 5);
    EXPECT_EQ(window.menuBar.cells[0].x, 10);
    EXPECT_EQ(window.menuBar.cells[0].width, 40);
    EXPECT_EQ(window.menuBar.cells[1].x, 50);
    EXPECT_STREQ(window.menuBar.cells[4].caption, "Help");
}

TEST_F(WindowTest, ASizeWithoutAreaKeepsThePreviousAspect) {
    Window window;
    // The very first layout may come without area.
    window.OnSize({0, 0, 640, 0});
    EXPECT_DOUBLE_EQ(window.aspect, 1.0);
    EXPECT_TRUE(std::isfinite(window.camera.GetVector(2).y));

    window.OnSize({0, 0, 800, 400});
    for (const platform::Rect& empty :
         {platform::Rect{0, 0, 800, 0}, platform::Rect{0, 0, 0, 0}, platform::Rect{0, 0, 0, 300},
          platform::Rect{0, 50, 800, 20}}) {
        window.OnSize(empty);
        EXPECT_DOUBLE_EQ(window.aspect, 2.0);
        EXPECT_DOUBLE_EQ(window.camera.GetVector(2).y, 100.0);
    }
    EXPECT_EQ(window.height, 0u);
}

TEST_F(WindowTest, LargeWindowOverALargeOffScreenBufferWarnsOnce) {
    std::vector<std::string> boxes;
    platform::SetMessageBoxResponder([&](const platform::MessageBoxRequest& box) {
        boxes.push_back(box.text);
        return platform::MessageAnswer::Ok;
    });
    OffScreenWindow buffer;
    buffer.width = buffer.height = 2048;
    SetOffScreenWindow(&buffer);
    Window window;

    window.OnSize({0, 0, 1600, 1200});
    EXPECT_TRUE(boxes.empty());
    window.OnSize({0, 0, 1601, 1201});
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].rfind("Resizing beyond the window to this size", 0), 0u);
    // The size is applied all the same.
    EXPECT_EQ(window.width, 1601u);

    buffer.width = 1024;
    window.OnSize({0, 0, 1700, 1300});
    EXPECT_EQ(boxes.size(), 1u);

    SetOffScreenWindow(nullptr);
    platform::SetMessageBoxResponder(nullptr);
}

TEST_F(WindowTest, NewTraceImageReplacesTheOldOneAndIsShown) {
    Window window;
    window.SetTraceImage("plans/first.png");
    window.SetTraceImage("plans/second.png");
    ASSERT_NE(window.traceImage, nullptr);
    EXPECT_STREQ(window.traceImage->GetImageURL(), "plans/second.png");
    EXPECT_TRUE(window.viewFlags.GetBoolean(7));
    EXPECT_FALSE(control.RenderLock().IsHeld());
}

TEST_F(WindowTest, SceneObjectsSeeTheWindowBeingDrawn) {
    Window mainWindow;
    Window other;
    control.mainWindow = &mainWindow;
    control.activeWindow = control.currentWindow = &other;
    EXPECT_EQ(control.GetMainView(), &mainWindow);
    EXPECT_EQ(control.GetActiveView(), &other);
    EXPECT_EQ(control.GetCurrentView(), &other);

    // A box across the plane z = 0, which the current window's pick polygon lies in.
    TestItem item(TypeMask::kModelObject);
    item.SetBox(-1, -1, -1, 1, 1, 1);
    other.pickPlane.Set(0, 0, 1, 0);
    other.viewFlags.SetInt64(0, TypeBit::kModel);
    EXPECT_FALSE(item.IsShownInCurrentView()) << "the current window hides models";
    EXPECT_FALSE(item.StraddlesSectionPlane()) << "the plane counts only in reflections";

    // Each reflection layer keeps its own visibility bit.
    other.layerCounter = 2;
    EXPECT_TRUE(item.StraddlesSectionPlane());
    item.SetFlags(0xFFFFFFFFu);
    item.UpdateWindowVisibility();  // no pick polygon: nothing culled
    EXPECT_EQ(item.GetFlags(), ~(1u << 2));
    EXPECT_FALSE(item.IsVisibleInCurrentWindow());
    other.layerCounter = 1;
    EXPECT_TRUE(item.IsVisibleInCurrentWindow());
    control.mainWindow = control.activeWindow = control.currentWindow = nullptr;
}

TEST_F(WindowTest, MainWindowsNewTraceImageIsOneUndoStep) {
    control.scene.Append(new TestItem);  // undo finds nothing in an empty scene
    Window window;
    control.mainWindow = &window;
    window.SetTraceImage("plans/first.png");
    ASSERT_NE(window.traceImage, nullptr);
    EXPECT_EQ(control.GetMainView()->GetTraceImage(), window.traceImage);

    // A start marker, the record of the new image and an end marker.
    const SizableLinkedList& entries = control.GetUndoList().UndoEntries();
    ASSERT_EQ(entries.GetCount(), 3u);
    auto* record = dynamic_cast<ObjectTransaction*>(entries.GetHead()->GetNext());
    ASSERT_NE(record, nullptr);
    EXPECT_TRUE(record->created);
    EXPECT_EQ(record->targetId, window.traceImage->GetObjectId());
    EXPECT_STREQ(record->redoData.GetSublist("TraceImageModel")->GetString("TraceImageURL"),
                 "plans/first.png");
    EXPECT_EQ(window.traceImage->GetOwner(), nullptr) << "the image stays out of the scene";

    EXPECT_TRUE(control.Undo());
    EXPECT_EQ(window.traceImage, nullptr) << "undo takes the image away";
    EXPECT_FALSE(control.RenderLock().IsHeld());
}

TEST_F(WindowTest, NewWindowShowsTheLightAndReflectionLamps) {
    Window window;
    ASSERT_EQ(window.indicatorBar.indicatorCount, 2);
    EXPECT_STREQ(window.indicatorBar.indicators[0].label, "L");
    EXPECT_TRUE(window.indicatorBar.indicators[0].on);
    EXPECT_STREQ(window.indicatorBar.indicators[1].label, "M");
    EXPECT_FALSE(window.indicatorBar.indicators[1].on);
    EXPECT_STREQ(window.indicatorBar.caption, "L      M      ");
}

TEST_F(WindowTest, DestroyedWindowStopsItsTimersAndIsForgottenByTheControl) {
    platform::ManualCounter clock;
    std::vector<uintptr_t> fired;
    platform::WindowCreateInfo info;
    info.proc = [&](platform::WindowHandle w, uint32_t message, platform::WParam wParam,
                    platform::LParam lParam) -> platform::LResult {
        if (message == platform::WM_TIMER) fired.push_back(wParam);
        return platform::DefaultWindowProc(w, message, wParam, lParam);
    };
    const platform::WindowHandle handle = platform::CreateWindow(info);
    for (uintptr_t id : {2, 3, 13, 15, 20}) platform::SetTimer(handle, id, 20);

    auto* window = new Window;
    window->windowHandle = handle;
    control.activeWindow = control.currentWindow = window;
    window->BeginViewTransaction();  // pending: freed with the window
    delete window;
    EXPECT_EQ(control.activeWindow, nullptr);
    EXPECT_EQ(control.currentWindow, nullptr);

    // Only the auto-save timer, which is not the view's, lives on.
    clock.AdvanceMilliseconds(25);
    platform::PumpUntilIdle();
    EXPECT_EQ(fired, std::vector<uintptr_t>{15});
    platform::DestroyWindow(handle);
}

}  // namespace
