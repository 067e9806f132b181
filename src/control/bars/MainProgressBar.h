#pragma once

#include <cstddef>
#include <string>

// The control's progress bar for loads and downloads: whether it shows, and its detail
// line (the size of the file being loaded). Drawing comes with the drawn bars.
class MainProgressBar {
public:
    static constexpr size_t kDetailSize = 50;

    // Hiding clears the detail line.
    void SetShown(bool shown);
    bool IsShown() const { return shown; }
    // "File size: %0.1f Kb." with the bytes in kilobytes, at most kDetailSize - 1
    // characters.
    void SetDetail(double bytes);
    const std::string& GetDetail() const { return detail; }

private:
    bool shown = false;
    std::string detail;
};
