#pragma once

#include <cstdint>
#include <memory>

namespace VoTrack {

// Opens a dark mask with a 3 x 3 square: a dark pixel stays dark only where
// a 3 x 3 block of dark pixels covers it. Specks, lines one or two pixels
// wide and pixel noise go; a region three pixels thick or more everywhere,
// such as a marker's border, keeps its outline. For frames whose noise makes
// more regions than the labeling holds. Built once per frame size with its
// buffers; opening allocates nothing.
class VoARDarkMaskOpening
{
public:
    // i_width, i_height positive.
    VoARDarkMaskOpening(int32_t i_width, int32_t i_height);
    ~VoARDarkMaskOpening();

    VoARDarkMaskOpening(const VoARDarkMaskOpening&) = delete;
    VoARDarkMaskOpening& operator=(const VoARDarkMaskOpening&) = delete;

    // io_dark: width x height bytes, 1 for dark; opened in place. The
    // outermost rows and columns come out bright.
    void open(uint8_t* io_dark);

private:
    // o_out[p] = 1 where the 3-pixel run of i_in centred on p along i_step
    // is all dark (i_all) or has a dark pixel (!i_all); 0 on the frame's edge.
    void runs(const uint8_t* i_in, uint8_t* o_out, bool i_horizontal, bool i_all) const;

    int32_t _width;
    int32_t _height;
    std::unique_ptr<uint8_t[]> _first;
    std::unique_ptr<uint8_t[]> _second;
};

}  // namespace VoTrack
