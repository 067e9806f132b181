// Plan-file speed against reference libraries on the same data, in one run:
//   ElementTreeRead  reading the binary element tree / pugixml parsing the same tree as XML
//   PlanSaveOpen     saving and opening a plan / zlib deflate plus inflate of its stream
//                    ("stream_read_ms": extracting the stream and reading its tree alone)
//   CabinetExtract   extracting a cabinet / cabextract extracting the same cabinet
// Each benchmark times ours and the reference on every iteration; the times reported are
// the medians over the iterations (other work on the machine shows up as outliers), and
// "ratio" is ours over the reference. CabinetExtract also reports how far extraction raised the peak resident
// memory ("peak_rss_mb"), which stays flat however large the members are.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <pugixml.hpp>
#include <random>
#include <string>
#include <vector>

#include "control/BaseControl.h"
#include "control/PlanFiles.h"
#include "foundation/Cabinet.h"
#include "foundation/KeyDataList.h"
#include "model/Group.h"
#include "model/Model.h"
#include "render/Window.h"
#include "support/GeometryFile.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration<double>(to - from).count();
}

// Times of one measured step, one per iteration.
class Times {
public:
    void Add(double seconds) { samples_.push_back(seconds); }
    double MedianMs() const {
        if (samples_.empty()) return 0.0;
        std::vector<double> sorted = samples_;
        std::sort(sorted.begin(), sorted.end());
        const size_t n = sorted.size();
        return 1e3 * (n % 2 ? sorted[n / 2] : (sorted[n / 2 - 1] + sorted[n / 2]) / 2);
    }

private:
    std::vector<double> samples_;
};

