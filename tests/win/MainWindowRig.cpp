#include "tests/win/MainWindowRig.h"

#include "engine/PlayFileInfo.h"
#include "media/CWaveFile.h"
#include "platform/Platform.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <vector>

namespace mainwin {

ScratchDir::ScratchDir(const char* name) {
    std::string leaf = name;
    std::replace(leaf.begin(), leaf.end(), '/', '-');
    auto path = std::filesystem::temp_directory_path() /
                ("sonvel-mainwin-" + std::to_string(GetCurrentProcessId()) + "-" + leaf);
    std::filesystem::create_directories(path);
    m_Path = path.string();
}

ScratchDir::~ScratchDir() {
    std::error_code ignored;
    std::filesystem::remove_all(m_Path, ignored);
}

TestSettings::TestSettings(const ScratchDir& dir, int language) {
    p.m_IniFileName = "sonvel.ini";
    p.m_IniFile = CString(dir.File("sonvel.ini"));
    p.m_LanguageSetting = language;
    p.m_Language = language == 1 ? 1 : 0;
    p.m_WavePath = CString(dir.Path());
    p.m_DriverType = 1; // MME on the test bed's sinks
    p.m_Latency = 50;
    p.m_EnableEffect = 1;
    p.m_EnableVoiceCancel = 1;
    g_pAppParameter = &p;
}

int TestApp::MessageBoxHook(const std::string& text, const std::string& caption, UINT type) {
    m_Messages.push_back(caption + "|" + text);
    return (type & 0xF) == MB_YESNO ? m_Answer : IDOK;
}

INT_PTR TestApp::RunLanguageDialog(CChooseLanguageDialog& dialog, int templateId) {
    ++m_LanguageDialogs;
    // Only this application's own window counts: other tests may show theirs.
    m_MainWindowAtChooser = GetWindow() != nullptr;
    // The real dialog, answered like a user would.
    HWND w = dialog.Create(GetModuleHandleW(nullptr), templateId, nullptr);
    if (!w) return -1;
    if (m_PickLanguage >= 0) {
        ui::ComboSelect(GetDlgItem(w, IDC_LANGUAGE_LIST), m_PickLanguage);
        EXPECT_EQ(ui::ComboSelection(GetDlgItem(w, IDC_LANGUAGE_LIST)), m_PickLanguage);
    }
    SendMessageW(w, WM_COMMAND, m_PickLanguage >= 0 ? IDOK : IDCANCEL, 0);
    return m_PickLanguage >= 0 ? 1 : 0;
}

HWND TestApp::ShowEffectDialog() {
    if (!m_FakeEffect)
        m_FakeEffect = CreateWindowExW(0, L"STATIC", L"effects", WS_POPUP, 0, 0, 200, 100, GetWindow(),
                                       nullptr, GetModuleHandleW(nullptr), nullptr);
    ShowWindow(m_FakeEffect, SW_SHOWNOACTIVATE);
    return m_FakeEffect;
}

bool PumpUntil(const std::function<bool()>& condition, int ms) {
    const DWORD end = GetTickCount() + static_cast<DWORD>(ms);
    for (;;) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        if (condition()) return true;
        if (static_cast<int>(GetTickCount() - end) >= 0) return condition();
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
}

bool WriteToneWav(const std::string& path, double seconds) {
    WAVEFORMATEX f{1, 2, 48000, 48000 * 4, 4, 16, 0};
    CWaveFile wave;
    if (wave.CreateWave(CString(path), f, 1) != 0) return false;
    std::vector<int16_t> samples(static_cast<size_t>(48000 * seconds) * 2);
    bool ok = wave.WriteSamples(samples.data(), static_cast<uint32_t>(samples.size() * 2)) != 0;
    wave.Close();
    return ok;
}

bool WriteSilentMp3(const std::string& path, double seconds) {
    // 128 kbit/s at 48 kHz: 384-byte frames of 1152 samples (MPEG-1 Layer III,
    // no CRC, joint stereo); zero side information and main data decode to silence.
    std::string frame(384, '\0');
    frame.replace(0, 4, "\xFF\xFB\x94\x40");
    std::ofstream f(std::filesystem::path(path), std::ios::binary);
    for (int i = 0; i < static_cast<int>(seconds * 48000 / 1152); ++i)
        f << frame;
    return f.good();
}

uint64_t WavFrames(const std::string& path) {
    PlayFileInfo info;
    return ReadPlayFileInfo(plat::Utf8ToWide(path).c_str(), info) ? info.frames : 0;
}

} // namespace mainwin
