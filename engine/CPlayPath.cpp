// The playback path: the play file, the play thread and the ring shaping.
#include "engine/CPlayPath.h"

#include "media/MediaOpen.h"
#include "platform/Platform.h"

#include <algorithm>
#include <cstring>
#include <new>

CPlayPath::~CPlayPath() {
    Join();
    CloseFile();
    Release();
}

bool CPlayPath::Allocate() {
    bool ok = (m_MonitorRing.m_pBuffer || m_MonitorRing.Allocate(RING_BYTES)) &&
              (m_RecordRing.m_pBuffer || m_RecordRing.Allocate(RING_BYTES));
    if (ok && !m_pBuffer) m_pBuffer.reset(new (std::nothrow) uint8_t[WORK_BUFFER_BYTES]);
    ok = ok && m_pBuffer;
    if (ok) {
        try {
            m_Chunk.assign(CHUNK_BYTES / 2, 0);
            m_Shaped.assign(CHUNK_BYTES / 2, 0);
        } catch (const std::bad_alloc&) {
            ok = false;
        }
    }
    return ok;
}

void CPlayPath::Release() {
    m_pBuffer.reset();
    m_MonitorRing.Free();
    m_RecordRing.Free();
}

void CPlayPath::StartThread(CAppEventListener* listener) {
    m_pListener = listener;
    m_bRun = 1;
    if (!m_hThread) m_hThread = new CThread([this] { Thread(); });
}

void CPlayPath::RequestStop() {
    m_bRun = 0;
    m_Wake.Set();
}

// The play thread ends promptly once told to (it waits on its event), so
// joining cannot hang.
void CPlayPath::Join() {
    RequestStop();
    delete std::atomic_ref<CThread*>(m_hThread).exchange(nullptr);
}

int CPlayPath::Open(const std::string& path) {
    std::lock_guard<std::mutex> lock(m_FileLock);
    if ((m_pFile && m_pFile->IsOpen()) || path.empty()) return 0;
    m_pFile.reset();

    std::wstring wide = plat::Utf8ToWide(path);
    MediaKind kind = MEDIA_RAW;
    std::unique_ptr<CMediaFile> file = OpenMediaFile(wide.c_str(), &kind);
    if (!file) return 0;
    MediaInfo info = GetMediaInfo(*file, kind);
    sampleops::PcmLayout layout;
    layout.channels = static_cast<int>(info.channels);
    if (kind == MEDIA_WAV) {
        layout.tag = static_cast<int>(info.tag ? info.tag : 1);
        layout.bits = static_cast<int>(info.bits);
    } // MP3 data is decoded to 16-bit PCM
    if (!layout.IsSupported() || info.rate == 0) {
        plat::Trace("[CAudioControl] play file format not supported: tag=%d, bit=%d, ch=%d\n", layout.tag,
                    layout.bits, layout.channels);
        return 0;
    }

    m_JumpPos = -1;
    m_Switches.m_PlayFrequency = static_cast<int32_t>(info.rate);
    m_Switches.m_PlayChannels = static_cast<int32_t>(info.channels);
    // The rate is traced by the "frq" field's own text, which carries no conversion.
    plat::Trace("open play file = %s, frq=&d, ch=%d\n", path.c_str(), static_cast<int>(info.channels));
    m_Layout = layout;
    m_pFile = std::move(file);
    m_AtEnd = false;
    m_Position = 0;
    m_FileOpen = true;
    return 1;
}

void CPlayPath::Begin(int delaySeconds, int startSeconds) {
    m_Switches.m_PlayDelay = delaySeconds;
    // The play thread always produces 16-bit stereo frames at the play rate, so
    // the silence is counted in those.
    m_DelayBytes = delaySeconds > 0 ? static_cast<int64_t>(delaySeconds) * GetBytesPerSecond() : 0;
    m_JumpPos = startSeconds >= 0 ? startSeconds : -1;
    m_AtEnd = false;
    m_Switches.m_bPlayPaused = 0;
    m_Switches.m_bPlaying = 1;
    m_Wake.Set();
}

