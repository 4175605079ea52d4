// The byte rings between the engine's threads. (Their use by two threads at
// once is checked by every engine round trip and the soak, which compare each
// frame that went through them.)
#include "engine/CFIFO.h"
#include "engine/SoundRing.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

std::vector<uint8_t> Bytes(size_t n, uint8_t first) {
    std::vector<uint8_t> v(n);
    for (size_t i = 0; i < n; ++i)
        v[i] = static_cast<uint8_t>(first + i);
    return v;
}

// Both ring types must behave identically; they differ only in these names.
template <typename Ring> struct Ops;
template <> struct Ops<CFIFO> {
    static bool Prepare(CFIFO& r, uint32_t size) { return r.Create(size) == 1; }
    static void Drop(CFIFO& r) { r.Flush(); }
    static void Free(CFIFO& r) { r.Release(); }
};
template <> struct Ops<SoundRing> {
    static bool Prepare(SoundRing& r, uint32_t size) { return r.Allocate(size); }
    static void Drop(SoundRing& r) { r.Clear(); }
    static void Free(SoundRing& r) { r.Free(); }
};

template <typename Ring> class RingTest : public ::testing::Test {};
using RingTypes = ::testing::Types<CFIFO, SoundRing>;
TYPED_TEST_SUITE(RingTest, RingTypes);

// A write that does not fit (size - 1 bytes at most: one more would make full
// look empty) stores nothing; bad arguments are refused. Writes and reads that
// cross the end come back whole and in order. Dropping the content leaves the
// ring usable; a freed ring refuses writes.
TYPED_TEST(RingTest, OverflowBadArgumentsWrapDropAndFree) {
    using O = Ops<TypeParam>;
    TypeParam ring;
    uint8_t out[16] = {};
    auto data = Bytes(10, 1);
    EXPECT_EQ(ring.Write(data.data(), 4), 0); // no buffer yet
    EXPECT_EQ(ring.Read(out, 4), 0u);
    ASSERT_TRUE(O::Prepare(ring, 10));
    EXPECT_EQ(ring.Write(data.data(), 10), 0);
    ASSERT_EQ(ring.Write(data.data(), 6), 1);
    EXPECT_EQ(ring.Write(data.data(), 4), 0);
    EXPECT_EQ(ring.Write(nullptr, 3), 0);
    EXPECT_EQ(ring.Write(data.data(), 0), 0);
    EXPECT_EQ(ring.Write(data.data() + 6, 3), 1); // 9 held
    EXPECT_EQ(ring.Write(data.data(), 1), 0);
    EXPECT_EQ(ring.Read(nullptr, 4), 0u);
    EXPECT_EQ(ring.Read(out, 0), 0u);
    EXPECT_EQ(ring.Read(out, 16), 9u);
    EXPECT_EQ(0, std::memcmp(out, data.data(), 9));
    EXPECT_EQ(ring.Read(out, 16), 0u);

    ASSERT_EQ(ring.Write(data.data(), 9), 1); // occupies 9 and 0..7
    std::vector<uint8_t> got;
    for (uint32_t piece : {4u, 4u, 4u}) {
        std::memset(out, 0xEE, sizeof out);
        uint32_t n = ring.Read(out, piece);
        got.insert(got.end(), out, out + n);
        EXPECT_EQ(out[n], 0xEE) << "bytes past what was read must stay as they were";
    }
    EXPECT_EQ(got, std::vector<uint8_t>(data.begin(), data.begin() + 9));

    ring.Write(data.data(), 7);
    O::Drop(ring);
    EXPECT_EQ(ring.Read(out, 16), 0u);
    EXPECT_EQ(ring.Write(data.data(), 7), 1);
    EXPECT_EQ(ring.Read(out, 16), 7u);
    O::Free(ring);
    EXPECT_EQ(ring.Write(data.data(), 1), 0);
}

} // namespace
