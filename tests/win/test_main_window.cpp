// The main window in-process on the real engine: the MME drivers on the test
// bed's null sinks, the test driver pair where a failure must be forced; every
// case in both languages. Message boxes, the language chooser and the waiting
// dialogs are answered by the test. Last, the real sonvel.exe started twice.
#include "app/CAppMain.h"
#include "app/CChooseLanguageDialog.h"
#include "drivers/CWinDriverFactory.h"
#include "drivers/test/CTestDriverFactory.h"
#include "effects/CEffectManager.h"
#include "engine/PlayFileInfo.h"
#include "media/CWaveFile.h"
#include "res/resource.h"
#include "settings/CAppParameter.h"
#include "tests/win/WinTestUtil.h"
#include "ui/Controls.h"

#include <gtest/gtest.h>

#include <shlobj.h>

#include <fstream>
#include <memory>

namespace {

using wintest::ScratchDir;

// Held by a test that shows a main window or starts sonvel.exe: a visible main
// window in one test process would be found as "the running recorder" by a
// start in another, so these tests take turns across processes.
struct ShownWindowLock : wintest::NamedLock {
    ShownWindowLock() : NamedLock(L"Local\\sonvel-tests-shown-main-window", 180000) {}
};

// The settings singleton for one test: MME drivers (the test bed's null
// sinks), the given language, the record folder in the scratch folder.
struct TestSettings {
    CAppParameter p;
    TestSettings(const ScratchDir& dir, int language) {
        p.m_IniFileName = "sonvel.ini";
        p.m_IniFile = CString(dir.File("sonvel.ini"));
        p.m_LanguageSetting = language;
        p.m_Language = language == 1 ? 1 : 0;
        p.m_WavePath = CString(dir.Path());
        p.m_DriverType = 1;
        p.m_Latency = 50;
        p.m_EnableEffect = p.m_EnableVoiceCancel = 1;
        g_pAppParameter = &p;
    }
    ~TestSettings() { g_pAppParameter = nullptr; }
};

class TestApp : public CAppMain {
  public:
    using CAppMain::CAppMain;
    using CAppMain::IsRecording;

    int MessageBoxHook(const std::string& text, const std::string& caption, UINT type) override {
        m_Messages.push_back(caption + "|" + text);
        return (type & 0xF) == MB_YESNO ? m_Answer : IDOK;
    }
    // The real chooser, answered like a user would.
    INT_PTR RunLanguageDialog(CChooseLanguageDialog& dialog, int templateId) override {
        ++m_LanguageDialogs;
        m_MainWindowAtChooser = GetWindow() != nullptr; // only this application's own window
        HWND w = dialog.Create(GetModuleHandleW(nullptr), templateId, nullptr);
        if (!w) return -1;
        ui::ComboSelect(GetDlgItem(w, IDC_LANGUAGE_LIST), m_PickLanguage);
        SendMessageW(w, WM_COMMAND, m_PickLanguage >= 0 ? IDOK : IDCANCEL, 0);
        return m_PickLanguage >= 0 ? 1 : 0;
    }
    INT_PTR RunDeviceSettings() override { return m_DeviceSettings ? m_DeviceSettings() : 0; }
    INT_PTR RunRecordSettings() override { return m_RecordSettings ? m_RecordSettings() : 0; }
    HWND ShowEffectDialog() override {
        if (!m_FakeEffect)
            m_FakeEffect = CreateWindowExW(0, L"STATIC", L"effects", WS_POPUP, 0, 0, 200, 100, GetWindow(),
                                           nullptr, GetModuleHandleW(nullptr), nullptr);
        ShowWindow(m_FakeEffect, SW_SHOWNOACTIVATE);
        return m_FakeEffect;
    }
    void HideEffectDialog() override { ShowWindow(m_FakeEffect, SW_HIDE); }
    bool AskPlayFile(std::wstring* path) override {
        *path = m_NextPlayFile;
        return !path->empty();
    }

