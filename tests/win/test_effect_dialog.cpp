// The effect editor and its chooser driven through their controls on a real
// effect manager. The row, move and slider rules have their own tables in
// tests/core; here each is proven to reach the list, the chain and the file.
#include "drivers/test/CTestDriverFactory.h"
#include "effects/CEffectList.h"
#include "effects/CEffectManager.h"
#include "engine/AudioMessages.h"
#include "engine/CAudioControl.h"
#include "engine/CWindowEventListener.h"
#include "platform/Platform.h"
#include "res/resource.h"
#include "ui/CEffectSettingDialog.h"
#include "ui/Controls.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <numeric>
#include <sstream>
#include <thread>

namespace {

HINSTANCE Module() {
    static INITCOMMONCONTROLSEX icc{sizeof icc, ICC_BAR_CLASSES | ICC_STANDARD_CLASSES};
    static const bool ready = InitCommonControlsEx(&icc) != 0;
    (void)ready;
    return GetModuleHandleW(nullptr);
}

std::string TempPath(const std::string& name) {
    wchar_t dir[MAX_PATH];
    GetTempPathW(MAX_PATH, dir);
    std::string path = plat::WideToUtf8(dir) + "sonvel-fx-" + std::to_string(GetCurrentProcessId()) + name;
    DeleteFileW(plat::Utf8ToWide(path).c_str());
    return path;
}

std::vector<std::string> Names(const std::vector<int32_t>& types) {
    std::vector<std::string> names;
    for (int32_t t : types)
        names.push_back(plat::WideToUtf8(GetEffectTypeInfo(t)->name));
    return names;
}

std::vector<std::string> ListLines(HWND list) {
    std::vector<std::string> lines;
    for (int i = 0; i < ui::ListCount(list); ++i)
        lines.push_back(ui::ListLineText(list, i));
    return lines;
}

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

// The editor with the chooser's answer set beforehand.
struct TestEditor : CEffectSettingDialog {
    int32_t m_Answer = -1;
    int32_t ChooseType() override { return m_Answer; }
};

// An editor window on a manager of its own, driven through its controls.
struct Rig : ManagerScope {
    TestEditor dialog;
    HWND w = nullptr;
    Rig(int language, const std::string& chainPath, HWND owner = nullptr, int32_t rate = 48000) {
        dialog.SetLanguage(language);
        dialog.SetOwner(owner);
        dialog.SetSampleRate(rate);
        dialog.SetChainPath(CString(chainPath));
        w = dialog.Show(Module());
    }
    HWND Item(int id) const { return GetDlgItem(w, id); }
    std::string Text(int id) const { return ui::GetItemText(w, id); }
    void Command(int id, int code = BN_CLICKED) {
        SendMessageW(w, WM_COMMAND, MAKEWPARAM(id, code), reinterpret_cast<LPARAM>(Item(id)));
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
        HWND t = Item(IDC_EFFECT_SLIDER0 + group);
        SendMessageW(t, TBM_SETPOS, TRUE, pos);
        SendMessageW(w, WM_HSCROLL, TB_THUMBTRACK, reinterpret_cast<LPARAM>(t));
    }
    std::vector<std::string> Rows() const { return ListLines(Item(IDC_EFFECT_LIST)); }
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
        {"a4", {4}, 0, 0},                      // the empty list
        {"p1 p2 p5 s1 a4", {1, 4, 2, 5}, 1, 3}, // before the selected row
        {"p1 p2 p5 s0 a4", {1, 2, 5, 4}, 3, 2}, // the first row selected appends
        {"p1 p2 p5 p4", {1, 2, 5, 4}, 3, 2},    // so does no selection
        {"p1 p2 p5 s2 u", {1, 5, 2}, 1, 3},     //
        {"p1 p2 p5 s0 d", {2, 1, 5}, 1, 3},     //
        {"p1 p2 p5 s2 x", {1, 2}, 1, 2},        // the one before takes the last one's place
        {"p7 x", {}, -1, 0},                    // the last one gone hides the groups
    };
    for (int language : {1, 0})
        for (const Case& c : cases) {
            SCOPED_TRACE(testing::Message() << c.steps << ", language " << language);
            Rig r(language, TempPath("list"));
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
            EXPECT_EQ(r.Rows(), Names(c.rows));
            EXPECT_EQ(r.Chain(), c.rows);
            EXPECT_EQ(ui::ListSelection(r.Item(IDC_EFFECT_LIST)), c.selection);
            EXPECT_EQ(IsWindowEnabled(r.Item(IDC_EFFECT_UP)) * 2 + IsWindowEnabled(r.Item(IDC_EFFECT_DOWN)),
                      c.upDown);
            EXPECT_EQ(r.Text(IDC_EFFECT_NAME), c.selection < 0 ? "Effector Name" : r.Rows()[c.selection]);
            EXPECT_EQ(r.VisibleSliders() > 0, c.selection >= 0);
            EXPECT_EQ(IsWindowEnabled(r.Item(IDC_EFFECT_ONOFF)) != 0, c.selection >= 0);
        }
}

