#include "drivers/test/CTestCapture.h"

#include "drivers/test/TestDeviceList.h"

#include "platform/Platform.h"

#include <chrono>
#include <cstring>
#include <cwchar>
#include <thread>

using namespace testdevices;

CTestCapture::CTestCapture() = default;

CTestCapture::~CTestCapture() {
    Close();
}

int CTestCapture::Init(CSoundListener* listener) {
    Close();
    m_pListener = listener;
    m_BlockSize = 960;
    m_State = DRIVER_CLOSED;
    m_Format = {};
    return 0;
}

int CTestCapture::SelectDevice(int32_t index) {
    if (index < -1 || index >= static_cast<int32_t>(m_Devices.size())) return 0;
    m_DeviceIndex = index;
    return 1;
}

int CTestCapture::Open(int channels, int samplesPerSec, int bitsPerSample, int latencyMs) {
    plat::Trace("CTestCapture::Open(%d, %d, %d, %d)\n", channels, samplesPerSec, bitsPerSample, latencyMs);
    if (m_State != DRIVER_CLOSED || m_FailOpen || channels < 1 || samplesPerSec <= 0) return 0;
    if (m_MixRate > 0) {
        MakePcmFormat(m_Format, 2, m_MixRate, m_MixBits);
        if (m_MixFloat) m_Format.wFormatTag = WAVE_FORMAT_IEEE_FLOAT;
        samplesPerSec = m_MixRate;
    } else if (m_Float) {
        MakePcmFormat(m_Format, channels, samplesPerSec, 32);
        m_Format.wFormatTag = WAVE_FORMAT_IEEE_FLOAT;
    } else {
        MakePcmFormat(m_Format, channels, samplesPerSec, bitsPerSample);
    }
    uint32_t frames = m_BlockFrames ? m_BlockFrames : static_cast<uint32_t>(samplesPerSec / 100);
    m_BlockSize = frames * m_Format.nBlockAlign;
    m_State = DRIVER_OPEN;
    return 1;
}

void CTestCapture::Close() {
    Stop();
    m_State = DRIVER_CLOSED;
}

int CTestCapture::Start() {
    if (m_State == DRIVER_RUNNING) return 1;
    if (m_State != DRIVER_OPEN) return 0;
    m_ElapsedFrames = 0;
    m_Quit = false;
    m_State = DRIVER_RUNNING;
    m_pThread = new CThread([this] { Run(); });
    return 1;
}

int CTestCapture::Stop() {
    if (m_State != DRIVER_RUNNING) return m_State == DRIVER_OPEN ? 1 : 0;
    m_Quit = true;
    if (!StopThread(m_pThread, m_StopLimitMs)) m_ThreadAbandoned = true;
    m_State = DRIVER_OPEN;
    return 1;
}

// 16-bit samples in the open format: float as s / 32768, wider integers
// shifted up (so a converter that rounds gets s back exactly), 8-bit offset.
void CTestCapture::Encode(const int16_t* pcm, size_t samples, uint8_t* out) const {
    const int bits = m_Format.wBitsPerSample;
    for (size_t i = 0; i < samples; ++i) {
        const int32_t s = pcm[i];
        if (m_Format.wFormatTag == WAVE_FORMAT_IEEE_FLOAT) {
            const float f = static_cast<float>(s) / 32768.0f;
            std::memcpy(out + i * 4, &f, 4);
        } else if (bits == 8) {
            out[i] = static_cast<uint8_t>((s >> 8) + 128);
        } else {
            const int bytes = bits / 8;
            const uint32_t v = static_cast<uint32_t>(s) << (bits - 16);
            for (int b = 0; b < bytes; ++b)
                out[i * bytes + b] = static_cast<uint8_t>(v >> (8 * b));
        }
    }
}

void CTestCapture::Run() {
    const int channels = m_Format.nChannels;
    const uint32_t frames = m_BlockSize / m_Format.nBlockAlign;
    std::vector<int16_t> pcm(static_cast<size_t>(frames) * channels);
    std::vector<uint8_t> raw(m_BlockSize);
    auto next = std::chrono::steady_clock::now();
    const auto period = std::chrono::microseconds(1000000LL * frames / m_Format.nSamplesPerSec);
    while (!m_Quit) {
        if (m_Realtime) {
            next += period;
            std::this_thread::sleep_until(next);
        } else if (m_Ready) {
            while (!m_Quit && !m_Ready())
                std::this_thread::sleep_for(std::chrono::microseconds(200));
            if (m_Quit) break;
        }
        if (m_ReadDelayMs > 0) {
            m_InRead = true;
            std::this_thread::sleep_for(std::chrono::milliseconds(m_ReadDelayMs));
            m_InRead = false;
            // What a stopped device hands back is not delivered.
            if (m_Quit) break;
        }
        uint32_t n = m_Signal ? m_Signal->Read(pcm.data(), frames, channels) : frames;
        if (!m_Signal) std::fill(pcm.begin(), pcm.end(), 0);
        if (n == 0) {
            m_SignalEnded = true;
            // Like a device that has gone quiet: stay alive until stopped.
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
            continue;
        }
        const uint32_t bytes = n * m_Format.nBlockAlign;
        Encode(pcm.data(), static_cast<size_t>(n) * channels, raw.data());
        const void* data = raw.data();
        int32_t result = m_pListener ? m_pListener->OnSoundIn(data, bytes) : 0;
        m_ElapsedFrames += n;
        m_Delivered += n;
        ++m_Blocks;
        if (result == 1) break;
    }
}

int CTestCapture::EnumDevice(int32_t index, AudioDeviceInfo* info) {
    return EnumList(m_Devices, index, info);
}

int32_t CTestCapture::FindDevice(const wchar_t* name, const wchar_t* id, int loopback) {
    (void)id;
    if (loopback) return -1;
    return FindInList(m_Devices, name);
}
