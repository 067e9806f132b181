#pragma once

#include <memory>
#include <string>

namespace platform {

// Fonts for OpenGL text: glyphs compiled into display lists of the current context,
// as bitmaps or as extruded outlines. Faces come from the DejaVu family; a face name
// is mapped to the nearest of its files (sans serif unless the name asks for a serif or
// a fixed-pitch face).

// Measures of one outline glyph, in units of the font's em height.
struct GlyphMetrics {
    float blackBoxX = 0;  // width and height of the smallest box around the glyph
    float blackBoxY = 0;
    float originX = 0;  // upper-left corner of that box, from the glyph's origin
    float originY = 0;
    float cellIncX = 0;  // advance to the next glyph's origin
    float cellIncY = 0;
};

class Font {
public:
    // `height` > 0 is the cell height (ascent plus descent) in pixels, `height` < 0 the em
    // height; weight 700 and above picks the bold face. Null when no font file loads.
    static std::unique_ptr<Font> Create(const std::string& faceName, int height, int weight = 400,
                                        bool italic = false);
    ~Font();
    Font(const Font&) = delete;
    Font& operator=(const Font&) = delete;

    const std::string& FilePath() const { return path_; }
    int PixelSize() const { return pixelSize_; }  // em height in pixels

    // Compiles `count` display lists from `listBase` for the characters from `first`:
    // each draws the glyph with glBitmap at the raster position and moves it by the
    // advance. A character the face lacks gets a list that draws nothing. Needs a
    // current context; false when none is current or `count` is not positive.
    bool UseBitmaps(int first, int count, unsigned int listBase) const;

    // Compiles `count` display lists of glyphs as polygons in em units (the front face
    // at z = 0 facing +z, the back face at z = -extrusion, the sides between), each
    // followed by a translation by the advance. Curves are flattened so that no point
    // lies further than `deviation` em from the curve (0 picks a fine default). When
    // `metrics` is given it receives `count` entries.
    bool UseOutlines(int first, int count, unsigned int listBase, float deviation, float extrusion,
                     GlyphMetrics* metrics) const;

private:
    struct Face;
    Font(std::string path, int pixelSize, Face* face);
    std::string path_;
    int pixelSize_;
    Face* face_;
};

// The font file that stands for a face name.
std::string FontFileForFace(const std::string& faceName, int weight, bool italic);

}  // namespace platform