    std::vector<std::string> m_Messages; // "caption|text"
    int m_Answer = IDNO;                 // for the next yes/no
    int m_PickLanguage = -1;             // -1: cancel the chooser
    int m_LanguageDialogs = 0;
    bool m_MainWindowAtChooser = false;
    std::function<INT_PTR()> m_DeviceSettings, m_RecordSettings;
    HWND m_FakeEffect = nullptr;
    std::wstring m_NextPlayFile;
};

// A silent 48 kHz stereo 16-bit WAV, `seconds` long.
bool WriteSilentWav(const std::string& path, double seconds) {
    WAVEFORMATEX f{1, 2, 48000, 48000 * 4, 4, 16, 0};
    CWaveFile wave;
    if (wave.CreateWave(CString(path), f, 1) != 0) return false;
    std::vector<int16_t> samples(static_cast<size_t>(48000 * seconds) * 2);
    bool ok = wave.WriteSamples(samples.data(), static_cast<uint32_t>(samples.size() * 2)) != 0;
    wave.Close();
    return ok;
}

class MainWindow : public ::testing::TestWithParam<int> {
  protected:
    void SetUp() override {
        dir = std::make_unique<ScratchDir>(::testing::UnitTest::GetInstance()->current_test_info()->name());
        settings = std::make_unique<TestSettings>(*dir, GetParam());
    }
    void TearDown() override { Close(); }
    void Close() {
        if (app && app->GetWindow()) app->CanClose(1); // also ends the effect manager
        app.reset();
    }
    HWND Open(CDriverFactory* factory) {
        Close();
        app = std::make_unique<TestApp>(factory);
        app->DisableInstanceSearch();
        if (!app->InitInstance(GetModuleHandleW(nullptr))) return nullptr;
        return w = app->Create(GetModuleHandleW(nullptr), nullptr);
    }
    const char* Pick(const char* ja, const char* en) const { return GetParam() == 1 ? ja : en; }
    void Record(const std::string& name) {
        ui::SetItemText(w, IDC_REC_NAME, name);
        wintest::Command(w, IDC_REC_START);
    }
    // The pressed state of each button as '1' or '0'.
    std::string Pressed(std::initializer_list<int> ids) const {
        std::string s;
        for (int id : ids)
            s += IsDlgButtonChecked(w, id) == BST_CHECKED ? '1' : '0';
        return s;
    }
    bool Enabled(int id) const { return IsWindowEnabled(GetDlgItem(w, id)) != FALSE; }
    std::string Text(int id) const { return ui::GetItemText(w, id); }

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

// Capture on and off, the monitor, voice cancel and effect switches, with the
// status texts of the language in use.
TEST_P(MainWindow, SwitchesFollowTheEngineWithTheirStatusTexts) {
    ASSERT_NE(Open(&winFactory), nullptr);
    wintest::Command(w, IDC_MIC);
    EXPECT_EQ(Pressed({IDC_MIC, IDC_SPK}), "11");
    EXPECT_EQ(Text(IDC_CAP_STATUS), Pick("キャプチャ動作中", "Running"));
    EXPECT_EQ(Text(IDC_MON_STATUS), Pick("スピーカ動作中", "Running"));
    EXPECT_EQ(settings->p.m_Monitor, 1);
    // SPK, V.CUT and EFX as pressed and as the engine runs them after each click.
    auto engine = [&] {
        const CAudioControl& a = app->m_Audio;
        return std::string{char('0' + a.m_bMonitor), char('0' + a.m_bVoiceCancel), char('0' + a.m_bEffect)};
    };
    const std::pair<int, const char*> clicks[] = {
        {IDC_SPK, "000"}, {IDC_SPK, "100"}, {IDC_VCUT, "110"}, {IDC_VCUT, "100"}, {IDC_EFX, "101"}};
    for (auto [id, state] : clicks) {
        wintest::Command(w, id);
        EXPECT_EQ(Pressed({IDC_SPK, IDC_VCUT, IDC_EFX}), state) << id;
        EXPECT_EQ(engine(), state) << id;
    }
    // The effect dialog's own Close button turns effects off and hides it.
    ASSERT_TRUE(app->m_FakeEffect && IsWindowVisible(app->m_FakeEffect));
    PostMessageW(w, WM_EFFECT_CLOSE, 0, 0);
    EXPECT_TRUE(wintest::WaitFor([&] { return !app->m_Audio.m_bEffect; }, 2000));
    EXPECT_EQ(Pressed({IDC_EFX}), "0");
    EXPECT_FALSE(IsWindowVisible(app->m_FakeEffect));

    wintest::Command(w, IDC_MIC);
    EXPECT_EQ(Pressed({IDC_MIC, IDC_SPK}), "00");
    EXPECT_EQ(Text(IDC_CAP_STATUS) + Text(IDC_MON_STATUS), "");
    EXPECT_FALSE(app->m_Audio.GetCapture()->IsStarted());
}

// A device that cannot open shows the open error in its own box; MIC and REC
// stay up.
TEST_P(MainWindow, FailingDevicesShowTheOpenErrorAndLeaveMicUp) {
    for (bool captureFails : {true, false}) {
        testFactory.m_ConfigureCapture = [&](CTestCapture& d) { d.SetFailOpen(captureFails); };
        testFactory.m_ConfigureRender = [&](CTestRenderer& d) { d.SetFailOpen(!captureFails); };
        ASSERT_NE(Open(&testFactory), nullptr);
        wintest::Command(w, IDC_MIC);
        EXPECT_EQ(Text(captureFails ? IDC_CAP_STATUS : IDC_MON_STATUS),
                  Pick("オープンエラー", "ERROR: DEVICE OPEN"));
        EXPECT_EQ(Text(captureFails ? IDC_MON_STATUS : IDC_CAP_STATUS), "");
        EXPECT_FALSE(app->m_Audio.GetCapture()->IsStarted());
        Record("never");
        EXPECT_EQ(Pressed({IDC_MIC, IDC_SPK, IDC_REC_START}), "000");
        EXPECT_FALSE(app->IsRecording());
    }
}

// While recording MIC is locked and every way of closing asks; No keeps the
// take and the window, Yes ends both with the take saved. (PAUSE and the
// overwrite question: the acceptance run's record and pause scenarios, which
// measure the cut and compare the files.)
TEST_P(MainWindow, EveryWayOfClosingAsksWhileRecording) {
    ASSERT_NE(Open(&winFactory), nullptr);
    Record("take1");
    ASSERT_TRUE(app->IsRecording());
    EXPECT_EQ(Pressed({IDC_REC_START, IDC_MIC}), "11");
    EXPECT_FALSE(Enabled(IDC_MIC));
    for (int way : {0, IDM_EXIT, IDCANCEL}) {
        app->m_Messages.clear();
        SendMessageW(w, way ? WM_COMMAND : WM_CLOSE, way, 0);
        EXPECT_EQ(app->m_Messages,
                  std::vector<std::string>{Pick("録音中|録音を停止しますか？", "Recording|Stop Recording ?")})
            << way;
        EXPECT_TRUE(IsWindow(w) && app->IsRecording()) << way;
    }
    app->m_Answer = IDYES;
    SendMessageW(w, WM_CLOSE, 0, 0);
    EXPECT_FALSE(IsWindow(w) || app->IsRecording());
    EXPECT_EQ(g_pEffectManager, nullptr);
    PlayFileInfo take;
    EXPECT_TRUE(ReadPlayFileInfo(plat::Utf8ToWide(dir->File("take1.wav")).c_str(), take) &&
                take.frames >= 24000u)
        << "the take is a WAV file with its lead";
}

// Blocks lost while the sound thread is held (a stalled disk or chain) are
// shown in the record section during the take and after it, until the next
// take starts. The capture delivers only the frames the test allows.
TEST_P(MainWindow, DroppedBlocksShowUntilTheNextTake) {
    std::atomic<uint64_t> allowed{0};
    testFactory.m_ConfigureCapture = [&](CTestCapture& c) {
        c.SetFlowControl([&] { return c.GetDeliveredFrames() < allowed; });
    };
    ASSERT_NE(Open(&testFactory), nullptr);
    CAudioControl& audio = app->m_Audio;
    // Audio at about its real pace while the window runs for `ms`.
    auto run = [&](int ms, const std::function<bool()>& until) {
        return wintest::WaitFor([&] { return (allowed += 480, until()); }, ms);
    };
    Record("lossy");
    run(500, [] { return false; });
    EXPECT_EQ(Text(IDC_REC_DROPPED), "");
    audio.HoldSoundThreadForTest(true);
    allowed += 48000 * (CAudioControl::SOUND_QUEUE_SECONDS + 1);
    EXPECT_TRUE(wintest::WaitFor([&] { return audio.GetDroppedBlocks() > 0; }, 5000));
    audio.HoldSoundThreadForTest(false);
    EXPECT_TRUE(run(5000, [&] { return Text(IDC_REC_DROPPED) != ""; }));
    wintest::Command(w, IDC_REC_STOP);
    EXPECT_TRUE(Enabled(IDC_MIC));
    EXPECT_EQ(Text(IDC_REC_DROPPED),
              Pick("欠落ブロック: ", "DROPPED BLOCKS: ") + std::to_string(audio.GetDroppedBlocks()));
    Record("clean");
    EXPECT_EQ(Text(IDC_REC_DROPPED), "");
    run(500, [] { return false; });
    EXPECT_TRUE(app->IsRecording());
    EXPECT_EQ(Text(IDC_REC_DROPPED), "");
}

// A record file that fills up: the engine closes it (what it holds then: the
// engine's tests in tests/core), the window returns to STOP, says so in the
// capture box and names the file in a message.
class CFullDiskWave : public CWaveFile {
  public:
    int WriteSamples(const void* buffer, uint32_t bytes) override {
        if (m_Written + bytes > 96000 + 48000 * 4) return 0; // the lead and one more second
        m_Written += bytes;
        return CWaveFile::WriteSamples(buffer, bytes);
    }
    uint64_t m_Written = 0;
};

TEST_P(MainWindow, WriteErrorEndsTheTakeAndNamesTheFile) {
    ASSERT_NE(Open(&winFactory), nullptr);
    CFullDiskWave full;
    app->m_Audio.RecordFileForTest().SetFileForTest(&full);
    Record("full");
    ASSERT_TRUE(app->IsRecording());
    EXPECT_TRUE(wintest::WaitFor([&] { return !app->m_Messages.empty(); }, 6000));
    app->m_Audio.RecordFileForTest().SetFileForTest(nullptr);
    EXPECT_FALSE(app->IsRecording());
    EXPECT_EQ(Text(IDC_CAP_STATUS), Pick("書き込みエラー", "ERROR: FILE WRITE"));
    ASSERT_EQ(app->m_Messages.size(), 1u);
    EXPECT_NE(app->m_Messages[0].find(dir->File("full.wav")), std::string::npos);
    EXPECT_EQ(Pressed({IDC_REC_START, IDC_REC_PAUSE, IDC_REC_STOP}), "000");
}

HDROP MakeDrop(const std::wstring& path) {
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(DROPFILES) + (path.size() + 2) * 2);
    auto* drop = static_cast<DROPFILES*>(GlobalLock(memory));
    drop->pFiles = sizeof(DROPFILES);
    drop->fWide = TRUE;
    std::memcpy(drop + 1, path.c_str(), path.size() * 2);
    GlobalUnlock(memory);
    return static_cast<HDROP>(memory);
}

// Play and stop with a moving position; dropped files; suspend. (MP3 files,
// a damaged one and PLAY released at the end: the acceptance run's.)
TEST_P(MainWindow, PlaysWithAMovingPosition) {
    ASSERT_NE(Open(&winFactory), nullptr);
    ASSERT_TRUE(WriteSilentWav(dir->File("tone.wav"), 6));
    app->m_NextPlayFile = plat::Utf8ToWide(dir->File("tone.wav"));
    wintest::Command(w, IDC_PLAY_BROWSE);
    EXPECT_EQ(Text(IDC_PLAY_NAME) + Text(IDC_PLAY_FREQ) + Text(IDC_PLAY_CHANNELS) + Text(IDC_PLAY_LENGTH),
              dir->File("tone.wav") + "48000 (Hz)2ch 0:00:06");
    wintest::Command(w, IDC_PLAY_START);
    ASSERT_EQ(app->m_Audio.m_bPlaying, 1);
    EXPECT_TRUE(wintest::WaitFor([&] { return Text(IDC_PLAY_POS_TEXT) >= " 0:00:02"; }, 5000));
    EXPECT_GE(ui::TrackbarPos(GetDlgItem(w, IDC_PLAY_POS)), 2);
    wintest::Command(w, IDC_PLAY_STOP);
    EXPECT_FALSE(app->m_Audio.m_bPlaying || app->m_Audio.HasPlayFile());
    EXPECT_EQ(Text(IDC_PLAY_POS_TEXT), " 0:00:00");
    EXPECT_EQ(Pressed({IDC_PLAY_START, IDC_PLAY_PAUSE, IDC_PLAY_STOP}), "000");

    // Dropped files: WAV and MP3 become the play file, anything else is refused.
    ASSERT_TRUE(WriteSilentWav(dir->File("drop.txt"), 1));
    for (std::string name : {"tone.wav", "drop.txt", "none.mp3"}) {
        const bool taken = name == "tone.wav";
        app->m_Messages.clear();
        ui::SetItemText(w, IDC_PLAY_NAME, "");
        SendMessageW(w, WM_DROPFILES, reinterpret_cast<WPARAM>(MakeDrop(plat::Utf8ToWide(dir->File(name)))),
                     0);
        EXPECT_EQ(Text(IDC_PLAY_NAME), taken ? dir->File(name) : "") << name;
        EXPECT_EQ(app->m_Messages.size(), taken ? 0u : 1u) << name;
    }

    // Suspend stops recording, playback and capture.
    Record("suspended");
    ui::SetItemText(w, IDC_PLAY_NAME, dir->File("tone.wav"));
    wintest::Command(w, IDC_PLAY_START);
    ASSERT_TRUE(app->IsRecording() && app->m_Audio.m_bPlaying);
    SendMessageW(w, WM_POWERBROADCAST, PBT_APMSUSPEND, 0);
    EXPECT_FALSE(app->IsRecording() || app->m_Audio.m_bPlaying || app->m_Audio.HasPlayFile());
    EXPECT_FALSE(app->m_Audio.GetCapture()->IsStarted());
    EXPECT_EQ(Pressed({IDC_MIC, IDC_SPK, IDC_REC_START, IDC_PLAY_START}), "0000");
}

// Device settings OK: a loopback device disables SPK and the playback section,
// and another enables them again. Recording settings OK shows only the
// switches it enables and turns a hidden one off. (The rebuilt engine capturing
// and the new record folder shown: the acceptance run's device and folders.)
TEST_P(MainWindow, SettingsOkRebuildsTheWindow) {
    ASSERT_NE(Open(&winFactory), nullptr);
    app->m_DeviceSettings = [&] {
        settings->p.m_Loopback = !settings->p.m_Loopback;
        return INT_PTR{1};
    };
    // Under a modal dialog (the window disabled) a posted menu command opens nothing.
    EnableWindow(w, FALSE);
    SendMessageW(w, WM_COMMAND, IDM_DEVICE_SETTING, 0);
    EnableWindow(w, TRUE);
    EXPECT_TRUE(Enabled(IDC_SPK)) << "the dialog ran while another had the window";
    for (bool loopback : {true, false}) {
        SendMessageW(w, WM_COMMAND, IDM_DEVICE_SETTING, 0);
        for (int id : {IDC_SPK, IDC_PLAY_NAME, IDC_PLAY_START, IDC_PLAY_POS, IDC_PLAY_GAIN, IDC_PLAY_DELAY})
            EXPECT_EQ(Enabled(id), !loopback) << id;
    }
    wintest::Command(w, IDC_VCUT);
    app->m_RecordSettings = [&] {
        settings->p.m_EnableVoiceCancel = 0;
        return INT_PTR{1};
    };
    SendMessageW(w, WM_COMMAND, IDM_RECORD_SETTING, 0);
    // The main window itself stays hidden in the tests: read the controls' own flag.
    auto shown = [&](int id) { return (GetWindowLongPtrW(GetDlgItem(w, id), GWL_STYLE) & WS_VISIBLE) != 0; };
    EXPECT_TRUE(shown(IDC_EFX) && shown(IDC_EFX_LABEL));
    EXPECT_FALSE(shown(IDC_VCUT) || shown(IDC_VCUT_LABEL));
    EXPECT_EQ(app->m_Audio.m_bVoiceCancel, 0) << "a hidden switch is turned off";
}

TEST(MainWindowFrame, GetDropFileRefusesMissingShortAndCutBuffers) {
    const std::wstring path = L"C:\\music\\song.wav"; // 17 characters
    wchar_t buffer[64];
    for (UINT length : {0u, 17u, 18u}) {
        EXPECT_EQ(CAppBase::GetDropFile(MakeDrop(path), buffer, length), length > 17) << length;
        EXPECT_TRUE(length <= 17 || buffer == path) << length;
    }
    EXPECT_EQ(CAppBase::GetDropFile(MakeDrop(path), nullptr, 64), 0);
}

// The meter window fills the placeholder and shows the level of the data;
// the timer lets it fall (how far and when: the engine's tables in tests/core).
TEST_P(MainWindow, MeterFillsThePlaceholderAndFallsOnTheTimer) {
    ASSERT_NE(Open(&testFactory), nullptr);
    RECT placeholder, meter;
    GetClientRect(GetDlgItem(w, IDC_METER), &placeholder);
    GetClientRect(app->m_LevelMeter.GetWindow(), &meter);
    EXPECT_TRUE(EqualRect(&meter, &placeholder));
    const int16_t block[4] = {0, 32767, 0, -16383};
    app->OnRecordData(block, sizeof block);
    app->UpdateMeter();
    EXPECT_EQ(app->m_LevelMeter.GetLevel(), 31);
    for (int expected : {31, 20}) {
        app->OnMeterTimerTick();
        EXPECT_EQ(app->m_LevelMeter.GetLevel(), expected);
    }
}

// A second start finds the running window only once it is shown, and brings
// it back from the task bar.
TEST_P(MainWindow, FindPrevInstanceRestoresTheRunningWindow) {
    ShownWindowLock shown;
    ASSERT_NE(Open(&testFactory), nullptr);
    TestApp second(&testFactory);
    EXPECT_EQ(second.FindPrevInstance(), 0) << "a window not yet shown is not running";
    ShowWindow(w, SW_SHOWMINNOACTIVE);
    EXPECT_EQ(second.FindPrevInstance(), 1);
    EXPECT_FALSE(IsIconic(w));
    Close();
}

// First start without a language: the chooser comes before any main window,
// and its answer (or the guess from the user's language, on cancel) is the
// language from now on.
TEST(MainWindowFrame, FirstStartAsksTheLanguageBeforeTheMainWindow) {
    EXPECT_EQ(CChooseLanguageDialog::GuessLanguage(1041), 1);
    EXPECT_EQ(CChooseLanguageDialog::GuessLanguage(2052), 0);
    const int guess = CChooseLanguageDialog::GuessLanguage(GetUserDefaultLangID());
    // One main-window test at a time: they share the user's settings copy.
    ShownWindowLock shown;
    for (int pick : {1, 0, -1}) {
        ScratchDir dir("first");
        TestSettings settings(dir, -1);
        CTestDriverFactory factory;
        TestApp app(&factory);
        app.DisableInstanceSearch();
        app.m_PickLanguage = pick;
        ASSERT_EQ(app.InitInstance(GetModuleHandleW(nullptr)), 1);
        EXPECT_EQ(app.m_LanguageDialogs, 1);
        EXPECT_FALSE(app.m_MainWindowAtChooser);
        const int expected = pick >= 0 ? pick : guess;
        EXPECT_EQ(app.GetDialogTemplate(), expected == 1 ? IDD_MAIN_JA : IDD_MAIN_JA + IDD_ENGLISH_OFFSET);
        EXPECT_EQ(settings.p.m_LanguageSetting, expected) << pick;
        app.CanClose(1);
    }
}

// The shipped executable: its main window comes up, a second start leaves the
// first in charge and ends, and closing ends the dialog with its result (1).
// A child left running would hold the test runner's output pipe under Wine.
struct Child {
    PROCESS_INFORMATION pi{};
    explicit Child(const std::wstring& folder) {
        std::wstring exe = plat::Utf8ToWide(SONVEL_BINARY_DIR "/sonvel.exe");
        STARTUPINFOW si{};
        si.cb = sizeof si;
        CreateProcessW(exe.c_str(), exe.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &si,
                       &pi);
    }
    ~Child() {
        Exit(0);
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
    }
    // The exit code within `ms`, or 99 for one still running, which is then ended.
    DWORD Exit(DWORD ms) {
        DWORD code = 99;
        if (WaitForSingleObject(pi.hProcess, ms) == WAIT_OBJECT_0)
            GetExitCodeProcess(pi.hProcess, &code);
        else
            TerminateProcess(pi.hProcess, 1);
        return code;
    }
};

int VisibleMainWindows(HWND* last) {
    int n = 0;
    for (HWND w = nullptr; (w = FindWindowExW(nullptr, w, L"SONVEL MAIN WINDOW", nullptr));)
        if (IsWindowVisible(w)) ++n, *last = w;
    return n;
}

TEST(AppStart, ShowsTheMainWindowAndEndsWithTheDialogResult) {
    ShownWindowLock shown;
    ScratchDir dir("appstart"); // the language is set, so no chooser waits
    std::ofstream(dir.File("sonvel.ini"), std::ios::binary)
        << "<?xml version=\"1.0\" ?>\n<config><language>0</language>\n<driver_type>1</driver_type>\n"
           "<capture>0</capture>\n</config>\n";
    const std::wstring folder = plat::Utf8ToWide(dir.Path());
    Child first(folder);
    ASSERT_NE(first.pi.hProcess, nullptr);
    HWND window = nullptr;
    ASSERT_TRUE(wintest::WaitFor([&] { return VisibleMainWindows(&window) > 0; }, 60000));
    EXPECT_NE(GetDlgItem(window, IDC_MIC), nullptr) << "the main template, not a placeholder";
    EXPECT_EQ(Child(folder).Exit(30000), 0u);
    EXPECT_EQ(VisibleMainWindows(&window), 1);
    PostMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(first.Exit(15000), 1u) << "the main dialog ends with 1 through the close path";
}

} // namespace
