// CAudioControl: playback (the play file, the play thread and the ring shaping).
#include "engine/CAudioControl.h"

#include "engine/EngineLinks.h"
#include "media/MediaOpen.h"
#include "platform/Platform.h"

#include <algorithm>
#include <cstring>

bool CAudioControl::HasPlayFile() {
    return m_PlayFileOpen.load();
}

int CAudioControl::OpenPlayFile(const std::string& path) {
    std::lock_guard<std::mutex> lock(m_PlayFileLock);
    if ((m_pPlayFile && m_pPlayFile->IsOpen()) || path.empty()) return 0;
    m_pPlayFile.reset();

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
    m_PlayFrequency = static_cast<int32_t>(info.rate);
    m_PlayChannels = static_cast<int32_t>(info.channels);
    // The rate is traced by the "frq" field's own text, which carries no conversion.
    plat::Trace("open play file = %s, frq=&d, ch=%d\n", path.c_str(), static_cast<int>(info.channels));
    m_PlayLayout = layout;
    m_pPlayFile = std::move(file);
    m_PlayAtEnd = false;
    m_PlayPosition = 0;
    m_PlayFileOpen = true;
    return 1;
}

void CAudioControl::PlayBegin(int delaySeconds, int startSeconds) {
    m_PlayDelay = delaySeconds;
    // The play thread always produces 16-bit stereo frames at the play rate, so
    // the silence is counted in those.
    m_PlayDelayBytes = delaySeconds > 0 ? static_cast<int64_t>(delaySeconds) * GetPlayBytesPerSecond() : 0;
    m_JumpPos = startSeconds >= 0 ? startSeconds : -1;
    m_PlayAtEnd = false;
    m_bPlayPaused = 0;
    m_bPlaying = 1;
    m_PlayWake.Set();
}

void CAudioControl::PlayEnd() {
    m_bPlayPaused = 1;
    m_bPlaying = 0;
    {
        // Waits for a chunk the play thread is producing; after this it no longer
        // touches the file or writes the rings.
        std::lock_guard<std::mutex> lock(m_PlayFileLock);
        m_PlayMonitorRing.Clear();
        m_PlayRecordRing.Clear();
        if (m_pPlayFile) m_pPlayFile->Close();
        m_pPlayFile.reset();
        m_PlayFileOpen = false;
        m_PlayAtEnd = false;
        m_PlayPosition = 0;
    }
    m_bPlayPaused = 0;
    m_PlayDelayBytes = 0;
}

void CAudioControl::PlayThread() {
    while (m_bPlayThreadRun) {
        {
            std::lock_guard<std::mutex> lock(m_PlayFileLock);
            if (m_pPlayFile && m_pPlayFile->IsOpen() && m_bPlaying && m_pPlayBuffer) {
                // The seek request is taken only while playing, so one made just
                // before play start is not lost.
                int32_t j = m_JumpPos.exchange(-1);
                if (j != -1) {
                    m_pPlayFile->SeekTime(static_cast<uint32_t>(j));
                    plat::Trace("JUMP POS : %d\n", j);
                    m_PlayPosition = m_pPlayFile->GetTime();
                }
                // The monitor ring alone paces the thread.
                if (m_PlayMonitorRing.m_pBuffer &&
                    m_PlayMonitorRing.m_Size - m_PlayMonitorRing.GetUsed() > PLAY_CHUNK_BYTES)
                    ProducePlayChunk();
            }
        }
        if (!m_bPlayThreadRun) break;
        m_PlayWake.Wait(10);
    }
}

// Called with m_PlayFileLock held.
void CAudioControl::ProducePlayChunk() {
    int16_t* chunk = m_PlayChunk.data();
    uint32_t n;
    const int64_t delay = m_PlayDelayBytes;
    if (delay > 0) {
        n = static_cast<uint32_t>(std::min<int64_t>(delay, PLAY_CHUNK_BYTES));
        std::memset(chunk, 0, PLAY_CHUNK_BYTES);
        m_PlayDelayBytes -= n;
    } else {
        const size_t frameBytes = static_cast<size_t>(m_PlayLayout.BytesPerFrame());
        size_t frames = std::min<size_t>(PLAY_CHUNK_BYTES / 4, WORK_BUFFER_BYTES / frameBytes);
        uint32_t got = m_pPlayFile->ReadData(m_pPlayBuffer.get(), static_cast<uint32_t>(frames * frameBytes));
        frames = sampleops::ConvertToStereo16(m_pPlayBuffer.get(), got, m_PlayLayout, chunk);
        n = static_cast<uint32_t>(frames * 4);
    }
    if (n) {
        const size_t frames = n / 4;
        if (m_bVoiceCancel) sampleops::VoiceCancel(chunk, frames);
        sampleops::ApplyGain(chunk, frames * 2, m_PlayGain);
        m_PlayMonitorRing.Write(chunk, n);
        if (m_ChannelMode == 1 && m_Links.RecFileChannel() == 0) {
            sampleops::DownmixToMono(chunk, m_PlayShaped.data(), frames);
            m_PlayRecordRing.Write(m_PlayShaped.data(), n / 2);
        } else {
            sampleops::ShapeForRecording(chunk, m_PlayShaped.data(), frames, m_Links.PlayFileMode());
            m_PlayRecordRing.Write(m_PlayShaped.data(), n);
        }
    }
    // After the rings: a reader that sees the end flag and then an empty ring
    // has really played everything.
    m_PlayPosition = m_pPlayFile->GetTime();
    if (delay <= 0) m_PlayAtEnd = n == 0 || m_pPlayFile->IsEnd() != 0;
}
