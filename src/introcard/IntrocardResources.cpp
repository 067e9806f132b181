#include "introcard/IntrocardResources.h"

#include <cstddef>
#include <mutex>
#include <utility>

// The picture of the library, compiled in from Splash.bmp.
extern const unsigned char kSplashBitmap[];
extern const size_t kSplashBitmapSize;

namespace {

std::mutex sourceMutex;
BitmapSource& Source() {
    static BitmapSource* source = new BitmapSource;
    return *source;
}

}  // namespace

bool LoadBitmapResource(uint32_t id, platform::DecodedImage& image) {
    BitmapSource source;
    {
        std::lock_guard<std::mutex> guard(sourceMutex);
        source = Source();
    }
    if (source) return source(id, image);
    image = {};
    if (id != kSplashBitmapId) return false;
    return platform::DecodeImage(kSplashBitmap, kSplashBitmapSize, 3, image);
}

void SetBitmapSourceForTesting(BitmapSource source) {
    std::lock_guard<std::mutex> guard(sourceMutex);
    Source() = std::move(source);
}
