// One MPEG audio frame header, parsed. Used by the file scan (CMp3File) and by
// the Layer III decoder; the rules for what counts as a header live here only.
#pragma once

#include <cstdint>

// The header's fields repacked from the least significant bit upward: sync 12
// (the eleven sync bits and the version bit above ID), ID 1, layer 2,
// protection 1, bitrate index 4, frequency index 2, padding 1, private 1,
// mode 2, mode extension 2, copyright 1, original 1, emphasis 2.
struct Mp3FrameInfo {
    uint32_t nHeader;
    uint8_t nLayer;    // 1, 2 or 3
    uint8_t nChannels; // 1 for single channel, else 2
    uint32_t nBitrate; // bit/s, 0 for free format
    uint32_t nFrequency;
    uint32_t nFrameSize; // bytes, 4 when the size is unknown (free format)
};

namespace mp3 {
// Field access on Mp3FrameInfo::nHeader.
inline uint32_t HeaderId(uint32_t h) {
    return (h >> 12) & 1;
}
inline uint32_t HeaderProtection(uint32_t h) {
    return (h >> 15) & 1;
}
inline uint32_t HeaderBitrateIndex(uint32_t h) {
    return (h >> 16) & 15;
}
inline uint32_t HeaderFrequencyIndex(uint32_t h) {
    return (h >> 20) & 3;
}
inline uint32_t HeaderPadding(uint32_t h) {
    return (h >> 22) & 1;
}
inline uint32_t HeaderMode(uint32_t h) {
    return (h >> 24) & 3;
}
inline uint32_t HeaderModeExtension(uint32_t h) {
    return (h >> 26) & 3;
}
// 0 MPEG-1, 1 MPEG-2, 2 MPEG-2.5 (the last sync bit, the version bit above ID, clear).
inline uint32_t HeaderVersionSlot(uint32_t h) {
    return (h & 1) ? (HeaderId(h) ? 0 : 1) : 2;
}
// The fields every frame of one stream shares: sync/version, layer, frequency.
inline constexpr uint32_t kStreamMask = 0xFFF | (1u << 12) | (3u << 13) | (3u << 20);
// What a run of frames at the start of a file must share. Bit rate (variable
// bitrate files), protection, emphasis and channel mode legitimately change
// from frame to frame; a run of six headers spaced by their own frame sizes
// that agree in these fields is still no accident of junk data.
inline constexpr uint32_t kRunMask = kStreamMask;
} // namespace mp3

// Parses four bytes. 1 when they form a header: eleven sync bits, a version
// other than the reserved one (MPEG-2.5 only with Layer III), a layer, a
// bitrate index other than 15 and a frequency index other than 3. Else 0.
int ParseMp3Header(const uint8_t* bytes, Mp3FrameInfo* info);
// Samples per channel in a frame of this header.
uint32_t Mp3SamplesPerFrame(const Mp3FrameInfo& info);
