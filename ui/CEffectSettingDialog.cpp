// Placeholder until the editor lands: shows nothing.
#include "ui/CEffectSettingDialog.h"

CEffectSettingDialog::CEffectSettingDialog() = default;
CEffectSettingDialog::~CEffectSettingDialog() = default;
HWND CEffectSettingDialog::Show(HINSTANCE) { return nullptr; }
void CEffectSettingDialog::Hide() {}
int CEffectSettingDialog::SaveEffectList() { return m_Entries.SaveEffectList(m_ChainPath); }
