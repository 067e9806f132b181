#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "geometry/BoundingBox.h"
#include "geometry/Vector.h"

class BaseModel;
class BaseMolding;
class KeyDataList;

// The cross-section a molding sweeps along its path. Outlines lie in the plane x = 0:
// y runs across the path, z away from the base line z = 0; every point and normal has
// w = 1. Normal i belongs to the edge from point i to point (i + 1) % count.
//
// Each kind regenerates its outline from two sizes, radius0 (out of the base line) and
// radius1 (across it). The storage of the fixed kinds is sized once when they are made,
// so a regeneration never allocates.
class ParametricShape {
public:
    // Shape codes, as written in "shapeType".
    enum Type : int32_t {
        kRect = 1,
        kOval = 2,
        kTriangle = 3,
        kTube = 4,
        kSquareTube = 5,
        kTriangularTube = 6,
        kIrregular = 7,
        kRoundRect = 8,
    };

    virtual ~ParametricShape();
    ParametricShape(const ParametricShape&) = delete;
    ParametricShape& operator=(const ParametricShape&) = delete;

    // Both sizes times the factor (each through SetParameter).
    virtual void Scale(double factor);
    // The texture coordinate (u, v, 0) of a swept point p that belongs to outline vertex k.
    virtual Vector GetTextureCoord(const Vector& p, int k) const;
    // Appends "shapeList" to `list` with the code and both sizes.
    virtual void Save(KeyDataList& list);
    // Reads "radius0" and "radius1" of a "shapeList" (missing or unusable keys keep
    // the size) and regenerates.
    virtual void Load(const KeyDataList& list);
    virtual bool IsDepthCentered() const = 0;
    virtual bool IsWidthCentered() const = 0;
    virtual void Regenerate() = 0;

    // Sets radius0 (i = 0) or radius1 (i = 1) when the value is above 0, regenerates and
    // makes it the default of new moldings. Zero, negative and NaN values change nothing.
    void SetParameter(int i, double value);
    // The area the outline encloses.
    double ComputeArea() const;
    // True for the tube codes 4 and 6.
    static bool IsTubeType(int code) { return code == kTube || code == kTriangularTube; }

    int GetType() const { return shapeType; }
    int GetCount() const { return count; }
    const Vector* GetPoints() const { return points.data(); }
    const Vector* GetNormals() const { return normals.data(); }
    double GetRadius0() const { return radius0; }
    double GetRadius1() const { return radius1; }
    bool IsTube() const { return isTube != 0; }
    // The molding that gave the shape a profile file; null otherwise. Not owned.
    BaseMolding* GetOwner() const { return owner.load(); }
    void SetOwner(BaseMolding* molding) { owner.store(molding); }

    // A new shape of that code, its sizes taken from `previous` when given (else from the
    // molding defaults); null for an unknown code.
    static std::unique_ptr<ParametricShape> Make(int code, const ParametricShape* previous);

protected:
    // Sizes from `previous`, or from doubles 0 and 1 of the molding defaults.
    ParametricShape(int type, int capacity, const ParametricShape* previous);
    // Sizes the storage for `capacity` points and normals.
    void Reserve(int capacity);

    std::vector<Vector> points;
    std::vector<Vector> normals;
    int32_t count = 0;
    int32_t shapeType = 0;
    double radius0 = 1.0;
    double radius1 = 1.0;
    // The sublist the last Save wrote; not owned.
    KeyDataList* shapeList = nullptr;
    uint8_t isTube = 1;
    // Read by a loading thread of the irregular kind.
    std::atomic<BaseMolding*> owner{nullptr};
};

// Code 1: a rectangle standing on the base line.
class ParametricRect : public ParametricShape {
public:
    explicit ParametricRect(const ParametricShape* previous = nullptr);
    Vector GetTextureCoord(const Vector& p, int k) const override;
    bool IsDepthCentered() const override { return false; }
    bool IsWidthCentered() const override { return true; }
    void Regenerate() override;

protected:
    ParametricRect(int type, const ParametricShape* previous);
};

// Code 5: a rectangle centred on the base line.
class ParametricSquareTube : public ParametricRect {
public:
    explicit ParametricSquareTube(const ParametricShape* previous = nullptr);
    bool IsDepthCentered() const override { return true; }
    void Regenerate() override;
};

// Code 2: a half ellipse on the base line.
class ParametricOval : public ParametricShape {
public:
    explicit ParametricOval(const ParametricShape* previous = nullptr);
    bool IsDepthCentered() const override { return false; }
    bool IsWidthCentered() const override { return true; }
    void Regenerate() override;
};

