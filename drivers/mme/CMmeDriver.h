// What the two MME drivers share: the device handle, the completion event (the
// worker's wake event), the headers in rotation, the device list, and the
// worker that hands each returned header to the family in the order it was
// queued. CMMECapture and CMMERenderer add only the direction: the block size,
// what Start queues, and what a returned header means.
//
// Threads: the worker lives from Open to Close. A header is touched only by the
// side that has claimed it (m_Busy), so Start and the worker never queue the
// same header twice; the device owns it while it is queued. The device handle
// and the event are taken out with atomic exchanges so exactly one side closes
// each.
#pragma once

#include "drivers/common/CWorkerDriver.h"
#include "drivers/mme/MmeHeaders.h"

#include <mmsystem.h>

#include <cstdlib>
#include <cstring>
#include <cwchar>

// The waveIn and waveOut calls under one set of names.
struct WaveInApi {
    using Handle = HWAVEIN;
    using Caps = WAVEINCAPSW;
    static constexpr const char* kOpen = "waveInOpen";
    static constexpr const char* kPrepare = "waveInPrepareHeader";
    static UINT Count() { return waveInGetNumDevs(); }
    static MMRESULT GetCaps(UINT id, Caps* caps) { return waveInGetDevCapsW(id, caps, sizeof *caps); }
    static MMRESULT Open(Handle* h, UINT id, const WAVEFORMATEX* f, HANDLE event) {
        return waveInOpen(h, id, f, reinterpret_cast<DWORD_PTR>(event), 0, CALLBACK_EVENT);
    }
    static MMRESULT Prepare(Handle h, WAVEHDR* hdr) { return waveInPrepareHeader(h, hdr, sizeof *hdr); }
    static MMRESULT Unprepare(Handle h, WAVEHDR* hdr) { return waveInUnprepareHeader(h, hdr, sizeof *hdr); }
    static MMRESULT Reset(Handle h) { return waveInReset(h); }
    static MMRESULT Close(Handle h) { return waveInClose(h); }
};

struct WaveOutApi {
    using Handle = HWAVEOUT;
    using Caps = WAVEOUTCAPSW;
    static constexpr const char* kOpen = "waveOutOpen";
    static constexpr const char* kPrepare = "waveOutPrepareHeader";
    static UINT Count() { return waveOutGetNumDevs(); }
    static MMRESULT GetCaps(UINT id, Caps* caps) { return waveOutGetDevCapsW(id, caps, sizeof *caps); }
    static MMRESULT Open(Handle* h, UINT id, const WAVEFORMATEX* f, HANDLE event) {
        return waveOutOpen(h, id, f, reinterpret_cast<DWORD_PTR>(event), 0, CALLBACK_EVENT);
    }
    static MMRESULT Prepare(Handle h, WAVEHDR* hdr) { return waveOutPrepareHeader(h, hdr, sizeof *hdr); }
    static MMRESULT Unprepare(Handle h, WAVEHDR* hdr) { return waveOutUnprepareHeader(h, hdr, sizeof *hdr); }
    static MMRESULT Reset(Handle h) { return waveOutReset(h); }
    static MMRESULT Close(Handle h) { return waveOutClose(h); }
};

