#include "drivers/wasapi/CWASAPICapture.h"

#include "platform/Platform.h"

#include <avrt.h>
#include <ksmedia.h>

#include <cstdlib>
#include <cstring>
#include <new>
#include <system_error>

namespace {
unsigned Hex(HRESULT hr) {
    return static_cast<unsigned>(hr);
}

int32_t EffectiveIndex(int32_t index) {
    if (index >= LOOPBACK_INDEX_BASE) return index - LOOPBACK_INDEX_BASE;
    return index == DEFAULT_DEVICE_INDEX ? 0 : index;
}
EDataFlow FlowOf(int32_t index) {
    return index >= LOOPBACK_INDEX_BASE ? eRender : eCapture;
}

void CloseEvent(HANDLE& event) {
    if (event && event != INVALID_HANDLE_VALUE) CloseHandle(event);
    event = nullptr;
}
} // namespace

CWASAPICapture::CWASAPICapture() : m_Factory(CreateSystemDeviceEnumerator) {}

CWASAPICapture::~CWASAPICapture() {
    // The owner normally closes first; whatever is still held goes now.
    if (m_pCaptureThread || m_pEndpoint || m_pAudioClient || m_hShutdownEvent) CWASAPICapture::Close();
}

int CWASAPICapture::SelectDevice(int32_t index) {
    CComRef<IMMDeviceEnumerator> enumerator;
    CComRef<IMMDeviceCollection> collection;
    UINT count = 0;
    if (FAILED(OpenEndpointList(m_Factory, FlowOf(index), enumerator, collection, count))) return 1;
    if (index < DEFAULT_DEVICE_INDEX || static_cast<UINT>(EffectiveIndex(index)) >= count) return 0;
    m_DeviceIndex = index;
    return 1;
}

int CWASAPICapture::EnumDevice(int32_t index, AudioDeviceInfo* info) {
    if (info) std::memset(info, 0, sizeof *info);
    CComRef<IMMDeviceEnumerator> enumerator;
    CComRef<IMMDeviceCollection> collection;
    UINT count = 0;
    if (FAILED(OpenEndpointList(m_Factory, FlowOf(index), enumerator, collection, count))) return 0;
    int32_t position = EffectiveIndex(index);
    if (info && position >= 0 && static_cast<UINT>(position) < count)
        DescribeEndpoint(collection.Get(), static_cast<UINT>(position), info);
    return static_cast<int>(count);
}

int32_t CWASAPICapture::FindDevice(const wchar_t* name, const wchar_t* id, int loopback) {
    int32_t position = FindEndpoint(m_Factory, loopback ? eRender : eCapture, name, id);
    if (position < 0) return -1;
    return loopback ? position + LOOPBACK_INDEX_BASE : position;
}

int CWASAPICapture::IsOpen() {
    return m_pEndpoint && m_pAudioClient ? 1 : 0;
}

int CWASAPICapture::Open(int channels, int samplesPerSec, int bitsPerSample, int latencyMs) {
    plat::Trace("CWASAPICapture::Open(%d, %d, %d, %d)\n", channels, samplesPerSec, bitsPerSample, latencyMs);
    if (m_pEndpoint) return 0;
    m_Loopback = m_DeviceIndex >= LOOPBACK_INDEX_BASE;
    m_Latency = latencyMs;
    m_Glitches = 0;
    if (m_Loopback && m_Latency < 100) m_Latency = 100;

    if (m_DeviceIndex == DEFAULT_DEVICE_INDEX)
        OpenEndpoint(m_Factory, eCapture, -1, m_DeviceIndex, m_pEndpoint);
    else
        OpenEndpoint(m_Factory, FlowOf(m_DeviceIndex), EffectiveIndex(m_DeviceIndex), m_DeviceIndex,
                     m_pEndpoint);
    if (!m_pEndpoint) return 0;

    m_hShutdownEvent = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    m_hSamplesReadyEvent = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    if (!m_hShutdownEvent || !m_hSamplesReadyEvent) {
        plat::Trace("Unable to create capture events: %d\n", static_cast<int>(GetLastError()));
        ReleaseAll();
        return 0;
    }
    HRESULT hr = m_pEndpoint->Activate(__uuidof(IAudioClient), CLSCTX_INPROC_SERVER, nullptr,
                                       m_pAudioClient.PutVoid());
    if (FAILED(hr) || !m_pAudioClient) {
        if (SUCCEEDED(hr)) hr = E_POINTER;
        plat::Trace("Unable to activate audio client: %s(%x)\n", ErrorName(hr), Hex(hr));
        ReleaseAll();
        return 0;
    }
    if (!InitializeStream(channels, samplesPerSec, bitsPerSample)) {
        // Nothing obtained is kept: a failed Open can be retried at once.
        ReleaseAll();
        return 0;
    }
    m_State = DRIVER_OPEN;
    return 1;
}