// Code 3: a right triangle on the base line.
class ParametricTriangle : public ParametricShape {
public:
    explicit ParametricTriangle(const ParametricShape* previous = nullptr);
    Vector GetTextureCoord(const Vector& p, int k) const override;
    void Save(KeyDataList& list) override;
    void Load(const KeyDataList& list) override;
    bool IsDepthCentered() const override { return false; }
    bool IsWidthCentered() const override { return true; }
    void Regenerate() override;

    uint8_t rightTriangle = 1;

protected:
    ParametricTriangle(int type, bool right, const ParametricShape* previous);
};

// Code 6: a triangle centred on the base line.
class ParametricTriangularTube : public ParametricTriangle {
public:
    explicit ParametricTriangularTube(const ParametricShape* previous = nullptr);
    bool IsDepthCentered() const override { return true; }
};

// Code 4: a full ellipse centred on the base line; the last point repeats the first.
class ParametricTube : public ParametricShape {
public:
    explicit ParametricTube(const ParametricShape* previous = nullptr);
    bool IsDepthCentered() const override { return true; }
    bool IsWidthCentered() const override { return true; }
    void Regenerate() override;
};

// Code 8: a rectangle with rounded upper corners.
class ParametricRoundRect : public ParametricShape {
public:
    explicit ParametricRoundRect(const ParametricShape* previous = nullptr);
    bool IsDepthCentered() const override { return false; }
    bool IsWidthCentered() const override { return true; }
    void Regenerate() override;
};

// Code 7: an outline read from a catalogue file, stretched so that its half-extents
// across and out of the base line are radius1 and radius0. Until a file arrives it is a
// square.
//
// Files are read on threads of the shape's own. Each thread fetches outside the render
// lock and hands its outline over under it (only the newest load started does: a file
// asked for earlier never replaces one asked for later); the shape's destructor cancels every thread
// and waits for it (with the caller's holds on the render lock given up), so no thread
// outlives the shape.
class ParametricIrregularShape : public ParametricShape {
public:
    // Bytes of the file name, terminator included.
    static constexpr size_t kUrlSize = 264;

    // Starts loading the last profile file used (string 0 of the molding defaults).
    explicit ParametricIrregularShape(const ParametricShape* previous = nullptr);
    // Cancels and joins every loading thread.
    ~ParametricIrregularShape() override;

    void Save(KeyDataList& list) override;
    // The sizes, then the saved file (keeping the saved sizes).
    void Load(const KeyDataList& list) override;
    bool IsDepthCentered() const override { return true; }
    bool IsWidthCentered() const override { return false; }
    // The base outline scaled to the sizes; nothing for the post molding of a column.
    void Regenerate() override;

    // Starts a thread that reads the file; nothing for an empty name, for the current
    // name in any letter case, or for a name longer than the buffer (traced).
    void LoadShapeAsync(const char* name);
    // Takes the other shape's outline, sizes and name; nothing for itself.
    void SetOutline(const ParametricIrregularShape& source);
    // What a loading thread does once the file's vertices are in, under the render lock:
    // turns them into the y-z plane, winds them one way, computes the edge normals, the
    // base outline and the extents (and the sizes unless they are kept), regenerates and
    // has the owner rebuild its chain.
    void TakeLoadedPoints(std::vector<Vector> loaded);
    // Waits for every loading thread started so far (render-lock holds given up).
    void WaitForLoads();

    const char* GetUrl() const { return url; }
    bool GetKeepRadii() const { return keepRadii.load() != 0; }
    void SetKeepRadii(bool flag) { keepRadii.store(flag ? 1 : 0); }
    const Vector& GetExtent() const { return extent; }

private:
    struct Loader;
    // Recomputes the base outline and the extents from the points.
    void ComputeBase();
    // The thread body: fetches `name` and hands its vertices over unless cancelled.
    void LoadThread(std::string name, std::shared_ptr<Loader> loader);

    char url[kUrlSize] = {};
    BoundingBox bounds;
    std::vector<Vector> baseOutline;
    Vector extent{0.0, 4.0, 4.0};
    // Set on the window thread, read by the loading threads.
    std::atomic<uint8_t> keepRadii{0};

    // The loading threads and the temporary models they fetch with.
    std::mutex loadersMutex;
    std::vector<std::shared_ptr<Loader>> loaders;
    // The number of the newest load started; an older load that ends later is dropped.
    std::atomic<uint64_t> newestLoad{0};
};
