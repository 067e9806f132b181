#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "geometry/Vector.h"
#include "model/SelectableObject.h"

class KeyDataList;
struct ViewProjection;

// The edge that starts at an outline node. Its owner gives meaning to the six flags and
// names them with labels, shown as check items in the edge's menu; one flag (arcIndex)
// makes the edge curved when curves are allowed.
//
// Nodes and edges live by value in an outline's arrays, never in a list: a copy takes
// the values, not the links.
class OutlineEdge : public SelectableObject {
public:
    static constexpr int kFlagCount = 6;
    // Command ids of the flags: kFirstCommand + flag index.
    static constexpr uint32_t kFirstCommand = 900;
    static const char* const kRoundedLabel;  // "Make Edge Rounded"

    OutlineEdge() = default;
    OutlineEdge(const OutlineEdge& other);
    OutlineEdge& operator=(const OutlineEdge& other);

    bool booleanParameter[kFlagCount] = {};
    // Texts of the flags, owned by the owner of the outline; the first null ends them.
    // The extra slot keeps a terminator after six labels.
    const char* labels[kFlagCount + 1] = {};
    bool arcAllowed = false;
    // Bulge of a curved edge: signed distance of the arc's apex from the chord.
    double edgeR = 0.0;
    // Unit vector across the chord in the outline plane, set when the edge is tessellated.
    Vector direction;
    int arcIndex = 0;

    uint64_t GetTypeMask() const override { return TypeMask::kOutlineEdgeObject; }

    // Number of labels before the first null (at most six).
    int LabelCount() const;
    // Appends the flags' check items. When curves are allowed and no label offers them
    // yet, adds "Make Edge Rounded" as the next label and arcIndex points at it.
    void BuildPropertyMenu(platform::Menu& menu) override;
    // Commands 900..905 toggle their flag. Always false, so the owner goes on to rebuild
    // its geometry.
    bool ProcessPropertyMenu(uint32_t id) override;
    bool IsArc() const;

private:
    void CopyValues(const OutlineEdge& other);
};

// A node of an outline, carrying the edge that starts at it. A node of the primary array
// points at its own edge; a node made by tessellating a curved edge points at the edge
// of the primary node it belongs to.
class OutlinePoint : public SelectableObject {
public:
    Vector position;
    // The node moves only along the line of an adjacent edge.
    bool constrainFollowing = false;
    OutlineEdge* edge;
    OutlineEdge ownEdge;

    OutlinePoint() : edge(&ownEdge) {}
    OutlinePoint(const Vector& position, bool constrainFollowing)
        : position(position), constrainFollowing(constrainFollowing), edge(&ownEdge) {}
    // A copy of a node that owns its edge owns the copied edge; a copy of a generated node
    // points where the original does. The copy is in no list.
    OutlinePoint(const OutlinePoint& other);
    OutlinePoint& operator=(const OutlinePoint& other);

    uint64_t GetTypeMask() const override { return TypeMask::kOutlinePoint; }
    bool OwnsEdge() const { return edge == &ownEdge; }

    // A sublist of that name with the flag, the edge's bulge and flags and the position.
    void Save(KeyDataList& list, const char* name) const;
};

// A planar ring of nodes with a normal, whose edges may be straight or curved. The nodes
// as edited are the primary array; curved edges are expanded into the tessellated array.
// Readers walk the current view (GetCount, GetPoints), which is the tessellated array
// while curves exist and the alternate view is chosen, else the primary array.
//
// Node pointers stay valid only until the next insertion or deletion; indices are the
// lasting way to name a node.
class Outline {
public:
    // Most nodes a stored outline may ask for.
    static constexpr int kMaxStoredNodes = 65536;
    // What ScreenToPlaneThrough answers when the ray runs parallel to the plane.
    static constexpr double kNoIntersection = 99999.0;

    Vector normal;
    // Centre of the viewport unprojected onto the near plane, left by IsEdgeOn.
    Vector viewPoint;
    bool normalFixed = false;
    bool edgesRoundable = false;

