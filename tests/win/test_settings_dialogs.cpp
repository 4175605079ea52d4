// The device and recording settings dialogs from the shipped templates. The
// device lists come from the real MME and WASAPI drivers on the test bed's
// null sinks ("Speakers", "LineOut"); the test driver pair stands in where a
// family has no devices. The list, number and folder rules have their own
// tables in tests/core; here each is proven to reach the settings through OK.
#include "drivers/CWinDriverFactory.h"
#include "drivers/test/CTestDriverFactory.h"
#include "platform/Platform.h"
#include "res/resource.h"
#include "settings/CAppParameter.h"
#include "ui/CSettingAudioDialog.h"
#include "ui/CSettingRecDialog.h"
#include "ui/Controls.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

namespace {

namespace fs = std::filesystem;
constexpr int MME = 1, WASAPI = 0, ENGLISH = 0, JAPANESE = 1;

// A settings singleton of its own, its file in a scratch folder.
struct Settings {
    fs::path dir = fs::temp_directory_path() / ("sonvel_dlg_" + std::to_string(GetCurrentProcessId()));
    CAppParameter p;
    CAppParameter* old = g_pAppParameter;
    Settings() {
        fs::create_directories(dir);
        p.m_IniFile = CString((dir / L"sonvel.ini").wstring().c_str());
        g_pAppParameter = &p;
    }
    ~Settings() {
        g_pAppParameter = old;
        std::error_code ignored;
        fs::remove_all(dir, ignored);
    }
    bool Saved() const { return fs::exists(dir / L"sonvel.ini"); }
};

// A dialog from its language's template, modeless so a test can drive it.
template <class Dialog> struct Open : Dialog {
    HWND w;
    template <class... Args>
    explicit Open(Args... args)
        : Dialog(args...), w(Dialog::Create(GetModuleHandleW(nullptr), Dialog::TemplateId(), nullptr)) {}
    void Command(int id, int code = BN_CLICKED) {
        SendMessageW(w, WM_COMMAND, MAKEWPARAM(id, code), reinterpret_cast<LPARAM>(GetDlgItem(w, id)));
    }
    void Click(int id) { SendDlgItemMessageW(w, id, BM_CLICK, 0, 0); }
    std::vector<std::string> Lines(int id) {
        std::vector<std::string> lines;
        for (int i = 0; i < ui::ComboCount(GetDlgItem(w, id)); ++i)
            lines.push_back(ui::ComboLineText(GetDlgItem(w, id), i));
        return lines;
    }
    std::string Selected(int id) { // "" for none
        return ui::ComboLineText(GetDlgItem(w, id), ui::ComboSelection(GetDlgItem(w, id)));
    }
    void Choose(int id, int line) {
        ui::ComboSelect(GetDlgItem(w, id), line);
        Command(id, CBN_SELCHANGE);
    }
};
using AudioDialog = Open<CSettingAudioDialog>;

int LoopbackLines(const std::vector<std::string>& lines) {
    return static_cast<int>(std::count_if(lines.begin(), lines.end(), [](const std::string& line) {
        return line.find("(Loopback)") != std::string::npos;
    }));
}

TEST(SettingsAudioDialog, FamilySwitchRefillsTheListsAndOkStoresTheChosenLine) {
    struct Case {
        int from, to;
        const char* shownAfter; // the stored loopback device, or the first line
        int loopbackAfter;
    } cases[] = {{WASAPI, MME, nullptr, 0}, {MME, WASAPI, "Speakers(Loopback)", 1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.from);
        Settings s;
        s.p.m_DriverType = c.from;
        s.p.m_CapDeviceName = "Speakers";
        s.p.m_Loopback = 1;
        s.p.m_MonDeviceName = "LineOut";
        CWinDriverFactory drivers;
        AudioDialog d(ENGLISH, &drivers);
        ASSERT_NE(d.w, nullptr);
        if (c.from == WASAPI && LoopbackLines(d.Lines(IDC_DEV_CAPTURE)) == 0)
            GTEST_SKIP() << "the test bed's null sinks are not here";
        EXPECT_EQ(LoopbackLines(d.Lines(IDC_DEV_CAPTURE)) > 0, c.from == WASAPI);
        d.Choose(IDC_DRIVER, c.to);
        const std::vector<std::string> capture = d.Lines(IDC_DEV_CAPTURE);
        EXPECT_EQ(LoopbackLines(capture) > 0, c.to == WASAPI);
        const std::string shown = c.shownAfter ? c.shownAfter : capture.at(0);
        EXPECT_EQ(d.Selected(IDC_DEV_CAPTURE), shown);
        EXPECT_EQ(d.Selected(IDC_DEV_MONITOR), "LineOut");
        d.Command(IDOK);
        EXPECT_FALSE(IsWindow(d.w));
        EXPECT_TRUE(s.Saved());
        EXPECT_EQ(s.p.m_DriverType, c.to);
        EXPECT_EQ(s.p.m_CapDeviceName.Str() + (s.p.m_Loopback ? "(Loopback)" : ""), shown);
        EXPECT_EQ(s.p.m_Loopback, c.loopbackAfter);
        // Only WASAPI names its devices by endpoint.
        EXPECT_EQ(s.p.m_CapDeviceId.IsEmpty() || s.p.m_MonDeviceId.IsEmpty(), c.to == MME);
    }
}

TEST(SettingsAudioDialog, OkStoresTheTypedNumbersAndKeepsAnUnlistedRate) {
    Settings s;
    s.p.m_DriverType = MME;
    s.p.m_Latency = 900; // shown as 500
    s.p.m_Frequency = 22050;
    s.p.m_InChannels = 7;
    CTestDriverFactory factory;
    AudioDialog d(JAPANESE, &factory);
    ASSERT_NE(d.w, nullptr);
    EXPECT_EQ(ui::GetItemText(d.w, IDC_LATENCY), "500");
    EXPECT_EQ(d.Selected(IDC_DEV_FREQ), "");
    EXPECT_EQ(d.Selected(IDC_DEV_CHANNELS), "2ch (stereo)");
    ui::SetItemText(d.w, IDC_LATENCY, " 250");
    ui::SetItemText(d.w, IDC_BOOST_LEVEL, "-12x");
    d.Click(IDC_BOOST_ON);
    d.Command(IDOK);
    EXPECT_EQ(std::vector<int32_t>(
                  {s.p.m_Latency, s.p.m_BoostLevel, s.p.m_BoostOn, s.p.m_Frequency, s.p.m_InChannels}),
              std::vector<int32_t>({250, 12, 1, 22050, 2}));
    EXPECT_TRUE(s.Saved());
}

TEST(SettingsAudioDialog, CancelChangesNothing) {
    Settings s;
    s.p.m_DriverType = MME;
    const std::string before = s.p.BuildDocument();
    CWinDriverFactory drivers;
    AudioDialog d(ENGLISH, &drivers);
    ASSERT_NE(d.w, nullptr);
    d.Choose(IDC_DRIVER, WASAPI);
    ui::ComboSelect(GetDlgItem(d.w, IDC_DEV_CAPTURE), 1);
    ui::SetItemText(d.w, IDC_LATENCY, "20");
    d.Command(IDCANCEL);
    EXPECT_FALSE(IsWindow(d.w));
    EXPECT_EQ(s.p.BuildDocument(), before);
    EXPECT_FALSE(s.Saved());
}

TEST(SettingsAudioDialog, AFamilyWithoutCaptureDevicesSaysSoAndOkKeepsTheOldOne) {
    Settings s;
    s.p.m_CapDeviceName = "Old Mic";
    s.p.m_CapDeviceId = "{old-mic}";
    s.p.m_Loopback = 1;
    CTestDriverFactory factory;
    factory.m_ConfigureCapture = [](CTestCapture& capture) { capture.SetDevices({}); };
    factory.m_ConfigureRender = [](CTestRenderer& render) { render.SetDevices({L"Out A"}); };
    AudioDialog d(ENGLISH, &factory);
    ASSERT_NE(d.w, nullptr);
    EXPECT_EQ(d.Lines(IDC_DEV_CAPTURE), std::vector<std::string>{"(no device)"});
    EXPECT_EQ(d.Selected(IDC_DEV_CAPTURE), "(no device)");
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(d.w, IDC_DEV_CAPTURE)));
    d.Command(IDOK);
    EXPECT_EQ(s.p.m_CapDeviceName.Str() + s.p.m_CapDeviceId.Str(), "Old Mic{old-mic}");
    EXPECT_EQ(s.p.m_Loopback, 1);
    EXPECT_EQ(s.p.m_MonDeviceName.Str(), "Out A");
}

