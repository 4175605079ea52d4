#include "engine/CFIFO.h"

#include "platform/Platform.h"

#include <cstdlib>
#include <cstring>

namespace {

uint32_t FreeSpace(uint32_t size, uint32_t read, uint32_t write) {
    if (read == write) return size;
    if (write < read) return read - write;
    return size - write + read;
}

// The shared ring copy; the caller holds the lock.
int RingWrite(uint8_t* buffer, uint32_t size, uint32_t read, uint32_t& write, const void* data,
              uint32_t bytes) {
    const auto* src = static_cast<const uint8_t*>(data);
    if (write >= read && size - write < bytes) {
        uint32_t first = size - write;
        std::memcpy(buffer + write, src, first);
        std::memcpy(buffer, src + first, bytes - first);
        write = bytes - first;
    } else {
        std::memcpy(buffer + write, src, bytes);
        write += bytes;
        if (write == size) write = 0;
    }
    return 1;
}

uint32_t RingRead(const uint8_t* buffer, uint32_t size, uint32_t& read, uint32_t write, void* out,
                  uint32_t bytes) {
    auto* dst = static_cast<uint8_t*>(out);
    if (write > read) {
        uint32_t n = write - read < bytes ? write - read : bytes;
        std::memcpy(dst, buffer + read, n);
        read += n;
        return n;
    }
    uint32_t first = size - read < bytes ? size - read : bytes;
    std::memcpy(dst, buffer + read, first);
    uint32_t second = 0;
    if (first < bytes) {
        second = bytes - first < write ? bytes - first : write;
        std::memcpy(dst + first, buffer, second);
    }
    if (second > 0)
        read = second;
    else
        read += first;
    if (read == size) read = 0;
    return first + second;
}

} // namespace

CFIFO::~CFIFO() {
    CFIFO::Release();
}

void CFIFO::Release() {
    std::lock_guard<std::mutex> lock(m_Lock);
    std::free(m_pBuffer);
    m_pBuffer = nullptr;
    m_Size = 0;
    m_Read = 0;
    m_Write = 0;
}

int CFIFO::Create(uint32_t size) {
    if (size == m_Size && m_pBuffer) return 1;
    std::lock_guard<std::mutex> lock(m_Lock);
    std::free(m_pBuffer);
    m_pBuffer = nullptr;
    m_Size = 0;
    m_Read = 0;
    m_Write = 0;
    if (size == 0) return 0;
    m_pBuffer = static_cast<uint8_t*>(std::malloc(size));
    if (!m_pBuffer) return 0;
    m_Size = size;
    return 1;
}

int CFIFO::Write(const void* data, uint32_t bytes) {
    if (!data || bytes == 0) return 0;
    std::lock_guard<std::mutex> lock(m_Lock);
    if (!m_pBuffer || m_Size == 0 || FreeSpace(m_Size, m_Read, m_Write) <= bytes) {
        plat::Trace("FIFO: overflow!!\n");
        return 0;
    }
    return RingWrite(m_pBuffer, m_Size, m_Read, m_Write, data, bytes);
}

uint32_t CFIFO::Read(void* buffer, uint32_t bytes) {
    if (!buffer || bytes == 0) return 0;
    std::lock_guard<std::mutex> lock(m_Lock);
    if (!m_pBuffer || m_Size == 0 || m_Read == m_Write) return 0;
    return RingRead(m_pBuffer, m_Size, m_Read, m_Write, buffer, bytes);
}

void CFIFO::Flush() {
    std::lock_guard<std::mutex> lock(m_Lock);
    m_Write = m_Read;
}

uint32_t CFIFO::GetUsed() {
    std::lock_guard<std::mutex> lock(m_Lock);
    return m_Size ? m_Size - FreeSpace(m_Size, m_Read, m_Write) : 0;
}

bool SoundRing::Allocate(uint32_t size) {
    Free();
    if (size == 0) return false;
    std::lock_guard<std::mutex> lock(m_Lock);
    m_pBuffer = static_cast<uint8_t*>(std::calloc(size, 1));
    if (!m_pBuffer) return false;
    m_Size = size;
    m_Read = m_Write = 0;
    return true;
}

void SoundRing::Free() {
    std::lock_guard<std::mutex> lock(m_Lock);
    std::free(m_pBuffer);
    m_pBuffer = nullptr;
    m_Size = 0;
    m_Read = m_Write = 0;
}

int SoundRing::Write(const void* data, uint32_t bytes) {
    if (!data || bytes == 0) return 0;
    std::lock_guard<std::mutex> lock(m_Lock);
    if (!m_pBuffer || m_Size == 0 || FreeSpace(m_Size, m_Read, m_Write) <= bytes) return 0;
    return RingWrite(m_pBuffer, m_Size, m_Read, m_Write, data, bytes);
}

uint32_t SoundRing::Read(void* buffer, uint32_t bytes) {
    if (!buffer || bytes == 0) return 0;
    std::lock_guard<std::mutex> lock(m_Lock);
    if (!m_pBuffer || m_Size == 0 || m_Read == m_Write) return 0;
    return RingRead(m_pBuffer, m_Size, m_Read, m_Write, buffer, bytes);
}

void SoundRing::Clear() {
    std::lock_guard<std::mutex> lock(m_Lock);
    m_Read = m_Write = 0;
}

uint32_t SoundRing::GetUsed() {
    std::lock_guard<std::mutex> lock(m_Lock);
    return m_Size ? m_Size - FreeSpace(m_Size, m_Read, m_Write) : 0;
}
