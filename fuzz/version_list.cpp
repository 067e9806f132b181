// The server's version list and the version texts in it.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "foundation/Trace.h"
#include "installer/Component.h"
#include "installer/FileVersion.h"
#include "installer/VersionFetcher.h"
#include "platform/Files.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string path = platform::TemporaryFolder() + "versionInfo.txt";
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return 0;
    std::fwrite(data, 1, size, file);
    std::fclose(file);

    Component editor("libRoomwright.so", "/Roomwright.dl_", "DuzazododizaVersion", "/p");
    Component host("Kivora", "/Kivora.ex_", "HostVersion", "/p");
    Component* table[] = {&editor, &host};
    VersionFetcher fetcher(table, 2, "/p");
    fetcher.ReadVersionFile(path.c_str());

    const std::string text(reinterpret_cast<const char*>(data), size);
    FileVersion version;
    version.Parse(text.c_str());
    return 0;
}
