#include "media/Mp3Header.h"

#include "media/Mp3Tables.h"

int ParseMp3Header(const uint8_t* b, Mp3FrameInfo* info) {
    if (b[0] != 0xFF || (b[1] & 0xE0) != 0xE0) return 0;
    const uint32_t raw = (uint32_t(b[0]) << 24) | (uint32_t(b[1]) << 16) | (uint32_t(b[2]) << 8) | b[3];
    const uint32_t versionBits = (raw >> 19) & 3; // 3 MPEG-1, 2 MPEG-2, 0 MPEG-2.5, 1 reserved
    const uint32_t layerField = (raw >> 17) & 3;
    const uint32_t bitrateIndex = (raw >> 12) & 15;
    const uint32_t frequencyIndex = (raw >> 10) & 3;
    if (versionBits == 1 || layerField == 0 || bitrateIndex == 15 || frequencyIndex == 3) return 0;
    if (versionBits == 0 && layerField != 1) return 0;
    const uint32_t layer = 4 - layerField;
    const uint32_t padding = (raw >> 9) & 1;
    const uint32_t mode = (raw >> 6) & 3;
    const uint32_t slot = versionBits == 3 ? 0 : (versionBits == 2 ? 1 : 2);

    uint32_t h = (raw >> 20) & 0xFFF;
    h |= ((raw >> 19) & 1) << 12;
    h |= layerField << 13;
    h |= ((raw >> 16) & 1) << 15;
    h |= bitrateIndex << 16;
    h |= frequencyIndex << 20;
    h |= padding << 22;
    h |= ((raw >> 8) & 1) << 23;
    h |= mode << 24;
    h |= ((raw >> 4) & 3) << 26;
    h |= ((raw >> 3) & 1) << 28;
    h |= ((raw >> 2) & 1) << 29;
    h |= (raw & 3) << 30;

    Mp3FrameInfo f{};
    f.nHeader = h;
    f.nLayer = static_cast<uint8_t>(layer);
    f.nChannels = mode == 3 ? 1 : 2;
    f.nBitrate = uint32_t(mp3::kBitrates[slot ? 1 : 0][layer - 1][bitrateIndex]) * 1000;
    f.nFrequency = mp3::kFrequencies[slot][frequencyIndex];
    if (layer == 1) {
        f.nFrameSize = (12 * f.nBitrate / f.nFrequency + padding) * 4;
    } else {
        // Layer III of the lower frequencies carries half the samples per frame.
        const uint32_t factor = (layer == 3 && slot != 0) ? 72 : 144;
        f.nFrameSize = factor * f.nBitrate / f.nFrequency + padding;
    }
    if (f.nFrameSize == 0) f.nFrameSize = 4;
    if (info) *info = f;
    return 1;
}

uint32_t Mp3SamplesPerFrame(const Mp3FrameInfo& info) {
    if (info.nLayer == 1) return 384;
    if (info.nLayer == 3 && mp3::HeaderVersionSlot(info.nHeader) != 0) return 576;
    return 1152;
}
