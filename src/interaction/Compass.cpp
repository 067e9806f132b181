#include "interaction/Compass.h"

#include <GL/gl.h>

#include <new>

#include "control/BaseControl.h"
#include "render/Bitmap.h"
#include "render/Window.h"

namespace {

constexpr int kBarGap = 5;

int BottomBars() {
    BaseControl* control = theControl();
    return control ? control->globalState.GetInteger(3) : 0;
}

}  // namespace

SuperImposedImage::SuperImposedImage() = default;

SuperImposedImage::SuperImposedImage(int width, int height) : width(width), height(height) {}

SuperImposedImage::~SuperImposedImage() = default;

Compass::Compass() : SuperImposedImage(kSide, kSide) {}

void SuperImposedImage::TakeSizeOfPicture() {
    if (bitmap && bitmap->cols > 0 && bitmap->rows > 0) {
        width = static_cast<int>(bitmap->cols);
        height = static_cast<int>(bitmap->rows);
    }
}

bool SuperImposedImage::Load(const char* url) {
    if (!url || !*url) return false;
    auto picture = std::unique_ptr<Bitmap>(new (std::nothrow) Bitmap);
    if (!picture || !picture->LoadNow(url, false)) return false;
    bitmap = std::move(picture);
    TakeSizeOfPicture();
    return true;
}

bool SuperImposedImage::LoadResource(uint32_t id) {
    auto picture = std::unique_ptr<Bitmap>(new (std::nothrow) Bitmap);
    if (!picture || !picture->LoadFromResource(id)) return false;
    bitmap = std::move(picture);
    TakeSizeOfPicture();
    return true;
}

bool SuperImposedImage::HitTest(int px, int py) const {
    const int h = BottomBars();
    return px >= x && px <= x + width && py >= y + h + kBarGap && py <= y + height + h + kBarGap;
}

void SuperImposedImage::Draw(Window& window) {
    BaseControl* control = theControl();
    if (!control || !bitmap) return;
    if (control->globalState.GetBoolean(8) || control->globalState.GetBoolean(17)) return;
    // The texture's size comes with the picture: until then there is nothing to draw.
    if (bitmap->textureSize == 0 || width <= 0 || height <= 0) return;
    if (!window.Begin2DRender()) return;
    glPushAttrib(GL_ENABLE_BIT | GL_TEXTURE_BIT);
    glEnable(GL_TEXTURE_2D);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
    glDisable(GL_CULL_FACE);
    const int b = static_cast<int>(window.height) - height - BottomBars() - kBarGap;
    glPushMatrix();
    glTranslated(width / 2.0, height / 2.0 + b, 0.0);
    glRotated(angle, 0.0, 0.0, 1.0);
    glTranslated(-width / 2.0, -height / 2.0, 0.0);
    bitmap->Bind();
    const double s = static_cast<double>(width) / bitmap->textureSize;
    const double t = static_cast<double>(height) / bitmap->textureSize;
    glBegin(GL_QUADS);
    glTexCoord2d(0.0, 0.0);
    glVertex2d(x, -y);
    glTexCoord2d(0.0, t);
    glVertex2d(x, height - y);
    glTexCoord2d(s, t);
    glVertex2d(x + width, height - y);
    glTexCoord2d(s, 0.0);
    glVertex2d(x + width, -y);
    glEnd();
    glPopMatrix();
    glPopAttrib();
    window.End2DRender();
}

void Compass::UpdatePosition(Window& window) {
    BaseControl* control = theControl();
    if (!control) return;
    angle = control->globalState.GetDouble(15) + window.camera.GetVector(1).y + 90.0;
    Draw(window);
}
