#include "uilogic/MeterGeometry.h"

#include <algorithm>

namespace uilogic {

namespace {
uint32_t Rgb(uint32_t red, uint32_t green, uint32_t blue) {
    return red | (green << 8) | (blue << 16);
}
} // namespace

uint32_t SegmentColour(int segment) {
    segment = std::clamp(segment, 0, METER_SEGMENTS - 1);
    if (segment < 16) return Rgb(0, static_cast<uint32_t>(16 * segment), 0);
    if (segment < 25) {
        // 0x20 * 8 is 0x100: without the limit the last yellow step would carry into green.
        uint32_t red = std::min<uint32_t>(0xFF, static_cast<uint32_t>(0x20 * (segment - 16)));
        return Rgb(red, 0xFF, 0);
    }
    return Rgb(0xFF, static_cast<uint32_t>(0xC0 - 0x20 * (segment - 25)), 0);
}

int SegmentPitch(const MeterRect& client) {
    return std::max(1, (client.right - client.left - 2) / METER_SEGMENTS);
}

std::vector<MeterCell> MeterCells(int lit, const MeterRect& client) {
    lit = std::clamp(lit, 0, METER_SEGMENTS);
    const int w = SegmentPitch(client);
    const int l = client.left, t = client.top, b = client.bottom;
    std::vector<MeterCell> cells;
    cells.reserve(static_cast<size_t>(lit) * 2);
    for (int i = 0; i < lit; ++i) {
        cells.push_back({{l + 1 + i * w, t + 1, l + 1 + (i + 1) * w, b - 1}, METER_FRAME});
        cells.push_back({{l + 2 + i * w, t + 2, l + (i + 1) * w, b - 2}, SegmentColour(i)});
    }
    return cells;
}

} // namespace uilogic
