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
    if (m_pAudio && (m_pAudio->m_RecordState & REC_RECORDING)) seconds = m_pAudio->GetRecordedSeconds();
    if (due) PostToWindow(WM_REC_TIME, seconds, 0);

    if (samples && bytes >= 2) {
        int16_t blockPeak = sampleops::Peak(static_cast<const int16_t*>(samples), bytes / 2);
        m_Peak = recorder::NextPeak(m_Peak.load(), blockPeak);
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
    int16_t peak = m_Peak.load();
    int32_t counter = m_DecayCounter.load();
    bool fell = recorder::MeterDecayTick(peak, counter);
    m_Peak = peak;
    m_DecayCounter = counter;
    return fell;
}

int CWindowEventListener::GetLevel() const {
    return recorder::LevelFromPeak(m_Peak.load());
}
