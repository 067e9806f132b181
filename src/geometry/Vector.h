#pragma once

class KeyDataList;

// A point, a direction or a plane equation (a, b, c, d with a*x + b*y + c*z + d = 0).
// Plan units, y up. Four doubles in this order so that an array of vectors is a
// contiguous run of doubles; w is 1 for points made by every constructor and setter
// except the four-value Set. Most operations use only x, y and z.
class Vector {
public:
    double x;
    double y;
    double z;
    double w;

    Vector() : x(0.0), y(0.0), z(0.0), w(1.0) {}
    Vector(double x, double y, double z) : x(x), y(y), z(z), w(1.0) {}

    void Set(double newX, double newY, double newZ, double newW);
    // Copies x, y and z; w becomes 1.
    void Set(const Vector& other);
    // All four components to +DBL_MAX / -DBL_MAX: start values of a box's minimum and
    // maximum.
    void SetMax();
    void SetMin();

    // True when x, y and z are exactly equal; w is ignored.
    bool Equals(const Vector& other) const;
    void Offset(double dx, double dy, double dz);
    void SubtractOffset(double dx, double dy, double dz);
    void Add(const Vector& other);
    void Subtract(const Vector& other);
    void Scale(double s);
    void ScaleComponents(double sx, double sy, double sz);
    // Negates all four components.
    void Negate();

    double Length() const;
    double Distance(const Vector& other) const;
    // Distance in the x-z plane.
    double HorizontalDistance(const Vector& other) const;
    double Dot(const Vector& other) const;
    // this = a x b; w untouched. Either argument may be this vector.
    void Cross(const Vector& a, const Vector& b);
    Vector Midpoint(const Vector& other) const;

    // Scales x, y, z to unit length; a zero vector stays zero. An axis-aligned result
    // is made exact (residue on the other two components cleared).
    void Normalize();
    // Unit normal of the plane through points[0..2] ((p0 - p1) x (p1 - p2), components
    // below 0.001 cleared); zero for collinear points.
    void PlaneNormalFromPoints(const Vector* points);
    // Unit normal of a polygon of n contiguous points, each corner weighted by its
    // angle; zero for fewer than three points.
    void PolygonNormal(const Vector* points, int n);

    // Rotation by angle (radians) about the X (0), Y (1) or Z (2) axis; other axis
    // values change nothing. w becomes 1.
    void RotateAboutAxisIndex(double angle, int axis);
    // Rotation about the unit axis by -angle in the right-hand sense. w becomes 1.
    void RotateAboutAxis(double angle, Vector axis);

    // Sets this to where the line through p1 and p2 meets the plane; false, and this
    // unchanged, when the line runs parallel to the plane.
    bool IntersectLinePlane(const Vector& p1, const Vector& p2, const Vector& planePoint,
                            const Vector& planeNormal);
    // Foot of this point on the line a-b, stored in out; answers t (0 at a, 1 at b, not
    // clamped). When a and b coincide, out is a and t is 0.
    double ProjectOntoLine(const Vector& a, const Vector& b, Vector& out) const;
    // Moves this point along direction onto the plane (a, b, c, d) and answers how far
    // it went, in units of direction. When the direction runs parallel to the plane,
    // the point stays, the answer is 0 and *intersected (when given) is false.
    double IntersectPlaneAlongDirection(const Vector& plane, const Vector& direction,
                                        bool* intersected = nullptr);
    // Rate of change of the corner positions along u over a triangle whose corners
    // carry the coordinates (u, v) = (coords[i].x, coords[i].y). Keeps the previous
    // value when the coordinates are degenerate.
    void TriangleGradient(const Vector* positions, const Vector* coords);

    // A child list of that name holding "X", "Y" and "Z"; w is not stored.
    void WriteChild(KeyDataList& list, const char* name) const;
    // Reads "X", "Y" and "Z" from the child list of that name. A missing or empty child
    // list leaves the vector as it was; so does a missing key, or a value out of the
    // double range, for its component.
    void ReadChild(const KeyDataList& list, const char* name);
    // The same three reads directly on the list.
    void Read(const KeyDataList& list);
};

// Reads a number that geometry may hold: false, with out untouched, when the key is
// missing or its value lies beyond the double range.
bool ReadFiniteDouble(const KeyDataList& list, const char* key, double& out);

static_assert(sizeof(Vector) == 4 * sizeof(double), "arrays of vectors are runs of doubles");
