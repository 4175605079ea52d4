// The audio engine. It owns one capture and one render driver (from a driver
// factory), three worker threads (sound, play, record), the FIFOs and rings
// between them, the record file and the play file.
//
// Threads and who touches what:
// - user-interface thread: every operation below and the public switches;
// - capture driver thread: OnSoundIn (copies the block and posts it; never waits);
// - render driver thread: OnSoundOut (reads the monitor FIFO or the monitor
//   ring), which calls the listener's OnPlayData / OnPlayEnd;
// - sound thread: converts, gains, runs the effect chain, mixes the playback
//   and fills the record and monitor FIFOs;
// - play thread: reads the play file into the two playback rings;
// - record thread: drains the record FIFO into the record file and feeds the
//   listener's OnRecordData.
// Each FIFO and ring has its own lock held inside one operation. The play file
// is touched by the play thread and the user-interface thread only, under
// m_PlayFileLock; the record file by the record thread and the user-interface
// thread, under m_RecordFileLock. Lock order: m_PlayFileLock may be held while
// a playback ring's lock is taken (the play thread fills m_PlayMonitorRing and
// m_PlayRecordRing, PlayEnd clears them); nothing takes m_PlayFileLock while
// holding a ring lock. Every other engine lock is held alone; the trace
// sink's lock is a leaf that may be taken under any of them (a record-file
// trace under m_RecordFileLock). Switches, gains and states are atomics
// written by one thread and read by others.
#pragma once

#include "drivers/AudioTypes.h"
#include "drivers/CCaptureDriver.h"
#include "drivers/CRenderDriver.h"
#include "engine/AudioMessages.h"
#include "engine/CEventListener.h"
#include "engine/CFIFO.h"
#include "engine/SoundRing.h"
#include "engine/CRecordFileWriter.h"
#include "engine/CSoundBlockQueue.h"
#include "engine/EngineLinks.h"
#include "engine/SampleOps.h"
#include "media/CMediaFile.h"
#include "platform/CEvent.h"
#include "platform/Thread.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

// Record states. "Recording" tests look at bit 16 only.
enum : int32_t { REC_STOP = 0, REC_STOP_REQ = 1, REC_RECORDING = 16, REC_PAUSED = 24 };

class CAudioControl : public CSoundListener {
  public:
    static constexpr uint32_t RING_BYTES = 480000; // record FIFO and both playback rings
    static constexpr uint32_t MONITOR_FIFO_BYTES = 5242880;
    static constexpr uint32_t WORK_BUFFER_BYTES = 1048576; // play and record thread buffers
    static constexpr uint32_t PLAY_CHUNK_BYTES = 224000;   // output bytes per play chunk
    static constexpr uint32_t RECORD_READ_BYTES = 524288;  // record FIFO bytes per record pass
    // Captured audio the sound thread may fall behind by before blocks are dropped.
    static constexpr uint32_t SOUND_QUEUE_SECONDS = 3;

    // The factory supplies the driver pair (not owned; must outlive the engine).
    explicit CAudioControl(CDriverFactory* factory = nullptr);
    ~CAudioControl() override;
    CAudioControl(const CAudioControl&) = delete;
    CAudioControl& operator=(const CAudioControl&) = delete;

    void SetDriverFactory(CDriverFactory* factory) { m_pFactory = factory; }
    // The program's settings and effect chain (not owned; null: the settings'
    // start-up values, no effect chain). Set them while nothing runs.
    void SetSettings(const CAppParameter* settings) { m_Links.SetSettings(settings); }
    void SetEffectChain(CEffectManager* chain) { m_Links.SetEffectChain(chain); }

    // ---- engine operations (user-interface thread)
    int Initialize(CAppEventListener* listener);
    void Shutdown();
    int CreateDriver(int type);
    int ChangeFormat(int frequency, int channelMode, int outChannels, int latency);
    int CaptureOpen();
    int CaptureStart();
    int CaptureStop();
    int CaptureClose();
    int MonitorOpen();
    int MonitorStart();
    void MonitorStop();
    void MonitorClose();

    // Recording. `path` is UTF-8.
    int RecordStart(const std::string& path);
    // 16 -> 24: later blocks are dropped until RecordStart resumes. 1 when paused.
    int RecordPause();
    int RecordStop();

    // Playback. `path` is UTF-8. OpenPlayFile only opens; PlayBegin starts the
    // play thread on it after `delaySeconds` of silence (negative: none) from
    // `startSeconds`; PlayEnd stops it and closes the file.
    int OpenPlayFile(const std::string& path);
    void PlayBegin(int delaySeconds, int startSeconds);
    void PlayEnd();

