#include "uilogic/MainWindowTexts.h"

#include "uilogic/ChoiceList.h"

#include <cstdio>

namespace uilogic {

namespace {

const char* ErrorText(DeviceStatus status, bool ja) {
    if (status == STATUS_OPEN_ERROR) return ja ? "オープンエラー" : "ERROR: DEVICE OPEN";
    if (status == STATUS_WRITE_ERROR) return ja ? "書き込みエラー" : "ERROR: FILE WRITE";
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

std::string DroppedBlocksText(uint64_t dropped, uint64_t droppedAtStart, int language) {
    const uint64_t lost = dropped >= droppedAtStart ? dropped - droppedAtStart : dropped;
    if (lost == 0) return std::string();
    return (language == LANGUAGE_JAPANESE ? "欠落ブロック: " : "DROPPED BLOCKS: ") + std::to_string(lost);
}

const char* StopRecordingQuestion(int language) {
    return language == LANGUAGE_JAPANESE ? "録音を停止しますか？" : "Stop Recording ?";
}

const char* RecordingNowCaption(int language) {
    return language == LANGUAGE_JAPANESE ? "録音中" : "Recording";
}

const char* PlayOpenFailedFormat(int language) {
    return language == LANGUAGE_JAPANESE ? "再生ファイルを開けません。\n%s\n"
                                         : "Cannot open the play file.\n%s\n";
}

const char* SettingsUnreadableFormat(int language) {
    return language == LANGUAGE_JAPANESE
               ? "設定ファイルをすべては読めませんでした。読めた設定で起動します。\n%s\n"
               : "The settings file could not be read in full. Sonvel starts with the settings it could "
                 "read.\n%s\n";
}

const char* ChainDamagedFormat(int language) {
    return language == LANGUAGE_JAPANESE
               ? "エフェクトチェインファイルの一部を読めませんでした。読めたエフェクトだけを使います。\n"
                 "保存するときに、元のファイルを名前の末尾に .bak を付けて残します。\n%s\n"
               : "Part of the effect chain file could not be read. Only the effects that could be read are "
                 "used.\n"
                 "When the chain is saved, the old file is kept with .bak added to its name.\n%s\n";
}

const char* PlayOpenTitle(int language) {
    return language == LANGUAGE_JAPANESE ? "再生ファイルを開く" : "Open Play File";
}

std::string PlayOpenFilter(int language) {
    static const char ja[] = "再生ファイル(*.wav;*.mp3)\0*.wav;*.mp3\0全てのファイル(*.*)\0*.*\0";
    static const char en[] = "Play files(*.wav;*.mp3)\0*.wav;*.mp3\0All files(*.*)\0*.*\0";
    // sizeof keeps the embedded NULs and the final one.
    return language == LANGUAGE_JAPANESE ? std::string(ja, sizeof ja) : std::string(en, sizeof en);
}

bool IsPlayFileName(const std::string& path) {
    if (path.size() <= 4) return false;
    std::string tail = path.substr(path.size() - 4);
    for (char& c : tail)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    const char before = path[path.size() - 5];
    return (tail == ".wav" || tail == ".mp3") && before != '\\' && before != '/';
}

} // namespace uilogic
