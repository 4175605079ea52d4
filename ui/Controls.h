// Thin helpers for the few kinds of control the dialogs use. Each one fixes a
// classic trap once, so window code reads as intent:
// - texts go in and out as UTF-8 and are read at their full length;
// - a combo box or list box without a selection reads as -1, never CB_ERR
//   mistaken for an index, and item data is read only from a real line;
// - a trackbar's range is set with separate minimum and maximum messages,
//   because the packed form holds only 16 bits each (a negative minimum or a
//   range past 32767 s would be cut).
// All of them run on the user-interface thread.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace ui {

std::string GetText(HWND control);
void SetText(HWND control, const std::string& utf8);
std::string GetItemText(HWND dialog, int id);
void SetItemText(HWND dialog, int id, const std::string& utf8);

bool IsChecked(HWND button);
void SetChecked(HWND button, bool on);

// ---- combo boxes (drop-down lists)
struct ListLine {
    std::string text; // UTF-8
    intptr_t data;
};
// Replaces the lines; `selected` < 0 leaves no line selected.
void ComboFill(HWND combo, const std::vector<ListLine>& lines, int selected);
int ComboSelection(HWND combo); // -1 for none
void ComboSelect(HWND combo, int index);
// The item data of the selected line; false when no line is selected.
bool ComboSelectedData(HWND combo, intptr_t* data);
int ComboCount(HWND combo);
std::string ComboLineText(HWND combo, int index);

// ---- list boxes
int ListSelection(HWND list); // -1 for none
int ListCount(HWND list);
std::string ListLineText(HWND list, int index);

// ---- trackbars
void TrackbarSetRange(HWND trackbar, int32_t min, int32_t max);
int32_t TrackbarMin(HWND trackbar);
int32_t TrackbarMax(HWND trackbar);
void TrackbarSetPos(HWND trackbar, int32_t pos);
// A new range and position in one go, with the thumb drawn where the new range
// puts it (see the definition).
void TrackbarSetRangeAndPos(HWND trackbar, int32_t min, int32_t max, int32_t pos);
int32_t TrackbarPos(HWND trackbar);

} // namespace ui
