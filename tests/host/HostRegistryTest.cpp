#include <gtest/gtest.h>

#include <string>

#include "host/HostFixture.h"
#include "host/HostRegistry.h"
#include "platform/RegistryStore.h"

namespace {

TEST(StoredTextTest, TextComesBackExceptWhereTheTransformLosesIt) {
    std::string printable;
    for (int c = 11; c <= 137; ++c) printable += static_cast<char>(c);
    EXPECT_EQ(DecodeStoredText(EncodeStoredText(printable)), printable);
    EXPECT_NE(EncodeStoredText("abc"), "abc");
    // A line feed becomes 0 and ends the stored text.
    EXPECT_EQ(DecodeStoredText(EncodeStoredText("ab\ncd")), "ab");
    // From 138 on the top bit is lost.
    const std::string high(1, static_cast<char>(200));
    EXPECT_EQ(DecodeStoredText(EncodeStoredText(high)),
              std::string(1, static_cast<char>(200 - 128)));
}

class PlanFileTypeTest : public HostWorld {};

TEST_F(PlanFileTypeTest, PlansOpenWithTheProgramInTheRegistryAndOnTheDesktop) {
    ASSERT_TRUE(RegisterPlanFileType(".kvp", "/opt/kivora/Kivora"));
    auto store = platform::RegistryStore::ForCurrentUser();
    using platform::RegistryRoot;
    EXPECT_EQ(store->GetString(RegistryRoot::Classes, ".kvp", ""), "Duzazododiza file");
    EXPECT_EQ(store->GetString(RegistryRoot::Classes, "Duzazododiza file\\Shell", ""), "Open");
    EXPECT_EQ(
        store->GetString(RegistryRoot::Classes, "Duzazododiza file\\Shell\\open\\command", ""),
        "/opt/kivora/Kivora %1");

    const std::string mime = ReadText(Root() + "data/mime/packages/kivora-plan.xml");
    EXPECT_NE(mime.find("type=\"application/x-kivora-plan\""), std::string::npos);
    EXPECT_NE(mime.find("pattern=\"*.kvp\""), std::string::npos);
    const std::string entry = ReadText(Root() + "data/applications/kivora-plan.desktop");
    EXPECT_NE(entry.find("Exec=\"/opt/kivora/Kivora\" %f\n"), std::string::npos);
    EXPECT_NE(entry.find("MimeType=application/x-kivora-plan;\n"), std::string::npos);

    EXPECT_FALSE(RegisterPlanFileType("kvp", "/opt/kivora/Kivora"));
    EXPECT_FALSE(RegisterPlanFileType(".kvp", ""));
}

}  // namespace
