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

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>

namespace {

namespace fs = std::filesystem;
constexpr int MME = 1, WASAPI = 0;
constexpr int ENGLISH = 0, JAPANESE = 1;

// A settings singleton of its own for one case, its file in a scratch folder.
struct Settings {
    fs::path dir;
    CAppParameter p;
    CAppParameter* old = g_pAppParameter;
    Settings() {
        static int serial = 0;
        dir = fs::temp_directory_path() /
              (L"sonvel_dlg_" + std::to_wstring(GetCurrentProcessId()) + L"_" + std::to_wstring(++serial));
        fs::create_directories(dir);
        p.m_IniFile = CString((dir / L"sonvel.ini").wstring().c_str());
        g_pAppParameter = &p;
    }
    ~Settings() {
        g_pAppParameter = old;
        std::error_code ignored;
        fs::remove_all(dir, ignored);
    }
    std::string Utf8(const fs::path& path) const { return plat::WideToUtf8(path.wstring()); }
    std::string FileText() const {
        std::ifstream in(dir / L"sonvel.ini", std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
    // What the next start would read.
    std::unique_ptr<CAppParameter> Reload() const {
        auto loaded = std::make_unique<CAppParameter>();
        loaded->m_IniFile = p.m_IniFile;
        loaded->Load();
        return loaded;
    }
};

void Command(HWND dialog, int id, int code = BN_CLICKED) {
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, code), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}
void Click(HWND dialog, int id) {
    SendDlgItemMessageW(dialog, id, BM_CLICK, 0, 0);
}
bool Checked(HWND dialog, int id) {
    return ui::IsChecked(GetDlgItem(dialog, id));
}
std::vector<std::string> Lines(HWND dialog, int id) {
    std::vector<std::string> lines;
    for (int i = 0; i < ui::ComboCount(GetDlgItem(dialog, id)); ++i)
        lines.push_back(ui::ComboLineText(GetDlgItem(dialog, id), i));
    return lines;
}
std::string Selected(HWND dialog, int id) { // "" for none
    return ui::ComboLineText(GetDlgItem(dialog, id), ui::ComboSelection(GetDlgItem(dialog, id)));
}
int LineOf(const std::vector<std::string>& lines, const std::string& text) {
    auto at = std::find(lines.begin(), lines.end(), text);
    return at == lines.end() ? -1 : static_cast<int>(at - lines.begin());
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
    for (int i = 0, n = capture->EnumDevice(0, nullptr); i < n && capture->EnumDevice(i, &info); ++i)
        f.capture.push_back(plat::WideToUtf8(info.szName));
    for (int i = 0, n = render->EnumDevice(0, nullptr); i < n && render->EnumDevice(i, &info); ++i) {
        f.render.push_back(plat::WideToUtf8(info.szName));
        f.renderIds.push_back(info.szEndpointId);
    }
    return f;
}
#define REQUIRE_SINKS(f)                                                                                     \
    if (LineOf((f).render, "Speakers") < 0 || LineOf((f).render, "LineOut") < 0)                             \
    GTEST_SKIP() << "the test bed's null sinks are not here"

// The dialog from the template Run would show, modeless so a test can drive it.
struct AudioDialog {
    CWinDriverFactory realDrivers;
    CSettingAudioDialog dialog;
    HWND w;
    explicit AudioDialog(int language, CDriverFactory* factory = nullptr)
        : dialog(language, factory ? factory : &realDrivers),
          w(dialog.Create(GetModuleHandleW(nullptr), dialog.TemplateId(), nullptr)) {}
};

TEST(SettingsAudioDialog, FamilySwitchRefillsBothDeviceLists) {
    const Family mme = ListFamily(MME), wasapi = ListFamily(WASAPI);
    REQUIRE_SINKS(wasapi);
    ASSERT_GE(LineOf(mme.capture, "Monitor of LineOut"), 0);
    std::vector<std::string> wasapiCapture = wasapi.capture; // capture endpoints, then one loopback each
    for (const std::string& name : wasapi.render)
        wasapiCapture.push_back(name + "(Loopback)");
    ASSERT_LT(LineOf(wasapiCapture, "Monitor of Speakers"), LineOf(wasapiCapture, "Speakers(Loopback)"));
    struct Case {
        int language, storedType, shown, switchTo;
    } cases[] = {{ENGLISH, MME, MME, WASAPI},
                 {JAPANESE, WASAPI, WASAPI, MME},
                 {JAPANESE, 7, WASAPI, MME}, // a type the program does not know shows WASAPI
                 {ENGLISH, -1, WASAPI, MME}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "language " << c.language << " stored " << c.storedType);
        Settings s;
        s.p.m_DriverType = c.storedType;
        s.p.m_Latency = 40;
        AudioDialog d(c.language);
        ASSERT_NE(d.w, nullptr);
        EXPECT_EQ(Lines(d.w, IDC_DRIVER), (std::vector<std::string>{"WASAPI", "MME"}));
        EXPECT_EQ(ui::ComboSelection(GetDlgItem(d.w, IDC_DRIVER)), c.shown);
        for (int family : {c.shown, c.switchTo}) {
            if (family != c.shown) {
                ui::ComboSelect(GetDlgItem(d.w, IDC_DRIVER), family);
                Command(d.w, IDC_DRIVER, CBN_SELCHANGE);
            }
            EXPECT_EQ(Lines(d.w, IDC_DEV_CAPTURE), family == MME ? mme.capture : wasapiCapture) << family;
            EXPECT_EQ(Lines(d.w, IDC_DEV_MONITOR), family == MME ? mme.render : wasapi.render) << family;
        }
        EXPECT_EQ(ui::GetItemText(d.w, IDC_LATENCY), "40"); // the rest keeps what it showed
        Command(d.w, IDOK);
        EXPECT_FALSE(IsWindow(d.w));
        EXPECT_EQ(s.p.m_DriverType, c.switchTo);
        EXPECT_EQ(s.Reload()->m_DriverType, c.switchTo);
    }
}

TEST(SettingsAudioDialog, StoredDeviceIsFoundByNameAndKindAndOkStoresTheLine) {
    const Family wasapi = ListFamily(WASAPI);
    REQUIRE_SINKS(wasapi);
    const std::wstring speakersId = wasapi.renderIds[static_cast<size_t>(LineOf(wasapi.render, "Speakers"))];
    struct Case {
        int driverType;
        const char* stored;
        int storedLoopback;
        const char* shown; // null: the first line
        int loopbackAfter;
    } cases[] = {{WASAPI, "Speakers", 1, "Speakers(Loopback)", 1},
                 {WASAPI, "Monitor of Speakers", 0, "Monitor of Speakers", 0},
                 {WASAPI, "LineOut", 0, nullptr, 0}, // a plain name never picks a loopback line
                 {MME, "Speakers", 1, nullptr, 0}};  // MME has no loopback lines
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.driverType << " " << c.stored << " " << c.storedLoopback);
        Settings s;
        s.p.m_DriverType = c.driverType;
        s.p.m_CapDeviceName = c.stored;
        s.p.m_Loopback = c.storedLoopback;
        s.p.m_MonDeviceName = "LineOut";
        AudioDialog d(ENGLISH);
        ASSERT_NE(d.w, nullptr);
        const std::string shown = c.shown ? c.shown : Lines(d.w, IDC_DEV_CAPTURE).at(0);
        EXPECT_EQ(Selected(d.w, IDC_DEV_CAPTURE), shown);
        EXPECT_EQ(Selected(d.w, IDC_DEV_MONITOR), "LineOut");
        Command(d.w, IDOK);
        EXPECT_EQ(s.p.m_Loopback, c.loopbackAfter);
        EXPECT_EQ(s.p.m_CapDeviceName.Str() + (c.loopbackAfter ? "(Loopback)" : ""), shown);
        EXPECT_EQ(s.p.m_MonDeviceName.Str(), "LineOut");
        EXPECT_EQ(s.p.m_CapDeviceId.IsEmpty(), c.driverType == MME); // MME devices have no endpoint id
        if (c.loopbackAfter) {
            EXPECT_EQ(s.p.m_CapDeviceId.Str(), plat::WideToUtf8(speakersId));
        }
    }
}

