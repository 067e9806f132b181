#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "building/Terrain.h"
#include "control/Duzazododiza.h"
#include "control/PlanFiles.h"
#include "foundation/Cabinet.h"
#include "foundation/KeyDataList.h"
#include "interaction/TraceImageModel.h"
#include "model/Group.h"
#include "model/Model.h"
#include "platform/FileDialog.h"
#include "platform/Files.h"
#include "platform/Menu.h"
#include "platform/MessageBox.h"
#include "render/LightSource.h"
#include "render/Sky.h"
#include "render/Window.h"
#include "support/GeometryFile.h"
#include "support/RecordingControl.h"
#include "support/SceneFixtures.h"
#include "support/TempFolder.h"
#include "support/TestControl.h"

namespace {

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteAll(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

// Waits for the plan-load thread to finish its load, then joins it.
void WaitForLoad(BaseControl& control) {
    for (int i = 0; i < 500 && !control.loadFinished; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    control.CancelAndJoinWorkers();
}

bool Exists(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0;
}

// The permission bits of a file; 0 when it is missing.
mode_t ModeOf(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 ? info.st_mode & 07777 : 0;
}

// The names in a folder.
std::set<std::string> NamesIn(const std::string& folder) {
    std::set<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(folder))
        names.insert(e.path().filename().string());
    return names;
}

// Sets the process's umask for a scope.
class ScopedUmask {
public:
    explicit ScopedUmask(mode_t mask) : old_(umask(mask)) {}
    ~ScopedUmask() { umask(old_); }

private:
    mode_t old_;
};

// A plan stream of the given members, closed with the end byte unless told otherwise.
std::string StreamOf(const KeyDataList& list, bool closed = true) {
    FILE* file = std::tmpfile();
    list.WriteBinary(file);
    if (closed) std::fputc(kPlanStreamEnd, file);
    std::string bytes(static_cast<size_t>(std::ftell(file)), '\0');
    std::rewind(file);
    bytes.resize(std::fread(bytes.data(), 1, bytes.size(), file));
    std::fclose(file);
    return bytes;
}

bool ReadStream(const std::string& bytes, KeyDataList& out) {
    FILE* file = std::tmpfile();
    std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::rewind(file);
    const bool whole = ReadPlanStream(file, out);
    std::fclose(file);
    return whole;
}

class PlanFilesTest : public ::testing::Test {
protected:
    void SetUp() override {
        control.mainWindow = control.activeWindow = control.currentWindow = &window;
        platform::SetMessageBoxResponder([this](const platform::MessageBoxRequest& box) {
            boxes.push_back(box.caption + ": " + box.text);
            return answer;
        });
    }
    void TearDown() override {
        platform::SetMessageBoxResponder(nullptr);
        platform::SetFileDialogResponder(nullptr);
        control.mainWindow = control.activeWindow = control.currentWindow = nullptr;
    }

    // Saves the scene to `name` in the folder; answers the path the buffer ends with.
    std::string Save(const std::string& name, bool* saved = nullptr) {
        char path[BaseControl::kPathSize];
        std::snprintf(path, sizeof path, "%s%s", folder.Path().c_str(), name.c_str());
        const bool ok = control.WriteSceneGraphFile(path, sizeof path, false);
        if (saved) *saved = ok;
        return path;
    }

    // A trace image whose picture exists, as the main window's.
    TraceImageModel* AddTraceImage() {
        picture = folder.Path() + "plan.png";
        WriteAll(picture, "png");
        window.traceImage = new TraceImageModel(picture.c_str());
        return window.traceImage;
    }

    ScopedRegistry registry;
    TempFolder folder;
    TestControl control;
    Window window;
    std::string picture;
    std::vector<std::string> boxes;
    platform::MessageAnswer answer = platform::MessageAnswer::Yes;
};

TEST_F(PlanFilesTest, SavedPlanOpensAgainWithItsStatesAndTraceImage) {
    const TransactionId imageId = AddTraceImage()->GetObjectId();
    control.globalState.SetBoolean(0, true);
    control.fogState.SetDouble(0, 0.25);
    control.floorState.SetDouble(9, 24.0);
    window.camera.SetDouble(0, 42.5);
    control.sceneStates[4].initialised = 1;

    const std::string path = Save("House.KVP");
    EXPECT_EQ(path, folder.Path() + "House.KVP") << "the buffer keeps the plan's name";
    EXPECT_FALSE(Exists(folder.Path() + "House.kvu")) << "the stream is removed";
    EXPECT_FALSE(Exists(folder.Path() + "House.KVP.saving"));
    EXPECT_FALSE(control.globalState.GetBoolean(0)) << "saving clears the modified flag";
    EXPECT_EQ(control.globalState.GetString(0), "House");
    EXPECT_TRUE(boxes.empty());

    // One member, the stream under the plan's name with the "kvu" extension.
    TempFolder unpacked;
    char member[kCabinetPathSize];
    ASSERT_TRUE(DecompressCabinet(path.c_str(), unpacked.Path().c_str(), member));
    EXPECT_EQ(std::string(member), unpacked.Path() + "House.kvu");
    const std::string stream = ReadAll(member);
    ASSERT_FALSE(stream.empty());
    EXPECT_EQ(stream.back(), kPlanStreamEnd);

    // Everything changed after the save comes back from the file.
    control.fogState.SetDouble(0, 0.5);
    control.floorState.SetDouble(9, 0.0);
    window.camera.SetDouble(0, 60.0);
    control.sceneStates[4].initialised = 0;
    window.DeleteTraceImage();
    control.LoadPlanFile(path.c_str(), false);
    EXPECT_DOUBLE_EQ(control.fogState.GetDouble(0), 0.25);
    EXPECT_DOUBLE_EQ(control.floorState.GetDouble(9), 24.0);
    EXPECT_DOUBLE_EQ(window.camera.GetDouble(0), 42.5);
    EXPECT_EQ(control.sceneStates[4].initialised, 1);
    ASSERT_NE(window.traceImage, nullptr);
    EXPECT_EQ(window.traceImage->GetObjectId(), imageId);
    EXPECT_STREQ(window.traceImage->GetImageURL(), picture.c_str());
    EXPECT_TRUE(control.loadFinished);
    EXPECT_FALSE(Exists(platform::TemporaryFolder() + "House.kvu")) << "extracted stream removed";
    EXPECT_TRUE(boxes.empty());
}

TEST_F(PlanFilesTest, OtherExtensionsAndKvuPaths) {
    // No "kvp": the plain stream at the path itself.
    const std::string plain = Save("notes");
    EXPECT_EQ(plain, folder.Path() + "notes");
    KeyDataList read;
    EXPECT_TRUE(ReadStream(ReadAll(plain), read));
    EXPECT_NE(read.FindByName("globalState"), nullptr);

    // A "kvu" path is packed into the "kvp" file beside it, which the buffer then names.
    const std::string packed = Save("draft.kvu");
    EXPECT_EQ(packed, folder.Path() + "draft.kvp");
    EXPECT_FALSE(Exists(folder.Path() + "draft.kvu"));
    TempFolder unpacked;
    char member[kCabinetPathSize];
    EXPECT_TRUE(DecompressCabinet(packed.c_str(), unpacked.Path().c_str(), member));
}

TEST_F(PlanFilesTest, FailedSaveKeepsTheOldPlanAndTellsTheUser) {
    const std::string path = folder.Path() + "plan.kvp";
    WriteAll(path, "the plan saved before");
    // The stream cannot be created: a folder stands where it would go.
    ASSERT_TRUE(platform::MakeFolders(folder.Path() + "plan.kvu"));
    control.globalState.SetBoolean(0, true);

    bool saved = true;
    Save("plan.kvp", &saved);
    EXPECT_FALSE(saved);
    EXPECT_EQ(ReadAll(path), "the plan saved before");
    EXPECT_TRUE(control.globalState.GetBoolean(0)) << "the plan is still unsaved";
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0], "Save failed: File could not be saved.");
    EXPECT_FALSE(control.RenderLock().IsHeld());

