#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <mutex>
#include <string>
#include <vector>

#include "platform/Clock.h"
#include "platform/RegistryStore.h"
#include "support/TempFolder.h"

using platform::RegistryRoot;
using platform::RegistryStore;
using platform::RegistryType;

namespace {

constexpr auto kUser = RegistryRoot::CurrentUser;

class RegistryStoreTest : public ::testing::Test {
protected:
    TempFolder folder;
    std::string dbPath = folder.Path() + "reg.sqlite";
};

// Runs `body` in a child process; answers the child's exit code.
template <class F>
int RunInChild(F body) {
    const pid_t pid = fork();
    if (pid == 0) _exit(body());
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

TEST_F(RegistryStoreTest, NamesMatchInAnyCaseAndKeepTheirFirstSpelling) {
    RegistryStore store(dbPath);
    ASSERT_TRUE(store.IsOpen());
    ASSERT_TRUE(store.SetString(kUser, "Software\\Kivora\\Defaults", "WallHeight", "96"));
    EXPECT_EQ(store.GetString(kUser, "SOFTWARE\\kivora\\defaults", "wallheight"), "96");
    // Doubled, leading and trailing separators (either kind) name the same key.
    EXPECT_EQ(store.GetString(kUser, "\\software\\\\KIVORA/defaults\\", "WALLHEIGHT"), "96");

    ASSERT_TRUE(store.SetString(kUser, "software\\KIVORA\\defaults", "WALLHEIGHT", "120"));
    const auto values = store.ListValues(kUser, "Software\\Kivora\\Defaults");
    ASSERT_EQ(values.size(), 1u) << "a write in other case replaces the value";
    EXPECT_EQ(values[0].name, "WallHeight");
    EXPECT_EQ(store.ListSubkeys(kUser, "Software"), std::vector<std::string>{"Kivora"});
    EXPECT_EQ(store.ListSubkeys(kUser, "software\\kivora"), std::vector<std::string>{"Defaults"});
}

TEST_F(RegistryStoreTest, TypedValuesRoundTripAndStayApartPerRoot) {
    RegistryStore store(dbPath);
    const unsigned char blob[] = {0, 1, 0xFF, 0};
    ASSERT_TRUE(store.SetValue(kUser, "k", "bin", RegistryType::Binary, blob, sizeof blob));
    ASSERT_TRUE(store.SetValue(kUser, "k", "empty", RegistryType::Binary, nullptr, 0));
    ASSERT_TRUE(store.SetNumber32(kUser, "k", "num", 0xA1B2C3D4u));
    ASSERT_TRUE(store.SetString(kUser, "k", "text", std::string_view("ab\0cd", 5)));

    auto bin = store.GetValue(kUser, "k", "bin");
    ASSERT_TRUE(bin);
    EXPECT_EQ(bin->type, RegistryType::Binary);
    EXPECT_EQ(bin->data, std::vector<unsigned char>(blob, blob + 4));
    EXPECT_TRUE(store.GetValue(kUser, "k", "empty")->data.empty());
    EXPECT_EQ(store.GetNumber32(kUser, "k", "num"), 0xA1B2C3D4u);
    EXPECT_EQ(store.GetValue(kUser, "k", "num")->data,
              (std::vector<unsigned char>{0xD4, 0xC3, 0xB2, 0xA1}));
    EXPECT_EQ(store.GetValue(kUser, "k", "text")->data.size(), 5u) << "bytes are kept as given";
    EXPECT_EQ(store.GetString(kUser, "k", "text"), "ab") << "text ends at its first zero";

    // Typed readers refuse other types; a number must be 4 bytes.
    EXPECT_FALSE(store.GetString(kUser, "k", "bin"));
    EXPECT_FALSE(store.GetNumber32(kUser, "k", "text"));
    EXPECT_FALSE(store.SetValue(kUser, "k", "num", RegistryType::Number32, blob, 3));
    EXPECT_EQ(store.GetNumber32(kUser, "k", "num"), 0xA1B2C3D4u);

    EXPECT_FALSE(store.GetValue(RegistryRoot::LocalMachine, "k", "num"));
    EXPECT_FALSE(store.KeyExists(RegistryRoot::Classes, "k"));
    ASSERT_TRUE(store.SetNumber32(RegistryRoot::Classes, "k", "num", 7));
    EXPECT_EQ(store.GetNumber32(kUser, "k", "num"), 0xA1B2C3D4u);

    EXPECT_TRUE(store.DeleteValue(kUser, "k", "NUM"));
    EXPECT_FALSE(store.DeleteValue(kUser, "k", "num"));
    EXPECT_EQ(store.ListValues(kUser, "k").size(), 3u);
}

TEST_F(RegistryStoreTest, DeleteKeyRemovesTheWholeSubtreeOnly) {
    RegistryStore store(dbPath);
    ASSERT_TRUE(store.SetNumber32(kUser, "p\\defaults", "v", 1));
    ASSERT_TRUE(store.SetNumber32(kUser, "p\\defaults\\wall", "v", 2));
    ASSERT_TRUE(store.CreateKey(kUser, "p\\defaults\\floor\\deep\\deeper"));
    // Names that share the prefix, or sort right after it, are not below the key.
    ASSERT_TRUE(store.SetNumber32(kUser, "p\\defaultsX", "v", 3));
    ASSERT_TRUE(store.SetNumber32(kUser, "p\\defaults]", "v", 4));
    ASSERT_TRUE(store.SetNumber32(RegistryRoot::LocalMachine, "p\\defaults\\wall", "v", 5));

    ASSERT_TRUE(store.DeleteKey(kUser, "P\\DEFAULTS"));
    EXPECT_FALSE(store.KeyExists(kUser, "p\\defaults"));
    EXPECT_FALSE(store.KeyExists(kUser, "p\\defaults\\floor\\deep"));
    EXPECT_FALSE(store.GetValue(kUser, "p\\defaults\\wall", "v"));
    EXPECT_EQ(store.GetNumber32(kUser, "p\\defaultsX", "v"), 3u);
    EXPECT_EQ(store.GetNumber32(kUser, "p\\defaults]", "v"), 4u);
    EXPECT_EQ(store.GetNumber32(RegistryRoot::LocalMachine, "p\\defaults\\wall", "v"), 5u);
    EXPECT_EQ(store.ListSubkeys(kUser, "p"), (std::vector<std::string>{"defaults]", "defaultsX"}));

    EXPECT_TRUE(store.DeleteKey(kUser, "p\\missing")) << "nothing to delete is not a failure";
    EXPECT_FALSE(store.DeleteKey(kUser, "\\")) << "the root stays";
}

TEST_F(RegistryStoreTest, OverlongNamesAreRefused) {
    RegistryStore store(dbPath);
    const std::string longName(platform::kMaxNameLength + 1, 'n');
    EXPECT_FALSE(store.CreateKey(kUser, "a\\" + longName));
    EXPECT_FALSE(store.SetNumber32(kUser, longName, "v", 1));
    EXPECT_TRUE(store.ListSubkeys(kUser, "").empty());
    EXPECT_TRUE(store.CreateKey(kUser, std::string(platform::kMaxNameLength, 'n')));
}

TEST_F(RegistryStoreTest, ValuesSurviveReopenAndAreSharedWithAnotherProcess) {
    {
        RegistryStore store(dbPath);
        ASSERT_TRUE(store.SetString(kUser, "shared", "fromParent", "p"));
    }
    // A child writes with a connection of its own; the parent sees it after the
    // child is gone, and the child saw the parent's earlier write.
    const int code = RunInChild([&] {
        RegistryStore store(dbPath);
        if (store.GetString(kUser, "shared", "fromParent") != "p") return 2;
        return store.SetString(kUser, "Shared", "FromChild", "c") ? 0 : 3;
    });
    ASSERT_EQ(code, 0);
    RegistryStore store(dbPath);
    EXPECT_EQ(store.GetString(kUser, "shared", "fromchild"), "c");
}

TEST_F(RegistryStoreTest, TwoProcessesWritingAtOnceLoseNothing) {
    RegistryStore parent(dbPath);
    ASSERT_TRUE(parent.CreateKey(kUser, "busy"));
    constexpr int kEach = 60;
    const pid_t pid = fork();
    if (pid == 0) {
        RegistryStore child(dbPath);
        bool ok = true;
        for (int i = 0; i < kEach; ++i)
            ok = child.SetNumber32(kUser, "busy", "child" + std::to_string(i), i) && ok;
        _exit(ok ? 0 : 1);
    }
    bool ok = true;
    for (int i = 0; i < kEach; ++i)
        ok = parent.SetNumber32(kUser, "busy", "parent" + std::to_string(i), i) && ok;
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(ok);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(parent.ListValues(kUser, "busy").size(), 2u * kEach);
}

TEST(RegistryStoreForCurrentUser, FollowsTheFolderSetForTheProcess) {
    ScopedRegistry first;
    auto a = RegistryStore::ForCurrentUser();
    ASSERT_TRUE(a->IsOpen());
    EXPECT_EQ(a->Path(), first.Folder() + "registry.sqlite");
    EXPECT_EQ(RegistryStore::ForCurrentUser(), a) << "one store per process";
    ASSERT_TRUE(a->SetNumber32(kUser, "k", "v", 1));
    {
        ScopedRegistry second;
        auto b = RegistryStore::ForCurrentUser();
        EXPECT_NE(b, a);
        EXPECT_FALSE(b->GetNumber32(kUser, "k", "v"));
    }
    // A child process opens its own connection to the same file.
    EXPECT_EQ(RunInChild([] {
                  auto c = RegistryStore::ForCurrentUser();
                  return c->GetNumber32(kUser, "k", "v") == 1u ? 0 : 1;
              }),
              0);
}

namespace {

// Lines the store reports, for the time of a test.
class ReportedLines {
public:
    ReportedLines() {
        platform::SetRegistryStoreReporter([this](const std::string& line) {
            std::lock_guard<std::mutex> guard(mutex_);
            lines_.push_back(line);
        });
    }
    ~ReportedLines() { platform::SetRegistryStoreReporter(nullptr); }
    std::vector<std::string> Lines() {
        std::lock_guard<std::mutex> guard(mutex_);
        return lines_;
    }

private:
    std::mutex mutex_;
    std::vector<std::string> lines_;
};

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace

TEST_F(RegistryStoreTest, DamagedStoreIsMovedAsideKeptAndReplacedByAFreshOne) {
    platform::SetLocalTimeSource([] {
        platform::LocalTime t;
        t.year = 2026, t.month = 3, t.day = 4, t.hour = 5, t.minute = 6, t.second = 7;
        return t;
    });
    ReportedLines reports;
    // Not a database at all, then a database whose pages were overwritten.
    const std::string garbage(8192, 'x');
    {
        RegistryStore store(dbPath);
        for (int i = 0; i < 200; ++i)
            ASSERT_TRUE(store.SetString(kUser, "k" + std::to_string(i), "v", std::string(100, 'v')));
    }
    std::string torn = ReadAll(dbPath);
    ASSERT_GT(torn.size(), 3u * 4096u);
    std::fill(torn.begin() + 4096 + 16, torn.begin() + 2 * 4096, '\xff');
    const std::string base = dbPath + ".damaged-20260304-050607";
    const struct {
        std::string contents;
        std::string movedTo;
    } cases[] = {{garbage, base}, {torn, base + "-2"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.movedTo);
        std::ofstream(dbPath, std::ios::binary | std::ios::trunc) << c.contents;
        RegistryStore store(dbPath);
        ASSERT_TRUE(store.IsOpen()) << store.Problem();
        EXPECT_EQ(store.MovedAside(), c.movedTo);
        EXPECT_EQ(ReadAll(c.movedTo), c.contents) << "the damaged file is kept as it was";
        EXPECT_TRUE(store.ListSubkeys(kUser, "").empty());
        ASSERT_TRUE(store.SetString(kUser, "fresh", "v", "works"));
        EXPECT_EQ(store.GetString(kUser, "fresh", "v"), "works");
    }
    const auto lines = reports.Lines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_NE(lines[0].find("was damaged"), std::string::npos) << lines[0];
    EXPECT_NE(lines[0].find(base), std::string::npos) << lines[0];
    platform::SetLocalTimeSource({});
}

TEST(RegistryStoreForCurrentUser, StoreThatCannotOpenSaysWhyOnceAndIsTriedAgain) {
    TempFolder folder;
    ReportedLines reports;
    // A file stands where the store's folder should be made.
    const std::string blocker = folder.Path() + "blocker";
    std::ofstream(blocker) << "not a folder";
    ScopedEnv dir("KIVORA_REGISTRY_DIR", blocker + "/kivora/");
    for (int attempt = 0; attempt < 2; ++attempt) {
        auto store = RegistryStore::ForCurrentUser();
        EXPECT_FALSE(store->IsOpen());
        EXPECT_NE(store->Problem().find("cannot be made"), std::string::npos) << store->Problem();
        EXPECT_FALSE(store->SetNumber32(kUser, "k", "v", 1));
    }
    ASSERT_EQ(reports.Lines().size(), 1u) << "the same reason is told once";
    EXPECT_NE(reports.Lines()[0].find("cannot be opened"), std::string::npos);

    // Once the reason has passed, the next use opens it.
    std::remove(blocker.c_str());
    auto store = RegistryStore::ForCurrentUser();
    ASSERT_TRUE(store->IsOpen()) << store->Problem();
    EXPECT_TRUE(store->SetNumber32(kUser, "k", "v", 1));
    EXPECT_EQ(RegistryStore::ForCurrentUser(), store);
    ASSERT_EQ(reports.Lines().size(), 2u);
    EXPECT_NE(reports.Lines()[1].find("open again"), std::string::npos);
    EXPECT_FALSE(platform::TakeRegistryResetNotice()) << "nothing was reset";
}

TEST(RegistryStoreForCurrentUser, ResetOfTheUsersStoreIsNoticedOnceAndReportsWaitForAReceiver) {
    TempFolder folder;
    ScopedEnv dir("KIVORA_REGISTRY_DIR", folder.Path());
    std::ofstream(folder.Path() + "registry.sqlite") << "garbage";
    auto store = RegistryStore::ForCurrentUser();
    ASSERT_TRUE(store->IsOpen());
    const auto notice = platform::TakeRegistryResetNotice();
    ASSERT_TRUE(notice);
    EXPECT_EQ(*notice, store->MovedAside());
    EXPECT_FALSE(platform::TakeRegistryResetNotice());
    // Reported before anyone listened: handed over when a receiver comes.
    ReportedLines reports;
    ASSERT_FALSE(reports.Lines().empty());
    EXPECT_NE(reports.Lines().back().find(*notice), std::string::npos);
}
