#include "platform/Thread.h"

#include "platform/Platform.h"

CThread::CThread(std::function<void()> body) : m_State(std::make_shared<State>()) {
    // The body owns a reference to the state, so an abandoned thread can still
    // mark itself finished after this object is gone.
    m_Thread = std::thread([state = m_State, body = std::move(body)]() {
        body();
        {
            std::lock_guard<std::mutex> lock(state->lock);
            state->finished.store(true, std::memory_order_release);
        }
        state->ended.notify_all();
    });
}

bool CThread::WaitEnd(int timeoutMs) {
    std::unique_lock<std::mutex> lock(m_State->lock);
    return m_State->ended.wait_for(lock, std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs),
                                   [this] { return m_State->finished.load(std::memory_order_acquire); });
}

CThread::~CThread() {
    if (m_Thread.joinable()) {
        if (m_Thread.get_id() == std::this_thread::get_id())
            m_Thread.detach();
        else
            m_Thread.join();
    }
}

void CThread::Abandon() {
    if (m_Thread.joinable()) m_Thread.detach();
}

int StopThread(CThread*& slot, int limitMs) {
    CThread* thread = std::atomic_ref<CThread*>(slot).exchange(nullptr);
    if (!thread) return 1;
    // A thread that takes more than a second is worth a line even when it ends.
    const int first = limitMs < 1000 ? limitMs : 1000;
    bool ended = thread->WaitEnd(first);
    if (!ended && limitMs > first) {
        plat::Trace("StopThread: thread still running after 1 s, waiting\n");
        ended = thread->WaitEnd(limitMs - first);
    }
    if (!ended) {
        plat::Trace("StopThread: thread still running after %d ms, abandoned; what it uses is leaked\n",
                    limitMs);
        thread->Abandon();
    }
    delete thread;
    return ended ? 1 : 0;
}
