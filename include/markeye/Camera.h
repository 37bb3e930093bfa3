#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace markeye {

// A camera's lens distortion as the camera file stores it: one radial term
// about (centre_x, centre_y), coefficient x 1e-8 per squared pixel of
// distance (positive draws observed points towards the centre), then a
// scale. Coefficient 0: no distortion.
struct Distortion
{
    double centre_x, centre_y;
    double coefficient;
    double scale;
};

// A pinhole camera with lens distortion, for frames of one size: the 3 x 4
// projection matrix P maps a point (X, Y, Z) of the camera frame (x right,
// y down, z forward) to ideal pixels, (u, v, w) = P (X, Y, Z, 1). It reads
// and writes the 136-byte camera parameter file (big-endian: width and
// height as 32-bit integers, P row by row and the distortion as doubles).
class Camera
{
public:
    // Size of a camera parameter file in bytes.
    static constexpr std::size_t FILE_SIZE = 136;

    // Throws Error naming the file: it is not a regular file, cannot be read,
    // is shorter or longer than FILE_SIZE bytes, holds a number that is not
    // finite, a size that is not positive or beyond the largest frame
    // (MAX_IMAGE_SIDE, MAX_IMAGE_PIXELS in ImageFile.h), a focal length (fx,
    // fy) that is not positive, or a distortion scale of 0.
    static Camera fromFile(const std::string& i_path);
    // The first FILE_SIZE bytes of a camera file; i_name is used in
    // messages. Throws Error as fromFile does (bytes after them are ignored).
    static Camera fromBytes(const uint8_t* i_bytes, std::size_t i_size, const std::string& i_name = "camera bytes");
    // A camera without lens distortion: focal lengths and principal point
    // in pixels. Throws Error for a size or focal length that is not
    // positive, a size beyond the largest frame, or a value that is not
    // finite. builtin() below throws for such a size too.
    static Camera fromIntrinsics(int32_t i_width, int32_t i_height, double i_fx, double i_fy, double i_cx,
                                 double i_cy, const std::string& i_name = "camera");
    // The built-in nominal camera for frames of this size: the horizontal
    // field of view of a 700-pixel focal length over 640 pixels (49.1
    // degrees), square pixels, the principal point at (width / 2, height / 2),
    // no lens distortion. builtin(640, 480) is the built-in camera file.
    static Camera builtin(int32_t i_width, int32_t i_height);

    int32_t width() const { return _width; }
    int32_t height() const { return _height; }
    double fx() const { return _projection[0]; }
    double fy() const { return _projection[5]; }
    double cx() const { return _projection[2]; }
    double cy() const { return _projection[6]; }
    // P row by row.
    const std::array<double, 12>& projection() const { return _projection; }
    const Distortion& distortion() const { return _distortion; }
    // The file's path, "built-in 640 x 480", or the name given.
    const std::string& name() const { return _name; }

    // The same camera with another lens distortion. Throws Error for a value
    // that is not finite or a scale of 0.
    Camera withDistortion(const Distortion& i_distortion) const;

    // Whether frames of this size have the camera's proportions, so that the
    // camera can be rescaled to them.
    bool fits(int32_t i_width, int32_t i_height) const;
    // The camera for frames of another size with its proportions: P and the
    // distortion scaled by i_width / width(). Throws Error, naming the
    // camera, the two sizes and what to do, when the proportions differ.
    Camera rescaled(int32_t i_width, int32_t i_height) const;
    // Maps an ideal pixel (lens distortion removed) to where it is observed.
    std::array<double, 2> idealToObserved(double i_x, double i_y) const;
    // Maps an observed pixel to the ideal one (by Newton's method on the
    // distortion's radius; exact without distortion).
    std::array<double, 2> observedToIdeal(double i_x, double i_y) const;

    // The camera file's FILE_SIZE bytes.
    std::array<uint8_t, FILE_SIZE> toBytes() const;
    // Writes the camera file. Throws Error naming the file when it cannot be
    // written completely.
    void save(const std::string& i_path) const;

private:
    Camera() = default;
    // Throws Error naming the camera when a value is out of range.
    // i_kind names what the values came from ("camera file", "camera").
    void check(const char* i_kind) const;

    int32_t _width = 0;
    int32_t _height = 0;
    std::array<double, 12> _projection{};
    Distortion _distortion{0.0, 0.0, 0.0, 1.0};
    std::string _name;
};

}  // namespace markeye
