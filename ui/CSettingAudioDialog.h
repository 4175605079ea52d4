// The device settings dialog (modal): driver family, latency, capture device
// (with the loopback lines), channels, rate, bits, boost and monitor device.
// The device lists are filled by short-lived drivers from the factory, so they
// show what the chosen family would open. OK stores into the settings
// singleton and saves it. User-interface thread only.
#pragma once

#include "app/CDialog.h"
#include "drivers/CRenderDriver.h"

class CSettingAudioDialog : public CDialog {
  public:
    // `factory` makes the listing drivers (not owned).
    CSettingAudioDialog(int language, CDriverFactory* factory);
    ~CSettingAudioDialog() override;

    // Runs the dialog from template 2001 (Japanese) or 2101; 1 after OK.
    INT_PTR Run(HINSTANCE instance, HWND owner);

  protected:
    int m_Language;
    CDriverFactory* m_pFactory;
};
