// kivora-setup: what the product's setup does on a machine. It fetches the program and
// the updater component from the content server into the program folder (replacing
// what is there) and registers the updater; the program then brings every other
// component up to date at its start.
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
    ExecutableComponent program("Kivora", "/Kivora.ex_", "HostVersion", folder);
    Component updater("libPatchrunner.so", "/Patchrunner.dl_", "UpdaterVersion", folder);
    bool installed = true;
    for (Component* component : {static_cast<Component*>(&program), &updater}) {
        if (!component->PointSourceAt(domain.c_str()) || !component->Install()) {
            std::cerr << "kivora-setup: " << component->Source().FullName()
                      << " could not be installed from " << domain << "\n";
            installed = false;
        }
    }
    SetTraceWriteFile(nullptr);
    if (!installed) return 1;
    std::cout << "kivora-setup: Kivora and its updater are installed in " << folder << "\n";
    return 0;
}
