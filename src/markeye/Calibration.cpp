#include "markeye/Calibration.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "VoARCameraCalibration.h"
#include "markeye/Error.h"

namespace markeye {

namespace {

constexpr double PI = 3.14159265358979323846;
constexpr int32_t CORNERS = 4;

TrackerOptions unitWidthOptions()
{
    TrackerOptions options;
    options.marker_width = 1.0;
    return options;
}

int32_t checkedSide(int32_t i_side)
{
    if (i_side <= 0) {
        throw Error("calibration: frame size must be positive, not " + std::to_string(i_side));
    }
    return i_side;
}

std::string sizeText(int32_t i_width, int32_t i_height)
{
    return std::to_string(i_width) + " x " + std::to_string(i_height);
}

// The largest angle (degrees) between the board's normals in two views.
double normalSpreadDeg(const VoTrack::VoARCameraCalibration::TResult& i_result)
{
    std::vector<std::array<double, 3>> normals;
    for (std::size_t v = 0; v < i_result.view_used.size(); v++) {
        if (i_result.view_used[v]) {
            const auto& p = i_result.view_poses[v];
            normals.push_back({p[2], p[6], p[10]});
        }
    }
    double widest = 0.0;
    for (std::size_t a = 0; a < normals.size(); a++) {
        for (std::size_t b = a + 1; b < normals.size(); b++) {
            const double dot = normals[a][0] * normals[b][0] + normals[a][1] * normals[b][1] + normals[a][2] * normals[b][2];
            widest = std::max(widest, std::acos(std::clamp(dot, -1.0, 1.0)) * 180.0 / PI);
        }
    }
    return widest;
}

// What makes a set of views weak: few views, one direction, corners of the
// frame never reached by i_pixels (the corners of the views used).
std::vector<std::string> weakSetWarnings(const VoTrack::VoARCameraCalibration::TResult& i_fit,
                                         const std::vector<const std::vector<std::array<double, 2>>*>& i_pixels,
                                         int32_t i_width, int32_t i_height)
{
    constexpr int32_t GRID = Calibration::GRID;
    std::vector<std::string> warnings;
    const auto used = static_cast<int32_t>(std::count(i_fit.view_used.begin(), i_fit.view_used.end(), true));
    if (used < Calibration::ADVISED_VIEWS) {
        warnings.push_back("only " + std::to_string(used) + " views used: " +
                                      std::to_string(Calibration::ADVISED_VIEWS) +
                                      " or more, from different directions, make a steadier calibration");
    }
    const double spread = normalSpreadDeg(i_fit);
    if (spread < Calibration::ADVISED_SPREAD_DEG) {
        warnings.push_back("all views see the board from nearly one direction (within " +
                                      std::to_string(static_cast<int32_t>(std::lround(spread))) +
                                      " degrees): tilt it more between views, or the focal lengths are poorly "
                                      "determined");
    }
    // Which cells of the frame the corners of the views used reach.
    bool reached[GRID][GRID] = {};
    for (const auto* pixels : i_pixels) {
        for (const auto& pixel : *pixels) {
            const auto column = std::clamp(static_cast<int32_t>(pixel[0] * GRID / i_width), 0, GRID - 1);
            const auto row = std::clamp(static_cast<int32_t>(pixel[1] * GRID / i_height), 0, GRID - 1);
            reached[row][column] = true;
        }
    }
    const char* const NAMES[4] = {"top left", "top right", "bottom left", "bottom right"};
    const int32_t CELLS[4][2] = {{0, 0}, {0, GRID - 1}, {GRID - 1, 0}, {GRID - 1, GRID - 1}};
    std::string missed;
    for (int32_t k = 0; k < 4; k++) {
        if (!reached[CELLS[k][0]][CELLS[k][1]]) {
            missed += (missed.empty() ? "" : ", ") + std::string(NAMES[k]);
        }
    }
    if (!missed.empty()) {
        warnings.push_back("no corner reached the frame's " + missed +
                                      ": show the board there too, or the lens is measured near the middle only");
    }
    return warnings;
}

}  // namespace

Calibration::Calibration(Board i_board, int32_t i_width, int32_t i_height)
    : _board(std::move(i_board)),
      _width(checkedSide(i_width)),
      _height(checkedSide(i_height)),
      _tracker(Camera::builtin(i_width, i_height), _board.patterns(), unitWidthOptions())
{
}

int32_t Calibration::addFrame(const ImageView& i_frame, const std::string& i_name)
{
    if (i_frame.width != _width || i_frame.height != _height) {
        throw Error(i_name + ": frame size " + sizeText(i_frame.width, i_frame.height) +
                    " differs from the calibration's " + sizeText(_width, _height));
    }
    const std::vector<Detection>& found = _tracker.track(i_frame);
    // A pattern seen twice cannot tell which copy is the board's: neither
    // counts.
    std::vector<int32_t> copies(_board.markers().size(), 0);
    for (const Detection& detection : found) {
        copies[static_cast<std::size_t>(detection.pattern)]++;
    }
    TView view{i_name, 0, {}, {}};
    for (const Detection& detection : found) {
        const std::size_t m = static_cast<std::size_t>(detection.pattern);
        if (copies[m] != 1) {
            continue;
        }
        const BoardMarker& marker = _board.markers()[m];
        const double h = marker.side / 2.0;
        const double xs[CORNERS] = {-h, h, h, -h};
        const double ys[CORNERS] = {h, h, -h, -h};
        for (int32_t k = 0; k < CORNERS; k++) {
            view.board_points.push_back({marker.centre_x + xs[k], marker.centre_y + ys[k]});
            view.pixels.push_back(detection.corners[static_cast<std::size_t>(k)]);
        }
        view.markers++;
    }
    const int32_t markers = view.markers;
    _views.push_back(std::move(view));
    return markers;
}

void Calibration::addView(const std::string& i_name, const std::vector<std::array<double, 2>>& i_board_points,
                          const std::vector<std::array<double, 2>>& i_pixels)
{
    if (i_board_points.size() != i_pixels.size()) {
        throw Error(i_name + ": " + std::to_string(i_board_points.size()) + " board points but " +
                    std::to_string(i_pixels.size()) + " pixels");
    }
    _views.push_back(TView{i_name, static_cast<int32_t>(i_pixels.size() / CORNERS), i_board_points, i_pixels});
}

CalibrationResult Calibration::solve() const
{
    std::vector<VoTrack::VoARCameraCalibration::TView> views;
    for (const TView& view : _views) {
        views.push_back({view.board_points, view.pixels});
    }
    VoTrack::VoARCameraCalibration::TResult fit;
    if (!VoTrack::VoARCameraCalibration::calibrate(_width, _height, views, &fit)) {
        throw Error("calibration: fewer than " + std::to_string(VoTrack::VoARCameraCalibration::MIN_VIEWS) +
                    " views show two markers of the board or more, or they give no start; " +
                    std::to_string(_views.size()) + " views added");
    }
    const auto& c = fit.camera.values;
    CalibrationResult result{
        Camera::fromIntrinsics(_width, _height, c[0], c[1], c[2], c[3], "calibrated " + sizeText(_width, _height))
            .withDistortion({c[4], c[5], c[6], 1.0}),
        fit.rms_px, fit.uncertainty.values, {}, {}};
    for (std::size_t v = 0; v < _views.size(); v++) {
        result.views.push_back({_views[v].name, _views[v].markers, fit.view_rms_px[v], fit.view_used[v]});
    }
    std::vector<const std::vector<std::array<double, 2>>*> used_pixels;
    for (std::size_t v = 0; v < _views.size(); v++) {
        if (fit.view_used[v]) {
            used_pixels.push_back(&_views[v].pixels);
        }
    }
    result.warnings = weakSetWarnings(fit, used_pixels, _width, _height);
    return result;
}

}  // namespace markeye
