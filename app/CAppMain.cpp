// CAppMain: start-up, the dialog's messages, the command table, the switches,
// the settings dialogs, suspend and close.
#include "app/CAppMain.h"

#include "effects/CEffectManager.h"
#include "engine/RecorderHelpers.h"
#include "platform/Platform.h"
#include "res/resource.h"
#include "settings/CAppParameter.h"
#include "ui/CSettingAudioDialog.h"
#include "ui/CSettingRecDialog.h"
#include "ui/Controls.h"
#include "uilogic/MainWindowTexts.h"

#include <algorithm>
#include <cstdio>
#include <iterator>

namespace {

struct ButtonIcon {
    int control, icon;
};
constexpr ButtonIcon BUTTON_ICONS[] = {
    {IDC_VCUT, IDI_VOICE_CUT},      {IDC_EFX, IDI_EFFECT},      {IDC_MIC, IDI_MIC},
    {IDC_SPK, IDI_SPEAKER},         {IDC_PLAY_START, IDI_PLAY}, {IDC_PLAY_STOP, IDI_STOP},
    {IDC_PLAY_PAUSE, IDI_PAUSE},    {IDC_REC_START, IDI_REC},   {IDC_REC_STOP, IDI_STOP},
    {IDC_REC_PAUSE, IDI_REC_PAUSE},
};

} // namespace

CAppMain::CAppMain(CDriverFactory* factory)
    : CWindowEventListener(nullptr), m_Audio(factory), m_pFactory(factory) {
    SetAudio(&m_Audio);
}

CAppMain::~CAppMain() {
    if (m_hWnd && IsWindow(m_hWnd)) {
        KillTimer(m_hWnd, METER_TIMER);
        KillTimer(m_hWnd, WATCHDOG_TIMER);
    }
    m_hPostWindow = nullptr;
    // The engine's threads post to this object: stop them before it goes.
    m_Audio.Shutdown();
    plat::Trace("[exit] engine shut down\n");
    DestroyModeless();
    for (HICON icon : m_Icons)
        if (icon) DestroyIcon(icon);
}

int CAppMain::GetDialogTemplate() {
    return GetLanguage() == 1 ? IDD_MAIN_JA : IDD_MAIN_JA + IDD_ENGLISH_OFFSET;
}

void CAppMain::PostToWindow(uint32_t message, uintptr_t wParam, intptr_t lParam) {
    HWND w = m_hPostWindow.load();
    if (w) PostMessageW(w, message, wParam, lParam);
}

// ================================================================ start-up

void CAppMain::InitEngine() {
    m_Audio.SetSettings(g_pAppParameter);
    m_Audio.Initialize(this);
    const CAppParameter& p = *g_pAppParameter;
    int in = p.m_InChannels < 1 ? 1 : (p.m_InChannels > 4 ? 2 : p.m_InChannels);
    int out = std::clamp(p.m_OutChannels, 1, 2);
    m_Audio.ChangeFormat(std::clamp(p.m_Frequency, 8000, 96000), in, out, std::clamp(p.m_Latency, 5, 500));
    if (!g_pEffectManager) g_pEffectManager = new CEffectManager();
    m_Audio.SetEffectChain(g_pEffectManager);
    m_EffectDialog.SetSampleRate(m_Audio.m_Frequency);
    m_bEngineReady = true;
}

int CAppMain::InitInstance(HINSTANCE instance) {
    if (!CAppBase::InitInstance(instance)) return 0;
    InitEngine();
    return 1;
}

void CAppMain::ExitInstance() {
    m_EffectDialog.SaveEffectList();
}

