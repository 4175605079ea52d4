#include "media/CWaveFile.h"

#include <cstring>

namespace {

uint16_t Le16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
uint32_t Le32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
void PutLe32(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
    p[2] = static_cast<uint8_t>(v >> 16);
    p[3] = static_cast<uint8_t>(v >> 24);
}
bool IdIs(const void* p, const char* id) {
    return std::memcmp(p, id, 4) == 0;
}

// Chunk ids are four printable ASCII characters.
bool LooksLikeChunkId(const uint8_t* p) {
    for (int i = 0; i < 4; ++i)
        if (p[i] < 0x20 || p[i] > 0x7E) return false;
    return true;
}

// The extensible form names its sample format by a GUID whose last 14 bytes
// are fixed; the first two hold the classic format tag.
constexpr uint8_t kSubFormatTail[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                        0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

} // namespace

CWaveFile::~CWaveFile() {
    if (m_hFile) Close();
}

// ---------------------------------------------------------------- writing

int CWaveFile::CreateWave(const wchar_t* name, const WAVEFORMATEX& format, int overwrite) {
    CString n(name);
    return CreateWave(n, format, overwrite);
}

int CWaveFile::CreateWave(const CString& name, const WAVEFORMATEX& format, int overwrite) {
    if (format.wFormatTag != WAVE_FORMAT_PCM || format.nChannels == 0 || format.nSamplesPerSec == 0 ||
        format.nAvgBytesPerSec == 0 || format.nBlockAlign == 0 || format.wBitsPerSample == 0)
        return -1;
    int result = CFile::CreateWrite(name, overwrite);
    if (result != 0) return result;

    // The frame count describes this file, so a reused object starts again at 0.
    m_Frames = 0;
    m_Offset = WAVE_HEADER_BYTES;
    m_Header = WaveHeader{};
    std::memcpy(m_Header.riffId, "RIFF", 4);
    m_Header.riffSize = WAVE_HEADER_BYTES - 8;
    std::memcpy(m_Header.waveId, "WAVE", 4);
    std::memcpy(m_Header.fmtId, "fmt ", 4);
    m_Header.fmtSize = 16;
    m_Header.wFormatTag = format.wFormatTag;
    m_Header.nChannels = format.nChannels;
    m_Header.nSamplesPerSec = format.nSamplesPerSec;
    m_Header.nAvgBytesPerSec = format.nAvgBytesPerSec;
    m_Header.nBlockAlign = format.nBlockAlign;
    m_Header.wBitsPerSample = format.wBitsPerSample;
    m_Format = MediaFormat{};
    m_Format.nKind = 1;
    m_Format.nSamplesPerSec = format.nSamplesPerSec;
    m_Format.nChannels = format.nChannels;
    m_Format.nBitsPerSample = format.wBitsPerSample;

    if (!WriteHeader()) {
        // The new file stays on disk, closed, without a usable header.
        plat::FileClose(m_hFile);
        m_hFile = nullptr;
        m_Size = 0;
        return -1;
    }
    return 0;
}

int CWaveFile::WriteHeader() {
    if (!m_hFile || !m_bWrite) return 0;
    // m_Size counts sample bytes only: the header goes out past CFile::Write.
    const auto dataBytes = static_cast<uint32_t>(m_Size);
    m_Header.riffSize = WAVE_HEADER_BYTES - 8 + dataBytes;
    const uint32_t frames = m_Header.nBlockAlign ? static_cast<uint32_t>(m_Size / m_Header.nBlockAlign) : 0;

    uint8_t block[WAVE_HEADER_BYTES];
    std::memcpy(block, &m_Header, sizeof m_Header);
    std::memcpy(block + 36, "fact", 4);
    PutLe32(block + 40, 4);
    PutLe32(block + 44, frames);
    std::memcpy(block + 48, "data", 4);
    PutLe32(block + 52, dataBytes);

    bool ok = Seek(0) && plat::FileWrite(m_hFile, block, sizeof block) == static_cast<int64_t>(sizeof block);
    // Back to the end, so that a refresh during a recording leaves the next
    // append where it belongs.
    plat::FileSeekEnd(m_hFile);
    return ok ? 1 : 0;
}

int CWaveFile::WriteSamples(const void* buffer, uint32_t bytes) {
    if (m_bRead) return 1;
    if (Write(buffer, bytes) != bytes) return 0;
    if (m_Header.nBlockAlign) m_Frames += bytes / m_Header.nBlockAlign;
    return 1;
}

void CWaveFile::Close() {
    if (m_hFile && m_bWrite) WriteHeader();
    CFile::Close();
}

int CWaveFile::SetFormat(int, const MediaFormat* format) {
    if (!format) return 0;
    m_Format = *format;
    return 1;
}

int CWaveFile::Create(const wchar_t* name, int overwrite) {
    WAVEFORMATEX f{};
    f.wFormatTag = WAVE_FORMAT_PCM;
    f.nChannels = static_cast<uint16_t>(m_Format.nChannels);
    f.wBitsPerSample = static_cast<uint16_t>(m_Format.nBitsPerSample);
    f.nBlockAlign = static_cast<uint16_t>(f.wBitsPerSample * f.nChannels / 8);
    f.nSamplesPerSec = m_Format.nSamplesPerSec;
    f.nAvgBytesPerSec = f.nBlockAlign * m_Format.nSamplesPerSec;
    f.cbSize = 0;
    return CreateWave(name, f, overwrite);
}

// ---------------------------------------------------------------- reading

int CWaveFile::Open(const wchar_t* name) {
    return OpenWave(name);
}
int CWaveFile::OpenRaw(const wchar_t* name) {
    return OpenWave(name);
}

int CWaveFile::OpenWave(const wchar_t* name) {
    m_BlockCount = 0;
    m_BlockIndex[0] = m_BlockIndex[1] = 0;
    CString n(name);
    if (!CFile::OpenRead(n)) return 0;

    m_Format = MediaFormat{};
    m_Header = WaveHeader{};
    m_Offset = 0;
    m_Frames = 0;

    uint64_t fileSize = 0;
    uint64_t dataBytes = 0;
    if (!plat::FileSize(m_hFile, &fileSize) || !ParseChunks(fileSize, &dataBytes)) {
        CFile::Close();
        m_Header = WaveHeader{};
        m_Offset = 0;
        return 0;
    }

    const uint32_t align = m_Header.nBlockAlign;
    m_Format.nKind = 1;
    m_Format.nSamplesPerSec = m_Header.nSamplesPerSec;
    m_Format.nChannels = m_Header.nChannels;
    // The container size: a 20-bit sample travels in 3 bytes and is read as 24-bit.
    m_Format.nBitsPerSample = align / m_Header.nChannels * 8;
    m_Size = dataBytes;
    const uint64_t frames = dataBytes / align;
    m_Frames = frames > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(frames);

    SetBlock(0, m_BlockMsec);
    Rewind();
    return 1;
}

int CWaveFile::ParseChunks(uint64_t fileSize, uint64_t* dataBytes) {
    uint8_t riff[12];
    if (fileSize < 12 || CFile::Read(riff, 12, 0) != 12) return 0;
    if (!IdIs(riff, "RIFF") || !IdIs(riff + 8, "WAVE")) return 0;
    std::memcpy(m_Header.riffId, riff, 4);
    m_Header.riffSize = Le32(riff + 4);
    std::memcpy(m_Header.waveId, riff + 8, 4);

    // The walk is bounded by the file, not by the RIFF size: a recording whose
    // header was never finished still says 0 there.
    bool haveFmt = false;
    bool haveData = false;
    uint64_t dataStart = 0;
    uint64_t offset = 12;
    for (uint32_t count = 0; count < kMaxChunks && offset + 8 <= fileSize; ++count) {
        uint8_t head[8];
        if (CFile::Read(head, 8, offset) != 8) return 0;
        const uint32_t size = Le32(head + 4);
        const uint64_t body = offset + 8;
        if (IdIs(head, "fmt ") && !haveFmt) {
            if (!ParseFmt(body, size)) return 0;
            haveFmt = true;
        } else if (IdIs(head, "data") && !haveData) {
            haveData = true;
            dataStart = body;
            const uint64_t available = fileSize - body;
            // 0 or a size beyond the file: an unfinished or cut-off file, whose
            // samples run to its end. A 0 followed at once by another chunk is
            // an empty data chunk, though.
            if ((size == 0 && !ChunkFollows(body, fileSize)) || size > available) {
                *dataBytes = available;
                break;
            }
            *dataBytes = size;
        }
        if (haveFmt && haveData) break;
        offset = NextChunk(body + size, size, fileSize);
    }
    if (!haveFmt || !haveData || dataStart > UINT32_MAX) return 0;
    m_Offset = static_cast<uint32_t>(dataStart);
    return 1;
}

int CWaveFile::ParseFmt(uint64_t offset, uint32_t size) {
    if (size < 16) return 0;
    uint8_t b[40] = {};
    const uint32_t want = size < sizeof b ? size : static_cast<uint32_t>(sizeof b);
    if (CFile::Read(b, want, offset) != want) return 0;

    uint16_t tag = Le16(b);
    const uint16_t channels = Le16(b + 2);
    const uint32_t rate = Le32(b + 4);
    const uint32_t avgBytes = Le32(b + 8);
    const uint16_t align = Le16(b + 12);
    const uint16_t bits = Le16(b + 14);

    if (tag == WAVE_FORMAT_EXTENSIBLE_TAG) {
        if (size < 40 || Le16(b + 16) < 22) return 0;
        const uint16_t validBits = Le16(b + 18);
        if (validBits > bits) return 0;
        if (std::memcmp(b + 26, kSubFormatTail, sizeof kSubFormatTail) != 0) return 0;
        tag = Le16(b + 24);
    }

    if (channels == 0 || channels > kMaxChannels) return 0;
    if (rate == 0 || rate > kMaxSamplesPerSec) return 0;
    if (avgBytes == 0 || align == 0 || bits == 0) return 0;
    uint32_t sampleBytes = 0;
    if (tag == WAVE_FORMAT_PCM) {
        if (bits > 32) return 0;
        sampleBytes = (bits + 7u) / 8u;
    } else if (tag == WAVE_FORMAT_IEEE_FLOAT) {
        if (bits != 32 && bits != 64) return 0;
        sampleBytes = bits / 8u;
    } else {
        return 0; // compressed or unknown: the engine could only play it as noise
    }
    if (align != channels * sampleBytes) return 0;

    std::memcpy(m_Header.fmtId, "fmt ", 4);
    m_Header.fmtSize = size;
    m_Header.wFormatTag = tag;
    m_Header.nChannels = channels;
    m_Header.nSamplesPerSec = rate;
    m_Header.nAvgBytesPerSec = avgBytes;
    m_Header.nBlockAlign = align;
    m_Header.wBitsPerSample = bits;
    return 1;
}

uint64_t CWaveFile::NextChunk(uint64_t end, uint32_t size, uint64_t fileSize) {
    if ((size & 1) == 0) return end;
    // An odd-sized chunk is followed by a pad byte. Some writers leave it out;
    // take the unpadded position only when a chunk clearly starts there and not
    // one byte later.
    uint8_t p[9] = {};
    uint32_t got = end < fileSize ? CFile::Read(p, 9, end) : 0;
    bool atEnd = got >= 8 && LooksLikeChunkId(p);
    bool afterPad = got >= 9 && LooksLikeChunkId(p + 1);
    return atEnd && !afterPad ? end : end + 1;
}

int CWaveFile::ChunkFollows(uint64_t offset, uint64_t fileSize) {
    uint8_t head[8];
    if (offset + 8 > fileSize || CFile::Read(head, 8, offset) != 8) return 0;
    return LooksLikeChunkId(head) && Le32(head + 4) <= fileSize - offset - 8 ? 1 : 0;
}

uint64_t CWaveFile::DataEnd() const {
    const uint32_t align = m_Header.nBlockAlign;
    return m_Offset + (align ? m_Size / align * align : m_Size);
}

uint32_t CWaveFile::ReadData(void* buffer, uint32_t bytes, uint64_t position) {
    if (!m_bRead || !m_hFile) return CMediaFile::ReadData(buffer, bytes, position);
    if (!buffer) return 0;
    if (position != FILE_CURRENT_POSITION && !Seek(position)) return 0;
    // Whatever follows the samples (LIST, id3, a cut-off last frame) is not audio.
    const uint64_t pos = GetPosition();
    const uint64_t end = DataEnd();
    if (pos >= end) return 0;
    if (bytes > end - pos) bytes = static_cast<uint32_t>(end - pos);
    return CFile::Read(buffer, bytes);
}

void CWaveFile::SetBlock(uint32_t, uint32_t msec) {
    m_BlockMsec = msec;
    const uint64_t framesPerBlock = static_cast<uint64_t>(msec) * m_Header.nSamplesPerSec / 1000;
    const uint64_t blockBytes = framesPerBlock * m_Header.nBlockAlign;
    m_BlockBytes = blockBytes > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(blockBytes);
    if (framesPerBlock != 0)
        m_BlockCount = static_cast<uint32_t>((m_Frames + framesPerBlock - 1) / framesPerBlock);
}

void CWaveFile::Rewind() {
    m_BlockIndex[0] = m_BlockIndex[1] = 0;
    Seek(m_Offset);
}

void CWaveFile::SeekTime(uint32_t seconds) {
    // Only a file being read moves: a recording must keep appending at its end.
    if (!m_hFile || !m_bRead) return;
    const uint64_t position =
        static_cast<uint64_t>(m_Header.nBlockAlign) * seconds * m_Header.nSamplesPerSec + m_Offset;
    Seek(position);
    plat::Trace("adr = %d, m_Offset=%d, SamplesPerSec=%d\n", static_cast<int>(position),
                static_cast<int>(m_Offset), static_cast<int>(m_Header.nSamplesPerSec));
}

uint32_t CWaveFile::GetTime() {
    const uint64_t bytesPerSecond = static_cast<uint64_t>(m_Header.nBlockAlign) * m_Header.nSamplesPerSec;
    if (bytesPerSecond == 0) return 0;
    const uint64_t pos = GetPosition();
    if (pos < m_Offset) return 0;
    const uint64_t seconds = (pos - m_Offset) / bytesPerSecond;
    return seconds > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(seconds);
}

int CWaveFile::IsEnd() {
    const uint32_t align = m_Header.nBlockAlign;
    // A closed file has nothing more to give: a reader must stop.
    if (align == 0 || !m_hFile) return 1;
    const uint64_t pos = GetPosition();
    if (pos < m_Offset) return 0;
    return (pos - m_Offset) / align >= m_Size / align ? 1 : 0;
}
