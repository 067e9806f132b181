#include "render/Material.h"

#include <GL/gl.h>
#include <GL/glext.h>
#include <limits.h>
#include <stdlib.h>
#include <strings.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <mutex>

#include "control/BaseControl.h"
#include "control/RenderLockScope.h"
#include "foundation/KeyDataList.h"
#include "foundation/SerializableObject.h"
#include "foundation/Trace.h"
#include "platform/Files.h"
#include "platform/UrlDownload.h"
#include "render/Bitmap.h"
#include "render/OpenGL.h"
#include "render/TextureList.h"

namespace {

std::atomic<uint32_t> materialCounter{0};
// Starts of description downloads go one at a time.
std::recursive_mutex downloadStartMutex;

bool IsEmpty(const char* text) {
    return !text || !*text;
}

bool HasMembers(const KeyDataList* list) {
    return list && !list->IsEmpty();
}

std::unique_ptr<KeyDataList> CopyOf(const KeyDataList& list) {
    auto copy = std::make_unique<KeyDataList>();
    copy->AppendCopiesOf(list);
    return copy;
}

// Replaces the first element of `key` (any case) by one with `value`.
void SetListValue(KeyDataList& list, const char* key, const char* value) {
    if (BaseKeyDataElement* old = list.FindByName(key)) list.DeleteNode(old);
    list.AddString(key, value);
}

bool EqualsNoCase(const char* text, const char* word) {
    return text && strcasecmp(text, word) == 0;
}

// Whether `path` names an existing file inside `folder` (both resolved, links followed).
bool IsInsideFolder(const char* path, const std::string& folder) {
    if (folder.empty()) return false;
    char resolvedPath[PATH_MAX];
    char resolvedFolder[PATH_MAX];
    if (!realpath(path, resolvedPath) || !realpath(folder.c_str(), resolvedFolder)) return false;
    const size_t n = std::strlen(resolvedFolder);
    return std::strncmp(resolvedPath, resolvedFolder, n) == 0 &&
           (resolvedFolder[n - 1] == '/' || resolvedPath[n] == '/');
}

// A cached file named by a plan is used only when it is one of ours (in the download
// cache or the temporary folder) and opens for reading.
bool IsUsableCachedFile(const char* path) {
    if (IsEmpty(path)) return false;
    if (!IsInsideFolder(path, platform::UrlCacheFolder()) &&
        !IsInsideFolder(path, platform::TemporaryFolder())) {
        TraceWrite("Cached file outside the cache ignored");
        return false;
    }
    FILE* file = std::fopen(path, "rb");
    if (!file) return false;
    std::fclose(file);
    return true;
}

// "http://" + domain + "/" + prefix + path, or empty (with a trace) when too long.
std::string JoinToDomain(const char* domain, const char* prefix, const char* path) {
    std::string joined = "http://";
    joined += domain ? domain : "";
    joined += "/";
    joined += prefix ? prefix : "";
    joined += path ? path : "";
    if (joined.size() >= Material::kURLSize) {
        TraceWrite("Joined address too long");
        return {};
    }
    return joined;
}

void CountFinishedDownload(bool fullProgress) {
    if (BaseControl* control = theControl()) {
        control->globalState.SetInteger(11, control->globalState.GetInteger(11) + 1);
        if (fullProgress) control->globalState.SetDouble(16, 100.0);
    }
}

}  // namespace

double ParseColorText(const char* text) {
    if (!text) return 1.0;
    const size_t length = std::strlen(text);
    double value;
    if (length >= 2 && (text[length - 1] == 'b' || text[length - 1] == 'h')) {
        const std::string digits(text, length - 1);
        value =
            double(std::strtol(digits.c_str(), nullptr, text[length - 1] == 'b' ? 10 : 16)) / 255.0;
    } else {
        value = ParseKeyDataNumber(text);
    }
    if (std::isnan(value)) return 0.0;
    return std::clamp(value, 0.0, 1.0);
}

