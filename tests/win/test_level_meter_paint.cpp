// The meter's pixels, read back from a memory bitmap.
#include "ui/LevelMeterPaint.h"
#include "uilogic/MeterGeometry.h"

#include <gtest/gtest.h>

namespace {

struct Canvas {
    Canvas(int w, int h) : dc(CreateCompatibleDC(nullptr)), width(w), height(h) {
        BITMAPINFO bi{};
        bi.bmiHeader = {sizeof(BITMAPINFOHEADER), w, -h, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
        bitmap = CreateDIBSection(dc, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
        old = SelectObject(dc, bitmap);
    }
    ~Canvas() {
        SelectObject(dc, old);
        DeleteObject(bitmap);
        DeleteDC(dc);
    }
    COLORREF At(int x, int y) const {
        uint32_t v = static_cast<const uint32_t*>(bits)[y * width + x]; // 0x00RRGGBB in a DIB
        return RGB((v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF);
    }
    HDC dc;
    HBITMAP bitmap = nullptr;
    HGDIOBJ old = nullptr;
    void* bits = nullptr;
    int width, height;
};

TEST(LevelMeterPaint, LitCellsAndTheirColoursInsideTheWindow) {
    struct Case {
        int width, lit;
    } cases[] = {{200, 0}, {200, 1}, {200, 31}, {200, 32}, {34, 32}, {20, 32}, {297, 24}};
    CLevelMeterPainter painter;
    for (const Case& c : cases) {
        const int h = 12;
        Canvas canvas(c.width, h);
        painter.Draw(canvas.dc, RECT{0, 0, c.width, h}, c.lit);
        int w = uilogic::SegmentPitch({0, 0, c.width, h});
        const int mid = h / 2;
        EXPECT_EQ(canvas.At(0, mid), RGB(0, 0, 0)) << c.width; // the border column stays black
        for (int i = 0; i < 32; ++i) {
            int face = 2 + i * w; // first column of segment i's face
            if (w < 3 || face >= c.width) continue;
            COLORREF expected = i < c.lit ? uilogic::SegmentColour(i) : RGB(0, 0, 0);
            EXPECT_EQ(canvas.At(face, mid), expected)
                << "width " << c.width << " lit " << c.lit << " seg " << i;
        }
        if (c.width >= 34 && c.lit == 32) {
            // the last, red cell is inside the window
            EXPECT_LE(1 + 32 * w, c.width) << c.width;
            if (w >= 3) {
                EXPECT_EQ(canvas.At(1 + 31 * w, 0), RGB(0, 0, 0)) << c.width; // top row is background
                EXPECT_EQ(canvas.At(1 + 31 * w, 1), RGB(0x60, 0x60, 0x60)) << c.width;
                EXPECT_EQ(canvas.At(2 + 31 * w, mid), RGB(0xFF, 0, 0)) << c.width;
            }
        }
    }
    EXPECT_EQ(uilogic::SegmentColour(24), RGB(0xFF, 0xFF, 0)); // yellow, not a wrapped red byte
}

} // namespace
