#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "foundation/KeyDataList.h"
#include "platform/UrlDownload.h"
#include "render/Bitmap.h"
#include "render/Material.h"
#include "render/TextureList.h"
#include "support/PngWriter.h"
#include "support/TempFolder.h"
#include "support/TestControl.h"

namespace {

// A control (not running, so downloads happen at once) with a download cache and a
// temporary folder of the test's own.
class MaterialTest : public ::testing::Test {
protected:
    // Puts a small PNG into the cache as the download of `url`.
    void CachePng(const std::string& url) {
        WriteFile(platform::UrlCacheFileName(url), WritePng(MakePatternImage(4, 4, 2, 8)));
    }
    std::string TempFile(const char* name) {
        const std::string path = temp.Path() + name;
        WriteFile(path, WritePng(MakePatternImage(4, 4, 2, 8)));
        return path;
    }
    static void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    }

    // Made before the temporary folder is pointed elsewhere: outside our own folders.
    TempFolder elsewhere;
    TempFolder cache;
    TempFolder temp;
    ScopedEnv cacheEnv{"KIVORA_URL_CACHE", cache.Path()};
    ScopedEnv tempEnv{"TMPDIR", temp.Path()};
    ScopedProgramFolder programFolder;
    TestControl control;
};

TEST(ColorTextTest, SuffixesAndFractions) {
    struct Case {
        const char* text;
        double value;
    } cases[] = {
        {"255b", 1.0}, {"ffh", 1.0},   {"0.5", 0.5}, {nullptr, 1.0}, {"51b", 0.2},     {"33h", 0.2},
        {"b", 0.0},    {"1000b", 1.0}, {"-3", 0.0},  {"7", 1.0},     {"garbage", 0.0},
    };
    for (const Case& c : cases)
        EXPECT_DOUBLE_EQ(ParseColorText(c.text), c.value) << (c.text ? c.text : "(none)");
}

TEST_F(MaterialTest, ColorFromTextKeepsAlphaWhileTransparent) {
    Material material;
    material.SetColorFromText("255b", "0.5", "0h", nullptr);
    EXPECT_DOUBLE_EQ(material.red, 1.0);
    EXPECT_DOUBLE_EQ(material.green, 0.5);
    EXPECT_DOUBLE_EQ(material.blue, 0.0);
    EXPECT_DOUBLE_EQ(material.alpha, 1.0);
    material.SetColor(0, 0, 0, 0.3);
    material.SetOpacity(0.4);
    material.SetColorFromText("1", "1", "1", "0.9");
    EXPECT_DOUBLE_EQ(material.alpha, 0.3);
}

TEST_F(MaterialTest, KeysRoundTrip) {
    Material original;
    KeyDataList information;
    information.AddString("maker", "Acme & Sons");
    KeyDataList infoHolder;
    infoHolder.AddSublist("ObjectInformation")->AppendCopiesOf(information);
    infoHolder.AddSublist("LockCodes")->AddString("code", "7");
    original.ReadKeyData(infoHolder, false);
    original.SetPaintInformation(&information);
    original.SetColor(0.25, 0.5, 0.75, 0.8);
    original.SetSpecularColor(0.1f, 0.2f, 0.3f);
    original.shininess = 32.0f;
    original.SetOpacity(0.6);
    original.granularity.x = 2.0;
    original.granularity.y = 3.0;
    original.modulateTexture = 1;
    original.showColor = 0;
    original.textureOffset = Vector(0.5, 0.25, 0.0);
    original.textureRotation = 45.0;
    original.isExportable = 1;

    KeyDataList written;
    original.WriteKeyData(written);
    const KeyDataList* keys = written.GetSublist("Material");
    ASSERT_FALSE(keys->IsEmpty());

    Material copy;
    copy.ReadKeyData(*keys, false);
    EXPECT_EQ(copy.GetObjectId(), original.GetObjectId());
    EXPECT_NEAR(copy.red, 0.25, 1e-6);
    EXPECT_NEAR(copy.green, 0.5, 1e-6);
    EXPECT_NEAR(copy.blue, 0.75, 1e-6);
    EXPECT_NEAR(copy.alpha, 0.8, 1e-6);
    EXPECT_NEAR(copy.specular[2], 0.3f, 1e-6);
    EXPECT_NEAR(copy.shininess, 32.0f, 1e-4);
    EXPECT_NEAR(copy.opacity, 0.6, 1e-6);
    EXPECT_TRUE(copy.transparent);
    EXPECT_EQ(copy.granularity.x, 2.0);
    EXPECT_EQ(copy.granularity.y, 3.0);
    EXPECT_EQ(copy.modulateTexture, 1);
    EXPECT_EQ(copy.showColor, 0);
    EXPECT_EQ(copy.showTexture, 1);
    EXPECT_EQ(copy.textureOffset.x, 0.5);
    EXPECT_EQ(copy.textureRotation, 45.0);
    EXPECT_EQ(copy.isExportable, 1);
    ASSERT_NE(copy.GetObjectInformation(), nullptr);
    EXPECT_STREQ(copy.GetObjectInformation()->GetString("maker"), "Acme & Sons");
    ASSERT_NE(copy.GetPaintInformation(), nullptr);
    EXPECT_STREQ(copy.GetPaintInformation()->GetString("maker"), "Acme & Sons");
    ASSERT_NE(copy.GetLockCodes(), nullptr);
    EXPECT_STREQ(copy.GetLockCodes()->GetString("code"), "7");
    // A later material never takes an id that was read back.
    EXPECT_GT(Material::NextObjectId(), copy.GetObjectId());
}

