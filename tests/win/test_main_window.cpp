// The main window in-process on the real engine: the MME drivers on the test
// bed's null sinks, the test driver pair where a failure must be forced. Every
// case runs in both languages.
#include "drivers/CWinDriverFactory.h"
#include "drivers/test/CTestDrivers.h"
#include "effects/CEffectManager.h"
#include "engine/RecorderHelpers.h"
#include "tests/win/MainWindowRig.h"
#include "tests/win/WinTestUtil.h"
#include "uilogic/MainWindowTexts.h"

#include <gtest/gtest.h>

#include <shlobj.h>

#include "media/CWaveFile.h"

#include <atomic>
#include <cstring>
#include <memory>

using namespace mainwin;

namespace {

const char* Pick(int language, const char* ja, const char* en) {
    return language == 1 ? ja : en;
}

class MainWindow : public ::testing::TestWithParam<int> {
  protected:
    void SetUp() override {
        dir = std::make_unique<ScratchDir>(::testing::UnitTest::GetInstance()->current_test_info()->name());
        settings = std::make_unique<TestSettings>(*dir, GetParam());
    }
    void TearDown() override {
        if (app) {
            if (app->GetWindow()) app->CanClose(1);
            app.reset();
        }
        delete g_pEffectManager;
        g_pEffectManager = nullptr;
        settings.reset();
        dir.reset();
    }
    // Builds the application on `factory` and opens its main window modeless.
    HWND Open(CDriverFactory* factory) {
        app = std::make_unique<TestApp>(factory);
        app->DisableInstanceSearch();
        if (!app->InitInstance(GetModuleHandleW(nullptr))) return nullptr;
        w = app->Create(GetModuleHandleW(nullptr), nullptr);
        if (!w) ADD_FAILURE() << "main window not created, error " << GetLastError();
        return w;
    }
    int Language() const { return GetParam(); }

