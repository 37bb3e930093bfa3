// The extension module markeye._markeye: the library's public API
// (include/markeye/) for Python. markeye/__init__.py re-exports it and adds
// the overlay labels.

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <optional>
#include <string>
#include <type_traits>
#include <vector>

#include "ArrayFrame.h"
#include "DetectionDrawing.h"
#include "PythonTracker.h"
#include "markeye/markeye.h"

namespace py = pybind11;
using MarkeyePython::TFoundMarker;

namespace {

// A path given as str or os.PathLike.
std::string pathOf(const py::object& i_path)
{
    return py::str(py::module_::import("os").attr("fspath")(i_path));
}

// The bytes of a bytes, bytearray or memoryview object.
std::string bytesOf(const py::object& i_data)
{
    return py::module_::import("builtins").attr("bytes")(i_data).cast<std::string>();
}

bool isPathLike(const py::object& i_value)
{
    return py::isinstance<py::str>(i_value) || py::hasattr(i_value, "__fspath__");
}

std::string typeName(const py::handle& i_value)
{
    return py::str(py::type::of(i_value).attr("__name__"));
}

// A grid given as None (the default), N (N x N) or (W, H).
std::pair<int32_t, int32_t> gridOf(const py::object& i_grid)
{
    if (i_grid.is_none()) {
        return {markeye::Pattern::DEFAULT_GRID, markeye::Pattern::DEFAULT_GRID};
    }
    if (py::isinstance<py::int_>(i_grid)) {
        const int32_t side = i_grid.cast<int32_t>();
        return {side, side};
    }
    return i_grid.cast<std::pair<int32_t, int32_t>>();
}

markeye::Camera cameraFrom(const py::object& i_camera)
{
    if (py::isinstance<markeye::Camera>(i_camera)) {
        return i_camera.cast<markeye::Camera>();
    }
    if (py::isinstance<py::bytes>(i_camera) || py::isinstance<py::bytearray>(i_camera) ||
        py::isinstance<py::memoryview>(i_camera)) {
        const std::string bytes = bytesOf(i_camera);
        return markeye::Camera::fromBytes(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    }
    if (isPathLike(i_camera)) {
        return markeye::Camera::fromFile(pathOf(i_camera));
    }
    throw markeye::Error("camera: expected None, a file path, bytes or a markeye.Camera, not " + typeName(i_camera));
}

std::vector<markeye::Pattern> patternsFrom(const py::object& i_patterns)
{
    if (i_patterns.is_none()) {
        return markeye::Pattern::builtins();
    }
    if (isPathLike(i_patterns) || py::isinstance<markeye::Pattern>(i_patterns) || !py::isinstance<py::iterable>(i_patterns)) {
        throw markeye::Error("patterns: expected None or a list of file paths and markeye.Pattern objects, not " +
                             typeName(i_patterns));
    }
    std::vector<markeye::Pattern> patterns;
    for (const py::handle& item : i_patterns) {
        const py::object pattern = py::reinterpret_borrow<py::object>(item);
        if (py::isinstance<markeye::Pattern>(pattern)) {
            patterns.push_back(pattern.cast<markeye::Pattern>());
        } else if (isPathLike(pattern)) {
            patterns.push_back(markeye::Pattern::fromFile(pathOf(pattern)));
        } else {
            throw markeye::Error("patterns: expected file paths and markeye.Pattern objects, not " + typeName(pattern));
        }
    }
    return patterns;
}

template <typename TEnum>
TEnum choiceOf(const char* i_option, const std::string& i_value, const char* i_first, TEnum i_first_value,
               const char* i_second, TEnum i_second_value)
{
    if (i_value == i_first) {
        return i_first_value;
    }
    if (i_value == i_second) {
        return i_second_value;
    }
    throw markeye::Error(std::string("tracker option ") + i_option + " must be \"" + i_first + "\" or \"" + i_second +
                         "\", not \"" + i_value + "\"");
}

py::dict temporalDict(const markeye::TemporalOptions& i_options)
{
    py::dict temporal;
    temporal["enabled"] = i_options.enabled;
    temporal["filter"] = i_options.filter;
    temporal["min_cutoff_hz"] = i_options.min_cutoff_hz;
    temporal["rotation_beta"] = i_options.rotation_beta;
    temporal["translation_beta"] = i_options.translation_beta;
    temporal["depth_beta"] = i_options.depth_beta;
    temporal["derivative_cutoff_hz"] = i_options.derivative_cutoff_hz;
    temporal["max_lost_frames"] = i_options.max_lost_frames;
    temporal["frame_rate"] = i_options.frame_rate;
    return temporal;
}

// The temporal option: a bool (on with the defaults, or off) or a dict of
// TemporalOptions fields, which turns temporal tracking on unless it says
// "enabled": False; the fields it leaves out keep their defaults.
markeye::TemporalOptions temporalFrom(const py::object& i_value)
{
    markeye::TemporalOptions temporal;
    if (py::isinstance<py::bool_>(i_value)) {
        temporal.enabled = i_value.cast<bool>();
        return temporal;
    }
    if (!py::isinstance<py::dict>(i_value)) {
        throw markeye::Error("tracker option temporal must be a bool or a dict, not " +
                             std::string(py::str(i_value.get_type().attr("__name__"))));
    }
    temporal.enabled = true;
    for (const auto& [key, value] : i_value.cast<py::dict>()) {
        const std::string name = py::str(key);
        const auto as = [&](auto* o_field) {
            try {
                *o_field = value.cast<std::remove_pointer_t<decltype(o_field)>>();
            } catch (const py::cast_error&) {
                throw markeye::Error("tracker option temporal." + name + " has the wrong type: " +
                                     std::string(py::str(value.get_type().attr("__name__"))));
            }
        };
        if (name == "enabled") {
            as(&temporal.enabled);
        } else if (name == "filter") {
            as(&temporal.filter);
        } else if (name == "min_cutoff_hz") {
            as(&temporal.min_cutoff_hz);
        } else if (name == "rotation_beta") {
            as(&temporal.rotation_beta);
        } else if (name == "translation_beta") {
            as(&temporal.translation_beta);
        } else if (name == "depth_beta") {
            as(&temporal.depth_beta);
        } else if (name == "derivative_cutoff_hz") {
            as(&temporal.derivative_cutoff_hz);
        } else if (name == "max_lost_frames") {
            as(&temporal.max_lost_frames);
        } else if (name == "frame_rate") {
            as(&temporal.frame_rate);
        } else {
            throw markeye::Error("tracker option temporal has no field \"" + name +
                                 "\" (there are enabled, filter, min_cutoff_hz, rotation_beta, translation_beta, "
                                 "depth_beta, derivative_cutoff_hz, max_lost_frames, frame_rate)");
        }
    }
    return temporal;
}

py::dict optionsDict(const markeye::TrackerOptions& i_options)
{
    py::dict options;
    options["marker_width"] = i_options.marker_width;
    options["min_confidence"] = i_options.min_confidence;
    options["min_margin"] = i_options.min_margin;
    options["binarisation"] = i_options.binarisation == markeye::Binarisation::TILE ? "tile" : "fixed";
    options["threshold"] = i_options.threshold;
    options["subpixel_edges"] = i_options.subpixel_edges;
    options["pose_solver"] = i_options.pose_solver == markeye::PoseSolver::PLANAR ? "planar" : "plugin";
    options["plugin_compatible"] = i_options.plugin_compatible;
    options["temporal"] = temporalDict(i_options.temporal);
    return options;
}

// A copy of i_rows x i_columns numbers as a float64 array.
template <typename TRows>
py::array_t<double> matrixOf(const TRows& i_rows, py::ssize_t i_row_count, py::ssize_t i_columns)
{
    py::array_t<double> matrix({i_row_count, i_columns});
    auto out = matrix.mutable_unchecked<2>();
    for (py::ssize_t r = 0; r < i_row_count; r++) {
        for (py::ssize_t c = 0; c < i_columns; c++) {
            out(r, c) = i_rows[static_cast<size_t>(r)][static_cast<size_t>(c)];
        }
    }
    return matrix;
}

// The first i_columns columns of the camera's projection matrix.
py::array_t<double> projectionColumns(const markeye::Camera& i_camera, py::ssize_t i_columns)
{
    const std::array<double, 12>& p = i_camera.projection();
    const std::array<const double*, 3> rows = {p.data(), p.data() + 4, p.data() + 8};
    return matrixOf(rows, 3, i_columns);
}

// A picture of the library as an H x W (grey) or H x W x C array, channels
// in i_order.
py::array_t<uint8_t> arrayOf(const markeye::Image& i_image, const std::string& i_order)
{
    const bool rgb = MarkeyePython::isRgbOrder(i_order);
    const int32_t bytes = markeye::bytesPerPixel(i_image.format());
    const bool stored_rgb = i_image.format() == markeye::PixelFormat::RGB ||
                            i_image.format() == markeye::PixelFormat::RGBA ||
                            i_image.format() == markeye::PixelFormat::RGBX;
    std::vector<py::ssize_t> shape = {i_image.height(), i_image.width()};
    if (bytes > 1) {
        shape.push_back(bytes);
    }
    py::array_t<uint8_t> array(shape);
    uint8_t* out = array.mutable_data();
    for (int32_t y = 0; y < i_image.height(); y++) {
        for (int32_t x = 0; x < i_image.width(); x++) {
            const uint8_t* pixel = i_image.pixel(x, y);
            for (int32_t c = 0; c < bytes; c++) {
                // The first three bytes swap between the orders; a fourth stays.
                *out++ = pixel[(c < 3 && bytes > 1 && rgb != stored_rgb) ? 2 - c : c];
            }
        }
    }
    return array;
}

py::dict detectionDict(const TFoundMarker& i_found)
{
    const markeye::Detection& d = i_found.detection;
    py::list corners;
    for (const auto& corner : d.corners) {
        corners.append(py::make_tuple(corner[0], corner[1]));
    }
    py::list rotation;
    for (const auto& row : d.rotation) {
        rotation.append(py::make_tuple(row[0], row[1], row[2]));
    }
    py::dict dict;
    dict["pattern"] = d.pattern;
    dict["name"] = i_found.name;
    dict["confidence"] = d.confidence;
    dict["direction"] = d.direction;
    dict["corners"] = corners;
    dict["rotation"] = rotation;
    dict["translation"] = py::make_tuple(d.translation[0], d.translation[1], d.translation[2]);
    dict["reprojection_error"] = d.reprojection_error;
    dict["pose_ambiguity"] = d.pose_ambiguity;
    dict["track_id"] = d.track_id;
    dict["marker_width"] = i_found.marker_width;
    return dict;
}

void drawShapes(const py::object& i_image, const std::vector<TFoundMarker>& i_markers, const py::object& i_camera,
                const std::string& i_order)
{
    const MarkeyePython::ArrayFrame frame(i_image, i_order, "image");
    const markeye::ImageView view = frame.writableView();
    markeye::Camera camera =
        i_camera.is_none() ? markeye::Camera::builtin(view.width, view.height) : cameraFrom(i_camera);
    if (camera.width() != view.width || camera.height() != view.height) {
        camera = camera.rescaled(view.width, view.height);
    }
    py::gil_scoped_release unlocked;
    MarkeyePython::DetectionDrawing::draw(view, camera, i_markers);
}

}  // namespace

PYBIND11_MODULE(_markeye, m)
{
    m.doc() = "Markeye's C++ library for Python: cameras, patterns and the marker tracker.";
    m.attr("__version__") = markeye::version();
    py::register_exception<markeye::Error>(m, "Error", PyExc_ValueError);

    py::class_<markeye::Distortion>(m, "Distortion", R"doc(
A camera's lens distortion as the camera file stores it: one radial term
about (centre_x, centre_y) in pixels, ``coefficient`` x 1e-8 per squared
pixel of distance (positive draws observed points towards the centre), then
``scale``. Coefficient 0: no distortion.)doc")
        .def(py::init([](double centre_x, double centre_y, double coefficient, double scale) {
                 return markeye::Distortion{centre_x, centre_y, coefficient, scale};
             }),
             py::arg("centre_x") = 0.0, py::arg("centre_y") = 0.0, py::arg("coefficient") = 0.0,
             py::arg("scale") = 1.0)
        .def_readwrite("centre_x", &markeye::Distortion::centre_x, "Centre x in pixels.")
        .def_readwrite("centre_y", &markeye::Distortion::centre_y, "Centre y in pixels.")
        .def_readwrite("coefficient", &markeye::Distortion::coefficient, "Radial term, x 1e-8 per squared pixel.")
        .def_readwrite("scale", &markeye::Distortion::scale, "Scale (not 0).")
        .def("__eq__",
             [](const markeye::Distortion& a, const markeye::Distortion& b) {
                 return a.centre_x == b.centre_x && a.centre_y == b.centre_y && a.coefficient == b.coefficient &&
                        a.scale == b.scale;
             })
        .def("__repr__", [](const markeye::Distortion& d) {
            return py::str("Distortion(centre_x={!r}, centre_y={!r}, coefficient={!r}, scale={!r})")
                .format(d.centre_x, d.centre_y, d.coefficient, d.scale);
        });

    py::class_<markeye::Camera>(m, "Camera", R"doc(
A pinhole camera with lens distortion, for frames of one size. Its 3 x 4
projection matrix maps a point (X, Y, Z) of the camera frame (x right,
y down, z forward) to ideal pixels: (u, v, w) = P (X, Y, Z, 1). Made with
``from_file``, ``from_bytes``, ``from_intrinsics`` or ``builtin``.)doc")
        .def_static(
            "from_file", [](const py::object& path) { return markeye::Camera::fromFile(pathOf(path)); },
            py::arg("path"), "Reads a 136-byte camera parameter file. Raises Error naming the file and the fault.")
        .def_static(
            "from_bytes",
            [](const py::object& data, const std::string& name) {
                const std::string bytes = bytesOf(data);
                return markeye::Camera::fromBytes(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), name);
            },
            py::arg("data"), py::arg("name") = "camera bytes", "The 136 bytes of a camera file; ``name`` is used in messages.")
        .def_static(
            "from_intrinsics",
            [](int32_t width, int32_t height, double fx, double fy, std::optional<double> cx, std::optional<double> cy,
               const std::string& name) {
                return markeye::Camera::fromIntrinsics(width, height, fx, fy, cx.value_or(width / 2.0),
                                                       cy.value_or(height / 2.0), name);
            },
            py::arg("width"), py::arg("height"), py::arg("fx"), py::arg("fy"), py::arg("cx") = py::none(),
            py::arg("cy") = py::none(), py::arg("name") = "camera",
            "A camera without lens distortion: focal lengths and principal point in pixels (default: the frame's "
            "centre).")
        .def_static("builtin", &markeye::Camera::builtin, py::arg("width"), py::arg("height"),
                    "The built-in nominal camera for frames of this size: focal length 700 x width / 640 pixels, "
                    "square pixels, principal point at the centre, no distortion.")
        .def_property_readonly("width", &markeye::Camera::width, "Frame width in pixels.")
        .def_property_readonly("height", &markeye::Camera::height, "Frame height in pixels.")
        .def_property_readonly(
            "size", [](const markeye::Camera& c) { return py::make_tuple(c.width(), c.height()); },
            "(width, height) in pixels.")
        .def_property_readonly("fx", &markeye::Camera::fx, "Horizontal focal length in pixels.")
        .def_property_readonly("fy", &markeye::Camera::fy, "Vertical focal length in pixels.")
        .def_property_readonly("cx", &markeye::Camera::cx, "Principal point x in pixels.")
        .def_property_readonly("cy", &markeye::Camera::cy, "Principal point y in pixels.")
        .def_property_readonly(
            "projection",
            [](const markeye::Camera& c) { return projectionColumns(c, 4); },
            "The 3 x 4 projection matrix P (a new float64 array).")
        .def_property_readonly(
            "K",
            [](const markeye::Camera& c) { return projectionColumns(c, 3); },
            "The 3 x 3 intrinsic matrix: the first three columns of P (a new float64 array).")
        .def_property_readonly("distortion", &markeye::Camera::distortion, "The lens distortion (a copy).")
        .def_property_readonly("name", &markeye::Camera::name, "The file's path, \"built-in W x H\", or the name given.")
        .def("with_distortion", &markeye::Camera::withDistortion, py::arg("distortion"),
             "The same camera with another lens distortion.")
        .def("fits", &markeye::Camera::fits, py::arg("width"), py::arg("height"),
             "Whether frames of this size have the camera's proportions.")
        .def("rescaled", &markeye::Camera::rescaled, py::arg("width"), py::arg("height"),
             "The camera for frames of another size with its proportions; raises Error when they differ.")
        .def(
            "ideal_to_observed",
            [](const markeye::Camera& c, double x, double y) {
                const std::array<double, 2> observed = c.idealToObserved(x, y);
                return py::make_tuple(observed[0], observed[1]);
            },
            py::arg("x"), py::arg("y"), "Where an ideal pixel (distortion removed) is observed, as (x, y).")
        .def(
            "to_bytes",
            [](const markeye::Camera& c) {
                const auto bytes = c.toBytes();
                return py::bytes(reinterpret_cast<const char*>(bytes.data()), bytes.size());
            },
            "The camera file's 136 bytes.")
        .def(
            "save", [](const markeye::Camera& c, const py::object& path) { c.save(pathOf(path)); }, py::arg("path"),
            "Writes the camera file.")
        .def("__repr__", [](const markeye::Camera& c) {
            return py::str("<markeye.Camera {!r} {}x{} fx={} fy={} cx={} cy={}>")
                .format(c.name(), c.width(), c.height(), c.fx(), c.fy(), c.cx(), c.cy());
        });

