// What the two WASAPI drivers share: the way in to COM, the endpoint and its
// audio client, the samples-ready event, the mode and buffer the stream runs
// with, and a stream thread from Start to Stop/Close that is ended by the
// shutdown event (the worker's wake event). CWASAPICapture and CWASAPIRenderer
// add how the stream is set up and what each samples-ready event means.
//
// Threads: everything but ServiceStream comes from the engine's control
// thread, which has COM initialised.
#pragma once

#include "drivers/common/CWorkerDriver.h"
#include "drivers/wasapi/WasapiCommon.h"

#include <cstdio>
#include <cstring>

template <class Interface> class CWasapiDriver : public CWorkerDriver<Interface> {
  public:
    // Where endpoints come from (the system enumerator unless replaced).
    // Set it before the first device operation.
    void SetEnumeratorFactory(DeviceEnumeratorFactory factory) { m_Factory = std::move(factory); }

    int IsOpen() override { return m_pEndpoint && m_pAudioClient ? 1 : 0; }

    // How the open stream runs: for the device check tool and the tests.
    bool IsSharedMode() const { return m_Shared; }
    REFERENCE_TIME GetBufferDuration() const { return m_Duration; }
    UINT32 GetBufferFrames() const { return m_BufferFrames; }

  protected:
    explicit CWasapiDriver(uint32_t defaultBlockSize)
        : CWorkerDriver<Interface>(defaultBlockSize), m_Factory(CreateSystemDeviceEnumerator) {}

    // The number of active endpoints of `flow`, describing the one at
    // `position` into `info` when there is one. -1 when the list fails.
    int ListEndpoints(EDataFlow flow, int32_t position, AudioDeviceInfo* info) {
        if (info) std::memset(info, 0, sizeof *info);
        CComRef<IMMDeviceEnumerator> enumerator;
        CComRef<IMMDeviceCollection> collection;
        UINT count = 0;
        if (FAILED(OpenEndpointList(m_Factory, flow, enumerator, collection, count))) return -1;
        if (info && position >= 0 && static_cast<UINT>(position) < count)
            DescribeEndpoint(collection.Get(), static_cast<UINT>(position), info);
        return static_cast<int>(count);
    }

    // The endpoint (`position` < 0: the default of `flow`), the shutdown and
    // samples-ready events and a fresh audio client.
    bool OpenClient(EDataFlow flow, int32_t position) {
        OpenEndpoint(m_Factory, flow, position, this->m_DeviceIndex, m_pEndpoint);
        if (!m_pEndpoint) return false;
        if (!this->CreateWakeEvent() ||
            !(m_hSamplesReadyEvent = CreateEventW(nullptr, FALSE, FALSE, nullptr))) {
            plat::Trace("Unable to create stream events: %d\n", static_cast<int>(GetLastError()));
            return false;
        }
        return ActivateClient(m_pEndpoint.Get(), m_pAudioClient);
    }

    // The buffer the client got, and the service of type T from it.
    template <class T>
    bool FinishStream(UINT32 frameBytes, bool eventDriven, CComRef<T>& service, const char* kind) {
        if (FAILED(
                Checked(m_pAudioClient->GetBufferSize(&m_BufferFrames), "Unable to get audio client buffer")))
            return false;
        plat::Trace("audio client buffer: %d\n", static_cast<int>(m_BufferFrames));
        this->m_BlockSize = m_BufferFrames * frameBytes;
        if (eventDriven && FAILED(Checked(m_pAudioClient->SetEventHandle(m_hSamplesReadyEvent),
                                          "Unable to set ready event")))
            return false;
        char what[64];
        std::snprintf(what, sizeof what, "Unable to get new %s client", kind);
        return SUCCEEDED(Checked(m_pAudioClient->GetService(__uuidof(T), service.PutVoid()), what, service));
    }

    // Starts the stream thread and the client (the family has done its part).
    int StartStream(const char* kind) {
        this->CollectWorker();
        // A shutdown request the previous thread never consumed must not end this one.
        ResetEvent(this->m_hWake.load());
        if (!this->StartWorker(kind)) return 0;
        char what[64];
        std::snprintf(what, sizeof what, "Unable to start %s client", kind);
        if (FAILED(Checked(m_pAudioClient->Start(), what))) return 0;
        this->m_State = DRIVER_RUNNING;
        return 1;
    }

    void StopStream(const char* kind) {
        if (this->m_State != DRIVER_CLOSED) this->m_State = DRIVER_OPEN;
        if (this->m_hWake.load()) plat::Trace("Request %s shutdown\n", kind);
        // The thread is out of the client before the client stops.
        this->EndWorker();
        if (m_pAudioClient) Checked(m_pAudioClient->Stop(), "Unable to stop audio client");
    }

    // Close's common part; false when the stream objects had to be kept for
    // an abandoned thread.
    bool CloseStream(const char* leakLine) {
        if (this->m_State == DRIVER_RUNNING) this->Stop();
        this->m_State = DRIVER_CLOSED;
        this->EndWorker(); // started but never stopped (Start failed half-way)
        if (this->KeepForAbandonedWorker(leakLine)) return false;
        this->CloseWakeEvent();
        if (m_hSamplesReadyEvent) CloseHandle(m_hSamplesReadyEvent);
        m_hSamplesReadyEvent = nullptr;
        m_pAudioClient.Reset();
        m_pEndpoint.Reset();
        m_BufferFrames = 0;
        m_Shared = false;
        return true;
    }

    // The stream thread's body: waits for the shutdown event and calls
    // ServiceStream on every samples-ready event (and every `timeout` ms when
    // `poll`). Once ServiceStream answers false the client is not asked again
    // and the thread only waits for the shutdown.
    void RunStream(DWORD timeout, bool poll) {
        HANDLE waits[2] = {this->m_hWake.load(), m_hSamplesReadyEvent};
        for (bool serving = true;;) {
            DWORD result = serving ? WaitForMultipleObjects(2, waits, FALSE, timeout)
                                   : WaitForSingleObject(waits[0], INFINITE);
            if (result == WAIT_OBJECT_0 + 1 || (result == WAIT_TIMEOUT && poll))
                serving = ServiceStream();
            else if (result != WAIT_TIMEOUT) // the shutdown event, or the handles are gone
                return;
        }
    }
    virtual bool ServiceStream() = 0;

    DeviceEnumeratorFactory m_Factory;
    CComRef<IMMDevice> m_pEndpoint;
    CComRef<IAudioClient> m_pAudioClient;
    HANDLE m_hSamplesReadyEvent = nullptr;
    UINT32 m_BufferFrames = 0;
    REFERENCE_TIME m_Duration = 0;
    bool m_Shared = false;
};