TEST(SettingsAudioDialog, OkStoresTheTextRuleAndKeepsWhatNoLineShows) {
    struct Case {
        int language;
        const char* latency;
        const char* boost;
        int clicks; // on the boost box, which starts off
        int32_t latencyAfter, boostAfter;
    } cases[] = {{JAPANESE, " 250", "\t12", 1, 250, 12},
                 {ENGLISH, "letters", "", 2, 0, 0},
                 {JAPANESE, "-5", "-12x", 0, -5, 12},
                 {ENGLISH, "123456789012345678901234567890", "40x", 3, INT32_MAX, 40},
                 {ENGLISH, "-123456789012345678901234567890", "-30", 1, INT32_MIN, -30}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.latency);
        Settings s;
        s.p.m_DriverType = MME;
        s.p.m_Latency = 900;   // shown as 500
        s.p.m_BoostLevel = -4; // shown as 0
        s.p.m_Frequency = 22050;
        s.p.m_InChannels = 7;
        AudioDialog d(c.language);
        ASSERT_NE(d.w, nullptr);
        EXPECT_EQ(ui::GetItemText(d.w, IDC_LATENCY), "500");
        EXPECT_EQ(ui::GetItemText(d.w, IDC_BOOST_LEVEL), "0");
        EXPECT_EQ(Selected(d.w, IDC_DEV_FREQ), "");
        EXPECT_EQ(Selected(d.w, IDC_DEV_CHANNELS), "2ch (stereo)");
        EXPECT_EQ(Lines(d.w, IDC_DEV_CHANNELS).at(3),
                  c.language == JAPANESE ? "2ch (R-chのみ)" : "2ch (only R)");
        ui::SetItemText(d.w, IDC_LATENCY, c.latency);
        ui::SetItemText(d.w, IDC_BOOST_LEVEL, c.boost);
        for (int i = 0; i < c.clicks; ++i)
            Click(d.w, IDC_BOOST_ON);
        EXPECT_EQ(Checked(d.w, IDC_BOOST_ON), c.clicks % 2 == 1);
        Command(d.w, IDOK);
        EXPECT_EQ(s.p.m_Latency, c.latencyAfter);
        EXPECT_EQ(s.p.m_BoostLevel, c.boostAfter);
        EXPECT_EQ(s.p.m_BoostOn, c.clicks % 2);
        EXPECT_EQ(s.p.m_Frequency, 22050);
        EXPECT_EQ(s.p.m_InChannels, 2);
        EXPECT_EQ(s.p.m_DataBits, 16);
        EXPECT_EQ(s.Reload()->m_Latency, c.latencyAfter);
    }
}