    // ---- CSoundListener (driver threads)
    int32_t OnSoundIn(const void* data, uint32_t bytes) override;
    uint32_t OnSoundOut(void* buffer, uint32_t bytes) override;

    // Mixes up to `bytes` bytes of `ring` into `in`, giving `out` (sound thread).
    uint32_t MixPlayback(int16_t* out, const int16_t* in, uint32_t bytes, SoundRing& ring);

    // ---- state for the window and tests
    CCaptureDriver* GetCapture() const { return m_pCapture; }
    CRenderDriver* GetRender() const { return m_pRender; }
    CAppEventListener* GetListener() const { return m_pListener; }
    bool HasPlayFile();
    // Play position in whole seconds (of the play file as read ahead by the play thread).
    uint32_t GetPlayPosition() const { return m_PlayPosition.load(); }
    // Bytes of output silence (16-bit stereo) one second of delay lasts.
    uint32_t GetPlayBytesPerSecond() const { return static_cast<uint32_t>(m_PlayFrequency.load()) * 4u; }
    uint64_t GetRecordedFrames() const { return m_RecordedFrames.load(); }
    // The recorded time the window shows: what went into the file in this take
    // (the lead not counted), so a pause or a stopped write does not count.
    // Counted at the file's rate, which is the rate the capture really runs at
    // (a loopback source runs at its mix rate, whatever the setting says).
    uint32_t GetRecordedSeconds() const {
        const int32_t rate = m_RecordRate.load();
        return rate > 0 ? static_cast<uint32_t>(m_RecordedFrames.load() / static_cast<uint32_t>(rate)) : 0;
    }
    // The rate the open capture device delivers (0 before one is opened).
    int32_t GetCaptureRate() const { return m_CaptureRate.load(); }
    // Record thread passes completed (tests wait for one to be sure data was written).
    uint64_t GetRecordPasses() const { return m_RecordPasses.load(); }
    uint32_t GetRecordFifoUsed() { return m_RecordFifo.GetUsed(); }
    uint32_t GetMonitorFifoUsed() { return m_MonitorFifo.GetUsed(); }
    uint32_t GetPlayRecordRingUsed() { return m_PlayRecordRing.GetUsed(); }
    uint32_t GetPlayMonitorRingUsed() { return m_PlayMonitorRing.GetUsed(); }
    // The play thread has read the play file to its end (everything is in the rings).
    bool IsPlayFileAtEnd() const { return m_PlayAtEnd.load(); }
    size_t GetPendingBlocks() const { return m_SoundBlocks.GetPending(); }
    // Queue slots filled by OnSoundIn and not yet done with by the sound thread.
    int64_t GetBlocksInFlight() const { return m_SoundBlocks.GetInFlight(); }
    // Captured blocks lost because the sound thread was too far behind, since
    // the capture was opened.
    uint64_t GetDroppedBlocks() const { return m_SoundBlocks.GetDropped(); }
    // Ticks (plat::TickCount) of the last capture start and the last block the
    // capture driver delivered; written by the control and driver threads.
    uint32_t GetCaptureStartTick() const { return m_CaptureStartTick.load(); }
    uint32_t GetLastBlockTick() const { return m_LastBlockTick.load(); }
    // Slots of the sound-thread queue and the bytes each holds (set at CaptureOpen).
    uint32_t GetSoundQueueSlots() const { return m_SoundBlocks.GetCapacity(); }
    uint32_t GetSoundQueueSlotBytes() const { return m_SoundBlocks.GetSlotBytes(); }
    uint32_t GetOverflowCount() const { return m_Overflows.load(); }
    int GetRecordParts() const { return m_RecordFile.GetPartCount(); }
    const std::string& GetRecordPath() const { return m_RecordFile.GetPath(); }

    // ---- test hooks
    // While held the record thread does not drain the record FIFO (a slow disk).
    void HoldRecordThreadForTest(bool hold) { m_HoldRecord = hold; }
    // While held the sound thread sits on the block it took (a stalled chain).
    void HoldSoundThreadForTest(bool hold) { m_HoldSound = hold; }
    CRecordFileWriter& RecordFileForTest() { return m_RecordFile; }
    // Wakes the record thread for an early pass.
    void WakeRecordThread() { m_RecordWake.Set(); }

