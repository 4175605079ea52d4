// The rules behind the dialogs, the status texts and the level meter's picture.
#include "drivers/AudioTypes.h"
#include "platform/Platform.h"
#include "tests/core/TestUtil.h"
#include "uilogic/DeviceDialogRules.h"
#include "uilogic/MainWindowTexts.h"
#include "uilogic/MeterGeometry.h"
#include "uilogic/NumberRule.h"
#include "uilogic/RecDialogRules.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

using namespace uilogic;

namespace {
std::vector<std::string> Texts(const ChoiceList& list) {
    std::vector<std::string> texts;
    for (const ListLine& line : list.lines)
        texts.push_back(line.text);
    return texts;
}
std::vector<int> Values(const ChoiceList& list) {
    std::vector<int> values;
    for (const ListLine& line : list.lines)
        values.push_back(line.value);
    return values;
}
} // namespace

// ---------------------------------------------------------------- meter
TEST(UiMeter, SegmentColours) {
    struct Case {
        int segment;
        uint32_t colour;
    } cases[] = {{0, 0x000000},  {1, 0x001000},  {15, 0x00F000}, {16, 0x00FF00}, {17, 0x00FF20},
                 {23, 0x00FFE0}, {24, 0x00FFFF}, {25, 0x00C0FF}, {26, 0x00A0FF}, {31, 0x0000FF}};
    for (const Case& c : cases)
        EXPECT_EQ(SegmentColour(c.segment), c.colour) << c.segment;
}

TEST(UiMeter, PitchKeepsEverySegmentInsideTheWindow) {
    struct Case {
        int width;
        int pitch;
        int lastRight; // right edge of the 32nd frame, relative to the window's left
    } cases[] = {{20, 1, 33}, {34, 1, 33}, {65, 1, 33}, {66, 2, 65}, {200, 6, 193}, {300, 9, 289}};
    for (const Case& c : cases) {
        MeterRect client{10, 5, 10 + c.width, 25};
        EXPECT_EQ(SegmentPitch(client), c.pitch) << c.width;
        std::vector<MeterCell> cells = MeterCells(32, client);
        ASSERT_EQ(cells.size(), 64u);
        EXPECT_EQ(cells[62].rect.right - client.left, c.lastRight) << c.width;
        // A window too narrow for 32 one-pixel cells is the only one that overflows.
        if (c.width >= 34) {
            EXPECT_LT(cells[62].rect.right, client.right) << c.width;
        }
    }
}

TEST(UiMeter, CellsForLitCounts) {
    struct Case {
        int lit;
        int width;
        size_t cells;
    } cases[] = {{0, 300, 0},  {1, 300, 2},  {31, 300, 62}, {32, 300, 64}, {0, 20, 0},   {1, 20, 2},
                 {31, 34, 62}, {32, 34, 64}, {1, 200, 2},   {32, 200, 64}, {-5, 300, 0}, {40, 300, 64}};
    for (const Case& c : cases) {
        MeterRect client{10, 5, 10 + c.width, 25};
        EXPECT_EQ(MeterCells(c.lit, client).size(), c.cells) << c.lit << " " << c.width;
    }
}

