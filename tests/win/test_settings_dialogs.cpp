// The device and recording settings dialogs from the shipped templates, in
// both languages. The device lists come from the real MME and WASAPI drivers
// on the test bed's null sinks ("Speakers", "LineOut"); the test driver pair
// stands in where a family must have no devices at all.
#include "drivers/CWinDriverFactory.h"
#include "drivers/test/CTestDrivers.h"
#include "platform/Platform.h"
#include "res/resource.h"
#include "settings/CAppParameter.h"
#include "ui/CSettingAudioDialog.h"
#include "ui/CSettingRecDialog.h"
#include "ui/Controls.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace {

HINSTANCE Module() {
    return GetModuleHandleW(nullptr);
}

// A fresh folder for one test (UTF-8 path), removed afterwards.
class ScratchDir {
  public:
    explicit ScratchDir(const std::string& tag) {
        static int serial = 0;
        m_Path = plat::JoinPath(plat::TempDirectory(), "sonvel_dlg_" + tag + "_" +
                                                           std::to_string(GetCurrentProcessId()) + "_" +
                                                           std::to_string(++serial));
        plat::MakeDirectories(m_Path.c_str());
    }
    ~ScratchDir() {
        std::error_code ignored;
        std::filesystem::remove_all(std::filesystem::path(plat::Utf8ToWide(m_Path)), ignored);
    }
    const std::string& Path() const { return m_Path; }
    std::string File(const std::string& name) const { return plat::JoinPath(m_Path, name); }

  private:
    std::string m_Path;
};

// A settings singleton of its own for one test, its file in a scratch folder.
class SettingsScope {
  public:
    SettingsScope() : m_Dir("ini"), m_Old(g_pAppParameter) {
        m_Params.m_IniFile = CString(m_Dir.File("sonvel.ini"));
        g_pAppParameter = &m_Params;
    }
    ~SettingsScope() { g_pAppParameter = m_Old; }
    CAppParameter& P() { return m_Params; }
    bool Saved() const { return plat::PathExists(m_Params.m_IniFile.c_str()); }
    std::string FileText() const {
        std::string text;
        plat::FileHandle h = plat::FileOpenRead(m_Params.m_IniFile.c_str());
        if (!h) return text;
        char buffer[4096];
        int64_t got;
        while ((got = plat::FileRead(h, buffer, sizeof buffer)) > 0)
            text.append(buffer, static_cast<size_t>(got));
        plat::FileClose(h);
        return text;
    }
    // What a restart would read back.
    std::unique_ptr<CAppParameter> Reload() const {
        auto loaded = std::make_unique<CAppParameter>();
        loaded->m_IniFile = m_Params.m_IniFile;
        loaded->Load();
        return loaded;
    }

  private:
    ScratchDir m_Dir;
    CAppParameter m_Params;
    CAppParameter* m_Old;
};

void Command(HWND dialog, int id, int code) {
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, code), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

void ChooseLine(HWND dialog, int id, int line) {
    ui::ComboSelect(GetDlgItem(dialog, id), line);
    Command(dialog, id, CBN_SELCHANGE);
}

std::vector<std::string> Lines(HWND dialog, int id) {
    HWND combo = GetDlgItem(dialog, id);
    std::vector<std::string> lines;
    for (int i = 0; i < ui::ComboCount(combo); ++i)
        lines.push_back(ui::ComboLineText(combo, i));
    return lines;
}

// The selected line's text, "" for none.
std::string Selected(HWND dialog, int id) {
    HWND combo = GetDlgItem(dialog, id);
    return ui::ComboLineText(combo, ui::ComboSelection(combo));
}

int LineOf(const std::vector<std::string>& lines, const std::string& text) {
    for (size_t i = 0; i < lines.size(); ++i)
        if (lines[i] == text) return static_cast<int>(i);
    return -1;
}

// ---------------------------------------------------------------- device dialog

// What one family's drivers list on this machine.
struct Family {
    std::vector<std::string> capture, render;
    std::vector<std::wstring> renderIds;
};

Family ListFamily(int driverType) {
    CWinDriverFactory factory;
    std::unique_ptr<CCaptureDriver> capture(factory.CreateCapture(driverType));
    std::unique_ptr<CRenderDriver> render(factory.CreateRender(driverType));
    Family f;
    AudioDeviceInfo info;
    for (int i = 0, n = capture->EnumDevice(0, nullptr); i < n; ++i) {
        capture->EnumDevice(i, &info);
        f.capture.push_back(plat::WideToUtf8(info.szName));
    }
    for (int i = 0, n = render->EnumDevice(0, nullptr); i < n; ++i) {
        render->EnumDevice(i, &info);
        f.render.push_back(plat::WideToUtf8(info.szName));
        f.renderIds.push_back(info.szEndpointId);
    }
    return f;
}

