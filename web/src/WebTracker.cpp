#include "WebTracker.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>

namespace MarkeyeWeb {

namespace {

// Until the first frame, a tracker given no camera is built for this size.
constexpr int32_t FIRST_WIDTH = 640;
constexpr int32_t FIRST_HEIGHT = 480;

// The file a pattern's text is read from, in the module's own in-memory file
// system, so that the library's pattern-file reader (and its messages, which
// name the file and line) serves JavaScript too. Its stem is the pattern's
// name; a folder separator would name a folder, so it is replaced.
std::string patternPath(const std::string& i_name)
{
    std::string path = i_name.empty() ? std::string("pattern") : i_name;
    std::replace(path.begin(), path.end(), '/', '_');
    return path + ".pat";
}

}  // namespace

template <typename TStep>
bool WebTracker::attempt(TStep&& i_step)
{
    try {
        i_step();
        _last_error.clear();
        return true;
    } catch (const markeye::Error& error) {
        _last_error = error.what();
    } catch (const std::exception& error) {
        // Out of memory and the like: still a message for JavaScript.
        _last_error = std::string("markeye: ") + error.what();
    }
    return false;
}

bool WebTracker::addPatternText(const std::string& i_text, const std::string& i_name, int32_t i_grid_width,
                                int32_t i_grid_height)
{
    return attempt([&] {
        const std::string path = patternPath(i_name);
        {
            std::ofstream file(path, std::ios::binary | std::ios::trunc);
            file << i_text;
        }
        // Removed however the reading ends.
        struct TRemoveFile
        {
            const std::string& path;
            ~TRemoveFile() { std::remove(path.c_str()); }
        } remove_file{path};
        _patterns.push_back(i_grid_width > 0 || i_grid_height > 0
                                ? markeye::Pattern::fromFile(path, i_grid_width, i_grid_height)
                                : markeye::Pattern::fromFile(path));
    });
}

bool WebTracker::addPatternPicture(const std::string& i_rgba, int32_t i_width, int32_t i_height,
                                   int32_t i_grid_width, int32_t i_grid_height, const std::string& i_name)
{
    return attempt([&] {
        if (i_width <= 0 || i_height <= 0 ||
            i_rgba.size() < 4 * static_cast<std::size_t>(i_width) * static_cast<std::size_t>(i_height)) {
            throw markeye::Error("pattern " + i_name + ": the picture's pixels do not fill " +
                                 std::to_string(i_width) + " x " + std::to_string(i_height));
        }
        const markeye::ImageView view{reinterpret_cast<const uint8_t*>(i_rgba.data()), i_width, i_height,
                                      4 * static_cast<std::ptrdiff_t>(i_width), markeye::PixelFormat::RGBA};
        const int32_t grid_width = i_grid_width > 0 ? i_grid_width : markeye::Pattern::DEFAULT_GRID;
        const int32_t grid_height = i_grid_height > 0 ? i_grid_height : grid_width;
        _patterns.push_back(markeye::Pattern::fromPicture(view, grid_width, grid_height, i_name));
    });
}

bool WebTracker::addBuiltinPatterns()
{
    return attempt([&] {
        for (markeye::Pattern& pattern : markeye::Pattern::builtins()) {
            _patterns.push_back(std::move(pattern));
        }
    });
}

bool WebTracker::addBuiltinPattern(const std::string& i_name)
{
    return attempt([&] { _patterns.push_back(markeye::Pattern::builtin(i_name)); });
}

bool WebTracker::setCameraBytes(const std::string& i_bytes)
{
    return attempt([&] {
        _camera = markeye::Camera::fromBytes(reinterpret_cast<const uint8_t*>(i_bytes.data()), i_bytes.size(),
                                             "camera");
    });
}

bool WebTracker::setCameraIntrinsics(int32_t i_width, int32_t i_height, double i_fx, double i_fy, double i_cx,
                                     double i_cy)
{
    return attempt([&] {
        _camera = markeye::Camera::fromIntrinsics(i_width, i_height, i_fx, i_fy, i_cx, i_cy, "from the options");
    });
}

bool WebTracker::build()
{
    return attempt([&] {
        const markeye::Camera camera = _camera ? *_camera : markeye::Camera::builtin(FIRST_WIDTH, FIRST_HEIGHT);
        _tracker = std::make_unique<markeye::Tracker>(camera, _patterns, _options);
    });
}

uintptr_t WebTracker::frameBuffer(int32_t i_width, int32_t i_height)
{
    if (i_width != _frame_width || i_height != _frame_height) {
        const std::size_t size =
            4 * static_cast<std::size_t>(std::max(i_width, 0)) * static_cast<std::size_t>(std::max(i_height, 0));
        // Released first, so that two frames' worth is never held.
        std::vector<uint8_t>().swap(_frame);
        _frame.resize(size);
        _frame_width = i_width;
        _frame_height = i_height;
    }
    return reinterpret_cast<uintptr_t>(_frame.data());
}

markeye::Tracker& WebTracker::trackerFor(int32_t i_width, int32_t i_height)
{
    if (!_camera && !_tracker->camera().fits(i_width, i_height)) {
        _tracker = std::make_unique<markeye::Tracker>(markeye::Camera::builtin(i_width, i_height), _patterns, _options);
    }
    return *_tracker;
}

int32_t WebTracker::track(int32_t i_width, int32_t i_height, double i_time)
{
    _results.clear();
    const bool tracked = attempt([&] {
        if (!_tracker) {
            throw markeye::Error("tracker: not built");
        }
        if (i_width != _frame_width || i_height != _frame_height) {
            throw markeye::Error("frame " + std::to_string(i_width) + " x " + std::to_string(i_height) +
                                 " is not the size of the frame buffer");
        }
        const markeye::ImageView view{_frame.data(), i_width, i_height, 4 * static_cast<std::ptrdiff_t>(i_width),
                                      markeye::PixelFormat::RGBA};
        markeye::Tracker& tracker = trackerFor(i_width, i_height);
        const std::vector<markeye::Detection>& detections =
            std::isnan(i_time) ? tracker.track(view) : tracker.track(view, i_time);
        _tracked = true;
        for (const markeye::Detection& d : detections) {
            _results.push_back(d.pattern);
            _results.push_back(d.confidence);
            _results.push_back(d.direction);
            for (const auto& corner : d.corners) {
                _results.insert(_results.end(), corner.begin(), corner.end());
            }
            for (const auto& row : d.rotation) {
                _results.insert(_results.end(), row.begin(), row.end());
            }
            _results.insert(_results.end(), d.translation.begin(), d.translation.end());
            _results.push_back(d.reprojection_error);
            _results.push_back(d.pose_ambiguity);
            _results.push_back(static_cast<double>(d.track_id));
        }
    });
    return tracked ? static_cast<int32_t>(_results.size() / DETECTION_VALUES) : -1;
}

bool WebTracker::resetTracks()
{
    return attempt([&] {
        if (!_tracker) {
            throw markeye::Error("tracker: not built");
        }
        _tracker->resetTracks();
    });
}

bool WebTracker::prepare(int32_t i_width, int32_t i_height)
{
    return attempt([&] {
        if (!_tracker) {
            throw markeye::Error("tracker: not built");
        }
        trackerFor(i_width, i_height).prepare(i_width, i_height);
    });
}

uintptr_t WebTracker::bestConfidences() const
{
    return _tracked ? reinterpret_cast<uintptr_t>(_tracker->bestConfidences().data()) : 0;
}

const markeye::Camera* WebTracker::camera() const
{
    if (_camera && !_tracked) {
        return &*_camera;
    }
    return _tracked ? &_tracker->camera() : nullptr;
}

}  // namespace MarkeyeWeb
