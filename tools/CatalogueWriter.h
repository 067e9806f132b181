#pragma once

#include <string>
#include <vector>

// Builds the content server's site: the starter catalogue (textures, materials, furniture
// models with their descriptions, lights, wizard templates), the directory page that
// lists them, the site's pages, the accounts, and the components as the installer
// fetches them.

// Writes the catalogue and the pages into `site` (made when missing); `pages` is a folder
// of page templates copied in with their paths in lower case. False, with a message on
// stderr, when something could not be written.
bool WriteCatalogue(const std::string& site, const std::string& pages);

// Packs each built component file (a library "lib<Name>.so", the installer's and the
// updater's included, or the program "Kivora") into the cabinet the installer fetches,
// and writes the version list and the update script.
bool WriteComponents(const std::string& site, const std::vector<std::string>& files);

// One entry of the directory page.
struct CatalogueItem {
    std::string title;
    std::string section;    // "Furniture", "Lights", "Materials"
    std::string path;       // the description's path on the site ("catalogue/....3c_")
    std::string thumbnail;  // the picture's path on the site
};

// What WriteCatalogue puts on the directory page.
std::vector<CatalogueItem> CatalogueItems();
