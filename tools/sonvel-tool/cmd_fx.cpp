// sonvel-tool fx --chain CHAIN.xml IN.wav OUT.wav: runs a 16-bit WAV file through
// an effect chain file offline, block by block as the engine would, at the
// file's own rate and channel count, so a chain can be heard before recording.
#include "tools/sonvel-tool/Tool.h"

#include "effects/CEffectList.h"
#include "effects/CEffectManager.h"
#include "media/CWaveFile.h"

#include <algorithm>
#include <vector>

namespace {

int Fx(const std::vector<std::string>& args) {
    if (args.size() != 4 || args[0] != "--chain")
        return ToolFail("usage: fx --chain CHAIN.xml IN.wav OUT.wav");
    const std::string& chainPath = args[1];
    const std::string& inPath = args[2];
    const std::string& outPath = args[3];

    CEffectList list;
    if (!list.LoadEffectList(CString(chainPath)))
        return ToolFail("cannot open chain file %s", chainPath.c_str());

    CWaveFile in;
    std::wstring inName = ToolWidePath(inPath);
    if (!in.Open(inName.c_str())) return ToolFail("cannot open %s as a WAV file", inPath.c_str());
    const WaveHeader& h = in.GetHeader();
    if (in.GetFormatTag() != WAVE_FORMAT_PCM || h.wBitsPerSample != 16 || h.nChannels < 1 || h.nChannels > 2)
        return ToolFail("%s: only 16-bit PCM, mono or stereo, is supported", inPath.c_str());
    const int32_t channels = h.nChannels;
    const int32_t rate = static_cast<int32_t>(h.nSamplesPerSec);

    CEffectManager manager;
    manager.SetStreamFormat(channels, rate);
    list.ApplyTo(manager, rate);
    if (manager.GetSampleRate() != rate) return ToolFail("%s: unusable sample rate %d", inPath.c_str(), rate);

    WAVEFORMATEX format{};
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = static_cast<uint16_t>(channels);
    format.nSamplesPerSec = static_cast<uint32_t>(rate);
    format.wBitsPerSample = 16;
    format.nBlockAlign = static_cast<uint16_t>(2 * channels);
    format.nAvgBytesPerSec = format.nSamplesPerSec * format.nBlockAlign;
    CWaveFile out;
    std::wstring outName = ToolWidePath(outPath);
    if (out.CreateWave(outName.c_str(), format, 1) != 0) return ToolFail("cannot create %s", outPath.c_str());

    // 10 ms blocks, the size a capture driver hands the engine; the file is
    // read and written a hundred blocks at a time, so system calls do not
    // outweigh the effects.
    const uint32_t frames = static_cast<uint32_t>(rate / 100 > 0 ? rate / 100 : 1);
    const uint32_t blockSamples = frames * static_cast<uint32_t>(channels);
    std::vector<int16_t> buffer(100 * blockSamples);
    const uint32_t bufferBytes = static_cast<uint32_t>(buffer.size() * sizeof(int16_t));
    uint64_t total = 0;
    in.Rewind();
    for (;;) {
        uint32_t got = in.ReadData(buffer.data(), bufferBytes);
        got -= got % (2 * channels); // whole frames only
        if (got == 0) break;
        const uint32_t samples = got / 2;
        for (uint32_t at = 0; at < samples; at += blockSamples) {
            const int32_t n = static_cast<int32_t>(std::min(blockSamples, samples - at));
            manager.ProcessChain(buffer.data() + at, n);
            manager.ReadChainOutput(buffer.data() + at, n);
        }
        if (out.WriteSamples(buffer.data(), got) == 0) {
            out.Close();
            return ToolFail("write to %s failed", outPath.c_str());
        }
        total += got / (2 * channels);
    }
    out.Close();
    int effects = 0;
    for (int p = 0; p < CEffectManager::MAX_EFFECTS; ++p)
        effects += manager.GetEffectType(p) >= 0;
    std::printf("effects: %d\n", effects);
    std::printf("channels: %d\n", channels);
    std::printf("rate: %d\n", rate);
    std::printf("frames: %llu\n", static_cast<unsigned long long>(total));
    return 0;
}
ToolRegistrar reg("fx", "fx --chain CHAIN.xml IN.wav OUT.wav", Fx);

} // namespace
