// The record path: RecordStart/Pause/Stop and the record thread.
#include "engine/CRecordPath.h"

#include "platform/Platform.h"

#include <new>
#include <vector>

CRecordPath::~CRecordPath() {
    Join();
    CloseFile();
    Release();
}

bool CRecordPath::Allocate() {
    bool ok = m_Fifo.Create(FIFO_BYTES);
    if (ok && !m_pBuffer) m_pBuffer.reset(new (std::nothrow) uint8_t[WORK_BUFFER_BYTES]);
    return ok && m_pBuffer;
}

void CRecordPath::Release() {
    m_pBuffer.reset();
    m_Fifo.Release();
}

void CRecordPath::StartThread(CAppEventListener* listener) {
    m_pListener = listener;
    m_bRun = 1;
    if (!m_hThread) m_hThread = new CThread([this] { Thread(); });
}

void CRecordPath::RequestStop() {
    m_bRun = 0;
    m_Wake.Set();
}

// The record thread ends promptly once told to (it waits on its event, never
// on the user-interface thread), so joining cannot hang. A stop it has been
// asked for is finished by it first.
void CRecordPath::Join() {
    RequestStop();
    delete std::atomic_ref<CThread*>(m_hThread).exchange(nullptr);
}

void CRecordPath::CloseFile() {
    std::lock_guard<std::mutex> lock(m_FileLock);
    m_File.Close();
}

bool CRecordPath::Push(const void* data, uint32_t bytes) {
    bool overflow = false;
    if (!m_Fifo.Write(data, bytes) && m_Fifo.GetSize()) {
        // The record thread fell behind by a whole FIFO: drop what it holds and
        // go on with the newest data.
        overflow = true;
        m_Fifo.Flush();
        m_Fifo.Write(data, bytes);
    }
    // Wake the record thread early when data piles up, instead of letting the
    // FIFO run towards an overflow until its next 200 ms pass.
    if (m_Fifo.GetUsed() > FIFO_BYTES / 4) m_Wake.Set();
    return overflow;
}

int CRecordPath::Start(const std::string& path, const WAVEFORMATEX& format) {
    if (m_State & REC_RECORDING) return 0;
    if (path.empty()) return 0;
    {
        std::lock_guard<std::mutex> lock(m_FileLock);
        if (m_File.Create(path, format) != 0) {
            plat::Trace("file open error %s\n", path.c_str());
            return 0;
        }
        // Half a second of silence leads every recording.
        std::vector<uint8_t> lead(static_cast<size_t>(format.nBlockAlign) * format.nSamplesPerSec / 2, 0);
        if (!m_File.Write(lead.data(), static_cast<uint32_t>(lead.size()))) {
            // Not even the lead fits (a full disk): leave no empty file behind.
            plat::Trace("file open error %s\n", path.c_str());
            m_File.Close();
            plat::RemoveFile(path.c_str());
            return 0;
        }
        m_RecordedFrames = 0;
        m_Rate = static_cast<int32_t>(format.nSamplesPerSec);
    }
    m_State = REC_RECORDING;
    plat::Trace("[Capture Status] REC STOP --> REC\n");
    return 1;
}

bool CRecordPath::Resume() {
    int32_t expected = REC_PAUSED;
    if (!m_State.compare_exchange_strong(expected, REC_RECORDING)) return false;
    plat::Trace("[Capture Status] REC PAUSE --> REC\n");
    return true;
}

int CRecordPath::Pause() {
    int32_t expected = REC_RECORDING;
    if (m_State.compare_exchange_strong(expected, REC_PAUSED)) {
        plat::Trace("[Capture Status] REC --> REC PAUSE\n");
        return 1;
    }
    return expected == REC_PAUSED ? 1 : 0;
}

int CRecordPath::Stop() {
    const int32_t state = m_State;
    if (!(state & REC_RECORDING)) return 0;
    // What the record thread still finds queued was captured before STOP; it is
    // written unless the take was paused then.
    m_WriteOnStop = state == REC_RECORDING;
    m_State = REC_STOP_REQ;
    plat::Trace("[Capture Status] REC --> REC STOP REQ\n");
    if (m_hThread) {
        // The record thread writes what is still queued and closes the file; a
        // thread held up elsewhere is given about 2 s.
        m_Wake.Set();
        for (int i = 0; i < 200 && m_State != REC_STOP; ++i)
            plat::SleepMs(10);
    }
    m_State = REC_STOP;
    plat::Trace("[Capture Status] REC END\n");

    std::lock_guard<std::mutex> lock(m_FileLock);
    m_File.Close();
    if (m_File.GetTakeFrames() != 0) return 1;
    const std::string& name = m_File.GetPath();
    if (!name.empty()) {
        plat::Trace("delete temp file = %s\n", name.c_str());
        plat::RemoveFile(name.c_str());
    }
    return 0;
}

void CRecordPath::Thread() {
    for (;;) {
        if (!m_Hold) Pass();
        if (!m_bRun) break;
        m_Wake.Wait(200);
    }
}

void CRecordPath::Pass() {
    uint32_t n = 0;
    if (m_Fifo.GetUsed() != 0 && m_pBuffer) n = m_Fifo.Read(m_pBuffer.get(), READ_BYTES);

    bool failed = false;
    std::string failedPath;
    uint64_t savedFrames = 0;
    {
        std::lock_guard<std::mutex> lock(m_FileLock);
        const int32_t state = m_State;
        // A stop requested after the read above follows what the sound thread
        // queued meanwhile: take that too, or the file closes without it. (The
        // buffer holds a full read and a full FIFO.)
        if (state == REC_STOP_REQ && m_pBuffer) n += m_Fifo.Read(m_pBuffer.get() + n, WORK_BUFFER_BYTES - n);
        // A stop request still writes what was captured before it.
        if (n && (state == REC_RECORDING || (state == REC_STOP_REQ && m_WriteOnStop)) && m_File.IsOpen()) {
            if (m_File.Write(m_pBuffer.get(), n))
                m_RecordedFrames += n / m_File.GetBlockAlign();
            else
                failed = true;
        }
        if (!failed && (state & REC_RECORDING) && !m_File.RefreshHeaderIfDue()) failed = true;
        if (failed) {
            failedPath = m_File.GetFailedPath();
            savedFrames = m_File.GetPartFrames();
            m_File.Close();
            m_State = REC_STOP;
            plat::Trace("[Capture Status] REC write error --> REC STOP\n");
        } else if (state == REC_STOP_REQ) {
            m_File.Close();
            int32_t expected = REC_STOP_REQ;
            m_State.compare_exchange_strong(expected, REC_STOP);
            plat::Trace("[Capture Status] REC STOP REC --> REC STOP\n");
        }
    }
    if (failed && m_pListener)
        m_pListener->OnRecordError(failedPath.c_str(), static_cast<uint32_t>(savedFrames));
    if (n && m_pListener) m_pListener->OnRecordData(m_pBuffer.get(), n);
    ++m_Passes;
}
