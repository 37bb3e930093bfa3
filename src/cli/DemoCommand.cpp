#include "DemoCommand.h"

#include <stdlib.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <numeric>
#include <string>
#include <system_error>
#include <vector>

#include "BuiltinMarkers.h"
#include "Canvas.h"
#include "CliArgs.h"
#include "CliError.h"
#include "CliParse.h"
#include "CliVerbs.h"
#include "DemoScene.h"
#include "FileUtil.h"
#include "MarkerPose.h"
#include "Overlay.h"
#include "SceneRenderer.h"
#include "TrackSession.h"
#include "markeye/ImageFile.h"

namespace Markeye {

namespace {

const char* const DEMO_USAGE = "usage: markeye demo [--frames N] [--out DIR]\n"
                               "\n"
                               "Renders N frames (default 24) of five built-in markers moving through the\n"
                               "built-in camera, tracks all eight built-in patterns in them, and prints a\n"
                               "summary: per pattern the frames it was shown in, found, missed and found\n"
                               "where it was not, and the rotation and translation errors against the\n"
                               "rendered poses (marker width 80, so translation errors are in millimetres for\n"
                               "a marker printed 80 mm wide). Writes into DIR (default: a new folder in the\n"
                               "temporary directory) the frames (frame_NNN.png), the same with what was found\n"
                               "drawn on them (overlay_NNN.png), the tracker's JSON Lines (track.jsonl) and a\n"
                               "contact sheet of the overlays (contact_sheet.png). Those files of an earlier\n"
                               "run in DIR are removed first; nothing else there is touched.\n";

constexpr int32_t DEFAULT_FRAMES = 24;
constexpr int32_t MAX_FRAMES = 1000;
// A marker counts as found where it is when every vertex lies within this
// many pixels of the rendered one.
constexpr double CORNER_TOLERANCE_PX = 4.0;
// Contact sheet: tiles a quarter of the frame, in rows of this many, and at
// most this many tiles (frames chosen evenly).
constexpr int32_t SHEET_SHRINK = 4;
constexpr int32_t SHEET_COLUMNS = 6;
constexpr int32_t SHEET_MAX_TILES = 36;
constexpr int32_t SHEET_GAP = 4;

struct TPatternScore
{
    int32_t shown = 0;
    int32_t found = 0;
    int32_t missed = 0;
    int32_t false_found = 0;
    std::vector<double> rotation_deg;
    std::vector<double> translation;