void CAppMain::OnInitDialog(HWND window) {
    CAppBase::OnInitDialog(window);
    m_hPostWindow = window;
    if (!m_bEngineReady) InitEngine();
    CAppParameter& p = *g_pAppParameter;

    HICON small =
        static_cast<HICON>(LoadImageW(m_hInstance, MAKEINTRESOURCEW(IDI_APP), IMAGE_ICON, 16, 16, 0));
    m_Icons[0] = small;
    SendMessageW(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small));
    for (size_t i = 0; i < std::size(BUTTON_ICONS); ++i) {
        HICON icon = static_cast<HICON>(
            LoadImageW(m_hInstance, MAKEINTRESOURCEW(BUTTON_ICONS[i].icon), IMAGE_ICON, 16, 16, 0));
        m_Icons[i + 1] = icon;
        SendDlgItemMessageW(window, BUTTON_ICONS[i].control, BM_SETIMAGE, IMAGE_ICON,
                            reinterpret_cast<LPARAM>(icon));
    }

    RefreshCaptureInfo();
    RefreshMonitorInfo();
    RefreshFolder();
    if (p.m_Capture) StartCapture();
    CCaptureDriver* capture = m_Audio.GetCapture();
    if (!m_Audio.GetRender() || (capture && capture->IsLoopback()))
        EnableWindow(GetDlgItem(window, IDC_SPK), FALSE);
    // The monitor switch always starts off, also after an automatic capture start.
    SetCheck(IDC_SPK, false);
    SetMonitorSetting(0);
    EnablePlayback(p.m_Loopback == 0);

    m_LevelMeter.Attach(GetDlgItem(window, IDC_METER));
    UpdateMeter();

    ShowFeatureSwitches();
    ui::SetItemText(window, IDC_PLAY_DELAY, std::to_string(std::clamp(p.m_PlayDelay, 0, 10)));
    HWND gain = GetDlgItem(window, IDC_PLAY_GAIN);
    ui::TrackbarSetRange(gain, 1, 16);
    ui::TrackbarSetPos(gain, 8);
    m_Audio.m_PlayGain = 8;
    ui::TrackbarSetRange(GetDlgItem(window, IDC_PLAY_POS), 0, 0);
    UpdateMenus();
    DragAcceptFiles(window, TRUE);
    SetTimer(window, METER_TIMER, 1000, nullptr);
    SetTimer(window, WATCHDOG_TIMER, 250, nullptr);
    PostMessageW(window, WM_STARTUP_NOTICES, 0, 0);
}

// ================================================================ messages

