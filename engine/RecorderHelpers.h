// What the main window shows or decides that needs no window: record file
// names, the time, frequency, channel and delay texts, the level meter's
// arithmetic and the user messages of recording. The window only calls these
// and draws.
#pragma once

#include "platform/Platform.h"

#include <cstdint>
#include <string>

namespace recorder {

// ---------------------------------------------------------------- record file names
// A typed name gets ".wav" appended unless it is longer than four characters and
// already ends in ".wav" (any case). Input is limited to 259 characters, the
// result to 260 (a long name is shortened so that ".wav" still ends it). `changed` tells whether the window
// must show the new name.
std::wstring CompleteRecordName(const std::wstring& typed, bool* changed = nullptr);
// Folder and name joined with the platform's separator; an empty folder gives
// the name alone (the current folder).
std::string JoinRecordPath(const std::string& folder, const std::string& name);
// The automatic name: folder + "YYYYMMDDhhmm.wav" of the given local time.
std::string AutoRecordPath(const std::string& folder, const plat::LocalTime& now);
// The overwrite rule: true when a file of that path can be opened for reading
// (the window then asks before overwriting a typed name; automatic names are
// overwritten without a question).
bool RecordFileExists(const std::string& path);
// The name of the n-th part (n >= 2) of a recording split at the size limit:
// "take1.wav" -> "take1_002.wav".
std::string SplitPartPath(const std::string& path, int part);

// ---------------------------------------------------------------- capture watchdog
// A running capture whose device has delivered nothing for `limitMs` since its
// last block has lost its device: a pulled USB microphone or a removed sink
// stops the blocks without any error from the driver. A start is given
// `firstLimitMs` before anything counts as lost (a slow device, or one that
// pauses after its first blocks). Ticks are the wrapping millisecond tick.
bool CaptureStalled(uint32_t now, uint32_t startTick, uint32_t lastBlockTick, uint32_t limitMs,
                    uint32_t firstLimitMs);

// ---------------------------------------------------------------- texts
// "%2d:%02d:%02d" of hours (modulo 24), minutes and seconds.
std::string TimeText(uint32_t seconds);
// "%d (Hz)".
std::string FrequencyText(int hz);
// "1ch", "2ch", "2ch (only L)", "2ch (only R)" for 1..4; empty otherwise.
std::string ChannelText(int channels);
// The delay box: leading spaces and tabs, an optional '-', then decimal digits
// to the end. False for any other character (the window then shows "0" and uses
// no delay). Values beyond +-86400 s are limited to that.
bool ParseDelayText(const std::string& text, int* delay);

// User messages (language 1 Japanese, otherwise English), printf-style with %s
// for the name or path.
const char* OverwriteQuestionFormat(int language); // "\"%s\" has already existed, overwrite ?"
const char* RecordingCaption(int language);        // "Recording"
const char* SaveFailedFormat(int language);        // "Failed to save file.\nCheck the file name.\n%s\n"
const char* WriteFailedFormat(int language); // the recording stopped because the file could not be written

// ---------------------------------------------------------------- play start
// What play start must do about the engine format for a play file of
// `fileRate` Hz (0: no reader opens it).
enum PlayStartAction {
    PLAY_START_FAIL,              // unreadable: fail before the format is touched
    PLAY_START_FREQUENCY_MESSAGE, // show the frequency message and fail
    PLAY_START_RESTART_CAPTURE,   // StopCapture, ChangeFormat(rate), StartCapture
    PLAY_START_CHANGE_FORMAT,     // (StopMonitor, MonitorClose when monitoring,) ChangeFormat(rate)
    PLAY_START_AS_IS,             // the engine already runs at the file's rate
};
PlayStartAction PlanPlayStart(uint32_t fileRate, int engineRate, bool recording, bool captureRunning);
const char* FrequencyMessage(int language); // "The sampling frequency is different."
const char* PlayCaption(int language);      // "Play"

// ---------------------------------------------------------------- level meter
constexpr int LEVEL_SEGMENTS = 32;
// 32 - trunc(-20 log10(|peak| / 32767)), limited to 0..31; a peak of 0 gives 0.
int LevelFromPeak(int peak);
// The stored peak after a block whose own peak is `blockPeak`: a higher peak
// replaces it at once, otherwise it falls as stored x 80/100 + new x 20/100.
int16_t NextPeak(int16_t stored, int16_t blockPeak);
// One tick of the meter's 1 s timer. Returns true when the peak fell (the level
// must be recomputed and the meter repainted).
bool MeterDecayTick(int16_t& peak, int32_t& decayCounter);

} // namespace recorder
