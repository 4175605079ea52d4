#include "drivers/mme/CMMERenderer.h"

#include "drivers/mme/MmeHeaders.h"
#include "platform/Platform.h"

#include <cstdlib>
#include <cstring>
#include <cwchar>

CMMERenderer::CMMERenderer() {
    m_BlockSize = 1920;
}

CMMERenderer::~CMMERenderer() {
    if (m_hWaveOut.load()) CMMERenderer::Close();
    CollectThread(m_pThread);
}

void CMMERenderer::CollectThread(CThread*& slot) {
    if (slot && slot->GetId() != std::this_thread::get_id() && !StopThread(slot)) m_ThreadAbandoned = true;
}

int CMMERenderer::Init(CSoundListener* listener) {
    if (IsOpen()) Terminate();
    CollectThread(m_pThread);
    m_pListener = listener;
    m_BlockSize = 1920;
    m_State = DRIVER_CLOSED;
    m_Format = {};
    std::memset(m_Header, 0, sizeof m_Header);
    return 0;
}

int CMMERenderer::SelectDevice(int32_t index) {
    if (index == DEFAULT_DEVICE_INDEX) {
        m_DeviceIndex = index;
        return 1;
    }
    if (index < 0 || static_cast<UINT>(index) >= waveOutGetNumDevs()) return 0;
    m_DeviceIndex = index;
    return 1;
}

