// Layer III decoding: input ring, frame sync, side information, bit
// reservoir, scale factors, requantisation, stereo processing, reordering.
// Huffman decoding lives in Mp3Huffman.cpp, the filter banks in Mp3Synth.cpp.
#include "media/Mp3Decode.h"

#include "media/Mp3Header.h"
#include "media/Mp3Internal.h"
#include "media/Mp3Tables.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <emmintrin.h>

using namespace mp3;

namespace {

constexpr uint32_t kRingMask = MP3_RING_BYTES - 1;
static_assert((MP3_RING_BYTES & kRingMask) == 0, "ring size must be a power of two");

uint32_t Buffered(const Mp3DecoderState* s) {
    return (s->writeIndex - s->readIndex) & kRingMask;
}

void RingCopy(const Mp3DecoderState* s, uint32_t offset, uint8_t* dst, uint32_t n) {
    const uint32_t start = (s->readIndex + offset) & kRingMask;
    const uint32_t first = std::min(n, MP3_RING_BYTES - start);
    std::memcpy(dst, s->ring + start, first);
    std::memcpy(dst + first, s->ring, n - first);
}

void Consume(Mp3DecoderState* s, uint32_t n) {
    s->readIndex = (s->readIndex + n) & kRingMask;
    s->consumed += n;
}

bool IsLsf(const Mp3DecoderState* s) {
    return s->versionSlot != 0;
}

void ReadSideInfo(Mp3DecoderState* s, const uint8_t* bytes, uint32_t channels) {
    BitReader br{bytes, 0};
    Mp3SideInfo& si = s->side;
    const bool lsf = IsLsf(s);
    if (!lsf) {
        si.mainDataBegin = br.Get(9);
        si.privateBits = br.Get(channels == 1 ? 5 : 3);
        for (uint32_t ch = 0; ch < channels; ++ch)
            for (int b = 0; b < 4; ++b)
                si.scfsi[ch][b] = br.Get(1);
    } else {
        si.mainDataBegin = br.Get(8);
        si.privateBits = br.Get(channels == 1 ? 1 : 2);
        std::memset(si.scfsi, 0, sizeof si.scfsi);
    }
    const uint32_t granules = lsf ? 1 : 2;
    for (uint32_t gr = 0; gr < granules; ++gr) {
        for (uint32_t ch = 0; ch < channels; ++ch) {
            Mp3GranuleInfo& g = si.gr[gr][ch];
            g.part23Length = br.Get(12);
            g.bigValues = std::min(br.Get(9), 288u);
            g.globalGain = br.Get(8);
            g.scalefacCompress = br.Get(lsf ? 9 : 4);
            g.windowSwitching = br.Get(1);
            if (g.windowSwitching) {
                g.blockType = br.Get(2);
                g.mixedBlock = br.Get(1);
                g.tableSelect[0] = br.Get(5);
                g.tableSelect[1] = br.Get(5);
                g.tableSelect[2] = 0;
                for (int w = 0; w < 3; ++w)
                    g.subblockGain[w] = br.Get(3);
                g.region0Count = (g.blockType == 2 && !g.mixedBlock) ? 8 : 7;
                g.region1Count = 36; // region 1 runs to the end of the big values
            } else {
                g.blockType = 0;
                g.mixedBlock = 0;
                for (int r = 0; r < 3; ++r)
                    g.tableSelect[r] = br.Get(5);
                for (int w = 0; w < 3; ++w)
                    g.subblockGain[w] = 0;
                g.region0Count = br.Get(4);
                g.region1Count = br.Get(3);
            }
            g.preflag = lsf ? 0 : br.Get(1);
            g.scalefacScale = br.Get(1);
            g.count1Table = br.Get(1);
        }
    }
}

bool IsShort(const Mp3GranuleInfo& g) {
    return g.windowSwitching && g.blockType == 2;
}

void ReadScaleFactorsMpeg1(Mp3DecoderState* s, BitReader& br, uint32_t gr, uint32_t ch) {
    const Mp3GranuleInfo& g = s->side.gr[gr][ch];
    const uint32_t slen1 = kSlen[0][g.scalefacCompress & 15];
    const uint32_t slen2 = kSlen[1][g.scalefacCompress & 15];
    uint8_t* sl = s->scaleLong[ch];
    if (IsShort(g)) {
        uint32_t sfb = 0;
        if (g.mixedBlock) {
            for (; sfb < 8; ++sfb)
                sl[sfb] = uint8_t(br.Get(slen1));
            sfb = 3;
        }
        for (; sfb < 12; ++sfb)
            for (int w = 0; w < 3; ++w)
                s->scaleShort[ch][sfb][w] = uint8_t(br.Get(sfb < 6 ? slen1 : slen2));
        for (int w = 0; w < 3; ++w)
            s->scaleShort[ch][12][w] = 0;
    } else {
        static const uint8_t groups[5] = {0, 6, 11, 16, 21};
        for (int k = 0; k < 4; ++k) {
            if (gr == 1 && s->side.scfsi[ch][k]) continue; // granule 0's factors serve again
            const uint32_t slen = k < 2 ? slen1 : slen2;
            for (uint32_t sfb = groups[k]; sfb < groups[k + 1]; ++sfb)
                sl[sfb] = uint8_t(br.Get(slen));
        }
        sl[21] = 0;
    }
}

void ReadScaleFactorsLsf(Mp3DecoderState* s, BitReader& br, uint32_t ch) {
    Mp3GranuleInfo& g = s->side.gr[0][ch];
    const bool intensityRight = ch == 1 && s->mode == 1 && (s->modeExtension & 1);
    uint32_t slen[4];
    uint32_t split;
    uint32_t sfc = g.scalefacCompress;
    if (!intensityRight) {
        if (sfc < 400) {
            slen[0] = (sfc >> 4) / 5, slen[1] = (sfc >> 4) % 5, slen[2] = (sfc & 15) >> 2, slen[3] = sfc & 3;
            split = 0;
        } else if (sfc < 500) {
            sfc -= 400;
            slen[0] = (sfc >> 2) / 5, slen[1] = (sfc >> 2) % 5, slen[2] = sfc & 3, slen[3] = 0;
            split = 1;
        } else {
            sfc -= 500;
            slen[0] = sfc / 3, slen[1] = sfc % 3, slen[2] = 0, slen[3] = 0;
            split = 2;
            g.preflag = 1;
        }
    } else {
        s->intensityScale = (sfc & 1) ? 0.70710678118654752f : 0.84089641525371454f; // 2^-1/2, 2^-1/4
        uint32_t isc = sfc >> 1;
        if (isc < 180) {
            slen[0] = isc / 36, slen[1] = (isc % 36) / 6, slen[2] = (isc % 36) % 6, slen[3] = 0;
            split = 3;
        } else if (isc < 244) {
            isc -= 180;
            slen[0] = (isc % 64) >> 4, slen[1] = (isc % 16) >> 2, slen[2] = isc % 4, slen[3] = 0;
            split = 4;
        } else {
            isc -= 244;
            slen[0] = isc / 3, slen[1] = isc % 3, slen[2] = 0, slen[3] = 0;
            split = 5;
        }
    }
    const uint32_t kind = IsShort(g) ? (g.mixedBlock ? 2 : 1) : 0;
    uint8_t values[40];
    uint8_t illegal[40];
    uint32_t n = 0;
    for (int k = 0; k < 4; ++k) {
        for (uint32_t j = 0; j < kLsfBandCounts[split][kind][k] && n < 40; ++j, ++n) {
            values[n] = uint8_t(br.Get(slen[k]));
            illegal[n] = uint8_t((1u << slen[k]) - 1);
        }
    }
    std::memset(s->scaleLong[ch], 0, sizeof s->scaleLong[ch]);
    std::memset(s->scaleShort[ch], 0, sizeof s->scaleShort[ch]);
    if (kind == 0) {
        for (uint32_t sfb = 0; sfb < n && sfb < 21; ++sfb) {
            s->scaleLong[ch][sfb] = values[sfb];
            if (ch == 1) s->isIllegalLong[sfb] = illegal[sfb];
        }
    } else {
        uint32_t i = 0;
        if (kind == 2) {
            for (; i < 6 && i < n; ++i) {
                s->scaleLong[ch][i] = values[i];
                if (ch == 1) s->isIllegalLong[i] = illegal[i];
            }
        }
        const uint32_t firstShort = kind == 2 ? 3 : 0;
        for (uint32_t k = 0; i < n; ++i, ++k) {
            const uint32_t sfb = firstShort + k / 3;
            if (sfb >= 12) break;
            s->scaleShort[ch][sfb][k % 3] = values[i];
            if (ch == 1) s->isIllegalShort[sfb] = illegal[i];
        }
    }
}

void Requantize(Mp3DecoderState* s, uint32_t ch, const Mp3GranuleInfo& g) {
    const float* pow43 = Pow43Table(); // indexed by signed value
    const BandTable& bt = kBands[s->bandSlot];
    const int32_t* q = s->quantized[ch];
    float* xr = s->samples[ch];
    const uint32_t nz = s->nonzero[ch];
    const double multiplier = g.scalefacScale ? 1.0 : 0.5;
    const double base = (int(g.globalGain) - 210) * 0.25;
    auto apply = [&](uint32_t start, uint32_t end, double exponent) {
        end = std::min(end, 576u);
        if (start >= nz) {
            for (uint32_t i = start; i < end; ++i)
                xr[i] = 0.0f;
            return;
        }
        const float f = static_cast<float>(std::exp2(exponent));
        // Huffman values lie within +-8206 (15 plus 13 linbits).
        for (uint32_t i = start; i < end; ++i)
            xr[i] = pow43[q[i]] * f;
    };
    const uint8_t* sl = s->scaleLong[ch];
    if (IsShort(g)) {
        const uint32_t longEnd = 3u * bt.shortBounds[3];
        uint32_t sfbShort = 0;
        if (g.mixedBlock) {
            for (uint32_t sfb = 0; bt.longBounds[sfb] < longEnd; ++sfb)
                apply(bt.longBounds[sfb], std::min<uint32_t>(bt.longBounds[sfb + 1], longEnd),
                      base - multiplier * (sl[sfb] + (g.preflag ? kPretab[sfb] : 0)));
            sfbShort = 3;
        }
        for (uint32_t sfb = sfbShort; sfb < 13; ++sfb) {
            const uint32_t width = bt.shortBounds[sfb + 1] - bt.shortBounds[sfb];
            const uint32_t start = 3u * bt.shortBounds[sfb];
            for (uint32_t w = 0; w < 3; ++w)
                apply(start + w * width, start + (w + 1) * width,
                      base - 2.0 * g.subblockGain[w] - multiplier * s->scaleShort[ch][sfb][w]);
        }
    } else {
        for (uint32_t sfb = 0; sfb < 22; ++sfb)
            apply(bt.longBounds[sfb], bt.longBounds[sfb + 1],
                  base - multiplier * (sl[sfb] + (g.preflag ? kPretab[sfb] : 0)));
    }
}

void MidSide(float* l, float* r, uint32_t start, uint32_t end) {
    for (uint32_t i = start; i < end; ++i) {
        const double m = l[i], sd = r[i];
        l[i] = static_cast<float>((m + sd) * 0.7071067811865476);
        r[i] = static_cast<float>((m - sd) * 0.7071067811865476);
    }
}

// One intensity-coded band (or window of a band): the right channel is made
// from the left. A band whose position is the "illegal" one is left as it was
// coded (mid/side when that is on).
void IntensityBand(const Mp3DecoderState* s, float* l, float* r, uint32_t start, uint32_t end, uint32_t pos,
                   uint32_t illegalPos, bool ms) {
    double kl, kr;
    if (!IsLsf(s)) {
        if (pos >= 7) {
            if (ms) MidSide(l, r, start, end);
            return;
        }
        if (pos == 6) {
            kl = 1.0, kr = 0.0;
        } else {
            const double t = std::tan(pos * 3.14159265358979323846 / 12.0);
            kl = t / (1.0 + t), kr = 1.0 / (1.0 + t);
        }
    } else {
        if (pos == illegalPos) {
            if (ms) MidSide(l, r, start, end);
            return;
        }
        const double io = s->intensityScale;
        if (pos == 0)
            kl = 1.0, kr = 1.0;
        else if (pos & 1)
            kl = std::pow(io, double((pos + 1) / 2)), kr = 1.0;
        else
            kl = 1.0, kr = std::pow(io, double(pos / 2));
    }
    for (uint32_t i = start; i < end; ++i) {
        const float x = l[i];
        l[i] = static_cast<float>(x * kl);
        r[i] = static_cast<float>(x * kr);
    }
}

bool AnyNonZero(const float* v, uint32_t start, uint32_t end) {
    for (uint32_t i = start; i < end; ++i)
        if (v[i] != 0.0f) return true;
    return false;
}

void Stereo(Mp3DecoderState* s, uint32_t gr) {
    if (s->mode != 1) return;
    const bool ms = (s->modeExtension & 2) != 0;
    const bool is = (s->modeExtension & 1) != 0;
    float* l = s->samples[0];
    float* r = s->samples[1];
    const uint32_t count = std::max(s->nonzero[0], s->nonzero[1]);
    if (!is) {
        if (ms) MidSide(l, r, 0, count);
        s->nonzero[0] = s->nonzero[1] = count;
        return;
    }
    const Mp3GranuleInfo& g = s->side.gr[gr][1];
    const BandTable& bt = kBands[s->bandSlot];
    const uint8_t* posLong = s->scaleLong[1];
    const bool lsf = IsLsf(s);
    auto illegalLong = [&](uint32_t sfb) { return lsf ? s->isIllegalLong[sfb] : 7u; };
    auto illegalShort = [&](uint32_t sfb) { return lsf ? s->isIllegalShort[sfb] : 7u; };
    if (!IsShort(g)) {
        uint32_t isStart = 0; // first band above the right channel's last coded value
        for (uint32_t sfb = 0; sfb < 22; ++sfb)
            if (AnyNonZero(r, bt.longBounds[sfb], bt.longBounds[sfb + 1])) isStart = sfb + 1;
        for (uint32_t sfb = 0; sfb < 22; ++sfb) {
            const uint32_t start = bt.longBounds[sfb], end = bt.longBounds[sfb + 1];
            if (sfb >= isStart) {
                // The top band has no factor of its own: it takes band 20's,
                // and is coded as band 20 is only when band 20 is intensity coded.
                const uint32_t band = sfb == 21 && isStart <= 20 ? 20 : sfb;
                if (band == 21) {
                    if (ms) MidSide(l, r, start, end);
                } else {
                    IntensityBand(s, l, r, start, end, posLong[band], illegalLong(band), ms);
                }
            } else if (ms) {
                MidSide(l, r, start, end);
            }
        }
    } else {
        const uint32_t firstShort = g.mixedBlock ? 3 : 0;
        uint32_t isStartW[3];
        bool shortPartSilent = true;
        for (uint32_t w = 0; w < 3; ++w) {
            isStartW[w] = firstShort;
            for (uint32_t sfb = firstShort; sfb < 13; ++sfb) {
                const uint32_t width = bt.shortBounds[sfb + 1] - bt.shortBounds[sfb];
                const uint32_t start = 3u * bt.shortBounds[sfb] + w * width;
                if (AnyNonZero(r, start, start + width)) isStartW[w] = sfb + 1;
            }
            if (isStartW[w] != firstShort) shortPartSilent = false;
        }
        if (g.mixedBlock) {
            const uint32_t longEnd = 3u * bt.shortBounds[3];
            uint32_t isStart = 0;
            uint32_t bands = 0;
            for (uint32_t sfb = 0; bt.longBounds[sfb] < longEnd; ++sfb, ++bands)
                if (AnyNonZero(r, bt.longBounds[sfb], bt.longBounds[sfb + 1])) isStart = sfb + 1;
            if (!shortPartSilent) isStart = bands;
            for (uint32_t sfb = 0; sfb < bands; ++sfb) {
                const uint32_t start = bt.longBounds[sfb],
                               end = std::min<uint32_t>(bt.longBounds[sfb + 1], longEnd);
                if (sfb >= isStart)
                    IntensityBand(s, l, r, start, end, posLong[sfb], illegalLong(sfb), ms);
                else if (ms)
                    MidSide(l, r, start, end);
            }
        }
        for (uint32_t sfb = firstShort; sfb < 13; ++sfb) {
            const uint32_t width = bt.shortBounds[sfb + 1] - bt.shortBounds[sfb];
            for (uint32_t w = 0; w < 3; ++w) {
                const uint32_t start = 3u * bt.shortBounds[sfb] + w * width;
                if (sfb >= isStartW[w]) {
                    const uint32_t band = sfb == 12 && isStartW[w] <= 11 ? 11 : sfb;
                    if (band == 12) {
                        if (ms) MidSide(l, r, start, start + width);
                    } else {
                        IntensityBand(s, l, r, start, start + width, s->scaleShort[1][band][w],
                                      illegalShort(band), ms);
                    }
                } else if (ms) {
                    MidSide(l, r, start, start + width);
                }
            }
        }
    }
    s->nonzero[0] = s->nonzero[1] = 576;
}

// Short windows are coded band by band, window after window; the IMDCT wants
// each subband's 18 values as 6 frequency lines of the three windows interleaved.
void Reorder(float* xr, const BandTable& bt, bool mixed) {
    float tmp[576];
    const uint32_t firstShort = mixed ? 3 : 0;
    const uint32_t from = 3u * bt.shortBounds[firstShort];
    for (uint32_t sfb = firstShort; sfb < 13; ++sfb) {
        const uint32_t start = 3u * bt.shortBounds[sfb];
        const uint32_t width = bt.shortBounds[sfb + 1] - bt.shortBounds[sfb];
        for (uint32_t w = 0; w < 3; ++w)
            for (uint32_t i = 0; i < width; ++i)
                tmp[start + 3 * i + w] = xr[start + w * width + i];
    }
    std::memcpy(xr + from, tmp + from, (576 - from) * sizeof(float));
}

void DecodeFrame(Mp3DecoderState* s, const Mp3FrameInfo& fi) {
    const uint32_t h = fi.nHeader;
    s->id = HeaderId(h);
    s->layer = fi.nLayer;
    s->protection = HeaderProtection(h);
    s->bitrateIndex = HeaderBitrateIndex(h);
    s->frequencyIndex = HeaderFrequencyIndex(h);
    s->padding = HeaderPadding(h);
    s->privateBit = (h >> 23) & 1;
    s->mode = HeaderMode(h);
    s->modeExtension = HeaderModeExtension(h);
    s->copyright = (h >> 28) & 1;
    s->original = (h >> 29) & 1;
    s->emphasis = (h >> 30) & 3;
    s->versionSlot = HeaderVersionSlot(h);
    s->bandSlot = s->versionSlot * 3 + s->frequencyIndex;
    s->synced = 1;
    s->pcmFrames = 0;
    s->pending = 0;

    const uint32_t channels = fi.nChannels;
    if (!s->outChannels) s->outChannels = channels;
    // A switch between one and two channels starts the polyphase filter
    // afresh (the IMDCT overlap carries on), matching the reference decoder
    // on the compliance stream that switches modes.
    if (s->lastChannels && s->lastChannels != channels) {
        std::memset(s->synthBuffer, 0, sizeof s->synthBuffer);
    }
    s->lastChannels = channels;
    const bool lsf = IsLsf(s);
    const uint32_t headerBytes = s->protection ? 4 : 6; // protection bit 0: a CRC follows (not checked)
    const uint32_t sideBytes = lsf ? (channels == 1 ? 9 : 17) : (channels == 1 ? 17 : 32);
    if (fi.nFrameSize < headerBytes + sideBytes) return;
    uint8_t sideInfo[32 + 8] = {};
    RingCopy(s, headerBytes, sideInfo, sideBytes);
    ReadSideInfo(s, sideInfo, channels);

    // Bit reservoir: keep what a later frame may reach back to, then append
    // this frame's main data once.
    const uint32_t mainBytes = fi.nFrameSize - headerBytes - sideBytes;
    const uint32_t maxBack = lsf ? 255 : 511;
    if (s->reservoirBytes > maxBack) {
        std::memmove(s->reservoir, s->reservoir + s->reservoirBytes - maxBack, maxBack);
        s->reservoirBytes = maxBack;
    }
    const uint32_t begin = s->side.mainDataBegin;
    const bool reachable = begin <= s->reservoirBytes;
    const uint32_t start = s->reservoirBytes - (reachable ? begin : 0);
    const uint32_t room = MP3_RESERVOIR_BYTES - s->reservoirBytes;
    const uint32_t append = std::min(mainBytes, room);
    RingCopy(s, headerBytes + sideBytes, s->reservoir + s->reservoirBytes, append);
    s->reservoirBytes += append;
    std::memset(s->reservoir + s->reservoirBytes, 0, 64);
    // A frame reaching back past what was seen (after a seek, or a stream cut
    // out of a longer one) cannot be decoded: it is played as silence, its
    // main data stored once for the frames that follow.
    const bool silent = !reachable;

    const BandTable& bt = kBands[s->bandSlot];
    const uint32_t endAll = s->reservoirBytes * 8;
    const uint32_t granules = lsf ? 1 : 2;
    const uint32_t outCh = s->outChannels;
    BitReader br{s->reservoir, start * 8};
    for (uint32_t gr = 0; gr < granules; ++gr) {
        for (uint32_t ch = 0; ch < channels; ++ch) {
            Mp3GranuleInfo& g = s->side.gr[gr][ch];
            if (silent) {
                std::memset(s->quantized[ch], 0, sizeof s->quantized[ch]);
                std::memset(s->samples[ch], 0, sizeof s->samples[ch]);
                s->nonzero[ch] = 0;
                continue;
            }
            const uint32_t part2Start = br.pos;
            if (lsf)
                ReadScaleFactorsLsf(s, br, ch);
            else
                ReadScaleFactorsMpeg1(s, br, gr, ch);
            const uint32_t end = std::min(part2Start + g.part23Length, endAll);
            uint32_t r1, r2;
            if (IsShort(g)) {
                r1 = 3u * bt.shortBounds[3];
                r2 = 576;
            } else if (g.windowSwitching) {
                r1 = bt.longBounds[8];
                r2 = 576;
            } else {
                r1 = bt.longBounds[std::min(g.region0Count + 1, 22u)];
                r2 = bt.longBounds[std::min(g.region0Count + g.region1Count + 2, 22u)];
            }
            if (br.pos > end) {
                std::memset(s->quantized[ch], 0, sizeof s->quantized[ch]);
                s->nonzero[ch] = 0;
            } else {
                s->nonzero[ch] = DecodeSpectrum(br, end, g.tableSelect, g.bigValues, r1, r2, g.count1Table,
                                                s->quantized[ch]);
            }
            br.pos = end;
            Requantize(s, ch, g);
        }
        if (channels == 2 && !silent) Stereo(s, gr);

        int16_t* pcm = s->pcm + gr * 576 * outCh;
        int16_t mixRight[576];
        // Two-channel output is made one channel at a time and interleaved after.
        alignas(16) int16_t planes[2][576];
        for (uint32_t ch = 0; ch < channels; ++ch) {
            const Mp3GranuleInfo& g = s->side.gr[gr][ch];
            uint32_t nz = s->nonzero[ch];
            if (IsShort(g)) {
                Reorder(s->samples[ch], bt, g.mixedBlock != 0);
                uint32_t sfb = 0;
                while (sfb < 12 && 3u * bt.shortBounds[sfb + 1] < nz)
                    ++sfb;
                if (nz) nz = 3u * bt.shortBounds[sfb + 1];
            }
            float slots[32][20];
            HybridSynthesis(s->samples[ch], s->overlap[ch], g.windowSwitching ? g.blockType : 0, g.mixedBlock,
                            nz, slots);
            if (outCh == 2) {
                PolyphaseSynthesis(slots, s->synthBuffer[ch], &s->synthOffset[ch], planes[ch]);
            } else if (ch == 0) {
                PolyphaseSynthesis(slots, s->synthBuffer[0], &s->synthOffset[0], pcm);
            } else {
                // A two-channel frame in a single-channel stream: mix down.
                PolyphaseSynthesis(slots, s->synthBuffer[1], &s->synthOffset[1], mixRight);
                for (int i = 0; i < 576; ++i)
                    pcm[i] = int16_t((int32_t(pcm[i]) + mixRight[i]) / 2);
            }
        }
        if (outCh == 2) {
            const int16_t* right = channels == 1 ? planes[0] : planes[1];
            for (int i = 0; i < 576; i += 8) {
                const __m128i l = _mm_load_si128(reinterpret_cast<const __m128i*>(planes[0] + i));
                const __m128i r = _mm_load_si128(reinterpret_cast<const __m128i*>(right + i));
                _mm_storeu_si128(reinterpret_cast<__m128i*>(pcm + 2 * i), _mm_unpacklo_epi16(l, r));
                _mm_storeu_si128(reinterpret_cast<__m128i*>(pcm + 2 * i + 8), _mm_unpackhi_epi16(l, r));
            }
        }
    }
    s->pcmFrames = granules * 576;
}

// Finds and decodes the next frame. 1 when a frame was taken (it may have
// given no PCM), 0 when more input is needed.
int NextFrame(Mp3DecoderState* s) {
    for (;;) {
        const uint32_t avail = Buffered(s);
        if (avail < 4) return 0;
        uint8_t bytes[4];
        RingCopy(s, 0, bytes, 4);
        Mp3FrameInfo fi;
        bool ok = ParseMp3Header(bytes, &fi) && fi.nLayer == 3 && HeaderBitrateIndex(fi.nHeader) != 0;
        if (ok) {
            const uint32_t size = fi.nFrameSize;
            const bool continuing = s->inSync && ((fi.nHeader ^ s->streamHeader) & kStreamMask) == 0;
            if (continuing) {
                if (avail < size) {
                    if (!s->endOfInput) return 0;
                    Consume(s, avail); // a truncated last frame
                    s->inSync = 0;
                    return 0;
                }
            } else if (avail < size + 4) {
                // Without a following header to confirm it, a header found by
                // searching is only trusted at the very end of the input.
                if (!s->endOfInput) return 0;
                ok = avail >= size;
            } else {
                uint8_t next[4];
                RingCopy(s, size, next, 4);
                Mp3FrameInfo nf;
                ok = ParseMp3Header(next, &nf) && nf.nLayer == 3 && HeaderBitrateIndex(nf.nHeader) != 0 &&
                     ((nf.nHeader ^ fi.nHeader) & kStreamMask) == 0;
            }
        }
        if (!ok) {
            Consume(s, 1);
            s->inSync = 0;
            continue;
        }
        DecodeFrame(s, fi);
        Consume(s, fi.nFrameSize);
        s->inSync = 1;
        s->streamHeader = fi.nHeader;
        return 1;
    }
}

uint32_t BytesPerFrame(const Mp3DecoderState* s) {
    return (s->outChannels ? s->outChannels : 2) * 2;
}

// Copies as many whole sample frames of the current frame as fit.
uint32_t HandOut(Mp3DecoderState* s, uint8_t* out, uint32_t room) {
    static_assert(std::endian::native == std::endian::little, "PCM is handed out little-endian");
    if (s->pending >= s->pcmFrames) return 0;
    const uint32_t frameBytes = s->outChannels * 2;
    const uint32_t frames = std::min(s->pcmFrames - s->pending, room / frameBytes);
    std::memcpy(out, s->pcm + s->pending * s->outChannels, frames * frameBytes);
    s->pending += frames;
    if (s->pending >= s->pcmFrames) s->pending = s->pcmFrames = 0;
    return frames * frameBytes;
}

} // namespace