void CPlayPath::End() {
    m_Switches.m_bPlayPaused = 1;
    m_Switches.m_bPlaying = 0;
    {
        // Waits for a chunk the play thread is producing; after this it no longer
        // touches the file or writes the rings.
        std::lock_guard<std::mutex> lock(m_FileLock);
        m_MonitorRing.Clear();
        m_RecordRing.Clear();
        if (m_pFile) m_pFile->Close();
        m_pFile.reset();
        m_FileOpen = false;
        m_AtEnd = false;
        m_Position = 0;
    }
    m_Switches.m_bPlayPaused = 0;
    m_DelayBytes = 0;
}

void CPlayPath::CloseFile() {
    std::lock_guard<std::mutex> lock(m_FileLock);
    m_pFile.reset();
}

void CPlayPath::ClearRings() {
    m_MonitorRing.Clear();
    m_RecordRing.Clear();
}

uint32_t CPlayPath::Take(Ring which, void* out, uint32_t bytes) {
    SoundRing& ring = RingOf(which);
    // The end flag first: it is set after the last chunk went into the ring.
    const bool atEnd = m_AtEnd.load();
    if (ring.GetUsed() == 0) {
        if (atEnd && m_pListener) m_pListener->OnPlayEnd();
        return 0;
    }
    return ring.Read(out, bytes);
}

void CPlayPath::Thread() {
    while (m_bRun) {
        {
            std::lock_guard<std::mutex> lock(m_FileLock);
            if (m_pFile && m_pFile->IsOpen() && m_Switches.m_bPlaying && m_pBuffer) {
                // The seek request is taken only while playing, so one made just
                // before play start is not lost.
                int32_t j = m_JumpPos.exchange(-1);
                if (j != -1) {
                    m_pFile->SeekTime(static_cast<uint32_t>(j));
                    plat::Trace("JUMP POS : %d\n", j);
                    m_Position = m_pFile->GetTime();
                }
                // The monitor ring alone paces the thread.
                if (m_MonitorRing.m_pBuffer && m_MonitorRing.m_Size - m_MonitorRing.GetUsed() > CHUNK_BYTES)
                    ProduceChunk();
            }
        }
        if (!m_bRun) break;
        m_Wake.Wait(10);
    }
}

// Called with m_FileLock held.
void CPlayPath::ProduceChunk() {
    int16_t* chunk = m_Chunk.data();
    uint32_t n;
    const int64_t delay = m_DelayBytes;
    if (delay > 0) {
        n = static_cast<uint32_t>(std::min<int64_t>(delay, CHUNK_BYTES));
        std::memset(chunk, 0, CHUNK_BYTES);
        m_DelayBytes -= n;
    } else {
        const size_t frameBytes = static_cast<size_t>(m_Layout.BytesPerFrame());
        size_t frames = std::min<size_t>(CHUNK_BYTES / 4, WORK_BUFFER_BYTES / frameBytes);
        uint32_t got = m_pFile->ReadData(m_pBuffer.get(), static_cast<uint32_t>(frames * frameBytes));
        frames = sampleops::ConvertToStereo16(m_pBuffer.get(), got, m_Layout, chunk);
        n = static_cast<uint32_t>(frames * 4);
    }
    if (n) {
        const size_t frames = n / 4;
        if (m_Switches.m_bVoiceCancel) sampleops::VoiceCancel(chunk, frames);
        sampleops::ApplyGain(chunk, frames * 2, m_Switches.m_PlayGain);
        m_MonitorRing.Write(chunk, n);
        if (m_Switches.m_ChannelMode == 1 && m_Links.RecFileChannel() == 0) {
            sampleops::DownmixToMono(chunk, m_Shaped.data(), frames);
            m_RecordRing.Write(m_Shaped.data(), n / 2);
        } else {
            sampleops::ShapeForRecording(chunk, m_Shaped.data(), frames, m_Links.PlayFileMode());
            m_RecordRing.Write(m_Shaped.data(), n);
        }
    }
    // After the rings: a reader that sees the end flag and then an empty ring
    // has really played everything.
    m_Position = m_pFile->GetTime();
    if (delay <= 0) m_AtEnd = n == 0 || m_pFile->IsEnd() != 0;
}
