#include "TrackCommand.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <iostream>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "CliArgs.h"
#include "CliError.h"
#include "CliParse.h"
#include "FileUtil.h"
#include "FrameSource.h"
#include "Overlay.h"
#include "OverlayVideo.h"
#include "ProgressBar.h"
#include "TrackSession.h"
#include "TrackSetup.h"
#include "TrackSummary.h"
#include "markeye/ImageFile.h"

namespace Markeye {

namespace {

const char* const TRACK_USAGE =
    "usage: markeye track [--camera FILE] [--pattern FILE ...] [--pattern-size N | WxH]\n"
    "                     [--min-confidence C] [--compat] [--video | --single-frame]\n"
    "                     [--board FILE] [--every N] [--start S] [--end E] [--fps R]\n"
    "                     [--overlay DIR] [--overlay-video FILE] (VIDEO | FRAME... | --raw WxH)\n"
    "\n"
    "Finds the markers in each frame and prints one JSON object per frame and line:\n"
    "  {\"frame\": \"a.png\", \"time\": 0, \"width\": 640, \"height\": 480, \"elapsed_ms\": 0.42,\n"
    "   \"markers\": [{\"pattern\": 0, \"found\": true, \"confidence\": 0.87, \"direction\": 2,\n"
    "    \"corners\": [[x, y], ...], \"pose\": [[r00, r01, r02, tx], ...]}, ...]}\n"
    "A frame that cannot be read gives {\"frame\": ..., \"time\": ..., \"error\": ...} and the run\n"
    "goes on. A summary of the run goes to standard error at its end.\n"
    "\n"
    "VIDEO                a video file FFmpeg reads (MP4, MKV, AVI, ...), the only input;\n"
    "                     \"frame\" is the frame's number, \"time\" its presentation time (s)\n"
    "FRAME                a PNG, JPEG, PPM or PGM picture\n"
    "--raw WxH            read raw frames of W x H pixels, 4 bytes each (blue, green,\n"
    "                     red, unused), from standard input (a video stream there is\n"
    "                     read as a VIDEO of that size)\n"
    "--camera FILE        camera parameter file, rescaled to frames of its proportions\n"
    "                     (default: the built-in camera for each frame's size)\n"
    "--pattern FILE       a pattern file; repeat for more, numbered 0, 1, ... in order\n"
    "                     (default: the eight built-in markers)\n"
    "--pattern-size N|WxH the patterns' grid (default 16)\n"
    "--board FILE         a board file (markeye board make): its markers are the patterns,\n"
    "                     their poses in the board's unit, and each line also gives the\n"
    "                     board's pose: \"boards\": [{\"name\", \"found\", \"markers_used\",\n"
    "                     \"dropped\", \"reprojection_error\", \"pose\"}]\n"
    "--min-confidence C   least confidence of a found marker, 0 to 1 (default 0.55)\n"
    "--compat             the scripting plug-in's results exactly: each pattern's best\n"
    "                     square, so one square may count for several patterns\n"
    "--video              temporal tracking (the default for a VIDEO): each marker's pose\n"
    "                     continued from the frame before and smoothed, its \"track\" number kept\n"
    "--single-frame       every frame on its own, also in a VIDEO\n"
    "--every N            track every Nth frame only, from the first (default 1)\n"
    "--start S, --end E   track the frames shown from S seconds on, and before E\n"
    "--fps R              frames per second of pictures and raw frames (default 30):\n"
    "                     frame i is shown at i / R seconds\n"
    "--overlay DIR        also write each frame with what was found drawn on it\n"
    "--overlay-video FILE also write those frames as a video (H.264 in MP4 for .mp4)\n"
    "\n"
    "Exit status: 0 when every frame was read, 1 when one was not, 2 for a bad\n"
    "command line.\n";

// The overlay's file name: the frame's position in the run, then the
// picture's own name, so that names stay unique and sort in run order.
std::string overlayName(size_t i_index, const std::string& i_frame, bool i_from_file)
{
    char number[16];
    std::snprintf(number, sizeof number, "%06zu", i_index);
    return std::string(number) + (i_from_file ? "_" + FileUtil::stem(i_frame) : "") + ".png";
}

// Which frames of the sequence are tracked: --start, --end and --every.
struct TFrameSelection
{
    double start = 0.0;
    double end = std::numeric_limits<double>::infinity();
    int every = 1;
};

double parseSeconds(const CliArgs& i_args, const std::string& i_option, double i_default)
{
    const std::optional<std::string> text = i_args.value(i_option);
    if (!text) {
        return i_default;
    }
    const double seconds = parseDouble(i_option, *text);
    if (!(seconds >= 0.0) || !std::isfinite(seconds)) {
        throw UsageError(i_option + ": expected a time in seconds from 0 up, got " + *text);
    }
    return seconds;
}

TFrameSelection selectionOf(const CliArgs& i_args)
{
    TFrameSelection selection;
    selection.start = parseSeconds(i_args, "--start", 0.0);
    selection.end = parseSeconds(i_args, "--end", std::numeric_limits<double>::infinity());
    if (!(selection.end > selection.start)) {
        throw UsageError("--end must come after --start");
    }
    if (i_args.has("--every")) {
        selection.every = parseInt("--every", *i_args.value("--every"), 1, 1000000);
    }
    return selection;
}

double frameRateOf(const CliArgs& i_args)
{
    if (!i_args.has("--fps")) {
        return FrameSource::DEFAULT_FRAME_RATE;
    }
    const double rate = parseDouble("--fps", *i_args.value("--fps"));
    if (!(rate > 0.0) || !std::isfinite(rate)) {
        throw UsageError("--fps: expected a positive number of frames per second, got " + *i_args.value("--fps"));
    }
    return rate;
}

// Standard input for --raw: raw frames, or a video stream whose own frame
// size must be the one given.
std::unique_ptr<FrameSource> makeRawSource(const TFrameSize& i_size, double i_frame_rate)
{
    std::string head = FrameContent::headOf(stdin);
    if (FrameContent::videoKind(head).empty()) {
        return std::make_unique<RawFrameSource>(stdin, "standard input", i_size.width, i_size.height, i_frame_rate,
                                                std::move(head));
    }
    auto video = std::make_unique<VideoFrameSource>(stdin, std::move(head), "standard input", i_frame_rate);
    if (video->width() != i_size.width || video->height() != i_size.height) {
        throw CliError("--raw " + std::to_string(i_size.width) + "x" + std::to_string(i_size.height) +
                       " disagrees with standard input, a video of " + std::to_string(video->width()) + " x " +
                       std::to_string(video->height()) + " frames");
    }
    return video;
}

// The one FRAME given: a picture, else a video (a file FFmpeg cannot read
// either is reported as the picture it is not).
std::unique_ptr<FrameSource> makeFileSource(const std::vector<std::string>& i_frames, double i_frame_rate)
{
    if (i_frames.size() == 1) {
        const std::string head = FrameContent::headOf(i_frames[0]);
        const bool video = !head.empty() && !FrameContent::isPicture(head);
        if (video && (!FrameContent::videoKind(head).empty() || VideoFrameSource::available())) {
            try {
                return std::make_unique<VideoFrameSource>(i_frames[0], i_frame_rate);
            } catch (const CliError&) {
                if (!FrameContent::videoKind(head).empty()) {
                    throw;
                }
            }
        }
    }
    return std::make_unique<FileFrameSource>(i_frames, i_frame_rate);
}

std::unique_ptr<FrameSource> makeSource(const CliArgs& i_args)
{
    const std::vector<std::string>& frames = i_args.positional();
    const double frame_rate = frameRateOf(i_args);
    if (i_args.has("--raw")) {
        if (!frames.empty()) {
            throw UsageError("--raw reads standard input; give no FRAME");
        }
        return makeRawSource(parseSize("--raw", *i_args.value("--raw")), frame_rate);
    }
    if (frames.empty()) {
        throw UsageError("no FRAME given");
    }
    return makeFileSource(frames, frame_rate);
}

// The tracker's options: TrackSetup's, with temporal tracking for videos
// unless --single-frame, or for any frames with --video.
markeye::TrackerOptions trackingOptions(const CliArgs& i_args, const FrameSource& i_source)
{
    markeye::TrackerOptions options = TrackSetup::options(i_args);
    options.temporal.enabled = i_args.has("--video") || (i_source.isVideo() && !i_args.has("--single-frame"));
    options.temporal.frame_rate = i_source.frameRate();
    return options;
}

// --board FILE: the board tracked as one object besides its markers.
std::optional<markeye::Board> boardOf(const CliArgs& i_args)
{
    const std::optional<std::string> path = i_args.value("--board");
    if (!path) {
        return std::nullopt;
    }
    return markeye::Board::fromFile(*path);
}

class TrackRun
{
public:
    TrackRun(const CliArgs& i_args, const TFrameSelection& i_selection, std::unique_ptr<FrameSource> i_source,
             std::chrono::steady_clock::time_point i_start)
        : _tracker(TrackSetup::camera(i_args), i_args.has("--board") ? std::vector<markeye::Pattern>()
                                                                     : TrackSetup::patterns(i_args),
                   trackingOptions(i_args, *i_source), boardOf(i_args)),
          _source(std::move(i_source)), _from_files(!i_args.has("--raw") && !_source->isVideo()),
          _selection(i_selection), _overlay_folder(i_args.value("--overlay").value_or("")),
          _summary(_tracker.patterns(), i_start)
    {
        if (!_overlay_folder.empty()) {
            FileUtil::makeFolder(_overlay_folder);
        }
        if (i_args.has("--overlay-video")) {
            _overlay_video = std::make_unique<OverlayVideo>(*i_args.value("--overlay-video"),
                                                            _source->frameRate() / _selection.every);
        }
    }

