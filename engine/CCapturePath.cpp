// The capture path: the block queue and the sound thread.
#include "engine/CCapturePath.h"

#include "engine/CPlayPath.h"
#include "engine/CRecordPath.h"
#include "engine/SampleOps.h"
#include "platform/Platform.h"

#include <algorithm>
#include <cstring>

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

CCapturePath::~CCapturePath() {
    Join();
    m_MonitorFifo.Release();
}

void CCapturePath::StartThread() {
    if (m_hThread) return;
    m_Blocks.Restart();
    m_Ready.Reset();
    m_hThread = new CThread([this] { Thread(); });
    // Blocks that arrive before the sound thread takes them are dropped:
    // make sure it does before any capture can start.
    m_Ready.Wait(-1);
}

void CCapturePath::RequestStop() {
    m_Accepting = 0;
    m_Blocks.Quit();
}

// The sound thread ends once the queue is told to quit and is empty, so
// joining cannot hang.
void CCapturePath::Join() {
    RequestStop();
    delete std::atomic_ref<CThread*>(m_hThread).exchange(nullptr);
}

bool CCapturePath::Open() {
    if (m_Links.BoostOn()) {
        int level = std::max(m_Links.BoostLevel(), 0);
        m_Gain = static_cast<int32_t>(std::clamp<int64_t>(8LL * level, 1, 80));
    } else {
        m_Gain = 8;
    }
    plat::Trace("[CAudioControl] Captire Gain = %d\n", m_Gain.load());
    plat::Trace("[CAudioControl] CaptureOpen()\n");
    CCaptureDriver* capture = m_pCapture;
    if (!capture) {
        plat::Trace("[CAudioControl] not create capture device\n");
        return false;
    }
    if (!capture->Open(m_Switches.m_ChannelMode == 1 ? 1 : 2, m_Switches.m_Frequency, 16,
                       m_Switches.m_Latency)) {
        plat::Trace("[CAudioControl] capture device open error\n");
        return false;
    }
    sampleops::PcmLayout layout;
    const WAVEFORMATEX* f = capture->GetFormat();
    if (!f || !CaptureLayout(f, layout)) {
        // Data we cannot convert would be recorded as noise: refuse the device.
        plat::Trace("[CAudioControl] capture format not supported (tag=%d, bits=%d)\n",
                    f ? f->wFormatTag : -1, f ? f->wBitsPerSample : -1);
        capture->Close();
        return false;
    }
    // The queue holds a few seconds at the format the device really delivers;
    // slots are whole, even-sized frames so a block split over several slots
    // still converts slot by slot.
    const uint32_t frame = f->nBlockAlign * 2u;
    const uint32_t perSecond = f->nSamplesPerSec * f->nBlockAlign;
    uint32_t slotBytes = std::max(capture->GetBlockSize(), perSecond / 100);
    slotBytes = std::max((slotBytes + frame - 1) / frame * frame, frame);
    const uint32_t slots = std::max<uint32_t>(
        4, static_cast<uint32_t>((uint64_t{QUEUE_SECONDS} * perSecond + slotBytes - 1) / slotBytes));
    if (!m_Blocks.Configure(slotBytes, slots)) {
        plat::Trace("[CAudioControl] CaptureOpen: out of memory\n");
        capture->Close();
        return false;
    }
    m_Rate = static_cast<int32_t>(f->nSamplesPerSec);
    if (m_Rate != m_Switches.m_Frequency)
        plat::Trace("[CAudioControl] capture runs at %d Hz, not %d Hz\n", m_Rate.load(),
                    m_Switches.m_Frequency.load());
    plat::Trace("[CAudioControl] open capture\n");
    return true;
}

void CCapturePath::MarkStart() {
    m_StartTick = plat::TickCount();
}

// ================================================================ capture driver thread

void CCapturePath::Push(const void* data, uint32_t bytes) {
    if (!m_Accepting.load(std::memory_order_acquire) || !data || bytes == 0) return;
    m_LastBlockTick.store(plat::TickCount(), std::memory_order_relaxed);
    m_Blocks.Push(data, bytes);
}

