#include "FrameReport.h"

#include <algorithm>
#include <cmath>

#include "JsonWriter.h"

namespace Markeye {

namespace {

void writeMarker(const TMarkerReport& i_marker, JsonWriter* io_json)
{
    io_json->beginObject();
    io_json->key("pattern");
    io_json->integer(i_marker.pattern);
    io_json->key("found");
    io_json->boolean(i_marker.found);
    if (i_marker.selected) {
        io_json->key("confidence");
        io_json->number(i_marker.confidence);
    }
    if (i_marker.found) {
        io_json->key("direction");
        io_json->integer(i_marker.direction);
        io_json->key("corners");
        io_json->beginArray();
        for (const std::array<double, 2>& corner : i_marker.corners) {
            io_json->numbers(corner.data(), 2);
        }
        io_json->endArray();
        io_json->key("pose");
        io_json->beginArray();
        for (const double* row : i_marker.pose) {
            io_json->numbers(row, 4);
        }
        io_json->endArray();
        if (i_marker.track >= 0) {
            io_json->key("track");
            io_json->integer(i_marker.track);
        }
    }
    io_json->endObject();
}

void writeIntegers(const std::vector<int32_t>& i_values, JsonWriter* io_json)
{
    io_json->beginArray();
    for (const int32_t value : i_values) {
        io_json->integer(value);
    }
    io_json->endArray();
}

void writeBoard(const TBoardReport& i_board, JsonWriter* io_json)
{
    io_json->beginObject();
    io_json->key("name");
    io_json->string(i_board.name);
    io_json->key("found");
    io_json->boolean(i_board.found);
    io_json->key("markers_used");
    writeIntegers(i_board.markers_used, io_json);
    io_json->key("dropped");
    writeIntegers(i_board.dropped, io_json);
    if (i_board.found) {
        io_json->key("reprojection_error");
        io_json->number(i_board.reprojection_error);
        io_json->key("pose");
        io_json->beginArray();
        for (const double* row : i_board.pose) {
            io_json->numbers(row, 4);
        }
        io_json->endArray();
    }
    io_json->endObject();
}

}  // namespace

std::string TFrameReport::toJson() const
{
    JsonWriter json;
    json.beginObject();
    json.key("frame");
    json.string(frame);
    json.key("time");
    json.number(reportedTime());
    if (!error.empty()) {
        json.key("error");
        json.string(error);
        json.endObject();
        return json.text();
    }
    json.key("width");
    json.integer(width);
    json.key("height");
    json.integer(height);
    json.key("elapsed_ms");
    // Microseconds are all a timing can tell.
    json.number(std::round(elapsed_ms * 1000.0) / 1000.0);
    json.key("markers");
    json.beginArray();
    for (const TMarkerReport& marker : markers) {
        writeMarker(marker, &json);
    }
    json.endArray();
    if (!boards.empty()) {
        json.key("boards");
        json.beginArray();
        for (const TBoardReport& board : boards) {
            writeBoard(board, &json);
        }
        json.endArray();
    }
    json.endObject();
    return json.text();
}

double TFrameReport::reportedTime() const
{
    return std::round(time * 1e6) / 1e6;
}

void TFrameReport::keepFoundOnly()
{
    const auto missing = [](const TMarkerReport& i_marker) { return !i_marker.found; };
    markers.erase(std::remove_if(markers.begin(), markers.end(), missing), markers.end());
}

}  // namespace Markeye
