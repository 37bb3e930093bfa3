#include "CalibrateCommand.h"

#include <cmath>
#include <cstdio>
#include <iostream>
#include <memory>
#include <optional>
#include <string>

#include "CliArgs.h"
#include "CliError.h"
#include "CliParse.h"
#include "CliVerbs.h"
#include "FrameSource.h"
#include "markeye/Board.h"
#include "markeye/Calibration.h"
#include "markeye/Error.h"

namespace Markeye {

namespace {

const char* const CALIBRATE_USAGE =
    "usage: markeye calibrate --board FILE [-o CAMERA] FRAME...\n"
    "       markeye calibrate --board FILE [-o CAMERA] --raw WxH < frames\n"
    "\n"
    "Estimates the camera from frames showing the board (made with 'markeye board\n"
    "make', printed flat) from different directions and distances, all of one\n"
    "size: focal lengths, principal point, and the lens distortion's centre and\n"
    "coefficient of the camera file. Prints the error of the fit, each view's,\n"
    "each value's uncertainty and what makes the set weak, and writes the camera\n"
    "file with -o. Views that do not fit the others are left out and named.\n"
    "\n"
    "--board FILE  the board's description (JSON)\n"
    "-o CAMERA     the camera file to write\n"
    "--raw WxH     read raw frames of W x H pixels, 4 bytes each (blue, green, red,\n"
    "              unused), from standard input\n";

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

void printResult(const markeye::CalibrationResult& i_result)
{
    const markeye::Camera& camera = i_result.camera;
    const auto& u = i_result.uncertainty;
    const markeye::Distortion& d = camera.distortion();
    std::printf("camera for %d x %d frames, RMS error %.3f px over the views used\n", camera.width(), camera.height(),
                i_result.rms_error);
    std::printf("  focal length x   %10.3f px  +- %.3f\n", camera.fx(), u[0]);
    std::printf("  focal length y   %10.3f px  +- %.3f\n", camera.fy(), u[1]);
    std::printf("  principal x      %10.3f px  +- %.3f\n", camera.cx(), u[2]);
    std::printf("  principal y      %10.3f px  +- %.3f\n", camera.cy(), u[3]);
    std::printf("  distortion x     %10.3f px  +- %.3f\n", d.centre_x, u[4]);
    std::printf("  distortion y     %10.3f px  +- %.3f\n", d.centre_y, u[5]);
    std::printf("  coefficient      %10.4f     +- %.4f  (1e-8 per squared pixel)\n", d.coefficient, u[6]);
    std::printf("views:\n");
    for (const markeye::CalibrationResult::View& view : i_result.views) {
        if (std::isnan(view.rms_error)) {
            std::printf("  %-40s %3d markers  left out: too few markers to fit\n", view.name.c_str(), view.markers);
            continue;
        }
        std::printf("  %-40s %3d markers  %.3f px%s\n", view.name.c_str(), view.markers, view.rms_error,
                    view.used ? "" : "  left out: does not fit the others");
    }
    for (const std::string& warning : i_result.warnings) {
        std::cerr << "markeye calibrate: warning: " << warning << "\n";
    }
}

int calibrate(const CliArgs& i_args)
{
    const std::optional<std::string> board_path = i_args.value("--board");
    if (!board_path) {
        throw UsageError("missing --board");
    }
    std::unique_ptr<FrameSource> source = makeSource(i_args);
    const markeye::Board board = markeye::Board::fromFile(*board_path);
    std::unique_ptr<markeye::Calibration> calibration;
    markeye::Image frame;
    std::string name;
    std::string error;
    int status = 0;
    for (;;) {
        const FrameSource::TStatus got = source->next(&frame, &name, &error);
        if (got == FrameSource::TStatus::END) {
            break;
        }
        if (got == FrameSource::TStatus::UNREADABLE) {
            std::cerr << "markeye calibrate: " << readableMessage(error) << "\n";
            status = 1;
            continue;
        }
        if (!calibration) {
            calibration = std::make_unique<markeye::Calibration>(board, frame.width(), frame.height());
        }
        try {
            calibration->addFrame(frame.view(), name);
        } catch (const markeye::Error& e) {
            std::cerr << "markeye calibrate: " << readableMessage(e.what()) << "\n";
            status = 1;
        }
    }
    if (!calibration) {
        throw CliError("no frame could be read");
    }
    const markeye::CalibrationResult result = calibration->solve();
    printResult(result);
    if (const std::optional<std::string> out = i_args.value("-o")) {
        result.camera.save(*out);
        std::cerr << "wrote " << *out << "\n";
    }
    return status;
}

}  // namespace

int runCalibrateCommand(int i_argc, char** i_argv)
{
    return runWithUsage("calibrate", CALIBRATE_USAGE, [&] {
        CliArgs args({{"--board", true}, {"-o", true}, {"--raw", true}, {"--help", false}});
        args.parse(i_argc, i_argv);
        if (args.has("--help")) {
            std::cout << CALIBRATE_USAGE;
            return 0;
        }
        return calibrate(args);
    });
}

}  // namespace Markeye