bool HasSinks(const Family& f) {
    return LineOf(f.render, "Speakers") >= 0 && LineOf(f.render, "LineOut") >= 0;
}

#define REQUIRE_SINKS(family)                                                                                \
    if (!HasSinks(family)) GTEST_SKIP() << "the test bed's null sinks are not here"

constexpr int MME = 1, WASAPI = 0;
constexpr int ENGLISH = 0, JAPANESE = 1;

// A device dialog created from the template Run would show, without a modal loop.
struct AudioDialog {
    CWinDriverFactory realDrivers;
    CSettingAudioDialog dialog;
    HWND w;
    AudioDialog(int language, CDriverFactory* factory = nullptr)
        : dialog(language, factory ? factory : &realDrivers),
          w(dialog.Create(Module(), dialog.TemplateId(), nullptr)) {}
};

TEST(SettingsAudioDialog, FamilySwitchRefillsBothDeviceLists) {
    const Family mme = ListFamily(MME), wasapi = ListFamily(WASAPI);
    REQUIRE_SINKS(wasapi);
    ASSERT_GE(LineOf(mme.capture, "Monitor of LineOut"), 0);
    std::vector<std::string> wasapiCapture = wasapi.capture;
    for (const std::string& name : wasapi.render)
        wasapiCapture.push_back(name + "(Loopback)");
    ASSERT_LT(LineOf(wasapiCapture, "Monitor of Speakers"), LineOf(wasapiCapture, "Speakers(Loopback)"));

    struct Case {
        int language, storedType, shownChoice, switchTo;
    } cases[] = {
        {ENGLISH, MME, MME, WASAPI},
        {JAPANESE, WASAPI, WASAPI, MME},
        {JAPANESE, 7, WASAPI, MME}, // an unknown stored type shows WASAPI
        {ENGLISH, -1, WASAPI, MME},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "language " << c.language << " stored " << c.storedType);
        SettingsScope s;
        s.P().m_DriverType = c.storedType;
        s.P().m_Latency = 40;
        AudioDialog d(c.language);
        ASSERT_NE(d.w, nullptr);
        EXPECT_EQ(Lines(d.w, IDC_DRIVER), (std::vector<std::string>{"WASAPI", "MME"}));
        EXPECT_EQ(ui::ComboSelection(GetDlgItem(d.w, IDC_DRIVER)), c.shownChoice);
        for (int family : {c.shownChoice, c.switchTo}) {
            if (family != c.shownChoice) ChooseLine(d.w, IDC_DRIVER, family);
            const Family& f = family == MME ? mme : wasapi;
            EXPECT_EQ(Lines(d.w, IDC_DEV_CAPTURE), family == MME ? mme.capture : wasapiCapture) << family;
            EXPECT_EQ(Lines(d.w, IDC_DEV_MONITOR), f.render) << family;
            EXPECT_TRUE(IsWindowEnabled(GetDlgItem(d.w, IDC_DEV_CAPTURE)));
        }
        // The other controls keep what they showed.
        EXPECT_EQ(ui::GetItemText(d.w, IDC_LATENCY), "40");
        EXPECT_EQ(ui::ComboCount(GetDlgItem(d.w, IDC_DEV_FREQ)), 6);
        Command(d.w, IDOK, BN_CLICKED);
        EXPECT_FALSE(IsWindow(d.w));
        EXPECT_EQ(s.P().m_DriverType, c.switchTo);
        EXPECT_TRUE(s.Saved());
    }
}

