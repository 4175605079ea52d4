// The device settings dialog without its window: which driver family is
// chosen, what the device, rate, channel and bits lists show, which line starts
// selected and how the number boxes are limited.
#pragma once

#include "uilogic/ChoiceList.h"

#include <string>
#include <vector>

namespace uilogic {

enum DriverChoice { DRIVER_CHOICE_WASAPI = 0, DRIVER_CHOICE_MME = 1 };
// A stored driver type the program does not know falls back to WASAPI.
DriverChoice DriverChoiceOf(int storedDriverType);

// The disabled single line of an empty device list.
const char* NoDeviceText(int language);

// Capture devices by name, then, when the family can loop back, one
// "<name>(Loopback)" line per render device. Values are the capture index, or
// LOOPBACK_INDEX_BASE + render index for a loopback line. The stored name picks
// the last equal line of its own kind (plain when storedLoopback is 0, loopback
// when 1); line 0 when none is equal. No line at all gives the disabled
// "(no device)" line and no selection.
ChoiceList CaptureDeviceList(const std::vector<std::string>& captureNames,
                             const std::vector<std::string>& renderNames, bool canLoopBack,
                             const std::string& storedName, int storedLoopback, int language);
// Render devices for monitoring; the last line equal to the stored name, else line 0.
ChoiceList MonitorDeviceList(const std::vector<std::string>& renderNames, const std::string& storedName,
                             int language);

// 8000..96000 Hz; the stored rate is limited to that range first, and a rate
// the list lacks selects nothing.
ChoiceList SampleRateList(int storedRate);
// Mono, stereo, left only, right only (values 1..4).
ChoiceList ChannelList(int storedChannels, int language);
// What the channel list shows for a stored value: below 1 is mono, above 4 stereo.
int ShownChannels(int storedChannels);
ChoiceList BitsList();

int ShownLatency(int storedMs);  // 5..500
int ShownBoostLevel(int stored); // 0..30

} // namespace uilogic