    Outline();
    Outline(const Outline&) = delete;
    Outline& operator=(const Outline&) = delete;
    virtual ~Outline();

    // --- nodes ---
    int GetCount() const;
    OutlinePoint* GetPoints();
    const OutlinePoint* GetPoints() const;
    int GetPrimaryCount() const { return static_cast<int>(primary_.size()); }
    OutlinePoint* GetPrimaryPoints() { return primary_.data(); }
    const OutlinePoint* GetPrimaryPoints() const { return primary_.data(); }
    int GetCurvedCount() const { return curvedCount_; }
    const OutlinePoint* GetCurvedPoints() const { return curved_.data(); }
    bool IsPrimaryView() const { return primaryView_; }
    bool HasCurves() const { return hasCurves_; }
    // Index of a node in the primary array, or -1.
    int IndexOfPrimary(const OutlinePoint* node) const;

    // A new node at index (0 .. primary count) of the primary array; null when the index
    // is out of range or the array cannot grow (the outline is then unchanged). The third
    // node computes the normal.
    OutlinePoint* InsertPoint(const Vector& position, int index, bool constrainFollowing);
    // Removes a node of the primary array; false when the node is not one of them.
    bool DeletePoint(const OutlinePoint* node);
    // Removes every node.
    void Clear();
    // The neighbours of a node in its own array (primary nodes in the primary array,
    // generated nodes in the current view). Past either end: the node at the other end
    // when wrap is set, else null; null for a node not in the outline.
    OutlinePoint* GetNextPoint(const OutlinePoint* node, bool wrap);
    OutlinePoint* GetPreviousPoint(const OutlinePoint* node, bool wrap);

    // Stores the normal; ComputeNormal then leaves it alone.
    void SetNormal(const Vector& v);
    // The plane normal from the first non-collinear triple of primary nodes, turned so that
    // the majority of corners runs counter-clockwise about it.
    void ComputeNormal();
    void Translate(double dx, double dy, double dz);
    // Positions of the current view in order.
    std::vector<Vector> GetPositions() const;

    void UsePrimaryPoints();
    void UseAlternatePoints();
    // Re-tessellates; with the primary view chosen the current view is the primary array.
    void Refresh();

    // --- persistence ---
    void Save(KeyDataList& list, const char* name) const;
    void Load(const KeyDataList& list, const char* name);
    // Takes the other outline's stored form.
    void CopyFrom(const Outline& other);

    // --- measurements and tests ---
    double GetArea() const;
    double GetPerimeter(bool closed) const;
    // Length of one edge, following its curve while the outline has curves; 0 for an
    // edge no node carries.
    double EdgeLength(const OutlineEdge* edge) const;
    // The ring's length, each edge counted once and following the curves.
    double GetEdgeLengthSum() const;
    // Distance along the ring from node 0 to a point on the given edge.
    double GetDistanceAlong(const Vector& point, const OutlineEdge* edge) const;
    // False when two edges of the current view cross.
    bool IsSimple() const;
    bool ContainsPoint(const Vector& point) const;
    // 1 the outlines overlap, 2 the other lies inside this one, 3 this one lies inside the
    // other, kDisjoint when apart (or this outline has fewer than three nodes).
    static constexpr int kOverlap = 1;
    static constexpr int kContains = 2;
    static constexpr int kInside = 3;
    static constexpr int kDisjoint = -30031;
    int Relate(const Outline& other, bool boundary) const;
    bool IsRectangle() const;

