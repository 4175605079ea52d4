// CAppMain: the capture and monitor sequences and their information boxes.
#include "app/CAppMain.h"

#include "engine/RecorderHelpers.h"
#include "platform/Platform.h"
#include "res/resource.h"
#include "settings/CAppParameter.h"
#include "ui/Controls.h"
#include "uilogic/MainWindowTexts.h"

int CAppMain::StartCapture() {
    const int language = GetLanguage();
    ResetRecordPostTime();
    SetStatus(IDC_CAP_STATUS, "");
    SetStatus(IDC_MON_STATUS, "");
    // Each failure cleans up first and writes its text last, so StopCapture
    // (which clears the boxes) cannot hide it.
    if (!m_Audio.CaptureOpen()) {
        StopCapture();
        SetStatus(IDC_CAP_STATUS, uilogic::CaptureStatusText(uilogic::STATUS_OPEN_ERROR, language));
        return 0;
    }
    if (!m_Audio.MonitorOpen()) {
        StopCapture();
        SetStatus(IDC_MON_STATUS, uilogic::MonitorStatusText(uilogic::STATUS_OPEN_ERROR, language));
        return 0;
    }
    if (!m_Audio.CaptureStart()) {
        StopCapture();
        SetStatus(IDC_CAP_STATUS, uilogic::CaptureStatusText(uilogic::STATUS_RUN_ERROR, language));
        return 0;
    }
    SetCheck(IDC_MIC, true);
    SetStatus(IDC_CAP_STATUS, uilogic::CaptureStatusText(uilogic::STATUS_RUNNING, language));
    plat::SleepMs(10);
    if (!StartMonitor()) {
        StopCapture();
        SetStatus(IDC_MON_STATUS, uilogic::MonitorStatusText(uilogic::STATUS_RUN_ERROR, language));
        return 0;
    }
    RefreshCaptureInfo();
    RefreshMonitorInfo();
    return 1;
}

void CAppMain::StopCapture() {
    StopMonitor();
    m_Audio.CaptureStop();
    m_Audio.MonitorClose();
    m_Audio.CaptureClose();
    SetCheck(IDC_MIC, false);
    SetStatus(IDC_CAP_STATUS, "");
    SetStatus(IDC_MON_STATUS, "");
}

int CAppMain::StartMonitor() {
    if (!m_Audio.MonitorStart()) {
        SetCheck(IDC_SPK, false);
        SetStatus(IDC_MON_STATUS, uilogic::MonitorStatusText(uilogic::STATUS_RUN_ERROR, GetLanguage()));
        return 0;
    }
    CCaptureDriver* capture = m_Audio.GetCapture();
    if (m_Audio.GetRender() && !(capture && capture->IsLoopback())) {
        SetCheck(IDC_SPK, true);
        SetMonitorSetting(1);
        SetStatus(IDC_MON_STATUS, uilogic::MonitorStatusText(uilogic::STATUS_RUNNING, GetLanguage()));
    }
    return 1;
}

void CAppMain::StopMonitor() {
    m_Audio.MonitorStop();
    SetCheck(IDC_SPK, false);
    SetStatus(IDC_MON_STATUS, "");
}

void CAppMain::RefreshCaptureInfo() {
    if (!m_hWnd) return;
    SetStatus(IDC_CAP_DEVICE, "");
    AudioDeviceInfo info{};
    CCaptureDriver* capture = m_Audio.GetCapture();
    if (capture && capture->GetDeviceInfo(&info)) {
        ui::SetItemText(m_hWnd, IDC_CAP_DEVICE, plat::WideToUtf8(info.szName));
        ui::SetItemText(m_hWnd, IDC_CAP_FREQ, recorder::FrequencyText(m_Audio.m_Frequency));
        ui::SetItemText(m_hWnd, IDC_CAP_CHANNELS, recorder::ChannelText(m_Audio.m_ChannelMode));
    }
}

void CAppMain::RefreshMonitorInfo() {
    if (!m_hWnd) return;
    SetStatus(IDC_MON_DEVICE, "");
    AudioDeviceInfo info{};
    CRenderDriver* render = m_Audio.GetRender();
    if (render && render->GetDeviceInfo(&info)) {
        ui::SetItemText(m_hWnd, IDC_MON_DEVICE, plat::WideToUtf8(info.szName));
        ui::SetItemText(m_hWnd, IDC_MON_FREQ, recorder::FrequencyText(m_Audio.m_Frequency));
    }
}

void CAppMain::RefreshFolder() {
    if (!m_hWnd) return;
    // The folder recordings really go to, also when the setting is empty.
    std::wstring folder = plat::Utf8ToWide(g_pAppParameter->RecordFolder());
    if (folder.size() > 261) folder.resize(261);
    ui::SetItemText(m_hWnd, IDC_REC_FOLDER, plat::WideToUtf8(folder));
}

void CAppMain::EnablePlayback(bool on) {
    if (!m_hWnd) return;
    for (int id :
         {IDC_PLAY_NAME, IDC_PLAY_BROWSE, IDC_PLAY_STOP, IDC_PLAY_START, IDC_PLAY_PAUSE, IDC_PLAY_POS_TEXT,
          IDC_PLAY_DELAY, IDC_PLAY_POS, IDC_PLAY_FREQ, IDC_PLAY_CHANNELS, IDC_PLAY_LENGTH, IDC_PLAY_GAIN})
        EnableWindow(GetDlgItem(m_hWnd, id), on ? TRUE : FALSE);
}

// The drivers report no error when their device disappears; they just stop
// delivering. A take then ends as a stop would (the file keeps what came), the
// capture is closed so MIC can start it again, and the status says why.
void CAppMain::OnWatchdogTick() {
    CCaptureDriver* capture = m_Audio.GetCapture();
    if (!capture || !capture->IsStarted()) return;
    constexpr uint32_t kLimitMs = 1500, kFirstBlockMs = 5000;
    if (!recorder::CaptureStalled(plat::TickCount(), m_Audio.GetCaptureStartTick(),
                                  m_Audio.GetLastBlockTick(), kLimitMs, kFirstBlockMs))
        return;
    plat::Trace("[CAppMain] no capture data for %u ms: device lost\n", kLimitMs);
    if (m_Audio.GetRecordState() & REC_RECORDING) RecordStopSequence();
    StopCapture();
    SetStatus(IDC_CAP_STATUS, uilogic::CaptureStatusText(uilogic::STATUS_RUN_ERROR, GetLanguage()));
}
