#include "TrackCommand.h"

#include <cstdio>
#include <iostream>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "CliArgs.h"
#include "CliError.h"
#include "CliParse.h"
#include "FileUtil.h"
#include "FrameSource.h"
#include "Overlay.h"
#include "ProgressBar.h"
#include "TrackSession.h"
#include "TrackSetup.h"
#include "markeye/ImageFile.h"

namespace Markeye {

namespace {

const char* const TRACK_USAGE =
    "usage: markeye track [--camera FILE] [--pattern FILE ...] [--pattern-size N | WxH]\n"
    "                     [--min-confidence C] [--compat] [--overlay DIR] [--raw WxH] FRAME...\n"
    "\n"
    "Finds the markers in each frame and prints one JSON object per frame and line:\n"
    "  {\"frame\": \"a.png\", \"width\": 640, \"height\": 480, \"elapsed_ms\": 0.42, \"markers\": [\n"
    "   {\"pattern\": 0, \"found\": true, \"confidence\": 0.87, \"direction\": 2,\n"
    "    \"corners\": [[x, y], ...], \"pose\": [[r00, r01, r02, tx], ...]}, ...]}\n"
    "A frame that cannot be read gives {\"frame\": ..., \"error\": ...} and the run goes on.\n"
    "\n"
    "FRAME                a PNG, JPEG, PPM or PGM picture\n"
    "--camera FILE        camera parameter file, rescaled to frames of its proportions\n"
    "                     (default: the built-in camera for each frame's size)\n"
    "--pattern FILE       a pattern file; repeat for more, numbered 0, 1, ... in order\n"
    "                     (default: the eight built-in markers)\n"
    "--pattern-size N|WxH the patterns' grid (default 16)\n"
    "--min-confidence C   least confidence of a found marker, 0 to 1 (default 0.55)\n"
    "--compat             the scripting plug-in's results exactly: each pattern's best\n"
    "                     square, so one square may count for several patterns\n"
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
    return std::string(number) + (i_from_file ? "_" + FileUtil::stem(i_frame) : "") + ".png";
}

class TrackRun
{
public:
    TrackRun(const CliArgs& i_args, std::unique_ptr<FrameSource> i_source, bool i_from_files)
        : _tracker(TrackSetup::camera(i_args), TrackSetup::patterns(i_args), TrackSetup::options(i_args)),
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
                trackFrame(index, &report);
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
    void trackFrame(size_t i_index, TFrameReport* io_report)
    {
        try {
            _tracker.track(_frame, io_report);
        } catch (const markeye::Error& e) {
            io_report->error = describe(io_report->frame) + ": " + e.what();
            return;
        }
        if (!_overlay_folder.empty()) {
            Overlay::draw(_tracker.camera(), _tracker.patterns(), _tracker.options().marker_width,
                          io_report->markers, &_frame);
            markeye::writePng(FileUtil::join(_overlay_folder, overlayName(i_index, io_report->frame, _from_files)),
                              _frame.view());
        }
    }

    // A frame as messages name it: its path, or its place in the stream.
    std::string describe(const std::string& i_frame) const { return _from_files ? i_frame : "frame " + i_frame; }

    TrackSession _tracker;
    std::unique_ptr<FrameSource> _source;
    bool _from_files;
    std::string _overlay_folder;
    markeye::Image _frame;
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
                      {"--compat", false},
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
