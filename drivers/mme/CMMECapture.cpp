#include "drivers/mme/CMMECapture.h"

#include <iterator>

CMMECapture::~CMMECapture() {
    if (m_hDevice.load()) CMMECapture::Close();
    CollectWorker();
}

int CMMECapture::Open(int channels, int samplesPerSec, int bitsPerSample, int latencyMs) {
    plat::Trace("CMMECapture::Open(%d, %d, %d, %d)\n", channels, samplesPerSec, bitsPerSample, latencyMs);
    return OpenDevice(channels, samplesPerSec, bitsPerSample, static_cast<uint32_t>(samplesPerSec / 30),
                      "capture")
               ? 1
               : 0;
}

int CMMECapture::Start() {
    plat::Trace("CMMECapture::Start()\n");
    HWAVEIN handle = m_hDevice.load();
    if (!handle) return 0;
    if (m_State == DRIVER_RUNNING) return 1;
    if (waveInReset(handle) != MMSYSERR_NOERROR) return 0;
    for (int i = 0; i < static_cast<int>(std::size(m_Header)); ++i) {
        mmeheaders::Claim(m_Busy[i]);
        m_Header[i].dwBytesRecorded = 0;
        m_Header[i].dwUser = 0;
        MMRESULT r = waveInAddBuffer(handle, &m_Header[i], sizeof m_Header[i]);
        Queued(i);
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
    HWAVEIN handle = m_hDevice.load();
    if (!handle) return 0;
    m_State = DRIVER_OPEN;
    // The reset hands back the queued headers; the worker leaves them idle
    // until the next Start queues them again.
    return waveInReset(handle) == MMSYSERR_NOERROR ? 1 : 0;
}

void CMMECapture::Close() {
    plat::Trace("CMMECapture::Close()\n");
    Stop();
    CloseDevice("capture");
}

bool CMMECapture::OnHeaderDone(int i) {
    WAVEHDR& header = m_Header[i];
    HWAVEIN handle = m_hDevice.load();
    if (m_State != DRIVER_RUNNING || !handle) {
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
    if (waveInAddBuffer(handle, &header, sizeof header) != MMSYSERR_NOERROR) {
        // Out of rotation: the stream goes on with the other header.
        mmeheaders::MarkIdle(header);
        return false;
    }
    Queued(i);
    return false;
}
