// The rules behind the dialogs, the status texts and the level meter's picture.
#include "drivers/AudioTypes.h"
#include "platform/Platform.h"
#include "engine/RecorderHelpers.h"
#include "tests/core/TestUtil.h"
#include "uilogic/DeviceDialogRules.h"
#include "uilogic/MainWindowTexts.h"
#include "uilogic/MeterGeometry.h"
#include "uilogic/NumberRule.h"
#include "uilogic/RecDialogRules.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <climits>
#include <string>
#include <tuple>
#include <vector>

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

using namespace uilogic;
using Strings = std::vector<std::string>;
using Ints = std::vector<int>;

namespace {
Strings Texts(const ChoiceList& list) {
    Strings texts;
    for (const ListLine& line : list.lines)
        texts.push_back(line.text);
    return texts;
}
Ints Values(const ChoiceList& list) {
    Ints values;
    for (const ListLine& line : list.lines)
        values.push_back(line.value);
    return values;
}
Ints Edges(const MeterRect& r) {
    return {r.left, r.top, r.right, r.bottom};
}
} // namespace

// ---------------------------------------------------------------- meter
// Every lit count draws a frame and a face per segment, all inside a window
// wide enough for 32 one-pixel cells; the faces run from black through green
// and yellow to red.
TEST(UiMeter, CellsStayInsideTheWindow) {
    // width, pitch, right edge of the 32nd frame relative to the window's left
    const std::array<int, 3> cases[] = {{20, 1, 33}, {34, 1, 33},   {65, 1, 33},
                                        {66, 2, 65}, {200, 6, 193}, {300, 9, 289}};
    for (auto [width, pitch, lastRight] : cases) {
        MeterRect client{10, 5, 10 + width, 25};
        EXPECT_EQ(SegmentPitch(client), pitch) << width;
        std::vector<MeterCell> cells = MeterCells(32, client);
        ASSERT_EQ(cells.size(), 64u);
        EXPECT_EQ(cells[62].rect.right - client.left, lastRight) << width;
        EXPECT_TRUE(width < 34 || cells[62].rect.right < client.right) << width;
        for (int lit : {-5, 0, 1, 31, 40})
            EXPECT_EQ(MeterCells(lit, client).size(), std::clamp(lit, 0, 32) * 2u) << lit;
    }
    const MeterRect client{10, 5, 310, 25}; // pitch 9
    std::vector<MeterCell> cells = MeterCells(32, client);
    const std::tuple<int, MeterRect, MeterRect> segments[] = {{0, {11, 6, 20, 24}, {12, 7, 19, 23}},
                                                              {16, {155, 6, 164, 24}, {156, 7, 163, 23}},
                                                              {31, {290, 6, 299, 24}, {291, 7, 298, 23}}};
    for (auto [segment, frame, face] : segments) {
        EXPECT_EQ(cells[segment * 2u].colour, METER_FRAME) << segment;
        EXPECT_EQ(cells[segment * 2u + 1].colour, SegmentColour(segment)) << segment;
        EXPECT_EQ(Edges(cells[segment * 2u].rect), Edges(frame)) << segment;
        EXPECT_EQ(Edges(cells[segment * 2u + 1].rect), Edges(face)) << segment;
    }
    EXPECT_EQ(Edges(MeterCells(1, client)[1].rect), Edges(cells[1].rect));
    const std::pair<int, uint32_t> colours[] = {{0, 0x000000},  {1, 0x001000},  {15, 0x00F000},
                                                {16, 0x00FF00}, {17, 0x00FF20}, {24, 0x00FFFF},
                                                {25, 0x00C0FF}, {31, 0x0000FF}};
    for (auto [segment, colour] : colours)
        EXPECT_EQ(SegmentColour(segment), colour) << segment;
}

// ---------------------------------------------------------------- numbers
TEST(UiDialogNumber, EditTextsReadLeniently) {
    const std::pair<const char*, int32_t> cases[] = {{"-12", -12},
                                                     {"-12x", 12},
                                                     {"40x", 40},
                                                     {" \t-3", -3},
                                                     {"2147483647", INT32_MAX},
                                                     {"2147483648", INT32_MAX},
                                                     {"-2147483649", INT32_MIN},
                                                     {"-99999999999x", INT32_MAX}};
    for (auto [text, value] : cases)
        EXPECT_EQ(DialogNumber(text), value) << '"' << text << '"';
    for (const char* text : {"", "x12", "- 5", "--5", "+5"})
        EXPECT_EQ(DialogNumber(text), 0) << '"' << text << '"';
}

