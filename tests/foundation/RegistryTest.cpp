#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "foundation/Registry.h"
#include "foundation/Trace.h"
#include "platform/RegistryStore.h"
#include "support/TempFolder.h"

using platform::RegistryRoot;
using platform::RegistryStore;
using platform::RegistryType;

namespace {

constexpr auto kUser = RegistryRoot::CurrentUser;

class RegistryTest : public ::testing::Test {
protected:
    ScopedRegistry registry;
    std::shared_ptr<RegistryStore> store = RegistryStore::ForCurrentUser();
};

}  // namespace

TEST_F(RegistryTest, DoublesAreEightRawBytesUnderTheProductKey) {
    ASSERT_TRUE(RegistrySetDouble("defaults\\wall\\", "doubles5", -96.25));
    const auto raw = store->GetValue(kUser, "Software\\Kivora\\defaults\\wall", "doubles5");
    ASSERT_TRUE(raw);
    EXPECT_EQ(raw->type, RegistryType::Binary);
    ASSERT_EQ(raw->data.size(), 8u);
    double fromBytes = 0;
    std::memcpy(&fromBytes, raw->data.data(), 8);
    EXPECT_EQ(fromBytes, -96.25);

    double value = 5;
    EXPECT_TRUE(RegistryGetDouble("DEFAULTS\\Wall\\", "Doubles5", &value));
    EXPECT_EQ(value, -96.25);
}

TEST_F(RegistryTest, MissingOrMisSizedNumbersReadAsAbsentZero) {
    const unsigned char four[4] = {1, 2, 3, 4};
    const unsigned char twelve[12] = {};
    ASSERT_TRUE(store->SetValue(kUser, "Software\\Kivora", "short", RegistryType::Binary, four, 4));
    ASSERT_TRUE(
        store->SetValue(kUser, "Software\\Kivora", "long", RegistryType::Binary, twelve, 12));
    for (const char* name : {"missing", "short", "long"}) {
        double value = 42;
        EXPECT_FALSE(RegistryGetDouble("", name, &value)) << name;
        EXPECT_EQ(value, 0.0) << name;
    }
    // Opening the key for a read leaves it behind, empty.
    double value = 1;
    EXPECT_FALSE(RegistryGetDouble("fresh\\", "x", &value));
    EXPECT_TRUE(store->KeyExists(kUser, "Software\\Kivora\\fresh"));
}

TEST_F(RegistryTest, StringsAreStoredWithoutTerminatorAndEmptyTextIsNotWritten) {
    ASSERT_TRUE(RegistrySetString("oglSettings\\", "renderer", "Mesa"));
    const auto raw = store->GetValue(kUser, "Software\\Kivora\\oglSettings", "renderer");
    ASSERT_TRUE(raw);
    EXPECT_EQ(raw->type, RegistryType::String);
    EXPECT_EQ(raw->data.size(), 4u);

    char buffer[16] = "default";
    EXPECT_FALSE(RegistrySetString("oglSettings\\", "empty", ""));
    EXPECT_FALSE(RegistrySetString("oglSettings\\", "null", nullptr));
    EXPECT_FALSE(RegistryGetString("oglSettings\\", "empty", buffer, sizeof buffer));
    EXPECT_STREQ(buffer, "default") << "a missing text leaves the buffer alone";

    std::memset(buffer, 'x', sizeof buffer);
    ASSERT_TRUE(RegistryGetString("OGLSETTINGS\\", "RENDERER", buffer, sizeof buffer));
    EXPECT_STREQ(buffer, "Mesa");
}

TEST_F(RegistryTest, ReadTextIsBoundedByTheBufferAndTheTextLimit) {
    const std::string stored(400, 'q');
    ASSERT_TRUE(store->SetString(kUser, "Software\\Kivora", "big", stored));
    char small[8];
    std::memset(small, 'x', sizeof small);
    ASSERT_TRUE(RegistryGetString("", "big", small, sizeof small));
    EXPECT_EQ(std::string(small), std::string(7, 'q'));

    char large[512];
    ASSERT_TRUE(RegistryGetString("", "big", large, sizeof large));
    EXPECT_EQ(std::strlen(large), 259u);

    // Over-long text is cut at 259 characters when written.
    ASSERT_TRUE(RegistrySetString("", "written", stored.c_str()));
    EXPECT_EQ(store->GetValue(kUser, "Software\\Kivora", "written")->data.size(), 259u);
}