    std::unique_ptr<ScratchDir> dir;
    std::unique_ptr<TestSettings> settings;
    CWinDriverFactory winFactory;
    CTestDriverFactory testFactory;
    std::unique_ptr<TestApp> app;
    HWND w = nullptr;
    wintest::SinkLock sinks;
};

INSTANTIATE_TEST_SUITE_P(Languages, MainWindow, ::testing::Values(1, 0),
                         [](const auto& info) { return info.param == 1 ? "Japanese" : "English"; });

TEST_P(MainWindow, OpensWithItsTemplateAndStartState) {
    ASSERT_NE(Open(&winFactory), nullptr);
    wchar_t caption[64] = {};
    GetWindowTextW(w, caption, 64);
    EXPECT_EQ(plat::WideToUtf8(caption),
              Pick(Language(), "Sonvel！- サウンドレコーダー", "Sonvel! - Sound Recorder"));
    wchar_t cls[64] = {};
    GetClassNameW(w, cls, 64);
    EXPECT_STREQ(cls, L"SONVEL MAIN WINDOW");
    EXPECT_FALSE(Checked(w, IDC_MIC));
    EXPECT_FALSE(Checked(w, IDC_SPK));
    EXPECT_EQ(app->m_Audio.m_bMonitor, 0);
    EXPECT_EQ(Text(w, IDC_CAP_FREQ), "48000 (Hz)");
    EXPECT_EQ(Text(w, IDC_CAP_CHANNELS), "2ch");
    EXPECT_FALSE(Text(w, IDC_CAP_DEVICE).empty());
    EXPECT_FALSE(Text(w, IDC_MON_DEVICE).empty());
    EXPECT_EQ(Text(w, IDC_REC_FOLDER), dir->Path());
    EXPECT_EQ(Text(w, IDC_PLAY_DELAY), "0");
    EXPECT_EQ(ui::TrackbarMin(GetDlgItem(w, IDC_PLAY_GAIN)), 1);
    EXPECT_EQ(ui::TrackbarMax(GetDlgItem(w, IDC_PLAY_GAIN)), 16);
    EXPECT_EQ(ui::TrackbarPos(GetDlgItem(w, IDC_PLAY_GAIN)), 8);
}

// Capture on and off, the monitor, voice cancel and effect switches, with the
// status texts of the language in use.
TEST_P(MainWindow, SwitchesFollowTheEngineWithTheirStatusTexts) {
    ASSERT_NE(Open(&winFactory), nullptr);
    const int lang = Language();
    Click(w, IDC_MIC);
    EXPECT_TRUE(Checked(w, IDC_MIC));
    EXPECT_EQ(Text(w, IDC_CAP_STATUS), Pick(lang, "キャプチャ動作中", "Running"));
    EXPECT_EQ(Text(w, IDC_MON_STATUS), Pick(lang, "スピーカ動作中", "Running"));
    EXPECT_TRUE(Checked(w, IDC_SPK));
    EXPECT_EQ(app->m_Audio.m_bMonitor, 1);
    EXPECT_EQ(settings->p.m_Monitor, 1);

    struct Step {
        int id;
        bool checked;
        std::atomic<int32_t>* field;
    } steps[] = {
        {IDC_SPK, false, &app->m_Audio.m_bMonitor},     {IDC_SPK, true, &app->m_Audio.m_bMonitor},
        {IDC_VCUT, true, &app->m_Audio.m_bVoiceCancel}, {IDC_VCUT, false, &app->m_Audio.m_bVoiceCancel},
        {IDC_EFX, true, &app->m_Audio.m_bEffect},
    };
    for (const Step& step : steps) {
        Click(w, step.id);
        EXPECT_EQ(Checked(w, step.id), step.checked) << step.id;
        EXPECT_EQ(step.field->load(), step.checked ? 1 : 0) << step.id;
    }
    // The effect dialog is up without its close command; its own Close button
    // (WM_EFFECT_CLOSE) turns effects off and hides it.
    ASSERT_NE(app->m_FakeEffect, nullptr);
    EXPECT_TRUE(IsWindowVisible(app->m_FakeEffect));
    EXPECT_EQ(GetMenuState(GetSystemMenu(app->m_FakeEffect, FALSE), SC_CLOSE, MF_BYCOMMAND),
              static_cast<UINT>(-1));
    PostMessageW(w, WM_EFFECT_CLOSE, 0, 0);
    EXPECT_TRUE(PumpUntil([&] { return !app->m_Audio.m_bEffect; }, 2000));
    EXPECT_FALSE(Checked(w, IDC_EFX));
    EXPECT_FALSE(IsWindowVisible(app->m_FakeEffect));

    Click(w, IDC_MIC);
    EXPECT_FALSE(Checked(w, IDC_MIC));
    EXPECT_FALSE(Checked(w, IDC_SPK));
    EXPECT_EQ(Text(w, IDC_CAP_STATUS), "");
    EXPECT_EQ(Text(w, IDC_MON_STATUS), "");
    EXPECT_FALSE(app->m_Audio.GetCapture()->IsStarted());
}

// A device that cannot open shows the open error in its own box, and MIC is
// left up (not pressed while nothing runs).
TEST_P(MainWindow, FailingDevicesShowTheOpenErrorAndLeaveMicUp) {
    struct Case {
        bool captureFails, renderFails;
        int box, clearBox;
    } cases[] = {{true, false, IDC_CAP_STATUS, IDC_MON_STATUS},
                 {false, true, IDC_MON_STATUS, IDC_CAP_STATUS}};
    for (const Case& c : cases) {
        testFactory.m_ConfigureCapture = [&](CTestCapture& d) { d.SetFailOpen(c.captureFails); };
        testFactory.m_ConfigureRender = [&](CTestRenderer& d) { d.SetFailOpen(c.renderFails); };
        if (app) app->CanClose(1);
        app.reset();
        ASSERT_NE(Open(&testFactory), nullptr);
        Click(w, IDC_MIC);
        EXPECT_EQ(Text(w, c.box), Pick(Language(), "オープンエラー", "ERROR: DEVICE OPEN")) << c.captureFails;
        EXPECT_EQ(Text(w, c.clearBox), "");
        EXPECT_FALSE(Checked(w, IDC_MIC));
        EXPECT_FALSE(Checked(w, IDC_SPK));
        EXPECT_FALSE(app->m_Audio.GetCapture()->IsStarted());
        // REC on a device that cannot open records nothing and stays up.
        ui::SetItemText(w, IDC_REC_NAME, "never");
        Click(w, IDC_REC_START);
        EXPECT_FALSE(Checked(w, IDC_REC_START));
        EXPECT_FALSE(app->IsRecording());
    }
}

// REC, PAUSE, REC (resume into the same file), STOP: the file holds the lead
// and the audio of the two running stretches, not the paused one.
TEST_P(MainWindow, PauseKeepsItsAudioOutOfTheFile) {
    ASSERT_NE(Open(&winFactory), nullptr);
    HMENU menu = GetMenu(w);
    ui::SetItemText(w, IDC_REC_NAME, "take1");
    Click(w, IDC_REC_START);
    ASSERT_TRUE(app->IsRecording());
    EXPECT_EQ(Text(w, IDC_REC_NAME), "take1.wav");
    EXPECT_TRUE(Checked(w, IDC_REC_START));
    EXPECT_TRUE(Checked(w, IDC_MIC));
    EXPECT_FALSE(Enabled(w, IDC_MIC));
    EXPECT_TRUE(GetMenuState(menu, IDM_DEVICE_SETTING, MF_BYCOMMAND) & MF_GRAYED);
    EXPECT_TRUE(GetMenuState(menu, IDM_RECORD_SETTING, MF_BYCOMMAND) & MF_GRAYED);
    // The device needs a moment before its first block; time the take from there.
    ASSERT_TRUE(PumpUntil([&] { return app->m_Audio.GetRecordedFrames() > 0; }, 5000));
    Pump(1000);

    Click(w, IDC_REC_PAUSE);
    EXPECT_EQ(app->m_Audio.m_RecordState, REC_PAUSED);
    EXPECT_TRUE(Checked(w, IDC_REC_PAUSE));
    EXPECT_FALSE(Checked(w, IDC_REC_START));
    Pump(300); // what was captured before PAUSE reaches the file
    const uint64_t framesAtPause = app->m_Audio.GetRecordedFrames();
    EXPECT_GT(framesAtPause, 0u);
    Pump(1200);
    EXPECT_EQ(app->m_Audio.GetRecordedFrames(), framesAtPause);

    Click(w, IDC_REC_START);
    EXPECT_EQ(app->m_Audio.m_RecordState, REC_RECORDING);
    EXPECT_TRUE(Checked(w, IDC_REC_START));
    EXPECT_FALSE(Checked(w, IDC_REC_PAUSE));
    Pump(1000);
    Click(w, IDC_REC_STOP);
    EXPECT_FALSE(app->IsRecording());
    EXPECT_TRUE(Enabled(w, IDC_MIC));
    EXPECT_EQ(Text(w, IDC_REC_TIME), "");
    for (int id : {IDC_REC_START, IDC_REC_PAUSE, IDC_REC_STOP})
        EXPECT_FALSE(Checked(w, id)) << id;
    EXPECT_FALSE(GetMenuState(menu, IDM_DEVICE_SETTING, MF_BYCOMMAND) & MF_GRAYED);

    uint64_t frames = 0;
    uint32_t rate = 0;
    ASSERT_TRUE(ReadWavFrames(dir->File("take1.wav"), &frames, &rate));
    EXPECT_EQ(rate, 48000u);
    // The lead and the two running stretches of about 1 s each; with the
    // 1.5 s pause recorded it would pass 3.5 s.
    EXPECT_EQ(frames, 24000u + app->m_Audio.GetRecordedFrames());
    const double seconds = static_cast<double>(frames) / rate;
    EXPECT_GT(seconds, 0.5 + 1.4);
    EXPECT_LT(seconds, 0.5 + 2.7);
}

TEST_P(MainWindow, ExistingNameIsOverwrittenOnlyAfterYes) {
    ASSERT_NE(Open(&winFactory), nullptr);
    ASSERT_TRUE(WriteToneWav(dir->File("old.wav"), 48000, 2, 0.1));
    ui::SetItemText(w, IDC_REC_NAME, "OLD.WAV");
    Click(w, IDC_REC_START);
    ASSERT_EQ(app->m_Messages.size(), 1u);
    EXPECT_EQ(app->m_Messages[0], Pick(Language(), "録音|\"OLD.WAV\"は既に存在します。上書きしますか？",
                                       "Recording|\"OLD.WAV\" has already existed, overwrite ?"));
    EXPECT_FALSE(app->IsRecording());
    EXPECT_FALSE(Checked(w, IDC_REC_START));
    app->m_Answer = IDYES;
    Click(w, IDC_REC_START);
    EXPECT_TRUE(app->IsRecording());
    Pump(500);
    Click(w, IDC_REC_STOP);
    uint64_t frames = 0;
    uint32_t rate = 0;
    ASSERT_TRUE(ReadWavFrames(dir->File("old.wav"), &frames, &rate));
    EXPECT_GE(frames, 24000u); // the new take's lead at least; the old file had 4800 frames
}

// Every way of closing asks while recording; No keeps the take and the window.
TEST_P(MainWindow, ClosingWhileRecordingAsksAndNoKeepsRecording) {
    ASSERT_NE(Open(&winFactory), nullptr);
    ui::SetItemText(w, IDC_REC_NAME, "keep");
    Click(w, IDC_REC_START);
    ASSERT_TRUE(app->IsRecording());
    const std::string question =
        Pick(Language(), "録音中|録音を停止しますか？", "Recording|Stop Recording ?");
    for (int way : {0, IDM_EXIT, IDCANCEL}) {
        app->m_Messages.clear();
        if (way == 0)
            SendMessageW(w, WM_CLOSE, 0, 0);
        else
            SendMessageW(w, WM_COMMAND, MAKEWPARAM(way, 0), 0);
        ASSERT_EQ(app->m_Messages.size(), 1u) << way;
        EXPECT_EQ(app->m_Messages[0], question);
        EXPECT_TRUE(IsWindow(w));
        EXPECT_TRUE(app->IsRecording());
    }
    app->m_Answer = IDYES;
    SendMessageW(w, WM_CLOSE, 0, 0);
    EXPECT_FALSE(IsWindow(w));
    EXPECT_FALSE(app->IsRecording());
    EXPECT_EQ(g_pEffectManager, nullptr);
    uint64_t frames = 0;
    uint32_t rate = 0;
    EXPECT_TRUE(ReadWavFrames(dir->File("keep.wav"), &frames, &rate));
}

TEST_P(MainWindow, SuspendStopsRecordingPlaybackAndCapture) {
    ASSERT_NE(Open(&winFactory), nullptr);
    ASSERT_TRUE(WriteToneWav(dir->File("tone.wav"), 48000, 2, 5));
    ui::SetItemText(w, IDC_REC_NAME, "suspended");
    Click(w, IDC_REC_START);
    ui::SetItemText(w, IDC_PLAY_NAME, dir->File("tone.wav"));
    Click(w, IDC_PLAY_START);
    ASSERT_TRUE(app->IsRecording());
    ASSERT_EQ(app->m_Audio.m_bPlaying, 1);
    SendMessageW(w, WM_POWERBROADCAST, PBT_APMSUSPEND, 0);
    EXPECT_FALSE(app->IsRecording());
    EXPECT_EQ(app->m_Audio.m_bPlaying, 0);
    EXPECT_FALSE(app->m_Audio.HasPlayFile());
    EXPECT_FALSE(app->m_Audio.GetCapture()->IsStarted());
    EXPECT_EQ(app->m_Audio.m_bMonitor, 0);
    EXPECT_EQ(settings->p.m_Monitor, 0);
    for (int id : {IDC_MIC, IDC_SPK, IDC_REC_START, IDC_PLAY_START})
        EXPECT_FALSE(Checked(w, id)) << id;
    EXPECT_TRUE(Enabled(w, IDC_MIC));
}

// A record file that fills up: the engine closes it, the window returns to
// STOP, says so in the capture box and names the file in a message.
class CFullDiskWave : public CWaveFile {
  public:
    explicit CFullDiskWave(uint64_t limit) : m_Limit(limit) {}
    int WriteSamples(int reserved, const void* buffer, uint32_t bytes) override {
        if (m_Written + bytes > m_Limit) return 0;
        m_Written += bytes;
        return CWaveFile::WriteSamples(reserved, buffer, bytes);
    }
    uint64_t m_Limit;
    uint64_t m_Written = 0;
};

TEST_P(MainWindow, WriteErrorEndsTheTakeWithAPlayableFile) {
    ASSERT_NE(Open(&winFactory), nullptr);
    CFullDiskWave full(96000 + 48000 * 4); // the lead and one more second
    app->m_Audio.RecordFileForTest().SetFileForTest(&full);
    ui::SetItemText(w, IDC_REC_NAME, "full");
    Click(w, IDC_REC_START);
    ASSERT_TRUE(app->IsRecording());
    EXPECT_TRUE(PumpUntil([&] { return !app->m_Messages.empty(); }, 6000));
    app->m_Audio.RecordFileForTest().SetFileForTest(nullptr);
    const int lang = Language();
    EXPECT_FALSE(app->IsRecording());
    EXPECT_EQ(Text(w, IDC_CAP_STATUS), Pick(lang, "書き込みエラー", "ERROR: FILE WRITE"));
    ASSERT_EQ(app->m_Messages.size(), 1u);
    EXPECT_EQ(app->m_Messages[0].rfind(Pick(lang, "録音|", "Recording|"), 0), 0u);
    EXPECT_NE(app->m_Messages[0].find(dir->File("full.wav")), std::string::npos);
    for (int id : {IDC_REC_START, IDC_REC_PAUSE, IDC_REC_STOP})
        EXPECT_FALSE(Checked(w, id)) << id;
    EXPECT_TRUE(Enabled(w, IDC_MIC));
    uint64_t frames = 0;
    uint32_t rate = 0;
    ASSERT_TRUE(ReadWavFrames(dir->File("full.wav"), &frames, &rate));
    EXPECT_GE(frames, 24000u);
    EXPECT_LE(frames, 24000u + 48000u);
}

// Play start, pause, resume and stop of a WAV and an MP3, capture stopped.
TEST_P(MainWindow, PlaysWavAndMp3WithAMovingPosition) {
    ASSERT_NE(Open(&winFactory), nullptr);
    ASSERT_TRUE(WriteToneWav(dir->File("tone.wav"), 48000, 2, 6));
    ASSERT_TRUE(WriteSilentMp3(dir->File("quiet.mp3"), 6));
    HMENU menu = GetMenu(w);
    for (const char* name : {"tone.wav", "quiet.mp3"}) {
        SCOPED_TRACE(name);
        app->m_NextPlayFile = plat::Utf8ToWide(dir->File(name));
        Click(w, IDC_PLAY_BROWSE);
        EXPECT_EQ(Text(w, IDC_PLAY_NAME), dir->File(name));
        EXPECT_EQ(Text(w, IDC_PLAY_FREQ), "48000 (Hz)");
        EXPECT_EQ(Text(w, IDC_PLAY_CHANNELS), "2ch");
        EXPECT_EQ(Text(w, IDC_PLAY_LENGTH), " 0:00:06");
        EXPECT_EQ(ui::TrackbarMax(GetDlgItem(w, IDC_PLAY_POS)), 6);

        Click(w, IDC_PLAY_START);
        ASSERT_EQ(app->m_Audio.m_bPlaying, 1);
        EXPECT_TRUE(Checked(w, IDC_PLAY_START));
        EXPECT_TRUE(GetMenuState(menu, IDM_DEVICE_SETTING, MF_BYCOMMAND) & MF_GRAYED);
        EXPECT_FALSE(GetMenuState(menu, IDM_RECORD_SETTING, MF_BYCOMMAND) & MF_GRAYED);
        EXPECT_TRUE(PumpUntil([&] { return Text(w, IDC_PLAY_POS_TEXT) >= " 0:00:02"; }, 5000))
            << Text(w, IDC_PLAY_POS_TEXT);
        EXPECT_GE(ui::TrackbarPos(GetDlgItem(w, IDC_PLAY_POS)), 2);

        Click(w, IDC_PLAY_PAUSE);
        EXPECT_EQ(app->m_Audio.m_bPlayPaused, 1);
        EXPECT_TRUE(Checked(w, IDC_PLAY_PAUSE));
        EXPECT_FALSE(Checked(w, IDC_PLAY_START));
        Click(w, IDC_PLAY_START);
        EXPECT_EQ(app->m_Audio.m_bPlayPaused, 0);
        EXPECT_TRUE(Checked(w, IDC_PLAY_START));

        Click(w, IDC_PLAY_STOP);
        EXPECT_EQ(app->m_Audio.m_bPlaying, 0);
        EXPECT_FALSE(app->m_Audio.HasPlayFile());
        EXPECT_EQ(Text(w, IDC_PLAY_POS_TEXT), " 0:00:00");
        EXPECT_EQ(ui::TrackbarPos(GetDlgItem(w, IDC_PLAY_POS)), 0);
        for (int id : {IDC_PLAY_START, IDC_PLAY_PAUSE, IDC_PLAY_STOP})
            EXPECT_FALSE(Checked(w, id)) << id;
        EXPECT_FALSE(GetMenuState(menu, IDM_DEVICE_SETTING, MF_BYCOMMAND) & MF_GRAYED);
    }
    // A short file ends by itself and leaves the buttons up.
    ASSERT_TRUE(WriteToneWav(dir->File("short.wav"), 48000, 2, 1));
    ui::SetItemText(w, IDC_PLAY_NAME, dir->File("short.wav"));
    Click(w, IDC_PLAY_START);
    EXPECT_TRUE(PumpUntil([&] { return !app->m_Audio.m_bPlaying; }, 8000));
    EXPECT_FALSE(Checked(w, IDC_PLAY_START));
    // A file no reader opens is refused with a message; PLAY stays up.
    ui::SetItemText(w, IDC_PLAY_NAME, dir->File("missing.wav"));
    Click(w, IDC_PLAY_START);
    EXPECT_FALSE(Checked(w, IDC_PLAY_START));
    ASSERT_FALSE(app->m_Messages.empty());
    EXPECT_NE(app->m_Messages.back().find(dir->File("missing.wav")), std::string::npos);
}

// Device settings OK: a loopback device disables SPK and the playback section;
// the command waits while a take runs.
TEST_P(MainWindow, DeviceSettingsRebuildTheEngineAndFollowLoopback) {
    ASSERT_NE(Open(&winFactory), nullptr);
    int runs = 0;
    app->m_DeviceSettings = [&] {
        ++runs;
        settings->p.m_Loopback = runs == 1 ? 1 : 0;
        return INT_PTR{1};
    };
    ui::SetItemText(w, IDC_REC_NAME, "busy");
    Click(w, IDC_REC_START);
    ASSERT_TRUE(app->IsRecording());
    SendMessageW(w, WM_COMMAND, IDM_DEVICE_SETTING, 0);
    EXPECT_EQ(runs, 0);
    Click(w, IDC_REC_STOP);

    SendMessageW(w, WM_COMMAND, IDM_DEVICE_SETTING, 0);
    ASSERT_EQ(runs, 1);
    EXPECT_FALSE(Enabled(w, IDC_SPK));
    for (int id : {IDC_PLAY_NAME, IDC_PLAY_START, IDC_PLAY_POS, IDC_PLAY_GAIN, IDC_PLAY_DELAY})
        EXPECT_FALSE(Enabled(w, id)) << id;
    EXPECT_FALSE(Checked(w, IDC_MIC));
    EXPECT_EQ(app->m_Audio.m_bMonitor, 0);
    EXPECT_FALSE(Text(w, IDC_CAP_DEVICE).empty());

    SendMessageW(w, WM_COMMAND, IDM_DEVICE_SETTING, 0);
    EXPECT_TRUE(Enabled(w, IDC_SPK));
    EXPECT_TRUE(Enabled(w, IDC_PLAY_START));
    Click(w, IDC_MIC);
    EXPECT_TRUE(Checked(w, IDC_MIC)) << "the rebuilt engine captures again";
}

TEST_P(MainWindow, RecordSettingsOkShowsTheSwitchesItEnables) {
    ASSERT_NE(Open(&winFactory), nullptr);
    Click(w, IDC_VCUT);
    ASSERT_EQ(app->m_Audio.m_bVoiceCancel, 1);
    app->m_RecordSettings = [&] {
        settings->p.m_EnableEffect = 1;
        settings->p.m_EnableVoiceCancel = 0;
        settings->p.m_WavePath = CString(dir->File("sub"));
        return INT_PTR{1};
    };
    SendMessageW(w, WM_COMMAND, IDM_RECORD_SETTING, 0);
    // The main window itself stays hidden in the tests: read the controls' own flag.
    auto shown = [&](int id) { return (GetWindowLongPtrW(GetDlgItem(w, id), GWL_STYLE) & WS_VISIBLE) != 0; };
    EXPECT_TRUE(shown(IDC_EFX));
    EXPECT_TRUE(shown(IDC_EFX_LABEL));
    EXPECT_TRUE(shown(IDC_SWITCH_GROUP));
    EXPECT_FALSE(shown(IDC_VCUT));
    EXPECT_FALSE(shown(IDC_VCUT_LABEL));
    EXPECT_EQ(app->m_Audio.m_bVoiceCancel, 0) << "a hidden switch is turned off";
    EXPECT_EQ(Text(w, IDC_REC_FOLDER), dir->File("sub"));
}

// Dropped files: WAV and MP3 become the play file, anything else is refused.
HDROP MakeDrop(const std::wstring& path) {
    const size_t bytes = sizeof(DROPFILES) + (path.size() + 2) * sizeof(wchar_t);
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, bytes);
    auto* drop = static_cast<DROPFILES*>(GlobalLock(memory));
    drop->pFiles = sizeof(DROPFILES);
    drop->fWide = TRUE;
    std::memcpy(reinterpret_cast<char*>(drop) + sizeof(DROPFILES), path.c_str(),
                path.size() * sizeof(wchar_t));
    GlobalUnlock(memory);
    return static_cast<HDROP>(memory);
}

