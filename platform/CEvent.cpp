#include "platform/CEvent.h"

#include <chrono>

void CEvent::Set() {
    {
        std::lock_guard<std::mutex> lock(m_Lock);
        m_Set = true;
    }
    if (m_Manual)
        m_Cond.notify_all();
    else
        m_Cond.notify_one();
}

void CEvent::Reset() {
    std::lock_guard<std::mutex> lock(m_Lock);
    m_Set = false;
}

bool CEvent::Wait(int timeoutMs) {
    std::unique_lock<std::mutex> lock(m_Lock);
    auto ready = [this] { return m_Set; };
    if (timeoutMs < 0)
        m_Cond.wait(lock, ready);
    else if (!m_Cond.wait_for(lock, std::chrono::milliseconds(timeoutMs), ready))
        return false;
    if (!m_Manual) m_Set = false;
    return true;
}
