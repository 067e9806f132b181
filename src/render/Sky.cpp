#include "render/Sky.h"

#include "foundation/KeyDataList.h"

EnvironmentObject::~EnvironmentObject() = default;

void EnvironmentObject::WriteKeyData() {
    if (element || kind != kSkyDome) return;
    BaseModel::WriteKeyData();
    KeyDataList* keys = element->ReleaseChildren();
    delete element;
    element = new KeyDataSublist("Dome", keys);
}
