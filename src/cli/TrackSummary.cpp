#include "TrackSummary.h"

#include <algorithm>
#include <cstdio>

namespace Markeye {

TrackSummary::TrackSummary(const std::vector<markeye::Pattern>& i_patterns,
                           std::chrono::steady_clock::time_point i_start)
    : _found(i_patterns.size(), 0), _start(i_start)
{
    for (const markeye::Pattern& pattern : i_patterns) {
        _names.push_back(pattern.name());
    }
}

void TrackSummary::add(const TFrameReport& i_report)
{
    if (!i_report.error.empty()) {
        _unreadable++;
        return;
    }
    _tracked++;
    _total_ms += i_report.elapsed_ms;
    _worst_ms = std::max(_worst_ms, i_report.elapsed_ms);
    // A pattern counts once per frame, however many copies were found.
    std::vector<bool> seen(_found.size(), false);
    bool any = false;
    for (const TMarkerReport& marker : i_report.markers) {
        const auto pattern = static_cast<size_t>(marker.pattern);
        any = any || marker.found;
        if (marker.found && pattern < seen.size() && !seen[pattern]) {
            seen[pattern] = true;
            _found[pattern]++;
        }
    }
    _with_marker += any ? 1 : 0;
}

std::string TrackSummary::text() const
{
    const std::chrono::duration<double> run = std::chrono::steady_clock::now() - _start;
    const std::string unreadable = _unreadable > 0 ? " (" + std::to_string(_unreadable) + " unreadable)" : "";
    char line[512];
    if (_tracked == 0) {
        std::snprintf(line, sizeof line, "markeye track: no frame tracked%s", unreadable.c_str());
        return line;
    }
    std::snprintf(line, sizeof line,
                  "markeye track: %lld frame%s tracked%s in %.2f s, %.1f frames per second with reading and "
                  "decoding; tracking %.2f ms per frame on average, %.2f ms at worst; a marker found in %lld "
                  "frame%s; per pattern:",
                  static_cast<long long>(_tracked), _tracked == 1 ? "" : "s", unreadable.c_str(), run.count(),
                  static_cast<double>(_tracked) / run.count(), _total_ms / static_cast<double>(_tracked), _worst_ms,
                  static_cast<long long>(_with_marker), _with_marker == 1 ? "" : "s");
    std::string text = line;
    for (size_t p = 0; p < _found.size(); p++) {
        text += (p == 0 ? " " : ", ") + std::to_string(p) + " " + _names[p] + " " + std::to_string(_found[p]);
    }
    return text;
}

}  // namespace Markeye
