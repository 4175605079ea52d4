// An in-process stand-in for the WASAPI side of COM: enumerator, collection,
// endpoint, property store, audio client, capture and render clients. A test
// describes the endpoints and what should go wrong (refuse exclusive mode,
// report a non-aligned buffer, fail any named call), hands the drivers
// CreateEnumerator, and then checks what the drivers asked for and that every
// object was released (LiveObjects() back to 0).
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
    std::wstring name;
    std::wstring id;
    bool textName = true; // false: the friendly name property is not a string
    int channels = 2;
    DWORD rate = 44100;
    bool floatMix = true; // the mix format: 32-bit float extensible, else 16-bit PCM extensible
};

// One Initialize as the driver asked for it.
struct FakeInitCall {
    AUDCLNT_SHAREMODE mode;
    DWORD flags;
    REFERENCE_TIME duration;
    REFERENCE_TIME periodicity;
    WAVEFORMATEX format;
    bool extensible = false;
    GUID subFormat{};
    DWORD channelMask = 0;
    HRESULT result = S_OK;
};

class FakeSystem {
  public:
    // ---- what the fake system looks like
    std::vector<FakeEndpoint> capture{{L"Mic", L"{cap-0}"}, {L"Line In", L"{cap-1}"}};
    std::vector<FakeEndpoint> render{{L"Speakers", L"{ren-0}"}, {L"Headphones", L"{ren-1}"}};
    REFERENCE_TIME minimumPeriod = 30000;  // 3 ms
    REFERENCE_TIME defaultPeriod = 100000; // 10 ms
    HRESULT exclusiveRefusal = S_OK;       // not S_OK: what an exclusive Initialize answers
    HRESULT exclusiveFormatAnswer = S_OK;  // what IsFormatSupported(EXCLUSIVE) answers
    // Non-zero: an exclusive duration not matching this many frames is refused as not aligned.
    UINT32 alignedFrames = 0;
    UINT32 renderPadding = 0;           // frames still queued, reported by GetCurrentPadding
    int packetsPerEvent = 1;            // capture packets that arrive behind one event
    int lostBeforePacket = 0;           // 1-based: this capture packet follows a lost one
    std::atomic<int> captureBacklog{0}; // capture packets waiting to be read

    // Makes the named call ("IAudioClient::Initialize") fail with `hr` after it
    // has succeeded `after` times.
    void Fail(const std::string& call, HRESULT hr, int after = 0);
    void ClearFailures();

    // ---- the seam
    HRESULT CreateEnumerator(IMMDeviceEnumerator** out);

    // ---- what happened
    int LiveObjects() const { return m_Live.load(); }
    int Calls(const std::string& call) { return Locked(m_Calls)[call]; }
    std::vector<FakeInitCall> Inits() { return Locked(m_Inits); }
    std::vector<uint8_t> Rendered() {
        return Locked(m_Rendered);
    } // bytes queued by render clients (silence as zeros)
    std::vector<UINT32> RenderReleases() {
        return Locked(m_RenderReleases);
    } // frame counts of each ReleaseBuffer
    uint64_t CapturedFramesHandedOut() const { return m_CaptureFrames.load(); }

    // ---- used by the fake objects
    HRESULT Enter(const std::string& call);
    void AddLive(int delta) { m_Live += delta; }
    void RecordInit(const FakeInitCall& call);
    void RecordRender(const BYTE* data, UINT32 bytes, bool silent, UINT32 frames);
    void CountCaptureFrames(UINT32 frames) { m_CaptureFrames += frames; }

  private:
    template <class T> T Locked(const T& v) {
        std::lock_guard<std::mutex> lock(m_Lock);
        return v;
    }
    struct Rule {
        HRESULT hr;
        int after;
    };
    std::mutex m_Lock;
    std::map<std::string, Rule> m_Rules;
    std::map<std::string, int> m_Calls;
    std::vector<FakeInitCall> m_Inits;
    std::vector<uint8_t> m_Rendered;
    std::vector<UINT32> m_RenderReleases;
    std::atomic<int> m_Live{0};
    std::atomic<uint64_t> m_CaptureFrames{0};
};