TEST_P(MainWindow, DroppedPlayFilesAreTakenOthersRefused) {
    ASSERT_NE(Open(&winFactory), nullptr);
    ASSERT_TRUE(WriteToneWav(dir->File("drop.wav"), 48000, 2, 3));
    ASSERT_TRUE(WriteToneWav(dir->File("drop.txt"), 48000, 2, 3));
    struct Case {
        const char* name;
        bool taken;
    } cases[] = {{"drop.wav", true}, {"drop.txt", false}, {"none.mp3", false}};
    for (const Case& c : cases) {
        app->m_Messages.clear();
        ui::SetItemText(w, IDC_PLAY_NAME, "");
        SendMessageW(w, WM_DROPFILES, reinterpret_cast<WPARAM>(MakeDrop(plat::Utf8ToWide(dir->File(c.name)))),
                     0);
        EXPECT_EQ(Text(w, IDC_PLAY_NAME), c.taken ? dir->File(c.name) : "") << c.name;
        EXPECT_EQ(app->m_Messages.size(), c.taken ? 0u : 1u) << c.name;
    }
    EXPECT_EQ(Text(w, IDC_PLAY_LENGTH), "");
}

TEST(MainWindowFrame, GetDropFileRefusesMissingShortAndCutBuffers) {
    const std::wstring path = L"C:\\music\\song.wav";
    wchar_t buffer[64];
    struct Case {
        wchar_t* buffer;
        UINT length;
        int result;
    } cases[] = {{nullptr, 64, 0}, {buffer, 0, 0},  {buffer, 8, 0},
                 {buffer, 17, 0},  {buffer, 18, 1}, {buffer, 64, 1}};
    for (const Case& c : cases) {
        EXPECT_EQ(CAppBase::GetDropFile(MakeDrop(path), c.buffer, c.length), c.result) << c.length;
        if (c.result) {
            EXPECT_EQ(std::wstring(buffer), path);
        }
    }
}

