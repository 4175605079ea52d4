// CAppMain: record start, pause, stop and the write-error path.
#include "app/CAppMain.h"

#include "engine/RecorderHelpers.h"
#include "platform/Platform.h"
#include "res/resource.h"
#include "settings/CAppParameter.h"
#include "ui/Controls.h"
#include "uilogic/MainWindowTexts.h"

namespace {

// While a take runs the system must not sleep under it; the suspend handling
// stays for when it does anyway.
void KeepSystemAwake(bool on) {
    SetThreadExecutionState(on ? (ES_CONTINUOUS | ES_SYSTEM_REQUIRED) : ES_CONTINUOUS);
}

} // namespace

int CAppMain::RecordStartSequence() {
    plat::Trace("OnMenu_RecStart()\n");
    SetCheck(IDC_REC_STOP, false);
    SetCheck(IDC_REC_PAUSE, false);
    SetCheck(IDC_REC_START, true);
    const int language = GetLanguage();

    const int32_t state = m_Audio.GetRecordState();
    if (state == REC_PAUSED) {
        // Resume into the same file.
        return m_Audio.RecordStart(std::string());
    }
    if (state & REC_RECORDING) return 1;

    std::wstring folder = plat::Utf8ToWide(g_pAppParameter->RecordFolder());
    if (folder.size() > 260) folder.resize(260);
    const std::string folder8 = plat::WideToUtf8(folder);
    std::string path;
    if (!g_pAppParameter->m_AutoRecFileName) {
        std::wstring typed = plat::Utf8ToWide(ui::GetItemText(m_hWnd, IDC_REC_NAME));
        if (typed.size() > 259) typed.resize(259);
        bool changed = false;
        const std::wstring name = recorder::CompleteRecordName(typed, &changed);
        if (changed) ui::SetItemText(m_hWnd, IDC_REC_NAME, plat::WideToUtf8(name));
        path = recorder::JoinRecordPath(folder8, plat::WideToUtf8(name));
        if (recorder::RecordFileExists(path)) {
            const std::string question =
                FormatMessageText(recorder::OverwriteQuestionFormat(language), plat::WideToUtf8(name));
            if (MessageBoxHook(question, recorder::RecordingCaption(language),
                               MB_YESNO | MB_DEFBUTTON2 | MB_ICONQUESTION) != IDYES)
                return 0;
        }
    } else {
        path = recorder::AutoRecordPath(folder8, plat::GetLocalTimeNow());
    }
    plat::Trace("save file = %s\n", path.c_str());

    if (!IsCaptureRunning() && !StartCapture()) return 0;
    // Counted from here: blocks lost before this take are not this take's.
    m_DroppedAtTakeStart = m_Audio.GetDroppedBlocks();
    SetStatus(IDC_REC_DROPPED, "");
    if (m_Audio.RecordStart(path)) {
        EnableWindow(GetDlgItem(m_hWnd, IDC_MIC), FALSE);
        KeepSystemAwake(true);
        UpdateMenus();
        return 1;
    }
    RecordStopSequence();
    ShowMessage(recorder::SaveFailedFormat(language), path, recorder::RecordingCaption(language),
                MB_ICONERROR);
    return 0;
}

void CAppMain::RecordPauseSequence() {
    plat::Trace("OnMenu_RecPause()\n");
    const int32_t state = m_Audio.GetRecordState();
    if (state == REC_PAUSED) {
        // PAUSE again goes on recording, like REC.
        RecordStartSequence();
        return;
    }
    if (state == REC_RECORDING && m_Audio.RecordPause()) {
        SetCheck(IDC_REC_START, false);
        SetCheck(IDC_REC_STOP, false);
        SetCheck(IDC_REC_PAUSE, true);
        return;
    }
    // Nothing to pause: no button stays pressed.
    SetCheck(IDC_REC_PAUSE, false);
}

void CAppMain::RecordStopSequence() {
    plat::Trace("OnMenu_RecStop()\n");
    SetCheck(IDC_REC_START, false);
    SetCheck(IDC_REC_PAUSE, false);
    SetCheck(IDC_REC_STOP, true);
    m_Audio.RecordStop();
    // The warning stays after the take until the next one starts.
    ShowDroppedBlocks();
    EnableWindow(GetDlgItem(m_hWnd, IDC_MIC), TRUE);
    SetCheck(IDC_REC_STOP, false);
    if (g_pAppParameter->m_Loopback) StopCapture();
    SetStatus(IDC_REC_TIME, "");
    KeepSystemAwake(false);
    UpdateMenus();
}

void CAppMain::ShowDroppedBlocks() {
    const std::string text =
        uilogic::DroppedBlocksText(m_Audio.GetDroppedBlocks(), m_DroppedAtTakeStart, GetLanguage());
    // Asked five times a second while recording: repaint only a change.
    if (m_hWnd && ui::GetItemText(m_hWnd, IDC_REC_DROPPED) != text) SetStatus(IDC_REC_DROPPED, text.c_str());
}

void CAppMain::OnRecordWriteError() {
    // The record thread has already closed the file with what was saved; the
    // window only has to catch up with it.
    const std::string path = m_Audio.GetRecordPath();
    RecordStopSequence();
    const int language = GetLanguage();
    SetStatus(IDC_CAP_STATUS, uilogic::CaptureStatusText(uilogic::STATUS_WRITE_ERROR, language));
    ShowMessage(recorder::WriteFailedFormat(language), path, recorder::RecordingCaption(language),
                MB_ICONERROR);
}
