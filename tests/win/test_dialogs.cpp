// The effect editor and chooser on a real effect manager, the device and
// recording settings dialogs from the shipped templates, and the look of all
// four in each language's font. The list, move, slider, number and folder
// rules have their own tables in tests/core; here each is proven to reach the
// list, the chain, the sound, the settings and the files. The device lists
// come from the real MME and WASAPI drivers on the test bed's null sinks
// ("Speakers", "LineOut"); the test driver pair stands in where a family must
// have no devices.
#include "drivers/CWinDriverFactory.h"
#include "drivers/test/CTestDriverFactory.h"
#include "effects/CEffectList.h"
#include "effects/CEffectManager.h"
#include "engine/AudioMessages.h"
#include "res/resource.h"
#include "settings/CAppParameter.h"
#include "tests/win/WinTestUtil.h"
#include "ui/CEffectSelectDialog.h"
#include "ui/CEffectSettingDialog.h"
#include "ui/CSettingAudioDialog.h"
#include "ui/CSettingRecDialog.h"
#include "ui/Controls.h"

#include <algorithm>
#include <fstream>
#include <sstream>

namespace {

namespace fs = std::filesystem;
using wintest::Module;
using wintest::ScratchDir;
constexpr int MME = 1, WASAPI = 0, ENGLISH = 0, JAPANESE = 1;

std::vector<std::string> Names(const std::vector<int32_t>& types) {
    std::vector<std::string> names;
    for (int32_t t : types)
        names.push_back(plat::WideToUtf8(GetEffectTypeInfo(t)->name));
    return names;
}

bool IsClass(HWND c, const wchar_t* name) {
    wchar_t cls[32] = {};
    GetClassNameW(c, cls, 32);
    return _wcsicmp(cls, name) == 0;
}

// The lines of a list box or a combo box.
std::vector<std::string> Lines(HWND c) {
    std::vector<std::string> lines;
    const bool list = IsClass(c, L"ListBox");
    for (int i = 0, n = list ? ui::ListCount(c) : ui::ComboCount(c); i < n; ++i)
        lines.push_back(list ? ui::ListLineText(c, i) : ui::ComboLineText(c, i));
    return lines;
}

// ---------------------------------------------------------------- effects

// A dialog window driven through its controls.
struct Driven {
    HWND w = nullptr;
    HWND Item(int id) const { return GetDlgItem(w, id); }
    std::string Text(int id) const { return ui::GetItemText(w, id); }
    void Command(int id, int code = BN_CLICKED) const { wintest::Command(w, id, code); }
    void Click(int id) const { SendDlgItemMessageW(w, id, BM_CLICK, 0, 0); }
    std::vector<std::string> Lines(int id) const { return ::Lines(Item(id)); }
    std::string Selected(int id) const { // "" for none
        return ui::ComboLineText(Item(id), ui::ComboSelection(Item(id)));
    }
    void Choose(int id, int line) const {
        ui::ComboSelect(Item(id), line);
        Command(id, CBN_SELCHANGE);
    }
};

// The process-wide manager for one test.
struct ManagerScope {
    CEffectManager manager;
    CEffectManager* old = g_pEffectManager;
    ManagerScope() { g_pEffectManager = &manager; }
    ~ManagerScope() { g_pEffectManager = old; }
    std::vector<int32_t> Chain() {
        std::vector<int32_t> types;
        for (int p = 0; manager.GetEffectType(p) >= 0; ++p)
            types.push_back(manager.GetEffectType(p));
        return types;
    }
};

// An editor window on a manager of its own; the chooser's answer is set
// beforehand.
struct Rig : ManagerScope, Driven {
    struct Editor : CEffectSettingDialog {
        int32_t m_Answer = -1;
        int32_t ChooseType() override { return m_Answer; }
    } dialog;
    Rig(int language, const std::string& chainPath, HWND owner = nullptr, int32_t rate = 48000) {
        dialog.SetLanguage(language);
        dialog.SetOwner(owner);
        dialog.SetSampleRate(rate);
        dialog.SetChainPath(CString(chainPath));
        w = dialog.Show(Module());
    }
    void Select(int row) {
        SendMessageW(Item(IDC_EFFECT_LIST), LB_SETCURSEL, static_cast<WPARAM>(row), 0);
        Command(IDC_EFFECT_LIST, LBN_SELCHANGE);
    }
    void Add(int32_t type) {
        dialog.m_Answer = type;
        Command(IDC_EFFECT_ADD);
    }
    void Slide(int group, int32_t pos) {
        SendMessageW(Item(IDC_EFFECT_SLIDER0 + group), TBM_SETPOS, TRUE, pos);
        SendMessageW(w, WM_HSCROLL, TB_THUMBTRACK,
                     reinterpret_cast<LPARAM>(Item(IDC_EFFECT_SLIDER0 + group)));
    }
    int VisibleSliders() const {
        int n = 0;
        for (int i = 0; i < EFFECT_GROUPS; ++i)
            n += IsWindowVisible(Item(IDC_EFFECT_SLIDER0 + i)) ? 1 : 0;
        return n;
    }
};

TEST(EffectDialog, ListEditsReachTheListAndTheChainInOrder) {
    // p: append a type (no row selected), a: add a type at the selection,
    // s: select a row, u/d: up/down, x: delete.
    struct Case {
        const char* steps;
        std::vector<int32_t> rows;
        int selection, upDown; // upDown: Up enabled * 2 + Down enabled
    } cases[] = {
        {"p1 p2 p5 s1 a4", {1, 4, 2, 5}, 1, 3}, // before the selected row (where else: tests/core)
        {"p1 p2 p5 s2 u", {1, 5, 2}, 1, 3},     //
        {"p1 p2 p5 s0 d", {2, 1, 5}, 1, 3},     //
        {"p1 p2 p5 s2 x", {1, 2}, 1, 2},        // the one before takes the last one's place
        {"p7 x", {}, -1, 0},                    // the last one gone hides the groups
    };
    ScratchDir dir("fx-list");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.steps);
        Rig r((&c - cases) & 1, dir.File("chain.xml")); // both templates, alternately
        std::istringstream steps(c.steps);
        for (char op; steps >> op;) {
            int arg = 0;
            if (std::strchr("pas", op)) steps >> arg;
            if (op == 'p') r.Select(-1);
            if (op == 'p' || op == 'a') r.Add(arg);
            if (op == 's') r.Select(arg);
            if (std::strchr("udx", op))
                r.Command(op == 'u' ? IDC_EFFECT_UP : op == 'd' ? IDC_EFFECT_DOWN : IDC_EFFECT_DEL);
        }
        const std::vector<std::string> rows = r.Lines(IDC_EFFECT_LIST);
        EXPECT_EQ(rows, Names(c.rows));
        EXPECT_EQ(r.Chain(), c.rows);
        EXPECT_EQ(ui::ListSelection(r.Item(IDC_EFFECT_LIST)), c.selection);
        EXPECT_EQ(IsWindowEnabled(r.Item(IDC_EFFECT_UP)) * 2 + IsWindowEnabled(r.Item(IDC_EFFECT_DOWN)),
                  c.upDown);
        EXPECT_EQ(r.Text(IDC_EFFECT_NAME), c.selection < 0 ? "Effector Name" : rows[c.selection]);
        EXPECT_EQ(r.VisibleSliders() > 0, c.selection >= 0);
        EXPECT_EQ(IsWindowEnabled(r.Item(IDC_EFFECT_ONOFF)) != 0, c.selection >= 0);
    }
}

