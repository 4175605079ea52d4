// sonvel-drive serve: a line protocol for scripts that work the real program as
// a user does. One command per line on standard input, one answer line on
// standard output: "ok [value]" or "err reason". Control ids are those of
// res/resource.h and address the current window (the main window until
// another is chosen with `window`). Texts are UTF-8; a text argument is the
// rest of the line.
//
//   start EXE                 start EXE in its own folder, wait for the main window; value: the process id
//   window main|new [MS]|title T   make the main window, a newly opened one, or one whose caption holds T
//   current dismiss                   close every window but the main one (cancel, or OK of a message box)
//   windows                   the visible top-level windows: class "title" [disabled], separated by " | "
//   press ID                  click a button (as the mouse does: auto check boxes toggle)
//   menu ID                   choose a menu entry (a command without a control; refused under a modal window)
//   settext ID TEXT           type TEXT into an edit box
//   text ID | check ID | enabled ID | visible ID    read a control
//   choose ID TEXT|#N         pick a combo or list box line by its text or position
//   items ID                  the lines of a combo or list box, separated by " | "
//   slider ID POS             move a trackbar and tell its owner
//   wait-text ID MS [TEXT]    wait until the text holds TEXT (empty TEXT: until empty)
//   wait-check ID 0|1 MS      wait for a check state
//   msgbox yes|no|ok|cancel|read MS   wait for a message box, answer it; value: caption | text
//   nomsgbox MS               fail when a message box shows within MS
//   close                     close the current window (its close box)
//   drop PATH                 drop a file on the main window
//   responsive MS             the main window answers within MS
//   alive                     value 1 while the process runs, else 0
//   quit MS                   close the main window, wait for the end; value: exit code
//   wait-exit MS | kill       wait for the process to end / end it at once
//   sleep MS
#include "tools/sonvel-drive/Drive.h"

#include <commctrl.h>
#include <fcntl.h>
#include <io.h>
#include <shlobj.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <set>
#include <sstream>
#include <vector>

namespace {

std::wstring Wide(const std::string& s) {
    if (s.empty()) return {};
    int n = MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
    std::wstring w(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), w.data(), n);
    return w;
}

std::string Utf8(const std::wstring& w) {
    if (w.empty()) return {};
    int n =
        WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), nullptr, 0, nullptr, nullptr);
    std::string s(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), s.data(), n, nullptr, nullptr);
    return s;
}

// One answer line: line breaks inside a text become "\n" so the answer stays one line.
std::string OneLine(std::string s) {
    std::string out;
    for (char c : s) {
        if (c == '\r') continue;
        if (c == '\n')
            out += "\\n";
        else
            out += c;
    }
    return out;
}

constexpr UINT kTimeout = 5000;

// WM_GETTEXT through a time limit, so a hung program fails the command instead of the driver.
bool ReadText(HWND w, std::wstring* text) {
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(w, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, kTimeout, &length)) return false;
    std::wstring buffer(length + 1, L'\0');
    DWORD_PTR got = 0;
    if (!SendMessageTimeoutW(w, WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data()),
                             SMTO_ABORTIFHUNG, kTimeout, &got))
        return false;
    buffer.resize(std::min<size_t>(got, length));
    *text = buffer;
    return true;
}

LRESULT Send(HWND w, UINT message, WPARAM wp = 0, LPARAM lp = 0) {
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(w, message, wp, lp, SMTO_ABORTIFHUNG, kTimeout, &result)) return -1;
    return static_cast<LRESULT>(result);
}

bool IsClass(HWND w, const wchar_t* name) {
    wchar_t cls[64] = {};
    GetClassNameW(w, cls, 64);
    return _wcsicmp(cls, name) == 0;
}

