#pragma once

#include <chrono>
#include <cstddef>
#include <string>

namespace Markeye {

// A one-line progress bar on standard error, drawn only when standard error
// is a terminal, standard output is not (the results would run through the
// bar) and the run is long: at least MIN_FRAMES frames, or a stream of
// unknown length. Messages go through it so that they do not land in the
// middle of the bar.
class ProgressBar
{
public:
    static constexpr size_t MIN_FRAMES = 20;

    // i_total 0: unknown (a stream); the bar then counts frames.
    explicit ProgressBar(size_t i_total);
    ~ProgressBar();
    ProgressBar(const ProgressBar&) = delete;
    ProgressBar& operator=(const ProgressBar&) = delete;

    void step();
    // Prints a line to standard error.
    void message(const std::string& i_line);

private:
    void draw();
    void clear();

    size_t _total;
    size_t _done = 0;
    bool _active;
    bool _drawn = false;
    std::chrono::steady_clock::time_point _last_draw;
};

}  // namespace Markeye
