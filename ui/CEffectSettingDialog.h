// The effect chain editor: a modeless dialog over the main window. Row r of
// its list, entry r of the effect list and chain position r always describe
// the same effect; every edit reaches the running chain at once through the
// process-wide effect manager. The object lives for the whole run; its window
// is created at the first Show and afterwards only shown and hidden.
// User-interface thread only.
#pragma once

#include "app/CDialog.h"
#include "effects/CEffectList.h"

#include <cstdint>

class CEffectSettingDialog : public CDialog {
  public:
    CEffectSettingDialog();
    ~CEffectSettingDialog() override;

    // 1 Japanese (template 2003), otherwise English (2103).
    void SetLanguage(int language) { m_Language = language; }
    // The main window: parent of the dialog and receiver of WM_EFFECT_CLOSE.
    void SetOwner(HWND owner) { m_hOwner = owner; }
    // The rate handed to AddEffect and SetEffectParams.
    void SetSampleRate(int32_t rate) { m_SampleRate = rate; }
    // The chain file read at the first Show and written by SaveEffectList.
    void SetChainPath(const CString& path) { m_ChainPath = path; }

    // Creates the window the first time (loading the chain file and building
    // the running chain from it), then shows it. Null when it cannot be created.
    HWND Show(HINSTANCE instance);
    // Hides the window, when there is one.
    void Hide();
    // Writes the chain file when the list was loaded or edited in this run.
    int SaveEffectList();
    CEffectList& Entries() { return m_Entries; }

  protected:
    int m_Language = 0;
    HWND m_hOwner = nullptr;
    int32_t m_SampleRate = 48000;
    CString m_ChainPath{CEffectList::DEFAULT_FILE};
    CEffectList m_Entries;
};
