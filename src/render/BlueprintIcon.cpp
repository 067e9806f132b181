#include "render/BlueprintIcon.h"

#include <GL/gl.h>

#include <new>

#include "control/BaseControl.h"
#include "control/RenderLockScope.h"
#include "model/BaseModel.h"
#include "render/Bitmap.h"
#include "render/TextureList.h"

BlueprintIcon::BlueprintIcon(const char* url, BaseModel* owner) : owner(owner) {
    if (!url || !*url) return;
    BaseControl* control = theControl();
    TextureList* list = control ? control->GetTextureList() : nullptr;
    Bitmap* found = list ? list->FindByName(url) : nullptr;
    if (found) {
        control->IncrementLoadProgress();
        control->globalState.SetDouble(16, 100.0);
    } else {
        found = new (std::nothrow) Bitmap;
        if (!found) return;
        if (list) {
            list->Append(found);
        }
        found->LoadAsync(url, true);
        if (!list) {
            // Nothing shares it and nothing would free it.
            delete found;
            return;
        }
    }
    RenderLockScope lock(control);
    picture = found;
    TakeExtents();
}

BlueprintIcon::~BlueprintIcon() = default;

bool BlueprintIcon::TakeExtents() {
    if (!picture || picture->textureSize == 0 || picture->cols == 0 || picture->rows == 0)
        return false;
    s = static_cast<double>(picture->cols) / picture->textureSize;
    t = static_cast<double>(picture->rows) / picture->textureSize;
    return true;
}

void BlueprintIcon::Draw() {
    if (!owner) return;
    // A picture that has not arrived has no size to place its texture by.
    if (picture && !TakeExtents()) return;
    const BoundingBox& box = owner->GetBoundingBox();
    glPushAttrib(GL_ENABLE_BIT | GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_CURRENT_BIT);
    if (picture) {
        glEnable(GL_TEXTURE_2D);
        picture->Bind();
    }
    glDepthMask(GL_FALSE);
    glPushName(GetPickName());
    glPushMatrix();
    glScaled(owner->scale.x, owner->scale.y, owner->scale.z);
    const double y = (box.min.y + box.max.y) * 0.5;
    glColor3ub(255, 255, 255);
    glBegin(GL_QUADS);
    glTexCoord2d(0.0, t);
    glVertex3d(box.min.x, y, box.min.z);
    glTexCoord2d(0.0, 0.0);
    glVertex3d(box.min.x, y, box.max.z);
    glTexCoord2d(s, 0.0);
    glVertex3d(box.max.x, y, box.max.z);
    glTexCoord2d(s, t);
    glVertex3d(box.max.x, y, box.min.z);
    glEnd();
    glPopMatrix();
    glPopName();
    glPopAttrib();
}
