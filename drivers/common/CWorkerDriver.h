// What every Windows driver keeps around its one worker thread: the thread,
// the event that wakes it (to stop, or because the device has something), and
// the rule that a thread which does not end in time is abandoned together with
// everything it may still be touching.
//
// Threads: every member is used from the engine's control thread, except
// WorkerMain (the worker) and WakeWorker (either side).
#pragma once

#include "platform/Platform.h"
#include "platform/Thread.h"

#include <windows.h>

#include <atomic>
#include <new>
#include <system_error>

template <class Interface> class CWorkerDriver : public Interface {
  public:
    int Init(CSoundListener* listener) override {
        if (this->IsOpen()) this->Terminate();
        CollectWorker();
        this->m_pListener = listener;
        this->m_BlockSize = m_DefaultBlockSize;
        this->m_State = DRIVER_CLOSED;
        this->m_Format = {};
        return 0;
    }

  protected:
    // The block size a driver reports before its first Open.
    explicit CWorkerDriver(uint32_t defaultBlockSize) : m_DefaultBlockSize(defaultBlockSize) {
        this->m_BlockSize = defaultBlockSize;
    }

    virtual void WorkerMain() = 0;

    bool OnWorker() const { return m_pWorker && m_pWorker->GetId() == std::this_thread::get_id(); }

    // Joins a worker that has ended or been told to end. A thread that has
    // ended on its own leaves its handle here until this runs.
    void CollectWorker() {
        if (m_pWorker && !OnWorker() && !StopThread(m_pWorker)) this->m_ThreadAbandoned = true;
    }

    // `what` names the thread in the trace line of a failure.
    bool StartWorker(const char* what) {
        int code = 0;
        try {
            m_pWorker = new CThread([this] { WorkerMain(); });
            return true;
        } catch (const std::system_error& e) {
            code = e.code().value();
        } catch (const std::bad_alloc&) {
            code = static_cast<int>(ERROR_NOT_ENOUGH_MEMORY);
        }
        plat::Trace("Unable to create %s thread: %d\n", what, code);
        return false;
    }

    bool CreateWakeEvent() {
        m_hWake = CreateEventW(nullptr, FALSE, FALSE, nullptr);
        return m_hWake.load() != nullptr;
    }
    void WakeWorker() {
        if (HANDLE event = m_hWake.load()) SetEvent(event);
    }
    // Wakes the worker, which must find the state closed, and joins it.
    void EndWorker() {
        if (!m_pWorker || OnWorker()) return;
        WakeWorker();
        CollectWorker();
    }
    void CloseWakeEvent() {
        if (HANDLE event = m_hWake.exchange(nullptr)) CloseHandle(event);
    }

    // With an abandoned worker nothing it may touch is freed: traces `line` and
    // answers true, and the caller keeps its device, buffers and events.
    bool KeepForAbandonedWorker(const char* line) const {
        if (!this->m_ThreadAbandoned) return false;
        plat::Trace("%s\n", line);
        return true;
    }

    CThread* m_pWorker = nullptr;
    std::atomic<HANDLE> m_hWake{nullptr};
    const uint32_t m_DefaultBlockSize;
};
