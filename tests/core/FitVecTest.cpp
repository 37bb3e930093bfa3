#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "../support/SyntheticSquare.h"
#include "VoARCameraDistortionFactor.h"
#include "VoARFitVecCalculator.h"
#include "VoARMarkerOffset.h"
#include "VoARPerspectiveProjectionMatrix.h"
#include "VoARRotMatrix_Kestrel.h"

using namespace VoTrack;
using namespace VoTrackTest;

namespace {

VoARPerspectiveProjectionMatrix testProjection()
{
    VoARPerspectiveProjectionMatrix p;
    p.setValue(CAMERA_P);
    return p;
}

class FitVecTest : public ::testing::Test
{
protected:
    FitVecTest() : _projection(testProjection()), _fit(&_projection, &_distortion), _rotation(&_projection)
    {
        const TVoARDoublePoint_t center = {0.0, 0.0};
        _offset.setMarker(MARKER_WIDTH, &center);
    }

    // Prepares the fit for a square with vertices i_vertices in marker order.
    bool prepare(const Vertices& i_vertices)
    {
        for (int i = 0; i < 4; i++) {
            _vertex_storage[i][0] = i_vertices[i].x;
            _vertex_storage[i][1] = i_vertices[i].y;
            _vertex_pointers[i] = _vertex_storage[i];
        }
        _fit.setOffsetSquare(&_offset);
        return _fit.setImageVertices(_vertex_pointers);
    }

    void setRotation(const Matrix& i_r) { _rotation.setValue(rowOrder(i_r).data()); }

    // The fit reads P when it is built, so P comes first.
    VoARPerspectiveProjectionMatrix _projection;
    VoARCameraDistortionFactor _distortion;
    VoARFitVecCalculator _fit;
    VoARRotMatrix_Kestrel _rotation;
    VoARMarkerOffset _offset;
    double _vertex_storage[4][2];
    const double* _vertex_pointers[4];
};

}  // namespace

TEST(MarkerOffsetTest, CornersAndCentreOffset)
{
    VoARMarkerOffset offset;
    const TVoARDoublePoint_t origin = {0.0, 0.0};
    offset.setMarker(80.0, &origin);
    const double corners[4][3] = {{-40, 40, 0}, {40, 40, 0}, {40, -40, 0}, {-40, -40, 0}};
    for (int i = 0; i < 4; i++) {
        for (int k = 0; k < 3; k++) {
            EXPECT_EQ(offset.corners[i][k], corners[i][k]);
        }
    }
    EXPECT_EQ(offset.center_offset[0], 0.0);
    EXPECT_EQ(offset.center_offset[2], 0.0);
    const TVoARDoublePoint_t shifted = {5.0, 3.0};
    offset.setMarker(80.0, &shifted);
    EXPECT_EQ(offset.center_offset[0], -5.0);
    EXPECT_EQ(offset.center_offset[1], -3.0);
    EXPECT_EQ(offset.center_offset[2], 0.0);
    EXPECT_EQ(offset.corners[2][0], 40.0);
    EXPECT_EQ(offset.corners[2][1], -40.0);
}

// Identity rotation at (10, -20, 500): the vertices worked out by hand.
TEST_F(FitVecTest, WorkedExampleTranslation)
{
    const Pose pose{{{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}}, {10.0, -20.0, 500.0}};
    std::mt19937 rng(1);
    const Vertices vertices = projectMarker(pose, MARKER_WIDTH, 0.0, rng);
    const double expected[4][2] = {{278, 268}, {390, 268}, {390, 156}, {278, 156}};
    for (int i = 0; i < 4; i++) {
        EXPECT_NEAR(vertices[i].x, expected[i][0], 1e-12);
        EXPECT_NEAR(vertices[i].y, expected[i][1], 1e-12);
    }
    ASSERT_TRUE(prepare(vertices));
    setRotation(pose.r);
    double t[3];
    _fit.solveTranslation(&_rotation, t);
    EXPECT_NEAR(t[0], 10.0, 1e-9);
    EXPECT_NEAR(t[1], -20.0, 1e-9);
    EXPECT_NEAR(t[2], 500.0, 1e-9);
}