// ---------------------------------------------------------------- device dialog
TEST(UiDeviceDialog, CaptureListAndSelection) {
    ChoiceList list = CaptureDeviceList({"Mic", "Line"}, {"Speakers", "HDMI"}, true, "", 0, 0);
    EXPECT_EQ(Texts(list), (Strings{"Mic", "Line", "Speakers(Loopback)", "HDMI(Loopback)"}));
    EXPECT_EQ(Values(list), (Ints{0, 1, LOOPBACK_INDEX_BASE, LOOPBACK_INDEX_BASE + 1}));
    EXPECT_EQ(Texts(CaptureDeviceList({"Mic"}, {"Speakers"}, false, "", 0, 0)), Strings{"Mic"});

    const Strings capture = {"Mic", "Line", "Mic", "Speakers"}, render = {"Speakers", "HDMI", "Speakers"};
    // The last equal line of the stored kind (plain or loopback; MME has no
    // loopback lines, an unknown flag matches nothing), else the first line.
    const std::tuple<bool, const char*, int, int> cases[] = {
        {true, "Mic", 0, 2}, {true, "Speakers", 0, 3},  {true, "Speakers", 1, 6}, {true, "HDMI", 0, 0},
        {true, "Mic", 1, 0}, {false, "Speakers", 1, 0}, {true, "Mic", 2, 0}};
    for (auto [canLoopBack, stored, storedLoopback, selection] : cases)
        EXPECT_EQ(CaptureDeviceList(capture, render, canLoopBack, stored, storedLoopback, 0).selection,
                  selection)
            << stored << " " << storedLoopback;
}

TEST(UiDeviceDialog, EmptyDeviceListsShowOneDisabledLine) {
    for (int language : {0, 1}) {
        ChoiceList capture = CaptureDeviceList({}, {"Speakers"}, false, "Mic", 0, language);
        for (const ChoiceList& list : {capture, MonitorDeviceList({}, "Speakers", language)}) {
            EXPECT_EQ(Texts(list), Strings{language ? "(デバイスなし)" : "(no device)"});
            EXPECT_FALSE(list.enabled);
            EXPECT_EQ(list.selection, NO_SELECTION);
        }
        EXPECT_EQ(ValueToStore(capture, 0, 3), 3); // OK keeps the stored device
    }
    // Loopback lines alone are a list.
    ChoiceList loopOnly = CaptureDeviceList({}, {"Speakers"}, true, "Speakers", 1, 0);
    EXPECT_TRUE(loopOnly.enabled);
    EXPECT_EQ(loopOnly.selection, 0);
    EXPECT_EQ(ValueToStore(loopOnly, 0, 3), LOOPBACK_INDEX_BASE);
}

TEST(UiDeviceDialog, MonitorRateChannelsLatencyAndBoost) {
    const Strings render = {"Speakers", "HDMI", "Speakers", "USB"};
    const std::pair<const char*, int> monitors[] = {
        {"Speakers", 2}, {"HDMI", 1}, {"Gone", 0}, {"speakers", 0}};
    for (auto [stored, selection] : monitors)
        EXPECT_EQ(MonitorDeviceList(render, stored, 0).selection, selection) << stored;

    EXPECT_EQ(Values(SampleRateList(44100)), (Ints{8000, 16000, 32000, 44100, 48000, 96000}));
    const std::pair<int, int> rates[] = {{8000, 0}, {96000, 5}, {22050, NO_SELECTION},
                                         {7999, 0}, {-1, 0},    {96001, 5}};
    for (auto [stored, selection] : rates)
        EXPECT_EQ(SampleRateList(stored).selection, selection) << stored;
    // A rate the list lacks survives OK without a choice.
    EXPECT_EQ(ValueToStore(SampleRateList(22050), NO_SELECTION, 22050), 22050);
    EXPECT_EQ(ValueToStore(SampleRateList(22050), 4, 22050), 48000);

    EXPECT_EQ(Values(ChannelList(2, 0)), (Ints{1, 2, 3, 4}));
    const std::pair<int, int> channels[] = {{1, 0}, {4, 3}, {0, 0}, {-3, 0}, {5, 1}};
    for (auto [stored, selection] : channels)
        EXPECT_EQ(ChannelList(stored, 0).selection, selection) << stored;
    const std::array<int, 3> latencies[] = {
        {-1, 5, 0}, {4, 5, 4}, {30, 30, 30}, {31, 31, 30}, {501, 500, 30}};
    for (auto [stored, latency, boost] : latencies) {
        EXPECT_EQ(ShownLatency(stored), latency) << stored;
        EXPECT_EQ(ShownBoostLevel(stored), boost) << stored;
    }
}

