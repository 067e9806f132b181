#include "foundation/SerializableObject.h"

#include "foundation/KeyDataList.h"

SerializableObject::~SerializableObject() {
    delete element;
    delete information;
}
