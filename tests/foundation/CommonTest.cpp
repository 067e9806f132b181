#include <gtest/gtest.h>

#include <string>

#include "foundation/Common.h"
#include "support/TempFolder.h"

namespace {

TEST(CommonTest, ServerAddressLosesOnlyALeadingSchemeAndOneTrailingSeparator) {
    const struct {
        const char* text;
        const char* host;
    } cases[] = {{"http://content.example.com/", "content.example.com"},
                 {"HTTP://content.example.com\\", "content.example.com"},
                 {"hTtP://host:8080/", "host:8080"},
                 {"host.example.com", "host.example.com"},
                 {"host//", "host/"},
                 {"www.http://host", "www.http://host"},  // not leading: kept
                 {"http://http://host", "http://host"}};
    for (const auto& c : cases) {
        std::string host;
        ASSERT_TRUE(NormalizeServerAddress(c.text, &host)) << c.text;
        EXPECT_EQ(host, c.host) << c.text;
    }
    std::string host = "unchanged";
    for (const char* refused : {static_cast<const char*>(nullptr), "", "http://", "/"})
        EXPECT_FALSE(NormalizeServerAddress(refused, &host)) << (refused ? refused : "(null)");
    EXPECT_FALSE(NormalizeServerAddress(std::string(300, 'h').c_str(), &host));
    EXPECT_EQ(host, "unchanged");
}

TEST(CommonTest, ScrambleCredentialHalvesEachByteAndAddsTen) {
    EXPECT_EQ(ScrambleCredential("abc"), ":;;");
    EXPECT_EQ(ScrambleCredential(""), "");
    EXPECT_EQ(ScrambleCredential(nullptr), "");
    const std::string high = ScrambleCredential("\xff\x01");
    ASSERT_EQ(high.size(), 2u);
    EXPECT_EQ(static_cast<unsigned char>(high[0]), 137);
    EXPECT_EQ(static_cast<unsigned char>(high[1]), 10);
}

TEST(CommonTest, QueryValuesArePercentEncoded) {
    EXPECT_EQ(EncodeQueryValue("Az09-._~"), "Az09-._~");
    EXPECT_EQ(EncodeQueryValue("a b&c=d/e?f#g+h%"), "a%20b%26c%3Dd%2Fe%3Ff%23g%2Bh%25");
    EXPECT_EQ(EncodeQueryValue("\xc3\xa9:;"), "%C3%A9%3A%3B");
    EXPECT_EQ(EncodeQueryValue(nullptr), "");
}

TEST(CommonTest, ProgramFolderIsUnderTheProgramFilesFolder) {
    {
        ScopedEnv own("KIVORA_PROGRAM_FILES", "/opt/programs/");
        EXPECT_EQ(GetProgramFolder(), "/opt/programs/Kivora/Duzazododiza");
    }
    ScopedEnv own("KIVORA_PROGRAM_FILES", "");
    ScopedEnv data("XDG_DATA_HOME", "/data");
    EXPECT_EQ(GetProgramFolder(), "/data/Kivora/Duzazododiza");
    ScopedEnv noData("XDG_DATA_HOME", "");
    ScopedEnv noHome("HOME", "");
    EXPECT_EQ(GetProgramFolder(), "");
}

TEST(CommonTest, ServerAddressIsStoredBare) {
    ScopedRegistry registry;
    EXPECT_EQ(GetServerAddress(), "");
    EXPECT_TRUE(SetServerAddress("http://content.example.com/"));
    EXPECT_EQ(GetServerAddress(), "content.example.com");
    EXPECT_TRUE(SetServerAddress("HTTP://localhost:8080\\"));
    EXPECT_EQ(GetServerAddress(), "localhost:8080");
    EXPECT_FALSE(SetServerAddress(""));
    EXPECT_FALSE(SetServerAddress(nullptr));
    EXPECT_EQ(GetServerAddress(), "localhost:8080");
}

TEST(CommonTest, ServerAddressReportsAFailedWrite) {
    ScopedEnv unusable("KIVORA_REGISTRY_DIR", "/dev/null/registry");
    EXPECT_FALSE(SetServerAddress("content.example.com"));
}

}  // namespace