int CMMERenderer::EnumDevice(int32_t index, AudioDeviceInfo* info) {
    int count = static_cast<int>(waveOutGetNumDevs());
    if (info) {
        std::memset(info, 0, sizeof *info);
        WAVEOUTCAPSW caps{};
        UINT id = index < 0 ? WAVE_MAPPER : static_cast<UINT>(index);
        if (waveOutGetDevCapsW(id, &caps, sizeof caps) == MMSYSERR_NOERROR) {
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

int32_t CMMERenderer::FindDevice(const wchar_t* name, const wchar_t* id) {
    (void)id;
    if (!name) return -1;
    UINT count = waveOutGetNumDevs();
    for (UINT i = 0; i < count; ++i) {
        WAVEOUTCAPSW caps{};
        if (waveOutGetDevCapsW(i, &caps, sizeof caps) != MMSYSERR_NOERROR) continue;
        if (std::wcscmp(caps.szPname, name) == 0) return static_cast<int32_t>(i);
    }
    return -1;
}

int CMMERenderer::IsOpen() {
    return m_hWaveOut.load() != nullptr;
}

int CMMERenderer::GetVolume(uint16_t* left, uint16_t* right) {
    HWAVEOUT handle = m_hWaveOut.load();
    DWORD volume = 0;
    if (!handle || waveOutGetVolume(handle, &volume) != MMSYSERR_NOERROR) return 0;
    if (left) *left = LOWORD(volume);
    if (right) *right = HIWORD(volume);
    return 1;
}

int CMMERenderer::SetVolume(uint16_t left, uint16_t right) {
    HWAVEOUT handle = m_hWaveOut.load();
    if (!handle) return 0;
    DWORD volume = static_cast<DWORD>(left) | (static_cast<DWORD>(right) << 16);
    return waveOutSetVolume(handle, volume) == MMSYSERR_NOERROR ? 1 : 0;
}

int CMMERenderer::Open(int channels, int samplesPerSec, int bitsPerSample, int latencyMs) {
    plat::Trace("CMMERenderer::Open(%d, %d, %d, %d)\n", channels, samplesPerSec, bitsPerSample, latencyMs);
    if (m_hWaveOut.load() || m_ThreadAbandoned) return 0;
    CollectThread(m_pThread);

    HANDLE event = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    if (!event) {
        plat::Trace("[MME] render device open error\n");
        Close();
        return 0;
    }
    m_hEvent = event;
    HWAVEOUT handle = nullptr;
    UINT device = m_DeviceIndex == DEFAULT_DEVICE_INDEX ? WAVE_MAPPER : static_cast<UINT>(m_DeviceIndex);
    if (channels >= 1 && samplesPerSec >= 1 && bitsPerSample >= 1)
        MakePcmFormat(m_Format, channels, samplesPerSec, bitsPerSample);
    if (channels < 1 || samplesPerSec < 1 || bitsPerSample < 1 ||
        waveOutOpen(&handle, device, &m_Format, reinterpret_cast<DWORD_PTR>(event), 0, CALLBACK_EVENT) !=
            MMSYSERR_NOERROR) {
        plat::Trace("[MME] waveOutOpen error\n");
        plat::Trace("[MME] render device open error\n");
        Close();
        return 0;
    }
    m_hWaveOut = handle;

    m_Latency = latencyMs;
    m_BlockSize = static_cast<uint32_t>(samplesPerSec / 1000) * m_Format.nBlockAlign *
                  static_cast<uint32_t>(latencyMs > 0 ? latencyMs : 0);
    plat::Trace("[MME] block size : %d\n", static_cast<int>(m_BlockSize));
    for (WAVEHDR& header : m_Header) {
        std::memset(&header, 0, sizeof header);
        header.lpData = m_BlockSize ? static_cast<LPSTR>(std::malloc(m_BlockSize)) : nullptr;
        header.dwBufferLength = m_BlockSize;
        if (!header.lpData || waveOutPrepareHeader(handle, &header, sizeof header) != MMSYSERR_NOERROR) {
            plat::Trace("[MME] waveOutPrepareHeader error\n");
            plat::Trace("[MME] render device open error\n");
            Close();
            return 0;
        }
    }
    m_State = DRIVER_OPEN;
    m_pThread = new CThread([this] { ThreadMain(); });
    plat::Trace("[MME] open render device\n");
    return 1;
}

void CMMERenderer::FillHeader(int i) {
    WAVEHDR& header = m_Header[i];
    std::memset(header.lpData, 0, m_BlockSize);
    uint32_t n = m_pListener ? m_pListener->OnSoundOut(header.lpData, m_BlockSize) : m_BlockSize;
    if (n > m_BlockSize) n = m_BlockSize;
    header.dwUser = n == 0 ? 1 : 0;
    header.dwBufferLength = n;
    HWAVEOUT handle = m_hWaveOut.load();
    if (!handle || waveOutWrite(handle, &header, sizeof header) != MMSYSERR_NOERROR) {
        // Counts as an empty block: the header waits for the next Start.
        header.dwUser = 0;
        header.dwBufferLength = 0;
        mmeheaders::MarkIdle(header);
        return;
    }
    m_QueueSeq[i] = m_NextSeq++;
}

int CMMERenderer::Start() {
    plat::Trace("CMMERenderer::Start()\n");
    if (!m_hWaveOut.load()) return 0;
    if (m_State == DRIVER_RUNNING) return 1;
    m_State = DRIVER_RUNNING;
    for (int i = 0; i < 2; ++i) {
        mmeheaders::Claim(m_Busy[i]);
        // A header still queued comes back on its own and is refilled then.
        if (!(m_Header[i].dwFlags & WHDR_INQUEUE)) FillHeader(i);
        mmeheaders::Release(m_Busy[i]);
    }
    plat::Trace("[MME] start render device\n");
    return 1;
}

int CMMERenderer::Stop() {
    plat::Trace("CMMERenderer::Stop()\n");
    HWAVEOUT handle = m_hWaveOut.load();
    if (!handle) return 0;
    m_State = DRIVER_OPEN;
    // The reset hands both headers back; the worker leaves them idle until
    // the next Start, so a stopped renderer asks nothing of its listener.
    if (waveOutReset(handle) == MMSYSERR_NOERROR) {
        plat::Trace("[MME] stop render device\n");
        return 1;
    }
    plat::Trace("[MME] waveOutReset error\n");
    return 0;
}

void CMMERenderer::Close() {
    plat::Trace("CMMERenderer::Close()\n");
    Stop();
    m_State = DRIVER_CLOSED;
    HWAVEOUT handle = m_hWaveOut.exchange(nullptr);
    if (m_pThread) {
        HANDLE event = m_hEvent.load();
        if (event && SetEvent(event))
            plat::SleepMs(50);
        else
            plat::SleepMs(500);
        CollectThread(m_pThread);
    }
    if (m_ThreadAbandoned) {
        // The worker may still be filling a header: its headers, device and
        // event stay as they are.
        plat::Trace("[MME] render thread did not end: device and buffers leaked\n");
        return;
    }
    if (handle) {
        waveOutReset(handle);
        for (WAVEHDR& header : m_Header) {
            if (header.dwFlags & WHDR_PREPARED) waveOutUnprepareHeader(handle, &header, sizeof header);
            std::free(header.lpData);
            std::memset(&header, 0, sizeof header);
        }
        waveOutClose(handle);
        plat::Trace("[MME] close render device\n");
    }
    HANDLE event = m_hEvent.exchange(nullptr);
    if (event) CloseHandle(event);
}

void CMMERenderer::ThreadMain() {
    while (m_State != DRIVER_CLOSED) {
        HANDLE event = m_hEvent.load();
        if (!event) break;
        WaitForSingleObject(event, INFINITE); // a header came back, or Close wakes us
        if (m_State == DRIVER_CLOSED) break;
        for (;;) {
            int i = mmeheaders::NextDone(m_Header, m_Busy, m_QueueSeq);
            if (i < 0) break;
            WAVEHDR& header = m_Header[i];
            if (!m_hWaveOut.load()) {
                mmeheaders::Release(m_Busy[i]);
                break;
            }
            if (header.dwUser == 1) {
                // The listener had nothing more: this block ends the stream.
                mmeheaders::MarkIdle(header);
                if (m_pListener) m_pListener->OnSoundEnd(&header);
            } else if (m_State != DRIVER_RUNNING) {
                mmeheaders::MarkIdle(header);
            } else {
                FillHeader(i);
            }
            mmeheaders::Release(m_Busy[i]);
        }
    }
}
