#include "app/CDialog.h"

#include "ui/ChoiceControls.h"

#include <shellapi.h>

CDialog::~CDialog() {
    if (m_hWnd && !m_bModal && IsWindow(m_hWnd)) {
        SetWindowLongPtrW(m_hWnd, DWLP_USER, 0);
        DestroyWindow(m_hWnd);
    }
    if (m_hSmallIcon) DestroyIcon(m_hSmallIcon);
}

void CDialog::ShowSmallAppIcon(HWND window) {
    if (!m_hSmallIcon) m_hSmallIcon = ui::SetSmallAppIcon(window);
}

INT_PTR CDialog::DoModal(HINSTANCE instance, int templateId, HWND owner) {
    m_bModal = true;
    INT_PTR result = DialogBoxParamW(instance, MAKEINTRESOURCEW(templateId), owner, StaticProc,
                                     reinterpret_cast<LPARAM>(this));
    m_hWnd = nullptr;
    return result;
}

HWND CDialog::Create(HINSTANCE instance, int templateId, HWND parent) {
    m_bModal = false;
    return CreateDialogParamW(instance, MAKEINTRESOURCEW(templateId), parent, StaticProc,
                              reinterpret_cast<LPARAM>(this));
}

INT_PTR CALLBACK CDialog::StaticProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrW(window, DWLP_USER, lParam);
        auto* self = reinterpret_cast<CDialog*>(lParam);
        if (self) self->m_hWnd = window;
    }
    auto* self = reinterpret_cast<CDialog*>(GetWindowLongPtrW(window, DWLP_USER));
    if (!self) return 0;
    INT_PTR handled = self->DialogProc(window, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(window, DWLP_USER, 0);
        if (self->m_hWnd == window) self->m_hWnd = nullptr;
    }
    return handled;
}

INT_PTR CDialog::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        OnInitDialog(window);
        return 1;
    case WM_COMMAND:
        OnCommand(window, LOWORD(wParam), HIWORD(wParam));
        return 1;
    case WM_NOTIFY:
        OnNotify(window, reinterpret_cast<NMHDR*>(lParam));
        return 1;
    case WM_DROPFILES:
        OnDropFiles(window, reinterpret_cast<HDROP>(wParam));
        return 1;
    default:
        return 0;
    }
}

void CDialog::OnCommand(HWND window, int id, int) {
    if (id == IDOK && OnOK(window)) End(1);
    if (id == IDCANCEL && OnCancel(window)) End(0);
}

void CDialog::OnDropFiles(HWND, HDROP drop) {
    // Nothing is taken by default, but the drop's memory is still ours to free.
    if (drop) DragFinish(drop);
}

void CDialog::End(INT_PTR result) {
    if (!m_hWnd) return;
    if (m_bModal)
        EndDialog(m_hWnd, result);
    else
        DestroyWindow(m_hWnd);
}
