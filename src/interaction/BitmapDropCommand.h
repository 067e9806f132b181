#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "interaction/BaseCommandHandler.h"

// Turns a dropped picture (an image of a web page, or an image file) into the texture of
// the part it is dropped on, into a spotlight's projected picture, or, dropped where
// nothing is, into the view's trace image.
class BitmapDropCommand : public BaseCommandHandler {
public:
    static constexpr uint32_t kBeginPrompt = 287;

    // `pageURL` is the page the image came from (null or empty for a dropped file);
    // `image` the image's source on that page, or the file's path.
    BitmapDropCommand(const char* pageURL, const char* image);

    void Begin(uint32_t keyState, platform::ScreenPoint point, uint32_t* effect) override;
    void DragOver(uint32_t, platform::ScreenPoint, uint32_t*) override {}
    void Cancel() override {}
    void Drop(uint32_t keyState, platform::ScreenPoint point, uint32_t* effect) override;

    // The work of Drop on the objects of a pick (empty where nothing was hit); the caller
    // holds the render lock.
    void ApplyToHits(const std::vector<PickableObject*>& hits);

    // The address the picture is fetched from.
    std::string ImageURL() const;
    const std::string& GetBaseURL() const { return baseURL_; }

private:
    std::string image_;
    std::string pageURL_;
    std::string baseURL_;
};
