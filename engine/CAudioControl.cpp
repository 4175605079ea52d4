// CAudioControl: lifecycle, drivers, capture and monitor, and the sound thread.
// Recording is in CAudioControlRecord.cpp, playback in CAudioControlPlay.cpp.
#include "engine/CAudioControl.h"

#include "engine/EngineLinks.h"
#include "platform/Platform.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <utility>

CAudioControl::CAudioControl(CDriverFactory* factory) : m_pFactory(factory) {}

// Drivers whose worker thread was given up inside a call that never returned.
// That thread may still touch its driver, so the driver is never deleted; the
// list keeps it reachable (a deliberate leak, not a lost pointer).
static std::vector<const void*>* g_pLeakedDrivers = nullptr;
static std::mutex g_LeakedDriversLock;

template <class Driver> static void DeleteDriver(Driver*& slot, const char* what) {
    Driver* driver = std::exchange(slot, nullptr);
    if (!driver) return;
    driver->Terminate();
    if (driver->HasAbandonedThread()) {
        plat::Trace("[CAudioControl] %s driver leaked: its thread did not end\n", what);
        std::lock_guard<std::mutex> lock(g_LeakedDriversLock);
        if (!g_pLeakedDrivers) g_pLeakedDrivers = new std::vector<const void*>;
        g_pLeakedDrivers->push_back(driver);
        return;
    }
    delete driver;
}

CAudioControl::~CAudioControl() {
    Shutdown();
    {
        std::lock_guard<std::mutex> lock(m_PlayFileLock);
        m_pPlayFile.reset();
    }
    {
        std::lock_guard<std::mutex> lock(m_RecordFileLock);
        m_RecordFile.Close();
    }
    // The engine owns its drivers: terminate them before they go.
    DeleteDriver(m_pCapture, "capture");
    DeleteDriver(m_pRender, "render");
    m_MonitorFifo.Release();
    m_RecordFifo.Release();
    m_PlayMonitorRing.Free();
    m_PlayRecordRing.Free();
}

int CAudioControl::Initialize(CAppEventListener* listener) {
    CreateDriver(std::clamp(m_Links.DriverType(), 0, 2));

    bool ok = (m_PlayMonitorRing.m_pBuffer || m_PlayMonitorRing.Allocate(RING_BYTES)) &&
              (m_PlayRecordRing.m_pBuffer || m_PlayRecordRing.Allocate(RING_BYTES)) &&
              m_RecordFifo.Create(RING_BYTES);
    if (ok && !m_pPlayBuffer) m_pPlayBuffer.reset(new (std::nothrow) uint8_t[WORK_BUFFER_BYTES]);
    if (ok && !m_pRecordBuffer) m_pRecordBuffer.reset(new (std::nothrow) uint8_t[WORK_BUFFER_BYTES]);
    ok = ok && m_pPlayBuffer && m_pRecordBuffer;
    if (ok) {
        try {
            m_PlayChunk.assign(PLAY_CHUNK_BYTES / 2, 0);
            m_PlayShaped.assign(PLAY_CHUNK_BYTES / 2, 0);
        } catch (const std::bad_alloc&) {
            ok = false;
        }
    }
    if (!ok) {
        plat::Trace("[CAudioControl] Initialize: out of memory\n");
        return 0;
    }

    m_pListener = listener;
    m_bPlayThreadRun = 1;
    m_bRecordThreadRun = 1;
    if (!m_hSoundThread) {
        m_SoundBlocks.Restart();
        m_SoundReady.Reset();
        m_hSoundThread = new CThread([this] { SoundThread(); });
        // Blocks that arrive before the sound thread takes them are dropped:
        // make sure it does before any capture can start.
        m_SoundReady.Wait(-1);
    }
    if (!m_hPlayThread) m_hPlayThread = new CThread([this] { PlayThread(); });
    if (!m_hRecordThread) m_hRecordThread = new CThread([this] { RecordThread(); });
    return 1;
}

// The sample layout of a capture format, false when the engine cannot convert it.
// An extensible record (cbSize >= 22) names its real type in the first field of
// SubFormat, 6 bytes past the base record: 1 integer PCM, 3 IEEE float.
static bool CaptureLayout(const WAVEFORMATEX* f, sampleops::PcmLayout& layout) {
    int tag = f->wFormatTag;
    if (tag == 0xFFFE) {
        if (f->cbSize < 22) return false;
        uint32_t data1;
        std::memcpy(&data1, reinterpret_cast<const uint8_t*>(f) + sizeof(WAVEFORMATEX) + 6, 4);
        tag = static_cast<int>(data1);
    }
    layout.tag = tag;
    layout.bits = f->wBitsPerSample;
    layout.channels = f->nChannels ? f->nChannels : 1;
    if (tag == 3 && layout.bits == 64) return false; // no capture device delivers doubles
    return layout.IsSupported() && f->nBlockAlign == layout.BytesPerFrame();
}

