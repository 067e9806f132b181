#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "foundation/Cabinet.h"
#include "foundation/KeyDataList.h"
#include "foundation/ServerCommandFile.h"
#include "foundation/Trace.h"
#include "platform/Thread.h"
#include "platform/UrlDownload.h"
#include "support/LocalHttpServer.h"
#include "support/RecordingControl.h"
#include "support/TempFolder.h"

using namespace std::chrono_literals;
namespace fs = std::filesystem;

namespace {

// What a description's hook saw, kept apart from the object so that it outlives it.
struct HookRecord {
    std::atomic<int> calls{0};
    std::thread::id thread;
    platform::ThreadPriority priority = platform::ThreadPriority::Idle;
};

// A description file that notes where its hook ran and may take the render lock in it.
class RecordedDescription : public ServerCommandFile {
public:
    explicit RecordedDescription(HookRecord* record, bool lockRender = false)
        : record_(record), lockRender_(lockRender) {}
    ~RecordedDescription() override { CancelDownload(); }
    int OnDownloadComplete() override {
        if (lockRender_) theControl()->LockRender();
        const int result = ServerCommandFile::OnDownloadComplete();
        if (lockRender_) theControl()->UnlockRender();
        record_->thread = std::this_thread::get_id();
        record_->priority = platform::CurrentThreadPriority();
        ++record_->calls;
        return result;
    }

private:
    HookRecord* record_;
    bool lockRender_;
};

std::string ReadWhole(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// Entries of a folder whose names start with `prefix`.
int CountEntries(const std::string& folder, const std::string& prefix) {
    int n = 0;
    for (const auto& entry : fs::directory_iterator(folder))
        if (entry.path().filename().string().rfind(prefix, 0) == 0) ++n;
    return n;
}

class DownloadNetTest : public ::testing::Test {
protected:
    void SetUp() override {
        serve("/desc.cab", MakeDescription("desc.bin", "chair", "tex/wood.jpg"));
        serve("/other.cab", MakeDescription("desc.bin", "table", "tex/oak.jpg"));
        serve("/tex/wood.jpg", "not really a picture");
        serve("/corrupt.cab", std::string("MSCF\0\0\0\0", 8) + std::string(200, 'x'));
        server_.Server().Get("/missing.cab",
                             [this](const httplib::Request&, httplib::Response& res) {
                                 Hit("/missing.cab");
                                 res.status = 404;
                                 res.set_content("not here", "text/html");
                             });
        // Sends a little now and then until the client goes (or far longer than any test).
        server_.Server().Get("/slow.cab", [this](const httplib::Request&, httplib::Response& res) {
            res.set_chunked_content_provider("application/octet-stream",
                                             [this](size_t offset, httplib::DataSink& sink) {
                                                 slowStarted_ = true;
                                                 std::this_thread::sleep_for(10ms);
                                                 if (offset > 100000 || !sink.is_writable())
                                                     return false;
                                                 return sink.write("MSCFMSCF", 8);
                                             });
        });
        ASSERT_TRUE(server_.Start());
    }

    // A cabinet of two members, a note and then the description itself.
    std::string MakeDescription(const char* member, const char* name, const char* texture) {
        const std::string dir = build_.Path() + name + "/";
        fs::create_directories(dir);
        const std::string note = dir + "note.txt";
        std::ofstream(note) << "first member";
        const std::string desc = dir + member;
        KeyDataList list;
        KeyDataList* model = list.AddSublist("Model");
        model->AddString("Name", name);
        model->AddString("TextureURLwithoutDomain", texture);
        FILE* file = std::fopen(desc.c_str(), "wb");
        EXPECT_TRUE(file && list.WriteBinary(file));
        if (file) std::fclose(file);
        const std::string cab = dir + "out.cab";
        const char* files[] = {note.c_str(), desc.c_str()};
        EXPECT_TRUE(CreateCabinet(2, files, cab.c_str()));
        return ReadWhole(cab);
    }

    void serve(const std::string& path, const std::string& body) {
        server_.Server().Get(path,
                             [this, path, body](const httplib::Request&, httplib::Response& res) {
                                 Hit(path);
                                 res.set_content(body, "application/octet-stream");
                             });
    }

    std::string Url(const std::string& path) const { return "http://" + server_.Address() + path; }

    void Hit(const std::string& path) {
        std::lock_guard<std::mutex> guard(hitsMutex_);
        ++hits_[path];
    }
    int Hits(const std::string& path) {
        std::lock_guard<std::mutex> guard(hitsMutex_);
        return hits_[path];
    }

    // The process log is made before the temporary folder moves, so that it stays put.
    Trace& log_ = theTrace();
    TempFolder build_;
    TempFolder temp_;
    ScopedEnv tmpdir_{"TMPDIR", temp_.Path()};
    TempFolder cache_;
    ScopedEnv cacheEnv_{"KIVORA_URL_CACHE", cache_.Path()};
    ScopedProgramFolder programFolder_;
    RecordingControl control_;
    std::mutex hitsMutex_;
    std::map<std::string, int> hits_;
    std::atomic<bool> slowStarted_{false};
    LocalHttpServer server_;
};

TEST_F(DownloadNetTest, DescriptionArrivesOnItsOwnThreadWhileRunningElseAtOnce) {
    for (bool running : {true, false}) {
        SCOPED_TRACE(running ? "running" : "not running");
        control_.waitScreenLevel = 1.0;
        if (running) control_.Run();
        fs::remove_all(cache_.Path());
        HookRecord record;
        RecordedDescription description(&record);
        ASSERT_TRUE(description.StartDownload(Url("/desc.cab").c_str()));
        EXPECT_EQ(description.IsPending(), running);
        EXPECT_EQ(description.WaitForDownload(), 0);
        ASSERT_EQ(record.calls.load(), 1);
        EXPECT_EQ(record.thread != std::this_thread::get_id(), running);
        EXPECT_EQ(record.priority, platform::ThreadPriority::Normal);

        // The cabinet's last member is the description that was read.
        EXPECT_EQ(fs::path(description.GetDecompressedFile()).filename(), "desc.bin");
        ASSERT_NE(description.GetKeyData(), nullptr);
        KeyDataList* model = description.GetKeyData()->GetSublist("Model");
        EXPECT_STREQ(model->GetString("Name"), "chair");
        EXPECT_EQ(description.GetHostPart(), server_.Address());
        if (running) {
            // The status text names the download that the progress value follows.
            EXPECT_EQ(control_.globalState.GetString(2), Url("/desc.cab"));
            EXPECT_DOUBLE_EQ(control_.globalState.GetDouble(16), 100.0);
        }
    }
    EXPECT_EQ(Hits("/desc.cab"), 2);
}

TEST_F(DownloadNetTest, SecondFetchComesFromTheCacheAndPathsJoinTheDomain) {
    HookRecord record;
    ServerCommandFile first;
    ASSERT_TRUE(first.DownloadNow(Url("/desc.cab").c_str()));
    RecordedDescription second(&record);
    ASSERT_TRUE(second.DownloadNow(Url("/desc.cab").c_str()));
    EXPECT_EQ(Hits("/desc.cab"), 1);
    EXPECT_EQ(second.GetLastStatus(), platform::kDownloadCacheFileAvailable);
    EXPECT_STREQ(second.GetCacheFile(), first.GetCacheFile());
    EXPECT_STREQ(second.GetCacheFileName(), second.GetCacheFile());
    EXPECT_EQ(fs::path(second.GetCacheFile()).parent_path(), fs::path(cache_.Path()).parent_path());
    // Each extracted into a folder of its own.
    EXPECT_STRNE(first.GetDecompressedFile(), second.GetDecompressedFile());
    ASSERT_NE(second.GetKeyData(), nullptr);

    // A stored path is joined to the host the description came from, and that address
    // fetches.
    KeyDataList* model = second.GetKeyData()->GetSublist("Model");
    model->AddString("Domain", second.GetHostPart());
    char texture[DownloadableObject::kTextSize];
    ASSERT_TRUE(ResolveRelativeURL(*model, "TextureURLwithoutDomain", texture, sizeof texture));
    EXPECT_EQ(std::string(texture), Url("/tex/wood.jpg"));
    std::string cached;
    ASSERT_TRUE(platform::DownloadUrlToCache(texture, &cached, nullptr));
    EXPECT_EQ(ReadWhole(cached), "not really a picture");
}

TEST_F(DownloadNetTest, MissingAndCorruptFilesAreFailures) {
    control_.Run();
    // A 404 is tried twice, calls no hook, keeps nothing, and hides the bar its object holds.
    HookRecord missingRecord;
    RecordedDescription missing(&missingRecord);
    RecordedDescription bystander(&missingRecord);
    control_.ShowMainProgress(true, missing.ProgressOwnerId());
    ASSERT_TRUE(missing.StartDownload(Url("/missing.cab").c_str()));
    missing.WaitForDownload();
    EXPECT_EQ(missingRecord.calls.load(), 0);
    EXPECT_EQ(Hits("/missing.cab"), 2);
    EXPECT_EQ(missing.GetKeyData(), nullptr);
    EXPECT_FALSE(fs::exists(platform::UrlCacheFileName(Url("/missing.cab"))));
    EXPECT_EQ(control_.progressOwner, 0);
    ASSERT_EQ(control_.hideRequests.size(), 1u);
    EXPECT_EQ(control_.hideRequests[0], missing.ProgressOwnerId());

    // A cabinet that does not extract still reaches the hook, which reads nothing, and
    // leaves no extraction folder behind.
    control_.waitScreenLevel = 1.0;
    HookRecord corruptRecord;
    RecordedDescription corrupt(&corruptRecord);
    EXPECT_TRUE(corrupt.DownloadNow(Url("/corrupt.cab").c_str()));
    EXPECT_EQ(corruptRecord.calls.load(), 1);
    EXPECT_STREQ(corrupt.GetDecompressedFile(), "");
    EXPECT_EQ(corrupt.GetKeyData(), nullptr);
    EXPECT_EQ(CountEntries(temp_.Path(), "kvdl-"), 0);

    // A description that held a tree drops it when its next download fails.
    RecordedDescription reused(&corruptRecord);
    ASSERT_TRUE(reused.DownloadNow(Url("/desc.cab").c_str()));
    ASSERT_NE(reused.GetKeyData(), nullptr);
    EXPECT_TRUE(reused.DownloadNow(Url("/corrupt.cab").c_str()));
    EXPECT_EQ(reused.GetKeyData(), nullptr);
}

TEST_F(DownloadNetTest, ObjectDestroyedWhileItsDownloadRuns) {
    control_.Run();
    HookRecord record;
    auto description = std::make_unique<RecordedDescription>(&record);
    ASSERT_TRUE(description->StartDownload(Url("/slow.cab").c_str()));
    while (!slowStarted_) std::this_thread::sleep_for(1ms);
    std::this_thread::sleep_for(30ms);
    // The destructor stops the transfer and joins the thread before anything goes.
    description.reset();
    EXPECT_EQ(record.calls.load(), 0);
    EXPECT_FALSE(fs::exists(platform::UrlCacheFileName(Url("/slow.cab"))));
    EXPECT_EQ(CountEntries(cache_.Path(), ""), 0);  // no part-written file either
}

TEST_F(DownloadNetTest, ConcurrentDownloadsOfSameNamedMembersStayApart) {
    control_.Run();
    HookRecord chairRecord, tableRecord;
    auto chair = std::make_unique<RecordedDescription>(&chairRecord);
    auto table = std::make_unique<RecordedDescription>(&tableRecord);
    ASSERT_TRUE(chair->StartDownload(Url("/desc.cab").c_str()));
    ASSERT_TRUE(table->StartDownload(Url("/other.cab").c_str()));
    chair->WaitForDownload();
    table->WaitForDownload();
    ASSERT_NE(chair->GetKeyData(), nullptr);
    ASSERT_NE(table->GetKeyData(), nullptr);
    EXPECT_STREQ(chair->GetKeyData()->GetSublist("Model")->GetString("Name"), "chair");
    EXPECT_STREQ(table->GetKeyData()->GetSublist("Model")->GetString("Name"), "table");
    EXPECT_EQ(CountEntries(temp_.Path(), "kvdl-"), 2);
    chair.reset();
    table.reset();
    EXPECT_EQ(CountEntries(temp_.Path(), "kvdl-"), 0);
}

TEST_F(DownloadNetTest, WaitingGivesUpTheRenderLockToAHookThatNeedsIt) {
    control_.Run();
    HookRecord record;
    RecordedDescription description(&record, true);
    control_.LockRender();
    control_.LockRender();
    ASSERT_TRUE(description.StartDownload(Url("/desc.cab").c_str()));
    EXPECT_EQ(description.WaitForDownload(), 0);
    EXPECT_EQ(record.calls.load(), 1);
    EXPECT_EQ(control_.RenderLock().CountForCurrentThread(), 2);
    control_.UnlockRender();
    control_.UnlockRender();
}

}  // namespace