// A folder of its own under the temporary folder, removed at the end.
class ScratchFolder {
public:
    ScratchFolder() {
        std::string pattern = (fs::temp_directory_path() / "kivora-bench-XXXXXX").string();
        if (!mkdtemp(pattern.data())) std::abort();
        path_ = pattern + "/";
    }
    ~ScratchFolder() {
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
    const std::string& Path() const { return path_; }

private:
    std::string path_;
};

std::string ReadWhole(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// ---- Element tree ------------------------------------------------------------------

// A plan-like tree: `objects` object sublists, each with twenty keys and three child
// sublists of four keys, as models with their corners, positions and materials are.
void FillPlanLikeTree(KeyDataList& tree, int objects) {
    static const char* const kKeys[] = {
        "URL",         "DecompressedFile", "objectId",         "reverseDirection",
        "openInBP",    "MaterialCount",    "transactionObjectId", "Locked",
        "SnapMode",    "hasClearPart",     "Width",            "Depth",
        "Height",      "Elevation",        "Angle",            "catalogueCode",
        "iconURL",     "Tint",             "LightLevel",       "Shininess"};
    static const char* const kChildren[] = {"BoundingBoxMin", "BoundingBoxMax", "Position"};
    static const char* const kAxes[] = {"x", "y", "z", "w"};
    std::mt19937 random(5);
    std::uniform_real_distribution<double> number(-2000.0, 2000.0);
    char text[64];
    for (int i = 0; i < objects; ++i) {
        KeyDataList* object = tree.AddSublist(i % 4 == 3 ? "Group" : "Model");
        for (const char* key : kKeys) {
            if (std::strstr(key, "URL")) {
                std::snprintf(text, sizeof text, "catalog/models/m%05d/model.3c_", i % 700);
                object->AddString(key, text);
            } else if (std::strcmp(key, "DecompressedFile") == 0) {
                std::snprintf(text, sizeof text, "/tmp/cache/m%05d.geo", i % 700);
                object->AddString(key, text);
            } else {
                object->AddDouble(key, number(random));
            }
        }
        for (const char* child : kChildren) {
            KeyDataList* corner = object->AddSublist(child);
            for (const char* axis : kAxes) corner->AddDouble(axis, number(random));
        }
    }
}

std::string BinaryOf(const KeyDataList& tree) {
    char* data = nullptr;
    size_t size = 0;
    FILE* file = open_memstream(&data, &size);
    if (!file || !tree.WriteBinary(file)) std::abort();
    std::fclose(file);
    std::string bytes(data, size);
    std::free(data);
    return bytes;
}

// The same tree as one XML document.
std::string XmlOf(const KeyDataList& tree) {
    std::string xml = "<plan ";
    tree.WriteXML(xml);
    xml += "</plan>";
    return xml;
}

size_t CountNodes(const pugi::xml_node& node) {
    size_t n = 1;
    for (auto a = node.first_attribute(); a; a = a.next_attribute()) ++n;
    for (auto c = node.first_child(); c; c = c.next_sibling()) n += CountNodes(c);
    return n;
}

size_t CountMembers(const KeyDataList& list) {
    size_t n = 0;
    for (auto* m = list.GetFirstMember(); m; m = m->GetNextMember()) {
        ++n;
        if (!m->IsElement()) n += CountMembers(*static_cast<KeyDataSublist*>(m)->GetChildren());
    }
    return n;
}

void SettleHeap() {
    void* large = std::malloc(64 * 1024);
    benchmark::DoNotOptimize(large);
    std::free(large);
}

void ElementTreeRead(benchmark::State& state) {
    KeyDataList tree;
    FillPlanLikeTree(tree, 5000);
    std::string binary = BinaryOf(tree);
    const std::string xml = XmlOf(tree);
    {
        // Both readers must see the same tree: every member once, in the same counts.
        pugi::xml_document doc;
        KeyDataList read;
        FILE* file = fmemopen(binary.data(), binary.size(), "rb");
        const bool whole = read.ReadBinary(file);
        std::fclose(file);
        if (!doc.load_buffer(xml.data(), xml.size()) || !whole ||
            CountNodes(doc.document_element()) != CountMembers(read) + 1 ||
            BinaryOf(read) != binary) {
            state.SkipWithError("the readers disagree");
            return;
        }
    }
    Times oursRead, oursFree, oursWhole, pugiParse, pugiFree, pugiWhole;
    for (auto _ : state) {
        auto t0 = Clock::now();
        auto* list = new KeyDataList;
        FILE* file = fmemopen(binary.data(), binary.size(), "rb");
        list->ReadBinary(file);
        std::fclose(file);
        auto t1 = Clock::now();
        delete list;
        // Freeing many small blocks leaves the allocator work that the next large
        // allocation does; it is ours, so it is done and timed here.
        SettleHeap();
        auto t2 = Clock::now();
        auto* doc = new pugi::xml_document;
        benchmark::DoNotOptimize(doc->load_buffer(xml.data(), xml.size()));
        auto t3 = Clock::now();
        delete doc;
        auto t4 = Clock::now();
        oursRead.Add(Seconds(t0, t1));
        oursFree.Add(Seconds(t1, t2));
        oursWhole.Add(Seconds(t0, t2));
        pugiParse.Add(Seconds(t2, t3));
        pugiFree.Add(Seconds(t3, t4));
        pugiWhole.Add(Seconds(t2, t4));
    }
    state.counters["ours_ms"] = oursRead.MedianMs();
    state.counters["pugixml_ms"] = pugiParse.MedianMs();
    state.counters["ours_free_ms"] = oursFree.MedianMs();
    state.counters["pugixml_free_ms"] = pugiFree.MedianMs();
    state.counters["ratio"] = oursRead.MedianMs() / pugiParse.MedianMs();
    state.counters["ratio_with_free"] = oursWhole.MedianMs() / pugiWhole.MedianMs();
    state.counters["binary_mb"] = static_cast<double>(binary.size()) / 1e6;
    state.counters["xml_mb"] = static_cast<double>(xml.size()) / 1e6;
}
BENCHMARK(ElementTreeRead)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// ---- Plan save and open ------------------------------------------------------------

class BenchControl : public BaseControl {
public:
    void ShowMainProgress(bool, intptr_t) override {}
    void SetStatusText(const char*) override {}
    void SetProgressDetail(double, intptr_t) override {}
    void PostHostMessage(uint32_t) override {}
    void QueryUserStatus() override {}
};

// Deflate and inflate of `stream` in memory, as a cabinet's MSZIP blocks are.
double ZlibRoundTrip(const std::string& stream) {
    const auto t0 = Clock::now();
    uLongf packedSize = compressBound(stream.size());
    std::vector<Bytef> packed(packedSize);
    z_stream z{};
    deflateInit2(&z, Z_DEFAULT_COMPRESSION, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(stream.data()));
    z.avail_in = static_cast<uInt>(stream.size());
    z.next_out = packed.data();
    z.avail_out = static_cast<uInt>(packed.size());
    deflate(&z, Z_FINISH);
    packedSize = z.total_out;
    deflateEnd(&z);
    std::string back(stream.size(), '\0');
    z_stream u{};
    inflateInit2(&u, -15);
    u.next_in = packed.data();
    u.avail_in = static_cast<uInt>(packedSize);
    u.next_out = reinterpret_cast<Bytef*>(back.data());
    u.avail_out = static_cast<uInt>(back.size());
    inflate(&u, Z_FINISH);
    inflateEnd(&u);
    const auto t1 = Clock::now();
    if (back != stream) std::abort();
    return Seconds(t0, t1);
}

// The file part of opening the plan alone: extracting its stream and reading the tree.
double ReadPlanAlone(const char* plan, const std::string& folder) {
    const auto t0 = Clock::now();
    char extracted[kCabinetPathSize];
    if (!DecompressCabinet(plan, folder.c_str(), extracted)) std::abort();
    FILE* file = std::fopen(extracted, "rb");
    auto* tree = new KeyDataList;
    if (!file || !ReadPlanStream(file, *tree)) std::abort();
    std::fclose(file);
    delete tree;
    std::remove(extracted);
    return Seconds(t0, Clock::now());
}

void PlanSaveOpen(benchmark::State& state) {
    ScratchFolder folder;
    BenchControl control;
    Window window;
    control.mainWindow = control.activeWindow = control.currentWindow = &window;

    // 2000 groups of three models each, every model read from a small geometry file.
    GeometryFile geometry;
    geometry.Triangle(0).PartEnd();
    geometry.End();
    const std::string geo = folder.Path() + "m.geo";
    geometry.Save(geo);
    for (int g = 0; g < 2000; ++g) {
        auto* group = new Group;
        for (int m = 0; m < 3; ++m) {
            auto* model = new Model;
            BoundingBox box;
            box.min.Set(0, 0, 0, 1);
            box.max.Set(10 + m, 20, 30, 1);
            model->SetBoundingBox(box);
            model->SetPosition(Vector(g * 40.0, m * 15.0, (g % 7) * 3.0));
            model->StartDownload("http://content.example/catalog/m.3c_", geo.c_str(), true);
            group->AddMember(model);
        }
        control.scene.Append(group);
    }

    char path[BaseControl::kPathSize];
    std::snprintf(path, sizeof path, "%splan.kvp", folder.Path().c_str());
    // The stream the plan holds, for the reference.
    char streamPath[BaseControl::kPathSize];
    std::snprintf(streamPath, sizeof streamPath, "%sstream", folder.Path().c_str());
    if (!control.WriteSceneGraphFile(streamPath, sizeof streamPath, true)) {
        state.SkipWithError("the plan stream was not written");
        return;
    }
    const std::string stream = ReadWhole(streamPath);
    const size_t objects = control.scene.GetCount();

    Times save, open, both, zlib, streamRead;
    for (auto _ : state) {
        const auto t0 = Clock::now();
        if (!control.WriteSceneGraphFile(path, sizeof path, true)) {
            state.SkipWithError("the plan was not saved");
            break;
        }
        const auto t1 = Clock::now();
        control.ClearScene();
        const auto t2 = Clock::now();
        control.LoadPlanFile(path, false);
        const auto t3 = Clock::now();
        if (control.scene.GetCount() != objects) {
            state.SkipWithError("the plan did not open whole");
            break;
        }
        save.Add(Seconds(t0, t1));
        open.Add(Seconds(t2, t3));
        both.Add(Seconds(t0, t1) + Seconds(t2, t3));
        zlib.Add(ZlibRoundTrip(stream));
        streamRead.Add(ReadPlanAlone(path, folder.Path()));
    }
    control.ClearScene();
    control.mainWindow = control.activeWindow = control.currentWindow = nullptr;
    state.counters["save_ms"] = save.MedianMs();
    state.counters["open_ms"] = open.MedianMs();
    state.counters["zlib_ms"] = zlib.MedianMs();
    state.counters["stream_read_ms"] = streamRead.MedianMs();
    state.counters["ratio"] = both.MedianMs() / zlib.MedianMs();
    state.counters["stream_mb"] = static_cast<double>(stream.size()) / 1e6;
}
BENCHMARK(PlanSaveOpen)->Unit(benchmark::kMillisecond)->MinTime(3.0);

// ---- Cabinet extraction -------------------------------------------------------------

// Peak resident memory of the process in kB, after resetting the peak when `reset`.
long PeakResidentKb(bool reset) {
    if (reset) {
        std::ofstream("/proc/self/clear_refs") << "5";
    }
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0) return std::atol(line.c_str() + 6);
    return 0;
}

// Member contents: plan-like text with stretches of noise, so that blocks compress
// unevenly as real content does.
std::string MemberBytes(size_t size, unsigned seed) {
    std::mt19937 random(seed);
    std::string bytes;
    bytes.reserve(size);
    char line[96];
    while (bytes.size() < size) {
        if (random() % 8 == 0) {
            for (int i = 0; i < 4096; ++i) bytes += static_cast<char>(random());
        } else {
            const int n = std::snprintf(line, sizeof line, "Position x=\"%.6f\" y=\"%.6f\"\n",
                                        (random() % 100000) / 7.0, (random() % 100000) / 3.0);
            bytes.append(line, static_cast<size_t>(n));
        }
    }
    bytes.resize(size);
    return bytes;
}

bool RunCabextract(const std::string& cabinet, const std::string& folder) {
    const pid_t child = fork();
    if (child == 0) {
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, 1);
        dup2(null, 2);
        execlp("cabextract", "cabextract", "-q", "-d", folder.c_str(), cabinet.c_str(),
               static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    return child > 0 && waitpid(child, &status, 0) == child && WIFEXITED(status) &&
           WEXITSTATUS(status) == 0;
}

void CabinetExtract(benchmark::State& state) {
    ScratchFolder folder;
    const size_t total = static_cast<size_t>(state.range(0)) << 20;
    // Four members of one size; the plan writer's folder threshold splits them in folders.
    std::vector<std::string> names;
    std::vector<std::string> contents;
    for (int i = 0; i < 4; ++i) {
        names.push_back(folder.Path() + "member" + std::to_string(i) + ".bin");
        contents.push_back(MemberBytes(total / 4, 11 + i));
        std::ofstream(names.back(), std::ios::binary) << contents.back();
    }
    std::vector<const char*> files;
    for (const std::string& n : names) files.push_back(n.c_str());
    const std::string cabinet = folder.Path() + "content.cab";
    if (!CreateCabinet(static_cast<int>(files.size()), files.data(), cabinet.c_str())) {
        state.SkipWithError("the cabinet was not written");
        return;
    }
    for (const std::string& n : names) fs::remove(n);
    const std::string ours = folder.Path() + "ours/";
    const std::string theirs = folder.Path() + "theirs/";
    fs::create_directories(ours);
    fs::create_directories(theirs);

    char last[kCabinetPathSize];
    if (!DecompressCabinet(cabinet.c_str(), ours.c_str(), last) ||
        !RunCabextract(cabinet, theirs)) {
        state.SkipWithError("an extraction failed");
        return;
    }
    for (int i = 0; i < 4; ++i) {
        const std::string name = "member" + std::to_string(i) + ".bin";
        if (ReadWhole(ours + name) != contents[i] || ReadWhole(theirs + name) != contents[i]) {
            state.SkipWithError("the extracted members differ");
            return;
        }
    }
    contents.clear();
    contents.shrink_to_fit();

    Times mine, cabextract;
    long peakRise = 0;
    for (auto _ : state) {
        const long before = PeakResidentKb(true);
        const auto t0 = Clock::now();
        const bool ok = DecompressCabinet(cabinet.c_str(), ours.c_str(), last);
        const auto t1 = Clock::now();
        peakRise = std::max(peakRise, PeakResidentKb(false) - before);
        const bool theyOk = RunCabextract(cabinet, theirs);
        const auto t2 = Clock::now();
        if (!ok || !theyOk) {
            state.SkipWithError("an extraction failed");
            break;
        }
        mine.Add(Seconds(t0, t1));
        cabextract.Add(Seconds(t1, t2));
    }
    state.counters["ours_ms"] = mine.MedianMs();
    state.counters["cabextract_ms"] = cabextract.MedianMs();
    state.counters["ratio"] = mine.MedianMs() / cabextract.MedianMs();
    state.counters["peak_rss_mb"] = static_cast<double>(peakRise) / 1024.0;
}
BENCHMARK(CabinetExtract)->Arg(50)->Arg(200)->Unit(benchmark::kMillisecond)->MinTime(3.0);

}  // namespace
