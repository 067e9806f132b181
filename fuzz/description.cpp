// Feeds arbitrary bytes to the description file reader as an extracted description, then
// joins every relative address of every list to that list's domain: each joined address
// must be an "http://" address that fits its buffer. The "Model" list is then read by a
// model, and each of its sub-object entries sizes a replacement's materials, as plans and
// catalogue items do; addresses are dropped first, so that nothing is fetched.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "foundation/KeyDataList.h"
#include "foundation/ServerCommandFile.h"
#include "model/Model.h"
#include "model/SubObject.h"
#include "platform/Files.h"

namespace {

const std::string& InputPath() {
    static const std::string folder = [] {
        std::string made = platform::MakeUniqueFolder(platform::TemporaryFolder(), "fuzzdesc-");
        if (made.empty()) std::abort();
        static std::string removeAtExit = made;
        std::atexit([] { platform::RemoveFolderTree(removeAtExit); });
        return made;
    }();
    static const std::string path = folder + "description.bin";
    return path;
}

void JoinRelativeAddresses(const KeyDataList& list, int depth) {
    for (auto* member = list.GetFirstMember(); member; member = member->GetNextMember()) {
        if (!member->IsElement()) {
            auto* sublist = static_cast<const KeyDataSublist*>(member);
            if (depth < KeyDataList::kMaxDepth)
                JoinRelativeAddresses(*sublist->GetChildren(), depth + 1);
            continue;
        }
        if (!IsRelativeURLKey(member->GetName())) continue;
        char address[DownloadableObject::kTextSize];
        std::memset(address, 'z', sizeof address);
        if (ResolveRelativeURL(list, member->GetName(), address, sizeof address)) {
            if (std::strncmp(address, "http://", 7) != 0) std::abort();
            if (std::strlen(address) >= sizeof address) std::abort();
        } else if (address[0] != 0) {
            std::abort();
        }
    }
}

// Removes every key that names something to fetch, at any depth.
void DropAddresses(KeyDataList& list, int depth) {
    for (auto* member = list.GetFirstMember(); member;) {
        auto* next = member->GetNextMember();
        if (!member->IsElement()) {
            if (depth < KeyDataList::kMaxDepth)
                DropAddresses(*static_cast<KeyDataSublist*>(member)->GetChildren(), depth + 1);
        } else if (std::strstr(member->GetName(), "URL") || std::strstr(member->GetName(), "Url") ||
                   std::strstr(member->GetName(), "url")) {
            list.DeleteNode(member);
        }
        member = next;
    }
}

void ReadAsModel(KeyDataList& tree) {
    KeyDataList* keys = tree.GetSublist("Model");
    if (!keys || keys == KeyDataList::SharedEmpty()) return;
    DropAddresses(*keys, 0);
    for (auto* entry = keys->GetSublist("SubObjectList")->GetFirstMember(); entry;
         entry = entry->GetNextMember()) {
        if (entry->IsElement()) continue;
        KeyDataList& entryKeys = *static_cast<KeyDataSublist*>(entry)->GetChildren();
        SubObject replacement("fuzz");
        int count = 0;
        entryKeys.GetInt("MaterialCount", count);
        replacement.LoadMaterials(entryKeys.GetSublist("MaterialList"), count, nullptr, nullptr,
                                  nullptr);
    }
    Model model;
    model.ReadKeyData(*keys);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FILE* file = std::fopen(InputPath().c_str(), "wb");
    if (!file) return 0;
    std::fwrite(data, 1, size, file);
    std::fclose(file);

    ServerCommandFile description;
    if (!description.ReadFile(InputPath().c_str())) std::abort();
    if (KeyDataList* tree = description.GetKeyData()) {
        JoinRelativeAddresses(*tree, 0);
        ReadAsModel(*tree);
    }
    return 0;
}