TEST(SettingsAudioDialog, CancelChangesNothing) {
    REQUIRE_SINKS(ListFamily(WASAPI));
    for (int language : {ENGLISH, JAPANESE}) {
        Settings s;
        s.p.m_DriverType = MME;
        s.p.m_CapDeviceName = "Monitor of LineOut";
        const std::string before = s.p.BuildDocument();
        AudioDialog d(language);
        ASSERT_NE(d.w, nullptr);
        ui::ComboSelect(GetDlgItem(d.w, IDC_DRIVER), WASAPI);
        Command(d.w, IDC_DRIVER, CBN_SELCHANGE);
        ui::ComboSelect(GetDlgItem(d.w, IDC_DEV_CAPTURE),
                        LineOf(Lines(d.w, IDC_DEV_CAPTURE), "Speakers(Loopback)"));
        ui::SetItemText(d.w, IDC_LATENCY, "20");
        Click(d.w, IDC_BOOST_ON);
        ui::ComboSelect(GetDlgItem(d.w, IDC_DEV_FREQ), 0);
        Command(d.w, IDCANCEL);
        EXPECT_FALSE(IsWindow(d.w));
        EXPECT_EQ(s.p.BuildDocument(), before) << language;
        EXPECT_EQ(s.FileText(), "") << language;
    }
}

