// CString, CFileName and the code-page conversions.
#include "platform/CString.h"
#include "platform/Platform.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

TEST(CString, KeepsTextOutsideAnyAnsiCodePage) {
    const wchar_t* names[] = {L"録音フォルダ", L"Запись", L"take \U0001F3A4.wav", L"plain"};
    for (const wchar_t* name : names) {
        CString s(name);
        ASSERT_FALSE(s.IsEmpty());
        const wchar_t* back = s.GetWide();
        ASSERT_NE(back, nullptr);
        EXPECT_EQ(std::wstring(back), std::wstring(name));
        EXPECT_TRUE(s.Equals(name));
    }
    // The narrow text is UTF-8.
    CString jp(L"録");
    EXPECT_EQ(jp.Str(), "\xE9\x8C\xB2");
    jp.Assign(L"abcdef", 3);
    EXPECT_EQ(jp.Str(), "abc");
    jp.Assign(L"", -1); // empty is no text at all
    EXPECT_EQ(jp.GetText(), nullptr);
}

TEST(CString, EqualityIsExactAndCaseSensitive) {
    struct Case {
        const char* text;
        const wchar_t* other;
        bool equal;
    } cases[] = {
        {"Speakers", L"Speakers", true}, {"Speakers", L"speakers", false}, {"Speakers", L"Speakers ", false},
        {nullptr, nullptr, true},        {nullptr, L"a", false},           {"a", nullptr, false},
    };
    for (const Case& c : cases) {
        CString s(c.text);
        EXPECT_EQ(s.Equals(c.other), c.equal) << (c.text ? c.text : "(null)");
    }
}

TEST(CString, Trim) {
    struct Case {
        const char* in;
        const char* out;
    } cases[] = {{"  a b \t\r\n", "a b"}, {"\t\n", ""}, {"     ", ""}, {"x", "x"}, {"\r\nline", "line"}};
    for (const Case& c : cases) {
        CString s(c.in);
        s.Trim();
        EXPECT_EQ(s.Str(), c.out) << "[" << c.in << "]";
        EXPECT_EQ(s.GetLength(), static_cast<int>(std::strlen(c.out)));
        if (s.GetText()) {
            EXPECT_EQ(s.GetText()[s.GetLength()], '\0');
        }
    }
}

TEST(CString, Substring) {
    CString s("recording");
    struct Case {
        int start, count;
        const char* expect; // null: no result
    } cases[] = {{0, 6, "record"}, {6, 100, "ing"},  {8, 1, "g"},     {3, 0, ""},
                 {9, 1, nullptr},  {-1, 2, nullptr}, {2, -1, nullptr}};
    for (const Case& c : cases) {
        auto sub = s.Substring(c.start, c.count);
        if (!c.expect) {
            EXPECT_EQ(sub, nullptr) << c.start << "," << c.count;
        } else {
            ASSERT_NE(sub, nullptr) << c.start << "," << c.count;
            EXPECT_EQ(sub->Str(), c.expect);
        }
    }
    CString empty;
    EXPECT_EQ(empty.Substring(0, 0), nullptr);
}

TEST(CString, AppendGrowsAndCopiesFromItself) {
    CString s("ab");
    for (int i = 0; i < 5; ++i)
        ASSERT_TRUE(s.Append(s));
    EXPECT_EQ(s.GetLength(), 64);
    EXPECT_EQ(s.Str().substr(0, 6), "ababab");
}

