#include "drivers/mme/CMMERenderer.h"

CMMERenderer::~CMMERenderer() {
    if (m_hDevice.load()) CMMERenderer::Close();
    CollectWorker();
}

int CMMERenderer::GetVolume(uint16_t* left, uint16_t* right) {
    HWAVEOUT handle = m_hDevice.load();
    DWORD volume = 0;
    if (!handle || waveOutGetVolume(handle, &volume) != MMSYSERR_NOERROR) return 0;
    if (left) *left = LOWORD(volume);
    if (right) *right = HIWORD(volume);
    return 1;
}

int CMMERenderer::SetVolume(uint16_t left, uint16_t right) {
    HWAVEOUT handle = m_hDevice.load();
    if (!handle) return 0;
    DWORD volume = static_cast<DWORD>(left) | (static_cast<DWORD>(right) << 16);
    return waveOutSetVolume(handle, volume) == MMSYSERR_NOERROR ? 1 : 0;
}

int CMMERenderer::Open(int channels, int samplesPerSec, int bitsPerSample, int latencyMs) {
    plat::Trace("CMMERenderer::Open(%d, %d, %d, %d)\n", channels, samplesPerSec, bitsPerSample, latencyMs);
    m_Latency = latencyMs;
    uint32_t frames =
        static_cast<uint32_t>(samplesPerSec / 1000) * static_cast<uint32_t>(latencyMs > 0 ? latencyMs : 0);
    if (!OpenDevice(channels, samplesPerSec, bitsPerSample, frames, "render")) return 0;
    plat::Trace("[MME] open render device\n");
    return 1;
}

void CMMERenderer::FillHeader(int i) {
    WAVEHDR& header = m_Header[i];
    std::memset(header.lpData, 0, m_BlockSize);
    uint32_t n = m_pListener ? m_pListener->OnSoundOut(header.lpData, m_BlockSize) : m_BlockSize;
    if (n > m_BlockSize) n = m_BlockSize;
    header.dwUser = n == 0 ? 1 : 0; // the listener had nothing more: this block ends the stream
    header.dwBufferLength = n;
    HWAVEOUT handle = m_hDevice.load();
    if (!handle || waveOutWrite(handle, &header, sizeof header) != MMSYSERR_NOERROR) {
        // Counts as an empty block: the header waits for the next Start.
        header.dwUser = 0;
        header.dwBufferLength = 0;
        mmeheaders::MarkIdle(header);
        return;
    }
    Queued(i);
}

int CMMERenderer::Start() {
    plat::Trace("CMMERenderer::Start()\n");
    if (!m_hDevice.load()) return 0;
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
    HWAVEOUT handle = m_hDevice.load();
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
    CloseDevice("render");
}

bool CMMERenderer::OnHeaderDone(int i) {
    WAVEHDR& header = m_Header[i];
    if (!m_hDevice.load()) {
        mmeheaders::MarkIdle(header); // closing
    } else if (header.dwUser == 1) {
        mmeheaders::MarkIdle(header);
        if (m_pListener) m_pListener->OnSoundEnd(&header);
    } else if (m_State != DRIVER_RUNNING) {
        mmeheaders::MarkIdle(header);
    } else {
        FillHeader(i);
    }
    return false;
}
