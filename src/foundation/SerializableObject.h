#pragma once

class KeyDataList;
class KeyDataSublist;

// An object that becomes key data in a plan file and a piece of the bill of materials.
// Besides its own keys it may carry free key/value pairs, its object information, which
// travels with it.
class SerializableObject {
public:
    SerializableObject() = default;
    virtual ~SerializableObject();
    SerializableObject(const SerializableObject&) = delete;
    SerializableObject& operator=(const SerializableObject&) = delete;

    // Builds the object's element into `element`.
    virtual void WriteKeyData() = 0;

    KeyDataList* GetInformation() const { return information; }

protected:
    // The element WriteKeyData has just built; owned until it is written or handed on.
    KeyDataSublist* element = nullptr;
    // The object information; owned, null until the first value is set.
    KeyDataList* information = nullptr;
};
