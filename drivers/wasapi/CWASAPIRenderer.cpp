#include "drivers/wasapi/CWASAPIRenderer.h"

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

void CloseEvent(HANDLE& event) {
    if (event && event != INVALID_HANDLE_VALUE) CloseHandle(event);
    event = nullptr;
}
} // namespace

CWASAPIRenderer::CWASAPIRenderer() : m_Factory(CreateSystemDeviceEnumerator) {
    m_Latency = 10;
}

CWASAPIRenderer::~CWASAPIRenderer() {
    if (m_pRenderThread || m_pEndpoint || m_pAudioClient || m_hShutdownEvent) CWASAPIRenderer::Close();
}

int CWASAPIRenderer::SelectDevice(int32_t index) {
    CComRef<IMMDeviceEnumerator> enumerator;
    CComRef<IMMDeviceCollection> collection;
    UINT count = 0;
    if (FAILED(OpenEndpointList(m_Factory, eRender, enumerator, collection, count))) return 1;
    int32_t candidate = index == DEFAULT_DEVICE_INDEX ? 0 : index;
    if (index < DEFAULT_DEVICE_INDEX || static_cast<UINT>(candidate) >= count) return 0;
    m_DeviceIndex = candidate;
    return 1;
}

int CWASAPIRenderer::EnumDevice(int32_t index, AudioDeviceInfo* info) {
    if (info) std::memset(info, 0, sizeof *info);
    CComRef<IMMDeviceEnumerator> enumerator;
    CComRef<IMMDeviceCollection> collection;
    UINT count = 0;
    if (FAILED(OpenEndpointList(m_Factory, eRender, enumerator, collection, count))) return 0;
    int32_t position = index == DEFAULT_DEVICE_INDEX ? 0 : index;
    if (info && position >= 0 && static_cast<UINT>(position) < count)
        DescribeEndpoint(collection.Get(), static_cast<UINT>(position), info);
    return static_cast<int>(count);
}

int32_t CWASAPIRenderer::FindDevice(const wchar_t* name, const wchar_t* id) {
    return FindEndpoint(m_Factory, eRender, name, id);
}

int CWASAPIRenderer::IsOpen() {
    return m_pEndpoint && m_pAudioClient ? 1 : 0;
}

bool CWASAPIRenderer::ActivateClient() {
    HRESULT hr = m_pEndpoint->Activate(__uuidof(IAudioClient), CLSCTX_INPROC_SERVER, nullptr,
                                       m_pAudioClient.PutVoid());
    if (FAILED(hr) || !m_pAudioClient) {
        if (SUCCEEDED(hr)) hr = E_POINTER;
        m_pAudioClient.Reset();
        plat::Trace("Unable to activate audio client: %s(%x)\n", ErrorName(hr), Hex(hr));
        return false;
    }
    return true;
}

int CWASAPIRenderer::Open(int channels, int samplesPerSec, int bitsPerSample, int latencyMs) {
    plat::Trace("CWASAPIRenderer::Open(%d, %d, %d, %d)\n", channels, samplesPerSec, bitsPerSample, latencyMs);
    if (m_pEndpoint) return 0;
    m_Latency = latencyMs;
    m_Underruns = 0;

    bool ok = false;
    OpenEndpoint(m_Factory, eRender, m_DeviceIndex == DEFAULT_DEVICE_INDEX ? -1 : m_DeviceIndex,
                 m_DeviceIndex, m_pEndpoint);
    if (m_pEndpoint) {
        m_hShutdownEvent = CreateEventW(nullptr, FALSE, FALSE, nullptr);
        if (!m_hShutdownEvent)
            plat::Trace("Unable to create shutdown event: %d\n", static_cast<int>(GetLastError()));
        if (m_hShutdownEvent) {
            m_hSamplesReadyEvent = CreateEventW(nullptr, FALSE, FALSE, nullptr);
            if (!m_hSamplesReadyEvent)
                plat::Trace("Unable to create samples ready event: %d\n", static_cast<int>(GetLastError()));
        }
        if (m_hSamplesReadyEvent && ActivateClient()) {
            if (!SetAudioFormat(channels, samplesPerSec, bitsPerSample))
                plat::Trace("Failed to load the mix format.\n");
            else
                ok = InitializeStream();
        }
    }
    if (!ok) {
        Close();
        plat::Trace("Can't open WASAPI renderer\n");
        return 0;
    }
    m_State = DRIVER_OPEN;
    plat::Trace("Open WASAPI renderer\n");
    return 1;
}

