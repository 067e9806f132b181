#include "render/Bitmap.h"

#include <GL/glext.h>
#include <GL/glu.h>
#include <GL/osmesa.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>

#include "control/BaseControl.h"
#include "foundation/Trace.h"
#include "platform/Files.h"
#include "platform/ImageDecoder.h"
#include "render/OpenGL.h"
#include "render/PNGparse.h"
#include "render/Window.h"

namespace {

bool IsPowerOfTwo(uint32_t n) {
    return n != 0 && (n & (n - 1)) == 0;
}

// floor(log2(n)) for n > 0.
uint32_t FloorLog2(uint32_t n) {
    uint32_t log = 0;
    while (n >>= 1) ++log;
    return log;
}

}  // namespace

TextureLayout ComputeTextureLayout(uint32_t width, uint32_t height) {
    TextureLayout layout;
    if (width == 0 || height == 0 || width > kMaxPictureSide || height > kMaxPictureSide) {
        layout.size = 0;
        return layout;
    }
    if (width == height && IsPowerOfTwo(width) && width <= 2048) {
        layout.size = width;
        return layout;
    }
    layout.resample = true;
    layout.size = 1u << (FloorLog2(std::max(width, height)) + 1);
    if (layout.size > kMaxTextureSide) {
        layout.step = layout.size >> 10;
        layout.size = kMaxTextureSide;
    }
    return layout;
}

std::vector<uint8_t> ResamplePixels(const uint8_t* source, size_t sourceBytes, uint32_t width,
                                    uint32_t height, size_t stride, uint32_t pixelBytes,
                                    uint32_t size, uint32_t step) {
    if (!source || width == 0 || height == 0 || pixelBytes == 0 || size == 0 || step == 0)
        return {};
    if (stride < size_t(width) * pixelBytes) return {};
    // The last row need not carry its padding.
    const size_t needed = stride * (height - 1) + size_t(width) * pixelBytes;
    if (sourceBytes < needed) return {};

    std::vector<uint8_t> texels(size_t(size) * size * pixelBytes, 0);
    if (step == 1) {
        for (uint32_t r = 0; r < size; ++r) {
            const uint8_t* row = source + stride * (r % height);
            uint8_t* out = texels.data() + size_t(r) * size * pixelBytes;
            for (uint32_t c = 0; c < size; ++c)
                std::copy_n(row + size_t(c % width) * pixelBytes, pixelBytes,
                            out + size_t(c) * pixelBytes);
        }
        return texels;
    }
    const uint32_t rows = std::min(height / step, size);
    const uint32_t cols = std::min(width / step, size);
    for (uint32_t r = 0; r < rows; ++r) {
        const uint8_t* row = source + stride * (size_t(r) * step);
        uint8_t* out = texels.data() + size_t(r) * size * pixelBytes;
        for (uint32_t c = 0; c < cols; ++c)
            std::copy_n(row + size_t(c) * step * pixelBytes, pixelBytes,
                        out + size_t(c) * pixelBytes);
    }
    return texels;
}

std::vector<uint8_t> ScalePixelsNearest(const uint8_t* source, uint32_t width, uint32_t height,
                                        uint32_t pixelBytes, uint32_t newWidth,
                                        uint32_t newHeight) {
    if (!source || width == 0 || height == 0 || newWidth == 0 || newHeight == 0) return {};
    std::vector<uint8_t> out(size_t(newWidth) * newHeight * pixelBytes);
    for (uint32_t r = 0; r < newHeight; ++r) {
        const uint32_t sr = uint32_t(uint64_t(r) * height / newHeight);
        for (uint32_t c = 0; c < newWidth; ++c) {
            const uint32_t sc = uint32_t(uint64_t(c) * width / newWidth);
            std::copy_n(source + (size_t(sr) * width + sc) * pixelBytes, pixelBytes,
                        out.data() + (size_t(r) * newWidth + c) * pixelBytes);
        }
    }
    return out;
}