uint32_t Material::NextObjectId() {
    return materialCounter.load();
}

Material::Material() : objectId(materialCounter.fetch_add(1)) {}

Material::~Material() {
    destroying = true;
    // The download hook works on this object: it ends before anything goes.
    CancelDownload();
}

bool Material::StoreURL(char* field, const char* text, const char* what) {
    if (!text) text = "";
    if (std::strlen(text) >= kURLSize) {
        PRECONDITION(false, what);
        return false;
    }
    std::snprintf(field, kURLSize, "%s", text);
    return true;
}

void Material::TakeObjectId(double value) {
    if (!(value >= 0.0 && value <= double(UINT32_MAX))) return;
    objectId = uint32_t(value);
    // Ids made later never meet one read back.
    uint32_t counter = materialCounter.load();
    while (objectId >= counter && objectId < UINT32_MAX &&
           !materialCounter.compare_exchange_weak(counter, objectId + 1)) {
    }
}

void Material::SetColor(double r, double g, double b, double a) {
    red = r;
    green = g;
    blue = b;
    alpha = a;
}

void Material::SetRGB(double r, double g, double b) {
    SetColor(r, g, b, alpha);
}

void Material::SetColorFromText(const char* r, const char* g, const char* b, const char* a) {
    const double newAlpha = transparent ? alpha : ParseColorText(a);
    SetColor(ParseColorText(r), ParseColorText(g), ParseColorText(b), newAlpha);
}

void Material::SetSpecularColor(float r, float g, float b) {
    specular[0] = r;
    specular[1] = g;
    specular[2] = b;
}

void Material::SetOrthoColor(double r, double g, double b, double a) {
    orthoColor[0] = r;
    orthoColor[1] = g;
    orthoColor[2] = b;
    orthoColor[3] = a;
}

void Material::SetOpacity(double value) {
    if (allowTransparency) {
        opacity = value;
        transparent = value < 1.0;
    } else {
        opacity = 1.0;
    }
}

void Material::SetPaintInformation(const KeyDataList* list) {
    paintInformation.reset();
    if (HasMembers(list)) paintInformation = CopyOf(*list);
}

// --- drawing ---------------------------------------------------------------------------

void Material::Apply(bool allowTexture, bool allowTextureInOrtho, const MaterialView& view) {
    if (view.orthographic) {
        if (orthoColor[3] >= 2.0) theTrace().WriteFormat("orthoA=%f", orthoColor[3]);
        if (orthoColor[3] < 1.0 && !view.transparencyPass) {
            glEnable(GL_BLEND);
            glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
            glColor4d(orthoColor[0], orthoColor[1], orthoColor[2], orthoColor[3]);
            glDisable(GL_TEXTURE_2D);
        } else if (texture && allowTextureInOrtho) {
            glEnable(GL_TEXTURE_2D);
            texture->Bind();
        } else {
            orthoColor[3] = 1.0;
            glColor3d(orthoColor[0], orthoColor[1], orthoColor[2]);
            glDisable(GL_TEXTURE_2D);
        }
        return;
    }

    if (showTexture && texture && allowTexture)
        texture->Bind();
    else
        glDisable(GL_TEXTURE_2D);

    double drawAlpha = alpha;
    if (halfAlphaOnce) {
        drawAlpha = std::min(drawAlpha, 0.5);
        halfAlphaOnce = 0;
    } else if (drawAlpha == 1.0) {
        BaseControl* control = theControl();
        if (control && control->globalState.GetBoolean(9)) drawAlpha = opacity;
    }
    if (drawAlpha < 1.0) {
        glEnable(GL_BLEND);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    }

    if (showColor) {
        glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, specular);
        PRECONDITION(shininess >= 0.0f && shininess <= 128.0f,
                     "material->shininess negative or > 128");
        shininess = std::isnan(shininess) ? 0.0f : std::clamp(shininess, 0.0f, 128.0f);
        glMaterialf(GL_FRONT_AND_BACK, GL_SHININESS, shininess);
        if (modulateTexture || !texture)
            glColor4d(red, green, blue, drawAlpha);
        else
            glColor4d(1.0, 1.0, 1.0, drawAlpha);
    } else {
        glColor4d(1.0, 1.0, 1.0, drawAlpha);
    }
}