TEST(EffectDialog, ASliderMoveReachesTheChainAtTheEditorsRate) {
    Rig r(0, TempPath("slider"), nullptr, 44100);
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
    CEffectManager expected; // the same cut at the same rate: a flat one or one at 48 kHz sounds otherwise
    expected.AddEffect(EFFECT_EQUALIZER, cut, 44100, 0);
    EXPECT_EQ(heard(r.manager), heard(expected));
}

TEST(EffectDialog, EnterAndEscapeKeepItOpenAndCloseThenShowKeepsOneChain) {
    for (int language : {1, 0}) {
        HWND owner =
            CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 9, 9, HWND_MESSAGE, nullptr, nullptr, nullptr);
        {
            Rig r(language, TempPath("close"), owner);
            r.Add(EFFECT_DELAY);
            r.Add(EFFECT_EQUALIZER); // the first row selected: appended
            for (WPARAM key : {VK_RETURN, VK_ESCAPE}) {
                SetFocus(r.Item(IDC_EFFECT_LIST));
                MSG msg{r.Item(IDC_EFFECT_LIST), WM_KEYDOWN, key, 0, 0, {0, 0}};
                IsDialogMessageW(r.w, &msg);
            }
            EXPECT_TRUE(IsWindowVisible(r.w));
            r.Command(IDC_EFFECT_CLOSE);
            EXPECT_FALSE(IsWindowVisible(r.w));
            EXPECT_EQ(r.dialog.Show(Module()), r.w);
            SendMessageW(r.w, WM_CLOSE, 0, 0); // Alt+F4
            EXPECT_FALSE(IsWindowVisible(r.w));
            // Even a window made again neither reads the file nor builds the chain twice.
            DestroyWindow(r.w);
            r.w = r.dialog.Show(Module());
            EXPECT_EQ(r.Rows(), Names({EFFECT_DELAY, EFFECT_EQUALIZER}));
            EXPECT_EQ(r.Chain(), std::vector<int32_t>({EFFECT_DELAY, EFFECT_EQUALIZER}));
        }
        int closed = 0;
        for (MSG m; PeekMessageW(&m, owner, WM_EFFECT_CLOSE, WM_EFFECT_CLOSE, PM_REMOVE);)
            ++closed;
        EXPECT_EQ(closed, 2); // the Close button and Alt+F4, neither Enter nor Escape
        DestroyWindow(owner);
    }
}

TEST(EffectDialog, OnOffReachesTheChainAndSaveWritesTheEdits) {
    const std::string path = TempPath("save");
    {
        Rig r(1, path);
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
    ASSERT_EQ(stored.LoadEffectList(CString(path)), 1);
    ASSERT_EQ(stored.GetCount(), 2);
    const EffectItem &echo = *stored.GetItem(0), &eq = *stored.GetItem(1);
    EXPECT_EQ(std::vector<int32_t>({echo.type, echo.enabled, echo.value[1], eq.type, eq.enabled}),
              std::vector<int32_t>({EFFECT_DELAY_ECHO, 0, 7, EFFECT_EQUALIZER, 1}));
    DeleteFileW(plat::Utf8ToWide(path).c_str());
}

// Answers the modal chooser from a timer: keeps its lines, picks s_Row (or
// none) and presses OK.
struct ChooserAnswer {
    static inline HWND s_Editor;
    static inline int s_Row;
    static inline std::vector<std::string> s_Lines;
    static BOOL CALLBACK Find(HWND w, LPARAM) {
        if (GetWindow(w, GW_OWNER) != s_Editor || !IsWindowVisible(w)) return TRUE;
        s_Lines = ListLines(GetDlgItem(w, IDC_EFFECT_LIST));
        SendDlgItemMessageW(w, IDC_EFFECT_LIST, LB_SETCURSEL, static_cast<WPARAM>(s_Row), 0);
        PostMessageW(w, WM_COMMAND, IDOK, 0);
        return FALSE;
    }
    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
        if (s_Lines.empty()) EnumThreadWindows(GetCurrentThreadId(), Find, 0);
    }
};

