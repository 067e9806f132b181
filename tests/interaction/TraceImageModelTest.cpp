#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "foundation/KeyDataList.h"
#include "interaction/TraceImageModel.h"

namespace {

TEST(TraceImageModel, KeyDataCarriesItsIdAndAddress) {
    TraceImageModel image("plans/ground.png");
    EXPECT_EQ(image.GetTypeMask(), TypeMask::kTraceImageModel);
    image.WriteKeyData();
    std::unique_ptr<KeyDataSublist> element(image.TakeWrittenElement());
    ASSERT_NE(element, nullptr);
    EXPECT_STREQ(element->GetName(), "TraceImageModel");

    TraceImageModel copy(nullptr);
    EXPECT_STREQ(copy.GetImageURL(), "");
    copy.ReadKeyData(*element->GetChildren());
    EXPECT_EQ(copy.GetObjectId(), image.GetObjectId());
    EXPECT_STREQ(copy.GetImageURL(), "plans/ground.png");

    // Values from outside that do not fit are ignored.
    KeyDataList hostile;
    hostile.AddString("transactionObjectId", "-5");
    hostile.AddString("TraceImageURL", std::string(TraceImageModel::kURLSize, 'u'));
    copy.ReadKeyData(hostile);
    EXPECT_EQ(copy.GetObjectId(), image.GetObjectId());
    EXPECT_STREQ(copy.GetImageURL(), "plans/ground.png");
    EXPECT_STREQ(TraceImageModel(std::string(300, 'u').c_str()).GetImageURL(), "");
}

}  // namespace
