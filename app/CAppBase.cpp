#include "app/CAppBase.h"

#include "app/CAboutDialog.h"
#include "app/CChooseLanguageDialog.h"
#include "platform/Platform.h"
#include "res/resource.h"
#include "settings/CAppParameter.h"

#include <commctrl.h>

#include <iterator>

CAppBase* CAppBase::s_pApp = nullptr;

namespace {

// The subset of HtmlHelpW this frame calls; the library is optional.
using HtmlHelpFn = HWND(WINAPI*)(HWND, LPCWSTR, UINT, DWORD_PTR);
constexpr UINT HH_INITIALIZE_CMD = 0x001C;
constexpr UINT HH_UNINITIALIZE_CMD = 0x001D;

std::wstring ExeFolder() {
    wchar_t path[MAX_PATH * 2] = {};
    DWORD n = GetModuleFileNameW(nullptr, path, static_cast<DWORD>(std::size(path)));
    std::wstring s(path, n);
    size_t slash = s.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : s.substr(0, slash);
}

} // namespace

// The frame becomes the process-wide one when it opens its main window (Run or
// Create), so a second object (a test's) never steals the running window's messages.
CAppBase::CAppBase() = default;

CAppBase::~CAppBase() {
    DestroyModeless();
    UninitHtmlHelp();
    if (m_hHtmlHelp) FreeLibrary(m_hHtmlHelp);
    if (s_pApp == this) s_pApp = nullptr;
}

const wchar_t* CAppBase::MainClassName() {
    return L"SONVEL MAIN WINDOW";
}

int CAppBase::GetLanguage() const {
    return g_pAppParameter && g_pAppParameter->m_Language == 1 ? 1 : 0;
}

bool CAppBase::RegisterMainClass() {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    if (GetClassInfoExW(m_hInstance, MainClassName(), &wc)) return true;
    wc = WNDCLASSEXW{};
    wc.cbSize = sizeof wc;
    // The dialog manager runs windows of this class; the templates name it.
    wc.lpfnWndProc = DefDlgProcW;
    wc.cbWndExtra = DLGWINDOWEXTRA;
    wc.hInstance = m_hInstance;
    wc.hIcon = LoadIconW(m_hInstance, MAKEINTRESOURCEW(IDI_APP));
    wc.hIconSm =
        static_cast<HICON>(LoadImageW(m_hInstance, MAKEINTRESOURCEW(IDI_APP), IMAGE_ICON, 16, 16, 0));
    wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512)); // IDC_ARROW
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = MainClassName();
    return RegisterClassExW(&wc) != 0;
}

static void InitControls() {
    INITCOMMONCONTROLSEX icc{};
    icc.dwSize = sizeof icc;
    icc.dwICC = ICC_STANDARD_CLASSES | ICC_BAR_CLASSES | ICC_COOL_CLASSES;
    InitCommonControlsEx(&icc);
}

int CAppBase::Run(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    m_hInstance = instance;
    InitControls();
    if (!InitInstance(instance)) return 0;
    OnShown();
    s_pApp = this;
    m_bModal = true;
    INT_PTR result =
        DialogBoxParamW(instance, MAKEINTRESOURCEW(GetDialogTemplate()), nullptr, StaticDialogProc, 0);
    m_bModal = false;
    ExitInstance();
    return result < 0 ? 0 : static_cast<int>(result);
}

HWND CAppBase::Create(HINSTANCE instance, HWND parent) {
    m_hInstance = instance;
    InitControls();
    if (!RegisterMainClass()) return nullptr;
    s_pApp = this;
    m_bModal = false;
    return CreateDialogParamW(instance, MAKEINTRESOURCEW(GetDialogTemplate()), parent, StaticDialogProc, 0);
}

void CAppBase::DestroyModeless() {
    if (!m_bModal && m_hWnd && IsWindow(m_hWnd)) DestroyWindow(m_hWnd);
}

INT_PTR CALLBACK CAppBase::StaticDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    CAppBase* app = s_pApp;
    if (!app) return 0;
    if (message == WM_INITDIALOG) app->m_hWnd = window;
    INT_PTR handled = app->DialogProc(window, message, wParam, lParam);
    if (message == WM_NCDESTROY && app->m_hWnd == window) app->m_hWnd = nullptr;
    return handled;
}

INT_PTR CAppBase::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        OnInitDialog(window);
        return 1;
    case WM_COMMAND:
        // While a modal dialog or message box has the window disabled, a menu
        // command that still arrives (posted by another program) must not open
        // a second dialog on top of the first: a user could not choose it either.
        if (lParam == 0 && !IsWindowEnabled(window)) return 1;
        OnCommand(LOWORD(wParam), HIWORD(wParam));
        return 1;
    case WM_CLOSE:
        OnClose();
        return 1;
    case WM_NOTIFY:
        OnNotify(reinterpret_cast<NMHDR*>(lParam));
        return 0;
    case WM_DROPFILES:
        OnDropFiles(reinterpret_cast<HDROP>(wParam));
        return 1;
    case WM_DESTROY:
        UninitHtmlHelp();
        return 0;
    default:
        return 0;
    }
}

void CAppBase::OnClose() {
    if (!CanClose(0)) return;
    if (!m_hWnd) return;
    if (m_bModal)
        EndDialog(m_hWnd, 1);
    else
        DestroyWindow(m_hWnd);
}

