#include "TrackCommand.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <iterator>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "CliArgs.h"
#include "CliError.h"
#include "CliParse.h"
#include "CliVerbs.h"
#include "FileUtil.h"
#include "FrameSource.h"
#include "Overlay.h"
#include "OverlayVideo.h"
#include "ProgressBar.h"
#include "ReportFormat.h"
#include "TrackPool.h"
#include "TrackSession.h"
#include "TrackSetup.h"
#include "TrackSummary.h"
#include "markeye/ImageFile.h"

namespace Markeye {

namespace {

const char* const TRACK_USAGE =
    "usage: markeye track [--camera FILE] [--pattern FILE ...] [--pattern-size N | WxH]\n"
    "                     [--min-confidence C] [--compat] [--video | --single-frame]\n"
    "                     [--board FILE] [--marker-width W] [--every N] [--start S] [--end E]\n"
    "                     [--fps R] [--jobs N] [--format jsonl | csv] [--found-only]\n"
    "                     [--no-exif] [--overlay DIR] [--overlay-video FILE]\n"
    "                     (VIDEO | FRAME... | --raw WxH)\n"
    "\n"
    "Finds the markers in each frame and prints one JSON object per frame and line:\n"
    "  {\"frame\": \"a.png\", \"time\": 0, \"width\": 640, \"height\": 480, \"elapsed_ms\": 0.42,\n"
    "   \"markers\": [{\"pattern\": 0, \"found\": true, \"confidence\": 0.87, \"direction\": 2,\n"
    "    \"corners\": [[x, y], ...], \"pose\": [[r00, r01, r02, tx], ...]}, ...]}\n"
    "A frame that cannot be read gives {\"frame\": ..., \"time\": ..., \"error\": ...} and the run\n"
    "goes on. A one-line summary of the run goes to standard error at its end.\n"
    "\n"
    "VIDEO                a video file FFmpeg reads (MP4, MKV, AVI, ...), the only input;\n"
    "                     \"frame\" is the frame's number, \"time\" its presentation time (s)\n"
    "FRAME                a PNG, JPEG, PPM or PGM picture (told by its content); a folder:\n"
    "                     its files named .png .jpg .jpeg .ppm .pgm .pnm (in any case), in\n"
    "                     name order, others left out; - : one picture on standard input\n"
    "                     (at most once); any mix of these, in the order given\n"
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
    "--marker-width W     the markers' side, in the unit wanted for the translations\n"
    "                     (default 80; with --board, each marker's own)\n"
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
    "--jobs N             track picture files on N threads, 1 to 64 (default 1); the\n"
    "                     output stays in input order. A VIDEO, --raw, --video and\n"
    "                     --overlay-video need one thread: other N is refused\n"
    "--format jsonl|csv   JSON Lines (the default), or CSV (RFC 4180) with a header row\n"
    "                     and one row per marker found: frame, time, width, height,\n"
    "                     pattern, name, confidence, direction, x0, y0 ... x3, y3, r00,\n"
    "                     r01, r02, tx ... r22, tz, track, error; a frame without a marker\n"
    "                     found gives one row of empty marker fields, a frame that cannot\n"
    "                     be read one with its error (boards are not written: no --board)\n"
    "--found-only         each line's \"markers\" holds the markers found only (a line\n"
    "                     still comes for every frame)\n"
    "--no-exif            read JPEG pixels as stored, not turned by their EXIF orientation\n"
    "\n"
    "Exit status: 0 when every frame was read, 1 when one was not, 2 for a bad\n"
    "command line.\n";

// Threads --jobs may ask for: far more than the cores of any machine that
// runs this, few enough that a typing error does not start thousands.
constexpr int MAX_JOBS = 64;

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
        throw UsageError(i_option + ": expected a time in seconds from 0 up, got \"" + *text + "\"");
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
    const std::optional<std::string> text = i_args.value("--fps");
    return text ? parsePositive("--fps", *text) : FrameSource::DEFAULT_FRAME_RATE;
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
// either is reported as the picture it is not). Several: picture files,
// folders of them and standard input.
std::unique_ptr<FrameSource> makeFileSource(const std::vector<std::string>& i_frames, double i_frame_rate,
                                            const markeye::ImageReadOptions& i_read_options)
{
    std::error_code error;
    if (i_frames.size() == 1 && i_frames[0] != FileFrameSource::STANDARD_INPUT &&
        !std::filesystem::is_directory(i_frames[0], error)) {
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
    return std::make_unique<FileFrameSource>(FileFrameSource::expandFolders(i_frames), i_frame_rate, i_read_options);
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
    markeye::ImageReadOptions read_options;
    read_options.exif_orientation = !i_args.has("--no-exif");
    return makeFileSource(frames, frame_rate, read_options);
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

// --jobs N: threads tracking picture files, 1 unless given. What needs its
// frames tracked in order (a stream, temporal tracking, an overlay video)
// takes one.
int jobsOf(const CliArgs& i_args)
{
    const std::optional<std::string> text = i_args.value("--jobs");
    if (!text) {
        return 1;
    }
    const int jobs = parseInt("--jobs", *text, 1, MAX_JOBS);
    for (const char* option : {"--raw", "--video", "--overlay-video"}) {
        if (jobs > 1 && i_args.has(option)) {
            throw UsageError(std::string("--jobs tracks picture files on several threads; ") + option +
                             " needs its frames tracked in order, on one");
        }
    }
    return jobs;
}

// What every tracker of a run is made from, read once.
struct TSessionSetup
{
    std::optional<markeye::Camera> camera;
    std::vector<markeye::Pattern> patterns;
    markeye::TrackerOptions options;
    std::optional<markeye::Board> board;

    TrackSession makeSession() const { return TrackSession(camera, patterns, options, board); }
    // The patterns the sessions number: the board's with a board.
    std::vector<markeye::Pattern> sessionPatterns() const { return board ? board->patterns() : patterns; }
};

TSessionSetup sessionSetupOf(const CliArgs& i_args, const FrameSource& i_source)
{
    TSessionSetup setup;
    setup.camera = TrackSetup::camera(i_args);
    if (!i_args.has("--board")) {
        setup.patterns = TrackSetup::patterns(i_args);
    }
    setup.options = trackingOptions(i_args, i_source);
    setup.board = boardOf(i_args);
    return setup;
}

// Tracks frames one after another as one thread of a run does, with its own
// session and frame, and draws the overlays of the frames it tracks.
class FrameTracker : public TrackPool::IWorker
{
public:
    // Borrows i_files, which process() reads (null for a run in order).
    FrameTracker(const TSessionSetup& i_setup, std::string i_overlay_folder, bool i_from_files,
                 const FileFrameSource* i_files)
        : _session(i_setup.makeSession()), _overlay_folder(std::move(i_overlay_folder)), _from_files(i_from_files),
          _files(i_files)
    {
    }

    // Also writes each frame tracked, drawn on, to io_video (borrowed).
    void drawInto(OverlayVideo* io_video) { _overlay_video = io_video; }

    // Reads the job's picture, then tracks it.
    TFrameReport process(const TFrameJob& i_job) override
    {
        TFrameInfo info = i_job.info;
        const FrameSource::TStatus status = _files->read(i_job.index, &_frame, &info);
        TFrameReport report = reportOf(info);
        if (status == FrameSource::TStatus::FRAME) {
            track(i_job.number, &report);
        }
        return report;
    }

    // Tracks frame(), the i_number-th frame tracked in the run, into
    // io_report (which names it); a frame the tracker refuses sets its error.
    void track(size_t i_number, TFrameReport* io_report)
    {
        try {
            _session.track(_frame, io_report->time, io_report);
        } catch (const markeye::Error& e) {
            io_report->error = describe(io_report->frame) + ": " + e.what();
            return;
        }
        if (_overlay_folder.empty() && _overlay_video == nullptr) {
            return;
        }
        Overlay::draw(_session.camera(), _session.patterns(), _session.options().marker_width, io_report->markers,
                      &_frame);
        if (!_overlay_folder.empty()) {
            markeye::writePng(FileUtil::join(_overlay_folder, overlayName(i_number, io_report->frame, _from_files)),
                              _frame.view());
        }
        if (_overlay_video != nullptr) {
            _overlay_video->write(_frame);
        }
    }

    // The frame next tracked, for a source to read into.
    markeye::Image* frame() { return &_frame; }

    // The report of a frame as its source gave it: name, time and error.
    static TFrameReport reportOf(const TFrameInfo& i_info)
    {
        TFrameReport report;
        report.frame = i_info.name;
        report.time = i_info.time;
        report.error = i_info.error;
        return report;
    }

private:
    // A frame as messages name it: its path, or its place in the stream.
    std::string describe(const std::string& i_frame) const
    {
        if (!_from_files) {
            return "frame " + i_frame;
        }
        return i_frame == FileFrameSource::STANDARD_INPUT ? FileFrameSource::STANDARD_INPUT_NAME : i_frame;
    }

    TrackSession _session;
    std::string _overlay_folder;
    bool _from_files;
    const FileFrameSource* _files;
    OverlayVideo* _overlay_video = nullptr;
    markeye::Image _frame;
};

class TrackRun
{
public:
    TrackRun(const CliArgs& i_args, const TFrameSelection& i_selection, int i_jobs,
             std::unique_ptr<FrameSource> i_source, std::chrono::steady_clock::time_point i_start)
        : _source(std::move(i_source)), _setup(sessionSetupOf(i_args, *_source)),
          _from_files(!i_args.has("--raw") && !_source->isVideo()), _selection(i_selection), _jobs(i_jobs),
          _overlay_folder(i_args.value("--overlay").value_or("")), _found_only(i_args.has("--found-only")),
          _format(IReportFormat::make(i_args.value("--format").value_or("jsonl"), _setup.sessionPatterns())),
          _summary(_setup.sessionPatterns(), i_start), _progress(_source->total())
    {
        if (_jobs > 1 && !_from_files) {
            throw UsageError("--jobs tracks picture files on several threads; a video is tracked in order, on one");
        }
        // Built before any output, so that a tracker refusing its set-up is
        // the run's only message.
        const FileFrameSource* files = _jobs > 1 ? &static_cast<const FileFrameSource&>(*_source) : nullptr;
        for (int i = 0; i < _jobs; i++) {
            _trackers.push_back(std::make_unique<FrameTracker>(_setup, _overlay_folder, _from_files, files));
        }
        if (!_overlay_folder.empty()) {
            FileUtil::makeFolder(_overlay_folder);
        }
        if (i_args.has("--overlay-video")) {
            _overlay_video = std::make_unique<OverlayVideo>(*i_args.value("--overlay-video"),
                                                            _source->frameRate() / _selection.every);
            _trackers[0]->drawInto(_overlay_video.get());
        }
    }

    // Returns the exit status.
    int run()
    {
        print(_format->header());
        _source->start(_selection.start);
        if (_jobs > 1) {
            trackOnThreads();
        } else {
            trackInOrder();
        }
        if (_overlay_video != nullptr) {
            _overlay_video->finish();
        }
        _progress.message(_summary.text());
        if (std::ferror(stdout)) {
            throw CliError("cannot write the results to standard output");
        }
        return _failed ? 1 : 0;
    }

private:
    // Each frame read and tracked here, one after another.
    void trackInOrder()
    {
        FrameTracker& tracker = *_trackers[0];
        for (size_t seen = 0, tracked = 0;; seen++) {
            TFrameInfo info;
            const bool wanted = seen % static_cast<size_t>(_selection.every) == 0;
            const FrameSource::TStatus status = _source->next(wanted, tracker.frame(), &info);
            if (status == FrameSource::TStatus::END || info.time >= _selection.end) {
                break;
            }
            if (status == FrameSource::TStatus::SKIPPED) {
                continue;
            }
            TFrameReport report = FrameTracker::reportOf(info);
            if (status == FrameSource::TStatus::FRAME) {
                tracker.track(tracked++, &report);
            }
            deliver(report);
        }
    }

    // Picture files read and tracked on _jobs threads, reported in order.
    void trackOnThreads()
    {
        auto& files = static_cast<FileFrameSource&>(*_source);
        std::vector<std::unique_ptr<TrackPool::IWorker>> workers(std::make_move_iterator(_trackers.begin()),
                                                                 std::make_move_iterator(_trackers.end()));
        TrackPool pool(std::move(workers), [this](TFrameReport& io_report) { deliver(io_report); });
        TFrameJob job;
        for (size_t seen = 0;; seen++) {
            const bool wanted = seen % static_cast<size_t>(_selection.every) == 0;
            if (!files.pass(&job.index, &job.info) || job.info.time >= _selection.end) {
                break;
            }
            if (wanted) {
                pool.submit(job);
                job.number++;
            }
        }
        pool.finish();
    }

    // A frame's report to the summary and standard output, its error also
    // to standard error.
    void deliver(TFrameReport& io_report)
    {
        if (!io_report.error.empty()) {
            _failed = true;
            _progress.message("markeye: " + io_report.error);
        }
        _summary.add(io_report);
        if (_found_only) {
            io_report.keepFoundOnly();
        }
        print(_format->lines(io_report));
        _progress.step();
    }

    static void print(const std::string& i_text)
    {
        std::fwrite(i_text.data(), 1, i_text.size(), stdout);
        std::fflush(stdout);
    }

    std::unique_ptr<FrameSource> _source;
    TSessionSetup _setup;
    bool _from_files;
    TFrameSelection _selection;
    int _jobs;
    std::string _overlay_folder;
    bool _found_only;
    std::unique_ptr<IReportFormat> _format;
    TrackSummary _summary;
    ProgressBar _progress;
    // One per thread; the pool takes them over.
    std::vector<std::unique_ptr<FrameTracker>> _trackers;
    std::unique_ptr<OverlayVideo> _overlay_video;
    bool _failed = false;
};

}  // namespace

int runTrackCommand(int i_argc, char** i_argv)
{
    const auto start = std::chrono::steady_clock::now();
    return runWithUsage("track", TRACK_USAGE, [&] {
        CliArgs args({{"--camera", true},
                      {"--pattern", true, true},
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
                      {"--no-exif", false},
                      {"--board", true},
                      {"--marker-width", true},
                      {"--jobs", true},
                      {"--format", true},
                      {"--found-only", false},
                      {"--help", false}},
                     {{"--video", "--single-frame"},
                      {"--board", "--pattern"},
                      {"--board", "--pattern-size"},
                      {"--board", "--marker-width"}});
        args.parse(i_argc, i_argv);
        if (args.has("--help")) {
            std::cout << TRACK_USAGE;
            return 0;
        }
        const std::string format = parseChoice("--format", args.value("--format").value_or("jsonl"), {"jsonl", "csv"});
        if (args.has("--board") && format == "csv") {
            throw UsageError("--format csv holds markers only; give --format jsonl for the board's pose");
        }
        // Checked before any input is opened (standard input is read once).
        const TFrameSelection selection = selectionOf(args);
        const int jobs = jobsOf(args);
        TrackRun run(args, selection, jobs, makeSource(args), start);
        return run.run();
    });
}

}  // namespace Markeye
