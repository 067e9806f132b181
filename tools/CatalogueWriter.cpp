#include "CatalogueWriter.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <map>
#include <memory>
#include <sstream>

#include "foundation/Cabinet.h"
#include "foundation/KeyDataList.h"
#include "host/HostResources.h"
#include "support/GeometryFile.h"

#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STB_IMAGE_WRITE_STATIC
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wunused-function"
#include <stb_image_write.h>
#pragma GCC diagnostic pop

namespace fs = std::filesystem;

namespace {

// ---- Pictures ---------------------------------------------------------------------------

struct Rgb {
    double r, g, b;  // 0..1
};

struct Picture {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgb;

    Picture(int w, int h) : width(w), height(h), rgb(static_cast<size_t>(w) * h * 3) {}
    void Set(int x, int y, Rgb c) {
        uint8_t* p = &rgb[(static_cast<size_t>(y) * width + x) * 3];
        p[0] = static_cast<uint8_t>(std::clamp(c.r, 0.0, 1.0) * 255.0 + 0.5);
        p[1] = static_cast<uint8_t>(std::clamp(c.g, 0.0, 1.0) * 255.0 + 0.5);
        p[2] = static_cast<uint8_t>(std::clamp(c.b, 0.0, 1.0) * 255.0 + 0.5);
    }
};

Rgb Scale(Rgb c, double f) {
    return {c.r * f, c.g * f, c.b * f};
}

Rgb Mix(Rgb a, Rgb b, double t) {
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

// A repeatable noise value in 0..1 for a point and a seed.
double Noise(int x, int y, int seed) {
    uint32_t h = static_cast<uint32_t>(x) * 374761393u + static_cast<uint32_t>(y) * 668265263u +
                 static_cast<uint32_t>(seed) * 2246822519u;
    h = (h ^ (h >> 13)) * 1274126177u;
    return ((h ^ (h >> 16)) & 0xFFFF) / 65535.0;
}

using Pattern = std::function<Rgb(int x, int y, int size)>;

Pattern Speckled(Rgb base, double amount, int seed) {
    return [=](int x, int y, int) {
        return Scale(base, 1.0 - amount + 2 * amount * Noise(x, y, seed));
    };
}

Pattern Planks(Rgb base, int planks) {
    return [=](int x, int y, int size) {
        const int plank = size / planks;
        const int row = y / plank;
        const double grain =
            0.85 + 0.15 * std::sin((x + row * 17) * 0.35 + std::sin(y * 0.9) * 2.0);
        const bool seam = y % plank == 0 || (x + row * size / 3) % size == 0;
        return Scale(base, seam ? 0.55 : grain * (0.93 + 0.07 * Noise(row, 0, 7)));
    };
}

Pattern Bricks(Rgb brick, Rgb mortar) {
    return [=](int x, int y, int size) {
        const int h = size / 8;
        const int w = size / 4;
        const int row = y / h;
        const int shifted = x + (row % 2 ? w / 2 : 0);
        if (y % h < 2 || shifted % w < 2) return mortar;
        return Scale(brick, 0.85 + 0.25 * Noise(shifted / w, row, 3) + 0.05 * Noise(x, y, 4));
    };
}

Pattern Tiles(Rgb tile, Rgb grout, int count) {
    return [=](int x, int y, int size) {
        const int t = size / count;
        if (x % t < 2 || y % t < 2) return grout;
        return Scale(tile, 0.95 + 0.05 * Noise(x, y, 5));
    };
}

Pattern Boards(Rgb base, int count) {
    return [=](int x, int y, int size) {
        const int t = size / count;
        const int in = y % t;
        return Scale(base, in < 2 ? 0.6 : in < 4 ? 0.85 : 0.97 + 0.03 * Noise(x, y, 6));
    };
}

Pattern Shingles(Rgb base) {
    return [=](int x, int y, int size) {
        const int h = size / 8;
        const int w = size / 8;
        const int row = y / h;
        const int shifted = x + (row % 2 ? w / 2 : 0);
        if (y % h < 2 || shifted % w < 1) return Scale(base, 0.5);
        return Scale(base, 0.8 + 0.3 * Noise(shifted / w, row, 8) + 0.1 * Noise(x, y, 9));
    };
}

Pattern Weave(Rgb base) {
    return [=](int x, int y, int) {
        const bool over = ((x / 2) + (y / 2)) % 2 == 0;
        return Scale(base, (over ? 1.0 : 0.82) * (0.95 + 0.05 * Noise(x, y, 10)));
    };
}

Pattern Veins(Rgb base, Rgb vein) {
    return [=](int x, int y, int size) {
        const double t = std::sin((x + y) * 6.2832 / size * 2 + 3 * std::sin(y * 6.2832 / size));
        return Mix(base, vein, std::pow(std::max(0.0, t), 12.0) * 0.8);
    };
}

bool MakeParent(const std::string& path) {
    std::error_code error;
    fs::create_directories(fs::path(path).parent_path(), error);
    return !error;
}

bool SavePicture(const std::string& path, const Picture& picture) {
    if (!MakeParent(path)) return false;
    const bool jpeg = path.size() > 4 && path.compare(path.size() - 4, 4, ".jpg") == 0;
    return jpeg ? stbi_write_jpg(path.c_str(), picture.width, picture.height, 3, picture.rgb.data(),
                                 90) != 0
                : stbi_write_png(path.c_str(), picture.width, picture.height, 3, picture.rgb.data(),
                                 picture.width * 3) != 0;
}

Picture Paint(const Pattern& pattern, int size) {
    Picture picture(size, size);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) picture.Set(x, y, pattern(x, y, size));
    return picture;
}

// ---- Descriptions and cabinets ---------------------------------------------------------

// Packs one file into the cabinet `cabinet` (the file is removed afterwards).
bool Pack(const std::string& member, const std::string& cabinet) {
    if (!MakeParent(cabinet)) return false;
    const char* files[] = {member.c_str()};
    const bool packed = CreateCabinet(1, files, cabinet.c_str());
    std::error_code error;
    fs::remove(member, error);
    return packed;
}

// A description: the tree as a binary element stream, packed as `cabinet`.
bool WriteDescription(const KeyDataList& tree, const std::string& cabinet,
                      const std::string& scratch, const std::string& member) {
    const std::string path = scratch + member;
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    const bool written = tree.WriteBinary(file);
    if (std::fclose(file) != 0 || !written) return false;
    return Pack(path, cabinet);
}

void AddVector(KeyDataList& list, const char* name, double x, double y, double z) {
    KeyDataList* v = list.AddSublist(name);
    v->AddDouble("X", x);
    v->AddDouble("Y", y);
    v->AddDouble("Z", z);
}

// ---- Materials -------------------------------------------------------------------------

struct MaterialLook {
    std::string texture;  // a picture of catalogue/textures/ (with ".png"); empty: colour
    Rgb colour;
    double granularity;  // inches per repeat of the texture
    double shininess;    // 0..1, 1 dull
    double reflectivity = 1.0;
};

// The members of a "Material" sublist.
void FillMaterial(KeyDataList& material, const MaterialLook& recipe) {
    if (!recipe.texture.empty()) {
        material.AddString("TextureURLwithoutDomain", "catalogue/textures/");
        material.AddString("TextureURL", recipe.texture);
        material.AddString("ModulateTexture", "TRUE");
    }
    KeyDataList* colour = material.AddSublist("Color");
    colour->AddDouble("Red", recipe.colour.r);
    colour->AddDouble("Green", recipe.colour.g);
    colour->AddDouble("Blue", recipe.colour.b);
    colour->AddDouble("Alpha", 1.0);
    KeyDataList* specular = material.AddSublist("SpecularColor");
    specular->AddDouble("Red", 0.3);
    specular->AddDouble("Green", 0.3);
    specular->AddDouble("Blue", 0.3);
    material.AddDouble("Shininess", recipe.shininess);
    material.AddDouble("Reflectivity", recipe.reflectivity);
    material.AddDouble("GranularityX", recipe.granularity);
    material.AddDouble("GranularityY", recipe.granularity);
}

// ---- Models ----------------------------------------------------------------------------

// A box of a model, in the file's Z-up inches, with the index of its material.
struct Box {
    double x0, y0, z0, x1, y1, z1;
    int16_t material;
};

// Writes one part per box: its corners, twelve triangles with their outer edges, and
// texture coordinates in inches, so that a material's granularity means the same on a
// model as on a wall.
void WriteBoxes(GeometryFile& g, const std::vector<Box>& boxes) {
    static const int kQuads[6][4] = {{0, 2, 3, 1}, {4, 5, 7, 6}, {0, 1, 5, 4},
                                     {2, 6, 7, 3}, {0, 4, 6, 2}, {1, 3, 7, 5}};
    for (const Box& b : boxes) {
        const double x[2] = {b.x0, b.x1}, y[2] = {b.y0, b.y1}, z[2] = {b.z0, b.z1};
        std::array<double, 3> corner[8];
        for (int i = 0; i < 8; ++i) corner[i] = {x[i & 1], y[(i >> 1) & 1], z[(i >> 2) & 1]};
        const GeometryFile::Triple range = {
            std::max(b.x1 - b.x0, 1e-6), std::max(b.y1 - b.y0, 1e-6), std::max(b.z1 - b.z0, 1e-6)};
        std::vector<std::array<int16_t, 3>> steps;
        for (int i = 1; i < 8; ++i)
            steps.push_back({static_cast<int16_t>(i & 1 ? 32767 : 0),
                             static_cast<int16_t>((i >> 1) & 1 ? 32767 : 0),
                             static_cast<int16_t>((i >> 2) & 1 ? 32767 : 0)});
        g.MaterialRef(b.material);
        g.Vertices(corner[0], range, {0, 0, 0}, steps);

        std::vector<GeometryFile::Face> faces;
        std::vector<std::array<double, 2>> uv;
        std::vector<std::array<uint32_t, 3>> uvIndex;
        for (const auto& q : kQuads) {
            auto length = [&](int from, int to) {
                double s = 0;
                for (int k = 0; k < 3; ++k) s += std::pow(corner[to][k] - corner[from][k], 2);
                return std::sqrt(s);
            };
            const double w = length(q[0], q[1]);
            const double h = length(q[0], q[3]);
            const auto base = static_cast<uint32_t>(uv.size());
            uv.push_back({0, 0});
            uv.push_back({w, 0});
            uv.push_back({w, h});
            uv.push_back({0, h});
            faces.push_back({static_cast<uint32_t>(q[0]), static_cast<uint32_t>(q[1]),
                             static_cast<uint32_t>(q[2]), 3, 0});
            faces.push_back({static_cast<uint32_t>(q[0]), static_cast<uint32_t>(q[2]),
                             static_cast<uint32_t>(q[3]), 6, 0});
            uvIndex.push_back({base, base + 1, base + 2});
            uvIndex.push_back({base, base + 2, base + 3});
        }
        g.Faces(faces);
        double extent = 1e-6;
        for (const auto& t : uv) extent = std::max({extent, t[0], t[1]});
        std::vector<std::array<int8_t, 2>> uvSteps;
        for (size_t i = 1; i < uv.size(); ++i)
            uvSteps.push_back({static_cast<int8_t>(std::lround(uv[i][0] / extent * 127)),
                               static_cast<int8_t>(std::lround(uv[i][1] / extent * 127))});
        g.TexCoords({0, 0}, {extent, extent}, {0, 0}, uvSteps);
        g.TexIndices(uvIndex);
        g.PartEnd();
    }
    g.End();
}

struct ModelRecipe {
    std::string path;  // site path of the description, without ".3c_"
    std::vector<Box> boxes;
    std::vector<MaterialLook> materials;
};

// The box around the boxes in the control's Y-up space: (x, z, -y).
void AddBounds(KeyDataList& model, const std::vector<Box>& boxes) {
    double lo[3] = {1e300, 1e300, 1e300}, hi[3] = {-1e300, -1e300, -1e300};
    for (const Box& b : boxes) {
        const double yUp[2][3] = {{b.x0, b.z0, -b.y1}, {b.x1, b.z1, -b.y0}};
        for (int k = 0; k < 3; ++k) {
            lo[k] = std::min(lo[k], yUp[0][k]);
            hi[k] = std::max(hi[k], yUp[1][k]);
        }
    }
    AddVector(model, "BoundingBoxMin", lo[0], lo[1], lo[2]);
    AddVector(model, "BoundingBoxMax", hi[0], hi[1], hi[2]);
}

// The geometry cabinet and the keys a model's description shares with a light's.
bool WriteModelKeys(const std::string& site, const std::string& scratch, const ModelRecipe& recipe,
                    KeyDataList& keys, const char* relativeKey) {
    const std::string name = fs::path(recipe.path).filename().string();
    GeometryFile geometry;
    WriteBoxes(geometry, recipe.boxes);
    const std::string geo = scratch + name + ".geo";
    if (!geometry.Save(geo) || !Pack(geo, site + recipe.path + "_geo.3c_")) return false;
    keys.AddString(relativeKey, recipe.path + "_geo.3c_");
    AddBounds(keys, recipe.boxes);
    KeyDataList* list = keys.AddSublist("MaterialList");
    for (const MaterialLook& m : recipe.materials) FillMaterial(*list->AddSublist("Material"), m);
    keys.AddDouble("materialCount", static_cast<double>(recipe.materials.size()));
    return true;
}

bool WriteModel(const std::string& site, const std::string& scratch, const ModelRecipe& recipe) {
    KeyDataList tree;
    KeyDataList* model = tree.AddSublist("Model");
    if (!WriteModelKeys(site, scratch, recipe, *model, "URLwithoutDomain")) return false;
    return WriteDescription(tree, site + recipe.path + ".3c_", scratch,
                            fs::path(recipe.path).filename().string() + ".kdl");
}

// A light: its lamp's geometry and either a spot ("Positional") or the sun
// ("Directional").
bool WriteLight(const std::string& site, const std::string& scratch, const ModelRecipe& recipe,
                Rgb colour, bool sun) {
    KeyDataList tree;
    KeyDataList* light = tree.AddSublist("LightSource");
    if (!WriteModelKeys(site, scratch, recipe, *light, "URLWithoutDomain")) return false;
    KeyDataList* c = light->AddSublist("Color");
    c->AddDouble("Red", colour.r);
    c->AddDouble("Green", colour.g);
    c->AddDouble("Blue", colour.b);
    if (sun) {
        AddVector(*light->AddSublist("Directional"), "Direction", 0.4, 1.0, 0.3);
    } else {
        KeyDataList* spot = light->AddSublist("Positional");
        spot->AddDouble("SpotAngle", 60.0);
        spot->AddDouble("SpotIntensity", 1.0);
        spot->AddDouble("DepthMapWidth", 512);
        spot->AddDouble("DepthMapHeight", 512);
        spot->AddDouble("LightBitmapFalloff", 1);
        spot->AddDouble("BitmapSize", 64);
    }
    return WriteDescription(tree, site + recipe.path + ".3c_", scratch,
                            fs::path(recipe.path).filename().string() + ".kdl");
}

// ---- The starter catalogue -------------------------------------------------------------

const Rgb kCherry{0.55, 0.27, 0.16};
const Rgb kOak{0.80, 0.63, 0.42};
const Rgb kWhite{0.95, 0.95, 0.93};

struct TextureRecipe {
    const char* file;
    Pattern pattern;
};

std::vector<TextureRecipe> Textures() {
    return {
        {"oak.png", Planks(kOak, 4)},
        {"cherry.png", Planks(kCherry, 4)},
        {"brick.png", Bricks({0.62, 0.24, 0.17}, {0.78, 0.76, 0.72})},
        {"stucco.png", Speckled({0.90, 0.87, 0.80}, 0.06, 1)},
        {"tile.png", Tiles({0.93, 0.93, 0.90}, {0.62, 0.62, 0.60}, 4)},
        {"carpet.png", Speckled({0.40, 0.45, 0.55}, 0.12, 2)},
        {"fabric.png", Weave({0.35, 0.52, 0.40})},
        {"linen.png", Weave({0.92, 0.90, 0.84})},
        {"shingles.png", Shingles({0.36, 0.34, 0.33})},
        {"siding.png", Boards({0.72, 0.80, 0.86}, 8)},
        {"concrete.png", Speckled({0.66, 0.66, 0.64}, 0.10, 11)},
        {"marble.png", Veins({0.94, 0.93, 0.91}, {0.50, 0.50, 0.52})},
        {"formica.png", Speckled({0.72, 0.72, 0.70}, 0.08, 12)},
        {"grass.png", Speckled({0.30, 0.55, 0.22}, 0.20, 13)},
    };
}

struct NamedMaterial {
    const char* path;
    const char* title;  // shown in the directory when not empty
    MaterialLook recipe;
};

std::vector<NamedMaterial> Materials() {
    const Rgb grey{0.8, 0.8, 0.8};
    return {
        {"catalogue/materials/oakfloor", "Oak Floor", {"oak.png", kWhite, 36, 0.7}},
        {"catalogue/materials/cherry", "Cherry", {"cherry.png", kWhite, 36, 0.7}},
        {"catalogue/materials/brick", "Red Brick", {"brick.png", kWhite, 48, 1.0}},
        {"catalogue/materials/tile", "White Tile", {"tile.png", kWhite, 24, 0.4}},
        {"catalogue/materials/carpet", "Blue Carpet", {"carpet.png", kWhite, 48, 1.0}},
        {"catalogue/materials/marble", "Marble", {"marble.png", kWhite, 48, 0.3}},
        {"catalogue/materials/grass", "Grass", {"grass.png", kWhite, 48, 1.0}},
        {"catalogue/materials/sagepaint", "Sage Paint", {"", {0.62, 0.70, 0.56}, 1, 0.9}},
        // The editor's own defaults: walls, floors, roofs, counters and parts.
        {"textures/formica/greystone4790", "", {"formica.png", kWhite, 24, 0.6}},
        {"textures/stuccoplaster/stucco02a", "", {"stucco.png", kWhite, 48, 1.0}},
        {"textures/stuccoplaster/stucco02", "", {"stucco.png", kWhite, 48, 1.0}},
        {"textures/default_interior", "", {"", {0.93, 0.91, 0.86}, 1, 1.0}},
        {"textures/brick/bostonred_r_im", "", {"brick.png", kWhite, 48, 1.0}},
        {"textures/bruce/roofing_102_im", "", {"shingles.png", kWhite, 36, 1.0}},
        {"textures/siding/abtco_05brw", "", {"siding.png", kWhite, 48, 1.0}},
        {"textures/default_counter", "", {"marble.png", kWhite, 24, 0.3}},
        {"textures/default_covering", "", {"carpet.png", kWhite, 48, 1.0}},
        {"textures/default_mirror", "", {"", {0.85, 0.88, 0.90}, 1, 0.05, 0.5}},
        {"textures/plastics/whiteplasticmat", "", {"", kWhite, 1, 0.4}},
        {"textures/finished_wood/cherry_blonde_im", "", {"cherry.png", kWhite, 24, 0.6}},
        {"textures/finished_wood/white_oak_blonde_im", "", {"oak.png", kWhite, 24, 0.6}},
        {"textures/cement/concrete_16_im", "", {"concrete.png", kWhite, 48, 1.0}},
        {"textures/wood/autumncherrymat", "", {"cherry.png", kWhite, 24, 0.6}},
        {"plansys/skylightcurbingmat", "", {"", grey, 1, 0.8}},
    };
}

MaterialLook Wood(const char* texture) {
    return {texture, kWhite, 24, 0.6};
}
MaterialLook Cloth(const char* texture) {
    return {texture, kWhite, 12, 1.0};
}

// Four legs under a top at height `h` of a w x d piece.
void AddLegs(std::vector<Box>& boxes, double w, double d, double h, double t, int16_t m) {
    for (double x : {0.0, w - t})
        for (double y : {0.0, d - t}) boxes.push_back({x, y, 0, x + t, y + t, h, m});
}

struct NamedModel {
    const char* title;  // shown in the directory when not empty
    ModelRecipe recipe;
};

std::vector<NamedModel> Models() {
    std::vector<NamedModel> models;
    {
        ModelRecipe chair{
            "catalogue/furniture/chair", {}, {Wood("cherry.png"), Cloth("fabric.png")}};
        AddLegs(chair.boxes, 18, 18, 16, 1.5, 0);
        chair.boxes.push_back({0, 0, 16, 18, 18, 19, 1});
        chair.boxes.push_back({0, 16, 19, 18, 18, 36, 0});
        models.push_back({"Chair", chair});
    }
    {
        ModelRecipe table{"catalogue/furniture/table", {}, {Wood("oak.png")}};
        AddLegs(table.boxes, 60, 36, 28.5, 2.5, 0);
        table.boxes.push_back({0, 0, 28.5, 60, 36, 30, 0});
        models.push_back({"Dining Table", table});
    }
    {
        ModelRecipe sofa{"catalogue/furniture/sofa", {}, {Cloth("fabric.png"), Wood("cherry.png")}};
        sofa.boxes = {{0, 0, 0, 84, 36, 4, 1},
                      {0, 0, 4, 84, 36, 18, 0},
                      {0, 28, 18, 84, 36, 32, 0},
                      {0, 0, 18, 6, 28, 25, 0},
                      {78, 0, 18, 84, 28, 25, 0}};
        models.push_back({"Sofa", sofa});
    }
    {
        ModelRecipe shelf{"catalogue/furniture/bookcase", {}, {Wood("oak.png")}};
        shelf.boxes = {
            {0, 0, 0, 1, 12, 72, 0}, {35, 0, 0, 36, 12, 72, 0}, {1, 11.5, 0, 35, 12, 72, 0}};
        for (double z : {0.0, 17.0, 34.0, 51.0, 71.0})
            shelf.boxes.push_back({1, 0, z, 35, 11.5, z + 1, 0});
        models.push_back({"Bookcase", shelf});
    }
    {
        ModelRecipe bed{"catalogue/furniture/bed", {}, {Wood("cherry.png"), Cloth("linen.png")}};
        bed.boxes = {
            {0, 0, 0, 62, 82, 12, 0}, {1, 1, 12, 61, 80, 22, 1}, {0, 80, 0, 62, 82, 40, 0}};
        models.push_back({"Bed", bed});
    }
    // Parts the editor loads itself: the direction arrow, the door knob and the fences.
    {
        ModelRecipe arrow{
            "3d/compressedfileformat/gtemp/arrow", {}, {{"", {0.9, 0.2, 0.1}, 1, 0.5}}};
        arrow.boxes = {{-1, 0, -0.5, 1, 6, 0.5, 0},
                       {-2.5, 6, -0.5, 2.5, 7, 0.5, 0},
                       {-1.5, 7, -0.5, 1.5, 8, 0.5, 0},
                       {-0.5, 8, -0.5, 0.5, 9, 0.5, 0}};
        models.push_back({"", arrow});
    }
    {
        ModelRecipe knob{"3d/pp/knobs/knob02", {}, {{"", {0.8, 0.7, 0.3}, 1, 0.1}}};
        knob.boxes = {{-0.4, -2.5, -0.4, 0.4, 0, 0.4, 0}, {-1, -3, -1, 1, -2.5, 1, 0}};
        models.push_back({"", knob});
    }
    static const char* const kFences[] = {
        "3d/fences/deck/dkblsq/dkblsq4x42",       "3d/fences/deck/slabdeck/slabdeck36",
        "3d/fences/picket/pktsprsq/pktsprsq3x42", "3d/fences/picket/wavepkt/wavepkt36",
        "3d/fences/ranch/squaresq/squaresq3x38",  "3d/fences/ranch/ranch3r/ranch3r36",
        "3d/fences/picket/pktsprsq/pktsprsq3x66", "3d/fences/privacy/meshtopprv/meshtopprv60",
        "3d/fences/wrghtiron/ballsq/ballsq2x62",  "3d/fences/wrghtiron/ovation/ovation60"};
    for (int i = 0; i < 10; ++i) {
        ModelRecipe fence{kFences[i], {}, {{"", {0.92, 0.92, 0.90}, 1, 0.8}}};
        const double height = i % 2 == 0 ? 42 : 36;
        if (i % 2 == 0)
            fence.boxes = {{-2, -2, 0, 2, 2, height + 2, 0}};  // a post
        else
            fence.boxes = {{0, -0.75, height * 0.2, 48, 0.75, height * 0.3, 0},
                           {0, -0.75, height * 0.7, 48, 0.75, height * 0.8, 0}};  // rails
        models.push_back({"", fence});
    }
    return models;
}

struct NamedLight {
    const char* title;
    ModelRecipe recipe;
    Rgb colour;
    bool sun;
};

std::vector<NamedLight> Lights() {
    const MaterialLook shade{"", {1.0, 0.97, 0.85}, 1, 0.5};
    return {
        {"Ceiling Lamp",
         {"catalogue/lights/ceilinglamp",
          {{-6, -6, -3, 6, 6, 0, 0}, {-1, -1, 0, 1, 1, 6, 0}},
          {shade}},
         {1.0, 0.95, 0.85},
         false},
        {"",
         {"3d/compressedfileformat/defaultspotlight", {{-3, -3, -3, 3, 3, 0, 0}}, {shade}},
         {1.0, 1.0, 1.0},
         false},
        {"",
         {"plansys/gsun/sun", {{-6, -6, -6, 6, 6, 6, 0}}, {{"", {1.0, 0.9, 0.4}, 1, 1.0}}},
         {1.0, 1.0, 0.95},
         true},
    };
}

struct Wizard {
    const char* file;
    const char* title;
    const char* xml;
};

const Wizard kWizards[] = {
    {"cottage.xml", "Cottage (one storey, gable roof)",
     "<planXML>\n"
     " <numStories value='1'/>\n <wallHeight value='108'/>\n"
     " <shapeData><shape type='square'><width value='360'/><height "
     "value='288'/></shape></shapeData>\n"
     " <topLevelFloor value='no'/>\n <roofStyle value='gable'/>\n"
     " <floorTex value='textures/formica/greystone4790.3c_'/>\n"
     " <wallIntTex value='textures/default_interior.3c_'/>\n"
     "</planXML>\n"},
    {"townhouse.xml", "Town House (two storeys, hipped roof)",
     "<planXML>\n"
     " <numStories value='2'/>\n <wallHeight value='108'/>\n"
     " <shapeData><shape type='square'><width value='300'/><height "
     "value='420'/></shape></shapeData>\n"
     " <topLevelFloor value='yes'/>\n <roofStyle value='hipped'/>\n"
     " <floorTex value='catalogue/materials/oakfloor.3c_'/>\n"
     " <wallIntTex value='textures/default_interior.3c_'/>\n"
     "</planXML>\n"},
    {"lhouse.xml", "L-Shaped House (one storey, gable roof)",
     "<planXML>\n"
     " <numStories value='1'/>\n <wallHeight value='108'/>\n"
     " <shapeData><shape type='L'><partWidth value='240'/><partHeight value='240'/>"
     "<totalWidth value='480'/><totalHeight value='480'/></shape></shapeData>\n"
     " <topLevelFloor value='no'/>\n <roofStyle value='gable'/>\n"
     " <floorTex value='catalogue/materials/tile.3c_'/>\n"
     " <wallIntTex value='textures/default_interior.3c_'/>\n"
     "</planXML>\n"},
};

// A small picture for the directory: the material's texture or colour, framed.
Picture Thumbnail(const Pattern& fill, Rgb frame) {
    const int size = 48;
    Picture picture(size, size);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            const bool edge = x < 2 || y < 2 || x >= size - 2 || y >= size - 2;
            picture.Set(x, y, edge ? frame : fill(x * 2, y * 2, 128));
        }
    return picture;
}

