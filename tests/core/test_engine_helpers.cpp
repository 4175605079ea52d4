// The main window's computable halves: names, texts, the level and its decay.
#include "engine/RecorderHelpers.h"
#include "platform/Platform.h"

#include <gtest/gtest.h>

using namespace recorder;

TEST(EngineHelpers, TypedRecordNameGetsWavAppended) {
    struct Case {
        const wchar_t* typed;
        const wchar_t* result;
        bool changed;
    } cases[] = {
        {L"take1", L"take1.wav", true},   {L"TAKE1.WAV", L"TAKE1.WAV", false},  {L".wav", L".wav.wav", true},
        {L"a.Wav", L"a.Wav", false},      {L"song.mp3", L"song.mp3.wav", true}, {L"", L".wav", true},
        {L"x.wav ", L"x.wav .wav", true},
    };
    for (const Case& c : cases) {
        bool changed = !c.changed;
        EXPECT_EQ(CompleteRecordName(c.typed, &changed), c.result);
        EXPECT_EQ(changed, c.changed) << std::wstring(c.typed).size();
    }
    // At most 260 characters, still ending in ".wav".
    std::wstring done = CompleteRecordName(std::wstring(300, L'a'));
    EXPECT_EQ(done.size(), 260u);
    EXPECT_EQ(done.substr(255), L"a.wav");
}

TEST(EngineHelpers, RecordPaths) {
    const std::string sep(1, plat::PathSeparator());
    EXPECT_EQ(JoinRecordPath("rec", "take1.wav"), "rec" + sep + "take1.wav");
    EXPECT_EQ(JoinRecordPath("", "take1.wav"), "take1.wav");
    EXPECT_EQ(AutoRecordPath("rec", {2025, 3, 3, 14, 5, 59, 0}), "rec" + sep + "202503031405.wav");
    EXPECT_EQ(AutoRecordPath("", {2026, 12, 31, 0, 0, 0, 0}), "202612310000.wav");

    EXPECT_EQ(SplitPartPath("dir/take1.wav", 2), "dir/take1_002.wav");
    EXPECT_EQ(SplitPartPath("take1.wav", 13), "take1_013.wav");
    EXPECT_EQ(SplitPartPath("my.dir/take", 2), "my.dir/take_002");
    EXPECT_EQ(SplitPartPath("C:\\a.b\\x.WAV", 1000), "C:\\a.b\\x_1000.WAV");
}

TEST(EngineHelpers, TimeText) {
    struct Case {
        uint32_t seconds;
        const char* text;
    } cases[] = {{0, " 0:00:00"},    {59, " 0:00:59"},    {61, " 0:01:01"},    {3600, " 1:00:00"},
                 {5400, " 1:30:00"}, {86399, "23:59:59"}, {86400, " 0:00:00"}, {90061, " 1:01:01"}};
    for (const Case& c : cases)
        EXPECT_EQ(TimeText(c.seconds), c.text) << c.seconds;
}

TEST(EngineHelpers, DelayText) {
    struct Case {
        const char* text;
        bool ok;
        int delay;
    } cases[] = {
        {"2", true, 2},      {" -3", true, -3},
        {"\t 10", true, 10}, {"2a", false, 0},
        {"", true, 0},       {"-", true, 0},
        {"1 ", false, 0},    {"+4", false, 0},
        {"0", true, 0},      {"99999999999", true, 86400},
        {"--1", false, 0},   {"3.5", false, 0},
    };
    for (const Case& c : cases) {
        int delay = 12345;
        EXPECT_EQ(ParseDelayText(c.text, &delay), c.ok) << '"' << c.text << '"';
        EXPECT_EQ(delay, c.delay) << '"' << c.text << '"';
    }
}

TEST(EngineHelpers, LevelFromPeak) {
    struct Case {
        int peak, level;
    } cases[] = {{0, 0}, {32767, 31}, {16384, 26}, {1036, 2}, {-16384, 26},
                 {1, 0}, {3277, 13},  {3276, 12},  {32, 0}};
    for (const Case& c : cases)
        EXPECT_EQ(LevelFromPeak(c.peak), c.level) << c.peak;
}

TEST(EngineHelpers, PeakFollows) {
    // A higher peak replaces the stored one; a lower one pulls it down by 20 %.
    // 32767, 32767: 26213 + 6553, each term truncated.
    const int peaks[][3] = {
        {100, 200, 200}, {1000, 500, 900}, {1000, 0, 800}, {32767, 32767, 32766}, {7, 3, 5}};
    for (const auto& p : peaks)
        EXPECT_EQ(NextPeak(p[0], p[1]), p[2]) << p[0] << " " << p[1];
}

TEST(EngineHelpers, PlayStartPlan) {
    struct Case {
        uint32_t fileRate;
        int engineRate;
        bool recording, capturing;
        PlayStartAction action;
    } cases[] = {
        {0, 48000, false, false, PLAY_START_FAIL}, // unreadable: never switch to 0 Hz
        {0, 48000, true, true, PLAY_START_FAIL},
        {48000, 48000, true, true, PLAY_START_AS_IS},
        {44100, 48000, true, true, PLAY_START_FREQUENCY_MESSAGE},
        {44100, 48000, false, true, PLAY_START_RESTART_CAPTURE},
        {44100, 48000, false, false, PLAY_START_CHANGE_FORMAT},
        {192000, 48000, false, false, PLAY_START_FREQUENCY_MESSAGE},
        {4000, 48000, false, true, PLAY_START_FREQUENCY_MESSAGE},
    };
    for (const Case& c : cases)
        EXPECT_EQ(PlanPlayStart(c.fileRate, c.engineRate, c.recording, c.capturing), c.action) << c.fileRate;
}

TEST(EngineHelpers, CaptureStalledCountsFromTheLastBlockOrTheStartAcrossTheTickWrap) {
    struct Case {
        uint32_t now, start, last;
        bool stalled;
    } cases[] = {
        {2000, 1000, 1900, false},                 // blocks keep coming
        {3400, 1000, 1900, false},                 // a pause right after the start is no loss yet
        {6000, 1000, 1900, true},                  // the device went away after 1.9 s
        {7399, 1000, 5900, false},                 // 1.5 s not yet over
        {7400, 1000, 5900, true},                  // the device went away after 4.9 s
        {5999, 1000, 0, false},                    // no block yet, a slow start
        {6000, 1000, 0, true},                     // a start that never delivered
        {5000, 4800, 1900, false},                 // restarted: an old last block does not count
        {9800, 4800, 1900, true},                  // ... and after the grace nothing came since the restart
        {0x1400u, 0xFFFFFF00u, 0xF00u, false},     // across the wrap, 0x500 ms since the block
        {0x1500u, 0xFFFFFF00u, 0xF00u, true},      // across the wrap, 0x600 ms
        {0x1400u, 0xFFFFFF00u, 0xFFFFFFF0u, true}, // a block before the wrap, none since
    };
    for (const Case& c : cases)
        EXPECT_EQ(recorder::CaptureStalled(c.now, c.start, c.last, 1500, 5000), c.stalled)
            << c.now << " " << c.start << " " << c.last;
}
