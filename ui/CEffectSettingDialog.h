// The effect chain editor: a modeless dialog over the main window. Row r of
// its list, entry r of the effect list and chain position r always describe
// the same effect; every edit reaches the running chain at once through the
// process-wide effect manager. The object lives for the whole run; its window
// is created at the first Show and afterwards only shown and hidden.
//
// The chain file is read, and the running chain built from it, once per run
// (at the first creation of the window). Close only hides the window; should
// the window ever be created again, the list is filled from the entries the
// object already holds. The effect manager may be gone before the dialog at
// exit, so it is looked up before every call.
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
    // The rate handed to AddEffect and SetEffectParams (the capture frequency;
    // the manager prefers the engine's own rate once the engine has reported it).
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
    // The entry shown on the right, or null.
    EffectItem* GetCurrent() const { return m_pCurrent; }

    // ---- CDialog
    INT_PTR DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override;
    void OnInitDialog(HWND window) override;
    // Enter and Escape (ids 1 and 2) do nothing: only Close hides the editor.
    void OnCommand(HWND window, int id, int code) override;

  protected:
    // The effect type the user picks for a new entry, -1 for none: runs the
    // chooser modally over this dialog. Tests answer it themselves.
    virtual int32_t ChooseType();

    void AddItem();
    void DeleteItem();
    void MoveItem(int direction);
    void ToggleItem();
    void OnSlider(int group);
    void Close();

    void ShowItem(EffectItem* item);
    void ShowGroups(uint32_t mask);
    void SetGroup(int group, const wchar_t* label, int32_t min, int32_t max, int32_t value);

    int m_Language = 0;
    HWND m_hOwner = nullptr;
    HINSTANCE m_hInstance = nullptr;
    int32_t m_SampleRate = 48000;
    CString m_ChainPath{CEffectList::DEFAULT_FILE};
    CEffectList m_Entries;

  private:
    void FillList();
    void SelectRow(int row);
    int Selection() const;
    int RowCount() const;
    // The position of the current entry among the entries, or -1.
    int CurrentPosition() const;
    void UpdateButtons();
    HWND Item(int id) const { return GetDlgItem(m_hWnd, id); }

    EffectItem* m_pCurrent = nullptr;
    bool m_bLoaded = false;     // the chain file was read in this run
    bool m_bChainBuilt = false; // the running chain was built from the entries
};
