#include "ProgressBar.h"

#include <unistd.h>

#include <cstdio>

namespace Markeye {

namespace {

constexpr int BAR_WIDTH = 40;
// Redraw at most this often.
constexpr std::chrono::milliseconds REDRAW_INTERVAL(100);

}  // namespace

ProgressBar::ProgressBar(size_t i_total)
    : _total(i_total),
      _active(isatty(STDERR_FILENO) == 1 && isatty(STDOUT_FILENO) == 0 && (i_total == 0 || i_total >= MIN_FRAMES))
{
}

ProgressBar::~ProgressBar()
{
    clear();
}

void ProgressBar::step()
{
    _done++;
    const auto now = std::chrono::steady_clock::now();
    if (_active && (now - _last_draw >= REDRAW_INTERVAL || _done == _total)) {
        _last_draw = now;
        draw();
    }
}

void ProgressBar::message(const std::string& i_line)
{
    clear();
    std::fprintf(stderr, "%s\n", i_line.c_str());
    if (_active && _done > 0) {
        draw();
    }
}

void ProgressBar::draw()
{
    if (_total == 0) {
        std::fprintf(stderr, "\rframes: %zu", _done);
    } else {
        const int filled = static_cast<int>(BAR_WIDTH * _done / _total);
        std::fprintf(stderr, "\r[%.*s%*s] %zu/%zu", filled,
                     "========================================", BAR_WIDTH - filled, "", _done, _total);
    }
    std::fflush(stderr);
    _drawn = true;
}

void ProgressBar::clear()
{
    if (_drawn) {
        std::fprintf(stderr, "\r\033[K");
        std::fflush(stderr);
        _drawn = false;
    }
}

}  // namespace Markeye