TEST(UiMeter, FrameAndFaceOfEachSegment) {
    const MeterRect client{10, 5, 310, 25}; // pitch 9
    std::vector<MeterCell> cells = MeterCells(32, client);
    ASSERT_EQ(cells.size(), 64u);
    struct Case {
        int segment;
        MeterRect frame;
        MeterRect face;
        uint32_t colour;
    } cases[] = {
        {0, {11, 6, 20, 24}, {12, 7, 19, 23}, 0x000000},
        {15, {146, 6, 155, 24}, {147, 7, 154, 23}, 0x00F000},
        {16, {155, 6, 164, 24}, {156, 7, 163, 23}, 0x00FF00},
        {24, {227, 6, 236, 24}, {228, 7, 235, 23}, 0x00FFFF},
        {25, {236, 6, 245, 24}, {237, 7, 244, 23}, 0x00C0FF},
        {31, {290, 6, 299, 24}, {291, 7, 298, 23}, 0x0000FF},
    };
    for (const Case& c : cases) {
        const MeterCell& frame = cells[static_cast<size_t>(c.segment) * 2];
        const MeterCell& face = cells[static_cast<size_t>(c.segment) * 2 + 1];
        EXPECT_EQ(frame.colour, METER_FRAME) << c.segment;
        EXPECT_EQ(face.colour, c.colour) << c.segment;
        EXPECT_EQ(frame.rect.left, c.frame.left) << c.segment;
        EXPECT_EQ(frame.rect.top, c.frame.top) << c.segment;
        EXPECT_EQ(frame.rect.right, c.frame.right) << c.segment;
        EXPECT_EQ(frame.rect.bottom, c.frame.bottom) << c.segment;
        EXPECT_EQ(face.rect.left, c.face.left) << c.segment;
        EXPECT_EQ(face.rect.top, c.face.top) << c.segment;
        EXPECT_EQ(face.rect.right, c.face.right) << c.segment;
        EXPECT_EQ(face.rect.bottom, c.face.bottom) << c.segment;
    }
    // Fewer lit segments draw the same cells, only fewer of them.
    std::vector<MeterCell> one = MeterCells(1, client);
    ASSERT_EQ(one.size(), 2u);
    EXPECT_EQ(one[1].rect.right, 19);
    EXPECT_EQ(METER_BACKGROUND, 0x000000u);
}

// ---------------------------------------------------------------- numbers
TEST(UiDialogNumber, EditTextsReadLeniently) {
    struct Case {
        const char* text;
        int32_t value;
    } cases[] = {
        {"-12", -12},
        {"-12x", 12},
        {"40x", 40},
        {"", 0},
        {"abc", 0},
        {"  250", 250},
        {"\t 7", 7},
        {" \t-3", -3},
        {"-", 0},
        {"x12", 0},
        {"12 ", 12},
        {"- 5", 0},
        {"--5", 0},
        {"+5", 0},
        {"007", 7},
        {"2147483647", INT32_MAX},
        {"2147483648", INT32_MAX},
        {"-2147483648", INT32_MIN},
        {"-2147483649", INT32_MIN},
        {"123456789012345678901234567890", INT32_MAX},
        {"-123456789012345678901234567890", INT32_MIN},
        {"-123456789012345678901234567890x", INT32_MAX},
    };
    for (const Case& c : cases)
        EXPECT_EQ(DialogNumber(c.text), c.value) << '"' << c.text << '"';
}

// ---------------------------------------------------------------- device dialog
TEST(UiDeviceDialog, DriverChoice) {
    struct Case {
        int stored;
        DriverChoice choice;
    } cases[] = {{0, DRIVER_CHOICE_WASAPI},
                 {1, DRIVER_CHOICE_MME},
                 {2, DRIVER_CHOICE_WASAPI},
                 {-1, DRIVER_CHOICE_WASAPI}};
    for (const Case& c : cases)
        EXPECT_EQ(DriverChoiceOf(c.stored), c.choice) << c.stored;
}

TEST(UiDeviceDialog, CaptureListLinesAndValues) {
    ChoiceList list = CaptureDeviceList({"Mic", "Line"}, {"Speakers", "HDMI"}, true, "", 0, 0);
    EXPECT_EQ(Texts(list), (std::vector<std::string>{"Mic", "Line", "Speakers(Loopback)", "HDMI(Loopback)"}));
    EXPECT_EQ(Values(list), (std::vector<int>{0, 1, LOOPBACK_INDEX_BASE, LOOPBACK_INDEX_BASE + 1}));
    EXPECT_TRUE(list.enabled);

    ChoiceList mme = CaptureDeviceList({"Mic", "Line"}, {"Speakers"}, false, "", 0, 0);
    EXPECT_EQ(Texts(mme), (std::vector<std::string>{"Mic", "Line"}));
}