template <class Interface, class Api, size_t Headers> class CMmeDriver : public CWorkerDriver<Interface> {
  public:
    int Init(CSoundListener* listener) override {
        CWorkerDriver<Interface>::Init(listener);
        std::memset(m_Header, 0, sizeof m_Header);
        return 0;
    }

    int SelectDevice(int32_t index) override {
        if (index != DEFAULT_DEVICE_INDEX && (index < 0 || static_cast<UINT>(index) >= Api::Count()))
            return 0;
        this->m_DeviceIndex = index;
        return 1;
    }

    int EnumDevice(int32_t index, AudioDeviceInfo* info) override {
        int count = static_cast<int>(Api::Count());
        if (!info) return count;
        std::memset(info, 0, sizeof *info);
        typename Api::Caps caps{};
        if (Api::GetCaps(index < 0 ? WAVE_MAPPER : static_cast<UINT>(index), &caps) == MMSYSERR_NOERROR) {
            info->wMid = caps.wMid;
            info->wPid = caps.wPid;
            info->vDriverVersion = caps.vDriverVersion;
            std::wcsncpy(info->szName, caps.szPname, 255);
            info->dwFormats = caps.dwFormats;
            info->wChannels = caps.wChannels;
        }
        return count;
    }

    int IsOpen() override { return m_hDevice.load() != nullptr; }

  protected:
    explicit CMmeDriver(uint32_t defaultBlockSize) : CWorkerDriver<Interface>(defaultBlockSize) {}

    int32_t FindByName(const wchar_t* name) const {
        if (!name) return -1;
        UINT count = Api::Count();
        for (UINT i = 0; i < count; ++i) {
            typename Api::Caps caps{};
            if (Api::GetCaps(i, &caps) == MMSYSERR_NOERROR && std::wcscmp(caps.szPname, name) == 0)
                return static_cast<int32_t>(i);
        }
        return -1;
    }

    // Opens the selected device in 16-bit-or-other PCM with `Headers` prepared
    // headers of `blockFrames` frames and starts the worker. On failure
    // everything is given back (Close) and the result is false.
    bool OpenDevice(int channels, int rate, int bits, uint32_t blockFrames, const char* kind) {
        if (m_hDevice.load() || this->m_ThreadAbandoned) return false;
        this->CollectWorker();
        if (!OpenSteps(channels, rate, bits, blockFrames)) {
            plat::Trace("[MME] %s device open error\n", kind);
            this->Close();
            return false;
        }
        this->m_State = DRIVER_OPEN;
        return true;
    }

    // The second half of Close: the worker is woken and joined, then the
    // headers, the device and the event go (unless the worker was abandoned).
    void CloseDevice(const char* kind) {
        this->m_State = DRIVER_CLOSED;
        typename Api::Handle handle = m_hDevice.exchange(nullptr);
        this->EndWorker();
        if (this->KeepForAbandonedWorker(kind[0] == 'r'
                                             ? "[MME] render thread did not end: device and buffers leaked"
                                             : "[MME] capture thread did not end: device and buffers leaked"))
            return;
        if (handle) {
            Api::Reset(handle);
            for (WAVEHDR& header : m_Header) {
                if (header.dwFlags & WHDR_PREPARED) Api::Unprepare(handle, &header);
                std::free(header.lpData);
                std::memset(&header, 0, sizeof header);
            }
            Api::Close(handle);
            plat::Trace("[MME] close %s device\n", kind);
        }
        this->CloseWakeEvent();
    }

    // A header the device handed back, claimed for the call. True when the
    // driver is to close itself (the listener asked to stop).
    virtual bool OnHeaderDone(int index) = 0;

    // Records that header `index` has just gone to the device.
    void Queued(int index) { m_QueueSeq[index] = m_NextSeq++; }

    void WorkerMain() override {
        bool stopAsked = false;
        while (this->m_State != DRIVER_CLOSED && !stopAsked) {
            HANDLE event = this->m_hWake.load();
            if (!event) break;
            WaitForSingleObject(event, INFINITE); // a header came back, or Close wakes us
            // One wake can stand for several headers (the event is auto-reset).
            for (int i; !stopAsked && this->m_State != DRIVER_CLOSED &&
                        (i = mmeheaders::NextDone(m_Header, m_Busy, m_QueueSeq)) >= 0;) {
                stopAsked = OnHeaderDone(i);
                mmeheaders::Release(m_Busy[i]);
            }
        }
        // Closing from here leaves this thread's handle in its slot; the next
        // Close, Open or the destructor joins it.
        if (stopAsked) this->Close();
    }

    std::atomic<typename Api::Handle> m_hDevice{nullptr};
    WAVEHDR m_Header[Headers]{};
    std::atomic<int> m_Busy[Headers]{};
    // Order in which the headers went to the device: the worker hands them back
    // in that order even when several came back before it woke.
    std::atomic<uint32_t> m_QueueSeq[Headers]{};
    std::atomic<uint32_t> m_NextSeq{0};

  private:
    bool OpenSteps(int channels, int rate, int bits, uint32_t blockFrames) {
        if (!this->CreateWakeEvent() || channels < 1 || rate < 1 || bits < 1) return false;
        MakePcmFormat(this->m_Format, channels, rate, bits);
        typename Api::Handle handle = nullptr;
        UINT device = this->m_DeviceIndex == DEFAULT_DEVICE_INDEX ? WAVE_MAPPER
                                                                  : static_cast<UINT>(this->m_DeviceIndex);
        if (Api::Open(&handle, device, &this->m_Format, this->m_hWake.load()) != MMSYSERR_NOERROR) {
            plat::Trace("[MME] %s error\n", Api::kOpen);
            return false;
        }
        m_hDevice = handle;
        this->m_BlockSize = blockFrames * this->m_Format.nBlockAlign;
        plat::Trace("[MME] block size : %d\n", static_cast<int>(this->m_BlockSize));
        for (WAVEHDR& header : m_Header) {
            std::memset(&header, 0, sizeof header);
            header.lpData = this->m_BlockSize ? static_cast<LPSTR>(std::malloc(this->m_BlockSize)) : nullptr;
            header.dwBufferLength = this->m_BlockSize;
            if (!header.lpData || Api::Prepare(handle, &header) != MMSYSERR_NOERROR) {
                plat::Trace("[MME] %s error\n", Api::kPrepare);
                return false;
            }
        }
        return this->StartWorker("MME");
    }
};
