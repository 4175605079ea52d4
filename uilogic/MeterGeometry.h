// The level meter's picture as data: which rectangles to fill in which colour
// for a lit segment count. The window only fills the rectangles it is given.
#pragma once

#include <cstdint>
#include <vector>

namespace uilogic {

constexpr int METER_SEGMENTS = 32;
// Colours in the platform's 0x00BBGGRR order.
constexpr uint32_t METER_BACKGROUND = 0x000000;
constexpr uint32_t METER_FRAME = 0x606060;

struct MeterRect {
    int left, top, right, bottom;
};

struct MeterCell {
    MeterRect rect;
    uint32_t colour;
};

// Green rising to full over 0..15, yellow by 24, red at 31.
uint32_t SegmentColour(int segment);
// Width of one segment for a client rectangle; at least 1 so that a tiny window
// still advances, and small enough that all 32 segments stay inside the frame.
int SegmentPitch(const MeterRect& client);
// For every lit segment its grey frame then its coloured face, in drawing order.
// `lit` is limited to 0..32.
std::vector<MeterCell> MeterCells(int lit, const MeterRect& client);

} // namespace uilogic
