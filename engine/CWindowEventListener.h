// The listener side of the main window that needs no window: when to post,
// what to post, the peak for the level meter and the playback delay countdown.
// The application derives from it and implements PostToWindow with
// PostMessageW to the main window; tests collect the posts instead.
//
// Threads: OnRecordData runs on the record thread, OnPlayData and OnPlayEnd on
// the render thread (OnPlayEnd also on the sound thread), the rest on the
// user-interface thread. The shared fields are atomics.
#pragma once

#include "engine/CEventListener.h"

#include <atomic>
#include <cstdint>

class CAudioControl;

class CWindowEventListener : public CAppEventListener {
  public:
    static constexpr uint32_t RECORD_POST_MS = 200;
    static constexpr uint32_t PLAY_POST_MS = 300;

    explicit CWindowEventListener(CAudioControl* audio = nullptr) : m_pAudio(audio) {}
    void SetAudio(CAudioControl* audio) { m_pAudio = audio; }

    // Delivers one message to the main window (any thread; must not block).
    virtual void PostToWindow(uint32_t message, uintptr_t wParam, intptr_t lParam) = 0;

    void OnRecordData(const void* samples, uint32_t bytes) override;
    void OnPlayData(const void* buffer, uint32_t bytes) override;
    void OnPlayEnd() override;
    void OnRecordError(const char* path, uint32_t savedFrames) override;

    // ---- user-interface thread
    // StartCapture: the next record data is posted at once.
    void ResetRecordPostTime() {
        m_LastRecordPost = 0;
        m_RecordPostPending = true;
    }
    // Play start: the countdown of a delay of `seconds` (none when not positive),
    // counted in the bytes the renderer plays.
    void StartDelayCountdown(int seconds);
    int16_t GetPeak() const { return m_Peak.load(); }
    // The 1 s meter timer; true when the peak fell and the meter must be redrawn.
    bool OnMeterTimer();
    int GetLevel() const;

    // Tick source (tests replace it).
    virtual uint32_t Now();

  private:
    CAudioControl* m_pAudio;
    std::atomic<uint32_t> m_LastRecordPost{0};
    std::atomic<bool> m_RecordPostPending{true};
    std::atomic<uint32_t> m_LastPlayPost{0};
    std::atomic<bool> m_PlayPostPending{true};
    std::atomic<int16_t> m_Peak{0};
    std::atomic<int32_t> m_DecayCounter{0};
    std::atomic<int64_t> m_DelayCountdown{0};
};
