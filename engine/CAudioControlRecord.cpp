// CAudioControl: recording (RecordStart/Pause/Stop and the record thread).
#include "engine/CAudioControl.h"

#include "engine/EngineLinks.h"
#include "platform/Platform.h"

#include <vector>

int CAudioControl::RecordStart(const std::string& path) {
    if (!m_pCapture) return 0;
    int32_t state = m_RecordState;
    if (state == REC_PAUSED) {
        m_RecordState = REC_RECORDING;
        plat::Trace("[Capture Status] REC PAUSE --> REC\n");
        return 1;
    }
    if (state & REC_RECORDING) return 0;
    if (!m_pCapture->IsStarted()) {
        plat::Trace("[Capture Status] Capture Stop\n");
        return 0;
    }
    if (path.empty()) return 0;

    // The file always holds 16-bit PCM: float capture is converted on entry,
    // and a mono capture becomes stereo when rec_file_channel asks for it.
    const WAVEFORMATEX* capture = m_pCapture->GetFormat();
    int channels = capture->nChannels ? capture->nChannels : 1;
    if (channels == 1 && m_Links.RecFileChannel() == 1) channels = 2;
    WAVEFORMATEX format;
    MakePcmFormat(format, channels, static_cast<int>(capture->nSamplesPerSec), 16);
    plat::Trace("REC FORMAT ch=%d, frq=%d, bit=%d, blk=%d, byte=%d\n", format.nChannels,
                static_cast<int>(format.nSamplesPerSec), format.wBitsPerSample, format.nBlockAlign,
                static_cast<int>(format.nAvgBytesPerSec));

    m_pCapture->ResetPosition();
    {
        std::lock_guard<std::mutex> lock(m_RecordFileLock);
        if (m_RecordFile.Create(path, format) != 0) {
            plat::Trace("file open error %s\n", path.c_str());
            return 0;
        }
        // Half a second of silence leads every recording.
        std::vector<uint8_t> lead(static_cast<size_t>(format.nBlockAlign) * format.nSamplesPerSec / 2, 0);
        if (!m_RecordFile.Write(lead.data(), static_cast<uint32_t>(lead.size()))) {
            // Not even the lead fits (a full disk): leave no empty file behind.
            plat::Trace("file open error %s\n", path.c_str());
            m_RecordFile.Close();
            plat::RemoveFile(path.c_str());
            return 0;
        }
        m_RecordedFrames = 0;
        m_RecordRate = static_cast<int32_t>(format.nSamplesPerSec);
    }
    m_RecordState = REC_RECORDING;
    plat::Trace("[Capture Status] REC STOP --> REC\n");
    return 1;
}

int CAudioControl::RecordPause() {
    int32_t expected = REC_RECORDING;
    if (m_RecordState.compare_exchange_strong(expected, REC_PAUSED)) {
        plat::Trace("[Capture Status] REC --> REC PAUSE\n");
        return 1;
    }
    return expected == REC_PAUSED ? 1 : 0;
}

int CAudioControl::RecordStop() {
    const int32_t state = m_RecordState;
    if (!(state & REC_RECORDING)) return 0;
    // What the record thread still finds queued was captured before STOP; it is
    // written unless the take was paused then.
    m_WriteOnStop = state == REC_RECORDING;
    m_RecordState = REC_STOP_REQ;
    plat::Trace("[Capture Status] REC --> REC STOP REQ\n");
    if (m_hRecordThread) {
        // The record thread writes what is still queued and closes the file; a
        // thread held up elsewhere is given about 2 s.
        m_RecordWake.Set();
        for (int i = 0; i < 200 && m_RecordState != REC_STOP; ++i)
            plat::SleepMs(10);
    }
    m_RecordState = REC_STOP;
    plat::Trace("[Capture Status] REC END\n");

    std::lock_guard<std::mutex> lock(m_RecordFileLock);
    m_RecordFile.Close();
    if (m_RecordFile.GetTakeFrames() != 0) return 1;
    const std::string& name = m_RecordFile.GetPath();
    if (!name.empty()) {
        plat::Trace("delete temp file = %s\n", name.c_str());
        plat::RemoveFile(name.c_str());
    }
    return 0;
}

void CAudioControl::RecordThread() {
    for (;;) {
        if (!m_HoldRecord) RecordPass();
        if (!m_bRecordThreadRun) break;
        m_RecordWake.Wait(200);
    }
}

void CAudioControl::RecordPass() {
    uint32_t n = 0;
    if (m_RecordFifo.GetUsed() != 0 && m_pRecordBuffer)
        n = m_RecordFifo.Read(m_pRecordBuffer.get(), RECORD_READ_BYTES);

    bool failed = false;
    std::string failedPath;
    uint64_t savedFrames = 0;
    {
        std::lock_guard<std::mutex> lock(m_RecordFileLock);
        const int32_t state = m_RecordState;
        // A stop requested after the read above follows what the sound thread
        // queued meanwhile: take that too, or the file closes without it.
        static_assert(RECORD_READ_BYTES + RING_BYTES <= WORK_BUFFER_BYTES);
        if (state == REC_STOP_REQ && m_pRecordBuffer)
            n += m_RecordFifo.Read(m_pRecordBuffer.get() + n, WORK_BUFFER_BYTES - n);
        // A stop request still writes what was captured before it.
        if (n && (state == REC_RECORDING || (state == REC_STOP_REQ && m_WriteOnStop)) &&
            m_RecordFile.IsOpen()) {
            if (m_RecordFile.Write(m_pRecordBuffer.get(), n))
                m_RecordedFrames += n / m_RecordFile.GetBlockAlign();
            else
                failed = true;
        }
        if (!failed && (state & REC_RECORDING) && !m_RecordFile.RefreshHeaderIfDue()) failed = true;
        if (failed) {
            failedPath = m_RecordFile.GetFailedPath();
            savedFrames = m_RecordFile.GetPartFrames();
            m_RecordFile.Close();
            m_RecordState = REC_STOP;
            plat::Trace("[Capture Status] REC write error --> REC STOP\n");
        } else if (state == REC_STOP_REQ) {
            m_RecordFile.Close();
            int32_t expected = REC_STOP_REQ;
            m_RecordState.compare_exchange_strong(expected, REC_STOP);
            plat::Trace("[Capture Status] REC STOP REC --> REC STOP\n");
        }
    }
    if (failed && m_pListener)
        m_pListener->OnRecordError(failedPath.c_str(), static_cast<uint32_t>(savedFrames));
    if (n && m_pListener) m_pListener->OnRecordData(m_pRecordBuffer.get(), n);
    ++m_RecordPasses;
}
