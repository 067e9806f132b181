#include <gtest/gtest.h>

#include <string>

#include "interaction/BitmapDropCommand.h"
#include "interaction/TraceImageModel.h"
#include "support/RunningControl.h"

namespace {

TEST(BitmapDropCommandTest, PicturesAreFetchedFromTheirPagesOrFiles) {
    struct Case {
        const char* page;
        const char* image;
        const char* url;
    } cases[] = {
        // A source from the root keeps the base's '/': the slash stands twice.
        {"http://h/dir/page.aspx", "/pics/Plan.JPG", "http://h//pics/plan.jpg"},
        {"http://h/dir/page.aspx", "pics/plan.jpg", "http://h/dir/pics/plan.jpg"},
        {"https://h:8080/a/b/c.htm", "/x.png", "https://h:8080//x.png"},
        {"http://host", "x.png", "http://host/x.png"},
        {"http://host", "/x.png", "http://host//x.png"},
        {"page", "x.png", "page/x.png"},
        {"http://h/dir/page.aspx", "HTTP://Other/x.png", "http://other/x.png"},
        {nullptr, "/home/u/Plan.png", "file:///home/u/Plan.png"},
        {"", "/home/u/plan.png", "file:///home/u/plan.png"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(BitmapDropCommand(c.page, c.image).ImageURL(), c.url) << c.image;
}

TEST(BitmapDropCommandTest, APictureDroppedWhereNothingIsBecomesTheTraceImage) {
    RunningControl running;
    BitmapDropCommand command(nullptr, "/plans/ground.png");
    command.ApplyToHits({});
    ASSERT_NE(running.window.traceImage, nullptr);
    EXPECT_STREQ(running.window.traceImage->GetImageURL(), "file:///plans/ground.png");
    running.window.DeleteTraceImage();
}

}  // namespace