    // Returns the exit status.
    int run()
    {
        ProgressBar progress(_source->total());
        bool failed = false;
        _source->start(_selection.start);
        for (size_t seen = 0, tracked = 0;; seen++) {
            TFrameReport report;
            TFrameInfo info;
            const bool wanted = seen % static_cast<size_t>(_selection.every) == 0;
            const FrameSource::TStatus status = _source->next(wanted, &_frame, &info);
            if (status == FrameSource::TStatus::END || info.time >= _selection.end) {
                break;
            }
            if (status == FrameSource::TStatus::SKIPPED) {
                continue;
            }
            report.frame = info.name;
            report.time = info.time;
            report.error = info.error;
            if (status == FrameSource::TStatus::FRAME) {
                trackFrame(tracked++, &report);
            }
            if (!report.error.empty()) {
                failed = true;
                progress.message("markeye: " + report.error);
            }
            _summary.add(report);
            std::printf("%s\n", report.toJson().c_str());
            std::fflush(stdout);
            progress.step();
        }
        if (_overlay_video != nullptr) {
            _overlay_video->finish();
        }
        progress.message(_summary.text());
        if (std::ferror(stdout)) {
            throw CliError("cannot write the results to standard output");
        }
        return failed ? 1 : 0;
    }

private:
    void trackFrame(size_t i_index, TFrameReport* io_report)
    {
        try {
            _tracker.track(_frame, io_report->time, io_report);
        } catch (const markeye::Error& e) {
            io_report->error = describe(io_report->frame) + ": " + e.what();
            return;
        }
        if (_overlay_folder.empty() && _overlay_video == nullptr) {
            return;
        }
        Overlay::draw(_tracker.camera(), _tracker.patterns(), _tracker.options().marker_width, io_report->markers,
                      &_frame);
        if (!_overlay_folder.empty()) {
            markeye::writePng(FileUtil::join(_overlay_folder, overlayName(i_index, io_report->frame, _from_files)),
                              _frame.view());
        }
        if (_overlay_video != nullptr) {
            _overlay_video->write(_frame);
        }
    }

