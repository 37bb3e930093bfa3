#pragma once

#include "FloatRgbImage.h"
#include "TSceneOptions.h"

namespace Markeye {

// Paints a scene's background: the grey level with its linear gradient,
// then the seeded clutter shapes.
class BackgroundPainter
{
public:
    // Random-number stream of the clutter, apart from the noise's.
    static constexpr uint64_t CLUTTER_STREAM = 1;

    static void paint(const TSceneOptions& i_options, FloatRgbImage* o_image);

private:
    static void paintLevel(const TSceneOptions& i_options, FloatRgbImage* o_image);
    static void paintClutter(const TSceneOptions& i_options, FloatRgbImage* o_image);
};

}  // namespace Markeye
