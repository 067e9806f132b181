#pragma once

#include <GL/gl.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "foundation/DownloadableObject.h"
#include "foundation/LinkedList.h"

// Pixel work that turns a decoded picture into texels for OpenGL, on plain buffers.
// Pictures are three bytes per pixel (RGB) unless said otherwise.

// Largest picture side taken in; anything larger is refused before it is resampled.
constexpr uint32_t kMaxPictureSide = 16384;
// Largest texture side made by resampling.
constexpr uint32_t kMaxTextureSide = 1024;

// How a picture becomes a square power-of-two texture.
struct TextureLayout {
    // Side of the square texture; 0 when the picture is refused (empty or too large).
    uint32_t size = 0;
    // Every step-th texel of every step-th row is taken (1: the picture is repeated).
    uint32_t step = 1;
    // False when the picture is used as it is (square, power of two, at most 2048).
    bool resample = false;
};

// A square picture whose side is a power of two up to 2048 is used as it is. Any other
// gets the power of two above its larger side (256 x 128 gives 512, 300 x 300 gives
// 512); past 1024 every step-th texel is taken so that the texture stays 1024.
TextureLayout ComputeTextureLayout(uint32_t width, uint32_t height);

// Resamples a picture of width x height pixels, `pixelBytes` bytes each, whose rows are
// `stride` bytes apart (padding at their ends skipped), into size x size. With step 1
// the picture repeats: texel (r, c) = pixel (r mod height, c mod width). With a larger
// step every step-th pixel of every step-th row is packed from the first texel; the
// rest of the texture is black. Answers the texels, or an empty buffer when the source
// is shorter than its layout says or an argument is 0.
std::vector<uint8_t> ResamplePixels(const uint8_t* source, size_t sourceBytes, uint32_t width,
                                    uint32_t height, size_t stride, uint32_t pixelBytes,
                                    uint32_t size, uint32_t step);

// Scales a picture to another size by taking the nearest pixel (no filtering).
std::vector<uint8_t> ScalePixelsNearest(const uint8_t* source, uint32_t width, uint32_t height,
                                        uint32_t pixelBytes, uint32_t newWidth, uint32_t newHeight);

// Four bytes per pixel from rows x cols RGB pixels. Alpha is the first byte of each
// pixel of `alphaSource` (three bytes per pixel, the same rows x cols) when given; else
// the colour key: 0 where all three components are 227 or more, 255 elsewhere.
std::vector<uint8_t> AddAlphaChannel(const uint8_t* rgb, uint32_t rows, uint32_t cols,
                                     const uint8_t* alphaSource);

// Paints the outermost ring of a square of side x side texels black, leaving alpha.
void ClearTexelBorder(uint8_t* texels, uint32_t side, uint32_t pixelBytes);

// The radial fall-off light texture, RGB, size x size. A size of 0 means 256 and an inner
// radius of 0 means 70; the size is kept within 2..1024 and the inner radius below half
// the size, so the intensity runs from 0.6 inside the inner radius down to 0 at the
// edge. Colour components are taken within 0..1. `size` and `innerRadius` answer what
// was used.
std::vector<uint8_t> MakeFalloffTexels(int& size, int& innerRadius, const float colour[3]);

// One image made ready for OpenGL: fetched from a URL, taken from the cache or from a
// bitmap resource, decoded (PNG by our own reader, JPEG, GIF and BMP by the platform's
// decoder, told apart by the file's first bytes), made square and a power of two, given
// an alpha channel when asked, and uploaded as a texture; or, when it is not a texture,
// kept as RGBA pixels for direct drawing.
//
// Texture bitmaps live in the control's TextureList and are shared by URL; materials
// only point at them. Decoding runs on the download thread; every OpenGL call runs under
// the render lock with the main context made current.
class Bitmap : public DownloadableObject, public LinkedListObject {
public:
    static constexpr size_t kPathSize = 260;

    explicit Bitmap(uint8_t hasAlpha = 0, uint8_t makeTexture = 1);
    // Waits for a download still running, then deletes the texture under the render lock.
    ~Bitmap() override;