bool CWASAPICapture::InitializeStream(int channels, int rate, int bits) {
    HRESULT hr;
    if (m_Loopback) {
        plat::Trace("Audio mode is Shared Mode\n");
        hr = m_pAudioClient->GetMixFormat(&m_pMixFormat);
        if (FAILED(hr) || !m_pMixFormat) {
            if (SUCCEEDED(hr)) hr = E_POINTER;
            plat::Trace("Unable to get mix format on audio client: %s(%x)\n", ErrorName(hr), Hex(hr));
            return false;
        }
        m_Duration = static_cast<REFERENCE_TIME>(m_Latency) * 10000;
        hr = m_pAudioClient->Initialize(AUDCLNT_SHAREMODE_SHARED, AUDCLNT_STREAMFLAGS_LOOPBACK, m_Duration, 0,
                                        m_pMixFormat, nullptr);
        if (FAILED(hr)) {
            plat::Trace("Unable to initialize audio client: %s(%x)\n", ErrorName(hr), Hex(hr));
            return false;
        }
        REFERENCE_TIME streamLatency = 0;
        hr = m_pAudioClient->GetStreamLatency(&streamLatency);
        if (FAILED(hr))
            plat::Trace("Unable to get stream latency: %s(%x)\n", ErrorName(hr), Hex(hr));
        else
            plat::Trace("Max Latency = %d (%d)\n", static_cast<int>(streamLatency), m_Latency);
        m_Shared = true;
        AdoptFormat(m_Format, m_pMixFormat);
    } else if (!InitializeEndpointStream(channels, rate, bits)) {
        return false;
    }

    hr = m_pAudioClient->GetBufferSize(&m_BufferFrames);
    if (FAILED(hr)) {
        plat::Trace("Unable to get audio client buffer: %s(%x)\n", ErrorName(hr), Hex(hr));
        return false;
    }
    plat::Trace("IAudioClient::GetBufferSize = %d\n", static_cast<int>(m_BufferFrames));
    m_BlockSize = m_BufferFrames * m_Format.nBlockAlign;
    if (!m_Loopback) {
        hr = m_pAudioClient->SetEventHandle(m_hSamplesReadyEvent);
        if (FAILED(hr)) {
            plat::Trace("Unable to set ready event: %s(%x)\n", ErrorName(hr), Hex(hr));
            return false;
        }
    }
    hr = m_pAudioClient->GetService(__uuidof(IAudioCaptureClient), m_pCaptureClient.PutVoid());
    if (FAILED(hr) || !m_pCaptureClient) {
        if (SUCCEEDED(hr)) hr = E_POINTER;
        plat::Trace("Unable to get new capture client: %s(%x)\n", ErrorName(hr), Hex(hr));
        return false;
    }
    return true;
}

