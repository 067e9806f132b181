#include <gtest/gtest.h>

#include "foundation/KeyDataList.h"
#include "render/Sky.h"
#include "support/TestControl.h"

namespace {

TEST(SkyTest, OnlyTheDomeWritesItsElementAndOnlyOnce) {
    TestControl control;
    EnvironmentObject dome(EnvironmentObject::kSkyDome);
    dome.WriteKeyData();
    KeyDataSublist* first = dome.TakeWrittenElement();
    ASSERT_NE(first, nullptr);
    EXPECT_STREQ(first->GetName(), "Dome");
    EXPECT_NE(first->GetChildren()->FindByName("URL"), nullptr);
    delete first;

    // While the object holds its element, a second save adds nothing.
    dome.WriteKeyData();
    dome.WriteKeyData();
    KeyDataSublist* held = dome.TakeWrittenElement();
    ASSERT_NE(held, nullptr);
    EXPECT_EQ(dome.TakeWrittenElement(), nullptr);
    delete held;

    EnvironmentObject other(7);
    other.WriteKeyData();
    EXPECT_EQ(other.TakeWrittenElement(), nullptr);
}

}  // namespace