// The meter window fills the placeholder; levels for known peaks; after the
// data stops the level falls after two ticks, then by a quarter per tick.
TEST_P(MainWindow, MeterFillsThePlaceholderAndFallsAfterTwoTicks) {
    ASSERT_NE(Open(&testFactory), nullptr);
    RECT placeholder, meter;
    GetClientRect(GetDlgItem(w, IDC_METER), &placeholder);
    ASSERT_NE(app->m_LevelMeter.GetWindow(), nullptr);
    GetClientRect(app->m_LevelMeter.GetWindow(), &meter);
    EXPECT_EQ(meter.right, placeholder.right);
    EXPECT_EQ(meter.bottom, placeholder.bottom);
    EXPECT_GT(meter.right, 100);

    struct Case {
        int16_t peak;
        int level;
    } cases[] = {{0, 0}, {1036, 2}, {16384, 26}, {32767, 31}};
    for (const Case& c : cases) {
        int16_t block[4] = {0, c.peak, 0, static_cast<int16_t>(-c.peak / 2)};
        app->OnRecordData(block, sizeof block);
        app->UpdateMeter();
        EXPECT_EQ(app->m_LevelMeter.GetLevel(), c.level) << c.peak;
    }
    const int falls[] = {31, 20, 8};
    for (int expected : falls) {
        app->OnMeterTimerTick();
        EXPECT_EQ(app->m_LevelMeter.GetLevel(), expected);
    }
}

