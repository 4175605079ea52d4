#include "effects/CEffectManager.h"

#include "effects/EffectRate.h"
#include "platform/Platform.h"

#include <algorithm>
#include <cstring>
#include <emmintrin.h>
#include <new>

CEffectManager* g_pEffectManager = nullptr;

namespace {

const int32_t kZeros[EFFECT_MAX_VALUES] = {};

constexpr int32_t DEFAULT_RATE = 48000;

// Back to 16 bits: scale, truncate toward zero, clamp. NaN (an effect fed
// absurd values can produce one) becomes silence.
inline int16_t ToSample(double v) {
    double s = v * 32768.0;
    s = s == s ? s : 0.0;            // NaN first: it fails every comparison below
    s = s < 32767.0 ? s : 32767.0;   // also +inf
    s = s > -32768.0 ? s : -32768.0; // also -inf
    return static_cast<int16_t>(static_cast<int32_t>(s));
}

// ToSample on two values at once, the same steps in vector form: minpd and
// maxpd answer exactly like the comparisons above once NaN is gone.
inline __m128i ToSamples(__m128d v) {
    __m128d s = _mm_mul_pd(v, _mm_set1_pd(32768.0));
    s = _mm_and_pd(s, _mm_cmpord_pd(s, s));
    s = _mm_max_pd(_mm_min_pd(s, _mm_set1_pd(32767.0)), _mm_set1_pd(-32768.0));
    return _mm_cvttpd_epi32(s); // two int32 in the low half
}

// Interleaved stereo into two planes of doubles (s / 32768, exact), four
// frames at a time; returns how many frames it did.
int32_t SplitStereo(const int16_t* in, double* left, double* right, int32_t frames) {
    const __m128d scale = _mm_set1_pd(1.0 / 32768.0);
    int32_t f = 0;
    for (; f + 4 <= frames; f += 4) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + 2 * f)); // L0 R0 .. L3 R3
        const __m128i wide0 = _mm_srai_epi32(_mm_unpacklo_epi16(v, v), 16);              // L0 R0 L1 R1
        const __m128i wide1 = _mm_srai_epi32(_mm_unpackhi_epi16(v, v), 16);              // L2 R2 L3 R3
        const __m128i l = _mm_unpacklo_epi64(_mm_shuffle_epi32(wide0, 0x08), _mm_shuffle_epi32(wide1, 0x08));
        const __m128i r = _mm_unpacklo_epi64(_mm_shuffle_epi32(wide0, 0x0D), _mm_shuffle_epi32(wide1, 0x0D));
        _mm_storeu_pd(left + f, _mm_mul_pd(_mm_cvtepi32_pd(l), scale));
        _mm_storeu_pd(left + f + 2, _mm_mul_pd(_mm_cvtepi32_pd(_mm_srli_si128(l, 8)), scale));
        _mm_storeu_pd(right + f, _mm_mul_pd(_mm_cvtepi32_pd(r), scale));
        _mm_storeu_pd(right + f + 2, _mm_mul_pd(_mm_cvtepi32_pd(_mm_srli_si128(r, 8)), scale));
    }
    return f;
}

// Two planes back to interleaved 16-bit samples, four frames at a time;
// returns how many frames it did.
int32_t MergeStereo(const double* left, const double* right, int16_t* out, int32_t frames) {
    int32_t f = 0;
    for (; f + 4 <= frames; f += 4) {
        const __m128i l =
            _mm_unpacklo_epi64(ToSamples(_mm_loadu_pd(left + f)), ToSamples(_mm_loadu_pd(left + f + 2)));
        const __m128i r =
            _mm_unpacklo_epi64(ToSamples(_mm_loadu_pd(right + f)), ToSamples(_mm_loadu_pd(right + f + 2)));
        // In range already, so the saturating pack only narrows.
        const __m128i packed = _mm_packs_epi32(l, r);                                  // L0..L3 R0..R3
        const __m128i frames4 = _mm_unpacklo_epi16(packed, _mm_srli_si128(packed, 8)); // L0 R0 .. L3 R3
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 2 * f), frames4);
    }
    return f;
}
} // namespace

