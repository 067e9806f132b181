#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/UrlDownload.h"
#include "support/LocalHttpServer.h"
#include "support/TempFolder.h"

namespace fs = std::filesystem;
using platform::HRESULT;

namespace {

// Records every step; answers E_ABORT at the step named by `abortAt`.
class StepRecorder : public platform::IDownloadStatusCallback {
public:
    HRESULT QueryInterface(const platform::Guid&, void** out) override {
        *out = nullptr;
        return platform::E_NOINTERFACE;
    }
    uint32_t AddRef() override { return 0; }
    uint32_t Release() override { return 0; }
    HRESULT OnStartBinding() override {
        steps.push_back("start");
        return abortAt == "start" ? platform::E_ABORT : platform::S_OK;
    }
    HRESULT OnProgress(uint64_t progress, uint64_t max, uint32_t code, const char*) override {
        steps.push_back("progress " + std::to_string(code));
        lastProgress = progress;
        lastMax = max;
        return abortAt == "data" && code == platform::kDownloadData ? platform::E_ABORT
                                                                    : platform::S_OK;
    }
    HRESULT OnStopBinding(HRESULT result, const char*) override {
        steps.push_back("stop");
        stopResult = result;
        return platform::S_OK;
    }

    std::string abortAt;
    std::vector<std::string> steps;
    uint64_t lastProgress = 0, lastMax = 0;
    HRESULT stopResult = 1;
};

std::string ReadWhole(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

class UrlDownloadNetTest : public ::testing::Test {
protected:
    void SetUp() override {
        server_.Server().Get("/big.bin", [this](const httplib::Request&, httplib::Response& res) {
            ++hits_;
            res.set_content(body_, "application/octet-stream");
        });
        server_.Server().Get("/gone", [this](const httplib::Request&, httplib::Response& res) {
            ++hits_;
            res.status = 404;
            res.set_content("error page", "text/html");
        });
        ASSERT_TRUE(server_.Start());
    }
    std::string Url(const std::string& path) const { return "http://" + server_.Address() + path; }
    // Only the target: no part-written file stays beside it.
    std::vector<std::string> FolderNames() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(folder_.Path()))
            names.push_back(entry.path().filename().string());
        return names;
    }

    TempFolder folder_;
    std::string body_ = std::string(3 << 20, 'k');
    std::atomic<int> hits_{0};
    LocalHttpServer server_;
};

TEST_F(UrlDownloadNetTest, NamedFileIsReplacedWholeAndEveryStepIsReported) {
    const std::string target = folder_.Path() + "out.bin";
    std::ofstream(target) << "old";
    StepRecorder steps;
    ASSERT_TRUE(platform::DownloadUrlToFile(Url("/big.bin"), target, &steps));
    EXPECT_EQ(ReadWhole(target), body_);
    ASSERT_GE(steps.steps.size(), 4u);
    EXPECT_EQ(steps.steps.front(), "start");
    EXPECT_EQ(steps.steps[steps.steps.size() - 2],
              "progress " + std::to_string(platform::kDownloadEndData));
    EXPECT_EQ(steps.steps.back(), "stop");
    EXPECT_EQ(steps.stopResult, platform::S_OK);
    EXPECT_EQ(steps.lastProgress, body_.size());
    EXPECT_EQ(steps.lastMax, body_.size());

    // A failed or stopped download leaves the old file as it was.
    for (const char* abortAt : {"", "start", "data"}) {
        SCOPED_TRACE(abortAt);
        std::ofstream(target) << "old";
        StepRecorder failing;
        failing.abortAt = abortAt;
        const std::string url = *abortAt ? Url("/big.bin") : Url("/gone");
        std::string error;
        EXPECT_FALSE(platform::DownloadUrlToFile(url, target, &failing, &error));
        EXPECT_FALSE(error.empty());
        EXPECT_EQ(failing.steps.back(), "stop");
        EXPECT_EQ(failing.stopResult, *abortAt ? platform::E_ABORT : platform::E_FAIL);
        EXPECT_EQ(ReadWhole(target), "old");
        EXPECT_EQ(FolderNames(), std::vector<std::string>{"out.bin"});
    }
}

TEST_F(UrlDownloadNetTest, OnlyPlainHttpAddressesAreFetched) {
    TempFolder cache;
    ScopedEnv env("KIVORA_URL_CACHE", cache.Path());
    const std::string port = std::to_string(server_.Port());
    for (const std::string& url :
         {"https://127.0.0.1:" + port + "/big.bin", "ftp://127.0.0.1:" + port + "/big.bin",
          "http://user@127.0.0.1:" + port + "/big.bin", std::string("http:///big.bin"),
          "http://127.0.0.1:" + port + "@evil/big.bin", std::string("http://"),
          std::string("/etc/passwd")}) {
        std::string cached;
        StepRecorder steps;
        EXPECT_FALSE(platform::DownloadUrlToCache(url, &cached, &steps)) << url;
        EXPECT_TRUE(cached.empty());
        EXPECT_EQ(steps.steps.back(), "stop");
    }
    EXPECT_EQ(hits_.load(), 0);
    EXPECT_TRUE(fs::is_empty(cache.Path()));
}

}  // namespace