    // The auto-recovery file reports nothing to the user.
    boxes.clear();
    char missing[BaseControl::kPathSize];
    std::snprintf(missing, sizeof missing, "%sno/such/folder/restore.kvp", folder.Path().c_str());
    EXPECT_FALSE(control.WriteSceneGraphFile(missing, sizeof missing, true));
    EXPECT_TRUE(boxes.empty());
}

TEST_F(PlanFilesTest, SavedPlansTakeTheUmasksModeOrKeepTheirOwn) {
    ScopedUmask mask(027);
    const struct {
        const char* name;
        mode_t existing;  // 0: no file before the save
        mode_t expected;
    } cases[] = {
        {"new.kvp", 0, 0640},     {"new notes", 0, 0640},  {"old.kvp", 0644, 0644},
        {"old notes", 0644, 0644}, {"shared.kvp", 0664, 0664}, {"draft.kvu", 0, 0640},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::string path = folder.Path() + c.name;
        if (c.existing) {
            WriteAll(path, "the plan before");
            ASSERT_EQ(chmod(path.c_str(), c.existing), 0);
        }
        bool saved = false;
        path = Save(c.name, &saved);
        ASSERT_TRUE(saved);
        EXPECT_EQ(ModeOf(path), c.expected);
        EXPECT_NE(ReadAll(path), "the plan before");
    }
}

