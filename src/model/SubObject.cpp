#include "model/SubObject.h"

#include <strings.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>

#include "control/BaseControl.h"
#include "foundation/KeyDataList.h"
#include "foundation/Trace.h"
#include "model/ModelGeometry.h"
#include "model/Part.h"
#include "render/Material.h"

namespace {

// Skipping reads the file in pieces of at most this many bytes.
constexpr size_t kSkipPiece = 2046;

// The bytes that follow a token's count (or the token) up to the next token, by the
// geometry file format. Counts of zero still carry the first entry and the ranges.
uint64_t PayloadAfterCount(uint16_t token, uint32_t n) {
    const uint64_t count = n;
    switch (token) {
        case GeometryToken::kVertices:
            return 72 + 6 * (std::max<uint64_t>(count, 1) - 1);
        case GeometryToken::kFaces:
            return 14 * count;
        case GeometryToken::kTexCoords:
            return 48 + 2 * (std::max<uint64_t>(count, 1) - 1);
        case GeometryToken::kTexIndices:
            return 12 * count;
        default:  // outline points
            return 24 * count + 2;
    }
}

bool HasCount(uint16_t token) {
    return token == GeometryToken::kVertices || token == GeometryToken::kFaces ||
           token == GeometryToken::kTexCoords || token == GeometryToken::kTexIndices ||
           token == GeometryToken::kOutlinePoints || token == GeometryToken::kOutlinePoints2;
}

uint64_t FixedPayload(uint16_t token) {
    switch (token) {
        case GeometryToken::kAnimation:
            return 185;
        case GeometryToken::kMaterialRef:
            return 2;
        case GeometryToken::kSubObjectTransform:
            return 128;
        default:
            return 0;
    }
}

bool ReadU16(FILE* file, uint16_t& v) {
    uint8_t b[2];
    if (std::fread(b, 1, 2, file) != 2) return false;
    v = static_cast<uint16_t>(b[0] | (b[1] << 8));
    return true;
}

bool ReadU32(FILE* file, uint32_t& v) {
    uint8_t b[4];
    if (std::fread(b, 1, 4, file) != 4) return false;
    v = static_cast<uint32_t>(b[0]) | (static_cast<uint32_t>(b[1]) << 8) |
        (static_cast<uint32_t>(b[2]) << 16) | (static_cast<uint32_t>(b[3]) << 24);
    return true;
}

// False when the file ends first.
bool SkipBytes(FILE* file, uint64_t n) {
    char piece[kSkipPiece];
    while (n > 0) {
        const size_t step = static_cast<size_t>(std::min<uint64_t>(n, sizeof piece));
        if (std::fread(piece, 1, step, file) != step) return false;
        n -= step;
    }
    return true;
}

// The name up to ';' (a longer name keeps its first bytes).
bool ReadName(FILE* file, char* name, size_t size) {
    size_t length = 0;
    for (;;) {
        const int c = std::fgetc(file);
        if (c == EOF) return false;
        if (c == ';') break;
        if (length + 1 < size) name[length++] = static_cast<char>(c);
    }
    name[length] = 0;
    return true;
}

}  // namespace

SubObject::SubObject(const char* text) {
    SetName(text);
}

SubObject::SubObject(const char* text, const char* localPath) {
    SetName(text);
    if (localPath) std::snprintf(decompressedFile, sizeof decompressedFile, "%s", localPath);
}

SubObject::~SubObject() {
    CancelDownload();
}

void SubObject::SetName(const char* text) {
    PRECONDITION(text && *text, "SubObjectName is Invalid");
    std::snprintf(name, sizeof name, "%s", text ? text : "");
}

void SubObject::AttachTo(BaseModel* newParent, bool undo) {
    parent = newParent;
    withUndo = undo ? 1 : 0;
    if (loaded) {
        BuildIntoParent();
        ReleaseToParent();
    }
}

int SubObject::OnDownloadComplete() {
    loaded = 1;
    if (parent) {
        BuildIntoParent();
        ReleaseToParent();
    }
    return 1;
}

void SubObject::DownloadThreadBody() {
    DownloadableObject::DownloadThreadBody();
    if (!loaded && parent && theControl()) DeleteWhenIdle();
}

void SubObject::BuildIntoParent() {
    if (!PRECONDITION(parent && loaded, "Not ready to build subObjectPart")) return;
    BaseControl* control = theControl();
    if (withUndo) {
        if (control) control->BeginUndoGroup();
        parent->BeginUndoStep();
    }
    Material* old = parent->FindSubObjectMaterials(name);
    parent->ReplaceSubObject(name, this);
    delete[] old;
    parent->FlagOverlappingLights();
    if (withUndo) {
        parent->EndUndoStep();
        if (control) control->EndUndoGroup();
    }
}

