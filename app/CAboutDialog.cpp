#include "app/CAboutDialog.h"

#include "res/resource.h"
#include "settings/CAppParameter.h"
#include "ui/Controls.h"

#include <string>

void CAboutDialog::OnInitDialog(HWND window) {
    const char* version = g_pAppParameter ? g_pAppParameter->GetVersion() : "";
    ui::SetItemText(window, IDC_ABOUT_VERSION, std::string("Version ") + version);
    ui::SetItemText(window, IDC_ABOUT_EDITION, "64bit edition");
}
