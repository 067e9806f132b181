#include "geometry/Matrix.h"

#include <cmath>
#include <cstring>
#include <utility>

#include "foundation/KeyDataList.h"

namespace {

constexpr double kRadiansPerDegree = 0.017453292519943295;

constexpr const char* kElementKeys[16] = {"0", "1", "2",  "3",  "4",  "5",  "6",  "7",
                                          "8", "9", "10", "11", "12", "13", "14", "15"};

}  // namespace

Matrix::Matrix() {
    SetIdentity();
}

Matrix::Matrix(const double* values) {
    if (values == nullptr) {
        SetIdentity();
        return;
    }
    std::memcpy(m, values, sizeof(m));
}

Matrix::~Matrix() = default;

void Matrix::SetIdentity() {
    for (double& value : m) value = 0.0;
    m[0] = m[5] = m[10] = m[15] = 1.0;
}

void Matrix::SetTranslation(const Vector& v) {
    SetIdentity();
    m[12] = v.x;
    m[13] = v.y;
    m[14] = v.z;
}

void Matrix::SetRotation(int axis, double degrees) {
    SetIdentity();
    double radians = degrees * kRadiansPerDegree;
    double c = std::cos(radians);
    double s = std::sin(radians);
    switch (axis) {
        case 0:
            m[5] = c;
            m[6] = s;
            m[9] = -s;
            m[10] = c;
            break;
        case 1:
            m[0] = c;
            m[2] = -s;
            m[8] = s;
            m[10] = c;
            break;
        case 2:
            m[0] = c;
            m[1] = s;
            m[4] = -s;
            m[5] = c;
            break;
        default:
            break;
    }
}

void Matrix::Multiply(Matrix& out, const Matrix& other) const {
    double product[16];
    for (int c = 0; c < 4; ++c) {
        for (int r = 0; r < 4; ++r) {
            double sum = 0.0;
            for (int j = 0; j < 4; ++j) sum += m[4 * j + r] * other.m[4 * c + j];
            product[4 * c + r] = sum;
        }
    }
    std::memcpy(out.m, product, sizeof(product));
}

void Matrix::Transpose(Matrix& out) const {
    double transposed[16];
    for (int c = 0; c < 4; ++c) {
        for (int r = 0; r < 4; ++r) transposed[4 * r + c] = m[4 * c + r];
    }
    std::memcpy(out.m, transposed, sizeof(transposed));
}

void Matrix::TransformVector4(Vector& out, const Vector& v) const {
    double in[4] = {v.x, v.y, v.z, v.w};
    double result[4];
    for (int r = 0; r < 4; ++r) {
        result[r] = m[r] * in[0] + m[4 + r] * in[1] + m[8 + r] * in[2] + m[12 + r] * in[3];
    }
    out.Set(result[0], result[1], result[2], result[3]);
}

void Matrix::RotateVector(Vector& out, const Vector& v) const {
    double vx = v.x, vy = v.y, vz = v.z;
    out.Set(m[0] * vx + m[4] * vy + m[8] * vz, m[1] * vx + m[5] * vy + m[9] * vz,
            m[2] * vx + m[6] * vy + m[10] * vz, 1.0);
}

bool Matrix::Invert(Matrix& out) const {
    // Rows of the augmented matrix [M | I], reordered through pointers.
    double rows[4][8];
    double* row[4];
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) {
            rows[r][c] = m[4 * c + r];
            rows[r][4 + c] = r == c ? 1.0 : 0.0;
        }
        row[r] = rows[r];
    }

    for (int column = 0; column < 3; ++column) {
        // Bubble the largest magnitude of this column up to the pivot row.
        for (int r = 3; r > column; --r) {
            if (std::fabs(row[r][column]) > std::fabs(row[r - 1][column])) {
                std::swap(row[r], row[r - 1]);
            }
        }
        double pivot = row[column][column];
        if (pivot == 0.0) return false;
        for (int r = column + 1; r < 4; ++r) {
            double factor = row[r][column] / pivot;
            for (int c = column + 1; c < 4; ++c) row[r][c] -= factor * row[column][c];
            for (int c = 4; c < 8; ++c) {
                if (row[column][c] != 0.0) row[r][c] -= factor * row[column][c];
            }
        }
    }
    if (row[3][3] == 0.0) return false;

    // Back substitution: each row divided by its pivot, then cleared from the rows above.
    for (int r = 3; r >= 0; --r) {
        double inverse = 1.0 / row[r][r];
        for (int c = 4; c < 8; ++c) row[r][c] *= inverse;
        for (int above = r - 1; above >= 0; --above) {
            double factor = row[above][r];
            for (int c = 4; c < 8; ++c) row[above][c] -= factor * row[r][c];
        }
    }

    double result[16];
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) {
            result[4 * c + r] = row[r][4 + c];
            // A nearly singular matrix can overflow; such an inverse is refused.
            if (!std::isfinite(result[4 * c + r])) return false;
        }
    }
    std::memcpy(out.m, result, sizeof(result));
    return true;
}

void Matrix::WriteKeyData(KeyDataList& list, const char* name) const {
    KeyDataList* child = list.AddSublist(name);
    for (int i = 0; i < 16; ++i) child->AddDouble(kElementKeys[i], m[i]);
}

void Matrix::ReadKeyData(const KeyDataList& list) {
    for (int i = 0; i < 16; ++i) ReadFiniteDouble(list, kElementKeys[i], m[i]);
}
