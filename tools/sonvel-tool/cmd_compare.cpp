// sonvel-tool compare REC SRC: finds a source signal in a recording of it and
// says how faithfully it came back. Both files are read as a player reads them
// (a WAV up to its header's data size, an MP3 decoded).
//   compare REC SRC [--channel C] [--src-channel C|mix] [--window-ms MS]
// C is 0 (left) or 1 (right); "mix" is the mean of the source's two channels.
// The recording is cut into windows; each window with sound is matched at the
// source offset of the window before it, or else searched for in the whole
// source (normalised cross-correlation of at least 0.9 counts as found).
// Output, one "name: value" line each:
//   frames, rate, channels   of the recording
//   lead_frames              frames of digital silence at its start
//   matched_s                seconds of the recording found in the source
//   unmatched                windows with sound found nowhere in the source
//   gaps                     windows silent where the source had sound
//   jumps                    changes of the offset (a dropped or repeated block, a pause)
//   lag_first, lag_last      recording frame minus source frame, first and last match
//   src_first_s, src_last_s  where in the source the first and last match lie
//   correlation              mean normalised correlation of the matched windows
//   gain_db                  level of the matched recording against the source
//
// sonvel-tool level FILE [--channel C] [--hz F] [--from S] [--to S]: rms_dbfs
// (against a full-scale sine), hz_dbfs (the part at F Hz, Goertzel), dropouts
// (breaks in a steady tone) over the span.
#include "tools/sonvel-tool/Tool.h"

#include "drivers/test/CToneAnalyzer.h"
#include "media/MediaOpen.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

constexpr double kPi = 3.14159265358979323846;

struct Audio {
    int rate = 0;
    int channels = 0;
    std::vector<int16_t> frames; // interleaved
    size_t Count() const { return channels ? frames.size() / static_cast<size_t>(channels) : 0; }
};

bool Load(const std::string& path, Audio* audio) {
    std::wstring name = ToolWidePath(path);
    MediaKind kind = MEDIA_RAW;
    std::unique_ptr<CMediaFile> file = OpenMediaFile(name.c_str(), &kind);
    if (!file || !file->GetFormat()) return false;
    audio->rate = static_cast<int>(file->GetFormat()->nSamplesPerSec);
    // An MP3 is decoded to stereo whatever its mode; a WAV is as its header says.
    audio->channels = kind == MEDIA_WAV ? static_cast<int>(file->GetFormat()->nChannels) : 2;
    if (audio->channels < 1 || audio->channels > 2) return false;
    std::vector<uint8_t> bytes;
    std::vector<uint8_t> chunk(224000);
    file->Rewind();
    for (;;) {
        const uint64_t before = file->GetPosition();
        const uint32_t n = file->ReadData(chunk.data(), static_cast<uint32_t>(chunk.size()));
        bytes.insert(bytes.end(), chunk.begin(), chunk.begin() + n);
        if (n == 0 && (file->IsEnd() || file->GetPosition() == before)) break;
    }
    audio->frames.resize(bytes.size() / 2);
    std::memcpy(audio->frames.data(), bytes.data(), audio->frames.size() * 2);
    audio->frames.resize(audio->Count() * static_cast<size_t>(audio->channels));
    return true;
}

// One channel as doubles; channel -1 is the mean of both.
std::vector<double> Mono(const Audio& a, int channel) {
    std::vector<double> out(a.Count());
    for (size_t i = 0; i < out.size(); ++i) {
        const int16_t* f = &a.frames[i * static_cast<size_t>(a.channels)];
        if (channel < 0 && a.channels == 2)
            out[i] = (f[0] + f[1]) / 2.0;
        else
            out[i] = f[std::min(std::max(channel, 0), a.channels - 1)];
    }
    return out;
}

void Fft(std::vector<std::complex<double>>& a, bool inverse) {
    const size_t n = a.size();
    for (size_t i = 1, j = 0; i < n; ++i) {
        size_t bit = n >> 1;
        for (; j & bit; bit >>= 1)
            j ^= bit;
        j ^= bit;
        if (i < j) std::swap(a[i], a[j]);
    }
    for (size_t len = 2; len <= n; len <<= 1) {
        const double angle = 2 * kPi / static_cast<double>(len) * (inverse ? 1 : -1);
        const std::complex<double> step(std::cos(angle), std::sin(angle));
        for (size_t i = 0; i < n; i += len) {
            std::complex<double> w(1);
            for (size_t k = 0; k < len / 2; ++k, w *= step) {
                const auto u = a[i + k], v = a[i + k + len / 2] * w;
                a[i + k] = u + v;
                a[i + k + len / 2] = u - v;
            }
        }
    }
}