TEST(EffectDialog, ASliderMoveReachesTheChainAtTheEditorsRate) {
    ScratchDir dir("fx-slider");
    Rig r(0, dir.File("chain.xml"), nullptr, 44100);
    r.Add(EFFECT_EQUALIZER);
    EXPECT_EQ(r.VisibleSliders(), 9);
    r.Slide(8, -20); // 6.4 kHz
    EXPECT_EQ(r.Text(IDC_EFFECT_VALUE0 + 8), "-20");
    auto heard = [](CEffectManager& m) {
        std::vector<int16_t> tone(4800), out(4800);
        for (size_t i = 0; i < tone.size(); ++i)
            tone[i] = static_cast<int16_t>(12000 * std::sin(6.283185307179586 * 6400 * i / 44100.0));
        m.ProcessChain(tone.data(), 4800);
        m.ReadChainOutput(out.data(), 4800);
        return out;
    };
    const int32_t cut[EFFECT_MAX_VALUES] = {0, 0, 0, 0, 0, 0, 0, 0, -20};
    CEffectManager expected; // a flat one, or the same cut at 48 kHz, sounds otherwise
    expected.AddEffect(EFFECT_EQUALIZER, cut, 44100, 0);
    EXPECT_EQ(heard(r.manager), heard(expected));
}

