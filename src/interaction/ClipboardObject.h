#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "foundation/LinkedList.h"

class BaseControl;
class SerializableObject;
class UndoableObject;

// One entry of the control's clipboard: a copy of a top-level object kept as its plan
// element (the element's kind and its keys in the binary plan form), so that an entry
// never refers to an object of the scene, which may be deleted while the entry lives.
class ClipboardObject : public LinkedListObject {
public:
    ClipboardObject(std::string kind, std::vector<uint8_t> payload);

    // The entry for `object`; null, with a trace, for an object whose kind cannot be
    // pasted or that writes no element.
    static ClipboardObject* CopyOf(UndoableObject& object);
    // Whether a plan element of that kind can be pasted as a new top-level object.
    static bool IsPasteableKind(const std::string& kind);

    const std::string& GetKind() const { return kind_; }
    const std::vector<uint8_t>& GetPayload() const { return payload_; }

    // A new scene object made from the entry and appended to the scene the way a plan's
    // element is (the caller records it). Its transaction ids are fresh ones. Null, with
    // a trace and the scene unchanged, for a damaged payload, one that is not one element
    // of the entry's kind, or one the kind's loader refuses.
    UndoableObject* MakeObject(BaseControl& control) const;

private:
    std::string kind_;
    std::vector<uint8_t> payload_;
};