class Matcher {
  public:
    Matcher(std::vector<double> src, size_t window) : m_Src(std::move(src)), m_Window(window) {
        m_Energy.assign(m_Src.size() + 1, 0);
        for (size_t i = 0; i < m_Src.size(); ++i)
            m_Energy[i + 1] = m_Energy[i] + m_Src[i] * m_Src[i];
    }
    double Energy(size_t at) const { return m_Energy[at + m_Window] - m_Energy[at]; }
    size_t Size() const { return m_Src.size(); }

    // Normalised correlation of the window `w` with the source at `at`.
    double At(const double* w, size_t at) const {
        if (at + m_Window > m_Src.size()) return 0;
        double dot = 0, ww = 0;
        for (size_t i = 0; i < m_Window; ++i) {
            dot += w[i] * m_Src[at + i];
            ww += w[i] * w[i];
        }
        const double e = Energy(at);
        return ww > 0 && e > 0 ? dot / std::sqrt(ww * e) : 0;
    }

    // The best place of `w` in the whole source.
    size_t Search(const double* w, double* best) {
        if (m_Spectrum.empty()) {
            size_t n = 1;
            while (n < m_Src.size() + m_Window)
                n <<= 1;
            m_Spectrum.assign(n, 0);
            for (size_t i = 0; i < m_Src.size(); ++i)
                m_Spectrum[i] = m_Src[i];
            Fft(m_Spectrum, false);
        }
        std::vector<std::complex<double>> x(m_Spectrum.size());
        for (size_t i = 0; i < m_Window; ++i)
            x[i] = w[i];
        Fft(x, false);
        for (size_t i = 0; i < x.size(); ++i)
            x[i] = m_Spectrum[i] * std::conj(x[i]);
        Fft(x, true);
        double ww = 0;
        for (size_t i = 0; i < m_Window; ++i)
            ww += w[i] * w[i];
        size_t at = 0;
        *best = 0;
        for (size_t k = 0; k + m_Window <= m_Src.size(); ++k) {
            const double e = Energy(k);
            if (e <= 0) continue;
            const double c = x[k].real() / static_cast<double>(x.size()) / std::sqrt(ww * e);
            if (c > *best) *best = c, at = k;
        }
        return at;
    }

  private:
    std::vector<double> m_Src;
    size_t m_Window;
    std::vector<double> m_Energy;
    std::vector<std::complex<double>> m_Spectrum;
};

int ChannelArg(const std::string& s) {
    return s == "mix" ? -1 : std::atoi(s.c_str());
}

double Db(double ratio) {
    return ratio > 0 ? 10 * std::log10(ratio) : -200;
}

