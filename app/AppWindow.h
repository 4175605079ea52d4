#pragma once

#include <windows.h>

// Window class of the application's top-level window; tests find it by this name.
constexpr const wchar_t* APP_WINDOW_CLASS = L"SonvelMainWindow";

// Registers the class, shows the window and runs the message loop until it is
// closed. Returns the process exit code (0 after a normal close).
int RunAppWindow(HINSTANCE instance, int show);