TEST(EffectDialog, EnterAndEscapeKeepItOpenAndCloseThenShowKeepsOneChain) {
    ScratchDir dir("fx-close");
    for (int language : {1, 0}) {
        HWND owner =
            CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 9, 9, HWND_MESSAGE, nullptr, nullptr, nullptr);
        {
            Rig r(language, dir.File("chain.xml"), owner);
            r.Add(EFFECT_DELAY);
            r.Add(EFFECT_EQUALIZER); // the first row selected: appended
            for (WPARAM key : {VK_RETURN, VK_ESCAPE}) {
                SetFocus(r.Item(IDC_EFFECT_LIST));
                MSG msg{r.Item(IDC_EFFECT_LIST), WM_KEYDOWN, key, 0, 0, {0, 0}};
                IsDialogMessageW(r.w, &msg);
            }
            EXPECT_TRUE(IsWindowVisible(r.w));
            for (UINT close : {WM_COMMAND, WM_CLOSE}) { // the Close button, Alt+F4
                SendMessageW(r.w, close, IDC_EFFECT_CLOSE, 0);
                EXPECT_FALSE(IsWindowVisible(r.w));
                EXPECT_EQ(r.dialog.Show(Module()), r.w);
            }
            // Even a window made again neither reads the file nor builds the chain twice.
            DestroyWindow(r.w);
            r.w = r.dialog.Show(Module());
            EXPECT_EQ(r.Lines(IDC_EFFECT_LIST), Names({EFFECT_DELAY, EFFECT_EQUALIZER}));
            EXPECT_EQ(r.Chain(), std::vector<int32_t>({EFFECT_DELAY, EFFECT_EQUALIZER}));
        }
        int closed = 0;
        for (MSG m; PeekMessageW(&m, owner, WM_EFFECT_CLOSE, WM_EFFECT_CLOSE, PM_REMOVE);)
            ++closed;
        EXPECT_EQ(closed, 2); // the Close button and Alt+F4, neither Enter nor Escape
        DestroyWindow(owner);
    }
}

// ON/OFF, a slider, a move and a delete, saved and read back.
TEST(EffectDialog, OnOffReachesTheChainAndSaveWritesTheEdits) {
    ScratchDir dir("fx-save");
    {
        Rig r(1, dir.File("chain.xml"));
        for (int32_t type : {EFFECT_CHORUS, EFFECT_EQUALIZER, EFFECT_DELAY_ECHO}) {
            r.Select(-1);
            r.Add(type);
        }
        r.Command(IDC_EFFECT_UP);    // CHORUS, DELAY ECHO, EQUALIZER
        r.Command(IDC_EFFECT_ONOFF); // DELAY ECHO off
        EXPECT_EQ(r.manager.GetEffectEnable(0) * 100 + r.manager.GetEffectEnable(1) * 10 +
                      r.manager.GetEffectEnable(2),
                  101);
        r.Slide(1, 7);
        r.Select(0);
        r.Command(IDC_EFFECT_DEL);
        EXPECT_EQ(r.Text(IDC_EFFECT_ONOFF), "OFF"); // DELAY ECHO's own state
        ASSERT_EQ(r.dialog.SaveEffectList(), 1);
    }
    CEffectList stored;
    ASSERT_EQ(stored.LoadEffectList(CString(dir.File("chain.xml"))), 1);
    ASSERT_EQ(stored.GetCount(), 2);
    const EffectItem &echo = *stored.GetItem(0), &eq = *stored.GetItem(1);
    EXPECT_EQ(std::vector<int32_t>({echo.type, echo.enabled, echo.value[1], eq.type, eq.enabled}),
              std::vector<int32_t>({EFFECT_DELAY_ECHO, 0, 7, EFFECT_EQUALIZER, 1}));
}

// OK takes the type of the chooser's selected line (the last one too), none
// without one. (The editor's Add runs it modally: the acceptance run's effects.)
TEST(EffectSelectDialog, OkTakesTheSelectedLinesType) {
    ManagerScope m; // the names come from the manager
    for (int row : {EFFECT_TYPE_COUNT - 1, -1}) {
        CEffectSelectDialog chooser;
        HWND d = chooser.Create(Module(), CEffectSelectDialog::TemplateFor(row < 0 ? 0 : 1), nullptr);
        ASSERT_NE(d, nullptr);
        SendDlgItemMessageW(d, IDC_EFFECT_LIST, LB_SETCURSEL, static_cast<WPARAM>(row), 0);
        SendMessageW(d, WM_COMMAND, IDOK, 0);
        EXPECT_EQ(chooser.GetType(), row);
    }
}