TEST_F(PlanFilesTest, SavingThroughASymbolicLinkWritesTheFileItNames) {
    namespace fs = std::filesystem;
    const std::string real = folder.Path() + "real/";
    ASSERT_TRUE(platform::MakeFolders(real));
    WriteAll(real + "house.kvp", "the plan before");
    ASSERT_EQ(chmod((real + "house.kvp").c_str(), 0644), 0);
    const struct {
        const char* link;
        const char* points;  // relative to the link's folder
        const char* file;
    } cases[] = {
        {"house.kvp", "real/house.kvp", "house.kvp"},
        {"fresh.kvp", "real/fresh.kvp", "fresh.kvp"},  // the file does not exist yet
        {"notes", "real/notes.txt", "notes.txt"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.link);
        fs::create_symlink(c.points, folder.Path() + c.link);
        bool saved = false;
        const std::string path = Save(c.link, &saved);
        ASSERT_TRUE(saved);
        EXPECT_EQ(path, folder.Path() + c.link);
        EXPECT_TRUE(fs::is_symlink(path));
        EXPECT_EQ(fs::read_symlink(path).string(), c.points);
        KeyDataList read;
        if (PlanExtension(c.link) == "kvp") {
            TempFolder unpacked;
            char member[kCabinetPathSize];
            EXPECT_TRUE(DecompressCabinet((real + c.file).c_str(), unpacked.Path().c_str(), member));
            EXPECT_TRUE(ReadStream(ReadAll(member), read));
        } else {
            EXPECT_TRUE(ReadStream(ReadAll(real + c.file), read));
        }
        EXPECT_NE(read.FindByName("globalState"), nullptr);
    }
    EXPECT_EQ(ModeOf(real + "house.kvp"), 0644u);
    EXPECT_EQ(NamesIn(real), (std::set<std::string>{"house.kvp", "fresh.kvp", "notes.txt"}));
}

TEST_F(PlanFilesTest, SaveKilledPartWayKeepsTheOldPlanAndItsLeftoversGoAtTheNextSave) {
    AddTraceImage();
    for (int i = 0; i < 100; ++i)
        window.traceImage->SetInformationValue("note" + std::to_string(i), std::string(500, 'n'));
    // A plan's stream goes to the "kvu" file first; a plain stream goes to the hidden
    // file that is to replace the plan.
    const struct {
        const char* name;
        const char* leftover;  // what the killed save leaves, six letters at the end
    } cases[] = {{"plan.kvp", "plan.kvu"}, {"notes", ".notes.kivora-??????"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        control.fogState.SetDouble(0, 0.25);
        const std::string path = Save(c.name);
        const std::string before = ReadAll(path);
        const size_t streamSize = ReadAll(Save("probe")).size();
        const std::set<std::string> kept = NamesIn(folder.Path());

        // A file size limit in the middle of the stream kills the save there.
        control.fogState.SetDouble(0, 0.75);
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            const struct rlimit noCore {0, 0};
            setrlimit(RLIMIT_CORE, &noCore);
            const struct rlimit half {streamSize / 2, streamSize / 2};
            setrlimit(RLIMIT_FSIZE, &half);
            std::signal(SIGXFSZ, SIG_DFL);
            Save(c.name);
            _exit(0);
        }
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFSIGNALED(status)) << "the save was to be killed part-way";
        EXPECT_EQ(WTERMSIG(status), SIGXFSZ);
        EXPECT_EQ(ReadAll(path), before) << "the previous plan is whole";
        std::set<std::string> left;
        for (const std::string& name : NamesIn(folder.Path()))
            if (!kept.count(name)) left.insert(name);
        ASSERT_EQ(left.size(), 1u);
        const std::string pattern = c.leftover;
        EXPECT_EQ(left.begin()->size(), pattern.size());
        EXPECT_EQ(left.begin()->substr(0, pattern.find('?')), pattern.substr(0, pattern.find('?')));

        // A replacement file that a killed save left is removed at the next save too; one
        // that a save still running holds stays.
        const std::string stale = folder.Path() + "." + c.name + ".kivora-stale1";
        WriteAll(stale, "partial");
        const std::string held = folder.Path() + "." + c.name + ".kivora-inuse1";
        const int fd = open(held.c_str(), O_CREAT | O_RDWR | O_CLOEXEC, 0600);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(flock(fd, LOCK_EX), 0);
        bool saved = false;
        Save(c.name, &saved);
        EXPECT_TRUE(saved);
        close(fd);
        std::set<std::string> expected = kept;
        expected.insert(held.substr(folder.Path().size()));
        EXPECT_EQ(NamesIn(folder.Path()), expected);
        platform::DeleteFile(held.c_str());

        // The plan saved after the kill is whole and new.
        KeyDataList read;
        if (PlanExtension(c.name) == "kvp") {
            TempFolder unpacked;
            char member[kCabinetPathSize];
            ASSERT_TRUE(DecompressCabinet(path.c_str(), unpacked.Path().c_str(), member));
            EXPECT_TRUE(ReadStream(ReadAll(member), read));
        } else {
            EXPECT_TRUE(ReadStream(ReadAll(path), read));
        }
        EXPECT_NE(ReadAll(path), before);
    }
}