TEST(SettingsAudioDialog, StoredDeviceIsChosenByNameAndKindAndOkStoresTheLine) {
    const Family wasapi = ListFamily(WASAPI);
    REQUIRE_SINKS(wasapi);
    const std::wstring speakersId = wasapi.renderIds[static_cast<size_t>(LineOf(wasapi.render, "Speakers"))];
    struct Case {
        int driverType;
        const char* storedName;
        int storedLoopback;
        const char* selected; // capture line shown
        int loopbackAfterOk;
        const char* nameAfterOk;
    } cases[] = {
        // A render endpoint's name with loopback 1 is its loopback line.
        {WASAPI, "Speakers", 1, "Speakers(Loopback)", 1, "Speakers"},
        {WASAPI, "Monitor of Speakers", 0, "Monitor of Speakers", 0, "Monitor of Speakers"},
        // Loopback 0 never picks a loopback line, even when the name is there.
        {WASAPI, "LineOut", 0, nullptr, 0, nullptr},
        // MME has no loopback lines: the first line stands in.
        {MME, "Speakers", 1, nullptr, 0, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.driverType << " " << c.storedName << " " << c.storedLoopback);
        SettingsScope s;
        s.P().m_DriverType = c.driverType;
        s.P().m_CapDeviceName = c.storedName;
        s.P().m_Loopback = c.storedLoopback;
        s.P().m_MonDeviceName = "LineOut";
        AudioDialog d(ENGLISH);
        ASSERT_NE(d.w, nullptr);
        const std::vector<std::string> lines = Lines(d.w, IDC_DEV_CAPTURE);
        const std::string first = lines.empty() ? "" : lines[0];
        EXPECT_EQ(Selected(d.w, IDC_DEV_CAPTURE), c.selected ? c.selected : first);
        EXPECT_EQ(Selected(d.w, IDC_DEV_MONITOR), "LineOut");
        Command(d.w, IDOK, BN_CLICKED);
        EXPECT_EQ(s.P().m_Loopback, c.loopbackAfterOk);
        EXPECT_EQ(s.P().m_CapDeviceName.Str(), c.nameAfterOk ? c.nameAfterOk : first);
        EXPECT_EQ(s.P().m_MonDeviceName.Str(), "LineOut");
        if (c.loopbackAfterOk) {
            EXPECT_TRUE(s.P().m_CapDeviceId.Equals(speakersId.c_str()));
        }
        if (c.driverType == MME) {
            EXPECT_TRUE(s.P().m_CapDeviceId.IsEmpty());
        }
    }
}

TEST(SettingsAudioDialog, UnlistedRateAndChannelValues) {
    for (int language : {ENGLISH, JAPANESE}) {
        SCOPED_TRACE(language);
        SettingsScope s;
        s.P().m_DriverType = MME;
        s.P().m_Frequency = 22050;
        s.P().m_InChannels = 7;
        AudioDialog d(language);
        ASSERT_NE(d.w, nullptr);
        EXPECT_EQ(ui::ComboSelection(GetDlgItem(d.w, IDC_DEV_FREQ)), -1);
        EXPECT_EQ(Selected(d.w, IDC_DEV_CHANNELS), "2ch (stereo)");
        EXPECT_EQ(Lines(d.w, IDC_DEV_CHANNELS)[3], language == JAPANESE ? "2ch (R-chのみ)" : "2ch (only R)");
        EXPECT_EQ(Selected(d.w, IDC_DEV_BITS), "16bits");
        Command(d.w, IDOK, BN_CLICKED);
        EXPECT_EQ(s.P().m_Frequency, 22050);
        EXPECT_EQ(s.P().m_InChannels, 2);
        EXPECT_EQ(s.P().m_DataBits, 16);
    }
    // A listed rate picked by the user is stored.
    SettingsScope s;
    s.P().m_DriverType = MME;
    s.P().m_Frequency = 22050;
    AudioDialog d(ENGLISH);
    const int line = LineOf(Lines(d.w, IDC_DEV_FREQ), "44100 Hz");
    ASSERT_GE(line, 0);
    ui::ComboSelect(GetDlgItem(d.w, IDC_DEV_FREQ), line);
    Command(d.w, IDOK, BN_CLICKED);
    EXPECT_EQ(s.P().m_Frequency, 44100);
}

TEST(SettingsAudioDialog, NumberBoxesAndBoostAreStoredThroughOk) {
    struct Case {
        const char* latency;
        const char* boost;
        int clicks; // on the boost check box, which starts off
        int32_t latencyAfter, boostAfter, boostOnAfter;
    } cases[] = {
        {" 250", "\t12", 1, 250, 12, 1},
        {"letters", "", 2, 0, 0, 0},
        {"-5", "-12x", 0, -5, 12, 0},
        {"123456789012345678901234567890", "40x", 3, INT32_MAX, 40, 1},
        {"-123456789012345678901234567890", "-30", 1, INT32_MIN, -30, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.latency);
        SettingsScope s;
        s.P().m_DriverType = MME;
        s.P().m_Latency = 900;   // shown as 500
        s.P().m_BoostLevel = -4; // shown as 0
        AudioDialog d(JAPANESE);
        ASSERT_NE(d.w, nullptr);
        EXPECT_EQ(ui::GetItemText(d.w, IDC_LATENCY), "500");
        EXPECT_EQ(ui::GetItemText(d.w, IDC_BOOST_LEVEL), "0");
        ui::SetItemText(d.w, IDC_LATENCY, c.latency);
        ui::SetItemText(d.w, IDC_BOOST_LEVEL, c.boost);
        for (int i = 0; i < c.clicks; ++i)
            SendDlgItemMessageW(d.w, IDC_BOOST_ON, BM_CLICK, 0, 0);
        EXPECT_EQ(ui::IsChecked(GetDlgItem(d.w, IDC_BOOST_ON)), c.boostOnAfter == 1);
        Command(d.w, IDOK, BN_CLICKED);
        EXPECT_EQ(s.P().m_Latency, c.latencyAfter);
        EXPECT_EQ(s.P().m_BoostLevel, c.boostAfter);
        EXPECT_EQ(s.P().m_BoostOn, c.boostOnAfter);
        std::unique_ptr<CAppParameter> again = s.Reload();
        EXPECT_EQ(again->m_Latency, c.latencyAfter);
        EXPECT_EQ(again->m_BoostOn, c.boostOnAfter);
    }
}