void Material::ApplyBumpMap(bool enable) {
    BaseControl* control = theControl();
    PRECONDITION(control && control->globalState.GetBoolean(17),
                 "Bump maps should only be rendered in a lighting pass");
    if (HasGLExtension(kExtMultitexture) && theGLEntryPoints.ActiveTextureARB)
        theGLEntryPoints.ActiveTextureARB(GL_TEXTURE0_ARB);
    if (bumpMap && enable) bumpMap->Bind();
}

// --- textures --------------------------------------------------------------------------

Bitmap* Material::FindOrAddBitmap(const char* url, bool withAlpha, bool& made) {
    made = false;
    BaseControl* control = theControl();
    TextureList* list = control ? control->GetTextureList() : nullptr;
    if (!list) {
        TraceWrite("No texture list for a texture");
        return nullptr;
    }
    // Looking up and appending go together, so one address never gets two bitmaps.
    list->Lock();
    Bitmap* bitmap = list->FindByName(url);
    if (!bitmap) {
        bitmap = new Bitmap(withAlpha, 1);
        bitmap->SetURL(url);
        list->Append(bitmap);
        made = true;
    }
    list->Unlock();
    return bitmap;
}

void Material::SetTexturePointer(Bitmap* bitmap) {
    RenderLockScope lock;
    texture = bitmap;
}

void Material::SetTextureURL(const char* url, bool now) {
    theTrace().Write("ST");
    PRECONDITION(!IsEmpty(url), "url is empty");
    if (!PRECONDITION(!url || std::strlen(url) < kURLSize, "textureURL overflow")) return;

    Bitmap* bitmap = nullptr;
    if (!IsEmpty(url)) {
        bool made = false;
        bitmap = FindOrAddBitmap(url, hasAlphaMap, made);
        if (bitmap && !made) {
            theTrace().Write("texE");
            CountFinishedDownload(true);
        } else if (bitmap) {
            if (hasAlphaMap) bitmap->SetAlphaURL(alphaURL);
            if (now)
                bitmap->LoadNow(url, mipmapTextures);
            else
                bitmap->LoadAsync(url, mipmapTextures);
        }
    }
    theTrace().Write("ST url");
    theTrace().Write(url ? url : "");
    StoreURL(textureURL, url, "textureURL overflow");
    SetTexturePointer(bitmap);
}

void Material::SetTextureFromCache(const char* url, const char* cachedPath,
                                   const char* alphaCachedPath, const char* alphaText) {
    if (!PRECONDITION(!url || std::strlen(url) < kURLSize, "textureURL overflow")) return;
    Bitmap* bitmap = nullptr;
    if (!IsEmpty(url)) {
        bool made = false;
        bitmap = FindOrAddBitmap(url, hasAlphaMap, made);
        if (bitmap && made) {
            if (!IsEmpty(alphaText)) {
                bitmap->SetAlphaURL(alphaText);
                if (!IsEmpty(alphaCachedPath)) bitmap->SetCachedAlphaPath(alphaCachedPath);
            }
            bitmap->LoadFromCache(cachedPath, url, mipmapTextures);
        }
    }
    SetTexturePointer(bitmap);
    StoreURL(textureURL, url, "textureURL overflow");
    CountFinishedDownload(false);
}