TEST(EffectSelectDialog, AddShowsAllTypesInIdOrderAndAddsOnlyAChosenOne) {
    std::vector<int32_t> all(EFFECT_TYPE_COUNT);
    std::iota(all.begin(), all.end(), 0);
    ASSERT_EQ(all.size(), 21u);
    for (int row : {int(EFFECT_FIR_LPF), -1}) {
        SCOPED_TRACE(row);
        ManagerScope m;
        CEffectSettingDialog editor;
        editor.SetLanguage(row < 0 ? 0 : 1);
        editor.SetChainPath(CString(TempPath("modal")));
        ChooserAnswer::s_Editor = editor.Show(Module());
        ChooserAnswer::s_Row = row;
        ChooserAnswer::s_Lines.clear();
        const UINT_PTR timer = SetTimer(nullptr, 0, 30, ChooserAnswer::Tick);
        SendMessageW(ChooserAnswer::s_Editor, WM_COMMAND, IDC_EFFECT_ADD, 0);
        KillTimer(nullptr, timer);
        EXPECT_EQ(ChooserAnswer::s_Lines, Names(all));
        EXPECT_EQ(m.Chain(), row < 0 ? std::vector<int32_t>{} : std::vector<int32_t>{row});
        EXPECT_EQ(editor.Entries().GetCount(), row < 0 ? 0 : 1);
    }
}

struct QuietListener : CWindowEventListener {
    using CWindowEventListener::CWindowEventListener;
    void PostToWindow(uint32_t, uintptr_t, intptr_t) override {}
};

// The real engine over the test driver pair: a 5 kHz tone in, the monitor
// output read back.
TEST(EffectDialog, ALowpassRemovesMostOfA5kHzToneWhileOnAndNotWhileOff) {
    static constexpr int AMPLITUDE = 10000;
    Rig r(0, TempPath("heard"));
    CTestDriverFactory factory;
    factory.m_ConfigureCapture = [](CTestCapture& c) {
        c.SetSignal(std::make_shared<CToneSignal>(5000, 48000, AMPLITUDE));
        c.SetRealtime(true);
    };
    factory.m_ConfigureRender = [](CTestRenderer& r) { r.SetRealtime(true); };
    CAudioControl audio(&factory);
    audio.SetEffectChain(&r.manager);
    QuietListener listener(&audio);
    ASSERT_EQ(audio.Initialize(&listener), 1);
    ASSERT_EQ(audio.ChangeFormat(48000, 2, 2, 50), 1);
    ASSERT_TRUE(audio.CaptureOpen() && audio.MonitorOpen() && audio.CaptureStart() && audio.MonitorStart());
    auto* render = static_cast<CTestRenderer*>(audio.GetRender());
    audio.m_bEffect = 1;
    // The largest sample of 200 ms played after 300 ms more (what was already
    // on its way). Counted in bytes played, so a slow machine only takes longer.
    auto peak = [&] {
        constexpr size_t BYTES_PER_MS = 48000 * 4 / 1000;
        const size_t from = (render->GetReceivedBytes() + 300 * BYTES_PER_MS) & ~size_t(1);
        for (int i = 0; i < 4000 && render->GetReceivedBytes() < from + 200 * BYTES_PER_MS; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        const std::vector<uint8_t> bytes = render->GetReceived();
        int largest = 0;
        for (size_t i = from; i + 1 < bytes.size(); i += 2)
            largest = std::max(largest, std::abs(static_cast<int16_t>(bytes[i] | bytes[i + 1] << 8)));
        return largest;
    };
    // Off before the lowpass is added and after the first ON/OFF, on between and after the second.
    for (int step = 0; step < 4; ++step) {
        if (step > 0) step == 1 ? r.Add(EFFECT_FIR_LPF) : r.Command(IDC_EFFECT_ONOFF);
        const int p = peak();
        EXPECT_TRUE(step % 2 ? p < AMPLITUDE / 10 : p > AMPLITUDE * 9 / 10) << "step " << step << ": " << p;
    }
    audio.Shutdown();
}

} // namespace
