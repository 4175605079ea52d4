// Program entry: the optional debug-output library, the settings, COM, the
// application object and its run, then the clean-up in an order that lets
// every part finish with what it still needs (the engine's drivers hold COM
// objects, so the engine goes before COM).
#include "app/CAppMain.h"
#include "drivers/CWinDriverFactory.h"
#include "platform/Platform.h"
#include "settings/CAppParameter.h"

#include <objbase.h>
#include <windows.h>

#include <memory>
#include <string>

namespace {

using XwPrintf = int(__cdecl*)(const wchar_t* format, ...);

struct DebugOutput {
    HMODULE module = nullptr;
    XwPrintf print = nullptr;
};

void TraceToLibrary(const char* line, void* context) {
    auto* out = static_cast<DebugOutput*>(context);
    if (out && out->print) out->print(L"%ls", plat::Utf8ToWide(line).c_str());
}

// Only the copy beside the executable is taken: a library of that name found
// on the search path is not ours.
void LoadDebugOutput(DebugOutput& out) {
    wchar_t exe[MAX_PATH * 2] = {};
    DWORD n = GetModuleFileNameW(nullptr, exe, MAX_PATH * 2);
    std::wstring path(exe, n);
    size_t slash = path.find_last_of(L"\\/");
    if (slash == std::wstring::npos) return;
    path = path.substr(0, slash + 1) + L"xprint64.dll";
    out.module = LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (!out.module) return;
    out.print = reinterpret_cast<XwPrintf>(reinterpret_cast<void*>(GetProcAddress(out.module, "xwprintf")));
    if (out.print) plat::SetTraceSink(&TraceToLibrary, &out);
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE previous, PWSTR commandLine, int show) {
    DebugOutput debug;
    LoadDebugOutput(debug);

    auto settings = std::make_unique<CAppParameter>();
    g_pAppParameter = settings.get();
    settings->InitialiseAndLoad();

    int exitCode = -1;
    HRESULT hr = CoInitialize(nullptr);
    if (FAILED(hr)) {
        plat::Trace("Unable to initialize COM: %x\n", static_cast<unsigned>(hr));
    } else {
        CWinDriverFactory factory;
        {
            CAppMain app(&factory);
            exitCode = app.Run(instance, previous, commandLine, show);
            plat::Trace("[exit] main window closed\n");
            // The effect dialog, the meter and the engine go with the object.
        }
        plat::Trace("[exit] engine and windows released\n");
        CoUninitialize();
        plat::Trace("[exit] COM released\n");
    }

    settings->BackupSettings();
    g_pAppParameter = nullptr;
    settings.reset();
    plat::Trace("[exit] settings saved, leaving\n");
    plat::SetTraceSink(nullptr, nullptr);
    if (debug.module) FreeLibrary(debug.module);
    return exitCode;
}