TEST(UiDeviceDialog, CaptureSelection) {
    const std::vector<std::string> capture = {"Mic", "Line", "Mic", "Speakers"};
    const std::vector<std::string> render = {"Speakers", "HDMI", "Speakers"};
    struct Case {
        bool canLoopBack;
        const char* stored;
        int storedLoopback;
        int selection;
    } cases[] = {
        {true, "Mic", 0, 2},       // the last equal plain line
        {true, "Line", 0, 1},      //
        {true, "Speakers", 0, 3},  // the plain line of that name, not the loopback one
        {true, "Speakers", 1, 6},  // the last equal loopback line
        {true, "HDMI", 1, 5},      //
        {true, "HDMI", 0, 0},      // no plain line of that name
        {true, "Mic", 1, 0},       // no loopback line of that name
        {true, "Gone", 0, 0},      //
        {false, "Speakers", 1, 0}, // MME has no loopback lines
        {true, "Mic", 2, 0},       // an unknown loopback flag matches nothing
    };
    for (const Case& c : cases) {
        ChoiceList list = CaptureDeviceList(capture, render, c.canLoopBack, c.stored, c.storedLoopback, 0);
        EXPECT_EQ(list.selection, c.selection) << c.stored << " " << c.storedLoopback;
    }
}

TEST(UiDeviceDialog, EmptyDeviceListsShowOneDisabledLine) {
    struct Case {
        int language;
        const char* text;
    } cases[] = {{0, "(no device)"}, {1, "(デバイスなし)"}, {2, "(no device)"}};
    for (const Case& c : cases) {
        ChoiceList capture = CaptureDeviceList({}, {"Speakers"}, false, "Mic", 0, c.language);
        EXPECT_EQ(Texts(capture), std::vector<std::string>{c.text});
        EXPECT_FALSE(capture.enabled);
        EXPECT_EQ(capture.selection, NO_SELECTION);
        // OK keeps the stored device.
        EXPECT_EQ(ValueToStore(capture, 0, 3), 3);

        ChoiceList monitor = MonitorDeviceList({}, "Speakers", c.language);
        EXPECT_EQ(Texts(monitor), std::vector<std::string>{c.text});
        EXPECT_FALSE(monitor.enabled);
        EXPECT_EQ(monitor.selection, NO_SELECTION);
    }
    // Loopback lines alone are a list.
    ChoiceList loopOnly = CaptureDeviceList({}, {"Speakers"}, true, "Speakers", 1, 0);
    EXPECT_EQ(Texts(loopOnly), std::vector<std::string>{"Speakers(Loopback)"});
    EXPECT_TRUE(loopOnly.enabled);
    EXPECT_EQ(loopOnly.selection, 0);
    EXPECT_EQ(ValueToStore(loopOnly, 0, 3), LOOPBACK_INDEX_BASE);
}

TEST(UiDeviceDialog, MonitorSelection) {
    const std::vector<std::string> render = {"Speakers", "HDMI", "Speakers", "USB"};
    struct Case {
        const char* stored;
        int selection;
    } cases[] = {{"Speakers", 2}, {"HDMI", 1}, {"USB", 3}, {"Gone", 0}, {"", 0}, {"speakers", 0}};
    for (const Case& c : cases)
        EXPECT_EQ(MonitorDeviceList(render, c.stored, 0).selection, c.selection) << c.stored;
    EXPECT_EQ(Values(MonitorDeviceList(render, "", 0)), (std::vector<int>{0, 1, 2, 3}));
}

TEST(UiDeviceDialog, SampleRates) {
    ChoiceList list = SampleRateList(44100);
    EXPECT_EQ(Texts(list), (std::vector<std::string>{"8000 Hz", "16000 Hz", "32000 Hz", "44100 Hz",
                                                     "48000 Hz", "96000 Hz"}));
    EXPECT_EQ(Values(list), (std::vector<int>{8000, 16000, 32000, 44100, 48000, 96000}));
    struct Case {
        int stored;
        int selection;
    } cases[] = {
        {8000, 0},   {44100, 3}, {48000, 4}, {96000, 5}, {22050, NO_SELECTION}, {7999, 0}, {0, 0}, {-1, 0},
        {192000, 5}, {96001, 5}, {16000, 1}, {32000, 2}, {44099, NO_SELECTION}};
    for (const Case& c : cases)
        EXPECT_EQ(SampleRateList(c.stored).selection, c.selection) << c.stored;
    // A rate the list lacks survives OK without a choice.
    EXPECT_EQ(ValueToStore(SampleRateList(22050), NO_SELECTION, 22050), 22050);
    EXPECT_EQ(ValueToStore(SampleRateList(22050), 4, 22050), 48000);
}

