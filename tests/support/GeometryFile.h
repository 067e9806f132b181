#pragma once

#include <array>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

// Writes model geometry token streams for tests: each call appends one token with its
// payload, little-endian.
//
//   GeometryFile g;
//   g.Vertices({0, 0, 0}, {1, 1, 1}, {0, 0, 0}, {{32767, 0, 0}, {0, 32767, 0}})
//    .Faces({{0, 1, 2, 7, 0}}).PartEnd().End();
//   g.Save(folder + "m.geo");
class GeometryFile {
public:
    using Triple = std::array<double, 3>;
    struct Face {
        uint32_t a, b, c;
        uint8_t edgeFlags;
        uint8_t smoothingGroup;
    };

    GeometryFile& Token(uint16_t t) { return U16(t); }
    GeometryFile& U16(uint16_t v) { return Raw(&v, 2); }
    GeometryFile& U32(uint32_t v) { return Raw(&v, 4); }
    GeometryFile& I16(int16_t v) { return Raw(&v, 2); }
    GeometryFile& Byte(uint8_t v) { return Raw(&v, 1); }
    GeometryFile& Double(double v) { return Raw(&v, 8); }
    GeometryFile& Doubles(const Triple& t) { return Double(t[0]).Double(t[1]).Double(t[2]); }
    GeometryFile& Text(const std::string& s) { return Raw(s.data(), s.size()); }

    // Token 1 with the first vertex and one record per further vertex.
    GeometryFile& Vertices(const Triple& first, const Triple& range, const Triple& offset,
                           const std::vector<std::array<int16_t, 3>>& steps) {
        Token(1)
            .U32(static_cast<uint32_t>(steps.size() + 1))
            .Doubles(first)
            .Doubles(range)
            .Doubles(offset);
        for (const auto& s : steps) I16(s[0]).I16(s[1]).I16(s[2]);
        return *this;
    }
    // A unit triangle in the file's x-y plane at height z: (0,0), (1,0), (0,1).
    GeometryFile& Triangle(double z = 0.0, uint8_t edgeFlags = 7) {
        Vertices({0, 0, z}, {1, 1, 1}, {0, 0, 0}, {{32767, 0, 0}, {0, 32767, 0}});
        return Faces({{0, 1, 2, edgeFlags, 0}});
    }
    GeometryFile& Faces(const std::vector<Face>& faces) {
        Token(2).U32(static_cast<uint32_t>(faces.size()));
        for (const Face& f : faces)
            U32(f.a).U32(f.b).U32(f.c).Byte(f.edgeFlags).Byte(f.smoothingGroup);
        return *this;
    }
    GeometryFile& TexCoords(std::array<double, 2> first, std::array<double, 2> range,
                            std::array<double, 2> offset,
                            const std::vector<std::array<int8_t, 2>>& steps) {
        Token(3).U32(static_cast<uint32_t>(steps.size() + 1));
        Double(first[0]).Double(first[1]).Double(range[0]).Double(range[1]);
        Double(offset[0]).Double(offset[1]);
        for (const auto& s : steps)
            Byte(static_cast<uint8_t>(s[0])).Byte(static_cast<uint8_t>(s[1]));
        return *this;
    }
    GeometryFile& TexIndices(const std::vector<std::array<uint32_t, 3>>& indices) {
        Token(4).U32(static_cast<uint32_t>(indices.size()));
        for (const auto& i : indices) U32(i[0]).U32(i[1]).U32(i[2]);
        return *this;
    }
    GeometryFile& OutlinePoints(const std::vector<Triple>& points, uint16_t token = 9) {
        Token(token).U32(static_cast<uint32_t>(points.size()));
        for (const auto& p : points) Doubles(p);
        return U16(0);
    }
    // Token 12; the transform is the identity with the pivot in its last row.
    GeometryFile& Animation(uint8_t kind, const Triple& pivot, const Triple& axis, double radians,
                            const Triple& translation) {
        Token(12).Byte(kind);
        for (int i = 0; i < 12; ++i) Double(i % 5 == 0 ? 1.0 : 0.0);
        Doubles(pivot).Double(1.0);
        return Doubles(axis).Double(radians).Doubles(translation);
    }
    GeometryFile& MaterialRef(int16_t index) { return Token(13).I16(index); }
    GeometryFile& PartEnd() { return Token(14); }
    GeometryFile& GroupBegin() { return Token(10); }
    GeometryFile& LevelEnd() { return Token(11); }
    GeometryFile& SubObject(const std::string& name) { return Token(19).Text(name + ";"); }
    GeometryFile& SubObjectTransform(const std::array<double, 16>& m) {
        Token(21);
        for (double v : m) Double(v);
        return *this;
    }
    GeometryFile& End() { return Token(0x00FF); }

    bool Save(const std::string& path) const {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
        return static_cast<bool>(out);
    }

    std::vector<uint8_t> bytes;

private:
    GeometryFile& Raw(const void* p, size_t n) {
        const auto* b = static_cast<const uint8_t*>(p);
        bytes.insert(bytes.end(), b, b + n);
        return *this;
    }
};
