// The play file information the main window shows (rate, channels, duration)
// and whose rate decides the engine format before playback starts.
#pragma once

#include <cstdint>
#include <string>

struct PlayFileInfo {
    uint32_t rate = 0;
    uint32_t channels = 0;
    uint32_t bits = 0;
    uint64_t frames = 0;
    // Whole seconds of the file: the position trackbar's range; 1 when the
    // length is unknown.
    uint32_t seconds = 1;
    std::string rateText;     // "%d (Hz)"
    std::string channelText;  // "1ch", "2ch", ...
    std::string durationText; // "%2d:%02d:%02d", empty when the length is unknown
};

// Opens the file the way playback does (WAV first, then MP3) and describes it.
// Returns the rate; 0 when no reader opens it, and then play start must fail
// before the engine format is touched.
uint32_t ReadPlayFileInfo(const wchar_t* path, PlayFileInfo& info);
