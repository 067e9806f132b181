#include "model/ModelGeometry.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <mutex>

#include "control/BaseControl.h"
#include "foundation/Trace.h"
#include "model/BaseModel.h"
#include "model/Part.h"
#include "platform/GLContext.h"
#include "render/Material.h"
#include "render/OpenGL.h"
#include "render/Window.h"

namespace {

constexpr double kVertexStep = 1.0 / 32767.0;
constexpr double kTexCoordStep = 1.0 / 127.0;
constexpr double kRadiansToDegrees = 57.29577951308;

std::mutex activatorMutex;
std::function<void()> contextActivator;

// One decoded coordinate: `first` moved by the quantised step (every vertex is relative
// to the first one; the offset cancels out but for rounding).
double Decode(double first, double range, double offset, int step, double unit) {
    const double magnitude = std::fabs(static_cast<double>(step)) * unit * range;
    const double q = step > 0 ? magnitude : -magnitude;
    return ((first + offset) + q) - offset;
}

uint16_t LittleU16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

uint32_t LittleU32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

double LittleDouble(const uint8_t* p) {
    uint64_t bits = 0;
    for (int i = 7; i >= 0; --i) bits = (bits << 8) | p[i];
    double value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

struct TexCoord {
    double s = 0.0, t = 0.0;
};

}  // namespace

// ---- SmoothNormals --------------------------------------------------------------------

SmoothNormals::SmoothNormals(const std::vector<Vector>& vertices,
                             const std::vector<GeometryFace>& faces)
    : faces_(faces), faceNormals_(faces.size()) {
    const size_t n = vertices.size();
    bool smooth = false;
    for (size_t f = 0; f < faces.size(); ++f) {
        const GeometryFace& face = faces[f];
        if (face.a >= n || face.b >= n || face.c >= n) {
            faceNormals_[f].Set(0.0, 0.0, 0.0, 1.0);
            continue;
        }
        const Vector points[3] = {vertices[face.a], vertices[face.b], vertices[face.c]};
        faceNormals_[f].PlaneNormalFromPoints(points);
        if (face.smoothingGroup != 0) smooth = true;
    }
    if (!smooth) return;

    // Each face once per distinct corner, in face order.
    firstFace_.assign(n + 1, 0);
    auto forCorners = [&](const GeometryFace& face, auto&& use) {
        if (face.a >= n || face.b >= n || face.c >= n) return;
        use(face.a);
        if (face.b != face.a) use(face.b);
        if (face.c != face.a && face.c != face.b) use(face.c);
    };
    for (const GeometryFace& face : faces)
        forCorners(face, [&](uint32_t v) { ++firstFace_[v + 1]; });
    for (size_t v = 0; v < n; ++v) firstFace_[v + 1] += firstFace_[v];
    incidentFaces_.resize(firstFace_[n]);
    std::vector<uint32_t> fill(firstFace_.begin(), firstFace_.end() - 1);
    for (uint32_t f = 0; f < faces.size(); ++f)
        forCorners(faces[f], [&](uint32_t v) { incidentFaces_[fill[v]++] = f; });
}

Vector SmoothNormals::Normal(uint32_t face, uint32_t vertex) {
    const uint8_t group = faces_[face].smoothingGroup;
    if (group == 0 || vertex + 1 >= firstFace_.size()) return faceNormals_[face];
    // Every face of the group at this corner takes part, so the answer is the corner's
    // and the group's, whichever face asks.
    const uint64_t key = (static_cast<uint64_t>(vertex) << 8) | group;
    auto cached = std::lower_bound(cache_.begin(), cache_.end(), key,
                                   [](const auto& entry, uint64_t k) { return entry.first < k; });
    if (cached != cache_.end() && cached->first == key) return cached->second;

    Vector collected[kMaxNormals];
    int count = 0;
    for (uint32_t i = firstFace_[vertex]; i < firstFace_[vertex + 1] && count < kMaxNormals; ++i) {
        const uint32_t j = incidentFaces_[i];
        if (faces_[j].smoothingGroup != group) continue;
        const Vector& normal = faceNormals_[j];
        bool duplicate = false;
        for (int k = 0; k < count && !duplicate; ++k)
            duplicate = std::fabs(normal.Dot(collected[k]) - 1.0) < 0.0001;
        if (!duplicate) collected[count++] = normal;
    }
    Vector result = faceNormals_[face];
    if (count > 0) {
        result.Set(0.0, 0.0, 0.0, 1.0);
        for (int k = 0; k < count; ++k) result.Add(collected[k]);
        result.Normalize();
    }
    cache_.insert(cached, {key, result});
    return result;
}

// ---- GeometryReader -------------------------------------------------------------------

struct GeometryReader::Level {
    std::vector<Vector> vertices;
    std::vector<GeometryFace> faces;
    std::vector<TexCoord> texCoords;
    std::vector<uint32_t> texIndices;  // three per face
    int32_t materialRef = 0;
    std::unique_ptr<PartAnimation> animation;
    uint8_t faceViewer = 0;
    uint8_t faceViewerUpright = 0;
    bool geometrySeen = false;
};

void GeometryReader::SetContextActivator(std::function<void()> activate) {
    std::lock_guard<std::mutex> guard(activatorMutex);
    contextActivator = std::move(activate);
}

void GeometryReader::BeginGLWork() {
    BaseControl* control = theControl();
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

void GeometryReader::EndGLWork() {
    if (BaseControl* control = theControl()) control->UnlockRender();
}

GeometryReader::GeometryReader(BaseModel& model, FILE* file) : model_(model), file_(file) {
    if (!file_) {
        stopped_ = true;
        return;
    }
    // What is left of the file bounds every count read from it; a stream whose size
    // cannot be known is bounded by the record caps alone.
    remaining_ = UINT64_MAX;
    const long here = std::ftell(file_);
    if (here >= 0 && std::fseek(file_, 0, SEEK_END) == 0) {
        const long end = std::ftell(file_);
        if (end >= here) remaining_ = static_cast<uint64_t>(end - here);
        std::fseek(file_, here, SEEK_SET);
    }
}

GeometryReader::GeometryReader(BaseModel& model, const uint8_t* data, size_t size)
    : model_(model), data_(data), remaining_(data ? size : 0) {
    if (!data_) stopped_ = true;
}

void GeometryReader::Stop(const char* why) {
    if (why) theTrace().Write(why);
    stopped_ = true;
}

bool GeometryReader::Read(void* out, size_t n) {
    if (stopped_) return false;
    if (n > remaining_) {
        stopped_ = true;
        return false;
    }
    if (data_) {
        std::memcpy(out, data_, n);
        data_ += n;
    } else if (std::fread(out, 1, n, file_) != n) {
        stopped_ = true;
        return false;
    }
    remaining_ -= n;
    return true;
}

bool GeometryReader::Skip(uint64_t n) {
    if (stopped_) return false;
    if (n > remaining_) {
        stopped_ = true;
        return false;
    }
    if (data_) {
        data_ += n;
    } else if (std::fseek(file_, static_cast<long>(n), SEEK_CUR) != 0) {
        stopped_ = true;
        return false;
    }
    remaining_ -= n;
    return true;
}

bool GeometryReader::ReadU16(uint16_t& v) {
    uint8_t b[2];
    if (!Read(b, sizeof b)) return false;
    v = LittleU16(b);
    return true;
}

bool GeometryReader::ReadU32(uint32_t& v) {
    uint8_t b[4];
    if (!Read(b, sizeof b)) return false;
    v = LittleU32(b);
    return true;
}

bool GeometryReader::ReadDoubles(double* out, size_t n) {
    uint8_t b[8 * 16];
    if (n > 16 || !Read(b, 8 * n)) return false;
    for (size_t i = 0; i < n; ++i) out[i] = LittleDouble(b + 8 * i);
    return true;
}

bool GeometryReader::ReadCount(uint32_t& count, uint64_t recordSize, uint64_t extra,
                               uint64_t minimum) {
    if (!ReadU32(count)) return false;
    const uint64_t records = std::max<uint64_t>(count, minimum);
    if (count > kMaxRecords || records * recordSize + extra > remaining_) {
        theTrace().WriteFormat("Geometry count %u does not fit the file", count);
        Stop(nullptr);
        return false;
    }
    return true;
}

void GeometryReader::ReadVertices(Level& level) {
    uint32_t n = 0;
    // The first vertex, the ranges and the offsets come even for no vertex.
    if (!ReadCount(n, 6, 72 - 6, 1)) return;
    double head[9];
    if (!ReadDoubles(head, 9)) return;
    const double* first = head;
    const double* range = head + 3;
    const double* offset = head + 6;
    level.vertices.clear();
    level.vertices.reserve(n);
    if (n > 0) level.vertices.emplace_back(first[0], first[2], -first[1]);
    std::vector<uint8_t> records(static_cast<size_t>(n > 0 ? n - 1 : 0) * 6);
    if (!records.empty() && !Read(records.data(), records.size())) {
        level.vertices.clear();
        return;
    }
    for (uint32_t i = 1; i < n; ++i) {
        const uint8_t* r = records.data() + static_cast<size_t>(i - 1) * 6;
        double c[3];
        for (int axis = 0; axis < 3; ++axis) {
            const auto step = static_cast<int16_t>(LittleU16(r + 2 * axis));
            c[axis] = Decode(first[axis], range[axis], offset[axis], step, kVertexStep);
        }
        level.vertices.emplace_back(c[0], c[2], -c[1]);
    }
    level.geometrySeen = true;
}

void GeometryReader::ReadFaces(Level& level) {
    uint32_t n = 0;
    if (!ReadCount(n, 14, 0)) return;
    std::vector<uint8_t> records(static_cast<size_t>(n) * 14);
    if (!records.empty() && !Read(records.data(), records.size())) return;
    level.faces.assign(n, GeometryFace());
    for (uint32_t i = 0; i < n; ++i) {
        const uint8_t* r = records.data() + static_cast<size_t>(i) * 14;
        GeometryFace& face = level.faces[i];
        face.a = LittleU32(r);
        face.b = LittleU32(r + 4);
        face.c = LittleU32(r + 8);
        face.edgeFlags = r[12];
        face.smoothingGroup = r[13];
    }
}

void GeometryReader::ReadTexCoords(Level& level) {
    uint32_t n = 0;
    if (!ReadCount(n, 2, 48 - 2, 1)) return;
    double head[6];
    if (!ReadDoubles(head, 6)) return;
    level.texCoords.clear();
    level.texCoords.reserve(n);
    if (n > 0) level.texCoords.push_back({head[0], head[1]});
    std::vector<uint8_t> records(static_cast<size_t>(n > 0 ? n - 1 : 0) * 2);
    if (!records.empty() && !Read(records.data(), records.size())) {
        level.texCoords.clear();
        return;
    }
    for (uint32_t i = 1; i < n; ++i) {
        const uint8_t* r = records.data() + static_cast<size_t>(i - 1) * 2;
        TexCoord tc;
        tc.s = Decode(head[0], head[2], head[4], static_cast<int8_t>(r[0]), kTexCoordStep);
        tc.t = Decode(head[1], head[3], head[5], static_cast<int8_t>(r[1]), kTexCoordStep);
        level.texCoords.push_back(tc);
    }
    level.geometrySeen = true;
}

void GeometryReader::ReadTexIndices(Level& level) {
    uint32_t n = 0;
    if (!ReadCount(n, 12, 0)) return;
    std::vector<uint8_t> records(static_cast<size_t>(n) * 12);
    if (!records.empty() && !Read(records.data(), records.size())) return;
    level.texIndices.resize(static_cast<size_t>(n) * 3);
    for (size_t i = 0; i < level.texIndices.size(); ++i)
        level.texIndices[i] = LittleU32(records.data() + 4 * i);
}

void GeometryReader::ReadOutlinePoints() {
    uint32_t n = 0;
    if (!ReadCount(n, 24, 2)) return;
    std::vector<uint8_t> records(static_cast<size_t>(n) * 24);
    if (!records.empty() && !Read(records.data(), records.size())) return;
    std::vector<Vector> points;
    points.reserve(n);
    for (uint32_t i = 0; i < n; ++i) {
        const uint8_t* r = records.data() + static_cast<size_t>(i) * 24;
        points.emplace_back(LittleDouble(r), LittleDouble(r + 8), LittleDouble(r + 16));
    }
    if (!Skip(2)) return;
    model_.SetOutlinePoints(std::move(points));
}

std::unique_ptr<PartAnimation> GeometryReader::ReadAnimation() {
    uint8_t kind = 0;
    double transform[16];
    double rest[7];
    if (!Read(&kind, 1) || !ReadDoubles(transform, 16) || !ReadDoubles(rest, 7)) return nullptr;
    auto animation = std::make_unique<PartAnimation>();
    animation->kind = kind;
    std::memcpy(animation->transform, transform, sizeof transform);
    animation->axis.Set(rest[0], rest[1], rest[2], 1.0);
    animation->angle = rest[3] * kRadiansToDegrees;
    animation->translation.Set(rest[4], rest[5], rest[6], 1.0);
    return animation;
}

void GeometryReader::ReadMaterialRef(Level& level) {
    uint8_t b[2];
    if (!Read(b, sizeof b)) return;
    int32_t ref = static_cast<int16_t>(LittleU16(b));
    const int64_t count = model_.materialCount;
    POSTCONDITION(ref < count, "MaterialRef too high");
    if (ref < 0 || ref > count - 1) ref = 0;
    level.materialRef = ref;
}

bool GeometryReader::ReadSubObjectName(char* name, size_t size) {
    size_t length = 0;
    for (;;) {
        char c;
        if (!Read(&c, 1)) return false;
        if (c == ';') break;
        // A longer name keeps its first bytes; the rest is passed over.
        if (length + 1 < size && length < kMaxSubObjectName) name[length++] = c;
    }
    name[length] = 0;
    return true;
}

void GeometryReader::ReadSubObjectTransform(SubObjectPart* part) {
    double m[16];
    if (!ReadDoubles(m, 16) || !part) return;
    for (int row = 0; row < 4; ++row) {
        const double* r = m + 4 * row;
        part->transform[4 * row + 0] = r[0];
        part->transform[4 * row + 1] = r[2];
        part->transform[4 * row + 2] = -r[1];
        part->transform[4 * row + 3] = r[3];
    }
}

void GeometryReader::ReadLevel(LinkedList& partList, PartGroup* parentGroup,
                               SubObjectPart* subObjectPart, int depth) {
    Level level;
    while (!stopped_) {
        uint16_t token = 0;
        if (remaining_ == 0 || !ReadU16(token)) {
            stopped_ = true;
            return;
        }
        switch (token) {
            case GeometryToken::kVertices:
                ReadVertices(level);
                break;
            case GeometryToken::kFaces:
                ReadFaces(level);
                break;
            case GeometryToken::kTexCoords:
                ReadTexCoords(level);
                break;
            case GeometryToken::kTexIndices:
                ReadTexIndices(level);
                break;
            case GeometryToken::kIgnored:
                break;
            case GeometryToken::kOutlinePoints:
            case GeometryToken::kOutlinePoints2:
                ReadOutlinePoints();
                break;
            case GeometryToken::kGroupBegin:
            case GeometryToken::kSubObjectBegin: {
                if (depth + 1 >= kMaxDepth) {
                    Stop("Geometry nesting too deep");
                    return;
                }
                char name[SubObjectPart::kNameSize] = {};
                if (token == GeometryToken::kSubObjectBegin &&
                    !ReadSubObjectName(name, sizeof name))
                    return;
                PartGroup* group;
                SubObjectPart* inner = subObjectPart;
                if (token == GeometryToken::kGroupBegin) {
                    group = new PartGroup(&model_);
                } else {
                    inner = new SubObjectPart(name, &model_);
                    group = inner;
                }
                partList.Append(group);
                ReadLevel(group->GetMembers(), group, inner, depth + 1);
                if (token == GeometryToken::kGroupBegin)
                    group->SetShowOpen(model_.openInBlueprint != 0);
                break;
            }
            case GeometryToken::kLevelEnd:
            case GeometryToken::kLevelEnd2:
                return;
            case GeometryToken::kAnimation: {
                auto animation = ReadAnimation();
                if (!animation) break;
                if (parentGroup && !level.geometrySeen)
                    parentGroup->SetAnimation(std::move(animation));
                else
                    level.animation = std::move(animation);
                break;
            }
            case GeometryToken::kMaterialRef:
                ReadMaterialRef(level);
                break;
            case GeometryToken::kPartEnd:
                BuildPart(level, partList);
                break;
            case GeometryToken::kFaceViewer:
                level.faceViewer = 1;
                break;
            case GeometryToken::kFaceViewerUpright:
                level.faceViewerUpright = 1;
                break;
            case GeometryToken::kSubObjectTransform:
                ReadSubObjectTransform(subObjectPart);
                break;
            case GeometryToken::kEnd:
                stopped_ = true;
                return;
            default:
                POSTCONDITION(false, "Invalid token reported.");
                break;
        }
    }
}

void GeometryReader::BuildPart(Level& level, LinkedList& partList) {
    auto* part = new Part(&model_);
    part->SetAnimation(std::move(level.animation));
    part->faceViewer = level.faceViewer;
    part->faceViewerUpright = level.faceViewerUpright;
    level.faceViewer = level.faceViewerUpright = 0;

    const std::vector<Vector>& vertices = level.vertices;
    if (!vertices.empty()) {
        BoundingBox around;
        around.SetFromPoints(vertices.data(),
                             static_cast<int>(std::min<size_t>(vertices.size(), INT32_MAX)));
        part->centre = around.min.Midpoint(around.max);
    }

    BeginGLWork();
    const int32_t ref = level.materialRef < 0 ? 0 : level.materialRef;
    if (model_.materials && static_cast<uint32_t>(ref) < model_.materialCount) {
        part->material = &model_.materials[ref];
        if (part->material->alpha < 1.0) model_.hasTransparentParts = 1;
        if (part->material->hasAlphaMap) model_.hasClearPart = 1;
    }
    const bool textured = !level.texIndices.empty();
    if (!textured) part->textured = 0;

    const size_t vertexCount = vertices.size();
    const std::vector<GeometryFace>& faces = level.faces;
    auto valid = [&](const GeometryFace& f) {
        return f.a < vertexCount && f.b < vertexCount && f.c < vertexCount;
    };
    auto texCoordOf = [&](size_t face, int corner) {
        const size_t at = face * 3 + static_cast<size_t>(corner);
        if (at < level.texIndices.size() && level.texIndices[at] < level.texCoords.size())
            return level.texCoords[level.texIndices[at]];
        return TexCoord();
    };

    if (platform::GLContext::IsAnyCurrent()) {
        SmoothNormals normals(vertices, faces);
        BaseControl* control = theControl();
        part->faceList = glGenLists(1);
        glNewList(part->faceList, GL_COMPILE);
        if (control && control->radeonRenderer) {
            std::vector<double> positions, normalArray, coords;
            std::vector<GLuint> indices;
            for (size_t f = 0; f < faces.size(); ++f) {
                if (!valid(faces[f])) continue;
                const uint32_t corners[3] = {faces[f].a, faces[f].b, faces[f].c};
                for (int k = 0; k < 3; ++k) {
                    const Vector& v = vertices[corners[k]];
                    const Vector n = normals.Normal(static_cast<uint32_t>(f), corners[k]);
                    positions.insert(positions.end(), {v.x, v.y, v.z, v.w});
                    normalArray.insert(normalArray.end(), {n.x, n.y, n.z});
                    if (textured) {
                        const TexCoord tc = texCoordOf(f, k);
                        coords.insert(coords.end(), {tc.s, tc.t});
                    }
                    indices.push_back(static_cast<GLuint>(indices.size()));
                }
            }
            if (!indices.empty()) {
                glEnableClientState(GL_VERTEX_ARRAY);
                glEnableClientState(GL_NORMAL_ARRAY);
                glVertexPointer(4, GL_DOUBLE, 0, positions.data());
                glNormalPointer(GL_DOUBLE, 0, normalArray.data());
                if (textured) {
                    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
                    glTexCoordPointer(2, GL_DOUBLE, 0, coords.data());
                }
                glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(indices.size()), GL_UNSIGNED_INT,
                               indices.data());
                glDisableClientState(GL_VERTEX_ARRAY);
                glDisableClientState(GL_NORMAL_ARRAY);
                if (textured) glDisableClientState(GL_TEXTURE_COORD_ARRAY);
            }
        } else {
            for (size_t f = 0; f < faces.size(); ++f) {
                if (!valid(faces[f])) continue;
                const uint32_t corners[3] = {faces[f].a, faces[f].b, faces[f].c};
                glBegin(GL_TRIANGLES);
                for (int k = 0; k < 3; ++k) {
                    const Vector n = normals.Normal(static_cast<uint32_t>(f), corners[k]);
                    glNormal3d(n.x, n.y, n.z);
                    if (textured) {
                        const TexCoord tc = texCoordOf(f, k);
                        TexCoord2d(tc.s, tc.t);
                    }
                    const Vector& v = vertices[corners[k]];
                    glVertex3d(v.x, v.y, v.z);
                }
                glEnd();
            }
        }
        glEndList();

        part->edgeList = glGenLists(1);
        glNewList(part->edgeList, GL_COMPILE);
        for (const GeometryFace& face : faces) {
            if (face.edgeFlags == 0 || !valid(face)) continue;
            const Vector& a = vertices[face.a];
            const Vector& b = vertices[face.b];
            const Vector& c = vertices[face.c];
            glBegin(GL_LINES);
            if (face.edgeFlags & 1) {
                glVertex3d(a.x, a.y, a.z);
                glVertex3d(b.x, b.y, b.z);
            }
            if (face.edgeFlags & 2) {
                glVertex3d(b.x, b.y, b.z);
                glVertex3d(c.x, c.y, c.z);
            }
            if (face.edgeFlags & 4) {
                glVertex3d(a.x, a.y, a.z);
                glVertex3d(c.x, c.y, c.z);
            }
            glEnd();
        }
        glEndList();
    }

    part->SetShowOpen(model_.openInBlueprint != 0);
    partList.Append(part);
    EndGLWork();
    model_.triangleCount += static_cast<uint32_t>(faces.size());

    level.texCoords.clear();
    level.texIndices.clear();
    level.vertices.clear();
    level.faces.clear();
    level.geometrySeen = false;
}