void Material::SetBumpMapURL(const char* url) {
    if (IsEmpty(url)) {
        bumpMapURL[0] = 0;
        RenderLockScope lock;
        bumpMap = DefaultNormalMap();
        return;
    }
    if (!PRECONDITION(std::strlen(url) < kURLSize, "bumpMapURL overflow")) return;
    bool made = false;
    Bitmap* bitmap = FindOrAddBitmap(url, false, made);
    if (bitmap && made) {
        bitmap->mipmaps = 0;
        bitmap->LoadAsync(url, false);
    }
    StoreURL(bumpMapURL, url, "bumpMapURL overflow");
    RenderLockScope lock;
    bumpMap = bitmap;
}

// --- description files -----------------------------------------------------------------

void Material::BeginDescriptionDownload(const char* url, bool now, bool* arrived) {
    if (!PRECONDITION(url != nullptr, "Material url is NULL") || !*url) return;
    if (readingDescription) {
        // A description naming a description would fetch itself for ever.
        TraceWrite("Nested material description not fetched");
        return;
    }
    if (!StoreURL(materialURL, url, "materialURL overflow")) return;
    std::lock_guard<std::recursive_mutex> guard(downloadStartMutex);
    SetCompressed(true);
    if (now) {
        const bool ok = DownloadNow(materialURL);
        if (arrived) *arrived = ok;
    } else {
        StartDownload(materialURL);
    }
}

void Material::LoadFromURL(const char* url) {
    BeginDescriptionDownload(url, false, nullptr);
}

bool Material::LoadFromURLNow(const char* url) {
    bool arrived = false;
    BeginDescriptionDownload(url, true, &arrived);
    return arrived;
}

int Material::OnDownloadComplete() {
    // A cabinet's content was extracted; a plain file is read as it came.
    const char* path = GetDecompressedFile();
    if (IsEmpty(path)) path = GetCacheFile();
    FILE* file = IsEmpty(path) ? nullptr : std::fopen(path, "rb");
    if (!file) {
        materialURL[0] = 0;
        return 0;
    }
    KeyDataList outer;
    outer.ReadBinary(file);
    std::fclose(file);
    std::unique_ptr<KeyDataList> sublist(outer.TakeSublist("Material"));
    if (sublist.get() == KeyDataList::SharedEmpty()) sublist.release();

    if (HasMembers(sublist.get())) {
        // Relative addresses in the description are joined to the server it came from.
        sublist->AddString("Domain", GetHostPart());
        theTrace().Write("Mat::ADP2b");
        if (!destroying) {
            RenderLockScope lock;
            theTrace().Write("Mat::ADP2c");
            readingDescription = true;
            ReadKeyData(*sublist, false);
            readingDescription = false;
        }
        theTrace().Write("Mat::ADP2d");
    }
    materialURL[0] = 0;
    return 1;
}

// --- keys ------------------------------------------------------------------------------

