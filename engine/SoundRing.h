// The byte ring of CFIFO without a virtual table or overflow trace, for the
// playback rings: the same one-writer, one-reader contract, its own mutex held
// for each whole operation and no other lock taken.
#pragma once

#include <cstdint>
#include <mutex>

class SoundRing {
  public:
    SoundRing() = default;
    ~SoundRing() { Free(); }
    SoundRing(const SoundRing&) = delete;
    SoundRing& operator=(const SoundRing&) = delete;

    bool Allocate(uint32_t size);
    void Free();

    int Write(const void* data, uint32_t bytes);
    uint32_t Read(void* buffer, uint32_t bytes);
    // Both indices back to 0: the content is dropped.
    void Clear();
    uint32_t GetUsed();

    uint8_t* m_pBuffer = nullptr;
    uint32_t m_Size = 0;
    uint32_t m_Read = 0;
    uint32_t m_Write = 0;
    std::mutex m_Lock;
};
