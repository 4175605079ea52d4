// The audio engine, the facade the window and the tools use. It owns one
// capture and one render driver (from a driver factory) and three paths, each
// with the thread that runs it:
// - CCapturePath: the sound thread (block queue, conversion, gain, effect
//   chain, playback mix, record and monitor FIFOs);
// - CRecordPath: the record thread (record FIFO, record file, record state);
// - CPlayPath: the play thread (play file, the two playback rings).
// Their headers state which thread calls what and which lock guards what.
//
// Threads here: the user-interface thread calls every operation below and
// writes the public switches (EngineSwitches); the capture driver thread calls
// OnSoundIn (hands the block to the capture path; never waits); the render
// driver thread calls OnSoundOut (reads the monitor FIFO, or the monitor ring
// while only playing), which calls the listener's OnPlayData / OnPlayEnd.
//
// Lock order, over all paths: the play path's file lock may be held while a
// playback ring's lock is taken (the play thread fills the rings, PlayEnd
// clears them); nothing takes the play file lock while holding a ring lock.
// The record path's file lock may be held while the record FIFO's lock is
// taken (the record thread's last read at a stop), never the other way round.
// Every other engine lock (block queue, monitor FIFO, effect chain) is held
// alone; the trace sink's lock is a leaf that may be taken under any of them
// (a record-file trace under the record file lock).
#pragma once

#include "drivers/AudioTypes.h"
#include "drivers/CCaptureDriver.h"
#include "drivers/CRenderDriver.h"
#include "engine/AudioMessages.h"
#include "engine/CCapturePath.h"
#include "engine/CEventListener.h"
#include "engine/CPlayPath.h"
#include "engine/CRecordFileWriter.h"
#include "engine/CRecordPath.h"
#include "engine/EngineLinks.h"
#include "engine/EngineSwitches.h"

#include <atomic>
#include <cstdint>
#include <string>

class CAudioControl : public CSoundListener, public EngineSwitches {
  public:
    static constexpr uint32_t RING_BYTES = CRecordPath::FIFO_BYTES; // record FIFO and both playback rings
    static_assert(RING_BYTES == CPlayPath::RING_BYTES);
    static constexpr uint32_t MONITOR_FIFO_BYTES = CCapturePath::MONITOR_FIFO_BYTES;
    static constexpr uint32_t SOUND_QUEUE_SECONDS = CCapturePath::QUEUE_SECONDS;

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
    int OpenPlayFile(const std::string& path) { return m_Play.Open(path); }
    void PlayBegin(int delaySeconds, int startSeconds) { m_Play.Begin(delaySeconds, startSeconds); }
    void PlayEnd() { m_Play.End(); }

    // ---- CSoundListener (driver threads)
    int32_t OnSoundIn(const void* data, uint32_t bytes) override;
    uint32_t OnSoundOut(void* buffer, uint32_t bytes) override;

    // ---- state for the window and tests
    CCaptureDriver* GetCapture() const { return m_pCapture; }
    CRenderDriver* GetRender() const { return m_pRender; }
    // REC_STOP, REC_STOP_REQ, REC_RECORDING or REC_PAUSED.
    int32_t GetRecordState() const { return m_Record.GetState(); }
    bool IsRecording() const { return (m_Record.GetState() & REC_RECORDING) != 0; }
    bool HasPlayFile() const { return m_Play.HasFile(); }
    // Play position in whole seconds (of the play file as read ahead by the play thread).
    uint32_t GetPlayPosition() const { return m_Play.GetPosition(); }
    // Bytes of output silence (16-bit stereo) one second of delay lasts.
    uint32_t GetPlayBytesPerSecond() const { return m_Play.GetBytesPerSecond(); }
    uint64_t GetRecordedFrames() const { return m_Record.GetRecordedFrames(); }
    // The recorded time the window shows: what went into the file in this take
    // (the lead not counted), so a pause or a stopped write does not count.
    // Counted at the file's rate, which is the rate the capture really runs at
    // (a loopback source runs at its mix rate, whatever the setting says).
    uint32_t GetRecordedSeconds() const {
        const int32_t rate = m_Record.GetRate();
        return rate > 0 ? static_cast<uint32_t>(m_Record.GetRecordedFrames() / static_cast<uint32_t>(rate))
                        : 0;
    }
    // Record thread passes completed (tests wait for one to be sure data was written).
    uint64_t GetRecordPasses() const { return m_Record.GetPasses(); }
    uint32_t GetRecordFifoUsed() { return m_Record.GetFifoUsed(); }
    uint32_t GetMonitorFifoUsed() { return m_Capture.GetMonitorFifoUsed(); }
    uint32_t GetPlayRecordRingUsed() { return m_Play.GetRingUsed(CPlayPath::Ring::Record); }
    // The play thread has read the play file to its end (everything is in the rings).
    bool IsPlayFileAtEnd() const { return m_Play.IsAtEnd(); }
    // Queue slots filled by OnSoundIn and not yet done with by the sound thread.
    int64_t GetBlocksInFlight() const { return m_Capture.GetBlocksInFlight(); }
    // Captured blocks lost because the sound thread was too far behind, since
    // the capture was opened.
    uint64_t GetDroppedBlocks() const { return m_Capture.GetDroppedBlocks(); }
    // Ticks (plat::TickCount) of the last capture start and the last block the
    // capture driver delivered; written by the control and driver threads.
    uint32_t GetCaptureStartTick() const { return m_Capture.GetStartTick(); }
    uint32_t GetLastBlockTick() const { return m_Capture.GetLastBlockTick(); }
    // Slots of the sound-thread queue and the bytes each holds (set at CaptureOpen).
    uint32_t GetSoundQueueSlots() const { return m_Capture.GetQueueSlots(); }
    uint32_t GetSoundQueueSlotBytes() const { return m_Capture.GetQueueSlotBytes(); }
    uint32_t GetOverflowCount() const { return m_Capture.GetOverflowCount(); }
    int GetRecordParts() const { return m_Record.GetParts(); }
    const std::string& GetRecordPath() const { return m_Record.GetPath(); }

    // ---- test hooks
    // While held the record thread does not drain the record FIFO (a slow disk).
    void HoldRecordThreadForTest(bool hold) { m_Record.HoldForTest(hold); }
    // While held the sound thread sits on the block it took (a stalled chain).
    void HoldSoundThreadForTest(bool hold) { m_Capture.HoldForTest(hold); }
    CRecordFileWriter& RecordFileForTest() { return m_Record.FileForTest(); }
    // Wakes the record thread for an early pass.
    void WakeRecordThread() { m_Record.Wake(); }

  private:
    CDriverFactory* m_pFactory = nullptr;
    EngineLinks m_Links;
    CRenderDriver* m_pRender = nullptr;
    CCaptureDriver* m_pCapture = nullptr;
    CAppEventListener* m_pListener = nullptr;

    // The capture path uses the other two, so it is declared last and goes first.
    CPlayPath m_Play{*this, m_Links};
    CRecordPath m_Record;
    CCapturePath m_Capture{*this, m_Links, m_Play, m_Record};
};