void Material::ReadKeyData(const KeyDataList& list, bool resetGranularity) {
    double number = 0.0;
    if (!idFixed && list.GetDouble("transactionObjectId", number)) TakeObjectId(number);

    const KeyDataList* paint = list.GetSublist("paint");
    if (HasMembers(paint)) SetPaintInformation(paint->GetSublist("ObjectInformation"));

    const KeyDataList* information = list.GetSublist("ObjectInformation");
    if (HasMembers(information)) objectInformation = CopyOf(*information);

    lockCodes.reset();
    const KeyDataList* codes = list.GetSublist("LockCodes");
    if (HasMembers(codes)) lockCodes = CopyOf(*codes);

    bool exportable = false;
    if (list.GetBool("isExportable", exportable)) isExportable = exportable ? 1 : 0;

    const char* cachedName = list.GetString("TextureCachedName");
    if (!IsUsableCachedFile(cachedName)) cachedName = nullptr;
    const char* alphaCachedName = list.GetString("AlphaCachedName");
    if (!IsUsableCachedFile(alphaCachedName)) alphaCachedName = nullptr;

    const char* commandFile = list.GetString("commandFileURL");
    if (!IsEmpty(commandFile)) StoreURL(materialURL, commandFile, "materialURL overflow");

    auto first = [&](std::initializer_list<const char*> keys) -> const char* {
        for (const char* key : keys) {
            const char* value = list.GetString(key);
            if (!IsEmpty(value)) return value;
        }
        return nullptr;
    };
    const char* domain = list.GetString("Domain");
    const char* alphaText = list.GetString("AlphaURL");
    bool textureSet = false;
    if (!cachedName) {
        const char* url = first({"TextureURL", "MaterialURL"});
        const char* prefix = first({"TextureURLwithoutDomain", "materialURLwithoutDomain"});
        hasAlphaMap = !IsEmpty(alphaText);
        if (!url) {
            if (materialURL[0]) {
                LoadFromURL(materialURL);
            } else {
                hasAlphaMap = 0;
                alphaURL[0] = 0;
            }
        } else {
            std::string textureAddress = url;
            if (prefix) {
                textureAddress = JoinToDomain(domain, prefix, url);
                if (hasAlphaMap)
                    StoreURL(alphaURL, JoinToDomain(domain, prefix, alphaText).c_str(),
                             "alphaURL overflow");
            } else if (hasAlphaMap) {
                StoreURL(alphaURL, alphaText, "alphaURL overflow");
            }
            if (!textureAddress.empty()) SetTextureURL(textureAddress.c_str(), false);
            textureSet = true;
        }
    } else {
        const char* url = first(
            {"TextureURL", "MaterialURL", "TextureURLwithoutDomain", "MaterialURLwithoutDomain"});
        hasAlphaMap = !IsEmpty(alphaText);
        SetTextureFromCache(url, cachedName, alphaCachedName, alphaText);
        if (hasAlphaMap) StoreURL(alphaURL, alphaText, "alphaURL overflow");
        textureSet = true;
    }

    const char* bumpPrefix = list.GetString("BumpMapURLwithoutDomain");
    if (bumpPrefix) {
        const std::string bump = JoinToDomain(domain, bumpPrefix, list.GetString("BumpMapURL"));
        if (!bump.empty()) SetBumpMapURL(bump.c_str());
    } else if (textureSet) {
        SetBumpMapURL(list.GetString("BumpMapURL"));
    }

    if (EqualsNoCase(list.GetString("ModulateTexture"), "TRUE")) modulateTexture = 1;

    const KeyDataList* color = list.GetSublist("Color");
    if (HasMembers(color))
        SetColor(ParseColorText(color->GetString("Red")), ParseColorText(color->GetString("Green")),
                 ParseColorText(color->GetString("Blue")),
                 ParseColorText(color->GetString("Alpha")));
    const KeyDataList* specularList = list.GetSublist("SpecularColor");
    if (HasMembers(specularList))
        SetSpecularColor(float(specularList->GetNumber("Red")),
                         float(specularList->GetNumber("Green")),
                         float(specularList->GetNumber("Blue")));

    shininess = float((1.0 - list.GetNumber("Shininess")) * 128.0);
    const double reflectivity = list.GetNumber("Reflectivity");
    SetOpacity(reflectivity > 0.0 ? reflectivity : 1.0);

    if (resetGranularity) {
        granularity.x = granularity.y = 1.0;
    } else if (const double both = list.GetNumber("Granularity"); both != 0.0) {
        granularity.x = granularity.y = both;
    } else {
        const double gx = list.GetNumber("GranularityX");
        const double gy = list.GetNumber("GranularityY");
        if (gx != 0.0 && gy != 0.0) {
            granularity.x = gx;
            granularity.y = gy;
        }
    }

    if (EqualsNoCase(list.GetString("showTexture"), "FALSE")) showTexture = 0;
    if (EqualsNoCase(list.GetString("showColor"), "FALSE")) showColor = 0;
    textureOffset.ReadChild(list, "TextureOffset");
    list.GetDouble("textureRotation", textureRotation);
    theTrace().Write("<");
}

