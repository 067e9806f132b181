// Extracts arbitrary bytes as a cabinet into a fresh temporary folder.
#include "foundation/Cabinet.h"

#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    namespace fs = std::filesystem;
    std::string root = (fs::temp_directory_path() / "fuzzcab-XXXXXX").string();
    if (!mkdtemp(root.data())) return 0;
    const std::string cabinet = root + "/input.cab";
    if (FILE* f = std::fopen(cabinet.c_str(), "wb")) {
        std::fwrite(data, 1, size, f);
        std::fclose(f);
        fs::create_directory(root + "/out");
        char last[kCabinetPathSize];
        DecompressCabinet(cabinet.c_str(), (root + "/out/").c_str(), last);
    }
    std::error_code ec;
    fs::remove_all(root, ec);
    return 0;
}
