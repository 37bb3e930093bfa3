#include "TrackCommand.h"

#include <cstdio>
#include <iostream>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "CliArgs.h"
#include "CliError.h"
#include "CliParse.h"
#include "FileUtil.h"
#include "FrameSource.h"
#include "MarkerTracker.h"
#include "Overlay.h"
#include "PngFile.h"
#include "ProgressBar.h"
#include "TrackSetup.h"
#include "VoARException.h"

namespace Markeye {

namespace {

const char* const TRACK_USAGE =
    "usage: markeye track [--camera FILE] [--pattern FILE ...] [--pattern-size N | WxH]\n"
    "                     [--min-confidence C] [--overlay DIR] [--raw WxH] FRAME...\n"
    "\n"
    "Finds the markers in each frame and prints one JSON object per frame and line:\n"
    "  {\"frame\": \"a.png\", \"width\": 640, \"height\": 480, \"elapsed_ms\": 0.42, \"markers\": [\n"
    "   {\"pattern\": 0, \"found\": true, \"confidence\": 0.87, \"direction\": 2,\n"
    "    \"corners\": [[x, y], ...], \"pose\": [[r00, r01, r02, tx], ...]}, ...]}\n"
    "A frame that cannot be read gives {\"frame\": ..., \"error\": ...} and the run goes on.\n"
    "\n"
    "FRAME                a PNG, JPEG, PPM or PGM picture\n"
    "--camera FILE        camera parameter file (default: the built-in 640 x 480\n"
    "                     camera); rescaled to each frame's size by the width ratio\n"
    "--pattern FILE       a pattern file; repeat for more, numbered 0, 1, ... in order\n"
    "                     (default: the eight built-in markers)\n"
    "--pattern-size N|WxH the patterns' grid (default 16)\n"
    "--min-confidence C   least confidence of a found marker, 0 to 1 (default 0.55)\n"
    "--overlay DIR        also write each frame with what was found drawn on it\n"
    "--raw WxH            read raw frames of W x H pixels, 4 bytes each (blue, green,\n"
    "                     red, unused), from standard input instead of FRAME files\n"
    "\n"
    "Exit status: 0 when every frame was read, 1 when one was not, 2 for a bad\n"
    "command line.\n";

// The overlay's file name: the frame's position in the run, then the
// picture's own name, so that names stay unique and sort in run order.
std::string overlayName(size_t i_index, const std::string& i_frame, bool i_from_file)
{
    char number[16];
    std::snprintf(number, sizeof number, "%06zu", i_index);
    return std::string(number) + (i_from_file ? "_" + PatternFile::stem(i_frame) : "") + ".png";
}

class TrackRun
{
public:
    TrackRun(const CliArgs& i_args, std::unique_ptr<FrameSource> i_source, bool i_from_files)
        : _tracker(TrackSetup::camera(i_args), TrackSetup::patterns(i_args), TrackSetup::minConfidence(i_args)),
          _source(std::move(i_source)), _from_files(i_from_files),
          _overlay_folder(i_args.value("--overlay").value_or(""))
    {
        if (!_overlay_folder.empty()) {
            FileUtil::makeFolder(_overlay_folder);
        }
    }

    // Returns the exit status.
    int run()
    {
        ProgressBar progress(_source->total());
        bool failed = false;
        for (size_t index = 0;; index++) {
            TFrameReport report;
            const FrameSource::TStatus status = _source->next(&_frame, &report.frame, &report.error);
            if (status == FrameSource::TStatus::END) {
                break;
            }
            if (status == FrameSource::TStatus::FRAME) {
                trackFrame(index, &report, &progress);
            }
            if (!report.error.empty()) {
                failed = true;
                progress.message("markeye: " + report.error);
            }
            std::printf("%s\n", report.toJson().c_str());
            std::fflush(stdout);
            progress.step();
        }
        if (std::ferror(stdout)) {
            throw CliError("cannot write the results to standard output");
        }
        return failed ? 1 : 0;
    }

private:
    void trackFrame(size_t i_index, TFrameReport* io_report, ProgressBar* io_progress)
    {
        warnOfProportions(io_report->frame, io_progress);
        try {
            _tracker.track(_frame, io_report);
        } catch (const VoTrack::VoARException&) {
            io_report->error = describe(io_report->frame) + ": the tracker could not process this frame";
            return;
        }
        if (!_overlay_folder.empty()) {
            Overlay::draw(_tracker.camera(), _tracker.patterns(), io_report->markers, &_frame);
            PngFile::write(FileUtil::join(_overlay_folder, overlayName(i_index, io_report->frame, _from_files)),
                           _frame);
        }
    }

    void warnOfProportions(const std::string& i_name, ProgressBar* io_progress)
    {
        const std::pair<int32_t, int32_t> size(_frame.width(), _frame.height());
        if (_tracker.fitsCamera(size.first, size.second) || !_warned_sizes.insert(size).second) {
            return;
        }
        io_progress->message("markeye: warning: " + describe(i_name) + " is " + std::to_string(size.first) + " x " +
                             std::to_string(size.second) +
                             ", not in the camera's proportions; the camera is rescaled by the width alone");
    }

    // A frame as messages name it: its path, or its place in the stream.
    std::string describe(const std::string& i_frame) const { return _from_files ? i_frame : "frame " + i_frame; }

    MarkerTracker _tracker;
    std::unique_ptr<FrameSource> _source;
    bool _from_files;
    std::string _overlay_folder;
    BgraImage _frame;
    std::set<std::pair<int32_t, int32_t>> _warned_sizes;
};

std::unique_ptr<FrameSource> makeSource(const CliArgs& i_args)
{
    const std::vector<std::string>& frames = i_args.positional();
    if (i_args.has("--raw")) {
        if (!frames.empty()) {
            throw UsageError("--raw reads standard input; give no FRAME");
        }
        const TFrameSize size = parseSize("--raw", *i_args.value("--raw"));
        return std::make_unique<RawFrameSource>(stdin, "standard input", size.width, size.height);
    }
    if (frames.empty()) {
        throw UsageError("no FRAME given");
    }
    return std::make_unique<FileFrameSource>(frames);
}

}  // namespace

int runTrackCommand(int i_argc, char** i_argv)
{
    try {
        CliArgs args({{"--camera", true},
                      {"--pattern", true},
                      {"--pattern-size", true},
                      {"--min-confidence", true},
                      {"--overlay", true},
                      {"--raw", true},
                      {"--help", false}});
        args.parse(i_argc, i_argv);
        if (args.has("--help")) {
            std::cout << TRACK_USAGE;
            return 0;
        }
        std::unique_ptr<FrameSource> source = makeSource(args);
        const bool from_files = !args.has("--raw");
        TrackRun run(args, std::move(source), from_files);
        return run.run();
    } catch (const UsageError& e) {
        std::cerr << "markeye track: " << e.what() << "\n" << TRACK_USAGE;
        return 2;
    }
}

}  // namespace Markeye