void Material::WriteKeyData(KeyDataList& parent) const {
    KeyDataList* list = parent.AddSublist("Material");
    list->AddDouble("transactionObjectId", objectId);
    list->AddDouble("isExportable", isExportable ? 1 : 0);
    KeyDataList* color = list->AddSublist("Color");
    color->AddDouble("Red", red);
    color->AddDouble("Green", green);
    color->AddDouble("Blue", blue);
    color->AddDouble("Alpha", alpha);
    KeyDataList* specularList = list->AddSublist("SpecularColor");
    specularList->AddDouble("Red", specular[0]);
    specularList->AddDouble("Green", specular[1]);
    specularList->AddDouble("Blue", specular[2]);
    specularList->AddDouble("Alpha", specular[3]);
    list->AddDouble("Shininess", 1.0 - shininess / 128.0);
    list->AddDouble("Reflectivity", opacity);
    list->AddDouble("GranularityX", granularity.x);
    list->AddDouble("GranularityY", granularity.y);
    if (modulateTexture) list->AddString("modulateTexture", "TRUE");
    if (!showColor) list->AddString("showColor", "FALSE");
    if (!showTexture) list->AddString("showTexture", "FALSE");
    if (texture) {
        list->AddString("TextureURL", texture->GetURL());
        list->AddString("TextureCachedName", texture->GetCacheFile());
    }
    if (materialURL[0]) list->AddString("commandFileURL", materialURL);
    if (bumpMap) {
        list->AddString("BumpMapURL", bumpMap->GetURL());
        list->AddString("BumpMapCachedName", bumpMap->GetCacheFile());
    }
    if (hasAlphaMap) {
        list->AddString("AlphaURL", alphaURL);
        list->AddString("AlphaCachedName", texture ? texture->GetCachedAlphaPath() : "");
    }
    textureOffset.WriteChild(*list, "TextureOffset");
    list->AddDouble("textureRotation", textureRotation);
    if (HasMembers(objectInformation.get()))
        list->AddSublist("ObjectInformation")->AppendCopiesOf(*objectInformation);
    if (HasMembers(paintInformation.get()))
        list->AddSublist("paint")
            ->AddSublist("ObjectInformation")
            ->AppendCopiesOf(*paintInformation);
    if (HasMembers(lockCodes.get())) list->AddSublist("lockCodes")->AppendCopiesOf(*lockCodes);
}

void Material::WriteXML(std::string& out, const char* name, bool isPaint, double area) const {
    if (!PRECONDITION(!IsEmpty(name), "Valid materialName not supplied to Material::WriteXML"))
        return;
    char number[64];
    std::snprintf(number, sizeof number, "%3.2f", area);
    out += "<";
    out += name;
    out += " area=\"";
    out += number;
    out += "\"><material url=\"";
    AppendXmlEscaped(out, textureURL);
    out += "\">";
    WriteObjectInformationXml(out, objectInformation.get());

    if (HasMembers(paintInformation.get()) && !(red == 1.0 && green == 1.0 && blue == 1.0)) {
        const char* tag = isPaint ? "paint" : "surfaceColor";
        if (isPaint) {
            out += "<";
            out += tag;
            out += " area=\"";
            out += number;
            out += "\">";
        }
        // The stored paint keys stay as they are: the colour goes into a copy.
        std::unique_ptr<KeyDataList> paint = CopyOf(*paintInformation);
        const double rgb[3] = {red, green, blue};
        const char* keys[3] = {"red", "green", "blue"};
        for (int k = 0; k < 3; ++k) {
            if (BaseKeyDataElement* old = paint->FindByName(keys[k])) paint->DeleteNode(old);
            paint->AddDouble(keys[k], rgb[k] * 255.0);
        }
        if (!isPaint && paint->FindByName("category")) SetListValue(*paint, "category", tag);
        WriteObjectInformationXml(out, paint.get());
        if (isPaint) {
            out += "</";
            out += tag;
            out += ">";
        }
    }
    out += "</material></";
    out += name;
    out += ">";
}