// ---------------------------------------------------------------- settings

// A settings singleton of its own, its file in a scratch folder.
struct Settings {
    ScratchDir dir{"dlg-settings"};
    CAppParameter p;
    CAppParameter* old = g_pAppParameter;
    Settings() {
        p.m_IniFile = CString(dir.File("sonvel.ini"));
        g_pAppParameter = &p;
    }
    ~Settings() { g_pAppParameter = old; }
    bool Saved() const { return fs::exists(plat::Utf8ToWide(dir.File("sonvel.ini"))); }
};

// A dialog from its language's template, modeless so a test can drive it.
template <class Dialog> struct Open : Dialog, Driven {
    template <class... Args> explicit Open(Args... args) : Dialog(args...) {
        w = Dialog::Create(Module(), Dialog::TemplateId(), nullptr);
        EXPECT_NE(w, nullptr); // the template is there
    }
};
using AudioDialog = Open<CSettingAudioDialog>;

int LoopbackLines(const std::vector<std::string>& lines) {
    return static_cast<int>(std::count_if(lines.begin(), lines.end(), [](const std::string& line) {
        return line.find("(Loopback)") != std::string::npos;
    }));
}

TEST(SettingsAudioDialog, FamilySwitchRefillsTheListsAndOkStoresTheChosenLine) {
    // From WASAPI the first MME line is shown; back from MME the stored loopback device.
    for (auto [from, to] : {std::pair{WASAPI, MME}, {MME, WASAPI}}) {
        SCOPED_TRACE(from);
        Settings s;
        s.p.m_DriverType = from;
        s.p.m_CapDeviceName = "Speakers";
        s.p.m_Loopback = 1;
        s.p.m_MonDeviceName = "LineOut";
        CWinDriverFactory drivers;
        AudioDialog d(ENGLISH, &drivers);
        if (from == WASAPI && LoopbackLines(d.Lines(IDC_DEV_CAPTURE)) == 0)
            GTEST_SKIP() << "the test bed's null sinks are not here";
        EXPECT_EQ(LoopbackLines(d.Lines(IDC_DEV_CAPTURE)) > 0, from == WASAPI);
        d.Choose(IDC_DRIVER, to);
        const std::vector<std::string> capture = d.Lines(IDC_DEV_CAPTURE);
        EXPECT_EQ(LoopbackLines(capture) > 0, to == WASAPI);
        const std::string shown = to == WASAPI ? "Speakers(Loopback)" : capture.at(0);
        EXPECT_EQ(d.Selected(IDC_DEV_CAPTURE), shown);
        EXPECT_EQ(d.Selected(IDC_DEV_MONITOR), "LineOut");
        d.Command(IDOK);
        EXPECT_FALSE(IsWindow(d.w));
        EXPECT_TRUE(s.Saved());
        EXPECT_EQ(s.p.m_DriverType, to);
        EXPECT_EQ(s.p.m_CapDeviceName.Str() + (s.p.m_Loopback ? "(Loopback)" : ""), shown);
        // Only WASAPI names its devices by endpoint.
        EXPECT_EQ(s.p.m_CapDeviceId.IsEmpty() || s.p.m_MonDeviceId.IsEmpty(), to == MME);
    }
}

