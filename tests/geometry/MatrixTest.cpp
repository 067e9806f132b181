#include <gtest/gtest.h>

#include <cfloat>
#include <cstdio>
#include <memory>

#include "foundation/KeyDataList.h"
#include "geometry/Matrix.h"

namespace {

constexpr double kTolerance = 1e-12;

void ExpectMatrixNear(const Matrix& actual, const Matrix& expected, const char* what) {
    for (int i = 0; i < 16; ++i)
        EXPECT_NEAR(actual.m[i], expected.m[i], kTolerance) << what << " [" << i << "]";
}

Matrix Translation(double x, double y, double z) {
    Matrix t;
    t.SetTranslation(Vector(x, y, z));
    return t;
}

Matrix Rotation(int axis, double degrees) {
    Matrix r;
    r.SetRotation(axis, degrees);
    return r;
}

TEST(Matrix, RotationsByNinetyDegrees) {
    struct Case {
        int axis;
        Vector in;
        Vector out;
    } cases[] = {
        {0, {0, 1, 0}, {0, 0, 1}},  {0, {0, 0, 1}, {0, -1, 0}}, {1, {0, 0, 1}, {1, 0, 0}},
        {1, {1, 0, 0}, {0, 0, -1}}, {2, {1, 0, 0}, {0, 1, 0}},  {2, {0, 1, 0}, {-1, 0, 0}},
        {7, {1, 2, 3}, {1, 2, 3}},
    };
    for (const Case& c : cases) {
        Matrix r = Rotation(c.axis, 90);
        Vector out;
        r.TransformVector4(out, c.in);
        EXPECT_NEAR(out.x, c.out.x, kTolerance) << "axis " << c.axis;
        EXPECT_NEAR(out.y, c.out.y, kTolerance) << "axis " << c.axis;
        EXPECT_NEAR(out.z, c.out.z, kTolerance) << "axis " << c.axis;
        EXPECT_EQ(out.w, 1.0);
    }
}

TEST(Matrix, TranslationMovesPointsButNotDirections) {
    Matrix t = Translation(1, 2, 3);
    EXPECT_EQ(t.m[12], 1.0);
    EXPECT_EQ(t.m[13], 2.0);
    EXPECT_EQ(t.m[14], 3.0);

    Vector point(10, 10, 10);
    t.TransformVector4(point, point);
    EXPECT_TRUE(point.Equals(Vector(11, 12, 13)));

    Vector direction(1, 0, 0);
    direction.w = 0.0;
    t.TransformVector4(direction, direction);
    EXPECT_TRUE(direction.Equals(Vector(1, 0, 0)));
    EXPECT_EQ(direction.w, 0.0);

    // RotateVector ignores the translation whatever w is.
    Matrix tr;
    t.Multiply(tr, Rotation(2, 90));
    Vector turned;
    tr.RotateVector(turned, Vector(1, 0, 0));
    EXPECT_NEAR(turned.x, 0, kTolerance);
    EXPECT_NEAR(turned.y, 1, kTolerance);
    EXPECT_NEAR(turned.z, 0, kTolerance);
}

TEST(Matrix, MultiplyAppliesTheRightOperandFirst) {
    // (T x R) v = T (R v): turn (1, 0, 0) to (0, 1, 0), then move it.
    Matrix product;
    Translation(5, 0, 0).Multiply(product, Rotation(2, 90));
    Vector v;
    product.TransformVector4(v, Vector(1, 0, 0));
    EXPECT_NEAR(v.x, 5, kTolerance);
    EXPECT_NEAR(v.y, 1, kTolerance);

    // Into one of its own operands.
    Matrix a = Translation(5, 0, 0);
    a.Multiply(a, Rotation(2, 90));
    ExpectMatrixNear(a, product, "out is this");
    Matrix b = Rotation(2, 90);
    Translation(5, 0, 0).Multiply(b, b);
    ExpectMatrixNear(b, product, "out is other");

    Matrix transposed;
    product.Transpose(transposed);
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) EXPECT_EQ(transposed.m[4 * c + r], product.m[4 * r + c]);
}