TEST(SettingsAudioDialog, FamilyWithoutDevicesSaysSoAndOkKeepsTheOldDevice) {
    struct Case {
        int language;
        std::vector<std::wstring> capture, render;
        const char *captureLine, *monitorLine;
    } cases[] = {{ENGLISH, {}, {}, "(no device)", "(no device)"},
                 {JAPANESE, {}, {}, "(デバイスなし)", "(デバイスなし)"},
                 {ENGLISH, {}, {L"Out A"}, "(no device)", "Out A"},
                 {JAPANESE, {L"マイク"}, {}, "マイク", "(デバイスなし)"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.captureLine << " " << c.monitorLine);
        Settings s;
        s.p.m_CapDeviceName = "Old Mic";
        s.p.m_CapDeviceId = "{old-mic}";
        s.p.m_Loopback = 1;
        s.p.m_MonDeviceName = "Old Out";
        s.p.m_MonDeviceId = "{old-out}";
        CTestDriverFactory factory;
        factory.m_ConfigureCapture = [&](CTestCapture& capture) { capture.SetDevices(c.capture); };
        factory.m_ConfigureRender = [&](CTestRenderer& render) { render.SetDevices(c.render); };
        AudioDialog d(c.language, &factory);
        ASSERT_NE(d.w, nullptr);
        const bool noCapture = c.capture.empty(), noMonitor = c.render.empty();
        EXPECT_EQ(Lines(d.w, IDC_DEV_CAPTURE), std::vector<std::string>{c.captureLine});
        EXPECT_EQ(Selected(d.w, IDC_DEV_CAPTURE), c.captureLine); // the disabled line still says why
        EXPECT_EQ(IsWindowEnabled(GetDlgItem(d.w, IDC_DEV_CAPTURE)) == 0, noCapture);
        EXPECT_EQ(Lines(d.w, IDC_DEV_MONITOR), std::vector<std::string>{c.monitorLine});
        EXPECT_EQ(IsWindowEnabled(GetDlgItem(d.w, IDC_DEV_MONITOR)) == 0, noMonitor);
        Command(d.w, IDOK);
        EXPECT_EQ(s.p.m_CapDeviceName.Str(), noCapture ? "Old Mic" : c.captureLine);
        EXPECT_EQ(s.p.m_CapDeviceId.Str(), noCapture ? "{old-mic}" : std::string("test:") + c.captureLine);
        EXPECT_EQ(s.p.m_Loopback, noCapture ? 1 : 0);
        EXPECT_EQ(s.p.m_MonDeviceName.Str(), noMonitor ? "Old Out" : c.monitorLine);
        EXPECT_EQ(s.p.m_MonDeviceId.Str(), noMonitor ? "{old-out}" : std::string("test:") + c.monitorLine);
    }
}

// Run shows the language's template modally and answers what ended it.
template <class Dialog> struct EndsAtOnce : Dialog {
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
        const char *audioTitle, *recTitle;
    } cases[] = {{JAPANESE, IDOK, 1, "オーディオ･デバイス", "録音設定"},
                 {ENGLISH, IDCANCEL, 0, "Audio Device", "Recording"}};
    for (const Case& c : cases) {
        Settings s;
        CTestDriverFactory factory;
        EndsAtOnce<CSettingAudioDialog> audio(c.button, c.language, static_cast<CDriverFactory*>(&factory));
        EXPECT_EQ(audio.Run(GetModuleHandleW(nullptr), nullptr), c.result);
        EXPECT_EQ(audio.m_Title, c.audioTitle);
        EndsAtOnce<CSettingRecDialog> rec(c.button, c.language);
        EXPECT_EQ(rec.Run(GetModuleHandleW(nullptr), nullptr), c.result);
        EXPECT_EQ(rec.m_Title, c.recTitle);
        EXPECT_EQ(s.FileText().empty(), c.button == IDCANCEL);
    }
}

// ---------------------------------------------------------------- recording dialog