// Takes the thread out of its slot and joins it. Every engine thread ends
// promptly once told to (they wait on events or the message queue, never on
// the user-interface thread), so joining cannot hang and nothing is abandoned.
static void JoinThread(CThread*& slot) {
    CThread* thread = std::atomic_ref<CThread*>(slot).exchange(nullptr);
    delete thread;
}

void CAudioControl::Shutdown() {
    m_bPlayThreadRun = 0;
    m_bRecordThreadRun = 0;
    m_SoundThreadId = 0;
    m_SoundBlocks.Quit();
    m_PlayWake.Set();
    m_RecordWake.Set();

    // The record thread first: a stop it has been asked for is finished by it.
    JoinThread(m_hRecordThread);
    JoinThread(m_hSoundThread);
    JoinThread(m_hPlayThread);

    CaptureClose();
    m_SoundBlocks.Discard();

    m_pPlayBuffer.reset();
    m_pRecordBuffer.reset();
    m_PlayMonitorRing.Free();
    m_PlayRecordRing.Free();
    m_RecordFifo.Release();

    if (m_pRender) m_pRender->Terminate();
}

int CAudioControl::CreateDriver(int type) {
    if (type != m_DriverType || (!m_pCapture && !m_pRender)) {
        DeleteDriver(m_pCapture, "capture");
        DeleteDriver(m_pRender, "render");
        if (type == 1)
            plat::Trace("[CAudioControl] Create MME driver\n");
        else
            plat::Trace("[CAudioControl] Create WASAPI driver\n");
        if (m_pFactory) {
            m_pRender = m_pFactory->CreateRender(type);
            m_pCapture = m_pFactory->CreateCapture(type);
        }
        m_DriverType = type;
        if (m_pCapture) m_pCapture->Init(this);
        if (m_pRender) m_pRender->Init(this);
    }
    const EngineLinks::DeviceSelection devices = m_Links.Devices();
    // Device names are limited as the settings dialog's buffers are.
    auto limit = [](std::wstring s) {
        if (s.size() > 255) s.resize(255);
        return s;
    };
    if (m_pCapture) {
        std::wstring name = limit(devices.captureName), id = limit(devices.captureId);
        m_pCapture->SelectDevice(m_pCapture->FindDevice(name.c_str(), id.c_str(), devices.loopback));
    }
    if (m_pRender) {
        std::wstring name = limit(devices.monitorName), id = limit(devices.monitorId);
        m_pRender->SelectDevice(m_pRender->FindDevice(name.c_str(), id.c_str()));
    }
    return 1;
}

int CAudioControl::ChangeFormat(int frequency, int channelMode, int outChannels, int latency) {
    // The callers clamp; a value outside these ranges (such as the 0 Hz of an
    // unreadable play file) is refused before anything is closed.
    if (frequency < 8000 || frequency > 96000 || channelMode < 1 || channelMode > 4 || outChannels < 1 ||
        outChannels > 2 || latency < 5 || latency > 500) {
        plat::Trace("[CAudioControl] ChangeFormat refused (%d, %d, %d, %d)\n", frequency, channelMode,
                    outChannels, latency);
        return 0;
    }
    if (frequency == m_Frequency && channelMode == m_ChannelMode && outChannels == m_OutChannels &&
        latency == m_Latency)
        return 1;
    auto store = [&] {
        m_Frequency = frequency;
        m_ChannelMode = channelMode;
        m_OutChannels = outChannels;
        m_Latency = latency;
    };
    plat::Trace("[CAudioControl] MonitorClose()\n");
    if (m_pRender) {
        if (IsLoopback()) {
            CaptureClose();
            store();
            return 1;
        }
        m_pRender->Close();
        m_MonitorFifo.Release();
        plat::Trace("[CAudioControl] close render\n");
    }
    CaptureClose();
    store();
    return 1;
}