std::vector<uint8_t> AddAlphaChannel(const uint8_t* rgb, uint32_t rows, uint32_t cols,
                                     const uint8_t* alphaSource) {
    if (!rgb) return {};
    const size_t count = size_t(rows) * cols;
    std::vector<uint8_t> out(count * 4);
    for (size_t i = 0; i < count; ++i) {
        const uint8_t* in = rgb + i * 3;
        uint8_t* px = out.data() + i * 4;
        px[0] = in[0];
        px[1] = in[1];
        px[2] = in[2];
        if (alphaSource)
            px[3] = alphaSource[i * 3];
        else
            px[3] = (in[0] >= 227 && in[1] >= 227 && in[2] >= 227) ? 0 : 255;
    }
    return out;
}

void ClearTexelBorder(uint8_t* texels, uint32_t side, uint32_t pixelBytes) {
    if (!texels || side == 0 || pixelBytes < 3) return;
    auto clear = [&](uint32_t r, uint32_t c) {
        uint8_t* px = texels + (size_t(r) * side + c) * pixelBytes;
        px[0] = px[1] = px[2] = 0;
    };
    for (uint32_t i = 0; i < side; ++i) {
        clear(0, i);
        clear(side - 1, i);
        clear(i, 0);
        clear(i, side - 1);
    }
}

std::vector<uint8_t> MakeFalloffTexels(int& size, int& innerRadius, const float colour[3]) {
    if (size == 0) size = 256;
    if (innerRadius == 0) innerRadius = 70;
    size = std::clamp(size, 2, int(kMaxTextureSide));
    const int half = size / 2;
    // An inner radius at or past the edge would divide by zero or turn the ramp over.
    innerRadius = std::clamp(innerRadius, 0, half - 1);

    float rgb[3];
    for (int k = 0; k < 3; ++k) rgb[k] = std::clamp(colour ? colour[k] : 1.0f, 0.0f, 1.0f);

    std::vector<uint8_t> texels(size_t(size) * size * 3);
    for (int i = 0; i < size; ++i) {
        for (int j = 0; j < size; ++j) {
            double d = std::hypot(double(i - half), double(j - half));
            d = std::min(d, double(half));
            const double intensity =
                d < innerRadius ? 0.6 : 0.6 * (half - d) / double(half - innerRadius);
            uint8_t* px = texels.data() + (size_t(i) * size + j) * 3;
            for (int k = 0; k < 3; ++k) px[k] = uint8_t(rgb[k] * 255.0 * intensity);
        }
    }
    return texels;
}

// ---------------------------------------------------------------------------------------
// Bitmap

namespace {

// Largest image file read.
constexpr long kMaxImageFileBytes = 256L << 20;

std::mutex activatorMutex;
std::function<void()> contextActivator;

std::atomic<const BitmapResource*> resourceTable{nullptr};
std::atomic<size_t> resourceCount{0};
std::atomic<Bitmap*> defaultNormalMap{nullptr};

// Takes the render lock of the control when there is one, and the main context.
class TextureWork {
public:
    TextureWork() : control(theControl()) {
        if (control) control->LockRender();
        std::function<void()> activate;
        {
            std::lock_guard<std::mutex> guard(activatorMutex);
            activate = contextActivator;
        }
        if (activate)
            activate();
        else if (control && control->mainWindow)
            control->mainWindow->Activate();
    }
    ~TextureWork() {
        if (control) control->UnlockRender();
    }
    TextureWork(const TextureWork&) = delete;
    TextureWork& operator=(const TextureWork&) = delete;

    // Whether OpenGL can be called on this thread now.
    static bool HaveContext() { return OSMesaGetCurrentContext() != nullptr; }

private:
    BaseControl* control;
};

bool CopyBounded(char* target, size_t size, const char* text, const char* what) {
    if (!text) text = "";
    if (std::strlen(text) >= size) {
        TraceWrite(what);
        return false;
    }
    std::snprintf(target, size, "%s", text);
    return true;
}

bool ReadWholeFile(const char* path, std::vector<uint8_t>& bytes) {
    return platform::ReadFileBytes(path, static_cast<size_t>(kMaxImageFileBytes), bytes);
}

void FlipRowsInPlace(std::vector<uint8_t>& bytes, size_t rowBytes, uint32_t height) {
    for (uint32_t r = 0; r < height / 2; ++r)
        std::swap_ranges(bytes.begin() + r * rowBytes, bytes.begin() + (r + 1) * rowBytes,
                         bytes.begin() + (height - 1 - r) * rowBytes);
}

}  // namespace

void SetBitmapResources(const BitmapResource* table, size_t count) {
    resourceCount.store(table ? count : 0);
    resourceTable.store(table);
}

