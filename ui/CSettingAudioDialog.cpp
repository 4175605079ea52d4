// Placeholder until the dialog lands.
#include "ui/CSettingAudioDialog.h"

CSettingAudioDialog::CSettingAudioDialog(int language, CDriverFactory* factory)
    : m_Language(language), m_pFactory(factory) {}
CSettingAudioDialog::~CSettingAudioDialog() = default;
INT_PTR CSettingAudioDialog::Run(HINSTANCE, HWND) { return 0; }