TEST(UiDeviceDialog, Channels) {
    EXPECT_EQ(Texts(ChannelList(2, 1)),
              (std::vector<std::string>{"1ch (mono)", "2ch (stereo)", "2ch (L-chのみ)", "2ch (R-chのみ)"}));
    EXPECT_EQ(Texts(ChannelList(2, 0)),
              (std::vector<std::string>{"1ch (mono)", "2ch (stereo)", "2ch (only L)", "2ch (only R)"}));
    EXPECT_EQ(Values(ChannelList(2, 0)), (std::vector<int>{1, 2, 3, 4}));
    struct Case {
        int stored;
        int shown;
        int selection;
    } cases[] = {{1, 1, 0}, {2, 2, 1}, {3, 3, 2}, {4, 4, 3}, {0, 1, 0}, {-3, 1, 0}, {5, 2, 1}, {7, 2, 1}};
    for (const Case& c : cases) {
        EXPECT_EQ(ShownChannels(c.stored), c.shown) << c.stored;
        EXPECT_EQ(ChannelList(c.stored, 0).selection, c.selection) << c.stored;
    }
}

TEST(UiDeviceDialog, BitsLatencyAndBoost) {
    ChoiceList bits = BitsList();
    EXPECT_EQ(Texts(bits), std::vector<std::string>{"16bits"});
    EXPECT_EQ(Values(bits), std::vector<int>{16});
    EXPECT_EQ(bits.selection, 0);

    struct Case {
        int stored;
        int latency;
        int boost;
    } cases[] = {{-1, 5, 0},   {0, 5, 0},    {4, 5, 4},      {5, 5, 5},
                 {30, 30, 30}, {31, 31, 30}, {500, 500, 30}, {501, 500, 30}};
    for (const Case& c : cases) {
        EXPECT_EQ(ShownLatency(c.stored), c.latency) << c.stored;
        EXPECT_EQ(ShownBoostLevel(c.stored), c.boost) << c.stored;
    }
}

// ---------------------------------------------------------------- recording dialog
TEST(UiRecDialog, Lists) {
    EXPECT_EQ(Texts(RecChannelList(0, 1)),
              (std::vector<std::string>{"キャプチャの設定に従う", "mono(1ch) → stereo(2ch)"}));
    EXPECT_EQ(Texts(RecChannelList(0, 0)),
              (std::vector<std::string>{"Follow capture settings", "mono(1ch) to stereo(2ch)"}));
    EXPECT_EQ(Values(RecChannelList(0, 0)), (std::vector<int>{0, 1}));
    EXPECT_EQ(Texts(PlayFileList(0, 1)), (std::vector<std::string>{"録音しない", "そのまま録音する",
                                                                   "L-chに録音する", "R-chに録音する"}));
    EXPECT_EQ(Texts(PlayFileList(0, 0)), (std::vector<std::string>{"Do not record", "Record as is",
                                                                   "Record on L-ch", "Record on R-ch"}));
    EXPECT_EQ(Values(PlayFileList(0, 1)), (std::vector<int>{0, 1, 2, 3}));
}

