// What the two settings dialogs share on the window side: showing a list the
// rules made, and the small program icon in the caption.
// User-interface thread only.
#pragma once

#include "uilogic/ChoiceList.h"

#include <windows.h>

namespace ui {

// Fills a combo box with the list's lines (each carrying its value), selects
// its line and enables or disables it. A disabled list (no device at all)
// still shows its one line, so the user reads why there is nothing to choose.
void ShowChoiceList(HWND combo, const uilogic::ChoiceList& list);

// Puts the program icon at 16 x 16 into the dialog's caption. The icon is the
// caller's to destroy after the dialog window is gone; null when it is missing.
HICON SetSmallAppIcon(HWND dialog);

} // namespace ui
