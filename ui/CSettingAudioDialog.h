// The device settings dialog (modal): driver family, latency, capture device
// (with the loopback lines), channels, rate, bits, boost and monitor device.
// The device lists are filled by short-lived drivers from the factory, so they
// show what the chosen family would open. OK stores into the settings
// singleton and saves it. User-interface thread only; the drivers it makes for
// listing need COM on that thread, as the program's UI thread has it.
#pragma once

#include "app/CDialog.h"
#include "drivers/CRenderDriver.h"
#include "uilogic/ChoiceList.h"
#include "uilogic/DeviceDialogRules.h"

#include <vector>

class CSettingAudioDialog : public CDialog {
  public:
    // `factory` makes the listing drivers (not owned).
    CSettingAudioDialog(int language, CDriverFactory* factory);

    // Runs the dialog from template 2001 (Japanese) or 2101; 1 after OK.
    INT_PTR Run(HINSTANCE instance, HWND owner);
    // The template Run shows for this language.
    int TemplateId() const;

    void OnInitDialog(HWND window) override;
    void OnCommand(HWND window, int id, int code) override;
    int OnOK(HWND window) override;

  protected:
    // Lists the devices of the driver choice into the two device lists,
    // selecting the stored devices by name.
    void FillDeviceLists(HWND window);

    int m_Language;
    CDriverFactory* m_pFactory;
    uilogic::DriverChoice m_DriverChoice = uilogic::DRIVER_CHOICE_WASAPI;
    // One description per line of each device list, in list order; a list
    // without devices has none (its one line says so and is not a choice).
    std::vector<AudioDeviceInfo> m_CaptureEntries;
    std::vector<AudioDeviceInfo> m_MonitorEntries;
};