TEST(UiRecDialog, SelectionAndWhatOkStores) {
    struct Case {
        int stored;
        int channelSelection;
        int playSelection;
    } cases[] = {{0, 0, 0},
                 {1, 1, 1},
                 {2, NO_SELECTION, 2},
                 {3, NO_SELECTION, 3},
                 {5, NO_SELECTION, NO_SELECTION},
                 {-1, NO_SELECTION, NO_SELECTION}};
    for (const Case& c : cases) {
        ChoiceList channels = RecChannelList(c.stored, 0);
        ChoiceList play = PlayFileList(c.stored, 1);
        EXPECT_EQ(channels.selection, c.channelSelection) << c.stored;
        EXPECT_EQ(play.selection, c.playSelection) << c.stored;
        // Untouched, OK stores what was there before.
        EXPECT_EQ(ValueToStore(channels, channels.selection, c.stored), c.stored);
        EXPECT_EQ(ValueToStore(play, play.selection, c.stored), c.stored);
    }
    ChoiceList play = PlayFileList(5, 0);
    EXPECT_EQ(ValueToStore(play, 2, 5), 2);
    EXPECT_EQ(ValueToStore(play, 4, 5), 5);
    EXPECT_EQ(ValueToStore(play, NO_SELECTION, 5), 5);
}

TEST(UiRecDialog, RecordFolderCheck) {
    testutil::TempDir dir("uilogic");
    const std::string japanese = dir.File("録音 フォルダ");
    ASSERT_TRUE(plat::MakeDirectories(japanese.c_str()));
    ASSERT_TRUE(testutil::WriteAll(dir.File("plain.txt"), "x", 1));
    struct Case {
        std::string folder;
        RecordFolderState state;
    } cases[] = {
        {"", RECORD_FOLDER_EMPTY},
        {dir.Path(), RECORD_FOLDER_OK},
        {japanese, RECORD_FOLDER_OK},
        {dir.File("missing"), RECORD_FOLDER_MISSING},
        {dir.File("missing 録音"), RECORD_FOLDER_MISSING},
        {dir.File("plain.txt"), RECORD_FOLDER_MISSING},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CheckRecordFolder(c.folder), c.state) << c.folder;
    // The probe leaves nothing behind.
    EXPECT_FALSE(plat::PathExists(plat::JoinPath(japanese, "~sonvel_probe0.tmp").c_str()));

    // A left-over probe file is neither removed nor a reason to fail.
    const std::string leftOver = plat::JoinPath(japanese, "~sonvel_probe0.tmp");
    ASSERT_TRUE(testutil::WriteAll(leftOver, "keep", 4));
    EXPECT_EQ(CheckRecordFolder(japanese), RECORD_FOLDER_OK);
    EXPECT_EQ(plat::PathFileSize(leftOver.c_str()), 4);
}

TEST(UiRecDialog, RecordFolderMessagesNameTheFolderInTheLanguageInUse) {
    const std::string folder = "D:\\録音 2026";
    struct Case {
        RecordFolderState state;
        int language;
        const char* opening; // empty: no message at all
    } cases[] = {
        {RECORD_FOLDER_OK, 0, ""},
        {RECORD_FOLDER_EMPTY, 1, ""},
        {RECORD_FOLDER_MISSING, 0, "The save folder does not exist."},
        {RECORD_FOLDER_MISSING, 1, "保存先フォルダが見つかりません。"},
        {RECORD_FOLDER_NOT_WRITABLE, 0, "The save folder cannot be written to."},
        {RECORD_FOLDER_NOT_WRITABLE, 1, "保存先フォルダに書き込めません。"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.state << " " << c.language);
        const std::string text = RecordFolderMessage(c.state, folder, c.language);
        if (*c.opening == 0) {
            EXPECT_EQ(text, "");
            continue;
        }
        EXPECT_EQ(text.rfind(c.opening, 0), 0u) << text;
        EXPECT_NE(text.find("\n" + folder + "\n"), std::string::npos) << text;
    }
}

#ifndef _WIN32
TEST(UiRecDialog, FolderThatRefusesFilesIsNotWritableEvenForRoot) {
    // /proc takes no new files whoever asks, so this runs as root too.
    if (!plat::IsDirectory("/proc")) GTEST_SKIP() << "no /proc here";
    EXPECT_EQ(CheckRecordFolder("/proc"), RECORD_FOLDER_NOT_WRITABLE);
}

TEST(UiRecDialog, ReadOnlyFolderIsNotWritable) {
    if (geteuid() == 0) GTEST_SKIP() << "root writes into read-only folders";
    testutil::TempDir dir("uilogic_ro");
    const std::string folder = dir.File("read only");
    ASSERT_TRUE(plat::MakeDirectories(folder.c_str()));
    ASSERT_EQ(chmod(folder.c_str(), 0555), 0);
    EXPECT_EQ(CheckRecordFolder(folder), RECORD_FOLDER_NOT_WRITABLE);
    chmod(folder.c_str(), 0755);
}
#endif

