// The meter's pixels, read back from a memory bitmap.
#include "ui/LevelMeterPaint.h"
#include "uilogic/MeterGeometry.h"

#include <gtest/gtest.h>

namespace {

TEST(LevelMeterPaint, LitCellsAndTheirColoursInsideTheWindow) {
    struct Case {
        int width, lit;
    } cases[] = {{200, 0}, {200, 1}, {200, 31}, {200, 32},
                 {34, 32}, {20, 32}, {297, 24}}; // 297: the real meter
    CLevelMeterPainter painter;
    const int h = 12, mid = h / 2;
    for (const Case& c : cases) {
        HDC dc = CreateCompatibleDC(nullptr);
        BITMAPINFO bi{{sizeof(BITMAPINFOHEADER), c.width, -h, 1, 32, BI_RGB, 0, 0, 0, 0, 0}, {}};
        uint32_t* bits = nullptr;
        HBITMAP bitmap =
            CreateDIBSection(dc, &bi, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits), nullptr, 0);
        SelectObject(dc, bitmap);
        painter.Draw(dc, RECT{0, 0, c.width, h}, c.lit);
        // A DIB holds 0x00RRGGBB; the geometry speaks COLORREF.
        auto at = [&](int x, int y) {
            uint32_t v = bits[y * c.width + x];
            return RGB((v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF);
        };
        const int w = uilogic::SegmentPitch({0, 0, c.width, h});
        EXPECT_EQ(at(0, mid), RGB(0, 0, 0)) << c.width; // the border column stays black
        for (int i = 0; i < 32 && w >= 3 && 2 + i * w < c.width; ++i)
            EXPECT_EQ(at(2 + i * w, mid), i < c.lit ? uilogic::SegmentColour(i) : RGB(0, 0, 0))
                << "width " << c.width << " lit " << c.lit << " seg " << i;
        if (c.width >= 34 && c.lit == 32) {
            EXPECT_LE(1 + 32 * w, c.width) << "the last, red cell is inside the window";
            EXPECT_TRUE(w < 3 || at(2 + 31 * w, mid) == RGB(0xFF, 0, 0)) << c.width;
        }
        DeleteDC(dc);
        DeleteObject(bitmap);
    }
    EXPECT_EQ(uilogic::SegmentColour(24), RGB(0xFF, 0xFF, 0)); // yellow, not a wrapped red byte
}

} // namespace
