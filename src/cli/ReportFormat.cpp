#include "ReportFormat.h"

#include <cmath>

#include "CliError.h"
#include "JsonWriter.h"

namespace Markeye {

namespace {

const char* const CSV_LINE_END = "\r\n";
// Fields between the frame's (frame, time, width, height) and "error".
constexpr int MARKER_FIELDS = 4 + 8 + 12 + 1;

std::string number(double i_value)
{
    return std::isfinite(i_value) ? JsonWriter::numberText(i_value) : "";
}

// The row's frame, time, width and height, each with its comma.
std::string frameFields(const TFrameReport& i_report)
{
    std::string fields = CsvFormat::field(i_report.frame) + "," + number(i_report.reportedTime()) + ",";
    if (i_report.error.empty()) {
        fields += std::to_string(i_report.width) + "," + std::to_string(i_report.height);
    } else {
        fields += ",";
    }
    return fields + ",";
}

// A found marker's fields, each with its comma.
std::string markerFields(const TMarkerReport& i_marker, const std::string& i_name)
{
    std::string fields = std::to_string(i_marker.pattern) + "," + CsvFormat::field(i_name) + "," +
                         number(i_marker.confidence) + "," + std::to_string(i_marker.direction) + ",";
    for (const std::array<double, 2>& corner : i_marker.corners) {
        fields += number(corner[0]) + "," + number(corner[1]) + ",";
    }
    for (const double* row : i_marker.pose) {
        for (int column = 0; column < 4; column++) {
            fields += number(row[column]) + ",";
        }
    }
    return fields + (i_marker.track >= 0 ? std::to_string(i_marker.track) : "") + ",";
}

}  // namespace

std::unique_ptr<IReportFormat> IReportFormat::make(const std::string& i_name,
                                                   const std::vector<markeye::Pattern>& i_patterns)
{
    if (i_name == "jsonl") {
        return std::make_unique<JsonLinesFormat>();
    }
    if (i_name == "csv") {
        return std::make_unique<CsvFormat>(i_patterns);
    }
    throw UsageError("--format: expected jsonl or csv, got " + i_name);
}

CsvFormat::CsvFormat(const std::vector<markeye::Pattern>& i_patterns)
{
    for (const markeye::Pattern& pattern : i_patterns) {
        _names.push_back(pattern.name());
    }
}

std::string CsvFormat::header() const
{
    return std::string("frame,time,width,height,pattern,name,confidence,direction,x0,y0,x1,y1,x2,y2,x3,y3,"
                       "r00,r01,r02,tx,r10,r11,r12,ty,r20,r21,r22,tz,track,error") +
           CSV_LINE_END;
}

std::string CsvFormat::lines(const TFrameReport& i_report) const
{
    const std::string frame = frameFields(i_report);
    const std::string no_marker(MARKER_FIELDS, ',');
    if (!i_report.error.empty()) {
        return frame + no_marker + field(i_report.error) + CSV_LINE_END;
    }
    std::string rows;
    for (const TMarkerReport& marker : i_report.markers) {
        if (marker.found) {
            const auto pattern = static_cast<size_t>(marker.pattern);
            rows += frame + markerFields(marker, pattern < _names.size() ? _names[pattern] : "") + CSV_LINE_END;
        }
    }
    return rows.empty() ? frame + no_marker + CSV_LINE_END : rows;
}

std::string CsvFormat::field(const std::string& i_text)
{
    if (i_text.find_first_of(",\"\r\n") == std::string::npos) {
        return i_text;
    }
    std::string quoted = "\"";
    for (const char c : i_text) {
        quoted += c == '"' ? "\"\"" : std::string(1, c);
    }
    return quoted + "\"";
}

}  // namespace Markeye
