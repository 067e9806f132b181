#include "support/ContentServer.h"

#include <cstdio>
#include <fstream>
#include <iterator>

#include "foundation/Cabinet.h"
#include "foundation/KeyDataList.h"
#include "geometry/Vector.h"
#include "support/GeometryFile.h"

namespace {

std::string ReadWhole(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// A light's command file: its model is the box; spot lights are positional, the sun
// directional.
void AddLight(KeyDataList& file, bool spot) {
    KeyDataList* light = file.AddSublist("LightSource");
    light->AddString("URLWithoutDomain", "3d/box.3c_");
    if (spot) {
        KeyDataList* positional = light->AddSublist("Positional");
        positional->AddDouble("SpotAngle", 45.0);
        positional->AddDouble("DepthMapWidth", 64.0);
        positional->AddDouble("DepthMapHeight", 64.0);
    } else {
        Vector(0.3, -1.0, 0.2).WriteChild(*light->AddSublist("Directional"), "Direction");
    }
}

}  // namespace

ContentServer::ContentServer() : cacheEnv_("KIVORA_URL_CACHE", cache_.Path()) {
    GeometryFile box;
    box.Triangle().PartEnd().End();
    Serve("/3d/box.3c_", Cabinet("box.geo", std::string(box.bytes.begin(), box.bytes.end())));

    KeyDataList sky;
    KeyDataList* model = sky.AddSublist("Model");
    model->AddString("URLwithoutDomain", "3d/box.3c_");
    model->AddString("Name", "cumulus");
    ServeTree("/plansys/defaultSky/cumulus.3c_", sky);

    KeyDataList sun;
    AddLight(sun, false);
    ServeTree("/plansys/gsun/sun.3c_", sun);
    KeyDataList spot;
    AddLight(spot, true);
    ServeTree("/3d/compressedfileformat/defaultspotlight.3c_", spot);

    KeyDataList wood;
    KeyDataList* material = wood.AddSublist("Material");
    KeyDataList* colour = material->AddSublist("Color");
    colour->AddDouble("Red", 0.75);
    colour->AddDouble("Green", 0.5);
    colour->AddDouble("Blue", 0.25);
    ServeTree("/textures/finished_wood/cherry_blonde_im.3c_", wood);
}

bool ContentServer::Start() {
    return server_.Start();
}

void ContentServer::Serve(const std::string& path, const std::string& bytes) {
    server_.Server().Get(path, [this, path, bytes](const httplib::Request&, httplib::Response& res) {
        {
            std::lock_guard<std::mutex> guard(mutex_);
            ++requests_[path];
        }
        res.set_content(bytes, "application/octet-stream");
    });
}

void ContentServer::ServeTree(const std::string& path, const KeyDataList& tree) {
    const std::string file = build_.Path() + "tree.bin";
    FILE* out = std::fopen(file.c_str(), "wb");
    if (!out) return;
    tree.WriteBinary(out);
    std::fclose(out);
    Serve(path, Cabinet("tree.bin", ReadWhole(file)));
}

std::string ContentServer::Cabinet(const std::string& member, const std::string& bytes) {
    const std::string path = build_.Path() + member;
    std::ofstream(path, std::ios::binary) << bytes;
    const std::string cabinet = path + ".cab";
    const char* files[] = {path.c_str()};
    if (!CreateCabinet(1, files, cabinet.c_str())) return std::string();
    return ReadWhole(cabinet);
}

int ContentServer::Requests(const std::string& path) const {
    std::lock_guard<std::mutex> guard(mutex_);
    auto found = requests_.find(path);
    return found == requests_.end() ? 0 : found->second;
}
