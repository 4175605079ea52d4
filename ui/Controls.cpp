#include "ui/Controls.h"

#include "platform/Platform.h"

#include <commctrl.h>

namespace ui {

std::string GetText(HWND control) {
    if (!control) return {};
    int length = GetWindowTextLengthW(control);
    if (length <= 0) return {};
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    int got = GetWindowTextW(control, text.data(), length + 1);
    text.resize(got > 0 ? static_cast<size_t>(got) : 0);
    return plat::WideToUtf8(text);
}

void SetText(HWND control, const std::string& utf8) {
    if (control) SetWindowTextW(control, plat::Utf8ToWide(utf8).c_str());
}

std::string GetItemText(HWND dialog, int id) {
    return GetText(GetDlgItem(dialog, id));
}

void SetItemText(HWND dialog, int id, const std::string& utf8) {
    SetText(GetDlgItem(dialog, id), utf8);
}

bool IsChecked(HWND button) {
    return button && SendMessageW(button, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void SetChecked(HWND button, bool on) {
    if (button) SendMessageW(button, BM_SETCHECK, on ? BST_CHECKED : BST_UNCHECKED, 0);
}

void ComboFill(HWND combo, const std::vector<ListLine>& lines, int selected) {
    if (!combo) return;
    SendMessageW(combo, CB_RESETCONTENT, 0, 0);
    for (const ListLine& line : lines) {
        std::wstring text = plat::Utf8ToWide(line.text);
        LRESULT index = SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
        if (index >= 0) SendMessageW(combo, CB_SETITEMDATA, static_cast<WPARAM>(index), line.data);
    }
    ComboSelect(combo, selected);
}

int ComboSelection(HWND combo) {
    if (!combo) return -1;
    LRESULT sel = SendMessageW(combo, CB_GETCURSEL, 0, 0);
    return sel < 0 ? -1 : static_cast<int>(sel);
}

void ComboSelect(HWND combo, int index) {
    if (combo)
        SendMessageW(combo, CB_SETCURSEL, index < 0 ? static_cast<WPARAM>(-1) : static_cast<WPARAM>(index),
                     0);
}

bool ComboSelectedData(HWND combo, intptr_t* data) {
    int sel = ComboSelection(combo);
    if (sel < 0) return false;
    LRESULT value = SendMessageW(combo, CB_GETITEMDATA, static_cast<WPARAM>(sel), 0);
    if (value == CB_ERR) return false;
    if (data) *data = static_cast<intptr_t>(value);
    return true;
}

int ComboCount(HWND combo) {
    LRESULT n = combo ? SendMessageW(combo, CB_GETCOUNT, 0, 0) : 0;
    return n < 0 ? 0 : static_cast<int>(n);
}

std::string ComboLineText(HWND combo, int index) {
    if (index < 0 || index >= ComboCount(combo)) return {};
    LRESULT length = SendMessageW(combo, CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0);
    if (length <= 0) return {};
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    LRESULT got =
        SendMessageW(combo, CB_GETLBTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text.data()));
    text.resize(got > 0 ? static_cast<size_t>(got) : 0);
    return plat::WideToUtf8(text);
}

int ListSelection(HWND list) {
    if (!list) return -1;
    LRESULT sel = SendMessageW(list, LB_GETCURSEL, 0, 0);
    return sel < 0 ? -1 : static_cast<int>(sel);
}

int ListCount(HWND list) {
    LRESULT n = list ? SendMessageW(list, LB_GETCOUNT, 0, 0) : 0;
    return n < 0 ? 0 : static_cast<int>(n);
}

std::string ListLineText(HWND list, int index) {
    if (index < 0 || index >= ListCount(list)) return {};
    LRESULT length = SendMessageW(list, LB_GETTEXTLEN, static_cast<WPARAM>(index), 0);
    if (length <= 0) return {};
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    LRESULT got =
        SendMessageW(list, LB_GETTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text.data()));
    text.resize(got > 0 ? static_cast<size_t>(got) : 0);
    return plat::WideToUtf8(text);
}

void TrackbarSetRange(HWND trackbar, int32_t min, int32_t max) {
    if (!trackbar) return;
    SendMessageW(trackbar, TBM_SETRANGEMIN, FALSE, min);
    SendMessageW(trackbar, TBM_SETRANGEMAX, TRUE, max);
}

int32_t TrackbarMin(HWND trackbar) {
    return trackbar ? static_cast<int32_t>(SendMessageW(trackbar, TBM_GETRANGEMIN, 0, 0)) : 0;
}

int32_t TrackbarMax(HWND trackbar) {
    return trackbar ? static_cast<int32_t>(SendMessageW(trackbar, TBM_GETRANGEMAX, 0, 0)) : 0;
}

void TrackbarSetPos(HWND trackbar, int32_t pos) {
    if (trackbar) SendMessageW(trackbar, TBM_SETPOS, TRUE, pos);
}

int32_t TrackbarPos(HWND trackbar) {
    return trackbar ? static_cast<int32_t>(SendMessageW(trackbar, TBM_GETPOS, 0, 0)) : 0;
}

} // namespace ui
