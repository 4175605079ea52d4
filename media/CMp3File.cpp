#include "media/CMp3File.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace {

constexpr uint32_t kScanBytes = 65536;
// Candidates are looked for in the first kScanBytes of the audio; the extra
// bytes let a candidate near that limit still show its run of six frames.
constexpr uint32_t kSearchExtra = 16384;
constexpr uint32_t kRunFrames = 6;
constexpr uint32_t kInputBytes = 4096;

// A frame header that can start a stream: a Layer III frame of known size.
bool ParseAudioHeader(const uint8_t* p, Mp3FrameInfo* info) {
    return ParseMp3Header(p, info) && info->nLayer == 3 && mp3::HeaderBitrateIndex(info->nHeader) != 0;
}

// Encoders put a Xing/Info (after the side information) or a VBRI (at a fixed
// place) tag into a first frame of silence-free garbage: it is not audio.
bool IsTagFrame(const uint8_t* frame, uint32_t available, const Mp3FrameInfo& info) {
    const bool lsf = mp3::HeaderVersionSlot(info.nHeader) != 0;
    const uint32_t side = lsf ? (info.nChannels == 1 ? 9 : 17) : (info.nChannels == 1 ? 17 : 32);
    const uint32_t at = 4 + (mp3::HeaderProtection(info.nHeader) ? 0 : 2) + side;
    auto has = [&](uint32_t offset, const char* tag) {
        return offset + 4 <= available && offset + 4 <= info.nFrameSize &&
               std::memcmp(frame + offset, tag, 4) == 0;
    };
    // Some encoders leave out the CRC bytes when placing the tag.
    const uint32_t noCrc = 4 + side;
    return has(at, "Xing") || has(at, "Info") || has(noCrc, "Xing") || has(noCrc, "Info") || has(36, "VBRI");
}

} // namespace

CMp3File::CMp3File() : m_FirstFrame(~0u), m_SamplesPerFrame(1152), m_LastFrame(~0u) {}

CMp3File::~CMp3File() {
    Close();
}

void CMp3File::Close() {
    m_pDecoder.reset();
    m_pInput.reset();
    m_FrameOffsets.clear();
    m_FrameOffsets.shrink_to_fit();
    CFile::Close();
    m_Size = 0;
}

int CMp3File::NewDecoder() {
    m_pDecoder.reset(new (std::nothrow) Mp3DecoderState()); // value-initialised: all zero
    if (!m_pDecoder) return 0;
    m_pDecoder->outChannels = m_Format.nChannels;
    m_bInputDone = 0;
    m_bDrained = 0;
    return 1;
}

// The first frame of a run of six Layer III frames that agree in everything
// but bit rate, padding, private bit, mode extension and the status flags.
// Junk before it (and an ID3v2 tag, skipped by its size) is not played.
int CMp3File::FindFirstFrame(uint64_t* found, Mp3FrameInfo* info) {
    uint8_t head[10];
    uint64_t start = 0;
    if (CFile::Read(head, 10, 0) == 10 && std::memcmp(head, "ID3", 3) == 0) {
        const uint32_t tagSize = (uint32_t(head[6] & 0x7F) << 21) | (uint32_t(head[7] & 0x7F) << 14) |
                                 (uint32_t(head[8] & 0x7F) << 7) | uint32_t(head[9] & 0x7F);
        start = 10ull + tagSize + ((head[5] & 0x10) ? 10 : 0); // a footer follows when flagged
    }
    if (start >= m_Size) return 0;
    std::unique_ptr<uint8_t[]> buffer(new (std::nothrow) uint8_t[kScanBytes + kSearchExtra]);
    if (!buffer) return 0;
    const uint32_t len = CFile::Read(buffer.get(), kScanBytes + kSearchExtra, start);
    if (len < 4) return 0;
    const bool reachesEnd = start + len >= m_Size;
    const uint8_t* b = buffer.get();
    const uint32_t candidates = std::min(len, kScanBytes);
    for (uint32_t pos = 0; pos + 4 <= candidates; ++pos) {
        Mp3FrameInfo first;
        if (b[pos] != 0xFF || !ParseAudioHeader(b + pos, &first)) continue;
        uint32_t count = 0;
        uint32_t walk = pos;
        Mp3FrameInfo f;
        while (walk + 4 <= len && ParseAudioHeader(b + walk, &f) &&
               ((f.nHeader ^ first.nHeader) & mp3::kRunMask) == 0) {
            ++count;
            walk += f.nFrameSize;
            if (count >= kRunFrames) break;
        }
        // A short file may hold fewer than six frames: accept two or more
        // when the walk ended exactly where the file does.
        const bool ranToEnd = reachesEnd && walk >= len;
        if (count >= kRunFrames || (count > 1 && ranToEnd)) {
            *found = start + pos;
            *info = first;
            if (IsTagFrame(b + pos, len - pos, first)) {
                m_bTagFrame = 1;
                const uint32_t next = pos + first.nFrameSize;
                if (next + 4 > len || !ParseAudioHeader(b + next, info)) return 0;
                *found = start + next;
            }
            return 1;
        }
    }
    return 0;
}

