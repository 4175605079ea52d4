// The recorder's application object and main window: the frame in dialog mode
// plus the engine's listener. It owns the engine, the effect dialog object, an
// XML document and the level meter. Every handler runs on the user-interface
// thread; the engine's threads reach it only through PostToWindow.
//
// Split by concern: CAppMain.cpp (start-up, messages, commands, switches,
// settings dialogs, close), CAppMainCapture.cpp (capture and monitor),
// CAppMainRecord.cpp (record start, pause, stop, write errors) and
// CAppMainPlay.cpp (play file, play start, pause, stop).
#pragma once

#include "app/CAppBase.h"
#include "engine/CAudioControl.h"
#include "engine/CWindowEventListener.h"
#include "settings/CXml.h"
#include "ui/CEffectSettingDialog.h"
#include "ui/CLevelMeter.h"

#include <atomic>
#include <string>

class CAppMain : public CAppBase, public CWindowEventListener {
  public:
    static constexpr UINT_PTR METER_TIMER = 1;
    // Watches a running capture for a device that went away (250 ms period).
    static constexpr UINT_PTR WATCHDOG_TIMER = 2;
    // Posted at the end of the window's set-up, so a notice about the settings
    // file comes up over the shown window rather than before it.
    static constexpr UINT WM_STARTUP_NOTICES = WM_APP + 1;

    // `factory` makes the engine's drivers (not owned; outlives the object).
    explicit CAppMain(CDriverFactory* factory);
    ~CAppMain() override;

    // ---- frame overrides
    INT_PTR DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override;
    void OnCommand(int id, int code) override;
    void OnInitDialog(HWND window) override;
    void OnDropFiles(HDROP drop) override;
    int InitInstance(HINSTANCE instance) override;
    void ExitInstance() override;
    int CanClose(int force) override;
    int GetDialogTemplate() override;

    // ---- listener side (any thread)
    void PostToWindow(uint32_t message, uintptr_t wParam, intptr_t lParam) override;

    // ---- main-window sequences
    int StartCapture();
    void StopCapture();
    int StartMonitor();
    void StopMonitor();
    void RefreshCaptureInfo();
    void RefreshMonitorInfo();
    void RefreshFolder();
    void EnablePlayback(bool on);

    int RecordStartSequence();
    void RecordStopSequence();
    void RecordPauseSequence();
    void OnRecordWriteError();

    int PlayStartSequence();
    void PlayStopSequence();
    void PlayPauseSequence();
    void ChoosePlayFile();
    // Shows the file's rate, channels and duration; returns the rate (0 when
    // no reader opens it).
    uint32_t ShowPlayFileInfo(const std::wstring& path);

    void ToggleMonitor();
    void ToggleVoiceCancel();
    void ToggleEffect();
    void DeviceSettings();
    void RecordSettings();
    void OnSuspend();
    void OnMeterTimerTick();
    void OnWatchdogTick();
    void UpdateMeter();

    CAudioControl m_Audio;
    CEffectSettingDialog m_EffectDialog;
    CXml m_Xml;
    CLevelMeter m_LevelMeter;

  protected:
    // ---- hooks for dialogs that wait on the user (tests replace them)
    virtual INT_PTR RunDeviceSettings();
    virtual INT_PTR RunRecordSettings();
    // The effect dialog's window, created at the first call; null on failure.
    virtual HWND ShowEffectDialog();
    virtual void HideEffectDialog();
    // The open-file dialog; false when cancelled.
    virtual bool AskPlayFile(std::wstring* path);

    // One of the program's printf-style messages with its %s filled in.
    static std::string FormatMessageText(const char* format, const std::string& argument);
    void ShowMessage(const char* format, const std::string& argument, const char* caption, UINT icon);
    void SetCheck(int id, bool on);
    bool IsCaptureRunning();
    bool IsRecording() const { return (m_Audio.GetRecordState() & REC_RECORDING) != 0; }
    // Settings that change the take or the play file are off while they run.
    void UpdateMenus();
    void InitEngine();
    void SetMonitorSetting(int on);
    void SetStatus(int id, const char* text);
    // The take's dropped-block warning, from the engine's count.
    void ShowDroppedBlocks();
    void ResetPlayPosition();
    // EFX and V.CUT (with their labels) as the settings enable them.
    void ShowFeatureSwitches();

    CDriverFactory* m_pFactory;
    std::atomic<HWND> m_hPostWindow{nullptr};
    int m_Level = 0;
    uint64_t m_DroppedAtTakeStart = 0; // the engine's dropped-block count when the take started
    bool m_bEngineReady = false;
    bool m_bChainNoticeShown = false; // the damaged-chain notice is said once a run
    HICON m_Icons[11] = {};
};
