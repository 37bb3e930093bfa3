// Fuzz entry: board files (JSON) read by the library.
//
// Input: the board file's text. Pattern files it names are looked up in an
// empty folder of this process, so that only "generated:N" and
// "builtin:NAME" patterns, and files named by absolute paths, load.

#include <filesystem>
#include <optional>
#include <string>

#include "FuzzEntries.h"
#include "FuzzScene.h"
#include "markeye/Board.h"
#include "markeye/Error.h"

namespace MarkeyeFuzz {

namespace {

void require(bool i_kept, const char* i_promise)
{
    MarkeyeFuzz::require(i_kept, "board", i_promise);
}

const std::string& boardFolder()
{
    static const std::string folder = [] {
        const std::string path = tempPath("boards");
        std::filesystem::create_directories(path);
        return path;
    }();
    return folder;
}

bool sameMarkers(const markeye::Board& i_a, const markeye::Board& i_b)
{
    if (i_a.markers().size() != i_b.markers().size()) {
        return false;
    }
    for (size_t k = 0; k < i_a.markers().size(); k++) {
        const markeye::BoardMarker& a = i_a.markers()[k];
        const markeye::BoardMarker& b = i_b.markers()[k];
        if (a.pattern_name != b.pattern_name || a.centre_x != b.centre_x || a.centre_y != b.centre_y ||
            a.side != b.side || i_a.patterns()[k].numbers() != i_b.patterns()[k].numbers()) {
            return false;
        }
    }
    return true;
}

}  // namespace

// A board the library takes has one pattern per marker, at least one marker,
// and reads back from its own text as it was.
void fuzzBoard(const uint8_t* i_data, size_t i_size)
{
    const std::string text(reinterpret_cast<const char*>(i_data), i_size);
    std::optional<markeye::Board> board;
    try {
        board = markeye::Board::fromJson(text, boardFolder(), "fuzz board");
    } catch (const markeye::Error&) {
        return;
    }
    require(!board->markers().empty(), "a board has a marker");
    require(board->patterns().size() == board->markers().size(), "a board has one pattern per marker");
    const markeye::Board again = markeye::Board::fromJson(board->toJson(), boardFolder(), "fuzz board again");
    require(again.name() == board->name() && again.unit() == board->unit() && sameMarkers(again, *board),
            "a board reads back from its text as it was");
}

}  // namespace MarkeyeFuzz
