#include "uilogic/DeviceDialogRules.h"

#include "drivers/AudioTypes.h"

#include <algorithm>

namespace uilogic {

namespace {

// With two devices of one name the later line is the one selected.
// `first` is the list line of names[0].
int LastEqual(const std::vector<std::string>& names, const std::string& stored, size_t first) {
    int found = NO_SELECTION;
    for (size_t i = 0; i < names.size(); ++i)
        if (names[i] == stored) found = static_cast<int>(first + i);
    return found;
}

ChoiceList NoDeviceList(int language) {
    ChoiceList list;
    list.lines.push_back({NoDeviceText(language), DEFAULT_DEVICE_INDEX});
    list.selection = NO_SELECTION;
    list.enabled = false;
    return list;
}

} // namespace

DriverChoice DriverChoiceOf(int storedDriverType) {
    return storedDriverType == DRIVER_CHOICE_MME ? DRIVER_CHOICE_MME : DRIVER_CHOICE_WASAPI;
}

const char* NoDeviceText(int language) {
    return language == LANGUAGE_JAPANESE ? "(デバイスなし)" : "(no device)";
}

ChoiceList CaptureDeviceList(const std::vector<std::string>& captureNames,
                             const std::vector<std::string>& renderNames, bool canLoopBack,
                             const std::string& storedName, int storedLoopback, int language) {
    ChoiceList list;
    for (size_t i = 0; i < captureNames.size(); ++i)
        list.lines.push_back({captureNames[i], static_cast<int>(i)});
    const size_t plain = list.lines.size();
    if (canLoopBack)
        for (size_t i = 0; i < renderNames.size(); ++i)
            list.lines.push_back({renderNames[i] + "(Loopback)", LOOPBACK_INDEX_BASE + static_cast<int>(i)});
    if (list.lines.empty()) return NoDeviceList(language);

    int found = NO_SELECTION;
    if (storedLoopback == 0)
        found = LastEqual(captureNames, storedName, 0);
    else if (storedLoopback == 1 && canLoopBack)
        found = LastEqual(renderNames, storedName, plain);
    list.selection = found == NO_SELECTION ? 0 : found;
    return list;
}

ChoiceList MonitorDeviceList(const std::vector<std::string>& renderNames, const std::string& storedName,
                             int language) {
    if (renderNames.empty()) return NoDeviceList(language);
    ChoiceList list;
    for (size_t i = 0; i < renderNames.size(); ++i)
        list.lines.push_back({renderNames[i], static_cast<int>(i)});
    int found = LastEqual(renderNames, storedName, 0);
    list.selection = found == NO_SELECTION ? 0 : found;
    return list;
}

ChoiceList SampleRateList(int storedRate) {
    ChoiceList list;
    for (int rate : {8000, 16000, 32000, 44100, 48000, 96000})
        list.lines.push_back({std::to_string(rate) + " Hz", rate});
    list.selection = LineOfValue(list.lines, std::clamp(storedRate, 8000, 96000));
    return list;
}

int ShownChannels(int storedChannels) {
    if (storedChannels < 1) return 1;
    if (storedChannels > 4) return 2;
    return storedChannels;
}

ChoiceList ChannelList(int storedChannels, int language) {
    const bool ja = language == LANGUAGE_JAPANESE;
    ChoiceList list;
    list.lines = {{"1ch (mono)", 1},
                  {"2ch (stereo)", 2},
                  {ja ? "2ch (L-chのみ)" : "2ch (only L)", 3},
                  {ja ? "2ch (R-chのみ)" : "2ch (only R)", 4}};
    list.selection = LineOfValue(list.lines, ShownChannels(storedChannels));
    return list;
}

ChoiceList BitsList() {
    ChoiceList list;
    list.lines = {{"16bits", 16}};
    list.selection = 0;
    return list;
}

int ShownLatency(int storedMs) {
    return std::clamp(storedMs, 5, 500);
}
int ShownBoostLevel(int stored) {
    return std::clamp(stored, 0, 30);
}

} // namespace uilogic
