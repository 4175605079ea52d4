#pragma once

#include <windows.h>

// Asks a yes/no question in a message box whose default button is No.
// Returns 1 only when Yes was chosen.
int AskYesNo(HWND owner, const wchar_t* title, const wchar_t* message);
