// The About box: the version from the settings and the edition.
#pragma once

#include "app/CDialog.h"

class CAboutDialog : public CDialog {
  public:
    void OnInitDialog(HWND window) override;
};
