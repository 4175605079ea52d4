#include "engine/SoundRing.h"

#include "engine/RingCopy.h"

#include <cstdlib>

using namespace ringcopy;

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
