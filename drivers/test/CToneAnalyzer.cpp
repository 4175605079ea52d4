#include "drivers/test/CToneAnalyzer.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

int64_t CToneAnalyzer::FindOnset(const std::vector<int16_t>& samples, double threshold) {
    for (size_t i = 0; i < samples.size(); ++i)
        if (std::abs(static_cast<int>(samples[i])) >= threshold) return static_cast<int64_t>(i);
    return -1;
}

std::vector<int16_t> CToneAnalyzer::Channel(const int16_t* frames, size_t frameCount, int channels,
                                            int channel) {
    std::vector<int16_t> out(frameCount);
    for (size_t i = 0; i < frameCount; ++i)
        out[i] = frames[i * channels + channel];
    return out;
}

ToneStats CToneAnalyzer::Analyze(const std::vector<int16_t>& samples, int rate, size_t from, size_t to) {
    ToneStats stats;
    to = std::min(to, samples.size());
    if (from >= to || rate <= 0) return stats;
    const size_t n = to - from;

    double sum = 0, mean = 0;
    for (size_t i = from; i < to; ++i)
        mean += samples[i];
    mean /= static_cast<double>(n);
    for (size_t i = from; i < to; ++i) {
        double v = samples[i] - mean;
        sum += v * v;
    }
    stats.rms = std::sqrt(sum / static_cast<double>(n));
    stats.levelDbfs = stats.rms > 0 ? 20.0 * std::log10(stats.rms * std::sqrt(2.0) / 32768.0) : -200;

    // Rising zero crossings, each placed between its two samples, counted per
    // tenth of a second; the median window is the frequency, so a short break
    // does not bend it.
    std::vector<double> perWindow;
    const size_t span = std::max<size_t>(static_cast<size_t>(rate / 10), 16);
    for (size_t start = from; start < to; start += span) {
        size_t end = std::min(to, start + span);
        if (end - start < span / 2 && !perWindow.empty()) break;
        double first = -1, last = -1;
        int crossings = 0;
        for (size_t i = start + 1; i < end; ++i) {
            double a = samples[i - 1] - mean, b = samples[i] - mean;
            if (a < 0 && b >= 0) {
                double at = static_cast<double>(i - 1) + (-a) / (b - a);
                if (first < 0) first = at;
                last = at;
                ++crossings;
            }
        }
        if (crossings >= 2 && last > first) perWindow.push_back((crossings - 1) * rate / (last - first));
    }
    if (!perWindow.empty()) {
        std::sort(perWindow.begin(), perWindow.end());
        size_t mid = perWindow.size() / 2;
        stats.frequency = perWindow.size() % 2 ? perWindow[mid] : (perWindow[mid - 1] + perWindow[mid]) / 2;
    }

    // Breaks. A sine of amplitude A changes by at most A*2*pi*f/rate per sample;
    // a lost or repeated stretch usually jumps further, or goes quiet.
    double amplitude = stats.rms * std::sqrt(2.0);
    if (amplitude < 100 || stats.frequency <= 0) return stats;
    constexpr double kPi = 3.14159265358979323846;
    const double maxStep = amplitude * 2.0 * kPi * stats.frequency / rate;
    const double jumpLimit = 1.5 * maxStep + 0.05 * amplitude;
    const size_t window = std::max<size_t>(static_cast<size_t>(rate / 200), 8); // 5 ms
    std::vector<size_t> breaks;
    for (size_t i = from + 1; i < to; ++i)
        if (std::abs(static_cast<double>(samples[i]) - samples[i - 1]) > jumpLimit) breaks.push_back(i);
    for (size_t start = from; start + window <= to; start += window) {
        double peak = 0;
        for (size_t i = start; i < start + window; ++i)
            peak = std::max(peak, std::abs(samples[i] - mean));
        if (peak < 0.3 * amplitude) breaks.push_back(start);
    }
    // Breaks closer than two windows are one break (a silent window starts up
    // to a window before the jump out of the silence).
    std::sort(breaks.begin(), breaks.end());
    for (size_t k = 0; k < breaks.size(); ++k)
        if (k == 0 || breaks[k] - breaks[k - 1] > 2 * window) ++stats.dropouts;
    return stats;
}
