#include "drivers/mme/CMMECapture.h"

#include "drivers/mme/MmeHeaders.h"
#include "platform/Platform.h"

#include <cstdlib>
#include <cstring>
#include <cwchar>

CMMECapture::CMMECapture() {
    m_BlockSize = 960;
}

CMMECapture::~CMMECapture() {
    // Only the MME side here: a derived driver has released its own stream in
    // its destructor before this runs.
    if (m_hWaveIn.load()) CMMECapture::Close();
    CollectThread(m_pThread);
}

bool CMMECapture::OnWorkerThread(CThread* thread) const {
    return thread && thread->GetId() == std::this_thread::get_id();
}

void CMMECapture::CollectThread(CThread*& slot) {
    if (slot && !OnWorkerThread(slot) && !StopThread(slot)) m_ThreadAbandoned = true;
}

int CMMECapture::Init(CSoundListener* listener) {
    if (IsOpen()) Terminate();
    CollectThread(m_pThread);
    m_pListener = listener;
    m_BlockSize = 960;
    m_State = DRIVER_CLOSED;
    m_Format = {};
    std::memset(m_Header, 0, sizeof m_Header);
    return 0;
}

int CMMECapture::SelectDevice(int32_t index) {
    if (index == DEFAULT_DEVICE_INDEX) {
        m_DeviceIndex = index;
        return 1;
    }
    if (index < 0 || static_cast<UINT>(index) >= waveInGetNumDevs()) return 0;
    m_DeviceIndex = index;
    return 1;
}

int CMMECapture::EnumDevice(int32_t index, AudioDeviceInfo* info) {
    int count = static_cast<int>(waveInGetNumDevs());
    if (info) {
        std::memset(info, 0, sizeof *info);
        WAVEINCAPSW caps{};
        UINT id = index < 0 ? WAVE_MAPPER : static_cast<UINT>(index);
        if (waveInGetDevCapsW(id, &caps, sizeof caps) == MMSYSERR_NOERROR) {
            info->wMid = caps.wMid;
            info->wPid = caps.wPid;
            info->vDriverVersion = caps.vDriverVersion;
            std::wcsncpy(info->szName, caps.szPname, 255);
            info->dwFormats = caps.dwFormats;
            info->wChannels = caps.wChannels;
        }
    }
    return count;
}

int32_t CMMECapture::FindDevice(const wchar_t* name, const wchar_t* id, int loopback) {
    (void)id;
    if (loopback || !name) return -1;
    UINT count = waveInGetNumDevs();
    for (UINT i = 0; i < count; ++i) {
        WAVEINCAPSW caps{};
        if (waveInGetDevCapsW(i, &caps, sizeof caps) != MMSYSERR_NOERROR) continue;
        if (std::wcscmp(caps.szPname, name) == 0) return static_cast<int32_t>(i);
    }
    return -1;
}

int CMMECapture::IsOpen() {
    return m_hWaveIn.load() != nullptr;
}

int CMMECapture::Open(int channels, int samplesPerSec, int bitsPerSample, int latencyMs) {
    plat::Trace("CMMECapture::Open(%d, %d, %d, %d)\n", channels, samplesPerSec, bitsPerSample, latencyMs);
    if (m_hWaveIn.load() || m_ThreadAbandoned) return 0;
    CollectThread(m_pThread);

    HANDLE event = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    if (!event) {
        Close();
        return 0;
    }
    m_hEvent = event;
    if (channels < 1 || samplesPerSec < 1 || bitsPerSample < 1) {
        Close();
        return 0;
    }
    MakePcmFormat(m_Format, channels, samplesPerSec, bitsPerSample);
    HWAVEIN handle = nullptr;
    UINT device = m_DeviceIndex == DEFAULT_DEVICE_INDEX ? WAVE_MAPPER : static_cast<UINT>(m_DeviceIndex);
    if (waveInOpen(&handle, device, &m_Format, reinterpret_cast<DWORD_PTR>(event), 0, CALLBACK_EVENT) !=
        MMSYSERR_NOERROR) {
        Close();
        return 0;
    }
    m_hWaveIn = handle;

    m_BlockSize = static_cast<uint32_t>(samplesPerSec / 30) * m_Format.nBlockAlign;
    for (WAVEHDR& header : m_Header) {
        std::memset(&header, 0, sizeof header);
        header.lpData = m_BlockSize ? static_cast<LPSTR>(std::malloc(m_BlockSize)) : nullptr;
        header.dwBufferLength = m_BlockSize;
        if (!header.lpData || waveInPrepareHeader(handle, &header, sizeof header) != MMSYSERR_NOERROR) {
            Close();
            return 0;
        }
    }
    m_State = DRIVER_OPEN;
    m_pThread = new CThread([this] { ThreadMain(); });
    return 1;
}