bool CWASAPICapture::InitializeEndpointStream(int channels, int rate, int bits) {
    plat::Trace("Audio mode is Exclusive Mode\n");
    REFERENCE_TIME defaultPeriod = 0, minimumPeriod = 0;
    HRESULT hr = m_pAudioClient->GetDevicePeriod(&defaultPeriod, &minimumPeriod);
    if (FAILED(hr)) {
        plat::Trace("Unable to get device period: %s(%x)\n", ErrorName(hr), Hex(hr));
        return false;
    }
    plat::Trace("device period min = %d, def = %d\n", static_cast<int>(minimumPeriod),
                static_cast<int>(defaultPeriod));
    REFERENCE_TIME requested = static_cast<REFERENCE_TIME>(m_Latency) * 10000;
    m_Duration = requested > minimumPeriod ? requested : defaultPeriod;
    plat::Trace("duration: %d\n", static_cast<int>(m_Duration));

    WAVEFORMATEXTENSIBLE format{};
    format.Format.wFormatTag = WAVE_FORMAT_EXTENSIBLE;
    format.Format.nChannels = static_cast<WORD>(channels);
    format.Format.nSamplesPerSec = static_cast<DWORD>(rate);
    format.Format.nBlockAlign = static_cast<WORD>((bits / 8) * channels);
    format.Format.nAvgBytesPerSec = format.Format.nBlockAlign * format.Format.nSamplesPerSec;
    format.Format.wBitsPerSample = static_cast<WORD>(bits);
    format.Format.cbSize = 22;
    format.Samples.wValidBitsPerSample = static_cast<WORD>(bits);
    format.dwChannelMask = SPEAKER_FRONT_LEFT | SPEAKER_FRONT_RIGHT;
    format.SubFormat = KSDATAFORMAT_SUBTYPE_PCM;

    const DWORD flags = AUDCLNT_STREAMFLAGS_EVENTCALLBACK | AUDCLNT_STREAMFLAGS_NOPERSIST;
    hr = m_pAudioClient->Initialize(AUDCLNT_SHAREMODE_EXCLUSIVE, flags, m_Duration, m_Duration,
                                    &format.Format, nullptr);
    if (hr == AUDCLNT_E_BUFFER_SIZE_NOT_ALIGNED) {
        UINT32 frames = 0;
        hr = m_pAudioClient->GetBufferSize(&frames);
        if (FAILED(hr)) {
            plat::Trace("Unable to get audio client buffer: %s(%x)\n", ErrorName(hr), Hex(hr));
            return false;
        }
        m_pAudioClient.Reset();
        m_Duration = AlignedDuration(frames, static_cast<DWORD>(rate));
        hr = m_pEndpoint->Activate(__uuidof(IAudioClient), CLSCTX_INPROC_SERVER, nullptr,
                                   m_pAudioClient.PutVoid());
        if (FAILED(hr) || !m_pAudioClient) {
            if (SUCCEEDED(hr)) hr = E_POINTER;
            plat::Trace("Unable to activate audio client: %s(%x)\n", ErrorName(hr), Hex(hr));
            return false;
        }
        hr = m_pAudioClient->Initialize(AUDCLNT_SHAREMODE_EXCLUSIVE, flags, m_Duration, m_Duration,
                                        &format.Format, nullptr);
    }
    if (IsExclusiveRefusal(hr)) {
        // Another program holds the device, exclusive control is disallowed, or
        // the device has no such mode: record anyway, in shared mode, with the
        // system converting to the format the listener expects.
        plat::Trace("Exclusive mode refused: %s(%x), using shared mode\n", ErrorName(hr), Hex(hr));
        plat::Trace("Audio mode is Shared Mode\n");
        m_pAudioClient.Reset();
        hr = m_pEndpoint->Activate(__uuidof(IAudioClient), CLSCTX_INPROC_SERVER, nullptr,
                                   m_pAudioClient.PutVoid());
        if (FAILED(hr) || !m_pAudioClient) {
            if (SUCCEEDED(hr)) hr = E_POINTER;
            plat::Trace("Unable to activate audio client: %s(%x)\n", ErrorName(hr), Hex(hr));
            return false;
        }
        WAVEFORMATEX pcm{};
        pcm.wFormatTag = WAVE_FORMAT_PCM;
        pcm.nChannels = format.Format.nChannels;
        pcm.nSamplesPerSec = format.Format.nSamplesPerSec;
        pcm.nBlockAlign = format.Format.nBlockAlign;
        pcm.nAvgBytesPerSec = format.Format.nAvgBytesPerSec;
        pcm.wBitsPerSample = format.Format.wBitsPerSample;
        pcm.cbSize = 0;
        hr = m_pAudioClient->Initialize(AUDCLNT_SHAREMODE_SHARED,
                                        flags | AUDCLNT_STREAMFLAGS_AUTOCONVERTPCM |
                                            AUDCLNT_STREAMFLAGS_SRC_DEFAULT_QUALITY,
                                        m_Duration, 0, &pcm, nullptr);
        if (FAILED(hr)) {
            plat::Trace("Unable to initialize audio client: %s(%x)\n", ErrorName(hr), Hex(hr));
            return false;
        }
        m_Shared = true;
        AdoptFormat(m_Format, &pcm);
        return true;
    }
    if (FAILED(hr)) {
        plat::Trace("Unable to initialize audio client: %s(%x)\n", ErrorName(hr), Hex(hr));
        return false;
    }
    m_Shared = false;
    AdoptFormat(m_Format, &format.Format);
    return true;
}