CEffectManager::CEffectManager() = default;

CEffectManager::~CEffectManager() {
    for (Slot& slot : m_Slots)
        FreeSlot(slot);
    for (double*& work : m_Work)
        delete[] work;
    delete[] m_Result;
}

void CEffectManager::FreeSlot(Slot& slot) {
    for (CBaseEffect*& e : slot.effect) {
        delete e;
        e = nullptr;
    }
    slot.type = -1;
    std::fill(slot.values, slot.values + EFFECT_MAX_VALUES, 0);
}

int32_t CEffectManager::EffectiveRate(int32_t callerRate) {
    if (m_EngineRate > 0) return m_EngineRate;
    if (fx::IsUsableRate(callerRate)) m_EditorRate = callerRate;
    return m_EditorRate > 0 ? m_EditorRate : DEFAULT_RATE;
}

int32_t CEffectManager::GetSampleRate() {
    std::lock_guard<std::mutex> lock(m_ChainLock);
    return EffectiveRate(0);
}

CBaseEffect* CEffectManager::CreateEffect(int32_t type, const int32_t* values, int32_t sampleRate) {
    CBaseEffect* effect = NewEffectOfType(type);
    if (effect) effect->SetParams(values ? values : kZeros, sampleRate);
    return effect;
}

bool CEffectManager::BuildSlot(Slot& slot, int32_t type, const int32_t* values, int32_t rate,
                               int32_t enabled) {
    FreeSlot(slot);
    if (!GetEffectTypeInfo(type)) return false;
    std::copy(values, values + EFFECT_MAX_VALUES, slot.values);
    const int32_t channels = m_Channels.load(std::memory_order_relaxed);
    for (int32_t c = 0; c < channels; ++c) {
        slot.effect[c] = CreateEffect(type, slot.values, rate);
        if (!slot.effect[c]) {
            plat::Trace("[CEffectManager] cannot create effect %d\n", type);
            FreeSlot(slot);
            return false;
        }
        if (!enabled) slot.effect[c]->SetEnable(0);
    }
    slot.type = type;
    return true;
}

int32_t CEffectManager::AddEffect(int32_t type, const int32_t* values, int32_t sampleRate, int32_t position) {
    std::lock_guard<std::mutex> lock(m_ChainLock);
    if (position >= MAX_EFFECTS || m_Slots[MAX_EFFECTS - 1].type >= 0) return -1;
    if (position < 0) {
        position = 0;
        while (m_Slots[position].type >= 0)
            ++position; // position 9 is free, so this stops
    } else {
        // Shift position..8 up by one; what was at 9 is empty (checked above).
        std::rotate(m_Slots + position, m_Slots + MAX_EFFECTS - 1, m_Slots + MAX_EFFECTS);
    }
    // An unknown type leaves the position empty, like an effect that could not be created.
    BuildSlot(m_Slots[position], type, values ? values : kZeros, EffectiveRate(sampleRate), 1);
    return position;
}

void CEffectManager::RemoveEffect(int32_t position) {
    if (position < 0 || position >= MAX_EFFECTS) return;
    std::lock_guard<std::mutex> lock(m_ChainLock);
    FreeSlot(m_Slots[position]);
    std::rotate(m_Slots + position, m_Slots + position + 1, m_Slots + MAX_EFFECTS);
}

void CEffectManager::MoveEffect(int32_t from, int32_t to) {
    if (from < 0 || from >= MAX_EFFECTS || to < 0 || to >= MAX_EFFECTS) return;
    std::lock_guard<std::mutex> lock(m_ChainLock);
    if (m_Slots[from].type < 0) return;
    // Taking the entry out closes up the positions behind it; putting it back
    // opens a gap at `to`. Both together are one rotation.
    if (from < to)
        std::rotate(m_Slots + from, m_Slots + from + 1, m_Slots + to + 1);
    else if (to < from)
        std::rotate(m_Slots + to, m_Slots + from, m_Slots + from + 1);
}