// ---------------------------------------------------------------- recording dialog
TEST(UiRecDialog, SelectionAndWhatOkStores) {
    EXPECT_EQ(Values(RecChannelList(0, 0)), (Ints{0, 1}));
    const int none = NO_SELECTION;
    const std::array<int, 3> cases[] = {
        {0, 0, 0}, {1, 1, 1}, {3, none, 3}, {5, none, none}, {-1, none, none}};
    for (auto [stored, channelSelection, playSelection] : cases) {
        ChoiceList channels = RecChannelList(stored, 0), play = PlayFileList(stored, 1);
        EXPECT_EQ(channels.selection, channelSelection) << stored;
        EXPECT_EQ(play.selection, playSelection) << stored;
        // Untouched, OK stores what was there before.
        EXPECT_EQ(ValueToStore(channels, channels.selection, stored), stored);
        EXPECT_EQ(ValueToStore(play, play.selection, stored), stored);
    }
    EXPECT_EQ(ValueToStore(PlayFileList(5, 0), 2, 5), 2);
    EXPECT_EQ(ValueToStore(PlayFileList(5, 0), 4, 5), 5);
}

TEST(UiRecDialog, RecordFolderCheck) {
    testutil::TempDir dir("uilogic");
    const std::string japanese = dir.File("録音 フォルダ");
    ASSERT_TRUE(plat::MakeDirectories(japanese.c_str()));
    ASSERT_TRUE(testutil::WriteAll(dir.File("plain.txt"), "x", 1));
    EXPECT_EQ(CheckRecordFolder(""), RECORD_FOLDER_EMPTY);
    EXPECT_EQ(CheckRecordFolder(japanese), RECORD_FOLDER_OK);
    for (const char* name : {"missing 録音", "plain.txt"})
        EXPECT_EQ(CheckRecordFolder(dir.File(name)), RECORD_FOLDER_MISSING) << name;
    // The probe leaves nothing behind, and a left-over one is neither removed
    // nor a reason to fail.
    const std::string leftOver = plat::JoinPath(japanese, "~sonvel_probe0.tmp");
    EXPECT_FALSE(plat::PathExists(leftOver.c_str()));
    ASSERT_TRUE(testutil::WriteAll(leftOver, "keep", 4));
    EXPECT_EQ(CheckRecordFolder(japanese), RECORD_FOLDER_OK);
    EXPECT_EQ(plat::PathFileSize(leftOver.c_str()), 4);
}

TEST(UiRecDialog, RecordFolderMessagesNameTheFolderInTheLanguageInUse) {
    const std::string folder = "D:\\録音 2026";
    EXPECT_EQ(RecordFolderMessage(RECORD_FOLDER_OK, folder, 0) +
                  RecordFolderMessage(RECORD_FOLDER_EMPTY, folder, 1),
              "");
    std::vector<std::string> texts;
    for (RecordFolderState state : {RECORD_FOLDER_MISSING, RECORD_FOLDER_NOT_WRITABLE})
        for (int language : {0, 1}) {
            texts.push_back(RecordFolderMessage(state, folder, language));
            EXPECT_NE(texts.back().find("\n" + folder + "\n"), std::string::npos) << texts.back();
        }
    std::sort(texts.begin(), texts.end());
    EXPECT_EQ(std::unique(texts.begin(), texts.end()), texts.end()); // each its own
}