TEST_F(PlanFilesTest, AutoRecoveryFileIsWrittenOnlyForAModifiedPlan) {
    ScopedEnv tmp("TMPDIR", folder.Path());
    const std::string restore = folder.Path() + "restore.kvp";
    EXPECT_FALSE(control.WriteAutoRecoveryFile());
    EXPECT_FALSE(Exists(restore));
    control.globalState.SetBoolean(0, true);
    EXPECT_TRUE(control.WriteAutoRecoveryFile());
    EXPECT_TRUE(Exists(restore));
    EXPECT_TRUE(control.globalState.GetBoolean(0)) << "the plan itself is still unsaved";
    EXPECT_TRUE(ReadRecentFiles()[0].empty()) << "not a recent file";
}

TEST_F(PlanFilesTest, DamagedPlansLoadNothingAndKeepTheirFile) {
    control.fogState.SetDouble(0, 0.25);
    const std::string good = Save("good.kvp");
    const std::string bytes = ReadAll(good);

    // A cabinet whose stream was cut before its closing byte.
    KeyDataList partial;
    partial.AddSublist("FogState")->AddString("doubles0", "0.125");
    const std::string cutStream = folder.Path() + "cut.kvu";
    WriteAll(cutStream, StreamOf(partial, false));
    const std::string cutPlan = folder.Path() + "cut.kvp";
    const char* files[] = {cutStream.c_str()};
    ASSERT_TRUE(CreateCabinet(1, files, cutPlan.c_str()));

    struct Case {
        const char* name;
        std::string path;
        std::string bytes;
    };
    const Case cases[] = {
        {"not a cabinet", folder.Path() + "text.kvp", "just some text"},
        {"cabinet cut short", folder.Path() + "short.kvp", bytes.substr(0, bytes.size() / 2)},
        {"stream without its end", cutPlan, ReadAll(cutPlan)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WriteAll(c.path, c.bytes);
        std::snprintf(control.planName, sizeof control.planName, "%s", c.path.c_str());
        control.fogState.SetDouble(0, 0.5);
        boxes.clear();
        control.loadFinished = false;
        EXPECT_EQ(control.LoadPlanFile(c.path.c_str(), false), nullptr);
        EXPECT_DOUBLE_EQ(control.fogState.GetDouble(0), 0.5) << "nothing of it is read";
        EXPECT_TRUE(control.loadFinished);
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].rfind("Open failed: ", 0), 0u);
        EXPECT_EQ(ReadAll(c.path), c.bytes) << "the file is left as it was";
        EXPECT_STREQ(control.planName, "") << "a save must not go over the damaged file";
    }
}