// Answers the folder browser and the message box in place of the user.
struct ScriptedRecDialog : CSettingRecDialog {
    using CSettingRecDialog::CSettingRecDialog;
    bool BrowseForFolder(HWND, std::string* folder) override {
        m_BrowseStart = *folder;
        if (m_Picked.empty()) return false; // cancelled
        *folder = m_Picked;
        return true;
    }
    int ShowMessage(HWND owner, const std::string& text, UINT) override {
        m_Messages.push_back(text);
        m_MessageOwner = owner;
        return IDOK;
    }
    std::string m_Picked, m_BrowseStart;
    std::vector<std::string> m_Messages;
    HWND m_MessageOwner = nullptr;
};
struct RecDialog {
    ScriptedRecDialog dialog;
    HWND w;
    explicit RecDialog(int language)
        : dialog(language), w(dialog.Create(GetModuleHandleW(nullptr), dialog.TemplateId(), nullptr)) {}
};

TEST(SettingsRecDialog, ListsInBothLanguagesAndUnlistedValuesSurviveOk) {
    struct Case {
        int language, recFileChannel, playFileMode;
        const char *channelShown, *playShown; // "" for no selection
    } cases[] = {{JAPANESE, 1, 2, "mono(1ch) → stereo(2ch)", "L-chに録音する"},
                 {ENGLISH, 1, 3, "mono(1ch) to stereo(2ch)", "Record on R-ch"},
                 {ENGLISH, 5, 0, "", "Do not record"},
                 {JAPANESE, 0, 9, "キャプチャの設定に従う", ""}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.language << " " << c.recFileChannel << " " << c.playFileMode);
        Settings s;
        s.p.m_RecFileChannel = c.recFileChannel;
        s.p.m_PlayFileMode = c.playFileMode;
        RecDialog d(c.language);
        ASSERT_NE(d.w, nullptr);
        EXPECT_EQ(Lines(d.w, IDC_REC_CHANNEL).size(), 2u);
        EXPECT_EQ(Lines(d.w, IDC_PLAY_MODE).size(), 4u);
        EXPECT_EQ(Selected(d.w, IDC_REC_CHANNEL), c.channelShown);
        EXPECT_EQ(Selected(d.w, IDC_PLAY_MODE), c.playShown);
        Command(d.w, IDOK);
        EXPECT_FALSE(IsWindow(d.w));
        EXPECT_EQ(s.p.m_RecFileChannel, c.recFileChannel);
        EXPECT_EQ(s.p.m_PlayFileMode, c.playFileMode);
    }
}

TEST(SettingsRecDialog, FolderBrowserReplacesTheTextOnlyWhenAFolderIsPicked) {
    Settings s;
    s.p.m_WavePath = "C:\\rec";
    RecDialog d(JAPANESE);
    ASSERT_NE(d.w, nullptr);
    std::string shown = "C:\\rec";
    for (const char* picked : {"", "Z:\\tmp\\録音 フォルダ", ""}) {
        d.dialog.m_Picked = picked;
        d.dialog.m_BrowseStart = "?";
        Click(d.w, IDC_SAVE_BROWSE);
        EXPECT_EQ(d.dialog.m_BrowseStart, shown); // it opens where the text points
        if (*picked) shown = picked;
        EXPECT_EQ(ui::GetItemText(d.w, IDC_SAVE_FOLDER), shown);
    }
    Command(d.w, IDCANCEL);
    EXPECT_EQ(s.p.m_WavePath.Str(), "C:\\rec");
}

