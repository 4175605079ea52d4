#include "engine/CSoundBlockQueue.h"

#include <cstring>
#include <new>

bool CSoundBlockQueue::Configure(uint32_t slotBytes, uint32_t slots) {
    std::unique_lock<std::mutex> lock(m_Lock);
    m_Released.wait(lock, [this] { return !m_Held; });
    m_Head = 0;
    m_Count = 0;
    m_Dropped = 0;
    if (slotBytes == m_SlotBytes && slots == m_Slots) return true;
    try {
        m_Storage.assign(static_cast<size_t>(slotBytes) * slots, 0);
        m_Bytes.assign(slots, 0);
    } catch (const std::bad_alloc&) {
        m_Storage = {};
        m_Bytes = {};
        m_SlotBytes = m_Slots = 0;
        return false;
    }
    m_SlotBytes = slotBytes;
    m_Slots = slots;
    return true;
}

bool CSoundBlockQueue::Push(const void* data, uint32_t bytes) {
    {
        std::lock_guard<std::mutex> lock(m_Lock);
        if (bytes == 0) return true;
        const uint32_t need = m_SlotBytes ? (bytes + m_SlotBytes - 1) / m_SlotBytes : 0;
        // m_Count includes a slot the consumer still holds.
        if (need == 0 || need > m_Slots - m_Count) {
            ++m_Dropped;
            return false;
        }
        const auto* from = static_cast<const uint8_t*>(data);
        for (uint32_t i = 0; i < need; ++i) {
            const uint32_t slot = (m_Head + m_Count) % m_Slots;
            const uint32_t part = bytes < m_SlotBytes ? bytes : m_SlotBytes;
            std::memcpy(&m_Storage[static_cast<size_t>(slot) * m_SlotBytes], from, part);
            m_Bytes[slot] = part;
            from += part;
            bytes -= part;
            ++m_Count;
        }
    }
    m_Ready.notify_one();
    return true;
}

bool CSoundBlockQueue::Take(Block& out) {
    std::unique_lock<std::mutex> lock(m_Lock);
    m_Ready.wait(lock, [this] { return m_Count > 0 || m_Quit; });
    if (m_Count == 0) return false;
    out.data = &m_Storage[static_cast<size_t>(m_Head) * m_SlotBytes];
    out.bytes = m_Bytes[m_Head];
    m_Held = true;
    return true;
}

void CSoundBlockQueue::Release() {
    {
        std::lock_guard<std::mutex> lock(m_Lock);
        if (!m_Held) return;
        m_Held = false;
        m_Head = (m_Head + 1) % m_Slots;
        --m_Count;
    }
    m_Released.notify_all();
}

void CSoundBlockQueue::Quit() {
    {
        std::lock_guard<std::mutex> lock(m_Lock);
        m_Quit = true;
    }
    m_Ready.notify_all();
}

void CSoundBlockQueue::Restart() {
    std::lock_guard<std::mutex> lock(m_Lock);
    m_Quit = false;
}

void CSoundBlockQueue::Discard() {
    std::lock_guard<std::mutex> lock(m_Lock);
    // A held slot stays where it is: the consumer releases it.
    m_Count = m_Held ? 1 : 0;
}

uint32_t CSoundBlockQueue::GetInFlight() const {
    std::lock_guard<std::mutex> lock(m_Lock);
    return m_Count;
}

uint32_t CSoundBlockQueue::GetPending() const {
    std::lock_guard<std::mutex> lock(m_Lock);
    return m_Count - (m_Held ? 1 : 0);
}

uint32_t CSoundBlockQueue::GetCapacity() const {
    std::lock_guard<std::mutex> lock(m_Lock);
    return m_Slots;
}

uint32_t CSoundBlockQueue::GetSlotBytes() const {
    std::lock_guard<std::mutex> lock(m_Lock);
    return m_SlotBytes;
}

uint64_t CSoundBlockQueue::GetDropped() const {
    std::lock_guard<std::mutex> lock(m_Lock);
    return m_Dropped;
}