TEST(PlanStreamTest, OnlyAWholeStreamReads) {
    KeyDataList plan;
    plan.AddSublist("Wall")->AddString("name", "north");
    plan.AddSublist("FloorState")->AddDouble("doubles4", 1.0);
    const std::string whole = StreamOf(plan);
    struct Case {
        const char* name;
        std::string bytes;
        bool whole;
    };
    const Case cases[] = {
        {"whole", whole, true},
        {"no closing byte", StreamOf(plan, false), false},
        {"cut inside a text", whole.substr(0, 9), false},
        {"empty", "", false},
        {"closing byte alone", std::string(1, '\x03'), true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        KeyDataList read;
        EXPECT_EQ(ReadStream(c.bytes, read), c.whole);
    }
}

TEST(PlanStreamTest, DownloadsAndDroppedPlanContentsAreCounted) {
    KeyDataList plan;
    KeyDataList* model = plan.AddSublist("Model");
    model->AddString("modelURL", "/models/chair.kvm");
    model->AddString("textureUrl", "");  // empty: no download
    model->AddSublist("part")->AddString("url", "/tex/oak.png");
    model->AddSublist("ObjectInformation")->AddString("vendorURL", "http://shop");
    plan.AddSublist("LightSource")->AddString("URL", "/lights/lamp.kvl");
    plan.AddString("planURL", "/not/in/a/sublist");
    EXPECT_EQ(BaseControl::CountDownloads(plan), 4);

    KeyDataList group;
    group.AddSublist("Group")->AddString("a", "1");
    group.AddSublist("LightSource")->AddString("a", "1");
    group.AddSublist("FogState")->AddString("a", "1");
    group.AddSublist("Terrain")->AddString("a", "1");
    group.AddSublist("Dome")->AddString("a", "1");
    const PlanContents merged = CountPlanContents(group);
    EXPECT_EQ(merged.counted, 1);
    EXPECT_TRUE(merged.hasGroup);

    KeyDataList walls;
    walls.AddSublist("Wall")->AddString("a", "1");
    walls.AddSublist("Wall")->AddString("a", "2");
    EXPECT_EQ(CountPlanContents(walls).counted, 2);
    EXPECT_FALSE(CountPlanContents(walls).hasGroup);
}

TEST(RecentFilesTest, ListKeepsNinePlansNewestFirst) {
    using List = std::vector<std::string>;
    struct Case {
        const char* name;
        List before;
        const char* path;
        List after;
    };
    const Case cases[] = {
        {"added first", {"/a.kvp", "/b.kvp"}, "/c.kvp", {"/c.kvp", "/a.kvp", "/b.kvp"}},
        {"known path moves up",
         {"/a.kvp", "/b.kvp", "/c.kvp"},
         "/B.KVP",
         {"/B.KVP", "/a.kvp", "/c.kvp"}},
        {"other file leaves the list",
         {"/a.kvp", "/x.txt", "/c.kvp"},
         "/X.TXT",
         {"/a.kvp", "/c.kvp"}},
        {"other file not added", {"/a.kvp"}, "/notes.txt", {"/a.kvp"}},
        {"oldest drops off",
         {"/1.kvp", "/2.kvp", "/3.kvp", "/4.kvp", "/5.kvp", "/6.kvp", "/7.kvp", "/8.kvp", "/9.kvp"},
         "/new.kvp",
         {"/new.kvp", "/1.kvp", "/2.kvp", "/3.kvp", "/4.kvp", "/5.kvp", "/6.kvp", "/7.kvp",
          "/8.kvp"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        List entries = c.before;
        UpdateRecentFiles(entries, c.path);
        List expected = c.after;
        expected.resize(kRecentFileCount);
        EXPECT_EQ(entries, expected);
    }
}

TEST_F(PlanFilesTest, PlanNameGoesToTheRecentFilesAndTheirMenu) {
    control.SetPlanName("/plans/first.kvp");
    control.SetPlanName("/plans/Second[2].kvp");
    control.SetPlanName("/plans/first.kvp");
    const std::vector<std::string> entries = ReadRecentFiles();
    EXPECT_EQ(entries[0], "/plans/first.kvp");
    EXPECT_EQ(entries[1], "/plans/Second[2].kvp");
    EXPECT_TRUE(entries[2].empty());
    EXPECT_EQ(control.globalState.GetString(0), "first");

    platform::Menu* menu = control.GetRecentFilesMenu();
    ASSERT_NE(menu, nullptr);
    ASSERT_EQ(menu->GetItemCount(), 2u);
    EXPECT_EQ(menu->GetItem(0).id, 111u);
    EXPECT_EQ(menu->GetItem(1).text, "Second");
    EXPECT_EQ(menu->GetItem(1).id, 112u);
}

TEST_F(PlanFilesTest, DroppedPlanReplacesTheSceneOnlyAfterTheQuestion) {
    KeyDataList walls;
    walls.AddSublist("Wall")->AddString("a", "1");
    walls.AddSublist("Wall")->AddString("a", "2");
    const std::string stream = folder.Path() + "walls.kvu";
    WriteAll(stream, StreamOf(walls));
    const std::string plan = folder.Path() + "walls.kvp";
    const char* files[] = {stream.c_str()};
    ASSERT_TRUE(CreateCabinet(1, files, plan.c_str()));
    control.scene.Append(new TestItem);
    std::snprintf(control.planName, sizeof control.planName, "%s", "/plans/mine.kvp");

    // The current plan dropped again while unmodified: nothing happens.
    std::snprintf(control.planName, sizeof control.planName, "%s", plan.c_str());
    EXPECT_EQ(control.LoadPlanFile(plan.c_str(), true), nullptr);
    EXPECT_EQ(control.scene.GetCount(), 1u);
    EXPECT_TRUE(boxes.empty());

    // Another plan: the question, and Cancel keeps the scene.
    std::snprintf(control.planName, sizeof control.planName, "%s", "/plans/mine.kvp");
    answer = platform::MessageAnswer::Cancel;
    control.LoadPlanFile(plan.c_str(), true);
    EXPECT_EQ(control.scene.GetCount(), 1u);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0], "Confirm: Save file before loading new scene?");
    EXPECT_STREQ(control.planName, "/plans/mine.kvp");

    // No: the scene is replaced and the dropped plan becomes the plan.
    answer = platform::MessageAnswer::No;
    control.LoadPlanFile(plan.c_str(), true);
    EXPECT_EQ(control.scene.GetCount(), 0u);
    EXPECT_STREQ(control.planName, plan.c_str());
    EXPECT_EQ(ReadRecentFiles()[0], plan);
}

TEST_F(PlanFilesTest, MergeKeepsTheSceneAndGivesTakenIdsAFreshOne) {
    auto* existing = new TestItem;
    control.scene.Append(existing);
    AddTraceImage()->SetObjectId(existing->GetObjectId());
    const std::string plan = Save("merge.kvp");
    window.DeleteTraceImage();

    control.loadKind = BaseControl::kLoadMerge;
    control.LoadPlanFile(plan.c_str(), false);
    EXPECT_EQ(control.loadKind, BaseControl::kLoadOpen);
    ASSERT_EQ(control.scene.GetCount(), 1u);
    EXPECT_EQ(control.scene.GetHead(), existing) << "the set-aside scene comes back";
    ASSERT_NE(window.traceImage, nullptr);
    EXPECT_NE(window.traceImage->GetObjectId(), existing->GetObjectId());
    EXPECT_EQ(control.mergeSetAside, nullptr);

    // A merge of a damaged file loses nothing of the scene either.
    WriteAll(folder.Path() + "bad.kvp", "garbage");
    control.loadKind = BaseControl::kLoadMerge;
    control.LoadPlanFile((folder.Path() + "bad.kvp").c_str(), false);
    ASSERT_EQ(control.scene.GetCount(), 1u);
    EXPECT_EQ(control.scene.GetHead(), existing);
    EXPECT_EQ(control.loadKind, BaseControl::kLoadOpen);
}

TEST_F(PlanFilesTest, MissingTraceImageIsReportedAndNotKept) {
    KeyDataSublist element("TraceImageModel");
    element.GetChildren()->AddString("TraceImageURL", folder.Path() + "gone.png");
    EXPECT_EQ(control.LoadPlanObjects(element), nullptr);
    EXPECT_EQ(window.traceImage, nullptr);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0], "File not found: The file at " + folder.Path() +
                            "gone.png does not exist or has been moved");

    // Unknown kinds and empty elements make nothing.
    KeyDataSublist other("Spaceship");
    other.GetChildren()->AddString("a", "1");
    EXPECT_EQ(control.LoadPlanObjects(other), nullptr);
    EXPECT_EQ(control.LoadPlanObjects(KeyDataSublist("FogState")), nullptr);
    KeyDataSublist badState("SceneState12");
    badState.GetChildren()->AddString("initialized", "1");
    EXPECT_EQ(control.LoadPlanObjects(badState), nullptr);
}

