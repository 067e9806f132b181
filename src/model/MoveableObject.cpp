#include "model/MoveableObject.h"

MoveableObject::~MoveableObject() = default;

void MoveableObject::SetPosition(const Vector& newPosition) {
    position.Set(newPosition);
}

void MoveableObject::OffsetPosition(const Vector& offset) {
    position.Add(offset);
}