Bitmap* DefaultNormalMap() {
    return defaultNormalMap.load();
}

void SetDefaultNormalMap(Bitmap* bitmap) {
    defaultNormalMap.store(bitmap);
}

void Bitmap::SetContextActivator(std::function<void()> activate) {
    std::lock_guard<std::mutex> guard(activatorMutex);
    contextActivator = std::move(activate);
}

Bitmap::Bitmap(uint8_t withAlpha, uint8_t asTexture)
    : hasAlpha(withAlpha), makeTexture(asTexture) {}

Bitmap::~Bitmap() {
    theTrace().Write("~BM");
    // A download still running works on this object: it ends first.
    CancelDownload();
    if (textureId) {
        DeleteTexture();
    } else {
        pixels.clear();
    }
    pngAlpha.clear();
    theTrace().Write("~BM2");
}

void Bitmap::DeleteTexture() {
    TextureWork work;
    if (!TextureWork::HaveContext()) {
        TraceWrite("Texture not deleted: no OpenGL context");
        return;
    }
    glDeleteTextures(1, &textureId);
    textureId = 0;
    theTrace().Write("Texture deletion");
}

bool Bitmap::SetURL(const char* text) {
    return CopyBounded(url, sizeof url, text, "bitmap URL too long");
}

bool Bitmap::SetAlphaURL(const char* text) {
    return CopyBounded(alphaURL, sizeof alphaURL, text, "alpha URL too long");
}

bool Bitmap::SetCachedAlphaPath(const char* text) {
    return CopyBounded(cachedAlphaPath, sizeof cachedAlphaPath, text, "alpha path too long");
}

void Bitmap::LoadAlphaBitmap() {
    if (!hasAlpha || alphaBitmap) return;
    if (cachedAlphaPath[0]) {
        alphaBitmap = std::make_unique<Bitmap>(0, 0);
        alphaBitmap->isAlphaMap = 1;
        alphaBitmap->LoadFromCache(cachedAlphaPath, alphaURL, false);
    } else if (alphaURL[0]) {
        alphaBitmap = std::make_unique<Bitmap>(0, 0);
        alphaBitmap->isAlphaMap = 1;
        alphaBitmap->DownloadNow(alphaURL);
    }
}

void Bitmap::LoadAsync(const char* address, bool withMipmaps) {
    theTrace().Write("LB");
    mipmaps = withMipmaps;
    if (hasAlpha && alphaURL[0]) {
        theTrace().Write("lab");
        LoadAlphaBitmap();
    }
    theTrace().Write("1");
    StartDownload(address);
    theTrace().Write("LBe");
    theTrace().Write(address ? address : "");
}

bool Bitmap::LoadNow(const char* address, bool withMipmaps) {
    mipmaps = withMipmaps;
    if (hasAlpha && alphaURL[0]) LoadAlphaBitmap();
    return DownloadNow(address) && (textureId != 0 || !pixels.empty() || isAlphaMap);
}

bool Bitmap::LoadFromCache(const char* cachedPath, const char* address, bool withMipmaps) {
    mipmaps = withMipmaps;
    if (!CopyBounded(cacheFile, sizeof cacheFile, cachedPath, "cached path too long") ||
        !SetURL(address))
        return false;
    LoadAlphaBitmap();
    return OnDownloadComplete() == 0;
}

