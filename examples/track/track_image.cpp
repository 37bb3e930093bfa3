// Tracks the built-in markers in one picture and prints each one found.
// Built with CMake (CMakeLists.txt beside this file) or with pkg-config:
//   c++ -std=c++17 track_image.cpp $(pkg-config --cflags --libs markeye-imageio) -o track_image

#include <cstdio>

#include <markeye/ImageFile.h>
#include <markeye/markeye.h>

int main(int i_argc, char** i_argv)
{
    if (i_argc != 2) {
        std::fprintf(stderr, "usage: track_image PICTURE\n");
        return 2;
    }
    try {
        const markeye::Image frame = markeye::readImage(i_argv[1]);
        markeye::Tracker tracker(markeye::Camera::builtin(frame.width(), frame.height()), markeye::Pattern::builtins());
        for (const markeye::Detection& found : tracker.track(frame.view())) {
            const auto& centre = found.translation;
            std::printf("%s confidence %.2f at (%.1f, %.1f, %.1f)\n", tracker.patterns()[found.pattern].name().c_str(),
                        found.confidence, centre[0], centre[1], centre[2]);
        }
    } catch (const markeye::Error& error) {
        std::fprintf(stderr, "track_image: %s\n", error.what());
        return 1;
    }
    return 0;
}