int CWASAPICapture::Start() {
    plat::Trace("CWASAPICapture::Start()\n");
    if (!m_pAudioClient || m_ThreadAbandoned) return 0;
    if (m_State == DRIVER_RUNNING) return 1;
    CollectThread(m_pCaptureThread);
    // A shutdown request the previous thread never consumed must not end this one.
    ResetEvent(m_hShutdownEvent);
    try {
        m_pCaptureThread = new CThread([this] { ThreadMain(); });
    } catch (const std::system_error& e) {
        plat::Trace("Unable to create capture thread: %d\n", e.code().value());
        return 0;
    } catch (const std::bad_alloc&) {
        plat::Trace("Unable to create capture thread: %d\n", static_cast<int>(ERROR_NOT_ENOUGH_MEMORY));
        return 0;
    }
    m_ElapsedFrames = 0;
    HRESULT hr = m_pAudioClient->Start();
    if (FAILED(hr)) {
        plat::Trace("Unable to start capture client: %s(%x)\n", ErrorName(hr), Hex(hr));
        return 0;
    }
    m_State = DRIVER_RUNNING;
    return 1;
}

int CWASAPICapture::Stop() {
    plat::Trace("CWASAPICapture::Stop()\n");
    if (m_State != DRIVER_CLOSED) m_State = DRIVER_OPEN;
    if (m_hShutdownEvent) {
        plat::Trace("Request capture shutdown\n");
        SetEvent(m_hShutdownEvent);
        plat::SleepMs(100);
    }
    if (m_pAudioClient) {
        HRESULT hr = m_pAudioClient->Stop();
        if (FAILED(hr)) plat::Trace("Unable to stop audio client: %s(%x)\n", ErrorName(hr), Hex(hr));
    }
    CollectThread(m_pCaptureThread);
    return 1;
}

void CWASAPICapture::Close() {
    plat::Trace("CWASAPICapture::Close()\n");
    if (m_State == DRIVER_RUNNING) Stop();
    m_State = DRIVER_CLOSED;
    if (m_pCaptureThread) {
        // Started but never stopped (Start failed half-way): wake it first.
        if (m_hShutdownEvent) SetEvent(m_hShutdownEvent);
        CollectThread(m_pCaptureThread);
    }
    ReleaseAll();
}

void CWASAPICapture::ReleaseAll() {
    if (m_ThreadAbandoned) {
        // The worker may still be inside the audio client: the COM objects,
        // events and format stay as they are.
        plat::Trace("WASAPI capture thread did not end: stream objects leaked\n");
        return;
    }
    CloseEvent(m_hShutdownEvent);
    CloseEvent(m_hSamplesReadyEvent);
    m_pCaptureClient.Reset();
    m_pAudioClient.Reset();
    m_pEndpoint.Reset();
    CoTaskMemFree(m_pMixFormat);
    m_pMixFormat = nullptr;
    m_BufferFrames = 0;
    m_Shared = false;
}