TEST_F(MaterialTest, ReadingDefaultsAndEdgeValues) {
    struct Case {
        const char* shininess;
        const char* reflectivity;
        const char* granularity;
        const char* gx;
        const char* gy;
        float expectShininess;
        double expectOpacity;
        double expectGx, expectGy;
    } cases[] = {
        {"1.0", "0", "0", "2", "0", 0.0f, 1.0, 7.0, 7.0},
        {nullptr, nullptr, nullptr, "2", "4", 128.0f, 1.0, 2.0, 4.0},
        {"0.5", "0.4", "3", "2", "4", 64.0f, 0.4, 3.0, 3.0},
    };
    for (const Case& c : cases) {
        Material material;
        material.granularity.x = material.granularity.y = 7.0;
        KeyDataList list;
        if (c.shininess) list.AddString("Shininess", c.shininess);
        if (c.reflectivity) list.AddString("Reflectivity", c.reflectivity);
        if (c.granularity) list.AddString("Granularity", c.granularity);
        list.AddString("GranularityX", c.gx);
        list.AddString("GranularityY", c.gy);
        list.AddSublist("Color")->AddString("Red", "ffh");
        material.ReadKeyData(list, false);
        EXPECT_FLOAT_EQ(material.shininess, c.expectShininess);
        EXPECT_DOUBLE_EQ(material.opacity, c.expectOpacity);
        EXPECT_EQ(material.transparent, c.expectOpacity < 1.0);
        EXPECT_EQ(material.granularity.x, c.expectGx);
        EXPECT_EQ(material.granularity.y, c.expectGy);
        EXPECT_DOUBLE_EQ(material.red, 1.0);
        EXPECT_DOUBLE_EQ(material.alpha, 1.0);  // missing "Alpha"

        material.ReadKeyData(list, true);
        EXPECT_EQ(material.granularity.x, 1.0);
    }
}

TEST_F(MaterialTest, TextureAddressIsJoinedToTheDomain) {
    const std::string address = "http://content.example/a/b.3c_";
    CachePng(address);
    CachePng("http://content.example/a/alpha.png");
    Material material;
    KeyDataList list;
    list.AddString("Domain", "content.example");
    list.AddString("TextureURLwithoutDomain", "a/");
    list.AddString("TextureURL", "b.3c_");
    list.AddString("AlphaURL", "alpha.png");
    material.ReadKeyData(list, false);
    EXPECT_EQ(std::string(material.GetTextureURL()), address);
    EXPECT_EQ(std::string(material.GetAlphaURL()), "http://content.example/a/alpha.png");
    ASSERT_NE(material.GetTexture(), nullptr);
    EXPECT_EQ(std::string(material.GetTexture()->GetURL()), address);
    // The texture counts as set, so the bump map falls back to the default.
    EXPECT_EQ(material.GetBumpMap(), DefaultNormalMap());
    EXPECT_STREQ(material.GetBumpMapURL(), "");
}

TEST_F(MaterialTest, SameTextureInAnyCaseIsSharedAndOutlivesItsMaterials) {
    const std::string path = TempFile("wood.png");
    auto first = std::make_unique<Material>();
    first->SetTextureFromCache("http://content.example/Wood.PNG", path.c_str(), "", "");
    Material second;
    second.SetTextureFromCache("HTTP://CONTENT.EXAMPLE/wood.png", path.c_str(), "", "");
    ASSERT_NE(first->GetTexture(), nullptr);
    EXPECT_EQ(first->GetTexture(), second.GetTexture());
    EXPECT_EQ(control.GetTextureList()->GetCount(), 1u);
    // The address keeps its case.
    EXPECT_STREQ(first->GetTexture()->GetURL(), "http://content.example/Wood.PNG");
    first.reset();
    EXPECT_EQ(control.GetTextureList()->FindByName("http://content.example/wood.png"),
              second.GetTexture());
}

