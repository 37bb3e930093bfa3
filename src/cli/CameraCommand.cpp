#include "CameraCommand.h"

#include <array>
#include <cmath>
#include <cstdio>
#include <iostream>
#include <string>

#include "CliArgs.h"
#include "CliError.h"
#include "CliParse.h"
#include "CliVerbs.h"
#include "markeye/Camera.h"

namespace Markeye {

namespace {

const char* const CAMERA_USAGE =
    "usage: markeye camera make --size WxH (--focal F | --fx FX --fy FY) [--center CX,CY]\n"
    "                           [--distortion CX,CY,COEF,SCALE] -o FILE\n"
    "       markeye camera show [FILE] [--size WxH]\n"
    "\n"
    "make  writes a camera parameter file (136 bytes, big-endian) for a pinhole camera:\n"
    "      focal lengths in pixels, principal point at the image centre unless --center\n"
    "      is given, no lens distortion unless --distortion is given (centre in pixels,\n"
    "      coefficient, scale).\n"
    "show  prints a camera parameter file (the built-in camera without FILE); --size\n"
    "      rescales it to a frame size first, as the tracker does.\n";

const double RAD_TO_DEG = 180.0 / 3.14159265358979323846;

std::string requireValue(const CliArgs& i_args, const std::string& i_name)
{
    const std::optional<std::string> value = i_args.value(i_name);
    if (!value) {
        throw UsageError("missing " + i_name);
    }
    return *value;
}

markeye::Camera makeCamera(const CliArgs& i_args, const std::string& i_name)
{
    const TFrameSize size = parseSize("--size", requireValue(i_args, "--size"));
    double fx = 0.0;
    double fy = 0.0;
    if (i_args.has("--focal")) {
        fx = fy = parsePositive("--focal", *i_args.value("--focal"));
    } else if (!i_args.has("--fx") && !i_args.has("--fy")) {
        throw UsageError("missing --focal, or --fx and --fy");
    } else {
        fx = parsePositive("--fx", requireValue(i_args, "--fx"));
        fy = parsePositive("--fy", requireValue(i_args, "--fy"));
    }
    std::vector<double> center{size.width / 2.0, size.height / 2.0};
    if (i_args.has("--center")) {
        center = parseDoubleList("--center", *i_args.value("--center"), 2);
    }
    std::vector<double> distortion{center[0], center[1], 0.0, 1.0};
    if (i_args.has("--distortion")) {
        distortion = parseDoubleList("--distortion", *i_args.value("--distortion"), 4);
    }
    if (distortion[3] == 0.0) {
        throw UsageError("--distortion: the scale must not be zero");
    }
    return markeye::Camera::fromIntrinsics(size.width, size.height, fx, fy, center[0], center[1], i_name)
        .withDistortion({distortion[0], distortion[1], distortion[2], distortion[3]});
}

int make(int i_argc, char** i_argv)
{
    CliArgs args({{"--size", true}, {"--focal", true}, {"--fx", true}, {"--fy", true}, {"--center", true},
                  {"--distortion", true}, {"-o", true}, {"--help", false}},
                 {{"--focal", "--fx"}, {"--focal", "--fy"}});
    args.parse(i_argc, i_argv);
    if (args.has("--help")) {
        std::cout << CAMERA_USAGE;
        return 0;
    }
    if (!args.positional().empty()) {
        throw UsageError("unexpected argument " + args.positional().front());
    }
    const std::string path = requireValue(args, "-o");
    const markeye::Camera camera = makeCamera(args, path);
    camera.save(path);
    std::cerr << "wrote " << path << " (" << camera.width() << " x " << camera.height() << ")\n";
    return 0;
}

// Horizontal and vertical field of view in degrees, from the principal point
// to each image edge.
void printFieldOfView(const markeye::Camera& i_camera)
{
    const double horizontal =
        std::atan(i_camera.cx() / i_camera.fx()) + std::atan((i_camera.width() - i_camera.cx()) / i_camera.fx());
    const double vertical =
        std::atan(i_camera.cy() / i_camera.fy()) + std::atan((i_camera.height() - i_camera.cy()) / i_camera.fy());
    std::printf("field of view: %.2f x %.2f degrees\n", horizontal * RAD_TO_DEG, vertical * RAD_TO_DEG);
}

void printCamera(const std::string& i_name, const markeye::Camera& i_camera)
{
    const std::array<double, 12>& m = i_camera.projection();
    const markeye::Distortion& d = i_camera.distortion();
    std::printf("camera: %s\n", i_name.c_str());
    std::printf("size: %d x %d\n", i_camera.width(), i_camera.height());
    std::printf("projection matrix:\n");
    for (int row = 0; row < 3; row++) {
        std::printf("  %12.6f %12.6f %12.6f %12.6f\n", m[row * 4], m[row * 4 + 1], m[row * 4 + 2], m[row * 4 + 3]);
    }
    std::printf("distortion: centre (%.6f, %.6f), coefficient %.6f, scale %.6f\n", d.centre_x, d.centre_y,
                d.coefficient, d.scale);
    printFieldOfView(i_camera);
}

int show(int i_argc, char** i_argv)
{
    CliArgs args({{"--size", true}, {"--help", false}});
    args.parse(i_argc, i_argv);
    if (args.has("--help")) {
        std::cout << CAMERA_USAGE;
        return 0;
    }
    if (args.positional().size() > 1) {
        throw UsageError("camera show takes one FILE");
    }
    markeye::Camera camera = args.positional().empty() ? markeye::Camera::builtin(640, 480)
                                                       : markeye::Camera::fromFile(args.positional().front());
    std::string name = camera.name();
    if (args.has("--size")) {
        const TFrameSize size = parseSize("--size", *args.value("--size"));
        camera = camera.rescaled(size.width, size.height);
        name += ", rescaled";
    }
    printCamera(name, camera);
    return 0;
}

}  // namespace

int runCameraCommand(int i_argc, char** i_argv)
{
    return runVerbs("camera", CAMERA_USAGE, {{"make", make}, {"show", show}}, i_argc, i_argv);
}

}  // namespace Markeye