TEST(Matrix, InverseTimesMatrixIsIdentity) {
    const double general[16] = {0, 2, 1, 0, 3, 0, 0, 0, 1, 1, 4, 0, 7, -2, 5, 1};
    const double needsEveryPivot[16] = {0, 0, 0, 1, 0, 0, 1, 0, 0, 1, 0, 0, 1, 0, 0, 0};
    struct Case {
        const char* what;
        Matrix matrix;
    } cases[] = {
        {"identity", Matrix()},
        {"rotation", Rotation(1, 30)},
        {"zero in the first pivot", Matrix(general)},
        {"reversed rows", Matrix(needsEveryPivot)},
    };
    for (const Case& c : cases) {
        Matrix inverse;
        ASSERT_TRUE(c.matrix.Invert(inverse)) << c.what;
        Matrix product;
        inverse.Multiply(product, c.matrix);
        ExpectMatrixNear(product, Matrix(), c.what);
        c.matrix.Multiply(product, inverse);
        ExpectMatrixNear(product, Matrix(), c.what);
    }

    Matrix inverse;
    ASSERT_TRUE(Translation(1, 2, 3).Invert(inverse));
    ExpectMatrixNear(inverse, Translation(-1, -2, -3), "translation");
    ASSERT_TRUE(Rotation(0, 40).Invert(inverse));
    ExpectMatrixNear(inverse, Rotation(0, -40), "rotation");
}

TEST(Matrix, SingularMatrixLeavesTheResultUntouched) {
    Matrix zeroRow;
    zeroRow.m[1] = zeroRow.m[5] = zeroRow.m[9] = zeroRow.m[13] = 0.0;  // row 1
    const double sameColumns[16] = {1, 2, 3, 0, 1, 2, 3, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    Matrix tiny;
    tiny.m[0] = tiny.m[5] = tiny.m[10] = DBL_TRUE_MIN;
    struct Case {
        const char* what;
        Matrix matrix;
    } cases[] = {
        {"zero row", zeroRow},
        {"two equal columns", Matrix(sameColumns)},
        {"inverse overflows", tiny},
    };
    for (const Case& c : cases) {
        Matrix out = Translation(9, 9, 9);
        EXPECT_FALSE(c.matrix.Invert(out)) << c.what;
        ExpectMatrixNear(out, Translation(9, 9, 9), c.what);
    }
}

TEST(Matrix, KeyedRoundTripThroughTheBinaryForm) {
    Matrix written;
    for (int i = 0; i < 16; ++i) written.m[i] = i * 1.1 - 0.123456789;
    KeyDataList list;
    written.WriteKeyData(list, "RotationMatrix");
    const KeyDataList* child = list.GetSublist("RotationMatrix");
    ASSERT_EQ(child->GetCount(), 16u);
    EXPECT_STREQ(child->GetString("15"), "16.376543");

    std::unique_ptr<FILE, int (*)(FILE*)> file(std::tmpfile(), &std::fclose);
    ASSERT_TRUE(file);
    ASSERT_TRUE(list.WriteBinary(file.get()));
    std::rewind(file.get());
    KeyDataList reread;
    ASSERT_TRUE(reread.ReadBinary(file.get()));

    Matrix read(Translation(9, 9, 9));
    read.ReadKeyData(*reread.GetSublist("RotationMatrix"));
    for (int i = 0; i < 16; ++i) EXPECT_NEAR(read.m[i], written.m[i], 5e-7) << i;
}

TEST(Matrix, ReadingKeepsElementsTheListDoesNotHold) {
    KeyDataList list;
    list.AddString("12", "4");
    list.AddString("13", "1e400");
    list.AddString("0", "2");
    Matrix m = Translation(1, 2, 3);
    m.ReadKeyData(list);
    Matrix expected = Translation(4, 2, 3);
    expected.m[0] = 2;
    ExpectMatrixNear(m, expected, "partial read");
}

}  // namespace
