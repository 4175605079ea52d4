#include "app/AskYesNo.h"

int AskYesNo(HWND owner, const wchar_t* title, const wchar_t* message) {
    // The message is shown as it is, never used as a format: a file name with a
    // '%' in it must not be read as a placeholder.
    int answer = MessageBoxW(owner, message ? message : L"", title ? title : L"",
                             MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2);
    return answer == IDYES ? 1 : 0;
}
