#include "engine/CWindowEventListener.h"

#include "engine/AudioMessages.h"
#include "engine/CAudioControl.h"
#include "engine/RecorderHelpers.h"
#include "engine/SampleOps.h"
#include "platform/Platform.h"

uint32_t CWindowEventListener::Now() {
    return plat::TickCount();
}

void CWindowEventListener::OnRecordData(const void* samples, uint32_t bytes) {
    const uint32_t now = Now();
    bool due = m_RecordPostPending.exchange(false) || now - m_LastRecordPost >= RECORD_POST_MS;
    if (due) m_LastRecordPost = now;

    uint32_t seconds = 0;
    if (m_pAudio && (m_pAudio->GetRecordState() & REC_RECORDING)) seconds = m_pAudio->GetRecordedSeconds();
    if (due) PostToWindow(WM_REC_TIME, seconds, 0);

    if (samples && bytes >= 2) {
        const int16_t blockPeak = sampleops::Peak(static_cast<const int16_t*>(samples), bytes / 2);
        // The meter timer may lower the peak meanwhile; retry on its value so
        // neither update overwrites the other.
        int16_t stored = m_Peak.load();
        while (!m_Peak.compare_exchange_weak(stored, recorder::NextPeak(stored, blockPeak))) {
        }
    }
    m_DecayCounter = 0;
    if (due) PostToWindow(WM_LEVEL_UPDATE, 0, 0);
}

void CWindowEventListener::OnPlayData(const void* buffer, uint32_t bytes) {
    (void)buffer;
    const uint32_t now = Now();
    bool due = m_PlayPostPending.exchange(false) || now - m_LastPlayPost >= PLAY_POST_MS;
    if (due) m_LastPlayPost = now;
    if (!m_pAudio || !m_pAudio->m_bPlaying) return;

    int64_t countdown = m_DelayCountdown.load();
    if (countdown > 0) {
        countdown = countdown > static_cast<int64_t>(bytes) ? countdown - bytes : 0;
        m_DelayCountdown = countdown;
    }
    const uint32_t perSecond = m_pAudio->GetPlayBytesPerSecond();
    const uint32_t remaining = perSecond ? static_cast<uint32_t>(countdown / perSecond) : 0;
    const uint32_t position = m_pAudio->HasPlayFile() ? m_pAudio->GetPlayPosition() : 0;
    if (due) PostToWindow(WM_PLAY_POS, position, remaining);
}

void CWindowEventListener::OnPlayEnd() {
    PostToWindow(WM_PLAY_END, 0, 0);
}

void CWindowEventListener::OnRecordError(const char* path, uint32_t savedFrames) {
    (void)path;
    PostToWindow(WM_REC_ERROR, savedFrames, 0);
}

void CWindowEventListener::StartDelayCountdown(int seconds) {
    const uint32_t perSecond = m_pAudio ? m_pAudio->GetPlayBytesPerSecond() : 0;
    m_DelayCountdown = seconds > 0 ? static_cast<int64_t>(seconds) * perSecond : 0;
    m_PlayPostPending = true;
}

bool CWindowEventListener::OnMeterTimer() {
    // The record thread posts peaks and resets the counter at any moment: each
    // value is replaced only if it is still the one the tick was computed from,
    // otherwise the tick is recomputed from the newer value, so a peak posted
    // between the read and the write is never lost.
    int16_t stored = m_Peak.load();
    for (;;) {
        int32_t seenCounter = m_DecayCounter.load();
        int16_t peak = stored;
        int32_t counter = seenCounter;
        const bool fell = recorder::MeterDecayTick(peak, counter);
        if (fell && !m_Peak.compare_exchange_weak(stored, peak)) continue;
        // A reset by the record thread wins over this tick's count.
        m_DecayCounter.compare_exchange_strong(seenCounter, counter);
        return fell;
    }
}

int CWindowEventListener::GetLevel() const {
    return recorder::LevelFromPeak(m_Peak.load());
}