// The same edits, cancelled and then confirmed.
TEST(SettingsAudioDialog, CancelKeepsAndOkStoresTheTypedNumbersAndAnUnlistedRate) {
    Settings s;
    s.p.m_DriverType = MME;
    s.p.m_Latency = 900; // shown as 500
    s.p.m_Frequency = 22050;
    s.p.m_InChannels = 7;
    const std::string before = s.p.BuildDocument();
    CTestDriverFactory factory;
    for (int button : {IDCANCEL, IDOK}) {
        AudioDialog d(JAPANESE, &factory);
        EXPECT_EQ(d.Text(IDC_LATENCY), "500"); // the rate and channel lists show in what OK stores
        ui::SetItemText(d.w, IDC_LATENCY, " 250");
        ui::SetItemText(d.w, IDC_BOOST_LEVEL, "-12x");
        d.Click(IDC_BOOST_ON);
        if (button == IDCANCEL) d.Choose(IDC_DRIVER, WASAPI);
        d.Command(button);
        EXPECT_FALSE(IsWindow(d.w));
        EXPECT_EQ(s.Saved(), button == IDOK);
        if (button == IDCANCEL) {
            EXPECT_EQ(s.p.BuildDocument(), before);
        }
    }
    EXPECT_EQ(std::vector<int32_t>(
                  {s.p.m_Latency, s.p.m_BoostLevel, s.p.m_BoostOn, s.p.m_Frequency, s.p.m_InChannels}),
              std::vector<int32_t>({250, 12, 1, 22050, 2}));
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
    EXPECT_EQ(d.Lines(IDC_DEV_CAPTURE), std::vector<std::string>{"(no device)"});
    EXPECT_EQ(d.Selected(IDC_DEV_CAPTURE), "(no device)");
    EXPECT_FALSE(IsWindowEnabled(d.Item(IDC_DEV_CAPTURE)));
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
    for (bool refused : {false, true}) { // the folder checks themselves have their table in tests/core
        Settings s;
        fs::create_directories(plat::Utf8ToWide(s.dir.File("録音 フォルダ 2026")));
        const std::string folder = s.dir.File(refused ? "no such 録音" : "録音 フォルダ 2026");
        SCOPED_TRACE(folder);
        s.p.m_WavePath = "C:\\before";
        s.p.m_RecFileChannel = 5;
        RecDialog d(ENGLISH);
        EXPECT_EQ(d.Selected(IDC_REC_CHANNEL), "");
        for (const std::string& picked : {std::string(), folder, std::string()}) { // a cancel keeps the text
            d.m_Picked = picked;
            d.Click(IDC_SAVE_BROWSE);
        }
        EXPECT_EQ(d.Text(IDC_SAVE_FOLDER), folder);
        d.Choose(IDC_PLAY_MODE, 3);
        d.Command(IDOK);
        EXPECT_EQ(IsWindow(d.w) != 0, refused);
        ASSERT_EQ(d.m_Messages.size(), refused ? 1u : 0u);
        for (const std::string& m : d.m_Messages) // over the dialog, naming the folder
            EXPECT_NE(m.find("\n" + folder + "\n"), std::string::npos) << m;
        EXPECT_EQ(s.p.m_WavePath.Str(), refused ? "C:\\before" : folder);
        EXPECT_EQ(s.p.m_PlayFileMode, refused ? 1 : 3);
        EXPECT_EQ(s.Saved(), !refused);
        EXPECT_EQ(s.p.m_RecFileChannel, 5);
    }
}

TEST(SettingsRecDialog, FeatureSwitchesAreStored) {
    for (auto [before, after] : {std::pair{0, 3}, {3, 1}, {1, 0}}) { // effect * 2 + voice cancel
        Settings s;
        s.p.m_EnableEffect = before >> 1;
        s.p.m_EnableVoiceCancel = s.p.m_VoiceCancel = before & 1;
        RecDialog d(JAPANESE);
        if ((before ^ after) & 2) d.Click(IDC_USE_EFFECT);
        if ((before ^ after) & 1) d.Click(IDC_USE_VOICE_CANCEL);
        d.Command(IDOK);
        EXPECT_TRUE(s.Saved());
        EXPECT_EQ(s.p.m_EnableEffect * 2 + s.p.m_EnableVoiceCancel, after);
        EXPECT_EQ(s.p.m_VoiceCancel, before & after & 1); // a hidden V.CUT button leaves no stage running
    }
}

// ---------------------------------------------------------------- layout

bool IsGroupBox(HWND c) {
    return IsClass(c, L"Button") && (GetWindowLongW(c, GWL_STYLE) & BS_TYPEMASK) == BS_GROUPBOX;
}
bool Inside(const RECT& a, const RECT& b) {
    return a.left >= b.left && a.top >= b.top && a.right <= b.right && a.bottom <= b.bottom;
}

// `text` fits `c` in its own font with room for what the control draws beside
// it (a frame, a check box, a drop-down arrow). Edits and sliders hold no label.
void ExpectFits(HWND c, const std::wstring& text) {
    const LONG kind = GetWindowLongW(c, GWL_STYLE) & BS_TYPEMASK;
    int room = IsClass(c, L"Static") ? 0 : IsClass(c, L"ListBox") ? 4 : -1;
    if (IsClass(c, L"ComboBox")) room = GetSystemMetrics(SM_CXVSCROLL) + 6;
    if (IsClass(c, L"Button"))
        room = kind == BS_GROUPBOX                              ? 16
               : kind == BS_CHECKBOX || kind == BS_AUTOCHECKBOX ? GetSystemMetrics(SM_CXMENUCHECK) + 6
                                                                : 8;
    if (room < 0) return;
    HDC dc = GetDC(c);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(c, WM_GETFONT, 0, 0)));
    SIZE size{};
    GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
    SelectObject(dc, old);
    ReleaseDC(c, dc);
    RECT client;
    GetClientRect(c, &client);
    EXPECT_LE(size.cx + room, client.right) << "\"" << plat::WideToUtf8(text) << "\" is cut off";
}

