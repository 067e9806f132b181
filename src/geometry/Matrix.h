#pragma once

#include "geometry/Vector.h"

// A 4x4 transform in column-major order as OpenGL takes it: the element of row r and
// column c is m[4 * c + r]; the translation is m[12], m[13], m[14].
class Matrix {
public:
    double m[16];

    // The identity.
    Matrix();
    // Copies sixteen doubles in column-major order.
    explicit Matrix(const double* values);
    virtual ~Matrix();

    void SetIdentity();
    // The identity moved by v.
    void SetTranslation(const Vector& v);
    // The rotation by degrees about the X (0), Y (1) or Z (2) axis; the identity for
    // any other axis.
    void SetRotation(int axis, double degrees);

    // out = this x other. out may be either operand.
    void Multiply(Matrix& out, const Matrix& other) const;
    void Transpose(Matrix& out) const;
    // out = M x (v.x, v.y, v.z, v.w). out may be v.
    void TransformVector4(Vector& out, const Vector& v) const;
    // out = the upper-left 3x3 of M times (v.x, v.y, v.z), out.w = 1; the translation
    // is ignored. out may be v.
    void RotateVector(Vector& out, const Vector& v) const;
    // Inverse by elimination with partial pivoting. False, with out untouched, when a
    // pivot is exactly zero or the inverse is not representable.
    bool Invert(Matrix& out) const;

    // A child list of that name holding m[0] .. m[15] under the keys "0" .. "15".
    void WriteKeyData(KeyDataList& list, const char* name) const;
    // Reads "0" .. "15" from the list itself (the caller passes the child list); a
    // missing key, or a value out of the double range, leaves that element unchanged.
    void ReadKeyData(const KeyDataList& list);
};