Pattern PatternOf(const MaterialLook& recipe, const std::map<std::string, Pattern>& textures) {
    const auto found = textures.find(recipe.texture);
    if (found != textures.end()) return found->second;
    const Rgb colour = recipe.colour;
    return [colour](int, int, int) { return colour; };
}

std::string EscapeHtml(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '&')
            out += "&amp;";
        else if (c == '<')
            out += "&lt;";
        else if (c == '>')
            out += "&gt;";
        else if (c == '"')
            out += "&quot;";
        else if (c == '\'')
            out += "&#39;";
        else
            out += c;
    }
    return out;
}

// The directory page: every item as a picture whose alternative text is the item's
// address (what a drop into the editor reads), and a link whose address carries it as
// "&kvr=" (what a dropped link's text gives); the wizards start from buttons.
std::string DirectoryPage(const std::vector<CatalogueItem>& items) {
    std::string page =
        "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>Kivora Directory</title>\n"
        "<style>body{font-family:sans-serif;font-size:12px;margin:6px;background:#f4f2ee}"
        "h2{font-size:13px;margin:10px 0 4px;border-bottom:1px solid #bbb}"
        ".item{display:inline-block;width:76px;margin:3px;text-align:center;vertical-align:top}"
        ".item img{border:0;cursor:move}a{color:#234;text-decoration:none}"
        "button{font-size:11px;margin:2px 0;width:100%}</style></head>\n<body>\n"
        "<h1 style=\"font-size:15px\">Kivora Directory</h1>\n"
        "<p>Drag an item into the view to place it.</p>\n";
    std::string section;
    for (const CatalogueItem& item : items) {
        if (item.section != section) {
            section = item.section;
            page += "<h2>" + EscapeHtml(section) + "</h2>\n";
        }
        const std::string address = "http://{{DOMAIN}}/" + item.path;
        page += "<div class=\"item\"><img src=\"/" + item.thumbnail + "\" alt=\"" + address +
                "\" title=\"" + EscapeHtml(item.title) +
                "\" width=\"48\" height=\"48\" draggable=\"true\"><br>"
                "<a href=\"/duzazododiza/genericobjectpages/genericobjectpage.aspx?name=" +
                EscapeHtml(item.title) + "&amp;kvr=" + address + "&amp;userID={{USERID}}\">" +
                EscapeHtml(item.title) + "</a></div>\n";
    }
    page += "<h2>Wizards</h2>\n";
    for (const Wizard& wizard : kWizards)
        page += std::string(
                    "<button onclick=\"window.external.OpenXMLTemplate('http://{{DOMAIN}}/"
                    "catalogue/wizard/") +
                wizard.file + "')\">" + EscapeHtml(wizard.title) + "</button>\n";
    page += "</body></html>\n";
    return page;
}

