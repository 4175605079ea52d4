// Huffman decoding of Layer III spectra. The standard's code tables are
// turned, once, into multi-level lookup tables: the first level indexes the
// next 9 bits, deeper levels at most 5, so a code costs one to three lookups.
// Where no linbits intervene, the sign bits that follow a code are folded
// into it, so one lookup gives signed values.
#include "media/Mp3Internal.h"
#include "media/Mp3Tables.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <map>
#include <vector>

namespace mp3 {
namespace {

constexpr uint32_t kLeaf = 0x80000000u;

struct Symbol {
    uint32_t code;
    uint32_t length;
    uint32_t value;
};

struct Lookup {
    std::vector<uint32_t> entries;
    uint32_t rootBits = 0;
};

// Entry: leaf = kLeaf | bits used at this level << 24 | payload;
// link = bits of the next level << 24 | index of the next level.
// Payload of a pair: y in bits 0-3, x in 4-7; kSigned when the sign bits are
// part of the code, then the signs of x and y in bits 9 and 10. Payload of a
// quadruple: v w x y in bits 3..0, kSigned, their signs in bits 12..9.
constexpr uint32_t kSigned = 0x100;
uint32_t BuildLevel(std::vector<uint32_t>& e, const std::vector<Symbol>& syms, uint32_t consumed,
                    uint32_t* levelBits) {
    uint32_t maxRemaining = 1;
    for (const Symbol& s : syms)
        maxRemaining = std::max(maxRemaining, s.length - consumed);
    const uint32_t bits = std::min(maxRemaining, consumed == 0 ? 9u : 5u);
    const uint32_t base = static_cast<uint32_t>(e.size());
    e.resize(base + (1u << bits), kLeaf);
    std::map<uint32_t, std::vector<Symbol>> deeper;
    for (const Symbol& s : syms) {
        const uint32_t remaining = s.length - consumed;
        const uint32_t rest = s.code & ((1u << remaining) - 1);
        if (remaining <= bits) {
            const uint32_t first = rest << (bits - remaining);
            for (uint32_t k = 0; k < (1u << (bits - remaining)); ++k)
                e[base + first + k] = kLeaf | (remaining << 24) | s.value;
        } else {
            deeper[rest >> (remaining - bits)].push_back(s);
        }
    }
    for (const auto& [index, group] : deeper) {
        uint32_t subBits = 0;
        const uint32_t sub = BuildLevel(e, group, consumed + bits, &subBits);
        e[base + index] = (subBits << 24) | sub;
    }
    *levelBits = bits;
    return base;
}

Lookup BuildLookup(const HuffTableInfo& info, bool quadruples) {
    std::vector<Symbol> syms;
    const uint32_t count = quadruples ? 16 : uint32_t(info.size) * info.size;
    for (uint32_t i = 0; i < count; ++i) {
        const HuffCode& c = info.codes[i];
        if (quadruples) {
            // Signs follow for v, w, x, y in that order, for the non-zero ones.
            const uint32_t nz = uint32_t(std::popcount(i));
            for (uint32_t signs = 0; signs < (1u << nz); ++signs) {
                uint32_t flags = 0, bit = nz;
                for (int q = 3; q >= 0; --q)
                    if (i & (1u << q)) flags |= ((signs >> --bit) & 1u) << (9 + q);
                syms.push_back({(c.code << nz) | signs, c.length + nz, i | kSigned | flags});
            }
            continue;
        }
        const uint32_t x = i / info.size, y = i % info.size;
        const uint32_t value = (x << 4) | y;
        if (info.linbits && (x == 15 || y == 15)) {
            syms.push_back({c.code, c.length, value}); // linbits come before the signs
            continue;
        }
        const uint32_t nz = (x != 0) + (y != 0);
        for (uint32_t signs = 0; signs < (1u << nz); ++signs) {
            uint32_t flags = 0;
            if (x && y)
                flags = ((signs >> 1) << 9) | ((signs & 1) << 10);
            else if (x)
                flags = signs << 9;
            else if (y)
                flags = signs << 10;
            syms.push_back({(c.code << nz) | signs, c.length + nz, value | kSigned | flags});
        }
    }
    Lookup lookup;
    BuildLevel(lookup.entries, syms, 0, &lookup.rootBits);
    return lookup;
}

struct Lookups {
    Lookup big[32];
    Lookup quad[2];
    Lookups() {
        for (int t = 0; t < 32; ++t) {
            if (!kHuffTables[t].codes) continue;
            // Tables 16-23 and 24-31 share their codes; build each code set once.
            if (t > 16 && t < 24)
                big[t] = big[16];
            else if (t > 24)
                big[t] = big[24];
            else
                big[t] = BuildLookup(kHuffTables[t], false);
        }
        quad[0] = BuildLookup(kCount1Tables[0], true);
        quad[1] = BuildLookup(kCount1Tables[1], true);
    }
};

const Lookups& GetLookups() {
    static const Lookups lookups;
    return lookups;
}

inline uint32_t DecodeSymbol(BitReader& br, const Lookup& lookup) {
    const uint32_t* t = lookup.entries.data();
    uint32_t bits = lookup.rootBits;
    uint32_t e = t[br.Peek(bits)];
    while (!(e & kLeaf)) {
        br.pos += bits;
        bits = e >> 24;
        e = t[(e & 0xFFFFFF) + br.Peek(bits)];
    }
    br.pos += (e >> 24) & 0x1F;
    return e & 0xFFFF;
}

} // namespace

uint32_t DecodeSpectrum(BitReader& br, uint32_t endBit, const uint32_t tableSelect[3], uint32_t bigValues,
                        uint32_t region1Start, uint32_t region2Start, uint32_t count1Table, int32_t* out) {
    const Lookups& lookups = GetLookups();
    const uint32_t bigEnd = std::min(bigValues * 2, 576u);
    const uint32_t bounds[3] = {std::min(region1Start, bigEnd),
                                std::min(std::max(region2Start, region1Start), bigEnd), bigEnd};
    uint32_t i = 0;
    bool exhausted = false;
    for (int region = 0; region < 3 && !exhausted; ++region) {
        const HuffTableInfo& info = kHuffTables[tableSelect[region] & 31];
        const uint32_t end = std::max(bounds[region], i);
        if (!info.codes) {
            for (; i < end; ++i)
                out[i] = 0;
            continue;
        }
        const Lookup& lookup = lookups.big[tableSelect[region] & 31];
        const uint32_t linbits = info.linbits;
        for (; i < end; i += 2) {
            if (br.pos > endBit) {
                exhausted = true;
                break;
            }
            const uint32_t v = DecodeSymbol(br, lookup);
            int32_t x = int32_t((v >> 4) & 15);
            int32_t y = int32_t(v & 15);
            if (v & kSigned) {
                if (v & 0x200) x = -x;
                if (v & 0x400) y = -y;
            } else {
                if (x == 15 && linbits) x += int32_t(br.Get(linbits));
                if (x && br.Get(1)) x = -x;
                if (y == 15 && linbits) y += int32_t(br.Get(linbits));
                if (y && br.Get(1)) y = -y;
            }
            out[i] = x;
            out[i + 1] = y;
        }
    }
    if (exhausted) {
        for (uint32_t k = i; k < 576; ++k)
            out[k] = 0;
        return i;
    }
    const Lookup& quad = lookups.quad[count1Table & 1];
    while (i + 4 <= 576 && br.pos < endBit) {
        const uint32_t v = DecodeSymbol(br, quad);
        int32_t q[4];
        for (int k = 0; k < 4; ++k) {
            const uint32_t bit = 3 - k;
            q[k] = (v >> bit) & 1 ? ((v >> (9 + bit)) & 1 ? -1 : 1) : 0;
        }
        if (br.pos > endBit) break; // this quadruple ran past the granule's bits: not part of it
        out[i] = q[0];
        out[i + 1] = q[1];
        out[i + 2] = q[2];
        out[i + 3] = q[3];
        i += 4;
    }
    for (uint32_t k = i; k < 576; ++k)
        out[k] = 0;
    return i;
}

const float* Pow43Table() {
    struct Table {
        float v[2 * 8206 + 1];
        Table() {
            for (int i = 0; i <= 8206; ++i) {
                const float m = static_cast<float>(std::pow(double(i), 4.0 / 3.0));
                v[8206 + i] = m;
                v[8206 - i] = -m;
            }
        }
    };
    static const Table table;
    return table.v + 8206;
}

} // namespace mp3
