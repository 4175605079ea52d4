// The effect editor and the effect chooser from the shipped templates, in both
// languages, on a real effect manager. The audible check runs the real engine
// over the test driver pair (a 5 kHz tone in, the monitor output read back).
#include "drivers/test/CTestDrivers.h"
#include "effects/CEffectList.h"
#include "effects/CEffectManager.h"
#include "effects/EffectTypes.h"
#include "engine/AudioMessages.h"
#include "engine/CAudioControl.h"
#include "engine/CWindowEventListener.h"
#include "platform/Platform.h"
#include "res/resource.h"
#include "ui/CEffectSelectDialog.h"
#include "ui/CEffectSettingDialog.h"
#include "ui/Controls.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <deque>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

HINSTANCE Module() {
    static const bool registered = [] {
        INITCOMMONCONTROLSEX icc{sizeof icc, ICC_BAR_CLASSES | ICC_STANDARD_CLASSES};
        return InitCommonControlsEx(&icc) != 0;
    }();
    (void)registered;
    return GetModuleHandleW(nullptr);
}

constexpr int LANGUAGES[] = {1, 0};

std::string Name(int32_t type) {
    const EffectTypeInfo* info = GetEffectTypeInfo(type);
    return info ? plat::WideToUtf8(info->name) : std::string();
}

std::string TempPath(const std::string& name) {
    wchar_t dir[MAX_PATH];
    GetTempPathW(MAX_PATH, dir);
    std::string path = plat::WideToUtf8(dir) + "sonvel-effect-dialog-" +
                       std::to_string(GetCurrentProcessId()) + "-" + name + ".xml";
    DeleteFileW(plat::Utf8ToWide(path).c_str());
    return path;
}

