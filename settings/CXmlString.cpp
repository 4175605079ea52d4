#include "settings/CXmlString.h"

#include "platform/Platform.h"

#include <cstdlib>
#include <cstring>
#include <string>

CXmlString::~CXmlString() {
    std::free(m_pBuffer);
}

bool CXmlString::Ensure() {
    if (m_pBuffer) return true;
    m_pBuffer = static_cast<char*>(std::malloc(256));
    if (!m_pBuffer) return false;
    m_Capacity = 256;
    m_Length = 0;
    m_pBuffer[0] = '\0';
    return true;
}

bool CXmlString::AppendBytes(const char* bytes, uint32_t len) {
    if (len == 0) return Ensure();
    uint64_t needed = static_cast<uint64_t>(m_Length) + 1 + len;
    if (needed >= UINT32_MAX - 256) return false;
    if (!m_pBuffer || needed >= m_Capacity) {
        // At least 256 bytes of headroom; doubling keeps a large document from
        // costing a copy of everything written so far on every piece.
        uint64_t capacity = needed + 256;
        if (capacity < static_cast<uint64_t>(m_Capacity) * 2)
            capacity = static_cast<uint64_t>(m_Capacity) * 2;
        if (capacity >= UINT32_MAX) capacity = UINT32_MAX - 1;
        // realloc keeps the old buffer on failure, and a large one moves
        // without a copy, so the output never stands in memory twice.
        char* block = static_cast<char*>(std::realloc(m_pBuffer, static_cast<size_t>(capacity)));
        if (!block) return false;
        m_pBuffer = block;
        m_Capacity = static_cast<uint32_t>(capacity);
    }
    std::memcpy(m_pBuffer + m_Length, bytes, len);
    m_Length += len;
    m_pBuffer[m_Length] = '\0';
    return true;
}

bool CXmlString::Append(const char* utf8, int len) {
    if (!utf8) return Ensure();
    size_t n = len < 0 ? std::strlen(utf8) : static_cast<size_t>(len);
    if (n >= UINT32_MAX) return false;
    if (m_CodePage == 65001 || m_CodePage == 0) return AppendBytes(utf8, static_cast<uint32_t>(n));
    std::wstring wide;
    plat::MultiByteToWideString(utf8, static_cast<int>(n), plat::CP_UTF8_, wide);
    return Append(wide.c_str(), static_cast<int>(wide.size()));
}

bool CXmlString::Append(const wchar_t* wide, int len) {
    if (!wide) return Ensure();
    std::string bytes;
    if (!plat::WideToMultiByteString(wide, len, static_cast<int>(m_CodePage), bytes)) return false;
    if (bytes.size() >= UINT32_MAX) return false;
    return AppendBytes(bytes.data(), static_cast<uint32_t>(bytes.size()));
}

char* CXmlString::Detach() {
    if (!Ensure()) return nullptr;
    char* out = m_pBuffer;
    m_pBuffer = nullptr;
    m_Capacity = 0;
    m_Length = 0;
    return out;
}
