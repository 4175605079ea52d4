// CAudioControl: lifecycle, drivers, the operations that span the paths.
#include "engine/CAudioControl.h"

#include "engine/EngineLinks.h"
#include "platform/Platform.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <utility>
#include <vector>

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
    m_Play.CloseFile();
    m_Record.CloseFile();
    // The engine owns its drivers: terminate them before they go.
    m_Capture.SetDrivers(nullptr, nullptr);
    DeleteDriver(m_pCapture, "capture");
    DeleteDriver(m_pRender, "render");
    m_Capture.ReleaseMonitorFifo();
    m_Record.Release();
    m_Play.Release();
}

int CAudioControl::Initialize(CAppEventListener* listener) {
    CreateDriver(std::clamp(m_Links.DriverType(), 0, 2));

    if (!m_Play.Allocate() || !m_Record.Allocate()) {
        plat::Trace("[CAudioControl] Initialize: out of memory\n");
        return 0;
    }
    m_pListener = listener;
    m_Capture.StartThread();
    m_Play.StartThread(listener);
    m_Record.StartThread(listener);
    return 1;
}

void CAudioControl::Shutdown() {
    m_Play.RequestStop();
    m_Record.RequestStop();
    m_Capture.RequestStop();
    // The record thread first: a stop it has been asked for is finished by it.
    m_Record.Join();
    m_Capture.Join();
    m_Play.Join();

    CaptureClose();
    m_Capture.Discard();
    m_Play.Release();
    m_Record.Release();

    if (m_pRender) m_pRender->Terminate();
}

int CAudioControl::CreateDriver(int type) {
    if (type != m_DriverType || (!m_pCapture && !m_pRender)) {
        m_Capture.SetDrivers(nullptr, nullptr);
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
        m_Capture.SetDrivers(m_pCapture, m_pRender);
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
        if (m_Capture.IsLoopback()) {
            CaptureClose();
            store();
            return 1;
        }
        m_pRender->Close();
        m_Capture.ReleaseMonitorFifo();
        plat::Trace("[CAudioControl] close render\n");
    }
    CaptureClose();
    store();
    return 1;
}

int CAudioControl::CaptureOpen() {
    if (!m_Capture.Open()) return 0;
    m_Record.ResetState();
    return 1;
}

int CAudioControl::MonitorOpen() {
    plat::Trace("[CAudioControl] MonitorOpen()\n");
    if (m_Capture.NoMonitorPath()) {
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
    if (!m_Capture.CreateMonitorFifo()) {
        m_pRender->Close();
        m_Capture.ReleaseMonitorFifo();
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
    m_Capture.MarkStart();
    if (!m_pCapture->Start()) return 0;
    plat::Trace("[CAudioControl] start capture\n");
    return 1;
}

int CAudioControl::MonitorStart() {
    plat::Trace("[CAudioControl] MonitorStart()\n");
    if (!m_Capture.NoMonitorPath()) {
        if (!m_pRender->IsStarted() && !m_pRender->Start()) return 0;
    } else {
        plat::Trace("[CAudioControl] not start audio monitor\n");
    }
    return 1;
}

void CAudioControl::MonitorStop() {
    plat::Trace("[CAudioControl] MonitorStop()\n");
    if (m_Capture.NoMonitorPath()) return;
    if (m_pRender->Stop()) {
        m_Play.ClearRings();
        plat::Trace("Clear monitor buffer\n");
    }
}

void CAudioControl::MonitorClose() {
    plat::Trace("[CAudioControl] MonitorClose()\n");
    if (m_Capture.NoMonitorPath()) return;
    m_pRender->Close();
    m_Capture.ReleaseMonitorFifo();
    plat::Trace("[CAudioControl] close render\n");
}

int CAudioControl::CaptureStop() {
    plat::Trace("[CAudioControl] CaptureStop()\n");
    if (!m_pCapture) {
        plat::Trace("[CAudioControl] not create capture device\n");
        return 0;
    }
    if (IsRecording()) RecordStop();
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
    m_Record.FlushFifo();
    // Once per capture session, so a long run can be judged from its debug lines.
    plat::Trace("[CAudioControl] close capture: blocks dropped %llu, FIFO overflows (record or monitor) %u\n",
                static_cast<unsigned long long>(GetDroppedBlocks()), GetOverflowCount());
    return 1;
}

// ================================================================ capture driver thread

int32_t CAudioControl::OnSoundIn(const void* data, uint32_t bytes) {
    // A full queue drops the block and counts it: the capture thread never waits.
    m_Capture.Push(data, bytes);
    return static_cast<int32_t>(bytes);
}

// ================================================================ render driver thread

uint32_t CAudioControl::OnSoundOut(void* buffer, uint32_t bytes) {
    if (!buffer) return 0;
    std::memset(buffer, 0, bytes);
    if (m_pCapture && m_pCapture->IsStarted()) {
        if (m_Capture.ReadMonitor(buffer, bytes) == 0) plat::Trace("OnSoundOut() len = 0\n");
    } else if (m_bPlaying && !m_bPlayPaused) {
        m_Play.Take(CPlayPath::Ring::Monitor, buffer, bytes);
    }
    if (m_pListener) m_pListener->OnPlayData(buffer, bytes);
    return bytes;
}

// ================================================================ recording (user-interface thread)

int CAudioControl::RecordStart(const std::string& path) {
    if (!m_pCapture) return 0;
    if (m_Record.Resume()) return 1;
    if (IsRecording()) return 0;
    if (!m_pCapture->IsStarted()) {
        plat::Trace("[Capture Status] Capture Stop\n");
        return 0;
    }
    if (path.empty()) return 0;

    // The file always holds 16-bit PCM: float capture is converted on entry,
    // and a mono capture becomes stereo when rec_file_channel asks for it.
    const WAVEFORMATEX* capture = m_pCapture->GetFormat();
    int channels = capture->nChannels ? capture->nChannels : 1;
    if (channels == 1 && m_Links.RecFileChannel() == 1) channels = 2;
    WAVEFORMATEX format;
    MakePcmFormat(format, channels, static_cast<int>(capture->nSamplesPerSec), 16);
    plat::Trace("REC FORMAT ch=%d, frq=%d, bit=%d, blk=%d, byte=%d\n", format.nChannels,
                static_cast<int>(format.nSamplesPerSec), format.wBitsPerSample, format.nBlockAlign,
                static_cast<int>(format.nAvgBytesPerSec));
    m_pCapture->ResetPosition();
    return m_Record.Start(path, format);
}

int CAudioControl::RecordPause() {
    return m_Record.Pause();
}

int CAudioControl::RecordStop() {
    return m_Record.Stop();
}
