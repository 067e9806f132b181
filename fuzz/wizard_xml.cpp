// Reads arbitrary bytes as a wizard answer file.
#include <cstdint>
#include <cstdio>
#include <string>

#include "foundation/WizardXMLProcessor.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    FILE* file = fmemopen(const_cast<uint8_t*>(data), size, "r");
    if (!file) return 0;
    WizardXMLProcessor reader;
    reader.ParseFile(file);
    std::fclose(file);
    std::string xml;
    reader.GetTree().WriteXML(xml);
    return 0;
}
