#pragma once

// Camera calibration from views of a board: finds the board's markers in
// each frame, then estimates the camera for the camera file's model.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "markeye/Board.h"
#include "markeye/Camera.h"
#include "markeye/Image.h"
#include "markeye/Tracker.h"

namespace markeye {

// What a calibration found.
struct CalibrationResult
{
    // The camera for frames of the views' size: focal lengths, principal
    // point, and the lens distortion's centre and coefficient (its scale 1,
    // which focal lengths and principal point stand for).
    Camera camera;
    // Root mean square over the corners of the views used of the distance
    // in observed pixels between each corner and where the camera and the
    // view's pose put it.
    double rms_error;
    // One standard deviation of each estimate, from the residuals' spread
    // and the fit: fx, fy, cx, cy (pixels), the distortion centre x and y
    // (pixels) and its coefficient (the camera file's unit, 1e-8 per
    // squared pixel).
    std::array<double, 7> uncertainty;
    // Per view, in the order added: its name, the markers found in it, its
    // RMS error (pixels; NaN when it could not be fitted at all), and
    // whether it was used. Views that do not fit the others are left out.
    struct View
    {
        std::string name;
        int32_t markers;
        double rms_error;
        bool used;
    };
    std::vector<View> views;
    // What makes the result weak: too few views, views nearly parallel to
    // each other, parts of the frame no corner ever reached.
    std::vector<std::string> warnings;
};

// Collects views of a board and calibrates a camera from them.
class Calibration
{
public:
    // Views fewer than this make a warning.
    static constexpr int32_t ADVISED_VIEWS = 10;
    // Least angle (degrees) between the board's directions in two views
    // without a warning that all views are nearly parallel.
    static constexpr double ADVISED_SPREAD_DEG = 20.0;
    // The frame is split into GRID x GRID cells; a corner cell that no
    // corner reaches makes a warning (the lens is measured near the middle
    // only).
    static constexpr int32_t GRID = 3;

    // For frames of i_width x i_height. Throws Error for a size that is not
    // positive.
    Calibration(Board i_board, int32_t i_width, int32_t i_height);

    // Finds the board's markers in i_frame (through the nominal camera for
    // its size; the lens is what is measured) and keeps their corners as a
    // view named i_name. Returns the number of markers found. Throws Error
    // for a frame of another size or one that cannot be read.
    int32_t addFrame(const ImageView& i_frame, const std::string& i_name);
    // A view measured elsewhere: board points (x, y in the board's unit)
    // and where they were observed (pixels).
    void addView(const std::string& i_name, const std::vector<std::array<double, 2>>& i_board_points,
                 const std::vector<std::array<double, 2>>& i_pixels);

    // Throws Error when fewer than three views with two markers or more
    // were added, or the fit fails.
    CalibrationResult solve() const;

private:
    struct TView
    {
        std::string name;
        int32_t markers;
        std::vector<std::array<double, 2>> board_points;
        std::vector<std::array<double, 2>> pixels;
    };

    Board _board;
    int32_t _width;
    int32_t _height;
    Tracker _tracker;
    std::vector<TView> _views;
};

}  // namespace markeye