int CWASAPIRenderer::SetAudioFormat(int channels, int rate, int bits) {
    (void)bits; // the stream is always 16-bit
    plat::Trace("CWASAPIRenderer::SetAudioFormat(%d, %d, %d)\n", channels, rate, bits);
    if (!m_pAudioClient) return 0;
    CoTaskMemFree(m_pStreamFormat);
    m_pStreamFormat = nullptr;
    HRESULT hr = m_pAudioClient->GetMixFormat(&m_pStreamFormat);
    if (FAILED(hr) || !m_pStreamFormat) {
        if (SUCCEEDED(hr)) hr = E_POINTER;
        plat::Trace("Unable to get mix format on audio client: %s(%x)\n", ErrorName(hr), Hex(hr));
        return 0;
    }
    WAVEFORMATEX* f = m_pStreamFormat;
    if (f->wFormatTag == WAVE_FORMAT_EXTENSIBLE && f->cbSize >= 22) {
        auto* ext = reinterpret_cast<WAVEFORMATEXTENSIBLE*>(f);
        f->nChannels = static_cast<WORD>(channels);
        f->wBitsPerSample = 16;
        f->nBlockAlign = static_cast<WORD>(2 * channels);
        ext->Samples.wValidBitsPerSample = 16;
        ext->SubFormat = KSDATAFORMAT_SUBTYPE_PCM;
        f->nSamplesPerSec = static_cast<DWORD>(rate);
        f->nAvgBytesPerSec = f->nBlockAlign * f->nSamplesPerSec;
        plat::Trace("WAVE_FORMAT_EXTENSIBLE\n");
    } else {
        f->wFormatTag = WAVE_FORMAT_PCM;
        f->nChannels = static_cast<WORD>(channels);
        f->wBitsPerSample = 16;
        f->nSamplesPerSec = static_cast<DWORD>(rate);
        f->nBlockAlign = static_cast<WORD>((16 / 8) * channels);
        f->nAvgBytesPerSec = f->nBlockAlign * f->nSamplesPerSec;
        plat::Trace("WAVE_FORMAT_PCM\n");
    }
    m_Shared = false;
    hr = m_pAudioClient->IsFormatSupported(AUDCLNT_SHAREMODE_EXCLUSIVE, f, nullptr);
    if (hr != S_OK) {
        plat::Trace("Format is not supported \n");
        if (!IsExclusiveRefusal(hr) && hr != S_FALSE) return 0;
        // No exclusive stream in this format: the shared stream below gets the
        // same 16-bit PCM from the system's conversion.
        plat::Trace("Exclusive mode refused: %s(%x), using shared mode\n", ErrorName(hr), Hex(hr));
        m_Shared = true;
        f->wFormatTag = WAVE_FORMAT_PCM;
        f->cbSize = 0;
    }
    m_FrameSize = f->nBlockAlign;
    m_Format.wFormatTag = f->wFormatTag == WAVE_FORMAT_EXTENSIBLE ? WAVE_FORMAT_PCM : f->wFormatTag;
    m_Format.nChannels = f->nChannels;
    m_Format.nSamplesPerSec = f->nSamplesPerSec;
    m_Format.nAvgBytesPerSec = f->nAvgBytesPerSec;
    m_Format.nBlockAlign = f->nBlockAlign;
    m_Format.wBitsPerSample = f->wBitsPerSample;
    m_Format.cbSize = f->cbSize;
    return 1;
}