std::string ReadAll(const std::string& path) {
    std::ifstream in(plat::Utf8ToWide(path).c_str(), std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

void WriteAll(const std::string& path, const std::string& text) {
    std::ofstream out(plat::Utf8ToWide(path).c_str(), std::ios::binary | std::ios::trunc);
    out << text;
}

// The process-wide manager for one test.
struct ManagerScope {
    CEffectManager manager;
    CEffectManager* old = g_pEffectManager;
    ManagerScope() { g_pEffectManager = &manager; }
    ~ManagerScope() { g_pEffectManager = old; }
    std::vector<int32_t> Chain() {
        std::vector<int32_t> types;
        for (int32_t p = 0; p < CEffectManager::MAX_EFFECTS && manager.GetEffectType(p) >= 0; ++p)
            types.push_back(manager.GetEffectType(p));
        return types;
    }
};

// A hidden top-level window standing in for the main window.
struct Owner {
    HWND hwnd =
        CreateWindowExW(0, L"STATIC", L"owner", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, Module(), nullptr);
    ~Owner() { DestroyWindow(hwnd); }
    // WM_EFFECT_CLOSE messages waiting, each with both parameters 0.
    int TakeCloseMessages() {
        int n = 0;
        MSG msg;
        while (PeekMessageW(&msg, hwnd, WM_EFFECT_CLOSE, WM_EFFECT_CLOSE, PM_REMOVE))
            n += msg.wParam == 0 && msg.lParam == 0 ? 1 : 100;
        return n;
    }
};

// The editor with the chooser answered from a queue (-1 for a cancelled choice).
class TestEditor : public CEffectSettingDialog {
  public:
    std::deque<int32_t> m_Answers;
    int m_Asked = 0;

  protected:
    int32_t ChooseType() override {
        ++m_Asked;
        if (m_Answers.empty()) return -1;
        int32_t t = m_Answers.front();
        m_Answers.pop_front();
        return t;
    }
};

// Drives an editor window through its controls.
struct Editor {
    TestEditor dialog;
    HWND w = nullptr;

    Editor(int language, const std::string& chainPath, HWND owner = nullptr, int32_t rate = 48000) {
        dialog.SetLanguage(language);
        dialog.SetOwner(owner);
        dialog.SetSampleRate(rate);
        dialog.SetChainPath(CString(chainPath));
        w = dialog.Show(Module());
    }
    HWND Item(int id) const { return GetDlgItem(w, id); }
    void Command(int id, int code = BN_CLICKED) {
        SendMessageW(w, WM_COMMAND, MAKEWPARAM(id, code), reinterpret_cast<LPARAM>(Item(id)));
    }
    void Select(int row) {
        SendMessageW(Item(IDC_EFFECT_LIST), LB_SETCURSEL, static_cast<WPARAM>(row), 0);
        Command(IDC_EFFECT_LIST, LBN_SELCHANGE);
    }
    void Add(int32_t type) {
        dialog.m_Answers.push_back(type);
        Command(IDC_EFFECT_ADD);
    }
    // Appends: no row selected, then Add.
    void Append(int32_t type) {
        Select(-1);
        Add(type);
    }
    void Slide(int group, int32_t pos) {
        HWND t = Item(IDC_EFFECT_SLIDER0 + group);
        SendMessageW(t, TBM_SETPOS, TRUE, pos);
        SendMessageW(w, WM_HSCROLL, MAKEWPARAM(TB_THUMBTRACK, static_cast<WORD>(pos)),
                     reinterpret_cast<LPARAM>(t));
    }
    std::vector<std::string> Rows() const {
        std::vector<std::string> rows;
        HWND list = Item(IDC_EFFECT_LIST);
        for (int i = 0; i < ui::ListCount(list); ++i)
            rows.push_back(ui::ListLineText(list, i));
        return rows;
    }
    int Selection() const { return ui::ListSelection(Item(IDC_EFFECT_LIST)); }
    std::vector<int32_t> EntryTypes() {
        std::vector<int32_t> types;
        for (int p = 0; p < CEffectList::MAX_ITEMS && dialog.Entries().GetItem(p); ++p)
            types.push_back(dialog.Entries().GetItem(p)->type);
        return types;
    }
    // Visible groups as a mask.
    uint32_t VisibleGroups() const {
        uint32_t mask = 0;
        for (int i = 0; i < EFFECT_GROUPS; ++i) {
            bool all = true, any = false;
            for (int base : {IDC_EFFECT_GROUP0, IDC_EFFECT_LABEL0, IDC_EFFECT_VALUE0, IDC_EFFECT_SLIDER0}) {
                bool v = IsWindowVisible(Item(base + i)) != 0;
                all = all && v;
                any = any || v;
            }
            EXPECT_EQ(all, any) << "group " << i << " is partly shown";
            if (all) mask |= 1u << i;
        }
        return mask;
    }
    std::string Text(int id) const { return ui::GetItemText(w, id); }
};

std::vector<std::string> Names(const std::vector<int32_t>& types) {
    std::vector<std::string> names;
    for (int32_t t : types)
        names.push_back(Name(t));
    return names;
}

// ---------------------------------------------------------------- list editing

struct Step {
    char op; // 'p' append type, 'a' add type at the selection, 's' select row, 'u' up, 'd' down, 'x' delete
    int arg = 0;
};

TEST(EffectDialog, ListEditsReachTheEntriesAndTheChainInOrder) {
    struct Case {
        const char* name;
        std::vector<Step> steps;
        std::vector<int32_t> rows;
        int selection;
        bool up, down; // button states after the steps
    } cases[] = {
        {"add to an empty list", {{'a', EFFECT_DELAY}}, {EFFECT_DELAY}, 0, false, false},
        {"add before the selected row",
         {{'p', 1}, {'p', 2}, {'p', 5}, {'s', 1}, {'a', EFFECT_DELAY}},
         {1, EFFECT_DELAY, 2, 5},
         1,
         true,
         true},
        {"first row selected appends",
         {{'p', 1}, {'p', 2}, {'p', 5}, {'s', 0}, {'a', 4}},
         {1, 2, 5, 4},
         3,
         true,
         false},
        {"no row selected appends",
         {{'p', 1}, {'p', 2}, {'p', 5}, {'s', -1}, {'a', 4}},
         {1, 2, 5, 4},
         3,
         true,
         false},
        {"a cancelled choice adds nothing", {{'p', 1}, {'s', 0}, {'a', -1}}, {1}, 0, false, false},
        {"up", {{'p', 1}, {'p', 2}, {'p', 5}, {'s', 2}, {'u'}}, {1, 5, 2}, 1, true, true},
        {"down", {{'p', 1}, {'p', 2}, {'p', 5}, {'s', 0}, {'d'}}, {2, 1, 5}, 1, true, true},
        {"up on the first row", {{'p', 1}, {'p', 2}, {'s', 0}, {'u'}}, {1, 2}, 0, false, true},
        {"down on the last row", {{'p', 1}, {'p', 2}, {'s', 1}, {'d'}}, {1, 2}, 1, true, false},
        {"up without selection", {{'p', 1}, {'p', 2}, {'s', -1}, {'u'}, {'d'}}, {1, 2}, -1, false, false},
        {"delete in the middle", {{'p', 1}, {'p', 2}, {'p', 5}, {'s', 1}, {'x'}}, {1, 5}, 1, true, false},
        {"delete the last row selects the one before",
         {{'p', 1}, {'p', 2}, {'p', 5}, {'s', 2}, {'x'}},
         {1, 2},
         1,
         true,
         false},
        {"delete the only row", {{'p', EFFECT_EQUALIZER}, {'x'}}, {}, -1, false, false},
        {"delete without selection", {{'p', 1}, {'p', 2}, {'s', -1}, {'x'}}, {1, 2}, -1, false, false},
    };
    for (int language : LANGUAGES) {
        for (const Case& c : cases) {
            SCOPED_TRACE(testing::Message() << c.name << ", language " << language);
            ManagerScope m;
            Editor e(language, TempPath("list"));
            ASSERT_NE(e.w, nullptr);
            for (const Step& s : c.steps) {
                switch (s.op) {
                case 'p':
                    e.Append(s.arg);
                    break;
                case 'a':
                    e.Add(s.arg);
                    break;
                case 's':
                    e.Select(s.arg);
                    break;
                case 'u':
                    e.Command(IDC_EFFECT_UP);
                    break;
                case 'd':
                    e.Command(IDC_EFFECT_DOWN);
                    break;
                case 'x':
                    e.Command(IDC_EFFECT_DEL);
                    break;
                }
            }
            EXPECT_EQ(e.Rows(), Names(c.rows));
            EXPECT_EQ(e.EntryTypes(), c.rows);
            EXPECT_EQ(m.Chain(), c.rows);
            EXPECT_EQ(e.Selection(), c.selection);
            EXPECT_EQ(IsWindowEnabled(e.Item(IDC_EFFECT_UP)) != 0, c.up);
            EXPECT_EQ(IsWindowEnabled(e.Item(IDC_EFFECT_DOWN)) != 0, c.down);
            if (c.selection >= 0) {
                EXPECT_EQ(e.dialog.GetCurrent(), e.dialog.Entries().GetItem(c.selection));
                EXPECT_EQ(e.Text(IDC_EFFECT_NAME), Name(c.rows[static_cast<size_t>(c.selection)]));
            }
            if (c.rows.empty()) {
                EXPECT_EQ(e.dialog.GetCurrent(), nullptr);
                EXPECT_EQ(e.VisibleGroups(), 0u);
                EXPECT_EQ(e.Text(IDC_EFFECT_NAME), "Effector Name");
                EXPECT_FALSE(IsWindowEnabled(e.Item(IDC_EFFECT_ONOFF)));
            }
        }
    }
}

TEST(EffectDialog, AFullListDoesNotAskForAType) {
    ManagerScope m;
    Editor e(0, TempPath("full"));
    for (int i = 0; i < 10; ++i)
        e.Append(i);
    EXPECT_EQ(e.dialog.m_Asked, 10);
    EXPECT_FALSE(IsWindowEnabled(e.Item(IDC_EFFECT_ADD)));
    e.Add(EFFECT_DELAY);
    EXPECT_EQ(e.dialog.m_Asked, 10);
    EXPECT_EQ(e.Rows().size(), 10u);
    EXPECT_EQ(m.Chain(), std::vector<int32_t>({0, 1, 2, 3, 4, 5, 6, 7, 8, 9}));
}

TEST(EffectDialog, AddingShowsTheTypesParameterGroups) {
    struct Case {
        int32_t type;
        uint32_t groups;
        int group;
        const char* label;
        int32_t min, max, value;
    } cases[] = {
        {EFFECT_DELAY, 1, 0, "Delay", 0, 100, 50},
        {EFFECT_DELAY_ECHO, 7, 1, "Repeat", 1, 10, 2},
        {EFFECT_EQUALIZER, 511, 8, "6.4kHz", -20, 20, 0},
        {EFFECT_LIMITTER, 1, 0, "Threshold", 0, 100, 30},
        {EFFECT_FIR_LPF, 1, 0, "Cutoff", 0, 24000, 1000},
        {EFFECT_REVERB, 5, 2, "Gain", 0, 100, 90},
        {EFFECT_WAU, 0, -1, "", 0, 0, 0},
    };
    for (int language : LANGUAGES) {
        for (const Case& c : cases) {
            SCOPED_TRACE(testing::Message() << Name(c.type) << ", language " << language);
            ManagerScope m;
            Editor e(language, TempPath("groups"));
            e.Add(c.type);
            EXPECT_EQ(e.Text(IDC_EFFECT_NAME), Name(c.type));
            EXPECT_EQ(e.Text(IDC_EFFECT_ONOFF), "ON");
            EXPECT_EQ(e.VisibleGroups(), c.groups);
            if (c.group < 0) continue;
            HWND t = e.Item(IDC_EFFECT_SLIDER0 + c.group);
            EXPECT_EQ(e.Text(IDC_EFFECT_LABEL0 + c.group), c.label);
            EXPECT_EQ(ui::TrackbarMin(t), c.min);
            EXPECT_EQ(ui::TrackbarMax(t), c.max);
            EXPECT_EQ(ui::TrackbarPos(t), c.value);
            EXPECT_EQ(e.Text(IDC_EFFECT_VALUE0 + c.group), std::to_string(c.value));
        }
    }
}

TEST(EffectDialog, OnOffSwitchesTheRunningEffect) {
    for (int language : LANGUAGES) {
        ManagerScope m;
        Editor e(language, TempPath("onoff"));
        // Nothing to switch yet.
        e.Command(IDC_EFFECT_ONOFF);
        e.Append(EFFECT_CHORUS);
        e.Append(EFFECT_DELAY);
        const char* texts[] = {"OFF", "ON", "OFF"};
        for (const char* expected : texts) {
            e.Command(IDC_EFFECT_ONOFF);
            const int32_t on = std::strcmp(expected, "ON") == 0 ? 1 : 0;
            EXPECT_EQ(e.Text(IDC_EFFECT_ONOFF), expected);
            EXPECT_EQ(m.manager.GetEffectEnable(1), on);
            EXPECT_EQ(e.dialog.Entries().GetItem(1)->enabled, on);
            EXPECT_EQ(m.manager.GetEffectEnable(0), 1); // the other one is untouched
        }
        // Selecting the entries shows each one's own state.
        e.Select(0);
        EXPECT_EQ(e.Text(IDC_EFFECT_ONOFF), "ON");
        e.Select(1);
        EXPECT_EQ(e.Text(IDC_EFFECT_ONOFF), "OFF");
    }
}

// A tone through a fresh effect of `type` with `values` at `rate`, converted
// back to 16 bits the way the chain does.
std::vector<int16_t> Reference(int32_t type, const int32_t* values, int32_t rate,
                               const std::vector<int16_t>& in) {
    std::unique_ptr<CBaseEffect> fx(NewEffectOfType(type));
    fx->SetParams(values, rate);
    std::vector<double> x(in.begin(), in.end());
    for (double& v : x)
        v /= 32768.0;
    fx->Process(x.data(), static_cast<int32_t>(x.size()));
    std::vector<int16_t> out;
    for (double v : x)
        out.push_back(static_cast<int16_t>(std::clamp(std::trunc(v * 32768.0), -32768.0, 32767.0)));
    return out;
}

TEST(EffectDialog, ASliderMoveReachesTheChainAtTheRateTheMainWindowSet) {
    std::vector<int16_t> tone(4800);
    for (size_t i = 0; i < tone.size(); ++i)
        tone[i] =
            static_cast<int16_t>(std::lround(12000 * std::sin(2 * 3.141592653589793 * 7680 * i / 44100.0)));
    for (int language : LANGUAGES) {
        ManagerScope m;
        Editor e(language, TempPath("slider"), nullptr, 44100);
        e.Add(EFFECT_EQUALIZER);
        e.Slide(8, -20);
        EXPECT_EQ(e.Text(IDC_EFFECT_VALUE0 + 8), "-20");
        const EffectItem* item = e.dialog.Entries().GetItem(0);
        ASSERT_NE(item, nullptr);
        EXPECT_EQ(item->value[8], -20);

        std::vector<int16_t> out(tone.size());
        m.manager.ProcessChain(tone.data(), static_cast<int32_t>(tone.size()));
        m.manager.ReadChainOutput(out.data(), static_cast<int32_t>(out.size()));
        int32_t cut[EFFECT_MAX_VALUES] = {0, 0, 0, 0, 0, 0, 0, 0, -20};
        int32_t flat[EFFECT_MAX_VALUES] = {};
        EXPECT_EQ(out, Reference(EFFECT_EQUALIZER, cut, 44100, tone));
        EXPECT_NE(out, Reference(EFFECT_EQUALIZER, flat, 44100, tone));
        EXPECT_NE(out, Reference(EFFECT_EQUALIZER, cut, 32000, tone));
    }
}

// ---------------------------------------------------------------- closing and the chain file

TEST(EffectDialog, CloseHidesAndShowAgainKeepsOneChain) {
    for (int language : LANGUAGES) {
        SCOPED_TRACE(language);
        ManagerScope m;
        Owner owner;
        const std::string path = TempPath("close");
        Editor e(language, path, owner.hwnd);
        e.Append(EFFECT_DELAY);
        e.Append(EFFECT_EQUALIZER);
        e.Command(IDC_EFFECT_CLOSE);
        EXPECT_TRUE(IsWindow(e.w));
        EXPECT_FALSE(IsWindowVisible(e.w));
        EXPECT_EQ(owner.TakeCloseMessages(), 1);
        EXPECT_EQ(e.dialog.Show(Module()), e.w);
        EXPECT_TRUE(IsWindowVisible(e.w));
        EXPECT_EQ(m.Chain(), std::vector<int32_t>({EFFECT_DELAY, EFFECT_EQUALIZER}));

        // Alt+F4 closes it the same way.
        SendMessageW(e.w, WM_CLOSE, 0, 0);
        EXPECT_FALSE(IsWindowVisible(e.w));
        EXPECT_EQ(owner.TakeCloseMessages(), 1);

        // Even a window created again neither reads the file nor adds the entries twice.
        WriteAll(
            path,
            "<?xml version=\"1.0\" "
            "encoding=\"UTF-8\"?>\n<EffectList><EffectItem><Num>0</Num><Type>6</Type><Enabled>1</Enabled>"
            "<Params>0</Params></EffectItem></EffectList>");
        DestroyWindow(e.w);
        HWND again = e.dialog.Show(Module());
        ASSERT_NE(again, nullptr);
        e.w = again;
        EXPECT_EQ(e.Rows(), Names({EFFECT_DELAY, EFFECT_EQUALIZER}));
        EXPECT_EQ(e.Selection(), 0);
        EXPECT_EQ(e.Text(IDC_EFFECT_NAME), "DELAY");
        EXPECT_EQ(m.Chain(), std::vector<int32_t>({EFFECT_DELAY, EFFECT_EQUALIZER}));
        DeleteFileW(plat::Utf8ToWide(path).c_str());
    }
}

TEST(EffectDialog, EnterAndEscapeDoNotCloseIt) {
    for (int language : LANGUAGES) {
        ManagerScope m;
        Owner owner;
        Editor e(language, TempPath("keys"), owner.hwnd);
        e.Append(EFFECT_DELAY);
        for (int id : {IDOK, IDCANCEL})
            e.Command(id);
        for (WPARAM key : {VK_RETURN, VK_ESCAPE}) {
            SetFocus(e.Item(IDC_EFFECT_LIST));
            MSG msg{e.Item(IDC_EFFECT_LIST), WM_KEYDOWN, key, 0, 0, {0, 0}};
            IsDialogMessageW(e.w, &msg);
        }
        EXPECT_TRUE(IsWindowVisible(e.w));
        EXPECT_EQ(owner.TakeCloseMessages(), 0);
        EXPECT_EQ(m.Chain(), std::vector<int32_t>({EFFECT_DELAY}));
    }
}

TEST(EffectDialog, TheChainFileIsBuiltOnceAndValuesOutsideARangeAreShownClamped) {
    const std::string file = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<EffectList>"
                             "<EffectItem><Num>0</Num><Name>DELAY</Name><Type>4</Type><Enabled>1</Enabled>"
                             "<Params>1</Params><ParamValue Num=\"0\" Min=\"0\" Max=\"200\">150</ParamValue>"
                             "</EffectItem>"
                             "<EffectItem><Num>3</Num><Name>CHORUS</Name><Type>1</Type><Enabled>0</Enabled>"
                             "<Params>0</Params></EffectItem>"
                             "</EffectList>";
    for (int language : LANGUAGES) {
        SCOPED_TRACE(language);
        ManagerScope m;
        const std::string path = TempPath("clamp");
        WriteAll(path, file);
        Editor e(language, path);
        EXPECT_EQ(e.Rows(), Names({EFFECT_DELAY, EFFECT_CHORUS}));
        EXPECT_EQ(m.Chain(), std::vector<int32_t>({EFFECT_DELAY, EFFECT_CHORUS}));
        EXPECT_EQ(m.manager.GetEffectEnable(0), 1);
        EXPECT_EQ(m.manager.GetEffectEnable(1), 0);
        HWND t = e.Item(IDC_EFFECT_SLIDER0);
        EXPECT_EQ(ui::TrackbarMax(t), 100);
        EXPECT_EQ(ui::TrackbarPos(t), 100);
        EXPECT_EQ(e.Text(IDC_EFFECT_VALUE0), "100");
        // Shown, not edited: the stored value stays.
        EXPECT_EQ(e.dialog.Entries().GetItem(0)->value[0], 150);
        e.dialog.SaveEffectList();
        CEffectList stored;
        stored.LoadEffectList(CString(path));
        ASSERT_NE(stored.GetItem(0), nullptr);
        EXPECT_EQ(stored.GetItem(0)->value[0], 150);
        EXPECT_EQ(stored.GetItem(0)->Max[0], 200);
        // A move stores what the slider shows, in the table's range.
        e.Slide(0, 80);
        e.dialog.SaveEffectList();
        stored.LoadEffectList(CString(path));
        ASSERT_NE(stored.GetItem(0), nullptr);
        EXPECT_EQ(stored.GetItem(0)->value[0], 80);
        EXPECT_EQ(stored.GetItem(0)->Max[0], 100);
        DeleteFileW(plat::Utf8ToWide(path).c_str());
    }
}

TEST(EffectDialog, SaveWritesTheEditsAndANeverShownEditorKeepsTheStoredChain) {
    for (int language : LANGUAGES) {
        SCOPED_TRACE(language);
        const std::string path = TempPath("save");
        {
            ManagerScope m;
            Editor e(language, path);
            e.Append(EFFECT_CHORUS);
            e.Append(EFFECT_EQUALIZER);
            e.Append(EFFECT_DELAY_ECHO);
            e.Select(2);
            e.Command(IDC_EFFECT_UP);    // CHORUS, DELAY ECHO, EQUALIZER
            e.Command(IDC_EFFECT_ONOFF); // DELAY ECHO off
            e.Slide(1, 7);               // Repeat
            e.Select(2);
            e.Slide(8, -20);
            e.Select(0);
            e.Command(IDC_EFFECT_DEL); // DELAY ECHO, EQUALIZER
            ASSERT_EQ(e.dialog.SaveEffectList(), 1);
        }
        CEffectList stored;
        ASSERT_EQ(stored.LoadEffectList(CString(path)), 1);
        ASSERT_EQ(stored.GetCount(), 2);
        EXPECT_EQ(stored.GetItem(0)->type, EFFECT_DELAY_ECHO);
        EXPECT_EQ(stored.GetItem(0)->enabled, 0);
        EXPECT_EQ(stored.GetItem(0)->value[1], 7);
        EXPECT_EQ(stored.GetItem(1)->type, EFFECT_EQUALIZER);
        EXPECT_EQ(stored.GetItem(1)->enabled, 1);
        EXPECT_EQ(stored.GetItem(1)->value[8], -20);
        EXPECT_EQ(stored.GetItem(1)->Min[8], -20);

        // An editor that was never shown writes nothing over it.
        const std::string before = ReadAll(path);
        {
            CEffectSettingDialog unused;
            unused.SetChainPath(CString(path));
            EXPECT_EQ(unused.SaveEffectList(), 0);
        }
        EXPECT_EQ(ReadAll(path), before);
        DeleteFileW(plat::Utf8ToWide(path).c_str());
    }
}

TEST(EffectDialog, WithoutAManagerTheCommandsStillWorkOnTheList) {
    ManagerScope m;
    Editor e(0, TempPath("nomanager"));
    e.Append(EFFECT_DELAY);
    e.Append(EFFECT_CHORUS);
    g_pEffectManager = nullptr; // gone at exit before the dialog
    e.Append(EFFECT_WAU);
    e.Command(IDC_EFFECT_UP);
    e.Command(IDC_EFFECT_ONOFF);
    e.Select(1);
    e.Slide(0, 10);
    e.Command(IDC_EFFECT_DEL);
    EXPECT_EQ(e.Rows(), Names({EFFECT_DELAY, EFFECT_CHORUS}));
    EXPECT_EQ(e.dialog.Entries().GetItem(1)->value[0], 50);
    EXPECT_EQ(m.Chain(), std::vector<int32_t>({EFFECT_DELAY, EFFECT_CHORUS}));
}

// ---------------------------------------------------------------- the chooser

TEST(EffectSelectDialog, ListsTheTypesInIdOrderAndTakesTheConfirmedOne) {
    struct Case {
        int pick; // -1: no line
        int command;
        int32_t expected;
    } cases[] = {
        {-1, IDOK, -1},
        {7, IDOK, EFFECT_EQUALIZER},
        {20, IDCANCEL, -1},
        {3, 0, EFFECT_DELAY_ECHO}, // a double-click
    };
    std::vector<std::string> names;
    for (int32_t t = 0; t < EFFECT_TYPE_COUNT; ++t)
        names.push_back(Name(t));
    ASSERT_EQ(names.front(), "THROUGH");
    ASSERT_EQ(names.back(), "WAU");
    for (int language : LANGUAGES) {
        for (const Case& c : cases) {
            SCOPED_TRACE(testing::Message() << "language " << language << " pick " << c.pick);
            ManagerScope m;
            CEffectSelectDialog chooser;
            HWND w = chooser.Create(Module(), CEffectSelectDialog::TemplateFor(language), nullptr);
            ASSERT_NE(w, nullptr);
            HWND list = GetDlgItem(w, IDC_EFFECT_LIST);
            std::vector<std::string> rows;
            for (int i = 0; i < ui::ListCount(list); ++i) {
                rows.push_back(ui::ListLineText(list, i));
                EXPECT_EQ(SendMessageW(list, LB_GETITEMDATA, static_cast<WPARAM>(i), 0), i);
            }
            EXPECT_EQ(rows, names);
            EXPECT_EQ(ui::ListSelection(list), -1);
            SendMessageW(list, LB_SETCURSEL, static_cast<WPARAM>(c.pick), 0);
            if (c.command)
                SendMessageW(w, WM_COMMAND, static_cast<WPARAM>(c.command), 0);
            else
                SendMessageW(w, WM_COMMAND, MAKEWPARAM(IDC_EFFECT_LIST, LBN_DBLCLK),
                             reinterpret_cast<LPARAM>(list));
            EXPECT_FALSE(IsWindow(w));
            EXPECT_EQ(chooser.GetType(), c.expected);
        }
    }
}

TEST(EffectSelectDialog, WithoutAManagerTheListIsEmpty) {
    CEffectManager* old = g_pEffectManager;
    g_pEffectManager = nullptr;
    CEffectSelectDialog chooser;
    HWND w = chooser.Create(Module(), CEffectSelectDialog::TemplateFor(0), nullptr);
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(ui::ListCount(GetDlgItem(w, IDC_EFFECT_LIST)), 0);
    SendMessageW(w, WM_COMMAND, IDOK, 0);
    EXPECT_EQ(chooser.GetType(), -1);
    g_pEffectManager = old;
}

// Answers the modal chooser from a timer: picks `row` (or none) and presses OK.
struct ChooserAnswer {
    static inline std::wstring s_Title;
    static inline int s_Row = -1;
    static inline bool s_Found = false;
    static BOOL CALLBACK Find(HWND w, LPARAM) {
        wchar_t title[64] = {};
        GetWindowTextW(w, title, 64);
        if (s_Title != title || !IsWindowVisible(w)) return TRUE;
        s_Found = true;
        SendMessageW(GetDlgItem(w, IDC_EFFECT_LIST), LB_SETCURSEL, static_cast<WPARAM>(s_Row), 0);
        PostMessageW(w, WM_COMMAND, IDOK, 0);
        return FALSE;
    }
    static void CALLBACK Tick(HWND, UINT, UINT_PTR id, DWORD) {
        EnumThreadWindows(GetCurrentThreadId(), Find, 0);
        if (s_Found) KillTimer(nullptr, id);
    }
};

TEST(EffectSelectDialog, AddRunsItModallyOverTheEditor) {
    struct Case {
        int language;
        const wchar_t* title;
        int row;
        std::vector<int32_t> chain;
    } cases[] = {
        {1, L"エフェクト選択", EFFECT_FIR_LPF, {EFFECT_FIR_LPF}},
        {0, L"Select Effects", EFFECT_NOTCH, {EFFECT_NOTCH}},
        {0, L"Select Effects", -1, {}}, // OK without a selection adds nothing
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.row);
        ManagerScope m;
        CEffectSettingDialog editor;
        editor.SetLanguage(c.language);
        editor.SetChainPath(CString(TempPath("modal")));
        HWND w = editor.Show(Module());
        ASSERT_NE(w, nullptr);
        ChooserAnswer::s_Title = c.title;
        ChooserAnswer::s_Row = c.row;
        ChooserAnswer::s_Found = false;
        UINT_PTR timer = SetTimer(nullptr, 0, 30, ChooserAnswer::Tick);
        SendMessageW(w, WM_COMMAND, MAKEWPARAM(IDC_EFFECT_ADD, BN_CLICKED), 0);
        KillTimer(nullptr, timer);
        EXPECT_TRUE(ChooserAnswer::s_Found);
        EXPECT_EQ(m.Chain(), c.chain);
        EXPECT_EQ(editor.Entries().GetCount(), static_cast<int32_t>(c.chain.size()));
    }
}

// ---------------------------------------------------------------- heard through the engine

class QuietListener : public CWindowEventListener {
  public:
    using CWindowEventListener::CWindowEventListener;
    void PostToWindow(uint32_t, uintptr_t, intptr_t) override {}
};

TEST(EffectDialog, ALowpassRemovesMostOfA5kHzToneWhileOnAndNotWhileOff) {
    static constexpr double AMPLITUDE = 10000;
    ManagerScope m;
    CTestDriverFactory factory;
    factory.m_ConfigureCapture = [](CTestCapture& c) {
        c.SetSignal(std::make_shared<CToneSignal>(5000, 48000, AMPLITUDE));
        c.SetRealtime(true);
    };
    factory.m_ConfigureRender = [](CTestRenderer& r) { r.SetRealtime(true); };
    CAudioControl audio(&factory);
    QuietListener listener(&audio);
    ASSERT_EQ(audio.Initialize(&listener), 1);
    ASSERT_EQ(audio.ChangeFormat(48000, 2, 2, 50), 1);
    ASSERT_TRUE(audio.CaptureOpen() && audio.MonitorOpen() && audio.CaptureStart() && audio.MonitorStart());
    auto* render = static_cast<CTestRenderer*>(audio.GetRender());
    audio.m_bEffect = 1;

    // The largest sample among 200 ms the monitor played after letting 300 ms
    // pass (what was already on its way when something changed). Counted in
    // bytes played, so a slow machine only makes it take longer.
    constexpr size_t BYTES_PER_MS = 48000 * 4 / 1000;
    auto waitFor = [&](size_t bytes) {
        for (int i = 0; i < 2000 && render->GetReceivedBytes() < bytes; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
    };
    auto peak = [&] {
        waitFor(render->GetReceivedBytes() + 300 * BYTES_PER_MS);
        const size_t from = render->GetReceivedBytes();
        waitFor(from + 200 * BYTES_PER_MS);
        std::vector<uint8_t> bytes = render->GetReceived();
        EXPECT_GE(bytes.size(), from + 200 * BYTES_PER_MS);
        int largest = 0;
        for (size_t i = from & ~size_t(1); i + 1 < bytes.size(); i += 2) {
            int16_t s;
            std::memcpy(&s, &bytes[i], 2);
            largest = std::max(largest, std::abs(static_cast<int>(s)));
        }
        return largest;
    };
    Editor e(0, TempPath("heard"));
    const int before = peak();
    e.Add(EFFECT_FIR_LPF);
    const int on = peak();
    e.Command(IDC_EFFECT_ONOFF);
    const int off = peak();
    e.Command(IDC_EFFECT_ONOFF);
    const int onAgain = peak();
    // The cutoff moved above the tone lets it through.
    e.Slide(0, 8000);
    const int wide = peak();
    audio.Shutdown();
    std::printf("5 kHz peak: chain empty %d, lowpass on %d, off %d, on %d, cutoff 8 kHz %d\n", before, on,
                off, onAgain, wide);
    EXPECT_GT(before, AMPLITUDE * 0.9);
    EXPECT_LT(on, AMPLITUDE * 0.1);
    EXPECT_GT(off, AMPLITUDE * 0.9);
    EXPECT_LT(onAgain, AMPLITUDE * 0.1);
    EXPECT_GT(wide, AMPLITUDE * 0.8);
}

} // namespace
