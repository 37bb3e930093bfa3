#include "PythonTracker.h"

#include <chrono>

#include "ArrayFrame.h"

namespace py = pybind11;

namespace MarkeyePython {

namespace {

// The camera a tracker given none is built with, before any frame: its
// options and patterns are checked at once.
constexpr int32_t FIRST_WIDTH = 640;
constexpr int32_t FIRST_HEIGHT = 480;

}  // namespace

PythonTracker::PythonTracker(std::optional<markeye::Camera> i_camera, std::vector<markeye::Pattern> i_patterns,
                             const markeye::TrackerOptions& i_options)
    : _builtin_camera(!i_camera.has_value()), _patterns(std::move(i_patterns)), _options(i_options)
{
    const markeye::Camera camera = i_camera ? *i_camera : markeye::Camera::builtin(FIRST_WIDTH, FIRST_HEIGHT);
    _tracker = std::make_unique<markeye::Tracker>(camera, _patterns, _options);
}

markeye::Tracker& PythonTracker::trackerFor(int32_t i_width, int32_t i_height)
{
    if (_builtin_camera && !_tracker->camera().fits(i_width, i_height)) {
        _tracker = std::make_unique<markeye::Tracker>(markeye::Camera::builtin(i_width, i_height), _patterns, _options);
    }
    return *_tracker;
}

std::vector<TFoundMarker> PythonTracker::track(const py::object& i_image, const std::string& i_order,
                                               bool i_allow_copy, std::optional<double> i_time)
{
    const ArrayFrame frame(i_image, i_order, "image");
    std::vector<TFoundMarker> found;
    {
        // The GIL first, then the tracker: the lock is released before the
        // GIL is taken back.
        py::gil_scoped_release unlocked;
        std::lock_guard<std::mutex> lock(_mutex);
        const markeye::ImageView view = frame.view(i_allow_copy, &_copy);
        markeye::Tracker& tracker = trackerFor(view.width, view.height);
        const auto start = std::chrono::steady_clock::now();
        const std::vector<markeye::Detection>& detections = i_time ? tracker.track(view, *i_time) : tracker.track(view);
        _elapsed_ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
        _tracked = true;
        found.reserve(detections.size());
        for (const markeye::Detection& detection : detections) {
            found.push_back(TFoundMarker{detection, _patterns.at(static_cast<size_t>(detection.pattern)).name(),
                                         _options.marker_width});
        }
    }
    return found;
}

void PythonTracker::prepare(int32_t i_width, int32_t i_height)
{
    py::gil_scoped_release unlocked;
    std::lock_guard<std::mutex> lock(_mutex);
    trackerFor(i_width, i_height).prepare(i_width, i_height);
}

void PythonTracker::resetTracks()
{
    std::lock_guard<std::mutex> lock(_mutex);
    _tracker->resetTracks();
}

std::optional<markeye::Camera> PythonTracker::camera() const
{
    std::lock_guard<std::mutex> lock(_mutex);
    if (_builtin_camera && !_tracked) {
        return std::nullopt;
    }
    return _tracker->camera();
}

std::vector<double> PythonTracker::bestConfidences() const
{
    std::lock_guard<std::mutex> lock(_mutex);
    if (!_tracked) {
        return {};
    }
    return _tracker->bestConfidences();
}

}  // namespace MarkeyePython
