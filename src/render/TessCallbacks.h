#pragma once

#include <GL/gl.h>

#include <cstdint>

#include "geometry/Vector.h"

// Callbacks of the GLU tessellator for flat polygons with holes. The tessellator's
// triangles, strips and fans are gathered into whole triangles, each drawn with its own
// tangent space (for the lighting vertex program) and with texture coordinates from the
// object that owns the surface. One tessellation at a time, on the render thread.

// What the surface code gives the tessellator for each contour point.
struct TessVertexRecord {
    double x, y, z;
    Vector normal;
};

// Type-mask bits of the owning object that the callbacks look at.
constexpr uint64_t kTessVertexNormalsMask = 0x8000000000ULL;
constexpr uint64_t kTessTextureCoordinateMask = 0x8B060000C01ULL;

// How the callbacks ask the owning object (the polygon data) for its type mask and for
// the texture coordinate of a point on its surface.
struct TessObjectQueries {
    uint64_t (*typeMask)(void* object) = nullptr;
    Vector (*textureCoordinate)(void* object, const Vector& point) = nullptr;
};
void SetTessObjectQueries(const TessObjectQueries& queries);

// GLU_TESS_BEGIN_DATA
void TessBegin(GLenum type, void* polygonData);
// GLU_TESS_VERTEX_DATA; `vertexData` is a TessVertexRecord.
void TessVertex(void* vertexData, void* polygonData);
// Draws one triangle with the per-corner normals gathered last (when the object gives
// normals).
void DrawTessTriangle(const Vector& c0, const Vector& c1, const Vector& c2, void* polygonData);
