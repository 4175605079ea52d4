#include "effects/CWau.h"

#include "effects/EffectRate.h"

#include <atomic>
#include <cmath>
#include <limits>
#include <map>
#include <mutex>
#include <new>

// One rate's coefficients by LFO position, NaN until first computed. Atomic
// (relaxed: plain loads and stores on x86-64) because chains on two threads
// may fill the same entry, with the same value.
struct WauSweep {
    explicit WauSweep(size_t n) : b(new std::atomic<double>[n]) {
        for (size_t i = 0; i < n; ++i)
            b[i].store(std::numeric_limits<double>::quiet_NaN(), std::memory_order_relaxed);
    }
    std::unique_ptr<std::atomic<double>[]> b;
};

namespace {

std::shared_ptr<WauSweep> SweepFor(int32_t rate) {
    if (rate > 96000) return nullptr;
    static std::mutex lock;
    static std::map<int32_t, std::weak_ptr<WauSweep>> sweeps;
    std::lock_guard<std::mutex> hold(lock);
    std::weak_ptr<WauSweep>& slot = sweeps[rate];
    std::shared_ptr<WauSweep> sweep = slot.lock();
    if (!sweep) {
        // Without the memory the coefficients are simply computed every time.
        try {
            sweep = std::make_shared<WauSweep>(static_cast<size_t>(rate) * 10);
        } catch (const std::bad_alloc&) {
            return nullptr;
        }
        slot = sweep;
    }
    return sweep;
}

} // namespace

CWau::CWau() {
    m_Section.a = 0.95;
    Restart();
}

// Centre back at 1000 Hz, LFO at its start, states cleared.
void CWau::Restart() {
    m_Section.Clear();
    m_Counter = 0;
    m_Section.b = -(m_Section.a + 1.0) * std::cos(fx::TWO_PI * (1000.0 / m_Rate));
    m_Sweep = SweepFor(m_Rate);
}

double CWau::Sweep(int32_t counter) {
    std::atomic<double>* kept = m_Sweep ? &m_Sweep->b[counter] : nullptr;
    if (kept) {
        const double b = kept->load(std::memory_order_relaxed);
        if (b == b) return b;
    }
    const double centre = (1000.0 + m_Depth * std::sin(fx::TWO_PI * m_LfoRate * counter / m_Rate)) / m_Rate;
    const double b = -(m_Section.a + 1.0) * std::cos(fx::TWO_PI * centre);
    if (kept) kept->store(b, std::memory_order_relaxed);
    return b;
}

void CWau::SetParams(const int32_t*, int32_t sampleRate) {
    if (fx::IsUsableRate(sampleRate) && sampleRate != m_Rate) {
        m_Rate = sampleRate;
        Restart();
    }
}

void CWau::Process(double* x, int32_t n) {
    const int32_t period = 10 * m_Rate;
    for (int32_t i = 0; i < n; ++i) {
        x[i] = (x[i] - m_Section.Step(x[i])) * 0.5;
        m_Section.b = Sweep(m_Counter);
        m_Counter = m_Counter + 1 >= period ? 0 : m_Counter + 1;
    }
}

void CWau::SetEnable(int32_t on) {
    bool wasOff = m_bEnable == 0;
    CBaseEffect::SetEnable(on);
    if (wasOff && m_bEnable) {
        m_Section.Clear();
        m_Counter = 0;
    }
}

void CWau::ProcessPair(CBaseEffect& right, double* x, double* y, int32_t n) {
    auto& o = static_cast<CWau&>(right);
    if (o.m_Section.b != m_Section.b || o.m_Counter != m_Counter || o.m_Rate != m_Rate) {
        Process(x, n);
        o.Process(y, n);
        return;
    }
    // The sweep does not depend on the signal: one sine and one cosine per frame.
    const int32_t period = 10 * m_Rate;
    for (int32_t i = 0; i < n; ++i) {
        x[i] = (x[i] - m_Section.Step(x[i])) * 0.5;
        y[i] = (y[i] - o.m_Section.Step(y[i])) * 0.5;
        m_Section.b = Sweep(m_Counter);
        o.m_Section.b = m_Section.b;
        m_Counter = m_Counter + 1 >= period ? 0 : m_Counter + 1;
    }
    o.m_Counter = m_Counter;
}