bool CWASAPIRenderer::InitializeStream() {
    if (!m_pAudioClient) return false;
    const DWORD flags = AUDCLNT_STREAMFLAGS_EVENTCALLBACK | AUDCLNT_STREAMFLAGS_NOPERSIST;
    m_Duration = static_cast<REFERENCE_TIME>(m_Latency) * 10000;
    HRESULT hr = S_OK;
    if (!m_Shared) {
        hr = m_pAudioClient->Initialize(AUDCLNT_SHAREMODE_EXCLUSIVE, flags, m_Duration, m_Duration,
                                        m_pStreamFormat, nullptr);
        if (hr == AUDCLNT_E_BUFFER_SIZE_NOT_ALIGNED) {
            UINT32 frames = 0;
            hr = m_pAudioClient->GetBufferSize(&frames);
            if (FAILED(hr)) {
                plat::Trace("Unable to get audio client buffer: %s(%x)\n", ErrorName(hr), Hex(hr));
                return false;
            }
            m_pAudioClient.Reset();
            m_Duration = AlignedDuration(frames, m_pStreamFormat->nSamplesPerSec);
            if (!ActivateClient()) return false;
            hr = m_pAudioClient->Initialize(AUDCLNT_SHAREMODE_EXCLUSIVE, flags, m_Duration, m_Duration,
                                            m_pStreamFormat, nullptr);
            if (FAILED(hr) && !IsExclusiveRefusal(hr)) {
                plat::Trace("Unable to reinitialize audio client: %s(%x)\n", ErrorName(hr), Hex(hr));
                return false;
            }
        }
        if (IsExclusiveRefusal(hr)) {
            plat::Trace("Exclusive mode refused: %s(%x), using shared mode\n", ErrorName(hr), Hex(hr));
            m_pAudioClient.Reset();
            if (!ActivateClient()) return false;
            m_Shared = true;
            m_pStreamFormat->wFormatTag = WAVE_FORMAT_PCM;
            m_pStreamFormat->cbSize = 0;
            m_Format.cbSize = 0;
        }
    }
    if (m_Shared) {
        m_Duration = static_cast<REFERENCE_TIME>(m_Latency) * 10000;
        hr = m_pAudioClient->Initialize(AUDCLNT_SHAREMODE_SHARED,
                                        flags | AUDCLNT_STREAMFLAGS_AUTOCONVERTPCM |
                                            AUDCLNT_STREAMFLAGS_SRC_DEFAULT_QUALITY,
                                        m_Duration, 0, m_pStreamFormat, nullptr);
    }
    if (FAILED(hr)) {
        plat::Trace("Unable to initialize audio client: %s(%x)\n", ErrorName(hr), Hex(hr));
        return false;
    }
    hr = m_pAudioClient->GetBufferSize(&m_BufferFrames);
    if (FAILED(hr)) {
        plat::Trace("Unable to get audio client buffer: %s(%x)\n", ErrorName(hr), Hex(hr));
        return false;
    }
    plat::Trace("audio client buffer: %d\n", static_cast<int>(m_BufferFrames));
    m_BlockSize = m_BufferFrames * m_FrameSize;
    hr = m_pAudioClient->SetEventHandle(m_hSamplesReadyEvent);
    if (FAILED(hr)) {
        plat::Trace("Unable to get set event handle: %s(%x)\n", ErrorName(hr), Hex(hr));
        return false;
    }
    hr = m_pAudioClient->GetService(__uuidof(IAudioRenderClient), m_pRenderClient.PutVoid());
    if (FAILED(hr) || !m_pRenderClient) {
        if (SUCCEEDED(hr)) hr = E_POINTER;
        m_pRenderClient.Reset();
        plat::Trace("Unable to get new render client: %s(%x)\n", ErrorName(hr), Hex(hr));
        return false;
    }
    return true;
}

bool CWASAPIRenderer::FillBuffer() {
    UINT32 frames = m_BufferFrames;
    if (m_Shared && m_pAudioClient) {
        // A shared stream takes only what the device has played since the last event.
        UINT32 padding = 0;
        HRESULT hr = m_pAudioClient->GetCurrentPadding(&padding);
        if (FAILED(hr)) {
            plat::Trace("Unable to get current padding: %s(%x)\n", ErrorName(hr), Hex(hr));
            return false;
        }
        frames = padding < m_BufferFrames ? m_BufferFrames - padding : 0;
        // Nothing left queued on a refill: the device played past the end of
        // what it had (this thread woke too late).
        if (padding == 0 && m_Primed) {
            ++m_Underruns;
            plat::Trace("render underrun\n");
        }
    }
    uint32_t bytes = m_FrameSize * frames;
    void* block = nullptr;
    uint32_t produced = 0;
    if (m_pListener && bytes) {
        block = std::malloc(bytes);
        if (block) {
            produced = m_pListener->OnSoundOut(block, bytes);
            if (produced > bytes) produced = bytes;
        }
    }
    IAudioRenderClient* client = m_pRenderClient.Get();
    if (!client) {
        std::free(block);
        return false;
    }
    BYTE* data = nullptr;
    if (block) {
        UINT32 count = m_FrameSize ? produced / m_FrameSize : 0;
        HRESULT hr = client->GetBuffer(count, &data);
        if (FAILED(hr)) {
            plat::Trace("Failed to get buffer: %s(%x), samples=%d, len=%d, frame=%d, size=%d\n",
                        ErrorName(hr), Hex(hr), static_cast<int>(count), static_cast<int>(produced),
                        static_cast<int>(m_FrameSize), static_cast<int>(m_BufferFrames));
            std::free(block);
            return false;
        }
        if (count && data) std::memcpy(data, block, static_cast<size_t>(count) * m_FrameSize);
        client->ReleaseBuffer(count, 0);
        std::free(block);
        return true;
    }
    HRESULT hr = client->GetBuffer(frames, &data);
    if (FAILED(hr)) {
        plat::Trace("Failed to get buffer: %s(%x), len=%d\n", ErrorName(hr), Hex(hr),
                    static_cast<int>(frames));
        return false;
    }
    client->ReleaseBuffer(frames, AUDCLNT_BUFFERFLAGS_SILENT);
    return true;
}

