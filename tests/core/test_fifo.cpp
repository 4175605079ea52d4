// The byte rings between the engine's threads.
#include "engine/CFIFO.h"
#include "engine/SoundRing.h"

#include <gtest/gtest.h>

#include <cstring>
#include <thread>
#include <vector>

namespace {

std::vector<uint8_t> Bytes(size_t n, uint8_t first) {
    std::vector<uint8_t> v(n);
    for (size_t i = 0; i < n; ++i)
        v[i] = static_cast<uint8_t>(first + i);
    return v;
}

// Both ring types must behave identically.
template <typename Ring> void Prepare(Ring& ring, uint32_t size);
template <> void Prepare<CFIFO>(CFIFO& ring, uint32_t size) {
    ASSERT_EQ(ring.Create(size), 1);
}
template <> void Prepare<SoundRing>(SoundRing& ring, uint32_t size) {
    ASSERT_TRUE(ring.Allocate(size));
}

template <typename Ring> class RingTest : public ::testing::Test {};
using RingTypes = ::testing::Types<CFIFO, SoundRing>;
TYPED_TEST_SUITE(RingTest, RingTypes);

// A write that does not fit (size - 1 bytes at most: one more would make full
// look empty) stores nothing; bad arguments are refused.
TYPED_TEST(RingTest, OverflowAndBadArgumentsChangeNothing) {
    TypeParam ring;
    uint8_t out[16] = {};
    auto data = Bytes(10, 1);
    EXPECT_EQ(ring.Write(data.data(), 4), 0); // no buffer yet
    EXPECT_EQ(ring.Read(out, 4), 0u);
    Prepare(ring, 10);
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
}

TYPED_TEST(RingTest, WriteAndReadInPiecesAcrossTheWrap) {
    TypeParam ring;
    Prepare(ring, 16);
    uint8_t out[16];
    auto pad = Bytes(12, 0);
    ring.Write(pad.data(), 12);
    ring.Read(out, 12);
    auto data = Bytes(10, 40); // occupies 12..15 and 0..5
    ASSERT_EQ(ring.Write(data.data(), 10), 1);
    std::vector<uint8_t> got;
    for (uint32_t piece : {3u, 3u, 3u, 3u}) {
        std::memset(out, 0xEE, sizeof out);
        uint32_t n = ring.Read(out, piece);
        got.insert(got.end(), out, out + n);
        EXPECT_EQ(out[n], 0xEE) << "bytes past what was read must stay as they were";
    }
    EXPECT_EQ(got, data);
}

// Flush and Clear drop the content and leave the ring usable; a new size
// empties the fifo, the same size keeps what it holds.
TEST(CFIFO, FlushClearAndCreate) {
    auto data = Bytes(7, 0);
    uint8_t out[8];
    CFIFO fifo;
    ASSERT_EQ(fifo.Create(16), 1);
    fifo.Write(data.data(), 7);
    fifo.Flush();
    EXPECT_EQ(fifo.Read(out, 8), 0u);
    EXPECT_EQ(fifo.Write(data.data(), 7), 1);
    ASSERT_EQ(fifo.Create(16), 1);
    EXPECT_EQ(fifo.Read(out, 8), 7u);
    fifo.Write(data.data(), 5);
    ASSERT_EQ(fifo.Create(64), 1);
    EXPECT_EQ(fifo.Read(out, 8), 0u);
    fifo.Release();
    EXPECT_EQ(fifo.Write(data.data(), 1), 0);

    SoundRing ring;
    ring.Allocate(16);
    ring.Write(data.data(), 7);
    ring.Clear();
    EXPECT_EQ(ring.Read(out, 8), 0u);
    EXPECT_EQ(ring.Write(data.data(), 7), 1);
    EXPECT_EQ(ring.Read(out, 8), 7u);
}

// One writer and one reader thread in odd-sized pieces: every byte arrives,
// in order, none twice.
TYPED_TEST(RingTest, TwoThreadStressKeepsEveryByteInOrder) {
    TypeParam ring;
    Prepare(ring, 997);
    constexpr uint32_t total = 4u << 20;
    auto value = [](uint32_t i) { return static_cast<uint8_t>(i * 31 + 7); };
    std::thread writer([&] {
        uint8_t block[300];
        uint32_t sent = 0, piece = 1;
        while (sent < total) {
            uint32_t n = std::min<uint32_t>(piece, total - sent);
            for (uint32_t i = 0; i < n; ++i)
                block[i] = value(sent + i);
            if (ring.Write(block, n))
                sent += n;
            else
                std::this_thread::yield();
            piece = piece % 293 + 1;
        }
    });
    uint32_t received = 0, bad = 0, piece = 5;
    uint8_t block[512];
    while (received < total) {
        uint32_t n = ring.Read(block, piece);
        for (uint32_t i = 0; i < n; ++i)
            bad += block[i] != value(received + i);
        received += n;
        if (!n) std::this_thread::yield();
        piece = piece % 509 + 1;
    }
    writer.join();
    EXPECT_EQ(received, total);
    EXPECT_EQ(bad, 0u);
}

} // namespace