int CAudioControl::CaptureOpen() {
    if (m_Links.BoostOn()) {
        int level = std::max(m_Links.BoostLevel(), 0);
        m_CaptureGain = static_cast<int32_t>(std::clamp<int64_t>(8LL * level, 1, 80));
    } else {
        m_CaptureGain = 8;
    }
    plat::Trace("[CAudioControl] Captire Gain = %d\n", m_CaptureGain.load());
    plat::Trace("[CAudioControl] CaptureOpen()\n");
    if (!m_pCapture) {
        plat::Trace("[CAudioControl] not create capture device\n");
        return 0;
    }
    if (!m_pCapture->Open(m_ChannelMode == 1 ? 1 : 2, m_Frequency, 16, m_Latency)) {
        plat::Trace("[CAudioControl] capture device open error\n");
        return 0;
    }
    sampleops::PcmLayout layout;
    if (const WAVEFORMATEX* f = m_pCapture->GetFormat(); !f || !CaptureLayout(f, layout)) {
        // Data we cannot convert would be recorded as noise: refuse the device.
        plat::Trace("[CAudioControl] capture format not supported (tag=%d, bits=%d)\n",
                    f ? f->wFormatTag : -1, f ? f->wBitsPerSample : -1);
        m_pCapture->Close();
        return 0;
    }
    // The sound-thread queue holds a few seconds at the format the device
    // really delivers; slots are whole, even-sized frames so a block split over
    // several slots still converts slot by slot.
    {
        const WAVEFORMATEX* f = m_pCapture->GetFormat();
        const uint32_t frame = f->nBlockAlign * 2u;
        const uint32_t perSecond = f->nSamplesPerSec * f->nBlockAlign;
        uint32_t slotBytes = std::max(m_pCapture->GetBlockSize(), perSecond / 100);
        slotBytes = std::max((slotBytes + frame - 1) / frame * frame, frame);
        const uint32_t slots = std::max<uint32_t>(
            4,
            static_cast<uint32_t>((uint64_t{SOUND_QUEUE_SECONDS} * perSecond + slotBytes - 1) / slotBytes));
        if (!m_SoundBlocks.Configure(slotBytes, slots)) {
            plat::Trace("[CAudioControl] CaptureOpen: out of memory\n");
            m_pCapture->Close();
            return 0;
        }
    }
    m_CaptureRate = static_cast<int32_t>(m_pCapture->GetFormat()->nSamplesPerSec);
    if (m_CaptureRate != m_Frequency)
        plat::Trace("[CAudioControl] capture runs at %d Hz, not %d Hz\n", m_CaptureRate.load(),
                    m_Frequency.load());
    plat::Trace("[CAudioControl] open capture\n");
    m_RecordState = REC_STOP;
    return 1;
}

int CAudioControl::MonitorOpen() {
    plat::Trace("[CAudioControl] MonitorOpen()\n");
    if (NoMonitorPath()) {
        plat::Trace("[CAudioControl] not avarable audio monitor\n");
        return 1;
    }
    if (m_pRender->IsOpen()) {
        plat::Trace("[CAudioControl] already monitor open\n");
        return 1;
    }
    if (!m_pRender->Open(2, m_Frequency, 16, m_Latency)) {
        plat::Trace("[CAudioControl] render device open error\n");
        return 0;
    }
    if (!m_MonitorFifo.Create(MONITOR_FIFO_BYTES)) {
        m_pRender->Close();
        m_MonitorFifo.Release();
        plat::Trace("[CAudioControl] close render\n");
        return 0;
    }
    plat::Trace("[CAudioControl] open render\n");
    return 1;
}

int CAudioControl::CaptureStart() {
    plat::Trace("[CAudioControl] CaptureStart()\n");
    if (!m_pCapture) {
        plat::Trace("[CAudioControl] not create capture device\n");
        return 0;
    }
    m_CaptureStartTick = plat::TickCount();
    if (!m_pCapture->Start()) return 0;
    plat::Trace("[CAudioControl] start capture\n");
    return 1;
}

int CAudioControl::MonitorStart() {
    plat::Trace("[CAudioControl] MonitorStart()\n");
    if (!NoMonitorPath()) {
        if (!m_pRender->IsStarted() && !m_pRender->Start()) return 0;
    } else {
        plat::Trace("[CAudioControl] not start audio monitor\n");
    }
    return 1;
}

void CAudioControl::MonitorStop() {
    plat::Trace("[CAudioControl] MonitorStop()\n");
    if (NoMonitorPath()) return;
    if (m_pRender->Stop()) {
        m_PlayMonitorRing.Clear();
        m_PlayRecordRing.Clear();
        plat::Trace("Clear monitor buffer\n");
    }
}

void CAudioControl::MonitorClose() {
    plat::Trace("[CAudioControl] MonitorClose()\n");
    if (NoMonitorPath()) return;
    m_pRender->Close();
    m_MonitorFifo.Release();
    plat::Trace("[CAudioControl] close render\n");
}

