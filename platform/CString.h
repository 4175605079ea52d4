// The program's own string: UTF-8 text on every platform, with a wide view for
// the platform's wide-character calls. Nothing throws: an allocation failure
// leaves the string as it was and drops the write.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

class CObject {
  public:
    virtual ~CObject() = default;
};

class CString : public CObject {
  public:
    CString() = default;
    CString(const wchar_t* wide); // NOLINT: converting on purpose, like the wide API it stands for
    CString(const char* utf8);    // NOLINT
    CString(const std::string& utf8) { AssignUtf8(utf8.data(), static_cast<int>(utf8.size())); }
    CString(const CString& other) { Assign(&other); }
    CString& operator=(const CString& other) {
        if (this != &other) Assign(&other);
        return *this;
    }
    CString(CString&& other) noexcept;
    CString& operator=(CString&& other) noexcept;
    ~CString() override;

    // Assigns `len` wide characters (-1: up to the NUL). Null or empty frees the text.
    void Assign(const wchar_t* wide, int len = -1);
    // Assigns `len` bytes of UTF-8 (-1: up to the NUL). Null or empty frees the text.
    void AssignUtf8(const char* utf8, int len = -1);
    // Byte copy of another string; a null source empties this one and returns null.
    CString* Assign(const CString* other);
    // Appends bytes of UTF-8; false when the allocation failed (nothing changed).
    bool Append(const char* utf8, int len = -1);
    bool Append(const CString& other) { return Append(other.GetText(), other.GetLength()); }

    // The text, or null when empty-and-unallocated.
    const char* GetText() const { return m_pText; }
    // The text, never null.
    const char* c_str() const { return m_pText ? m_pText : ""; }
    std::string Str() const { return std::string(c_str(), static_cast<size_t>(m_Length)); }
    int GetLength() const { return m_Length; }
    // 0 also while the string views bytes it does not own (see below).
    bool IsEmpty() const { return m_Length == 0; }

    // Converts the text to a freshly built wide string owned by this object (the
    // previous view is freed). Empty text gives null.
    const wchar_t* GetWide();

    // Exact byte comparison after converting `wide`; two nulls are equal.
    bool Equals(const wchar_t* wide) const;
    bool Equals(const char* utf8) const;
    bool operator==(const CString& other) const;

    // Removes leading and trailing blanks, tabs, line feeds and carriage returns.
    void Trim();

    void Clear();

  private:
    // A parsed XML document keeps its strings in its own blocks: such a string
    // views `length` NUL-terminated bytes that outlive it, marked by a null
    // capacity. It never frees them; the first write moves the text into a
    // block of its own, and a move copies it, so the view never leaves the
    // document's strings.
    struct ViewTag {};
    CString(const char* bytes, int32_t length, ViewTag)
        : m_pText(length > 0 ? const_cast<char*>(bytes) : nullptr), m_Length(length > 0 ? length : 0) {}
    friend class CXmlArena;
    bool IsView() const { return m_pText && m_Capacity == 0; }

    bool Reserve(int needed); // room for `needed` bytes plus the NUL

    char* m_pText = nullptr;
    int32_t m_Capacity = 0;
    int32_t m_Length = 0;
    wchar_t* m_pWide = nullptr;
};

// Code pages as the program passes them: 0 is the program's own narrow text,
// which is UTF-8 (so names outside any ANSI code page survive), 65001 UTF-8,
// 932 Shift-JIS.
// Both return a zero-filled buffer with one extra character, owned by the caller
// (delete[]), or null when the allocation or the conversion failed.
wchar_t* ToWide(const char* text, int length, int codePage);
char* ToMultiByte(const wchar_t* text, int length, int codePage);