bool Bitmap::Decode(const uint8_t* data, size_t size) {
    picture.clear();
    pngAlpha.clear();
    pictureWidth = pictureHeight = 0;
    // The decoder follows the file's signature, not its name: addresses keep their case.
    const platform::ImageFormat format = platform::DetectImageFormat(data, size);
    if (format == platform::ImageFormat::Png) {
        isPNG = 1;
        PNGparse png;
        if (png.OpenFromMemory(data, size) != 0) return false;
        png.FlipRows();
        const bool imageAlpha = png.HasAlpha();
        if (makeTexture && imageAlpha && !isAlphaMap && hasAlpha) pngAlpha = png.ExtractAlpha();
        if ((isAlphaMap || (makeTexture && hasAlpha)) && imageAlpha && alphaFromSameFile) {
            picture = png.ExtractAlpha();
        } else {
            if (png.ConvertToRGB(false) != 0) return false;
            picture = png.TakePixels();
        }
        pictureWidth = png.Width();
        pictureHeight = png.Height();
    } else {
        isPNG = 0;
        platform::DecodedImage image;
        std::string error;
        if (!platform::DecodeImage(data, size, 3, image, &error)) {
            TraceWrite(("Image not decoded: " + error).c_str());
            return false;
        }
        pictureWidth = uint32_t(image.width);
        pictureHeight = uint32_t(image.height);
        picture = std::move(image.pixels);
        FlipRowsInPlace(picture, size_t(pictureWidth) * 3, pictureHeight);
    }
    if (ComputeTextureLayout(pictureWidth, pictureHeight).size == 0 ||
        picture.size() != size_t(pictureWidth) * pictureHeight * 3) {
        TraceWrite("Image refused: empty or too large");
        picture.clear();
        pngAlpha.clear();
        return false;
    }
    if (!pngAlpha.empty() && pngAlpha.size() != picture.size()) pngAlpha.clear();
    return true;
}

bool Bitmap::DecodeFile(const char* path) {
    std::vector<uint8_t> bytes;
    if (!ReadWholeFile(path, bytes)) return false;
    return Decode(bytes.data(), bytes.size());
}

void Bitmap::FinishLoad() {
    if (BaseControl* control = theControl()) {
        control->globalState.SetInteger(11, control->globalState.GetInteger(11) + 1);
        control->ShowMainProgress(false, ProgressOwnerId());
    }
}

int Bitmap::OnDownloadComplete() {
    theTrace().Write("Begin ADP");
    const bool decoded = DecodeFile(GetCacheFile());
    FinishLoad();
    if (!decoded) {
        theTrace().Write("End ADP failure");
        return -2;
    }
    // An alpha image only lends its pixels to its owner.
    if (isAlphaMap) {
        theTrace().Write("End ADP success");
        return 0;
    }
    theTrace().Write("a");
    const bool made = Realise();
    picture.clear();
    picture.shrink_to_fit();
    theTrace().Write("End ADP success");
    if (textureSize != 0) {
        texCoordScaleS = double(cols) / textureSize;
        texCoordScaleT = double(rows) / textureSize;
    }
    return made ? 0 : -2;
}

bool Bitmap::LoadFromResource(uint32_t id) {
    const BitmapResource* table = resourceTable.load();
    const size_t count = resourceCount.load();
    const BitmapResource* found = nullptr;
    for (size_t i = 0; table && i < count; ++i)
        if (table[i].id == id) found = &table[i];
    if (!found || !Decode(found->data, found->size)) {
        TraceWrite("Bitmap resource not loaded");
        return false;
    }
    const bool made = Realise();
    picture.clear();
    if (textureSize != 0) {
        texCoordScaleS = double(cols) / textureSize;
        texCoordScaleT = double(rows) / textureSize;
    }
    return made;
}

std::vector<uint8_t> Bitmap::AlphaForPicture() {
    if (!pngAlpha.empty()) return pngAlpha;
    if (!alphaBitmap || alphaBitmap->picture.empty()) return {};
    const Bitmap& a = *alphaBitmap;
    if (a.pictureWidth == pictureWidth && a.pictureHeight == pictureHeight) return a.picture;
    // An alpha image of another size is brought to the picture's size.
    return ScalePixelsNearest(a.picture.data(), a.pictureWidth, a.pictureHeight, 3, pictureWidth,
                              pictureHeight);
}

bool Bitmap::Realise() {
    TextureWork work;
    theTrace().Write("b");
    if (!TextureWork::HaveContext() && makeTexture) {
        TraceWrite("Texture not made: no OpenGL context");
        return false;
    }
    bool made = false;
    if (makeTexture) {
        glGenTextures(1, &textureId);
        glBindTexture(GL_TEXTURE_2D, textureId);
        made = CreateTexture();
    } else {
        std::vector<uint8_t> alpha = AlphaForPicture();
        pixels = AddAlphaChannel(picture.data(), pictureHeight, pictureWidth,
                                 alpha.empty() ? nullptr : alpha.data());
        rows = pictureHeight;
        cols = pictureWidth;
        textureSize = pictureWidth;
        made = !pixels.empty();
    }
    alphaBitmap.reset();
    theTrace().Write("After create texture");
    return made;
}

