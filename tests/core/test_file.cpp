// CFile and CMediaFile against real files, names outside ASCII included.
#include "media/CMediaFile.h"
#include "tests/core/TestUtil.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(FileTest, CreateResults) {
    testutil::TempDir dir("file");
    auto create = [&](const char* name, int overwrite) {
        CFile f;
        return f.CreateWrite(CString(dir.File(name).c_str()), overwrite);
    };
    // An existing file without overwrite: -2, and what the user had is untouched.
    ASSERT_TRUE(testutil::WriteAll(dir.File("a.bin"), "precious", 8));
    EXPECT_EQ(create("a.bin", 0), -2);
    EXPECT_EQ(testutil::ReadAll(dir.File("a.bin")).size(), 8u);
    EXPECT_EQ(create("a.bin", 1), 0);
    EXPECT_EQ(create("no/such/folder/x.bin", 1), -1);
    EXPECT_EQ(create("no/such/folder/x.bin", 0), -2);
    CFile f;
    EXPECT_EQ(f.CreateWrite(CString(""), 1), -1);
    EXPECT_EQ(f.CreateWrite(CString(dir.File("b.bin").c_str()), 0), 0);
    EXPECT_EQ(f.CreateWrite(CString(dir.File("c.bin").c_str()), 1), -1) << "a file is already open";
    // A missing file leaves the object closed and every call harmless.
    CFile g;
    EXPECT_EQ(g.OpenRead(CString(dir.File("missing.wav").c_str())), 0);
    EXPECT_EQ(g.OpenRead(CString("")), 0);
    EXPECT_FALSE(g.IsOpen());
    uint8_t b[4];
    EXPECT_EQ(g.Read(b, 4) + g.Write(b, 4) + g.Seek(0) + g.Flush(), 0u);
}

// Written and read back on names outside ASCII.
TEST(FileTest, PositionedWriteLeavesLaterAppendsInPlace) {
    testutil::TempDir dir("file");
    for (const char* name : {"録音テスト.wav", "Запись.raw", "a b.wav"}) {
        SCOPED_TRACE(name);
        const std::string path = dir.File(name);
        CFile f;
        ASSERT_EQ(f.CreateWrite(CString(path.c_str()), 1), 0);
        EXPECT_EQ(f.Write("0123456789", 10), 10u);
        EXPECT_EQ(f.Write("AB", 2, 2), 2u); // a header patch inside the file
        EXPECT_EQ(f.GetSize(), 10u);
        EXPECT_EQ(f.GetPosition(), 10u);
        EXPECT_EQ(f.Write("xyz", 3), 3u);    // lands at the end
        EXPECT_EQ(f.Write("!!", 2, 12), 2u); // past the end grows the size
        EXPECT_EQ(f.GetSize(), 14u);
        f.Close();
        const std::vector<uint8_t> bytes = testutil::ReadAll(path);
        EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "01AB456789xy!!");

        ASSERT_EQ(f.OpenRead(CString(path.c_str())), 1);
        EXPECT_EQ(f.GetSize(), 14u);
        char buf[24] = {};
        EXPECT_EQ(f.Read(buf, 5), 5u);
        EXPECT_EQ(f.Read(buf + 5, 16, 6), 8u); // positioned, to the end
        EXPECT_EQ(std::string(buf, 13), "01AB46789xy!!");
        EXPECT_EQ(f.OpenRead(CString(path.c_str())), 0) << "already open";
        f.Close();
        EXPECT_EQ(f.GetSize(), 0u);
    }
}

TEST(FileTest, MediaFileWrites) {
    testutil::TempDir dir("file");
    const std::wstring raw = plat::Utf8ToWide(dir.File("ten.raw"));
    CMediaFile w;
    EXPECT_EQ(w.Create(raw.c_str(), 0), 0);
    EXPECT_EQ(w.WriteData("01234", 5), 1);
    EXPECT_EQ(w.WriteSamples("56789", 5), 1);
    w.Close();
    EXPECT_EQ(w.Create(raw.c_str(), 0), 1) << "exists";
    CMediaFile m;
    ASSERT_EQ(m.Open(raw.c_str()), 1);
    EXPECT_EQ(m.WriteData("zz", 2), 1) << "a file opened for reading ignores writes";
    EXPECT_EQ(m.GetFormat(), nullptr);
    char buf[16] = {};
    EXPECT_EQ(m.ReadData(buf, 16), 10u);
    EXPECT_EQ(std::string(buf), "0123456789");
    EXPECT_EQ(m.IsEnd(), 1);
}

} // namespace