    // Starts the background download of `url` (the alpha image, when one is named, is
    // loaded first, synchronously).
    void LoadAsync(const char* url, bool mipmaps);
    // The same, downloading on the calling thread; true when the image was made.
    bool LoadNow(const char* url, bool mipmaps);
    // Takes the image from a file already cached for `url`, without downloading. The
    // alpha image comes from cachedAlphaPath when set, else from alphaURL.
    bool LoadFromCache(const char* cachedPath, const char* url, bool mipmaps);
    // Takes the image from the bitmap resource `id` (see SetBitmapResources).
    bool LoadFromResource(uint32_t id);

    // Decodes the arrived file and makes the texture or the kept pixels: 0, or -2 on
    // failure (the bitmap then draws untextured).
    int OnDownloadComplete() override;

    // Makes the texture current for drawing (blending on when it has alpha), or draws
    // the kept pixels at the raster position, or turns texturing off.
    void Bind();
    // A 1 x 1 normal pointing straight out (128, 128, 255).
    bool CreateDefaultNormalMap();
    // The radial fall-off of lights (see MakeFalloffTexels for the arguments).
    bool CreateFalloffTexture(int size, int innerRadius, const float colour[3]);

    // The address the bitmap stands for, before it loads (an over-long one is refused).
    bool SetURL(const char* text);
    // The alpha image named with the colour image; an over-long text is refused.
    bool SetAlphaURL(const char* text);
    bool SetCachedAlphaPath(const char* text);
    const char* GetAlphaURL() const { return alphaURL; }
    const char* GetCachedAlphaPath() const { return cachedAlphaPath; }
    GLuint GetTextureId() const { return textureId; }
    bool HasPixels() const { return !pixels.empty(); }
    const std::vector<uint8_t>& GetPixels() const { return pixels; }

    // Who makes a context current for texture work on any thread. Unset, the control's
    // main view window is activated (or, without one, the thread's current context used).
    static void SetContextActivator(std::function<void()> activate);

    uint8_t mipmaps = 1;
    uint8_t allowCompression = 1;
    uint8_t clearBorder = 0;
    uint32_t rows = 0;
    uint32_t cols = 0;
    uint32_t textureSize = 0;
    double texCoordScaleS = -1.0;
    double texCoordScaleT = -1.0;
    uint8_t isPNG = 0;
    uint8_t isAlphaMap = 0;
    uint8_t alphaFromSameFile = 0;
    uint8_t hasAlpha = 0;
    uint8_t makeTexture = 1;

private:
    // Decodes an image file's bytes into `picture` (RGB, rows bottom-up).
    bool Decode(const uint8_t* data, size_t size);
    bool DecodeFile(const char* path);
    // Makes the alpha bitmap from the cached alpha path or the alpha URL, synchronously;
    // nothing when there is none or it was made already.
    void LoadAlphaBitmap();
    // Under the render lock: the texture or the kept pixels from the decoded picture.
    bool Realise();
    bool CreateTexture();
    // The alpha source for the picture, three bytes per pixel, at the picture's size.
    std::vector<uint8_t> AlphaForPicture();
    void UploadTexels(const uint8_t* texels, uint32_t side, bool rgba);
    void DeleteTexture();
    // Counts the finished download and hides its progress.
    void FinishLoad();

    GLuint textureId = 0;
    // The decoded picture while loading: RGB, rows bottom-up, back to back.
    std::vector<uint8_t> picture;
    uint32_t pictureWidth = 0;
    uint32_t pictureHeight = 0;
    // Kept pixels of a bitmap that is not a texture, RGBA.
    std::vector<uint8_t> pixels;
    // A PNG's alpha channel, three equal bytes per pixel.
    std::vector<uint8_t> pngAlpha;
    char alphaURL[kPathSize] = {};
    char cachedAlphaPath[kPathSize] = {};
    std::unique_ptr<Bitmap> alphaBitmap;
};

// An image file's bytes kept in the program, found by number.
struct BitmapResource {
    uint32_t id;
    const uint8_t* data;
    size_t size;
};
// The table LoadFromResource looks in (the caller keeps it alive); null clears it.
void SetBitmapResources(const BitmapResource* table, size_t count);

// The process-wide default normal map that materials without a bump map use; set by the
// control once it has made it.
Bitmap* DefaultNormalMap();
void SetDefaultNormalMap(Bitmap* bitmap);
