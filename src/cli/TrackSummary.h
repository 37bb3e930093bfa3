#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "FrameReport.h"
#include "markeye/Pattern.h"

namespace Markeye {

// What a track run did, told in one line on standard error at its end: the
// frames tracked (and those that could not be read), the frames tracked per
// second of the whole run, reading and decoding included, the mean and worst
// tracking time, the frames any marker was found in, and per pattern the
// frames it was found in.
class TrackSummary
{
public:
    // i_start: when the run began (before its input was opened).
    TrackSummary(const std::vector<markeye::Pattern>& i_patterns, std::chrono::steady_clock::time_point i_start);

    void add(const TFrameReport& i_report);
    // One line beginning "markeye track: ", without a line break.
    std::string text() const;

private:
    std::vector<std::string> _names;
    std::vector<int64_t> _found;
    int64_t _tracked = 0;
    // Frames with at least one marker found.
    int64_t _with_marker = 0;
    int64_t _unreadable = 0;
    double _total_ms = 0.0;
    double _worst_ms = 0.0;
    std::chrono::steady_clock::time_point _start;
};

}  // namespace Markeye
