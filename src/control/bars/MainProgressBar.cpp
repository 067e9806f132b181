#include "control/bars/MainProgressBar.h"

#include <GL/gl.h>

#include <algorithm>
#include <cstdio>

#include "control/BaseControl.h"
#include "control/bars/StatusBar.h"
#include "render/Window.h"

namespace {

constexpr uint8_t kFace[3] = {212, 208, 200};
constexpr uint8_t kDark[3] = {53, 52, 50};
constexpr uint8_t kMid[3] = {106, 104, 100};
constexpr uint8_t kLight[3] = {159, 156, 150};
constexpr uint8_t kFill[3] = {10, 36, 106};
constexpr double kBytesPerKb = 1024.0;
constexpr double kVisibleProgress = 0.001;

void Line(const uint8_t colour[3], double x0, double y0, double x1, double y1) {
    glColor3ubv(colour);
    glBegin(GL_LINES);
    glVertex2d(x0, y0);
    glVertex2d(x1, y1);
    glEnd();
}

}  // namespace

void MainProgressBar::SetShown(bool show) {
    std::lock_guard<std::mutex> guard(mutex_);
    shown_ = show;
    if (!show) detail_[0] = '\0';
}

bool MainProgressBar::IsShown() const {
    std::lock_guard<std::mutex> guard(mutex_);
    return shown_;
}

void MainProgressBar::SetDetail(double bytes) {
    std::lock_guard<std::mutex> guard(mutex_);
    std::snprintf(detail_, sizeof detail_, "File size: %0.1f Kb.", bytes / kBytesPerKb);
}

void MainProgressBar::SetCaption(const char* text) {
    std::lock_guard<std::mutex> guard(mutex_);
    caption_ = text ? text : "";
}

std::string MainProgressBar::Caption() const {
    std::lock_guard<std::mutex> guard(mutex_);
    return caption_;
}

std::string MainProgressBar::Detail() const {
    std::lock_guard<std::mutex> guard(mutex_);
    return detail_;
}

double MainProgressBar::Fraction(const GlobalState& global) {
    const int needed = global.GetInteger(10);
    const double fraction = needed >= 1 ? static_cast<double>(global.GetInteger(11)) / needed
                                        : global.GetDouble(16) * 0.01;
    // A count past its total, or an undefined percentage, never overfills the box.
    if (!(fraction >= 0.0)) return 0.0;
    return std::min(fraction, 1.0);
}

void MainProgressBar::Draw() {
    const BaseControl* control = theControl();
    if (!owner || !control || BarsHiddenForOutput()) return;
    std::string caption;
    std::string detail;
    {
        std::lock_guard<std::mutex> guard(mutex_);
        if (!shown_) return;
        caption = caption_;
        detail = detail_;
        width_ = owner->width;
        fraction_ = Fraction(control->globalState);
    }
    if (!owner->Begin2DRender()) return;
    const double w = width_;
    const double band = kBandHeight;

    glColor3ubv(kFace);
    glRectd(0.0, 0.0, w, band);
    Line(kFace, 0.0, band, w, band);
    const uint8_t white[3] = {255, 255, 255};
    Line(white, 0.0, band - 1.0, w, band - 1.0);

    // The sunken frame of the box.
    Line(kDark, 16.0, 15.0, 16.0, 30.0);
    Line(kDark, 16.0, 30.0, w - 16.0, 30.0);
    Line(kMid, 17.0, 16.0, 17.0, 29.0);
    Line(kMid, 17.0, 29.0, w - 17.0, 29.0);
    Line(kLight, 17.0, 15.0, w - 17.0, 15.0);
    Line(kLight, w - 17.0, 15.0, w - 17.0, 30.0);

    if (fraction_ > kVisibleProgress) {
        glColor3ubv(kFill);
        glRectd(18.0, 16.0, 18.0 + (w - 35.0) * fraction_, 29.0);
    }

    char percent[16];
    std::snprintf(percent, sizeof percent, "%d%%", static_cast<int>(fraction_ * 100.0));
    glColor3ub(255, 255, 255);
    glEnable(GL_COLOR_LOGIC_OP);
    glLogicOp(GL_INVERT);
    DrawBarText(percent, w / 2.0 - 8.0, 19.0);
    glDisable(GL_COLOR_LOGIC_OP);

    glColor3ub(0, 0, 0);
    DrawBarText(caption.c_str(), 17.0, 51.0);
    DrawBarText(detail.c_str(), 17.0, 37.0);
    owner->End2DRender();
}
