#include "effects/CSoftClipping.h"

#include <cmath>
#include <limits>

namespace {

void Forget(double* grid) {
    for (int i = 0; i < 65536; ++i)
        grid[i] = std::numeric_limits<double>::quiet_NaN();
}

} // namespace

CSoftClipping::CSoftClipping() {
    Forget(m_Grid);
}

void CSoftClipping::SetParams(const int32_t* values, int32_t) {
    const double drive = values[0], level = values[1];
    if (drive != m_Drive || level != m_Level) Forget(m_Grid);
    m_Drive = drive;
    m_Level = level;
}

double CSoftClipping::Curve(double x) const {
    return std::atan(x * m_Drive) / 1.5707963267948966 * m_Level;
}

// The same value as Curve(x): from the grid when x is exactly k / 32768 with
// k != 0 (zero keeps its sign through the arctangent, so it is left to it).
double CSoftClipping::Shaped(double x) {
    const double s = x * 32768.0; // exact: a power of two
    if (s >= -32768.0 && s <= 32767.0 && s != 0.0) {
        const int32_t k = static_cast<int32_t>(s);
        if (k == s) {
            double& y = m_Grid[k + 32768];
            if (y != y) y = Curve(x);
            return y;
        }
    }
    return Curve(x);
}

void CSoftClipping::Process(double* x, int32_t n) {
    for (int32_t i = 0; i < n; ++i)
        x[i] = Shaped(x[i]);
}

void CSoftClipping::ProcessPair(CBaseEffect& right, double* x, double* y, int32_t n) {
    auto& o = static_cast<CSoftClipping&>(right);
    if (o.m_Drive != m_Drive || o.m_Level != m_Level) {
        Process(x, n);
        o.Process(y, n);
        return;
    }
    // Both channels share the left one's grid.
    for (int32_t i = 0; i < n; ++i) {
        x[i] = Shaped(x[i]);
        y[i] = Shaped(y[i]);
    }
}