    py::class_<markeye::Pattern>(m, "Pattern", R"doc(
One known marker picture, as the tracker compares squares with it: the
12 x W x H brightness numbers of a pattern file (directions 0 to 3, planes
blue, green, red, rows, columns) on a grid of W x H cells.)doc")
        .def_static(
            "from_file",
            [](const py::object& path, const py::object& grid) {
                if (grid.is_none()) {
                    return markeye::Pattern::fromFile(pathOf(path));
                }
                const auto [width, height] = gridOf(grid);
                return markeye::Pattern::fromFile(pathOf(path), width, height);
            },
            py::arg("path"), py::arg("grid") = py::none(),
            "Reads a pattern file; ``grid`` (N or (W, H)) or, when None, told by its count of numbers.")
        .def_static(
            "from_numbers",
            [](const std::vector<int32_t>& numbers, int32_t grid_width, int32_t grid_height, std::string name) {
                return markeye::Pattern::fromNumbers(numbers, grid_width, grid_height, std::move(name));
            },
            py::arg("numbers"), py::arg("grid_width") = markeye::Pattern::DEFAULT_GRID,
            py::arg("grid_height") = markeye::Pattern::DEFAULT_GRID, py::arg("name") = "pattern",
            "A pattern from the 12 x W x H numbers of a pattern file.")
        .def_static(
            "from_image",
            [](const py::object& image, const py::object& grid, std::string name, const std::string& order) {
                const auto [width, height] = gridOf(grid);
                std::vector<uint8_t> copy;
                const MarkeyePython::ArrayFrame frame(image, order, "image");
                return markeye::Pattern::fromPicture(frame.view(true, &copy), width, height, std::move(name));
            },
            py::arg("image"), py::arg("grid") = markeye::Pattern::DEFAULT_GRID, py::arg("name") = "picture",
            py::arg("order") = "bgr",
            "The pattern of a marker's central picture, upright (row 0 at the top), from a uint8 array laid out "
            "as for Tracker.track; each cell is the mean of the picture over it.")
        .def_static(
            "builtin",
            [](const std::string& name, const py::object& grid) {
                const auto [width, height] = gridOf(grid);
                return markeye::Pattern::builtin(name, width, height);
            },
            py::arg("name"), py::arg("grid") = markeye::Pattern::DEFAULT_GRID,
            "Built-in marker ``name`` (one of builtin_names()).")
        .def_static(
            "builtins",
            [](const py::object& grid) {
                const auto [width, height] = gridOf(grid);
                return markeye::Pattern::builtins(width, height);
            },
            py::arg("grid") = markeye::Pattern::DEFAULT_GRID, "All eight built-in markers in their order.")
        .def_static("builtin_names", &markeye::Pattern::builtinNames,
                    "The built-in markers' names: flag, arrow, hook, dots, steps, key, tee, moon.")
        .def_static(
            "builtin_picture",
            [](const std::string& name, const std::string& order) {
                return arrayOf(markeye::Pattern::builtinPicture(name), order);
            },
            py::arg("name"), py::arg("order") = "bgr",
            "The central picture of a built-in marker: 16 x 16 x 3 uint8, black on white.")
        .def_property_readonly("name", &markeye::Pattern::name)
        .def_property_readonly("grid_width", &markeye::Pattern::gridWidth)
        .def_property_readonly("grid_height", &markeye::Pattern::gridHeight)
        .def_property_readonly(
            "numbers",
            [](const markeye::Pattern& p) {
                const std::vector<int32_t>& numbers = p.numbers();
                py::array_t<int32_t> array({py::ssize_t{4}, py::ssize_t{3}, py::ssize_t{p.gridHeight()},
                                            py::ssize_t{p.gridWidth()}});
                std::copy(numbers.begin(), numbers.end(), array.mutable_data());
                return array;
            },
            "The numbers as an int32 array of shape (direction 4, plane 3 (blue, green, red), rows, columns).")
        .def(
            "picture",
            [](const markeye::Pattern& p, int32_t direction, const std::string& order) {
                if (direction < 0 || direction > 3) {
                    throw markeye::Error("direction must be from 0 to 3, not " + std::to_string(direction));
                }
                return arrayOf(p.picture(direction), order);
            },
            py::arg("direction") = 0, py::arg("order") = "bgr",
            "Block ``direction`` (0: upright) as a grid_height x grid_width x 3 uint8 picture.")
        .def(
            "save", [](const markeye::Pattern& p, const py::object& path) { p.save(pathOf(path)); }, py::arg("path"),
            "Writes the pattern file.")
        .def("__repr__", [](const markeye::Pattern& p) {
            return py::str("<markeye.Pattern {!r} {}x{}>").format(p.name(), p.gridWidth(), p.gridHeight());
        });