int CWASAPIRenderer::Start() {
    plat::Trace("CWASAPIRenderer::Start()\n");
    if (!m_pAudioClient || m_ThreadAbandoned) return 0;
    // A second render thread on the same stream would fight the first.
    if (m_State == DRIVER_RUNNING) return 1;
    m_Primed = false;
    if (!FillBuffer()) return 0;
    m_Primed = true;
    CollectThread(m_pRenderThread);
    ResetEvent(m_hShutdownEvent);
    try {
        m_pRenderThread = new CThread([this] { ThreadMain(); });
    } catch (const std::system_error& e) {
        plat::Trace("Unable to create render thread: %d\n", e.code().value());
        return 0;
    } catch (const std::bad_alloc&) {
        plat::Trace("Unable to create render thread: %d\n", static_cast<int>(ERROR_NOT_ENOUGH_MEMORY));
        return 0;
    }
    HRESULT hr = m_pAudioClient->Start();
    if (FAILED(hr)) {
        plat::Trace("Unable to start render client: %s(%x)\n", ErrorName(hr), Hex(hr));
        return 0;
    }
    m_State = DRIVER_RUNNING;
    plat::Trace("Start WASAPI renderer\n");
    return 1;
}

int CWASAPIRenderer::Stop() {
    plat::Trace("CWASAPIRenderer::Stop()\n");
    if (m_State != DRIVER_CLOSED) m_State = DRIVER_OPEN;
    if (m_hShutdownEvent) {
        plat::Trace("Request render shutdown\n");
        SetEvent(m_hShutdownEvent);
        plat::SleepMs(100);
    }
    if (m_pAudioClient) {
        HRESULT hr = m_pAudioClient->Stop();
        if (FAILED(hr)) plat::Trace("Unable to stop audio client: %s(%x)\n", ErrorName(hr), Hex(hr));
    }
    CollectThread(m_pRenderThread);
    plat::Trace("Stop WASAPI renderer\n");
    return 1;
}

void CWASAPIRenderer::Close() {
    plat::Trace("CWASAPIRenderer::Close()\n");
    if (m_State == DRIVER_RUNNING) Stop();
    m_State = DRIVER_CLOSED;
    if (m_pRenderThread) {
        if (m_hShutdownEvent) SetEvent(m_hShutdownEvent);
        CollectThread(m_pRenderThread);
    }
    ReleaseAll();
    plat::Trace("Close WASAPI renderer\n");
}

void CWASAPIRenderer::ReleaseAll() {
    if (m_ThreadAbandoned) {
        // The worker may still be inside the audio client: the COM objects,
        // events and format stay as they are.
        plat::Trace("WASAPI render thread did not end: stream objects leaked\n");
        return;
    }
    CloseEvent(m_hShutdownEvent);
    CloseEvent(m_hSamplesReadyEvent);
    m_pRenderClient.Reset();
    m_pAudioClient.Reset();
    m_pEndpoint.Reset();
    CoTaskMemFree(m_pStreamFormat);
    m_pStreamFormat = nullptr;
    m_BufferFrames = 0;
    m_Shared = false;
}

void CWASAPIRenderer::ThreadMain() {
    HRESULT hr = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    if (FAILED(hr)) {
        plat::Trace("Unable to initialize COM in render thread: %s(%x)\n", ErrorName(hr), Hex(hr));
        return;
    }
    DWORD taskIndex = 0;
    HANDLE mmcss = AvSetMmThreadCharacteristicsW(L"Audio", &taskIndex);
    if (!mmcss)
        plat::Trace("Unable to enable MMCSS on render thread: %d\n", static_cast<int>(GetLastError()));

    HANDLE waits[2] = {m_hShutdownEvent, m_hSamplesReadyEvent};
    for (bool running = true; running;) {
        switch (WaitForMultipleObjects(2, waits, FALSE, INFINITE)) {
        case WAIT_OBJECT_0: // shutdown event: Stop or Close
            plat::Trace("shutdown event\n");
            running = false;
            break;
        case WAIT_OBJECT_0 + 1: // samples-ready event: the device wants data
            if (!FillBuffer()) running = false;
            break;
        case WAIT_FAILED: // the handles are gone: nothing more can wake this thread
            running = false;
            break;
        default:
            break;
        }
    }

    if (mmcss) AvRevertMmThreadCharacteristics(mmcss);
    plat::Trace("stop render thread\n");
    CoUninitialize();
}
