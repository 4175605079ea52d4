#include "tests/core/TestUtil.h"

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <random>

#include <gtest/gtest.h>

namespace testutil {

TempDir::TempDir(const std::string& tag) {
    // ctest runs each test in its own process, often two at once: the name must
    // differ between processes, not only within one.
    static std::atomic<int> counter{0};
    static const unsigned salt = std::random_device{}();
    std::string base = plat::TempDirectory();
    m_Path = plat::JoinPath(base, "sonvel-test-" + tag + "-" + std::to_string(salt) + "-" +
                                      std::to_string(plat::TickCount()) + "-" + std::to_string(counter++));
    plat::MakeDirectories(m_Path.c_str());
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(std::filesystem::path(plat::Utf8ToWide(m_Path)), ec);
}

std::wstring TempDir::Put(const std::string& name, const std::vector<uint8_t>& bytes) const {
    EXPECT_TRUE(WriteAll(File(name), bytes.data(), bytes.size())) << name;
    return plat::Utf8ToWide(File(name));
}

TraceCapture::TraceCapture() {
    plat::SetTraceSink(&TraceCapture::Sink, this);
}
TraceCapture::~TraceCapture() {
    plat::SetTraceSink(nullptr, nullptr);
}

void TraceCapture::Sink(const char* line, void* self) {
    auto* t = static_cast<TraceCapture*>(self);
    std::lock_guard<std::mutex> lock(t->m_Lock);
    t->m_Lines.emplace_back(line);
}

int TraceCapture::Count(const std::string& line) {
    std::lock_guard<std::mutex> lock(m_Lock);
    int n = 0;
    for (auto& l : m_Lines)
        n += l == line;
    return n;
}

std::vector<uint8_t> ReadAll(const std::string& path) {
    std::vector<uint8_t> out;
    plat::FileHandle h = plat::FileOpenRead(path.c_str());
    if (!h) return out;
    uint8_t buffer[65536];
    for (;;) {
        int64_t n = plat::FileRead(h, buffer, sizeof buffer);
        if (n <= 0) break;
        out.insert(out.end(), buffer, buffer + n);
    }
    plat::FileClose(h);
    return out;
}

bool WriteAll(const std::string& path, const void* data, size_t bytes) {
    plat::FileHandle h = plat::FileCreate(path.c_str(), true);
    if (!h) return false;
    bool ok = plat::FileWrite(h, data, static_cast<uint32_t>(bytes)) == static_cast<int64_t>(bytes);
    plat::FileClose(h);
    return ok;
}

std::vector<uint8_t> Noise(size_t n, uint32_t seed) {
    std::vector<uint8_t> b(n);
    for (uint8_t& v : b) {
        seed = seed * 1103515245u + 12345u;
        v = static_cast<uint8_t>(seed >> 16);
    }
    return b;
}

std::string ReadText(const std::string& path) {
    std::vector<uint8_t> bytes = ReadAll(path);
    return std::string(bytes.begin(), bytes.end());
}

bool WriteText(const std::string& path, const std::string& text) {
    return WriteAll(path, text.data(), text.size());
}

} // namespace testutil
