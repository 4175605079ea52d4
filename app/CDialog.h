// The base of every dialog. The object rides on the dialog window itself
// (DWLP_USER, set from the creation parameter at WM_INITDIALOG), so the shared
// static procedure finds the right object even with several dialogs of one
// kind; messages that arrive before WM_INITDIALOG get the default answer.
// User-interface thread only.
#pragma once

#include <windows.h>

#include <shellapi.h> // HDROP

class CDialog {
  public:
    CDialog() = default;
    virtual ~CDialog();
    CDialog(const CDialog&) = delete;
    CDialog& operator=(const CDialog&) = delete;

    // Runs the dialog modally; returns what ended it (1 OK, 0 cancel, -1 when
    // the template could not be loaded).
    INT_PTR DoModal(HINSTANCE instance, int templateId, HWND owner);
    // Creates the dialog modeless; null on failure.
    HWND Create(HINSTANCE instance, int templateId, HWND parent);

    // 1 when the message was handled, 0 for the dialog manager's default.
    virtual INT_PTR DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    virtual void OnInitDialog(HWND window) { (void)window; }
    // Ids 1 and 2 run OnOK / OnCancel and end a modal dialog when they allow it.
    virtual void OnCommand(HWND window, int id, int code);
    virtual int OnOK(HWND window) {
        (void)window;
        return 1;
    }
    virtual int OnCancel(HWND window) {
        (void)window;
        return 1;
    }
    virtual void OnNotify(HWND window, NMHDR* header) {
        (void)window;
        (void)header;
    }
    virtual void OnDropFiles(HWND window, HDROP drop);

    HWND GetWindow() const { return m_hWnd; }

  protected:
    // Ends a modal dialog; a modeless one is destroyed.
    void End(INT_PTR result);

    // Puts the program icon into the caption (once per object); the dialog
    // object owns the icon and frees it when it goes.
    void ShowSmallAppIcon(HWND window);

    HWND m_hWnd = nullptr;

  private:
    static INT_PTR CALLBACK StaticProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    bool m_bModal = false;
    HICON m_hSmallIcon = nullptr;
};
