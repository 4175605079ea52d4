#include "ui/CEffectSelectDialog.h"

#include "effects/CEffectManager.h"
#include "res/resource.h"
#include "ui/Controls.h"

int CEffectSelectDialog::TemplateFor(int language) {
    return language == 1 ? IDD_EFFECT_SELECT_JA : IDD_EFFECT_SELECT_JA + IDD_ENGLISH_OFFSET;
}

void CEffectSelectDialog::OnInitDialog(HWND window) {
    m_Type = -1;
    HWND list = GetDlgItem(window, IDC_EFFECT_LIST);
    CEffectManager* manager = g_pEffectManager;
    if (!list || !manager) return;
    for (int32_t type = 0; type < EFFECT_TYPE_COUNT; ++type) {
        const wchar_t* name = manager->GetEffectName(type);
        if (!name) continue;
        LRESULT row = SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
        if (row >= 0) SendMessageW(list, LB_SETITEMDATA, static_cast<WPARAM>(row), type);
    }
}

void CEffectSelectDialog::OnCommand(HWND window, int id, int code) {
    if (id == IDC_EFFECT_LIST && code == LBN_DBLCLK) {
        if (ui::ListSelection(GetDlgItem(window, IDC_EFFECT_LIST)) >= 0 && OnOK(window)) End(1);
        return;
    }
    CDialog::OnCommand(window, id, code);
}

int CEffectSelectDialog::OnOK(HWND window) {
    HWND list = GetDlgItem(window, IDC_EFFECT_LIST);
    const int row = ui::ListSelection(list);
    if (row >= 0)
        m_Type = static_cast<int32_t>(SendMessageW(list, LB_GETITEMDATA, static_cast<WPARAM>(row), 0));
    return 1;
}
