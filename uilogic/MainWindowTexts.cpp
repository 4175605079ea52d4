#include "uilogic/MainWindowTexts.h"

#include "uilogic/ChoiceList.h"

#include <cstdio>

namespace uilogic {

namespace {

const char* ErrorText(DeviceStatus status, bool ja) {
    if (status == STATUS_OPEN_ERROR) return ja ? "オープンエラー" : "ERROR: DEVICE OPEN";
    return ja ? "実行エラー" : "ERROR: RUN";
}

} // namespace

const char* CaptureStatusText(DeviceStatus status, int language) {
    const bool ja = language == LANGUAGE_JAPANESE;
    if (status == STATUS_RUNNING) return ja ? "キャプチャ動作中" : "Running";
    return ErrorText(status, ja);
}

const char* MonitorStatusText(DeviceStatus status, int language) {
    const bool ja = language == LANGUAGE_JAPANESE;
    if (status == STATUS_RUNNING) return ja ? "スピーカ動作中" : "Running";
    return ErrorText(status, ja);
}

std::string ElapsedText(uint32_t seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%2u:%02u:%02u", static_cast<unsigned>(seconds / 3600),
                  static_cast<unsigned>(seconds % 3600 / 60), static_cast<unsigned>(seconds % 60));
    return text;
}

} // namespace uilogic