INT_PTR CAppMain::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_STARTUP_NOTICES:
        if (g_pAppParameter->IsKeepingUnreadableFile() || g_pAppParameter->WasReadInPart()) {
            // The modal main window shows itself only once its queue is empty:
            // the notice must not come up over nothing.
            if (!IsWindowVisible(window)) ShowWindow(window, SW_SHOW);
            ShowMessage(uilogic::SettingsUnreadableFormat(GetLanguage()), g_pAppParameter->m_IniFile.c_str(),
                        g_pAppParameter->GetTitle(GetLanguage()), MB_ICONWARNING);
        }
        return 1;
    case WM_TIMER:
        if (wParam == METER_TIMER) OnMeterTimerTick();
        if (wParam == WATCHDOG_TIMER) OnWatchdogTick();
        return 1;
    case WM_HSCROLL: {
        auto bar = reinterpret_cast<HWND>(lParam);
        if (bar == GetDlgItem(window, IDC_PLAY_GAIN)) {
            m_Audio.m_PlayGain = std::clamp(ui::TrackbarPos(bar), 1, 16);
        } else if (bar == GetDlgItem(window, IDC_PLAY_POS) && !m_Audio.m_bPlaying) {
            // Where the next play start seeks to.
            if (ui::TrackbarMax(bar) != 0)
                ui::SetItemText(window, IDC_PLAY_POS_TEXT,
                                uilogic::ElapsedText(static_cast<uint32_t>(ui::TrackbarPos(bar))));
        }
        return 1;
    }
    case WM_CTLCOLORSTATIC:
        // The dropped-block warning in red, on the dialog's own background.
        if (GetDlgCtrlID(reinterpret_cast<HWND>(lParam)) == IDC_REC_DROPPED) {
            auto dc = reinterpret_cast<HDC>(wParam);
            SetTextColor(dc, RGB(0xC0, 0, 0));
            SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
            return reinterpret_cast<INT_PTR>(GetSysColorBrush(COLOR_BTNFACE));
        }
        return CAppBase::DialogProc(window, message, wParam, lParam);
    case WM_POWERBROADCAST:
        plat::Trace("OnPowerBroadcast(%d)\n", static_cast<int>(wParam));
        if (wParam == PBT_APMSUSPEND) OnSuspend();
        SetWindowLongPtrW(window, DWLP_MSGRESULT, TRUE);
        return 1;
    case WM_PLAY_POS:
        if (m_Audio.m_bPlaying) {
            ui::SetItemText(window, IDC_PLAY_DELAY_LEFT, uilogic::ElapsedText(static_cast<uint32_t>(lParam)));
            ui::SetItemText(window, IDC_PLAY_POS_TEXT, uilogic::ElapsedText(static_cast<uint32_t>(wParam)));
            ui::TrackbarSetPos(GetDlgItem(window, IDC_PLAY_POS), static_cast<int32_t>(wParam));
        }
        return 1;
    case WM_PLAY_END:
        if (m_Audio.m_bPlaying) {
            plat::Trace("receive WM_PLAY_END\n");
            PlayStopSequence();
        }
        return 1;
    case WM_EFFECT_CLOSE:
        // The effect dialog's Close button: effects go off with the dialog.
        if (m_Audio.m_bEffect) ToggleEffect();
        return 1;
    case WM_REC_TIME:
        // Only a running take shows its time; a stopped one leaves the box clear.
        if (IsRecording()) {
            ui::SetItemText(window, IDC_REC_TIME, uilogic::ElapsedText(static_cast<uint32_t>(wParam)));
            ShowDroppedBlocks();
        }
        return 1;
    case WM_LEVEL_UPDATE:
        UpdateMeter();
        return 1;
    case WM_REC_ERROR:
        OnRecordWriteError();
        return 1;
    case WM_DESTROY:
        KillTimer(window, METER_TIMER);
        KillTimer(window, WATCHDOG_TIMER);
        m_hPostWindow = nullptr;
        m_LevelMeter.Destroy();
        return CAppBase::DialogProc(window, message, wParam, lParam);
    default:
        return CAppBase::DialogProc(window, message, wParam, lParam);
    }
}

void CAppMain::OnCommand(int id, int code) {
    // Edits and the trackbars share the id range; only clicks and menu picks act.
    if (code != BN_CLICKED && code != 1) return;
    switch (id) {
    case IDC_MIC:
        if (IsCaptureRunning())
            StopCapture();
        else
            StartCapture();
        break;
    case IDC_SPK:
        ToggleMonitor();
        break;
    case IDC_VCUT:
        ToggleVoiceCancel();
        break;
    case IDC_EFX:
        ToggleEffect();
        break;
    case IDC_REC_STOP:
        RecordStopSequence();
        break;
    case IDC_REC_START:
        if (!RecordStartSequence()) SetCheck(IDC_REC_START, false);
        break;
    case IDC_REC_PAUSE:
        RecordPauseSequence();
        break;
    case IDC_PLAY_BROWSE:
        ChoosePlayFile();
        break;
    case IDC_PLAY_STOP:
        PlayStopSequence();
        break;
    case IDC_PLAY_START:
        if (!PlayStartSequence()) SetCheck(IDC_PLAY_START, false);
        break;
    case IDC_PLAY_PAUSE:
        PlayPauseSequence();
        break;
    case IDM_DEVICE_SETTING:
        if (!IsRecording() && !m_Audio.m_bPlaying) DeviceSettings();
        break;
    case IDM_RECORD_SETTING:
        if (!IsRecording()) RecordSettings();
        break;
    default:
        CAppBase::OnCommand(id, code);
        break;
    }
}

// ================================================================ small helpers

