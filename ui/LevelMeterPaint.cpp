#include "ui/LevelMeterPaint.h"

#include "uilogic/MeterGeometry.h"

CLevelMeterPainter::~CLevelMeterPainter() {
    for (int i = 0; i < m_Count; ++i)
        DeleteObject(m_Brushes[i]);
}

HBRUSH CLevelMeterPainter::Brush(COLORREF colour) {
    for (int i = 0; i < m_Count; ++i)
        if (m_Colours[i] == colour) return m_Brushes[i];
    HBRUSH brush = CreateSolidBrush(colour);
    if (brush && m_Count < MAX_BRUSHES) {
        m_Colours[m_Count] = colour;
        m_Brushes[m_Count++] = brush;
    }
    return brush;
}

void CLevelMeterPainter::Draw(HDC dc, const RECT& client, int lit) {
    FillRect(dc, &client, Brush(uilogic::METER_BACKGROUND));
    uilogic::MeterRect area{client.left, client.top, client.right, client.bottom};
    for (const uilogic::MeterCell& cell : uilogic::MeterCells(lit, area)) {
        RECT r{cell.rect.left, cell.rect.top, cell.rect.right, cell.rect.bottom};
        FillRect(dc, &r, Brush(cell.colour));
    }
}
