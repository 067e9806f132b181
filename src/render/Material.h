#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "foundation/DownloadableObject.h"
#include "geometry/Vector.h"

class Bitmap;
class KeyDataList;

// A colour component written as text: no text is 1.0; "255b" is a byte value (decimal,
// times 1/255), "ffh" a hexadecimal byte; anything else a decimal fraction. The result
// is kept within 0..1.
double ParseColorText(const char* text);

// What the view being drawn tells a material.
struct MaterialView {
    // Blueprint and elevation views draw flat colours.
    bool orthographic = false;
    // The view is in its transparency pass.
    bool transparencyPass = false;
};

// How one surface is drawn: colours, shininess, opacity, a texture with its repeat,
// offset and rotation, an optional bump map and alpha map, display flags, and three small
// key lists that travel with it (object information, paint information, lock codes).
//
// A material is read from a plan or a model, or fetched as a description file from the
// content server (its download hook reads the file). Textures are never owned: they live
// in the control's texture list, shared by URL.
//
// Lock order: a caller that starts a description download takes the render lock first.
class Material : public DownloadableObject {
public:
    static constexpr size_t kURLSize = 260;

    // Defaults; takes the next material id.
    Material();
    // Later download hooks apply nothing; a running download is waited for.
    ~Material() override;
    Material(const Material&) = delete;
    Material& operator=(const Material&) = delete;

    // Sets OpenGL state for drawing the next surface. Runs under the render lock.
    void Apply(bool allowTexture, bool allowTextureInOrtho, const MaterialView& view = {});
    // Binds the bump map on texture unit 0 (lighting passes only).
    void ApplyBumpMap(bool enable);

    // The shared texture of `url` (made and loaded when new: at once when `now`, else in
    // the background). An empty url removes the texture; an over-long one is refused.
    void SetTextureURL(const char* url, bool now);
    // The shared texture of `url` taken from files already cached, without downloading.
    void SetTextureFromCache(const char* url, const char* cachedPath, const char* alphaCachedPath,
                             const char* alphaURL);
    // The shared bump map of `url`; none or empty selects the default normal map.
    void SetBumpMapURL(const char* url);

    void SetColor(double r, double g, double b, double a);
    // Keeps the alpha.
    void SetRGB(double r, double g, double b);
    // Each component by ParseColorText; the alpha stays while the material is transparent.
    void SetColorFromText(const char* r, const char* g, const char* b, const char* a);
    void SetSpecularColor(float r, float g, float b);
    void SetOrthoColor(double r, double g, double b, double a);
    // Opacity below 1.0 makes the material transparent, when it allows transparency.
    void SetOpacity(double value);
    // A copy of the list when it has members; none otherwise.
    void SetPaintInformation(const KeyDataList* list);

    // Fetches the description file at `url` (in the background while the control runs).
    void LoadFromURL(const char* url);
    // The same on the calling thread; true when the file arrived.
    bool LoadFromURLNow(const char* url);

    // Reads the keys of a "Material" element's list.
    void ReadKeyData(const KeyDataList& list, bool resetGranularity);
    // Appends the "Material" sublist to `parent`.
    void WriteKeyData(KeyDataList& parent) const;
    // Appends the bill-of-materials XML for a surface called `name` with `area`. Nothing
    // of the material changes.
    void WriteXML(std::string& out, const char* name, bool isPaint, double area) const;

    // Reads an arrived description file; 1 when it was read, 0 when it could not be opened.
    int OnDownloadComplete() override;

    uint32_t GetObjectId() const { return objectId; }
    // The id the next material gets.
    static uint32_t NextObjectId();
    const char* GetTextureURL() const { return textureURL; }
    const char* GetBumpMapURL() const { return bumpMapURL; }
    const char* GetAlphaURL() const { return alphaURL; }
    const char* GetMaterialURL() const { return materialURL; }
    Bitmap* GetTexture() const { return texture; }
    Bitmap* GetBumpMap() const { return bumpMap; }
    const KeyDataList* GetObjectInformation() const { return objectInformation.get(); }
    const KeyDataList* GetPaintInformation() const { return paintInformation.get(); }
    const KeyDataList* GetLockCodes() const { return lockCodes.get(); }

    uint8_t transparent = 0;
    uint8_t showColor = 1;
    uint8_t showTexture = 1;
    // The next Apply draws with at most half alpha, then clears it.
    uint8_t halfAlphaOnce = 1;
    double red = 0.0, green = 0.0, blue = 0.0, alpha = 1.0;
    // x and y are the texture's repeat factors.
    Vector granularity{1.0, 1.0, 1.0};
    double textureRotation = 0.0;
    Vector textureOffset{0.005, 0.0, 0.0};
    // While set, reading keeps the id.
    uint8_t idFixed = 0;
    uint8_t hasAlphaMap = 0;
    float specular[4] = {0.0f, 0.0f, 0.0f, 1.0f};
    // The flat colour of orthographic views.
    double orthoColor[4] = {1.0, 1.0, 1.0, 1.0};
    // Read and written as "Reflectivity".
    double opacity = 1.0;
    // The specular exponent, 0..128.
    float shininess = 0.0f;
    // Draw the colour under the texture instead of white.
    uint8_t modulateTexture = 0;
    // Passed to the texture bitmaps it makes.
    uint8_t mipmapTextures = 1;
    uint8_t allowTransparency = 1;
    int32_t isExportable = 0;

private:
    // Copies an address into one of the URL fields; false (with a trace) when too long.
    bool StoreURL(char* field, const char* text, const char* what);
    // Sets the object id from a value read, raising the process-wide counter past it.
    void TakeObjectId(double value);
    // The bitmap for `url` from the shared list, made and appended when new (`made`).
    Bitmap* FindOrAddBitmap(const char* url, bool withAlpha, bool& made);
    void SetTexturePointer(Bitmap* bitmap);
    void BeginDescriptionDownload(const char* url, bool now, bool* arrived);

    uint32_t objectId = 0;
    Bitmap* texture = nullptr;
    Bitmap* bumpMap = nullptr;
    char textureURL[kURLSize] = {};
    char bumpMapURL[kURLSize] = {};
    char alphaURL[kURLSize] = {};
    char materialURL[kURLSize] = {};
    std::unique_ptr<KeyDataList> objectInformation;
    std::unique_ptr<KeyDataList> lockCodes;
    std::unique_ptr<KeyDataList> paintInformation;
    // Set while this material's download hook reads its description.
    bool readingDescription = false;
    bool destroying = false;
};
