// The level meter: 32 segments, the lit ones coloured from green to red. The
// main window stores the lit count and the meter repaints itself. The brushes
// live in the painter from the first paint until the meter is destroyed.
#pragma once

#include "ui/CChildView.h"
#include "ui/LevelMeterPaint.h"

class CLevelMeter : public CChildView {
  public:
    // Creates the meter inside `placeholder` (once) and fits it to the
    // placeholder's client area whenever that differs from the last size.
    int Attach(HWND placeholder);
    void Fit();
    // Stores the lit count (0..32) and repaints.
    void SetLevel(int lit);
    int GetLevel() const { return m_Lit; }

  protected:
    int Draw(HDC dc, const RECT& client) override;

  private:
    int m_Lit = 0;
    SIZE m_LastSize{-1, -1};
    CLevelMeterPainter m_Painter;
};
