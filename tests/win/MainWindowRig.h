// The main window in-process for the tests: settings in a scratch folder, an
// application object whose waiting dialogs and message boxes are answered by
// the test, and a message pump that waits for a condition.
#pragma once

#include "app/CAppMain.h"
#include "app/CChooseLanguageDialog.h"
#include "res/resource.h"
#include "settings/CAppParameter.h"
#include "ui/Controls.h"

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace mainwin {

// Held by a test that shows a main window or starts sonvel.exe: a visible main
// window in one test process would be found as "the running recorder" by a
// start in another, so these tests take turns across processes.
class ShownWindowLock {
  public:
    ShownWindowLock() : m_Mutex(CreateMutexW(nullptr, FALSE, L"Local\\sonvel-tests-shown-main-window")) {
        if (m_Mutex) {
            DWORD r = WaitForSingleObject(m_Mutex, 180000);
            m_Held = r == WAIT_OBJECT_0 || r == WAIT_ABANDONED;
        }
    }
    ~ShownWindowLock() {
        if (m_Held) ReleaseMutex(m_Mutex);
        if (m_Mutex) CloseHandle(m_Mutex);
    }
    ShownWindowLock(const ShownWindowLock&) = delete;
    ShownWindowLock& operator=(const ShownWindowLock&) = delete;

  private:
    HANDLE m_Mutex;
    bool m_Held = false;
};

// A scratch folder of its own per test, removed with its files at the end.
class ScratchDir {
  public:
    explicit ScratchDir(const char* name);
    ~ScratchDir();
    std::string File(const std::string& name) const { return m_Path + "\\" + name; }
    const std::string& Path() const { return m_Path; }

  private:
    std::string m_Path;
};

// The settings singleton for one test: MME drivers (the test bed's null
// sinks), the given language, the record folder in the scratch folder.
class TestSettings {
  public:
    TestSettings(const ScratchDir& dir, int language);
    ~TestSettings();
    CAppParameter p;
};

class TestApp : public CAppMain {
  public:
    using CAppMain::CAppMain;
    using CAppMain::IsRecording;

    int MessageBoxHook(const std::string& text, const std::string& caption, UINT type) override;
    INT_PTR RunLanguageDialog(CChooseLanguageDialog& dialog, int templateId) override;
    INT_PTR RunDeviceSettings() override { return m_DeviceSettings ? m_DeviceSettings() : 0; }
    INT_PTR RunRecordSettings() override { return m_RecordSettings ? m_RecordSettings() : 0; }
    HWND ShowEffectDialog() override;
    void HideEffectDialog() override;
    bool AskPlayFile(std::wstring* path) override;
    bool ShellOpen(const std::wstring& target) override {
        m_Opened.push_back(target);
        return true;
    }

    // What the boxes said ("caption|text") and what the next yes/no gets.
    std::vector<std::string> m_Messages;
    int m_Answer = IDNO;
    // The language dialog: which line to pick and whether the main window
    // existed when it was asked.
    int m_PickLanguage = -1;
    int m_LanguageDialogs = 0;
    bool m_MainWindowAtChooser = false;
    std::function<INT_PTR()> m_DeviceSettings, m_RecordSettings;
    HWND m_FakeEffect = nullptr;
    std::wstring m_NextPlayFile;
    std::vector<std::wstring> m_Opened;
};

// Runs the thread's messages until `condition` holds or `ms` pass.
bool PumpUntil(const std::function<bool()>& condition, int ms);
void Pump(int ms);
// A click as the button sends it.
void Click(HWND window, int id);
bool Checked(HWND window, int id);
bool Enabled(HWND window, int id);
std::string Text(HWND window, int id);

// A 16-bit PCM WAV of a 1 kHz tone; `seconds` long.
bool WriteToneWav(const std::string& path, int rate, int channels, double seconds);
// MPEG-1 Layer III frames that decode to silence, 48 kHz stereo, `seconds` long.
bool WriteSilentMp3(const std::string& path, double seconds);
// Frames of a WAV file's data chunk and its rate; false when it is not one.
bool ReadWavFrames(const std::string& path, uint64_t* frames, uint32_t* rate);

} // namespace mainwin