TEST(SettingsRecDialog, OkRefusesAFolderThatCannotTakeRecordings) {
    struct Case {
        int language;
        const wchar_t* folder; // under the scratch folder unless it starts with a drive
        const char* refusal;   // the message's opening, null when accepted
    } cases[] = {{ENGLISH, L"録音 フォルダ 2026", nullptr},
                 {JAPANESE, L"録音 フォルダ 2026", nullptr},
                 {ENGLISH, L"", nullptr}, // the current folder
                 {ENGLISH, L"no such 録音", "The save folder does not exist."},
                 {JAPANESE, L"no such 録音", "保存先フォルダが見つかりません。"},
                 {ENGLISH, L"sonvel.ini", "The save folder does not exist."}, // a file
                 // Nothing can create a file in /proc, not even root.
                 {ENGLISH, L"Z:\\proc", "The save folder cannot be written to."},
                 {JAPANESE, L"Z:\\proc", "保存先フォルダに書き込めません。"}};
    for (const Case& c : cases) {
        Settings s;
        fs::create_directories(s.dir / L"録音 フォルダ 2026");
        std::ofstream(s.dir / L"sonvel.ini") << "<config/>";
        const fs::path path(c.folder);
        const std::string folder =
            *c.folder == 0 || path.has_root_name() ? s.Utf8(path) : s.Utf8(s.dir / path);
        SCOPED_TRACE(folder);
        s.p.m_WavePath = "C:\\before";
        RecDialog d(c.language);
        ASSERT_NE(d.w, nullptr);
        ui::SetItemText(d.w, IDC_SAVE_FOLDER, folder);
        ui::ComboSelect(GetDlgItem(d.w, IDC_PLAY_MODE), 3);
        Command(d.w, IDOK);
        if (!c.refusal) {
            EXPECT_FALSE(IsWindow(d.w));
            EXPECT_TRUE(d.dialog.m_Messages.empty());
            EXPECT_EQ(s.p.m_PlayFileMode, 3);
            EXPECT_EQ(s.Reload()->m_WavePath.Str(), folder);
            continue;
        }
        EXPECT_TRUE(IsWindow(d.w));
        ASSERT_EQ(d.dialog.m_Messages.size(), 1u);
        EXPECT_EQ(d.dialog.m_Messages[0].rfind(c.refusal, 0), 0u) << d.dialog.m_Messages[0];
        EXPECT_NE(d.dialog.m_Messages[0].find(folder), std::string::npos);
        EXPECT_EQ(d.dialog.m_MessageOwner, d.w);
        EXPECT_EQ(ui::GetItemText(d.w, IDC_SAVE_FOLDER), folder); // left for the user to mend
        EXPECT_EQ(s.p.m_WavePath.Str(), "C:\\before");
        EXPECT_EQ(s.p.m_PlayFileMode, 1);
        EXPECT_EQ(s.FileText(), "<config/>");
        // Mended, the same dialog takes it.
        ui::SetItemText(d.w, IDC_SAVE_FOLDER, s.Utf8(s.dir));
        Command(d.w, IDOK);
        EXPECT_FALSE(IsWindow(d.w));
        EXPECT_EQ(s.p.m_WavePath.Str(), s.Utf8(s.dir));
    }
}

TEST(SettingsRecDialog, FeatureSwitchesAreStoredAndSurviveARestart) {
    struct Case {
        int language, effectBefore, voiceBefore;
        bool clickEffect, clickVoice;
    } cases[] = {{JAPANESE, 0, 0, true, true},
                 {ENGLISH, 1, 1, true, false},
                 {ENGLISH, 1, 1, true, true},
                 {JAPANESE, 0, 1, false, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.language << " " << c.effectBefore << c.voiceBefore);
        const int effect = c.effectBefore ^ c.clickEffect, voice = c.voiceBefore ^ c.clickVoice;
        Settings s;
        s.p.m_EnableEffect = c.effectBefore;
        s.p.m_EnableVoiceCancel = s.p.m_VoiceCancel = c.voiceBefore;
        RecDialog d(c.language);
        ASSERT_NE(d.w, nullptr);
        EXPECT_EQ(Checked(d.w, IDC_USE_EFFECT) * 2 + Checked(d.w, IDC_USE_VOICE_CANCEL),
                  c.effectBefore * 2 + c.voiceBefore);
        if (c.clickEffect) Click(d.w, IDC_USE_EFFECT);
        if (c.clickVoice) Click(d.w, IDC_USE_VOICE_CANCEL);
        Command(d.w, IDOK);
        EXPECT_EQ(s.p.m_EnableEffect, effect);
        EXPECT_EQ(s.p.m_EnableVoiceCancel, voice);
        // A hidden V.CUT button leaves no stage running; a shown one does not start it.
        EXPECT_EQ(s.p.m_VoiceCancel, voice & c.voiceBefore);
        std::unique_ptr<CAppParameter> again = s.Reload();
        EXPECT_EQ(again->m_EnableEffect, effect);
        EXPECT_EQ(again->m_EnableVoiceCancel, voice);
        // A switch that is off is not written at all.
        EXPECT_EQ(s.FileText().find("<enable_effect>") != std::string::npos, effect == 1);
        EXPECT_EQ(s.FileText().find("<enable_voice_cancel>") != std::string::npos, voice == 1);
    }
}

