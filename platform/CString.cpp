#include "platform/CString.h"

#include "platform/Platform.h"

#include <cstdlib>
#include <cstring>
#include <new>
#include <utility>

CString::CString(const wchar_t* wide) {
    Assign(wide, -1);
}
CString::CString(const char* utf8) {
    AssignUtf8(utf8, -1);
}

CString::CString(CString&& other) noexcept {
    *this = std::move(other);
}

CString& CString::operator=(CString&& other) noexcept {
    if (this != &other) {
        Clear();
        if (other.IsView()) {
            AssignUtf8(other.m_pText, other.m_Length);
            return *this;
        }
        m_pText = other.m_pText;
        m_Capacity = other.m_Capacity;
        m_Length = other.m_Length;
        m_pWide = other.m_pWide;
        other.m_pText = nullptr;
        other.m_pWide = nullptr;
        other.m_Capacity = other.m_Length = 0;
    }
    return *this;
}

CString::~CString() {
    Clear();
}

void CString::Clear() {
    if (!IsView()) std::free(m_pText);
    delete[] m_pWide;
    m_pText = nullptr;
    m_pWide = nullptr;
    m_Capacity = 0;
    m_Length = 0;
}

bool CString::Reserve(int needed) {
    if (needed < 0) return false;
    if (m_pText && needed < m_Capacity) return true;
    // Grow by what is needed plus one, on top of what there was.
    int64_t newCapacity = static_cast<int64_t>(m_Capacity) + needed + 1;
    if (newCapacity > INT32_MAX) return false;
    char* block = static_cast<char*>(std::calloc(static_cast<size_t>(newCapacity), 1));
    if (!block) return false;
    if (m_pText) std::memcpy(block, m_pText, static_cast<size_t>(m_Length));
    if (!IsView()) std::free(m_pText);
    m_pText = block;
    m_Capacity = static_cast<int32_t>(newCapacity);
    return true;
}

void CString::AssignUtf8(const char* utf8, int len) {
    size_t n = !utf8 ? 0 : len < 0 ? std::strlen(utf8) : static_cast<size_t>(len);
    if (n == 0) {
        Clear();
        return;
    }
    if (n >= INT32_MAX) return;
    if (utf8 >= m_pText && m_pText && utf8 < m_pText + m_Capacity) {
        // Assigning a part of ourselves: copy first.
        std::string copy(utf8, n);
        AssignUtf8(copy.data(), static_cast<int>(n));
        return;
    }
    if (!(m_pText && static_cast<int>(n) < m_Capacity)) {
        // Fresh block sized for the new text; the old one goes only on success.
        char* block = static_cast<char*>(std::calloc(n + 1, 1));
        if (!block) return;
        if (!IsView()) std::free(m_pText);
        m_pText = block;
        m_Capacity = static_cast<int32_t>(n + 1);
    }
    std::memcpy(m_pText, utf8, n);
    m_pText[n] = '\0';
    m_Length = static_cast<int32_t>(n);
}

void CString::Assign(const wchar_t* wide, int len) {
    if (!wide || len == 0 || (len < 0 && !*wide)) {
        Clear();
        return;
    }
    std::string utf8;
    plat::WideToMultiByteString(wide, len, plat::CP_PROGRAM, utf8);
    AssignUtf8(utf8.data(), static_cast<int>(utf8.size()));
}

CString* CString::Assign(const CString* other) {
    if (!other) {
        Clear();
        return nullptr;
    }
    if (other == this) return this;
    AssignUtf8(other->m_pText, other->m_Length);
    return this;
}

bool CString::Append(const char* utf8, int len) {
    size_t n = !utf8 ? 0 : len < 0 ? std::strlen(utf8) : static_cast<size_t>(len);
    if (n == 0) return true;
    if (static_cast<int64_t>(m_Length) + static_cast<int64_t>(n) >= INT32_MAX) return false;
    std::string copy(utf8, n); // the source may live inside this string
    if (!Reserve(m_Length + static_cast<int>(n))) return false;
    std::memcpy(m_pText + m_Length, copy.data(), n);
    m_Length += static_cast<int32_t>(n);
    m_pText[m_Length] = '\0';
    return true;
}

const wchar_t* CString::GetWide() {
    delete[] m_pWide;
    m_pWide = nullptr;
    if (!m_pText || m_Length == 0) return nullptr;
    m_pWide = ToWide(m_pText, m_Length, plat::CP_PROGRAM);
    return m_pWide;
}

bool CString::Equals(const wchar_t* wide) const {
    if (!wide) return m_pText == nullptr;
    if (!m_pText) return false;
    std::string utf8;
    plat::WideToMultiByteString(wide, -1, plat::CP_PROGRAM, utf8);
    return utf8.size() == static_cast<size_t>(m_Length) &&
           std::memcmp(utf8.data(), m_pText, utf8.size()) == 0;
}

bool CString::Equals(const char* utf8) const {
    if (!utf8) return m_pText == nullptr;
    if (!m_pText) return false;
    size_t n = std::strlen(utf8);
    return n == static_cast<size_t>(m_Length) && std::memcmp(utf8, m_pText, n) == 0;
}

bool CString::operator==(const CString& other) const {
    return m_Length == other.m_Length &&
           std::memcmp(c_str(), other.c_str(), static_cast<size_t>(m_Length)) == 0;
}

namespace {
bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}
} // namespace

void CString::Trim() {
    if (!m_pText) return;
    if (IsView() && !Reserve(m_Length)) return; // trims a copy of its own, never the viewed bytes
    int start = 0;
    while (start < m_Length && IsBlank(m_pText[start]))
        ++start;
    int end = m_Length;
    while (end > start && IsBlank(m_pText[end - 1]))
        --end;
    int kept = end - start;
    if (start > 0 && kept > 0) std::memmove(m_pText, m_pText + start, static_cast<size_t>(kept));
    m_Length = kept;
    m_pText[kept] = '\0';
}

// ---------------------------------------------------------------- conversions

wchar_t* ToWide(const char* text, int length, int codePage) {
    std::wstring w;
    if (!plat::MultiByteToWideString(text, length, codePage, w)) return nullptr;
    auto* out = new (std::nothrow) wchar_t[w.size() + 1]();
    if (!out) return nullptr;
    std::memcpy(out, w.data(), w.size() * sizeof(wchar_t));
    return out;
}

char* ToMultiByte(const wchar_t* text, int length, int codePage) {
    std::string s;
    if (!plat::WideToMultiByteString(text, length, codePage, s)) return nullptr;
    auto* out = new (std::nothrow) char[s.size() + 1]();
    if (!out) return nullptr;
    std::memcpy(out, s.data(), s.size());
    return out;
}
