// CAppMain: the play file (choice, drop, information) and play start, pause, stop.
#include "app/CAppMain.h"

#include "engine/PlayFileInfo.h"
#include "engine/RecorderHelpers.h"
#include "platform/Platform.h"
#include "res/resource.h"
#include "settings/CAppParameter.h"
#include "ui/Controls.h"
#include "uilogic/MainWindowTexts.h"

#include <commdlg.h>

#include <iterator>

#include <algorithm>

void CAppMain::ResetPlayPosition() {
    const std::string zero = uilogic::ElapsedText(0);
    ui::SetItemText(m_hWnd, IDC_PLAY_POS_TEXT, zero);
    ui::SetItemText(m_hWnd, IDC_PLAY_DELAY_LEFT, zero);
    ui::TrackbarSetPos(GetDlgItem(m_hWnd, IDC_PLAY_POS), 0);
}

uint32_t CAppMain::ShowPlayFileInfo(const std::wstring& path) {
    PlayFileInfo info;
    const uint32_t rate = ReadPlayFileInfo(path.c_str(), info);
    HWND bar = GetDlgItem(m_hWnd, IDC_PLAY_POS);
    if (!rate) {
        for (int id : {IDC_PLAY_POS_TEXT, IDC_PLAY_FREQ, IDC_PLAY_CHANNELS, IDC_PLAY_LENGTH})
            SetStatus(id, "");
        ui::TrackbarSetRange(bar, 0, 0);
        ui::TrackbarSetPos(bar, 0);
        return 0;
    }
    ui::SetItemText(m_hWnd, IDC_PLAY_NAME, plat::WideToUtf8(path));
    ui::SetItemText(m_hWnd, IDC_PLAY_FREQ, info.rateText);
    ui::SetItemText(m_hWnd, IDC_PLAY_CHANNELS, info.channelText);
    // Long files show all their hours.
    ui::SetItemText(m_hWnd, IDC_PLAY_LENGTH,
                    info.durationText.empty() ? "" : uilogic::ElapsedText(info.seconds));
    const auto seconds = static_cast<int32_t>(std::min<uint32_t>(info.seconds, 0x7FFFFFFF));
    if (ui::TrackbarMax(bar) != seconds) {
        ui::TrackbarSetRange(bar, 0, seconds);
        ResetPlayPosition();
    }
    return rate;
}

bool CAppMain::AskPlayFile(std::wstring* path) {
    const int language = GetLanguage();
    const std::wstring filter = plat::Utf8ToWide(uilogic::PlayOpenFilter(language));
    const std::wstring title = plat::Utf8ToWide(uilogic::PlayOpenTitle(language));
    wchar_t name[520] = {};
    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = m_hWnd;
    ofn.lpstrFilter = filter.c_str();
    ofn.lpstrFile = name;
    ofn.nMaxFile = static_cast<DWORD>(std::size(name));
    ofn.lpstrTitle = title.c_str();
    ofn.lpstrDefExt = L"wav";
    ofn.Flags = OFN_FILEMUSTEXIST | OFN_HIDEREADONLY | OFN_PATHMUSTEXIST;
    if (!GetOpenFileNameW(&ofn)) return false;
    *path = name;
    return true;
}

void CAppMain::ChoosePlayFile() {
    std::wstring path;
    if (!AskPlayFile(&path)) return;
    const int language = GetLanguage();
    if (!ShowPlayFileInfo(path)) {
        ShowMessage(uilogic::PlayOpenFailedFormat(language), plat::WideToUtf8(path),
                    recorder::PlayCaption(language), MB_ICONERROR);
        return;
    }
    ResetPlayPosition();
}

void CAppMain::OnDropFiles(HDROP drop) {
    wchar_t buffer[520];
    if (!GetDropFile(drop, buffer, static_cast<UINT>(std::size(buffer)))) return;
    // A playing file stays; the drop waits for the user to stop it.
    if (m_Audio.m_bPlaying || !IsWindowEnabled(GetDlgItem(m_hWnd, IDC_PLAY_START))) return;
    const std::string path = plat::WideToUtf8(buffer);
    const int language = GetLanguage();
    if (!uilogic::IsPlayFileName(path) || !ShowPlayFileInfo(buffer)) {
        ShowMessage(uilogic::PlayOpenFailedFormat(language), path, recorder::PlayCaption(language),
                    MB_ICONERROR);
        return;
    }
    ResetPlayPosition();
}

