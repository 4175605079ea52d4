// CString and the code-page conversions.
#include "platform/CString.h"
#include "platform/Platform.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <tuple>

namespace {

// Any text is kept (as UTF-8 inside); equality is exact; Trim drops blanks at
// both ends; Append may take the string itself.
TEST(CString, TextEqualityTrimAndAppend) {
    for (const wchar_t* name : {L"録音フォルダ", L"Запись", L"take \U0001F3A4.wav", L"plain"}) {
        CString s(name);
        ASSERT_NE(s.GetWide(), nullptr);
        EXPECT_EQ(std::wstring(s.GetWide()), std::wstring(name));
        EXPECT_TRUE(s.Equals(name));
    }
    CString jp(L"録");
    EXPECT_EQ(jp.Str(), "\xE9\x8C\xB2");
    jp.Assign(L"abcdef", 3);
    EXPECT_EQ(jp.Str(), "abc");
    jp.Assign(L"", -1); // empty is no text at all
    EXPECT_EQ(jp.GetText(), nullptr);
    const std::tuple<const char*, const wchar_t*, bool> equal[] = {
        {"Speakers", L"Speakers", true}, {"Speakers", L"speakers", false}, {"Speakers", L"Speakers ", false},
        {nullptr, nullptr, true},        {nullptr, L"a", false},           {"a", nullptr, false}};
    for (auto [text, other, result] : equal)
        EXPECT_EQ(CString(text).Equals(other), result) << (text ? text : "(null)");
    const std::pair<const char*, const char*> trims[] = {
        {"  a b \t\r\n", "a b"}, {"\t\n", ""}, {"     ", ""}, {"x", "x"}, {"\r\nline", "line"}};
    for (auto [in, out] : trims) {
        CString s(in);
        s.Trim();
        EXPECT_EQ(s.Str(), out) << "[" << in << "]";
        EXPECT_EQ(s.GetLength(), static_cast<int>(std::strlen(out)));
        EXPECT_TRUE(!s.GetText() || s.GetText()[s.GetLength()] == '\0');
    }
    CString ab("ab");
    std::string doubled = "ab";
    for (int i = 0; i < 5; ++i, doubled += doubled)
        ASSERT_TRUE(ab.Append(ab));
    EXPECT_EQ(ab.Str(), doubled);
}

TEST(CodePages, ConversionsRoundTrip) {
    // Windows' table: 0x5C stays a backslash, and 0x815F is the fullwidth reverse solidus.
    const std::tuple<int, std::string, std::wstring> cases[] = {{0, "\xE9\x8C\xB2\xE9\x9F\xB3", L"録音"},
                                                                {65001, "caf\xC3\xA9", L"café"},
                                                                {932, "C:\\\x98\x5E\x89\xB9", L"C:\\録音"},
                                                                {932, "\x95\x5C", L"表"},
                                                                {932, "\x81\x5F", L"\uFF3C"}};
    for (const auto& [codePage, bytes, wide] : cases) {
        std::unique_ptr<wchar_t[]> w(ToWide(bytes.data(), static_cast<int>(bytes.size()), codePage));
        ASSERT_NE(w, nullptr);
        EXPECT_EQ(std::wstring(w.get()), wide) << "code page " << codePage;
        std::unique_ptr<char[]> m(ToMultiByte(wide.data(), static_cast<int>(wide.size()), codePage));
        ASSERT_NE(m, nullptr);
        EXPECT_EQ(std::string(m.get()), bytes) << "code page " << codePage;
    }
    // Invalid UTF-8 becomes replacement characters; an unknown code page gives nothing.
    for (const char* bad : {"\xFF", "\xC0\xAF", "\xE9\x8C", "\xED\xA0\x80"}) {
        std::unique_ptr<wchar_t[]> w(ToWide(bad, -1, 0));
        EXPECT_TRUE(w && w[0] == L'\uFFFD') << static_cast<int>(static_cast<unsigned char>(bad[0]));
    }
    EXPECT_EQ(ToWide("x", 1, 1252), nullptr);
}

TEST(UserLanguage, PosixVariablesDecideInOrder) {
    for (const char* lang : {"ja_JP.UTF-8", "ja", "ja.eucJP", "ja@euro"})
        EXPECT_TRUE(plat::PosixLocaleIsJapanese(nullptr, nullptr, lang)) << lang;
    for (const char* lang : {"en_US.UTF-8", "jam", "j", "C", static_cast<const char*>(nullptr)})
        EXPECT_FALSE(plat::PosixLocaleIsJapanese(nullptr, nullptr, lang)) << (lang ? lang : "-");
    // LC_ALL, then LC_MESSAGES, then LANG; empty counts as unset.
    const std::tuple<const char*, const char*, const char*, bool> order[] = {
        {"en_GB.UTF-8", "ja_JP.UTF-8", "ja_JP.UTF-8", false},
        {"ja_JP.UTF-8", "en_US", "en_US", true},
        {nullptr, "ja_JP", "en_US", true},
        {"", "", "ja_JP.UTF-8", true},
        {"", "C", "ja_JP.UTF-8", false}};
    for (auto [all, messages, lang, japanese] : order)
        EXPECT_EQ(plat::PosixLocaleIsJapanese(all, messages, lang), japanese)
            << (all ? all : "-") << " " << (messages ? messages : "-");
}

} // namespace
