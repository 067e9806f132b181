#include "interaction/ClipboardObject.h"

#include <strings.h>

#include <cstdio>
#include <cstdlib>
#include <utility>

#include "control/BaseControl.h"
#include "control/PlanFiles.h"
#include "foundation/KeyDataList.h"
#include "foundation/SerializableObject.h"
#include "foundation/Trace.h"
#include "foundation/UndoableObject.h"

namespace {

// The plan elements that stand alone as top-level objects. States, the terrain, the sky
// and the trace image change the control rather than add to the scene; roofs rest on
// the walls of their group.
constexpr const char* kPasteableKinds[] = {"Model", "LightSource", "Group", "Wall",  "Stairs",
                                           "Column", "Fence",      "Floor", "Text", "Dimension"};

// Removes every transaction id from the keys, so that the objects they make keep the
// fresh ids they take when they are made.
void DropTransactionIds(KeyDataList& keys) {
    BaseKeyDataElement* next = nullptr;
    for (BaseKeyDataElement* m = keys.GetFirstMember(); m; m = next) {
        next = m->GetNextMember();
        if (m->IsElement()) {
            if (strcasecmp(m->GetName(), "transactionObjectId") == 0) keys.DeleteNode(m);
        } else if (KeyDataList* children = static_cast<KeyDataSublist*>(m)->GetChildren()) {
            DropTransactionIds(*children);
        }
    }
}

}  // namespace

ClipboardObject::ClipboardObject(std::string kind, std::vector<uint8_t> payload)
    : kind_(std::move(kind)), payload_(std::move(payload)) {}

bool ClipboardObject::IsPasteableKind(const std::string& kind) {
    for (const char* name : kPasteableKinds)
        if (strcasecmp(name, kind.c_str()) == 0) return true;
    return false;
}

ClipboardObject* ClipboardObject::CopyOf(UndoableObject& object) {
    char* bytes = nullptr;
    size_t size = 0;
    FILE* stream = open_memstream(&bytes, &size);
    if (!stream) {
        TraceWrite("Clipboard: no memory for a copy.");
        return nullptr;
    }
    // The element as a plan holds it, object information included, and the stream's end.
    object.WriteKeyData();
    const bool written = object.AttachObjectInformation(stream);
    const bool ended = std::fputc(kPlanStreamEnd, stream) != EOF;
    std::fclose(stream);
    std::vector<uint8_t> payload(bytes, bytes + size);
    std::free(bytes);
    if (!written || !ended || payload.size() < 2) {
        theTrace().WriteFormat("Clipboard: no copy of type %llu.",
                               static_cast<unsigned long long>(object.GetTypeMask()));
        return nullptr;
    }
    // The kind is the element's own name, read back from the copy.
    std::vector<uint8_t> probe = payload;
    FILE* in = fmemopen(probe.data(), probe.size(), "rb");
    KeyDataList element;
    const bool whole = in && ReadPlanStream(in, element);
    if (in) std::fclose(in);
    const BaseKeyDataElement* first = element.GetFirstMember();
    if (!whole || !first || first->IsElement() || !IsPasteableKind(first->Name())) {
        theTrace().WriteFormat("Clipboard: objects of type %llu are not copied.",
                               static_cast<unsigned long long>(object.GetTypeMask()));
        return nullptr;
    }
    return new ClipboardObject(first->Name(), std::move(payload));
}

UndoableObject* ClipboardObject::MakeObject(BaseControl& control) const {
    if (payload_.empty() || !IsPasteableKind(kind_)) {
        theTrace().WriteFormat("Clipboard: an entry of kind \"%s\" cannot be pasted.", kind_.c_str());
        return nullptr;
    }
    std::vector<uint8_t> bytes = payload_;
    FILE* in = fmemopen(bytes.data(), bytes.size(), "rb");
    KeyDataList element;
    const bool whole = in && ReadPlanStream(in, element);
    if (in) std::fclose(in);
    BaseKeyDataElement* first = element.GetFirstMember();
    if (!whole || !first || first->IsElement() || first->GetNextMember() ||
        strcasecmp(first->GetName(), kind_.c_str()) != 0) {
        TraceWrite("Clipboard: a damaged entry was not pasted.");
        return nullptr;
    }
    auto* sublist = static_cast<KeyDataSublist*>(first);
    if (KeyDataList* keys = sublist->GetChildren()) DropTransactionIds(*keys);
    SerializableObject* made = control.LoadPlanObjects(*sublist);
    auto* object = dynamic_cast<UndoableObject*>(made);
    if (!object) {
        if (made) {
            // Only top-level scene objects are pasted.
            TraceWrite("Clipboard: the entry made no scene object.");
        } else {
            theTrace().WriteFormat("Clipboard: the %s entry was refused.", kind_.c_str());
        }
        return nullptr;
    }
    return object;
}