void CAppBase::OnCommand(int id, int) {
    switch (id) {
    case IDCANCEL: // the cancel key ends the main dialog through the close path
    case IDM_EXIT:
        Exit();
        break;
    case IDM_ABOUT:
        About();
        break;
    case IDM_HELP:
        Help();
        break;
    case IDM_LANGUAGE:
        ChooseLanguage(false);
        break;
    default: // no toolbar, status bar or MDI children in dialog mode
        break;
    }
}

void CAppBase::OnDropFiles(HDROP drop) {
    GetDropFile(drop, nullptr, 0);
}

int CAppBase::GetDropFile(HDROP drop, wchar_t* buffer, UINT length) {
    if (!drop) return 0;
    int result = 0;
    if (buffer && length > 0) {
        UINT needed = DragQueryFileW(drop, 0, nullptr, 0);
        // A path cut short names another file: refuse it.
        if (needed > 0 && needed < length && DragQueryFileW(drop, 0, buffer, length) == needed) result = 1;
        if (!result) buffer[0] = L'\0';
    }
    DragFinish(drop);
    return result;
}

int CAppBase::InitInstance(HINSTANCE instance) {
    m_hInstance = instance;
    if (g_pAppParameter) {
        const int setting = g_pAppParameter->m_LanguageSetting;
        g_pAppParameter->m_Language = (setting == 0 || setting == 1) ? setting : 0;
        if (setting != 0 && setting != 1) ChooseLanguage(true);
    }
    if (FindPrevInstance()) return 0;
    if (!RegisterMainClass()) return 0;
    InitHtmlHelp();
    return 1;
}

int CAppBase::FindPrevInstance() {
    if (m_bNoInstanceSearch) return 0;
    for (HWND w = FindWindowExW(nullptr, nullptr, MainClassName(), nullptr); w;
         w = FindWindowExW(nullptr, w, MainClassName(), nullptr)) {
        // A window being built or torn down is not a running recorder.
        if (w == m_hWnd || !IsWindowVisible(w)) continue;
        if (IsIconic(w))
            ShowWindow(w, SW_RESTORE);
        else
            BringWindowToTop(w);
        SetForegroundWindow(w);
        return 1;
    }
    return 0;
}

void CAppBase::InitHtmlHelp() {
    if (m_bHtmlHelpTried) return;
    m_bHtmlHelpTried = true;
    m_hHtmlHelp = LoadLibraryExW(L"hhctrl.ocx", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (!m_hHtmlHelp) return;
    auto fn = reinterpret_cast<HtmlHelpFn>(reinterpret_cast<void*>(GetProcAddress(m_hHtmlHelp, "HtmlHelpW")));
    if (!fn) {
        FreeLibrary(m_hHtmlHelp);
        m_hHtmlHelp = nullptr;
        return;
    }
    fn(nullptr, nullptr, HH_INITIALIZE_CMD, reinterpret_cast<DWORD_PTR>(&m_HtmlHelpCookie));
}

void CAppBase::UninitHtmlHelp() {
    if (!m_hHtmlHelp || !m_HtmlHelpCookie) return;
    auto fn = reinterpret_cast<HtmlHelpFn>(reinterpret_cast<void*>(GetProcAddress(m_hHtmlHelp, "HtmlHelpW")));
    if (fn) fn(nullptr, nullptr, HH_UNINITIALIZE_CMD, m_HtmlHelpCookie);
    m_HtmlHelpCookie = 0;
}

void CAppBase::Exit() {
    OnClose();
}

std::wstring CAppBase::HelpPagePath(int language) {
    return ExeFolder() + (language == 1 ? L"\\sonvel-ja.html" : L"\\sonvel-en.html");
}

bool CAppBase::ShellOpen(const std::wstring& target) {
    auto r = reinterpret_cast<INT_PTR>(
        ShellExecuteW(m_hWnd, L"open", target.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
    return r > 32;
}

void CAppBase::Help() {
    if (!ShellOpen(HelpPagePath(GetLanguage()))) plat::Trace("[CAppBase] help page not opened\n");
}

void CAppBase::About() {
    CAboutDialog about;
    about.DoModal(m_hInstance, IDD_ABOUT_JA + (GetLanguage() == 1 ? 0 : IDD_ENGLISH_OFFSET), m_hWnd);
}

INT_PTR CAppBase::RunLanguageDialog(CChooseLanguageDialog& dialog, int templateId) {
    return dialog.DoModal(m_hInstance, templateId, m_hWnd);
}

int CAppBase::ChooseLanguage(bool applyNow) {
    if (!g_pAppParameter) return 0;
    const int setting = g_pAppParameter->m_LanguageSetting;
    int shown = GetLanguage();
    int preselected = setting;
    if (setting != 0 && setting != 1) {
        preselected = CChooseLanguageDialog::GuessLanguage(GetUserDefaultLangID());
        shown = preselected;
    }
    CChooseLanguageDialog dialog(shown, preselected);
    INT_PTR ok = RunLanguageDialog(dialog, IDD_LANGUAGE_JA + (shown == 1 ? 0 : IDD_ENGLISH_OFFSET));
    const int chosen = dialog.GetSelected();
    if (ok == 1 || applyNow) {
        g_pAppParameter->m_LanguageSetting = chosen;
        if (applyNow) g_pAppParameter->m_Language = chosen;
        g_pAppParameter->Save();
    }
    return chosen;
}

int CAppBase::MessageBoxHook(const std::string& text, const std::string& caption, UINT type) {
    return MessageBoxW(m_hWnd, plat::Utf8ToWide(text).c_str(), plat::Utf8ToWide(caption).c_str(), type);
}