TEST(CFileName, Split) {
    struct Case {
        const char* path;
        const char* dir;
        const char* name;
        const char* base;
        const char* ext;
        int nameIndex, extIndex;
    } cases[] = {
        {"C:\\rec\\take1.wav", "C:\\rec", "take1.wav", "take1", "wav", 7, 13},
        {"take1", "", "take1", "take1", "", 0, -1},
        {"C:\\dir.old\\file", "C:\\dir.old", "file", "file", "", 11, -1},
        {"/home/u/録音.mp3", "/home/u", "録音.mp3", "録音", "mp3", 8, 15},
        {"\\.profile", "", ".profile", ".profile", "", 1, -1},
        {"dir/", "dir", "", "", "", -1, -1},
    };
    for (const Case& c : cases) {
        CFileName f;
        ASSERT_EQ(f.Split(c.path), 1);
        EXPECT_EQ(f.m_Directory.Str(), c.dir) << c.path;
        EXPECT_EQ(f.m_FileName.Str(), c.name) << c.path;
        EXPECT_EQ(f.m_BaseName.Str(), c.base) << c.path;
        EXPECT_EQ(f.m_Extension.Str(), c.ext) << c.path;
        EXPECT_EQ(f.m_NameIndex, c.nameIndex) << c.path;
        EXPECT_EQ(f.m_ExtensionIndex, c.extIndex) << c.path;
    }
    CFileName f;
    EXPECT_EQ(f.Split(static_cast<const char*>(nullptr)), 0);
}

TEST(CodePages, ConversionsRoundTrip) {
    struct Case {
        int codePage;
        std::string bytes;
        std::wstring wide;
    } cases[] = {
        {0, "\xE9\x8C\xB2\xE9\x9F\xB3", L"録音"},
        {65001, "caf\xC3\xA9", L"café"},
        // Windows' table: 0x5C stays a backslash, and 0x815F is the fullwidth reverse solidus.
        {932, "C:\\\x98\x5E\x89\xB9", L"C:\\録音"},
        {932, "\x95\x5C", L"表"},
        {932, "\x81\x5F", L"\uFF3C"},
    };
    for (const Case& c : cases) {
        wchar_t* w = ToWide(c.bytes.data(), static_cast<int>(c.bytes.size()), c.codePage);
        ASSERT_NE(w, nullptr);
        EXPECT_EQ(std::wstring(w), c.wide) << "code page " << c.codePage;
        delete[] w;
        char* m = ToMultiByte(c.wide.data(), static_cast<int>(c.wide.size()), c.codePage);
        ASSERT_NE(m, nullptr);
        EXPECT_EQ(std::string(m), c.bytes) << "code page " << c.codePage;
        delete[] m;
    }
}

TEST(CodePages, InvalidUtf8BecomesReplacementCharacters) {
    const char* bad[] = {"\xFF", "\xC0\xAF", "\xE9\x8C", "\xED\xA0\x80"};
    for (const char* b : bad) {
        wchar_t* w = ToWide(b, -1, 0);
        ASSERT_NE(w, nullptr);
        EXPECT_EQ(w[0], L'\uFFFD') << "input " << static_cast<int>(static_cast<unsigned char>(b[0]));
        delete[] w;
    }
    EXPECT_EQ(ToWide("x", 1, 1252), nullptr); // unknown code page
}

TEST(UserLanguage, PosixVariablesDecideInOrder) {
    struct Case {
        const char* lcAll;
        const char* lcMessages;
        const char* lang;
        bool japanese;
    };
    const Case cases[] = {
        {nullptr, nullptr, "ja_JP.UTF-8", true},
        {nullptr, nullptr, "ja", true},
        {nullptr, nullptr, "ja.eucJP", true},
        {nullptr, nullptr, "ja@euro", true},
        {nullptr, nullptr, "en_US.UTF-8", false},
        {nullptr, nullptr, "jam", false},
        {nullptr, nullptr, "j", false},
        {nullptr, nullptr, nullptr, false},
        {nullptr, nullptr, "C", false},
        {"en_GB.UTF-8", "ja_JP.UTF-8", "ja_JP.UTF-8", false}, // LC_ALL wins
        {"ja_JP.UTF-8", "en_US", "en_US", true},
        {nullptr, "ja_JP", "en_US", true}, // LC_MESSAGES before LANG
        {"", "", "ja_JP.UTF-8", true},     // empty counts as unset
        {"", "C", "ja_JP.UTF-8", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(plat::PosixLocaleIsJapanese(c.lcAll, c.lcMessages, c.lang), c.japanese)
            << (c.lcAll ? c.lcAll : "-") << " " << (c.lcMessages ? c.lcMessages : "-") << " "
            << (c.lang ? c.lang : "-");
    }
}

} // namespace
