#include "tests/win/MainWindowRig.h"

#include "engine/PlayFileInfo.h"
#include "media/CWaveFile.h"
#include "platform/Platform.h"

#include <cmath>
#include <cstdio>
#include <vector>

namespace mainwin {

ScratchDir::ScratchDir(const char* name) {
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    std::string leaf = name;
    for (char& c : leaf)
        if (c == '/' || c == '\\') c = '-';
    m_Path = plat::WideToUtf8(temp) + "sonvel-mainwin-" + std::to_string(GetCurrentProcessId()) + "-" + leaf;
    CreateDirectoryW(plat::Utf8ToWide(m_Path).c_str(), nullptr);
}

ScratchDir::~ScratchDir() {
    std::wstring dir = plat::Utf8ToWide(m_Path);
    WIN32_FIND_DATAW found;
    HANDLE h = FindFirstFileW((dir + L"\\*").c_str(), &found);
    if (h != INVALID_HANDLE_VALUE) {
        do {
            DeleteFileW((dir + L"\\" + found.cFileName).c_str());
        } while (FindNextFileW(h, &found));
        FindClose(h);
    }
    RemoveDirectoryW(dir.c_str());
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

TestSettings::~TestSettings() {
    g_pAppParameter = nullptr;
}

int TestApp::MessageBoxHook(const std::string& text, const std::string& caption, UINT type) {
    m_Messages.push_back(caption + "|" + text);
    return (type & 0xF) == MB_YESNO ? m_Answer : IDOK;
}

INT_PTR TestApp::RunLanguageDialog(CChooseLanguageDialog& dialog, int templateId) {
    ++m_LanguageDialogs;
    m_MainWindowAtChooser = FindWindowW(MainClassName(), nullptr) != nullptr || GetWindow() != nullptr;
    // The real dialog, answered like a user would.
    HWND w = dialog.Create(GetModuleHandleW(nullptr), templateId, nullptr);
    if (!w) return -1;
    if (m_PickLanguage >= 0) ui::ComboSelect(GetDlgItem(w, IDC_LANGUAGE_LIST), m_PickLanguage);
    SendMessageW(w, WM_COMMAND, m_PickLanguage >= 0 ? IDOK : IDCANCEL, 0);
    return m_PickLanguage >= 0 ? 1 : 0;
}

HWND TestApp::ShowEffectDialog() {
    if (!m_FakeEffect)
        m_FakeEffect = CreateWindowExW(0, L"STATIC", L"effects", WS_POPUP | WS_CAPTION | WS_SYSMENU, 0, 0,
                                       200, 100, GetWindow(), nullptr, GetModuleHandleW(nullptr), nullptr);
    if (m_FakeEffect) ShowWindow(m_FakeEffect, SW_SHOWNOACTIVATE);
    return m_FakeEffect;
}

void TestApp::HideEffectDialog() {
    if (m_FakeEffect) ShowWindow(m_FakeEffect, SW_HIDE);
}

bool TestApp::AskPlayFile(std::wstring* path) {
    if (m_NextPlayFile.empty()) return false;
    *path = m_NextPlayFile;
    return true;
}

void Pump(int ms) {
    PumpUntil([] { return false; }, ms);
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

void Click(HWND window, int id) {
    SendMessageW(window, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(window, id)));
}

bool Checked(HWND window, int id) {
    return IsDlgButtonChecked(window, id) == BST_CHECKED;
}

bool Enabled(HWND window, int id) {
    return IsWindowEnabled(GetDlgItem(window, id)) != FALSE;
}

std::string Text(HWND window, int id) {
    return ui::GetItemText(window, id);
}

bool WriteToneWav(const std::string& path, int rate, int channels, double seconds) {
    WAVEFORMATEX f{};
    f.wFormatTag = 1;
    f.nChannels = static_cast<uint16_t>(channels);
    f.nSamplesPerSec = static_cast<uint32_t>(rate);
    f.wBitsPerSample = 16;
    f.nBlockAlign = static_cast<uint16_t>(channels * 2);
    f.nAvgBytesPerSec = f.nBlockAlign * f.nSamplesPerSec;
    CWaveFile wave;
    if (wave.CreateWave(CString(path), f, 1) != 0) return false;
    const size_t frames = static_cast<size_t>(rate * seconds);
    std::vector<int16_t> samples(frames * channels);
    for (size_t i = 0; i < frames; ++i)
        for (int c = 0; c < channels; ++c)
            samples[i * channels + c] =
                static_cast<int16_t>(8000 * std::sin(6.283185307179586 * 1000 * i / rate));
    bool ok = wave.WriteSamples(0, samples.data(), static_cast<uint32_t>(samples.size() * 2)) != 0;
    wave.Close();
    return ok;
}

bool WriteSilentMp3(const std::string& path, double seconds) {
    // 128 kbit/s at 48 kHz: 384-byte frames of 1152 samples; zero side
    // information and main data decode to silence.
    std::vector<uint8_t> frame(384, 0);
    frame[0] = 0xFF;
    frame[1] = 0xFB; // MPEG-1, Layer III, no CRC
    frame[2] = 0x94; // bitrate index 9, 48 kHz, no padding
    frame[3] = 0x40; // joint stereo
    const int count = static_cast<int>(seconds * 48000 / 1152);
    FILE* f = _wfopen(plat::Utf8ToWide(path).c_str(), L"wb");
    if (!f) return false;
    bool ok = true;
    for (int i = 0; i < count && ok; ++i)
        ok = std::fwrite(frame.data(), 1, frame.size(), f) == frame.size();
    return std::fclose(f) == 0 && ok;
}

bool ReadWavFrames(const std::string& path, uint64_t* frames, uint32_t* rate) {
    PlayFileInfo info;
    *rate = ReadPlayFileInfo(plat::Utf8ToWide(path).c_str(), info);
    *frames = info.frames;
    return *rate != 0;
}

} // namespace mainwin
