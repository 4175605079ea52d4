#include "drivers/wasapi/CWASAPICapture.h"

#include <ksmedia.h>
#include <mmsystem.h>

#include <cstdlib>

namespace {
int32_t EffectiveIndex(int32_t index) {
    if (index >= LOOPBACK_INDEX_BASE) return index - LOOPBACK_INDEX_BASE;
    return index == DEFAULT_DEVICE_INDEX ? 0 : index;
}
EDataFlow FlowOf(int32_t index) {
    return index >= LOOPBACK_INDEX_BASE ? eRender : eCapture;
}
} // namespace

CWASAPICapture::~CWASAPICapture() {
    // The owner normally closes first; whatever is still held goes now.
    if (m_pWorker || m_pEndpoint || m_pAudioClient || m_hWake.load()) CWASAPICapture::Close();
}

int CWASAPICapture::SelectDevice(int32_t index) {
    int count = ListEndpoints(FlowOf(index), -1, nullptr);
    if (count < 0) return 1;
    if (index < DEFAULT_DEVICE_INDEX || EffectiveIndex(index) >= count) return 0;
    m_DeviceIndex = index;
    return 1;
}

int CWASAPICapture::EnumDevice(int32_t index, AudioDeviceInfo* info) {
    int count = ListEndpoints(FlowOf(index), EffectiveIndex(index), info);
    return count < 0 ? 0 : count;
}

int32_t CWASAPICapture::FindDevice(const wchar_t* name, const wchar_t* id, int loopback) {
    int32_t position = FindEndpoint(m_Factory, loopback ? eRender : eCapture, name, id);
    if (position < 0) return -1;
    return loopback ? position + LOOPBACK_INDEX_BASE : position;
}

int CWASAPICapture::Open(int channels, int samplesPerSec, int bitsPerSample, int latencyMs) {
    plat::Trace("CWASAPICapture::Open(%d, %d, %d, %d)\n", channels, samplesPerSec, bitsPerSample, latencyMs);
    if (m_pEndpoint) return 0;
    m_Loopback = m_DeviceIndex >= LOOPBACK_INDEX_BASE;
    m_Latency = latencyMs;
    m_Glitches = 0;
    if (m_Loopback && m_Latency < 100) m_Latency = 100;
    int32_t position = m_DeviceIndex == DEFAULT_DEVICE_INDEX ? -1 : EffectiveIndex(m_DeviceIndex);
    if (!OpenClient(FlowOf(m_DeviceIndex), position) ||
        !InitializeStream(channels, samplesPerSec, bitsPerSample)) {
        // Nothing obtained is kept: a failed Open can be retried at once.
        Close();
        return 0;
    }
    m_State = DRIVER_OPEN;
    return 1;
}

bool CWASAPICapture::InitializeStream(int channels, int rate, int bits) {
    if (!(m_Loopback ? InitializeLoopbackStream() : InitializeEndpointStream(channels, rate, bits)))
        return false;
    return FinishStream(m_Format.nBlockAlign, !m_Loopback, m_pCaptureClient, "capture");
}

bool CWASAPICapture::InitializeLoopbackStream() {
    plat::Trace("Audio mode is Shared Mode\n");
    if (FAILED(Checked(m_pAudioClient->GetMixFormat(&m_pMixFormat),
                       "Unable to get mix format on audio client", &m_pMixFormat)))
        return false;
    m_Duration = static_cast<REFERENCE_TIME>(m_Latency) * 10000;
    if (FAILED(Checked(m_pAudioClient->Initialize(AUDCLNT_SHAREMODE_SHARED, AUDCLNT_STREAMFLAGS_LOOPBACK,
                                                  m_Duration, 0, m_pMixFormat, nullptr),
                       "Unable to initialize audio client")))
        return false;
    REFERENCE_TIME streamLatency = 0;
    if (SUCCEEDED(Checked(m_pAudioClient->GetStreamLatency(&streamLatency), "Unable to get stream latency")))
        plat::Trace("Max Latency = %d (%d)\n", static_cast<int>(streamLatency), m_Latency);
    m_Shared = true;
    AdoptFormat(m_Format, m_pMixFormat);
    return true;
}

