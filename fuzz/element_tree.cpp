// Feeds arbitrary bytes to the element tree's binary reader. Whatever it keeps must write
// back and read again to the same tree, byte for byte.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "foundation/KeyDataList.h"

namespace {

std::string WriteToBytes(const KeyDataList& list) {
    char* data = nullptr;
    size_t size = 0;
    FILE* file = open_memstream(&data, &size);
    if (!file) std::abort();
    if (!list.WriteBinary(file)) std::abort();
    std::fclose(file);
    std::string bytes(data, size);
    std::free(data);
    return bytes;
}

void ReadBytes(const uint8_t* data, size_t size, KeyDataList& list, bool* complete) {
    FILE* file = fmemopen(const_cast<uint8_t*>(data), size, "rb");
    if (!file) std::abort();
    *complete = list.ReadBinary(file);
    std::fclose(file);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    KeyDataList first;
    bool complete = false;
    ReadBytes(data, size, first, &complete);

    const std::string written = WriteToBytes(first);
    std::string xml;
    first.WriteXML(xml);
    if (written.empty()) return 0;

    KeyDataList second;
    bool again = false;
    ReadBytes(reinterpret_cast<const uint8_t*>(written.data()), written.size(), second, &again);
    if (!again) std::abort();
    if (WriteToBytes(second) != written) std::abort();
    std::string xmlAgain;
    second.WriteXML(xmlAgain);
    if (xmlAgain != xml) std::abort();

    KeyDataList copy;
    copy.AppendCopiesOf(second);
    if (WriteToBytes(copy) != written) std::abort();
    return 0;
}