void SubObject::ReleaseToParent() {
    // The parts own the materials now.
    ReleaseMaterials();
    // Never freed from its own download thread: the render thread frees it.
    if (theControl()) DeleteWhenIdle();
}

SubObjectPart* SubObject::FindSectionPart(LinkedList& list, int k, int& counter) {
    SubObjectPart* found = nullptr;
    LinkedListIterator it(list);
    it.LockList();
    for (LinkedListObject* node = it.First(); !it.IsDone() && !found; node = it.Next()) {
        auto* group = dynamic_cast<PartGroup*>(node);
        if (!group) continue;
        if (auto* part = dynamic_cast<SubObjectPart*>(group); part && part->NameMatches(name)) {
            if (counter == k) {
                found = part;
                break;
            }
            ++counter;
        }
        found = FindSectionPart(group->GetMembers(), k, counter);
    }
    it.UnlockList();
    return found;
}

void SubObject::ReadSections(FILE* file, LinkedList& partList, BaseModel& model) {
    int section = 0;
    for (;;) {
        uint16_t token = 0;
        if (!ReadU16(file, token) || token == GeometryToken::kEnd) return;
        if (HasCount(token)) {
            uint32_t n = 0;
            if (!ReadU32(file, n) || !SkipBytes(file, PayloadAfterCount(token, n))) return;
            continue;
        }
        if (token != GeometryToken::kSubObjectBegin) {
            if (!SkipBytes(file, FixedPayload(token))) return;
            continue;
        }
        char sectionName[kNameSize] = {};
        if (!ReadName(file, sectionName, sizeof sectionName)) return;
        // Other sub-objects' tokens are scanned like any others.
        if (strcasecmp(sectionName, name) != 0) continue;
        int counter = 0;
        SubObjectPart* target = FindSectionPart(partList, section++, counter);
        // A section without its part is passed over.
        if (!target) continue;
        GeometryReader::BeginGLWork();
        target->GetMembers().DeleteAll();
        GeometryReader::EndGLWork();
        model.ReadGeometryTokens(file, target->GetMembers(), target, target);
        target->built = 0;
    }
}

// ---- The model's side of sub-objects ----

void BaseModel::LoadSubObjectEntry(KeyDataSublist& entry) {
    KeyDataList& keys = *entry.GetChildren();
    if (keys.IsEmpty() || strcasecmp(entry.GetName(), "transactionObjectId") == 0) return;
    const char* address = keys.GetString("SubObjectURL");
    if (!entry.GetName()[0] || !address || !*address) {
        ReadSubObjectSection(entry.GetName());
        return;
    }
    auto* sub = new SubObject(entry.GetName());
    int count = 0;
    keys.GetInt("MaterialCount", count);
    sub->LoadMaterials(keys.GetSublist("MaterialList"), count, nullptr, nullptr, nullptr);
    sub->SetCompressed(true);
    // Attached before the download starts: its thread reads the parent when it ends.
    sub->AttachTo(this, false);
    // A download that did not even start (or failed at once) leaves nothing behind; one
    // that ran handed the sub-object over itself.
    if (!sub->DownloadableObject::StartDownload(address)) delete sub;
}

void BaseModel::ReadSubObjectSection(const char* name) {
    FILE* file = std::fopen(decompressedFile, "rb");
    if (!file) return;
    {
        SubObject reader(name);
        reader.ReadSections(file, children, *this);
    }
    POSTCONDITION(std::fclose(file) == 0, "close file failed");
}

void BaseModel::AttachSubObject(const char* name, BaseModel* parent, LinkedList* list) {
    std::snprintf(subObjectName, sizeof subObjectName, "%s", name ? name : "");
    subObjectParent = parent;
    subObjectList = list;
    if (!loaded) return;
    ReplaceBySubObject();
    DeleteWhenIdle();
}

void BaseModel::ReplaceBySubObject() {
    auto* sub = new SubObject(subObjectName, decompressedFile);
    std::snprintf(sub->url, sizeof sub->url, "%s", url);
    WriteKeyData();
    if (std::unique_ptr<KeyDataSublist> keys{TakeWrittenElement()})
        sub->ReadKeyData(*keys->GetChildren());
    sub->AttachTo(subObjectParent, false);
    sub->OnDownloadComplete();
    subObjectParent = nullptr;
    subObjectName[0] = 0;
}
