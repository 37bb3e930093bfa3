#include "XtraCommand.h"

#include <array>
#include <cstdio>
#include <iostream>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "CliArgs.h"
#include "CliError.h"
#include "CliVerbs.h"
#include "EmulatedHost.h"
#include "HostXtraInstance.h"
#include "HostXtraModule.h"
#include "TrackSetup.h"
#include "markeye/ImageFile.h"
#include "markeye/markeye.h"

namespace Markeye {

namespace {

const char* const XTRA_USAGE = "usage: markeye xtra [--module PATH] [--camera FILE] [--pattern FILE ...]\n"
                               "                    [--pattern-size N | WxH] [--min-confidence C] FRAME...\n"
                               "\n"
                               "Loads the scripting plug-in module into the emulated host and, as a host\n"
                               "script would, calls new (camera file, or the built-in camera as a list of its\n"
                               "136 bytes, and the frame size), setConfidenceTreshold, loadPatternFile for each\n"
                               "--pattern (loadPatternList with the built-in markers' numbers without one),\n"
                               "then detectMarkers for each frame. Prints one line per frame: its name and\n"
                               "the result list in script notation, each element 0 or matrix(16 numbers) in\n"
                               "the host's layout. The tracker is made again when the frame size changes.\n"
                               "\n"
                               "--module PATH        the plug-in module (default: the one built with this program);\n"
                               "                     a bare file name is taken in the current folder\n"
                               "--camera, --pattern, --pattern-size and --min-confidence as for track\n"
                               "                     (default confidence threshold 0.55)\n";

using MarkeyeHost::HostValueStore;
using Moa::TMoaValue;

// The value in the notation a host script prints.
std::string notation(const HostValueStore& i_values, const TMoaValue& i_value)
{
    switch (i_values.typeOf(i_value)) {
    case HostValueStore::TYPE_INTEGER:
        return std::to_string(i_values.integerOf(i_value));
    case HostValueStore::TYPE_MATRIX: {
        std::string text = "matrix(";
        for (size_t i = 0; i < 16; i++) {
            char number[32];
            // Nine significant digits give back the same float.
            std::snprintf(number, sizeof number, "%s%.9g", i == 0 ? "" : ", ", i_values.matrixOf(i_value)[i]);
            text += number;
        }
        return text + ")";
    }
    case HostValueStore::TYPE_LIST: {
        std::string text = "[";
        const std::vector<TMoaValue>& elements = i_values.listOf(i_value);
        for (size_t i = 0; i < elements.size(); i++) {
            text += (i == 0 ? "" : ", ") + notation(i_values, elements[i]);
        }
        return text + "]";
    }
    case HostValueStore::TYPE_VOID:
        return "<Void>";
    default:
        return "<value of type " + std::to_string(i_values.typeOf(i_value)) + ">";
    }
}

// --module PATH, or the module built with this program. A bare file name
// means the one in the current folder, as for the other files given; the
// loader would search the library path for it.
std::string modulePath(const CliArgs& i_args)
{
    const std::string path = i_args.value("--module").value_or(MARKEYE_XTRA_MODULE);
    return path.find('/') == std::string::npos ? "./" + path : path;
}

class XtraRun
{
public:
    explicit XtraRun(const CliArgs& i_args)
        : _camera_path(i_args.value("--camera").value_or("")), _pattern_paths(i_args.values("--pattern")),
          _grid_given(i_args.has("--pattern-size")), _min_confidence(TrackSetup::minConfidence(i_args))
    {
        // Checked here first, so that a faulty file gets a message of its own
        // instead of the plug-in's silent refusal.
        _camera_name = TrackSetup::camera(i_args).value_or(markeye::Camera::builtin(640, 480)).name();
        _patterns = TrackSetup::patterns(i_args);
        const std::string module = modulePath(i_args);
        try {
            _module = std::make_unique<MarkeyeHost::HostXtraModule>(&_host, module);
        } catch (const std::runtime_error& e) {
            throw CliError("cannot load the plug-in module " + module + ": " + e.what());
        }
    }

    // Returns the exit status.
    int run(const std::vector<std::string>& i_frames)
    {
        bool failed = false;
        for (const std::string& path : i_frames) {
            markeye::Image frame;
            try {
                frame = markeye::readImage(path);
            } catch (const markeye::Error& e) {
                std::cerr << "markeye: " << readableMessage(e.what()) << "\n";
                failed = true;
                continue;
            }
            std::printf("%s: %s\n", path.c_str(), detect(frame).c_str());
            std::fflush(stdout);
        }
        return failed ? 1 : 0;
    }

private:
    HostValueStore& values() { return _host.values(); }