// A message box: a dialog of the system class whose children are its text,
// its icon and its buttons only (the program's own dialogs use larger ids).
bool IsMessageBox(HWND w) {
    if (!IsClass(w, L"#32770")) return false;
    bool text = false, other = false;
    for (HWND c = GetWindow(w, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        const int id = GetDlgCtrlID(c);
        if (id == 0xFFFF)
            text = true;
        else if (id > 11 && id != 0x440)
            other = true;
    }
    return text && !other;
}

class Server {
  public:
    std::string Run(const std::string& line);

  private:
    Process m_Process;
    HWND m_Main = nullptr;
    HWND m_Current = nullptr;
    std::set<HWND> m_Seen;

    DWORD Pid() const { return m_Process.pi.dwProcessId; }
    HWND Control(int id) const { return m_Current ? GetDlgItem(m_Current, id) : nullptr; }
    HWND FindMessageBox() const {
        return FindTopLevel(Pid(), [](HWND w) { return IsMessageBox(w); });
    }
    std::string Start(const std::string& exe);
    std::string Window(const std::string& how, const std::string& arg);
    std::string Choose(HWND c, const std::string& what);
    std::string Items(HWND c, int* count = nullptr, std::vector<std::wstring>* lines = nullptr);
    std::string MessageBoxAnswer(const std::string& answer, DWORD ms);
    std::string Drop(const std::string& path);
};

std::string Server::Start(const std::string& exe) {
    if (m_Process.pi.hProcess) m_Process.Finish(0);
    const std::wstring path = Wide(exe);
    const size_t slash = path.find_last_of(L"\\/");
    // The program's own folder is its current one: its settings and chain file live there.
    if (!m_Process.Start(path, slash == std::wstring::npos ? std::wstring() : path.substr(0, slash)))
        return "err cannot start";
    m_Main =
        WaitWindow([&] { return FindTopLevel(Pid(), [](HWND w) { return IsClass(w, MAIN_CLASS); }); }, 60000);
    if (!m_Main) return "err no main window";
    m_Current = m_Main;
    m_Seen = {m_Main};
    return "ok " + std::to_string(Pid());
}

std::string Server::Window(const std::string& how, const std::string& arg) {
    HWND w = nullptr;
    const DWORD ms = 10000;
    if (how == "main") {
        w = m_Main;
    } else if (how == "new") {
        for (auto it = m_Seen.begin(); it != m_Seen.end();)
            it = IsWindow(*it) ? std::next(it) : m_Seen.erase(it);
        const DWORD wait = arg.empty() ? ms : static_cast<DWORD>(std::atoi(arg.c_str()));
        w = WaitWindow(
            [&] { return FindTopLevel(Pid(), [&](HWND h) { return !m_Seen.count(h) && !IsMessageBox(h); }); },
            wait);
    } else if (how == "title") {
        const std::wstring part = Wide(arg);
        w = WaitWindow(
            [&] {
                return FindTopLevel(Pid(), [&](HWND h) {
                    std::wstring caption;
                    return h != m_Main && ReadText(h, &caption) && caption.find(part) != std::wstring::npos;
                });
            },
            ms);
    } else {
        return "err window main|new|title TEXT";
    }
    if (!w) return "err no such window";
    m_Current = w;
    m_Seen.insert(w);
    std::wstring caption;
    ReadText(w, &caption);
    return "ok " + Utf8(caption);
}

std::string Server::Items(HWND c, int* count, std::vector<std::wstring>* lines) {
    const bool combo = IsClass(c, L"ComboBox");
    const LRESULT n = Send(c, combo ? CB_GETCOUNT : LB_GETCOUNT);
    if (n < 0) return "err not a list";
    std::string joined;
    for (LRESULT i = 0; i < n; ++i) {
        const LRESULT length = Send(c, combo ? CB_GETLBTEXTLEN : LB_GETTEXTLEN, static_cast<WPARAM>(i));
        std::wstring line(static_cast<size_t>(std::max<LRESULT>(length, 0)) + 1, L'\0');
        Send(c, combo ? CB_GETLBTEXT : LB_GETTEXT, static_cast<WPARAM>(i),
             reinterpret_cast<LPARAM>(line.data()));
        line.resize(wcslen(line.c_str()));
        if (lines) lines->push_back(line);
        joined += (i ? " | " : "") + Utf8(line);
    }
    if (count) *count = static_cast<int>(n);
    return "ok " + joined;
}

std::string Server::Choose(HWND c, const std::string& what) {
    int count = 0;
    std::vector<std::wstring> lines;
    std::string list = Items(c, &count, &lines);
    if (list.rfind("ok", 0) != 0) return list;
    int row = -1;
    if (!what.empty() && what[0] == '#') {
        row = std::atoi(what.c_str() + 1);
    } else {
        for (int i = 0; i < count && row < 0; ++i)
            if (lines[static_cast<size_t>(i)] == Wide(what)) row = i;
    }
    if (row < 0 || row >= count) return "err no line " + what + " in: " + list.substr(3);
    const bool combo = IsClass(c, L"ComboBox");
    Send(c, combo ? CB_SETCURSEL : LB_SETCURSEL, static_cast<WPARAM>(row));
    // The owner hears of the choice as it does from the mouse.
    PostMessageW(GetParent(c), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(c), combo ? CBN_SELCHANGE : LBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(c));
    return "ok " + Utf8(lines[static_cast<size_t>(row)]);
}

std::string Server::MessageBoxAnswer(const std::string& answer, DWORD ms) {
    HWND box = WaitWindow([&] { return FindMessageBox(); }, ms);
    if (!box) return "err no message box";
    std::wstring caption, text;
    ReadText(box, &caption);
    if (HWND t = GetDlgItem(box, 0xFFFF)) ReadText(t, &text);
    const int id = answer == "yes"      ? IDYES
                   : answer == "no"     ? IDNO
                   : answer == "ok"     ? IDOK
                   : answer == "cancel" ? IDCANCEL
                                        : 0;
    if (id) {
        if (!GetDlgItem(box, id)) return "err no button " + answer + ": " + OneLine(Utf8(text));
        PostMessageW(box, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(box, id)));
        const DWORD end = GetTickCount() + 5000;
        while (IsWindow(box) && IsWindowVisible(box) && static_cast<int32_t>(end - GetTickCount()) > 0)
            Sleep(20);
    }
    return "ok " + OneLine(Utf8(caption) + " | " + Utf8(text));
}