// ================================================================ sound thread

void CCapturePath::Thread() {
    m_Accepting.store(1, std::memory_order_release);
    m_Ready.Set();
    CSoundBlockQueue::Block block;
    for (;;) {
        if (!m_Blocks.Take(block)) break; // stopping, and nothing queued
        while (m_Hold.load() && m_Accepting.load())
            plat::SleepMs(1);
        ProcessIncoming(block.data, block.bytes);
        m_Blocks.Release();
    }
}

void CCapturePath::ProcessIncoming(uint8_t* block, uint32_t bytes) {
    CCaptureDriver* capture = m_pCapture;
    if (!capture) return;
    const WAVEFORMATEX* format = capture->GetFormat();
    const int channels = format->nChannels ? format->nChannels : 1;
    const int gain = m_Gain;
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
    if (channels == 2) sampleops::ApplyChannelMode(samples, sampleBytes / 4, m_Switches.m_ChannelMode);
    ProcessBlock(samples, sampleBytes, channels, static_cast<int>(format->nSamplesPerSec));
}

void CCapturePath::WriteMonitor(const void* data, uint32_t bytes) {
    if (m_MonitorFifo.Write(data, bytes)) return;
    if (!m_MonitorFifo.GetSize()) return;
    // The renderer fell behind by a whole FIFO: drop what it holds and go on
    // with the newest data.
    ++m_Overflows;
    m_MonitorFifo.Flush();
    m_MonitorFifo.Write(data, bytes);
}

void CCapturePath::WriteRecord(const void* data, uint32_t bytes) {
    if (m_Record.Push(data, bytes)) ++m_Overflows;
}

void CCapturePath::ProcessBlock(int16_t* block, uint32_t bytes, int captureChannels, int captureRate) {
    const uint32_t count = bytes / 2;
    if (m_Switches.m_bEffect) {
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

    CRenderDriver* render = m_pRender;
    if (!render || IsLoopback()) {
        WriteRecord(recordBlock, recordBytes);
        return;
    }

    // The monitor always opens two channels; a renderer that is not open yet
    // counts as the stereo one it will be.
    const int renderChannels = render->IsOpen() ? render->GetFormat()->nChannels : 2;
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
    MixPlayback(m_Mixed.data(), recordBlock, recordBytes, false);
    WriteRecord(m_Mixed.data(), recordBytes);

    if (m_Switches.m_bMonitor) {
        MixPlayback(m_Mixed.data(), monitorBlock, monitorBytes, true);
        WriteMonitor(m_Mixed.data(), monitorBytes);
    } else {
        if (m_MonitorFifo.GetUsed() != 0) m_MonitorFifo.Flush();
        // The monitor ring paces the play thread: with the monitor switched off
        // it is still drained at the capture's pace, so the play file goes on
        // into the recording instead of stalling after two chunks.
        if (m_Switches.m_bPlaying && !m_Switches.m_bPlayPaused) {
            if (m_PlayTemp.size() < monitorBytes / 2) m_PlayTemp.resize(monitorBytes / 2);
            m_Play.Read(CPlayPath::Ring::Monitor, m_PlayTemp.data(), monitorBytes);
        }
    }
}

// Mixes up to `bytes` bytes of a playback ring into `in`, giving `out`.
void CCapturePath::MixPlayback(int16_t* out, const int16_t* in, uint32_t bytes, bool monitorRing) {
    if (!m_Switches.m_bPlaying) {
        if (out != in) std::memmove(out, in, bytes);
        return;
    }
    const uint32_t count = bytes / 2;
    if (m_PlayTemp.size() < count) m_PlayTemp.resize(count);
    std::memset(m_PlayTemp.data(), 0, count * 2);
    if (!m_Switches.m_bPlayPaused)
        m_Play.Take(monitorRing ? CPlayPath::Ring::Monitor : CPlayPath::Ring::Record, m_PlayTemp.data(),
                    count * 2);
    sampleops::Mix(in, m_PlayTemp.data(), out, count);
}