void CAppMain::SetCheck(int id, bool on) {
    if (m_hWnd) ui::SetChecked(GetDlgItem(m_hWnd, id), on);
}

void CAppMain::SetStatus(int id, const char* text) {
    if (m_hWnd) ui::SetItemText(m_hWnd, id, text ? text : "");
}

bool CAppMain::IsCaptureRunning() {
    CCaptureDriver* capture = m_Audio.GetCapture();
    return capture && capture->IsStarted();
}

void CAppMain::SetMonitorSetting(int on) {
    m_Audio.m_bMonitor = on;
    g_pAppParameter->m_Monitor = on;
    g_pAppParameter->Save();
}

std::string CAppMain::FormatMessageText(const char* format, const std::string& argument) {
    std::string text;
    if (format) {
        int n = std::snprintf(nullptr, 0, format, argument.c_str());
        text.resize(n > 0 ? static_cast<size_t>(n) : 0);
        std::snprintf(text.data(), text.size() + 1, format, argument.c_str());
    }
    return text;
}

void CAppMain::ShowMessage(const char* format, const std::string& argument, const char* caption, UINT icon) {
    MessageBoxHook(FormatMessageText(format, argument), caption, MB_OK | icon);
}

void CAppMain::UpdateMenus() {
    HMENU menu = m_hWnd ? GetMenu(m_hWnd) : nullptr;
    if (!menu) return;
    const bool recording = IsRecording();
    const bool playing = m_Audio.m_bPlaying != 0;
    EnableMenuItem(menu, IDM_DEVICE_SETTING, MF_BYCOMMAND | (recording || playing ? MF_GRAYED : MF_ENABLED));
    EnableMenuItem(menu, IDM_RECORD_SETTING, MF_BYCOMMAND | (recording ? MF_GRAYED : MF_ENABLED));
}

// ================================================================ meter

void CAppMain::UpdateMeter() {
    m_Level = GetLevel();
    m_LevelMeter.SetLevel(m_Level);
}

void CAppMain::OnMeterTimerTick() {
    if (OnMeterTimer()) UpdateMeter();
}

// ================================================================ switches

void CAppMain::ToggleMonitor() {
    CCaptureDriver* capture = m_Audio.GetCapture();
    const bool possible = m_Audio.GetRender() && !(capture && capture->IsLoopback());
    const int on = possible && !m_Audio.m_bMonitor ? 1 : 0;
    SetCheck(IDC_SPK, on != 0);
    SetMonitorSetting(on);
}

void CAppMain::ToggleVoiceCancel() {
    const int on = m_Audio.m_bVoiceCancel ? 0 : 1;
    m_Audio.m_bVoiceCancel = on;
    SetCheck(IDC_VCUT, on != 0);
}

HWND CAppMain::ShowEffectDialog() {
    return m_EffectDialog.Show(m_hInstance);
}

void CAppMain::HideEffectDialog() {
    m_EffectDialog.Hide();
}

void CAppMain::ToggleEffect() {
    if (!m_Audio.m_bEffect) {
        m_EffectDialog.SetLanguage(GetLanguage());
        m_EffectDialog.SetOwner(m_hWnd);
        m_EffectDialog.SetSampleRate(m_Audio.m_Frequency);
        // An installed copy started in its protected program folder keeps the
        // chain in the per-user folder, where it can be saved at exit.
        m_EffectDialog.SetChainPath(CString(g_pAppParameter->DataFilePath(CEffectList::DEFAULT_FILE)));
        HWND dialog = ShowEffectDialog();
        if (!dialog) {
            // Effects without their editor would be a switch nobody can see.
            SetCheck(IDC_EFX, false);
            return;
        }
        if (!m_bChainNoticeShown && m_EffectDialog.Entries().HadDroppedEntries()) {
            m_bChainNoticeShown = true;
            ShowMessage(uilogic::ChainDamagedFormat(GetLanguage()),
                        g_pAppParameter->DataFilePath(CEffectList::DEFAULT_FILE),
                        g_pAppParameter->GetTitle(GetLanguage()), MB_ICONWARNING);
        }
        // The dialog is closed with its own button, which also turns effects off.
        if (HMENU system = GetSystemMenu(dialog, FALSE)) DeleteMenu(system, SC_CLOSE, MF_BYCOMMAND);
        UpdateWindow(dialog);
        SetCheck(IDC_EFX, true);
        m_Audio.m_bEffect = 1;
    } else {
        SetCheck(IDC_EFX, false);
        HideEffectDialog();
        m_Audio.m_bEffect = 0;
    }
}

