// The serialiser's growable output buffer: NUL-terminated bytes in one code
// page. An allocation failure leaves the piece out; writing goes on.
#pragma once

#include <cstdint>

class CXmlString {
  public:
    explicit CXmlString(uint32_t codePage = 65001) : m_CodePage(codePage) {}
    virtual ~CXmlString();
    CXmlString(const CXmlString&) = delete;
    CXmlString& operator=(const CXmlString&) = delete;

    // Appends `len` bytes of UTF-8 (-1: up to the NUL), converted to the buffer's
    // code page. False when the piece was left out.
    bool Append(const char* utf8, int len = -1);
    bool Append(const wchar_t* wide, int len = -1);

    const char* GetBuffer() const { return m_pBuffer; }
    uint32_t GetLength() const { return m_Length; }
    // Makes sure a (possibly empty) buffer exists; false when it cannot.
    bool Ensure();
    // Hands the buffer to the caller (free it with std::free) and empties this one.
    char* Detach();

  private:
    bool AppendBytes(const char* bytes, uint32_t len);

    char* m_pBuffer = nullptr;
    uint32_t m_Capacity = 0;
    uint32_t m_Length = 0;
    uint32_t m_CodePage = 65001;
};