TEST_F(RegistryTest, OverlongKeyPathIsRefusedNotCut) {
    // "Software\Kivora\" is 16 characters; 243 more reach the 259 limit.
    const std::string fits(243, 'a');
    const std::string tooLong(244, 'a');
    EXPECT_TRUE(RegistrySetDouble(fits.c_str(), "v", 1.0));
    EXPECT_FALSE(RegistrySetDouble(tooLong.c_str(), "v", 2.0));
    EXPECT_FALSE(RegistrySetString(tooLong.c_str(), "s", "text"));
    double value = 0;
    ASSERT_TRUE(RegistryGetDouble(fits.c_str(), "v", &value));
    EXPECT_EQ(value, 1.0) << "the longer path must not land on the key it would be cut to";
    EXPECT_FALSE(RegistryDeleteKey(tooLong.c_str()));
}

TEST_F(RegistryTest, DeleteKeyRemovesEveryDefaultsKeyBeneath) {
    ASSERT_TRUE(RegistrySetDouble("defaults\\wall\\", "doubles0", 1));
    ASSERT_TRUE(RegistrySetDouble("defaults\\floor\\", "doubles0", 2));
    ASSERT_TRUE(RegistrySetString("defaults\\", "version", "3"));
    ASSERT_TRUE(RegistrySetDouble("", "Session open", 1));

    EXPECT_TRUE(RegistryDeleteKey("Defaults\\"));
    double value = 7;
    EXPECT_FALSE(RegistryGetDouble("defaults\\wall\\", "doubles0", &value));
    EXPECT_FALSE(store->KeyExists(kUser, "Software\\Kivora\\defaults\\floor"));
    EXPECT_TRUE(RegistryGetDouble("", "Session open", &value));
    EXPECT_EQ(value, 1.0);
}

TEST_F(RegistryTest, UserIdDefaultsToZeroWithAPostcondition) {
    FILE* log = std::tmpfile();
    ASSERT_NE(log, nullptr);
    SetTraceWriteFile(log);
    EXPECT_EQ(GetUserID(), "0");
    SetTraceWriteFile(nullptr);
    std::rewind(log);
    char text[512] = {};
    const size_t n = std::fread(text, 1, sizeof text - 1, log);
    std::fclose(log);
    EXPECT_NE(std::string(text, n).find("Postcondition Failed"), std::string::npos);
    EXPECT_NE(std::string(text, n).find("UserID doesn't exist in registry"), std::string::npos);

    ASSERT_TRUE(SetUserID("u-1234"));
    EXPECT_EQ(GetUserID(), "u-1234");
    EXPECT_EQ(store->GetString(kUser, "software\\kivora", "uid"), "u-1234");
    ASSERT_TRUE(SetUserID(std::string(100, '9').c_str()));
    EXPECT_EQ(GetUserID(), std::string(63, '9'));
}

TEST_F(RegistryTest, ValuesWrittenByAnotherProcessAreReadHere) {
    double before = 0;
    RegistryGetDouble("", "fromChild", &before);  // the parent's store is open first
    const pid_t pid = fork();
    if (pid == 0) {
        const bool ok = RegistrySetDouble("", "fromChild", 3.5) &&
                        RegistrySetString("hosts\\", "address", "content.example") &&
                        SetUserID("child-user");
        _exit(ok ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_EQ(WEXITSTATUS(status), 0);

    double value = 0;
    ASSERT_TRUE(RegistryGetDouble("", "FROMCHILD", &value));
    EXPECT_EQ(value, 3.5);
    char address[64] = {};
    ASSERT_TRUE(RegistryGetString("Hosts\\", "Address", address, sizeof address));
    EXPECT_STREQ(address, "content.example");
    EXPECT_EQ(GetUserID(), "child-user");
}
