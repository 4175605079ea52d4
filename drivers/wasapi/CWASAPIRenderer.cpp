#include "drivers/wasapi/CWASAPIRenderer.h"

#include <ksmedia.h>

#include <cstdlib>

CWASAPIRenderer::~CWASAPIRenderer() {
    if (m_pWorker || m_pEndpoint || m_pAudioClient || m_hWake.load()) CWASAPIRenderer::Close();
}

int CWASAPIRenderer::SelectDevice(int32_t index) {
    int count = ListEndpoints(eRender, -1, nullptr);
    if (count < 0) return 1;
    int32_t candidate = index == DEFAULT_DEVICE_INDEX ? 0 : index;
    if (index < DEFAULT_DEVICE_INDEX || candidate >= count) return 0;
    m_DeviceIndex = candidate;
    return 1;
}

int CWASAPIRenderer::EnumDevice(int32_t index, AudioDeviceInfo* info) {
    int count = ListEndpoints(eRender, index == DEFAULT_DEVICE_INDEX ? 0 : index, info);
    return count < 0 ? 0 : count;
}

int CWASAPIRenderer::Open(int channels, int samplesPerSec, int bitsPerSample, int latencyMs) {
    plat::Trace("CWASAPIRenderer::Open(%d, %d, %d, %d)\n", channels, samplesPerSec, bitsPerSample, latencyMs);
    if (m_pEndpoint) return 0;
    m_Latency = latencyMs;
    m_Underruns = 0;
    bool ok = OpenClient(eRender, m_DeviceIndex == DEFAULT_DEVICE_INDEX ? -1 : m_DeviceIndex);
    if (ok && !SetAudioFormat(channels, samplesPerSec, bitsPerSample)) {
        plat::Trace("Failed to load the mix format.\n");
        ok = false;
    }
    if (!ok || !InitializeStream()) {
        Close();
        plat::Trace("Can't open WASAPI renderer\n");
        return 0;
    }
    m_State = DRIVER_OPEN;
    plat::Trace("Open WASAPI renderer\n");
    return 1;
}

int CWASAPIRenderer::SetAudioFormat(int channels, int rate, int bits) {
    plat::Trace("CWASAPIRenderer::SetAudioFormat(%d, %d, %d)\n", channels, rate, bits);
    if (!m_pAudioClient) return 0;
    CoTaskMemFree(m_pStreamFormat);
    m_pStreamFormat = nullptr;
    if (FAILED(Checked(m_pAudioClient->GetMixFormat(&m_pStreamFormat),
                       "Unable to get mix format on audio client", &m_pStreamFormat)))
        return 0;
    // The stream is always 16-bit PCM; an extensible mix format keeps its
    // record (channel mask) with the sub-format and sizes replaced.
    WAVEFORMATEX* f = m_pStreamFormat;
    bool extensible = f->wFormatTag == WAVE_FORMAT_EXTENSIBLE && f->cbSize >= 22;
    WORD cbSize = f->cbSize;
    MakePcmFormat(*f, channels, rate, 16);
    if (extensible) {
        auto* ext = reinterpret_cast<WAVEFORMATEXTENSIBLE*>(f);
        f->wFormatTag = WAVE_FORMAT_EXTENSIBLE;
        f->cbSize = cbSize;
        ext->Samples.wValidBitsPerSample = 16;
        ext->SubFormat = KSDATAFORMAT_SUBTYPE_PCM;
        plat::Trace("WAVE_FORMAT_EXTENSIBLE\n");
    } else {
        f->cbSize = cbSize;
        plat::Trace("WAVE_FORMAT_PCM\n");
    }
    m_Shared = false;
    HRESULT hr = m_pAudioClient->IsFormatSupported(AUDCLNT_SHAREMODE_EXCLUSIVE, f, nullptr);
    if (hr != S_OK) {
        plat::Trace("Format is not supported \n");
        if (!IsExclusiveRefusal(hr) && hr != S_FALSE) return 0;
        // No exclusive stream in this format: the shared stream gets the same
        // 16-bit PCM from the system's conversion.
        plat::Trace("Exclusive mode refused: %s(%x), using shared mode\n", ErrorName(hr),
                    static_cast<unsigned>(hr));
        m_Shared = true;
        f->wFormatTag = WAVE_FORMAT_PCM;
        f->cbSize = 0;
    }
    m_FrameSize = f->nBlockAlign;
    m_Format = *f;
    if (m_Format.wFormatTag == WAVE_FORMAT_EXTENSIBLE) m_Format.wFormatTag = WAVE_FORMAT_PCM;
    return 1;
}

