// Paints the level meter into a device context: black background, then each
// lit segment's grey frame and coloured face as the portable meter geometry
// gives them. The meter window paints through a memory bitmap with this, so a
// repaint never flickers. The brushes live as long as the painter.
#pragma once

#include <windows.h>

class CLevelMeterPainter {
  public:
    CLevelMeterPainter() = default;
    ~CLevelMeterPainter();
    CLevelMeterPainter(const CLevelMeterPainter&) = delete;
    CLevelMeterPainter& operator=(const CLevelMeterPainter&) = delete;

    void Draw(HDC dc, const RECT& client, int lit);

  private:
    HBRUSH Brush(COLORREF colour);
    static constexpr int MAX_BRUSHES = 34; // 32 segment colours, the frame and the background
    COLORREF m_Colours[MAX_BRUSHES] = {};
    HBRUSH m_Brushes[MAX_BRUSHES] = {};
    int m_Count = 0;
};
