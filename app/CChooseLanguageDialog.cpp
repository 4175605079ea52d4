#include "app/CChooseLanguageDialog.h"

#include "res/resource.h"
#include "ui/Controls.h"

void CChooseLanguageDialog::OnInitDialog(HWND window) {
    std::vector<ui::ListLine> lines;
    if (m_Language == 1)
        lines = {{"英語", 0}, {"日本語", 1}};
    else
        lines = {{"English", 0}, {"Japanese", 1}};
    ui::ComboFill(GetDlgItem(window, IDC_LANGUAGE_LIST), lines, m_Selected);
}

int CChooseLanguageDialog::OnOK(HWND window) {
    intptr_t chosen = 0;
    if (ui::ComboSelectedData(GetDlgItem(window, IDC_LANGUAGE_LIST), &chosen))
        m_Selected = static_cast<int>(chosen);
    return 1;
}
