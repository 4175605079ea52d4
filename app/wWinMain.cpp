// Program entry. For now the application frame is a plain top-level window that
// the main window replaces once it exists.
#include <windows.h>

#include "app/AppWindow.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show) { return RunAppWindow(instance, show); }
