// An in-process stand-in for the WASAPI side of COM, for what Wine cannot do:
// exclusive streams, loopback, and calls that fail. A test describes what goes
// wrong (refuse exclusive mode, a non-aligned buffer, any named call failing
// after n successes), hands the drivers CreateEnumerator, and checks what the
// drivers did and that every object was released (LiveObjects() back to 0).
// Mix format of every endpoint: 32-bit float stereo at 44100 Hz; device
// period 10 ms, minimum 3 ms; a started client makes one 10 ms packet (or
// `packetsPerEvent`) every 10 ms, whose bytes count up with its position.
#pragma once

#include <windows.h>
#include <audioclient.h>
#include <mmdeviceapi.h>

#include <atomic>
#include <map>
#include <mutex>
#include <string>
#include <vector>

struct FakeEndpoint {
    std::wstring name, id;
    bool textName = true; // false: the friendly name property is not a string
};

class FakeSystem {
  public:
    std::vector<FakeEndpoint> capture{{L"Mic", L"{cap-0}"}, {L"Line In", L"{cap-1}"}};
    std::vector<FakeEndpoint> render{{L"Speakers", L"{ren-0}"}, {L"Headphones", L"{ren-1}"}};
    HRESULT exclusiveRefusal = S_OK;      // not S_OK: what an exclusive Initialize answers
    HRESULT exclusiveFormatAnswer = S_OK; // what IsFormatSupported(EXCLUSIVE) answers
    UINT32 alignedFrames = 0;             // non-zero: another exclusive buffer is refused as not aligned
    int packetsPerEvent = 1;
    int lostBeforePacket = 0;           // 1-based: this capture packet follows a lost one
    std::atomic<int> captureBacklog{0}; // capture packets waiting to be read

    // The named call ("Initialize") fails with `hr` (S_OK: no longer fails)
    // once it has succeeded `after` times.
    void Fail(const std::string& call, HRESULT hr, int after = 0) {
        std::lock_guard<std::mutex> lock(m_Lock);
        m_Rules[call] = {hr, after};
    }
    HRESULT CreateEnumerator(IMMDeviceEnumerator** out);

    int LiveObjects() const { return m_Live.load(); }
    int Calls(const std::string& call) {
        std::lock_guard<std::mutex> lock(m_Lock);
        return m_Calls[call];
    }
    // Render ReleaseBuffer calls, how many were flagged silent, and the frames of the first.
    std::atomic<int> renderReleases{0}, silentReleases{0};
    std::atomic<UINT32> firstReleaseFrames{0};
    std::atomic<uint64_t> capturedFrames{0}; // released by capture clients

    // For the fake objects.
    HRESULT Enter(const std::string& call) {
        std::lock_guard<std::mutex> lock(m_Lock);
        int n = m_Calls[call]++;
        auto it = m_Rules.find(call);
        return it != m_Rules.end() && n >= it->second.second ? it->second.first : S_OK;
    }
    void AddLive(int delta) { m_Live += delta; }

  private:
    std::mutex m_Lock;
    std::map<std::string, std::pair<HRESULT, int>> m_Rules;
    std::map<std::string, int> m_Calls;
    std::atomic<int> m_Live{0};
};
