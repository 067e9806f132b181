#include "render/TessCallbacks.h"

#include "render/OpenGL.h"

namespace {

struct TessState {
    GLenum primitiveType = GL_TRIANGLES;
    int vertexCount = 0;  // vertices of the current primitive so far
    Vector corners[3];
    Vector normals[3];
    // Kept from one triangle to the next: a triangle whose texture mapping is
    // degenerate keeps the previous tangent space.
    Vector tangent{1, 0, 0};
    Vector binormal{0, 1, 0};
    TessObjectQueries queries;
};

TessState tess;

uint64_t TypeMaskOf(void* object) {
    if (!object || !tess.queries.typeMask) return 0;
    return tess.queries.typeMask(object);
}

// Gives the lighting program the triangle's tangent, binormal and normal.
void SetTangentSpace(const Vector* corners, const Vector* texCoords) {
    Vector flipped[3];
    for (int i = 0; i < 3; ++i) flipped[i].Set(texCoords[i].y, texCoords[i].x, 0, 1);
    tess.tangent.TriangleGradient(corners, texCoords);
    tess.binormal.TriangleGradient(corners, flipped);
    tess.tangent.Normalize();
    tess.binormal.Normalize();
    Vector edge1 = corners[1], edge2 = corners[2];
    edge1.Subtract(corners[0]);
    edge2.Subtract(corners[0]);
    Vector normal;
    normal.Cross(edge1, edge2);
    normal.Normalize();

    const GLEntryPoints& e = theGLEntryPoints;
    const double tangent[4] = {tess.tangent.x, tess.tangent.y, tess.tangent.z, 0};
    const double binormal[4] = {tess.binormal.x, tess.binormal.y, tess.binormal.z, 0};
    const double n[4] = {normal.x, normal.y, normal.z, 0};
    if (theOpenGL.nvVertexProgram) {
        if (!e.ProgramParameter4dvNV) return;
        e.ProgramParameter4dvNV(GL_VERTEX_PROGRAM_NV, 21, tangent);
        e.ProgramParameter4dvNV(GL_VERTEX_PROGRAM_NV, 22, binormal);
        e.ProgramParameter4dvNV(GL_VERTEX_PROGRAM_NV, 23, n);
    } else {
        if (!e.ProgramEnvParameter4dvARB) return;
        e.ProgramEnvParameter4dvARB(GL_VERTEX_PROGRAM_ARB, 2, tangent);
        e.ProgramEnvParameter4dvARB(GL_VERTEX_PROGRAM_ARB, 3, binormal);
        e.ProgramEnvParameter4dvARB(GL_VERTEX_PROGRAM_ARB, 4, n);
    }
}

void DrawTriangle(const Vector* const corners[3], const Vector* const normals[3], void* object) {
    const uint64_t mask = TypeMaskOf(object);
    Vector positions[3];
    Vector texCoords[3];
    for (int i = 0; i < 3; ++i) {
        positions[i] = *corners[i];
        texCoords[i].Set(0, 0, 0, 0);
        if ((mask & kTessTextureCoordinateMask) && tess.queries.textureCoordinate)
            texCoords[i] = tess.queries.textureCoordinate(object, positions[i]);
    }
    if (HasGLExtension(kExtVertexProgram)) SetTangentSpace(positions, texCoords);
    const bool vertexNormals = (mask & kTessVertexNormalsMask) != 0;
    glBegin(GL_TRIANGLES);
    for (int i = 0; i < 3; ++i) {
        if (vertexNormals) glNormal3dv(&normals[i]->x);
        TexCoord2dv(&texCoords[i].x);
        glVertex3d(positions[i].x, positions[i].y, positions[i].z);
    }
    glEnd();
}

void DrawSlots(int a, int b, int c, void* object) {
    const Vector* corners[3] = {&tess.corners[a], &tess.corners[b], &tess.corners[c]};
    const Vector* normals[3] = {&tess.normals[a], &tess.normals[b], &tess.normals[c]};
    DrawTriangle(corners, normals, object);
}

}  // namespace

void SetTessObjectQueries(const TessObjectQueries& queries) {
    tess.queries = queries;
}

void TessBegin(GLenum type, void* /*polygonData*/) {
    tess.primitiveType = type;
    tess.vertexCount = 0;
}

void TessVertex(void* vertexData, void* polygonData) {
    if (!vertexData) return;
    const TessVertexRecord& record = *static_cast<const TessVertexRecord*>(vertexData);
    // The slot this vertex fills: a strip keeps filling the last one once it has two.
    const int slot =
        tess.primitiveType == GL_TRIANGLE_STRIP && tess.vertexCount >= 2 ? 2 : tess.vertexCount;
    if (slot > 2) {
        tess.vertexCount = 0;  // an unknown primitive type never fills past three
        return;
    }
    tess.corners[slot] = Vector(record.x, record.y, record.z);
    if (TypeMaskOf(polygonData) & kTessVertexNormalsMask) tess.normals[slot] = record.normal;
    ++tess.vertexCount;

    switch (tess.primitiveType) {
        case GL_TRIANGLES:
            if (tess.vertexCount == 3) {
                DrawSlots(0, 1, 2, polygonData);
                tess.vertexCount = 0;
            }
            break;
        case GL_TRIANGLE_FAN:
            if (tess.vertexCount == 3) {
                DrawSlots(0, 1, 2, polygonData);
                tess.vertexCount = 2;  // corner 0 stays the centre
                tess.corners[1] = tess.corners[2];
                tess.normals[1] = tess.normals[2];
            }
            break;
        case GL_TRIANGLE_STRIP:
            if (tess.vertexCount >= 3) {
                if (tess.vertexCount % 2 == 1)
                    DrawSlots(0, 1, 2, polygonData);
                else
                    DrawSlots(1, 0, 2, polygonData);  // keeps the winding of the strip
                tess.corners[0] = tess.corners[1];
                tess.corners[1] = tess.corners[2];
                tess.normals[0] = tess.normals[1];
                tess.normals[1] = tess.normals[2];
            }
            break;
        default:
            if (tess.vertexCount == 3) tess.vertexCount = 0;
            break;
    }
}

void DrawTessTriangle(const Vector& c0, const Vector& c1, const Vector& c2, void* polygonData) {
    const Vector* corners[3] = {&c0, &c1, &c2};
    const Vector* normals[3] = {&tess.normals[0], &tess.normals[1], &tess.normals[2]};
    DrawTriangle(corners, normals, polygonData);
}
