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
};
// The capture and monitor boxes differ only in the running text.
const char* CaptureStatusText(DeviceStatus status, int language);
const char* MonitorStatusText(DeviceStatus status, int language);
// "%2d:%02d:%02d" with all hours shown: a recording of 25 hours reads 25:00:00.
std::string ElapsedText(uint32_t seconds);

} // namespace uilogic
