// Worker threads and their stop: the portable pieces the engine and the
// drivers build their threads from (CEvent.h has the events they wait on).
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

// A started thread. The body runs once.
class CThread {
  public:
    explicit CThread(std::function<void()> body);
    ~CThread(); // joins; only StopThread may abandon a thread
    CThread(const CThread&) = delete;
    CThread& operator=(const CThread&) = delete;

    // True when the body returned within timeoutMs.
    bool WaitEnd(int timeoutMs);
    std::thread::id GetId() const { return m_Thread.get_id(); }
    // Leaves the thread to finish on its own; the object can then be deleted.
    void Abandon();

  private:
    struct State {
        std::atomic<bool> finished{false};
        std::mutex lock;
        std::condition_variable ended;
    };
    std::shared_ptr<State> m_State;
    std::thread m_Thread;
};

// How long StopThread waits before it gives a thread up as hung.
inline constexpr int STOP_THREAD_LIMIT_MS = 10000;

// Takes the thread out of its slot (the slot becomes null at once, so a second
// caller finds nothing) and waits for it to end. The caller has already woken
// it (stop event, quit message or flag), so the wait is short unless the thread
// is inside a call that does not return. Such a thread is never killed: after
// limitMs it is abandoned (it runs on to its own end) and a trace line says so.
// The caller must then leak, not free, everything that thread uses.
// Returns 1 when the thread ended (or there was none), 0 when it was abandoned.
int StopThread(CThread*& slot, int limitMs = STOP_THREAD_LIMIT_MS);
