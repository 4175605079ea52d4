// The windowed-sinc FIR shared by FIR BPF, FIR HPF and FIR LPF: 65 taps, a Hann
// window. The output lags the input by 32 samples.
//
// Only the last 64 inputs matter to a 65-tap filter, so that is all the history
// kept. A block is filtered in chunks: for each tap, every output of a group
// takes its product in turn. Each output still adds its products in tap order
// 0..64 starting from 0.0 (the same sum, bit for bit, as one sample at a time),
// but the outputs of a chunk are independent of each other, which lets the
// compiler run them side by side.
#pragma once

#include "effects/EffectMath.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#define FIR_HAVE_AVX 1
#else
#define FIR_HAVE_AVX 0
#endif

namespace fx {

struct FirLine {
    static constexpr int TAPS = 65;
    static constexpr int HISTORY = TAPS - 1;
    static constexpr int CHUNK = 512; // a 10 ms block at 48 kHz fits in one

    double h[TAPS];
    // [0, HISTORY): the last inputs before the chunk, oldest first; then the chunk.
    double line[HISTORY + CHUNK];
    int32_t fs = 48000;

    void Clear() { std::fill(line, line + HISTORY + CHUNK, 0.0); }
    void ChangeRate(int32_t sampleRate) {
        if (sampleRate != fs) {
            Clear();
            fs = sampleRate;
        }
    }
    // 2f * sinc(2 pi f n): the ideal low-pass of cut-off f (a fraction of the rate).
    static double LowPass(double f, int n) {
        if (n == 0) return 2.0 * f;
        double u = TWO_PI * f * n;
        return u == 0.0 ? 2.0 * f : 2.0 * f * (std::sin(u) / u);
    }
    static double Window(int k) { return 0.5 * (1.0 - std::cos(k * 0.09817477042468103)); }

    void Process(double* x, int32_t n) {
        while (n > 0) {
            const int c = n < CHUNK ? static_cast<int>(n) : CHUNK;
            std::copy(x, x + c, line + HISTORY);
            // The inputs are in the line now, so the outputs may overwrite x.
            Filter(x, c);
            // Keep the newest HISTORY inputs for the next chunk.
            std::copy(line + c, line + c + HISTORY, line);
            x += c;
            n -= c;
        }
    }

  private:
    // Each output's sum is a chain of 65 dependent adds; eight accumulators in
    // flight keep the adder busy instead of waiting on each add in turn. The
    // same body serves the two-wide and the four-wide vector type.
#define SONVEL_FIR_GROUP(Vec, LANES, BROADCAST)                                                              \
    {                                                                                                        \
        Vec a0 = Vec{} * 0.0, a1 = a0, a2 = a0, a3 = a0, a4 = a0, a5 = a0, a6 = a0, a7 = a0;                 \
        for (int k = 0; k < TAPS; ++k) {                                                                     \
            const Vec hk = BROADCAST;                                                                        \
            const double* in = line + HISTORY - k + i;                                                       \
            Vec x0, x1, x2, x3, x4, x5, x6, x7;                                                              \
            std::memcpy(&x0, in + 0 * LANES, sizeof(Vec));                                                   \
            std::memcpy(&x1, in + 1 * LANES, sizeof(Vec));                                                   \
            std::memcpy(&x2, in + 2 * LANES, sizeof(Vec));                                                   \
            std::memcpy(&x3, in + 3 * LANES, sizeof(Vec));                                                   \
            std::memcpy(&x4, in + 4 * LANES, sizeof(Vec));                                                   \
            std::memcpy(&x5, in + 5 * LANES, sizeof(Vec));                                                   \
            std::memcpy(&x6, in + 6 * LANES, sizeof(Vec));                                                   \
            std::memcpy(&x7, in + 7 * LANES, sizeof(Vec));                                                   \
            a0 += hk * x0;                                                                                   \
            a1 += hk * x1;                                                                                   \
            a2 += hk * x2;                                                                                   \
            a3 += hk * x3;                                                                                   \
            a4 += hk * x4;                                                                                   \
            a5 += hk * x5;                                                                                   \
            a6 += hk * x6;                                                                                   \
            a7 += hk * x7;                                                                                   \
        }                                                                                                    \
        std::memcpy(out + i + 0 * LANES, &a0, sizeof(Vec));                                                  \
        std::memcpy(out + i + 1 * LANES, &a1, sizeof(Vec));                                                  \
        std::memcpy(out + i + 2 * LANES, &a2, sizeof(Vec));                                                  \
        std::memcpy(out + i + 3 * LANES, &a3, sizeof(Vec));                                                  \
        std::memcpy(out + i + 4 * LANES, &a4, sizeof(Vec));                                                  \
        std::memcpy(out + i + 5 * LANES, &a5, sizeof(Vec));                                                  \
        std::memcpy(out + i + 6 * LANES, &a6, sizeof(Vec));                                                  \
        std::memcpy(out + i + 7 * LANES, &a7, sizeof(Vec));                                                  \
    }

    // Two doubles side by side (the compilers' generic vector extension, SSE2 on x86-64).
    typedef double Pair __attribute__((vector_size(16)));

    // Outputs 0..c-1 of the chunk: groups as wide as the processor allows, then
    // narrower ones, then single outputs (the same sums one at a time), so an
    // uneven block never falls back to the slow path for more than 15 outputs.
    void Filter(double* out, int c) {
        int i = 0;
#if FIR_HAVE_AVX
        if (HasAvx()) i = FilterAvx(out, c);
#endif
        for (; i + 16 <= c; i += 16)
            SONVEL_FIR_GROUP(Pair, 2, (Pair{h[k], h[k]}))
        for (; i < c; ++i) {
            double a = 0.0;
            for (int k = 0; k < TAPS; ++k)
                a += h[k] * line[HISTORY - k + i];
            out[i] = a;
        }
    }

#if FIR_HAVE_AVX
    static bool HasAvx() {
        static const bool avx = __builtin_cpu_supports("avx");
        return avx;
    }
    // The same sums four outputs wide where the processor has AVX. Plain
    // multiplies and adds (no fused multiply-add), so every output is the same
    // double as on the two-wide path. Returns how many outputs it made.
    typedef double Quad __attribute__((vector_size(32)));
    __attribute__((target("avx"))) int FilterAvx(double* out, int c) {
        int i = 0;
        for (; i + 32 <= c; i += 32)
            SONVEL_FIR_GROUP(Quad, 4, (Quad{h[k], h[k], h[k], h[k]}))
        return i;
    }
#endif
#undef SONVEL_FIR_GROUP
};

} // namespace fx