// ---------------------------------------------------------------- main window
TEST(UiMainWindowTexts, StatusTexts) {
    struct Case {
        DeviceStatus status;
        int language;
        const char* capture;
        const char* monitor;
    } cases[] = {
        {STATUS_RUNNING, 1, "キャプチャ動作中", "スピーカ動作中"},
        {STATUS_RUNNING, 0, "Running", "Running"},
        {STATUS_OPEN_ERROR, 1, "オープンエラー", "オープンエラー"},
        {STATUS_OPEN_ERROR, 0, "ERROR: DEVICE OPEN", "ERROR: DEVICE OPEN"},
        {STATUS_RUN_ERROR, 1, "実行エラー", "実行エラー"},
        {STATUS_RUN_ERROR, 0, "ERROR: RUN", "ERROR: RUN"},
        {STATUS_RUN_ERROR, 2, "ERROR: RUN", "ERROR: RUN"},
        {STATUS_WRITE_ERROR, 1, "書き込みエラー", "書き込みエラー"},
        {STATUS_WRITE_ERROR, 0, "ERROR: FILE WRITE", "ERROR: FILE WRITE"},
    };
    for (const Case& c : cases) {
        EXPECT_STREQ(CaptureStatusText(c.status, c.language), c.capture) << c.status << " " << c.language;
        EXPECT_STREQ(MonitorStatusText(c.status, c.language), c.monitor) << c.status << " " << c.language;
    }
}

TEST(UiMainWindowTexts, ElapsedTimeShowsAllHours) {
    struct Case {
        uint32_t seconds;
        const char* text;
    } cases[] = {{0, " 0:00:00"},      {59, " 0:00:59"},      {61, " 0:01:01"},
                 {3599, " 0:59:59"},   {3600, " 1:00:00"},    {86399, "23:59:59"},
                 {86400, "24:00:00"},  {90000, "25:00:00"},   {90061, "25:01:01"},
                 {359999, "99:59:59"}, {360000, "100:00:00"}, {4294967295u, "1193046:28:15"}};
    for (const Case& c : cases)
        EXPECT_EQ(ElapsedText(c.seconds), c.text) << c.seconds;
}

TEST(UiMainWindowTexts, DroppedFilesTakenAsPlayFiles) {
    struct Case {
        const char* path;
        bool taken;
    } cases[] = {
        {"C:\\music\\song.wav", true},
        {"C:\\music\\SONG.MP3", true},
        {"x.Wav", true},
        {"C:\\music\\song.txt", false},
        {"C:\\music\\.wav", false},
        {"C:/music/.mp3", false},
        {".wav", false},
        {"song.wav.bak", false},
        {"song.mp4", false},
        {"", false},
        {"wav", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(IsPlayFileName(c.path), c.taken) << c.path;
}

TEST(UiMainWindowTexts, PlayOpenDialogFilterPairsEndWithTwoNuls) {
    struct Case {
        int language;
        std::vector<std::string> parts;
    } cases[] = {
        {0, {"Play files(*.wav;*.mp3)", "*.wav;*.mp3", "All files(*.*)", "*.*"}},
        {1, {"再生ファイル(*.wav;*.mp3)", "*.wav;*.mp3", "全てのファイル(*.*)", "*.*"}},
    };
    for (const Case& c : cases) {
        const std::string filter = PlayOpenFilter(c.language);
        ASSERT_GE(filter.size(), 2u);
        EXPECT_EQ(filter.substr(filter.size() - 2), std::string(2, '\0'));
        std::vector<std::string> parts;
        for (size_t start = 0; start < filter.size() - 1;) {
            size_t end = filter.find('\0', start);
            parts.push_back(filter.substr(start, end - start));
            start = end + 1;
        }
        EXPECT_EQ(parts, c.parts) << c.language;
    }
}
