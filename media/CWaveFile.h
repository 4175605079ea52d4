// RIFF/WAVE files: the recorder's writer and the player's reader.
//
// Writing: CreateWave (56-byte header with zero sizes) -> WriteSamples ... ->
// Close (final sizes). WriteHeader may also be called between appends to bring
// the sizes on disk up to date; appends carry on at the end of the file.
//
// Reading: Open walks the chunk list, takes the first "fmt " and the "data"
// chunk, and refuses headers whose fields contradict each other. Only integer
// PCM (8/16/24/32-bit containers) and IEEE float (32/64-bit) are accepted; the
// extensible form is reported by its sub-format. ReadData never hands out bytes
// past the end of the sample data (trailing chunks are not audio).
//
// One thread uses an object at a time (the record thread, the play thread or
// the window's thread); there is no lock.
#pragma once

#include "media/CMediaFile.h"
#include "platform/AudioFormat.h"

#include <bit>
#include <cstdint>

static_assert(std::endian::native == std::endian::little, "the header is kept in its on-disk byte order");

#pragma pack(push, 1)
// The first 36 bytes of a WAV file: the RIFF header and a 16-byte "fmt " chunk.
struct WaveHeader {
    char riffId[4];
    uint32_t riffSize;
    char waveId[4];
    char fmtId[4];
    uint32_t fmtSize;
    uint16_t wFormatTag;
    uint16_t nChannels;
    uint32_t nSamplesPerSec;
    uint32_t nAvgBytesPerSec;
    uint16_t nBlockAlign;
    uint16_t wBitsPerSample;
};
#pragma pack(pop)
static_assert(sizeof(WaveHeader) == 36, "WaveHeader must match the file layout");

constexpr uint32_t WAVE_HEADER_BYTES = 56; // what CreateWave writes before the samples
constexpr uint16_t WAVE_FORMAT_EXTENSIBLE_TAG = 0xFFFE;

class CWaveFile : public CMediaFile {
  public:
    // Limits of what the reader accepts as a plausible format.
    static constexpr uint32_t kMaxChannels = 64;
    static constexpr uint32_t kMaxSamplesPerSec = 1000000;
    // Bound of the chunk walk on open (chunks looked at before giving up).
    static constexpr uint32_t kMaxChunks = 65536;

    CWaveFile() = default;
    ~CWaveFile() override;

    // The recorder's entry: 0 on success, -1 on failure (refused format, object
    // still open, empty name, failed create, first header not written), -2 when
    // `overwrite` is 0 and the file exists or cannot be made. Only integer PCM
    // (tag 1) with every size field non-zero is accepted; the fields are used as given.
    int CreateWave(const wchar_t* name, const WAVEFORMATEX& format, int overwrite);
    int CreateWave(const CString& name, const WAVEFORMATEX& format, int overwrite);
    // Writes the 56-byte header with the sizes of the data appended so far and
    // leaves the file pointer at the end, so it can be called at any time during
    // a recording. 1 when the whole header was written.
    int WriteHeader();

    void Close() override;
    int Create(const wchar_t* name, int overwrite) override;
    int Open(const wchar_t* name) override;
    int OpenRaw(const wchar_t* name) override;
    void Rewind() override;
    void SeekTime(uint32_t seconds) override;
    int WriteData(const void*, uint32_t) override { return 0; }
    int SetFormat(int kind, const MediaFormat* format) override;
    MediaFormat* GetFormat() override { return &m_Format; }
    int WriteSamples(const void* buffer, uint32_t bytes) override;
    uint32_t ReadData(void* buffer, uint32_t bytes, uint64_t position = FILE_CURRENT_POSITION) override;
    uint32_t GetTime() override;
    int IsEnd() override;
    void SetBlock(uint32_t bytes, uint32_t msec) override;
    int IsWaveFile() override { return 1; }

    // Sample frames: written through this object since CreateWave, or in the
    // file opened for reading.
    uint32_t GetFrames() const { return m_Frames; }
    // Format tag of the samples: 1 integer PCM, 3 IEEE float (the sub-format
    // for an extensible file).
    uint16_t GetFormatTag() const { return m_Header.wFormatTag; }
    uint16_t GetBlockAlign() const { return m_Header.nBlockAlign; }
    const WaveHeader& GetHeader() const { return m_Header; }
    // File offset of the first sample byte (reading).
    uint32_t GetDataOffset() const { return m_Offset; }

  private:
    int OpenWave(const wchar_t* name);
    // Reads the chunk list; fills m_Header, m_Offset and the data length. 0 when
    // the file is not a WAV file this reader can play.
    int ParseChunks(uint64_t fileSize, uint64_t* dataBytes);
    int ParseFmt(uint64_t offset, uint32_t size);
    // Where the chunk after one of `size` bytes ending at `end` starts.
    uint64_t NextChunk(uint64_t end, uint32_t size, uint64_t fileSize);
    // 1 when a plausible chunk header (id and a size that fits) starts at `offset`.
    int ChunkFollows(uint64_t offset, uint64_t fileSize);
    uint64_t DataEnd() const;

    WaveHeader m_Header{};
    uint32_t m_Offset = 0;
    uint32_t m_Frames = 0;
};