// The dialog, shown: every visible control lies inside the client area and
// fits its text and its combo lines; no two overlap unless one is a group box
// holding the other; each visible slider's thumb sits where its value lies in
// its range (Wine's trackbar can leave it where an old range put it).
void ExpectTidy(HWND dialog) {
    ShowWindow(dialog, SW_SHOWNA);
    RECT client, common, channel, thumb;
    GetClientRect(dialog, &client);
    std::vector<std::pair<HWND, RECT>> shown;
    for (HWND c = GetWindow(dialog, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        if (!IsWindowVisible(c)) continue;
        RECT r;
        GetWindowRect(c, &r);
        MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
        SCOPED_TRACE(ui::GetText(c));
        EXPECT_TRUE(Inside(r, client)) << "outside the window";
        ExpectFits(c, plat::Utf8ToWide(ui::GetText(c)));
        for (const std::string& line : IsClass(c, L"ComboBox") ? Lines(c) : std::vector<std::string>{})
            ExpectFits(c, plat::Utf8ToWide(line));
        for (const auto& [other, o] : shown) {
            const bool holds = (IsGroupBox(c) && Inside(o, r)) || (IsGroupBox(other) && Inside(r, o));
            EXPECT_FALSE(!holds && IntersectRect(&common, &r, &o)) << "overlaps " << ui::GetText(other);
        }
        shown.push_back({c, r});
        if (!IsClass(c, TRACKBAR_CLASSW)) continue;
        SendMessageW(c, TBM_GETCHANNELRECT, 0, reinterpret_cast<LPARAM>(&channel));
        SendMessageW(c, TBM_GETTHUMBRECT, 0, reinterpret_cast<LPARAM>(&thumb));
        const double share =
            double(ui::TrackbarPos(c) - ui::TrackbarMin(c)) / (ui::TrackbarMax(c) - ui::TrackbarMin(c));
        const int width = thumb.right - thumb.left;
        EXPECT_NEAR((thumb.left + thumb.right) / 2.0,
                    channel.left + width / 2.0 + share * (channel.right - channel.left - width), width);
    }
}

TEST(DialogLayout, EveryDialogFitsEveryTextInBothLanguages) {
    Settings s;
    s.p.m_CapDeviceName = "Speakers";
    s.p.m_Loopback = 1;
    s.p.m_WavePath = "C:\\users\\録音 フォルダ";
    s.p.m_EnableEffect = 1;
    CWinDriverFactory drivers;
    for (int language : {1, 0}) {
        SCOPED_TRACE(language);
        // An EQUALIZER: all nine groups up, each slider's range moved from the
        // template's 0..100 to -20..20 while its position number 0 stays.
        Rig editor(language, s.dir.File("chain.xml"));
        editor.Add(EFFECT_EQUALIZER);
        ExpectFits(editor.Item(IDC_EFFECT_ONOFF), L"OFF");
        for (int32_t type = 0; type < EFFECT_TYPE_COUNT; ++type) {
            const EffectTypeInfo* info = GetEffectTypeInfo(type);
            ExpectFits(editor.Item(IDC_EFFECT_NAME), info->name);
            for (int i = 0; i < info->params; ++i) {
                if (!info->param[i].label) continue;
                ExpectFits(editor.Item(IDC_EFFECT_LABEL0 + i), info->param[i].label);
                for (int32_t v : {info->param[i].min, info->param[i].max})
                    ExpectFits(editor.Item(IDC_EFFECT_VALUE0 + i), std::to_wstring(v));
            }
        }
        CEffectSelectDialog chooser;
        HWND list = GetDlgItem(chooser.Create(Module(), CEffectSelectDialog::TemplateFor(language), nullptr),
                               IDC_EFFECT_LIST);
        ASSERT_NE(list, nullptr);
        for (int32_t type = 0; type < EFFECT_TYPE_COUNT; ++type)
            ExpectFits(list, GetEffectTypeInfo(type)->name);
        Open<CSettingAudioDialog> audio(language, &drivers);
        Open<CSettingRecDialog> rec(language);
        for (HWND d : {editor.w, GetParent(list), audio.w, rec.w})
            ExpectTidy(d);
    }
}

} // namespace