TEST_P(MainWindow, HelpOpensOurPageForTheLanguageInUse) {
    ASSERT_NE(Open(&testFactory), nullptr);
    SendMessageW(w, WM_COMMAND, IDM_HELP, 0);
    ASSERT_EQ(app->m_Opened.size(), 1u);
    const std::wstring page = Language() == 1 ? L"\\sonvel-ja.html" : L"\\sonvel-en.html";
    EXPECT_EQ(app->m_Opened[0], CAppBase::HelpPagePath(Language()));
    EXPECT_EQ(app->m_Opened[0].substr(app->m_Opened[0].size() - page.size()), page);
    EXPECT_NE(GetFileAttributesW(app->m_Opened[0].c_str()), INVALID_FILE_ATTRIBUTES)
        << "copied beside the exe";
}

// A second start finds the running window only once it is shown, and brings
// it back from the task bar.
TEST(MainWindowFrame, FindPrevInstanceRestoresTheRunningWindow) {
    ShownWindowLock shown;
    ScratchDir dir("prev");
    TestSettings settings(dir, 0);
    CTestDriverFactory factory;
    TestApp running(&factory);
    running.DisableInstanceSearch();
    ASSERT_EQ(running.InitInstance(GetModuleHandleW(nullptr)), 1);
    HWND w = running.Create(GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(w, nullptr);
    TestApp second(&factory);
    EXPECT_EQ(second.FindPrevInstance(), 0) << "a window not yet shown is not running";
    ShowWindow(w, SW_SHOWMINNOACTIVE);
    ASSERT_TRUE(IsIconic(w));
    EXPECT_EQ(second.FindPrevInstance(), 1);
    EXPECT_FALSE(IsIconic(w));
    running.CanClose(1);
}

// First start without a language: the chooser comes before any main window,
// and its answer (or the guess, on cancel) is the language from now on.
TEST(MainWindowFrame, FirstStartAsksTheLanguageBeforeTheMainWindow) {
    const int guess = CChooseLanguageDialog::GuessLanguage(GetUserDefaultLangID());
    struct Case {
        int pick, expected;
    } cases[] = {{1, 1}, {0, 0}, {-1, guess}};
    for (const Case& c : cases) {
        ScratchDir dir("first");
        TestSettings settings(dir, -1);
        CTestDriverFactory factory;
        TestApp app(&factory);
        app.DisableInstanceSearch();
        app.m_PickLanguage = c.pick;
        ASSERT_EQ(app.InitInstance(GetModuleHandleW(nullptr)), 1);
        EXPECT_EQ(app.m_LanguageDialogs, 1);
        EXPECT_FALSE(app.m_MainWindowAtChooser);
        EXPECT_EQ(settings.p.m_Language, c.expected) << c.pick;
        EXPECT_EQ(settings.p.m_LanguageSetting, c.expected);
        EXPECT_EQ(app.GetDialogTemplate(), c.expected == 1 ? IDD_MAIN_JA : IDD_MAIN_JA + IDD_ENGLISH_OFFSET);
        CAppParameter reread;
        reread.m_IniFile = settings.p.m_IniFile;
        reread.m_IniFileName = "sonvel.ini";
        ASSERT_EQ(reread.Load(), 1);
        EXPECT_EQ(reread.m_LanguageSetting, c.expected);
        app.CanClose(1);
        delete g_pEffectManager;
        g_pEffectManager = nullptr;
    }
}

} // namespace
