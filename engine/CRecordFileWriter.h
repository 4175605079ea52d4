// The record file as the recorder writes it: a 16-bit PCM WAV file (CWaveFile)
// whose header is kept current while the take runs, split into numbered parts
// before a part's data would pass the 32-bit size fields, and closed cleanly
// when a write fails.
//
// Threads: created and closed on the user-interface thread, written by the
// record thread; the engine serialises every call with its record-file lock.
#pragma once

#include "drivers/AudioTypes.h"
#include "media/CWaveFile.h"

#include <cstdint>
#include <string>

class CRecordFileWriter {
  public:
    // The largest data size of one part: the RIFF size field (48 + data) must
    // stay within 32 bits.
    static constexpr uint64_t MAX_PART_DATA_BYTES = 0xFFFFFFFFull - 48;
    // Sizes in the header are rewritten at least this often while recording,
    // counted in wall-clock time and in audio time (whichever comes first).
    static constexpr uint32_t HEADER_REFRESH_MS = 10000;

    CRecordFileWriter();
    ~CRecordFileWriter();
    CRecordFileWriter(const CRecordFileWriter&) = delete;
    CRecordFileWriter& operator=(const CRecordFileWriter&) = delete;

    // Creates (or overwrites) `path` (UTF-8) with `format`. The CWaveFile result:
    // 0 on success, -1 or -2 on failure.
    int Create(const std::string& path, const WAVEFORMATEX& format);
    // Appends whole frames, moving on to the next part at the size limit.
    // 1 on success; 0 when a write failed: the file is then closed with a header
    // describing what was saved (see GetFailedPath).
    int Write(const void* data, uint32_t bytes);
    // Rewrites the header's sizes when the last refresh is HEADER_REFRESH_MS old
    // (wall clock or audio). 0 when the rewrite failed (the file is then closed).
    int RefreshHeaderIfDue();
    // Writes the final header and closes the current part (nothing when closed).
    void Close();

    bool IsOpen() const { return m_pFile->IsOpen(); }
    // Frames written in this take, over all parts (the 0.5 s lead included).
    uint64_t GetTakeFrames() const { return m_TakeFrames; }
    // Frames of the current (or last) part.
    uint64_t GetPartFrames() const;
    uint32_t GetBlockAlign() const { return m_Format.nBlockAlign ? m_Format.nBlockAlign : 1; }
    int GetPartCount() const { return m_Part; }
    const std::string& GetPath() const { return m_PartPath; }
    const std::string& GetFailedPath() const { return m_FailedPath; }

    // ---- test hooks
    // Lowers the per-part data limit (rounded down to whole frames).
    void SetPartLimitForTest(uint64_t bytes) { m_PartLimit = bytes; }
    // Writes through another CWaveFile object (not owned), e.g. one made to fail.
    void SetFileForTest(CWaveFile* file) { m_pFile = file ? file : &m_OwnFile; }

  private:
    int OpenNextPart();
    int WriteHeaderSizes();
    void Fail();

    CWaveFile m_OwnFile;
    CWaveFile* m_pFile;
    WAVEFORMATEX m_Format{};
    std::string m_BasePath;
    std::string m_PartPath;
    std::string m_FailedPath;
    int m_Part = 0;
    uint64_t m_PartLimit = MAX_PART_DATA_BYTES;
    uint64_t m_PartBytes = 0;
    uint64_t m_TakeFrames = 0;
    uint64_t m_BytesAtRefresh = 0;
    uint32_t m_TickAtRefresh = 0;
};