TEST_F(PlanFilesTest, SaveAsAndOpenGoThroughTheFileDialog) {
    std::vector<platform::FileDialogRequest> asked;
    std::string reply = folder.Path() + "chosen";
    platform::SetFileDialogResponder(
        [&](const platform::FileDialogRequest& request, std::string* chosen) {
            asked.push_back(request);
            *chosen = reply;
            return true;
        });
    std::snprintf(control.planName, sizeof control.planName, "%s", "/web/plan.kvr?x=1");
    EXPECT_EQ(control.SavePlanAs(), platform::S_OK);
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].initialPath, "/web/plan.kvp");
    EXPECT_EQ(asked[0].filterPattern, "*.kvp");
    const std::string saved = folder.Path() + "chosen.kvp";
    EXPECT_STREQ(control.planName, saved.c_str()) << "the default extension is added";
    EXPECT_TRUE(Exists(saved));

    // Opening: the scene goes, the plan loads on its thread.
    control.fogState.SetDouble(0, 0.25);
    ASSERT_EQ(control.SavePlan(), platform::S_OK);
    control.fogState.SetDouble(0, 0.5);
    control.scene.Append(new TestItem);
    reply = saved;
    control.loadFinished = false;
    EXPECT_EQ(control.LoadPlan(), platform::S_OK);
    WaitForLoad(control);
    EXPECT_TRUE(control.loadFinished);
    EXPECT_EQ(control.scene.GetCount(), 0u);
    EXPECT_DOUBLE_EQ(control.fogState.GetDouble(0), 0.25);
}

TEST(LocalPlanTest, LoadStartsOnlyForAnExistingFileOnceTheControlRuns) {
    ScopedRegistry registry;
    TempFolder folder;
    auto* control = new CDuzazododiza;  // its one reference is ours
    const std::string plan = folder.Path() + "local.kvp";

    platform::ScopedBstr empty("");
    platform::ScopedBstr name(plan.c_str());
    EXPECT_EQ(control->LoadLocalPlan(empty.Get()), platform::S_FALSE);
    EXPECT_EQ(control->LoadLocalPlan(nullptr), platform::S_FALSE);
    // Not running yet: the name is kept for the start-up to open.
    EXPECT_EQ(control->LoadLocalPlan(name.Get()), platform::S_FALSE);
    EXPECT_STREQ(control->planName, plan.c_str());

    control->initialised = 1;
    EXPECT_EQ(control->LoadLocalPlan(name.Get()), platform::S_FALSE) << "no such file";
    EXPECT_FALSE(control->loading);

    WriteAll(plan, "");
    EXPECT_EQ(control->LoadLocalPlan(name.Get()), platform::S_OK);
    EXPECT_TRUE(control->loading) << "the wait screen is up";
    WaitForLoad(*control);
    EXPECT_TRUE(control->loadFinished);
    control->Release();
}

}  // namespace

// ---- Every kind of scene object through a plan and through undo ----------------------