    // A frame as messages name it: its path, or its place in the stream.
    std::string describe(const std::string& i_frame) const { return _from_files ? i_frame : "frame " + i_frame; }

    TrackSession _tracker;
    std::unique_ptr<FrameSource> _source;
    bool _from_files;
    TFrameSelection _selection;
    std::string _overlay_folder;
    std::unique_ptr<OverlayVideo> _overlay_video;
    TrackSummary _summary;
    markeye::Image _frame;
};

}  // namespace

int runTrackCommand(int i_argc, char** i_argv)
{
    const auto start = std::chrono::steady_clock::now();
    try {
        CliArgs args({{"--camera", true},
                      {"--pattern", true},
                      {"--pattern-size", true},
                      {"--min-confidence", true},
                      {"--compat", false},
                      {"--overlay", true},
                      {"--overlay-video", true},
                      {"--raw", true},
                      {"--video", false},
                      {"--single-frame", false},
                      {"--every", true},
                      {"--start", true},
                      {"--end", true},
                      {"--fps", true},
                      {"--board", true},
                      {"--help", false}});
        args.parse(i_argc, i_argv);
        if (args.has("--help")) {
            std::cout << TRACK_USAGE;
            return 0;
        }
        if (args.has("--board") && (args.has("--pattern") || args.has("--pattern-size"))) {
            throw UsageError("--board takes its patterns from the board file; give no --pattern or --pattern-size");
        }
        if (args.has("--video") && args.has("--single-frame")) {
            throw UsageError("--video and --single-frame exclude each other");
        }
        // Checked before any input is opened (standard input is read once).
        const TFrameSelection selection = selectionOf(args);
        TrackRun run(args, selection, makeSource(args), start);
        return run.run();
    } catch (const UsageError& e) {
        std::cerr << "markeye track: " << e.what() << "\n" << TRACK_USAGE;
        return 2;
    }
}

}  // namespace Markeye
