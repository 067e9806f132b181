// kivora-catalogue: builds the content server's site.
//
//   kivora-catalogue catalogue SITE PAGES     the starter catalogue, pages and accounts
//   kivora-catalogue components SITE FILE...  the components, the version list and the
//                                             update script
#include <iostream>
#include <string>
#include <vector>

#include "CatalogueWriter.h"

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "catalogue" && argc == 4) return WriteCatalogue(argv[2], argv[3]) ? 0 : 1;
    if (mode == "components" && argc >= 4)
        return WriteComponents(argv[2], std::vector<std::string>(argv + 3, argv + argc)) ? 0 : 1;
    std::cerr << "usage: kivora-catalogue catalogue SITE PAGES\n"
                 "       kivora-catalogue components SITE FILE...\n";
    return 2;
}
