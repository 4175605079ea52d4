// Shared helpers for the core tests: scratch folders and trace capture.
#pragma once

#include "platform/Platform.h"

#include <mutex>
#include <string>
#include <vector>

namespace testutil {

// A fresh, empty folder for one test, removed (best effort) afterwards.
class TempDir {
  public:
    explicit TempDir(const std::string& tag);
    ~TempDir();
    const std::string& Path() const { return m_Path; }
    std::string File(const std::string& name) const { return plat::JoinPath(m_Path, name); }
    // Writes `bytes` as the file `name` here (expecting success); its wide path.
    std::wstring Put(const std::string& name, const std::vector<uint8_t>& bytes) const;

  private:
    std::string m_Path;
};

// Collects trace lines while alive.
class TraceCapture {
  public:
    TraceCapture();
    ~TraceCapture();
    int Count(const std::string& line);

  private:
    static void Sink(const char* line, void* self);
    std::mutex m_Lock;
    std::vector<std::string> m_Lines;
};

std::vector<uint8_t> ReadAll(const std::string& path);
bool WriteAll(const std::string& path, const void* data, size_t bytes);
// `n` reproducible pseudo-random bytes.
std::vector<uint8_t> Noise(size_t n, uint32_t seed = 1);
// A whole file as a string ("" when it cannot be read), and the reverse.
std::string ReadText(const std::string& path);
bool WriteText(const std::string& path, const std::string& text);

} // namespace testutil
