#pragma once

#include <cstddef>
#include <cstdio>
#include <string>
#include <string_view>

#include "foundation/KeyDataList.h"

// An object that becomes key data in a plan file and a piece of the bill of materials.
// Besides its own keys it may carry free key/value pairs, its object information, which
// travels with it: in the plan as the sublist "ObjectInformation" of its element, in the
// bill of materials as one "<objectInformation " element.
class SerializableObject {
public:
    SerializableObject() = default;
    // Destroys the information and an element not handed on.
    virtual ~SerializableObject();
    SerializableObject(const SerializableObject&) = delete;
    SerializableObject& operator=(const SerializableObject&) = delete;

    // Writes the element built by WriteKeyData to the plan stream in the binary form,
    // with a copy of the information when there is any, and destroys it. False when
    // there was no element or the stream refused a write.
    virtual bool AttachObjectInformation(FILE* stream);
    // Appends the object's bill-of-materials XML; each class writes its own element.
    virtual void WriteObjectInformation(std::string& buffer);
    // Builds the object's element into `element`.
    virtual void WriteKeyData() = 0;
    // Takes copies of the other object's information when it has any.
    virtual void CopyObjectInformation(const SerializableObject& other);

    // Sets one pair of the information (created on first use), replacing the first pair
    // of that key in any letter case.
    void SetInformationValue(KeyText key, KeyText value);
    // Takes over the "ObjectInformation" sublist of a loaded element when it has members;
    // otherwise the information stays as it was.
    void LoadInformation(KeyDataList& keys);
    // Replaces the information by `list` (taken over; null for none).
    void SetInformationList(KeyDataList* list);
    // Builds the element and appends it to the list inside a new sublist of that name.
    void SaveInformation(KeyText name, KeyDataList& list);

    KeyDataList* GetInformation() const { return information; }

protected:
    // The element WriteKeyData has just built; owned until it is written or handed on.
    KeyDataSublist* element = nullptr;
    // The object information; owned, null until the first value is set.
    KeyDataList* information = nullptr;
};

// Longest text AppendXmlEscaped takes, in bytes.
constexpr size_t kMaxXmlPieceLength = 2000;

// Appends a text of the bill of materials with & < > " as entities and every character
// outside ASCII as one reference by its code point (a byte outside valid UTF-8 as
// U+FFFD). A text longer than kMaxXmlPieceLength bytes is left out, with a trace.
void AppendXmlEscaped(std::string& buffer, std::string_view text);

// Appends the information as one element: "<objectInformation " key="value" pairs, ">",
// its sublists, "</objectInformation>". Nothing for a null or empty list.
void WriteObjectInformationXml(std::string& buffer, const KeyDataList* list);