bool Bitmap::CreateTexture() {
    const TextureLayout layout = ComputeTextureLayout(pictureWidth, pictureHeight);
    if (layout.size == 0) return false;
    std::vector<uint8_t> alpha;
    if (hasAlpha) {
        alpha = AlphaForPicture();
        // Without a source the colour key makes the alpha.
        if (alpha.empty() && alphaBitmap) hasAlpha = 0;
    }
    if (hasAlpha && alphaBitmap) SetCachedAlphaPath(alphaBitmap->GetCacheFile());

    std::vector<uint8_t> texels;
    const uint32_t side = layout.size;
    if (layout.resample) {
        const size_t stride = size_t(pictureWidth) * 3;
        texels = ResamplePixels(picture.data(), picture.size(), pictureWidth, pictureHeight, stride,
                                3, side, layout.step);
        if (!alpha.empty())
            alpha = ResamplePixels(alpha.data(), alpha.size(), pictureWidth, pictureHeight, stride,
                                   3, side, layout.step);
        rows = pictureHeight / layout.step;
        cols = pictureWidth / layout.step;
    } else {
        texels = std::move(picture);
        rows = pictureHeight;
        cols = pictureWidth;
    }
    textureSize = side;
    if (texels.size() != size_t(side) * side * 3) return false;

    if (hasAlpha)
        texels = AddAlphaChannel(texels.data(), side, side, alpha.empty() ? nullptr : alpha.data());
    alphaBitmap.reset();
    if (clearBorder) ClearTexelBorder(texels.data(), side, hasAlpha ? 4 : 3);
    UploadTexels(texels.data(), side, hasAlpha);
    return true;
}

void Bitmap::UploadTexels(const uint8_t* texels, uint32_t side, bool rgba) {
    const GLenum format = rgba ? GL_RGBA : GL_RGB;
    GLint internal = rgba ? 4 : 3;
    if (HasGLExtension(kExtTextureCompression) && allowCompression)
        internal = rgba ? GL_COMPRESSED_RGBA_ARB : GL_COMPRESSED_RGB_ARB;
    GLint alignment = 4;
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    if (mipmaps) {
        gluBuild2DMipmaps(GL_TEXTURE_2D, internal, GLint(side), GLint(side), format,
                          GL_UNSIGNED_BYTE, texels);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST_MIPMAP_NEAREST);
    } else {
        glTexImage2D(GL_TEXTURE_2D, 0, internal, GLsizei(side), GLsizei(side), 0, format,
                     GL_UNSIGNED_BYTE, texels);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    }
    glPixelStorei(GL_UNPACK_ALIGNMENT, alignment);
}

void Bitmap::Bind() {
    if (textureId) {
        if (hasAlpha) {
            glEnable(GL_BLEND);
            glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        }
        glEnable(GL_TEXTURE_2D);
        glBindTexture(GL_TEXTURE_2D, textureId);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    } else if (!pixels.empty() && !makeTexture) {
        glEnable(GL_BLEND);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        glPixelStorei(GL_UNPACK_ALIGNMENT, 2);
        glDrawPixels(GLsizei(cols), GLsizei(rows), GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    } else {
        glDisable(GL_TEXTURE_2D);
    }
}

bool Bitmap::CreateDefaultNormalMap() {
    static const uint8_t kNormal[3] = {128, 128, 255};
    TextureWork work;
    if (!TextureWork::HaveContext()) return true;
    if (!textureId) glGenTextures(1, &textureId);
    glBindTexture(GL_TEXTURE_2D, textureId);
    mipmaps = 0;
    allowCompression = 0;
    UploadTexels(kNormal, 1, false);
    rows = cols = textureSize = 1;
    theTrace().Write("Default normal map created");
    return true;
}

bool Bitmap::CreateFalloffTexture(int size, int innerRadius, const float colour[3]) {
    std::vector<uint8_t> texels = MakeFalloffTexels(size, innerRadius, colour);
    rows = cols = textureSize = uint32_t(size);
    TextureWork work;
    if (!TextureWork::HaveContext()) return true;
    if (!textureId) glGenTextures(1, &textureId);
    glBindTexture(GL_TEXTURE_2D, textureId);
    mipmaps = 0;
    allowCompression = 0;
    UploadTexels(texels.data(), uint32_t(size), false);
    return true;
}
