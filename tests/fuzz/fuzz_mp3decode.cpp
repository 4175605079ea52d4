// Mp3Decode fed arbitrary bytes in arbitrary pieces into arbitrary output
// sizes: no crash, no out-of-bounds access, no hang, output within bounds.
// The first two bytes choose the piece and output sizes.
#include "media/Mp3Decode.h"

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <vector>

namespace {
void Check(bool ok) {
    if (!ok) std::abort();
}
} // namespace

// Decoding dominates the time of each input, and longer inputs only repeat
// frames of kinds a short one already has: both are bounded so the fuzzer
// tries many inputs rather than a few long ones.
constexpr size_t kMaxInput = 16384;
constexpr uint64_t kMaxOutputBytes = 24 * 4608; // 24 stereo frames of 1152 samples

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2 || size > kMaxInput) return 0;
    const uint32_t piece = 1 + data[0] * 67u;    // 1 .. 17086 bytes
    const uint32_t outBytes = 4 + data[1] * 37u; // 4 .. 9439 bytes: room for a sample frame
    data += 2;
    size -= 2;

    auto state = std::make_unique<Mp3DecoderState>();
    std::vector<uint8_t> out(outBytes + 16, 0xCD);
    size_t fed = 0;
    uint64_t total = 0;
    bool cut = false;
    // Each round either takes input or hands out output; the rest is bounded
    // by what the input can make.
    for (int rounds = 0; rounds < 1000000; ++rounds) {
        uint32_t produced = 0;
        const int answer = Mp3Decode(state.get(), nullptr, 0, out.data(), outBytes, &produced);
        Check(answer == MP3_NEED_INPUT || answer == MP3_OUTPUT_FULL || answer == 0);
        Check(produced <= outBytes);
        Check(out[outBytes] == 0xCD); // nothing written past the buffer
        total += produced;
        if (total >= kMaxOutputBytes) {
            cut = true;
            break;
        }
        if (answer != MP3_NEED_INPUT) {
            Check(produced > 0); // stopped for a full buffer: something went into it
            continue;
        }
        if (fed == size) {
            if (state->endOfInput) break;
            Mp3DecodeSetEndOfInput(state.get());
            continue;
        }
        const uint32_t room = MP3_RING_BYTES - 1 - Mp3DecodeBuffered(state.get());
        const uint32_t n = uint32_t(std::min<size_t>({piece, size - fed, room}));
        Check(n > 0);
        Check(Mp3Decode(state.get(), data + fed, n, nullptr, 0, nullptr) == 0);
        fed += n;
    }
    Check(cut || fed == size);
    // At most 1152 stereo sample frames per 24 bytes of input (the smallest
    // Layer III frame that gives that much).
    Check(total <= (size / 24 + 1) * 4608);
    return 0;
}
