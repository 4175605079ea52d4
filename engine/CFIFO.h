// The byte ring between two of the engine's threads (the record and monitor
// FIFOs). One writer thread and one reader thread; every operation holds the
// ring's own mutex for its whole length and takes no other lock under it.
// Create/Release happen only while neither thread uses the ring.
//
// A write is accepted only when the free space is strictly greater than its
// length, so a ring of N bytes holds at most N - 1 and full never looks empty.
#pragma once

#include <cstdint>
#include <mutex>

class CFIFO {
  public:
    CFIFO() = default;
    virtual ~CFIFO();
    CFIFO(const CFIFO&) = delete;
    CFIFO& operator=(const CFIFO&) = delete;

    virtual void Release();

    // 1 on success. The same size keeps the content; another size empties it.
    int Create(uint32_t size);
    // 1 when all bytes were stored; 0 (and an overflow trace) when they do not fit.
    int Write(const void* data, uint32_t bytes);
    // Bytes copied, 0 when empty.
    uint32_t Read(void* buffer, uint32_t bytes);
    // Drops the content.
    void Flush();

    uint32_t GetSize() const { return m_Size; }
    uint32_t GetUsed();
    uint32_t GetReadIndex() const { return m_Read; }
    uint32_t GetWriteIndex() const { return m_Write; }

  private:
    uint8_t* m_pBuffer = nullptr;
    uint32_t m_Size = 0;
    uint32_t m_Read = 0;
    uint32_t m_Write = 0;
    std::mutex m_Lock;
};