    py::class_<TFoundMarker>(m, "Detection", R"doc(
One marker found in a frame. Lengths are in the unit of the tracker's
marker_width; pixels have x right and y down; the camera frame has x right,
y down, z forward; a marker point p lies at rotation @ p + translation.)doc")
        .def_property_readonly(
            "pattern", [](const TFoundMarker& f) { return f.detection.pattern; },
            "The pattern's index in the order the tracker was given them.")
        .def_readonly("name", &TFoundMarker::name, "The pattern's name.")
        .def_property_readonly(
            "confidence", [](const TFoundMarker& f) { return f.detection.confidence; },
            "How well the square's picture matches the pattern, 0 to 1.")
        .def_property_readonly(
            "direction", [](const TFoundMarker& f) { return f.detection.direction; },
            "Which of the pattern's four blocks matched (0 to 3).")
        .def_property_readonly(
            "corners", [](const TFoundMarker& f) { return matrixOf(f.detection.corners, 4, 2); },
            "Marker vertices 0 to 3 in observed pixels, a 4 x 2 float64 array (vertex 0: the upright picture's "
            "top-left, then clockwise seen from the front).")
        .def_property_readonly(
            "rotation", [](const TFoundMarker& f) { return matrixOf(f.detection.rotation, 3, 3); },
            "Marker-to-camera rotation, 3 x 3 float64.")
        .def_property_readonly(
            "translation",
            [](const TFoundMarker& f) {
                py::array_t<double> t(3);
                std::copy(f.detection.translation.begin(), f.detection.translation.end(), t.mutable_data());
                return t;
            },
            "The marker's centre in the camera frame, shape (3,), in marker-width units.")
        .def_property_readonly(
            "pose",
            [](const TFoundMarker& f) {
                py::array_t<double> pose({3, 4});
                auto out = pose.mutable_unchecked<2>();
                for (py::ssize_t r = 0; r < 3; r++) {
                    for (py::ssize_t c = 0; c < 3; c++) {
                        out(r, c) = f.detection.rotation[r][c];
                    }
                    out(r, 3) = f.detection.translation[r];
                }
                return pose;
            },
            "[rotation | translation], 3 x 4 float64 (the command-line program's \"pose\").")
        .def_property_readonly(
            "reprojection_error", [](const TFoundMarker& f) { return f.detection.reprojection_error; },
            "RMS distance in ideal pixels between the square's corners and the pose's projected vertices.")
        .def_property_readonly(
            "pose_ambiguity", [](const TFoundMarker& f) { return f.detection.pose_ambiguity; },
            "0 to 1; near 1 the pose's mirror fits about as well. NaN with the plug-in's pose solver.")
        .def_property_readonly(
            "track_id", [](const TFoundMarker& f) { return f.detection.track_id; },
            "With temporal tracking, the number of the marker's track, the same from frame to frame (also across "
            "a few frames where it is not found); -1 without.")
        .def_readonly("marker_width", &TFoundMarker::marker_width,
                      "The marker width the translation is measured in (the tracker's).")
        .def("as_dict", &detectionDict, "The detection as plain Python values (lists, tuples, floats).")
        .def("__repr__", [](const TFoundMarker& f) {
            return py::str("<markeye.Detection {} {!r} confidence={:.3f} direction={} translation=({:.1f}, {:.1f}, {:.1f})>")
                .format(f.detection.pattern, f.name, f.detection.confidence, f.detection.direction,
                        f.detection.translation[0], f.detection.translation[1], f.detection.translation[2]);
        });