TEST(SettingsAudioDialog, CancelChangesNothing) {
    const Family wasapi = ListFamily(WASAPI);
    REQUIRE_SINKS(wasapi);
    for (int language : {ENGLISH, JAPANESE}) {
        SCOPED_TRACE(language);
        SettingsScope s;
        s.P().m_DriverType = MME;
        s.P().m_CapDeviceName = "Monitor of LineOut";
        s.P().m_MonDeviceName = "LineOut";
        const std::string before = s.P().BuildDocument();
        AudioDialog d(language);
        ASSERT_NE(d.w, nullptr);
        ChooseLine(d.w, IDC_DRIVER, WASAPI);
        ui::ComboSelect(GetDlgItem(d.w, IDC_DEV_CAPTURE),
                        LineOf(Lines(d.w, IDC_DEV_CAPTURE), "Speakers(Loopback)"));
        ui::SetItemText(d.w, IDC_LATENCY, "20");
        SendDlgItemMessageW(d.w, IDC_BOOST_ON, BM_CLICK, 0, 0);
        ui::ComboSelect(GetDlgItem(d.w, IDC_DEV_FREQ), 0);
        Command(d.w, IDCANCEL, BN_CLICKED);
        EXPECT_FALSE(IsWindow(d.w));
        EXPECT_EQ(s.P().BuildDocument(), before);
        EXPECT_FALSE(s.Saved());
    }
}

TEST(SettingsAudioDialog, FamilyWithoutDevicesSaysSoAndOkKeepsTheOldDevices) {
    struct Case {
        int language;
        std::vector<std::wstring> capture, render;
        const char* captureLine;
        const char* monitorLine;
        const char* capAfter;
        const char* monAfter;
    } cases[] = {
        {ENGLISH, {}, {}, "(no device)", "(no device)", "Old Mic", "Old Out"},
        {JAPANESE, {}, {}, "(デバイスなし)", "(デバイスなし)", "Old Mic", "Old Out"},
        {ENGLISH, {}, {L"Out A"}, "(no device)", "Out A", "Old Mic", "Out A"},
        {JAPANESE, {L"マイク"}, {}, "マイク", "(デバイスなし)", "マイク", "Old Out"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.language << " " << c.captureLine << " " << c.monitorLine);
        SettingsScope s;
        s.P().m_CapDeviceName = "Old Mic";
        s.P().m_CapDeviceId = "{old-mic}";
        s.P().m_Loopback = 1;
        s.P().m_MonDeviceName = "Old Out";
        s.P().m_MonDeviceId = "{old-out}";
        CTestDriverFactory factory;
        factory.m_ConfigureCapture = [&](CTestCapture& capture) { capture.SetDevices(c.capture); };
        factory.m_ConfigureRender = [&](CTestRenderer& render) { render.SetDevices(c.render); };
        AudioDialog d(c.language, &factory);
        ASSERT_NE(d.w, nullptr);
        const bool noCapture = c.capture.empty(), noMonitor = c.render.empty();
        EXPECT_EQ(Lines(d.w, IDC_DEV_CAPTURE), std::vector<std::string>{c.captureLine});
        EXPECT_EQ(Selected(d.w, IDC_DEV_CAPTURE), c.captureLine);
        EXPECT_EQ(IsWindowEnabled(GetDlgItem(d.w, IDC_DEV_CAPTURE)) == 0, noCapture);
        EXPECT_EQ(Lines(d.w, IDC_DEV_MONITOR), std::vector<std::string>{c.monitorLine});
        EXPECT_EQ(IsWindowEnabled(GetDlgItem(d.w, IDC_DEV_MONITOR)) == 0, noMonitor);
        Command(d.w, IDOK, BN_CLICKED);
        EXPECT_EQ(s.P().m_CapDeviceName.Str(), c.capAfter);
        EXPECT_EQ(s.P().m_CapDeviceId.Str(), noCapture ? "{old-mic}" : "test:" + std::string(c.capAfter));
        EXPECT_EQ(s.P().m_Loopback, noCapture ? 1 : 0);
        EXPECT_EQ(s.P().m_MonDeviceName.Str(), c.monAfter);
        EXPECT_EQ(s.P().m_MonDeviceId.Str(), noMonitor ? "{old-out}" : "test:" + std::string(c.monAfter));
    }
}

