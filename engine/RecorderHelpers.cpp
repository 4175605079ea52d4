#include "engine/RecorderHelpers.h"

#include <cmath>
#include <cstdio>
#include <cwctype>

namespace recorder {

std::wstring CompleteRecordName(const std::wstring& typed, bool* changed) {
    std::wstring name = typed.substr(0, 259);
    bool hasExtension = false;
    if (name.size() > 4) {
        std::wstring tail = name.substr(name.size() - 4);
        for (auto& c : tail)
            c = static_cast<wchar_t>(std::towlower(c));
        hasExtension = tail == L".wav";
    }
    if (!hasExtension) {
        // Within the 260-character limit the extension wins over the name's end,
        // so the file is still a .wav file.
        if (name.size() > 256) name.resize(256);
        name += L".wav";
    }
    if (changed) *changed = name != typed;
    return name;
}

std::string JoinRecordPath(const std::string& folder, const std::string& name) {
    if (folder.empty()) return name;
    char sep = plat::PathSeparator();
    if (folder.back() == sep || folder.back() == '/') return folder + name;
    return folder + sep + name;
}

std::string AutoRecordPath(const std::string& folder, const plat::LocalTime& now) {
    char name[64];
    std::snprintf(name, sizeof name, "%04d%02d%02d%02d%02d.wav", now.year, now.month, now.day, now.hour,
                  now.minute);
    return JoinRecordPath(folder, name);
}

bool RecordFileExists(const std::string& path) {
    plat::FileHandle h = plat::FileOpenRead(path.c_str());
    if (!h) return false;
    plat::FileClose(h);
    return true;
}

std::string SplitPartPath(const std::string& path, int part) {
    char suffix[16];
    std::snprintf(suffix, sizeof suffix, "_%03d", part);
    size_t slash = path.find_last_of("/\\");
    size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash) || dot == slash + 1)
        return path + suffix;
    return path.substr(0, dot) + suffix + path.substr(dot);
}

std::string TimeText(uint32_t seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%2d:%02d:%02d", static_cast<int>(seconds / 3600 % 24),
                  static_cast<int>(seconds % 3600 / 60), static_cast<int>(seconds % 60));
    return text;
}

std::string FrequencyText(int hz) {
    char text[32];
    std::snprintf(text, sizeof text, "%d (Hz)", hz);
    return text;
}

std::string ChannelText(int channels) {
    switch (channels) {
    case 1:
        return "1ch";
    case 2:
        return "2ch";
    case 3:
        return "2ch (only L)";
    case 4:
        return "2ch (only R)";
    default:
        return "";
    }
}

bool ParseDelayText(const std::string& text, int* delay) {
    constexpr int64_t limit = 86400;
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
        ++i;
    bool negative = false;
    if (i < text.size() && text[i] == '-') {
        negative = true;
        ++i;
    }
    int64_t value = 0;
    for (; i < text.size(); ++i) {
        char c = text[i];
        if (c < '0' || c > '9') {
            if (delay) *delay = 0;
            return false;
        }
        if (value <= limit) value = value * 10 + (c - '0');
    }
    if (value > limit) value = limit;
    if (delay) *delay = static_cast<int>(negative ? -value : value);
    return true;
}

const char* OverwriteQuestionFormat(int language) {
    return language == 1 ? "\"%s\"は既に存在します。上書きしますか？"
                         : "\"%s\" has already existed, overwrite ?";
}

const char* RecordingCaption(int language) {
    return language == 1 ? "録音" : "Recording";
}

const char* SaveFailedFormat(int language) {
    return language == 1 ? "ファイルの保存に失敗しました。\nファイル名を確認してください。\n%s\n"
                         : "Failed to save file.\nCheck the file name.\n%s\n";
}

const char* WriteFailedFormat(int language) {
    return language == 1
               ? "ファイルに書き込めないため録音を停止しました。\nそれまでの録音は保存されています。\n%s\n"
               : "Recording stopped: the file could not be written.\nWhat was recorded until then is "
                 "saved.\n%s\n";
}

PlayStartAction PlanPlayStart(uint32_t fileRate, int engineRate, bool recording, bool captureRunning) {
    if (fileRate == 0) return PLAY_START_FAIL;
    if (static_cast<int64_t>(fileRate) == engineRate) return PLAY_START_AS_IS;
    // A rate no device is opened at, or any change while recording, is the
    // frequency message; the engine format stays as it is.
    if (recording || fileRate < 8000 || fileRate > 96000) return PLAY_START_FREQUENCY_MESSAGE;
    return captureRunning ? PLAY_START_RESTART_CAPTURE : PLAY_START_CHANGE_FORMAT;
}

const char* FrequencyMessage(int language) {
    return language == 1 ? "サンプリング周波数が違います。" : "The sampling frequency is different.";
}

const char* PlayCaption(int language) {
    return language == 1 ? "再生" : "Play";
}

int LevelFromPeak(int peak) {
    if (peak < 0) peak = -peak;
    if (peak == 0) return 0;
    double db = -20.0 * std::log10(static_cast<double>(peak) / 32767.0);
    int level = LEVEL_SEGMENTS - static_cast<int>(db);
    return level < 0 ? 0 : (level > LEVEL_SEGMENTS - 1 ? LEVEL_SEGMENTS - 1 : level);
}

int16_t NextPeak(int16_t stored, int16_t blockPeak) {
    if (blockPeak > stored) return blockPeak;
    return static_cast<int16_t>(stored * 80 / 100 + blockPeak * 20 / 100);
}

bool MeterDecayTick(int16_t& peak, int32_t& decayCounter) {
    if (peak <= 0) {
        decayCounter = 0;
        return false;
    }
    if (++decayCounter >= 2) {
        peak = static_cast<int16_t>(peak >> 2);
        return true;
    }
    return false;
}

bool CaptureStalled(uint32_t now, uint32_t startTick, uint32_t lastBlockTick, uint32_t limitMs,
                    uint32_t firstLimitMs) {
    // On a tick that wraps, "after" is a positive difference.
    const auto since = [now](uint32_t tick) { return static_cast<int32_t>(now - tick); };
    // A stream that has just started may hand over a block or two and then
    // pause while the audio stack settles. Calling that a lost device would end
    // the take, so no start is given up on before its first limit.
    if (since(startTick) < static_cast<int32_t>(firstLimitMs)) return false;
    const bool delivered = static_cast<int32_t>(lastBlockTick - startTick) >= 0;
    return !delivered || since(lastBlockTick) >= static_cast<int32_t>(limitMs);
}

} // namespace recorder