    void add(const TPatternScore& i_other)
    {
        shown += i_other.shown;
        found += i_other.found;
        missed += i_other.missed;
        false_found += i_other.false_found;
        rotation_deg.insert(rotation_deg.end(), i_other.rotation_deg.begin(), i_other.rotation_deg.end());
        translation.insert(translation.end(), i_other.translation.begin(), i_other.translation.end());
    }
};

std::string numbered(const char* i_stem, int32_t i_frame)
{
    char name[32];
    std::snprintf(name, sizeof name, "%s_%03d.png", i_stem, i_frame);
    return name;
}

std::string makeTemporaryFolder()
{
    std::string path = (std::filesystem::temp_directory_path() / "markeye-demo-XXXXXX").string();
    if (mkdtemp(path.data()) == nullptr) {
        throw CliError("cannot make a temporary folder " + path + ": " + std::strerror(errno));
    }
    return path;
}

// Whether i_name is one of the numbered files a run writes: i_stem, "_",
// digits, ".png".
bool isNumberedFile(const std::string& i_name, const std::string& i_stem)
{
    const std::string prefix = i_stem + "_";
    const std::string suffix = ".png";
    if (i_name.size() <= prefix.size() + suffix.size() || i_name.compare(0, prefix.size(), prefix) != 0 ||
        i_name.compare(i_name.size() - suffix.size(), suffix.size(), suffix) != 0) {
        return false;
    }
    const std::string digits = i_name.substr(prefix.size(), i_name.size() - prefix.size() - suffix.size());
    return digits.find_first_not_of("0123456789") == std::string::npos;
}

bool isRunFile(const std::string& i_name)
{
    return isNumberedFile(i_name, "frame") || isNumberedFile(i_name, "overlay") || i_name == "track.jsonl" ||
           i_name == "contact_sheet.png";
}

// Removes the files an earlier run wrote into i_folder, so that a shorter
// run leaves no old frames beside its own.
void removeEarlierRun(const std::string& i_folder)
{
    std::error_code error;
    for (const std::filesystem::directory_entry& entry : std::filesystem::directory_iterator(i_folder, error)) {
        if (!entry.is_regular_file(error) || !isRunFile(entry.path().filename().string())) {
            continue;
        }
        if (!std::filesystem::remove(entry.path(), error)) {
            throw CliError("cannot remove " + entry.path().string() + " of an earlier run: " + error.message());
        }
    }
    if (error) {
        throw CliError("cannot list folder " + i_folder + ": " + error.message());
    }
}

double worstCornerError(const TMarkerReport& i_marker, const TMarkerTruth& i_truth)
{
    double worst = 0.0;
    for (int i = 0; i < 4; i++) {
        worst = std::max(worst, std::hypot(i_marker.corners[i][0] - i_truth.observed_corners[i].x,
                                           i_marker.corners[i][1] - i_truth.observed_corners[i].y));
    }
    return worst;
}

// Scores one pattern in one frame. i_truth is null for a pattern not shown.
void score(const TMarkerReport& i_marker, const TMarkerTruth* i_truth, TPatternScore* io_score)
{
    const bool shown = i_truth != nullptr && i_truth->in_frame && i_truth->front_facing;
    io_score->shown += shown;
    if (!i_marker.found) {
        io_score->missed += shown;
        return;
    }
    if (!shown || worstCornerError(i_marker, *i_truth) > CORNER_TOLERANCE_PX) {
        io_score->false_found++;
        io_score->missed += shown;
        return;
    }
    io_score->found++;
    VoTrack::VoARDoubleMatrix34 pose;
    pose.setValue(&i_marker.pose[0][0]);
    io_score->rotation_deg.push_back(MarkerPose::rotationDifferenceDeg(pose, i_truth->pose));
    io_score->translation.push_back(
        std::hypot(pose.m03 - i_truth->pose.m03, pose.m13 - i_truth->pose.m13, pose.m23 - i_truth->pose.m23));
}

// "mean worst" columns of one error, or dashes without values.
std::string meanAndWorst(const std::vector<double>& i_values)
{
    char text[48];
    if (i_values.empty()) {
        std::snprintf(text, sizeof text, "%9s %10s", "-", "-");
    } else {
        const double mean = std::accumulate(i_values.begin(), i_values.end(), 0.0) / i_values.size();
        std::snprintf(text, sizeof text, "%9.2f %10.2f", mean, *std::max_element(i_values.begin(), i_values.end()));
    }
    return text;
}

void printHeader()
{
    std::printf("%37s  %20s  %20s\n", "", "rotation error", "translation error");
    std::printf("%-8s %6s %6s %7s %6s  %9s %10s  %9s %10s\n", "pattern", "shown", "found", "missed", "false", "mean deg",
                "worst deg", "mean mm", "worst mm");
}

void printRow(const std::string& i_name, const TPatternScore& i_score)
{
    std::printf("%-8s %6d %6d %7d %6d  %s  %s\n", i_name.c_str(), i_score.shown, i_score.found, i_score.missed,
                i_score.false_found, meanAndWorst(i_score.rotation_deg).c_str(),
                meanAndWorst(i_score.translation).c_str());
}

RenderCamera renderCamera(const markeye::Camera& i_camera)
{
    const markeye::Distortion& d = i_camera.distortion();
    const double distortion[4] = {d.centre_x, d.centre_y, d.coefficient, d.scale};
    return RenderCamera(i_camera.width(), i_camera.height(), i_camera.projection().data(), distortion);
}

// The image reduced by a whole factor, each pixel the mean of a factor x
// factor block (a partial block at the edges is left out).
markeye::Image shrunk(const markeye::Image& i_image, int32_t i_factor)
{
    markeye::Image small(std::max(1, i_image.width() / i_factor), std::max(1, i_image.height() / i_factor),
                         markeye::PixelFormat::BGRX, 255);
    const int32_t count = i_factor * i_factor;
    for (int32_t y = 0; y < small.height(); y++) {
        for (int32_t x = 0; x < small.width(); x++) {
            int32_t sums[3] = {0, 0, 0};
            for (int32_t dy = 0; dy < i_factor; dy++) {
                for (int32_t dx = 0; dx < i_factor; dx++) {
                    const uint8_t* source = i_image.pixel(std::min(i_image.width() - 1, x * i_factor + dx),
                                                          std::min(i_image.height() - 1, y * i_factor + dy));
                    for (int c = 0; c < 3; c++) {
                        sums[c] += source[c];
                    }
                }
            }
            uint8_t* target = small.pixel(x, y);
            for (int c = 0; c < 3; c++) {
                target[c] = static_cast<uint8_t>((sums[c] + count / 2) / count);
            }
        }
    }
    return small;
}

// Copies i_source into io_target with its top-left pixel at (i_x, i_y);
// what falls outside is left out.
void paste(const markeye::Image& i_source, int32_t i_x, int32_t i_y, markeye::Image* io_target)
{
    const int32_t x0 = std::max(0, i_x);
    const int32_t x1 = std::min(io_target->width(), i_x + i_source.width());
    if (x0 >= x1) {
        return;
    }
    for (int32_t y = std::max(0, i_y); y < std::min(io_target->height(), i_y + i_source.height()); y++) {
        std::memcpy(io_target->pixel(x0, y), i_source.pixel(x0 - i_x, y - i_y), 4 * static_cast<size_t>(x1 - x0));
    }
}

class DemoRun
{
public:
    DemoRun(int32_t i_frames, const std::string& i_folder)
        : _frames(i_frames), _folder(i_folder),
          _tracker(std::nullopt, markeye::Pattern::builtins(), markeye::TrackerOptions()),
          _renderer(renderCamera(_tracker.camera())), _scene(_renderer.getCamera()),
          _scores(_tracker.patterns().size())
    {
    }

