// The main window in-process for the tests: settings in a scratch folder, an
// application object whose waiting dialogs and message boxes are answered by
// the test, and a message pump that waits for a condition.
#pragma once

#include "app/CAppMain.h"
#include "app/CChooseLanguageDialog.h"
#include "res/resource.h"
#include "settings/CAppParameter.h"
#include "tests/win/WinTestUtil.h"
#include "ui/Controls.h"

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace mainwin {

// Held by a test that shows a main window or starts sonvel.exe: a visible main
// window in one test process would be found as "the running recorder" by a
// start in another, so these tests take turns across processes.
struct ShownWindowLock : wintest::NamedLock {
    ShownWindowLock() : NamedLock(L"Local\\sonvel-tests-shown-main-window", 180000) {}
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
struct TestSettings {
    TestSettings(const ScratchDir& dir, int language);
    ~TestSettings() { g_pAppParameter = nullptr; }
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
    void HideEffectDialog() override { ShowWindow(m_FakeEffect, SW_HIDE); }
    bool AskPlayFile(std::wstring* path) override {
        *path = m_NextPlayFile;
        return !path->empty();
    }

    // What the boxes said ("caption|text") and what the next yes/no gets.
    std::vector<std::string> m_Messages;
    int m_Answer = IDNO;
    // The language dialog: which line to pick (-1: cancel) and whether the
    // main window existed when it was asked.
    int m_PickLanguage = -1;
    int m_LanguageDialogs = 0;
    bool m_MainWindowAtChooser = false;
    std::function<INT_PTR()> m_DeviceSettings, m_RecordSettings;
    HWND m_FakeEffect = nullptr;
    std::wstring m_NextPlayFile;
};

// Runs the thread's messages until `condition` holds or `ms` pass.
bool PumpUntil(const std::function<bool()>& condition, int ms);
inline void Pump(int ms) {
    PumpUntil([] { return false; }, ms);
}
// A click as the button sends it.
inline void Click(HWND window, int id) {
    SendMessageW(window, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(window, id)));
}
inline std::string Text(HWND window, int id) {
    return ui::GetItemText(window, id);
}

// A silent 48 kHz stereo 16-bit WAV, `seconds` long.
bool WriteToneWav(const std::string& path, double seconds);
// MPEG-1 Layer III frames that decode to silence, 48 kHz stereo, `seconds` long.
bool WriteSilentMp3(const std::string& path, double seconds);
// Frames of a WAV file's data chunk; 0 when it is not one.
uint64_t WavFrames(const std::string& path);

} // namespace mainwin