void CAppMain::ShowFeatureSwitches() {
    const bool effect = g_pAppParameter->m_EnableEffect != 0;
    const bool voiceCancel = g_pAppParameter->m_EnableVoiceCancel != 0;
    auto show = [&](int id, bool on) { ShowWindow(GetDlgItem(m_hWnd, id), on ? SW_SHOW : SW_HIDE); };
    show(IDC_EFX, effect);
    show(IDC_EFX_LABEL, effect);
    show(IDC_VCUT, voiceCancel);
    show(IDC_VCUT_LABEL, voiceCancel);
    show(IDC_SWITCH_GROUP, effect || voiceCancel);
}

// ================================================================ settings dialogs

INT_PTR CAppMain::RunDeviceSettings() {
    CSettingAudioDialog dialog(GetLanguage(), m_pFactory);
    return dialog.Run(m_hInstance, m_hWnd);
}

INT_PTR CAppMain::RunRecordSettings() {
    CSettingRecDialog dialog(GetLanguage());
    return dialog.Run(m_hInstance, m_hWnd);
}

void CAppMain::DeviceSettings() {
    if (RunDeviceSettings() != 1) return;
    CAppParameter& p = *g_pAppParameter;
    // A take and a play file end through their own sequences before the
    // drivers they run on are replaced.
    if (IsRecording()) RecordStopSequence();
    if (m_Audio.m_bPlaying || m_Audio.HasPlayFile()) PlayStopSequence();
    SetMonitorSetting(0);
    SetCheck(IDC_SPK, false);
    StopCapture();
    m_Audio.Shutdown();
    const bool loopback = p.m_Loopback != 0;
    EnableWindow(GetDlgItem(m_hWnd, IDC_SPK), loopback ? FALSE : TRUE);
    EnablePlayback(!loopback);
    InitEngine();
    RefreshCaptureInfo();
    RefreshMonitorInfo();
    UpdateMenus();
}

void CAppMain::RecordSettings() {
    if (RunRecordSettings() != 1) return;
    const CAppParameter& p = *g_pAppParameter;
    RefreshFolder();
    // A hidden switch must not stay on where nobody can turn it off.
    if (!p.m_EnableEffect && m_Audio.m_bEffect) ToggleEffect();
    if (!p.m_EnableVoiceCancel && m_Audio.m_bVoiceCancel) ToggleVoiceCancel();
    ShowFeatureSwitches();
}

// ================================================================ suspend and close

void CAppMain::OnSuspend() {
    plat::Trace("System is suspending operation.\n");
    RecordStopSequence();
    PlayStopSequence();
    StopCapture();
    SetCheck(IDC_SPK, false);
    SetMonitorSetting(0);
}

int CAppMain::CanClose(int force) {
    if (IsRecording()) {
        const int language = GetLanguage();
        if (!force &&
            MessageBoxHook(uilogic::StopRecordingQuestion(language), uilogic::RecordingNowCaption(language),
                           MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) != IDYES)
            return 0;
        RecordStopSequence();
    }
    if (m_Audio.m_bPlaying || m_Audio.HasPlayFile()) PlayStopSequence();
    if (IsCaptureRunning()) StopCapture();
    m_Audio.Shutdown();
    m_bEngineReady = false;
    m_Audio.SetEffectChain(nullptr);
    delete g_pEffectManager;
    g_pEffectManager = nullptr;
    return 1;
}