    void run()
    {
        std::ofstream json(FileUtil::join(_folder, "track.jsonl"));
        for (int32_t frame = 0; frame < _frames; frame++) {
            json << renderAndTrack(frame).toJson() << "\n";
        }
        json.close();
        if (!json) {
            throw CliError("cannot write " + FileUtil::join(_folder, "track.jsonl"));
        }
        markeye::writePng(FileUtil::join(_folder, "contact_sheet.png"), contactSheet().view());
        printSummary();
    }

private:
    TFrameReport renderAndTrack(int32_t i_frame)
    {
        _renderer.render(_scene.markers(i_frame, _frames), DemoScene::options(i_frame));
        markeye::Image frame(_renderer.getWidth(), _renderer.getHeight(), markeye::PixelFormat::BGRX);
        std::memcpy(frame.data(), _renderer.getFrame(), static_cast<size_t>(frame.stride()) * frame.height());
        markeye::writePng(FileUtil::join(_folder, numbered("frame", i_frame)), frame.view());

        TFrameReport report;
        report.frame = numbered("frame", i_frame);
        _tracker.track(frame, &report);
        _elapsed_ms.push_back(report.elapsed_ms);
        scoreFrame(report);
        Overlay::draw(_tracker.camera(), _tracker.patterns(), _tracker.options().marker_width, report.markers,
                      &frame);
        markeye::writePng(FileUtil::join(_folder, numbered("overlay", i_frame)), frame.view());
        if (isSheetFrame(i_frame)) {
            addTile(frame, i_frame);
        }
        return report;
    }

    // Marker k of the scene shows pattern k; a pattern's first entry is
    // scored against it, any further copy found is a false one.
    void scoreFrame(const TFrameReport& i_report)
    {
        const std::vector<TMarkerTruth>& truth = _renderer.getTruth();
        std::vector<bool> scored(_scores.size(), false);
        for (const TMarkerReport& marker : i_report.markers) {
            const size_t p = static_cast<size_t>(marker.pattern);
            if (scored[p]) {
                _scores[p].false_found += marker.found;
                continue;
            }
            scored[p] = true;
            score(marker, p < truth.size() ? &truth[p] : nullptr, &_scores[p]);
        }
    }

