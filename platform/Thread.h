// Worker threads, their bounded stop, thread message queues and events: the
// portable pieces the engine and the drivers build their threads from.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

// A started thread. The body runs once; IsRunning() turns false when it returns.
class CThread {
public:
    explicit CThread(std::function<void()> body);
    ~CThread();  // joins; only StopThread may abandon a thread
    CThread(const CThread&) = delete;
    CThread& operator=(const CThread&) = delete;

    bool IsRunning() const { return !m_State->finished.load(std::memory_order_acquire); }
    std::thread::id GetId() const { return m_Thread.get_id(); }
    // Leaves the thread to finish on its own; the object can then be deleted.
    void Abandon();

private:
    struct State {
        std::atomic<bool> finished{false};
    };
    std::shared_ptr<State> m_State;
    std::thread m_Thread;
};

// Takes the thread out of its slot (the slot becomes null at once, so a second
// caller finds nothing), then checks up to 20 times, 50 ms apart, whether it has
// ended. A thread that is still running after that is not killed: it is
// abandoned (it keeps running to its own end) and a trace line says so.
// Returns 1 when the thread ended (or there was none), 0 when it was abandoned.
int StopThread(CThread*& slot);

// A thread message: what PostThreadMessage carries on Windows.
struct ThreadMessage {
    uint32_t message = 0;
    uintptr_t wParam = 0;
    intptr_t lParam = 0;
};

// Unbounded queue of thread messages, many posters, one receiver.
class CMessageQueue {
public:
    void Post(uint32_t message, uintptr_t wParam = 0, intptr_t lParam = 0);
    // Waits for the next message; false when none came within timeoutMs (< 0: wait forever).
    bool Get(ThreadMessage& out, int timeoutMs = -1);
    bool Peek(ThreadMessage& out);  // takes a message only when one is waiting
    size_t Size() const;

private:
    mutable std::mutex m_Lock;
    std::condition_variable m_Ready;
    std::deque<ThreadMessage> m_Queue;
};

// An event in the Win32 sense: manual or auto reset.
class CEvent {
public:
    explicit CEvent(bool manualReset = false, bool initial = false)
        : m_Manual(manualReset), m_Set(initial) {}
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
