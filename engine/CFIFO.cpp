#include "engine/CFIFO.h"

#include "engine/RingCopy.h"

#include "platform/Platform.h"

#include <cstdlib>
#include <cstring>

using namespace ringcopy;

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
    {
        std::lock_guard<std::mutex> lock(m_Lock);
        if (m_pBuffer && m_Size != 0 && FreeSpace(m_Size, m_Read, m_Write) > bytes)
            return RingWrite(m_pBuffer, m_Size, m_Read, m_Write, data, bytes);
    }
    // Traced after the ring's lock is let go: the ring takes no other lock.
    plat::Trace("FIFO: overflow!!\n");
    return 0;
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
