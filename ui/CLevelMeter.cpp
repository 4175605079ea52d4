#include "ui/CLevelMeter.h"

#include "uilogic/MeterGeometry.h"

#include <algorithm>

int CLevelMeter::Attach(HWND placeholder) {
    if (!placeholder || !Create(placeholder)) return 0;
    Fit();
    return 1;
}

void CLevelMeter::Fit() {
    if (!m_hWnd || !m_hParent) return;
    RECT r;
    GetClientRect(m_hParent, &r);
    SIZE size{r.right - r.left, r.bottom - r.top};
    if (size.cx == m_LastSize.cx && size.cy == m_LastSize.cy) return;
    m_LastSize = size;
    Move(0, 0, size.cx, size.cy);
}

void CLevelMeter::SetLevel(int lit) {
    m_Lit = std::clamp(lit, 0, uilogic::METER_SEGMENTS);
    Fit();
    Invalidate();
}

int CLevelMeter::Draw(HDC dc, const RECT& client) {
    m_Painter.Draw(dc, client, m_Lit);
    return 1;
}