// Random exact squares: the true rotation gives back the true translation; a
// wrong rotation gives a compromise, and the true one then restores it (the
// per-square system is not disturbed by solving).
TEST_F(FitVecTest, TrueRotationRestoresTheExactTranslation)
{
    std::mt19937 rng(2);
    for (int trial = 0; trial < 200; trial++) {
        Pose pose;
        pose.r = randomFacingRotation(rng, 0.0, 1.2);
        placeInView(&pose, rng);
        ASSERT_TRUE(prepare(projectMarker(pose, MARKER_WIDTH, 0.0, rng)));
        double t[3];
        setRotation(product(pose.r, rotationAbout({0.6, 0.0, 0.8}, 0.2)));
        _fit.solveTranslation(&_rotation, t);
        EXPECT_GT(std::fabs(t[0] - pose.t[0]) + std::fabs(t[1] - pose.t[1]) + std::fabs(t[2] - pose.t[2]), 0.1);
        setRotation(pose.r);
        _fit.solveTranslation(&_rotation, t);
        for (int k = 0; k < 3; k++) {
            // Units of the marker width; relative rounding of the normal equations.
            EXPECT_NEAR(t[k], pose.t[k], 1e-9 * pose.t[2]) << "trial " << trial << " component " << k;
        }
    }
}

// The system is set up in observed pixels: the vertices go through the lens
// model's ideal-to-observed conversion first.
TEST_F(FitVecTest, VerticesAreStoredInObservedPixels)
{
    const double lens[4] = {300.0, 250.0, 120.0, 0.98};
    _distortion.setValue(lens);
    const Vertices vertices = {{{100.5, 80.25}, {420.0, 90.0}, {430.0, 400.0}, {90.0, 380.0}}};
    ASSERT_TRUE(prepare(vertices));
    const TVoARDoublePoint_t* observed = _fit.getImageVertices();
    for (int i = 0; i < 4; i++) {
        // The radial model by hand: x' = c + s (x - c) (1 - k (s r)^2).
        const double dx = (vertices[i].x - lens[0]) * lens[3];
        const double dy = (vertices[i].y - lens[1]) * lens[3];
        const double d = 1.0 - lens[2] / 1e8 * (dx * dx + dy * dy);
        EXPECT_NEAR(observed[i].x, lens[0] + dx * d, 1e-9);
        EXPECT_NEAR(observed[i].y, lens[1] + dy * d, 1e-9);
    }
}

// Four distinct vertices on one line still give an invertible normal matrix:
// the coefficients of tz, (m02 - x, m12 - y) per vertex, are not all equal,
// so they are independent of the constant columns. Only vertices that all
// coincide make it singular.
TEST_F(FitVecTest, DistinctCollinearVerticesStillInvert)
{
    const Vertices collinear = {{{100.0, 100.0}, {200.0, 150.0}, {300.0, 200.0}, {400.0, 250.0}}};
    EXPECT_TRUE(prepare(collinear));
    const Vertices vertical = {{{320.0, 100.0}, {320.0, 150.0}, {320.0, 200.0}, {320.0, 250.0}}};
    EXPECT_TRUE(prepare(vertical));
}

TEST_F(FitVecTest, CoincidentVerticesAtThePrincipalPointAreSingular)
{
    const Vertices coincident = {{{320.0, 240.0}, {320.0, 240.0}, {320.0, 240.0}, {320.0, 240.0}}};
    EXPECT_FALSE(prepare(coincident));
}

TEST(FitVecDeathTest, SolvingWithoutAnOffsetRecordAborts)
{
    VoARPerspectiveProjectionMatrix projection;
    projection.setValue(CAMERA_P);
    VoARCameraDistortionFactor distortion;
    VoARFitVecCalculator fit(&projection, &distortion);
    VoARRotMatrix_Kestrel rotation(&projection);
    rotation.fromAngles(0.0, 0.0, 0.0);
    double t[3];
    EXPECT_DEATH(fit.solveTranslation(&rotation, t),
                 "^src/core/VoARFitVecCalculator:118: failed assertion `this->_offset_square!=__null'\n$");
}
