#include "ui/CChildView.h"

#include "settings/CAppParameter.h"

#include <cwchar>

namespace {
const wchar_t* ChildClassName() {
    return L"SONVEL CHILD WINDOW";
}
} // namespace

CChildView::~CChildView() {
    if (m_hFont) DeleteObject(m_hFont);
    Destroy();
}

int CChildView::RegisterClass(HINSTANCE instance) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    if (GetClassInfoExW(instance, ChildClassName(), &wc)) return 1;
    wc = WNDCLASSEXW{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = StaticProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512)); // IDC_ARROW
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    wc.lpszClassName = ChildClassName();
    return RegisterClassExW(&wc) ? 1 : 0;
}

int CChildView::Create(HWND parent, LONG_PTR userValue, DWORD style, DWORD exStyle) {
    if (m_hWnd) return 1;
    HINSTANCE instance = GetModuleHandleW(nullptr);
    if (!RegisterClass(instance)) return 0;
    m_hParent = parent;
    m_UserValue = userValue;
    HWND w = CreateWindowExW(exStyle, ChildClassName(), L"", WS_CHILD | WS_VISIBLE | style, 0, 0, 0, 0,
                             parent, nullptr, instance, this);
    return w ? 1 : 0;
}

void CChildView::Destroy() {
    if (!m_hWnd) return;
    HWND w = m_hWnd;
    SetWindowLongPtrW(w, GWLP_USERDATA, 0);
    m_hWnd = nullptr;
    if (IsWindow(w)) DestroyWindow(w);
}

void CChildView::Invalidate() {
    if (m_hWnd) InvalidateRect(m_hWnd, nullptr, FALSE);
}

void CChildView::Move(const RECT& r) {
    Move(r.left, r.top, r.right - r.left, r.bottom - r.top);
}

void CChildView::Move(int x, int y, int width, int height) {
    if (m_hWnd) MoveWindow(m_hWnd, x, y, width, height, TRUE);
}

void CChildView::Enable(bool on) {
    if (m_hWnd) EnableWindow(m_hWnd, on ? TRUE : FALSE);
}

void CChildView::SetFont(const wchar_t* face, int height, int charset) {
    if (m_hFont) DeleteObject(m_hFont);
    LOGFONTW lf{};
    lf.lfHeight = height;
    lf.lfCharSet = static_cast<BYTE>(charset);
    lf.lfPitchAndFamily = FIXED_PITCH;
    wcsncpy(lf.lfFaceName, face ? face : L"", LF_FACESIZE - 1);
    m_hFont = CreateFontIndirectW(&lf);
}

void CChildView::EnsureFont() {
    if (m_hFont) return;
    const bool ja = g_pAppParameter && g_pAppParameter->m_Language == 1;
    int height = g_pAppParameter ? g_pAppParameter->m_FontSize : 0;
    if (height <= 0) height = ja ? 12 : 14;
    std::wstring face;
    if (g_pAppParameter && !g_pAppParameter->m_FontName.IsEmpty())
        face = g_pAppParameter->m_FontName.GetWide();
    if (face.empty()) face = ja ? L"ＭＳ ゴシック" : L"Courier New";
    if (face.size() > 32) face.resize(32);
    SetFont(face.c_str(), height, ja ? SHIFTJIS_CHARSET : ANSI_CHARSET);
}

void CChildView::Paint(HDC dc) {
    RECT client;
    GetClientRect(m_hWnd, &client);
    const int w = client.right - client.left, h = client.bottom - client.top;
    if (w <= 0 || h <= 0) return;
    HDC mem = CreateCompatibleDC(dc);
    HBITMAP bitmap = CreateCompatibleBitmap(dc, w, h);
    if (!mem || !bitmap) {
        if (bitmap) DeleteObject(bitmap);
        if (mem) DeleteDC(mem);
        return;
    }
    HGDIOBJ oldBitmap = SelectObject(mem, bitmap);
    FillRect(mem, &client, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));

    EnsureFont();
    HGDIOBJ oldFont = m_hFont ? SelectObject(mem, m_hFont) : nullptr;
    TEXTMETRICW tm{};
    if (GetTextMetricsW(mem, &tm)) {
        m_CharWidth = tm.tmAveCharWidth;
        m_LineHeight = tm.tmHeight + tm.tmExternalLeading;
        m_LinePitch = m_LineHeight + 1;
    }
    HPEN pen = CreatePen(PS_SOLID, 1, RGB(0xC8, 0xC8, 0xC8));
    HGDIOBJ oldPen = SelectObject(mem, pen);
    Draw(mem, client);
    SelectObject(mem, oldPen);
    DeleteObject(pen);
    if (oldFont) SelectObject(mem, oldFont);

    BitBlt(dc, 0, 0, w, h, mem, 0, 0, SRCCOPY);
    SelectObject(mem, oldBitmap);
    DeleteObject(bitmap);
    DeleteDC(mem);
}

LRESULT CALLBACK CChildView::StaticProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
        auto* self = static_cast<CChildView*>(create->lpCreateParams);
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        if (self) self->m_hWnd = window;
    }
    auto* self = reinterpret_cast<CChildView*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!self) return DefWindowProcW(window, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        if (self->m_hWnd == window) self->m_hWnd = nullptr;
        return DefWindowProcW(window, message, wParam, lParam);
    }
    return self->WindowProc(message, wParam, lParam);
}

LRESULT CChildView::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE:
        if (OnCreate()) return 0;
        break;
    case WM_SIZE:
        m_bSized = true;
        if (OnSize(LOWORD(lParam), HIWORD(lParam))) return 0;
        break;
    case WM_ERASEBKGND:
        return 1; // everything is painted through the memory bitmap
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(m_hWnd, &ps);
        Paint(dc);
        EndPaint(m_hWnd, &ps);
        return 0;
    }
    case WM_LBUTTONDOWN:
        SetFocus(m_hWnd);
        SetCapture(m_hWnd);
        return 0;
    case WM_LBUTTONUP:
        ReleaseCapture();
        return 0;
    default:
        break;
    }
    return DefWindowProcW(m_hWnd, message, wParam, lParam);
}
