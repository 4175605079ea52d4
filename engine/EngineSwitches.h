// The switches, gains and format the main window sets and the engine's threads
// read. Each is an atomic written by the user-interface thread (directly or
// through an engine operation) and read by any thread; none needs a lock, and
// none is read twice where a change between the reads would matter.
// CAudioControl exposes them as public members; the paths get a reference.
#pragma once

#include <atomic>
#include <cstdint>

struct EngineSwitches {
    std::atomic<int32_t> m_bMonitor{1};
    std::atomic<int32_t> m_bVoiceCancel{0};
    std::atomic<int32_t> m_bEffect{0};
    std::atomic<int32_t> m_PlayGain{8}; // eighths, 1..16
    std::atomic<int32_t> m_bPlaying{0};
    std::atomic<int32_t> m_bPlayPaused{0};
    std::atomic<int32_t> m_PlayDelay{0}; // seconds of silence before the play file

    // Format; written by ChangeFormat and OpenPlayFile.
    std::atomic<int32_t> m_DriverType{-1};
    std::atomic<int32_t> m_Frequency{48000};
    std::atomic<int32_t> m_ChannelMode{2};
    std::atomic<int32_t> m_OutChannels{2};
    std::atomic<int32_t> m_Latency{50};
    std::atomic<int32_t> m_PlayFrequency{0};
    std::atomic<int32_t> m_PlayChannels{2};
};
