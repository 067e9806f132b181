#pragma once

#include <cstddef>
#include <mutex>
#include <string>

class GlobalState;
class Window;

// The control's progress bar for loads and downloads: an 80-pixel band across the
// bottom of the main view with the progress box, the percentage, the status text and a
// detail line. The text may be set from any thread; the bar is drawn by the render
// thread.
class MainProgressBar {
public:
    static constexpr size_t kDetailSize = 50;
    static constexpr int kBandHeight = 80;

    explicit MainProgressBar(Window* owner = nullptr) : owner(owner) {}
    MainProgressBar(const MainProgressBar&) = delete;
    MainProgressBar& operator=(const MainProgressBar&) = delete;

    // Hiding clears the detail line.
    void SetShown(bool show);
    bool IsShown() const;
    // The detail line "File size: %0.1f Kb." for a file of `bytes`.
    void SetDetail(double bytes);
    void SetCaption(const char* text);
    std::string Caption() const;
    std::string Detail() const;

    // How far the work is: downloads done (GlobalState integer 11) of the downloads
    // needed (integer 10) while that is at least 1, else the percentage of double 16;
    // at most 1.0.
    static double Fraction(const GlobalState& global);

    // Across the owner's width, while shown, with an owner and the bars not hidden for
    // output.
    void Draw();

    Window* owner;

private:
    mutable std::mutex mutex_;
    bool shown_ = false;
    std::string caption_;
    char detail_[kDetailSize] = {};
    double width_ = 0.0;
    double fraction_ = 0.0;
};
