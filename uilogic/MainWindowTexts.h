// The main window's status and elapsed-time texts by language (1 Japanese,
// otherwise English), UTF-8.
#pragma once

#include <cstdint>
#include <string>

namespace uilogic {

enum DeviceStatus {
    STATUS_RUNNING,
    STATUS_OPEN_ERROR,
    STATUS_RUN_ERROR,
    STATUS_WRITE_ERROR, // the record file could not be written (capture box only)
};
// The capture and monitor boxes differ only in the running text.
const char* CaptureStatusText(DeviceStatus status, int language);
const char* MonitorStatusText(DeviceStatus status, int language);
// "%2d:%02d:%02d" with all hours shown: a recording of 25 hours reads 25:00:00.
std::string ElapsedText(uint32_t seconds);

// The record section's warning for a take that lost audio: the blocks the
// engine dropped since the take started (`droppedAtStart` is the engine's
// count then), "" while none were. A count lower than at the start means the
// engine cleared it (a new capture format) and counts from zero again.
std::string DroppedBlocksText(uint64_t dropped, uint64_t droppedAtStart, int language);

// Closing while recording: the question and its caption.
const char* StopRecordingQuestion(int language); // "Stop Recording ?"
const char* RecordingNowCaption(int language);   // "Recording"
// A play file that no reader opens (chosen, typed or dropped); %s is the path.
const char* PlayOpenFailedFormat(int language);
// Said once at start when the settings file is there but could not be read,
// or was damaged and read in part; %s is its path.
const char* SettingsUnreadableFormat(int language);
// Said once, when the effect editor first loads a chain file of which some
// entries could not be read; %s is its path. Saving keeps the old file as .bak.
const char* ChainDamagedFormat(int language);
// The open-file dialog of the play file: title and the filter pairs
// (description, pattern) separated and ended by '\0', ending in "\0\0".
const char* PlayOpenTitle(int language);
std::string PlayOpenFilter(int language);
// A dropped file the main window takes as its play file: ".wav" or ".mp3" at
// the end, in any case, after at least one other character.
bool IsPlayFileName(const std::string& path);

} // namespace uilogic