    const markeye::TrackerOptions defaults;
    py::class_<MarkeyePython::PythonTracker>(m, "Tracker", R"doc(
Finds the markers of known patterns in frames.

camera: None (the built-in camera for each frame's size), a camera file's
path, its bytes, or a Camera (rescaled to frames of its proportions).
patterns: None (the eight built-in markers) or a list of pattern file paths
and Pattern objects, numbered in that order. The keyword options are the C++
TrackerOptions: marker_width (the unit of translations), min_confidence,
min_margin, binarisation ("tile" or "fixed"), threshold (0 to 255, for
"fixed"), subpixel_edges, pose_solver ("planar" or "plugin") and
plugin_compatible; plugin_options() gives the scripting plug-in's.
temporal: for the frames of one video, True (temporal tracking with its
defaults) or a dict of its fields (enabled, filter, min_cutoff_hz,
rotation_beta, translation_beta, depth_beta, derivative_cutoff_hz,
max_lost_frames, frame_rate), which turns it on unless "enabled" is False.)doc")
        .def(py::init([](const py::object& camera, const py::object& patterns, double marker_width,
                         double min_confidence, double min_margin, const std::string& binarisation, int threshold,
                         bool subpixel_edges, const std::string& pose_solver, bool plugin_compatible,
                         const py::object& temporal) {
                 markeye::TrackerOptions options;
                 options.marker_width = marker_width;
                 options.min_confidence = min_confidence;
                 options.min_margin = min_margin;
                 options.binarisation = choiceOf("binarisation", binarisation, "tile", markeye::Binarisation::TILE,
                                                 "fixed", markeye::Binarisation::FIXED);
                 options.threshold = threshold;
                 options.subpixel_edges = subpixel_edges;
                 options.pose_solver = choiceOf("pose_solver", pose_solver, "planar", markeye::PoseSolver::PLANAR,
                                                "plugin", markeye::PoseSolver::PLUGIN);
                 options.plugin_compatible = plugin_compatible;
                 options.temporal = temporalFrom(temporal);
                 std::optional<markeye::Camera> given;
                 if (!camera.is_none()) {
                     given = cameraFrom(camera);
                 }
                 return std::make_unique<MarkeyePython::PythonTracker>(given, patternsFrom(patterns), options);
             }),
             py::arg("camera") = py::none(), py::arg("patterns") = py::none(), py::kw_only(),
             py::arg("marker_width") = defaults.marker_width, py::arg("min_confidence") = defaults.min_confidence,
             py::arg("min_margin") = defaults.min_margin, py::arg("binarisation") = "tile",
             py::arg("threshold") = defaults.threshold, py::arg("subpixel_edges") = defaults.subpixel_edges,
             py::arg("pose_solver") = "planar", py::arg("plugin_compatible") = defaults.plugin_compatible,
             py::arg("temporal") = defaults.temporal.enabled)
        .def("track", &MarkeyePython::PythonTracker::track, py::arg("image"), py::arg("order") = "bgr",
             py::arg("allow_copy") = true, py::arg("time") = py::none(), R"doc(
The markers in ``image``, a uint8 NumPy array: H x W or H x W x 1 (grey),
H x W x 3 (BGR as OpenCV gives, or RGB with order="rgb") or H x W x 4 (BGRA,
or RGBA). Rows may lie at any distance (slices, flipped views) and are read
in place when each pixel's channels are adjacent and pixels a pixel apart;
other layouts are copied first, or raise Error with allow_copy=False.
With temporal tracking, ``time`` is when the frame is shown, in seconds
(None: one period of the frame_rate option after the last frame, the first
at 0); a time not after the last frame's starts a new sequence.
Returns a list of Detection, by pattern. Releases the GIL while tracking.)doc")
        .def("reset_tracks", &MarkeyePython::PythonTracker::resetTracks,
             "Temporal tracking forgets every marker: the next frame starts a new sequence (after a seek). "
             "Track numbers go on.")
        .def("prepare", &MarkeyePython::PythonTracker::prepare, py::arg("width"), py::arg("height"),
             "Builds the buffers for frames of this size now, as the first such frame would.")
        .def_property_readonly("camera", &MarkeyePython::PythonTracker::camera,
                               "The camera used for the last frame (None before the first one when none was given).")
        .def_property_readonly("patterns", &MarkeyePython::PythonTracker::patterns, "The patterns, in their order.")
        .def_property_readonly(
            "options", [](const MarkeyePython::PythonTracker& t) { return optionsDict(t.options()); },
            "The options as a dict of the keyword arguments.")
        .def_property_readonly("best_confidences", &MarkeyePython::PythonTracker::bestConfidences,
                               "Per pattern, its best confidence over the last frame's squares (NaN: no square).")
        .def_property_readonly("elapsed_ms", &MarkeyePython::PythonTracker::elapsedMs,
                               "Milliseconds the C++ tracker spent on the last frame, without the binding.");

    m.def(
        "plugin_options", [] { return optionsDict(markeye::TrackerOptions::pluginCompatible()); },
        "The scripting plug-in's settings as Tracker keyword arguments: Tracker(**plugin_options()).");
    m.def("_draw_shapes", &drawShapes, py::arg("image"), py::arg("detections"), py::arg("camera"), py::arg("order"),
          "Outlines, vertex 0 dots and axes of markeye.draw (without the labels).");
}
