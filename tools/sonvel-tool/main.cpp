#include "tools/sonvel-tool/Tool.h"

#include "platform/Platform.h"

#include <cstdarg>
#include <cstring>
#include <map>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

namespace {
struct Command {
    const char* usage;
    ToolMain run;
};
std::map<std::string, Command>& Commands() {
    static std::map<std::string, Command> commands;
    return commands;
}

int Usage() {
    std::fprintf(stderr, "usage: sonvel-tool COMMAND [ARGS]\n");
    for (auto& [name, cmd] : Commands())
        std::fprintf(stderr, "  %s\n", cmd.usage);
    return 2;
}

int Run(std::vector<std::string> args) {
    if (args.empty()) return Usage();
    auto it = Commands().find(args[0]);
    if (it == Commands().end()) return Usage();
    args.erase(args.begin());
    return it->second.run(args);
}
} // namespace

ToolRegistrar::ToolRegistrar(const char* name, const char* usage, ToolMain run) {
    Commands()[name] = {usage, run};
}

void ToolSetBinaryStdout() {
#ifdef _WIN32
    _setmode(_fileno(stdout), _O_BINARY);
#endif
}

std::wstring ToolWidePath(const std::string& utf8) {
    return plat::Utf8ToWide(utf8);
}

void ToolTraceToStderr(const char* line, void*) {
    // The Windows C runtime buffers stderr when it is not a console.
    std::fputs(line, stderr);
    std::fflush(stderr);
}

int ToolFail(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::fprintf(stderr, "sonvel-tool: ");
    std::vfprintf(stderr, format, args);
    std::fprintf(stderr, "\n");
    va_end(args);
    return 1;
}

#ifdef _WIN32
int wmain(int argc, wchar_t** argv) {
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i)
        args.push_back(plat::WideToUtf8(argv[i]));
    return Run(args);
}
#else
int main(int argc, char** argv) {
    return Run(std::vector<std::string>(argv + 1, argv + argc));
}
#endif
