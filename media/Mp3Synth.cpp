// The hybrid filter bank's second half: alias reduction, IMDCT with
// overlap-add and frequency inversion, then the polyphase synthesis filter.
#include "media/Mp3Internal.h"
#include "media/Mp3Tables.h"

#include <algorithm>
#include <cmath>

namespace mp3 {
namespace {

constexpr double kPi = 3.14159265358979323846;

struct SynthTables {
    float aliasCs[8], aliasCa[8];
    float imdctLong[36][18];
    float imdctShort[12][6];
    float windowLong[4][36];  // by block type; type 2 unused here
    float windowShort[12];
    float matrix[64][32];
    float window[512];

    SynthTables() {
        static const double c[8] = {-0.6, -0.535, -0.33, -0.185, -0.095, -0.041, -0.0142, -0.0037};
        for (int i = 0; i < 8; ++i) {
            const double sq = std::sqrt(1.0 + c[i] * c[i]);
            aliasCs[i] = float(1.0 / sq);
            aliasCa[i] = float(c[i] / sq);
        }
        for (int i = 0; i < 36; ++i)
            for (int k = 0; k < 18; ++k) imdctLong[i][k] = float(std::cos(kPi / 72 * (2 * i + 1 + 18) * (2 * k + 1)));
        for (int i = 0; i < 12; ++i)
            for (int k = 0; k < 6; ++k) imdctShort[i][k] = float(std::cos(kPi / 24 * (2 * i + 1 + 6) * (2 * k + 1)));
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
        for (int i = 0; i < 12; ++i) windowShort[i] = float(std::sin(kPi / 12 * (i + 0.5)));
        for (int i = 0; i < 64; ++i)
            for (int k = 0; k < 32; ++k) matrix[i][k] = float(std::cos((16 + i) * (2 * k + 1) * kPi / 64));
        for (int i = 0; i < 512; ++i) window[i] = float(kSynthWindow[i] / 65536.0);
    }
};

const SynthTables& Tables() {
    static const SynthTables tables;
    return tables;
}

void ImdctLong(const SynthTables& t, const float* in, const float* window, float* overlap, float* out) {
    float z[36];
    for (int i = 0; i < 36; ++i) {
        float sum = 0.0f;
        for (int k = 0; k < 18; ++k) sum += in[k] * t.imdctLong[i][k];
        z[i] = sum * window[i];
    }
    for (int i = 0; i < 18; ++i) {
        out[i] = z[i] + overlap[i];
        overlap[i] = z[i + 18];
    }
}

void ImdctShort(const SynthTables& t, const float* in, float* overlap, float* out) {
    float z[36] = {};
    for (int w = 0; w < 3; ++w) {
        for (int i = 0; i < 12; ++i) {
            float sum = 0.0f;
            for (int k = 0; k < 6; ++k) sum += in[3 * k + w] * t.imdctShort[i][k];
            z[6 + 6 * w + i] += sum * t.windowShort[i];
        }
    }
    for (int i = 0; i < 18; ++i) {
        out[i] = z[i] + overlap[i];
        overlap[i] = z[i + 18];
    }
}

}  // namespace

void HybridSynthesis(float* xr, float overlap[32][18], uint32_t blockType, uint32_t mixed, uint32_t nonzero,
                     float out[18][32]) {
    const SynthTables& t = Tables();
    const bool shortBlocks = blockType == 2;
    // Alias reduction spreads the last coded subband into the next one.
    const uint32_t active = std::min(32u, (nonzero + 17) / 18 + 1);
    const uint32_t aliasLimit = shortBlocks ? (mixed ? 2 : 0) : active;
    for (uint32_t sb = 1; sb < aliasLimit; ++sb) {
        float* lo = xr + 18 * sb - 1;
        float* hi = xr + 18 * sb;
        for (int i = 0; i < 8; ++i) {
            const float bu = lo[-i];
            const float bd = hi[i];
            lo[-i] = bu * t.aliasCs[i] - bd * t.aliasCa[i];
            hi[i] = bd * t.aliasCs[i] + bu * t.aliasCa[i];
        }
    }
    for (uint32_t sb = 0; sb < 32; ++sb) {
        float slot[18];
        if (sb >= active) {
            for (int i = 0; i < 18; ++i) {
                slot[i] = overlap[sb][i];
                overlap[sb][i] = 0.0f;
            }
        } else if (shortBlocks && !(mixed && sb < 2)) {
            ImdctShort(t, xr + 18 * sb, overlap[sb], slot);
        } else {
            // The two lowest subbands of a mixed block take the normal window,
            // whatever the block type.
            const uint32_t window = (shortBlocks || (mixed && sb < 2)) ? 0 : blockType;
            ImdctLong(t, xr + 18 * sb, t.windowLong[window], overlap[sb], slot);
        }
        if (sb & 1)
            for (int i = 1; i < 18; i += 2) slot[i] = -slot[i];
        for (int i = 0; i < 18; ++i) out[i][sb] = slot[i];
    }
}

void PolyphaseSynthesis(const float in[18][32], float* buffer, uint32_t* offset, int16_t* pcm, uint32_t stride) {
    const SynthTables& t = Tables();
    for (int slot = 0; slot < 18; ++slot) {
        const uint32_t off = (*offset + 1024 - 64) & 1023;
        *offset = off;
        float* v = buffer + off;
        for (int i = 0; i < 64; ++i) {
            float sum = 0.0f;
            for (int k = 0; k < 32; ++k) sum += t.matrix[i][k] * in[slot][k];
            v[i] = sum;
        }
        for (int j = 0; j < 32; ++j) {
            float sum = 0.0f;
            for (int i = 0; i < 8; ++i) {
                sum += buffer[(off + 128 * i + j) & 1023] * t.window[64 * i + j];
                sum += buffer[(off + 128 * i + 96 + j) & 1023] * t.window[64 * i + 32 + j];
            }
            float s = sum * 32767.0f;
            s = std::clamp(s, -32767.0f, 32767.0f);
            pcm[(slot * 32 + j) * stride] = static_cast<int16_t>(s);
        }
    }
}

}  // namespace mp3