int32_t CEffectManager::SetEffectParams(int32_t position, const int32_t* values, int32_t sampleRate) {
    if (position < 0 || position >= MAX_EFFECTS) return -1;
    std::lock_guard<std::mutex> lock(m_ChainLock);
    const int32_t rate = EffectiveRate(sampleRate);
    Slot& slot = m_Slots[position];
    if (slot.type < 0) return 0;
    const int32_t* from = values ? values : kZeros;
    std::copy(from, from + EFFECT_MAX_VALUES, slot.values);
    for (CBaseEffect* e : slot.effect)
        if (e) e->SetParams(slot.values, rate);
    return 0;
}

int32_t CEffectManager::GetEffectEnable(int32_t position) {
    if (position < 0 || position >= MAX_EFFECTS) return -1;
    std::lock_guard<std::mutex> lock(m_ChainLock);
    const Slot& slot = m_Slots[position];
    if (slot.type < 0) return -1;
    return slot.effect[0]->IsEnabled() ? 1 : 0;
}

void CEffectManager::SetEffectEnable(int32_t position, int32_t on) {
    if (position < 0 || position >= MAX_EFFECTS) return;
    std::lock_guard<std::mutex> lock(m_ChainLock);
    for (CBaseEffect* e : m_Slots[position].effect)
        if (e) e->SetEnable(on);
}

const wchar_t* CEffectManager::GetEffectName(int32_t type) const {
    const EffectTypeInfo* info = GetEffectTypeInfo(type);
    return info ? info->name : nullptr;
}

int32_t CEffectManager::GetEffectType(int32_t position) {
    if (position < 0 || position >= MAX_EFFECTS) return -1;
    std::lock_guard<std::mutex> lock(m_ChainLock);
    return m_Slots[position].type;
}

void CEffectManager::SetStreamFormat(int32_t channels, int32_t sampleRate) {
    if (channels < 1 || channels > MAX_CHANNELS || !fx::IsUsableRate(sampleRate)) return;
    if (channels == m_Channels.load(std::memory_order_relaxed) &&
        sampleRate == m_KnownRate.load(std::memory_order_relaxed))
        return;
    std::lock_guard<std::mutex> lock(m_ChainLock);
    const bool channelsChanged = channels != m_Channels.load(std::memory_order_relaxed);
    m_Channels.store(channels, std::memory_order_relaxed);
    m_KnownRate.store(sampleRate, std::memory_order_relaxed);
    m_EngineRate = sampleRate;
    for (Slot& slot : m_Slots) {
        if (slot.type < 0) continue;
        if (channelsChanged) {
            // Fresh instances for every channel: a second channel must not start
            // from the first one's history.
            int32_t values[EFFECT_MAX_VALUES];
            std::copy(slot.values, slot.values + EFFECT_MAX_VALUES, values);
            const int32_t enabled = slot.effect[0]->IsEnabled();
            BuildSlot(slot, slot.type, values, sampleRate, enabled);
        } else {
            for (CBaseEffect* e : slot.effect)
                if (e) e->SetParams(slot.values, sampleRate);
        }
    }
}

bool CEffectManager::EnsureScratch(int32_t count) {
    if (count <= m_WorkCapacity) return true;
    double* left = new (std::nothrow) double[count];
    double* right = new (std::nothrow) double[count];
    int16_t* result = new (std::nothrow) int16_t[count];
    if (!left || !right || !result) {
        delete[] left;
        delete[] right;
        delete[] result;
        return false;
    }
    delete[] m_Work[0];
    delete[] m_Work[1];
    delete[] m_Result;
    m_Work[0] = left;
    m_Work[1] = right;
    m_Result = result;
    m_WorkCapacity = count;
    return true;
}

