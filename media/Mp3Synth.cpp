// The hybrid filter bank's second half: alias reduction, IMDCT with
// overlap-add and frequency inversion, then the polyphase synthesis filter.
#include "media/Mp3Internal.h"
#include "media/Mp3Tables.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <emmintrin.h>
#include <xmmintrin.h>

namespace mp3 {
namespace {

constexpr double kPi = 3.14159265358979323846;

struct SynthTables {
    float aliasCs[8], aliasCa[8];
    // [block type][k][c]: input k's weight in windowed output c of the long
    // IMDCT, c = 0-17 the half added to the overlap, 20-37 the half kept for
    // the next granule; columns 18, 19, 38, 39 are zero padding (rows of 20).
    // Type 2 is unused here.
    alignas(16) float imdctWindowed[4][18][40];
    float imdctShort[12][6];
    float windowLong[4][36]; // by block type; type 2 unused here
    float windowShort[12];
    float dctScale[33][16]; // [n][k]: 1 / (2 cos(pi (2k+1) / 2n)) for the n-point DCT split
    alignas(16) float window[512];

    SynthTables() {
        static const double c[8] = {-0.6, -0.535, -0.33, -0.185, -0.095, -0.041, -0.0142, -0.0037};
        for (int i = 0; i < 8; ++i) {
            const double sq = std::sqrt(1.0 + c[i] * c[i]);
            aliasCs[i] = float(1.0 / sq);
            aliasCa[i] = float(c[i] / sq);
        }
        for (int i = 0; i < 12; ++i)
            for (int k = 0; k < 6; ++k)
                imdctShort[i][k] = float(std::cos(kPi / 24 * (2 * i + 1 + 6) * (2 * k + 1)));
        for (int i = 0; i < 36; ++i) {
            const float normal = float(std::sin(kPi / 36 * (i + 0.5)));
            windowLong[0][i] = normal;
            windowLong[2][i] = normal;
            // Start block: long rise, flat, short fall, silence.
            windowLong[1][i] = i < 18   ? normal
                               : i < 24 ? 1.0f
                               : i < 30 ? float(std::sin(kPi / 12 * (i - 18 + 0.5)))
                                        : 0.0f;
            // Stop block: the mirror image.
            windowLong[3][i] = i < 6    ? 0.0f
                               : i < 12 ? float(std::sin(kPi / 12 * (i - 6 + 0.5)))
                               : i < 18 ? 1.0f
                                        : normal;
        }
        for (int i = 0; i < 12; ++i)
            windowShort[i] = float(std::sin(kPi / 12 * (i + 0.5)));
        // x[i] = sum_k X[k] cos(pi / 72 (2i + 1 + 18)(2k + 1)), i = 0..35, times the window.
        for (int type = 0; type < 4; ++type) {
            for (int k = 0; k < 18; ++k) {
                for (int c = 0; c < 40; ++c) {
                    const int i = c < 18 ? c : c - 2;
                    const bool pad = c == 18 || c == 19 || c >= 38;
                    imdctWindowed[type][k][c] =
                        pad ? 0.0f
                            : float(std::cos(kPi / 72 * (2 * i + 1 + 18) * (2 * k + 1)) *
                                    windowLong[type][i]);
                }
            }
        }
        for (int n = 1; n <= 32; n *= 2)
            for (int k = 0; k < n / 2; ++k)
                dctScale[n][k] = float(0.5 / std::cos(kPi * (2 * k + 1) / (2.0 * n)));
        for (int i = 0; i < 512; ++i)
            window[i] = float(kSynthWindow[i] / 65536.0);
    }
};

const SynthTables& Tables() {
    static const SynthTables tables;
    return tables;
}

// The long IMDCT with its window folded into the coefficients: 36 outputs
// from 18 inputs, held as ten vectors of four while the inputs go by. `flip`
// negates the odd time slots (frequency inversion of the odd subbands).
void ImdctLong(const float (*table)[40], const float* in, float* overlap, float* out, __m128 flip) {
    __m128 acc[10];
#pragma GCC unroll 10
    for (int c = 0; c < 10; ++c)
        acc[c] = _mm_setzero_ps();
#pragma GCC unroll 18
    for (int k = 0; k < 18; ++k) {
        const __m128 x = _mm_set1_ps(in[k]);
#pragma GCC unroll 10
        for (int c = 0; c < 10; ++c)
            acc[c] = _mm_add_ps(acc[c], _mm_mul_ps(x, _mm_load_ps(table[k] + 4 * c)));
    }
#pragma GCC unroll 5
    for (int c = 0; c < 5; ++c) {
        _mm_storeu_ps(out + 4 * c, _mm_xor_ps(_mm_add_ps(acc[c], _mm_loadu_ps(overlap + 4 * c)), flip));
        _mm_storeu_ps(overlap + 4 * c, acc[5 + c]);
    }
}

constexpr int kLanes = 20; // 18 time slots, padded for vector code
using Lanes = float[kLanes];

// DCT-II, X[n] = sum_k x[k] cos(pi (2k + 1) n / 2N), by halving: the even
// outputs are the half-size DCT of the folded sums, the odd ones adjacent
// pairs of the half-size DCT of the scaled differences. Every value is a row
// of lanes (the 18 time slots of a granule), transformed side by side.
template <int N> void Dct(const SynthTables& t, const Lanes* in, Lanes* out) {
    if constexpr (N == 1) {
        for (int l = 0; l < kLanes; ++l)
            out[0][l] = in[0][l];
    } else {
        Lanes a[N / 2], b[N / 2], ea[N / 2], eb[N / 2];
        for (int k = 0; k < N / 2; ++k) {
            const float scale = t.dctScale[N][k];
            for (int l = 0; l < kLanes; ++l) {
                a[k][l] = in[k][l] + in[N - 1 - k][l];
                b[k][l] = (in[k][l] - in[N - 1 - k][l]) * scale;
            }
        }
        Dct<N / 2>(t, a, ea);
        Dct<N / 2>(t, b, eb);
        for (int m = 0; m + 1 < N / 2; ++m) {
            for (int l = 0; l < kLanes; ++l) {
                out[2 * m][l] = ea[m][l];
                out[2 * m + 1][l] = eb[m][l] + eb[m + 1][l];
            }
        }
        for (int l = 0; l < kLanes; ++l) {
            out[N - 2][l] = ea[N / 2 - 1][l];
            out[N - 1][l] = eb[N / 2 - 1][l];
        }
    }
}

void ImdctShort(const SynthTables& t, const float* in, float* overlap, float* out) {
    float z[36] = {};
    for (int w = 0; w < 3; ++w) {
        for (int i = 0; i < 12; ++i) {
            float sum = 0.0f;
            for (int k = 0; k < 6; ++k)
                sum += in[3 * k + w] * t.imdctShort[i][k];
            z[6 + 6 * w + i] += sum * t.windowShort[i];
        }
    }
    for (int i = 0; i < 18; ++i) {
        out[i] = z[i] + overlap[i];
        overlap[i] = z[i + 18];
    }
}

} // namespace

void HybridSynthesis(float* xr, float overlap[32][20], uint32_t blockType, uint32_t mixed, uint32_t nonzero,
                     float out[32][20]) {
    const SynthTables& t = Tables();
    const bool shortBlocks = blockType == 2;
    // Alias reduction spreads the last coded subband into the next one.
    const uint32_t active = std::min(32u, (nonzero + 17) / 18 + 1);
    const uint32_t aliasLimit = shortBlocks ? (mixed ? 2 : 0) : active;
    // Eight butterflies across each subband boundary, four at a time: the
    // lines below the boundary are taken in reverse order.
    const __m128 cs0 = _mm_loadu_ps(t.aliasCs), cs1 = _mm_loadu_ps(t.aliasCs + 4);
    const __m128 ca0 = _mm_loadu_ps(t.aliasCa), ca1 = _mm_loadu_ps(t.aliasCa + 4);
    for (uint32_t sb = 1; sb < aliasLimit; ++sb) {
        float* edge = xr + 18 * sb;
        const __m128 bu0 = _mm_shuffle_ps(_mm_loadu_ps(edge - 4), _mm_loadu_ps(edge - 4), 0x1B);
        const __m128 bu1 = _mm_shuffle_ps(_mm_loadu_ps(edge - 8), _mm_loadu_ps(edge - 8), 0x1B);
        const __m128 bd0 = _mm_loadu_ps(edge), bd1 = _mm_loadu_ps(edge + 4);
        const __m128 lo0 = _mm_sub_ps(_mm_mul_ps(bu0, cs0), _mm_mul_ps(bd0, ca0));
        const __m128 lo1 = _mm_sub_ps(_mm_mul_ps(bu1, cs1), _mm_mul_ps(bd1, ca1));
        _mm_storeu_ps(edge, _mm_add_ps(_mm_mul_ps(bd0, cs0), _mm_mul_ps(bu0, ca0)));
        _mm_storeu_ps(edge + 4, _mm_add_ps(_mm_mul_ps(bd1, cs1), _mm_mul_ps(bu1, ca1)));
        _mm_storeu_ps(edge - 4, _mm_shuffle_ps(lo0, lo0, 0x1B));
        _mm_storeu_ps(edge - 8, _mm_shuffle_ps(lo1, lo1, 0x1B));
    }
    const __m128 none = _mm_setzero_ps();
    const __m128 odd = _mm_castsi128_ps(_mm_set_epi32(int(0x80000000), 0, int(0x80000000), 0));
    for (uint32_t sb = 0; sb < 32; ++sb) {
        const __m128 flip = (sb & 1) ? odd : none;
        if (sb >= active) {
            for (int c = 0; c < 20; c += 4) {
                _mm_storeu_ps(out[sb] + c, _mm_xor_ps(_mm_loadu_ps(overlap[sb] + c), flip));
                _mm_storeu_ps(overlap[sb] + c, none);
            }
        } else if (shortBlocks && !(mixed && sb < 2)) {
            float slot[20];
            ImdctShort(t, xr + 18 * sb, overlap[sb], slot);
            slot[18] = slot[19] = 0.0f;
            for (int c = 0; c < 20; c += 4)
                _mm_storeu_ps(out[sb] + c, _mm_xor_ps(_mm_loadu_ps(slot + c), flip));
        } else {
            // The two lowest subbands of a mixed block take the normal window,
            // whatever the block type.
            const uint32_t window = (shortBlocks || (mixed && sb < 2)) ? 0 : blockType;
            ImdctLong(t.imdctWindowed[window], xr + 18 * sb, overlap[sb], out[sb], flip);
        }
    }
}

void PolyphaseSynthesis(const float in[32][20], float* buffer, uint32_t* offset, int16_t* pcm) {
    const SynthTables& t = Tables();
    // V[i] = sum_k cos((16 + i)(2k + 1) pi / 64) S[k] comes from the 32-point
    // DCT-II X of S: X[i+16] for i < 16, 0 at 16, -X[48-i] up to 47 and
    // -X[i-48] beyond. All 18 slots are transformed at once.
    Lanes x[32];
    Dct<32>(t, in, x);
    // Turned so that each slot's 32 values lie side by side (4 x 4 blocks).
    alignas(16) float xt[kLanes][32];
    for (int k0 = 0; k0 < 32; k0 += 4) {
        for (int l0 = 0; l0 < kLanes; l0 += 4) {
            __m128 r0 = _mm_loadu_ps(&x[k0][l0]), r1 = _mm_loadu_ps(&x[k0 + 1][l0]);
            __m128 r2 = _mm_loadu_ps(&x[k0 + 2][l0]), r3 = _mm_loadu_ps(&x[k0 + 3][l0]);
            _MM_TRANSPOSE4_PS(r0, r1, r2, r3);
            _mm_store_ps(&xt[l0][k0], r0);
            _mm_store_ps(&xt[l0 + 1][k0], r1);
            _mm_store_ps(&xt[l0 + 2][k0], r2);
            _mm_store_ps(&xt[l0 + 3][k0], r3);
        }
    }
    const __m128 sign = _mm_set1_ps(-0.0f);
    const __m128 scale = _mm_set1_ps(32767.0f);
    const __m128 hi = _mm_set1_ps(32767.0f), lo = _mm_set1_ps(-32767.0f);
    for (int slot = 0; slot < 18; ++slot) {
        const uint32_t off = (*offset + 1024 - 64) & 1023;
        *offset = off;
        // The history is kept twice, 1024 values apart, so that the window
        // reads below never wrap.
        float* v = buffer + off;
        const float* xs = xt[slot];
        for (int i = 0; i < 16; i += 4)
            _mm_storeu_ps(v + i, _mm_load_ps(xs + 16 + i));
        v[16] = 0.0f;
        // v[17..48] = -X[31..0] (reversed four at a time); v[48] is rewritten below with the same value.
        for (int i = 0; i < 32; i += 4) {
            const __m128 r = _mm_shuffle_ps(_mm_load_ps(xs + 28 - i), _mm_load_ps(xs + 28 - i), 0x1B);
            _mm_storeu_ps(v + 17 + i, _mm_xor_ps(r, sign));
        }
        for (int i = 0; i < 16; i += 4)
            _mm_storeu_ps(v + 48 + i, _mm_xor_ps(_mm_load_ps(xs + i), sign));
        std::memcpy(v + 1024, v, 64 * sizeof(float));

        // Sixteen window taps per output, all 32 outputs in registers at once;
        // each output adds its taps in the same order as one at a time would.
        __m128 acc[8];
#pragma GCC unroll 8
        for (int j = 0; j < 8; ++j)
            acc[j] = _mm_setzero_ps();
        for (int i = 0; i < 8; ++i) {
            const float* a = buffer + off + 128 * i;
            const float* b = a + 96;
            const float* wa = t.window + 64 * i;
            const float* wb = wa + 32;
#pragma GCC unroll 8
            for (int j = 0; j < 8; ++j) {
                const __m128 pa = _mm_mul_ps(_mm_loadu_ps(a + 4 * j), _mm_load_ps(wa + 4 * j));
                const __m128 pb = _mm_mul_ps(_mm_loadu_ps(b + 4 * j), _mm_load_ps(wb + 4 * j));
                acc[j] = _mm_add_ps(acc[j], _mm_add_ps(pa, pb));
            }
        }
        // Scaled, limited and truncated toward zero to 16 bits.
        int16_t* o = pcm + slot * 32;
#pragma GCC unroll 4
        for (int j = 0; j < 8; j += 2) {
            const __m128 s0 = _mm_min_ps(_mm_max_ps(_mm_mul_ps(acc[j], scale), lo), hi);
            const __m128 s1 = _mm_min_ps(_mm_max_ps(_mm_mul_ps(acc[j + 1], scale), lo), hi);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(o + 4 * j),
                             _mm_packs_epi32(_mm_cvttps_epi32(s0), _mm_cvttps_epi32(s1)));
        }
    }
}

} // namespace mp3