namespace {

// The ground as far as plans see it: a height per grid node, written and read back.
class PlanTerrain : public Terrain {
public:
    void Render() override {}
    void Translate(const Vector&) override {}
    void WriteKeyData() override {
        delete element;
        element = new KeyDataSublist("Terrain");
        element->GetChildren()->AddString("transactionObjectId", std::to_string(GetObjectId()));
        element->GetChildren()->AddString("Heights", heights);
    }
    bool ReadKeyData(KeyDataList& keys) override {
        if (const char* read = keys.GetString("Heights")) heights = read;
        return true;
    }
    std::string heights;
};

// An editor as a plan sees it: the central object (whose progress bar ends a load's
// count) with its main window, sky and terrain.
struct Editor {
    Editor() {
        control.mainWindow = control.activeWindow = control.currentWindow = &window;
        window.ResetViewOptions();
        control.sky = new EnvironmentObject(EnvironmentObject::kSkyDome);
        KeyDataList sky;
        Vector(2.0, 2.0, 2.0).WriteChild(sky, "Scale");
        control.sky->ReadKeyData(sky);
        control.terrain = &terrain;
    }
    ~Editor() {
        control.scene.DeleteAll();
        control.deletedObjects.DeleteAll();
        control.undoList.Clear();
        window.DeleteTraceImage();
        delete control.sky;
        control.sky = nullptr;
        control.terrain = nullptr;
        control.mainWindow = control.activeWindow = control.currentWindow = nullptr;
    }
    Editor(const Editor&) = delete;
    Editor& operator=(const Editor&) = delete;

    std::string Save(const std::string& path) {
        char buffer[BaseControl::kPathSize];
        std::snprintf(buffer, sizeof buffer, "%s", path.c_str());
        EXPECT_TRUE(control.WriteSceneGraphFile(buffer, sizeof buffer, false));
        return buffer;
    }

    RecordingControl control;
    Window window;
    PlanTerrain terrain;
};

// The tree as text, members in order, without the object ids.
std::string TreeText(const KeyDataList& list) {
    std::string out;
    for (auto* m = list.GetFirstMember(); m; m = m->GetNextMember()) {
        if (m->IsElement()) {
            if (m->Name() == "objectId" || m->Name() == "transactionObjectId") continue;
            out += m->Name() + "=" + static_cast<const KeyDataElement*>(m)->Value() + ";";
        } else {
            out += m->Name() + "{" +
                   TreeText(*static_cast<const KeyDataSublist*>(m)->GetChildren()) + "}\n";
        }
    }
    return out;
}

// The first line where two texts differ, with its number, for a readable failure.
std::string FirstDifference(const std::string& a, const std::string& b) {
    size_t line = 1, start = 0;
    for (size_t i = 0; i < std::min(a.size(), b.size()); ++i) {
        if (a[i] != b[i]) {
            const size_t endA = a.find('\n', start), endB = b.find('\n', start);
            return "line " + std::to_string(line) + ":\n  " + a.substr(start, endA - start) +
                   "\n  " + b.substr(start, endB - start);
        }
        if (a[i] == '\n') {
            ++line;
            start = i + 1;
        }
    }
    return a.size() == b.size() ? "" : "one ends at line " + std::to_string(line);
}

std::string PlanText(const std::string& plan) {
    TempFolder unpacked;
    char member[kCabinetPathSize];
    if (!DecompressCabinet(plan.c_str(), unpacked.Path().c_str(), member)) return "";
    KeyDataList read;
    FILE* file = std::fopen(member, "rb");
    const bool whole = file && ReadPlanStream(file, read);
    if (file) std::fclose(file);
    return whole ? TreeText(read) : "";
}

std::string ElementText(UndoableObject& object) {
    object.WriteKeyData();
    std::unique_ptr<KeyDataSublist> element(object.TakeWrittenElement());
    return element ? element->Name() + "{" + TreeText(*element->GetChildren()) + "}" : "";
}

// A catalogue model read from a geometry file of one triangle, placed, turned, scaled,
// locked to its own materials and named.
Model* MakeModel(const std::string& folder, const char* name, double x) {
    const std::string geometry = folder + name + ".geo";
    GeometryFile g;
    g.Triangle().PartEnd().End();
    g.Save(geometry);
    KeyDataList keys;
    keys.AddString("URL", std::string("http://content.example/") + name + ".3c_");
    keys.AddString("DecompressedFile", geometry);
    keys.AddSublist("lockCodes")->AddString("code", "oak");
    Vector(-10.0, 0.0, -5.0).WriteChild(keys, "BoundingBoxMin");
    Vector(10.0, 30.0, 5.0).WriteChild(keys, "BoundingBoxMax");
    auto* model = new Model;
    model->LoadDecompressedFile(keys, true);
    model->SetPosition(Vector(x, 0.0, 12.0));
    model->RotateAboutAxis(1, 30.0);
    model->SetScaleVector(Vector(1.5, 2.0, 1.0));
    model->SetInformationValue("name", name);
    return model;
}

// A light as a plan holds it: a spot light with its own angle and size, or the main
// light with its direction.
LightSource* MakeLight(bool spot, double x) {
    KeyDataList keys;
    Vector(x, 90.0, 10.0).WriteChild(keys, "Position");
    KeyDataList* colour = keys.AddSublist("Color");
    colour->AddDouble("Red", 0.5);
    colour->AddDouble("Green", 0.6);
    colour->AddDouble("Blue", 0.7);
    if (spot) {
        KeyDataList* positional = keys.AddSublist("Positional");
        positional->AddDouble("SpotAngle", 40.0);
        positional->AddDouble("SpotIntensity", 0.25);
        positional->AddDouble("DepthMapWidth", 128.0);
        positional->AddDouble("DepthMapHeight", 64.0);
        positional->AddDouble("LightBitmapFalloff", 3.0);
    } else {
        Vector(0.2, -1.0, 0.3).WriteChild(*keys.AddSublist("Directional"), "Direction");
    }
    auto* light = new LightSource;
    light->ReadKeyData(keys);
    return light;
}

// Groups are made from the selection, as the editor makes them.
Group* GroupSelected(BaseControl& control, std::initializer_list<RenderableObject*> members) {
    control.SelectAll(false);
    for (RenderableObject* member : members) member->SetSelected(true);
    auto* group = new Group;
    return Group::CreateGroup(group) ? group : nullptr;
}

// One of every kind of object the editor has: a model, a group holding a model and a
// nested group of two, a spot light and the main light, the sky, the terrain and a
// trace image.
void FillWithEveryKind(Editor& editor, const std::string& folder) {
    BaseControl& control = editor.control;
    control.scene.Append(MakeModel(folder, "chair", 0.0));
    Model* a = MakeModel(folder, "lamp", 100.0);
    Model* b = MakeModel(folder, "table", 150.0);
    Model* c = MakeModel(folder, "sofa", 250.0);
    for (Model* m : {a, b, c}) control.scene.Append(m);
    Group* inner = GroupSelected(control, {a, b});
    ASSERT_NE(inner, nullptr);
    Group* outer = GroupSelected(control, {inner, c});
    ASSERT_NE(outer, nullptr);
    outer->RotateAboutAxis(1, 45.0);
    control.scene.Prepend(MakeLight(true, 40.0));
    control.scene.Prepend(MakeLight(false, 0.0));
    control.SelectAll(false);
    editor.terrain.heights = "0,1,2,3";
    const std::string picture = folder + "trace.png";
    WriteAll(picture, "png");
    editor.window.traceImage = new TraceImageModel(picture.c_str());
}

class PlanKindsTest : public ::testing::Test {
protected:
    void SetUp() override {
        platform::SetMessageBoxResponder([](const platform::MessageBoxRequest&) {
            return platform::MessageAnswer::Yes;
        });
    }
    void TearDown() override { platform::SetMessageBoxResponder(nullptr); }

