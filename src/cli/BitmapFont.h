#pragma once

namespace Markeye {

// A 5 x 7 pixel font for labels drawn into pictures: digits, capital
// letters (small letters are drawn as capitals) and a little punctuation;
// any other character is drawn as '?'.
class BitmapFont
{
public:
    static constexpr int WIDTH = 5;
    static constexpr int HEIGHT = 7;
    // Horizontal distance from one character to the next.
    static constexpr int ADVANCE = 6;

    // Whether pixel (i_x, i_y) of character i_c is set; (0, 0) is top-left.
    static bool isSet(char i_c, int i_x, int i_y);
};

}  // namespace Markeye
