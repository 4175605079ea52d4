// CFile and CMediaFile against real files, names outside ASCII included.
#include "media/CMediaFile.h"
#include "tests/core/TestUtil.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

class FileTest : public ::testing::Test {
  protected:
    testutil::TempDir dir{"file"};
    std::wstring Wide(const std::string& name) { return plat::Utf8ToWide(dir.File(name)); }
};

TEST_F(FileTest, CreateResults) {
    CFile f;
    EXPECT_EQ(f.CreateWrite(CString(""), 1), -1);
    EXPECT_EQ(f.CreateWrite(CString(dir.File("a.bin").c_str()), 0), 0);
    EXPECT_EQ(f.CreateWrite(CString(dir.File("b.bin").c_str()), 0), -1) << "a file is already open";
    f.Close();
    CFile g;
    EXPECT_EQ(g.CreateWrite(CString(dir.File("a.bin").c_str()), 0), -2) << "exists, no overwrite";
    EXPECT_EQ(g.CreateWrite(CString(dir.File("a.bin").c_str()), 1), 0);
    g.Close();
    CFile h;
    EXPECT_EQ(h.CreateWrite(CString(dir.File("no/such/folder/x.bin").c_str()), 1), -1);
    EXPECT_EQ(h.CreateWrite(CString(dir.File("no/such/folder/x.bin").c_str()), 0), -2);
}

TEST_F(FileTest, OpenReadOfMissingFileLeavesItClosed) {
    CFile f;
    EXPECT_EQ(f.OpenRead(CString(dir.File("missing.wav").c_str())), 0);
    EXPECT_FALSE(f.IsOpen());
    EXPECT_EQ(f.OpenRead(CString("")), 0);
    EXPECT_EQ(f.IsEOF(), 1);
    uint8_t b[4];
    EXPECT_EQ(f.Read(b, 4), 0u);
    EXPECT_EQ(f.Write(b, 4), 0u);
    EXPECT_EQ(f.Seek(0), 0);
    EXPECT_EQ(f.Flush(), 0);
}

TEST_F(FileTest, PositionedWriteLeavesLaterAppendsInPlace) {
    const std::string name = dir.File("header.bin");
    CFile f;
    ASSERT_EQ(f.CreateWrite(CString(name.c_str()), 1), 0);
    EXPECT_EQ(f.Write("0123456789", 10), 10u);
    EXPECT_EQ(f.GetSize(), 10u);
    EXPECT_EQ(f.Write("AB", 2, 2), 2u); // a header patch inside the file
    EXPECT_EQ(f.GetSize(), 10u);
    EXPECT_EQ(f.GetPosition(), 10u);
    EXPECT_EQ(f.Write("xyz", 3), 3u);    // lands at the end
    EXPECT_EQ(f.Write("!!", 2, 12), 2u); // past the end grows the size
    EXPECT_EQ(f.GetSize(), 14u);
    f.Close();
    auto bytes = testutil::ReadAll(name);
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "01AB456789xy!!");
}

TEST_F(FileTest, ReadsAndEndTestOnNonAsciiName) {
    for (const char* name : {"録音テスト.wav", "Запись.raw", "a b.wav"}) {
        const std::string path = dir.File(name);
        ASSERT_TRUE(testutil::WriteAll(path, "hello world", 11)) << name;
        CFile f;
        ASSERT_EQ(f.OpenRead(CString(path.c_str())), 1) << name;
        EXPECT_EQ(f.GetSize(), 11u);
        char buf[16] = {};
        EXPECT_EQ(f.Read(buf, 5), 5u);
        EXPECT_EQ(std::string(buf, 5), "hello");
        EXPECT_EQ(f.IsEOF(), 0);
        EXPECT_EQ(f.Read(buf, 16, 6), 5u);
        EXPECT_EQ(std::string(buf, 5), "world");
        EXPECT_EQ(f.IsEOF(), 1);
        EXPECT_EQ(f.OpenRead(CString(path.c_str())), 0) << "already open";
        f.Close();
        EXPECT_FALSE(f.IsOpen());
        EXPECT_EQ(f.GetSize(), 0u);
    }
}

TEST_F(FileTest, MediaFileBlocks) {
    const std::string path = dir.File("ten.raw");
    ASSERT_TRUE(testutil::WriteAll(path, "0123456789", 10));
    CMediaFile m;
    m.SetBlock(3, 0);
    ASSERT_EQ(m.Open(Wide("ten.raw").c_str()), 1);
    EXPECT_EQ(m.GetBlockCount(), 4u);
    char buf[8];
    std::string got;
    for (uint32_t n; (n = m.ReadNextBlock(buf, 8)) > 0;)
        got.append(buf, n);
    EXPECT_EQ(got, "0123456789");
    EXPECT_EQ(m.GetBlockIndex(1), 4u);
    EXPECT_EQ(m.ReadNextBlock(buf, 8), 0u);
    m.SetBlock(0, 0);
    EXPECT_EQ(m.GetBlockCount(), 4u) << "a block size of 0 keeps the count";
    m.Rewind();
    EXPECT_EQ(m.GetBlockIndex(1), 0u);
    EXPECT_EQ(m.ReadNextBlockOfSecondCursor(buf, 2), 2u) << "the smaller of the block and the request";
    EXPECT_EQ(std::string(buf, 2), "01");
    EXPECT_EQ(m.GetBlockIndex(2), 1u);
    EXPECT_EQ(m.WriteData("zz", 2), 1) << "a file opened for reading ignores writes";
    EXPECT_EQ(m.IsRawFile(), 1);
    EXPECT_EQ(m.IsWaveFile(), 0);
    EXPECT_EQ(m.GetFormat(), nullptr);
    m.Close();
    EXPECT_EQ(testutil::ReadAll(path).size(), 10u);

    // Each reader stops after the block count, even with bytes left.
    m.SetBlock(4, 0);
    ASSERT_EQ(m.Open(Wide("ten.raw").c_str()), 1);
    ASSERT_EQ(m.GetBlockCount(), 3u);
    int reads = 0;
    while (m.ReadNextBlockOfSecondCursor(buf, 2) > 0)
        ++reads;
    EXPECT_EQ(reads, 3);
    EXPECT_EQ(m.IsEnd(), 0);
}

TEST_F(FileTest, MediaFileCreateAndWriteData) {
    CMediaFile m;
    EXPECT_EQ(m.Create(Wide("out.raw").c_str(), 0), 0);
    EXPECT_EQ(m.WriteData("abc", 3), 1);
    EXPECT_EQ(m.WriteSamples("de", 2), 1);
    m.Close();
    CMediaFile again;
    EXPECT_EQ(again.Create(Wide("out.raw").c_str(), 0), 1) << "exists";
    EXPECT_EQ(again.CreateRaw(Wide("out.raw").c_str(), 0), -2);
    auto bytes = testutil::ReadAll(dir.File("out.raw"));
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "abcde");
}

} // namespace