    ScopedRegistry registry;
    ScopedProgramFolder programFolder;
    TempFolder folder;
};

}  // namespace

TEST_F(PlanKindsTest, EveryKindComesBackFromThePlanInAFreshEditor) {
    std::string written;
    {
        Editor first;
        FillWithEveryKind(first, folder.Path());
        // Saved twice, so that the plan holds its own name, as a reopened plan does.
        first.Save(folder.Path() + "every.kvp");
        written = PlanText(first.Save(folder.Path() + "every.kvp"));
    }
    ASSERT_FALSE(written.empty());
    for (const char* kind : {"Model{", "Group{", "GroupObjects{", "LightSource{", "Positional{",
                             "Directional{", "Dome{", "Terrain{", "TraceImageModel{"})
        EXPECT_NE(written.find(kind), std::string::npos) << kind << " is written";

    Editor second;
    second.terrain.heights.clear();
    second.control.LoadPlanFile((folder.Path() + "every.kvp").c_str(), false);
    // The render loop's turn after the load hides the progress bar, which ends the count.
    second.control.ShowMainProgress(false, second.control.progressOwner);
    EXPECT_EQ(second.control.scene.GetCount(), 4u) << "two lights, a model and a group";
    EXPECT_EQ(second.terrain.heights, "0,1,2,3");
    // Saved over the same file: the status line names it.
    const std::string again = PlanText(second.Save(folder.Path() + "every.kvp"));
    EXPECT_EQ(FirstDifference(written, again), "");
}

TEST_F(PlanKindsTest, EveryDeletedKindComesBackWithItsKeysOnUndo) {
    Editor editor;
    FillWithEveryKind(editor, folder.Path());
    BaseControl& control = editor.control;
    std::vector<UndoableObject*> objects;
    for (LinkedListObject* node = control.scene.GetHead(); node; node = node->GetNext())
        objects.push_back(dynamic_cast<UndoableObject*>(node));
    objects.push_back(editor.window.traceImage);

    for (UndoableObject* object : objects) {
        ASSERT_NE(object, nullptr);
        const TransactionId id = object->GetObjectId();
        const std::string keys = ElementText(*object);
        SCOPED_TRACE(keys.substr(0, keys.find('{')));
        control.SelectAll(false);
        object->SetSelected(true);
        control.DeleteSelectedObjects();
        ASSERT_EQ(FindObjectByTransactionId(control.scene, id), nullptr);

        control.Undo();
        UndoableObject* again = FindObjectByTransactionId(control.scene, id);
        ASSERT_NE(again, nullptr) << "the undo brings it back";
        EXPECT_EQ(FirstDifference(keys, ElementText(*again)), "");
        EXPECT_TRUE(again->IsSelected());
    }
    EXPECT_EQ(control.scene.GetCount(), 4u);
}
