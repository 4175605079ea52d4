#include "ui/Controls.h"

#include "platform/Platform.h"

#include <commctrl.h>

namespace ui {

namespace {

// Combo and list boxes answer the same three questions with their own messages.
struct LineMessages {
    UINT count, length, text, selection;
};
constexpr LineMessages COMBO{CB_GETCOUNT, CB_GETLBTEXTLEN, CB_GETLBTEXT, CB_GETCURSEL};
constexpr LineMessages LIST{LB_GETCOUNT, LB_GETTEXTLEN, LB_GETTEXT, LB_GETCURSEL};

int LineCount(HWND control, const LineMessages& m) {
    LRESULT n = control ? SendMessageW(control, m.count, 0, 0) : 0;
    return n < 0 ? 0 : static_cast<int>(n);
}

int LineSelection(HWND control, const LineMessages& m) {
    if (!control) return -1;
    LRESULT sel = SendMessageW(control, m.selection, 0, 0);
    return sel < 0 ? -1 : static_cast<int>(sel);
}

std::string LineText(HWND control, const LineMessages& m, int index) {
    if (index < 0 || index >= LineCount(control, m)) return {};
    LRESULT length = SendMessageW(control, m.length, static_cast<WPARAM>(index), 0);
    if (length <= 0) return {};
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    LRESULT got =
        SendMessageW(control, m.text, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text.data()));
    text.resize(got > 0 ? static_cast<size_t>(got) : 0);
    return plat::WideToUtf8(text);
}

} // namespace

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
    return LineSelection(combo, COMBO);
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
    return LineCount(combo, COMBO);
}

std::string ComboLineText(HWND combo, int index) {
    return LineText(combo, COMBO, index);
}

int ListSelection(HWND list) {
    return LineSelection(list, LIST);
}

int ListCount(HWND list) {
    return LineCount(list, LIST);
}

std::string ListLineText(HWND list, int index) {
    return LineText(list, LIST, index);
}

void TrackbarSetRange(HWND trackbar, int32_t min, int32_t max) {
    if (!trackbar) return;
    SendMessageW(trackbar, TBM_SETRANGEMIN, FALSE, min);
    SendMessageW(trackbar, TBM_SETRANGEMAX, TRUE, max);
}

void TrackbarSetRangeAndPos(HWND trackbar, int32_t min, int32_t max, int32_t pos) {
    TrackbarSetRange(trackbar, min, max);
    // A trackbar whose position number survives a range change can leave its
    // thumb where the old range put it (Wine's does); a real move redraws it.
    TrackbarSetPos(trackbar, pos == max ? min : max);
    TrackbarSetPos(trackbar, pos);
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