bool WriteText(const std::string& path, const std::string& text) {
    if (!MakeParent(path)) return false;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    return static_cast<bool>(out);
}

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

bool CopyPages(const std::string& pages, const std::string& site) {
    std::error_code error;
    if (pages.empty() || !fs::is_directory(pages, error)) return true;
    for (const auto& entry : fs::recursive_directory_iterator(pages, error)) {
        if (!entry.is_regular_file()) continue;
        const std::string relative = Lower(fs::relative(entry.path(), pages).string());
        const std::string target = site + relative;
        if (!MakeParent(target)) return false;
        fs::copy_file(entry.path(), target, fs::copy_options::overwrite_existing, error);
        if (error) return false;
    }
    return true;
}

std::string WithSlash(std::string folder) {
    if (!folder.empty() && folder.back() != '/') folder += '/';
    return folder;
}

// The version a built file states in its version mark ("KIVORA-FILE-VERSION:a,b,c,d"),
// or empty.
std::string VersionMarkOf(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), {});
    static const std::string kPrefix = "KIVORA-FILE-VERSION:";
    const size_t at = bytes.find(kPrefix);
    if (at == std::string::npos) return {};
    std::string version;
    for (size_t i = at + kPrefix.size(); i < bytes.size() && version.size() < 32; ++i) {
        const char c = bytes[i];
        if (!std::isdigit(static_cast<unsigned char>(c)) && c != ',') break;
        version += c;
    }
    return version;
}

}  // namespace

