// The recording settings dialog (modal): the record folder, how a mono capture
// is written, how a playing file reaches the recording, and the switches that
// show the EFX and V.CUT buttons. OK stores into the settings singleton and
// saves it. User-interface thread only.
#pragma once

#include "app/CDialog.h"

class CSettingRecDialog : public CDialog {
  public:
    explicit CSettingRecDialog(int language);

    // Runs the dialog from template 2002 (Japanese) or 2102; 1 after OK.
    INT_PTR Run(HINSTANCE instance, HWND owner);

  protected:
    int m_Language;
};