int Compare(const std::vector<std::string>& args) {
    std::vector<std::string> files;
    int channel = 0, srcChannel = 0, windowMs = 100;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--channel" && i + 1 < args.size())
            channel = ChannelArg(args[++i]);
        else if (args[i] == "--src-channel" && i + 1 < args.size())
            srcChannel = ChannelArg(args[++i]);
        else if (args[i] == "--window-ms" && i + 1 < args.size())
            windowMs = std::atoi(args[++i].c_str());
        else
            files.push_back(args[i]);
    }
    if (files.size() != 2 || windowMs < 5)
        return ToolFail("usage: compare REC SRC [--channel C] [--src-channel C|mix]");
    Audio rec, src;
    if (!Load(files[0], &rec)) return ToolFail("cannot read %s", files[0].c_str());
    if (!Load(files[1], &src)) return ToolFail("cannot read %s", files[1].c_str());
    if (rec.rate != src.rate) return ToolFail("rates differ: %d and %d", rec.rate, src.rate);

    size_t lead = 0;
    while (lead < rec.frames.size() && rec.frames[lead] == 0)
        ++lead;
    lead /= static_cast<size_t>(rec.channels);

    const size_t window = static_cast<size_t>(rec.rate) * static_cast<size_t>(windowMs) / 1000;
    const std::vector<double> r = Mono(rec, channel);
    Matcher matcher(Mono(src, srcChannel), window);
    // Sound: above -50 dBFS (RMS of a full-scale sine is 23170).
    const double quiet = std::pow(23170.0 * std::pow(10.0, -50 / 20.0), 2) * static_cast<double>(window);

    long long lag = 0, lagFirst = 0, lagLast = 0;
    bool have = false;
    size_t matched = 0, unmatched = 0, gaps = 0, jumps = 0, srcFirst = 0, srcLast = 0;
    double corrSum = 0, recEnergy = 0, srcEnergy = 0;
    for (size_t p = 0; p + window <= r.size(); p += window) {
        const double* w = &r[p];
        double e = 0;
        for (size_t i = 0; i < window; ++i)
            e += w[i] * w[i];
        const long long at = static_cast<long long>(p) - lag;
        const bool inSource = have && at >= 0 && static_cast<size_t>(at) + window <= matcher.Size();
        if (e < quiet) {
            if (inSource && matcher.Energy(static_cast<size_t>(at)) > 100 * quiet) ++gaps;
            continue;
        }
        double c = inSource ? matcher.At(w, static_cast<size_t>(at)) : 0;
        size_t where = inSource ? static_cast<size_t>(at) : 0;
        if (c < 0.9) {
            where = matcher.Search(w, &c);
            if (c < 0.9) {
                ++unmatched;
                continue;
            }
            const long long found = static_cast<long long>(p) - static_cast<long long>(where);
            if (have && found != lag) ++jumps;
            lag = found;
        }
        if (!have) lagFirst = lag, srcFirst = where;
        have = true;
        lagLast = lag;
        srcLast = where;
        ++matched;
        corrSum += c;
        recEnergy += e;
        srcEnergy += matcher.Energy(where);
    }
    std::printf("frames: %zu\nrate: %d\nchannels: %d\nlead_frames: %zu\n", rec.Count(), rec.rate,
                rec.channels, lead);
    std::printf("matched_s: %.3f\nunmatched: %zu\ngaps: %zu\njumps: %zu\n",
                static_cast<double>(matched * window) / rec.rate, unmatched, gaps, jumps);
    std::printf("lag_first: %lld\nlag_last: %lld\nsrc_first_s: %.3f\nsrc_last_s: %.3f\n", lagFirst, lagLast,
                static_cast<double>(srcFirst) / rec.rate, static_cast<double>(srcLast + window) / rec.rate);
    std::printf("correlation: %.4f\ngain_db: %.2f\n", matched ? corrSum / static_cast<double>(matched) : 0,
                srcEnergy > 0 ? Db(recEnergy / srcEnergy) : -200.0);
    return 0;
}

int Level(const std::vector<std::string>& args) {
    std::string file;
    int channel = 0;
    double hz = 0, from = 0, to = 1e9;
    for (size_t i = 0; i < args.size(); ++i) {
        if (i + 1 < args.size() && args[i] == "--channel")
            channel = ChannelArg(args[++i]);
        else if (i + 1 < args.size() && args[i] == "--hz")
            hz = std::atof(args[++i].c_str());
        else if (i + 1 < args.size() && args[i] == "--from")
            from = std::atof(args[++i].c_str());
        else if (i + 1 < args.size() && args[i] == "--to")
            to = std::atof(args[++i].c_str());
        else
            file = args[i];
    }
    Audio a;
    if (file.empty() || !Load(file, &a))
        return ToolFail("usage: level FILE [--channel C] [--hz F] [--from S] [--to S]");
    const std::vector<double> x = Mono(a, channel);
    const size_t begin = std::min(x.size(), static_cast<size_t>(std::max(0.0, from) * a.rate));
    const size_t end = std::min(x.size(), static_cast<size_t>(std::min(to, 1e6) * a.rate));
    if (end <= begin) return ToolFail("empty span");
    double sum = 0;
    for (size_t i = begin; i < end; ++i)
        sum += x[i] * x[i];
    const double n = static_cast<double>(end - begin), fullSine = 32768.0 * 32768.0 / 2;
    std::printf("rms_dbfs: %.2f\n", Db(sum / n / fullSine));
    if (hz > 0) {
        // Goertzel: the power at `hz`, as the RMS of a sine of that frequency.
        const double k = 2 * std::cos(2 * kPi * hz / a.rate);
        double s1 = 0, s2 = 0;
        for (size_t i = begin; i < end; ++i) {
            const double s0 = x[i] + k * s1 - s2;
            s2 = s1, s1 = s0;
        }
        const double power = s1 * s1 + s2 * s2 - k * s1 * s2;
        std::printf("hz_dbfs: %.2f\n", Db(4 * power / (n * n) / (2 * fullSine)));
        std::vector<int16_t> samples(x.begin() + static_cast<long>(begin),
                                     x.begin() + static_cast<long>(end));
        std::printf("dropouts: %d\n", CToneAnalyzer::Analyze(samples, a.rate, 0, samples.size()).dropouts);
    }
    return 0;
}

ToolRegistrar compare("compare", "compare REC SRC [--channel C] [--src-channel C|mix] [--window-ms MS]",
                      Compare);
ToolRegistrar level("level", "level FILE [--channel C] [--hz F] [--from S] [--to S]", Level);
} // namespace