std::vector<CatalogueItem> CatalogueItems() {
    std::vector<CatalogueItem> items;
    for (const NamedModel& m : Models())
        if (*m.title)
            items.push_back(
                {m.title, "Furniture", m.recipe.path + ".3c_",
                 "catalogue/thumbs/" + fs::path(m.recipe.path).filename().string() + ".png"});
    for (const NamedLight& l : Lights())
        if (*l.title)
            items.push_back(
                {l.title, "Lights", l.recipe.path + ".3c_",
                 "catalogue/thumbs/" + fs::path(l.recipe.path).filename().string() + ".png"});
    for (const NamedMaterial& m : Materials())
        if (*m.title)
            items.push_back({m.title, "Materials", std::string(m.path) + ".3c_",
                             "catalogue/thumbs/" + fs::path(m.path).filename().string() + ".png"});
    return items;
}

bool WriteCatalogue(const std::string& siteFolder, const std::string& pages) {
    const std::string site = WithSlash(siteFolder);
    const std::string scratch = site + ".scratch/";
    std::error_code error;
    fs::create_directories(scratch, error);
    auto fail = [](const std::string& what) {
        std::cerr << "kivora-catalogue: cannot write " << what << "\n";
        return false;
    };

    std::map<std::string, Pattern> patterns;
    for (const TextureRecipe& t : Textures()) {
        patterns[t.file] = t.pattern;
        if (!SavePicture(site + "catalogue/textures/" + t.file, Paint(t.pattern, 128)))
            return fail(t.file);
    }
    for (const NamedMaterial& m : Materials()) {
        KeyDataList tree;
        FillMaterial(*tree.AddSublist("Material"), m.recipe);
        const std::string name = fs::path(m.path).filename().string();
        if (!WriteDescription(tree, site + m.path + ".3c_", scratch, name + ".kdl"))
            return fail(m.path);
        if (*m.title && !SavePicture(site + "catalogue/thumbs/" + name + ".png",
                                     Thumbnail(PatternOf(m.recipe, patterns), {0.3, 0.3, 0.3})))
            return fail(name + " thumbnail");
    }
    for (const NamedModel& m : Models()) {
        if (!WriteModel(site, scratch, m.recipe)) return fail(m.recipe.path);
        if (*m.title &&
            !SavePicture(
                site + "catalogue/thumbs/" + fs::path(m.recipe.path).filename().string() + ".png",
                Thumbnail(PatternOf(m.recipe.materials[0], patterns), {0.2, 0.2, 0.4})))
            return fail(m.recipe.path + " thumbnail");
    }
    for (const NamedLight& l : Lights()) {
        if (!WriteLight(site, scratch, l.recipe, l.colour, l.sun)) return fail(l.recipe.path);
        if (*l.title &&
            !SavePicture(
                site + "catalogue/thumbs/" + fs::path(l.recipe.path).filename().string() + ".png",
                Thumbnail(
                    [](int x, int y, int) {
                        const double d = std::hypot(x - 48.0, y - 48.0) / 48.0;
                        return Mix(Rgb{1.0, 0.95, 0.6}, Rgb{0.25, 0.25, 0.3}, std::min(1.0, d));
                    },
                    {0.4, 0.3, 0.1})))
            return fail(l.recipe.path + " thumbnail");
    }
    for (const Wizard& w : kWizards)
        if (!WriteText(site + "catalogue/wizard/" + w.file, w.xml)) return fail(w.file);

    // The overhead map's backdrop.
    if (!SavePicture(site + "plansys/cameramapwin.jpg",
                     Paint(Tiles({0.86, 0.90, 0.84}, {0.70, 0.76, 0.70}, 8), 256)))
        return fail("plansys/cameramapwin.jpg");

    if (!WriteText(site + "directory/directory.aspx", DirectoryPage(CatalogueItems())))
        return fail("directory/directory.aspx");
    if (!WriteText(site + "accounts.txt", "demo@kivora.local demo 1001\n"))
        return fail("accounts.txt");
    if (!CopyPages(pages, site)) return fail("the pages");
    fs::remove_all(scratch, error);
    return true;
}

