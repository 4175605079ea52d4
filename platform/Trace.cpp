#include "platform/Platform.h"

#include <atomic>
#include <cstdio>
#include <mutex>

namespace plat {
namespace {
std::mutex g_sinkLock;
TraceSink g_sink = nullptr;
void* g_context = nullptr;
} // namespace

void SetTraceSink(TraceSink sink, void* context) {
    std::lock_guard<std::mutex> lock(g_sinkLock);
    g_sink = sink;
    g_context = context;
}

void TraceV(const char* format, va_list args) {
    char line[1024];
    std::vsnprintf(line, sizeof line, format, args);
    std::lock_guard<std::mutex> lock(g_sinkLock);
    if (g_sink) g_sink(line, g_context);
}

void Trace(const char* format, ...) {
    va_list args;
    va_start(args, format);
    TraceV(format, args);
    va_end(args);
}

} // namespace plat
