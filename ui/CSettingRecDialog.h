// The recording settings dialog (modal): the record folder, how a mono capture
// is written, how a playing file reaches the recording, and the switches that
// show the EFX and V.CUT buttons. OK checks the folder, stores into the
// settings singleton and saves it; a folder that cannot take recordings is
// refused with a message and the dialog stays open. User-interface thread only.
#pragma once

#include "app/CDialog.h"

#include <string>

class CSettingRecDialog : public CDialog {
  public:
    explicit CSettingRecDialog(int language);

    // Runs the dialog from template 2002 (Japanese) or 2102; 1 after OK.
    INT_PTR Run(HINSTANCE instance, HWND owner);
    // The template Run shows for this language.
    int TemplateId() const;

    void OnInitDialog(HWND window) override;
    void OnCommand(HWND window, int id, int code) override;
    int OnOK(HWND window) override;

  protected:
    // The platform's folder browser, starting at `folder` when it names one.
    // True with the picked folder (UTF-8) in `folder`; false when cancelled.
    // Virtual so a test can answer in place of the user.
    virtual bool BrowseForFolder(HWND owner, std::string* folder);
    // A message box owned by the dialog; returns the button pressed. Virtual
    // so a test can answer in place of the user.
    virtual int ShowMessage(HWND owner, const std::string& text, UINT type);

    int m_Language;
};