#ifndef _WIN32
TEST(UiRecDialog, FolderThatRefusesFilesIsNotWritable) {
    // /proc takes no new files whoever asks, so this runs as root too.
    if (!plat::IsDirectory("/proc")) GTEST_SKIP() << "no /proc here";
    EXPECT_EQ(CheckRecordFolder("/proc"), RECORD_FOLDER_NOT_WRITABLE);
    testutil::TempDir dir("uilogic_ro");
    const std::string folder = dir.File("read only");
    ASSERT_TRUE(plat::MakeDirectories(folder.c_str()));
    ASSERT_EQ(chmod(folder.c_str(), 0555), 0);
    // Root writes into read-only folders, and so the check lets it.
    EXPECT_EQ(CheckRecordFolder(folder), geteuid() == 0 ? RECORD_FOLDER_OK : RECORD_FOLDER_NOT_WRITABLE);
    chmod(folder.c_str(), 0755);
}
#endif

// ---------------------------------------------------------------- main window
TEST(UiMainWindowTexts, StatusTexts) {
    // Japanese names each box's device; an unknown language is English.
    EXPECT_EQ(std::string(CaptureStatusText(STATUS_RUNNING, 1)), "キャプチャ動作中");
    EXPECT_EQ(std::string(MonitorStatusText(STATUS_RUNNING, 1)), "スピーカ動作中");
    EXPECT_EQ(std::string(MonitorStatusText(STATUS_OPEN_ERROR, 1)), "オープンエラー");
    EXPECT_EQ(std::string(CaptureStatusText(STATUS_RUN_ERROR, 2)), "ERROR: RUN");
    EXPECT_EQ(std::string(MonitorStatusText(STATUS_WRITE_ERROR, 0)), "ERROR: FILE WRITE");
}

TEST(UiMainWindowTexts, ElapsedTimeShowsAllHours) {
    const std::pair<uint32_t, const char*> cases[] = {{0, " 0:00:00"},     {61, " 0:01:01"},
                                                      {3600, " 1:00:00"},  {86399, "23:59:59"},
                                                      {90061, "25:01:01"}, {360000, "100:00:00"}};
    for (auto [seconds, text] : cases)
        EXPECT_EQ(ElapsedText(seconds), text) << seconds;
    EXPECT_EQ(ElapsedText(4294967295u), "1193046:28:15");
}

TEST(UiMainWindowTexts, DroppedFilesTakenAsPlayFiles) {
    for (const char* taken : {"C:\\music\\song.wav", "C:\\music\\SONG.MP3", "x.Wav"})
        EXPECT_TRUE(IsPlayFileName(taken)) << taken;
    for (const char* refused :
         {"C:\\music\\song.txt", "C:\\music\\.wav", "C:/music/.mp3", "song.wav.bak", "", "wav"})
        EXPECT_FALSE(IsPlayFileName(refused)) << refused;
}

TEST(UiMainWindowTexts, DroppedBlocksSinceTheTakeStarted) {
    // dropped now, dropped when the take started, language, text
    const std::tuple<uint64_t, uint64_t, int, std::string> cases[] = {
        {0, 0, 1, ""},
        {57, 57, 0, ""}, // dropped before the take: not this take's loss
        {58, 57, 1, "欠落ブロック: 1"},
        {1057, 57, 0, "DROPPED BLOCKS: 1000"},
        {3, 57, 2, "DROPPED BLOCKS: 3"}, // the engine cleared its count mid-take
        {18446744073709551615u, 0, 0, "DROPPED BLOCKS: 18446744073709551615"}};
    for (auto [dropped, atStart, language, text] : cases)
        EXPECT_EQ(DroppedBlocksText(dropped, atStart, language), text) << dropped << " " << atStart;
}

// The app fills each of these with one string through snprintf: a second
// conversion, or one of another kind, would read past its argument.
TEST(UiMainWindowTexts, MessageFormatsTakeExactlyOnePath) {
    using Format = const char* (*)(int);
    const std::pair<const char*, Format> formats[] = {
        {"play open", PlayOpenFailedFormat},    {"settings", SettingsUnreadableFormat},
        {"chain", ChainDamagedFormat},          {"save", recorder::SaveFailedFormat},
        {"write", recorder::WriteFailedFormat},
    };
    for (const auto& [name, format] : formats) {
        for (int language : {1, 0}) {
            const std::string text = format(language);
            std::vector<std::string> conversions;
            for (size_t at = text.find('%'); at != std::string::npos; at = text.find('%', at + 2))
                conversions.push_back(text.substr(at, 2));
            EXPECT_EQ(conversions, std::vector<std::string>{"%s"}) << name << " " << language;
        }
    }
}
