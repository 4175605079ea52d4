// An MPEG audio Layer III file opened for playback: finds the first audio
// frame, walks every frame once to learn the length and where each frame
// starts, and hands out decoded 16-bit PCM through ReadData. Reading only;
// the writing operations do nothing. One thread uses an object at a time.
#pragma once

#include "media/CMediaFile.h"
#include "media/Mp3Decode.h"
#include "media/Mp3Header.h"

#include <memory>
#include <vector>

class CMp3File : public CMediaFile {
  public:
    CMp3File();
    ~CMp3File() override;

    void Close() override;
    // 1 when an MPEG Layer III frame run is found, else 0.
    int Open(const wchar_t* name) override;
    void Rewind() override;
    void SeekTime(uint32_t seconds) override;
    int WriteData(const void*, uint32_t) override { return 0; }
    int SetFormat(int kind, const MediaFormat* format) override { return kind == 0 && format ? 1 : 0; }
    MediaFormat* GetFormat() override { return &m_Format; }
    int WriteSamples(const void*, uint32_t) override { return 1; }
    // Decoded PCM: two interleaved channels (left first), or one for a
    // single-channel file. A `position` other than all ones is a byte offset
    // into the audio; reading restarts at the frame holding it.
    uint32_t ReadData(void* buffer, uint32_t bytes, uint64_t position = FILE_CURRENT_POSITION) override;
    // Whole seconds of the frames before the file pointer.
    uint32_t GetTime() override;
    // 1 once every frame has been decoded and handed out (or the pointer is
    // past the last frame with nothing left in the decoder).
    int IsEnd() override;

    uint32_t GetFirstFrame() const { return m_FirstFrame; }
    uint32_t GetFrameCount() const { return m_FrameCount; }
    uint32_t GetSamplesPerFrame() const { return m_SamplesPerFrame; }
    uint32_t GetTotalSamples() const { return m_TotalSamples; }
    uint32_t GetLastFrame() const { return m_LastFrame; }
    // 1 when the file began with an encoder's Xing/Info/VBRI frame (not played).
    int HasTagFrame() const { return m_bTagFrame; }

  private:
    int FindFirstFrame(uint64_t* found, Mp3FrameInfo* info);
    int ScanFrames();
    int NewDecoder();
    void SeekToFrame(uint32_t index);

    uint32_t m_FirstFrame;
    uint32_t m_FrameSize = 0;
    uint32_t m_FrameCount = 0;
    uint32_t m_SamplesPerFrame;
    uint32_t m_TotalSamples = 0;
    uint32_t m_LastFrame;
    Mp3FrameInfo m_FrameInfo{};
    std::unique_ptr<Mp3DecoderState> m_pDecoder;
    std::unique_ptr<uint8_t[]> m_pInput;

    std::vector<uint32_t> m_FrameOffsets; // file offset of every audio frame
    uint64_t m_AudioEnd = 0;              // end of the last frame
    int m_bTagFrame = 0;
    int m_bTwoChannels = 0; // some frame has two channels
    int m_bInputDone = 0;   // the file has been read to its end
    int m_bDrained = 0;     // ... and the decoder has handed out all it could
};
