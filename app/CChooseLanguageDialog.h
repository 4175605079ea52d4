// The language chooser: "English" / "Japanese" (in the language in use), with
// a preselected line; OK takes the chosen line, Cancel keeps the preselection.
#pragma once

#include "app/CDialog.h"

class CChooseLanguageDialog : public CDialog {
  public:
    CChooseLanguageDialog(int languageInUse, int preselected)
        : m_Language(languageInUse), m_Selected(preselected == 1 ? 1 : 0) {}

    void OnInitDialog(HWND window) override;
    int OnOK(HWND window) override;

    int GetSelected() const { return m_Selected; }

    // The first-start guess: Japanese when the user's language is Japanese (1041).
    static int GuessLanguage(LANGID userLanguage) { return userLanguage == 1041 ? 1 : 0; }

  private:
    int m_Language;
    int m_Selected;
};