// Run shows the template of the language modally and answers what ended it.
template <class Dialog> class EndsAtOnce : public Dialog {
  public:
    template <class... Args> EndsAtOnce(int button, Args... args) : Dialog(args...), m_Button(button) {}
    void OnInitDialog(HWND window) override {
        Dialog::OnInitDialog(window);
        m_Title = ui::GetText(window);
        PostMessageW(window, WM_COMMAND, MAKEWPARAM(m_Button, BN_CLICKED), 0);
    }
    int m_Button;
    std::string m_Title;
};

TEST(SettingsDialogs, RunIsModalInTheLanguageAndAnswersOneAfterOk) {
    struct Case {
        int language, button;
        INT_PTR result;
        const char* audioTitle;
        const char* recTitle;
    } cases[] = {
        {JAPANESE, IDOK, 1, "オーディオ･デバイス", "録音設定"},
        {ENGLISH, IDOK, 1, "Audio Device", "Recording"},
        {ENGLISH, IDCANCEL, 0, "Audio Device", "Recording"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.language << " " << c.button);
        SettingsScope s;
        CTestDriverFactory factory;
        EndsAtOnce<CSettingAudioDialog> audio(c.button, c.language, static_cast<CDriverFactory*>(&factory));
        EXPECT_EQ(audio.Run(Module(), nullptr), c.result);
        EXPECT_EQ(audio.m_Title, c.audioTitle);
        EndsAtOnce<CSettingRecDialog> rec(c.button, c.language);
        EXPECT_EQ(rec.Run(Module(), nullptr), c.result);
        EXPECT_EQ(rec.m_Title, c.recTitle);
        EXPECT_EQ(s.Saved(), c.button == IDOK);
    }
}

// ---------------------------------------------------------------- recording dialog

// Answers the folder browser and the message box in place of the user.
class ScriptedRecDialog : public CSettingRecDialog {
  public:
    using CSettingRecDialog::CSettingRecDialog;
    bool BrowseForFolder(HWND, std::string* folder) override {
        ++m_Browsed;
        m_BrowseStart = *folder;
        if (!m_Pick) return false;
        *folder = m_Picked;
        return true;
    }
    int ShowMessage(HWND owner, const std::string& text, UINT type) override {
        m_Messages.push_back(text);
        m_Owner = owner;
        m_Type = type;
        return IDOK;
    }
    bool m_Pick = false;
    std::string m_Picked, m_BrowseStart;
    int m_Browsed = 0;
    std::vector<std::string> m_Messages;
    HWND m_Owner = nullptr;
    UINT m_Type = 0;
};

struct RecDialog {
    ScriptedRecDialog dialog;
    HWND w;
    explicit RecDialog(int language)
        : dialog(language), w(dialog.Create(Module(), dialog.TemplateId(), nullptr)) {}
};

TEST(SettingsRecDialog, ListsInBothLanguagesAndUnlistedValuesSurviveOk) {
    struct Case {
        int language, recFileChannel, playFileMode;
        const char* channelShown; // "" for no selection
        const char* playShown;
    } cases[] = {
        {JAPANESE, 1, 2, "mono(1ch) → stereo(2ch)", "L-chに録音する"},
        {ENGLISH, 1, 3, "mono(1ch) to stereo(2ch)", "Record on R-ch"},
        {ENGLISH, 5, 0, "", "Do not record"},
        {JAPANESE, 0, 9, "キャプチャの設定に従う", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.language << " " << c.recFileChannel << " " << c.playFileMode);
        SettingsScope s;
        s.P().m_RecFileChannel = c.recFileChannel;
        s.P().m_PlayFileMode = c.playFileMode;
        RecDialog d(c.language);
        ASSERT_NE(d.w, nullptr);
        EXPECT_EQ(ui::ComboCount(GetDlgItem(d.w, IDC_REC_CHANNEL)), 2);
        EXPECT_EQ(ui::ComboCount(GetDlgItem(d.w, IDC_PLAY_MODE)), 4);
        EXPECT_EQ(Selected(d.w, IDC_REC_CHANNEL), c.channelShown);
        EXPECT_EQ(Selected(d.w, IDC_PLAY_MODE), c.playShown);
        Command(d.w, IDOK, BN_CLICKED);
        EXPECT_FALSE(IsWindow(d.w));
        EXPECT_EQ(s.P().m_RecFileChannel, c.recFileChannel);
        EXPECT_EQ(s.P().m_PlayFileMode, c.playFileMode);
    }
}