    // ---- switches and fields the main window writes directly
    std::atomic<int32_t> m_bMonitor{1};
    std::atomic<int32_t> m_bVoiceCancel{0};
    std::atomic<int32_t> m_bEffect{0};
    std::atomic<int32_t> m_PlayGain{8};    // eighths, 1..16
    std::atomic<int32_t> m_CaptureGain{8}; // eighths, 1..80
    std::atomic<int32_t> m_bPlaying{0};
    std::atomic<int32_t> m_bPlayPaused{0};
    std::atomic<int32_t> m_PlayDelay{0};
    std::atomic<int64_t> m_PlayDelayBytes{0};
    std::atomic<int32_t> m_JumpPos{-1};
    std::atomic<int32_t> m_RecordState{REC_STOP};

    // Format; written by ChangeFormat on the user-interface thread.
    std::atomic<int32_t> m_DriverType{-1};
    std::atomic<int32_t> m_Frequency{48000};
    std::atomic<int32_t> m_ChannelMode{2};
    std::atomic<int32_t> m_OutChannels{2};
    std::atomic<int32_t> m_Latency{50};
    std::atomic<int32_t> m_PlayFrequency{0};
    std::atomic<int32_t> m_PlayChannels{2};

  private:
    bool IsLoopback() const { return m_pCapture && m_pCapture->IsLoopback(); }
    bool NoMonitorPath() const { return !m_pRender || IsLoopback(); }

    void SoundThread();
    void ProcessIncoming(uint8_t* block, uint32_t bytes);
    void ProcessBlock(int16_t* block, uint32_t bytes, int captureChannels, int captureRate);
    void WriteFifo(CFIFO& fifo, const void* data, uint32_t bytes);
    void WriteRecordFifo(const void* data, uint32_t bytes);

    void PlayThread();
    void ProducePlayChunk();

    void RecordThread();
    void RecordPass();
    void WriteRecord(const uint8_t* data, uint32_t bytes);
    void CloseRecordFile();

    CDriverFactory* m_pFactory = nullptr;
    EngineLinks m_Links;
    CRenderDriver* m_pRender = nullptr;
    CCaptureDriver* m_pCapture = nullptr;
    CAppEventListener* m_pListener = nullptr;

    // ---- threads
    std::atomic<int32_t> m_bPlayThreadRun{0};
    std::atomic<int32_t> m_bRecordThreadRun{0};
    CThread* m_hSoundThread = nullptr;
    CThread* m_hPlayThread = nullptr;
    CThread* m_hRecordThread = nullptr;
    std::atomic<int32_t> m_SoundThreadId{0}; // non-zero once the sound thread takes blocks
    CSoundBlockQueue m_SoundBlocks;
    CEvent m_SoundReady{true, false};
    CEvent m_PlayWake;
    CEvent m_RecordWake;
    std::atomic<bool> m_HoldRecord{false};
    std::atomic<bool> m_HoldSound{false};

    // ---- buffers between the threads
    CFIFO m_MonitorFifo;
    CFIFO m_RecordFifo;
    SoundRing m_PlayMonitorRing;
    SoundRing m_PlayRecordRing;
    std::unique_ptr<uint8_t[]> m_pPlayBuffer;   // play thread: raw file bytes, WORK_BUFFER_BYTES
    std::unique_ptr<uint8_t[]> m_pRecordBuffer; // record thread, WORK_BUFFER_BYTES

    // Sound thread scratch, kept between blocks.
    std::vector<int16_t> m_Convert, m_Doubled, m_Mixed, m_RecordDoubled, m_PlayTemp;
    // Play thread scratch.
    std::vector<int16_t> m_PlayChunk, m_PlayShaped;

    // ---- play file (play thread and UI thread, under m_PlayFileLock)
    std::mutex m_PlayFileLock;
    std::unique_ptr<CMediaFile> m_pPlayFile;
    sampleops::PcmLayout m_PlayLayout;
    std::atomic<bool> m_PlayFileOpen{false};
    std::atomic<bool> m_PlayAtEnd{false};
    std::atomic<uint32_t> m_PlayPosition{0};

    // ---- record file (record thread and UI thread, under m_RecordFileLock)
    std::mutex m_RecordFileLock;
    CRecordFileWriter m_RecordFile;
    std::atomic<uint64_t> m_RecordedFrames{0};
    std::atomic<int32_t> m_RecordRate{0};  // the record file's rate
    std::atomic<int32_t> m_CaptureRate{0}; // set by CaptureOpen
    std::atomic<uint64_t> m_RecordPasses{0};
    std::atomic<bool> m_WriteOnStop{true};

    std::atomic<uint32_t> m_Overflows{0};
    std::atomic<uint32_t> m_CaptureStartTick{0};
    std::atomic<uint32_t> m_LastBlockTick{0};
};
