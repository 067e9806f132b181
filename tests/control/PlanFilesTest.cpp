#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "control/Duzazododiza.h"
#include "control/PlanFiles.h"
#include "foundation/Cabinet.h"
#include "foundation/KeyDataList.h"
#include "interaction/TraceImageModel.h"
#include "platform/FileDialog.h"
#include "platform/Files.h"
#include "platform/Menu.h"
#include "platform/MessageBox.h"
#include "render/Window.h"
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
        control.loadFinished = 0;
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
    control.loadFinished = 0;
    EXPECT_EQ(control.LoadPlan(), platform::S_OK);
    WaitForLoad(control);
    EXPECT_TRUE(control.loadFinished);
    EXPECT_EQ(control.scene.GetCount(), 0u);
    EXPECT_DOUBLE_EQ(control.fogState.GetDouble(0), 0.25);
}

TEST(LocalPlanTest, LoadStartsOnlyForAnExistingFileOnceTheControlRuns) {
    ScopedRegistry registry;
    TempFolder folder;
    auto* control = new CDuzazododiza;
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