TEST(SettingsRecDialog, FolderBrowserReplacesTheTextOnlyWhenAFolderIsPicked) {
    SettingsScope s;
    s.P().m_WavePath = "C:\\rec";
    struct Step {
        bool pick;
        const char* picked;
        const char* textAfter;
    } steps[] = {
        {false, "", "C:\\rec"},
        {true, "Z:\\tmp\\録音 フォルダ", "Z:\\tmp\\録音 フォルダ"},
        {false, "", "Z:\\tmp\\録音 フォルダ"},
    };
    RecDialog d(JAPANESE);
    ASSERT_NE(d.w, nullptr);
    std::string before = ui::GetItemText(d.w, IDC_SAVE_FOLDER);
    for (const Step& step : steps) {
        d.dialog.m_Pick = step.pick;
        d.dialog.m_Picked = step.picked;
        SendDlgItemMessageW(d.w, IDC_SAVE_BROWSE, BM_CLICK, 0, 0);
        EXPECT_EQ(d.dialog.m_BrowseStart, before); // it opens where the text points
        EXPECT_EQ(ui::GetItemText(d.w, IDC_SAVE_FOLDER), step.textAfter);
        before = step.textAfter;
    }
    EXPECT_EQ(d.dialog.m_Browsed, 3);
    Command(d.w, IDCANCEL, BN_CLICKED);
    EXPECT_EQ(s.P().m_WavePath.Str(), "C:\\rec");
}

TEST(SettingsRecDialog, OkRefusesAFolderThatCannotTakeRecordings) {
    ScratchDir scratch("rec");
    const std::string japanese = scratch.File("録音 フォルダ 2026");
    ASSERT_TRUE(plat::MakeDirectories(japanese.c_str()));
    const std::string plainFile = scratch.File("a file.txt");
    plat::FileHandle h = plat::FileCreate(plainFile.c_str(), true);
    ASSERT_TRUE(h);
    plat::FileClose(h);
    struct Case {
        int language;
        std::string folder;
        bool accepted;
        const char* opening; // of the message when refused
    } cases[] = {
        {ENGLISH, japanese, true, ""},
        {JAPANESE, japanese, true, ""},
        {ENGLISH, "", true, ""}, // the current folder
        {ENGLISH, scratch.File("no such 録音"), false, "The save folder does not exist."},
        {JAPANESE, scratch.File("no such 録音"), false, "保存先フォルダが見つかりません。"},
        {ENGLISH, plainFile, false, "The save folder does not exist."},
        // Nothing can create a file in /proc, not even root.
        {ENGLISH, "Z:\\proc", false, "The save folder cannot be written to."},
        {JAPANESE, "Z:\\proc", false, "保存先フォルダに書き込めません。"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.language << " " << c.folder);
        SettingsScope s;
        s.P().m_WavePath = "C:\\before";
        s.P().m_PlayFileMode = 1;
        RecDialog d(c.language);
        ASSERT_NE(d.w, nullptr);
        ui::SetItemText(d.w, IDC_SAVE_FOLDER, c.folder);
        ui::ComboSelect(GetDlgItem(d.w, IDC_PLAY_MODE), 3);
        Command(d.w, IDOK, BN_CLICKED);
        EXPECT_EQ(IsWindow(d.w) == 0, c.accepted);
        if (c.accepted) {
            EXPECT_TRUE(d.dialog.m_Messages.empty());
            EXPECT_EQ(s.P().m_WavePath.Str(), c.folder);
            EXPECT_EQ(s.P().m_PlayFileMode, 3);
            EXPECT_EQ(s.Reload()->m_WavePath.Str(), c.folder);
            continue;
        }
        ASSERT_EQ(d.dialog.m_Messages.size(), 1u);
        EXPECT_EQ(d.dialog.m_Messages[0].rfind(c.opening, 0), 0u) << d.dialog.m_Messages[0];
        EXPECT_NE(d.dialog.m_Messages[0].find(c.folder), std::string::npos);
        EXPECT_EQ(d.dialog.m_Owner, d.w);
        EXPECT_EQ(ui::GetItemText(d.w, IDC_SAVE_FOLDER), c.folder); // left for the user to mend
        EXPECT_EQ(s.P().m_WavePath.Str(), "C:\\before");
        EXPECT_EQ(s.P().m_PlayFileMode, 1);
        EXPECT_FALSE(s.Saved());
        // Mended, the same dialog takes it.
        ui::SetItemText(d.w, IDC_SAVE_FOLDER, japanese);
        Command(d.w, IDOK, BN_CLICKED);
        EXPECT_FALSE(IsWindow(d.w));
        EXPECT_EQ(s.P().m_WavePath.Str(), japanese);
    }
}

