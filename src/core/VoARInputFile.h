#pragma once

namespace VoTrack {

// Which paths the core's file readers open: regular files only. A FIFO or a
// terminal would block the reader until someone writes to it, and a device
// can stream without end; neither is a camera or pattern file.
class VoARInputFile
{
public:
    VoARInputFile() = delete;

    // True for the path of a regular file (after following links); false
    // for a null or empty path, a missing file, a folder, a FIFO or a device.
    static bool isRegularFile(const char* i_path);
};

}  // namespace VoTrack