bool CWASAPIRenderer::InitializeStream() {
    m_Duration = static_cast<REFERENCE_TIME>(m_Latency) * 10000;
    if (!m_Shared) {
        HRESULT hr = InitializeExclusive(m_pEndpoint.Get(), m_pAudioClient, m_pStreamFormat,
                                         m_pStreamFormat->nSamplesPerSec, m_Duration);
        if (IsExclusiveRefusal(hr)) {
            plat::Trace("Exclusive mode refused: %s(%x), using shared mode\n", ErrorName(hr),
                        static_cast<unsigned>(hr));
            m_Shared = true;
            m_pStreamFormat->wFormatTag = WAVE_FORMAT_PCM;
            m_pStreamFormat->cbSize = 0;
            m_Format.cbSize = 0;
        } else if (FAILED(Checked(hr, "Unable to initialize audio client"))) {
            return false;
        }
    }
    if (m_Shared) {
        m_Duration = static_cast<REFERENCE_TIME>(m_Latency) * 10000;
        if (!InitializeSharedFallback(m_pEndpoint.Get(), m_pAudioClient, m_pStreamFormat, m_Duration))
            return false;
    }
    return FinishStream(m_FrameSize, true, m_pRenderClient, "render");
}

bool CWASAPIRenderer::FillBuffer() {
    UINT32 frames = m_BufferFrames;
    if (m_Shared && m_pAudioClient) {
        // A shared stream takes only what the device has played since the last event.
        UINT32 padding = 0;
        if (FAILED(Checked(m_pAudioClient->GetCurrentPadding(&padding), "Unable to get current padding")))
            return false;
        frames = padding < m_BufferFrames ? m_BufferFrames - padding : 0;
        // Nothing left queued on a refill: the device played past the end of
        // what it had (this thread woke too late).
        if (padding == 0 && m_Primed) {
            ++m_Underruns;
            plat::Trace("render underrun\n");
        }
    }
    IAudioRenderClient* client = m_pRenderClient.Get();
    if (!client) return false;
    uint32_t bytes = m_FrameSize * frames;
    void* block = m_pListener && bytes ? std::malloc(bytes) : nullptr;
    uint32_t produced = block ? m_pListener->OnSoundOut(block, bytes) : 0;
    // Without a listener (or memory) the device gets silence.
    UINT32 count = !block ? frames : m_FrameSize ? (produced > bytes ? bytes : produced) / m_FrameSize : 0;
    BYTE* data = nullptr;
    HRESULT hr = client->GetBuffer(count, &data);
    if (FAILED(hr)) {
        plat::Trace("Failed to get buffer: %s(%x), samples=%d, frame=%d, size=%d\n", ErrorName(hr),
                    static_cast<unsigned>(hr), static_cast<int>(count), static_cast<int>(m_FrameSize),
                    static_cast<int>(m_BufferFrames));
        std::free(block);
        return false;
    }
    if (block && count && data) std::memcpy(data, block, static_cast<size_t>(count) * m_FrameSize);
    client->ReleaseBuffer(count, block ? 0 : AUDCLNT_BUFFERFLAGS_SILENT);
    std::free(block);
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
    if (!StartStream("render")) return 0;
    plat::Trace("Start WASAPI renderer\n");
    return 1;
}

int CWASAPIRenderer::Stop() {
    plat::Trace("CWASAPIRenderer::Stop()\n");
    StopStream("render");
    plat::Trace("Stop WASAPI renderer\n");
    return 1;
}

void CWASAPIRenderer::Close() {
    plat::Trace("CWASAPIRenderer::Close()\n");
    if (!CloseStream("WASAPI render thread did not end: stream objects leaked")) return;
    m_pRenderClient.Reset();
    CoTaskMemFree(m_pStreamFormat);
    m_pStreamFormat = nullptr;
    plat::Trace("Close WASAPI renderer\n");
}

void CWASAPIRenderer::WorkerMain() {
    CStreamThreadScope scope("render", L"Audio");
    if (!scope.Ok()) return;
    RunStream(INFINITE, false);
    plat::Trace("stop render thread\n");
}
