// Feeds arbitrary bytes to the model geometry reader as a geometry file, with a small
// software OpenGL context current so that every part's display lists are compiled, then
// walks the part tree and frees it: every count, index and name from the file must stay
// within what was read.
#include <GL/osmesa.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "model/BaseModel.h"
#include "model/Part.h"
#include "platform/Files.h"

namespace {

const std::string& InputPath() {
    static const std::string folder = [] {
        std::string made = platform::MakeUniqueFolder(platform::TemporaryFolder(), "fuzzgeo-");
        if (made.empty()) std::abort();
        static std::string removeAtExit = made;
        std::atexit([] { platform::RemoveFolderTree(removeAtExit); });
        return made;
    }();
    static const std::string path = folder + "input.geo";
    return path;
}

void MakeContextCurrent() {
    static std::vector<uint8_t> buffer(8 * 8 * 4);
    static OSMesaContext context = OSMesaCreateContextExt(OSMESA_RGBA, 16, 0, 0, nullptr);
    if (!context || !OSMesaMakeCurrent(context, buffer.data(), GL_UNSIGNED_BYTE, 8, 8))
        std::abort();
}

int CountParts(LinkedList& list, int depth) {
    int count = 0;
    for (LinkedListObject* node = list.GetHead(); node; node = node->GetNext()) {
        ++count;
        auto* group = dynamic_cast<PartGroup*>(node);
        if (group && depth < 1000) count += CountParts(group->GetMembers(), depth + 1);
        if (auto* sub = dynamic_cast<SubObjectPart*>(node))
            if (std::string(sub->GetName()).size() > 127) std::abort();
    }
    return count;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FILE* file = std::fopen(InputPath().c_str(), "wb");
    if (!file) return 0;
    std::fwrite(data, 1, size, file);
    std::fclose(file);

    MakeContextCurrent();
    BaseModel model;
    model.LoadMaterials(nullptr, 0, nullptr, nullptr, nullptr);
    if (!model.ParseGeometryFile(InputPath().c_str())) std::abort();
    // At least 14 bytes a face, 2 a token: no part without its token.
    if (static_cast<uint64_t>(model.triangleCount) * 14 > size) std::abort();
    if (static_cast<size_t>(CountParts(model.GetParts(), 0)) * 2 > size) std::abort();
    model.Render();
    return 0;
}