int CAudioControl::CaptureStop() {
    plat::Trace("[CAudioControl] CaptureStop()\n");
    if (!m_pCapture) {
        plat::Trace("[CAudioControl] not create capture device\n");
        return 0;
    }
    if (m_RecordState & REC_RECORDING) RecordStop();
    if (m_pCapture->Stop()) {
        plat::Trace("[CAudioControl] stop capture\n");
        return 1;
    }
    plat::Trace("[CAudioControl] capture device stop error\n");
    return 0;
}

int CAudioControl::CaptureClose() {
    plat::Trace("[CAudioControl] CaptureClose()\n");
    if (!m_pCapture) {
        plat::Trace("[CAudioControl] not create capture device\n");
        return 0;
    }
    CaptureStop();
    m_pCapture->Close();
    m_RecordFifo.Flush();
    // Once per capture session, so a long run can be judged from its debug lines.
    plat::Trace("[CAudioControl] close capture: blocks dropped %llu, FIFO overflows (record or monitor) %u\n",
                static_cast<unsigned long long>(GetDroppedBlocks()), GetOverflowCount());
    return 1;
}

// ================================================================ capture driver thread

int32_t CAudioControl::OnSoundIn(const void* data, uint32_t bytes) {
    if (!m_SoundThreadId.load(std::memory_order_acquire) || !data || bytes == 0)
        return static_cast<int32_t>(bytes);
    m_LastBlockTick.store(plat::TickCount(), std::memory_order_relaxed);
    // A full queue drops the block and counts it: the capture thread never waits.
    m_SoundBlocks.Push(data, bytes);
    return static_cast<int32_t>(bytes);
}

// ================================================================ render driver thread

uint32_t CAudioControl::OnSoundOut(void* buffer, uint32_t bytes) {
    if (!buffer) return 0;
    std::memset(buffer, 0, bytes);
    bool read = false;
    uint32_t got = 0;
    if (m_pCapture && m_pCapture->IsStarted()) {
        got = m_MonitorFifo.Read(buffer, bytes);
        read = true;
    } else if (m_bPlaying && !m_bPlayPaused) {
        // The end flag first: it is set after the last chunk went into the ring.
        bool atEnd = m_PlayAtEnd.load();
        if (m_PlayMonitorRing.GetUsed() == 0) {
            if (atEnd && m_pListener) m_pListener->OnPlayEnd();
        } else {
            got = m_PlayMonitorRing.Read(buffer, bytes);
            read = true;
        }
    }
    if (read && got == 0) plat::Trace("OnSoundOut() len = 0\n");
    if (m_pListener) m_pListener->OnPlayData(buffer, bytes);
    return bytes;
}

// ================================================================ sound thread

void CAudioControl::SoundThread() {
    m_SoundThreadId.store(1, std::memory_order_release);
    m_SoundReady.Set();
    CSoundBlockQueue::Block block;
    for (;;) {
        if (!m_SoundBlocks.Take(block)) break; // Shutdown, and nothing queued
        while (m_HoldSound.load() && m_SoundThreadId.load())
            plat::SleepMs(1);
        ProcessIncoming(block.data, block.bytes);
        m_SoundBlocks.Release();
    }
}

void CAudioControl::ProcessIncoming(uint8_t* block, uint32_t bytes) {
    if (!m_pCapture) return;
    const WAVEFORMATEX* format = m_pCapture->GetFormat();
    const int channels = format->nChannels ? format->nChannels : 1;
    const int gain = m_CaptureGain;
    int16_t* samples;
    uint32_t sampleBytes;
    sampleops::PcmLayout layout;
    if (!CaptureLayout(format, layout)) return; // refused at open; never recorded as noise
    if (layout.tag == 1 && layout.bits == 16) {
        samples = reinterpret_cast<int16_t*>(block); // slots start at even offsets
        sampleBytes = bytes & ~1u;
        sampleops::ApplyGain(samples, sampleBytes / 2, gain);
    } else {
        const size_t count = bytes / static_cast<size_t>((layout.bits + 7) / 8);
        if (m_Convert.size() < count) m_Convert.resize(count);
        sampleBytes = static_cast<uint32_t>(
            sampleops::CaptureToInt16(block, bytes, layout, m_Convert.data(), gain) * 2);
        samples = m_Convert.data();
    }

    if (NoMonitorPath()) {
        // Silence is not recorded when nothing is being monitored (a loopback
        // source delivers zeros while nothing plays).
        bool silent = true;
        for (uint32_t i = 0; i < sampleBytes / 2 && silent; ++i)
            silent = samples[i] == 0;
        if (silent) return;
    }
    if (channels == 2) sampleops::ApplyChannelMode(samples, sampleBytes / 4, m_ChannelMode);
    ProcessBlock(samples, sampleBytes, channels, static_cast<int>(format->nSamplesPerSec));
}