// The files travel as the shell's drop block; the program decides what to take.
std::string Server::Drop(const std::string& path) {
    const std::wstring w = Wide(path);
    const size_t bytes = sizeof(DROPFILES) + (w.size() + 2) * sizeof(wchar_t);
    HGLOBAL block = GlobalAlloc(GHND, bytes);
    if (!block) return "err no memory";
    auto* drop = static_cast<DROPFILES*>(GlobalLock(block));
    drop->pFiles = sizeof(DROPFILES);
    drop->fWide = TRUE;
    std::memcpy(reinterpret_cast<char*>(drop) + sizeof(DROPFILES), w.c_str(), w.size() * sizeof(wchar_t));
    GlobalUnlock(block);
    if (!PostMessageW(m_Main, WM_DROPFILES, reinterpret_cast<WPARAM>(block), 0)) {
        GlobalFree(block);
        return "err not posted";
    }
    return "ok";
}

std::string Server::Run(const std::string& line) {
    std::istringstream in(line);
    std::string cmd, arg1;
    in >> cmd;
    auto rest = [&] {
        std::string r;
        std::getline(in, r);
        const size_t start = r.find_first_not_of(' ');
        return start == std::string::npos ? std::string() : r.substr(start);
    };
    if (cmd == "start") return Start(rest());
    if (cmd == "sleep") {
        int ms = 0;
        in >> ms;
        Sleep(static_cast<DWORD>(ms));
        return "ok";
    }
    if (cmd == "alive") return std::string("ok ") + (m_Process.Running() ? "1" : "0");
    if (!m_Process.pi.hProcess) return "err not started";
    if (cmd == "kill") {
        m_Process.Finish(0);
        return "ok";
    }
    if (cmd == "wait-exit" || cmd == "quit") {
        DWORD ms = 20000;
        in >> ms;
        if (cmd == "quit") PostMessageW(m_Main, WM_CLOSE, 0, 0);
        if (WaitForSingleObject(m_Process.pi.hProcess, ms) != WAIT_OBJECT_0) return "err still running";
        return "ok " + std::to_string(m_Process.Finish(0));
    }
    if (cmd == "responsive") {
        DWORD ms = 5000;
        in >> ms;
        DWORD_PTR r = 0;
        return SendMessageTimeoutW(m_Main, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, ms, &r) ? "ok" : "err hung";
    }
    if (cmd == "window") {
        in >> arg1;
        return Window(arg1, rest());
    }
    if (cmd == "menu") {
        int id = 0;
        in >> id;
        // Under a modal dialog the menu bar takes no clicks from a user.
        if (!IsWindowEnabled(m_Main)) return "err disabled";
        return PostMessageW(m_Main, WM_COMMAND, MAKEWPARAM(id, 0), 0) ? "ok" : "err not posted";
    }
    if (cmd == "msgbox") {
        DWORD ms = 5000;
        in >> arg1 >> ms;
        return MessageBoxAnswer(arg1, ms);
    }
    if (cmd == "nomsgbox") {
        DWORD ms = 1000;
        in >> ms;
        HWND box = WaitWindow([&] { return FindMessageBox(); }, ms);
        std::wstring text;
        if (box && GetDlgItem(box, 0xFFFF)) ReadText(GetDlgItem(box, 0xFFFF), &text);
        return box ? "err message box: " + OneLine(Utf8(text)) : "ok";
    }
    if (cmd == "dismiss") {
        // Every window but the main one goes, as a user closes what is left open.
        int closed = 0;
        for (int round = 0; round < 100; ++round) {
            HWND w = FindTopLevel(Pid(), [&](HWND h) { return h != m_Main; });
            if (!w) break;
            PostMessageW(w, WM_COMMAND,
                         MAKEWPARAM(IsMessageBox(w) && !GetDlgItem(w, IDCANCEL) ? IDOK : IDCANCEL, 0), 0);
            Sleep(200);
            if (IsWindowVisible(w)) PostMessageW(w, WM_CLOSE, 0, 0);
            Sleep(100);
            ++closed;
        }
        m_Current = m_Main;
        return "ok " + std::to_string(closed);
    }
    if (cmd == "windows") {
        std::string list;
        FindTopLevel(Pid(), [&](HWND h) {
            wchar_t cls[64] = {}, title[128] = {};
            GetClassNameW(h, cls, 64);
            GetWindowTextW(h, title, 128);
            if (!list.empty()) list += " | ";
            list += Utf8(cls) + " \"" + OneLine(Utf8(title)) + "\"" + (IsWindowEnabled(h) ? "" : " disabled");
            return false;
        });
        return "ok " + list;
    }
    if (cmd == "close") {
        return m_Current && PostMessageW(m_Current, WM_CLOSE, 0, 0) ? "ok" : "err no window";
    }
    if (cmd == "drop") return Drop(rest());

    // Commands on one control of the current window.
    int id = 0;
    in >> id;
    HWND c = Control(id);
    if (!c) return "err no control " + std::to_string(id);
    if (cmd == "press") {
        // A window under a modal dialog or message box takes no clicks from a user either.
        if (!IsWindowEnabled(c) || !IsWindowEnabled(GetAncestor(c, GA_ROOT))) return "err disabled";
        return PostMessageW(c, BM_CLICK, 0, 0) ? "ok" : "err not posted";
    }
    if (cmd == "settext") {
        const std::wstring text = Wide(rest());
        return Send(c, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str())) == 1 ? "ok" : "err not set";
    }
    if (cmd == "text") {
        std::wstring text;
        return ReadText(c, &text) ? "ok " + OneLine(Utf8(text)) : "err hung";
    }
    if (cmd == "check") return "ok " + std::to_string(Send(c, BM_GETCHECK));
    if (cmd == "enabled") return std::string("ok ") + (IsWindowEnabled(c) ? "1" : "0");
    if (cmd == "visible") return std::string("ok ") + (IsWindowVisible(c) ? "1" : "0");
    if (cmd == "choose") return Choose(c, rest());
    if (cmd == "items") return Items(c);
    if (cmd == "slider") {
        int pos = 0;
        in >> pos;
        Send(c, TBM_SETPOS, TRUE, pos);
        PostMessageW(GetParent(c), (GetWindowLongW(c, GWL_STYLE) & TBS_VERT) ? WM_VSCROLL : WM_HSCROLL,
                     MAKEWPARAM(TB_THUMBPOSITION, pos), reinterpret_cast<LPARAM>(c));
        return "ok";
    }
    if (cmd == "wait-text" || cmd == "wait-check") {
        DWORD ms = 0;
        std::string want;
        if (cmd == "wait-check") {
            in >> want >> ms;
        } else {
            in >> ms;
            want = rest();
        }
        std::wstring text;
        const DWORD end = GetTickCount() + ms;
        for (;;) {
            bool match = false;
            if (cmd == "wait-check") {
                text = std::to_wstring(Send(c, BM_GETCHECK));
                match = text == Wide(want);
            } else if (ReadText(c, &text)) {
                match = want.empty() ? text.empty() : text.find(Wide(want)) != std::wstring::npos;
            }
            if (match) return "ok " + OneLine(Utf8(text));
            if (static_cast<int32_t>(end - GetTickCount()) <= 0) return "err timeout: " + OneLine(Utf8(text));
            Sleep(50);
        }
    }
    return "err unknown command " + cmd;
}

} // namespace

int Serve() {
    _setmode(_fileno(stdin), _O_BINARY);
    _setmode(_fileno(stdout), _O_BINARY);
    Server server;
    char buffer[4096];
    while (std::fgets(buffer, sizeof buffer, stdin)) {
        std::string line(buffer);
        while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
            line.pop_back();
        if (line.empty()) continue;
        const std::string answer = server.Run(line);
        std::fputs(answer.c_str(), stdout);
        std::fputc('\n', stdout);
        std::fflush(stdout);
    }
    return 0;
}
