// An audio file as the engine and the main window see it. By itself it treats
// the file as raw bytes with no format; CWaveFile and CMp3File give it meaning.
#pragma once

#include "media/CFile.h"

#include <cstddef>

// The record's layout is the one the format readers fill field by field; the
// unused words stay zero.
struct MediaFormat {
    uint32_t nKind; // 1 for audio, set by every successful open
    uint32_t unusedZero[8];
    uint32_t nSamplesPerSec;
    // 1 or 2 in files; the engine and the window also use 3 ("2ch, only L")
    // and 4 ("2ch, only R") in their own copies.
    uint32_t nChannels;
    uint32_t nBitsPerSample;
    uint64_t unusedZeroTail;
};
static_assert(sizeof(MediaFormat) == 56 && offsetof(MediaFormat, nSamplesPerSec) == 36 &&
              offsetof(MediaFormat, unusedZeroTail) == 48);

class CMediaFile : public CFile {
  public:
    CMediaFile() = default;
    ~CMediaFile() override;

    // 0 on success, 1 on failure.
    virtual int Create(const wchar_t* name, int overwrite);
    // 1 on success, 0 on failure.
    virtual int Open(const wchar_t* name);
    virtual int OpenRaw(const wchar_t* name);
    virtual void Rewind();
    virtual void SeekTime(uint32_t seconds) { (void)seconds; }
    virtual int WriteData(const void* buffer, uint32_t bytes);
    virtual int SetFormat(int kind, const MediaFormat* format) {
        (void)kind;
        (void)format;
        return 1;
    }
    virtual MediaFormat* GetFormat() { return nullptr; }
    virtual int WriteSamples(const void* buffer, uint32_t bytes) { return WriteData(buffer, bytes); }
    virtual uint32_t ReadNextBlock(void* buffer, uint32_t bytes);
    virtual uint32_t ReadData(void* buffer, uint32_t bytes, uint64_t position = FILE_CURRENT_POSITION) {
        return CFile::Read(buffer, bytes, position);
    }
    virtual uint32_t GetTime() { return 0; }
    virtual int IsEnd();
    virtual void SetBlock(uint32_t bytes, uint32_t msec);
    virtual int IsWaveFile() { return 0; }
    virtual uint32_t GetBlockCount() { return m_BlockCount; }

  protected:
    uint32_t ReadBlockWith(int counter, void* buffer, uint32_t bytes);

    uint32_t m_BlockBytes = 0;
    uint32_t m_BlockMsec = 0;
    uint32_t m_BlockCount = 0;
    uint32_t m_BlockIndex[2] = {0, 0};
    MediaFormat m_Format{};
};