int CAppMain::PlayStartSequence() {
    plat::Trace("OnMenu_PlayStart()\n");
    SetCheck(IDC_PLAY_STOP, false);
    SetCheck(IDC_PLAY_PAUSE, false);
    SetCheck(IDC_PLAY_START, true);
    if (m_Audio.m_bPlayPaused) {
        m_Audio.m_bPlayPaused = 0;
        return 1;
    }
    if (m_Audio.m_bPlaying) return 1;
    if (m_Audio.HasPlayFile()) m_Audio.PlayEnd();

    const int language = GetLanguage();
    std::wstring path = plat::Utf8ToWide(ui::GetItemText(m_hWnd, IDC_PLAY_NAME));
    if (path.size() > 260) path.resize(260);
    const uint32_t rate = ShowPlayFileInfo(path);
    const int channelMode = m_Audio.m_ChannelMode, out = m_Audio.m_OutChannels, latency = m_Audio.m_Latency;
    switch (recorder::PlanPlayStart(rate, m_Audio.m_Frequency, IsRecording(), IsCaptureRunning())) {
    case recorder::PLAY_START_FAIL:
        ShowMessage(uilogic::PlayOpenFailedFormat(language), plat::WideToUtf8(path),
                    recorder::PlayCaption(language), MB_ICONERROR);
        return 0;
    case recorder::PLAY_START_FREQUENCY_MESSAGE:
        ShowMessage(recorder::FrequencyMessage(language), std::string(), recorder::PlayCaption(language),
                    MB_ICONERROR);
        return 0;
    case recorder::PLAY_START_RESTART_CAPTURE:
        StopCapture();
        m_Audio.ChangeFormat(static_cast<int>(rate), channelMode, out, latency);
        m_EffectDialog.SetSampleRate(m_Audio.m_Frequency);
        if (!StartCapture()) {
            ShowMessage(recorder::FrequencyMessage(language), std::string(), recorder::PlayCaption(language),
                        MB_ICONERROR);
            return 0;
        }
        break;
    case recorder::PLAY_START_CHANGE_FORMAT:
        if (m_Audio.m_bMonitor) {
            StopMonitor();
            m_Audio.MonitorClose();
        }
        m_Audio.ChangeFormat(static_cast<int>(rate), channelMode, out, latency);
        m_EffectDialog.SetSampleRate(m_Audio.m_Frequency);
        RefreshCaptureInfo();
        RefreshMonitorInfo();
        break;
    case recorder::PLAY_START_AS_IS:
        break;
    }

    if (!m_Audio.OpenPlayFile(plat::WideToUtf8(path))) {
        ShowMessage(uilogic::PlayOpenFailedFormat(language), plat::WideToUtf8(path),
                    recorder::PlayCaption(language), MB_ICONERROR);
        return 0;
    }
    if (!m_Audio.MonitorOpen()) {
        m_Audio.PlayEnd();
        SetStatus(IDC_MON_STATUS, uilogic::MonitorStatusText(uilogic::STATUS_OPEN_ERROR, language));
        return 0;
    }

    int delay = 0;
    if (!recorder::ParseDelayText(ui::GetItemText(m_hWnd, IDC_PLAY_DELAY).substr(0, 31), &delay)) {
        ui::SetItemText(m_hWnd, IDC_PLAY_DELAY, "0");
        delay = 0;
    } else if (std::clamp(g_pAppParameter->m_PlayDelay, 0, 10) != delay) {
        g_pAppParameter->m_PlayDelay = delay;
        g_pAppParameter->Save();
    }
    StartDelayCountdown(delay);
    m_Audio.PlayBegin(delay, ui::TrackbarPos(GetDlgItem(m_hWnd, IDC_PLAY_POS)));
    // The play thread fills the monitor ring before the renderer starts on it.
    plat::SleepMs(500);
    if (!StartMonitor()) {
        PlayStopSequence();
        return 0;
    }
    plat::Trace("[CAppMain] play start\n");
    UpdateMenus();
    return 1;
}

void CAppMain::PlayPauseSequence() {
    plat::Trace("OnMenu_PlayPause()\n");
    SetCheck(IDC_PLAY_START, false);
    SetCheck(IDC_PLAY_STOP, false);
    SetCheck(IDC_PLAY_PAUSE, true);
    if (m_Audio.HasPlayFile() && m_Audio.m_bPlaying) {
        m_Audio.m_bPlayPaused = 1;
        plat::Trace("Pause Play\n");
    } else {
        SetCheck(IDC_PLAY_PAUSE, false);
    }
}

void CAppMain::PlayStopSequence() {
    plat::Trace("OnMenu_PlayStop()\n");
    SetCheck(IDC_PLAY_START, false);
    SetCheck(IDC_PLAY_PAUSE, false);
    SetCheck(IDC_PLAY_STOP, true);
    SetCheck(IDC_PLAY_STOP, false);
    if (m_Audio.HasPlayFile() || m_Audio.m_bPlaying) {
        m_Audio.m_bPlayPaused = 1;
        if (!IsCaptureRunning()) {
            StopMonitor();
            m_Audio.MonitorClose();
        }
        // PlayEnd waits for the play thread's chunk under the file lock, so the
        // file is closed only once nothing reads it.
        m_Audio.PlayEnd();
        ResetPlayPosition();
        plat::Trace("[CAppMain] play stop\n");
    }
    UpdateMenus();
}