int32_t CEffectManager::ProcessChain(const int16_t* samples, int32_t count) {
    if (!samples || count <= 0) return count > 0 ? count : 0;
    const int16_t* out = samples;
    {
        std::lock_guard<std::mutex> lock(m_ChainLock);
        if (EnsureScratch(count)) {
            const int32_t channels = m_Channels.load(std::memory_order_relaxed);
            const int32_t frames = count / channels;
            // Split the interleaved block into one plane per channel.
            if (channels == 1) {
                for (int32_t f = 0; f < frames; ++f)
                    m_Work[0][f] = samples[f] * (1.0 / 32768.0);
            } else {
                double* left = m_Work[0];
                double* right = m_Work[1];
                for (int32_t f = SplitStereo(samples, left, right, frames); f < frames; ++f) {
                    left[f] = samples[2 * f] * (1.0 / 32768.0);
                    right[f] = samples[2 * f + 1] * (1.0 / 32768.0);
                }
            }
            for (const Slot& slot : m_Slots) {
                if (slot.type < 0) continue;
                CBaseEffect* left = slot.effect[0];
                CBaseEffect* right = slot.effect[1];
                if (channels == 2 && left && right && left->IsEnabled() && right->IsEnabled()) {
                    left->ProcessPair(*right, m_Work[0], m_Work[1], frames);
                    continue;
                }
                for (int32_t c = 0; c < channels; ++c)
                    if (slot.effect[c] && slot.effect[c]->IsEnabled())
                        slot.effect[c]->Process(m_Work[c], frames);
            }
            if (channels == 1) {
                for (int32_t f = 0; f < frames; ++f)
                    m_Result[f] = ToSample(m_Work[0][f]);
            } else {
                const double* left = m_Work[0];
                const double* right = m_Work[1];
                for (int32_t f = MergeStereo(left, right, m_Result, frames); f < frames; ++f) {
                    m_Result[2 * f] = ToSample(left[f]);
                    m_Result[2 * f + 1] = ToSample(right[f]);
                }
            }
            // A stereo block never ends in half a frame; if one does, that sample
            // passes unchanged rather than shifting the channels of later blocks.
            for (int32_t i = frames * channels; i < count; ++i)
                m_Result[i] = samples[i];
            out = m_Result;
        } else {
            plat::Trace("[CEffectManager] no memory for a block of %d samples\n", count);
        }
    }
    // m_Result is only ever touched by this (the sound) thread, so it can be read
    // after the chain lock is released.
    WriteRing(out, count);
    return count;
}

void CEffectManager::WriteRing(const int16_t* samples, int32_t count) {
    std::lock_guard<std::mutex> lock(m_OutputLock);
    const uint32_t n = static_cast<uint32_t>(count);
    uint32_t freeSpace = (m_ReadIndex - m_WriteIndex) & (RING_SIZE - 1);
    if (freeSpace == 0) freeSpace = RING_SIZE;
    if (freeSpace < n) m_ReadIndex = (m_ReadIndex + n - freeSpace) & (RING_SIZE - 1);
    // Only the last RING_SIZE samples of an overlong block can stay in the ring;
    // writing the earlier ones would only overwrite them again.
    uint32_t skip = n > RING_SIZE ? n - RING_SIZE : 0;
    m_WriteIndex = (m_WriteIndex + skip) & (RING_SIZE - 1);
    for (uint32_t done = skip; done < n;) {
        uint32_t run = std::min(n - done, RING_SIZE - m_WriteIndex);
        std::memcpy(m_Ring + m_WriteIndex, samples + done, run * sizeof(int16_t));
        m_WriteIndex = (m_WriteIndex + run) & (RING_SIZE - 1);
        done += run;
    }
}

void CEffectManager::ReadChainOutput(int16_t* samples, int32_t count) {
    if (!samples || count <= 0) return;
    std::lock_guard<std::mutex> lock(m_OutputLock);
    const uint32_t available = (m_WriteIndex - m_ReadIndex) & (RING_SIZE - 1);
    const uint32_t k = std::min<uint32_t>(available, static_cast<uint32_t>(count));
    for (uint32_t done = 0; done < k;) {
        uint32_t run = std::min(k - done, RING_SIZE - m_ReadIndex);
        std::memcpy(samples + done, m_Ring + m_ReadIndex, run * sizeof(int16_t));
        m_ReadIndex = (m_ReadIndex + run) & (RING_SIZE - 1);
        done += run;
    }
    std::fill(samples + k, samples + count, 0);
}
