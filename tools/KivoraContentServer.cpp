// kivora-content-server: the project's local content server.
//
//   kivora-content-server --site DIR --uploads DIR [--port N] [--port-file FILE]
//
// Serves the site on 127.0.0.1 (on port N when it is free, else on a free port), keeps
// uploads in the uploads folder, writes the address it listens on to FILE, and runs
// until it is interrupted or terminated.
#include <signal.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <string>

#include "ContentServer.h"

int main(int argc, char** argv) {
    std::string site, uploads, portFile;
    int port = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
        if (!value) {
            std::cerr << "kivora-content-server: " << option << " needs a value\n";
            return 2;
        }
        if (option == "--site")
            site = value;
        else if (option == "--uploads")
            uploads = value;
        else if (option == "--port")
            port = std::atoi(value);
        else if (option == "--port-file")
            portFile = value;
        else {
            std::cerr << "kivora-content-server: unknown option " << option << "\n";
            return 2;
        }
        ++i;
    }
    if (site.empty() || uploads.empty() || port < 0 || port > 65535) {
        std::cerr << "usage: kivora-content-server --site DIR --uploads DIR [--port N] "
                     "[--port-file FILE]\n";
        return 2;
    }

    // The signals that end the server are taken by this thread alone.
    sigset_t stop;
    sigemptyset(&stop);
    sigaddset(&stop, SIGINT);
    sigaddset(&stop, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stop, nullptr);

    ContentServer server(site, uploads);
    if (!server.Start(port)) {
        std::cerr << "kivora-content-server: cannot listen on 127.0.0.1\n";
        return 1;
    }
    if (!portFile.empty()) {
        std::ofstream out(portFile, std::ios::trunc);
        out << server.Address() << "\n";
        if (!out) {
            std::cerr << "kivora-content-server: cannot write " << portFile << "\n";
            return 1;
        }
    }
    std::cout << "Kivora content server on http://" << server.Address() << "/ (site " << site
              << ", uploads kept in " << uploads << ")" << std::endl;
    int signal = 0;
    sigwait(&stop, &signal);
    server.Stop();
    return 0;
}