    // --- editing from the screen ---
    // The point under the screen position on the plane through the first current node;
    // the (99999, 99999, 99999) sentinel when the ray misses the plane.
    Vector ScreenToPlane(const ViewProjection& view, int x, int y) const;
    Vector ScreenToPlaneThrough(const ViewProjection& view, int x, int y, const Vector& point,
                                const Vector& planeNormal) const;
    // The same, false (out untouched) when the ray misses the plane.
    bool ScreenToPlaneThrough(const ViewProjection& view, int x, int y, const Vector& point,
                              const Vector& planeNormal, Vector& out) const;
    // True when the plane is seen at a grazing angle; stores viewPoint.
    bool IsEdgeOn(const ViewProjection& view);
    // As ScreenToPlane, but a plane seen edge-on is reached through an upright plane
    // through point. False when the ray misses.
    bool ScreenToPlaneAt(const ViewProjection& view, int x, int y, const Vector& point,
                         Vector& out);
    // Inserts the screen point on the nearest edge; null when the ray misses the plane.
    OutlinePoint* InsertScreenPoint(const ViewProjection& view, int x, int y,
                                    bool constrainFollowing);
    OutlinePoint* InsertPointOnNearestEdge(const Vector& position, bool constrainFollowing);
    // Drags a primary node to the screen point (sliding along an edge when constrained).
    // False when the node is not a primary node, both it and the next node are
    // constrained, or the ray misses the plane.
    bool MovePoint(const ViewProjection& view, int x, int y, const OutlinePoint* node);
    // Moves the edge between adjacent primary nodes a and b parallel to itself by the drag
    // from (x2, y2) to (x1, y1). A drag that makes the outline cross itself is undone
    // unless skipCheck. Answers the node that starts the moved section. The indices of
    // nodes the drag inserted (in the final array, in insertion order) go to `inserted`.
    OutlinePoint* DragEdge(const ViewProjection& view, int x1, int y1, int x2, int y2,
                           OutlinePoint* a, OutlinePoint* b, bool skipCheck,
                           std::vector<int>* inserted = nullptr);
    // Changes the bulge of a curved edge by the drag; answers the edge's start node.
    OutlinePoint* DragArc(const ViewProjection& view, int x1, int y1, int x2, int y2,
                          OutlinePoint* a, OutlinePoint* b, bool skipCheck);

    // --- curved edges ---
    void Tessellate();
    static int SegmentCount(const Vector& start, const Vector& end, double bulge);
    // Half an ellipse from a's position towards b's (b itself not produced), count nodes
    // into out; stores the edge direction in a's edge.
    static void ArcPoints(OutlinePoint* out, int count, OutlinePoint& a, const OutlinePoint& b,
                          double bulge, const Vector& normal);
    // A rectangle with its two ends rounded, fitted along direction.
    void MakeOval(const Vector& direction, bool reversed);
    // An ellipse of nodeCount nodes fitted over the outline along direction.
    void SetToEllipse(const Vector& direction, int nodeCount, bool reversed);

private:
    // The nodes of the current view as a vector array, for the plane tests.
    std::vector<Vector> CurrentPositions() const;
    // Length of the ring (tessellated while curves exist) up to the first node of the edge;
    // the whole ring when no node carries it.
    double RingLengthBefore(const OutlineEdge* edge, bool& found) const;
    bool ViewIsCurved() const { return !primaryView_ && hasCurves_; }
    // Every primary node points at its own edge, whose arcAllowed follows edgesRoundable.
    void RepointEdges();
    // Resolves two adjacent primary nodes to the edge's start and end indices.
    bool FindEdge(const OutlinePoint* a, const OutlinePoint* b, int& start, int& end) const;
    bool DragVector(const ViewProjection& view, int x1, int y1, int x2, int y2, const Vector& at,
                    Vector& drag);
    void SetFromCorners(const Vector* corners, int n);

    std::vector<OutlinePoint> primary_;
    // Grows only; the first curvedCount_ nodes are in use.
    std::vector<OutlinePoint> curved_;
    int curvedCount_ = 0;
    bool primaryView_ = true;
    bool hasCurves_ = false;
};

// Crossing-number test of a point against the closed ring points[0..n-1] in the x-y
// plane; a point exactly on a slanted or upright edge answers boundary. False for fewer
// than three points.
bool PointInPolygon(const Vector& point, const Vector* points, int n, bool boundary);
