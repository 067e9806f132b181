// kivora-setup: what the product's setup page does on a new machine. It fetches the
// updater component from the content server into the program folder and registers it;
// Kivora then brings every other component up to date at its start.
//
//   kivora-setup SERVER     SERVER: the content server's host and port
#include <cstdio>
#include <iostream>
#include <string>

#include "foundation/Common.h"
#include "foundation/Trace.h"
#include "installer/Component.h"

int main(int argc, char** argv) {
    if (argc != 2 || !*argv[1]) {
        std::cerr << "usage: kivora-setup SERVER\n";
        return 2;
    }
    const std::string folder = GetProgramFolder();
    if (folder.empty()) {
        std::cerr << "kivora-setup: no program folder (set HOME or KIVORA_PROGRAM_FILES)\n";
        return 1;
    }
    SetTraceWriteFile(stderr);
    std::string domain = argv[1];
    if (domain.find("http") == std::string::npos) domain = "http://" + domain;
    if (domain.back() != '/') domain += '/';
    Component updater("libPatchrunner.so", "/Patchrunner.dl_", "UpdaterVersion", folder);
    const bool installed = updater.PointSourceAt(domain.c_str()) && updater.Install();
    SetTraceWriteFile(nullptr);
    if (!installed) {
        std::cerr << "kivora-setup: the updater could not be installed from " << domain << "\n";
        return 1;
    }
    std::cout << "kivora-setup: the updater is installed in " << folder << "\n";
    return 0;
}