    bool isSheetFrame(int32_t i_frame) const
    {
        const int32_t tiles = std::min(_frames, SHEET_MAX_TILES);
        // Frame i_frame is the first at or after tile k's even share.
        const int32_t k = static_cast<int32_t>((int64_t(i_frame) * tiles + _frames - 1) / _frames);
        return k < tiles && int64_t(k) * _frames / tiles == i_frame;
    }

    void addTile(const markeye::Image& i_overlay, int32_t i_frame)
    {
        markeye::Image tile = shrunk(i_overlay, SHEET_SHRINK);
        Canvas(&tile).label(3, 3, std::to_string(i_frame), 1, {255, 255, 255}, {0, 0, 0});
        _tiles.push_back(std::move(tile));
    }

    markeye::Image contactSheet() const
    {
        const int32_t tile_width = _tiles.front().width();
        const int32_t tile_height = _tiles.front().height();
        const int32_t columns = std::min<int32_t>(SHEET_COLUMNS, static_cast<int32_t>(_tiles.size()));
        const int32_t rows = (static_cast<int32_t>(_tiles.size()) + columns - 1) / columns;
        markeye::Image sheet(columns * (tile_width + SHEET_GAP) + SHEET_GAP,
                             rows * (tile_height + SHEET_GAP) + SHEET_GAP, markeye::PixelFormat::BGRX, 40);
        for (size_t i = 0; i < _tiles.size(); i++) {
            const int32_t column = static_cast<int32_t>(i) % columns;
            const int32_t row = static_cast<int32_t>(i) / columns;
            paste(_tiles[i], SHEET_GAP + column * (tile_width + SHEET_GAP),
                  SHEET_GAP + row * (tile_height + SHEET_GAP), &sheet);
        }
        return sheet;
    }

    void printSummary() const
    {
        std::printf("markeye demo: %d frames of %d x %d through the built-in camera, built-in markers 0 to %d "
                    "moving %.0f to %.0f mm away\n\n",
                    _frames, _renderer.getWidth(), _renderer.getHeight(), DemoScene::SHOWN_MARKERS - 1,
                    DemoScene::NEAREST, DemoScene::FARTHEST);
        printHeader();
        TPatternScore all;
        for (size_t i = 0; i < _scores.size(); i++) {
            printRow(std::to_string(i) + " " + _tracker.patterns()[i].name(), _scores[i]);
            all.add(_scores[i]);
        }
        printRow("all", all);
        const double mean_ms = std::accumulate(_elapsed_ms.begin(), _elapsed_ms.end(), 0.0) / _elapsed_ms.size();
        std::printf("\ntracking %zu patterns: %.2f ms per frame on average, %.2f ms at worst\n",
                    _tracker.patterns().size(), mean_ms, *std::max_element(_elapsed_ms.begin(), _elapsed_ms.end()));
        std::printf("wrote %s: frame_NNN.png, overlay_NNN.png, track.jsonl, contact_sheet.png\n", _folder.c_str());
    }

    int32_t _frames;
    std::string _folder;
    TrackSession _tracker;
    SceneRenderer _renderer;
    DemoScene _scene;
    std::vector<TPatternScore> _scores;
    std::vector<double> _elapsed_ms;
    std::vector<markeye::Image> _tiles;
};

}  // namespace

int runDemoCommand(int i_argc, char** i_argv)
{
    return runWithUsage("demo", DEMO_USAGE, [&] {
        CliArgs args({{"--frames", true}, {"--out", true}, {"--help", false}});
        args.parse(i_argc, i_argv);
        if (args.has("--help")) {
            std::cout << DEMO_USAGE;
            return 0;
        }
        if (!args.positional().empty()) {
            throw UsageError("unexpected argument " + args.positional().front());
        }
        const int32_t frames =
            args.has("--frames") ? parseInt("--frames", *args.value("--frames"), 1, MAX_FRAMES) : DEFAULT_FRAMES;
        const std::string folder = args.has("--out") ? *args.value("--out") : makeTemporaryFolder();
        FileUtil::makeFolder(folder);
        removeEarlierRun(folder);
        DemoRun(frames, folder).run();
        return 0;
    });
}

}  // namespace Markeye
