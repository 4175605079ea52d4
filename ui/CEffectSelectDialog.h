// The chooser of an effect type that the effect editor's Add runs modally: a
// list of the twenty-one type names in id order. OK takes the selected line's
// type (or none without a selection); Cancel takes none.
// User-interface thread only.
#pragma once

#include "app/CDialog.h"

#include <cstdint>

class CEffectSelectDialog : public CDialog {
  public:
    // 1 Japanese (template 2004), otherwise English (2104).
    static int TemplateFor(int language);

    // The type confirmed with OK, -1 until then.
    int32_t GetType() const { return m_Type; }

    void OnInitDialog(HWND window) override;
    // A double-click on a line confirms it like OK.
    void OnCommand(HWND window, int id, int code) override;
    int OnOK(HWND window) override;

  private:
    int32_t m_Type = -1;
};
