// The effect chain: up to ten effects in order, run over every captured block.
//
// Threads and locks:
// - ProcessChain and ReadChainOutput run on the engine's sound thread, one after
//   the other for each block; every other operation runs on the UI thread.
// - The chain lock guards the chain positions and every effect's state. It is
//   held for a whole pass through the chain and by every edit, so a block never
//   meets a half-built or deleted effect.
// - The output lock guards the output ring and its indices.
// - No operation holds both locks.
//
// Channels: each position keeps one effect instance per channel, so in stereo
// the left and right channels run through their own delay lines, filters and
// LFOs. The engine tells the manager its channel count and rate
// (SetStreamFormat); a change re-applies every entry's values at the new format.
#pragma once

#include "effects/CBaseEffect.h"
#include "effects/EffectTypes.h"

#include <atomic>
#include <cstdint>
#include <mutex>

class CEffectManager {
  public:
    static constexpr int32_t MAX_EFFECTS = 10;
    static constexpr uint32_t RING_SIZE = 65536;
    static constexpr int32_t MAX_CHANNELS = 2;

    CEffectManager();
    ~CEffectManager();
    CEffectManager(const CEffectManager&) = delete;
    CEffectManager& operator=(const CEffectManager&) = delete;

    // A new effect of `type` with `values` (ten values; null means all 0) applied
    // at `sampleRate`; null for a type outside 0..20. The caller owns it.
    CBaseEffect* CreateEffect(int32_t type, const int32_t* values, int32_t sampleRate);

    // `values` points at ten values (an entry's value array) or is null (all 0).
    // `sampleRate` is used until the engine has reported its own rate.
    // Returns the position used, or -1 when position >= 10 or the chain is full.
    int32_t AddEffect(int32_t type, const int32_t* values, int32_t sampleRate, int32_t position);
    void RemoveEffect(int32_t position);
    void MoveEffect(int32_t from, int32_t to);
    // 0, or -1 for a position outside 0..9.
    int32_t SetEffectParams(int32_t position, const int32_t* values, int32_t sampleRate);
    // 1 enabled, 0 disabled, -1 no effect there.
    int32_t GetEffectEnable(int32_t position);
    void SetEffectEnable(int32_t position, int32_t on);
    // The type's name, or null for a type outside 0..20.
    const wchar_t* GetEffectName(int32_t type) const;
    // The type at a position, or -1 when it is empty.
    int32_t GetEffectType(int32_t position);

    // Runs `count` interleaved 16-bit samples through the enabled effects and
    // appends the result to the output ring (dropping the oldest samples when it
    // does not fit). Returns count. Sound thread only.
    int32_t ProcessChain(const int16_t* samples, int32_t count);
    // Takes up to `count` samples from the output ring; the rest of the block
    // becomes 0. Sound thread only.
    void ReadChainOutput(int16_t* samples, int32_t count);

    // The stream's channel count (1 or 2) and rate in Hz, as the engine runs it.
    // Cheap when nothing changed, so the engine may call it before every block;
    // a change rebuilds the per-channel instances (this allocates) and applies
    // every entry's values at the new rate. Other values are ignored.
    void SetStreamFormat(int32_t channels, int32_t sampleRate);
    // The rate the effects run at: the engine's once known, else the last rate an
    // editor passed, else 48000.
    int32_t GetSampleRate();

  private:
    struct Slot {
        int32_t type = -1; // -1: empty position
        int32_t values[EFFECT_MAX_VALUES] = {};
        CBaseEffect* effect[MAX_CHANNELS] = {}; // one per channel; [1] only in stereo
    };

    int32_t EffectiveRate(int32_t callerRate);
    // Fills a slot with new instances for the current channel count; false (slot
    // left empty) when the type is unknown or memory is short. Chain lock held.
    bool BuildSlot(Slot& slot, int32_t type, const int32_t* values, int32_t rate, int32_t enabled);
    static void FreeSlot(Slot& slot);
    bool EnsureScratch(int32_t count);
    void WriteRing(const int16_t* samples, int32_t count);

    // ---- guarded by m_ChainLock
    std::mutex m_ChainLock;
    Slot m_Slots[MAX_EFFECTS];
    int32_t m_EngineRate = 0; // 0 until the engine reports
    int32_t m_EditorRate = 0; // last rate passed by AddEffect / SetEffectParams
    // Per-block scratch of ProcessChain, kept between blocks so a pass does not
    // allocate; grown only for a longer block.
    double* m_Work[MAX_CHANNELS] = {};
    int16_t* m_Result = nullptr;
    int32_t m_WorkCapacity = 0;

    // Written under the chain lock; read without it for the cheap "unchanged" test.
    std::atomic<int32_t> m_Channels{1};
    std::atomic<int32_t> m_KnownRate{0};

    // ---- guarded by m_OutputLock
    std::mutex m_OutputLock;
    int16_t m_Ring[RING_SIZE] = {};
    uint32_t m_WriteIndex = 0;
    uint32_t m_ReadIndex = 0;
};

// The one manager of the process; null until the application creates it.
extern CEffectManager* g_pEffectManager;
