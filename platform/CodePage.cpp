#include "platform/Platform.h"

#include <cstring>

namespace plat {
namespace {

// Decodes one UTF-8 sequence at s[i..n); returns the code point and advances i.
// Malformed, overlong and surrogate sequences yield U+FFFD and consume one byte.
char32_t DecodeUtf8(const unsigned char* s, size_t n, size_t& i) {
    unsigned char c = s[i];
    if (c < 0x80) {
        ++i;
        return c;
    }
    int extra;
    char32_t cp;
    if ((c & 0xE0) == 0xC0) {
        extra = 1;
        cp = c & 0x1F;
    } else if ((c & 0xF0) == 0xE0) {
        extra = 2;
        cp = c & 0x0F;
    } else if ((c & 0xF8) == 0xF0) {
        extra = 3;
        cp = c & 0x07;
    } else {
        ++i;
        return 0xFFFD;
    }
    if (i + extra >= n) {
        ++i;
        return 0xFFFD;
    }
    for (int k = 1; k <= extra; ++k) {
        if ((s[i + k] & 0xC0) != 0x80) {
            ++i;
            return 0xFFFD;
        }
        cp = (cp << 6) | (s[i + k] & 0x3F);
    }
    static const char32_t minimum[4] = {0, 0x80, 0x800, 0x10000};
    if (cp < minimum[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        ++i;
        return 0xFFFD;
    }
    i += extra + 1;
    return cp;
}

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

void AppendWide(std::wstring& out, char32_t cp) {
    if constexpr (sizeof(wchar_t) == 2) {
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out += static_cast<wchar_t>(0xD800 + (cp >> 10));
            out += static_cast<wchar_t>(0xDC00 + (cp & 0x3FF));
            return;
        }
    }
    out += static_cast<wchar_t>(cp);
}

} // namespace

bool MultiByteToWideString(const char* text, int len, int codePage, std::wstring& out) {
    out.clear();
    if (!text) return true;
    size_t n = len < 0 ? std::strlen(text) : static_cast<size_t>(len);
    if (codePage == CP_SHIFT_JIS) {
        std::string utf8;
        if (!Cp932ToUtf8(text, n, utf8)) return false;
        return MultiByteToWideString(utf8.data(), static_cast<int>(utf8.size()), CP_UTF8_, out);
    }
    if (codePage != CP_PROGRAM && codePage != CP_UTF8_) return false;
    const auto* s = reinterpret_cast<const unsigned char*>(text);
    out.reserve(n);
    for (size_t i = 0; i < n;)
        AppendWide(out, DecodeUtf8(s, n, i));
    return true;
}

bool WideToMultiByteString(const wchar_t* text, int len, int codePage, std::string& out) {
    out.clear();
    if (!text) return true;
    size_t n = len < 0 ? std::wcslen(text) : static_cast<size_t>(len);
    if (codePage == CP_SHIFT_JIS) {
        std::string utf8;
        if (!WideToMultiByteString(text, static_cast<int>(n), CP_UTF8_, utf8)) return false;
        return Utf8ToCp932(utf8.data(), utf8.size(), out);
    }
    if (codePage != CP_PROGRAM && codePage != CP_UTF8_) return false;
    out.reserve(n);
    for (size_t i = 0; i < n; ++i) {
        char32_t cp = static_cast<char32_t>(text[i]);
        if constexpr (sizeof(wchar_t) == 2) {
            cp &= 0xFFFF;
            if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < n) {
                char32_t lo = static_cast<char32_t>(text[i + 1]) & 0xFFFF;
                if (lo >= 0xDC00 && lo <= 0xDFFF) {
                    cp = 0x10000 + ((cp - 0xD800) << 10) + (lo - 0xDC00);
                    ++i;
                }
            }
        }
        if ((cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF) cp = 0xFFFD;
        AppendUtf8(out, cp);
    }
    return true;
}

std::wstring Utf8ToWide(const std::string& s) {
    std::wstring w;
    MultiByteToWideString(s.data(), static_cast<int>(s.size()), CP_UTF8_, w);
    return w;
}

std::string WideToUtf8(const std::wstring& s) {
    std::string u;
    WideToMultiByteString(s.data(), static_cast<int>(s.size()), CP_UTF8_, u);
    return u;
}

std::string JoinPath(const std::string& dir, const std::string& name) {
    if (dir.empty()) return name;
    char last = dir.back();
    if (last == '/' || last == '\\') return dir + name;
    return dir + PathSeparator() + name;
}

} // namespace plat