bool WriteComponents(const std::string& siteFolder, const std::vector<std::string>& files) {
    const std::string site = WithSlash(siteFolder);
    struct Record {
        const char* name;     // the library's name between "lib" and ".so", or the program
        const char* record;   // its line in the version list
        const char* cabinet;  // the file the installer fetches
    };
    static const Record kRecords[] = {
        {"Roomwright", "DuzazododizaVersion", "roomwright.dl_"},
        {"Gearscout", "GearscoutVersion", "gearscout.dl_"},
        {"Patchrunner", "UpdaterVersion", "patchrunner.dl_"},
        {"Pagepane", "PagepaneVersion", "pagepane.dl_"},
        {"Introcard", "SplashScreenVersion", "introcard.dl_"},
        {"Installer", "InstallerVersion", "installer.dl_"},
        {"Kivora", "HostVersion", "kivora.ex_"},
    };
    std::string versions;
    for (const std::string& file : files) {
        const std::string base = fs::path(file).filename().string();
        const Record* match = nullptr;
        for (const Record& r : kRecords)
            if (base == std::string("lib") + r.name + ".so" || base == r.name) match = &r;
        if (!match) {
            std::cerr << "kivora-catalogue: " << base << " is no component\n";
            return false;
        }
        const char* list[] = {file.c_str()};
        if (!MakeParent(site + match->cabinet) ||
            !CreateCabinet(1, list, (site + match->cabinet).c_str())) {
            std::cerr << "kivora-catalogue: cannot pack " << file << "\n";
            return false;
        }
        // The program states its version when it starts ("ExeVS"); the libraries in
        // their files.
        const std::string version =
            std::string(match->name) == "Kivora" ? std::string(kHostVersion) : VersionMarkOf(file);
        if (!version.empty())
            versions += std::string("dim ") + match->record + " = \"" + version + "\"\r\n";
    }
    return WriteText(site + "versioninfo.txt", versions) &&
           WriteText(site + "update.txt", "# Nothing to update after this install.\nexit 0\n");
}
