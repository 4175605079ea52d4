#include "drivers/test/CTestRenderer.h"

#include "drivers/test/TestDeviceList.h"

#include "platform/Platform.h"

#include <chrono>
#include <cstring>
#include <cwchar>
#include <thread>

using namespace testdevices;

CTestRenderer::CTestRenderer() = default;

CTestRenderer::~CTestRenderer() {
    Close();
}

int CTestRenderer::Init(CSoundListener* listener) {
    Close();
    m_pListener = listener;
    m_BlockSize = 1920;
    m_State = DRIVER_CLOSED;
    m_Format = {};
    return 0;
}

int CTestRenderer::SelectDevice(int32_t index) {
    if (index < -1 || index >= static_cast<int32_t>(m_Devices.size())) return 0;
    m_DeviceIndex = index;
    return 1;
}

int CTestRenderer::Open(int channels, int samplesPerSec, int bitsPerSample, int latencyMs) {
    plat::Trace("CTestRenderer::Open(%d, %d, %d, %d)\n", channels, samplesPerSec, bitsPerSample, latencyMs);
    if (m_State != DRIVER_CLOSED || m_FailOpen || channels < 1 || samplesPerSec <= 0) return 0;
    MakePcmFormat(m_Format, channels, samplesPerSec, bitsPerSample);
    m_Latency = latencyMs;
    m_BlockSize =
        m_RequestBytes ? m_RequestBytes : static_cast<uint32_t>(samplesPerSec / 100) * m_Format.nBlockAlign;
    m_State = DRIVER_OPEN;
    return 1;
}

void CTestRenderer::Close() {
    Stop();
    m_State = DRIVER_CLOSED;
}

int CTestRenderer::Start() {
    if (m_State == DRIVER_RUNNING) return 1;
    if (m_State != DRIVER_OPEN) return 0;
    m_Quit = false;
    m_State = DRIVER_RUNNING;
    m_pThread = new CThread([this] { Run(); });
    return 1;
}

int CTestRenderer::Stop() {
    if (m_State != DRIVER_RUNNING) return m_State == DRIVER_OPEN ? 1 : 0;
    m_Quit = true;
    StopThread(m_pThread);
    m_State = DRIVER_OPEN;
    return 1;
}

void CTestRenderer::Run() {
    std::vector<uint8_t> block(m_BlockSize);
    auto next = std::chrono::steady_clock::now();
    const auto period =
        std::chrono::microseconds(1000000LL * (m_BlockSize / m_Format.nBlockAlign) / m_Format.nSamplesPerSec);
    while (!m_Quit) {
        if (m_Realtime) {
            next += period;
            std::this_thread::sleep_until(next);
        }
        // Like WASAPI: the buffer is not cleared for the listener.
        std::memset(block.data(), 0xA5, block.size());
        uint32_t n = m_pListener ? m_pListener->OnSoundOut(block.data(), m_BlockSize) : 0;
        if (n > m_BlockSize) n = m_BlockSize;
        ++m_Calls;
        m_Total += n;
        if (n) {
            std::lock_guard<std::mutex> lock(m_ReceivedLock);
            size_t room = m_KeepLimit > m_Received.size() ? m_KeepLimit - m_Received.size() : 0;
            m_Received.insert(m_Received.end(), block.begin(), block.begin() + (n < room ? n : room));
        }
        if (!m_Realtime && n == 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

std::vector<uint8_t> CTestRenderer::GetReceived() {
    std::lock_guard<std::mutex> lock(m_ReceivedLock);
    return m_Received;
}

int CTestRenderer::EnumDevice(int32_t index, AudioDeviceInfo* info) {
    return EnumList(m_Devices, index, info);
}

int32_t CTestRenderer::FindDevice(const wchar_t* name, const wchar_t* id) {
    (void)id;
    return FindInList(m_Devices, name);
}