// Walks every frame from the first, recording where each starts. A frame met
// after junk is trusted only when the next header agrees with it (or it ends
// the file).
int CMp3File::ScanFrames() {
    std::unique_ptr<uint8_t[]> buffer(new (std::nothrow) uint8_t[kScanBytes]);
    if (!buffer) return 0;
    const uint8_t* b = buffer.get();
    uint64_t bufStart = 0;
    uint32_t bufLen = 0;
    // The four bytes at `pos`, reading a new piece when they are not in the buffer.
    auto headerAt = [&](uint64_t pos, uint8_t* out) {
        if (pos + 4 > m_Size) return false;
        if (pos < bufStart || pos + 4 > bufStart + bufLen) {
            bufStart = pos;
            bufLen = CFile::Read(buffer.get(), kScanBytes, pos);
            if (bufLen < 4) return false;
        }
        std::memcpy(out, b + (pos - bufStart), 4);
        return true;
    };
    uint64_t pos = m_FirstFrame;
    bool inSync = true;
    try {
        m_FrameOffsets.clear();
        uint8_t bytes[4];
        while (pos < m_Size && pos <= 0xFFFFFFFFull && headerAt(pos, bytes)) {
            Mp3FrameInfo f;
            bool ok = bytes[0] == 0xFF && ParseAudioHeader(bytes, &f) &&
                      ((f.nHeader ^ m_FrameInfo.nHeader) & mp3::kStreamMask) == 0 &&
                      pos + f.nFrameSize <= m_Size;
            if (ok && !inSync && pos + f.nFrameSize + 4 <= m_Size) {
                uint8_t next[4];
                Mp3FrameInfo nf;
                ok = headerAt(pos + f.nFrameSize, next) && ParseAudioHeader(next, &nf) &&
                     ((nf.nHeader ^ f.nHeader) & mp3::kStreamMask) == 0;
            }
            if (!ok) {
                ++pos;
                inSync = false;
                continue;
            }
            m_FrameOffsets.push_back(static_cast<uint32_t>(pos));
            if (f.nChannels == 2) m_bTwoChannels = 1;
            pos += f.nFrameSize;
            inSync = true;
        }
    } catch (const std::bad_alloc&) {
        return 0;
    }
    if (m_FrameOffsets.empty()) return 0;
    m_FrameCount = static_cast<uint32_t>(m_FrameOffsets.size());
    m_LastFrame = m_FrameOffsets.back();
    uint8_t bytes[4];
    Mp3FrameInfo last;
    m_AudioEnd = m_LastFrame;
    if (headerAt(m_LastFrame, bytes) && ParseMp3Header(bytes, &last)) m_AudioEnd += last.nFrameSize;
    return 1;
}