TEST_F(MaterialTest, CachedNamesOnlyFromOurOwnFolders) {
    const std::string ours = TempFile("ours.png");
    const std::string foreign = elsewhere.Path() + "foreign.png";
    WriteFile(foreign, WritePng(MakePatternImage(4, 4, 2, 8)));

    Material material;
    KeyDataList list;
    list.AddString("TextureURL", "http://content.example/x.png");
    list.AddString("TextureCachedName", foreign);
    CachePng("http://content.example/x.png");
    material.ReadKeyData(list, false);
    ASSERT_NE(material.GetTexture(), nullptr);
    // Fetched (here: from the download cache), not taken from the foreign file.
    EXPECT_STRNE(material.GetTexture()->GetCacheFile(), foreign.c_str());

    Material cached;
    KeyDataList ownList;
    ownList.AddString("TextureURL", "http://content.example/y.png");
    ownList.AddString("TextureCachedName", ours);
    cached.ReadKeyData(ownList, false);
    ASSERT_NE(cached.GetTexture(), nullptr);
    EXPECT_EQ(std::string(cached.GetTexture()->GetCacheFile()), ours);
}

TEST_F(MaterialTest, OverLongAddressesAreRefused) {
    Material material;
    const std::string longAddress = "http://content.example/" + std::string(300, 'a');
    material.SetTextureURL(longAddress.c_str(), true);
    EXPECT_EQ(material.GetTexture(), nullptr);
    EXPECT_STREQ(material.GetTextureURL(), "");
    EXPECT_EQ(control.GetTextureList()->GetCount(), 0u);

    KeyDataList list;
    list.AddString("Domain", "content.example");
    list.AddString("TextureURLwithoutDomain", std::string(250, 'p'));
    list.AddString("TextureURL", "b.png");
    material.ReadKeyData(list, false);
    EXPECT_STREQ(material.GetTextureURL(), "");
}

TEST_F(MaterialTest, XmlEscapesAndLeavesPaintKeysAlone) {
    Material material;
    material.SetTextureFromCache("http://content.example/a.png?x=1&y=\"2\"",
                                 TempFile("a.png").c_str(), "", "");
    KeyDataList holder;
    KeyDataList* info = holder.AddSublist("ObjectInformation");
    info->AddString("name", "Fish & <Chips>");
    KeyDataList* paint = holder.AddSublist("paint")->AddSublist("ObjectInformation");
    paint->AddString("category", "wall paint");
    paint->AddString("brand", "Caf\xc3\xa9");
    material.ReadKeyData(holder, false);
    material.SetRGB(1.0, 0.5, 0.0);

    std::string xml;
    material.WriteXML(xml, "wall", false, 12.345);
    EXPECT_EQ(xml,
              "<wall area=\"12.35\"><material url=\"http://content.example/a.png?x=1&amp;y="
              "&quot;2&quot;\"><objectInformation  name=\"Fish &amp; &lt;Chips&gt;\" >"
              "</objectInformation><objectInformation  brand=\"Caf&#233;\"  red=\"255.000000\"  "
              "green=\"127.500000\"  blue=\"0.000000\"  category=\"surfaceColor\" >"
              "</objectInformation></material></wall>")
        << xml;

    std::string painted;
    material.WriteXML(painted, "wall", true, 2.0);
    EXPECT_NE(painted.find("<paint area=\"2.00\"><objectInformation  category=\"wall paint\""),
              std::string::npos)
        << painted;
    EXPECT_NE(painted.find("</objectInformation></paint></material></wall>"), std::string::npos);

    // The material's own paint keys are untouched.
    const KeyDataList* stored = material.GetPaintInformation();
    EXPECT_EQ(stored->GetCount(), 2u);
    EXPECT_STREQ(stored->GetString("category"), "wall paint");
    EXPECT_EQ(stored->FindByName("red"), nullptr);

    std::string none;
    material.WriteXML(none, "", false, 1.0);
    EXPECT_TRUE(none.empty());
}

TEST_F(MaterialTest, DescriptionFileIsReadWithItsServerAsDomain) {
    // A description whose texture is relative to the server it came from.
    KeyDataList description;
    KeyDataList* keys = description.AddSublist("Material");
    keys->AddSublist("Color")->AddString("Green", "255b");
    keys->AddString("TextureURLwithoutDomain", "tex/");
    keys->AddString("TextureURL", "oak.png");
    const std::string descriptionURL = "http://content.example/materials/oak.3c_";
    const std::string path = platform::UrlCacheFileName(descriptionURL);
    FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    ASSERT_TRUE(description.WriteBinary(file));
    std::fclose(file);
    CachePng("http://content.example/tex/oak.png");

    Material material;
    EXPECT_TRUE(material.LoadFromURLNow(descriptionURL.c_str()));
    EXPECT_DOUBLE_EQ(material.green, 1.0);
    EXPECT_STREQ(material.GetTextureURL(), "http://content.example/tex/oak.png");
    EXPECT_STREQ(material.GetMaterialURL(), "");
}

}  // namespace