TEST(SettingsRecDialog, FeatureSwitchesAreStoredAndSurviveARestart) {
    struct Case {
        int language;
        int effectBefore, voiceBefore;
        bool clickEffect, clickVoice;
        int effectAfter, voiceAfter;
    } cases[] = {
        {JAPANESE, 0, 0, true, true, 1, 1},
        {ENGLISH, 1, 1, true, false, 0, 1},
        {ENGLISH, 1, 1, true, true, 0, 0},
        {JAPANESE, 0, 1, false, true, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.language << " " << c.effectBefore << c.voiceBefore);
        SettingsScope s;
        s.P().m_EnableEffect = c.effectBefore;
        s.P().m_EnableVoiceCancel = c.voiceBefore;
        s.P().m_VoiceCancel = c.voiceBefore;
        RecDialog d(c.language);
        ASSERT_NE(d.w, nullptr);
        EXPECT_EQ(ui::IsChecked(GetDlgItem(d.w, IDC_USE_EFFECT)), c.effectBefore == 1);
        EXPECT_EQ(ui::IsChecked(GetDlgItem(d.w, IDC_USE_VOICE_CANCEL)), c.voiceBefore == 1);
        if (c.clickEffect) SendDlgItemMessageW(d.w, IDC_USE_EFFECT, BM_CLICK, 0, 0);
        if (c.clickVoice) SendDlgItemMessageW(d.w, IDC_USE_VOICE_CANCEL, BM_CLICK, 0, 0);
        Command(d.w, IDOK, BN_CLICKED);
        EXPECT_EQ(s.P().m_EnableEffect, c.effectAfter);
        EXPECT_EQ(s.P().m_EnableVoiceCancel, c.voiceAfter);
        // A hidden V.CUT button must not leave the stage running.
        if (!c.voiceAfter) {
            EXPECT_EQ(s.P().m_VoiceCancel, 0);
        }
        std::unique_ptr<CAppParameter> again = s.Reload();
        EXPECT_EQ(again->m_EnableEffect, c.effectAfter);
        EXPECT_EQ(again->m_EnableVoiceCancel, c.voiceAfter);
        // A switch that is off is not written at all.
        const std::string text = s.FileText();
        EXPECT_EQ(text.find("enable_effect") != std::string::npos, c.effectAfter == 1);
        EXPECT_EQ(text.find("enable_voice_cancel") != std::string::npos, c.voiceAfter == 1);
    }
}

// ---------------------------------------------------------------- layout

// Width in pixels of a control's text in the control's own font.
int TextWidth(HWND control, const std::wstring& text) {
    HDC dc = GetDC(control);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(control, WM_GETFONT, 0, 0)));
    RECT r{0, 0, 0, 0};
    DrawTextW(dc, text.c_str(), -1, &r, DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
    SelectObject(dc, old);
    ReleaseDC(control, dc);
    return r.right - r.left;
}

std::wstring WindowText(HWND w) {
    return plat::Utf8ToWide(ui::GetText(w));
}

std::wstring ClassOf(HWND w) {
    wchar_t name[64] = {};
    GetClassNameW(w, name, 64);
    return name;
}

std::string Where(const RECT& r) {
    return "(" + std::to_string(r.left) + "," + std::to_string(r.top) + ")-(" + std::to_string(r.right) + "," +
           std::to_string(r.bottom) + ")";
}

struct Child {
    HWND w;
    RECT r; // in the dialog's client coordinates
};

