#pragma once

#include <cstddef>

// A scanned or drawn plan shown under the design so that walls can be drawn over it. A
// view window holds at most one.
class TraceImageModel {
public:
    static constexpr size_t kURLSize = 260;

    // The image at `url` (cut to kURLSize - 1 characters; null counts as empty).
    explicit TraceImageModel(const char* url);
    virtual ~TraceImageModel() = default;
    TraceImageModel(const TraceImageModel&) = delete;
    TraceImageModel& operator=(const TraceImageModel&) = delete;

    const char* GetImageURL() const { return imageURL; }

private:
    char imageURL[kURLSize] = {};
};
