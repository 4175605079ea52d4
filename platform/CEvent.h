// An event in the Win32 sense, for the engine's and the drivers' threads.
#pragma once

#include <condition_variable>
#include <mutex>

class CEvent {
  public:
    explicit CEvent(bool manualReset = false, bool initial = false) : m_Manual(manualReset), m_Set(initial) {}
    void Set();
    void Reset();
    // True when signalled within timeoutMs (< 0: wait forever).
    bool Wait(int timeoutMs = -1);

  private:
    std::mutex m_Lock;
    std::condition_variable m_Cond;
    bool m_Manual;
    bool m_Set;
};
