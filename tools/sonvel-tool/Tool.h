// sonvel-tool: the command-line companion. Each subcommand lives in its own
// file and registers itself with a ToolRegistrar. Output formats are read by
// scripts: keep them stable ("name: value" lines).
#pragma once

#include <cstdio>
#include <string>
#include <vector>

using ToolMain = int (*)(const std::vector<std::string>& args); // args after the subcommand, UTF-8

struct ToolRegistrar {
    ToolRegistrar(const char* name, const char* usage, ToolMain run);
};

// Binary-safe standard output (no CR LF translation on Windows).
void ToolSetBinaryStdout();
// A UTF-8 path as the wide string the file classes take.
std::wstring ToolWidePath(const std::string& utf8);
// A trace sink for --trace: each line goes to standard error at once, so that a
// script watching the output sees a stream start while it happens.
void ToolTraceToStderr(const char* line, void*);
// One-line error on standard error; returns 1 for `return ToolFail(...)`.
int ToolFail(const char* format, ...)
#if defined(__MINGW32__)
    __attribute__((format(gnu_printf, 1, 2)))
#elif defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;
