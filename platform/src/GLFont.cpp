#include "platform/GLFont.h"

#include <GL/gl.h>
#include <GL/glu.h>
#include <ft2build.h>

#include "platform/GLContext.h"
#include FT_FREETYPE_H
#include FT_OUTLINE_H

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <deque>
#include <vector>

namespace platform {

struct Font::Face {
    FT_Library library = nullptr;
    FT_Face face = nullptr;
};

namespace {

constexpr const char* kFontDirectory = "/usr/share/fonts/truetype/dejavu/";

bool Contains(const std::string& text, const char* word) {
    return text.find(word) != std::string::npos;
}

bool ContextIsCurrent() {
    return GLContext::IsAnyCurrent();
}

// ---- outline flattening --------------------------------------------------------------

using Point = std::array<double, 2>;
using Contour = std::vector<Point>;

struct Flattener {
    std::vector<Contour> contours;
    double scale = 1.0;
    double tolerance = 0.005;  // em
    Point last{0, 0};

    Point Scaled(const FT_Vector* v) const { return {v->x * scale, v->y * scale}; }
    void Add(const Point& p) {
        Contour& c = contours.back();
        if (c.empty() || c.back() != p) c.push_back(p);
        last = p;
    }
    int Segments(double bend) const {
        const int n = static_cast<int>(std::ceil(std::sqrt(bend / tolerance)));
        return std::clamp(n, 1, 64);
    }
};

Flattener* AsFlattener(void* user) {
    return static_cast<Flattener*>(user);
}

int MoveTo(const FT_Vector* to, void* user) {
    Flattener* f = AsFlattener(user);
    f->contours.emplace_back();
    f->Add(f->Scaled(to));
    return 0;
}

int LineTo(const FT_Vector* to, void* user) {
    Flattener* f = AsFlattener(user);
    f->Add(f->Scaled(to));
    return 0;
}

int ConicTo(const FT_Vector* control, const FT_Vector* to, void* user) {
    Flattener* f = AsFlattener(user);
    const Point p0 = f->last, p1 = f->Scaled(control), p2 = f->Scaled(to);
    const double bend = std::hypot(p0[0] - 2 * p1[0] + p2[0], p0[1] - 2 * p1[1] + p2[1]) / 4;
    const int n = f->Segments(bend);
    for (int i = 1; i <= n; ++i) {
        const double t = static_cast<double>(i) / n, u = 1 - t;
        f->Add({u * u * p0[0] + 2 * u * t * p1[0] + t * t * p2[0],
                u * u * p0[1] + 2 * u * t * p1[1] + t * t * p2[1]});
    }
    return 0;
}

int CubicTo(const FT_Vector* c1, const FT_Vector* c2, const FT_Vector* to, void* user) {
    Flattener* f = AsFlattener(user);
    const Point p0 = f->last, p1 = f->Scaled(c1), p2 = f->Scaled(c2), p3 = f->Scaled(to);
    const double bend =
        0.75 * std::max(std::hypot(p0[0] - 2 * p1[0] + p2[0], p0[1] - 2 * p1[1] + p2[1]),
                        std::hypot(p1[0] - 2 * p2[0] + p3[0], p1[1] - 2 * p2[1] + p3[1]));
    const int n = f->Segments(bend);
    for (int i = 1; i <= n; ++i) {
        const double t = static_cast<double>(i) / n, u = 1 - t;
        const double a = u * u * u, b = 3 * u * u * t, c = 3 * u * t * t, d = t * t * t;
        f->Add({a * p0[0] + b * p1[0] + c * p2[0] + d * p3[0],
                a * p0[1] + b * p1[1] + c * p2[1] + d * p3[1]});
    }
    return 0;
}

// ---- tessellation of a glyph face into the display list being compiled ---------------

struct TessStore {
    std::deque<std::array<double, 3>> points;  // stable addresses for the tessellator
};

void TessBeginCallback(GLenum type) {
    glBegin(type);
}
void TessVertexCallback(void* data) {
    glVertex3dv(static_cast<const GLdouble*>(data));
}
void TessEndCallback() {
    glEnd();
}
void TessCombineCallback(GLdouble coords[3], void* /*data*/[4], GLfloat /*weight*/[4], void** out,
                         void* user) {
    TessStore* store = static_cast<TessStore*>(user);
    store->points.push_back({coords[0], coords[1], coords[2]});
    *out = store->points.back().data();
}

void DrawFace(const std::vector<Contour>& contours, double z, double normalZ, bool evenOdd) {
    GLUtesselator* tess = gluNewTess();
    if (!tess) return;
    TessStore store;
    gluTessCallback(tess, GLU_TESS_BEGIN, reinterpret_cast<_GLUfuncptr>(TessBeginCallback));
    gluTessCallback(tess, GLU_TESS_VERTEX, reinterpret_cast<_GLUfuncptr>(TessVertexCallback));
    gluTessCallback(tess, GLU_TESS_END, reinterpret_cast<_GLUfuncptr>(TessEndCallback));
    gluTessCallback(tess, GLU_TESS_COMBINE_DATA,
                    reinterpret_cast<_GLUfuncptr>(TessCombineCallback));
    gluTessProperty(tess, GLU_TESS_WINDING_RULE,
                    evenOdd ? GLU_TESS_WINDING_ODD : GLU_TESS_WINDING_NONZERO);
    gluTessNormal(tess, 0, 0, normalZ);
    glNormal3d(0, 0, normalZ);
    gluTessBeginPolygon(tess, &store);
    for (const Contour& contour : contours) {
        gluTessBeginContour(tess);
        for (const Point& p : contour) {
            store.points.push_back({p[0], p[1], z});
            gluTessVertex(tess, store.points.back().data(), store.points.back().data());
        }
        gluTessEndContour(tess);
    }
    gluTessEndPolygon(tess);
    gluDeleteTess(tess);
}

// Side walls between the front face and the back face. `outside` is +1 when the empty
// side of every edge lies to its left.
void DrawSides(const std::vector<Contour>& contours, double depth, double outside) {
    glBegin(GL_QUADS);
    for (const Contour& contour : contours) {
        const size_t n = contour.size();
        for (size_t i = 0; i < n; ++i) {
            Point a = contour[i], b = contour[(i + 1) % n];
            if (outside < 0) std::swap(a, b);
            const double dx = b[0] - a[0], dy = b[1] - a[1];
            const double length = std::hypot(dx, dy);
            if (length == 0) continue;
            glNormal3d(-dy / length, dx / length, 0);
            glVertex3d(a[0], a[1], 0);
            glVertex3d(b[0], b[1], 0);
            glVertex3d(b[0], b[1], -depth);
            glVertex3d(a[0], a[1], -depth);
        }
    }
    glEnd();
}

}  // namespace

std::string FontFileForFace(const std::string& faceName, int weight, bool italic) {
    std::string name;
    for (char c : faceName) name += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    const bool bold = weight >= 700;
    std::string file;
    if (Contains(name, "mono") || Contains(name, "courier") || Contains(name, "console") ||
        Contains(name, "fixed") || Contains(name, "terminal")) {
        file = "DejaVuSansMono";
        if (bold || italic)
            file += std::string("-") + (bold ? "Bold" : "") + (italic ? "Oblique" : "");
    } else if ((Contains(name, "serif") && !Contains(name, "sans")) || Contains(name, "times") ||
               Contains(name, "roman") || Contains(name, "georgia") || Contains(name, "garamond")) {
        file = "DejaVuSerif";
        if (bold || italic)
            file += std::string("-") + (bold ? "Bold" : "") + (italic ? "Italic" : "");
    } else {
        file = "DejaVuSans";
        if (bold || italic)
            file += std::string("-") + (bold ? "Bold" : "") + (italic ? "Oblique" : "");
    }
    return kFontDirectory + file + ".ttf";
}

Font::Font(std::string path, int pixelSize, Face* face)
    : path_(std::move(path)), pixelSize_(pixelSize), face_(face) {}

Font::~Font() {
    if (face_->face) FT_Done_Face(face_->face);
    if (face_->library) FT_Done_FreeType(face_->library);
    delete face_;
}

std::unique_ptr<Font> Font::Create(const std::string& faceName, int height, int weight,
                                   bool italic) {
    if (height == 0) return nullptr;
    const std::string path = FontFileForFace(faceName, weight, italic);
    Face* face = new Face;
    if (FT_Init_FreeType(&face->library) != 0 ||
        FT_New_Face(face->library, path.c_str(), 0, &face->face) != 0 ||
        face->face->units_per_EM == 0) {
        if (face->face) FT_Done_Face(face->face);
        if (face->library) FT_Done_FreeType(face->library);
        delete face;
        return nullptr;
    }
    int pixelSize = -height;
    if (height > 0) {
        const int cell = face->face->ascender - face->face->descender;
        const double em =
            cell > 0 ? static_cast<double>(height) * face->face->units_per_EM / cell : height;
        pixelSize = static_cast<int>(std::lround(em));
    }
    pixelSize = std::max(pixelSize, 1);
    FT_Set_Pixel_Sizes(face->face, 0, static_cast<FT_UInt>(pixelSize));
    return std::unique_ptr<Font>(new Font(path, pixelSize, face));
}

bool Font::UseBitmaps(int first, int count, unsigned int listBase) const {
    if (count <= 0 || !ContextIsCurrent()) return false;
    FT_Face face = face_->face;
    glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    glPixelStorei(GL_UNPACK_SKIP_ROWS, 0);
    glPixelStorei(GL_UNPACK_SKIP_PIXELS, 0);
    glPixelStorei(GL_UNPACK_LSB_FIRST, GL_FALSE);
    std::vector<GLubyte> bits;
    for (int i = 0; i < count; ++i) {
        glNewList(listBase + i, GL_COMPILE);
        const FT_UInt index = FT_Get_Char_Index(face, static_cast<FT_ULong>(first + i));
        if (index != 0 && FT_Load_Glyph(face, index, FT_LOAD_RENDER | FT_LOAD_TARGET_MONO) == 0 &&
            face->glyph->bitmap.pixel_mode == FT_PIXEL_MODE_MONO) {
            const FT_Bitmap& bitmap = face->glyph->bitmap;
            const int rows = static_cast<int>(bitmap.rows);
            const int width = static_cast<int>(bitmap.width);
            const int rowBytes = (width + 7) / 8;
            bits.assign(static_cast<size_t>(rows) * rowBytes, 0);
            for (int r = 0; r < rows; ++r) {
                const unsigned char* source = bitmap.buffer + static_cast<long>(r) * bitmap.pitch;
                std::copy(source, source + rowBytes, bits.begin() + (rows - 1 - r) * rowBytes);
            }
            glBitmap(width, rows, static_cast<GLfloat>(-face->glyph->bitmap_left),
                     static_cast<GLfloat>(rows - face->glyph->bitmap_top),
                     static_cast<GLfloat>(face->glyph->advance.x) / 64.0f, 0.0f,
                     bits.empty() ? nullptr : bits.data());
        }
        glEndList();
    }
    glPopClientAttrib();
    return true;
}

bool Font::UseOutlines(int first, int count, unsigned int listBase, float deviation,
                       float extrusion, GlyphMetrics* metrics) const {
    if (count <= 0 || !ContextIsCurrent()) return false;
    FT_Face face = face_->face;
    const double scale = 1.0 / face->units_per_EM;
    FT_Outline_Funcs funcs{};
    funcs.move_to = MoveTo;
    funcs.line_to = LineTo;
    funcs.conic_to = ConicTo;
    funcs.cubic_to = CubicTo;
    for (int i = 0; i < count; ++i) {
        GlyphMetrics m;
        Flattener flat;
        flat.scale = scale;
        if (deviation > 0) flat.tolerance = deviation;
        bool evenOdd = false;
        double outside = 1;
        const FT_UInt index = FT_Get_Char_Index(face, static_cast<FT_ULong>(first + i));
        if (index != 0 &&
            FT_Load_Glyph(face, index, FT_LOAD_NO_SCALE | FT_LOAD_NO_HINTING | FT_LOAD_NO_BITMAP) ==
                0 &&
            face->glyph->format == FT_GLYPH_FORMAT_OUTLINE) {
            FT_Outline* outline = &face->glyph->outline;
            FT_Outline_Decompose(outline, &funcs, &flat);
            evenOdd = (outline->flags & FT_OUTLINE_EVEN_ODD_FILL) != 0;
            outside = FT_Outline_Get_Orientation(outline) == FT_ORIENTATION_POSTSCRIPT ? -1 : 1;
            const FT_Glyph_Metrics& gm = face->glyph->metrics;
            m.blackBoxX = static_cast<float>(gm.width * scale);
            m.blackBoxY = static_cast<float>(gm.height * scale);
            m.originX = static_cast<float>(gm.horiBearingX * scale);
            m.originY = static_cast<float>(gm.horiBearingY * scale);
            m.cellIncX = static_cast<float>(gm.horiAdvance * scale);
        }
        for (Contour& c : flat.contours)
            if (c.size() > 1 && c.front() == c.back()) c.pop_back();
        std::erase_if(flat.contours, [](const Contour& c) { return c.size() < 3; });

        glNewList(listBase + i, GL_COMPILE);
        if (!flat.contours.empty()) {
            DrawFace(flat.contours, 0.0, 1.0, evenOdd);
            if (extrusion != 0) {
                DrawFace(flat.contours, -extrusion, -1.0, evenOdd);
                DrawSides(flat.contours, extrusion, outside);
            }
        }
        glTranslatef(m.cellIncX, m.cellIncY, 0.0f);
        glEndList();
        if (metrics) metrics[i] = m;
    }
    return true;
}

}  // namespace platform