int CMp3File::Open(const wchar_t* name) {
    m_BlockCount = 0;
    m_BlockIndex[0] = m_BlockIndex[1] = 0;
    CString n(name);
    if (!CFile::OpenRead(n)) return 0;
    SetBlock(m_BlockBytes, m_BlockMsec);

    m_bTagFrame = 0;
    m_bTwoChannels = 0;
    m_FrameCount = m_TotalSamples = 0;
    m_bInputDone = m_bDrained = 0;
    uint64_t first = 0;
    Mp3FrameInfo info{};
    if (!FindFirstFrame(&first, &info) || first > 0xFFFFFFFFull) return 0;
    m_FirstFrame = static_cast<uint32_t>(first);
    m_FrameInfo = info;
    m_FrameSize = info.nFrameSize;
    m_SamplesPerFrame = Mp3SamplesPerFrame(info);
    if (!ScanFrames()) return 0;
    m_TotalSamples = m_SamplesPerFrame * m_FrameCount;

    m_Format = MediaFormat{};
    m_Format.nKind = 1;
    m_Format.nSamplesPerSec = info.nFrequency;
    // A stream that switches between single and two channels plays as two.
    m_Format.nChannels = m_bTwoChannels ? 2 : info.nChannels;
    m_Format.nBitsPerSample = 16;
    if (!NewDecoder()) return 0;
    Seek(m_FirstFrame);
    return 1;
}

void CMp3File::SeekToFrame(uint32_t index) {
    if (!m_hFile) return;
    NewDecoder();
    if (index < m_FrameCount) {
        Seek(m_FrameOffsets[index]);
    } else {
        Seek(m_AudioEnd);
        m_bInputDone = m_bDrained = 1; // nothing left to play
    }
}

void CMp3File::Rewind() {
    if (m_FrameCount) SeekToFrame(0);
}

void CMp3File::SeekTime(uint32_t seconds) {
    if (!m_FrameCount || !m_Format.nSamplesPerSec) return;
    const uint64_t index = uint64_t(seconds) * m_Format.nSamplesPerSec / m_SamplesPerFrame;
    SeekToFrame(static_cast<uint32_t>(std::min<uint64_t>(index, m_FrameCount)));
}

uint32_t CMp3File::ReadData(void* buffer, uint32_t bytes, uint64_t position) {
    if (!m_pDecoder || !m_hFile) return 0;
    if (position != FILE_CURRENT_POSITION) {
        const uint64_t target = uint64_t(m_FirstFrame) + position;
        const auto it = std::upper_bound(m_FrameOffsets.begin(), m_FrameOffsets.end(), target);
        SeekToFrame(it == m_FrameOffsets.begin() ? 0
                                                 : static_cast<uint32_t>(it - m_FrameOffsets.begin() - 1));
    }
    if (!m_pInput) {
        m_pInput.reset(new (std::nothrow) uint8_t[kInputBytes]);
        if (!m_pInput) return 0;
    }
    if (bytes == 0 || !buffer) return 0;
    uint8_t* out = static_cast<uint8_t*>(buffer);
    uint32_t done = 0;
    for (;;) {
        uint32_t n = 0;
        const int answer = Mp3Decode(m_pDecoder.get(), nullptr, 0, out + done, bytes - done, &n);
        done += n;
        if (answer != MP3_NEED_INPUT) break; // output full
        if (m_bInputDone) {
            m_bDrained = 1;
            break;
        }
        const uint32_t got = CFile::Read(m_pInput.get(), kInputBytes);
        if (got == 0) {
            Mp3DecodeSetEndOfInput(m_pDecoder.get());
            m_bInputDone = 1;
            continue;
        }
        if (Mp3Decode(m_pDecoder.get(), m_pInput.get(), got, nullptr, 0, nullptr) == MP3_ERROR) break;
    }
    return done;
}

uint32_t CMp3File::GetTime() {
    if (!m_Format.nSamplesPerSec || !m_hFile || m_FrameOffsets.empty()) return 0;
    const uint64_t p = GetPosition();
    if (p < m_FirstFrame) return 0;
    const uint64_t before =
        std::lower_bound(m_FrameOffsets.begin(), m_FrameOffsets.end(), p) - m_FrameOffsets.begin();
    return static_cast<uint32_t>(before * m_SamplesPerFrame / m_Format.nSamplesPerSec);
}

int CMp3File::IsEnd() {
    if (!m_hFile) return m_LastFrame == 0 ? 1 : 0;
    if (!m_pDecoder) return 1; // open, but not as an MP3 file: nothing to play
    return m_bDrained ? 1 : 0;
}
