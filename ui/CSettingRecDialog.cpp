// Placeholder until the dialog lands.
#include "ui/CSettingRecDialog.h"

CSettingRecDialog::CSettingRecDialog(int language) : m_Language(language) {}
INT_PTR CSettingRecDialog::Run(HINSTANCE, HWND) { return 0; }