// ---------------------------------------------------------------- layout

int TextWidth(HWND control, const std::string& text) {
    HDC dc = GetDC(control);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(control, WM_GETFONT, 0, 0)));
    RECT r{0, 0, 0, 0};
    DrawTextW(dc, plat::Utf8ToWide(text).c_str(), -1, &r, DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
    SelectObject(dc, old);
    ReleaseDC(control, dc);
    return r.right;
}

// Every text fits its control in the dialog's own font, every control lies
// inside the dialog, and no two controls (group boxes aside) overlap.
void ExpectNothingClipped(HWND dialog) {
    RECT client;
    GetClientRect(dialog, &client);
    std::vector<std::pair<HWND, RECT>> controls;
    for (HWND c = GetWindow(dialog, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        RECT r;
        GetWindowRect(c, &r);
        MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
        wchar_t cls[32] = {};
        GetClassNameW(c, cls, 32);
        const LONG kind = GetWindowLongW(c, GWL_STYLE) & BS_TYPEMASK;
        const std::string text = ui::GetText(c);
        SCOPED_TRACE(plat::WideToUtf8(cls) + " " + text);
        RECT inside;
        IntersectRect(&inside, &r, &client);
        EXPECT_TRUE(EqualRect(&inside, &r));
        int padding = -1; // -1: no text to measure
        if (_wcsicmp(cls, L"Static") == 0) padding = 0;
        if (_wcsicmp(cls, L"Button") == 0) {
            if (kind == BS_GROUPBOX)
                padding = 16;
            else if (kind == BS_CHECKBOX || kind == BS_AUTOCHECKBOX)
                padding = GetSystemMetrics(SM_CXMENUCHECK) + 6;
            else
                padding = 8;
        }
        if (padding >= 0) {
            EXPECT_LE(TextWidth(c, text) + padding, r.right - r.left);
        }
        if (_wcsicmp(cls, L"ComboBox") == 0) {
            for (const std::string& line : Lines(dialog, GetDlgCtrlID(c)))
                EXPECT_LE(TextWidth(c, line) + GetSystemMetrics(SM_CXVSCROLL) + 6, r.right - r.left) << line;
        }
        if (_wcsicmp(cls, L"Button") != 0 || kind != BS_GROUPBOX) controls.push_back({c, r});
    }
    for (size_t i = 0; i < controls.size(); ++i)
        for (size_t j = i + 1; j < controls.size(); ++j) {
            RECT both;
            EXPECT_FALSE(IntersectRect(&both, &controls[i].second, &controls[j].second))
                << ui::GetText(controls[i].first) << " / " << ui::GetText(controls[j].first);
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
        for (DWORD end = GetTickCount() + ms; GetTickCount() < end; Sleep(10))
            for (MSG m; PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE);)
                DispatchMessageW(&m);
    };
    ShowWindow(dialog, SW_SHOWNOACTIVATE);
    pump(500);
    RECT r;
    GetWindowRect(dialog, &r);
    const fs::path base = fs::path(plat::Utf8ToWide(dir)) / name;
    fs::path png = base, rect = base, part = base;
    png += L".png";
    rect += L".rect";
    part += L".part";
    std::error_code ignored;
    fs::remove(png, ignored);
    std::ofstream(part) << r.right - r.left << "x" << r.bottom - r.top << "+" << r.left << "+" << r.top
                        << "\n";
    fs::rename(part, rect, ignored);
    for (int i = 0; i < 200 && !fs::exists(png); ++i)
        pump(50);
    ShowWindow(dialog, SW_HIDE);
}

TEST(SettingsDialogs, NothingIsClippedInEitherLanguage) {
    for (int language : {JAPANESE, ENGLISH}) {
        SCOPED_TRACE(language);
        Settings s;
        s.p.m_CapDeviceName = "Speakers";
        s.p.m_Loopback = 1;
        s.p.m_WavePath = "C:\\users\\録音 フォルダ";
        s.p.m_EnableEffect = 1;
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