int Mp3Decode(Mp3DecoderState* s, const uint8_t* input, uint32_t inputBytes, uint8_t* output,
              uint32_t outputBytes, uint32_t* produced) {
    uint32_t dummy = 0;
    if (!produced) produced = &dummy;
    *produced = 0;
    if (!s) return MP3_ERROR;
    bool stored = false;
    if (input && inputBytes) {
        const uint32_t room = (MP3_RING_BYTES - 1) - Buffered(s);
        const uint32_t n = std::min(room, inputBytes);
        const uint32_t first = std::min(n, MP3_RING_BYTES - s->writeIndex);
        std::memcpy(s->ring + s->writeIndex, input, first);
        std::memcpy(s->ring, input + first, n - first);
        s->writeIndex = (s->writeIndex + n) & kRingMask;
        stored = n > 0;
        if (!stored) return MP3_ERROR;
    }
    if (!output || !outputBytes) return stored ? 0 : MP3_ERROR;

    uint32_t done = HandOut(s, output, outputBytes);
    int answer = MP3_OUTPUT_FULL;
    while (outputBytes - done >= BytesPerFrame(s)) {
        if (s->pending < s->pcmFrames) {
            done += HandOut(s, output + done, outputBytes - done);
            continue;
        }
        if (!NextFrame(s)) {
            answer = MP3_NEED_INPUT;
            break;
        }
        done += HandOut(s, output + done, outputBytes - done);
    }
    *produced = done;
    if (answer == MP3_OUTPUT_FULL && !s->synced) return 0;
    return answer;
}

void Mp3DecodeSetEndOfInput(Mp3DecoderState* s) {
    if (s) s->endOfInput = 1;
}

uint32_t Mp3DecodeBuffered(const Mp3DecoderState* s) {
    return s ? Buffered(s) : 0;
}

int Mp3DecodeHasPending(const Mp3DecoderState* s) {
    return s && s->pending < s->pcmFrames ? 1 : 0;
}
