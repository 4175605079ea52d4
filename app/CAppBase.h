// The application frame in dialog mode: the main window is a dialog template
// whose class is our own (registered here with the dialog manager's procedure),
// so a second start can find a running instance by that class. The frame runs
// the start-up and shut-down skeleton, routes the main dialog's messages to
// virtual handlers and carries the standard commands (exit, help, about,
// language). Exactly one frame object exists; the static dialog procedure finds
// it through the process-wide pointer. User-interface thread only.
#pragma once

#include <windows.h>

#include <shellapi.h>

#include <string>

class CChooseLanguageDialog;

class CAppBase {
  public:
    CAppBase();
    virtual ~CAppBase();
    CAppBase(const CAppBase&) = delete;
    CAppBase& operator=(const CAppBase&) = delete;

    // The whole application life: InitInstance, the modal main dialog,
    // ExitInstance. Returns the dialog's result (0 when it never showed).
    virtual int Run(HINSTANCE instance, HINSTANCE previous, PWSTR commandLine, int show);
    // The main dialog created modeless (tests drive it in-process). Registers
    // the class and makes this the process-wide frame; null on failure.
    HWND Create(HINSTANCE instance, HWND parent);
    // Ends a modeless main dialog without asking (tests).
    void DestroyModeless();

    virtual INT_PTR DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    virtual void OnInitDialog(HWND window) { m_hWnd = window; }
    // Asks CanClose(0); when allowed ends the dialog with 1.
    virtual void OnClose();
    virtual void OnCommand(int id, int code);
    virtual void OnNotify(NMHDR* header) { (void)header; }
    virtual void OnDropFiles(HDROP drop);

    virtual int InitInstance(HINSTANCE instance);
    virtual void ExitInstance() {}
    virtual void OnShown() {}
    // 1 when the main window may close; the frame always allows it.
    virtual int CanClose(int force) {
        (void)force;
        return 1;
    }
    virtual int GetDialogTemplate() = 0;

    // A running main window of ours (visible, not this one): restored or
    // brought to the top, and 1. 0 when there is none.
    virtual int FindPrevInstance();
    void DisableInstanceSearch() { m_bNoInstanceSearch = true; }

    void Exit();
    // Opens our own help page for the language in use with the shell's open verb.
    void Help();
    void About();
    // The language dialog; with `applyNow` the result also becomes the
    // language in use. Returns the chosen (or kept) index.
    int ChooseLanguage(bool applyNow);

    // The first dropped file's full path; 0 (nothing copied) without a buffer,
    // with a zero length or when the path does not fit. Frees the drop.
    static int GetDropFile(HDROP drop, wchar_t* buffer, UINT length);

    // ---- hooks for everything that waits on the user (tests answer them)
    // A message box: returns the button chosen (IDOK, IDYES, IDNO ...).
    virtual int MessageBoxHook(const std::string& text, const std::string& caption, UINT type);
    // Runs the language dialog modally; 1 after OK.
    virtual INT_PTR RunLanguageDialog(CChooseLanguageDialog& dialog, int templateId);
    // Opens a document or address with the shell; true when it was handed over.
    virtual bool ShellOpen(const std::wstring& target);

    // The help page of `language` beside the executable.
    static std::wstring HelpPagePath(int language);
    // The class every main template names.
    static const wchar_t* MainClassName();

    HWND GetWindow() const { return m_hWnd; }
    HINSTANCE GetInstance() const { return m_hInstance; }
    int GetLanguage() const;
    static CAppBase* GetApp() { return s_pApp; }

  protected:
    bool RegisterMainClass();
    void InitHtmlHelp();
    void UninitHtmlHelp();

    int m_Mode = 0; // 0 dialog mode, the only one this program uses
    HINSTANCE m_hInstance = nullptr;
    HWND m_hWnd = nullptr;
    bool m_bModal = false;
    bool m_bNoInstanceSearch = false;

  private:
    static INT_PTR CALLBACK StaticDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static CAppBase* s_pApp;

    // HTML Help: loaded once when present; without it every call is a no-op.
    HMODULE m_hHtmlHelp = nullptr;
    DWORD_PTR m_HtmlHelpCookie = 0;
    bool m_bHtmlHelpTried = false;
};