// Answers the folder browser and the message box in place of the user.
struct ScriptedRecDialog : CSettingRecDialog {
    using CSettingRecDialog::CSettingRecDialog;
    bool BrowseForFolder(HWND, std::string* folder) override {
        if (m_Picked.empty()) return false; // cancelled
        *folder = m_Picked;
        return true;
    }
    int ShowMessage(HWND owner, const std::string& text, UINT) override {
        m_Messages.push_back(owner == m_hWnd ? text : "(not over the dialog) " + text);
        return IDOK;
    }
    std::string m_Picked;
    std::vector<std::string> m_Messages;
};
using RecDialog = Open<ScriptedRecDialog>;

TEST(SettingsRecDialog, BrowsedFolderIsCheckedAtOkAndAnUnlistedChannelModeKept) {
    struct Case {
        const wchar_t* folder; // under the scratch folder unless it has a drive
        bool refused;
    } cases[] = {{L"録音 フォルダ 2026", false}, {L"no such 録音", true}, {L"Z:\\proc", true}};
    for (const Case& c : cases) {
        Settings s;
        fs::create_directories(s.dir / L"録音 フォルダ 2026");
        const fs::path path(c.folder);
        const std::string folder = plat::WideToUtf8((path.has_root_name() ? path : s.dir / path).wstring());
        SCOPED_TRACE(folder);
        s.p.m_WavePath = "C:\\before";
        s.p.m_RecFileChannel = 5;
        RecDialog d(ENGLISH);
        ASSERT_NE(d.w, nullptr);
        EXPECT_EQ(d.Selected(IDC_REC_CHANNEL), "");
        for (const std::string& picked : {std::string(), folder, std::string()}) { // a cancel keeps the text
            d.m_Picked = picked;
            d.Click(IDC_SAVE_BROWSE);
        }
        EXPECT_EQ(ui::GetItemText(d.w, IDC_SAVE_FOLDER), folder);
        d.Choose(IDC_PLAY_MODE, 3);
        d.Command(IDOK);
        EXPECT_EQ(IsWindow(d.w) != 0, c.refused);
        ASSERT_EQ(d.m_Messages.size(), c.refused ? 1u : 0u);
        for (const std::string& m : d.m_Messages) // over the dialog, naming the folder
            EXPECT_NE(m.find("\n" + folder + "\n"), std::string::npos) << m;
        EXPECT_EQ(s.p.m_WavePath.Str(), c.refused ? "C:\\before" : folder);
        EXPECT_EQ(s.p.m_PlayFileMode, c.refused ? 1 : 3);
        EXPECT_EQ(s.Saved(), !c.refused);
        EXPECT_EQ(s.p.m_RecFileChannel, 5);
    }
}

TEST(SettingsRecDialog, FeatureSwitchesAreStored) {
    struct Case {
        int before, after; // effect * 2 + voice cancel
    } cases[] = {{0, 3}, {3, 1}, {1, 0}};
    for (const Case& c : cases) {
        Settings s;
        s.p.m_EnableEffect = c.before >> 1;
        s.p.m_EnableVoiceCancel = s.p.m_VoiceCancel = c.before & 1;
        RecDialog d(JAPANESE);
        ASSERT_NE(d.w, nullptr);
        if ((c.before ^ c.after) & 2) d.Click(IDC_USE_EFFECT);
        if ((c.before ^ c.after) & 1) d.Click(IDC_USE_VOICE_CANCEL);
        d.Command(IDOK);
        EXPECT_TRUE(s.Saved());
        EXPECT_EQ(s.p.m_EnableEffect * 2 + s.p.m_EnableVoiceCancel, c.after);
        EXPECT_EQ(s.p.m_VoiceCancel, c.before & c.after & 1); // a hidden V.CUT button leaves no stage running
    }
}

} // namespace