void CAudioControl::WriteFifo(CFIFO& fifo, const void* data, uint32_t bytes) {
    if (fifo.Write(data, bytes)) return;
    if (!fifo.GetSize()) return;
    // The reader fell behind by a whole FIFO: drop what it holds and go on with
    // the newest data.
    ++m_Overflows;
    fifo.Flush();
    fifo.Write(data, bytes);
}

void CAudioControl::WriteRecordFifo(const void* data, uint32_t bytes) {
    WriteFifo(m_RecordFifo, data, bytes);
    // Wake the record thread early when data piles up, instead of letting the
    // FIFO run towards an overflow until its next 200 ms pass.
    if (m_RecordFifo.GetUsed() > RING_BYTES / 4) m_RecordWake.Set();
}

void CAudioControl::ProcessBlock(int16_t* block, uint32_t bytes, int captureChannels, int captureRate) {
    const uint32_t count = bytes / 2;
    if (m_bEffect) {
        if (!m_Links.RunEffectChain(block, static_cast<int32_t>(count), captureChannels, captureRate))
            std::memset(block, 0, bytes);
    }

    // A mono capture recorded as stereo is doubled here, renderer or not, so the
    // file always receives the frames its header promises.
    const bool recordStereo = captureChannels == 1 && m_Links.RecFileChannel() == 1;
    const int16_t* doubled = nullptr;
    if (captureChannels == 1) {
        if (m_Doubled.size() < count * 2) m_Doubled.resize(count * 2);
        sampleops::MonoToStereo(block, m_Doubled.data(), count);
        doubled = m_Doubled.data();
    }
    const int16_t* recordBlock = recordStereo ? doubled : block;
    const uint32_t recordBytes = recordStereo ? bytes * 2 : bytes;

    if (NoMonitorPath()) {
        WriteRecordFifo(recordBlock, recordBytes);
        return;
    }

    // The monitor always opens two channels; a renderer that is not open yet
    // counts as the stereo one it will be.
    const int renderChannels = m_pRender->IsOpen() ? m_pRender->GetFormat()->nChannels : 2;
    const int16_t* monitorBlock;
    uint32_t monitorBytes;
    if (renderChannels == captureChannels) {
        monitorBlock = block;
        monitorBytes = bytes;
    } else if (renderChannels == 2 && captureChannels == 1) {
        monitorBlock = doubled;
        monitorBytes = bytes * 2;
    } else {
        return;
    }

    const uint32_t largest = std::max(recordBytes, monitorBytes) / 2;
    if (m_Mixed.size() < largest) m_Mixed.resize(largest);
    MixPlayback(m_Mixed.data(), recordBlock, recordBytes, m_PlayRecordRing);
    WriteRecordFifo(m_Mixed.data(), recordBytes);

    if (m_bMonitor) {
        MixPlayback(m_Mixed.data(), monitorBlock, monitorBytes, m_PlayMonitorRing);
        WriteFifo(m_MonitorFifo, m_Mixed.data(), monitorBytes);
    } else {
        if (m_MonitorFifo.GetUsed() != 0) m_MonitorFifo.Flush();
        // The monitor ring paces the play thread: with the monitor switched off
        // it is still drained at the capture's pace, so the play file goes on
        // into the recording instead of stalling after two chunks.
        if (m_bPlaying && !m_bPlayPaused) {
            if (m_PlayTemp.size() < monitorBytes / 2) m_PlayTemp.resize(monitorBytes / 2);
            m_PlayMonitorRing.Read(m_PlayTemp.data(), monitorBytes);
        }
    }
}

uint32_t CAudioControl::MixPlayback(int16_t* out, const int16_t* in, uint32_t bytes, SoundRing& ring) {
    if (!m_bPlaying) {
        if (out != in) std::memmove(out, in, bytes);
        return bytes;
    }
    const uint32_t count = bytes / 2;
    if (m_PlayTemp.size() < count) m_PlayTemp.resize(count);
    std::memset(m_PlayTemp.data(), 0, count * 2);
    if (!m_bPlayPaused) {
        bool atEnd = m_PlayAtEnd.load();
        if (ring.GetUsed() == 0) {
            if (atEnd && m_pListener) m_pListener->OnPlayEnd();
        } else {
            ring.Read(m_PlayTemp.data(), count * 2);
        }
    }
    sampleops::Mix(in, m_PlayTemp.data(), out, count);
    return bytes;
}
