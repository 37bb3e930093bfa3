#pragma once

#include <memory>
#include <string>
#include <vector>

#include "FrameReport.h"
#include "markeye/Pattern.h"

namespace Markeye {

// How the track command writes its frames' reports on standard output.
class IReportFormat
{
public:
    virtual ~IReportFormat() = default;
    // What comes before the first frame's lines (a header row), or "".
    virtual std::string header() const = 0;
    // One frame's lines, each with its line break.
    virtual std::string lines(const TFrameReport& i_report) const = 0;

    // --format's value, "jsonl" or "csv"; i_patterns name the patterns in
    // CSV rows. Throws UsageError for any other.
    static std::unique_ptr<IReportFormat> make(const std::string& i_name,
                                               const std::vector<markeye::Pattern>& i_patterns);
};

// JSON Lines: one object per frame (TFrameReport::toJson).
class JsonLinesFormat : public IReportFormat
{
public:
    std::string header() const override { return ""; }
    std::string lines(const TFrameReport& i_report) const override { return i_report.toJson() + "\n"; }
};

// CSV after RFC 4180 (a header row, CRLF line ends, fields with commas,
// quotes or line breaks quoted): one row per marker found, with the frame's
// fields on each; a frame without one gives one row whose marker fields are
// empty, a frame that could not be read one with its "error". Columns:
// frame, time, width, height, pattern, name, confidence, direction, the four
// corners' x and y, the pose by rows (r00, r01, r02, tx, ...), track (with
// temporal tracking) and error. Boards are not written.
class CsvFormat : public IReportFormat
{
public:
    explicit CsvFormat(const std::vector<markeye::Pattern>& i_patterns);
    std::string header() const override;
    std::string lines(const TFrameReport& i_report) const override;

    // i_text as one field: as it is, or in double quotes with its own
    // quotes doubled when it holds a comma, a quote or a line break.
    static std::string field(const std::string& i_text);

private:
    std::vector<std::string> _names;
};

}  // namespace Markeye