int CMMECapture::Start() {
    plat::Trace("CMMECapture::Start()\n");
    HWAVEIN handle = m_hWaveIn.load();
    if (!handle) return 0;
    if (m_State == DRIVER_RUNNING) return 1;
    if (waveInReset(handle) != MMSYSERR_NOERROR) return 0;
    for (int i = 0; i < 2; ++i) {
        mmeheaders::Claim(m_Busy[i]);
        m_Header[i].dwBytesRecorded = 0;
        m_Header[i].dwUser = 0;
        MMRESULT r = waveInAddBuffer(handle, &m_Header[i], sizeof m_Header[i]);
        m_QueueSeq[i] = m_NextSeq++;
        mmeheaders::Release(m_Busy[i]);
        if (r != MMSYSERR_NOERROR) return 0;
    }
    m_ElapsedFrames = 0;
    m_State = DRIVER_RUNNING;
    if (waveInStart(handle) != MMSYSERR_NOERROR) {
        m_State = DRIVER_OPEN;
        return 0;
    }
    return 1;
}

int CMMECapture::Stop() {
    plat::Trace("CMMECapture::Stop()\n");
    HWAVEIN handle = m_hWaveIn.load();
    if (!handle) return 0;
    m_State = DRIVER_OPEN;
    // The reset hands back the queued headers; the worker leaves them idle
    // until the next Start queues them again.
    return waveInReset(handle) == MMSYSERR_NOERROR ? 1 : 0;
}

void CMMECapture::Close() {
    plat::Trace("CMMECapture::Close()\n");
    Stop();
    m_State = DRIVER_CLOSED;
    CloseMme();
}

void CMMECapture::CloseMme() {
    HWAVEIN handle = m_hWaveIn.exchange(nullptr);
    if (m_pThread && !OnWorkerThread(m_pThread)) {
        HANDLE event = m_hEvent.load();
        if (event && SetEvent(event))
            plat::SleepMs(50);
        else
            plat::SleepMs(500);
        CollectThread(m_pThread);
    }
    if (m_ThreadAbandoned) {
        // The worker may still be handing a header to the device or the
        // listener: its headers, device and event stay as they are.
        plat::Trace("[MME] capture thread did not end: device and buffers leaked\n");
        return;
    }
    if (handle) {
        waveInReset(handle);
        for (WAVEHDR& header : m_Header) {
            if (header.dwFlags & WHDR_PREPARED) waveInUnprepareHeader(handle, &header, sizeof header);
            std::free(header.lpData);
            std::memset(&header, 0, sizeof header);
        }
        waveInClose(handle);
    }
    HANDLE event = m_hEvent.exchange(nullptr);
    if (event) CloseHandle(event);
}

bool CMMECapture::DeliverHeader(int i) {
    WAVEHDR& header = m_Header[i];
    if (m_State != DRIVER_RUNNING || !m_hWaveIn.load()) {
        // Handed back by a reset: stays out of the device until Start.
        mmeheaders::MarkIdle(header);
        return false;
    }
    m_ElapsedFrames += m_Format.nSamplesPerSec / 30;
    // Listeners get whole blocks; a block cut short never carries an older
    // block's tail.
    if (header.dwBytesRecorded < m_BlockSize)
        std::memset(header.lpData + header.dwBytesRecorded, 0, m_BlockSize - header.dwBytesRecorded);
    if (m_pListener && m_pListener->OnSoundIn(header.lpData, m_BlockSize) == 1) {
        m_State = DRIVER_CLOSED;
        mmeheaders::MarkIdle(header);
        return true;
    }
    header.dwBytesRecorded = 0;
    HWAVEIN handle = m_hWaveIn.load();
    if (!handle || waveInAddBuffer(handle, &header, sizeof header) != MMSYSERR_NOERROR) {
        // Out of rotation: the stream goes on with the other header.
        mmeheaders::MarkIdle(header);
        header.dwBytesRecorded = 0;
        return false;
    }
    m_QueueSeq[i] = m_NextSeq++;
    return false;
}

void CMMECapture::ThreadMain() {
    bool stopAsked = false;
    while (m_State != DRIVER_CLOSED && !stopAsked) {
        HANDLE event = m_hEvent.load();
        if (!event) break;
        WaitForSingleObject(event, INFINITE); // a header came back, or Close wakes us
        if (m_State == DRIVER_CLOSED) break;
        // One wake can stand for both headers (the event is auto-reset).
        for (;;) {
            int i = mmeheaders::NextDone(m_Header, m_Busy, m_QueueSeq);
            if (i < 0) break;
            stopAsked = DeliverHeader(i);
            mmeheaders::Release(m_Busy[i]);
            if (stopAsked || m_State == DRIVER_CLOSED) break;
        }
    }
    // The listener asked to stop: close from here. This thread's own handle
    // stays in its slot and is collected by the next Close, Open or the
    // destructor, all of which join it.
    if (stopAsked) Close();
}
