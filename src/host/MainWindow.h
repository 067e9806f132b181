#pragma once

#include <memory>

#include "host/BaseWindow.h"
#include "host/KivoraClient.h"
#include "host/Splitter.h"
#include "host/WebPane.h"

// The program's window: the editor on the left, the 7-pixel splitter, and the 290-pixel
// directory pane on the right, which the splitter collapses and opens.
class MainWindow : public BaseWindow {
public:
    static constexpr int kPaneWidth = 290;
    // The smallest and largest window size taken back from "WindowSize".
    static constexpr int kMinStoredSide = 100;
    static constexpr int kMaxStoredSide = 16384;

    MainWindow() = default;
    ~MainWindow() override;

    // Creates the window at the stored size (else 80% of the work area) with the editor,
    // the splitter and the pane; fails when the window or the editor cannot be made.
    platform::HRESULT Main();
    void SetDirectoryCollapsed(bool collapsed);
    bool IsDirectoryCollapsed() const { return collapsed_; }

    int OnInitDialog() override;
    int OnSize(platform::WParam type, int width, int height) override;
    int OnSetFocus() override;
    // Closes only when the editor lets it (it may ask to save the plan first).
    int OnClose() override;
    // A later copy's command line: its plan file opens in the editor.
    int OnCopyData(platform::WParam wParam, const platform::CopyData* data) override;
    int OnLButtonDown(platform::WParam wParam, platform::LParam lParam) override;

    KivoraClient* Editor() const { return client_.get(); }
    WebPane* Pane() const { return pane_.get(); }
    Splitter* Bar() const { return splitter_.get(); }

    // The window size stored in "WindowSize": width and height, or false when none is
    // stored or the stored number is not a usable size.
    static bool ReadStoredSize(int* width, int* height);

private:
    void Layout(int width, int height);

    std::unique_ptr<KivoraClient> client_;
    std::unique_ptr<WebPane> pane_;
    std::unique_ptr<Splitter> splitter_;
    bool collapsed_ = false;
};