bool CWASAPICapture::ReadPacket() {
    IAudioCaptureClient* client = m_pCaptureClient.Get();
    if (!client) return false;
    BYTE* data = nullptr;
    UINT32 frames = 0;
    DWORD flags = 0;
    UINT64 position = 0;
    HRESULT hr = client->GetBuffer(&data, &frames, &flags, &position, nullptr);
    if (FAILED(hr)) {
        plat::Trace("Unable to get capture buffer: %s(%x)\n", ErrorName(hr), Hex(hr));
        // A vanished device never comes back to this client: stop asking it,
        // and only wait for Stop or Close.
        if (hr == AUDCLNT_E_DEVICE_INVALIDATED) m_DeviceLost = true;
        return false;
    }
    if (frames == 0) {
        client->ReleaseBuffer(0);
        return false;
    }
    // The device dropped frames before this packet (this thread was late and
    // the buffer overflowed). The first packet after Start may carry the flag
    // too, but there is nothing before it to be late for. The listener gets
    // silence for what was lost, so the recording keeps its length in time.
    if ((flags & AUDCLNT_BUFFERFLAGS_DATA_DISCONTINUITY) && m_HavePosition) {
        ++m_Glitches;
        uint64_t lost = position > m_NextPosition ? position - m_NextPosition : 0;
        if (lost > m_Format.nSamplesPerSec) lost = m_Format.nSamplesPerSec;
        plat::Trace("capture discontinuity: %d frames lost\n", static_cast<int>(lost));
        DeliverFrames(nullptr, static_cast<uint32_t>(lost));
    }
    m_NextPosition = position + frames;
    m_HavePosition = true;
    DeliverFrames((flags & AUDCLNT_BUFFERFLAGS_SILENT) ? nullptr : data, frames);
    hr = client->ReleaseBuffer(frames);
    if (FAILED(hr)) plat::Trace("Unable to release capture buffer: %s(%x)\n", ErrorName(hr), Hex(hr));
    // One event can stand for several packets in either mode (the event is
    // auto-reset, and a late wake finds more than one waiting): the caller
    // reads until the device has none, or the thread falls behind for good.
    return true;
}

void CWASAPICapture::DeliverFrames(const BYTE* data, uint32_t frames) {
    uint32_t bytes = static_cast<uint32_t>(m_Format.nBlockAlign) * frames;
    if (!bytes) return;
    void* block = std::malloc(bytes);
    if (!block) return;
    if (data)
        std::memcpy(block, data, bytes);
    else
        std::memset(block, 0, bytes);
    m_ElapsedFrames += frames;
    if (m_pListener) m_pListener->OnSoundIn(block, bytes);
    std::free(block);
}

void CWASAPICapture::ThreadMain() {
    HRESULT hr = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    if (FAILED(hr)) {
        plat::Trace("Unable to initialize COM in capture thread: %s(%x)\n", ErrorName(hr), Hex(hr));
        return;
    }
    plat::Trace("Start capture thread !!!\n");
    int period = m_Loopback ? (m_Latency >> 1) : m_Latency;
    if (period > 200) period = 200;
    if (period < 1) period = 1;
    plat::Trace("capture latency: %dms\n", period);
    const wchar_t* task = period < 10 ? L"Pro Audio" : L"Audio";
    m_PollPeriod = period;
    m_TaskName = task;
    DWORD taskIndex = 0;
    HANDLE mmcss = AvSetMmThreadCharacteristicsW(task, &taskIndex);
    if (!mmcss)
        plat::Trace("Unable to enable MMCSS on capture thread: %d\n", static_cast<int>(GetLastError()));
    timeBeginPeriod(1);

    HANDLE waits[2] = {m_hShutdownEvent, m_hSamplesReadyEvent};
    const DWORD timeout = m_Loopback ? static_cast<DWORD>(period) : 1000;
    m_DeviceLost = false;
    m_HavePosition = false;
    for (bool running = true; running;) {
        DWORD result = m_DeviceLost ? WaitForSingleObject(m_hShutdownEvent, INFINITE)
                                    : WaitForMultipleObjects(2, waits, FALSE, timeout);
        switch (result) {
        case WAIT_OBJECT_0: // shutdown event: Stop or Close
            running = false;
            break;
        case WAIT_OBJECT_0 + 1: // samples-ready event: the device has a packet
            while (ReadPacket()) {
            }
            break;
        case WAIT_TIMEOUT: // a loopback source is polled; a quiet endpoint is just waited on
            if (m_Loopback)
                while (ReadPacket()) {
                }
            break;
        default: // the handles are gone: nothing more can wake this thread
            running = false;
            break;
        }
    }

    if (mmcss) AvRevertMmThreadCharacteristics(mmcss);
    timeEndPeriod(1);
    plat::Trace("stop capture thread\n");
    CoUninitialize();
}
