#include "foundation/SerializableObject.h"

#include "foundation/Trace.h"

namespace {

const char kInformationName[] = "ObjectInformation";

bool HasMembers(const KeyDataList* list) {
    return list && !list->IsEmpty();
}

}  // namespace

SerializableObject::~SerializableObject() {
    delete element;
    SetInformationList(nullptr);
}

bool SerializableObject::AttachObjectInformation(FILE* stream) {
    if (!element) return false;
    if (HasMembers(information))
        element->GetChildren()->AddSublist(kInformationName)->AppendCopiesOf(*information);
    const bool written = element->WriteBinary(stream);
    delete element;
    element = nullptr;
    return written;
}

void SerializableObject::WriteObjectInformation(std::string&) {}

void SerializableObject::CopyObjectInformation(const SerializableObject& other) {
    if (&other == this || !HasMembers(other.information)) return;
    auto* copy = new KeyDataList;
    copy->AppendCopiesOf(*other.information);
    SetInformationList(copy);
}

void SerializableObject::SetInformationValue(KeyText key, KeyText value) {
    if (key.isNull || value.isNull) return;
    if (!information) information = new KeyDataList;
    if (KeyDataElement* old = information->FindElement(key)) information->DeleteNode(old);
    information->AddString(key, value);
}

void SerializableObject::LoadInformation(KeyDataList& keys) {
    KeyDataList* taken = keys.TakeSublist(kInformationName);
    if (taken == KeyDataList::SharedEmpty()) return;  // no information in the keys
    if (HasMembers(taken))
        SetInformationList(taken);
    else
        delete taken;
}

void SerializableObject::SetInformationList(KeyDataList* list) {
    if (list == KeyDataList::SharedEmpty()) list = nullptr;
    if (information && information != list) delete information;
    information = list;
}

void SerializableObject::SaveInformation(KeyText name, KeyDataList& list) {
    WriteKeyData();
    if (!element) return;
    auto* wrapper = new KeyDataSublist(name);
    wrapper->GetChildren()->Add(element);
    element = nullptr;
    list.Add(wrapper);
}

void AppendXmlEscaped(std::string& buffer, std::string_view text) {
    if (text.size() > kMaxXmlPieceLength) {
        theTrace().WriteFormat("XML text of %zu bytes left out", text.size());
        return;
    }
    AppendXmlText(buffer, text, XmlInvalidByte::kReplacement);
}

void WriteObjectInformationXml(std::string& buffer, const KeyDataList* list) {
    if (!HasMembers(list)) return;
    buffer += "<objectInformation ";
    list->WriteXML(buffer);
    buffer += "</objectInformation>";
}
