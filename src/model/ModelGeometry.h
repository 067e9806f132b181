#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

#include "geometry/Vector.h"

class BaseModel;
class LinkedList;
class PartAnimation;
class PartGroup;
class SubObjectPart;

// Model geometry files: a stream of little-endian 16-bit tokens, each followed by its
// payload, without a header. Positions in the file are Z-up; what becomes geometry is
// turned into the editor's Y-up space as (x, y, z) -> (x, z, -y).
namespace GeometryToken {
constexpr uint16_t kVertices = 1;
constexpr uint16_t kFaces = 2;
constexpr uint16_t kTexCoords = 3;
constexpr uint16_t kTexIndices = 4;
constexpr uint16_t kIgnored = 7;
constexpr uint16_t kOutlinePoints = 9;
constexpr uint16_t kGroupBegin = 10;
constexpr uint16_t kLevelEnd = 11;
constexpr uint16_t kAnimation = 12;
constexpr uint16_t kMaterialRef = 13;
constexpr uint16_t kPartEnd = 14;
constexpr uint16_t kFaceViewer = 15;
constexpr uint16_t kFaceViewerUpright = 16;
constexpr uint16_t kOutlinePoints2 = 18;
constexpr uint16_t kSubObjectBegin = 19;
constexpr uint16_t kLevelEnd2 = 20;
constexpr uint16_t kSubObjectTransform = 21;
constexpr uint16_t kEnd = 0x00FF;
}  // namespace GeometryToken

// One triangle of a level: corners into the level's vertex list, which edges the edge
// list draws (bit 0 a-b, bit 1 b-c, bit 2 a-c) and its smoothing group (0: flat).
struct GeometryFace {
    uint32_t a = 0, b = 0, c = 0;
    uint8_t edgeFlags = 0;
    uint8_t smoothingGroup = 0;
};

// The vertex normals of one level's faces. Faces that share a corner and a non-zero
// smoothing group share that corner's normal: the normalised sum of their distinct unit
// normals (at most 100; normals whose dot product with one already taken lies within
// 0.0001 of 1 count once). A flat face, or a corner index outside the vertices, gets the
// face's own normal (zero for a face it cannot make).
class SmoothNormals {
public:
    static constexpr int kMaxNormals = 100;

    SmoothNormals(const std::vector<Vector>& vertices, const std::vector<GeometryFace>& faces);
    Vector Normal(uint32_t face, uint32_t vertex);
    const Vector& FaceNormal(uint32_t face) const { return faceNormals_[face]; }

private:
    const std::vector<GeometryFace>& faces_;
    std::vector<Vector> faceNormals_;
    // Faces of each vertex in face order (each face once), as offsets into one array.
    std::vector<uint32_t> firstFace_;
    std::vector<uint32_t> incidentFaces_;
    // Results by vertex and group.
    std::vector<std::pair<uint64_t, Vector>> cache_;
};

// Reads the token stream of one open file into a model's parts, compiling each part's
// triangles into display lists at once (under the render lock, with the main view's
// context current).
//
// Everything the file says is checked before it is used: a count whose records would
// reach past the end of the file (or past kMaxRecords) ends the reading there, as the end
// of the file does; face corners and texture indices outside their lists draw nothing;
// nesting deeper than kMaxDepth ends the reading. The parts completed before stay.
class GeometryReader {
public:
    static constexpr uint32_t kMaxRecords = 1u << 22;
    static constexpr int kMaxDepth = 64;
    static constexpr size_t kMaxSubObjectName = 127;

    GeometryReader(BaseModel& model, FILE* file);
    // Reads from `size` bytes in memory, which stay for the reader's life.
    GeometryReader(BaseModel& model, const uint8_t* data, size_t size);

    // Reads one level into `partList`; see BaseModel::ReadGeometryTokens.
    void ReadLevel(LinkedList& partList, PartGroup* parentGroup, SubObjectPart* subObjectPart,
                   int depth = 0);
    // The stream ended (end token, end of file, or a refused count).
    bool Stopped() const { return stopped_; }

    // Who makes an OpenGL context current for compiling and freeing display lists on any
    // thread. Unset, the control's main view window is activated (or, without one, the
    // thread's current context used).
    static void SetContextActivator(std::function<void()> activate);
    // Takes the render lock and makes the context current as set above.
    static void BeginGLWork();
    static void EndGLWork();

private:
    struct Level;

    bool Read(void* out, size_t n);
    bool Skip(uint64_t n);
    bool ReadU16(uint16_t& v);
    bool ReadU32(uint32_t& v);
    bool ReadDoubles(double* out, size_t n);
    // Reads a count and checks that `count` records of `recordSize` bytes plus `extra`
    // bytes fit in the file; false (reading stops) when not.
    bool ReadCount(uint32_t& count, uint64_t recordSize, uint64_t extra, uint64_t minimum = 0);
    void Stop(const char* why);

    void ReadVertices(Level& level);
    void ReadFaces(Level& level);
    void ReadTexCoords(Level& level);
    void ReadTexIndices(Level& level);
    void ReadOutlinePoints();
    std::unique_ptr<PartAnimation> ReadAnimation();
    void ReadMaterialRef(Level& level);
    bool ReadSubObjectName(char* name, size_t size);
    void ReadSubObjectTransform(SubObjectPart* part);
    void BuildPart(Level& level, LinkedList& partList);

    BaseModel& model_;
    FILE* file_ = nullptr;
    // The bytes not read yet, when reading from memory.
    const uint8_t* data_ = nullptr;
    uint64_t remaining_ = 0;
    bool stopped_ = false;
};