bool CWASAPICapture::InitializeEndpointStream(int channels, int rate, int bits) {
    plat::Trace("Audio mode is Exclusive Mode\n");
    REFERENCE_TIME defaultPeriod = 0, minimumPeriod = 0;
    if (FAILED(Checked(m_pAudioClient->GetDevicePeriod(&defaultPeriod, &minimumPeriod),
                       "Unable to get device period")))
        return false;
    plat::Trace("device period min = %d, def = %d\n", static_cast<int>(minimumPeriod),
                static_cast<int>(defaultPeriod));
    REFERENCE_TIME requested = static_cast<REFERENCE_TIME>(m_Latency) * 10000;
    m_Duration = requested > minimumPeriod ? requested : defaultPeriod;
    plat::Trace("duration: %d\n", static_cast<int>(m_Duration));

    WAVEFORMATEXTENSIBLE format{};
    MakePcmFormat(format.Format, channels, rate, bits);
    format.Format.wFormatTag = WAVE_FORMAT_EXTENSIBLE;
    format.Format.cbSize = 22;
    format.Samples.wValidBitsPerSample = static_cast<WORD>(bits);
    format.dwChannelMask = SPEAKER_FRONT_LEFT | SPEAKER_FRONT_RIGHT;
    format.SubFormat = KSDATAFORMAT_SUBTYPE_PCM;
    HRESULT hr = InitializeExclusive(m_pEndpoint.Get(), m_pAudioClient, &format.Format,
                                     static_cast<DWORD>(rate), m_Duration);
    if (IsExclusiveRefusal(hr)) {
        // Another program holds the device, exclusive control is disallowed, or
        // the device has no such mode: record anyway, in shared mode, with the
        // system converting to the format the listener expects.
        plat::Trace("Exclusive mode refused: %s(%x), using shared mode\n", ErrorName(hr),
                    static_cast<unsigned>(hr));
        plat::Trace("Audio mode is Shared Mode\n");
        WAVEFORMATEX pcm{};
        MakePcmFormat(pcm, channels, rate, bits);
        if (!InitializeSharedFallback(m_pEndpoint.Get(), m_pAudioClient, &pcm, m_Duration)) return false;
        m_Shared = true;
        AdoptFormat(m_Format, &pcm);
        return true;
    }
    if (FAILED(Checked(hr, "Unable to initialize audio client"))) return false;
    m_Shared = false;
    AdoptFormat(m_Format, &format.Format);
    return true;
}

int CWASAPICapture::Start() {
    plat::Trace("CWASAPICapture::Start()\n");
    if (!m_pAudioClient || m_ThreadAbandoned) return 0;
    if (m_State == DRIVER_RUNNING) return 1;
    m_ElapsedFrames = 0;
    return StartStream("capture");
}

int CWASAPICapture::Stop() {
    plat::Trace("CWASAPICapture::Stop()\n");
    StopStream("capture");
    return 1;
}

void CWASAPICapture::Close() {
    plat::Trace("CWASAPICapture::Close()\n");
    if (!CloseStream("WASAPI capture thread did not end: stream objects leaked")) return;
    m_pCaptureClient.Reset();
    CoTaskMemFree(m_pMixFormat);
    m_pMixFormat = nullptr;
}

bool CWASAPICapture::ReadPacket() {
    IAudioCaptureClient* client = m_pCaptureClient.Get();
    if (!client) return false;
    BYTE* data = nullptr;
    UINT32 frames = 0;
    DWORD flags = 0;
    UINT64 position = 0;
    HRESULT hr = Checked(client->GetBuffer(&data, &frames, &flags, &position, nullptr),
                         "Unable to get capture buffer");
    if (FAILED(hr)) {
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
    Checked(client->ReleaseBuffer(frames), "Unable to release capture buffer");
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

bool CWASAPICapture::ServiceStream() {
    // One event can stand for several packets in either mode (the event is
    // auto-reset, and a late wake finds more than one waiting): read until the
    // device has none, or the thread falls further behind at every event.
    while (ReadPacket()) {
    }
    return !m_DeviceLost;
}

void CWASAPICapture::WorkerMain() {
    int period = m_Loopback ? (m_Latency >> 1) : m_Latency;
    if (period > 200) period = 200;
    if (period < 1) period = 1;
    const wchar_t* task = period < 10 ? L"Pro Audio" : L"Audio";
    CStreamThreadScope scope("capture", task);
    if (!scope.Ok()) return;
    plat::Trace("Start capture thread !!!\n");
    plat::Trace("capture latency: %dms\n", period);
    timeBeginPeriod(1);
    m_DeviceLost = false;
    m_HavePosition = false;
    // A loopback source is polled; a quiet endpoint is just waited on.
    RunStream(m_Loopback ? static_cast<DWORD>(period) : 1000, m_Loopback);
    timeEndPeriod(1);
    plat::Trace("stop capture thread\n");
}
