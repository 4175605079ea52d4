// The rules behind the dialogs (the effect editor's list and sliders among
// them), the status texts and the level meter's picture.
#include "drivers/AudioTypes.h"
#include "platform/Platform.h"
#include "engine/RecorderHelpers.h"
#include "tests/core/TestUtil.h"
#include "uilogic/DeviceDialogRules.h"
#include "uilogic/EffectEditorRules.h"
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
// A list's line texts or values.
template <class T> std::vector<T> Lines(const ChoiceList& list, T ListLine::*field) {
    std::vector<T> out;
    for (const ListLine& line : list.lines)
        out.push_back(line.*field);
    return out;
}
Strings Texts(const ChoiceList& list) {
    return Lines(list, &ListLine::text);
}
Ints Values(const ChoiceList& list) {
    return Lines(list, &ListLine::value);
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
    const std::pair<int, uint32_t> colours[] = {{0, 0x000000},  {1, 0x001000},  {15, 0x00F000},
                                                {16, 0x00FF00}, {17, 0x00FF20}, {24, 0x00FFFF},
                                                {25, 0x00C0FF}, {31, 0x0000FF}};
    for (auto [segment, colour] : colours)
        EXPECT_EQ(SegmentColour(segment), colour) << segment;
}

// ---------------------------------------------------------------- numbers
TEST(UiDialogNumber, EditTextsReadLeniently) {
    // Anything that is not a number reads as 0.
    // text, value
    const std::pair<const char*, int32_t> cases[] = {{"-12", -12},
                                                     {"-12x", 12},
                                                     {"40x", 40},
                                                     {" \t-3", -3},
                                                     {"2147483647", 2147483647},
                                                     {"2147483648", 2147483647},
                                                     {"-2147483649", -2147483648},
                                                     {"-99999999999x", 2147483647},
                                                     {"", 0},
                                                     {"x12", 0},
                                                     {"- 5", 0},
                                                     {"--5", 0},
                                                     {"+5", 0}};
    for (auto [text, value] : cases)
        EXPECT_EQ(DialogNumber(text), value) << '"' << text << '"';
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

    const std::pair<int, int> rates[] = {{8000, 0}, {96000, 5}, {22050, NO_SELECTION},
                                         {7999, 0}, {-1, 0},    {96001, 5}};
    for (auto [stored, selection] : rates)
        EXPECT_EQ(SampleRateList(stored).selection, selection) << stored;
    // A rate the list lacks survives OK without a choice.
    EXPECT_EQ(ValueToStore(SampleRateList(22050), NO_SELECTION, 22050), 22050);
    EXPECT_EQ(ValueToStore(SampleRateList(22050), 4, 22050), 48000);

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
#ifndef _WIN32
    // /proc takes no new files whoever asks; root writes into read-only
    // folders, and so the check lets it.
    if (plat::IsDirectory("/proc")) {
        EXPECT_EQ(CheckRecordFolder("/proc"), RECORD_FOLDER_NOT_WRITABLE);
    }
    const std::string folder = dir.File("read only");
    ASSERT_TRUE(plat::MakeDirectories(folder.c_str()));
    ASSERT_EQ(chmod(folder.c_str(), 0555), 0);
    EXPECT_EQ(CheckRecordFolder(folder), geteuid() == 0 ? RECORD_FOLDER_OK : RECORD_FOLDER_NOT_WRITABLE);
    chmod(folder.c_str(), 0755);
#endif
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

// ---------------------------------------------------------------- main window
// Japanese names each box's device, an unknown language is English; the
// elapsed time shows all its hours; dropped blocks count from the take's start.
TEST(UiMainWindowTexts, Texts) {
    const std::pair<std::string, std::string> cases[] = {
        {CaptureStatusText(STATUS_RUNNING, 1), "キャプチャ動作中"},
        {MonitorStatusText(STATUS_RUNNING, 1), "スピーカ動作中"},
        {CaptureStatusText(STATUS_RUN_ERROR, 2), "ERROR: RUN"},
        {ElapsedText(61), " 0:01:01"},
        {ElapsedText(90061), "25:01:01"},
        {ElapsedText(360000), "100:00:00"},
        {ElapsedText(4294967295u), "1193046:28:15"},
        {DroppedBlocksText(57, 57, 0), ""}, // dropped before the take: not this take's loss
        {DroppedBlocksText(58, 57, 1), "欠落ブロック: 1"},
        {DroppedBlocksText(1057, 57, 0), "DROPPED BLOCKS: 1000"},
        {DroppedBlocksText(3, 57, 2), "DROPPED BLOCKS: 3"}, // the engine cleared its count mid-take
        {DroppedBlocksText(18446744073709551615u, 0, 0), "DROPPED BLOCKS: 18446744073709551615"}};
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(text, expected);
    for (const char* taken : {"C:\\music\\song.wav", "C:\\music\\SONG.MP3", "x.Wav"})
        EXPECT_TRUE(IsPlayFileName(taken)) << taken;
    for (const char* refused :
         {"C:\\music\\song.txt", "C:\\music\\.wav", "C:/music/.mp3", "song.wav.bak", "", "wav"})
        EXPECT_FALSE(IsPlayFileName(refused)) << refused;
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

// ---------------------------------------------------------------- effect editor
namespace {

EffectItem Entry(int32_t type, std::vector<int32_t> values, int32_t params, int32_t lo = 0, int32_t hi = 0) {
    EffectItem e;
    const EffectTypeInfo* info = GetEffectTypeInfo(type);
    e.type = type;
    e.name = info ? info->name : nullptr;
    e.enabled = 1;
    e.Params = params;
    for (size_t j = 0; j < values.size(); ++j) {
        e.value[j] = values[j];
        e.Min[j] = lo;
        e.Max[j] = hi;
    }
    return e;
}

std::vector<int32_t> Shown(const EffectItem& e) {
    int32_t v[EFFECT_MAX_VALUES];
    EffectShownValues(e, v);
    return std::vector<int32_t>(v, v + EFFECT_MAX_VALUES);
}

} // namespace

// Add goes before the selection, or at the end with no selection, the first
// row or a stale one selected; up and down stay inside the list; a button is
// enabled exactly when it can do something.
TEST(EffectEditorRules, AddMoveAndTheButtons) {
    // Selection, count, the row Add uses, the rows up and down move to, whether Del can delete.
    const std::tuple<int, int, int, int, int, bool> cases[] = {
        {-1, 0, 0, -1, -1, false}, {0, 0, 0, -1, -1, false},    {-1, 3, 3, -1, -1, false},
        {0, 3, 3, -1, 1, true},    {1, 3, 1, 0, 2, true},       {2, 3, 2, 1, -1, true},
        {3, 3, 3, -1, -1, false},  {5, 3, 3, -1, -1, false},    {0, 1, 1, -1, -1, true},
        {4, 9, 4, 3, 5, true},     {8, 9, 8, 7, -1, true},      {9, 10, -1, 8, -1, true},
        {3, 10, -1, 2, 4, true},   {-1, 10, -1, -1, -1, false},
    };
    for (auto [selection, count, add, up, down, selected] : cases) {
        SCOPED_TRACE(testing::Message() << selection << " of " << count);
        EXPECT_EQ(std::vector<int>({EffectAddRow(selection, count), EffectMoveRow(selection, count, -1),
                                    EffectMoveRow(selection, count, 1)}),
                  std::vector<int>({add, up, down}));
        EffectButtons b = EffectButtonStates(selection, count);
        EXPECT_EQ(std::vector<bool>({b.add, b.del, b.up, b.down}),
                  std::vector<bool>({count < 10, selected, up >= 0, down >= 0}));
    }
    for (int direction : {0, 2})
        EXPECT_EQ(EffectMoveRow(1, 3, direction), -1) << direction;
}

TEST(EffectEditorRules, DeleteSelectsTheRowInItsPlaceOrTheNewLast) {
    // The deleted row, the count after, the selection: the next row takes the
    // deleted one's place; after the last row, the one before it; none when empty.
    const std::array<int, 3> cases[] = {{1, 2, 1}, {0, 2, 0}, {2, 2, 1}, {0, 0, -1}, {9, 9, 8}};
    for (auto [deleted, countAfter, expected] : cases)
        EXPECT_EQ(EffectRowAfterDelete(deleted, countAfter), expected) << deleted << " " << countAfter;
}

// The chain runs with the shown values too; values past the type's set are
// handed on as they are.
TEST(EffectEditorRules, GroupsComeFromTheTypeTableWithClampedValues) {
    // The entry, the group, whether it shows, its range and value.
    const std::tuple<EffectItem, int, bool, int32_t, int32_t, int32_t> cases[] = {
        {Entry(EFFECT_DELAY, {50}, 1, 0, 100), 0, true, 0, 100, 50},
        {Entry(EFFECT_DELAY, {50}, 1, 0, 100), 1, false, 0, 0, 0},
        // A file's wider range does not widen the slider; the value is shown at the end.
        {Entry(EFFECT_DELAY, {150}, 1, 0, 200), 0, true, 0, 100, 100},
        {Entry(EFFECT_EQUALIZER, {0, 0, 0, 0, 0, 0, 0, 0, -30}, 9, -40, 40), 8, true, -20, 20, -20},
        {Entry(EFFECT_EQUALIZER, {0, 0, 0, 0, 0, 0, 0, 0, 7}, 9, -20, 20), 8, true, -20, 20, 7},
        // A zero-filled value below the range (Params 0 in the file) shows the minimum.
        {Entry(EFFECT_DELAY_ECHO, {}, 0), 1, true, 1, 10, 1},
        // REVERB's second value has no control.
        {Entry(EFFECT_REVERB, {62, 0, 90}, 3, 0, 1000), 1, false, 0, 0, 0},
        {Entry(EFFECT_REVERB, {62, 0, 90}, 3, 0, 1000), 2, true, 0, 100, 90},
        {Entry(EFFECT_WAU, {}, 0), 0, false, 0, 0, 0},
        {Entry(EFFECT_DELAY, {50}, 1, 0, 100), 9, false, 0, 0, 0},
        {Entry(21, {50}, 1, 0, 100), 0, false, 0, 0, 0},
    };
    for (const auto& [item, group, visible, min, max, value] : cases) {
        EffectGroupView v = EffectGroupOf(item, group);
        SCOPED_TRACE(testing::Message() << "type " << item.type << " group " << group);
        EXPECT_EQ(std::vector<int32_t>({v.visible, v.min, v.max, v.value}),
                  std::vector<int32_t>({visible, min, max, value}));
        EXPECT_EQ(EffectGroupMask(item) >> group & 1u, visible ? 1u : 0u);
        EXPECT_EQ(v.label != nullptr, visible); // the dialog names every slider it shows
        if (visible) {
            EXPECT_EQ(Shown(item)[group], value);
        }
    }
    EXPECT_EQ(Shown(Entry(EFFECT_THROUGH, {5, -7}, 2, -10, 10)),
              std::vector<int32_t>({5, -7, 0, 0, 0, 0, 0, 0, 0, 0}));
}

TEST(EffectEditorRules, AnEditMakesTheWholeEntryWhatItShows) {
    // The entry, the value index edited, the new value; then the entry's
    // Params and its first Params values, minimums and maximums.
    using V = std::vector<int32_t>;
    std::tuple<EffectItem, int, int32_t, int32_t, V, V, V> cases[] = {
        {Entry(EFFECT_DELAY, {50}, 1, 0, 100), 0, 30, 1, {30}, {0}, {100}},
        {Entry(EFFECT_DELAY, {50}, 1, 0, 100), 0, 130, 1, {100}, {0}, {100}},
        // The untouched value out of range is stored as it was shown.
        {Entry(EFFECT_DELAY_ECHO, {150, 2, 50}, 3, 0, 200), 1, 5, 3, {100, 5, 50}, {0, 1, 0}, {100, 10, 100}},
        // An entry saved without values gets the type's full set.
        {Entry(EFFECT_DELAY_ECHO, {}, 0), 0, 40, 3, {40, 1, 0}, {0, 1, 0}, {100, 10, 100}},
        {Entry(EFFECT_EQUALIZER, {1, 2, 3, 4, 5, 6, 7, 8, 9}, 9, -20, 20),
         8,
         -20,
         9,
         {1, 2, 3, 4, 5, 6, 7, 8, -20},
         V(9, -20),
         V(9, 20)},
        // Nothing to edit: unchanged.
        {Entry(EFFECT_DELAY, {50}, 1, 0, 100), 3, 10, 1, {50}, {0}, {100}},
        {Entry(EFFECT_WAU, {}, 0), 0, 10, 0, {}, {}, {}},
    };
    for (auto& [item, index, value, params, values, mins, maxs] : cases) {
        SCOPED_TRACE(testing::Message() << "type " << item.type << " index " << index);
        EffectTakeEdit(item, index, value);
        ASSERT_EQ(item.Params, params);
        EXPECT_EQ(V(item.value, item.value + params), values);
        EXPECT_EQ(V(item.Min, item.Min + params), mins);
        EXPECT_EQ(V(item.Max, item.Max + params), maxs);
    }
}