std::vector<Child> Children(HWND dialog) {
    std::vector<Child> children;
    for (HWND c = GetWindow(dialog, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        RECT r;
        GetWindowRect(c, &r);
        MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
        children.push_back({c, r});
    }
    return children;
}

// Every text fits its control in the dialog's font, every control lies inside
// the dialog, and no two controls (group boxes aside) overlap.
void ExpectNothingClipped(HWND dialog) {
    RECT client;
    GetClientRect(dialog, &client);
    const std::vector<Child> children = Children(dialog);
    const int box = GetSystemMetrics(SM_CXMENUCHECK);
    const int arrow = GetSystemMetrics(SM_CXVSCROLL);
    for (const Child& c : children) {
        const std::wstring cls = ClassOf(c.w);
        const std::string what = plat::WideToUtf8(cls) + " \"" + ui::GetText(c.w) + "\"";
        SCOPED_TRACE(what);
        EXPECT_TRUE(c.r.left >= client.left && c.r.top >= client.top && c.r.right <= client.right &&
                    c.r.bottom <= client.bottom);
        const int width = c.r.right - c.r.left;
        const LONG style = GetWindowLongW(c.w, GWL_STYLE);
        if (_wcsicmp(cls.c_str(), L"Static") == 0) {
            EXPECT_LE(TextWidth(c.w, WindowText(c.w)), width);
        } else if (_wcsicmp(cls.c_str(), L"Button") == 0) {
            const LONG kind = style & BS_TYPEMASK;
            int needed = TextWidth(c.w, WindowText(c.w));
            if (kind == BS_GROUPBOX)
                needed += 16;
            else if (kind == BS_CHECKBOX || kind == BS_AUTOCHECKBOX)
                needed += box + 6;
            else
                needed += 8;
            EXPECT_LE(needed, width);
        } else if (_wcsicmp(cls.c_str(), L"ComboBox") == 0) {
            for (int i = 0; i < ui::ComboCount(c.w); ++i)
                EXPECT_LE(TextWidth(c.w, plat::Utf8ToWide(ui::ComboLineText(c.w, i))) + arrow + 6, width)
                    << ui::ComboLineText(c.w, i);
        }
    }
    for (size_t i = 0; i < children.size(); ++i)
        for (size_t j = i + 1; j < children.size(); ++j) {
            auto isGroup = [](HWND w) {
                return (GetWindowLongW(w, GWL_STYLE) & BS_TYPEMASK) == BS_GROUPBOX &&
                       _wcsicmp(ClassOf(w).c_str(), L"Button") == 0;
            };
            if (isGroup(children[i].w) || isGroup(children[j].w)) continue;
            RECT both;
            EXPECT_FALSE(IntersectRect(&both, &children[i].r, &children[j].r))
                << ui::GetText(children[i].w) << " " << Where(children[i].r) << " / "
                << ui::GetText(children[j].w) << " " << Where(children[j].r);
        }
}

// With SONVEL_SHOT_DIR set (scripts/settings-shots.sh sets it), the dialog is
// shown and held until it has been taken from the screen: the test writes
// <name>.rect with the window's place, the script answers with <name>.png.
// Wine's GDI does not read a window's text back from the screen; X does.
void ShowForShot(HWND dialog, const char* name) {
    const char* dir = std::getenv("SONVEL_SHOT_DIR");
    if (!dir || !*dir) return;
    auto pump = [](DWORD ms) {
        for (DWORD end = GetTickCount() + ms; GetTickCount() < end;) {
            MSG m;
            while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
                TranslateMessage(&m);
                DispatchMessageW(&m);
            }
            Sleep(10);
        }
    };
    ShowWindow(dialog, SW_SHOWNOACTIVATE);
    UpdateWindow(dialog);
    pump(500);
    RECT r;
    GetWindowRect(dialog, &r);
    const std::string base = plat::JoinPath(dir, name);
    const std::string rect = std::to_string(r.right - r.left) + "x" + std::to_string(r.bottom - r.top) + "+" +
                             std::to_string(r.left) + "+" + std::to_string(r.top) + "\n";
    const std::string png = base + ".png";
    plat::RemoveFile(png.c_str());
    const std::string rectTemp = base + ".part";
    if (plat::FileHandle f = plat::FileCreate(rectTemp.c_str(), true)) {
        plat::FileWrite(f, rect.data(), static_cast<uint32_t>(rect.size()));
        plat::FileClose(f);
        plat::ReplaceFileWith(rectTemp.c_str(), (base + ".rect").c_str());
    }
    for (int i = 0; i < 200 && !plat::PathExists(png.c_str()); ++i)
        pump(50);
    ShowWindow(dialog, SW_HIDE);
}

TEST(SettingsDialogs, NothingIsClippedInEitherLanguage) {
    for (int language : {JAPANESE, ENGLISH}) {
        SCOPED_TRACE(language);
        SettingsScope s;
        s.P().m_CapDeviceName = "Speakers";
        s.P().m_Loopback = 1;
        s.P().m_WavePath = "C:\\users\\録音 フォルダ";
        s.P().m_EnableEffect = 1;
        AudioDialog audio(language);
        ASSERT_NE(audio.w, nullptr);
        ExpectNothingClipped(audio.w);
        ShowForShot(audio.w, language == JAPANESE ? "audio-ja" : "audio-en");
        RecDialog rec(language);
        ASSERT_NE(rec.w, nullptr);
        ExpectNothingClipped(rec.w);
        ShowForShot(rec.w, language == JAPANESE ? "rec-ja" : "rec-en");
    }
}

} // namespace