    MarkeyeHost::HostXtraInstance::TCallOutcome call(const std::string& i_method,
                                                     const std::vector<TMoaValue>& i_arguments)
    {
        return _tracker->call(i_method, i_arguments);
    }

    std::string detect(const markeye::Image& i_frame)
    {
        if (_tracker == nullptr || i_frame.width() != _image_record->width ||
            i_frame.height() != _image_record->height) {
            makeTracker(i_frame.width(), i_frame.height());
        }
        // The host's image of the frame, refilled for each frame as a video
        // sprite's image is.
        _image_record->pixels.assign(i_frame.data(),
                                     i_frame.data() + static_cast<size_t>(i_frame.stride()) * i_frame.height());
        return notation(values(), call("detectMarkers", {_image}).result);
    }

    void makeTracker(int32_t i_width, int32_t i_height)
    {
        _tracker.reset();
        _tracker = std::make_unique<MarkeyeHost::HostXtraInstance>(_module.get());
        if (_tracker->createStatus() != Moa::MOA_OK) {
            throw CliError("the plug-in could not make a tracker instance (status " +
                           std::to_string(_tracker->createStatus()) + ")");
        }
        call("new", {cameraValue(), values().makeInteger(i_width), values().makeInteger(i_height)});
        call("setConfidenceTreshold", {values().makeFloat(_min_confidence)});
        for (size_t i = 0; i < _patterns.size(); i++) {
            loadPattern(i, i_width, i_height);
        }
        MarkeyeHost::THostImage image;
        image.width = i_width;
        image.height = i_height;
        image.depth = 32;
        image.row_bytes = 4 * i_width;
        _image = values().makeImage(image);
        _image_record = &values().imageOf(_image);
    }

    // The camera file's name, or the built-in camera's bytes as a list.
    TMoaValue cameraValue()
    {
        if (!_camera_path.empty()) {
            return values().makeString(_camera_path);
        }
        const std::array<uint8_t, markeye::Camera::FILE_SIZE> bytes = markeye::Camera::builtin(640, 480).toBytes();
        return values().makeIntegerList(std::vector<int32_t>(bytes.begin(), bytes.end()));
    }

    void loadPattern(size_t i_index, int32_t i_width, int32_t i_height)
    {
        const markeye::Pattern& pattern = _patterns[i_index];
        std::vector<TMoaValue> arguments;
        if (_pattern_paths.empty()) {
            arguments.push_back(values().makeIntegerList(pattern.numbers()));
        } else {
            arguments.push_back(values().makeString(_pattern_paths[i_index]));
        }
        if (_grid_given) {
            arguments.push_back(values().makeInteger(pattern.gridWidth()));
            arguments.push_back(values().makeInteger(pattern.gridHeight()));
        }
        const TMoaValue result = call(_pattern_paths.empty() ? "loadPatternList" : "loadPatternFile", arguments).result;
        if (values().isType(result, HostValueStore::TYPE_INTEGER) && values().integerOf(result) == 1) {
            return;
        }
        if (i_index == 0) {
            throw CliError("the plug-in made no tracker from camera " + _camera_name +
                           " for frames of " + std::to_string(i_width) + " x " + std::to_string(i_height));
        }
        throw CliError("the plug-in refused pattern " + std::to_string(i_index) + " (" + pattern.name() +
                       "); it takes at most 10 patterns");
    }

    std::string _camera_path;
    std::string _camera_name;
    std::vector<std::string> _pattern_paths;
    bool _grid_given;
    double _min_confidence;
    std::vector<markeye::Pattern> _patterns;
    // In this order, so that the tracker ends before the module is closed
    // and both before the host.
    MarkeyeHost::EmulatedHost _host;
    std::unique_ptr<MarkeyeHost::HostXtraModule> _module;
    std::unique_ptr<MarkeyeHost::HostXtraInstance> _tracker;
    TMoaValue _image = Moa::MOA_VOID_VALUE;
    MarkeyeHost::THostImage* _image_record = nullptr;
};

}  // namespace

int runXtraCommand(int i_argc, char** i_argv)
{
    return runWithUsage("xtra", XTRA_USAGE, [&] {
        CliArgs args({{"--module", true},
                      {"--camera", true},
                      {"--pattern", true, true},
                      {"--pattern-size", true},
                      {"--min-confidence", true},
                      {"--help", false}});
        args.parse(i_argc, i_argv);
        if (args.has("--help")) {
            std::cout << XTRA_USAGE;
            return 0;
        }
        if (args.positional().empty()) {
            throw UsageError("no FRAME given");
        }
        XtraRun run(args);
        return run.run(args.positional());
    });
}

}  // namespace Markeye
