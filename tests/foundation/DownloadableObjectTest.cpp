#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "foundation/KeyDataList.h"
#include "foundation/ServerCommandFile.h"
#include "foundation/Trace.h"
#include "platform/Thread.h"
#include "platform/UrlDownload.h"
#include "support/RecordingControl.h"
#include "support/TempFolder.h"

namespace {

// Counts hook calls; fetches nothing in these tests.
class CountingDownload : public DownloadableObject {
public:
    ~CountingDownload() override { CancelDownload(); }
    int OnDownloadComplete() override { return ++hooks; }
    void SetURL(const char* address) { std::snprintf(url, sizeof url, "%s", address); }
    int hooks = 0;
};

// Another base before the download part, so that the object's address and its download
// part's address differ.
struct Padding {
    virtual ~Padding() = default;
    double filler[3] = {};
};
class CompositeDownload : public Padding, public CountingDownload {};

TEST(HostPart, IsTheHostWithOrWithoutTheScheme) {
    const struct {
        const char* address;
        const char* host;
    } cases[] = {
        {"http://content.example/3d/chair.cab", "content.example"},
        {"HTTP://Content.Example/x", "Content.Example"},
        {"content.example/3d/chair.cab", "content.example"},
        {"http://127.0.0.1:8080/x.cab", "127.0.0.1:8080"},
        {"http://host:abc/x", "host"},
        {"  http://host", "host"},
        {"http:\\\\host\\x", "host"},
        {"", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(HostPartOf(c.address), c.host) << c.address;
}

TEST(RelativeAddresses, JoinTheListsDomainToThePath) {
    for (const char* key : {"URLwithoutDomain", "URLWithoutDomain", "urlWithoutDomain",
                            "TextureURLwithoutDomain", "columnCapURLWithoutDomain"})
        EXPECT_TRUE(IsRelativeURLKey(key)) << key;
    for (const char* key :
         {"URL", "URLwithDomain", "withoutDomain", "", static_cast<const char*>(nullptr)})
        EXPECT_FALSE(IsRelativeURLKey(key)) << (key ? key : "null");

    KeyDataList list;
    list.AddString("TextureURLwithoutDomain", "tex/wood.jpg");
    list.AddString("URL", "http://elsewhere/x");
    char out[DownloadableObject::kTextSize] = "stale";
    EXPECT_FALSE(ResolveRelativeURL(list, "TextureURLwithoutDomain", out, sizeof out));
    EXPECT_STREQ(out, "");

    list.AddString("Domain", "content.example:8080");
    ASSERT_TRUE(ResolveRelativeURL(list, "TextureURLwithoutDomain", out, sizeof out));
    EXPECT_STREQ(out, "http://content.example:8080/tex/wood.jpg");
    // Only relative keys are joined.
    EXPECT_FALSE(ResolveRelativeURL(list, "URL", out, sizeof out));

    // An address that does not fit is refused whole, never cut.
    char small[24];
    EXPECT_FALSE(ResolveRelativeURL(list, "TextureURLwithoutDomain", small, sizeof small));
    EXPECT_STREQ(small, "");
}

class DownloadUnitTest : public ::testing::Test {
protected:
    void SetUp() override {
        trace_ = std::tmpfile();
        SetTraceWriteFile(trace_);
    }
    void TearDown() override {
        SetTraceWriteFile(nullptr);
        std::fclose(trace_);
    }
    std::string Traced() {
        std::fflush(trace_);
        std::rewind(trace_);
        std::string text;
        char chunk[512];
        while (size_t n = std::fread(chunk, 1, sizeof chunk, trace_)) text.append(chunk, n);
        return text;
    }

    ScopedProgramFolder programFolder_;
    RecordingControl control_;
    FILE* trace_ = nullptr;
};

TEST_F(DownloadUnitTest, ProgressIsAClampedPercentageOfTheFollowedDownload) {
    CompositeDownload download;
    const char* address = "http://content.example/3d/chair.cab";
    control_.globalState.SetString(2, address);
    download.SetURL(address);

    const uint64_t big = uint64_t{1} << 40;
    const struct {
        uint64_t progress, max;
        uint32_t status;
        double expected;  // -1: left as it was
    } cases[] = {
        {50, 200, platform::kDownloadData, 25.0},
        {big, 2 * big, platform::kDownloadData, 50.0},
        {300, 200, platform::kDownloadData, 100.0},
        {10, 200, platform::kDownloadCacheFileAvailable, 1.0},
        {10, 0, platform::kDownloadData, -1},
    };
    for (const auto& c : cases) {
        control_.globalState.SetDouble(16, -5.0);
        platform::SetCurrentThreadPriority(platform::ThreadPriority::BelowNormal);
        EXPECT_EQ(download.OnProgress(c.progress, c.max, c.status, "/cache/x"), platform::S_OK);
        EXPECT_DOUBLE_EQ(control_.globalState.GetDouble(16), c.expected < 0 ? -5.0 : c.expected)
            << c.progress << "/" << c.max;
        // The raised priority never outlives the call, whatever way it leaves.
        EXPECT_EQ(platform::CurrentThreadPriority(), platform::ThreadPriority::BelowNormal);
        EXPECT_EQ(download.GetLastStatus(), c.status);
    }
    platform::SetCurrentThreadPriority(platform::ThreadPriority::Normal);
    EXPECT_STREQ(download.GetCacheFileName(), "/cache/x");

    // The detail goes to the download part's identity, not the whole object's address.
    ASSERT_FALSE(control_.details.empty());
    EXPECT_EQ(control_.details.back().second, download.ProgressOwnerId());
    EXPECT_NE(download.ProgressOwnerId(), reinterpret_cast<intptr_t>(&download));
    EXPECT_DOUBLE_EQ(control_.details.back().first, 200.0);

    // Another download leaves the followed value alone.
    control_.globalState.SetString(2, "http://content.example/other.cab");
    control_.globalState.SetDouble(16, 7.0);
    download.OnProgress(100, 100, platform::kDownloadData, nullptr);
    EXPECT_DOUBLE_EQ(control_.globalState.GetDouble(16), 7.0);

    // A cancelled download is told to stop.
    download.Cancel();
    EXPECT_EQ(download.OnProgress(1, 2, platform::kDownloadData, nullptr), platform::E_ABORT);
}

TEST_F(DownloadUnitTest, RefusedAddressesFetchNothing) {
    CountingDownload download;
    control_.Run();
    const std::string longAddress = "http://content.example/" + std::string(300, 'a');
    EXPECT_FALSE(download.StartDownload(""));
    EXPECT_FALSE(download.StartDownload(nullptr));
    EXPECT_FALSE(download.DownloadNow(longAddress.c_str()));
    EXPECT_FALSE(download.StartDownload(longAddress.c_str()));
    EXPECT_FALSE(download.IsPending());
    EXPECT_EQ(download.hooks, 0);
    const std::string traced = Traced();
    EXPECT_NE(traced.find("urlp is empty"), std::string::npos);
    EXPECT_NE(traced.find("url too long"), std::string::npos);
    // The over-long address is not kept, not even cut.
    EXPECT_STREQ(download.GetURL(), "");
}

TEST_F(DownloadUnitTest, WaitingWithNothingPendingLeavesTheRenderLockAlone) {
    CountingDownload download;
    control_.LockRender();
    control_.LockRender();
    EXPECT_EQ(download.WaitForDownload(), 0);
    EXPECT_EQ(control_.RenderLock().CountForCurrentThread(), 2);
    control_.UnlockRender();
    control_.UnlockRender();
}

TEST_F(DownloadUnitTest, AttachPathToDomainDropsOneSlashAfterADomainWithOne) {
    const struct {
        const char* domain;
        const char* path;
        const char* expected;
    } cases[] = {
        {"http://content.example/", "/3d/a.cab", "http://content.example/3d/a.cab"},
        {"http://content.example/", "3d/a.cab", "http://content.example/3d/a.cab"},
        {"http://content.example/", "\\3d/a.cab", "http://content.example/3d/a.cab"},
        {"http://content.example", "/3d/a.cab", "http://content.example/3d/a.cab"},
        {"http://content.example/", "", ""},
    };
    char buffer[DownloadableObject::kTextSize];
    for (const auto& c : cases) {
        std::snprintf(control_.contentDomain, sizeof control_.contentDomain, "%s", c.domain);
        EXPECT_STREQ(control_.AttachPathToDomain(c.path, buffer, sizeof buffer), c.expected)
            << c.domain << " + " << c.path;
    }
    EXPECT_STREQ(control_.AttachPathToDomain(nullptr, buffer, sizeof buffer), "");
    char small[16];
    EXPECT_STREQ(control_.AttachPathToDomain("3d/a.cab", small, sizeof small), "");
    EXPECT_EQ(control_.AttachPathToDomain("3d/a.cab", nullptr, 0), nullptr);
}

TEST(ServerCommandFileTest, ReadingReplacesTheTreeAndAMissingFileLeavesNone) {
    TempFolder folder;
    const std::string path = folder.Path() + "desc.bin";
    KeyDataList written;
    written.AddString("Name", "chair");
    FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_TRUE(file);
    ASSERT_TRUE(written.WriteBinary(file));
    std::fclose(file);

    ServerCommandFile description;
    EXPECT_TRUE(description.IsCompressed());
    ASSERT_TRUE(description.ReadFile(path.c_str()));
    ASSERT_NE(description.GetKeyData(), nullptr);
    EXPECT_STREQ(description.GetKeyData()->GetString("Name"), "chair");
    ASSERT_TRUE(description.ReadFile(path.c_str()));  // the first tree is freed, not leaked
    EXPECT_EQ(description.GetKeyData()->GetCount(), 1u);

    // No decompressed file (a failed extraction) is a failure for the hook.
    EXPECT_EQ(description.OnDownloadComplete(), 0);
    EXPECT_EQ(description.GetKeyData(), nullptr);
    EXPECT_FALSE(description.ReadFile((folder.Path() + "missing.bin").c_str()));
}

TEST(UrlCache, FileNamesComeFromAHashOfTheWholeAddress) {
    TempFolder cache;
    ScopedEnv env("KIVORA_URL_CACHE", cache.Path());
    const std::string a = platform::UrlCacheFileName("http://h/../../etc/passwd");
    const std::string b = platform::UrlCacheFileName("http://h/../../etc/passwd2");
    EXPECT_EQ(a.rfind(cache.Path(), 0), 0u);
    EXPECT_EQ(a.find('/', cache.Path().size()), std::string::npos);
    EXPECT_EQ(a.find("passwd"), std::string::npos);
    EXPECT_NE(a, b);
    EXPECT_EQ(a, platform::UrlCacheFileName("http://h/../../etc/passwd"));
}

}  // namespace
